#pragma once

#include <string>

namespace tk::engine {

// Where the archive proper lies in its file, and whether its members are laid out soundly.
struct ArchiveLayout {
    int problemId = 0;  // the component's message number when the archive is refused, else 0
    std::string problemDetail;
    long long start = 0;           // bytes before the archive proper (a self-extractor's program)
    long long length = -1;         // the archive proper, without what precedes or follows it
    bool dataDescriptors = false;  // some member's CRC and sizes follow its data
};

// Reads the central directory and every member's local header: refuses duplicate names, members
// that overlap each other or the central directory, and local headers (or the descriptors after
// the data) that disagree with the directory. Finds the bytes a self-extractor's program puts
// before the archive and those a transfer or another tool adds after it.
ArchiveLayout checkArchiveLayout(const std::string& archivePath);

}  // namespace tk::engine
