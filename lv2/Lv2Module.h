// The module the bundle carries, loaded once per process for every plug-in and user-interface
// instance of the bundle (the module's start-up and shut-down are process-wide). The plug-in
// library defines these; the user-interface library's SharedModule forwards to the plug-in
// library's (Lv2UiLibrary.cpp).
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

// The plug-in library's SharedModule, as its extension_data hands it to the user-interface library
// (kSharedModuleUri): the user interface, a library of its own, reaches the module through it, so
// that plug-ins and user interfaces in one process share one loaded module and one start-up.
struct Lv2ModuleSharing {
    std::shared_ptr<MarovexModule> (*shared)(const char* bundlePath, std::string* error);
};
const Lv2ModuleSharing* ModuleSharing();

}  // namespace marovex_lv2
