// The editor object's reference counting and interface query.
#include "AAX_IEffectGUI.h"

#include "AAX_UIDs.h"

ACFRESULT AAX_IEffectGUI::QueryInterface(const acfIID& iid, void** out) {
    return GetOuterUnknown()->QueryInterface(iid, out);
}

uint32_t AAX_IEffectGUI::AddRef() { return GetOuterUnknown()->AddRef(); }

uint32_t AAX_IEffectGUI::Release() { return GetOuterUnknown()->Release(); }

ACFRESULT AAX_IEffectGUI::InternalQueryInterface(const acfIID& iid, void** out) {
    if (out != nullptr && iid == IID_IAAXEffectGUIV1) {
        AAX_IACFEffectGUI* gui = this;
        *out = gui;
        gui->AddRef();
        return ACF_OK;
    }
    return CACFUnknown::InternalQueryInterface(iid, out);
}
