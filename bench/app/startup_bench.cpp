// Start-up to the main window shown, with 10,000 entries in the restored category, beside an
// empty library: wall time from launching the process and the process's peak memory.
#include "app/main_window.h"
#include "app/program.h"
#include "bench/app/library_maker.h"
#include "platform/registry_store.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 7;

long peakKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Runs the program's own start-up and reports once the window is shown with its list filled.
int child(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    return tk::runProgram([](tk::TForm1& form1) {
        std::printf("rows %d peak %ld\n", form1.ListView1->entries()->rowCount(), peakKiB());
        std::fflush(stdout);
        form1.close();
    });
}

struct Sample {
    double ms = 0;
    long peakKiB = 0;
    int rows = 0;
};

Sample launch(const QString& self, const QString& home, const QString& config) {
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOMEKEEP_HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    proc.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    proc.start(self, {QStringLiteral("--child")});
    Sample s;
    // The time to the report line: start-up until the window is shown and filled.
    while (proc.state() != QProcess::NotRunning && !proc.canReadLine()) {
        proc.waitForReadyRead(5000);
    }
    s.ms = timer.nsecsElapsed() / 1e6;
    const QList<QByteArray> words = proc.readLine().trimmed().split(' ');
    if (words.size() == 4) {
        s.rows = words[1].toInt();
        s.peakKiB = words[3].toLong();
    }
    proc.waitForFinished();
    return s;
}

// The listing floor of the folder, the median of many warm runs, in milliseconds.
double listingFloorMs(const QString& folder) {
    std::vector<double> runs;
    for (int i = 0; i < 41; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (tk::bench::readEveryArchiveTail(folder) == 0) {
            return 0;
        }
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

Sample median(const QString& self, const QString& home, const QString& config) {
    std::vector<Sample> samples;
    launch(self, home, config);  // warm the page cache and the font cache
    for (int i = 0; i < kRuns; ++i) {
        samples.push_back(launch(self, home, config));
    }
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.ms < b.ms; });
    return samples[samples.size() / 2];
}

void writeSettings(const QString& config, const QString& listDir) {
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    tk::RegistryStore store;
    store.writeString(QStringLiteral("Software\\TOMEKEEP\\Book"), QStringLiteral("List"), listDir);
    store.writeString(QStringLiteral("Software\\TOMEKEEP\\Book"), QStringLiteral("Name"), QStringLiteral("일기"));
    if (!store.save()) {
        std::fprintf(stderr, "cannot write settings: %s\n", qPrintable(store.errorString()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--child") {
        return child(argc, argv);
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString emptyHome = work.filePath(QStringLiteral("empty"));
    const QString fullHome = work.filePath(QStringLiteral("full"));
    QDir().mkpath(emptyHome + QStringLiteral("/LIST"));
    const QString category = fullHome + QStringLiteral("/LIST/일기/");
    tk::bench::makeEntryArchives(category, 10000);
    writeSettings(work.filePath(QStringLiteral("config-empty")), QString());
    writeSettings(work.filePath(QStringLiteral("config-full")), category);

    const QString self = QCoreApplication::applicationFilePath();
    const Sample empty = median(self, emptyHome, work.filePath(QStringLiteral("config-empty")));
    const Sample full = median(self, fullHome, work.filePath(QStringLiteral("config-full")));
    const double floor = listingFloorMs(category);
    std::printf("start-up, empty library:        %6.1f ms, peak %5.1f MiB (%d rows)\n", empty.ms,
                empty.peakKiB / 1024.0, empty.rows);
    std::printf("start-up, 10,000 entries shown: %6.1f ms, peak %5.1f MiB (%d rows)\n", full.ms, full.peakKiB / 1024.0,
                full.rows);
    std::printf("listing floor of 10,000 entries: %.1f ms\n", floor);
    // The rows cost what they add over an empty start, measured against the floor of listing them.
    const double added = floor > 0 ? (full.ms - empty.ms) / floor : 0.0;
    std::printf(
        "10,000 entries: empty start-up + %.2fx the listing floor (goal <= 1.50x) %s; "
        "%.1f MiB (goal <= 60 MiB) %s\n",
        added, added <= 1.5 ? "MET" : "MISSED", full.peakKiB / 1024.0, full.peakKiB <= 60 * 1024 ? "MET" : "MISSED");
    return full.rows == 10000 ? 0 : 1;
}
