// Running the built program from a test: the environment it gets, and one run with its standard
// input, output and error on files, waited for.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace runprogram {

// What a run of the program left: its exit status (or 128 + the signal that ended it; -1 when it
// could not start) and what it wrote on standard output and error.
struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs a shell command; its exit status (-1 when it did not exit) and what it wrote on standard
// output (`err` stays empty: redirect inside the command to keep standard error).
inline RunResult RunShell(const std::string& command) {
    RunResult run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// This process's environment for the program. In the sanitizer build the font and text libraries
// behind the pictures keep caches they never free, which are not our leaks: `suppressions` (a leak
// suppressions file) is added to LSAN_OPTIONS, and full unwinding lets the suppressions see the callers.
inline std::vector<std::string> EnvironmentWithLeakSuppressions(const std::string& suppressions) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LSAN_OPTIONS=", 0) != 0 && entry.rfind("ASAN_OPTIONS=", 0) != 0) env.push_back(entry);
    }
    const char* lsan = std::getenv("LSAN_OPTIONS");
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("LSAN_OPTIONS=suppressions=") + suppressions +
                  (lsan ? std::string(":") + lsan : std::string()));
    env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : std::string()) +
                  "fast_unwind_on_malloc=0");
    return env;
}

// Runs `args` (the program's path first) with environment `env` in folder `dir`, standard input read
// from `inPath` and standard output and error written to `outPath` and `errPath` (created or
// truncated), and waits for it to end. Answers its exit status, 128 + the signal that ended it, or -1
// (a test failure) when it could not be started.
inline int SpawnAndWait(std::vector<std::string> args, std::vector<std::string> env, const std::string& dir,
                        const std::string& inPath, const std::string& outPath, const std::string& errPath) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return -1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace runprogram
