#include "search/memory_search.h"

#include "search/entry_text.h"
#include "search/memory_match.h"
#include "search/search_terms.h"

#include <algorithm>

namespace tk::search {
namespace {

// The required terms made only of letters and digits, as text: such a term is a word or a piece
// of one (a CJK pair), so an entry whose text does not hold it in any letter case cannot hold the
// term, and is passed over before its terms are made.
QStringList plainWords(const std::vector<std::string>& terms) {
    QStringList words;
    for (const std::string& term : terms) {
        const QString word = fromUtf8(term);
        if (!word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isLetterOrNumber(); })) {
            words.append(word);
        }
    }
    return words;
}

bool mayHold(const SearchHit& entry, const QString& body, const QStringList& words) {
    for (const QString& word : words) {
        if (!body.contains(word, Qt::CaseInsensitive) && !entry.row.title.contains(word, Qt::CaseInsensitive) &&
            !entry.row.category.contains(word, Qt::CaseInsensitive)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<SearchHit> searchProtected(const QString& query, const std::vector<SearchHit>& candidates,
                                       const QString& password, bool withSnippets, const CatchUpProgress& progress,
                                       const std::atomic_bool* cancel, ProtectedSearchReport* report) {
    *report = {};
    std::vector<SearchHit> hits;
    MemoryMatcher matcher(query);
    if (matcher.matchesNothing() || candidates.empty()) {
        return hits;
    }
    // Entries that lack a word every match needs are passed over before their terms are made:
    // making them is most of the cost of a search here.
    const QStringList words = plainWords(matcher.requiredTerms());
    std::vector<QString> bodies(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (cancel && cancel->load()) {
            report->cancelled = true;
            break;
        }
        const SearchHit& entry = candidates[i];
        const EntryComment comment{entry.row.title, entry.row.category, true, entry.row.documentFile};
        const BodyTextResult read = readEntryText(entry.archivePath(), comment, password, &bodies[i]);
        if (read != BodyTextResult::Ok) {
            // Named, never guessed at: an entry the password does not open is not matched by title.
            report->unreadable.append(entry.archivePath() + QStringLiteral(": ") + bodyTextReason(read));
        } else if (mayHold(entry, bodies[i], words)) {
            (void)matcher.add(i, entry.row.title, entry.row.category, bodies[i]);
        }
        if (!withSnippets) {
            wipeText(bodies[i]);
        }
        if (progress) {
            progress(static_cast<qsizetype>(i + 1), static_cast<qsizetype>(candidates.size()));
        }
    }
    std::vector<QString> snippets;
    for (const size_t index : matcher.matches(withSnippets ? &bodies : nullptr, withSnippets ? &snippets : nullptr)) {
        hits.push_back(candidates[index]);
        if (withSnippets) {
            hits.back().snippet = snippets[hits.size() - 1];
        }
    }
    for (QString& body : bodies) {
        wipeText(body);
    }
    return hits;
}

}  // namespace tk::search
