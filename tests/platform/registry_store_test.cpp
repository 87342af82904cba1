#include "platform/registry_store.h"
#include "test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tk;

namespace {
const QString kBook = QStringLiteral("Software\\TOMEKEEP\\Book");
const QString kColor = QStringLiteral("Software\\TOMEKEEP\\Color");
}  // namespace

TEST(RegistryStore, KindsSurviveARoundTrip) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/registry.reg");
    RegistryStore store(path);
    ASSERT_TRUE(store.load());  // a missing file is an empty store
    store.writeString(kBook, "List", QStringLiteral("/home/me/LIST/일기/\"q\"\\"));
    store.writeInteger(kBook, "0Width", 460);
    store.writeBool(kBook, "DeleteFile", true);
    store.writeInteger(kColor, "ListWindowColor", 0x00800000);
    ASSERT_TRUE(store.save()) << store.errorString().toStdString();

    const QString text = QString::fromUtf8(tk::test::readFile(path));
    EXPECT_TRUE(text.contains("[Software\\TOMEKEEP\\Book]"));
    EXPECT_TRUE(text.contains("\"0Width\"=dword:000001cc"));
    EXPECT_TRUE(text.contains("\"DeleteFile\"=\"1\""));

    RegistryStore again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString(kBook, "List", {}), QStringLiteral("/home/me/LIST/일기/\"q\"\\"));
    EXPECT_EQ(again.readInteger(kBook, "0Width", 0), 460u);
    EXPECT_TRUE(again.readBool(kBook, "DeleteFile", false));
    EXPECT_EQ(again.readInteger(kColor, "ListWindowColor", 0), 0x00800000u);
    EXPECT_EQ(again.value(kBook, "0Width")->kind, RegistryStore::Kind::Dword);
}

TEST(RegistryStore, NumbersStoredAsStringsStayStrings) {
    RegistryStore store(QStringLiteral("/nonexistent/unused.reg"));
    ASSERT_TRUE(
        store.parse("[Software\\TOMEKEEP\\Color]\n\"ListFontColor\"=\"255\"\n\"Bad\"=\"red\"\n"
                    "\"Negative\"=\"-2147483643\"\n"));
    EXPECT_EQ(store.readInteger(kColor, "ListFontColor", 7), 255u);
    EXPECT_EQ(store.readInteger(kColor, "Bad", 7), 7u);
    EXPECT_EQ(store.readInteger(kColor, "Negative", 7), 0x80000005u);
    EXPECT_EQ(store.readInteger(kColor, "Absent", 7), 7u);
    store.writeInteger(kColor, "ListFontColor", 255);
    EXPECT_EQ(store.value(kColor, "ListFontColor")->kind, RegistryStore::Kind::String);
    EXPECT_TRUE(store.serialize().contains("\"ListFontColor\"=\"255\""));
    // Truth values read as numbers: any non-zero is on.
    ASSERT_TRUE(store.parse("[K]\n\"A\"=\"0\"\n\"B\"=\"2\"\n\"C\"=dword:00000001\n"));
    EXPECT_FALSE(store.readBool("K", "A", true));
    EXPECT_TRUE(store.readBool("K", "B", false));
    EXPECT_TRUE(store.readBool("K", "C", false));
}

TEST(RegistryStore, AnUnreadableFileIsKeptAsideAndDefaultsApply) {
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.reg");
    tk::test::writeFile(path, "[Software\\TOMEKEEP\\Book]\n\"List\"=unquoted\n");
    RegistryStore store(path);
    EXPECT_FALSE(store.load());
    EXPECT_TRUE(QFile::exists(path + ".bad"));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(store.readString(kBook, "List", "default"), "default");
    for (const char* broken : {"\"x\"=\"1\"\n", "[Unclosed\n", "[K]\n\"x\"=dword:zz\n", "[K]\n\"x\"=\"open\n"}) {
        EXPECT_FALSE(store.parse(broken)) << broken;
    }
}

TEST(RegistryStore, LineBreaksInValuesReadBackExactly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.reg");
    // A category folder may be named with a line break. This was a settings file cut at the break:
    // it could not be read back, was put aside, and the listed category was lost.
    const QString folder = QStringLiteral("/home/me/LIST/여행\n2024/");
    const QString odd = QStringLiteral("a\r\nb\\nc\\\\n");
    RegistryStore store(path);
    store.writeString(kBook, "List", folder);
    store.writeString(kBook, "Name", odd);
    ASSERT_TRUE(store.save()) << store.errorString().toStdString();
    EXPECT_EQ(QString::fromUtf8(tk::test::readFile(path)).count(u'\n'), 5);  // header, blank, section, two values

    RegistryStore again(path);
    ASSERT_TRUE(again.load()) << again.errorString().toStdString();
    EXPECT_EQ(again.readString(kBook, "List", {}), folder);
    EXPECT_EQ(again.readString(kBook, "Name", {}), odd);
    EXPECT_FALSE(QFile::exists(path + ".bad"));
}
