#pragma once

#include <QString>

namespace tk::bench {

// Fills folder with count entry archives like the program writes: one stored member
// "TKFile.rtf" and an entry comment with a Korean title and category.
void makeEntryArchives(const QString& folder, int count);

}  // namespace tk::bench
