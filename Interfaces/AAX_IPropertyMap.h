// A host-side map from property identifiers to values, used in descriptions.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IACFPropertyMap : public IACFUnknown {
public:
    virtual AAX_CBoolean GetProperty(AAX_EProperty property, AAX_CPropertyValue* value) const = 0;
    virtual AAX_Result AddProperty(AAX_EProperty property, AAX_CPropertyValue value) = 0;
    virtual AAX_Result RemoveProperty(AAX_EProperty property) = 0;

protected:
    ~AAX_IACFPropertyMap() = default;
};

class AAX_IACFPropertyMap_V2 : public AAX_IACFPropertyMap {
public:
    virtual AAX_CBoolean GetPointerProperty(AAX_EProperty property, const void** value) const = 0;
    virtual AAX_Result AddPointerProperty(AAX_EProperty property, const void* value) = 0;

protected:
    ~AAX_IACFPropertyMap_V2() = default;
};

class AAX_IPropertyMap {
public:
    virtual ~AAX_IPropertyMap() = default;
    virtual AAX_CBoolean GetProperty(AAX_EProperty property, AAX_CPropertyValue* value) const = 0;
    virtual AAX_Result AddProperty(AAX_EProperty property, AAX_CPropertyValue value) = 0;
    virtual AAX_Result RemoveProperty(AAX_EProperty property) = 0;
    // Version 2.
    virtual AAX_CBoolean GetPointerProperty(AAX_EProperty property, const void** value) const = 0;
    virtual AAX_Result AddPointerProperty(AAX_EProperty property, const void* value) = 0;
    // The host object behind this map (null when the host gave none).
    virtual IACFUnknown* GetIUnknown() const = 0;
};
