// What one instance's units share (not part of the public API): the engine, the data model behind
// its lock, the automation bookkeeping, the editors that hear of parameter changes, and the host
// object the plug-in sees.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AAX_IACFEffectGUI.h"
#include "AAX_IACFEffectParameters.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_IController.h"
#include "AAX_ITransport.h"
#include "AudioThread.h"
#include "HostInternal.h"
#include "InstanceEngine.h"
#include "MarovexHost.h"

namespace marovex_host {

struct InstanceCore;

// Runs a host operation that calls into the plug-in: an exception from the plug-in (which must not
// throw across its interfaces) or an allocation failure becomes a false result and a reason.
// Writes a reason without letting an allocation failure escape.
inline void SetReason(std::string* error, const char* prefix, const char* what) noexcept {
    if (error == nullptr) return;
    try {
        *error = std::string(prefix) + what;
    } catch (...) {
    }
}

// Runs a host operation that calls into the plug-in: an exception from the plug-in (which must not
// throw across its interfaces) or an allocation failure becomes a false result and a reason.
template <class F>
bool Guarded(std::string* error, const char* what, F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        SetReason(error, "out of memory in ", what);
    } catch (...) {
        SetReason(error, "an exception escaped the plug-in in ", what);
    }
    return false;
}

inline void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) *error = text;
}

inline std::string Code(AAX_Result r) { return std::to_string(r); }

// The host object an instance's data model (and each editor) is initialised with: controller,
// automation delegate and transport; for an editor also the data model's interface. It refers to
// the instance without owning it and is detached when the instance goes, so a reference the plug-in
// keeps too long answers -20004 instead of touching freed memory.
//
// Threading: every operation may be called from any non-audio thread. A call that overlaps the
// destruction of its instance is outside the contract; a call after it is refused.
class InstanceHost final : public AAX_IACFController_V2,
                           public AAX_IACFAutomationDelegate,
                           public AAX_IACFTransport_V2 {
public:
    InstanceHost(InstanceCore* core, bool answersEffectParameters)
        : mCore(core), mAnswersEffectParameters(answersEffectParameters) {}

    IACFUnknown* Unknown() { return static_cast<AAX_IACFController_V2*>(this); }
    void Detach() { mCore.store(nullptr); }
    uint32_t Refs() const { return mRefs.Get(); }
    // From now on GetCurrentMeterValue reports `value` for every meter (a picture of the editor at a
    // chosen reading); NaN returns to the meters' real values.
    void OverrideMeters(float value) { mMeterOverride.store(value); }

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override;
    uint32_t AddRef() override { return mRefs.Add(); }
    uint32_t Release() override {
        const uint32_t n = mRefs.Drop();
        if (n == 0) delete this;
        return n;
    }

    // Controller.
    AAX_Result GetEffectID(AAX_IString* effectID) const override;
    AAX_Result GetSampleRate(float* sampleRate) const override;
    AAX_Result GetInputStemFormat(AAX_EStemFormat* format) const override;
    AAX_Result GetOutputStemFormat(AAX_EStemFormat* format) const override;
    AAX_Result GetSignalLatency(int32_t* samples) const override;
    AAX_Result SetSignalLatency(int32_t samples) override;
    AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) override;
    AAX_Result GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const override;
    AAX_Result GetMeterPeakValue(AAX_CTypeID meterID, float* value) const override;
    AAX_Result ClearMeterPeakValue(AAX_CTypeID meterID) const override;
    AAX_Result GetMeterCount(uint32_t* count) const override;
    AAX_Result GetHostName(AAX_IString* name) const override;
    AAX_Result SendNotification(AAX_CTypeID, const void*, uint32_t) override { return AAX_SUCCESS; }

    // Automation delegate.
    AAX_Result RegisterParameter(AAX_CParamID id) override;
    AAX_Result UnregisterParameter(AAX_CParamID id) override;
    AAX_Result PostSetValueRequest(AAX_CParamID id, double normalizedValue) const override;
    AAX_Result PostCurrentValue(AAX_CParamID id, double normalizedValue) const override;
    AAX_Result PostTouchRequest(AAX_CParamID id) override;
    AAX_Result PostReleaseRequest(AAX_CParamID id) override;
    AAX_Result GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) override;

    // Transport: this host has no timeline; it is stopped at position 0 with 120 beats per minute.
    AAX_Result GetCurrentTempo(double* bpm) const override;
    AAX_Result IsTransportPlaying(bool* isPlaying) const override;
    AAX_Result GetCurrentNativeSampleLocation(int64_t* sampleLocation) const override;
    AAX_Result IsMetronomeEnabled(int32_t* isEnabled) const override;

private:
    ~InstanceHost() = default;
    RefCount mRefs;
    std::atomic<InstanceCore*> mCore;
    const bool mAnswersEffectParameters;
    std::atomic<float> mMeterOverride{__builtin_nanf("")};
};

// The editors of one instance, shared by the instance and its editor objects so that either may go
// first. The instance closes it at shutdown: every editor's host object is then detached. An editor
// object that closes waits until no other thread is inside a notification of it.
struct EditorRegistry {
    struct Entry {
        AAX_IACFEffectGUI* gui = nullptr;
        InstanceHost* host = nullptr;
        std::vector<std::thread::id> notifying;  // threads inside ParameterUpdated of this editor
    };
    std::mutex mutex;
    std::condition_variable idle;
    std::vector<std::shared_ptr<Entry>> entries;
    bool closed = false;
};

// Which parameters the plug-in registered and touched.
struct Automation {
    mutable std::mutex mutex;
    std::set<std::string> registered;
    std::map<std::string, int32_t> touches;
};

struct InstanceCore {
    std::shared_ptr<MarovexModule> module;  // first member: released last

    MarovexComponentDescription component;
    std::string effectID;
    int32_t stem = 0;
    int32_t outStem = 0;
    int32_t inChannels = 0;
    int32_t outChannels = 0;
    std::atomic<int32_t> latency{0};

    Engine engine;
    AudioThread audioThread;

    // The data model (one reference) and the lock that serialises every host call into it. The
    // processing path never takes it. Recursive: the plug-in calls back into the host (a set
    // request) from inside a call the host made under the lock.
    AAX_IACFEffectParameters* params = nullptr;
    std::recursive_mutex modelMutex;
    AAX_Result lastGenerateResult = AAX_SUCCESS;

    InstanceHost* host = nullptr;
    Automation automation;
    std::shared_ptr<EditorRegistry> editors = std::make_shared<EditorRegistry>();

    // A problem the plug-in caused: counted, and reported (see Report). Never on the audio thread.
    void Problem(const char* where, const char* action, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // Writes the reports of the problems the processing side has flagged since the last call.
    void ReportEngineProblems();

    // The host's answer to a set request: the value goes back to the data model as an update, the
    // editors hear of it, and the changed packets are dispatched.
    AAX_Result SetRequest(const char* id, double value);
    // GenerateCoefficients under the model lock; a failure is reported once per change of result.
    void Dispatch();
    void NotifyEditors(const char* id);
    void Shutdown();
};

}  // namespace marovex_host
