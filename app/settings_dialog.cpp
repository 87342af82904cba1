#include "app/settings_dialog.h"

#include "app/app_icon.h"
#include "app/click_label.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "platform/message_box.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace tk {
namespace {

// The tips on links in the editor: "[TK]" is the folder that holds LIST (not where the program file
// lies, unless it is a portable copy), and a double quote stands for a space in a file link.
const QString kTips[] = {
    QStringLiteral("\"file:///[TK]/\"  TOMEKEEP의 자료 폴더(LIST 폴더가 있는 곳)를 돌려줌"),
    QStringLiteral("사용예: file:///[TK]/ex\"dir/ex\"file.zip"),
    QStringLiteral("경로나 파일에 여백이 있으면 위와 같이 \" 로 여백을 표시"),
    QStringLiteral("URL 또는 FTP 일 경우 여백은 %20 으로 표시해 주세요."),
    QStringLiteral("파일명은 가급적 영문으로 적어주세요."),
};

QLabel* plainLabel(const QString& text, QWidget* parent, int pointSizeDelta = 0, bool bold = false) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSize(font.pointSize() + pointSizeDelta);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

}  // namespace

TForm5::TForm5(TForm1* form1) : QDialog(form1), form1_(form1) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ColorDialog1 = [](const QColor& initial, QWidget* parent) { return QColorDialog::getColor(initial, parent); };
    OpenLink = [](const QUrl& link) { return QDesktopServices::openUrl(link); };

    PageControl1 = new QTabWidget(this);
    TabSheet1 = makeSettingsPage();
    TabSheet2 = makeAboutPage();
    PageControl1->addTab(TabSheet1, QStringLiteral("TOMEKEEP 설정"));
    PageControl1->addTab(TabSheet2, QStringLiteral("TOMEKEEP 정보"));
    // The first showing is on the about page; later ones on the page last left.
    PageControl1->setCurrentIndex(1);
    setWindowTitle(QStringLiteral("TOMEKEEP 정보"));
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm5::PageControl1Change);

    Button1 = new QPushButton(QStringLiteral("확인"), this);
    Button2 = new QPushButton(QStringLiteral("취소"), this);
    // Enter cancels: only a deliberate press of "확인" applies anything.
    Button1->setAutoDefault(false);
    Button2->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(364, 340)));
}

ClickLabel* TForm5::makeSwatch(const QString& caption, QWidget* parent) {
    auto* swatch = new ClickLabel(caption, parent);
    swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    swatch->setAlignment(Qt::AlignCenter);
    swatch->setAutoFillBackground(true);
    swatch->setMinimumHeight(28);
    connect(swatch, &ClickLabel::clicked, this, [this, swatch] { ListColor1Click(swatch); });
    return swatch;
}

QWidget* TForm5::makeSettingsPage() {
    auto* page = new QWidget;
    GroupBox1 = new QGroupBox(QStringLiteral("색상"), page);
    ListColor1 = makeSwatch(QStringLiteral("리스트 창색"), GroupBox1);
    ListColor2 = makeSwatch(QStringLiteral("리스트 글색"), GroupBox1);
    EditColor1 = makeSwatch(QStringLiteral("에디터 창색"), GroupBox1);
    EditColor2 = makeSwatch(QStringLiteral("에디터 글색"), GroupBox1);
    swatches_ = {ListColor1, ListColor2, EditColor1, EditColor2};
    auto* colors = new QGridLayout(GroupBox1);
    colors->addWidget(ListColor1, 0, 0);
    colors->addWidget(ListColor2, 0, 1);
    colors->addWidget(EditColor1, 1, 0);
    colors->addWidget(EditColor2, 1, 1);

    EditUpCheck = new QCheckBox(QStringLiteral("에디터 항상 위에 보이기"), page);
    EditWordCheck = new QCheckBox(QStringLiteral("에디터 자동 줄바꿈"), page);
    delCheck = new QCheckBox(QStringLiteral("파일 삭제시 휴지통으로"), page);
    delCheck->setChecked(true);
    // The delete command follows this box at once, whichever button closes the dialog.
    connect(delCheck, &QCheckBox::toggled, this, [this](bool on) { form1_->DeleteToTrash = on; });

    GroupBox2 = new QGroupBox(QStringLiteral("에디터 사용팁"), page);
    auto* tips = new QVBoxLayout(GroupBox2);
    tips->setSpacing(2);
    for (const QString& tip : kTips) {
        tips->addWidget(new QLabel(tip, GroupBox2));
    }

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(GroupBox1);
    layout->addWidget(EditUpCheck);
    layout->addWidget(EditWordCheck);
    layout->addWidget(delCheck);
    layout->addWidget(GroupBox2);
    layout->addStretch(1);
    return page;
}

ClickLabel* TForm5::makeLink(const QString& text, const QString& link, QWidget* parent) {
    auto* label = new ClickLabel(text, parent);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, colors.color(QPalette::Link));
    label->setPalette(colors);
    label->setToolTip(link);
    connect(label, &ClickLabel::clicked, this, [this, label] { Label2Click(label); });
    return label;
}

QWidget* TForm5::makeAboutPage() {
    auto* page = new QWidget;
    auto* picture = new QLabel(page);
    picture->setPixmap(QPixmap::fromImage(paintAppIcon(96)));
    picture->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    picture->setAutoFillBackground(true);
    QPalette strip = picture->palette();
    strip.setColor(QPalette::Window, QColor(0x23, 0x42, 0x7A));
    picture->setPalette(strip);
    picture->setFixedWidth(112);
    picture->setContentsMargins(0, 16, 0, 0);

    auto* divider = new QFrame(page);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    auto* notice = new QLabel(QStringLiteral("문서마다 zip 파일 하나로 보관합니다. 암호를 건 문서는 그 암호 없이는 "
                                             "누구도 열 수 없으니 암호를 잊지 않도록 하세요."),
                              page);
    notice->setWordWrap(true);
    Label2 = makeLink(QStringLiteral("화면: Qt (www.qt.io)"), QStringLiteral("https://www.qt.io/"), page);
    Label3 =
        makeLink(QStringLiteral("압축과 암호화: libzip (libzip.org)"), QStringLiteral("https://libzip.org/"), page);

    auto* text = new QVBoxLayout;
    text->addWidget(plainLabel(QStringLiteral("TOMEKEEP"), page, 10, true));
    text->addWidget(plainLabel(QStringLiteral("Version 1.03"), page));
    text->addWidget(plainLabel(QStringLiteral("2001.11.17"), page));
    text->addSpacing(8);
    text->addWidget(plainLabel(QStringLiteral("만든 곳: TOMEKEEP 프로젝트"), page));
    text->addWidget(divider);
    text->addWidget(notice);
    text->addSpacing(8);
    text->addWidget(Label2);
    text->addWidget(Label3);
    text->addStretch(1);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(picture);
    layout->addLayout(text, 1);
    return page;
}

void TForm5::setSwatchColor(ClickLabel* swatch, quint32 stored) {
    for (size_t i = 0; i < swatches_.size(); ++i) {
        if (swatches_[i] == swatch) {
            swatchColors_[i] = stored;
        }
    }
    const QColor color = colorFromStored(stored);
    QPalette colors = swatch->palette();
    colors.setColor(QPalette::Window, color);
    // The caption stays readable on any colour.
    colors.setColor(QPalette::WindowText, color.lightness() < 128 ? Qt::white : Qt::black);
    swatch->setPalette(colors);
}

quint32 TForm5::swatchColor(const ClickLabel* swatch) const {
    for (size_t i = 0; i < swatches_.size(); ++i) {
        if (swatches_[i] == swatch) {
            return swatchColors_[i];
        }
    }
    return 0;
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm5::FormShow() {
    const ProgramSettings live = form1_->currentSettings();
    setSwatchColor(ListColor1, live.listWindowColor);
    setSwatchColor(ListColor2, live.listFontColor);
    setSwatchColor(EditColor1, live.editWindowColor);
    setSwatchColor(EditColor2, live.editFontColor);
    EditWordCheck->setChecked(live.wordWrap);
    EditUpCheck->setChecked(live.editorOnTop);
    delCheck->setChecked(live.deleteToTrash);
}

void TForm5::ListColor1Click(ClickLabel* swatch) {
    const QColor chosen = ColorDialog1(colorFromStored(swatchColor(swatch)), this);
    if (chosen.isValid()) {
        setSwatchColor(swatch, colorToStored(chosen, false));
    }
}

void TForm5::Button1Click() {
    ProgramSettings s = form1_->currentSettings();
    s.listWindowColor = swatchColor(ListColor1);
    s.listFontColor = swatchColor(ListColor2);
    s.editWindowColor = swatchColor(EditColor1);
    s.editFontColor = swatchColor(EditColor2);
    s.wordWrap = EditWordCheck->isChecked();
    s.editorOnTop = EditUpCheck->isChecked();
    form1_->applyAppearance(s);
    accept();
}

void TForm5::Button2Click() {
    reject();
}

void TForm5::PageControl1Change(int page) {
    setWindowTitle(PageControl1->tabText(page));
}

void TForm5::Label2Click(ClickLabel* label) {
    const QString link = label->toolTip();
    if (!OpenLink(QUrl(link))) {
        Messages::show(this,
                       QStringLiteral("%1 을(를) 열지 못했습니다.\n웹 브라우저가 설치되어 있는지 확인한 뒤 다시 눌러 "
                                      "주세요.")
                           .arg(link),
                       MsgKind::Warning);
    }
}

}  // namespace tk
