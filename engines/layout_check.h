#pragma once

#include <string>

namespace tk::engine {

struct LayoutCheck {
    std::string problem;          // empty when the layout is sound
    long long paddedLength = -1;  // where the archive proper ends when zeros pad the file, else -1
};

// Refuses archives whose members overlap each other or the central directory, which libzip's
// consistency checks let through, and finds the zero padding a transfer may add.
LayoutCheck checkMemberLayout(const std::string& archivePath);

}  // namespace tk::engine
