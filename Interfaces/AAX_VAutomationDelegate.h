// Wraps the host's automation delegate behind AAX_IAutomationDelegate.
//
// Construction never fails: without the host interface every operation returns -20004.
// Destruction releases the interface obtained.
#pragma once

#include "AAX_IAutomationDelegate.h"

class AAX_VAutomationDelegate : public AAX_IAutomationDelegate {
public:
    explicit AAX_VAutomationDelegate(IACFUnknown* host);
    ~AAX_VAutomationDelegate() override;
    AAX_VAutomationDelegate(const AAX_VAutomationDelegate&) = delete;
    AAX_VAutomationDelegate& operator=(const AAX_VAutomationDelegate&) = delete;

    // Each call forwards unchanged, on the calling thread (any non-audio thread). A set request
    // comes back as the data model's UpdateParameterNormalizedValue, possibly before it returns.
    AAX_Result RegisterParameter(AAX_CParamID id) override;
    AAX_Result UnregisterParameter(AAX_CParamID id) override;
    AAX_Result PostSetValueRequest(AAX_CParamID id, double normalizedValue) const override;
    AAX_Result PostCurrentValue(AAX_CParamID id, double normalizedValue) const override;
    AAX_Result PostTouchRequest(AAX_CParamID id) override;
    AAX_Result PostReleaseRequest(AAX_CParamID id) override;
    AAX_Result GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) override;

private:
    AAX_IACFAutomationDelegate* mIAutomationDelegate;
};
