// tomekeep-cli search run as a user runs it: entries made, changed and deleted by the other
// commands are found or gone, protected bodies leave no trace, and a search killed while it
// indexes leaves an index that opens.
#include "search/search_index.h"
#include "search_test_support.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xapian.h>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

class SearchCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"run", "tmp", "cache", "LIST/일기", "LIST/여행", "work"}) {
            ASSERT_TRUE(QDir().mkpath(path(folder)));
        }
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("TMPDIR", path("tmp"));
        env.insert("XDG_CACHE_HOME", path("cache"));
    }

    QString path(const QString& relative) const { return root.path() + u'/' + relative; }

    void start(QProcess& process, const QStringList& args) {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(path("work"));
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tomekeep-cli"), args);
    }

    Outcome run(const QStringList& args, const QByteArray& input = {}) {
        QProcess process;
        start(process, args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            return {};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // Makes an entry with the companion and returns its archive name.
    QString newEntry(const char* category, const char* title, const char* text, const QByteArray& password = {}) {
        tk::test::writeFile(path("note.txt"), text);
        QStringList args{"new", path("LIST/") + u8(category), "--title", u8(title), "--category", u8(category)};
        if (!password.isEmpty()) {
            args << "--password-stdin";
        }
        const Outcome made = run(args << path("note.txt"), password.isEmpty() ? QByteArray() : password + '\n');
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        QFile::remove(path("note.txt"));
        return QFileInfo(made.out.trimmed()).completeBaseName();
    }

    Outcome search(const char* query, const QStringList& options = {}, const char* folder = "LIST/일기",
                   const QByteArray& input = {}) {
        return run(QStringList{"search"} + options + QStringList{u8(query), path(u8(folder))}, input);
    }

    QTemporaryDir root;
    QProcessEnvironment env;
};

}  // namespace

// Entries made, retitled, moved and deleted by the companion are found or gone at the next search;
// lines are those of list, in title order, and nothing else is printed.
TEST_F(SearchCommandTest, FollowsTheOtherCommands) {
    const QString a = newEntry("일기", "봄", "제주여행기 첫날");
    const QString b = newEntry("여행", "가을", "여행을 떠나자");
    Outcome found = search("여행", {"--all-categories"}, "LIST");
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.err, QString());
    EXPECT_EQ(found.out, b + u8("\tN\tTKFile.rtf\t여행\t가을\n") + a + u8("\tN\tTKFile.rtf\t일기\t봄\n"));
    EXPECT_EQ(search("여행").out, a + u8("\tN\tTKFile.rtf\t일기\t봄\n"));
    found = search("첫날", {"--json"});
    EXPECT_TRUE(found.out.contains(u8("\"archive\": \"") + a + u8("\""))) << found.out.toStdString();

    const QString entryA = path("LIST/일기/") + a + ".zip";
    ASSERT_EQ(run({"retitle", entryA, "--title", u8("여름")}).exitCode, 0);
    EXPECT_EQ(search("여름").out, a + u8("\tN\tTKFile.rtf\t일기\t여름\n"));
    ASSERT_TRUE(QDir().mkpath(path("LIST/사진")));
    ASSERT_TRUE(QFile::rename(entryA, path("LIST/사진/") + a + ".zip"));
    EXPECT_EQ(search("첫날").out, QString());
    EXPECT_EQ(search("첫날", {}, "LIST/사진").out, a + u8("\tN\tTKFile.rtf\t일기\t여름\n"));
    ASSERT_EQ(run({"delete", path("LIST/사진/") + a + ".zip"}).exitCode, 0);
    EXPECT_EQ(search("첫날", {"--all-categories"}, "LIST").out, QString());

    // The index lies in the cache folder, never in the library.
    EXPECT_EQ(QDir(path("cache/TOMEKEEP/search")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
    EXPECT_EQ(QDir(path("LIST/여행")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{b + ".zip"});

    const Outcome outside = search("여행", {}, "work");
    EXPECT_EQ(outside.exitCode, 1);
    EXPECT_EQ(outside.out, QString());
    EXPECT_TRUE(outside.err.contains(u8("분류 폴더가 아닙니다"))) << outside.err.toStdString();
    EXPECT_EQ(run({"search", u8("여행")}).exitCode, 2);
    // A query pasted from a whole document is refused, not parsed into gigabytes.
    const Outcome pasted = run({"search", u8("\"") + QString(1001, u'가') + u8("\""), path(u8("LIST/여행"))});
    EXPECT_EQ(pasted.exitCode, 2);
    EXPECT_EQ(pasted.out, QString());
    EXPECT_TRUE(pasted.err.contains(u8("찾을 말이 너무 깁니다(1003자)"))) << pasted.err.toStdString();
}

// A protected entry's words are found only with its password, and never reach a file in the cache,
// scratch or temporary folders; an entry the password does not open is named.
TEST_F(SearchCommandTest, ProtectedWordsLeaveNoTrace) {
    const QString secret = newEntry("일기", "비밀", "금고비밀번호 zebracode", "열쇠");
    const QString other = newEntry("일기", "다른 비밀", "다른 금고", "자물쇠");
    newEntry("일기", "공개", "공개된 금고");
    EXPECT_EQ(search("zebracode").out, QString());
    const Outcome found = search("ZEBRACODE", {"--password-stdin"}, "LIST/일기", "열쇠\n");
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out, secret + u8("\tY\tTKFile.rtf\t일기\t비밀\n"));
    EXPECT_TRUE(found.err.contains(other + u8(".zip: 암호가 맞지 않습니다"))) << found.err.toStdString();
    EXPECT_TRUE(found.err.contains(u8("1개는 주신 암호로 열 수 없어"))) << found.err.toStdString();
    EXPECT_EQ(search("금고", {"--password-stdin"}, "LIST/일기", "자물쇠\n").out.count('\n'), 2);

    for (const QByteArray& needle : {QByteArray("zebracode"), u8("금고비밀번호").toUtf8(),
                                     QByteArray(reinterpret_cast<const char*>(u"zebracode"), 18)}) {
        for (const char* folder : {"cache", "run", "tmp", "work"}) {
            EXPECT_EQ(tk::test::filesHolding(path(folder), needle), QStringList()) << folder;
        }
    }
}

// A search killed at many points while it indexes leaves an index that opens, passes Xapian's
// check, keeps its work and is completed by the next search.
TEST_F(SearchCommandTest, KilledWhileIndexingLeavesAnIndexThatOpens) {
    constexpr int kEntries = 1500;
    for (int i = 0; i < kEntries; ++i) {
        const QString text = u8("공통낱말 항목") + QString::number(i) + u8(" 이야기 ").repeated(40);
        ASSERT_TRUE(tk::test::writeEntry(path("LIST/일기/") + QString::number(i) + ".zip",
                                         {u8("글"), u8("일기"), tk::test::rtfOf(text), {}}));
    }
    const QString folder = tk::search::SearchIndex::indexFolderFor(path("LIST"), path("cache/TOMEKEEP"));
    int running = 0;  // kills that hit a search still at work
    int partial = 0;  // kills that left some entries committed and some not
    for (int kill = 0; kill < 10; ++kill) {
        QProcess process;
        start(process, {"search", u8("공통낱말"), path("LIST/일기")});
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(60 + 60 * kill);
        running += process.state() == QProcess::Running ? 1 : 0;
        process.kill();
        process.waitForFinished();
        if (!QFile::exists(folder + "iamglass")) {
            continue;  // killed before the index was made
        }
        std::ostringstream report;
        EXPECT_EQ(Xapian::Database::check(folder.toStdString(), Xapian::DBCHECK_SHOW_STATS, &report), 0u)
            << "kill " << kill << ": " << report.str();
        tk::search::SearchIndex index;
        ASSERT_TRUE(index.open(path("LIST"), path("cache/TOMEKEEP"))) << index.errorString().toStdString();
        EXPECT_FALSE(index.wasRebuilt()) << "kill " << kill;
        const Xapian::doccount indexed = Xapian::Database(folder.toStdString()).get_doccount();
        partial += indexed > 0 && indexed < kEntries ? 1 : 0;
    }
    EXPECT_GE(running, 5);
    EXPECT_GE(partial, 1);
    const Outcome found = search("공통낱말");
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out.count('\n'), kEntries);
}
