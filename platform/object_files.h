#pragma once

#include "platform/ole_objects.h"

#include <QByteArrayView>
#include <QString>

// Files that embedded objects hand to the desktop's programs: written below the program's scratch
// folder, never beside the library, each in a fresh private folder of its own.
namespace tk::ole {

// A file name made safe to write: the last part of a path given with "/" or "\", control
// characters and separators dropped, at most 200 UTF-8 bytes; fallback when nothing usable is
// left ("", ".", "..").
QString sanitizedFileName(const QString& name, const QString& fallback);

// Writes the bytes as fileName (sanitised) in a new private folder (mode 0700, the file 0600)
// below scratchDir; *path is the file written. S_OK, or STG_E_WRITEFAULT when there is no scratch
// folder or the writing fails (nothing is left behind then).
[[nodiscard]] HRESULT writeObjectFile(const QString& scratchDir, const QString& fileName, QByteArrayView data,
                                      QString* path);

}  // namespace tk::ole
