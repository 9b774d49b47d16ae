// `marovex validate`: the validation battery against a plug-in module.
#pragma once

namespace CLI {
class App;
}

namespace marovex::cli {

// Adds the `validate` subcommand to the program. It runs when the command line names it, and ends the
// parse: CLI::Success when every check passed, a CliError (exit status 1) when any failed.
void AddValidateCommand(CLI::App& app);

}  // namespace marovex::cli
