// `marovex validate`: the validation battery's options on the command line.
#include "ValidateCommand.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "Arguments.h"
#include "Battery.h"

namespace marovex::cli {

Command AddValidate(CLI::App& app, const Common& common) {
    auto options = std::make_shared<BatteryOptions>();
    options->childCommand = {ProgramPath(), "validate"};
    CLI::App* cmd = app.add_subcommand(
        "validate",
        "Run the validation battery against the plug-in: every check in a child process with a time limit,\n"
        "one line per check with its figures, then \"N passed, N failed\". Exit status 0 only when all passed.");
    cmd->add_option_function<std::string>(
           "--strictness",
           [options](const std::string& text) {
               options->strictness = int(ReadWholeNumber("--strictness", text, 1, 10));
           },
           "1 to 10: repetitions per check (lower runs fewer)")
        ->type_name("N")
        ->default_str(std::to_string(options->strictness));
    cmd->add_option_function<std::string>(
           "--seed",
           [options](const std::string& text) {
               options->seed = ReadWholeNumber("--seed", text, 0, UINT64_MAX);
               options->seedGiven = true;
           },
           "Seed of every random choice (0 to 18446744073709551615); the same seed replays the same run")
        ->type_name("N");
    cmd->add_option_function<std::string>(
           "--repeat",
           [options](const std::string& text) { options->repeat = int(ReadWholeNumber("--repeat", text, 1, 1000)); },
           "Run the battery N times (seeds N, N+1, ...)")
        ->type_name("N")
        ->default_str(std::to_string(options->repeat));
    cmd->add_flag("--randomise", options->randomise, "Run the checks in an order drawn from the seed");
    cmd->add_option("--only", options->only, "Run only these checks (names or numbers, comma-separated)")
        ->type_name("NAME")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd->add_flag("--skip-editor", options->skipEditor, "Leave out the editor checks");
    cmd->add_option("--child", options->child)->group("");
    cmd->add_option("--golden-dir", options->goldenDir, "Where the golden renders are kept")->group("");
    cmd->add_flag("--write-golden", options->writeGolden, "Write the golden renders instead of comparing")->group("");
    cmd->add_option("--timeout-scale", options->timeoutScale)->group("");
    return {cmd, [options, &common] { return RunBattery(*options, common.plugin); }};
}

}  // namespace marovex::cli
