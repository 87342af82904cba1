// The real engines driven through the component: adding, protecting and extracting.
#include "archive_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tk::test {
namespace {

const QString kBody = QStringLiteral("TKFile.rtf");

QByteArray rtfBody(int size) {
    QByteArray body("{\\rtf1\\ansi\\ansicpg949 ");
    while (body.size() < size) {
        body += "\\par Line " + QByteArray::number(QRandomGenerator::global()->bounded(100000)) + " of the body. ";
    }
    return body + "}";
}

class EngineTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        scratch = path(QStringLiteral("TEMP"));
        QDir().mkpath(scratch);
        body = rtfBody(300000);
        writeFile(scratch + QLatin1Char('/') + kBody, body);
    }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QString scratch;
    QByteArray body;
};

TEST_F(EngineTest, ProtectedEntryRoundTrip) {
    const QString archive = path(QStringLiteral("20240101120000.zip"));
    ASSERT_EQ(add(archive, scratch, {kBody}, QStringLiteral("비밀번호")), 1);
    ASSERT_EQ(archiver.EntryCount(), 1);
    EXPECT_EQ(archiver.DirEntry(0).fixed.Method, 99);  // WinZip AES
    EXPECT_TRUE(archiver.DirEntry(0).IsEncrypted);
    const QByteArray extra = archiver.DirEntry(0).ExtraCopy;
    const qsizetype aes = extra.indexOf(QByteArray("\x01\x99", 2));
    ASSERT_GE(aes, 0);
    EXPECT_EQ(extra.at(aes + 8), 3);  // key strength 3: 256 bits

    archiver.SetZipComment(QStringLiteral("제목|분류|Y|TKFile.rtf"));
    EXPECT_EQ(extract(archive, path(QStringLiteral("out")), QStringLiteral("비밀번호")), 1);
    EXPECT_EQ(readFile(path(QStringLiteral("out/TKFile.rtf"))), body);
    EXPECT_EQ(passwordRequests, 0);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(EngineTest, WrongAndMissingPasswordsAskOnceThenWarnAndWriteNothing) {
    const QString archive = path(QStringLiteral("p.zip"));
    ASSERT_EQ(add(archive, scratch, {kBody}, QStringLiteral("right")), 1);
    for (const QString& attempt : {QStringLiteral("wrong"), QString()}) {
        messages.clear();
        passwordRequests = 0;
        const QString out = path(QStringLiteral("out-") + (attempt.isEmpty() ? QStringLiteral("none") : attempt));
        EXPECT_EQ(extract(archive, out, attempt), 0);
        EXPECT_EQ(passwordRequests, 1);
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_EQ(messages.last(), QStringLiteral("warnings were given"));
        EXPECT_EQ(archiver.LastErrorMessage(), QStringLiteral("warnings were given"));
        EXPECT_TRUE(filesIn(out).isEmpty()) << filesIn(out).join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(EngineTest, ProtectionWithoutAPasswordAddsNothingInTheClear) {
    const QString archive = path(QStringLiteral("n.zip"));
    archiver.SetZipFileName(archive);
    archiver.SetPassword(QString());
    archiver.SetAddOptions({AddOptsEnum::AddEncrypt});
    archiver.SetRootDir(scratch);
    archiver.SetFSpecArgs({kBody});
    archiver.Add();
    EXPECT_EQ(archiver.HandledCount(), 0);
    EXPECT_EQ(passwordRequests, 1);
    EXPECT_FALSE(QFile::exists(archive));
}

TEST_F(EngineTest, APasswordOfferedOnRequestIsUsed) {
    const QString archive = path(QStringLiteral("p.zip"));
    ASSERT_EQ(add(archive, scratch, {kBody}, QStringLiteral("right")), 1);
    archiver.OnPasswordError = [](TArchiver*, bool, QString& pw, const QString&, unsigned& repeat, TPasswordButton&) {
        pw = QStringLiteral("right");
        repeat = 1;
    };
    EXPECT_EQ(extract(archive, path(QStringLiteral("out")), QStringLiteral("wrong")), 1);
    EXPECT_EQ(readFile(path(QStringLiteral("out/TKFile.rtf"))), body);

    // A handler that never runs out of wrong passwords is not asked for ever.
    int asked = 0;
    archiver.OnPasswordError = [&](TArchiver*, bool, QString& pw, const QString&, unsigned& repeat, TPasswordButton&) {
        ++asked;
        pw = QStringLiteral("still wrong");
        repeat = 15;
    };
    EXPECT_EQ(extract(archive, path(QStringLiteral("out2")), QStringLiteral("wrong")), 0);
    EXPECT_EQ(asked, 16);
    EXPECT_EQ(messages.last(), QStringLiteral("warnings were given"));
}

TEST_F(EngineTest, EverySaveUsesAFreshSalt) {
    ASSERT_EQ(add(path(QStringLiteral("a.zip")), scratch, {kBody}, QStringLiteral("pw")), 1);
    ASSERT_EQ(add(path(QStringLiteral("b.zip")), scratch, {kBody}, QStringLiteral("pw")), 1);
    EXPECT_NE(readFile(path(QStringLiteral("a.zip"))), readFile(path(QStringLiteral("b.zip"))));
}

TEST_F(EngineTest, ALongPasswordOpensWhatItProtected) {
    // This was a password cut to 81 characters for adding but passed whole for extracting.
    const QString password(120, QLatin1Char('k'));
    ASSERT_EQ(add(path(QStringLiteral("a.zip")), scratch, {kBody}, password), 1);
    EXPECT_EQ(extract(path(QStringLiteral("a.zip")), path(QStringLiteral("out")), password), 1);
}

TEST_F(EngineTest, AddReplacesAtomicallyAndKeepsTheCommentAndOtherMembers) {
    const QString archive = path(QStringLiteral("a.zip"));
    writeFile(scratch + QStringLiteral("/other.txt"), "other");
    ASSERT_EQ(add(archive, scratch, {kBody, QStringLiteral("other.txt")}, QStringLiteral("pw")), 2);
    archiver.SetZipComment(QStringLiteral("제목|분류|Y|TKFile.rtf"));
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(archive).constData(), &before), 0);

    writeFile(scratch + QLatin1Char('/') + kBody, "{\\rtf1 edited}");
    ASSERT_EQ(add(archive, scratch, {kBody}, QStringLiteral("pw")), 1);
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(archive).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place
    EXPECT_EQ(archiver.EntryCount(), 2);
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("제목|분류|Y|TKFile.rtf"));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("a.zip")});
    EXPECT_EQ(extract(archive, path(QStringLiteral("out")), QStringLiteral("pw")), 2);
    EXPECT_EQ(readFile(path(QStringLiteral("out/TKFile.rtf"))), "{\\rtf1 edited}");
}

// Killed at any instant, an add leaves the archive as it was or as it will be, with its comment,
// and nothing that the next start would take for an entry.
TEST_F(EngineTest, KilledDuringAnAddTheArchiveStaysWhole) {
    const QString archive = path(QStringLiteral("k.zip"));
    QByteArray noise(2 << 20, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>(QRandomGenerator::global()->bounded(32));
    }
    writeFile(scratch + QStringLiteral("/noise.bin"), noise);
    ASSERT_EQ(add(archive, scratch, {kBody}, QStringLiteral("pw")), 1);
    archiver.SetZipComment(QStringLiteral("t|k|Y|TKFile.rtf"));
    for (int round = 0; round < 12; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TArchiver a;
            a.SetUnattended(true);
            a.SetEngineDirectory(binDir());
            a.LoadZipEngine();
            for (;;) {
                a.SetZipFileName(archive);
                a.SetPassword(QStringLiteral("pw"));
                a.SetAddOptions({AddOptsEnum::AddEncrypt});
                a.SetRootDir(scratch);
                a.SetFSpecArgs({kBody, QStringLiteral("noise.bin")});
                a.Add();
            }
        }
        ::usleep(static_cast<useconds_t>(QRandomGenerator::global()->bounded(5000, 250000)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        messages.clear();
        const QString out = path(QStringLiteral("out%1").arg(round));
        const int extracted = extract(archive, out, QStringLiteral("pw"));
        ASSERT_TRUE(extracted == 1 || extracted == 2) << "round " << round;
        EXPECT_EQ(readFile(out + QLatin1Char('/') + kBody), body);
        EXPECT_EQ(archiver.ZipComment(), QStringLiteral("t|k|Y|TKFile.rtf"));
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    }
    RemoveArchiveLeftovers(dir.path());
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("k.zip")});
}

TEST_F(EngineTest, AnArchiveWithNoMembersAndACommentTakesItsFirstFile) {
    const QString archive = path(QStringLiteral("e.zip"));
    writeFile(archive, emptyZipWithComment("t|k|N|TKFile.rtf"));
    ASSERT_EQ(add(archive, scratch, {kBody}), 1);
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("t|k|N|TKFile.rtf"));
    EXPECT_EQ(archiver.DirEntry(0).fixed.Method, 8);
}

TEST_F(EngineTest, WebEntryKeepsFoldersAndStoresListedSuffixes) {
    const QString web = path(QStringLiteral("web"));
    writeFile(web + QStringLiteral("/page.htm"), "<html>page</html>");
    writeFile(web + QStringLiteral("/page_files/pic.png"), "png-bytes");
    writeFile(web + QStringLiteral("/page_files/deep/old.zip"), QByteArray(1000, 'z'));
    archiver.SetZipFileName(path(QStringLiteral("w.zip")));
    archiver.SetAddOptions({AddOptsEnum::AddDirNames, AddOptsEnum::AddRecurseDirs});
    archiver.SetRootDir(web);
    archiver.SetFSpecArgs({QStringLiteral("*.*")});
    archiver.Add();
    ASSERT_EQ(archiver.HandledCount(), 3);
    QMap<QString, int> methods;
    for (int i = 0; i < archiver.EntryCount(); ++i) {
        methods[archiver.DirEntry(i).MemberName] = archiver.DirEntry(i).fixed.Method;
    }
    EXPECT_EQ(methods.keys(), (QStringList{QStringLiteral("page.htm"), QStringLiteral("page_files/deep/old.zip"),
                                           QStringLiteral("page_files/pic.png")}));
    EXPECT_EQ(methods.value(QStringLiteral("page_files/deep/old.zip")), 0);
    EXPECT_EQ(methods.value(QStringLiteral("page.htm")), 8);

    EXPECT_EQ(extract(path(QStringLiteral("w.zip")), path(QStringLiteral("out"))), 3);
    EXPECT_EQ(readFile(path(QStringLiteral("out/page_files/deep/old.zip"))), QByteArray(1000, 'z'));
}

TEST_F(EngineTest, ExistingFilesAreKeptUnlessOverwriteIsAllowed) {
    const QString archive = path(QStringLiteral("a.zip"));
    ASSERT_EQ(add(archive, scratch, {kBody}), 1);
    const QString out = path(QStringLiteral("out"));
    writeFile(out + QLatin1Char('/') + kBody, "mine");
    archiver.SetExtrBaseDir(out);
    archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames});
    QStringList asked;
    archiver.OnExtractOverwrite = [&](TArchiver*, const QString& f, bool, bool& overwrite, int) {
        asked << f;
        overwrite = false;
    };
    archiver.Extract();
    EXPECT_EQ(asked, QStringList{kBody});
    EXPECT_EQ(readFile(out + QLatin1Char('/') + kBody), "mine");
    EXPECT_EQ(archiver.HandledCount(), 0);
}

TEST_F(EngineTest, MemberNamesBecomeUtf8FileNames) {
    RawMember ansi{QByteArray("\xc7\xd1\xb1\xdb.txt"), "ansi"};  // 한글.txt made on Windows
    RawMember utf8{QStringLiteral("폴더/글.txt").toUtf8(), "utf8"};
    utf8.flags = 0x0800;
    writeFile(path(QStringLiteral("n.zip")), buildStoredZip({ansi, utf8}));
    EXPECT_EQ(extract(path(QStringLiteral("n.zip")), path(QStringLiteral("out"))), 2);
    EXPECT_EQ(readFile(path(QStringLiteral("out/한글.txt"))), "ansi");
    EXPECT_EQ(readFile(path(QStringLiteral("out/폴더/글.txt"))), "utf8");
}

TEST_F(EngineTest, KoreanFileNamesAreWrittenAsFlaggedUtf8) {
    writeFile(scratch + QStringLiteral("/그림 1.png"), "png");
    ASSERT_EQ(add(path(QStringLiteral("k.zip")), scratch, {QStringLiteral("그림 1.png")}), 1);
    EXPECT_EQ(archiver.DirEntry(0).MemberName, QStringLiteral("그림 1.png"));
    EXPECT_TRUE(archiver.DirEntry(0).fixed.BitFlags & 0x0800);
    EXPECT_EQ(archiver.DirEntry(0).fixed.Method, 8);  // .png is not in the program's store list
}

TEST_F(EngineTest, ADamagedMemberLeavesNoFile) {
    QByteArray bytes = buildStoredZip({{"TKFile.rtf", "{\\rtf1 good body}"}});
    bytes[40] = 'X';  // inside the stored data
    writeFile(path(QStringLiteral("d.zip")), bytes);
    QStringList crcFor;
    archiver.OnCRC32Error = [&](TArchiver*, const QString& f, unsigned found, unsigned expected, bool& keep) {
        crcFor << f;
        EXPECT_NE(found, expected);
        keep = false;
    };
    EXPECT_EQ(extract(path(QStringLiteral("d.zip")), path(QStringLiteral("out"))), 0);
    EXPECT_EQ(crcFor, QStringList{kBody});
    EXPECT_TRUE(filesIn(path(QStringLiteral("out"))).isEmpty());
}

TEST_F(EngineTest, ZerosATransferAddedStillExtract) {
    const QString archive = path(QStringLiteral("padded.zip"));
    ASSERT_EQ(add(archive, scratch, {kBody}, QStringLiteral("pw")), 1);
    QByteArray bytes = readFile(archive);
    bytes.append(QByteArray(512 - bytes.size() % 512, '\0'));
    writeFile(archive, bytes);
    EXPECT_EQ(extract(archive, path(QStringLiteral("out")), QStringLiteral("pw")), 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(readFile(path(QStringLiteral("out/TKFile.rtf"))), body);
}

TEST_F(EngineTest, EncryptedOutputRepeatsOnlyInTheFixedRandomTestBuild) {
    const QString cli = binDir() + QStringLiteral("/tomekeep-cli");
    const QStringList fixed{QStringLiteral("LD_PRELOAD=") + QStringLiteral(TK_FIXED_RANDOM_LIB)};
    QList<QByteArray> outputs;
    for (int i = 0; i < 3; ++i) {
        const QString archive = path(QStringLiteral("r%1.zip").arg(i));
        ASSERT_EQ(runProgram(cli,
                             {QStringLiteral("add"), archive, QStringLiteral("--root"), scratch,
                              QStringLiteral("--password-stdin"), kBody},
                             {}, nullptr, "pw\n", i < 2 ? fixed : QStringList{}),
                  0);
        outputs << readFile(archive);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_NE(outputs[0], outputs[2]);
}

}  // namespace
}  // namespace tk::test
