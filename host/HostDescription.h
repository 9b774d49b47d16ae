// The host's description objects (collection, effect descriptor, component descriptor, property map),
// its host-services object and the component factory that makes them for a module.
//
// Every description call is recorded by value at the moment it is made: a component descriptor that
// the plug-in clears and describes again after AddComponent leaves the first copy as it was, and a
// property map handed to a procedure keeps the properties it held at that call.
// Threading: description happens on the thread that registers the module; traces may come from any
// non-audio thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AAX_ICollection.h"
#include "AAX_IComponentDescriptor.h"
#include "AAX_IEffectDescriptor.h"
#include "AAX_IHostServices.h"
#include "AAX_IPropertyMap.h"
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

class HostComponentDescriptor final : public AAX_IACFComponentDescriptor_V2 {
public:
    HostComponentDescriptor() = default;
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_Result Clear() override;
    AAX_Result AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) override;
    AAX_Result AddAudioIn(AAX_CFieldIndex field) override;
    AAX_Result AddAudioOut(AAX_CFieldIndex field) override;
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) override;
    AAX_Result AddSampleRate(AAX_CFieldIndex field) override;
    AAX_Result AddClock(AAX_CFieldIndex field) override;
    AAX_Result AddSideChainIn(AAX_CFieldIndex field) override;
    AAX_Result AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) override;
    AAX_Result AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) override;
    AAX_Result AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs, uint32_t meterCount) override;
    AAX_Result AddProcessProc_Native(AAX_CProcessProc processProc, IACFUnknown* properties,
                                     AAX_CInstanceInitProc instanceInitProc, AAX_CBackgroundProc backgroundProc,
                                     AAX_CTypeID* outProcID) override;
    AAX_Result AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol, IACFUnknown* properties,
                                 const char* instanceInitProcSymbol, const char* backgroundProcSymbol,
                                 AAX_CTypeID* outProcID) override;
    AAX_Result AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) override;

    const MarovexComponentDescription& Description() const { return mDesc; }

private:
    ~HostComponentDescriptor() = default;
    AAX_Result AddField(MarovexField field);
    RefCount mRefs;
    MarovexComponentDescription mDesc;
    AAX_CTypeID mNextProcID = 1;
};

class HostEffectDescriptor final : public AAX_IACFEffectDescriptor_V2 {
public:
    HostEffectDescriptor() = default;
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override;

    AAX_Result AddComponent(IACFUnknown* componentDescriptor) override;
    AAX_Result AddName(const char* name) override;
    AAX_Result AddCategory(uint32_t category) override;
    AAX_Result AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) override;
    AAX_Result AddProcPtr(void* procPtr, AAX_CProcPtrID id) override;
    AAX_Result SetProperties(IACFUnknown* properties) override;
    AAX_Result AddResourceInfo(AAX_EResourceType type, const char* info) override;
    AAX_Result AddMeterDescription(AAX_CTypeID meterID, const char* name, IACFUnknown* properties) override;
    AAX_Result AddControlMIDINode(AAX_CTypeID nodeID, int32_t nodeType, const char* name,
                                  uint32_t channelMask) override;

    const MarovexEffectDescription& Description() const { return mDesc; }

private:
    ~HostEffectDescriptor() = default;
    RefCount mRefs;
    MarovexEffectDescription mDesc;
};

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
