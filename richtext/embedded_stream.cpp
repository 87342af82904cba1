#include "richtext/embedded_stream.h"

#include "platform/codepage.h"

#include <QtEndian>

namespace tk::rtf {

namespace {

constexpr quint32 kVersion = 0x00000501;
constexpr quint32 kEmbedded = 2;
constexpr quint32 kMaxNameBytes = 4096;

void putU32(QByteArray& out, quint32 value) {
    char raw[4];
    qToLittleEndian(value, raw);
    out.append(raw, 4);
}

void putString(QByteArray& out, const QByteArray& text) {
    if (text.isEmpty()) {
        putU32(out, 0);
        return;
    }
    putU32(out, quint32(text.size() + 1));
    out.append(text).append('\0');
}

// Reads the stream front to back; a read past the end fails and every later read fails too.
struct Cursor {
    QByteArrayView data;
    qsizetype at = 0;
    bool ok = true;

    quint32 u32() {
        if (!ok || data.size() - at < 4) {
            ok = false;
            return 0;
        }
        const quint32 value = qFromLittleEndian<quint32>(data.data() + at);
        at += 4;
        return value;
    }
    QByteArrayView bytes(quint32 count) {
        if (!ok || qint64(count) > data.size() - at) {
            ok = false;
            return {};
        }
        const QByteArrayView out = data.sliced(at, qsizetype(count));
        at += qsizetype(count);
        return out;
    }
    // A length-prefixed string: its bytes up to the first NUL.
    QByteArrayView string() {
        const quint32 length = u32();
        if (length > kMaxNameBytes) {
            ok = false;
            return {};
        }
        const QByteArrayView raw = bytes(length);
        const qsizetype nul = raw.indexOf('\0');
        return nul >= 0 ? raw.first(nul) : raw;
    }
};

}  // namespace

QByteArray embeddedStreamHead(const QString& className, qsizetype nativeSize) {
    QByteArray out;
    putU32(out, kVersion);
    putU32(out, kEmbedded);
    putString(out, codepage::toAnsiBestEffort(className));
    putString(out, {});
    putString(out, {});
    putU32(out, quint32(nativeSize));
    return out;
}

QByteArray encodeEmbeddedStream(const QString& className, QByteArrayView native) {
    QByteArray out = embeddedStreamHead(className, native.size());
    out.append(native.data(), native.size());
    return out;
}

bool findEmbeddedNative(QByteArrayView stream, QString* className, qsizetype* offset, qsizetype* size,
                        qsizetype missing) {
    Cursor in{stream};
    in.u32();  // the version word: writers put different values there, readers ignore it
    const quint32 format = in.u32();
    if (!in.ok || format != kEmbedded) {
        return false;
    }
    const QByteArrayView name = in.string();
    in.string();
    in.string();
    const quint32 length = in.u32();
    const qsizetype start = in.at;
    if (missing < 0 || missing > qsizetype(length)) {
        return false;
    }
    const qsizetype held = qsizetype(length) - missing;
    in.bytes(quint32(held));
    if (!in.ok || name.isEmpty()) {
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
