// The component's properties, messages, preconditions and engine loading.
#include "archive_test_support.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace tk::test {
namespace {

const QString kNoFilesText =
    QStringLiteral("압축 파일에 추가할 파일이 지정되지 않았습니다. 추가할 파일을 고른 뒤 다시 시도하십시오. (10301)");
const QString kNoArchiveText = QStringLiteral(
    "압축 파일을 찾을 수 없습니다. 파일이 옮겨지거나 지워지지 않았는지 확인하고 목록을 새로 읽으십시오. (10102)");
const QString kZipEngineMissingText = QStringLiteral(
    "압축 엔진 libzipeng.so를 불러올 수 없습니다. 프로그램 폴더에 이 파일이 있는지 확인하거나 "
    "프로그램을 다시 설치하십시오. (10604)");

QString text(int id) {
    return archiverMessageText(id);
}

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

// Every number the component reports has a Korean text of its own that names the number.
TEST(ArchiverMessageTexts, EveryNumberHasItsOwnKoreanText) {
    const QList<int> numbers = {10101, 10102, 10103, 10104, 10150, 10151, 10201, 10202, 10203, 10204, 10301, 10302,
                                10303, 10304, 10305, 10501, 10502, 10503, 10504, 10505, 10506, 10601, 10602, 10603,
                                10604, 10701, 10702, 10703, 10704, 11001, 11002, 11003, 11004, 11008, 11010, 11011,
                                11013, 11015, 11017, 11022, 11030, 11036, 11037, 11038, 11041, 11045, 11050, 11051};
    const QString general = text(99999).replace(QStringLiteral("99999"), QStringLiteral("%1"));
    QSet<QString> seen;
    for (int id : numbers) {
        const QString t = text(id);
        EXPECT_TRUE(t.endsWith(QStringLiteral(" (%1)").arg(id))) << t.toStdString();
        EXPECT_NE(t, general.arg(id)) << "no text of its own for " << id;
        EXPECT_TRUE(t.contains(QChar(0xC2B5)) || t.contains(QChar(0xC2ED))) << t.toStdString();  // 습, 십
        EXPECT_FALSE(t.contains(QStringLiteral("Message texts"))) << id;
        seen.insert(t);
    }
    EXPECT_EQ(seen.size(), numbers.size());
}

TEST(ArchiverMessageTexts, DetailsJoinTheFirstSentence) {
    EXPECT_EQ(archiverMessageText(10202, QStringLiteral("std::bad_cast.\n")),
              QStringLiteral("압축 파일의 목록을 읽는 중 오류가 났습니다: std::bad_cast. 파일이 손상되었을 수 있으니 "
                             "백업에서 복원하거나 다른 파일을 고르십시오. (10202)"));
    EXPECT_EQ(EArchiver(10304, 5).Message(),
              QStringLiteral("자동 압축 풀림 파일의 시작 부분을 쓰지 못했습니다(결과 5). 디스크 공간과 쓰기 권한을 "
                             "확인하십시오. (10304)"));
    EXPECT_EQ(EArchiver(11004, QStringLiteral("E:")).Message(),
              QStringLiteral("압축 파일이 있는 드라이브를 쓸 수 없습니다: E:. 드라이브가 연결되어 있는지 확인하십시오. "
                             "(11004)"));
    // A number without a text of its own still says what to do and names the number.
    EXPECT_EQ(archiverMessageText(11024),
              QStringLiteral("압축 파일을 처리하는 중 오류가 났습니다. 다시 시도하고, 되풀이되면 파일이 손상되지 "
                             "않았는지 확인하십시오. (11024)"));
    EXPECT_EQ(archiverMessageText(11024, QStringLiteral("x")),
              QStringLiteral("압축 파일을 처리하는 중 오류가 났습니다: x. 다시 시도하고, 되풀이되면 파일이 손상되지 "
                             "않았는지 확인하십시오. (11024)"));
}

TEST(ArchiverMessageTexts, PasswordPromptCaptionsArePlainLabels) {
    EXPECT_EQ(text(10152), QStringLiteral("확인"));
    EXPECT_EQ(text(10153), QStringLiteral("취소"));
    EXPECT_EQ(text(10154), QStringLiteral("암호 입력"));
    EXPECT_EQ(text(10155), QStringLiteral("암호를 입력하십시오:"));
    EXPECT_EQ(text(10156), QStringLiteral("확인을 위해 암호를 한 번 더 입력하십시오:"));
    EXPECT_EQ(text(10157), QStringLiteral("모두 취소"));
    EXPECT_EQ(text(10158), QStringLiteral("중단"));
    // The engine's wrong-password text is not a numbered message and stays as the program expects.
    EXPECT_STREQ(engine::kWarningsGiven, "warnings were given");
}

class ArchiverMessages : public ArchiverTest {};

TEST_F(ArchiverMessages, AddWithoutFilesReports10301AndCallsNoEngine) {
    archiver.SetEngineDirectory(QStringLiteral("/nonexistent"));
    archiver.SetZipFileName(path(QStringLiteral("a.zip")));
    archiver.Add();
    ASSERT_EQ(messages.size(), 1);
    // This was "Message texts are not linked into the program\nMissing message number: 10301".
    EXPECT_EQ(messages.first(), kNoFilesText);
    EXPECT_EQ(codes.first(), 0);
    EXPECT_EQ(archiver.LastErrorCode(), 10301);
    EXPECT_EQ(archiver.LastErrorMessage(), kNoFilesText);
    EXPECT_EQ(boxes.texts(), QStringList{kNoFilesText});
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
    EXPECT_EQ(messages, (QStringList{kNoArchiveText, text(10302), kNoArchiveText}));
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
    EXPECT_EQ(messages.last(), kZipEngineMissingText);
    // An unzip engine offered as the zip engine lacks both zip entry points.
    QFile::remove(engines + QStringLiteral("/libzipeng.so"));
    ASSERT_TRUE(
        QFile::rename(engines + QStringLiteral("/libunzeng.so.tmp"), engines + QStringLiteral("/libzipeng.so")));
    archiver.LoadZipEngine();
    EXPECT_TRUE(archiver.ZipEngineLoaded());
    EXPECT_EQ(messages.mid(1), (QStringList{text(10602), text(10603)}));
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
    EXPECT_EQ(messages, QStringList{text(10701)});
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
