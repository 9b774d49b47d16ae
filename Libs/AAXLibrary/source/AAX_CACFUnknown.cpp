#include "CACFUnknown.h"

#include "AAX_UIDs.h"

std::atomic<int32_t> CACFUnknown::m_ActiveObjects{0};

CACFUnknown::CACFUnknown() : mRefCount(0), mOuterUnknown(&mInnerUnknown), mInnerUnknown(this) {
    m_ActiveObjects.fetch_add(1, std::memory_order_relaxed);
}

CACFUnknown::~CACFUnknown() { m_ActiveObjects.fetch_sub(1, std::memory_order_acq_rel); }

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

int32_t CACFUnknown::GetActiveObjectCount() { return m_ActiveObjects.load(std::memory_order_acquire); }
