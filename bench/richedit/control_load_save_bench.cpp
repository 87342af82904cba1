// Loading a 5 MB RTF document into the rich text control through its line list, against
// QTextDocument::setHtml building the same document from HTML; saving it as RTF, against toHtml.
#include "bench/richedit/sample_documents.h"
#include "richedit/qe_rich_edit.h"
#include "richedit/rich_text_document.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"

#include <QTextCursor>

#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString rtfPath;
    QString html;
    qsizetype rtfBytes = 0;

    Fixture() {
        const tk::bench::SampleDocument doc = tk::bench::makeSampleDocument(5 * 1024 * 1024);
        rtfPath = dir.filePath(QStringLiteral("sample.rtf"));
        QFile file(rtfPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(doc.rtf) != doc.rtf.size()) {
            std::abort();
        }
        rtfBytes = doc.rtf.size();
        html = doc.html;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ControlLoadRtf(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    for (auto _ : state) {
        if (!control.Lines().LoadFile(f.rtfPath)) {
            state.SkipWithError("load failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * f.rtfBytes);
    state.counters["chars"] = static_cast<double>(control.document().characterCount());
}

void BM_HeadlessLoadRtf(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TRichTextDocument doc;
    for (auto _ : state) {
        if (!doc.Lines().LoadFile(f.rtfPath)) {
            state.SkipWithError("load failed");
            break;
        }
    }
}

void BM_ReaderAlone(benchmark::State& state) {
    Fixture& f = fixture();
    QFile file(f.rtfPath);
    file.open(QIODevice::ReadOnly);
    const QByteArray data = file.readAll();
    for (auto _ : state) {
        QTextDocument doc;
        QTextCursor c(&doc);
        benchmark::DoNotOptimize(tk::rtf::readRtf(data, c));
    }
}

void BM_ReferenceSetHtml(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        QTextDocument doc;
        doc.setHtml(f.html);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    QTextDocument doc;
    doc.setHtml(f.html);
    state.counters["chars"] = static_cast<double>(doc.characterCount());
}

void BM_ControlSaveRtf(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    if (!control.Lines().LoadFile(f.rtfPath)) {
        state.SkipWithError("load failed");
        return;
    }
    const QString out = f.dir.filePath(QStringLiteral("saved.rtf"));
    for (auto _ : state) {
        if (!control.Lines().SaveFile(out)) {
            state.SkipWithError("save failed");
            break;
        }
    }
}

void BM_WriterAlone(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    if (!control.Lines().LoadFile(f.rtfPath)) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(tk::rtf::writeRtf(control.document()).size());
    }
}

void BM_ReferenceToHtml(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    if (!control.Lines().LoadFile(f.rtfPath)) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(control.document().toHtml().size());
    }
}

}  // namespace

BENCHMARK(BM_ControlLoadRtf)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_HeadlessLoadRtf)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReaderAlone)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReferenceSetHtml)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ControlSaveRtf)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WriterAlone)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReferenceToHtml)->Unit(benchmark::kMillisecond)->MinTime(1.0);
