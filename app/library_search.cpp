#include "app/library_search.h"

#include "search/entry_text.h"
#include "search/memory_search.h"
#include "store/category_tree.h"
#include "store/entry_list.h"

#include <QElapsedTimer>
#include <QMetaObject>

namespace tk {
namespace {

// Progress of a protected search reaches the window at most this often.
constexpr qint64 kProgressIntervalMs = 50;

void addFolders(const QList<CategoryNode>& nodes, const QString& parent, QStringList* folders) {
    for (const CategoryNode& node : nodes) {
        const QString folder = parent + node.name + u'/';
        folders->append(folder);
        addFolders(node.children, folder, folders);
    }
}

LibrarySearchOutcome failure(LibrarySearchOutcome::Kind kind, const QString& error) {
    LibrarySearchOutcome outcome;
    outcome.kind = kind;
    outcome.failed = true;
    outcome.error = error;
    return outcome;
}

}  // namespace

QStringList categoryFolders(const QString& libraryDir) {
    QStringList folders;
    addFolders(readCategoryTree(libraryDir), libraryDir.endsWith(u'/') ? libraryDir : libraryDir + u'/', &folders);
    return folders;
}

LibrarySearch::LibrarySearch(QObject* parent) : QObject(parent) {}

LibrarySearch::~LibrarySearch() {
    stopAndWait();
}

void LibrarySearch::startBody(search::SearchIndex* index, const QString& query, const QString& scope) {
    start([index, query, scope](const std::atomic_bool&, const search::CatchUpProgress&) {
        LibrarySearchOutcome outcome;
        outcome.kind = LibrarySearchOutcome::Kind::Body;
        if (!index->search(query, scope, true, &outcome.hits)) {
            return failure(outcome.kind, index->errorString());
        }
        return outcome;
    });
}

void LibrarySearch::startProtectedList(search::SearchIndex* index, const QString& scope) {
    start([index, scope](const std::atomic_bool&, const search::CatchUpProgress&) {
        LibrarySearchOutcome outcome;
        outcome.kind = LibrarySearchOutcome::Kind::ProtectedList;
        if (!index->protectedEntries(scope, &outcome.hits)) {
            return failure(outcome.kind, index->errorString());
        }
        return outcome;
    });
}

void LibrarySearch::startProtected(const QString& query, std::vector<search::SearchHit> candidates,
                                   QString&& password) {
    // A copy of its own, so that wiping it overwrites the only characters the search holds; the
    // given one is wiped at once (in place, unless another copy shares it).
    auto secret = std::make_shared<QString>(password.constData(), password.size());
    search::wipeText(password);
    start([query, secret, candidates = std::move(candidates)](const std::atomic_bool& cancel,
                                                              const search::CatchUpProgress& progress) {
        LibrarySearchOutcome outcome;
        outcome.kind = LibrarySearchOutcome::Kind::Protected;
        search::ProtectedSearchReport report;
        outcome.hits = search::searchProtected(query, candidates, *secret, true, progress, &cancel, &report);
        search::wipeText(*secret);
        outcome.unreadable = report.unreadable;
        outcome.cancelled = report.cancelled;
        return outcome;
    });
}

void LibrarySearch::startTitles(const QString& libraryDir, const QString& upperNeedle, const FindOptions& options) {
    start([libraryDir, upperNeedle, options](const std::atomic_bool& cancel, const search::CatchUpProgress&) {
        LibrarySearchOutcome outcome;
        outcome.kind = LibrarySearchOutcome::Kind::Titles;
        for (const QString& folder : categoryFolders(libraryDir)) {
            if (cancel.load()) {
                outcome.cancelled = true;
                break;
            }
            EntryListing listing = LoadEntries(folder);
            sortByTitle(listing.rows);
            for (EntryRow& row : listing.rows) {
                if (rowMatchesFind(row, upperNeedle, options)) {
                    row.folder = folder;
                    outcome.hits.push_back(search::SearchHit{std::move(row), folder, {}});
                }
            }
            for (const QString& name : listing.unreadable) {
                outcome.unreadable.append(folder + name);
            }
        }
        return outcome;
    });
}

void LibrarySearch::start(Job job) {
    reapFinished();
    cancel();
    const quint64 generation = ++generation_;
    running_ = true;
    Worker worker{{}, std::make_shared<std::atomic_bool>(false), std::make_shared<std::atomic_bool>(false)};
    worker.thread = std::thread([this, job = std::move(job), generation, cancel = worker.cancel, done = worker.done] {
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        auto tell = [&](qsizetype count, qsizetype total) {
            if (count != total && sinceProgress.elapsed() < kProgressIntervalMs) {
                return;
            }
            sinceProgress.restart();
            QMetaObject::invokeMethod(
                this,
                [this, generation, count, total] {
                    if (generation == generation_ && running_) {
                        Q_EMIT progress(count, total);
                    }
                },
                Qt::QueuedConnection);
        };
        LibrarySearchOutcome outcome = job(*cancel, tell);
        QMetaObject::invokeMethod(
            this,
            [this, generation, outcome = std::move(outcome)]() mutable { deliver(generation, std::move(outcome)); },
            Qt::QueuedConnection);
        done->store(true);
    });
    workers_.push_back(std::move(worker));
}

void LibrarySearch::deliver(quint64 generation, LibrarySearchOutcome outcome) {
    reapFinished();
    if (generation != generation_ || !running_) {
        return;  // cancelled, or overtaken by a newer search
    }
    running_ = false;
    Q_EMIT finished(outcome);
}

void LibrarySearch::cancel() {
    running_ = false;
    for (Worker& worker : workers_) {
        worker.cancel->store(true);
    }
}

void LibrarySearch::stopAndWait() {
    cancel();
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) {
            worker.thread.join();
        }
    }
    workers_.clear();
}

void LibrarySearch::reapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace tk
