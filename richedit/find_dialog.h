#pragma once

#include <QDialog>
#include <QFlags>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tk {

// The find dialog's settings, in the order the stored options know them.
enum class TFindOption : unsigned {
    frDown = 1u << 0,
    frFindNext = 1u << 1,
    frHideMatchCase = 1u << 2,
    frHideWholeWord = 1u << 3,
    frHideUpDown = 1u << 4,
    frMatchCase = 1u << 5,
    frDisableMatchCase = 1u << 6,
    frDisableUpDown = 1u << 7,
    frDisableWholeWord = 1u << 8,
    frReplace = 1u << 9,
    frReplaceAll = 1u << 10,
    frWholeWord = 1u << 11,
};
Q_DECLARE_FLAGS(TFindOptions, TFindOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFindOptions)

// Our modeless find dialog: the text to find, whole word, match case and the direction. "다음
// 찾기" (also Enter) raises OnFind; closing it raises OnClose. A new dialog searches downward.
class TFindDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TFindDialog(QWidget* parent = nullptr);
    ~TFindDialog() override;

    QString FindText() const;
    void SetFindText(const QString& text);
    // What the boxes show plus the flag of the button pressed last.
    TFindOptions Options() const;
    void SetOptions(TFindOptions options);
    // Shows the dialog without blocking and brings it to the front.
    void Execute();

    std::function<void(QObject* Sender)> OnFind;
    std::function<void(QObject* Sender)> OnClose;

    QLineEdit* FindEdit;
    QCheckBox* WholeWordBox;
    QCheckBox* MatchCaseBox;
    QRadioButton* UpButton;
    QRadioButton* DownButton;
    QPushButton* FindNextButton;
    QPushButton* CancelButton;

  protected:
    // Builds the dialog; the replace dialog adds its rows and buttons between the parts.
    TFindDialog(QWidget* parent, bool withReplace);
    void done(int result) override;
    void pressed(TFindOption button);
    QLineEdit* ReplaceEditField = nullptr;
    QPushButton* ReplaceButtonField = nullptr;
    QPushButton* ReplaceAllButtonField = nullptr;

  private:
    void updateButtons();
    TFindOption lastPressed_ = TFindOption::frFindNext;
};

// Our modeless replace dialog: the find dialog with a replace text and "바꾸기" and "모두 바꾸기",
// which raise OnReplace with frReplace or frReplaceAll set. It always searches downward.
class TReplaceDialog final : public TFindDialog {
    Q_OBJECT

  public:
    explicit TReplaceDialog(QWidget* parent = nullptr);

    QString ReplaceText() const;
    void SetReplaceText(const QString& text);

    std::function<void(QObject* Sender)> OnReplace;

    QLineEdit* ReplaceEdit() const { return ReplaceEditField; }
    QPushButton* ReplaceButton() const { return ReplaceButtonField; }
    QPushButton* ReplaceAllButton() const { return ReplaceAllButtonField; }
};

}  // namespace tk
