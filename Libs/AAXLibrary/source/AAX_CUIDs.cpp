#include "AAX_CUIDs.h"

#include "AAX_UIDs.h"

void* AAX_CreateHostComponent(IACFUnknown* host, const acfCLSID& classID, const acfIID& iid) {
    if (host == nullptr) return nullptr;
    void* factoryPtr = nullptr;
    if (host->QueryInterface(IID_IACFComponentFactory, &factoryPtr) != ACF_OK || factoryPtr == nullptr) {
        return nullptr;
    }
    // The factory reference goes back however CreateComponent ends, also when the host throws (the
    // exception then travels on to the entry point, which answers for it).
    struct FactoryReference {
        IACFComponentFactory* factory;
        ~FactoryReference() { factory->Release(); }
    } held{static_cast<IACFComponentFactory*>(factoryPtr)};
    void* made = nullptr;
    if (held.factory->CreateComponent(classID, nullptr, iid, &made) != ACF_OK) made = nullptr;
    return made;
}
