// Host property map wrapper.
#include "AAX_VPropertyMap.h"

#include "AAX_CUIDs.h"
#include "AAX_UIDs.h"

AAX_VPropertyMap::AAX_VPropertyMap(IACFUnknown* host)
    : mIPropertyMap(static_cast<AAX_IACFPropertyMap*>(
          AAX_CreateHostComponent(host, AAXCompID_PropertyMap, IID_IAAXPropertyMapV1))),
      mIPropertyMapV2(nullptr) {
    if (mIPropertyMap != nullptr &&
        mIPropertyMap->QueryInterface(IID_IAAXPropertyMapV2, reinterpret_cast<void**>(&mIPropertyMapV2)) != ACF_OK) {
        mIPropertyMapV2 = nullptr;
    }
}

AAX_VPropertyMap::~AAX_VPropertyMap() {
    if (mIPropertyMapV2 != nullptr) mIPropertyMapV2->Release();
    if (mIPropertyMap != nullptr) mIPropertyMap->Release();
}

AAX_CBoolean AAX_VPropertyMap::GetProperty(AAX_EProperty property, AAX_CPropertyValue* value) const {
    return mIPropertyMap ? mIPropertyMap->GetProperty(property, value) : 0;
}

AAX_Result AAX_VPropertyMap::AddProperty(AAX_EProperty property, AAX_CPropertyValue value) {
    return mIPropertyMap ? mIPropertyMap->AddProperty(property, value) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VPropertyMap::RemoveProperty(AAX_EProperty property) {
    return mIPropertyMap ? mIPropertyMap->RemoveProperty(property) : AAX_ERROR_NULL_OBJECT;
}

AAX_CBoolean AAX_VPropertyMap::GetPointerProperty(AAX_EProperty property, const void** value) const {
    return mIPropertyMapV2 ? mIPropertyMapV2->GetPointerProperty(property, value) : 0;
}

AAX_Result AAX_VPropertyMap::AddPointerProperty(AAX_EProperty property, const void* value) {
    if (mIPropertyMapV2 != nullptr) {
        return mIPropertyMapV2->AddPointerProperty(property, value);
    }
    // No host object at all is a missing object; a host object without version 2 is too old.
    return mIPropertyMap ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}

IACFUnknown* AAX_VPropertyMap::GetIUnknown() const { return mIPropertyMap; }
