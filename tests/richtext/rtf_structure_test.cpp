// Old-style paragraph numbering, footnotes and endnotes, and nested tables as other programs write
// them, read into the document.
#include "richtext/rich_format.h"
#include "richtext/rtf_reader.h"
#include "richtext/rtf_writer.h"
#include "rtf_test_support.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace tk;

namespace {

// The document's paragraphs, each numbered one led by the number the window shows for it (Qt's own
// item text numbers every list from 1).
QString shownText(const QTextDocument& document) {
    QStringList lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString line = block.text();
        if (block.textList()) {
            const QString label = richformat::numberLabel(block);
            line = (label.isEmpty() ? QStringLiteral("\u2022") : label) + QLatin1Char(' ') + line;
        }
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

QString textOf(const QByteArray& rtf) {
    QTextDocument document;
    test::readRtfText(rtf, &document);
    return shownText(document);
}

QByteArray doc(const QByteArray& body) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}" + body + "}";
}

QByteArray pnItem(const QByteArray& shown, const QByteArray& pn, const QByteArray& text) {
    return "\\pard{\\pntext\\f0 " + shown + "\\tab}{\\*\\pn" + pn + "}" + text + "\\par\n";
}

const QByteArray kDecimal = "\\pnlvlbody\\pndec\\pnstart1\\pnindent360{\\pntxta .}";

// ---- old-style numbering ----

TEST(RtfPnNumbering, ItemsInGroupsOfTheirOwnAreOneListWithTheWritersLabels) {
    const QByteArray rtf =
        doc("{" + pnItem("1.", kDecimal, "item one").trimmed() + "}{" + pnItem("2.", kDecimal, "item two").trimmed() +
            "}{" + pnItem("\\'b7", "\\pnlvlblt\\pnf0{\\pntxtb \\'b7}", "bullet").trimmed() + "}");
    QTextDocument document;
    EXPECT_EQ(test::readRtfText(rtf, &document), "1. item one\n2. item two\n\u2022 bullet");
    EXPECT_EQ(document.begin().textList(), document.begin().next().textList());
    EXPECT_FALSE(document.toPlainText().contains(QLatin1String("1."))) << "the writer's label is not text";
}

TEST(RtfPnNumbering, StylesPrefixesAndStart) {
    EXPECT_EQ(textOf(doc(pnItem("(C)", "\\pnlvlbody\\pnucltr\\pnstart3{\\pntxtb (}{\\pntxta )}", "c") +
                         pnItem("(D)", "\\pnlvlbody\\pnucltr\\pnstart3{\\pntxtb (}{\\pntxta )}", "d") +
                         pnItem("iv.", "\\pnlvlbody\\pnlcrm\\pnstart4{\\pntxta .}", "four") +
                         pnItem("b)", "\\pnlvlbody\\pnlcltr\\pnstart2{\\pntxta )}", "bee"))),
              "(C) c\n(D) d\niv. four\nb) bee");
}

// This was "1. b": an item after a deeper level's items started its list again.
TEST(RtfPnNumbering, NumbersRunOnAcrossDeeperLevelsAndContinuations) {
    const QByteArray level1 = "\\pnlvl1\\pndec\\pnstart1{\\pntxta .}";
    const QByteArray level2 = "\\pnlvl2\\pnlcltr\\pnstart1{\\pntxta )}";
    EXPECT_EQ(textOf(doc(pnItem("1.", level1, "a") + pnItem("a)", level2, "sub one") + pnItem("b)", level2, "sub two") +
                         pnItem("2.", level1, "b") + pnItem("a)", level2, "sub again"))),
              "1. a\na) sub one\nb) sub two\n2. b\na) sub again");
    // This was "1. c": a further paragraph of an item (\pnlvlcont) ended the list, with or
    // without the writer's labels.
    const QByteArray cont = "\\pard{\\*\\pn\\pnlvlcont}more of b\\par\n";
    EXPECT_EQ(
        textOf(doc(pnItem("1.", kDecimal, "a") + pnItem("2.", kDecimal, "b") + cont + pnItem("3.", kDecimal, "c"))),
        "1. a\n2. b\nmore of b\n3. c");
    EXPECT_EQ(textOf(doc("\\pard{\\*\\pn" + kDecimal + "}a\\par" + cont + "\\pard{\\*\\pn" + kDecimal + "}c\\par")),
              "1. a\nmore of b\n2. c");
    EXPECT_EQ(textOf(doc("\\pard{\\*\\pn" + kDecimal + "}a\\par\\pard\\pnlvlcont more\\par\\pard{\\*\\pn" + kDecimal +
                         "}c\\par")),
              "1. a\nmore\n2. c");
}

// This was "1. c" for a writer that numbered on after a paragraph without a number.
TEST(RtfPnNumbering, TheWritersLabelsSayWhereNumbersGoOnOrStartAgain) {
    EXPECT_EQ(textOf(doc(pnItem("1.", kDecimal, "a") + "\\pard note\\par\n" + pnItem("2.", kDecimal, "c"))),
              "1. a\nnote\n2. c");
    EXPECT_EQ(textOf(doc(pnItem("1.", kDecimal, "a") + pnItem("2.", kDecimal, "b") + pnItem("1.", kDecimal, "again") +
                         pnItem("2.", kDecimal, "b again"))),
              "1. a\n2. b\n1. again\n2. b again");
    // Labels out of step with the list's start still count on from each other.
    const QByteArray fromThree = "\\pnlvlbody\\pnlcltr\\pnstart3{\\pntxta )}";
    EXPECT_EQ(textOf(doc(pnItem("a)", fromThree, "c") + "\\pard other\\par" + pnItem("b)", fromThree, "d"))),
              "c) c\nother\nd) d");
    // Without the writer's labels, a paragraph without a number ends the list.
    EXPECT_EQ(textOf(doc("\\pard{\\*\\pn" + kDecimal + "}a\\par\\pard note\\par\\pard{\\*\\pn" + kDecimal + "}c\\par")),
              "1. a\nnote\n1. c");
    // A label that is no number of the list's style is no guide.
    EXPECT_EQ(textOf(doc(pnItem("1.", kDecimal, "a") + pnItem("x.", kDecimal, "b"))), "1. a\n2. b");
}

// ---- footnotes and endnotes ----

// This was "Text after.\nMore": the mark and the whole note were dropped.
TEST(RtfNotes, TheMarkStaysAndTheNoteFollowsTheText) {
    const QByteArray rtf =
        "{\\rtf1\\ansi Text{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} The note.} after.\\par "
        "More\\par}";
    QTextDocument document;
    EXPECT_EQ(test::readRtfText(rtf, &document), "Text1 after.\nMore\n1 The note.");
    QTextCursor mark(&document);
    mark.setPosition(5);
    EXPECT_EQ(mark.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);
    mark.setPosition(7);
    EXPECT_EQ(mark.charFormat().verticalAlignment(), QTextCharFormat::AlignNormal) << "the body after the mark";
}

TEST(RtfNotes, FootnotesFirstThenEndnotesEachNumberedInTheirOwnRun) {
    // As LibreOffice writes them: the note inside the mark's group, \ftnalt for an endnote.
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\*\\ftnsep\\chftnsep}{\\ftnsep \\pard\\plain {\\chftnsep \\par }}"
        "\\pard A{\\super \\chftn{\\*\\footnote \\chftn\\pard\\plain\\fs20 \\tab First.}} "
        "B{\\super \\chftn{\\*\\footnote\\ftnalt \\chftn\\pard\\plain\\fs20 \\tab End one.\\par \\pard Second "
        "paragraph.}} C{\\super \\chftn{\\*\\footnote \\chftn\\pard\\plain \\tab Second.}}\\par"
        "\\pard D{\\super\\chftn}{\\footnote\\ftnalt\\pard No number in the text.}\\par}";
    // Endnotes are numbered i, ii unless the document says otherwise, as word processors do.
    EXPECT_EQ(textOf(rtf),
              "A1 Bi C2\nDii\n1\tFirst.\n2\tSecond.\ni\tEnd one.\nSecond paragraph.\nii No number in the text.");
    // The document's own numbering of each kind: letters for footnotes, arabic for endnotes. This
    // was arabic for both whatever the document said.
    QByteArray styled = rtf;
    styled.replace("{\\rtf1\\ansi", "{\\rtf1\\ansi\\ftnnauc\\aftnnar");
    EXPECT_EQ(textOf(styled),
              "AA B1 CB\nD2\nA\tFirst.\nB\tSecond.\n1\tEnd one.\nSecond paragraph.\n2 No number in the text.");
}

TEST(RtfNotes, NotesKeepTheirFormattingAndParagraphsToThemselves) {
    const QByteArray rtf =
        "{\\rtf1\\ansi\\pard\\qr Body{\\super\\chftn}{\\footnote\\pard\\plain\\qc\\b{\\super\\chftn} "
        "Bold\\par\\pard\\i Italic} text.\\par}";
    QTextDocument document;
    EXPECT_EQ(test::readRtfText(rtf, &document), "Body1 text.\n1 Bold\nItalic");
    const QTextBlock body = document.begin();
    EXPECT_EQ(body.blockFormat().alignment(), Qt::AlignRight);
    QTextCursor cursor(body);
    cursor.setPosition(body.position() + 8);
    EXPECT_NE(cursor.charFormat().fontWeight(), QFont::Bold) << "the note's bold stays in the note";
    const QTextBlock note = body.next();
    cursor.setPosition(note.position() + 3);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
    cursor.setPosition(note.next().position() + 2);
    EXPECT_TRUE(cursor.charFormat().fontItalic());
}

TEST(RtfNotes, CustomMarksNotesInTablesAndEmptyDocuments) {
    // A mark the writer wrote itself is the text's; its note is kept without a number.
    EXPECT_EQ(textOf("{\\rtf1\\ansi Text{\\super *}{\\*\\footnote\\pard{\\super *} Custom.} end\\par}"),
              "Text* end\n* Custom.");
    // A note marked in a table's cell comes after the table, which it neither ends nor enters.
    QTextDocument document;
    EXPECT_EQ(test::readRtfText("{\\rtf1\\ansi Start\\par\\trowd\\cellx1000\\cellx2000\\pard\\intbl "
                                "one{\\super\\chftn}{\\footnote\\pard\\intbl{\\super\\chftn} In a cell\\cell "
                                "more.}\\cell two\\cell\\row}",
                                &document),
              "Start\none1\ntwo\n1 In a cell\tmore.");
    const auto* table = qobject_cast<QTextTable*>(document.rootFrame()->childFrames().value(0));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 1);
    EXPECT_EQ(table->columns(), 2);
    // A note in a document that ends without a paragraph mark.
    EXPECT_EQ(textOf("{\\rtf1\\ansi Last{\\super\\chftn}{\\footnote Note}}"), "Last1\n1 Note");
    // A document cut short inside its note.
    EXPECT_EQ(textOf("{\\rtf1\\ansi Cut{\\super\\chftn}{\\footnote Short"), "Cut1\n1 Short");
}

// ---- nested tables ----

QString cellText(const QTextTable& table, int row, int column) {
    const QTextTableCell cell = table.cellAt(row, column);
    QTextCursor cursor(table.document());
    cursor.setPosition(cell.firstPosition());
    cursor.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
    return cursor.selection().toPlainText();
}

// This was an empty paragraph after every inner row and a tab after its last cell: the fallback
// group for readers without nested tables was read as well.
TEST(RtfNestedTables, InnerRowsAreParagraphsOfTheOuterCellAndTheFallbackIsNotRead) {
    const QByteArray inner =
        "\\pard\\intbl\\itap2 x1\\nestcell\\pard\\intbl\\itap2 y1\\nestcell"
        "{\\*\\nesttableprops\\trowd\\cellx500\\cellx900\\nestrow}{\\nonesttables\\par}"
        "\\pard\\intbl\\itap2 x2\\nestcell\\pard\\intbl\\itap2 y2\\nestcell"
        "{\\*\\nesttableprops\\trowd\\cellx500\\cellx900\\nestrow}{\\*\\nonesttables x2 y2\\par}";
    const QByteArray rtf =
        "{\\rtf1\\ansi Before\\par\\trowd\\cellx1000\\cellx2000\\pard\\intbl A1\\cell"
        "\\pard\\intbl B1 before\\par " +
        inner +
        "\\pard\\intbl B1 after\\cell\\row\\trowd\\cellx1000\\cellx2000\\pard\\intbl "
        "A2\\cell B2\\cell\\row\\pard After\\par}";
    QTextDocument document;
    test::readRtfText(rtf, &document);
    const auto* table = qobject_cast<QTextTable*>(document.rootFrame()->childFrames().value(0));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rows(), 2);
    ASSERT_EQ(table->columns(), 2);
    EXPECT_EQ(cellText(*table, 0, 0), "A1");
    EXPECT_EQ(cellText(*table, 0, 1), "B1 before\nx1\ty1\nx2\ty2\nB1 after");
    EXPECT_EQ(cellText(*table, 1, 1), "B2");
    EXPECT_EQ(document.toPlainText().count(QLatin1String("x2")), 1);

    // This was "y\t": a nested row's last cell ended both with \nestcell and \cell, as LibreOffice
    // writes a table nested two deep, left a tab behind.
    QTextDocument deeper;
    test::readRtfText(
        "{\\rtf1\\ansi\\trowd\\cellx1000\\pard\\intbl\\itap2 x\\nestcell\\pard\\intbl\\itap2 "
        "y\\nestcell\\cell{\\*\\nesttableprops\\nestrow}{\\nonesttables\\par}\\pard\\intbl after\\cell\\row}",
        &deeper);
    const auto* outer = qobject_cast<QTextTable*>(deeper.rootFrame()->childFrames().value(0));
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(cellText(*outer, 0, 0), "x\ty\nafter");
}

// Every word once and in order, whatever shape the table was given.
QString words(const QByteArray& rtf) {
    QTextDocument document;
    QTextCursor cursor(&document);
    EXPECT_EQ(rtf::readRtf(rtf, cursor), rtf::RtfError::None);
    return test::normalizedText(document.toPlainText(), test::Compare::Words).join(QLatin1Char(' '));
}

TEST(RtfNestedTables, MalformedNestingKeepsEveryCellsTextOnceInOrder) {
    const QByteArray row = "\\trowd\\cellx1000\\cellx2000";
    // \nestrow without row properties, and one both bare and in the properties.
    EXPECT_EQ(
        words("{\\rtf1" + row +
              "\\pard\\intbl a\\cell\\pard\\intbl\\itap2 b\\nestcell c\\nestcell\\nestrow"
              "\\pard\\intbl\\itap2 d\\nestcell\\nestrow{\\*\\nesttableprops\\nestrow}\\pard\\intbl e\\cell\\row}"),
        "a b c d e");
    // Nesting levels out of range.
    EXPECT_EQ(words("{\\rtf1" + row +
                    "\\pard\\intbl\\itap99999 a\\nestcell b\\nestcell\\nestrow\\pard\\intbl\\itap-5 "
                    "c\\cell d\\cell\\row\\pard\\itap0 e\\par}"),
              "a b c d e");
    // A nested table's cells ended with \cell and \row, and an outer cell with \nestcell.
    EXPECT_EQ(words("{\\rtf1" + row +
                    "\\pard\\intbl a\\cell\\pard\\intbl\\itap2 b\\cell c\\cell\\row"
                    "\\pard\\intbl x\\nestcell y\\cell\\row}"),
              "a b c x y");
    // Rows without \row, a nested row without a table around it, and a document cut short in one.
    EXPECT_EQ(words("{\\rtf1" + row + "\\pard\\intbl a\\cell b\\cell" + row + "\\pard\\intbl c\\cell d\\cell" +
                    "\\pard\\itap2 e\\nestcell f\\nestcell\\nestrow\\pard\\intbl\\itap2 g\\nestcell h}"),
              "a b c d e f g h");
}

// ---- writing back ----

TEST(RtfStructure, WhatWasReadIsWrittenAndReadAgainAsTheSameText) {
    const QByteArray rtf = doc(
        pnItem("1.", kDecimal, "one") + pnItem("2.", kDecimal, "two") + "\\pard{\\*\\pn\\pnlvlcont}more\\par" +
        pnItem("3.", kDecimal, "three") + "\\pard Text{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} Note.}\\par" +
        "\\trowd\\cellx1000\\cellx2000\\pard\\intbl A\\cell\\pard\\intbl\\itap2 x\\nestcell y\\nestcell"
        "{\\*\\nesttableprops\\trowd\\cellx500\\nestrow}\\pard\\intbl B\\cell\\row\\pard End\\par");
    QTextDocument first;
    const QString text = test::readRtfText(rtf, &first);
    EXPECT_EQ(text, "1. one\n2. two\nmore\n3. three\nText1\nA\nx\ty\nB\nEnd\n1 Note.");
    QTextDocument second;
    EXPECT_EQ(test::readRtfText(rtf::writeRtf(first), &second), text);
}

}  // namespace
