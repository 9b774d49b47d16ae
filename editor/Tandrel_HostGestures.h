// The gesture hand-off that the editor's knobs and buttons share: each mouse event is offered to the
// host first (through the view container, by parameter identifier) and reaches the toolkit's own
// handling only when the host declines.
#pragma once

#include "AAX_CVSTGUIButtonState.h"
#include "AAX_IViewContainer.h"
#include "vstgui/vstguibase.h"

namespace TandrelHostGestures {

// base(where, state) runs the toolkit's handling with the translated state.
template <class Base>
VSTGUI::CMouseEventResult MouseDown(AAX_IViewContainer* container, const char* id, VSTGUI::CPoint& where,
                                    const VSTGUI::CButtonState& buttons, Base base) {
    const AAX_CVSTGUIButtonState state(buttons, container);
    if (container != nullptr && id != nullptr &&
        container->HandleParameterMouseDown(id, state.GetAAX_ModifierMask()) == AAX_SUCCESS) {
        return VSTGUI::kMouseEventHandled;
    }
    return base(where, state.GetVSTGUI_ButtonState());
}

template <class Base>
VSTGUI::CMouseEventResult MouseUp(AAX_IViewContainer* container, const char* id, VSTGUI::CPoint& where,
                                  const VSTGUI::CButtonState& buttons, Base base) {
    const AAX_CVSTGUIButtonState state(buttons, container);
    if (container != nullptr && id != nullptr &&
        container->HandleParameterMouseUp(id, state.GetAAX_ModifierMask()) == AAX_SUCCESS) {
        return VSTGUI::kMouseEventHandled;
    }
    return base(where, state.GetVSTGUI_ButtonState());
}

// A drag is offered only while the left button is held. A Command-drag reaches the toolkit as
// Command plus Shift, its fine adjustment.
template <class Base>
VSTGUI::CMouseEventResult MouseMoved(AAX_IViewContainer* container, const char* id, VSTGUI::CPoint& where,
                                     const VSTGUI::CButtonState& buttons, Base base) {
    const AAX_CVSTGUIButtonState state(buttons, container);
    if (buttons.isLeftButton() && container != nullptr && id != nullptr &&
        container->HandleParameterMouseDrag(id, state.GetAAX_ModifierMask()) == AAX_SUCCESS) {
        return VSTGUI::kMouseEventHandled;
    }
    VSTGUI::CButtonState toolkit = state.GetVSTGUI_ButtonState();
    if (toolkit & VSTGUI::kControl) toolkit |= VSTGUI::kShift;
    return base(where, toolkit);
}

}  // namespace TandrelHostGestures
