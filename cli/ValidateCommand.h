// `marovex validate`: the validation battery against a plug-in module.
#pragma once

#include "Commands.h"

namespace marovex::cli {

// Adds the `validate` subcommand to the program. Its run answers 0 when every check passed and throws
// a CliError (exit status 1) when any failed.
Command AddValidate(CLI::App& app, const Common& common);

}  // namespace marovex::cli
