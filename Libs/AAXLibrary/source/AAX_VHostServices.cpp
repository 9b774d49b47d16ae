#include "AAX_VHostServices.h"

#include "AAX_UIDs.h"

AAX_VHostServices::AAX_VHostServices(IACFUnknown* host) : mIHostServices(nullptr), mIHostServicesV2(nullptr) {
    if (host == nullptr) {
        return;
    }
    void* factoryPtr = nullptr;
    if (host->QueryInterface(IID_IACFComponentFactory, &factoryPtr) != ACF_OK || factoryPtr == nullptr) {
        return;
    }
    auto* factory = static_cast<IACFComponentFactory*>(factoryPtr);
    void* v1 = nullptr;
    if (factory->CreateComponent(AAXCompID_HostServices, nullptr, IID_IAAXHostServicesV1, &v1) == ACF_OK &&
        v1 != nullptr) {
        mIHostServices = static_cast<AAX_IACFHostServices*>(v1);
    }
    factory->Release();
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
