#include "archive/atomic_replace.h"

#include "archive/engine_records.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tk {
namespace {

// A file descriptor closed when it goes out of scope.
class Fd final {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    [[nodiscard]] bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool copyPrefix(int from, int to, qint64 length) {
    std::vector<char> buffer(1 << 16);
    while (length > 0) {
        const ssize_t n = ::read(from, buffer.data(), static_cast<size_t>(std::min<qint64>(length, buffer.size())));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || !writeAll(to, buffer.data(), n)) {
            return false;
        }
        length -= n;
    }
    return true;
}

void syncFolder(const QByteArray& folder) {
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

}  // namespace

int replaceFileTail(const QString& path, qint64 prefixLength, const QByteArray& tail) {
    const QByteArray target = QFile::encodeName(path);
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    Fd source(::open(target.constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!source.valid() || ::fstat(source.get(), &st) != 0) {
        return 11002;
    }
    QByteArray temp = folder + "/." + QFile::encodeName(info.fileName()) + engine::kTempMarker + "XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out.valid()) {
        return 11002;
    }
    int failure = 0;
    if (!copyPrefix(source.get(), out.get(), prefixLength)) {
        failure = 11030;
    } else if (!writeAll(out.get(), tail.constData(), tail.size())) {
        failure = 11010;
    } else if (::fchmod(out.get(), st.st_mode & 07777) != 0 || ::fsync(out.get()) != 0 || !out.close()) {
        failure = 11010;
    } else if (::rename(temp.constData(), target.constData()) != 0) {
        failure = 11002;
    }
    if (failure != 0) {
        ::unlink(temp.constData());
        return failure;
    }
    syncFolder(folder);
    return 0;
}

}  // namespace tk
