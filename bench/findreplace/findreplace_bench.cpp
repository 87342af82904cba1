// Replace all of 10,000 matches in a 5 MB document: the rich text control's replace dialog with
// "모두 바꾸기" pressed, against the floor of QTextDocument::find with QTextCursor::insertText
// inside one edit block on the same text. Both cases in the same run; setting up the document is
// not timed.
#include "bench/gui_bench.h"
#include "richedit/qe_rich_edit.h"

#include <QApplication>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

constexpr int kMatches = 10000;
constexpr int kLines = 50000;
const QString kFind = QStringLiteral("바늘");
const QString kReplace = QStringLiteral("실타래");

// About 5 MB of text in lines of a hundred characters; every fifth line holds the word once.
QString makeText() {
    QString text;
    const QString filler = QStringLiteral("가나다라마바사 아자차카타파하 abcdefghij ");
    for (int i = 0; i < kLines; ++i) {
        QString line = filler + filler + QString::number(i);
        if (i % (kLines / kMatches) == 0) {
            line.insert(line.size() / 2, kFind);
        }
        text += line;
        text += u'\r';
    }
    return text;
}

const QString& sampleText() {
    static const QString text = makeText();
    return text;
}

void BM_ControlReplaceAll(benchmark::State& state) {
    tk::TQE_RichEdit control;
    control.resize(600, 400);
    control.HandleNeeded();
    control.SetMaxLength(0x7FFFFFF);
    for (auto _ : state) {
        state.PauseTiming();
        control.SetText(sampleText());
        control.SetSelectionRange(0, 0, false);
        tk::TReplaceDialog* dialog = control.ShowReplaceDialog(kFind, kReplace);
        state.ResumeTiming();
        dialog->ReplaceAllButton()->click();
        state.PauseTiming();
        if (control.TextRange(0, -1).count(kReplace) != kMatches) {
            state.SkipWithError("not every match was replaced");
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ControlReplaceAll)->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_FloorFindInsert(benchmark::State& state) {
    QString plain = sampleText();
    plain.replace(u'\r', u'\n');
    for (auto _ : state) {
        state.PauseTiming();
        QTextDocument document;
        document.setPlainText(plain);
        state.ResumeTiming();
        QTextCursor edit(&document);
        edit.beginEditBlock();
        int count = 0;
        for (QTextCursor found = document.find(kFind); !found.isNull(); found = document.find(kFind, found)) {
            found.insertText(kReplace);
            ++count;
        }
        edit.endEditBlock();
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_FloorFindInsert)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(argc, argv, [](tk::bench::RatioReporter& reporter) {
        reporter.printRatio("replace all of 10,000 matches in 5 MB vs find and insertText floor, time",
                            "BM_ControlReplaceAll", "BM_FloorFindInsert", 1.5);
    });
}
