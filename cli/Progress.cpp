#include "Progress.h"

#include <unistd.h>

namespace marovex::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr int kLineWidth = 78;

void Clock(char* out, size_t size, double seconds) {
    const long s = long(seconds + 0.5);
    if (s >= 3600) std::snprintf(out, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(out, size, "%ld:%02ld", s / 60, s % 60);
}
}  // namespace

ProgressBar::ProgressBar(FILE* out, bool enabled, int64_t totalFrames, int sampleRate)
    : mOut(out),
      mEnabled(enabled && totalFrames != 0 && sampleRate > 0),
      mTotal(totalFrames),
      mSampleRate(sampleRate),
      mStart(std::chrono::steady_clock::now()),
      mLastDrawn(mStart) {}

ProgressBar::~ProgressBar() { Finish(); }

bool ProgressBar::Wanted(FILE* out, int64_t totalFrames, int sampleRate) {
    return ::isatty(::fileno(out)) == 1 && (totalFrames < 0 || totalFrames > int64_t(sampleRate));
}

void ProgressBar::Update(int64_t framesDone) {
    if (!mEnabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (mDrawn && now - mLastDrawn < std::chrono::milliseconds(200)) return;
    mLastDrawn = now;
    const double elapsed = std::chrono::duration<double>(now - mStart).count();
    char spent[32], rest[32], line[160];
    Clock(spent, sizeof spent, elapsed);
    if (mTotal > 0) {
        if (framesDone > mTotal) framesDone = mTotal;
        const double fraction = double(framesDone) / double(mTotal);
        const int filled = int(fraction * kBarWidth);
        char bar[kBarWidth + 1];
        for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
        bar[kBarWidth] = '\0';
        if (fraction > 0.0) Clock(rest, sizeof rest, elapsed * (1.0 - fraction) / fraction);
        else std::snprintf(rest, sizeof rest, "?");
        std::snprintf(line, sizeof line, "[%s] %3d%%  %s elapsed, %s left", bar, int(fraction * 100.0), spent, rest);
    } else {
        Clock(rest, sizeof rest, double(framesDone) / mSampleRate);
        std::snprintf(line, sizeof line, "%s of audio processed, %s elapsed", rest, spent);
    }
    std::fprintf(mOut, "\r%-*s", kLineWidth, line);
    std::fflush(mOut);
    mDrawn = true;
}

void ProgressBar::Finish() {
    if (!mDrawn) return;
    std::fprintf(mOut, "\r%*s\r", kLineWidth, "");
    std::fflush(mOut);
    mDrawn = false;
}

}  // namespace marovex::cli
