// Documents written by other programs: the text we read equals the text those programs export, the
// formatting arrives, and what we write of them LibreOffice reads as the same text.
#include "richtext/rich_format.h"
#include "richtext/rtf_writer.h"
#include "rtf_test_support.h"

#include <QDir>
#include <QTextTable>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace tk;
using tk::test::Compare;

namespace {

QString dataPath(const QString& name) {
    return QStringLiteral(TK_TEST_DATA "/rtf/") + name;
}

QString fileText(const QString& name) {
    return QString::fromUtf8(tk::test::readFile(dataPath(name)));
}

struct Sample {
    const char* rtf;
    const char* text;  // what the program that wrote the RTF exports as text
    Compare compare;
};

const Sample kSamples[] = {
    {"lo_ko.rtf", "lo_ko.txt", Compare::Lines},
    {"lo_en.rtf", "lo_en.txt", Compare::Lines},
    // AbiWord's text export drops list numbers and bullets.
    {"abiword_ko.rtf", "abiword_ko.txt", Compare::LinesWithoutLabels},
    {"abiword_en.rtf", "abiword_en.txt", Compare::LinesWithoutLabels},
    // pandoc's text export draws tables with rules and wraps nothing: compared word by word.
    {"pandoc_ko.rtf", "pandoc_ko.txt", Compare::Words},
    {"pandoc_en.rtf", "pandoc_en.txt", Compare::Words},
    {"old_richedit.rtf", "old_richedit.txt", Compare::Lines},
};

// The fragment holding the text, or an invalid one.
QTextFragment fragmentWith(const QTextDocument& document, const QString& text) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text)) {
                return it.fragment();
            }
        }
    }
    return {};
}

QTextBlock blockWith(const QTextDocument& document, const QString& text, bool whole = false) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (whole ? block.text() == text : block.text().contains(text)) {
            return block;
        }
    }
    return {};
}

}  // namespace

TEST(RtfFidelity, TextEqualsWhatTheWritingProgramExports) {
    for (const Sample& sample : kSamples) {
        QTextDocument document;
        rtf::RtfError error = rtf::RtfError::None;
        const QString ours = tk::test::readRtfText(tk::test::readFile(dataPath(sample.rtf)), &document, &error);
        EXPECT_EQ(error, rtf::RtfError::None) << sample.rtf;
        const QStringList expected = tk::test::normalizedText(fileText(sample.text), sample.compare);
        const QStringList got = tk::test::normalizedText(ours, sample.compare);
        ASSERT_FALSE(expected.isEmpty()) << sample.text;
        EXPECT_EQ(got.join(u'|').toStdString(), expected.join(u'|').toStdString()) << sample.rtf;
    }
}

TEST(RtfFidelity, KoreanFormattingArrivesFromEveryWriter) {
    // pandoc writes no colours, sizes or alignment; what it writes is checked too.
    for (const char* name : {"lo_ko.rtf", "abiword_ko.rtf", "pandoc_ko.rtf"}) {
        const bool full = QByteArrayView(name) != "pandoc_ko.rtf";
        SCOPED_TRACE(name);
        QTextDocument document;
        tk::test::readRtfText(tk::test::readFile(dataPath(name)), &document);
        const QTextFragment bold = fragmentWith(document, QStringLiteral("굵은 글씨"));
        ASSERT_TRUE(bold.isValid());
        EXPECT_EQ(bold.charFormat().fontWeight(), QFont::Bold);
        EXPECT_TRUE(fragmentWith(document, QStringLiteral("기울임 글씨")).charFormat().fontItalic());
        EXPECT_TRUE(fragmentWith(document, QStringLiteral("밑줄")).charFormat().fontUnderline());
        if (full) {
            const QTextCharFormat red = fragmentWith(document, QStringLiteral("빨간 글자")).charFormat();
            EXPECT_TRUE(red.foreground().color().red() > 150 && red.foreground().color().blue() < 50);
            EXPECT_EQ(fragmentWith(document, QStringLiteral("파란 글자")).charFormat().foreground().color(),
                      QColor(0, 0, 255));
            EXPECT_DOUBLE_EQ(fragmentWith(document, QStringLiteral("큰 글자")).charFormat().fontPointSize(), 20.0);
            EXPECT_DOUBLE_EQ(fragmentWith(document, QStringLiteral("작은 글자")).charFormat().fontPointSize(), 8.0);
            EXPECT_TRUE(blockWith(document, QStringLiteral("가운데 정렬된")).blockFormat().alignment() &
                        Qt::AlignHCenter);
            EXPECT_TRUE(blockWith(document, QStringLiteral("빨간 글자")).blockFormat().alignment() & Qt::AlignRight);
        }
        // A real table: two rows of three cells.
        const QTextBlock cell = blockWith(document, QStringLiteral("홍길동"));
        const auto* table = qobject_cast<QTextTable*>(QTextCursor(cell).currentTable());
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->rows(), 2);
        EXPECT_EQ(table->columns(), 3);
        EXPECT_EQ(table->cellAt(1, 2).firstCursorPosition().block().text(), QStringLiteral("한글과 English"));
    }
}

TEST(RtfFidelity, NumberingArrivesAsLists) {
    // LibreOffice and AbiWord write list tables, the 2000-era controls the paragraph form; pandoc
    // writes the numbers as text, so its lists are not lists.
    for (const char* name : {"lo_ko.rtf", "abiword_ko.rtf"}) {
        SCOPED_TRACE(name);
        QTextDocument document;
        tk::test::readRtfText(tk::test::readFile(dataPath(name)), &document);
        const QTextBlock second = blockWith(document, QStringLiteral("둘째 항목"));
        ASSERT_NE(second.textList(), nullptr);
        EXPECT_EQ(second.textList()->format().style(), QTextListFormat::ListDecimal);
        EXPECT_EQ(second.textList()->itemText(second), QStringLiteral("2."));
        const QTextBlock bullet = blockWith(document, QStringLiteral("글머리 기호 둘"));
        ASSERT_NE(bullet.textList(), nullptr);
        EXPECT_EQ(bullet.textList()->format().style(), QTextListFormat::ListDisc);
        EXPECT_EQ(blockWith(document, QStringLiteral("표 다음")).textList(), nullptr);
    }
    QTextDocument old;
    tk::test::readRtfText(tk::test::readFile(dataPath("old_richedit.rtf")), &old);
    const QTextBlock two = blockWith(old, QStringLiteral("둘"), true);
    ASSERT_NE(two.textList(), nullptr);
    EXPECT_EQ(two.textList()->itemText(two), QStringLiteral("2."));
    EXPECT_EQ(blockWith(old, QStringLiteral("둘째")).textList()->format().style(), QTextListFormat::ListDisc);
}

TEST(RtfFidelity, OldControlSampleKeepsItsFormatting) {
    QTextDocument document;
    tk::test::readRtfText(tk::test::readFile(dataPath("old_richedit.rtf")), &document);
    const QTextCharFormat title = fragmentWith(document, QStringLiteral("일기")).charFormat();
    EXPECT_EQ(title.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(title.fontPointSize(), 14.0);
    EXPECT_EQ(title.fontFamilies().toStringList(), QStringList{QStringLiteral("굴림")});
    EXPECT_EQ(title.intProperty(richformat::FontCharset), 129);
    EXPECT_EQ(fragmentWith(document, QStringLiteral("English")).charFormat().fontFamilies().toStringList(),
              QStringList{QStringLiteral("Arial")});
    EXPECT_EQ(fragmentWith(document, QStringLiteral("빨강")).charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(fragmentWith(document, QStringLiteral("오른쪽")).charFormat().background().color(), QColor(255, 255, 0));
    EXPECT_TRUE(fragmentWith(document, QStringLiteral("보호")).charFormat().boolProperty(richformat::Protected));
    const QTextBlockFormat spaced = blockWith(document, QStringLiteral("보호")).blockFormat();
    EXPECT_EQ(spaced.intProperty(richformat::LineSpacingRule), 1);  // one and a half lines
    EXPECT_DOUBLE_EQ(spaced.lineHeight(), 150.0);
}

TEST(RtfFidelity, WhatWeWriteReadsBackTheSame) {
    // ours/NAME.rtf is NAME.rtf written by this writer (regenerate.sh); LibreOffice's text of each
    // is kept beside it, and the script fails when they differ.
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.rtf);
        QTextDocument theirs;
        const QString expected = tk::test::readRtfText(tk::test::readFile(dataPath(sample.rtf)), &theirs);
        QTextDocument again;
        EXPECT_EQ(tk::test::readRtfText(rtf::writeRtf(theirs), &again), expected);
        QTextDocument kept;
        EXPECT_EQ(tk::test::readRtfText(tk::test::readFile(dataPath(QStringLiteral("ours/") + sample.rtf)), &kept),
                  expected);
        const QString name = QString::fromLatin1(sample.rtf).chopped(4);
        EXPECT_EQ(tk::test::normalizedText(fileText(QStringLiteral("ours/") + name + QStringLiteral(".lo.txt")),
                                           Compare::Lines),
                  tk::test::normalizedText(fileText(name + QStringLiteral(".lo.txt")), Compare::Lines));
    }
}

// Documents of every kind other programs write keep their text through our writer: read, written
// and read again, each sample gives the same text.
TEST(RtfFidelity, OtherProgramsDocumentsKeepTheirTextWhenWritten) {
    const QDir classes(dataPath(QStringLiteral("classes")));
    const QStringList names = classes.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QTextDocument theirs;
        const QString expected = tk::test::readRtfText(tk::test::readFile(classes.filePath(name)), &theirs);
        EXPECT_FALSE(expected.isEmpty());
        QTextDocument again;
        EXPECT_EQ(tk::test::readRtfText(rtf::writeRtf(theirs), &again), expected);
    }
}
