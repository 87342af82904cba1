// Loading and saving a 5 MB RTF document (Korean and English, formatted, in the form LibreOffice
// writes) against QTextDocument's HTML import and export of the same document, and the compressed
// container codec against zlib at level 1 on the same RTF. Prints the ratios at the end.
#include "bench/bench_support.h"
#include "richedit/compressed_rtf.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

struct Run {
    QString text;
    bool bold = false;
    bool italic = false;
    int color = 0;  // 0: automatic, else an index into kColors
    int halfPoints = 24;
};

const char* const kColors[] = {"", "c00000", "0000ff", "008000"};

const char16_t* const kKoreanWords[] = {
    u"오늘은",     u"서재를", u"정리하면서", u"오래된", u"일기를", u"다시", u"읽었다", u"비가",   u"오는",   u"날이면",
    u"창가에",     u"앉아",   u"책을",       u"읽는",   u"것이",   u"좋다", u"한글과", u"영어가", u"섞인",   u"문단을",
    u"시험합니다", u"굵은",   u"글씨와",     u"기울임", u"그리고", u"색깔", u"있는",   u"글자",   u"도서관", u"문서",
    u"기록",       u"여행",   u"가족",       u"친구",   u"음식",   u"하늘", u"바다",   u"산책",   u"생각",   u"마음",
    u"사진",       u"편지",   u"노래",       u"시간",   u"계절",   u"봄날", u"여름",   u"가을",   u"겨울",   u"아침"};
const char* const kEnglishWords[] = {
    "the",     "quick",     "brown",    "fox",     "jumps",  "over",    "lazy",      "dog",    "keeping", "personal",
    "library", "documents", "many",     "years",   "mixed",  "scripts", "paragraph", "people", "write",   "them",
    "notes",   "journal",   "morning",  "evening", "letter", "travel",  "garden",    "window", "rain",    "coffee",
    "music",   "river",     "mountain", "memory",  "summer", "winter",  "station",   "market", "friend",  "family"};

// Sentences of words drawn from small vocabularies, so that the text repeats about as much as
// real writing does.
QString sentence(quint32& seed, bool korean) {
    QString text;
    const int words = 5 + int(seed % 7);
    for (int i = 0; i < words; ++i) {
        seed = seed * 1664525u + 1013904223u;
        if (korean) {
            text += QString::fromUtf16(kKoreanWords[(seed >> 8) % std::size(kKoreanWords)]);
        } else {
            text += QLatin1String(kEnglishWords[(seed >> 8) % std::size(kEnglishWords)]);
        }
        text += i + 1 < words ? QLatin1Char(' ') : QLatin1Char('.');
    }
    return text + QLatin1Char(' ');
}

// Paragraphs of runs, the same for the RTF and the HTML form.
QList<QList<Run>> makeParagraphs(qsizetype targetRtfBytes) {
    QList<QList<Run>> paragraphs;
    qsizetype estimate = 0;
    quint32 seed = 12345;
    for (int p = 0; estimate < targetRtfBytes; ++p) {
        QList<Run> runs;
        for (int r = 0; r < 6; ++r) {
            Run run;
            run.text = sentence(seed, r % 2 == 0);
            run.bold = (p + r) % 5 == 1;
            run.italic = (p + r) % 7 == 2;
            run.color = (p + r) % 4;
            run.halfPoints = 20 + 2 * ((p + r) % 3);
            estimate += run.text.size() * ((r % 2 == 0) ? 11 : 1) + 30;
            runs.append(run);
        }
        estimate += 60;
        paragraphs.append(runs);
    }
    return paragraphs;
}

// The RTF as LibreOffice writes it: \uN with '?' escapes, East Asian runs under \dbch, a style
// on every paragraph.
QByteArray makeRtf(const QList<QList<Run>>& paragraphs) {
    QByteArray rtf =
        "{\\rtf1\\ansi\\deff3\\adeflang1025\n{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}"
        "{\\f3\\froman\\fprq2\\fcharset0 DejaVu Serif;}{\\f6\\fnil\\fprq2\\fcharset0 Noto Sans CJK KR;}}\n"
        "{\\colortbl;\\red192\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\n"
        "{\\stylesheet{\\s0\\snext0\\rtlch\\af6\\afs24 \\ltrch\\hich\\af3\\loch\\f3\\fs24\\dbch\\af6 Normal;}}\n"
        "{\\*\\generator LibreOffice/7.4$Linux_X86_64}\\formshade\\paperh16838\\paperw11906\\pgndec\n";
    for (const QList<Run>& runs : paragraphs) {
        rtf += "\\pard\\plain \\s0\\loch\\sl276\\slmult1\\sb0\\sa140\\ql\\ltrpar";
        for (const Run& run : runs) {
            const bool korean = run.text.at(0).unicode() >= 0xAC00;
            QByteArray props = korean ? "{\\dbch" : "{\\loch";
            if (run.color) {
                props += "\\cf" + QByteArray::number(run.color);
            }
            props += QByteArray(korean ? "\\afs" : "\\fs") + QByteArray::number(run.halfPoints);
            if (run.bold) {
                props += korean ? "\\ab" : "\\b";
            }
            if (run.italic) {
                props += korean ? "\\ai" : "\\i";
            }
            rtf += props + (korean ? "\\dbch\n" : "\\loch\n");
            for (QChar c : run.text) {
                if (c.unicode() < 0x80) {
                    rtf += char(c.unicode());
                } else {
                    rtf += "\\u" + QByteArray::number(c.unicode()) + "\\'3f";
                }
            }
            rtf += '}';
        }
        rtf += "\n\\par ";
    }
    rtf += "}\n";
    return rtf;
}

QString makeHtml(const QList<QList<Run>>& paragraphs) {
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>");
    for (const QList<Run>& runs : paragraphs) {
        html += QStringLiteral("<p style=\"margin-top:0; margin-bottom:9px; line-height:115%;\">");
        for (const Run& run : runs) {
            const bool korean = run.text.at(0).unicode() >= 0xAC00;
            QString style = QStringLiteral("font-family:'%1'; font-size:%2pt;")
                                .arg(korean ? QStringLiteral("Noto Sans CJK KR") : QStringLiteral("DejaVu Serif"))
                                .arg(run.halfPoints / 2);
            if (run.color) {
                style += QStringLiteral(" color:#%1;").arg(QLatin1String(kColors[run.color]));
            }
            if (run.bold) {
                style += QStringLiteral(" font-weight:700;");
            }
            if (run.italic) {
                style += QStringLiteral(" font-style:italic;");
            }
            html += QStringLiteral("<span style=\"%1\">%2</span>").arg(style, run.text.toHtmlEscaped());
        }
        html += QStringLiteral("</p>\n");
    }
    html += QStringLiteral("</body></html>");
    return html;
}

struct Data {
    QByteArray rtf;
    QString html;
};

const Data& data() {
    static const Data d = [] {
        const auto paragraphs = makeParagraphs(5 * 1024 * 1024 * 4 / 3);
        return Data{makeRtf(paragraphs), makeHtml(paragraphs)};
    }();
    return d;
}

void BM_ReadRtf(benchmark::State& state) {
    const QByteArray& rtf = data().rtf;
    for (auto _ : state) {
        QTextDocument document;
        QTextCursor cursor(&document);
        if (tk::rtf::readRtf(rtf, cursor) != tk::rtf::RtfError::None) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(document.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_SetHtml(benchmark::State& state) {
    const QString& html = data().html;
    for (auto _ : state) {
        QTextDocument document;
        document.setHtml(html);
        benchmark::DoNotOptimize(document.characterCount());
    }
}

QTextDocument& loadedDocument() {
    static QTextDocument document;
    if (document.isEmpty()) {
        QTextCursor cursor(&document);
        (void)tk::rtf::readRtf(data().rtf, cursor);
    }
    return document;
}

void BM_WriteRtf(benchmark::State& state) {
    const QTextDocument& document = loadedDocument();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tk::rtf::writeRtf(document).size());
    }
}

void BM_ToHtml(benchmark::State& state) {
    const QTextDocument& document = loadedDocument();
    for (auto _ : state) {
        benchmark::DoNotOptimize(document.toHtml().size());
    }
}

void BM_CompressBlock(benchmark::State& state) {
    const QByteArray& rtf = data().rtf;
    const auto* in = reinterpret_cast<const unsigned char*>(rtf.constData());
    unsigned char out[tk::kCompressedBlockBuffer];
    for (auto _ : state) {
        qsizetype total = 0;
        for (qsizetype at = 0; at < rtf.size(); at += tk::kCompressedBlockInput) {
            const int n = int(std::min<qsizetype>(tk::kCompressedBlockInput, rtf.size() - at));
            total += tk::CompressBlock(in + at, n, out);
        }
        benchmark::DoNotOptimize(total);
        state.counters["ratio"] = double(total) / double(rtf.size());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_DecompressBlock(benchmark::State& state) {
    const QByteArray& rtf = data().rtf;
    const QByteArray container = tk::compressRtf(rtf);
    const auto* in = reinterpret_cast<const unsigned char*>(container.constData());
    unsigned char out[tk::kCompressedBlockInput];
    for (auto _ : state) {
        qsizetype at = tk::kCompressedSignatureSize;
        qsizetype total = 0;
        while (at < container.size()) {
            const int length = int(in[at] | in[at + 1] << 8 | in[at + 2] << 16 | in[at + 3] << 24);
            total += tk::DecompressBlock(in + at + 4, length, out);
            at += 4 + length;
        }
        if (total != rtf.size()) {
            state.SkipWithError("round trip failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_ZlibCompress1(benchmark::State& state) {
    const QByteArray& rtf = data().rtf;
    std::vector<Bytef> out(compressBound(uLong(rtf.size())));
    for (auto _ : state) {
        uLongf length = uLongf(out.size());
        compress2(out.data(), &length, reinterpret_cast<const Bytef*>(rtf.constData()), uLong(rtf.size()), 1);
        state.counters["ratio"] = double(length) / double(rtf.size());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_ZlibUncompress(benchmark::State& state) {
    const QByteArray& rtf = data().rtf;
    std::vector<Bytef> packed(compressBound(uLong(rtf.size())));
    uLongf packedLength = uLongf(packed.size());
    compress2(packed.data(), &packedLength, reinterpret_cast<const Bytef*>(rtf.constData()), uLong(rtf.size()), 1);
    std::vector<Bytef> out(size_t(rtf.size()));
    for (auto _ : state) {
        uLongf length = uLongf(out.size());
        uncompress(out.data(), &length, packed.data(), packedLength);
        benchmark::DoNotOptimize(length);
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

}  // namespace

BENCHMARK(BM_ReadRtf)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SetHtml)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ToHtml)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CompressBlock)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_ZlibCompress1)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_DecompressBlock)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond)->MinTime(1);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("RTF %.1f MB, HTML %.1f MB of UTF-16\n", data().rtf.size() / 1048576.0, data().html.size() / 524288.0);
    tk::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    using Goal = tk::bench::RatioReporter::Goal;
    reporter.printRatio("RTF read vs setHtml", "BM_ReadRtf", "BM_SetHtml", 0.6);
    reporter.printRatio("RTF write vs toHtml", "BM_WriteRtf", "BM_ToHtml", 1.0);
    reporter.printRatio("CompressBlock speed vs zlib level 1", "BM_CompressBlock", "BM_ZlibCompress1", 1.5,
                        Goal::AtLeastAsFast);
    reporter.printRatio("DecompressBlock speed vs zlib", "BM_DecompressBlock", "BM_ZlibUncompress", 1.5,
                        Goal::AtLeastAsFast);
    benchmark::Shutdown();
    return 0;
}
