// Writers racing on one archive as separate processes: tomekeep-cli add against a loop of
// tomekeep-cli comment --set. Whatever reported success must be there at the end.
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <thread>
#include <vector>

extern char** environ;

namespace {

QString companion() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tomekeep-cli");
}

// Runs the companion with its output thrown away; returns its exit code, -1 when it did not end
// by itself. Safe from any thread: no Qt object is involved.
int runQuietly(const QStringList& args) {
    std::vector<QByteArray> bytes{QFile::encodeName(companion())};
    for (const QString& a : args) {
        bytes.push_back(a.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& b : bytes) {
        argv.push_back(b.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A rich-text body of about two megabytes that takes the engine a while to compress.
QByteArray body(int version) {
    QByteArray rtf = "{\\rtf1\\ansi version " + QByteArray::number(version) + ' ';
    QRandomGenerator random(static_cast<quint32>(version));
    while (rtf.size() < (2 << 20)) {
        rtf += "\\par " + QByteArray::number(random.generate64(), 36) + ' ' + QByteArray::number(random.generate(), 36);
    }
    return rtf + '}';
}

QString comment(int version) {
    return QStringLiteral("제목 %1|분류|N|TKFile.rtf").arg(version);
}

class ArchiveRaceTest : public ::testing::Test {
  protected:
    QString path(const QString& relative) const { return root.path() + u'/' + relative; }
    QString source(int version) const { return path(QStringLiteral("src%1").arg(version)); }

    QTemporaryDir root;
};

// This was: an add reported success while a comment write running beside it put back the old
// body, and a comment write that reported success was overwritten by the older comment an add
// had read before it.
TEST_F(ArchiveRaceTest, EveryWriteThatReportedSuccessSurvives) {
    constexpr int kRounds = 4;
    constexpr int kAddsPerRound = 3;
    const QString archive = path(QStringLiteral("entry.zip"));
    for (int version = 0; version <= kRounds * kAddsPerRound; ++version) {
        tk::test::writeFile(source(version) + QStringLiteral("/TKFile.rtf"), body(version));
    }
    ASSERT_EQ(runQuietly({"add", archive, "--root", source(0), "TKFile.rtf"}), 0);
    ASSERT_EQ(runQuietly({"comment", archive, "--set", comment(0)}), 0);
    int lastAdd = 0;
    int lastComment = 0;
    int nextComment = 1;
    for (int round = 0; round < kRounds; ++round) {
        // The comments go on while the adds run and stop with them, so the last of each overlaps.
        std::atomic<bool> addsDone{false};
        std::thread adder([&] {
            for (int i = 1; i <= kAddsPerRound; ++i) {
                const int version = round * kAddsPerRound + i;
                if (runQuietly({"add", archive, "--root", source(version), "TKFile.rtf"}) == 0) {
                    lastAdd = version;
                }
            }
            addsDone = true;
        });
        std::thread commenter([&] {
            while (!addsDone) {
                const int version = nextComment++;
                if (runQuietly({"comment", archive, "--set", comment(version)}) == 0) {
                    lastComment = version;
                }
            }
        });
        adder.join();
        commenter.join();

        QProcess shown;
        shown.start(companion(), {"comment", archive});
        ASSERT_TRUE(shown.waitForFinished(30000));
        EXPECT_EQ(QString::fromUtf8(shown.readAllStandardOutput()), comment(lastComment) + u'\n') << "round " << round;
        const QString out = path(QStringLiteral("out%1").arg(round));
        ASSERT_EQ(runQuietly({"extract", archive, out}), 0) << "round " << round;
        EXPECT_EQ(tk::test::readFile(out + QStringLiteral("/TKFile.rtf")), body(lastAdd))
            << "round " << round << ", last add " << lastAdd;
    }
    EXPECT_GT(lastAdd, kAddsPerRound * (kRounds - 1));
    EXPECT_GT(lastComment, 0);
    // Neither lock files nor temporary files stay beside the archive.
    const QStringList beside =
        QDir(root.path()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    EXPECT_EQ(beside, QStringList{QStringLiteral("entry.zip")});
}

}  // namespace
