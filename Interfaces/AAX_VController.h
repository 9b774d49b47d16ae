// Wraps the host's controller (versions 1 and 2) behind AAX_IController.
//
// Construction never fails: a missing host interface stays null, and then each operation returns
// -20004 (version 1 missing) or -20009 (an operation of version 2 with only version 1 present).
// Destruction releases the interfaces obtained.
#pragma once

#include "AAX_IController.h"

class AAX_VController : public AAX_IController {
public:
    explicit AAX_VController(IACFUnknown* host);
    ~AAX_VController() override;
    AAX_VController(const AAX_VController&) = delete;
    AAX_VController& operator=(const AAX_VController&) = delete;

    // Each call forwards unchanged; threading as the host's controller allows (any non-audio
    // thread). PostPacket copies the bytes; they reach the context field before a later block.
    AAX_Result GetEffectID(AAX_IString* effectID) const override;
    AAX_Result GetSampleRate(float* sampleRate) const override;
    AAX_Result GetInputStemFormat(AAX_EStemFormat* format) const override;
    AAX_Result GetOutputStemFormat(AAX_EStemFormat* format) const override;
    AAX_Result GetSignalLatency(int32_t* samples) const override;
    AAX_Result SetSignalLatency(int32_t samples) override;
    AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) override;
    AAX_Result GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const override;
    AAX_Result GetMeterPeakValue(AAX_CTypeID meterID, float* value) const override;
    AAX_Result ClearMeterPeakValue(AAX_CTypeID meterID) const override;
    AAX_Result GetMeterCount(uint32_t* count) const override;
    AAX_Result GetHostName(AAX_IString* name) const override;
    AAX_Result SendNotification(AAX_CTypeID type, const void* data, uint32_t size) override;

private:
    AAX_IACFController* mIController;
    AAX_IACFController_V2* mIControllerV2;
};
