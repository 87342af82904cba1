#pragma once

// Matching entries' texts against a query in memory, for entries whose text must never reach the
// index on disk. Xapian's in-memory database sorts a term's whole position list again for every
// position it takes, so a long body's common syllables would cost minutes; here each entry keeps
// only the terms the query names, without positions, and each phrase of the query is checked on
// the entry's own positions and stands in the query as a term of its own. What matches is what
// the index on disk would match for the same texts.
#include <QString>

#include <xapian.h>

#include <memory>
#include <string>
#include <vector>

namespace tk::search {

// The query with each phrase (and NEAR) read as all of its words, and the negations of phrases
// dropped: it matches every text the query matches, and some more, on an index kept without
// positions. *positional says whether the query held phrases, so that its matches need checking
// (MemoryMatcher::matchesText) before they are shown.
Xapian::Query relaxedQuery(const Xapian::Query& query, bool* positional);

class MemoryMatcher final {
  public:
    explicit MemoryMatcher(const QString& query);
    // A query already parsed (parseQuery).
    explicit MemoryMatcher(const Xapian::Query& parsed);
    ~MemoryMatcher();
    MemoryMatcher(const MemoryMatcher&) = delete;
    MemoryMatcher& operator=(const MemoryMatcher&) = delete;

    // The query can match nothing (empty, or only words the parser drops).
    bool matchesNothing() const;
    // The terms every text the query matches holds (requiredTerms of the query).
    const std::vector<std::string>& requiredTerms() const;
    // The texts the query lacks a required term of are passed over: false then.
    bool add(size_t key, const QString& title, const QString& category, const QString& body);
    // Whether the one text matches, phrases checked on its positions; nothing is added.
    bool matchesText(const QString& title, const QString& category, const QString& body);
    // The keys of the texts added that match, best first. With bodies (by key, as many as keys
    // were added), *snippets gets the words around each match, in the same order.
    std::vector<size_t> matches(const std::vector<QString>* bodies = nullptr, std::vector<QString>* snippets = nullptr);

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace tk::search
