// A stand-in for the host's automation: records every call in order, so tests can assert the exact
// sequence of registrations, touches, set requests, releases and reported values. One recorder serves
// both sides: the parameter's delegate interface and the host's component interface declare the same
// calls (the fake host in test_model_fake_host.h adds reference counting and answers set requests).
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "AAX_IAutomationDelegate.h"

template <class Interface>
class AutomationRecorder : public Interface {
public:
    enum class Kind { Register, Unregister, Touch, SetRequest, Release, CurrentValue };

    struct Event {
        Kind kind;
        std::string id;
        double value;  // the normalized value of SetRequest and CurrentValue, 0 otherwise

        bool operator==(const Event& other) const {
            return kind == other.kind && id == other.id && value == other.value;
        }
        friend std::ostream& operator<<(std::ostream& os, const Event& e) {
            static const char* const kNames[] = {"Register", "Unregister", "Touch", "SetRequest", "Release", "CurrentValue"};
            return os << kNames[static_cast<int>(e.kind)] << "(" << e.id << ", " << e.value << ")";
        }
    };

    mutable std::vector<Event> events;
    // Optional hook, run after the call is recorded: a test can look around during removal.
    std::function<void(const char* id)> onUnregister;

    AAX_Result RegisterParameter(AAX_CParamID id) override { return Record(Kind::Register, id, 0.0); }
    AAX_Result UnregisterParameter(AAX_CParamID id) override {
        Record(Kind::Unregister, id, 0.0);
        if (onUnregister) onUnregister(id);
        return AAX_SUCCESS;
    }
    AAX_Result PostSetValueRequest(AAX_CParamID id, double value) const override {
        Record(Kind::SetRequest, id, value);
        return AnswerSetRequest(id, value);
    }
    AAX_Result PostCurrentValue(AAX_CParamID id, double value) const override {
        return Record(Kind::CurrentValue, id, value);
    }
    AAX_Result PostTouchRequest(AAX_CParamID id) override {
        mTouched[id] = true;
        return Record(Kind::Touch, id, 0.0);
    }
    AAX_Result PostReleaseRequest(AAX_CParamID id) override {
        mTouched[id] = false;
        return Record(Kind::Release, id, 0.0);
    }
    AAX_Result GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) override {
        if (touched == nullptr) return AAX_ERROR_NULL_OBJECT;
        const auto it = mTouched.find(id);
        *touched = (it != mTouched.end() && it->second) ? 1 : 0;
        return AAX_SUCCESS;
    }

    const std::vector<Event>& Events() const { return events; }
    void Clear() const { events.clear(); }
    size_t Count(Kind kind) const {
        size_t n = 0;
        for (const Event& e : events) n += e.kind == kind ? 1 : 0;
        return n;
    }

protected:
    // What a set request answers once recorded.
    virtual AAX_Result AnswerSetRequest(AAX_CParamID, double) const { return AAX_SUCCESS; }

private:
    AAX_Result Record(Kind kind, AAX_CParamID id, double value) const {
        events.push_back(Event{kind, id != nullptr ? id : "<null>", value});
        return AAX_SUCCESS;
    }

    std::map<std::string, bool> mTouched;
};

using RecordingAutomationDelegate = AutomationRecorder<AAX_IAutomationDelegate>;
