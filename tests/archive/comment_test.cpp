// Writing the archive comment.
#include "archive_test_support.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

namespace tk::test {
namespace {

class CommentTest : public ArchiverTest {
  protected:
    QString archivePath() const { return path(QStringLiteral("c.zip")); }
    void makeArchive(const QByteArray& comment, const QByteArray& trailing = {}) {
        writeFile(archivePath(), buildStoredZip({{"TKFile.rtf", "{\\rtf1 body}"}}, comment) + trailing);
        archiver.SetZipFileName(archivePath());
    }
};

// Opens the archive with libzip's consistency checks and returns its comment, or "<broken>".
QByteArray commentSeenByLibzip(const QString& path) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        return "<broken>";
    }
    int length = 0;
    const char* comment = zip_get_archive_comment(za, &length, ZIP_FL_ENC_RAW);
    const QByteArray out = comment ? QByteArray(comment, length) : QByteArray();
    zip_discard(za);
    return out;
}

TEST_F(CommentTest, TheCommentEndsTheFileAfterItsLength) {
    makeArchive("old");
    const QString comment = QStringLiteral("제목|분류|Y|TKFile.rtf");
    archiver.SetZipComment(comment);
    const QByteArray bytes = readFile(archivePath());
    const QByteArray ansi("\xc1\xa6\xb8\xf1|\xba\xd0\xb7\xf9|Y|TKFile.rtf");
    EXPECT_TRUE(bytes.endsWith(ansi));
    EXPECT_EQ(static_cast<uint8_t>(bytes[bytes.size() - ansi.size() - 2]), ansi.size());
    EXPECT_EQ(bytes[bytes.size() - ansi.size() - 1], 0);  // below 256 bytes the high byte is 0
    EXPECT_EQ(commentSeenByLibzip(archivePath()), ansi);
    EXPECT_EQ(archiver.ZipComment(), comment);
    archiver.ReadDirectory();
    EXPECT_EQ(archiver.ZipComment(), comment);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CommentTest, LongEmptyAndUnencodableComments) {
    makeArchive("old");
    archiver.SetZipComment(QString(300, QLatin1Char('x')));
    QByteArray bytes = readFile(archivePath());
    EXPECT_NE(bytes[bytes.size() - 301], 0);  // 300 = 0x012C
    EXPECT_EQ(commentSeenByLibzip(archivePath()), QByteArray(300, 'x'));

    archiver.SetZipComment(QString());
    bytes = readFile(archivePath());
    EXPECT_TRUE(bytes.right(22).startsWith(QByteArray("PK\x05\x06", 4)));
    EXPECT_TRUE(bytes.endsWith(QByteArray(2, '\0')));

    // A character without a CP949 form is kept: the comment is marked UTF-8 instead.
    archiver.SetZipComment(QStringLiteral("emoji 😀|k|N|TKFile.rtf"));
    EXPECT_TRUE(
        readFile(archivePath())
            .endsWith(QByteArray(QByteArray("\xEF\xBB\xBF") + QStringLiteral("emoji 😀|k|N|TKFile.rtf").toUtf8())));
    archiver.ReadDirectory();
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("emoji 😀|k|N|TKFile.rtf"));
}

TEST_F(CommentTest, WritingTruncatesWhatFollowedTheOldComment) {
    makeArchive("old", "trailing junk");
    archiver.SetUnattended(true);
    archiver.ReadDirectory();
    archiver.SetZipComment(QStringLiteral("new"));
    EXPECT_TRUE(readFile(archivePath()).endsWith(QByteArray("\x03\x00new", 5)));
    EXPECT_EQ(commentSeenByLibzip(archivePath()), "new");
}

TEST_F(CommentTest, FailuresAreReportedAndEmptyTheComment) {
    archiver.SetUnattended(true);
    archiver.SetZipComment(QStringLiteral("x"));  // no archive name
    EXPECT_EQ(archiver.LastErrorCode(), 11001);
    archiver.SetZipFileName(path(QStringLiteral("absent.zip")));
    archiver.SetZipComment(QStringLiteral("x"));
    EXPECT_EQ(archiver.LastErrorCode(), 11002);
    EXPECT_TRUE(archiver.ZipComment().isEmpty());
    // The archive changed behind the component: it is read again before the write, and what is
    // there now is no archive.
    makeArchive("old");
    writeFile(archivePath(), QByteArray(100, 'z'));
    archiver.SetZipComment(QStringLiteral("x"));
    EXPECT_EQ(archiver.LastErrorCode(), 11036);
    EXPECT_EQ(readFile(archivePath()), QByteArray(100, 'z'));
}

TEST_F(CommentTest, KeepsTheArchiveModeAndLeavesNoTemporaryFile) {
    makeArchive("old");
    ASSERT_TRUE(QFile::setPermissions(archivePath(), QFile::ReadOwner | QFile::WriteOwner));
    archiver.SetZipComment(QStringLiteral("new"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(archivePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("c.zip")});
}

// This was a truncate-in-place write: a crash between the write and the truncation left a file
// whose end record did not match its length. Killed at any instant, the archive must still open
// with its old or its new comment.
TEST_F(CommentTest, KilledAtAnyInstantTheArchiveStaysWhole) {
    QByteArray body(3 << 20, '\0');
    for (qsizetype i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(QRandomGenerator::global()->generate());
    }
    writeFile(archivePath(), buildStoredZip({{"TKFile.rtf", body}}, "original"));
    const QList<QByteArray> allowed = {"original", "first comment", "the second, longer comment"};
    int interrupted = 0;
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TArchiver a;
            a.SetUnattended(true);
            a.SetZipFileName(archivePath());
            for (int i = 0;; ++i) {
                a.SetZipComment(i % 2 ? QStringLiteral("first comment") : QStringLiteral("the second, longer comment"));
            }
        }
        ::usleep(static_cast<useconds_t>(QRandomGenerator::global()->bounded(2000, 40000)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        interrupted += WIFSIGNALED(status) ? 1 : 0;
        const QByteArray comment = commentSeenByLibzip(archivePath());
        ASSERT_TRUE(allowed.contains(comment)) << "round " << round << ": " << comment.toStdString();
    }
    EXPECT_EQ(interrupted, 40);
    RemoveArchiveLeftovers(dir.path());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("c.zip")});
}

}  // namespace
}  // namespace tk::test
