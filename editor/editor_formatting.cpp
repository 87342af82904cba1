// The editor window's formatting: the menu's alignment, numbering, style, underline and colour
// items, the formatting bar and the ruler's indent markers. Every control writes through the
// control's attribute objects; a selection change copies the formatting back into the controls
// under the updating flag, so that the controls' own change handlers write nothing meanwhile.
#include "editor/editor_window.h"
#include "editor/format_bar.h"
#include "editor/ruler.h"
#include "richedit/qe_rich_edit.h"
#include "richedit/text_attributes.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QMenu>
#include <QVBoxLayout>

#include <algorithm>

namespace tk {

namespace {

// Screen pixels per point.
constexpr double kPointsToPixels = 4.0 / 3.0;

int pointsToPixels(int points) {
    return static_cast<int>(points * kPointsToPixels);
}

int pixelsToPoints(int pixels) {
    return static_cast<int>(pixels / kPointsToPixels);
}

template <typename... Key>
QList<QKeySequence> keys(Key... key) {
    return {QKeySequence(key)...};
}

// Sets a flag for the life of the scope; cleared again also when the scope is left by an exception.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

void TForm3::setupRuler() {
    Ruler = new TRuler(EditPanel);
    Ruler->OnResize = [this](QObject*) { placeRulerMarkers(); };
    auto down = [this](QObject* s, TMouseButton b, Qt::KeyboardModifiers k, int x, int y) {
        FirstIndMouseDown(s, b, k, x, y);
    };
    auto move = [this](QObject* s, Qt::KeyboardModifiers k, int x, int y) { FirstIndMouseMove(s, k, x, y); };
    for (TRulerMarker* marker : {Ruler->FirstInd, Ruler->LeftInd, Ruler->RightInd}) {
        marker->OnMouseDown = down;
        marker->OnMouseMove = move;
    }
    Ruler->FirstInd->OnMouseUp = [this](QObject* s, TMouseButton b, Qt::KeyboardModifiers k, int x, int y) {
        FirstIndMouseUp(s, b, k, x, y);
    };
    Ruler->LeftInd->OnMouseUp = [this](QObject* s, TMouseButton b, Qt::KeyboardModifiers k, int x, int y) {
        LeftIndMouseUp(s, b, k, x, y);
    };
    Ruler->RightInd->OnMouseUp = [this](QObject* s, TMouseButton b, Qt::KeyboardModifiers k, int x, int y) {
        RightIndMouseUp(s, b, k, x, y);
    };
}

void TForm3::setupFormatBar() {
    Panel1 = new TFormatBar(EditPanel);
    Panel1->hide();
    connect(Panel1->FontName, &QComboBox::currentTextChanged, this, [this] { FontNameChange(); });
    connect(Panel1->FontSize, &QSpinBox::valueChanged, this, [this] { FontSizeChange(); });
    connect(Panel1->SpinEdit1, &QSpinBox::valueChanged, this, [this] { SpinEdit1Change(); });
    connect(Panel1->SpinEdit2, &QSpinBox::valueChanged, this, [this] { SpinEdit2Change(); });
    connect(Panel1->ComboBox_LineSpacingRule, &QComboBox::currentIndexChanged, this,
            [this] { ComboBox_LineSpacingRuleChange(); });
    connect(Panel1->SpinEdit_LineSpacing, &QSpinBox::valueChanged, this, [this] { ComboBox_LineSpacingRuleChange(); });
    connect(Panel1->SpinEdit_Numbering, &QSpinBox::valueChanged, this, [this] { SpinEdit_NumberingChange(); });
    connect(Panel1->SpinEdit2_NumberingTab, &QSpinBox::valueChanged, this, [this] { SpinEdit_NumberingChange(); });
    if (!ColorDialog1) {
        ColorDialog1 = [this](const QColor& initial, const QString& title) {
            return QColorDialog::getColor(initial, this, title);
        };
    }
}

void TForm3::setupFormatMenu() {
    auto item = [this](QMenu* menu, const QString& caption, const QList<QKeySequence>& keys, int value) {
        QAction* action = menu->addAction(caption);
        action->setData(value);
        if (!keys.isEmpty()) {
            action->setShortcuts(keys);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            RichEdit1->addAction(action);
        }
        return action;
    };
    N15 = PopupMenu1->addMenu(QStringLiteral("글자 정렬 하기"));
    AlignGroup = new QActionGroup(this);
    LeftAlign = item(N15, QStringLiteral("왼쪽 정렬"), keys(Qt::Key_F6), 0);
    CenterAlign = item(N15, QStringLiteral("가운데 정렬"), keys(Qt::Key_F7), 2);
    RightAlign = item(N15, QStringLiteral("오른쪽 정렬"), keys(Qt::Key_F8), 1);
    for (QAction* a : {LeftAlign, CenterAlign, RightAlign}) {
        a->setCheckable(true);
        AlignGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { LeftAlignClick(a); });
    }
    LeftAlign->setChecked(true);

    BulletsMenu = PopupMenu1->addMenu(QStringLiteral("글머리 넣기"));
    BulletsMenu->menuAction()->setCheckable(true);
    pNone = item(BulletsMenu, QStringLiteral("없음"), keys(Qt::CTRL | Qt::Key_F1), 0);
    pBullet = item(BulletsMenu, QStringLiteral("점"), keys(Qt::CTRL | Qt::Key_F2), 1);
    pArabicNumbers = item(BulletsMenu, QStringLiteral("숫자"), keys(Qt::CTRL | Qt::Key_F3), 2);
    pLoCaseLetter = item(BulletsMenu, QStringLiteral("소문자 알파벳"), keys(Qt::CTRL | Qt::Key_F4), 3);
    pUpCaseLetter = item(BulletsMenu, QStringLiteral("대문자 알파벳"), keys(Qt::CTRL | Qt::Key_F5), 4);
    pLoCaseRoman = item(BulletsMenu, QStringLiteral("소문자 로마자"), keys(Qt::CTRL | Qt::Key_F6), 5);
    UpCaseRoman = item(BulletsMenu, QStringLiteral("대문자 로마자"), keys(Qt::CTRL | Qt::Key_F7), 6);
    for (QAction* a : BulletsMenu->actions()) {
        connect(a, &QAction::triggered, this, [this, a] { pNoneClick(a); });
    }

    N13 = PopupMenu1->addMenu(QStringLiteral("글자 스타일 변경 하기"));
    BoldMenu = item(N13, QStringLiteral("굵게"), keys(Qt::Key_F9, Qt::CTRL | Qt::Key_B), 0);
    ItalicMenu = item(N13, QStringLiteral("기울임꼴"), keys(Qt::Key_F10, Qt::CTRL | Qt::Key_I), 0);
    BoldMenu->setCheckable(true);
    ItalicMenu->setCheckable(true);
    connect(BoldMenu, &QAction::triggered, this, [this] { BoldMenuClick(); });
    connect(ItalicMenu, &QAction::triggered, this, [this] { ItalicMenuClick(); });
    UnderlineMenu = N13->addMenu(QStringLiteral("밑줄"));
    UnderlineMenu->menuAction()->setCheckable(true);
    N20 = item(UnderlineMenu, QStringLiteral("없음"), keys(Qt::CTRL | Qt::Key_F9), 0);
    pSolid = item(UnderlineMenu, QStringLiteral("선"), keys(Qt::CTRL | Qt::Key_F10, Qt::CTRL | Qt::Key_U), 1);
    pDotted = item(UnderlineMenu, QStringLiteral("점선"), keys(Qt::CTRL | Qt::Key_F11), 4);
    pWave = item(UnderlineMenu, QStringLiteral("웨이브"), keys(Qt::CTRL | Qt::Key_F12), 5);
    for (QAction* a : UnderlineMenu->actions()) {
        connect(a, &QAction::triggered, this, [this, a] { pSolidClick(a); });
    }

    N33 = PopupMenu1->addMenu(QStringLiteral("글자색 변경 하기"));
    N16 = item(N33, QStringLiteral("글자색"), keys(Qt::Key_F11), 0);
    N17 = item(N33, QStringLiteral("배경색"), keys(Qt::Key_F12), 0);
    connect(N16, &QAction::triggered, this, [this] { N16Click(); });
    connect(N17, &QAction::triggered, this, [this] { N17Click(); });
    N28 = item(PopupMenu1, QStringLiteral("고급 변경"), keys(Qt::Key_F5), 0);
    connect(N28, &QAction::triggered, this, [this] { N28Click(); });
}

TTextAttributes2& TForm3::currentText() {
    return RichEdit1->SelectionLength() > 0 ? RichEdit1->SelectionAttributes() : RichEdit1->DefaultAttributes();
}

// ---- the formatting bar ----

void TForm3::FontNameChange() {
    if (updating_) {
        return;
    }
    // Only a name of the list is written: a name typed halfway or wrongly matches none.
    const int index = Panel1->FontName->findText(Panel1->FontName->currentText(), Qt::MatchFixedString);
    if (index < 0) {
        return;
    }
    currentText().SetName(Panel1->FontName->itemText(index));
}

void TForm3::FontSizeChange() {
    if (updating_) {
        return;
    }
    currentText().SetSize(Panel1->FontSize->Value());
}

void TForm3::SpinEdit1Change() {
    if (updating_) {
        return;
    }
    RichEdit1->ParagraphAttributes().SetSpaceBefore(Panel1->SpinEdit1->Value());
}

void TForm3::SpinEdit2Change() {
    if (updating_) {
        return;
    }
    RichEdit1->ParagraphAttributes().SetSpaceAfter(Panel1->SpinEdit2->Value());
}

void TForm3::ComboBox_LineSpacingRuleChange() {
    if (updating_) {
        return;
    }
    TParaAttributes2& para = RichEdit1->ParagraphAttributes();
    para.SetLineSpacingRule(static_cast<quint8>(Panel1->ComboBox_LineSpacingRule->currentIndex()));
    para.SetLineSpacing(Panel1->SpinEdit_LineSpacing->Value());
}

void TForm3::SpinEdit_NumberingChange() {
    if (updating_) {
        return;
    }
    TParaAttributes2& para = RichEdit1->ParagraphAttributes();
    para.SetNumberingStart(static_cast<qint16>(Panel1->SpinEdit_Numbering->Value()));
    para.SetNumberingTab(static_cast<quint16>(Panel1->SpinEdit2_NumberingTab->Value()));
}

// ---- the menu ----

void TForm3::pNoneClick(QAction* item) {
    if (updating_) {
        return;
    }
    RichEdit1->ParagraphAttributes().SetNumbering(static_cast<quint8>(item->data().toInt()));
    SpinEdit_NumberingChange();
}

void TForm3::pSolidClick(QAction* item) {
    if (updating_) {
        return;
    }
    currentText().SetUnderlineKind(static_cast<quint8>(item->data().toInt()));
}

void TForm3::LeftAlignClick(QAction* item) {
    if (updating_) {
        return;
    }
    RichEdit1->ParagraphAttributes().SetAlignment(static_cast<quint8>(item->data().toInt()));
}

void TForm3::BoldMenuClick() {
    toggleStyle(BoldMenu, static_cast<int>(TFontStyle::fsBold));
}

void TForm3::ItalicMenuClick() {
    toggleStyle(ItalicMenu, static_cast<int>(TFontStyle::fsItalic));
}

// The check mark the last refresh set decides, not a fresh reading of the text. The item's mark
// has already flipped when its triggered signal arrives, so the mark before the click is the
// opposite of what it shows now.
void TForm3::toggleStyle(QAction* item, int style) {
    const bool wasChecked = !item->isChecked();
    if (updating_) {
        item->setChecked(wasChecked);
        return;
    }
    TTextAttributes2& text = currentText();
    TFontStyles styles = text.Style();
    styles.setFlag(static_cast<TFontStyle>(style), !wasChecked);
    text.SetStyle(styles);
    item->setChecked(!wasChecked);
}

void TForm3::N16Click() {
    if (updating_) {
        return;
    }
    TTextAttributes2& text = currentText();
    const QColor chosen = ColorDialog1(colorFromTColor(text.Color(), RichEdit1->palette()), QStringLiteral("글자색"));
    if (chosen.isValid()) {
        currentText().SetColor(tcolorFromColor(chosen));
    }
}

void TForm3::N17Click() {
    if (updating_) {
        return;
    }
    TTextAttributes2& text = currentText();
    const QColor chosen =
        ColorDialog1(colorFromTColor(text.BackgroundColor(), RichEdit1->palette()), QStringLiteral("배경색"));
    if (chosen.isValid()) {
        currentText().SetBackgroundColor(tcolorFromColor(chosen));
    }
}

void TForm3::N28Click() {
    {
        FlagScope updating(updating_);
        Panel1->setVisible(Panel1->isHidden());
    }
    RichEdit1SelectionChange();
}

// ---- the refresh ----

void TForm3::placeRulerMarkers() {
    TParaAttributes2& para = RichEdit1->ParagraphAttributes();
    const int fi = para.FirstIndent();
    const int li = para.LeftIndent();  // from the first-line indent
    const int ri = para.RightIndent();
    Ruler->FirstInd->SetLeft(pointsToPixels(fi) - 4 + 6);
    Ruler->LeftInd->SetLeft(pointsToPixels(li + fi) - 4 + 6);
    Ruler->RightInd->SetLeft((Ruler->ClientWidth() - 6) - pointsToPixels(ri + 6));
}

void TForm3::RichEdit1SelectionChange() {
    FlagScope updating(updating_);
    placeRulerMarkers();
    TTextAttributes2& text = RichEdit1->SelectionAttributes();
    TParaAttributes2& para = RichEdit1->ParagraphAttributes();
    const TFontStyles styles = text.Style();
    BoldMenu->setChecked(styles.testFlag(TFontStyle::fsBold));
    ItalicMenu->setChecked(styles.testFlag(TFontStyle::fsItalic));
    UnderlineMenu->menuAction()->setChecked(styles.testFlag(TFontStyle::fsUnderline));
    BulletsMenu->menuAction()->setChecked(para.Numbering() != 0);
    // Shown within each box's range; nothing is written back unless the user changes a box.
    Panel1->SpinEdit_Numbering->SetValue(static_cast<quint16>(para.NumberingStart()));
    Panel1->SpinEdit2_NumberingTab->SetValue(para.NumberingTab());
    Panel1->FontSize->SetValue(text.Size());
    Panel1->FontName->setEditText(text.Name());
    Panel1->ComboBox_LineSpacingRule->setCurrentIndex(para.LineSpacingRule());
    Panel1->SpinEdit_LineSpacing->SetValue(para.LineSpacing());
    Panel1->SpinEdit1->SetValue(para.SpaceBefore());
    Panel1->SpinEdit2->SetValue(para.SpaceAfter());
    switch (para.Alignment()) {
        case 0:
            LeftAlign->setChecked(true);
            break;
        case 1:
            RightAlign->setChecked(true);
            break;
        case 2:
            CenterAlign->setChecked(true);
            break;
        default:
            break;  // justified: the radio group stays as it was
    }
    refreshCaretPosition();
}

// ---- the ruler ----

void TForm3::FirstIndMouseDown(QObject* Sender, TMouseButton, Qt::KeyboardModifiers, int X, int) {
    auto* marker = static_cast<TRulerMarker*>(Sender);
    dragOffset_ = marker->Width() / 2;
    if (marker->Left() < 0) {
        marker->SetLeft(0);
    }
    marker->SetLeft(marker->Left() + X - dragOffset_);
    dragging_ = true;
}

void TForm3::FirstIndMouseMove(QObject* Sender, Qt::KeyboardModifiers, int X, int) {
    auto* marker = static_cast<TRulerMarker*>(Sender);
    // A marker pulled past the left end stays there until it is pressed again.
    if (!dragging_ || marker->Left() < 0) {
        return;
    }
    marker->SetLeft(marker->Left() + X - dragOffset_);
}

void TForm3::FirstIndMouseUp(QObject* Sender, TMouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) {
    dragging_ = false;
    RichEdit1->ParagraphAttributes().SetFirstIndent(pixelsToPoints(Ruler->FirstInd->Left() + dragOffset_ - 6));
    // The left indent is kept from the first-line indent: it is measured again against the new one.
    LeftIndMouseUp(Sender, Button, Shift, X, Y);
}

void TForm3::LeftIndMouseUp(QObject*, TMouseButton, Qt::KeyboardModifiers, int, int) {
    dragging_ = false;
    TParaAttributes2& para = RichEdit1->ParagraphAttributes();
    const int fi = para.FirstIndent();
    para.SetLeftIndent(pixelsToPoints(Ruler->LeftInd->Left() + dragOffset_ - 6) - fi);
    RichEdit1SelectionChange();
}

void TForm3::RightIndMouseUp(QObject*, TMouseButton, Qt::KeyboardModifiers, int, int) {
    dragging_ = false;
    RichEdit1->ParagraphAttributes().SetRightIndent(
        pixelsToPoints(Ruler->ClientWidth() - Ruler->RightInd->Left() + dragOffset_ - 2) - 12);
    RichEdit1SelectionChange();
}

}  // namespace tk
