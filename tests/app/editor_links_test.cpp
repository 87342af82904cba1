// The editor's links and insertions: clicked links open the files and addresses they name, file
// links written by the menu open again, pictures go in whole or not at all.
#include "app_fixture.h"

#include "platform/ole_objects.h"
#include "platform/shell_open.h"

#include <QClipboard>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTextCursor>

#include <optional>

using namespace tk;
using tk::test::AppFixture;
using tk::test::writeFile;

namespace {

// A picture object that records the calls made on its picture interface and fails the one named.
class FakeImage final : public ole::OleObject, public ole::IQEImage {
  public:
    FakeImage(QStringList* log, QString failing) : log_(log), failing_(std::move(failing)) {}
    QString className() const override { return QString::fromLatin1(ole::kImageClassName); }
    QUuid classId() const override { return {}; }
    QString fullTypeName() const override { return QStringLiteral("Picture"); }
    QString shortTypeName() const override { return QStringLiteral("Picture"); }
    QList<ole::OleVerb> verbs() const override { return {}; }
    ole::HRESULT doVerb(int, QWidget*) override { return ole::S_OK; }
    QByteArray save() const override { return {}; }
    ole::HRESULT load(const QByteArray&) override { return ole::S_OK; }
    QImage picture() const override { return {}; }
    QSize extentTwips() const override { return {300, 300}; }
    void* queryInterface(const QUuid& iid) override {
        return iid == ole::IID_IQEImage && failing_ != QLatin1String("interface") ? static_cast<IQEImage*>(this)
                                                                                  : nullptr;
    }
    ole::HRESULT LoadFromFile(const QString& fileName) override { return record("LoadFromFile " + fileName); }
    ole::HRESULT SetUpdating(bool updating) override { return record("SetUpdating " + QString::number(updating)); }
    ole::HRESULT SetAutoSize(bool autoSize) override { return record("SetAutoSize " + QString::number(autoSize)); }

  private:
    ole::HRESULT record(const QString& call) {
        log_->append(call);
        return call.startsWith(failing_) && !failing_.isEmpty() ? ole::E_FAIL : ole::S_OK;
    }
    QStringList* log_;
    QString failing_;
};

}  // namespace

class EditorLinksTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
        ASSERT_TRUE(start());
        form1->show();
        pickCategory(QStringLiteral("일기"));
        click(form1->ToolButton3);
        ASSERT_TRUE(form3->isVisible());
        setShellLauncher([this](const QUrl& url) {
            launches.append(url);
            return launchResult;
        });
        // The picture server the start registered from its plugin, kept for the tests that use it.
        if (const ole::ServerClass* real =
                ole::ObjectServers::instance().find(QString::fromLatin1(ole::kImageClassName))) {
            realPictures = *real;
        }
        ole::ObjectServers::instance().unregisterClass(QString::fromLatin1(ole::kImageClassName));
    }
    void TearDown() override {
        setShellLauncher({});
        ole::ObjectServers::instance().unregisterClass(QString::fromLatin1(ole::kImageClassName));
        AppFixture::TearDown();
    }

    // Shows text in the editor and clicks its character at offset.
    void clickAt(const QString& text, int offset) {
        form3->RichEdit1->SetText(text);
        QApplication::processEvents();
        auto& w = form3->RichEdit1->richWindow();
        QTextCursor a(w.document());
        a.setPosition(offset);
        QTextCursor b(w.document());
        b.setPosition(offset + 1);
        const QPoint at((w.cursorRect(a).left() + w.cursorRect(b).left()) / 2, w.cursorRect(a).center().y());
        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, at);
    }
    void clickLink(const QString& link) { clickAt(QStringLiteral("see ") + link + QStringLiteral(" now"), 6); }
    QUrl opened(const QString& path) const { return QUrl::fromLocalFile(path); }

    // The picture class, its objects failing the named call.
    void registerPictures(const QString& failing = {}, bool creates = true) {
        ole::ServerClass picture;
        picture.name = QString::fromLatin1(ole::kImageClassName);
        picture.create = [this, failing, creates]() -> std::unique_ptr<ole::OleObject> {
            return creates ? std::make_unique<FakeImage>(&calls, failing) : nullptr;
        };
        ole::ObjectServers::instance().registerClass(picture);
    }
    // Answers the picture dialog with path; records what it was given.
    void choosePicture(const QString& path) {
        form3->OpenPictureDialog1 = [this, path](const QString& folder, const QString& filter) {
            dialogFolder = folder;
            dialogFilter = filter;
            return path;
        };
    }
    // Types "abcd" and selects "bc".
    void selectInText() {
        typeInEditor(QStringLiteral("abcd"));
        form3->RichEdit1->SetModified(false);
        form3->setModifiedMark(false);
        form3->RichEdit1->SetSelectionRange(1, 3, false);
    }
    // Closes the next modal dialog, keeping its title; empty when none came.
    QString closeNextDialog(const std::function<void()>& action) {
        QString title;
        QTimer::singleShot(200, form3.get(), [&title] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                title = dialog->windowTitle().isEmpty() ? QStringLiteral("(untitled)") : dialog->windowTitle();
                dialog->close();
            }
        });
        action();
        QTest::qWait(300);
        return title;
    }

    std::optional<ole::ServerClass> realPictures;
    QList<QUrl> launches;
    bool launchResult = true;
    QStringList calls;
    QString dialogFolder;
    QString dialogFilter;
};

TEST_F(EditorLinksTest, FileLinksOpenTheirFilesWithSpacesMacroAndAnyCase) {
    writeFile(home() + "ex dir/ex file.zip", "zip");
    writeFile(home() + "A.TXT", "upper");
    writeFile(home() + "doc/My Notes.txt", "notes");
    clickLink(QStringLiteral("file:///[TK]/ex\"dir/ex\"file.zip"));
    // This was a missing message: a link written in upper case on a case-insensitive file system
    // names no file on this one.
    clickLink(QStringLiteral("file:\\\\[tk]\\a.txt"));
    clickLink(QStringLiteral("FILE:\\\\[TK]\\DOC\\MY\"NOTES.TXT"));
    EXPECT_EQ(launches, (QList<QUrl>{opened(home() + "ex dir/ex file.zip"), opened(home() + "A.TXT"),
                                     opened(home() + "doc/My Notes.txt")}));
    // With both names on disk, each link opens the one it names exactly.
    writeFile(home() + "a.txt", "lower");
    launches.clear();
    clickLink(QStringLiteral("file:\\\\[tk]\\a.txt"));
    clickLink(QStringLiteral("FILE:\\\\[TK]\\A.TXT"));
    // A folder opens in the file manager.
    clickLink(QStringLiteral("FILE:\\\\[TK]\\DOC"));
    // Of two folders that match, the one holding the file.
    ASSERT_TRUE(QDir().mkpath(home() + "Doc"));
    writeFile(home() + "dOC/Only.txt", "only");
    clickLink(QStringLiteral("FILE:\\\\[TK]\\Doc\\only.TXT"));
    EXPECT_EQ(launches, (QList<QUrl>{opened(home() + "a.txt"), opened(home() + "A.TXT"), opened(home() + "doc"),
                                     opened(home() + "dOC/Only.txt")}));
    EXPECT_TRUE(messages.requests().isEmpty()) << messages.texts().join('|').toStdString();
}

TEST_F(EditorLinksTest, MissingFilesAndNetworkPathsAreLookedUpAsWritten) {
    clickLink(QStringLiteral("FILE:\\\\[TK]\\none.txt"));
    clickLink(QStringLiteral("FILE:\\\\D:\\Data\\x.txt"));
    EXPECT_TRUE(launches.isEmpty());
    ASSERT_EQ(messages.requests().size(), 2);
    const QStringList first = messages.requests()[0].text.split('\n');
    EXPECT_EQ(first[0], QStringLiteral("FILE:\\\\[TK]\\none.txt가 없습니다."));
    EXPECT_EQ(first[1], QStringLiteral("(찾아본 곳: %1none.txt)").arg(home()));
    EXPECT_EQ(messages.requests()[1].text.split('\n')[0], QStringLiteral("FILE:\\\\D:\\Data\\x.txt가 없습니다."));

    // "file://server/share/x" loses its two slashes and is found below the current folder.
    QTemporaryDir cwd;
    writeFile(cwd.filePath("server/share/x"), "x");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(cwd.path()));
    clickLink(QStringLiteral("file://server/share/x"));
    QDir::setCurrent(previous);
    EXPECT_EQ(launches, QList<QUrl>{opened(cwd.filePath("server/share/x"))});
}

TEST_F(EditorLinksTest, ProgramsRunOnlyWhenTheUserAgrees) {
    writeFile(home() + "run.sh", "#!/bin/sh\n");
    QFile(home() + "run.sh").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    messages.queue(MsgAnswer::No);
    clickLink(QStringLiteral("FILE:\\\\[TK]\\run.sh"));
    EXPECT_TRUE(launches.isEmpty());
    ASSERT_EQ(messages.requests().size(), 1);  // the question and nothing after the "no"
    EXPECT_EQ(messages.requests()[0].buttons, MsgButtons::YesNo);
    // This was launched without a question: a "file:" address with one slash is no file link.
    messages.queue(MsgAnswer::No);
    clickLink(QStringLiteral("file:") + home() + QStringLiteral("run.sh"));
    EXPECT_TRUE(launches.isEmpty());
    EXPECT_EQ(messages.requests().size(), 2);
    messages.queue(MsgAnswer::Yes);
    clickLink(QStringLiteral("FILE:\\\\[TK]\\run.sh"));
    EXPECT_EQ(launches, QList<QUrl>{opened(home() + "run.sh")});
}

TEST_F(EditorLinksTest, WebLinksGoToTheDesktopUnchanged) {
    clickLink(QStringLiteral("http://a.kr/x%20y?q=1&r=%ED%95%9C"));
    clickLink(QStringLiteral("www.b.kr/p"));
    ASSERT_EQ(launches.size(), 2);
    EXPECT_EQ(launches[0].toString(QUrl::FullyEncoded), QStringLiteral("http://a.kr/x%20y?q=1&r=%ED%95%9C"));
    EXPECT_EQ(launches[1].toString(QUrl::FullyEncoded), QStringLiteral("http://www.b.kr/p"));
    EXPECT_TRUE(messages.requests().isEmpty());
    // This was silence: the desktop says nothing when it has no program for an address.
    launchResult = false;
    clickLink(QStringLiteral("ftp://c.kr/f"));
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.requests()[0].text.startsWith(QStringLiteral("실행할 수 없습니다.\nftp://c.kr/f\n")));
}

TEST_F(EditorLinksTest, FileLinksWrittenByTheMenuOpenTheSameFile) {
    QTemporaryDir outside;
    const QString twice = home() + home().mid(1);  // the program folder's path again below it
    const QList<std::pair<QString, QString>> cases = {
        // This was upper case, which names no file on a case-sensitive file system.
        {home() + "doc/My Notes.txt", QStringLiteral("FILE:\\\\[TK]\\doc\\My\"Notes.txt")},
        // This was "[TK]\" for both, a link to a file that does not exist.
        {twice + "a.txt", QStringLiteral("FILE:\\\\[TK]\\") + home().mid(1).replace('/', '\\') + "a.txt"},
        // This was a relative path: the link's third backslash, the root, was dropped.
        {outside.filePath("a b.txt"), QStringLiteral("FILE:\\\\") + outside.filePath("a\"b.txt").replace('/', '\\')},
    };
    for (const auto& [path, link] : cases) {
        writeFile(path, "x");
        form3->OpenDialog1 = [&](const QString&, const QString& filter) {
            dialogFilter = filter;
            return path;
        };
        form3->RichEdit1->SetText(QStringLiteral("x  y"));
        form3->RichEdit1->SetSelectionRange(2, 2, false);
        form3->N31->trigger();
        EXPECT_EQ(dialogFilter, QStringLiteral("모든 파일 (*)"));
        EXPECT_EQ(form3->RichEdit1->Text(), "x " + link + " y");
        EXPECT_EQ(form3->RichEdit1->SelectedText(), link);
        launches.clear();
        clickLink(link);
        EXPECT_EQ(launches, QList<QUrl>{opened(path)}) << link.toStdString();
    }
    // A name the link could not give back makes no link.
    form3->OpenDialog1 = [&](const QString&, const QString&) { return outside.filePath("say \"hi\".txt"); };
    form3->RichEdit1->SetText(QStringLiteral("x"));
    form3->N31->trigger();
    EXPECT_EQ(form3->RichEdit1->Text(), "x");
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.requests()[0].text.startsWith(QStringLiteral("이 파일에는 링크를 만들 수 없습니다.")));
}

TEST_F(EditorLinksTest, MenuOrderAndPasteSpecialKey) {
    const QList<QAction*> items = form3->PopupMenu1->actions();
    const qsizetype n5 = items.indexOf(form3->N5);
    EXPECT_EQ(items[n5 + 1], form3->N8);
    EXPECT_EQ(form3->N8->text(), QStringLiteral("선택하여 붙여넣기"));
    const qsizetype n31 = items.indexOf(form3->N31);
    EXPECT_EQ(items[n31 - 2], form3->N24);
    EXPECT_TRUE(items[n31 - 1]->isSeparator());
    const QList<QAction*> inserts = {form3->N31, form3->N12, form3->N7, form3->N27, form3->N30};
    EXPECT_EQ(items.mid(n31, 5), inserts);
    EXPECT_TRUE(items[n31 + 5]->isSeparator());
    EXPECT_EQ((QStringList{form3->N31->text(), form3->N12->text(), form3->N7->text()}),
              (QStringList{"파일 링크", "개체 넣기", "이미지 넣기"}));

    QApplication::clipboard()->setText(QStringLiteral("clip"));
    QSignalSpy pasteSpecial(form3->N8, &QAction::triggered);
    closeNextDialog([this] { pressInEditor(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier); });
    EXPECT_EQ(pasteSpecial.size(), 1);
    EXPECT_EQ(form3->RichEdit1->Text(), QString());  // no plain paste on the way
}

TEST_F(EditorLinksTest, PictureDialogStartsInTheProgramFolderWithEveryKind) {
    registerPictures();
    QStringList filters;
    QString folder;
    QTimer::singleShot(100, form3.get(), [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            filters = dialog->nameFilters();
            folder = dialog->directory().absolutePath() + '/';
            dialog->reject();
        }
    });
    form3->N7->trigger();
    EXPECT_EQ(folder, home());
    ASSERT_EQ(filters.size(), 10);
    EXPECT_EQ(filters[0], QStringLiteral("All (*.gif *.dib *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.png)"));
    EXPECT_EQ(filters[8], QStringLiteral("Device Independent Bitmap (*.dib)"));
    EXPECT_EQ(filters[9], QStringLiteral("PNG Image (*.png)"));
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(EditorLinksTest, PictureWithoutItsServerOrObjectSaysSoAndChangesNothing) {
    choosePicture(home() + "p.png");
    selectInText();
    form3->N7->trigger();
    EXPECT_TRUE(dialogFilter.isEmpty());  // no dialog for a picture that cannot go in
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(messages.requests()[0].text, QStringLiteral("그림을 넣을 수 없습니다. 프로그램의 그림 기능(그림 개체 "
                                                          "모듈)이 없습니다.\n프로그램을 다시 설치하십시오."));
    registerPictures({}, false);  // the server makes no object
    form3->N7->trigger();
    EXPECT_EQ(dialogFolder, home());
    ASSERT_EQ(messages.requests().size(), 2);
    EXPECT_TRUE(messages.requests()[1].text.startsWith(QStringLiteral("그림 개체를 만들 수 없습니다.")));
    EXPECT_EQ(form3->RichEdit1->Text(), "abcd");
    EXPECT_EQ(form3->RichEdit1->SelectedText(), "bc");
}

// These need the control's object insertion.
TEST_F(EditorLinksTest, PictureReplacesTheSelectionAndStaysSelected) {
    registerPictures();
    choosePicture(home() + "p.png");
    selectInText();
    form3->N7->trigger();
    EXPECT_EQ(calls,
              (QStringList{"SetUpdating 1", "LoadFromFile " + home() + "p.png", "SetUpdating 0", "SetAutoSize 1"}));
    EXPECT_TRUE(messages.requests().isEmpty());
    EXPECT_EQ(form3->RichEdit1->Text().size(), 3);
    EXPECT_EQ(form3->RichEdit1->TextRange(0, 1), "a");
    EXPECT_EQ(form3->RichEdit1->TextRange(2, 3), "d");
    EXPECT_EQ(form3->RichEdit1->SelectionStart(), 1);
    EXPECT_EQ(form3->RichEdit1->SelectionLength(), 1);
    ASSERT_TRUE(form3->RichEdit1->SelectedObjectPresent());
    ole::TReObject object;
    ASSERT_EQ(form3->RichEdit1->GetSelectedObject(object), ole::S_OK);
    EXPECT_EQ(object.dwFlags & 0xFFFF, 9u);
}

TEST_F(EditorLinksTest, ThePictureServerShowsAPictureAndRefusesAFileThatIsNone) {
    ASSERT_TRUE(realPictures.has_value()) << "the picture server's plugin was not loaded";
    ole::ObjectServers::instance().registerClass(*realPictures);
    writeFile(home() + "not.gif", "no picture");
    choosePicture(home() + "not.gif");
    selectInText();
    form3->N7->trigger();
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.texts()[0].startsWith(
        QStringLiteral("그림 파일(%1not.gif)을 읽을 수 없습니다. 다른 그림 파일을 고르십시오.\n(").arg(home())));
    EXPECT_EQ(form3->RichEdit1->Text(), "abcd");
    choosePicture(QStringLiteral(TK_TEST_DATA "/objects/pic.gif"));
    form3->N7->trigger();
    EXPECT_EQ(messages.requests().size(), 1);
    EXPECT_EQ(form3->RichEdit1->Text().size(), 3);
    ole::TReObject object;
    ASSERT_EQ(form3->RichEdit1->GetSelectedObject(object), ole::S_OK);
    EXPECT_FALSE(object.poleobj->picture().isNull());
}

TEST_F(EditorLinksTest, FailedPictureLeavesTheDocumentAsItWas) {
    const QList<std::pair<QString, QString>> cases = {
        {"LoadFromFile",
         QStringLiteral("그림 파일(%1p.png)을 읽을 수 없습니다. 다른 그림 파일을 고르십시오.").arg(home())},
        {"SetAutoSize", QStringLiteral("그림을 넣을 수 없습니다.\n개체 작업을 하지 못했습니다(오류 80004005).")},
        {"interface", QStringLiteral("그림 개체가 그림을 받지 못합니다.")},
    };
    for (const auto& [failing, message] : cases) {
        registerPictures(failing);
        choosePicture(home() + "p.png");
        form3->RichEdit1->SetText(QString());
        selectInText();
        const qsizetype before = messages.requests().size();
        form3->N7->trigger();
        ASSERT_EQ(messages.requests().size(), before + 1) << failing.toStdString();
        EXPECT_TRUE(messages.requests().last().text.startsWith(message)) << messages.texts().last().toStdString();
        EXPECT_EQ(form3->RichEdit1->Text(), "abcd");
        EXPECT_EQ(form3->RichEdit1->SelectedText(), "bc");
        EXPECT_FALSE(form3->isModified());
        EXPECT_EQ(form3->modifiedMark(), "-");
    }
}

TEST_F(EditorLinksTest, ObjectAndPasteSpecialDialogsOpen) {
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    EXPECT_FALSE(closeNextDialog([this] { form3->N12->trigger(); }).isEmpty());
    EXPECT_FALSE(
        closeNextDialog([this] { pressInEditor(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier); }).isEmpty());
}
