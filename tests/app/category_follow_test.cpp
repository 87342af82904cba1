// The listed category and the editor's entry follow what the category editor does to their
// folders, and the category tree and menu show the folders as they are on disk.
#include "app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tk;
using tk::test::AppFixture;

namespace {

const QByteArray kBody("{\\rtf1\\ansi\\ansicpg949 body}");

std::function<void(TForm4&)> titled(const QString& title) {
    return [=](TForm4& d) {
        d.Edit1->setText(title);
        d.Button1->click();
    };
}

QTreeWidgetItem* topNode(QTreeWidget* tree, const QString& name) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0) == name) {
            return tree->topLevelItem(i);
        }
    }
    return nullptr;
}

}  // namespace

class CategoryFollowTest : public AppFixture {
  protected:
    void launch(const QString& category) {
        ASSERT_TRUE(start());
        form1->show();
        pickCategory(category);
    }
    // Opens the category editor with the toolbar button and, inside it, runs what a user does.
    void inCategoryEditor(std::function<void(CategoryTreeView*)> work) {
        QMetaObject::invokeMethod(
            form2.get(),
            [this, work] {
                QApplication::setActiveWindow(form2.get());
                work(form2->TreeView1);
                form2->reject();
            },
            Qt::QueuedConnection);
        QApplication::setActiveWindow(form1.get());
        click(form1->item_TB);
    }
    // Selects a top-level category, presses F2 and types a new name.
    static void renameWithKeys(CategoryTreeView* tree, const QString& from, const QString& to) {
        tree->setFocus();
        tree->setCurrentItem(topNode(tree, from));
        QTest::keyClick(tree, Qt::Key_F2);
        auto* edit = tree->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        typeText(edit, to);
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();  // the label editor commits on the next turn of the loop
    }
};

TEST_F(CategoryFollowTest, RenamingTheListedCategoryKeepsListingItAndTheOpenEntrySavesIntoIt) {
    makeCategory(QStringLiteral("일기"));
    makeEntry(QStringLiteral("일기"), "1", "first|K|N|TKFile.rtf", kBody);
    launch(QStringLiteral("일기"));
    openRow(0);
    typeInEditor(" edited");
    inCategoryEditor(
        [](CategoryTreeView* tree) { renameWithKeys(tree, QStringLiteral("일기"), QStringLiteral("일기장")); });
    ASSERT_TRUE(QFileInfo(library() + QStringLiteral("일기장")).isDir());
    // This was a list of a folder that is gone, and a category name that no longer exists.
    EXPECT_EQ(form1->ListDir, library() + QStringLiteral("일기장/"));
    EXPECT_EQ(form1->CategoryName(), QStringLiteral("일기장"));
    EXPECT_EQ(form3->windowTitle(), QStringLiteral("+일기장+ TKEDIT"));
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 1);
    EXPECT_NE(menuItem(QStringLiteral("일기장")), nullptr);

    // The open entry's archive moved with its folder: the save goes there, no old folder comes back.
    saveWithCtrlS();
    EXPECT_TRUE(sevenZipBody(library() + QStringLiteral("일기장/1.zip"), "").contains("edited"));
    EXPECT_FALSE(QFileInfo::exists(library() + QStringLiteral("일기")));

    // A new entry lands in the renamed folder.
    messages.queue(MsgAnswer::No);
    click(form1->ToolButton3);
    typeInEditor("new one");
    answerEntryDialog(titled("new"));
    saveWithCtrlS();
    EXPECT_EQ(QDir(library() + QStringLiteral("일기장")).entryList({"*.zip"}).size(), 2);
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 2);
    EXPECT_TRUE(messages.texts().filter("Error").isEmpty());
}

TEST_F(CategoryFollowTest, MovingTheListedCategoryKeepsListingIt) {
    makeCategory("a");
    makeCategory("b");
    makeEntry("a", "1", "x|K|N|TKFile.rtf", kBody);
    launch("a");
    inCategoryEditor([](CategoryTreeView* tree) {
        tree->setCurrentItem(topNode(tree, "a"));
        Q_EMIT tree->nodeDropped(topNode(tree, "b"));  // what a drop of "a" onto "b" hands over
    });
    ASSERT_TRUE(QFileInfo(library() + "b/a").isDir());
    EXPECT_EQ(form1->ListDir, library() + "b/a/");
    EXPECT_EQ(form1->CategoryName(), "a");
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 1);
}

TEST_F(CategoryFollowTest, DeletingTheListedCategoryClearsIt) {
    makeCategory(QStringLiteral("빈 항목"));
    makeCategory(QStringLiteral("다른"));
    launch(QStringLiteral("빈 항목"));
    click(form1->ToolButton3);
    typeInEditor("draft");
    inCategoryEditor([](CategoryTreeView* tree) {
        tree->setFocus();
        tree->setCurrentItem(topNode(tree, QStringLiteral("빈 항목")));
        QTest::keyClick(tree, Qt::Key_Delete);
    });
    ASSERT_FALSE(QFileInfo::exists(library() + QStringLiteral("빈 항목")));
    EXPECT_TRUE(form1->ListDir.isEmpty());
    EXPECT_TRUE(form1->CategoryName().isEmpty());
    // No folder to save into: said so, and the draft stays. This was a save that failed silently.
    saveWithCtrlS();
    EXPECT_EQ(messages.texts().last(), QStringLiteral("항목을 선택해주세요."));
    EXPECT_EQ(form3->RichEdit1->Text(), "draft");
    EXPECT_EQ(form3->modifiedMark(), "*");
}

TEST_F(CategoryFollowTest, ASaveIntoAFolderRemovedOnDiskSaysSoAndKeepsTheText) {
    makeCategory(QStringLiteral("일기"));
    launch(QStringLiteral("일기"));
    click(form1->ToolButton3);
    typeInEditor("draft");
    ASSERT_TRUE(QDir().rmdir(library() + QStringLiteral("일기")));
    answerEntryDialog(titled("t"));
    saveWithCtrlS();
    ASSERT_FALSE(messages.texts().isEmpty());
    EXPECT_TRUE(messages.texts().last().startsWith(QStringLiteral("글을 저장할 분류 폴더가 없습니다.")))
        << messages.texts().last().toStdString();
    EXPECT_EQ(form3->RichEdit1->Text(), "draft");
    EXPECT_EQ(form3->modifiedMark(), "*");
    EXPECT_TRUE(form3->isNewEntry());
}

TEST_F(CategoryFollowTest, TheMenuAndTheTreeShowFoldersMadeOnDiskAndNoHiddenOnes) {
    makeCategory("a");
    makeCategory(".hidden");
    ASSERT_TRUE(start());
    form1->show();
    EXPECT_EQ(menuPaths(form1->item_PM), QStringList{"a"});
    makeCategory("later");
    makeCategory("a/sub");
    // The menu is read again as it opens: Alt+Down opens it from the keyboard.
    QStringList shown;
    QTimer::singleShot(0, form1.get(), [&] {
        shown = menuPaths(form1->item_PM);
        form1->item_PM->close();
    });
    QApplication::setActiveWindow(form1.get());
    form1->ListView1->setFocus();
    QTest::keyClick(form1->ListView1, Qt::Key_Down, Qt::AltModifier);
    // This was the tree of the program's start, until a restart.
    EXPECT_EQ(shown, QStringList({"a>", "a/sub", "later"}));

    QStringList tree;
    inCategoryEditor([&](CategoryTreeView* view) {
        for (QTreeWidgetItemIterator it(view); *it; ++it) {
            tree.append(TForm2::categoryPath(*it));
        }
    });
    EXPECT_EQ(tree, QStringList({"a", "a/sub", "later"}));
}
