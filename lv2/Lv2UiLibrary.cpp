// The user-interface library of the bundle (MarovexLv2UI.so). Hosts load the user interface from a
// library of its own; the interface itself lives in the plug-in library beside this one, so that
// the plug-in and its interface share one loaded module (and one host library) in a process. This
// library loads the plug-in library (already loaded when the host runs both in one process) and
// hands its interface descriptor on.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "Lv2Ports.h"

namespace {

std::string OwnFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr) return "./";
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

const LV2UI_Descriptor* FromPluginLibrary() {
    const std::string path = OwnFolder() + "MarovexLv2.so";
    // Kept loaded for the life of the process, like the descriptor handed out.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "Marovex LV2 user interface: %s\n", dlerror());
        return nullptr;
    }
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    const LV2_Descriptor* plugin = entry != nullptr ? entry(0) : nullptr;
    if (plugin == nullptr || plugin->extension_data == nullptr) return nullptr;
    return static_cast<const LV2UI_Descriptor*>(plugin->extension_data(marovex_lv2::kUiInProcessUri));
}

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    static const LV2UI_Descriptor* const descriptor = FromPluginLibrary();
    return index == 0 ? descriptor : nullptr;
}
