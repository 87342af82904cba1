// The find window and the find panel, through their widgets.
#include "app_fixture.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>

using namespace tk;
using tk::test::AppFixture;

namespace {

QStringList titles(const EntryListView* list) {
    QStringList out;
    for (const EntryRow& r : list->entries()->rows()) {
        out.append(r.title);
    }
    return out;
}

}  // namespace

class FindWindowTest : public AppFixture {
  protected:
    // Category A: three entries, "Beta" protected; category B: one entry.
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory("A");
        makeCategory("B");
        makeCategory("C");
        addEntry("A", "20010101000001", QStringLiteral("Alpha report|여행|N|TKFile.rtf"));
        addEntry("A", "20010101000002", QStringLiteral("Beta|일기|Y|TKFile.rtf"));
        addEntry("A", "20010101000003", QStringLiteral("한글 문서|Trip|N|TKFile.rtf"));
        addEntry("B", "20020202000001", QStringLiteral("Other|B|N|TKFile.rtf"));
        ASSERT_TRUE(start());
        form1->show();
        pickCategory("A");
        click(form1->ToolButton8);
        ASSERT_TRUE(form6->isVisible());
    }

    QStringList find(const QString& text) {
        form6->FindText->clear();
        typeText(form6->FindText, text);
        click(form6->Button1);
        return titles(form1->FindList);
    }
    // Ticks or unticks a box by clicking it, as a user does.
    void setBox(QCheckBox* box, bool on) {
        if (box->isChecked() != on) {
            click(box);
        }
    }
};

TEST_F(FindWindowTest, TheWindowLeavesTheMainWindowUsable) {
    EXPECT_FALSE(form6->isModal());
    EXPECT_TRUE(form6->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form1->FindPanel->isVisible());
    // The main window still takes input while the find window is up.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(FindWindowTest, AnEmptyTextMatchesEveryRowAndWithPasswordOnlyTheProtected) {
    // In the main list's order.
    EXPECT_EQ(find({}), QStringList({QStringLiteral("한글 문서"), "Alpha report", "Beta"}));
    setBox(form6->PassCheck, true);
    EXPECT_EQ(find({}), QStringList({"Beta"}));
    // A result row carries what the main list's row does.
    const EntryRow& r = form1->FindList->entries()->row(0);
    EXPECT_EQ(r.archiveName, "20010101000002");
    EXPECT_EQ(r.category, QStringLiteral("일기"));
    EXPECT_EQ(r.documentFile, "TKFile.rtf");
    EXPECT_TRUE(r.isProtected);
}

TEST_F(FindWindowTest, NoColumnTickedFindsNothing) {
    setBox(form6->NameCheck, false);
    EXPECT_TRUE(find("a").isEmpty());
    setBox(form6->PassCheck, true);
    EXPECT_TRUE(find("Beta").isEmpty());
}

TEST_F(FindWindowTest, LetterCaseIsFoldedForAsciiOnly) {
    EXPECT_EQ(find("ALPHA"), QStringList({"Alpha report"}));
    EXPECT_EQ(find("rEpOrT"), QStringList({"Alpha report"}));
    EXPECT_EQ(find(QStringLiteral("한글")), QStringList({QStringLiteral("한글 문서")}));
    // Letters beyond ASCII keep their case: "ä" does not find "Ä".
    addEntry("A", "20010101000004", QStringLiteral("ÄRGER|K|N|TKFile.rtf"));
    pickCategory("A");
    EXPECT_TRUE(find(QStringLiteral("ärger")).isEmpty());
    EXPECT_EQ(find(QStringLiteral("Ärger")), QStringList({QStringLiteral("ÄRGER")}));
}

TEST_F(FindWindowTest, CategoryAndFileColumnsFindRowsWhoseTitleDoesNotMatch) {
    EXPECT_TRUE(find("trip").isEmpty());
    setBox(form6->ColCheck, true);
    EXPECT_EQ(find("trip"), QStringList({QStringLiteral("한글 문서")}));
    EXPECT_EQ(find(QStringLiteral("일기")), QStringList({"Beta"}));
    EXPECT_TRUE(find("0003").isEmpty());
    setBox(form6->FileCheck, true);
    EXPECT_EQ(find("0003"), QStringList({QStringLiteral("한글 문서")}));
}

TEST_F(FindWindowTest, EnterInTheTextRunsTheSearch) {
    typeText(form6->FindText, "beta");
    QTest::keyClick(form6->FindText, Qt::Key_Return);
    EXPECT_EQ(titles(form1->FindList), QStringList({"Beta"}));
}

TEST_F(FindWindowTest, ASearchOverAnEmptyListKeepsTheOldResults) {
    ASSERT_EQ(find("beta"), QStringList({"Beta"}));
    pickCategory("C");
    ASSERT_EQ(form1->ListView1->entries()->rowCount(), 0);
    EXPECT_EQ(find("alpha"), QStringList({"Beta"}));
}

TEST_F(FindWindowTest, ThePasswordNoteShowsOnlyWhenTheBoxBecomesTicked) {
    click(form6->PassCheck);
    click(form6->PassCheck);
    click(form6->PassCheck);
    EXPECT_EQ(messages.texts(),
              QStringList({QStringLiteral("이것을 체크하시면 암호가 걸린 문서 중 에서만 찾습니다."),
                           QStringLiteral("이것을 체크하시면 암호가 걸린 문서 중 에서만 찾습니다.")}));
    EXPECT_TRUE(form6->PassCheck->isChecked());
}

TEST_F(FindWindowTest, AnOldResultAfterACategoryChangeIsLookedForInTheNewFolder) {
    ASSERT_EQ(find("alpha"), QStringList({"Alpha report"}));
    pickCategory("B");
    EntryListView* list = form1->FindList;
    const QRect rect = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("이 파일이 존재하지 않습니다.")}));
    EXPECT_FALSE(form3->isVisible());
}

TEST_F(FindWindowTest, ClosingThePanelEmptiesTheResultsAndCancelKeepsThem) {
    ASSERT_EQ(find({}).size(), 3);
    click(form6->Button2);
    EXPECT_FALSE(form6->isVisible());
    EXPECT_EQ(form1->FindList->entries()->rowCount(), 3);
    click(form1->Button1);
    EXPECT_FALSE(form1->FindPanel->isVisible());
    EXPECT_EQ(form1->FindList->entries()->rowCount(), 0);
    // Showing the find window again shows the panel again.
    click(form1->ToolButton8);
    EXPECT_TRUE(form1->FindPanel->isVisible());
}

class LongFindTest : public FindWindowTest {
  protected:
    // Rows enough for a search to take a good many event intervals; every second one matches.
    void fillMainList(int count) {
        std::vector<EntryRow> rows;
        // Shared strings: long to search, cheap to hold.
        const QString padding(400, u'x');
        const QString needle = padding + QStringLiteral("needle");
        const QString straw = padding + QStringLiteral("straw");
        for (int i = 0; i < count; ++i) {
            rows.push_back(EntryRow{i % 2 ? needle : straw, "K", QString::number(i), "TKFile.rtf", false, {}});
        }
        form1->ListView1->entries()->setRows(std::move(rows));
    }
};

TEST_F(LongFindTest, CancelStopsARunningSearchAtOnce) {
    fillMainList(200000);
    typeText(form6->FindText, "NEEDLE");
    int delivered = 0;
    QTimer::singleShot(0, form6.get(), [&] {
        ++delivered;
        EXPECT_TRUE(form6->isSearching());
        click(form6->Button2);
    });
    click(form6->Button1);
    EXPECT_EQ(delivered, 1);
    EXPECT_FALSE(form6->isVisible());
    EXPECT_FALSE(form6->isSearching());
    const int found = form1->FindList->entries()->rowCount();
    EXPECT_LT(found, 100000);
}

TEST_F(LongFindTest, AListThatBecomesShorterDuringTheSearchEndsIt) {
    fillMainList(200000);
    QTimer::singleShot(0, form6.get(), [&] { pickCategory("B"); });
    click(form6->Button1);
    EXPECT_FALSE(form6->isSearching());
    EXPECT_EQ(form1->ListView1->entries()->rowCount(), 1);
    // The rows found before the change are kept, and the walk did not go past the new end.
    const QStringList found = titles(form1->FindList);
    EXPECT_LT(found.size(), 200000);
    EXPECT_FALSE(found.isEmpty());
}

TEST_F(LongFindTest, ASecondPressDuringASearchDoesNotStartAnother) {
    fillMainList(100000);
    typeText(form6->FindText, "needle");
    QTimer::singleShot(0, form6.get(), [&] { click(form6->Button1); });
    click(form6->Button1);
    EXPECT_EQ(form1->FindList->entries()->rowCount(), 50000);
}

TEST_F(LongFindTest, ClosingTheMainWindowStopsTheSearch) {
    fillMainList(200000);
    typeText(form6->FindText, "needle");
    QTimer::singleShot(0, form6.get(), [&] { EXPECT_TRUE(form1->close()); });
    click(form6->Button1);
    EXPECT_TRUE(form6->StopFind);
    EXPECT_LT(form1->FindList->entries()->rowCount(), 100000);
}
