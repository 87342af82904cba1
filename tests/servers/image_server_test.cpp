#include "platform/object_server_plugin.h"
#include "platform/ole_objects.h"
#include "platform/shell_open.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"
#include "test_support.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace tk;
using namespace tk::ole;

namespace {

const QString kData = QStringLiteral(TK_TEST_DATA "/objects/");

// The test picture: 200 x 100 pixels at 96 dots per inch, red on the left half, blue on the right.
QImage halves() {
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 0));
    for (int y = 0; y < 100; ++y) {
        for (int x = 100; x < 200; ++x) {
            image.setPixel(x, y, qRgb(0, 0, 255));
        }
    }
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 95)) << format;
    return bytes;
}

quint32 crc32(QByteArrayView data) {
    quint32 crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
    }
    return ~crc;
}

bool near(QRgb pixel, QRgb expected) {
    return qAbs(qRed(pixel) - qRed(expected)) < 40 && qAbs(qGreen(pixel) - qGreen(expected)) < 40 &&
           qAbs(qBlue(pixel) - qBlue(expected)) < 40 && qAlpha(pixel) > 200;
}

// Red in the left quarter, blue in the right quarter, whatever size the picture was drawn at.
void expectHalves(const QImage& image) {
    ASSERT_FALSE(image.isNull());
    const int y = image.height() / 2;
    EXPECT_TRUE(near(image.pixel(image.width() / 4, y), qRgb(255, 0, 0)))
        << std::hex << image.pixel(image.width() / 4, y);
    EXPECT_TRUE(near(image.pixel(image.width() * 3 / 4, y), qRgb(0, 0, 255)))
        << std::hex << image.pixel(image.width() * 3 / 4, y);
}

class ImageServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString plugin = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(kImageServerLibrary);
        QString error;
        ASSERT_EQ(loadObjectServerPlugin(plugin, servers, &error), PluginLoad::Registered) << error.toStdString();
        ASSERT_TRUE(scratch.isValid());
        servers.setScratchDir(scratch.path() + u'/');
    }
    void TearDown() override { setShellLauncher({}); }

    // An object of the picture class with the picture file loaded by the editor's four calls.
    std::unique_ptr<OleObject> insert(const QString& path, HRESULT* failed = nullptr) {
        changes = 0;
        HRESULT hr = E_FAIL;
        std::unique_ptr<OleObject> object = servers.create(QString::fromLatin1(kImageClassName), &hr);
        EXPECT_EQ(hr, S_OK);
        if (!object) {
            return nullptr;
        }
        object->changed = [this] { ++changes; };
        auto* image = static_cast<IQEImage*>(object->queryInterface(IID_IQEImage));
        EXPECT_NE(image, nullptr);
        EXPECT_EQ(image->SetUpdating(true), S_OK);
        const HRESULT loaded = image->LoadFromFile(path);
        if (failed) {
            *failed = loaded;
        }
        EXPECT_EQ(changes, 0) << "a change was shown while updating";
        EXPECT_EQ(image->SetUpdating(false), S_OK);
        EXPECT_EQ(image->SetAutoSize(true), S_OK);
        return object;
    }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = scratch.filePath(name);
        test::writeFile(path, bytes);
        return path;
    }

    ObjectServers servers;
    QTemporaryDir scratch;
    int changes = 0;
};

TEST_F(ImageServerTest, ClassIsRegisteredWithKoreanNames) {
    const ServerClass* c = servers.find(QString::fromLatin1(kImageClassName));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->fullTypeName, QStringLiteral("그림"));
    EXPECT_EQ(servers.find(c->classId.toString(QUuid::WithBraces)), c);
    auto object = servers.create(QStringLiteral("zizazidi.qeimage"));
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->verbs().size(), 1);
    EXPECT_EQ(object->verbs().first().name, QStringLiteral("열기(&O)"));
}

// Every format the picture dialog offers shows its pixels and takes its natural size.
TEST_F(ImageServerTest, EveryFormatLoadsShowsItsPixelsAndSizesItself) {
    const QImage picture = halves();
    const QByteArray bmp = encoded(picture, "BMP");
    const struct {
        const char* name;
        QByteArray bytes;
        QSize twips;
    } cases[] = {
        {"a.png", encoded(picture, "PNG"), {3000, 1500}},
        {"a.jpg", encoded(picture, "JPEG"), {3000, 1500}},
        {"a.bmp", bmp, {3000, 1500}},
        {"a.dib", bmp.mid(14), {3000, 1500}},
        {"a.ico", encoded(picture.scaled(64, 32), "ICO"), {960, 480}},
        {"a.gif", test::readFile(kData + "pic.gif"), {3000, 1500}},
        {"a.wmf", test::readFile(kData + "pic.wmf"), {3000, 1500}},
        {"a.emf", test::readFile(kData + "pic.emf"), {3543, 1771}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HRESULT loaded = E_FAIL;
        auto object = insert(write(QString::fromLatin1(c.name), c.bytes), &loaded);
        ASSERT_EQ(loaded, S_OK);
        EXPECT_EQ(changes, 2) << "one change for the picture, one for the size";
        expectHalves(object->picture());
        EXPECT_EQ(object->extentTwips(), c.twips);
    }
}

TEST_F(ImageServerTest, PngAndJpegKeepTheirBytesForTheDocument) {
    const QByteArray png = encoded(halves(), "PNG");
    auto object = insert(write("a.png", png));
    QByteArray kind;
    EXPECT_EQ(object->encodedPicture(&kind), png);
    EXPECT_EQ(kind, "png");
    const QByteArray jpeg = encoded(halves(), "JPEG");
    object = insert(write("a.jpg", jpeg));
    EXPECT_EQ(object->encodedPicture(&kind), jpeg);
    EXPECT_EQ(kind, "jpeg");
    object = insert(write("a.bmp", encoded(halves(), "BMP")));
    EXPECT_TRUE(object->encodedPicture(&kind).isEmpty());
}

TEST_F(ImageServerTest, FilesThatAreNotPicturesFail) {
    HRESULT hr = S_OK;
    auto object = insert(write("text.png", "this is no picture at all"), &hr);
    EXPECT_EQ(hr, CTL_E_INVALIDPICTURE);
    insert(scratch.filePath("missing.png"), &hr);
    EXPECT_EQ(hr, STG_E_FILENOTFOUND);
    // A PNG cut off after its header: its size is known, its pixels are not there.
    insert(write("cut.png", encoded(halves(), "PNG").left(60)), &hr);
    EXPECT_EQ(hr, CTL_E_INVALIDPICTURE);
    EXPECT_FALSE(errorText(CTL_E_INVALIDPICTURE).isEmpty());
}

// A picture that declares more pixels than may be decoded is refused before anything is allocated,
// and so is a file past the size cap.
TEST_F(ImageServerTest, HugePicturesAreRefused) {
    QByteArray png = encoded(QImage(1, 1, QImage::Format_RGB32), "PNG");
    // IHDR's width and height follow the signature (8), the chunk length (4) and its type (4); its
    // check sum covers the type and the data.
    qToBigEndian<quint32>(100000, png.data() + 16);
    qToBigEndian<quint32>(100000, png.data() + 20);
    qToBigEndian<quint32>(crc32(QByteArrayView(png).sliced(12, 17)), png.data() + 29);
    HRESULT hr = S_OK;
    insert(write("huge.png", png), &hr);
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    QByteArray dib = encoded(QImage(1, 1, QImage::Format_RGB32), "BMP").mid(14);
    qToLittleEndian<qint32>(100000, dib.data() + 4);
    qToLittleEndian<qint32>(100000, dib.data() + 8);
    insert(write("huge.dib", dib), &hr);
    EXPECT_EQ(hr, E_OUTOFMEMORY);

    QFile big(scratch.filePath("big.bmp"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize((qint64(64) << 20) + 1));  // sparse: takes no disk
    big.close();
    insert(big.fileName(), &hr);
    EXPECT_EQ(hr, E_OUTOFMEMORY);
}

TEST_F(ImageServerTest, PictureObjectsAreSmallerThan22Inches) {
    QImage wide(4000, 100, QImage::Format_RGB32);
    wide.fill(Qt::green);
    wide.setDotsPerMeterX(3780);
    wide.setDotsPerMeterY(3780);
    auto object = insert(write("wide.png", encoded(wide, "PNG")));
    EXPECT_EQ(object->extentTwips(), QSize(31680, 792));
}

TEST_F(ImageServerTest, StoredDataLoadsIntoANewObject) {
    auto object = insert(write("a.gif", test::readFile(kData + "pic.gif")));
    const QByteArray stored = object->save();
    auto again = servers.create(QString::fromLatin1(kImageClassName));
    ASSERT_EQ(again->load(stored), S_OK);
    expectHalves(again->picture());
    EXPECT_EQ(again->extentTwips(), object->extentTwips());
    EXPECT_EQ(again->save(), stored);
}

// A picture object goes through a document with its picture file in it once, and its stored data
// read back loads into a new object that shows the same picture.
TEST_F(ImageServerTest, PictureObjectsGoThroughADocumentWithTheirFileOnce) {
    for (const char* format : {"PNG", "JPEG"}) {
        SCOPED_TRACE(format);
        const QByteArray file = encoded(halves(), format);
        auto object = insert(write(QStringLiteral("a.") + QString::fromLatin1(format).toLower(), file));
        QByteArray kind;
        ASSERT_EQ(object->encodedPicture(&kind), file);
        QTextDocument document;
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("object:1")), object->picture());
        QTextImageFormat character;
        character.setName(QStringLiteral("object:1"));
        character.setWidth(200);
        character.setHeight(100);
        character.setProperty(richformat::ObjectClass, object->className());
        character.setProperty(richformat::ObjectData, object->save());
        character.setProperty(richformat::PictureKind,
                              int(kind == "png" ? richformat::PictureType::Png : richformat::PictureType::Jpeg));
        character.setProperty(richformat::PictureData, file);
        QTextCursor(&document).insertImage(character);

        const QByteArray rtf = rtf::writeRtf(document);
        EXPECT_LT(rtf.size(), file.size() * 2 + file.size() / 16 + 1024);
        QTextDocument read;
        QTextCursor cursor(&read);
        ASSERT_EQ(rtf::readRtf(rtf, cursor), rtf::RtfError::None);
        cursor.setPosition(1);
        const QByteArray stored = cursor.charFormat().property(richformat::ObjectData).toByteArray();
        EXPECT_EQ(stored, object->save());
        auto again = servers.create(QString::fromLatin1(kImageClassName));
        ASSERT_EQ(again->load(stored), S_OK);
        expectHalves(again->picture());
        EXPECT_EQ(again->extentTwips(), object->extentTwips());
    }
}

// A damaged document's picture shows a framed box; its data is kept as it was, so saving the
// document again loses nothing.
TEST_F(ImageServerTest, DamagedStoredDataShowsABoxAndIsKept) {
    auto object = insert(write("a.png", encoded(halves(), "PNG")));
    QByteArray stored = object->save();
    stored.truncate(stored.size() - 100);
    const QByteArray lying = QByteArray(object->save()).replace(28, 4, QByteArray("\xff\xff\xff\x7f", 4));
    for (const QByteArray& data : {stored, lying, QByteArray("TKQI"), QByteArray()}) {
        auto damaged = servers.create(QString::fromLatin1(kImageClassName));
        EXPECT_EQ(damaged->load(data), S_OK);
        const QImage box = damaged->picture();
        ASSERT_FALSE(box.isNull());
        EXPECT_EQ(box.pixel(0, 0), qRgb(128, 128, 128));
        EXPECT_EQ(box.pixel(box.width() / 2, box.height() / 2), qRgb(255, 255, 255));
        EXPECT_EQ(damaged->save(), data);
    }
}

TEST_F(ImageServerTest, OpenWritesThePictureBelowTheScratchFolderAndLaunchesIt) {
    const QByteArray png = encoded(halves(), "PNG");
    auto object = insert(write("a.png", png));
    QList<QUrl> launched;
    setShellLauncher([&](const QUrl& url) {
        launched.append(url);
        return true;
    });
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), S_OK);
    ASSERT_EQ(launched.size(), 1);
    const QString path = launched.first().toLocalFile();
    EXPECT_TRUE(path.startsWith(scratch.path() + u'/')) << path.toStdString();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/그림.png"))) << path.toStdString();
    EXPECT_EQ(test::readFile(path), png);

    servers.setScratchDir(scratch.filePath("gone/"));
    EXPECT_EQ(object->doVerb(OLEIVERB_PRIMARY, nullptr), STG_E_WRITEFAULT);
    EXPECT_EQ(launched.size(), 1);
}

TEST(ObjectServerPlugin, MissingAndOtherVersionsAreSkipped) {
    ObjectServers servers;
    EXPECT_EQ(loadObjectServerPlugin(QStringLiteral("/nonexistent/libtkimageserver.so"), servers), PluginLoad::Missing);
    QString error;
    EXPECT_EQ(loadObjectServerPlugin(QStringLiteral(TK_OLD_SERVER), servers, &error), PluginLoad::WrongVersion);
    EXPECT_TRUE(error.contains(QStringLiteral("version 0"))) << error.toStdString();
    EXPECT_TRUE(servers.classes().empty());
}

// The program's start-up step: the package server always, the picture server from the folder.
TEST(ObjectServerPlugin, StartUpRegistersBothServers) {
    ObjectServers servers;
    startObjectServers(servers, QCoreApplication::applicationDirPath(), QStringLiteral("/scratch/"));
    EXPECT_NE(servers.find(QString::fromLatin1(kPackageClassName)), nullptr);
    EXPECT_NE(servers.find(QString::fromLatin1(kImageClassName)), nullptr);
    EXPECT_EQ(servers.host().scratchDir, QStringLiteral("/scratch/"));

    // A program folder whose path holds spaces (and Korean) is no obstacle.
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("내 프로그램 폴더"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + u'/' + QLatin1String(kImageServerLibrary),
                            folder + u'/' + QLatin1String(kImageServerLibrary)));
    ObjectServers spaced;
    startObjectServers(spaced, folder, QStringLiteral("/scratch/"));
    EXPECT_NE(spaced.find(QString::fromLatin1(kImageClassName)), nullptr);

    ObjectServers withoutPlugin;
    QTemporaryDir empty;
    startObjectServers(withoutPlugin, empty.path(), QStringLiteral("/scratch/"));
    EXPECT_NE(withoutPlugin.find(QString::fromLatin1(kPackageClassName)), nullptr);
    EXPECT_EQ(withoutPlugin.find(QString::fromLatin1(kImageClassName)), nullptr);
}

}  // namespace

// A picture object made new (the insert-object dialog's "새로 만들기") asks for its picture when it
// is first shown. This was an empty box left in the document, which no verb could fill.
TEST_F(ImageServerTest, ANewPictureObjectAsksForItsPictureWhenShown) {
    const QByteArray png = encoded(halves(), "PNG");
    const QString path = write("b.png", png);
    QString answer;
    QStringList asked;
    servers.setFileChooser([&](QWidget*, const QString& caption, const QString& filter) {
        asked << caption;
        EXPECT_TRUE(filter.contains(QStringLiteral("*.png")));
        return answer;
    });
    HRESULT hr = E_FAIL;
    auto object = servers.create(QString::fromLatin1(kImageClassName), &hr);
    ASSERT_TRUE(object);
    // Cancelled: nothing loaded, and the holder hears S_FALSE so it keeps nothing.
    EXPECT_EQ(object->doVerb(OLEIVERB_SHOW, nullptr), S_FALSE);
    QByteArray kind;
    EXPECT_TRUE(object->encodedPicture(&kind).isEmpty());

    // A file that is no picture says why and fails.
    test::ScriptedMessages messages;
    answer = write("c.png", "not a picture");
    EXPECT_FALSE(succeeded(object->doVerb(OLEIVERB_SHOW, nullptr)));
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.requests()[0].text.contains(QStringLiteral("c.png")));

    answer = path;
    EXPECT_EQ(object->doVerb(OLEIVERB_SHOW, nullptr), S_OK);
    EXPECT_EQ(object->encodedPicture(&kind), png);
    EXPECT_FALSE(object->extentTwips().isEmpty());
    EXPECT_EQ(asked.size(), 3);
}
