#include "platform/deferred_termination.h"
#include "test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace tk;

// Work done while the signals are held back runs to its end; the program then ends by the signal
// that came, as it would have without the holder.
TEST(DeferredTermination, ASignalWaitsForTheWorkThenEndsTheProgram) {
    QTemporaryDir dir;
    const QString secret = dir.filePath("decrypted.rtf");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        EXPECT_EXIT(
            {
                {
                    const DeferredTermination outer;
                    tk::test::writeFile(secret, "secret");
                    {
                        const DeferredTermination inner;
                        std::raise(signal);
                    }
                    // Still held: the outer holder has not ended.
                    if (DeferredTermination::pendingSignal() != signal) {
                        std::_Exit(3);
                    }
                    QFile::remove(secret);
                }
                std::_Exit(0);  // not reached: the held signal ends the program
            },
            testing::KilledBySignal(signal), "");
        EXPECT_FALSE(QFile::exists(secret)) << signal;
    }
}

TEST(DeferredTermination, WithoutASignalNothingHappens) {
    {
        const DeferredTermination holder;
        EXPECT_EQ(DeferredTermination::pendingSignal(), 0);
    }
    EXPECT_EQ(DeferredTermination::pendingSignal(), 0);
    std::signal(SIGUSR1, SIG_IGN);  // signals the holder does not hold are left alone
    {
        const DeferredTermination holder;
        std::raise(SIGUSR1);
        EXPECT_EQ(DeferredTermination::pendingSignal(), 0);
    }
    std::signal(SIGUSR1, SIG_DFL);
}
