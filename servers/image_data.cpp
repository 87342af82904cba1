#include "servers/image_data.h"

#include "richtext/metafile.h"
#include "richtext/rtf_picture.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>

namespace tk::imageserver {

namespace {

constexpr char kMagic[4] = {'T', 'K', 'Q', 'I'};
constexpr quint16 kVersion = 1;
constexpr int kHeaderSize = 32;
constexpr int kDefaultDpi = 96;

void put(QByteArray& out, quint32 value, int at) {
    qToLittleEndian(value, out.data() + at);
}

quint32 get(QByteArrayView data, int at) {
    return qFromLittleEndian<quint32>(data.data() + at);
}

// Twips of a length in pixels at the resolution given in dots per metre (96 dpi when unset or odd).
int pixelsToTwips(int pixels, int dotsPerMetre) {
    const double dpi = dotsPerMetre > 0 ? dotsPerMetre * 0.0254 : kDefaultDpi;
    const double used = dpi >= 10 && dpi <= 10000 ? dpi : kDefaultDpi;
    return int(std::min<double>(pixels * 1440.0 / used + 0.5, INT_MAX / 2));
}

// A device-independent bitmap starts with its header's size instead of "BM".
bool looksLikeDib(QByteArrayView data) {
    if (data.size() < 40) {
        return false;
    }
    const quint32 header = get(data, 0);
    return header == 40 || header == 52 || header == 56 || header == 108 || header == 124;
}

ole::HRESULT decodeDib(const QByteArray& bytes, DecodedImage* decoded) {
    const qint64 width = qint32(get(bytes, 4));
    const qint64 height = std::abs(qint64(qint32(get(bytes, 8))));
    if (width > 0 && height > 0 && width * height > rtf::kMaxPicturePixels) {
        return ole::E_OUTOFMEMORY;
    }
    rtf::PictureBudget budget;
    budget.pixelsLeft = rtf::kMaxPicturePixels;
    const QImage image = rtf::decodeDib(bytes, budget);
    if (image.isNull()) {
        return ole::CTL_E_INVALIDPICTURE;
    }
    *decoded = {
        ImageFormat::Dib,
        image,
        {pixelsToTwips(image.width(), image.dotsPerMeterX()), pixelsToTwips(image.height(), image.dotsPerMeterY())}};
    return ole::S_OK;
}

ole::HRESULT decodeMetafile(metafile::Kind kind, const QByteArray& bytes, DecodedImage* decoded) {
    QSize twips = metafile::naturalSizeTwips(kind, bytes);
    if (twips.isEmpty()) {
        twips = QSize(2880, 2880);  // a bare metafile does not say its size: two inches square
    }
    twips = capTwips(twips);
    const QImage image =
        metafile::render(kind, bytes, QSize(std::max(1, twips.width() / 15), std::max(1, twips.height() / 15)));
    if (image.isNull()) {
        return ole::CTL_E_INVALIDPICTURE;
    }
    *decoded = {kind == metafile::Kind::Wmf ? ImageFormat::Wmf : ImageFormat::Emf, image, twips};
    return ole::S_OK;
}

ImageFormat formatNamed(const QByteArray& name) {
    if (name == "png") {
        return ImageFormat::Png;
    }
    if (name == "jpeg" || name == "jpg") {
        return ImageFormat::Jpeg;
    }
    if (name == "gif") {
        return ImageFormat::Gif;
    }
    if (name == "bmp") {
        return ImageFormat::Bmp;
    }
    if (name == "ico" || name == "cur") {
        return ImageFormat::Ico;
    }
    return ImageFormat::Other;
}

ole::HRESULT decodeRaster(const QByteArray& bytes, DecodedImage* decoded) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        return ole::CTL_E_INVALIDPICTURE;
    }
    // The declared size is checked before any pixel is allocated.
    const QSize declared = reader.size();
    if (declared.isValid() && qint64(declared.width()) * declared.height() > rtf::kMaxPicturePixels) {
        return ole::E_OUTOFMEMORY;
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        return ole::CTL_E_INVALIDPICTURE;
    }
    if (qint64(image.width()) * image.height() > rtf::kMaxPicturePixels) {
        return ole::E_OUTOFMEMORY;
    }
    *decoded = {
        formatNamed(format),
        image,
        {pixelsToTwips(image.width(), image.dotsPerMeterX()), pixelsToTwips(image.height(), image.dotsPerMeterY())}};
    return ole::S_OK;
}

}  // namespace

QByteArray encodeStored(const StoredImage& stored) {
    QByteArray out(kHeaderSize, '\0');
    std::copy(std::begin(kMagic), std::end(kMagic), out.begin());
    qToLittleEndian(kVersion, out.data() + 4);
    qToLittleEndian(quint16(stored.format), out.data() + 6);
    put(out, quint32(std::max(0, stored.naturalTwips.width())), 8);
    put(out, quint32(std::max(0, stored.naturalTwips.height())), 12);
    put(out, quint32(std::max(0, stored.extentTwips.width())), 16);
    put(out, quint32(std::max(0, stored.extentTwips.height())), 20);
    put(out, stored.autoSize ? 1 : 0, 24);
    put(out, quint32(stored.file.size()), 28);
    out.append(stored.file);
    return out;
}

bool decodeStored(QByteArrayView data, StoredImage* stored) {
    if (data.size() < kHeaderSize || !data.startsWith(QByteArrayView(kMagic, 4)) ||
        qFromLittleEndian<quint16>(data.data() + 4) != kVersion) {
        return false;
    }
    const quint32 size = get(data, 28);
    if (size > kMaxImageFileBytes || qint64(size) != data.size() - kHeaderSize) {
        return false;
    }
    auto twips = [&](int at) {
        return QSize(int(std::min<quint32>(get(data, at), rtf::kMaxPictureTwips)),
                     int(std::min<quint32>(get(data, at + 4), rtf::kMaxPictureTwips)));
    };
    const quint16 format = qFromLittleEndian<quint16>(data.data() + 6);
    stored->format = format <= quint16(ImageFormat::Emf) ? ImageFormat(format) : ImageFormat::Other;
    stored->naturalTwips = twips(8);
    stored->extentTwips = twips(16);
    stored->autoSize = (get(data, 24) & 1) != 0;
    stored->file = data.sliced(kHeaderSize).toByteArray();
    return true;
}

ole::HRESULT decodeImageFile(const QByteArray& bytes, DecodedImage* decoded) {
    if (bytes.isEmpty()) {
        return ole::CTL_E_INVALIDPICTURE;
    }
    if (bytes.size() > kMaxImageFileBytes) {
        return ole::E_OUTOFMEMORY;
    }
    metafile::Kind kind;
    if (metafile::sniff(bytes, &kind)) {
        return decodeMetafile(kind, bytes, decoded);
    }
    if (looksLikeDib(bytes)) {
        return decodeDib(bytes, decoded);
    }
    return decodeRaster(bytes, decoded);
}

QSize capTwips(QSize twips) {
    const int longest = std::max(twips.width(), twips.height());
    if (longest <= rtf::kMaxPictureTwips) {
        return twips;
    }
    // The longer side becomes the cap exactly, the other keeps the proportion.
    auto scaled = [&](int side) {
        return side == longest ? rtf::kMaxPictureTwips
                               : std::max(1, int((qint64(side) * rtf::kMaxPictureTwips + longest / 2) / longest));
    };
    return {scaled(twips.width()), scaled(twips.height())};
}

QString suffixOf(ImageFormat format) {
    switch (format) {
        case ImageFormat::Png:
            return QStringLiteral("png");
        case ImageFormat::Jpeg:
            return QStringLiteral("jpg");
        case ImageFormat::Gif:
            return QStringLiteral("gif");
        case ImageFormat::Bmp:
            return QStringLiteral("bmp");
        case ImageFormat::Ico:
            return QStringLiteral("ico");
        case ImageFormat::Dib:
            return QStringLiteral("dib");
        case ImageFormat::Wmf:
            return QStringLiteral("wmf");
        case ImageFormat::Emf:
            return QStringLiteral("emf");
        default:
            return QStringLiteral("img");
    }
}

}  // namespace tk::imageserver
