// Reads arbitrary bytes as an embedded-object stream, as package data and as a picture object's
// stored data (decoding its picture), and checks that what reads back writes back the same.
#include "platform/package_object.h"
#include "richtext/embedded_stream.h"
#include "servers/image_data.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    QString className;
    QByteArray native;
    if (tk::rtf::decodeEmbeddedStream(input, &className, &native)) {
        QString again;
        QByteArray againNative;
        if (!tk::rtf::decodeEmbeddedStream(tk::rtf::encodeEmbeddedStream(className, native), &again, &againNative) ||
            againNative != native) {
            std::abort();
        }
    }
    tk::ole::PackageContents contents;
    if (tk::ole::decodePackage(input, &contents)) {
        tk::ole::PackageContents again;
        if (!tk::ole::decodePackage(tk::ole::encodePackage(contents), &again) || again.data != contents.data) {
            std::abort();
        }
    }
    tk::imageserver::StoredImage stored;
    if (tk::imageserver::decodeStored(input, &stored)) {
        tk::imageserver::DecodedImage decoded;
        (void)tk::imageserver::decodeImageFile(stored.file, &decoded);
    }
    // The bytes as a picture file of their own.
    tk::imageserver::DecodedImage decoded;
    (void)tk::imageserver::decodeImageFile(QByteArray(input.data(), input.size()), &decoded);
    return 0;
}
