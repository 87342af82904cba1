#include "test_support.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int exitCode = -1;
    QString errors;
};

Result runCli(const QStringList& args) {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tomekeep-cli"), args);
    if (!process.waitForFinished(30000)) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

Result runConvert(const QString& in, const QString& out, const QStringList& options = {}) {
    return runCli(QStringList{QStringLiteral("convert"), in, out} + options);
}

const QByteArray kKoreanRtf =
    "{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0\\fnil\\fcharset129 Gulim;}}\\f0 "
    "{\\b \\'c7\\'d1\\'b1\\'db} text\\par second}";

}  // namespace

TEST(ConvertCommand, RtfTextContainerAndHtmlByExtension) {
    QTemporaryDir dir;
    const QString rtf = dir.filePath("in.rtf");
    tk::test::writeFile(rtf, kKoreanRtf);
    ASSERT_EQ(runConvert(rtf, dir.filePath("out.txt")).exitCode, 0);
    EXPECT_EQ(tk::test::readFile(dir.filePath("out.txt")), QString::fromUtf8("한글 text\r\nsecond").toUtf8());

    ASSERT_EQ(runConvert(dir.filePath("out.txt"), dir.filePath("out.crt")).exitCode, 0);
    EXPECT_TRUE(tk::test::readFile(dir.filePath("out.crt")).startsWith("CompressRTF "));
    ASSERT_EQ(runConvert(dir.filePath("out.crt"), dir.filePath("out.html")).exitCode, 0);
    const QString html = QString::fromUtf8(tk::test::readFile(dir.filePath("out.html")));
    EXPECT_TRUE(html.contains(QString::fromUtf8("한글 text"))) << qPrintable(html);
    ASSERT_EQ(runConvert(dir.filePath("out.crt"), dir.filePath("back.rtf")).exitCode, 0);
    EXPECT_TRUE(tk::test::readFile(dir.filePath("back.rtf")).startsWith("{\\rtf1"));
}

// This was: text written in CP949, which a UTF-8 terminal and editor show as garbage.
TEST(ConvertCommand, TextIsUtf8UnlessCp949IsAskedFor) {
    QTemporaryDir dir;
    const QString rtf = dir.filePath("in.rtf");
    tk::test::writeFile(rtf, kKoreanRtf);
    ASSERT_EQ(runConvert(rtf, dir.filePath("utf8.txt"), {"--encoding", "UTF-8"}).exitCode, 0);
    EXPECT_EQ(tk::test::readFile(dir.filePath("utf8.txt")), QString::fromUtf8("한글 text\r\nsecond").toUtf8());
    ASSERT_EQ(runConvert(rtf, dir.filePath("ansi.txt"), {"--encoding", "cp949"}).exitCode, 0);
    EXPECT_EQ(tk::test::readFile(dir.filePath("ansi.txt")), QByteArray("\xC7\xD1\xB1\xDB text\r\nsecond"));
    // Both read back the same.
    ASSERT_EQ(runConvert(dir.filePath("ansi.txt"), dir.filePath("again.txt")).exitCode, 0);
    EXPECT_EQ(tk::test::readFile(dir.filePath("again.txt")), tk::test::readFile(dir.filePath("utf8.txt")));

    const Result unknown = runConvert(rtf, dir.filePath("x.txt"), {"--encoding", "latin1"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.errors.contains(QString::fromUtf8("utf-8 또는 cp949를 쓰세요"))) << qPrintable(unknown.errors);
    EXPECT_EQ(runConvert(rtf, dir.filePath("x.txt"), {"--encoding"}).exitCode, 2);
    EXPECT_EQ(runConvert(rtf, dir.filePath("x.rtf"), {"--encoding", "cp949"}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.rtf")));
}

TEST(ConvertCommand, BrokenInputAndUnknownExtensionsFailInKorean) {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.crt");
    tk::test::writeFile(bad, QByteArray("CompressRTF ") + QByteArray("\xFF\xFF\xFF\x7F", 4));
    const Result broken = runConvert(bad, dir.filePath("x.txt"));
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.errors, QString::fromUtf8("tomekeep-cli convert: %1: 문서를 읽을 수 없습니다. 파일이 손상되지 "
                                               "않았는지, 확장자에 맞는 형식인지 확인하세요.\n")
                                 .arg(bad));
    const Result doc = runConvert(bad, dir.filePath("x.doc"));
    EXPECT_EQ(doc.exitCode, 2);
    EXPECT_TRUE(doc.errors.startsWith(
        QString::fromUtf8("tomekeep-cli convert: 출력 파일은 .rtf, .txt, .crt, .html 가운데 하나로 끝나야 합니다. "
                          "아래 사용법대로 다시 실행하세요.\n사용법: tomekeep-cli convert ")))
        << qPrintable(doc.errors);
    EXPECT_EQ(runConvert(dir.filePath("x.pdf"), dir.filePath("x.txt")).exitCode, 2);
    const Result missing = runConvert(dir.filePath("missing.rtf"), dir.filePath("x.txt"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.errors.contains(QString::fromUtf8("파일이 없습니다. 경로를 확인하세요.")))
        << qPrintable(missing.errors);
    tk::test::writeFile(dir.filePath("good.rtf"), kKoreanRtf);
    const Result noFolder = runConvert(dir.filePath("good.rtf"), dir.filePath("none/x.rtf"));
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_TRUE(noFolder.errors.contains(QString::fromUtf8("저장할 폴더가 없습니다. 폴더를 먼저 만드세요.")))
        << qPrintable(noFolder.errors);
}

// Usage errors and unknown commands say what went wrong and how to run it, in Korean.
TEST(CommandLine, UsageErrorsSayWhatToDoInKorean) {
    const Result none = runCli({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.errors.startsWith(QString::fromUtf8("tomekeep-cli: 할 일을 명령으로 주세요.\n사용법: ")))
        << qPrintable(none.errors);
    const Result unknown = runCli({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.errors.contains(QString::fromUtf8("'frobnicate' 명령은 없습니다")))
        << qPrintable(unknown.errors);
    const Result list = runCli({"list"});
    EXPECT_EQ(list.exitCode, 2);
    EXPECT_EQ(list.errors, QString::fromUtf8("tomekeep-cli list: 목록을 볼 분류 폴더를 주세요. 아래 사용법대로 다시 "
                                             "실행하세요.\n사용법: tomekeep-cli list [--json] 분류폴더\n"));
    QTemporaryDir dir;
    const Result notFolder = runCli({"list", dir.filePath("missing")});
    EXPECT_EQ(notFolder.exitCode, 1);
    EXPECT_TRUE(notFolder.errors.contains(QString::fromUtf8("폴더가 아닙니다. 분류 폴더의 경로를 확인하세요.")));
    const Result info = runCli({"info", dir.filePath("missing.zip")});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_TRUE(info.errors.contains(QString::fromUtf8("보관 파일이 없습니다. 경로를 확인하세요.")))
        << qPrintable(info.errors);
    const Result comment = runCli({"comment", dir.filePath("a.zip"), "--set"});
    EXPECT_EQ(comment.exitCode, 2);
    EXPECT_TRUE(comment.errors.contains(QString::fromUtf8("--set 다음에 쓸 주석을 주세요.")));
}

TEST(ConvertCommand, PlainTextBecomesRichTextInTheEditorsFont) {
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("in.txt"), QString::fromUtf8("abc 가나다\n").toUtf8());
    ASSERT_EQ(runConvert(dir.filePath("in.txt"), dir.filePath("out.rtf")).exitCode, 0);
    const QByteArray rtf = tk::test::readFile(dir.filePath("out.rtf"));
    // This was \fs2 and a font without a name: text a point high, shown as dots.
    EXPECT_TRUE(rtf.contains("\\fs18 abc")) << rtf.constData();
    EXPECT_FALSE(rtf.contains("\\fs2 "));
    EXPECT_TRUE(rtf.contains("\\fcharset129 \\'b1\\'bc\\'b8\\'b2;")) << rtf.constData();  // 굴림 in CP949
}
