#include "richedit/compressed_rtf.h"
#include "richtext/rtf_reader.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

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

TEST(ConvertCommand, PdfIsPrintedPageByPage) {
    QTemporaryDir dir;
    const QString rtf = dir.filePath("in.rtf");
    tk::test::writeFile(rtf, kKoreanRtf);
    const QString pdf = dir.filePath("한글.pdf");
    const Result result = runConvert(rtf, pdf);
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.errors);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QString::fromUtf8("한글"))) << qPrintable(printed);
    EXPECT_LT(printed.indexOf(QString::fromUtf8("한글")), printed.indexOf(QStringLiteral("second")));
    // The usage text names the new output.
    EXPECT_TRUE(runConvert(rtf, dir.filePath("out.doc")).errors.contains(QStringLiteral(".pdf")));
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
    // A damaged container is told as the decoder finds it.
    const Result broken = runConvert(bad, dir.filePath("x.txt"));
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.errors,
              QString::fromUtf8("tomekeep-cli convert: %1: 압축된 문서가 손상되었습니다: 12번째 바이트의 "
                                "블록 길이가 2147483647바이트로, 32,783바이트를 넘습니다. 원본 파일이나 "
                                "백업을 확인하세요.\n")
                  .arg(bad));
    const Result doc = runConvert(bad, dir.filePath("x.doc"));
    EXPECT_EQ(doc.exitCode, 2);
    EXPECT_TRUE(doc.errors.startsWith(QString::fromUtf8(
        "tomekeep-cli convert: 출력 파일은 .rtf, .txt, .crt, .html, .pdf 가운데 하나로 끝나야 합니다. "
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

// Documents that crashed the command or took the machine's memory: each ends in time and memory,
// converted or refused in Korean.
TEST(ConvertCommand, HostileDocumentsEndInTimeAndMemory) {
    QTemporaryDir dir;
    auto timed = [&](const QString& in, const QString& out, Result* result) {
        QElapsedTimer timer;
        timer.start();
        *result = runConvert(in, out);
        return timer.elapsed();
    };
    Result r;
    // This was a crash (SIGSEGV): a \cell that found the document's table cells used up.
    const QString crasher = QStringLiteral(TK_TEST_DATA "/rtf/hostile/cell_after_cell_limit.rtf");
    EXPECT_LT(timed(crasher, dir.filePath("cells.txt"), &r), 20000);
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    EXPECT_TRUE(tk::test::readFile(dir.filePath("cells.txt")).endsWith("last\r\nafter"));
    // A table of 1,000 columns and 5 rows keeps all its text.
    QByteArray wide = "{\\rtf1\\ansi ";
    for (int row = 0; row < 5; ++row) {
        wide += "\\trowd";
        for (int c = 1; c <= 1000; ++c) {
            wide += "\\cellx" + QByteArray::number(c * 10);
        }
        for (int c = 0; c < 1000; ++c) {
            wide += "\\intbl " + QByteArray::number(row * 1000 + c) + "\\cell ";
        }
        wide += "\\row\n";
    }
    tk::test::writeFile(dir.filePath("wide.rtf"), wide + "}");
    EXPECT_LT(timed(dir.filePath("wide.rtf"), dir.filePath("wide.txt"), &r), 20000);
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    EXPECT_TRUE(tk::test::readFile(dir.filePath("wide.txt")).endsWith("\t4998\t4999\r\n"));
    // This was 6 minutes and 8 GB: 200 MB of "\par" is refused once the document passes the cap.
    const QString pars = dir.filePath("pars.rtf");
    {
        QFile file(pars);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1\n");
        const QByteArray chunk = QByteArray("\\par\n").repeated(1 << 20);
        for (int i = 0; i < 40; ++i) {
            ASSERT_EQ(file.write(chunk), chunk.size());
        }
        file.write("}");
    }
    EXPECT_LT(timed(pars, dir.filePath("pars.txt"), &r), 20000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.errors, QStringLiteral("tomekeep-cli convert: %1: %2\n").arg(pars, tk::rtf::tooLargeText()));
    EXPECT_FALSE(QFile::exists(dir.filePath("pars.txt")));
    QFile::remove(pars);
    // This was 7.5 GB before the end: a 1 MB container of blocks that each decode 840 times larger.
    QByteArray bomb = tk::compressRtf("{\\rtf1 ");
    QByteArray block = QByteArray::fromHex(
                           "23000000"
                           "40ff00") +
                       QByteArray::fromHex("000fff20").repeated(7) + QByteArray::fromHex("000f8720");
    while (bomb.size() < (1 << 20)) {
        bomb += block;
    }
    tk::test::writeFile(dir.filePath("bomb.crt"), bomb);
    EXPECT_LT(timed(dir.filePath("bomb.crt"), dir.filePath("bomb.txt"), &r), 20000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.errors, QStringLiteral("tomekeep-cli convert: %1: %2\n")
                            .arg(dir.filePath("bomb.crt"), tk::compressedErrorText(tk::CompressedError::TooLarge)));
    // This was 78 s: 32,000 numbered paragraphs, each joining a list that Qt marks changed whole.
    QByteArray numbered = "{\\rtf1 ";
    for (int i = 0; i < 32000; ++i) {
        numbered += "\\pard{\\*\\pn\\pnlvlbody\\pndec}x\\par\n";
    }
    tk::test::writeFile(dir.filePath("numbered.rtf"), numbered + "}");
    EXPECT_LT(timed(dir.filePath("numbered.rtf"), dir.filePath("numbered.txt"), &r), 20000);
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    // None of them took 1 GiB.
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(children.ru_maxrss, 1024L * 1024) << children.ru_maxrss << " KiB";
}
