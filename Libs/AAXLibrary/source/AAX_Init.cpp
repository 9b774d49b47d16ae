// The module's exported entry points and what they forward to.
#include "AAX_Init.h"

#include "AAX_CHostServices.h"
#include "AAX_UIDs.h"
#include "AAX_VCollection.h"
#include "CACFUnknown.h"

// Runs an entry point's counterpart; an exception escaping it becomes 0x8000FFFF.
#define AAX_GUARDED(call)          \
    try {                          \
        return call;               \
    } catch (...) {                \
        return ACF_E_UNEXPECTED;   \
    }

AAX_EXPORT ACFRESULT ACFRegisterPlugin(IACFUnknown* host, IACFPluginDefinition** out) {
    AAX_GUARDED(AAXRegisterPlugin(host, out))
}

AAX_EXPORT ACFRESULT ACFRegisterComponent(IACFUnknown* host, uint32_t index, IACFComponentDefinition** out) {
    AAX_GUARDED(AAXRegisterComponent(host, index, out))
}

AAX_EXPORT ACFRESULT ACFGetClassFactory(IACFUnknown* host, const _acfUID& classID, const _acfUID& interfaceID,
                                        void** out) {
    AAX_GUARDED(AAXGetClassFactory(host, classID, interfaceID, out))
}

AAX_EXPORT ACFRESULT ACFCanUnloadNow(IACFUnknown* host) { AAX_GUARDED(AAXCanUnloadNow(host)) }

AAX_EXPORT ACFRESULT ACFStartup(IACFUnknown* host) { AAX_GUARDED(AAXStartup(host)) }

AAX_EXPORT ACFRESULT ACFShutdown(IACFUnknown* host) { AAX_GUARDED(AAXShutdown(host)) }

AAX_EXPORT ACFRESULT ACFGetSDKVersion(uint64_t* version) { AAX_GUARDED(AAXGetSDKVersion(version)) }

#undef AAX_GUARDED

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
