// One block of the fast kernel, as handed from the process function to a block runner, and what
// every runner shares: the serial stage (frame by frame, up to the shaper's input), the output
// stage (sum/difference and output gain), the bypass copy and the chunk loop. Included by the
// portable runner and by the AVX2 runner. The stage functions sit in an unnamed namespace on purpose: each translation unit gets
// its own copy, compiled with its own flags, so the linker can never hand the portable path a copy
// that was compiled for AVX2.
#pragma once

#include <cstdint>
#include <cstring>

using Tandrel_V4 = float __attribute__((vector_size(16)));
using Tandrel_V4i = int32_t __attribute__((vector_size(16)));

// Frames per chunk: large enough to keep the vector stage busy, small enough that the buffers (two
// channels, 2 KiB per chunk) stay in the first-level cache.
constexpr int32_t kTandrel_Chunk = 256;

// A block's constants, buffers and carried state. The four recursive sections run in the four
// lanes of one vector: section W channel 1, W channel 2, A channel 1, A channel 2.
struct Tandrel_BlockJob {
    // Block constants, as the reference evaluation computes them.
    float aAtt, aRel, oneMinusAtt, oneMinusRel, threshold, gIn, kW, m, oneMinusM, sS, sM, gOut;
    int32_t bypass;
    int32_t frames;   // at least 1
    bool oneChannel;  // mono, with both channel states equal: one shaped channel serves both
    const float* in1;
    const float* in2;  // the mono kernel: in1
    float* out1;
    float* out2;  // the mono kernel: null
    // Coefficients, block W in lanes 0 and 1, block A in lanes 2 and 3.
    Tandrel_V4 b0, b1, b2, scale, a1, a2;
    // Carried state: section history, smoothed gain g (all lanes equal), meter tap (all lanes).
    Tandrel_V4 x1, x2, y1, y2, g, meter;
};

// The AVX2 block runner (Tandrel_AlgAvx2.cpp). Runs one whole block of job.frames frames: updates the
// carried state in `job` and writes the outputs. Only where Tandrel_CpuHasAvx2Fma() is true.
void Tandrel_RunBlockAvx2(Tandrel_BlockJob& job, bool stereo);

namespace {

inline Tandrel_V4 SplatV4(float v) { return Tandrel_V4{v, v, v, v}; }

// The serial stage for frames [start, start + count) of the block: input gain, the four sections,
// detector, gain smoothing, blend, low-band width and meter, each in the reference's operation
// order; the shaper's inputs go to u1[n - start] and u2[n - start].
template <bool kStereo>
inline void SerialStage(Tandrel_BlockJob& job, int32_t start, int32_t count, float* u1, float* u2) {
    const Tandrel_V4 gIn = SplatV4(job.gIn), kW = SplatV4(job.kW), threshold = SplatV4(job.threshold);
    const Tandrel_V4 aAtt = SplatV4(job.aAtt), aRel = SplatV4(job.aRel), oneMinusAtt = SplatV4(job.oneMinusAtt),
                     oneMinusRel = SplatV4(job.oneMinusRel), one = SplatV4(1.0f);
    const Tandrel_V4i absMask = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    const Tandrel_V4 b0 = job.b0, b1 = job.b1, b2 = job.b2, scale = job.scale, a1 = job.a1, a2 = job.a2;
    Tandrel_V4 x1 = job.x1, x2 = job.x2, y1 = job.y1, y2 = job.y2, g = job.g, meter = job.meter;
    const float* in1 = job.in1 + start;
    const float* in2 = job.in2 + start;
    for (int32_t n = 0; n < count; ++n) {
        const Tandrel_V4 in = kStereo ? Tandrel_V4{in1[n], in2[n], in1[n], in2[n]} : SplatV4(in1[n]);
        const Tandrel_V4 x = in * gIn;  // x1, x2, x1, x2

        // y = scale * (((b0*x + b1*x[n-1]) + b2*x[n-2]) - a1*y[n-1] - a2*y[n-2]), four sections.
        const Tandrel_V4 y = scale * ((((b0 * x + b1 * x1) + b2 * x2) - a1 * y1) - a2 * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;

        // Detector d = |q1 + q2| (lanes 2 and 3), in every lane.
        const Tandrel_V4 sum = __builtin_shufflevector(y, y, 2, 2, 2, 2) + __builtin_shufflevector(y, y, 3, 3, 3, 3);
        const Tandrel_V4 d = reinterpret_cast<Tandrel_V4>(reinterpret_cast<Tandrel_V4i>(sum) & absMask);
        // Unity target unless d > L; a NaN compares false and also gives unity.
        const Tandrel_V4 gT = d > threshold ? threshold / d : one;
        // Attack when the old g is above the target, release otherwise: g*a + gT*(1 - a).
        const Tandrel_V4i attack = g > gT;
        g = g * (attack ? aAtt : aRel) + gT * (attack ? oneMinusAtt : oneMinusRel);
        const Tandrel_V4 h = one - g;

        // Lanes 0 and 1: z = q*h + x*g, u = z + (w_other - w_own) * kW.
        const Tandrel_V4 z = __builtin_shufflevector(y, y, 2, 3, 2, 3) * h + x * g;
        const Tandrel_V4 side = __builtin_shufflevector(y, y, 1, 0, 3, 2) - y;
        const Tandrel_V4 u = z + side * kW;
        u1[n] = u[0];
        u2[n] = u[1];

        meter = meter <= h ? h : meter;  // a larger or NaN tap is left alone
    }
    job.x1 = x1, job.x2 = x2, job.y1 = y1, job.y2 = y2, job.g = g, job.meter = meter;
}

// The output stage for frames [start, start + count): sum/difference and output gain from the
// shaped values s1[n - start] and s2[n - start].
template <bool kStereo>
inline void OutputStage(const Tandrel_BlockJob& job, int32_t start, int32_t count, const float* s1, const float* s2) {
    const Tandrel_V4 sM = SplatV4(job.sM), sS = SplatV4(job.sS), gOut = SplatV4(job.gOut), half = SplatV4(0.5f);
    float* out1 = job.out1 + start;
    float* out2 = kStereo ? job.out2 + start : nullptr;
    int32_t n = 0;
    for (; n + 4 <= count; n += 4) {
        Tandrel_V4 a, b;
        std::memcpy(&a, s1 + n, sizeof a);
        std::memcpy(&b, s2 + n, sizeof b);
        const Tandrel_V4 mid = (a + b) * sM;
        const Tandrel_V4 side = (a - b) * sS;
        const Tandrel_V4 o1 = (mid + side) * half * gOut;
        std::memcpy(out1 + n, &o1, sizeof o1);
        if (kStereo) {
            const Tandrel_V4 o2 = (mid - side) * half * gOut;
            std::memcpy(out2 + n, &o2, sizeof o2);
        }
    }
    for (; n < count; ++n) {
        const float mid = (s1[n] + s2[n]) * job.sM;
        const float side = (s1[n] - s2[n]) * job.sS;
        out1[n] = (mid + side) * 0.5f * job.gOut;
        if (kStereo) {
            out2[n] = (mid - side) * 0.5f * job.gOut;
        }
    }
}

// The bypass copy for frames [start, start + count), after their serial stage: each frame's inputs
// are read before either output is written, so crossed in-place buffers also copy correctly.
template <bool kStereo>
inline void BypassCopy(const Tandrel_BlockJob& job, int32_t start, int32_t count) {
    for (int32_t n = start; n < start + count; ++n) {
        const float i1 = job.in1[n];
        const float i2 = kStereo ? job.in2[n] : i1;
        job.out1[n] = i1;
        if (kStereo) {
            job.out2[n] = i2;
        }
    }
}

// Runs a whole block, chunk by chunk: the serial stage into a buffer on the stack, then (unless
// bypassed) `shape(v, count)`, the four waveshaper passes over v[0, count) in place, and the output
// stage. Each chunk's inputs are all read before its outputs are written, so in-place buffers
// work. Channel 1 sits at [0, padded) of the buffer and channel 2 at [padded, 2 * padded), or
// both at [0, padded) when one channel serves both; padded is the chunk length rounded up to a
// multiple of 8, and the padding holds zeros, so `shape` may work in whole groups of eight.
template <bool kStereo, typename Shape>
inline void RunChunks(Tandrel_BlockJob& job, Shape&& shape) {
    alignas(32) float buffer[2 * kTandrel_Chunk];
    for (int32_t start = 0; start < job.frames; start += kTandrel_Chunk) {
        const int32_t count = job.frames - start < kTandrel_Chunk ? job.frames - start : kTandrel_Chunk;
        const int32_t padded = (count + 7) & ~7;
        float* u1 = buffer;
        float* u2 = job.oneChannel ? buffer : buffer + padded;
        SerialStage<kStereo>(job, start, count, u1, u2);
        if (job.bypass != 0) {  // after every state and meter update of these frames
            BypassCopy<kStereo>(job, start, count);
            continue;
        }
        for (int32_t n = count; n < padded; ++n) {
            u1[n] = 0.0f;
            u2[n] = 0.0f;
        }
        shape(buffer, job.oneChannel ? padded : 2 * padded);
        OutputStage<kStereo>(job, start, count, u1, u2);
    }
}

}  // namespace
