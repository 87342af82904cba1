// Finding in a list of 10,000 entries with every box ticked, against a bare loop that folds and
// matches the same rows' strings and copies the matching rows.
#include "app/find_window.h"
#include "app/main_window.h"
#include "bench/bench_support.h"
#include "store/entry_find.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include <vector>

namespace {

constexpr int kEntries = 10000;
const QString kNeedle = QStringLiteral("여행 diary");

std::vector<tk::EntryRow> makeRows() {
    const QString words[] = {QStringLiteral("여행"),   QStringLiteral("일기"),  QStringLiteral("Diary"),
                             QStringLiteral("회의록"), QStringLiteral("notes"), QStringLiteral("사진 모음")};
    std::vector<tk::EntryRow> rows;
    rows.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const QString title = words[i % 6] + u' ' + words[(i / 6) % 6] + QStringLiteral(" 2001년 %1번째 기록").arg(i);
        rows.push_back(tk::EntryRow{title,
                                    words[(i / 36) % 6],
                                    QStringLiteral("200111%1").arg(i, 8, 10, QLatin1Char('0')),
                                    "TKFile.rtf",
                                    i % 2 == 0,
                                    {}});
    }
    return rows;
}

std::vector<tk::EntryRow> gRows;

// The floor: the same folding and matching of title, category and archive name, each folded into a
// new string first, and the matching protected rows copied.
void BM_BareLoop(benchmark::State& state) {
    const QString needle = tk::upperAscii(kNeedle);
    size_t found = 0;
    for (auto _ : state) {
        std::vector<tk::EntryRow> out;
        for (const tk::EntryRow& row : gRows) {
            bool match = tk::upperAscii(row.title).contains(needle) || tk::upperAscii(row.category).contains(needle) ||
                         tk::upperAscii(row.archiveName).contains(needle);
            if (match && row.isProtected) {
                out.push_back(row);
            }
        }
        found = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["found"] = static_cast<double>(found);
}

// The find window's search, from the press of "찾기" to the rows in the find list.
void BM_FindWindow(benchmark::State& state) {
    tk::TForm1 form1;
    tk::TForm6 form6(&form1);
    form1.setFindWindow(&form6);
    form1.ListView1->entries()->setRows(gRows);
    form6.FindText->setText(kNeedle);
    for (QCheckBox* box : {form6.NameCheck, form6.ColCheck, form6.FileCheck, form6.PassCheck}) {
        box->setChecked(true);
    }
    for (auto _ : state) {
        form6.Button1Click();
    }
    state.counters["found"] = form1.FindList->entries()->rowCount();
}

BENCHMARK(BM_BareLoop)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FindWindow)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    gRows = makeRows();
    benchmark::Initialize(&argc, argv);
    tk::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("find over 10,000 rows, every box ticked, vs bare loop", "BM_FindWindow", "BM_BareLoop", 2.0);
    benchmark::Shutdown();
    return 0;
}
