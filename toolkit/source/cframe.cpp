// The frame: view tree root, back buffer, invalid region and platform hand-off.
#include "vstgui/cframe.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platformframe.h"
#include "vstgui/cclipboard.h"
#include "vstgui/cdrawcontext.h"

namespace VSTGUI {

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor)
    : CViewContainer(CRect(0, 0, size.getWidth(), size.getHeight())), mEditor(editor) {}

CFrame::~CFrame() {
    close();
    mFocusView = nullptr;
    removeAll(true);
}

bool CFrame::setClipboardText(const std::string& text) {
    if (IPlatformClipboard* clipboard = getClipboardOverride()) return clipboard->setText(text);
    if (!mClipboard) mClipboard = createX11Clipboard();
    return mClipboard && mClipboard->setText(text);
}

bool CFrame::getClipboardText(std::string& text, size_t maxBytes) {
    if (IPlatformClipboard* clipboard = getClipboardOverride()) return clipboard->getText(text, maxBytes);
    if (!mClipboard) mClipboard = createX11Clipboard();
    return mClipboard && mClipboard->getText(text, maxBytes);
}

bool CFrame::open(void* parent, PlatformType type, IPlatformFrameConfig* config) {
    close();
    if (type == PlatformType::kOffscreen) {
        mPlatformType = type;
        return true;
    }
    if (type != PlatformType::kX11EmbedWindowID && type != PlatformType::kDefaultNative) return false;
    auto* x11 = dynamic_cast<X11::FrameConfig*>(config);
    mPlatform = CreateX11PlatformFrame(this, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)),
                                       x11 ? x11->runLoop : nullptr, getPixelWidth(), getPixelHeight());
    if (!mPlatform) return false;
    mPlatformType = PlatformType::kX11EmbedWindowID;
    setScaleFactor(x11 != nullptr && x11->scaleFactor > 0 ? x11->scaleFactor : mPlatform->desktopScaleFactor());
    invalid();
    return true;
}

void CFrame::close() { mPlatform.reset(); }

bool CFrame::setSize(CCoord width, CCoord height) {
    if (width < 0 || height < 0) return false;
    mSize = CRect(0, 0, width, height);
    mImage.reset();
    if (mPlatform) mPlatform->setSize(getPixelWidth(), getPixelHeight());
    invalid();
    return true;
}

void CFrame::setScaleFactor(double scale) {
    if (!(scale > 0)) scale = 1.0;  // NaN, zero and below: unscaled
    scale = std::clamp(scale, 0.5, 4.0);
    if (scale == mScale) return;
    mScale = scale;
    setSize(mSize.getWidth(), mSize.getHeight());
}

int32_t CFrame::getPixelWidth() const { return static_cast<int32_t>(std::lround(mSize.getWidth() * mScale)); }
int32_t CFrame::getPixelHeight() const { return static_cast<int32_t>(std::lround(mSize.getHeight() * mScale)); }

namespace {
// A rectangle of frame coordinates in pixels, widened to whole pixels.
CRect ToPixels(const CRect& r, double scale) {
    return CRect(std::floor(r.left * scale), std::floor(r.top * scale), std::ceil(r.right * scale),
                 std::ceil(r.bottom * scale));
}
}  // namespace

void CFrame::setViewSize(const CRect& rect, bool) { setSize(rect.getWidth(), rect.getHeight()); }

bool CFrame::setPosition(CCoord x, CCoord y) {
    if (mPlatform) mPlatform->setPosition(static_cast<int>(std::lround(x * mScale)), static_cast<int>(std::lround(y * mScale)));
    return true;
}

bool CFrame::getSize(CRect& size) const {
    size = mSize;
    return true;
}

bool CFrame::getSize(CRect* size) const {
    if (size == nullptr) return false;
    *size = mSize;
    return true;
}

void CFrame::ensureImage() {
    if (mImage != nullptr) return;
    const int w = getPixelWidth();
    const int h = getPixelHeight();
    if (w <= 0 || h <= 0) return;
    mImage.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect area = updateRect;
    area.bound(mSize);
    if (area.isEmpty()) return;
    if (context != nullptr) {
        CViewContainer::drawRect(context, area);
        return;
    }
    ensureImage();
    if (mImage == nullptr || mInPaint) return;
    mInPaint = true;
    {
        CDrawContext own(mImage.get(), mScale);
        own.setClipRect(area);
        CViewContainer::drawRect(&own, area);
    }
    cairo_surface_flush(mImage.get());
    mInPaint = false;
    if (mPlatform) mPlatform->present(mImage.get(), ToPixels(area, mScale));
}

void CFrame::invalidRect(const CRect& rect) {
    CRect r = rect;
    r.bound(mSize);
    if (r.isEmpty()) return;
    mInvalid.unite(r);
    if (mPlatform) mPlatform->invalidate(ToPixels(r, mScale));
}

void CFrame::paintInvalid() {
    if (mInvalid.isEmpty()) return;
    const CRect area = mInvalid;
    mInvalid = CRect();
    drawRect(nullptr, area);
}

void CFrame::idle() {
    if (mPlatform) mPlatform->handleEvents();
    paintInvalid();
}

bool CFrame::getCurrentMouseLocation(CPoint& where) const {
    CPoint pixels;
    if (mPlatform && mPlatform->getMouseLocation(pixels)) {
        where = CPoint(pixels.x / mScale, pixels.y / mScale);
        return true;
    }
    where = mLastMouse;
    return true;
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mLastMouse = where;
    CView* hit = getViewAt(where, GetViewOptions().setDeep().setMouseEnabled());
    const CMouseEventResult result = CViewContainer::onMouseDown(where, buttons);
    if (hit != nullptr && (result == kMouseEventHandled || result == kMouseDownEventHandledButDontNeedMovedOrUpEvents)) {
        mFocusView = hit;
    }
    return result;
}

bool CFrame::onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                     const CButtonState& buttons) {
    mLastMouse = where;
    CView* hit = getViewAt(where, GetViewOptions().setDeep().setMouseEnabled());
    if (!CViewContainer::onWheel(where, axis, distance, buttons)) return false;
    if (hit != nullptr) mFocusView = hit;
    return true;
}

CView* CFrame::getFocusView() const {
    // A view removed from the frame meanwhile is no longer its focus.
    return mFocusView != nullptr && mFocusView->getFrame() == this ? mFocusView.get() : nullptr;
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons) {
    mLastMouse = where;
    return CViewContainer::onMouseUp(where, buttons);
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    mLastMouse = where;
    return CViewContainer::onMouseMoved(where, buttons);
}

CMouseEventResult CFrame::onMouseExited(CPoint& where, const CButtonState& buttons) {
    return CViewContainer::onMouseExited(where, buttons);
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode) {
    CPoint where;
    getCurrentMouseLocation(where);
    CView* over = mSize.pointInside(where) ? getViewAt(where, GetViewOptions().setDeep().setMouseEnabled()) : nullptr;
    if (over != nullptr) {
        SharedPointer<CView> keep(over);
        if (over->onKeyDown(keyCode) == 1) return 1;
    }
    CView* focus = getFocusView();
    if (focus != nullptr && focus != over) {
        SharedPointer<CView> keep(focus);
        if (focus->onKeyDown(keyCode) == 1) return 1;
    }
    return -1;
}

bool CFrame::platformOnKeyDown(VstKeyCode& keyCode) { return onKeyDown(keyCode) != -1; }

bool CFrame::onDrop(IDataPackage* drag, const CPoint& where) {
    mLastMouse = where;
    return CViewContainer::onDrop(drag, where);
}
void CFrame::onDragEnter(IDataPackage* drag, const CPoint& where) {
    mLastMouse = where;
    CViewContainer::onDragEnter(drag, where);
}
void CFrame::onDragLeave(IDataPackage* drag, const CPoint& where) {
    mLastMouse = where;
    CViewContainer::onDragLeave(drag, where);
}
void CFrame::onDragMove(IDataPackage* drag, const CPoint& where) {
    mLastMouse = where;
    CViewContainer::onDragMove(drag, where);
}

bool CFrame::copyPixels(void* pixels, int32_t stride, int32_t width, int32_t height) const {
    if (mImage == nullptr || pixels == nullptr || width <= 0 || height <= 0 || stride < width * 4) return false;
    cairo_surface_t* image = mImage.get();
    if (width > cairo_image_surface_get_width(image) || height > cairo_image_surface_get_height(image)) return false;
    cairo_surface_flush(image);
    const unsigned char* src = cairo_image_surface_get_data(image);
    const int srcStride = cairo_image_surface_get_stride(image);
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(static_cast<unsigned char*>(pixels) + static_cast<size_t>(y) * static_cast<size_t>(stride),
                    src + static_cast<size_t>(y) * static_cast<size_t>(srcStride), static_cast<size_t>(width) * 4);
    }
    return true;
}

}  // namespace VSTGUI
