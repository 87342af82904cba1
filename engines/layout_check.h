#pragma once

#include <string>

namespace tk::engine {

// Refuses archives whose members overlap each other or the central directory, which libzip's
// consistency checks let through. Empty when the layout is sound, else why it is not.
std::string checkMemberLayout(const std::string& archivePath);

}  // namespace tk::engine
