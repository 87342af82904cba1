// Indexes arbitrary text as an entry's title, category and body in a database in memory and runs
// arbitrary queries on it, as the index and the search of protected entries do. Beyond not
// crashing, every entry a query matches must hold the terms the query requires: the search of
// protected entries passes over the entries that lack one, so a wrong answer there loses results.
#include "search/search_terms.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

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

void checkQuery(Xapian::WritableDatabase& db, const QString& text, const QString& body) {
    const Xapian::Query query = tk::search::parseQuery(text);
    const std::vector<std::string> required = tk::search::requiredTerms(query);
    Xapian::Enquire enquire(db);
    enquire.set_query(query);
    const Xapian::MSet matches = enquire.get_mset(0, db.get_doccount());
    for (Xapian::MSetIterator it = matches.begin(); it != matches.end(); ++it) {
        if (!tk::search::holdsAll(it.get_document(), required)) {
            std::abort();
        }
        (void)tk::search::snippetOf(matches, body);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Parts parts = split(data, size);
    try {
        Xapian::WritableDatabase db(std::string(), Xapian::DB_BACKEND_INMEMORY);
        Xapian::TermGenerator generator = tk::search::makeTermGenerator();
        Xapian::Document document;
        generator.set_document(document);
        tk::search::indexEntryText(generator, parts.title, parts.query, parts.body);
        document.add_boolean_term(tk::search::boundedTerm("P", parts.title));
        db.add_document(document);
        checkQuery(db, parts.query, parts.body);
        // A word of the body as a query and as a phrase, so that matches are reached, not only misses.
        const QString word = parts.body.mid(parts.body.size() / 3, 6);
        checkQuery(db, word, parts.body);
        checkQuery(db, QLatin1Char('"') + word + QLatin1Char('"'), parts.body);
    } catch (const Xapian::Error&) {
        // The index and the search catch Xapian's errors and report them; only crashes and wrong
        // answers matter here.
    }
    return 0;
}
