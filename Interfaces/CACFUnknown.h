// Base of every reference-counted component object the plug-in hands to the host.
// Counts are changed only atomically, so AddRef, Release and GetActiveObjectCount may run on any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "ACFBase.h"

class CACFUnknown {
public:
    // Reference count 0; the controlling unknown is the object's own inner unknown; one more live object.
    CACFUnknown();
    CACFUnknown(const CACFUnknown&) = delete;
    CACFUnknown& operator=(const CACFUnknown&) = delete;
    // One live object fewer.
    virtual ~CACFUnknown();

    // Called by the host once after creation; returns 0 unless a subclass does more.
    virtual ACFRESULT InitializeInstance(IACFUnknown* outer);
    // Called when the last reference goes, before the memory is reclaimed; does nothing here.
    virtual void FinalRelease();
    // Destroys the object.
    virtual void ReclaimMemory();
    // IID_IACFUnknown gives the inner unknown with one reference added; any other identifier gives
    // ACF_E_NOINTERFACE and a null output. A null output pointer gives ACF_E_FAIL.
    // Threading: any thread.
    virtual ACFRESULT InternalQueryInterface(const acfIID& iid, void** out);
    // Atomic increment; returns the new count. Threading: any thread.
    virtual uint32_t InternalAddRef();
    // Atomic decrement; at 0 runs FinalRelease and ReclaimMemory. Returns the new count.
    // Threading: any thread; the object must not be used after the call that brings it to 0.
    virtual uint32_t InternalRelease();

    // The controlling unknown: the own inner unknown unless the object is aggregated.
    IACFUnknown* GetOuterUnknown() const { return mOuterUnknown; }
    IACFUnknown* GetInnerUnknown() { return &mInnerUnknown; }

    // Number of live CACFUnknown objects (0 means the module may be unloaded). Threading: any thread.
    static int32_t GetActiveObjectCount();
    // Makes this copy of the component base count its objects in `counter` (null: in its own
    // m_ActiveObjects again). A library the module loads, which carries a copy of its own, is handed
    // the module's count this way, so that the one count the host reads covers every object of the
    // plug-in. Threading: while no object of this copy exists (before the library makes any).
    static void CountObjectsIn(std::atomic<int32_t>* counter);

    // Number of live CACFUnknown objects in the process.
    static std::atomic<int32_t> m_ActiveObjects;

protected:
    // The object's own IACFUnknown: forwards to the owner's Internal... operations.
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
