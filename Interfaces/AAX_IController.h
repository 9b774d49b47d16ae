// The host's controller: sample rate, packet posting and meter values for one plug-in instance.
//
// AAX_IACFController / _V2 are what the host implements (reached by interface query);
// AAX_IController is what the plug-in calls, through the wrapper AAX_VController.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IString;

class AAX_IACFController : public IACFUnknown {
public:
    virtual AAX_Result GetEffectID(AAX_IString* effectID) const = 0;
    virtual AAX_Result GetSampleRate(float* sampleRate) const = 0;
    virtual AAX_Result GetInputStemFormat(AAX_EStemFormat* format) const = 0;
    virtual AAX_Result GetOutputStemFormat(AAX_EStemFormat* format) const = 0;
    virtual AAX_Result GetSignalLatency(int32_t* samples) const = 0;
    virtual AAX_Result SetSignalLatency(int32_t samples) = 0;
    // Copies `size` bytes; they reach context field `field` before a later audio block.
    // Threading: any non-audio thread; the host hands the bytes to the audio thread.
    virtual AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) = 0;
    virtual AAX_Result GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const = 0;
    virtual AAX_Result GetMeterPeakValue(AAX_CTypeID meterID, float* value) const = 0;
    virtual AAX_Result ClearMeterPeakValue(AAX_CTypeID meterID) const = 0;
    virtual AAX_Result GetMeterCount(uint32_t* count) const = 0;

protected:
    ~AAX_IACFController() = default;
};

class AAX_IACFController_V2 : public AAX_IACFController {
public:
    virtual AAX_Result GetHostName(AAX_IString* name) const = 0;
    virtual AAX_Result SendNotification(AAX_CTypeID type, const void* data, uint32_t size) = 0;

protected:
    ~AAX_IACFController_V2() = default;
};

class AAX_IController {
public:
    virtual ~AAX_IController() = default;
    virtual AAX_Result GetEffectID(AAX_IString* effectID) const = 0;
    virtual AAX_Result GetSampleRate(float* sampleRate) const = 0;
    virtual AAX_Result GetInputStemFormat(AAX_EStemFormat* format) const = 0;
    virtual AAX_Result GetOutputStemFormat(AAX_EStemFormat* format) const = 0;
    virtual AAX_Result GetSignalLatency(int32_t* samples) const = 0;
    virtual AAX_Result SetSignalLatency(int32_t samples) = 0;
    virtual AAX_Result PostPacket(AAX_CFieldIndex field, const void* data, uint32_t size) = 0;
    virtual AAX_Result GetCurrentMeterValue(AAX_CTypeID meterID, float* value) const = 0;
    virtual AAX_Result GetMeterPeakValue(AAX_CTypeID meterID, float* value) const = 0;
    virtual AAX_Result ClearMeterPeakValue(AAX_CTypeID meterID) const = 0;
    virtual AAX_Result GetMeterCount(uint32_t* count) const = 0;
    // Version 2 (-20009 when the host lacks it).
    virtual AAX_Result GetHostName(AAX_IString* name) const = 0;
    virtual AAX_Result SendNotification(AAX_CTypeID type, const void* data, uint32_t size) = 0;
};
