#include "search/search_terms.h"

#include "search/entry_terms.h"

#include <QCryptographicHash>

#include <algorithm>

namespace tk::search {
namespace {

// Xapian refuses terms past 245 bytes.
constexpr size_t kMaxTermBytes = 240;
constexpr Xapian::termpos kFieldGap = 100;

constexpr unsigned kQueryFlags = Xapian::QueryParser::FLAG_PHRASE | Xapian::QueryParser::FLAG_LOVEHATE |
                                 Xapian::QueryParser::FLAG_BOOLEAN | Xapian::QueryParser::FLAG_CJK_NGRAM;

Xapian::Query parseWith(const std::string& text, unsigned flags) {
    Xapian::QueryParser parser;
    parser.set_default_op(Xapian::Query::OP_AND);
    return parser.parse_query(text, flags);
}

}  // namespace

Xapian::TermGenerator makeTermGenerator() {
    Xapian::TermGenerator generator;
    generator.set_flags(Xapian::TermGenerator::FLAG_CJK_NGRAM);
    return generator;
}

void indexEntryText(Xapian::TermGenerator& generator, const QString& title, const QString& category,
                    const QString& body, bool withPositions) {
    EntryTerms terms(generator, withPositions);
    terms.addText(title);
    terms.skip(kFieldGap);
    terms.addText(category);
    terms.skip(kFieldGap);
    terms.addText(body);
    terms.finish();
}

QString queryProblem(const QString& text) {
    if (text.trimmed().size() > kMaxQueryChars) {
        return QStringLiteral("찾을 말이 너무 깁니다(%1자). %2자 안으로 줄여서 다시 찾으세요.")
            .arg(text.trimmed().size())
            .arg(kMaxQueryChars);
    }
    return {};
}

Xapian::Query parseQuery(const QString& text) {
    const std::string query = utf8(text.trimmed());
    if (query.empty() || !queryProblem(text).isEmpty()) {
        return {};
    }
    try {
        return parseWith(query, kQueryFlags);
    } catch (const Xapian::QueryParserError&) {
        // An unbalanced quote or a stray operator: the words themselves are still searched for.
        return parseWith(query, Xapian::QueryParser::FLAG_CJK_NGRAM);
    }
}

std::vector<std::string> requiredTerms(const Xapian::Query& query) {
    std::vector<std::string> terms;
    const auto all = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const std::vector<std::string> sub = requiredTerms(query.get_subquery(i));
            terms.insert(terms.end(), sub.begin(), sub.end());
        }
    };
    switch (query.get_type()) {
        case Xapian::Query::LEAF_TERM:
            terms.push_back(*query.get_terms_begin());
            break;
        case Xapian::Query::OP_AND:
        case Xapian::Query::OP_FILTER:
        case Xapian::Query::OP_NEAR:
        case Xapian::Query::OP_PHRASE:
            all(query.get_num_subqueries());
            break;
        case Xapian::Query::OP_AND_MAYBE:
        case Xapian::Query::OP_AND_NOT:
            all(std::min<size_t>(1, query.get_num_subqueries()));  // only the first decides
            break;
        default:
            break;  // any one of several, or something other than terms
    }
    return terms;
}

bool holdsAll(const Xapian::Document& document, const std::vector<std::string>& terms) {
    for (const std::string& term : terms) {
        Xapian::TermIterator it = document.termlist_begin();
        it.skip_to(term);
        if (it == document.termlist_end() || *it != term) {
            return false;
        }
    }
    return true;
}

std::string boundedTerm(const char* prefix, const QString& text) {
    std::string term = prefix + utf8(text);
    if (term.size() > kMaxTermBytes) {
        term = std::string(prefix) + "#" +
               QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().toStdString();
    }
    return term;
}

QString snippetOf(const Xapian::MSet& matches, const QString& text, int maxChars) {
    // The snippet's length is counted in bytes; Korean takes three a character.
    const std::string snippet =
        matches.snippet(utf8(text), static_cast<size_t>(maxChars) * 3, Xapian::Stem(),
                        Xapian::MSet::SNIPPET_EXHAUSTIVE | Xapian::MSet::SNIPPET_CJK_NGRAM, "", "", "…");
    return fromUtf8(snippet).simplified();
}

}  // namespace tk::search
