#pragma once

#include <zip.h>

#include <string>

namespace tk::engine {

enum class AesCheck { Authentic, Altered, Unreadable };

// Checks the authentication code of a WinZip AES member against its encrypted data with the
// given password. Used to tell a damaged member from a zero CRC that AE-2 members may carry.
AesCheck checkAesAuthentication(zip_t* za, zip_uint64_t index, const std::string& password);

}  // namespace tk::engine
