// Formatting in the editor as the user does it: the menu's keys on a selection and with nothing
// selected, the formatting bar, the ruler's markers, and the controls following the caret. The
// written formats are checked in the control's document and through the attribute objects.
#include "app_fixture.h"

#include "editor/format_bar.h"
#include "editor/ruler.h"
#include "richedit/text_attributes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

using namespace tk;
using tk::test::AppFixture;

namespace {

template <typename... Key>
QList<QKeySequence> keys(Key... key) {
    return {QKeySequence(key)...};
}

}  // namespace

class EditorFormattingTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
        ASSERT_TRUE(start());
        form1->show();
        pickCategory(QStringLiteral("일기"));
        click(form1->ToolButton3);  // new document: the editor shows
        ASSERT_TRUE(form3->isVisible());
        form3->ColorDialog1 = [this](const QColor& initial, const QString& title) {
            dialogInitial = initial;
            dialogTitle = title;
            return dialogAnswer;
        };
    }

    TQE_RichEdit& edit() { return *form3->RichEdit1; }
    TParaAttributes2& para() { return edit().ParagraphAttributes(); }
    TRuler& ruler() { return *form3->Ruler; }
    TFormatBar& bar() { return *form3->Panel1; }

    // Picks an item of a list box from the keyboard, as a user tabbing to it would.
    static void chooseWithKeys(QComboBox* box, int index) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(box, Qt::Key_Down);
        }
        ASSERT_EQ(box->currentIndex(), index);
    }

    // Moves the caret with the keyboard to start and selects length characters after it.
    void selectWithKeys(int start, int length) {
        pressInEditor(Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < start; ++i) {
            pressInEditor(Qt::Key_Right);
        }
        for (int i = 0; i < length; ++i) {
            pressInEditor(Qt::Key_Right, Qt::ShiftModifier);
        }
    }
    // The format of the character at pos.
    QTextCharFormat charAt(int pos) {
        QTextCursor c(&edit().document());
        c.setPosition(pos + 1);
        return c.charFormat();
    }
    QTextBlock blockAt(int pos) { return edit().document().findBlock(pos); }

    // Presses a marker at x inside it, moves by dx in steps of at most 5 pixels and releases it.
    void dragMarker(TRulerMarker* marker, int x, int dx) {
        QTest::mousePress(marker, Qt::LeftButton, {}, QPoint(x, 5));
        for (int moved = 0; moved != dx;) {
            const int step = std::clamp(dx - moved, -5, 5);
            QTest::mouseMove(marker, QPoint(x + step, 5));
            moved += step;
        }
        QTest::mouseRelease(marker, Qt::LeftButton, {}, QPoint(x, 5));
    }

    QColor dialogAnswer;
    QColor dialogInitial;
    QString dialogTitle;
};

// Each formatting item: caption, keys and place in the menu.
TEST_F(EditorFormattingTest, TheFormattingItemsCarryTheirCaptionsAndKeys) {
    struct Row {
        QAction* item;
        QString caption;
        QList<QKeySequence> keys;
    };
    const QList<Row> rows = {
        {form3->LeftAlign, "왼쪽 정렬", keys(Qt::Key_F6)},
        {form3->CenterAlign, "가운데 정렬", keys(Qt::Key_F7)},
        {form3->RightAlign, "오른쪽 정렬", keys(Qt::Key_F8)},
        {form3->pNone, "없음", keys(Qt::CTRL | Qt::Key_F1)},
        {form3->pBullet, "점", keys(Qt::CTRL | Qt::Key_F2)},
        {form3->pArabicNumbers, "숫자", keys(Qt::CTRL | Qt::Key_F3)},
        {form3->pLoCaseLetter, "소문자 알파벳", keys(Qt::CTRL | Qt::Key_F4)},
        {form3->pUpCaseLetter, "대문자 알파벳", keys(Qt::CTRL | Qt::Key_F5)},
        {form3->pLoCaseRoman, "소문자 로마자", keys(Qt::CTRL | Qt::Key_F6)},
        {form3->UpCaseRoman, "대문자 로마자", keys(Qt::CTRL | Qt::Key_F7)},
        {form3->BoldMenu, "굵게", keys(Qt::Key_F9, Qt::CTRL | Qt::Key_B)},
        {form3->ItalicMenu, "기울임꼴", keys(Qt::Key_F10, Qt::CTRL | Qt::Key_I)},
        {form3->N20, "없음", keys(Qt::CTRL | Qt::Key_F9)},
        {form3->pSolid, "선", keys(Qt::CTRL | Qt::Key_F10, Qt::CTRL | Qt::Key_U)},
        {form3->pDotted, "점선", keys(Qt::CTRL | Qt::Key_F11)},
        {form3->pWave, "웨이브", keys(Qt::CTRL | Qt::Key_F12)},
        {form3->N16, "글자색", keys(Qt::Key_F11)},
        {form3->N17, "배경색", keys(Qt::Key_F12)},
        {form3->N28, "고급 변경", keys(Qt::Key_F5)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.item->text(), row.caption);
        EXPECT_EQ(row.item->shortcuts(), row.keys) << row.caption.toStdString();
    }
    // The submenus, in menu order after "지우기".
    QStringList top;
    for (QAction* a : form3->PopupMenu1->actions()) {
        top.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    const qsizetype at = top.indexOf(QStringLiteral("지우기"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(top.mid(at, 8), QStringList({"지우기", "-", "글자 정렬 하기", "글머리 넣기", "글자 스타일 변경 하기",
                                           "글자색 변경 하기", "고급 변경", "-"}));
    EXPECT_EQ(form3->UnderlineMenu->menuAction()->text(), "밑줄");
    EXPECT_EQ(form3->N13->actions().last(), form3->UnderlineMenu->menuAction());
    // One key, one item: no formatting key is also one of the menu's other keys.
    QMap<QKeySequence, int> uses;
    std::function<void(QMenu*)> count = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            for (const QKeySequence& k : a->shortcuts()) {
                ++uses[k];
            }
            if (a->menu()) {
                count(a->menu());
            }
        }
    };
    count(form3->PopupMenu1);
    for (auto it = uses.begin(); it != uses.end(); ++it) {
        EXPECT_EQ(it.value(), 1) << it.key().toString().toStdString();
    }
}

TEST_F(EditorFormattingTest, CharacterKeysFormatTheSelection) {
    typeInEditor(QStringLiteral("가나다 abc 라마"));
    selectWithKeys(4, 3);  // "abc"
    pressInEditor(Qt::Key_F9);
    EXPECT_TRUE(charAt(4).font().bold());
    EXPECT_TRUE(form3->BoldMenu->isChecked());
    pressInEditor(Qt::Key_F10);
    EXPECT_TRUE(charAt(6).font().italic());
    pressInEditor(Qt::Key_F10, Qt::ControlModifier);
    EXPECT_EQ(charAt(5).underlineStyle(), QTextCharFormat::SingleUnderline);
    pressInEditor(Qt::Key_F11, Qt::ControlModifier);
    EXPECT_EQ(charAt(5).underlineStyle(), QTextCharFormat::DotLine);
    // This was a dashed underline: the item labelled "웨이브" sent type 5, the window's dashed line.
    pressInEditor(Qt::Key_F12, Qt::ControlModifier);
    EXPECT_EQ(charAt(5).underlineStyle(), QTextCharFormat::WaveUnderline);
    pressInEditor(Qt::Key_F9, Qt::ControlModifier);
    EXPECT_EQ(charAt(5).underlineStyle(), QTextCharFormat::NoUnderline);
    pressInEditor(Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(charAt(5).underlineStyle(), QTextCharFormat::SingleUnderline);

    // Colours go through the colour dialog, which starts from the current colour.
    dialogAnswer = QColor(200, 10, 20);
    pressInEditor(Qt::Key_F11);
    EXPECT_EQ(dialogTitle, "글자색");
    EXPECT_EQ(dialogInitial, edit().palette().color(QPalette::Text));  // automatic colour
    EXPECT_EQ(charAt(4).foreground().color(), QColor(200, 10, 20));
    dialogAnswer = QColor(250, 240, 10);
    pressInEditor(Qt::Key_F12);
    EXPECT_EQ(dialogTitle, "배경색");
    EXPECT_EQ(charAt(6).background().color(), QColor(250, 240, 10));
    // Cancelled: nothing changes.
    dialogAnswer = QColor();
    pressInEditor(Qt::Key_F11);
    EXPECT_EQ(dialogInitial, QColor(200, 10, 20));
    EXPECT_EQ(charAt(4).foreground().color(), QColor(200, 10, 20));

    // The toggles undo themselves; Ctrl+B and Ctrl+I are the same items.
    pressInEditor(Qt::Key_B, Qt::ControlModifier);
    EXPECT_FALSE(charAt(4).font().bold());
    EXPECT_FALSE(form3->BoldMenu->isChecked());
    pressInEditor(Qt::Key_I, Qt::ControlModifier);
    EXPECT_FALSE(charAt(4).font().italic());
    // The text around the selection is untouched.
    EXPECT_FALSE(charAt(2).font().italic());
    EXPECT_EQ(charAt(2).underlineStyle(), QTextCharFormat::NoUnderline);
    EXPECT_EQ(charAt(8).underlineStyle(), QTextCharFormat::NoUnderline);
    EXPECT_EQ(edit().Text(), QStringLiteral("가나다 abc 라마"));
}

// With nothing selected the keys change the default character format, never the text's.
TEST_F(EditorFormattingTest, WithoutASelectionTheDefaultFormatChanges) {
    typeInEditor(QStringLiteral("본문"));
    ASSERT_EQ(edit().SelectionLength(), 0);
    TTextAttributes2& def = edit().DefaultAttributes();
    pressInEditor(Qt::Key_F9);
    EXPECT_TRUE(def.Style().testFlag(TFontStyle::fsBold));
    pressInEditor(Qt::Key_F10);
    EXPECT_TRUE(def.Style().testFlag(TFontStyle::fsItalic));
    pressInEditor(Qt::Key_F11, Qt::ControlModifier);
    EXPECT_TRUE(def.Style().testFlag(TFontStyle::fsUnderline));
    dialogAnswer = QColor(0, 0, 255);
    pressInEditor(Qt::Key_F11);
    EXPECT_EQ(def.Color(), 0x00FF0000u);
    dialogAnswer = QColor(0, 255, 0);
    pressInEditor(Qt::Key_F12);
    EXPECT_EQ(def.BackgroundColor(), 0x0000FF00u);
    form3->N28->trigger();
    QLineEdit* size = bar().FontSize->findChild<QLineEdit*>();
    size->selectAll();
    QTest::keyClicks(size, "20");
    EXPECT_EQ(def.Size(), 20);
    const int fonts = bar().FontName->count();
    ASSERT_GT(fonts, 1);
    chooseWithKeys(bar().FontName, fonts - 1);
    EXPECT_EQ(def.Name(), bar().FontName->itemText(fonts - 1));
    // Nothing was selected by the way.
    EXPECT_EQ(edit().SelectionLength(), 0);
    EXPECT_EQ(edit().Text(), QStringLiteral("본문"));
}

TEST_F(EditorFormattingTest, ParagraphKeysAlignAndNumber) {
    typeInEditor(QStringLiteral("첫째"));
    pressInEditor(Qt::Key_Return);
    typeInEditor(QStringLiteral("둘째"));
    selectWithKeys(1, 4);  // both paragraphs
    pressInEditor(Qt::Key_F7);
    EXPECT_EQ(blockAt(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(blockAt(4).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(form3->CenterAlign->isChecked());
    pressInEditor(Qt::Key_F8);
    EXPECT_EQ(para().Alignment(), 1);
    pressInEditor(Qt::Key_F6);
    EXPECT_EQ(para().Alignment(), 0);

    // Numbering below a left indent of 10 points raises it to 10; none sets it to 0.
    pressInEditor(Qt::Key_F3, Qt::ControlModifier);
    EXPECT_EQ(para().Numbering(), 2);
    EXPECT_EQ(para().LeftIndent(), 10);
    ASSERT_NE(blockAt(0).textList(), nullptr);
    EXPECT_EQ(blockAt(0).textList()->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(blockAt(0).textList(), blockAt(4).textList());
    // The start and tab come from the bar's boxes, as they stand.
    EXPECT_EQ(para().NumberingStart(), 1);
    EXPECT_EQ(para().NumberingTab(), 10);
    const QList<std::pair<int, QTextListFormat::Style>> kinds = {
        {Qt::Key_F2, QTextListFormat::ListDisc},       {Qt::Key_F4, QTextListFormat::ListLowerAlpha},
        {Qt::Key_F5, QTextListFormat::ListUpperAlpha}, {Qt::Key_F6, QTextListFormat::ListLowerRoman},
        {Qt::Key_F7, QTextListFormat::ListUpperRoman},
    };
    for (const auto& [key, style] : kinds) {
        pressInEditor(Qt::Key(key), Qt::ControlModifier);
        ASSERT_NE(blockAt(0).textList(), nullptr);
        EXPECT_EQ(blockAt(0).textList()->format().style(), style);
    }
    pressInEditor(Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(para().Numbering(), 0);
    EXPECT_EQ(para().LeftIndent(), 0);
    EXPECT_EQ(blockAt(0).textList(), nullptr);
}

// The controls follow the caret: check marks, radio items, boxes and markers.
TEST_F(EditorFormattingTest, TheControlsFollowTheCaret) {
    typeInEditor(QStringLiteral("plain"));
    pressInEditor(Qt::Key_Return);
    typeInEditor(QStringLiteral("fancy"));
    // Second paragraph: bold italic underlined 14 pt, centred, numbered, spaced and indented.
    selectWithKeys(6, 5);
    pressInEditor(Qt::Key_F9);
    pressInEditor(Qt::Key_F10);
    pressInEditor(Qt::Key_F10, Qt::ControlModifier);
    pressInEditor(Qt::Key_F7);
    pressInEditor(Qt::Key_F3, Qt::ControlModifier);
    edit().SelectionAttributes().SetSize(14);
    para().SetFirstIndent(30);
    para().SetRightIndent(15);
    para().SetSpaceBefore(6);
    para().SetSpaceAfter(4);
    para().SetLineSpacingRule(4);
    para().SetLineSpacing(18);
    para().SetNumberingStart(3);
    para().SetNumberingTab(24);

    pressInEditor(Qt::Key_Home, Qt::ControlModifier);  // into "plain"
    EXPECT_FALSE(form3->BoldMenu->isChecked());
    EXPECT_FALSE(form3->ItalicMenu->isChecked());
    EXPECT_FALSE(form3->UnderlineMenu->menuAction()->isChecked());
    EXPECT_FALSE(form3->BulletsMenu->menuAction()->isChecked());
    EXPECT_TRUE(form3->LeftAlign->isChecked());
    EXPECT_EQ(bar().FontSize->value(), 9);
    EXPECT_EQ(bar().SpinEdit1->value(), 0);
    EXPECT_EQ(bar().ComboBox_LineSpacingRule->currentIndex(), 0);
    EXPECT_EQ(ruler().FirstInd->Left(), 2);
    EXPECT_EQ(ruler().LeftInd->Left(), 2);
    EXPECT_EQ(ruler().RightInd->Left(), ruler().ClientWidth() - 14);
    EXPECT_EQ(form3->positionText(), QStringLiteral("열:   1   행:   1"));

    pressInEditor(Qt::Key_Down);  // the start of "fancy"
    EXPECT_EQ(form3->positionText(), QStringLiteral("열:   1   행:   2"));
    pressInEditor(Qt::Key_Right);
    EXPECT_TRUE(form3->BoldMenu->isChecked());
    EXPECT_TRUE(form3->ItalicMenu->isChecked());
    EXPECT_TRUE(form3->UnderlineMenu->menuAction()->isChecked());
    EXPECT_TRUE(form3->BulletsMenu->menuAction()->isChecked());
    EXPECT_TRUE(form3->CenterAlign->isChecked());
    EXPECT_EQ(bar().FontSize->value(), 14);
    EXPECT_EQ(bar().SpinEdit1->value(), 6);
    EXPECT_EQ(bar().SpinEdit2->value(), 4);
    EXPECT_EQ(bar().ComboBox_LineSpacingRule->currentIndex(), 4);
    EXPECT_EQ(bar().SpinEdit_LineSpacing->value(), 18);
    EXPECT_EQ(bar().SpinEdit_Numbering->value(), 3);
    EXPECT_EQ(bar().SpinEdit2_NumberingTab->value(), 24);
    EXPECT_EQ(ruler().FirstInd->Left(), 40 - 4 + 6);                      // trunc(30 × 4/3)
    EXPECT_EQ(ruler().LeftInd->Left(), 53 - 4 + 6);                       // trunc((10 + 30) × 4/3)
    EXPECT_EQ(ruler().RightInd->Left(), ruler().ClientWidth() - 6 - 28);  // trunc((15 + 6) × 4/3)
    EXPECT_EQ(form3->positionText(), QStringLiteral("열:   2   행:   2"));

    // Justified text leaves the radio group as it was.
    para().SetAlignment(3);
    pressInEditor(Qt::Key_Up);
    pressInEditor(Qt::Key_Down);
    EXPECT_TRUE(form3->LeftAlign->isChecked());
}

// Values outside a box's range are shown clamped and not written back.
TEST_F(EditorFormattingTest, TheRefreshShowsClampedValuesWithoutWritingThem) {
    typeInEditor(QStringLiteral("목록"));
    pressInEditor(Qt::Key_F2, Qt::ControlModifier);
    para().SetNumberingTab(0);
    para().SetNumberingStart(20000);
    pressInEditor(Qt::Key_Left);
    EXPECT_EQ(bar().SpinEdit2_NumberingTab->value(), 10);
    EXPECT_EQ(bar().SpinEdit_Numbering->value(), 10000);
    EXPECT_EQ(para().NumberingTab(), 0);
    EXPECT_EQ(para().NumberingStart(), 20000);
    EXPECT_EQ(para().LeftIndent(), 10);

    // A change of either box writes both.
    form3->N28->trigger();
    QTest::keyClick(bar().SpinEdit2_NumberingTab, Qt::Key_Up);
    EXPECT_EQ(para().NumberingTab(), 11);
    EXPECT_EQ(para().NumberingStart(), 10000);
    para().SetNumberingTab(30);
    QTest::keyClick(bar().SpinEdit_Numbering, Qt::Key_Down);
    EXPECT_EQ(para().NumberingStart(), 9999);
    EXPECT_EQ(para().NumberingTab(), 11);
}

TEST_F(EditorFormattingTest, TheBarShowsWithF5AndWritesWhatIsTyped) {
    EXPECT_FALSE(bar().isVisible());
    typeInEditor(QStringLiteral("글자 크기"));
    pressInEditor(Qt::Key_F5);
    EXPECT_TRUE(bar().isVisible());
    EXPECT_EQ(bar().FontSize->value(), 9);
    selectWithKeys(0, 2);

    // Typed into the boxes, digit by digit, as the user does.
    QLineEdit* size = bar().FontSize->findChild<QLineEdit*>();
    size->selectAll();
    QTest::keyClicks(size, "16");
    EXPECT_EQ(charAt(0).font().pointSize(), 16);
    EXPECT_EQ(charAt(3).font().pointSize(), 9);
    QLineEdit* before = bar().SpinEdit1->findChild<QLineEdit*>();
    before->selectAll();
    QTest::keyClicks(before, "12");
    EXPECT_EQ(para().SpaceBefore(), 12);
    QLineEdit* after = bar().SpinEdit2->findChild<QLineEdit*>();
    after->selectAll();
    QTest::keyClicks(after, "5");
    EXPECT_EQ(para().SpaceAfter(), 5);

    // Rule and value go together: the rule from the list, the value from its box.
    QLineEdit* spacing = bar().SpinEdit_LineSpacing->findChild<QLineEdit*>();
    spacing->selectAll();
    QTest::keyClicks(spacing, "20");
    chooseWithKeys(bar().ComboBox_LineSpacingRule, 3);
    EXPECT_EQ(para().LineSpacingRule(), 3);
    EXPECT_EQ(para().LineSpacing(), 20);

    // A font name is written only when it is one of the list.
    const QString family = bar().FontName->itemText(0);
    QLineEdit* name = bar().FontName->lineEdit();
    name->selectAll();
    QTest::keyClicks(name, "No Such Font Anywhere");
    EXPECT_NE(edit().SelectionAttributes().Name(), QStringLiteral("No Such Font Anywhere"));
    const QString before_name = edit().SelectionAttributes().Name();
    name->selectAll();
    QTest::keyClicks(name, family);
    EXPECT_EQ(edit().SelectionAttributes().Name(), family);
    EXPECT_NE(before_name, family);

    // F5 again hides the bar; it reappears with the values of the selection.
    pressInEditor(Qt::Key_F5);
    EXPECT_FALSE(bar().isVisible());
}

// This was 718 pixels: the bar's controls asked for more than the editor's 696 and widened it.
TEST_F(EditorFormattingTest, ShowingTheBarKeepsTheWindowsWidth) {
    form3->resize(696, 480);
    QApplication::processEvents();
    pressInEditor(Qt::Key_F5);
    QApplication::processEvents();
    EXPECT_EQ(form3->width(), 696);
    EXPECT_LE(form3->minimumSizeHint().width(), 696);
}

TEST_F(EditorFormattingTest, TheBarIsNotInTheTabOrder) {
    pressInEditor(Qt::Key_F5);
    for (QWidget* w : bar().findChildren<QWidget*>()) {
        EXPECT_FALSE(w->focusPolicy() & Qt::TabFocus) << w->metaObject()->className();
    }
    // Tab in the text is a tab character.
    pressInEditor(Qt::Key_Tab);
    EXPECT_EQ(edit().Text(), QStringLiteral("\t"));
    EXPECT_TRUE(edit().richWindow().hasFocus());
}

TEST_F(EditorFormattingTest, TheMarkersStandWhereTheIndentsAre) {
    typeInEditor(QStringLiteral("들여쓰기"));
    form3->resize(700, 480);
    QApplication::processEvents();
    EXPECT_EQ(ruler().height(), 20);
    EXPECT_EQ(ruler().FirstInd->Left(), 2);
    EXPECT_EQ(ruler().LeftInd->Left(), 2);
    EXPECT_EQ(ruler().RightInd->Left(), ruler().ClientWidth() - 14);
    EXPECT_EQ(ruler().RulerLine->width(), ruler().ClientWidth() - 2 * ruler().RulerLine->x());
    EXPECT_EQ(ruler().FirstInd->toolTip(), "첫 줄 들여쓰기");
    EXPECT_EQ(ruler().LeftInd->toolTip(), "왼쪽 들여쓰기");
    EXPECT_EQ(ruler().RightInd->toolTip(), "오른쪽 들여쓰기");
    EXPECT_EQ(ruler().RightInd->cursor().shape(), Qt::PointingHandCursor);
    // A wider window moves the right marker with the ruler's right end.
    form3->resize(800, 480);
    QApplication::processEvents();
    EXPECT_EQ(ruler().RightInd->Left(), ruler().ClientWidth() - 14);
}

// Pixel and point conversions are not exact inverses: a 10 pt first-line marker pressed and
// released in place stores 9 points; at 0 it stays 0.
TEST_F(EditorFormattingTest, AMarkerPressedInPlaceKeepsTheDesignedImprecision) {
    typeInEditor(QStringLiteral("문단"));
    para().SetFirstIndent(10);
    pressInEditor(Qt::Key_Left);
    ASSERT_EQ(ruler().FirstInd->Left(), 15);
    ASSERT_EQ(ruler().FirstInd->Width(), 6);
    QTest::mouseClick(ruler().FirstInd, Qt::LeftButton, {}, QPoint(3, 5));
    EXPECT_EQ(para().FirstIndent(), 9);
    EXPECT_EQ(para().LeftIndent(), 0);
    EXPECT_EQ(ruler().FirstInd->Left(), 14);  // put back from the stored 9 points

    para().SetFirstIndent(0);
    pressInEditor(Qt::Key_Left);
    QTest::mouseClick(ruler().FirstInd, Qt::LeftButton, {}, QPoint(3, 5));
    EXPECT_EQ(para().FirstIndent(), 0);
    EXPECT_EQ(para().LeftIndent(), 0);
}

TEST_F(EditorFormattingTest, DraggingTheMarkersStoresTheIndents) {
    typeInEditor(QStringLiteral("끌어서 들여쓰기"));
    pressInEditor(Qt::Key_Home);
    // First-line marker from 2 to 32: trunc((32 + 3 - 6) × 3/4) = 21 points; the other lines stay
    // where they were, so the left indent becomes -21 from the first line.
    dragMarker(ruler().FirstInd, 3, 30);
    EXPECT_EQ(para().FirstIndent(), 21);
    EXPECT_EQ(para().LeftIndent(), -21);
    EXPECT_EQ(ruler().FirstInd->Left(), 28 - 4 + 6);
    EXPECT_EQ(ruler().LeftInd->Left(), 2);
    // Left marker from 2 to 42: trunc(39 × 3/4) - 21 = 8.
    dragMarker(ruler().LeftInd, 3, 40);
    EXPECT_EQ(para().LeftIndent(), 8);
    EXPECT_EQ(para().FirstIndent(), 21);
    // Right marker 20 px to the left of width - 14: trunc((34 + 3 - 2) × 3/4) - 12 = 14.
    dragMarker(ruler().RightInd, 3, -20);
    EXPECT_EQ(para().RightIndent(), 14);
    // The document keeps pixels at 96 per inch.
    const QTextBlockFormat f = blockAt(0).blockFormat();
    EXPECT_NEAR((f.textIndent() + f.leftMargin()) * 0.75, 21.0, 1e-9);
    EXPECT_NEAR(f.leftMargin() * 0.75, 29.0, 1e-9);
    EXPECT_NEAR(f.rightMargin() * 0.75, 14.0, 1e-9);
}

// A marker pulled past the left end stops following the mouse until it is pressed again, which
// first puts it back at 0.
TEST_F(EditorFormattingTest, AMarkerPulledPastTheLeftEndStops) {
    typeInEditor(QStringLiteral("왼쪽 끝"));
    TRulerMarker* marker = ruler().LeftInd;
    QTest::mousePress(marker, Qt::LeftButton, {}, QPoint(3, 5));
    QTest::mouseMove(marker, QPoint(0, 5));  // left 2 - 3 = -1
    EXPECT_EQ(marker->Left(), -1);
    QTest::mouseMove(marker, QPoint(20, 5));
    EXPECT_EQ(marker->Left(), -1);
    // Pressed again (no release came): back to 0, then moved by the press position.
    QTest::mousePress(marker, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(marker->Left(), 2);
    QTest::mouseRelease(marker, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(para().LeftIndent(), 0);  // trunc((2 + 3 - 6) × 3/4) = trunc(-0.75)
}

// Formats the document every way the menu, the bar and the ruler can: characters of the first
// paragraph, its spacing and indents, and numbering on the second.
class FormattedDocumentTest : public EditorFormattingTest {
  protected:
    void formatDocument() {
        typeInEditor(QStringLiteral("굵게 기울임 점선 빨강 노랑 크게"));
        pressInEditor(Qt::Key_Return);
        typeInEditor(QStringLiteral("번호 붙은 문단"));
        pressInEditor(Qt::Key_F5);  // the bar
        selectWithKeys(0, 2);
        pressInEditor(Qt::Key_F9);
        selectWithKeys(3, 3);
        pressInEditor(Qt::Key_F10);
        selectWithKeys(7, 2);
        pressInEditor(Qt::Key_F11, Qt::ControlModifier);
        selectWithKeys(10, 2);
        dialogAnswer = QColor(255, 0, 0);
        pressInEditor(Qt::Key_F11);
        selectWithKeys(13, 2);
        dialogAnswer = QColor(255, 255, 0);
        pressInEditor(Qt::Key_F12);
        selectWithKeys(16, 2);
        setBox(bar().FontSize, "18");
        pressInEditor(Qt::Key_F12, Qt::ControlModifier);  // wave underline
        // The first paragraph: centred, spaced, line spacing at least 20 points, indented by the ruler.
        pressInEditor(Qt::Key_F7);
        setBox(bar().SpinEdit1, "6");
        setBox(bar().SpinEdit2, "3");
        setBox(bar().SpinEdit_LineSpacing, "20");
        chooseWithKeys(bar().ComboBox_LineSpacingRule, 3);
        dragMarker(ruler().FirstInd, 3, 30);   // 21 points
        dragMarker(ruler().LeftInd, 3, 40);    // left 8 from the first line
        dragMarker(ruler().RightInd, 3, -20);  // 14 points
        // The second paragraph: upper-case roman numbers from 3 with a 15 point tab.
        pressInEditor(Qt::Key_Down);
        setBox(bar().SpinEdit_Numbering, "3");
        setBox(bar().SpinEdit2_NumberingTab, "15");
        pressInEditor(Qt::Key_F7, Qt::ControlModifier);
    }
    // Types a number into a box of the bar, replacing what it showed.
    static void setBox(QSpinBox* box, const QString& digits) {
        QLineEdit* line = box->findChild<QLineEdit*>();
        line->selectAll();
        QTest::keyClicks(line, digits);
    }
    void select(int start, int length) {
        edit().SetSelectionStart(start);
        edit().SetSelectionLength(length);
    }
    // What the formatted document must hold, read through the attribute objects.
    void expectFormatted() {
        TTextAttributes2& sel = edit().SelectionAttributes();
        select(0, 2);
        EXPECT_TRUE(sel.Style().testFlag(TFontStyle::fsBold));
        select(3, 3);
        EXPECT_TRUE(sel.Style().testFlag(TFontStyle::fsItalic));
        EXPECT_FALSE(sel.Style().testFlag(TFontStyle::fsBold));
        select(7, 2);
        EXPECT_EQ(charAt(7).underlineStyle(), QTextCharFormat::DotLine);
        select(10, 2);
        EXPECT_EQ(sel.Color(), 0x000000FFu);
        select(13, 2);
        EXPECT_EQ(sel.BackgroundColor(), 0x0000FFFFu);
        select(16, 2);
        EXPECT_EQ(sel.Size(), 18);
        EXPECT_EQ(charAt(17).underlineStyle(), QTextCharFormat::WaveUnderline);
        select(1, 0);
        EXPECT_EQ(sel.Size(), 9);
        EXPECT_EQ(para().Alignment(), 2);
        EXPECT_EQ(para().SpaceBefore(), 6);
        EXPECT_EQ(para().SpaceAfter(), 3);
        EXPECT_EQ(para().LineSpacingRule(), 3);
        EXPECT_EQ(para().LineSpacing(), 20);
        EXPECT_EQ(para().FirstIndent(), 21);
        EXPECT_EQ(para().LeftIndent(), 8);
        EXPECT_EQ(para().RightIndent(), 14);
        EXPECT_EQ(para().Numbering(), 0);
        select(edit().Text().size() - 2, 0);
        EXPECT_EQ(para().Numbering(), 6);
        EXPECT_EQ(para().NumberingStart(), 3);
        EXPECT_EQ(para().NumberingTab(), 15);
        EXPECT_EQ(para().LeftIndent(), 10);
        EXPECT_EQ(para().Alignment(), 0);
    }
};

TEST_F(FormattedDocumentTest, ASavedEntryKeepsEveryAttribute) {
    formatDocument();
    expectFormatted();
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText(QStringLiteral("서식"));
        d.Button1->click();
    });
    pressInEditor(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(archivesIn(QStringLiteral("일기")).size(), 1);
    ASSERT_TRUE(form3->FormClose());
    EXPECT_TRUE(edit().Text().isEmpty());
    openRow(0);
    ASSERT_TRUE(form3->isVisible());
    EXPECT_EQ(edit().Text(), QStringLiteral("굵게 기울임 점선 빨강 노랑 크게\r\n번호 붙은 문단"));
    expectFormatted();
}

// Another word processor reads what the editor saved: the document is converted to HTML by
// LibreOffice and the formatting is looked for there. tests/data/formatting/regenerate.sh keeps
// the saved RTF and the HTML beside the script for a look by eye.
TEST_F(FormattedDocumentTest, LibreOfficeReadsTheFormatting) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        GTEST_SKIP() << "soffice is not installed";
    }
    formatDocument();
    QTemporaryDir out;
    const QString keep = qEnvironmentVariable("TK_KEEP_FORMATTED");
    const QString dir = keep.isEmpty() ? out.path() : keep;
    const QString rtf = dir + QStringLiteral("/formatted.rtf");
    ASSERT_TRUE(edit().Lines().SaveFile(rtf));
    QTemporaryDir profile;
    QProcess p;
    p.start(soffice, {"-env:UserInstallation=file://" + profile.path(), "--headless", "--convert-to", "html",
                      "--outdir", dir, rtf});
    ASSERT_TRUE(p.waitForFinished(180000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile file(dir + QStringLiteral("/formatted.html"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll()).toLower();
    auto has = [&](const QString& pattern) {
        return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(html).hasMatch();
    };
    // Tags may nest between a format and its text.
    const QString tags = QStringLiteral("(<[^>]*>\\s*)*");
    EXPECT_TRUE(has("<b>" + tags + "굵게")) << "bold";
    EXPECT_TRUE(has("<i>" + tags + "기울임")) << "italic";
    EXPECT_TRUE(has("<u>" + tags + "점선")) << "underline";
    EXPECT_TRUE(has("color=\"#ff0000\">" + tags + "빨강")) << "text colour";
    EXPECT_TRUE(has("background: #ffff00\">" + tags + "노랑")) << "background colour";
    EXPECT_TRUE(has("font-size: 18pt\">" + tags + "크게")) << "size";
    EXPECT_TRUE(has("font-size: 9pt\">" + tags + "굵게")) << "size";
    // The first paragraph: centred, first line at 21 points, the others at 29, 14 on the right,
    // 6 points above and 3 below.
    EXPECT_TRUE(has("<p align=\"center\"")) << "alignment";
    EXPECT_TRUE(has("margin-left: 0\\.4in")) << "left indent";
    EXPECT_TRUE(has("text-indent: -0\\.11in")) << "first-line indent";
    EXPECT_TRUE(has("margin-right: 0\\.19in")) << "right indent";
    EXPECT_TRUE(has("margin-top: 0\\.08in")) << "space before";
    EXPECT_TRUE(has("margin-bottom: 0\\.04in")) << "space after";
    EXPECT_TRUE(has("line-height: 0\\.28in")) << "line spacing";
    // A numbered list from 3 holds the second paragraph.
    EXPECT_TRUE(has("<ol start=\"3\">\\s*<li>" + tags + "번호")) << "numbering";

    // HTML has one kind of underline; the word processor's own flat format tells them apart.
    QProcess flat;
    flat.start(soffice, {"-env:UserInstallation=file://" + profile.path(), "--headless", "--convert-to", "fodt",
                         "--outdir", dir, rtf});
    ASSERT_TRUE(flat.waitForFinished(180000));
    ASSERT_EQ(flat.exitCode(), 0) << flat.readAllStandardError().toStdString();
    QFile fodt(dir + QStringLiteral("/formatted.fodt"));
    ASSERT_TRUE(fodt.open(QIODevice::ReadOnly));
    const QByteArray xml = fodt.readAll();
    EXPECT_TRUE(xml.contains("style:text-underline-style=\"dotted\"")) << "dotted underline";
    EXPECT_TRUE(xml.contains("style:text-underline-style=\"wave\"")) << "wave underline";
    // This was num-format="1": the list was read from the paragraph numbering alone, which this
    // reader draws in Arabic numerals whatever its kind.
    static const QRegularExpression romanFromThree(QStringLiteral(
        "<text:list-level-style-number text:level=\"1\"[^>]*style:num-format=\"I\"[^>]*text:start-value=\"3\""));
    EXPECT_TRUE(romanFromThree.match(QString::fromUtf8(xml)).hasMatch()) << "upper-case roman numbers from 3";
}
