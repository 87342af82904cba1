// Archives written here open in the usual tools, and theirs open here.
#include "archive_test_support.h"
#include "store/entry_comment.h"

#include <QDir>
#include <QFile>

namespace tk::test {
namespace {

const QString kBody = QStringLiteral("TKFile.rtf");
const QByteArray kAnsiComment("\xc1\xa6\xb8\xf1|\xba\xd0\xb7\xf9|Y|TKFile.rtf");  // 제목|분류|Y|TKFile.rtf in CP949
const QString kComment = QStringLiteral("제목|분류|Y|TKFile.rtf");

class InteropTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        for (const char* tool : {"7z", "zip", "unzip", "python3"}) {
            if (!haveProgram(QString::fromLatin1(tool))) {
                GTEST_SKIP() << tool << " is not installed (make deps installs it)";
            }
        }
        src = path(QStringLiteral("src"));
        body = "{\\rtf1\\ansi ";
        for (int i = 0; i < 20000; ++i) {
            body += "\\par line " + QByteArray::number(i * 7919 % 10007);
        }
        body += "}";
        writeFile(src + QLatin1Char('/') + kBody, body);
    }
    // Makes an archive with a foreign tool inside src, with the CP949 comment set by zip -z.
    QString foreign(const QString& name, const QString& program, const QStringList& args) {
        const QString archive = path(name);
        QByteArray out;
        EXPECT_EQ(runProgram(program, args + QStringList{archive, kBody}, src, &out), 0) << out.toStdString();
        EXPECT_EQ(runProgram(QStringLiteral("zip"), {QStringLiteral("-z"), archive}, src, &out, kAnsiComment + "\n.\n"),
                  0)
            << out.toStdString();
        return archive;
    }
    // The list reads the comment from the file's end on its own; both readings must agree.
    void expectCommentReadAlike(const QString& archive) {
        archiver.SetZipFileName(archive);
        QString listed;
        ASSERT_EQ(ReadEntryComment(archive, &listed), ReadCommentResult::Ok);
        EXPECT_EQ(listed, kComment);
        EXPECT_EQ(archiver.ZipComment(), kComment);
    }
    void expectOpensHereOnlyWithThePassword(const QString& archive, const QString& password) {
        expectCommentReadAlike(archive);
        EXPECT_EQ(extract(archive, path(QStringLiteral("wrong")), QStringLiteral("not it")), 0);
        EXPECT_EQ(messages.value(messages.size() - 1), QStringLiteral("warnings were given"));
        EXPECT_TRUE(QDir(path(QStringLiteral("wrong"))).isEmpty());
        messages.clear();
        EXPECT_EQ(extract(archive, path(QStringLiteral("right")), password), 1);
        EXPECT_EQ(readFile(path(QStringLiteral("right/TKFile.rtf"))), body);
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    }
    QString src;
    QByteArray body;
};

TEST_F(InteropTest, ArchivesWrittenHereOpenInTheUsualTools) {
    const QString archive = path(QStringLiteral("20240101120000.zip"));
    ASSERT_EQ(add(archive, src, {kBody}, QStringLiteral("암호 pass")), 1);
    archiver.SetZipComment(kComment);
    expectCommentReadAlike(archive);
    QByteArray out;
    EXPECT_EQ(runProgram(QStringLiteral("7z"), {QStringLiteral("t"), QStringLiteral("-p암호 pass"), archive}, {}, &out),
              0)
        << out.toStdString();
    EXPECT_EQ(runProgram(QStringLiteral("7z"),
                         {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-p암호 pass"),
                          QStringLiteral("-o") + path(QStringLiteral("7z")), archive},
                         {}, &out),
              0);
    EXPECT_EQ(readFile(path(QStringLiteral("7z/TKFile.rtf"))), body);
    EXPECT_NE(runProgram(QStringLiteral("7z"), {QStringLiteral("t"), QStringLiteral("-pwrong"), archive}, {}, &out), 0);

    // Python reads the comment bytes and an unprotected member.
    writeFile(src + QStringLiteral("/plain.txt"), "plain text");
    archiver.SetZipFileName(archive);
    archiver.SetAddOptions({});
    archiver.SetRootDir(src);
    archiver.SetFSpecArgs({QStringLiteral("plain.txt")});
    archiver.Add();
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "sys.stdout.write(z.comment.decode('cp949') + '\\n' + z.read('plain.txt').decode())\n");
    EXPECT_EQ(runProgram(QStringLiteral("python3"), {QStringLiteral("-c"), script, archive}, {}, &out), 0);
    EXPECT_EQ(QString::fromUtf8(out), kComment + QStringLiteral("\nplain text"));
}

TEST_F(InteropTest, PlainZipArchives) {
    const QString archive = foreign(QStringLiteral("plain.zip"), QStringLiteral("zip"), {QStringLiteral("-q9")});
    expectCommentReadAlike(archive);
    EXPECT_EQ(extract(archive, path(QStringLiteral("out"))), 1);
    EXPECT_EQ(readFile(path(QStringLiteral("out/TKFile.rtf"))), body);
}

TEST_F(InteropTest, TraditionallyEncryptedZipArchives) {
    const QString archive = foreign(QStringLiteral("trad.zip"), QStringLiteral("zip"),
                                    {QStringLiteral("-q9"), QStringLiteral("-P"), QStringLiteral("secret")});
    expectOpensHereOnlyWithThePassword(archive, QStringLiteral("secret"));
}

TEST_F(InteropTest, TraditionalArchivesMadeWithAnAnsiPassword) {
    // Made on Windows, the password's bytes are CP949; the user types the same text here.
    const QString archive = path(QStringLiteral("ansi.zip"));
    QByteArray out;
    ASSERT_EQ(runProgram(QStringLiteral("sh"),
                         {QStringLiteral("-c"),
                          QStringLiteral("zip -q -P \"$(printf '\\276\\317\\310\\243')\" \"$0\" TKFile.rtf"), archive},
                         src, &out),
              0)
        << out.toStdString();
    ASSERT_EQ(runProgram(QStringLiteral("zip"), {QStringLiteral("-z"), archive}, src, &out, kAnsiComment + "\n.\n"), 0);
    expectOpensHereOnlyWithThePassword(archive, QStringLiteral("암호"));
}

TEST_F(InteropTest, TraditionalEntriesAreReprotectedWithAesOnTheirFirstSave) {
    const QString archive = foreign(QStringLiteral("trad.zip"), QStringLiteral("zip"),
                                    {QStringLiteral("-q9"), QStringLiteral("-P"), QStringLiteral("secret")});
    ASSERT_EQ(add(archive, src, {kBody}, QStringLiteral("secret")), 1);
    EXPECT_EQ(archiver.DirEntry(0).fixed.Method, 99);
    EXPECT_EQ(archiver.ZipComment(), kComment);
    expectOpensHereOnlyWithThePassword(archive, QStringLiteral("secret"));
}

TEST_F(InteropTest, SevenZipAesArchivesWithZeroCrc) {
    const QString archive = foreign(QStringLiteral("aes.zip"), QStringLiteral("7z"),
                                    {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mem=AES256"),
                                     QStringLiteral("-psecret"), QStringLiteral("-bd")});
    expectOpensHereOnlyWithThePassword(archive, QStringLiteral("secret"));
}

TEST_F(InteropTest, SevenZipAesArchiveWithAlteredDataIsNotTakenForAWrongPassword) {
    const QString archive = foreign(QStringLiteral("aes.zip"), QStringLiteral("7z"),
                                    {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mem=AES256"),
                                     QStringLiteral("-psecret"), QStringLiteral("-bd"), QStringLiteral("-mx=0")});
    QByteArray bytes = readFile(archive);
    const qsizetype at = bytes.indexOf("TKFile.rtf") + 10 + 11 + 40;  // inside the stored, encrypted data
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    writeFile(archive, bytes);
    EXPECT_EQ(extract(archive, path(QStringLiteral("out")), QStringLiteral("secret")), 0);
    EXPECT_FALSE(messages.contains(QStringLiteral("warnings were given")));
    EXPECT_TRUE(messages.join(QLatin1Char('\n')).contains(QStringLiteral("인증 코드가 맞지 않아")));
    EXPECT_TRUE(QDir(path(QStringLiteral("out"))).isEmpty());
}

// What a user does at a terminal: a protected entry with a body and its comment, listed, extracted
// with the right password, refused with a wrong one, and opened by 7-Zip.
TEST_F(InteropTest, CommandLineCompanion) {
    const QString cli = binDir() + QStringLiteral("/tomekeep-cli");
    const QString list = path(QStringLiteral("LIST"));
    QDir().mkpath(list);
    const QString archive = list + QStringLiteral("/20240101120000.zip");
    QByteArray out;
    ASSERT_EQ(runProgram(cli,
                         {QStringLiteral("add"), archive, QStringLiteral("--root"), src,
                          QStringLiteral("--password-stdin"), kBody},
                         {}, &out, "PASSWORD\n"),
              0)
        << out.toStdString();
    ASSERT_EQ(runProgram(cli, {QStringLiteral("comment"), archive, QStringLiteral("--set"), kComment}, {}, &out), 0)
        << out.toStdString();
    ASSERT_EQ(runProgram(cli, {QStringLiteral("comment"), archive}, {}, &out), 0);
    EXPECT_TRUE(QString::fromUtf8(out).contains(kComment));
    ASSERT_EQ(runProgram(cli, {QStringLiteral("list"), list}, {}, &out), 0);
    EXPECT_TRUE(QString::fromUtf8(out).contains(QStringLiteral("20240101120000\tY\tTKFile.rtf\t분류\t제목")))
        << out.toStdString();
    ASSERT_EQ(runProgram(cli, {QStringLiteral("info"), archive}, {}, &out), 0);
    EXPECT_TRUE(out.contains("TKFile.rtf\t")) << out.toStdString();
    EXPECT_TRUE(out.contains("encrypted"));

    const QString right = path(QStringLiteral("right"));
    ASSERT_EQ(runProgram(cli, {QStringLiteral("extract"), archive, right, QStringLiteral("--password-stdin")}, {}, &out,
                         "PASSWORD\n"),
              0)
        << out.toStdString();
    EXPECT_EQ(readFile(right + QStringLiteral("/TKFile.rtf")), body);
    const QString wrong = path(QStringLiteral("wrong"));
    EXPECT_NE(runProgram(cli, {QStringLiteral("extract"), archive, wrong, QStringLiteral("--password-stdin")}, {}, &out,
                         "nope\n"),
              0);
    EXPECT_TRUE(
        QString::fromUtf8(out).contains(QStringLiteral("암호가 틀렸습니다. 올바른 암호를 표준 입력의 첫 줄로 주고 "
                                                       "다시 실행하세요.")))
        << out.toStdString();
    EXPECT_TRUE(QDir(wrong).isEmpty());
    EXPECT_EQ(runProgram(QStringLiteral("7z"),
                         {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-pPASSWORD"),
                          QStringLiteral("-o") + path(QStringLiteral("seven")), archive},
                         {}, &out),
              0);
    EXPECT_EQ(readFile(path(QStringLiteral("seven/TKFile.rtf"))), body);
}

}  // namespace
}  // namespace tk::test
