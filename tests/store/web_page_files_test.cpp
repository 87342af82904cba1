// The files a saved web page brings into its entry, and adding exactly those to an archive.
#include "store/web_page_files.h"
#include "archive/archiver.h"
#include "platform/codepage.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

using namespace tk;
using tk::test::writeFile;

namespace {

class WebPageFilesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString& relative) const { return dir.path() + u'/' + relative; }
    void file(const QString& relative, const QByteArray& bytes = "x") { writeFile(path(relative), bytes); }
    void link(const QString& target, const QString& relative) {
        ASSERT_TRUE(QFile::link(target, path(relative))) << relative.toStdString();
    }

    // The collected paths, the page first and the rest sorted; fails the test when collecting fails.
    QStringList collect(const QString& page = QStringLiteral("page.htm")) {
        QString error;
        EXPECT_TRUE(collectWebPageFiles(path(page), &files, &error)) << error.toStdString();
        EXPECT_TRUE(error.isEmpty());
        return files.relativePaths;
    }
    // The page first, the rest in the order the collector keeps.
    static QStringList expected(QStringList paths) {
        std::sort(paths.begin() + 1, paths.end());
        return paths;
    }

    QTemporaryDir dir;
    WebPageFiles files;
};

TEST_F(WebPageFilesTest, APageSavedAmongOtherThingsTakesOnlyItsOwnFiles) {
    // A page saved in the home folder: the library and everything else there stay out.
    file(QStringLiteral("page.htm"), "<html><body><img src=\"page_files/a.png\"><p>hi</p></body></html>");
    file(QStringLiteral("page_files/a.png"), "12345");
    file(QStringLiteral("page_files/css/site.css"), "body{}");
    file(QStringLiteral("page_files/img/deep/b.gif"), "GIF89a");
    file(QStringLiteral("page_files/.directory"), "left by a file manager");
    file(QStringLiteral("notes.txt"));
    file(QStringLiteral("other.htm"), "<img src=\"other_files/z.png\">");
    file(QStringLiteral("other_files/z.png"));
    file(QStringLiteral("LIST/일기/20240101000000.zip"));
    file(QStringLiteral("Documents/report.pdf"));
    EXPECT_EQ(collect(),
              expected({"page.htm", "page_files/a.png", "page_files/css/site.css", "page_files/img/deep/b.gif"}));
    qint64 bytes = 0;
    for (const QString& relative : files.relativePaths) {
        bytes += QFileInfo(path(relative)).size();
    }
    EXPECT_EQ(files.totalBytes, bytes);
}

TEST_F(WebPageFilesTest, BothCompanionFolderNamesAndAnHtmlSuffix) {
    file(QStringLiteral("서울 여행.html"), "<p>no references</p>");
    file(QStringLiteral("서울 여행_files/1.jpg"));
    file(QStringLiteral("서울 여행.files/2.jpg"));
    file(QStringLiteral("서울 여행.htm_files/not-mine.jpg"));
    EXPECT_EQ(collect(QStringLiteral("서울 여행.html")),
              expected({"서울 여행.html", "서울 여행_files/1.jpg", "서울 여행.files/2.jpg"}));
}

TEST_F(WebPageFilesTest, ReferencesNeverLeaveThePageFolder) {
    const QString site = path(QStringLiteral("site"));
    file(QStringLiteral("secret.png"));
    for (const char* name : {"in.png", "abs.png", "web.png", "net.png", "sub/x.png", "c.png"}) {
        file(QStringLiteral("site/") + QLatin1String(name));
    }
    file(QStringLiteral("site/page.htm"),
         "<img src=\"../secret.png\"><img src=\"%2e%2e/secret.png\">"
         "<img src=\"..%2Fsecret.png\"><img src=\"sub/../../secret.png\">"
         "<img src=\"sub/../in.png\"><img src=\"" +
             site.toUtf8() + "/abs.png\"><img src=\"file://" + site.toUtf8() +
             "/abs.png\"><img src=\"http://example.com/web.png\">"
             "<img src=\"//example.com/net.png\"><img src=\"C:\\c.png\">"
             "<img src=\"sub\\x.png\">");
    EXPECT_EQ(collect(QStringLiteral("site/page.htm")), expected({"page.htm", "in.png", "sub/x.png"}));
}

TEST_F(WebPageFilesTest, SymbolicLinksAreNeverFollowed) {
    file(QStringLiteral("outside/secret.png"));
    file(QStringLiteral("outside/folder/inner.png"));
    file(QStringLiteral("site/page.htm"), "<img src=link.png><img src=linkdir/inner.png><img src=page_files/real.png>");
    file(QStringLiteral("site/page_files/real.png"));
    link(path(QStringLiteral("outside/secret.png")), QStringLiteral("site/link.png"));
    link(path(QStringLiteral("outside/folder")), QStringLiteral("site/linkdir"));
    link(path(QStringLiteral("outside/secret.png")), QStringLiteral("site/page_files/peek.png"));
    link(path(QStringLiteral("outside/folder")), QStringLiteral("site/page_files/sub"));
    EXPECT_EQ(collect(QStringLiteral("site/page.htm")), expected({"page.htm", "page_files/real.png"}));

    // A companion folder that is a link is not walked.
    file(QStringLiteral("site/other.htm"), "<p>");
    link(path(QStringLiteral("outside/folder")), QStringLiteral("site/other_files"));
    EXPECT_EQ(collect(QStringLiteral("site/other.htm")), QStringList{"other.htm"});

    // A page that is a link is refused: its files lie elsewhere.
    link(path(QStringLiteral("site/page.htm")), QStringLiteral("site/alias.htm"));
    QString error;
    EXPECT_FALSE(collectWebPageFiles(path(QStringLiteral("site/alias.htm")), &files, &error));
    EXPECT_EQ(error, QStringLiteral("웹 페이지가 일반 파일이 아닙니다(심볼릭 링크 등): %1. 링크가 가리키는 원래 "
                                    "파일을 여십시오.")
                         .arg(path(QStringLiteral("site/alias.htm"))));
}

QByteArray cp949(const QString& text) {
    QByteArray bytes;
    EXPECT_TRUE(codepage::encode("CP949", text, &bytes));
    return bytes;
}

TEST_F(WebPageFilesTest, KoreanNamesInPagesOfEveryEncoding) {
    for (const char* name : {"한글 그림.png", "표.png", "사진/가.jpg", "UTF16.png"}) {
        file(QString::fromUtf8(name));
    }
    file(QStringLiteral("utf8.htm"), QStringLiteral("<meta charset=\"utf-8\"><img src=\"%ED%95%9C%EA%B8%80%20%EA%B7%B8"
                                                    "%EB%A6%BC.png\"><img src='사진/가.jpg'>")
                                         .toUtf8());
    EXPECT_EQ(collect(QStringLiteral("utf8.htm")), expected({"utf8.htm", "한글 그림.png", "사진/가.jpg"}));

    const QByteArray table = cp949(QStringLiteral("<img src=\"표.png\">"));
    file(QStringLiteral("euckr.htm"),
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-kr\">" + table);
    EXPECT_EQ(collect(QStringLiteral("euckr.htm")), expected({"euckr.htm", "표.png"}));
    file(QStringLiteral("undeclared.htm"), table);  // not UTF-8: read in the program's code page
    EXPECT_EQ(collect(QStringLiteral("undeclared.htm")), expected({"undeclared.htm", "표.png"}));

    QByteArray utf16("\xFF\xFE");
    const QString text = QStringLiteral("<img src=\"UTF16.png\"><img src=\"표.png\">");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    file(QStringLiteral("utf16.htm"), utf16);
    EXPECT_EQ(collect(QStringLiteral("utf16.htm")), expected({"utf16.htm", "UTF16.png", "표.png"}));

    // Percent escapes name UTF-8 bytes: the code page's bytes name no file, for a browser either.
    file(QStringLiteral("escaped949.htm"), "<img src=\"%C7%A5.png\">");
    EXPECT_EQ(collect(QStringLiteral("escaped949.htm")), QStringList{"escaped949.htm"});
}

TEST_F(WebPageFilesTest, AttributesAsBrowsersReadThem) {
    for (const char* name : {"a&b.png", "A.png", "q.png", "s1.png", "s 2.png", "w,1.png", "gt.png", "bg.gif",
                             "poster.jpg", "movie.swf", "icon.svg", "site.css", "trap.png", "UPPER.png", "bare.png"}) {
        file(QString::fromUtf8(name), "");
    }
    file(QStringLiteral("page.htm"),
         "<!-- <img src=\"trap.png\"> -->\n"
         "<img alt='src=trap.png' data-src=\"trap.png\" src=\"a&amp;b.png\">\n"
         "<img src=\"&#x41;.png\"><img src=\"q.png?v=2#top\">\n"
         "<img srcset=\"s1.png 1x, s%202.png 2x\"><img srcset=\"w,1.png 480w,s1.png 800w\">\n"
         "<img title=\"a > b\" src=\"gt.png\"><table background=bg.gif><video poster='poster.jpg'>\n"
         "<object data=\"movie.swf\"></object><svg><image xlink:href=\"icon.svg\"/></svg>\n"
         "<link rel=\"stylesheet\" href=\"site.css\"><IMG SRC=\"UPPER.png\"><img src=bare.png>\n"
         "<script>document.write('<img src=\"trap.png\">');</script>\n"
         "<p>src=\"trap.png\"</p><p title=\"never closed><img src=trap.png>");
    // trap.png is named only where no browser loads it.
    EXPECT_EQ(collect(),
              expected({"page.htm", "a&b.png", "A.png", "q.png", "s1.png", "s 2.png", "w,1.png", "gt.png", "bg.gif",
                        "poster.jpg", "movie.swf", "icon.svg", "site.css", "UPPER.png", "bare.png"}));
}

TEST_F(WebPageFilesTest, StyleSheetsAreReadOneLevelDeep) {
    file(QStringLiteral("page.htm"),
         "<link rel=stylesheet href=\"css/main.css\">"
         "<style>@import \"css/imp.css\"; body { background: url('img/block.png') }</style>"
         "<div style=\"background-image: url(&quot;img/attr.png&quot;)\"></div>");
    file(QStringLiteral("css/main.css"),
         "/* url(commented.png) */ @import url(\"more.css\");\n"
         ".a { background: url( ../img/from-css.png ) }\n.b { background: url(http://example.com/web.png) }");
    file(QStringLiteral("css/more.css"), ".c { background: url(deep.png) }");
    file(QStringLiteral("css/imp.css"), ".d { background: url(\"imp.png\") }");
    file(QStringLiteral("page_files/x.css"), ".e { background: url(../pic.png) }");
    for (const char* name : {"css/commented.png", "css/deep.png", "css/imp.png", "css/web.png", "img/block.png",
                             "img/attr.png", "img/from-css.png", "pic.png"}) {
        file(QString::fromUtf8(name));
    }
    // deep.png is named by a sheet that only a sheet imports: not read.
    EXPECT_EQ(collect(),
              expected({"page.htm", "css/main.css", "css/more.css", "css/imp.css", "css/imp.png", "img/block.png",
                        "img/attr.png", "img/from-css.png", "page_files/x.css", "pic.png"}));
}

TEST_F(WebPageFilesTest, MissingFilesFoldersAndTheSelfAreIgnored) {
    file(QStringLiteral("sub/kept.txt"));
    file(QStringLiteral("page.htm"),
         "<img src=gone.png><a href=\"sub\"></a><a href=\"sub/\"></a><a href=\"\"></a>"
         "<a href=\"#top\"></a><a href=\"?x=1\"></a><a href=\"page.htm#again\"></a>");
    EXPECT_EQ(collect(), QStringList{"page.htm"});
}

TEST_F(WebPageFilesTest, PagesThatCannotBeTakenAreRefusedInKorean) {
    QString error;
    EXPECT_FALSE(collectWebPageFiles(path(QStringLiteral("none.htm")), &files, &error));
    EXPECT_EQ(error, QStringLiteral("웹 페이지 파일을 찾을 수 없습니다: %1. 파일이 옮겨지거나 지워지지 않았는지 "
                                    "확인하십시오.")
                         .arg(path(QStringLiteral("none.htm"))));

    QFile big(path(QStringLiteral("big.htm")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(kMaxWebPageBytes + 1));  // sparse: no disk is filled
    big.close();
    EXPECT_FALSE(collectWebPageFiles(big.fileName(), &files, &error));
    EXPECT_EQ(error, QStringLiteral("웹 페이지 파일이 너무 큽니다(64MB): %1. 64MB 이하의 페이지만 저장할 수 "
                                    "있습니다.")
                         .arg(big.fileName()));
    EXPECT_TRUE(files.relativePaths.isEmpty());

    file(QStringLiteral("page.htm"), "<p>");
    file(QStringLiteral("page_files/a<b.png"));
    EXPECT_FALSE(collectWebPageFiles(path(QStringLiteral("page.htm")), &files, &error));
    EXPECT_EQ(error, QStringLiteral("파일 이름에 '<' 문자가 있어 웹 페이지와 함께 저장할 수 없습니다: "
                                    "page_files/a<b.png. 이름에서 '<'를 뺀 뒤 다시 저장하십시오."));

    // A name that is not UTF-8 cannot be handed on; it is reported rather than silently left out.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("page_files/a<b.png"))));
    const QByteArray latin1Name = QFile::encodeName(path(QStringLiteral("page_files/"))) + "caf\xE9.png";
    const int fd = ::open(latin1Name.constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(collectWebPageFiles(path(QStringLiteral("page.htm")), &files, &error));
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("이름을 읽을 수 없는 파일이 있어 웹 페이지와 함께 저장할 수 없습니다: "
                                        "page_files/caf")))
        << error.toStdString();
    EXPECT_TRUE(error.endsWith(QStringLiteral(".png. 파일 이름을 바꾼 뒤 다시 저장하십시오.")));
    ::unlink(latin1Name.constData());  // a name the temporary folder's own clean-up cannot pass on either
}

TEST(WebPageFileSpecs, WildcardsAreEscapedInTheNameOnly) {
    EXPECT_EQ(
        fileSpecsFor({QStringLiteral("page.htm"), QStringLiteral("page_files/a[1].png"),
                      QStringLiteral("page_files/*.png"), QStringLiteral("x[1]/y.png"),
                      QStringLiteral("back\\slash.png"), QStringLiteral("what?\\[.png"), QStringLiteral(">arrow.png")}),
        (QStringList{"|page.htm", "|page_files/a\\[1].png", "|page_files/\\*.png", "|x[1]/y.png", "|back\\slash.png",
                     "|what\\?\\\\\\[.png", "|>arrow.png"}));
}

QStringList zipMembers(const QString& archive) {
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, zipfile\nfor n in zipfile.ZipFile(sys.argv[1]).namelist(): print(n)"), archive});
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QStringList names = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// The archive component, set up as a save sets it up, adds exactly the collected files, although
// some names are patterns that would also match the unrelated files beside them.
TEST_F(WebPageFilesTest, AnArchiveAddTakesExactlyTheCollectedFiles) {
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty()) {
        GTEST_SKIP() << "python3 is not installed (make deps installs it)";
    }
    // A hidden companion file is left out unless the page names it, as this one does.
    file(QStringLiteral("page.htm"),
         "<img src=\"b[1].png\"><img src=\"*star.png\"><img src=\"q%3F.png\">"
         "<img src=\"page_files/.x[1]\">");
    for (const char* name : {"page_files/a[1].png", "page_files/*.png", "page_files/sub/[x].png", "page_files/.x[1]",
                             "b[1].png", "*star.png", "q?.png"}) {
        file(QString::fromUtf8(name));
    }
    // What the patterns would match: none of these belongs to the page.
    for (const char* name : {"b1.png", "xstar.png", "qx.png", "deco/b[1].png", "notes.txt"}) {
        file(QString::fromUtf8(name), "not the page's");
    }
    const QStringList paths = collect();
    ASSERT_EQ(paths, expected({"page.htm", "page_files/a[1].png", "page_files/*.png", "page_files/sub/[x].png",
                               "page_files/.x[1]", "b[1].png", "*star.png", "q?.png"}));

    TArchiver archiver;
    archiver.SetUnattended(true);
    archiver.SetZipFileName(path(QStringLiteral("entry.zip")));
    archiver.SetRootDir(dir.path() + u'/');
    archiver.SetAddOptions({AddOptsEnum::AddDirNames, AddOptsEnum::AddRecurseDirs, AddOptsEnum::AddHiddenFiles});
    archiver.SetFSpecArgs(fileSpecsFor(paths));
    archiver.Add();
    archiver.SetRootDir(QString());
    EXPECT_EQ(archiver.HandledCount(), paths.size()) << archiver.LastErrorMessage().toStdString();
    QStringList sorted = paths;
    sorted.sort();
    EXPECT_EQ(zipMembers(path(QStringLiteral("entry.zip"))), sorted);
}

}  // namespace
