#include "richtext/rtf_object_writer.h"

#include "platform/codepage.h"
#include "richtext/embedded_stream.h"
#include "richtext/rich_format.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextDocument>
#include <QUrl>

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

void appendResultPicture(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format, QSize goal) {
    using richformat::PictureType;
    const auto kind = PictureType(format.intProperty(richformat::PictureKind));
    const QImage shown = document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
    QByteArray data;
    const char* blip = "pngblip";
    QSize pixels = shown.size();
    if ((kind == PictureType::Png || kind == PictureType::Jpeg) &&
        !(data = format.property(richformat::PictureData).toByteArray()).isEmpty()) {
        blip = kind == PictureType::Png ? "pngblip" : "jpegblip";
        if (pixels.isEmpty()) {
            pixels = encodedSize(data, kind == PictureType::Png ? "PNG" : "JPEG");
        }
    } else if (!shown.isNull()) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        shown.save(&buffer, "PNG");
    } else {
        return;  // nothing to show: readers of the object show its class
    }
    out.append("{\\pict\\").append(blip);
    word(out, "picw", std::max(1, pixels.width()));
    word(out, "pich", std::max(1, pixels.height()));
    word(out, "picwgoal", goal.width());
    word(out, "pichgoal", goal.height());
    out.append("\r\n");
    appendHex(out, data);
    out.append('}');
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

void appendObjectGroup(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format) {
    const QString className = format.stringProperty(richformat::ObjectClass);
    const QByteArray native = format.property(richformat::ObjectData).toByteArray();
    const QSize goal(std::max(1, richformat::pixelsToTwips(format.width())),
                     std::max(1, richformat::pixelsToTwips(format.height())));
    // Room for the hex digits of the stream and of the picture after it, made by doubling so
    // that a document of many objects is not copied once for each.
    const qsizetype needed = out.size() + native.size() * 4 + 4096;
    if (out.capacity() < needed) {
        out.reserve(std::max(needed, out.capacity() * 2));
    }
    out.append("{\\object\\objemb{\\*\\objclass ");
    appendEscaped(out, className);
    out.append('}');
    word(out, "objw", goal.width());
    word(out, "objh", goal.height());
    out.append("{\\*\\objdata\r\n");
    appendHex(out, embeddedStreamHead(className, native.size()));
    appendHex(out, native);
    out.append("}{\\result");
    appendResultPicture(out, document, format, goal);
    out.append("}}");
}

}  // namespace tk::rtf
