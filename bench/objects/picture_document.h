#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

namespace tk::bench {

// One picture file of the benchmark: its bytes and how it is encoded.
struct PictureFile {
    QByteArray bytes;
    const char* format;  // "PNG" or "JPEG"
};

// count pictures of about targetBytes each, half PNG and half JPEG, of photo-like noise (smooth
// shading under grain) so that they do not compress away.
QList<PictureFile> makePictures(int count, qsizetype targetBytes);

// Fills the document with a paragraph of text before each picture; with objects, each picture is
// inserted as the editor inserts one: a picture object made by the picture server through its four
// calls, held as an image character with its class, stored data and kept picture bytes.
// folder: where the picture files are written for the server to load. False when the server is
// missing or refuses a picture.
[[nodiscard]] bool fillDocument(QTextDocument& document, const QList<PictureFile>& pictures, bool withObjects,
                                const QString& folder);

}  // namespace tk::bench
