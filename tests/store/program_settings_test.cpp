// The program's settings read from and written to the settings file's registry form.
#include "store/program_settings.h"
#include "platform/registry_store.h"
#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tk;

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00\n");

RegistryStore parsed(const QString& text) {
    RegistryStore store(QStringLiteral("/nonexistent/registry.reg"));
    EXPECT_TRUE(store.parse(kHeader + text)) << text.toStdString();
    return store;
}

ProgramSettings unusual(const QString& listDir) {
    ProgramSettings s;
    s.listWindowColor = 0x00123456;
    s.listFontColor = 0x80000008;
    s.editWindowColor = 0x00FFFFFF;
    s.editFontColor = 0;
    s.listDir = listDir;
    s.categoryName = QStringLiteral("여행 \"사진\" \\ 모음");
    s.columnWidths = {300, 4000, 0};
    s.deleteToTrash = false;
    s.wordWrap = false;
    s.editorOnTop = true;
    return s;
}

TEST(ProgramSettings, AbsentValuesKeepWhatTheProgramHas) {
    QTemporaryDir dir;
    const QString library = dir.path() + QStringLiteral("/LIST/");
    ASSERT_TRUE(QDir().mkpath(library + QStringLiteral("일기")));
    ProgramSettings current = unusual(library + QStringLiteral("일기/"));
    const ProgramSettings read = readSettings(parsed({}), current, library);
    // Staying on top is off unless the settings say otherwise, whatever the window had.
    current.editorOnTop = false;
    EXPECT_EQ(read, current);

    // Defaults of a first start: nothing listed yet.
    EXPECT_EQ(readSettings(parsed({}), ProgramSettings{}, library), ProgramSettings{});
}

TEST(ProgramSettings, ARoundTripKeepsEveryValue) {
    QTemporaryDir dir;
    const QString list = dir.path() + QStringLiteral("/LIST/일기/");
    ASSERT_TRUE(QDir().mkpath(list));
    const ProgramSettings written = unusual(list);
    RegistryStore store(dir.path() + QStringLiteral("/registry.reg"));
    writeSettings(store, written);
    ASSERT_TRUE(store.save()) << store.errorString().toStdString();

    RegistryStore again(dir.path() + QStringLiteral("/registry.reg"));
    ASSERT_TRUE(again.load()) << again.errorString().toStdString();
    EXPECT_EQ(readSettings(again, ProgramSettings{}, dir.path() + QStringLiteral("/LIST/")), written);
}

TEST(ProgramSettings, AListFolderThatIsGoneIsIgnoredWithItsName) {
    QTemporaryDir dir;
    const QString library = dir.path() + QStringLiteral("/LIST/");
    ASSERT_TRUE(QDir().mkpath(library + QStringLiteral("분류/여행")));
    tk::test::writeFile(library + QStringLiteral("afile"), "not a folder");
    for (const QString& gone :
         QStringList{library + QStringLiteral("deleted/"), library + QStringLiteral("afile"), QString(), library,
                     library + QStringLiteral("../../"), QStringLiteral("/elsewhere/LIST/../../분류/")}) {
        const RegistryStore store = parsed(QStringLiteral("[Software\\TOMEKEEP\\Book]\n\"List\"=\"%1\"\n"
                                                          "\"Name\"=\"지운 분류\"\n")
                                               .arg(gone));
        ProgramSettings current;
        current.listDir = library + QStringLiteral("kept/");
        current.categoryName = QStringLiteral("지금 분류");
        const ProgramSettings read = readSettings(store, current, library);
        EXPECT_EQ(read.listDir, current.listDir) << gone.toStdString();
        EXPECT_EQ(read.categoryName, current.categoryName);
    }

    // An existing folder of the library is taken with a trailing "/", and its name with it.
    const RegistryStore store = parsed(QStringLiteral("[Software\\TOMEKEEP\\Book]\n\"List\"=\"%1\"\n"
                                                      "\"Name\"=\"분류\"\n")
                                           .arg(library + QStringLiteral("분류")));
    const ProgramSettings read = readSettings(store, ProgramSettings{}, library);
    EXPECT_EQ(read.listDir, library + QStringLiteral("분류/"));
    EXPECT_EQ(read.categoryName, QStringLiteral("분류"));
}

// The settings outlive a library: after the program folder moved, or with another library in
// use, the remembered category of the old one is found again in this one, and never listed from
// the old place, where new entries would go unseen.
TEST(ProgramSettings, ACategoryOfAnotherLibraryIsTakenHere) {
    QTemporaryDir dir;
    const QString library = dir.path() + QStringLiteral("/new/LIST/");
    const QString old = dir.path() + QStringLiteral("/old/LIST/");
    ASSERT_TRUE(QDir().mkpath(library + QStringLiteral("일기/여행")));
    ASSERT_TRUE(QDir().mkpath(old + QStringLiteral("일기/여행")));
    ASSERT_TRUE(QDir().mkpath(old + QStringLiteral("편지")));
    auto read = [&](const QString& stored) {
        const RegistryStore store = parsed(QStringLiteral("[Software\\TOMEKEEP\\Book]\n\"List\"=\"%1\"\n"
                                                          "\"Name\"=\"여행\"\n")
                                               .arg(stored));
        return readSettings(store, ProgramSettings{}, library);
    };
    EXPECT_EQ(read(old + QStringLiteral("일기/여행/")).listDir, library + QStringLiteral("일기/여행/"));
    EXPECT_EQ(read(old + QStringLiteral("일기/여행/")).categoryName, QStringLiteral("여행"));
    // Gone from the old place too: still found here.
    EXPECT_EQ(read(QStringLiteral("/media/usb/LIST/일기/여행")).listDir, library + QStringLiteral("일기/여행/"));
    // A category this library does not have is not listed.
    EXPECT_EQ(read(old + QStringLiteral("편지/")).listDir, QString());
    EXPECT_EQ(read(old + QStringLiteral("편지/")).categoryName, QString());
}

TEST(ProgramSettings, StoredFormsOfNumbersAndTruthValues) {
    RegistryStore store =
        parsed(QStringLiteral("[Software\\TOMEKEEP\\Color]\n"
                              "\"ListWindowColor\"=\"255\"\n"
                              "\"ListFontColor\"=\"navy\"\n"
                              "\"EditWindowColor\"=dword:80000005\n"
                              "[Software\\TOMEKEEP\\Book]\n"
                              "\"0Width\"=dword:00001000\n"
                              "\"1Width\"=\"4001\"\n"
                              "\"2Width\"=dword:00000fa0\n"
                              "\"DeleteFile\"=\"0\"\n"
                              "[Software\\TOMEKEEP\\Edit]\n"
                              "\"WordWrap\"=dword:00000002\n"
                              "\"OnTop\"=\"1\"\n"));
    ProgramSettings current;
    current.listFontColor = 0x00ABCDEF;
    const ProgramSettings read = readSettings(store, current, QString());
    EXPECT_EQ(read.listWindowColor, 255u);       // pure red, from its decimal text
    EXPECT_EQ(read.listFontColor, 0x00ABCDEFu);  // text that is no number keeps the current colour
    EXPECT_EQ(read.editWindowColor, 0x80000005u);
    // Wider than any screen is a damaged value, not a choice: the width stays as it is. This was a
    // column 4,000 pixels wide.
    EXPECT_EQ(read.columnWidths, (std::array<quint32, 3>{460, 100, 4000}));
    EXPECT_FALSE(read.deleteToTrash);
    EXPECT_TRUE(read.wordWrap);
    EXPECT_TRUE(read.editorOnTop);

    writeSettings(store, read);
    const QString text = store.serialize();
    // A colour stored as text stays text; new numbers are numbers; truth values are "0" and "1".
    EXPECT_TRUE(text.contains(QStringLiteral("\"ListWindowColor\"=\"255\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"EditFontColor\"=dword:80000008\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"0Width\"=dword:000001cc\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"1Width\"=\"100\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"DeleteFile\"=\"0\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"WordWrap\"=\"1\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"OnTop\"=\"1\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"List\"=\"\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"Name\"=\"\"\n")));
}

TEST(ProgramSettings, ColoursThatAreNoneKeepTheCurrentOnes) {
    const RegistryStore store =
        parsed(QStringLiteral("[Software\\TOMEKEEP\\Color]\n"
                              "\"ListWindowColor\"=dword:01000000\n"
                              "\"ListFontColor\"=dword:8000001f\n"
                              "\"EditWindowColor\"=dword:8000001e\n"
                              "\"EditFontColor\"=\"-1\"\n"));
    const ProgramSettings read = readSettings(store, ProgramSettings{}, QString());
    // This was 0x01000000 shown as black: only the low 24 bits were looked at.
    EXPECT_EQ(read.listWindowColor, 0x00800000u);
    EXPECT_EQ(read.listFontColor, 0x00C0C0C0u);
    EXPECT_EQ(read.editWindowColor, 0x8000001Eu);  // the last system colour
    EXPECT_EQ(read.editFontColor, 0x80000008u);
    EXPECT_TRUE(isStoredColor(0x00FFFFFF));
    EXPECT_FALSE(isStoredColor(0x7FFFFFFF));
}

}  // namespace
