// The editor writes into the entry it is bound to, and nowhere else, whatever the main window does
// to other entries meanwhile; and a save that did not happen never costs the document. Everything
// here is done as a user does it: clicks, keys, and answers in the dialogs.
#include "app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tk;
using tk::test::AppFixture;

namespace {

const QByteArray kBody("{\\rtf1\\ansi\\ansicpg949 body}");

// An answer for the title panel: a title, and a password when one is given.
std::function<void(TForm4&)> titled(const QString& title, const QString& password = {}) {
    return [=](TForm4& d) {
        d.Edit1->setText(title);
        d.CheckBox1->setChecked(!password.isEmpty());
        d.Edit3->setText(password.isEmpty() ? TForm4::passwordPlaceholder() : password);
        d.Button1->click();
    };
}

std::function<void(TForm4&)> password(const QString& text) {
    return [=](TForm4& d) {
        d.Pass_in->setText(text);
        d.Button3->click();
    };
}

std::function<void(TForm4&)> cancel() {
    return [](TForm4& d) { d.isPasswordPanelShown() ? d.Button4->click() : d.Button2->click(); };
}

}  // namespace

class EntryBindingTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
    }
    void launch() {
        ASSERT_TRUE(start());
        form1->show();
        form1->DeleteToTrash = false;
        pickCategory(QStringLiteral("일기"));
    }
    QString archive(const QString& name) const { return library() + QStringLiteral("일기/") + name + ".zip"; }
    QStringList archives() const { return archivesIn(QStringLiteral("일기")); }
    int rowOf(const QString& title) const {
        for (int i = 0; i < form1->ListView1->entries()->rowCount(); ++i) {
            if (form1->ListView1->entries()->row(i).title == title) {
                return i;
            }
        }
        return -1;
    }
    void retitle(const QString& title, std::function<void(TForm4&)> answer) {
        clickRow(rowOf(title));
        answerEntryDialog(std::move(answer));
        click(form1->ToolButton7);
    }
    void deleteRow(const QString& title) {
        clickRow(rowOf(title));
        messages.queue(MsgAnswer::Yes);
        QTest::keyClick(form1->ListView1, Qt::Key_Delete);
    }
    QString editorText() const { return form3->RichEdit1->Text(); }
};

TEST_F(EntryBindingTest, RetitleRunsOncePerClickHoweverOftenACategoryWasPicked) {
    makeEntry(QStringLiteral("일기"), "1", "one|K|N|TKFile.rtf", kBody);
    launch();
    pickCategory(QStringLiteral("일기"));
    pickCategory(QStringLiteral("일기"));
    retitle("one", titled("renamed"));
    // This was one showing of the dialog per pick of the category, plus one.
    EXPECT_EQ(dialogShowings(), 1);
    EXPECT_EQ(pendingDialogAnswers(), 0u);
    EXPECT_EQ(commentOf(archive("1")), "renamed|K|N|TKFile.rtf");
}

TEST_F(EntryBindingTest, RetitlingOrDeletingAnotherEntryLeavesTheEditorsEntryAlone) {
    makeEntry(QStringLiteral("일기"), "1", "first|K|N|TKFile.rtf", kBody);
    makeEntry(QStringLiteral("일기"), "2", "second|K|N|TKFile.rtf", kBody);
    makeEntry(QStringLiteral("일기"), "3", "third|K|N|TKFile.rtf", kBody);
    launch();
    openRow(rowOf("first"));
    ASSERT_TRUE(form3->isVisible());
    typeInEditor(" edited");
    retitle("second", titled("second renamed"));
    saveWithCtrlS();
    // This was the edit saved into "second", the entry retitled last.
    EXPECT_TRUE(sevenZipBody(archive("1"), "").contains("edited"));
    EXPECT_FALSE(sevenZipBody(archive("2"), "").contains("edited"));
    EXPECT_EQ(commentOf(archive("1")), "first|K|N|TKFile.rtf");
    EXPECT_EQ(commentOf(archive("2")), "second renamed|K|N|TKFile.rtf");

    typeInEditor(" again");
    deleteRow("third");
    ASSERT_FALSE(QFile::exists(archive("3")));
    saveWithCtrlS();
    EXPECT_TRUE(sevenZipBody(archive("1"), "").contains("again"));
    EXPECT_EQ(archives(), QStringList({"1.zip", "2.zip"}));
    EXPECT_TRUE(messages.texts().filter("Error").isEmpty());
}

TEST_F(EntryBindingTest, AProtectionGivenOrChangedByRetitleIsUsedByTheNextSave) {
    makeEntry(QStringLiteral("일기"), "1", "plain|K|N|TKFile.rtf", kBody);
    makeEntry(QStringLiteral("일기"), "2", "locked|K|Y|TKFile.rtf", kBody, "old pw");
    launch();
    openRow(rowOf("plain"));
    typeInEditor(" secret");
    retitle("plain", titled("plain", QStringLiteral("새 암호")));
    saveWithCtrlS();
    // This was "Error in Add; Fatal DLL Exception in mainunit": the editor kept the old, empty password.
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('\n').toStdString();
    EXPECT_TRUE(sevenZipBody(archive("1"), QStringLiteral("새 암호")).contains("secret"));
    EXPECT_EQ(form3->modifiedMark(), "-");

    answerEntryDialog(password("old pw"));
    openRow(rowOf("locked"));
    typeInEditor(" changed");
    answerEntryDialog(password("old pw"));
    retitle("locked", titled("locked", "new pw"));
    saveWithCtrlS();
    EXPECT_TRUE(sevenZipBody(archive("2"), "new pw").contains("changed"));
    EXPECT_TRUE(sevenZipBody(archive("2"), "old pw").isEmpty());
    EXPECT_EQ(form3->titleText(), "locked");
}

TEST_F(EntryBindingTest, DeletingTheOpenEntryUnbindsTheEditor) {
    makeEntry(QStringLiteral("일기"), "1", "doomed|K|N|TKFile.rtf", kBody);
    launch();
    openRow(rowOf("doomed"));
    typeInEditor(" rescued text");
    deleteRow("doomed");
    ASSERT_TRUE(archives().isEmpty());
    answerEntryDialog(titled("rescued"));
    saveWithCtrlS();
    // A new entry, asked for as for any new document; this was an archive "1.zip" made again
    // without its comment, listed as "제목 없음".
    ASSERT_EQ(archives().size(), 1);
    EXPECT_NE(archives().first(), "1.zip");
    EXPECT_EQ(commentOf(archive(archives().first().chopped(4))), "rescued||N|TKFile.rtf");
    EXPECT_TRUE(sevenZipBody(archive(archives().first().chopped(4)), "").contains("rescued text"));
}

TEST_F(EntryBindingTest, SavedUnderANewNameTheDocumentBelongsToTheNewEntry) {
    launch();
    click(form1->ToolButton3);
    typeInEditor("v1");
    answerEntryDialog(titled("t"));
    saveWithCtrlS();
    ASSERT_EQ(archives().size(), 1);
    typeInEditor(" v2");
    saveWithCtrlS();
    // This was a second title asked for and a second entry made.
    EXPECT_EQ(dialogShowings(), 1);
    ASSERT_EQ(archives().size(), 1);
    EXPECT_TRUE(sevenZipBody(archive(archives().first().chopped(4)), "").contains("v2"));
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 1);
}

TEST_F(EntryBindingTest, ACancelledOrFailedSaveKeepsTheDocumentOpen) {
    makeEntry(QStringLiteral("일기"), "1", "first|K|N|TKFile.rtf", kBody);
    makeEntry(QStringLiteral("일기"), "2", "second|K|N|TKFile.rtf", kBody);
    launch();

    // Closing the editor: the title is asked for, and cancelled.
    click(form1->ToolButton3);
    typeInEditor("draft");
    messages.queue(MsgAnswer::Yes);
    answerEntryDialog(cancel());
    form3->close();
    // This was a closed, emptied editor: the draft was gone.
    EXPECT_TRUE(form3->isVisible());
    EXPECT_EQ(editorText(), "draft");
    EXPECT_EQ(form3->modifiedMark(), "*");

    // Closing the main window: the same, and the program stays.
    messages.queue(MsgAnswer::Yes);
    answerEntryDialog(cancel());
    EXPECT_FALSE(form1->close());
    EXPECT_TRUE(form1->isVisible());
    EXPECT_EQ(editorText(), "draft");

    // Opening another entry while the save into the open one fails: its archive went away.
    messages.queue(MsgAnswer::No);
    openRow(rowOf("first"));
    typeInEditor(" kept");
    ASSERT_TRUE(QFile::remove(archive("1")));
    messages.queue(MsgAnswer::Yes);
    openRow(rowOf("second"));
    EXPECT_TRUE(editorText().contains("kept"));
    EXPECT_EQ(form3->titleText(), "first");
    EXPECT_TRUE(messages.texts().last().contains(QStringLiteral("편집한 내용은 그대로 남아 있습니다.")));
    // Saved again, it becomes a new entry rather than an archive without a title.
    answerEntryDialog(titled("first again"));
    saveWithCtrlS();
    EXPECT_EQ(archives().size(), 2);
    EXPECT_FALSE(QFile::exists(archive("1")));
}
