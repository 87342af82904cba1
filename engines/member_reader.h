#pragma once

#include "engines/engine_context.h"
#include "engines/extract_limits.h"

#include <zip.h>

#include <cstdint>
#include <string>

namespace tk::engine {

enum class ReadResult {
    Ok,
    WrongPassword,
    CrcError,
    AuthenticationFailed,
    TooLarge,
    TooCompressed,  // more bytes per compressed byte than MemberLimits allows
    NoSpace,        // the target ran out of room
    UnsupportedMethod,
    UnsupportedEncryption,
    Damaged,  // the compressed data cannot be read back
    WriteFailed,
    Cancelled,
    Failed
};

struct ReadOutcome {
    ReadResult result = ReadResult::Ok;
    std::string detail;
    uint32_t foundCrc = 0;
    uint32_t expectedCrc = 0;
    zip_uint64_t needed = 0;  // NoSpace: bytes still to write, and what the target had left
    zip_uint64_t free = 0;
};

// Decrypts and decompresses member index into fd, stopping as soon as the member passes a limit or
// the target's free space falls below what is still to come. A traditionally encrypted member is
// tried with the password's UTF-8 bytes, then with its ANSI bytes.
ReadOutcome readMember(zip_t* za, zip_uint64_t index, const std::string& password, int fd, MemberLimits& limits,
                       EngineContext& ctx);

// The member's name: UTF-8 when the archive flags it so (or it is plain ASCII), else ANSI, or the
// DOS code page for bytes that are no ANSI text.
std::string memberName(zip_t* za, zip_uint64_t index);

}  // namespace tk::engine
