// The editor's film-strip knob.
#include "Tandrel_AnimKnobVST.h"

#include "Tandrel_HostGestures.h"

using namespace VSTGUI;

Tandrel_AnimKnobVST::Tandrel_AnimKnobVST(const CRect& size, IControlListener* listener, long tag, int subPixmaps,
                                         double heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CAnimKnob(size, listener, static_cast<int32_t>(tag), subPixmaps, heightOfOneImage, background, offset),
      mViewContainer(nullptr),
      mParamID(nullptr) {}

Tandrel_AnimKnobVST::~Tandrel_AnimKnobVST() = default;

CMouseEventResult Tandrel_AnimKnobVST::onMouseDown(CPoint& where, const CButtonState& buttons) {
    return TandrelHostGestures::MouseDown(mViewContainer, mParamID, where, buttons,
                                          [this](CPoint& p, const CButtonState& b) {
                                              // A plain double click restores the default, as the
                                              // Option-click does (a window manager may take Alt).
                                              if (static_cast<int32_t>(b) == (kLButton | kDoubleClick)) {
                                                  RestoreDefault();
                                                  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
                                              }
                                              return CAnimKnob::onMouseDown(p, b);
                                          });
}

CMouseEventResult Tandrel_AnimKnobVST::onMouseUp(CPoint& where, const CButtonState& buttons) {
    return TandrelHostGestures::MouseUp(mViewContainer, mParamID, where, buttons,
                                        [this](CPoint& p, const CButtonState& b) { return CAnimKnob::onMouseUp(p, b); });
}

CMouseEventResult Tandrel_AnimKnobVST::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    return TandrelHostGestures::MouseMoved(mViewContainer, mParamID, where, buttons,
                                           [this](CPoint& p, const CButtonState& b) { return CAnimKnob::onMouseMoved(p, b); });
}

bool Tandrel_AnimKnobVST::checkDefaultValue(CButtonState buttons) {
    if (static_cast<int32_t>(buttons) != (kLButton | kAlt)) return false;
    RestoreDefault();
    return true;
}

void Tandrel_AnimKnobVST::RestoreDefault() {
    beginEdit();
    setValue(getDefaultValue());
    if (isDirty() && getListener() != nullptr) getListener()->valueChanged(this);
    endEdit();
}

bool Tandrel_AnimKnobVST::onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                                  const CButtonState& buttons) {
    CButtonState state = buttons;
    if (state & kControl) state |= kShift;
    return CAnimKnob::onWheel(where, axis, distance, state);
}

int32_t Tandrel_AnimKnobVST::onKeyDown(VstKeyCode& keyCode) {
    VstKeyCode key = keyCode;
    if (key.modifier & MODIFIER_COMMAND) key.modifier |= MODIFIER_SHIFT;
    return CAnimKnob::onKeyDown(key);
}
