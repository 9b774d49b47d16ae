// A small in-process stand-in for the host side of the component framework, for the data-model
// tests and the chunk fuzzer: a controller that records posted packets, an automation delegate that
// records requests and can answer set requests the way a host does (with the data model's
// UpdateParameterNormalizedValue), a transport, and a component factory that creates host services
// recording traces. Each interface, and each version, can be withheld; every object counts its
// references so tests can check that wrappers release what they obtained.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "AAX_IACFEffectParameters.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_IController.h"
#include "AAX_IHostServices.h"
#include "AAX_ITransport.h"
#include "AAX_UIDs.h"
#include "Libs/RecordingAutomationDelegate.h"

namespace fakehost {

// One reference-counted host object; QueryInterface hands out `this` for the identifiers in `ids`.
class RefCounted {
public:
    int32_t refs = 0;

protected:
    ACFRESULT Answer(void* self, const acfIID& iid, void** out, std::initializer_list<acfIID> ids) {
        if (out == nullptr) return ACF_E_FAIL;
        *out = nullptr;
        for (const acfIID& id : ids) {
            if (id == iid) {
                *out = self;
                ++refs;
                return ACF_OK;
            }
        }
        return ACF_E_NOINTERFACE;
    }
};

struct PostedPacket {
    AAX_CFieldIndex field;
    std::vector<unsigned char> bytes;
};

// The bytes of a value packet as the data model posts it: the 4-byte value, then four zero bytes.
inline std::vector<unsigned char> FloatPacket(float value) {
    std::vector<unsigned char> bytes(8, 0);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}
inline std::vector<unsigned char> IntPacket(int32_t value) {
    std::vector<unsigned char> bytes(8, 0);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

class Controller : public AAX_IACFController_V2, public RefCounted {
public:
    float sampleRate = 48000.0f;
    std::map<AAX_CFieldIndex, AAX_Result> postResultByField;  // what PostPacket answers (default 0)
    std::vector<PostedPacket> posts;
    int sampleRateQueries = 0;

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(static_cast<AAX_IACFController_V2*>(this), iid, out,
                      {IID_IACFUnknown, IID_IAAXControllerV1, IID_IAAXControllerV2});
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }

    AAX_Result GetEffectID(AAX_IString*) const override { return AAX_SUCCESS; }
    AAX_Result GetSampleRate(float* rate) const override {
        ++const_cast<Controller*>(this)->sampleRateQueries;
        *rate = sampleRate;
        return AAX_SUCCESS;
    }
    AAX_Result GetInputStemFormat(AAX_EStemFormat* format) const override {
        *format = AAX_eStemFormat_Stereo;
        return AAX_SUCCESS;
    }
    AAX_Result GetOutputStemFormat(AAX_EStemFormat* format) const override {
        *format = AAX_eStemFormat_Stereo;
        return AAX_SUCCESS;
    }
    AAX_Result GetSignalLatency(int32_t* samples) const override {
        *samples = 0;
        return AAX_SUCCESS;
    }
    AAX_Result SetSignalLatency(int32_t) override { return AAX_SUCCESS; }
    AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) override {
        const auto* bytes = static_cast<const unsigned char*>(data);
        posts.push_back(PostedPacket{field, std::vector<unsigned char>(bytes, bytes + size)});
        const auto it = postResultByField.find(field);
        return it != postResultByField.end() ? it->second : AAX_SUCCESS;
    }
    AAX_Result GetCurrentMeterValue(AAX_CTypeID, float* value) const override {
        *value = 0.25f;
        return AAX_SUCCESS;
    }
    AAX_Result GetMeterPeakValue(AAX_CTypeID, float* value) const override {
        *value = 0.5f;
        return AAX_SUCCESS;
    }
    AAX_Result ClearMeterPeakValue(AAX_CTypeID) const override { return AAX_SUCCESS; }
    AAX_Result GetMeterCount(uint32_t* count) const override {
        *count = 1;
        return AAX_SUCCESS;
    }
    AAX_Result GetHostName(AAX_IString*) const override { return 7; }
    AAX_Result SendNotification(AAX_CTypeID, const void*, uint32_t) override { return 8; }

    std::vector<AAX_CFieldIndex> Fields() const {
        std::vector<AAX_CFieldIndex> fields;
        for (const PostedPacket& p : posts) fields.push_back(p.field);
        return fields;
    }

    // The latest bytes posted to a field (empty when none).
    std::vector<unsigned char> Latest(AAX_CFieldIndex field) const {
        for (auto it = posts.rbegin(); it != posts.rend(); ++it) {
            if (it->field == field) return it->bytes;
        }
        return {};
    }
};

class Automation : public AutomationRecorder<AAX_IACFAutomationDelegate>, public RefCounted {
public:
    // Set to answer set requests as a host does (the data model's UpdateParameterNormalizedValue).
    AAX_IACFEffectParameters* answerSetRequestsWith = nullptr;

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(static_cast<AAX_IACFAutomationDelegate*>(this), iid, out,
                      {IID_IACFUnknown, IID_IAAXAutomationDelegateV1});
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }

protected:
    AAX_Result AnswerSetRequest(AAX_CParamID id, double value) const override {
        if (answerSetRequestsWith == nullptr) return AAX_SUCCESS;
        return answerSetRequestsWith->UpdateParameterNormalizedValue(id, value, AAX_eUpdateSource_Parameter);
    }
};

class Transport : public AAX_IACFTransport_V2, public RefCounted {
public:
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(static_cast<AAX_IACFTransport_V2*>(this), iid, out,
                      {IID_IACFUnknown, IID_IAAXTransportV1, IID_IAAXTransportV2});
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }

    AAX_Result GetCurrentTempo(double* bpm) const override {
        *bpm = 120.0;
        return AAX_SUCCESS;
    }
    AAX_Result IsTransportPlaying(bool* playing) const override {
        *playing = true;
        return AAX_SUCCESS;
    }
    AAX_Result GetCurrentNativeSampleLocation(int64_t* location) const override {
        *location = 4096;
        return AAX_SUCCESS;
    }
    AAX_Result IsMetronomeEnabled(int32_t* enabled) const override {
        *enabled = 1;
        return AAX_SUCCESS;
    }
};

class HostServices : public AAX_IACFHostServices_V2, public RefCounted {
public:
    bool offerV2 = true;
    struct Trace {
        int32_t priority;
        std::string text;
    };
    mutable std::vector<Trace> traces;

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (!offerV2 && iid == IID_IAAXHostServicesV2) {
            if (out != nullptr) *out = nullptr;
            return ACF_E_NOINTERFACE;
        }
        return Answer(static_cast<AAX_IACFHostServices_V2*>(this), iid, out,
                      {IID_IACFUnknown, IID_IAAXHostServicesV1, IID_IAAXHostServicesV2});
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }

    AAX_Result HandleAssertFailure(const char*, int32_t, const char*) const override { return 3; }
    AAX_Result Trace(int32_t priority, const char* message) const override {
        traces.push_back({priority, message});
        return 5;
    }
    AAX_Result StackTrace(int32_t, int32_t, const char*) const override { return 6; }
};

class ComponentFactory : public IACFComponentFactory, public RefCounted {
public:
    HostServices* hostServices = nullptr;
    std::vector<std::pair<acfCLSID, acfIID>> requests;

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(static_cast<IACFComponentFactory*>(this), iid, out, {IID_IACFUnknown, IID_IACFComponentFactory});
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }

    ACFRESULT CreateComponent(const acfCLSID& classID, IACFUnknown*, const acfIID& iid, void** out) override {
        requests.emplace_back(classID, iid);
        *out = nullptr;
        if (hostServices == nullptr || !(classID == AAXCompID_HostServices)) return ACF_E_NOINTERFACE;
        return hostServices->QueryInterface(iid, out);
    }
};

// The object the plug-in is handed: answers each interface query with the matching fake, unless
// that interface (or version) is withheld.
class Host : public IACFUnknown {
public:
    Controller controller;
    Automation automation;
    Transport transport;
    HostServices hostServices;
    ComponentFactory factory;

    bool offerController = true, offerControllerV2 = true;
    bool offerAutomation = true;
    bool offerTransport = true, offerTransportV2 = true;
    bool offerFactory = true;
    int32_t refs = 0;

    Host() { factory.hostServices = &hostServices; }

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (out == nullptr) return ACF_E_FAIL;
        *out = nullptr;
        if (iid == IID_IAAXControllerV1 && offerController) return controller.QueryInterface(iid, out);
        if (iid == IID_IAAXControllerV2 && offerController && offerControllerV2) return controller.QueryInterface(iid, out);
        if (iid == IID_IAAXAutomationDelegateV1 && offerAutomation) return automation.QueryInterface(iid, out);
        if (iid == IID_IAAXTransportV1 && offerTransport) return transport.QueryInterface(iid, out);
        if (iid == IID_IAAXTransportV2 && offerTransport && offerTransportV2) return transport.QueryInterface(iid, out);
        if (iid == IID_IACFComponentFactory && offerFactory) return factory.QueryInterface(iid, out);
        if (iid == IID_IACFUnknown) {
            *out = this;
            ++refs;
            return ACF_OK;
        }
        return ACF_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }

    // References the plug-in still holds on any host object.
    int32_t OutstandingReferences() const {
        return refs + controller.refs + automation.refs + transport.refs + hostServices.refs + factory.refs;
    }
};

}  // namespace fakehost
