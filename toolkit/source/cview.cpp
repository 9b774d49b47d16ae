// Views and view containers.
#include "vstgui/cview.h"

#include <algorithm>

#include <cairo.h>

#include "vstgui/cbitmap.h"
#include "vstgui/cdrawcontext.h"
#include "vstgui/cframe.h"

namespace VSTGUI {

// ---------------------------------------------------------------------------------------------
// CView

namespace {
int32_t gLiveViews = 0;  // user-interface thread only
}  // namespace

CView::CView(const CRect& size) : mSize(size) { ++gLiveViews; }

CView::~CView() {
    setBackground(nullptr);
    --gLiveViews;
}

int32_t CView::getLiveViewCount() { return gLiveViews; }

void CView::draw(CDrawContext* context) {
    if (mBackground != nullptr) mBackground->draw(context, mSize);
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect&) { draw(context); }

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }

bool CView::onDrop(IDataPackage*, const CPoint&) { return false; }
void CView::onDragEnter(IDataPackage*, const CPoint&) {}
void CView::onDragLeave(IDataPackage*, const CPoint&) {}
void CView::onDragMove(IDataPackage*, const CPoint&) {}

bool CView::hitTest(const CPoint& where, const CButtonState&) { return mSize.pointInside(where); }

bool CView::onWheel(const CPoint&, const CMouseWheelAxis&, const float&, const CButtonState&) { return false; }
int32_t CView::onKeyDown(VstKeyCode&) { return -1; }

void CView::invalid() {
    setDirty(true);
    invalidRect(mSize);
}

void CView::invalidRect(const CRect& rect) {
    if (mParent == nullptr) return;
    // `rect` is in the parent's coordinates; the parent passes it on in its own parent's.
    CRect r = rect;
    r.offset(mParent->getViewSize().left, mParent->getViewSize().top);
    mParent->invalidRect(r);
}

void CView::setViewSize(const CRect& rect, bool invalidate) {
    if (invalidate) invalidRect(mSize);
    mSize = rect;
    if (invalidate) invalid();
}

void CView::setVisible(bool visible) {
    if (mVisible == visible) return;
    if (!visible) invalidRect(mSize);
    mVisible = visible;
    if (visible) invalid();
}

void CView::setAlphaValue(float alpha) {
    mAlpha = alpha;
    invalid();
}

void CView::setBackground(CBitmap* background) {
    if (background != nullptr) background->remember();
    if (mBackground != nullptr) mBackground->forget();
    mBackground = background;
}

CFrame* CView::getFrame() const {
    const CView* view = this;
    while (view->mParent != nullptr) view = view->mParent;
    return const_cast<CFrame*>(dynamic_cast<const CFrame*>(view));
}

bool CView::attached(CViewContainer* parent) {
    if (mParent != nullptr) return false;
    mParent = parent;
    return true;
}

bool CView::removed(CViewContainer* parent) {
    if (mParent != parent) return false;
    mParent = nullptr;
    return true;
}

CPoint& CView::frameToLocal(CPoint& point) const {
    for (const CViewContainer* p = mParent; p != nullptr && p->getParentView() != nullptr; p = p->getParentView()) {
        point.offset(-p->getViewSize().left, -p->getViewSize().top);
    }
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const {
    for (const CViewContainer* p = mParent; p != nullptr && p->getParentView() != nullptr; p = p->getParentView()) {
        point.offset(p->getViewSize().left, p->getViewSize().top);
    }
    return point;
}

// ---------------------------------------------------------------------------------------------
// CViewContainer

CViewContainer::CViewContainer(const CRect& size) : CView(size) {}

CViewContainer::~CViewContainer() { removeAll(true); }

bool CViewContainer::addView(CView* view) {
    if (view == nullptr) return false;
    if (view->isAttached() || !view->attached(this)) {
        view->forget();
        return false;
    }
    mChildren.push_back(view);
    view->invalid();
    return true;
}

bool CViewContainer::removeView(CView* view, bool withForget) {
    auto it = std::find(mChildren.begin(), mChildren.end(), view);
    if (it == mChildren.end()) return false;
    mChildren.erase(it);
    if (mMouseDownView == view) mMouseDownView = nullptr;
    if (mHoverView == view) mHoverView = nullptr;
    if (mDragView == view) mDragView = nullptr;
    invalidRect(view->getViewSize());
    view->removed(this);
    if (withForget) view->forget();
    return true;
}

bool CViewContainer::removeAll(bool withForget) {
    mMouseDownView = nullptr;
    mHoverView = nullptr;
    mDragView = nullptr;
    while (!mChildren.empty()) {
        CView* view = mChildren.back();
        mChildren.pop_back();
        view->removed(this);
        if (withForget) view->forget();
    }
    return true;
}

bool CViewContainer::isChild(CView* view) const {
    return std::find(mChildren.begin(), mChildren.end(), view) != mChildren.end();
}

CView* CViewContainer::getViewAt(const CPoint& where, const GetViewOptions& options) const {
    for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it) {
        CView* view = *it;
        if (!options.includeInvisible && !view->isVisible()) continue;
        if (options.mouseEnabled && !view->getMouseEnabled()) continue;
        if (!view->getViewSize().pointInside(where)) continue;
        if (options.deep) {
            if (auto* container = dynamic_cast<CViewContainer*>(view)) {
                CPoint local = where;
                local.offset(-container->getViewSize().left, -container->getViewSize().top);
                if (CView* inner = container->getViewAt(local, options)) return inner;
                if (!options.includeViewContainer) continue;
            }
        }
        return view;
    }
    return nullptr;
}

void CViewContainer::setBackgroundColor(const CColor& color) {
    mBackgroundColor = color;
    invalid();
}

void CViewContainer::draw(CDrawContext* context) { drawRect(context, mSize); }

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& updateRect) {
    CRect area(0, 0, mSize.getWidth(), mSize.getHeight());
    area.bound(updateRect);
    context->setFillColor(mBackgroundColor);
    context->drawRect(area, kDrawFilled);
    if (getBackground() != nullptr) getBackground()->draw(context, area, area.getTopLeft());
}

// `updateRect` is in this container's own coordinates (for the frame: frame coordinates).
void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
    context->saveGlobalState();
    drawBackgroundRect(context, updateRect);
    for (CView* view : mChildren) {
        if (!view->isVisible() || !view->getViewSize().rectOverlap(updateRect)) continue;
        CRect clip = view->getViewSize();
        clip.bound(updateRect);
        context->saveGlobalState();
        context->setClipRect(clip);
        const float alpha = context->getGlobalAlpha();
        context->setGlobalAlpha(alpha * view->getAlphaValue());
        if (auto* container = dynamic_cast<CViewContainer*>(view)) {
            // Children of a nested container draw in its coordinates.
            CRect inner = clip;
            inner.offset(-view->getViewSize().left, -view->getViewSize().top);
            cairo_t* c = context->getCairo();
            cairo_save(c);
            cairo_translate(c, view->getViewSize().left, view->getViewSize().top);
            container->drawRect(context, inner);
            cairo_restore(c);
        } else {
            view->drawRect(context, clip);
        }
        context->setGlobalAlpha(alpha);
        context->restoreGlobalState();
    }
    context->restoreGlobalState();
    setDirty(false);
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const CButtonState& buttons) {
    CPoint local = where;
    local.offset(-mSize.left, -mSize.top);
    for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it) {
        CView* view = *it;
        if (!view->isVisible() || !view->getMouseEnabled() || !view->hitTest(local, buttons)) continue;
        CPoint p = local;
        const CMouseEventResult result = view->onMouseDown(p, buttons);
        if (result == kMouseEventNotHandled || result == kMouseEventNotImplemented) continue;
        if (result == kMouseEventHandled) mMouseDownView = view;
        return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const CButtonState& buttons) {
    CView* view = mMouseDownView;
    if (view == nullptr) return kMouseEventNotHandled;
    mMouseDownView = nullptr;
    CPoint p = where;
    p.offset(-mSize.left, -mSize.top);
    view->remember();
    const CMouseEventResult result = view->onMouseUp(p, buttons);
    view->forget();
    return result;
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    CPoint local = where;
    local.offset(-mSize.left, -mSize.top);
    if (mMouseDownView != nullptr) {
        CPoint p = local;
        const CMouseEventResult result = mMouseDownView->onMouseMoved(p, buttons);
        if (result == kMouseMoveEventHandledButDontNeedMoreEvents) mMouseDownView = nullptr;
        return result;
    }
    CView* over = getViewAt(local, GetViewOptions().setMouseEnabled());
    if (over != mHoverView) {
        CPoint p = local;
        if (mHoverView != nullptr) mHoverView->onMouseExited(p, buttons);
        mHoverView = over;
        if (mHoverView != nullptr) mHoverView->onMouseEntered(p, buttons);
    }
    if (over == nullptr) return kMouseEventNotHandled;
    CPoint p = local;
    return over->onMouseMoved(p, buttons);
}

CMouseEventResult CViewContainer::onMouseExited(CPoint& where, const CButtonState& buttons) {
    if (mHoverView != nullptr) {
        CPoint p = where;
        mHoverView->onMouseExited(p, buttons);
        mHoverView = nullptr;
    }
    return kMouseEventHandled;
}

bool CViewContainer::onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                             const CButtonState& buttons) {
    CPoint local = where;
    local.offset(-mSize.left, -mSize.top);
    for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it) {
        CView* view = *it;
        if (!view->isVisible() || !view->getMouseEnabled() || !view->hitTest(local, buttons)) continue;
        if (view->onWheel(local, axis, distance, buttons)) return true;
    }
    return false;
}

bool CViewContainer::onDrop(IDataPackage* drag, const CPoint& where) {
    CPoint local = where;
    local.offset(-mSize.left, -mSize.top);
    CView* target = getViewAt(local, GetViewOptions().setMouseEnabled());
    mDragView = nullptr;
    return target != nullptr && target->onDrop(drag, local);
}

void CViewContainer::onDragEnter(IDataPackage* drag, const CPoint& where) {
    mDragView = nullptr;
    onDragMove(drag, where);
}

void CViewContainer::onDragLeave(IDataPackage* drag, const CPoint& where) {
    CPoint local = where;
    local.offset(-mSize.left, -mSize.top);
    if (mDragView != nullptr) mDragView->onDragLeave(drag, local);
    mDragView = nullptr;
}

void CViewContainer::onDragMove(IDataPackage* drag, const CPoint& where) {
    CPoint local = where;
    local.offset(-mSize.left, -mSize.top);
    CView* target = getViewAt(local, GetViewOptions().setMouseEnabled());
    if (target != mDragView) {
        if (mDragView != nullptr) mDragView->onDragLeave(drag, local);
        mDragView = target;
        if (mDragView != nullptr) mDragView->onDragEnter(drag, local);
    } else if (mDragView != nullptr) {
        mDragView->onDragMove(drag, local);
    }
}

}  // namespace VSTGUI
