#include "app_fixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>

using namespace tk;
using tk::test::AppFixture;

namespace {

QTreeWidgetItem* node(QTreeWidget* tree, const QString& path) {
    const QStringList parts = path.split(u'/');
    QTreeWidgetItem* at = nullptr;
    for (const QString& part : parts) {
        const int count = at ? at->childCount() : tree->topLevelItemCount();
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem* child = at ? at->child(i) : tree->topLevelItem(i);
            if (child->text(0) == part) {
                next = child;
            }
        }
        if (!next) {
            return nullptr;
        }
        at = next;
    }
    return at;
}

QStringList treePaths(QTreeWidget* tree) {
    QStringList out;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        out.append(TForm2::categoryPath(*it));
    }
    return out;
}

}  // namespace

class CategoryEditorTest : public AppFixture {
  protected:
    void drag(const QString& moved, const QString& target) {
        form2->TreeView1->setCurrentItem(node(form2->TreeView1, moved));
        form2->TreeView1EndDrag(target.isEmpty() ? nullptr : node(form2->TreeView1, target));
    }
    bool isDir(const QString& path) const { return QFileInfo(library() + path).isDir(); }
};

TEST_F(CategoryEditorTest, TreeAndMenuFromTheFoldersThreeLevelsDeep) {
    makeCategory("a/b/c/d");
    makeCategory("a/e");
    makeCategory("f");
    tk::test::writeFile(library() + "a/note.zip", "an entry, not a category");
    ASSERT_TRUE(start());
    EXPECT_EQ(treePaths(form2->TreeView1), QStringList({"a", "a/b", "a/b/c", "a/e", "f"}));
    // Only leaves can be chosen; the fourth level is absent.
    EXPECT_EQ(menuPaths(form1->item_PM), QStringList({"a>", "a/b>", "a/b/c", "a/e", "f"}));
    QAction* leaf = menuItem("a/b/c");
    EXPECT_EQ(leaf->text(), "c");
    EXPECT_EQ(leaf->toolTip(), "a/b/c");
    EXPECT_TRUE(form2->TreeView1->isExpanded(form2->TreeView1->indexFromItem(node(form2->TreeView1, "a/b"))));
    EXPECT_EQ(form2->windowTitle(), QStringLiteral("항목 구성"));
}

TEST_F(CategoryEditorTest, AddingNamesNewCategoriesInSequence) {
    ASSERT_TRUE(start());
    form2->show();
    for (int i = 0; i < 3; ++i) {
        form2->N1Click();
        form2->TreeView1->closePersistentEditor(form2->TreeView1->currentItem());
    }
    EXPECT_TRUE(isDir(QStringLiteral("새로운 항목")));
    EXPECT_TRUE(isDir(QStringLiteral("새로운 항목(1)")));
    EXPECT_TRUE(isDir(QStringLiteral("새로운 항목(2)")));
    EXPECT_TRUE(form2->TreeChanged);
}

TEST_F(CategoryEditorTest, TypedLabelDropsRefusedCharacters) {
    ASSERT_TRUE(start());
    form2->show();
    form2->N1Click();
    auto* edit = form2->TreeView1->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "a/b");
    EXPECT_EQ(edit->text(), "ab");
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();  // the view commits an edit from its event loop
    EXPECT_TRUE(isDir("ab"));
    EXPECT_FALSE(isDir(QStringLiteral("새로운 항목")));
    EXPECT_EQ(form2->TreeView1->currentItem()->text(0), "ab");
    EXPECT_EQ(withoutRefusedCharacters(QStringLiteral("a\\/:*?\"<>|b한")), QStringLiteral("ab한"));
}

TEST_F(CategoryEditorTest, RenameRulesAndMessages) {
    makeCategory("a/x");
    makeCategory("a/y");
    ASSERT_TRUE(start());
    QTreeWidgetItem* x = node(form2->TreeView1, "a/x");
    EXPECT_TRUE(form2->TreeView1Edited(x, "z"));
    EXPECT_TRUE(isDir("a/z"));
    EXPECT_FALSE(isDir("a/x"));
    EXPECT_EQ(x->text(0), "z");
    // Empty text keeps the old name silently; an existing name (its own included) is refused.
    EXPECT_FALSE(form2->TreeView1Edited(x, ""));
    EXPECT_FALSE(form2->TreeView1Edited(x, "y"));
    EXPECT_FALSE(form2->TreeView1Edited(x, "z"));
    EXPECT_EQ(messages.texts(),
              QStringList({QStringLiteral("이미 그 항목이 있습니다."), QStringLiteral("이미 그 항목이 있습니다.")}));
    EXPECT_EQ(x->text(0), "z");
}

TEST_F(CategoryEditorTest, ARenameTheFileSystemRefusesIsReported) {
    makeCategory("a");
    ASSERT_TRUE(start());
    QTreeWidgetItem* a = node(form2->TreeView1, "a");
    ASSERT_TRUE(QDir(library()).rmdir("a"));  // gone behind the editor's back
    EXPECT_FALSE(form2->TreeView1Edited(a, "b"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("항목의 이름을 바꿀 수 없습니다.")});
    EXPECT_EQ(a->text(0), "a");
    EXPECT_FALSE(form2->TreeChanged);
}

TEST_F(CategoryEditorTest, DeleteOnlyEmptyCategories) {
    makeCategory("full");
    makeCategory("empty");
    addEntry("full", "1", "one");
    ASSERT_TRUE(start());
    form2->TreeView1->setCurrentItem(node(form2->TreeView1, "full"));
    form2->N3Click();
    EXPECT_TRUE(isDir("full"));
    EXPECT_EQ(
        messages.texts(),
        QStringList{QStringLiteral("항목을 삭제할 수 없습니다. 사용중이거나 하위 디렉토리 또는 파일이 있습니다.")});
    form2->TreeView1->setCurrentItem(node(form2->TreeView1, "empty"));
    form2->N3Click();
    EXPECT_FALSE(isDir("empty"));
    EXPECT_EQ(node(form2->TreeView1, "empty"), nullptr);
    EXPECT_TRUE(form2->TreeChanged);
}

TEST_F(CategoryEditorTest, PopupEnablesRenameAndDeleteOnlyWithASelection) {
    makeCategory("a");
    ASSERT_TRUE(start());
    form2->TreeView1->setCurrentItem(nullptr);
    form2->PopupMenu1Popup();
    EXPECT_TRUE(form2->N1->isEnabled());
    EXPECT_FALSE(form2->N2->isEnabled());
    EXPECT_FALSE(form2->N3->isEnabled());
    form2->TreeView1->setCurrentItem(node(form2->TreeView1, "a"));
    form2->PopupMenu1Popup();
    EXPECT_TRUE(form2->N2->isEnabled());
    EXPECT_TRUE(form2->N3->isEnabled());
}

TEST_F(CategoryEditorTest, MovesFollowTheLevelRules) {
    makeCategory("a/b/c");
    makeCategory("d/e");
    makeCategory("f");
    ASSERT_TRUE(start());
    // Onto a level-0 node: below it.
    drag("f", "d");
    EXPECT_TRUE(isDir("d/f"));
    EXPECT_NE(node(form2->TreeView1, "d/f"), nullptr);
    // Onto a level-2 node: beside it, under its parent.
    drag("d/e", "a/b/c");
    EXPECT_TRUE(isDir("a/b/e"));
    EXPECT_NE(node(form2->TreeView1, "a/b/e"), nullptr);
    // Onto no node: to the top level.
    drag("a/b/e", "");
    EXPECT_TRUE(isDir("e"));
    EXPECT_NE(node(form2->TreeView1, "e"), nullptr);
    EXPECT_TRUE(form2->TreeChanged);
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(CategoryEditorTest, MovedSubtreeBeyondTheThirdLevelStaysOutOfTheMenu) {
    makeCategory("a/b/c");
    makeCategory("x/y");
    ASSERT_TRUE(start());
    drag("a", "x/y");  // a/b/c now lies at x/y/a/b/c: five levels on disk, a below level 2
    EXPECT_TRUE(isDir("x/y/a/b/c"));
    EXPECT_NE(node(form2->TreeView1, "x/y/a/b/c"), nullptr);
    form2->done(QDialog::Accepted);
    EXPECT_EQ(menuPaths(form1->item_PM), QStringList({"x>", "x/y>", "x/y/a"}));
}

TEST_F(CategoryEditorTest, RefusedMovesSayWhyAndChangeNothing) {
    makeCategory("a/b/c");
    ASSERT_TRUE(start());
    drag("a", "a/b");      // into its own sub-category
    drag("a/b", "a");      // onto its own parent
    drag("a/b", "a/b/c");  // level-2 target whose parent is b itself
    EXPECT_EQ(messages.requests().size(), 3);
    EXPECT_EQ(treePaths(form2->TreeView1), QStringList({"a", "a/b", "a/b/c"}));
    EXPECT_TRUE(isDir("a/b/c"));
    EXPECT_FALSE(form2->TreeChanged);
}

TEST_F(CategoryEditorTest, MovingOntoASameNamedCategoryAsksThenMergesWithoutOverwriting) {
    makeCategory("x/notes/old");
    makeCategory("notes/new");
    addEntry("x/notes", "20240101000000", "kept");
    addEntry("notes", "20240101000000", "moved");
    addEntry("notes", "20240202000000", "other");
    ASSERT_TRUE(start());

    messages.queue(MsgAnswer::No);
    drag("notes", "x");
    EXPECT_TRUE(isDir("notes"));
    EXPECT_FALSE(form2->TreeChanged);

    messages.queue(MsgAnswer::Yes);
    drag("notes", "x");
    EXPECT_FALSE(isDir("notes"));
    EXPECT_EQ(node(form2->TreeView1, "notes"), nullptr);
    EXPECT_NE(node(form2->TreeView1, "x/notes/new"), nullptr);
    EXPECT_NE(node(form2->TreeView1, "x/notes/old"), nullptr);
    const QStringList files = QDir(library() + "x/notes").entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, QStringList({"20240101000000.zip", "20240101000000_.zip", "20240202000000.zip"}));
    QString comment;
    ASSERT_EQ(ReadEntryComment(library() + "x/notes/20240101000000.zip", &comment), ReadCommentResult::Ok);
    EXPECT_EQ(comment, "kept");
    ASSERT_EQ(ReadEntryComment(library() + "x/notes/20240101000000_.zip", &comment), ReadCommentResult::Ok);
    EXPECT_EQ(comment, "moved");
    ASSERT_EQ(messages.requests().size(), 3);  // two questions and the note on the renamed file
    EXPECT_TRUE(messages.texts().last().contains("1"));
}

TEST_F(CategoryEditorTest, MenuIsRebuiltOnCloseOnlyAfterAChange) {
    makeCategory("a");
    ASSERT_TRUE(start());
    QAction* before = menuItem("a");
    // The button shows the dialog modally; the queued call closes it from inside its loop.
    QMetaObject::invokeMethod(
        form2.get(), [&] { form2->reject(); }, Qt::QueuedConnection);
    form1->item_TBClick(static_cast<QObject*>(form1->item_TB));
    EXPECT_EQ(menuItem("a"), before);

    QMetaObject::invokeMethod(
        form2.get(),
        [&] {
            form2->N1Click();
            form2->reject();
        },
        Qt::QueuedConnection);
    form1->item_TBClick(static_cast<QObject*>(form1->item_TB));
    // Rebuilt from the folders, in the order the tree shows them at the next start.
    EXPECT_EQ(menuPaths(form1->item_PM), QStringList({QStringLiteral("새로운 항목"), "a"}));
}

TEST_F(CategoryEditorTest, OnlyDragsFromATreeAreAccepted) {
    makeCategory("a");
    makeCategory("b");
    ASSERT_TRUE(start());
    form2->show();
    CategoryTreeView* tree = form2->TreeView1;
    tree->setCurrentItem(node(tree, "b"));
    EXPECT_TRUE(form2->TreeView1DragOver(tree));
    EXPECT_FALSE(form2->TreeView1DragOver(form2.get()));
    // Files dragged in from elsewhere carry no tree as their source: nothing moves.
    QMimeData data;
    data.setText("b");
    const QPointF onA = tree->visualItemRect(node(tree, "a")).center();
    QDropEvent drop(onA, Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_TRUE(isDir("b"));
    EXPECT_FALSE(form2->TreeChanged);
}
