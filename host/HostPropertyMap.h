// The host's property map: the properties the plug-in sets on a description call, recorded by value
// (a map handed to a procedure keeps the properties it held at that call).
#pragma once

#include "AAX_IPropertyMap.h"
#include "HostInternal.h"
#include "MarovexHost.h"

namespace marovex_host {

class HostPropertyMap final : public AAX_IACFPropertyMap_V2 {
public:
    HostPropertyMap() = default;
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_CBoolean GetProperty(AAX_EProperty property, AAX_CPropertyValue* value) const override;
    AAX_Result AddProperty(AAX_EProperty property, AAX_CPropertyValue value) override;
    AAX_Result RemoveProperty(AAX_EProperty property) override;
    AAX_CBoolean GetPointerProperty(AAX_EProperty property, const void** value) const override;
    AAX_Result AddPointerProperty(AAX_EProperty property, const void* value) override;

    const MarovexPropertyMap& Map() const { return mMap; }

private:
    ~HostPropertyMap() = default;
    RefCount mRefs;
    MarovexPropertyMap mMap;
};

// The contents of a property map the plug-in handed over (empty for null or a foreign object).
MarovexPropertyMap SnapshotProperties(IACFUnknown* properties, const char* where);

}  // namespace marovex_host
