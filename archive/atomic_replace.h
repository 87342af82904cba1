#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// Replaces the file at path with prefix bytes copied from the file itself followed by tail: the
// new file is written beside it under a recognisable temporary name, synced, renamed over the old
// one, and the folder is synced. Killed at any instant, path holds the old or the new contents.
// Returns 0 on success, else the message number of what failed.
[[nodiscard]] int replaceFileTail(const QString& path, qint64 prefixLength, const QByteArray& tail);

}  // namespace tk
