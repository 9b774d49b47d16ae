// A progress bar on standard error for `marovex process`, shown only when standard error is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>

namespace marovex::cli {

class ProgressBar {
public:
    // `enabled` is false for --quiet, when standard error is not a terminal, or for audio of a second or
    // less; a disabled bar prints nothing.
    ProgressBar(FILE* out, bool enabled, int64_t totalFrames);
    ~ProgressBar();

    // Redraws the bar when the shown percentage changes.
    void Update(int64_t framesDone);
    // Clears the bar's line.
    void Finish();

    // Whether a bar belongs on `out` for audio of `totalFrames` frames at `sampleRate` (a terminal, and
    // more than a second of audio).
    static bool Wanted(FILE* out, int64_t totalFrames, int sampleRate);

private:
    FILE* mOut;
    bool mEnabled;
    bool mDrawn = false;
    int64_t mTotal;
    int mShownPercent = -1;
};

}  // namespace marovex::cli
