#pragma once

// Which files a saved web page brings into its entry, and the archive file specs that add them.
#include <QString>
#include <QStringList>

namespace tk {

// A page larger than this is refused: no saved page comes near it.
inline constexpr qint64 kMaxWebPageBytes = 64LL * 1024 * 1024;

struct WebPageFiles {
    QStringList relativePaths;  // below the page's folder, "/"-separated, page first, no duplicates
    qint64 totalBytes = 0;
};

// The page, its companion folder (the "<name>_files" or "<name>.files" folder browsers write
// beside "<name>.htm(l)", with everything below it but hidden files), and every file the page
// refers to by a relative path that lies below the page's folder; of the style sheets among
// these, the files they refer to as well. Never follows symbolic links, never leaves the page's
// folder (no "..", no absolute paths, no URLs with a scheme), ignores references to files that do
// not exist. False, with a Korean text in *error, when the page cannot be read, is too large, or a
// file that belongs to it has a name that cannot be added (one holding "<", or one that is not
// valid UTF-8).
[[nodiscard]] bool collectWebPageFiles(const QString& pagePath, WebPageFiles* out, QString* error);

// The file specs that add exactly these relative paths (wildcard characters escaped). Each spec
// starts with "|", so it never recurses whatever AddRecurseDirs says. Add them with RootDir at the
// page's folder, AddDirNames, and AddHiddenFiles (a hidden name with a wildcard character is
// otherwise skipped).
QStringList fileSpecsFor(const QStringList& relativePaths);

}  // namespace tk
