// One running plug-in instance: data model, algorithm context, packets, audio thread, meters,
// parameters, state and editor objects.
#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "AAX_IACFEffectGUI.h"
#include "AAX_IACFEffectParameters.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_IController.h"
#include "AAX_ITransport.h"
#include "AAX_SPlugInChunk.h"
#include "AAX_UIDs.h"
#include "HostInternal.h"
#include "MarovexHost.h"
#include "PacketRing.h"

using namespace marovex_host;

namespace {

constexpr int32_t kMaxFieldIndex = 4095;
constexpr int32_t kMaxChannels = 64;
constexpr int32_t kMaxBlockLimit = 1 << 20;
constexpr uint32_t kMaxPacketSize = 1u << 16;
constexpr uint32_t kMaxPrivateSize = 1u << 26;
constexpr uint32_t kMaxChunkSize = 1u << 26;
// Guard words after each output buffer and the private data: a write past their end shows up here.
constexpr int32_t kGuardFloats = 16;
constexpr uint32_t kGuardBits = 0x7FA5A5A5u;
constexpr uint32_t kGuardBytes = 16;
constexpr uint8_t kGuardByte = 0xA5;
// Longest value text the host asks a parameter for.
constexpr int32_t kTextLength = 64;

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

// Runs a host operation that calls into the plug-in; an exception from the plug-in (which must not
// throw across its interfaces) or an allocation failure becomes an error result.
template <class F>
bool Guarded(std::string* error, const char* what, F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        SetError(error, std::string("out of memory in ") + what);
    } catch (...) {
        SetError(error, std::string("an exception escaped the plug-in in ") + what);
    }
    return false;
}

std::string Code(AAX_Result r) { return std::to_string(r); }

void ArmFloatGuard(float* guard) {
    for (int32_t i = 0; i < kGuardFloats; ++i) {
        std::memcpy(guard + i, &kGuardBits, sizeof kGuardBits);
    }
}

bool FloatGuardIntact(const float* guard) {
    for (int32_t i = 0; i < kGuardFloats; ++i) {
        uint32_t bits;
        std::memcpy(&bits, guard + i, sizeof bits);
        if (bits != kGuardBits) {
            return false;
        }
    }
    return true;
}

bool ByteGuardIntact(const uint8_t* guard) {
    for (uint32_t i = 0; i < kGuardBytes; ++i) {
        if (guard[i] != kGuardByte) {
            return false;
        }
    }
    return true;
}

void SemWait(sem_t* s) {
    while (sem_wait(s) != 0 && errno == EINTR) {
    }
}

}  // namespace

class InstanceHost;

struct MarovexInstance::Impl {
    std::shared_ptr<MarovexModule> module;  // first member: released last

    MarovexComponentDescription component;
    std::string effectID;
    int32_t stem = 0;
    int32_t outStem = 0;
    int32_t inChannels = 0;
    int32_t outChannels = 0;
    int32_t maxBlock = 0;
    float sampleRate = 0.0f;
    std::atomic<int32_t> latency{0};

    // Data model (one reference) and the host object it was initialised with.
    AAX_IACFEffectParameters* params = nullptr;
    InstanceHost* host = nullptr;

    // The algorithm context and everything its fields point at.
    std::vector<void*> context;
    std::vector<void*> contextCopy;  // as laid out, to see whether the plug-in changed it
    void* instances[1] = {nullptr};
    AAX_CProcessProc proc = nullptr;
    std::vector<std::unique_ptr<float[]>> inBuffers;
    std::vector<std::unique_ptr<float[]>> outBuffers;  // maxBlock samples + guard
    std::vector<float*> inPtrs;
    std::vector<float*> outPtrs;
    int32_t blockLength = 0;
    float sampleRateField = 0.0f;
    int64_t clock = 0;
    std::vector<AAX_CTypeID> meterIDs;
    std::unique_ptr<float[]> meterTaps;
    std::vector<float*> meterTapPtrs;
    std::unique_ptr<std::atomic<float>[]> meterValues;
    std::unique_ptr<std::atomic<float>[]> meterPeaks;
    std::atomic<bool> clearPeaks{false};
    std::unique_ptr<uint8_t[]> privateData;  // declared size + guard
    uint32_t privateSize = 0;
    AAX_CFieldIndex privateField = -1;

    // One buffer per data-in port, and its overflow store (see PostPacket).
    struct Port {
        AAX_CFieldIndex field = 0;
        uint32_t declared = 0;
        uint32_t capacity = 0;  // declared + 4, at least 8
        std::unique_ptr<uint8_t[]> buffer;
        std::unique_ptr<uint8_t[]> overflow;
        uint32_t overflowSize = 0;
        bool overflowPending = false;
    };
    std::vector<Port> ports;
    std::vector<int32_t> portOfField;  // field index -> port, -1 when the field is no data port
    PacketRing ring;
    std::mutex postMutex;  // makes every posting thread the ring's single producer
    uint32_t overflowPending = 0;

    // The audio thread.
    std::thread audio;
    sem_t wake;
    sem_t done;
    bool semaphores = false;
    std::atomic<bool> quit{false};
    bool deliverOnly = false;  // the next wake-up only delivers packets (set between semaphores)
    std::atomic<bool> busy{false};
    std::atomic<uint32_t> mxcsr{0};
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> blocks{0};
    std::atomic<uint32_t> undeliverable{0};
    std::atomic<bool> audioFailed{false};  // the process procedure threw; no further blocks

    // Automation.
    mutable std::mutex automationMutex;
    std::set<std::string> registered;
    std::map<std::string, int32_t> touches;

    // Editors that hear of parameter changes.
    std::mutex guiMutex;
    std::vector<AAX_IACFEffectGUI*> guis;

    std::atomic<int32_t> problems{0};
    AAX_Result lastGenerateResult = 0;

    void Problem(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        problems.fetch_add(1);
        va_list args;
        va_start(args, format);
        ReportV(format, args);
        va_end(args);
    }

    bool Layout(std::string* error);
    bool StartAudio(std::string* error);
    void AudioLoop();
    void DeliverPackets();
    void FlushOverflowLocked();
    // Flushes what fits; true while packets are still waiting.
    bool FlushOverflow() {
        std::lock_guard<std::mutex> lock(postMutex);
        FlushOverflowLocked();
        return overflowPending != 0;
    }
    void Shutdown();

    // Host services for the plug-in.
    AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size);
    int32_t MeterIndex(AAX_CTypeID id) const {
        for (size_t i = 0; i < meterIDs.size(); ++i) {
            if (meterIDs[i] == id) return static_cast<int32_t>(i);
        }
        return -1;
    }
    AAX_Result SetRequest(const char* id, double value);
    void NotifyGuis(const char* id);
};

// ---------------------------------------------------------------------------------------------
// The host object an instance's data model (and editor) is initialised with: controller, automation
// delegate and transport; for an editor also the data model's interface. It refers to the instance
// without owning it and is detached when the instance goes, so a reference the plug-in keeps too
// long answers -20004 instead of touching freed memory.

class InstanceHost final : public AAX_IACFController_V2,
                           public AAX_IACFAutomationDelegate,
                           public AAX_IACFTransport_V2 {
public:
    InstanceHost(MarovexInstance::Impl* core, bool answersEffectParameters)
        : mCore(core), mAnswersEffectParameters(answersEffectParameters) {}

    IACFUnknown* Unknown() { return static_cast<AAX_IACFController_V2*>(this); }
    void Detach() { mCore.store(nullptr); }
    uint32_t Refs() const { return mRefs.Get(); }

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (out == nullptr) return ACF_E_FAIL;
        *out = nullptr;
        if (iid == IID_IACFUnknown || iid == IID_IAAXControllerV1 || iid == IID_IAAXControllerV2) {
            *out = static_cast<AAX_IACFController_V2*>(this);
        } else if (iid == IID_IAAXAutomationDelegateV1) {
            *out = static_cast<AAX_IACFAutomationDelegate*>(this);
        } else if (iid == IID_IAAXTransportV1 || iid == IID_IAAXTransportV2) {
            *out = static_cast<AAX_IACFTransport_V2*>(this);
        } else if (iid == IID_IAAXEffectParametersV1 && mAnswersEffectParameters) {
            MarovexInstance::Impl* c = mCore.load();
            if (c == nullptr || c->params == nullptr) return ACF_E_NOINTERFACE;
            return c->params->QueryInterface(iid, out);
        } else {
            return ACF_E_NOINTERFACE;
        }
        AddRef();
        return ACF_OK;
    }
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override {
        const uint32_t n = mRefs.Drop();
        if (n == 0) delete this;
        return n;
    }

    // Controller. Threading: any non-audio thread.
    AAX_Result GetEffectID(AAX_IString* effectID) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || effectID == nullptr) return AAX_ERROR_NULL_OBJECT;
        effectID->Set(c->effectID.c_str());
        return AAX_SUCCESS;
    }
    AAX_Result GetSampleRate(float* sampleRate) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || sampleRate == nullptr) return AAX_ERROR_NULL_OBJECT;
        *sampleRate = c->sampleRate;
        return AAX_SUCCESS;
    }
    AAX_Result GetInputStemFormat(AAX_EStemFormat* format) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || format == nullptr) return AAX_ERROR_NULL_OBJECT;
        *format = static_cast<AAX_EStemFormat>(c->stem);
        return AAX_SUCCESS;
    }
    AAX_Result GetOutputStemFormat(AAX_EStemFormat* format) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || format == nullptr) return AAX_ERROR_NULL_OBJECT;
        *format = static_cast<AAX_EStemFormat>(c->outStem);
        return AAX_SUCCESS;
    }
    AAX_Result GetSignalLatency(int32_t* samples) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || samples == nullptr) return AAX_ERROR_NULL_OBJECT;
        *samples = c->latency.load();
        return AAX_SUCCESS;
    }
    AAX_Result SetSignalLatency(int32_t samples) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        c->latency.store(samples);
        return AAX_SUCCESS;
    }
    AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        return c->PostPacket(field, data, size);
    }
    AAX_Result GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || value == nullptr) return AAX_ERROR_NULL_OBJECT;
        const int32_t i = c->MeterIndex(meterID);
        if (i < 0) return AAX_ERROR_NULL_OBJECT;
        *value = c->meterValues[i].load(std::memory_order_relaxed);
        return AAX_SUCCESS;
    }
    AAX_Result GetMeterPeakValue(AAX_CTypeID meterID, float* value) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || value == nullptr) return AAX_ERROR_NULL_OBJECT;
        const int32_t i = c->MeterIndex(meterID);
        if (i < 0) return AAX_ERROR_NULL_OBJECT;
        *value = c->meterPeaks[i].load(std::memory_order_relaxed);
        return AAX_SUCCESS;
    }
    AAX_Result ClearMeterPeakValue(AAX_CTypeID meterID) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (c->MeterIndex(meterID) < 0) return AAX_ERROR_NULL_OBJECT;
        c->clearPeaks.store(true);
        return AAX_SUCCESS;
    }
    AAX_Result GetMeterCount(uint32_t* count) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || count == nullptr) return AAX_ERROR_NULL_OBJECT;
        *count = static_cast<uint32_t>(c->meterIDs.size());
        return AAX_SUCCESS;
    }
    AAX_Result GetHostName(AAX_IString* name) const override {
        if (name == nullptr) return AAX_ERROR_NULL_OBJECT;
        name->Set("Marovex host");
        return AAX_SUCCESS;
    }
    AAX_Result SendNotification(AAX_CTypeID, const void*, uint32_t) override { return AAX_SUCCESS; }

    // Automation delegate. Threading: any non-audio thread.
    AAX_Result RegisterParameter(AAX_CParamID id) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) {
            c->Problem("plug-in registered a parameter without an identifier");
            return AAX_ERROR_NULL_OBJECT;
        }
        std::lock_guard<std::mutex> lock(c->automationMutex);
        if (!c->registered.insert(id).second) {
            c->Problem("plug-in registered parameter \"%s\" twice", id);
        }
        return AAX_SUCCESS;
    }
    AAX_Result UnregisterParameter(AAX_CParamID id) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automationMutex);
        if (c->registered.erase(id) == 0) {
            c->Problem("plug-in unregistered parameter \"%s\", which was not registered", id);
        }
        c->touches.erase(id);
        return AAX_SUCCESS;
    }
    AAX_Result PostSetValueRequest(AAX_CParamID id, double normalizedValue) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        return c->SetRequest(id, normalizedValue);
    }
    AAX_Result PostCurrentValue(AAX_CParamID id, double normalizedValue) const override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automationMutex);
        if (c->registered.count(id) == 0) {
            c->Problem("plug-in reported the value of unregistered parameter \"%s\"", id);
        }
        if (!(normalizedValue >= 0.0 && normalizedValue <= 1.0)) {
            c->Problem("plug-in reported value %g for \"%s\", outside 0 to 1", normalizedValue, id);
        }
        return AAX_SUCCESS;
    }
    AAX_Result PostTouchRequest(AAX_CParamID id) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automationMutex);
        if (c->registered.count(id) == 0) {
            c->Problem("plug-in touched unregistered parameter \"%s\"", id);
        }
        ++c->touches[id];
        return AAX_SUCCESS;
    }
    AAX_Result PostReleaseRequest(AAX_CParamID id) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automationMutex);
        auto it = c->touches.find(id);
        if (it == c->touches.end() || it->second == 0) {
            c->Problem("plug-in released parameter \"%s\" without touching it", id);
            return AAX_SUCCESS;
        }
        if (--it->second == 0) {
            c->touches.erase(it);
        }
        return AAX_SUCCESS;
    }
    AAX_Result GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) override {
        MarovexInstance::Impl* c = mCore.load();
        if (c == nullptr || id == nullptr || touched == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automationMutex);
        auto it = c->touches.find(id);
        *touched = (it != c->touches.end() && it->second > 0) ? 1 : 0;
        return AAX_SUCCESS;
    }

    // Transport: this host has no timeline; it is stopped at position 0 with 120 beats per minute.
    AAX_Result GetCurrentTempo(double* bpm) const override {
        if (bpm == nullptr) return AAX_ERROR_NULL_OBJECT;
        *bpm = 120.0;
        return AAX_SUCCESS;
    }
    AAX_Result IsTransportPlaying(bool* isPlaying) const override {
        if (isPlaying == nullptr) return AAX_ERROR_NULL_OBJECT;
        *isPlaying = false;
        return AAX_SUCCESS;
    }
    AAX_Result GetCurrentNativeSampleLocation(int64_t* sampleLocation) const override {
        if (sampleLocation == nullptr) return AAX_ERROR_NULL_OBJECT;
        *sampleLocation = 0;
        return AAX_SUCCESS;
    }
    AAX_Result IsMetronomeEnabled(int32_t* isEnabled) const override {
        if (isEnabled == nullptr) return AAX_ERROR_NULL_OBJECT;
        *isEnabled = 0;
        return AAX_SUCCESS;
    }

private:
    ~InstanceHost() = default;
    RefCount mRefs;
    std::atomic<MarovexInstance::Impl*> mCore;
    const bool mAnswersEffectParameters;
};

// ---------------------------------------------------------------------------------------------
// Packets

// Threading: any non-audio thread. The posting lock makes the caller the ring's only producer; the
// audio thread never takes it. When the audio thread has not yet consumed enough slots, the packet
// is kept in its port's overflow store (one per port, allocated with the port), replacing an older
// overflow packet of the same field: only a field's latest bytes matter to the context, so nothing
// the block would see is lost, and the overflow moves into the ring before the next block.
AAX_Result MarovexInstance::Impl::PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) {
    const int32_t p = (field >= 0 && field < static_cast<int32_t>(portOfField.size())) ? portOfField[field] : -1;
    if (p < 0) {
        Problem("plug-in posted a %u-byte packet for field %d, which is not a declared data-in port", size, field);
        return ACF_E_FAIL;
    }
    Port& port = ports[p];
    if (size > port.declared + 4) {
        Problem("plug-in posted a %u-byte packet for field %d, declared for %u-byte packets", size, field,
                port.declared);
        return ACF_E_FAIL;
    }
    if (data == nullptr && size > 0) {
        Problem("plug-in posted a %u-byte packet for field %d without data", size, field);
        return AAX_ERROR_NULL_OBJECT;
    }
    std::lock_guard<std::mutex> lock(postMutex);
    FlushOverflowLocked();
    // Packets of one field stay in posting order: while a field has an overflow packet waiting, its
    // newer packets replace that one instead of overtaking it through the ring.
    if (!port.overflowPending && ring.Push(field, data, size)) {
        return AAX_SUCCESS;
    }
    if (!port.overflowPending) {
        port.overflowPending = true;
        ++overflowPending;
    }
    if (size > 0) {
        std::memcpy(port.overflow.get(), data, size);
    }
    port.overflowSize = size;
    return AAX_SUCCESS;
}

// Moves overflow packets into the ring while it has room. Caller holds postMutex.
void MarovexInstance::Impl::FlushOverflowLocked() {
    if (overflowPending == 0) {
        return;
    }
    for (Port& port : ports) {
        if (!port.overflowPending) continue;
        if (!ring.Push(port.field, port.overflow.get(), port.overflowSize)) {
            return;
        }
        port.overflowPending = false;
        --overflowPending;
    }
}

// Audio thread: copies every pending packet into its field's buffer; the bytes after a shorter
// packet are cleared so a field never mixes two packets.
void MarovexInstance::Impl::DeliverPackets() {
    const uint32_t n = ring.Drain([this](int32_t field, const uint8_t* data, uint32_t size) {
        const int32_t p = (field >= 0 && field < static_cast<int32_t>(portOfField.size())) ? portOfField[field] : -1;
        if (p < 0 || size > ports[p].capacity) {
            undeliverable.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        Port& port = ports[p];
        std::memcpy(port.buffer.get(), data, size);
        std::memset(port.buffer.get() + size, 0, port.capacity - size);
    });
    delivered.fetch_add(n, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------
// Automation

// The host answers a set request at once: the value goes back to the data model as an update, and
// every editor of the instance hears of it.
AAX_Result MarovexInstance::Impl::SetRequest(const char* id, double value) {
    if (id == nullptr) {
        Problem("plug-in asked to set a parameter without an identifier");
        return AAX_ERROR_NULL_OBJECT;
    }
    {
        std::lock_guard<std::mutex> lock(automationMutex);
        if (registered.count(id) == 0) {
            Problem("plug-in asked to set unregistered parameter \"%s\"", id);
        }
    }
    if (std::isnan(value)) {
        Problem("plug-in asked to set \"%s\" to a value that is not a number; ignored", id);
        return AAX_ERROR_INVALID_STRING_CONVERSION;
    }
    if (value < 0.0 || value > 1.0) {
        Problem("plug-in asked to set \"%s\" to %g, outside 0 to 1; clamped", id, value);
        value = std::min(1.0, std::max(0.0, value));
    }
    if (params == nullptr) {
        return AAX_ERROR_NULL_OBJECT;
    }
    const AAX_Result r = params->UpdateParameterNormalizedValue(id, value, AAX_eUpdateSource_Parameter);
    if (r != AAX_SUCCESS) {
        Problem("the update of parameter \"%s\" was answered with %d", id, r);
        return r;
    }
    NotifyGuis(id);
    return AAX_SUCCESS;
}

void MarovexInstance::Impl::NotifyGuis(const char* id) {
    std::vector<AAX_IACFEffectGUI*> copy;
    {
        std::lock_guard<std::mutex> lock(guiMutex);
        copy = guis;
    }
    for (AAX_IACFEffectGUI* g : copy) {
        g->ParameterUpdated(id);
    }
}

// ---------------------------------------------------------------------------------------------
// Context layout and audio thread

bool MarovexInstance::Impl::Layout(std::string* error) {
    int32_t highest = -1;
    int32_t meterFields = 0;
    uint32_t largestPacket = 8;
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
                largestPacket = std::max(largestPacket, f.size + 4);
                break;
            case MarovexFieldKind::PrivateData:
                if (privateField >= 0 || f.size > kMaxPrivateSize) {
                    SetError(error, "private data field " + std::to_string(f.index) +
                                        (privateField >= 0 ? " is the second one" : " is too large"));
                    return false;
                }
                privateField = f.index;
                privateSize = f.size;
                break;
            case MarovexFieldKind::Meters:
                if (++meterFields > 1) {
                    SetError(error, "more than one meters field is declared");
                    return false;
                }
                meterIDs = f.meterIDs;
                break;
            default:
                break;
        }
    }
    context.assign(static_cast<size_t>(highest + 1), nullptr);
    portOfField.assign(static_cast<size_t>(highest + 1), -1);

    for (int32_t c = 0; c < inChannels; ++c) {
        inBuffers.emplace_back(new float[static_cast<size_t>(maxBlock)]());
        inPtrs.push_back(inBuffers.back().get());
    }
    for (int32_t c = 0; c < outChannels; ++c) {
        outBuffers.emplace_back(new float[static_cast<size_t>(maxBlock) + kGuardFloats]());
        outPtrs.push_back(outBuffers.back().get());
        ArmFloatGuard(outPtrs.back() + maxBlock);
    }
    const size_t meters = meterIDs.size();
    meterTaps.reset(new float[meters + 1]());
    meterValues.reset(new std::atomic<float>[meters + 1]);
    meterPeaks.reset(new std::atomic<float>[meters + 1]);
    for (size_t i = 0; i < meters; ++i) {
        meterTapPtrs.push_back(meterTaps.get() + i);
        meterValues[i].store(0.0f);
        meterPeaks[i].store(0.0f);
    }
    sampleRateField = sampleRate;

    for (const MarovexField& f : component.fields) {
        void*& slot = context[static_cast<size_t>(f.index)];
        switch (f.kind) {
            case MarovexFieldKind::AudioIn: slot = inPtrs.data(); break;
            case MarovexFieldKind::AudioOut: slot = outPtrs.data(); break;
            case MarovexFieldKind::BufferLength: slot = &blockLength; break;
            case MarovexFieldKind::SampleRate: slot = &sampleRateField; break;
            case MarovexFieldKind::Clock: slot = &clock; break;
            case MarovexFieldKind::Meters: slot = meterTapPtrs.data(); break;
            case MarovexFieldKind::DataInPort: {
                Port port;
                port.field = f.index;
                port.declared = f.size;
                port.capacity = std::max<uint32_t>(f.size + 4, 8);
                port.buffer.reset(new uint8_t[(port.capacity + 7u) & ~7u]());
                port.overflow.reset(new uint8_t[port.capacity]());
                slot = port.buffer.get();
                portOfField[static_cast<size_t>(f.index)] = static_cast<int32_t>(ports.size());
                ports.push_back(std::move(port));
                break;
            }
            case MarovexFieldKind::PrivateData:
                privateData.reset(new uint8_t[privateSize + kGuardBytes]());
                std::memset(privateData.get() + privateSize, kGuardByte, kGuardBytes);
                slot = privateData.get();
                break;
            default: slot = nullptr; break;
        }
    }
    if (!ring.Init(kPacketRingSlots, largestPacket)) {
        SetError(error, "cannot allocate the packet ring");
        return false;
    }
    instances[0] = context.data();
    contextCopy = context;
    return true;
}

bool MarovexInstance::Impl::StartAudio(std::string* error) {
    if (sem_init(&wake, 0, 0) != 0 || sem_init(&done, 0, 0) != 0) {
        SetError(error, "cannot create the audio thread's semaphores");
        return false;
    }
    semaphores = true;
    try {
        audio = std::thread([this] { AudioLoop(); });
    } catch (const std::exception& e) {
        SetError(error, std::string("cannot start the audio thread: ") + e.what());
        return false;
    }
    return true;
}

// The host's audio thread: waits for a block, delivers the pending packets, clears the meter taps,
// runs the process procedure and publishes the taps. Denormals are flushed to zero on this thread
// (MXCSR flush-to-zero and denormals-are-zero), as workstations do. It never allocates, locks, logs
// or does I/O; it blocks only on its own wake-up semaphore.
void MarovexInstance::Impl::AudioLoop() {
#if defined(__SSE__)
    _mm_setcsr(_mm_getcsr() | 0x8040u);
    mxcsr.store(_mm_getcsr());
#endif
    const size_t meters = meterIDs.size();
    for (;;) {
        SemWait(&wake);
        if (quit.load(std::memory_order_acquire)) {
            break;
        }
        DeliverPackets();
        if (deliverOnly) {
            sem_post(&done);
            continue;
        }
        for (size_t i = 0; i < meters; ++i) {
            meterTaps[i] = 0.0f;
        }
        try {
            proc(instances, instances + 1);
        } catch (...) {
            // A process procedure must not throw; the instance stops processing instead of the
            // exception ending the program.
            audioFailed.store(true, std::memory_order_release);
        }
        clock += blockLength;
        const bool clear = clearPeaks.exchange(false, std::memory_order_acq_rel);
        for (size_t i = 0; i < meters; ++i) {
            const float v = meterTaps[i];
            meterValues[i].store(v, std::memory_order_relaxed);
            const float peak = clear ? 0.0f : meterPeaks[i].load(std::memory_order_relaxed);
            meterPeaks[i].store(v > peak ? v : peak, std::memory_order_relaxed);
        }
        blocks.fetch_add(1, std::memory_order_relaxed);
        sem_post(&done);
    }
}

void MarovexInstance::Impl::Shutdown() {
    if (audio.joinable()) {
        quit.store(true, std::memory_order_release);
        sem_post(&wake);
        audio.join();
    }
    {
        std::lock_guard<std::mutex> lock(guiMutex);
        if (!guis.empty()) {
            Problem("an instance was destroyed while %zu editor object(s) of it were alive", guis.size());
        }
    }
    if (params != nullptr) {
        try {
            params->Uninitialize();
            params->Release();
        } catch (...) {
            Problem("an exception escaped the plug-in while its data model was released");
        }
        params = nullptr;
        std::lock_guard<std::mutex> lock(automationMutex);
        for (const std::string& id : registered) {
            Problem("parameter \"%s\" was still registered after the data model was released", id.c_str());
        }
        for (const auto& t : touches) {
            Problem("parameter \"%s\" was still touched after the data model was released", t.first.c_str());
        }
    }
    if (host != nullptr) {
        host->Detach();
        if (host->Refs() != 1) {
            Problem("plug-in kept %u reference(s) to the instance's host object", host->Refs() - 1);
        }
        host->Release();
        host = nullptr;
    }
    if (semaphores) {
        sem_destroy(&wake);
        sem_destroy(&done);
        semaphores = false;
    }
}

// ---------------------------------------------------------------------------------------------
// MarovexInstance

MarovexInstance::MarovexInstance() : mImpl(new Impl) {}

MarovexInstance::~MarovexInstance() { mImpl->Shutdown(); }

std::unique_ptr<MarovexInstance> MarovexInstance::Create(const std::shared_ptr<MarovexModule>& module,
                                                         int32_t stemFormat, float sampleRate, int32_t maxBlock,
                                                         std::string* error) {
    std::unique_ptr<MarovexInstance> instance;
    const bool ok = Guarded(error, "instance creation", [&] {
        if (module == nullptr || module->Effect() == nullptr) {
            SetError(error, "no module with an effect was given");
            return false;
        }
        if (!(sampleRate > 0.0f) || !std::isfinite(sampleRate) || sampleRate > 1.0e7f) {
            SetError(error, "sample rate " + std::to_string(sampleRate) + " Hz is not usable");
            return false;
        }
        if (maxBlock < 1 || maxBlock > kMaxBlockLimit) {
            SetError(error, "block size " + std::to_string(maxBlock) + " is outside 1 to " +
                                std::to_string(kMaxBlockLimit));
            return false;
        }
        const MarovexEffectDescription& effect = *module->Effect();
        const MarovexComponentDescription* component = effect.FindComponent(stemFormat);
        if (component == nullptr) {
            char text[96];
            std::snprintf(text, sizeof text, "the module has no component for stem format 0x%X",
                          static_cast<unsigned>(stemFormat));
            SetError(error, text);
            return false;
        }
        if (component->nativeProcesses.empty() || component->nativeProcesses.front().proc == nullptr) {
            SetError(error, "the component has no native process procedure");
            return false;
        }
        instance.reset(new MarovexInstance());
        Impl& d = *instance->mImpl;
        d.module = module;
        d.component = *component;
        d.effectID = effect.effectID;
        d.stem = stemFormat;
        AAX_CPropertyValue out = stemFormat;
        component->nativeProcesses.front().properties.Get(52, &out);
        d.outStem = out;
        d.inChannels = stemFormat & 0xFFFF;
        d.outChannels = out & 0xFFFF;
        if (d.inChannels < 1 || d.inChannels > kMaxChannels || d.outChannels < 1 || d.outChannels > kMaxChannels) {
            SetError(error, "stem formats give " + std::to_string(d.inChannels) + " input and " +
                                std::to_string(d.outChannels) + " output channels");
            return false;
        }
        d.sampleRate = sampleRate;
        d.maxBlock = maxBlock;
        d.proc = component->nativeProcesses.front().proc;
        if (!d.Layout(error)) {
            return false;
        }

        // The data model: procedure 0 returns a new object whose host-facing interface (and with it
        // its IACFUnknown) is at the start of the object; the host asks it for its interface.
        void* factory = effect.FindProcPtr(0);
        if (factory == nullptr) {
            SetError(error, "the module registered no data-model factory (procedure 0)");
            return false;
        }
        IACFUnknown* made = reinterpret_cast<IACFUnknown* (*)()>(factory)();
        if (made == nullptr) {
            SetError(error, "the data-model factory returned nothing");
            return false;
        }
        void* iface = nullptr;
        if (made->QueryInterface(IID_IAAXEffectParametersV3, &iface) != ACF_OK || iface == nullptr) {
            iface = nullptr;
            if (made->QueryInterface(IID_IAAXEffectParametersV1, &iface) != ACF_OK || iface == nullptr) {
                made->AddRef();
                made->Release();
                SetError(error, "the data model answers no effect-parameters interface");
                return false;
            }
        }
        // V3 extends V1 by single inheritance, so both answers are usable as version 1.
        d.params = static_cast<AAX_IACFEffectParameters*>(iface);
        d.host = new InstanceHost(&d, false);
        const AAX_Result init = d.params->Initialize(d.host->Unknown());
        if (init != AAX_SUCCESS) {
            SetError(error, "the data model's Initialize returned " + Code(init));
            return false;
        }
        if (d.privateField >= 0) {
            // A reset answers a plug-in-defined code (the effect's reset answers -20025 by design).
            d.params->ResetFieldData(d.privateField, d.privateData.get(), d.privateSize);
            if (d.privateSize > 0 && !ByteGuardIntact(d.privateData.get() + d.privateSize)) {
                d.Problem("ResetFieldData wrote past the %u-byte private data", d.privateSize);
                std::memset(d.privateData.get() + d.privateSize, kGuardByte, kGuardBytes);
            }
        }
        return d.StartAudio(error);
    });
    if (!ok) {
        return nullptr;  // the destructor releases whatever was made
    }
    return instance;
}

int32_t MarovexInstance::StemFormat() const { return mImpl->stem; }
int32_t MarovexInstance::InputChannels() const { return mImpl->inChannels; }
int32_t MarovexInstance::OutputChannels() const { return mImpl->outChannels; }
float MarovexInstance::SampleRate() const { return mImpl->sampleRate; }
int32_t MarovexInstance::MaxBlock() const { return mImpl->maxBlock; }

bool MarovexInstance::Process(const float* const* in, float* const* out, int32_t frames, std::string* error) {
    Impl& d = *mImpl;
    if (frames < 0) {
        SetError(error, "negative frame count " + std::to_string(frames));
        return false;
    }
    if (frames > 0 && (in == nullptr || out == nullptr)) {
        SetError(error, "no channel buffers given");
        return false;
    }
    for (int32_t c = 0; frames > 0 && c < d.inChannels; ++c) {
        if (in[c] == nullptr) {
            SetError(error, "input channel " + std::to_string(c) + " has no buffer");
            return false;
        }
    }
    for (int32_t c = 0; frames > 0 && c < d.outChannels; ++c) {
        if (out[c] == nullptr) {
            SetError(error, "output channel " + std::to_string(c) + " has no buffer");
            return false;
        }
    }
    if (!d.audio.joinable() || d.audioFailed.load()) {
        SetError(error, "the audio thread is not running");
        return false;
    }
    if (d.busy.exchange(true)) {
        SetError(error, "Process was called from two threads at once");
        return false;
    }
    struct Unbusy {
        std::atomic<bool>& flag;
        ~Unbusy() { flag.store(false); }
    } unbusy{d.busy};

    return Guarded(error, "Process", [&] {
        for (int32_t offset = 0; offset < frames;) {
            const int32_t n = std::min(d.maxBlock, frames - offset);
            const AAX_Result gen = d.params->GenerateCoefficients();
            if (gen != AAX_SUCCESS && gen != d.lastGenerateResult) {
                d.Problem("GenerateCoefficients returned %d", gen);
            }
            d.lastGenerateResult = gen;
            // Packets that did not fit the ring go in after the audio thread has emptied it, so
            // everything posted before this block reaches it.
            for (int pass = 0; pass < 64 && d.FlushOverflow(); ++pass) {
                d.deliverOnly = true;
                sem_post(&d.wake);
                SemWait(&d.done);
                d.deliverOnly = false;
            }
            // The plug-in works on the host's own buffers, so callers may process in place.
            for (int32_t c = 0; c < d.inChannels; ++c) {
                std::memcpy(d.inPtrs[c], in[c] + offset, sizeof(float) * static_cast<size_t>(n));
            }
            d.blockLength = n;
            sem_post(&d.wake);
            SemWait(&d.done);
            if (d.audioFailed.load(std::memory_order_acquire)) {
                SetError(error, "the process procedure threw an exception; the instance no longer processes");
                return false;
            }
            // The plug-in reads the context, the block length and the sample rate; it writes none.
            if (std::memcmp(d.context.data(), d.contextCopy.data(), sizeof(void*) * d.context.size()) != 0 ||
                d.blockLength != n || !(d.sampleRateField == d.sampleRate)) {
                d.Problem("the process procedure changed the context, its block length or its sample rate");
                std::memcpy(d.context.data(), d.contextCopy.data(), sizeof(void*) * d.context.size());
                d.sampleRateField = d.sampleRate;
            }
            for (int32_t c = 0; c < d.outChannels; ++c) {
                float* guard = d.outPtrs[c] + d.maxBlock;
                if (!FloatGuardIntact(guard)) {
                    d.Problem("the process procedure wrote past the end of output channel %d", c);
                    ArmFloatGuard(guard);
                }
                std::memcpy(out[c] + offset, d.outPtrs[c], sizeof(float) * static_cast<size_t>(n));
            }
            if (d.privateData != nullptr && !ByteGuardIntact(d.privateData.get() + d.privateSize)) {
                d.Problem("the process procedure wrote past the %u-byte private data", d.privateSize);
                std::memset(d.privateData.get() + d.privateSize, kGuardByte, kGuardBytes);
            }
            const uint32_t lost = d.undeliverable.exchange(0);
            if (lost != 0) {
                d.Problem("%u packet(s) could not be delivered", lost);
            }
            offset += n;
        }
        return true;
    });
}

int32_t MarovexInstance::MeterCount() const { return static_cast<int32_t>(mImpl->meterIDs.size()); }

AAX_CTypeID MarovexInstance::MeterID(int32_t index) const {
    return (index >= 0 && index < MeterCount()) ? mImpl->meterIDs[static_cast<size_t>(index)] : 0;
}

float MarovexInstance::MeterValue(int32_t index) const {
    return (index >= 0 && index < MeterCount()) ? mImpl->meterValues[index].load() : 0.0f;
}

float MarovexInstance::MeterPeak(int32_t index) const {
    return (index >= 0 && index < MeterCount()) ? mImpl->meterPeaks[index].load() : 0.0f;
}

void MarovexInstance::ClearMeterPeaks() {
    // The audio thread owns the peaks while it runs; between blocks it is idle, so clearing here
    // is immediate, and the flag covers a block that is running right now.
    mImpl->clearPeaks.store(true);
    for (int32_t i = 0; i < MeterCount(); ++i) {
        mImpl->meterPeaks[i].store(0.0f);
    }
}

// ---------------------------------------------------------------------------------------------
// Parameters

int32_t MarovexInstance::ParameterCount() const {
    int32_t n = 0;
    std::string ignored;
    const bool ok = Guarded(&ignored, "GetNumberOfParameters", [&] {
        return mImpl->params->GetNumberOfParameters(&n) == AAX_SUCCESS;
    });
    return ok && n > 0 ? n : 0;
}

bool MarovexInstance::FindParameterInfo(const std::string& id, MarovexParameterInfo* info, std::string* error) const {
    return Guarded(error, "parameter query", [&] {
        AAX_IACFEffectParameters* p = mImpl->params;
        const char* cid = id.c_str();
        MarovexParameterInfo r;
        r.id = id;
        int32_t index = -1;
        if (p->GetParameterIndex(cid, &index) != AAX_SUCCESS || index < 0) {
            SetError(error, "no parameter \"" + id + "\"");
            return false;
        }
        HostString name;
        AAX_Result e = p->GetParameterName(cid, &name);
        if (e == AAX_SUCCESS) e = p->GetParameterType(cid, &r.type);
        AAX_CBoolean automatable = 0;
        if (e == AAX_SUCCESS) e = p->GetParameterIsAutomatable(cid, &automatable);
        if (e == AAX_SUCCESS) e = p->GetParameterNumberOfSteps(cid, &r.steps);
        if (e == AAX_SUCCESS) e = p->GetParameterDefaultNormalizedValue(cid, &r.defaultNormalized);
        HostString defaultText;
        if (e == AAX_SUCCESS) e = p->GetParameterStringFromValue(cid, r.defaultNormalized, &defaultText, kTextLength);
        if (e == AAX_SUCCESS) e = p->GetParameterNormalizedValue(cid, &r.normalized);
        HostString valueText;
        if (e == AAX_SUCCESS) e = p->GetParameterValueString(cid, &valueText, kTextLength);
        if (e != AAX_SUCCESS) {
            SetError(error, "the plug-in answered " + Code(e) + " about parameter \"" + id + "\"");
            return false;
        }
        r.name = name.Str();
        r.automatable = automatable != 0;
        r.defaultText = defaultText.Str();
        r.valueText = valueText.Str();
        if (info != nullptr) *info = std::move(r);
        return true;
    });
}

bool MarovexInstance::GetParameterInfo(int32_t index, MarovexParameterInfo* info, std::string* error) const {
    std::string id;
    const bool found = Guarded(error, "GetParameterIDFromIndex", [&] {
        HostString text;
        const AAX_Result r = mImpl->params->GetParameterIDFromIndex(index, &text);
        if (r != AAX_SUCCESS) {
            SetError(error, "no parameter at index " + std::to_string(index) + " (" + Code(r) + ")");
            return false;
        }
        id = text.Str();
        return true;
    });
    return found && FindParameterInfo(id, info, error);
}

bool MarovexInstance::GetParameterValue(const std::string& id, double* normalized, std::string* error) const {
    return Guarded(error, "GetParameterNormalizedValue", [&] {
        double v = 0.0;
        const AAX_Result r = mImpl->params->GetParameterNormalizedValue(id.c_str(), &v);
        if (r != AAX_SUCCESS) {
            SetError(error, "no value for parameter \"" + id + "\" (" + Code(r) + ")");
            return false;
        }
        if (normalized != nullptr) *normalized = v;
        return true;
    });
}

bool MarovexInstance::SetParameter(const std::string& id, double normalized, std::string* error) {
    if (!(normalized >= 0.0 && normalized <= 1.0)) {
        SetError(error, "normalized value " + std::to_string(normalized) + " for \"" + id + "\" is outside 0 to 1");
        return false;
    }
    return Guarded(error, "SetParameterNormalizedValue", [&] {
        int32_t index = -1;
        if (mImpl->params->GetParameterIndex(id.c_str(), &index) != AAX_SUCCESS || index < 0) {
            SetError(error, "no parameter \"" + id + "\"");
            return false;
        }
        const AAX_Result r = mImpl->params->SetParameterNormalizedValue(id.c_str(), normalized);
        if (r != AAX_SUCCESS) {
            SetError(error, "setting \"" + id + "\" was answered with " + Code(r));
            return false;
        }
        return true;
    });
}

bool MarovexInstance::SetParameterFromText(const std::string& id, const std::string& text, std::string* error) {
    double value = 0.0;
    const bool parsed = Guarded(error, "GetParameterValueFromString", [&] {
        int32_t index = -1;
        if (mImpl->params->GetParameterIndex(id.c_str(), &index) != AAX_SUCCESS || index < 0) {
            SetError(error, "no parameter \"" + id + "\"");
            return false;
        }
        const HostString host(text.c_str());
        const AAX_Result r = mImpl->params->GetParameterValueFromString(id.c_str(), &value, host);
        if (r != AAX_SUCCESS) {
            SetError(error, "\"" + text + "\" is not a value of parameter \"" + id + "\" (" + Code(r) + ")");
            return false;
        }
        return true;
    });
    return parsed && SetParameter(id, value, error);
}

// ---------------------------------------------------------------------------------------------
// State

bool MarovexInstance::CheckStateRecord(const uint8_t* data, size_t size, std::string* error) {
    if (data == nullptr || size < kAAX_ChunkHeaderSize) {
        SetError(error, "state record of " + std::to_string(size) + " bytes is shorter than its " +
                            std::to_string(kAAX_ChunkHeaderSize) + "-byte header");
        return false;
    }
    AAX_SPlugInChunkHeader header;
    std::memcpy(&header, data, sizeof header);
    if (header.mSize < 0 || static_cast<uint64_t>(header.mSize) + kAAX_ChunkHeaderSize != size) {
        SetError(error, "state record of " + std::to_string(size) + " bytes disagrees with its header (" +
                            std::to_string(kAAX_ChunkHeaderSize) + " + " + std::to_string(header.mSize) + " bytes)");
        return false;
    }
    return true;
}

namespace {

// A chunk record the plug-in may read: 8-byte aligned and never shorter than the declared record
// type, whatever the data size.
std::unique_ptr<uint64_t[]> ChunkCopy(const std::vector<uint8_t>& record) {
    const size_t bytes = std::max(record.size(), sizeof(AAX_SPlugInChunk));
    std::unique_ptr<uint64_t[]> copy(new uint64_t[(bytes + 7) / 8]());
    std::memcpy(copy.get(), record.data(), record.size());
    return copy;
}

}  // namespace

bool MarovexInstance::SaveState(std::vector<uint8_t>* record, std::string* error) {
    return Guarded(error, "SaveState", [&] {
        AAX_IACFEffectParameters* p = mImpl->params;
        int32_t chunks = 0;
        AAX_Result r = p->GetNumberOfChunks(&chunks);
        if (r != AAX_SUCCESS || chunks < 1) {
            SetError(error, "the plug-in offers no state chunk");
            return false;
        }
        AAX_CTypeID id = 0;
        r = p->GetChunkIDFromIndex(0, &id);
        if (r != AAX_SUCCESS) {
            SetError(error, "GetChunkIDFromIndex answered " + Code(r));
            return false;
        }
        uint32_t size = 0;
        r = p->GetChunkSize(id, &size);
        if (r != AAX_SUCCESS || size > kMaxChunkSize) {
            SetError(error, "GetChunkSize answered " + Code(r) + " with " + std::to_string(size) + " bytes");
            return false;
        }
        // Room for the announced size, plus guard bytes that show a write past it.
        const size_t total = kAAX_ChunkHeaderSize + size;
        std::vector<uint8_t> buffer(std::max(total, sizeof(AAX_SPlugInChunk)) + kGuardBytes, kGuardByte);
        std::memset(buffer.data(), 0, total);
        std::unique_ptr<uint64_t[]> aligned = ChunkCopy(buffer);
        auto* chunk = reinterpret_cast<AAX_SPlugInChunk*>(aligned.get());
        chunk->mSize = static_cast<int32_t>(size);
        chunk->mChunkID = id;
        r = p->GetChunk(id, chunk);
        if (r != AAX_SUCCESS) {
            SetError(error, "GetChunk answered " + Code(r));
            return false;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(aligned.get());
        if (!ByteGuardIntact(bytes + buffer.size() - kGuardBytes)) {
            mImpl->Problem("GetChunk wrote past the %u bytes it announced", size);
        }
        if (chunk->mSize < 0 || static_cast<uint32_t>(chunk->mSize) > size) {
            SetError(error, "GetChunk wrote a data size of " + std::to_string(chunk->mSize) + " bytes, " +
                                std::to_string(size) + " were announced");
            return false;
        }
        record->assign(bytes, bytes + kAAX_ChunkHeaderSize + static_cast<size_t>(chunk->mSize));
        auto* header = reinterpret_cast<AAX_SPlugInChunkHeader*>(record->data());
        std::memset(header->mReserved, 0, sizeof header->mReserved);
        header->mChunkID = id;
        return true;
    });
}

bool MarovexInstance::LoadState(const std::vector<uint8_t>& record, std::string* error) {
    if (!CheckStateRecord(record.data(), record.size(), error)) {
        return false;
    }
    return Guarded(error, "SetChunk", [&] {
        std::unique_ptr<uint64_t[]> copy = ChunkCopy(record);
        const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(copy.get());
        const AAX_Result r = mImpl->params->SetChunk(chunk->mChunkID, chunk);
        if (r != AAX_SUCCESS) {
            SetError(error, "the plug-in refused the state (SetChunk answered " + Code(r) + ")");
            return false;
        }
        return true;
    });
}

bool MarovexInstance::CompareState(const std::vector<uint8_t>& record, bool* equal, std::string* error) {
    if (!CheckStateRecord(record.data(), record.size(), error)) {
        return false;
    }
    return Guarded(error, "CompareActiveChunk", [&] {
        std::unique_ptr<uint64_t[]> copy = ChunkCopy(record);
        const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(copy.get());
        AAX_CBoolean same = 0;
        const AAX_Result r = mImpl->params->CompareActiveChunk(chunk, &same);
        if (r != AAX_SUCCESS) {
            SetError(error, "CompareActiveChunk answered " + Code(r));
            return false;
        }
        if (equal != nullptr) *equal = same != 0;
        return true;
    });
}

bool MarovexInstance::SaveStateFile(const std::string& path, std::string* error) {
    std::vector<uint8_t> record;
    if (!SaveState(&record, error)) {
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    file.close();
    if (!file) {
        SetError(error, "cannot write state file " + path);
        return false;
    }
    return true;
}

bool MarovexInstance::LoadStateFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        SetError(error, "cannot open state file " + path);
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    if (length < 0 || static_cast<uint64_t>(length) > kMaxChunkSize + kAAX_ChunkHeaderSize) {
        SetError(error, "state file " + path + " is not a state record of a usable size");
        return false;
    }
    file.seekg(0, std::ios::beg);
    std::vector<uint8_t> record(static_cast<size_t>(length));
    file.read(reinterpret_cast<char*>(record.data()), length);
    if (!file) {
        SetError(error, "cannot read state file " + path);
        return false;
    }
    return LoadState(record, error);
}

// ---------------------------------------------------------------------------------------------
// Diagnostics

AAX_IACFEffectParameters* MarovexInstance::EffectParameters() const { return mImpl->params; }

IACFUnknown* MarovexInstance::HostObject() const { return mImpl->host ? mImpl->host->Unknown() : nullptr; }

int32_t MarovexInstance::OpenTouchCount() const {
    std::lock_guard<std::mutex> lock(mImpl->automationMutex);
    int32_t n = 0;
    for (const auto& t : mImpl->touches) n += t.second;
    return n;
}

bool MarovexInstance::IsRegisteredParameter(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mImpl->automationMutex);
    return mImpl->registered.count(id) != 0;
}

uint32_t MarovexInstance::AudioThreadMxcsr() const { return mImpl->mxcsr.load(); }
uint64_t MarovexInstance::PacketsDelivered() const { return mImpl->delivered.load(); }
uint64_t MarovexInstance::BlocksProcessed() const { return mImpl->blocks.load(); }
int32_t MarovexInstance::ProblemCount() const { return mImpl->problems.load(); }

// ---------------------------------------------------------------------------------------------
// Editor objects

struct MarovexGui::Impl {
    std::shared_ptr<MarovexModule> module;  // released last
    MarovexInstance::Impl* core = nullptr;
    InstanceHost* host = nullptr;
    AAX_IACFEffectGUI* gui = nullptr;
    AAX_Result initResult = AAX_SUCCESS;
};

MarovexGui::MarovexGui() : mImpl(new Impl) {}

MarovexGui::~MarovexGui() {
    Impl& d = *mImpl;
    if (d.core != nullptr && d.gui != nullptr) {
        std::lock_guard<std::mutex> lock(d.core->guiMutex);
        auto& v = d.core->guis;
        v.erase(std::remove(v.begin(), v.end(), d.gui), v.end());
    }
    if (d.gui != nullptr) {
        try {
            d.gui->Uninitialize();
            d.gui->Release();
        } catch (...) {
            Report("an exception escaped the plug-in while its editor object was released");
        }
        d.gui = nullptr;
    }
    if (d.host != nullptr) {
        d.host->Detach();
        if (d.host->Refs() != 1) {
            Report("plug-in kept %u reference(s) to the editor's host object", d.host->Refs() - 1);
        }
        d.host->Release();
    }
}

AAX_IACFEffectGUI* MarovexGui::Interface() const { return mImpl->gui; }
AAX_Result MarovexGui::InitializeResult() const { return mImpl->initResult; }

std::unique_ptr<MarovexGui> MarovexInstance::CreateGui(std::string* error) {
    std::unique_ptr<MarovexGui> gui;
    const bool ok = Guarded(error, "editor creation", [&] {
        void* factory = mImpl->module->Effect()->FindProcPtr(1);
        if (factory == nullptr) {
            SetError(error, "the module registered no editor factory (procedure 1)");
            return false;
        }
        IACFUnknown* made = reinterpret_cast<IACFUnknown* (*)()>(factory)();
        if (made == nullptr) {
            SetError(error, "the editor factory returned nothing");
            return false;
        }
        void* iface = nullptr;
        if (made->QueryInterface(IID_IAAXEffectGUIV1, &iface) != ACF_OK || iface == nullptr) {
            made->AddRef();
            made->Release();
            SetError(error, "the editor object answers no editor interface");
            return false;
        }
        gui.reset(new MarovexGui());
        MarovexGui::Impl& g = *gui->mImpl;
        g.module = mImpl->module;
        g.core = mImpl.get();
        g.gui = static_cast<AAX_IACFEffectGUI*>(iface);
        g.host = new InstanceHost(mImpl.get(), true);
        g.initResult = g.gui->Initialize(g.host->Unknown());
        if (g.initResult != AAX_SUCCESS) {
            SetError(error, "the editor's Initialize returned " + Code(g.initResult));
            return false;
        }
        std::lock_guard<std::mutex> lock(mImpl->guiMutex);
        mImpl->guis.push_back(g.gui);
        return true;
    });
    if (!ok) {
        return nullptr;
    }
    return gui;
}
