#pragma once

// Writing extracted members below a base folder: names are checked, folders are opened one
// segment at a time without following links, and each file is written under a temporary name and
// renamed into place only when complete.
#include "engines/engine_context.h"

#include <ctime>
#include <string>

namespace tk::engine {

// Empty when the member name is safe to create below the base folder, else why it is refused.
std::string unsafeNameReason(const std::string& name);

// Opens (creating when asked) the folder path below base, refusing links. Returns -1 on failure
// with errno set.
int openFolderBelow(int baseFd, const std::string& folderPath, bool create);

// A file being written: a temporary file in its folder until commit renames it.
class PendingFile final {
  public:
    PendingFile(int folderFd, std::string name) : folderFd_(folderFd), name_(std::move(name)) {}
    ~PendingFile() { discard(); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    [[nodiscard]] bool create();
    [[nodiscard]] bool restart();  // empties the file for another attempt
    int fd() const { return fd_.get(); }
    [[nodiscard]] bool commit(time_t mtime);
    void discard();

  private:
    int folderFd_;
    std::string name_;
    std::string tempName_;
    UniqueFd fd_;
};

}  // namespace tk::engine
