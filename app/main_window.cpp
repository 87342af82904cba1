#include "app/main_window.h"

#include "app/category_editor.h"
#include "app/entry_dialog.h"
#include "app/icons.h"
#include "app/settings.h"
#include "editor/editor_window.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/program_folders.h"
#include "platform/shell_ops.h"
#include "platform/wait_cursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tk {
namespace {

constexpr const char* kLockName = "TOMEKEEP.lock";

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("TOMEKEEP"));
    resize(696, 480);
    setupToolBar();
    setupList();
    setupStatusBar();
    setupArchiver();
}

TForm1::~TForm1() {
    FormDestroy();
}

void TForm1::setupArchiver() {
    Archiver1.SetAddCompLevel(9);
    Archiver1.SetAddOptions({});
    Archiver1.SetExtrOptions({});
    Archiver1.SetUnattended(false);
    Archiver1.SetAddStoreSuffixes(AddStoreExts{AddStoreSuffixEnum::assZIP});
    Archiver1.OnMessage = [this](TArchiver* sender, int code, const QString& message) {
        Archiver1Message(sender, code, message);
    };
    Archiver1.OnPasswordError = [this](TArchiver* sender, bool isZip, QString& password, const QString& file,
                                       unsigned& repeat, TPasswordButton& action) {
        Archiver1PasswordError(sender, isZip, password, file, repeat, action);
    };
}

void TForm1::Archiver1Message(TArchiver*, int, const QString& message) {
    // The engine's way of saying that a password did not open a member.
    if (message == QLatin1String(engine::kWarningsGiven)) {
        WrongPassword = true;
        Messages::show(this, QStringLiteral("암호가 틀렸습니다."), MsgKind::Warning);
    }
}

void TForm1::Archiver1PasswordError(TArchiver*, bool, QString& newPassword, const QString&, unsigned& repeatCount,
                                    TPasswordButton& action) {
    // No other password is offered: a wrong one ends in the engine's warning.
    repeatCount = 0;
    newPassword.clear();
    action = TPasswordButton::mbOK;
}

// Removes the temporary files an interrupted archive write left in the category folders.
void TForm1::removeArchiveLeftovers() {
    const QString library = ProgramDir + QStringLiteral("LIST/");
    QStringList folders{library};
    for (qsizetype i = 0; i < folders.size(); ++i) {
        RemoveArchiveLeftovers(folders[i]);
        if (folders[i].count(u'/') - library.count(u'/') < 3) {
            for (const QString& sub :
                 QDir(folders[i]).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
                folders.append(folders[i] + sub + u'/');
            }
        }
    }
}

QString TForm1::dirText(const QString& path) {
    return withTrailingSlash(path);
}

QToolButton* TForm1::addToolButton(const QString& hint, QStyle::StandardPixmap icon) {
    auto* button = new QToolButton(ToolBar1);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setAccessibleName(hint);
    button->setIcon(style()->standardIcon(icon));
    button->setAutoRaise(true);
    toolBarItems_.append(ToolBar1->addWidget(button));
    return button;
}

void TForm1::setupToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    auto separator = [this] { toolBarItems_.append(ToolBar1->addSeparator()); };

    separator();
    item_PM = new QMenu(this);
    item_PM->setToolTipsVisible(true);
    item_TB = addToolButton(QStringLiteral("항목 구성"), QStyle::SP_DirIcon);
    item_TB->setIcon(icons::categoryImage());
    item_TB->setMenu(item_PM);
    item_TB->setPopupMode(QToolButton::MenuButtonPopup);
    connect(item_TB, &QToolButton::clicked, this, [this] { item_TBClick(item_TB); });
    separator();
    ToolButton3 = addToolButton(QStringLiteral("새로 만들기"), QStyle::SP_FileIcon);
    connect(ToolButton3, &QToolButton::clicked, this, &TForm1::ToolButton3Click);
    ToolButton4 = addToolButton(QStringLiteral("삭제"), QStyle::SP_TrashIcon);
    ToolButton4->setEnabled(false);
    connect(ToolButton4, &QToolButton::clicked, this, &TForm1::ToolButton4Click);
    separator();
    ToolButton7 = addToolButton(QStringLiteral("제목 및 암호 변경"), QStyle::SP_FileDialogDetailedView);
    ToolButton7->setEnabled(false);
    connect(ToolButton7, &QToolButton::clicked, this, &TForm1::ToolButton7Click);
    ToolButton8 = addToolButton(QStringLiteral("찾기"), QStyle::SP_FileDialogContentsView);
    separator();
    ToolButton5 = addToolButton(QStringLiteral("TOMEKEEP 설정"), QStyle::SP_ComputerIcon);
}

void TForm1::setupList() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ListView1 = new EntryListView(central);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    QPalette colors = ListView1->palette();
    colors.setColor(QPalette::Base, QColor(0x00, 0x00, 0x80));  // navy
    colors.setColor(QPalette::Text, QColor(0xC0, 0xC0, 0xC0));  // silver
    ListView1->setPalette(colors);
    layout->addWidget(ListView1, 1);

    FindPanel = new QWidget(central);
    FindPanel->setFixedHeight(80);
    auto* findLayout = new QHBoxLayout(FindPanel);
    findLayout->setContentsMargins(0, 0, 0, 0);
    FindList = new EntryListView(FindPanel);
    FindList->setObjectName(QStringLiteral("FindList"));
    FindList->entries()->setTitleCaption(QStringLiteral("     제목"));
    findLayout->addWidget(FindList, 1);
    Button1 = new QToolButton(FindPanel);
    Button1->setToolTip(QStringLiteral("닫기"));
    Button1->setAccessibleName(QStringLiteral("닫기"));
    Button1->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    Button1->setAutoRaise(true);
    findLayout->addWidget(Button1, 0, Qt::AlignTop);
    FindPanel->hide();
    layout->addWidget(FindPanel);
    setCentralWidget(central);

    for (EntryListView* list : {ListView1, FindList}) {
        sortAscending_.insert(list, false);
        connect(list->header(), &QHeaderView::sectionClicked, this,
                [this, list](int column) { ListView1ColumnClick(list, column); });
    }
    connect(ListView1, &EntryListView::mouseDown, this, &TForm1::ListView1MouseDown);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TForm1::updateSelectionButtons);
    connect(ListView1, &EntryListView::enterPressed, this, [this] { ListView1KeyDown(Qt::Key_Return); });
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { ListView1DblClick(ListView1); });
    connect(FindList, &QAbstractItemView::doubleClicked, this, [this] { ListView1DblClick(FindList); });
}

void TForm1::setupStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setSizeGripEnabled(true);
    auto panel = [this](int width) {
        auto* label = new QLabel(StatusBar1);
        label->setMinimumWidth(width);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        StatusBar1->addPermanentWidget(label);
        return label;
    };
    StatusPanel0 = panel(300);
    StatusPanel1 = panel(50);
}

void TForm1::setEntryDialog(TForm4* form4) {
    form4_ = form4;
    form4_->setCategories(EntryCategories);
}

QList<QAction*> TForm1::ToolBarItems() const {
    return toolBarItems_;
}

QString TForm1::CategoryName() const {
    return StatusPanel0->text();
}

void TForm1::SetCategoryName(const QString& name) {
    StatusPanel0->setText(name);
}

QString TForm1::CountText() const {
    return StatusPanel1->text();
}

bool TForm1::makeFolders(QString* error) {
    if (!QDir().mkpath(ProgramDir)) {
        *error = ProgramDir + QStringLiteral("폴더를 만들수 없습니다.");
        return false;
    }
    const QString list = ProgramDir + QStringLiteral("LIST/");
    if (!QFileInfo(list).isDir() && !QDir().mkdir(list)) {
        *error = list + QStringLiteral("폴더를 만들수 없습니다.");
        return false;
    }
    return preparePrivateFolder(ProgramDir + QStringLiteral("TEMP/"), error);
}

bool TForm1::FormCreate() {
    Archiver1.LoadZipEngine();
    Archiver1.LoadUnzipEngine();
    WaitCursor wait;
    ProgramDir = dirText(resolveProgramDir());
    QString error;
    if (QDir().mkpath(ProgramDir)) {
        lock_ = std::make_unique<QLockFile>(ProgramDir + QLatin1String(kLockName));
        lock_->setStaleLockTime(0);  // stale only when the process that holds it is gone
        if (!lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError) {
            lock_.reset();
            Messages::show(
                this,
                QStringLiteral(
                    "TOMEKEEP이 이미 실행 중입니다.\n같은 폴더를 쓰는 TOMEKEEP은 하나만 실행할 수 있습니다."),
                MsgKind::Warning);
            return false;
        }
    }
    if (!makeFolders(&error)) {
        qWarning("start-up: %s", qPrintable(error));
        Messages::show(this, QStringLiteral("프로그램 시작 오류"), MsgKind::Error);
        return false;
    }
    Archiver1.SetExtrBaseDir(ProgramDir + QStringLiteral("TEMP/"));
    removeArchiveLeftovers();
    created_ = true;
    return true;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_ && created_) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::FormShow() {
    LoadSettings(*this);
    LoadEntryList();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (created_) {
        FormClose();
    }
    QMainWindow::closeEvent(event);
}

void TForm1::FormClose() {
    // Unsaved edits are offered for saving before the scratch folder they came from is emptied.
    if (form3_ && (form3_->isVisible() || form3_->isModified())) {
        form3_->FormClose();
    }
    if (!ShellDeleteFiles(ProgramDir + QStringLiteral("TEMP/*.*"), false)) {
        qWarning("could not empty the scratch folder %sTEMP/", qPrintable(ProgramDir));
    }
    SaveSettings(*this);
}

void TForm1::FormDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    Archiver1.UnloadZipEngine();
    Archiver1.UnloadUnzipEngine();
    lock_.reset();
}

bool TForm1::LoadEntryList() {
    WaitCursor wait;
    // No category chosen yet: an empty list rather than whatever archives lie in the working folder.
    EntryListing listing = ListDir.isEmpty() ? EntryListing{} : LoadEntries(ListDir);
    sortByTitle(listing.rows);
    ListView1->entries()->setRows(std::move(listing.rows));
    EntryCategories = listing.categories;
    if (form4_) {
        form4_->setCategories(EntryCategories);
    }
    StatusPanel1->setText(countText(ListView1->entries()->rowCount()));
    updateSelectionButtons();
    if (!listing.unreadable.isEmpty()) {
        QString text = QStringLiteral("Cannot open file %1").arg(listing.unreadable.first());
        if (listing.unreadable.size() > 1) {
            text += QStringLiteral("\n(외 %1개)").arg(listing.unreadable.size() - 1);
        }
        Messages::show(this, text, MsgKind::Error);
    }
    return true;
}

void TForm1::item_TBClick(QObject* sender) {
    if (sender == item_TB) {
        if (form2_) {
            form2_->TreeChanged = false;
            form2_->exec();
        }
        return;
    }
    auto* item = qobject_cast<QAction*>(sender);
    if (!item || item->menu()) {
        return;  // only categories without sub-categories can be chosen
    }
    ToolButton4->setEnabled(false);
    ToolButton7->setEnabled(false);
    connect(ToolButton7, &QToolButton::clicked, this, &TForm1::ToolButton7Click);
    ListDir = ProgramDir + QStringLiteral("LIST/") + item->data().toString() + u'/';
    LoadEntryList();
    SetCategoryName(item->text());
}

void TForm1::ListView1ColumnClick(EntryListView* list, int column) {
    bool& ascending = sortAscending_[list];
    ascending = !ascending;
    list->entries()->sortByColumn(column, ascending);
}

void TForm1::updateSelectionButtons() {
    const bool selected = ListView1->selectedRow() >= 0;
    ToolButton4->setEnabled(selected);
    ToolButton7->setEnabled(selected);
}

void TForm1::ListView1MouseDown() {
    updateSelectionButtons();
}

void TForm1::ListView1KeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        ListView1DblClick(ListView1);
    }
}

}  // namespace tk
