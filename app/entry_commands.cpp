// The main window's commands on single entries: delete, retitle and re-password, and the pieces
// that opening an entry shares with them.
#include "app/entry_dialog.h"
#include "app/main_window.h"
#include "editor/archive_progress.h"
#include "platform/message_box.h"
#include "platform/shell_ops.h"
#include "platform/wait_cursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace tk {
namespace {}  // namespace

void TForm1::ZipOptions(bool isProtected) {
    AddOpts options;
    if (isProtected) {
        options.insert(AddOptsEnum::AddEncrypt);
    }
    Archiver1.SetAddOptions(options);
}

QString TForm1::AskPassword() {
    form4_->Pass_in->clear();
    form4_->showPasswordPanel();
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

QString TForm1::entryArchive(const EntryRow& entry) const {
    return ListDir + entry.archiveName + QStringLiteral(".zip");
}

bool TForm1::unlockEntry(const EntryRow& entry, QString* password) {
    password->clear();
    if (entry.imageIndex() == 1) {
        *password = AskPassword();
        if (password->isEmpty()) {
            return false;
        }
    }
    Archiver1.SetPassword(*password);
    ZipOptions(entry.isProtected);
    return true;
}

bool TForm1::ExtractToScratch() {
    WaitCursor wait;
    if (!ShellDeleteFiles(ScratchDir() + QStringLiteral("*.*"), false)) {
        qWarning("could not empty the scratch folder");
    }
    Archiver1.SetExtrBaseDir(ScratchDir());
    Archiver1.SetExtrOptions(ExtrOpts{ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
    WrongPassword = false;
    {
        ArchiveProgress progress(Archiver1, this, QStringLiteral("여는 중..."));
        Archiver1.Extract();
    }
    if (WrongPassword) {
        WrongPassword = false;
        return false;
    }
    return true;
}

void TForm1::ToolButton4Click() {
    const int row = ListView1->selectedRow();
    if (row < 0) {
        return;
    }
    const EntryRow entry = ListView1->entries()->row(row);
    const QString path = entryArchive(entry);
    if (!QFileInfo::exists(path)) {
        return;
    }
    const QString question = QStringLiteral("정말 \"") + entry.title + QStringLiteral("\" 를 지우시겠습니까?");
    if (Messages::ask(this, question, QStringLiteral("글 삭제"), MsgButtons::YesNo, MsgAnswer::No, MsgKind::Plain) !=
        MsgAnswer::Yes) {
        return;
    }
    if (!ShellDeleteFiles(path, DeleteToTrash)) {
        Messages::show(this, QStringLiteral("디렉토리의 경로가 너무 길어 파일을 삭제 할수 없습니다."), MsgKind::Error);
        return;
    }
    ListView1->entries()->removeEntry(row);
    StatusPanel1->setText(countText(ListView1->entries()->rowCount()));
    updateSelectionButtons();
}

void TForm1::ToolButton7Click() {
    const int row = ListView1->selectedRow();
    if (row < 0) {
        return;
    }
    const EntryRow entry = ListView1->entries()->row(row);
    Archiver1.SetZipFileName(entryArchive(entry));
    QString password;
    if (!unlockEntry(entry, &password) || !ExtractToScratch()) {
        return;
    }

    form4_->CheckBox1->setChecked(entry.isProtected);
    form4_->Edit3->setText(entry.isProtected ? password : TForm4::passwordPlaceholder());
    form4_->Edit1->setText(entry.title);
    form4_->ComboBox1->setEditText(entry.category);
    form4_->exec();
    if (form4_->DialogCancelled || form4_->Edit1->text().isEmpty()) {
        return;
    }

    const bool protect = form4_->wantsProtection();
    ZipOptions(protect);
    Archiver1.SetPassword(protect ? form4_->Edit3->text() : QString());
    if (!QFileInfo::exists(ScratchDir() + entry.documentFile)) {
        Messages::show(this, QStringLiteral("실패"), MsgKind::Error);
        return;
    }
    const QString comment =
        MakeEntryComment(form4_->Edit1->text(), form4_->ComboBox1->currentText(), protect, entry.documentFile);

    Archiver1.SetRootDir(ScratchDir());
    if (entry.documentFile == QLatin1String(kDocumentFile)) {
        Archiver1.SetFSpecArgs({entry.documentFile});
    } else {
        AddOpts options = Archiver1.AddOptions();
        options.insert(AddOptsEnum::AddDirNames).insert(AddOptsEnum::AddRecurseDirs);
        Archiver1.SetAddOptions(options);
        Archiver1.SetFSpecArgs({QStringLiteral("*.*")});
    }
    {
        WaitCursor wait;
        ArchiveProgress progress(Archiver1, this, QStringLiteral("저장하는 중..."));
        Archiver1.Add();
    }
    Archiver1.SetRootDir({});
    // A comment that claims a protection the files did not get would lock the user out: when the
    // add fails, the entry keeps its old comment and row.
    if (Archiver1.HandledCount() == 0) {
        Messages::show(this, addFailedMessage(), MsgKind::Error);
        return;
    }
    Archiver1.SetZipComment(comment);
    const EntryComment parsed = ParseEntryComment(comment);
    ListView1->entries()->setEntry(row, parsed.title, parsed.category, parsed.isProtected);
}

}  // namespace tk
