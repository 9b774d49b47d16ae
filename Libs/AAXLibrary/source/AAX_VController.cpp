#include "AAX_VController.h"

#include "AAX_UIDs.h"

AAX_VController::AAX_VController(IACFUnknown* host) : mIController(nullptr), mIControllerV2(nullptr) {
    if (host == nullptr) {
        return;
    }
    void* v1 = nullptr;
    if (host->QueryInterface(IID_IAAXControllerV1, &v1) == ACF_OK && v1 != nullptr) {
        mIController = static_cast<AAX_IACFController*>(v1);
    }
    void* v2 = nullptr;
    if (host->QueryInterface(IID_IAAXControllerV2, &v2) == ACF_OK && v2 != nullptr) {
        mIControllerV2 = static_cast<AAX_IACFController_V2*>(v2);
    }
}

AAX_VController::~AAX_VController() {
    if (mIControllerV2 != nullptr) {
        mIControllerV2->Release();
    }
    if (mIController != nullptr) {
        mIController->Release();
    }
}

AAX_Result AAX_VController::GetEffectID(AAX_IString* effectID) const {
    return mIController ? mIController->GetEffectID(effectID) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetSampleRate(float* sampleRate) const {
    return mIController ? mIController->GetSampleRate(sampleRate) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetInputStemFormat(AAX_EStemFormat* format) const {
    return mIController ? mIController->GetInputStemFormat(format) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetOutputStemFormat(AAX_EStemFormat* format) const {
    return mIController ? mIController->GetOutputStemFormat(format) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetSignalLatency(int32_t* samples) const {
    return mIController ? mIController->GetSignalLatency(samples) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::SetSignalLatency(int32_t samples) {
    return mIController ? mIController->SetSignalLatency(samples) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) {
    return mIController ? mIController->PostPacket(field, data, size) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const {
    return mIController ? mIController->GetCurrentMeterValue(meterID, value) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetMeterPeakValue(AAX_CTypeID meterID, float* value) const {
    return mIController ? mIController->GetMeterPeakValue(meterID, value) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::ClearMeterPeakValue(AAX_CTypeID meterID) const {
    return mIController ? mIController->ClearMeterPeakValue(meterID) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetMeterCount(uint32_t* count) const {
    return mIController ? mIController->GetMeterCount(count) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::GetHostName(AAX_IString* name) const {
    if (mIControllerV2 != nullptr) {
        return mIControllerV2->GetHostName(name);
    }
    return mIController ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VController::SendNotification(AAX_CTypeID type, const void* data, uint32_t size) {
    if (mIControllerV2 != nullptr) {
        return mIControllerV2->SendNotification(type, data, size);
    }
    return mIController ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}
