// Pieces the host library's own sources share: reference counting of host objects, the private
// identifiers through which the host recognises its own objects, the answers of their queries, the
// host's string type and the misbehaviour report. Not part of the public API.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>

#include "AAX_IString.h"
#include "ACFBase.h"
#include "MarovexReport.h"

namespace marovex_host {

// Identifiers the host answers only for its own objects: a query with one of them returns the
// object's implementation (with a reference added), so the host can read what a plug-in handed
// back to it without trusting a cast. They are never published to plug-ins.
#define MAROVEX_HOST_UID(n) _acfUID{0x4D52484Fu, 0x5354u, 0x0001u, {0x9E, 0x42, 0x17, 0x6C, 0x3B, 0xA0, 0x5D, (n)}}
inline constexpr _acfUID kImplID_PropertyMap = MAROVEX_HOST_UID(0x01);
inline constexpr _acfUID kImplID_ComponentDescriptor = MAROVEX_HOST_UID(0x02);
inline constexpr _acfUID kImplID_EffectDescriptor = MAROVEX_HOST_UID(0x03);
inline constexpr _acfUID kImplID_Collection = MAROVEX_HOST_UID(0x04);
#undef MAROVEX_HOST_UID

// The reference count of one host object: starts at 1 (the creator's reference).
class RefCount {
public:
    uint32_t Add() { return mCount.fetch_add(1, std::memory_order_relaxed) + 1; }
    // Returns the new count; the caller deletes the object at 0.
    uint32_t Drop() { return mCount.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    uint32_t Get() const { return mCount.load(std::memory_order_acquire); }

private:
    std::atomic<uint32_t> mCount{1};
};

// Answers a query with `self` for the listed identifiers, adding a reference.
template <class T>
ACFRESULT Answer(T* self, void** out) {
    *out = self;
    self->AddRef();
    return ACF_OK;
}

inline ACFRESULT NoInterface(void** out) {
    *out = nullptr;
    return ACF_E_NOINTERFACE;
}

// The host implementation behind an IACFUnknown the plug-in handed back, or null when it is not one
// of ours. The caller owns the added reference.
template <class T>
T* ImplOf(IACFUnknown* unknown, const _acfUID& implID) {
    if (unknown == nullptr) {
        return nullptr;
    }
    void* impl = nullptr;
    if (unknown->QueryInterface(implID, &impl) != ACF_OK || impl == nullptr) {
        return nullptr;
    }
    return static_cast<T*>(impl);
}

// Reports misbehaviour through the one reporter (MarovexReport.h): where it happened (one of
// marovex_where), what the host does about it (may be empty) and, printf-style, what happened. Never
// call it on the audio thread.
void Report(const char* where, const char* action, const char* format, ...) __attribute__((format(printf, 3, 4)));
void ReportV(const char* where, const char* action, const char* format, va_list args);

// The host's own byte string, handed to the plug-in wherever an interface asks for an AAX_IString.
class HostString final : public AAX_IString {
public:
    HostString() = default;
    explicit HostString(const char* text) : mText(text ? text : "") {}
    uint32_t Length() const override { return static_cast<uint32_t>(mText.size()); }
    uint32_t MaxLength() const override { return 0xFFFFFFFEu; }
    const char* Get() const override { return mText.c_str(); }
    void Set(const char* text) override { mText = text ? text : ""; }
    AAX_IString& operator=(const AAX_IString& other) override {
        mText = other.Get() ? other.Get() : "";
        return *this;
    }
    AAX_IString& operator=(const char* text) override {
        Set(text);
        return *this;
    }
    const std::string& Str() const { return mText; }

private:
    std::string mText;
};

// Copies a NUL-terminated text the plug-in handed over; null gives the empty text.
inline std::string TextOf(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace marovex_host
