#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QTextImageFormat>

class QTextDocument;

namespace tk::rtf {

// Appends the bytes as hex digits, 128 a line.
void appendHex(QByteArray& out, QByteArrayView data);

// Appends a picture character as {\pict ...} at the character's size: its kept bytes with the
// control words kept beside them, else the shown image encoded as PNG; nothing when there is no
// picture to show.
void appendPicture(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format);

// Appends the RTF of an embedded object made in this program (an image character whose class is
// set and that was not read from RTF):
// {\object\objemb{\*\objclass NAME}{\*\tkobject\tkresultdataN}\objwN\objhN{\*\objdata HEX}{\result{\pict ...}}}
// with the class and the server's native data in an embedded-object stream, and as the result the
// picture shown at the character's size: its kept PNG or JPEG bytes as they are, else the shown
// image encoded as PNG. Readers that know no such class show the result.
// {\*\tkobject} marks the group as this program's, written anew from the character's properties
// on every save. When the native data ends with the kept picture bytes, \tkresultdataN says that
// its last N bytes are left out of \objdata (whose stream still states the whole size) and are the
// result picture's bytes; without such a tail the word is left out.
void appendObjectGroup(QByteArray& out, const QTextDocument& document, const QTextImageFormat& format);

}  // namespace tk::rtf
