// The user-interface library of the bundle (MarovexLv2UI.so): the user interface of Lv2Ui.cpp, our
// editor in an X11 window, with X11 linked here so that the plug-in library beside it links no
// graphics library (the editor's own graphics come with the module's editor library).
//
// The plug-ins and the user interface share one loaded module in a process: the user interface's
// module comes from the plug-in library (already loaded when the host runs both in one process),
// whose extension_data hands out its SharedModule.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "Lv2Module.h"
#include "Lv2Ports.h"
#include "Lv2Ui.h"

namespace {

std::string LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr) return "./";
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The plug-in library's module sharing; null and *error when that library cannot be had.
const marovex_lv2::Lv2ModuleSharing* FromPluginLibrary(std::string* error) {
    const std::string path = LibraryFolder() + "MarovexLv2.so";
    // Kept loaded for the life of the process (it stays mapped once loaded anyway).
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        *error = why != nullptr ? why : "cannot load " + path;
        return nullptr;
    }
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    const LV2_Descriptor* plugin = entry != nullptr ? entry(0) : nullptr;
    const void* sharing = plugin != nullptr && plugin->extension_data != nullptr
                              ? plugin->extension_data(marovex_lv2::kSharedModuleUri)
                              : nullptr;
    if (sharing == nullptr) *error = path + " does not share its module";
    return static_cast<const marovex_lv2::Lv2ModuleSharing*>(sharing);
}

}  // namespace

namespace marovex_lv2 {

std::shared_ptr<MarovexModule> SharedModule(const char* bundlePath, std::string* error) {
    static std::string problem;
    static const Lv2ModuleSharing* const sharing = FromPluginLibrary(&problem);
    if (sharing == nullptr) {
        if (error != nullptr) *error = problem;
        return nullptr;
    }
    return sharing->shared(bundlePath, error);
}

}  // namespace marovex_lv2

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? marovex_lv2::UiDescriptor() : nullptr;
}
