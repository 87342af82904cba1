// What the component puts into every record layout, and how it answers every callback code,
// proven with the recording stand-in engines.
#include "archive_test_support.h"
#include "recording_engine.h"

#include <QDir>
#include <QtEndian>

#include <dlfcn.h>

#include <cstring>

namespace tk::test {
namespace {

using namespace tk::engine;

int32_t at32(const std::vector<unsigned char>& raw, size_t offset) {
    int32_t v;
    std::memcpy(&v, raw.data() + offset, 4);
    return v;
}
uint16_t at16(const std::vector<unsigned char>& raw, size_t offset) {
    uint16_t v;
    std::memcpy(&v, raw.data() + offset, 2);
    return v;
}
uint64_t at64(const std::vector<unsigned char>& raw, size_t offset) {
    uint64_t v;
    std::memcpy(&v, raw.data() + offset, 8);
    return v;
}
bool zeros(const std::vector<unsigned char>& raw, size_t offset, size_t n) {
    for (size_t i = offset; i < offset + n; ++i) {
        if (raw[i] != 0) {
            return false;
        }
    }
    return true;
}

class RecordingTest : public ArchiverTest {
  protected:
    void SetUp() override {
        ArchiverTest::SetUp();
        archiver.SetEngineDirectory(binDir() + QStringLiteral("/recording"));
        archiver.LoadZipEngine();
        archiver.LoadUnzipEngine();
        ASSERT_TRUE(archiver.ZipEngineLoaded());
        zipHandle = dlopen(QFile::encodeName(binDir() + QStringLiteral("/recording/libzipeng.so")), RTLD_NOW);
        unzipHandle = dlopen(QFile::encodeName(binDir() + QStringLiteral("/recording/libunzeng.so")), RTLD_NOW);
        zip = reinterpret_cast<RecordingControlFn>(dlsym(zipHandle, "RecordingControl"))();
        unzip = reinterpret_cast<RecordingControlFn>(dlsym(unzipHandle, "RecordingControl"))();
        *zip = Recording{};
        *unzip = Recording{};
        writeFile(path(QStringLiteral("a.zip")), emptyZipWithComment("old comment"));
        archiver.SetZipFileName(path(QStringLiteral("a.zip")));
    }
    void TearDown() override {
        archiver.UnloadZipEngine();
        archiver.UnloadUnzipEngine();
        dlclose(zipHandle);
        dlclose(unzipHandle);
    }
    void fullAddOptions() {
        archiver.SetAddOptions({AddOptsEnum::AddRecurseDirs, AddOptsEnum::AddMove, AddOptsEnum::AddFreshen,
                                AddOptsEnum::AddUpdate, AddOptsEnum::AddZipTime, AddOptsEnum::AddForceDOS,
                                AddOptsEnum::AddHiddenFiles, AddOptsEnum::AddArchiveOnly, AddOptsEnum::AddResetArchive,
                                AddOptsEnum::AddEncrypt, AddOptsEnum::AddVolume});
        archiver.SetAddStoreSuffixes({AddStoreSuffixEnum::assGIF, AddStoreSuffixEnum::assZIP});
        archiver.SetAddCompLevel(7);
        archiver.SetTrace(true);
        archiver.SetUnattended(true);
        archiver.SetPassword(QString(100, QLatin1Char('p')));
        archiver.SetTempDir(QStringLiteral("/tmp/work"));
        archiver.SetCodePage(CodePageOpts::cpOEM);
        archiver.SetRootDir(QStringLiteral("/data/root"));
        archiver.SetFSpecArgs({QStringLiteral(">sub/*.htm<own"), QStringLiteral("|plain.txt"), QStringLiteral("keeps<"),
                               QStringLiteral("TKFile.rtf")});
        archiver.SetFSpecArgsExcl({QStringLiteral("*.bak")});
    }

    void* zipHandle = nullptr;
    void* unzipHandle = nullptr;
    Recording* zip = nullptr;
    Recording* unzip = nullptr;
};

TEST_F(RecordingTest, ZipRecordOfVersion160CarriesEveryField) {
    fullAddOptions();
    archiver.Add();
    ASSERT_EQ(zip->calls, 1);
    const auto& r = zip->raw;
    ASSERT_EQ(r.size(), sizeof(ZipCommand));
    EXPECT_EQ(at64(r, 0), 0u);  // unattended: no owner window
    EXPECT_EQ(at64(r, 8), reinterpret_cast<uint64_t>(&archiver));
    EXPECT_EQ(at32(r, 16), 160);
    EXPECT_EQ(at64(r, 20), reinterpret_cast<uint64_t>(&TArchiver::engineCallback));
    EXPECT_EQ(at32(r, 28), -1);                                // trace
    EXPECT_EQ(zip->texts["password"], std::string(100, 'p'));  // whole, not cut to 81
    EXPECT_EQ(zip->texts["storeSuffixes"], ".gif:.zip");
    EXPECT_EQ(at32(r, 48), -1);  // encrypt
    EXPECT_EQ(at32(r, 52), -1);  // hidden files
    EXPECT_EQ(at32(r, 56), -1);  // volume label
    EXPECT_EQ(at32(r, 60), 0);
    EXPECT_EQ(at32(r, 64), -1);  // no directory entries
    EXPECT_EQ(at32(r, 72), -1);  // verbose follows trace
    EXPECT_EQ(at32(r, 76), -1);
    EXPECT_EQ(at32(r, 80), 7);
    EXPECT_EQ(at32(r, 92), -1);  // junk folder names without AddDirNames
    EXPECT_EQ(at16(r, 96), 0xFFFF);
    EXPECT_EQ(at32(r, 100), -1);
    EXPECT_EQ(at32(r, 104), -1);  // DOS names
    EXPECT_EQ(at32(r, 108), -1);  // move
    EXPECT_EQ(at32(r, 116), -1);  // update
    EXPECT_EQ(at32(r, 120), 0);   // freshen cleared by update
    EXPECT_EQ(at32(r, 128), -1);  // archive time
    EXPECT_TRUE(zeros(r, 132, 8));
    EXPECT_EQ(at32(r, 140), 4);
    EXPECT_EQ(zip->texts["archiveName"], QFile::encodeName(path(QStringLiteral("a.zip"))).toStdString());
    EXPECT_EQ(zip->texts["tempDir"], "/tmp/work");
    EXPECT_EQ(zip->texts["comment"], "old comment");
    EXPECT_EQ(at16(r, 168), 1);
    EXPECT_EQ(at16(r, 170), 1);
    EXPECT_EQ(at32(r, 184), 1);
    EXPECT_EQ(zip->exclusions, std::vector<std::string>{"*.bak"});
    EXPECT_EQ(at32(r, 236), -1);  // undo delete
    EXPECT_EQ(at16(r, 240), 2);   // cpOEM
    EXPECT_TRUE(zeros(r, 242, 18));
    EXPECT_EQ(at32(r, 260), 7);

    ASSERT_EQ(zip->specs.size(), 4u);
    EXPECT_EQ(zip->specs[0].texts["spec"], "sub/*.htm");
    EXPECT_EQ(zip->specs[0].texts["password"], "own");
    EXPECT_EQ(zip->specs[0].encrypt, 0x0000FFFF);
    EXPECT_EQ(zip->specs[0].recurse, 0xFFFF);
    EXPECT_EQ(zip->specs[1].texts["spec"], "plain.txt");
    EXPECT_EQ(zip->specs[1].recurse, 0);
    EXPECT_EQ(zip->specs[1].encrypt, -1);
    EXPECT_EQ(zip->specs[1].texts["password"], std::string(100, 'p'));
    EXPECT_EQ(zip->specs[2].texts["spec"], "keeps<");
    EXPECT_EQ(zip->specs[2].encrypt, 0);
    EXPECT_EQ(zip->specs[2].texts.count("password"), 0u);
    EXPECT_EQ(zip->specs[3].recurse, 0xFFFF);  // the record's flag
    for (const RecordedSpec& s : zip->specs) {
        EXPECT_EQ(s.texts.at("rootDir"), "/data/root/");
        EXPECT_TRUE(zeros(s.raw, 8, 8));
        EXPECT_TRUE(zeros(s.raw, 30, 14));
        EXPECT_TRUE(zeros(s.raw, 52, 64));
    }
    // Whatever the engine did, the lists are empty afterwards.
    EXPECT_TRUE(archiver.FSpecArgs().isEmpty());
    EXPECT_TRUE(archiver.FSpecArgsExcl().isEmpty());
}

TEST_F(RecordingTest, ZipRecordOfVersion151LeavesTheNewerFieldsZero) {
    zip->version = 151;
    fullAddOptions();
    archiver.Add();
    const auto& r = zip->raw;
    ASSERT_EQ(r.size(), sizeof(ZipCommand));
    EXPECT_EQ(zip->texts.count("comment"), 0u);
    EXPECT_EQ(at16(r, 168), 0);
    EXPECT_EQ(at16(r, 170), 0);
    EXPECT_EQ(at32(r, 184), 0);
    EXPECT_EQ(at32(r, 236), 0);
    EXPECT_EQ(at16(r, 240), 0);
    EXPECT_EQ(zip->texts["tempDir"], "/tmp/work");
}

TEST_F(RecordingTest, ZipRecordOfVersion150IsTheOldLayout) {
    zip->version = 150;
    archiver.SetFSpecArgs({QStringLiteral(">a<b"), QStringLiteral("TKFile.rtf")});
    archiver.SetAddOptions({AddOptsEnum::AddDirNames, AddOptsEnum::AddSeparateDirs});
    archiver.Add();
    const auto& r = zip->raw;
    ASSERT_EQ(r.size(), sizeof(ZipCommandOld));
    EXPECT_NE(at64(r, 0), 1u);
    EXPECT_EQ(at32(r, 64), 0);  // AddSeparateDirs
    EXPECT_EQ(at32(r, 92), 0);  // AddDirNames
    EXPECT_EQ(at32(r, 72), 0);  // neither verbose nor trace
    EXPECT_EQ(zip->texts.count("password"), 0u);
    EXPECT_EQ(zip->texts.count("storeSuffixes"), 1u);  // the fixture's [assZIP]
    EXPECT_EQ(at32(r, 140), 2);
    EXPECT_EQ(at32(r, 152), 7);
    EXPECT_EQ(zip->oldSpecs, (std::vector<std::string>{">a<b", "TKFile.rtf"}));  // lines unchanged
    EXPECT_EQ(at64(r, 156 + 16), 0u);
}

TEST_F(RecordingTest, UnzipRecordsOfEveryLayout) {
    const QString base = path(QStringLiteral("base"));
    QDir().mkpath(base);
    archiver.SetPassword(QString(100, QChar(0xD55C)));
    archiver.SetExtrBaseDir(base);
    archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrFreshen,
                             ExtrOptsEnum::ExtrUpdate, ExtrOptsEnum::ExtrTest});
    archiver.SetPasswordReqCount(3);
    archiver.SetFSpecArgs({QStringLiteral("*.rtf")});
    archiver.Extract();
    auto r = unzip->raw;
    ASSERT_EQ(r.size(), sizeof(UnzipCommand));
    EXPECT_EQ(at64(r, 8), reinterpret_cast<uint64_t>(&archiver));
    EXPECT_EQ(at32(r, 16), 160);
    EXPECT_EQ(unzip->texts["password"], QString(100, QChar(0xD55C)).left(127).toStdString());
    EXPECT_EQ(at32(r, 44), -1);
    EXPECT_TRUE(zeros(r, 48, 8));
    EXPECT_EQ(at32(r, 56), -1);
    EXPECT_EQ(at32(r, 64), -1);  // update
    EXPECT_EQ(at32(r, 68), 0);   // freshen cleared by update
    EXPECT_EQ(at32(r, 72), -1);
    EXPECT_EQ(at32(r, 76), -1);
    EXPECT_EQ(at32(r, 80), 1);
    EXPECT_EQ(unzip->specs.at(0).texts["spec"], "*.rtf");
    EXPECT_TRUE(zeros(unzip->specs.at(0).raw, 8, 68));
    EXPECT_EQ(at32(r, 136), 3);
    EXPECT_EQ(unzip->texts["baseDir"], QFile::encodeName(base).toStdString());
    EXPECT_EQ(at32(r, 180), 7);
    EXPECT_TRUE(archiver.FSpecArgs().isEmpty());

    unzip->version = 152;
    archiver.SetExtrBaseDir(path(QStringLiteral("missing")));
    archiver.Extract();
    r = unzip->raw;
    EXPECT_EQ(at32(r, 136), 0);  // attempts only from version 160
    EXPECT_EQ(unzip->texts["baseDir"], QFile::encodeName(QDir::currentPath()).toStdString());
    EXPECT_EQ(at32(r, 80), 0);  // FSpecArgs was cleared by the previous Extract

    unzip->version = 151;
    archiver.SetUnattended(true);
    archiver.SetPassword(QString());
    archiver.SetAddOptions({AddOptsEnum::AddEncrypt});
    archiver.SetFSpecArgs({QStringLiteral("a"), QStringLiteral("b")});
    archiver.Extract();
    r = unzip->raw;
    ASSERT_EQ(r.size(), sizeof(UnzipCommandOld));
    EXPECT_EQ(at64(r, 0), 0u);
    EXPECT_EQ(unzip->texts["password"].size(), 80u);  // the placeholder of old engines
    EXPECT_EQ(at32(r, 92), 7);
    EXPECT_EQ(unzip->oldSpecs, (std::vector<std::string>{"a", "b"}));
}

TEST_F(RecordingTest, AddRereadsTheDirectoryOnlyWhenFilesWereHandled) {
    archiver.SetFSpecArgs({QStringLiteral("x")});
    writeFile(path(QStringLiteral("a.zip")), emptyZipWithComment("changed behind"));
    zip->result = 0;
    archiver.Add();
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("old comment"));
    archiver.SetFSpecArgs({QStringLiteral("x")});
    zip->result = 1;
    archiver.Add();
    EXPECT_EQ(archiver.HandledCount(), 1);
    EXPECT_EQ(archiver.ZipComment(), QStringLiteral("changed behind"));
}

CallbackRecord cb(int32_t code, int32_t arg1, int32_t arg2, const char* text, int32_t zipAction = 0) {
    CallbackRecord r{};
    r.actionCode = code;
    r.arg1 = arg1;
    r.arg2 = arg2;
    r.zipAction = zipAction;
    std::strncpy(r.text, text, sizeof(r.text) - 1);
    return r;
}

TEST_F(RecordingTest, EveryCallbackCodeReachesItsEvent) {
    QStringList seen;
    archiver.OnProgress = [&](TArchiver*, ProgressType t, const QString& f, int size) {
        seen << QStringLiteral("progress %1 %2 %3").arg(static_cast<int>(t)).arg(f).arg(size);
    };
    archiver.OnSetNewName = [&](TArchiver*, QString& name, bool& changed) {
        seen << QStringLiteral("newname ") + name;
        name = QStringLiteral("renamed.txt");
        changed = true;
    };
    archiver.OnCRC32Error = [&](TArchiver*, const QString& f, unsigned found, unsigned expected, bool& doExtract) {
        seen << QStringLiteral("crc %1 %2 %3 %4").arg(f).arg(found).arg(expected).arg(doExtract);
        doExtract = false;
    };
    archiver.OnExtractOverwrite = [&](TArchiver*, const QString& f, bool older, bool& overwrite, int index) {
        seen << QStringLiteral("overwrite %1 %2 %3 %4").arg(f).arg(older).arg(overwrite).arg(index);
        overwrite = true;
    };
    archiver.OnExtractSkipped = [&](TArchiver*, const QString& f, UnZipSkipTypes type, int error) {
        seen << QStringLiteral("skipped %1 %2 %3").arg(f).arg(static_cast<int>(type)).arg(error);
    };
    archiver.OnFileComment = [&](TArchiver*, const QString& f, QString& comment, bool& changed) {
        seen << QStringLiteral("comment ") + f;
        comment = QStringLiteral("note");
        changed = true;
    };
    unzip->script = {cb(5, 0, 3, ""),        cb(6, 0, 999, ""),        cb(1, 0, 42, "dir/f.txt  \r\n"),
                     cb(2, 0, 10, "x"),      cb(3, 0, 0, ""),          cb(4, 0x1234, 0, "engine says"),
                     cb(7, 0, 0, "old"),     cb(9, 11, 22, "bad.txt"), cb(10, 0x10005, 0, "exists.txt"),
                     cb(11, 0x0207, 3, "s"), cb(12, 0, 0, "member"),   cb(13, 0, 100, ""),
                     cb(99, 5, 6, "odd"),    cb(0, 5, 6, "none")};
    writeFile(path(QStringLiteral("b.zip")), emptyZipWithComment(""));
    archiver.SetZipFileName(path(QStringLiteral("b.zip")));
    archiver.Extract();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("progress 3  3"), QStringLiteral("progress 4  999"),
                                 QStringLiteral("progress 0 dir/f.txt 42"), QStringLiteral("progress 1  10"),
                                 QStringLiteral("progress 2  0"), QStringLiteral("newname old"),
                                 QStringLiteral("crc bad.txt 11 22 1"), QStringLiteral("overwrite exists.txt 1 0 5"),
                                 QStringLiteral("skipped s 2 519"), QStringLiteral("comment member")}));
    EXPECT_EQ(messages, QStringList{QStringLiteral("engine says")});
    EXPECT_EQ(codes, QList<int>{0x1234});
    EXPECT_EQ(archiver.LastErrorMessage(), QStringLiteral("engine says"));
    EXPECT_EQ(archiver.LastErrorCode(), 0x07);  // the skip's code came last
    const auto& replies = unzip->replies;
    EXPECT_STREQ(replies[6].text, "renamed.txt");
    EXPECT_EQ(replies[6].arg1, 1);
    EXPECT_EQ(replies[7].arg1, 0);  // DoExtract false
    EXPECT_EQ(replies[8].arg2, 1);
    EXPECT_STREQ(replies[10].text, "note");
    EXPECT_EQ(replies[10].arg1, 1);
    EXPECT_EQ(replies[10].arg2, 4);
    EXPECT_EQ(replies[11].arg1, 1);  // no memory handed out
    EXPECT_EQ(replies[12].arg1, 5);  // unknown codes change nothing
    EXPECT_EQ(replies[12].arg2, 6);
    for (int32_t ret : unzip->returns) {
        EXPECT_EQ(ret, 0);
    }
}

TEST_F(RecordingTest, CallbacksWithoutHandlers) {
    archiver.OnPasswordError = nullptr;
    unzip->script = {cb(9, 1, 2, "f"), cb(10, 0, 0x2A, "f"), cb(7, 0, 9, "f"), cb(8, 0, 4, "f")};
    archiver.Extract();
    const auto& replies = unzip->replies;
    EXPECT_EQ(replies[0].arg1, 2);
    EXPECT_EQ(replies[1].arg2, 0x2A);
    EXPECT_EQ(replies[2].arg1, 0);
    EXPECT_EQ(replies[3].arg1, 0);  // no password offered
    EXPECT_EQ(replies[3].arg2, 0);
}

TEST_F(RecordingTest, PasswordRequests) {
    TPasswordButton answer = TPasswordButton::mbOK;
    unsigned repeatGiven = 20;
    QString offered = QStringLiteral("다른암호");
    bool zipFlag = false;
    archiver.OnPasswordError = [&](TArchiver*, bool isZip, QString& pw, const QString& forFile, unsigned& repeat,
                                   TPasswordButton& action) {
        zipFlag = isZip;
        EXPECT_EQ(forFile, QStringLiteral("TKFile.rtf"));
        pw = offered;
        repeat = repeatGiven;
        action = answer;
    };
    unzip->script = {cb(8, 0, 1, "TKFile.rtf", 1)};
    archiver.Extract();
    EXPECT_TRUE(zipFlag);
    EXPECT_STREQ(unzip->replies[0].text, "다른암호");
    EXPECT_EQ(unzip->replies[0].arg1, 1);
    EXPECT_EQ(unzip->replies[0].arg2, 15);

    answer = TPasswordButton::mbCancelAll;
    archiver.Extract();
    EXPECT_EQ(unzip->replies[0].arg1, 0);  // the password is discarded
    EXPECT_EQ(unzip->replies[0].arg2, 0);
    EXPECT_EQ(unzip->replies[0].actionCode, 0);
    EXPECT_EQ(unzip->returns[0], 0);

    answer = TPasswordButton::mbAbort;
    unzip->script = {cb(8, 0, 1, "TKFile.rtf"), cb(2, 0, 1, "")};
    archiver.Extract();
    EXPECT_EQ(unzip->returns, (std::vector<int32_t>{-1, -1}));
    EXPECT_FALSE(archiver.CancelRequested());  // cleared at the end of the run
}

TEST_F(RecordingTest, ASecondExtractStartedFromACallbackReturnsAtOnce) {
    int nested = 0;
    archiver.OnProgress = [&](TArchiver* sender, ProgressType, const QString&, int) {
        ++nested;
        EXPECT_TRUE(sender->ExtractRunning());
        sender->Extract();
    };
    unzip->script = {cb(3, 0, 0, "")};
    archiver.Extract();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(unzip->calls, 1);
    EXPECT_FALSE(archiver.ExtractRunning());
}

}  // namespace
}  // namespace tk::test
