// A document with 100 embedded pictures of about 200 KB each (half PNG, half JPEG) through the rich
// text control. Loading it is measured against decoding the same pictures with QImage alone plus
// loading the document without them; saving it against writing the document without them plus
// encoding the pictures.
#include "bench/gui_bench.h"
#include "bench/objects/picture_document.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rtf_writer.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kPictures = 100;
constexpr qsizetype kPictureBytes = 200 * 1024;

struct Fixture {
    QTemporaryDir dir;
    QList<tk::bench::PictureFile> pictures;
    QString withObjects;
    QString withoutObjects;
    QTextDocument textDocument;

    Fixture() {
        pictures = tk::bench::makePictures(kPictures, kPictureBytes);
        QTextDocument objectDocument;  // as the editor holds pictures just inserted
        if (!tk::bench::fillDocument(objectDocument, pictures, true, dir.path()) ||
            !tk::bench::fillDocument(textDocument, pictures, false, dir.path())) {
            std::fprintf(stderr, "the picture object server did not make the pictures\n");
            std::abort();
        }
        withObjects = write("objects.rtf", tk::rtf::writeRtf(objectDocument));
        withoutObjects = write("text.rtf", tk::rtf::writeRtf(textDocument));
    }

    QString write(const char* name, const QByteArray& rtf) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size()) {
            std::abort();
        }
        return path;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void load(benchmark::State& state, tk::TQE_RichEdit& control, const QString& path) {
    if (!control.Lines().LoadFile(path)) {
        state.SkipWithError("load failed");
    }
}

void BM_LoadWithPictures(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    for (auto _ : state) {
        load(state, control, f.withObjects);
    }
    state.counters["MB"] = double(QFile(f.withObjects).size()) / (1 << 20);
}

void decodeAll(const QList<tk::bench::PictureFile>& pictures) {
    for (const tk::bench::PictureFile& picture : pictures) {
        benchmark::DoNotOptimize(QImage::fromData(picture.bytes, picture.format).width());
    }
}

void BM_DecodePicturesAlone(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        decodeAll(f.pictures);
    }
}

void BM_LoadTextAlone(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    for (auto _ : state) {
        load(state, control, f.withoutObjects);
    }
}

// The floor of loading: the pictures decoded and the rest of the document loaded.
void BM_ReferenceLoad(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    for (auto _ : state) {
        decodeAll(f.pictures);
        load(state, control, f.withoutObjects);
    }
}

// The control's save path into memory: the reference writes no file either, and a file's trip to
// the disk would measure the disk.
bool save(tk::TQE_RichEdit& control) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const bool saved = control.Lines().SaveStream(buffer);
    benchmark::DoNotOptimize(buffer.data().size());
    return saved;
}

// Saving pictures just inserted: each object's stream and picture are written anew.
void BM_SaveWithPictures(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    if (!tk::bench::fillDocument(control.document(), f.pictures, true, f.dir.path())) {
        state.SkipWithError("the picture object server did not make the pictures");
        return;
    }
    for (auto _ : state) {
        if (!save(control)) {
            state.SkipWithError("save failed");
            break;
        }
    }
}

// Saving a document read from a file: its untouched objects are written back as they were read.
void BM_SaveLoadedPictures(benchmark::State& state) {
    Fixture& f = fixture();
    tk::TQE_RichEdit control;
    control.HandleNeeded();
    load(state, control, f.withObjects);
    for (auto _ : state) {
        if (!save(control)) {
            state.SkipWithError("save failed");
            break;
        }
    }
}

// The floor of saving: the document without pictures written, and the pictures encoded.
void BM_ReferenceSave(benchmark::State& state) {
    Fixture& f = fixture();
    QList<QImage> images;
    for (const tk::bench::PictureFile& picture : f.pictures) {
        images.append(QImage::fromData(picture.bytes, picture.format));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(tk::rtf::writeRtf(f.textDocument).size());
        for (int i = 0; i < images.size(); ++i) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            images[i].save(&buffer, f.pictures[i].format, 90);
            benchmark::DoNotOptimize(bytes.size());
        }
    }
}

}  // namespace

BENCHMARK(BM_LoadWithPictures)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_DecodePicturesAlone)->Unit(benchmark::kMillisecond)->MinTime(1.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_LoadTextAlone)->Unit(benchmark::kMillisecond)->MinTime(1.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReferenceLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_SaveWithPictures)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_SaveLoadedPictures)->Unit(benchmark::kMillisecond)->MinTime(1.0)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ReferenceSave)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime()->UseRealTime();

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(argc, argv, [](tk::bench::RatioReporter& reporter) {
        reporter.printRatio("control load with 100 pictures vs decoding them plus the document without them",
                            "BM_LoadWithPictures", "BM_ReferenceLoad", 1.3);
        reporter.printRatio("control save with 100 new pictures vs the writer without them plus encoding them",
                            "BM_SaveWithPictures", "BM_ReferenceSave", 1.3);
    });
}
