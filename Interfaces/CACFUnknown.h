// Base of every reference-counted component object the plug-in hands to the host.
// Counts are changed only atomically, so AddRef, Release and GetActiveObjectCount may run on any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "ACFBase.h"

class CACFUnknown {
public:
    CACFUnknown();
    CACFUnknown(const CACFUnknown&) = delete;
    CACFUnknown& operator=(const CACFUnknown&) = delete;
    virtual ~CACFUnknown();

    virtual ACFRESULT InitializeInstance(IACFUnknown* outer);
    virtual void FinalRelease();
    virtual void ReclaimMemory();
    virtual ACFRESULT InternalQueryInterface(const acfIID& iid, void** out);
    virtual uint32_t InternalAddRef();
    virtual uint32_t InternalRelease();

    // The controlling unknown: the own inner unknown unless the object is aggregated.
    IACFUnknown* GetOuterUnknown() const { return mOuterUnknown; }
    IACFUnknown* GetInnerUnknown() { return &mInnerUnknown; }

    static int32_t GetActiveObjectCount();

    // Number of live CACFUnknown objects in the process.
    static std::atomic<int32_t> m_ActiveObjects;

protected:
    class PrivateUnknown : public IACFUnknown {
    public:
        explicit PrivateUnknown(CACFUnknown* owner) : mOwner(owner) {}
        ACFRESULT QueryInterface(const acfIID& iid, void** out) override { return mOwner->InternalQueryInterface(iid, out); }
        uint32_t AddRef() override { return mOwner->InternalAddRef(); }
        uint32_t Release() override { return mOwner->InternalRelease(); }

    private:
        CACFUnknown* mOwner;
    };

    std::atomic<int32_t> mRefCount;
    IACFUnknown* mOuterUnknown;
    PrivateUnknown mInnerUnknown;
};
