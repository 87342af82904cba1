#pragma once

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tk {

// The entry dialog: title, category and password of an entry on its title panel, or a protected
// entry's password on its password panel. It only collects text; callers read the fields after
// it closes.
class TForm4 final : public QDialog {
    Q_OBJECT

  public:
    // Shown in the password field while no password has been typed.
    static QString passwordPlaceholder() { return QStringLiteral("<암호>"); }

    explicit TForm4(QWidget* parent = nullptr);

    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void FormClose();
    // A character typed into the title; false when it is refused.
    bool Edit1KeyPress(QChar key);
    void Edit3Enter();
    void Edit3Exit();
    void CheckBox1Click();

    // Switches to the password panel for the next showing, naming the entry it asks for; closing
    // switches back.
    void showPasswordPanel(const QString& entryTitle = {});
    // The same, saying in full what the password is for (a search of protected entries).
    void showPasswordPanelFor(const QString& purpose);
    bool isPasswordPanelShown() const;
    // The category list offered in ComboBox1: refilled by every list load.
    void setCategories(const QStringList& categories);
    QStringList categories() const;

    // What the title panel says, as the callers read it: the entry is protected exactly when the
    // box is ticked and a password other than the placeholder was typed.
    bool wantsProtection() const;

    // Set when the dialog was left without confirming (a cancel button, Escape or the close button).
    bool DialogCancelled = false;

    QWidget* P_pass1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QComboBox* ComboBox1;
    QCheckBox* CheckBox1;
    QLineEdit* Edit3;
    QPushButton* Button1;
    QPushButton* Button2;
    // Show the typed password instead of dots, one toggle per password field.
    QAction* ShowEdit3;
    QAction* ShowPass_in;

    QWidget* P_pass2;
    QLabel* EntryLabel;  // the title of the entry whose password is asked for
    QLabel* Label3;
    QLineEdit* Pass_in;
    QPushButton* Button3;
    QPushButton* Button4;

  public Q_SLOTS:
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void setupTitlePanel();
    void setupPasswordPanel();
    void refuseSeparator();
    void keepFreeOfSeparators(QLineEdit* edit, const QString& text);
    void updateEchoModes();

    bool confirmed_ = false;
};

}  // namespace tk
