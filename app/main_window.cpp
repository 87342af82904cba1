#include "app/main_window.h"

#include "app/category_editor.h"
#include "app/entry_dialog.h"
#include "app/find_window.h"
#include "app/icons.h"
#include "app/search_service.h"
#include "app/settings.h"
#include "app/settings_dialog.h"
#include "editor/archive_progress.h"
#include "editor/editor_window.h"
#include "platform/message_box.h"
#include "platform/object_server_plugin.h"
#include "platform/ole_objects.h"
#include "platform/paths.h"
#include "platform/program_folders.h"
#include "platform/wait_cursor.h"
#include "store/category_tree.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tk {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), Archiver1(store_.archiver()) {
    const ProgramSettings designed;
    colorCodes_ = {designed.listWindowColor, designed.listFontColor, designed.editWindowColor, designed.editFontColor};
    setWindowTitle(QStringLiteral("TOMEKEEP"));
    resize(696, 480);
    setupToolBar();
    setupList();
    setupStatusBar();
    setupKeys();
    setupSearch();
}

TForm1::~TForm1() {
    FormDestroy();
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
    // Folders change on disk while the program runs: the menu is read again whenever it opens.
    connect(item_PM, &QMenu::aboutToShow, this, &TForm1::rebuildCategoryMenu);
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
    connect(ToolButton8, &QToolButton::clicked, this, &TForm1::ToolButton8Click);
    separator();
    ToolButton5 = addToolButton(QStringLiteral("TOMEKEEP 설정"), QStyle::SP_ComputerIcon);
    connect(ToolButton5, &QToolButton::clicked, this, &TForm1::ToolButton5Click);
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
    connect(Button1, &QToolButton::clicked, this, &TForm1::Button1Click);
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
    // The find window stays on top and keeps the focus while its results are looked over: their
    // tool tips (the words around a match) show all the same.
    setAttribute(Qt::WA_AlwaysShowToolTips);
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

// The toolbar's commands from the keyboard: Ctrl+N anywhere in the window, Delete and F2 on the
// list, and Alt+Down opens the category menu as it does on any drop-down button.
void TForm1::setupKeys() {
    auto add = [this](QWidget* on, const QKeySequence& key, Qt::ShortcutContext context, auto slot) {
        auto* action = new QAction(on);
        action->setShortcut(key);
        action->setShortcutContext(context);
        on->addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    add(this, QKeySequence(Qt::CTRL | Qt::Key_N), Qt::WindowShortcut, [this] { ToolButton3Click(); });
    add(ListView1, QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut, [this] {
        ListView1->selectCurrentRowIfNone();
        ToolButton4Click();
    });
    add(ListView1, QKeySequence(Qt::Key_F2), Qt::WidgetShortcut, [this] {
        ListView1->selectCurrentRowIfNone();
        ToolButton7Click();
    });
    add(this, QKeySequence(Qt::ALT | Qt::Key_Down), Qt::WindowShortcut, [this] { item_TB->showMenu(); });
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

bool TForm1::FormCreate() {
    WaitCursor wait;
    const QString programDir = dirText(resolveProgramDir());
    if (store_.start(programDir, resolveScratchDir(programDir))) {
        created_ = true;
        // Every start: the package server, and the picture server when its plugin lies beside the
        // program. A missing plugin is not an error.
        ole::startObjectServers(ole::ObjectServers::instance(), QCoreApplication::applicationDirPath(),
                                store_.scratchDir());
        reportMissingEngines();
        search_->start(store_.libraryDir());
        sinceCatchUpOnReturn_.start();
        return true;
    }
    qWarning("start-up: %s", qPrintable(store_.errorString()));
    if (store_.error() == EntryError::AlreadyRunning) {
        Messages::show(this, store_.errorString(), MsgKind::Warning);
    } else {
        Messages::show(this, QStringLiteral("프로그램 시작 오류\n\n") + store_.errorString(), MsgKind::Error);
    }
    return false;
}

// Without its engines the program can still list entries but neither open nor save one: that is
// said at start, not at the first open as a numbered message.
void TForm1::reportMissingEngines() {
    QStringList missing;
    if (!Archiver1.ZipEngineLoaded()) {
        missing.append(QStringLiteral("libzipeng.so"));
    }
    if (!Archiver1.UnzipEngineLoaded()) {
        missing.append(QStringLiteral("libunzeng.so"));
    }
    if (missing.isEmpty()) {
        return;
    }
    qWarning("start-up: engines not loaded: %s", qPrintable(missing.join(u' ')));
    Messages::show(this,
                   QStringLiteral("압축 엔진(%1)을 불러오지 못해 문서를 열거나 저장할 수 없습니다.\n프로그램을 다시 "
                                  "설치한 뒤 다시 시작하세요.")
                       .arg(missing.join(QStringLiteral(", "))),
                   MsgKind::Error);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_ && created_) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !shown_) {
        return;
    }
    // Entries added, edited or deleted by other programs while this one ran.
    if (sinceCatchUpOnReturn_.elapsed() >= catchUpOnReturnMs_) {
        sinceCatchUpOnReturn_.start();
        search_->foldersChanged();
    }
}

void TForm1::FormShow() {
    LoadSettings(*this);
    LoadEntryList();
    // The keys act on the entries from the start, not on the first toolbar button.
    ListView1->setFocus();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (created_ && !FormClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool TForm1::FormClose() {
    // Unsaved edits are offered for saving before the scratch folder they came from is emptied; a
    // save that did not happen keeps everything open.
    if (form3_ && (form3_->isVisible() || form3_->isModified()) && !form3_->FormClose()) {
        return false;
    }
    // A search still running stops; it is not left walking a list that is going away, nor
    // reading an index that is closed after this.
    if (form6_) {
        form6_->stopSearches();
    }
    // A catch-up in the middle of a large library is cancelled, not waited for.
    search_->stop();
    store_.clearScratch();
    SaveSettings(*this);
    return true;
}

void TForm1::FormDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    search_->stop();
    store_.stop();
}

void TForm1::LoadEntryList() {
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
        Messages::show(this, text + QStringLiteral("\n글 보관 파일을 읽을 권한이 있는지 확인하세요."), MsgKind::Error);
    }
}

void TForm1::item_TBClick(QObject* sender) {
    if (sender == item_TB) {
        if (form2_) {
            form2_->TreeChanged = false;
            form2_->reloadTree();  // the folders as they are now
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
    ListDir = store_.categoryFolder(item->data().toString());
    LoadEntryList();
    SetCategoryName(item->text());
    ListView1->setFocus();
}

void TForm1::rebuildCategoryMenu() {
    item_PM->clear();
    const QIcon icon = icons::categoryImage();
    std::function<void(const CategoryNode&, const QString&, QMenu*)> add = [&](const CategoryNode& node,
                                                                               const QString& parentPath, QMenu* into) {
        const QString path = parentPath.isEmpty() ? node.name : parentPath + u'/' + node.name;
        if (!node.children.isEmpty()) {
            QMenu* sub = into->addMenu(icon, node.name);
            sub->setToolTipsVisible(true);
            sub->menuAction()->setToolTip(path);
            sub->menuAction()->setData(path);
            for (const CategoryNode& child : node.children) {
                add(child, path, sub);
            }
            return;
        }
        QAction* item = into->addAction(icon, node.name);
        item->setToolTip(path);
        item->setStatusTip(path);
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, item] { item_TBClick(item); });
    };
    for (const CategoryNode& node : readCategoryTree(store_.libraryDir())) {
        add(node, QString(), item_PM);
    }
}

void TForm1::categoryFolderMoved(const QString& oldFolder, const QString& newFolder) {
    const QString from = dirText(oldFolder);
    const QString to = dirText(newFolder);
    search_->foldersChanged();
    if (form3_) {
        form3_->entryFolderMoved(from, to);
    }
    if (!ListDir.startsWith(from)) {
        return;
    }
    const QString oldCaption = editorCaption(CategoryName());
    ListDir = to + ListDir.mid(from.size());
    SetCategoryName(QFileInfo(ListDir.chopped(1)).fileName());
    LoadEntryList();
    // The editor's caption names the category it was opened from, which has a new name now.
    if (form3_ && form3_->windowTitle() == oldCaption) {
        form3_->setWindowTitle(editorCaption(CategoryName()));
    }
}

void TForm1::categoryFolderRemoved(const QString& folder) {
    search_->foldersChanged();
    if (!ListDir.startsWith(dirText(folder))) {
        return;
    }
    ListDir.clear();
    SetCategoryName(QString());
    LoadEntryList();
}

void TForm1::ToolButton5Click() {
    if (form5_) {
        form5_->exec();
    }
}

void TForm1::ToolButton8Click() {
    if (!form6_) {
        return;
    }
    form6_->show();
    form6_->raise();
    form6_->activateWindow();
}

void TForm1::Button1Click() {
    FindPanel->hide();
    FindList->entries()->setRows({});
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

ProgramSettings TForm1::currentSettings() const {
    // The stored form of a colour as it was set, unless the control has been given another since.
    auto code = [this](size_t which, const QColor& live) {
        return colorFromStored(colorCodes_[which]) == live ? colorCodes_[which] : colorToStored(live);
    };
    ProgramSettings s;
    s.listWindowColor = code(0, ListView1->palette().color(QPalette::Base));
    s.listFontColor = code(1, ListView1->palette().color(QPalette::Text));
    s.listDir = ListDir;
    s.categoryName = CategoryName();
    for (size_t column = 0; column < s.columnWidths.size(); ++column) {
        s.columnWidths[column] = static_cast<quint32>(ListView1->header()->sectionSize(static_cast<int>(column)));
    }
    s.deleteToTrash = DeleteToTrash;
    if (form3_) {
        s.editWindowColor = code(2, form3_->editorWindowColor());
        s.editFontColor = code(3, form3_->editorFontColor());
        s.wordWrap = form3_->wordWrap();
        s.editorOnTop = form3_->stayOnTop();
    }
    return s;
}

void TForm1::applySettings(const ProgramSettings& s) {
    ListDir = s.listDir;
    SetCategoryName(s.categoryName);
    for (size_t column = 0; column < s.columnWidths.size(); ++column) {
        const int width = static_cast<int>(s.columnWidths[column]);
        ListView1->header()->resizeSection(static_cast<int>(column), width);
        FindList->header()->resizeSection(static_cast<int>(column), width);
    }
    DeleteToTrash = s.deleteToTrash;
    applyAppearance(s);
}

void TForm1::applyAppearance(const ProgramSettings& s) {
    colorCodes_ = {s.listWindowColor, s.listFontColor, s.editWindowColor, s.editFontColor};
    QPalette colors = ListView1->palette();
    colors.setColor(QPalette::Base, colorFromStored(s.listWindowColor));
    colors.setColor(QPalette::Text, colorFromStored(s.listFontColor));
    ListView1->setPalette(colors);
    if (form3_) {
        form3_->setEditorColors(colorFromStored(s.editWindowColor), colorFromStored(s.editFontColor));
        form3_->setWordWrap(s.wordWrap);
        form3_->setStayOnTop(s.editorOnTop);
    }
}

}  // namespace tk
