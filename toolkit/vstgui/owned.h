// Owners for the cairo, pango and Xlib objects the toolkit makes: each kind has one small owning
// pointer (std::unique_ptr with a deleter that calls the library's own release), so every object is
// released exactly once on every path out, and none is released by hand anywhere else.
//
// The library types are only declared here; the deleters are defined in source/owned.cpp, so that
// including this header brings in neither cairo, pango nor Xlib (whose macros clash with ordinary
// names).
#pragma once

#include <memory>
#include <utility>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_pattern cairo_pattern_t;
typedef struct _cairo_font_options cairo_font_options_t;
typedef struct _cairo_device cairo_device_t;
typedef struct _PangoLayout PangoLayout;
typedef struct _PangoFontDescription PangoFontDescription;
typedef struct _PangoAttrList PangoAttrList;
typedef struct _XDisplay Display;
typedef struct _XrmHashBucketRec* XrmDatabase;

namespace VSTGUI {
namespace owned {

struct CairoDeleter { void operator()(cairo_t* p) const; };                           // cairo_destroy
struct SurfaceDeleter { void operator()(cairo_surface_t* p) const; };                 // cairo_surface_destroy
struct DeviceDeleter { void operator()(cairo_device_t* p) const; };                   // cairo_device_destroy
struct PatternDeleter { void operator()(cairo_pattern_t* p) const; };                 // cairo_pattern_destroy
struct FontOptionsDeleter { void operator()(cairo_font_options_t* p) const; };        // cairo_font_options_destroy
struct LayoutDeleter { void operator()(PangoLayout* p) const; };                      // g_object_unref
struct FontDescriptionDeleter { void operator()(PangoFontDescription* p) const; };     // pango_font_description_free
struct AttrListDeleter { void operator()(PangoAttrList* p) const; };                  // pango_attr_list_unref
struct DisplayDeleter { void operator()(Display* p) const; };                         // XCloseDisplay
struct XFreeDeleter { void operator()(void* p) const; };                              // XFree
struct XrmDeleter { void operator()(_XrmHashBucketRec* p) const; };                   // XrmDestroyDatabase

using Cairo = std::unique_ptr<cairo_t, CairoDeleter>;
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Pattern = std::unique_ptr<cairo_pattern_t, PatternDeleter>;
using Device = std::unique_ptr<cairo_device_t, DeviceDeleter>;
using FontOptions = std::unique_ptr<cairo_font_options_t, FontOptionsDeleter>;
using Layout = std::unique_ptr<PangoLayout, LayoutDeleter>;
using FontDescription = std::unique_ptr<PangoFontDescription, FontDescriptionDeleter>;
using AttrList = std::unique_ptr<PangoAttrList, AttrListDeleter>;
using XDisplay = std::unique_ptr<Display, DisplayDeleter>;
// Memory Xlib hands out to be released with XFree (property data, window lists, hint records).
template <class T>
using XMemory = std::unique_ptr<T, XFreeDeleter>;
// A resource database (XrmDatabase).
using XResources = std::unique_ptr<_XrmHashBucketRec, XrmDeleter>;

// An X window created on a display: destroyed on that display when the owner goes. The display must
// outlive it (declare the display's owner first).
class XWindow {
public:
    XWindow() = default;
    XWindow(Display* display, unsigned long window) : mDisplay(display), mWindow(window) {}
    ~XWindow() { reset(); }
    XWindow(XWindow&& o) noexcept : mDisplay(o.mDisplay), mWindow(std::exchange(o.mWindow, 0)) {}
    XWindow& operator=(XWindow&& o) noexcept {
        if (this != &o) {
            reset();
            mDisplay = o.mDisplay;
            mWindow = std::exchange(o.mWindow, 0);
        }
        return *this;
    }
    XWindow(const XWindow&) = delete;
    XWindow& operator=(const XWindow&) = delete;

    unsigned long get() const { return mWindow; }
    explicit operator bool() const { return mWindow != 0; }
    // Destroys the window (nothing when there is none).
    void reset();
    // Forgets the window without destroying it (its connection broke: nothing reaches the server).
    void release() { mWindow = 0; }

private:
    Display* mDisplay = nullptr;
    unsigned long mWindow = 0;
};

}  // namespace owned
}  // namespace VSTGUI
