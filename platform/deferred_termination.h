#pragma once

#include <QtGlobal>

namespace tk {

// Holds back the signals that end a program from outside (interrupt, quit, hang-up, terminate,
// broken pipe) while it lives, so that work which must not be cut short, such as removing
// decrypted files, runs to its end. A signal that came meanwhile then ends the program as it would
// have. Handlers rather than a thread's signal mask: they hold for the whole process, so no thread
// a library started can take the signal instead. Nested holders wait for the outermost.
class DeferredTermination final {
  public:
    DeferredTermination();
    ~DeferredTermination();
    Q_DISABLE_COPY_MOVE(DeferredTermination)

    // The first signal held back so far, 0 for none.
    static int pendingSignal();
};

}  // namespace tk
