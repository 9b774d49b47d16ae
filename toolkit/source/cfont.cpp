// The toolkit's standard fonts.
#include "vstgui/cfont.h"

namespace VSTGUI {

namespace {
// Never released: the standard fonts live as long as the process.
CFontRef MakeFont(const char* name, CCoord size, int32_t style = kNormalFace) { return new CFontDesc(name, size, style); }
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
