// The data model as a reference-counted component object: the host-visible interface (versions 1 to
// 3) combined with the component base that counts references and answers interface queries.
#pragma once

#include "AAX_IACFEffectParameters.h"
#include "CACFUnknown.h"

class AAX_IEffectParameters : public AAX_IACFEffectParameters_V3, public CACFUnknown {
public:
    AAX_IEffectParameters() = default;
    ~AAX_IEffectParameters() override = default;

    // IACFUnknown: forwarded to the controlling unknown. Threading: any thread.
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // Answers IID_IAAXEffectParametersV1, V2 and V3 with the host-facing interface (adding a
    // reference); anything else goes to CACFUnknown. Threading: any thread.
    ACFRESULT InternalQueryInterface(const acfIID& iid, void** out) override;
};
