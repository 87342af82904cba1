#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace tk::engine {

struct FileToAdd {
    std::string diskPath;
    std::string memberName;
    long long size = 0;
    time_t mtime = 0;
    size_t specIndex = 0;
};

struct CollectOptions {
    bool recurse = false;
    bool keepFolderNames = false;
    bool hiddenFiles = false;
};

// Expands one file spec ("TKFile.rtf", "*.*", "sub/*.htm") relative to root into the
// regular files it names. Symbolic links are neither added nor followed.
void collectFiles(const std::string& root, const std::string& spec, const CollectOptions& options, size_t specIndex,
                  std::vector<FileToAdd>& out);

// A member name with "", "." and ".." segments dropped, so no name that is written climbs out.
std::string cleanMemberName(const std::string& path);

}  // namespace tk::engine
