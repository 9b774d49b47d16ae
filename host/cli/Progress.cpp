#include "Progress.h"

#include <unistd.h>

namespace marovex::cli {

namespace {
constexpr int kBarWidth = 40;
}

ProgressBar::ProgressBar(FILE* out, bool enabled, int64_t totalFrames)
    : mOut(out), mEnabled(enabled && totalFrames > 0), mTotal(totalFrames) {}

ProgressBar::~ProgressBar() { Finish(); }

bool ProgressBar::Wanted(FILE* out, int64_t totalFrames, int sampleRate) {
    return ::isatty(::fileno(out)) == 1 && totalFrames > int64_t(sampleRate);
}

void ProgressBar::Update(int64_t framesDone) {
    if (!mEnabled) return;
    if (framesDone > mTotal) framesDone = mTotal;
    const int percent = int(framesDone * 100 / mTotal);
    if (percent == mShownPercent) return;
    mShownPercent = percent;
    const int filled = percent * kBarWidth / 100;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(mOut, "\r[%s] %3d%%", bar, percent);
    std::fflush(mOut);
    mDrawn = true;
}

void ProgressBar::Finish() {
    if (!mDrawn) return;
    std::fprintf(mOut, "\r%*s\r", kBarWidth + 8, "");
    std::fflush(mOut);
    mDrawn = false;
}

}  // namespace marovex::cli
