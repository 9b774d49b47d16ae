// The host's automation system: parameters register with it, and every edit is a request to it.
// A set request comes back as the data model's UpdateParameterNormalizedValue.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IACFAutomationDelegate : public IACFUnknown {
public:
    virtual AAX_Result RegisterParameter(AAX_CParamID id) = 0;
    virtual AAX_Result UnregisterParameter(AAX_CParamID id) = 0;
    virtual AAX_Result PostSetValueRequest(AAX_CParamID id, double normalizedValue) const = 0;
    virtual AAX_Result PostCurrentValue(AAX_CParamID id, double normalizedValue) const = 0;
    virtual AAX_Result PostTouchRequest(AAX_CParamID id) = 0;
    virtual AAX_Result PostReleaseRequest(AAX_CParamID id) = 0;
    virtual AAX_Result GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) = 0;

protected:
    ~AAX_IACFAutomationDelegate() = default;
};

class AAX_IAutomationDelegate {
public:
    virtual ~AAX_IAutomationDelegate() = default;
    virtual AAX_Result RegisterParameter(AAX_CParamID id) = 0;
    virtual AAX_Result UnregisterParameter(AAX_CParamID id) = 0;
    virtual AAX_Result PostSetValueRequest(AAX_CParamID id, double normalizedValue) const = 0;
    virtual AAX_Result PostCurrentValue(AAX_CParamID id, double normalizedValue) const = 0;
    virtual AAX_Result PostTouchRequest(AAX_CParamID id) = 0;
    virtual AAX_Result PostReleaseRequest(AAX_CParamID id) = 0;
    virtual AAX_Result GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) = 0;
};
