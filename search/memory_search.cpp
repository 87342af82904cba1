#include "search/memory_search.h"

#include "search/entry_text.h"
#include "search/search_terms.h"

#include <xapian.h>

namespace tk::search {
namespace {

// Decrypted text is overwritten before its memory is given back.
void wipe(QString& text) {
    text.fill(QChar(0));
    text.clear();
}

}  // namespace

std::vector<SearchHit> searchProtected(const QString& query, const std::vector<SearchHit>& candidates,
                                       const QString& password, bool withSnippets, const CatchUpProgress& progress,
                                       const std::atomic_bool* cancel, ProtectedSearchReport* report) {
    *report = {};
    std::vector<SearchHit> hits;
    const Xapian::Query parsed = parseQuery(query);
    if (parsed.empty() || candidates.empty()) {
        return hits;
    }
    // Entries that lack a word every match needs never go into the database: building it is most
    // of the cost of a search here.
    const std::vector<std::string> required = requiredTerms(parsed);
    Xapian::WritableDatabase memory(std::string(), Xapian::DB_BACKEND_INMEMORY);
    Xapian::TermGenerator generator = makeTermGenerator();
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
        } else {
            Xapian::Document document;
            generator.set_document(document);
            indexEntryText(generator, entry.row.title, entry.row.category, bodies[i]);
            if (holdsAll(document, required)) {
                document.add_value(0, std::to_string(i));
                memory.add_document(document);
            }
        }
        if (!withSnippets) {
            wipe(bodies[i]);
        }
        if (progress) {
            progress(static_cast<qsizetype>(i + 1), static_cast<qsizetype>(candidates.size()));
        }
    }
    Xapian::Enquire enquire(memory);
    enquire.set_query(parsed);
    const Xapian::MSet matches = enquire.get_mset(0, memory.get_doccount());
    for (auto it = matches.begin(); it != matches.end(); ++it) {
        const size_t index = std::stoul(it.get_document().get_value(0));
        hits.push_back(candidates[index]);
        if (withSnippets) {
            hits.back().snippet = snippetOf(matches, bodies[index]);
        }
    }
    for (QString& body : bodies) {
        wipe(body);
    }
    return hits;
}

}  // namespace tk::search
