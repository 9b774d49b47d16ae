// Counting interleaved samples and converting them to and from planar channels.
#include "InterleavedSamples.h"

#include <algorithm>
#include <cstring>

namespace marovex::cli {

void CountSamples(const float* samples, size_t count, double* peak, int64_t* nonFinite, int64_t* beyondFullScale) {
    constexpr int32_t kInfinity = 0x7f800000, kOne = 0x3f800000;
    // Sixteen independent lanes, so that the running maximum is not one long chain of dependent steps.
    constexpr size_t kLanes = 16;
    int32_t peakLane[kLanes] = {}, nonFiniteLane[kLanes] = {}, beyondLane[kLanes] = {};
    int32_t peakBits = 0;
    int64_t nonFiniteCount = 0, beyondCount = 0;
    const auto add = [&](int32_t raw, int32_t& peakTo, int32_t& nonFiniteTo, int32_t& beyondTo) {
        const int32_t bits = raw & 0x7fffffff;
        const int32_t infinite = -int32_t(bits >= kInfinity);  // all ones for a non-finite sample
        nonFiniteTo -= infinite;
        beyondTo -= -int32_t(bits > kOne) & ~infinite;
        const int32_t finiteBits = bits & ~infinite;
        peakTo = finiteBits > peakTo ? finiteBits : peakTo;
    };
    const auto gather = [&] {
        for (size_t l = 0; l < kLanes; ++l) {
            nonFiniteCount += uint32_t(nonFiniteLane[l]);
            beyondCount += uint32_t(beyondLane[l]);
            peakBits = std::max(peakBits, peakLane[l]);
            nonFiniteLane[l] = beyondLane[l] = 0;
        }
    };
    size_t i = 0;
    // In pieces whose per-lane counts fit 32 bits.
    for (size_t pieceEnd = 0; i + kLanes <= count; i = pieceEnd) {
        pieceEnd = i + std::min((count - i) / kLanes, size_t(1) << 30) * kLanes;
        for (size_t at = i; at < pieceEnd; at += kLanes) {
            for (size_t l = 0; l < kLanes; ++l) {
                int32_t raw;
                std::memcpy(&raw, samples + at + l, sizeof raw);
                add(raw, peakLane[l], nonFiniteLane[l], beyondLane[l]);
            }
        }
        gather();
    }
    for (; i < count; ++i) {
        int32_t raw;
        std::memcpy(&raw, samples + i, sizeof raw);
        add(raw, peakLane[0], nonFiniteLane[0], beyondLane[0]);
    }
    gather();
    float largest;
    std::memcpy(&largest, &peakBits, sizeof largest);
    *peak = std::max(*peak, double(largest));
    *nonFinite += nonFiniteCount;
    if (beyondFullScale != nullptr) *beyondFullScale += beyondCount;
}

void Deinterleave(const float* interleaved, int channels, int64_t frames, float* planar, int64_t stride) {
    if (channels == 2) {
        float* left = planar;
        float* right = planar + stride;
        for (int64_t f = 0; f < frames; ++f) {
            left[f] = interleaved[2 * f];
            right[f] = interleaved[2 * f + 1];
        }
        return;
    }
    for (int c = 0; c < channels; ++c) {
        float* channel = planar + c * stride;
        for (int64_t f = 0; f < frames; ++f) channel[f] = interleaved[f * channels + c];
    }
}

void Interleave(const float* planar, int64_t stride, int channels, int64_t frames, float* interleaved) {
    if (channels == 2) {
        const float* left = planar;
        const float* right = planar + stride;
        for (int64_t f = 0; f < frames; ++f) {
            interleaved[2 * f] = left[f];
            interleaved[2 * f + 1] = right[f];
        }
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const float* channel = planar + c * stride;
        for (int64_t f = 0; f < frames; ++f) interleaved[f * channels + c] = channel[f];
    }
}

}  // namespace marovex::cli
