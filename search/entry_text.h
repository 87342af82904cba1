#pragma once

// An entry's body as plain text, read from its archive into memory only: nothing is written to the
// scratch folder or anywhere else, so protected bodies can be searched without leaving a trace.
#include "store/entry_comment.h"

#include <QString>

namespace tk::search {

enum class BodyTextResult {
    Ok,
    NotArchive,     // the file cannot be opened as an archive
    NoBody,         // the archive has no member named by the comment's document file
    WrongPassword,  // the body is encrypted and the password does not open it (or none was given)
    Damaged,        // the body's data cannot be read back (integrity check, compressed data)
    TooLarge,       // the body is larger than a body can be
    NotReadable,    // the body came out but is no document the program reads
};

// The most bytes a body may have here: the largest document the rich text reader takes, and far
// beyond any saved web page.
inline constexpr qint64 kMaxBodyBytes = qint64(256) << 20;

// Reads the member named memberName from the archive at archivePath into *bytes. An encrypted
// member is opened with the password's UTF-8 bytes, then (archives made on Windows) its CP949 bytes.
[[nodiscard]] BodyTextResult readMemberBytes(const QString& archivePath, const QString& memberName,
                                             const QString& password, QByteArray* bytes);

// A body's bytes as plain text: a rich-text body through the program's own loader (RTF, the
// compressed container or plain text), a web page as a browser would read its text. Pictures and
// objects leave nothing behind. Runs on any thread; needs a QGuiApplication for fonts.
[[nodiscard]] bool bodyToText(const QByteArray& bytes, bool isWeb, QString* text);

// Both of the above for the entry the comment describes.
[[nodiscard]] BodyTextResult readEntryText(const QString& archivePath, const EntryComment& comment,
                                           const QString& password, QString* text);

// Overwrites decrypted text or a password before its memory is given back, and empties it.
inline void wipeText(QString& text) {
    text.fill(QChar(0));
    text.clear();
}

// Why a body could not be read, in Korean, for the count of entries left out of a search.
QString bodyTextReason(BodyTextResult result);

}  // namespace tk::search
