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

Result runConvert(const QString& in, const QString& out) {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tomekeep-cli"),
                  {QStringLiteral("convert"), in, out});
    if (!process.waitForFinished(30000)) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(ConvertCommand, RtfTextContainerAndHtmlByExtension) {
    QTemporaryDir dir;
    const QString rtf = dir.filePath("in.rtf");
    tk::test::writeFile(rtf,
                        "{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0\\fnil\\fcharset129 Gulim;}}\\f0 "
                        "{\\b \\'c7\\'d1\\'b1\\'db} text\\par second}");
    ASSERT_EQ(runConvert(rtf, dir.filePath("out.txt")).exitCode, 0);
    EXPECT_EQ(tk::test::readFile(dir.filePath("out.txt")), QByteArray("\xC7\xD1\xB1\xDB text\r\nsecond"));

    ASSERT_EQ(runConvert(dir.filePath("out.txt"), dir.filePath("out.crt")).exitCode, 0);
    EXPECT_TRUE(tk::test::readFile(dir.filePath("out.crt")).startsWith("CompressRTF "));
    ASSERT_EQ(runConvert(dir.filePath("out.crt"), dir.filePath("out.html")).exitCode, 0);
    const QString html = QString::fromUtf8(tk::test::readFile(dir.filePath("out.html")));
    EXPECT_TRUE(html.contains(QString::fromUtf8("한글 text"))) << qPrintable(html);
    ASSERT_EQ(runConvert(dir.filePath("out.crt"), dir.filePath("back.rtf")).exitCode, 0);
    EXPECT_TRUE(tk::test::readFile(dir.filePath("back.rtf")).startsWith("{\\rtf1"));
}

TEST(ConvertCommand, BrokenInputAndUnknownExtensionsFail) {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.crt");
    tk::test::writeFile(bad, QByteArray("CompressRTF ") + QByteArray("\xFF\xFF\xFF\x7F", 4));
    const Result broken = runConvert(bad, dir.filePath("x.txt"));
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.errors.contains(QStringLiteral("Failed to Load Stream"))) << qPrintable(broken.errors);
    EXPECT_EQ(runConvert(bad, dir.filePath("x.doc")).exitCode, 2);
    EXPECT_EQ(runConvert(dir.filePath("x.pdf"), dir.filePath("x.txt")).exitCode, 2);
    EXPECT_EQ(runConvert(dir.filePath("missing.rtf"), dir.filePath("x.txt")).exitCode, 1);
}
