// The search index on a generated library: N unprotected entries (TK_BENCH_SEARCH_ENTRIES, 2,000
// by default, 10,000 for the full measure) of some 5 KB of Korean and English text, and P protected
// ones (TK_BENCH_SEARCH_PROTECTED, 1,000 by default).
#include "bench/gui_bench.h"
#include "platform/codepage.h"
#include "search/entry_text.h"
#include "search/memory_search.h"
#include "search/search_index.h"
#include "store/entry_comment.h"
#include "store/entry_find.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using tk::search::SearchIndex;

const char* const kPassword = "bench-password";

int sizeFromEnv(const char* name, int fallback) {
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

// Korean words of two and three syllables and English words; "여행", the word the query looks for,
// is none of them and none of their joins, so it is found only where it is put.
const QStringList& words() {
    static const QStringList list = [] {
        const QString syllables =
            QString::fromUtf8("가나다라마바사아자차카타파하고노도로모보소오조초서울부산기차사진회의계획");
        QStringList made;
        for (int i = 0; i < syllables.size(); ++i) {
            for (int j = 0; j < syllables.size(); j += 3) {
                made.append(QString(syllables[i]) + syllables[j] + syllables[(i + j) % syllables.size()]);
                made.append(QString(syllables[j]) + syllables[i]);
            }
        }
        made += QStringLiteral(
                    "library travel window garden coffee morning evening report meeting budget summary "
                    "chapter letter notes river mountain station Quick Brown Fox Lazy Dog Seoul Busan "
                    "project archive document")
                    .split(u' ');
        return made;
    }();
    return list;
}

// Some 5 KB of text drawn from the word list with a fixed seed; one entry in twenty tells of a trip.
QString textFor(int seed) {
    QRandomGenerator random(static_cast<quint32>(seed + 1));
    QString text;
    if (seed % 20 == 0) {
        text += QString::fromUtf8("제주여행기 여행을 ");
    }
    while (text.toUtf8().size() < 5000) {
        for (int i = 0; i < 40; ++i) {
            text += words().at(random.bounded(words().size())) + u' ';
        }
        text += u'\n';
    }
    return text;
}

QByteArray rtfOf(const QString& text) {
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fnil\\fcharset129 Gulim;}}\\uc1\\f0\\fs18 ");
    for (const QChar c : text) {
        if (c == u'\n') {
            rtf += "\\par\n";
        } else if (c.unicode() < 0x80) {
            rtf += static_cast<char>(c.unicode());
        } else {
            rtf += "\\u" + QByteArray::number(static_cast<qint16>(c.unicode())) + '?';
        }
    }
    return rtf + "\\par}";
}

bool writeEntry(const QString& path, const QString& title, const QByteArray& body, const char* password) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) {
        return false;
    }
    zip_source_t* source = zip_source_buffer(za, body.constData(), static_cast<zip_uint64_t>(body.size()), 0);
    const zip_int64_t index = zip_file_add(za, "TKFile.rtf", source, ZIP_FL_ENC_UTF_8);
    if (index >= 0 && password) {
        zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, password);
    }
    if (index < 0 || zip_close(za) != 0) {
        zip_discard(za);
        return false;
    }
    const QByteArray comment = tk::codepage::encodeComment(
        tk::MakeEntryComment(title, QStringLiteral("일기"), password != nullptr, QStringLiteral("TKFile.rtf")));
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(file.size() - 2)) {
        return false;
    }
    const char length[2] = {static_cast<char>(comment.size() & 0xff), static_cast<char>(comment.size() >> 8)};
    return file.write(length, 2) == 2 && file.write(comment) == comment.size();
}

struct Library {
    QTemporaryDir dir;
    QString list, plain, locked, cache;
    std::vector<tk::EntryRow> rows;

    Library() {
        list = dir.path() + QStringLiteral("/LIST/");
        plain = list + QStringLiteral("일기/");
        locked = list + QStringLiteral("비밀/");
        cache = dir.path() + QStringLiteral("/cache");
        QDir().mkpath(plain);
        QDir().mkpath(locked);
        const int entries = sizeFromEnv("TK_BENCH_SEARCH_ENTRIES", 2000);
        for (int i = 0; i < entries; ++i) {
            const QString title = QStringLiteral("글 %1 ").arg(i) + words().at(i % words().size());
            writeEntry(plain + QString::number(i) + QStringLiteral(".zip"), title, rtfOf(textFor(i)), nullptr);
        }
        for (int i = 0; i < sizeFromEnv("TK_BENCH_SEARCH_PROTECTED", 1000); ++i) {
            writeEntry(locked + QString::number(i) + QStringLiteral(".zip"), QStringLiteral("비밀 %1").arg(i),
                       rtfOf(textFor(entries + i)), kPassword);
        }
        rows = tk::LoadEntries(plain).rows;
        std::printf("library: %d entries, %d protected\n", entries, static_cast<int>(QDir(locked).count()) - 2);
    }
};

Library& library() {
    static Library lib;
    return lib;
}

double medianMs(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

double queryMedian = 0;
double snippetMedian = 0;
double phraseMedian = 0;
size_t phraseHits = 0;
size_t snippetHits = 0;
double findMedian = 0;
double entriesPerSecond = 0;

// Extracting every body into memory and converting it to plain text, without indexing.
void BM_FloorExtractConvert(benchmark::State& state) {
    Library& lib = library();
    for (auto _ : state) {
        for (const tk::EntryRow& row : lib.rows) {
            QString text;
            const tk::EntryComment comment{row.title, row.category, false, row.documentFile};
            benchmark::DoNotOptimize(
                tk::search::readEntryText(lib.plain + row.archiveName + QStringLiteral(".zip"), comment, {}, &text));
        }
    }
}
BENCHMARK(BM_FloorExtractConvert)->Unit(benchmark::kMillisecond)->Iterations(1);

// Building the index of the whole library from nothing.
void BM_IndexAll(benchmark::State& state) {
    Library& lib = library();
    for (auto _ : state) {
        QDir(lib.cache).removeRecursively();
        QElapsedTimer clock;
        clock.start();
        SearchIndex index;
        tk::search::CatchUpReport report;
        if (!index.open(lib.list, lib.cache) || !index.catchUp({}, nullptr, &report)) {
            state.SkipWithError("the index could not be built");
        }
        entriesPerSecond = report.read * 1000.0 / std::max<qint64>(1, clock.elapsed());
    }
}
BENCHMARK(BM_IndexAll)->Unit(benchmark::kMillisecond)->Iterations(1)->MeasureProcessCPUTime();

// Times a query over the index (a two-syllable Korean word unless told), with or without the
// words around each match; returns the median and leaves the hits' count in the state's counters.
double queryMedianMs(benchmark::State& state, bool withSnippets, size_t* hitCount,
                     const QString& query = QStringLiteral("여행")) {
    Library& lib = library();
    SearchIndex index;
    if (!index.open(lib.list, lib.cache)) {
        state.SkipWithError("no index");
        return 0;
    }
    std::vector<double> times;
    std::vector<tk::search::SearchHit> hits;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        benchmark::DoNotOptimize(index.search(query, lib.plain, withSnippets, &hits));
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    state.counters["hits"] = static_cast<double>(hits.size());
    *hitCount = hits.size();
    return medianMs(times);
}

// The query alone, printed beside the title-only find over the same rows.
void BM_QueryKorean(benchmark::State& state) {
    size_t hits = 0;
    queryMedian = queryMedianMs(state, false, &hits);
}
BENCHMARK(BM_QueryKorean)->Unit(benchmark::kMillisecond)->Iterations(200);

// The same query with the words around each match.
void BM_QueryKoreanSnippets(benchmark::State& state) {
    snippetMedian = queryMedianMs(state, true, &snippetHits);
}
BENCHMARK(BM_QueryKoreanSnippets)->Unit(benchmark::kMillisecond)->Iterations(10);

// A phrase: the index finds its words, and each entry found is checked on its text.
void BM_QueryKoreanPhrase(benchmark::State& state) {
    phraseMedian = queryMedianMs(state, false, &phraseHits, QStringLiteral("\"제주여행기 여행을\""));
}
BENCHMARK(BM_QueryKoreanPhrase)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_TitleFind(benchmark::State& state) {
    Library& lib = library();
    const QString needle = tk::upperAscii(QStringLiteral("여행"));
    std::vector<double> times;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        int found = 0;
        for (const tk::EntryRow& row : lib.rows) {
            found += tk::rowMatchesFind(row, needle, tk::FindOptions{}) ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    findMedian = medianMs(times);
}
BENCHMARK(BM_TitleFind)->Unit(benchmark::kMillisecond)->Iterations(200);

std::vector<tk::search::SearchHit> protectedCandidates() {
    Library& lib = library();
    SearchIndex index;
    std::vector<tk::search::SearchHit> candidates;
    if (!index.open(lib.list, lib.cache) || !index.protectedEntries(lib.locked, &candidates)) {
        candidates.clear();
    }
    return candidates;
}

// Decrypting and converting the protected entries alone.
void BM_FloorDecryptConvert(benchmark::State& state) {
    const std::vector<tk::search::SearchHit> candidates = protectedCandidates();
    for (auto _ : state) {
        for (const tk::search::SearchHit& entry : candidates) {
            QString text;
            const tk::EntryComment comment{entry.row.title, entry.row.category, true, entry.row.documentFile};
            benchmark::DoNotOptimize(
                tk::search::readEntryText(entry.archivePath(), comment, QString::fromLatin1(kPassword), &text));
        }
    }
}
BENCHMARK(BM_FloorDecryptConvert)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ProtectedSearch(benchmark::State& state) {
    const std::vector<tk::search::SearchHit> candidates = protectedCandidates();
    for (auto _ : state) {
        tk::search::ProtectedSearchReport report;
        const auto hits = tk::search::searchProtected(QStringLiteral("여행"), candidates,
                                                      QString::fromLatin1(kPassword), false, {}, nullptr, &report);
        state.counters["hits"] = static_cast<double>(hits.size());
        if (!report.unreadable.isEmpty()) {
            state.SkipWithError("a protected entry did not open");
        }
    }
}
BENCHMARK(BM_ProtectedSearch)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(argc, argv, [](tk::bench::RatioReporter& reporter) {
        reporter.printRatio("indexing every entry vs extracting and converting them alone, time", "BM_IndexAll",
                            "BM_FloorExtractConvert", 2.0);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double peakMiB = usage.ru_maxrss / 1024.0;
        std::printf("indexing: %.0f entries per second; peak memory %.1f MiB (goal <= 200) %s\n", entriesPerSecond,
                    peakMiB, peakMiB <= 200 ? "MET" : "MISSED");
        std::printf(
            "two-syllable Korean query: median %.3f ms (goal <= 5 ms) %s; title-only find over the same "
            "rows: median %.3f ms\n",
            queryMedian, queryMedian <= 5 ? "MET" : "MISSED", findMedian);
        std::printf("the same query with the snippets of all %zu hits: median %.1f ms\n", snippetHits, snippetMedian);
        std::printf("a two-word phrase, its %zu hits checked on their text: median %.1f ms\n", phraseHits,
                    phraseMedian);
        reporter.printRatio("searching protected entries with one password vs decrypting and converting them, time",
                            "BM_ProtectedSearch", "BM_FloorDecryptConvert", 1.3);
    });
}
