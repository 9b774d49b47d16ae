// The host's collection.
#include "HostCollection.h"

#include "AAX_UIDs.h"
#include "HostEffectDescriptor.h"
#include "HostPropertyMap.h"

namespace marovex_host {

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

}  // namespace marovex_host
