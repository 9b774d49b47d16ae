// The gain-reduction meter bar.
#include "MyC_HBar.h"

#include "MarovexPalette.h"

using namespace VSTGUI;

MyC_HBar::MyC_HBar(const CRect& size, IControlListener* listener, long tag, int subPixmaps, double heightOfOneImage,
                   CBitmap* background, const CPoint& offset)
    : CAnimKnob(size, listener, static_cast<int32_t>(tag), subPixmaps, heightOfOneImage, background, offset),
      mLeft(size.left),
      mTop(size.top),
      mRight(size.right),
      mBottom(size.bottom),
      mFullWidth(static_cast<int32_t>(size.right - size.left)),
      mFullWidthF(static_cast<float>(static_cast<int32_t>(size.right - size.left))),
      mHeight(static_cast<int32_t>(size.bottom - size.top)) {}

MyC_HBar::~MyC_HBar() = default;

int32_t MyC_HBar::BarLength() const { return static_cast<int32_t>(getValue() * mFullWidthF); }

void MyC_HBar::draw(CDrawContext* context) {
    const CColor green(kMarovexMeterGreen.r, kMarovexMeterGreen.g, kMarovexMeterGreen.b, 255);
    context->setFillColor(green);
    context->setFrameColor(green);
    context->drawRect(CRect(mLeft, mTop, mLeft + BarLength(), mBottom), kDrawFilled);
    setDirty(false);
}
