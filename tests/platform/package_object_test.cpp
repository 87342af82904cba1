#include "platform/package_object.h"
#include "platform/codepage.h"
#include "platform/object_files.h"
#include "platform/ole_objects.h"
#include "platform/shell_open.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace tk;
using namespace tk::ole;

namespace {

// This was true on 64-bit builds: the codes were 64-bit longs, so every failure code was positive.
TEST(ResultCodes, FailuresAreNotSuccesses) {
    for (HRESULT hr : {E_FAIL, E_NOTIMPL, E_OUTOFMEMORY, E_INVALIDARG, REGDB_E_CLASSNOTREG, CTL_E_INVALIDPICTURE}) {
        EXPECT_FALSE(succeeded(hr)) << std::hex << hr;
    }
    EXPECT_TRUE(succeeded(S_OK));
    EXPECT_TRUE(succeeded(S_FALSE));
}

class PackageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        scratch = dir.filePath(QStringLiteral("scratch/"));
        ASSERT_TRUE(QDir().mkpath(scratch));
        servers.setScratchDir(scratch);
        registerPackageServer(servers);
        setShellLauncher([this](const QUrl& url) {
            launched.append(url.toLocalFile());
            return true;
        });
    }
    void TearDown() override { setShellLauncher({}); }

    std::unique_ptr<OleObject> embed(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        test::writeFile(path, bytes);
        HRESULT hr = E_FAIL;
        std::unique_ptr<OleObject> object = servers.createFromFile(path, &hr);
        EXPECT_EQ(hr, S_OK);
        return object;
    }

    QTemporaryDir dir;
    QString scratch;
    ObjectServers servers;
    QStringList launched;
};

TEST_F(PackageTest, AFileRoundTripsThroughItsStoredData) {
    const QByteArray bytes("내용\0with a NUL", 17);
    auto object = embed(QStringLiteral("보고서 2024.txt"), bytes);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->className(), QStringLiteral("Package"));
    EXPECT_EQ(object->fullTypeName(), QStringLiteral("패키지"));
    const QByteArray stored = object->save();
    // The classic layout: signature 2, then the label in the code page.
    EXPECT_EQ(qFromLittleEndian<quint16>(stored.constData()), 2);
    EXPECT_TRUE(stored.mid(2).startsWith(codepage::toAnsiBestEffort(QStringLiteral("보고서 2024.txt"))));

    auto again = servers.create(QStringLiteral("Package"));
    ASSERT_EQ(again->load(stored), S_OK);
    const auto& contents = static_cast<PackageObject&>(*again).contents();
    EXPECT_EQ(contents.label, QStringLiteral("보고서 2024.txt"));
    EXPECT_EQ(contents.sourcePath, dir.filePath(QStringLiteral("보고서 2024.txt")));
    EXPECT_EQ(contents.data, bytes);
    EXPECT_EQ(again->save(), stored);
    EXPECT_FALSE(again->picture().isNull());
    EXPECT_EQ(again->extentTwips(), again->picture().size() * 15);
}

// Names that have no code-page form still come back whole from the UTF-16 part; data written by
// others without that part is read from the code-page names.
TEST_F(PackageTest, NamesComeFromTheUnicodePartWhenThere) {
    const PackageContents contents{QStringLiteral("😀 ☃.txt"), QStringLiteral("/home/u/😀 ☃.txt"), "x"};
    PackageContents read;
    ASSERT_TRUE(decodePackage(encodePackage(contents), &read));
    EXPECT_EQ(read.label, contents.label);
    EXPECT_EQ(read.sourcePath, contents.sourcePath);

    const PackageContents korean{QStringLiteral("한글.txt"), QStringLiteral("C:\\문서\\한글.txt"), "abc"};
    QByteArray stored = encodePackage(korean);
    const qsizetype tail = stored.indexOf("abc") + 3;
    ASSERT_TRUE(decodePackage(stored.left(tail), &read));
    EXPECT_EQ(read.label, korean.label);
    EXPECT_EQ(read.sourcePath, korean.sourcePath);
    EXPECT_EQ(read.data, "abc");
}

TEST_F(PackageTest, HostileStoredDataFailsCleanly) {
    const QByteArray good = encodePackage({QStringLiteral("a.txt"), QStringLiteral("/a.txt"), QByteArray(100, 'x')});
    const qsizetype sizeAt = good.indexOf(QByteArray(100, 'x')) - 4;
    auto lying = [&](qsizetype at, quint32 value) {
        QByteArray data = good;
        qToLittleEndian(value, data.data() + at);
        return data;
    };
    const QByteArray cases[] = {
        {},
        good.left(1),
        good.left(sizeAt + 50),                            // data cut short
        lying(sizeAt, quint32(good.size() - sizeAt - 3)),  // one byte more than there is
        lying(sizeAt, 0xFFFFFFFF),                         // far more
        lying(sizeAt - 10, 0x7FFFFFFF),                    // temporary path longer than everything
        QByteArray("\x02\x00"
                   "no terminator",
                   15),  // label never ends
        lying(0, 3),     // not the signature
    };
    auto object = servers.create(QStringLiteral("Package"));
    const QByteArray before = object->save();
    for (const QByteArray& data : cases) {
        PackageContents read;
        EXPECT_FALSE(decodePackage(data, &read)) << data.toHex().left(80).toStdString();
        EXPECT_EQ(object->load(data), E_INVALIDARG);
        EXPECT_EQ(object->save(), before);
    }
    // A damaged UTF-16 part is ignored, not trusted: the code-page names are kept.
    PackageContents read;
    ASSERT_TRUE(decodePackage(QByteArray(good + QByteArray("\xff\xff\xff\xff", 4)), &read));
    EXPECT_EQ(read.label, QStringLiteral("a.txt"));
}

TEST_F(PackageTest, FilesThatCannotBeEmbeddedFailClearly) {
    HRESULT hr = S_OK;
    EXPECT_EQ(servers.createFromFile(dir.filePath("missing"), &hr), nullptr);
    EXPECT_EQ(hr, STG_E_FILENOTFOUND);
    EXPECT_EQ(servers.createFromFile(dir.path(), &hr), nullptr);
    EXPECT_EQ(hr, STG_E_FILENOTFOUND);
    QFile big(dir.filePath("big.iso"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(kMaxPackageBytes + 1));  // sparse: takes no disk
    big.close();
    EXPECT_EQ(servers.createFromFile(big.fileName(), &hr), nullptr);
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_TRUE(errorText(hr).contains(QStringLiteral("너무 큽니다")));
}

TEST_F(PackageTest, OpenWritesBelowTheScratchFolderAndLaunches) {
    auto object = embed(QStringLiteral("메모.txt"), "hello");
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), S_OK);
    ASSERT_EQ(launched.size(), 1);
    const QString path = launched.first();
    EXPECT_TRUE(path.startsWith(scratch)) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/메모.txt")));
    EXPECT_EQ(test::readFile(path), "hello");
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    // Each opening has a folder of its own, so an open copy is never overwritten.
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), S_OK);
    ASSERT_EQ(launched.size(), 2);
    EXPECT_NE(QFileInfo(launched[0]).path(), QFileInfo(launched[1]).path());
}

// A stored label is outside data: it cannot place the file anywhere but in its own folder.
TEST_F(PackageTest, HostileLabelsStayInsideTheScratchFolder) {
    auto object = servers.create(QStringLiteral("Package"));
    for (const QString& label : {QStringLiteral("../../escape.txt"), QStringLiteral(".."),
                                 QStringLiteral("..\\..\\x.txt"), QStringLiteral("a\nb\x01.txt"), QString()}) {
        launched.clear();
        ASSERT_EQ(object->load(encodePackage({label, QStringLiteral("/etc/passwd"), "data"})), S_OK);
        ASSERT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), S_OK) << label.toStdString();
        ASSERT_EQ(launched.size(), 1);
        const QString path = launched.first();
        EXPECT_EQ(QFileInfo(QFileInfo(path).path()).path() + u'/', scratch) << path.toStdString();
        EXPECT_FALSE(QFileInfo(path).fileName().contains(u'\n'));
        EXPECT_EQ(test::readFile(path), "data");
    }
    EXPECT_EQ(sanitizedFileName(QStringLiteral("../../escape.txt"), QStringLiteral("f")), QStringLiteral("escape.txt"));
    EXPECT_EQ(sanitizedFileName(QStringLiteral("a/.."), QStringLiteral("f")), QStringLiteral("f"));
}

TEST_F(PackageTest, AProgramIsOpenedOnlyAfterTheUserAgreed) {
    auto object = embed(QStringLiteral("setup.sh"), "#!/bin/sh\necho hi\n");
    test::ScriptedMessages messages;
    messages.queue(MsgAnswer::No);
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), S_FALSE);
    EXPECT_TRUE(launched.isEmpty());
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("setup.sh")));

    messages.queue(MsgAnswer::Yes);
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), S_OK);
    EXPECT_EQ(launched.size(), 1);
}

TEST_F(PackageTest, OpeningWithoutAScratchFolderFails) {
    auto object = embed(QStringLiteral("a.txt"), "x");
    servers.setScratchDir(dir.filePath(QStringLiteral("missing/")));
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), STG_E_WRITEFAULT);
    EXPECT_TRUE(launched.isEmpty());
}

}  // namespace
