// The toolkit's standard fonts.
#include "vstgui/cfont.h"

namespace VSTGUI {

namespace {
// The standard fonts live as long as the code that holds them: the process, or a plug-in module until
// it is unloaded. Each is remembered here and released when the module's statics go.
class StandardFonts {
public:
    CFontRef make(const char* name, CCoord size) {
        CFontRef font = new CFontDesc(name, size, kNormalFace);
        if (mCount < kMax) mFonts[mCount++] = font;
        return font;
    }
    ~StandardFonts() {
        for (int i = 0; i < mCount; ++i) mFonts[i]->forget();
    }

private:
    static constexpr int kMax = 8;
    CFontRef mFonts[kMax] = {};
    int mCount = 0;
};
StandardFonts gStandardFonts;  // defined before the fonts below, so it is destroyed after their users

CFontRef MakeFont(const char* name, CCoord size) { return gStandardFonts.make(name, size); }
}  // namespace

const CFontRef kSystemFont = MakeFont("Sans", 12);
const CFontRef kNormalFontVeryBig = MakeFont("Arial", 18);
const CFontRef kNormalFontBig = MakeFont("Arial", 14);
const CFontRef kNormalFont = MakeFont("Arial", 12);
const CFontRef kNormalFontSmall = MakeFont("Arial", 11);
const CFontRef kNormalFontSmaller = MakeFont("Arial", 10);
const CFontRef kNormalFontVerySmall = MakeFont("Arial", 9);
const CFontRef kSymbolFont = MakeFont("Symbol", 12);

}  // namespace VSTGUI
