// One character typed in the middle of a 5 MB document: in the editor window (the rich text
// control's key handling and notifications, the editor's refresh of its formatting controls and
// caret position, and the layout of what the screen shows) against a bare QTextEdit holding the
// same document, both in the same run. Each iteration types a letter and, untimed, takes it back,
// so the document stays the same.
#include "bench/bench_support.h"
#include "editor/editor_host.h"
#include "editor/editor_window.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr qsizetype kDocumentBytes = 5 * 1024 * 1024;

// Short paragraphs of Korean and Latin text, 5 MB in UTF-8.
const QString& documentText() {
    static const QString text = [] {
        QString t;
        const QString line = QStringLiteral("오늘은 날씨가 맑았다. The quick brown fox jumps over the lazy dog 12345.\n");
        const qsizetype bytesPerLine = line.toUtf8().size();
        t.reserve((kDocumentBytes / bytesPerLine + 1) * line.size());
        for (qsizetype bytes = 0; bytes < kDocumentBytes; bytes += bytesPerLine) {
            t += line;
        }
        return t;
    }();
    return text;
}

class NoHost final : public tk::EditorHost {
  public:
    tk::EntryStore& store() override { std::abort(); }
    QString listDir() const override { return {}; }
    bool askNewEntry(tk::NewEntryAnswer*) override { return false; }
    void entryCreated(const QString&, const QString&, const tk::EntryComment&) override {}
};

// Types one letter into w and lets the posted work (layout, repaint of the visible screen) run.
void typeLetter(QWidget* w) {
    QTest::keyClick(w, Qt::Key_A);
    QCoreApplication::processEvents();
}

void takeBack(QWidget* w) {
    QTest::keyClick(w, Qt::Key_Backspace);
    QCoreApplication::processEvents();
}

void BM_EditorKeystroke(benchmark::State& state) {
    NoHost host;
    tk::TForm3 form(&host);
    form.resize(696, 480);
    tk::TQE_RichEdit& edit = *form.RichEdit1;
    edit.SetText(documentText());
    form.show();
    QApplication::setActiveWindow(&form);
    QWidget* text = &edit.richWindow();
    text->setFocus();
    edit.SetSelectionStart(edit.document().characterCount() / 2);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        typeLetter(text);
        state.PauseTiming();
        takeBack(text);
        state.ResumeTiming();
    }
    state.counters["blocks"] = edit.document().blockCount();
}

void BM_BareTextEditKeystroke(benchmark::State& state) {
    QTextEdit edit;
    edit.resize(696, 480);
    // The same document the control holds: its text and formats, cloned.
    {
        NoHost host;
        tk::TForm3 form(&host);
        form.RichEdit1->SetText(documentText());
        edit.setDocument(form.RichEdit1->document().clone(&edit));
    }
    edit.show();
    QApplication::setActiveWindow(&edit);
    edit.setFocus();
    QTextCursor c(edit.document());
    c.setPosition(edit.document()->characterCount() / 2);
    edit.setTextCursor(c);
    edit.ensureCursorVisible();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        typeLetter(&edit);
        state.PauseTiming();
        takeBack(&edit);
        state.ResumeTiming();
    }
    state.counters["blocks"] = edit.document()->blockCount();
}

BENCHMARK(BM_EditorKeystroke)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_BareTextEditKeystroke)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    tk::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("a keystroke in the middle of 5 MB, editor vs bare QTextEdit, time", "BM_EditorKeystroke",
                        "BM_BareTextEditKeystroke", 1.5);
    benchmark::Shutdown();
    return 0;
}
