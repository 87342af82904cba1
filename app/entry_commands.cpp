// The main window's commands on single entries: delete, and retitle and re-password.
#include "app/entry_dialog.h"
#include "app/main_window.h"
#include "editor/archive_progress.h"
#include "editor/editor_window.h"
#include "platform/message_box.h"
#include "platform/wait_cursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace tk {

QString TForm1::AskPassword(const QString& title) {
    form4_->Pass_in->clear();
    form4_->showPasswordPanel(title);
    form4_->exec();
    if (form4_->DialogCancelled) {
        Messages::show(this, QStringLiteral("암호 입력을 취소했습니다."));
        return {};
    }
    if (form4_->Pass_in->text().isEmpty()) {
        Messages::show(this, QStringLiteral("암호를 입력하세요."));
        return {};
    }
    return form4_->Pass_in->text();
}

bool TForm1::withProgress(const QString& label, const std::function<bool()>& operation) {
    WaitCursor wait;
    ArchiveProgress progress(Archiver1, this, label);
    return operation();
}

void TForm1::showStoreError() {
    const EntryError error = store_.error();
    const MsgKind kind =
        error == EntryError::WrongPassword || error == EntryError::Missing ? MsgKind::Warning : MsgKind::Error;
    Messages::show(this, store_.errorString(), kind);
}

void TForm1::ToolButton4Click() {
    const int row = ListView1->selectedRow();
    if (row < 0) {
        return;
    }
    const EntryRow entry = ListView1->entries()->row(row);
    const QString path = EntryStore::archivePath(ListDir, entry.archiveName);
    if (!QFileInfo::exists(path)) {
        return;
    }
    const QString question = QStringLiteral("정말 \"") + entry.title + QStringLiteral("\" 를 지우시겠습니까?");
    if (Messages::ask(this, question, QStringLiteral("글 삭제"), MsgButtons::YesNo, MsgAnswer::No, MsgKind::Plain) !=
        MsgAnswer::Yes) {
        return;
    }
    if (!store_.remove(path, DeleteToTrash)) {
        showStoreError();
        return;
    }
    ListView1->entries()->removeEntry(row);
    StatusPanel1->setText(countText(ListView1->entries()->rowCount()));
    updateSelectionButtons();
    // An editor still bound to the entry would write a new archive without its comment.
    if (form3_) {
        form3_->entryDeleted(path);
    }
}

void TForm1::ToolButton7Click() {
    const int row = ListView1->selectedRow();
    if (row < 0) {
        return;
    }
    const EntryRow entry = ListView1->entries()->row(row);
    const QString path = EntryStore::archivePath(ListDir, entry.archiveName);
    QString password;
    if (entry.isProtected) {
        password = AskPassword(entry.title);
        if (password.isEmpty()) {
            return;
        }
    }
    if (!withProgress(QStringLiteral("여는 중..."),
                      [&] { return store_.beginRetitle(path, entry.documentFile, password); })) {
        showStoreError();
        return;
    }

    form4_->CheckBox1->setChecked(entry.isProtected);
    form4_->Edit3->setText(entry.isProtected ? password : TForm4::passwordPlaceholder());
    form4_->Edit1->setText(entry.title);
    form4_->ComboBox1->setEditText(entry.category);
    form4_->exec();
    if (form4_->DialogCancelled || form4_->Edit1->text().isEmpty()) {
        store_.discardRetitle();
        return;
    }
    const bool protect = form4_->wantsProtection();
    const EntryComment comment{form4_->Edit1->text(), form4_->ComboBox1->currentText(), protect, entry.documentFile};
    const QString newPassword = protect ? form4_->Edit3->text() : QString();
    EntryRef retitled;
    if (!withProgress(QStringLiteral("저장하는 중..."),
                      [&] { return store_.finishRetitle(comment, newPassword, &retitled); })) {
        showStoreError();
        return;
    }
    ListView1->entries()->setEntry(row, comment.title, comment.category, protect);
    if (form3_) {
        form3_->entryRetitled(retitled);
    }
    // Back to the list, so that Space or Enter acts on the entries rather than on the button.
    ListView1->setFocus();
}

}  // namespace tk
