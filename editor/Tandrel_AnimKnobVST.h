// The editor's film-strip knob: offers its gestures to the host first, and restores its default on
// an Option-click (Alt-click on X11 keyboards) or a double click. The wheel and the keys (the
// toolkit knob's steps) take Command (Ctrl) as their fine adjustment too, as drags do.
#pragma once

#include "vstgui/vstgui.h"

class AAX_IViewContainer;

class Tandrel_AnimKnobVST : public VSTGUI::CAnimKnob {
public:
    Tandrel_AnimKnobVST(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, long tag, int subPixmaps,
                        double heightOfOneImage, VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset);

    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    // Only the exact state left button + Option (66) restores the default, through a full edit.
    bool checkDefaultValue(VSTGUI::CButtonState buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const VSTGUI::CMouseWheelAxis& axis, const float& distance,
                 const VSTGUI::CButtonState& buttons) override;
    int32_t onKeyDown(VSTGUI::VstKeyCode& keyCode) override;

    void SetViewContainer(AAX_IViewContainer* container) { mViewContainer = container; }
    // The identifier is kept as given (callers pass string literals).
    void SetParamID(const char* id) { mParamID = id; }
    const char* GetParamID() const { return mParamID; }

protected:
    ~Tandrel_AnimKnobVST() override;

private:
    // The default value through a full edit (begin, value, notify when it changed, end).
    void RestoreDefault();

    AAX_IViewContainer* mViewContainer;
    const char* mParamID;
};
