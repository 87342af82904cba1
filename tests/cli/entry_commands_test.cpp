// tomekeep-cli new, show, retitle and delete, run as the real program on entries in a test folder.
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

QStringList names(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

class EntryCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"run", "tmp", "LIST/일기", "work", "data"}) {
            ASSERT_TRUE(QDir().mkpath(path(folder)));
        }
        // The runtime folder passes only when it is the user's own and private.
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("TMPDIR", path("tmp"));
        env.insert("XDG_DATA_HOME", path("data"));
        folder = path("LIST/일기");
    }

    QString path(const QString& relative) const { return root.path() + u'/' + relative; }

    Outcome run(const QStringList& args, const QByteArray& input = {}) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(path("work"));
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tomekeep-cli"), args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000)) {
            return {};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // What the temporary folders and the working folder hold after a command: nothing, always.
    QStringList leftovers() const { return names(path("run")) + names(path("tmp")) + names(path("work")); }

    // Makes an entry from a text file and returns its archive path.
    QString newEntry(const QByteArray& text, const QStringList& options = {}, const QByteArray& input = {}) {
        tk::test::writeFile(path("note.txt"), text);
        const Outcome made = run(QStringList{"new", folder, "--title", u8("메모"), "--category", u8("일기")} + options +
                                     QStringList{path("note.txt")},
                                 input);
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        return made.out.trimmed();
    }

    QString listed() { return run({"list", folder}).out; }

    QTemporaryDir root;
    QProcessEnvironment env;
    QString folder;
};

const char* const kText = "첫 줄 한글\n둘째 줄 text\n";
const char* const kWrongPassword =
    "tomekeep-cli show: 암호가 틀렸습니다. 올바른 암호를 표준 입력의 첫 줄로 주고 다시 "
    "실행하세요.\n";
const char* const kNoPassword =
    "tomekeep-cli show: 이 글은 암호로 보호되어 있습니다. --password-stdin을 붙이고 "
    "글의 암호를 표준 입력의 첫 줄로 주세요.\n";

}  // namespace

// An entry's life on the command line: made from text, shown, protected, given a new password,
// unprotected and deleted; the windows would list it the same way at every step.
TEST_F(EntryCommandsTest, NewShowRetitleAndDelete) {
    const QString entry = newEntry(QByteArray(kText));
    EXPECT_TRUE(
        QRegularExpression(QRegularExpression::anchoredPattern(QRegularExpression::escape(folder) + "/\\d{14}\\.zip"))
            .match(entry)
            .hasMatch())
        << entry.toStdString();
    const QString name = QFileInfo(entry).completeBaseName();
    EXPECT_EQ(listed(), name + u8("\tN\tTKFile.rtf\t일기\t메모\n"));
    Outcome shown = run({"show", entry});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out, u8(kText));
    EXPECT_EQ(shown.err, QString());

    // Protect: the new password is the first line when no current one is asked for.
    ASSERT_EQ(run({"retitle", entry, "--title", u8("비밀 메모"), "--new-password-stdin"}, "암호 하나\n").exitCode, 0);
    EXPECT_EQ(listed(), name + u8("\tY\tTKFile.rtf\t일기\t비밀 메모\n"));
    EXPECT_TRUE(run({"info", entry}).out.contains("\tencrypted\t"));
    shown = run({"show", entry});
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.err, u8(kNoPassword));
    EXPECT_EQ(shown.out, QString());
    shown = run({"show", entry, "--password-stdin"}, "틀린 암호\n");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.err, u8(kWrongPassword));
    EXPECT_EQ(shown.out, QString());
    EXPECT_EQ(leftovers(), QStringList());
    shown = run({"show", entry, "--password-stdin"}, "암호 하나\n");
    EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(shown.out, u8(kText));

    // A new password: the current one first, then the new one. The category is changed too.
    ASSERT_EQ(run({"retitle", entry, "--title", u8("비밀 메모"), "--category", u8("잡기"), "--password-stdin",
                   "--new-password-stdin"},
                  "암호 하나\nsecond password\n")
                  .exitCode,
              0);
    EXPECT_EQ(run({"show", entry, "--password-stdin"}, "암호 하나\n").err, u8(kWrongPassword));
    EXPECT_EQ(run({"show", entry, "--password-stdin"}, "second password\n").out, u8(kText));
    EXPECT_EQ(listed(), name + u8("\tY\tTKFile.rtf\t잡기\t비밀 메모\n"));

    // Keeping the password while retitling needs it only as the current one.
    ASSERT_EQ(run({"retitle", entry, "--title", u8("다시"), "--password-stdin"}, "second password\n").exitCode, 0);
    EXPECT_EQ(run({"show", entry, "--password-stdin"}, "second password\n").out, u8(kText));

    // Unprotect.
    ASSERT_EQ(run({"retitle", entry, "--title", u8("공개"), "--password-stdin", "--no-password"}, "second password\n")
                  .exitCode,
              0);
    EXPECT_EQ(listed(), name + u8("\tN\tTKFile.rtf\t잡기\t공개\n"));
    EXPECT_FALSE(run({"info", entry}).out.contains("\tencrypted\t"));
    EXPECT_EQ(run({"show", entry}).out, u8(kText));

    const Outcome deleted = run({"delete", entry});
    EXPECT_EQ(deleted.exitCode, 0);
    EXPECT_EQ(deleted.out + deleted.err, QString());
    EXPECT_EQ(names(folder), QStringList());
    EXPECT_EQ(leftovers(), QStringList());
}

// A wrong password while retitling changes nothing, and no decrypted file stays behind, also where
// there is no runtime folder and the system's temporary folder serves.
TEST_F(EntryCommandsTest, AWrongPasswordChangesNothingAndLeavesNothing) {
    const QString entry = newEntry(QByteArray(kText), {"--password-stdin"}, "right\n");
    const QByteArray before = tk::test::readFile(entry);
    env.remove("XDG_RUNTIME_DIR");
    const Outcome retitled = run({"retitle", entry, "--title", "X", "--password-stdin", "--no-password"}, "wrong\n");
    EXPECT_EQ(retitled.exitCode, 1);
    EXPECT_EQ(retitled.err, u8("tomekeep-cli retitle: 암호가 틀렸습니다. 올바른 암호를 표준 입력의 첫 줄로 주고 다시 "
                               "실행하세요.\n"));
    EXPECT_EQ(tk::test::readFile(entry), before);
    EXPECT_EQ(leftovers(), QStringList());
    EXPECT_EQ(names(folder), QStringList{QFileInfo(entry).fileName()});
    env.insert("XDG_RUNTIME_DIR", path("run"));
    EXPECT_EQ(run({"show", entry, "--password-stdin"}, "right\n").out, u8(kText));
}

// An RTF file becomes the body byte for byte; a saved web page shows as its text.
TEST_F(EntryCommandsTest, RtfGoesInAsItIsAndAWebPageShowsAsText) {
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg949{\\fonttbl{\\f0\\fnil\\fcharset129 Gulim;}}\\f0 "
        "{\\b \\'c7\\'d1\\'b1\\'db} bold\\par next}";
    tk::test::writeFile(path("in.rtf"), rtf);
    const Outcome made = run({"new", folder, "--title", "R", path("in.rtf")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QString entry = made.out.trimmed();
    ASSERT_EQ(run({"extract", entry, path("out")}).exitCode, 0);
    EXPECT_EQ(tk::test::readFile(path("out/TKFile.rtf")), rtf);
    EXPECT_EQ(run({"show", entry}).out, u8("한글 bold\nnext\n"));

    tk::test::writeFile(
        path("page/page.htm"),
        "<html><head><meta charset=\"euc-kr\"><title>T</title><script>var x;</script></head>"
        "<body><h1>\xC7\xD1\xB1\xDB page</h1><p>one <img src=\"page_files/a.png\"> two</p></body></html>");
    tk::test::writeFile(path("page/page_files/a.png"), "png");
    const QString web = folder + "/web.zip";
    ASSERT_EQ(run({"add", web, "--root", path("page"), "--dir-names", "page.htm", "page_files/a.png"}).exitCode, 0);
    ASSERT_EQ(run({"comment", web, "--set", u8("웹 문서||N|page.htm")}).exitCode, 0);
    const Outcome page = run({"show", web});
    EXPECT_EQ(page.exitCode, 0) << page.err.toStdString();
    EXPECT_EQ(page.out, u8("한글 page\none  two\n"));
    EXPECT_EQ(leftovers(), QStringList());
}

// This was: a folder given to delete went with everything in it, and an archive named "*.zip"
// took every archive of its folder along.
TEST_F(EntryCommandsTest, DeleteTakesOneArchiveOrMovesItToTheTrash) {
    tk::test::writeFile(folder + "/*.zip", "odd");
    tk::test::writeFile(folder + "/keep.zip", "keep");
    tk::test::writeFile(folder + "/sub.zip/inside.txt", "keep");
    EXPECT_EQ(run({"delete", folder + "/*.zip"}).exitCode, 0);
    EXPECT_EQ(names(folder), (QStringList{"keep.zip", "sub.zip"}));
    const Outcome dir = run({"delete", folder + "/sub.zip"});
    EXPECT_EQ(dir.exitCode, 1);
    EXPECT_EQ(dir.err, u8("tomekeep-cli delete: \"sub.zip\"은 글 보관 파일이 아니라 폴더여서 지우지 않았습니다. 지울 "
                          "글의 보관 파일(.zip)을 고르세요.\n"));
    EXPECT_TRUE(QFile::exists(folder + "/sub.zip/inside.txt"));

    EXPECT_EQ(run({"delete", folder + "/keep.zip", "--trash"}).exitCode, 0);
    EXPECT_EQ(names(folder), QStringList{"sub.zip"});
    EXPECT_EQ(tk::test::readFile(path("data/Trash/files/keep.zip")), "keep");
}

// Every refusal says in Korean what is wrong and what to do; usage errors exit 2, failures 1.
// An entry that does not fit the private folder is not opened half: the command says where and how
// much room it needs, and nothing stays behind.
TEST_F(EntryCommandsTest, AnEntryThatDoesNotFitSaysWhereAndHowMuch) {
    const QString entry = newEntry(QByteArray(kText));
    env.insert("LD_PRELOAD", TK_SMALL_DISK_LIB);
    env.insert("TK_FREE_BYTES", "0");
    const Outcome shown = run({"show", entry});
    env.remove("LD_PRELOAD");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_TRUE(
        shown.err.startsWith(u8("tomekeep-cli show: %1: 글의 문서 파일을 보관 파일에서 꺼내지 못했습니다.").arg(entry)))
        << shown.err.toStdString();
    EXPECT_TRUE(shown.err.contains(u8("압축을 풀 공간이 부족하여 풀지 않았습니다: \"%1/tomekeep-").arg(path("run"))))
        << shown.err.toStdString();
    EXPECT_TRUE(shown.err.contains(u8("폴더에 354바이트가 필요하지만 0바이트만 남아 있습니다")))
        << shown.err.toStdString();
    EXPECT_EQ(shown.out, QString());
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(EntryCommandsTest, RefusalsSayWhatToDo) {
    tk::test::writeFile(path("note.txt"), "x");
    tk::test::writeFile(path("note.doc"), "x");
    struct Case {
        QStringList args;
        QByteArray input;
        int exitCode;
        const char* message;
    };
    const QString missing = path("missing.zip");
    const QList<Case> cases = {
        {{"new", folder, path("note.txt")},
         {},
         2,
         "tomekeep-cli new: --title로 글의 제목을 주세요. 아래 사용법대로 다시 실행하세요."},
        {{"new", folder, "--title", "a|b", path("note.txt")},
         {},
         2,
         "tomekeep-cli new: 제목과 분류에는 \"|\"와 줄바꿈 같은 제어 문자를 쓸 수 없습니다. 아래 사용법대로 다시 "
         "실행하세요."},
        {{"new", folder, "--title", "T", "--category", "x|y", path("note.txt")},
         {},
         2,
         "tomekeep-cli new: 제목과 분류에는 \"|\"와 줄바꿈 같은 제어 문자를 쓸 수 없습니다. 아래 사용법대로 다시 "
         "실행하세요."},
        {{"new", folder, "--title", "T", path("note.doc")},
         {},
         2,
         "tomekeep-cli new: 본문으로 쓸 파일은 .rtf 또는 .txt로 끝나야 합니다. 아래 사용법대로 다시 실행하세요."},
        {{"new", folder, "--title"},
         {},
         2,
         "tomekeep-cli new: --title 다음에 글의 제목을 주세요. 아래 사용법대로 다시 실행하세요."},
        {{"new", folder, "--title", "T", "--title", "U", path("note.txt")},
         {},
         2,
         "tomekeep-cli new: --title 옵션을 두 번 주었습니다. 한 번만 주세요. 아래 사용법대로 다시 실행하세요."},
        {{"new", path("none"), "--title", "T", path("note.txt")},
         {},
         1,
         "tomekeep-cli new: %1/none: 폴더가 없습니다. 글을 넣을 분류 폴더의 경로를 확인하세요."},
        {{"new", folder, "--title", "T", "--password-stdin", path("note.txt")},
         "\n",
         1,
         "tomekeep-cli new: 새 암호가 비어 있습니다. 새 암호를 표준 입력의 첫 줄로 주고 다시 실행하세요."},
        {{"new", folder, "--title", "T", "--password-stdin", path("note.txt")},
         QByteArray(254, 'x') + "한\n",
         1,
         "tomekeep-cli new: 새 암호가 너무 깁니다. 255바이트(한글은 한 자에 2바이트)까지 쓸 수 있으니 더 짧은 암호를 "
         "주세요."},
        {{"show", missing}, {}, 1, "tomekeep-cli show: %1/missing.zip: 글 보관 파일이 없습니다. 경로를 확인하세요."},
        {{"show"},
         {},
         2,
         "tomekeep-cli show: 보여 줄 글의 보관 파일(.zip)을 하나 주세요. 아래 사용법대로 다시 실행하세요."},
        {{"retitle", missing, "--title", "T", "--new-password-stdin", "--no-password"},
         {},
         2,
         "tomekeep-cli retitle: --new-password-stdin과 --no-password는 함께 쓸 수 없습니다. 새 암호를 주거나 보호를 "
         "풀거나 하나만 고르세요. 아래 사용법대로 다시 실행하세요."},
        {{"retitle", missing, "--title", " "},
         {},
         2,
         "tomekeep-cli retitle: 글의 제목이 비어 있습니다. --title 다음에 제목을 주세요. 아래 사용법대로 다시 "
         "실행하세요."},
        {{"delete", path("note.txt")},
         {},
         2,
         "tomekeep-cli delete: %1/note.txt: .zip으로 끝나는 글 보관 파일만 지울 수 있습니다. 아래 사용법대로 다시 "
         "실행하세요."},
        {{"delete", missing},
         {},
         1,
         "tomekeep-cli delete: %1/missing.zip: 글 보관 파일이 없습니다. 경로를 확인하세요."},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args, c.input);
        const QString expected = u8(c.message).arg(root.path());
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(expected + u'\n')) << r.err.toStdString();
        if (c.exitCode == 2) {
            EXPECT_TRUE(r.err.contains(u8("\n사용법: tomekeep-cli ") + c.args.at(0) + u' ')) << r.err.toStdString();
        }
        EXPECT_EQ(r.out, QString()) << c.args.join(' ').toStdString();
    }
    EXPECT_EQ(names(folder), QStringList());
    EXPECT_EQ(leftovers(), QStringList());

    // A new password that is missing from the second line names that line.
    const QString entry = newEntry("x", {"--password-stdin"}, "one\n");
    const Outcome change = run({"retitle", entry, "--title", "T", "--password-stdin", "--new-password-stdin"}, "one\n");
    EXPECT_EQ(change.exitCode, 1);
    EXPECT_EQ(change.err, u8("tomekeep-cli retitle: 새 암호가 비어 있습니다. 새 암호를 표준 입력의 둘째 줄로 주고 다시 "
                             "실행하세요.\n"));
    const Outcome noCurrent = run({"retitle", entry, "--title", "T"});
    EXPECT_EQ(noCurrent.exitCode, 1);
    EXPECT_EQ(noCurrent.err,
              u8("tomekeep-cli retitle: 이 글은 암호로 보호되어 있습니다. --password-stdin을 붙이고 글의 "
                 "암호를 표준 입력의 첫 줄로 주세요.\n"));
    // The longest password an entry may have goes in whole and opens it.
    const QByteArray longest = QByteArray(253, 'x') + "한";
    const QString protectedEntry = newEntry("long", {"--password-stdin"}, longest + "\n");
    EXPECT_EQ(run({"show", protectedEntry, "--password-stdin"}, longest + "\n").out, "long\n");
    EXPECT_EQ(run({"show", protectedEntry, "--password-stdin"}, longest.chopped(2) + "\n").exitCode, 1);
    const Outcome empty = run({"show", entry, "--password-stdin"}, "");
    EXPECT_EQ(empty.err, u8("tomekeep-cli show: 암호가 비어 있습니다. 글의 암호를 표준 입력의 첫 줄로 주고 다시 "
                            "실행하세요.\n"));
}
