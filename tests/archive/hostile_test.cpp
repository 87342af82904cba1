// Hostile archives built byte by byte: nothing may be written outside the base folder, no link
// created or followed, no inconsistent archive accepted, no member grow past what it declares.
#include "archive_test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace tk::test {
namespace {

class HostileTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        base = path(QStringLiteral("base"));
        QDir().mkpath(base);
    }
    int extractBytes(const QByteArray& bytes) {
        writeFile(path(QStringLiteral("h.zip")), bytes);
        archiver.SetZipFileName(path(QStringLiteral("h.zip")));
        archiver.SetUnattended(true);
        archiver.SetExtrBaseDir(base);
        archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
        archiver.Extract();
        return archiver.HandledCount();
    }
    // Every file below the temporary folder except the archive and the folders made for the test.
    QStringList everything() const {
        QStringList out;
        QDir d(dir.path());
        for (const QFileInfo& i :
             d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            out << i.fileName();
        }
        return out;
    }
    QString base;
};

// How a run of the command-line companion went, measured from outside.
struct ChildRun {
    bool exited = false;  // ended by itself, not by a signal
    int exitCode = -1;
    long peakKiB = 0;
    qint64 milliseconds = 0;
    QString output;  // standard output and error
};

// Runs tomekeep-cli with args, the environment plus extraEnv ("NAME=value"), as its own process.
ChildRun runCompanion(const QStringList& args, const QString& outputFile, const QStringList& extraEnv = {}) {
    std::vector<QByteArray> argBytes{QFile::encodeName(binDir() + QStringLiteral("/tomekeep-cli"))};
    for (const QString& a : args) {
        argBytes.push_back(a.toUtf8());
    }
    std::vector<QByteArray> envBytes;
    for (char** e = environ; *e; ++e) {
        envBytes.emplace_back(*e);
    }
    for (const QString& e : extraEnv) {
        envBytes.push_back(e.toUtf8());
    }
    std::vector<char*> argv, envp;
    for (QByteArray& a : argBytes) {
        argv.push_back(a.data());
    }
    for (QByteArray& e : envBytes) {
        envp.push_back(e.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const int out = ::open(QFile::encodeName(outputFile).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out);
    ChildRun run;
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child) {
        run.milliseconds = timer.elapsed();
        run.exited = WIFEXITED(status);
        run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
        run.peakKiB = usage.ru_maxrss;
    }
    run.output = QString::fromUtf8(readFile(outputFile));
    return run;
}

// The bytes of every file below folder.
qint64 bytesBelow(const QString& folder) {
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        total += it.nextFileInfo().size();
    }
    return total;
}

// Hostile archives run through the companion as a user would: no crash, at most 1 GiB of memory
// and 20 s, nothing written past the caps.
class HostileRunTest : public HostileTest {
  protected:
    ChildRun extractWithCompanion(const QByteArray& bytes, const QStringList& extraEnv = {}) {
        writeFile(path(QStringLiteral("h.zip")), bytes);
        const ChildRun run =
            runCompanion({QStringLiteral("extract"), path(QStringLiteral("h.zip")), base}, path("out.txt"), extraEnv);
        EXPECT_TRUE(run.exited) << run.output.toStdString();
        EXPECT_LT(run.peakKiB, 1L << 20);
        EXPECT_LT(run.milliseconds, 20000);
        return run;
    }
};

const QString kTooDeep = QStringLiteral("폴더 32단계보다 깊거나 이름이 1,024바이트보다 길어 풀지 않았습니다");
const QString kBomb = QStringLiteral("압축 폭탄으로 보고 풀지 않았습니다");
const QString kNoSpace = QStringLiteral("압축을 풀 공간이 부족하여 풀지 않았습니다");

TEST_F(HostileTest, UnsafeNamesAreRefusedWithAMessage) {
    const std::vector<QByteArray> names = {"../escape.txt",
                                           "a/../../escape.txt",
                                           "/tmp/absolute.txt",
                                           "C:escape.txt",
                                           "dir\\escape.txt",
                                           QByteArray("ctl\x01.txt"),
                                           ".."};
    for (const QByteArray& name : names) {
        messages.clear();
        EXPECT_EQ(extractBytes(buildStoredZip({{name, "evil"}, {"good.txt", "fine"}})), 1) << name.toStdString();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_TRUE(messages.first().contains(QStringLiteral("파일 이름이 안전하지 않아 풀지 않았습니다")))
            << messages.first().toStdString();
        EXPECT_EQ(QDir(base).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("good.txt")});
        QFile::remove(base + QStringLiteral("/good.txt"));
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("escape.txt"))));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/absolute.txt")));
}

TEST_F(HostileTest, LinkMembersAreNeverCreated) {
    RawMember link{"link", "/etc/passwd"};
    link.externalAttributes = 0120777u << 16;
    EXPECT_EQ(extractBytes(buildStoredZip({link})), 0);
    EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral("/link")));
    EXPECT_FALSE(QFileInfo(base + QStringLiteral("/link")).isSymLink());
}

TEST_F(HostileTest, ExistingLinksAreNotFollowed) {
    const QString outside = path(QStringLiteral("outside"));
    QDir().mkpath(outside);
    writeFile(outside + QStringLiteral("/victim.txt"), "untouched");
    ASSERT_EQ(::symlink(QFile::encodeName(outside + QStringLiteral("/victim.txt")).constData(),
                        QFile::encodeName(base + QStringLiteral("/file.txt")).constData()),
              0);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(base + QStringLiteral("/sub")).constData()),
        0);
    EXPECT_EQ(extractBytes(buildStoredZip({{"file.txt", "new"}, {"sub/victim.txt", "through the link"}})), 1);
    EXPECT_EQ(readFile(outside + QStringLiteral("/victim.txt")), "untouched");
    EXPECT_FALSE(QFileInfo(base + QStringLiteral("/file.txt")).isSymLink());
    EXPECT_EQ(readFile(base + QStringLiteral("/file.txt")), "new");
}

TEST_F(HostileTest, InconsistentArchivesAreRefused) {
    // Two members with one name.
    EXPECT_EQ(extractBytes(buildStoredZip({{"same.txt", "one"}, {"same.txt", "two"}})), 0);
    EXPECT_TRUE(QDir(base).isEmpty());
    // Two central entries pointing at one local header.
    RawMember second{"b.txt", "bbbb"};
    second.offsetOverride = 0;
    EXPECT_EQ(extractBytes(buildStoredZip({{"a.txt", "aaaa"}, second})), 0);
    EXPECT_TRUE(QDir(base).isEmpty());
    EXPECT_FALSE(messages.isEmpty());
}

// A large-archive size past the end of the file, which a sum with the member's position would
// wrap round, is refused before any sum is made.
TEST_F(HostileTest, ALargeArchiveSizePastTheFileIsRefused) {
    QByteArray bytes = readFile(QStringLiteral(TK_TEST_DATA "/zip/hand_zip64_central.zip"));
    const QByteArray entry("PK\x01\x02", 4);
    const qsizetype central = bytes.indexOf(entry, bytes.indexOf(entry) + 4);  // c.txt's entry
    ASSERT_GT(central, 0);
    const qsizetype packed = central + 46 + 5 + 4 + 8;  // the Zip64 block's compressed size
    for (int i = 0; i < 8; ++i) {
        bytes[packed + i] = static_cast<char>(i == 0 ? 0xF0 : 0xFF);
    }
    EXPECT_EQ(extractBytes(bytes), 0);
    EXPECT_TRUE(messages.join(QLatin1Char('\n')).contains(QStringLiteral("(10511)")))
        << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QDir(base).isEmpty());
}

TEST_F(HostileTest, AMemberMayNotGrowPastItsDeclaredSize) {
    RawMember big{"big.txt", QByteArray(4096, 'b')};
    big.sizeOverride = 10;
    EXPECT_EQ(extractBytes(buildStoredZip({big})), 0);
    EXPECT_TRUE(QDir(base).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(messages.isEmpty());
}

// This was a leak found by the extraction fuzzer: libzip kept the member's sources alive when asked
// to decrypt a method it does not know (strong encryption, flag bit 6), and with them the archive.
TEST_F(HostileTest, UnknownEncryptionIsRefusedBeforeLibzipOpensTheMember) {
    RawMember strong{"TKFile.rtf", "{\\rtf1 x}"};
    strong.flags = 0x0041;
    archiver.SetPassword(QStringLiteral("pw"));
    EXPECT_EQ(extractBytes(buildStoredZip({strong})), 0);
    EXPECT_TRUE(messages.join(QLatin1Char('\n'))
                    .contains(QStringLiteral("이 프로그램이 풀 수 없는 암호화 방식이라 풀지 않았습니다")))
        << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QDir(base).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(extractBytes(readFile(QStringLiteral(TK_FUZZ_CORPUS "/leak-unknown-encryption.zip"))), 1);
}

TEST_F(HostileTest, GarbageIsNotAnArchive) {
    EXPECT_EQ(extractBytes(emptyZipWithComment("") + "x"), 0);
    writeFile(path(QStringLiteral("g.zip")), QByteArray(5000, 'g'));
    archiver.SetUnattended(true);
    archiver.SetZipFileName(path(QStringLiteral("g.zip")));
    EXPECT_TRUE(archiver.ZipFileName().isEmpty());
}

// This was: an 8.6 KB archive with "d/" 2,100 times in a member name was extracted, a tree deeper
// than PATH_MAX that nothing could empty afterwards.
TEST_F(HostileRunTest, NamesDeeperThan32FoldersOrLongerThan1024BytesAreRefused) {
    const QByteArray deep = QByteArray("d/").repeated(2100);
    EXPECT_LT(buildStoredZip({{deep + "f.txt", "deep"}}).size(), 9 * 1024);
    const QByteArray bytes = buildStoredZip({{deep + "f.txt", "deep"},
                                             {deep, ""},
                                             {QByteArray("e/").repeated(33) + "no.txt", "33 folders"},
                                             {QByteArray(1025, 'n'), "long"},
                                             {QByteArray("e/").repeated(32) + "ok.txt", "32 folders"},
                                             {"good.txt", "fine"}});
    const ChildRun run = extractWithCompanion(bytes);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output.count(kTooDeep), 4) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QStringLiteral("(10504)")));
    EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral("/d")));
    EXPECT_EQ(readFile(base + QLatin1Char('/') + QString::fromLatin1(QByteArray("e/").repeated(32) + "ok.txt")),
              "32 folders");
    EXPECT_FALSE(QFileInfo::exists(base + QLatin1Char('/') + QString::fromLatin1(QByteArray("e/").repeated(33))));
    EXPECT_EQ(readFile(base + QStringLiteral("/good.txt")), "fine");
}

// This was: a 5.2 MB archive of five members, each deflating to 1 GiB of zeros, wrote 5 GiB.
TEST_F(HostileRunTest, ZipBombsAreRefusedBeforeAByteIsWritten) {
    std::vector<RawMember> members;
    for (int i = 0; i < 5; ++i) {
        members.push_back(deflatedZeros("zeros" + QByteArray::number(i) + ".bin", 1024));
    }
    const QByteArray bytes = buildStoredZip(members);
    EXPECT_NEAR(bytes.size(), 5.2e6, 0.3e6);
    const ChildRun run = extractWithCompanion(bytes);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output.count(kBomb), 5) << run.output.toStdString();
    EXPECT_EQ(bytesBelow(base), 0);
    EXPECT_TRUE(QDir(base).isEmpty());
}

// Blank content compresses as far as deflate goes; an archive may yield 64 MiB of it, shared by
// all its members, so many small bombs make no big one.
TEST_F(HostileTest, BlankContentPassesUpTo64MiBPerArchive) {
    archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
    EXPECT_EQ(extractBytes(buildStoredZip({deflatedZeros("blank.rtf", 40)})), 1);
    EXPECT_EQ(QFileInfo(base + QStringLiteral("/blank.rtf")).size(), 40 << 20);
    QFile::remove(base + QStringLiteral("/blank.rtf"));
    messages.clear();
    EXPECT_EQ(extractBytes(buildStoredZip({deflatedZeros("one.rtf", 40), deflatedZeros("two.rtf", 40)})), 1);
    EXPECT_TRUE(QFileInfo::exists(base + QStringLiteral("/one.rtf")));
    EXPECT_FALSE(QFileInfo::exists(base + QStringLiteral("/two.rtf")));
    EXPECT_TRUE(messages.join(QLatin1Char('\n')).contains(kBomb)) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(QDir(base).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("one.rtf")});
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, '\0');
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// The declared sizes are checked against the free space before anything is written.
TEST_F(HostileRunTest, AnExtractionThatDoesNotFitSaysWhereAndHowMuch) {
    const QStringList smallDisk{QStringLiteral("LD_PRELOAD=" TK_SMALL_DISK_LIB), QStringLiteral("TK_FREE_BYTES=4096")};
    const ChildRun run = extractWithCompanion(
        buildStoredZip({{"a.txt", QByteArray(3000, 'a')}, {"b.txt", QByteArray(3000, 'b')}}), smallDisk);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains(kNoSpace)) << run.output.toStdString();
    EXPECT_TRUE(
        run.output.contains(QStringLiteral("\"%1\" 폴더에 5.9 KB가 필요하지만 4.0 KB만 남아 있습니다").arg(base)))
        << run.output.toStdString();
    EXPECT_TRUE(QDir(base).isEmpty());
}

// The free space is checked again as bytes come: someone else may take it meanwhile. What the run
// wrote before goes again.
TEST_F(HostileRunTest, SpaceThatRunsOutMidwayLeavesNothingOfTheRun) {
    const QStringList shrinkingDisk{QStringLiteral("LD_PRELOAD=" TK_SMALL_DISK_LIB),
                                    QStringLiteral("TK_FREE_BYTES=1099511627776,0")};
    const ChildRun run =
        extractWithCompanion(buildStoredZip({{"a.txt", "first"}, {"big.bin", randomBytes(3 << 20)}}), shrinkingDisk);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains(kNoSpace)) << run.output.toStdString();
    EXPECT_TRUE(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
        << QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(' ').toStdString();
}

}  // namespace
}  // namespace tk::test
