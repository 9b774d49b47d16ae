// Host effect descriptor wrapper.
#include "AAX_VEffectDescriptor.h"

#include "AAX_CUIDs.h"
#include "AAX_UIDs.h"
#include "AAX_VComponentDescriptor.h"
#include "AAX_VPropertyMap.h"

namespace {

IACFUnknown* UnknownOf(AAX_IPropertyMap* properties) { return properties ? properties->GetIUnknown() : nullptr; }

}  // namespace

AAX_VEffectDescriptor::AAX_VEffectDescriptor(IACFUnknown* host)
    : mHost(host),
      mIEffectDescriptor(static_cast<AAX_IACFEffectDescriptor*>(
          AAX_CreateHostComponent(host, AAXCompID_EffectDescriptor, IID_IAAXEffectDescriptorV1))),
      mIEffectDescriptorV2(nullptr) {
    if (mHost != nullptr) mHost->AddRef();
    if (mIEffectDescriptor != nullptr &&
        mIEffectDescriptor->QueryInterface(IID_IAAXEffectDescriptorV2,
                                           reinterpret_cast<void**>(&mIEffectDescriptorV2)) != ACF_OK) {
        mIEffectDescriptorV2 = nullptr;
    }
}

AAX_VEffectDescriptor::~AAX_VEffectDescriptor() {
    mComponentDescriptors.clear();
    mPropertyMaps.clear();
    if (mIEffectDescriptorV2 != nullptr) mIEffectDescriptorV2->Release();
    if (mIEffectDescriptor != nullptr) mIEffectDescriptor->Release();
    if (mHost != nullptr) mHost->Release();
}

AAX_IComponentDescriptor* AAX_VEffectDescriptor::NewComponentDescriptor() {
    std::unique_ptr<AAX_VComponentDescriptor> component(new AAX_VComponentDescriptor(mHost));
    if (component->GetV1() == nullptr) {
        return nullptr;
    }
    mComponentDescriptors.push_back(std::move(component));
    return mComponentDescriptors.back().get();
}

AAX_Result AAX_VEffectDescriptor::AddComponent(AAX_IComponentDescriptor* component) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddComponent(component ? component->GetIUnknown() : nullptr)
                              : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddName(const char* name) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddName(name) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddCategory(uint32_t category) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddCategory(category) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddCategoryBypassParameter(category, id) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddProcPtr(void* procPtr, AAX_CProcPtrID id) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddProcPtr(procPtr, id) : AAX_ERROR_NULL_OBJECT;
}

AAX_IPropertyMap* AAX_VEffectDescriptor::NewPropertyMap() {
    std::unique_ptr<AAX_VPropertyMap> map(new AAX_VPropertyMap(mHost));
    if (map->GetV1() == nullptr) {
        return nullptr;
    }
    mPropertyMaps.push_back(std::move(map));
    return mPropertyMaps.back().get();
}

AAX_Result AAX_VEffectDescriptor::SetProperties(AAX_IPropertyMap* properties) {
    return mIEffectDescriptor ? mIEffectDescriptor->SetProperties(UnknownOf(properties)) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddResourceInfo(AAX_EResourceType type, const char* info) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddResourceInfo(type, info) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddMeterDescription(AAX_CTypeID meterID, const char* name,
                                                      AAX_IPropertyMap* properties) {
    return mIEffectDescriptor ? mIEffectDescriptor->AddMeterDescription(meterID, name, UnknownOf(properties))
                              : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VEffectDescriptor::AddControlMIDINode(AAX_CTypeID nodeID, int32_t nodeType, const char* name,
                                                     uint32_t channelMask) {
    if (mIEffectDescriptorV2 != nullptr) {
        return mIEffectDescriptorV2->AddControlMIDINode(nodeID, nodeType, name, channelMask);
    }
    // No host object at all is a missing object; a host object without version 2 is too old.
    return mIEffectDescriptor ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}

IACFUnknown* AAX_VEffectDescriptor::GetIUnknown() const { return mIEffectDescriptor; }
