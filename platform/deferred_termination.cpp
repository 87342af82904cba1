#include "platform/deferred_termination.h"

#include <array>
#include <csignal>

namespace tk {
namespace {

constexpr std::array<int, 5> kSignals = {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGPIPE};

volatile std::sig_atomic_t pending = 0;
int depth = 0;
std::array<struct sigaction, kSignals.size()> previous;

extern "C" void holdSignal(int signal) {
    if (pending == 0) {
        pending = signal;
    }
}

}  // namespace

DeferredTermination::DeferredTermination() {
    if (depth++ > 0) {
        return;
    }
    pending = 0;
    struct sigaction hold = {};
    hold.sa_handler = holdSignal;
    hold.sa_flags = SA_RESTART;  // interrupted system calls go on rather than fail
    sigfillset(&hold.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &hold, &previous[i]);
    }
}

DeferredTermination::~DeferredTermination() {
    if (--depth > 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &previous[i], nullptr);
    }
    const int signal = pending;
    pending = 0;
    if (signal != 0) {
        std::raise(signal);
    }
}

int DeferredTermination::pendingSignal() {
    return pending;
}

}  // namespace tk
