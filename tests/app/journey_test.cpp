// The life of an entry through the real windows: new, save, open, edit, save back, and the ways
// opening can fail.
#include "app_fixture.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"
#include "richtext/rtf_reader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace tk;
using tk::test::AppFixture;

namespace {

void typePassword(TForm4& d, const QString& password) {
    d.Pass_in->setText(password);
    d.Button3->click();
}

// An answer for the title panel of a new entry.
std::function<void(TForm4&)> newEntry(const QString& title, const QString& category, const QString& password = {}) {
    return [=](TForm4& d) {
        EXPECT_TRUE(d.Edit1->text().isEmpty());
        EXPECT_EQ(d.Edit3->text(), QStringLiteral("<암호>"));
        d.Edit1->setText(title);
        d.ComboBox1->setEditText(category);
        if (!password.isEmpty()) {
            d.CheckBox1->setChecked(true);
            d.Edit3->setText(password);
        }
        d.Button1->click();
    };
}

// The text of an RTF body.
QString rtfText(const QByteArray& rtf) {
    QTextDocument document;
    QTextCursor cursor(&document);
    if (rtf::readRtf(rtf, cursor) != rtf::RtfError::None) {
        return {};
    }
    return document.toPlainText();
}

}  // namespace

class JourneyTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
        ASSERT_TRUE(start());
        form1->show();
        menuItem(QStringLiteral("일기"))->trigger();
    }
    QString category() const { return library() + QStringLiteral("일기/"); }
    QStringList archives() const { return archivesIn(QStringLiteral("일기")); }
    TQE_RichEdit& editor() { return *form3->RichEdit1; }
    void type(const QString& text) {
        editor().SetSelectionStart(editor().Text().size());
        editor().SetSelectedText(text);
    }
    void select(int row) { form1->ListView1->setCurrentIndex(form1->ListView1->model()->index(row, 0)); }
    QString commentOf(const QString& archive) { return AppFixture::commentOf(category() + archive); }
};

TEST_F(JourneyTest, NewSaveOpenEditSaveBack) {
    form1->ToolButton3Click();
    EXPECT_TRUE(form3->isVisible());
    EXPECT_EQ(form3->windowTitle(), QStringLiteral("+일기+ TKEDIT"));
    type(QStringLiteral("첫 문장입니다."));
    EXPECT_EQ(form3->modifiedMark(), "*");
    answerEntryDialog(newEntry(QStringLiteral("봄날"), QStringLiteral("개인"), "pw"));
    form3->N10Click();
    ASSERT_EQ(archives().size(), 1);
    const QString archive = archives().first();
    EXPECT_TRUE(QRegularExpression("^\\d{14}\\.zip$").match(archive).hasMatch()) << archive.toStdString();
    EXPECT_EQ(commentOf(archive), QStringLiteral("봄날|개인|Y|TKFile.rtf"));
    EXPECT_EQ(form3->modifiedMark(), "-");
    EXPECT_EQ(form3->titleText(), QStringLiteral("봄날"));
    ASSERT_EQ(form1->ListView1->entries()->rowCount(), 1);
    EXPECT_EQ(form1->ListView1->entries()->row(0).imageIndex(), 1);
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 1개    "));
    EXPECT_TRUE(rtfText(sevenZipBody(category() + archive, "pw")).contains(QStringLiteral("첫 문장입니다.")));
    EXPECT_TRUE(sevenZipBody(category() + archive, "wrong").isEmpty());

    form3->FormClose();
    EXPECT_FALSE(form3->isVisible());
    EXPECT_TRUE(messages.requests().isEmpty());  // nothing unsaved, nothing asked

    select(0);
    answerEntryDialog([](TForm4& d) { typePassword(d, "pw"); });
    QTest::keyClick(form1->ListView1, Qt::Key_Return);
    ASSERT_TRUE(form3->isVisible());
    EXPECT_EQ(editor().Text().trimmed(), QStringLiteral("첫 문장입니다."));
    EXPECT_EQ(form3->titleText(), QStringLiteral("봄날"));
    EXPECT_EQ(form3->boundEntry().password, "pw");
    EXPECT_TRUE(form3->StatusPanel2->text().isEmpty());  // never in a widget's text
    EXPECT_TRUE(form1->Archiver1.Password().isEmpty());
    EXPECT_EQ(form3->modifiedMark(), "-");
    EXPECT_EQ(form3->positionText(), QStringLiteral("열:   1   행:   1"));

    type(QStringLiteral(" 둘째 문장."));
    form3->N10Click();  // a bound entry: written back into the same archive
    EXPECT_EQ(archives(), QStringList{archive});
    EXPECT_TRUE(rtfText(sevenZipBody(category() + archive, "pw")).contains(QStringLiteral("둘째 문장.")));
    EXPECT_EQ(commentOf(archive), QStringLiteral("봄날|개인|Y|TKFile.rtf"));
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(JourneyTest, OpeningFailuresAreReported) {
    makeEntry(QStringLiteral("일기"), "1", "locked|K|Y|TKFile.rtf", "{\\rtf1 x}", "pw");
    tk::test::writeFile(category() + "2.zip", "not an archive at all, just text");
    makeEntry(QStringLiteral("일기"), "3", "gone|K|N|TKFile.rtf", "{\\rtf1 x}");
    menuItem(QStringLiteral("일기"))->trigger();
    QFile::remove(category() + "3.zip");
    const auto rowOf = [&](const QString& archive) {
        for (int i = 0; i < form1->ListView1->entries()->rowCount(); ++i) {
            if (form1->ListView1->entries()->row(i).archiveName == archive) {
                return i;
            }
        }
        return -1;
    };

    select(rowOf("3"));
    form1->ListView1DblClick(form1->ListView1);
    select(rowOf("1"));
    answerEntryDialog([](TForm4& d) { d.Button4->click(); });
    form1->ListView1DblClick(form1->ListView1);
    answerEntryDialog([](TForm4& d) { typePassword(d, ""); });
    form1->ListView1DblClick(form1->ListView1);
    answerEntryDialog([](TForm4& d) { typePassword(d, "wrong"); });
    form1->ListView1DblClick(form1->ListView1);
    EXPECT_FALSE(form3->isVisible());
    const QStringList texts = messages.texts();
    ASSERT_GE(texts.size(), 4);
    EXPECT_EQ(texts.mid(0, 4),
              QStringList({QStringLiteral("이 파일이 존재하지 않습니다."), QStringLiteral("암호 입력을 취소했습니다."),
                           QStringLiteral("암호를 입력하세요."), QStringLiteral("암호가 틀렸습니다.")}));

    // An archive without its body: the open stops without showing the editor.
    makeEntry(QStringLiteral("일기"), "4", "bodiless|K|N|other.htm", "{\\rtf1 x}");
    menuItem(QStringLiteral("일기"))->trigger();
    select(rowOf("4"));
    form1->ListView1DblClick(form1->ListView1);
    EXPECT_TRUE(messages.texts().last().startsWith("Error in Extract; Fatal DLL Exception in mainunit\n"));
    EXPECT_FALSE(form3->isVisible());

    // An archive the component cannot read: one message that names it and says why. This was
    // "Message texts are not linked into the program / Missing message number: 11036", then
    // "이 파일이 존재하지 않습니다." about a file that exists.
    const qsizetype before = messages.texts().size();
    select(rowOf("2"));
    form1->ListView1DblClick(form1->ListView1);
    ASSERT_EQ(messages.texts().size(), before + 1);
    const QString said = messages.texts().last();
    EXPECT_TRUE(said.startsWith(QStringLiteral("\"2.zip\" 파일을 압축 파일로 읽을 수 없습니다.")))
        << said.toStdString();
    EXPECT_TRUE(said.contains("11036")) << said.toStdString();
    EXPECT_FALSE(said.contains("Missing message number"));
    EXPECT_FALSE(form3->isVisible());
}

TEST_F(JourneyTest, TwoSavesUnderANewNameInOneSecondGetDistinctArchives) {
    form1->ToolButton3Click();
    type("text");
    answerEntryDialog(newEntry("one", ""));
    answerEntryDialog(newEntry("two", ""));
    form3->N11Click();
    form3->N11Click();
    const QStringList names = archives();
    ASSERT_EQ(names.size(), 2);
    // Unless the clock turned between the two saves, the second name is the first with "_".
    if (names[0].left(14) == names[1].left(14)) {
        EXPECT_EQ(names[1], names[0].left(14) + "_.zip");
    }
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 2);
    EXPECT_EQ(form1->CountText(), QStringLiteral("총 2개    "));
    // The document now belongs to the second entry: a plain save writes into it.
    type(" more");
    form3->N10Click();
    EXPECT_EQ(archives().size(), 2);
    EXPECT_EQ(pendingDialogAnswers(), 0u);
    EXPECT_TRUE(sevenZipBody(category() + names[1], "").contains("more"));
}

TEST_F(JourneyTest, CancelledOrUntitledNewEntriesWriteNothing) {
    form1->ToolButton3Click();
    type("text");
    answerEntryDialog([](TForm4& d) { d.Button2->click(); });
    form3->N10Click();
    answerEntryDialog(newEntry("", ""));
    form3->N10Click();
    EXPECT_TRUE(archives().isEmpty());
    EXPECT_EQ(form3->modifiedMark(), "*");
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(JourneyTest, CtrlNStartsANewDocumentAndNeverSavesAs) {
    form1->ToolButton3Click();
    QApplication::setActiveWindow(form3.get());
    type("draft");
    editor().richWindow().setFocus();
    // Unsaved text is offered for saving first. This was dropped without a question.
    messages.queue(MsgAnswer::Cancel);
    QTest::keyClick(&editor().richWindow(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].text, QStringLiteral("변경된 내용을 저장 하시겠습니까?"));
    EXPECT_EQ(messages.requests()[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(editor().Text(), "draft");  // cancelled: kept
    messages.queue(MsgAnswer::No);
    QTest::keyClick(&editor().richWindow(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(editor().Text(), "");
    EXPECT_TRUE(form3->isNewEntry());
    EXPECT_EQ(pendingDialogAnswers(), 0u);
    EXPECT_TRUE(archives().isEmpty());
}

TEST_F(JourneyTest, UpperCaseHtmOpensAsAFileAndLowerCaseInTheWebView) {
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("PAGE.HTM"), "<html><body>upper</body></html>");
    form1->ToolButton3Click();
    form3->openFile(dir.filePath("PAGE.HTM"));
    EXPECT_FALSE(form3->isWebBody());
    EXPECT_TRUE(editor().Text().contains("upper"));

    tk::test::writeFile(dir.filePath("page.html"), "<html><body>lower</body></html>");
    tk::test::writeFile(dir.filePath("page_files/pic.txt"), "beside the page");
    form3->openFile(dir.filePath("page.html"));
    EXPECT_TRUE(form3->isWebBody());
    EXPECT_TRUE(form3->isNewEntry());
    EXPECT_EQ(form3->modifiedMark(), "*");

    // Saved as a web entry: the page's folder goes into the archive with its sub-folders.
    answerEntryDialog(newEntry("web page", "web"));
    form3->N10Click();
    ASSERT_EQ(archives().size(), 1);
    EXPECT_EQ(commentOf(archives().first()), "web page|web|N|page.html");
    QProcess list;
    list.start("7z", {"l", category() + archives().first()});
    ASSERT_TRUE(list.waitForFinished(60000));
    const QString listing = QString::fromUtf8(list.readAllStandardOutput());
    EXPECT_TRUE(listing.contains("page_files/pic.txt")) << listing.toStdString();

    // Opened again, it shows in the web view from the scratch folder.
    form3->FormClose();
    select(0);
    form1->ListView1DblClick(form1->ListView1);
    EXPECT_TRUE(form3->isWebBody());
    EXPECT_EQ(form3->webDocPath(), home() + "TEMP/page.html");
    EXPECT_TRUE(QFile::exists(home() + "TEMP/page_files/pic.txt"));
}

TEST_F(JourneyTest, UnsavedChangesAreOfferedOnCloseAndBeforeOpeningAnother) {
    makeEntry(QStringLiteral("일기"), "1", "first|K|N|TKFile.rtf", "{\\rtf1 one}");
    makeEntry(QStringLiteral("일기"), "2", "second|K|N|TKFile.rtf", "{\\rtf1 two}");
    menuItem(QStringLiteral("일기"))->trigger();
    select(0);
    form1->ListView1DblClick(form1->ListView1);
    type(" more");
    select(1);
    messages.queue(MsgAnswer::Yes);
    form1->ListView1DblClick(form1->ListView1);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].text, QStringLiteral("변경된 내용을 저장 하시겠습니까?"));
    EXPECT_EQ(messages.requests()[0].caption, "TKEDIT");
    EXPECT_TRUE(sevenZipBody(category() + "1.zip", "").contains("more"));  // saved into the first entry
    EXPECT_TRUE(editor().Text().contains("two"));

    // Answered No: the changes go, the editor still closes.
    type(" dropped");
    messages.queue(MsgAnswer::No);
    form3->close();
    EXPECT_FALSE(form3->isVisible());
    EXPECT_FALSE(sevenZipBody(category() + "2.zip", "").contains("dropped"));

    // Closing the main window asks too, before the scratch folder is emptied.
    form1->ListView1DblClick(form1->ListView1);
    type(" kept");
    messages.queue(MsgAnswer::Yes);
    form1->close();
    EXPECT_EQ(messages.requests().size(), 3);
    EXPECT_TRUE(sevenZipBody(category() + "2.zip", "").contains("kept"));
}
