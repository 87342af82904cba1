#pragma once

#include "store/entry_find.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tk {

class TForm1;

// The find window: searches the rows of the main list for a text in their title, category or
// archive name and copies the matches into the main window's find list. Modeless and always on
// top; the search lets the window system deliver input so that "취소" stops it.
class TForm6 final : public QDialog {
    Q_OBJECT

  public:
    explicit TForm6(TForm1* form1);
    Q_DISABLE_COPY_MOVE(TForm6)

    void FormShow();
    // Says what "암호" does when the box has just been ticked.
    void PassCheckClick(bool checked);
    // The search.
    void Button1Click();
    // Stops a running search and closes the window; the results stay.
    void Button2Click();

    bool isSearching() const { return searching_; }

    QLabel* Label1;
    QLineEdit* FindText;
    QCheckBox* NameCheck;
    QCheckBox* ColCheck;
    QCheckBox* FileCheck;
    QCheckBox* PassCheck;
    QPushButton* Button1;
    QPushButton* Button2;
    bool StopFind = false;

    // The longest stretch of a search without handing input to the window system.
    static constexpr int kEventIntervalMs = 10;

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

  private:
    FindOptions options() const;

    TForm1* form1_;
    bool searching_ = false;
};

}  // namespace tk
