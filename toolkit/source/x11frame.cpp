// The X11 side of a frame: a child window of the host's window on a display connection of the
// frame's own, drawn with cairo from the frame's back buffer. Events are read whenever the host's run
// loop reports the connection readable (or the frame idles); a redraw request wakes the loop by
// exposing the dirty area of the window to ourselves.
#include "platformframe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>

namespace VSTGUI {

namespace {

int32_t Modifiers(unsigned int state) {
    int32_t m = 0;
    if (state & ShiftMask) m |= kShift;
    if (state & ControlMask) m |= kControl;
    if (state & Mod1Mask) m |= kAlt;
    if (state & Mod4Mask) m |= kApple;
    return m;
}

int32_t HeldButtons(unsigned int state) {
    int32_t b = 0;
    if (state & Button1Mask) b |= kLButton;
    if (state & Button2Mask) b |= kMButton;
    if (state & Button3Mask) b |= kRButton;
    return b;
}

int32_t ButtonBit(unsigned int button) {
    switch (button) {
        case Button1: return kLButton;
        case Button2: return kMButton;
        case Button3: return kRButton;
        default: return 0;
    }
}

class X11PlatformFrame : public IPlatformFrame, public X11::IEventHandler {
public:
    X11PlatformFrame(CFrame* frame, X11::IRunLoop* runLoop) : mFrame(frame), mRunLoop(runLoop) {}

    bool open(unsigned long parent, int width, int height) {
        mDisplay = XOpenDisplay(nullptr);
        if (mDisplay == nullptr || parent == 0) return false;
        Window root = 0, parentOfParent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        // A window id that does not exist makes the query fail: check before creating a child.
        XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        const Status ok = XQueryTree(mDisplay, parent, &root, &parentOfParent, &children, &count);
        XSync(mDisplay, False);
        XSetErrorHandler(old);
        if (children != nullptr) XFree(children);
        if (!ok) return false;

        const int screen = DefaultScreen(mDisplay);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;  // the frame paints every pixel; no flashing on expose
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                EnterWindowMask | LeaveWindowMask | KeyPressMask | StructureNotifyMask;
        mWindow = XCreateWindow(mDisplay, parent, 0, 0, static_cast<unsigned>(width > 0 ? width : 1),
                                static_cast<unsigned>(height > 0 ? height : 1), 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
        if (mWindow == 0) return false;
        mSurface = cairo_xlib_surface_create(mDisplay, mWindow, DefaultVisual(mDisplay, screen),
                                             width > 0 ? width : 1, height > 0 ? height : 1);
        XMapWindow(mDisplay, mWindow);
        XFlush(mDisplay);
        if (mRunLoop != nullptr) mRegistered = mRunLoop->registerEventHandler(ConnectionNumber(mDisplay), this);
        return true;
    }

    ~X11PlatformFrame() override {
        if (mRegistered) mRunLoop->unregisterEventHandler(this);
        if (mSurface != nullptr) cairo_surface_destroy(mSurface);
        if (mDisplay != nullptr) {
            if (mWindow != 0) XDestroyWindow(mDisplay, mWindow);
            XCloseDisplay(mDisplay);
        }
    }

    void onEvent() override { mFrame->idle(); }

    void setSize(int width, int height) override {
        if (width <= 0 || height <= 0) return;
        XResizeWindow(mDisplay, mWindow, static_cast<unsigned>(width), static_cast<unsigned>(height));
        cairo_xlib_surface_set_size(mSurface, width, height);
        XFlush(mDisplay);
    }

    void setPosition(int x, int y) override {
        XMoveWindow(mDisplay, mWindow, x, y);
        XFlush(mDisplay);
    }

    bool getMouseLocation(CPoint& where) const override {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(mDisplay, mWindow, &root, &child, &rootX, &rootY, &x, &y, &mask)) return false;
        where = CPoint(x, y);
        return true;
    }

    void invalidate(const CRect& rect) override {
        if (mHandling) return;  // the frame paints when the events are done
        // An exposure sent to ourselves makes the connection readable, so the host's loop calls back.
        XClearArea(mDisplay, mWindow, static_cast<int>(rect.left), static_cast<int>(rect.top),
                   static_cast<unsigned>(rect.getWidth() + 0.5), static_cast<unsigned>(rect.getHeight() + 0.5), True);
        XFlush(mDisplay);
    }

    void present(cairo_surface_t* image, const CRect& area) override {
        cairo_t* cr = cairo_create(mSurface);
        cairo_rectangle(cr, area.left, area.top, area.getWidth(), area.getHeight());
        cairo_clip(cr);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(mSurface);
        XFlush(mDisplay);
    }

    void handleEvents() override {
        mHandling = true;
        while (XPending(mDisplay) > 0) {
            XEvent event;
            XNextEvent(mDisplay, &event);
            dispatch(event);
        }
        mHandling = false;
    }

private:
    void dispatch(XEvent& event) {
        switch (event.type) {
            case Expose: {
                const XExposeEvent& e = event.xexpose;
                mFrame->invalidRect(CRect(e.x, e.y, e.x + e.width, e.y + e.height));
                break;
            }
            case ButtonPress: {
                const int32_t bit = ButtonBit(event.xbutton.button);
                if (bit == 0) break;  // wheel
                CPoint where(event.xbutton.x, event.xbutton.y);
                CButtonState state(bit | Modifiers(event.xbutton.state));
                if (bit == kLButton && event.xbutton.time - mLastClick < 250) state |= kDoubleClick;
                if (bit == kLButton) mLastClick = event.xbutton.time;
                mFrame->onMouseDown(where, state);
                break;
            }
            case ButtonRelease: {
                const int32_t bit = ButtonBit(event.xbutton.button);
                if (bit == 0) break;
                CPoint where(event.xbutton.x, event.xbutton.y);
                mFrame->onMouseUp(where, CButtonState(bit | Modifiers(event.xbutton.state)));
                break;
            }
            case MotionNotify: {
                // Of a run of moves only the latest position matters; a move after a press or a
                // release stays on its side of it.
                while (XPending(mDisplay) > 0) {
                    XEvent next;
                    XPeekEvent(mDisplay, &next);
                    if (next.type != MotionNotify || next.xmotion.window != mWindow) break;
                    XNextEvent(mDisplay, &event);
                }
                CPoint where(event.xmotion.x, event.xmotion.y);
                mFrame->onMouseMoved(where, CButtonState(HeldButtons(event.xmotion.state) |
                                                         Modifiers(event.xmotion.state)));
                break;
            }
            case LeaveNotify: {
                CPoint where(event.xcrossing.x, event.xcrossing.y);
                mFrame->onMouseExited(where, CButtonState(Modifiers(event.xcrossing.state)));
                break;
            }
            case KeyPress: {
                VstKeyCode key;
                KeySym sym = 0;
                char text[8] = {};
                XLookupString(&event.xkey, text, sizeof(text), &sym, nullptr);
                key.character = static_cast<unsigned char>(text[0]);
                mFrame->platformOnKeyDown(key);
                break;
            }
            default:
                break;
        }
    }

    CFrame* mFrame;
    X11::IRunLoop* mRunLoop;
    Display* mDisplay = nullptr;
    Window mWindow = 0;
    cairo_surface_t* mSurface = nullptr;
    bool mRegistered = false;
    bool mHandling = false;
    Time mLastClick = 0;
};

}  // namespace

std::unique_ptr<IPlatformFrame> CreateX11PlatformFrame(CFrame* frame, unsigned long parent, X11::IRunLoop* runLoop,
                                                       int width, int height) {
    auto platform = std::make_unique<X11PlatformFrame>(frame, runLoop);
    if (!platform->open(parent, width, height)) return nullptr;
    return platform;
}

}  // namespace VSTGUI
