// marovex: the command-line face of the Marovex host. Subcommands `info`, `process` and `state show`;
// messages on standard error, errors as "error: <reason>"; exit status 0 on success, 2 for a usage
// error, 1 for anything else.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>
#include <fmt/core.h>

#include "CliError.h"
#include "Commands.h"
#include "EditorCommand.h"

namespace marovex::cli {

std::string DefaultPluginPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path bin = ec ? std::filesystem::path(".") : self.parent_path();
    return (bin / ".." / "Marovex.aaxplugin" / "Contents" / "x86_64-linux" / "Marovex.so").lexically_normal().string();
}

namespace {

int Run(int argc, char** argv) {
    CLI::App app{"Runs audio through the Marovex plug-in (a dynamic band processor with stereo width)\n"
                 "and inspects the plug-in and its saved states.",
                 "marovex"};
    app.set_version_flag("--version", "marovex 1.0.0");
    app.require_subcommand(1);
    app.fallthrough();
    std::string plugin = DefaultPluginPath();
    app.add_option("--plugin", plugin, "The plug-in module to load")->type_name("PATH")->capture_default_str();

    InfoOptions info;
    CLI::App* infoCmd = app.add_subcommand("info", "Show the plug-in's description and its parameter table");
    infoCmd->add_flag("--json", info.json, "Print JSON instead of text");

    ProcessOptions process;
    CLI::App* processCmd = app.add_subcommand(
        "process",
        "Process an audio file (WAV, FLAC, AIFF, OGG; mono or stereo) into OUT, or without IN the built-in\n"
        "demo signal into marovex-demo.wav. OUT defaults to <stem>-marovex.<ext> beside IN and keeps IN's\n"
        "format; WAV output is 32-bit float unless --bits says otherwise.\n"
        "Order: --load-state, --preset, --set, processing with --automate, then --save-state and --save-preset.");
    processCmd->add_option("IN", process.input, "Input audio file")->type_name("FILE");
    processCmd->add_option("OUT", process.output, "Output audio file")->type_name("FILE");
    processCmd
        ->add_option("--set", process.sets,
                     "Set a parameter (identifier or index) to a normalized value 0..1 or to its value text, "
                     "e.g. --set FreqA=0.25 --set MasterBypassID=on")
        ->type_name("ID=VALUE")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    processCmd
        ->add_option("--automate", process.automations,
                     "Piecewise-linear envelope in seconds, applied at block boundaries, e.g. "
                     "--automate OutGain=0:0.5,2:0.25")
        ->type_name("ID=T:V,...")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    processCmd->add_option("--preset", process.preset, "Apply a preset file (.mrv) as the editor's LOAD does")
        ->type_name("FILE");
    processCmd->add_option("--save-preset", process.savePreset, "Save the settings after processing as a preset")
        ->type_name("FILE");
    processCmd->add_option("--load-state", process.loadState, "Load a saved state first")->type_name("FILE");
    processCmd->add_option("--save-state", process.saveState, "Save the state after processing")->type_name("FILE");
    processCmd->add_option("--bits", process.bits, "Sample format of WAV, AIFF or FLAC output")
        ->type_name("16|24|32f");
    processCmd->add_option("--block", process.block, "Frames per processing block (1 to 1048576)")
        ->type_name("N")
        ->capture_default_str();
    processCmd->add_flag("--overwrite", process.overwrite, "Replace existing output files");
    processCmd->add_flag("--quiet,-q", process.quiet, "No progress bar and no summary");

    StateShowOptions show;
    CLI::App* stateCmd = app.add_subcommand("state", "Inspect saved state files");
    stateCmd->require_subcommand(1);
    CLI::App* showCmd = stateCmd->add_subcommand("show", "List the entries of a state file saved with --save-state");
    showCmd->add_option("FILE", show.file, "State file")->type_name("FILE")->required();
    showCmd->add_flag("--json", show.json, "Print JSON instead of a table");

    EditorCommand editor(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help, --version: to standard output, status 0
    } catch (const CLI::ParseError& e) {
        fmt::print(stderr, "error: {}\nRun 'marovex --help' or 'marovex <command> --help' for usage.\n", e.what());
        return kExitUsage;
    }

    info.plugin = plugin;
    process.plugin = plugin;
    if (infoCmd->parsed()) return RunInfo(info);
    if (processCmd->parsed()) return RunProcess(process);
    if (showCmd->parsed()) return RunStateShow(show);
    if (editor.Parsed()) return editor.Run(plugin);
    return kExitUsage;
}

}  // namespace
}  // namespace marovex::cli

int main(int argc, char** argv) {
    try {
        return marovex::cli::Run(argc, argv);
    } catch (const marovex::cli::CliError& e) {
        std::fflush(stdout);
        fmt::print(stderr, "error: {}\n", e.what());
        return e.ExitStatus();
    } catch (const std::exception& e) {
        std::fflush(stdout);
        fmt::print(stderr, "error: {}\n", e.what());
        return marovex::cli::kExitFailure;
    }
}
