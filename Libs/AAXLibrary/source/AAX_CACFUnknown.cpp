#include "CACFUnknown.h"

#include "AAX_UIDs.h"

std::atomic<int32_t> CACFUnknown::m_ActiveObjects{0};

namespace {
// Where this copy counts its objects: its own count unless CountObjectsIn named another.
std::atomic<std::atomic<int32_t>*> gActiveObjects{&CACFUnknown::m_ActiveObjects};
}  // namespace

CACFUnknown::CACFUnknown() : mRefCount(0), mOuterUnknown(&mInnerUnknown), mInnerUnknown(this) {
    gActiveObjects.load(std::memory_order_acquire)->fetch_add(1, std::memory_order_relaxed);
}

CACFUnknown::~CACFUnknown() { gActiveObjects.load(std::memory_order_acquire)->fetch_sub(1, std::memory_order_acq_rel); }

ACFRESULT CACFUnknown::InitializeInstance(IACFUnknown* /*outer*/) { return ACF_OK; }

void CACFUnknown::FinalRelease() {}

void CACFUnknown::ReclaimMemory() { delete this; }

ACFRESULT CACFUnknown::InternalQueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) return ACF_E_FAIL;
    *out = nullptr;
    if (iid == IID_IACFUnknown) {
        IACFUnknown* inner = &mInnerUnknown;
        *out = inner;
        inner->AddRef();
        return ACF_OK;
    }
    return ACF_E_NOINTERFACE;
}

uint32_t CACFUnknown::InternalAddRef() {
    return static_cast<uint32_t>(mRefCount.fetch_add(1, std::memory_order_relaxed) + 1);
}

uint32_t CACFUnknown::InternalRelease() {
    // acq_rel: every write made through other references happens before the object is torn down.
    const int32_t count = mRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0) {
        FinalRelease();
        ReclaimMemory();
    }
    return static_cast<uint32_t>(count);
}

int32_t CACFUnknown::GetActiveObjectCount() {
    return gActiveObjects.load(std::memory_order_acquire)->load(std::memory_order_acquire);
}

void CACFUnknown::CountObjectsIn(std::atomic<int32_t>* counter) {
    gActiveObjects.store(counter != nullptr ? counter : &m_ActiveObjects, std::memory_order_release);
}
