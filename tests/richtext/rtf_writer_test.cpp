#include "richtext/rtf_writer.h"
#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"
#include "rtf_test_support.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace tk;

namespace {

using test::readBack;

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

}  // namespace

TEST(RtfWriter, KoreanForBothKindsOfReader) {
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat format;
    format.setFontFamilies(QStringList{QStringLiteral("굴림")});
    cursor.insertText(QStringLiteral("한글 abc é😀"), format);
    const QByteArray rtf = rtf::writeRtf(document);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg949")) << rtf.toStdString();
    // The font name in the code page, the font marked Korean.
    EXPECT_TRUE(rtf.contains("\\fcharset129 \\'b1\\'bc\\'b8\\'b2;")) << rtf.toStdString();
    // \uN first, then the CP949 bytes, with \uc saying how many to skip.
    EXPECT_TRUE(rtf.contains("\\uc2\\u-10916\\'c7\\'d1\\u-20992\\'b1\\'db")) << rtf.toStdString();
    // Characters without a CP949 form fall back to "?", one byte; a surrogate pair is two.
    EXPECT_TRUE(rtf.contains("\\uc1\\u233?\\u-10179?\\u-8704?")) << rtf.toStdString();
    EXPECT_EQ(readBack(rtf)->toPlainText(), QStringLiteral("한글 abc é😀"));
    // A reader that knows only code pages: drop every \uN and keep the fallback bytes.
    QByteArray codePageOnly = rtf;
    codePageOnly.replace("\\uc2", "").replace("\\uc1", "");
    static const QRegularExpression unicodeWord(QStringLiteral("\\\\u-?\\d+"));
    const QString stripped = QString::fromLatin1(codePageOnly).remove(unicodeWord);
    EXPECT_EQ(readBack(stripped.toLatin1())->toPlainText(), QStringLiteral("한글 abc ???"));
}

TEST(RtfWriter, FormattingRoundTrips) {
    QTextDocument document;
    QTextCursor cursor(&document);
    auto insert = [&](const QString& text, auto&& set) {
        QTextCharFormat format;
        format.setFontPointSize(11);
        set(format);
        cursor.insertText(text, format);
    };
    insert("bold ", [](QTextCharFormat& f) { f.setFontWeight(QFont::Bold); });
    insert("italic ", [](QTextCharFormat& f) { f.setFontItalic(true); });
    insert("wave ", [](QTextCharFormat& f) {
        f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        f.setProperty(richformat::UnderlineKind, int(richformat::UnderlineType::Wave));
    });
    insert("plainul ", [](QTextCharFormat& f) { f.setFontUnderline(true); });
    insert("strike ", [](QTextCharFormat& f) { f.setFontStrikeOut(true); });
    insert("sup ", [](QTextCharFormat& f) { f.setVerticalAlignment(QTextCharFormat::AlignSuperScript); });
    insert("hidden ", [](QTextCharFormat& f) { f.setProperty(richformat::Hidden, true); });
    insert("locked ", [](QTextCharFormat& f) { f.setProperty(richformat::Protected, true); });
    insert("green ", [](QTextCharFormat& f) { f.setForeground(QColor(0, 128, 0)); });
    insert("marked ", [](QTextCharFormat& f) { f.setBackground(QColor(255, 255, 0)); });
    insert("big ", [](QTextCharFormat& f) { f.setFontPointSize(24.5); });
    insert("caps ", [](QTextCharFormat& f) { f.setFontCapitalization(QFont::SmallCaps); });
    insert("Arial", [](QTextCharFormat& f) {
        f.setFontFamilies(QStringList{"Arial"});
        f.setProperty(richformat::FontCharset, 0);
    });
    QTextBlockFormat block;
    block.setAlignment(Qt::AlignRight);
    block.setLeftMargin(48);
    block.setTextIndent(-24);
    block.setRightMargin(12);
    block.setTopMargin(8);
    block.setBottomMargin(4);
    block.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    block.setTabPositions({QTextOption::Tab(96, QTextOption::CenterTab)});
    block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    block.setLayoutDirection(Qt::RightToLeft);
    cursor.insertBlock(block);
    cursor.insertText(QStringLiteral("second {braces} \\ and\ttab\u2028line"));

    const auto back = readBack(rtf::writeRtf(document));
    EXPECT_EQ(back->toRawText(), document.toRawText());
    const QTextDocument& d = *back;
    EXPECT_EQ(formatAt(d, "bold").fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(d, "italic").fontItalic());
    EXPECT_EQ(formatAt(d, "wave").underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_TRUE(formatAt(d, "plainul").fontUnderline());
    EXPECT_TRUE(formatAt(d, "strike").fontStrikeOut());
    EXPECT_EQ(formatAt(d, "sup").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_TRUE(formatAt(d, "hidden").boolProperty(richformat::Hidden));
    EXPECT_TRUE(formatAt(d, "locked").boolProperty(richformat::Protected));
    EXPECT_FALSE(formatAt(d, "bold").boolProperty(richformat::Protected));
    EXPECT_EQ(formatAt(d, "green").foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(formatAt(d, "marked").background().color(), QColor(255, 255, 0));
    EXPECT_DOUBLE_EQ(formatAt(d, "big").fontPointSize(), 24.5);
    EXPECT_DOUBLE_EQ(formatAt(d, "bold").fontPointSize(), 11.0);
    EXPECT_EQ(formatAt(d, "Arial").fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(formatAt(d, "Arial").intProperty(richformat::FontCharset), 0);
    const QTextBlockFormat second = blockAt(d, "second").blockFormat();
    EXPECT_TRUE(second.alignment() & Qt::AlignRight);
    EXPECT_DOUBLE_EQ(second.leftMargin(), 48.0);
    EXPECT_DOUBLE_EQ(second.textIndent(), -24.0);
    EXPECT_DOUBLE_EQ(second.rightMargin(), 12.0);
    EXPECT_DOUBLE_EQ(second.topMargin(), 8.0);
    EXPECT_DOUBLE_EQ(second.bottomMargin(), 4.0);
    EXPECT_DOUBLE_EQ(second.lineHeight(), 150.0);
    EXPECT_EQ(formatAt(d, "caps").fontCapitalization(), QFont::SmallCaps);
    EXPECT_EQ(second.pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);
    EXPECT_EQ(second.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(blockAt(d, "bold").blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_Auto);
    ASSERT_EQ(second.tabPositions().size(), 1);
    EXPECT_EQ(second.tabPositions()[0].type, QTextOption::CenterTab);
}

TEST(RtfWriter, ListsTablesAndLinksRoundTrip) {
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText("intro");
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListUpperRoman);
    numbers.setNumberPrefix("(");
    numbers.setNumberSuffix(")");
    numbers.setProperty(richformat::NumberingStart, 4);
    cursor.insertBlock();
    cursor.createList(numbers);
    cursor.insertText("first");
    cursor.insertBlock();
    cursor.insertText("second");
    cursor.insertBlock();
    cursor.setBlockFormat(QTextBlockFormat());
    QTextTableFormat tableFormat;
    tableFormat.setBorder(1);
    QTextTable* table = cursor.insertTable(2, 2, tableFormat);
    for (int i = 0; i < 4; ++i) {
        table->cellAt(i / 2, i % 2).firstCursorPosition().insertText(QStringLiteral("셀%1").arg(i));
    }
    cursor.setPosition(table->lastPosition() + 1);
    QTextCharFormat link;
    link.setProperty(richformat::LinkTarget, QStringLiteral("https://example.org/?q=1"));
    cursor.insertText("go ");
    cursor.insertText("there", link);

    QTextBlockFormat hanging = cursor.document()->findBlockByNumber(1).blockFormat();
    hanging.setLeftMargin(24);
    hanging.setProperty(richformat::NumberFirstIndentTwips, -360);
    QTextCursor(cursor.document()->findBlockByNumber(1)).setBlockFormat(hanging);
    const QByteArray rtf = rtf::writeRtf(document);
    // 24 pixels of margin and the list's one indent level of 40.
    EXPECT_TRUE(rtf.contains("\\pard\\fi-360\\li960 \\ls1\\ilvl0{\\pntext")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("{\\field{\\*\\fldinst HYPERLINK \"https://example.org/?q=1\"}{\\fldrslt "))
        << rtf.toStdString();
    const auto back = readBack(rtf);
    const QTextBlock second = blockAt(*back, "second");
    ASSERT_NE(second.textList(), nullptr);
    EXPECT_EQ(second.textList(), blockAt(*back, "first").textList());
    EXPECT_EQ(second.textList()->format().style(), QTextListFormat::ListUpperRoman);
    EXPECT_EQ(second.textList()->format().intProperty(richformat::NumberingStart), 4);
    EXPECT_EQ(second.textList()->itemText(second), QStringLiteral("(II)"));
    EXPECT_EQ(blockAt(*back, "intro").textList(), nullptr);
    QTextCursor inTable(back.get());
    inTable.setPosition(back->toPlainText().indexOf(QStringLiteral("셀3")));
    ASSERT_NE(inTable.currentTable(), nullptr);
    EXPECT_EQ(inTable.currentTable()->rows(), 2);
    EXPECT_EQ(inTable.currentTable()->columns(), 2);
    EXPECT_GT(inTable.currentTable()->format().border(), 0);
    EXPECT_EQ(formatAt(*back, "there").stringProperty(richformat::LinkTarget),
              QStringLiteral("https://example.org/?q=1"));
    EXPECT_FALSE(formatAt(*back, "go").hasProperty(richformat::LinkTarget));
    EXPECT_EQ(tk::test::exportedText(*back), tk::test::exportedText(document));
}

TEST(RtfWriter, PicturesAndObjectsAreWrittenBackUnchanged) {
    const QByteArray wmf = QByteArray::fromHex("0100090000031d00000000000400000003010800");
    const QByteArray object =
        "{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw600\\objh300{\\*\\objdata 0105}"
        "{\\result{\\pict\\wmetafile8\\picw100\\pich100 0100}}}";
    const QByteArray source = "{\\rtf1 a{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 " +
                              wmf.toHex() + "}b" + object + "c}";
    const auto first = readBack(source);
    const QByteArray rtf = rtf::writeRtf(*first);
    EXPECT_TRUE(rtf.contains(object)) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720"))
        << rtf.toStdString();
    const auto second = readBack(rtf);
    QTextCursor cursor(second.get());
    cursor.setPosition(2);
    EXPECT_EQ(cursor.charFormat().property(richformat::PictureData).toByteArray(), wmf);
    cursor.setPosition(4);
    EXPECT_EQ(cursor.charFormat().property(richformat::ObjectRtf).toByteArray(), object);
    // A picture the user inserted (no stored bytes) is written as PNG of the image shown.
    QTextDocument inserted;
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    inserted.addResource(QTextDocument::ImageResource, QUrl("mem:pic"), image);
    QTextImageFormat picture;
    picture.setName("mem:pic");
    picture.setWidth(30);
    picture.setHeight(20);
    QTextCursor(&inserted).insertImage(picture);
    const QByteArray png = rtf::writeRtf(inserted);
    EXPECT_TRUE(png.contains("{\\pict\\pngblip\\picw3\\pich2\\picwgoal450\\pichgoal300")) << png.toStdString();
    const auto third = readBack(png);
    cursor = QTextCursor(third.get());
    cursor.setPosition(1);
    const QTextImageFormat read = cursor.charFormat().toImageFormat();
    EXPECT_EQ(third->resource(QTextDocument::ImageResource, QUrl(read.name())).value<QImage>().pixel(1, 1),
              QColor(Qt::blue).rgb());
}

TEST(RtfWriter, RangesAndParagraphEnds) {
    QTextDocument document;
    document.setPlainText(QStringLiteral("first line\nsecond line\n"));
    // The whole document: three paragraphs, the last one empty, survive a round trip.
    EXPECT_EQ(readBack(rtf::writeRtf(document))->toPlainText(), document.toPlainText());
    // [6, 17): "line" and "second", the range ending inside a paragraph.
    EXPECT_EQ(readBack(rtf::writeRtf(document, 6, 17))->toPlainText(), QStringLiteral("line\nsecond"));
    EXPECT_EQ(readBack(rtf::writeRtf(document, 3, 3))->toPlainText(), QString());
    // An empty document.
    QTextDocument empty;
    EXPECT_EQ(readBack(rtf::writeRtf(empty))->toPlainText(), QString());
}

TEST(RtfWriter, QtIndentLevelsBecomeTheLeftIndent) {
    // A list made by the editor with Qt's own indent keeps its indentation in other readers.
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextListFormat list;
    list.setStyle(QTextListFormat::ListDecimal);
    list.setIndent(1);
    cursor.createList(list);
    cursor.insertText("item");
    const QByteArray rtf = rtf::writeRtf(document);
    const int twips = richformat::pixelsToTwips(document.indentWidth());
    EXPECT_TRUE(rtf.contains(QByteArray("\\li" + QByteArray::number(twips)))) << rtf.toStdString();
    const auto back = readBack(rtf);
    EXPECT_DOUBLE_EQ(back->begin().blockFormat().leftMargin(), richformat::twipsToPixels(twips));
}

TEST(RtfWriter, TableInsideACellKeepsItsText) {
    // This was lost: a table nested in a cell was skipped with everything in it.
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextTable* outer = cursor.insertTable(1, 2);
    QTextCursor inCell = outer->cellAt(0, 0).firstCursorPosition();
    inCell.insertText("before");
    QTextTable* inner = inCell.insertTable(1, 2);
    inner->cellAt(0, 0).firstCursorPosition().insertText("inner1");
    inner->cellAt(0, 1).firstCursorPosition().insertText("inner2");
    outer->cellAt(0, 1).firstCursorPosition().insertText("right");
    const QString text = readBack(rtf::writeRtf(document))->toPlainText();
    for (const char* word : {"before", "inner1", "inner2", "right"}) {
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word << " in " << text.toStdString();
    }
}

TEST(RtfWriter, KoreanInAWesternFontUsesItsKoreanTwin) {
    // This was "?" for readers that know only code pages: Korean typed in a font read as Western.
    QTextDocument document;
    QTextCharFormat arial;
    arial.setFontFamilies(QStringList{"Arial"});
    arial.setProperty(richformat::FontCharset, 0);
    QTextCursor(&document).insertText(QStringLiteral("abc 한 é"), arial);
    const QByteArray rtf = rtf::writeRtf(document);
    EXPECT_TRUE(rtf.contains("{\\f1\\fnil\\fcharset0 Arial;}{\\f2\\fnil\\fcharset129 Arial;}")) << rtf.toStdString();
    // é has no CP949 form: the run keeps "?" for it but the Korean twin makes 한 readable.
    EXPECT_TRUE(rtf.contains("{\\f2\\fs18 abc \\uc2\\u-10916\\'c7\\'d1 \\uc1\\u233?}")) << rtf.toStdString();
    EXPECT_EQ(readBack(rtf)->toPlainText(), QStringLiteral("abc 한 é"));
    // Western text alone stays in the Western font with its own code page.
    QTextDocument western;
    QTextCursor(&western).insertText(QStringLiteral("café"), arial);
    EXPECT_TRUE(rtf::writeRtf(western).contains("{\\f1\\fs18 caf\\u233\\'e9}")) << rtf::writeRtf(western).toStdString();
}

TEST(RtfWriter, LineSpacingRulesRoundTrip) {
    // Each rule with its value as the rich edit window keeps them (twips; twentieths of a line).
    for (const auto& [rule, value] : {std::pair{1, 0}, {2, 0}, {3, 300}, {4, 280}, {5, 25}}) {
        QTextDocument document;
        QTextBlockFormat block;
        block.setProperty(richformat::LineSpacingRule, rule);
        block.setProperty(richformat::LineSpacingTwips, value);
        QTextCursor cursor(&document);
        cursor.setBlockFormat(block);
        cursor.insertText("x");
        const QTextBlockFormat back = readBack(rtf::writeRtf(document))->begin().blockFormat();
        EXPECT_EQ(back.intProperty(richformat::LineSpacingRule), rule);
        EXPECT_EQ(back.intProperty(richformat::LineSpacingTwips), value);
    }
}
