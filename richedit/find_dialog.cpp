#include "richedit/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tk {

TFindDialog::TFindDialog(QWidget* parent) : TFindDialog(parent, false) {}

TFindDialog::TFindDialog(QWidget* parent, bool withReplace) : QDialog(parent) {
    setWindowTitle(withReplace ? QStringLiteral("바꾸기") : QStringLiteral("찾기"));
    // A small tool window: a title and a close button, nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);
    auto* fields = new QGridLayout;
    FindEdit = new QLineEdit(this);
    auto* findLabel = new QLabel(QStringLiteral("찾을 내용(&N):"), this);
    findLabel->setBuddy(FindEdit);
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(FindEdit, 0, 1);
    if (withReplace) {
        ReplaceEditField = new QLineEdit(this);
        auto* replaceLabel = new QLabel(QStringLiteral("바꿀 내용(&P):"), this);
        replaceLabel->setBuddy(ReplaceEditField);
        fields->addWidget(replaceLabel, 1, 0);
        fields->addWidget(ReplaceEditField, 1, 1);
    }
    WholeWordBox = new QCheckBox(QStringLiteral("단어 단위로(&W)"), this);
    MatchCaseBox = new QCheckBox(QStringLiteral("대/소문자 구분(&C)"), this);
    auto* boxes = new QVBoxLayout;
    boxes->addWidget(WholeWordBox);
    boxes->addWidget(MatchCaseBox);
    auto* direction = new QGroupBox(QStringLiteral("방향"), this);
    UpButton = new QRadioButton(QStringLiteral("위로(&U)"), direction);
    DownButton = new QRadioButton(QStringLiteral("아래로(&D)"), direction);
    DownButton->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(UpButton);
    directionLayout->addWidget(DownButton);
    direction->setVisible(!withReplace);
    auto* options = new QHBoxLayout;
    options->addLayout(boxes);
    options->addWidget(direction);
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    FindNextButton = new QPushButton(QStringLiteral("다음 찾기(&F)"), this);
    FindNextButton->setDefault(true);
    buttons->addWidget(FindNextButton);
    if (withReplace) {
        ReplaceButtonField = new QPushButton(QStringLiteral("바꾸기(&R)"), this);
        ReplaceAllButtonField = new QPushButton(QStringLiteral("모두 바꾸기(&A)"), this);
        buttons->addWidget(ReplaceButtonField);
        buttons->addWidget(ReplaceAllButtonField);
        connect(ReplaceButtonField, &QPushButton::clicked, this, [this] { pressed(TFindOption::frReplace); });
        connect(ReplaceAllButtonField, &QPushButton::clicked, this, [this] { pressed(TFindOption::frReplaceAll); });
    }
    CancelButton = new QPushButton(QStringLiteral("취소"), this);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(FindNextButton, &QPushButton::clicked, this, [this] { pressed(TFindOption::frFindNext); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(FindEdit, &QLineEdit::textChanged, this, &TFindDialog::updateButtons);
    updateButtons();
}

TFindDialog::~TFindDialog() = default;

// Nothing to search for: the buttons that search wait for a text.
void TFindDialog::updateButtons() {
    const bool any = !FindEdit->text().isEmpty();
    FindNextButton->setEnabled(any);
    if (ReplaceButtonField != nullptr) {
        ReplaceButtonField->setEnabled(any);
        ReplaceAllButtonField->setEnabled(any);
    }
}

QString TFindDialog::FindText() const {
    return FindEdit->text();
}

void TFindDialog::SetFindText(const QString& text) {
    FindEdit->setText(text);
    FindEdit->selectAll();
}

TFindOptions TFindDialog::Options() const {
    TFindOptions options = lastPressed_;
    if (DownButton->isChecked() || ReplaceEditField != nullptr) {
        options |= TFindOption::frDown;
    }
    if (MatchCaseBox->isChecked()) {
        options |= TFindOption::frMatchCase;
    }
    if (WholeWordBox->isChecked()) {
        options |= TFindOption::frWholeWord;
    }
    return options;
}

void TFindDialog::SetOptions(TFindOptions options) {
    DownButton->setChecked(options.testFlag(TFindOption::frDown));
    UpButton->setChecked(!options.testFlag(TFindOption::frDown));
    MatchCaseBox->setChecked(options.testFlag(TFindOption::frMatchCase));
    WholeWordBox->setChecked(options.testFlag(TFindOption::frWholeWord));
    if (options.testFlag(TFindOption::frReplaceAll)) {
        lastPressed_ = TFindOption::frReplaceAll;
    } else if (options.testFlag(TFindOption::frReplace)) {
        lastPressed_ = TFindOption::frReplace;
    } else {
        lastPressed_ = TFindOption::frFindNext;
    }
}

void TFindDialog::Execute() {
    show();
    raise();
    activateWindow();
    FindEdit->setFocus();
}

void TFindDialog::pressed(TFindOption button) {
    if (FindEdit->text().isEmpty()) {
        return;
    }
    lastPressed_ = button;
    if (button == TFindOption::frFindNext) {
        if (OnFind) {
            OnFind(this);
        }
        return;
    }
    auto* replace = static_cast<TReplaceDialog*>(this);
    if (replace->OnReplace) {
        replace->OnReplace(this);
    }
}

void TFindDialog::done(int result) {
    QDialog::done(result);
    if (OnClose) {
        OnClose(this);
    }
}

TReplaceDialog::TReplaceDialog(QWidget* parent) : TFindDialog(parent, true) {}

QString TReplaceDialog::ReplaceText() const {
    return ReplaceEditField->text();
}

void TReplaceDialog::SetReplaceText(const QString& text) {
    ReplaceEditField->setText(text);
}

}  // namespace tk
