#include "AAX_VTransport.h"

#include "AAX_UIDs.h"

AAX_VTransport::AAX_VTransport(IACFUnknown* host) : mITransport(nullptr), mITransportV2(nullptr) {
    if (host == nullptr) {
        return;
    }
    void* v1 = nullptr;
    if (host->QueryInterface(IID_IAAXTransportV1, &v1) == ACF_OK && v1 != nullptr) {
        mITransport = static_cast<AAX_IACFTransport*>(v1);
    }
    void* v2 = nullptr;
    if (host->QueryInterface(IID_IAAXTransportV2, &v2) == ACF_OK && v2 != nullptr) {
        mITransportV2 = static_cast<AAX_IACFTransport_V2*>(v2);
    }
}

AAX_VTransport::~AAX_VTransport() {
    if (mITransportV2 != nullptr) {
        mITransportV2->Release();
    }
    if (mITransport != nullptr) {
        mITransport->Release();
    }
}

AAX_Result AAX_VTransport::GetCurrentTempo(double* bpm) const {
    return mITransport ? mITransport->GetCurrentTempo(bpm) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VTransport::IsTransportPlaying(bool* isPlaying) const {
    return mITransport ? mITransport->IsTransportPlaying(isPlaying) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VTransport::GetCurrentNativeSampleLocation(int64_t* sampleLocation) const {
    return mITransport ? mITransport->GetCurrentNativeSampleLocation(sampleLocation) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VTransport::IsMetronomeEnabled(int32_t* isEnabled) const {
    if (mITransportV2 != nullptr) {
        return mITransportV2->IsMetronomeEnabled(isEnabled);
    }
    return mITransport ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}
