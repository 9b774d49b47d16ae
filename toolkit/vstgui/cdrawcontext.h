// A drawing context over a cairo surface: colours, line width, font, clipping, rectangles, lines,
// ellipses, text and bitmaps. Coordinates are those of the frame.
#pragma once

#include <string>

#include "vstgui/cfont.h"
#include "vstgui/owned.h"
#include "vstgui/vstguibase.h"

namespace VSTGUI {

class CBitmap;

class CDrawContext {
public:
    // Draws onto `surface` (which stays the caller's). With a `scale`, coordinates are those of the
    // surface's pixels divided by it: the drawing is scaled up (or down) on its way to the pixels.
    explicit CDrawContext(cairo_surface_t* surface, double scale = 1.0);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void setFillColor(const CColor& color) { mFillColor = color; }
    void setFrameColor(const CColor& color) { mFrameColor = color; }
    void setFontColor(const CColor& color) { mFontColor = color; }
    const CColor& getFillColor() const { return mFillColor; }
    const CColor& getFrameColor() const { return mFrameColor; }
    const CColor& getFontColor() const { return mFontColor; }
    void setLineWidth(CCoord width) { mLineWidth = width; }
    CCoord getLineWidth() const { return mLineWidth; }
    void setFont(CFontRef font) { mFont = font; }
    CFontRef getFont() const { return mFont; }
    void setGlobalAlpha(float alpha) { mGlobalAlpha = alpha; }
    float getGlobalAlpha() const { return mGlobalAlpha; }

    // Clipping: drawing outside the clip rectangle has no effect.
    void setClipRect(const CRect& clip);
    const CRect& getClipRect() const { return mClip; }
    void resetClipRect();
    void saveGlobalState();
    void restoreGlobalState();

    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void drawLine(const CPoint& start, const CPoint& end);
    void drawEllipse(const CRect& rect, CDrawStyle style = kDrawStroked);
    // One line of text, vertically centred in `rect` and aligned horizontally as asked.
    void drawString(const std::string& text, const CRect& rect, CHoriTxtAlign align = kCenterText,
                    bool antialias = true);
    // Width of the text in the current font.
    CCoord getStringWidth(const std::string& text);
    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.0f);

    cairo_t* getCairo() const { return mCairo.get(); }
    cairo_surface_t* getSurface() const { return mSurface; }
    double getScale() const { return mScale; }

private:
    void applyClip();
    void setSource(const CColor& color);

    cairo_surface_t* mSurface;
    owned::Cairo mCairo;
    double mScale;
    CColor mFillColor = kWhiteCColor;
    CColor mFrameColor = kBlackCColor;
    CColor mFontColor = kBlackCColor;
    CCoord mLineWidth = 1;
    CFontRef mFont = nullptr;
    float mGlobalAlpha = 1.0f;
    CRect mClip;
    CRect mSurfaceRect;
    struct Saved {
        CColor fill, frame, font;
        CCoord lineWidth;
        CFontRef fontRef;
        float alpha;
        CRect clip;
    };
    Saved mStack[16];
    int mDepth = 0;
};

}  // namespace VSTGUI
