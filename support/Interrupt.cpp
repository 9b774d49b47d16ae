#include "Interrupt.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

namespace marovex::cli {

namespace {

volatile sig_atomic_t gStopSignal = 0;

constexpr int kStopSignals[] = {SIGINT, SIGHUP, SIGTERM};

extern "C" void OnStopSignal(int signal) {
    if (gStopSignal == 0) gStopSignal = signal;
}

}  // namespace

int StopSignal() noexcept { return gStopSignal; }

bool WaitForDescriptor(int fd, short events) {
    for (;;) {
        if (StopSignal() != 0) return false;
        pollfd p = {fd, events, 0};
        const int ready = ::poll(&p, 1, 200);
        if (ready > 0 || (ready < 0 && errno != EINTR)) return StopSignal() == 0;
    }
}

CliError Interrupted(bool wroteNothing) {
    const int signal = gStopSignal != 0 ? int(gStopSignal) : SIGINT;
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGHUP ? "SIGHUP" : signal == SIGTERM ? "SIGTERM" : "a signal";
    return CliError(128 + signal, std::string("interrupted by ") + name + (wroteNothing ? "; nothing was written" : ""));
}

StopSignalScope::StopSignalScope() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kCount; ++i) sigaction(kStopSignals[i], &action, &mPrevious[i]);
}

StopSignalScope::~StopSignalScope() {
    for (int i = 0; i < kCount; ++i) sigaction(kStopSignals[i], &mPrevious[i], nullptr);
}

}  // namespace marovex::cli
