// The component's properties, messages, preconditions and engine loading.
#include "archive_test_support.h"

#include <QDir>
#include <QFile>

namespace tk::test {
namespace {

const QString kMissingText = QStringLiteral("Message texts are not linked into the program\nMissing message number: ");

TEST(ArchiverProperties, CreationValuesAndSetterRules) {
    TArchiver a;
    EXPECT_EQ(a.AddCompLevel(), 9);
    EXPECT_TRUE(a.AddOptions().empty());
    EXPECT_EQ(a.SFXOptions(), SFXOpts{SFXOptsEnum::SFXCheckSize});
    EXPECT_EQ(a.SFXPath(), QStringLiteral("SFXStub.bin"));
    EXPECT_EQ(a.SFXCaption(), QStringLiteral("Self-extracting Archive"));
    EXPECT_EQ(a.MinFreeVolumeSize(), 65536);
    EXPECT_TRUE(a.ConfirmErase());
    EXPECT_EQ(a.CodePage(), CodePageOpts::cpAuto);
    EXPECT_EQ(a.HowToDelete(), DeleteOpts::htdAllowUndo);
    EXPECT_EQ(a.PasswordReqCount(), 1u);
    EXPECT_TRUE(a.AddStoreSuffixes().empty());
    EXPECT_EQ(a.EntryCount(), 0);

    a.SetVersionInfo(QStringLiteral("9.99"));
    EXPECT_EQ(a.VersionInfo(), QStringLiteral("1.60"));
    a.SetPasswordReqCount(20);
    EXPECT_EQ(a.PasswordReqCount(), 15u);
    a.SetRootDir(QStringLiteral("/tmp/x"));
    EXPECT_EQ(a.RootDir(), QStringLiteral("/tmp/x/"));
    a.SetRootDir(QStringLiteral("/tmp/y/"));
    EXPECT_EQ(a.RootDir(), QStringLiteral("/tmp/y/"));
    a.SetRootDir(QString());
    EXPECT_EQ(a.RootDir(), QString());
    a.SetEngineDirectory(QStringLiteral("/opt/engines/"));
    EXPECT_EQ(a.EngineDirectory(), QStringLiteral("/opt/engines"));
    // AddEncrypt is bit 10 (value 1024), as stored settings and peers expect.
    EXPECT_EQ(AddOpts{AddOptsEnum::AddEncrypt}.bits(), 1024u);
}

TEST(ArchiverProperties, PasswordKeepsAtMost255AnsiBytes) {
    TArchiver a;
    a.SetPassword(QString(300, QLatin1Char('a')));
    EXPECT_EQ(a.Password().size(), 255);
    // Hangul takes two bytes each in the program's code page.
    a.SetPassword(QString(200, QChar(0xAC00)));
    EXPECT_EQ(a.Password().size(), 127);
}

class ArchiverMessages : public ArchiverTest {};

TEST_F(ArchiverMessages, AddWithoutFilesReports10301AndCallsNoEngine) {
    archiver.SetEngineDirectory(QStringLiteral("/nonexistent"));
    archiver.SetZipFileName(path(QStringLiteral("a.zip")));
    archiver.Add();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), kMissingText + QStringLiteral("10301"));
    EXPECT_EQ(codes.first(), 0);
    EXPECT_EQ(archiver.LastErrorCode(), 10301);
    EXPECT_EQ(boxes.texts(), QStringList{kMissingText + QStringLiteral("10301")});
    EXPECT_FALSE(archiver.ZipEngineLoaded());
}

TEST_F(ArchiverMessages, PreconditionsOfAddAndExtract) {
    archiver.SetFSpecArgs({QStringLiteral("x")});
    archiver.Add();  // no archive name
    archiver.SetUnattended(true);
    archiver.SetZipFileName(path(QStringLiteral("a.zip")));
    archiver.SetFSpecArgs({QStringLiteral("x")});
    archiver.SetAddOptions({AddOptsEnum::AddEncrypt});
    archiver.Add();      // unattended, encrypted, no password
    archiver.Extract();  // archive missing
    EXPECT_EQ(messages, (QStringList{kMissingText + QStringLiteral("10102"), kMissingText + QStringLiteral("10302"),
                                     kMissingText + QStringLiteral("10102")}));
    EXPECT_EQ(boxes.requests().size(), 1);  // only the attended one was shown
}

TEST_F(ArchiverMessages, MissingEngineAndMissingEntryPoints) {
    const QString engines = path(QStringLiteral("engines"));
    QDir().mkpath(engines);
    writeFile(engines + QStringLiteral("/libzipeng.so"), "not a library");
    ASSERT_TRUE(QFile::copy(binDir() + QStringLiteral("/recording/libunzeng.so"),
                            engines + QStringLiteral("/libunzeng.so.tmp")));
    archiver.SetUnattended(true);
    archiver.SetEngineDirectory(engines);
    archiver.LoadZipEngine();
    EXPECT_FALSE(archiver.ZipEngineLoaded());
    EXPECT_EQ(messages.last(), kMissingText + QStringLiteral("10604"));
    // An unzip engine offered as the zip engine lacks both zip entry points.
    QFile::remove(engines + QStringLiteral("/libzipeng.so"));
    ASSERT_TRUE(
        QFile::rename(engines + QStringLiteral("/libunzeng.so.tmp"), engines + QStringLiteral("/libzipeng.so")));
    archiver.LoadZipEngine();
    EXPECT_TRUE(archiver.ZipEngineLoaded());
    EXPECT_EQ(messages.mid(1),
              (QStringList{kMissingText + QStringLiteral("10602"), kMissingText + QStringLiteral("10603")}));
    // An add with such an engine stops without calling anything.
    writeFile(path(QStringLiteral("f.txt")), "x");
    EXPECT_EQ(add(path(QStringLiteral("a.zip")), dir.path(), {QStringLiteral("f.txt")}), 0);
    archiver.UnloadZipEngine();
    EXPECT_FALSE(archiver.ZipEngineLoaded());
}

TEST_F(ArchiverMessages, EnginesAreFoundBesideTheProgramAndReportVersion160) {
    archiver.SetEngineDirectory(QString());
    EXPECT_EQ(archiver.ZipEngineVersion(), 160);
    EXPECT_EQ(archiver.UnzipEngineVersion(), 160);
    EXPECT_FALSE(archiver.ZipEngineLoaded());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ArchiverMessages, TraceReportsLoading) {
    archiver.SetUnattended(true);
    archiver.SetTrace(true);
    archiver.LoadUnzipEngine();
    EXPECT_EQ(messages, QStringList{kMissingText + QStringLiteral("10701")});
    archiver.UnloadUnzipEngine();
}

TEST_F(ArchiverMessages, LeftoversOfAnInterruptedWriteAreRemoved) {
    writeFile(path(QStringLiteral(".20240101120000.zip.tkpart-Ab12Cd")), "partial");
    writeFile(path(QStringLiteral("20240101120000.zip")), "keep");
    writeFile(path(QStringLiteral(".other.tkpart-short")), "keep: not six characters");
    EXPECT_EQ(RemoveArchiveLeftovers(dir.path()), 1);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("20240101120000.zip"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral(".other.tkpart-short"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral(".20240101120000.zip.tkpart-Ab12Cd"))));
}

}  // namespace
}  // namespace tk::test
