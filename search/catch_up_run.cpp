#include "search/catch_up_run.h"

#include "search/search_terms.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tk::search {

// Hands out the chunks of a catch-up to the threads that read them, and gives each its turn to be
// written once every chunk before it is: so one thread reads while another writes, and archives
// are written in the order they were found.
class ChunkTurns final {
  public:
    explicit ChunkTurns(size_t chunks) : chunks_(chunks) {}

    // The next chunk to read; false when none is left, or the catch-up is cancelled or stopped.
    bool take(size_t* chunk, const std::atomic_bool* cancel) {
        const std::lock_guard lock(mutex_);
        if (stopped_ || next_ >= chunks_ || (cancel && cancel->load())) {
            return false;
        }
        *chunk = next_++;
        return true;
    }
    // Waits for the chunk's turn; false when the catch-up stopped meanwhile.
    bool waitTurn(size_t chunk) {
        std::unique_lock lock(mutex_);
        turnChanged_.wait(lock, [&] { return turn_ == chunk || stopped_; });
        return !stopped_;
    }
    // The chunk whose turn it is was written; returns the archives written so far.
    size_t written(size_t archives) {
        const std::lock_guard lock(mutex_);
        done_ += archives;
        return done_;
    }
    // The next chunk's turn.
    void pass() {
        const std::lock_guard lock(mutex_);
        ++turn_;
        turnChanged_.notify_all();
    }
    // No chunk is written any more: the catch-up was cancelled, or failed.
    void stop(bool failed) {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        failed_ = failed_ || failed;
        turnChanged_.notify_all();
    }
    bool failed() const {
        const std::lock_guard lock(mutex_);
        return failed_;
    }
    size_t done() const {
        const std::lock_guard lock(mutex_);
        return done_;
    }

  private:
    const size_t chunks_;
    mutable std::mutex mutex_;
    std::condition_variable turnChanged_;
    size_t next_ = 0;
    size_t turn_ = 0;
    size_t done_ = 0;
    bool stopped_ = false;
    bool failed_ = false;
};

CatchUpRun::CatchUpRun(const std::vector<DiskArchive>& toRead, const CatchUpProgress& progress,
                       const std::atomic_bool* cancel, CatchUpReport* report, Build build, Write write)
    : toRead_(toRead),
      progress_(progress),
      cancel_(cancel),
      report_(report),
      build_(std::move(build)),
      write_(std::move(write)),
      turns_(std::make_unique<ChunkTurns>((toRead.size() + kChunk - 1) / kChunk)) {}

CatchUpRun::~CatchUpRun() = default;

bool CatchUpRun::readAndWrite() {
    size_t first = 0;
    if (!turns_->take(&first, cancel_)) {
        report_->cancelled = !toRead_.empty();
        return true;
    }
    std::thread helper;
    if (toRead_.size() > kChunk) {
        helper = std::thread([this] {
            try {
                work(std::nullopt, false);
            } catch (...) {
            }
        });
    }
    std::exception_ptr thrown;
    try {
        work(first, true);
    } catch (...) {
        thrown = std::current_exception();
    }
    if (helper.joinable()) {
        helper.join();
    }
    if (thrown) {
        std::rethrow_exception(thrown);
    }
    return finish();
}

void CatchUpRun::work(std::optional<size_t> first, bool tells) {
    try {
        Xapian::TermGenerator generator = makeTermGenerator();
        size_t chunk = first.value_or(0);
        if (first && !step(chunk, generator, tells)) {
            return;
        }
        while (turns_->take(&chunk, cancel_) && step(chunk, generator, tells)) {
        }
    } catch (...) {
        turns_->stop(true);  // the other thread must not wait for a turn that never comes
        throw;
    }
}

// Reads and writes one chunk; false when no more are to be written.
bool CatchUpRun::step(size_t chunk, Xapian::TermGenerator& generator, bool tells) {
    const size_t begin = chunk * kChunk;
    std::vector<BuiltDocument> built = build_(begin, std::min(toRead_.size(), begin + kChunk), generator);
    if (!turns_->waitTurn(chunk)) {
        return false;
    }
    if (cancel_ && cancel_->load()) {
        turns_->stop(false);
        return false;
    }
    if (!write_(begin, built)) {
        turns_->stop(true);
        return false;
    }
    const auto done = static_cast<qsizetype>(turns_->written(built.size()));
    if (tells && progress_) {
        progress_(done, total());
        told_ = done;
    }
    turns_->pass();
    return true;
}

bool CatchUpRun::finish() {
    if (turns_->failed()) {
        return false;
    }
    const auto done = static_cast<qsizetype>(turns_->done());
    if (progress_ && done > told_) {
        progress_(done, total());  // the helper wrote the last chunks
    }
    report_->cancelled = done < total();
    return true;
}

}  // namespace tk::search
