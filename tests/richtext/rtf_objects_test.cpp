#include "platform/package_object.h"
#include "richtext/embedded_stream.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"
#include "rtf_test_support.h"
#include "test_support.h"

#include <QBuffer>
#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

using namespace tk;
using namespace tk::richformat;

namespace {

const QString kData = QStringLiteral(TK_TEST_DATA "/objects/");

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes;
}

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// An image character as the rich edit window makes one for a new object: class, native data, the
// shown picture as a resource, and its kept bytes when the server gave them.
QTextImageFormat objectFormat(QTextDocument& document, const QString& name, const QString& className,
                              const QByteArray& native, const QImage& shown, const QByteArray& pngBytes) {
    document.addResource(QTextDocument::ImageResource, QUrl(name), shown);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(shown.width());
    format.setHeight(shown.height());
    format.setProperty(ObjectClass, className);
    format.setProperty(ObjectData, native);
    format.setProperty(PictureKind, int(pngBytes.isEmpty() ? PictureType::None : PictureType::Png));
    if (!pngBytes.isEmpty()) {
        format.setProperty(PictureData, pngBytes);
    }
    return format;
}

QTextImageFormat imageAt(const QTextDocument& document, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(position + 1);
    return cursor.charFormat().toImageFormat();
}

QImage shownImage(const QTextDocument& document, const QTextImageFormat& format) {
    return document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
}

TEST(RtfObjects, PictureAndPackageObjectsRoundTrip) {
    QTextDocument document;
    QTextCursor cursor(&document);
    const QImage blue = solid({100, 50}, QColor(20, 60, 200));
    const QByteArray blueBytes = png(blue);
    const QByteArray imageNative("TKQI-native-data\0\x01\x02", 19);
    const QByteArray packageNative =
        ole::encodePackage({QStringLiteral("메모.txt"), QStringLiteral("/home/u/메모.txt"), "hello"});
    const QImage icon = solid({128, 80}, Qt::white);
    cursor.insertText(QStringLiteral("그림 "));
    cursor.insertImage(
        objectFormat(document, "obj:1", QLatin1String(ole::kImageClassName), imageNative, blue, blueBytes));
    cursor.insertText(QStringLiteral(" 파일 "));
    cursor.insertImage(objectFormat(document, "obj:2", QLatin1String(ole::kPackageClassName), packageNative, icon, {}));

    const QByteArray rtf = rtf::writeRtf(document);
    EXPECT_TRUE(rtf.contains(
        "{\\object\\objemb{\\*\\objclass ZIZazidi.QEImage}{\\*\\tkobject}\\objw1500\\objh750{\\*\\objdata"));
    EXPECT_TRUE(
        rtf.contains("{\\object\\objemb{\\*\\objclass Package}{\\*\\tkobject}\\objw1920\\objh1200{\\*\\objdata"));
    // The PNG the server kept is the result as it is, not encoded again.
    EXPECT_TRUE(rtf.contains(QByteArray("{\\result{\\pict\\pngblip\\picw100\\pich50\\picwgoal1500\\pichgoal750\r\n" +
                                        blueBytes.left(64).toHex())));

    const auto read = test::readBack(rtf);
    const QTextImageFormat picture = imageAt(*read, 3);
    EXPECT_EQ(picture.stringProperty(ObjectClass), QLatin1String(ole::kImageClassName));
    EXPECT_EQ(picture.property(ObjectData).toByteArray(), imageNative);
    EXPECT_EQ(picture.property(PictureData).toByteArray(), blueBytes);
    EXPECT_DOUBLE_EQ(picture.width(), 100.0);
    EXPECT_DOUBLE_EQ(picture.height(), 50.0);
    EXPECT_EQ(shownImage(*read, picture).pixel(50, 25), blue.pixel(50, 25));

    const QTextImageFormat package = imageAt(*read, 8);
    EXPECT_EQ(package.stringProperty(ObjectClass), QStringLiteral("Package"));
    ole::PackageContents contents;
    ASSERT_TRUE(ole::decodePackage(package.property(ObjectData).toByteArray(), &contents));
    EXPECT_EQ(contents.label, QStringLiteral("메모.txt"));
    EXPECT_EQ(contents.data, "hello");
    EXPECT_EQ(shownImage(*read, package).size(), QSize(128, 80));
    EXPECT_DOUBLE_EQ(package.width(), 128.0);

    // Read back, the objects are untouched: they are written again exactly as they were read.
    EXPECT_EQ(rtf::writeRtf(*read), rtf);
}

TEST(RtfObjects, EmbeddedStreamRoundTrip) {
    const QByteArray native("\x00\x01native\xff", 9);
    const QByteArray stream = rtf::encodeEmbeddedStream(QStringLiteral("Package"), native);
    // Version, format 2, "Package" with its NUL, empty topic and item, the native data's size.
    EXPECT_EQ(stream,
              QByteArray::fromHex("01050000 02000000 08000000 5061636b61676500 00000000 00000000 09000000") + native);
    QString className;
    QByteArray read;
    ASSERT_TRUE(rtf::decodeEmbeddedStream(stream, &className, &read));
    EXPECT_EQ(className, QStringLiteral("Package"));
    EXPECT_EQ(read, native);
}

// Streams cut short or lying about a length are not unwrapped: the reader keeps them as read.
TEST(RtfObjects, HostileEmbeddedStreams) {
    const QByteArray stream = rtf::encodeEmbeddedStream(QStringLiteral("Package"), QByteArray(40, 'n'));
    QString className;
    QByteArray native;
    for (qsizetype cut = 0; cut < stream.size(); ++cut) {
        EXPECT_FALSE(rtf::decodeEmbeddedStream(stream.left(cut), &className, &native)) << cut;
    }
    auto with = [&](int at, QByteArray bytes) { return QByteArray(stream).replace(at, 4, bytes); };
    EXPECT_FALSE(rtf::decodeEmbeddedStream(with(4, QByteArray("\x01\0\0\0", 4)), &className, &native));   // linked
    EXPECT_FALSE(rtf::decodeEmbeddedStream(with(8, "\xff\xff\xff\xff"), &className, &native));            // class name
    EXPECT_FALSE(rtf::decodeEmbeddedStream(with(20, "\xff\xff\xff\x7f"), &className, &native));           // topic
    EXPECT_FALSE(rtf::decodeEmbeddedStream(with(28, QByteArray("\x29\0\0\0", 4)), &className, &native));  // +1
    EXPECT_FALSE(rtf::decodeEmbeddedStream(with(8, QByteArray("\0\0\0\0", 4)), &className, &native));     // no class
    EXPECT_TRUE(className.isEmpty());
    EXPECT_TRUE(native.isEmpty());

    // Such data stays the object's data as read; a whole stream without \objclass names the class.
    const QByteArray lying = with(28, QByteArray("\x29\0\0\0", 4));
    const auto r = test::readBack(QByteArray("{\\rtf1 {\\object\\objemb{\\*\\objdata " + lying.toHex() + "}}" +
                                             "{\\object\\objemb{\\*\\objdata " + stream.toHex() + "}}}"));
    EXPECT_EQ(imageAt(*r, 0).property(ObjectData).toByteArray(), lying);
    EXPECT_EQ(imageAt(*r, 1).property(ObjectData).toByteArray(), QByteArray(40, 'n'));
    EXPECT_EQ(imageAt(*r, 1).stringProperty(ObjectClass), QStringLiteral("Package"));
}

// The 32-byte head a picture server puts before the picture file it keeps.
QByteArray pictureNative(const QByteArray& file) {
    return QByteArray("TKQI\x01\x00\x01\x00", 8) + QByteArray(24, '\x07') + file;
}

QByteArray jpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPEG", 90));
    return bytes;
}

// A document holding one object whose native data ends with its kept picture, and its RTF.
struct PictureObjectDocument {
    QTextDocument document;
    QByteArray native;
    QByteArray picture;
    QByteArray rtf;

    PictureObjectDocument(const QByteArray& file, PictureType kind) : native(pictureNative(file)), picture(file) {
        QTextCursor cursor(&document);
        const QImage shown = QImage::fromData(file);
        QTextImageFormat format =
            objectFormat(document, "obj:1", QLatin1String(ole::kImageClassName), native, shown, file);
        format.setProperty(PictureKind, int(kind));
        cursor.insertText(QStringLiteral("앞 "));
        cursor.insertImage(format);
        cursor.insertText(QStringLiteral(" 뒤"));
        rtf = rtf::writeRtf(document);
    }
};

// Native data that ends with the picture shown has those bytes written once, in the result, and
// read back whole; the group is written anew from what was read, to the same bytes.
TEST(RtfObjects, PictureAtTheEndOfNativeDataIsWrittenOnceAndJoinedBack) {
    QImage gradient(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x) {
            gradient.setPixel(x, y, qRgb(x * 2, y * 3, (x * y) & 255));
        }
    }
    for (const auto& [file, kind] : {std::pair{png(gradient), PictureType::Png}, {jpeg(gradient), PictureType::Jpeg}}) {
        SCOPED_TRACE(int(kind));
        const PictureObjectDocument written(file, kind);
        const QByteArray middle = file.mid(file.size() / 2, 40).toHex();
        EXPECT_EQ(QByteArray(written.rtf).replace("\r\n", "").count(middle), 1) << "the picture is there once";
        EXPECT_TRUE(
            written.rtf.contains(QByteArray("{\\*\\tkobject\\tkresultdata" + QByteArray::number(file.size()) + "}")));
        EXPECT_LT(written.rtf.size(), file.size() * 2 + file.size() / 16 + 1024);

        const auto read = test::readBack(written.rtf);
        const QTextImageFormat object = imageAt(*read, 2);
        EXPECT_EQ(object.property(ObjectData).toByteArray(), written.native);
        EXPECT_EQ(object.property(PictureData).toByteArray(), file);
        EXPECT_EQ(object.stringProperty(ObjectClass), QLatin1String(ole::kImageClassName));
        EXPECT_FALSE(object.hasProperty(ObjectRtf)) << "our own group needs no copy";
        EXPECT_EQ(shownImage(*read, object).size(), QSize(120, 80));
        EXPECT_EQ(rtf::writeRtf(*read), written.rtf);
    }
}

// A marked group whose result picture went missing, was cut or was swapped, or whose count lies,
// still loads: the object shows a framed box or the picture there is, keeps the native data it
// has, and the group is written back as it was read.
TEST(RtfObjects, MarkedObjectsWithDamagedResultsKeepWhatTheyHave) {
    const PictureObjectDocument written(png(solid({60, 40}, QColor(200, 30, 30))), PictureType::Png);
    const QByteArray hex = written.picture.toHex();
    const qsizetype start = written.rtf.indexOf("{\\object");
    const qsizetype resultAt = written.rtf.indexOf("{\\result");
    const qsizetype end = written.rtf.indexOf("}}}", written.rtf.lastIndexOf("{\\pict")) + 3;
    ASSERT_TRUE(start > 0 && resultAt > start && end > resultAt);
    const QByteArray head = written.rtf.mid(start, resultAt - start);
    const QByteArray other = png(solid({30, 20}, Qt::green)).toHex();
    const QByteArray count = "\\tkresultdata" + QByteArray::number(written.picture.size());
    const QByteArray nativeHead = written.native.left(32);
    struct Case {
        const char* what;
        QByteArray group;
        QByteArray nativeRead;  // the object's data as read
        bool box;
        bool keptAsRead;  // else written anew, with the same data
    };
    const Case cases[] = {
        {"no result", head + "}", nativeHead, true, true},
        {"empty result", head + "{\\result}}", nativeHead, true, true},
        {"result cut short", head + "{\\result{\\pict\\pngblip " + hex.left(hex.size() / 2) + "}}}", nativeHead, true,
         true},
        {"another picture", head + "{\\result{\\pict\\pngblip " + other + "}}}", nativeHead, false, true},
        {"count past the data",
         QByteArray(written.rtf.mid(start, end - start)).replace(count, "\\tkresultdata2147483647"), QByteArray(),
         false, true},
        // The bytes there are the picture's as far as the document says: joined, shown as a box.
        {"damaged picture of the right size", head + "{\\result{\\pict\\pngblip " + QByteArray(hex.size(), '0') + "}}}",
         nativeHead + QByteArray(written.picture.size(), '\0'), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = test::readBack(QByteArray("{\\rtf1 a" + c.group + "b}"));
        EXPECT_EQ(read->toPlainText().size(), 3);
        const QTextImageFormat object = imageAt(*read, 1);
        if (!c.nativeRead.isNull()) {
            EXPECT_EQ(object.property(ObjectData).toByteArray(), c.nativeRead);
        }
        const QImage shown = shownImage(*read, object);
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown.pixel(0, 0) == qRgb(128, 128, 128), c.box) << std::hex << shown.pixel(0, 0);
        EXPECT_EQ(object.property(ObjectRtf).toByteArray(), c.keptAsRead ? c.group : QByteArray());
        const QByteArray again = rtf::writeRtf(*read);
        if (c.keptAsRead) {
            EXPECT_TRUE(again.contains(c.group));
        } else {
            EXPECT_EQ(imageAt(*test::readBack(again), 1).property(ObjectData).toByteArray(), c.nativeRead);
        }
    }
}

// Room made from a marked object's count is given back when its picture turns out smaller. This
// was each small picture holding as much memory as the rest of the document could fill, so that a
// document of many such objects took gigabytes.
TEST(RtfObjects, LyingCountsTakeNoMemoryTheirPicturesDoNotUse) {
    const QByteArray object =
        "{\\object\\objemb{\\*\\objclass Lying}{\\*\\tkobject\\tkresultdata99999999}"
        "{\\*\\objdata 00}{\\result{\\pict\\pngblip 89504e47}}}";
    const auto read = test::readBack("{\\rtf1 " + object + object + QByteArray(1 << 20, 'x') + "}");
    for (int position : {0, 1}) {
        const QByteArray picture = imageAt(*read, position).property(PictureData).toByteArray();
        EXPECT_EQ(picture, QByteArray("\x89PNG", 4));
        EXPECT_LT(picture.capacity(), 20000) << position;
    }
}

// Another program's group is kept byte for byte even when its native data ends with its result
// picture: only our mark lets the reader write a group anew.
TEST(RtfObjects, ForeignObjectEndingWithItsPictureIsKeptAsRead) {
    const QByteArray file = png(solid({40, 30}, Qt::blue));
    const QByteArray group =
        "{\\object\\objemb\\objupdate{\\*\\objclass Paint.Picture}\\objw600\\objh450"
        "{\\*\\objdata " +
        rtf::encodeEmbeddedStream(QStringLiteral("Paint.Picture"), pictureNative(file)).toHex() +
        "}{\\result{\\pict\\pngblip\\picw40\\pich30\\picwgoal600\\pichgoal450 " + file.toHex() + "}}}";
    const auto read = test::readBack(QByteArray("{\\rtf1 x" + group + "y}"));
    const QTextImageFormat object = imageAt(*read, 1);
    EXPECT_EQ(object.property(ObjectData).toByteArray(), pictureNative(file));
    EXPECT_EQ(object.property(ObjectRtf).toByteArray(), group);
    EXPECT_TRUE(rtf::writeRtf(*read).contains(group));
}

// Hex digits of pictures and objects are read past line breaks, spaces and the reader's own pieces,
// wherever a byte's two digits fall.
TEST(RtfObjects, HexDigitsAcrossLineBreaksAndPieces) {
    QByteArray bytes(50000, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    }
    QByteArray hex;
    const QByteArray digits = bytes.toHex();
    for (qsizetype at = 0; at < digits.size(); at += 127) {  // odd lines: bytes split across them
        hex += digits.mid(at, 127) + (at % 2 ? "\r\n" : " \t\n");
    }
    const QByteArray stream = rtf::encodeEmbeddedStream(QStringLiteral("Package"), bytes);
    const auto read = test::readBack(QByteArray("{\\rtf1 {\\pict\\pngblip\r\n" + hex + "}" +
                                                "{\\pict\\pngblip 8\r\n9 50 4e\t47\r\n0d0a1a0a}{\\pict\\pngblip 123}" +
                                                "{\\object\\objemb{\\*\\objdata\r\n" + stream.toHex() + "\r\n}}}"));
    EXPECT_EQ(imageAt(*read, 0).property(PictureData).toByteArray(), bytes);
    EXPECT_EQ(imageAt(*read, 1).property(PictureData).toByteArray(), QByteArray("\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(imageAt(*read, 2).property(PictureData).toByteArray(), QByteArray("\x12"));
    EXPECT_EQ(imageAt(*read, 3).property(ObjectData).toByteArray(), bytes);
}

// An object read from a file and left alone is written back byte for byte, even one this program
// would write differently.
TEST(RtfObjects, UntouchedObjectsAreWrittenBackUnchanged) {
    const QByteArray group =
        "{\\object\\objemb\\objupdate{\\*\\objclass Chart.Drawing.3}\\objw2000\\objh1000"
        "{\\*\\objdata 0105000002000000"
        "10000000" +
        QByteArray("Chart.Drawing.3").toHex() +
        "00"
        "00000000000000000400000041424344}"
        "{\\result{\\pict\\wmetafile8\\picw100\\pich100 0100090000031d0000000000}}}";
    const auto r = test::readBack(QByteArray("{\\rtf1 a" + group + "b}"));
    EXPECT_EQ(imageAt(*r, 1).property(ObjectData).toByteArray(), "ABCD");
    EXPECT_TRUE(rtf::writeRtf(*r).contains(group));
}

// Metafiles of 2000-era documents show their drawing: red on the left, blue on the right.
TEST(RtfObjects, MetafilePicturesShowTheirPixels) {
    const QByteArray wmf = test::readFile(kData + "pic-bare.wmf");
    const QByteArray emf = test::readFile(kData + "pic.emf");
    ASSERT_FALSE(wmf.isEmpty());
    ASSERT_FALSE(emf.isEmpty());
    const auto r =
        test::readBack(QByteArray("{\\rtf1 {\\pict\\wmetafile8\\picw5292\\pich2646\\picwgoal3000\\pichgoal1500 " +
                                  wmf.toHex() + "}{\\pict\\emfblip\\picw6250\\pich3125 " + emf.toHex() +
                                  "}{\\object\\objemb{\\*\\objclass Old.Object}{\\*\\objdata 00}"
                                  "{\\result{\\pict\\wmetafile8\\picwgoal3000\\pichgoal1500 " +
                                  wmf.toHex() + "}}}}"));
    for (int position : {0, 1, 2}) {
        SCOPED_TRACE(position);
        const QTextImageFormat format = imageAt(*r, position);
        const QImage shown = shownImage(*r, format);
        ASSERT_FALSE(shown.isNull());
        ASSERT_GE(shown.width(), 100);
        const int y = shown.height() / 2;
        EXPECT_EQ(shown.pixel(shown.width() / 4, y), qRgb(255, 0, 0));
        EXPECT_EQ(shown.pixel(shown.width() * 3 / 4, y), qRgb(0, 0, 255));
    }
    EXPECT_DOUBLE_EQ(imageAt(*r, 0).width(), 200.0);
    // The EMF's size comes from \picw in hundredths of a millimetre: 62.5 mm.
    EXPECT_NEAR(imageAt(*r, 1).width(), 236.0, 1.0);
}

// A damaged metafile is a framed box of its size, never a failure.
TEST(RtfObjects, BrokenMetafilesShowAFramedBox) {
    QByteArray emf = test::readFile(kData + "pic.emf");
    emf.truncate(100);
    const auto r =
        test::readBack(QByteArray("{\\rtf1 {\\pict\\emfblip\\picw2540\\pich2540 " + emf.toHex() +
                                  "}{\\pict\\wmetafile8\\picw2540\\pich2540 010009000003ffffffff0000ffffffff0000}}"));
    for (int position : {0, 1}) {
        const QImage shown = shownImage(*r, imageAt(*r, position));
        ASSERT_EQ(shown.size(), QSize(96, 96)) << position;
        EXPECT_EQ(shown.pixel(0, 0), qRgb(128, 128, 128));
    }
}

}  // namespace
