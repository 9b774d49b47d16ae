// What the objects of one module share, and the host-services object through which the plug-in
// traces into it.
// Threading: description happens on the thread that registers the module; traces may come from any
// non-audio thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AAX_IHostServices.h"
#include "HostInternal.h"
#include "MarovexHost.h"

namespace marovex_host {

// What the objects of one module share: the options, the traces, counters and the record of the
// most recent collection.
struct ModuleShared {
    MarovexLoadOptions options;
    mutable std::mutex mutex;
    std::vector<std::string> traces;
    std::shared_ptr<MarovexModuleDescription> lastCollection;
    std::atomic<int32_t> hostServicesCreated{0};

    void AddTrace(const std::string& text);
};

class HostServices final : public AAX_IACFHostServices_V2 {
public:
    explicit HostServices(std::shared_ptr<ModuleShared> shared) : mShared(std::move(shared)) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* note) const override;
    AAX_Result Trace(int32_t priority, const char* message) const override;
    AAX_Result StackTrace(int32_t tracePriority, int32_t stackTracePriority, const char* message) const override;

private:
    ~HostServices() = default;
    RefCount mRefs;
    std::shared_ptr<ModuleShared> mShared;
};

}  // namespace marovex_host
