// A 5 MB RTF document of short paragraphs ("x\par" over and over) loaded into the rich text
// control through its line list, against the floor of building the same paragraphs with
// QTextCursor::insertBlock inside one edit block. Time: the benchmark library, both cases in the
// same run. Peak memory: each case once in a child process of its own, which reports how far its
// resident size (VmHWM) rose above what it held just before the case began.
#include "bench/bench_support.h"
#include "richedit/qe_rich_edit.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr qsizetype kDocumentBytes = 5 * 1024 * 1024;
const QByteArray kParagraph = "x\\par\n";

int paragraphCount() {
    return int((kDocumentBytes - 8) / kParagraph.size());
}

QByteArray makeDocument() {
    QByteArray rtf;
    rtf.reserve(kDocumentBytes);
    rtf += "{\\rtf1\n";
    for (int i = 0; i < paragraphCount(); ++i) {
        rtf += kParagraph;
    }
    rtf += "}";
    return rtf;
}

QString documentPath() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString name = dir.filePath(QStringLiteral("paragraphs.rtf"));
        QFile file(name);
        const QByteArray rtf = makeDocument();
        if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size()) {
            std::abort();
        }
        return name;
    }();
    return path;
}

// The floor: the same paragraphs, each "x" and a block break, in one edit block, the cheapest way
// QTextCursor builds them: formats given (not looked up at the cursor), no undo kept.
void buildFloor(QTextDocument& doc) {
    doc.setUndoRedoEnabled(false);
    QTextCursor cursor(&doc);
    const QString x = QStringLiteral("x");
    const QTextBlockFormat block;
    const QTextCharFormat chars;
    cursor.beginEditBlock();
    for (int i = 0; i < paragraphCount(); ++i) {
        cursor.insertText(x, chars);
        cursor.insertBlock(block, chars);
    }
    cursor.endEditBlock();
}

void BM_ControlLoadParagraphs(benchmark::State& state) {
    const QString path = documentPath();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    for (auto _ : state) {
        if (!control.Lines().LoadFile(path)) {
            state.SkipWithError("load failed");
            break;
        }
    }
    state.counters["blocks"] = control.document().blockCount();
}

void BM_FloorInsertBlock(benchmark::State& state) {
    int blocks = 0;
    for (auto _ : state) {
        QTextDocument doc;
        buildFloor(doc);
        blocks = doc.blockCount();
    }
    state.counters["blocks"] = blocks;
}

BENCHMARK(BM_ControlLoadParagraphs)->Unit(benchmark::kMillisecond)->MinTime(6.0);
BENCHMARK(BM_FloorInsertBlock)->Unit(benchmark::kMillisecond)->MinTime(6.0);

// ---- peak memory ----

long statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Runs one case once and prints "<rise> <peak>" in KiB: how far the peak rose above the resident
// size before the case, and the process's peak.
int child(const QString& which) {
    const QString path = documentPath();
    if (which == QLatin1String("control")) {
        tk::TQE_RichEdit control;
        control.HandleNeeded();
        const long before = statusKiB("VmRSS:");
        if (!control.Lines().LoadFile(path)) {
            return 1;
        }
        const long peak = statusKiB("VmHWM:");
        std::printf("%ld %ld %d\n", peak - before, peak, control.document().blockCount());
    } else {
        const long before = statusKiB("VmRSS:");
        QTextDocument doc;
        buildFloor(doc);
        const long peak = statusKiB("VmHWM:");
        std::printf("%ld %ld %d\n", peak - before, peak, doc.blockCount());
    }
    return 0;
}

struct Peak {
    long riseKiB = 0;
    long peakKiB = 0;
    int blocks = 0;
};

Peak measure(const QString& which) {
    QProcess proc;
    proc.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak"), which});
    proc.waitForFinished(-1);
    const QList<QByteArray> words = proc.readAllStandardOutput().trimmed().split(' ');
    Peak p;
    if (proc.exitCode() == 0 && words.size() == 3) {
        p.riseKiB = words[0].toLong();
        p.peakKiB = words[1].toLong();
        p.blocks = words[2].toInt();
    }
    return p;
}

void printMemory() {
    const Peak control = measure(QStringLiteral("control"));
    const Peak floor = measure(QStringLiteral("floor"));
    if (control.riseKiB <= 0 || floor.riseKiB <= 0) {
        std::printf("peak memory: not measured\n");
        return;
    }
    const double ratio = double(control.riseKiB) / double(floor.riseKiB);
    std::printf("peak memory added by the load (VmHWM above VmRSS before it, each case in a child process):\n");
    std::printf("  control %.1f MiB (process peak %.1f MiB, %d blocks)\n", control.riseKiB / 1024.0,
                control.peakKiB / 1024.0, control.blocks);
    std::printf("  floor   %.1f MiB (process peak %.1f MiB, %d blocks)\n", floor.riseKiB / 1024.0,
                floor.peakKiB / 1024.0, floor.blocks);
    std::printf(
        "control load of 5 MB of short paragraphs vs insertBlock floor, peak memory: %.2fx (goal <= 2.00x) %s\n", ratio,
        ratio <= 2.0 ? "MET" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--peak") {
        return child(QString::fromLatin1(argv[2]));
    }
    benchmark::Initialize(&argc, argv);
    tk::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("control load of 5 MB of short paragraphs vs insertBlock floor, time",
                        "BM_ControlLoadParagraphs", "BM_FloorInsertBlock", 1.5);
    printMemory();
    benchmark::Shutdown();
    return 0;
}
