// Opening an entry in the editor, starting a new one, and what the editor asks of the main window.
#include "app/entry_dialog.h"
#include "app/main_window.h"
#include "editor/editor_window.h"
#include "platform/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace tk {

QString TForm1::editorCaption() const {
    return u'+' + CategoryName() + QStringLiteral("+ TKEDIT");
}

void TForm1::ListView1DblClick(EntryListView* list) {
    const int row = list->selectedRow();
    if (row < 0 || !form3_) {
        return;
    }
    const EntryRow entry = list->entries()->row(row);
    // The editor's close may save its document into the entry that was open before.
    form3_->FormClose();
    const QString path = entryArchive(entry);
    Archiver1.SetZipFileName(path);
    if (!QFileInfo(path).isFile() || Archiver1.ZipFileName().isEmpty()) {
        Messages::show(this, QStringLiteral("이 파일이 존재하지 않습니다."));
        return;
    }
    QString password;
    if (!unlockEntry(entry, &password) || !ExtractToScratch()) {
        return;
    }
    // A body that did not come out of the archive, or cannot be read, stops the open.
    const QString body = ScratchDir() + entry.documentFile;
    const bool web = entry.documentFile != QLatin1String(kDocumentFile);
    if (!QFileInfo(body).isFile() || (!web && !form3_->showRichBody(body))) {
        Messages::show(this, QStringLiteral("Error in Extract; Fatal DLL Exception in mainunit"), MsgKind::Error);
        return;
    }
    if (web) {
        WebDocPath = body;
        form3_->showWebBody(WebDocPath);
    }
    form3_->bindEntry(entry.title, password);
    form3_->setWindowTitle(editorCaption());
    form3_->show();
    form3_->raise();
    form3_->activateWindow();
    Archiver1.SetPassword(QString());
}

void TForm1::ToolButton3Click() {
    if (CategoryName().isEmpty()) {
        Messages::show(this, QStringLiteral("항목을 선택해주세요."));
        return;
    }
    form3_->N1Click();
    form3_->setWindowTitle(editorCaption());
    form3_->show();
    form3_->raise();
    form3_->activateWindow();
}

bool TForm1::askNewEntry(NewEntryAnswer* answer) {
    form4_->Edit1->clear();
    form4_->ComboBox1->setEditText(QString());
    form4_->Edit3->setText(TForm4::passwordPlaceholder());
    form4_->CheckBox1->setChecked(false);
    form4_->exec();
    if (form4_->DialogCancelled || form4_->Edit1->text().isEmpty()) {
        return false;
    }
    answer->title = form4_->Edit1->text();
    answer->category = form4_->ComboBox1->currentText();
    answer->isProtected = form4_->wantsProtection();
    answer->password = answer->isProtected ? form4_->Edit3->text() : QString();
    return true;
}

void TForm1::addEntryRow(const QString& archiveName, const QString& comment) {
    EntryComment parsed = ParseEntryComment(comment);
    ListView1->entries()->appendEntry(EntryRow{std::move(parsed.title), std::move(parsed.category), archiveName,
                                               std::move(parsed.documentFile), parsed.isProtected});
    StatusPanel1->setText(countText(ListView1->entries()->rowCount()));
}

}  // namespace tk
