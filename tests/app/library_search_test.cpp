// Searches of the library on a thread of their own: what they find, and that a cancelled or
// overtaken search never reports.
#include "app/library_search.h"
#include "search_test_support.h"
#include "test_support.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tk;

namespace {

QStringList titlesOf(const std::vector<search::SearchHit>& hits) {
    QStringList out;
    for (const search::SearchHit& hit : hits) {
        out.append(hit.row.title);
    }
    out.sort();
    return out;
}

class LibrarySearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(cache_.isValid());
        add(QStringLiteral("여행"), "a1", QStringLiteral("제주 기록"),
            QStringLiteral("제주여행기를 썼다. 렌터카를 탔다."));
        add(QStringLiteral("여행/국내"), "a2", QStringLiteral("강릉 기록"), QStringLiteral("기차로 강릉에 갔다."));
        add(QStringLiteral("일기"), "b1", QStringLiteral("오월 일기"),
            QStringLiteral("도서관에서 렌터카 책을 읽었다."));
        add(QStringLiteral("일기"), "b2", QStringLiteral("비밀 일기"), QStringLiteral("금고는 장롱 속에 있다."),
            QStringLiteral("pw"));
        add(QStringLiteral("일기"), "b3", QStringLiteral("다른 일기"), QStringLiteral("금고 열쇠는 서랍에."),
            QStringLiteral("other"));
    }

    QString library() const { return home_.path() + QStringLiteral("/LIST/"); }

    void add(const QString& folder, const char* name, const QString& title, const QString& text,
             const QString& password = {}) {
        ASSERT_TRUE(QDir().mkpath(library() + folder));
        ASSERT_TRUE(test::writeEntry(library() + folder + u'/' + QLatin1String(name) + QStringLiteral(".zip"),
                                     {title, folder.section(u'/', -1), test::rtfOf(text), password}));
    }

    void openIndex() {
        ASSERT_TRUE(index_.open(library(), cache_.path())) << index_.errorString().toStdString();
        search::CatchUpReport report;
        ASSERT_TRUE(index_.catchUp({}, nullptr, &report)) << index_.errorString().toStdString();
    }

    // Waits for the one outcome of the running search.
    LibrarySearchOutcome waitFor(LibrarySearch& searcher) {
        QSignalSpy spy(&searcher, &LibrarySearch::finished);
        LibrarySearchOutcome outcome;
        QObject::connect(&searcher, &LibrarySearch::finished, [&](const LibrarySearchOutcome& o) { outcome = o; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 30000));
        EXPECT_FALSE(searcher.isRunning());
        return outcome;
    }

    QTemporaryDir home_;
    QTemporaryDir cache_;
    search::SearchIndex index_;
};

}  // namespace

TEST_F(LibrarySearchTest, CategoryFoldersAreListedParentsFirstEachEndingInASlash) {
    EXPECT_EQ(categoryFolders(library()),
              QStringList({library() + QStringLiteral("여행/"), library() + QStringLiteral("여행/국내/"),
                           library() + QStringLiteral("일기/")}));
}

TEST_F(LibrarySearchTest, TextSearchesGiveEachHitItsFolderAndTheWordsAroundIt) {
    openIndex();
    LibrarySearch searcher;
    searcher.startBody(&index_, QStringLiteral("렌터카"), {});
    LibrarySearchOutcome outcome = waitFor(searcher);
    ASSERT_FALSE(outcome.failed) << outcome.error.toStdString();
    EXPECT_EQ(titlesOf(outcome.hits), QStringList({QStringLiteral("오월 일기"), QStringLiteral("제주 기록")}));
    for (const search::SearchHit& hit : outcome.hits) {
        EXPECT_TRUE(hit.snippet.contains(QStringLiteral("렌터카"))) << hit.snippet.toStdString();
        EXPECT_TRUE(QFile::exists(hit.archivePath())) << hit.archivePath().toStdString();
    }
    // One folder only, not the folders below it.
    searcher.startBody(&index_, QStringLiteral("기록"), library() + QStringLiteral("여행/"));
    outcome = waitFor(searcher);
    EXPECT_EQ(titlesOf(outcome.hits), QStringList({QStringLiteral("제주 기록")}));
    EXPECT_EQ(outcome.hits.at(0).folder, library() + QStringLiteral("여행/"));
}

TEST_F(LibrarySearchTest, ProtectedEntriesAreSearchedWithThePasswordAndTheOthersNamed) {
    openIndex();
    LibrarySearch searcher;
    searcher.startProtectedList(&index_, library() + QStringLiteral("일기/"));
    LibrarySearchOutcome listed = waitFor(searcher);
    ASSERT_EQ(titlesOf(listed.hits), QStringList({QStringLiteral("다른 일기"), QStringLiteral("비밀 일기")}));
    QString password = QStringLiteral("pw");
    searcher.startProtected(QStringLiteral("금고"), listed.hits, std::move(password));
    EXPECT_TRUE(password.isEmpty());
    const LibrarySearchOutcome outcome = waitFor(searcher);
    EXPECT_EQ(titlesOf(outcome.hits), QStringList({QStringLiteral("비밀 일기")}));
    EXPECT_TRUE(outcome.hits.at(0).snippet.contains(QStringLiteral("장롱")));
    ASSERT_EQ(outcome.unreadable.size(), 1);
    EXPECT_TRUE(outcome.unreadable.at(0).startsWith(library() + QStringLiteral("일기/b3.zip: ")));
}

TEST_F(LibrarySearchTest, TitleSearchOfEveryCategoryGivesEachRowItsFolder) {
    LibrarySearch searcher;
    searcher.startTitles(library(), upperAscii(QStringLiteral("기록")), FindOptions{});
    const LibrarySearchOutcome outcome = waitFor(searcher);
    EXPECT_EQ(titlesOf(outcome.hits), QStringList({QStringLiteral("강릉 기록"), QStringLiteral("제주 기록")}));
    for (const search::SearchHit& hit : outcome.hits) {
        EXPECT_EQ(hit.row.folder, hit.folder);
        EXPECT_TRUE(QFile::exists(hit.archivePath())) << hit.archivePath().toStdString();
    }
    // Protected rows only, as the find window's "암호" asks.
    searcher.startTitles(library(), upperAscii(QStringLiteral("일기")), FindOptions{true, false, false, true});
    EXPECT_EQ(titlesOf(waitFor(searcher).hits),
              QStringList({QStringLiteral("다른 일기"), QStringLiteral("비밀 일기")}));
}

TEST_F(LibrarySearchTest, ACancelledOrOvertakenSearchNeverReports) {
    for (int i = 0; i < 200; ++i) {
        add(QStringLiteral("업무"), QByteArray("c" + QByteArray::number(i)).constData(),
            QStringLiteral("회의 %1").arg(i), QString(2000, QChar(u'회')) + QStringLiteral(" 예산"),
            QStringLiteral("pw"));
    }
    openIndex();
    std::vector<search::SearchHit> candidates;
    ASSERT_TRUE(index_.protectedEntries(library() + QStringLiteral("업무/"), &candidates));
    ASSERT_EQ(candidates.size(), 200u);

    LibrarySearch searcher;
    QSignalSpy finished(&searcher, &LibrarySearch::finished);
    QSignalSpy progress(&searcher, &LibrarySearch::progress);
    searcher.startProtected(QStringLiteral("예산"), candidates, QStringLiteral("pw"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress.count() > 0 || finished.count() > 0; }, 30000));
    ASSERT_EQ(finished.count(), 0) << "the search ended before it could be cancelled";
    searcher.cancel();
    EXPECT_FALSE(searcher.isRunning());
    searcher.stopAndWait();
    QTest::qWait(20);
    EXPECT_EQ(finished.count(), 0);

    // A second search started while one runs replaces it: only the newer one reports.
    searcher.startProtected(QStringLiteral("예산"), candidates, QStringLiteral("pw"));
    searcher.startBody(&index_, QStringLiteral("강릉"), {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 30000));
    searcher.stopAndWait();
    QTest::qWait(20);
    ASSERT_EQ(finished.count(), 1);
    const auto outcome = finished.at(0).at(0).value<LibrarySearchOutcome>();
    EXPECT_EQ(outcome.kind, LibrarySearchOutcome::Kind::Body);
}
