// Bitmaps loaded with cairo's PNG reader.
#include "vstgui/cbitmap.h"

#include <cairo.h>

#include "vstgui/cdrawcontext.h"

namespace VSTGUI {

namespace {
std::string& ResourceBasePath() {
    static std::string path;
    return path;
}
}  // namespace

void setResourceBasePath(const std::string& path) { ResourceBasePath() = path; }
const std::string& getResourceBasePath() { return ResourceBasePath(); }

CBitmap::CBitmap(const CResourceDescription& desc) : mDesc(desc) {
    std::string path = getResourceBasePath();
    if (!path.empty() && path.back() != '/') path += '/';
    path += desc.name();
    owned::Surface surface(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS) mSurface = std::move(surface);
}

CBitmap::CBitmap(CCoord width, CCoord height) : mDesc("") {
    if (width >= 1 && height >= 1) {
        mSurface.reset(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height)));
    }
}

CBitmap::~CBitmap() = default;

CCoord CBitmap::getWidth() const { return mSurface ? cairo_image_surface_get_width(mSurface.get()) : 0; }
CCoord CBitmap::getHeight() const { return mSurface ? cairo_image_surface_get_height(mSurface.get()) : 0; }

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    paint(context, dest, offset, alpha, false);
}

void CBitmap::drawPart(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    paint(context, dest, offset, alpha, true);
}

void CBitmap::paint(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha, bool partOnly) {
    if (context == nullptr || mSurface == nullptr || dest.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_clip(cr);
    if (context->getScale() == 1.0) {
        cairo_set_source_surface(cr, mSurface.get(), dest.left - offset.x, dest.top - offset.y);
        cairo_paint_with_alpha(cr, alpha * context->getGlobalAlpha());
    } else {
        // Scaled, the filter reads neighbouring pixels: the edges of the source (the whole bitmap, or
        // only the part drawn) repeat instead of fading out or reaching into what lies beside it.
        owned::Surface part;
        if (partOnly) {
            part.reset(cairo_surface_create_for_rectangle(mSurface.get(), offset.x, offset.y, dest.getWidth(),
                                                          dest.getHeight()));
            cairo_set_source_surface(cr, part.get(), dest.left, dest.top);
        } else {
            cairo_set_source_surface(cr, mSurface.get(), dest.left - offset.x, dest.top - offset.y);
        }
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint_with_alpha(cr, alpha * context->getGlobalAlpha());
    }
    cairo_restore(cr);
}

}  // namespace VSTGUI
