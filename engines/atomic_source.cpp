#include "engines/atomic_source.h"

#include "archive/engine_records.h"
#include "engines/engine_context.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tk::engine {
namespace {

struct AtomicFile {
    std::string path;
    std::string folder;
    std::string tempPath;
    UniqueFd readFd;
    UniqueFd writeFd;
    off_t flushedUpTo = 0;  // writeback has been started for the bytes before this offset
    zip_error_t error;
};

constexpr off_t kWritebackStep = 1 << 20;

// Starts writing finished bytes to disk while compression goes on, so that the sync at the commit
// has little left to wait for.
void startWriteback(AtomicFile* f) {
    const off_t end = ::lseek(f->writeFd.get(), 0, SEEK_CUR);
    if (end - f->flushedUpTo >= kWritebackStep) {
        ::sync_file_range(f->writeFd.get(), f->flushedUpTo, end - f->flushedUpTo, SYNC_FILE_RANGE_WRITE);
        f->flushedUpTo = end;
    }
}

zip_int64_t writeData(AtomicFile* f, const void* data, zip_uint64_t len) {
    if (!writeAll(f->writeFd.get(), data, len)) {
        zip_error_set(&f->error, ZIP_ER_WRITE, errno);
        return -1;
    }
    startWriteback(f);
    return static_cast<zip_int64_t>(len);
}

zip_int64_t fail(AtomicFile* f, int zipError, int sysError = 0) {
    zip_error_set(&f->error, zipError, sysError);
    return -1;
}

zip_int64_t statFile(AtomicFile* f, void* data, zip_uint64_t len) {
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &f->error);
    if (!st) {
        return -1;
    }
    struct stat sb {};
    if (::stat(f->path.c_str(), &sb) != 0) {
        return fail(f, ZIP_ER_READ, errno);
    }
    zip_stat_init(st);
    st->size = static_cast<zip_uint64_t>(sb.st_size);
    st->mtime = sb.st_mtime;
    st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    return 0;
}

zip_int64_t seekFd(AtomicFile* f, int fd, void* data, zip_uint64_t len, int errorCode) {
    auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, len, &f->error);
    if (!args) {
        return -1;
    }
    if (::lseek(fd, args->offset, args->whence) < 0) {
        return fail(f, errorCode, errno);
    }
    return 0;
}

zip_int64_t beginWrite(AtomicFile* f) {
    const size_t slash = f->path.rfind('/');
    const std::string name = slash == std::string::npos ? f->path : f->path.substr(slash + 1);
    f->tempPath = f->folder + "/." + name + kTempMarker + "XXXXXX";
    f->writeFd.reset(::mkostemp(f->tempPath.data(), O_CLOEXEC));
    f->flushedUpTo = 0;
    if (!f->writeFd.valid()) {
        f->tempPath.clear();
        return fail(f, ZIP_ER_TMPOPEN, errno);
    }
    struct stat sb {};
    mode_t mode = 0;
    if (::stat(f->path.c_str(), &sb) == 0) {
        mode = sb.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(022);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(f->writeFd.get(), mode);
    return 0;
}

void syncFolder(const std::string& folder) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

zip_int64_t commitWrite(AtomicFile* f) {
    if (::fsync(f->writeFd.get()) != 0) {
        return fail(f, ZIP_ER_WRITE, errno);
    }
    const int fd = f->writeFd.release();
    if (::close(fd) != 0) {
        return fail(f, ZIP_ER_WRITE, errno);
    }
    if (::rename(f->tempPath.c_str(), f->path.c_str()) != 0) {
        return fail(f, ZIP_ER_RENAME, errno);
    }
    f->tempPath.clear();
    syncFolder(f->folder);
    return 0;
}

void rollbackWrite(AtomicFile* f) {
    f->writeFd.reset();
    if (!f->tempPath.empty()) {
        ::unlink(f->tempPath.c_str());
        f->tempPath.clear();
    }
}

zip_int64_t readData(AtomicFile* f, void* data, zip_uint64_t len) {
    for (;;) {
        const ssize_t n = ::read(f->readFd.get(), data, len);
        if (n >= 0) {
            return n;
        }
        if (errno != EINTR) {
            return fail(f, ZIP_ER_READ, errno);
        }
    }
}

zip_int64_t tellFd(AtomicFile* f, int fd, int errorCode) {
    const off_t pos = ::lseek(fd, 0, SEEK_CUR);
    return pos < 0 ? fail(f, errorCode, errno) : pos;
}

zip_int64_t atomicCallback(void* ud, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* f = static_cast<AtomicFile*>(ud);
    switch (cmd) {
        case ZIP_SOURCE_OPEN:
            f->readFd.reset(::open(f->path.c_str(), O_RDONLY | O_CLOEXEC));
            return f->readFd.valid() ? 0 : fail(f, ZIP_ER_OPEN, errno);
        case ZIP_SOURCE_READ:
            return readData(f, data, len);
        case ZIP_SOURCE_CLOSE:
            f->readFd.reset();
            return 0;
        case ZIP_SOURCE_STAT:
            return statFile(f, data, len);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&f->error, data, len);
        case ZIP_SOURCE_FREE:
            rollbackWrite(f);
            zip_error_fini(&f->error);
            delete f;
            return 0;
        case ZIP_SOURCE_SEEK:
            return seekFd(f, f->readFd.get(), data, len, ZIP_ER_SEEK);
        case ZIP_SOURCE_TELL:
            return tellFd(f, f->readFd.get(), ZIP_ER_TELL);
        case ZIP_SOURCE_BEGIN_WRITE:
            return beginWrite(f);
        case ZIP_SOURCE_WRITE:
            return writeData(f, data, len);
        case ZIP_SOURCE_SEEK_WRITE:
            return seekFd(f, f->writeFd.get(), data, len, ZIP_ER_SEEK);
        case ZIP_SOURCE_TELL_WRITE:
            return tellFd(f, f->writeFd.get(), ZIP_ER_TELL);
        case ZIP_SOURCE_COMMIT_WRITE:
            return commitWrite(f);
        case ZIP_SOURCE_ROLLBACK_WRITE:
            rollbackWrite(f);
            return 0;
        case ZIP_SOURCE_REMOVE:
            // libzip removes an archive left with no members; an entry archive is kept.
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        default:
            return fail(f, ZIP_ER_OPNOTSUPP);
    }
}

}  // namespace

zip_source_t* createAtomicFileSource(const std::string& path, zip_error_t* error) {
    auto* f = new AtomicFile;
    f->path = path;
    const size_t slash = path.rfind('/');
    f->folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    zip_error_init(&f->error);
    zip_source_t* source = zip_source_function_create(atomicCallback, f, error);
    if (!source) {
        zip_error_fini(&f->error);
        delete f;
    }
    return source;
}

}  // namespace tk::engine
