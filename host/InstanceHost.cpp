// The host object that an instance's data model and editors see: controller, automation delegate
// and transport. Every operation runs inside AAX_Guarded, so nothing the host does throws into the
// plug-in: an allocation failure becomes a failure code.
#include <cstring>

#include "AAX_Guarded.h"
#include "AAX_UIDs.h"
#include "InstanceCore.h"

namespace marovex_host {

ACFRESULT InstanceHost::QueryInterface(const acfIID& iid, void** out) {
    return AAX_Guarded([&]() -> ACFRESULT {
        if (out == nullptr) return ACF_E_FAIL;
        *out = nullptr;
        if (iid == IID_IACFUnknown || iid == IID_IAAXControllerV1 || iid == IID_IAAXControllerV2) {
            *out = static_cast<AAX_IACFController_V2*>(this);
        } else if (iid == IID_IAAXAutomationDelegateV1) {
            *out = static_cast<AAX_IACFAutomationDelegate*>(this);
        } else if (iid == IID_IAAXTransportV1 || iid == IID_IAAXTransportV2) {
            *out = static_cast<AAX_IACFTransport_V2*>(this);
        } else if (iid == IID_IAAXEffectParametersV1 && mAnswersEffectParameters) {
            InstanceCore* c = mCore.load();
            if (c == nullptr || c->params == nullptr) return ACF_E_NOINTERFACE;
            return c->params->QueryInterface(iid, out);
        } else {
            return ACF_E_NOINTERFACE;
        }
        AddRef();
        return ACF_OK;
    });
}

AAX_Result InstanceHost::GetEffectID(AAX_IString* effectID) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || effectID == nullptr) return AAX_ERROR_NULL_OBJECT;
        effectID->Set(c->effectID.c_str());
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetSampleRate(float* sampleRate) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || sampleRate == nullptr) return AAX_ERROR_NULL_OBJECT;
        *sampleRate = c->engine.SampleRate();
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetInputStemFormat(AAX_EStemFormat* format) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || format == nullptr) return AAX_ERROR_NULL_OBJECT;
        *format = static_cast<AAX_EStemFormat>(c->stem);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetOutputStemFormat(AAX_EStemFormat* format) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || format == nullptr) return AAX_ERROR_NULL_OBJECT;
        *format = static_cast<AAX_EStemFormat>(c->outStem);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetSignalLatency(int32_t* samples) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || samples == nullptr) return AAX_ERROR_NULL_OBJECT;
        *samples = c->latency.load();
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::SetSignalLatency(int32_t samples) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        c->latency.store(samples);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::string why;
        const AAX_Result r = c->engine.Post(field, data, size, &why);
        if (r != AAX_SUCCESS) c->Problem(marovex_where::kDataModel, "the packet is refused", "posted %s", why.c_str());
        return r;
    });
}

AAX_Result InstanceHost::GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || value == nullptr) return AAX_ERROR_NULL_OBJECT;
        const int32_t i = c->engine.MeterIndex(meterID);
        if (i < 0) return AAX_ERROR_NULL_OBJECT;
        const float forced = mMeterOverride.load();
        *value = forced == forced ? forced : c->engine.MeterValue(i);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetMeterPeakValue(AAX_CTypeID meterID, float* value) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || value == nullptr) return AAX_ERROR_NULL_OBJECT;
        const int32_t i = c->engine.MeterIndex(meterID);
        if (i < 0) return AAX_ERROR_NULL_OBJECT;
        *value = c->engine.MeterPeak(i);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::ClearMeterPeakValue(AAX_CTypeID meterID) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (c->engine.MeterIndex(meterID) < 0) return AAX_ERROR_NULL_OBJECT;
        c->engine.ClearMeterPeaks();
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetMeterCount(uint32_t* count) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || count == nullptr) return AAX_ERROR_NULL_OBJECT;
        *count = static_cast<uint32_t>(c->engine.MeterCount());
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetHostName(AAX_IString* name) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (name == nullptr) return AAX_ERROR_NULL_OBJECT;
        name->Set("Marovex host");
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::RegisterParameter(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) {
            c->Problem(marovex_where::kDataModel, "refused", "registered a parameter without an identifier");
            return AAX_ERROR_NULL_OBJECT;
        }
        std::lock_guard<std::mutex> lock(c->automation.mutex);
        if (!c->automation.registered.insert(id).second) {
            c->Problem(marovex_where::kDataModel, "it stays registered once", "registered parameter \"%s\" twice", id);
        }
        // Its touch count exists from now on (see PostReleaseRequest).
        c->automation.touches.emplace(id, 0);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::UnregisterParameter(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automation.mutex);
        if (c->automation.registered.erase(id) == 0) {
            c->Problem(marovex_where::kDataModel, "ignored",
                       "unregistered parameter \"%s\", which was not registered", id);
        }
        c->automation.touches.erase(id);
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::PostSetValueRequest(AAX_CParamID id, double normalizedValue) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        return c->SetRequest(id, normalizedValue);
    });
}

AAX_Result InstanceHost::PostCurrentValue(AAX_CParamID id, double normalizedValue) const {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automation.mutex);
        if (c->automation.registered.count(id) == 0) {
            c->Problem(marovex_where::kDataModel, "the report is taken as it is",
                       "reported the value of unregistered parameter \"%s\"", id);
        }
        if (!(normalizedValue >= 0.0 && normalizedValue <= 1.0)) {
            c->Problem(marovex_where::kDataModel, "the report is taken as it is",
                       "reported value %g for \"%s\", outside 0 to 1", normalizedValue, id);
        }
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::PostTouchRequest(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automation.mutex);
        if (c->automation.registered.count(id) == 0) {
            c->Problem(marovex_where::kDataModel, "the touch is counted", "touched unregistered parameter \"%s\"", id);
        }
        ++c->automation.touches[id];
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::PostReleaseRequest(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automation.mutex);
        auto it = c->automation.touches.find(id);
        if (it == c->automation.touches.end() || it->second == 0) {
            c->Problem(marovex_where::kDataModel, "ignored", "released parameter \"%s\" without touching it", id);
            return AAX_SUCCESS;
        }
        // The entry stays at zero: touching the parameter again then allocates nothing, so edits
        // made on an audio thread (a plug-in adapter's run) stay real-time safe.
        --it->second;
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) {
    return AAX_Guarded([&]() -> AAX_Result {
        InstanceCore* c = mCore.load();
        if (c == nullptr || id == nullptr || touched == nullptr) return AAX_ERROR_NULL_OBJECT;
        std::lock_guard<std::mutex> lock(c->automation.mutex);
        auto it = c->automation.touches.find(id);
        *touched = (it != c->automation.touches.end() && it->second > 0) ? 1 : 0;
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetCurrentTempo(double* bpm) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (bpm == nullptr) return AAX_ERROR_NULL_OBJECT;
        *bpm = 120.0;
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::IsTransportPlaying(bool* isPlaying) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (isPlaying == nullptr) return AAX_ERROR_NULL_OBJECT;
        *isPlaying = false;
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::GetCurrentNativeSampleLocation(int64_t* sampleLocation) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (sampleLocation == nullptr) return AAX_ERROR_NULL_OBJECT;
        *sampleLocation = 0;
        return AAX_SUCCESS;
    });
}

AAX_Result InstanceHost::IsMetronomeEnabled(int32_t* isEnabled) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (isEnabled == nullptr) return AAX_ERROR_NULL_OBJECT;
        *isEnabled = 0;
        return AAX_SUCCESS;
    });
}

}  // namespace marovex_host
