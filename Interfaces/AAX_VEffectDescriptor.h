// Wraps a host effect descriptor (versions 1 and 2) behind AAX_IEffectDescriptor.
//
// The wrapper creates its host object through the host's component factory. Construction never
// fails: a missing host interface stays null; then each operation returns -20004 (version 1
// missing, AddControlMIDINode included) or -20009 (AddControlMIDINode on a host object without
// version 2). Component descriptors and property maps made by NewComponentDescriptor /
// NewPropertyMap belong to this wrapper and live until it is destroyed; destruction releases the
// host object.
// Threading: the thread that describes the module.
#pragma once

#include <memory>
#include <vector>

#include "AAX_IEffectDescriptor.h"

class AAX_VComponentDescriptor;
class AAX_VPropertyMap;

class AAX_VEffectDescriptor : public AAX_IEffectDescriptor {
public:
    explicit AAX_VEffectDescriptor(IACFUnknown* host);
    ~AAX_VEffectDescriptor() override;
    AAX_VEffectDescriptor(const AAX_VEffectDescriptor&) = delete;
    AAX_VEffectDescriptor& operator=(const AAX_VEffectDescriptor&) = delete;

    // A new component descriptor owned by this wrapper, or null when the host cannot make one.
    AAX_IComponentDescriptor* NewComponentDescriptor() override;
    AAX_Result AddComponent(AAX_IComponentDescriptor* component) override;
    AAX_Result AddName(const char* name) override;
    AAX_Result AddCategory(uint32_t category) override;
    AAX_Result AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) override;
    AAX_Result AddProcPtr(void* procPtr, AAX_CProcPtrID id) override;
    // A new property map owned by this wrapper, or null when the host cannot make one.
    AAX_IPropertyMap* NewPropertyMap() override;
    AAX_Result SetProperties(AAX_IPropertyMap* properties) override;
    AAX_Result AddResourceInfo(AAX_EResourceType type, const char* info) override;
    AAX_Result AddMeterDescription(AAX_CTypeID meterID, const char* name, AAX_IPropertyMap* properties) override;
    AAX_Result AddControlMIDINode(AAX_CTypeID nodeID, int32_t nodeType, const char* name,
                                  uint32_t channelMask) override;
    IACFUnknown* GetIUnknown() const override;

    AAX_IACFEffectDescriptor* GetV1() const { return mIEffectDescriptor; }
    AAX_IACFEffectDescriptor_V2* GetV2() const { return mIEffectDescriptorV2; }

private:
    IACFUnknown* mHost;  // one reference held, for the objects this wrapper makes
    AAX_IACFEffectDescriptor* mIEffectDescriptor;
    AAX_IACFEffectDescriptor_V2* mIEffectDescriptorV2;
    std::vector<std::unique_ptr<AAX_VComponentDescriptor>> mComponentDescriptors;
    std::vector<std::unique_ptr<AAX_VPropertyMap>> mPropertyMaps;
};
