// Hostile archives built byte by byte: nothing may be written outside the base folder, no link
// created or followed, no inconsistent archive accepted, no member grow past what it declares.
#include "archive_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace tk::test {
namespace {

class HostileTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        base = path(QStringLiteral("base"));
        QDir().mkpath(base);
    }
    int extractBytes(const QByteArray& bytes) {
        writeFile(path(QStringLiteral("h.zip")), bytes);
        archiver.SetZipFileName(path(QStringLiteral("h.zip")));
        archiver.SetUnattended(true);
        archiver.SetExtrBaseDir(base);
        archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
        archiver.Extract();
        return archiver.HandledCount();
    }
    // Every file below the temporary folder except the archive and the folders made for the test.
    QStringList everything() const {
        QStringList out;
        QDir d(dir.path());
        for (const QFileInfo& i :
             d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            out << i.fileName();
        }
        return out;
    }
    QString base;
};

TEST_F(HostileTest, UnsafeNamesAreRefusedWithAMessage) {
    const std::vector<QByteArray> names = {"../escape.txt",
                                           "a/../../escape.txt",
                                           "/tmp/absolute.txt",
                                           "C:escape.txt",
                                           "dir\\escape.txt",
                                           QByteArray("ctl\x01.txt"),
                                           ".."};
    for (const QByteArray& name : names) {
        messages.clear();
        EXPECT_EQ(extractBytes(buildStoredZip({{name, "evil"}, {"good.txt", "fine"}})), 1) << name.toStdString();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_TRUE(messages.first().contains(QStringLiteral("refused"))) << messages.first().toStdString();
        EXPECT_EQ(QDir(base).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("good.txt")});
        QFile::remove(base + QStringLiteral("/good.txt"));
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("escape.txt"))));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/absolute.txt")));
}

TEST_F(HostileTest, LinkMembersAreNeverCreated) {
    RawMember link{"link", "/etc/passwd"};
    link.externalAttributes = 0120777u << 16;
    EXPECT_EQ(extractBytes(buildStoredZip({link})), 0);
    EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral("/link")));
    EXPECT_FALSE(QFileInfo(base + QStringLiteral("/link")).isSymLink());
}

TEST_F(HostileTest, ExistingLinksAreNotFollowed) {
    const QString outside = path(QStringLiteral("outside"));
    QDir().mkpath(outside);
    writeFile(outside + QStringLiteral("/victim.txt"), "untouched");
    ASSERT_EQ(::symlink(QFile::encodeName(outside + QStringLiteral("/victim.txt")).constData(),
                        QFile::encodeName(base + QStringLiteral("/file.txt")).constData()),
              0);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(base + QStringLiteral("/sub")).constData()),
        0);
    EXPECT_EQ(extractBytes(buildStoredZip({{"file.txt", "new"}, {"sub/victim.txt", "through the link"}})), 1);
    EXPECT_EQ(readFile(outside + QStringLiteral("/victim.txt")), "untouched");
    EXPECT_FALSE(QFileInfo(base + QStringLiteral("/file.txt")).isSymLink());
    EXPECT_EQ(readFile(base + QStringLiteral("/file.txt")), "new");
}

TEST_F(HostileTest, InconsistentArchivesAreRefused) {
    // Two members with one name.
    EXPECT_EQ(extractBytes(buildStoredZip({{"same.txt", "one"}, {"same.txt", "two"}})), 0);
    EXPECT_TRUE(QDir(base).isEmpty());
    // Two central entries pointing at one local header.
    RawMember second{"b.txt", "bbbb"};
    second.offsetOverride = 0;
    EXPECT_EQ(extractBytes(buildStoredZip({{"a.txt", "aaaa"}, second})), 0);
    EXPECT_TRUE(QDir(base).isEmpty());
    EXPECT_FALSE(messages.isEmpty());
}

TEST_F(HostileTest, AMemberMayNotGrowPastItsDeclaredSize) {
    RawMember big{"big.txt", QByteArray(4096, 'b')};
    big.sizeOverride = 10;
    EXPECT_EQ(extractBytes(buildStoredZip({big})), 0);
    EXPECT_TRUE(QDir(base).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(messages.isEmpty());
}

// This was a leak found by the extraction fuzzer: libzip kept the member's sources alive when asked
// to decrypt a method it does not know (strong encryption, flag bit 6), and with them the archive.
TEST_F(HostileTest, UnknownEncryptionIsRefusedBeforeLibzipOpensTheMember) {
    RawMember strong{"TKFile.rtf", "{\\rtf1 x}"};
    strong.flags = 0x0041;
    archiver.SetPassword(QStringLiteral("pw"));
    EXPECT_EQ(extractBytes(buildStoredZip({strong})), 0);
    EXPECT_TRUE(messages.join(QLatin1Char('\n')).contains(QStringLiteral("encryption method not supported")))
        << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QDir(base).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(extractBytes(readFile(QStringLiteral(TK_FUZZ_CORPUS "/leak-unknown-encryption.zip"))), 1);
}

TEST_F(HostileTest, GarbageIsNotAnArchive) {
    EXPECT_EQ(extractBytes(emptyZipWithComment("") + "x"), 0);
    writeFile(path(QStringLiteral("g.zip")), QByteArray(5000, 'g'));
    archiver.SetUnattended(true);
    archiver.SetZipFileName(path(QStringLiteral("g.zip")));
    EXPECT_TRUE(archiver.ZipFileName().isEmpty());
}

}  // namespace
}  // namespace tk::test
