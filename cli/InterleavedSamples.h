// Interleaved samples as an audio file holds them: counted exactly (peak, non-finite, beyond full
// scale) and converted to and from the planar channels the plug-in takes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace marovex::cli {

// Counts over interleaved samples, exact and in any order: with the sign bit cleared, the bit patterns
// of finite floats order as their magnitudes, and every pattern from infinity's up is non-finite.
// Raises *peak to the largest finite magnitude, adds the non-finite samples to *nonFinite and, when
// `beyondFullScale` is given, the finite samples of magnitude above 1 to it.
void CountSamples(const float* samples, size_t count, double* peak, int64_t* nonFinite, int64_t* beyondFullScale);

// Interleaved frames to planar channels `stride` samples apart, and back.
void Deinterleave(const float* interleaved, int channels, int64_t frames, float* planar, int64_t stride);
void Interleave(const float* planar, int64_t stride, int channels, int64_t frames, float* interleaved);

}  // namespace marovex::cli
