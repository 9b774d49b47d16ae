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
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        mSurface = surface;
    } else {
        cairo_surface_destroy(surface);
    }
}

CBitmap::CBitmap(CCoord width, CCoord height) : mDesc("") {
    if (width >= 1 && height >= 1) {
        mSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    }
}

CBitmap::~CBitmap() {
    if (mSurface != nullptr) cairo_surface_destroy(mSurface);
}

CCoord CBitmap::getWidth() const { return mSurface ? cairo_image_surface_get_width(mSurface) : 0; }
CCoord CBitmap::getHeight() const { return mSurface ? cairo_image_surface_get_height(mSurface) : 0; }

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
    if (context == nullptr || mSurface == nullptr || dest.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_clip(cr);
    cairo_set_source_surface(cr, mSurface, dest.left - offset.x, dest.top - offset.y);
    cairo_paint_with_alpha(cr, alpha * context->getGlobalAlpha());
    cairo_restore(cr);
}

}  // namespace VSTGUI
