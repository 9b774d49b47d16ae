// The editor object as the host sees it. All operations run on the host's user-interface thread.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IString;

class AAX_IACFEffectGUI : public IACFUnknown {
public:
    virtual AAX_Result Initialize(IACFUnknown* effectParameters) = 0;
    virtual AAX_Result Uninitialize() = 0;
    virtual AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) = 0;
    virtual AAX_Result SetViewContainer(IACFUnknown* viewContainer) = 0;
    virtual AAX_Result GetViewSize(AAX_Point* size) const = 0;
    virtual AAX_Result Draw(AAX_Rect* drawRect) = 0;
    virtual AAX_Result TimerWakeup() = 0;
    virtual AAX_Result ParameterUpdated(AAX_CParamID id) = 0;
    virtual AAX_Result GetCustomLabel(int32_t selector, AAX_IString* label) const = 0;
    virtual AAX_Result SetControlHighlightInfo(AAX_CParamID id, AAX_CBoolean isHighlighted, int32_t color) = 0;

protected:
    ~AAX_IACFEffectGUI() = default;
};
