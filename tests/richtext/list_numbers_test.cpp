#include "richtext/list_marker.h"
#include "richtext/rich_edit_window.h"
#include "richtext/rich_format.h"

#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

#include <memory>

using namespace tk::richedit;

namespace {

constexpr int kHangTwips = 900;  // 60 pixels between the paragraph's first line and its text

// A shown window with `count` paragraphs numbered in `style` from `start`.
std::unique_ptr<RichEditWindow> numberedWindow(int count, int start, int style = PFN_ARABIC, int tabTwips = 0,
                                               int hangTwips = kHangTwips) {
    auto window = std::make_unique<RichEditWindow>();
    window->resize(320, 260);
    window->document()->setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    RichEditModel& model = window->model();
    model.setTextLimit(0xFFFF);
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines.append(QStringLiteral("item %1").arg(i));
    }
    model.setText(lines.join(QLatin1Char('\r')));
    model.setSelection(0, -1);
    ParaFormat2 pf;
    pf.dwMask = PFM_NUMBERING | PFM_NUMBERINGSTART | PFM_STARTINDENT | PFM_OFFSET | PFM_NUMBERINGTAB;
    pf.wNumbering = static_cast<quint16>(style);
    pf.wNumberingStart = static_cast<qint16>(start);
    pf.wNumberingTab = static_cast<quint16>(tabTwips);
    pf.dxStartIndent = 0;
    pf.dxOffset = hangTwips;
    EXPECT_TRUE(model.setParaFormat(pf));
    model.setSelection(0, 0);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
}

void setStart(RichEditWindow& window, int start) {
    window.model().setSelection(0, 0);
    ParaFormat2 pf;
    pf.dwMask = PFM_NUMBERINGSTART;
    pf.wNumberingStart = static_cast<qint16>(start);
    ASSERT_TRUE(window.model().setParaFormat(pf));
}

// The hanging indent of a paragraph's first line as drawn: from the window's left edge up to, not
// including, the column where the text and the caret start.
QImage numberArea(RichEditWindow& window, int paragraph) {
    const QTextBlock block = window.document()->findBlockByNumber(paragraph);
    QTextCursor at(block);
    const QRect caret = window.cursorRect(at);
    const QRect area(0, caret.top(), caret.left() - 1, caret.height());
    return window.viewport()->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
}

// The rightmost column of the image that has a dark pixel, or -1.
int rightmostInk(const QImage& image) {
    for (int x = image.width() - 1; x >= 0; --x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).lightness() < 128) {
                return x;
            }
        }
    }
    return -1;
}

}  // namespace

TEST(ListNumbers, LabelsCountFromTheListsFirstNumberInItsStyle) {
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("a\nb"));
    QTextListFormat format;
    format.setStyle(QTextListFormat::ListUpperRoman);
    format.setProperty(tk::richformat::NumberingStart, 3);
    cursor.select(QTextCursor::Document);
    QTextList* list = cursor.createList(format);
    list->add(document.lastBlock());
    EXPECT_EQ(tk::richformat::numberLabel(document.firstBlock()), QStringLiteral("III."));
    EXPECT_EQ(tk::richformat::numberLabel(document.lastBlock()), QStringLiteral("IV."));
    EXPECT_TRUE(drawsOwnNumbers(list));

    format.setStyle(QTextListFormat::ListLowerAlpha);
    format.setProperty(tk::richformat::NumberingStart, 26);
    format.setNumberPrefix(QStringLiteral("("));
    format.setNumberSuffix(QStringLiteral(")"));
    list->setFormat(format);
    EXPECT_EQ(tk::richformat::numberLabel(document.lastBlock()), QStringLiteral("(aa)"));

    // Lists from 1 and bullets stay Qt's to draw.
    format.setProperty(tk::richformat::NumberingStart, 1);
    list->setFormat(format);
    EXPECT_FALSE(drawsOwnNumbers(list));
    EXPECT_FALSE(ownListMarker(document, document.firstBlock()).has_value());
    format.setStyle(QTextListFormat::ListDisc);
    format.setProperty(tk::richformat::NumberingStart, 3);
    list->setFormat(format);
    EXPECT_FALSE(drawsOwnNumbers(list));
    EXPECT_TRUE(tk::richformat::numberLabel(document.firstBlock()).isEmpty());
    EXPECT_FALSE(drawsOwnNumbers(nullptr));
}

// This was "1." and "2." on screen for a list from 3: Qt counts every list from 1.
TEST(ListNumbers, AListFromThreeShowsThreeWhereAListFromOneShowsOne) {
    const auto fromOne = numberedWindow(4, 1);
    const auto fromThree = numberedWindow(2, 1);
    const QImage one = numberArea(*fromThree, 0);
    EXPECT_GE(rightmostInk(one), 0);  // Qt's "1." is drawn there

    // The start is changed as the editor's formatting bar changes it, on a window already shown.
    setStart(*fromThree, 3);
    QTest::qWait(20);
    ASSERT_TRUE(ownListMarker(*fromThree->document(), fromThree->document()->firstBlock()).has_value());
    EXPECT_EQ(ownListMarker(*fromThree->document(), fromThree->document()->firstBlock())->text, QStringLiteral("3."));
    // Number for number, pixel for pixel, what Qt draws for the third and fourth paragraphs of a
    // list from 1, with no trace of its "1." and "2." left.
    EXPECT_EQ(numberArea(*fromThree, 0), numberArea(*fromOne, 2));
    EXPECT_EQ(numberArea(*fromThree, 1), numberArea(*fromOne, 3));
    EXPECT_NE(numberArea(*fromThree, 0), one);

    // Back at 1, Qt's own numbers show again.
    setStart(*fromThree, 1);
    QTest::qWait(20);
    EXPECT_EQ(numberArea(*fromThree, 0), numberArea(*fromOne, 0));
}

TEST(ListNumbers, SelectedNumbersAreHighlightedAsQtHighlightsItsOwn) {
    const auto fromOne = numberedWindow(6, 1);
    const auto fromThree = numberedWindow(4, 3);
    for (RichEditWindow* window : {fromOne.get(), fromThree.get()}) {
        window->setHideSelection(false);
        window->model().setSelection(0, -1);
    }
    QTest::qWait(20);
    // The selection runs into the later paragraphs from the first and takes in their numbers,
    // which touch one another.
    for (int paragraph = 1; paragraph < 4; ++paragraph) {
        EXPECT_EQ(numberArea(*fromThree, paragraph), numberArea(*fromOne, paragraph + 2)) << paragraph;
    }
    const QImage selected = numberArea(*fromThree, 1);
    const QColor highlight = fromThree->palette().color(QPalette::Inactive, QPalette::Highlight);
    int highlighted = 0;
    for (int y = 0; y < selected.height(); ++y) {
        for (int x = 0; x < selected.width(); ++x) {
            highlighted += selected.pixelColor(x, y) == highlight ? 1 : 0;
        }
    }
    EXPECT_GT(highlighted, 20);
}

TEST(ListNumbers, TheNumberStandsItsStoredDistanceBeforeTheText) {
    const auto qtPlaced = numberedWindow(4, 1);
    const auto spaced = numberedWindow(1, 3, PFN_ARABIC, 300);  // 20 pixels
    const int space = QFontMetrics(QFont(QStringLiteral("DejaVu Sans"), 12)).horizontalAdvance(QLatin1Char(' '));
    const QImage qtThree = numberArea(*qtPlaced, 2);
    const QImage ownThree = numberArea(*spaced, 0);
    ASSERT_GE(rightmostInk(qtThree), 0);
    EXPECT_EQ(rightmostInk(ownThree), rightmostInk(qtThree) - (20 - space));

    // A distance wider than the indent leaves the number at the paragraph's left edge, not off
    // the window.
    const auto tight = numberedWindow(1, 3, PFN_ARABIC, 1200);
    const auto marker = ownListMarker(*tight->document(), tight->document()->firstBlock());
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ(marker->rect.left(), tight->document()->documentMargin());
    EXPECT_GE(rightmostInk(numberArea(*tight, 0)), 0);

    // With no room at all it stays a space before the text, where Qt puts its own, not over the text.
    const auto noRoom = numberedWindow(1, 3, PFN_ARABIC, 300, 0);
    const auto cramped = ownListMarker(*noRoom->document(), noRoom->document()->firstBlock());
    ASSERT_TRUE(cramped.has_value());
    const QRect caret = noRoom->cursorRect(QTextCursor(noRoom->document()->firstBlock()));
    EXPECT_EQ(cramped->rect.right(), caret.left() - space);
}
