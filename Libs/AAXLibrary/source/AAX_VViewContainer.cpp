// Host view container wrapper.
#include "AAX_VViewContainer.h"

#include "AAX_UIDs.h"

AAX_VViewContainer::AAX_VViewContainer(IACFUnknown* container) : mIViewContainer(nullptr), mIViewContainerV2(nullptr) {
    if (container == nullptr) {
        return;
    }
    if (container->QueryInterface(IID_IAAXViewContainerV1, reinterpret_cast<void**>(&mIViewContainer)) != ACF_OK) {
        mIViewContainer = nullptr;
    }
    if (container->QueryInterface(IID_IAAXViewContainerV2, reinterpret_cast<void**>(&mIViewContainerV2)) != ACF_OK) {
        mIViewContainerV2 = nullptr;
    }
}

AAX_VViewContainer::~AAX_VViewContainer() {
    if (mIViewContainerV2 != nullptr) mIViewContainerV2->Release();
    if (mIViewContainer != nullptr) mIViewContainer->Release();
}

int32_t AAX_VViewContainer::GetType() {
    return mIViewContainer ? mIViewContainer->GetType() : AAX_eViewContainer_Type_NULL;
}

void* AAX_VViewContainer::GetPtr() { return mIViewContainer ? mIViewContainer->GetPtr() : nullptr; }

AAX_Result AAX_VViewContainer::GetModifiers(uint32_t* modifiers) {
    return mIViewContainer ? mIViewContainer->GetModifiers(modifiers) : AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result AAX_VViewContainer::SetViewSize(AAX_Point& size) {
    return mIViewContainer ? mIViewContainer->SetViewSize(size) : AAX_SUCCESS;
}

AAX_Result AAX_VViewContainer::HandleParameterMouseDown(AAX_CParamID id, uint32_t modifiers) {
    return mIViewContainer ? mIViewContainer->HandleParameterMouseDown(id, modifiers) : AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result AAX_VViewContainer::HandleParameterMouseDrag(AAX_CParamID id, uint32_t modifiers) {
    return mIViewContainer ? mIViewContainer->HandleParameterMouseDrag(id, modifiers) : AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result AAX_VViewContainer::HandleParameterMouseUp(AAX_CParamID id, uint32_t modifiers) {
    return mIViewContainer ? mIViewContainer->HandleParameterMouseUp(id, modifiers) : AAX_ERROR_UNIMPLEMENTED;
}

AAX_Result AAX_VViewContainer::HandleMultipleParametersMouseDown(const AAX_CParamID* ids, uint32_t count,
                                                                 uint32_t modifiers) {
    return mIViewContainerV2 ? mIViewContainerV2->HandleMultipleParametersMouseDown(ids, count, modifiers)
                             : AAX_ERROR_UNIMPLEMENTED;
}
