#pragma once

#include <QLabel>

namespace tk {

// A label that acts on a left click: the settings dialog's colour swatches and its links.
class ClickLabel final : public QLabel {
    Q_OBJECT

  public:
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

  Q_SIGNALS:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace tk
