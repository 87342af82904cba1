#include "app/entry_dialog.h"

#include "platform/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QStyle>

namespace tk {
namespace {

constexpr QChar kSeparator = u'|';

// A toggle at the end of a password field that shows the password in plain text while it is on.
QAction* addShowToggle(QLineEdit* edit) {
    QAction* toggle =
        edit->addAction(edit->style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
    toggle->setCheckable(true);
    toggle->setToolTip(QStringLiteral("암호 보기"));
    toggle->setText(QStringLiteral("암호 보기"));
    return toggle;
}

}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("TOMEKEEP"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setupTitlePanel();
    setupPasswordPanel();
    auto* stack = new QStackedLayout(this);
    stack->addWidget(P_pass1);
    stack->addWidget(P_pass2);
    resize(361, 105);
    FormClose();
    updateEchoModes();
}

void TForm4::setupTitlePanel() {
    P_pass1 = new QWidget(this);
    auto* grid = new QGridLayout(P_pass1);
    Label1 = new QLabel(QStringLiteral("제목"), P_pass1);
    Edit1 = new QLineEdit(P_pass1);
    Label1->setBuddy(Edit1);
    Label2 = new QLabel(QStringLiteral("분류"), P_pass1);
    ComboBox1 = new QComboBox(P_pass1);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    Label2->setBuddy(ComboBox1);
    CheckBox1 = new QCheckBox(QStringLiteral("암호 사용"), P_pass1);
    Edit3 = new QLineEdit(passwordPlaceholder(), P_pass1);
    Edit3->setEnabled(false);
    ShowEdit3 = addShowToggle(Edit3);
    Button1 = new QPushButton(QStringLiteral("확인"), P_pass1);
    Button2 = new QPushButton(QStringLiteral("취소"), P_pass1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 2);
    grid->addWidget(Button1, 0, 3);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(ComboBox1, 1, 1, 1, 2);
    grid->addWidget(Button2, 1, 3);
    grid->addWidget(CheckBox1, 2, 1);
    grid->addWidget(Edit3, 2, 2);
    grid->setColumnStretch(2, 1);
    setTabOrder(Edit1, Edit3);
    setTabOrder(Edit3, CheckBox1);
    setTabOrder(CheckBox1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, ComboBox1);

    Edit3->installEventFilter(this);
    // A "|" in the category would split the stored comment as one in the title does.
    for (QLineEdit* edit : {Edit1, ComboBox1->lineEdit()}) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this,
                [this, edit](const QString& text) { keepFreeOfSeparators(edit, text); });
    }
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm4::CheckBox1Click);
    // The placeholder reads as words; a typed password shows as dots unless asked otherwise.
    connect(Edit3, &QLineEdit::textChanged, this, &TForm4::updateEchoModes);
    connect(ShowEdit3, &QAction::toggled, this, &TForm4::updateEchoModes);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
}

void TForm4::setupPasswordPanel() {
    P_pass2 = new QWidget(this);
    auto* grid = new QGridLayout(P_pass2);
    EntryLabel = new QLabel(P_pass2);
    EntryLabel->setTextFormat(Qt::PlainText);
    Label3 = new QLabel(QStringLiteral("암호를 입력하세요."), P_pass2);
    Pass_in = new QLineEdit(P_pass2);
    Pass_in->setEchoMode(QLineEdit::Password);
    ShowPass_in = addShowToggle(Pass_in);
    Label3->setBuddy(Pass_in);
    Button3 = new QPushButton(QStringLiteral("확인"), P_pass2);
    Button4 = new QPushButton(QStringLiteral("취소"), P_pass2);
    grid->addWidget(EntryLabel, 0, 0, 1, 2);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(Pass_in, 2, 0);
    grid->addWidget(Button3, 2, 1);
    grid->addWidget(Button4, 3, 1);
    grid->setColumnStretch(0, 1);
    connect(ShowPass_in, &QAction::toggled, this, &TForm4::updateEchoModes);
    connect(Button3, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm4::FormShow() {
    DialogCancelled = false;
    confirmed_ = false;
    if (isPasswordPanelShown()) {
        Pass_in->setFocus();
    } else {
        Edit1->setFocus();
    }
}

void TForm4::Button1Click() {
    const QString category = ComboBox1->currentText();
    if (!category.isEmpty() && ComboBox1->findText(category, Qt::MatchFixedString) < 0) {
        ComboBox1->addItem(category);
    }
    confirmed_ = true;
    accept();
}

void TForm4::Button2Click() {
    DialogCancelled = true;
    reject();
}

void TForm4::Button4Click() {
    Button2Click();
}

void TForm4::done(int result) {
    // Escape and the close button leave without confirming: callers must not act on them.
    if (!confirmed_) {
        DialogCancelled = true;
    }
    FormClose();
    QDialog::done(result);
}

void TForm4::FormClose() {
    // Passwords are hidden again for the next showing.
    ShowEdit3->setChecked(false);
    ShowPass_in->setChecked(false);
    auto* stack = static_cast<QStackedLayout*>(layout());
    if (stack) {
        stack->setCurrentWidget(P_pass1);
    }
    Button1->setAutoDefault(false);
    Button2->setDefault(true);
    Button3->setDefault(false);
}

void TForm4::updateEchoModes() {
    const bool placeholder = Edit3->text() == passwordPlaceholder();
    Edit3->setEchoMode(placeholder || ShowEdit3->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
    ShowEdit3->setVisible(!placeholder);
    Pass_in->setEchoMode(ShowPass_in->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void TForm4::showPasswordPanel(const QString& entryTitle) {
    showPasswordPanelFor(entryTitle.isEmpty() ? QString() : QStringLiteral("제목: ") + entryTitle);
}

void TForm4::showPasswordPanelFor(const QString& purpose) {
    EntryLabel->setText(purpose);
    EntryLabel->setVisible(!purpose.isEmpty());
    static_cast<QStackedLayout*>(layout())->setCurrentWidget(P_pass2);
    Button2->setDefault(false);
    Button3->setDefault(true);
}

bool TForm4::isPasswordPanelShown() const {
    return static_cast<QStackedLayout*>(layout())->currentWidget() == P_pass2;
}

void TForm4::setCategories(const QStringList& categories) {
    const QString text = ComboBox1->currentText();
    ComboBox1->clear();
    ComboBox1->addItems(categories);
    ComboBox1->setEditText(text);
}

QStringList TForm4::categories() const {
    QStringList out;
    for (int i = 0; i < ComboBox1->count(); ++i) {
        out.append(ComboBox1->itemText(i));
    }
    return out;
}

bool TForm4::wantsProtection() const {
    return CheckBox1->isChecked() && Edit3->text() != passwordPlaceholder();
}

void TForm4::refuseSeparator() {
    Messages::show(this, QStringLiteral("\"|\"는 사용하실수 없습니다."), MsgKind::Warning);
}

bool TForm4::Edit1KeyPress(QChar key) {
    if (key == kSeparator) {
        refuseSeparator();
        return false;
    }
    return true;
}

// "|" separates the fields of the stored comment: pasted or composed text may not bring one in.
void TForm4::keepFreeOfSeparators(QLineEdit* edit, const QString& text) {
    if (!text.contains(kSeparator)) {
        return;
    }
    const int cursor = edit->cursorPosition() - static_cast<int>(text.count(kSeparator));
    QString clean = text;
    clean.remove(kSeparator);
    edit->setText(clean);
    edit->setCursorPosition(std::max(0, cursor));
    refuseSeparator();
}

void TForm4::Edit3Enter() {
    if (Edit3->text() == passwordPlaceholder()) {
        Edit3->clear();
    }
}

void TForm4::Edit3Exit() {
    if (Edit3->text().isEmpty()) {
        Edit3->setText(passwordPlaceholder());
    }
}

void TForm4::CheckBox1Click() {
    Edit3->setEnabled(CheckBox1->isChecked());
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Edit1 || watched == ComboBox1->lineEdit()) && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && !Edit1KeyPress(text.front())) {
            return true;
        }
    } else if (watched == Edit3 && event->type() == QEvent::FocusIn) {
        Edit3Enter();
    } else if (watched == Edit3 && event->type() == QEvent::FocusOut) {
        Edit3Exit();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tk
