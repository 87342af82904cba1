#include "platform/package_object.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_writer.h"
#include "test_support.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

using namespace tk;
using namespace tk::richformat;

namespace {

QTextImageFormat object(QTextDocument& document, const QString& name, const QString& className, QByteArray native,
                        const QImage& shown, bool keepPng, bool nativeEndsWithPng = false) {
    document.addResource(QTextDocument::ImageResource, QUrl(name), shown);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(shown.width());
    format.setHeight(shown.height());
    format.setProperty(ObjectClass, className);
    if (keepPng) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(shown.save(&buffer, "PNG"));
        format.setProperty(PictureKind, int(PictureType::Png));
        format.setProperty(PictureData, png);
        if (nativeEndsWithPng) {
            native += png;  // written once, in the result
        }
    }
    format.setProperty(ObjectData, native);
    return format;
}

int pixelsNear(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAbs(qRed(p) - qRed(colour)) < 12 && qAbs(qGreen(p) - qGreen(colour)) < 12 &&
                qAbs(qBlue(p) - qBlue(colour)) < 12) {
                ++count;
            }
        }
    }
    return count;
}

// Another word processor shows the pictures of the objects we write: LibreOffice prints the document,
// the first page becomes a picture, and each object's colour is looked for there. The last object's
// native data ends with its picture, which is then only in the result.
TEST(LibreOfficeObjects, ShowsThePictureOfEachObject) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        GTEST_SKIP() << "soffice is not installed";
    }
    QTextDocument document;
    QTextCursor cursor(&document);
    const QRgb green = qRgb(30, 140, 60);
    const QRgb orange = qRgb(230, 120, 20);
    QImage picture(240, 120, QImage::Format_RGB32);
    picture.fill(green);
    QImage icon(128, 80, QImage::Format_RGB32);
    icon.fill(orange);
    cursor.insertText(QStringLiteral("그림 개체: "));
    cursor.insertImage(object(document, "obj:1", QLatin1String(ole::kImageClassName), "TKQI", picture, true));
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("파일 개체: "));
    cursor.insertImage(object(document, "obj:2", QLatin1String(ole::kPackageClassName),
                              ole::encodePackage({QStringLiteral("a.txt"), QStringLiteral("/a.txt"), "hello"}), icon,
                              false));
    cursor.insertBlock();
    const QRgb blue = qRgb(40, 70, 210);
    QImage kept(240, 120, QImage::Format_RGB32);
    kept.fill(blue);
    cursor.insertText(QStringLiteral("파일을 그대로 둔 그림 개체: "));
    cursor.insertImage(
        object(document, "obj:3", QLatin1String(ole::kImageClassName), QByteArray(32, 'h'), kept, true, true));

    QTemporaryDir dir;
    const QString rtf = dir.filePath(QStringLiteral("objects.rtf"));
    const QByteArray written = rtf::writeRtf(document);
    ASSERT_TRUE(written.contains("{\\*\\tkobject\\tkresultdata"));
    test::writeFile(rtf, written);
    // LibreOffice's writer without its drawing part exports no PNG: the page goes through PDF and
    // poppler's pdftoppm.
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty()) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    QTemporaryDir profile;
    QProcess p;
    p.start(soffice, {"-env:UserInstallation=file://" + profile.path(), "--headless", "--convert-to", "pdf", "--outdir",
                      dir.path(), rtf});
    ASSERT_TRUE(p.waitForFinished(180000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QProcess render;
    render.start(pdftoppm, {"-png", "-r", "72", "-singlefile", dir.filePath(QStringLiteral("objects.pdf")),
                            dir.filePath(QStringLiteral("objects"))});
    ASSERT_TRUE(render.waitForFinished(60000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    const QImage page(dir.filePath(QStringLiteral("objects.png")));
    ASSERT_FALSE(page.isNull());
    // At 72 dots per inch each object still covers a good many pixels of its colour.
    EXPECT_GT(pixelsNear(page, green), 500) << "the picture object";
    EXPECT_GT(pixelsNear(page, orange), 200) << "the package object";
    EXPECT_GT(pixelsNear(page, blue), 500) << "the picture object whose file is written once";
}

}  // namespace
