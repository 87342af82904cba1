#include "richedit/text_attributes.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <gtest/gtest.h>

#include <memory>

using namespace tk;
using namespace tk::richedit;

namespace {

constexpr TColor kRed = 0x000000FF;
constexpr TColor kYellow = 0x0000FFFF;

std::unique_ptr<TQE_RichEdit> shownControl() {
    auto control = std::make_unique<TQE_RichEdit>();
    control->resize(400, 200);
    control->show();
    control->HandleNeeded();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(control.get()));
    return control;
}

QTextCharFormat formatAt(TQE_RichEdit& control, int cp) {
    QTextCursor c(&control.document());
    c.setPosition(cp + 1);
    return c.charFormat();
}

RichEditModel& model(TQE_RichEdit& control) {
    return control.richWindow().model();
}

}  // namespace

TEST(TextAttributes, WithoutAWindowReadsTheZeroRecordAndDropsCharacterWrites) {
    TQE_RichEdit control;
    EXPECT_EQ(control.DefaultAttributes().Size(), 0);
    EXPECT_TRUE(control.SelectionAttributes().Name().isEmpty());
    EXPECT_EQ(control.SelectionAttributes().Style(), TFontStyles());
    EXPECT_EQ(control.ParagraphAttributes().LeftIndent(), 0);
    control.DefaultAttributes().SetSize(30);
    control.SelectionAttributes().SetColor(kRed);
    EXPECT_FALSE(control.HandleAllocated());
    // A paragraph write makes the window first.
    control.ParagraphAttributes().SetRightIndent(7);
    ASSERT_TRUE(control.HandleAllocated());
    EXPECT_EQ(control.ParagraphAttributes().RightIndent(), 7);
    EXPECT_NE(control.DefaultAttributes().Size(), 30);
}

TEST(TextAttributes, SizesAreWholePointsOfTwips) {
    auto control = shownControl();
    control->SetText(QStringLiteral("some text"));
    control->SetSelectionRange(0, 4, false);
    TTextAttributes2& sel = control->SelectionAttributes();
    sel.SetSize(12);
    EXPECT_EQ(model(*control).charFormat(SCF_SELECTION).yHeight, 240);
    CharFormat2 cf;
    cf.dwMask = CFM_SIZE;
    cf.yHeight = 250;
    ASSERT_TRUE(model(*control).setCharFormat(SCF_SELECTION, cf));
    EXPECT_EQ(sel.Size(), 12);
    EXPECT_DOUBLE_EQ(formatAt(*control, 0).fontPointSize(), 12.5);
    sel.SetName(QStringLiteral("NanumGothic"));
    EXPECT_EQ(sel.Name(), QStringLiteral("NanumGothic"));
    EXPECT_EQ(formatAt(*control, 0).fontFamilies().toStringList(), QStringList{QStringLiteral("NanumGothic")});
}

TEST(TextAttributes, StyleCharsetAndPitch) {
    auto control = shownControl();
    control->SetText(QStringLiteral("plain bold"));
    control->SetSelectionRange(6, 10, false);
    TTextAttributes2& sel = control->SelectionAttributes();
    sel.SetStyle(TFontStyle::fsBold | TFontStyle::fsStrikeOut);
    EXPECT_EQ(sel.Style(), TFontStyle::fsBold | TFontStyle::fsStrikeOut);
    EXPECT_EQ(formatAt(*control, 6).fontWeight(), QFont::Bold);
    EXPECT_FALSE(formatAt(*control, 0).fontStrikeOut());
    // A partly bold selection reads what the window reports for its first character.
    control->SetSelectionRange(0, 10, false);
    EXPECT_FALSE(sel.Style().testFlag(TFontStyle::fsBold));
    sel.SetCharset(0);
    EXPECT_EQ(sel.Charset(), 0);
    // The pitch has no mask bit: writing it changes nothing.
    const CharFormat2 before = model(*control).charFormat(SCF_SELECTION);
    const QString text = control->Text();
    sel.SetPitch(TFontPitch::fpFixed);
    EXPECT_EQ(sel.Pitch(), TFontPitch::fpDefault);
    const CharFormat2 after = model(*control).charFormat(SCF_SELECTION);
    EXPECT_EQ(after.dwEffects, before.dwEffects);
    EXPECT_EQ(after.szFaceName, before.szFaceName);
    EXPECT_EQ(control->Text(), text);
}

TEST(TextAttributes, AutomaticColoursReadBackAsSystemColours) {
    auto control = shownControl();
    control->SetText(QStringLiteral("coloured"));
    control->SetSelectionRange(0, 8, false);
    TTextAttributes2& sel = control->SelectionAttributes();
    sel.SetColor(kRed);
    sel.SetBackgroundColor(kYellow);
    EXPECT_EQ(sel.Color(), kRed);
    EXPECT_EQ(sel.BackgroundColor(), kYellow);
    EXPECT_EQ(formatAt(*control, 0).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(*control, 0).background().color(), QColor(255, 255, 0));
    sel.SetColor(clWindowText);
    sel.SetBackgroundColor(clWindow);
    EXPECT_EQ(sel.Color(), clWindowText);
    EXPECT_EQ(sel.BackgroundColor(), clWindow);
    EXPECT_FALSE(formatAt(*control, 0).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_FALSE(formatAt(*control, 0).hasProperty(QTextFormat::BackgroundBrush));
    sel.SetBackgroundColor(kYellow);
    sel.SetBackgroundColor(clDefault);
    EXPECT_EQ(sel.BackgroundColor(), clWindow);
    // A system colour written as such is sent as the palette's colour.
    sel.SetColor(0x80000005);
    EXPECT_EQ(formatAt(*control, 0).foreground().color(), QPalette().color(QPalette::Base));
}

TEST(TextAttributes, ColourHelpers) {
    QPalette palette;
    palette.setColor(QPalette::Text, QColor(1, 2, 3));
    palette.setColor(QPalette::Base, QColor(4, 5, 6));
    EXPECT_EQ(colorFromTColor(clWindowText, palette), QColor(1, 2, 3));
    EXPECT_EQ(colorFromTColor(clWindow, palette), QColor(4, 5, 6));
    EXPECT_EQ(colorFromTColor(clDefault, palette), QColor(1, 2, 3));
    EXPECT_EQ(colorFromTColor(0x00336699, palette), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(tcolorFromColor(QColor(0x99, 0x66, 0x33)), 0x00336699u);
    EXPECT_EQ(tcolorFromColor(QColor()), clDefault);
}

TEST(TextAttributes, UnderlineKindsShowAsUnderlineStylesAndZeroClears) {
    auto control = shownControl();
    control->SetText(QStringLiteral("underlined"));
    control->SetSelectionRange(0, 10, false);
    TTextAttributes2& sel = control->SelectionAttributes();
    const std::pair<quint8, QTextCharFormat::UnderlineStyle> kinds[] = {{1, QTextCharFormat::SingleUnderline},
                                                                        {4, QTextCharFormat::DotLine},
                                                                        {5, QTextCharFormat::DashUnderline},
                                                                        {8, QTextCharFormat::WaveUnderline}};
    for (const auto& [code, style] : kinds) {
        sel.SetUnderlineKind(code);
        EXPECT_EQ(formatAt(*control, 0).underlineStyle(), style) << int(code);
        EXPECT_TRUE(sel.Style().testFlag(TFontStyle::fsUnderline)) << int(code);
        EXPECT_EQ(model(*control).charFormat(SCF_SELECTION).bUnderlineType, code);
    }
    sel.SetUnderlineKind(0);
    EXPECT_EQ(formatAt(*control, 0).underlineStyle(), QTextCharFormat::NoUnderline);
    EXPECT_FALSE(sel.Style().testFlag(TFontStyle::fsUnderline));
}

TEST(TextAttributes, AssignFromAndToFontsAndBetweenTargets) {
    auto control = shownControl();
    control->SetText(QStringLiteral("first second"));
    control->SetSelectionRange(0, 5, false);
    QFont font(QStringLiteral("NanumMyeongjo"), 14);
    font.setItalic(true);
    font.setFixedPitch(true);
    TTextAttributes2& sel = control->SelectionAttributes();
    sel.Assign(font, kRed);
    EXPECT_EQ(sel.Name(), QStringLiteral("NanumMyeongjo"));
    EXPECT_EQ(sel.Size(), 14);
    EXPECT_EQ(sel.Style(), TFontStyles(TFontStyle::fsItalic));
    EXPECT_EQ(sel.Color(), kRed);
    EXPECT_EQ(sel.Charset(), 129);
    QFont out;
    TColor colour = 0;
    sel.AssignTo(out, &colour);
    EXPECT_EQ(out.family(), QStringLiteral("NanumMyeongjo"));
    EXPECT_EQ(out.pointSize(), 14);
    EXPECT_TRUE(out.italic());
    EXPECT_EQ(colour, kRed);
    // A record as read goes unchanged to another target: here the default, then the word at the caret.
    control->DefaultAttributes().Assign(sel);
    EXPECT_EQ(control->DefaultAttributes().Name(), QStringLiteral("NanumMyeongjo"));
    EXPECT_EQ(control->DefaultAttributes().Color(), kRed);
    control->SetSelectionRange(9, 9, false);
    control->WordAttributes().Assign(control->DefaultAttributes());
    control->SetSelectionRange(6, 12, false);
    EXPECT_EQ(sel.Name(), QStringLiteral("NanumMyeongjo"));
    EXPECT_EQ(sel.Color(), kRed);
    EXPECT_EQ(sel.Size(), 14);
}

TEST(TextAttributes, ControlFontGoesToTheDefaultAttributes) {
    auto control = shownControl();
    QFont font(QStringLiteral("NanumGothic"), 11);
    font.setBold(true);
    control->SetFont(font);
    TTextAttributes2& def = control->DefaultAttributes();
    EXPECT_EQ(def.Name(), QStringLiteral("NanumGothic"));
    EXPECT_EQ(def.Size(), 11);
    EXPECT_TRUE(def.Style().testFlag(TFontStyle::fsBold));
    EXPECT_EQ(def.Color(), clWindowText);
}

// This was: a colour written to the default character format was dropped and only the font kept,
// so a colour chosen with nothing selected read back as the automatic colour, typed text came out
// in the system colour and was saved without it.
TEST(TextAttributes, DefaultFormatKeepsItsColourForTypedAndUnformattedText) {
    auto control = shownControl();
    control->SetText(QStringLiteral("old"));
    control->SetSelectionRange(3, 3, false);
    TTextAttributes2& def = control->DefaultAttributes();
    def.SetColor(kRed);
    def.SetBackgroundColor(kYellow);
    EXPECT_EQ(def.Color(), kRed);
    EXPECT_EQ(def.BackgroundColor(), kYellow);
    control->richWindow().setFocus();
    QTest::keyClicks(&control->richWindow(), QStringLiteral(" new"));
    ASSERT_EQ(control->Text(), QStringLiteral("old new"));
    control->SetSelectionRange(4, 7, false);
    EXPECT_EQ(control->SelectionAttributes().Color(), kRed);
    EXPECT_EQ(control->SelectionAttributes().BackgroundColor(), kYellow);
    EXPECT_EQ(formatAt(*control, 5).background().color(), QColor(255, 255, 0));
    // Text that never had a colour of its own shows and reads the default colour.
    control->SetSelectionRange(0, 3, false);
    EXPECT_EQ(control->SelectionAttributes().Color(), kRed);
    EXPECT_EQ(control->richWindow().palette().color(QPalette::Text), QColor(255, 0, 0));
    // The default survives a new window and a save.
    control->RecreateWnd();
    EXPECT_EQ(control->DefaultAttributes().Color(), kRed);
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    ASSERT_TRUE(control->Lines().SaveStream(out));
    TQE_RichEdit other;
    out.seek(0);
    ASSERT_TRUE(other.Lines().LoadStream(out));
    other.SetSelectionRange(0, 3, false);
    EXPECT_EQ(other.SelectionAttributes().Color(), kRed);
    EXPECT_EQ(other.DefaultAttributes().Color(), clWindowText);
}

TEST(ParaAttributes, IndentsSpacesAndAlignment) {
    auto control = shownControl();
    control->SetText(QStringLiteral("one\rtwo"));
    control->SetSelectionRange(0, 0, false);
    TParaAttributes2& para = control->ParagraphAttributes();
    para.SetFirstIndent(20);
    para.SetLeftIndent(-10);
    para.SetRightIndent(15);
    para.SetSpaceBefore(6);
    para.SetSpaceAfter(12);
    para.SetAlignment(2);
    EXPECT_EQ(para.FirstIndent(), 20);
    EXPECT_EQ(para.LeftIndent(), -10);
    EXPECT_EQ(para.RightIndent(), 15);
    EXPECT_EQ(para.SpaceBefore(), 6);
    EXPECT_EQ(para.SpaceAfter(), 12);
    EXPECT_EQ(para.Alignment(), 2);
    const ParaFormat2 pf = model(*control).paraFormat();
    EXPECT_EQ(pf.dxStartIndent, 400);
    EXPECT_EQ(pf.dxOffset, -200);
    EXPECT_EQ(pf.dySpaceAfter, 240);
    const QTextBlockFormat bf = control->document().firstBlock().blockFormat();
    EXPECT_EQ(bf.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(bf.topMargin(), 8.0);  // 6 points at 96 dots an inch
    EXPECT_EQ(control->document().lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST(ParaAttributes, RightToLeftControlsExchangeLeftAndRight) {
    auto control = shownControl();
    control->SetText(QStringLiteral("text"));
    control->setLayoutDirection(Qt::RightToLeft);
    TParaAttributes2& para = control->ParagraphAttributes();
    para.SetAlignment(0);
    EXPECT_EQ(model(*control).paraFormat().wAlignment, PFA_RIGHT);
    para.SetAlignment(1);
    EXPECT_EQ(model(*control).paraFormat().wAlignment, PFA_LEFT);
    para.SetAlignment(2);
    EXPECT_EQ(model(*control).paraFormat().wAlignment, PFA_CENTER);
    control->setLayoutDirection(Qt::LeftToRight);
    para.SetAlignment(0);
    EXPECT_EQ(model(*control).paraFormat().wAlignment, PFA_LEFT);
}

TEST(ParaAttributes, NumberingMakesRoomForItsNumberAndIsAList) {
    auto control = shownControl();
    control->SetText(QStringLiteral("a\rb\rc"));
    control->SetSelectionRange(0, 3, false);
    TParaAttributes2& para = control->ParagraphAttributes();
    ASSERT_EQ(para.LeftIndent(), 0);
    para.SetNumbering(2);
    para.SetNumberingStart(5);
    para.SetNumberingTab(18);
    EXPECT_EQ(para.LeftIndent(), 10);
    EXPECT_EQ(para.Numbering(), 2);
    EXPECT_EQ(para.NumberingStart(), 5);
    EXPECT_EQ(para.NumberingTab(), 18);
    const QTextBlock first = control->document().firstBlock();
    ASSERT_NE(first.textList(), nullptr);
    EXPECT_EQ(first.textList(), first.next().textList());
    EXPECT_EQ(first.textList()->format().style(), QTextListFormat::ListDecimal);
    // This was 1: the list added an indent level of its own, so numbered text moved 30 points to
    // the right of its LeftIndent on screen and was saved and read back with a first indent of 30.
    EXPECT_EQ(first.textList()->format().indent(), 0);
    EXPECT_EQ(para.FirstIndent(), 0);
    EXPECT_EQ(control->document().lastBlock().textList(), nullptr);
    // A wider indent stays; numbering off takes the indent away.
    para.SetLeftIndent(24);
    para.SetNumbering(1);
    EXPECT_EQ(para.LeftIndent(), 24);
    para.SetNumbering(0);
    EXPECT_EQ(para.LeftIndent(), 0);
    EXPECT_EQ(para.Numbering(), 0);
    EXPECT_EQ(first.textList(), nullptr);
}

TEST(ParaAttributes, LineSpacingWritesKeepTheOtherHalf) {
    auto control = shownControl();
    control->SetText(QStringLiteral("spaced"));
    TParaAttributes2& para = control->ParagraphAttributes();
    para.SetLineSpacingRule(4);
    para.SetLineSpacing(18);
    EXPECT_EQ(para.LineSpacingRule(), 4);
    EXPECT_EQ(para.LineSpacing(), 18);
    para.SetLineSpacingRule(3);
    EXPECT_EQ(para.LineSpacing(), 18);
    const QTextBlockFormat bf = control->document().firstBlock().blockFormat();
    EXPECT_EQ(bf.lineHeightType(), QTextBlockFormat::MinimumHeight);
    EXPECT_DOUBLE_EQ(bf.lineHeight(), 24.0);
    for (quint8 rule = 0; rule <= 5; ++rule) {
        para.SetLineSpacingRule(rule);
        EXPECT_EQ(para.LineSpacingRule(), rule);
        EXPECT_EQ(para.LineSpacing(), 18);
    }
}

TEST(ParaAttributes, SettingTabTwoMakesThreeStops) {
    auto control = shownControl();
    control->SetText(QStringLiteral("a\tb"));
    TParaAttributes2& para = control->ParagraphAttributes();
    para.SetTab(2, 72);
    const ParaFormat2 pf = model(*control).paraFormat();
    EXPECT_EQ(pf.cTabCount, 3);
    EXPECT_EQ(pf.rgxTabs[2], 1440);
    EXPECT_EQ(para.Tab(2), 72);
    EXPECT_EQ(control->document().firstBlock().blockFormat().tabPositions().size(), 3);
    para.SetTab(0, 36);
    EXPECT_EQ(model(*control).paraFormat().cTabCount, 3);
    EXPECT_EQ(para.Tab(0), 36);
    para.SetTab(32, 10);  // past the last stop: nothing happens
    EXPECT_EQ(model(*control).paraFormat().cTabCount, 3);
}

namespace {

struct ParaValues {
    quint8 alignment, numbering;
    int first, left, right, before, after, spacing;
    quint8 rule;
    qint16 start;
    quint16 numberTab;
    int tab0, tab1;
};

void setPara(TParaAttributes2& p, const ParaValues& v) {
    p.SetAlignment(v.alignment);
    p.SetFirstIndent(v.first);
    p.SetNumbering(v.numbering);
    if (v.numbering != 0) {
        p.SetNumberingStart(v.start);
        p.SetNumberingTab(v.numberTab);
    }
    p.SetLeftIndent(v.left);
    p.SetRightIndent(v.right);
    p.SetSpaceBefore(v.before);
    p.SetSpaceAfter(v.after);
    p.SetLineSpacingRule(v.rule);
    p.SetLineSpacing(v.spacing);
    p.SetTab(0, v.tab0);
    p.SetTab(1, v.tab1);
}

void expectPara(TParaAttributes2& p, const ParaValues& v, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(p.Alignment(), v.alignment);
    EXPECT_EQ(p.FirstIndent(), v.first);
    EXPECT_EQ(p.LeftIndent(), v.left);
    EXPECT_EQ(p.RightIndent(), v.right);
    EXPECT_EQ(p.SpaceBefore(), v.before);
    EXPECT_EQ(p.SpaceAfter(), v.after);
    EXPECT_EQ(p.LineSpacingRule(), v.rule);
    if (v.rule >= 3) {
        EXPECT_EQ(p.LineSpacing(), v.spacing);
    }
    EXPECT_EQ(p.Numbering(), v.numbering);
    if (v.numbering != 0) {
        EXPECT_EQ(p.NumberingStart(), v.start);
        EXPECT_EQ(p.NumberingTab(), v.numberTab);
    }
    EXPECT_EQ(p.Tab(0), v.tab0);
    EXPECT_EQ(p.Tab(1), v.tab1);
}

}  // namespace

TEST(TextAttributes, SaveAndReopenKeepsEveryAttribute) {
    auto control = shownControl();
    control->SetText(QStringLiteral("solid dotted dashed wavy\rnumbered one\rnumbered two\rlast line"));
    TTextAttributes2& sel = control->SelectionAttributes();
    const std::pair<int, quint8> underlines[] = {{0, 1}, {6, 4}, {13, 5}, {20, 8}};
    for (const auto& [at, kind] : underlines) {
        control->SetSelectionRange(at, at + 4, false);
        sel.SetUnderlineKind(kind);
    }
    control->SetSelectionRange(0, 5, false);
    sel.SetColor(kRed);
    sel.SetBackgroundColor(kYellow);
    sel.SetSize(14);
    sel.SetName(QStringLiteral("NanumMyeongjo"));
    sel.SetStyle(TFontStyle::fsBold | TFontStyle::fsItalic | TFontStyle::fsUnderline | TFontStyle::fsStrikeOut);
    const ParaValues first{2, 0, 10, 5, 20, 6, 12, 18, 4, 0, 0, 36, 90};
    const ParaValues numbered{0, 2, 0, 24, 0, 0, 3, 3, 5, 3, 18, 72, 144};
    const ParaValues last{3, 0, -12, 30, 0, 4, 0, 15, 3, 0, 0, 50, 100};
    control->SetSelectionRange(0, 0, false);
    setPara(control->ParagraphAttributes(), first);
    control->SetSelectionRange(25, 40, false);
    setPara(control->ParagraphAttributes(), numbered);
    control->SetSelectionRange(55, 55, false);
    setPara(control->ParagraphAttributes(), last);

    QBuffer out;
    out.open(QIODevice::ReadWrite);
    ASSERT_TRUE(control->Lines().SaveStream(out));
    // This was "1." and "2.": the number written as text for readers without numbering ignored the
    // list's first number.
    EXPECT_TRUE(out.data().contains("{\\pntext\\f0 3.\\tab}")) << out.data().constData();
    EXPECT_TRUE(out.data().contains("{\\pntext\\f0 4.\\tab}"));
    auto reopened = shownControl();
    out.seek(0);
    ASSERT_TRUE(reopened->Lines().LoadStream(out));
    ASSERT_EQ(reopened->Text(), control->Text());

    TTextAttributes2& again = reopened->SelectionAttributes();
    for (const auto& [at, kind] : underlines) {
        reopened->SetSelectionRange(at + 1, at + 4, false);
        EXPECT_EQ(model(*reopened).charFormat(SCF_SELECTION).bUnderlineType, kind) << int(kind);
    }
    reopened->SetSelectionRange(0, 5, false);
    EXPECT_EQ(again.Color(), kRed);
    EXPECT_EQ(again.BackgroundColor(), kYellow);
    EXPECT_EQ(again.Size(), 14);
    EXPECT_EQ(again.Name(), QStringLiteral("NanumMyeongjo"));
    EXPECT_EQ(again.Style(),
              TFontStyle::fsBold | TFontStyle::fsItalic | TFontStyle::fsUnderline | TFontStyle::fsStrikeOut);
    reopened->SetSelectionRange(6, 12, false);
    EXPECT_EQ(again.Color(), clWindowText);
    EXPECT_EQ(again.BackgroundColor(), clWindow);
    reopened->SetSelectionRange(0, 0, false);
    expectPara(reopened->ParagraphAttributes(), first, "first");
    reopened->SetSelectionRange(25, 40, false);
    expectPara(reopened->ParagraphAttributes(), numbered, "numbered");
    reopened->SetSelectionRange(55, 55, false);
    expectPara(reopened->ParagraphAttributes(), last, "last");
}

TEST(TextAttributes, LargeChangesAreUndoneWithTheSelectionKept) {
    auto control = shownControl();
    QString text;
    while (text.size() < RichEditModel::kLargeChange * 2) {
        text += QStringLiteral("A line of text to be made bold and back again.\r");
    }
    control->SetText(text);
    control->SetSelectionRange(0, -1, false);
    const int end = control->SelectionStart() + control->SelectionLength();
    TTextAttributes2& sel = control->SelectionAttributes();
    sel.SetStyle(TFontStyle::fsBold);
    EXPECT_EQ(formatAt(*control, 0).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(*control, end - 2).fontWeight(), QFont::Bold);
    control->Undo();
    EXPECT_NE(formatAt(*control, end - 2).fontWeight(), QFont::Bold);
    EXPECT_EQ(control->SelectionStart(), 0);
    EXPECT_EQ(control->SelectionLength(), end);
    control->Redo();
    EXPECT_EQ(formatAt(*control, end - 2).fontWeight(), QFont::Bold);
    // The view is laid out again, a screen at a time, and comes back to where it was.
    QScrollBar* bar = control->richWindow().verticalScrollBar();
    for (int i = 0; i < 500 && bar->maximum() < 2000; ++i) {
        QTest::qWait(10);
    }
    ASSERT_GE(bar->maximum(), 2000);
    bar->setValue(1500);
    sel.SetStyle(TFontStyles());
    for (int i = 0; i < 500 && bar->value() != 1500; ++i) {
        QTest::qWait(10);
    }
    EXPECT_EQ(bar->value(), 1500);
    EXPECT_NE(formatAt(*control, end - 2).fontWeight(), QFont::Bold);
    // A later small change is undone as usual; the large one before it still is, too.
    control->SetSelectionRange(5, 9, false);
    sel.SetStyle(TFontStyle::fsItalic);
    control->Undo();
    EXPECT_FALSE(formatAt(*control, 5).fontItalic());
    control->Undo();
    EXPECT_EQ(formatAt(*control, end - 2).fontWeight(), QFont::Bold);
}
