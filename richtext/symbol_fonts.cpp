#include "richtext/symbol_fonts.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace tk::rtf::symbolfont {

namespace {

constexpr unsigned kFirst = 0x20;
constexpr unsigned kCount = 0x100 - kFirst;
constexpr char32_t kPrivateBase = 0xF000;

using Table = std::array<char32_t, kCount>;

// Glyph codes 0x20..0xFF, a row of sixteen per line; 0 where the font has no glyph.
constexpr Table kSymbol = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,  // 0x20
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 0x30
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,  // 0x40
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,  // 0x50
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,  // 0x60
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,  // 0x70
    0,      0,      0,      0,      0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0,  // 0x80
    0,      0,      0,      0,      0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0,  // 0x90
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,  // 0xA0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,  // 0xB0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,  // 0xC0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,  // 0xD0
    0x25CA, 0x27E8, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,  // 0xE0
    0,      0x27E9, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,  // 0xF0
};

// Check marks, crosses and ballot boxes take the widely drawn characters of the Dingbats and
// Miscellaneous Symbols blocks, as do the arrowhead at 0xD8; the rest are the characters Unicode
// encoded for this font's glyphs.
constexpr Table kWingdings = {
    0x0020,  0x1F589, 0x2702,  0x2701,  0x1F453, 0x1F56D, 0x1F56E, 0x1F56F,
    0x1F57F, 0x2706,  0x1F582, 0x1F583, 0x1F4EA, 0x1F4EB, 0x1F4EC, 0x1F4ED,  // 0x20
    0x1F5C0, 0x1F5C1, 0x1F5CE, 0x1F5CF, 0x1F5D0, 0x1F5C4, 0x231B,  0x1F5AE,
    0x1F5B0, 0x1F5B2, 0x1F5B3, 0x1F5B4, 0x1F5AB, 0x1F5AC, 0x2707,  0x270D,  // 0x30
    0x1F58E, 0x270C,  0x1F44C, 0x1F44D, 0x1F44E, 0x261C,  0x261E,  0x261D,
    0x261F,  0x1F590, 0x263A,  0x1F610, 0x2639,  0x1F4A3, 0x2620,  0x1F3F3,  // 0x40
    0x1F3F1, 0x2708,  0x263C,  0x1F4A7, 0x2744,  0x1F546, 0x271E,  0x1F548,
    0x2720,  0x2721,  0x262A,  0x262F,  0x0950,  0x2638,  0x2648,  0x2649,  // 0x50
    0x264A,  0x264B,  0x264C,  0x264D,  0x264E,  0x264F,  0x2650,  0x2651,
    0x2652,  0x2653,  0x1F670, 0x1F675, 0x25CF,  0x1F53E, 0x25A0,  0x25A1,  // 0x60
    0x1F790, 0x2751,  0x2752,  0x2B27,  0x29EB,  0x25C6,  0x2756,  0x2B25,
    0x2327,  0x2BB9,  0x2318,  0x1F3F5, 0x1F3F6, 0x1F676, 0x1F677, 0,  // 0x70
    0x24EA,  0x2460,  0x2461,  0x2462,  0x2463,  0x2464,  0x2465,  0x2466,
    0x2467,  0x2468,  0x2469,  0x24FF,  0x2776,  0x2777,  0x2778,  0x2779,  // 0x80
    0x277A,  0x277B,  0x277C,  0x277D,  0x277E,  0x277F,  0x1F662, 0x1F660,
    0x1F661, 0x1F663, 0x1F65E, 0x1F65C, 0x1F65D, 0x1F65F, 0x00B7,  0x2022,  // 0x90
    0x25AA,  0x26AA,  0x1F786, 0x1F788, 0x25C9,  0x25CE,  0x1F53F, 0x25AA,
    0x25FB,  0x1F7C2, 0x2726,  0x2605,  0x2736,  0x2734,  0x2739,  0x2735,  // 0xA0
    0x2BD0,  0x2316,  0x27E1,  0x2311,  0x2BD1,  0x272A,  0x2730,  0x1F550,
    0x1F551, 0x1F552, 0x1F553, 0x1F554, 0x1F555, 0x1F556, 0x1F557, 0x1F558,  // 0xB0
    0x1F559, 0x1F55A, 0x1F55B, 0x2BB0,  0x2BB1,  0x2BB2,  0x2BB3,  0x2BB4,
    0x2BB5,  0x2BB6,  0x2BB7,  0x1F66A, 0x1F66B, 0x1F655, 0x1F654, 0x1F657,  // 0xC0
    0x1F656, 0x1F650, 0x1F651, 0x1F652, 0x1F653, 0x232B,  0x2326,  0x2B98,
    0x27A2,  0x2B99,  0x2B9B,  0x2B88,  0x2B8A,  0x2B89,  0x2B8B,  0x1F868,  // 0xD0
    0x1F86A, 0x1F869, 0x1F86B, 0x1F86C, 0x1F86D, 0x1F86F, 0x1F86E, 0x1F878,
    0x1F87A, 0x1F879, 0x1F87B, 0x1F87C, 0x1F87D, 0x1F87F, 0x1F87E, 0x21E6,  // 0xE0
    0x21E8,  0x21E7,  0x21E9,  0x2B04,  0x21F3,  0x2B00,  0x2B01,  0x2B03,
    0x2B02,  0x1F8AC, 0x1F8AD, 0x2718,  0x2714,  0x2612,  0x2611,  0,  // 0xF0
};

using Pairs = std::initializer_list<std::pair<unsigned char, char32_t>>;

// The other fonts are mapped where their glyphs are known for certain: check marks and crosses,
// ballot boxes, circled numbers, triangles and arrows; other codes keep the private-use form.
constexpr Pairs kWingdings2 = {
    {0x4F, 0x2717}, {0x50, 0x2713}, {0x51, 0x1F5F5}, {0x52, 0x2611}, {0x53, 0x2BBD}, {0x54, 0x2612},
    {0x55, 0x2BBE}, {0x56, 0x2BBF}, {0x69, 0x24EA},  {0x6A, 0x2460}, {0x6B, 0x2461}, {0x6C, 0x2462},
    {0x6D, 0x2463}, {0x6E, 0x2464}, {0x6F, 0x2465},  {0x70, 0x2466}, {0x71, 0x2467}, {0x72, 0x2468},
    {0x73, 0x2469}, {0x74, 0x24FF}, {0x75, 0x2776},  {0x76, 0x2777}, {0x77, 0x2778}, {0x78, 0x2779},
    {0x79, 0x277A}, {0x7A, 0x277B}, {0x7B, 0x277C},  {0x7C, 0x277D}, {0x7D, 0x277E}, {0x7E, 0x277F},
};

constexpr Pairs kWingdings3 = {
    {0x21, 0x2B60}, {0x22, 0x2B62}, {0x23, 0x2B61}, {0x24, 0x2B63},
    {0x70, 0x25B2}, {0x71, 0x25BC}, {0x74, 0x25C0}, {0x75, 0x25B6},
};

constexpr Pairs kWebdings = {
    {0x30, 0x1F5D5}, {0x31, 0x1F5D6}, {0x32, 0x1F5D7}, {0x33, 0x23F4}, {0x34, 0x23F5}, {0x35, 0x23F6},
    {0x36, 0x23F7},  {0x37, 0x23EA},  {0x38, 0x23E9},  {0x39, 0x23EE}, {0x3A, 0x23ED}, {0x3B, 0x23F8},
    {0x3C, 0x23F9},  {0x3D, 0x23FA},  {0x61, 0x2714},  {0x72, 0x2716},
};

Table fromPairs(Pairs pairs) {
    Table table{};
    table[0] = 0x0020;
    for (const auto& [code, c] : pairs) {
        table[code - kFirst] = c;
    }
    return table;
}

const Table* tableOf(Font font) {
    static const Table wingdings2 = fromPairs(kWingdings2);
    static const Table wingdings3 = fromPairs(kWingdings3);
    static const Table webdings = fromPairs(kWebdings);
    switch (font) {
        case Font::Symbol:
            return &kSymbol;
        case Font::Wingdings:
            return &kWingdings;
        case Font::Wingdings2:
            return &wingdings2;
        case Font::Wingdings3:
            return &wingdings3;
        case Font::Webdings:
            return &webdings;
        default:
            return nullptr;
    }
}

}  // namespace

Font fontNamed(QStringView name) {
    // Most fonts are ruled out by their length before any comparison.
    static const std::pair<QLatin1StringView, Font> names[] = {
        {QLatin1StringView("Symbol"), Font::Symbol},          {QLatin1StringView("Wingdings"), Font::Wingdings},
        {QLatin1StringView("Wingdings 2"), Font::Wingdings2}, {QLatin1StringView("Wingdings 3"), Font::Wingdings3},
        {QLatin1StringView("Webdings"), Font::Webdings},
    };
    for (const auto& [known, font] : names) {
        if (name.size() == known.size() && name.compare(known, Qt::CaseInsensitive) == 0) {
            return font;
        }
    }
    return Font::None;
}

Font fontOf(QStringView name, int charset) {
    const Font font = fontNamed(name.trimmed());
    return font != Font::None ? font : charset == 2 ? Font::Other : Font::None;
}

char32_t glyphCharacter(Font font, unsigned code) {
    if (code <= kFirst || code > 0xFF) {
        return code;
    }
    const Table* table = tableOf(font);
    const char32_t c = table ? (*table)[code - kFirst] : 0;
    return c != 0 ? c : kPrivateBase + code;
}

char32_t unicodeCharacter(Font font, char32_t c) {
    if (!mapped(font)) {
        return c;
    }
    if (c >= kPrivateBase + kFirst && c <= kPrivateBase + 0xFF) {
        return glyphCharacter(font, unsigned(c - kPrivateBase));
    }
    return c <= 0xFF ? glyphCharacter(font, unsigned(c)) : c;
}

void appendCharacter(QString* text, char32_t c) {
    if (c > 0xFFFF) {
        text->append(QChar(QChar::highSurrogate(c)));
        text->append(QChar(QChar::lowSurrogate(c)));
    } else {
        text->append(QChar(char16_t(c)));
    }
}

QString decode(Font font, QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes) {
        appendCharacter(&text, glyphCharacter(font, static_cast<unsigned char>(byte)));
    }
    return text;
}

namespace detail {
const char kMarkers[7][kMarkerSize] = {"",
                                       "symbol-font:Symbol",
                                       "symbol-font:Wingdings",
                                       "symbol-font:Wingdings 2",
                                       "symbol-font:Wingdings 3",
                                       "symbol-font:Webdings",
                                       "symbol-font:other"};
}  // namespace detail

const char* charsetMarker(Font font) {
    return detail::kMarkers[size_t(font)];
}

namespace {

// Splits a field instruction into words; a quoted word keeps its spaces.
QStringList instructionWords(QStringView instruction) {
    QStringList words;
    qsizetype at = 0;
    while (at < instruction.size()) {
        while (at < instruction.size() && instruction[at].isSpace()) {
            ++at;
        }
        if (at >= instruction.size()) {
            break;
        }
        if (instruction[at] == u'"') {
            const qsizetype end = instruction.indexOf(u'"', at + 1);
            words.append(instruction.mid(at + 1, end < 0 ? -1 : end - at - 1).toString());
            at = end < 0 ? instruction.size() : end + 1;
        } else {
            const qsizetype start = at;
            while (at < instruction.size() && !instruction[at].isSpace()) {
                ++at;
            }
            words.append(instruction.mid(start, at - start).toString());
        }
    }
    return words;
}

// A character code in decimal or, after 0x, in hex.
std::optional<char32_t> fieldCode(const QString& word) {
    bool ok = false;
    const uint value =
        word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? word.mid(2).toUInt(&ok, 16) : word.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
        return std::nullopt;
    }
    return char32_t(value);
}

}  // namespace

std::optional<SymbolField> parseSymbolField(QStringView instruction) {
    const QStringList words = instructionWords(instruction);
    if (words.size() < 2 || words[0].compare(QLatin1String("SYMBOL"), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    const std::optional<char32_t> code = fieldCode(words[1]);
    if (!code) {
        return std::nullopt;
    }
    SymbolField field;
    field.code = *code;
    for (qsizetype i = 2; i < words.size(); ++i) {
        const QString word = words[i].toLower();
        const bool hasNext = i + 1 < words.size();
        if (word == QLatin1String("\\f") && hasNext) {
            field.fontName = words[++i].trimmed();
        } else if (word == QLatin1String("\\s") && hasNext) {
            field.points = std::clamp(words[++i].toDouble(), 0.0, 1638.0);
        } else if (word == QLatin1String("\\a")) {
            field.kind = SymbolField::Kind::Ansi;
        } else if (word == QLatin1String("\\u")) {
            field.kind = SymbolField::Kind::Unicode;
        } else if (word == QLatin1String("\\j")) {
            field.kind = SymbolField::Kind::ShiftJis;
        }
    }
    return field;
}

}  // namespace tk::rtf::symbolfont
