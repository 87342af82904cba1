// Reads arbitrary bytes as RTF, writes what was read and reads that again.
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QTextDocument document;
    QTextCursor cursor(&document);
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (tk::rtf::readRtf(input, cursor) != tk::rtf::RtfError::None) {
        return 0;
    }
    const QByteArray written = tk::rtf::writeRtf(document);
    QTextDocument again;
    QTextCursor againCursor(&again);
    if (tk::rtf::readRtf(written, againCursor) != tk::rtf::RtfError::None) {
        std::abort();  // what the writer writes, the reader must read
    }
    return 0;
}
