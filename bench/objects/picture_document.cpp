#include "bench/objects/picture_document.h"

#include "platform/object_server_plugin.h"
#include "platform/ole_objects.h"
#include "richtext/rich_format.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <cmath>

namespace tk::bench {

namespace {

QImage noisePicture(int width, int height, quint32 seed) {
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random.bounded(48u)) - 24;
            line[x] = qRgb(std::clamp(x * 255 / width + grain, 0, 255), std::clamp(y * 255 / height + grain, 0, 255),
                           std::clamp(128 + grain * 2, 0, 255));
        }
    }
    return image;
}

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

// A picture of about targetBytes: one trial, then the side scaled by the square root of the miss.
QByteArray pictureOfSize(const char* format, qsizetype targetBytes, quint32 seed) {
    int side = 256;
    QByteArray bytes = encode(noisePicture(side, side * 3 / 4, seed), format);
    side = int(side * std::sqrt(double(targetBytes) / double(bytes.size())));
    return encode(noisePicture(side, side * 3 / 4, seed), format);
}

ole::ObjectServers& servers() {
    static ole::ObjectServers registry;
    static const bool loaded =
        loadObjectServerPlugin(QCoreApplication::applicationDirPath() + u'/' + QLatin1String(ole::kImageServerLibrary),
                               registry) == ole::PluginLoad::Registered;
    (void)loaded;
    return registry;
}

// The image character the editor holds for a picture object the server made from the file.
bool objectFormat(QTextDocument& document, const QString& path, int index, QTextImageFormat* format) {
    std::unique_ptr<ole::OleObject> object = servers().create(QLatin1String(ole::kImageClassName));
    auto* image = object ? static_cast<ole::IQEImage*>(object->queryInterface(ole::IID_IQEImage)) : nullptr;
    if (image == nullptr || !ole::succeeded(image->SetUpdating(true)) || !ole::succeeded(image->LoadFromFile(path)) ||
        !ole::succeeded(image->SetUpdating(false)) || !ole::succeeded(image->SetAutoSize(true))) {
        return false;
    }
    const QString name = QStringLiteral("object:%1").arg(index);
    document.addResource(QTextDocument::ImageResource, QUrl(name), object->picture());
    QByteArray kind;
    const QByteArray kept = object->encodedPicture(&kind);
    format->setName(name);
    format->setWidth(richformat::twipsToPixels(object->extentTwips().width()));
    format->setHeight(richformat::twipsToPixels(object->extentTwips().height()));
    format->setProperty(richformat::ObjectClass, object->className());
    format->setProperty(richformat::ObjectData, object->save());
    format->setProperty(richformat::ObjectFlags, 9);
    format->setProperty(richformat::PictureKind,
                        int(kind == "png" ? richformat::PictureType::Png : richformat::PictureType::Jpeg));
    format->setProperty(richformat::PictureData, kept);
    return !kept.isEmpty();
}

}  // namespace

QList<PictureFile> makePictures(int count, qsizetype targetBytes) {
    QList<PictureFile> pictures;
    for (int i = 0; i < count; ++i) {
        const char* format = i % 2 == 0 ? "PNG" : "JPEG";
        pictures.append({pictureOfSize(format, targetBytes, quint32(i + 1)), format});
    }
    return pictures;
}

bool fillDocument(QTextDocument& document, const QList<PictureFile>& pictures, bool withObjects,
                  const QString& folder) {
    document.clear();
    QTextCursor cursor(&document);
    for (int i = 0; i < pictures.size(); ++i) {
        cursor.insertText(
            QStringLiteral("그림 %1: 사진 한 장을 개체로 넣은 문단입니다. A photograph as an object. ").arg(i));
        if (withObjects) {
            const QString path =
                folder + QStringLiteral("/picture%1.%2").arg(i).arg(QString::fromLatin1(pictures[i].format).toLower());
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(pictures[i].bytes) != pictures[i].bytes.size()) {
                return false;
            }
            file.close();
            QTextImageFormat format;
            if (!objectFormat(document, path, i, &format)) {
                return false;
            }
            cursor.insertImage(format);
        }
        cursor.insertBlock();
    }
    return true;
}

}  // namespace tk::bench
