// Writers of one archive take turns: the writers' lock beside it, what a writer reads under it, and
// the leftovers of writers that were killed.
#include "archive_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <thread>

namespace tk::test {
namespace {

const QString kBody = QStringLiteral("TKFile.rtf");

// Holds an archive's lock on a thread of its own, as another writer would, until let go.
class OtherWriter final {
  public:
    explicit OtherWriter(const QString& archive) {
        thread_ = std::thread([this, archive] {
            ArchiveLock lock(archive);
            locked_ = lock.acquire(0) == ArchiveLock::Result::Locked;
            ready_ = true;
            while (!letGo_) {
                QThread::msleep(5);
            }
        });
        while (!ready_) {
            QThread::msleep(1);
        }
    }
    ~OtherWriter() {
        if (timer_.joinable()) {
            timer_.join();
        }
        letGo_ = true;
        thread_.join();
    }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;

    bool locked() const { return locked_; }
    void letGoAfter(int ms) {
        timer_ = std::thread([this, ms] {
            QThread::msleep(static_cast<unsigned long>(ms));
            letGo_ = true;
        });
    }

  private:
    std::thread thread_;
    std::thread timer_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> letGo_{false};
    bool locked_ = false;
};

class LockTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        archiver.SetUnattended(true);
        source = path(QStringLiteral("src"));
        writeFile(source + QLatin1Char('/') + kBody, "{\\rtf1 first}");
        archive = path(QStringLiteral("e.zip"));
        ASSERT_EQ(add(archive, source, {kBody}), 1);
        archiver.SetZipComment(QStringLiteral("t|k|N|TKFile.rtf"));
    }
    QStringList beside() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QString source;
    QString archive;
};

TEST_F(LockTest, AWriterWaitsItsTimeForAnotherThenSaysSoAndWritesNothing) {
    const QByteArray before = readFile(archive);
    const OtherWriter other(archive);
    ASSERT_TRUE(other.locked());
    archiver.SetLockWaitMs(300);
    QElapsedTimer timer;
    timer.start();
    writeFile(source + QLatin1Char('/') + kBody, "{\\rtf1 second}");
    EXPECT_EQ(add(archive, source, {kBody}), 0);
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_EQ(archiver.LastErrorCode(), 11050);
    EXPECT_EQ(archiver.LastErrorMessage(),
              QStringLiteral("다른 작업이 이 압축 파일을 쓰고 있어 기다렸지만 끝나지 않았습니다(1초). 그 작업이 "
                             "끝난 뒤 다시 시도하십시오. 이번 변경은 저장되지 않았습니다. (11050)"));
    archiver.SetZipComment(QStringLiteral("other|k|N|TKFile.rtf"));
    EXPECT_EQ(archiver.LastErrorCode(), 11050);
    EXPECT_TRUE(archiver.ZipComment().isEmpty());
    EXPECT_EQ(readFile(archive), before);
}

TEST_F(LockTest, AWriterGoesOnAsSoonAsTheOtherLetsGo) {
    OtherWriter other(archive);
    other.letGoAfter(150);
    writeFile(source + QLatin1Char('/') + kBody, "{\\rtf1 second}");
    EXPECT_EQ(add(archive, source, {kBody}), 1);
    EXPECT_EQ(extract(archive, path(QStringLiteral("out"))), 1);
    EXPECT_EQ(readFile(path(QStringLiteral("out/TKFile.rtf"))), "{\\rtf1 second}");
    EXPECT_EQ(beside(), QStringList{QStringLiteral("e.zip")});
}

// Waiting for itself would only run out the time.
TEST_F(LockTest, TheHoldingThreadIsToldAtOnce) {
    ArchiveLock held(archive);
    ASSERT_EQ(held.acquire(0), ArchiveLock::Result::Locked);
    ArchiveLock again(archive);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(again.acquire(5000), ArchiveLock::Result::Busy);
    EXPECT_LT(timer.elapsed(), 1000);
    held.release();
    EXPECT_EQ(again.acquire(0), ArchiveLock::Result::Locked);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral(".e.zip.lock"))));
    again.release();
    EXPECT_EQ(beside(), QStringList{QStringLiteral("e.zip")});
}

TEST_F(LockTest, NoLockFileWhereNoneCanBeMade) {
    archiver.SetZipFileName(path(QStringLiteral("missing/e.zip")));
    EXPECT_EQ(add(path(QStringLiteral("missing/e.zip")), source, {kBody}), 0);
    EXPECT_EQ(archiver.LastErrorCode(), 11051);
    EXPECT_TRUE(archiver.LastErrorMessage().startsWith(
        QStringLiteral("압축 파일을 쓰기 전에 잠글 수 없습니다: %1/missing/.e.zip.lock: ").arg(dir.path())))
        << archiver.LastErrorMessage().toStdString();
}

// This was: an add wrote back the comment its component had read before, so a comment written
// meanwhile by another process was lost, though its write had reported success.
TEST_F(LockTest, AnAddKeepsACommentWrittenSinceItsArchiveWasRead) {
    TArchiver other;
    other.SetUnattended(true);
    other.SetZipFileName(archive);
    other.SetZipComment(QStringLiteral("newer|k|N|TKFile.rtf"));
    ASSERT_EQ(other.LastErrorCode(), 0);
    ASSERT_EQ(archiver.ZipComment(), QStringLiteral("t|k|N|TKFile.rtf"));  // read before

    writeFile(source + QLatin1Char('/') + kBody, "{\\rtf1 second}");
    archiver.SetPassword(QString());
    archiver.SetAddOptions({});
    archiver.SetRootDir(source);
    archiver.SetFSpecArgs({kBody});
    archiver.Add();
    ASSERT_EQ(archiver.HandledCount(), 1);
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("newer|k|N|TKFile.rtf"));
}

// This was: the comment went on the end record the component remembered; once another writer had
// replaced the archive, the write was refused (11011) or landed on a copy of the old archive.
TEST_F(LockTest, ACommentGoesOnTheArchiveAsItNowIs) {
    TArchiver other;
    other.SetUnattended(true);
    other.SetEngineDirectory(binDir());
    writeFile(source + QStringLiteral("/more.txt"), QByteArray(5000, 'm'));
    other.SetZipFileName(archive);
    other.SetRootDir(source);
    other.SetFSpecArgs({kBody, QStringLiteral("more.txt")});
    other.Add();
    ASSERT_EQ(other.HandledCount(), 2);

    archiver.SetZipComment(QStringLiteral("new|k|N|TKFile.rtf"));
    EXPECT_EQ(archiver.LastErrorCode(), 0) << archiver.LastErrorMessage().toStdString();
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("new|k|N|TKFile.rtf"));
    EXPECT_EQ(extract(archive, path(QStringLiteral("out"))), 2);
    EXPECT_EQ(readFile(path(QStringLiteral("out/more.txt"))), QByteArray(5000, 'm'));
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("new|k|N|TKFile.rtf"));
}

// Temporary files of killed writers and their lock files go with the next writer of the archive
// or the next start, never those of a writer at work.
TEST_F(LockTest, LeftoversOfKilledWritersGoWithTheNextWriterOrStart) {
    const QString partial = path(QStringLiteral(".e.zip.tkpart-Ab12Cd"));
    const QString otherPartial = path(QStringLiteral(".f.zip.tkpart-Xy34Zw"));
    writeFile(partial, "partial");
    writeFile(otherPartial, "partial of another archive");
    writeFile(path(QStringLiteral(".e.zip.lock")), "");
    archiver.SetZipComment(QStringLiteral("again|k|N|TKFile.rtf"));
    EXPECT_EQ(archiver.LastErrorCode(), 0);
    EXPECT_EQ(beside(), QStringList({QStringLiteral(".f.zip.tkpart-Xy34Zw"), QStringLiteral("e.zip")}));

    writeFile(partial, "partial");
    writeFile(path(QStringLiteral(".f.zip.lock")), "");
    writeFile(path(QStringLiteral(".notes.lock")), "someone else's");
    {
        const OtherWriter atWork(path(QStringLiteral("f.zip")));
        EXPECT_EQ(RemoveArchiveLeftovers(dir.path()), 1);
        EXPECT_TRUE(QFile::exists(otherPartial));
    }
    EXPECT_FALSE(QFile::exists(partial));
    EXPECT_EQ(RemoveArchiveLeftovers(dir.path()), 1);
    EXPECT_EQ(beside(), QStringList({QStringLiteral(".notes.lock"), QStringLiteral("e.zip")}));
}

}  // namespace
}  // namespace tk::test
