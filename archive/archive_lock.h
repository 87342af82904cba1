#pragma once

#include <QDeadlineTimer>

#include <QString>

namespace tk {

// The writers' lock of one archive. Every read-modify-write of an archive (adding files, writing
// its comment, deleting it) holds it, in this program and in any other process that uses the
// component, so that no writer puts back what another one has just written.
//
// The archive itself cannot carry the lock: it is replaced by a rename, and a lock on its old
// inode is lost with it, so the next writer would lock the new file while the first still writes.
// A lock on the folder would hold up writers of every other entry of the category. The lock is an
// flock on a hidden file beside the archive, ".<name>.lock" (never listed: no entry's name ends
// in ".lock"), which the holder removes as it lets go; a waiter that then holds a removed file
// opens the new one and waits again. A killed holder's flock goes with the process; its file
// stays harmless until the next writer or start removes it.
class ArchiveLock final {
  public:
    enum class Result { Locked, Busy, Failed };
    // How long a writer waits for another one to finish before it gives up.
    static constexpr int kWaitSeconds = 10;

    explicit ArchiveLock(const QString& archivePath);
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    // Takes the lock, waiting up to waitMs for its holder (0: only tries). Busy at once when this
    // thread holds it already: waiting for itself would only run out the time.
    [[nodiscard]] Result acquire(int waitMs = kWaitSeconds * 1000);
    // Removes the lock file and lets go; also done on destruction.
    void release();
    bool held() const { return fd_ >= 0; }
    // Why acquire() failed: the lock file and the system's reason.
    const QString& errorString() const { return errorString_; }

    // Removes the temporary files that killed writers of this archive left beside it. Only while
    // the lock is held: then no live writer of the archive can own one. Returns how many went.
    int removeLeftovers() const;

    static QString lockPathOf(const QString& archivePath);

  private:
    int openLockFile();
    bool waitForFlock(int fd, const QDeadlineTimer& deadline);

    QString archivePath_;
    QString lockPath_;
    int fd_ = -1;
    QString errorString_;
};

}  // namespace tk
