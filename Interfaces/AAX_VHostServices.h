// Wraps the host's services (versions 1 and 2) behind AAX_IHostServices.
//
// The host-services component is created through the host's component factory; version 2 is then
// asked of that component. Construction never fails: without version 1 every operation returns
// -20004, and StackTrace returns -20009 when only version 1 is present. Destruction releases what
// was obtained.
#pragma once

#include "AAX_IHostServices.h"

class AAX_VHostServices : public AAX_IHostServices {
public:
    explicit AAX_VHostServices(IACFUnknown* host);
    ~AAX_VHostServices() override;
    AAX_VHostServices(const AAX_VHostServices&) = delete;
    AAX_VHostServices& operator=(const AAX_VHostServices&) = delete;

    // Each call forwards unchanged, on the calling thread (any non-audio thread).
    AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* note) const override;
    AAX_Result Trace(int32_t priority, const char* message) const override;
    AAX_Result StackTrace(int32_t tracePriority, int32_t stackTracePriority, const char* message) const override;

private:
    AAX_IACFHostServices* mIHostServices;
    AAX_IACFHostServices_V2* mIHostServicesV2;
};
