#pragma once

#include <QApplication>

namespace tk {

// Shows the hourglass for the life of the scope, whichever way the scope is left.
class WaitCursor final {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(WaitCursor)
};

}  // namespace tk
