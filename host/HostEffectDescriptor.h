// The host's effect descriptor: the names, categories, procedures, resources, meters and components
// of one effect, each recorded by value at the moment it is given.
#pragma once

#include "AAX_IEffectDescriptor.h"
#include "HostInternal.h"
#include "MarovexHost.h"

namespace marovex_host {

class HostEffectDescriptor final : public AAX_IACFEffectDescriptor_V2 {
public:
    HostEffectDescriptor() = default;
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_Result AddComponent(IACFUnknown* componentDescriptor) override;
    AAX_Result AddName(const char* name) override;
    AAX_Result AddCategory(uint32_t category) override;
    AAX_Result AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) override;
    AAX_Result AddProcPtr(void* procPtr, AAX_CProcPtrID id) override;
    AAX_Result SetProperties(IACFUnknown* properties) override;
    AAX_Result AddResourceInfo(AAX_EResourceType type, const char* info) override;
    AAX_Result AddMeterDescription(AAX_CTypeID meterID, const char* name, IACFUnknown* properties) override;
    AAX_Result AddControlMIDINode(AAX_CTypeID nodeID, int32_t nodeType, const char* name,
                                  uint32_t channelMask) override;

    const MarovexEffectDescription& Description() const { return mDesc; }

private:
    ~HostEffectDescriptor() = default;
    RefCount mRefs;
    MarovexEffectDescription mDesc;
};

}  // namespace marovex_host
