// Host collection wrapper.
#include "AAX_VCollection.h"

#include "AAX_CUIDs.h"
#include "AAX_UIDs.h"
#include "AAX_VEffectDescriptor.h"
#include "AAX_VPropertyMap.h"

AAX_VCollection::AAX_VCollection(IACFUnknown* host)
    : mHost(host),
      mICollection(static_cast<AAX_IACFCollection*>(
          AAX_CreateHostComponent(host, AAXCompID_AAXCollection, IID_IAAXCollectionV1))) {
    if (mHost != nullptr) mHost->AddRef();
}

AAX_VCollection::~AAX_VCollection() {
    // The descriptors go first: they may hold references into the host that the collection made.
    mDescriptors.clear();
    mPropertyMaps.clear();
    if (mICollection != nullptr) mICollection->Release();
    if (mHost != nullptr) mHost->Release();
}

AAX_IEffectDescriptor* AAX_VCollection::NewDescriptor() {
    std::unique_ptr<AAX_VEffectDescriptor> effect(new AAX_VEffectDescriptor(mHost));
    if (effect->GetV1() == nullptr) {
        return nullptr;
    }
    mDescriptors.push_back(std::move(effect));
    return mDescriptors.back().get();
}

AAX_Result AAX_VCollection::AddEffect(const char* effectID, AAX_IEffectDescriptor* effect) {
    return mICollection ? mICollection->AddEffect(effectID, effect ? effect->GetIUnknown() : nullptr)
                        : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VCollection::SetManufacturerName(const char* name) {
    return mICollection ? mICollection->SetManufacturerName(name) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VCollection::AddPackageName(const char* name) {
    return mICollection ? mICollection->AddPackageName(name) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VCollection::SetPackageVersion(uint32_t version) {
    return mICollection ? mICollection->SetPackageVersion(version) : AAX_ERROR_NULL_OBJECT;
}

AAX_IPropertyMap* AAX_VCollection::NewPropertyMap() {
    std::unique_ptr<AAX_VPropertyMap> map(new AAX_VPropertyMap(mHost));
    if (map->GetV1() == nullptr) {
        return nullptr;
    }
    mPropertyMaps.push_back(std::move(map));
    return mPropertyMaps.back().get();
}

AAX_Result AAX_VCollection::SetProperties(AAX_IPropertyMap* properties) {
    return mICollection ? mICollection->SetProperties(properties ? properties->GetIUnknown() : nullptr)
                        : AAX_ERROR_NULL_OBJECT;
}

IACFUnknown* AAX_VCollection::GetIUnknown() const { return mICollection; }
