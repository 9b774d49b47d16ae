// The LV2 plug-ins (mono and stereo): a host of our module inside another host.
//
// Each LV2 instance loads the module that the bundle carries (Contents/x86_64-linux/Marovex.so beside
// this library), creates one instance of it through the host library and drives it as the marovex
// program does: control-port changes become parameter edits through the data model's normal path,
// the instance delivers the resulting packets into its context before the block and runs the process
// procedure in the caller's thread, and the meter's latest value goes to the meter port.
//
// Threading (LV2's classes): instantiate, activate, deactivate, restore and cleanup come from the
// host's control thread, never during run or work; run comes from its audio thread; save and work
// may run while run does. The instance serialises its data-model calls with a lock of its own.
//
// Where the edits are made:
// - With the host's worker (work:schedule), run only compares the ports with the values it last
//   handed on and schedules each changed one as a 12-byte message; the host's worker thread calls
//   work, which makes the edit. Its packets reach the mailboxes and a later block, as edits made
//   by our own program's user interface do. run itself then never allocates, locks or calls the
//   system. activate makes the edits of ports set before it at once, so values a host sets before
//   processing starts hold from the first block on.
// - Without a worker (lv2apply and other offline tools offer none), run makes the edits itself
//   before the block, so each lands exactly at the block it was set for and an offline render is
//   reproducible. That path allocates nothing, and the two locks it passes (the model's and the
//   packet posting one) are never contended: nothing else edits this instance's model, and run and
//   save share a gate that run only tries (an edit that finds save busy is made in the next run).
//
// No feature is required: without urid:map there is no state, without options the longest block is
// kDefaultMaxBlock (longer runs are cut into blocks of that length inside the instance). Features
// and options are read as Lv2Features.h describes, so that no array a host hands over can crash it;
// every entry point tolerates a null handle and the other things hosts are seen to pass.
//
// save composes the chunk from the data model and the control ports as they are at that moment:
// a port the model has not been given yet (run has not seen it, or its edit waits for the worker)
// is applied, through the normal edit path, to a scratch model loaded with the processing model's
// state, and the scratch model's chunk is saved. The processing model, and so every render, is left
// exactly as run and the worker make it, and nothing run reads is written outside run's own rules.
#include <xmmintrin.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "Lv2Features.h"
#include "Lv2Module.h"
#include "Lv2Ports.h"
#include "MarovexHost.h"

namespace {

using namespace marovex_lv2;

constexpr int32_t kDefaultMaxBlock = 4096;
constexpr int32_t kLargestMaxBlock = 1 << 20;
// MXCSR: flush-to-zero (bit 15) and denormals-are-zero (bit 6).
constexpr unsigned kFtzDaz = 0x8040;

void Say(const char* what, const std::string& why) { std::fprintf(stderr, "Marovex LV2: %s: %s\n", what, why.c_str()); }

// What run hands the worker: one port's new value.
struct EditMessage {
    uint32_t generation;
    uint32_t port;
    float value;
};
static_assert(sizeof(EditMessage) == 12, "a worker message is three 32-bit words");

struct Plugin {
    uint32_t channels = 0;
    float sampleRate = 0.0f;
    int32_t maxBlock = kDefaultMaxBlock;
    std::shared_ptr<MarovexModule> module;
    std::unique_ptr<MarovexInstance> instance;

    const float* controls[kParameterCount] = {};
    float* meter = nullptr;
    const float* in[2] = {};
    float* out[2] = {};

    // The port values the instance was last given (or that a restored state stands for); a port that
    // differs from its entry is an edit. Written by run (with the worker, outside the gate), read by
    // save: atomic, relaxed except where save needs run's order.
    std::atomic<float> applied[kParameterCount] = {};
    // The identifiers as the host library takes them, built once so that edits allocate nothing.
    std::string ids[kParameterCount];

    // Held by run while it edits (without a worker) and by save while it reads the state: run never
    // waits for it (an edit that finds it taken is made in the next run), so the instance's model
    // lock that both take is never contended on the audio thread.
    std::atomic<bool> modelGate{false};

    // The host's worker (a copy of its schedule record), when it offers one. A scheduled edit carries
    // the generation it was made in: activate and restore start a new one, and work drops what an
    // older one scheduled (activate makes the edits of its ports itself, restore's state stands for
    // the ports as they are).
    bool hasWorker = false;
    LV2_Worker_Schedule worker{};
    // The host's log (log:log), when it offers one with urid:map: work traces each edit it makes
    // (jalv prints traces with -t).
    bool hasLog = false;
    LV2_Log_Log log{};
    LV2_URID traceType = 0;
    std::atomic<uint32_t> generation{0};
    // Per port, edits scheduled in this generation that work has not made yet (run adds, work takes
    // away): activate makes them itself, since their messages are dropped.
    std::atomic<int32_t> inFlight[kParameterCount] = {};

    // save's own: one save at a time, and the model it composes a chunk on when ports are pending
    // (made at the first such save; never processes).
    std::mutex saveLock;
    std::unique_ptr<MarovexInstance> scratch;

    LV2_URID chunkKey = 0;
    LV2_URID atomChunk = 0;
    bool activatedBefore = false;

    bool Create(std::string* error) {
        instance = MarovexInstance::Create(module, channels == 2 ? AAX_eStemFormat_Stereo : AAX_eStemFormat_Mono,
                                           sampleRate, maxBlock, error);
        if (!instance) return false;
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            ids[i] = kParameterSymbols[i];
            double value = 0.0;
            if (!instance->GetParameterValue(ids[i], &value, error)) return false;
            applied[i].store(i == kEnabledPort ? EnabledFromBypass(value) : float(value), std::memory_order_relaxed);
        }
        return true;
    }

    // The normalized value a port value stands for.
    static double Normalized(uint32_t port, float v) {
        return port == kEnabledPort ? BypassFromEnabled(v) : v < 0.0f ? 0.0 : v > 1.0f ? 1.0 : double(v);
    }

    // The edit a port value stands for, through the data model's normal path. Not the audio thread,
    // unless there is no worker.
    void Edit(uint32_t port, float v) { instance->SetParameter(ids[port], Normalized(port, v), nullptr); }

    // True (and *v) when the port is connected, holds a number and differs from `applied`.
    bool Changed(uint32_t port, float* v) const {
        if (controls[port] == nullptr) return false;
        *v = *controls[port];
        return *v != applied[port].load(std::memory_order_relaxed) && !std::isnan(*v);
    }

    // save's question (any thread, with the gate held): true (and *v) when the port holds a number
    // that the model does not hold yet: run has not seen it, or its edit has not been made by the
    // worker. An edit that work has made is in the model before inFlight drops (release there).
    bool Pending(uint32_t port, float* v) const {
        if (controls[port] == nullptr) return false;
        *v = *controls[port];
        if (std::isnan(*v)) return false;
        return *v != applied[port].load(std::memory_order_acquire) ||
               inFlight[port].load(std::memory_order_acquire) != 0;
    }

    // Turns changed control ports into parameter edits at once. Audio thread without a worker.
    void ApplyControls() {
        float v;
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            if (!Changed(i, &v)) continue;
            Edit(i, v);
            applied[i].store(v, std::memory_order_relaxed);
        }
    }

    // Hands changed control ports to the worker. Audio thread: no allocation, lock or system call
    // here (what schedule_work does is the host's). A port the worker has no room for is tried again
    // in the next run.
    void ScheduleControls() {
        float v;
        const uint32_t now = generation.load(std::memory_order_relaxed);
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            if (!Changed(i, &v)) continue;
            const EditMessage m{now, i, v};
            inFlight[i].fetch_add(1, std::memory_order_relaxed);
            if (worker.schedule_work(worker.handle, sizeof m, &m) != LV2_WORKER_SUCCESS) {
                inFlight[i].fetch_sub(1, std::memory_order_relaxed);
                break;
            }
            // Release: a save that sees the new value also sees the edit counted in flight.
            applied[i].store(v, std::memory_order_release);
        }
    }

    // Control thread (activate, restore; no run meanwhile): drops the scheduled edits not yet made
    // (their ports count as changed again). With makeThem, makes the edits of every changed port
    // itself, so that they hold from the next block on.
    void SettleEdits(bool makeThem) {
        generation.fetch_add(1, std::memory_order_relaxed);
        float v;
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            if (inFlight[i].exchange(0, std::memory_order_relaxed) != 0) {
                applied[i].store(NAN, std::memory_order_relaxed);
            }
            if (makeThem && Changed(i, &v)) {
                Edit(i, v);
                applied[i].store(v, std::memory_order_relaxed);
            }
        }
    }
};

// The longest block from the host's options (buf-size's maxBlockLength, else nominalBlockLength), or
// 0. The records are read as Lv2Features.h describes.
int32_t BlockLengthFromOptions(const void* options, const LV2_URID_Map& map) {
    const LV2_URID atomInt = map.map(map.handle, LV2_ATOM__Int);
    int32_t maxLength = 0, nominal = 0;
    ReadOption(options, map.map(map.handle, LV2_BUF_SIZE__maxBlockLength), atomInt, &maxLength, sizeof maxLength);
    ReadOption(options, map.map(map.handle, LV2_BUF_SIZE__nominalBlockLength), atomInt, &nominal, sizeof nominal);
    return maxLength > 0 ? maxLength : nominal > 0 ? nominal : 0;
}

LV2_Handle Instantiate(uint32_t channels, double rate, const char* bundlePath, const LV2_Feature* const* features) {
    try {
        auto p = std::make_unique<Plugin>();
        p->channels = channels;
        if (!(rate > 0.0) || !(rate < 1e7)) {
            Say("instantiate", "unusable sample rate " + std::to_string(rate));
            return nullptr;
        }
        p->sampleRate = float(rate);

        enum { kMap, kOptions, kLog, kWorker, kWanted };
        WantedFeature wanted[kWanted] = {
            {LV2_URID__map}, {LV2_OPTIONS__options}, {LV2_LOG__log}, {LV2_WORKER__schedule}};
        FindFeatures(features, wanted, kWanted);
        // Each record is copied, and one without its function counts as not offered.
        LV2_URID_Map map{};
        const bool hasMap = CopyFromHost(&map, wanted[kMap].data, sizeof map) && map.map != nullptr;
        p->hasWorker = CopyFromHost(&p->worker, wanted[kWorker].data, sizeof p->worker) &&
                       p->worker.schedule_work != nullptr;
        p->hasLog = hasMap && CopyFromHost(&p->log, wanted[kLog].data, sizeof p->log) && p->log.printf != nullptr;
        if (hasMap) {
            if (p->hasLog) p->traceType = map.map(map.handle, LV2_LOG__Trace);
            p->chunkKey = map.map(map.handle, kChunkKeyUri);
            p->atomChunk = map.map(map.handle, LV2_ATOM__Chunk);
            const void* options = wanted[kOptions].data;
            const int32_t chosen = options != nullptr ? BlockLengthFromOptions(options, map) : 0;
            if (chosen > 0) p->maxBlock = chosen < kLargestMaxBlock ? chosen : kLargestMaxBlock;
        }

        std::string error;
        p->module = SharedModule(bundlePath, &error);
        if (!p->module) {
            Say("cannot load the module", error);
            return nullptr;
        }
        if (!p->Create(&error)) {
            Say("cannot create an instance", error);
            return nullptr;
        }
        return p.release();
    } catch (const std::exception& e) {
        Say("instantiate", e.what());
        return nullptr;
    } catch (...) {
        return nullptr;
    }
}

// One per descriptor, so that nothing of the descriptor the host passes back needs to be read.
LV2_Handle InstantiateStereo(const LV2_Descriptor*, double rate, const char* bundlePath,
                             const LV2_Feature* const* features) {
    return Instantiate(2, rate, bundlePath, features);
}
LV2_Handle InstantiateMono(const LV2_Descriptor*, double rate, const char* bundlePath,
                           const LV2_Feature* const* features) {
    return Instantiate(1, rate, bundlePath, features);
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
    if (handle == nullptr) return;
    Plugin& p = *static_cast<Plugin*>(handle);
    if (port < kParameterCount) {
        p.controls[port] = static_cast<const float*>(data);
    } else if (port == kMeterPort) {
        p.meter = static_cast<float*>(data);
    } else if (port < PortCount(p.channels)) {
        const uint32_t a = port - kFirstAudioPort;
        if (a < p.channels) p.in[a] = static_cast<const float*>(data);
        else p.out[a - p.channels] = static_cast<float*>(data);
    }
}

// A fresh instance in place of the running one, with the same settings.
void Restart(Plugin& p) {
    try {
        std::vector<uint8_t> record;
        double bypass = 0.0;
        std::string error;
        if (!p.instance->SaveState(&record, &error) || !p.instance->GetParameterValue(kBypassId, &bypass, &error)) {
            Say("activate", error);
            return;
        }
        std::unique_ptr<MarovexInstance> old = std::move(p.instance);
        if (!p.Create(&error) || !p.instance->LoadState(record, &error) ||
            !p.instance->SetParameter(kBypassId, bypass, &error)) {
            Say("activate: the instance keeps running un-reset", error);
            p.instance = std::move(old);
            return;
        }
        old.reset();
        // The new instance holds what the old one held: the same ports count as applied.
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            double value = 0.0;
            if (p.instance->GetParameterValue(p.ids[i], &value, nullptr)) {
                const float v = i == kEnabledPort ? EnabledFromBypass(value) : float(value);
                p.applied[i].store(v, std::memory_order_relaxed);
            }
        }
    } catch (...) {
        Say("activate", "out of memory");
    }
}

// A second activation starts from a fresh instance (as LV2 asks of activate) that keeps the settings.
// Either way, the ports set since the last run become edits now, before the first block.
void Activate(LV2_Handle handle) {
    if (handle == nullptr) return;
    Plugin& p = *static_cast<Plugin*>(handle);
    if (p.activatedBefore) Restart(p);
    p.activatedBefore = true;
    p.SettleEdits(true);
}

// Also before activate and after deactivate (hosts do both). An audio port left unconnected (or
// connected to null) means no processing: the outputs that are connected get silence rather than
// whatever the host's buffer held.
void Run(LV2_Handle handle, uint32_t frames) {
    if (handle == nullptr) return;
    Plugin& p = *static_cast<Plugin*>(handle);
    const unsigned callerMxcsr = _mm_getcsr();
    _mm_setcsr(callerMxcsr | kFtzDaz);
    if (p.hasWorker) {
        p.ScheduleControls();
    } else if (!p.modelGate.exchange(true, std::memory_order_acquire)) {
        p.ApplyControls();
        p.modelGate.store(false, std::memory_order_release);
    }
    bool connected = true;
    for (uint32_t c = 0; c < p.channels; ++c) connected = connected && p.in[c] != nullptr && p.out[c] != nullptr;
    if (connected && frames > 0) {
        const uint32_t n = frames < uint32_t(INT32_MAX) ? frames : uint32_t(INT32_MAX);
        p.instance->ProcessInCaller(p.in, p.out, int32_t(n));
    } else if (!connected) {
        for (uint32_t c = 0; c < p.channels; ++c) {
            if (p.out[c] != nullptr) std::memset(p.out[c], 0, size_t(frames) * sizeof(float));
        }
    }
    if (p.meter != nullptr) *p.meter = p.instance->MeterValue(0);
    _mm_setcsr(callerMxcsr);
}

void Deactivate(LV2_Handle) {}

void Cleanup(LV2_Handle handle) {
    if (handle == nullptr) return;
    Plugin* p = static_cast<Plugin*>(handle);
    p->scratch.reset();
    p->instance.reset();  // before the module reference goes
    delete p;
}

// The chunk record for the model's state with the pending ports applied (see the top of this file).
// Any non-audio thread, also while run runs.
bool ComposeChunk(Plugin& p, std::vector<uint8_t>* record, std::string* error) {
    float pending[kParameterCount];
    bool isPending[kParameterCount] = {};
    bool any = false;
    // The gate keeps run's own edits (without a worker) out while the ports are compared and the
    // state is read; with a worker, the edits that work makes are ordered by inFlight (Pending).
    while (p.modelGate.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        if (i == kEnabledPort) continue;  // the bypass is not stored
        isPending[i] = p.Pending(i, &pending[i]);
        any = any || isPending[i];
    }
    const bool saved = p.instance->SaveState(record, error);
    p.modelGate.store(false, std::memory_order_release);
    if (!saved || !any) return saved;
    if (!p.scratch) {
        p.scratch = MarovexInstance::CreateWithoutSampleRate(
            p.module, p.channels == 2 ? AAX_eStemFormat_Stereo : AAX_eStemFormat_Mono, 64, error);
        if (!p.scratch) return false;
    }
    if (!p.scratch->LoadState(*record, error)) return false;
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        if (isPending[i] && !p.scratch->SetParameter(p.ids[i], Plugin::Normalized(i, pending[i]), error)) return false;
    }
    return p.scratch->SaveState(record, error);
}

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle storeHandle, uint32_t,
                      const LV2_Feature* const*) {
    if (handle == nullptr || store == nullptr) return LV2_STATE_ERR_UNKNOWN;
    Plugin& p = *static_cast<Plugin*>(handle);
    if (p.chunkKey == 0) return LV2_STATE_ERR_NO_FEATURE;
    try {
        std::lock_guard<std::mutex> saving(p.saveLock);
        std::vector<uint8_t> record;
        std::string error;
        if (!ComposeChunk(p, &record, &error)) {
            Say("save", error);
            return LV2_STATE_ERR_UNKNOWN;
        }
        // The record's header is in host byte order: plain data, not portable across byte orders.
        return store(storeHandle, p.chunkKey, record.data(), record.size(), p.atomChunk, LV2_STATE_IS_POD);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

// A missing property keeps the settings; a value of another type, or a record the host library's
// checks refuse (short, or its size disagreeing with its header), changes nothing and fails.
LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle retrieveHandle,
                         uint32_t, const LV2_Feature* const*) {
    if (handle == nullptr || retrieve == nullptr) return LV2_STATE_ERR_UNKNOWN;
    Plugin& p = *static_cast<Plugin*>(handle);
    if (p.chunkKey == 0) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* data = retrieve(retrieveHandle, p.chunkKey, &size, &type, &flags);
    if (data == nullptr) return LV2_STATE_SUCCESS;  // nothing of ours saved: keep the settings
    if (type != p.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
    try {
        const auto* bytes = static_cast<const uint8_t*>(data);
        std::string error;
        // Edits scheduled before must not land after the state (their ports are sent again unless
        // the state takes them over below).
        p.SettleEdits(false);
        if (!p.instance->LoadState(std::vector<uint8_t>(bytes, bytes + size), &error)) {
            Say("restore", error);
            return LV2_STATE_ERR_UNKNOWN;
        }
        // The restored values stand for the ports as they are now: only a later port change edits
        // them again (hosts that set the ports from their own copy set the same values).
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            if (i == kEnabledPort) continue;  // not part of the chunk
            double value = 0.0;
            if (p.controls[i] != nullptr) {
                p.applied[i].store(*p.controls[i], std::memory_order_relaxed);
            } else if (p.instance->GetParameterValue(p.ids[i], &value, nullptr)) {
                p.applied[i].store(float(value), std::memory_order_relaxed);
            }
        }
        return LV2_STATE_SUCCESS;
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const LV2_State_Interface kStateInterface = {Save, Restore};

// The host's worker thread: makes the edit run scheduled, unless activate or restore came since.
LV2_Worker_Status Work(LV2_Handle handle, LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle, uint32_t size,
                       const void* data) {
    if (handle == nullptr) return LV2_WORKER_ERR_UNKNOWN;
    Plugin& p = *static_cast<Plugin*>(handle);
    EditMessage m;
    if (size != sizeof m || data == nullptr) return LV2_WORKER_ERR_UNKNOWN;
    std::memcpy(&m, data, sizeof m);
    if (m.port >= kParameterCount) return LV2_WORKER_ERR_UNKNOWN;
    if (m.generation != p.generation.load(std::memory_order_relaxed)) return LV2_WORKER_SUCCESS;
    p.Edit(m.port, m.value);
    if (p.hasLog) {
        p.log.printf(p.log.handle, p.traceType, "Marovex: %s = %f\n", kParameterSymbols[m.port], double(m.value));
    }
    // Release: the edit is in the model before a save can see it is no longer in flight.
    p.inFlight[m.port].fetch_sub(1, std::memory_order_release);
    return LV2_WORKER_SUCCESS;
}

// Work never responds, and nothing waits for the end of a run.
LV2_Worker_Status WorkResponse(LV2_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; }
LV2_Worker_Status EndRun(LV2_Handle) { return LV2_WORKER_SUCCESS; }

const LV2_Worker_Interface kWorkerInterface = {Work, WorkResponse, EndRun};

const void* ExtensionData(const char* uri) {
    if (uri == nullptr) return nullptr;
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &kWorkerInterface;
    // For the user-interface library of this bundle: this library's module, so that the plug-in
    // and its user interface share one loaded module in a process.
    if (std::strcmp(uri, kSharedModuleUri) == 0) return ModuleSharing();
    return nullptr;
}

const LV2_Descriptor kDescriptors[2] = {
    {kStereoUri, InstantiateStereo, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
    {kMonoUri, InstantiateMono, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index < 2 ? &kDescriptors[index] : nullptr;
}
