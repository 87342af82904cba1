// Indexes arbitrary text as an entry's title, category and body and runs arbitrary queries on it,
// as the index and the search of protected entries do. Beyond not crashing or taking long on
// megabytes of text, the in-memory matcher (each entry reduced to the query's terms, phrases
// checked on their positions) must match exactly what Xapian's own matching of the whole document
// matches, and every match must hold the terms its query requires: the search of protected entries
// passes over entries that lack one. The entry's terms, counted apart from the term generator for
// speed, must be the very terms, frequencies and positions the generator alone gives.
#include "search/memory_match.h"
#include "search/search_terms.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

// Xapian's in-memory database takes time in the square of a term's positions: the reference
// matching runs on small texts only.
constexpr qsizetype kReferenceChars = 4000;

// The input is title NUL query NUL body; with fewer NULs the query is cut from the body.
struct Parts {
    QString title, query, body;
};

Parts split(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype first = bytes.indexOf('\0');
    const qsizetype second = first < 0 ? -1 : bytes.indexOf('\0', first + 1);
    if (second < 0) {
        const QString body = QString::fromUtf8(bytes);
        return {body.left(20), body.mid(body.size() / 2, 8), body};
    }
    return {QString::fromUtf8(bytes.left(first)), QString::fromUtf8(bytes.mid(first + 1, second - first - 1)),
            QString::fromUtf8(bytes.mid(second + 1))};
}

// Whether Xapian itself matches the whole document with its positions.
bool referenceMatches(const Parts& parts, const QString& text) {
    const Xapian::Query query = tk::search::parseQuery(text);
    if (query.empty()) {
        return false;
    }
    Xapian::WritableDatabase db(std::string(), Xapian::DB_BACKEND_INMEMORY);
    Xapian::TermGenerator generator = tk::search::makeTermGenerator();
    Xapian::Document document;
    generator.set_document(document);
    tk::search::indexEntryText(generator, parts.title, QStringLiteral("분류"), parts.body);
    db.add_document(document);
    Xapian::Enquire enquire(db);
    enquire.set_query(query);
    const Xapian::MSet found = enquire.get_mset(0, 1);
    if (!found.empty() && !tk::search::holdsAll(found.begin().get_document(), tk::search::requiredTerms(query))) {
        std::abort();
    }
    return !found.empty();
}

// Every term of a document with its frequency and positions.
std::string describe(const Xapian::Document& document) {
    std::string text;
    for (auto it = document.termlist_begin(); it != document.termlist_end(); ++it) {
        text += *it + '\0' + std::to_string(it.get_wdf());
        for (auto pos = it.positionlist_begin(); pos != it.positionlist_end(); ++pos) {
            text += ' ' + std::to_string(*pos);
        }
        text += '\n';
    }
    return text;
}

void checkTerms(const Parts& parts) {
    Xapian::TermGenerator plain = tk::search::makeTermGenerator();
    Xapian::Document expected;
    plain.set_document(expected);
    plain.index_text(parts.title.toStdString());
    plain.increase_termpos(100);
    plain.index_text("분류");
    plain.increase_termpos(100);
    plain.index_text(parts.body.toStdString());
    Xapian::TermGenerator generator = tk::search::makeTermGenerator();
    Xapian::Document document;
    generator.set_document(document);
    tk::search::indexEntryText(generator, parts.title, QStringLiteral("분류"), parts.body);
    if (describe(document) != describe(expected) || generator.get_termpos() != plain.get_termpos()) {
        std::abort();
    }
}

void check(const Parts& parts, const QString& text) {
    tk::search::MemoryMatcher matcher(text);
    (void)matcher.add(0, parts.title, QStringLiteral("분류"), parts.body);
    const std::vector<QString> bodies{parts.body};
    std::vector<QString> snippets;
    const bool matched = !matcher.matches(&bodies, &snippets).empty();
    if (parts.body.size() + parts.title.size() <= kReferenceChars && matched != referenceMatches(parts, text)) {
        std::abort();
    }
    // One text checked alone, as the index checks what its words found, agrees; and the index,
    // which keeps no positions, finds it by the relaxed query.
    tk::search::MemoryMatcher alone(text);
    if (alone.matchesText(parts.title, QStringLiteral("분류"), parts.body) != matched) {
        std::abort();
    }
    if (matched) {
        bool positional = false;
        Xapian::WritableDatabase db(std::string(), Xapian::DB_BACKEND_INMEMORY);
        Xapian::TermGenerator generator = tk::search::makeTermGenerator();
        Xapian::Document document;
        generator.set_document(document);
        tk::search::indexEntryText(generator, parts.title, QStringLiteral("분류"), parts.body, false);
        db.add_document(document);
        Xapian::Enquire enquire(db);
        enquire.set_query(tk::search::relaxedQuery(tk::search::parseQuery(text), &positional));
        if (enquire.get_mset(0, 1).empty()) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Parts parts = split(data, size);
    try {
        checkTerms(parts);
        check(parts, parts.query);
        // Words of the body as a query and as a phrase, so that matches are reached, not only misses.
        const QString words = parts.body.mid(parts.body.size() / 3, 7);
        check(parts, words);
        check(parts, QLatin1Char('"') + words + QLatin1Char('"'));
        check(parts, words + QStringLiteral(" NEAR/2 ") + parts.body.right(3));
    } catch (const Xapian::Error&) {
        // The index and the search catch Xapian's errors and report them; only crashes and wrong
        // answers matter here.
    }
    return 0;
}
