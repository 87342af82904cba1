#include "platform/core_dumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace tk {

bool disableCoreDumps() {
    const rlimit none{0, 0};
    const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
    // Not dumpable also covers a core pattern that pipes to a crash collector, which ignores the limit.
    const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return limited && undumpable;
}

}  // namespace tk
