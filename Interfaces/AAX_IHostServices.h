// The host's services: its log (trace) and assertion reports.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IACFHostServices : public IACFUnknown {
public:
    virtual AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* note) const = 0;
    virtual AAX_Result Trace(int32_t priority, const char* message) const = 0;

protected:
    ~AAX_IACFHostServices() = default;
};

class AAX_IACFHostServices_V2 : public AAX_IACFHostServices {
public:
    virtual AAX_Result StackTrace(int32_t tracePriority, int32_t stackTracePriority, const char* message) const = 0;

protected:
    ~AAX_IACFHostServices_V2() = default;
};

class AAX_IHostServices {
public:
    virtual ~AAX_IHostServices() = default;
    virtual AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* note) const = 0;
    virtual AAX_Result Trace(int32_t priority, const char* message) const = 0;
    // Version 2.
    virtual AAX_Result StackTrace(int32_t tracePriority, int32_t stackTracePriority, const char* message) const = 0;
};
