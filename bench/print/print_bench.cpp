// Printing a 5 MB document into a PDF file: the rich text control's PrintDocument, page by page
// through the window's format-range method, against QTextDocument::print on a PDF QPrinter with
// the same page. Both cases in the same run.
#include "bench/gui_bench.h"
#include "richedit/qe_rich_edit.h"

#include <QApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 50000;

// About 5 MB of text in lines of a hundred characters.
QString makeText() {
    QString text;
    const QString filler = QStringLiteral("가나다라마바사 아자차카타파하 abcdefghij ");
    for (int i = 0; i < kLines; ++i) {
        text += filler + filler + QString::number(i);
        text += u'\r';
    }
    return text;
}

void setUpPrinter(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                      QPageLayout::Millimeter));
}

QTemporaryDir& outputDir() {
    static QTemporaryDir dir;
    return dir;
}

// The control both cases print from, holding the same text.
void fill(tk::TQE_RichEdit& control) {
    control.resize(600, 400);
    control.HandleNeeded();
    control.SetMaxLength(0x7FFFFFF);
    control.SetText(makeText());
}

void BM_ControlPrintDocument(benchmark::State& state) {
    tk::TQE_RichEdit control;
    fill(control);
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, outputDir().filePath("control.pdf"));
    control.SetPrinter(&printer);
    for (auto _ : state) {
        if (!control.PrintDocument(QStringLiteral("bench"))) {
            state.SkipWithError("printing failed");
        }
    }
    state.counters["pages"] = control.PrintedPages();
}
BENCHMARK(BM_ControlPrintDocument)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FloorDocumentPrint(benchmark::State& state) {
    tk::TQE_RichEdit control;
    fill(control);
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, outputDir().filePath("floor.pdf"));
    for (auto _ : state) {
        control.document().print(&printer);
    }
}
BENCHMARK(BM_FloorDocumentPrint)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(argc, argv, [](tk::bench::RatioReporter& reporter) {
        reporter.printRatio("printing 5 MB to PDF vs QTextDocument::print, time", "BM_ControlPrintDocument",
                            "BM_FloorDocumentPrint", 1.3);
    });
}
