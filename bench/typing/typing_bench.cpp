// One character typed in the middle of a 5 MB document: in the editor window (the rich text
// control's key handling and notifications, the editor's refresh of its formatting controls and
// caret position, and the layout of what the screen shows) against a bare QTextEdit holding the
// same document, both in the same run. Each iteration types a letter and, untimed, takes it back,
// so the document stays the same. The two run interleaved, so that a busy machine weighs on both
// alike.
#include "bench/gui_bench.h"
#include "editor/editor_host.h"
#include "editor/editor_window.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
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
        const QString line =
            QStringLiteral("오늘은 날씨가 맑았다. The quick brown fox jumps over the lazy dog 12345.\n");
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

// The editor window and the bare QTextEdit, built once and kept side by side, so that both cases
// run under the same conditions: each iteration of either case types into both, in turn, and times
// only its own.
class Pair {
  public:
    Pair() {
        form.resize(696, 480);
        tk::TQE_RichEdit& edit = *form.RichEdit1;
        edit.SetText(documentText());
        form.show();
        editorText = &edit.richWindow();
        edit.SetSelectionStart(edit.document().characterCount() / 2);

        bare.resize(696, 480);
        bare.setDocument(edit.document().clone(&bare));
        bare.show();
        QTextCursor c(bare.document());
        c.setPosition(bare.document()->characterCount() / 2);
        bare.setTextCursor(c);
        bare.ensureCursorVisible();
        // Both documents laid out to their end, as the views do in the background while the user
        // reads: an edit then moves every laid-out paragraph below it in either.
        for (QTextDocument* doc : {&edit.document(), bare.document()}) {
            doc->documentLayout()->blockBoundingRect(doc->lastBlock());
        }
        QCoreApplication::processEvents();
    }

    // Types one letter into w, lets the posted work (layout, repaint of the visible screen) run and
    // returns the seconds it took; then, untimed, takes the letter back.
    static double keystroke(QWidget* w) {
        w->window()->activateWindow();
        QApplication::setActiveWindow(w->window());
        w->setFocus();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(w, Qt::Key_A);
        QCoreApplication::processEvents();
        const double seconds = timer.nsecsElapsed() / 1e9;
        QTest::keyClick(w, Qt::Key_Backspace);
        QCoreApplication::processEvents();
        return seconds;
    }

    NoHost host;
    tk::TForm3 form{&host};
    QWidget* editorText = nullptr;
    QTextEdit bare;
};

std::unique_ptr<Pair> thePair;

Pair& pair() {
    if (!thePair) {
        thePair = std::make_unique<Pair>();
    }
    return *thePair;
}

void BM_EditorKeystroke(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        state.SetIterationTime(Pair::keystroke(p.editorText));
        Pair::keystroke(&p.bare);
    }
    state.counters["blocks"] = p.form.RichEdit1->document().blockCount();
}

void BM_BareTextEditKeystroke(benchmark::State& state) {
    Pair& p = pair();
    for (auto _ : state) {
        Pair::keystroke(p.editorText);
        state.SetIterationTime(Pair::keystroke(&p.bare));
    }
    state.counters["blocks"] = p.bare.document()->blockCount();
}

BENCHMARK(BM_EditorKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_BareTextEditKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(
        argc, argv,
        [](tk::bench::RatioReporter& reporter) {
            reporter.printRatio("a keystroke in the middle of 5 MB, editor vs bare QTextEdit, time",
                                "BM_EditorKeystroke", "BM_BareTextEditKeystroke", 1.5);
        },
        [] { thePair.reset(); });  // the windows go before the application
}
