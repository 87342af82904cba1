#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>

// Fonts of the symbol character set draw a glyph per byte instead of a letter of a code page. The
// common ones are read as the Unicode characters their glyphs show, so the text means what it
// showed without the font; the glyphs of an unknown symbol font keep their codes as U+F0xx.
namespace tk::rtf::symbolfont {

enum class Font : unsigned char { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings, Other };

// The symbol font of the name (case-insensitive), or None.
Font fontNamed(QStringView name);
// The symbol font of a font-table entry: one of the named fonts, Other for a font of another name
// with the symbol character set (2), None for a font of letters.
Font fontOf(QStringView name, int charset);
// True for the fonts whose glyphs are read as Unicode characters.
inline bool mapped(Font font) {
    return font != Font::None && font != Font::Other;
}

// The character the glyph code shows in the font: its Unicode character where the glyph has one,
// U+F000 + code where not (and in an unknown symbol font). Control codes and the space stay as
// they are.
char32_t glyphCharacter(Font font, unsigned code);
// A character written as Unicode in the font: writers give a mapped font's glyph codes as
// U+F020..U+F0FF or, having taken the font's bytes for Latin-1, as U+0020..U+00FF; both read as
// glyphCharacter. Any other character, and every character of an unknown symbol font, is kept.
char32_t unicodeCharacter(Font font, char32_t c);
// Bytes of text in the font.
QString decode(Font font, QByteArrayView bytes);
void appendCharacter(QString* text, char32_t c);

// The reader keeps a group's text encoding as an iconv name; a symbol font's is one of these
// markers, told apart from real names by its address.
const char* charsetMarker(Font font);

namespace detail {
inline constexpr std::size_t kMarkerSize = 24;
// One marker per font, in the order of Font, side by side.
extern const char kMarkers[7][kMarkerSize];
}  // namespace detail

// The font of a marker, None for any other name. One comparison for a real name: the reader asks
// for every run of text and every character written as \uN.
inline Font fontOfCharset(const char* charset) {
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(charset) - reinterpret_cast<std::uintptr_t>(&detail::kMarkers[0][0]);
    return offset < sizeof(detail::kMarkers) && offset % detail::kMarkerSize == 0 ? Font(offset / detail::kMarkerSize)
                                                                                  : Font::None;
}

// A SYMBOL field's instruction: SYMBOL code [\f "font"] [\s points] [\a | \u | \j] [\h].
struct SymbolField {
    enum class Kind : unsigned char { Glyph, Ansi, Unicode, ShiftJis };
    char32_t code = 0;
    Kind kind = Kind::Glyph;
    QString fontName;   // empty: the current font
    double points = 0;  // 0: the current size
};
// The SYMBOL field the instruction describes, or nothing for another field or a code that is no
// character.
std::optional<SymbolField> parseSymbolField(QStringView instruction);

}  // namespace tk::rtf::symbolfont
