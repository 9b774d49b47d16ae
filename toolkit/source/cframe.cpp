// The frame: view tree root, back buffer, invalid region and platform hand-off.
#include "vstgui/cframe.h"

#include <cairo.h>

#include <cstring>

#include "platformframe.h"
#include "vstgui/cclipboard.h"
#include "vstgui/cdrawcontext.h"

namespace VSTGUI {

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor)
    : CViewContainer(CRect(0, 0, size.getWidth(), size.getHeight())), mEditor(editor) {}

CFrame::~CFrame() {
    close();
    removeAll(true);
    if (mImage != nullptr) cairo_surface_destroy(mImage);
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
                                       x11 ? x11->runLoop : nullptr, static_cast<int>(mSize.getWidth()),
                                       static_cast<int>(mSize.getHeight()));
    if (!mPlatform) return false;
    mPlatformType = PlatformType::kX11EmbedWindowID;
    invalid();
    return true;
}

void CFrame::close() { mPlatform.reset(); }

bool CFrame::setSize(CCoord width, CCoord height) {
    if (width < 0 || height < 0) return false;
    mSize = CRect(0, 0, width, height);
    if (mImage != nullptr) {
        cairo_surface_destroy(mImage);
        mImage = nullptr;
    }
    if (mPlatform) mPlatform->setSize(static_cast<int>(width), static_cast<int>(height));
    invalid();
    return true;
}

void CFrame::setViewSize(const CRect& rect, bool) { setSize(rect.getWidth(), rect.getHeight()); }

bool CFrame::setPosition(CCoord x, CCoord y) {
    if (mPlatform) mPlatform->setPosition(static_cast<int>(x), static_cast<int>(y));
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
    const int w = static_cast<int>(mSize.getWidth());
    const int h = static_cast<int>(mSize.getHeight());
    if (w <= 0 || h <= 0) return;
    mImage = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
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
        CDrawContext own(mImage);
        own.setClipRect(area);
        CViewContainer::drawRect(&own, area);
    }
    cairo_surface_flush(mImage);
    mInPaint = false;
    if (mPlatform) mPlatform->present(mImage, area);
}

void CFrame::invalidRect(const CRect& rect) {
    CRect r = rect;
    r.bound(mSize);
    if (r.isEmpty()) return;
    mInvalid.unite(r);
    if (mPlatform) mPlatform->invalidate(r);
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
    if (mPlatform && mPlatform->getMouseLocation(where)) return true;
    where = mLastMouse;
    return true;
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mLastMouse = where;
    return CViewContainer::onMouseDown(where, buttons);
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

int32_t CFrame::onKeyDown(VstKeyCode&) { return -1; }

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
    if (width > cairo_image_surface_get_width(mImage) || height > cairo_image_surface_get_height(mImage)) return false;
    cairo_surface_flush(mImage);
    const unsigned char* src = cairo_image_surface_get_data(mImage);
    const int srcStride = cairo_image_surface_get_stride(mImage);
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(static_cast<unsigned char*>(pixels) + static_cast<size_t>(y) * static_cast<size_t>(stride),
                    src + static_cast<size_t>(y) * static_cast<size_t>(srcStride), static_cast<size_t>(width) * 4);
    }
    return true;
}

}  // namespace VSTGUI
