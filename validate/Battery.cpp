// The validation battery: runs each check in a child process of its own (this program again, with
// the hidden option --child), with a time limit, so that a crash or a hang of the module is one failed
// check with its signal, never the end of the run. One line per check with its figures, then
// "N passed, N failed". The seed is printed; the same seed replays the same run.
#include "Battery.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include <fmt/core.h>

#include "CliError.h"
#include "Checks.h"
#include "MarovexReport.h"
#include "Text.h"

namespace marovex::cli {

namespace {

using validate::CheckEnv;
using validate::CheckInfo;
using validate::CheckResult;

// Exit statuses of a child: passed, failed, not applicable to this module.
constexpr int kChildPassed = 0;
constexpr int kChildFailed = 1;
constexpr int kChildNotApplicable = 3;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kBuildSlowness = 8.0;  // sanitizer builds run several times slower
#else
constexpr double kBuildSlowness = 1.0;
#endif

}  // namespace

std::string ProgramPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("/proc/self/exe") : self.string();
}

namespace {

// The validator's own files sit at the same places relative to the program in the build tree and
// in an installed prefix (which may move): bin/marovex, lib/marovex/libmarovex_rtwatch.so and
// share/marovex/golden/.
std::string BesideProgram(const char* relative) {
    return (std::filesystem::path(ProgramPath()).parent_path() / ".." / relative).lexically_normal().string();
}

std::string WatchLibraryPath() { return BesideProgram("lib/marovex/libmarovex_rtwatch.so"); }

std::string DefaultGoldenDir() { return BesideProgram("share/marovex/golden"); }

const CheckInfo* FindCheck(const std::string& nameOrNumber) {
    for (const CheckInfo& c : validate::Checks()) {
        if (nameOrNumber == c.name || nameOrNumber == std::to_string(c.number)) return &c;
    }
    return nullptr;
}

std::string SignalText(int sig) {
    const char* abbrev = sigabbrev_np(sig);
    return fmt::format("signal SIG{} ({})", abbrev ? abbrev : "?", strsignal(sig));
}

struct ChildOutcome {
    int status = kChildFailed;  // kChild...
    std::string figure;
    std::string errorTail;      // the last lines of its standard error
    double seconds = 0.0;
};

// Runs one check in a child process and waits for it at most `limit` seconds.
ChildOutcome RunChild(const CheckInfo& check, const std::string& plugin, const BatteryOptions& o, uint64_t seed,
                      double limit) {
    ChildOutcome outcome;
    std::vector<std::string> args = o.childCommand;
    for (const char* a : {"--plugin", plugin.c_str(), "--child"}) args.push_back(a);
    for (const std::string& a : {std::to_string(check.number), std::string("--seed"), std::to_string(seed),
                                 std::string("--strictness"), std::to_string(o.strictness), std::string("--golden-dir"),
                                 o.goldenDir}) {
        args.push_back(a);
    }
    if (o.writeGolden) args.push_back("--write-golden");
    if (o.skipEditor) args.push_back("--skip-editor");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string preload = WatchLibraryPath();

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        outcome.figure = "cannot make pipes for the child process";
        return outcome;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        outcome.figure = "cannot start a child process";
        return outcome;
    }
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        if (check.preload) {
            setenv("LD_PRELOAD", preload.c_str(), 1);
            // The address sanitizer's run-time wants to come first; the interposer forwards to it.
            const char* asan = getenv("ASAN_OPTIONS");
            const std::string options = std::string(asan ? asan : "") + (asan ? ":" : "") + "verify_asan_link_order=0";
            setenv("ASAN_OPTIONS", options.c_str(), 1);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);

    std::string stdoutText, stderrText;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int openFds = 2;
    bool timedOut = false;
    const auto deadline = start + std::chrono::duration<double>(limit);
    while (openFds > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        const int n = poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
        if (n < 0 && errno != EINTR) break;
        for (int i = 0; i < 2 && n > 0; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? stdoutText : stderrText).append(buffer, static_cast<size_t>(got));
                if (stderrText.size() > (1u << 20)) stderrText.erase(0, stderrText.size() - (1u << 19));
            } else if (got == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --openFds;
            }
        }
    }
    if (timedOut) kill(pid, SIGKILL);
    for (pollfd& f : fds) {
        if (f.fd >= 0) close(f.fd);
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // The figure is the child's last line of standard output.
    while (!stdoutText.empty() && stdoutText.back() == '\n') stdoutText.pop_back();
    const size_t nl = stdoutText.rfind('\n');
    const std::string figure = nl == std::string::npos ? stdoutText : stdoutText.substr(nl + 1);
    // The tail of standard error: the last ten lines.
    size_t cut = stderrText.size();
    for (int lines = 0; lines < 11 && cut != std::string::npos && cut > 0; ++lines) {
        cut = stderrText.rfind('\n', cut - 1);
    }
    outcome.errorTail = (cut == std::string::npos || cut == 0) ? stderrText : stderrText.substr(cut + 1);

    if (timedOut) {
        outcome.status = kChildFailed;
        outcome.figure = fmt::format("timed out after {:.0f} s{}", limit, figure.empty() ? "" : ": " + figure);
    } else if (WIFSIGNALED(wstatus)) {
        outcome.status = kChildFailed;
        outcome.figure = "crashed with " + SignalText(WTERMSIG(wstatus));
    } else if (WIFEXITED(wstatus) &&
               (WEXITSTATUS(wstatus) == kChildPassed || WEXITSTATUS(wstatus) == kChildNotApplicable) &&
               !figure.empty()) {
        outcome.status = WEXITSTATUS(wstatus);
        outcome.figure = figure;
    } else {
        outcome.status = kChildFailed;
        const int code = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        // A failed check prints its figure last; a process that ended before (a sanitizer's report
        // ends it with status 1 too) gets its status named instead of an empty figure.
        outcome.figure = code == kChildFailed && !figure.empty()
                             ? figure
                             : fmt::format("the check's process exited with status {}{}", code,
                                           figure.empty() ? " before its figure" : " after: " + figure);
    }
    return outcome;
}

// The child: runs one check and answers with its exit status.
[[noreturn]] void RunAsChild(const BatteryOptions& o, const std::string& plugin) {
    const CheckInfo* check = FindCheck(std::to_string(o.child));
    int status = kChildFailed;
    if (check == nullptr) {
        std::printf("no check %d\n", o.child);
    } else {
        CheckEnv env;
        env.plugin = plugin;
        env.goldenDir = o.goldenDir;
        env.writeGolden = o.writeGolden;
        env.strictness = o.strictness;
        env.skipEditor = o.skipEditor;
        env.seed = o.seed;
        CheckResult r;
        try {
            r = check->run(env);
        } catch (const std::exception& e) {
            r.passed = false;
            r.figure = std::string("the check stopped: ") + e.what();
        }
        std::printf("%s\n", r.figure.c_str());
        status = r.notApplicable ? kChildNotApplicable : r.passed ? kChildPassed : kChildFailed;
    }
    std::fflush(stdout);
    std::exit(status);
}

}  // namespace

int RunBattery(const BatteryOptions& given, const std::string& plugin) {
    BatteryOptions o = given;
    if (o.child != 0) RunAsChild(o, plugin);

    if (o.goldenDir.empty()) {
        // Rewriting the renders is a developer's step: it names the folder they are kept in (the
        // tests' own), not the copy that the build or an installation carries.
        if (o.writeGolden) throw UsageError("--write-golden needs --golden-dir DIR (the renders are kept in validate/golden)");
        o.goldenDir = DefaultGoldenDir();
    }
    if (!o.seedGiven) o.seed = (uint64_t(std::random_device{}()) << 32 | std::random_device{}()) % 1000000000000ull;
    std::vector<const CheckInfo*> selected;
    for (const std::string& item : o.only) {
        // Every name of the list counts: "a,,b" and "a," hold an empty one.
        size_t start = 0;
        for (bool last = false; !last;) {
            const size_t comma = item.find(',', start);
            last = comma == std::string::npos;
            const std::string name = item.substr(start, last ? std::string::npos : comma - start);
            start = comma + 1;
            const CheckInfo* c = FindCheck(name);
            if (c == nullptr) {
                std::string names;
                for (const CheckInfo& k : validate::Checks()) names += std::string(names.empty() ? "" : ", ") + k.name;
                const std::string which = name.empty() ? std::string("with an empty name") : Quote(name);
                throw UsageError("--only: no check " + which + " in " + Quote(item) + "; the checks are " + names);
            }
            if (std::find(selected.begin(), selected.end(), c) == selected.end()) selected.push_back(c);
        }
    }
    if (selected.empty()) {
        for (const CheckInfo& c : validate::Checks()) selected.push_back(&c);
    }
    std::sort(selected.begin(), selected.end(), [](const CheckInfo* a, const CheckInfo* b) { return a->number < b->number; });
    if (o.skipEditor) {
        selected.erase(std::remove_if(selected.begin(), selected.end(), [](const CheckInfo* c) { return c->editor; }),
                       selected.end());
    }
    const double scale = o.timeoutScale > 0.0 ? o.timeoutScale : kBuildSlowness;

    fmt::print("marovex validate: {}\n", EscapeText(plugin));
    std::string replay = fmt::format("marovex validate --seed {} --strictness {}", o.seed, o.strictness);
    if (o.repeat > 1) replay += fmt::format(" --repeat {}", o.repeat);
    if (o.randomise) replay += " --randomise";
    for (const std::string& only : o.only) replay += " --only " + only;
    if (o.skipEditor) replay += " --skip-editor";
    fmt::print("seed {}, strictness {}{}{} (replay: {})\n", o.seed, o.strictness,
               o.repeat > 1 ? fmt::format(", {} repeats", o.repeat) : "", o.randomise ? ", random order" : "", replay);
    int passed = 0, failed = 0, leftOut = 0;
    for (int r = 0; r < o.repeat; ++r) {
        const uint64_t seed = o.seed + static_cast<uint64_t>(r);
        std::vector<const CheckInfo*> order = selected;
        if (o.randomise) {
            std::mt19937_64 rng(seed);
            std::shuffle(order.begin(), order.end(), rng);
        }
        if (o.repeat > 1) fmt::print("repeat {} of {} (seed {})\n", r + 1, o.repeat, seed);
        for (const CheckInfo* c : order) {
            const double limit = c->seconds * scale * std::max(0.3, o.strictness / 10.0);
            const ChildOutcome out = RunChild(*c, plugin, o, seed, limit);
            const char* verdict = out.status == kChildPassed ? "passed" : out.status == kChildNotApplicable ? "n/a" : "FAILED";
            // The figure and the error lines come from the child, which ran the plug-in: shown made
            // safe for a terminal.
            fmt::print("{:>2} {:<13} {:<6} {} [{:.1f} s]\n", c->number, c->name, verdict,
                       MarovexVisibleText(out.figure, false), out.seconds);
            if (out.status == kChildPassed) {
                ++passed;
            } else if (out.status == kChildNotApplicable) {
                ++leftOut;
            } else {
                ++failed;
                std::string tail = out.errorTail;
                while (!tail.empty() && tail.back() == '\n') tail.pop_back();
                if (!tail.empty()) {
                    std::stringstream lines(tail);
                    std::string line;
                    while (std::getline(lines, line)) fmt::print("     | {}\n", MarovexVisibleText(line, false));
                }
            }
            std::fflush(stdout);
        }
    }
    if (leftOut > 0) fmt::print("{} check(s) did not apply to this module and are not counted\n", leftOut);
    fmt::print("{} passed, {} failed\n", passed, failed);
    std::fflush(stdout);
    if (failed > 0 || passed == 0) {
        throw Failure(failed > 0 ? fmt::format("{} check(s) failed (seed {})", failed, o.seed) : "no check ran");
    }
    return kExitSuccess;
}

}  // namespace marovex::cli
