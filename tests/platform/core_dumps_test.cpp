#include "platform/core_dumps.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

// In a child, so the test program itself keeps its settings. This was a crash core holding the
// decrypted text of the open entry.
TEST(CoreDumps, AreOffAfterTheCall) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!tk::disableCoreDumps()) {
            ::_exit(2);
        }
        rlimit limit{};
        ::getrlimit(RLIMIT_CORE, &limit);
        const bool ok = limit.rlim_cur == 0 && limit.rlim_max == 0 && ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
