#include "Messages.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace marovex::cli {

void WriteMessage(std::string_view text) noexcept {
    // A standard error whose reader went away must not end the run with SIGPIPE either: the signal is
    // held back for this thread while writing and taken back if the write raised it.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t pendingBefore;
    sigemptyset(&pendingBefore);
    sigpending(&pendingBefore);
    const bool blocked = pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous) == 0;
    // Through stdio, so that the message keeps its place among other output to standard error; the
    // error indicator is cleared, since nothing is to be done about it.
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    std::clearerr(stderr);
    if (blocked) {
        if (!sigismember(&pendingBefore, SIGPIPE)) {
            const timespec now = {0, 0};
            while (sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
}

void KeepStandardDescriptorsOpen() noexcept {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

}  // namespace marovex::cli
