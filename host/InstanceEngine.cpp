// Context layout, packet delivery and block processing: the host's real-time code (see the contract
// in InstanceEngine.h).
#include "InstanceEngine.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace marovex_host {

namespace {

constexpr int32_t kMaxFieldIndex = 4095;
constexpr uint32_t kMaxPacketSize = 1u << 16;
constexpr uint32_t kMaxPrivateSize = 1u << 26;
// Guard words after each output buffer and the private data: a write past their end shows up here.
constexpr int32_t kGuardFloats = 16;
constexpr uint32_t kGuardBits = 0x7FA5A5A5u;
constexpr uint32_t kGuardBytes = 16;
constexpr uint8_t kGuardByte = 0xA5;
// Flush-to-zero and denormals-are-zero, as workstations set them on their audio threads.
constexpr uint32_t kDenormalBits = 0x8040u;

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
}

void ArmFloatGuard(float* guard) {
    for (int32_t i = 0; i < kGuardFloats; ++i) std::memcpy(guard + i, &kGuardBits, sizeof kGuardBits);
}

bool FloatGuardIntact(const float* guard) {
    for (int32_t i = 0; i < kGuardFloats; ++i) {
        uint32_t bits;
        std::memcpy(&bits, guard + i, sizeof bits);
        if (bits != kGuardBits) return false;
    }
    return true;
}

// Sets the denormal bits for the lifetime of the object and puts the caller's MXCSR back.
class DenormalScope {
public:
    DenormalScope() {
#if defined(__SSE__)
        mSaved = _mm_getcsr();
        _mm_setcsr(mSaved | kDenormalBits);
#endif
    }
    ~DenormalScope() {
#if defined(__SSE__)
        _mm_setcsr(mSaved);
#endif
    }
    static uint32_t Current() {
#if defined(__SSE__)
        return _mm_getcsr();
#else
        return 0;
#endif
    }

private:
    uint32_t mSaved = 0;
};

}  // namespace

bool Engine::Layout(const MarovexComponentDescription& component, int32_t inChannels, int32_t outChannels,
                    int32_t maxBlock, float sampleRate, AAX_CProcessProc proc, std::string* error) {
    mInChannels = inChannels;
    mOutChannels = outChannels;
    mMaxBlock = maxBlock;
    mSampleRate = sampleRate;
    mProc = proc;
    int32_t highest = -1;
    int32_t meterFields = 0;
    int32_t ports = 0;
    for (const MarovexField& f : component.fields) {
        if (f.index < 0 || f.index > kMaxFieldIndex) {
            SetError(error, "field index " + std::to_string(f.index) + " is outside 0 to " +
                                std::to_string(kMaxFieldIndex));
            return false;
        }
        highest = std::max(highest, f.index);
        switch (f.kind) {
            case MarovexFieldKind::SideChainIn:
            case MarovexFieldKind::TemporaryData:
                SetError(error, std::string("this host does not offer ") + MarovexFieldKindName(f.kind) +
                                    " fields (field " + std::to_string(f.index) + ")");
                return false;
            case MarovexFieldKind::DataInPort:
                if (f.size == 0 || f.size > kMaxPacketSize) {
                    SetError(error, "data-in port " + std::to_string(f.index) + " declares packets of " +
                                        std::to_string(f.size) + " bytes");
                    return false;
                }
                ++ports;
                break;
            case MarovexFieldKind::PrivateData:
                if (mPrivateField >= 0 || f.size > kMaxPrivateSize) {
                    SetError(error, "private data field " + std::to_string(f.index) +
                                        (mPrivateField >= 0 ? " is the second one" : " is too large"));
                    return false;
                }
                mPrivateField = f.index;
                mPrivateSize = f.size;
                break;
            case MarovexFieldKind::Meters:
                if (++meterFields > 1) {
                    SetError(error, "more than one meters field is declared");
                    return false;
                }
                mMeterIDs = f.meterIDs;
                break;
            default:
                break;
        }
    }
    mContext.assign(static_cast<size_t>(highest + 1), nullptr);
    mPortOfField.assign(static_cast<size_t>(highest + 1), -1);
    mPorts.reset(new Port[static_cast<size_t>(ports)]);

    for (int32_t c = 0; c < inChannels; ++c) {
        mInBuffers.emplace_back(new float[static_cast<size_t>(maxBlock)]());
        mInPtrs.push_back(mInBuffers.back().get());
    }
    for (int32_t c = 0; c < outChannels; ++c) {
        mOutBuffers.emplace_back(new float[static_cast<size_t>(maxBlock) + kGuardFloats]());
        mOutPtrs.push_back(mOutBuffers.back().get());
        ArmFloatGuard(mOutPtrs.back() + maxBlock);
    }
    const size_t meters = mMeterIDs.size();
    mMeterTaps.reset(new float[meters + 1]());
    mMeterValues.reset(new std::atomic<float>[meters + 1]);
    mMeterPeaks.reset(new std::atomic<float>[meters + 1]);
    for (size_t i = 0; i < meters; ++i) {
        mMeterTapPtrs.push_back(mMeterTaps.get() + i);
        mMeterValues[i].store(0.0f);
        mMeterPeaks[i].store(0.0f);
    }
    mSampleRateField = sampleRate;

    for (const MarovexField& f : component.fields) {
        void*& slot = mContext[static_cast<size_t>(f.index)];
        switch (f.kind) {
            case MarovexFieldKind::AudioIn: slot = mInPtrs.data(); break;
            case MarovexFieldKind::AudioOut: slot = mOutPtrs.data(); break;
            case MarovexFieldKind::BufferLength: slot = &mBlockLength; break;
            case MarovexFieldKind::SampleRate: slot = &mSampleRateField; break;
            case MarovexFieldKind::Clock: slot = &mClock; break;
            case MarovexFieldKind::Meters: slot = mMeterTapPtrs.data(); break;
            case MarovexFieldKind::DataInPort: {
                Port& port = mPorts[static_cast<size_t>(mPortCount)];
                port.field = f.index;
                port.declared = f.size;
                port.capacity = std::max<uint32_t>(f.size + 4, 8);
                port.buffer.reset(new uint8_t[(port.capacity + 7u) & ~7u]());
                port.slots.reset(new uint8_t[size_t(port.capacity) * 3]());
                port.latest.reset(new uint8_t[port.capacity]());
                slot = port.buffer.get();
                mPortOfField[static_cast<size_t>(f.index)] = mPortCount++;
                break;
            }
            case MarovexFieldKind::PrivateData:
                mPrivateData.reset(new uint8_t[mPrivateSize + kGuardBytes]());
                std::memset(mPrivateData.get() + mPrivateSize, kGuardByte, kGuardBytes);
                slot = mPrivateData.get();
                break;
            default: slot = nullptr; break;
        }
    }
    mInstances[0] = mContext.data();
    mContextCopy = mContext;
    return true;
}

AAX_Result Engine::Post(AAX_CFieldIndex field, const void* data, uint32_t size, std::string* why) {
    const int32_t p = (field >= 0 && field < static_cast<int32_t>(mPortOfField.size())) ? mPortOfField[field] : -1;
    if (p < 0) {
        SetError(why, "a " + std::to_string(size) + "-byte packet for field " + std::to_string(field) +
                          ", which is not a declared data-in port");
        return ACF_E_FAIL;
    }
    Port& port = mPorts[static_cast<size_t>(p)];
    if (size > port.declared + 4) {
        SetError(why, "a " + std::to_string(size) + "-byte packet for field " + std::to_string(field) +
                          ", declared for " + std::to_string(port.declared) + "-byte packets");
        return ACF_E_FAIL;
    }
    if (data == nullptr && size > 0) {
        SetError(why, "a " + std::to_string(size) + "-byte packet for field " + std::to_string(field) +
                          " without data");
        return AAX_ERROR_NULL_OBJECT;
    }
    std::lock_guard<std::mutex> lock(mPostMutex);
    if (size > 0) std::memcpy(port.slots.get() + size_t(port.back) * port.capacity, data, size);
    port.sizes[port.back] = size;
    if (size > 0) std::memcpy(port.latest.get(), data, size);
    port.latestSize = size;
    port.posted = true;
    const uint32_t previous = port.middle.exchange(port.back | kFresh, std::memory_order_acq_rel);
    port.back = previous & 3u;
    return AAX_SUCCESS;
}

bool Engine::LatestPacket(AAX_CFieldIndex field, std::vector<uint8_t>* bytes) {
    const int32_t p = (field >= 0 && field < static_cast<int32_t>(mPortOfField.size())) ? mPortOfField[field] : -1;
    if (p < 0 || bytes == nullptr) return false;
    const Port& port = mPorts[static_cast<size_t>(p)];
    std::lock_guard<std::mutex> lock(mPostMutex);
    if (!port.posted) return false;
    bytes->assign(port.latest.get(), port.latest.get() + port.latestSize);
    return true;
}

// Copies every freshly published packet into its field's buffer; the bytes after a shorter packet
// are cleared so that a field never mixes two packets.
void Engine::Deliver() noexcept {
    uint64_t n = 0;
    for (int32_t i = 0; i < mPortCount; ++i) {
        Port& port = mPorts[static_cast<size_t>(i)];
        if ((port.middle.load(std::memory_order_relaxed) & kFresh) == 0) continue;
        port.front = port.middle.exchange(port.front, std::memory_order_acq_rel) & 3u;
        const uint32_t size = port.sizes[port.front];
        std::memcpy(port.buffer.get(), port.slots.get() + size_t(port.front) * port.capacity, size);
        std::memset(port.buffer.get() + size, 0, port.capacity - size);
        ++n;
    }
    if (n != 0) mDelivered.fetch_add(n, std::memory_order_relaxed);
}

void Engine::Raise(uint32_t flag) noexcept {
    mProblems.fetch_add(1, std::memory_order_relaxed);
    mFlags.fetch_or(flag, std::memory_order_relaxed);
}

MarovexProcessStatus Engine::Run(const float* const* in, float* const* out, int32_t frames) noexcept {
    if (mFailed.load(std::memory_order_acquire)) return MarovexProcessStatus::Stopped;
    // An instance made without a sample rate never runs its procedure: the plug-in's filters and
    // time constants have nothing to be computed from.
    if (!(mSampleRate > 0.0f)) return MarovexProcessStatus::NoSampleRate;
    const DenormalScope denormals;
    mMxcsr.store(DenormalScope::Current(), std::memory_order_relaxed);
    for (int32_t offset = 0; offset < frames;) {
        const int32_t n = std::min(mMaxBlock, frames - offset);
        RunBlock(in, out, offset, n);
        if (mFailed.load(std::memory_order_relaxed)) return MarovexProcessStatus::PluginThrew;
        offset += n;
    }
    return MarovexProcessStatus::Done;
}

void Engine::RunBlock(const float* const* in, float* const* out, int32_t offset, int32_t n) noexcept {
    Deliver();
    // The plug-in works on the host's own buffers, so callers may process in place.
    for (int32_t c = 0; c < mInChannels; ++c) {
        std::memcpy(mInPtrs[c], in[c] + offset, sizeof(float) * static_cast<size_t>(n));
    }
    mBlockLength = n;
    const size_t meters = mMeterIDs.size();
    for (size_t i = 0; i < meters; ++i) mMeterTaps[i] = 0.0f;
    try {
        mProc(mInstances, mInstances + 1);
    } catch (...) {
        // A process procedure must not throw; the engine stops processing instead of the
        // exception ending the program.
        Raise(kThrew);
        mFailed.store(true, std::memory_order_release);
        return;
    }
    mClock += n;
    const bool clear = mClearPeaks.exchange(false, std::memory_order_acq_rel);
    for (size_t i = 0; i < meters; ++i) {
        const float v = mMeterTaps[i];
        mMeterValues[i].store(v, std::memory_order_relaxed);
        const float peak = clear ? 0.0f : mMeterPeaks[i].load(std::memory_order_relaxed);
        mMeterPeaks[i].store(v > peak ? v : peak, std::memory_order_relaxed);
    }
    // The plug-in reads the context, the block length and the sample rate; it writes none.
    if (std::memcmp(mContext.data(), mContextCopy.data(), sizeof(void*) * mContext.size()) != 0 ||
        mBlockLength != n || !(mSampleRateField == mSampleRate)) {
        Raise(kContextChanged);
        std::memcpy(mContext.data(), mContextCopy.data(), sizeof(void*) * mContext.size());
        mSampleRateField = mSampleRate;
    }
    for (int32_t c = 0; c < mOutChannels; ++c) {
        float* guard = mOutPtrs[c] + mMaxBlock;
        if (!FloatGuardIntact(guard)) {
            mProblems.fetch_add(1, std::memory_order_relaxed);
            mOverrunChannels.fetch_or(uint64_t(1) << c, std::memory_order_relaxed);
            ArmFloatGuard(guard);
        }
        std::memcpy(out[c] + offset, mOutPtrs[c], sizeof(float) * static_cast<size_t>(n));
    }
    if (mPrivateData != nullptr && !CheckPrivateGuard()) Raise(kPrivateOverrun);
    mBlocks.fetch_add(1, std::memory_order_relaxed);
}

bool Engine::CheckPrivateGuard() {
    uint8_t* guard = mPrivateData.get() + mPrivateSize;
    for (uint32_t i = 0; i < kGuardBytes; ++i) {
        if (guard[i] != kGuardByte) {
            std::memset(guard, kGuardByte, kGuardBytes);
            return false;
        }
    }
    return true;
}

int32_t Engine::MeterIndex(AAX_CTypeID id) const {
    for (size_t i = 0; i < mMeterIDs.size(); ++i) {
        if (mMeterIDs[i] == id) return static_cast<int32_t>(i);
    }
    return -1;
}

void Engine::ClearMeterPeaks() {
    // The flag covers a block that is running right now; between blocks the store is immediate.
    mClearPeaks.store(true, std::memory_order_release);
    for (int32_t i = 0; i < MeterCount(); ++i) mMeterPeaks[i].store(0.0f, std::memory_order_relaxed);
}

uint32_t Engine::TakeFlags(uint64_t* overrunChannels) {
    // Called after every block and nearly always empty: look before taking, so that an empty call
    // costs plain loads, not locked exchanges. A flag raised meanwhile is taken by the next call.
    *overrunChannels =
        mOverrunChannels.load(std::memory_order_relaxed) != 0 ? mOverrunChannels.exchange(0, std::memory_order_relaxed) : 0;
    return mFlags.load(std::memory_order_relaxed) != 0 ? mFlags.exchange(0, std::memory_order_relaxed) : 0;
}

}  // namespace marovex_host
