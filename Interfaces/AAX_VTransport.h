// Wraps the host's transport (versions 1 and 2) behind AAX_ITransport.
//
// Construction never fails: without version 1 every operation returns -20004; the version-2
// operation returns -20009 when only version 1 is present. Destruction releases what was obtained.
#pragma once

#include "AAX_ITransport.h"

class AAX_VTransport : public AAX_ITransport {
public:
    explicit AAX_VTransport(IACFUnknown* host);
    ~AAX_VTransport() override;
    AAX_VTransport(const AAX_VTransport&) = delete;
    AAX_VTransport& operator=(const AAX_VTransport&) = delete;

    // Each call forwards unchanged, on the calling thread (any non-audio thread).
    AAX_Result GetCurrentTempo(double* bpm) const override;
    AAX_Result IsTransportPlaying(bool* isPlaying) const override;
    AAX_Result GetCurrentNativeSampleLocation(int64_t* sampleLocation) const override;
    AAX_Result IsMetronomeEnabled(int32_t* isEnabled) const override;

private:
    AAX_IACFTransport* mITransport;
    AAX_IACFTransport_V2* mITransportV2;
};
