#pragma once

// The program's search index, kept current in the background: opened on the library when the
// program starts, brought up to date with the archives on disk on a thread of its own, told at
// once of every change the program makes, and stopped cleanly at exit. The windows never wait for
// it: they queue changes and run searches on another thread.
#include "search/search_index.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

namespace tk {

class SearchService final : public QObject {
    Q_OBJECT

  public:
    explicit SearchService(QObject* parent = nullptr);
    ~SearchService() override;  // stop()
    Q_DISABLE_COPY_MOVE(SearchService)

    // Opens the index of the library folder ("LIST/") below cacheRoot (empty: the per-user cache
    // folder) and starts a catch-up in the background. Returns at once; failure is signalled by
    // unavailable().
    void start(const QString& libraryDir, const QString& cacheRoot = {});
    // Cancels a running catch-up, lets queued changes finish, waits for the background work to end
    // and closes the index. Safe to call twice.
    void stop();

    // The index is open and can answer searches (it may still be catching up).
    bool isAvailable() const;
    // A catch-up runs now.
    bool isCatchingUp() const;
    // The open index; nullptr before start() has opened it or after stop(). Its operations may be
    // called from any thread but block while the index is busy: call search() and
    // protectedEntries() off the user-interface thread.
    search::SearchIndex* index();

    // The program changed or made the entry at archivePath (saved, new, retitled, new password,
    // moved), or removed it: queued, indexed on the service's thread.
    void entryChanged(const QString& archivePath);
    void entryRemoved(const QString& archivePath);
    // Archives below a folder came or went at once (a category folder moved, renamed or removed):
    // a catch-up is run (again) to follow them.
    void foldersChanged();

  Q_SIGNALS:
    // Emitted on the user-interface thread.
    void catchUpStarted();
    void catchUpProgress(qsizetype done, qsizetype total);
    void catchUpFinished(const tk::search::CatchUpReport& report);
    // The index could not be opened or written; text says why, in Korean.
    void unavailable(const QString& text);

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace tk

Q_DECLARE_METATYPE(tk::search::CatchUpReport)
