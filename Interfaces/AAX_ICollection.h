// The collection of effects a plug-in module registers, and its package information.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IEffectDescriptor;
class AAX_IPropertyMap;

class AAX_IACFCollection : public IACFUnknown {
public:
    virtual AAX_Result AddEffect(const char* effectID, IACFUnknown* effectDescriptor) = 0;
    virtual AAX_Result SetManufacturerName(const char* name) = 0;
    virtual AAX_Result AddPackageName(const char* name) = 0;
    virtual AAX_Result SetPackageVersion(uint32_t version) = 0;
    virtual AAX_Result SetProperties(IACFUnknown* properties) = 0;

protected:
    ~AAX_IACFCollection() = default;
};

class AAX_ICollection {
public:
    virtual ~AAX_ICollection() = default;
    // Returns a new effect descriptor owned by this wrapper (null when the host cannot make one).
    virtual AAX_IEffectDescriptor* NewDescriptor() = 0;
    virtual AAX_Result AddEffect(const char* effectID, AAX_IEffectDescriptor* effect) = 0;
    virtual AAX_Result SetManufacturerName(const char* name) = 0;
    virtual AAX_Result AddPackageName(const char* name) = 0;
    virtual AAX_Result SetPackageVersion(uint32_t version) = 0;
    virtual AAX_IPropertyMap* NewPropertyMap() = 0;
    virtual AAX_Result SetProperties(AAX_IPropertyMap* properties) = 0;
};
