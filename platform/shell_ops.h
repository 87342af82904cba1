#pragma once

#include <QString>

namespace tk {

// Deletes the files and folders a path pattern names: a single path, or a folder followed by a
// name pattern with * and ? ("*.*" means every name, as on the designed platform). With recycle
// the items go to the desktop's trash, otherwise they are removed for good. Folders are removed
// with their contents; symbolic links are removed, never followed. Never throws; true when every
// named item is gone (a pattern that names nothing also succeeds). An item that cannot reach a
// trash stays where it is, and the call fails.
[[nodiscard]] bool ShellDeleteFiles(const QString& pattern, bool recycle);

// Deletes the one item at path, to the trash with recycle: "*" and "?" are part of the name, never
// wildcards. A symbolic link is removed itself. False when nothing is there or it stays.
[[nodiscard]] bool deleteItem(const QString& path, bool recycle);

// True when path is an item of a trash's "files" folder that the desktop empties for an item of the
// volume mounted at volumeRoot: the user's own trash below dataDir, or the trash at the top of that
// volume (".Trash/<uid>" or ".Trash-<uid>").
bool isInTrash(const QString& path, const QString& dataDir, const QString& volumeRoot);

// Removes path and, for a folder, everything in it, without following symbolic links, at any
// depth (emptyFolderAt).
[[nodiscard]] bool removeTree(const QString& path);

// Removes everything inside folder, keeping folder itself; false for a link in the folder's place.
[[nodiscard]] bool emptyFolder(const QString& folder);

struct MoveResult {
    bool ok = false;
    int renamedFiles = 0;  // files that met a file of the same name and were kept under a new name
    QString errorString;
};

// Moves the folder source into the folder destDir. When destDir already holds a folder of the same
// name, the two are merged: a file that exists on both sides is never overwritten, the moved one
// is kept beside it under a free name (an "_" is appended to its base name until it is free).
MoveResult moveFolderInto(const QString& source, const QString& destDir);

// The name "base_", "base__", ... (before the extension) that is free in folder.
QString freeFileName(const QString& folder, const QString& fileName);

}  // namespace tk
