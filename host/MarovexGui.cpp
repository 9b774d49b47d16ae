// Editor objects: made through the module's editor factory, initialised with a host object of their
// own, and told of every accepted parameter change. An editor and its instance may go in either
// order: they share the editor registry, and the instance detaches every editor's host object when
// it goes, so an editor's late calls are refused instead of reaching freed memory.
#include <algorithm>

#include "AAX_Guarded.h"
#include "AAX_UIDs.h"
#include "InstanceCore.h"

using namespace marovex_host;

struct MarovexGui::Impl {
    std::shared_ptr<MarovexModule> module;  // released last
    std::shared_ptr<EditorRegistry> registry;
    InstanceHost* host = nullptr;  // one reference held
    AAX_IACFEffectGUI* gui = nullptr;  // one reference held
    AAX_Result initResult = AAX_SUCCESS;
};

MarovexGui::MarovexGui() : mImpl(new Impl) {}

MarovexGui::~MarovexGui() {
    Impl& d = *mImpl;
    if (d.registry != nullptr) {
        // Out of the list, so no new notification starts; then wait for those under way on other
        // threads (one on this thread is the caller of this destruction and cannot be waited for).
        std::unique_lock<std::mutex> lock(d.registry->mutex);
        auto& v = d.registry->entries;
        auto found = std::find_if(v.begin(), v.end(), [&](const auto& e) { return e->gui == d.gui; });
        if (found != v.end()) {
            const std::shared_ptr<EditorRegistry::Entry> entry = *found;
            v.erase(found);
            const std::thread::id self = std::this_thread::get_id();
            d.registry->idle.wait(lock, [&] {
                return std::all_of(entry->notifying.begin(), entry->notifying.end(),
                                   [&](std::thread::id t) { return t == self; });
            });
        }
    }
    if (d.gui != nullptr) {
        try {
            d.gui->Uninitialize();
            d.gui->Release();
        } catch (...) {
            Report(marovex_where::kEditor, "the editor object is dropped",
                   "an exception escaped the plug-in while its editor object was released");
        }
        d.gui = nullptr;
    }
    if (d.host != nullptr) {
        d.host->Detach();
        if (d.host->Refs() != 1) {
            Report(marovex_where::kEditor, "that object refuses every call from now on",
                   "the plug-in kept %u reference(s) to the editor's host object", d.host->Refs() - 1);
        }
        d.host->Release();
    }
}

AAX_IACFEffectGUI* MarovexGui::Interface() const { return mImpl->gui; }
AAX_Result MarovexGui::InitializeResult() const { return mImpl->initResult; }
void MarovexGui::OverrideMeters(float value) {
    if (mImpl->host != nullptr) mImpl->host->OverrideMeters(value);
}

IACFUnknown* MarovexGui::HostObject() const { return mImpl->host != nullptr ? mImpl->host->Unknown() : nullptr; }

std::unique_ptr<MarovexGui> MarovexInstance::CreateGui(std::string* error, AAX_Result* initResult) {
    InstanceCore& c = *mCore;
    if (initResult != nullptr) *initResult = AAX_SUCCESS;
    std::unique_ptr<MarovexGui> gui;
    const bool ok = Guarded(error, "editor creation", [&] {
        void* factory = c.module->Effect()->FindProcPtr(1);
        if (factory == nullptr) {
            SetError(error, "the module registered no editor factory (procedure 1)");
            return false;
        }
        IACFUnknown* made = reinterpret_cast<IACFUnknown* (*)()>(factory)();
        if (made == nullptr) {
            SetError(error, "the editor factory returned nothing");
            return false;
        }
        void* iface = nullptr;
        if (made->QueryInterface(IID_IAAXEffectGUIV1, &iface) != ACF_OK || iface == nullptr) {
            made->AddRef();
            made->Release();
            SetError(error, "the editor object answers no editor interface");
            return false;
        }
        gui.reset(new MarovexGui());
        MarovexGui::Impl& g = *gui->mImpl;
        g.module = c.module;
        g.gui = static_cast<AAX_IACFEffectGUI*>(iface);
        g.host = new InstanceHost(&c, true);
        g.initResult = g.gui->Initialize(g.host->Unknown());
        if (initResult != nullptr) *initResult = g.initResult;
        if (g.initResult != AAX_SUCCESS) {
            SetError(error, "the editor's Initialize returned " + Code(g.initResult));
            return false;
        }
        auto entry = std::make_shared<EditorRegistry::Entry>();
        entry->gui = g.gui;
        entry->host = g.host;
        std::lock_guard<std::mutex> lock(c.editors->mutex);
        c.editors->entries.push_back(std::move(entry));
        g.registry = c.editors;
        return true;
    });
    if (!ok) {
        return nullptr;
    }
    return gui;
}

// Each editor is held by a reference of its own across the call and marked as being notified, so
// an editor closed on another thread meanwhile waits for the call to end instead of being called
// after it is freed (or while it uninitialises).
void InstanceCore::NotifyEditors(const char* id) {
    const std::thread::id self = std::this_thread::get_id();
    std::vector<std::shared_ptr<EditorRegistry::Entry>> held;
    {
        std::lock_guard<std::mutex> lock(editors->mutex);
        held = editors->entries;
        for (const auto& e : held) {
            e->gui->AddRef();
            e->notifying.push_back(self);
        }
    }
    for (const auto& e : held) {
        AAX_Guarded([&] { return e->gui->ParameterUpdated(id); });
        e->gui->Release();
        std::lock_guard<std::mutex> lock(editors->mutex);
        e->notifying.erase(std::find(e->notifying.begin(), e->notifying.end(), self));
        editors->idle.notify_all();
    }
}
