// The search index over entry archives in a test library: what queries find, catching up with
// archives changed behind its back, protected bodies and damaged indexes and entries.
#include "search/search_index.h"
#include "search/memory_search.h"
#include "search_test_support.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xapian.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>

namespace {

using tk::search::CatchUpReport;
using tk::search::SearchHit;
using tk::search::SearchIndex;

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

class SearchIndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(library() + u8("여행")));
        ASSERT_TRUE(QDir().mkpath(library() + u8("일기")));
    }

    QString library() const { return root.path() + QStringLiteral("/LIST/"); }
    QString cache() const { return root.path() + QStringLiteral("/cache"); }
    QString entry(const char* category, const char* name) const {
        return library() + u8(category) + u8("/") + u8(name) + QStringLiteral(".zip");
    }

    void add(const char* category, const char* name, const char* title, const char* text,
             const QString& password = {}) {
        ASSERT_TRUE(tk::test::writeEntry(entry(category, name),
                                         {u8(title), u8(category), tk::test::rtfOf(u8(text)), password}));
    }

    void openAndCatchUp(CatchUpReport* report = nullptr) {
        CatchUpReport ignored;
        ASSERT_TRUE(index.open(library(), cache())) << index.errorString().toStdString();
        ASSERT_TRUE(index.catchUp({}, nullptr, report ? report : &ignored)) << index.errorString().toStdString();
    }

    // The archive names a query finds, sorted.
    QStringList found(const char* query, const QString& folder = {}) {
        std::vector<SearchHit> hits;
        EXPECT_TRUE(index.search(u8(query), folder, false, &hits)) << index.errorString().toStdString();
        QStringList names;
        for (const SearchHit& hit : hits) {
            names.append(hit.row.archiveName);
        }
        names.sort();
        return names;
    }

    QTemporaryDir root;
    SearchIndex index;
};

}  // namespace

// Korean words inside longer words and before particles, English words in any letter case, a
// phrase, the title and the category, one folder or all, and a query that finds nothing.
TEST_F(SearchIndexTest, FindsWordsAsAReaderWould) {
    add("여행", "a", "제주", "지난 여름 제주여행기를 썼다.\nThe Quick Brown Fox jumps.");
    add("일기", "b", "서울", "여행을 떠나자. 서울 이야기");
    add("일기", "c", "Notes", "quick notes, nothing else");
    ASSERT_TRUE(tk::test::writeEntry(library() + u8("일기/w.zip"),
                                     {u8("웹"),
                                      u8("일기"),
                                      "<html><head><meta charset=\"utf-8\"><link rel=stylesheet href=\"x.css\">"
                                      "</head><body><p>박물관 관람</p><img src=\"a.png\"></body></html>",
                                      {},
                                      QStringLiteral("page.html")}));
    openAndCatchUp();

    EXPECT_EQ(found("여행"), (QStringList{"a", "b"}));
    EXPECT_EQ(found("여행기"), QStringList{"a"});
    EXPECT_EQ(found("QUICK"), (QStringList{"a", "c"}));
    EXPECT_EQ(found("fOx"), QStringList{"a"});
    EXPECT_EQ(found("\"brown fox\""), QStringList{"a"});
    EXPECT_EQ(found("\"fox brown\""), QStringList());
    // The index keeps no positions; phrases are checked on the text of what its words find.
    EXPECT_EQ(found("\"제주여행기를 썼다\""), QStringList{"a"});
    EXPECT_EQ(found("\"썼다 제주여행기를\""), QStringList());
    EXPECT_EQ(found("여행 -\"여행을 떠나자\""), QStringList{"a"});
    EXPECT_EQ(found("\"brown fox\" OR \"서울 이야기\""), (QStringList{"a", "b"}));
    EXPECT_EQ(found("\"Notes quick\""), QStringList());  // the title and the body are apart
    EXPECT_EQ(found("quick NEAR/3 jumps"), QStringList{"a"});
    EXPECT_EQ(found("quick NEAR/2 jumps"), QStringList());
    EXPECT_EQ(found("quick 서울"), QStringList());           // every word must be there
    EXPECT_EQ(found("notes"), QStringList{"c"});             // a title
    EXPECT_EQ(found("일기"), (QStringList{"b", "c", "w"}));  // a category
    EXPECT_EQ(found("박물관"), QStringList{"w"});            // a saved web page's text
    EXPECT_EQ(found("없는말"), QStringList());
    EXPECT_EQ(found(""), QStringList());
    EXPECT_EQ(found("여행", library() + u8("일기")), QStringList{"b"});
    EXPECT_EQ(found("여행", library() + u8("여행/")), QStringList{"a"});

    std::vector<SearchHit> hits;
    ASSERT_TRUE(index.search(u8("제주여행기"), {}, true, &hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].row.title, u8("제주"));
    EXPECT_EQ(hits[0].row.category, u8("여행"));
    EXPECT_EQ(hits[0].archivePath(), QFileInfo(entry("여행", "a")).canonicalFilePath());
    EXPECT_TRUE(hits[0].snippet.contains(u8("제주여행기를"))) << hits[0].snippet.toStdString();

    // The index lies in the cache folder; the library holds only what it held.
    EXPECT_TRUE(index.folder().startsWith(cache() + u8("/search/")));
    EXPECT_EQ(tk::test::filesHolding(library(), "postlist"), QStringList());
    EXPECT_EQ(QDir(library() + u8("일기")).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

// Archives copied in, rewritten, moved to another category and deleted behind the index's back
// are found or gone after the next catch-up, which runs on a thread of its own.
TEST_F(SearchIndexTest, CatchesUpWithChangesBehindItsBack) {
    add("여행", "a", "제주", "한라산 등반");
    add("일기", "b", "서울", "남산 산책");
    openAndCatchUp();
    ASSERT_EQ(found("한라산"), QStringList{"a"});

    add("일기", "c", "부산", "해운대 바다");                             // copied in
    add("일기", "b", "서울", "북한산 산행 그리고 조금 더 긴 글");        // rewritten, another size
    ASSERT_TRUE(QFile::rename(entry("여행", "a"), entry("일기", "a")));  // moved
    CatchUpReport report;
    std::thread worker([&] { ASSERT_TRUE(index.catchUp({}, nullptr, &report)); });
    worker.join();
    EXPECT_EQ(report.read, 3);
    EXPECT_EQ(report.removed, 1);
    EXPECT_EQ(found("해운대"), QStringList{"c"});
    EXPECT_EQ(found("북한산"), QStringList{"b"});
    EXPECT_EQ(found("남산"), QStringList());
    EXPECT_EQ(found("한라산", library() + u8("일기")), QStringList{"a"});
    EXPECT_EQ(found("한라산", library() + u8("여행")), QStringList());

    ASSERT_TRUE(QFile::remove(entry("일기", "c")));
    ASSERT_TRUE(index.catchUp({}, nullptr, &report));
    EXPECT_EQ(report.removed, 1);
    EXPECT_EQ(found("해운대"), QStringList());
    // Nothing changed: nothing is read again.
    ASSERT_TRUE(index.catchUp({}, nullptr, &report));
    EXPECT_EQ(report.read, 0);
    EXPECT_EQ(report.removed, 0);

    // The program's own changes, at once.
    add("여행", "d", "강릉", "경포대 일출");
    ASSERT_TRUE(index.update(entry("여행", "d")));
    EXPECT_EQ(found("경포대"), QStringList{"d"});
    ASSERT_TRUE(QFile::remove(entry("여행", "d")));
    ASSERT_TRUE(index.remove(entry("여행", "d")));
    EXPECT_EQ(found("경포대"), QStringList());
}

// Snippets come from the body the index keeps, and from the archive itself once it changed behind
// the index's back: new text once rewritten, none once protected or gone; the search still answers.
TEST_F(SearchIndexTest, SnippetsFollowTheArchives) {
    add("일기", "a", "고양이", "어제 고양이가 창가에서 잤다. Quick brown fox.");
    openAndCatchUp();
    const auto snippet = [&](const char* query) {
        std::vector<SearchHit> hits;
        EXPECT_TRUE(index.search(u8(query), {}, true, &hits)) << index.errorString().toStdString();
        EXPECT_EQ(hits.size(), 1u);
        return hits.empty() ? QStringLiteral("(no hit)") : hits[0].snippet;
    };
    EXPECT_TRUE(snippet("고양이").contains(u8("고양이가 창가에서"))) << snippet("고양이").toStdString();
    EXPECT_TRUE(snippet("\"BROWN fox\"").contains(u8("brown fox"))) << snippet("\"BROWN fox\"").toStdString();

    add("일기", "a", "고양이", "오늘 고양이는 마당에 나갔다.");  // behind the index's back
    EXPECT_TRUE(snippet("고양이").contains(u8("마당에"))) << snippet("고양이").toStdString();
    add("일기", "a", "고양이", "비밀 고양이 일기", u8("암호"));
    EXPECT_EQ(snippet("고양이"), QString());
    ASSERT_TRUE(QFile::remove(entry("일기", "a")));
    EXPECT_EQ(snippet("고양이"), QString());
}

// Categories are walked as the program walks them: three levels down, no hidden folders, no links.
TEST_F(SearchIndexTest, WalksCategoriesAsTheProgramDoes) {
    for (const char* folder : {"여행/국내/제주", "여행/국내/제주/깊이", ".숨김"}) {
        ASSERT_TRUE(QDir().mkpath(library() + u8(folder)));
    }
    add("여행/국내/제주", "deep", "셋째", "한라산 낱말");
    add("여행/국내/제주/깊이", "deeper", "넷째", "한라산 낱말");
    add(".숨김", "hidden", "숨김", "한라산 낱말");
    ASSERT_TRUE(QFile::link(library() + u8("여행"), library() + u8("일기/링크")));
    openAndCatchUp();
    std::vector<SearchHit> hits;
    ASSERT_TRUE(index.search(u8("한라산"), {}, false, &hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].folder, QFileInfo(library()).canonicalFilePath() + u8("/여행/국내/제주/"));
}

// A cancelled catch-up keeps what it did, and the next one reads only the rest.
TEST_F(SearchIndexTest, CancelledCatchUpGoesOnNextTime) {
    for (int i = 0; i < 100; ++i) {
        add("일기", QByteArray::number(i).constData(), "글", "공통 낱말");
    }
    ASSERT_TRUE(index.open(library(), cache()));
    std::atomic_bool cancel = false;
    CatchUpReport report;
    ASSERT_TRUE(index.catchUp([&](qsizetype done, qsizetype) { cancel = done >= 10; }, &cancel, &report));
    EXPECT_TRUE(report.cancelled);
    const int first = report.read;
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 100);
    index.close();
    openAndCatchUp(&report);
    EXPECT_FALSE(index.wasRebuilt());
    EXPECT_EQ(report.read, 100 - first);
    EXPECT_EQ(found("낱말").size(), 100);
}

// A catch-up of many chunks, read on two threads, reads every archive once, names the damaged
// one, and tells its progress only on the thread that runs it, in order, up to the whole count.
TEST_F(SearchIndexTest, CatchUpOnTwoThreadsReadsEachArchiveOnce) {
    constexpr int kEntries = 150;
    for (int i = 0; i < kEntries; ++i) {
        add("일기", QByteArray::number(i).constData(), "글", i % 2 ? "홀수 낱말" : "짝수 낱말");
    }
    tk::test::writeFile(entry("여행", "junk"), "PK\x03\x04 not an archive");
    ASSERT_TRUE(index.open(library(), cache()));
    std::vector<std::pair<qsizetype, qsizetype>> told;
    bool otherThread = false;
    CatchUpReport report;
    std::thread worker([&] {
        const std::thread::id self = std::this_thread::get_id();
        ASSERT_TRUE(index.catchUp(
            [&](qsizetype done, qsizetype total) {
                otherThread = otherThread || std::this_thread::get_id() != self;
                told.emplace_back(done, total);
            },
            nullptr, &report));
    });
    worker.join();
    EXPECT_FALSE(otherThread);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), std::make_pair(qsizetype(kEntries + 1), qsizetype(kEntries + 1)));
    for (size_t i = 1; i < told.size(); ++i) {
        EXPECT_LT(told[i - 1].first, told[i].first);
    }
    EXPECT_EQ(report.read, kEntries + 1);
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(report.unreadable.size(), 1);
    EXPECT_EQ(found("낱말").size(), kEntries);
    EXPECT_EQ(found("홀수").size(), kEntries / 2);
}

// A protected entry's body never reaches the index: its words are not found without the password
// and are in no file of the cache folder; with the password they are found in memory, and an
// entry the password does not open is named, not matched.
TEST_F(SearchIndexTest, ProtectedBodiesAreSearchedInMemoryOnly) {
    add("일기", "p", "비밀 일기", "보물지도 secretword", u8("암호"));
    add("일기", "q", "다른 비밀", "보물상자", u8("다른 암호"));
    add("일기", "o", "공개", "보물 없음");
    openAndCatchUp();
    EXPECT_EQ(found("보물"), QStringList{"o"});
    EXPECT_EQ(found("비밀"), QStringList());  // protected entries are left to the in-memory search
    index.close();
    EXPECT_EQ(tk::test::filesHolding(cache(), "secretword"), QStringList());
    EXPECT_EQ(tk::test::filesHolding(cache(), u8("보물지도").toUtf8()), QStringList());

    ASSERT_TRUE(index.open(library(), cache()));
    std::vector<SearchHit> candidates;
    ASSERT_TRUE(index.protectedEntries(library() + u8("일기"), &candidates));
    ASSERT_EQ(candidates.size(), 2u);
    tk::search::ProtectedSearchReport report;
    std::vector<SearchHit> hits =
        tk::search::searchProtected(u8("보물"), candidates, u8("암호"), true, {}, nullptr, &report);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].row.archiveName, "p");
    EXPECT_TRUE(hits[0].snippet.contains(u8("보물지도")));
    EXPECT_EQ(report.unreadable,
              QStringList{QFileInfo(entry("일기", "q")).canonicalFilePath() + u8(": 암호가 맞지 않습니다")});
    // Entries without a word every match needs are passed over before the in-memory index: in any
    // letter case, and in the title as in the body. Words that are alternatives or excluded must
    // not be taken for such words.
    hits = tk::search::searchProtected(u8("SecretWord 비밀"), candidates, u8("암호"), false, {}, nullptr, &report);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].row.archiveName, "p");
    hits = tk::search::searchProtected(u8("없는말 OR secretword"), candidates, u8("암호"), false, {}, nullptr, &report);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].row.archiveName, "p");
    EXPECT_TRUE(tk::search::searchProtected(u8("보물 -secretword"), candidates, u8("암호"), false, {}, nullptr, &report)
                    .empty());
    EXPECT_EQ(
        tk::search::searchProtected(u8("\"보물지도 secretword\""), candidates, u8("암호"), false, {}, nullptr, &report)
            .size(),
        1u);
    hits = tk::search::searchProtected(u8("SECRETWORD"), candidates, u8("틀림"), false, {}, nullptr, &report);
    EXPECT_TRUE(hits.empty());
    EXPECT_EQ(report.unreadable.size(), 2);
}

// A damaged entry is named and skipped; the rest are indexed.
TEST_F(SearchIndexTest, DamagedEntriesAreNamedAndSkipped) {
    add("일기", "good", "멀쩡", "온전한 본문");
    tk::test::writeFile(entry("일기", "junk"), "PK\x03\x04 not an archive");
    QByteArray broken = tk::test::rtfOf(u8("망가진 본문"));
    ASSERT_TRUE(tk::test::writeEntry(entry("일기", "bad"), {u8("망가진 글"), u8("일기"), broken, {}}));
    // Flips bytes inside the stored body, so its integrity check fails.
    QByteArray bytes = tk::test::readFile(entry("일기", "bad"));
    const qsizetype at = bytes.indexOf("rtf1");
    ASSERT_GT(at, 0);
    bytes[at + 6] = 'X';
    tk::test::writeFile(entry("일기", "bad"), bytes);

    CatchUpReport report;
    openAndCatchUp(&report);
    EXPECT_EQ(report.unreadable.size(), 2) << report.unreadable.join('\n').toStdString();
    EXPECT_EQ(found("온전한"), QStringList{"good"});
    EXPECT_EQ(found("망가진"), QStringList{"bad"});  // found by its title
    EXPECT_EQ(found("본문"), QStringList{"good"});
}

// The program's own changes made while a catch-up runs stand: the catch-up does not write over them
// what it read of those archives before. This was the older body coming back, and an archive the
// program had deleted being indexed again.
TEST_F(SearchIndexTest, ChangesMadeDuringACatchUpStand) {
    constexpr int kEntries = 100;
    const auto name = [](int i) { return QByteArray::number(i); };
    for (int i = 0; i < kEntries; ++i) {
        add("일기", name(i).constData(), "글", "옛글 낱말");
    }
    ASSERT_TRUE(index.open(library(), cache()));
    bool changed = false;
    const auto changeAll = [&](qsizetype, qsizetype) {
        if (std::exchange(changed, true)) {
            return;
        }
        // Chunks already read hold the old text; the program rewrites every entry and deletes one.
        for (int i = 0; i < kEntries; ++i) {
            add("일기", name(i).constData(), "글", "새글 낱말, 조금 더 긴 본문");
            ASSERT_TRUE(index.update(entry("일기", name(i).constData())));
        }
        ASSERT_TRUE(QFile::remove(entry("일기", "7")));
        ASSERT_TRUE(index.remove(entry("일기", "7")));
    };
    CatchUpReport report;
    ASSERT_TRUE(index.catchUp(changeAll, nullptr, &report));
    ASSERT_TRUE(changed);
    EXPECT_EQ(found("옛글"), QStringList());
    EXPECT_EQ(found("새글").size(), kEntries - 1);
    EXPECT_FALSE(found("낱말").contains("7"));
}

// While one index writes, a second one opened on the same library only reads: it answers from what
// was committed and its catch-ups and updates change nothing.
TEST_F(SearchIndexTest, SecondWriterOnlyReads) {
    add("일기", "a", "제목", "고양이 이야기");
    openAndCatchUp();
    SearchIndex second;
    ASSERT_TRUE(second.open(library(), cache()));
    EXPECT_TRUE(second.isReadOnly());
    EXPECT_FALSE(index.isReadOnly());
    add("일기", "b", "제목", "고양이 사진");
    CatchUpReport report;
    ASSERT_TRUE(second.catchUp({}, nullptr, &report));
    EXPECT_EQ(report.read, 0);
    ASSERT_TRUE(second.update(entry("일기", "b")));
    std::vector<SearchHit> hits;
    ASSERT_TRUE(second.search(u8("고양이"), {}, false, &hits));
    EXPECT_EQ(hits.size(), 1u);
    ASSERT_TRUE(index.catchUp({}, nullptr, &report));
    EXPECT_EQ(found("고양이"), (QStringList{"a", "b"}));
}

// A damaged index, or one of an older version, is removed and built again from the entries.
TEST_F(SearchIndexTest, DamagedOrOldIndexIsRebuilt) {
    add("일기", "a", "제목", "고양이 이야기");
    openAndCatchUp();
    EXPECT_TRUE(index.wasRebuilt());  // there was none
    const QString folder = index.folder();
    index.close();
    openAndCatchUp();
    EXPECT_FALSE(index.wasRebuilt());
    index.close();

    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        tk::test::writeFile(folder + name, QByteArray(8192, '\x5a'));
    }
    openAndCatchUp();
    EXPECT_TRUE(index.wasRebuilt());
    EXPECT_EQ(found("고양이"), QStringList{"a"});
    index.close();

    {
        Xapian::WritableDatabase db(folder.toStdString());
        // The version before this one kept each body as the document's data.
        db.set_metadata("tomekeep.version", std::to_string(SearchIndex::kVersion - 1));
        db.commit();
    }
    openAndCatchUp();
    EXPECT_TRUE(index.wasRebuilt());
    EXPECT_EQ(found("고양이"), QStringList{"a"});
}
