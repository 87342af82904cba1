// The unzip engine: extracts members below a base folder, decrypting AES and traditional members.
#include "archive/engine_records.h"
#include "engines/engine_context.h"
#include "engines/engine_messages.h"
#include "engines/extract_limits.h"
#include "engines/layout_check.h"
#include "engines/member_reader.h"
#include "engines/safe_output.h"

#include <zip.h>

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tk::engine {
namespace {

constexpr int32_t kEngineVersion = 160;

// Skip types as the component reads them: the reply's low byte minus one.
enum SkipType : int32_t { kSkipFreshen = 1, kSkipNoOverwrite = 2, kSkipBadPassword = 4, kSkipError = 9 };

struct ExtractJob {
    ExtractJob(const UnzipCommand& c, EngineContext& e) : cmd(c), ctx(e) {}
    const UnzipCommand& cmd;
    EngineContext& ctx;
    zip_t* za = nullptr;
    UniqueFd baseFd;
    MemberLimits limits;
    int32_t extracted = 0;
    int passwordFailures = 0;
    bool outOfSpace = false;
    std::vector<std::pair<std::string, std::string>> written;  // folder and file of each member written
};

bool selected(const ExtractJob& job, const std::string& name) {
    if (job.cmd.c.specCount <= 0 || !job.cmd.specs) {
        return true;
    }
    const size_t slash = name.rfind('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    for (int i = 0; i < job.cmd.c.specCount; ++i) {
        const char* spec = job.cmd.specs[i].spec;
        if (!spec) {
            continue;
        }
        std::string pattern = spec;
        if (pattern == "*.*") {
            pattern = "*";
        }
        if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0 || ::fnmatch(pattern.c_str(), base.c_str(), 0) == 0) {
            return true;
        }
    }
    return false;
}

void skipped(ExtractJob& job, const std::string& name, int32_t skipType, int32_t error) {
    job.ctx.call(kCbSkipped, error, skipType, name);
}

// Tells the component that member name is not written, and why.
void refuse(ExtractJob& job, int id, const std::string& name, const std::string& more = {}) {
    job.ctx.message(memberMessage(id, name, more), 2);
    skipped(job, name, kSkipError, 2);
}

bool isLinkOrSpecial(zip_t* za, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) != 0 || opsys != ZIP_OPSYS_UNIX) {
        return false;
    }
    const mode_t type = (attributes >> 16) & S_IFMT;
    // A member read from a pipe (zip reading standard input) carries the pipe's type; its data is
    // an ordinary file's and is written as one.
    return type != 0 && type != S_IFREG && type != S_IFDIR && type != S_IFIFO;
}

enum class Refusal { None, Unsafe, TooDeep, Special, TooCompressed, UnsupportedMethod };

// Whether a member is written at all, judged from the directory before any byte is read.
Refusal judge(const ExtractJob& job, zip_uint64_t index, const std::string& name, const zip_stat_t& st,
              const MemberLimits& limits) {
    if (!unsafeNameReason(name).empty()) {
        return Refusal::Unsafe;
    }
    if (isTooDeep(name)) {
        return Refusal::TooDeep;
    }
    if (isLinkOrSpecial(job.za, index)) {
        return Refusal::Special;
    }
    if (name.back() == '/') {
        return Refusal::None;
    }
    if (!zip_compression_method_supported(st.comp_method, 0)) {
        return Refusal::UnsupportedMethod;
    }
    if (st.size > limits.ratioAllowance(st.comp_size)) {
        return Refusal::TooCompressed;
    }
    return Refusal::None;
}

// Tells the component why a member is not written.
void refuseWith(ExtractJob& job, const std::string& name, const std::string& message) {
    job.ctx.message(message, 2);
    skipped(job, name, kSkipError, 2);
}

// Decides whether an existing file may be replaced; false skips the member.
bool mayWrite(ExtractJob& job, int folderFd, const std::string& file, const std::string& name, zip_uint64_t index,
              const zip_stat_t& st) {
    struct stat existing {};
    if (::fstatat(folderFd, file.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
        if (job.cmd.c.freshen != 0) {
            skipped(job, name, kSkipFreshen, 0);
            return false;
        }
        return true;
    }
    if (S_ISDIR(existing.st_mode)) {
        refuse(job, kMsgFolderInTheWay, name);
        return false;
    }
    const bool older = existing.st_mtime < st.mtime;
    if ((job.cmd.c.freshen != 0 || job.cmd.c.update != 0) && !older) {
        skipped(job, name, kSkipFreshen, 0);
        return false;
    }
    if (job.cmd.c.overwrite != 0) {
        return true;
    }
    CallbackRecord reply{};
    job.ctx.call(kCbOverwrite, static_cast<int32_t>((older ? 0x10000 : 0) | (index & 0xFFFF)), 0, name, &reply);
    if ((reply.arg2 & 0xFF) == 0) {
        skipped(job, name, kSkipNoOverwrite, 0);
        return false;
    }
    return true;
}

// Reads the member into out, asking for another password while the component offers one.
ReadOutcome readWithPasswords(ExtractJob& job, zip_uint64_t index, const std::string& name, int fd,
                              PendingFile* pending) {
    std::string password = job.cmd.c.password ? job.cmd.c.password : "";
    int32_t repeat = job.cmd.passwordReqCount;
    // A handler that keeps offering wrong passwords is asked at most this often per member.
    constexpr int kMaxRequests = 16;
    for (int requests = 0;; ++requests) {
        ReadOutcome outcome = readMember(job.za, index, password, fd, job.limits, job.ctx);
        if (outcome.result != ReadResult::WrongPassword || requests == kMaxRequests || (requests > 0 && repeat <= 0)) {
            return outcome;
        }
        CallbackRecord reply{};
        job.ctx.call(kCbPassword, 0, repeat, name, &reply);
        if (job.ctx.cancelled() || reply.arg1 != 1 || reply.text[0] == '\0') {
            return outcome;
        }
        password.assign(reply.text, ::strnlen(reply.text, kCallbackTextSize));
        repeat = reply.arg2;
        if (pending && !pending->restart()) {
            return {ReadResult::WriteFailed, systemError(errno)};
        }
    }
}

bool keepAfterCrcError(ExtractJob& job, const std::string& name, const ReadOutcome& outcome) {
    CallbackRecord reply{};
    job.ctx.call(kCbCrcError, static_cast<int32_t>(outcome.foundCrc), static_cast<int32_t>(outcome.expectedCrc), name,
                 &reply);
    // 2 means no one decided: a damaged file is not left behind.
    return reply.arg1 == 1;
}

std::string baseDirText(const ExtractJob& job) {
    return job.cmd.baseDir ? job.cmd.baseDir : ".";
}

// Reports a failed read; returns true when the data may still be kept.
bool handleFailure(ExtractJob& job, const std::string& name, const ReadOutcome& outcome) {
    switch (outcome.result) {
        case ReadResult::Ok:
            return true;
        case ReadResult::WrongPassword:
            ++job.passwordFailures;
            job.ctx.message(memberMessage(kMsgWrongPassword, name), 0);
            skipped(job, name, kSkipBadPassword, 0);
            return false;
        case ReadResult::TooCompressed:
            refuseWith(job, name, tooCompressedMessage(name));
            return false;
        case ReadResult::NoSpace:
            job.outOfSpace = true;
            job.ctx.message(noSpaceMessage(baseDirText(job), outcome.needed, outcome.free), 3);
            skipped(job, name, kSkipError, 3);
            return false;
        case ReadResult::CrcError:
            if (keepAfterCrcError(job, name, outcome)) {
                return true;
            }
            job.ctx.message(memberMessage(kMsgCrcError, name), 3);
            skipped(job, name, kSkipError, 3);
            return false;
        case ReadResult::Damaged:
            job.ctx.message(memberMessage(kMsgDamagedMember, name), 3);
            skipped(job, name, kSkipError, 3);
            return false;
        case ReadResult::UnsupportedEncryption:
            refuseWith(job, name, memberMessage(kMsgUnsupportedEncryption, name));
            return false;
        case ReadResult::UnsupportedMethod:
            refuseWith(job, name, memberMessage(kMsgUnsupportedMethod, name));  // judged before; kept for safety
            return false;
        case ReadResult::AuthenticationFailed:
            job.ctx.message(memberMessage(kMsgAltered, name), 3);
            skipped(job, name, kSkipError, 3);
            return false;
        case ReadResult::WriteFailed:
            job.ctx.message(memberMessage(kMsgCannotWrite, name, outcome.detail), 3);
            skipped(job, name, kSkipError, 3);
            return false;
        case ReadResult::Cancelled:
            skipped(job, name, kSkipError, 3);
            return false;
        default:  // lying sizes and data libzip cannot read
            job.ctx.message(memberMessage(kMsgDamagedMember, name), 3);
            skipped(job, name, kSkipError, 3);
            return false;
    }
}

void extractFile(ExtractJob& job, zip_uint64_t index, const std::string& name, const zip_stat_t& st) {
    const bool dirNames = job.cmd.c.dirNames != 0;
    const size_t slash = name.rfind('/');
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::string folder = dirNames && slash != std::string::npos ? name.substr(0, slash) : std::string();
    UniqueFd folderFd(openFolderBelow(job.baseFd.get(), folder, job.cmd.c.testOnly == 0));
    if (!folderFd.valid()) {
        refuse(job, kMsgFolderInTheWay, name);
        return;
    }
    job.ctx.call(kCbFileBegins, 0, static_cast<int32_t>(std::min<zip_uint64_t>(st.size, INT32_MAX)), name);
    if (job.cmd.c.testOnly != 0) {
        UniqueFd sink(::open("/dev/null", O_WRONLY | O_CLOEXEC));
        if (handleFailure(job, name, readWithPasswords(job, index, name, sink.get(), nullptr))) {
            ++job.extracted;
        }
        return;
    }
    if (!mayWrite(job, folderFd.get(), file, name, index, st)) {
        return;
    }
    PendingFile pending(folderFd.get(), file);
    if (!pending.create()) {
        job.ctx.message(memberMessage(kMsgCannotWrite, name, systemError(errno)), 3);
        skipped(job, name, kSkipError, 3);
        return;
    }
    if (!handleFailure(job, name, readWithPasswords(job, index, name, pending.fd(), &pending))) {
        return;  // the pending file is removed
    }
    if (!pending.commit((st.valid & ZIP_STAT_MTIME) ? st.mtime : ::time(nullptr))) {
        job.ctx.message(memberMessage(kMsgCannotWrite, name, systemError(errno)), 3);
        return;
    }
    job.written.emplace_back(folder, file);
    ++job.extracted;
}

void extractMember(ExtractJob& job, zip_uint64_t index) {
    zip_stat_t st;
    if (zip_stat_index(job.za, index, 0, &st) != 0) {
        return;
    }
    const std::string name = memberName(job.za, index);
    if (!selected(job, name)) {
        return;
    }
    switch (judge(job, index, name, st, job.limits)) {
        case Refusal::Unsafe:
            refuse(job, kMsgUnsafeName, name, unsafeNameReason(name));
            return;
        case Refusal::TooDeep:
            refuseWith(job, name, tooDeepMessage(name));
            return;
        case Refusal::Special:
            refuse(job, kMsgSpecialFile, name);
            return;
        case Refusal::TooCompressed:
            refuseWith(job, name, tooCompressedMessage(name));
            return;
        case Refusal::UnsupportedMethod:
            refuseWith(job, name, memberMessage(kMsgUnsupportedMethod, name, methodText(st.comp_method)));
            return;
        case Refusal::None:
            break;
    }
    if (name.back() == '/') {
        if (job.cmd.c.dirNames != 0 && job.cmd.c.testOnly == 0) {
            UniqueFd made(openFolderBelow(job.baseFd.get(), name, true));
            if (!made.valid()) {
                refuse(job, kMsgFolderInTheWay, name);
            }
        }
        return;
    }
    extractFile(job, index, name, st);
}

void announce(ExtractJob& job, zip_int64_t count) {
    zip_uint64_t total = 0;
    int32_t files = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(job.za, static_cast<zip_uint64_t>(i), 0, &st) == 0 && selected(job, memberName(job.za, i))) {
            total += st.size;
            ++files;
        }
    }
    job.ctx.call(kCbFileCount, 0, files, "");
    job.ctx.call(kCbTotalSize, 0, static_cast<int32_t>(std::min<zip_uint64_t>(total, INT32_MAX)), "");
}

// Opens the archive proper, without what precedes or follows it, with libzip's consistency
// checks. Those want every member's CRC and sizes in its local header and no later version asked
// for there than in the directory; an archive written as a stream keeps them in descriptors after
// the data, which checkArchiveLayout compared instead, as it compared everything else.
zip_t* openChecked(const std::string& archive, const ArchiveLayout& layout, zip_error_t* error) {
    zip_source_t* src =
        zip_source_file_create(archive.c_str(), static_cast<zip_uint64_t>(layout.start), layout.length, error);
    if (!src) {
        return nullptr;
    }
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY | (layout.ownChecksOnly ? 0 : ZIP_CHECKCONS), error);
    if (!za) {
        zip_source_free(src);
    }
    return za;
}

// Whether libzip reads the members the layout check read: the same names, sizes and CRCs in the
// same order, so that what was checked is what is extracted.
bool sameMembers(zip_t* za, const ArchiveLayout& layout) {
    if (zip_get_num_entries(za, 0) != static_cast<zip_int64_t>(layout.members.size())) {
        return false;
    }
    for (size_t i = 0; i < layout.members.size(); ++i) {
        const CheckedMember& m = layout.members[i];
        // libzip's raw name is the stored one, or the UTF-8 copy from an extra field it took.
        const char* raw = zip_get_name(za, i, ZIP_FL_ENC_RAW);
        zip_stat_t st;
        if (!raw || (raw != m.storedName && raw != m.name) || zip_stat_index(za, i, 0, &st) != 0 ||
            st.size != m.original || st.comp_size != m.packed || st.crc != m.crc) {
            return false;
        }
    }
    return true;
}

bool openArchive(ExtractJob& job) {
    const std::string archive = job.cmd.c.archiveName;
    const ArchiveLayout layout = checkArchiveLayout(archive);
    if (layout.problemId != 0) {
        job.ctx.message(componentMessage(layout.problemId, layout.problemDetail), 9);
        return false;
    }
    zip_error_t error;
    zip_error_init(&error);
    job.za = openChecked(archive, layout, &error);
    if (!job.za) {
        job.ctx.message(openFailureMessage(zip_error_code_zip(&error), {}), 9);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    if (!sameMembers(job.za, layout)) {
        job.ctx.message(componentMessage(kMsgInconsistent, "목록을 두 번 읽은 결과가 서로 다름"), 9);
        return false;
    }
    job.baseFd.reset(::open(job.cmd.baseDir ? job.cmd.baseDir : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!job.baseFd.valid()) {
        job.ctx.message(componentMessage(kMsgBaseFolder, systemError(errno)), 9);
        return false;
    }
    struct stat st {};
    if (::stat(archive.c_str(), &st) == 0) {
        job.limits.archiveSize = static_cast<zip_uint64_t>(st.st_size);
    }
    job.limits.checkSpace = job.cmd.c.testOnly == 0;
    return true;
}

// The bytes the members that will be written declare, counted as extraction will count them.
zip_uint64_t bytesToWrite(const ExtractJob& job, zip_int64_t count) {
    MemberLimits limits = job.limits;
    zip_uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        if (zip_stat_index(job.za, index, 0, &st) != 0) {
            continue;
        }
        const std::string name = memberName(job.za, index);
        if (!name.empty() && selected(job, name) && name.back() != '/' &&
            judge(job, index, name, st, limits) == Refusal::None) {
            total += st.size;
            limits.commit(st.size, st.comp_size);
        }
    }
    return total;
}

// Checks before anything is written that the declared sizes fit the base folder.
bool roomFor(ExtractJob& job, zip_int64_t count) {
    if (job.cmd.c.testOnly != 0) {
        return true;
    }
    const zip_uint64_t needed = bytesToWrite(job, count);
    const zip_uint64_t free = freeBytes(job.baseFd.get());
    if (needed <= free) {
        return true;
    }
    job.ctx.message(noSpaceMessage(baseDirText(job), needed, free), 3);
    return false;
}

// A run that ran out of room takes back what it wrote, so nothing stays of it half done.
void takeBackWritten(ExtractJob& job) {
    for (const auto& [folder, file] : job.written) {
        UniqueFd folderFd(openFolderBelow(job.baseFd.get(), folder, false));
        if (folderFd.valid()) {
            ::unlinkat(folderFd.get(), file.c_str(), 0);
        }
    }
    job.written.clear();
    job.extracted = 0;
}

int32_t runExtract(const UnzipCommand& cmd) {
    EngineContext ctx(cmd.c.callback, cmd.c.caller, false);
    ExtractJob job(cmd, ctx);
    if (!cmd.c.archiveName) {
        return 0;
    }
    if (openArchive(job)) {
        const zip_int64_t count = zip_get_num_entries(job.za, 0);
        announce(job, count);
        if (roomFor(job, count)) {
            for (zip_int64_t i = 0; i < count && !ctx.cancelled() && !job.outOfSpace; ++i) {
                extractMember(job, static_cast<zip_uint64_t>(i));
            }
        }
        if (job.outOfSpace) {
            takeBackWritten(job);
        }
        ctx.call(kCbBatchFinished, 0, 0, "");
        if (job.passwordFailures > 0) {
            ctx.message(kWarningsGiven, 1);
        }
    }
    if (job.za) {
        zip_discard(job.za);
    }
    return job.extracted;
}

}  // namespace
}  // namespace tk::engine

extern "C" {

__attribute__((visibility("default"))) int32_t GetUnzEngVersion() {
    return tk::engine::kEngineVersion;
}

__attribute__((visibility("default"))) int32_t UnzEngExec(tk::engine::UnzipCommandCommon* record) {
    // This engine reports version 160, so the component sends the long layout.
    if (!record) {
        return 0;
    }
    try {
        return tk::engine::runExtract(*reinterpret_cast<const tk::engine::UnzipCommand*>(record));
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
