// The plug-ins' user interface: our editor in an X11 window that the host embeds (ui:parent) or
// shows on its own (ui:showInterface).
#pragma once

#include <lv2/ui/ui.h>

namespace marovex_lv2 {

// The descriptor of the user interface (URI kUiUri).
const LV2UI_Descriptor* UiDescriptor();

}  // namespace marovex_lv2
