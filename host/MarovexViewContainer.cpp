// The host's view container.
#include "MarovexViewContainer.h"

#include <algorithm>

#include "AAX_Guarded.h"
#include "AAX_IACFEffectGUI.h"
#include "AAX_IViewContainer.h"
#include "AAX_UIDs.h"
#include "HostInternal.h"
#include "MarovexHost.h"

using namespace marovex_host;

namespace {

class ContainerObject final : public AAX_IACFViewContainer_V2 {
public:
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (out == nullptr) return ACF_E_FAIL;
        *out = nullptr;
        if (iid == IID_IACFUnknown || iid == IID_IAAXViewContainerV1 || iid == IID_IAAXViewContainerV2) {
            *out = static_cast<AAX_IACFViewContainer_V2*>(this);
            refs.Add();
            return ACF_OK;
        }
        return ACF_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs.Add(); }
    uint32_t Release() override {
        // The host owns the object; the count only tells how many references the plug-in holds.
        return refs.Drop();
    }

    int32_t GetType() override { return AAX_eViewContainer_Type_NSView; }
    void* GetPtr() override { return &view; }
    AAX_Result GetModifiers(uint32_t* out) override {
        if (out == nullptr) return AAX_ERROR_NULL_OBJECT;
        *out = modifiers;
        return AAX_SUCCESS;
    }
    AAX_Result SetViewSize(AAX_Point&) override { return AAX_SUCCESS; }
    AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t m) override { return Offer(MarovexGesture::Down, id, m); }
    AAX_Result HandleParameterMouseDrag(AAX_CParamID id, uint32_t m) override { return Offer(MarovexGesture::Drag, id, m); }
    AAX_Result HandleParameterMouseUp(AAX_CParamID id, uint32_t m) override { return Offer(MarovexGesture::Up, id, m); }
    AAX_Result HandleMultipleParametersMouseDown(const AAX_CParamID*, uint32_t, uint32_t) override {
        return AAX_ERROR_UNIMPLEMENTED;
    }

    AAX_Result Offer(MarovexGesture kind, AAX_CParamID id, uint32_t m) {
        return AAX_Guarded([&]() -> AAX_Result {
            if (gestures && gestures(kind, TextOf(id), m)) return AAX_SUCCESS;
            return AAX_ERROR_UNIMPLEMENTED;
        });
    }

    struct Watch {
        int fd;
        void (*handler)(void*);
        void* context;
    };

    RefCount refs;  // starts at 1: the host's own
    AAX_SX11NativeView view{};
    uint32_t modifiers = 0;
    std::function<bool(MarovexGesture, const std::string&, uint32_t)> gestures;
    std::vector<Watch> watches;
    std::vector<uint32_t> pixels;
};

int32_t RegisterFd(void* host, int32_t fd, void (*handler)(void*), void* context) {
    auto* c = static_cast<ContainerObject*>(host);
    if (fd < 0 || handler == nullptr) return -1;
    return AAX_Guarded([&]() -> int32_t {
        c->watches.push_back({fd, handler, context});
        return 0;
    });
}

void UnregisterFd(void* host, int32_t fd) {
    auto* c = static_cast<ContainerObject*>(host);
    auto& w = c->watches;
    w.erase(std::remove_if(w.begin(), w.end(), [&](const ContainerObject::Watch& x) { return x.fd == fd; }), w.end());
}

}  // namespace

struct MarovexViewContainer::Impl {
    ContainerObject object;
};

MarovexViewContainer::MarovexViewContainer(uint64_t window) : mImpl(new Impl) {
    AAX_SX11NativeView& v = mImpl->object.view;
    v.mSize = sizeof(AAX_SX11NativeView);
    v.mWindow = window;
    v.mHostContext = &mImpl->object;
    v.mRegisterEventFd = &RegisterFd;
    v.mUnregisterEventFd = &UnregisterFd;
}

MarovexViewContainer::~MarovexViewContainer() {
    if (PluginReferences() != 0) {
        Report(marovex_where::kEditor, "the container is destroyed regardless",
               "the plug-in kept %u reference(s) to the editor's view container", PluginReferences());
    }
}

IACFUnknown* MarovexViewContainer::Unknown() { return &mImpl->object; }
uint32_t MarovexViewContainer::PluginReferences() const { return mImpl->object.refs.Get() - 1; }
void MarovexViewContainer::SetModifiers(uint32_t modifiers) { mImpl->object.modifiers = modifiers; }

void MarovexViewContainer::SetGestureHandler(
    std::function<bool(MarovexGesture, const std::string& id, uint32_t modifiers)> handler) {
    mImpl->object.gestures = std::move(handler);
}

std::vector<int> MarovexViewContainer::EventDescriptors() const {
    std::vector<int> fds;
    for (const auto& w : mImpl->object.watches) fds.push_back(w.fd);
    return fds;
}

void MarovexViewContainer::HandleEvents(int fd) {
    // A copy: a handler may register or unregister while it runs.
    const std::vector<ContainerObject::Watch> watches = mImpl->object.watches;
    for (const auto& w : watches) {
        if (w.fd == fd) w.handler(w.context);
    }
}

void MarovexViewContainer::HandleAllEvents() {
    const std::vector<ContainerObject::Watch> watches = mImpl->object.watches;
    for (const auto& w : watches) w.handler(w.context);
}

void MarovexViewContainer::SetScaleFactor(float scale) { mImpl->object.view.mScaleFactor = scale > 0 ? scale : 0.0f; }

void MarovexViewContainer::SetPixelSize(int32_t width, int32_t height) {
    ContainerObject& o = mImpl->object;
    width = std::max(0, width);
    height = std::max(0, height);
    o.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    o.view.mPixels = o.pixels.empty() ? nullptr : o.pixels.data();
    o.view.mStride = width * 4;
    o.view.mPixelsWidth = width;
    o.view.mPixelsHeight = height;
}

const std::vector<uint32_t>& MarovexViewContainer::Pixels() const { return mImpl->object.pixels; }

bool MarovexRenderEditorOffscreen(MarovexGui& gui, std::vector<uint32_t>* pixels, int32_t* width, int32_t* height,
                                  const std::function<void()>& prepare, std::string* error, float scale) {
    AAX_IACFEffectGUI* editor = gui.Interface();
    MarovexViewContainer container(0);
    container.SetScaleFactor(scale);
    bool ok = false;
    try {
        editor->SetViewContainer(container.Unknown());
        AAX_Point size{0, 0};
        editor->GetViewSize(&size);
        const auto w = static_cast<int32_t>(size.horz), h = static_cast<int32_t>(size.vert);
        if (w <= 0 || h <= 0 || w > 16384 || h > 16384) {
            if (error) *error = "the editor reports no view size (" + std::to_string(size.horz) + " x " +
                                std::to_string(size.vert) + "); are its resources installed?";
        } else {
            if (prepare) prepare();
            container.SetPixelSize(w, h);
            AAX_Rect all{0, 0, static_cast<float>(w), static_cast<float>(h)};
            editor->Draw(&all);
            *pixels = container.Pixels();
            *width = w;
            *height = h;
            ok = true;
        }
        editor->SetViewContainer(nullptr);
    } catch (...) {
        if (error) *error = "an exception escaped the plug-in's editor";
        try {
            editor->SetViewContainer(nullptr);  // the container is about to go
        } catch (...) {
        }
        return false;
    }
    return ok;
}
