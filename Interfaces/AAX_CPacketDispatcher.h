// Turns parameter changes into data packets for the real-time algorithm.
//
// Each registered parameter is tied to one packet, and each packet to one field of the algorithm
// context. The data model marks a parameter's packet dirty when the parameter changes; Dispatch()
// runs the handler of every dirty packet, which fills the packet from the parameter, and posts the
// packet's bytes to the host with AAX_IController::PostPacket.
//
// Threading: RegisterPacket, SetDirty, Dispatch and destruction run under the dispatcher's lock, on
// any non-audio thread; they may block while another thread dispatches. Handlers run with the lock
// held and may call back into the dispatcher on the same thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "AAX.h"
#include "AAX_CMutex.h"

class AAX_IController;
class AAX_IEffectParameters;

// The bytes destined for one algorithm context field.
class AAX_CPacket {
public:
    // Growable byte storage of a packet; created holding 8 zero bytes.
    class SPacketData {
    public:
        SPacketData();
        // Resizes the storage to exactly `size` bytes (added bytes are zero, shrinking keeps the
        // leading bytes) and returns its first byte. A size of 0 is a caller error.
        void* Get(size_t size);
        const void* Get() const;
        size_t Size() const;

    private:
        std::vector<unsigned char> mBytes;
    };

    explicit AAX_CPacket(AAX_CFieldIndex fieldIndex);
    ~AAX_CPacket();
    AAX_CPacket(const AAX_CPacket&) = delete;
    AAX_CPacket& operator=(const AAX_CPacket&) = delete;

    // Typed access for handlers: sets the data size to sizeof(T) and returns storage for one T.
    // The storage comes from the general-purpose allocator, so it is aligned for any scalar type.
    template <typename T>
    T* GetPtr() {
        mDataSize = static_cast<uint32_t>(sizeof(T));
        return static_cast<T*>(mPacketData->Get(sizeof(T)));
    }
    // Sets the data size to `size` and resizes the storage to match.
    void* GetRawPtr(uint32_t size) {
        mDataSize = size;
        return mPacketData->Get(size);
    }

    AAX_CFieldIndex GetID() const { return mFieldIndex; }
    bool IsDirty() const { return mDirty; }
    void SetDirty(bool dirty) { mDirty = dirty; }
    uint32_t GetSize() const { return mDataSize; }
    const void* GetData() const { return mPacketData->Get(); }

private:
    AAX_CFieldIndex mFieldIndex;
    bool mDirty;
    uint32_t mDataSize;
    SPacketData* mPacketData;
};

// Fills a packet for one parameter. Result 0 means the packet is ready to be posted.
class AAX_IPacketHandler {
public:
    virtual ~AAX_IPacketHandler() = default;
    virtual AAX_IPacketHandler* Clone() const = 0;  // new heap copy; the caller owns it
    virtual AAX_Result Call(const char* parameterID, AAX_CPacket& packet) const = 0;
};

// A packet handler bound to a member function of an owner object (the owner is not owned).
template <class T>
class AAX_CPacketHandler : public AAX_IPacketHandler {
public:
    typedef AAX_Result (T::*CallbackOneArg)(AAX_CPacket&);
    typedef AAX_Result (T::*CallbackTwoArgs)(const char*, AAX_CPacket&);

    AAX_CPacketHandler(T* owner, CallbackOneArg callback) : mOwner(owner), mCallbackOne(callback) {}
    AAX_CPacketHandler(T* owner, CallbackTwoArgs callback) : mOwner(owner), mCallbackTwo(callback) {}

    AAX_IPacketHandler* Clone() const override { return new AAX_CPacketHandler(*this); }

    // The two-argument callback if set, else the one-argument callback; -20004 when neither is set
    // or there is no owner.
    AAX_Result Call(const char* parameterID, AAX_CPacket& packet) const override {
        if (mOwner == nullptr) {
            return AAX_ERROR_NULL_OBJECT;
        }
        if (mCallbackTwo != nullptr) {
            return (mOwner->*mCallbackTwo)(parameterID, packet);
        }
        if (mCallbackOne != nullptr) {
            return (mOwner->*mCallbackOne)(packet);
        }
        return AAX_ERROR_NULL_OBJECT;
    }

private:
    T* mOwner = nullptr;
    CallbackOneArg mCallbackOne = nullptr;
    CallbackTwoArgs mCallbackTwo = nullptr;
};

class AAX_CPacketDispatcher {
public:
    AAX_CPacketDispatcher();
    ~AAX_CPacketDispatcher();
    AAX_CPacketDispatcher(const AAX_CPacketDispatcher&) = delete;
    AAX_CPacketDispatcher& operator=(const AAX_CPacketDispatcher&) = delete;

    // Stores the host controller (where packets are posted) and the data model (where the default
    // handler finds parameters); neither is owned. Passing a null controller detaches the
    // dispatcher: later dispatches post nothing and return -20004.
    // Threading: any non-audio thread, under the lock.
    AAX_Result Initialize(AAX_IController* controller, AAX_IEffectParameters* effectParameters);

    // Ties a parameter to the packet of a context field (created dirty on first use; parameters on
    // the same field share it) and keeps a clone of the handler, so `handler` may be a temporary.
    // A negative field index registers the parameter without a packet. Registering a parameter on a
    // field it is already registered on replaces that registration's handler and marks the packet
    // dirty. Returns 0, or -20004 for a null identifier. Threading: any non-audio thread, under the lock.
    AAX_Result RegisterPacket(const char* parameterID, AAX_CFieldIndex fieldIndex, const AAX_IPacketHandler* handler);

    // Sets or clears the dirty flag of every packet registered for `parameterID`; an identifier
    // without registration changes nothing. Returns 0. Does not allocate.
    // Threading: any non-audio thread, under the lock.
    AAX_Result SetDirty(const char* parameterID, bool dirty);

    // Runs the handler of every dirty packet in ascending byte order of parameter identifier and
    // posts each packet whose handler succeeded as 8 bytes; every visited dirty packet is clean
    // afterwards. Returns 0 when every post succeeded or nothing was posted; otherwise the result of
    // the last post that failed, so a refused packet is reported even when later posts succeed.
    // Returns -20004 (posting nothing) when no controller is attached.
    // Threading: any non-audio thread, under the lock.
    AAX_Result Dispatch();

    // The default handler: the parameter's current value as a 32-bit int (bool), float, int32 or
    // double, in the host's byte order. Returns 0, or -20004 when the parameter is missing or no
    // accessor works (the packet is then unchanged).
    AAX_Result GenerateSingleValuePacket(const char* parameterID, AAX_CPacket& packet);

    // Holds the dispatcher's lock for its lifetime. The data model stores a parameter's new value and
    // marks its packet dirty under one guard, so a dispatch on another thread never reads a value
    // while it is being written. Re-entrant like every dispatcher operation: a guard made on the
    // thread that already holds the lock neither blocks nor releases it.
    // Threading: any non-audio thread; it may block while another thread dispatches.
    class Guard {
    public:
        explicit Guard(AAX_CPacketDispatcher& dispatcher)
            : mMutex(dispatcher.mLockGuard), mLocked(dispatcher.mLockGuard.Lock()) {}
        ~Guard() {
            if (mLocked) {
                mMutex.Unlock();
            }
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        AAX_CMutex& mMutex;
        bool mLocked;
    };

private:
    typedef std::pair<AAX_CPacket*, AAX_IPacketHandler*> Registration;

    std::map<AAX_CFieldIndex, AAX_CPacket*> mPacketsHolder;
    // Ordered byte-wise by identifier; equal identifiers keep their registration order.
    // std::less<> lets lookups take a string_view, so marking packets dirty never allocates.
    std::multimap<std::string, Registration, std::less<>> mPacketsHandlers;
    AAX_IController* mController;
    AAX_IEffectParameters* mEffectParameters;
    AAX_CMutex mLockGuard;
};
