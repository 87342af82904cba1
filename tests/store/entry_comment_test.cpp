#include "store/entry_comment.h"
#include "test_support.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tk;
using tk::test::emptyZipWithComment;
using tk::test::writeFile;

namespace {

EntryComment parse(const char* text) {
    return ParseEntryComment(QString::fromUtf8(text));
}

QString readComment(const QString& path) {
    QString comment;
    EXPECT_EQ(ReadEntryComment(path, &comment), ReadCommentResult::Ok);
    return comment;
}

}  // namespace

TEST(ParseEntryComment, FourFieldsAndTheDesignedExamples) {
    EntryComment e = parse("A|B|Y|TKFile.rtf");
    EXPECT_EQ(e.title, "A");
    EXPECT_EQ(e.category, "B");
    EXPECT_TRUE(e.isProtected);
    EXPECT_EQ(e.documentFile, "TKFile.rtf");

    e = parse("A|B|N|X");
    EXPECT_FALSE(e.isProtected);
    EXPECT_EQ(e.documentFile, "X");

    e = parse("A|B|Y");
    EXPECT_TRUE(e.isProtected);
    EXPECT_EQ(e.documentFile, "TKFile.rtf");

    // Only the first character of the flag counts; further "|" belong to the document file.
    e = parse("A|B|Yes|X|Y");
    EXPECT_TRUE(e.isProtected);
    EXPECT_EQ(e.documentFile, "X|Y");
}

TEST(ParseEntryComment, ShortAndOddComments) {
    // Two fields: the category is empty and the second field is the flag.
    EntryComment e = parse("A|Yellow");
    EXPECT_EQ(e.title, "A");
    EXPECT_EQ(e.category, "");
    EXPECT_TRUE(e.isProtected);
    EXPECT_FALSE(parse("A|B").isProtected);

    e = parse("");
    EXPECT_EQ(e.title, QStringLiteral("제목 없음"));
    EXPECT_EQ(e.category, "");
    EXPECT_FALSE(e.isProtected);
    EXPECT_EQ(e.documentFile, "TKFile.rtf");

    e = parse("그냥 제목");
    EXPECT_EQ(e.title, QStringLiteral("그냥 제목"));
    EXPECT_EQ(e.documentFile, "TKFile.rtf");

    // An empty title before a "|" stays empty; an empty rest is not protected.
    e = parse("|K|");
    EXPECT_EQ(e.title, "");
    EXPECT_EQ(e.category, "K");
    EXPECT_FALSE(e.isProtected);
}

TEST(ParseEntryComment, ReadsBackWhatMakeEntryCommentWrites) {
    const QString text = MakeEntryComment(QStringLiteral("제목"), QStringLiteral("분류"), true, "TKFile.rtf");
    EXPECT_EQ(text, QStringLiteral("제목|분류|Y|TKFile.rtf"));
    const EntryComment e = ParseEntryComment(MakeEntryComment("T", "", false, "page.htm"));
    EXPECT_EQ(e.title, "T");
    EXPECT_FALSE(e.isProtected);
    EXPECT_EQ(e.documentFile, "page.htm");
}

TEST(ReadEntryComment, CommentsOfEveryLengthComeBackWhole) {
    QTemporaryDir dir;
    for (int length : {0, 1, 255, 256, 300, 4000, 65535}) {
        QByteArray comment(length, 'x');
        if (length > 0) {
            comment[0] = 'T';
        }
        const QString path = dir.filePath(QStringLiteral("c%1.zip").arg(length));
        writeFile(path, emptyZipWithComment(comment));
        // This was a 256-byte comment read with an extra byte of value 1 in front.
        EXPECT_EQ(readComment(path), QString::fromLatin1(comment)) << "length " << length;
    }
}

TEST(ReadEntryComment, DecodesCp949AndMarkedUtf8) {
    QTemporaryDir dir;
    writeFile(dir.filePath("k.zip"), emptyZipWithComment("\xC1\xA6\xB8\xF1|\xBA\xD0\xB7\xF9|Y|TKFile.rtf"));
    EXPECT_EQ(readComment(dir.filePath("k.zip")), QStringLiteral("제목|분류|Y|TKFile.rtf"));
    writeFile(dir.filePath("u.zip"), emptyZipWithComment("\xEF\xBB\xBF\xF0\x9F\x98\x80|K|N|TKFile.rtf"));
    EXPECT_EQ(readComment(dir.filePath("u.zip")), QStringLiteral("\U0001F600|K|N|TKFile.rtf"));
}

TEST(ReadEntryComment, FilesWithoutEndRecordReadEmpty) {
    QTemporaryDir dir;
    writeFile(dir.filePath("empty.zip"), QByteArray());
    writeFile(dir.filePath("one.zip"), QByteArray("x"));
    writeFile(dir.filePath("text.zip"), QByteArray(5000, 'a'));
    // An end record whose length does not reach the end of the file is no end record.
    writeFile(dir.filePath("bad.zip"), emptyZipWithComment("abc") + "trailing");
    for (const char* name : {"empty.zip", "one.zip", "text.zip", "bad.zip"}) {
        EXPECT_EQ(readComment(dir.filePath(name)), QString()) << name;
    }
    QString comment = QStringLiteral("stale");
    EXPECT_EQ(ReadEntryComment(dir.filePath("missing.zip"), &comment), ReadCommentResult::CannotOpen);
    EXPECT_TRUE(comment.isEmpty());
}

TEST(ReadEntryComment, ShortCommentsMatchTheBackwardByteScan) {
    QTemporaryDir dir;
    // A scan back from the end to the first zero byte sees only what follows an embedded NUL.
    writeFile(dir.filePath("nul.zip"), emptyZipWithComment(QByteArray("hidden\0shown", 12)));
    EXPECT_EQ(readComment(dir.filePath("nul.zip")), "shown");
}

TEST(ReadEntryComment, ReadsArchivesMadeByZip) {
    const QString zip = QStandardPaths::findExecutable("zip");
    if (zip.isEmpty()) {
        GTEST_SKIP() << "zip is not installed";
    }
    QTemporaryDir dir;
    writeFile(dir.filePath("TKFile.rtf"), QByteArray("{\\rtf1 hello}"));
    QProcess proc;
    proc.setWorkingDirectory(dir.path());
    proc.start(zip, {"-q", "-z", "entry.zip", "TKFile.rtf"});
    ASSERT_TRUE(proc.waitForStarted());
    proc.write("\xB9\xE3|\xC0\xCF\xB1\xE2|N|TKFile.rtf");  // 밤|일기|N|TKFile.rtf in CP949
    proc.closeWriteChannel();
    ASSERT_TRUE(proc.waitForFinished());
    ASSERT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    EXPECT_EQ(readComment(dir.filePath("entry.zip")), QStringLiteral("밤|일기|N|TKFile.rtf"));
}
