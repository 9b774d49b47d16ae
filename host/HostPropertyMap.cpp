// The host's property map and the snapshot of a map the plug-in handed over.
#include "HostPropertyMap.h"

#include <algorithm>

#include "AAX_UIDs.h"

namespace marovex_host {

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

}  // namespace marovex_host
