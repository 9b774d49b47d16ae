// The host's collection: the effects, names, version and properties of the module, kept in the
// record the host reads after registration.
#pragma once

#include <memory>

#include "AAX_ICollection.h"
#include "HostInternal.h"
#include "MarovexHost.h"

namespace marovex_host {

// The collection also answers IID_IACFPluginDefinition: it is what registration hands back.
class HostCollection final : public AAX_IACFCollection, public IACFPluginDefinition {
public:
    HostCollection();
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_Result AddEffect(const char* effectID, IACFUnknown* effectDescriptor) override;
    AAX_Result SetManufacturerName(const char* name) override;
    AAX_Result AddPackageName(const char* name) override;
    AAX_Result SetPackageVersion(uint32_t version) override;
    AAX_Result SetProperties(IACFUnknown* properties) override;

    // The record, shared with the factory (which keeps the most recent one).
    const std::shared_ptr<MarovexModuleDescription>& Record() const { return mRecord; }

private:
    ~HostCollection() = default;
    RefCount mRefs;
    std::shared_ptr<MarovexModuleDescription> mRecord;
};

}  // namespace marovex_host
