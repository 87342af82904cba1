// Text in symbol fonts reads as the characters its glyphs show; SYMBOL fields show their character.
#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"
#include "richtext/symbol_fonts.h"
#include "rtf_test_support.h"

#include <QDir>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace tk;
namespace sf = tk::rtf::symbolfont;

namespace {

const QByteArray kFonts =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times;}"
    "{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fnil\\fcharset2 Wingdings;}{\\f3\\fnil\\fcharset2 Wingdings 2;}"
    "{\\f4\\fnil\\fcharset2 Wingdings 3;}{\\f5\\fnil\\fcharset2 Webdings;}{\\f6\\fnil\\fcharset2 MT Extra;}"
    "{\\f7\\fswiss\\fcharset0 SYMBOL;}{\\f8\\fnil\\fcharset129 Gulim;}{\\f9\\fswiss\\fcharset0 Arial;}}\\f0 ";

QString textOf(const QByteArray& body) {
    QTextDocument document;
    return tk::test::readRtfText(kFonts + body + "}", &document);
}

QTextCharFormat formatOf(const QTextDocument& document, const QString& text) {
    const int at = document.toPlainText().indexOf(text);
    EXPECT_GE(at, 0) << text.toStdString();
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(at + 1);
    return cursor.charFormat();
}

}  // namespace

TEST(RtfSymbolFonts, GlyphsReadAsTheirCharacters) {
    // This was "A a b · J l x end": the glyph codes came through as Latin letters and the empty
    // SYMBOL field showed nothing.
    QTextDocument document;
    EXPECT_EQ(tk::test::readRtfText("{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f1\\fnil\\fcharset2 Symbol;}"
                                    "{\\f2\\fnil\\fcharset2 Wingdings;}}\\f0 A {\\f1 a b \\'b7} {\\f2 J l} "
                                    "x{\\field{\\*\\fldinst SYMBOL 97 \\\\f \"Symbol\"}{\\fldrslt }} end\\par}",
                                    &document),
              QStringLiteral("A α β • ☺ ● xα end"));

    EXPECT_EQ(textOf("{\\f1 a b p D \\'b7 \\'a5 \\'b4 \\'ae W}"), QStringLiteral("α β π Δ • ∞ × → Ω"));
    EXPECT_EQ(textOf("{\\f2 J L l n u \\'a7 \\'d8 \\'fc \\'fb}"), QStringLiteral("☺ ☹ ● ■ ◆ ▪ ➢ ✔ ✘"));
    EXPECT_EQ(textOf("{\\f3 P O R T}{\\f4 p q t u}{\\f5 a 4}"), QStringLiteral("✓ ✗ ☑ ☒▲ ▼ ◀ ▶✔ ⏵"));
    // Glyphs that Unicode has only outside the first plane arrive as surrogate pairs.
    EXPECT_EQ(textOf("{\\f2 !\\'3a}"), QStringLiteral("\U0001F589\U0001F5B3"));
    // A font is a symbol font by its name whatever its character set and letter case.
    EXPECT_EQ(textOf("{\\f7 a}"), QStringLiteral("α"));
    // Codes where the font has no glyph keep the form of a symbol font's glyph code.
    EXPECT_EQ(textOf("{\\f1 \\'80\\'f0}{\\f2 \\'ff}"), QStringLiteral("\uF080\uF0F0\uF0FF"));
    // Text after the group, and after \plain, is read in its own code page again.
    EXPECT_EQ(textOf("{\\f1 a}a {\\f1 p\\plain p} \\'e9"), QStringLiteral("αa πp é"));
    EXPECT_EQ(textOf("{\\f1 p}{\\f8 \\'c7\\'d1}"), QStringLiteral("π한"));
}

TEST(RtfSymbolFonts, UnicodeFormsOfGlyphCodes) {
    // Writers give the glyph codes as U+F0xx, negative or not, with a byte to skip; some write the
    // font's bytes as Latin-1 characters. This was "\uF061\uF0B7\uF0A5" and "³".
    EXPECT_EQ(textOf("{\\f1 \\u-3999\\'61\\u61623\\'b7\\uc0\\u-3931 }"), QStringLiteral("α•∞"));
    EXPECT_EQ(textOf("{\\f1 \\u179\\'b3}{\\f2 \\u129\\'3f}"), QStringLiteral("≥①"));
    // Characters that are no glyph codes stay, and U+F0xx in a font of letters is not a glyph.
    EXPECT_EQ(textOf("{\\f1 \\u945\\'3f\\u8594\\'3f}"), QStringLiteral("α→"));
    EXPECT_EQ(textOf("{\\f9 \\u-3913\\'3f}"), QStringLiteral("\uF0B7"));
}

TEST(RtfSymbolFonts, UnknownSymbolFontKeepsGlyphCodes) {
    // A font of another name with the symbol character set: its bytes are glyph codes, kept as
    // U+F0xx instead of being read as letters of a code page. This was "a· b".
    QTextDocument document;
    EXPECT_EQ(tk::test::readRtfText(kFonts + "{\\f6 a\\'b7 b\\u-3999\\'61}}", &document),
              QStringLiteral("\uF061\uF0B7 \uF062\uF061"));
    // Its family stays: only that font draws those glyphs.
    EXPECT_EQ(formatOf(document, QStringLiteral("\uF061")).fontFamilies().toStringList(),
              QStringList{QStringLiteral("MT Extra")});
}

TEST(RtfSymbolFonts, MappedTextDropsTheSymbolFamily) {
    QTextDocument document;
    tk::test::readRtfText(kFonts + "{\\f1\\b a}{\\f6 b}{\\f9 c}}", &document);
    // A "Symbol" family on Unicode characters would draw other glyphs where that font maps by code.
    const QTextCharFormat alpha = formatOf(document, QStringLiteral("α"));
    EXPECT_FALSE(alpha.hasProperty(QTextFormat::FontFamilies));
    EXPECT_FALSE(alpha.hasProperty(richformat::FontCharset));
    EXPECT_EQ(alpha.fontWeight(), QFont::Bold);
    EXPECT_EQ(formatOf(document, QStringLiteral("c")).fontFamilies().toStringList(),
              QStringList{QStringLiteral("Arial")});

    // What is written of it reads back as the same text, the unknown font's glyph codes too.
    const QString text = tk::test::exportedText(document);
    QTextDocument again;
    EXPECT_EQ(tk::test::readRtfText(rtf::writeRtf(document), &again), text);
    EXPECT_EQ(formatOf(again, QStringLiteral("\uF062")).fontFamilies().toStringList(),
              QStringList{QStringLiteral("MT Extra")});
}

TEST(RtfSymbolFonts, GlyphsWithoutACharacterKeepTheirFont) {
    // A code of a mapped font that has no character stays a glyph code, and so keeps the font that
    // draws it. This was U+F061 in the default font: a box, and its font lost when saved.
    QTextDocument document;
    tk::test::readRtfText(kFonts + "{\\f3 PaP\\u-3999\\'61}{\\field{\\*\\fldinst SYMBOL 98 \\\\f \"Wingdings 2\"}}}",
                          &document);
    EXPECT_EQ(document.toPlainText(), QStringLiteral("✓\uF061✓\uF061\uF062"));
    for (const QString& glyph : {QStringLiteral("\uF061"), QStringLiteral("\uF062")}) {
        const QTextCharFormat format = formatOf(document, glyph);
        EXPECT_EQ(format.fontFamilies().toStringList(), QStringList{QStringLiteral("Wingdings 2")});
        EXPECT_EQ(format.intProperty(richformat::FontCharset), 2);
    }
    EXPECT_FALSE(formatOf(document, QStringLiteral("✓")).hasProperty(QTextFormat::FontFamilies));
    QTextDocument again;
    tk::test::readRtfText(rtf::writeRtf(document), &again);
    EXPECT_EQ(again.toPlainText(), document.toPlainText());
    EXPECT_EQ(formatOf(again, QStringLiteral("\uF062")).fontFamilies().toStringList(),
              QStringList{QStringLiteral("Wingdings 2")});
}

TEST(RtfSymbolFields, EmptyResultShowsTheCharacter) {
    // This was "": a SYMBOL field with an empty or absent result showed nothing.
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\" \\\\s 10}{\\fldrslt }}"), QStringLiteral("•"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\"}}"), QStringLiteral("•"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 61623 \\\\f \"Symbol\"}{\\fldrslt }}"), QStringLiteral("•"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 74 \\\\f Wingdings}{\\fldrslt }}"), QStringLiteral("☺"));
    // An instruction in a symbol font is read as letters, not glyphs.
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst {\\f1 SYMBOL 112 \\\\f \"Symbol\"}}{\\fldrslt }}"), QStringLiteral("π"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 0x61 \\\\f \"symbol\"}{\\fldrslt }}"), QStringLiteral("α"));
    // \u: a Unicode code point; \a: a code of the font's code page; \j: a Shift-JIS code.
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 8364 \\\\u}{\\fldrslt }}"), QStringLiteral("€"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 128512 \\\\u}{\\fldrslt }}"), QStringLiteral("\U0001F600"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 169 \\\\a \\\\f \"Arial\"}{\\fldrslt }}"), QStringLiteral("©"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 45217 \\\\a \\\\f \"Gulim\"}{\\fldrslt }}"), QStringLiteral("가"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 33440 \\\\j}{\\fldrslt }}"), QStringLiteral("あ"));
    // Without \f the code is read in the current font.
    EXPECT_EQ(textOf("{\\f1 {\\field{\\*\\fldinst SYMBOL 112}{\\fldrslt }}}"), QStringLiteral("π"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 233}{\\fldrslt }}"), QStringLiteral("é"));
}

TEST(RtfSymbolFields, ResultAndOtherFieldsAreKept) {
    // A result with text is what the field shows.
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 97 \\\\f \"Symbol\"}{\\fldrslt x}}"), QStringLiteral("x"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\"}{\\fldrslt {\\f1 \\'b7}}}"),
              QStringLiteral("•"));
    // A field inside the result counts as its text.
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst SYMBOL 97 \\\\f Symbol}{\\fldrslt {\\field{\\*\\fldinst PAGE}"
                     "{\\fldrslt 3}}}}"),
              QStringLiteral("3"));
    EXPECT_EQ(textOf("{\\field{\\*\\fldinst PAGE}{\\fldrslt {\\field{\\*\\fldinst SYMBOL 98 \\\\f Symbol}}}}"),
              QStringLiteral("β"));
    // Other fields, codes that are no character and codes with no form in the code page show
    // nothing rather than a replacement mark.
    EXPECT_EQ(textOf("a{\\field{\\*\\fldinst PAGE}{\\fldrslt }}"
                     "{\\field{\\*\\fldinst SYMBOL}}{\\field{\\*\\fldinst SYMBOL x1}}{\\field{\\*\\fldinst SYMBOL 0}}"
                     "{\\field{\\*\\fldinst SYMBOL 55296 \\\\u}}{\\field{\\*\\fldinst SYMBOL 99999999 \\\\u}}"
                     "{\\field{\\*\\fldinst SYMBOL 183 \\\\f Gulim}}{\\field{\\*\\fldinst SYMBOLS 97}}b"),
              QStringLiteral("ab"));
    // A field in a skipped destination shows nothing.
    EXPECT_EQ(textOf("a{\\*\\unknown {\\field{\\*\\fldinst SYMBOL 97 \\\\f Symbol}}}b"), QStringLiteral("ab"));
}

TEST(RtfSymbolFields, CharacterTakesTheFieldsFormat) {
    QTextDocument document;
    tk::test::readRtfText(kFonts +
                              "{\\b\\f9 {\\field{\\*\\fldinst SYMBOL 97 \\\\f \"Symbol\" \\\\s 14}{\\fldrslt }}"
                              "{\\field{\\*\\fldinst SYMBOL 65 \\\\f Gulim}{\\fldrslt }}}}",
                          &document);
    const QTextCharFormat alpha = formatOf(document, QStringLiteral("α"));
    EXPECT_EQ(alpha.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(alpha.fontPointSize(), 14.0);
    EXPECT_FALSE(alpha.hasProperty(QTextFormat::FontFamilies));
    const QTextCharFormat letter = formatOf(document, QStringLiteral("A"));
    EXPECT_EQ(letter.fontFamilies().toStringList(), QStringList{QStringLiteral("Gulim")});
    EXPECT_EQ(letter.intProperty(richformat::FontCharset), 129);
}

TEST(SymbolFontTables, EveryGlyphHasACharacter) {
    // Each code of the classic fonts that has a glyph maps to a real character (no gap left by a
    // short table row, no surrogate, no private-use code); the codes without a glyph keep U+F0xx.
    auto check = [](sf::Font font, auto hasGlyph) {
        for (unsigned code = 0x20; code <= 0xFF; ++code) {
            const char32_t c = sf::glyphCharacter(font, code);
            SCOPED_TRACE(code);
            if (hasGlyph(code)) {
                EXPECT_FALSE(c >= 0xD800 && c < 0xE000);
                EXPECT_FALSE(c >= 0xE000 && c < 0xF900);
                EXPECT_LE(c, char32_t(0x1FFFF));
            } else {
                EXPECT_EQ(c, 0xF000 + code);
            }
        }
    };
    check(sf::Font::Symbol, [](unsigned code) { return code < 0x7F || (code >= 0xA0 && code != 0xF0 && code < 0xFF); });
    check(sf::Font::Wingdings, [](unsigned code) { return code != 0x7F && code != 0xFF; });
    EXPECT_EQ(sf::glyphCharacter(sf::Font::Other, 0x41), char32_t(0xF041));
    EXPECT_EQ(sf::glyphCharacter(sf::Font::Other, 0x20), char32_t(0x20));
    // Names of real code pages are never taken for a symbol font's marker.
    const QByteArray name = QByteArrayLiteral("symbol-font:Symbol");
    EXPECT_EQ(sf::fontOfCharset(name.constData()), sf::Font::None);
    EXPECT_EQ(sf::fontOfCharset(sf::charsetMarker(sf::Font::Webdings)), sf::Font::Webdings);
    EXPECT_EQ(sf::fontOfCharset(sf::charsetMarker(sf::Font::Symbol) + 1), sf::Font::None);
}

namespace {

struct SymbolSample {
    const char* name;
    sf::Font font;
    bool sameAsLibreOffice;  // after LibreOffice's U+F0xx codes are mapped through the font
};

// symbol_latin1 was written from HTML, where the symbol font's text is Latin-1 characters: its
// text export gives those letters, not glyph codes. LibreOffice shows SYMBOL fields differently.
const SymbolSample kSymbolSamples[] = {
    {"symbol_symbol", sf::Font::Symbol, true},         {"symbol_wingdings", sf::Font::Wingdings, true},
    {"symbol_wingdings2", sf::Font::Wingdings2, true}, {"symbol_wingdings3", sf::Font::Wingdings3, true},
    {"symbol_webdings", sf::Font::Webdings, true},     {"symbol_bytes", sf::Font::Symbol, true},
    {"symbol_other", sf::Font::Other, true},           {"symbol_field", sf::Font::Symbol, false},
    {"symbol_latin1", sf::Font::Symbol, false},
};

QString sampleText(const QString& name) {
    return QString::fromUtf8(tk::test::readFile(QStringLiteral(TK_TEST_DATA "/rtf/classes/") + name));
}

}  // namespace

TEST(RtfSymbolSamples, ReadAsExpectedAndAsLibreOfficeShowsThem) {
    using tk::test::Compare;
    using tk::test::normalizedText;
    const QStringList files =
        QDir(QStringLiteral(TK_TEST_DATA "/rtf/classes")).entryList({QStringLiteral("symbol_*.rtf")});
    EXPECT_EQ(files.size(), qsizetype(std::size(kSymbolSamples)));
    for (const SymbolSample& sample : kSymbolSamples) {
        const QString name = QString::fromLatin1(sample.name);
        SCOPED_TRACE(sample.name);
        QTextDocument document;
        const QString text = tk::test::readRtfText(
            tk::test::readFile(QStringLiteral(TK_TEST_DATA "/rtf/classes/") + name + QStringLiteral(".rtf")),
            &document);
        // The converter writes lines as the editor saves plain text, ending in CR LF.
        EXPECT_EQ(text, sampleText(name + QStringLiteral(".txt")).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        QTextDocument again;
        EXPECT_EQ(tk::test::readRtfText(rtf::writeRtf(document), &again), text);
        if (sample.sameAsLibreOffice) {
            // LibreOffice gives a symbol font's glyphs as their codes, U+F0xx: mapped through the font.
            QString theirs;
            for (char32_t c : sampleText(name + QStringLiteral(".lo.txt")).toUcs4()) {
                sf::appendCharacter(&theirs,
                                    c >= 0xF020 && c <= 0xF0FF ? sf::glyphCharacter(sample.font, c - 0xF000) : c);
            }
            EXPECT_EQ(normalizedText(theirs, Compare::Lines), normalizedText(text, Compare::Lines));
        }
    }
}
