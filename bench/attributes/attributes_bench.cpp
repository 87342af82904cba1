// The whole of a 5 MB document made bold through SelectionAttributes.SetStyle and the change undone,
// against the floor of the same edit on the same text in a bare QTextDocument: one
// QTextCursor::mergeCharFormat over everything and QTextDocument::undo. Both cases in the same run.
#include "bench/gui_bench.h"
#include "richedit/qe_rich_edit.h"
#include "richedit/text_attributes.h"

#include <QApplication>
#include <QBuffer>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr qsizetype kDocumentBytes = 5 * 1024 * 1024;

// Paragraphs of ordinary text with a word in italics and one in colour, so that the edit meets
// runs of several formats, as in a real document.
QByteArray makeDocument() {
    const QByteArray paragraph =
        "Plain words of a line of text, {\\i some in italics} and {\\cf1 one in colour} to end.\\par\n";
    QByteArray rtf;
    rtf.reserve(kDocumentBytes + paragraph.size());
    rtf += "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\n";
    while (rtf.size() < kDocumentBytes) {
        rtf += paragraph;
    }
    rtf += "}";
    return rtf;
}

std::unique_ptr<tk::TQE_RichEdit> loadedControl() {
    auto control = std::make_unique<tk::TQE_RichEdit>();
    control->resize(600, 400);
    control->show();
    control->HandleNeeded();
    QByteArray rtf = makeDocument();
    QBuffer in(&rtf);
    in.open(QIODevice::ReadOnly);
    if (!control->Lines().LoadStream(in)) {
        std::abort();
    }
    return control;
}

// Made once, and gone before the application is.
std::unique_ptr<tk::TQE_RichEdit> theControl;

tk::TQE_RichEdit& control() {
    if (!theControl) {
        theControl = loadedControl();
    }
    return *theControl;
}

void BM_ControlBoldAndUndo(benchmark::State& state) {
    tk::TQE_RichEdit& c = control();
    tk::TTextAttributes2& attributes = c.SelectionAttributes();
    // Selecting everything lays the text out to its end once, as in any editor; it is not the
    // edit being measured. Within the loop it is already selected.
    c.SetSelectionRange(0, -1, false);
    for (auto _ : state) {
        c.SetSelectionRange(0, -1, false);
        attributes.SetStyle(tk::TFontStyle::fsBold);
        c.Undo();
    }
    state.counters["characters"] = c.document().characterCount();
}

// The same four style properties the control's style write sets.
void BM_FloorMergeAndUndo(benchmark::State& state) {
    std::unique_ptr<QTextDocument> doc(control().document().clone());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontItalic(false);
    bold.setFontUnderline(false);
    bold.setFontStrikeOut(false);
    for (auto _ : state) {
        QTextCursor cursor(doc.get());
        cursor.select(QTextCursor::Document);
        cursor.mergeCharFormat(bold);
        doc->undo();
    }
    state.counters["characters"] = doc->characterCount();
}

BENCHMARK(BM_ControlBoldAndUndo)->Unit(benchmark::kMillisecond)->MinTime(4.0);
BENCHMARK(BM_FloorMergeAndUndo)->Unit(benchmark::kMillisecond)->MinTime(4.0);

}  // namespace

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(
        argc, argv,
        [](tk::bench::RatioReporter& reporter) {
            reporter.printRatio(
                "5 MB made bold through SelectionAttributes and undone vs mergeCharFormat and undo, time",
                "BM_ControlBoldAndUndo", "BM_FloorMergeAndUndo", 1.2);
        },
        [] { theControl.reset(); });
}
