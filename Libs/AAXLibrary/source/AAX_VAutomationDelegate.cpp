#include "AAX_VAutomationDelegate.h"

#include "AAX_UIDs.h"

AAX_VAutomationDelegate::AAX_VAutomationDelegate(IACFUnknown* host) : mIAutomationDelegate(nullptr) {
    void* v1 = nullptr;
    if (host != nullptr && host->QueryInterface(IID_IAAXAutomationDelegateV1, &v1) == ACF_OK && v1 != nullptr) {
        mIAutomationDelegate = static_cast<AAX_IACFAutomationDelegate*>(v1);
    }
}

AAX_VAutomationDelegate::~AAX_VAutomationDelegate() {
    if (mIAutomationDelegate != nullptr) {
        mIAutomationDelegate->Release();
    }
}

AAX_Result AAX_VAutomationDelegate::RegisterParameter(AAX_CParamID id) {
    return mIAutomationDelegate ? mIAutomationDelegate->RegisterParameter(id) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VAutomationDelegate::UnregisterParameter(AAX_CParamID id) {
    return mIAutomationDelegate ? mIAutomationDelegate->UnregisterParameter(id) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VAutomationDelegate::PostSetValueRequest(AAX_CParamID id, double normalizedValue) const {
    return mIAutomationDelegate ? mIAutomationDelegate->PostSetValueRequest(id, normalizedValue)
                                : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VAutomationDelegate::PostCurrentValue(AAX_CParamID id, double normalizedValue) const {
    return mIAutomationDelegate ? mIAutomationDelegate->PostCurrentValue(id, normalizedValue) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VAutomationDelegate::PostTouchRequest(AAX_CParamID id) {
    return mIAutomationDelegate ? mIAutomationDelegate->PostTouchRequest(id) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VAutomationDelegate::PostReleaseRequest(AAX_CParamID id) {
    return mIAutomationDelegate ? mIAutomationDelegate->PostReleaseRequest(id) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VAutomationDelegate::GetTouchState(AAX_CParamID id, AAX_CBoolean* touched) {
    return mIAutomationDelegate ? mIAutomationDelegate->GetTouchState(id, touched) : AAX_ERROR_NULL_OBJECT;
}
