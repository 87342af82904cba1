#include "app/search_service.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tk {
namespace {

// Progress is passed to the windows at most this often; the last step always.
constexpr qint64 kProgressEveryMs = 100;
// An index another process is writing is tried again this often, so that the program's own
// changes are indexed once that process lets go.
constexpr std::chrono::seconds kReadOnlyRetry{2};

struct Change {
    QString archivePath;
    bool removed = false;
};

enum class Phase { Opening, Open, Failed };

}  // namespace

struct SearchService::Impl {
    explicit Impl(SearchService* owner) : q(owner) {}

    SearchService* q;
    search::SearchIndex index;
    QString libraryDir;
    QString cacheRoot;

    // Guards everything below up to the threads.
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Change> changes;
    Phase phase = Phase::Opening;
    bool catchUpWanted = false;
    bool stopping = false;

    std::atomic_bool cancel{false};
    std::atomic_bool available{false};
    std::atomic_bool catchingUp{false};
    std::thread catchUpThread;
    std::thread changeThread;
    bool running = false;  // only touched on the thread that owns the service

    // Runs f on the user-interface thread, unless the service is gone by then.
    template <typename F>
    void post(F&& f) {
        QMetaObject::invokeMethod(q, std::forward<F>(f), Qt::QueuedConnection);
    }

    void setPhase(Phase next) {
        {
            const std::lock_guard lock(mutex);
            phase = next;
        }
        wake.notify_all();
    }

    void becomeUnavailable(const QString& text) {
        available = false;
        setPhase(Phase::Failed);
        qWarning("search index unavailable: %s", qPrintable(text));
        post([q = q, text] { Q_EMIT q->unavailable(text); });
    }

    bool openIndex() {
        if (!index.open(libraryDir, cacheRoot)) {
            becomeUnavailable(index.errorString());
            return false;
        }
        available = true;
        setPhase(Phase::Open);
        return true;
    }

    // While another process writes the index, searches answer from it as it is. Whether this
    // process may write it yet is tried on an index of its own, so the one searches use is
    // opened again only once, when it can be written. False when the service stops meanwhile.
    bool waitUntilWritable() {
        while (index.isReadOnly()) {
            {
                std::unique_lock lock(mutex);
                if (wake.wait_for(lock, kReadOnlyRetry, [this] { return stopping; })) {
                    return false;
                }
            }
            search::SearchIndex probe;
            if (!probe.open(libraryDir, cacheRoot) || probe.isReadOnly()) {
                continue;
            }
            probe.close();
            if (!index.open(libraryDir, cacheRoot)) {
                becomeUnavailable(index.errorString());
                return false;
            }
        }
        return true;
    }

    // Waits for a catch-up to be wanted; false when the service stops instead.
    bool nextCatchUp() {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stopping || catchUpWanted; });
        if (stopping) {
            return false;
        }
        catchUpWanted = false;
        return true;
    }

    void runCatchUps() {
        if (!openIndex()) {
            return;
        }
        while (waitUntilWritable() && nextCatchUp()) {
            if (!catchUpOnce()) {
                return;
            }
        }
    }

    // False when the index could not be written and the service gave it up.
    bool catchUpOnce() {
        catchingUp = true;
        post([q = q] { Q_EMIT q->catchUpStarted(); });
        QElapsedTimer sincePosted;
        sincePosted.start();
        const search::CatchUpProgress progress = [this, &sincePosted](qsizetype done, qsizetype total) {
            if (done < total && sincePosted.elapsed() < kProgressEveryMs) {
                return;
            }
            sincePosted.restart();
            post([q = q, done, total] { Q_EMIT q->catchUpProgress(done, total); });
        };
        search::CatchUpReport report;
        bool ok = index.catchUp(progress, &cancel, &report);
        if (!ok && index.wasRebuilt() && !cancel) {
            // Found damaged and made anew, empty: filled again from the entries.
            ok = index.catchUp(progress, &cancel, &report);
        }
        catchingUp = false;
        post([q = q, report] { Q_EMIT q->catchUpFinished(report); });
        if (!ok) {
            becomeUnavailable(index.errorString());
        }
        return ok;
    }

    // Waits for a change to index; false when the service stops and none is left.
    bool nextChange(Change* change) {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return phase != Phase::Opening && (stopping || !changes.empty()); });
        if (phase == Phase::Failed) {
            changes.clear();
            return false;
        }
        if (changes.empty()) {
            return false;
        }
        *change = std::move(changes.front());
        changes.pop_front();
        return true;
    }

    void runChanges() {
        Change change;
        while (nextChange(&change)) {
            QString reason;
            const bool ok =
                change.removed ? index.remove(change.archivePath) : index.update(change.archivePath, &reason);
            if (!reason.isEmpty()) {
                qWarning("search index: %s: %s", qPrintable(change.archivePath), qPrintable(reason));
            }
            if (!ok) {
                // The archive's size and time tell the next catch-up to read it again; when that
                // fails too, the index is given up.
                qWarning("search index: %s", qPrintable(index.errorString()));
                wantCatchUp();
            }
        }
    }

    void wantCatchUp() {
        {
            const std::lock_guard lock(mutex);
            catchUpWanted = true;
        }
        wake.notify_all();
    }

    void queue(Change change) {
        if (!running) {
            return;
        }
        {
            const std::lock_guard lock(mutex);
            if (phase == Phase::Failed) {
                return;
            }
            changes.push_back(std::move(change));
        }
        wake.notify_all();
    }
};

SearchService::SearchService(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>(this)) {
    qRegisterMetaType<tk::search::CatchUpReport>("tk::search::CatchUpReport");
}

SearchService::~SearchService() {
    stop();
}

void SearchService::start(const QString& libraryDir, const QString& cacheRoot) {
    stop();
    d_->libraryDir = libraryDir;
    d_->cacheRoot = cacheRoot;
    {
        const std::lock_guard lock(d_->mutex);
        d_->changes.clear();
        d_->phase = Phase::Opening;
        d_->catchUpWanted = true;
        d_->stopping = false;
    }
    d_->cancel = false;
    d_->running = true;
    d_->catchUpThread = std::thread([d = d_.get()] { d->runCatchUps(); });
    d_->changeThread = std::thread([d = d_.get()] { d->runChanges(); });
}

void SearchService::stop() {
    if (!d_->running) {
        return;
    }
    {
        const std::lock_guard lock(d_->mutex);
        d_->stopping = true;
    }
    d_->cancel = true;
    d_->wake.notify_all();
    d_->catchUpThread.join();
    d_->changeThread.join();
    d_->running = false;
    d_->available = false;
    d_->catchingUp = false;
    d_->index.close();
}

bool SearchService::isAvailable() const {
    return d_->available;
}

bool SearchService::isCatchingUp() const {
    return d_->catchingUp;
}

search::SearchIndex* SearchService::index() {
    return d_->available ? &d_->index : nullptr;
}

void SearchService::entryChanged(const QString& archivePath) {
    d_->queue(Change{archivePath, false});
}

void SearchService::entryRemoved(const QString& archivePath) {
    d_->queue(Change{archivePath, true});
}

void SearchService::foldersChanged() {
    if (d_->running) {
        d_->wantCatchUp();
    }
}

}  // namespace tk
