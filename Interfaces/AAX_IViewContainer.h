// The host's view container: the native parent view of the editor, and the host's parameter gestures.
#pragma once

#include <cstddef>

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

// On X11 desktops the native parent view of a type-1 container: GetPtr returns a pointer to this
// record, which stays valid as long as the container. The host owns the event loop: an editor that
// opens a window of its own on a display connection registers the connection's file descriptor, and
// the host calls the handler on its user-interface thread whenever the descriptor is readable.
// With mWindow 0 there is no window: the editor draws offscreen, and Draw copies the asked rectangle
// into mPixels when the host has set them.
struct AAX_SX11NativeView {
    uint32_t mSize;    // sizeof(AAX_SX11NativeView), set by the host
    uint32_t mFlags;   // reserved, 0
    uint64_t mWindow;  // the parent X11 window id; 0 offscreen
    void* mHostContext;
    // Returns 0 when the host will watch `fd`; anything else means it will not.
    int32_t (*mRegisterEventFd)(void* hostContext, int32_t fd, void (*handler)(void* context), void* context);
    void (*mUnregisterEventFd)(void* hostContext, int32_t fd);
    // Offscreen pixels: 32-bit premultiplied ARGB in native byte order, rows of mStride bytes,
    // mPixelsWidth by mPixelsHeight; null until the host provides them.
    void* mPixels;
    int32_t mStride;
    int32_t mPixelsWidth;
    int32_t mPixelsHeight;
    // The editor's scale: its window and pixels are its size times this; 0 lets the editor take the
    // desktop's (offscreen: 1). GetViewSize reports the scaled size.
    float mScaleFactor;
};
static_assert(sizeof(AAX_SX11NativeView) == 64, "the X11 native view record is 64 bytes");
static_assert(offsetof(AAX_SX11NativeView, mScaleFactor) == 60, "the scale is the record's last field");

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
