#include "richedit/korean_fonts.h"

#include <QFontInfo>
#include <QGlyphRun>
#include <QRawFont>
#include <QSet>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

// The families the glyphs of a line are drawn from.
QSet<QString> familiesDrawing(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QSet<QString> families;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        families.insert(run.rawFont().familyName().toLower());  // as the engine spells it
    }
    return families;
}

}  // namespace

// This was: "굴림" resolved to the desktop's Latin face, so Latin letters were drawn from it and
// Hangul from a fallback Korean face, at a different size.
TEST(KoreanFonts, GulimDrawsLatinAndHangulFromOneKoreanFamily) {
    const QString family = tk::installKoreanFontSubstitutes();
    ASSERT_FALSE(family.isEmpty()) << "no Korean font installed: make deps installs one";
    EXPECT_EQ(tk::installKoreanFontSubstitutes(), family);
    const QFont gulim(QStringLiteral("굴림"), 9);
    EXPECT_EQ(QFontInfo(gulim).family(), family);
    EXPECT_EQ(familiesDrawing(gulim, QStringLiteral("Latin 한글 mixed 글자 123")), QSet<QString>{family.toLower()});
    const QFont dotum(QStringLiteral("돋움"), 9);
    EXPECT_EQ(familiesDrawing(dotum, QStringLiteral("abc 가나다")).size(), 1);
}
