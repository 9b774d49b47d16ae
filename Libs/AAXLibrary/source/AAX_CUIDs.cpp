#include "AAX_CUIDs.h"

#include "AAX_UIDs.h"

void* AAX_CreateHostComponent(IACFUnknown* host, const acfCLSID& classID, const acfIID& iid) {
    if (host == nullptr) return nullptr;
    void* factoryPtr = nullptr;
    if (host->QueryInterface(IID_IACFComponentFactory, &factoryPtr) != ACF_OK || factoryPtr == nullptr) {
        return nullptr;
    }
    auto* factory = static_cast<IACFComponentFactory*>(factoryPtr);
    void* made = nullptr;
    if (factory->CreateComponent(classID, nullptr, iid, &made) != ACF_OK) made = nullptr;
    factory->Release();
    return made;
}
