// The effect's fixed facts that more than one place needs: the coefficient block of a frequency
// parameter and the parameter table. Header-only, so that tests and benchmarks use the effect's own
// definitions instead of restating them.
#pragma once

#include <cmath>
#include <cstdint>

#include "Tandrel_Alg.h"

// Corner frequency constants of the two frequency parameters: f = value * k1 + k0 Hz.
constexpr float kTandrel_FreqW_K1 = 900.0f, kTandrel_FreqW_K0 = 100.0f;
constexpr float kTandrel_FreqA_K1 = 5000.0f, kTandrel_FreqA_K0 = 1000.0f;
// Where a corner is moved when it would reach the Nyquist frequency: this fraction of the rate.
constexpr float kTandrel_LargestCornerShare = 0.45f;

// The first-order low-pass block for a corner of (value * k1 + k0) Hz at `sampleRate`: the bilinear
// section with the half angle h = pi f / sr, s = sin h, c = cos h, evaluated in single precision in
// this order; the section computes y[n] = (s x[n] + s x[n-1] - (s - c) y[n-1]) / (s + c).
//
// The section is stable exactly while s > 0 and c > 0 (the corner below the Nyquist frequency). A
// corner at or beyond it (FreqA above about 0.6 at 8 kHz) would put the pole on or outside the unit
// circle and fill the output with infinities: such a corner is moved to kTandrel_LargestCornerShare
// times the rate. Every stable corner keeps its exact bits.
inline STandrel_FilterCoefs Tandrel_LowPassCoefs(float value, float k1, float k0, float sampleRate) {
    float corner = value * k1 + k0;
    for (int pass = 0;; ++pass) {
        const float halfAngle = (corner * 6.2831855f / sampleRate) * 0.5f;
        const float s = static_cast<float>(std::sin(static_cast<double>(halfAngle)));
        const float c = static_cast<float>(std::cos(static_cast<double>(halfAngle)));
        if ((s > 0.0f && c > 0.0f) || pass == 1 || !(sampleRate > 0.0f)) {
            return STandrel_FilterCoefs{s, s, 0.0f, 1.0f / (s + c), s - c, 0.0f};
        }
        corner = kTandrel_LargestCornerShare * sampleRate;
    }
}

// The eight continuous parameters in creation order (the bypass "MasterBypassID" comes first):
// identifier (also the display name), default value and number of steps.
struct STandrel_ParameterRow {
    const char* mID;
    float mDefault;
    uint32_t mSteps;
};
constexpr STandrel_ParameterRow kTandrel_FloatParameters[] = {
    {"InGain", 0.5f, 131}, {"FreqW", 0.5f, 131}, {"Width", 1.0f, 131}, {"FreqA", 0.5f, 131},
    {"Action", 1.0f, 131}, {"Dyn", 1.0f, 131},   {"Adj", 0.5f, 9},     {"OutGain", 0.5f, 131},
};
