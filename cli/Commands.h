// The commands of the marovex program. Each returns the exit status or throws a CliError.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace marovex::cli {

// One command of the program: its CLI11 subcommand and what runs when it was given (the exit status,
// or a CliError thrown).
struct Command {
    CLI::App* app;
    std::function<int()> run;
};

// The options every command shares; they outlive every command's run.
struct Common {
    std::string plugin;
};

struct InfoOptions {
    std::string plugin;  // module path
    bool json = false;
    bool details = false;  // the module's whole description after the parameter table
};

struct ProcessOptions {
    std::string plugin;
    // The positional arguments: none for the demo, IN [OUT], or with --output-dir every input.
    std::vector<std::string> files;
    std::string outputDir;  // -o DIR: several inputs, each into DIR under its own name
    std::string format;     // --format: the output container, whatever OUT's extension
    std::vector<std::string> sets;         // "ID=VALUE"
    std::vector<std::string> automations;  // "ID=T:V,T:V,..."
    std::string preset;
    std::string savePreset;
    std::string loadState;
    std::string saveState;
    std::string bits;    // empty: the format's default
    std::string plot;    // --plot: a picture of the levels and the gain reduction over time
    std::string plotSize = "1600x900";
    int block = 512;
    bool overwrite = false;
    bool quiet = false;
    bool bypass = false;
    bool json = false;
    bool strict = false;
    bool dither = false;
};

struct StateShowOptions {
    std::string file;
    bool json = false;
};

// Output of the built-in demo signal when `marovex process` gets no input file.
constexpr const char kDemoOutputName[] = "marovex-demo.wav";

// Largest state or preset file read: far beyond anything the plug-in writes, small enough to read whole.
constexpr size_t kMaxStateFileBytes = 16u << 20;
constexpr size_t kMaxBlock = 1u << 20;

// Exit status of a run that wrote its output but found clipping or non-finite samples under --strict.
constexpr int kExitStrict = 3;

// The module the program loads without --plugin: $MAROVEX_PLUGIN when set, else the first that exists
// of <program dir>/../Marovex.aaxplugin/... (build tree) and <program dir>/../lib/marovex/
// Marovex.aaxplugin/... (installed), else the first of them.
std::string DefaultPluginPath();

int RunInfo(const InfoOptions& options);
// Adds the `process` subcommand to the program; its run is RunProcess.
Command AddProcess(CLI::App& app, const Common& common);
int RunProcess(const ProcessOptions& options);
int RunStateShow(const StateShowOptions& options);

}  // namespace marovex::cli
