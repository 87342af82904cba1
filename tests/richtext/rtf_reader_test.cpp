#include "richtext/rtf_reader.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_picture.h"
#include "richtext/rtf_writer.h"
#include "rtf_test_support.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace tk;
using rtf::RtfError;

namespace {

struct Read {
    QTextDocument document;
    RtfError error = RtfError::None;
    QString errorString;
    QString text;
};

std::unique_ptr<Read> read(const QByteArray& rtf) {
    auto result = std::make_unique<Read>();
    QTextCursor cursor(&result->document);
    result->error = rtf::readRtf(rtf, cursor, &result->errorString);
    result->text = result->document.toPlainText();
    return result;
}

QTextCharFormat formatAt(const QTextDocument& document, const QString& text) {
    const int at = document.toPlainText().indexOf(text);
    EXPECT_GE(at, 0) << text.toStdString();
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(at + 1);
    return cursor.charFormat();
}

QTextBlock blockAt(const QTextDocument& document, const QString& text) {
    return document.findBlock(document.toPlainText().indexOf(text));
}

const QByteArray kHeader =
    "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fnil\\fcharset129 \\'b1\\'bc\\'b8\\'b2;}"
    "{\\f1\\fswiss\\fcharset0 Arial;}{\\f2\\fnil\\fcharset128 MS Mincho;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";

QByteArray doc(const QByteArray& body) {
    return kHeader + body + "}";
}

}  // namespace

TEST(RtfReaderText, CodePagesAndUnicode) {
    // CP949 pairs, a Shift-JIS font, a 1252 font, \u with the default skip of one and with \uc2.
    const auto r =
        read(doc("\\f0 \\'c7\\'d1\\'b1\\'db \\f2 \\'82\\'a0 \\f1 caf\\'e9 "
                 "\\u54620?\\uc2\\u44544\\'b1\\'db\\uc0\\u33 !\\par"));
    EXPECT_EQ(r->error, RtfError::None);
    EXPECT_EQ(r->text, QStringLiteral("한글 あ café 한글!!"));
    // A negative \u counts from 65536 (U+D55C written as -10916).
    EXPECT_EQ(read(doc("\\u-10916?"))->text, QStringLiteral("한"));
    // \ansicpg decides text in fonts without a character set.
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Any;}}\\f0 \\'cf\\'f0}")->text, QStringLiteral("Пр"));
    // Binary data as the fallback after \u is skipped as one character.
    EXPECT_EQ(read(doc("\\u54620\\bin1 Xb"))->text, QStringLiteral("한b"));
    // The skipped fallback never eats a group's end or the text after it.
    EXPECT_EQ(read(doc("{\\uc3\\u54620 a}bc"))->text, QStringLiteral("한bc"));
}

TEST(RtfReaderText, SpecialCharactersAndDestinations) {
    const auto r =
        read(doc("a\\tab b\\line c\\~d\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote "
                 "\\{\\}\\\\{\\*\\unknowndest hidden}{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}"
                 "{\\header H}{\\*\\generator G;}e"));
    EXPECT_EQ(r->document.toRawText(),
              QStringLiteral("a\tb\u2028c\u00A0d\u2014\u2013\u2022\u2018\u2019\u201C\u201D{}\\e"));
    // An unknown word without \* is ignored, its text kept.
    EXPECT_EQ(read(doc("{\\madeupword kept}"))->text, QStringLiteral("kept"));
}

TEST(RtfReaderText, ParagraphBreaks) {
    // The last \par ends the last paragraph; it adds no empty one.
    EXPECT_EQ(read(doc("one\\par two\\par"))->text, QStringLiteral("one\ntwo"));
    EXPECT_EQ(read(doc("one\\par\\par"))->text, QStringLiteral("one\n"));
    EXPECT_EQ(read(doc("one\\par two"))->text, QStringLiteral("one\ntwo"));
    // Inserting into a document keeps what was there around the inserted text.
    QTextDocument document;
    document.setPlainText(QStringLiteral("AB"));
    QTextCursor cursor(&document);
    cursor.setPosition(1);
    ASSERT_EQ(rtf::readRtf(doc("x\\par y"), cursor), RtfError::None);
    EXPECT_EQ(document.toPlainText(), QStringLiteral("Ax\nyB"));
}

TEST(RtfReaderFormat, CharacterFormatting) {
    const auto r =
        read(doc("\\f1\\fs20 plain {\\b bold}{\\i italic}{\\ul single}{\\uldb double}{\\ulwave wave}"
                 "{\\uld dotted}{\\strike struck}{\\super up}{\\sub down}{\\v hidden}{\\protect locked}"
                 "{\\cf1 red}{\\highlight2 marked}{\\f0\\fs40 big}{\\b\\b0 notbold}"));
    const QTextDocument& d = r->document;
    EXPECT_EQ(formatAt(d, "plain").fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(formatAt(d, "plain").intProperty(richformat::FontCharset), 0);
    EXPECT_DOUBLE_EQ(formatAt(d, "plain").fontPointSize(), 10.0);
    EXPECT_EQ(formatAt(d, "bold").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(d, "notbold").fontWeight(), QFont::Normal);
    EXPECT_TRUE(formatAt(d, "italic").fontItalic());
    EXPECT_FALSE(formatAt(d, "plain").fontItalic());
    EXPECT_EQ(formatAt(d, "single").intProperty(richformat::UnderlineKind), 1);
    EXPECT_EQ(formatAt(d, "double").intProperty(richformat::UnderlineKind), 3);
    EXPECT_EQ(formatAt(d, "wave").underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_EQ(formatAt(d, "wave").intProperty(richformat::UnderlineKind), 8);
    EXPECT_EQ(formatAt(d, "dotted").underlineStyle(), QTextCharFormat::DotLine);
    EXPECT_TRUE(formatAt(d, "struck").fontStrikeOut());
    EXPECT_EQ(formatAt(d, "up").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatAt(d, "down").verticalAlignment(), QTextCharFormat::AlignSubScript);
    EXPECT_TRUE(formatAt(d, "hidden").boolProperty(richformat::Hidden));
    EXPECT_TRUE(formatAt(d, "locked").boolProperty(richformat::Protected));
    EXPECT_FALSE(formatAt(d, "plain").boolProperty(richformat::Protected));
    EXPECT_EQ(formatAt(d, "red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(d, "marked").background().color(), QColor(0, 0, 255));
    EXPECT_EQ(formatAt(d, "big").fontFamilies().toStringList(), QStringList{QStringLiteral("굴림")});
    EXPECT_EQ(formatAt(d, "big").intProperty(richformat::FontCharset), 129);
    EXPECT_DOUBLE_EQ(formatAt(d, "big").fontPointSize(), 20.0);
}

TEST(RtfReaderFormat, ParagraphFormatting) {
    const auto r =
        read(doc("\\pard\\qc centre\\par\\pard\\qr right\\par\\pard\\qj\\fi-360\\li720\\ri360\\sb120\\sa240 "
                 "indented\\par\\pard\\sl-300\\slmult0 exact\\par\\pard\\sl300\\slmult0 least\\par"
                 "\\pard\\sl480\\slmult1 double\\par\\pard\\tx1440\\tqr\\tx2880 tabs\\par"));
    const QTextDocument& d = r->document;
    EXPECT_TRUE(blockAt(d, "centre").blockFormat().alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(blockAt(d, "right").blockFormat().alignment() & Qt::AlignRight);
    const QTextBlockFormat indented = blockAt(d, "indented").blockFormat();
    EXPECT_TRUE(indented.alignment() & Qt::AlignJustify);
    EXPECT_DOUBLE_EQ(indented.textIndent(), -24.0);  // 15 twips to the pixel
    EXPECT_DOUBLE_EQ(indented.leftMargin(), 48.0);
    EXPECT_DOUBLE_EQ(indented.rightMargin(), 24.0);
    EXPECT_DOUBLE_EQ(indented.topMargin(), 8.0);
    EXPECT_DOUBLE_EQ(indented.bottomMargin(), 16.0);
    const QTextBlockFormat exact = blockAt(d, "exact").blockFormat();
    EXPECT_EQ(exact.lineHeightType(), QTextBlockFormat::FixedHeight);
    EXPECT_DOUBLE_EQ(exact.lineHeight(), 20.0);
    EXPECT_EQ(exact.intProperty(richformat::LineSpacingRule), 4);
    EXPECT_EQ(exact.intProperty(richformat::LineSpacingTwips), 300);
    EXPECT_EQ(blockAt(d, "least").blockFormat().lineHeightType(), QTextBlockFormat::MinimumHeight);
    EXPECT_EQ(blockAt(d, "least").blockFormat().intProperty(richformat::LineSpacingRule), 3);
    EXPECT_EQ(blockAt(d, "double").blockFormat().intProperty(richformat::LineSpacingRule), 2);
    // Multiples in twentieths of a line: \\sl300 is 1.25 lines.
    EXPECT_EQ(read(doc("\\sl300\\slmult1 x"))->document.begin().blockFormat().intProperty(richformat::LineSpacingTwips),
              25);
    EXPECT_DOUBLE_EQ(blockAt(d, "double").blockFormat().lineHeight(), 200.0);
    const auto pages =
        read(doc("one\\page two\\par\\pard\\pagebb\\rtlpar three\\par\\pard four {\\caps up} {\\scaps small}"));
    EXPECT_EQ(pages->text, QStringLiteral("one\ntwo\nthree\nfour up small"));
    EXPECT_EQ(blockAt(pages->document, "one").blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_Auto);
    EXPECT_EQ(blockAt(pages->document, "two").blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
    EXPECT_EQ(blockAt(pages->document, "three").blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
    EXPECT_EQ(blockAt(pages->document, "three").blockFormat().layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(blockAt(pages->document, "four").blockFormat().layoutDirection(), Qt::LayoutDirectionAuto);
    EXPECT_EQ(formatAt(pages->document, "up").fontCapitalization(), QFont::AllUppercase);
    EXPECT_EQ(formatAt(pages->document, "small").fontCapitalization(), QFont::SmallCaps);
    const QList<QTextOption::Tab> tabs = blockAt(d, "tabs").blockFormat().tabPositions();
    ASSERT_EQ(tabs.size(), 2);
    EXPECT_DOUBLE_EQ(tabs[0].position, 96.0);
    EXPECT_EQ(tabs[1].type, QTextOption::RightTab);
}

TEST(RtfReaderFormat, OldParagraphNumbering) {
    const auto r =
        read(doc("{\\pntext\\f0 a)\\tab}{\\*\\pn\\pnlvlbody\\pnlcltr\\pnstart3\\pnindent360{\\pntxta )}}"
                 "\\fi-360\\li360 first\\par{\\pntext b)\\tab}second\\par\\pard plain\\par"
                 "{\\*\\pn\\pnlvlbody\\pnucrm{\\pntxtb (}{\\pntxta )}}roman\\par"
                 "{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}bullet\\par"));
    const QTextDocument& d = r->document;
    EXPECT_EQ(r->text, QStringLiteral("first\nsecond\nplain\nroman\nbullet"));
    const QTextBlock first = blockAt(d, "first");
    ASSERT_NE(first.textList(), nullptr);
    EXPECT_EQ(first.textList(), blockAt(d, "second").textList());
    EXPECT_EQ(first.textList()->format().style(), QTextListFormat::ListLowerAlpha);
    EXPECT_EQ(first.textList()->format().intProperty(richformat::NumberingStart), 3);
    EXPECT_EQ(first.textList()->format().intProperty(richformat::NumberingTabTwips), 360);
    EXPECT_EQ(first.textList()->itemText(blockAt(d, "second")), QStringLiteral("b)"));
    // The number hangs in the first-line indent: the text starts at the left indent.
    EXPECT_DOUBLE_EQ(first.blockFormat().textIndent(), 0.0);
    EXPECT_DOUBLE_EQ(first.blockFormat().leftMargin(), 24.0);
    EXPECT_EQ(first.blockFormat().intProperty(richformat::NumberFirstIndentTwips), -360);
    EXPECT_EQ(blockAt(d, "plain").textList(), nullptr);
    const QTextBlock roman = blockAt(d, "roman");
    ASSERT_NE(roman.textList(), nullptr);
    EXPECT_EQ(roman.textList()->itemText(roman), QStringLiteral("(I)"));
    EXPECT_EQ(blockAt(d, "bullet").textList()->format().style(), QTextListFormat::ListDisc);
    // Hollow circles and squares keep their look; the writer puts the same characters back.
    const auto shapes =
        read(doc("{\\*\\pn\\pnlvlblt{\\pntxtb\\u9675?}}circle\\par\\pard"
                 "{\\*\\pn\\pnlvlblt{\\pntxtb\\u9642?}}square\\par"));
    EXPECT_EQ(blockAt(shapes->document, "circle").textList()->format().style(), QTextListFormat::ListCircle);
    EXPECT_EQ(blockAt(shapes->document, "square").textList()->format().style(), QTextListFormat::ListSquare);
    const auto again = read(rtf::writeRtf(shapes->document));
    EXPECT_EQ(blockAt(again->document, "circle").textList()->format().style(), QTextListFormat::ListCircle);
    EXPECT_EQ(blockAt(again->document, "square").textList()->format().style(), QTextListFormat::ListSquare);
}

TEST(RtfReaderFormat, ListTables) {
    const QByteArray lists =
        "{\\*\\listtable{\\list\\listtemplateid5{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}}"
        "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'03(\\'01);}}\\listid7}"
        "{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\u8226 ?;}}\\listid8}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}"
        "{\\listoverride\\listid8\\listoverridecount0\\ls2}}";
    const auto r = read(doc(lists + "\\pard\\ls1 one\\par\\pard\\ls1\\ilvl1 sub\\par\\pard between\\par"
                                    "\\pard\\ls1 two\\par\\pard\\ls2 dot\\par\\pard\\ls9 unknown\\par"));
    const QTextDocument& d = r->document;
    const QTextBlock one = blockAt(d, "one");
    ASSERT_NE(one.textList(), nullptr);
    // Numbers continue across a paragraph outside the list.
    EXPECT_EQ(one.textList(), blockAt(d, "two").textList());
    EXPECT_EQ(one.textList()->itemText(blockAt(d, "two")), QStringLiteral("2."));
    const QTextBlock sub = blockAt(d, "sub");
    ASSERT_NE(sub.textList(), nullptr);
    EXPECT_EQ(sub.textList()->format().style(), QTextListFormat::ListLowerAlpha);
    EXPECT_EQ(sub.textList()->itemText(sub), QStringLiteral("(a)"));
    EXPECT_EQ(blockAt(d, "between").textList(), nullptr);
    EXPECT_EQ(blockAt(d, "dot").textList()->format().style(), QTextListFormat::ListDisc);
    // A list that was never defined gives a plain paragraph.
    EXPECT_EQ(blockAt(d, "unknown").textList(), nullptr);
}

TEST(RtfReaderStructure, TablesAreRealTables) {
    const auto r =
        read(doc("before\\par\\trowd\\trgaph108\\clcbpat1\\cellx1500\\cellx3000\\cellx4500"
                 "\\pard\\intbl a\\cell b\\cell\\pard\\intbl c1\\par c2\\cell\\row"
                 "\\trowd\\cellx1500\\cellx3000\\cellx4500\\intbl d\\cell e\\cell f\\cell g\\cell\\row"
                 "\\pard after\\par"));
    QTextCursor cursor(&r->document);
    cursor.setPosition(r->text.indexOf("a"));
    QTextTable* table = cursor.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 4);  // the second row has a fourth cell
    auto cellText = [&](int row, int column) {
        QTextCursor c = table->cellAt(row, column).firstCursorPosition();
        c.setPosition(table->cellAt(row, column).lastPosition(), QTextCursor::KeepAnchor);
        return c.selectedText();
    };
    EXPECT_EQ(cellText(0, 0), QStringLiteral("a"));
    EXPECT_EQ(cellText(0, 2), QStringLiteral("c1\u2029c2"));
    EXPECT_EQ(cellText(1, 3), QStringLiteral("g"));
    EXPECT_EQ(table->cellAt(0, 0).format().background().color(), QColor(255, 0, 0));
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    ASSERT_GE(widths.size(), 3);
    EXPECT_DOUBLE_EQ(widths[1].rawValue(), 100.0);
    EXPECT_EQ(blockAt(r->document, "after").text(), QStringLiteral("after"));
    EXPECT_EQ(QTextCursor(blockAt(r->document, "after")).currentTable(), nullptr);
    EXPECT_EQ(QTextCursor(blockAt(r->document, "before")).currentTable(), nullptr);
}

TEST(RtfReaderStructure, VerticallyMergedCells) {
    const QByteArray row = "\\trowd\\clvmgf\\cellx1000\\cellx2000";
    const QByteArray next = "\\trowd\\clvmrg\\cellx1000\\cellx2000";
    const auto r = read(doc(row + "\\intbl tall\\cell a\\cell\\row" + next + "\\intbl\\cell b\\cell\\row" + next +
                            "\\intbl\\cell c\\cell\\row\\pard after"));
    QTextCursor cursor(&r->document);
    cursor.setPosition(r->text.indexOf("tall"));
    QTextTable* table = cursor.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 3);
    EXPECT_EQ(table->cellAt(0, 0).rowSpan(), 3);
    EXPECT_EQ(table->cellAt(2, 0).row(), 0);
    EXPECT_EQ(table->cellAt(2, 1).firstCursorPosition().block().text(), QStringLiteral("c"));
    // Written back, the merge is read again.
    const auto again = read(rtf::writeRtf(r->document));
    cursor = QTextCursor(&again->document);
    cursor.setPosition(again->text.indexOf("tall"));
    ASSERT_NE(cursor.currentTable(), nullptr);
    EXPECT_EQ(cursor.currentTable()->cellAt(0, 0).rowSpan(), 3);
}

TEST(RtfReaderStructure, HyperlinkFieldsGiveTheirResult) {
    const auto r =
        read(doc("see {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a b\"}}"
                 "{\\fldrslt{\\ul\\cf2 the site}}} and {\\field{\\*\\fldinst PAGE}{\\fldrslt 7}} end"));
    EXPECT_EQ(r->text, QStringLiteral("see the site and 7 end"));
    const QTextCharFormat link = formatAt(r->document, "the site");
    EXPECT_EQ(link.stringProperty(richformat::LinkTarget), QStringLiteral("https://example.org/a b"));
    EXPECT_TRUE(link.isAnchor());
    EXPECT_FALSE(formatAt(r->document, "end").hasProperty(richformat::LinkTarget));
    EXPECT_FALSE(formatAt(r->document, "7").hasProperty(richformat::LinkTarget));
}

TEST(RtfReaderStructure, PicturesAndObjects) {
    // A 2x1 PNG, a metafile and an object whose result is that PNG.
    QImage image(2, 1, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QByteArray png = pngBytes.toHex();
    const QByteArray wmf = "0100090000031d0000000000";
    const QByteArray rtfText = doc("a{\\pict\\pngblip\\picw2\\pich1\\picwgoal300\\pichgoal150 " + png +
                                   "}b{\\pict\\wmetafile8\\picw2540\\pich1270 " + wmf +
                                   "}c{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw600\\objh300"
                                   "{\\*\\objdata 01050000}{\\result{\\pict\\pngblip " +
                                   png + "}}}d");
    const auto r = read(rtfText);
    ASSERT_EQ(r->error, RtfError::None);
    EXPECT_EQ(r->text, QStringLiteral("a\uFFFCb\uFFFCc\uFFFCd"));
    QTextCursor cursor(&r->document);
    cursor.setPosition(2);
    const QTextImageFormat picture = cursor.charFormat().toImageFormat();
    EXPECT_EQ(picture.intProperty(richformat::PictureKind), int(richformat::PictureType::Png));
    EXPECT_DOUBLE_EQ(picture.width(), 20.0);
    EXPECT_DOUBLE_EQ(picture.height(), 10.0);
    const QImage shown = r->document.resource(QTextDocument::ImageResource, QUrl(picture.name())).value<QImage>();
    EXPECT_EQ(shown.size(), QSize(2, 1));
    cursor.setPosition(4);
    const QTextImageFormat metafile = cursor.charFormat().toImageFormat();
    EXPECT_EQ(metafile.intProperty(richformat::PictureKind), int(richformat::PictureType::Wmf));
    EXPECT_EQ(metafile.property(richformat::PictureData).toByteArray(), QByteArray::fromHex(wmf));
    EXPECT_DOUBLE_EQ(metafile.width(), 96.0);  // 2,540 hundredths of a millimetre: one inch
    const QImage box = r->document.resource(QTextDocument::ImageResource, QUrl(metafile.name())).value<QImage>();
    EXPECT_EQ(box.size(), QSize(96, 48));  // a framed box of the metafile's size
    cursor.setPosition(6);
    const QTextImageFormat object = cursor.charFormat().toImageFormat();
    EXPECT_EQ(object.stringProperty(richformat::ObjectClass), QStringLiteral("Paint.Picture"));
    EXPECT_EQ(object.property(richformat::ObjectData).toByteArray(), QByteArray::fromHex("01050000"));
    const QByteArray kept = object.property(richformat::ObjectRtf).toByteArray();
    EXPECT_TRUE(kept.startsWith("{\\object\\objemb"));
    EXPECT_TRUE(kept.endsWith("}}}"));
    EXPECT_TRUE(rtfText.contains(kept));
    // Binary picture data, and a declared length beyond the input that is cut at its end.
    const auto bin = read(
        doc("x{\\pict\\pngblip\\bin" + QByteArray::number(png.size() / 2) + " " + QByteArray::fromHex(png) + "}y"));
    cursor = QTextCursor(&bin->document);
    cursor.setPosition(2);
    EXPECT_EQ(cursor.charFormat().toImageFormat().property(richformat::PictureData).toByteArray(),
              QByteArray::fromHex(png));
    // A picture cut off by the end of the data is dropped.
    EXPECT_EQ(read("{\\rtf1 x{\\pict\\bin999999999 abc")->text, QStringLiteral("x"));
}

// Hostile and broken input: each case ends with a clear result, never a crash or a hang.
TEST(RtfReaderLimits, HostileInput) {
    // Parameters saturate instead of wrapping: a huge size is the largest size, not a negative one.
    const auto huge = read(doc("\\fs99999999999999999999 big\\li-99999999999999 x"));
    EXPECT_DOUBLE_EQ(formatAt(huge->document, "big").fontPointSize(), 1638.0);
    EXPECT_EQ(huge->error, RtfError::None);
    // Unknown font and colour numbers fall back to the defaults.
    const auto unknown = read(doc("\\f77\\cf99 text"));
    EXPECT_EQ(formatAt(unknown->document, "text").fontFamilies().toStringList(), QStringList{QStringLiteral("굴림")});
    EXPECT_FALSE(formatAt(unknown->document, "text").hasProperty(QTextFormat::ForegroundBrush));
    // A document cut short keeps its text; data after the document's end is ignored.
    EXPECT_EQ(read("{\\rtf1 {\\b cut")->text, QStringLiteral("cut"));
    EXPECT_EQ(read("{\\rtf1 done}trailing{\\b more}")->text, QStringLiteral("done"));
    // Not RTF at all.
    const auto text = read("plain text");
    EXPECT_EQ(text.get()->error, RtfError::NotRtf);
    EXPECT_FALSE(text->errorString.isEmpty());
    EXPECT_TRUE(rtf::looksLikeRtf("\xEF\xBB\xBF \r\n{\\rtf1}"));
    EXPECT_FALSE(rtf::looksLikeRtf("{\\rtx1}"));
    // Broken escapes and a lone backslash at the end.
    EXPECT_EQ(read("{\\rtf1 a\\'zzb\\'4")->text, QStringLiteral("azzb4"));
    EXPECT_EQ(read("{\\rtf1 a\\")->text, QStringLiteral("a"));
    // \u out of range, and a huge \uc whose skipping ends with its group.
    EXPECT_EQ(read("{\\rtf1 \\u99999999 {\\uc2000000000\\u65 xyz}b}")->text, QStringLiteral("\uFFFDAb"));
}

// The document says which code page its bytes are in: \mac, \ansicpg (Windows and Mac numbers) and
// each font's \fcharset or \cpg; CP949 is taken only where it says nothing.
TEST(RtfReaderText, CodePagesComeFromTheDocument) {
    // This was "a'b•" read as CP1252 and the Mac Korean code page read as "\uFFFD\uFFFD".
    EXPECT_EQ(read("{\\rtf1\\mac a\\'d5b\\'a5}")->text, QStringLiteral("a’b•"));
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg10003 \\'c7\\'d1\\'b1\\'db}")->text, QStringLiteral("한글"));
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg10001 \\'82\\'a0}")->text, QStringLiteral("あ"));
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg10008 \\'c4\\'e3}")->text, QStringLiteral("你"));
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg1251 \\'cf}")->text, QStringLiteral("П"));
    // Nothing said: the program's own code page.
    EXPECT_EQ(read("{\\rtf1 \\'c7\\'d1}")->text, QStringLiteral("한"));
    // Fonts of Mac and Windows character sets in one document, and a \cpg over a character set; a
    // Mac writer's 256 is the document's code page.
    const auto fonts = read(
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Times;}{\\f1\\fcharset85 G;}{\\f2\\fcharset204 C;}"
        "{\\f3\\fcharset0\\cpg1253 Cp;}{\\f4\\fcharset177 H;}}{\\f1 \\'e1}{\\f2 \\'cf}{\\f3 \\'e1}{\\f4 \\'e0}\\'e9}");
    EXPECT_EQ(fonts->text, QStringLiteral("αПαאé"));
    const auto mac = read("{\\rtf1\\mac{\\fonttbl{\\f0\\fcharset256 Geneva;}}\\f0 \\'a5}");
    EXPECT_EQ(mac->text, QStringLiteral("•"));
}

// Mail programs nest thousands of groups and old writers write words longer than 32 letters: such
// documents are read as any other, with memory as the only limit.
TEST(RtfReaderLimits, DepthAndLongWordsAreNoReasonToGiveUp) {
    // 5,000 groups deep: the formatting of each level arrives and ends with its group. This was a
    // refusal at 1,000, and the control then showed the document's markup as text.
    const QByteArray deep = "{\\rtf1 a{\\b" + QByteArray(5000, '{') + " b" + QByteArray(5000, '}') + " c} d\\par}";
    const auto r = read(deep);
    EXPECT_EQ(r->error, RtfError::None);
    EXPECT_EQ(r->text, QStringLiteral("a b c d"));
    EXPECT_EQ(formatAt(r->document, "b").fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(r->document, " d").fontWeight(), QFont::Normal);
    // Groups inside a skipped destination are only counted, however deep.
    const QByteArray skipped =
        "{\\rtf1 x{\\*\\htmltag1" + QByteArray(300000, '{') + "<p>" + QByteArray(300000, '}') + "} y}";
    EXPECT_EQ(read(skipped)->text, QStringLiteral("x y"));
    // A control word of 40 letters is an unknown word: the text around it stays.
    EXPECT_EQ(read("{\\rtf1 a\\" + QByteArray(40, 'q') + "12 b}")->text, QStringLiteral("ab"));
    // Groups deeper than memory allows end the read as too large, with the Korean reason.
    const auto tooDeep = read("{\\rtf1 a" + QByteArray(600000, '{') + "b");
    EXPECT_EQ(tooDeep->error, RtfError::TooLarge);
    EXPECT_EQ(tooDeep->errorString, rtf::tooLargeText());
}

TEST(RtfReaderStructure, BitmapsAreShown) {
    // A 2x1 device-independent bitmap, 24 bits, bottom-up: blue then red.
    const QByteArray dib =
        "28000000020000000100000001001800000000000800000000000000000000000000000000000000"
        "ff00000000ff0000";
    // An 8x2 monochrome device-dependent bitmap: rows of one byte padded to two.
    const QByteArray mono = "f0000f00";
    const auto r = read(doc("{\\pict\\dibitmap0\\picw2\\pich1 " + dib +
                            "}{\\pict\\wbitmap0\\picw8\\pich2\\picbpp1\\picwbmp2 " + mono + "}"));
    QTextCursor cursor(&r->document);
    cursor.setPosition(1);
    const QTextImageFormat first = cursor.charFormat().toImageFormat();
    EXPECT_EQ(first.intProperty(richformat::PictureKind), int(richformat::PictureType::Dib));
    const QImage dibImage = r->document.resource(QTextDocument::ImageResource, QUrl(first.name())).value<QImage>();
    ASSERT_EQ(dibImage.size(), QSize(2, 1));
    EXPECT_EQ(dibImage.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(dibImage.pixelColor(1, 0), QColor(255, 0, 0));
    cursor.setPosition(2);
    const QTextImageFormat second = cursor.charFormat().toImageFormat();
    const QImage monoImage = r->document.resource(QTextDocument::ImageResource, QUrl(second.name())).value<QImage>();
    ASSERT_EQ(monoImage.size(), QSize(8, 2));
    EXPECT_EQ(monoImage.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(monoImage.pixelColor(7, 0), QColor(0, 0, 0));
    EXPECT_EQ(monoImage.pixelColor(0, 1), QColor(0, 0, 0));
}

TEST(RtfReaderFormat, EastAsianAssociatedFormatting) {
    // Word processors give Korean text its own bold and size after \dbch; Latin text keeps its own.
    const auto r =
        read(doc("{\\dbch\\ab\\afs40\\af0\\dbch \\u54620?\\u44544? }{\\loch\\fs20\\f1 latin}"
                 "{\\upr{\\'3f\\'3f}{\\*\\ud{\\u54620?}}}"));
    EXPECT_EQ(r->text, QStringLiteral("한글 latin한"));
    const QTextCharFormat korean = formatAt(r->document, QStringLiteral("한글"));
    EXPECT_EQ(korean.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(korean.fontPointSize(), 20.0);
    EXPECT_EQ(korean.fontFamilies().toStringList(), QStringList{QStringLiteral("굴림")});
    const QTextCharFormat latin = formatAt(r->document, "latin");
    EXPECT_EQ(latin.fontWeight(), QFont::Normal);
    EXPECT_DOUBLE_EQ(latin.fontPointSize(), 10.0);
}

TEST(RtfReaderStructure, WordProcessorPictureForms) {
    // A JPEG in \shppict with its metafile copy for old readers in \nonshppict: one picture.
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::green);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "JPEG"));
    const auto r = read(doc("a{\\*\\shppict{\\pict\\jpegblip\\picscalex50\\picscaley200 " + jpeg.toHex() +
                            "}}{\\nonshppict{\\pict\\wmetafile8 0100}}b"));
    EXPECT_EQ(r->text, QStringLiteral("a\uFFFCb"));
    QTextCursor cursor(&r->document);
    cursor.setPosition(2);
    const QTextImageFormat picture = cursor.charFormat().toImageFormat();
    EXPECT_EQ(picture.intProperty(richformat::PictureKind), int(richformat::PictureType::Jpeg));
    // Four pixels at 50 per cent, three at 200 per cent.
    EXPECT_DOUBLE_EQ(picture.width(), 2.0);
    EXPECT_DOUBLE_EQ(picture.height(), 6.0);
    EXPECT_EQ(r->document.resource(QTextDocument::ImageResource, QUrl(picture.name())).value<QImage>().size(),
              QSize(4, 3));
}

TEST(RtfReaderLimits, HostileTablesAndPicturesStayBounded) {
    // Rows of 64 cells without end: past the document's cell limit the text goes on as paragraphs.
    QByteArray rows = "{\\rtf1\\trowd";
    for (int i = 1; i <= 64; ++i) {
        rows += "\\cellx" + QByteArray::number(i * 100);
    }
    for (int i = 0; i < 4000; ++i) {
        rows += "\\intbl r" + QByteArray::number(i) + "\\cell\\row";
    }
    const auto many = read(rows + "}");
    EXPECT_EQ(many->error, RtfError::None);
    EXPECT_TRUE(many->text.contains("r3999"));
    int cells = 0;
    for (QTextFrame* frame : many->document.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            cells += table->rows() * table->columns();
        }
    }
    EXPECT_LE(cells, rtf::kMaxTableCells);
    EXPECT_GT(cells, rtf::kMaxTableCells / 2);
    // Pictures are decoded only within the document's pixel budget.
    QImage small(4, 3, QImage::Format_RGB32);
    small.fill(Qt::gray);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "PNG");
    rtf::RtfPicture picture;
    picture.kind = richformat::PictureType::Png;
    picture.data = png;
    rtf::PictureBudget budget;
    budget.pixelsLeft = 20;
    EXPECT_EQ(rtf::decodePicture(picture, budget).size(), QSize(4, 3));
    EXPECT_EQ(budget.pixelsLeft, 8);
    EXPECT_TRUE(rtf::decodePicture(picture, budget).isNull());
    // Metafile boxes of many sizes share one image once there are too many.
    QByteArray boxes = "{\\rtf1";
    for (int i = 1; i <= 400; ++i) {
        boxes += "{\\pict\\wmetafile8\\picwgoal" + QByteArray::number(i * 15) + "\\pichgoal300 01}";
    }
    const auto pictures = read(boxes + "}");
    QTextCursor cursor(&pictures->document);
    cursor.setPosition(1);
    EXPECT_EQ(cursor.charFormat().toImageFormat().name(), QStringLiteral("tkrtf:box/2x20"));
    cursor.setPosition(400);
    EXPECT_EQ(cursor.charFormat().toImageFormat().name(), QStringLiteral("tkrtf:box/shared"));
    EXPECT_DOUBLE_EQ(cursor.charFormat().toImageFormat().width(), 400.0);
}
