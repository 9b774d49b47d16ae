// Wraps the host's collection behind AAX_ICollection.
//
// The wrapper creates its host object through the host's component factory. Construction never
// fails: without the host's collection every operation returns -20004 and the factories return null.
// Effect descriptors and property maps made by NewDescriptor / NewPropertyMap belong to this wrapper
// and live until it is destroyed; destruction releases the host object.
// Threading: the thread that registers the module.
#pragma once

#include <memory>
#include <vector>

#include "AAX_ICollection.h"

class AAX_VEffectDescriptor;
class AAX_VPropertyMap;

class AAX_VCollection : public AAX_ICollection {
public:
    explicit AAX_VCollection(IACFUnknown* host);
    ~AAX_VCollection() override;
    AAX_VCollection(const AAX_VCollection&) = delete;
    AAX_VCollection& operator=(const AAX_VCollection&) = delete;

    // A new effect descriptor owned by this wrapper, or null when the host cannot make one.
    AAX_IEffectDescriptor* NewDescriptor() override;
    AAX_Result AddEffect(const char* effectID, AAX_IEffectDescriptor* effect) override;
    AAX_Result SetManufacturerName(const char* name) override;
    AAX_Result AddPackageName(const char* name) override;
    AAX_Result SetPackageVersion(uint32_t version) override;
    // A new property map owned by this wrapper, or null when the host cannot make one.
    AAX_IPropertyMap* NewPropertyMap() override;
    AAX_Result SetProperties(AAX_IPropertyMap* properties) override;

    // The host collection's IACFUnknown (null when the host made none): registration asks it for the
    // plug-in definition.
    IACFUnknown* GetIUnknown() const;
    AAX_IACFCollection* GetV1() const { return mICollection; }

private:
    IACFUnknown* mHost;  // one reference held, for the objects this wrapper makes
    AAX_IACFCollection* mICollection;
    std::vector<std::unique_ptr<AAX_VEffectDescriptor>> mDescriptors;
    std::vector<std::unique_ptr<AAX_VPropertyMap>> mPropertyMaps;
};
