// `marovex validate` run as a user would: the real module passes; each deliberately broken variant
// fails, with the check meant to catch it named; a crash or a hang is one failed check; a seed
// replays its run.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "cli/RunProgram.h"

namespace {

using Outcome = runprogram::RunResult;

// Runs a shell command and collects its standard output and exit status.
Outcome RunCommand(const std::string& command) { return runprogram::RunShell(command); }

Outcome Validate(const std::string& args) {
    return RunCommand(std::string(MAROVEX_CLI_PROGRAM) + " validate " + args + " 2>/dev/null");
}

std::string Broken(const std::string& variant) { return std::string(MAROVEX_BROKEN_DIR) + "/marovex_broken_" + variant + ".so"; }

// The battery on a broken variant, misbehaving in the way `how` names (read by the variant at load).
Outcome ValidateBroken(const std::string& variant, const char* how, const std::string& args) {
    setenv("MAROVEX_BROKEN_HOW", how, 1);
    Outcome run = Validate("--plugin " + Broken(variant) + " " + args);
    unsetenv("MAROVEX_BROKEN_HOW");
    return run;
}

std::string LastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    const size_t nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

// The report line of one check: its number, its name, then the verdict.
std::string LineOf(const std::string& out, const std::string& check) {
    const std::regex line("(^|\n)( ?[0-9]+ " + check + " +[^\n]*)");
    std::smatch m;
    return std::regex_search(out, m, line) ? m[2].str() : std::string();
}

TEST(Validate, RealModulePassesEveryCheck) {
    const Outcome run = Validate("--strictness 1 --seed 11");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(LastLine(run.out), "12 passed, 0 failed") << run.out;
    EXPECT_NE(run.out.find("seed 11"), std::string::npos) << run.out;
    // Every run of the rate and block matrix goes through both processing paths, with the same bits.
    const std::string realtime = LineOf(run.out, "realtime");
    EXPECT_TRUE(std::regex_search(realtime, std::regex("caller's thread, 224 runs, ([0-9]+) blocks.*owned audio thread, "
                                                       "224 runs, \\1 blocks.*outputs bit-identical")))
        << realtime;
}

// Installed into a prefix that then moves, the program still finds its module, the real-time watch
// library and the golden renders relative to itself, and passes the whole battery from there.
TEST(Validate, AnInstalledProgramPassesEveryCheckWhereverThePrefixMoves) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("marovex-validate-install-" + std::to_string(getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string install = std::string("'") + MAROVEX_CMAKE_COMMAND + "' --install '" + MAROVEX_BUILD_DIR +
                                "' --prefix '" + (root / "prefix").string() + "' > /dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0) << install;
    std::filesystem::rename(root / "prefix", root / "moved");
    const std::string moved = (root / "moved").string();
    const Outcome run = RunCommand("cd / && env -u MAROVEX_PLUGIN '" + moved + "/bin/marovex' validate --strictness 1 --seed 13 2>/dev/null");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(LastLine(run.out), "12 passed, 0 failed") << run.out;
    EXPECT_NE(run.out.find("marovex validate: " + moved + "/lib/marovex/"), std::string::npos) << run.out;
    EXPECT_NE(LineOf(run.out, "golden").find(" in " + moved + "/share/marovex/golden;"), std::string::npos) << run.out;
    std::filesystem::remove_all(root);
}

TEST(Validate, EachBrokenVariantFailsTheCheckMeantForIt) {
    const struct {
        const char* variant;
        const char* check;
    } cases[] = {{"nan_block", "rates"},         {"alloc", "realtime"},   {"leak_object", "load"},
                 {"chunk_drop", "state"},        {"denormal_tail", "bad-input"}, {"text", "text"},
                 {"editor_leak", "editor"}};
    for (const auto& c : cases) {
        const Outcome run = Validate("--plugin " + Broken(c.variant) + " --strictness 1 --seed 3 --only " + c.check);
        EXPECT_EQ(run.status, 1) << c.variant << "\n" << run.out;
        const std::string line = LineOf(run.out, c.check);
        EXPECT_NE(line.find("FAILED"), std::string::npos) << c.variant << "\n" << run.out;
        EXPECT_EQ(LastLine(run.out), "0 passed, 1 failed") << c.variant << "\n" << run.out;
    }
    // The same checks pass the real module (the full run above covers them all; these are the ones
    // whose figures name what the variants break).
    const Outcome real = Validate("--strictness 1 --seed 3 --only load,state,text,bad-input");
    EXPECT_EQ(real.status, 0) << real.out;
}

TEST(Validate, TheRealTimeCheckCountsLocksSleepsAndFileCallsOnTheProcessingThread) {
    const Outcome run = ValidateBroken("alloc", "blocking", "--strictness 1 --seed 2 --only realtime");
    EXPECT_EQ(run.status, 1) << run.out;
    const std::string line = LineOf(run.out, "realtime");
    for (const std::string kind : {" lock", " sleep", " file I/O"}) {
        // A count that is not zero before the kind, in both halves of the figure (the caller's thread
        // and the owned audio thread).
        const std::regex counted("[1-9][0-9]*" + kind + "[,;( ]");
        const auto found = std::distance(std::sregex_iterator(line.begin(), line.end(), counted), std::sregex_iterator());
        EXPECT_EQ(found, 2) << kind << "\n" << line;
    }
    EXPECT_NE(line.find(" 0 malloc, 0 free, 0 new, 0 delete"), std::string::npos) << line;
}

TEST(Validate, CrashAndHangAreFailuresOfTheirCheckAndTheRunGoesOn) {
    // A segmentation fault (an abort in a sanitizer build, which catches the fault first).
    Outcome run = ValidateBroken("misbehave", "crash", "--strictness 1 --seed 5 --only rates,state");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(LineOf(run.out, "rates").find("FAILED crashed with signal SIG"), std::string::npos) << run.out;
    EXPECT_NE(LineOf(run.out, "state").find("passed"), std::string::npos) << run.out;
    EXPECT_EQ(LastLine(run.out), "1 passed, 1 failed") << run.out;

    run = ValidateBroken("misbehave", "hang", "--strictness 1 --seed 5 --only rates --timeout-scale 0.05");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(LineOf(run.out, "rates").find("FAILED timed out"), std::string::npos) << run.out;

    // An editor that divides by the sample rate passes the editor check as long as the host reports
    // a rate, and crashes it at 0 Hz: the check opens the editor of an instance without a rate.
    run = Validate("--plugin " + Broken("misbehave") + " --strictness 1 --seed 5 --only editor");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(LineOf(run.out, "editor").find("at 0 Hz"), std::string::npos) << run.out;
    run = ValidateBroken("misbehave", "rate0", "--strictness 1 --seed 5 --only editor");
    EXPECT_EQ(run.status, 1) << run.out;
#if defined(__SANITIZE_ADDRESS__)
    // The undefined-behaviour checker catches the division first and ends the process with status 1.
    EXPECT_NE(LineOf(run.out, "editor").find("FAILED the check's process exited with status 1 before its figure"),
              std::string::npos) << run.out;
#else
    EXPECT_NE(LineOf(run.out, "editor").find("FAILED crashed with signal SIGFPE"), std::string::npos) << run.out;
#endif
    // An editor that leaks a little on every parameter notice passes the openings and fails the sweeps.
    run = ValidateBroken("misbehave", "update-leak", "--strictness 1 --seed 5 --only editor");
    EXPECT_EQ(run.status, 1) << run.out;
#if defined(__SANITIZE_ADDRESS__)
    // The leak checker ends the check's process at its exit, after the figure.
    EXPECT_NE(LineOf(run.out, "editor").find("FAILED"), std::string::npos) << run.out;
#else
    EXPECT_NE(LineOf(run.out, "editor").find("per sweep with the editor open at 0 Hz"), std::string::npos) << run.out;
#endif
}

// A module that applies a chunk and then refuses it changes what it said it could not read.
TEST(Validate, TheHostileStateCheckHoldsARefusedChunkToChangingNothing) {
    const Outcome run = ValidateBroken("misbehave", "refuse", "--strictness 1 --seed 8 --only hostile-state");
    EXPECT_EQ(run.status, 1) << run.out;
    const std::string line = LineOf(run.out, "hostile-state");
    EXPECT_NE(line.find("FAILED the chunk cut to"), std::string::npos) << line;
    EXPECT_NE(line.find("was refused"), std::string::npos) << line;
}

TEST(Validate, TheSameSeedReplaysTheSameRun) {
    const std::regex times(" \\[[0-9.]+ s\\]");
    const std::string args = "--strictness 1 --seed 424242 --randomise --only blocks,param-fuzz,state";
    const Outcome a = Validate(args), b = Validate(args);
    ASSERT_EQ(a.status, 0) << a.out;
    EXPECT_EQ(std::regex_replace(a.out, times, ""), std::regex_replace(b.out, times, ""));
    EXPECT_NE(a.out.find("--seed 424242"), std::string::npos) << a.out;

    const Outcome unknown = Validate("--only nosuch");
    EXPECT_EQ(unknown.status, 2);
}

}  // namespace
