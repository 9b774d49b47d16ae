// The module's exported entry points and what they forward to.
#include "AAX_Init.h"

#include "AAX_CHostServices.h"
#include "AAX_Guarded.h"
#include "AAX_UIDs.h"
#include "AAX_VCollection.h"
#include "CACFUnknown.h"

AAX_EXPORT ACFRESULT ACFRegisterPlugin(IACFUnknown* host, IACFPluginDefinition** out) {
    return AAX_Guarded([&] { return AAXRegisterPlugin(host, out); });
}

AAX_EXPORT ACFRESULT ACFRegisterComponent(IACFUnknown* host, uint32_t index, IACFComponentDefinition** out) {
    return AAX_Guarded([&] { return AAXRegisterComponent(host, index, out); });
}

AAX_EXPORT ACFRESULT ACFGetClassFactory(IACFUnknown* host, const _acfUID& classID, const _acfUID& interfaceID,
                                        void** out) {
    return AAX_Guarded([&] { return AAXGetClassFactory(host, classID, interfaceID, out); });
}

AAX_EXPORT ACFRESULT ACFCanUnloadNow(IACFUnknown* host) {
    return AAX_Guarded([&] { return AAXCanUnloadNow(host); });
}

AAX_EXPORT ACFRESULT ACFStartup(IACFUnknown* host) {
    return AAX_Guarded([&] { return AAXStartup(host); });
}

AAX_EXPORT ACFRESULT ACFShutdown(IACFUnknown* host) {
    return AAX_Guarded([&] { return AAXShutdown(host); });
}

AAX_EXPORT ACFRESULT ACFGetSDKVersion(uint64_t* version) {
    return AAX_Guarded([&] { return AAXGetSDKVersion(version); });
}

ACFRESULT AAXRegisterPlugin(IACFUnknown* host, IACFPluginDefinition** out) {
    AAX_VCollection collection(host);
    const AAX_Result result = GetEffectDescriptions(&collection);
    if (result != AAX_SUCCESS) {
        return result;  // *out is not touched
    }
    if (out == nullptr) {
        return AAX_ERROR_NULL_OBJECT;  // nowhere to hand the definition back
    }
    *out = nullptr;
    IACFUnknown* unknown = collection.GetIUnknown();
    if (unknown == nullptr ||
        unknown->QueryInterface(IID_IACFPluginDefinition, reinterpret_cast<void**>(out)) != ACF_OK) {
        return AAX_ERROR_NULL_OBJECT;
    }
    // The host keeps its collection through *out; the local wrapper releases its own reference.
    return AAX_SUCCESS;
}

ACFRESULT AAXRegisterComponent(IACFUnknown*, uint32_t, IACFComponentDefinition** out) {
    if (out == nullptr) {
        return AAX_ERROR_NULL_OBJECT;  // nowhere to write the answer
    }
    *out = nullptr;
    return AAX_SUCCESS;
}

ACFRESULT AAXGetClassFactory(IACFUnknown*, const _acfUID&, const _acfUID&, void** out) {
    if (out == nullptr) {
        return AAX_ERROR_NULL_OBJECT;  // nowhere to write the answer
    }
    *out = nullptr;
    return AAX_ERROR_UNIMPLEMENTED;
}

ACFRESULT AAXCanUnloadNow(IACFUnknown*) { return CACFUnknown::GetActiveObjectCount(); }

ACFRESULT AAXStartup(IACFUnknown* host) {
    AAX_CHostServices::Set(host);
    return AAX_SUCCESS;
}

ACFRESULT AAXShutdown(IACFUnknown*) {
    AAX_CHostServices::Set(nullptr);
    return AAX_SUCCESS;
}

ACFRESULT AAXGetSDKVersion(uint64_t* version) {
    if (version == nullptr) {
        return AAX_ERROR_NULL_OBJECT;
    }
    *version = cAAXInterfaceVersion;
    return AAX_SUCCESS;
}
