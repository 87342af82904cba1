#include "archive/archive_lock.h"

#include "archive/archiver.h"
#include "archive/engine_records.h"
#include "platform/system_error.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tk {
namespace {

constexpr int kLongestPauseMs = 50;
constexpr char kLockSuffix[] = ".lock";

// The locks this process holds, with the thread that holds each: a second acquire from that
// thread would wait for itself.
QMutex heldMutex;
QSet<QString> heldByThread;

QString heldKey(const QString& lockPath) {
    return lockPath + u'\n' + QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// The archive name a temporary file ".<name>.tkpart-XXXXXX" or a lock file ".<name>.lock" belongs
// to; empty for any other name.
QByteArray ownerOf(QByteArrayView name) {
    if (name.size() < 2 || name.front() != '.') {
        return {};
    }
    const QByteArrayView marker(engine::kTempMarker);
    const qsizetype at = name.lastIndexOf(marker);
    if (at > 1 && name.size() == at + marker.size() + 6) {
        return name.sliced(1, at - 1).toByteArray();
    }
    // Only lock files of ".zip" archives: other hidden files of the user's are left alone.
    if (name.endsWith(kLockSuffix) && name.chopped(sizeof kLockSuffix - 1).toByteArray().toLower().endsWith(".zip")) {
        return name.sliced(1, name.size() - 1 - (sizeof kLockSuffix - 1)).toByteArray();
    }
    return {};
}

bool isRegularFile(int dirFd, const dirent* e) {
    if (e->d_type != DT_UNKNOWN) {
        return e->d_type == DT_REG;
    }
    struct stat st;
    return ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

ArchiveLock::ArchiveLock(const QString& archivePath)
    : archivePath_(QFileInfo(archivePath).absoluteFilePath()), lockPath_(lockPathOf(archivePath)) {}

ArchiveLock::~ArchiveLock() {
    release();
}

QString ArchiveLock::lockPathOf(const QString& archivePath) {
    const QFileInfo info(archivePath);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(kLockSuffix);
}

int ArchiveLock::openLockFile() {
    const int fd =
        ::open(QFile::encodeName(lockPath_).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        errorString_ = QStringLiteral("%1: %2").arg(lockPath_, platform::systemErrorText(errno));
    }
    return fd;
}

bool ArchiveLock::waitForFlock(int fd, const QDeadlineTimer& deadline) {
    int pauseMs = 1;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            errorString_ = QStringLiteral("%1: %2").arg(lockPath_, platform::systemErrorText(errno));
            return false;
        }
        // Whole milliseconds left, rounded up, so the wait is never cut short.
        const qint64 left = (deadline.remainingTimeNSecs() + 999'999) / 1'000'000;
        if (left <= 0) {
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(pauseMs, left)));
        pauseMs = std::min(pauseMs * 2, kLongestPauseMs);
    }
}

ArchiveLock::Result ArchiveLock::acquire(int waitMs) {
    if (held()) {
        return Result::Locked;
    }
    errorString_.clear();
    {
        const QMutexLocker locker(&heldMutex);
        if (heldByThread.contains(heldKey(lockPath_))) {
            return Result::Busy;
        }
    }
    const QDeadlineTimer deadline(waitMs, Qt::PreciseTimer);
    const QByteArray native = QFile::encodeName(lockPath_);
    for (;;) {
        const int fd = openLockFile();
        if (fd < 0) {
            return Result::Failed;
        }
        if (!waitForFlock(fd, deadline)) {
            ::close(fd);
            return errorString_.isEmpty() ? Result::Busy : Result::Failed;
        }
        // The holder before removed the file as it let go: this lock guards nothing any more.
        if (sameFile(fd, native)) {
            fd_ = fd;
            break;
        }
        ::close(fd);
    }
    const QMutexLocker locker(&heldMutex);
    heldByThread.insert(heldKey(lockPath_));
    return Result::Locked;
}

void ArchiveLock::release() {
    if (!held()) {
        return;
    }
    // Removed while still locked, so that no one can lock this file after it is gone.
    ::unlink(QFile::encodeName(lockPath_).constData());
    ::close(fd_);
    fd_ = -1;
    const QMutexLocker locker(&heldMutex);
    heldByThread.remove(heldKey(lockPath_));
}

int ArchiveLock::removeLeftovers() const {
    if (!held()) {
        return 0;
    }
    const QFileInfo info(archivePath_);
    DIR* dir = ::opendir(QFile::encodeName(info.absolutePath()).constData());
    if (!dir) {
        return 0;
    }
    const QByteArray name = QFile::encodeName(info.fileName());
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArrayView entry(e->d_name);
        if (entry.endsWith(kLockSuffix) || ownerOf(entry) != name || !isRegularFile(::dirfd(dir), e)) {
            continue;
        }
        removed += ::unlinkat(::dirfd(dir), e->d_name, 0) == 0 ? 1 : 0;
    }
    ::closedir(dir);
    return removed;
}

int RemoveArchiveLeftovers(const QString& folder) {
    // Category folders hold thousands of archives: read names and file types only, no stat per file.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return 0;
    }
    QSet<QByteArray> owners;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray owner = e->d_name[0] == '.' ? ownerOf(QByteArrayView(e->d_name)) : QByteArray();
        if (!owner.isEmpty() && isRegularFile(::dirfd(dir), e)) {
            owners.insert(owner);
        }
    }
    ::closedir(dir);
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    int removed = 0;
    for (const QByteArray& owner : owners) {
        // A writer at work holds its archive's lock: its temporary file is no leftover.
        ArchiveLock lock(base + QFile::decodeName(owner));
        if (lock.acquire(0) == ArchiveLock::Result::Locked) {
            removed += lock.removeLeftovers();
        }
    }
    return removed;
}

}  // namespace tk
