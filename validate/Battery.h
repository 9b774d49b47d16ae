// The validation battery against a plug-in module: every check in a child process of its own with a
// time limit, one line per check with its figures, then "N passed, N failed". The program's
// `validate` command (cli/ValidateCommand.h) registers it and hands it the command line of its
// child processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marovex::cli {

struct BatteryOptions {
    int strictness = 10;
    uint64_t seed = 0;
    bool seedGiven = false;
    int repeat = 1;
    bool randomise = false;
    std::vector<std::string> only;
    bool skipEditor = false;
    // Hidden.
    int child = 0;
    std::string goldenDir;  // empty: the renders installed with the program
    bool writeGolden = false;
    double timeoutScale = 0.0;
    // How this program is started as a child that runs one check (the program and its command, to
    // which the battery adds --plugin, --child and the check's options).
    std::vector<std::string> childCommand;
};

// The path of the running program (/proc/self/exe).
std::string ProgramPath();

// Runs the battery, or with `child` set the one check of a child process (which exits with its
// outcome). Answers 0 when every check passed; throws a CliError (exit status 1) when any failed or
// none ran, a usage CliError for a bad --only or --write-golden without --golden-dir.
int RunBattery(const BatteryOptions& options, const std::string& plugin);

}  // namespace marovex::cli
