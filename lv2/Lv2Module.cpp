#include "Lv2Module.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

#include "Lv2Ports.h"

namespace marovex_lv2 {

std::string OwnFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr) return {};
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::shared_ptr<MarovexModule> SharedModule(const char* bundlePath, std::string* error) {
    std::string folder = OwnFolder();
    if (folder.empty() && bundlePath != nullptr) folder = std::string(bundlePath) + "/";
    const std::string path = folder + kModuleInBundle;

    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<MarovexModule>> modules;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<MarovexModule> module = modules[path].lock();
    if (!module) {
        module = MarovexModule::Load(path, error);
        if (module) modules[path] = module;
    }
    return module;
}

const Lv2ModuleSharing* ModuleSharing() {
    static const Lv2ModuleSharing sharing = {&SharedModule};
    return &sharing;
}

}  // namespace marovex_lv2
