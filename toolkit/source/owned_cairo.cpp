// The deleters of the cairo and pango owners: the one place where cairo and pango objects are
// released. Kept apart from the Xlib ones (owned_x11.cpp) so that the artwork tool and the program's
// pictures, which draw without a display, link no Xlib.
#include "vstgui/owned.h"

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

}  // namespace owned
}  // namespace VSTGUI
