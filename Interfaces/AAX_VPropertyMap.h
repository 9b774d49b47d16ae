// Wraps a host property map (versions 1 and 2) behind AAX_IPropertyMap.
//
// The wrapper creates its host object through the host's component factory. Construction never
// fails: a missing host interface stays null. Without version 1, AddProperty, RemoveProperty and
// AddPointerProperty return -20004; with version 1 but not version 2, AddPointerProperty returns
// -20009. The getters answer 0 (false) and write nothing when their interface is missing.
// Destruction releases what was obtained.
// Threading: the thread that describes the module.
#pragma once

#include "AAX_IPropertyMap.h"

class AAX_VPropertyMap : public AAX_IPropertyMap {
public:
    explicit AAX_VPropertyMap(IACFUnknown* host);
    ~AAX_VPropertyMap() override;
    AAX_VPropertyMap(const AAX_VPropertyMap&) = delete;
    AAX_VPropertyMap& operator=(const AAX_VPropertyMap&) = delete;

    AAX_CBoolean GetProperty(AAX_EProperty property, AAX_CPropertyValue* value) const override;
    AAX_Result AddProperty(AAX_EProperty property, AAX_CPropertyValue value) override;
    AAX_Result RemoveProperty(AAX_EProperty property) override;
    AAX_CBoolean GetPointerProperty(AAX_EProperty property, const void** value) const override;
    AAX_Result AddPointerProperty(AAX_EProperty property, const void* value) override;
    IACFUnknown* GetIUnknown() const override;

    AAX_IACFPropertyMap* GetV1() const { return mIPropertyMap; }
    AAX_IACFPropertyMap_V2* GetV2() const { return mIPropertyMapV2; }

private:
    AAX_IACFPropertyMap* mIPropertyMap;
    AAX_IACFPropertyMap_V2* mIPropertyMapV2;
};
