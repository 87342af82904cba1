#include "app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

#include <sys/fsuid.h>
#include <unistd.h>

using namespace tk;
using tk::test::AppFixture;

namespace {

const QByteArray kBody("{\\rtf1\\ansi\\ansicpg949 body}");

QString commentOf(const QString& path) {
    QString comment;
    EXPECT_EQ(ReadEntryComment(path, &comment), ReadCommentResult::Ok);
    return comment;
}

// True when 7-Zip tests the archive good with the password.
bool sevenZipAccepts(const QString& path, const QString& password) {
    QProcess p;
    p.start("7z", {"t", "-p" + password, path});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

void typePassword(TForm4& d, const QString& password) {
    d.Pass_in->setText(password);
    d.Button3->click();
}

}  // namespace

class EntryCommandsTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory("A");
    }
    void open() {
        ASSERT_TRUE(start());
        form1->show();
        menuItem("A")->trigger();
    }
    void select(int row) {
        form1->ListView1->setCurrentIndex(form1->ListView1->model()->index(row, 0));
        ASSERT_EQ(form1->ListView1->selectedRow(), row);
    }
    const EntryRow& row(int i) const { return form1->ListView1->entries()->row(i); }
    QString archive(const QString& name) const { return library() + "A/" + name + ".zip"; }
};

TEST_F(EntryCommandsTest, DeleteAsksAndHonoursTheTrashOption) {
    makeEntry("A", "1", "one|K|N|TKFile.rtf", kBody);
    makeEntry("A", "2", "two|K|N|TKFile.rtf", kBody);
    open();
    select(0);
    messages.queue(MsgAnswer::No);
    form1->ToolButton4Click();
    EXPECT_TRUE(QFile::exists(archive("1")));
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].caption, QStringLiteral("글 삭제"));
    EXPECT_EQ(messages.requests()[0].text, QStringLiteral("정말 \"one\" 를 지우시겠습니까?"));
    EXPECT_EQ(messages.requests()[0].kind, MsgKind::Plain);

    form1->DeleteToTrash = false;
    messages.queue(MsgAnswer::Yes);
    form1->ToolButton4Click();
    EXPECT_FALSE(QFile::exists(archive("1")));
    ASSERT_EQ(form1->ListView1->entries()->rowCount(), 1);
    EXPECT_EQ(row(0).title, "two");
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 1개    "));

    QTemporaryDir trash;
    qputenv("XDG_DATA_HOME", trash.path().toUtf8());
    form1->DeleteToTrash = true;
    select(0);
    messages.queue(MsgAnswer::Yes);
    form1->ToolButton4Click();
    qunsetenv("XDG_DATA_HOME");
    EXPECT_FALSE(QFile::exists(archive("2")));
    EXPECT_TRUE(QFile::exists(trash.filePath("Trash/files/2.zip")));
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 0개    "));
}

TEST_F(EntryCommandsTest, RetitleProtectsAPlainEntry) {
    makeEntry("A", "1", QStringLiteral("옛 제목|K|N|TKFile.rtf"), kBody);
    open();
    select(0);
    answerEntryDialog([](TForm4& d) {
        EXPECT_EQ(d.Edit1->text(), QStringLiteral("옛 제목"));
        EXPECT_EQ(d.ComboBox1->currentText(), "K");
        EXPECT_FALSE(d.CheckBox1->isChecked());
        EXPECT_FALSE(d.Edit3->isEnabled());
        EXPECT_EQ(d.Edit3->text(), QStringLiteral("<암호>"));
        d.Edit1->setText(QStringLiteral("새 제목"));
        d.ComboBox1->setEditText(QStringLiteral("분류"));
        d.CheckBox1->setChecked(true);
        d.Edit3->setText(QStringLiteral("비밀 pw"));
        d.Button1->click();
    });
    form1->ToolButton7Click();
    EXPECT_EQ(commentOf(archive("1")), QStringLiteral("새 제목|분류|Y|TKFile.rtf"));
    EXPECT_EQ(row(0).title, QStringLiteral("새 제목"));
    EXPECT_EQ(row(0).category, QStringLiteral("분류"));
    EXPECT_EQ(row(0).imageIndex(), 1);
    EXPECT_TRUE(sevenZipAccepts(archive("1"), QStringLiteral("비밀 pw")));
    EXPECT_FALSE(sevenZipAccepts(archive("1"), "wrong"));
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(EntryCommandsTest, RetitleUnprotectsWithTheRightPassword) {
    makeEntry("A", "1", "t|K|Y|TKFile.rtf", kBody, "pw");
    open();
    select(0);
    answerEntryDialog([](TForm4& d) { typePassword(d, "pw"); });
    answerEntryDialog([](TForm4& d) {
        EXPECT_TRUE(d.CheckBox1->isChecked());
        EXPECT_EQ(d.Edit3->text(), "pw");
        d.CheckBox1->setChecked(false);
        d.Button1->click();
    });
    form1->ToolButton7Click();
    EXPECT_EQ(commentOf(archive("1")), "t|K|N|TKFile.rtf");
    EXPECT_EQ(row(0).imageIndex(), 0);
    EXPECT_TRUE(sevenZipAccepts(archive("1"), "anything"));  // no password needed any more
    // The retitle worked in a folder of its own and left the scratch folder as it found it.
    EXPECT_TRUE(QDir(home() + "TEMP").isEmpty());
}

TEST_F(EntryCommandsTest, RetitleTickedWithThePlaceholderIsNotProtected) {
    makeEntry("A", "1", "t|K|N|TKFile.rtf", kBody);
    open();
    select(0);
    answerEntryDialog([](TForm4& d) {
        d.CheckBox1->setChecked(true);
        d.Button1->click();
    });
    form1->ToolButton7Click();
    EXPECT_EQ(commentOf(archive("1")), "t|K|N|TKFile.rtf");
}

TEST_F(EntryCommandsTest, RetitleStopsOnEveryPasswordFailure) {
    makeEntry("A", "1", "t|K|Y|TKFile.rtf", kBody, "pw");
    open();
    select(0);
    answerEntryDialog([](TForm4& d) { d.Button4->click(); });
    form1->ToolButton7Click();
    answerEntryDialog([](TForm4& d) { typePassword(d, ""); });
    form1->ToolButton7Click();
    answerEntryDialog([](TForm4& d) { typePassword(d, "wrong"); });
    form1->ToolButton7Click();
    EXPECT_EQ(messages.texts(),
              QStringList({QStringLiteral("암호 입력을 취소했습니다."), QStringLiteral("암호를 입력하세요."),
                           QStringLiteral("암호가 틀렸습니다.")}));
    EXPECT_EQ(pendingDialogAnswers(), 0u);
    EXPECT_EQ(commentOf(archive("1")), "t|K|Y|TKFile.rtf");
    EXPECT_FALSE(QFile::exists(home() + "TEMP/TKFile.rtf"));  // a wrong password leaves no body
}

TEST_F(EntryCommandsTest, RetitleWithAnEmptyTitleOrCancelChangesNothing) {
    makeEntry("A", "1", "t|K|N|TKFile.rtf", kBody);
    open();
    select(0);
    answerEntryDialog([](TForm4& d) {
        d.Edit1->clear();
        d.Button1->click();
    });
    form1->ToolButton7Click();
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText("other");
        d.Button2->click();
    });
    form1->ToolButton7Click();
    EXPECT_EQ(commentOf(archive("1")), "t|K|N|TKFile.rtf");
    EXPECT_EQ(row(0).title, "t");
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(EntryCommandsTest, ARetitleWhoseAddFailsKeepsTheOldCommentAndRow) {
    makeEntry("A", "1", "t|K|N|TKFile.rtf", kBody);
    open();
    select(0);
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText("new");
        d.CheckBox1->setChecked(true);
        d.Edit3->setText("pw");
        // The archive cannot be replaced now: its folder no longer admits this user.
        ::setfsgid(65534);
        ::setfsuid(65534);
        d.Button1->click();
    });
    form1->ToolButton7Click();
    ::setfsuid(0);
    ::setfsgid(0);
    // This was the new comment "new|K|Y|..." written over files that were never re-protected.
    EXPECT_EQ(commentOf(archive("1")), "t|K|N|TKFile.rtf");
    EXPECT_EQ(row(0).title, "t");
    EXPECT_EQ(row(0).imageIndex(), 0);
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.texts().first().startsWith("Error in Add; Fatal DLL Exception in mainunit\n"));
}
