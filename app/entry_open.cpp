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

QString TForm1::editorCaption(const QString& category) {
    return u'+' + category + QStringLiteral("+ TKEDIT");
}

void TForm1::showEditor(const QString& caption) {
    form3_->setWindowTitle(caption.isEmpty() ? editorCaption(CategoryName()) : caption);
    form3_->show();
    form3_->raise();
    form3_->activateWindow();
}

void TForm1::ListView1DblClick(EntryListView* list) {
    const int row = list->selectedRow();
    if (row < 0 || !form3_) {
        return;
    }
    const EntryRow entry = list->entries()->row(row);
    // The editor's close may save its document into the entry that was open before; when that
    // save does not happen, the document stays and nothing is opened.
    if ((form3_->isVisible() || form3_->isModified()) && !form3_->FormClose()) {
        return;
    }
    // A row of a library search lies in a folder of its own; every other row in the listed one.
    const QString folder = entry.folder.isEmpty() ? ListDir : entry.folder;
    const QString path = EntryStore::archivePath(folder, entry.archiveName);
    if (!withProgress(QStringLiteral("여는 중..."), [&] { return store_.checkArchive(path); })) {
        showStoreError();
        return;
    }
    QString password;
    if (entry.isProtected) {
        password = AskPassword(entry.title);
        if (password.isEmpty()) {
            return;
        }
    }
    const EntryComment comment{entry.title, entry.category, entry.isProtected, entry.documentFile};
    EntryRef opened;
    QString body;
    if (!withProgress(QStringLiteral("여는 중..."),
                      [&] { return store_.open(path, comment, password, &opened, &body); })) {
        showStoreError();
        return;
    }
    if (!form3_->showEntry(opened, body)) {
        return;  // the editor said why
    }
    // The caption names the category the entry was opened from.
    showEditor(folder == ListDir ? QString() : editorCaption(QFileInfo(folder.chopped(1)).fileName()));
}

void TForm1::ToolButton3Click() {
    if (CategoryName().isEmpty()) {
        Messages::show(this, QStringLiteral("항목을 선택해주세요."));
        return;
    }
    // Unsaved changes are offered for saving first; cancelling keeps them.
    if (!form3_->N1Click()) {
        return;
    }
    showEditor();
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

void TForm1::entryCreated(const QString& folder, const QString& archiveName, const EntryComment& comment) {
    if (folder != ListDir) {
        return;
    }
    ListView1->entries()->appendEntry(
        EntryRow{comment.title, comment.category, archiveName, comment.documentFile, comment.isProtected, {}});
    StatusPanel1->setText(countText(ListView1->entries()->rowCount()));
}

}  // namespace tk
