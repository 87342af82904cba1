#include "editor/format_bar.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace tk {

namespace {

constexpr int kBarHeight = 48;

// Reachable by mouse, never by Tab.
void clickFocusOnly(QWidget* w) {
    w->setFocusPolicy(Qt::ClickFocus);
    for (QWidget* child : w->findChildren<QWidget*>()) {
        child->setFocusPolicy(Qt::ClickFocus);
    }
}

}  // namespace

TSpinEdit::TSpinEdit(int minimum, int maximum, int value, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setValue(value);
    setKeyboardTracking(true);
}

int TSpinEdit::Value() const {
    bool ok = false;
    const int typed = cleanText().toInt(&ok);
    return ok ? typed : minimum();
}

TFormatBar::TFormatBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kBarHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);

    FontName = new QComboBox(this);
    FontName->setEditable(true);
    FontName->setInsertPolicy(QComboBox::NoInsert);
    FontName->setMaxVisibleItems(10);
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end());
    FontName->addItems(families);
    FontName->setToolTip(QStringLiteral("Font Name"));
    FontName->setStatusTip(QStringLiteral("Select font name"));
    // Narrow enough that the bar fits the editor's width: showing it never widens the window.
    FontName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FontName->setMinimumContentsLength(8);

    FontSize = new TSpinEdit(1, 10000, 1, this);
    SpinEdit1 = new TSpinEdit(0, 10000, 0, this);
    SpinEdit2 = new TSpinEdit(0, 10000, 0, this);
    ComboBox_LineSpacingRule = new QComboBox(this);
    ComboBox_LineSpacingRule->addItems({QStringLiteral("Single"), QStringLiteral("OneAndHalf"),
                                        QStringLiteral("Double"), QStringLiteral("SpecifiedOrMore"),
                                        QStringLiteral("Specified"), QStringLiteral("Multiple")});
    ComboBox_LineSpacingRule->setCurrentIndex(0);
    ComboBox_LineSpacingRule->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox_LineSpacingRule->setMinimumContentsLength(6);
    SpinEdit_LineSpacing = new TSpinEdit(-1, 10000, 0, this);
    SpinEdit_Numbering = new TSpinEdit(1, 10000, 1, this);
    SpinEdit2_NumberingTab = new TSpinEdit(10, 10000, 10, this);

    addColumn(QStringLiteral("글꼴"), FontName, 3);
    addColumn(QStringLiteral("글꼴 크기"), FontSize);
    addColumn(QStringLiteral("문단 위 여백"), SpinEdit1);
    addColumn(QStringLiteral("아래 여백"), SpinEdit2);
    addColumn(QStringLiteral("줄 간격 종류"), ComboBox_LineSpacingRule, 1);
    addColumn(QStringLiteral("줄 간격"), SpinEdit_LineSpacing);
    addColumn(QStringLiteral("글머리 시작번호"), SpinEdit_Numbering);
    addColumn(QStringLiteral("글머리 탭"), SpinEdit2_NumberingTab);
    for (QWidget* w :
         std::initializer_list<QWidget*>{FontName, FontSize, SpinEdit1, SpinEdit2, ComboBox_LineSpacingRule,
                                         SpinEdit_LineSpacing, SpinEdit_Numbering, SpinEdit2_NumberingTab}) {
        clickFocusOnly(w);
    }
}

void TFormatBar::addColumn(const QString& label, QWidget* control, int stretch) {
    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(control);
    column->addWidget(caption);
    column->addWidget(control);
    static_cast<QHBoxLayout*>(layout())->addLayout(column, stretch);
}

}  // namespace tk
