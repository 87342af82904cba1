#pragma once

// The reading and writing of a catch-up, on two threads: the thread that runs it and a helper
// each read and index a chunk of archives, then write it in its turn, so while one writes, the
// other reads, and archives are written in the order they were found.
#include "search/search_index.h"

#include <xapian.h>

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tk::search {

// An archive found in a category folder.
struct DiskArchive {
    QString path;
    QString relPath;
    std::string stamp;
    Xapian::docid docid = 0;  // the document that holds it now, 0 for an archive new to the index
};

// A document built from an archive, with what the catch-up tells of it.
struct BuiltDocument {
    Xapian::Document document;
    QString reason;
};

class ChunkTurns;

// Only the thread that runs the catch-up tells of progress, before it passes the turn on, and it
// takes the first chunk before the helper starts: every chunk but the first is written after a
// progress callback has had the chance to cancel.
class CatchUpRun final {
  public:
    // Archives read and indexed together while the chunk before them is written.
    static constexpr size_t kChunk = 32;
    // Reads and indexes archives [begin, end) of the list.
    using Build = std::function<std::vector<BuiltDocument>(size_t begin, size_t end, Xapian::TermGenerator& generator)>;
    // Writes the documents built from the archives from begin on; false when it could not.
    using Write = std::function<bool(size_t begin, std::vector<BuiltDocument>& built)>;

    CatchUpRun(const std::vector<DiskArchive>& toRead, const CatchUpProgress& progress, const std::atomic_bool* cancel,
               CatchUpReport* report, Build build, Write write);
    ~CatchUpRun();
    CatchUpRun(const CatchUpRun&) = delete;
    CatchUpRun& operator=(const CatchUpRun&) = delete;

    // False when a chunk could not be written; report->cancelled tells whether all were.
    [[nodiscard]] bool readAndWrite();

  private:
    void work(std::optional<size_t> first, bool tells);
    bool step(size_t chunk, Xapian::TermGenerator& generator, bool tells);
    bool finish();
    qsizetype total() const { return static_cast<qsizetype>(toRead_.size()); }

    const std::vector<DiskArchive>& toRead_;
    const CatchUpProgress& progress_;
    const std::atomic_bool* cancel_;
    CatchUpReport* report_;
    Build build_;
    Write write_;
    std::unique_ptr<ChunkTurns> turns_;
    qsizetype told_ = 0;  // written only by the thread that tells
};

}  // namespace tk::search
