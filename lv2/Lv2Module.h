// The module the bundle carries, loaded once per process for every plug-in and user-interface
// instance of this library (the module's start-up and shut-down are process-wide).
#pragma once

#include <memory>
#include <string>

#include "MarovexHost.h"

namespace marovex_lv2 {

// The folder this library was loaded from (with a trailing slash), or empty.
std::string OwnFolder();

// The module at <own folder>/Contents/x86_64-linux/Marovex.so (or under `bundlePath` when the own
// folder cannot be found); null and *error when it cannot be loaded. The last reference unloads it.
std::shared_ptr<MarovexModule> SharedModule(const char* bundlePath, std::string* error);

}  // namespace marovex_lv2
