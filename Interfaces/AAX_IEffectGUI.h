// The editor object as a reference-counted component object: the host-visible editor interface
// combined with the component base that counts references and answers interface queries.
#pragma once

#include "AAX_IACFEffectGUI.h"
#include "CACFUnknown.h"

class AAX_IEffectGUI : public AAX_IACFEffectGUI, public CACFUnknown {
public:
    AAX_IEffectGUI() = default;
    ~AAX_IEffectGUI() override = default;

    // IACFUnknown: forwarded to the controlling unknown. Threading: any thread.
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // Answers IID_IAAXEffectGUIV1 with the host-facing interface (adding a reference); anything else
    // goes to CACFUnknown. Threading: any thread.
    ACFRESULT InternalQueryInterface(const acfIID& iid, void** out) override;
};
