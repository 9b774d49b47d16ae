// The editor's text button.
#include "Tandrel_TextButtonVST.h"

#include "Tandrel_HostGestures.h"

using namespace VSTGUI;

Tandrel_TextButtonVST::Tandrel_TextButtonVST(const CRect& size, IControlListener* listener, long tag,
                                             const char* title, CTextButton::Style style)
    : CTextButton(size, listener, static_cast<int32_t>(tag), title, style), mViewContainer(nullptr), mParamID(nullptr) {}

Tandrel_TextButtonVST::~Tandrel_TextButtonVST() = default;

CMouseEventResult Tandrel_TextButtonVST::onMouseDown(CPoint& where, const CButtonState& buttons) {
    return TandrelHostGestures::MouseDown(mViewContainer, mParamID, where, buttons, [this](CPoint& p, const CButtonState& b) {
        return CTextButton::onMouseDown(p, b);
    });
}

CMouseEventResult Tandrel_TextButtonVST::onMouseUp(CPoint& where, const CButtonState& buttons) {
    return TandrelHostGestures::MouseUp(mViewContainer, mParamID, where, buttons, [this](CPoint& p, const CButtonState& b) {
        return CTextButton::onMouseUp(p, b);
    });
}

CMouseEventResult Tandrel_TextButtonVST::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    return TandrelHostGestures::MouseMoved(mViewContainer, mParamID, where, buttons, [this](CPoint& p, const CButtonState& b) {
        return CTextButton::onMouseMoved(p, b);
    });
}

bool Tandrel_TextButtonVST::checkDefaultValue(CButtonState buttons) {
    if (static_cast<int32_t>(buttons) != (kLButton | kAlt)) return false;
    beginEdit();
    setValue(getDefaultValue());
    if (isDirty() && getListener() != nullptr) getListener()->valueChanged(this);
    endEdit();
    return true;
}
