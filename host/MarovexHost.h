// The Marovex host library: loads a plug-in module through its seven entry points, records what the
// module describes, and runs instances of it the way a workstation does (data model, algorithm
// context, packets, meters, parameters, state, editor objects). This header is the one way in.
//
// The library never includes the plug-in's own code; everything it knows of the plug-in comes across
// the boundary through the shared interfaces. No function of this header throws: failures are
// reported through a `std::string* error` output (may be null) and a false / null result, or a
// status code. Problems the plug-in causes (a packet for an undeclared field, an oversized packet, a
// write past a buffer, an unbalanced touch ...) are counted and reported through the one reporter of
// MarovexReport.h (by default "marovex: <where>: <what>; <action>" lines on standard error), never from
// the processing path: what processing finds is reported by the next non-processing call of the
// instance that reports (Process, StopAudioThread, ProblemCount, destruction).
//
// THREADING CONTRACT
// - Processing. An instance is processed in one of two ways, with the same output bits:
//   * in the caller's thread: ProcessInCaller() (real-time safe: it delivers pending packets, runs
//     the process procedure block by block, publishes the meters and returns; no allocation, lock,
//     blocking, logging or I/O) or Process() (the same, plus a reason text and reports on failure);
//   * on an audio thread the instance owns, paced in real time (or unpaced, on request):
//     StartAudioThread() with a source that supplies the input (and may take the output),
//     StopAudioThread().
//   One processing at a time: a second caller, or a caller while the owned thread runs, gets
//   MarovexProcessStatus::Busy. Denormals are flushed to zero while processing, either way.
// - Control. Parameter edits and reads, state save / load / compare and editor creation may come
//   from any non-processing thread (typically a user-interface thread), also while another thread
//   processes. The instance serialises its calls into the data model with one lock per instance,
//   which the processing path never takes; an edit reaches the next block that starts after the
//   edit returns.
//   An editor object reaches the data model through its host object directly: those calls are not
//   serialised by the instance, so make them, and the instance's control calls, from one
//   user-interface thread while an editor is open. Accepted edits reach open editors through
//   ParameterUpdated on the thread that made the edit.
// - Queries. Meters, counters and the instance's settings may be read from any thread at any time,
//   also while processing runs.
// - Lifetime. Create and destroy an instance on a control thread, with no call of it running; the
//   destructor stops the owned audio thread. Editor objects may outlive their instance: from the
//   instance's destruction on, their host objects refuse every call (-20004). Instances and editors
//   hold a reference to their module, so it stays loaded while any of them lives.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AAX.h"
#include "ACFBase.h"
#include "AAX_IComponentDescriptor.h"
#include "MarovexReport.h"

class AAX_IACFEffectParameters;
class AAX_IACFEffectGUI;

// ---------------------------------------------------------------------------------------------
// What a module describes (a copy of every description call, in call order).

// Kind of an algorithm context field, as declared through the component descriptor.
enum class MarovexFieldKind : int32_t {
    Reserved,       // AddReservedField (option = field type)
    AudioIn,        // AddAudioIn
    AudioOut,       // AddAudioOut
    BufferLength,   // AddAudioBufferLength
    SampleRate,     // AddSampleRate
    Clock,          // AddClock
    SideChainIn,    // AddSideChainIn
    DataInPort,     // AddDataInPort (size = packet size, option = port type)
    PrivateData,    // AddPrivateData (size = data size, option = options)
    Meters,         // AddMeters (meterIDs)
    TemporaryData,  // AddTemporaryData (size = element size)
};

// Readable name of a field kind ("data-in port", "private data", ...).
const char* MarovexFieldKindName(MarovexFieldKind kind);

struct MarovexField {
    AAX_CFieldIndex index = 0;
    MarovexFieldKind kind = MarovexFieldKind::Reserved;
    uint32_t size = 0;
    int32_t option = 0;
    std::vector<AAX_CTypeID> meterIDs;
};

struct MarovexProperty {
    AAX_EProperty id = 0;
    AAX_CPropertyValue value = 0;
};

// A property map as it stood when it was handed over: properties in the order they were first added
// (adding an existing identifier again replaces its value in place; removing drops it).
struct MarovexPropertyMap {
    std::vector<MarovexProperty> properties;
    std::vector<std::pair<AAX_EProperty, const void*>> pointerProperties;

    // True and the value when the identifier is present.
    bool Get(AAX_EProperty id, AAX_CPropertyValue* value) const;
};

struct MarovexNativeProcess {
    AAX_CProcessProc proc = nullptr;
    MarovexPropertyMap properties;
    AAX_CInstanceInitProc instanceInit = nullptr;
    AAX_CBackgroundProc background = nullptr;
};

// A DSP module procedure (recorded only; this host runs native procedures). Symbol names that the
// plug-in passed as null are recorded as empty texts.
struct MarovexDspProcess {
    std::string file;
    std::string entrySymbol;
    std::string instanceInitSymbol;
    std::string backgroundSymbol;
    MarovexPropertyMap properties;
};

struct MarovexComponentDescription {
    std::vector<MarovexField> fields;  // in declaration order
    std::vector<MarovexNativeProcess> nativeProcesses;
    std::vector<MarovexDspProcess> dspProcesses;

    // The input stem format (property 51) of the first native procedure, else of the first DSP
    // procedure; 0 when neither declares one.
    int32_t StemFormat() const;
    // The declaration of a field index, or null.
    const MarovexField* FindField(AAX_CFieldIndex index) const;
};

struct MarovexMeterDescription {
    AAX_CTypeID id = 0;
    std::string name;
    MarovexPropertyMap properties;
};

struct MarovexResource {
    AAX_EResourceType type = AAX_eResourceType_None;
    std::string info;
};

struct MarovexProcPtr {
    AAX_CProcPtrID id = 0;
    void* proc = nullptr;
};

struct MarovexEffectDescription {
    std::string effectID;  // as passed to AddEffect
    std::vector<std::string> names;
    std::vector<uint32_t> categories;
    std::vector<std::pair<uint32_t, std::string>> categoryBypassParameters;
    std::vector<MarovexComponentDescription> components;  // one per AddComponent, in order
    std::vector<MarovexProcPtr> procPtrs;
    std::vector<MarovexResource> resources;
    std::vector<MarovexMeterDescription> meters;
    MarovexPropertyMap properties;  // SetProperties

    // The factory procedure registered under an identifier (0 data model, 1 editor), or null.
    void* FindProcPtr(AAX_CProcPtrID id) const;
    // The first component whose StemFormat() equals the given one, or null.
    const MarovexComponentDescription* FindComponent(int32_t stemFormat) const;
};

struct MarovexModuleDescription {
    std::vector<MarovexEffectDescription> effects;  // one per successful AddEffect
    std::string manufacturerName;
    std::vector<std::string> packageNames;
    uint32_t packageVersion = 0;
    bool packageVersionSet = false;
    MarovexPropertyMap properties;
};

// ---------------------------------------------------------------------------------------------
// Modules.

// How the host behaves while a module registers. The refusals make the host's component factory
// decline to create that kind of description object (a host that lacks them), for checking how a
// module copes.
struct MarovexLoadOptions {
    bool refuseCollections = false;
    bool refuseEffectDescriptors = false;
    bool refuseComponentDescriptors = false;
    bool refusePropertyMaps = false;
    bool refuseHostServices = false;
    // Plug-in traces are always recorded (Traces()); this also reports each through the reporter
    // of MarovexReport.h ("marovex: plug-in trace: <text>").
    bool echoTraces = true;
};

// The seven exported entry points of a module.
struct MarovexEntryPoints {
    ACFRESULT (*registerPlugin)(IACFUnknown* host, IACFPluginDefinition** out) = nullptr;
    ACFRESULT (*registerComponent)(IACFUnknown* host, uint32_t index, IACFComponentDefinition** out) = nullptr;
    ACFRESULT (*getClassFactory)(IACFUnknown* host, const _acfUID& classID, const _acfUID& interfaceID,
                                 void** out) = nullptr;
    ACFRESULT (*canUnloadNow)(IACFUnknown* host) = nullptr;
    ACFRESULT (*startup)(IACFUnknown* host) = nullptr;
    ACFRESULT (*shutdown)(IACFUnknown* host) = nullptr;
    ACFRESULT (*getSDKVersion)(uint64_t* version) = nullptr;
};

class MarovexHostFactory;  // the host object handed to the entry points (internal)

// One loaded module. Threading: load, register and destroy on one thread; the const queries may be
// called from any non-audio thread.
// Loading a file that is already loaded shares the module's process-wide state: ACFStartup runs
// with the first load only (its host object and load options serve every load of that file), and
// ACFShutdown with the last unload.
class MarovexModule {
public:
    // dlopen, find the seven entry points, ACFStartup(host) and ACFRegisterPlugin(host, &definition),
    // recording the whole description. Null (and the reason in *error) on any failure.
    static std::shared_ptr<MarovexModule> Load(const std::string& path, std::string* error,
                                               const MarovexLoadOptions& options = {});
    // The first half of Load: dlopen, entry points, ACFStartup. Register() completes it.
    static std::shared_ptr<MarovexModule> Open(const std::string& path, std::string* error,
                                               const MarovexLoadOptions& options = {});
    // ACFRegisterPlugin and recording. On failure the result code is in *result (when given) and
    // Description() holds what the module described before it failed (package information ...).
    bool Register(std::string* error, AAX_Result* result = nullptr);

    // Releases the plug-in definition, checks that ACFCanUnloadNow answers 0 (says so on standard
    // error if not, and then keeps the code mapped), calls ACFShutdown and dlclose.
    ~MarovexModule();
    MarovexModule(const MarovexModule&) = delete;
    MarovexModule& operator=(const MarovexModule&) = delete;

    const std::string& Path() const;
    // The description recorded by the last Register() (complete even when registration failed).
    const MarovexModuleDescription& Description() const;
    // The first effect of the description, or null.
    const MarovexEffectDescription* Effect() const;
    // What the most recent collection object made by the host recorded, also for registrations the
    // caller made directly through Entries().registerPlugin.
    MarovexModuleDescription LastCollection() const;

    // The raw entry points and the host object to pass to them.
    const MarovexEntryPoints& Entries() const;
    IACFUnknown* HostUnknown() const;
    // ACFGetSDKVersion's answer (0 when it failed).
    uint64_t SDKVersion() const;

    // ACFCanUnloadNow(host): the module's count of live component objects.
    int32_t LiveObjectCount() const;
    // How many host-services objects the module asked the host's factory for.
    int32_t HostServicesCreated() const;
    // Every trace the module sent, in order.
    std::vector<std::string> Traces() const;

private:
    MarovexModule();
    struct Impl;
    std::unique_ptr<Impl> mImpl;
    friend class MarovexInstance;
};

// ---------------------------------------------------------------------------------------------
// Instances.

struct MarovexParameterInfo {
    std::string id;
    std::string name;
    AAX_EParameterType type = AAX_eParameterType_Continuous;
    bool automatable = false;
    int32_t steps = 0;
    double defaultNormalized = 0.0;
    std::string defaultText;  // the default value as the parameter shows it
    double normalized = 0.0;  // current value
    std::string valueText;    // current value as the parameter shows it
};

class MarovexGui;
namespace marovex_host {
struct InstanceCore;
}

// The result of processing in the caller's thread.
enum class MarovexProcessStatus : int32_t {
    Done = 0,          // every frame was processed
    BadArguments = 1,  // negative frame count, or a channel buffer missing
    Busy = 2,          // another thread is processing (a second caller, or the owned audio thread)
    Stopped = 3,       // the process procedure threw earlier; the instance no longer processes
    PluginThrew = 4,   // the process procedure threw during this call; frames after it are untouched
    NoSampleRate = 5,  // the instance was made without a sample rate (CreateWithoutSampleRate)
};

// What feeds the owned audio thread. Both calls run on that thread: they must be real-time safe
// (no allocation, lock, blocking, logging or I/O).
class MarovexAudioSource {
public:
    virtual ~MarovexAudioSource() = default;
    // Fills in[c][0, frames) for each of the instance's input channels.
    virtual void Fill(float* const* in, int32_t channels, int32_t frames) noexcept = 0;
    // The output of the block just processed (frames samples of each output channel).
    virtual void Consume(const float* const* /*out*/, int32_t /*channels*/, int32_t /*frames*/) noexcept {}
};

// How the owned audio thread times its blocks. RealTime: one block every blockFrames / SampleRate()
// seconds, as an audio device asks for them (a thread that falls more than a few blocks behind
// starts counting afresh rather than racing to catch up). Unpaced: each block straight after the
// previous one was handed to the source, as fast as processing allows, until stopped; for offline
// rendering and for tests that must cover hours of audio in seconds. The pacing changes only when
// blocks run, never what they compute: for the same source both give the same output bit for bit.
enum class MarovexPacing { RealTime = 0, Unpaced = 1 };

// A source that plays a buffer over and over: channel c of the input takes channel
// min(c, channels - 1) of the buffer. An empty buffer plays silence.
class MarovexLoopingSource : public MarovexAudioSource {
public:
    explicit MarovexLoopingSource(std::vector<std::vector<float>> channels);
    void Fill(float* const* in, int32_t channels, int32_t frames) noexcept override;
    // Frames played so far (readable from any thread).
    uint64_t FramesPlayed() const { return mPlayed.load(std::memory_order_relaxed); }

private:
    std::vector<std::vector<float>> mChannels;
    size_t mLength = 0;
    size_t mPosition = 0;
    std::atomic<uint64_t> mPlayed{0};
};

// One running plug-in instance: its data model, one algorithm context laid out from the component's
// declared fields, and the engine that processes it (see the threading contract at the top).
//
// Packets the plug-in posts reach the context through one mailbox per data-in port, allocated with
// the instance: a post replaces the port's pending packet, and before each block the processing side
// takes each port's latest packet (only a field's latest bytes reach the context anyway), without
// locks or allocation. No packet posted before a block is lost to it, however many are posted.
class MarovexInstance {
public:
    // Creates the data model through procedure 0, initialises it with the host object, lays out the
    // context of the component with that stem format, resets the private data and dispatches the
    // first packets. sampleRate > 0, 1 <= maxBlock <= 1 << 20.
    static std::unique_ptr<MarovexInstance> Create(const std::shared_ptr<MarovexModule>& module,
                                                   int32_t stemFormat, float sampleRate, int32_t maxBlock,
                                                   std::string* error);
    // An instance whose sample rate is not known yet, as a host holds one before its audio device
    // is chosen: made as Create makes one, but the plug-in's host object answers GetSampleRate with
    // 0 Hz, the context's sample-rate field holds 0 and SampleRate() is 0. Parameters, state, meters
    // and editors work as for any instance; processing never runs: ProcessInCaller answers
    // NoSampleRate (Process false, with the reason), StartAudioThread false. It stays so for its
    // whole life. For checking how a data model and an editor cope before a rate is known.
    static std::unique_ptr<MarovexInstance> CreateWithoutSampleRate(const std::shared_ptr<MarovexModule>& module,
                                                                    int32_t stemFormat, int32_t maxBlock,
                                                                    std::string* error);
    // Stops the owned audio thread, detaches the host objects of editors still open, uninitialises
    // and releases the data model, and checks that the plug-in dropped every reference to the host's
    // objects.
    ~MarovexInstance();
    MarovexInstance(const MarovexInstance&) = delete;
    MarovexInstance& operator=(const MarovexInstance&) = delete;

    int32_t StemFormat() const;
    int32_t InputChannels() const;
    int32_t OutputChannels() const;
    float SampleRate() const;
    int32_t MaxBlock() const;

    // Processes `frames` samples in the caller's thread (any count from 0; split into blocks of at
    // most MaxBlock()): before each block the pending packets go into the context, then the process
    // procedure runs and the meters are published. in[c] / out[c] for every channel; they may be
    // the same buffers. Real-time safe.
    MarovexProcessStatus ProcessInCaller(const float* const* in, float* const* out, int32_t frames) noexcept;
    // ProcessInCaller, then the reports of what it found; false and *error unless Done.
    bool Process(const float* const* in, float* const* out, int32_t frames, std::string* error);

    // Starts an audio thread owned by the instance: it asks the source for a block, processes it and
    // hands the output to the source, again and again at the given pacing (by default every
    // blockFrames / SampleRate() seconds; see MarovexPacing). 1 <= blockFrames <= MaxBlock(). False
    // (and *error) when processing is busy, stopped, the pacing unknown or the thread cannot start.
    // An unpaced thread never waits: its source should not run out of meaningful input before
    // StopAudioThread, and it keeps one core busy until then.
    bool StartAudioThread(std::shared_ptr<MarovexAudioSource> source, int32_t blockFrames, std::string* error,
                          MarovexPacing pacing = MarovexPacing::RealTime);
    // Stops and joins it (nothing when none runs); the source is released.
    void StopAudioThread();
    // True while the owned audio thread runs (false once it stopped because the procedure threw).
    bool AudioThreadRunning() const;

    // Meters, in the order the component declared them. Value: the tap after the latest block;
    // peak: the largest since creation or the last ClearMeterPeaks. 0 for an unknown index.
    int32_t MeterCount() const;
    AAX_CTypeID MeterID(int32_t index) const;
    float MeterValue(int32_t index = 0) const;
    float MeterPeak(int32_t index = 0) const;
    void ClearMeterPeaks();

    // Parameters, through the data model's host interface.
    int32_t ParameterCount() const;
    bool GetParameterInfo(int32_t index, MarovexParameterInfo* info, std::string* error) const;
    bool FindParameterInfo(const std::string& id, MarovexParameterInfo* info, std::string* error) const;
    bool GetParameterValue(const std::string& id, double* normalized, std::string* error) const;
    // SetParameterNormalizedValue; the host answers the plug-in's set request at once and dispatches
    // the changed packets, so the new value is in place (and its packets posted) when this returns.
    // Open editors hear of the accepted value through ParameterUpdated, on the calling thread.
    bool SetParameter(const std::string& id, double normalized, std::string* error);
    // GetParameterValueFromString, then SetParameterNormalizedValue.
    bool SetParameterFromText(const std::string& id, const std::string& text, std::string* error);
    // GetParameterValueFromString alone: the normalized value the parameter reads from `text` (by its
    // own rules, which may read only the start of it); nothing is set.
    bool ParameterValueFromText(const std::string& id, const std::string& text, double* normalized,
                                std::string* error) const;
    // GetParameterStringFromValue: the text the parameter shows for a normalized value; nothing is set.
    bool ParameterTextFromValue(const std::string& id, double normalized, std::string* text, std::string* error) const;

    // State: the whole chunk record (56-byte header in host byte order with type code, plug-in's
    // version and name, the three unused fields zero; then the data).
    bool SaveState(std::vector<uint8_t>* record, std::string* error);
    // Rejects a record shorter than the header or whose size disagrees with its header before the
    // plug-in sees it.
    bool LoadState(const std::vector<uint8_t>& record, std::string* error);
    bool CompareState(const std::vector<uint8_t>& record, bool* equal, std::string* error);
    bool SaveStateFile(const std::string& path, std::string* error);
    bool LoadStateFile(const std::string& path, std::string* error);
    // The size checks LoadState applies.
    static bool CheckStateRecord(const uint8_t* data, size_t size, std::string* error);

    // The editor object made through procedure 1 and initialised; null (and *error) on failure.
    // `initResult`, when given, gets what the editor's Initialize answered (0 when it was not called),
    // so that a caller can tell an editor that says a needed object is missing (-20004) from others.
    std::unique_ptr<MarovexGui> CreateGui(std::string* error, AAX_Result* initResult = nullptr);

    // Diagnostics.
    AAX_IACFEffectParameters* EffectParameters() const;  // the data model (one reference held)
    // The host object the data model was initialised with (controller, automation delegate,
    // transport); for checking how the host treats calls a plug-in makes.
    IACFUnknown* HostObject() const;
    int32_t OpenTouchCount() const;                      // touches not yet released
    bool IsRegisteredParameter(const std::string& id) const;
    uint32_t AudioThreadMxcsr() const;                   // MXCSR while the latest processing ran
    uint64_t PacketsDelivered() const;                   // packets copied into the context so far
                                                         // (not those replaced before a block)
    uint64_t BlocksProcessed() const;
    // The bytes of the latest packet the data model posted to a data-in port (e.g. a coefficient
    // block), whether or not a block has taken it yet; false when the field is no data-in port or
    // nothing was posted to it. Any non-audio thread.
    bool LatestPacket(AAX_CFieldIndex field, std::vector<uint8_t>* bytes) const;
    int32_t ProblemCount() const;                        // misbehaviour reports so far

private:
    MarovexInstance();
    // Create and CreateWithoutSampleRate: sampleRate 0 only when withoutRate.
    static std::unique_ptr<MarovexInstance> Make(const std::shared_ptr<MarovexModule>& module, int32_t stemFormat,
                                                 float sampleRate, int32_t maxBlock, bool withoutRate,
                                                 std::string* error);
    std::unique_ptr<marovex_host::InstanceCore> mCore;
};

// An editor object of an instance, initialised with a host object that also answers the data model's
// interface. Destruction uninitialises and releases it. It may outlive its instance: its host
// object then refuses every call. Accepted parameter changes reach it through ParameterUpdated on
// the thread that made the change; each call holds a reference of its own to the editor object.
// Threading: one user-interface thread.
class MarovexGui {
public:
    ~MarovexGui();
    MarovexGui(const MarovexGui&) = delete;
    MarovexGui& operator=(const MarovexGui&) = delete;

    AAX_IACFEffectGUI* Interface() const;
    AAX_Result InitializeResult() const;
    // The host object the editor was initialised with (controller, automation, transport, and the
    // data model's interface); refuses every call once the instance is gone.
    IACFUnknown* HostObject() const;
    // Makes the editor's host object report `value` for every meter from now on (NaN: the real
    // values again), e.g. for a picture of the editor at a chosen meter reading.
    void OverrideMeters(float value);

private:
    MarovexGui();
    struct Impl;
    std::unique_ptr<Impl> mImpl;
    friend class MarovexInstance;
};
