// The host's view container: the native parent view of the editor, and the host's parameter gestures.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

// Container types answered by GetType.
enum : int32_t {
    AAX_eViewContainer_Type_NULL = 0,
    AAX_eViewContainer_Type_NSView = 1,  // the native parent view the editor's frame attaches to
    AAX_eViewContainer_Type_UIView = 2,
    AAX_eViewContainer_Type_HWND = 3,
    AAX_eViewContainer_Type_X11Window = 4,
};

// Host modifier mask bits.
enum : uint32_t {
    AAX_eModifiers_Shift = 1,
    AAX_eModifiers_Control = 2,
    AAX_eModifiers_Option = 4,
    AAX_eModifiers_Command = 8,
    AAX_eModifiers_SecondaryButton = 16,
};

class AAX_IACFViewContainer : public IACFUnknown {
public:
    virtual int32_t GetType() = 0;
    virtual void* GetPtr() = 0;
    virtual AAX_Result GetModifiers(uint32_t* modifiers) = 0;
    virtual AAX_Result SetViewSize(AAX_Point& size) = 0;
    // A result of 0 means the host took the gesture.
    virtual AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t modifiers) = 0;
    virtual AAX_Result HandleParameterMouseDrag(AAX_CParamID id, uint32_t modifiers) = 0;
    virtual AAX_Result HandleParameterMouseUp(AAX_CParamID id, uint32_t modifiers) = 0;

protected:
    ~AAX_IACFViewContainer() = default;
};

class AAX_IACFViewContainer_V2 : public AAX_IACFViewContainer {
public:
    virtual AAX_Result HandleMultipleParametersMouseDown(const AAX_CParamID* ids, uint32_t count,
                                                         uint32_t modifiers) = 0;

protected:
    ~AAX_IACFViewContainer_V2() = default;
};

class AAX_IViewContainer {
public:
    virtual ~AAX_IViewContainer() = default;
    virtual int32_t GetType() = 0;
    virtual void* GetPtr() = 0;
    virtual AAX_Result GetModifiers(uint32_t* modifiers) = 0;
    virtual AAX_Result SetViewSize(AAX_Point& size) = 0;
    virtual AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t modifiers) = 0;
    virtual AAX_Result HandleParameterMouseDrag(AAX_CParamID id, uint32_t modifiers) = 0;
    virtual AAX_Result HandleParameterMouseUp(AAX_CParamID id, uint32_t modifiers) = 0;
    // Version 2.
    virtual AAX_Result HandleMultipleParametersMouseDown(const AAX_CParamID* ids, uint32_t count,
                                                         uint32_t modifiers) = 0;
};
