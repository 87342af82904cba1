#include "servers/image_object.h"

#include "platform/object_files.h"
#include "richtext/rtf_picture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace tk::imageserver {

using namespace tk::ole;

namespace {

// Whether the bytes start as a picture of the format that says its size (read from the header,
// not decoded).
bool declaresPicture(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, format).size().isValid();
}

}  // namespace

QString ImageObject::fullTypeName() const {
    return QStringLiteral("그림");
}

QString ImageObject::shortTypeName() const {
    return QStringLiteral("그림");
}

QList<OleVerb> ImageObject::verbs() const {
    return {OleVerb{0, QStringLiteral("열기(&O)"), true}};
}

HRESULT ImageObject::doVerb(int verb, QWidget* window) {
    if (verb == OLEIVERB_HIDE) {
        return S_OK;
    }
    if (verb != OLEIVERB_PRIMARY && verb != OLEIVERB_OPEN && verb != OLEIVERB_SHOW) {
        return E_INVALIDARG;
    }
    if (stored_.file.isEmpty()) {
        return chooseAndLoad(window);
    }
    QString path;
    const QString name = QStringLiteral("그림.") + suffixOf(stored_.format);
    const HRESULT written = writeObjectFile(servers_.host().scratchDir, name, stored_.file, &path);
    if (!succeeded(written)) {
        return written;
    }
    const auto& open = servers_.host().openFile;
    return open && open(window, path) ? S_OK : S_FALSE;
}

// A new picture object asks for its picture when it is first shown; S_FALSE when the user
// cancelled, so that no empty object is kept.
HRESULT ImageObject::chooseAndLoad(QWidget* window) {
    const auto& choose = servers_.host().chooseFile;
    const QString path =
        choose
            ? choose(
                  window, QStringLiteral("그림 고르기"),
                  QStringLiteral("그림 파일 (*.png *.jpg *.jpeg *.gif *.bmp *.dib *.ico *.emf *.wmf);;모든 파일 (*)"))
            : QString();
    if (path.isEmpty()) {
        return S_FALSE;
    }
    SetUpdating(true);
    const HRESULT loaded = LoadFromFile(path);
    SetUpdating(false);
    if (!succeeded(loaded)) {
        // The program's own message service: this library's copy of it is not the program's.
        if (const auto& warn = servers_.host().showWarning) {
            warn(window, QStringLiteral("그림 파일(%1)을 읽을 수 없습니다. 다른 그림 파일을 고르십시오.\n%2")
                             .arg(QFileInfo(path).fileName(), errorText(loaded)));
        }
        return loaded;
    }
    return SetAutoSize(true);
}

QByteArray ImageObject::save() const {
    return keepLoaded_ ? loaded_ : encodeStored(stored_);
}

HRESULT ImageObject::load(const QByteArray& data) {
    StoredImage stored;
    if (!decodeStored(data, &stored)) {
        stored = StoredImage();
    }
    stored_ = std::move(stored);
    image_ = QImage();
    decoded_ = false;
    loaded_ = data;
    keepLoaded_ = true;
    notifyChanged();
    return S_OK;
}

QImage ImageObject::picture() const {
    if (!decoded_) {
        decoded_ = true;
        DecodedImage decoded;
        if (!stored_.file.isEmpty() && succeeded(decodeImageFile(stored_.file, &decoded))) {
            image_ = decoded.image;
        }
    }
    if (!image_.isNull()) {
        return image_;
    }
    const QSize twips = extentTwips().isEmpty() ? QSize(1440, 1440) : extentTwips();
    return rtf::framedBox(twips / 15);
}

QSize ImageObject::extentTwips() const {
    return stored_.extentTwips.isEmpty() ? capTwips(stored_.naturalTwips) : stored_.extentTwips;
}

QByteArray ImageObject::encodedPicture(QByteArray* kind) const {
    if ((stored_.format != ImageFormat::Png && stored_.format != ImageFormat::Jpeg) ||
        !declaresPicture(stored_.file, stored_.format == ImageFormat::Png ? "PNG" : "JPEG")) {
        return {};
    }
    *kind = stored_.format == ImageFormat::Png ? QByteArrayLiteral("png") : QByteArrayLiteral("jpeg");
    return stored_.file;
}

void* ImageObject::queryInterface(const QUuid& iid) {
    return iid == IID_IQEImage ? static_cast<IQEImage*>(this) : nullptr;
}

HRESULT ImageObject::LoadFromFile(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.isFile()) {
        return STG_E_FILENOTFOUND;
    }
    if (info.size() > kMaxImageFileBytes) {
        return E_OUTOFMEMORY;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return STG_E_ACCESSDENIED;
    }
    const QByteArray bytes = file.read(kMaxImageFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return STG_E_ACCESSDENIED;
    }
    DecodedImage decoded;
    if (const HRESULT hr = decodeImageFile(bytes, &decoded); !succeeded(hr)) {
        return hr;
    }
    stored_.format = decoded.format;
    stored_.naturalTwips = decoded.naturalTwips;
    stored_.file = bytes;
    if (stored_.autoSize) {
        stored_.extentTwips = capTwips(decoded.naturalTwips);
    }
    image_ = decoded.image;
    decoded_ = true;
    loaded_.clear();
    keepLoaded_ = false;
    notifyChanged();
    return S_OK;
}

HRESULT ImageObject::SetUpdating(bool updating) {
    updating_ = updating;
    if (!updating_ && changePending_) {
        changePending_ = false;
        if (changed) {
            changed();
        }
    }
    return S_OK;
}

HRESULT ImageObject::SetAutoSize(bool autoSize) {
    stored_.autoSize = autoSize;
    if (autoSize) {
        stored_.extentTwips = capTwips(stored_.naturalTwips);
    }
    loaded_.clear();
    keepLoaded_ = false;
    notifyChanged();
    return S_OK;
}

void ImageObject::notifyChanged() {
    if (updating_) {
        changePending_ = true;
    } else if (changed) {
        changed();
    }
}

}  // namespace tk::imageserver
