#include "editor/char_palette_list.h"

#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <span>

namespace tk::palette {
namespace {

// A run of the table: every lead byte from leadFirst to leadLast, each with every trail byte from
// trailFirst to trailLast, after the given number of blank entries.
struct Run {
    int blanksBefore;
    unsigned char leadFirst, leadLast, trailFirst, trailLast;
};

constexpr std::array<Run, 1> kSymbols = {{{0, 0xA1, 0xA2, 0xA1, 0xE5}}};
constexpr std::array<Run, 2> kLettersJamo = {{{0, 0xA3, 0xA3, 0xA1, 0xFE}, {3, 0xA4, 0xA4, 0xA1, 0xFE}}};
constexpr std::array<Run, 2> kLinesUnits = {{{0, 0xA6, 0xA6, 0xA1, 0xE4}, {3, 0xA7, 0xA7, 0xA1, 0xEF}}};
constexpr std::array<Run, 2> kCircled = {{{0, 0xA8, 0xA8, 0xB1, 0xFE}, {3, 0xA9, 0xA9, 0xB1, 0xFE}}};
constexpr std::array<Run, 2> kKana = {{{0, 0xAA, 0xAA, 0xA1, 0xF3}, {3, 0xAB, 0xAB, 0xA1, 0xF6}}};
constexpr std::array<Run, 6> kGreekCyrillic = {{{0, 0xA5, 0xA5, 0xA1, 0xAA},
                                                {5, 0xA5, 0xA5, 0xB0, 0xB9},
                                                {3, 0xA5, 0xA5, 0xC1, 0xD8},
                                                {3, 0xA5, 0xA5, 0xE1, 0xF8},
                                                {3, 0xAC, 0xAC, 0xA1, 0xC1},
                                                {3, 0xAC, 0xAC, 0xD1, 0xF1}}};
constexpr std::array<Run, 1> kHanja = {{{0, 0xCA, 0xFD, 0xA1, 0xFE}}};
constexpr std::array<Run, 2> kOther = {{{0, 0xA8, 0xA8, 0xA1, 0xAF}, {2, 0xA9, 0xA9, 0xA1, 0xB0}}};

std::span<const Run> tabRuns(int tab) {
    switch (tab) {
        case 0:
            return kSymbols;
        case 1:
            return kLettersJamo;
        case 2:
            return kLinesUnits;
        case 3:
            return kCircled;
        case 4:
            return kKana;
        case 5:
            return kGreekCyrillic;
        case kHanjaTab:
            return kHanja;
        case 7:
            return kOther;
        default:
            return {};
    }
}

// Each pair is converted on its own: an unassigned pair within a longer byte string would make
// the decoder take its trail byte as the next lead byte and shift every character after it.
QString pairText(unsigned char lead, unsigned char trail) {
    const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const QString text = codepage::decode(codepage::kAnsi, QByteArrayView(bytes, 2));
    // An unassigned pair decodes to replacement characters, which must never reach a document.
    if (text.size() != 1 || text.front() == QChar::ReplacementCharacter) {
        return {};
    }
    return text;
}

}  // namespace

QString tabCaption(int tab) {
    static const std::array<QString, kTabCount> captions = {
        QStringLiteral("기호 문자"),     QStringLiteral("영문 전각, 한글 자모"),
        QStringLiteral("선, 단위 문자"), QStringLiteral("원, 괄호 문자"),
        QStringLiteral("일본 문자"),     QStringLiteral("그리스, 러시아 문자"),
        QStringLiteral("한문"),          QStringLiteral("기타")};
    return tab >= 0 && tab < kTabCount ? captions[tab] : QString();
}

QStringList tabEntries(int tab) {
    QStringList entries;
    for (const Run& run : tabRuns(tab)) {
        for (int i = 0; i < run.blanksBefore; ++i) {
            entries.append(QString());
        }
        for (int lead = run.leadFirst; lead <= run.leadLast; ++lead) {
            for (int trail = run.trailFirst; trail <= run.trailLast; ++trail) {
                entries.append(pairText(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)));
            }
        }
    }
    return entries;
}

int tabColumns(int tab) {
    return tab == kHanjaTab ? 14 : 15;
}

int gridRows(int entries, int columns) {
    return std::max(entries / columns + 1, kMinRows);
}

}  // namespace tk::palette
