#include "app_fixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tk;
using tk::test::AppFixture;

namespace {

QStringList column(const EntryListView* list, int col) {
    QStringList out;
    for (const EntryRow& r : list->entries()->rows()) {
        out.append(columnText(r, col));
    }
    return out;
}

}  // namespace

class MainWindowTest : public AppFixture {};

TEST_F(MainWindowTest, StartMakesLibraryAndPrivateScratchFolder) {
    // Leftovers of an earlier run in the scratch folder are removed at start.
    tk::test::writeFile(home() + "TEMP/old/TKFile.rtf", "secret");
    ASSERT_TRUE(start());
    EXPECT_EQ(form1->programDir(), home());
    EXPECT_TRUE(QFileInfo(library()).isDir());
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(home() + "TEMP").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(QDir(home() + "TEMP").isEmpty());
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(MainWindowTest, StartFailsWhenTheLibraryCannotBeMade) {
    tk::test::writeFile(home() + "LIST", "a file where the folder belongs");
    EXPECT_FALSE(start());
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(messages.texts().first(),
              QStringLiteral("프로그램 시작 오류\n\n") + library() + QStringLiteral("폴더를 만들수 없습니다."));
    EXPECT_EQ(messages.requests().first().caption, "TOMEKEEP");
}

TEST_F(MainWindowTest, StartRefusesAScratchFolderThatIsALink) {
    QTemporaryDir elsewhere;
    tk::test::writeFile(elsewhere.filePath("keep.txt"), "not ours to delete");
    ASSERT_TRUE(QFile::link(elsewhere.path(), home() + "TEMP"));
    EXPECT_FALSE(start());
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts().first().startsWith(QStringLiteral("프로그램 시작 오류\n\n") + home() + "TEMP/"));
    EXPECT_TRUE(QFile::exists(elsewhere.filePath("keep.txt")));
}

TEST_F(MainWindowTest, ASecondCopyOnTheSameFolderEnds) {
    ASSERT_TRUE(start());
    tk::test::writeFile(home() + "TEMP/TKFile.rtf", "open in the first copy");
    TForm1 second;
    EXPECT_FALSE(second.FormCreate());
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("이미 실행 중")));
    // The first copy's scratch folder is left alone.
    EXPECT_TRUE(QFile::exists(home() + "TEMP/TKFile.rtf"));
}

TEST_F(MainWindowTest, ToolbarAsDesigned) {
    ASSERT_TRUE(start());
    const QList<QAction*> items = form1->ToolBarItems();
    ASSERT_EQ(items.size(), 10);
    const std::pair<int, QToolButton*> buttons[] = {{1, form1->item_TB},     {3, form1->ToolButton3},
                                                    {4, form1->ToolButton4}, {6, form1->ToolButton7},
                                                    {7, form1->ToolButton8}, {9, form1->ToolButton5}};
    for (const auto& [position, button] : buttons) {
        EXPECT_EQ(form1->ToolBar1->widgetForAction(items[position]), button) << position;
    }
    for (int separator : {0, 2, 5, 8}) {
        EXPECT_TRUE(items[separator]->isSeparator()) << separator;
    }
    EXPECT_EQ(form1->item_TB->toolTip(), QStringLiteral("항목 구성"));
    EXPECT_EQ(form1->ToolButton7->toolTip(), QStringLiteral("제목 및 암호 변경"));
    EXPECT_EQ(form1->ToolButton5->toolTip(), QStringLiteral("TOMEKEEP 설정"));
    EXPECT_FALSE(form1->ToolButton4->isEnabled());
    EXPECT_FALSE(form1->ToolButton7->isEnabled());
    EXPECT_TRUE(form1->ToolButton3->isEnabled());
    EXPECT_EQ(form1->item_TB->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(form1->item_TB->menu(), form1->item_PM);
    EXPECT_EQ(form1->windowTitle(), "TOMEKEEP");
    EXPECT_TRUE(form1->FindPanel->isHidden());
    EXPECT_EQ(TForm1::dirText("a/b"), "a/b/");
    EXPECT_EQ(TForm1::dirText("a/b/"), "a/b/");
    EXPECT_EQ(TForm1::dirText(""), "/");
}

TEST_F(MainWindowTest, ChoosingACategoryListsItsEntriesInTitleOrder) {
    makeCategory(QStringLiteral("일기/2024"));
    addEntry(QStringLiteral("일기/2024"), "20240102000000", QStringLiteral("나|일기|Y|TKFile.rtf"));
    addEntry(QStringLiteral("일기/2024"), "20240101000000", QStringLiteral("가|일기|N|TKFile.rtf"));
    addEntry(QStringLiteral("일기/2024"), "20240103000000", QStringLiteral("다|Diary|N|page.htm"));
    ASSERT_TRUE(start());
    form1->show();

    QAction* item = menuItem(QStringLiteral("일기/2024"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(form1->ListDir, library() + QStringLiteral("일기/2024/"));
    EXPECT_EQ(form1->CategoryName(), "2024");
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 3개    "));
    EXPECT_EQ(column(form1->ListView1, 0), QStringList({"가", "나", "다"}));
    EXPECT_EQ(column(form1->ListView1, 2), QStringList({"20240101000000", "20240102000000", "20240103000000"}));
    EXPECT_EQ(form1->ListView1->entries()->row(1).imageIndex(), 1);
    // Categories come in the order the archives were read, which is the file system's.
    QStringList categories = form1->EntryCategories;
    categories.sort();
    EXPECT_EQ(categories, QStringList({"Diary", QStringLiteral("일기")}));
    EXPECT_EQ(form4->categories(), form1->EntryCategories);
    const QModelIndex category = form1->ListView1->model()->index(0, 1);
    EXPECT_EQ(category.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_TRUE(form1->ListView1->isColumnHidden(3));
    EXPECT_EQ(form1->ListView1->header()->sectionSize(0), 460);
}

TEST_F(MainWindowTest, SelectionButtonsFollowTheMouseAndResetOnCategoryChoice) {
    makeCategory("A");
    addEntry("A", "1", "one");
    addEntry("A", "2", "two");
    ASSERT_TRUE(start());
    form1->show();
    menuItem("A")->trigger();
    EntryListView* list = form1->ListView1;
    const QRect rowRect = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowRect.center());
    EXPECT_TRUE(form1->ToolButton4->isEnabled());
    EXPECT_TRUE(form1->ToolButton7->isEnabled());
    // Choosing a category, even the same one, disables them though the list is not empty.
    menuItem("A")->trigger();
    EXPECT_FALSE(form1->ToolButton4->isEnabled());
    EXPECT_FALSE(form1->ToolButton7->isEnabled());
    EXPECT_EQ(list->entries()->rowCount(), 2);
}

TEST_F(MainWindowTest, EnterAndDoubleClickReachTheOpenHandler) {
    makeCategory("A");
    addEntry("A", "1", "one");
    ASSERT_TRUE(start());
    form1->show();
    menuItem("A")->trigger();
    EntryListView* list = form1->ListView1;
    QSignalSpy enter(list, &EntryListView::enterPressed);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(list->selectedRow(), 0);
}

TEST_F(MainWindowTest, ColumnClicksAlternateWithOneSwitchPerList) {
    makeCategory("A");
    addEntry("A", "1", "t1|b|N|TKFile.rtf");
    addEntry("A", "2", "t2|c|N|TKFile.rtf");
    addEntry("A", "3", "t3|a|N|TKFile.rtf");
    ASSERT_TRUE(start());
    form1->show();
    menuItem("A")->trigger();
    EntryListView* list = form1->ListView1;
    QHeaderView* header = list->header();
    const auto click = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    click(1);
    EXPECT_EQ(column(list, 1), QStringList({"a", "b", "c"}));
    click(1);
    EXPECT_EQ(column(list, 1), QStringList({"c", "b", "a"}));
    click(1);
    EXPECT_EQ(column(list, 1), QStringList({"a", "b", "c"}));
    // The same switch goes on across columns: the title column now sorts descending.
    click(0);
    EXPECT_EQ(column(list, 0), QStringList({"t3", "t2", "t1"}));
    // The find list has its own switch: its first click sorts ascending.
    form1->FindList->entries()->setRows(form1->ListView1->entries()->rows());
    form1->ListView1ColumnClick(form1->FindList, 0);
    EXPECT_EQ(column(form1->FindList, 0), QStringList({"t1", "t2", "t3"}));
    EXPECT_EQ(form1->FindList->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("     제목"));
}

TEST_F(MainWindowTest, NoCategoryChosenShowsAnEmptyList) {
    ASSERT_TRUE(start());
    form1->show();
    EXPECT_TRUE(form1->ListDir.isEmpty());
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 0개    "));
}

TEST_F(MainWindowTest, CloseEmptiesScratchFolderAndRestoresTheCategoryNextTime) {
    makeCategory(QStringLiteral("책"));
    addEntry(QStringLiteral("책"), "1", "one");
    ASSERT_TRUE(start());
    form1->show();
    menuItem(QStringLiteral("책"))->trigger();
    form1->ListView1->header()->resizeSection(0, 333);
    tk::test::writeFile(home() + "TEMP/web/img/a.png", "x");  // an extracted web entry's folders
    tk::test::writeFile(home() + "TEMP/TKFile.rtf", "x");
    form1->close();
    EXPECT_TRUE(QDir(home() + "TEMP").isEmpty());
    EXPECT_TRUE(QFileInfo(home() + "TEMP").isDir());
    destroyWindows();

    ASSERT_TRUE(start());
    form1->show();
    EXPECT_EQ(form1->ListDir, library() + QStringLiteral("책/"));
    EXPECT_EQ(form1->CategoryName(), QStringLiteral("책"));
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 1개    "));
    EXPECT_EQ(form1->ListView1->header()->sectionSize(0), 333);
    EXPECT_EQ(form1->FindList->header()->sectionSize(0), 333);
}

TEST_F(MainWindowTest, AStoredCategoryThatNoLongerExistsIsIgnored) {
    RegistryStore store;
    store.writeString("Software\\TOMEKEEP\\Book", "List", library() + "gone/");
    store.writeString("Software\\TOMEKEEP\\Book", "Name", "gone");
    ASSERT_TRUE(store.save());
    ASSERT_TRUE(start());
    form1->show();
    EXPECT_TRUE(form1->ListDir.isEmpty());
    EXPECT_TRUE(form1->CategoryName().isEmpty());
}

TEST_F(MainWindowTest, ListColoursFromSettingsKeepTheirStoredKind) {
    RegistryStore store;
    ASSERT_TRUE(
        store.parse("[Software\\TOMEKEEP\\Color]\n\"ListFontColor\"=\"255\"\n"
                    "\"ListWindowColor\"=dword:80000005\n"));
    ASSERT_TRUE(store.save());
    ASSERT_TRUE(start());
    form1->show();
    EXPECT_EQ(form1->ListView1->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(form1->ListView1->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    form1->close();
    RegistryStore after;
    ASSERT_TRUE(after.load());
    EXPECT_EQ(after.value("Software\\TOMEKEEP\\Color", "ListFontColor")->kind, RegistryStore::Kind::String);
    EXPECT_EQ(after.readString("Software\\TOMEKEEP\\Color", "ListFontColor", {}), "255");
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "ListWindowColor", 0), 0x80000005u);
    EXPECT_EQ(after.readString("Software\\TOMEKEEP\\Book", "DeleteFile", {}), "1");
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Book", "1Width", 0), 100u);
}

TEST_F(MainWindowTest, TheEditorStartsInTheSystemColoursAndKeepsItsOptions) {
    ASSERT_TRUE(start());
    form1->show();
    // This was a black text area with black text: the editor's unset colour read as black, stored
    // and applied at every later start.
    const QPalette system = QApplication::palette();
    EXPECT_EQ(form3->editorWindowColor(), system.color(QPalette::Base));
    EXPECT_EQ(form3->editorFontColor(), system.color(QPalette::Text));
    EXPECT_NE(form3->editorWindowColor(), form3->editorFontColor());
    form3->setWordWrap(false);
    form3->setStayOnTop(true);
    ASSERT_TRUE(form1->close());
    RegistryStore after;
    ASSERT_TRUE(after.load());
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "EditWindowColor", 0), 0x80000005u);
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "EditFontColor", 0), 0x80000008u);
    EXPECT_EQ(after.readString("Software\\TOMEKEEP\\Edit", "WordWrap", {}), "0");
    EXPECT_EQ(after.readString("Software\\TOMEKEEP\\Edit", "OnTop", {}), "1");

    // The next start takes them back.
    destroyWindows();
    ASSERT_TRUE(start());
    form1->show();
    EXPECT_EQ(form3->editorWindowColor(), system.color(QPalette::Base));
    EXPECT_FALSE(form3->wordWrap());
    EXPECT_TRUE(form3->stayOnTop());
}

TEST_F(MainWindowTest, AnUnreadableArchiveIsReportedAndTheOthersListed) {
    makeCategory("A");
    addEntry("A", "1", "readable");
    addEntry("A", "2", "locked");
    ASSERT_TRUE(start());
    form1->show();
    const auto others = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    for (const QString& folder : QStringList{home(), library(), library() + "A"}) {
        ASSERT_TRUE(QFile::setPermissions(folder, others));
    }
    ASSERT_TRUE(QFile::setPermissions(library() + "A/1.zip", QFile::ReadOwner | QFile::ReadOther));
    ASSERT_TRUE(QFile::setPermissions(library() + "A/2.zip", {}));
    // Permissions do not bind root: list as another user, for this thread's file access only.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ::setfsgid(65534);
        ::setfsuid(65534);
    }
    menuItem("A")->trigger();
    if (asRoot) {
        ::setfsuid(0);
        ::setfsgid(0);
    }
    // This was a list cut short at the unreadable archive, with the previous count left standing.
    EXPECT_EQ(column(form1->ListView1, 0), QStringList{"readable"});
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 1개    "));
    EXPECT_EQ(form1->CategoryName(), "A");
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.texts().first().startsWith(QString("Cannot open file " + library() + "A/2.zip\n")));
}

TEST_F(MainWindowTest, StartLoadsTheEnginesAndClearsLeftoversOfInterruptedWrites) {
    makeCategory(QStringLiteral("일기/2024"));
    addEntry(QStringLiteral("일기/2024"), "20240101000000", "kept");
    tk::test::writeFile(library() + QStringLiteral("일기/2024/.20240101000000.zip.tkpart-Ab12Cd"), "half");
    ASSERT_TRUE(start());
    EXPECT_TRUE(form1->Archiver1.ZipEngineLoaded());
    EXPECT_TRUE(form1->Archiver1.UnzipEngineLoaded());
    EXPECT_EQ(form1->Archiver1.ExtrBaseDir(), home() + "TEMP/");
    EXPECT_EQ(form1->Archiver1.AddCompLevel(), 9);
    EXPECT_EQ(QDir(library() + QStringLiteral("일기/2024")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"20240101000000.zip"});
    form1->FormDestroy();
    EXPECT_FALSE(form1->Archiver1.ZipEngineLoaded());
    EXPECT_FALSE(form1->Archiver1.UnzipEngineLoaded());
}
