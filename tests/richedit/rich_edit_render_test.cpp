#include "richedit/qe_rich_edit.h"
#include "richedit/text_attributes.h"
#include "richtext/list_marker.h"
#include "richtext/rich_edit_window.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace tk;

namespace {

// A short formatted Korean document as a word processor writes it: CP949 escapes with \uN forms,
// a Korean font, sizes, bold, italic, underline, colours, a centred title and a bullet list.
const char kSample[] =
    "{\\rtf1\\ansi\\ansicpg949\\deff0{\\fonttbl{\\f0\\fnil\\fcharset129 NanumGothic;}}"
    "{\\colortbl ;\\red200\\green0\\blue0;\\red0\\green100\\blue200;}"
    "\\pard\\qc\\f0\\fs36\\b \\'c7\\'d1\\'b1\\'db \\'b9\\'ae\\'bc\\'ad\\b0\\par"
    "\\pard\\fs22 \\uc1\\u44032?\\u45208?\\u45796? "
    "{\\b \\'b1\\'bd\\'b0\\'d4} {\\i \\'b1\\'e2\\'bf\\'ef\\'c0\\'d3} {\\ul \\'b9\\'d8\\'c1\\'d9} "
    "{\\cf1 \\'bb\\'a1\\'b0\\'a3} {\\cf2 \\'c6\\'c4\\'b6\\'fb}\\par"
    "{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnindent360{\\pntxtb\\'b7}}\\fi-360\\li720 "
    "\\'c3\\'b9\\'c2\\'b0 \\'c7\\'d7\\'b8\\'f1\\par"
    "\\pard see http://example.kr/\\'c7\\'d1\\par}";

int pixelsMatching(const QImage& image, const std::function<bool(QColor)>& test) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixelColor(x, y))) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

TEST(RichEditRender, FormattedKoreanSampleDrawsToPng) {
    TQE_RichEdit control;
    control.resize(480, 220);
    control.SetFont(QFont(QStringLiteral("NanumGothic"), 11));
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    QByteArray rtf(kSample);
    QBuffer buffer(&rtf);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_TRUE(control.Lines().LoadStream(buffer)) << qPrintable(control.Lines().errorString());
    EXPECT_TRUE(control.TextRange(0, -1).startsWith(QString::fromUtf8("한글 문서\r가나다 굵게 기울임 밑줄 빨간 파랑")));
    QTest::qWait(50);  // let the link look be applied
    const QImage image = control.grab().toImage();
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/richedit_korean_sample.png");
    ASSERT_TRUE(image.save(path)) << qPrintable(path);
    // Dark text, red text and the link colour are all on screen.
    EXPECT_GT(pixelsMatching(image, [](QColor c) { return c.lightness() < 100; }), 500);
    EXPECT_GT(pixelsMatching(image, [](QColor c) { return c.red() > 150 && c.green() < 80 && c.blue() < 80; }), 20);
    EXPECT_GT(pixelsMatching(image, [](QColor c) { return c.blue() > 200 && c.red() < 80 && c.green() < 80; }), 20);
}

// This was "1." and "2." on screen after the numbering start was set to 3 through the paragraph
// attributes, as the editor's formatting bar sets it, with its smallest indent and distance.
TEST(RichEditRender, NumberingStartSetThroughTheParagraphAttributesShows) {
    TQE_RichEdit control;
    control.resize(300, 120);
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    control.SetText(QString::fromUtf8("첫째\r둘째"));
    control.SetSelectionStart(0);
    control.SetSelectionLength(control.Text().size());
    TParaAttributes2& para = control.ParagraphAttributes();
    para.SetNumbering(2);
    para.SetNumberingStart(3);
    para.SetNumberingTab(10);
    control.SetSelectionLength(0);
    QTest::qWait(20);
    QTextDocument& document = control.document();
    const auto first = richedit::ownListMarker(document, document.firstBlock());
    const auto second = richedit::ownListMarker(document, document.lastBlock());
    ASSERT_TRUE(first.has_value() && second.has_value());
    EXPECT_EQ(first->text, QStringLiteral("3."));
    EXPECT_EQ(second->text, QStringLiteral("4."));
    // Drawn on the page, and not what the same list from 1 shows there.
    const QRect area = first->rect.toAlignedRect();
    EXPECT_GE(area.left(), 0);
    const QImage three = control.richWindow().viewport()->grab(area).toImage();
    EXPECT_GT(pixelsMatching(three, [](QColor c) { return c.lightness() < 100; }), 10);
    para.SetNumberingStart(1);
    QTest::qWait(20);
    EXPECT_NE(control.richWindow().viewport()->grab(area).toImage(), three);
}
