#pragma once

#include "richedit/rich_edit_types.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QStackedWidget;

namespace tk {

// Where a dialog of the given size goes: a third of the way down the screen, centred across it,
// or centred on the reference window and then kept on the screen.
QPoint objectDialogPosition(const QSize& dialog, const QRect& screen, const QRect* reference);

// The insert-object dialog: a new object of one of the registered classes that can be inserted, or
// a file embedded as a package object. The link and display-as-icon choices are shown but cannot
// be made: linked files come from paste special, and new objects show their content.
class TInsertObjectDialog final : public QDialog {
    Q_OBJECT

  public:
    TInsertObjectDialog(const TObjectDialog& settings, QWidget* parent);

    bool createNew() const;
    // The chosen class as a braced class identifier; empty when none is chosen.
    QString classId() const;
    QString fileName() const;

    // The dialog's parts, for tests that work them like a user.
    QRadioButton* newButton() const { return newButton_; }
    QRadioButton* fileButton() const { return fileButton_; }
    QListWidget* classList() const { return classList_; }
    QLineEdit* fileEdit() const { return fileEdit_; }

    // Where the dialog goes, given its size once it is laid out.
    void setPlacement(std::function<QPoint(const QSize&)> placement) { placement_ = std::move(placement); }

  Q_SIGNALS:
    // The help button was pressed with a help topic set.
    void helpRequested(int context);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void browse();
    void updateOk();

    QRadioButton* newButton_;
    QRadioButton* fileButton_;
    QStackedWidget* pages_;
    QListWidget* classList_;
    QLineEdit* fileEdit_;
    QPushButton* okButton_ = nullptr;
    std::function<QPoint(const QSize&)> placement_;
};

}  // namespace tk
