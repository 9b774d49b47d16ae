// The toolkit's standard fonts.
#include "vstgui/cfont.h"

#include <mutex>

namespace VSTGUI {

namespace {
// The standard fonts live as long as the code that holds them: the process, or a plug-in module until
// it is unloaded. Each is made on its first use, remembered here and released when the module's
// statics go. Nothing here runs while the statics are set up (the table is constant-initialised), so
// loading the module cannot fail on it.
class StandardFonts {
public:
    constexpr StandardFonts() = default;
    CFontRef get(const CStandardFont* which, const char* name, CCoord size) {
        std::lock_guard<std::mutex> lock(mMutex);
        for (int i = 0; i < mCount; ++i) {
            if (mKeys[i] == which) return mFonts[i];
        }
        CFontRef font = new CFontDesc(name, size, kNormalFace);  // may throw: the table stays as it was
        if (mCount < kMax) {
            mKeys[mCount] = which;
            mFonts[mCount++] = font;
        }
        return font;
    }
    ~StandardFonts() {
        for (int i = 0; i < mCount; ++i) mFonts[i]->forget();
    }

private:
    static constexpr int kMax = 8;
    std::mutex mMutex;
    const CStandardFont* mKeys[kMax] = {};
    CFontRef mFonts[kMax] = {};
    int mCount = 0;
};
StandardFonts gStandardFonts;
}  // namespace

CStandardFont::operator CFontRef() const { return gStandardFonts.get(this, mName, mSize); }

constexpr CStandardFont kSystemFont("Sans", 12);
constexpr CStandardFont kNormalFontVeryBig("Arial", 18);
constexpr CStandardFont kNormalFontBig("Arial", 14);
constexpr CStandardFont kNormalFont("Arial", 12);
constexpr CStandardFont kNormalFontSmall("Arial", 11);
constexpr CStandardFont kNormalFontSmaller("Arial", 10);
constexpr CStandardFont kNormalFontVerySmall("Arial", 9);
constexpr CStandardFont kSymbolFont("Symbol", 12);

}  // namespace VSTGUI
