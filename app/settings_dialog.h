#pragma once

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QTabWidget;
class QUrl;

namespace tk {

class ClickLabel;
class TForm1;

// The settings and about dialog: the colours of the entry list and of the editor's text, the
// editor's word wrap and staying on top, and whether deletes go to the trash; and the about page.
// It works on the live windows: the colours and the two editor options apply with "확인"; the
// trash option is itself the live setting.
class TForm5 final : public QDialog {
    Q_OBJECT

  public:
    explicit TForm5(TForm1* form1);
    Q_DISABLE_COPY_MOVE(TForm5)

    void FormShow();
    // Opens the colour dialog on the clicked swatch's colour; a confirmed pick becomes the swatch's.
    void ListColor1Click(ClickLabel* swatch);
    void Button1Click();
    void Button2Click();
    void PageControl1Change(int page);
    // Opens the link kept as the clicked label's hint through the shell.
    void Label2Click(ClickLabel* label);

    // A swatch's colour in its stored form (0x00BBGGRR, or 0x80000000 plus a system colour index).
    quint32 swatchColor(const ClickLabel* swatch) const;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QGroupBox* GroupBox1;
    ClickLabel* ListColor1;
    ClickLabel* ListColor2;
    ClickLabel* EditColor1;
    ClickLabel* EditColor2;
    QCheckBox* EditUpCheck;
    QCheckBox* EditWordCheck;
    QCheckBox* delCheck;
    QGroupBox* GroupBox2;
    ClickLabel* Label2;    // the credit line of the window system
    ClickLabel* Label3;    // the credit line of the archive library
    QPushButton* Button1;  // "확인"
    QPushButton* Button2;  // "취소", the default button

    // The colour dialog: gives the chosen colour, or an invalid one when the user cancels.
    std::function<QColor(const QColor& initial, QWidget* parent)> ColorDialog1;
    // Opens a link with the desktop's program for it.
    std::function<bool(const QUrl& link)> OpenLink;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* makeSettingsPage();
    QWidget* makeAboutPage();
    ClickLabel* makeSwatch(const QString& caption, QWidget* parent);
    ClickLabel* makeLink(const QString& text, const QString& link, QWidget* parent);
    void setSwatchColor(ClickLabel* swatch, quint32 stored);

    TForm1* form1_;
    std::array<ClickLabel*, 4> swatches_{};
    std::array<quint32, 4> swatchColors_{};
};

}  // namespace tk
