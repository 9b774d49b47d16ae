// The host's view container for one editor: the native parent view (an X11 window, or none for
// drawing offscreen), the host's modifier keys, its answers to the editor's parameter gestures, and
// the host side of the editor's event hand-off (the run loop the editor registers its display
// connection with).
//
// The container reports type 1 (the native view the editor's frame attaches to); its native pointer
// is an AAX_SX11NativeView record that lives as long as the container. Parameter gestures are
// answered "not taken" (-20009) unless a gesture handler takes them, so the editor's own controls
// handle them.
//
// Threading: the user-interface thread only (the thread that runs the editor).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AAX.h"
#include "ACFBase.h"

class MarovexGui;

enum class MarovexGesture { Down, Drag, Up };

class MarovexViewContainer {
public:
    // window: the X11 window id of the editor's parent; 0 for an editor drawn offscreen.
    explicit MarovexViewContainer(uint64_t window = 0);
    // Complains on standard error when the plug-in still holds references to the container.
    ~MarovexViewContainer();
    MarovexViewContainer(const MarovexViewContainer&) = delete;
    MarovexViewContainer& operator=(const MarovexViewContainer&) = delete;

    // The object to hand to the editor's SetViewContainer.
    IACFUnknown* Unknown();
    // References the plug-in holds (0 once the editor let go of the container).
    uint32_t PluginReferences() const;

    // The host's modifier keys, as reported by GetModifiers (host mask: Shift 1, Control 2,
    // Option 4, Command 8, secondary button 16).
    void SetModifiers(uint32_t modifiers);
    // Decides whether the host takes a parameter gesture (true: the editor leaves it alone). Without
    // a handler the host takes none.
    void SetGestureHandler(std::function<bool(MarovexGesture, const std::string& id, uint32_t modifiers)> handler);

    // Event hand-off: the descriptors the editor registered, and the call for one that is readable.
    std::vector<int> EventDescriptors() const;
    void HandleEvents(int fd);
    // Calls every registered handler (for events a display connection has already read in).
    void HandleAllEvents();

    // The editor's scale factor, told to the editor through the native view record when it builds
    // its view (set it before SetViewContainer): 0, the default, lets the editor take the desktop's.
    void SetScaleFactor(float scale);

    // Offscreen drawing: the pixels the editor's Draw copies into (32-bit premultiplied ARGB in
    // native byte order, width x height, rows of width x 4 bytes), allocated here.
    void SetPixelSize(int32_t width, int32_t height);
    const std::vector<uint32_t>& Pixels() const;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

// Opens the editor offscreen in a fresh container at the given scale, calls `prepare` (e.g. timer
// calls), draws the whole view and returns its pixels. False (and *error) when the editor builds no
// view or reports an empty size.
bool MarovexRenderEditorOffscreen(MarovexGui& gui, std::vector<uint32_t>* pixels, int32_t* width, int32_t* height,
                                  const std::function<void()>& prepare, std::string* error, float scale = 1.0f);
