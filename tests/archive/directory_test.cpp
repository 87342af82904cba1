// Reading the end record, the archive comment and the central directory.
#include "archive_test_support.h"
#include "platform/codepage.h"

#include <QFile>

namespace tk::test {
namespace {

const QString kNotAnArchive =
    QStringLiteral("압축 파일이 아니거나 손상되었습니다. 백업에서 복원하거나 다른 파일을 고르십시오. (11036)");

QString text(int id) {
    return archiverMessageText(id);
}

class DirectoryTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        archiver.SetUnattended(true);
        archiver.OnDirUpdate = [this](TArchiver*) { ++dirUpdates; };
        archiver.OnNewName = [this](TArchiver*, int seq, const ArchiveDirEntry& e) {
            seqNos.append(seq);
            names.append(e.MemberName);
        };
    }
    void open(const QByteArray& bytes) {
        writeFile(path(QStringLiteral("t.zip")), bytes);
        archiver.SetZipFileName(path(QStringLiteral("t.zip")));
    }
    int dirUpdates = 0;
    QList<int> seqNos;
    QStringList names;
};

TEST_F(DirectoryTest, MissingArchiveGivesAnEmptyDirectoryAndKeepsTheName) {
    archiver.SetZipFileName(path(QStringLiteral("new.zip")));
    EXPECT_EQ(archiver.ZipFileName(), path(QStringLiteral("new.zip")));
    EXPECT_EQ(archiver.EntryCount(), 0);
    EXPECT_TRUE(archiver.ZipComment().isEmpty());
    EXPECT_EQ(dirUpdates, 1);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DirectoryTest, EndRecordFoundByTheFastPathOrBySearching) {
    open(emptyZipWithComment(""));  // exactly 22 bytes
    EXPECT_EQ(archiver.ZipFileName(), path(QStringLiteral("t.zip")));
    EXPECT_EQ(archiver.EntryCount(), 0);
    EXPECT_EQ(archiver.EndRecordPosition(), 0);
    EXPECT_TRUE(archiver.ZipComment().isEmpty());

    open(buildStoredZip({{"a.txt", "hello"}, {"b.txt", "world"}}, codepage::encodeComment(u"제목|분류|N|TKFile.rtf")));
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("제목|분류|N|TKFile.rtf"));
    EXPECT_EQ(names, (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DirectoryTest, CommentIsCutAtAZeroByte) {
    open(emptyZipWithComment(QByteArray("before\0after", 12)));
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("before"));
}

TEST_F(DirectoryTest, SixteenFixedFieldsAreCopiedByteForByte) {
    RawMember m{"dir/name.txt", "data"};
    m.madeBy = 0x0B14;
    m.flags = 0x0001;
    m.externalAttributes = 0x12345678;
    const QByteArray bytes = buildStoredZip({m});
    open(bytes);
    ASSERT_EQ(archiver.EntryCount(), 1);
    const ArchiveDirEntry& e = archiver.DirEntry(0);
    const qsizetype central = bytes.indexOf(QByteArray("PK\x01\x02", 4));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&e.fixed), 42), bytes.mid(central + 4, 42));
    EXPECT_EQ(e.fixed.SpecVersion, 0x14);
    EXPECT_EQ(e.fixed.HostSystem, 0x0B);
    EXPECT_TRUE(e.IsEncrypted);
    EXPECT_EQ(e.MemberName, QStringLiteral("dir/name.txt"));
    EXPECT_TRUE(e.ExtraCopy.isEmpty());
}

TEST_F(DirectoryTest, NamesDecodeAsUtf8WhenFlaggedElseAsAnsi) {
    RawMember utf8{QStringLiteral("한글.txt").toUtf8(), "x"};
    utf8.flags = 0x0800;
    RawMember ansi{QByteArray("\xc7\xd1\xb1\xdb.txt"), "y"};  // CP949
    open(buildStoredZip({utf8, ansi}));
    EXPECT_EQ(names, (QStringList{QStringLiteral("한글.txt"), QStringLiteral("한글.txt")}));
}

TEST_F(DirectoryTest, FolderEntriesAreSkippedButCounted) {
    open(buildStoredZip({{"web/", ""}, {"web/index.htm", "<p>"}}));
    EXPECT_EQ(seqNos, QList<int>{2});
    archiver.SetUseDirOnlyEntries(true);
    seqNos.clear();
    archiver.ReadDirectory();
    EXPECT_EQ(seqNos, (QList<int>{1, 2}));
}

TEST_F(DirectoryTest, TrailingBytesWarnUnlessTheyAreTransferPadding) {
    QByteArray bytes = buildStoredZip({{"a.txt", "hello"}}, "c");
    open(bytes + "junk");
    EXPECT_EQ(messages, QStringList{text(10204)});
    EXPECT_EQ(archiver.EntryCount(), 1);  // a warning does not stop the read
    EXPECT_EQ(archiver.EndOfArchive(), bytes.size());

    messages.clear();
    const qsizetype padded = (bytes.size() / 512 + 1) * 512;
    open(bytes + QByteArray(padded - bytes.size(), '\0'));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DirectoryTest, AMisplacedCentralDirectoryWarns10203) {
    QByteArray bytes = buildStoredZip({{"a.txt", "hello"}}, "c");
    const qsizetype end = bytes.lastIndexOf(QByteArray("PK\x05\x06", 4));
    bytes[end + 16] = static_cast<char>(bytes[end + 16] + 1);
    open(bytes);
    EXPECT_EQ(messages, QStringList{text(10203)});
    EXPECT_EQ(archiver.EntryCount(), 1);
}

TEST_F(DirectoryTest, BrokenArchivesFailAndForgetTheName) {
    struct Case {
        QByteArray bytes;
        int id;
    };
    const QByteArray good = buildStoredZip({{"a.txt", "hello"}}, "c");
    const qsizetype central = good.indexOf(QByteArray("PK\x01\x02", 4));
    QByteArray badSignature = good;
    badSignature[central + 3] = 9;
    QByteArray shortName = good;
    shortName[central + 28] = 100;  // name length beyond the directory
    QByteArray moreEntries = good;
    const qsizetype end = good.lastIndexOf(QByteArray("PK\x05\x06", 4));
    moreEntries[end + 10] = 5;
    const std::vector<Case> cases = {
        {"PK\x05\x06", 11036},            // shorter than an end record
        {QByteArray(70000, 'x'), 11036},  // no end record in the last 65,557 bytes
        {badSignature, 11015},           {shortName, 11017}, {moreEntries, 11013},
    };
    // These were "Message texts are not linked into the program\nMissing message number: " and the number.
    for (const Case& c : cases) {
        messages.clear();
        open(c.bytes);
        EXPECT_EQ(archiver.ZipFileName(), QString()) << c.id;
        EXPECT_EQ(archiver.EntryCount(), 0) << c.id;
        EXPECT_EQ(messages.value(0), c.id == 11036 ? kNotAnArchive : text(c.id));
    }
    // A following Add and Extract then report 10102.
    messages.clear();
    archiver.SetFSpecArgs({QStringLiteral("x")});
    archiver.Add();
    archiver.Extract();
    EXPECT_EQ(messages, (QStringList{text(10102), text(10102)}));
}

// A file that is not an archive, as a user meets it at the terminal: the Korean text and a failure.
TEST_F(DirectoryTest, CommandLineInfoOnAFileThatIsNotAnArchive) {
    writeFile(path(QStringLiteral("notes.txt")), "just text, no archive");
    QByteArray out;
    const int code = runProgram(binDir() + QStringLiteral("/tomekeep-cli"),
                                {QStringLiteral("info"), path(QStringLiteral("notes.txt"))}, {}, &out);
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    EXPECT_TRUE(QString::fromUtf8(out).contains(kNotAnArchive)) << out.toStdString();
}

TEST_F(DirectoryTest, ExtraFieldIsCopiedWithOneSpareByte) {
    QByteArray bytes = buildStoredZip({{"a.txt", "hello"}});
    // Give the central entry a 4-byte extra field.
    const qsizetype central = bytes.indexOf(QByteArray("PK\x01\x02", 4));
    bytes.insert(central + 46 + 5, QByteArray("\x01\x02\x03\x04", 4));
    bytes[central + 30] = 4;
    const qsizetype end = bytes.lastIndexOf(QByteArray("PK\x05\x06", 4));
    bytes[end + 12] = static_cast<char>(bytes[end + 12] + 4);
    open(bytes);
    ASSERT_EQ(archiver.EntryCount(), 1);
    EXPECT_EQ(archiver.DirEntry(0).ExtraCopy, QByteArray("\x01\x02\x03\x04\x00", 5));
}

}  // namespace
}  // namespace tk::test
