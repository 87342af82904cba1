#include "richtext/embedded_stream.h"

#include "platform/byte_order.h"
#include "platform/codepage.h"

namespace tk::rtf {

namespace {

constexpr quint32 kVersion = 0x00000501;
constexpr quint32 kEmbedded = 2;
constexpr quint32 kMaxNameBytes = 4096;

void putString(QByteArray& out, const QByteArray& text) {
    if (text.isEmpty()) {
        appendLe(out, quint32(0));
        return;
    }
    appendLe(out, quint32(text.size() + 1));
    out.append(text).append('\0');
}

// A length-prefixed string: its bytes up to the first NUL.
QByteArrayView lengthPrefixed(ByteReader& in) {
    const quint32 length = in.u32();
    if (length > kMaxNameBytes) {
        in.fail();
        return {};
    }
    const QByteArrayView raw = in.bytes(length);
    const qsizetype nul = raw.indexOf('\0');
    return nul >= 0 ? raw.first(nul) : raw;
}

}  // namespace

QByteArray embeddedStreamHead(const QString& className, qsizetype nativeSize) {
    QByteArray out;
    appendLe(out, kVersion);
    appendLe(out, kEmbedded);
    putString(out, codepage::toAnsiBestEffort(className));
    putString(out, {});
    putString(out, {});
    appendLe(out, quint32(nativeSize));
    return out;
}

QByteArray encodeEmbeddedStream(const QString& className, QByteArrayView native) {
    QByteArray out = embeddedStreamHead(className, native.size());
    out.append(native.data(), native.size());
    return out;
}

bool findEmbeddedNative(QByteArrayView stream, QString* className, qsizetype* offset, qsizetype* size,
                        qsizetype missing) {
    ByteReader in(stream);
    in.u32();  // the version word: writers put different values there, readers ignore it
    const quint32 format = in.u32();
    if (!in.ok() || format != kEmbedded) {
        return false;
    }
    const QByteArrayView name = lengthPrefixed(in);
    lengthPrefixed(in);
    lengthPrefixed(in);
    const quint32 length = in.u32();
    const qsizetype start = in.at();
    if (missing < 0 || missing > qsizetype(length)) {
        return false;
    }
    const qsizetype held = qsizetype(length) - missing;
    in.bytes(held);
    if (!in.ok() || name.isEmpty()) {
        return false;
    }
    *className = codepage::fromAnsi(name);
    *offset = start;
    *size = held;
    return true;
}

bool decodeEmbeddedStream(QByteArrayView stream, QString* className, QByteArray* native) {
    QString name;
    qsizetype offset = 0;
    qsizetype size = 0;
    if (!findEmbeddedNative(stream, &name, &offset, &size)) {
        return false;
    }
    *className = name;
    *native = stream.sliced(offset, size).toByteArray();
    return true;
}

}  // namespace tk::rtf
