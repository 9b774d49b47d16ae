// Loading, registering and unloading a plug-in module.
#include <dlfcn.h>

#include <map>
#include <mutex>
#include <new>

#include "AAX_UIDs.h"
#include "HostCollection.h"
#include "HostServices.h"
#include "MarovexHost.h"
#include "MarovexHostFactory.h"

using namespace marovex_host;

struct MarovexModule::Impl {
    std::string path;
    void* handle = nullptr;
    MarovexEntryPoints entries;
    std::shared_ptr<ModuleShared> shared;
    MarovexHostFactory* factory = nullptr;  // one reference held
    bool started = false;
    IACFPluginDefinition* definition = nullptr;  // one reference held after a successful registration
    MarovexModuleDescription description;
    uint64_t sdkVersion = 0;
};

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

template <class F>
bool FindEntry(void* handle, const char* name, F* out, std::string* missing) {
    dlerror();
    void* sym = dlsym(handle, name);
    if (sym == nullptr) {
        if (!missing->empty()) *missing += ", ";
        *missing += name;
        return false;
    }
    *out = reinterpret_cast<F>(sym);
    return true;
}

// Loads of one module file share its process-wide state: dlopen hands back the same handle, and the
// module keeps one set of host services. The first load starts the module up with its host object;
// later loads share that object (and the first load's options); the last unload shuts it down.
struct LoadedModule {
    int32_t loads = 0;
    MarovexHostFactory* factory = nullptr;  // one reference held while loaded
    std::shared_ptr<ModuleShared> shared;
};

std::mutex gLoadedMutex;

std::map<void*, LoadedModule>& Loaded() {
    static auto* loaded = new std::map<void*, LoadedModule>();  // never destroyed: no exit-order issues
    return *loaded;
}

}  // namespace

MarovexModule::MarovexModule() : mImpl(new Impl) {}

std::shared_ptr<MarovexModule> MarovexModule::Open(const std::string& path, std::string* error,
                                                   const MarovexLoadOptions& options) {
    try {
        std::shared_ptr<MarovexModule> m(new MarovexModule());
        Impl& d = *m->mImpl;
        d.path = path;
        d.shared = std::make_shared<ModuleShared>();
        d.shared->options = options;
        dlerror();
        d.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (d.handle == nullptr) {
            const char* why = dlerror();
            SetError(error, "cannot load module " + path + ": " + (why ? why : "unknown reason"));
            return nullptr;
        }
        std::string missing;
        MarovexEntryPoints& e = d.entries;
        FindEntry(d.handle, "ACFRegisterPlugin", &e.registerPlugin, &missing);
        FindEntry(d.handle, "ACFRegisterComponent", &e.registerComponent, &missing);
        FindEntry(d.handle, "ACFGetClassFactory", &e.getClassFactory, &missing);
        FindEntry(d.handle, "ACFCanUnloadNow", &e.canUnloadNow, &missing);
        FindEntry(d.handle, "ACFStartup", &e.startup, &missing);
        FindEntry(d.handle, "ACFShutdown", &e.shutdown, &missing);
        FindEntry(d.handle, "ACFGetSDKVersion", &e.getSDKVersion, &missing);
        if (!missing.empty()) {
            SetError(error, "module " + path + " lacks the entry point(s) " + missing);
            return nullptr;  // the destructor closes the handle
        }
        uint64_t version = 0;
        if (e.getSDKVersion(&version) == ACF_OK) {
            d.sdkVersion = version;
        }
        std::lock_guard<std::mutex> lock(gLoadedMutex);
        auto found = Loaded().find(d.handle);
        if (found != Loaded().end()) {
            LoadedModule& loaded = found->second;
            d.shared = loaded.shared;
            d.factory = loaded.factory;
            d.factory->AddRef();
            ++loaded.loads;
            d.started = true;
            return m;
        }
        d.factory = new MarovexHostFactory(d.shared);
        const ACFRESULT r = e.startup(static_cast<IACFComponentFactory*>(d.factory));
        if (r != ACF_OK) {
            SetError(error, "ACFStartup of " + path + " returned " + std::to_string(r));
            return nullptr;
        }
        d.factory->AddRef();
        Loaded()[d.handle] = LoadedModule{1, d.factory, d.shared};
        d.started = true;
        return m;
    } catch (const std::bad_alloc&) {
        SetError(error, "out of memory while loading " + path);
        return nullptr;
    }
}

bool MarovexModule::Register(std::string* error, AAX_Result* result) {
    Impl& d = *mImpl;
    if (result != nullptr) *result = ACF_E_FAIL;
    if (d.definition != nullptr) {
        SetError(error, "module " + d.path + " is already registered");
        return false;
    }
    try {
        IACFPluginDefinition* def = nullptr;
        const ACFRESULT r = d.entries.registerPlugin(HostUnknown(), &def);
        if (result != nullptr) *result = r;
        d.description = LastCollection();
        if (r != ACF_OK) {
            if (def != nullptr) {
                Report(marovex_where::kModule, "the definition is released",
                       "ACFRegisterPlugin failed (%d) but handed back a definition", r);
                def->Release();
            }
            SetError(error, "ACFRegisterPlugin of " + d.path + " returned " + std::to_string(r));
            return false;
        }
        if (def == nullptr) {
            SetError(error, "ACFRegisterPlugin of " + d.path + " succeeded without a plug-in definition");
            return false;
        }
        void* impl = nullptr;
        if (def->QueryInterface(kImplID_Collection, &impl) != ACF_OK || impl == nullptr) {
            def->Release();
            SetError(error, "the plug-in definition of " + d.path + " is not a collection of this host");
            return false;
        }
        auto* collection = static_cast<HostCollection*>(impl);
        d.description = *collection->Record();
        static_cast<AAX_IACFCollection*>(collection)->Release();
        d.definition = def;
        if (d.description.effects.empty()) {
            SetError(error, "module " + d.path + " registered no effect");
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        SetError(error, "out of memory while registering " + d.path);
        return false;
    }
}

std::shared_ptr<MarovexModule> MarovexModule::Load(const std::string& path, std::string* error,
                                                   const MarovexLoadOptions& options) {
    std::shared_ptr<MarovexModule> m = Open(path, error, options);
    if (m == nullptr || !m->Register(error)) {
        return nullptr;
    }
    return m;
}

MarovexModule::~MarovexModule() {
    Impl& d = *mImpl;
    if (d.definition != nullptr) {
        d.definition->Release();
        d.definition = nullptr;
    }
    bool mayUnload = true;
    bool last = !d.started;
    if (d.started) {
        std::lock_guard<std::mutex> lock(gLoadedMutex);
        auto found = Loaded().find(d.handle);
        if (found != Loaded().end() && --found->second.loads == 0) {
            last = true;
            const int32_t live = d.entries.canUnloadNow(HostUnknown());
            if (live != 0) {
                Report(marovex_where::kModule, "its code stays mapped",
                       "%s still has %d live object(s) at unload", d.path.c_str(), live);
                mayUnload = false;
            }
            d.entries.shutdown(HostUnknown());
            found->second.factory->Release();
            Loaded().erase(found);
        }
    }
    if (d.factory != nullptr) {
        const uint32_t refs = d.factory->RefCountForChecks();
        if (last && refs != 1) {
            Report(marovex_where::kModule, "the host drops only its own reference",
                   "%s kept %u reference(s) to the host object after shutdown", d.path.c_str(), refs - 1);
        }
        d.factory->Release();
    }
    if (d.handle != nullptr && mayUnload) {
        dlclose(d.handle);
    }
}

const std::string& MarovexModule::Path() const { return mImpl->path; }

const MarovexModuleDescription& MarovexModule::Description() const { return mImpl->description; }

const MarovexEffectDescription* MarovexModule::Effect() const {
    return mImpl->description.effects.empty() ? nullptr : &mImpl->description.effects.front();
}

MarovexModuleDescription MarovexModule::LastCollection() const {
    std::lock_guard<std::mutex> lock(mImpl->shared->mutex);
    if (mImpl->shared->lastCollection == nullptr) {
        return {};
    }
    return *mImpl->shared->lastCollection;
}

const MarovexEntryPoints& MarovexModule::Entries() const { return mImpl->entries; }

IACFUnknown* MarovexModule::HostUnknown() const { return static_cast<IACFComponentFactory*>(mImpl->factory); }

uint64_t MarovexModule::SDKVersion() const { return mImpl->sdkVersion; }

int32_t MarovexModule::LiveObjectCount() const { return mImpl->entries.canUnloadNow(HostUnknown()); }

int32_t MarovexModule::HostServicesCreated() const { return mImpl->shared->hostServicesCreated.load(); }

std::vector<std::string> MarovexModule::Traces() const {
    std::lock_guard<std::mutex> lock(mImpl->shared->mutex);
    return mImpl->shared->traces;
}
