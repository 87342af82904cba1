// TArchiver.Add and Extract of a 5 MB rich-text body at level 9 with AES-256, against the same
// work done directly with libzip in the same run. The outside tools' times are printed for reference.
#include "archive/archiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zip.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using tk::TArchiver;

const char* const kPassword = "bench-password";

struct Fixture {
    QTemporaryDir dir;
    QString scratch, body, ours, theirs, outOurs, outTheirs;

    Fixture() {
        scratch = dir.path() + QStringLiteral("/TEMP");
        QDir().mkpath(scratch);
        body = scratch + QStringLiteral("/TKFile.rtf");
        ours = dir.path() + QStringLiteral("/ours.zip");
        theirs = dir.path() + QStringLiteral("/theirs.zip");
        outOurs = dir.path() + QStringLiteral("/out-ours");
        outTheirs = dir.path() + QStringLiteral("/out-theirs");
        QDir().mkpath(outOurs);
        QDir().mkpath(outTheirs);
        writeBody();
    }
    // Korean and English paragraphs with formatting, as the editor writes them: about 5 MB.
    void writeBody() const {
        QByteArray rtf("{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fnil\\fcharset129 \\'b1\\'bc\\'b8\\'b2;}}\n");
        QRandomGenerator random(42);
        const char* words[] = {
            "\\'c7\\'d1\\'b1\\'db", "library", "\\b bold\\b0 ",        "entry", "\\'c1\\'a6\\'b8\\'f1",
            "{\\i note}",           "chapter", "\\'ba\\'d0\\'b7\\'f9", "text",  "\\ul under\\ulnone "};
        while (rtf.size() < 5 * 1024 * 1024) {
            rtf += "\\pard\\fs" + QByteArray::number(18 + random.bounded(8) * 2) + ' ';
            for (int w = 0; w < 40; ++w) {
                rtf += words[random.bounded(10)];
                rtf += ' ';
                rtf += QByteArray::number(random.bounded(1000));
                rtf += ' ';
            }
            rtf += "\\par\n";
        }
        rtf += "}";
        QFile f(body);
        if (!f.open(QIODevice::WriteOnly) || f.write(rtf) != rtf.size()) {
            std::fprintf(stderr, "cannot write the body\n");
        }
    }
};

Fixture* fixture = nullptr;

TArchiver& archiver() {
    static TArchiver* a = [] {
        auto* made = new TArchiver;
        made->SetUnattended(true);
        made->SetAddCompLevel(9);
        made->SetAddStoreSuffixes({tk::AddStoreSuffixEnum::assZIP});
        made->LoadZipEngine();
        made->LoadUnzipEngine();
        return made;
    }();
    return *a;
}

bool addOnce() {
    TArchiver& a = archiver();
    QFile::remove(fixture->ours);
    a.SetZipFileName(fixture->ours);
    a.SetPassword(QString::fromLatin1(kPassword));
    a.SetAddOptions({tk::AddOptsEnum::AddEncrypt});
    a.SetRootDir(fixture->scratch);
    a.SetFSpecArgs({QStringLiteral("TKFile.rtf")});
    a.Add();
    a.SetRootDir(QString());
    return a.HandledCount() == 1;
}

void addWithArchiver(benchmark::State& state) {
    for (auto _ : state) {
        if (!addOnce()) {
            state.SkipWithError("add failed");
        }
    }
}

void addWithLibzip(benchmark::State& state) {
    const QByteArray archive = QFile::encodeName(fixture->theirs);
    const QByteArray body = QFile::encodeName(fixture->body);
    for (auto _ : state) {
        int error = 0;
        zip_t* za = zip_open(archive.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        zip_source_t* src = zip_source_file_create(body.constData(), 0, -1, nullptr);
        const zip_int64_t index = zip_file_add(za, "TKFile.rtf", src, ZIP_FL_OVERWRITE);
        zip_set_file_compression(za, index, ZIP_CM_DEFLATE, 9);
        zip_file_set_encryption(za, index, ZIP_EM_AES_256, kPassword);
        if (zip_close(za) != 0) {
            state.SkipWithError("libzip add failed");
        }
    }
}

void extractWithArchiver(benchmark::State& state) {
    if (!QFile::exists(fixture->ours) && !addOnce()) {
        state.SkipWithError("add failed");
    }
    TArchiver& a = archiver();
    a.SetZipFileName(fixture->ours);
    for (auto _ : state) {
        a.SetPassword(QString::fromLatin1(kPassword));
        a.SetExtrBaseDir(fixture->outOurs);
        a.SetExtrOptions({tk::ExtrOptsEnum::ExtrDirNames, tk::ExtrOptsEnum::ExtrOverWrite});
        a.Extract();
        if (a.HandledCount() != 1) {
            state.SkipWithError("extract failed");
        }
    }
}

void extractWithLibzip(benchmark::State& state) {
    if (!QFile::exists(fixture->ours) && !addOnce()) {
        state.SkipWithError("add failed");
    }
    const QByteArray archive = QFile::encodeName(fixture->ours);
    const QByteArray out = QFile::encodeName(fixture->outTheirs + QStringLiteral("/TKFile.rtf"));
    std::vector<char> buffer(256 * 1024);
    for (auto _ : state) {
        int error = 0;
        zip_t* za = zip_open(archive.constData(), ZIP_RDONLY, &error);
        zip_file_t* zf = zip_fopen_index_encrypted(za, 0, 0, kPassword);
        FILE* f = std::fopen(out.constData(), "wb");
        zip_int64_t n = 0;
        while (zf && (n = zip_fread(zf, buffer.data(), buffer.size())) > 0) {
            std::fwrite(buffer.data(), 1, static_cast<size_t>(n), f);
        }
        std::fclose(f);
        if (!zf || n < 0) {
            state.SkipWithError("libzip read failed");
        }
        zip_fclose(zf);
        zip_discard(za);
    }
}

// Repeated, and the best repetition counts: the machine is shared and wall time is noisy.
BENCHMARK(addWithArchiver)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3);
BENCHMARK(addWithLibzip)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3);
BENCHMARK(extractWithArchiver)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(extractWithLibzip)->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5);

// Keeps each benchmark's best time so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            const double t = run.GetAdjustedRealTime();
            if (!times.count(name) || t < times[name]) {
                times[name] = t;
            }
            const double c = run.GetAdjustedCPUTime();
            if (!cpuTimes.count(name) || c < cpuTimes[name]) {
                cpuTimes[name] = c;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
};

double secondsOf(const QString& program, const QStringList& args, const QString& workDir) {
    QProcess p;
    p.setWorkingDirectory(workDir);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Fixture f;
    fixture = &f;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double addOurs = reporter.times["addWithArchiver"];
    const double addTheirs = reporter.times["addWithLibzip"];
    const double extractOurs = reporter.times["extractWithArchiver"];
    const double extractTheirs = reporter.times["extractWithLibzip"];
    // Wall time decides; processor time is printed too, since a shared machine makes wall time noisy.
    auto& cpu = reporter.cpuTimes;
    if (addTheirs > 0) {
        std::printf("Add ratio (TArchiver / libzip): %.3f (goal <= 1.15); processor time %.3f\n", addOurs / addTheirs,
                    cpu["addWithArchiver"] / cpu["addWithLibzip"]);
    }
    if (extractTheirs > 0) {
        std::printf("Extract ratio (TArchiver / libzip): %.3f (goal <= 1.15); processor time %.3f\n",
                    extractOurs / extractTheirs, cpu["extractWithArchiver"] / cpu["extractWithLibzip"]);
    }
    const double sevenZip =
        secondsOf(QStringLiteral("7z"),
                  {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mx=9"), QStringLiteral("-mem=AES256"),
                   QStringLiteral("-p") + QLatin1String(kPassword), QStringLiteral("-bd"),
                   f.dir.path() + QStringLiteral("/7z.zip"), QStringLiteral("TKFile.rtf")},
                  f.scratch);
    const double infoZip = secondsOf(QStringLiteral("zip"),
                                     {QStringLiteral("-q9"), QStringLiteral("-P"), QLatin1String(kPassword),
                                      f.dir.path() + QStringLiteral("/iz.zip"), QStringLiteral("TKFile.rtf")},
                                     f.scratch);
    std::printf("reference: 7z a -tzip -mx=9 -mem=AES256: %.3f s; zip -9 -P: %.3f s; TArchiver.Add: %.3f s\n", sevenZip,
                infoZip, addOurs / 1e3);
    return 0;
}
