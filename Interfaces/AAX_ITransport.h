// The host's transport (tempo, play state, position). The effect creates and deletes the wrapper only.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IACFTransport : public IACFUnknown {
public:
    virtual AAX_Result GetCurrentTempo(double* bpm) const = 0;
    virtual AAX_Result IsTransportPlaying(bool* isPlaying) const = 0;
    virtual AAX_Result GetCurrentNativeSampleLocation(int64_t* sampleLocation) const = 0;

protected:
    ~AAX_IACFTransport() = default;
};

class AAX_IACFTransport_V2 : public AAX_IACFTransport {
public:
    virtual AAX_Result IsMetronomeEnabled(int32_t* isEnabled) const = 0;

protected:
    ~AAX_IACFTransport_V2() = default;
};

class AAX_ITransport {
public:
    virtual ~AAX_ITransport() = default;
    virtual AAX_Result GetCurrentTempo(double* bpm) const = 0;
    virtual AAX_Result IsTransportPlaying(bool* isPlaying) const = 0;
    virtual AAX_Result GetCurrentNativeSampleLocation(int64_t* sampleLocation) const = 0;
    // Version 2.
    virtual AAX_Result IsMetronomeEnabled(int32_t* isEnabled) const = 0;
};
