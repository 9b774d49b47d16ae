// marovex: the command-line face of the Marovex host. Commands `info`, `process`, `state show` and
// `help`; messages on standard error, errors as "error: <reason>"; exit status 0 on success, 2 for a
// usage error, 1 for anything else (3 for `process --strict` finding clipping or non-finite output).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/core.h>

#include "Arguments.h"
#include "CliError.h"
#include "Commands.h"
#include "EditorCommand.h"
#include "Graphics.h"
#include "MarovexHost.h"
#include "Messages.h"
#include "PlotResponse.h"
#include "Text.h"
#include "ValidateCommand.h"

namespace marovex::cli {

namespace {

constexpr const char kProgramVersion[] = "1.1.0";
constexpr const char kModuleInBundle[] = "Marovex.aaxplugin/Contents/x86_64-linux/Marovex.so";

}  // namespace

std::string DefaultPluginPath() {
    const char* fromEnvironment = std::getenv("MAROVEX_PLUGIN");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path bin = ec ? std::filesystem::path(".") : self.parent_path();
    // The build tree keeps the bundle beside bin/; an installed prefix keeps it in lib/marovex/.
    const std::filesystem::path candidates[] = {bin / ".." / kModuleInBundle,
                                                bin / ".." / "lib" / "marovex" / kModuleInBundle};
    for (const std::filesystem::path& c : candidates) {
        if (std::filesystem::exists(c, ec)) return c.lexically_normal().string();
    }
    return candidates[0].lexically_normal().string();
}

namespace {

Command AddInfo(CLI::App& app, const Common& common) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "Show the plug-in's parameters in words (--details: its whole description)");
    cmd->add_flag("--json", options->json, "Print JSON instead of text");
    cmd->add_flag("--details", options->details, "Also show the module's description (fields, procedures, meters)");
    return {cmd, [options, &common] {
                options->plugin = common.plugin;
                return RunInfo(*options);
            }};
}

Command AddState(CLI::App& app, const Common&) {
    auto options = std::make_shared<StateShowOptions>();
    CLI::App* cmd = app.add_subcommand("state", "Inspect saved state files");
    cmd->require_subcommand(1);
    CLI::App* show = cmd->add_subcommand("show", "List the entries of a state file saved with --save-state");
    show->add_option("FILE", options->file, "State file")->type_name("FILE")->required();
    show->add_flag("--json", options->json, "Print JSON instead of a table");
    return {cmd, [options] { return RunStateShow(*options); }};
}

Command AddPlotResponse(CLI::App& app, const Common& common) {
    auto o = std::make_shared<PlotResponseOptions>();
    CLI::App* cmd = app.add_subcommand(
        "plot-response", "Draw the band split's magnitude response at the given settings, as the data model\n"
                         "computes it, with 0, 6 and 12 dB of gain reduction (PNG)");
    cmd->add_option("FILE", o->output, "The picture to write")
        ->type_name("FILE.png")
        ->required()
        ->each([](const std::string& path) { CheckPictureName("plot-response", path); });
    cmd->add_option("--set", o->sets, "Set a parameter, as for process (e.g. --set FreqA=0.5)")
        ->type_name("ID=VALUE")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd->add_option_function<std::string>(
           "--rate", [o](const std::string& text) { o->rate = ReadNumber("--rate", text, 8000, 768000); },
           "Sample rate in Hz")
        ->type_name("R")
        ->default_str(fmt::format("{:g}", o->rate));
    cmd->add_option("--size", o->size, "The picture's size in pixels")->type_name("WxH")->capture_default_str();
    cmd->add_flag("--overwrite", o->overwrite, "Replace an existing picture");
    return {cmd, [o, &common] {
                o->plugin = common.plugin;
                return Graphics().runPlotResponse(*o);
            }};
}

Command AddHelp(CLI::App& app, const Common&) {
    auto topic = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand("help", "Show the help of the program or of a command");
    cmd->add_option("COMMAND", *topic, "A command")->type_name("COMMAND");
    CLI::App* parent = &app;
    return {cmd, [topic, parent] {
                if (topic->empty()) {
                    fmt::print("{}", parent->get_formatter()->make_help(parent, parent->get_name(), CLI::AppFormatMode::Normal));
                    return kExitSuccess;
                }
                for (CLI::App* sub : parent->get_subcommands([](CLI::App*) { return true; })) {
                    if (sub->get_name() == *topic) {
                        fmt::print("{}", sub->help());
                        return kExitSuccess;
                    }
                }
                throw UsageError("no command " + Quote(*topic));
            }};
}

// "marovex 1.1.0" and the version of the plug-in module it would load.
void PrintVersion(const std::string& plugin) {
    fmt::print("marovex {}\n", kProgramVersion);
    std::string error;
    MarovexLoadOptions options;
    options.echoTraces = false;
    const std::shared_ptr<MarovexModule> module = MarovexModule::Load(plugin, &error, options);
    if (!module) {
        fmt::print("plug-in: not loaded from {} ({})\n", EscapeText(plugin), EscapeText(error));
        return;
    }
    const MarovexModuleDescription& d = module->Description();
    const uint32_t v = d.packageVersion;
    fmt::print("plug-in: {}, package version {}, {}\n", d.packageNames.empty() ? "?" : EscapeText(d.packageNames[0]), v,
               EscapeText(module->Path()));
}

int Run(int argc, char** argv) {
    CLI::App app{"Runs audio through the Marovex plug-in (a dynamic band processor with stereo width)\n"
                 "and inspects the plug-in and its saved states.",
                 "marovex"};
    app.require_subcommand(1);
    app.fallthrough();
    Common common;
    common.plugin = DefaultPluginPath();
    app.add_option("--plugin", common.plugin, "The plug-in module to load (default: $MAROVEX_PLUGIN or the one installed with the program)")
        ->type_name("PATH")
        ->capture_default_str();
    bool version = false;
    app.add_flag("--version", version, "Show the program's and the plug-in's versions");

    // One line per command.
    const std::vector<Command> commands = {
        AddInfo(app, common),
        AddProcess(app, common),
        AddState(app, common),
        AddEditor(app, common),
        AddPlotResponse(app, common),
        AddValidate(app, common),
        AddHelp(app, common),
    };

    // A mistyped command: say what was meant before CLI11 calls it an unexpected argument.
    if (argc > 1 && argv[1][0] != '-') {
        std::vector<std::string> names;
        bool known = false;
        for (const Command& c : commands) {
            names.push_back(c.app->get_name());
            known |= c.app->get_name() == argv[1];
        }
        if (!known) {
            const std::string closest = ClosestMatch(argv[1], names);
            Say(Voice::Error,
                "unknown command " + Quote(argv[1]) + (closest.empty() ? "" : "; did you mean '" + closest + "'?"),
                "Run 'marovex help' for the commands.");
            return kExitUsage;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--version") {
            app.require_subcommand(0);
            break;
        }
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help: to standard output, status 0
    } catch (const CLI::ParseError& e) {
        // CLI11's own words, which may quote the command line.
        Say(Voice::Error, e.what(), "Run 'marovex help' or 'marovex <command> --help' for usage.");
        return kExitUsage;
    }
    RefuseEmptyValues(app);
    // A module is a file: a bare name is the one in the current folder, never a library of that name
    // found through the search path (which dlopen would try).
    if (common.plugin.find('/') == std::string::npos) common.plugin = "./" + common.plugin;
    if (version) {
        PrintVersion(common.plugin);
        return kExitSuccess;
    }
    for (const Command& c : commands) {
        if (c.app->parsed()) return c.run();
    }
    return kExitUsage;
}

}  // namespace
}  // namespace marovex::cli

int main(int argc, char** argv) {
    marovex::cli::KeepStandardDescriptorsOpen();
    try {
        return marovex::cli::Run(argc, argv);
    } catch (const marovex::cli::CliError& e) {
        marovex::cli::Say(marovex::cli::Voice::Error, e.what());
        return e.ExitStatus();
    } catch (const std::exception& e) {
        marovex::cli::Say(marovex::cli::Voice::Error, e.what());
        return marovex::cli::kExitFailure;
    }
}
