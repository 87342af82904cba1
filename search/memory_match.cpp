#include "search/memory_match.h"

#include "search/search_terms.h"

#include <algorithm>
#include <set>

namespace tk::search {
namespace {

// A phrase (or NEAR) of the query: its terms, how many positions they may span, whether their
// order counts, and the term that stands for it in the query as matched here.
struct Phrase {
    std::vector<std::string> terms;
    Xapian::termpos window = 0;
    bool ordered = true;
    std::string marker;
};

// The window of a PHRASE or NEAR subquery as its description gives it ("(a@1 PHRASE 2 b@2)"): the
// query object does not tell it otherwise. The parser's phrases span exactly their terms.
Xapian::termpos windowOf(const Xapian::Query& query, const char* op, size_t terms) {
    const std::string text = query.get_description();
    const std::string key = std::string(" ") + op + " ";
    const size_t at = text.find(key);
    Xapian::termpos window = 0;
    for (size_t i = at == std::string::npos ? text.size() : at + key.size(); i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || window > 1000000) {
            break;
        }
        window = window * 10 + Xapian::termpos(text[i] - '0');
    }
    return window > 0 ? window : Xapian::termpos(terms);
}

using Positions = std::vector<Xapian::termpos>;

// Some k positions, one from each list in order, each after the one before, within the window.
bool holdsInOrder(const std::vector<Positions>& lists, Xapian::termpos window) {
    for (const Xapian::termpos first : lists.front()) {
        Xapian::termpos at = first;
        bool within = true;
        for (size_t j = 1; j < lists.size() && within; ++j) {
            const auto next = std::upper_bound(lists[j].begin(), lists[j].end(), at);
            if (next == lists[j].end()) {
                return false;  // a later first position cannot find one either
            }
            at = *next;
            within = at - first < window;
        }
        if (within) {
            return true;
        }
    }
    return false;
}

// Some positions, one for each term (a term named twice needs two), within the window in any order.
bool holdsNear(const std::vector<std::string>& terms, const std::vector<Positions>& lists, Xapian::termpos window) {
    std::vector<std::pair<Xapian::termpos, size_t>> merged;  // position and distinct term
    std::vector<std::string> distinct;
    std::vector<size_t> needed;
    for (size_t i = 0; i < terms.size(); ++i) {
        const auto known = std::find(distinct.begin(), distinct.end(), terms[i]);
        if (known != distinct.end()) {
            ++needed[size_t(known - distinct.begin())];
            continue;
        }
        distinct.push_back(terms[i]);
        needed.push_back(1);
        for (const Xapian::termpos at : lists[i]) {
            merged.emplace_back(at, distinct.size() - 1);
        }
    }
    std::sort(merged.begin(), merged.end());
    std::vector<size_t> have(distinct.size(), 0);
    size_t satisfied = 0;
    size_t begin = 0;
    for (size_t end = 0; end < merged.size(); ++end) {
        if (++have[merged[end].second] == needed[merged[end].second]) {
            ++satisfied;
        }
        while (satisfied == distinct.size()) {
            if (merged[end].first - merged[begin].first < window) {
                return true;
            }
            if (have[merged[begin].second]-- == needed[merged[begin].second]) {
                --satisfied;
            }
            ++begin;
        }
    }
    return false;
}

bool holdsPhrase(const Xapian::Query& query) {
    const Xapian::Query::op type = query.get_type();
    if (type == Xapian::Query::OP_PHRASE || type == Xapian::Query::OP_NEAR) {
        return true;
    }
    for (size_t i = 0; i < query.get_num_subqueries(); ++i) {
        if (holdsPhrase(query.get_subquery(i))) {
            return true;
        }
    }
    return false;
}

Xapian::Query relaxed(const Xapian::Query& query) {
    const Xapian::Query::op type = query.get_type();
    std::vector<Xapian::Query> subs;
    for (size_t i = 0; i < query.get_num_subqueries(); ++i) {
        const Xapian::Query sub = query.get_subquery(i);
        if (type == Xapian::Query::OP_AND_NOT && i > 0 && holdsPhrase(sub)) {
            continue;  // leaving out an exclusion only lets more through
        }
        subs.push_back(relaxed(sub));
    }
    switch (type) {
        case Xapian::Query::OP_PHRASE:
        case Xapian::Query::OP_NEAR:
            return Xapian::Query(Xapian::Query::OP_AND, subs.begin(), subs.end());
        case Xapian::Query::OP_XOR:
            // Either side may turn out not to match once its phrases are checked.
            return Xapian::Query(Xapian::Query::OP_OR, subs.begin(), subs.end());
        case Xapian::Query::OP_AND:
        case Xapian::Query::OP_OR:
        case Xapian::Query::OP_AND_NOT:
        case Xapian::Query::OP_AND_MAYBE:
        case Xapian::Query::OP_FILTER:
        case Xapian::Query::OP_SYNONYM:
        case Xapian::Query::OP_MAX:
            return subs.size() == 1 && type == Xapian::Query::OP_AND_NOT
                       ? subs.front()
                       : Xapian::Query(type, subs.begin(), subs.end());
        default:
            return query;
    }
}

}  // namespace

Xapian::Query relaxedQuery(const Xapian::Query& query, bool* positional) {
    *positional = holdsPhrase(query);
    return *positional ? relaxed(query) : query;
}

namespace {

// Whether a document holding exactly these terms matches the query, by its operators alone.
bool satisfies(const Xapian::Query& query, const std::set<std::string>& held) {
    const size_t count = query.get_num_subqueries();
    const auto sub = [&](size_t i) { return satisfies(query.get_subquery(i), held); };
    switch (query.get_type()) {
        case Xapian::Query::LEAF_TERM:
            return held.count(*query.get_terms_begin()) != 0;
        case Xapian::Query::LEAF_MATCH_ALL:
            return true;
        case Xapian::Query::OP_AND:
        case Xapian::Query::OP_FILTER:
            for (size_t i = 0; i < count; ++i) {
                if (!sub(i)) {
                    return false;
                }
            }
            return true;
        case Xapian::Query::OP_AND_NOT:
            for (size_t i = 1; i < count; ++i) {
                if (sub(i)) {
                    return false;
                }
            }
            return count > 0 && sub(0);
        case Xapian::Query::OP_AND_MAYBE:
            return count > 0 && sub(0);
        case Xapian::Query::OP_XOR: {
            size_t matched = 0;
            for (size_t i = 0; i < count; ++i) {
                matched += sub(i) ? 1 : 0;
            }
            return matched % 2 == 1;
        }
        case Xapian::Query::OP_OR:
        case Xapian::Query::OP_SYNONYM:
        case Xapian::Query::OP_MAX:
            for (size_t i = 0; i < count; ++i) {
                if (sub(i)) {
                    return true;
                }
            }
            return false;
        default:
            return false;
    }
}

}  // namespace

struct MemoryMatcher::Impl {
    Xapian::Query parsed;
    // The query as matched here: each phrase replaced by its marker, and the phrases' terms added
    // for weight and snippets without changing what matches.
    Xapian::Query query;
    std::vector<std::string> required;
    std::set<std::string> terms;  // every word term the query names, phrases' terms included
    std::vector<Phrase> phrases;
    // A query holding an operator the rewriting does not know is matched on whole documents.
    bool whole = false;
    Xapian::WritableDatabase memory{std::string(), Xapian::DB_BACKEND_INMEMORY};
    Xapian::TermGenerator generator = makeTermGenerator();

    Xapian::Query rewrite(const Xapian::Query& q) {
        const Xapian::Query::op type = q.get_type();
        switch (type) {
            case Xapian::Query::LEAF_TERM:
                terms.insert(*q.get_terms_begin());
                return q;
            case Xapian::Query::LEAF_MATCH_ALL:
            case Xapian::Query::LEAF_MATCH_NOTHING:
                return q;
            case Xapian::Query::OP_PHRASE:
            case Xapian::Query::OP_NEAR: {
                Phrase phrase;
                for (size_t i = 0; i < q.get_num_subqueries(); ++i) {
                    const Xapian::Query sub = q.get_subquery(i);
                    if (sub.get_type() != Xapian::Query::LEAF_TERM) {
                        whole = true;
                        return q;
                    }
                    phrase.terms.push_back(*sub.get_terms_begin());
                    terms.insert(phrase.terms.back());
                }
                const bool ordered = type == Xapian::Query::OP_PHRASE;
                phrase.window = windowOf(q, ordered ? "PHRASE" : "NEAR", phrase.terms.size());
                phrase.ordered = ordered;
                // No word term starts with a control character.
                phrase.marker = "\x01" + std::to_string(phrases.size());
                phrases.push_back(std::move(phrase));
                return Xapian::Query(phrases.back().marker);
            }
            case Xapian::Query::OP_AND:
            case Xapian::Query::OP_OR:
            case Xapian::Query::OP_AND_NOT:
            case Xapian::Query::OP_XOR:
            case Xapian::Query::OP_AND_MAYBE:
            case Xapian::Query::OP_FILTER:
            case Xapian::Query::OP_SYNONYM:
            case Xapian::Query::OP_MAX: {
                std::vector<Xapian::Query> subs;
                for (size_t i = 0; i < q.get_num_subqueries(); ++i) {
                    subs.push_back(rewrite(q.get_subquery(i)));
                }
                return Xapian::Query(type, subs.begin(), subs.end());
            }
            default:
                whole = true;
                return q;
        }
    }

    bool phraseHolds(const Xapian::Document& document, const Phrase& phrase) const {
        std::vector<Positions> lists;
        for (const std::string& term : phrase.terms) {
            Xapian::TermIterator it = document.termlist_begin();
            it.skip_to(term);
            if (it == document.termlist_end() || *it != term) {
                return false;
            }
            lists.emplace_back(it.positionlist_begin(), it.positionlist_end());
            if (lists.back().empty()) {
                return false;
            }
        }
        return phrase.ordered ? holdsInOrder(lists, phrase.window) : holdsNear(phrase.terms, lists, phrase.window);
    }

    // The text's terms with their positions, when it holds every term the query requires.
    bool fullHolding(const QString& title, const QString& category, const QString& body, Xapian::Document* full) {
        generator.set_document(*full);
        indexEntryText(generator, title, category, body);
        return holdsAll(*full, required);
    }

    // The document the entry goes into the database as: the query's terms with their frequencies
    // and the markers of the phrases it holds.
    Xapian::Document slim(const Xapian::Document& full) const {
        Xapian::Document document;
        Xapian::TermIterator it = full.termlist_begin();
        for (const std::string& term : terms) {
            it.skip_to(term);
            if (it == full.termlist_end()) {
                break;
            }
            if (*it == term) {
                document.add_term(term, it.get_wdf());
            }
        }
        for (const Phrase& phrase : phrases) {
            if (phraseHolds(full, phrase)) {
                document.add_term(phrase.marker);
            }
        }
        return document;
    }
};

MemoryMatcher::MemoryMatcher(const QString& query) : MemoryMatcher(parseQuery(query)) {}

MemoryMatcher::MemoryMatcher(const Xapian::Query& parsed) : d_(std::make_unique<Impl>()) {
    d_->parsed = parsed;
    d_->required = search::requiredTerms(d_->parsed);
    d_->query = d_->rewrite(d_->parsed);
    if (d_->whole) {
        d_->query = d_->parsed;
    } else if (!d_->phrases.empty()) {
        std::vector<Xapian::Query> words;
        for (const Phrase& phrase : d_->phrases) {
            for (const std::string& term : phrase.terms) {
                words.emplace_back(term);
            }
        }
        d_->query = Xapian::Query(Xapian::Query::OP_AND_MAYBE, d_->query,
                                  Xapian::Query(Xapian::Query::OP_OR, words.begin(), words.end()));
    }
}

MemoryMatcher::~MemoryMatcher() = default;

bool MemoryMatcher::matchesNothing() const {
    return d_->parsed.empty();
}

const std::vector<std::string>& MemoryMatcher::requiredTerms() const {
    return d_->required;
}

bool MemoryMatcher::add(size_t key, const QString& title, const QString& category, const QString& body) {
    Xapian::Document full;
    if (!d_->fullHolding(title, category, body, &full)) {
        return false;
    }
    Xapian::Document document = d_->whole ? full : d_->slim(full);
    document.add_value(0, std::to_string(key));
    d_->memory.add_document(document);
    return true;
}

bool MemoryMatcher::matchesText(const QString& title, const QString& category, const QString& body) {
    Xapian::Document full;
    if (d_->parsed.empty() || !d_->fullHolding(title, category, body, &full)) {
        return false;
    }
    if (d_->whole) {
        Xapian::WritableDatabase one(std::string(), Xapian::DB_BACKEND_INMEMORY);
        one.add_document(full);
        Xapian::Enquire enquire(one);
        enquire.set_query(d_->parsed);
        return !enquire.get_mset(0, 1).empty();
    }
    const Xapian::Document slim = d_->slim(full);
    std::set<std::string> held;
    for (Xapian::TermIterator it = slim.termlist_begin(); it != slim.termlist_end(); ++it) {
        held.insert(*it);
    }
    return satisfies(d_->query, held);
}

std::vector<size_t> MemoryMatcher::matches(const std::vector<QString>* bodies, std::vector<QString>* snippets) {
    std::vector<size_t> keys;
    if (snippets) {
        snippets->clear();
    }
    if (d_->parsed.empty() || d_->memory.get_doccount() == 0) {
        return keys;
    }
    Xapian::Enquire enquire(d_->memory);
    enquire.set_query(d_->query);
    const Xapian::MSet found = enquire.get_mset(0, d_->memory.get_doccount());
    for (auto it = found.begin(); it != found.end(); ++it) {
        keys.push_back(std::stoul(it.get_document().get_value(0)));
        if (bodies && snippets) {
            snippets->push_back(keys.back() < bodies->size() ? snippetOf(found, bodies->at(keys.back())) : QString());
        }
    }
    return keys;
}

}  // namespace tk::search
