// Font descriptions: a family name, a size in pixels and a style. The text engine picks the closest
// installed face for the family (an unknown family falls back to the system's sans face).
#pragma once

#include <string>

#include "vstgui/vstguibase.h"

namespace VSTGUI {

enum CTxtFace : int32_t {
    kNormalFace = 0,
    kBoldFace = 1 << 1,
    kItalicFace = 1 << 2,
    kUnderlineFace = 1 << 3,
};

class CFontDesc : public CBaseObject {
public:
    explicit CFontDesc(const std::string& name = "", CCoord size = 0, int32_t style = kNormalFace)
        : mName(name), mSize(size), mStyle(style) {}

    const std::string& getName() const { return mName; }
    CCoord getSize() const { return mSize; }
    int32_t getStyle() const { return mStyle; }
    void setName(const std::string& name) { mName = name; }
    void setSize(CCoord size) { mSize = size; }
    void setStyle(int32_t style) { mStyle = style; }

protected:
    ~CFontDesc() override = default;

private:
    std::string mName;
    CCoord mSize;
    int32_t mStyle;
};

using CFontRef = CFontDesc*;

// The toolkit's standard fonts; they live as long as the process.
extern const CFontRef kSystemFont;
extern const CFontRef kNormalFontVeryBig;
extern const CFontRef kNormalFontBig;
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFontSmaller;
extern const CFontRef kNormalFontVerySmall;
extern const CFontRef kSymbolFont;

}  // namespace VSTGUI
