// Moving documents in and out of the editor: nothing unsaved is replaced without asking, an
// entry cannot point the editor outside the scratch folder, a saved page takes only its own files,
// and the keys do what they say.
#include "app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

#include "editor/web_view.h"

using namespace tk;
using tk::test::AppFixture;

namespace {

std::function<void(TForm4&)> titled(const QString& title) {
    return [=](TForm4& d) {
        d.Edit1->setText(title);
        d.Button1->click();
    };
}

// The members of an archive, as Python's zipfile lists them.
QStringList membersOf(const QString& archive) {
    QProcess p;
    p.start("python3",
            {"-c", "import sys,zipfile; print('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))", archive});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        return {};
    }
    QStringList names = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

}  // namespace

class EditorDocumentTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
        ASSERT_TRUE(start());
        form1->show();
        pickCategory(QStringLiteral("일기"));
    }
    QStringList archives() const { return archivesIn(QStringLiteral("일기")); }
    QString archive(const QString& name) const { return library() + QStringLiteral("일기/") + name; }
    // The next file dialog chooses path (or is cancelled when path is empty); counts that it came.
    void chooseInFileDialog(const QString& path) {
        auto* poll = new QTimer(form3.get());
        QObject::connect(poll, &QTimer::timeout, form3.get(), [this, path, poll] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                return;
            }
            poll->deleteLater();
            poll->stop();
            ++fileDialogs_;
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        poll->start(10);
        polls_.append(poll);
    }
    void stopWatchingFileDialogs() {
        for (QTimer* poll : polls_) {
            if (poll) {
                poll->stop();
            }
        }
        polls_.clear();
    }
    void TearDown() override {
        stopWatchingFileDialogs();
        AppFixture::TearDown();
    }
    QList<QPointer<QTimer>> polls_;
    void newDocumentWith(const QString& text) {
        click(form1->ToolButton3);
        typeInEditor(text);
    }
    int fileDialogs_ = 0;
};

TEST_F(EditorDocumentTest, OpenAndNewAskBeforeReplacingUnsavedText) {
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("other.rtf"), "{\\rtf1 from disk}");
    newDocumentWith("draft");

    // Ctrl+O: cancelled at the question, no file dialog, the draft stays.
    messages.queue(MsgAnswer::Cancel);
    chooseInFileDialog({});
    pressInEditor(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].text, QStringLiteral("변경된 내용을 저장 하시겠습니까?"));
    EXPECT_EQ(messages.requests()[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(fileDialogs_, 0);
    EXPECT_EQ(form3->RichEdit1->Text(), "draft");
    stopWatchingFileDialogs();

    // The main window's "새로 만들기": the same question; cancelled, the draft stays.
    messages.queue(MsgAnswer::Cancel);
    click(form1->ToolButton3);
    EXPECT_EQ(messages.requests().size(), 2);
    EXPECT_EQ(form3->RichEdit1->Text(), "draft");

    // Yes saves first (as a new entry), then the file is opened.
    messages.queue(MsgAnswer::Yes);
    answerEntryDialog(titled("kept draft"));
    chooseInFileDialog(dir.filePath("other.rtf"));
    pressInEditor(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(fileDialogs_, 1);
    ASSERT_EQ(archives().size(), 1);
    EXPECT_TRUE(sevenZipBody(archive(archives().first()), "").contains("draft"));
    EXPECT_EQ(form3->RichEdit1->Text(), "from disk");
    // Opened into the entry it was saved as: closing offers to save it there.
    EXPECT_EQ(form3->modifiedMark(), "*");
}

TEST_F(EditorDocumentTest, TheWebViewsNewButtonAsksToo) {
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("page.html"), "<html><body>page</body></html>");
    click(form1->ToolButton3);
    form3->openFile(dir.filePath("page.html"));
    ASSERT_TRUE(form3->isWebBody());
    messages.queue(MsgAnswer::Cancel);
    click(form3->htmlPanel->ToolButton1);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].text, QStringLiteral("변경된 내용을 저장 하시겠습니까?"));
    EXPECT_TRUE(form3->isWebBody());
    messages.queue(MsgAnswer::No);
    click(form3->htmlPanel->ToolButton1);
    EXPECT_FALSE(form3->isWebBody());
    EXPECT_TRUE(archives().isEmpty());
}

TEST_F(EditorDocumentTest, AnEntryNamingADocumentOutsideTheScratchFolderIsNotOpened) {
    tk::test::writeFile(home() + "x.html", "<html><body>outside</body></html>");
    makeEntry(QStringLiteral("일기"), "1", "evil|K|N|../x.html", "{\\rtf1 x}");
    makeEntry(QStringLiteral("일기"), "2", "deep|K|N|sub/page.html", "{\\rtf1 x}");
    pickCategory(QStringLiteral("일기"));
    for (int row = 0; row < 2; ++row) {
        openRow(row);
        // This was the page outside the scratch folder shown in the web view.
        EXPECT_FALSE(form3->isVisible());
        ASSERT_EQ(messages.texts().size(), row + 1);
        EXPECT_TRUE(messages.texts().last().contains(QStringLiteral("올바른 파일 이름이 아니어서 열지 않았습니다")))
            << messages.texts().last().toStdString();
        EXPECT_TRUE(form3->webDocPath().isEmpty());
    }
}

TEST_F(EditorDocumentTest, ASavedPageTakesItsOwnFilesOnly) {
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("page.html"),
                        "<html><body><img src=\"img/a.png\"><a href=\"notes.txt\">n</a>"
                        "<img src=\"../outside.png\"></body></html>");
    tk::test::writeFile(dir.filePath("page_files/style.css"), "p {}");
    tk::test::writeFile(dir.filePath("img/a.png"), "png");
    tk::test::writeFile(dir.filePath("notes.txt"), "notes");
    tk::test::writeFile(dir.filePath("unrelated.txt"), "not the page's");
    tk::test::writeFile(dir.filePath("photos/big.jpg"), "not the page's either");
    click(form1->ToolButton3);
    form3->openFile(dir.filePath("page.html"));
    answerEntryDialog(titled("page"));
    click(form3->htmlPanel->ToolButton2);
    ASSERT_EQ(archives().size(), 1);
    // This was the whole folder with everything below it.
    EXPECT_EQ(membersOf(archive(archives().first())),
              QStringList({"img/a.png", "notes.txt", "page.html", "page_files/style.css"}));
}

TEST_F(EditorDocumentTest, APageOfMoreThanFiftyMegabytesIsSavedOnlyWhenTheUserAgrees) {
    QTemporaryDir dir;
    tk::test::writeFile(dir.filePath("page.html"), "<html><body>big</body></html>");
    QFile big(dir.filePath("page_files/movie.bin"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("page_files")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(51LL * 1024 * 1024));  // sparse: costs no disk
    big.close();
    click(form1->ToolButton3);
    form3->openFile(dir.filePath("page.html"));
    answerEntryDialog(titled("big page"));
    messages.queue(MsgAnswer::No);
    click(form3->htmlPanel->ToolButton2);
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.texts().first().contains("52 MB")) << messages.texts().first().toStdString();
    EXPECT_TRUE(archives().isEmpty());
    EXPECT_EQ(form3->modifiedMark(), "*");
    EXPECT_TRUE(form3->isNewEntry());
}

TEST_F(EditorDocumentTest, CtrlShiftZRedoes) {
    newDocumentWith("abc");
    pressInEditor(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form3->RichEdit1->Text(), "");
    // This was a second undo.
    pressInEditor(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form3->RichEdit1->Text(), "abc");
    pressInEditor(Qt::Key_Z, Qt::ControlModifier);
    pressInEditor(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form3->RichEdit1->Text(), "abc");
}

// The date and time go over the selection in Korean, on the 12-hour clock, and stay selected so
// that typing replaces them.
TEST_F(EditorDocumentTest, DateAndTimeAreWrittenInKoreanAndStaySelected) {
    newDocumentWith(QStringLiteral("오늘 "));
    const QDate day(2026, 12, 7);  // a Monday
    const std::pair<QTime, QString> times[] = {
        {QTime(10, 45), QStringLiteral("2026.12.07.월요일 10:45 오전")},
        {QTime(0, 5), QStringLiteral("2026.12.07.월요일 12:05 오전")},
        {QTime(13, 0), QStringLiteral("2026.12.07.월요일 01:00 오후")},
    };
    for (const auto& [time, text] : times) {
        form3->Now = [=] { return QDateTime(day, time); };
        form3->N30->trigger();
        EXPECT_EQ(form3->RichEdit1->SelectedText(), text);
        EXPECT_EQ(form3->RichEdit1->Text(), QStringLiteral("오늘 ") + text);
    }
    typeText(editorText(), QStringLiteral("월"));
    EXPECT_EQ(form3->RichEdit1->Text(), QStringLiteral("오늘 월"));
    // Its place in the menu: after the palette, before the file commands' separator.
    const QList<QAction*> items = form3->PopupMenu1->actions();
    const auto at = items.indexOf(form3->N30);
    ASSERT_GT(at, 0);
    EXPECT_EQ(items[at - 1], form3->N27);
    EXPECT_TRUE(items[at + 1]->isSeparator());
}
