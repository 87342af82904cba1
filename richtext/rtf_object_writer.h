#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QTextImageFormat>

class QTextDocument;

namespace tk::rtf {

// Appends the bytes as hex digits, 128 a line.
void appendHex(QByteArray& out, QByteArrayView data);

// Appends the RTF of an embedded object made in this program (an image character whose class is
// set and that was not read from RTF):
// {\object\objemb{\*\objclass NAME}\objwN\objhN{\*\objdata HEX}{\result{\pict ...}}}
// with the class and the server's native data in an embedded-object stream, and as the result the
// picture shown at the character's size: its kept PNG or JPEG bytes as they are, else the shown
// image encoded as PNG. Readers that know no such class show the result.
void appendObjectGroup(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format);

}  // namespace tk::rtf
