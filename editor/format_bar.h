#pragma once

#include <QSpinBox>
#include <QWidget>

class QComboBox;

namespace tk {

// A spin box of the formatting bar. Value() reads the text as the user left it: a number as
// typed, anything else (an empty box) as the minimum.
class TSpinEdit final : public QSpinBox {
    Q_OBJECT

  public:
    TSpinEdit(int minimum, int maximum, int value, QWidget* parent);

    int Value() const;
    // Shows a value, kept to the box's range.
    void SetValue(int value) { setValue(value); }
};

// The formatting bar below the rich text: font, size, paragraph spacing, line spacing and the
// numbering's start and tab, each under a label. No control takes the focus by Tab, so Tab in
// the text stays a tab character and the bar never steals the caret.
class TFormatBar final : public QWidget {
    Q_OBJECT

  public:
    explicit TFormatBar(QWidget* parent = nullptr);

    QComboBox* FontName;
    TSpinEdit* FontSize;
    TSpinEdit* SpinEdit1;  // space before
    TSpinEdit* SpinEdit2;  // space after
    QComboBox* ComboBox_LineSpacingRule;
    TSpinEdit* SpinEdit_LineSpacing;
    TSpinEdit* SpinEdit_Numbering;
    TSpinEdit* SpinEdit2_NumberingTab;

  private:
    void addColumn(const QString& label, QWidget* control, int stretch = 0);
};

}  // namespace tk
