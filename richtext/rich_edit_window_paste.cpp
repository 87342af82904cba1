// The rich edit window's clipboard data: what a copy puts there, and pastes and drops of rich
// text, objects and pictures, with the objects the owner refuses left out.
#include "richtext/rich_edit_window.h"

#include "richtext/rich_format.h"
#include "richtext/rtf_picture.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"

#include <QApplication>
#include <QBuffer>
#include <QHash>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QUrl>

namespace tk::richedit {

using namespace tk::ole;

namespace {

constexpr char kRtfMime[] = "text/rtf";
constexpr char kRtfMimeOther[] = "application/rtf";

// The images a document's image characters show, by resource name.
QHash<QString, QVariant> imagesOf(const QTextDocument& document, int from, int to) {
    QHash<QString, QVariant> images;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().isImageFormat() && f.position() + f.length() > from && f.position() < to) {
                const QString name = f.charFormat().toImageFormat().name();
                images.insert(name, document.resource(QTextDocument::ImageResource, QUrl(name)));
            }
        }
    }
    return images;
}

// Pasted text never arrives protected: like typed text, it would lock the user out of what was
// just put in.
void unprotect(QTextDocument& scratch) {
    std::vector<std::pair<int, int>> ranges;
    for (QTextBlock block = scratch.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().boolProperty(richformat::Protected)) {
                ranges.emplace_back(it.fragment().position(), it.fragment().length());
            }
        }
    }
    for (const auto& [position, length] : ranges) {
        QTextCursor c(&scratch);
        c.setPosition(position);
        c.setPosition(position + length, QTextCursor::KeepAnchor);
        QTextCharFormat format = c.charFormat();
        format.clearProperty(richformat::Protected);
        c.setCharFormat(format);
    }
}

void addImages(QTextDocument& document, const QHash<QString, QVariant>& images) {
    for (auto it = images.cbegin(); it != images.cend(); ++it) {
        if (it.value().isValid()) {
            document.addResource(QTextDocument::ImageResource, QUrl(it.key()), it.value());
        }
    }
}

// What a copy of the window's selection offers: Qt's own formats, the selection itself for pastes
// into this program (objects and every format kept), RTF for other programs, and a selection that
// is one object as that object.
class RichEditMimeData final : public QMimeData {
  public:
    RichEditMimeData(QMimeData* base, const QTextCursor& selection)
        : base_(base),
          fragment_(selection.selection()),
          images_(imagesOf(*selection.document(), selection.selectionStart(), selection.selectionEnd())) {}
    ~RichEditMimeData() override { delete base_; }
    RichEditMimeData(const RichEditMimeData&) = delete;
    RichEditMimeData& operator=(const RichEditMimeData&) = delete;

    void setObject(const QByteArray& object) { object_ = object; }
    // The selection as a document of its own, with its pictures.
    void fill(QTextDocument& scratch) const {
        addImages(scratch, images_);
        QTextCursor c(&scratch);
        c.insertFragment(fragment_);
    }

    QStringList formats() const override {
        QStringList list = base_->formats();
        list << QLatin1String(kRtfMime);
        if (!object_.isEmpty()) {
            list.prepend(QLatin1String(kObjectMimeType));
        }
        return list;
    }
    bool hasFormat(const QString& type) const override { return formats().contains(type); }

  protected:
    QVariant retrieveData(const QString& type, QMetaType metaType) const override {
        if (type == QLatin1String(kObjectMimeType)) {
            return object_;
        }
        if (type == QLatin1String(kRtfMime)) {
            QTextDocument scratch;
            fill(scratch);
            return rtf::writeRtf(scratch);
        }
        if (type == QLatin1String("text/plain")) {
            return base_->text();
        }
        if (type == QLatin1String("text/html")) {
            return base_->html();
        }
        return base_->hasFormat(type) ? QVariant(base_->data(type)) : QMimeData::retrieveData(type, metaType);
    }

  private:
    QMimeData* base_;
    QTextDocumentFragment fragment_;
    QHash<QString, QVariant> images_;
    QByteArray object_;
};

QByteArray rtfOf(const QMimeData* data) {
    for (const char* type : {kRtfMime, kRtfMimeOther}) {
        if (data->hasFormat(QLatin1String(type))) {
            return data->data(QLatin1String(type));
        }
    }
    return {};
}

}  // namespace

QMimeData* RichEditWindow::createMimeDataFromSelection() const {
    auto* data = new RichEditMimeData(QTextEdit::createMimeDataFromSelection(), textCursor());
    auto* self = const_cast<RichEditWindow*>(this);
    const int selected = self->objects_->selectedIndex();
    TReObject record;
    if (selected >= 0 && succeeded(self->objects_->getObject(selected, &record, true))) {
        const QTextImageFormat format = self->objects_->formatOf(selected);
        CopiedObject copied;
        copied.className = format.stringProperty(richformat::ObjectClass);
        copied.data =
            record.poleobj != nullptr ? record.poleobj->save() : format.property(richformat::ObjectData).toByteArray();
        copied.aspect = record.dvaspect;
        copied.sizel = record.sizel;
        if (!copied.className.isEmpty()) {
            data->setObject(encodeCopiedObject(copied));
        }
    }
    self->ownClipboardData_ = data;
    return data;
}

bool RichEditWindow::offers(const QMimeData* data, ClipFormat format) {
    if (data == nullptr) {
        return false;
    }
    switch (format) {
        case ClipFormat::Object:
            return data->hasFormat(QLatin1String(kObjectMimeType));
        case ClipFormat::RichText:
            return data->hasFormat(QLatin1String(kRtfMime)) || data->hasFormat(QLatin1String(kRtfMimeOther));
        case ClipFormat::Text:
            return data->hasText();
        case ClipFormat::Image:
            return data->hasImage();
        case ClipFormat::Best:
            break;
    }
    return offers(data, ClipFormat::Object) || offers(data, ClipFormat::RichText) || offers(data, ClipFormat::Text) ||
           offers(data, ClipFormat::Image) || data->hasHtml();
}

bool RichEditWindow::canInsertFromMimeData(const QMimeData* source) const {
    if (model_->isPlainText()) {
        return source->hasText();
    }
    return QTextEdit::canInsertFromMimeData(source) || offers(source, ClipFormat::Best);
}

void RichEditWindow::insertFromMimeData(const QMimeData* source) {
    QTextCursor c = textCursor();
    if (isReadOnly() || !model_->allowEdit(EditMessage::Paste, c.selectionStart(), c.selectionEnd())) {
        return;
    }
    const int room = model_->textLimit() - (model_->textLength() - (c.selectionEnd() - c.selectionStart()));
    if (room <= 0) {
        QApplication::beep();
        return;
    }
    if (source->text().size() > room || model_->isPlainText()) {
        // Too long or a plain-text window: only the text that fits goes in.
        model_->batch([&] { c.insertText(source->text().left(room)); });
        setTextCursor(c);
        return;
    }
    importData(source, ClipFormat::Best);
}

bool RichEditWindow::importData(const QMimeData* data, ClipFormat format) {
    if (data == nullptr || isReadOnly()) {
        return false;
    }
    switch (format) {
        case ClipFormat::Object:
            return importObject(data);
        case ClipFormat::RichText:
            return importRichText(data);
        case ClipFormat::Image:
            return importImage(data);
        case ClipFormat::Text: {
            if (!data->hasText()) {
                return false;
            }
            QTextCursor c = textCursor();
            model_->batch([&] { c.insertText(data->text()); });
            setTextCursor(c);
            return true;
        }
        case ClipFormat::Best:
            break;
    }
    if (const auto* own = dynamic_cast<const RichEditMimeData*>(data)) {
        QTextDocument scratch;
        own->fill(scratch);
        insertScratch(scratch);
        return true;
    }
    if (offers(data, ClipFormat::Object) && importObject(data)) {
        return true;
    }
    if (offers(data, ClipFormat::RichText) && importRichText(data)) {
        return true;
    }
    if (data->hasHtml() || data->hasText()) {
        model_->batch([&] { QTextEdit::insertFromMimeData(data); });
        return true;
    }
    return importImage(data);
}

void RichEditWindow::insertScratch(QTextDocument& scratch) {
    objects_->filterPaste(scratch);
    unprotect(scratch);
    addImages(*document(), imagesOf(scratch, 0, scratch.characterCount()));
    QTextCursor c = textCursor();
    model_->batch([&] {
        c.beginEditBlock();
        c.insertFragment(QTextDocumentFragment(&scratch));
        c.endEditBlock();
    });
    setTextCursor(c);
}

bool RichEditWindow::importRichText(const QMimeData* data) {
    const QByteArray bytes = rtfOf(data);
    QTextDocument scratch;
    QTextCursor sc(&scratch);
    const rtf::RtfError error = rtf::readRtf(bytes, sc);
    if (error == rtf::RtfError::NotRtf || error == rtf::RtfError::TooLarge) {
        return false;
    }
    insertScratch(scratch);
    return true;
}

bool RichEditWindow::importObject(const QMimeData* data) {
    CopiedObject copied;
    if (!decodeCopiedObject(data->data(QLatin1String(kObjectMimeType)), &copied)) {
        return false;
    }
    std::unique_ptr<OleObject> object = makeCopiedObject(copied);
    if (!object) {
        return false;
    }
    TReObject record;
    record.cp = REO_CP_SELECTION;
    record.clsid = object->classId();
    record.dvaspect = copied.aspect;
    record.dwFlags = REO_RESIZABLE;
    record.sizel = copied.sizel;
    return succeeded(objects_->insertObject(record, std::move(object)));
}

// A picture becomes an object of the picture class when that class is registered, else a plain
// picture; either way it is an object insertion that the owner may refuse.
bool RichEditWindow::importImage(const QMimeData* data) {
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull()) {
        return false;
    }
    const QUuid imageClass = RichEditObjects::classIdOf(QLatin1String(kImageClassName));
    if (!imageClass.isNull()) {
        std::unique_ptr<OleObject> object = ObjectServers::instance().create(QLatin1String(kImageClassName));
        auto* picture = object ? static_cast<IQEImage*>(object->queryInterface(IID_IQEImage)) : nullptr;
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("clipboard.png"));
        if (picture != nullptr && folder.isValid() && image.save(path, "PNG") &&
            succeeded(picture->SetUpdating(true)) && succeeded(picture->LoadFromFile(path)) &&
            succeeded(picture->SetUpdating(false)) && succeeded(picture->SetAutoSize(true))) {
            TReObject record;
            record.cp = REO_CP_SELECTION;
            record.clsid = imageClass;
            record.dwFlags = REO_RESIZABLE | REO_DYNAMICSIZE;
            return succeeded(objects_->insertObject(record, std::move(object)));
        }
    }
    if (!objects_->queryInsert(QUuid())) {
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QString name = QStringLiteral("tkclip:%1").arg(qHash(png), 0, 16);
    document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(image.width());
    format.setHeight(image.height());
    format.setProperty(richformat::PictureKind, int(richformat::PictureType::Png));
    format.setProperty(richformat::PictureData, png);
    format.setProperty(richformat::PictureHeader, rtf::blipHeader(richformat::PictureType::Png, image.size()));
    QTextCursor c = textCursor();
    model_->batch([&] {
        c.beginEditBlock();
        c.insertImage(format);
        c.endEditBlock();
    });
    setTextCursor(c);
    return true;
}

}  // namespace tk::richedit
