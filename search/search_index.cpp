#include "search/search_index.h"

#include "search/catch_up_run.h"
#include "search/entry_text.h"
#include "search/memory_match.h"
#include "search/search_terms.h"
#include "store/entry_comment.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <xapian.h>

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string_view>

namespace tk::search {

namespace {

// Values each document keeps: when its archive was read, where the archive lies, its row, and its
// body for snippets. The body is a value, not the document's data: Xapian compresses data, which
// doubled the cost of writing the index, and keeps values as they are.
constexpr Xapian::valueno kStampSlot = 0;
constexpr Xapian::valueno kPathSlot = 1;
constexpr Xapian::valueno kRowSlot = 2;
constexpr Xapian::valueno kBodySlot = 3;
// The index is a cache: commits are not synced to disk. A killed process leaves the last commit
// whole (it is in the system's cache); a system crash may leave an index that no longer opens,
// and such an index is rebuilt.
constexpr int kOpenFlags = Xapian::DB_NO_SYNC;
constexpr const char* kVersionKey = "tomekeep.version";
constexpr const char* kLibraryKey = "tomekeep.library";
// Entries per transaction: large enough that committing costs little, small enough that a
// cancelled or killed catch-up loses little and the index's buffers stay small.
constexpr int kBatch = 512;

// The size and modification time of an archive, as the index compares them.
std::string stampOf(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return {};
    }
    return std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
           std::to_string(st.st_mtim.tv_nsec);
}

// What a document stores besides its terms.
struct StoredEntry {
    EntryRow row;
    QString relFolder;  // the category folder below the library folder, "" or ending in "/"
    bool unreadable = false;
};

std::string serializeRow(const StoredEntry& entry) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << entry.row.title << entry.row.category << entry.row.archiveName << entry.row.documentFile
        << entry.row.isProtected << entry.relFolder << entry.unreadable;
    return bytes.toStdString();
}

// The row and folder of a document.
StoredEntry deserialize(const Xapian::Document& document) {
    const QByteArray bytes = QByteArray::fromStdString(document.get_value(kRowSlot));
    QDataStream in(bytes);
    StoredEntry entry;
    in >> entry.row.title >> entry.row.category >> entry.row.archiveName >> entry.row.documentFile >>
        entry.row.isProtected >> entry.relFolder >> entry.unreadable;
    return entry;
}

QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// Categories lie at most this many folders below the library folder.
constexpr int kMaxCategoryDepth = 3;

// Every "*.zip" file (any letter case) in the library folder and its category folders, as the
// program walks them: no hidden folders, no links (so a link cannot bring a folder in twice or lead
// outside the library), at most kMaxCategoryDepth levels down.
std::vector<DiskArchive> archivesBelow(const QString& libraryDir) {
    std::vector<DiskArchive> found;
    QStringList folders{libraryDir};
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString folder = folders[i];  // a copy: appending below may move the list
        if (folder.count(u'/') - libraryDir.count(u'/') < kMaxCategoryDepth) {
            for (const QString& sub : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
                folders.append(folder + sub + u'/');
            }
        }
        const QStringList names =
            QDir(folder).entryList({QStringLiteral("*.zip")}, QDir::Files | QDir::NoSymLinks, QDir::NoSort);
        for (const QString& name : names) {
            const QString path = folder + name;
            found.push_back({path, path.mid(libraryDir.size()), stampOf(path)});
        }
    }
    return found;
}

// Reads one archive into a document; *reason says what could not be read.
Xapian::Document documentFor(Xapian::TermGenerator& generator, const QString& path, const QString& relPath,
                             const std::string& stamp, QString* reason) {
    StoredEntry entry;
    QString body;
    const QFileInfo info(relPath);
    entry.relFolder = info.path() == QLatin1String(".") ? QString() : info.path() + u'/';
    entry.row.archiveName = info.completeBaseName();
    QString comment;
    if (ReadEntryComment(path, &comment) != ReadCommentResult::Ok) {
        entry.unreadable = true;
        *reason = bodyTextReason(BodyTextResult::NotArchive);
    } else {
        const EntryComment parsed = ParseEntryComment(comment);
        entry.row.title = parsed.title;
        entry.row.category = parsed.category;
        entry.row.documentFile = parsed.documentFile;
        entry.row.isProtected = parsed.isProtected;
        // A protected body is never read for the index.
        const BodyTextResult read =
            parsed.isProtected ? BodyTextResult::Ok : readEntryText(path, parsed, QString(), &body);
        *reason = bodyTextReason(read);
        entry.unreadable = read == BodyTextResult::NotArchive;
    }
    Xapian::Document document;
    // A file that is no entry archive keeps only its stamp, so it is not read again until it changes.
    if (!entry.unreadable) {
        generator.set_document(document);
        // Without positions: phrases are checked on the body itself when a query holds one, and
        // positions are most of what an index of Korean text would write.
        indexEntryText(generator, entry.row.title, entry.row.category, body, false);
        document.add_boolean_term(boundedTerm("XF", entry.relFolder));
        if (entry.row.isProtected) {
            document.add_boolean_term("XP");
        }
    }
    document.add_boolean_term(boundedTerm("Q", relPath));
    document.add_value(kStampSlot, stamp);
    document.add_value(kPathSlot, utf8(relPath));
    document.add_value(kRowSlot, serializeRow(entry));
    if (!body.isEmpty()) {
        document.add_value(kBodySlot, utf8(body));
    }
    return document;
}

QString openFailure(const QString& folder) {
    return QStringLiteral(
               "검색 색인을 열 수 없습니다(%1). 캐시 폴더에 쓸 수 있는지, 디스크에 빈 곳이 있는지 "
               "확인하세요.")
        .arg(folder);
}

QString writeFailure() {
    return QStringLiteral(
        "검색 색인에 쓸 수 없습니다. 디스크에 빈 곳이 있는지 확인하세요. 색인은 다음에 "
        "시작할 때 다시 맞춰집니다.");
}

}  // namespace

struct SearchIndex::Impl {
    QString libraryDir;
    QString folder;
    std::optional<Xapian::WritableDatabase> writable;
    std::optional<Xapian::Database> readable;
    bool rebuilt = false;
    int pending = 0;  // documents changed in the open transaction
    bool inTransaction = false;
    // While a catch-up runs, the archives the program changed meanwhile: what the catch-up read of
    // them may be older than what update() and remove() wrote, so it is not written.
    bool catchingUp = false;
    QSet<QString> touched;

    void touch(const QString& relPath) {
        if (catchingUp) {
            touched.insert(relPath);
        }
    }

    Xapian::Database& db() { return writable ? *writable : *readable; }

    bool makeWritable() {
        writable.emplace(utf8(folder), Xapian::DB_CREATE_OR_OPEN | kOpenFlags);
        return writable->get_metadata(kVersionKey) == std::to_string(kVersion) &&
               writable->get_metadata(kLibraryKey) == utf8(libraryDir);
    }

    void startFresh() {
        writable.reset();
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writable.emplace(utf8(folder), Xapian::DB_CREATE_OR_OVERWRITE | kOpenFlags);
        writable->set_metadata(kVersionKey, std::to_string(kVersion));
        writable->set_metadata(kLibraryKey, utf8(libraryDir));
        writable->commit();
        rebuilt = true;
    }

    void beginBatch() {
        if (writable && !inTransaction) {
            writable->begin_transaction();
            inTransaction = true;
        }
    }
    void commitBatch() {
        pending = 0;
        if (writable && inTransaction) {
            inTransaction = false;
            writable->commit_transaction();
        }
    }
    void abandonBatch() {
        if (writable && inTransaction) {
            inTransaction = false;
            try {
                writable->cancel_transaction();
            } catch (const Xapian::Error&) {
            }
        }
        pending = 0;
    }

    // An index found damaged while in use is made anew, empty, for the next catch-up to fill.
    bool recoverIfDamaged(const Xapian::Error& error) {
        if (!writable || std::string_view(error.get_type()) != "DatabaseCorruptError") {
            return false;
        }
        abandonBatch();
        try {
            startFresh();
        } catch (const Xapian::Error&) {
            return false;
        }
        return true;
    }

    std::map<std::string, std::pair<Xapian::docid, std::string>> storedStamps() {
        std::map<std::string, std::pair<Xapian::docid, std::string>> stored;
        Xapian::Database& database = db();
        for (auto it = database.valuestream_begin(kPathSlot); it != database.valuestream_end(kPathSlot); ++it) {
            stored[*it] = {it.get_docid(), {}};
        }
        std::map<Xapian::docid, std::string> stamps;
        for (auto it = database.valuestream_begin(kStampSlot); it != database.valuestream_end(kStampSlot); ++it) {
            stamps[it.get_docid()] = *it;
        }
        for (auto& [path, value] : stored) {
            value.second = stamps[value.first];
        }
        return stored;
    }
};

SearchIndex::SearchIndex() = default;

SearchIndex::~SearchIndex() {
    close();
}

QString SearchIndex::indexFolderFor(const QString& libraryDir, const QString& cacheRoot) {
    const QString root =
        cacheRoot.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation) : cacheRoot;
    QString canonical = QFileInfo(libraryDir).canonicalFilePath();
    if (canonical.isEmpty()) {
        canonical = QFileInfo(libraryDir).absoluteFilePath();
    }
    const QByteArray hash = QCryptographicHash::hash(withSlash(canonical).toUtf8(), QCryptographicHash::Sha256);
    return withSlash(root) + QStringLiteral("search/") + QString::fromLatin1(hash.toHex().left(32)) + u'/';
}

bool SearchIndex::open(const QString& libraryDir, const QString& cacheRoot) {
    close();
    const std::lock_guard lock(mutex_);
    auto d = std::make_unique<Impl>();
    const QString canonical = QFileInfo(libraryDir).canonicalFilePath();
    if (canonical.isEmpty() || !QFileInfo(canonical).isDir()) {
        return fail(QStringLiteral("%1: 자료 폴더가 없습니다. 폴더의 경로를 확인하세요.").arg(libraryDir));
    }
    d->libraryDir = withSlash(canonical);
    d->folder = indexFolderFor(libraryDir, cacheRoot);
    if (!QDir().mkpath(d->folder)) {
        return fail(openFailure(d->folder));
    }
    QFile::setPermissions(d->folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    try {
        try {
            if (!d->makeWritable()) {
                d->startFresh();  // new, of another version or another library's
            }
        } catch (const Xapian::DatabaseLockError&) {
            d->writable.reset();
            d->readable.emplace(utf8(d->folder));
        } catch (const Xapian::Error&) {
            d->startFresh();  // damaged
        }
    } catch (const Xapian::Error&) {
        return fail(openFailure(d->folder));
    }
    d_ = std::move(d);
    const std::lock_guard errorLock(errorMutex_);
    errorString_.clear();
    return true;
}

void SearchIndex::close() {
    const std::lock_guard lock(mutex_);
    if (d_ && d_->writable) {
        try {
            d_->commitBatch();
            d_->writable->close();
        } catch (const Xapian::Error&) {
        }
    }
    d_.reset();
}

bool SearchIndex::isOpen() const {
    const std::lock_guard lock(mutex_);
    return d_ != nullptr;
}

bool SearchIndex::isReadOnly() const {
    const std::lock_guard lock(mutex_);
    return d_ && !d_->writable;
}

bool SearchIndex::wasRebuilt() const {
    const std::lock_guard lock(mutex_);
    return d_ && d_->rebuilt;
}

QString SearchIndex::folder() const {
    const std::lock_guard lock(mutex_);
    return d_ ? d_->folder : QString();
}

bool SearchIndex::fail(const QString& text) {
    const std::lock_guard lock(errorMutex_);
    errorString_ = text;
    return false;
}

namespace {

// Reads and indexes archives [begin, end).
std::vector<BuiltDocument> buildChunk(const std::vector<DiskArchive>& archives, size_t begin, size_t end,
                                      Xapian::TermGenerator& generator) {
    std::vector<BuiltDocument> built(end - begin);
    for (size_t i = begin; i < end; ++i) {
        const DiskArchive& archive = archives[i];
        built[i - begin].document =
            documentFor(generator, archive.path, archive.relPath, archive.stamp, &built[i - begin].reason);
    }
    return built;
}

}  // namespace

bool SearchIndex::writeChunk(const std::vector<DiskArchive>& archives, size_t begin, std::vector<BuiltDocument>& built,
                             CatchUpReport* report) {
    const std::lock_guard lock(mutex_);
    if (!d_ || !d_->writable) {
        return fail(writeFailure());
    }
    try {
        d_->beginBatch();
        for (size_t i = 0; i < built.size(); ++i) {
            const DiskArchive& archive = archives[begin + i];
            if (d_->touched.contains(archive.relPath)) {
                continue;
            }
            if (!built[i].reason.isEmpty()) {
                report->unreadable.append(archive.path + QStringLiteral(": ") + built[i].reason);
            }
            if (archive.docid == 0) {
                d_->writable->add_document(built[i].document);
            } else {
                d_->writable->replace_document(archive.docid, built[i].document);
            }
            ++report->read;
            ++d_->pending;
        }
        if (d_->pending >= kBatch) {
            d_->commitBatch();
        }
    } catch (const Xapian::Error& error) {
        d_->abandonBatch();
        d_->recoverIfDamaged(error);
        return fail(writeFailure());
    }
    return true;
}

bool SearchIndex::planCatchUp(std::vector<DiskArchive>* toRead, CatchUpReport* report) {
    const std::lock_guard lock(mutex_);
    if (!d_) {
        return fail(openFailure(QString()));
    }
    if (!d_->writable) {
        return true;
    }
    d_->catchingUp = true;
    d_->touched.clear();
    for (int attempt = 0;; ++attempt) {
        try {
            planOrThrow(toRead, report);
            return true;
        } catch (const Xapian::Error& error) {
            d_->abandonBatch();
            toRead->clear();
            *report = {};
            if (attempt > 0 || !d_->recoverIfDamaged(error)) {
                return fail(writeFailure());
            }
        }
    }
}

void SearchIndex::planOrThrow(std::vector<DiskArchive>* toRead, CatchUpReport* report) {
    auto stored = d_->storedStamps();
    for (DiskArchive& archive : archivesBelow(d_->libraryDir)) {
        const auto it = stored.find(utf8(archive.relPath));
        if (it != stored.end()) {
            archive.docid = it->second.first;
            const bool unchanged = it->second.second == archive.stamp;
            stored.erase(it);
            if (unchanged) {
                continue;
            }
        }
        toRead->push_back(std::move(archive));
    }
    d_->beginBatch();
    for (const auto& [path, value] : stored) {
        d_->writable->delete_document(value.first);
        ++report->removed;
    }
    d_->commitBatch();
}

bool SearchIndex::catchUp(const CatchUpProgress& progress, const std::atomic_bool* cancel, CatchUpReport* report) {
    const bool done = runCatchUp(progress, cancel, report);
    const std::lock_guard lock(mutex_);
    if (d_) {
        d_->catchingUp = false;
        d_->touched.clear();
    }
    return done;
}

bool SearchIndex::runCatchUp(const CatchUpProgress& progress, const std::atomic_bool* cancel, CatchUpReport* report) {
    *report = {};
    std::vector<DiskArchive> toRead;
    if (!planCatchUp(&toRead, report)) {
        return false;
    }
    CatchUpRun run(
        toRead, progress, cancel, report,
        [&](size_t begin, size_t end, Xapian::TermGenerator& generator) {
            return buildChunk(toRead, begin, end, generator);
        },
        [&](size_t begin, std::vector<BuiltDocument>& built) { return writeChunk(toRead, begin, built, report); });
    if (!run.readAndWrite()) {
        return fail(writeFailure());
    }
    const std::lock_guard lock(mutex_);
    try {
        if (d_) {
            d_->commitBatch();
        }
    } catch (const Xapian::Error&) {
        d_->abandonBatch();
        return fail(writeFailure());
    }
    return true;
}

bool SearchIndex::update(const QString& archivePath, QString* reason) {
    const QString path = QFileInfo(archivePath).absoluteFilePath();
    QString libraryDir;
    {
        const std::lock_guard lock(mutex_);
        if (!d_) {
            return fail(openFailure(QString()));
        }
        libraryDir = d_->libraryDir;
    }
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty()) {
        return remove(archivePath);
    }
    if (!canonical.startsWith(libraryDir)) {
        return true;  // not an entry of this library
    }
    const QString relPath = canonical.mid(libraryDir.size());
    Xapian::TermGenerator generator = makeTermGenerator();
    QString why;
    const Xapian::Document document = documentFor(generator, canonical, relPath, stampOf(canonical), &why);
    if (reason) {
        *reason = why;
    }
    const std::lock_guard lock(mutex_);
    if (!d_ || !d_->writable) {
        return true;
    }
    try {
        d_->touch(relPath);
        d_->writable->replace_document(boundedTerm("Q", relPath), document);
        if (!d_->inTransaction) {
            d_->writable->commit();
        }
    } catch (const Xapian::Error&) {
        return fail(writeFailure());
    }
    return true;
}

bool SearchIndex::remove(const QString& archivePath) {
    const std::lock_guard lock(mutex_);
    if (!d_) {
        return fail(openFailure(QString()));
    }
    if (!d_->writable) {
        return true;
    }
    // The archive may be gone already, so its folder is made canonical rather than the file.
    const QFileInfo info(QFileInfo(archivePath).absoluteFilePath());
    const QString folder = withSlash(QFileInfo(info.path()).canonicalFilePath());
    if (!folder.startsWith(d_->libraryDir)) {
        return true;
    }
    try {
        const QString relPath = folder.mid(d_->libraryDir.size()) + info.fileName();
        d_->touch(relPath);
        d_->writable->delete_document(boundedTerm("Q", relPath));
        if (!d_->inTransaction) {
            d_->writable->commit();
        }
    } catch (const Xapian::Error&) {
        return fail(writeFailure());
    }
    return true;
}

namespace {

// Restricts a query to one category folder, given as a path below the library folder.
Xapian::Query inFolder(const Xapian::Query& query, const std::optional<QString>& relFolder) {
    if (!relFolder) {
        return query;
    }
    return Xapian::Query(Xapian::Query::OP_FILTER, query, Xapian::Query(boundedTerm("XF", *relFolder)));
}

SearchHit hitFrom(const StoredEntry& entry, const QString& libraryDir) {
    return SearchHit{entry.row, libraryDir + entry.relFolder, {}};
}

// A hit's body, for the words around the match and for checking phrases: the body the index keeps
// while the archive is as it was indexed, else the archive as it is now, read again, so an entry
// changed behind the index's back shows its new text, and one made protected or removed since
// shows none.
QString bodyFor(const Xapian::Document& document, const StoredEntry& entry, const QString& libraryDir) {
    if (entry.unreadable || entry.row.isProtected) {
        return {};
    }
    const QString path = libraryDir + fromUtf8(document.get_value(kPathSlot));
    if (stampOf(path) == document.get_value(kStampSlot)) {
        return fromUtf8(document.get_value(kBodySlot));
    }
    const EntryComment comment{entry.row.title, entry.row.category, false, entry.row.documentFile};
    QString body;
    if (readEntryText(path, comment, QString(), &body) != BodyTextResult::Ok) {
        return {};
    }
    return body;
}

}  // namespace

bool SearchIndex::relativeFolder(const QString& categoryFolder, std::optional<QString>* relFolder) {
    if (categoryFolder.isEmpty()) {
        return true;
    }
    const QString folder = withSlash(QFileInfo(categoryFolder).canonicalFilePath());
    if (!folder.startsWith(d_->libraryDir)) {
        return fail(QStringLiteral("%1: 자료 폴더(LIST) 안의 분류 폴더가 아닙니다. 분류 폴더의 경로를 확인하세요.")
                        .arg(categoryFolder));
    }
    *relFolder = folder.mid(d_->libraryDir.size());
    return true;
}

bool SearchIndex::search(const QString& query, const QString& categoryFolder, bool withSnippets,
                         std::vector<SearchHit>* hits) {
    hits->clear();
    const std::lock_guard lock(mutex_);
    if (!d_) {
        return fail(openFailure(QString()));
    }
    std::optional<QString> relFolder;
    if (!relativeFolder(categoryFolder, &relFolder)) {
        return false;
    }
    const Xapian::Query parsed = parseQuery(query);
    if (parsed.empty()) {
        return true;
    }
    // The index holds no positions: a query with phrases is answered by its words, and each entry
    // found is then checked on its text.
    bool positional = false;
    const Xapian::Query relaxed = relaxedQuery(parsed, &positional);
    std::optional<MemoryMatcher> exact;
    if (positional) {
        exact.emplace(parsed);
    }
    const Xapian::Query unprotected(Xapian::Query::OP_AND_NOT, relaxed, Xapian::Query("XP"));
    for (int attempt = 0;; ++attempt) {
        try {
            Xapian::Enquire enquire(d_->db());
            enquire.set_query(inFolder(unprotected, relFolder));
            const Xapian::MSet matches = enquire.get_mset(0, d_->db().get_doccount());
            hits->reserve(matches.size());
            for (auto it = matches.begin(); it != matches.end(); ++it) {
                const Xapian::Document document = it.get_document();
                const StoredEntry entry = deserialize(document);
                QString body;
                if (exact || withSnippets) {
                    body = bodyFor(document, entry, d_->libraryDir);
                }
                if (exact && !exact->matchesText(entry.row.title, entry.row.category, body)) {
                    continue;
                }
                hits->push_back(hitFrom(entry, d_->libraryDir));
                if (withSnippets && !body.isEmpty()) {
                    hits->back().snippet = snippetOf(matches, body);
                }
            }
            return true;
        } catch (const Xapian::DatabaseModifiedError&) {
            // Another process committed while this one read; read its new revision once.
            hits->clear();
            if (attempt > 0 || !d_->readable) {
                return fail(QStringLiteral("검색 색인이 읽는 동안 바뀌었습니다. 다시 찾아 보세요."));
            }
            d_->readable->reopen();
        } catch (const Xapian::Error& error) {
            hits->clear();
            if (d_->recoverIfDamaged(error)) {
                return fail(
                    QStringLiteral("검색 색인이 손상되어 새로 만들었습니다. 색인이 다시 채워진 뒤에 "
                                   "찾아 보세요."));
            }
            return fail(
                QStringLiteral("검색 색인을 읽을 수 없습니다. 프로그램을 다시 시작하면 색인을 새로 "
                               "만듭니다."));
        }
    }
}

bool SearchIndex::protectedEntries(const QString& categoryFolder, std::vector<SearchHit>* entries) {
    entries->clear();
    const std::lock_guard lock(mutex_);
    if (!d_) {
        return fail(openFailure(QString()));
    }
    std::optional<QString> relFolder;
    if (!relativeFolder(categoryFolder, &relFolder)) {
        return false;
    }
    try {
        Xapian::Enquire enquire(d_->db());
        enquire.set_query(inFolder(Xapian::Query("XP"), relFolder));
        enquire.set_docid_order(Xapian::Enquire::ASCENDING);
        enquire.set_weighting_scheme(Xapian::BoolWeight());
        const Xapian::MSet matches = enquire.get_mset(0, d_->db().get_doccount());
        for (auto it = matches.begin(); it != matches.end(); ++it) {
            entries->push_back(hitFrom(deserialize(it.get_document()), d_->libraryDir));
        }
    } catch (const Xapian::Error&) {
        entries->clear();
        return fail(QStringLiteral("검색 색인을 읽을 수 없습니다. 프로그램을 다시 시작하면 색인을 새로 만듭니다."));
    }
    return true;
}

}  // namespace tk::search
