// The editor base on top of the GUI toolkit.
#include "AAX_CEffectGUI_VST.h"

#include "AAX_CAutoreleasePool.h"
#include "AAX_Guarded.h"
#include "AAX_IViewContainer.h"

AAX_CEffectGUI_VST::AAX_CEffectGUI_VST() : mFrame(nullptr) {}

AAX_CEffectGUI_VST::~AAX_CEffectGUI_VST() { AAX_CEffectGUI_VST::DeleteViewContainer(); }

AAX_Result AAX_CEffectGUI_VST::GetViewSize(AAX_Point* size) const {
    // In pixels: the frame's size times its scale factor.
    if (mFrame != nullptr && size != nullptr) {
        size->vert = static_cast<float>(mFrame->getPixelHeight());
        size->horz = static_cast<float>(mFrame->getPixelWidth());
    }
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI_VST::Draw(AAX_Rect* rect) {
    return AAX_Guarded([&]() -> AAX_Result {
        if (rect != nullptr && mFrame != nullptr) {
            // The host's rectangle is in pixels; the frame draws in its own coordinates.
            const double scale = mFrame->getScaleFactor();
            const VSTGUI::CRect area(rect->left / scale, rect->top / scale, (rect->left + rect->width) / scale,
                                     (rect->top + rect->height) / scale);
            mFrame->drawRect(nullptr, area);
            mFrame->copyToNativePixels();
        }
        return AAX_SUCCESS;
    });
}

void AAX_CEffectGUI_VST::CreateViewContainer() {
    if (GetViewContainerType() == AAX_eViewContainer_Type_NSView) {
        if (void* parent = GetViewContainerPtr()) CreateEffectView(parent);
    }
}

void AAX_CEffectGUI_VST::DeleteViewContainer() {
    if (mFrame == nullptr) return;
    AAX_CAutoreleasePool pool;
    VSTGUI_ContentView* frame = mFrame;
    mFrame = nullptr;
    frame->forget();
}

void AAX_CEffectGUI_VST::CreateEffectView(void* parent) {
    DeleteViewContainer();
    mFrame = new VSTGUI_ContentView(parent, GetEffectParameters(), this);
    mFrame->setBackgroundColor(VSTGUI::kGreyCColor);
}
