// The editor's find, find next, replace and print commands.
#include "editor/editor_window.h"

#include "platform/message_box.h"
#include "platform/wait_cursor.h"
#include "richedit/qe_rich_edit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

namespace tk {

namespace {

QAction* addItem(QMenu* menu, QWidget* shortcutOwner, const QString& caption, const QKeySequence& key) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    shortcutOwner->addAction(action);
    return action;
}

}  // namespace

void TForm3::setupFindMenu() {
    PopupMenu1->addSeparator();
    N21 = addItem(PopupMenu1, RichEdit1, QStringLiteral("찾기"), QKeySequence(Qt::CTRL | Qt::Key_F));
    N22 = addItem(PopupMenu1, RichEdit1, QStringLiteral("다음 찾기"), QKeySequence(Qt::Key_F3));
    N24 = addItem(PopupMenu1, RichEdit1, QStringLiteral("바꾸기"), QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(N21, &QAction::triggered, this, &TForm3::N21Click);
    connect(N22, &QAction::triggered, this, &TForm3::N22Click);
    connect(N24, &QAction::triggered, this, &TForm3::N24Click);
    N22->setEnabled(false);
    // A search that fails says nothing of its own; the user is told here, with the text.
    RichEdit1->OnTextNotFound = [this](QObject*, const QString& text) {
        Messages::show(this,
                       QStringLiteral("'%1'을(를) 더 찾을 수 없습니다. 찾을 내용이나 방향을 바꾸어 다시 찾아 "
                                      "보세요.")
                           .arg(text),
                       MsgKind::Information, QStringLiteral("TKEDIT"));
    };
}

void TForm3::setupPrintMenu() {
    PopupMenu1->addSeparator();
    N37 = addItem(PopupMenu1, RichEdit1, QStringLiteral("인쇄 하기"), QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(N37, &QAction::triggered, this, &TForm3::N37Click);
    PrintDialog1 = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("인쇄"));
        return dialog.exec() == QDialog::Accepted;
    };
}

// F3 works only while a repeat is possible, so its item follows every search a dialog makes.
void TForm3::refreshFindNext() {
    N22->setEnabled(RichEdit1->CanFindNextMatch());
}

bool TForm3::N21Click() {
    TFindDialog* dialog = RichEdit1->ShowFindDialog(RichEdit1->SelectedText());
    connect(dialog->FindNextButton, &QAbstractButton::clicked, this, &TForm3::refreshFindNext, Qt::UniqueConnection);
    return true;
}

bool TForm3::N22Click() {
    const bool found = RichEdit1->FindNextMatch();
    refreshFindNext();
    return found;
}

bool TForm3::N24Click() {
    TReplaceDialog* dialog = RichEdit1->ShowReplaceDialog(RichEdit1->SelectedText(), QString());
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(dialog->FindNextButton), static_cast<QAbstractButton*>(dialog->ReplaceButton()),
          static_cast<QAbstractButton*>(dialog->ReplaceAllButton())}) {
        connect(button, &QAbstractButton::clicked, this, &TForm3::refreshFindNext, Qt::UniqueConnection);
    }
    return true;
}

bool TForm3::N37Click() {
    QPrinter& printer = RichEdit1->Printer();
    printer.setDocName(StatusPanel3->text());  // the dialog names a PDF file after it
    if (!PrintDialog1(printer)) {
        return false;
    }
    bool printed = false;
    {
        WaitCursor wait;
        printed = RichEdit1->PrintDocument(StatusPanel3->text());
    }
    if (!printed) {
        Messages::show(this, RichEdit1->PrintError(), MsgKind::Error, QStringLiteral("TKEDIT"));
    }
    return printed;
}

}  // namespace tk
