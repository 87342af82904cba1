// The rich edit window's embedded objects: the index of image characters that follows every edit,
// the live instances made from them when needed, and what an instance's change does to its character.
#include "richtext/rich_edit_window_objects.h"

#include "richtext/rich_edit_model.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_picture.h"

#include <QApplication>
#include <QBuffer>
#include <QDataStream>
#include <QIODevice>
#include <QPainter>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace tk::richedit {

using namespace tk::ole;

namespace {

int nextKey() {
    static int key = 0;
    return ++key;
}

// Image characters of [from, to) (to -1: the end) in document order.
template <typename F>
void forEachImage(const QTextDocument& document, int from, int to, F&& f) {
    const int end = to < 0 ? document.characterCount() : to;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat()) {
                continue;
            }
            const int first = std::max(from, fragment.position());
            const int last = std::min(end, fragment.position() + fragment.length());
            const QString text = fragment.text();
            for (int cp = first; cp < last; ++cp) {
                if (text.at(cp - fragment.position()) == QChar::ObjectReplacementCharacter) {
                    f(cp, fragment.charFormat().toImageFormat());
                }
            }
        }
    }
}

bool sameObject(const QTextImageFormat& a, int aKey, const QTextImageFormat& b) {
    const int ka = a.intProperty(richformat::ObjectKey);
    const int kb = b.intProperty(richformat::ObjectKey);
    if (kb != 0 && (ka == kb || aKey == kb)) {
        return true;
    }
    if (ka != 0 && kb != 0) {
        return false;
    }
    return a.name() == b.name() &&
           a.stringProperty(richformat::ObjectClass) == b.stringProperty(richformat::ObjectClass) &&
           a.property(richformat::ObjectData).toByteArray() == b.property(richformat::ObjectData).toByteArray();
}

// A package object of the source file, the link to the file, and updates that read it again.
class LinkedObject final : public OleObject, public OleLink {
  public:
    LinkedObject(QString source, std::unique_ptr<OleObject> inner) : source_(std::move(source)) {
        take(std::move(inner));
    }

    QString className() const override { return inner_->className(); }
    QUuid classId() const override { return inner_->classId(); }
    QString fullTypeName() const override { return inner_->fullTypeName(); }
    QString shortTypeName() const override { return inner_->shortTypeName(); }
    QList<OleVerb> verbs() const override { return inner_->verbs(); }
    HRESULT doVerb(int verb, QWidget* window) override { return inner_->doVerb(verb, window); }
    QByteArray save() const override { return inner_->save(); }
    HRESULT load(const QByteArray& data) override { return inner_->load(data); }
    QImage picture() const override { return inner_->picture(); }
    QSize extentTwips() const override { return inner_->extentTwips(); }
    QByteArray encodedPicture(QByteArray* kind) const override { return inner_->encodedPicture(kind); }
    void* queryInterface(const QUuid& iid) override { return inner_->queryInterface(iid); }
    OleLink* link() override { return this; }
    void close() override { inner_->close(); }

    QString sourceDisplayName() const override { return source_; }
    HRESULT setSourceDisplayName(const QString& name) override {
        HRESULT hr = S_OK;
        std::unique_ptr<OleObject> fresh = ObjectServers::instance().createFromFile(name, &hr);
        if (!fresh) {
            return hr;
        }
        source_ = name;
        replace(std::move(fresh));
        return S_OK;
    }
    unsigned updateOptions() const override { return options_; }
    HRESULT setUpdateOptions(unsigned options) override {
        if (options != 1 && options != 3) {
            return E_INVALIDARG;
        }
        options_ = options;
        return S_OK;
    }
    HRESULT update() override { return setSourceDisplayName(source_); }

  private:
    void take(std::unique_ptr<OleObject> inner) {
        inner_ = std::move(inner);
        inner_->changed = [this] {
            if (changed) {
                changed();
            }
        };
    }
    void replace(std::unique_ptr<OleObject> fresh) {
        inner_->close();
        take(std::move(fresh));
        if (changed) {
            changed();
        }
    }

    QString source_;
    std::unique_ptr<OleObject> inner_;
    unsigned options_ = 1;
};

}  // namespace

std::unique_ptr<OleObject> makeLinkedObject(const QString& sourcePath, HRESULT* result) {
    HRESULT ignored = S_OK;
    HRESULT& hr = result ? *result : ignored;
    std::unique_ptr<OleObject> inner = ObjectServers::instance().createFromFile(sourcePath, &hr);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<LinkedObject>(sourcePath, std::move(inner));
}

std::unique_ptr<OleObject> makeCopiedObject(const CopiedObject& copied, HRESULT* result) {
    HRESULT ignored = S_OK;
    HRESULT& hr = result ? *result : ignored;
    std::unique_ptr<OleObject> object = ObjectServers::instance().create(copied.className, &hr);
    if (object && !copied.data.isEmpty()) {
        hr = object->load(copied.data);
        if (!succeeded(hr)) {
            object.reset();
        }
    }
    return object;
}

QImage classIconImage(const QString& shortTypeName) {
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const int width = std::clamp(metrics.horizontalAdvance(shortTypeName) + 8, 48, 160);
    QImage image(width, 36 + metrics.height() + 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QPixmap icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32);
    painter.drawPixmap((width - 32) / 2, 2, icon);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 36, width, metrics.height() + 4), Qt::AlignHCenter | Qt::AlignTop,
                     metrics.elidedText(shortTypeName, Qt::ElideRight, width - 4));
    return image;
}

QByteArray encodeCopiedObject(const CopiedObject& object) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint32(1) << object.className << object.data << quint32(object.aspect) << object.sizel;
    return bytes;
}

bool decodeCopiedObject(const QByteArray& bytes, CopiedObject* object) {
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 version = 0;
    quint32 aspect = 0;
    in >> version >> object->className >> object->data >> aspect >> object->sizel;
    object->aspect = aspect == DVASPECT_ICON ? DVASPECT_ICON : DVASPECT_CONTENT;
    return in.status() == QDataStream::Ok && version == 1 && !object->className.isEmpty();
}

// ---- the index ----

RichEditObjects::RichEditObjects(RichEditModel& model, QWidget* window)
    : model_(model), document_(model.document()), window_(window) {
    connect(document_, &QTextDocument::contentsChange, this, &RichEditObjects::contentsChange);
    connect(document_, &QTextDocument::contentsChanged, this, &RichEditObjects::contentsChanged);
    lastLength_ = document_->characterCount();
    // The document may already hold objects: they are indexed once the program is idle, or when
    // first asked for.
    markStale();
}

RichEditObjects::~RichEditObjects() {
    detach();
    for (auto& [key, object] : live_) {
        object->close();
    }
}

void RichEditObjects::detach() {
    if (document_ != nullptr) {
        disconnect(document_, nullptr, this, nullptr);
    }
}

void RichEditObjects::markStale() {
    if (stale_) {
        return;
    }
    stale_ = true;
    QTimer::singleShot(0, this, &RichEditObjects::resolve);
}

// Edits made while the document had no layout come without their position: the index is then
// compared with the document as a whole, once the edit is over.
void RichEditObjects::resolve() {
    if (!stale_) {
        return;
    }
    stale_ = false;
    std::vector<Entry> fresh = scan(0, -1);
    std::vector<Entry> gone = std::move(entries_);
    entries_.clear();
    std::vector<Entry> removed = reconcile(gone, fresh);
    entries_ = std::move(fresh);
    for (Entry& entry : removed) {
        deleted(entry);
    }
}

std::vector<RichEditObjects::Entry> RichEditObjects::scan(int from, int to) const {
    std::vector<Entry> found;
    // A document's formats are few, its blocks may be hundreds of thousands: without an image
    // format among them there is nothing to look for.
    const QList<QTextFormat> formats = document_->allFormats();
    if (std::none_of(formats.cbegin(), formats.cend(), [](const QTextFormat& f) { return f.isImageFormat(); })) {
        return found;
    }
    forEachImage(*document_, from, to, [&](int cp, const QTextImageFormat& format) {
        Entry e;
        e.pos = cp;
        e.format = format;
        found.push_back(std::move(e));
    });
    return found;
}

// Typing into a document without objects costs one character lookup.
void RichEditObjects::contentsChange(int position, int removed, int added) {
    sawChange_ = true;
    if (!ownUpdate_) {
        joinKey_ = 0;
    }
    // A change the document made without saying (clearing it while it had no layout) shows in its
    // length: the index is then compared with the document as a whole.
    const int length = document_->characterCount();
    const bool consistent = length == lastLength_ - removed + added;
    lastLength_ = length;
    if (stale_ || !consistent) {
        stale_ = true;
        resolve();
        return;
    }
    if (entries_.empty()) {
        if (added == 0) {
            return;
        }
        bool any = false;
        if (added <= 16) {
            for (int cp = position; cp < position + added && !any; ++cp) {
                any = document_->characterAt(cp) == QChar::ObjectReplacementCharacter;
            }
        } else {
            any = true;
        }
        if (!any) {
            return;
        }
    }
    const auto byPos = [](const Entry& e, int cp) { return e.pos < cp; };
    auto lo = std::lower_bound(entries_.begin(), entries_.end(), position, byPos);
    auto hi = std::lower_bound(lo, entries_.end(), position + removed, byPos);
    std::vector<Entry> gone(std::make_move_iterator(lo), std::make_move_iterator(hi));
    const auto at = entries_.erase(lo, hi) - entries_.begin();
    for (auto it = entries_.begin() + at; it != entries_.end(); ++it) {
        it->pos += added - removed;
    }
    std::vector<Entry> fresh = scan(position, position + added);
    std::vector<Entry> lost = reconcile(gone, fresh);
    entries_.insert(entries_.begin() + at, std::make_move_iterator(fresh.begin()),
                    std::make_move_iterator(fresh.end()));
    // The owner hears of deletions with the index already up to date.
    for (Entry& entry : lost) {
        deleted(entry);
    }
}

void RichEditObjects::contentsChanged() {
    if (!sawChange_ || document_->characterCount() != lastLength_) {
        markStale();
    }
    sawChange_ = false;
}

// Characters found again keep their instance; the ones not found again were deleted and are returned.
std::vector<RichEditObjects::Entry> RichEditObjects::reconcile(std::vector<Entry>& gone, std::vector<Entry>& fresh) {
    std::vector<bool> matched(gone.size(), false);
    size_t from = 0;
    for (Entry& f : fresh) {
        size_t found = gone.size();
        for (size_t n = 0; n < gone.size() && found == gone.size(); ++n) {
            const size_t i = (from + n) % gone.size();
            if (!matched[i] && sameObject(gone[i].format, gone[i].key, f.format)) {
                found = i;
            }
        }
        if (found == gone.size()) {
            const int key = f.format.intProperty(richformat::ObjectKey);
            const bool taken = key == 0 || std::any_of(entries_.cbegin(), entries_.cend(),
                                                       [key](const Entry& e) { return e.key == key; });
            f.key = taken ? nextKey() : key;
            continue;
        }
        matched[found] = true;
        from = found + 1;
        const Entry& g = gone[found];
        f.key = g.key;
        f.sizel = g.sizel;
        f.failed = g.failed;
        // Undo took the character back to other stored data: the instance is made again from it.
        if (!ownUpdate_ && g.format.property(richformat::ObjectData) != f.format.property(richformat::ObjectData)) {
            if (auto it = live_.find(g.key); it != live_.end()) {
                it->second->close();
                live_.erase(it);
            }
            f.failed = false;
        }
    }
    std::vector<Entry> removed;
    for (size_t i = 0; i < gone.size(); ++i) {
        if (!matched[i]) {
            removed.push_back(std::move(gone[i]));
        }
    }
    return removed;
}

void RichEditObjects::deleted(Entry& entry) {
    const TReObject record = recordOf(entry);
    std::unique_ptr<OleObject> object;
    if (auto it = live_.find(entry.key); it != live_.end()) {
        object = std::move(it->second);
        live_.erase(it);
    }
    if (callback_ != nullptr) {
        callback_->DeleteObject(record);
    } else if (object) {
        object->close();
    }
}

// ---- records ----

QUuid RichEditObjects::classIdOf(const QString& className) {
    const ServerClass* c = className.isEmpty() ? nullptr : ObjectServers::instance().find(className);
    return c != nullptr ? c->classId : QUuid();
}

TReObject RichEditObjects::recordOf(const Entry& entry) const {
    TReObject record;
    record.cp = entry.pos;
    const auto it = live_.find(entry.key);
    record.poleobj = it != live_.end() ? it->second.get() : nullptr;
    record.clsid = record.poleobj != nullptr ? record.poleobj->classId()
                                             : classIdOf(entry.format.stringProperty(richformat::ObjectClass));
    record.sizel =
        QSize(richformat::pixelsToTwips(entry.format.width()), richformat::pixelsToTwips(entry.format.height()));
    record.dvaspect = entry.format.hasProperty(richformat::ObjectAspect)
                          ? unsigned(entry.format.intProperty(richformat::ObjectAspect))
                          : DVASPECT_CONTENT;
    record.dwFlags = unsigned(entry.format.intProperty(richformat::ObjectFlags));
    record.dwUser = unsigned(entry.format.intProperty(richformat::ObjectUser));
    return record;
}

int RichEditObjects::count() {
    resolve();
    return static_cast<int>(entries_.size());
}

int RichEditObjects::selectedIndex() {
    resolve();
    const QTextCursor c = model_.textCursor();
    if (c.selectionEnd() - c.selectionStart() != 1) {
        return -1;
    }
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), c.selectionStart(),
                                     [](const Entry& e, int cp) { return e.pos < cp; });
    return it != entries_.end() && it->pos == c.selectionStart() ? static_cast<int>(it - entries_.begin()) : -1;
}

int RichEditObjects::positionOf(int index) {
    resolve();
    return index >= 0 && index < count() ? entries_[size_t(index)].pos : -1;
}

int RichEditObjects::indexAt(int position) {
    resolve();
    const auto it = std::lower_bound(entries_.cbegin(), entries_.cend(), position,
                                     [](const Entry& e, int cp) { return e.pos < cp; });
    return it != entries_.cend() && it->pos == position ? static_cast<int>(it - entries_.cbegin()) : -1;
}

QTextImageFormat RichEditObjects::formatOf(int index) {
    resolve();
    return index >= 0 && index < count() ? entries_[size_t(index)].format : QTextImageFormat();
}

HRESULT RichEditObjects::getObject(int index, TReObject* record, bool wantObject) {
    resolve();
    const int selected = selectedIndex();
    if (index == REO_IOB_SELECTION) {
        index = selected;
    }
    if (index < 0 || index >= count()) {
        return E_INVALIDARG;
    }
    Entry& entry = entries_[size_t(index)];
    if (wantObject) {
        instanceOf(entry);
    }
    *record = recordOf(entry);
    if (index == selected) {
        record->dwFlags |= REO_SELECTED;
    }
    return S_OK;
}

// ---- live instances ----

OleObject* RichEditObjects::instanceOf(Entry& entry) {
    if (auto it = live_.find(entry.key); it != live_.end()) {
        return it->second.get();
    }
    const QString className = entry.format.stringProperty(richformat::ObjectClass);
    if (entry.failed || className.isEmpty()) {
        return nullptr;
    }
    HRESULT hr = S_OK;
    std::unique_ptr<OleObject> object;
    const QString source = entry.format.stringProperty(ObjectLinkSource);
    if (!source.isEmpty()) {
        object = makeLinkedObject(source, &hr);
    } else {
        object = ObjectServers::instance().create(className, &hr);
    }
    const QByteArray data = entry.format.property(richformat::ObjectData).toByteArray();
    if (object && !data.isEmpty() && !succeeded(object->load(data))) {
        object.reset();
    }
    if (!object) {
        entry.failed = true;
        return nullptr;
    }
    OleObject* raw = object.get();
    wire(entry, raw);
    live_[entry.key] = std::move(object);
    return raw;
}

void RichEditObjects::wire(Entry& entry, OleObject* object) {
    const int key = entry.key;
    object->changed = [this, key] { objectChanged(key); };
}

RichEditObjects::Entry* RichEditObjects::entryByKey(int key) {
    resolve();
    const auto it = std::find_if(entries_.begin(), entries_.end(), [key](const Entry& e) { return e.key == key; });
    return it != entries_.end() ? &*it : nullptr;
}

void RichEditObjects::objectChanged(int key) {
    Entry* entry = entryByKey(key);
    const auto it = live_.find(key);
    if (entry == nullptr || it == live_.end()) {
        return;
    }
    writeFormat(*entry, shownFormat(*entry, it->second.get()));
}

QTextImageFormat RichEditObjects::shownFormat(const Entry& entry, OleObject* object) const {
    using richformat::PictureType;
    QTextImageFormat f = entry.format;
    f.setProperty(richformat::ObjectClass, object->className());
    f.setProperty(richformat::ObjectData, object->save());
    f.clearProperty(richformat::ObjectRtf);
    f.setProperty(richformat::ObjectKey, entry.key);
    if (OleLink* link = object->link()) {
        f.setProperty(ObjectLinkSource, link->sourceDisplayName());
    }
    const bool icon = f.intProperty(richformat::ObjectAspect) == int(DVASPECT_ICON);
    const QImage image = icon ? classIconImage(object->shortTypeName()) : object->picture();
    QByteArray kind;
    const QByteArray encoded = icon ? QByteArray() : object->encodedPicture(&kind);
    const bool png = kind == "png";
    if (!encoded.isEmpty() && (png || kind == "jpeg")) {
        f.setProperty(richformat::PictureKind, int(png ? PictureType::Png : PictureType::Jpeg));
        f.setProperty(richformat::PictureData, encoded);
        f.setProperty(richformat::PictureHeader,
                      rtf::blipHeader(png ? PictureType::Png : PictureType::Jpeg, image.size()));
    } else {
        f.setProperty(richformat::PictureKind, int(PictureType::None));
        f.clearProperty(richformat::PictureData);
        f.clearProperty(richformat::PictureHeader);
    }
    if (!image.isNull()) {
        static int revision = 0;
        const QString name = QStringLiteral("tkobject:%1/%2").arg(entry.key).arg(++revision);
        document_->addResource(QTextDocument::ImageResource, QUrl(name), image);
        f.setName(name);
    }
    QSizeF pixels = image.size();
    const QSize extent = object->extentTwips();
    if (!icon && !entry.sizel.isEmpty()) {
        pixels =
            QSizeF(richformat::twipsToPixels(entry.sizel.width()), richformat::twipsToPixels(entry.sizel.height()));
    } else if (!icon && !extent.isEmpty()) {
        pixels = QSizeF(richformat::twipsToPixels(extent.width()), richformat::twipsToPixels(extent.height()));
    }
    if (pixels.isEmpty()) {
        pixels = QSizeF(32, 32);
    }
    f.setWidth(pixels.width());
    f.setHeight(pixels.height());
    return f;
}

// The change of an object is a change of the document; right after the object's insertion it
// joins the insertion's undo step.
void RichEditObjects::writeFormat(Entry& entry, const QTextImageFormat& format) {
    QTextCursor c(document_);
    c.setPosition(entry.pos);
    c.setPosition(entry.pos + 1, QTextCursor::KeepAnchor);
    const bool join = joinKey_ == entry.key && document_->availableUndoSteps() == joinUndoSteps_;
    ownUpdate_ = true;
    model_.batch([&] {
        if (join) {
            c.joinPreviousEditBlock();
        } else {
            c.beginEditBlock();
        }
        c.setCharFormat(format);
        c.endEditBlock();
    });
    ownUpdate_ = false;
    if (join) {
        joinUndoSteps_ = document_->availableUndoSteps();
    }
}

HRESULT RichEditObjects::insertObject(const TReObject& record, std::unique_ptr<OleObject> object) {
    if (!object) {
        return E_INVALIDARG;
    }
    resolve();
    QTextCursor c = model_.textCursor();
    if (record.cp != REO_CP_SELECTION) {
        c.setPosition(std::clamp(record.cp, 0, model_.textLength()));
    }
    const int from = c.selectionStart();
    const int to = c.selectionEnd();
    if (model_.isReadOnly() || model_.textLength() - (to - from) + 1 > model_.textLimit() ||
        !model_.allowEdit(EditMessage::ReplaceSel, from, to, 1)) {
        return E_FAIL;
    }
    if (!queryInsert(record.clsid.isNull() ? object->classId() : record.clsid)) {
        return E_FAIL;
    }
    // The object takes the character format at the caret, without protection, a link, or the
    // properties of an object just before it (its class, data or linked source).
    QTextCursor probe(document_);
    probe.setPosition(from);
    QTextImageFormat base;
    base.merge(richformat::withoutPicture(probe.charFormat()));
    base.setObjectType(QTextFormat::ImageObject);
    base.clearProperty(richformat::Protected);
    base.setAnchor(false);
    base.clearProperty(QTextFormat::AnchorHref);
    base.setProperty(richformat::ObjectFlags, int(record.dwFlags & ~(REO_SELECTED | REO_INPLACEACTIVE | REO_OPEN)));
    base.setProperty(richformat::ObjectAspect,
                     int(record.dvaspect == DVASPECT_ICON ? DVASPECT_ICON : DVASPECT_CONTENT));
    base.setProperty(richformat::ObjectUser, int(record.dwUser));
    Entry made;
    made.pos = from;
    made.format = base;
    made.key = nextKey();
    made.sizel = record.sizel;
    const QTextImageFormat format = shownFormat(made, object.get());
    model_.batch([&] {
        c.beginEditBlock();
        if (c.hasSelection()) {
            c.removeSelectedText();
        }
        c.insertImage(format);
        c.endEditBlock();
    });
    model_.setTextCursor(c);
    Entry* entry = entryByKey(made.key);
    if (entry != nullptr) {
        entry->sizel = record.sizel;
        wire(*entry, object.get());
    }
    live_[made.key] = std::move(object);
    joinKey_ = made.key;
    joinUndoSteps_ = document_->availableUndoSteps();
    return S_OK;
}

HRESULT RichEditObjects::setDvaspect(int index, unsigned aspect) {
    resolve();
    if (index == REO_IOB_SELECTION) {
        index = selectedIndex();
    }
    if (index < 0 || index >= count()) {
        return E_INVALIDARG;
    }
    Entry& entry = entries_[size_t(index)];
    QTextImageFormat format = entry.format;
    format.setProperty(richformat::ObjectAspect, int(aspect == DVASPECT_ICON ? DVASPECT_ICON : DVASPECT_CONTENT));
    if (OleObject* object = instanceOf(entry)) {
        Entry shown = entry;
        shown.format = format;
        format = shownFormat(shown, object);
    }
    writeFormat(entry, format);
    return S_OK;
}

void RichEditObjects::closeAll() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (auto found = live_.find(it->key); found != live_.end()) {
            found->second->close();
            live_.erase(found);
        }
    }
    for (auto& [key, object] : live_) {
        object->close();
    }
    live_.clear();
}

bool RichEditObjects::queryInsert(const QUuid& clsid) const {
    return callback_ != nullptr && callback_->QueryInsertObject(clsid) == S_OK;
}

void RichEditObjects::filterPaste(QTextDocument& scratch) const {
    std::vector<std::pair<int, QTextImageFormat>> found;
    forEachImage(scratch, 0, -1, [&](int cp, const QTextImageFormat& format) { found.emplace_back(cp, format); });
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        QTextCursor c(&scratch);
        c.setPosition(it->first);
        c.setPosition(it->first + 1, QTextCursor::KeepAnchor);
        if (!queryInsert(classIdOf(it->second.stringProperty(richformat::ObjectClass)))) {
            c.removeSelectedText();
        } else if (it->second.hasProperty(richformat::ObjectKey)) {
            QTextImageFormat f = it->second;
            f.clearProperty(richformat::ObjectKey);
            c.setCharFormat(f);
        }
    }
}

}  // namespace tk::richedit
