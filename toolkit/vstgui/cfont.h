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

// One of the toolkit's standard fonts, used wherever a CFontRef is. Its description is made when it is
// first used, not while the module's statics are set up, where a failure could not be reported (a
// failed allocation then throws from the use, inside the code that can answer with an error code);
// afterwards it lives until the module's statics go.
class CStandardFont {
public:
    constexpr CStandardFont(const char* name, CCoord size) : mName(name), mSize(size) {}
    operator CFontRef() const;
    CFontRef operator->() const { return *this; }

private:
    const char* mName;
    CCoord mSize;
};

extern const CStandardFont kSystemFont;
extern const CStandardFont kNormalFontVeryBig;
extern const CStandardFont kNormalFontBig;
extern const CStandardFont kNormalFont;
extern const CStandardFont kNormalFontSmall;
extern const CStandardFont kNormalFontSmaller;
extern const CStandardFont kNormalFontVerySmall;
extern const CStandardFont kSymbolFont;

}  // namespace VSTGUI
