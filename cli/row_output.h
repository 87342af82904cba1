#pragma once

#include "store/entry_list.h"

#include <vector>

namespace tk::cli {

// Entry rows on standard output, one line each: archive name, Y or N for protection, document
// file, category and title, tab-separated; or, with json, an array of objects with those fields.
void printRows(const std::vector<EntryRow>& rows, bool json);

}  // namespace tk::cli
