// The program keeps its search index current: entries changed behind its back are caught up at
// start, its own saves, new entries, retitles, deletes and category moves reach the index at once,
// the status bar tells of long catch-ups and of an index it cannot use, and closing does not wait
// for a catch-up.
#include "app/search_service.h"
#include "app_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

using namespace tk;
using tk::test::AppFixture;

namespace {

// An RTF body holding text; characters outside ASCII as \u control words.
QByteArray rtfOf(const QString& text) {
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg949 ");
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            rtf.append(static_cast<char>(c.unicode()));
        } else {
            rtf.append("\\u" + QByteArray::number(static_cast<qint16>(c.unicode())) + "?");
        }
    }
    return rtf + '}';
}

}  // namespace

class SearchLiveTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        makeCategory(QStringLiteral("일기"));
    }

    SearchService* service() { return form1->searchService(); }

    // Starts the program and waits for its first catch-up to end; *report gets what it did.
    void launch(search::CatchUpReport* report = nullptr) {
        ASSERT_TRUE(start());
        // Signals come through the event loop, which has not run since the service started.
        QSignalSpy finished(service(), &SearchService::catchUpFinished);
        form1->show();
        ASSERT_TRUE(tk::test::waitFor([&] { return !finished.isEmpty(); }, 30000));
        if (report) {
            *report = finished.first().first().value<search::CatchUpReport>();
        }
    }

    // The entries the program's index finds for query, in every category, as "category/archive".
    QStringList found(const QString& query) {
        search::SearchIndex* index = service()->index();
        if (!index) {
            return {QStringLiteral("<no index>")};
        }
        std::vector<search::SearchHit> hits;
        if (!index->search(query, {}, false, &hits)) {
            return {QStringLiteral("<failed: ") + index->errorString() + u'>'};
        }
        const QDir library(QFileInfo(this->library()).canonicalFilePath());
        QStringList paths;
        for (const search::SearchHit& hit : hits) {
            paths.append(library.relativeFilePath(hit.archivePath()));
        }
        paths.sort();
        return paths;
    }
    // Waits until the index finds exactly these entries for query.
    bool foundSoon(const QString& query, const QStringList& expected) {
        return tk::test::waitFor([&] { return found(query) == expected; }, 10000);
    }
    int protectedCount() {
        std::vector<search::SearchHit> entries;
        EXPECT_TRUE(service()->index()->protectedEntries({}, &entries));
        return static_cast<int>(entries.size());
    }

    QString archive(const QString& name) const { return library() + QStringLiteral("일기/") + name + ".zip"; }
    // Entry "1" with a body of some length, and copies of it as "c0" ..., so a catch-up has many
    // archives to read.
    void manyEntries(int count) {
        QString text;
        for (int i = 0; i < 100; ++i) {
            text += QStringLiteral("복사된 글 %1번째 문단에는 한라산과 제주도 이야기가 있습니다. ").arg(i);
        }
        makeEntry(QStringLiteral("일기"), "1", "많이|일기|N|TKFile.rtf", rtfOf(text));
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(QFile::copy(archive("1"), archive(QStringLiteral("c%1").arg(i))));
        }
    }
};

TEST_F(SearchLiveTest, EntriesChangedBehindTheProgramsBackAreFoundAfterTheCatchUpAtStart) {
    makeEntry(QStringLiteral("일기"), "1", "제주|일기|N|TKFile.rtf",
              rtfOf(QStringLiteral("제주도에서 렌터카를 빌렸다")));
    search::CatchUpReport report;
    launch(&report);
    EXPECT_EQ(report.read, 1);
    EXPECT_EQ(found(QStringLiteral("렌터카")), QStringList{"일기/1.zip"});
    // A small library catches up too fast to show anything.
    EXPECT_TRUE(form1->SearchProgress->isHidden());
    EXPECT_TRUE(form1->SearchStatus->isHidden());

    // Closed, then an entry deleted and another copied in: the next start follows both.
    ASSERT_TRUE(form1->close());
    destroyWindows();
    ASSERT_TRUE(QFile::remove(archive("1")));
    makeEntry(QStringLiteral("일기"), "2", "여행|일기|N|TKFile.rtf", rtfOf(QStringLiteral("한라산 등산")));
    launch(&report);
    EXPECT_EQ(report.read, 1);
    EXPECT_EQ(report.removed, 1);
    EXPECT_EQ(found(QStringLiteral("렌터카")), QStringList());
    EXPECT_EQ(found(QStringLiteral("한라산")), QStringList{"일기/2.zip"});
}

// Another program (the command-line companion in a terminal, say) changes entries while this one
// runs: coming back to the window catches up, but not again within the interval.
TEST_F(SearchLiveTest, ComingBackToTheProgramCatchesUpWithOtherProgramsChanges) {
    launch();
    QSignalSpy started(service(), &SearchService::catchUpStarted);
    makeEntry(QStringLiteral("일기"), "3", "밖에서|일기|N|TKFile.rtf", rtfOf(QStringLiteral("터미널에서 쓴 글")));
    const auto comeBack = [&] {
        QApplication::setActiveWindow(nullptr);
        QApplication::processEvents();
        QApplication::setActiveWindow(form1.get());
        QApplication::processEvents();
    };
    form1->setCatchUpOnReturnInterval(0);
    comeBack();
    EXPECT_TRUE(foundSoon(QStringLiteral("터미널"), {QStringLiteral("일기/3.zip")}));
    ASSERT_TRUE(QFile::remove(archive("3")));
    form1->setCatchUpOnReturnInterval(60000);
    // The catch-ups asked for so far end first.
    for (qsizetype seen = -1; seen != started.size();) {
        seen = started.size();
        tk::test::waitFor([&] { return !service()->isCatchingUp(); }, 10000);
        QTest::qWait(300);
    }
    started.clear();
    comeBack();
    QTest::qWait(300);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(found(QStringLiteral("터미널")), QStringList{QStringLiteral("일기/3.zip")});
}

TEST_F(SearchLiveTest, SavingInTheEditorMakesTheNewWordsFindableAndTheOldOnesGone) {
    makeEntry(QStringLiteral("일기"), "1", "과일|일기|N|TKFile.rtf", rtfOf(QStringLiteral("apple pie")));
    launch();
    ASSERT_EQ(found("apple"), QStringList{"일기/1.zip"});
    pickCategory(QStringLiteral("일기"));
    openRow(0);
    ASSERT_TRUE(form3->isVisible());
    pressInEditor(Qt::Key_A, Qt::ControlModifier);
    typeText(editorText(), QStringLiteral("바나나 banana"));
    saveWithCtrlS();
    EXPECT_TRUE(messages.requests().isEmpty()) << messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(foundSoon(QStringLiteral("바나나"), {"일기/1.zip"}))
        << found(QStringLiteral("바나나")).join(' ').toStdString();
    EXPECT_EQ(found("BANANA"), QStringList{"일기/1.zip"});
    EXPECT_EQ(found("apple"), QStringList());
}

TEST_F(SearchLiveTest, ANewEntryARetitleANewPasswordAndADeleteReachTheIndexAtOnce) {
    launch();
    pickCategory(QStringLiteral("일기"));
    form1->DeleteToTrash = false;

    click(form1->ToolButton3);
    typeInEditor(QStringLiteral("제주여행기 첫날"));
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText(QStringLiteral("첫 글"));
        d.Button1->click();
    });
    saveWithCtrlS();
    ASSERT_EQ(archivesIn(QStringLiteral("일기")).size(), 1);
    const QString entry = QStringLiteral("일기/") + archivesIn(QStringLiteral("일기")).first();
    EXPECT_TRUE(foundSoon(QStringLiteral("여행"), {entry})) << found(QStringLiteral("여행")).join(' ').toStdString();
    form3->FormClose();

    clickRow(0);
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText(QStringLiteral("바뀐 제목"));
        d.Button1->click();
    });
    click(form1->ToolButton7);
    EXPECT_TRUE(foundSoon(QStringLiteral("바뀐"), {entry}));

    // Protected now: its body leaves the index at once, its title and path stay listed.
    clickRow(0);
    answerEntryDialog([](TForm4& d) {
        d.CheckBox1->setChecked(true);
        d.Edit3->setText(QStringLiteral("pw"));
        d.Button1->click();
    });
    click(form1->ToolButton7);
    EXPECT_TRUE(foundSoon(QStringLiteral("여행"), {}));
    EXPECT_EQ(protectedCount(), 1);

    clickRow(0);
    messages.queue(MsgAnswer::Yes);
    click(form1->ToolButton4);
    ASSERT_EQ(archivesIn(QStringLiteral("일기")), QStringList());
    EXPECT_TRUE(tk::test::waitFor([&] { return protectedCount() == 0; }));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("정말 \"바뀐 제목\" 를 지우시겠습니까?")});
}

TEST_F(SearchLiveTest, RenamingACategoryMovesItsEntriesInTheIndex) {
    makeEntry(QStringLiteral("일기"), "1", "산|일기|N|TKFile.rtf", rtfOf(QStringLiteral("설악산 단풍")));
    launch();
    QMetaObject::invokeMethod(
        form2.get(),
        [this] {
            QApplication::setActiveWindow(form2.get());
            CategoryTreeView* tree = form2->TreeView1;
            tree->setFocus();
            tree->setCurrentItem(tree->topLevelItem(0));
            QTest::keyClick(tree, Qt::Key_F2);
            auto* edit = tree->findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            typeText(edit, QStringLiteral("여행"));
            QTest::keyClick(edit, Qt::Key_Return);
            QCoreApplication::processEvents();
            form2->reject();
        },
        Qt::QueuedConnection);
    QApplication::setActiveWindow(form1.get());
    click(form1->item_TB);
    ASSERT_TRUE(QFileInfo(library() + QStringLiteral("여행")).isDir());
    EXPECT_TRUE(foundSoon(QStringLiteral("단풍"), {"여행/1.zip"}))
        << found(QStringLiteral("단풍")).join(' ').toStdString();
}

// This would be: the entry dropped from the index, or read again, by a save that never happened.
TEST_F(SearchLiveTest, AFailedSaveLeavesTheIndexAsItWas) {
    makeEntry(QStringLiteral("일기"), "1", "과일|일기|N|TKFile.rtf", rtfOf(QStringLiteral("apple")));
    launch();
    pickCategory(QStringLiteral("일기"));
    openRow(0);
    typeInEditor(QStringLiteral(" cherry"));
    ASSERT_TRUE(QFile::remove(archive("1")));
    saveWithCtrlS();
    ASSERT_EQ(messages.requests().size(), 1);
    EXPECT_TRUE(messages.texts().first().startsWith(QStringLiteral("저장할 글의 보관 파일이 없습니다.")));

    // Changes are indexed in order: once a later one is in, an earlier one would have been too.
    makeEntry(QStringLiteral("일기"), "2", "표시|일기|N|TKFile.rtf", rtfOf(QStringLiteral("sentinel")));
    service()->entryChanged(archive("2"));
    ASSERT_TRUE(foundSoon("sentinel", {"일기/2.zip"}));
    EXPECT_EQ(found("apple"), QStringList{"일기/1.zip"});
    EXPECT_EQ(found("cherry"), QStringList());
}

TEST_F(SearchLiveTest, ALongCatchUpShowsItsProgressAndHidesItWhenDone) {
    manyEntries(1500);
    ASSERT_TRUE(start());
    QSignalSpy finished(service(), &SearchService::catchUpFinished);
    form1->show();
    ASSERT_TRUE(tk::test::waitFor([&] { return form1->SearchProgress->isVisible(); }, 10000));
    EXPECT_TRUE(form1->SearchStatus->isVisible());
    EXPECT_TRUE(form1->SearchStatus->text().startsWith(QStringLiteral("검색 색인 맞추는 중")))
        << form1->SearchStatus->text().toStdString();
    ASSERT_TRUE(tk::test::waitFor([&] { return !finished.isEmpty(); }, 60000));
    EXPECT_EQ(finished.first().first().value<search::CatchUpReport>().read, 1501);
    EXPECT_FALSE(form1->SearchProgress->isVisible());
    EXPECT_FALSE(form1->SearchStatus->isVisible());
}

TEST_F(SearchLiveTest, ClosingInTheMiddleOfACatchUpIsPromptAndTheIndexGoesOnNextTime) {
    manyEntries(1000);
    ASSERT_TRUE(start());
    QSignalSpy progress(service(), &SearchService::catchUpProgress);
    form1->show();
    ASSERT_TRUE(tk::test::waitFor([&] { return !progress.isEmpty(); }, 30000));
    ASSERT_TRUE(service()->isCatchingUp());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(form1->close());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(service()->index(), nullptr);
    destroyWindows();

    search::SearchIndex index;
    ASSERT_TRUE(index.open(library())) << index.errorString().toStdString();
    EXPECT_FALSE(index.isReadOnly());
    EXPECT_FALSE(index.wasRebuilt());
    search::CatchUpReport report;
    ASSERT_TRUE(index.catchUp({}, nullptr, &report)) << index.errorString().toStdString();
    // What the first run wrote was kept; the rest was read now.
    EXPECT_GT(report.read, 0);
    EXPECT_LT(report.read, 1001);
    std::vector<search::SearchHit> hits;
    ASSERT_TRUE(index.search(QStringLiteral("복사된"), {}, false, &hits));
    EXPECT_EQ(hits.size(), 1001u);
}

TEST_F(SearchLiveTest, AnIndexThatCannotBeOpenedIsSaidAndTheProgramGoesOn) {
    // A cache folder that is a file: nothing can be made below it.
    tk::test::writeFile(cacheDir() + "blocked", "x");
    qputenv("XDG_CACHE_HOME", (cacheDir() + "blocked").toUtf8());
    ASSERT_TRUE(start());
    QSignalSpy unavailable(service(), &SearchService::unavailable);
    form1->show();
    ASSERT_TRUE(tk::test::waitFor([&] { return !unavailable.isEmpty(); }));
    EXPECT_TRUE(unavailable.first().first().toString().startsWith(QStringLiteral("검색 색인을 열 수 없습니다")));
    EXPECT_FALSE(service()->isAvailable());
    EXPECT_EQ(service()->index(), nullptr);
    EXPECT_TRUE(form1->SearchStatus->isVisible());
    EXPECT_EQ(form1->SearchStatus->text(), QStringLiteral("검색 색인을 쓸 수 없어 본문 검색을 껐습니다"));
    // The why, and what to do, on hovering.
    EXPECT_TRUE(form1->SearchStatus->toolTip().startsWith(form1->SearchStatus->text() + u'\n' +
                                                          unavailable.first().first().toString() + u'\n'));

    // Entries are still made and saved.
    pickCategory(QStringLiteral("일기"));
    click(form1->ToolButton3);
    typeInEditor(QStringLiteral("본문"));
    answerEntryDialog([](TForm4& d) {
        d.Edit1->setText(QStringLiteral("새 글"));
        d.Button1->click();
    });
    saveWithCtrlS();
    EXPECT_EQ(archivesIn(QStringLiteral("일기")).size(), 1);
    EXPECT_TRUE(messages.requests().isEmpty());
}

TEST_F(SearchLiveTest, UnreadableEntriesAreNamedInTheStatusBar) {
    makeEntry(QStringLiteral("일기"), "1", "좋은 글|일기|N|TKFile.rtf", rtfOf(QStringLiteral("멀쩡한 글")));
    tk::test::writeFile(archive("broken"), QByteArray("PK\003\004 not an archive"));
    search::CatchUpReport report;
    launch(&report);
    ASSERT_EQ(report.unreadable.size(), 1);
    EXPECT_TRUE(form1->SearchStatus->isVisible());
    EXPECT_EQ(form1->SearchStatus->text(), QStringLiteral("글 1개를 읽지 못해 본문 검색에서 뺐습니다"));
    EXPECT_TRUE(form1->SearchStatus->toolTip().startsWith(form1->SearchStatus->text() + u'\n' +
                                                          report.unreadable.first() + u'\n'));
    EXPECT_TRUE(report.unreadable.first().startsWith(archive("broken")));
    EXPECT_EQ(found(QStringLiteral("멀쩡한")), QStringList{"일기/1.zip"});
}

// This would be: an index opened while another process (a search from the command line) wrote
// it stayed read-only for the whole session, and nothing the program did was indexed.
TEST_F(SearchLiveTest, AnIndexAnotherProcessIsWritingIsTakenOverWhenItLetsGo) {
    makeEntry(QStringLiteral("일기"), "1", "과일|일기|N|TKFile.rtf", rtfOf(QStringLiteral("apple")));
    auto other = std::make_unique<search::SearchIndex>();
    ASSERT_TRUE(other->open(library()));
    ASSERT_FALSE(other->isReadOnly());
    ASSERT_TRUE(start());
    QSignalSpy finished(service(), &SearchService::catchUpFinished);
    form1->show();
    pickCategory(QStringLiteral("일기"));
    openRow(0);
    typeInEditor(QStringLiteral(" cherry"));
    saveWithCtrlS();
    ASSERT_TRUE(messages.requests().isEmpty());
    // Searches answer from the index as the other process left it; nothing is caught up yet.
    ASSERT_TRUE(tk::test::waitFor([&] { return service()->isAvailable(); }));
    EXPECT_TRUE(service()->index()->isReadOnly());
    EXPECT_EQ(found("cherry"), QStringList());
    EXPECT_TRUE(finished.isEmpty());

    other.reset();
    ASSERT_TRUE(tk::test::waitFor([&] { return !finished.isEmpty(); }, 15000));
    EXPECT_FALSE(service()->index()->isReadOnly());
    EXPECT_EQ(found("cherry"), QStringList{"일기/1.zip"});
}
