#pragma once

#include "platform/ole_objects.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

// The picture object's stored data and the decoding of picture files.
namespace tk::imageserver {

// Largest picture file taken.
inline constexpr qint64 kMaxImageFileBytes = qint64(64) << 20;

enum class ImageFormat : quint16 { Other = 0, Png, Jpeg, Gif, Bmp, Ico, Dib, Wmf, Emf };

// What a picture object stores: a small header (format, sizes) and the picture file's bytes.
struct StoredImage {
    ImageFormat format = ImageFormat::Other;
    QSize naturalTwips;
    QSize extentTwips;  // empty until the object was sized
    bool autoSize = false;
    QByteArray file;
};

// "TKQI", version 1, format, natural and shown size (twips), auto-size flag, file size, file bytes;
// numbers little-endian.
QByteArray encodeStored(const StoredImage& stored);
// False for data that is not such a header or whose lengths do not fit.
[[nodiscard]] bool decodeStored(QByteArrayView data, StoredImage* stored);

struct DecodedImage {
    ImageFormat format = ImageFormat::Other;
    QImage image;
    QSize naturalTwips;  // at the picture's own resolution (96 dots per inch when it has none)
};

// Decodes a picture file: every format Qt reads, device-independent bitmaps without their file
// header, and metafiles. S_OK; E_OUTOFMEMORY for a picture of more than kMaxPicturePixels;
// CTL_E_INVALIDPICTURE for anything that does not decode.
[[nodiscard]] ole::HRESULT decodeImageFile(const QByteArray& bytes, DecodedImage* decoded);

// The size scaled down, keeping its proportions, so that neither side passes 22 inches.
QSize capTwips(QSize twips);

// The usual file name suffix of the format ("png", "jpg", ...).
QString suffixOf(ImageFormat format);

}  // namespace tk::imageserver
