// The zip engine: adds or replaces files in an archive, compressing and encrypting them.
#include "archive/engine_records.h"
#include "engines/atomic_source.h"
#include "engines/engine_context.h"
#include "engines/engine_messages.h"
#include "engines/file_collector.h"

#include <zip.h>

#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cstring>
#include <vector>

namespace tk::engine {
namespace {

constexpr int32_t kEngineVersion = 160;

struct AddJob {
    const ZipCommand& cmd;
    EngineContext& ctx;
    std::vector<FileToAdd> files;
    std::vector<std::string> storeSuffixes;
    long long totalBytes = 0;
    std::vector<std::string> writtenPaths;  // the files now in the archive
};

std::vector<std::string> splitSuffixes(const char* text) {
    std::vector<std::string> out;
    std::string s = text ? text : "";
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find(':', start);
        if (end == std::string::npos) {
            end = s.size();
        }
        if (end > start) {
            out.push_back(s.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

bool isStored(const AddJob& job, const std::string& name) {
    for (const std::string& suffix : job.storeSuffixes) {
        if (name.size() >= suffix.size() &&
            ::strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

const ZipFileSpec& specOf(const AddJob& job, size_t index) {
    return job.cmd.specs[index];
}

// The password for the files of one file spec; asks the component when encryption is asked
// for and no password was given.
std::string passwordFor(AddJob& job, size_t specIndex, const std::string& firstFile) {
    const ZipFileSpec& spec = specOf(job, specIndex);
    if (spec.password && *spec.password) {
        return spec.password;
    }
    CallbackRecord reply{};
    job.ctx.call(kCbPassword, 1, 1, firstFile, &reply);
    if (reply.arg1 == 1 && reply.text[0] != '\0') {
        return std::string(reply.text, ::strnlen(reply.text, kCallbackTextSize));
    }
    return {};
}

bool skipByDate(const AddJob& job, zip_t* za, const FileToAdd& f) {
    const bool update = job.cmd.c.update != 0;
    const bool freshen = job.cmd.c.freshen != 0;
    if (!update && !freshen) {
        return false;
    }
    const zip_int64_t index = zip_name_locate(za, f.memberName.c_str(), ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        return freshen;
    }
    zip_stat_t st;
    return zip_stat_index(za, static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME) &&
           st.mtime >= f.mtime;
}

// Queues one file; libzip reads and compresses it when the archive is written.
bool queueFile(AddJob& job, zip_t* za, const FileToAdd& f, std::vector<std::string>& passwords) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_file_create(f.diskPath.c_str(), 0, -1, &error);
    zip_error_fini(&error);
    if (!src) {
        job.ctx.message(componentMessage(10307, "\"" + f.diskPath + "\""), 2);
        return false;
    }
    const zip_int64_t index = zip_file_add(za, f.memberName.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(src);
        job.ctx.message(memberMessage(10309, f.memberName, zipErrorText(zip_get_error(za))), 2);
        return false;
    }
    const auto i = static_cast<zip_uint64_t>(index);
    const int level = job.cmd.c.compLevel;
    if (level <= 0 || isStored(job, f.memberName)) {
        zip_set_file_compression(za, i, ZIP_CM_STORE, 0);
    } else {
        zip_set_file_compression(za, i, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(std::min(level, 9)));
    }
    zip_file_set_mtime(za, i, f.mtime, 0);
    if (specOf(job, f.specIndex).encrypt != 0) {
        if (passwords[f.specIndex].empty()) {
            passwords[f.specIndex] = passwordFor(job, f.specIndex, f.memberName);
        }
        if (passwords[f.specIndex].empty()) {
            job.ctx.message(memberMessage(10302, f.memberName), 2);
            return false;
        }
        // Every protected member is WinZip AES-256 with a fresh salt, whatever it was before.
        if (zip_file_set_encryption(za, i, ZIP_EM_AES_256, passwords[f.specIndex].c_str()) != 0) {
            job.ctx.message(memberMessage(10309, f.memberName, zipErrorText(zip_get_error(za))), 2);
            return false;
        }
    } else {
        zip_file_set_encryption(za, i, ZIP_EM_NONE, nullptr);
    }
    return true;
}

void onProgress(zip_t*, double fraction, void* ud) {
    auto* job = static_cast<AddJob*>(ud);
    const auto bytes = static_cast<long long>(fraction * static_cast<double>(job->totalBytes));
    job->ctx.call(kCbBytesProcessed, 0, static_cast<int32_t>(std::min<long long>(bytes, INT32_MAX)), "");
}

int onCancel(zip_t*, void* ud) {
    return static_cast<AddJob*>(ud)->ctx.cancelled() ? 1 : 0;
}

void keepComment(AddJob& job, zip_t* za) {
    if (!job.cmd.comment) {
        return;  // libzip writes the archive's own comment back unchanged
    }
    int length = 0;
    const char* current = zip_get_archive_comment(za, &length, ZIP_FL_ENC_RAW);
    const size_t wanted = std::min<size_t>(::strlen(job.cmd.comment), 0xFFFF);
    if (!current || static_cast<size_t>(length) != wanted || std::memcmp(current, job.cmd.comment, wanted) != 0) {
        zip_set_archive_comment(za, job.cmd.comment, static_cast<zip_uint16_t>(wanted));
    }
}

zip_t* openForWriting(AddJob& job) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = createAtomicFileSource(job.cmd.c.archiveName, &error);
    zip_t* za = src ? zip_open_from_source(src, ZIP_CREATE | ZIP_CHECKCONS, &error) : nullptr;
    if (!za) {
        job.ctx.message(addRefusedMessage(zip_error_code_zip(&error), zip_error_code_system(&error)), 3);
        if (src) {
            zip_source_free(src);
        }
    }
    zip_error_fini(&error);
    return za;
}

int32_t writeFiles(AddJob& job) {
    zip_t* za = openForWriting(job);
    if (!za) {
        return 0;
    }
    std::vector<std::string> passwords(static_cast<size_t>(job.cmd.c.specCount));
    int32_t written = 0;
    for (const FileToAdd& f : job.files) {
        if (skipByDate(job, za, f)) {
            continue;
        }
        job.ctx.call(kCbFileBegins, 0, static_cast<int32_t>(std::min<long long>(f.size, INT32_MAX)), f.memberName);
        if (job.ctx.cancelled() || !queueFile(job, za, f, passwords)) {
            zip_discard(za);
            return 0;
        }
        ++written;
        job.writtenPaths.push_back(f.diskPath);
    }
    keepComment(job, za);
    zip_register_progress_callback_with_state(za, 0.02, onProgress, nullptr, &job);
    zip_register_cancel_callback_with_state(za, onCancel, nullptr, &job);
    if (zip_close(za) != 0) {
        job.ctx.message(memberMessage(10309, job.cmd.c.archiveName, zipErrorText(zip_get_error(za))), 3);
        zip_discard(za);
        return 0;
    }
    return written;
}

int32_t runAdd(const ZipCommand& cmd) {
    EngineContext ctx(cmd.c.callback, cmd.c.caller, true);
    AddJob job{cmd, ctx, {}, splitSuffixes(cmd.c.storeSuffixes), 0, {}};
    if (!cmd.c.archiveName || cmd.c.specCount <= 0 || !cmd.specs) {
        return 0;
    }
    for (int i = 0; i < cmd.c.specCount; ++i) {
        const ZipFileSpec& spec = cmd.specs[i];
        CollectOptions options;
        options.recurse = spec.recurse != 0;
        options.keepFolderNames = cmd.c.junkDirNames == 0;
        options.hiddenFiles = cmd.c.hiddenFiles != 0;
        collectFiles(spec.rootDir ? spec.rootDir : "", spec.spec ? spec.spec : "", options, static_cast<size_t>(i),
                     job.files);
    }
    if (job.files.empty()) {
        ctx.message(componentMessage(10308), 12);
        return 0;
    }
    for (const FileToAdd& f : job.files) {
        job.totalBytes += f.size;
    }
    ctx.call(kCbFileCount, 0, static_cast<int32_t>(job.files.size()), "");
    ctx.call(kCbTotalSize, 0, static_cast<int32_t>(std::min<long long>(job.totalBytes, INT32_MAX)), "");
    const int32_t written = writeFiles(job);
    if (written > 0 && cmd.c.move != 0) {
        for (const std::string& path : job.writtenPaths) {
            ::unlink(path.c_str());
        }
    }
    ctx.call(kCbBatchFinished, 0, 0, "");
    return written;
}

}  // namespace
}  // namespace tk::engine

extern "C" {

__attribute__((visibility("default"))) int32_t GetZipEngVersion() {
    return tk::engine::kEngineVersion;
}

__attribute__((visibility("default"))) int32_t ZipEngExec(tk::engine::ZipCommandCommon* record) {
    // This engine reports version 160, so the component sends the long layout.
    if (!record) {
        return 0;
    }
    try {
        return tk::engine::runAdd(*reinterpret_cast<const tk::engine::ZipCommand*>(record));
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
