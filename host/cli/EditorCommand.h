// `marovex editor`: the plug-in's editor in a window of its own, or a picture of it.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace marovex::cli {

struct EditorOptions {
    std::string plugin;
    std::string input;                // empty: the built-in demo signal
    std::vector<std::string> sets;    // "ID=VALUE"
    std::string loadState;
    std::string saveState;
    std::string snapshot;             // PNG path: draw offscreen and exit
    double meter = -1.0;              // snapshot: the meter reading shown (0 to 1); < 0: the real one
};

// Registers the `editor` subcommand on `app`.
class EditorCommand {
public:
    explicit EditorCommand(CLI::App& app);
    bool Parsed() const;
    // Runs it with the plug-in module at `plugin`; returns the exit status or throws a CliError.
    int Run(const std::string& plugin);

private:
    CLI::App* mCommand;
    EditorOptions mOptions;
};

int RunEditor(const EditorOptions& options);

}  // namespace marovex::cli
