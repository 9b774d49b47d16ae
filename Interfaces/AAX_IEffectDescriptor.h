// Describes one effect: names, category, components, factories, resources and meters.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IComponentDescriptor;
class AAX_IPropertyMap;

class AAX_IACFEffectDescriptor : public IACFUnknown {
public:
    virtual AAX_Result AddComponent(IACFUnknown* componentDescriptor) = 0;
    virtual AAX_Result AddName(const char* name) = 0;
    virtual AAX_Result AddCategory(uint32_t category) = 0;
    virtual AAX_Result AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) = 0;
    // procPtr is a factory function; id 0 makes the data model, id 1 the GUI.
    virtual AAX_Result AddProcPtr(void* procPtr, AAX_CProcPtrID id) = 0;
    virtual AAX_Result SetProperties(IACFUnknown* properties) = 0;
    virtual AAX_Result AddResourceInfo(AAX_EResourceType type, const char* info) = 0;
    virtual AAX_Result AddMeterDescription(AAX_CTypeID meterID, const char* name, IACFUnknown* properties) = 0;

protected:
    ~AAX_IACFEffectDescriptor() = default;
};

class AAX_IACFEffectDescriptor_V2 : public AAX_IACFEffectDescriptor {
public:
    virtual AAX_Result AddControlMIDINode(AAX_CTypeID nodeID, int32_t nodeType, const char* name,
                                          uint32_t channelMask) = 0;

protected:
    ~AAX_IACFEffectDescriptor_V2() = default;
};

class AAX_IEffectDescriptor {
public:
    virtual ~AAX_IEffectDescriptor() = default;
    // Returns a new component descriptor owned by this wrapper (null when the host cannot make one).
    virtual AAX_IComponentDescriptor* NewComponentDescriptor() = 0;
    virtual AAX_Result AddComponent(AAX_IComponentDescriptor* component) = 0;
    virtual AAX_Result AddName(const char* name) = 0;
    virtual AAX_Result AddCategory(uint32_t category) = 0;
    virtual AAX_Result AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) = 0;
    virtual AAX_Result AddProcPtr(void* procPtr, AAX_CProcPtrID id) = 0;
    // Returns a new property map owned by this wrapper (null when the host cannot make one).
    virtual AAX_IPropertyMap* NewPropertyMap() = 0;
    virtual AAX_Result SetProperties(AAX_IPropertyMap* properties) = 0;
    virtual AAX_Result AddResourceInfo(AAX_EResourceType type, const char* info) = 0;
    virtual AAX_Result AddMeterDescription(AAX_CTypeID meterID, const char* name, AAX_IPropertyMap* properties) = 0;
    // Version 2.
    virtual AAX_Result AddControlMIDINode(AAX_CTypeID nodeID, int32_t nodeType, const char* name,
                                          uint32_t channelMask) = 0;
    virtual IACFUnknown* GetIUnknown() const = 0;
};
