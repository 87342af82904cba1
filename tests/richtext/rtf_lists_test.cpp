// Numbered and bulleted paragraphs written in both numbering forms and read back.
#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"
#include "rtf_test_support.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

using namespace tk;

namespace {

using test::readBack;

QTextBlock blockAt(const QTextDocument& document, const QString& text) {
    return document.findBlock(document.toPlainText().indexOf(text));
}

QTextListFormat listFormat(QTextListFormat::Style style, int start, const QString& prefix, const QString& suffix) {
    QTextListFormat format;
    format.setStyle(style);
    format.setIndent(0);
    format.setNumberPrefix(prefix);
    format.setNumberSuffix(suffix);
    format.setProperty(richformat::NumberingStart, start);
    format.setProperty(richformat::NumberingTabTwips, 300);
    return format;
}

// Appends a list of two items, "NAME1" and "NAME2", with a hanging number.
void addList(QTextCursor& cursor, const QTextListFormat& format, const QString& name) {
    cursor.insertBlock();
    QTextBlockFormat hanging;
    hanging.setLeftMargin(richformat::twipsToPixels(400));
    hanging.setProperty(richformat::NumberFirstIndentTwips, -400);
    cursor.setBlockFormat(hanging);
    cursor.createList(format);
    cursor.insertText(name + "1");
    cursor.insertBlock();
    cursor.insertText(name + "2");
}

struct Kind {
    QTextListFormat::Style style;
    int nfc;
    const char* second;  // the second item's number with the prefix and suffix
};

const Kind kKinds[] = {
    {QTextListFormat::ListDecimal, 0, "<4>"},     {QTextListFormat::ListUpperRoman, 1, "<IV>"},
    {QTextListFormat::ListLowerRoman, 2, "<iv>"}, {QTextListFormat::ListUpperAlpha, 3, "<D>"},
    {QTextListFormat::ListLowerAlpha, 4, "<d>"},  {QTextListFormat::ListDisc, 23, ""},
    {QTextListFormat::ListCircle, 23, ""},        {QTextListFormat::ListSquare, 23, ""},
};

}  // namespace

TEST(RtfLists, UpperRomanFromThreeIsInTheListTable) {
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText("intro");
    addList(cursor, listFormat(QTextListFormat::ListUpperRoman, 3, QString(), "."), "item");
    const QByteArray rtf = rtf::writeRtf(document);
    // This was a file with the paragraph form alone, which a word processor draws as 1., 2., ...
    EXPECT_TRUE(
        rtf.contains("{\\*\\listtable{\\list\\listtemplateid1\\listsimple{\\listlevel\\levelnfc1\\levelnfcn1"
                     "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat3{\\leveltext\\'02\\'00.;}"
                     "{\\levelnumbers\\'01;}\\fi-400\\li400}\\listid1}}\r\n"
                     "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}"))
        << rtf.toStdString();
    // Each item names its list, has its number as text, and keeps the paragraph form for older readers.
    EXPECT_TRUE(
        rtf.contains("\\pard\\fi-400\\li400 \\ls1\\ilvl0{\\pntext\\f0 III.\\tab}"
                     "{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart3\\pnindent300{\\pntxta .}}"))
        << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("{\\pntext\\f0 IV.\\tab}")) << rtf.toStdString();
    // The number as text sits in the group that the older rich edit controls skip.
    EXPECT_FALSE(rtf.contains("\\listtext")) << rtf.toStdString();
    // Without lists there are no list tables.
    QTextDocument plain;
    plain.setPlainText("text");
    EXPECT_FALSE(rtf::writeRtf(plain).contains("listtable"));
}

TEST(RtfLists, EveryKindRoundTripsInBothForms) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.nfc);
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText("intro");
        addList(cursor, listFormat(kind.style, 3, "<", ">"), "item");
        const QByteArray rtf = rtf::writeRtf(document);
        EXPECT_TRUE(rtf.contains(QByteArray("\\levelnfc" + QByteArray::number(kind.nfc) + "\\"))) << rtf.toStdString();
        if (kind.nfc != 23) {
            EXPECT_TRUE(rtf.contains("{\\leveltext\\'03<\\'00>;}{\\levelnumbers\\'02;}")) << rtf.toStdString();
        }
        // The list table's form, the paragraph form alone (the list table dropped), and both.
        static const QRegularExpression tables(QStringLiteral("\\{\\\\\\*\\\\list(override)?table.*?\\}\\}\r\n"));
        const QByteArray pnOnly = QString::fromLatin1(rtf).remove(tables).toLatin1();
        ASSERT_FALSE(pnOnly.contains("listtable"));
        for (const QByteArray& form : {rtf, pnOnly}) {
            const auto back = readBack(form);
            EXPECT_EQ(back->toPlainText(), QStringLiteral("intro\nitem1\nitem2"));
            const QTextBlock second = blockAt(*back, "item2");
            const QTextList* list = second.textList();
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list, blockAt(*back, "item1").textList());
            EXPECT_EQ(list->count(), 2);
            EXPECT_EQ(list->format().style(), kind.style);
            EXPECT_EQ(list->format().intProperty(richformat::NumberingTabTwips), 300);
            EXPECT_EQ(second.blockFormat().intProperty(richformat::NumberFirstIndentTwips), -400);
            EXPECT_DOUBLE_EQ(second.blockFormat().leftMargin(), richformat::twipsToPixels(400));
            if (kind.nfc != 23) {
                EXPECT_EQ(list->format().intProperty(richformat::NumberingStart), 3);
                EXPECT_EQ(list->format().numberPrefix(), QStringLiteral("<"));
                EXPECT_EQ(list->format().numberSuffix(), QStringLiteral(">"));
                // Qt numbers from 1; the list's first number is added when written.
                const QByteArray again = rtf::writeRtf(*back);
                EXPECT_TRUE(again.contains(QByteArray(QByteArray("{\\pntext\\f0 ") + kind.second + "\\tab}")))
                    << again.toStdString();
            }
        }
        EXPECT_EQ(rtf::writeRtf(*readBack(rtf)), rtf);
    }
}

TEST(RtfLists, SeparateListsStaySeparate) {
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText("intro");
    const QTextListFormat decimal = listFormat(QTextListFormat::ListDecimal, 1, QString(), ".");
    addList(cursor, decimal, "a");
    addList(cursor, decimal, "b");
    ASSERT_NE(blockAt(document, "a2").textList(), blockAt(document, "b1").textList());
    const QByteArray rtf = rtf::writeRtf(document);
    EXPECT_TRUE(rtf.contains("\\listid2}}")) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("{\\listoverride\\listid2\\listoverridecount0\\ls2}}")) << rtf.toStdString();
    const auto back = readBack(rtf);
    // This was one list of four: the paragraph form alone joins lists of one kind that follow each
    // other, so the second list went on with 3. and 4.
    const QTextList* first = blockAt(*back, "a1").textList();
    const QTextList* second = blockAt(*back, "b1").textList();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->count(), 2);
    EXPECT_EQ(second->itemText(blockAt(*back, "b2")), QStringLiteral("2."));
    EXPECT_EQ(rtf::writeRtf(*back), rtf);
    // A range holding only the second list writes that list alone, as list 1.
    const int from = document.toPlainText().indexOf("b1");
    const QByteArray part = rtf::writeRtf(document, from, -1);
    EXPECT_FALSE(part.contains("\\listid2")) << part.toStdString();
    EXPECT_TRUE(part.contains("\\ls1\\ilvl0{\\pntext\\f0 1.\\tab}")) << part.toStdString();
}

TEST(RtfLists, ParagraphWithBothFormsIsOneItem) {
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}"
        "{\\*\\listtable{\\list\\listtemplateid1\\listsimple{\\listlevel\\levelnfc1\\levelnfcn1\\leveljc0\\leveljcn0"
        "\\levelfollow0\\levelstartat3{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-200\\li200}\\listid1}}"
        "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}"
        "\\pard\\fi-200\\li200\\ls1\\ilvl0 {\\listtext\\pard\\plain III.\\tab}"
        "{\\*\\pn\\pnlvlbody\\pndec\\pnstart1\\pnindent250{\\pntxta )}}text\\par"
        "\\pard\\fi-200\\li200\\ls1\\ilvl0 {\\pntext IV.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnindent250}more\\par}";
    const auto back = readBack(rtf);
    // No number text read as text.
    EXPECT_EQ(back->toPlainText(), QStringLiteral("text\nmore"));
    const QTextBlock text = blockAt(*back, "text");
    const QTextList* list = text.textList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list, blockAt(*back, "more").textList());
    // The list table's kind, start and text around the number win over the paragraph form's.
    EXPECT_EQ(list->format().style(), QTextListFormat::ListUpperRoman);
    EXPECT_EQ(list->format().intProperty(richformat::NumberingStart), 3);
    EXPECT_EQ(list->itemText(blockAt(*back, "more")), QStringLiteral("II."));
    // This was no number tab: only the paragraph form gives one, and it was dropped.
    EXPECT_EQ(list->format().intProperty(richformat::NumberingTabTwips), 250);
    EXPECT_EQ(text.blockFormat().intProperty(richformat::NumberFirstIndentTwips), -200);
    EXPECT_DOUBLE_EQ(text.blockFormat().leftMargin(), richformat::twipsToPixels(200));
}

// This was quadratic: Qt marks every item of a list changed when one joins it, so 32,000 numbered
// paragraphs took over a minute to read. A long list now goes on in lists of its own, and the
// numbers still run on without a gap, on screen and in what is written.
TEST(RtfLists, ALongListNumbersOnWithoutAGap) {
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 0; i < 1200; ++i) {
        rtf += "\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}item" + QByteArray::number(i + 1) + "\\par\n";
    }
    rtf += "}";
    const auto document = readBack(rtf);
    int expected = 1;
    for (QTextBlock block = document->begin(); block.isValid() && !block.text().isEmpty(); block = block.next()) {
        const QTextList* list = block.textList();
        ASSERT_NE(list, nullptr) << block.text().toStdString();
        const int start = list->format().intProperty(richformat::NumberingStart);
        EXPECT_EQ(start + list->itemNumber(block), expected) << block.text().toStdString();
        ++expected;
    }
    EXPECT_EQ(expected, 1201);
    const QByteArray written = rtf::writeRtf(*document);
    EXPECT_TRUE(written.contains("{\\pntext\\f0 1200.\\tab}")) << "the last number as text";
    EXPECT_TRUE(written.contains("\\pnstart513")) << "the second part starts where the first ended";
}
