// Controls: views with a value in a range, a default value and a tag, reporting user edits to a
// listener. The knobs (drawn or film-strip), the text button and the text label.
#pragma once

#include <string>

#include "vstgui/cfont.h"
#include "vstgui/cview.h"

namespace VSTGUI {

class CControl;

// Receives a control's user edits: controlBeginEdit and controlEndEdit around a gesture and
// valueChanged for every value the user sets. setValue from code notifies nobody.
class IControlListener {
public:
    virtual ~IControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual int32_t controlModifierClicked(CControl*, CButtonState) { return 0; }
    virtual void controlBeginEdit(CControl*) {}
    virtual void controlEndEdit(CControl*) {}
};

class CControl : public CView {
public:
    CControl(const CRect& size, IControlListener* listener = nullptr, int32_t tag = 0,
             CBitmap* background = nullptr);

    // The value is kept as given; bounceValue() clamps it into the range.
    virtual void setValue(float value) { mValue = value; }
    virtual float getValue() const { return mValue; }
    void setValueNormalized(float normalized);
    float getValueNormalized() const;
    virtual void setMin(float value) { mMin = value; }
    virtual float getMin() const { return mMin; }
    virtual void setMax(float value) { mMax = value; }
    virtual float getMax() const { return mMax; }
    float getRange() const { return mMax - mMin; }
    virtual void setDefaultValue(float value) { mDefault = value; }
    virtual float getDefaultValue() const { return mDefault; }
    virtual void setOldValue(float value) { mOldValue = value; }
    virtual float getOldValue() const { return mOldValue; }
    void bounceValue();

    virtual void setTag(int32_t tag) { mTag = tag; }
    int32_t getTag() const { return mTag; }
    void setListener(IControlListener* listener) { mListener = listener; }
    IControlListener* getListener() const { return mListener; }

    // A gesture: beginEdit and endEdit tell the listener; they nest (only the outermost pair is
    // reported).
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return mEditing > 0; }
    // Tells the listener that the user changed the value.
    virtual void valueChanged();

    // Dirty while the value differs from the one last drawn (or last acknowledged with
    // setDirty(false)), or when marked dirty.
    bool isDirty() const override;
    void setDirty(bool dirty = true) override;

    // The default-value gesture: a left click with only the Alt (option) key restores the default
    // value through a full edit (begin, value, notify, end). True when it did.
    virtual bool checkDefaultValue(CButtonState buttons);

protected:
    ~CControl() override;

    IControlListener* mListener;
    int32_t mTag;
    float mValue = 0.0f;
    float mOldValue = 1.0f;
    float mDefault = 0.0f;
    float mMin = 0.0f;
    float mMax = 1.0f;
    int32_t mEditing = 0;
};

// A rotary control: a vertical drag changes the value (a drag of kCoarseRange pixels sweeps the whole
// range, kFineFactor times slower while Shift is held); up raises it. Each wheel notch and each
// arrow key moves it one step (a hundredth of the range, kFineFactor times less with Shift), Page Up
// and Page Down ten steps, Home and End to the minimum and maximum; each such change is a whole
// edit (begin, value, notify, end). It draws a simple dial unless a subclass draws a bitmap.
class CKnob : public CControl {
public:
    static constexpr CCoord kCoarseRange = 200.0;
    static constexpr CCoord kFineFactor = 10.0;
    static constexpr float kStep = 0.01f;  // of the range

    CKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                 const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    const CPoint& getOffset() const { return mOffset; }

protected:
    ~CKnob() override = default;
    // Sets the value as one whole edit, clamped to the range; the listener hears of it when it changed.
    void editTo(float value);

    CPoint mOffset;

private:
    bool mDragging = false;
    bool mFine = false;
    CPoint mDragStart;
    CPoint mLastPoint;
    float mDragStartValue = 0.0f;
};

// A knob drawn from a film strip: `subPixmaps` images of `heightOfOneImage` pixels stacked
// vertically in the bitmap; the value picks the image.
class CAnimKnob : public CKnob {
public:
    CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint());

    void draw(CDrawContext* context) override;
    int32_t getNumSubPixmaps() const { return mSubPixmaps; }
    CCoord getHeightOfOneImage() const { return mHeightOfOneImage; }
    // The film-strip image the current value shows (0 to subPixmaps - 1).
    int32_t getImageIndex() const;

protected:
    ~CAnimKnob() override = default;

private:
    int32_t mSubPixmaps;
    CCoord mHeightOfOneImage;
};

// A two-colour vertical gradient (top colour to bottom colour).
class CGradient : public CBaseObject {
public:
    static CGradient* create(const CColor& top, const CColor& bottom) { return new CGradient(top, bottom); }
    const CColor& getTop() const { return mTop; }
    const CColor& getBottom() const { return mBottom; }

protected:
    CGradient(const CColor& top, const CColor& bottom) : mTop(top), mBottom(bottom) {}
    ~CGradient() override = default;

private:
    CColor mTop, mBottom;
};

// A push button with a title. Kick style: pressing sets the maximum and tells the listener, the
// release sets the minimum and tells it again (a press value, then a release value). On/off style:
// each click toggles.
class CTextButton : public CControl {
public:
    enum Style { kKickStyle = 0, kOnOffStyle };

    CTextButton(const CRect& size, IControlListener* listener = nullptr, int32_t tag = -1,
                const char* title = nullptr, Style style = kKickStyle);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;

    void setTitle(const char* title) { mTitle = title ? title : ""; }
    const std::string& getTitle() const { return mTitle; }
    Style getStyle() const { return mStyle; }
    void setFont(CFontRef font);
    CFontRef getFont() const { return mFont; }
    void setTextColor(const CColor& color) { mTextColor = color; }
    const CColor& getTextColor() const { return mTextColor; }
    void setTextColorHighlighted(const CColor& color) { mTextColorHighlighted = color; }
    const CColor& getTextColorHighlighted() const { return mTextColorHighlighted; }
    void setGradient(CGradient* gradient);
    void setGradientHighlighted(CGradient* gradient);
    CGradient* getGradient() const { return mGradient; }
    CGradient* getGradientHighlighted() const { return mGradientHighlighted; }
    void setFrameColor(const CColor& color) { mFrameColor = color; }
    void setFrameColorHighlighted(const CColor& color) { mFrameColorHighlighted = color; }
    const CColor& getFrameColor() const { return mFrameColor; }
    const CColor& getFrameColorHighlighted() const { return mFrameColorHighlighted; }
    void setRoundRadius(CCoord radius) { mRoundRadius = radius; }
    bool isHighlighted() const { return getValue() > getMin(); }

protected:
    ~CTextButton() override;

private:
    std::string mTitle;
    Style mStyle;
    CFontRef mFont;
    CColor mTextColor = kBlackCColor;
    CColor mTextColorHighlighted = kWhiteCColor;
    CColor mFrameColor = kBlackCColor;
    CColor mFrameColorHighlighted = kBlackCColor;
    CGradient* mGradient = nullptr;
    CGradient* mGradientHighlighted = nullptr;
    CCoord mRoundRadius = 3;
    bool mPressedInside = false;
    float mEntryValue = 0.0f;
};

// A line of text with background, frame and font colours. Style bits: kNoFrame draws no frame,
// kNoDrawStyle draws nothing.
class CTextLabel : public CControl {
public:
    enum StyleBits : int32_t { kNoFrame = 1 << 3, kNoDrawStyle = 1 << 7 };

    CTextLabel(const CRect& size, const char* text = nullptr, CBitmap* background = nullptr, int32_t style = 0);

    void draw(CDrawContext* context) override;
    void setText(const char* text) { mText = text ? text : ""; }
    const std::string& getText() const { return mText; }
    void setFont(CFontRef font);
    CFontRef getFont() const { return mFont; }
    void setFontColor(const CColor& color) { mFontColor = color; }
    const CColor& getFontColor() const { return mFontColor; }
    void setBackColor(const CColor& color) { mBackColor = color; }
    const CColor& getBackColor() const { return mBackColor; }
    void setFrameColor(const CColor& color) { mFrameColor = color; }
    const CColor& getFrameColor() const { return mFrameColor; }
    void setHoriAlign(CHoriTxtAlign align) { mAlign = align; }
    CHoriTxtAlign getHoriAlign() const { return mAlign; }
    void setStyle(int32_t style) { mStyle = style; }
    int32_t getStyle() const { return mStyle; }

protected:
    ~CTextLabel() override;

private:
    std::string mText;
    CFontRef mFont;
    CColor mFontColor = kWhiteCColor;
    CColor mBackColor = kBlackCColor;
    CColor mFrameColor = kBlackCColor;
    CHoriTxtAlign mAlign = kCenterText;
    int32_t mStyle;
};

}  // namespace VSTGUI
