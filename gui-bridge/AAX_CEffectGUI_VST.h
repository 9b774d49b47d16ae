// The editor base on top of the GUI toolkit: owns one frame, built in the host's native view.
//
// Teardown: the frame is released in DeleteViewContainer, and this class's destructor releases it
// itself before the base destructor runs (the base's own teardown can only reach the base's empty
// DeleteViewContainer, which would leave the frame behind).
// Threading: the host's user-interface thread.
#pragma once

#include "AAX_CEffectGUI.h"
#include "VSTGUI_ContentView.h"
#include "vstgui/vstgui.h"

class AAX_CEffectGUI_VST : public AAX_CEffectGUI, public VSTGUI::VSTGUIEditorInterface {
public:
    AAX_CEffectGUI_VST();
    ~AAX_CEffectGUI_VST() override;

    // The frame's height and width (vertical first); nothing without a frame. Returns 0.
    AAX_Result GetViewSize(AAX_Point* size) const override;
    // Draws the rectangle (top, left, width, height) of the frame; offscreen, the frame's image is
    // then copied into the host's pixels. Returns 0.
    AAX_Result Draw(AAX_Rect* rect) override;

    // The frame, or null while no view exists.
    VSTGUI_ContentView* GetContentView() const { return mFrame; }

protected:
    void CreateViewContents() override = 0;
    // Builds the view when the container is a native view (type 1) with a native pointer.
    void CreateViewContainer() override;
    // Releases the frame (inside an autorelease pool) and clears it.
    void DeleteViewContainer() override;
    // A bare frame with background colour kGreyCColor; the effect's editor builds its own view.
    void CreateEffectView(void* parent) override;

    VSTGUI_ContentView* mFrame;
};
