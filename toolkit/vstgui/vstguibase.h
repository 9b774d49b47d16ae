// The basic types of the GUI toolkit: coordinates, points, rectangles, colours, mouse button states,
// mouse-event results, text alignment and the reference-counted object base.
//
// Threading: every toolkit object belongs to the user-interface thread that made it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace VSTGUI {

using CCoord = double;

// ---------------------------------------------------------------------------------------------
// Reference counting. A new object holds one reference, owned by whoever made it; forget() drops a
// reference and deletes the object at zero. A container that is handed a view takes over the
// caller's reference.
class CBaseObject {
public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    void remember() { ++mReferences; }
    void forget() {
        if (--mReferences == 0) {
            delete this;
        }
    }
    int32_t getNbReference() const { return mReferences; }

protected:
    virtual ~CBaseObject() = default;

private:
    int32_t mReferences = 1;
};

// An owning pointer for counted objects: it remembers what it is given and forgets it when it lets go.
template <class T>
class SharedPointer {
public:
    SharedPointer() = default;
    SharedPointer(T* p) : mPtr(p) { if (mPtr) mPtr->remember(); }  // NOLINT: implicit on purpose
    SharedPointer(const SharedPointer& o) : SharedPointer(o.mPtr) {}
    ~SharedPointer() { if (mPtr) mPtr->forget(); }
    SharedPointer& operator=(const SharedPointer& o) { return *this = o.mPtr; }
    SharedPointer& operator=(T* p) {
        if (p) p->remember();
        if (mPtr) mPtr->forget();
        mPtr = p;
        return *this;
    }
    T* get() const { return mPtr; }
    T* operator->() const { return mPtr; }
    operator T*() const { return mPtr; }  // NOLINT: implicit on purpose

private:
    T* mPtr = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Geometry. Rectangles are left, top, right, bottom; right and bottom lie just outside.
struct CPoint {
    CCoord x = 0;
    CCoord y = 0;

    CPoint() = default;
    CPoint(CCoord px, CCoord py) : x(px), y(py) {}
    CPoint& offset(CCoord dx, CCoord dy) { x += dx; y += dy; return *this; }
    CPoint operator+(const CPoint& o) const { return CPoint(x + o.x, y + o.y); }
    CPoint operator-(const CPoint& o) const { return CPoint(x - o.x, y - o.y); }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    CRect() = default;
    CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}
    // A rectangle at `origin` of the given size (size.x wide, size.y high).
    CRect(const CPoint& origin, const CPoint& size)
        : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    CRect& setWidth(CCoord w) { right = left + w; return *this; }
    CRect& setHeight(CCoord h) { bottom = top + h; return *this; }
    CPoint getTopLeft() const { return CPoint(left, top); }
    CPoint getCenter() const { return CPoint(left + getWidth() / 2, top + getHeight() / 2); }
    CRect& offset(CCoord dx, CCoord dy) { left += dx; right += dx; top += dy; bottom += dy; return *this; }
    CRect& offset(const CPoint& p) { return offset(p.x, p.y); }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    CRect& inset(CCoord dx, CCoord dy) { left += dx; right -= dx; top += dy; bottom -= dy; return *this; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool pointInside(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool rectOverlap(const CRect& o) const {
        return !isEmpty() && !o.isEmpty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    // The overlap of the two (an empty rectangle when they do not meet).
    CRect& bound(const CRect& o) {
        left = std::max(left, o.left);
        top = std::max(top, o.top);
        right = std::max(left, std::min(right, o.right));
        bottom = std::max(top, std::min(bottom, o.bottom));
        return *this;
    }
    // The smallest rectangle holding both; an empty rectangle counts as nothing.
    CRect& unite(const CRect& o) {
        if (o.isEmpty()) return *this;
        if (isEmpty()) return *this = o;
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

// ---------------------------------------------------------------------------------------------
// Colours: red, green, blue, alpha, 0 to 255 each.
struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    constexpr CColor() = default;
    constexpr CColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) : red(r), green(g), blue(b), alpha(a) {}
    constexpr bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    constexpr bool operator!=(const CColor& o) const { return !(*this == o); }
};

constexpr CColor kTransparentCColor(255, 255, 255, 0);
constexpr CColor kBlackCColor(0, 0, 0, 255);
constexpr CColor kWhiteCColor(255, 255, 255, 255);
constexpr CColor kGreyCColor(127, 127, 127, 255);
constexpr CColor kRedCColor(255, 0, 0, 255);
constexpr CColor kGreenCColor(0, 255, 0, 255);
constexpr CColor kBlueCColor(0, 0, 255, 255);
constexpr CColor kYellowCColor(255, 255, 0, 255);
constexpr CColor kCyanCColor(0, 255, 255, 255);
constexpr CColor kMagentaCColor(255, 0, 255, 255);

// ---------------------------------------------------------------------------------------------
// Mouse buttons and modifier keys, as the platform layer delivers them. kControl is the platform's
// command key (the Ctrl key on X11 keyboards), kAlt the option key (Alt), kApple the secondary
// control key (the Super key on X11 keyboards).
enum CButton : int32_t {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7,
    kDoubleClick = 1 << 8,
};

class CButtonState {
public:
    CButtonState(int32_t state = 0) : mState(state) {}  // NOLINT: implicit on purpose

    int32_t getButtonState() const { return mState & (kLButton | kMButton | kRButton); }
    int32_t getModifierState() const { return mState & (kShift | kControl | kAlt | kApple); }
    bool isLeftButton() const { return (mState & kLButton) != 0; }
    bool isRightButton() const { return (mState & kRButton) != 0; }
    bool isDoubleClick() const { return (mState & kDoubleClick) != 0; }
    operator int32_t() const { return mState; }  // NOLINT: implicit on purpose
    int32_t operator&(int32_t mask) const { return mState & mask; }
    CButtonState& operator|=(int32_t bits) { mState |= bits; return *this; }
    bool operator==(const CButtonState& o) const { return mState == o.mState; }
    bool operator!=(const CButtonState& o) const { return mState != o.mState; }

private:
    int32_t mState;
};

// What a view answers to a mouse event.
enum CMouseEventResult : int32_t {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled = 1,
    kMouseEventNotHandled = 2,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents = 3,
    kMouseMoveEventHandledButDontNeedMoreEvents = 4,
};

enum CMouseWheelAxis : int32_t { kMouseWheelAxisX = 0, kMouseWheelAxisY };

// ---------------------------------------------------------------------------------------------
// Keys, as the platform layer delivers them: the character typed (0 for none), the virtual key of
// a key that types none, and the modifiers held.
enum VirtualKey : unsigned char {
    VKEY_NONE = 0,
    VKEY_LEFT,
    VKEY_UP,
    VKEY_RIGHT,
    VKEY_DOWN,
    VKEY_PAGEUP,
    VKEY_PAGEDOWN,
    VKEY_HOME,
    VKEY_END,
    VKEY_RETURN,
    VKEY_ESCAPE,
};

enum KeyModifier : unsigned char {
    MODIFIER_SHIFT = 1 << 0,
    MODIFIER_ALTERNATE = 1 << 1,  // Alt (option)
    MODIFIER_COMMAND = 1 << 2,    // the platform's command key (Ctrl on X11 keyboards)
    MODIFIER_CONTROL = 1 << 3,    // the secondary control key (Super on X11 keyboards)
};

struct VstKeyCode {
    int32_t character = 0;
    unsigned char virt = VKEY_NONE;
    unsigned char modifier = 0;
};

enum CHoriTxtAlign : int32_t { kLeftText = 0, kCenterText, kRightText };

enum CDrawStyle : int32_t { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

}  // namespace VSTGUI
