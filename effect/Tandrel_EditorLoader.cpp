// The module's editor factory. The editor itself (the toolkit, the GUI bridge and Tandrel_GUI, with
// cairo, pango and X11 underneath) is a library of its own beside the module, MarovexEditor.so, so
// that the module maps no graphics library: a render, a host's plug-in scan or a render server
// never loads one. The description registers Tandrel_GUI::Create as it always has; in the module
// that function is this forwarder, and the editor library holds the real one.
//
// The first editor creation loads the library (once, whichever thread gets there first), hands it
// the module's count of live component objects and its route to the host's trace, and takes its
// factory; every creation then forwards to it. The library is never unloaded: editor objects may
// outlive every instance, and its text libraries keep process-wide registrations.
//
// When the library cannot be loaded (missing from the bundle, or a graphics library missing on the
// machine), each creation traces which library failed and why, and returns an editor object whose
// Initialize answers -20004 (a needed object is missing). Nothing else in the module depends on the
// editor library, so processing and state are untouched.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>

#include "AAX_CEffectGUI.h"
#include "AAX_CHostServices.h"
#include "CACFUnknown.h"
#include "Tandrel_EditorLink.h"
#include "Tandrel_GUI.h"

namespace {

struct EditorLibrary {
    Tandrel_EditorFactory factory = nullptr;
    std::string problem;  // why there is no factory
};

// The folder that holds the module's file, symbolic links resolved; empty when it cannot be found.
std::string ModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || info.dli_fname == nullptr) return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) return {};
    std::string path(resolved);
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void Load(EditorLibrary* library) {
    const std::string folder = ModuleFolder();
    if (folder.empty()) {
        library->problem = std::string("cannot find the folder of the module, where ") + kTandrel_EditorLibraryName +
                           " belongs";
        return;
    }
    const std::string path = folder + "/" + kTandrel_EditorLibraryName;
    // Never closed (and marked so): see the top of this file.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* error = dlerror();
        std::string why = error != nullptr ? error : "no reason given";
        if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);  // the path is said once
        library->problem = "cannot load the editor library " + path + ": " + why;
        return;
    }
    const auto entry = reinterpret_cast<Tandrel_EditorEntry>(dlsym(handle, kTandrel_EditorEntryName));
    if (entry == nullptr) {
        library->problem = "the editor library " + path + " has no entry " + kTandrel_EditorEntryName;
        return;
    }
    static const Tandrel_EditorLink link = {sizeof(Tandrel_EditorLink), &CACFUnknown::m_ActiveObjects,
                                            &AAX_CHostServices::TraceText};
    library->factory = entry(&link);
    if (library->factory == nullptr) {
        library->problem = "the editor library " + path + " refused the module (built from other sources?)";
    }
}

const EditorLibrary& Library() {
    static EditorLibrary library;
    static std::once_flag once;
    std::call_once(once, Load, &library);
    return library;
}

// What a creation gives when the editor library is not there: an editor object that refuses to be
// initialised, so the host learns that a needed object is missing.
class Tandrel_MissingEditor final : public AAX_CEffectGUI {
public:
    AAX_Result Initialize(IACFUnknown*) override { return AAX_ERROR_NULL_OBJECT; }
};

}  // namespace

AAX_IEffectGUI* Tandrel_GUI::Create() {
    // The host calls this through a plain pointer: nothing may escape as an exception.
    try {
        const EditorLibrary& library = Library();
        if (library.factory != nullptr) return library.factory();
        AAX_CHostServices::Trace(AAX_eTracePriorityHost_Critical, "no editor: %s", library.problem.c_str());
        return new Tandrel_MissingEditor();
    } catch (...) {
        return nullptr;
    }
}
