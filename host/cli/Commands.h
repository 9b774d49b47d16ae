// The three commands of the marovex program. Each returns the exit status or throws a CliError.
#pragma once

#include <string>
#include <vector>

namespace marovex::cli {

struct InfoOptions {
    std::string plugin;  // module path
    bool json = false;
};

struct ProcessOptions {
    std::string plugin;
    std::string input;   // empty: the built-in demo signal
    std::string output;  // empty: the default name
    std::vector<std::string> sets;         // "ID=VALUE"
    std::vector<std::string> automations;  // "ID=T:V,T:V,..."
    std::string preset;
    std::string savePreset;
    std::string loadState;
    std::string saveState;
    std::string bits;    // empty: the format's default
    int block = 512;
    bool overwrite = false;
    bool quiet = false;
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

// The module beside the program: <dir of the program>/../Marovex.aaxplugin/Contents/x86_64-linux/Marovex.so.
std::string DefaultPluginPath();

int RunInfo(const InfoOptions& options);
int RunProcess(const ProcessOptions& options);
int RunStateShow(const StateShowOptions& options);

}  // namespace marovex::cli
