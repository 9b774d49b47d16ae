// Drawing with cairo; text laid out with pango.
#include "vstgui/cdrawcontext.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include "vstgui/cbitmap.h"

namespace VSTGUI {

CDrawContext::CDrawContext(cairo_surface_t* surface) : mSurface(surface), mCairo(cairo_create(surface)) {
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        mSurfaceRect = CRect(0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface));
    } else {
        mSurfaceRect = CRect(0, 0, 1 << 20, 1 << 20);
    }
    mClip = mSurfaceRect;
    mFont = kNormalFont;
}

CDrawContext::~CDrawContext() { cairo_destroy(mCairo); }

void CDrawContext::applyClip() {
    cairo_reset_clip(mCairo);
    cairo_rectangle(mCairo, mClip.left, mClip.top, mClip.getWidth(), mClip.getHeight());
    cairo_clip(mCairo);
}

void CDrawContext::setClipRect(const CRect& clip) {
    mClip = clip;
    mClip.bound(mSurfaceRect);
    applyClip();
}

void CDrawContext::resetClipRect() {
    mClip = mSurfaceRect;
    applyClip();
}

void CDrawContext::saveGlobalState() {
    if (mDepth < 16) {
        mStack[mDepth] = Saved{mFillColor, mFrameColor, mFontColor, mLineWidth, mFont, mGlobalAlpha, mClip};
    }
    ++mDepth;
}

void CDrawContext::restoreGlobalState() {
    if (mDepth == 0) return;
    --mDepth;
    if (mDepth < 16) {
        const Saved& s = mStack[mDepth];
        mFillColor = s.fill;
        mFrameColor = s.frame;
        mFontColor = s.font;
        mLineWidth = s.lineWidth;
        mFont = s.fontRef;
        mGlobalAlpha = s.alpha;
        mClip = s.clip;
        applyClip();
    }
}

void CDrawContext::setSource(const CColor& c) {
    cairo_set_source_rgba(mCairo, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0 * mGlobalAlpha);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    if (style != kDrawStroked) {
        cairo_rectangle(mCairo, rect.left, rect.top, rect.getWidth(), rect.getHeight());
        setSource(mFillColor);
        cairo_fill(mCairo);
    }
    if (style != kDrawFilled) {
        // Lines sit on pixel centres so a one-pixel frame stays sharp.
        const double h = mLineWidth / 2;
        cairo_rectangle(mCairo, rect.left + h, rect.top + h, rect.getWidth() - mLineWidth, rect.getHeight() - mLineWidth);
        cairo_set_line_width(mCairo, mLineWidth);
        setSource(mFrameColor);
        cairo_stroke(mCairo);
    }
}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    cairo_move_to(mCairo, start.x + 0.5, start.y + 0.5);
    cairo_line_to(mCairo, end.x + 0.5, end.y + 0.5);
    cairo_set_line_width(mCairo, mLineWidth);
    setSource(mFrameColor);
    cairo_stroke(mCairo);
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
    if (rect.isEmpty()) return;
    cairo_save(mCairo);
    cairo_translate(mCairo, rect.left + rect.getWidth() / 2, rect.top + rect.getHeight() / 2);
    cairo_scale(mCairo, rect.getWidth() / 2, rect.getHeight() / 2);
    cairo_arc(mCairo, 0, 0, 1, 0, 2 * 3.14159265358979323846);
    cairo_restore(mCairo);
    if (style != kDrawStroked) {
        setSource(mFillColor);
        if (style == kDrawFilledAndStroked) {
            cairo_fill_preserve(mCairo);
        } else {
            cairo_fill(mCairo);
        }
    }
    if (style != kDrawFilled) {
        cairo_set_line_width(mCairo, mLineWidth);
        setSource(mFrameColor);
        cairo_stroke(mCairo);
    }
}

namespace {
PangoLayout* MakeLayout(cairo_t* cr, CFontRef font, const std::string& text, bool antialias) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, font && !font->getName().empty() ? font->getName().c_str() : "Sans");
    const double size = font && font->getSize() > 0 ? font->getSize() : 12;
    pango_font_description_set_absolute_size(desc, size * PANGO_SCALE);
    const int32_t style = font ? font->getStyle() : 0;
    pango_font_description_set_weight(desc, (style & kBoldFace) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, (style & kItalicFace) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    if (style & kUnderlineFace) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    return layout;
}
}  // namespace

void CDrawContext::drawString(const std::string& text, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (text.empty() || rect.isEmpty()) return;
    PangoLayout* layout = MakeLayout(mCairo, mFont, text, antialias);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    double x = rect.left;
    if (align == kCenterText) {
        x = rect.left + (rect.getWidth() - logical.width) / 2.0;
    } else if (align == kRightText) {
        x = rect.right - logical.width;
    }
    const double y = rect.top + (rect.getHeight() - logical.height) / 2.0;
    cairo_save(mCairo);
    cairo_rectangle(mCairo, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_clip(mCairo);
    setSource(mFontColor);
    cairo_move_to(mCairo, static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    pango_cairo_show_layout(mCairo, layout);
    cairo_restore(mCairo);
    g_object_unref(layout);
}

CCoord CDrawContext::getStringWidth(const std::string& text) {
    PangoLayout* layout = MakeLayout(mCairo, mFont, text, true);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return logical.width;
}

void CDrawContext::drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset, float alpha) {
    if (bitmap != nullptr) bitmap->draw(this, dest, offset, alpha);
}

}  // namespace VSTGUI
