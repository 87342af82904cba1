#include "richtext/metafile.h"

#include <QMutex>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>

#include <algorithm>
#include <cstdlib>

namespace tk::metafile {

namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr quint32 kEmfSignature = 0x464D4520;  // " EMF"
constexpr int kPlaceableSize = 22;
constexpr int kEmfHeaderMin = 88;

// Neither drawing library promises to be safe to run from two threads at once.
QMutex& renderLock() {
    static QMutex lock;
    return lock;
}

template <typename T>
T at(QByteArrayView data, qsizetype offset) {
    return qFromLittleEndian<T>(data.data() + offset);
}

QSize clampPixels(QSize pixels) {
    return {std::clamp(pixels.width(), 1, kMaxMetafilePixels), std::clamp(pixels.height(), 1, kMaxMetafilePixels)};
}

// Frees what the WMF library made, whatever the way out.
struct WmfApi {
    wmfAPI* api = nullptr;
    ~WmfApi() {
        if (api) {
            wmf_api_destroy(api);
        }
    }
};

QImage renderWmf(QByteArrayView data, QSize pixels) {
    WmfApi w;
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&w.api, flags, &options) != wmf_E_None) {
        return {};
    }
    // The library reads from memory it does not change, but its signature wants a writable buffer.
    QByteArray copy(data.data(), data.size());
    if (wmf_mem_open(w.api, reinterpret_cast<unsigned char*>(copy.data()), long(copy.size())) != wmf_E_None) {
        return {};
    }
    wmfD_Rect bbox{};
    if (wmf_scan(w.api, 0, &bbox) != wmf_E_None) {
        return {};
    }
    wmf_gd_t* gd = WMF_GD_GetData(w.api);
    gd->type = wmf_gd_image;
    gd->bbox = bbox;
    gd->width = unsigned(pixels.width());
    gd->height = unsigned(pixels.height());
    if (wmf_play(w.api, 0, &bbox) != wmf_E_None || gd->gd_image == nullptr) {
        return {};
    }
    const int* source = wmf_gd_image_pixels(gd->gd_image);
    if (source == nullptr) {
        return {};
    }
    QImage image(pixels, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            // Truecolour pixels with a 7-bit transparency in the top byte (0 opaque, 127 clear).
            const unsigned p = unsigned(source[qsizetype(y) * pixels.width() + x]);
            const int alpha = 255 - int((p >> 24) & 0x7F) * 255 / 127;
            line[x] = qRgba(int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF), alpha);
        }
    }
    return image;
}

QImage renderEmf(QByteArrayView data, QSize pixels) {
    generatorOptions options{};
    char nameSpace[] = "";
    options.nameSpace = nameSpace;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = pixels.width();
    options.imgHeight = pixels.height();
    QByteArray copy(data.data(), data.size());
    char* svg = nullptr;
    size_t svgLength = 0;
    const int ok = emf2svg(copy.data(), size_t(copy.size()), &svg, &svgLength, &options);
    const QByteArray text = svg ? QByteArray(svg, qsizetype(svgLength)) : QByteArray();
    std::free(svg);
    if (!ok || text.isEmpty()) {
        return {};
    }
    QSvgRenderer renderer(text);
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return image;
}

// A metafile record stream without a placeable header starts with its type (1 memory, 2 disk)
// and a header of nine words.
bool isBareWmf(QByteArrayView data) {
    if (data.size() < 18) {
        return false;
    }
    const quint16 type = at<quint16>(data, 0);
    return (type == 1 || type == 2) && at<quint16>(data, 2) == 9;
}

}  // namespace

bool sniff(QByteArrayView data, Kind* kind) {
    if (data.size() >= kPlaceableSize && at<quint32>(data, 0) == kPlaceableKey) {
        *kind = Kind::Wmf;
        return true;
    }
    if (data.size() >= kEmfHeaderMin && at<quint32>(data, 0) == 1 && at<quint32>(data, 40) == kEmfSignature) {
        *kind = Kind::Emf;
        return true;
    }
    if (isBareWmf(data)) {
        *kind = Kind::Wmf;
        return true;
    }
    return false;
}

QSize naturalSizeTwips(Kind kind, QByteArrayView data) {
    if (kind == Kind::Wmf) {
        if (data.size() < kPlaceableSize || at<quint32>(data, 0) != kPlaceableKey) {
            return {};
        }
        const qint64 width = qint64(at<qint16>(data, 10)) - at<qint16>(data, 6);
        const qint64 height = qint64(at<qint16>(data, 12)) - at<qint16>(data, 8);
        const int inch = at<quint16>(data, 14);
        if (inch == 0 || width == 0 || height == 0) {
            return {};
        }
        return {int(std::abs(width) * 1440 / inch), int(std::abs(height) * 1440 / inch)};
    }
    if (data.size() < kEmfHeaderMin || at<quint32>(data, 40) != kEmfSignature) {
        return {};
    }
    // The frame is in hundredths of a millimetre, both edges included.
    const qint64 width = qint64(at<qint32>(data, 32)) - at<qint32>(data, 24) + 1;
    const qint64 height = qint64(at<qint32>(data, 36)) - at<qint32>(data, 28) + 1;
    if (width <= 0 || height <= 0 || width > (qint64(1) << 30) || height > (qint64(1) << 30)) {
        return {};
    }
    return {int(width * 1440 / 2540), int(height * 1440 / 2540)};
}

QImage render(Kind kind, QByteArrayView data, QSize pixels) {
    if (data.isEmpty() || data.size() > kMaxMetafileBytes || pixels.isEmpty()) {
        return {};
    }
    Kind sniffed = kind;
    if (!sniff(data, &sniffed) || sniffed != kind) {
        return {};
    }
    pixels = clampPixels(pixels);
    QMutexLocker locker(&renderLock());
    return kind == Kind::Wmf ? renderWmf(data, pixels) : renderEmf(data, pixels);
}

}  // namespace tk::metafile
