// `marovex editor`: the plug-in's editor in a window of its own, or a picture of it.
#pragma once

#include <string>
#include <vector>

#include "Commands.h"

namespace marovex::cli {

struct EditorOptions {
    std::string plugin;
    std::string input;                // empty: the built-in demo signal
    std::vector<std::string> sets;    // "ID=VALUE"
    std::string loadState;
    std::string saveState;
    std::string snapshot;             // PNG path: draw offscreen and exit
    double meter = -1.0;              // snapshot: the meter reading shown (0 to 1); < 0: the real one
    double scale = 0.0;               // the editor's scale, 0.5 to 4; 0: the desktop's (snapshot: 1)
    std::string audio = "auto";       // auto, jack, default or none
    bool overwrite = false;           // an existing snapshot or state file may be replaced
};

// Adds the `editor` subcommand to the program.
Command AddEditor(CLI::App& app, const Common& common);

int RunEditor(const EditorOptions& options);

}  // namespace marovex::cli
