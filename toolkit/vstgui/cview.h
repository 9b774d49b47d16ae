// Views and view containers. A view has a rectangle in its parent's coordinates (for the direct
// children of a frame, frame coordinates), draws itself and answers mouse events. A container owns
// its children: addView takes over the caller's reference and the container forgets each child when
// it is removed or the container goes.
#pragma once

#include <vector>

#include "vstgui/vstguibase.h"

namespace VSTGUI {

class CBitmap;
class CDrawContext;
class IDataPackage;
class CFrame;
class CViewContainer;

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);

    // Drawing: draw paints the whole view; drawRect is asked for a part of it (the whole view by
    // default). A view that is not visible is not drawn.
    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);

    // Mouse events, `where` in the parent's coordinates. The base ignores them.
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    virtual bool hitTest(const CPoint& where, const CButtonState& buttons = CButtonState());
    // A mouse wheel turn over the view: `distance` notches, positive up (or right). True when taken.
    virtual bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                         const CButtonState& buttons);
    // A key press meant for this view: 1 when it took the key, -1 when not. The base takes none.
    virtual int32_t onKeyDown(VstKeyCode& keyCode);

    // Drag and drop, `where` in the parent's coordinates. The base takes nothing.
    virtual bool onDrop(IDataPackage* drag, const CPoint& where);
    virtual void onDragEnter(IDataPackage* drag, const CPoint& where);
    virtual void onDragLeave(IDataPackage* drag, const CPoint& where);
    virtual void onDragMove(IDataPackage* drag, const CPoint& where);

    // Dirty flag and invalidation: invalid() asks the frame to redraw the view's rectangle.
    virtual void setDirty(bool dirty = true) { mDirty = dirty; }
    virtual bool isDirty() const { return mDirty; }
    virtual void invalid();
    virtual void invalidRect(const CRect& rect);

    const CRect& getViewSize() const { return mSize; }
    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    virtual void setMouseEnabled(bool enabled) { mMouseEnabled = enabled; }
    bool getMouseEnabled() const { return mMouseEnabled; }
    virtual void setVisible(bool visible);
    bool isVisible() const { return mVisible && mAlpha > 0.0f; }
    bool getVisibleFlag() const { return mVisible; }
    virtual void setAlphaValue(float alpha);
    float getAlphaValue() const { return mAlpha; }
    virtual void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return mBackground; }

    // Tree: the parent container and the frame, null while the view is not attached.
    CViewContainer* getParentView() const { return mParent; }
    CFrame* getFrame() const;
    bool isAttached() const { return mParent != nullptr; }
    virtual bool attached(CViewContainer* parent);
    virtual bool removed(CViewContainer* parent);

    // How many views exist in the process (for checking that view trees are released).
    static int32_t getLiveViewCount();

    // Converts between the frame's coordinates and the coordinates this view's rectangle is given in.
    CPoint& frameToLocal(CPoint& point) const;
    CPoint& localToFrame(CPoint& point) const;

protected:
    ~CView() override;

    CRect mSize;

private:
    CViewContainer* mParent = nullptr;
    CBitmap* mBackground = nullptr;
    float mAlpha = 1.0f;
    bool mDirty = false;
    bool mMouseEnabled = true;
    bool mVisible = true;
};

// Which views getViewAt reports: by default only the direct children that are visible, ignoring
// whether they take the mouse; `deep` also searches inside child containers.
struct GetViewOptions {
    bool deep = false;
    bool mouseEnabled = false;
    bool includeInvisible = false;
    bool includeViewContainer = false;
    GetViewOptions& setDeep(bool value = true) { deep = value; return *this; }
    GetViewOptions& setMouseEnabled(bool value = true) { mouseEnabled = value; return *this; }
    GetViewOptions& setIncludeInvisible(bool value = true) { includeInvisible = value; return *this; }
    GetViewOptions& setIncludeViewContainer(bool value = true) { includeViewContainer = value; return *this; }
};

class CViewContainer : public CView {
public:
    explicit CViewContainer(const CRect& size);

    // Takes over the caller's reference. False (and the view forgotten) when the view is null or
    // already attached somewhere.
    virtual bool addView(CView* view);
    // Detaches the view; with `withForget` the container's reference is dropped too.
    virtual bool removeView(CView* view, bool withForget = true);
    virtual bool removeAll(bool withForget = true);
    uint32_t getNbViews() const { return static_cast<uint32_t>(mChildren.size()); }
    CView* getView(uint32_t index) const { return index < mChildren.size() ? mChildren[index] : nullptr; }
    bool isChild(CView* view) const;
    // The topmost child at `where` (parent coordinates of this container), by the options.
    CView* getViewAt(const CPoint& where, const GetViewOptions& options = GetViewOptions()) const;

    void setBackgroundColor(const CColor& color);
    const CColor& getBackgroundColor() const { return mBackgroundColor; }

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    // Draws the background colour and bitmap.
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& updateRect);

    // A press goes to the topmost child under the pointer that handles it; that child then gets the
    // moves and the release. Without a pressed child, moves track which child the pointer is over
    // (entered / exited) and go to it.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    // A wheel turn goes to the topmost child under the pointer that takes mouse events.
    bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                 const CButtonState& buttons) override;

    // Drags go to the child under the pointer (entered / left as the pointer crosses children).
    bool onDrop(IDataPackage* drag, const CPoint& where) override;
    void onDragEnter(IDataPackage* drag, const CPoint& where) override;
    void onDragLeave(IDataPackage* drag, const CPoint& where) override;
    void onDragMove(IDataPackage* drag, const CPoint& where) override;

    CView* getMouseDownView() const { return mMouseDownView; }

protected:
    ~CViewContainer() override;

private:
    std::vector<CView*> mChildren;
    CColor mBackgroundColor = kBlackCColor;
    CView* mMouseDownView = nullptr;
    CView* mHoverView = nullptr;
    CView* mDragView = nullptr;
};

}  // namespace VSTGUI
