// Listing a category of 10,000 entry archives, against the floor of reading each archive's tail.
#include "app/main_window.h"
#include "bench/app/library_maker.h"
#include "bench/bench_support.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kEntries = 10000;
QString gFolder;

// Calls read(fd) for every archive of the folder, as the listing must at least do.
template <typename ReadTail>
size_t forEachArchive(ReadTail readTail) {
    size_t bytes = 0;
    const QByteArray path = QFile::encodeName(gFolder);
    DIR* dir = ::opendir(path.constData());
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        bytes += readTail(::dirfd(dir), e->d_name);
    }
    ::closedir(dir);
    return bytes;
}

// The floor: open each archive, read its last 256 bytes, close it.
void BM_Floor(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(tk::bench::readEveryArchiveTail(gFolder));
    }
}

// For reference: the same tail read through QFile.
void BM_QFileTail(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(forEachArchive([](int, const char* name) -> size_t {
            QFile f(gFolder + u'/' + QFile::decodeName(name));
            f.open(QIODevice::ReadOnly);
            f.seek(f.size() - 256);
            return static_cast<size_t>(f.read(256).size());
        }));
    }
}

// For reference: a scan back from the end one byte per call until a zero byte.
void BM_ByteScan(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(forEachArchive([](int dirFd, const char* name) -> size_t {
            const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
            struct stat st;
            ::fstat(fd, &st);
            size_t n = 0;
            for (off_t at = st.st_size - 1; at > 0; --at, ++n) {
                char c;
                if (::pread(fd, &c, 1, at) != 1 || c == 0) {
                    break;
                }
            }
            ::close(fd);
            return n;
        }));
    }
}

// The list as the user gets it: read, parsed, sorted by title, in the list widget, laid out.
void BM_LoadEntryList(benchmark::State& state) {
    tk::TForm1 form;
    form.show();
    QApplication::processEvents();
    form.ListDir = gFolder + u'/';
    for (auto _ : state) {
        form.LoadEntryList();
        form.ListView1->doItemsLayout();
    }
    if (form.ListView1->entries()->rowCount() != kEntries) {
        state.SkipWithError("wrong row count");
    }
}

BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QFileTail)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ByteScan)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadEntryList)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    gFolder = dir.path() + QStringLiteral("/LIST/일기");
    tk::bench::makeEntryArchives(gFolder, kEntries);
    benchmark::Initialize(&argc, argv);
    tk::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("list of 10,000 entries vs floor", "BM_LoadEntryList", "BM_Floor", 2.0);
    reporter.printRatio("for reference, QFile tail read vs floor", "BM_QFileTail", "BM_Floor", 2.0);
    reporter.printRatio("for reference, byte-per-call scan vs floor", "BM_ByteScan", "BM_Floor", 4.3);
    benchmark::Shutdown();
    return 0;
}
