#include "richedit/insert_object_dialog.h"

#include "platform/ole_objects.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tk {

QPoint objectDialogPosition(const QSize& dialog, const QRect& screen, const QRect* reference) {
    if (reference == nullptr) {
        return {screen.left() + (screen.width() - dialog.width()) / 2,
                screen.top() + (screen.height() - dialog.height()) / 3};
    }
    int x = reference->left() + (reference->width() - dialog.width()) / 2;
    int y = reference->top() + (reference->height() - dialog.height()) / 2;
    x = std::min(std::max(x, screen.left()), screen.right() + 1 - dialog.width());
    y = std::min(std::max(y, screen.top()), screen.bottom() + 1 - dialog.height());
    return {x, y};
}

TInsertObjectDialog::TInsertObjectDialog(const TObjectDialog& settings, QWidget* parent)
    : QDialog(parent),
      newButton_(new QRadioButton(QStringLiteral("새로 만들기(&N)"), this)),
      fileButton_(new QRadioButton(QStringLiteral("파일로 만들기(&F)"), this)),
      pages_(new QStackedWidget(this)),
      classList_(new QListWidget(this)),
      fileEdit_(new QLineEdit(this)) {
    setWindowTitle(settings.Title.isEmpty() ? QStringLiteral("개체 삽입") : settings.Title);
    auto* choices = new QVBoxLayout;
    choices->addWidget(newButton_);
    choices->addWidget(fileButton_);
    choices->addStretch();

    auto* newPage = new QWidget(pages_);
    auto* newLayout = new QVBoxLayout(newPage);
    auto* classLabel = new QLabel(QStringLiteral("개체 종류(&T):"), newPage);
    classLabel->setBuddy(classList_);
    newLayout->addWidget(classLabel);
    newLayout->addWidget(classList_);
    for (const ole::ServerClass* c : ole::ObjectServers::instance().classes()) {
        if (c->insertable && c->create) {
            auto* item = new QListWidgetItem(c->fullTypeName.isEmpty() ? c->name : c->fullTypeName, classList_);
            item->setData(Qt::UserRole, c->classId.toString(QUuid::WithBraces));
        }
    }
    classList_->sortItems();
    classList_->setCurrentRow(0);

    auto* filePage = new QWidget(pages_);
    auto* fileLayout = new QVBoxLayout(filePage);
    auto* fileLabel = new QLabel(QStringLiteral("파일(&L):"), filePage);
    fileLabel->setBuddy(fileEdit_);
    fileLayout->addWidget(fileLabel);
    auto* fileRow = new QHBoxLayout;
    auto* browseButton = new QPushButton(QStringLiteral("찾아보기(&B)..."), filePage);
    fileRow->addWidget(fileEdit_);
    fileRow->addWidget(browseButton);
    fileLayout->addLayout(fileRow);
    fileLayout->addStretch();
    pages_->addWidget(newPage);
    pages_->addWidget(filePage);

    auto* link = new QCheckBox(QStringLiteral("연결(&K)"), this);
    auto* icon = new QCheckBox(QStringLiteral("아이콘으로 표시(&D)"), this);
    link->setEnabled(false);
    icon->setEnabled(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    okButton_->setText(QStringLiteral("확인"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    if (settings.Options.testFlag(TObjectDialogOption::ioShowHelp)) {
        QPushButton* help = buttons->addButton(QDialogButtonBox::Help);
        help->setText(QStringLiteral("도움말(&H)"));
        const int context = settings.HelpContext;
        connect(help, &QPushButton::clicked, this, [this, context] {
            if (context != 0) {
                Q_EMIT helpRequested(context);
            }
        });
    }

    auto* top = new QHBoxLayout;
    top->addLayout(choices);
    top->addWidget(pages_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(link);
    boxes->addWidget(icon);
    boxes->addStretch();
    layout->addLayout(boxes);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, &TInsertObjectDialog::browse);
    connect(newButton_, &QRadioButton::toggled, this, [this](bool on) {
        pages_->setCurrentIndex(on ? 0 : 1);
        updateOk();
    });
    connect(fileEdit_, &QLineEdit::textChanged, this, &TInsertObjectDialog::updateOk);
    connect(classList_, &QListWidget::currentRowChanged, this, &TInsertObjectDialog::updateOk);
    connect(classList_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    const bool fromFile = settings.Options.testFlag(TObjectDialogOption::ioSelectCreateFromFile) &&
                          !settings.Options.testFlag(TObjectDialogOption::ioSelectCreateNew);
    (fromFile ? fileButton_ : newButton_)->setChecked(true);
    pages_->setCurrentIndex(fromFile ? 1 : 0);
    updateOk();
}

void TInsertObjectDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placement_) {
        move(placement_(frameGeometry().size()));
    }
}

bool TInsertObjectDialog::createNew() const {
    return newButton_->isChecked();
}

QString TInsertObjectDialog::classId() const {
    const QListWidgetItem* item = classList_->currentItem();
    return item != nullptr ? item->data(Qt::UserRole).toString() : QString();
}

QString TInsertObjectDialog::fileName() const {
    return fileEdit_->text().trimmed();
}

void TInsertObjectDialog::browse() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("찾아보기"), fileName());
    if (!path.isEmpty()) {
        fileEdit_->setText(path);
    }
}

void TInsertObjectDialog::updateOk() {
    okButton_->setEnabled(createNew() ? !classId().isEmpty() : !fileName().isEmpty());
}

}  // namespace tk
