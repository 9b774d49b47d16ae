#include "AAX_IEffectParameters.h"

#include "AAX_UIDs.h"

ACFRESULT AAX_IEffectParameters::QueryInterface(const acfIID& iid, void** out) {
    return GetOuterUnknown()->QueryInterface(iid, out);
}

uint32_t AAX_IEffectParameters::AddRef() { return GetOuterUnknown()->AddRef(); }

uint32_t AAX_IEffectParameters::Release() { return GetOuterUnknown()->Release(); }

ACFRESULT AAX_IEffectParameters::InternalQueryInterface(const acfIID& iid, void** out) {
    IACFUnknown* found = nullptr;
    if (iid == IID_IAAXEffectParametersV1) {
        found = static_cast<AAX_IACFEffectParameters*>(this);
    } else if (iid == IID_IAAXEffectParametersV2) {
        found = static_cast<AAX_IACFEffectParameters_V2*>(this);
    } else if (iid == IID_IAAXEffectParametersV3) {
        found = static_cast<AAX_IACFEffectParameters_V3*>(this);
    }
    if (found == nullptr || out == nullptr) {
        return CACFUnknown::InternalQueryInterface(iid, out);
    }
    *out = found;
    found->AddRef();
    return ACF_OK;
}
