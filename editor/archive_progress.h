#pragma once

#include "archive/archiver.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>

class QProgressDialog;
class QWidget;

namespace tk {

// Shows a progress dialog for an add or extract that runs past half a second, fed by the
// component's progress events, for as long as it lives. The component lets the window system
// deliver events after every callback, so the windows stay responsive meanwhile.
class ArchiveProgress final {
  public:
    ArchiveProgress(TArchiver& archiver, QWidget* parent, const QString& label);
    ~ArchiveProgress();
    ArchiveProgress(const ArchiveProgress&) = delete;
    ArchiveProgress& operator=(const ArchiveProgress&) = delete;

    // Whether the dialog came up (the operation ran long enough).
    bool wasShown() const { return shown_; }

  private:
    void onProgress(TArchiver* sender, ProgressType type, const QString& file, int size);

    TArchiver& archiver_;
    QWidget* parent_;
    QString label_;
    std::function<void(TArchiver*, ProgressType, const QString&, int)> previous_;
    QPointer<QProgressDialog> dialog_;
    QElapsedTimer timer_;
    qint64 total_ = 0;
    qint64 done_ = 0;
    bool shown_ = false;
};

}  // namespace tk
