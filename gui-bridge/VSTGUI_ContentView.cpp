// The editor's frame on the host's native view.
#include "VSTGUI_ContentView.h"

#include <algorithm>
#include <vector>

#include "AAX_IViewContainer.h"

// The host's run loop as the toolkit sees it: registrations go to the record's calls.
class VSTGUI_ContentView::RunLoop : public VSTGUI::X11::IRunLoop {
public:
    explicit RunLoop(AAX_SX11NativeView* view) : mView(view) {}
    ~RunLoop() override {
        for (const Entry& e : mEntries) mView->mUnregisterEventFd(mView->mHostContext, e.fd);
    }

    bool registerEventHandler(int fd, VSTGUI::X11::IEventHandler* handler) override {
        if (mView->mRegisterEventFd == nullptr || mView->mUnregisterEventFd == nullptr) return false;
        if (mView->mRegisterEventFd(mView->mHostContext, fd, &RunLoop::OnReadable, handler) != 0) return false;
        mEntries.push_back(Entry{fd, handler});
        return true;
    }

    bool unregisterEventHandler(VSTGUI::X11::IEventHandler* handler) override {
        auto it = std::find_if(mEntries.begin(), mEntries.end(), [&](const Entry& e) { return e.handler == handler; });
        if (it == mEntries.end()) return false;
        mView->mUnregisterEventFd(mView->mHostContext, it->fd);
        mEntries.erase(it);
        return true;
    }

private:
    static void OnReadable(void* context) { static_cast<VSTGUI::X11::IEventHandler*>(context)->onEvent(); }

    struct Entry {
        int fd;
        VSTGUI::X11::IEventHandler* handler;
    };
    AAX_SX11NativeView* mView;
    std::vector<Entry> mEntries;
};

namespace {
AAX_SX11NativeView* NativeView(void* parent) {
    auto* view = static_cast<AAX_SX11NativeView*>(parent);
    return view != nullptr && view->mSize >= sizeof(AAX_SX11NativeView) ? view : nullptr;
}
}  // namespace

VSTGUI_ContentView::VSTGUI_ContentView(void* parent, AAX_IACFEffectParameters* parameters,
                                       VSTGUI::VSTGUIEditorInterface* editor)
    : VSTGUI::CFrame(VSTGUI::CRect(0, 0, 0, 0), editor), mParameters(parameters), mNativeView(NativeView(parent)) {
    // The host's scale, or (0) the desktop's: the frame asks its window system.
    const float scale = mNativeView != nullptr && mNativeView->mScaleFactor > 0 ? mNativeView->mScaleFactor : 0.0f;
    if (mNativeView != nullptr && mNativeView->mWindow != 0) {
        mRunLoop = std::make_unique<RunLoop>(mNativeView);
        VSTGUI::X11::FrameConfig config;
        config.runLoop = mRunLoop.get();
        config.scaleFactor = scale;
        if (open(reinterpret_cast<void*>(static_cast<uintptr_t>(mNativeView->mWindow)),
                 VSTGUI::PlatformType::kX11EmbedWindowID, &config)) {
            return;
        }
    }
    open(nullptr, VSTGUI::PlatformType::kOffscreen);
    setScaleFactor(scale > 0 ? scale : 1.0);
}

VSTGUI_ContentView::~VSTGUI_ContentView() {
    close();  // the window goes (and unregisters) while the run loop still exists
}

bool VSTGUI_ContentView::setPosition(VSTGUI::CCoord x, VSTGUI::CCoord y) { return CFrame::setPosition(x, y); }
bool VSTGUI_ContentView::setSize(VSTGUI::CCoord width, VSTGUI::CCoord height) { return CFrame::setSize(width, height); }
bool VSTGUI_ContentView::getSize(VSTGUI::CRect& size) const { return CFrame::getSize(size); }

bool VSTGUI_ContentView::getSize(VSTGUI::CRect* size) const {
    if (!getVisibleFlag() || !(getAlphaValue() > 0.0f)) return false;
    return CFrame::getSize(size);
}

bool VSTGUI_ContentView::platformOnKeyDown(VSTGUI::VstKeyCode& keyCode) { return CFrame::platformOnKeyDown(keyCode); }

bool VSTGUI_ContentView::onDrop(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) {
    const VSTGUI::CPoint copy = where;
    return CViewContainer::onDrop(drag, copy);
}
void VSTGUI_ContentView::onDragEnter(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) {
    const VSTGUI::CPoint copy = where;
    CViewContainer::onDragEnter(drag, copy);
}
void VSTGUI_ContentView::onDragLeave(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) {
    const VSTGUI::CPoint copy = where;
    CViewContainer::onDragLeave(drag, copy);
}
void VSTGUI_ContentView::onDragMove(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) {
    const VSTGUI::CPoint copy = where;
    CViewContainer::onDragMove(drag, copy);
}

bool VSTGUI_ContentView::copyToNativePixels() const {
    if (mNativeView == nullptr || mNativeView->mPixels == nullptr) return false;
    const int32_t w = std::min(mNativeView->mPixelsWidth, getPixelWidth());
    const int32_t h = std::min(mNativeView->mPixelsHeight, getPixelHeight());
    return copyPixels(mNativeView->mPixels, mNativeView->mStride, w, h);
}
