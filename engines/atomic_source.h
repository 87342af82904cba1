#pragma once

#include <zip.h>

#include <string>

namespace tk::engine {

// A libzip source for an archive file that reads the file as it stands and writes a new archive
// beside it under a recognisable temporary name; the commit syncs the new file, renames it over
// the old one and syncs the folder. An archive left with no members is kept, never deleted.
zip_source_t* createAtomicFileSource(const std::string& path, zip_error_t* error);

}  // namespace tk::engine
