// The built-in demo signal: about six seconds of stereo drums (kick, snare, hats), a bass line and
// three loud noise bursts, made in code. The same sample rate always gives the same samples.
#pragma once

#include <cstdint>
#include <vector>

struct MarovexDemoSignal {
    int32_t sampleRate;
    int32_t channels;            // always 2
    std::vector<float> samples;  // interleaved, left first; every |sample| < 1
};

// Where the noise bursts lie, in seconds from the start. Their low band is loud enough that the
// sum of both channels' section-A outputs exceeds 1, so the detector reduces gain with the
// default parameter values.
inline constexpr double kMarovexDemoBurstStart[3] = {1.75, 3.5, 5.0};
inline constexpr double kMarovexDemoBurstLength = 0.35;
inline constexpr double kMarovexDemoSeconds = 6.0;

// Builds the demo at `sampleRate` (Hz, positive). Allocates; not for the audio thread.
MarovexDemoSignal MakeMarovexDemoSignal(int32_t sampleRate = 48000);
