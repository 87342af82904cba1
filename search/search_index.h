#pragma once

// The full-text index of a library's unprotected entries: title, category, archive path and body
// text, kept in a Xapian database in the per-user cache folder (never in the library, so a synced
// library carries none). It is a cache: a missing, damaged or older index is rebuilt from the
// entries themselves. Protected entries are listed by title, category and path only; their bodies
// never reach the index.
#include "store/entry_list.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tk::search {

struct DiskArchive;
struct BuiltDocument;

// One entry a search found.
struct SearchHit {
    EntryRow row;     // as the entry list shows it; the category is the entry's own
    QString folder;   // the category folder the archive lies in, ending in "/"
    QString snippet;  // the words around the match, when asked for
    QString archivePath() const { return folder + row.archiveName + QStringLiteral(".zip"); }
};

// What a catch-up did.
struct CatchUpReport {
    int read = 0;     // archives read again: new, changed or moved
    int removed = 0;  // archives that are gone
    // "path: reason" of each entry whose body could not be read (its title and category are still
    // indexed) or that could not be read at all (left out).
    QStringList unreadable;
    bool cancelled = false;
};

// done of total archives read so far; called from the thread that runs the catch-up.
using CatchUpProgress = std::function<void(qsizetype done, qsizetype total)>;

// One index, used from any thread: every operation takes the index for itself, and a catch-up
// lets go between entries, so update() and search() from another thread wait for one entry at most.
// One process writes an index at a time; another one that opens it meanwhile only reads it.
class SearchIndex final {
  public:
    // Raised whenever the way entries are stored or indexed changes: an older index is rebuilt.
    static constexpr int kVersion = 3;

    SearchIndex();
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Where the index of a library folder lies: below cacheRoot (empty: the per-user cache folder),
    // in a folder named after a hash of the library folder's canonical path.
    static QString indexFolderFor(const QString& libraryDir, const QString& cacheRoot = {});

    // Opens (or makes) the index of the library folder ("LIST/"); a damaged index, one of another
    // version or another library's is removed and made anew, empty, for catchUp() to fill.
    [[nodiscard]] bool open(const QString& libraryDir, const QString& cacheRoot = {});
    void close();
    bool isOpen() const;
    // Another process was writing the index when it was opened: searches answer from it as it is,
    // catch-ups and updates do nothing.
    bool isReadOnly() const;
    // The index was missing, damaged or old when it was opened, or was found damaged since, and was
    // made anew, empty.
    bool wasRebuilt() const;
    QString folder() const;

    // Brings the index up to date with the category folders below the library folder: archives
    // whose size or modification time changed since they were indexed, and new ones, are read
    // again; archives that are gone are removed. Work is committed in batches, so a catch-up that
    // is cancelled or killed keeps what it did and the next one goes on from there. A damaged
    // entry is named in the report and never stops the catch-up.
    [[nodiscard]] bool catchUp(const CatchUpProgress& progress, const std::atomic_bool* cancel, CatchUpReport* report);

    // The program's own changes, indexed at once: a saved, new, retitled or moved entry, and a
    // deleted one. *reason says why a body could not be read (the entry is indexed without it).
    // update() reads the archive on the calling thread and may wait for a catch-up's chunk to be
    // written, so windows call it from the thread that runs the index, not their own. During a
    // catch-up the change is committed with the catch-up's batch, and what the catch-up read of
    // that archive is dropped.
    [[nodiscard]] bool update(const QString& archivePath, QString* reason = nullptr);
    [[nodiscard]] bool remove(const QString& archivePath);

    // The unprotected entries whose title, category or body match the query, best first; with
    // categoryFolder empty, in every category, else only in that folder (not below it).
    // withSnippets fills each hit's snippet, from the archive itself when it changed since it was
    // indexed.
    [[nodiscard]] bool search(const QString& query, const QString& categoryFolder, bool withSnippets,
                              std::vector<SearchHit>* hits);

    // Every protected entry the index knows of, in categoryFolder or (empty) everywhere; their
    // bodies are searched in memory with the password (searchProtected).
    [[nodiscard]] bool protectedEntries(const QString& categoryFolder, std::vector<SearchHit>* entries);

    // Why the last operation failed; any thread may ask while another one works on the index.
    QString errorString() const {
        const std::lock_guard lock(errorMutex_);
        return errorString_;
    }

  private:
    struct Impl;
    bool fail(const QString& text);
    // Finds what changed, removes what is gone; *toRead gets the archives to read again.
    [[nodiscard]] bool planCatchUp(std::vector<DiskArchive>* toRead, CatchUpReport* report);
    [[nodiscard]] bool runCatchUp(const CatchUpProgress& progress, const std::atomic_bool* cancel,
                                  CatchUpReport* report);
    // The folder below the library folder, none for all; false when it lies outside the library.
    [[nodiscard]] bool relativeFolder(const QString& categoryFolder, std::optional<QString>* relFolder);
    void planOrThrow(std::vector<DiskArchive>* toRead, CatchUpReport* report);
    [[nodiscard]] bool writeChunk(const std::vector<DiskArchive>& archives, size_t begin,
                                  std::vector<BuiltDocument>& built, CatchUpReport* report);
    std::unique_ptr<Impl> d_;
    mutable std::mutex mutex_;
    mutable std::mutex errorMutex_;
    QString errorString_;
};

}  // namespace tk::search
