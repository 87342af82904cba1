#pragma once

// Searching protected entries: each body is decrypted into memory, indexed in a database that
// lives only in memory and matched the same way as the index on disk. Nothing of it is written
// anywhere, and the password is used for this search only.
#include "search/search_index.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

namespace tk::search {

struct ProtectedSearchReport {
    QStringList unreadable;  // "path: reason" of each entry the password does not open or that is damaged
    bool cancelled = false;
};

// The entries among candidates (protected entries, from SearchIndex::protectedEntries) whose title,
// category or body match the query, best first.
std::vector<SearchHit> searchProtected(const QString& query, const std::vector<SearchHit>& candidates,
                                       const QString& password, bool withSnippets, const CatchUpProgress& progress,
                                       const std::atomic_bool* cancel, ProtectedSearchReport* report);

}  // namespace tk::search
