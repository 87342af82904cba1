#pragma once

#include "engines/engine_context.h"

#include <zip.h>

#include <cstdint>
#include <string>

namespace tk::engine {

// Decompressed bytes are counted as they come; no member may grow past what the directory
// declares, and these caps hold whatever it declares.
struct MemberLimits {
    zip_uint64_t maxMember = zip_uint64_t{2} << 30;
    zip_uint64_t maxArchive = zip_uint64_t{8} << 30;
    zip_uint64_t written = 0;
};

enum class ReadResult { Ok, WrongPassword, CrcError, AuthenticationFailed, TooLarge, Failed };

struct ReadOutcome {
    ReadResult result = ReadResult::Ok;
    std::string detail;
    uint32_t foundCrc = 0;
    uint32_t expectedCrc = 0;
};

// Decrypts and decompresses member index into fd. A traditionally encrypted member is tried with
// the password's UTF-8 bytes, then with its ANSI bytes.
ReadOutcome readMember(zip_t* za, zip_uint64_t index, const std::string& password, int fd, MemberLimits& limits,
                       EngineContext& ctx);

// The member's name: UTF-8 when the archive flags it so (or it is plain ASCII), else ANSI.
std::string memberName(zip_t* za, zip_uint64_t index);

}  // namespace tk::engine
