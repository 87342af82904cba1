// Loads arbitrary bytes through the line list as a file would be loaded, reads every line, saves
// the result and loads that back.
#include "richedit/rich_text_document.h"
#include "richtext/rich_edit_model.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the format and modes, the rest is the stream.
    const uint8_t options = data[0];
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    tk::TRichTextDocument doc;
    tk::TRichEditStrings& lines = doc.Lines();
    lines.SetStreamFormat((options & 1) ? tk::TRichStreamFormat::sfPlainText : tk::TRichStreamFormat::sfDefault);
    tk::TRichStreamModes modes;
    if (options & 2) {
        modes |= tk::TRichStreamMode::smUnicode;
    }
    lines.SetStreamMode(modes);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    if (!lines.LoadStream(in)) {
        return 0;
    }
    const int count = lines.LineCount();
    for (int i = 0; i < count && i < 200; ++i) {
        (void)lines.GetLine(i);
    }
    const QString text = doc.editModel().text();
    doc.SetCompress(options & 4);
    lines.SetStreamFormat(tk::TRichStreamFormat::sfRichText);
    lines.SetStreamMode({});
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    if (!lines.SaveStream(out)) {
        std::abort();  // a document in memory can always be saved
    }
    out.seek(0);
    tk::TRichTextDocument again;
    if (!again.Lines().LoadStream(out)) {
        std::abort();  // what was saved loads back
    }
    return 0;
}
