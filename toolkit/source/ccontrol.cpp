// Controls: the value model, knobs, the text button and the text label.
#include "vstgui/ccontrol.h"

#include <cairo.h>

#include <cmath>

#include "vstgui/cbitmap.h"
#include "vstgui/cdrawcontext.h"
#include "vstgui/owned.h"

namespace VSTGUI {

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

// ---------------------------------------------------------------------------------------------
// CControl

CControl::CControl(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background)
    : CView(size), mListener(listener), mTag(tag) {
    setBackground(background);
}

CControl::~CControl() = default;

void CControl::setValueNormalized(float normalized) {
    normalized = std::min(1.0f, std::max(0.0f, normalized));
    setValue(getMin() + normalized * getRange());
}

float CControl::getValueNormalized() const {
    const float range = getRange();
    return range == 0.0f ? 0.0f : (getValue() - getMin()) / range;
}

void CControl::bounceValue() {
    if (mValue > mMax) mValue = mMax;
    if (mValue < mMin) mValue = mMin;
}

void CControl::beginEdit() {
    if (mEditing++ == 0 && mListener != nullptr) mListener->controlBeginEdit(this);
}

void CControl::endEdit() {
    if (mEditing == 0) return;
    if (--mEditing == 0 && mListener != nullptr) mListener->controlEndEdit(this);
}

void CControl::valueChanged() {
    if (mListener != nullptr) mListener->valueChanged(this);
}

bool CControl::isDirty() const { return mOldValue != getValue() || CView::isDirty(); }

void CControl::setDirty(bool dirty) {
    CView::setDirty(dirty);
    if (!dirty) mOldValue = getValue();
}

bool CControl::checkDefaultValue(CButtonState buttons) {
    if (buttons != CButtonState(kLButton | kAlt)) return false;
    beginEdit();
    setValue(getDefaultValue());
    if (isDirty() && mListener != nullptr) mListener->valueChanged(this);
    endEdit();
    return true;
}

// ---------------------------------------------------------------------------------------------
// CKnob

CKnob::CKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background, CBitmap*,
             const CPoint& offset)
    : CControl(size, listener, tag, background), mOffset(offset) {}

void CKnob::draw(CDrawContext* context) {
    // A plain dial: a ring and a pointer over the 270-degree sweep.
    CRect r = getViewSize();
    const double side = std::min(r.getWidth(), r.getHeight());
    const CPoint c = r.getCenter();
    const double radius = side / 2 - 2;
    context->setFrameColor(CColor(200, 200, 200, 255));
    context->setLineWidth(2);
    context->drawEllipse(CRect(c.x - radius, c.y - radius, c.x + radius, c.y + radius));
    const double angle = (-135.0 + 270.0 * getValueNormalized()) * kPi / 180.0;
    context->drawLine(c, CPoint(c.x + std::sin(angle) * radius, c.y - std::cos(angle) * radius));
    setDirty(false);
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    mDragging = true;
    mFine = (buttons & kShift) != 0;
    mDragStart = where;
    mLastPoint = where;
    mDragStartValue = getValue();
    return kMouseEventHandled;
}

// The value follows the pointer's distance from where the drag (or its current speed) began, so the
// same drag gives the same value however the moves are split. Pressing or releasing Shift starts a
// new stretch at the previous pointer position and the current value: the speed changes, the value
// does not jump.
CMouseEventResult CKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!mDragging || !buttons.isLeftButton()) return kMouseEventNotHandled;
    const bool fine = (buttons & kShift) != 0;
    if (fine != mFine) {
        mFine = fine;
        mDragStart = mLastPoint;
        mDragStartValue = getValue();
    }
    mLastPoint = where;
    const CCoord pixels = kCoarseRange * (fine ? kFineFactor : 1.0);
    const float before = getValue();
    setValue(static_cast<float>(mDragStartValue + (mDragStart.y - where.y) / pixels * getRange()));
    bounceValue();
    if (getValue() != before) {
        valueChanged();
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (!mDragging) return kMouseEventNotHandled;
    mDragging = false;
    endEdit();
    return kMouseEventHandled;
}

void CKnob::editTo(float value) {
    beginEdit();
    const float before = getValue();
    setValue(value);
    bounceValue();
    if (getValue() != before) {
        valueChanged();
        invalid();
    }
    endEdit();
}

bool CKnob::onWheel(const CPoint&, const CMouseWheelAxis& axis, const float& distance, const CButtonState& buttons) {
    if (axis != kMouseWheelAxisY || distance == 0.0f) return false;
    const float step = kStep * getRange() / ((buttons & kShift) ? static_cast<float>(kFineFactor) : 1.0f);
    editTo(getValue() + distance * step);
    return true;
}

int32_t CKnob::onKeyDown(VstKeyCode& keyCode) {
    const float step = kStep * getRange() / ((keyCode.modifier & MODIFIER_SHIFT) ? static_cast<float>(kFineFactor) : 1.0f);
    switch (keyCode.virt) {
        case VKEY_UP:
        case VKEY_RIGHT: editTo(getValue() + step); return 1;
        case VKEY_DOWN:
        case VKEY_LEFT: editTo(getValue() - step); return 1;
        case VKEY_PAGEUP: editTo(getValue() + 10 * step); return 1;
        case VKEY_PAGEDOWN: editTo(getValue() - 10 * step); return 1;
        case VKEY_HOME: editTo(getMin()); return 1;
        case VKEY_END: editTo(getMax()); return 1;
        default: return -1;
    }
}

// ---------------------------------------------------------------------------------------------
// CAnimKnob

CAnimKnob::CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset),
      mSubPixmaps(subPixmaps),
      mHeightOfOneImage(heightOfOneImage) {}

int32_t CAnimKnob::getImageIndex() const {
    if (mSubPixmaps <= 1) return 0;
    float v = getValueNormalized();
    v = std::min(1.0f, std::max(0.0f, v));
    return static_cast<int32_t>(v * static_cast<float>(mSubPixmaps - 1) + 0.5f);
}

void CAnimKnob::draw(CDrawContext* context) {
    if (getBackground() != nullptr) {
        getBackground()->drawPart(context, getViewSize(), CPoint(0, getImageIndex() * mHeightOfOneImage));
    }
    setDirty(false);
}

// ---------------------------------------------------------------------------------------------
// CTextButton

CTextButton::CTextButton(const CRect& size, IControlListener* listener, int32_t tag, const char* title, Style style)
    : CControl(size, listener, tag), mTitle(title ? title : ""), mStyle(style), mFont(kSystemFont) {
    mFont->remember();
    setValue(getMin());
    setDirty(false);
}

CTextButton::~CTextButton() {
    mFont->forget();
    setGradient(nullptr);
    setGradientHighlighted(nullptr);
}

void CTextButton::setFont(CFontRef font) {
    if (font == nullptr) return;
    font->remember();
    mFont->forget();
    mFont = font;
}

void CTextButton::setGradient(CGradient* gradient) {
    if (gradient) gradient->remember();
    if (mGradient) mGradient->forget();
    mGradient = gradient;
}

void CTextButton::setGradientHighlighted(CGradient* gradient) {
    if (gradient) gradient->remember();
    if (mGradientHighlighted) mGradientHighlighted->forget();
    mGradientHighlighted = gradient;
}

void CTextButton::draw(CDrawContext* context) {
    const bool on = isHighlighted();
    const CRect r = getViewSize();
    cairo_t* cr = context->getCairo();
    const double rr = std::min(mRoundRadius, std::min(r.getWidth(), r.getHeight()) / 2);
    auto path = [&](double inset) {
        const double l = r.left + inset, t = r.top + inset, w = r.getWidth() - 2 * inset, h = r.getHeight() - 2 * inset;
        cairo_new_sub_path(cr);
        cairo_arc(cr, l + w - rr, t + rr, rr, -kPi / 2, 0);
        cairo_arc(cr, l + w - rr, t + h - rr, rr, 0, kPi / 2);
        cairo_arc(cr, l + rr, t + h - rr, rr, kPi / 2, kPi);
        cairo_arc(cr, l + rr, t + rr, rr, kPi, 3 * kPi / 2);
        cairo_close_path(cr);
    };
    if (CGradient* g = on ? mGradientHighlighted : mGradient) {
        const owned::Pattern p(cairo_pattern_create_linear(0, r.top, 0, r.bottom));
        const CColor& a = g->getTop();
        const CColor& b = g->getBottom();
        cairo_pattern_add_color_stop_rgba(p.get(), 0, a.red / 255.0, a.green / 255.0, a.blue / 255.0, a.alpha / 255.0);
        cairo_pattern_add_color_stop_rgba(p.get(), 1, b.red / 255.0, b.green / 255.0, b.blue / 255.0, b.alpha / 255.0);
        path(0);
        cairo_set_source(cr, p.get());
        cairo_fill(cr);
    }
    const CColor& frame = on ? mFrameColorHighlighted : mFrameColor;
    if (frame.alpha > 0) {
        path(0.5);
        cairo_set_source_rgba(cr, frame.red / 255.0, frame.green / 255.0, frame.blue / 255.0, frame.alpha / 255.0);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    context->setFont(mFont);
    context->setFontColor(on ? mTextColorHighlighted : mTextColor);
    context->drawString(mTitle, r, kCenterText);
    setDirty(false);
}

CMouseEventResult CTextButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    mEntryValue = getValue();
    mPressedInside = true;
    beginEdit();
    if (mStyle == kKickStyle) {
        setValue(getMax());
    } else {
        setValue(getValue() > getMin() ? getMin() : getMax());
    }
    (void)where;
    if (isDirty()) {
        valueChanged();
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CTextButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!mPressedInside || !buttons.isLeftButton()) return kMouseEventNotHandled;
    // The button shows pressed only while the pointer is over it; the release decides.
    return (void)where, kMouseEventHandled;
}

CMouseEventResult CTextButton::onMouseUp(CPoint&, const CButtonState&) {
    if (!mPressedInside) return kMouseEventNotHandled;
    mPressedInside = false;
    if (mStyle == kKickStyle) {
        setValue(getMin());
        if (isDirty()) {
            valueChanged();
            invalid();
        }
    }
    endEdit();
    return kMouseEventHandled;
}

// ---------------------------------------------------------------------------------------------
// CTextLabel

CTextLabel::CTextLabel(const CRect& size, const char* text, CBitmap* background, int32_t style)
    : CControl(size, nullptr, -1, background), mText(text ? text : ""), mFont(kNormalFont), mStyle(style) {
    mFont->remember();
}

CTextLabel::~CTextLabel() { mFont->forget(); }

void CTextLabel::setFont(CFontRef font) {
    if (font == nullptr) return;
    font->remember();
    mFont->forget();
    mFont = font;
}

void CTextLabel::draw(CDrawContext* context) {
    if (mStyle & kNoDrawStyle) {
        setDirty(false);
        return;
    }
    const CRect r = getViewSize();
    if (mBackColor.alpha > 0) {
        context->setFillColor(mBackColor);
        context->drawRect(r, kDrawFilled);
    }
    if (getBackground() != nullptr) getBackground()->draw(context, r);
    if (!(mStyle & kNoFrame) && mFrameColor.alpha > 0) {
        context->setFrameColor(mFrameColor);
        context->setLineWidth(1);
        context->drawRect(r, kDrawStroked);
    }
    context->setFont(mFont);
    context->setFontColor(mFontColor);
    CRect text = r;
    text.inset(2, 0);
    context->drawString(mText, text, mAlign);
    setDirty(false);
}

}  // namespace VSTGUI
