// Owners for the C objects of cairo, pango and glib. Each owner is a std::unique_ptr that carries the
// library's own free function, so an object is freed exactly once on every way out of its scope
// (early returns and exceptions included) and a forgotten destroy cannot happen:
//
//     marovex::gfx::CairoPattern well(cairo_pattern_create_radial(...));
//     cairo_set_source(cr, well.get());
//
// get() lends the object, release() hands it on, and an empty owner frees nothing. The objects of
// another C library get an owner the same way, from the free function that takes the object alone:
//
//     using DisplayOwner = marovex::gfx::Owned<Display, XCloseDisplay>;
//
// Objects freed with a second argument (an Xlib GC or Pixmap with its Display) need a small type of
// their own that holds both.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>

namespace marovex::gfx {

// The deleter: calls Free on the object (unique_ptr never hands it a null pointer).
template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T* object) const noexcept {
        Free(object);
    }
};

template <typename T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

using CairoContext = Owned<cairo_t, cairo_destroy>;
using CairoSurface = Owned<cairo_surface_t, cairo_surface_destroy>;
using CairoPattern = Owned<cairo_pattern_t, cairo_pattern_destroy>;
using CairoFontOptions = Owned<cairo_font_options_t, cairo_font_options_destroy>;
using PangoLayoutOwner = Owned<PangoLayout, g_object_unref>;
using PangoFontDescriptionOwner = Owned<PangoFontDescription, pango_font_description_free>;
using PangoAttrListOwner = Owned<PangoAttrList, pango_attr_list_unref>;

}  // namespace marovex::gfx
