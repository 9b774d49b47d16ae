// The host's effect descriptor.
#include "HostEffectDescriptor.h"

#include "AAX_UIDs.h"
#include "HostComponentDescriptor.h"
#include "HostPropertyMap.h"

namespace marovex_host {

ACFRESULT HostEffectDescriptor::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXEffectDescriptorV1 || iid == IID_IAAXEffectDescriptorV2 ||
        iid == kImplID_EffectDescriptor) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostEffectDescriptor::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostEffectDescriptor::AddComponent(IACFUnknown* componentDescriptor) {
    HostComponentDescriptor* c = ImplOf<HostComponentDescriptor>(componentDescriptor, kImplID_ComponentDescriptor);
    if (c == nullptr) {
        Report(marovex_where::kDescription, "refused", "AddComponent was given no component descriptor of this host");
        return AAX_ERROR_NULL_OBJECT;
    }
    mDesc.components.push_back(c->Description());
    c->Release();
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddName(const char* name) {
    mDesc.names.push_back(TextOf(name));
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddCategory(uint32_t category) {
    mDesc.categories.push_back(category);
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) {
    mDesc.categoryBypassParameters.emplace_back(category, TextOf(id));
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddProcPtr(void* procPtr, AAX_CProcPtrID id) {
    for (auto& p : mDesc.procPtrs) {
        if (p.id == id) {
            Report(marovex_where::kDescription, "the later one replaces it", "procedure %d registered twice", id);
            p.proc = procPtr;
            return AAX_SUCCESS;
        }
    }
    mDesc.procPtrs.push_back({id, procPtr});
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::SetProperties(IACFUnknown* properties) {
    mDesc.properties = SnapshotProperties(properties, "SetProperties");
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddResourceInfo(AAX_EResourceType type, const char* info) {
    mDesc.resources.push_back({type, TextOf(info)});
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddMeterDescription(AAX_CTypeID meterID, const char* name, IACFUnknown* properties) {
    MarovexMeterDescription m;
    m.id = meterID;
    m.name = TextOf(name);
    m.properties = SnapshotProperties(properties, "AddMeterDescription");
    mDesc.meters.push_back(std::move(m));
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddControlMIDINode(AAX_CTypeID, int32_t, const char*, uint32_t) {
    // This host has no MIDI; the node is accepted and not used.
    return AAX_SUCCESS;
}

}  // namespace marovex_host
