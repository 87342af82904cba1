#pragma once

#include <QString>

namespace tk {

// The body file of a rich-text entry.
inline constexpr QLatin1StringView kDocumentFile("TKFile.rtf");

// What an entry comment says: title|category|Y or N|document file.
struct EntryComment {
    QString title;
    QString category;
    bool isProtected = false;
    QString documentFile;
};

// Splits an entry comment by the reading rules; never fails: any text yields an entry.
EntryComment ParseEntryComment(const QString& text);

// Builds the comment that ParseEntryComment reads back.
QString MakeEntryComment(const QString& title, const QString& category, bool isProtected, const QString& documentFile);

enum class ReadCommentResult { Ok, CannotOpen };

// Reads the entry comment at the end of an archive file without opening it as an archive. The
// comment's length comes from the end record, so comments of any length come back whole; a file
// without end record reads as an empty comment. Bytes are decoded as comments are stored.
[[nodiscard]] ReadCommentResult ReadEntryComment(const QString& path, QString* comment);

// The same on an already opened file descriptor; used by the list loader to avoid re-encoding paths.
[[nodiscard]] bool readEntryCommentFd(int fd, QString* comment);

}  // namespace tk
