#include "richtext/rtf_object_writer.h"

#include "platform/codepage.h"
#include "richtext/embedded_stream.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_picture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextDocument>
#include <QUrl>

#include <climits>

namespace tk::rtf {

namespace {

void word(QByteArray& out, const char* name, qint64 value) {
    out.append('\\').append(name).append(QByteArray::number(value));
}

// The class name in the code page, with RTF's special characters and bytes past ASCII escaped.
void appendEscaped(QByteArray& out, const QString& text) {
    static const char hex[] = "0123456789abcdef";
    for (const char c : codepage::toAnsiBestEffort(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x80 || c == '\\' || c == '{' || c == '}') {
            out.append("\\'").append(hex[u >> 4]).append(hex[u & 15]);
        } else {
            out.append(c);
        }
    }
}

// The size in pixels of kept picture bytes, read from their header without decoding them.
QSize encodedSize(const QByteArray& data, const char* format) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, format).size();
}

// The object's kept PNG or JPEG bytes, which the result picture is written with as they are.
QByteArray keptPicture(const QTextImageFormat& format) {
    using richformat::PictureType;
    const auto kind = PictureType(format.intProperty(richformat::PictureKind));
    return kind == PictureType::Png || kind == PictureType::Jpeg
               ? format.property(richformat::PictureData).toByteArray()
               : QByteArray();
}

// How many of the native data's last bytes are the picture's: all of the picture when the native
// data ends with it, else none. Parameters of RTF words stop at 32 bits.
qsizetype resultTailSize(QByteArrayView native, QByteArrayView picture) {
    if (picture.isEmpty() || picture.size() > INT_MAX || !native.endsWith(picture)) {
        return 0;
    }
    return picture.size();
}

}  // namespace

void appendHex(QByteArray& out, QByteArrayView data) {
    static const char hex[] = "0123456789abcdef";
    const qsizetype start = out.size();
    out.resize(start + data.size() * 2 + data.size() / 64 * 2);
    char* p = out.data() + start;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        *p++ = hex[b >> 4];
        *p++ = hex[b & 15];
        if ((i + 1) % 64 == 0) {
            *p++ = '\r';
            *p++ = '\n';
        }
    }
    out.truncate(p - out.data());
}

void appendPicture(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format) {
    const int goalW = richformat::pixelsToTwips(format.width());
    const int goalH = richformat::pixelsToTwips(format.height());
    const auto kind = richformat::PictureType(format.intProperty(richformat::PictureKind));
    const QByteArray data = format.property(richformat::PictureData).toByteArray();
    if (kind != richformat::PictureType::None && !data.isEmpty()) {
        QByteArray header = format.property(richformat::PictureHeader).toByteArray();
        if (header.isEmpty() && (kind == richformat::PictureType::Png || kind == richformat::PictureType::Jpeg)) {
            header = blipHeader(kind, encodedSize(data, kind == richformat::PictureType::Png ? "PNG" : "JPEG"));
        }
        out.append("{\\pict").append(header);
        if (goalW > 0 && goalH > 0) {
            word(out, "picwgoal", goalW);
            word(out, "pichgoal", goalH);
        }
        out.append("\r\n");
        appendHex(out, data);
        out.append('}');
        return;
    }
    QImage image = document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
    if (image.isNull()) {
        image = QImage(format.name());
    }
    if (image.isNull()) {
        return;  // nothing to show: readers of an object show its class
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    out.append("{\\pict\\pngblip");
    word(out, "picw", image.width());
    word(out, "pich", image.height());
    word(out, "picwgoal", goalW > 0 ? goalW : image.width() * 15);
    word(out, "pichgoal", goalH > 0 ? goalH : image.height() * 15);
    out.append("\r\n");
    appendHex(out, png);
    out.append('}');
}

void appendObjectGroup(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format) {
    const QString className = format.stringProperty(richformat::ObjectClass);
    const QByteArray native = format.property(richformat::ObjectData).toByteArray();
    const QByteArray kept = keptPicture(format);
    // A server whose native data ends with the picture it shows (a picture file kept as it was
    // chosen) would have those bytes twice: they are written once, in the result.
    const qsizetype tail = resultTailSize(native, kept);
    const QSize goal(std::max(1, richformat::pixelsToTwips(format.width())),
                     std::max(1, richformat::pixelsToTwips(format.height())));
    // Room for the hex digits of the stream and of the picture after it, made by doubling so
    // that a document of many objects is not copied once for each.
    const qsizetype bytes = native.size() - tail + kept.size();
    const qsizetype needed = out.size() + bytes * 2 + bytes / 32 + 4096;
    if (out.capacity() < needed) {
        out.reserve(std::max(needed, out.capacity() * 2));
    }
    out.append("{\\object\\objemb{\\*\\objclass ");
    appendEscaped(out, className);
    out.append("}{\\*\\tkobject");
    if (tail > 0) {
        word(out, "tkresultdata", tail);
    }
    out.append('}');
    word(out, "objw", goal.width());
    word(out, "objh", goal.height());
    out.append("{\\*\\objdata\r\n");
    // The stream states the whole native size: a reader that does not join the result's bytes
    // back finds the stream cut short instead of taking part of the data for all of it.
    appendHex(out, embeddedStreamHead(className, native.size()));
    appendHex(out, QByteArrayView(native).first(native.size() - tail));
    out.append("}{\\result");
    appendPicture(out, document, format);
    out.append("}}");
}

}  // namespace tk::rtf
