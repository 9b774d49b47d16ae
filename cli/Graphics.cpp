#include "Graphics.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "CliError.h"

namespace marovex::cli {

namespace {

struct Loaded {
    const GraphicsFunctions* functions = nullptr;
    std::string problem;
};

Loaded Load() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path bin = ec ? std::filesystem::path(".") : self.parent_path();
    const std::filesystem::path path = (bin / ".." / "lib" / "marovex" / kGraphicsLibraryName).lexically_normal();
    Loaded loaded;
    // Never closed: what it draws with keeps process-wide registrations.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) {
        const char* error = dlerror();
        std::string why = error != nullptr ? error : "no reason given";
        if (why.rfind(path.string() + ": ", 0) == 0) why.erase(0, path.string().size() + 2);  // the path is said once
        loaded.problem = "cannot load the program's drawing library " + path.string() + ": " + why;
        return loaded;
    }
    using Entry = const GraphicsFunctions* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(library, kGraphicsEntryName));
    const GraphicsFunctions* functions = entry != nullptr ? entry() : nullptr;
    if (functions == nullptr || functions->size != sizeof(GraphicsFunctions)) {
        loaded.problem = "the program's drawing library " + path.string() + " belongs to another build";
        return loaded;
    }
    loaded.functions = functions;
    return loaded;
}

}  // namespace

const GraphicsFunctions& Graphics() {
    static std::once_flag once;
    static Loaded loaded;
    std::call_once(once, [] { loaded = Load(); });
    if (loaded.functions == nullptr) throw Failure(loaded.problem);
    return *loaded.functions;
}

}  // namespace marovex::cli
