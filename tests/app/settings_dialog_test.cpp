// The settings and about dialog, through its widgets, and the settings it keeps.
#include "app/click_label.h"
#include "app/settings.h"
#include "app_fixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

using namespace tk;
using tk::test::AppFixture;

class SettingsDialogTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory("A");
        ASSERT_TRUE(start());
        form1->show();
        form5->ColorDialog1 = [this](const QColor& initial, QWidget*) {
            offered.append(initial);
            return picks.isEmpty() ? QColor() : picks.takeFirst();
        };
        form5->OpenLink = [this](const QUrl& link) {
            opened.append(link.toString());
            return linksOpen;
        };
    }

    // Opens the dialog with its toolbar button and runs action inside it; a dialog the action
    // leaves open is cancelled.
    void inDialog(const std::function<void()>& action) {
        QTimer::singleShot(0, form5.get(), [this, action] {
            ASSERT_TRUE(form5->isVisible());
            action();
            if (form5->isVisible()) {
                form5->reject();
            }
        });
        click(form1->ToolButton5);
    }
    // A check box reacts to clicks on its box and caption only: the box is at its left.
    void clickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }
    void clickLabel(QLabel* label) { QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center()); }
    void showPage(int page) {
        QTabBar* tabs = form5->PageControl1->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
    }
    QColor listColor(QPalette::ColorRole role) const { return form1->ListView1->palette().color(role); }

    QList<QColor> picks;  // what the colour dialog answers, in turn; an invalid colour when none is left
    QList<QColor> offered;
    QStringList opened;
    bool linksOpen = true;
};

TEST_F(SettingsDialogTest, TheCaptionFollowsThePageAndTheNextShowingStartsThere) {
    inDialog([&] {
        EXPECT_EQ(form5->PageControl1->currentWidget(), form5->TabSheet2);
        EXPECT_EQ(form5->windowTitle(), QStringLiteral("TOMEKEEP 정보"));
        showPage(0);
        EXPECT_EQ(form5->windowTitle(), QStringLiteral("TOMEKEEP 설정"));
        click(form5->Button2);
    });
    inDialog([&] {
        EXPECT_EQ(form5->PageControl1->currentWidget(), form5->TabSheet1);
        EXPECT_EQ(form5->windowTitle(), QStringLiteral("TOMEKEEP 설정"));
        showPage(1);
        EXPECT_EQ(form5->windowTitle(), QStringLiteral("TOMEKEEP 정보"));
    });
}

TEST_F(SettingsDialogTest, ACancelledPickOrCancelledDialogChangesNothing) {
    const QColor navy(0, 0, 0x80);
    picks = {QColor()};
    inDialog([&] {
        showPage(0);
        clickLabel(form5->ListColor1);
        EXPECT_EQ(form5->swatchColor(form5->ListColor1), 0x00800000u);
        picks = {Qt::red, Qt::green};
        clickLabel(form5->ListColor1);
        clickLabel(form5->EditColor2);
        EXPECT_EQ(form5->swatchColor(form5->ListColor1), 0x000000FFu);
        EXPECT_EQ(form5->ListColor1->palette().color(QPalette::Window), QColor(Qt::red));
        clickBox(form5->EditWordCheck);
        clickBox(form5->EditUpCheck);
        click(form5->Button2);
    });
    // The dialog opened on the swatch's colour each time.
    EXPECT_EQ(offered, QList<QColor>({navy, navy, QApplication::palette().color(QPalette::Text)}));
    EXPECT_EQ(listColor(QPalette::Base), navy);
    EXPECT_EQ(form3->editorFontColor(), QApplication::palette().color(QPalette::Text));
    EXPECT_TRUE(form3->wordWrap());
    EXPECT_FALSE(form3->stayOnTop());
    // The next showing shows the live colours, not the cancelled picks.
    inDialog([&] {
        EXPECT_EQ(form5->swatchColor(form5->ListColor1), 0x00800000u);
        EXPECT_EQ(form5->swatchColor(form5->EditColor2), 0x80000008u);
        EXPECT_TRUE(form5->EditWordCheck->isChecked());
        EXPECT_FALSE(form5->EditUpCheck->isChecked());
    });
}

TEST_F(SettingsDialogTest, OkAppliesEverySwatchAndBothEditorOptionsAndTheyAreKept) {
    picks = {QColor(1, 2, 3), QColor(4, 5, 6), Qt::white, QColor(7, 8, 9)};
    inDialog([&] {
        showPage(0);
        for (ClickLabel* swatch : {form5->ListColor1, form5->ListColor2, form5->EditColor1, form5->EditColor2}) {
            clickLabel(swatch);
        }
        clickBox(form5->EditWordCheck);
        clickBox(form5->EditUpCheck);
        click(form5->Button1);
    });
    EXPECT_EQ(listColor(QPalette::Base), QColor(1, 2, 3));
    EXPECT_EQ(listColor(QPalette::Text), QColor(4, 5, 6));
    EXPECT_EQ(form3->editorWindowColor(), QColor(Qt::white));
    EXPECT_EQ(form3->editorFontColor(), QColor(7, 8, 9));
    EXPECT_FALSE(form3->wordWrap());
    EXPECT_TRUE(form3->stayOnTop());
    // The find results keep their own colours.
    EXPECT_NE(form1->FindList->palette().color(QPalette::Base), QColor(1, 2, 3));

    ASSERT_TRUE(form1->close());
    RegistryStore after;
    ASSERT_TRUE(after.load());
    const QString color = QStringLiteral("Software\\TOMEKEEP\\Color");
    EXPECT_EQ(after.readInteger(color, "ListWindowColor", 0), 0x00030201u);
    EXPECT_EQ(after.readInteger(color, "ListFontColor", 0), 0x00060504u);
    // White picked by the user is white, not the system's window colour that happens to be white.
    EXPECT_EQ(after.readInteger(color, "EditWindowColor", 0), 0x00FFFFFFu);
    EXPECT_EQ(after.readInteger(color, "EditFontColor", 0), 0x00090807u);

    destroyWindows();
    ASSERT_TRUE(start());
    form1->show();
    EXPECT_EQ(listColor(QPalette::Base), QColor(1, 2, 3));
    EXPECT_EQ(form3->editorFontColor(), QColor(7, 8, 9));
    EXPECT_FALSE(form3->wordWrap());
    EXPECT_TRUE(form3->stayOnTop());
}

TEST_F(SettingsDialogTest, EnterCancels) {
    inDialog([&] {
        showPage(0);
        clickBox(form5->EditWordCheck);
        form5->EditWordCheck->setFocus();
        QTest::keyClick(form5->EditWordCheck, Qt::Key_Return);
        EXPECT_FALSE(form5->isVisible());
        EXPECT_EQ(form5->result(), QDialog::Rejected);
    });
    EXPECT_TRUE(form3->wordWrap());
}

TEST_F(SettingsDialogTest, TheTrashOptionTakesEffectAtOnceEvenWhenCancelled) {
    makeEntry("A", "1", "one|K|N|TKFile.rtf", "{\\rtf1 one}");
    pickCategory("A");
    inDialog([&] {
        showPage(0);
        EXPECT_TRUE(form5->delCheck->isChecked());
        clickBox(form5->delCheck);
        click(form5->Button2);
    });
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    clickRow(0);
    messages.queue(MsgAnswer::Yes);
    QTest::keyClick(form1->ListView1, Qt::Key_Delete);
    qunsetenv("XDG_DATA_HOME");
    EXPECT_TRUE(archivesIn("A").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(data.filePath("Trash/files/1.zip")));
    // Kept as "0" at close, and unticked at the next start.
    ASSERT_TRUE(form1->close());
    RegistryStore after;
    ASSERT_TRUE(after.load());
    EXPECT_EQ(after.value("Software\\TOMEKEEP\\Book", "DeleteFile")->text, "0");
    destroyWindows();
    ASSERT_TRUE(start());
    form1->show();
    inDialog([&] { EXPECT_FALSE(form5->delCheck->isChecked()); });
}

TEST_F(SettingsDialogTest, TheAboutPageCreditsOpenThroughTheShell) {
    inDialog([&] {
        EXPECT_TRUE(form5->Label2->text().contains("Qt"));
        EXPECT_TRUE(form5->Label3->text().contains("libzip"));
        EXPECT_TRUE(form5->Label2->font().underline());
        EXPECT_EQ(form5->Label2->cursor().shape(), Qt::PointingHandCursor);
        clickLabel(form5->Label2);
        clickLabel(form5->Label3);
        linksOpen = false;
        clickLabel(form5->Label3);
    });
    EXPECT_EQ(opened, QStringList({"https://www.qt.io/", "https://libzip.org/", "https://libzip.org/"}));
    EXPECT_EQ(messages.texts(),
              QStringList({QStringLiteral("https://libzip.org/ 을(를) 열지 못했습니다.\n웹 브라우저가 "
                                          "설치되어 있는지 확인한 뒤 다시 눌러 주세요.")}));
}

TEST_F(SettingsDialogTest, TheTipsShowTheDoubleQuotesThatStandForSpaces) {
    QStringList tips;
    for (const QLabel* tip : form5->GroupBox2->findChildren<QLabel*>()) {
        tips.append(tip->text());
    }
    ASSERT_EQ(tips.size(), 5);
    // This was "the folder TOMEKEEP is installed in": "[TK]" is the folder of the library, which is
    // the per-user data folder unless the program is a portable copy.
    EXPECT_EQ(tips[0], QStringLiteral("\"file:///[TK]/\"  TOMEKEEP의 자료 폴더(LIST 폴더가 있는 곳)를 돌려줌"));
    EXPECT_EQ(tips[1], QStringLiteral("사용예: file:///[TK]/ex\"dir/ex\"file.zip"));
}

// Settings as they are read at the first showing and written at close.
TEST_F(SettingsDialogTest, AFirstStartWritesEveryValueOnClose) {
    ASSERT_TRUE(form1->close());
    RegistryStore after;
    ASSERT_TRUE(after.load());
    const QString book = QStringLiteral("Software\\TOMEKEEP\\Book");
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "ListWindowColor", 1), 0x00800000u);
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "ListFontColor", 1), 0x00C0C0C0u);
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "EditWindowColor", 1), 0x80000005u);
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "EditFontColor", 1), 0x80000008u);
    EXPECT_EQ(after.value(book, "List")->text, QString());
    EXPECT_EQ(after.value(book, "Name")->text, QString());
    EXPECT_EQ(after.readInteger(book, "0Width", 1), 460u);
    EXPECT_EQ(after.readInteger(book, "1Width", 1), 100u);
    EXPECT_EQ(after.readInteger(book, "2Width", 1), 100u);
    EXPECT_EQ(after.value(book, "DeleteFile")->text, "1");
    EXPECT_EQ(after.value("Software\\TOMEKEEP\\Edit", "WordWrap")->text, "1");
    EXPECT_EQ(after.value("Software\\TOMEKEEP\\Edit", "OnTop")->text, "0");
}

TEST_F(SettingsDialogTest, DamagedValuesGiveTheDefaultsInsteadOfABrokenWindow) {
    destroyWindows();
    RegistryStore store;
    ASSERT_TRUE(
        store.parse("[Software\\TOMEKEEP\\Color]\n\"ListWindowColor\"=dword:01000000\n"
                    "\"ListFontColor\"=dword:80000063\n\"EditWindowColor\"=\"blue\"\n"
                    "[Software\\TOMEKEEP\\Book]\n\"0Width\"=\"-5\"\n\"1Width\"=dword:000186a0\n"
                    "\"2Width\"=\"120\"\n"));
    ASSERT_TRUE(store.save());
    ASSERT_TRUE(start());
    form1->show();
    // This was a black list with a 4,000-pixel title column and another one past the window.
    EXPECT_EQ(listColor(QPalette::Base), QColor(0, 0, 0x80));
    EXPECT_EQ(listColor(QPalette::Text), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(form3->editorWindowColor(), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(form1->ListView1->header()->sectionSize(0), 460);
    EXPECT_EQ(form1->ListView1->header()->sectionSize(1), 100);
    EXPECT_EQ(form1->ListView1->header()->sectionSize(2), 120);
}

TEST_F(SettingsDialogTest, AnExplicitColourEqualToTheSystemOneStaysExplicit) {
    destroyWindows();
    RegistryStore store;
    const QColor base = QApplication::palette().color(QPalette::Base);
    store.writeInteger("Software\\TOMEKEEP\\Color", "EditWindowColor", colorToStored(base, false));
    ASSERT_TRUE(store.save());
    ASSERT_TRUE(start());
    form1->show();
    ASSERT_TRUE(form1->close());
    RegistryStore after;
    ASSERT_TRUE(after.load());
    // This was 0x80000005: a colour stored as itself came back as the system's window colour, which
    // follows the desktop's theme.
    EXPECT_EQ(after.readInteger("Software\\TOMEKEEP\\Color", "EditWindowColor", 0), colorToStored(base, false));
}
