// The main window from the keyboard, deleting to a trash that cannot take the entry, and where
// opened entries are decrypted to.
#include "app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <sys/stat.h>

using namespace tk;
using tk::test::AppFixture;

namespace {

const QByteArray kBody("{\\rtf1\\ansi\\ansicpg949 body}");

}  // namespace

class MainWindowKeysTest : public AppFixture {
  protected:
    void launch() {
        makeCategory("A");
        makeEntry("A", "1", "one|K|N|TKFile.rtf", kBody);
        makeEntry("A", "2", "two|K|N|TKFile.rtf", kBody);
        ASSERT_TRUE(start());
        form1->show();
        pickCategory("A");
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
        QApplication::setActiveWindow(form1.get());
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form1->ListView1, k, modifiers);
    }
    QString archive(const QString& name) const { return library() + "A/" + name + ".zip"; }
};

TEST_F(MainWindowKeysTest, CtrlNDeleteAndF2WorkFromTheList) {
    launch();
    clickRow(0);
    // F2 retitles the selected entry; afterwards the list has the focus, so Space does not bring
    // the dialog back. This was the focus left on the toolbar button, which Space pressed again.
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText("uno");
        d.Button1->click();
    });
    key(Qt::Key_F2);
    EXPECT_EQ(dialogShowings(), 1);
    EXPECT_EQ(commentOf(archive("1")), "uno|K|N|TKFile.rtf");
    EXPECT_EQ(form1->focusWidget(), form1->ListView1);
    key(Qt::Key_Space);
    EXPECT_EQ(dialogShowings(), 1);

    // Delete asks as the button does; No keeps the entry.
    clickRow(0);
    messages.queue(MsgAnswer::No);
    key(Qt::Key_Delete);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].caption, QStringLiteral("글 삭제"));
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 2);

    // Ctrl+N starts a new document in the editor.
    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(form3->isVisible());
    EXPECT_TRUE(form3->isNewEntry());
    EXPECT_EQ(form3->windowTitle(), QStringLiteral("+A+ TKEDIT"));
}

TEST_F(MainWindowKeysTest, TheListHasTheKeysFromTheStart) {
    launch();
    // This was the focus on the toolbar's "새로 만들기": Down and Enter made a new document
    // instead of opening the first entry.
    EXPECT_EQ(form1->focusWidget(), form1->ListView1);
    QApplication::setActiveWindow(form1.get());
    // Enter opens the row with the focus frame even before any row was selected; this was
    // nothing at all for a list of one entry, whose frame Down cannot move.
    form1->ListView1->setCurrentIndex(form1->ListView1->model()->index(0, 0));
    form1->ListView1->selectionModel()->clearSelection();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(form3->isVisible());
    EXPECT_FALSE(form3->isNewEntry());
    EXPECT_EQ(form3->titleText(), form1->ListView1->entries()->row(form1->ListView1->selectedRow()).title);
}

TEST_F(MainWindowKeysTest, AltDownOpensTheCategoryMenu) {
    launch();
    form1->ListView1->setFocus();
    bool shown = false;
    QTimer::singleShot(0, form1.get(), [&] {
        shown = form1->item_PM->isVisible();
        form1->item_PM->close();
    });
    key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(shown);
}

TEST_F(MainWindowKeysTest, AnEntryThatCannotGoToTheTrashIsKept) {
    launch();
    // A trash that cannot be made: its data folder is a file.
    QTemporaryDir data;
    tk::test::writeFile(data.filePath("share"), "a file where the data folder belongs");
    qputenv("XDG_DATA_HOME", data.filePath("share").toUtf8());
    form1->DeleteToTrash = true;
    clickRow(0);
    messages.queue(MsgAnswer::Yes);
    key(Qt::Key_Delete);
    qunsetenv("XDG_DATA_HOME");
    ASSERT_EQ(messages.requests().size(), 2);
    EXPECT_TRUE(messages.texts().last().startsWith(QStringLiteral("글을 휴지통으로 옮길 수 없어서 지우지 않았습니다.")))
        << messages.texts().last().toStdString();
    EXPECT_TRUE(QFile::exists(archive("1")));
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 2);
}

TEST_F(MainWindowKeysTest, OpenedEntriesAreDecryptedBelowTheRuntimeFolder) {
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    launch();
    qunsetenv("XDG_RUNTIME_DIR");
    const QString scratch = form1->store().scratchDir();
    EXPECT_TRUE(scratch.startsWith(runtime.path() + "/TOMEKEEP-")) << scratch.toStdString();
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(scratch).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    openRow(0);
    ASSERT_TRUE(form3->isVisible());
    EXPECT_TRUE(QFile::exists(scratch + "TKFile.rtf"));
    // Nothing decrypted reaches the program folder on disk.
    EXPECT_FALSE(QFileInfo::exists(home() + "TEMP"));
    ASSERT_TRUE(form1->close());
    EXPECT_TRUE(QDir(scratch).isEmpty());
}
