// The editor's text button: offers its gestures to the host first (the host declines identifiers
// it does not know, such as the preset buttons'), then behaves as a toolkit text button.
#pragma once

#include "vstgui/vstgui.h"

class AAX_IViewContainer;

class Tandrel_TextButtonVST : public VSTGUI::CTextButton {
public:
    Tandrel_TextButtonVST(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, long tag, const char* title,
                          VSTGUI::CTextButton::Style style);

    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool checkDefaultValue(VSTGUI::CButtonState buttons) override;

    void SetViewContainer(AAX_IViewContainer* container) { mViewContainer = container; }
    void SetParamID(const char* id) { mParamID = id; }
    const char* GetParamID() const { return mParamID; }

protected:
    ~Tandrel_TextButtonVST() override;

private:
    AAX_IViewContainer* mViewContainer;
    const char* mParamID;
};
