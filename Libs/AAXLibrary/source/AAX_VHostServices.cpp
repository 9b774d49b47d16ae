#include "AAX_VHostServices.h"

#include "AAX_CUIDs.h"
#include "AAX_UIDs.h"

AAX_VHostServices::AAX_VHostServices(IACFUnknown* host) : mIHostServices(nullptr), mIHostServicesV2(nullptr) {
    if (host == nullptr) {
        return;
    }
    mIHostServices = static_cast<AAX_IACFHostServices*>(
        AAX_CreateHostComponent(host, AAXCompID_HostServices, IID_IAAXHostServicesV1));
    void* v2 = nullptr;
    if (mIHostServices != nullptr && mIHostServices->QueryInterface(IID_IAAXHostServicesV2, &v2) == ACF_OK &&
        v2 != nullptr) {
        mIHostServicesV2 = static_cast<AAX_IACFHostServices_V2*>(v2);
    }
}

AAX_VHostServices::~AAX_VHostServices() {
    if (mIHostServicesV2 != nullptr) {
        mIHostServicesV2->Release();
    }
    if (mIHostServices != nullptr) {
        mIHostServices->Release();
    }
}

AAX_Result AAX_VHostServices::HandleAssertFailure(const char* file, int32_t line, const char* note) const {
    return mIHostServices ? mIHostServices->HandleAssertFailure(file, line, note) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VHostServices::Trace(int32_t priority, const char* message) const {
    return mIHostServices ? mIHostServices->Trace(priority, message) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result AAX_VHostServices::StackTrace(int32_t tracePriority, int32_t stackTracePriority, const char* message) const {
    if (mIHostServicesV2 != nullptr) {
        return mIHostServicesV2->StackTrace(tracePriority, stackTracePriority, message);
    }
    return mIHostServices ? AAX_ERROR_UNIMPLEMENTED : AAX_ERROR_NULL_OBJECT;
}
