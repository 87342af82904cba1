#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace tk {

// A row of tabs that wraps onto as many rows as the given width needs; each row is stretched to
// the full width. One tab is selected at a time.
class TTabRows final : public QWidget {
    Q_OBJECT

  public:
    TTabRows(const QStringList& captions, int width, QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TTabRows)

    int TabIndex() const;
    // Selects a tab without telling anyone: Change is for the user's choices.
    void SetTabIndex(int index);
    int count() const;
    int rowCount() const { return rows_; }
    QAbstractButton* tab(int index) const;

  Q_SIGNALS:
    // The user selected another tab.
    void Change();

  private:
    QButtonGroup* group_;
    int current_ = 0;
    int rows_ = 0;
};

}  // namespace tk
