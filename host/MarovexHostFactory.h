// The host's component factory, which makes the description objects and host services for a module.
#pragma once

#include <memory>

#include "ACFBase.h"
#include "HostInternal.h"
#include "HostServices.h"

// The host object a module receives in its entry points: it answers IACFUnknown and the component
// factory, which makes collections, descriptors, property maps and host services.
class MarovexHostFactory final : public IACFComponentFactory {
public:
    explicit MarovexHostFactory(std::shared_ptr<marovex_host::ModuleShared> shared) : mShared(std::move(shared)) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;
    // Aggregation is not offered (a non-null outer is refused).
    ACFRESULT CreateComponent(const acfCLSID& classID, IACFUnknown* outer, const acfIID& iid, void** out) override;

    uint32_t RefCountForChecks() const { return mRefs.Get(); }

private:
    ~MarovexHostFactory() = default;
    marovex_host::RefCount mRefs;
    std::shared_ptr<marovex_host::ModuleShared> mShared;
};
