#include "AAX_CPacketDispatcher.h"

#include <memory>
#include <string_view>

#include "AAX_IController.h"
#include "AAX_IEffectParameters.h"
#include "AAX_IParameter.h"

namespace {

// Every packet of the single-value fields is posted as 8 bytes: a 4-byte value is followed by four
// zero bytes, and a double fills them.
constexpr uint32_t kPostedPacketSize = 8;

// Releases the dispatcher's lock only if this scope acquired it, so calls made by a handler on the
// thread that already holds the lock neither block nor release the outer lock.
class ScopedLock {
public:
    explicit ScopedLock(AAX_CMutex& mutex) : mMutex(mutex), mLocked(mutex.Lock()) {}
    ~ScopedLock() {
        if (mLocked) {
            mMutex.Unlock();
        }
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    AAX_CMutex& mMutex;
    bool mLocked;
};

}  // namespace

AAX_CPacket::SPacketData::SPacketData() : mBytes(kPostedPacketSize, 0) {}

void* AAX_CPacket::SPacketData::Get(size_t size) {
    mBytes.resize(size, 0);
    return mBytes.data();
}

const void* AAX_CPacket::SPacketData::Get() const { return mBytes.data(); }

size_t AAX_CPacket::SPacketData::Size() const { return mBytes.size(); }

AAX_CPacket::AAX_CPacket(AAX_CFieldIndex fieldIndex)
    : mFieldIndex(fieldIndex), mDirty(true), mDataSize(0), mPacketData(new SPacketData) {}

AAX_CPacket::~AAX_CPacket() { delete mPacketData; }

AAX_CPacketDispatcher::AAX_CPacketDispatcher() : mController(nullptr), mEffectParameters(nullptr) {}

AAX_CPacketDispatcher::~AAX_CPacketDispatcher() {
    ScopedLock lock(mLockGuard);
    for (auto& entry : mPacketsHolder) {
        delete entry.second;
    }
    mPacketsHolder.clear();
    for (auto& entry : mPacketsHandlers) {
        delete entry.second.second;
    }
    mPacketsHandlers.clear();
}

AAX_Result AAX_CPacketDispatcher::Initialize(AAX_IController* controller, AAX_IEffectParameters* effectParameters) {
    ScopedLock lock(mLockGuard);
    mController = controller;
    mEffectParameters = effectParameters;
    return AAX_SUCCESS;
}

AAX_Result AAX_CPacketDispatcher::RegisterPacket(const char* parameterID, AAX_CFieldIndex fieldIndex,
                                                 const AAX_IPacketHandler* handler) {
    if (parameterID == nullptr) {
        return AAX_ERROR_NULL_OBJECT;
    }
    ScopedLock lock(mLockGuard);
    AAX_CPacket* packet = nullptr;
    if (fieldIndex >= 0) {
        auto found = mPacketsHolder.find(fieldIndex);
        if (found == mPacketsHolder.end()) {
            std::unique_ptr<AAX_CPacket> created(new AAX_CPacket(fieldIndex));
            found = mPacketsHolder.emplace(fieldIndex, created.get()).first;
            created.release();
        }
        packet = found->second;
    }
    // A null handler is kept as such; Dispatch treats it as a handler that always fails.
    std::unique_ptr<AAX_IPacketHandler> clone(handler != nullptr ? handler->Clone() : nullptr);
    // The same parameter on the same field again (a data model initialised a second time) replaces
    // the handler and marks the packet dirty, so that each packet is still posted once per dispatch.
    const auto range = mPacketsHandlers.equal_range(std::string_view(parameterID));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.first == packet) {
            delete it->second.second;
            it->second.second = clone.release();
            if (packet != nullptr) packet->SetDirty(true);
            return AAX_SUCCESS;
        }
    }
    mPacketsHandlers.emplace(std::string(parameterID), Registration(packet, clone.get()));
    clone.release();
    return AAX_SUCCESS;
}

AAX_Result AAX_CPacketDispatcher::SetDirty(const char* parameterID, bool dirty) {
    if (parameterID == nullptr) {
        return AAX_SUCCESS;
    }
    ScopedLock lock(mLockGuard);
    const auto range = mPacketsHandlers.equal_range(std::string_view(parameterID));
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.first != nullptr) {
            it->second.first->SetDirty(dirty);
        }
    }
    return AAX_SUCCESS;
}

AAX_Result AAX_CPacketDispatcher::Dispatch() {
    ScopedLock lock(mLockGuard);
    if (mController == nullptr) {
        return AAX_ERROR_NULL_OBJECT;
    }
    AAX_Result result = AAX_SUCCESS;
    for (auto& entry : mPacketsHandlers) {
        AAX_CPacket* packet = entry.second.first;
        if (packet == nullptr || !packet->IsDirty()) {
            continue;
        }
        const AAX_IPacketHandler* handler = entry.second.second;
        const AAX_Result handled =
            handler != nullptr ? handler->Call(entry.first.c_str(), *packet) : AAX_ERROR_NULL_OBJECT;
        if (handled == AAX_SUCCESS) {
            const void* data = packet->GetRawPtr(kPostedPacketSize);
            // A refused packet stays reported: a later successful post must not hide it.
            const AAX_Result posted = mController->PostPacket(packet->GetID(), data, kPostedPacketSize);
            if (posted != AAX_SUCCESS) {
                result = posted;
            }
        }
        packet->SetDirty(false);
    }
    return result;
}

AAX_Result AAX_CPacketDispatcher::GenerateSingleValuePacket(const char* parameterID, AAX_CPacket& packet) {
    if (mEffectParameters == nullptr) {
        return AAX_ERROR_NULL_OBJECT;
    }
    AAX_IParameter* parameter = nullptr;
    if (mEffectParameters->GetParameter(parameterID, &parameter) != AAX_SUCCESS || parameter == nullptr) {
        return AAX_ERROR_NULL_OBJECT;
    }
    bool boolValue = false;
    float floatValue = 0.0f;
    int32_t intValue = 0;
    double doubleValue = 0.0;
    if (parameter->GetValueAsBool(&boolValue)) {
        *packet.GetPtr<int32_t>() = boolValue ? 1 : 0;
    } else if (parameter->GetValueAsFloat(&floatValue)) {
        *packet.GetPtr<float>() = floatValue;
    } else if (parameter->GetValueAsInt32(&intValue)) {
        *packet.GetPtr<int32_t>() = intValue;
    } else if (parameter->GetValueAsDouble(&doubleValue)) {
        *packet.GetPtr<double>() = doubleValue;
    } else {
        return AAX_ERROR_NULL_OBJECT;
    }
    return AAX_SUCCESS;
}
