// The X11 side of a frame: a child window of the host's window on a display connection of the
// frame's own, drawn with cairo from the frame's back buffer. Events are read whenever the host's run
// loop reports the connection readable (or the frame idles); a redraw request wakes the loop by
// exposing the dirty area of the window to ourselves. Window positions are pixels; the frame's views
// get them divided by the frame's scale factor.
//
// The connection is the frame's own business: when it breaks (the X server went away), the frame
// stops using it instead of letting Xlib end the host's process.
#include "platformframe.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vstgui/owned.h"

namespace VSTGUI {

namespace {

// Two presses of the left button at most this far apart in time and place make a double click.
constexpr Time kDoubleClickMs = 400;
constexpr int kDoubleClickPixels = 4;

int32_t Modifiers(unsigned int state) {
    int32_t m = 0;
    if (state & ShiftMask) m |= kShift;
    if (state & ControlMask) m |= kControl;
    if (state & Mod1Mask) m |= kAlt;
    if (state & Mod4Mask) m |= kApple;
    return m;
}

unsigned char KeyModifiers(unsigned int state) {
    unsigned char m = 0;
    if (state & ShiftMask) m |= MODIFIER_SHIFT;
    if (state & ControlMask) m |= MODIFIER_COMMAND;
    if (state & Mod1Mask) m |= MODIFIER_ALTERNATE;
    if (state & Mod4Mask) m |= MODIFIER_CONTROL;
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

unsigned char VirtualKeyOf(KeySym sym) {
    switch (sym) {
        case XK_Left: case XK_KP_Left: return VKEY_LEFT;
        case XK_Up: case XK_KP_Up: return VKEY_UP;
        case XK_Right: case XK_KP_Right: return VKEY_RIGHT;
        case XK_Down: case XK_KP_Down: return VKEY_DOWN;
        case XK_Page_Up: case XK_KP_Page_Up: return VKEY_PAGEUP;
        case XK_Page_Down: case XK_KP_Page_Down: return VKEY_PAGEDOWN;
        case XK_Home: case XK_KP_Home: return VKEY_HOME;
        case XK_End: case XK_KP_End: return VKEY_END;
        case XK_Return: case XK_KP_Enter: return VKEY_RETURN;
        case XK_Escape: return VKEY_ESCAPE;
        default: return VKEY_NONE;
    }
}

class X11PlatformFrame : public IPlatformFrame, public X11::IEventHandler {
public:
    X11PlatformFrame(CFrame* frame, X11::IRunLoop* runLoop) : mFrame(frame), mRunLoop(runLoop) {}

    bool open(unsigned long parent, int width, int height) {
        mDisplay.reset(XOpenDisplay(nullptr));
        if (mDisplay == nullptr || parent == 0) return false;
        Display* display = mDisplay.get();
        XSetIOErrorExitHandler(display, &X11PlatformFrame::ConnectionBroke, this);
        Window root = 0, parentOfParent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        // A window id that does not exist makes the query fail: check before creating a child.
        XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        const Status ok = XQueryTree(display, parent, &root, &parentOfParent, &children, &count);
        const owned::XMemory<Window> childList(children);
        XSync(display, False);
        XSetErrorHandler(old);
        if (!ok) return false;

        const int screen = DefaultScreen(display);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;  // the frame paints every pixel; no flashing on expose
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                EnterWindowMask | LeaveWindowMask | KeyPressMask | StructureNotifyMask;
        mWindow = owned::XWindow(display, XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width > 0 ? width : 1),
                                                       static_cast<unsigned>(height > 0 ? height : 1), 0, CopyFromParent,
                                                       InputOutput, CopyFromParent, CWBackPixmap | CWEventMask,
                                                       &attributes));
        if (!mWindow) return false;
        mSurface.reset(cairo_xlib_surface_create(display, mWindow.get(), DefaultVisual(display, screen),
                                                 width > 0 ? width : 1, height > 0 ? height : 1));
        XMapWindow(display, mWindow.get());
        XFlush(display);
        if (mRunLoop != nullptr) mRegistered = mRunLoop->registerEventHandler(ConnectionNumber(display), this);
        return true;
    }

    ~X11PlatformFrame() override {
        if (mRegistered) mRunLoop->unregisterEventHandler(this);
        // The surface before the window and the window before the display; cairo's record of the
        // display goes with the device, which closing the display alone would leave behind.
        if (mSurface != nullptr) {
            const owned::Device device(cairo_device_reference(cairo_surface_get_device(mSurface.get())));
            mSurface.reset();
            if (device != nullptr) cairo_device_finish(device.get());
        }
        if (mBroken) mWindow.release();  // nothing reaches the server any more
        mWindow.reset();
    }

    void onEvent() override { mFrame->idle(); }

    void setSize(int width, int height) override {
        if (width <= 0 || height <= 0 || mBroken) return;
        XResizeWindow(mDisplay.get(), mWindow.get(), static_cast<unsigned>(width), static_cast<unsigned>(height));
        cairo_xlib_surface_set_size(mSurface.get(), width, height);
        XFlush(mDisplay.get());
    }

    void setPosition(int x, int y) override {
        if (mBroken) return;
        XMoveWindow(mDisplay.get(), mWindow.get(), x, y);
        XFlush(mDisplay.get());
    }

    bool getMouseLocation(CPoint& where) const override {
        if (mBroken) return false;
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(mDisplay.get(), mWindow.get(), &root, &child, &rootX, &rootY, &x, &y, &mask)) return false;
        where = CPoint(x, y);
        return true;
    }

    void invalidate(const CRect& rect) override {
        if (mHandling || mBroken) return;  // the frame paints when the events are done
        // An exposure sent to ourselves makes the connection readable, so the host's loop calls back.
        XClearArea(mDisplay.get(), mWindow.get(), static_cast<int>(rect.left), static_cast<int>(rect.top),
                   static_cast<unsigned>(rect.getWidth() + 0.5), static_cast<unsigned>(rect.getHeight() + 0.5), True);
        XFlush(mDisplay.get());
    }

    void present(cairo_surface_t* image, const CRect& area) override {
        if (mBroken) return;
        {
            const owned::Cairo cr(cairo_create(mSurface.get()));
            cairo_rectangle(cr.get(), area.left, area.top, area.getWidth(), area.getHeight());
            cairo_clip(cr.get());
            cairo_set_source_surface(cr.get(), image, 0, 0);
            cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
            cairo_paint(cr.get());
        }
        cairo_surface_flush(mSurface.get());
        XFlush(mDisplay.get());
    }

    void handleEvents() override {
        mHandling = true;
        while (!mBroken && XPending(mDisplay.get()) > 0) {
            XEvent event;
            XNextEvent(mDisplay.get(), &event);
            dispatch(event);
        }
        mHandling = false;
    }

    double desktopScaleFactor() const override { return mBroken ? 1.0 : X11::desktopScaleFactor(mDisplay.get()); }

private:
    static void ConnectionBroke(Display*, void* self) { static_cast<X11PlatformFrame*>(self)->mBroken = true; }

    CPoint Local(int x, int y) const {
        const double scale = mFrame->getScaleFactor();
        return CPoint(x / scale, y / scale);
    }

    void dispatch(XEvent& event) {
        switch (event.type) {
            case Expose: {
                const XExposeEvent& e = event.xexpose;
                const CPoint topLeft = Local(e.x, e.y);
                const CPoint bottomRight = Local(e.x + e.width, e.y + e.height);
                mFrame->invalidRect(CRect(std::floor(topLeft.x), std::floor(topLeft.y), std::ceil(bottomRight.x),
                                          std::ceil(bottomRight.y)));
                break;
            }
            case ButtonPress: {
                const XButtonEvent& b = event.xbutton;
                CPoint where = Local(b.x, b.y);
                if (b.button >= 4 && b.button <= 7) {  // wheel notches: up, down, left, right
                    const CMouseWheelAxis axis = b.button <= 5 ? kMouseWheelAxisY : kMouseWheelAxisX;
                    const float distance = (b.button == 4 || b.button == 7) ? 1.0f : -1.0f;
                    mFrame->onWheel(where, axis, distance, CButtonState(HeldButtons(b.state) | Modifiers(b.state)));
                    break;
                }
                const int32_t bit = ButtonBit(b.button);
                if (bit == 0) break;
                CButtonState state(bit | Modifiers(b.state));
                if (bit == kLButton) {
                    const bool twice = mHaveClick && b.time - mLastClick < kDoubleClickMs &&
                                       std::abs(b.x - mLastClickX) <= kDoubleClickPixels &&
                                       std::abs(b.y - mLastClickY) <= kDoubleClickPixels;
                    if (twice) state |= kDoubleClick;
                    // A third press starts counting afresh.
                    mHaveClick = !twice;
                    mLastClick = b.time;
                    mLastClickX = b.x;
                    mLastClickY = b.y;
                }
                mFrame->onMouseDown(where, state);
                break;
            }
            case ButtonRelease: {
                const int32_t bit = ButtonBit(event.xbutton.button);
                if (bit == 0) break;
                CPoint where = Local(event.xbutton.x, event.xbutton.y);
                mFrame->onMouseUp(where, CButtonState(bit | Modifiers(event.xbutton.state)));
                break;
            }
            case MotionNotify: {
                // Of a run of moves only the latest position matters; a move after a press or a
                // release stays on its side of it.
                while (XPending(mDisplay.get()) > 0) {
                    XEvent next;
                    XPeekEvent(mDisplay.get(), &next);
                    if (next.type != MotionNotify || next.xmotion.window != mWindow.get()) break;
                    XNextEvent(mDisplay.get(), &event);
                }
                CPoint where = Local(event.xmotion.x, event.xmotion.y);
                mFrame->onMouseMoved(where, CButtonState(HeldButtons(event.xmotion.state) |
                                                         Modifiers(event.xmotion.state)));
                break;
            }
            case LeaveNotify: {
                CPoint where = Local(event.xcrossing.x, event.xcrossing.y);
                mFrame->onMouseExited(where, CButtonState(Modifiers(event.xcrossing.state)));
                break;
            }
            case KeyPress: {
                VstKeyCode key;
                KeySym sym = 0;
                char text[8] = {};
                XLookupString(&event.xkey, text, sizeof(text), &sym, nullptr);
                key.virt = VirtualKeyOf(sym);
                key.character = key.virt == VKEY_NONE ? static_cast<unsigned char>(text[0]) : 0;
                key.modifier = KeyModifiers(event.xkey.state);
                mFrame->platformOnKeyDown(key);
                break;
            }
            default:
                break;
        }
    }

    CFrame* mFrame;
    X11::IRunLoop* mRunLoop;
    owned::XDisplay mDisplay;  // declared first: it goes last
    owned::XWindow mWindow;
    owned::Surface mSurface;
    bool mRegistered = false;
    bool mHandling = false;
    bool mBroken = false;
    bool mHaveClick = false;
    Time mLastClick = 0;
    int mLastClickX = 0;
    int mLastClickY = 0;
};

}  // namespace

double X11::desktopScaleFactor(Display* display) {
    // GDK_SCALE: the desktop's whole-number window scale, as toolkits read it.
    if (const char* env = std::getenv("GDK_SCALE")) {
        char* end = nullptr;
        const long scale = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && scale >= 1 && scale <= 4) return static_cast<double>(scale);
    }
    // Xft.dpi: the desktop's font resolution, 96 at scale 1.
    const char* resources = display != nullptr ? XResourceManagerString(display) : nullptr;
    if (resources == nullptr) return 1.0;
    XrmInitialize();
    const owned::XResources database(XrmGetStringDatabase(resources));
    if (database == nullptr) return 1.0;
    double scale = 1.0;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(database.get(), "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        const std::string text(value.addr, strnlen(value.addr, value.size));
        char* end = nullptr;
        const double dpi = std::strtod(text.c_str(), &end);
        // To a quarter step: 120 dpi is 1.25, 144 is 1.5, 192 is 2.
        if (end != text.c_str() && dpi > 0) scale = std::round(dpi / 96.0 * 4.0) / 4.0;
    }
    return scale < 1.0 ? 1.0 : scale > 4.0 ? 4.0 : scale;
}

std::unique_ptr<IPlatformFrame> CreateX11PlatformFrame(CFrame* frame, unsigned long parent, X11::IRunLoop* runLoop,
                                                       int width, int height) {
    auto platform = std::make_unique<X11PlatformFrame>(frame, runLoop);
    if (!platform->open(parent, width, height)) return nullptr;
    return platform;
}

}  // namespace VSTGUI
