#pragma once

#include <QString>

#include <cstddef>

namespace tk::bench {

// Fills folder with count entry archives like the program writes: one stored member
// "TKFile.rtf" and an entry comment with a Korean title and category.
void makeEntryArchives(const QString& folder, int count);

// The floor of listing a category: open each archive of folder, read its last 256 bytes, close it.
// Returns the bytes read.
size_t readEveryArchiveTail(const QString& folder);

}  // namespace tk::bench
