#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The stream an RTF \objdata group holds for an embedded object: a version word 0x00000501, the
// format 2 (embedded), the class name, an empty topic and item (each a length and the bytes of a
// NUL-terminated string), then the size of the server's native data and the data. Numbers are
// 32-bit little-endian.
namespace tk::rtf {

QByteArray encodeEmbeddedStream(const QString& className, QByteArrayView native);
// The stream's head: everything before the native data of the given size.
QByteArray embeddedStreamHead(const QString& className, qsizetype nativeSize);

// The class name and the native data of such a stream. False, with nothing set, for anything
// else: a linked object, a stream cut short, a length that runs past the data. The version word is
// not checked: writers on other systems put other values there.
[[nodiscard]] bool decodeEmbeddedStream(QByteArrayView stream, QString* className, QByteArray* native);
// The same, giving where the native data lies in the stream instead of a copy of it. missing: how
// many of the native data's last bytes the stream leaves out because they are written elsewhere;
// *size is then the part the stream holds.
[[nodiscard]] bool findEmbeddedNative(QByteArrayView stream, QString* className, qsizetype* offset, qsizetype* size,
                                      qsizetype missing = 0);

}  // namespace tk::rtf
