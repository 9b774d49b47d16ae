// Drawing with cairo; text laid out with pango.
#include "vstgui/cdrawcontext.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include "vstgui/cbitmap.h"

namespace VSTGUI {

CDrawContext::CDrawContext(cairo_surface_t* surface, double scale)
    : mSurface(surface), mCairo(cairo_create(surface)), mScale(scale > 0 ? scale : 1.0) {
    if (mScale != 1.0) cairo_scale(mCairo.get(), mScale, mScale);
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        mSurfaceRect = CRect(0, 0, cairo_image_surface_get_width(surface) / mScale,
                             cairo_image_surface_get_height(surface) / mScale);
    } else {
        mSurfaceRect = CRect(0, 0, 1 << 20, 1 << 20);
    }
    mClip = mSurfaceRect;
    mFont = kNormalFont;
}

CDrawContext::~CDrawContext() = default;

void CDrawContext::applyClip() {
    cairo_reset_clip(mCairo.get());
    cairo_rectangle(mCairo.get(), mClip.left, mClip.top, mClip.getWidth(), mClip.getHeight());
    cairo_clip(mCairo.get());
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
    cairo_set_source_rgba(mCairo.get(), c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0 * mGlobalAlpha);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    if (style != kDrawStroked) {
        cairo_rectangle(mCairo.get(), rect.left, rect.top, rect.getWidth(), rect.getHeight());
        setSource(mFillColor);
        cairo_fill(mCairo.get());
    }
    if (style != kDrawFilled) {
        // Lines sit on pixel centres so a one-pixel frame stays sharp.
        const double h = mLineWidth / 2;
        cairo_rectangle(mCairo.get(), rect.left + h, rect.top + h, rect.getWidth() - mLineWidth, rect.getHeight() - mLineWidth);
        cairo_set_line_width(mCairo.get(), mLineWidth);
        setSource(mFrameColor);
        cairo_stroke(mCairo.get());
    }
}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    cairo_move_to(mCairo.get(), start.x + 0.5, start.y + 0.5);
    cairo_line_to(mCairo.get(), end.x + 0.5, end.y + 0.5);
    cairo_set_line_width(mCairo.get(), mLineWidth);
    setSource(mFrameColor);
    cairo_stroke(mCairo.get());
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
    if (rect.isEmpty()) return;
    cairo_save(mCairo.get());
    cairo_translate(mCairo.get(), rect.left + rect.getWidth() / 2, rect.top + rect.getHeight() / 2);
    cairo_scale(mCairo.get(), rect.getWidth() / 2, rect.getHeight() / 2);
    cairo_arc(mCairo.get(), 0, 0, 1, 0, 2 * 3.14159265358979323846);
    cairo_restore(mCairo.get());
    if (style != kDrawStroked) {
        setSource(mFillColor);
        if (style == kDrawFilledAndStroked) {
            cairo_fill_preserve(mCairo.get());
        } else {
            cairo_fill(mCairo.get());
        }
    }
    if (style != kDrawFilled) {
        cairo_set_line_width(mCairo.get(), mLineWidth);
        setSource(mFrameColor);
        cairo_stroke(mCairo.get());
    }
}

namespace {
owned::Layout MakeLayout(cairo_t* cr, CFontRef font, const std::string& text, bool antialias) {
    owned::Layout layout(pango_cairo_create_layout(cr));
    {
        owned::FontDescription desc(pango_font_description_new());
        pango_font_description_set_family(desc.get(),
                                          font && !font->getName().empty() ? font->getName().c_str() : "Sans");
        const double size = font && font->getSize() > 0 ? font->getSize() : 12;
        pango_font_description_set_absolute_size(desc.get(), size * PANGO_SCALE);
        const int32_t style = font ? font->getStyle() : 0;
        pango_font_description_set_weight(desc.get(), (style & kBoldFace) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(desc.get(), (style & kItalicFace) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        pango_layout_set_font_description(layout.get(), desc.get());
        if (style & kUnderlineFace) {
            owned::AttrList attrs(pango_attr_list_new());
            pango_attr_list_insert(attrs.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
            pango_layout_set_attributes(layout.get(), attrs.get());
        }
    }
    owned::FontOptions options(cairo_font_options_create());
    cairo_font_options_set_antialias(options.get(), antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options.get());
    pango_layout_context_changed(layout.get());
    pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
    return layout;
}
}  // namespace

void CDrawContext::drawString(const std::string& text, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (text.empty() || rect.isEmpty()) return;
    const owned::Layout layout = MakeLayout(mCairo.get(), mFont, text, antialias);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout.get(), &ink, &logical);
    double x = rect.left;
    if (align == kCenterText) {
        x = rect.left + (rect.getWidth() - logical.width) / 2.0;
    } else if (align == kRightText) {
        x = rect.right - logical.width;
    }
    const double y = rect.top + (rect.getHeight() - logical.height) / 2.0;
    cairo_save(mCairo.get());
    cairo_rectangle(mCairo.get(), rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_clip(mCairo.get());
    setSource(mFontColor);
    cairo_move_to(mCairo.get(), static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    pango_cairo_show_layout(mCairo.get(), layout.get());
    cairo_restore(mCairo.get());
}

CCoord CDrawContext::getStringWidth(const std::string& text) {
    const owned::Layout layout = MakeLayout(mCairo.get(), mFont, text, true);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    return logical.width;
}

void CDrawContext::drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset, float alpha) {
    if (bitmap != nullptr) bitmap->draw(this, dest, offset, alpha);
}

}  // namespace VSTGUI
