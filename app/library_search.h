#pragma once

// Searches of the whole library that run on a thread of their own, so the windows never wait for
// them: the search index's answer for words in the entries' text, protected entries decrypted in
// memory with a password, and the title find over every category's entries. Results come back on
// the thread that owns the object, as a signal.
#include "search/search_index.h"
#include "store/entry_find.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <list>
#include <memory>
#include <thread>
#include <vector>

namespace tk {

// What one search found.
struct LibrarySearchOutcome {
    enum class Kind { Body, ProtectedList, Protected, Titles };
    Kind kind = Kind::Body;
    std::vector<search::SearchHit> hits;  // each with its folder; snippets for text searches
    // Protected: "path: reason" of each entry the password does not open or that is damaged.
    // Titles: the archives that could not be read.
    QStringList unreadable;
    bool failed = false;
    QString error;  // why, when failed
    bool cancelled = false;
};

class LibrarySearch final : public QObject {
    Q_OBJECT

  public:
    explicit LibrarySearch(QObject* parent = nullptr);
    // Cancels what runs and waits for it: the index a search reads must outlive it.
    ~LibrarySearch() override;
    Q_DISABLE_COPY_MOVE(LibrarySearch)

    // The unprotected entries in scope (a category folder; empty: every category) whose title,
    // category or text hold the words of query, best first, with the words around the match.
    void startBody(search::SearchIndex* index, const QString& query, const QString& scope);
    // The protected entries in scope the index knows of: the candidates for startProtected().
    void startProtectedList(search::SearchIndex* index, const QString& scope);
    // The candidates whose text, decrypted in memory with password, holds the words of query.
    // The password is taken over and its characters are overwritten as soon as the search is done
    // with them.
    void startProtected(const QString& query, std::vector<search::SearchHit> candidates, QString&& password);
    // The entries of every category folder below libraryDir whose row matches as the find
    // window's title find does (upperNeedle already folded).
    void startTitles(const QString& libraryDir, const QString& upperNeedle, const FindOptions& options);

    // Stops waiting for the running search: it is told to stop and its result is dropped.
    void cancel();
    // A search was started and neither finished nor was cancelled.
    bool isRunning() const { return running_; }
    // Cancels, then waits for every search thread to end.
    void stopAndWait();

  Q_SIGNALS:
    // done of total entries read; only while a search of protected entries runs.
    void progress(qsizetype done, qsizetype total);
    void finished(const tk::LibrarySearchOutcome& outcome);

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic_bool> cancel;
        std::shared_ptr<std::atomic_bool> done;
    };
    using Job =
        std::function<LibrarySearchOutcome(const std::atomic_bool& cancel, const search::CatchUpProgress& progress)>;
    void start(Job job);
    void deliver(quint64 generation, LibrarySearchOutcome outcome);
    void reapFinished();

    std::list<Worker> workers_;
    quint64 generation_ = 0;
    bool running_ = false;
};

// The category folders below libraryDir, three levels deep, each ending in "/", parents before
// their sub-folders, in the category menu's order.
QStringList categoryFolders(const QString& libraryDir);

}  // namespace tk

Q_DECLARE_METATYPE(tk::LibrarySearchOutcome)
