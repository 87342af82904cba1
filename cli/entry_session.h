#pragma once

#include "platform/deferred_termination.h"
#include "store/entry_store.h"

#include <QString>

namespace tk::cli {

// The entry store for one command: started on a private scratch folder of its own, never on a
// program folder, so a running program keeps its lock and its scratch folder. Signals that would
// end the command are held back until that folder, where entries lie decrypted, is gone again.
class EntrySession final {
  public:
    explicit EntrySession(const char* command) : command_(command) {}
    ~EntrySession() { (void)finish(); }
    EntrySession(const EntrySession&) = delete;
    EntrySession& operator=(const EntrySession&) = delete;

    // Starts the store; false, said to the user, when no scratch folder could be made.
    [[nodiscard]] bool start();
    // Stops the store; false, said to the user, when its scratch folder could not be removed. Every
    // way out of a command ends here, a failed one through the destructor.
    [[nodiscard]] bool finish();
    EntryStore& store() { return store_; }

  private:
    const char* command_;
    bool finished_ = false;
    DeferredTermination deferral_;  // declared before the store, so it ends after the store's stop
    EntryStore store_;
};

// Says on standard error why the store's last operation on the entry at path failed, in words for
// the command line; returns kExitFailure.
int storeFailure(const char* command, const EntryStore& store, const QString& path);

// Reads the comment of the entry archive at path; false, said to the user, when it is not there or
// cannot be read.
[[nodiscard]] bool readEntry(const char* command, const QString& path, EntryComment* comment);

// Says that a protected entry needs its password; returns kExitFailure.
int passwordNeeded(const char* command);

// Checks a title and a category for an entry comment; a usage error (kExitUsage) when one of them
// cannot be stored, else kExitOk.
int checkTitle(const char* command, const QString& title, const QString& category);

// The text a command prints, UTF-8 on standard output; false, said to the user, when it could not
// be written.
[[nodiscard]] bool printText(const char* command, const QString& text);

}  // namespace tk::cli
