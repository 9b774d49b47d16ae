// The host's description objects, host services and component factory.
#include "HostDescription.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "AAX_UIDs.h"

namespace marovex_host {

void ReportV(const char* where, const char* action, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    MarovexReportProblem(where, text, action);
}

void Report(const char* where, const char* action, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportV(where, action, format, args);
    va_end(args);
}

void ModuleShared::AddTrace(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        traces.push_back(text);
    }
    if (options.echoTraces) MarovexReportProblem(marovex_where::kPluginTrace, text);
}

namespace {

// Answers a query with `self` for the listed identifiers, adding a reference.
template <class T>
ACFRESULT Answer(T* self, void** out) {
    *out = self;
    self->AddRef();
    return ACF_OK;
}

ACFRESULT NoInterface(void** out) {
    *out = nullptr;
    return ACF_E_NOINTERFACE;
}

// The host implementation behind an IACFUnknown the plug-in handed back, or null when it is not one
// of ours. The caller owns the added reference.
template <class T>
T* ImplOf(IACFUnknown* unknown, const _acfUID& implID) {
    if (unknown == nullptr) {
        return nullptr;
    }
    void* impl = nullptr;
    if (unknown->QueryInterface(implID, &impl) != ACF_OK || impl == nullptr) {
        return nullptr;
    }
    return static_cast<T*>(impl);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Property map

ACFRESULT HostPropertyMap::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXPropertyMapV1 || iid == IID_IAAXPropertyMapV2 ||
        iid == kImplID_PropertyMap) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostPropertyMap::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_CBoolean HostPropertyMap::GetProperty(AAX_EProperty property, AAX_CPropertyValue* value) const {
    AAX_CPropertyValue v = 0;
    if (!mMap.Get(property, &v)) {
        return 0;
    }
    if (value != nullptr) {
        *value = v;
    }
    return 1;
}

AAX_Result HostPropertyMap::AddProperty(AAX_EProperty property, AAX_CPropertyValue value) {
    for (auto& p : mMap.properties) {
        if (p.id == property) {
            p.value = value;
            return AAX_SUCCESS;
        }
    }
    mMap.properties.push_back({property, value});
    return AAX_SUCCESS;
}

AAX_Result HostPropertyMap::RemoveProperty(AAX_EProperty property) {
    auto& v = mMap.properties;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const MarovexProperty& p) { return p.id == property; }), v.end());
    auto& pv = mMap.pointerProperties;
    pv.erase(std::remove_if(pv.begin(), pv.end(), [&](const auto& p) { return p.first == property; }), pv.end());
    return AAX_SUCCESS;
}

AAX_CBoolean HostPropertyMap::GetPointerProperty(AAX_EProperty property, const void** value) const {
    for (const auto& p : mMap.pointerProperties) {
        if (p.first == property) {
            if (value != nullptr) {
                *value = p.second;
            }
            return 1;
        }
    }
    return 0;
}

AAX_Result HostPropertyMap::AddPointerProperty(AAX_EProperty property, const void* value) {
    for (auto& p : mMap.pointerProperties) {
        if (p.first == property) {
            p.second = value;
            return AAX_SUCCESS;
        }
    }
    mMap.pointerProperties.emplace_back(property, value);
    return AAX_SUCCESS;
}

MarovexPropertyMap SnapshotProperties(IACFUnknown* properties, const char* where) {
    if (properties == nullptr) {
        return {};
    }
    HostPropertyMap* map = ImplOf<HostPropertyMap>(properties, kImplID_PropertyMap);
    if (map == nullptr) {
        Report(marovex_where::kDescription, "recorded as empty",
               "%s was given a property map the host did not make", where);
        return {};
    }
    MarovexPropertyMap copy = map->Map();
    map->Release();
    return copy;
}

// ---------------------------------------------------------------------------------------------
// Component descriptor

ACFRESULT HostComponentDescriptor::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXComponentDescriptorV1 || iid == IID_IAAXComponentDescriptorV2 ||
        iid == kImplID_ComponentDescriptor) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostComponentDescriptor::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostComponentDescriptor::Clear() {
    mDesc = MarovexComponentDescription();
    return AAX_SUCCESS;
}

AAX_Result HostComponentDescriptor::AddField(MarovexField field) {
    if (field.index < 0) {
        Report(marovex_where::kDescription, "ignored", "context field %d declared with a negative index", field.index);
        return AAX_SUCCESS;
    }
    if (mDesc.FindField(field.index) != nullptr) {
        Report(marovex_where::kDescription, "the later declaration is ignored",
               "context field %d declared twice", field.index);
        return AAX_SUCCESS;
    }
    mDesc.fields.push_back(std::move(field));
    return AAX_SUCCESS;
}

AAX_Result HostComponentDescriptor::AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) {
    return AddField({field, MarovexFieldKind::Reserved, 0, static_cast<int32_t>(fieldType), {}});
}
AAX_Result HostComponentDescriptor::AddAudioIn(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::AudioIn, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddAudioOut(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::AudioOut, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddAudioBufferLength(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::BufferLength, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddSampleRate(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::SampleRate, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddClock(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::Clock, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddSideChainIn(AAX_CFieldIndex field) {
    return AddField({field, MarovexFieldKind::SideChainIn, 0, 0, {}});
}
AAX_Result HostComponentDescriptor::AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) {
    return AddField({field, MarovexFieldKind::DataInPort, packetSize, portType, {}});
}
AAX_Result HostComponentDescriptor::AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) {
    if (dataSize < 0) {
        Report(marovex_where::kDescription, "recorded as 0",
               "private data of field %d declared with negative size %d", field,
               dataSize);
        dataSize = 0;
    }
    return AddField({field, MarovexFieldKind::PrivateData, static_cast<uint32_t>(dataSize), options, {}});
}
AAX_Result HostComponentDescriptor::AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs,
                                              uint32_t meterCount) {
    MarovexField f{field, MarovexFieldKind::Meters, meterCount, 0, {}};
    if (meterIDs == nullptr && meterCount > 0) {
        Report(marovex_where::kDescription, "refused", "meters of field %d declared without identifiers", field);
        return AAX_ERROR_NULL_OBJECT;
    }
    if (meterCount > 1024) {
        Report(marovex_where::kDescription, "refused: at most 1024 are accepted",
               "%u meters declared on field %d", meterCount, field);
        return AAX_ERROR_NULL_OBJECT;
    }
    f.meterIDs.assign(meterIDs, meterIDs + meterCount);
    return AddField(std::move(f));
}
AAX_Result HostComponentDescriptor::AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) {
    return AddField({field, MarovexFieldKind::TemporaryData, dataElementSize, 0, {}});
}

AAX_Result HostComponentDescriptor::AddProcessProc_Native(AAX_CProcessProc processProc, IACFUnknown* properties,
                                                          AAX_CInstanceInitProc instanceInitProc,
                                                          AAX_CBackgroundProc backgroundProc,
                                                          AAX_CTypeID* outProcID) {
    MarovexNativeProcess p;
    p.proc = processProc;
    p.properties = SnapshotProperties(properties, "AddProcessProc_Native");
    p.instanceInit = instanceInitProc;
    p.background = backgroundProc;
    if (processProc == nullptr) {
        Report(marovex_where::kDescription, "recorded as given", "native process procedure registered as null");
    }
    mDesc.nativeProcesses.push_back(std::move(p));
    if (outProcID != nullptr) {
        *outProcID = mNextProcID;
    }
    ++mNextProcID;
    return AAX_SUCCESS;
}

AAX_Result HostComponentDescriptor::AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol,
                                                      IACFUnknown* properties, const char* instanceInitProcSymbol,
                                                      const char* backgroundProcSymbol, AAX_CTypeID* outProcID) {
    MarovexDspProcess p;
    p.file = TextOf(dllFileName);
    p.entrySymbol = TextOf(processProcSymbol);
    p.instanceInitSymbol = TextOf(instanceInitProcSymbol);
    p.backgroundSymbol = TextOf(backgroundProcSymbol);
    p.properties = SnapshotProperties(properties, "AddProcessProc_TI");
    mDesc.dspProcesses.push_back(std::move(p));
    if (outProcID != nullptr) {
        *outProcID = mNextProcID;
    }
    ++mNextProcID;
    return AAX_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Effect descriptor

ACFRESULT HostEffectDescriptor::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXEffectDescriptorV1 || iid == IID_IAAXEffectDescriptorV2 ||
        iid == kImplID_EffectDescriptor) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostEffectDescriptor::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostEffectDescriptor::AddComponent(IACFUnknown* componentDescriptor) {
    HostComponentDescriptor* c = ImplOf<HostComponentDescriptor>(componentDescriptor, kImplID_ComponentDescriptor);
    if (c == nullptr) {
        Report(marovex_where::kDescription, "refused", "AddComponent was given no component descriptor of this host");
        return AAX_ERROR_NULL_OBJECT;
    }
    mDesc.components.push_back(c->Description());
    c->Release();
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddName(const char* name) {
    mDesc.names.push_back(TextOf(name));
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddCategory(uint32_t category) {
    mDesc.categories.push_back(category);
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddCategoryBypassParameter(uint32_t category, AAX_CParamID id) {
    mDesc.categoryBypassParameters.emplace_back(category, TextOf(id));
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddProcPtr(void* procPtr, AAX_CProcPtrID id) {
    for (auto& p : mDesc.procPtrs) {
        if (p.id == id) {
            Report(marovex_where::kDescription, "the later one replaces it", "procedure %d registered twice", id);
            p.proc = procPtr;
            return AAX_SUCCESS;
        }
    }
    mDesc.procPtrs.push_back({id, procPtr});
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::SetProperties(IACFUnknown* properties) {
    mDesc.properties = SnapshotProperties(properties, "SetProperties");
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddResourceInfo(AAX_EResourceType type, const char* info) {
    mDesc.resources.push_back({type, TextOf(info)});
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddMeterDescription(AAX_CTypeID meterID, const char* name, IACFUnknown* properties) {
    MarovexMeterDescription m;
    m.id = meterID;
    m.name = TextOf(name);
    m.properties = SnapshotProperties(properties, "AddMeterDescription");
    mDesc.meters.push_back(std::move(m));
    return AAX_SUCCESS;
}

AAX_Result HostEffectDescriptor::AddControlMIDINode(AAX_CTypeID, int32_t, const char*, uint32_t) {
    // This host has no MIDI; the node is accepted and not used.
    return AAX_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Collection

HostCollection::HostCollection() : mRecord(std::make_shared<MarovexModuleDescription>()) {}

ACFRESULT HostCollection::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXCollectionV1) {
        return Answer(static_cast<AAX_IACFCollection*>(this), out);
    }
    if (iid == IID_IACFPluginDefinition) {
        return Answer(static_cast<IACFPluginDefinition*>(this), out);
    }
    if (iid == kImplID_Collection) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostCollection::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostCollection::AddEffect(const char* effectID, IACFUnknown* effectDescriptor) {
    HostEffectDescriptor* e = ImplOf<HostEffectDescriptor>(effectDescriptor, kImplID_EffectDescriptor);
    if (e == nullptr) {
        Report(marovex_where::kDescription, "refused", "AddEffect was given no effect descriptor of this host");
        return AAX_ERROR_NULL_OBJECT;
    }
    MarovexEffectDescription d = e->Description();
    e->Release();
    d.effectID = TextOf(effectID);
    mRecord->effects.push_back(std::move(d));
    return AAX_SUCCESS;
}

AAX_Result HostCollection::SetManufacturerName(const char* name) {
    mRecord->manufacturerName = TextOf(name);
    return AAX_SUCCESS;
}

AAX_Result HostCollection::AddPackageName(const char* name) {
    mRecord->packageNames.push_back(TextOf(name));
    return AAX_SUCCESS;
}

AAX_Result HostCollection::SetPackageVersion(uint32_t version) {
    mRecord->packageVersion = version;
    mRecord->packageVersionSet = true;
    return AAX_SUCCESS;
}

AAX_Result HostCollection::SetProperties(IACFUnknown* properties) {
    mRecord->properties = SnapshotProperties(properties, "SetProperties");
    return AAX_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Host services

ACFRESULT HostServices::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXHostServicesV1 || iid == IID_IAAXHostServicesV2) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostServices::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostServices::HandleAssertFailure(const char* file, int32_t line, const char* note) const {
    mShared->AddTrace("assertion failed at " + TextOf(file) + ":" + std::to_string(line) + ": " + TextOf(note));
    return AAX_SUCCESS;
}

AAX_Result HostServices::Trace(int32_t, const char* message) const {
    mShared->AddTrace(TextOf(message));
    return AAX_SUCCESS;
}

AAX_Result HostServices::StackTrace(int32_t, int32_t, const char* message) const {
    mShared->AddTrace(TextOf(message));
    return AAX_SUCCESS;
}

}  // namespace marovex_host

// ---------------------------------------------------------------------------------------------
// Component factory

using namespace marovex_host;

ACFRESULT MarovexHostFactory::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IACFComponentFactory) {
        *out = static_cast<IACFComponentFactory*>(this);
        AddRef();
        return ACF_OK;
    }
    *out = nullptr;
    return ACF_E_NOINTERFACE;
}

uint32_t MarovexHostFactory::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

ACFRESULT MarovexHostFactory::CreateComponent(const acfCLSID& classID, IACFUnknown* outer, const acfIID& iid,
                                              void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    *out = nullptr;
    if (outer != nullptr) {
        Report(marovex_where::kModule, "refused: this host does not offer it",
               "the component factory was asked for aggregation");
        return ACF_E_NOINTERFACE;
    }
    const MarovexLoadOptions& o = mShared->options;
    IACFUnknown* made = nullptr;
    try {
        if (classID == AAXCompID_AAXCollection) {
            if (!o.refuseCollections) {
                auto* c = new HostCollection();
                std::lock_guard<std::mutex> lock(mShared->mutex);
                mShared->lastCollection = c->Record();
                made = static_cast<AAX_IACFCollection*>(c);
            }
        } else if (classID == AAXCompID_EffectDescriptor) {
            if (!o.refuseEffectDescriptors) made = new HostEffectDescriptor();
        } else if (classID == AAXCompID_ComponentDescriptor) {
            if (!o.refuseComponentDescriptors) made = new HostComponentDescriptor();
        } else if (classID == AAXCompID_PropertyMap) {
            if (!o.refusePropertyMaps) made = new HostPropertyMap();
        } else if (classID == AAXCompID_HostServices) {
            if (!o.refuseHostServices) {
                made = new HostServices(mShared);
                mShared->hostServicesCreated.fetch_add(1);
            }
        } else {
            return ACF_E_NOINTERFACE;
        }
    } catch (const std::bad_alloc&) {
        return ACF_E_FAIL;
    }
    if (made == nullptr) {
        return ACF_E_NOINTERFACE;  // refused on purpose
    }
    // The creator's reference is handed over through the query; ours is dropped.
    const ACFRESULT r = made->QueryInterface(iid, out);
    made->Release();
    return r;
}

// ---------------------------------------------------------------------------------------------
// Description helpers of the public records

bool MarovexPropertyMap::Get(AAX_EProperty id, AAX_CPropertyValue* value) const {
    for (const auto& p : properties) {
        if (p.id == id) {
            if (value != nullptr) {
                *value = p.value;
            }
            return true;
        }
    }
    return false;
}

int32_t MarovexComponentDescription::StemFormat() const {
    AAX_CPropertyValue v = 0;
    for (const auto& p : nativeProcesses) {
        if (p.properties.Get(51, &v)) {
            return v;
        }
    }
    for (const auto& p : dspProcesses) {
        if (p.properties.Get(51, &v)) {
            return v;
        }
    }
    return 0;
}

const MarovexField* MarovexComponentDescription::FindField(AAX_CFieldIndex index) const {
    for (const auto& f : fields) {
        if (f.index == index) {
            return &f;
        }
    }
    return nullptr;
}

void* MarovexEffectDescription::FindProcPtr(AAX_CProcPtrID id) const {
    for (const auto& p : procPtrs) {
        if (p.id == id) {
            return p.proc;
        }
    }
    return nullptr;
}

const MarovexComponentDescription* MarovexEffectDescription::FindComponent(int32_t stemFormat) const {
    for (const auto& c : components) {
        if (c.StemFormat() == stemFormat) {
            return &c;
        }
    }
    return nullptr;
}

const char* MarovexFieldKindName(MarovexFieldKind kind) {
    switch (kind) {
        case MarovexFieldKind::Reserved: return "reserved";
        case MarovexFieldKind::AudioIn: return "audio input";
        case MarovexFieldKind::AudioOut: return "audio output";
        case MarovexFieldKind::BufferLength: return "buffer length";
        case MarovexFieldKind::SampleRate: return "sample rate";
        case MarovexFieldKind::Clock: return "clock";
        case MarovexFieldKind::SideChainIn: return "side-chain input";
        case MarovexFieldKind::DataInPort: return "data-in port";
        case MarovexFieldKind::PrivateData: return "private data";
        case MarovexFieldKind::Meters: return "meters";
        case MarovexFieldKind::TemporaryData: return "temporary data";
    }
    return "unknown";
}
