// One translation of mouse modifiers between the toolkit's button state and the host's modifier
// mask, shared by every control that offers its gestures to the host. The host's own view of the
// modifiers (GetModifiers) is merged in both ways, so the host sees the toolkit's modifiers and the
// toolkit sees the host's.
#pragma once

#include <cstdint>

#include "vstgui/vstguibase.h"

class AAX_IViewContainer;

class AAX_CVSTGUIButtonState {
public:
    // `container` may be null (then only the toolkit's state is translated).
    AAX_CVSTGUIButtonState(const VSTGUI::CButtonState& state, AAX_IViewContainer* container);

    // Host mask: Shift 1, Control 2, Option 4, Command 8, secondary button 16.
    uint32_t GetAAX_ModifierMask() const { return mModifiers; }
    // The toolkit state with the host's modifiers added.
    VSTGUI::CButtonState GetVSTGUI_ButtonState() const { return VSTGUI::CButtonState(static_cast<int32_t>(mButtonState)); }

private:
    uint32_t mModifiers;
    uint32_t mButtonState;
};
