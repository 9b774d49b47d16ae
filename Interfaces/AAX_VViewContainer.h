// Wraps the host's view container (versions 1 and 2) behind AAX_IViewContainer.
//
// Construction never fails: it asks the given object for version 1 and version 2; a missing
// interface stays null. Without version 1, GetType, GetPtr and SetViewSize answer 0 and the other
// operations -20009; HandleMultipleParametersMouseDown answers -20009 without version 2.
// Destruction releases what was obtained.
// Threading: the host's user-interface thread.
#pragma once

#include "AAX_IViewContainer.h"

class AAX_VViewContainer : public AAX_IViewContainer {
public:
    explicit AAX_VViewContainer(IACFUnknown* container);
    ~AAX_VViewContainer() override;
    AAX_VViewContainer(const AAX_VViewContainer&) = delete;
    AAX_VViewContainer& operator=(const AAX_VViewContainer&) = delete;

    int32_t GetType() override;
    void* GetPtr() override;
    AAX_Result GetModifiers(uint32_t* modifiers) override;
    AAX_Result SetViewSize(AAX_Point& size) override;
    // A result of 0 means the host took the gesture.
    AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t modifiers) override;
    AAX_Result HandleParameterMouseDrag(AAX_CParamID id, uint32_t modifiers) override;
    AAX_Result HandleParameterMouseUp(AAX_CParamID id, uint32_t modifiers) override;
    AAX_Result HandleMultipleParametersMouseDown(const AAX_CParamID* ids, uint32_t count,
                                                 uint32_t modifiers) override;

    AAX_IACFViewContainer* GetV1() const { return mIViewContainer; }
    AAX_IACFViewContainer_V2* GetV2() const { return mIViewContainerV2; }

private:
    AAX_IACFViewContainer* mIViewContainer;
    AAX_IACFViewContainer_V2* mIViewContainerV2;
};
