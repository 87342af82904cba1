#pragma once

// How entries become terms and how a query is read, shared by the index on disk and the in-memory
// search of protected entries so both match the same way: words in any letter case, Korean,
// Chinese and Japanese as overlapping pairs of characters (so a word matches inside a longer word
// and before a particle), phrases in quotes.
#include <QString>

#include <xapian.h>

#include <string>
#include <vector>

namespace tk::search {

// The terms of one entry: title, category and body, with gaps between them so a phrase never
// spans two of them.
// Without positions, only the terms and their frequencies: phrases are then checked on the text.
void indexEntryText(Xapian::TermGenerator& generator, const QString& title, const QString& category,
                    const QString& body, bool withPositions = true);
Xapian::TermGenerator makeTermGenerator();

// The longest query taken: the parser's memory grows far faster than a query's length (a phrase of
// some tens of thousands of characters takes gigabytes), and no one types a query this long.
inline constexpr qsizetype kMaxQueryChars = 1000;

// Why a query cannot be searched for, in Korean with what to do; empty when it can.
QString queryProblem(const QString& text);

// The query for what the user typed: every word must be there; "..." is a phrase. Text the query
// syntax cannot read is taken as plain words. An empty query, or one past kMaxQueryChars, yields
// Xapian::Query() (matches nothing).
Xapian::Query parseQuery(const QString& text);

// Terms every document the query matches must hold (empty when the query requires none, as an
// OR of words does). A document without one of them can be passed over unmatched.
std::vector<std::string> requiredTerms(const Xapian::Query& query);
// Whether the document holds every one of terms.
bool holdsAll(const Xapian::Document& document, const std::vector<std::string>& terms);

// A term with a prefix, shortened to a hash of its text when it would pass the length a term may
// have.
std::string boundedTerm(const char* prefix, const QString& text);

// The words around the best match in text, at most about maxChars characters, "…" where cut.
QString snippetOf(const Xapian::MSet& matches, const QString& text, int maxChars = 120);

inline std::string utf8(const QString& text) {
    return text.toStdString();
}
inline QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace tk::search
