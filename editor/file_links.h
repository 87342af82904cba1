#pragma once

#include <QString>

// File links in documents: "FILE:\\" followed by a path written with "\" between its parts, where
// "[TK]\" at the start stands for the program folder and a double quote for a space, so that a
// link into the program's own tree survives moving the program and a path with spaces stays one
// link. Three backslashes after the colon start a path at the root of the file system.
namespace tk {

// True when a clicked link is a file link: it holds "FILE:\\" or "FILE://" anywhere, case ignored.
bool isFileLink(const QString& link);

// The path a file link names, with "/" between its parts: the program folder (ending in "/") for
// the macro, the root for a third slash, else relative to the current folder. A Windows drive path
// ("D:\Data\x") stays relative and so names nothing here.
QString fileLinkPath(const QString& link, const QString& programDir);

// The link text for a file: "FILE:\\[TK]\" and the rest of the path for a file in the program
// folder, else "FILE:\\" and the whole path, with "\" between parts and each space as a double
// quote. Empty when the path holds a character the link could not give back (a backslash, a
// double quote, or white space other than a space).
QString fileLinkText(const QString& path, const QString& programDir);

// The path as it lies on disk: path itself when it exists, else the first existing path that
// differs from it only in the case of its names, looked up folder by folder, so that links written
// in upper case on a case-insensitive file system still find their files. Names that match exactly
// are tried before the others. Empty when nothing matches.
QString findPathIgnoringCase(const QString& path);

}  // namespace tk
