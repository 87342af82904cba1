// The in-memory matching of protected entries against Xapian's own matching of whole documents:
// phrases, NEAR and ADJ, negated and alternative phrases, repeated words and Korean, over texts
// where each holds and where it does not.
#include "search/memory_match.h"
#include "search/search_terms.h"

#include <gtest/gtest.h>

namespace {

using tk::search::MemoryMatcher;

struct Text {
    const char* title;
    const char* body;
};

const Text kTexts[] = {
    {"제주 여행", "제주도에서 렌터카를 빌려 여행을 했다. 한라산에 올랐다."},
    {"렌터카", "렌터카를 빌리지 않고 버스로 다녔다. 빌려 준 책을 돌려받았다."},
    {"English", "The quick brown fox jumps over the lazy dog. Quick thinking, brown bread."},
    {"Repeats", "a a b a c a a d the the end"},
    {"Mixed", "hello 한글 world and 漢字 かな text, Hello World again"},
    {"Far apart", "brown one two three four five six seven eight nine ten eleven fox"},
    {"빈 글", ""},
};

const char* const kQueries[] = {
    "여행",
    "\"렌터카를 빌려\"",
    "\"빌려 여행\"",
    "렌터카 -\"렌터카를 빌려\"",
    "\"렌터카를 빌려\" OR 한라산",
    "\"quick brown\"",
    "\"brown quick\"",
    "quick NEAR brown",
    "brown NEAR/3 fox",
    "brown NEAR/20 fox",
    "brown ADJ fox",
    "fox ADJ/2 brown",
    "\"a a\"",
    "\"a a a\"",
    "\"the the\"",
    "a NEAR a",
    "\"hello 한글 world\"",
    "\"한글 world\"",
    "\"漢字 かな\"",
    "\"quick brown\" \"lazy dog\"",
    "\"lazy dog\" -\"quick brown\"",
    "(\"quick brown\" OR \"brown bread\") thinking",
    "\"unbalanced",
    "여행 AND NOT 렌터카",
    "제주 XOR 렌터카",
};

// Whether Xapian matches the whole document, positions and all.
bool referenceMatches(const Text& text, const char* query) {
    const Xapian::Query parsed = tk::search::parseQuery(QString::fromUtf8(query));
    if (parsed.empty()) {
        return false;
    }
    Xapian::WritableDatabase db(std::string(), Xapian::DB_BACKEND_INMEMORY);
    Xapian::TermGenerator generator = tk::search::makeTermGenerator();
    Xapian::Document document;
    generator.set_document(document);
    tk::search::indexEntryText(generator, QString::fromUtf8(text.title), QStringLiteral("분류"),
                               QString::fromUtf8(text.body));
    db.add_document(document);
    Xapian::Enquire enquire(db);
    enquire.set_query(parsed);
    return !enquire.get_mset(0, 1).empty();
}

// Whether the relaxed query matches the text indexed without positions, as the index keeps it.
bool relaxedMatches(const Text& text, const char* query) {
    bool positional = false;
    const Xapian::Query relaxed =
        tk::search::relaxedQuery(tk::search::parseQuery(QString::fromUtf8(query)), &positional);
    Xapian::WritableDatabase db(std::string(), Xapian::DB_BACKEND_INMEMORY);
    Xapian::TermGenerator generator = tk::search::makeTermGenerator();
    Xapian::Document document;
    generator.set_document(document);
    tk::search::indexEntryText(generator, QString::fromUtf8(text.title), QStringLiteral("분류"),
                               QString::fromUtf8(text.body), false);
    db.add_document(document);
    Xapian::Enquire enquire(db);
    enquire.set_query(relaxed);
    return !enquire.get_mset(0, 1).empty();
}

TEST(MemoryMatchTest, MatchesWhatTheWholeDocumentMatches) {
    int matched = 0;
    for (const char* query : kQueries) {
        MemoryMatcher matcher(QString::fromUtf8(query));
        for (size_t i = 0; i < std::size(kTexts); ++i) {
            (void)matcher.add(i, QString::fromUtf8(kTexts[i].title), QStringLiteral("분류"),
                              QString::fromUtf8(kTexts[i].body));
        }
        std::vector<bool> found(std::size(kTexts), false);
        for (const size_t key : matcher.matches()) {
            ASSERT_LT(key, std::size(kTexts));
            EXPECT_FALSE(found[key]) << query << ": text " << key << " twice";
            found[key] = true;
        }
        MemoryMatcher one(QString::fromUtf8(query));
        for (size_t i = 0; i < std::size(kTexts); ++i) {
            const bool expected = referenceMatches(kTexts[i], query);
            EXPECT_EQ(found[i], expected) << query << " on text " << i;
            EXPECT_EQ(one.matchesText(QString::fromUtf8(kTexts[i].title), QStringLiteral("분류"),
                                      QString::fromUtf8(kTexts[i].body)),
                      expected)
                << query << " on text " << i << " alone";
            // The index without positions must find every text the query matches, for the check.
            if (expected) {
                EXPECT_TRUE(relaxedMatches(kTexts[i], query)) << query << " on text " << i;
            }
            matched += found[i];
        }
    }
    EXPECT_GE(matched, 15);  // the table reaches matches, not only misses
}

TEST(MemoryMatchTest, LongBodiesMatchAndGiveSnippets) {
    // Common syllables hold tens of thousands of positions here.
    QString body;
    for (int i = 0; i < 20000; ++i) {
        body += QStringLiteral("제주도에서 렌터카를 빌려 여행을 했다. ");
    }
    body += QStringLiteral("마지막 날에는 한라산에 올랐다.");
    const std::vector<QString> bodies{body};
    for (const char* query : {"한라산", "\"렌터카를 빌려 여행을\"", "\"한라산에 올랐다\"", "한라산 -\"빌려 한라산\""}) {
        MemoryMatcher matcher(QString::fromUtf8(query));
        ASSERT_TRUE(matcher.add(0, QStringLiteral("긴 글"), QStringLiteral("분류"), body)) << query;
        std::vector<QString> snippets;
        ASSERT_EQ(matcher.matches(&bodies, &snippets), std::vector<size_t>{0}) << query;
        ASSERT_EQ(snippets.size(), 1u);
        EXPECT_FALSE(snippets[0].isEmpty()) << query;
    }
    MemoryMatcher absent(QStringLiteral("\"한라산에 렌터카\""));
    (void)absent.add(0, QStringLiteral("긴 글"), QStringLiteral("분류"), body);
    EXPECT_TRUE(absent.matches().empty());
    // A snippet of a phrase shows the phrase, not just the text's start.
    MemoryMatcher phrase(QStringLiteral("\"한라산에 올랐다\""));
    (void)phrase.add(0, QStringLiteral("긴 글"), QStringLiteral("분류"), body);
    std::vector<QString> snippets;
    ASSERT_EQ(phrase.matches(&bodies, &snippets).size(), 1u);
    EXPECT_TRUE(snippets[0].contains(QStringLiteral("한라산"))) << snippets[0].toStdString();
}

TEST(MemoryMatchTest, TextsWithoutARequiredWordArePassedOver) {
    MemoryMatcher matcher(QStringLiteral("한라산 여행"));
    EXPECT_FALSE(matcher.add(0, QStringLiteral("제목"), QStringLiteral("분류"), QStringLiteral("여행만 했다")));
    EXPECT_TRUE(matcher.add(1, QStringLiteral("한라산"), QStringLiteral("분류"), QStringLiteral("여행을 했다")));
    EXPECT_EQ(matcher.matches(), std::vector<size_t>{1});
    EXPECT_TRUE(MemoryMatcher(QStringLiteral("   ")).matchesNothing());
}

}  // namespace
