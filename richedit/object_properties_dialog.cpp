#include "richedit/object_properties_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tk {

using namespace tk::ole;

TObjectPropertiesDialog::TObjectPropertiesDialog(TOleUIObjInfo& objectInfo, TOleUILinkInfo* linkInfo,
                                                 const QString& caption, QWidget* parent)
    : QDialog(parent), objectInfo_(objectInfo), linkInfo_(linkInfo), pages_(new QTabWidget(this)) {
    setWindowTitle(caption);
    pages_->addTab(generalPage(), QStringLiteral("일반"));
    pages_->addTab(viewPage(), QStringLiteral("보기"));
    if (linkInfo_ != nullptr) {
        pages_->addTab(linkPage(), QStringLiteral("연결"));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);
}

QWidget* TObjectPropertiesDialog::generalPage() {
    qint64 size = -1;
    QString label;
    QString type;
    QString shortType;
    QString location;
    (void)objectInfo_.GetObjectInfo(&size, &label, &type, &shortType, &location);
    auto* page = new QWidget(pages_);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("이름:"), new QLabel(label, page));
    form->addRow(QStringLiteral("종류:"), new QLabel(type, page));
    form->addRow(QStringLiteral("크기:"),
                 new QLabel(size < 0 ? QStringLiteral("알 수 없음") : QStringLiteral("%1 바이트").arg(size), page));
    form->addRow(QStringLiteral("위치:"), new QLabel(location, page));
    return page;
}

QWidget* TObjectPropertiesDialog::viewPage() {
    QImage icon;
    int scale = 0;
    (void)objectInfo_.GetViewInfo(&icon, &aspect_, &scale);
    auto* page = new QWidget(pages_);
    auto* layout = new QVBoxLayout(page);
    contentButton_ = new QRadioButton(QStringLiteral("내용 표시(&C)"), page);
    iconButton_ = new QRadioButton(QStringLiteral("아이콘으로 표시(&I)"), page);
    (aspect_ == DVASPECT_ICON ? iconButton_ : contentButton_)->setChecked(true);
    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(iconButton_);
    auto* picture = new QLabel(page);
    picture->setPixmap(QPixmap::fromImage(icon));
    iconRow->addWidget(picture);
    iconRow->addStretch();
    layout->addWidget(contentButton_);
    layout->addLayout(iconRow);
    auto* scaleRow = new QHBoxLayout;
    auto* scaleBox = new QSpinBox(page);
    scaleBox->setRange(1, 500);
    scaleBox->setValue(100);
    scaleBox->setSuffix(QStringLiteral("%"));
    scaleBox->setEnabled(false);
    auto* scaleLabel = new QLabel(QStringLiteral("크기 조정(&S):"), page);
    scaleLabel->setBuddy(scaleBox);
    scaleLabel->setEnabled(false);
    scaleRow->addWidget(scaleLabel);
    scaleRow->addWidget(scaleBox);
    scaleRow->addStretch();
    layout->addLayout(scaleRow);
    layout->addStretch();
    return page;
}

QWidget* TObjectPropertiesDialog::linkPage() {
    QString source;
    int fileLength = 0;
    QString fullType;
    QString shortType;
    (void)linkInfo_->GetLinkSource(&source, &fileLength, &fullType, &shortType);
    unsigned options = 1;
    (void)linkInfo_->GetLinkUpdateOptions(&options);
    auto* page = new QWidget(pages_);
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    sourceLabel_ = new QLabel(source, page);
    form->addRow(QStringLiteral("원본:"), sourceLabel_);
    form->addRow(QStringLiteral("종류:"), new QLabel(fullType, page));
    layout->addLayout(form);
    automaticButton_ = new QRadioButton(QStringLiteral("자동 업데이트(&A)"), page);
    manualButton_ = new QRadioButton(QStringLiteral("수동 업데이트(&M)"), page);
    (options == 3 ? manualButton_ : automaticButton_)->setChecked(true);
    layout->addWidget(automaticButton_);
    layout->addWidget(manualButton_);
    auto* buttons = new QHBoxLayout;
    updateButton_ = new QPushButton(QStringLiteral("지금 업데이트(&U)"), page);
    openButton_ = new QPushButton(QStringLiteral("원본 열기(&O)"), page);
    changeButton_ = new QPushButton(QStringLiteral("원본 바꾸기(&G)..."), page);
    breakButton_ = new QPushButton(QStringLiteral("연결 끊기(&B)"), page);
    breakButton_->setEnabled(false);
    for (QPushButton* b : {updateButton_, openButton_, changeButton_, breakButton_}) {
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    layout->addStretch();
    connect(updateButton_, &QPushButton::clicked, this, [this] { (void)linkInfo_->UpdateLink(); });
    connect(openButton_, &QPushButton::clicked, this, [this] { (void)linkInfo_->OpenLinkSource(); });
    connect(changeButton_, &QPushButton::clicked, this, &TObjectPropertiesDialog::changeSource);
    connect(breakButton_, &QPushButton::clicked, this, [this] { (void)linkInfo_->CancelLink(); });
    return page;
}

// A source is taken only when it names an existing file.
void TObjectPropertiesDialog::changeSource() {
    QFileDialog chooser(this, QStringLiteral("원본 바꾸기"), QFileInfo(sourceLabel_->text()).absolutePath());
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::AnyFile);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = chooser.selectedFiles().constFirst();
    int eaten = 0;
    if (succeeded(linkInfo_->SetLinkSource(path, QFileInfo(path).isFile(), &eaten))) {
        sourceLabel_->setText(path);
    }
}

void TObjectPropertiesDialog::apply() {
    const unsigned wanted = iconButton_->isChecked() ? DVASPECT_ICON : DVASPECT_CONTENT;
    if (wanted != aspect_) {
        (void)objectInfo_.SetViewInfo(wanted);
    }
    if (linkInfo_ != nullptr) {
        unsigned options = 1;
        (void)linkInfo_->GetLinkUpdateOptions(&options);
        const unsigned chosen = manualButton_->isChecked() ? 3 : 1;
        if (chosen != options) {
            (void)linkInfo_->SetLinkUpdateOptions(chosen);
        }
    }
}

}  // namespace tk
