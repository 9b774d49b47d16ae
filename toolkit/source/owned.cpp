// The owners' deleters: the one place where the toolkit releases cairo, pango and Xlib objects.
#include "vstgui/owned.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <cairo.h>
#include <pango/pangocairo.h>

namespace VSTGUI {
namespace owned {

void CairoDeleter::operator()(cairo_t* p) const { cairo_destroy(p); }
void SurfaceDeleter::operator()(cairo_surface_t* p) const { cairo_surface_destroy(p); }
void DeviceDeleter::operator()(cairo_device_t* p) const { cairo_device_destroy(p); }
void PatternDeleter::operator()(cairo_pattern_t* p) const { cairo_pattern_destroy(p); }
void FontOptionsDeleter::operator()(cairo_font_options_t* p) const { cairo_font_options_destroy(p); }
void LayoutDeleter::operator()(PangoLayout* p) const { g_object_unref(p); }
void FontDescriptionDeleter::operator()(PangoFontDescription* p) const { pango_font_description_free(p); }
void AttrListDeleter::operator()(PangoAttrList* p) const { pango_attr_list_unref(p); }
void DisplayDeleter::operator()(Display* p) const { XCloseDisplay(p); }
void XFreeDeleter::operator()(void* p) const { XFree(p); }
void XrmDeleter::operator()(_XrmHashBucketRec* p) const { XrmDestroyDatabase(p); }

void XWindow::reset() {
    if (mDisplay != nullptr && mWindow != 0) XDestroyWindow(mDisplay, mWindow);
    mWindow = 0;
}

}  // namespace owned
}  // namespace VSTGUI
