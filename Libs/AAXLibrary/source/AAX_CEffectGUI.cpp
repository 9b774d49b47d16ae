// The host-facing editor base.
#include "AAX_CEffectGUI.h"

#include "AAX_CString.h"
#include "AAX_Guarded.h"
#include "AAX_IACFEffectParameters.h"
#include "AAX_UIDs.h"
#include "AAX_VController.h"
#include "AAX_VTransport.h"
#include "AAX_VViewContainer.h"

AAX_CEffectGUI::AAX_CEffectGUI()
    : mController(nullptr), mEffectParameters(nullptr), mViewContainer(nullptr), mTransport(nullptr) {}

AAX_CEffectGUI::~AAX_CEffectGUI() { Uninitialize(); }

AAX_Result AAX_CEffectGUI::Initialize(IACFUnknown* host) {
    return AAX_Guarded([&]() -> AAX_Result {
        ReleaseHostObjects();
        mController = new AAX_VController(host);
        if (host == nullptr) {
            return AAX_ERROR_NULL_ARGUMENT;
        }
        if (host->QueryInterface(IID_IAAXEffectParametersV1, reinterpret_cast<void**>(&mEffectParameters)) != ACF_OK) {
            mEffectParameters = nullptr;
        }
        mTransport = new AAX_VTransport(host);
        CreateViewContents();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectGUI::Uninitialize() {
    return AAX_Guarded([&]() -> AAX_Result {
        ReleaseViewContainer();
        ReleaseHostObjects();
        return AAX_SUCCESS;
    });
}

// The view goes before the container it lives in.
void AAX_CEffectGUI::ReleaseViewContainer() {
    if (mViewContainer == nullptr) {
        return;
    }
    AAX_IViewContainer* old = mViewContainer;
    mViewContainer = nullptr;
    DeleteViewContainer();
    delete old;
}

void AAX_CEffectGUI::ReleaseHostObjects() {
    if (mEffectParameters != nullptr) {
        mEffectParameters->Release();
        mEffectParameters = nullptr;
    }
    delete mController;
    mController = nullptr;
    delete mTransport;
    mTransport = nullptr;
}

AAX_Result AAX_CEffectGUI::NotificationReceived(AAX_CTypeID, const void*, uint32_t) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectGUI::SetViewContainer(IACFUnknown* container) {
    return AAX_Guarded([&]() -> AAX_Result {
        if (container != nullptr) {
            ReleaseViewContainer();
            mViewContainer = new AAX_VViewContainer(container);
            CreateViewContainer();
            UpdateAllParameters();
        } else {
            AAX_IViewContainer* old = mViewContainer;
            mViewContainer = nullptr;
            DeleteViewContainer();
            delete old;
        }
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectGUI::GetViewSize(AAX_Point*) const { return AAX_SUCCESS; }

AAX_Result AAX_CEffectGUI::Draw(AAX_Rect*) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectGUI::TimerWakeup() { return AAX_SUCCESS; }

AAX_Result AAX_CEffectGUI::ParameterUpdated(AAX_CParamID) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectGUI::GetCustomLabel(int32_t, AAX_IString*) const { return AAX_ERROR_NULL_OBJECT; }

AAX_Result AAX_CEffectGUI::SetControlHighlightInfo(AAX_CParamID, AAX_CBoolean, int32_t) { return AAX_SUCCESS; }

int32_t AAX_CEffectGUI::GetViewContainerType() const {
    return mViewContainer ? mViewContainer->GetType() : AAX_eViewContainer_Type_NULL;
}

void* AAX_CEffectGUI::GetViewContainerPtr() const { return mViewContainer ? mViewContainer->GetPtr() : nullptr; }

void AAX_CEffectGUI::CreateViewContents() {}

void AAX_CEffectGUI::CreateViewContainer() {}

void AAX_CEffectGUI::DeleteViewContainer() {}

void AAX_CEffectGUI::UpdateAllParameters() {
    if (mEffectParameters == nullptr) {
        return;
    }
    int32_t count = 0;
    if (mEffectParameters->GetNumberOfParameters(&count) != AAX_SUCCESS || count < 0) {
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        AAX_CString id;
        if (mEffectParameters->GetParameterIDFromIndex(i, &id) == AAX_SUCCESS) {
            ParameterUpdated(id.Get());
        }
    }
}

void AAX_CEffectGUI::CreateEffectView(void*) {}
