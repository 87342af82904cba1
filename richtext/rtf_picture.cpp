#include "richtext/rtf_picture.h"

#include "platform/parallel.h"
#include "richtext/metafile.h"

#include <QBuffer>
#include <QHashFunctions>
#include <QImageReader>
#include <QPainter>
#include <QTextDocument>
#include <QUrl>
#include <QtEndian>

#include <algorithm>

namespace tk::rtf {

using richformat::PictureType;

namespace {

// Largest placeholder drawn; bigger boxes are drawn at this size and scaled.
constexpr int kMaxPlaceholderPixels = 2048;

// Takes the picture's pixels from the budget; false when it has not enough left.
bool spend(PictureBudget& budget, qint64 width, qint64 height) {
    const qint64 pixels = width * height;
    if (width <= 0 || height <= 0 || pixels > kMaxPicturePixels || pixels > budget.pixelsLeft) {
        return false;
    }
    budget.pixelsLeft -= pixels;
    return true;
}

QImage decodeWithReader(const QByteArray& data, const char* format, PictureBudget& budget) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (!spend(budget, size.width(), size.height())) {
        return {};
    }
    return reader.read();
}

}  // namespace

QImage decodeDib(const QByteArray& dib, PictureBudget& budget) {
    if (dib.size() < 40) {
        return {};
    }
    const auto* p = reinterpret_cast<const uchar*>(dib.constData());
    const qint32 width = qFromLittleEndian<qint32>(p + 4);
    const qint32 height = qFromLittleEndian<qint32>(p + 8);
    if (height == INT32_MIN || !spend(budget, width, height < 0 ? -qint64(height) : height)) {
        return {};
    }
    const quint32 headerSize = qFromLittleEndian<quint32>(p);
    const quint16 bpp = qFromLittleEndian<quint16>(p + 14);
    const quint32 compression = qFromLittleEndian<quint32>(p + 16);
    const quint32 colorsUsed = qFromLittleEndian<quint32>(p + 32);
    if (headerSize < 40 || headerSize > quint32(dib.size()) || colorsUsed > 256) {
        return {};
    }
    quint32 palette = colorsUsed ? colorsUsed : (bpp <= 8 ? (1u << bpp) : 0);
    quint32 offset = 14 + headerSize + palette * 4;
    if (compression == 3 && headerSize == 40) {
        offset += 12;  // three colour masks follow the header
    }
    QByteArray bmp;
    bmp.reserve(dib.size() + 14);
    bmp.append("BM", 2);
    uchar head[12];
    qToLittleEndian<quint32>(quint32(dib.size() + 14), head);
    qToLittleEndian<quint32>(0, head + 4);
    qToLittleEndian<quint32>(offset, head + 8);
    bmp.append(reinterpret_cast<const char*>(head), 12);
    bmp.append(dib);
    return QImage::fromData(bmp, "BMP");
}

namespace {

// Device-dependent bitmap bits: rows top-down, each padded to a 16-bit boundary.
QImage decodeBitmap(const RtfPicture& picture, PictureBudget& budget) {
    const int w = picture.picW;
    const int h = picture.picH;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || qint64(w) * h * picture.bitmapBpp / 8 > picture.data.size() ||
        !spend(budget, w, h)) {
        return {};
    }
    QImage::Format format = QImage::Format_Invalid;
    switch (picture.bitmapBpp) {
        case 1:
            format = QImage::Format_Mono;
            break;
        case 24:
            format = QImage::Format_BGR888;
            break;
        case 32:
            format = QImage::Format_RGB32;
            break;
        default:
            return {};
    }
    const qsizetype minRow = (qsizetype(w) * picture.bitmapBpp + 15) / 16 * 2;
    const qsizetype rowBytes = std::max<qsizetype>(picture.bitmapRowBytes, minRow);
    if (rowBytes * h > picture.data.size()) {
        return {};
    }
    QImage image(w, h, format);
    if (image.isNull()) {
        return {};
    }
    if (format == QImage::Format_Mono) {
        image.setColor(0, qRgb(0, 0, 0));
        image.setColor(1, qRgb(255, 255, 255));
    }
    const qsizetype copy = std::min<qsizetype>(image.bytesPerLine(), (qsizetype(w) * picture.bitmapBpp + 7) / 8);
    for (int y = 0; y < h; ++y) {
        std::memcpy(image.scanLine(y), picture.data.constData() + rowBytes * y, size_t(copy));
    }
    return image;
}

// A metafile is drawn at the size it is shown at, so that it stays sharp.
QImage decodeMetafile(const RtfPicture& picture, PictureBudget& budget) {
    const QSize twips = pictureSizeTwips(picture, QImage());
    const QSize pixels(std::clamp(twips.width() / 15, 1, metafile::kMaxMetafilePixels),
                       std::clamp(twips.height() / 15, 1, metafile::kMaxMetafilePixels));
    if (!spend(budget, pixels.width(), pixels.height())) {
        return {};
    }
    const auto kind = picture.kind == PictureType::Wmf ? metafile::Kind::Wmf : metafile::Kind::Emf;
    return metafile::render(kind, picture.data, pixels);
}

// Equal pictures share one resource. The key is two 64-bit hashes of the bytes with this run's
// random seeds (collisions cannot be arranged from outside) and the length: as good a key as a
// digest for that, at a fraction of its cost on megabytes of photographs.
QString resourceName(const QByteArray& header, const QByteArray& data) {
    const size_t seed = qGlobalQHashSeed();
    const size_t first = qHash(QByteArrayView(data), seed) ^ qHash(QByteArrayView(header), seed);
    const size_t second = qHash(QByteArrayView(data), ~seed) ^ qHash(QByteArrayView(header), seed + 1);
    return QStringLiteral("tkrtf:%1-%2-%3")
        .arg(quint64(first), 16, 16, QLatin1Char('0'))
        .arg(quint64(second), 16, 16, QLatin1Char('0'))
        .arg(data.size());
}

// The pixel size a PNG or JPEG declares, read from its header without decoding it.
QSize declaredSize(const QByteArray& data, PictureType kind) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, kind == PictureType::Png ? "PNG" : "JPEG").size();
}

}  // namespace

QImage decodePicture(const RtfPicture& picture, PictureBudget& budget) {
    switch (picture.kind) {
        case PictureType::Png:
            return decodeWithReader(picture.data, "PNG", budget);
        case PictureType::Jpeg:
            return decodeWithReader(picture.data, "JPEG", budget);
        case PictureType::Dib:
            return decodeDib(picture.data, budget);
        case PictureType::Bitmap:
            return decodeBitmap(picture, budget);
        case PictureType::Wmf:
        case PictureType::Emf:
            return decodeMetafile(picture, budget);
        default:
            return {};
    }
}

QSize pictureSizeTwips(const RtfPicture& picture, const QImage& image) {
    return pictureSizeTwips(picture, image.isNull() ? QSize() : image.size());
}

QSize pictureSizeTwips(const RtfPicture& picture, QSize imagePixels) {
    auto natural = [&](int pic, int goal, int imageSize) {
        if (goal > 0) {
            return goal;
        }
        if (imagePixels.isValid()) {
            return imageSize * 15;
        }
        if (picture.kind == PictureType::Wmf || picture.kind == PictureType::Emf) {
            return int(qint64(pic) * 1440 / 2540);  // hundredths of a millimetre
        }
        return pic * 15;
    };
    auto scaled = [](int twips, int scale) {
        const qint64 value = qint64(twips) * (scale > 0 ? scale : 100) / 100;
        return int(std::clamp<qint64>(value, 15, kMaxPictureTwips));
    };
    return {scaled(natural(picture.picW, picture.goalW, imagePixels.width()), picture.scaleX),
            scaled(natural(picture.picH, picture.goalH, imagePixels.height()), picture.scaleY)};
}

QString placeholderResource(QTextDocument* document, QSize pixels, PictureBudget& budget) {
    QSize size(std::clamp(pixels.width(), 2, kMaxPlaceholderPixels),
               std::clamp(pixels.height(), 2, kMaxPlaceholderPixels));
    QString name = QStringLiteral("tkrtf:box/%1x%2").arg(size.width()).arg(size.height());
    if (document->resource(QTextDocument::ImageResource, QUrl(name)).isNull() && budget.boxesLeft <= 0) {
        size = QSize(64, 64);  // one shared box, scaled to each size
        name = QStringLiteral("tkrtf:box/shared");
    }
    if (document->resource(QTextDocument::ImageResource, QUrl(name)).isNull()) {
        --budget.boxesLeft;
        document->addResource(QTextDocument::ImageResource, QUrl(name), framedBox(size));
    }
    return name;
}

QImage framedBox(QSize pixels) {
    const QSize size(std::clamp(pixels.width(), 2, kMaxPlaceholderPixels),
                     std::clamp(pixels.height(), 2, kMaxPlaceholderPixels));
    // One bit per pixel keeps even large boxes small.
    QImage box(size, QImage::Format_Mono);
    box.setColor(0, qRgb(255, 255, 255));
    box.setColor(1, qRgb(128, 128, 128));
    box.fill(0);
    for (int x = 0; x < size.width(); ++x) {
        box.setPixel(x, 0, 1);
        box.setPixel(x, size.height() - 1, 1);
    }
    for (int y = 0; y < size.height(); ++y) {
        box.setPixel(0, y, 1);
        box.setPixel(size.width() - 1, y, 1);
    }
    return box;
}

void PendingPictures::add(const QString& name, const RtfPicture& picture, QSize boxPixels) {
    if (!names_.contains(name)) {
        names_.insert(name);
        jobs_.push_back({name, picture.data, picture.kind, boxPixels, QImage()});
    }
}

void PendingPictures::decodeInto(QTextDocument* document) {
    parallelFor(jobs_.size(), 1, [this](size_t begin, size_t end, size_t) {
        for (size_t i = begin; i < end; ++i) {
            Job& job = jobs_[i];
            QBuffer buffer;
            buffer.setData(job.data);
            buffer.open(QIODevice::ReadOnly);
            job.image = QImageReader(&buffer, job.kind == PictureType::Png ? "PNG" : "JPEG").read();
        }
    });
    for (Job& job : jobs_) {
        document->addResource(QTextDocument::ImageResource, QUrl(job.name),
                              job.image.isNull() ? framedBox(job.boxPixels) : job.image);
    }
    jobs_.clear();
    names_.clear();
}

namespace {

// The image character showing a picture's resource at its size, with the picture's bytes kept for
// writing it back.
QTextImageFormat imageCharacter(const QString& resource, QSizeF pixels, const RtfPicture& picture) {
    QTextImageFormat format;
    format.setName(resource);
    format.setWidth(pixels.width());
    format.setHeight(pixels.height());
    format.setProperty(richformat::PictureKind, int(picture.kind));
    format.setProperty(richformat::PictureData, picture.data);
    format.setProperty(richformat::PictureHeader, picture.header);
    return format;
}

}  // namespace

QTextImageFormat pictureFormat(QTextDocument* document, const RtfPicture& picture, PictureBudget& budget,
                               PendingPictures* pending) {
    if (pending && (picture.kind == PictureType::Png || picture.kind == PictureType::Jpeg)) {
        const QSize declared = declaredSize(picture.data, picture.kind);
        if (declared.isValid() && spend(budget, declared.width(), declared.height())) {
            const QSize twips = pictureSizeTwips(picture, declared);
            const QSizeF pixels(richformat::twipsToPixels(twips.width()), richformat::twipsToPixels(twips.height()));
            const QString name = resourceName(picture.header, picture.data);
            if (document->resource(QTextDocument::ImageResource, QUrl(name)).isNull()) {
                pending->add(name, picture, pixels.toSize());
            }
            return imageCharacter(name, pixels, picture);
        }
    }
    const QImage image = decodePicture(picture, budget);
    const QSize twips = pictureSizeTwips(picture, image);
    const QSizeF pixels(richformat::twipsToPixels(twips.width()), richformat::twipsToPixels(twips.height()));
    if (image.isNull()) {
        return imageCharacter(placeholderResource(document, pixels.toSize(), budget), pixels, picture);
    }
    const QString name = resourceName(picture.header, picture.data);
    if (document->resource(QTextDocument::ImageResource, QUrl(name)).isNull()) {
        document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    return imageCharacter(name, pixels, picture);
}

QByteArray blipHeader(PictureType kind, QSize pixels) {
    return QByteArray(kind == PictureType::Jpeg ? "\\jpegblip" : "\\pngblip") + "\\picw" +
           QByteArray::number(pixels.width()) + "\\pich" + QByteArray::number(pixels.height());
}

}  // namespace tk::rtf
