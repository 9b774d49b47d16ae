// The gain-reduction meter bar: a horizontal bar whose length is the value times the full width,
// drawn in green from the left edge; the rest of its area shows the frame's background.
#pragma once

#include <cstdint>

#include "vstgui/vstgui.h"

class MyC_HBar : public VSTGUI::CAnimKnob {
public:
    MyC_HBar(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, long tag, int subPixmaps,
             double heightOfOneImage, VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset);

    void draw(VSTGUI::CDrawContext* context) override;

    // The bar's length in pixels at the current value (value x full width, truncated; no clamping).
    int32_t BarLength() const;

protected:
    ~MyC_HBar() override;

private:
    double mLeft, mTop, mRight, mBottom;
    int32_t mFullWidth;
    float mFullWidthF;
    int32_t mHeight;
};
