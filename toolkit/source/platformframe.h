// The window-system side of a frame (internal to the toolkit).
#pragma once

#include <memory>

#include "vstgui/cframe.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class IPlatformFrame {
public:
    virtual ~IPlatformFrame() = default;
    // Sizes and positions are in pixels; the frame converts its own coordinates.
    virtual void setSize(int width, int height) = 0;
    virtual void setPosition(int x, int y) = 0;
    virtual bool getMouseLocation(CPoint& where) const = 0;
    // Asks the window system for a chance to redraw soon (the frame keeps the region itself).
    virtual void invalidate(const CRect& rect) = 0;
    // Copies `area` of the frame's back buffer onto the window.
    virtual void present(cairo_surface_t* image, const CRect& area) = 0;
    // Delivers pending window-system events to the frame.
    virtual void handleEvents() = 0;
    // The desktop's scale factor (1 when it says nothing).
    virtual double desktopScaleFactor() const = 0;
};

// A child window of the X11 window `parent` on a display connection of its own; null (and nothing
// left open) when the display or the parent cannot be reached.
std::unique_ptr<IPlatformFrame> CreateX11PlatformFrame(CFrame* frame, unsigned long parent, X11::IRunLoop* runLoop,
                                                       int width, int height);

}  // namespace VSTGUI
