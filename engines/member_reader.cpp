#include "engines/member_reader.h"

#include "archive/directory_reader.h"
#include "engines/aes_check.h"
#include "engines/engine_messages.h"

#include <unistd.h>
#include <zlib.h>

#include <cerrno>

#include <memory>
#include <vector>

namespace tk::engine {
namespace {

constexpr size_t kChunk = 256 * 1024;
constexpr zip_uint64_t kProgressStep = 1 << 20;

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

bool isAes(zip_uint16_t method) {
    return method == ZIP_EM_AES_128 || method == ZIP_EM_AES_192 || method == ZIP_EM_AES_256;
}

uint32_t crcOfFile(int fd) {
    std::vector<unsigned char> buffer(kChunk);
    uLong crc = crc32(0L, Z_NULL, 0);
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (n <= 0) {
            break;
        }
        crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
        offset += n;
    }
    return static_cast<uint32_t>(crc);
}

ReadOutcome noSpace(zip_uint64_t needed, zip_uint64_t free) {
    ReadOutcome outcome{ReadResult::NoSpace, "not enough space"};
    outcome.needed = needed;
    outcome.free = free;
    return outcome;
}

zip_file_t* openMember(zip_t* za, zip_uint64_t index, const zip_stat_t& st, const std::string& password,
                       ReadOutcome& outcome) {
    // libzip leaks the member's sources when asked to open an encryption it does not know, so that
    // is refused here first.
    if (st.encryption_method != ZIP_EM_NONE && !zip_encryption_method_supported(st.encryption_method, 0)) {
        outcome = {ReadResult::UnsupportedEncryption, zipErrorText(ZIP_ER_ENCRNOTSUPP, 0)};
        return nullptr;
    }
    if (!zip_compression_method_supported(st.comp_method, 0)) {
        outcome = {ReadResult::UnsupportedMethod, zipErrorText(ZIP_ER_COMPNOTSUPP, 0)};
        return nullptr;
    }
    zip_error_clear(za);
    zip_file_t* f = st.encryption_method == ZIP_EM_NONE ? zip_fopen_index(za, index, 0)
                                                        : zip_fopen_index_encrypted(za, index, 0, password.c_str());
    if (!f) {
        const int code = zip_error_code_zip(zip_get_error(za));
        outcome.result =
            (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD) ? ReadResult::WrongPassword : ReadResult::Failed;
        outcome.detail = zipErrorText(zip_get_error(za));
    }
    return f;
}

// The data arrived whole but libzip reports a CRC error: AE-2 members carry a zero CRC and rest
// on their authentication code, which is checked here on its own.
ReadOutcome judgeCrcError(zip_t* za, zip_uint64_t index, const zip_stat_t& st, const std::string& password, int fd) {
    ReadOutcome outcome;
    if (isAes(st.encryption_method)) {
        const AesCheck check = checkAesAuthentication(za, index, password);
        if (check == AesCheck::Altered) {
            return {ReadResult::AuthenticationFailed, "authentication failed: the data is damaged or altered"};
        }
        if (check == AesCheck::Unreadable) {
            return {ReadResult::Failed, "the encrypted data cannot be read"};
        }
        if (st.crc == 0) {
            return outcome;
        }
    }
    outcome.result = ReadResult::CrcError;
    outcome.foundCrc = crcOfFile(fd);
    outcome.expectedCrc = st.crc;
    return outcome;
}

ReadOutcome readOnce(zip_t* za, zip_uint64_t index, const zip_stat_t& st, const std::string& password, int fd,
                     MemberLimits& limits, EngineContext& ctx) {
    ReadOutcome outcome;
    std::unique_ptr<zip_file_t, ZipFileCloser> f(openMember(za, index, st, password, outcome));
    if (!f) {
        return outcome;
    }
    std::vector<char> buffer(kChunk);
    zip_uint64_t total = 0;
    zip_uint64_t nextProgress = kProgressStep;
    bool crcError = false;
    for (;;) {
        const zip_int64_t n = zip_fread(f.get(), buffer.data(), buffer.size());
        if (n < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(f.get()));
            if (code == ZIP_ER_CRC) {
                crcError = true;
                break;
            }
            if (code == ZIP_ER_WRONGPASSWD) {
                return {ReadResult::WrongPassword, zipErrorText(ZIP_ER_WRONGPASSWD, 0)};
            }
            if (code == ZIP_ER_ZLIB || code == ZIP_ER_COMPRESSED_DATA || code == ZIP_ER_EOF || code == ZIP_ER_INCONS) {
                return {ReadResult::Damaged, zipErrorText(zip_file_get_error(f.get()))};
            }
            return {ReadResult::Failed, zipErrorText(zip_file_get_error(f.get()))};
        }
        if (n == 0) {
            break;
        }
        total += static_cast<zip_uint64_t>(n);
        if (total > st.size || total > limits.maxMember || limits.written + total > limits.maxArchive) {
            return {ReadResult::TooLarge, "stopped: more data than the archive declares or allows"};
        }
        if (total > limits.ratioAllowance(st.comp_size)) {
            return {ReadResult::TooCompressed, "stopped: expands too far"};
        }
        if (!writeAll(fd, buffer.data(), static_cast<size_t>(n))) {
            if (errno == ENOSPC || errno == EDQUOT) {
                return noSpace(st.size - (total - static_cast<zip_uint64_t>(n)), freeBytes(fd));
            }
            return {ReadResult::WriteFailed, systemError(errno)};
        }
        if (total >= nextProgress) {
            nextProgress += kProgressStep;
            // The room checked before may have gone to someone else meanwhile.
            const zip_uint64_t free = limits.checkSpace ? freeBytes(fd) : ~zip_uint64_t{0};
            if (free < st.size - total) {
                return noSpace(st.size - total, free);
            }
            if (ctx.call(kCbBytesProcessed, 0, static_cast<int32_t>(std::min<zip_uint64_t>(total, INT32_MAX)), "") ==
                -1) {
                return {ReadResult::Cancelled, "cancelled"};
            }
        }
    }
    if (total != st.size) {
        if (crcError && isAes(st.encryption_method)) {
            return judgeCrcError(za, index, st, password, fd);
        }
        return {ReadResult::Damaged, "the data is shorter than the archive declares"};
    }
    if (crcError) {
        outcome = judgeCrcError(za, index, st, password, fd);
    }
    if (outcome.result == ReadResult::Ok) {
        limits.commit(total, st.comp_size);
    }
    return outcome;
}

void restart(int fd) {
    if (::ftruncate(fd, 0) == 0) {
        ::lseek(fd, 0, SEEK_SET);
    }
}

}  // namespace

ReadOutcome readMember(zip_t* za, zip_uint64_t index, const std::string& password, int fd, MemberLimits& limits,
                       EngineContext& ctx) {
    zip_stat_t st;
    if (zip_stat_index(za, index, 0, &st) != 0) {
        return {ReadResult::Failed, zipErrorText(zip_get_error(za))};
    }
    if (st.encryption_method != ZIP_EM_NONE && password.empty()) {
        return {ReadResult::WrongPassword, zipErrorText(ZIP_ER_NOPASSWD, 0)};
    }
    std::vector<std::string> candidates{password};
    if (st.encryption_method == ZIP_EM_TRAD_PKWARE) {
        const std::string ansi = utf8ToAnsi(password);
        if (!ansi.empty() && ansi != password) {
            candidates.push_back(ansi);
        }
    }
    ReadOutcome outcome;
    for (const std::string& candidate : candidates) {
        outcome = readOnce(za, index, st, candidate, fd, limits, ctx);
        // A traditional member checks only one byte of the password up front; a CRC error or data
        // that does not inflate after that is almost always a wrong password (one in 256 wrong
        // passwords passes the check), so the next candidate is tried.
        if ((outcome.result == ReadResult::CrcError || outcome.result == ReadResult::Damaged) &&
            st.encryption_method == ZIP_EM_TRAD_PKWARE) {
            outcome = {ReadResult::WrongPassword, "incorrect password"};
        }
        if (outcome.result != ReadResult::WrongPassword) {
            return outcome;
        }
        restart(fd);
    }
    return outcome;
}

std::string memberName(zip_t* za, zip_uint64_t index) {
    const char* rawName = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    const std::string raw = rawName ? rawName : "";
    const char* strictName = zip_get_name(za, index, ZIP_FL_ENC_STRICT);
    const std::string strict = strictName ? strictName : "";
    return strict == raw ? raw : decodeMemberText(QByteArray::fromStdString(raw), 0).toStdString();
}

}  // namespace tk::engine
