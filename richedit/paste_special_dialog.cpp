#include "richedit/paste_special_dialog.h"

#include "platform/ole_objects.h"
#include "richtext/rich_edit_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tk {

using richedit::ClipFormat;
using richedit::RichEditWindow;

namespace {

// The name of an entry in the list, and the text saying what pasting it gives.
std::pair<QString, QString> entryTexts(PasteEntry entry, const QMimeData* data) {
    switch (entry) {
        case PasteEntry::EmbeddedObject: {
            richedit::CopiedObject copied;
            QString name;
            if (richedit::decodeCopiedObject(data->data(QLatin1String(richedit::kObjectMimeType)), &copied)) {
                const ole::ServerClass* c = ole::ObjectServers::instance().find(copied.className);
                name = c != nullptr && !c->fullTypeName.isEmpty() ? c->fullTypeName : copied.className;
            }
            return {name, name};
        }
        case PasteEntry::LinkSource: {
            const QString name = QFileInfo(TPasteSpecialDialog::linkSource(data)).fileName();
            return {name, name};
        }
        case PasteEntry::RichText:
            return {QStringLiteral("서식있는 문자열(RTF)"), QStringLiteral("서식있는 문자열(RTF)")};
        case PasteEntry::Text:
            return {QStringLiteral("텍스트"), QStringLiteral("텍스트")};
        case PasteEntry::Bitmap:
            return {QStringLiteral("Windows Bitmap"), QStringLiteral("bitmap image")};
    }
    return {};
}

}  // namespace

QString TPasteSpecialDialog::linkSource(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) {
        return {};
    }
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile() ? url.toLocalFile() : QString();
}

QList<PasteEntry> TPasteSpecialDialog::available(const QMimeData* data) {
    QList<PasteEntry> entries;
    if (data == nullptr) {
        return entries;
    }
    richedit::CopiedObject copied;
    if (RichEditWindow::offers(data, ClipFormat::Object) &&
        richedit::decodeCopiedObject(data->data(QLatin1String(richedit::kObjectMimeType)), &copied)) {
        entries << PasteEntry::EmbeddedObject;
    }
    if (!linkSource(data).isEmpty()) {
        entries << PasteEntry::LinkSource;
    }
    if (RichEditWindow::offers(data, ClipFormat::RichText)) {
        entries << PasteEntry::RichText;
    }
    // A list of files is a link source, not text to paste.
    if (data->hasText() && !data->hasUrls()) {
        entries << PasteEntry::Text;
    }
    if (RichEditWindow::offers(data, ClipFormat::Image)) {
        entries << PasteEntry::Bitmap;
    }
    return entries;
}

TPasteSpecialDialog::TPasteSpecialDialog(const QMimeData* data, QWidget* parent)
    : QDialog(parent),
      list_(new QListWidget(this)),
      icon_(new QCheckBox(QStringLiteral("아이콘으로 표시(&D)"), this)),
      result_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("선택하여 붙여넣기"));
    for (const PasteEntry entry : available(data)) {
        auto* item = new QListWidgetItem(entryTexts(entry, data).first, list_);
        item->setData(Qt::UserRole, int(entry));
        item->setData(Qt::UserRole + 1, entryTexts(entry, data).second);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(list_->count() > 0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("형식(&A):"), this));
    layout->addWidget(list_);
    layout->addWidget(icon_);
    layout->addWidget(result_);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, &TPasteSpecialDialog::selectionChanged);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    list_->setCurrentRow(0);
    selectionChanged();
}

PasteEntry TPasteSpecialDialog::selected() const {
    const QListWidgetItem* item = list_->currentItem();
    return item != nullptr ? PasteEntry(item->data(Qt::UserRole).toInt()) : PasteEntry::Text;
}

bool TPasteSpecialDialog::displayAsIcon() const {
    return icon_->isEnabled() && icon_->isChecked();
}

void TPasteSpecialDialog::selectionChanged() {
    const QListWidgetItem* item = list_->currentItem();
    const PasteEntry entry = selected();
    icon_->setEnabled(item != nullptr && (entry == PasteEntry::EmbeddedObject || entry == PasteEntry::LinkSource));
    result_->setText(
        item != nullptr
            ? QStringLiteral("결과: 문서에 %1 형식으로 붙여넣습니다.").arg(item->data(Qt::UserRole + 1).toString())
            : QString());
}

}  // namespace tk
