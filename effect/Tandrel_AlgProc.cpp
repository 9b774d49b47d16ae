// The real-time kernel: input gain, two first-order low-pass sections per channel, a level
// detector with a smoothed gain that blends each channel between its section-A output and the dry
// signal, a low-band width stage, a four-pass sine waveshaper, and a sum/difference output stage.
//
// Each block is split into chunks of up to kChunk frames, and each chunk into two stages:
//  1. a serial stage, frame by frame: input gain, the four sections (W and A for both channels in
//     the four lanes of one vector), detector, gain smoothing, blend, low-band width and meter. Its
//     results (the shaper's input for each channel) go to a small buffer on the stack;
//  2. a vector stage over the buffer: the four waveshaper passes, then the sum/difference stage and
//     the output gain (or the bypass copy).
// Only the recursive sections and the gain smoothing carry anything from frame to frame, and the
// shaper's output feeds nothing but the outputs, so the split reorders no operation that one result
// depends on. Every float operation is the one the reference evaluation performs, on the same
// operands in the same order (lane-wise vector operations round exactly as scalar ones); the tree
// builds without contraction and without fast-math, so the outputs, the meter and the state are
// the reference's, bit for bit.
#include <cmath>
#include <cstring>

#include "Tandrel_AlgKernel.h"

namespace {

// Frames per chunk: large enough to keep the vector stage busy, small enough that the buffer
// (two channels, 2 KiB) stays in the first-level cache.
constexpr int32_t kChunk = 256;

constexpr double kAttackLog = 0.0026034001169039484;
constexpr double kReleaseLog = 0.0005201261631846435;

using V4 = float __attribute__((vector_size(16)));
using V4i = int32_t __attribute__((vector_size(16)));

inline V4 Splat(float v) { return V4{v, v, v, v}; }

// Everything the kernel derives from the context once per block; the same expressions as the
// reference evaluation.
struct BlockConstants {
    float aAtt, aRel, oneMinusAtt, oneMinusRel, threshold;
    float gIn, kW, m, oneMinusM, sS, sM, gOut;
    int32_t bypass;
};

BlockConstants ReadBlockConstants(const STandrel_Alg_Context& ctx) {
    BlockConstants k;
    const double r = static_cast<double>(48000.0f / *ctx.mSampleRateP);
    k.aAtt = static_cast<float>(std::exp(-kAttackLog * r));
    k.aRel = static_cast<float>(std::exp(-kReleaseLog * r));
    k.oneMinusAtt = 1.0f - k.aAtt;
    k.oneMinusRel = 1.0f - k.aRel;
    k.threshold = static_cast<float>((std::pow(10.0, static_cast<double>(*ctx.mActionP)) - 1.0) / 9.0);
    k.gIn = *ctx.mInGainP + *ctx.mInGainP;
    k.kW = (1.0f - *ctx.mWidthP) * 0.5f;
    k.m = *ctx.mDynP;
    k.oneMinusM = 1.0f - k.m;
    k.sS = *ctx.mAdjP + *ctx.mAdjP;
    k.sM = 2.0f - k.sS;
    k.gOut = *ctx.mOutGainP + *ctx.mOutGainP;
    k.bypass = *ctx.mBypassP;
    return k;
}

// The four sections' history, one section per lane: W channel 1, W channel 2, A channel 1, A channel 2.
struct Sections {
    V4 x1, x2, y1, y2;
};

Sections LoadSections(const STandrel_Alg_PrivateData& p) {
    return Sections{V4{p.mW1.mX1, p.mW2.mX1, p.mA1.mX1, p.mA2.mX1}, V4{p.mW1.mX2, p.mW2.mX2, p.mA1.mX2, p.mA2.mX2},
                    V4{p.mW1.mY1, p.mW2.mY1, p.mA1.mY1, p.mA2.mY1}, V4{p.mW1.mY2, p.mW2.mY2, p.mA1.mY2, p.mA2.mY2}};
}

STandrel_SectionState Lane(const Sections& s, int i) { return STandrel_SectionState{s.x1[i], s.x2[i], s.y1[i], s.y2[i]}; }

// Coefficients of block W in lanes 0 and 1, of block A in lanes 2 and 3.
struct Coefs {
    V4 b0, b1, b2, scale, a1, a2;
};

Coefs LoadCoefs(const STandrel_FilterCoefs& w, const STandrel_FilterCoefs& a) {
    return Coefs{V4{w.b0, w.b0, a.b0, a.b0},          V4{w.b1, w.b1, a.b1, a.b1}, V4{w.b2, w.b2, a.b2, a.b2},
                 V4{w.scale, w.scale, a.scale, a.scale}, V4{w.a1, w.a1, a.a1, a.a1}, V4{w.a2, w.a2, a.a2, a.a2}};
}

inline bool AllFinite(V4 v) {
    // A float is finite when its exponent bits are not all ones.
    const V4i e = reinterpret_cast<V4i>(v) & 0x7f800000;  // a bit-for-bit view
    return e[0] != 0x7f800000 && e[1] != 0x7f800000 && e[2] != 0x7f800000 && e[3] != 0x7f800000;
}

// The serial stage for frames [0, count) of a chunk: everything up to the shaper's input, which
// goes to u1[n] and u2[n]. Reads every input frame of the chunk before any output is written.
template <bool kStereo>
inline void SerialStage(const float* in1, const float* in2, int32_t count, const BlockConstants& k, const Coefs& c,
                        Sections& s, V4& g, V4& meter, float* u1, float* u2) {
    const V4 gIn = Splat(k.gIn), kW = Splat(k.kW), threshold = Splat(k.threshold);
    const V4 aAtt = Splat(k.aAtt), aRel = Splat(k.aRel), oneMinusAtt = Splat(k.oneMinusAtt),
             oneMinusRel = Splat(k.oneMinusRel), one = Splat(1.0f);
    const V4i absMask = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    for (int32_t n = 0; n < count; ++n) {
        const V4 in = kStereo ? V4{in1[n], in2[n], in1[n], in2[n]} : Splat(in1[n]);
        const V4 x = in * gIn;  // x1, x2, x1, x2

        // y = scale * (((b0*x + b1*x[n-1]) + b2*x[n-2]) - a1*y[n-1] - a2*y[n-2]), four sections.
        const V4 y = c.scale * ((((c.b0 * x + c.b1 * s.x1) + c.b2 * s.x2) - c.a1 * s.y1) - c.a2 * s.y2);
        s.x2 = s.x1;
        s.x1 = x;
        s.y2 = s.y1;
        s.y1 = y;

        // Detector on q1 + q2 (lanes 2 and 3), in every lane.
        const V4 q1 = __builtin_shuffle(y, V4i{2, 2, 2, 2});
        const V4 q2 = __builtin_shuffle(y, V4i{3, 3, 3, 3});
        const V4 sum = q1 + q2;
        const V4 d = reinterpret_cast<V4>(reinterpret_cast<V4i>(sum) & absMask);
        // Unity target unless d > L; a NaN compares false and also gives unity.
        const V4 gT = d > threshold ? threshold / d : one;
        g = g > gT ? g * aAtt + gT * oneMinusAtt : g * aRel + gT * oneMinusRel;
        const V4 h = one - g;

        // Lanes 0 and 1: z = q*h + x*g, u = z + (w_other - w_own) * kW.
        const V4 q = __builtin_shuffle(y, V4i{2, 3, 2, 3});
        const V4 z = q * h + x * g;
        const V4 side = __builtin_shuffle(y, V4i{1, 0, 3, 2}) - y;
        const V4 u = z + side * kW;
        u1[n] = u[0];
        u2[n] = u[1];

        meter = meter <= h ? h : meter;  // a larger or NaN tap is left alone
    }
}

// The output stage for frames [0, count): sum/difference and output gain from the shaped values.
template <bool kStereo>
inline void OutputStage(const float* s1, const float* s2, int32_t count, const BlockConstants& k, float* out1,
                        float* out2) {
    const V4 sM = Splat(k.sM), sS = Splat(k.sS), gOut = Splat(k.gOut), half = Splat(0.5f);
    int32_t n = 0;
    for (; n + 4 <= count; n += 4) {
        V4 a, b;
        std::memcpy(&a, s1 + n, sizeof a);
        std::memcpy(&b, s2 + n, sizeof b);
        const V4 mid = (a + b) * sM;
        const V4 side = (a - b) * sS;
        const V4 o1 = (mid + side) * half * gOut;
        std::memcpy(out1 + n, &o1, sizeof o1);
        if (kStereo) {
            const V4 o2 = (mid - side) * half * gOut;
            std::memcpy(out2 + n, &o2, sizeof o2);
        }
    }
    for (; n < count; ++n) {
        const float mid = (s1[n] + s2[n]) * k.sM;
        const float side = (s1[n] - s2[n]) * k.sS;
        out1[n] = (mid + side) * 0.5f * k.gOut;
        if (kStereo) {
            out2[n] = (mid - side) * 0.5f * k.gOut;
        }
    }
}

template <bool kStereo>
void ProcessContext(const STandrel_Alg_Context& ctx, Tandrel_ShapeFunction shape) {
    const int32_t frames = *ctx.mBufferLengthP;
    const BlockConstants k = ReadBlockConstants(ctx);  // computed even for an empty block
    STandrel_Alg_PrivateData& priv = *ctx.mPrivateDataP;
    if (frames <= 0) {
        return;  // the state stays as it is; no audio and no meter is touched
    }
    Sections s = LoadSections(priv);
    const Coefs c = LoadCoefs(*ctx.mCoefsWP, *ctx.mCoefsAP);
    V4 g = Splat(priv.mGain);
    float* tap = ctx.mMetersPP[0];
    V4 meter = Splat(*tap);

    // The mono kernel feeds both channels the same input; when their states are also the same, the
    // two channels stay identical bit for bit all block long, and one shaped channel serves both.
    const bool oneChannel = !kStereo && std::memcmp(&priv.mW1, &priv.mW2, sizeof priv.mW1) == 0 &&
                            std::memcmp(&priv.mA1, &priv.mA2, sizeof priv.mA1) == 0;

    const float* in1 = ctx.mInputPP[0];
    const float* in2 = kStereo ? ctx.mInputPP[1] : in1;
    float* out1 = ctx.mOutputPP[0];
    float* out2 = kStereo ? ctx.mOutputPP[1] : nullptr;

    alignas(32) float buffer[2 * kChunk];
    for (int32_t start = 0; start < frames; start += kChunk) {
        const int32_t count = frames - start < kChunk ? frames - start : kChunk;
        const int32_t padded = (count + 7) & ~7;  // the shaper works on whole groups of eight
        float* u1 = buffer;
        float* u2 = oneChannel ? buffer : buffer + padded;
        SerialStage<kStereo>(in1 + start, in2 + start, count, k, c, s, g, meter, u1, u2);

        if (k.bypass != 0) {  // after every state and meter update of these frames
            for (int32_t n = start; n < start + count; ++n) {
                const float i1 = in1[n];
                const float i2 = kStereo ? in2[n] : i1;  // read both before writing either
                out1[n] = i1;
                if (kStereo) {
                    out2[n] = i2;
                }
            }
            continue;
        }
        const int32_t shaped = oneChannel ? padded : 2 * padded;
        for (int32_t n = count; n < padded; ++n) {
            u1[n] = 0.0f;
            u2[n] = 0.0f;
        }
        shape(buffer, shaped, k.m, k.oneMinusM);
        OutputStage<kStereo>(u1, u2, count, k, out1 + start, out2 ? out2 + start : nullptr);
    }

    const float lastMeter = meter[0];
    if (std::memcmp(&lastMeter, tap, sizeof lastMeter) != 0) {
        *tap = lastMeter;
    }
    // The detector level d of the last frame: written, never read.
    const float q1 = s.y1[2], q2 = s.y1[3];
    float d = std::fabs(q1 + q2);
    float gain = g[0];
    // One NaN or infinity in the input would otherwise stay in the recursive state for ever;
    // start the next block from the reset state instead. Only the carried state counts (the
    // sections and g; d is not carried). Finite state is stored unchanged.
    if (!(AllFinite(s.x1) && AllFinite(s.x2) && AllFinite(s.y1) && AllFinite(s.y2) && std::isfinite(gain))) {
        s = Sections{Splat(0.0f), Splat(0.0f), Splat(0.0f), Splat(0.0f)};
        d = 0.0f;
        gain = 0.0f;
    }
    priv.mW1 = Lane(s, 0);
    priv.mW2 = Lane(s, 1);
    priv.mA1 = Lane(s, 2);
    priv.mA2 = Lane(s, 3);
    priv.mDetector = d;
    priv.mGain = gain;
    priv.mGainCopy = gain;
}

// The library's sinf, through a pointer the compiler cannot see through: a sine of a constant
// must come from the library at run time, never from the compiler's own evaluation.
float (*volatile gLibrarySinf)(float) = ::sinf;

// The twelve float inputs (about 53.4 to 116.2 in magnitude) on which the library's two variants,
// with and without FMA, give different results; found by running both over every float. The
// vector form is used only when the library agrees with it on every one of them, so a library that
// picked its other variant (for example by a tuning switch) keeps its own results.
Tandrel_ShapeFunction ChooseShape() {
    if (!Tandrel_CpuHasAvx2Fma()) {
        return Tandrel_ShapeScalar;
    }
    static const uint32_t kProbeBits[] = {0x4255b0a9u, 0x42a35c07u, 0x42a35d44u, 0x42a97360u, 0x42cf5854u, 0x42e87a55u,
                                          0xc255b0a9u, 0xc2a35c07u, 0xc2a35d44u, 0xc2a97360u, 0xc2cf5854u, 0xc2e87a55u};
    constexpr int32_t kCount = sizeof kProbeBits / sizeof kProbeBits[0];
    float probes[kCount], vector[kCount];
    std::memcpy(probes, kProbeBits, sizeof probes);
    Tandrel_SineAvx2(probes, vector, kCount);
    for (int32_t i = 0; i < kCount; ++i) {
        const float library = gLibrarySinf(probes[i]);
        if (std::memcmp(&library, &vector[i], sizeof library) != 0) {
            return Tandrel_ShapeScalar;
        }
    }
    return Tandrel_ShapeAvx2;
}

// Chosen once, while the module loads, before any process call.
const Tandrel_ShapeFunction gShape = ChooseShape();

}  // namespace

void Tandrel_ShapeScalar(float* v, int32_t count, float m, float oneMinusM) {
    for (int32_t i = 0; i < count; ++i) {
        float x = v[i];
        for (int pass = 0; pass < 4; ++pass) {
            x = x * m + std::sin(x * kTandrel_HalfPi) * oneMinusM;
        }
        v[i] = x;
    }
}

bool Tandrel_CpuHasAvx2Fma() {
    __builtin_cpu_init();  // may run from a static initialiser, before the runtime's own
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

Tandrel_ShapeFunction Tandrel_ChosenShape() { return gShape; }

template <int kNumInputs, int kNumOutputs>
void Tandrel_FastProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd,
                                 Tandrel_ShapeFunction shape) {
    static_assert((kNumInputs == 1 && kNumOutputs == 1) || (kNumInputs == 2 && kNumOutputs == 2),
                  "only the mono and the stereo kernel exist");
    const auto end = static_cast<STandrel_Alg_Context* const*>(inInstancesEnd);
    for (STandrel_Alg_Context* const* it = inInstancesBegin; it < end; ++it) {
        ProcessContext<kNumInputs == 2>(**it, shape);
    }
}

template <int kNumInputs, int kNumOutputs>
void Tandrel_AlgorithmProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd) {
    Tandrel_FastProcessFunction<kNumInputs, kNumOutputs>(inInstancesBegin, inInstancesEnd, gShape);
}

template void Tandrel_FastProcessFunction<1, 1>(STandrel_Alg_Context* const[], const void*, Tandrel_ShapeFunction);
template void Tandrel_FastProcessFunction<2, 2>(STandrel_Alg_Context* const[], const void*, Tandrel_ShapeFunction);
template void Tandrel_AlgorithmProcessFunction<1, 1>(STandrel_Alg_Context* const[], const void*);
template void Tandrel_AlgorithmProcessFunction<2, 2>(STandrel_Alg_Context* const[], const void*);
