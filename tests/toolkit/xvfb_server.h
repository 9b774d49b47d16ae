// A virtual X server (Xvfb) for tests that need a display: started on a free display number of its
// own, stopped when the object goes. DISPLAY is left to the test to set.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace toolkittest {

class XvfbServer {
public:
    XvfbServer() {
        // A display number of our own, drawn at random from a range that servers choosing the first
        // free number never reach: concurrent tests then never race for one. Xvfb's lock file refuses
        // a number in use, and the next draw is tried. -noreset: a client connecting just as the last
        // one leaves would otherwise meet a server in the middle of its reset.
        std::random_device seed;
        std::mt19937 draw(seed());
        for (int attempt = 0; attempt < 20 && mDisplay.empty(); ++attempt) {
            start(std::to_string(std::uniform_int_distribution<int>(200, 29999)(draw)));
        }
    }
    ~XvfbServer() {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", or empty when the server did not start (Xvfb is installed by scripts/deps.sh).
    const std::string& display() const { return mDisplay; }

private:
    // Starts Xvfb on display `number`; mDisplay is set once the server has written that it is ready.
    void start(const std::string& number) {
        int fds[2];
        if (pipe(fds) != 0) return;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        std::vector<std::string> args = {"Xvfb", ":" + number, "-displayfd", std::to_string(fds[1]), "-noreset",
                                         "-nolisten", "tcp", "-screen", "0", "320x240x24"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int error = posix_spawnp(&pid, "Xvfb", nullptr, nullptr, argv.data(), environ);
        close(fds[1]);
        if (error != 0) {
            close(fds[0]);
            return;
        }
        std::string written;
        char c = 0;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') written += c;
        close(fds[0]);
        if (written == number) {
            mPid = pid;
            mDisplay = ":" + number;
        } else {  // the number was taken, or the server did not come up
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

    pid_t mPid = -1;
    std::string mDisplay;
};

}  // namespace toolkittest
