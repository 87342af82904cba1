#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tk::engine {

// A member as the layout check read it from the central directory.
struct CheckedMember {
    std::string storedName;  // as the archive stores it
    std::string name;        // UTF-8, decoded as the component decodes it
    uint32_t crc;
    uint64_t packed;
    uint64_t original;
};

// Where the archive proper lies in its file, and whether its members are laid out soundly.
struct ArchiveLayout {
    int problemId = 0;  // the component's message number when the archive is refused, else 0
    std::string problemDetail;
    long long start = 0;    // bytes before the archive proper (a self-extractor's program)
    long long length = -1;  // the archive proper, without what precedes or follows it
    // Some member passes this check but not libzip's stricter one: its CRC and sizes follow its
    // data, or its local header asks for a later format version than the directory does.
    bool ownChecksOnly = false;
    std::vector<CheckedMember> members;  // in the directory's order
};

// Reads the central directory and every member's local header: refuses duplicate names, members
// that overlap each other or the central directory, and local headers (or the descriptors after
// the data) that disagree with the directory. Finds the bytes a self-extractor's program puts
// before the archive and those a transfer or another tool adds after it.
ArchiveLayout checkArchiveLayout(const std::string& archivePath);

}  // namespace tk::engine
