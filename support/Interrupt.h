// Stopping a run on SIGINT, SIGHUP or SIGTERM: while a StopSignalScope lives, the signals only note
// themselves, every long loop of the run (processing, reading a pipe, writing a stream) looks at the
// note and ends the run, which then removes its temporary files and exits with 128 + the signal's
// number (130 for SIGINT, 143 for SIGTERM), as a shell reports a program the signal ended.
#pragma once

#include <signal.h>

#include <string>

#include "CliError.h"

namespace marovex::cli {

// The stop signal received while a scope was active, or 0. Async-signal-safe to read.
int StopSignal() noexcept;

// The failure that ends an interrupted run: "interrupted by SIGINT; nothing was written" with exit
// status 128 + the signal's number. `wroteNothing` false leaves out "nothing was written" (a stream
// already carries part of the output).
CliError Interrupted(bool wroteNothing = true);

// Waits until `fd` is ready for `events` (a pipe may stay silent for as long as its writer likes);
// false when a stop signal came first.
bool WaitForDescriptor(int fd, short events);

// Whether a failure is an interruption, which ends a batch rather than one of its inputs.
inline bool IsInterruption(const CliError& e) { return e.ExitStatus() > 128; }

// Routes the stop signals to the note while it lives (without SA_RESTART, so that a blocking read or
// write returns and sees it); restores the previous handlers when it goes. The note itself stays, so
// that a later check still sees a signal that came during the scope.
class StopSignalScope {
public:
    StopSignalScope();
    ~StopSignalScope();
    StopSignalScope(const StopSignalScope&) = delete;
    StopSignalScope& operator=(const StopSignalScope&) = delete;

private:
    static constexpr int kCount = 3;
    struct sigaction mPrevious[kCount];
};

}  // namespace marovex::cli
