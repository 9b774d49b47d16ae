// One running plug-in instance: creation and destruction, the two ways of processing, meters and
// diagnostics. Its other units: InstanceEngine (context and packets, the real-time code),
// AudioThread (the owned audio thread), InstanceHost (the host object the plug-in sees),
// InstanceParameters (parameters and state) and MarovexGui (editor objects).
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "AAX_UIDs.h"
#include "InstanceCore.h"

using namespace marovex_host;

namespace {

constexpr int32_t kMaxChannels = 64;
constexpr int32_t kMaxBlockLimit = 1 << 20;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The core's bookkeeping

void InstanceCore::Problem(const char* where, const char* action, const char* format, ...) {
    engine.CountProblem();
    va_list args;
    va_start(args, format);
    ReportV(where, action, format, args);
    va_end(args);
}

void InstanceCore::ReportEngineProblems() {
    uint64_t channels = 0;
    const uint32_t flags = engine.TakeFlags(&channels);
    if (flags == 0 && channels == 0) return;
    for (int32_t c = 0; c < 64; ++c) {
        if ((channels >> c) & 1u) Report(marovex_where::kProcess, "the block's own samples are kept",
                                         "wrote past the end of output channel %d", c);
    }
    if (flags & Engine::kContextChanged) {
        Report(marovex_where::kProcess, "the host put them back",
               "changed the context, its block length or its sample rate");
    }
    if (flags & Engine::kPrivateOverrun) {
        Report(marovex_where::kProcess, "the guard zone took the bytes beyond",
               "wrote past the %u-byte private data", engine.PrivateSize());
    }
    if (flags & Engine::kThrew) {
        Report(marovex_where::kProcess, "the instance no longer processes", "threw an exception");
    }
}

void InstanceCore::Dispatch() {
    const std::lock_guard<std::recursive_mutex> lock(modelMutex);
    if (params == nullptr) return;
    const AAX_Result r = params->GenerateCoefficients();
    if (r != AAX_SUCCESS && r != lastGenerateResult) {
        Problem(marovex_where::kDataModel, "said again only when the answer changes",
                "GenerateCoefficients returned %d", r);
    }
    lastGenerateResult = r;
}

AAX_Result InstanceCore::SetRequest(const char* id, double value) {
    if (id == nullptr) {
        Problem(marovex_where::kDataModel, "refused", "asked to set a parameter without an identifier");
        return AAX_ERROR_NULL_OBJECT;
    }
    {
        std::lock_guard<std::mutex> lock(automation.mutex);
        if (automation.registered.count(id) == 0) {
            Problem(marovex_where::kDataModel, "passed on to the data model",
                    "asked to set unregistered parameter \"%s\"", id);
        }
    }
    if (std::isnan(value)) {
        Problem(marovex_where::kDataModel, "ignored", "asked to set \"%s\" to a value that is not a number", id);
        return AAX_ERROR_INVALID_STRING_CONVERSION;
    }
    if (value < 0.0 || value > 1.0) {
        Problem(marovex_where::kDataModel, "clamped to 0 to 1", "asked to set \"%s\" to %g", id, value);
        value = std::min(1.0, std::max(0.0, value));
    }
    {
        const std::lock_guard<std::recursive_mutex> lock(modelMutex);
        if (params == nullptr) {
            return AAX_ERROR_NULL_OBJECT;
        }
        const AAX_Result r = params->UpdateParameterNormalizedValue(id, value, AAX_eUpdateSource_Parameter);
        if (r != AAX_SUCCESS) {
            Problem(marovex_where::kDataModel, "the error goes back to the plug-in",
                    "the update of parameter \"%s\" was answered with %d", id, r);
            return r;
        }
        Dispatch();
    }
    NotifyEditors(id);
    return AAX_SUCCESS;
}

void InstanceCore::Shutdown() {
    audioThread.Stop();
    ReportEngineProblems();
    {
        // Editors still open keep their objects, but their host objects refuse every call from now on.
        std::lock_guard<std::mutex> lock(editors->mutex);
        if (!editors->entries.empty()) {
            Problem(marovex_where::kEditor, "their host objects refuse every call from now on",
                    "an instance was destroyed while %zu editor object(s) of it were alive", editors->entries.size());
        }
        for (const auto& e : editors->entries) e->host->Detach();
        editors->entries.clear();
        editors->closed = true;
    }
    if (params != nullptr) {
        const std::lock_guard<std::recursive_mutex> lock(modelMutex);
        try {
            params->Uninitialize();
            params->Release();
        } catch (...) {
            Problem(marovex_where::kDataModel, "the data model is dropped",
                    "an exception escaped the plug-in while its data model was released");
        }
        params = nullptr;
        std::lock_guard<std::mutex> automationLock(automation.mutex);
        for (const std::string& id : automation.registered) {
            Problem(marovex_where::kDataModel, "",
                    "parameter \"%s\" was still registered after the data model was released", id.c_str());
        }
        for (const auto& t : automation.touches) {
            if (t.second == 0) continue;
            Problem(marovex_where::kDataModel, "",
                    "parameter \"%s\" was still touched after the data model was released", t.first.c_str());
        }
    }
    if (host != nullptr) {
        host->Detach();
        if (host->Refs() != 1) {
            Problem(marovex_where::kDataModel, "that object refuses every call from now on",
                    "the plug-in kept %u reference(s) to the instance's host object", host->Refs() - 1);
        }
        host->Release();
        host = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// MarovexInstance

MarovexInstance::MarovexInstance() : mCore(new InstanceCore) {}

MarovexInstance::~MarovexInstance() { mCore->Shutdown(); }

std::unique_ptr<MarovexInstance> MarovexInstance::Create(const std::shared_ptr<MarovexModule>& module,
                                                         int32_t stemFormat, float sampleRate, int32_t maxBlock,
                                                         std::string* error) {
    return Make(module, stemFormat, sampleRate, maxBlock, false, error);
}

std::unique_ptr<MarovexInstance> MarovexInstance::CreateWithoutSampleRate(const std::shared_ptr<MarovexModule>& module,
                                                                          int32_t stemFormat, int32_t maxBlock,
                                                                          std::string* error) {
    return Make(module, stemFormat, 0.0f, maxBlock, true, error);
}

std::unique_ptr<MarovexInstance> MarovexInstance::Make(const std::shared_ptr<MarovexModule>& module,
                                                       int32_t stemFormat, float sampleRate, int32_t maxBlock,
                                                       bool withoutRate, std::string* error) {
    std::unique_ptr<MarovexInstance> instance;
    const bool ok = Guarded(error, "instance creation", [&] {
        if (module == nullptr || module->Effect() == nullptr) {
            SetError(error, "no module with an effect was given");
            return false;
        }
        // The engine refuses to process at a rate of 0 (see Engine::Run), so only that instance
        // without a rate is let through.
        const bool usableRate = withoutRate ? sampleRate == 0.0f
                                            : sampleRate > 0.0f && std::isfinite(sampleRate) && sampleRate <= 1.0e7f;
        if (!usableRate) {
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
        InstanceCore& d = *instance->mCore;
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
        if (!d.engine.Layout(d.component, d.inChannels, d.outChannels, maxBlock, sampleRate,
                             component->nativeProcesses.front().proc, error)) {
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
        const std::lock_guard<std::recursive_mutex> lock(d.modelMutex);
        const AAX_Result init = d.params->Initialize(d.host->Unknown());
        if (init != AAX_SUCCESS) {
            SetError(error, "the data model's Initialize returned " + Code(init));
            return false;
        }
        Engine& e = d.engine;
        if (e.PrivateField() >= 0) {
            // A reset answers a plug-in-defined code (the effect's reset answers -20025 by design).
            d.params->ResetFieldData(e.PrivateField(), e.PrivateData(), e.PrivateSize());
            if (!e.CheckPrivateGuard()) {
                d.Problem(marovex_where::kDataModel, "the guard zone took the bytes beyond",
                          "ResetFieldData wrote past the %u-byte private data", e.PrivateSize());
            }
        }
        // The first dispatch: every packet starts dirty.
        d.Dispatch();
        return true;
    });
    if (!ok) {
        return nullptr;  // the destructor releases whatever was made
    }
    return instance;
}

int32_t MarovexInstance::StemFormat() const { return mCore->stem; }
int32_t MarovexInstance::InputChannels() const { return mCore->inChannels; }
int32_t MarovexInstance::OutputChannels() const { return mCore->outChannels; }
float MarovexInstance::SampleRate() const { return mCore->engine.SampleRate(); }
int32_t MarovexInstance::MaxBlock() const { return mCore->engine.MaxBlock(); }

MarovexProcessStatus MarovexInstance::ProcessInCaller(const float* const* in, float* const* out,
                                                      int32_t frames) noexcept {
    Engine& e = mCore->engine;
    if (frames < 0 || (frames > 0 && (in == nullptr || out == nullptr))) return MarovexProcessStatus::BadArguments;
    for (int32_t c = 0; frames > 0 && c < e.InputChannels(); ++c) {
        if (in[c] == nullptr) return MarovexProcessStatus::BadArguments;
    }
    for (int32_t c = 0; frames > 0 && c < e.OutputChannels(); ++c) {
        if (out[c] == nullptr) return MarovexProcessStatus::BadArguments;
    }
    if (e.Failed()) return MarovexProcessStatus::Stopped;
    if (!e.Claim()) return MarovexProcessStatus::Busy;
    const MarovexProcessStatus status = e.Run(in, out, frames);
    e.Unclaim();
    return status;
}

bool MarovexInstance::Process(const float* const* in, float* const* out, int32_t frames, std::string* error) {
    const MarovexProcessStatus status = ProcessInCaller(in, out, frames);
    mCore->ReportEngineProblems();
    switch (status) {
        case MarovexProcessStatus::Done:
            return true;
        case MarovexProcessStatus::BadArguments:
            if (frames < 0) {
                SetError(error, "negative frame count " + std::to_string(frames));
            } else {
                SetError(error, "a channel buffer is missing");
            }
            return false;
        case MarovexProcessStatus::Busy:
            SetError(error, "another thread is processing the instance (Process called from two threads at once, "
                            "or the owned audio thread runs)");
            return false;
        case MarovexProcessStatus::Stopped:
            SetError(error, "the instance is not running: its process procedure threw earlier");
            return false;
        case MarovexProcessStatus::PluginThrew:
            SetError(error, "the process procedure threw an exception; the instance no longer processes");
            return false;
        case MarovexProcessStatus::NoSampleRate:
            SetError(error, "the instance was made without a sample rate; it does not process");
            return false;
    }
    return false;
}

bool MarovexInstance::StartAudioThread(std::shared_ptr<MarovexAudioSource> source, int32_t blockFrames,
                                       std::string* error, MarovexPacing pacing) {
    return mCore->audioThread.Start(mCore->engine, std::move(source), blockFrames, pacing, error);
}

void MarovexInstance::StopAudioThread() {
    mCore->audioThread.Stop();
    mCore->ReportEngineProblems();
}

bool MarovexInstance::AudioThreadRunning() const { return mCore->audioThread.Running(); }

int32_t MarovexInstance::MeterCount() const { return mCore->engine.MeterCount(); }

AAX_CTypeID MarovexInstance::MeterID(int32_t index) const {
    return (index >= 0 && index < MeterCount()) ? mCore->engine.MeterID(index) : 0;
}

float MarovexInstance::MeterValue(int32_t index) const {
    return (index >= 0 && index < MeterCount()) ? mCore->engine.MeterValue(index) : 0.0f;
}

float MarovexInstance::MeterPeak(int32_t index) const {
    return (index >= 0 && index < MeterCount()) ? mCore->engine.MeterPeak(index) : 0.0f;
}

void MarovexInstance::ClearMeterPeaks() { mCore->engine.ClearMeterPeaks(); }

// ---------------------------------------------------------------------------------------------
// Diagnostics

AAX_IACFEffectParameters* MarovexInstance::EffectParameters() const { return mCore->params; }

IACFUnknown* MarovexInstance::HostObject() const { return mCore->host ? mCore->host->Unknown() : nullptr; }

int32_t MarovexInstance::OpenTouchCount() const {
    std::lock_guard<std::mutex> lock(mCore->automation.mutex);
    int32_t n = 0;
    for (const auto& t : mCore->automation.touches) n += t.second;
    return n;
}

bool MarovexInstance::IsRegisteredParameter(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mCore->automation.mutex);
    return mCore->automation.registered.count(id) != 0;
}

uint32_t MarovexInstance::AudioThreadMxcsr() const { return mCore->engine.Mxcsr(); }
uint64_t MarovexInstance::PacketsDelivered() const { return mCore->engine.Delivered(); }
bool MarovexInstance::LatestPacket(AAX_CFieldIndex field, std::vector<uint8_t>* bytes) const {
    try {
        return mCore->engine.LatestPacket(field, bytes);
    } catch (...) {
        return false;  // out of memory for the copy
    }
}
uint64_t MarovexInstance::BlocksProcessed() const { return mCore->engine.Blocks(); }
int32_t MarovexInstance::ProblemCount() const {
    mCore->ReportEngineProblems();
    return mCore->engine.Problems();
}
