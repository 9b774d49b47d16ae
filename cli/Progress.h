// A progress line on standard error for `marovex process`, shown only when standard error is a
// terminal: a bar with the percentage, the time elapsed and the time left (or, for audio of unknown
// length, the audio time done).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace marovex::cli {

class ProgressBar {
public:
    // `enabled` is false for --quiet, when standard error is not a terminal, or for audio of a second or
    // less; a disabled bar prints nothing. `totalFrames` is -1 when the length is not known.
    ProgressBar(FILE* out, bool enabled, int64_t totalFrames, int sampleRate);
    ~ProgressBar();

    // Redraws the line at most a few times a second.
    void Update(int64_t framesDone);
    // Clears the line.
    void Finish();

    // Whether a progress line belongs on `out` for audio of `totalFrames` frames at `sampleRate` (a
    // terminal, and more than a second of audio or an unknown length).
    static bool Wanted(FILE* out, int64_t totalFrames, int sampleRate);

private:
    FILE* mOut;
    bool mEnabled;
    bool mDrawn = false;
    int64_t mTotal;
    int mSampleRate;
    std::chrono::steady_clock::time_point mStart;
    std::chrono::steady_clock::time_point mLastDrawn;
};

}  // namespace marovex::cli
