// A stand-in for the host's automation: records every call in order, so tests can assert the exact
// sequence of registrations, touches, set requests, releases and reported values.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "AAX_IAutomationDelegate.h"

class RecordingAutomationDelegate : public AAX_IAutomationDelegate {
public:
    enum class Kind { Register, Unregister, Touch, SetRequest, Release, CurrentValue };

    struct Event {
        Kind kind;
        std::string id;
        double value;  // the normalized value of SetRequest and CurrentValue, 0 otherwise

        bool operator==(const Event& other) const {
            return kind == other.kind && id == other.id && value == other.value;
        }
    };

    // Optional hooks, run after the call is recorded: a test can answer a set request the way a host
    // does (by calling the data model's or the parameter's update), or look around during removal.
    std::function<void(const char* id, double value)> onSetValueRequest;
    std::function<void(const char* id)> onUnregister;

    AAX_Result RegisterParameter(AAX_CParamID id) override { return Record(Kind::Register, id, 0.0); }
    AAX_Result UnregisterParameter(AAX_CParamID id) override {
        Record(Kind::Unregister, id, 0.0);
        if (onUnregister) onUnregister(id);
        return AAX_SUCCESS;
    }
    AAX_Result PostSetValueRequest(AAX_CParamID id, double value) const override {
        Record(Kind::SetRequest, id, value);
        if (onSetValueRequest) onSetValueRequest(id, value);
        return AAX_SUCCESS;
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

    const std::vector<Event>& Events() const { return mEvents; }
    void Clear() const { mEvents.clear(); }
    size_t Count(Kind kind) const {
        size_t n = 0;
        for (const Event& e : mEvents) n += e.kind == kind ? 1 : 0;
        return n;
    }

private:
    AAX_Result Record(Kind kind, AAX_CParamID id, double value) const {
        mEvents.push_back(Event{kind, id != nullptr ? id : "<null>", value});
        return AAX_SUCCESS;
    }

    mutable std::vector<Event> mEvents;
    std::map<std::string, bool> mTouched;
};

inline std::ostream& operator<<(std::ostream& os, const RecordingAutomationDelegate::Event& e) {
    static const char* const kNames[] = {"Register", "Unregister", "Touch", "SetRequest", "Release", "CurrentValue"};
    return os << kNames[static_cast<int>(e.kind)] << "(" << e.id << ", " << e.value << ")";
}
