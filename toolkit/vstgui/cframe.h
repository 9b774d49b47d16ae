// The frame: the top container of a view tree, attached to a native window or drawn offscreen.
//
// On X11 the frame opens as a child window of a native parent window (its window id passed as the
// parent pointer), on a display connection of its own. The host owns the event loop: the frame
// registers its connection's file descriptor with the run loop given in X11::FrameConfig and handles
// its events (mouse, wheel, keys, exposure) whenever the run loop reports the descriptor readable.
// Without a run loop the owner calls idle() instead. Offscreen, the frame draws into an image of its
// own size.
//
// Scale: a frame has a scale factor (1 by default; on X11 the desktop's unless the config names one).
// Its window and its pixels are its size times the factor; the views keep their coordinates, draw in
// them (scaled on the way to the pixels) and get mouse events in them.
//
// Keys go to the view under the pointer, and when it takes none, to the focus view: the view that
// last took a mouse press or a wheel turn.
#pragma once

#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>

#include "vstgui/cview.h"
#include "vstgui/owned.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _XDisplay Display;

namespace VSTGUI {

class CFrame;
class CDrawContext;

// The editor object that owns a frame. The frame never deletes it.
class VSTGUIEditorInterface {
public:
    virtual ~VSTGUIEditorInterface() = default;
    virtual void beginEdit(int32_t) {}
    virtual void endEdit(int32_t) {}
    virtual CFrame* getFrame() const { return frame; }

protected:
    CFrame* frame = nullptr;
};

enum class PlatformType : int32_t {
    kDefaultNative = 0,
    kX11EmbedWindowID,  // parent: an X11 window id, cast to a pointer
    kOffscreen,         // no window: draw into an image
};

class IPlatformFrameConfig {
public:
    virtual ~IPlatformFrameConfig() = default;
};

namespace X11 {

class IEventHandler {
public:
    virtual ~IEventHandler() = default;
    virtual void onEvent() = 0;
};

// The host's run loop, on the user-interface thread.
class IRunLoop {
public:
    virtual ~IRunLoop() = default;
    // Call handler->onEvent() whenever `fd` is readable, until the handler is unregistered.
    virtual bool registerEventHandler(int fd, IEventHandler* handler) = 0;
    virtual bool unregisterEventHandler(IEventHandler* handler) = 0;
};

struct FrameConfig : IPlatformFrameConfig {
    IRunLoop* runLoop = nullptr;  // not owned; must outlive the open frame
    // The frame's scale factor; 0: the desktop's (GDK_SCALE when set, else the X resource Xft.dpi / 96).
    double scaleFactor = 0;
};

// The desktop's scale factor on this display connection, from 1 to 4 (1 when it says nothing).
double desktopScaleFactor(Display* display);

}  // namespace X11

// Drag and drop (nothing on this platform delivers drags yet; the calls exist for views that
// forward them).
class IDataPackage {
public:
    virtual ~IDataPackage() = default;
    virtual uint32_t getCount() const = 0;
};

enum class DragOperation : int32_t { kNone = 0, kCopy, kMove };

class IPlatformFrame;
class IPlatformClipboard;

class CFrame : public CViewContainer {
public:
    CFrame(const CRect& size, VSTGUIEditorInterface* editor);

    // Attaches the frame to its platform. False when the platform cannot be reached (no display,
    // bad parent); the frame then stays usable offscreen.
    bool open(void* parent, PlatformType type = PlatformType::kDefaultNative, IPlatformFrameConfig* config = nullptr);
    // Detaches from the platform (closes the window); the destructor does it too.
    void close();
    bool isOpen() const { return mPlatform != nullptr; }
    PlatformType getPlatformType() const { return mPlatformType; }

    VSTGUIEditorInterface* getEditor() const { return mEditor; }

    // Frame size and position in the parent window.
    virtual bool setSize(CCoord width, CCoord height);
    virtual bool setPosition(CCoord x, CCoord y);
    virtual bool getSize(CRect& size) const;
    virtual bool getSize(CRect* size) const;
    void setViewSize(const CRect& rect, bool invalidate = true) override;

    // The scale factor (clamped to 0.5 to 4): the window and the pixels follow at once.
    void setScaleFactor(double scale);
    double getScaleFactor() const { return mScale; }
    // The frame's size in pixels: its size times the scale factor, rounded.
    int32_t getPixelWidth() const;
    int32_t getPixelHeight() const;

    // Draws `updateRect` of the tree. With a context, onto that context; without one, onto the
    // frame's own surface (the window, or the offscreen image) and shows it.
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    // Marks a region to redraw; the frame redraws it when it next handles its events (or idles).
    void invalidRect(const CRect& rect) override;
    const CRect& getInvalidRegion() const { return mInvalid; }

    // The pointer position in frame coordinates: asked from the window system when the frame is
    // open in a window, otherwise the position of the last mouse event the frame handled.
    bool getCurrentMouseLocation(CPoint& where) const;

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    // A wheel turn goes to the view under the pointer, which becomes the focus view when it takes it.
    bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                 const CButtonState& buttons) override;

    // A key: to the view under the pointer, else to the focus view. 1 when a view took it, else -1.
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    virtual bool platformOnKeyDown(VstKeyCode& keyCode);
    void setFocusView(CView* view) { mFocusView = view; }
    CView* getFocusView() const;

    // The frame's own drag handling: it remembers the pointer, then hands the drag to the
    // container handling.
    bool onDrop(IDataPackage* drag, const CPoint& where) override;
    void onDragEnter(IDataPackage* drag, const CPoint& where) override;
    void onDragLeave(IDataPackage* drag, const CPoint& where) override;
    void onDragMove(IDataPackage* drag, const CPoint& where) override;

    // Handles pending platform events and redraws what is invalid.
    void idle();

    // The offscreen image (or the window's back buffer) as 32-bit premultiplied ARGB in native byte
    // order: copies width x height pixels (of the scaled image) from the frame's top-left into
    // `pixels` (rows of `stride` bytes). False when the frame has no image yet or the sizes do not fit.
    bool copyPixels(void* pixels, int32_t stride, int32_t width, int32_t height) const;

    // The system text clipboard (see vstgui/cclipboard.h). The frame opens it on first use and keeps
    // it, so text it put there stays available to other programs for as long as the frame lives.
    // Both are false when there is no clipboard (no display) or, for getting, no text.
    bool setClipboardText(const std::string& text);
    bool getClipboardText(std::string& text, size_t maxBytes);

protected:
    ~CFrame() override;

private:
    void ensureImage();
    void paintInvalid();

    VSTGUIEditorInterface* mEditor;
    PlatformType mPlatformType = PlatformType::kDefaultNative;
    std::unique_ptr<IPlatformFrame> mPlatform;
    std::unique_ptr<IPlatformClipboard> mClipboard;
    owned::Surface mImage;  // back buffer, the frame's pixel size
    double mScale = 1.0;
    CRect mInvalid;
    CPoint mLastMouse;
    SharedPointer<CView> mFocusView;
    bool mInPaint = false;
    friend class IPlatformFrame;
};

}  // namespace VSTGUI
