// The host's component factory.
#include "MarovexHostFactory.h"

#include <new>

#include "AAX_UIDs.h"
#include "HostCollection.h"
#include "HostComponentDescriptor.h"
#include "HostEffectDescriptor.h"
#include "HostPropertyMap.h"

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
