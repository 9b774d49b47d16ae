// The reference evaluation of the kernel, kept for the tests and the benchmark: every written step
// per sample, in order, in plain scalar code. Input gain, two first-order low-pass sections per
// channel, a level detector with a smoothed gain that blends each channel between its section-A
// output and the dry signal, a low-band width stage, a four-pass sine waveshaper, and a
// sum/difference output stage.
// Every float operation is evaluated in the order written here; the tree builds without
// contraction into fused multiply-add and without fast-math, so results are bit-reproducible.
#include <cmath>

#include "Tandrel_AlgKernel.h"

namespace {

constexpr float kHalfPi = 1.5707964f;

// The per-sample smoothing factors 0.9974 (attack) and 0.99948 (release) at 48 kHz, taken in
// single precision; these are their natural logarithms, negated, so that exp(-k * 48000 / rate)
// gives the factor at any sample rate.
constexpr double kAttackLog = 0.0026034001169039484;
constexpr double kReleaseLog = 0.0005201261631846435;

// Everything the kernel derives from the context once per block.
struct BlockConstants {
    float aAtt, aRel, oneMinusAtt, oneMinusRel;  // smoothing factors
    float threshold;                             // L, detector level above which gain is reduced
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

// One recursive section on one channel: y = scale * (((b0*x + b1*x1) + b2*x2) - a1*y1 - a2*y2),
// then the history moves on by one sample.
inline float RunSection(const STandrel_FilterCoefs& c, STandrel_SectionState& s, float x) {
    const float y = c.scale * (((c.b0 * x + c.b1 * s.mX1) + c.b2 * s.mX2) - c.a1 * s.mY1 - c.a2 * s.mY2);
    s.mX2 = s.mX1;
    s.mX1 = x;
    s.mY2 = s.mY1;
    s.mY1 = y;
    return y;
}

// Four passes of v <- v*m + sin(v*pi/2)*(1 - m), with the C library's single-precision sine.
inline float Shape(float v, const BlockConstants& k) {
    for (int pass = 0; pass < 4; ++pass) {
        v = v * k.m + std::sin(v * kHalfPi) * k.oneMinusM;
    }
    return v;
}

inline bool IsFinite(const STandrel_SectionState& s) {
    return std::isfinite(s.mX1) && std::isfinite(s.mX2) && std::isfinite(s.mY1) && std::isfinite(s.mY2);
}

template <bool kStereo>
void ProcessContext(const STandrel_Alg_Context& ctx) {
    const int32_t frames = *ctx.mBufferLengthP;
    const BlockConstants k = ReadBlockConstants(ctx);  // computed even for an empty block
    STandrel_Alg_PrivateData& priv = *ctx.mPrivateDataP;
    STandrel_SectionState w1 = priv.mW1, w2 = priv.mW2, a1 = priv.mA1, a2 = priv.mA2;
    float d = priv.mDetector;
    float g = priv.mGain;
    const STandrel_FilterCoefs cW = *ctx.mCoefsWP;
    const STandrel_FilterCoefs cA = *ctx.mCoefsAP;
    if (frames <= 0) {
        return;  // the loaded state stays as it is; no audio and no meter is touched
    }

    const float* in1 = ctx.mInputPP[0];
    const float* in2 = kStereo ? ctx.mInputPP[1] : in1;
    float* out1 = ctx.mOutputPP[0];
    float* out2 = kStereo ? ctx.mOutputPP[1] : nullptr;
    float* tap = ctx.mMetersPP[0];

    for (int32_t n = 0; n < frames; ++n) {
        // Read the frame before writing any output: the host may process in place.
        const float i1 = in1[n];
        const float i2 = kStereo ? in2[n] : i1;
        const float x1 = i1 * k.gIn;
        const float x2 = i2 * k.gIn;

        const float wo1 = RunSection(cW, w1, x1);
        const float wo2 = RunSection(cW, w2, x2);
        const float q1 = RunSection(cA, a1, x1);
        const float q2 = RunSection(cA, a2, x2);

        d = std::fabs(q1 + q2);
        // Written so that an unordered comparison (NaN) also gives a target of unity.
        const float gT = d > k.threshold ? k.threshold / d : 1.0f;
        if (g > gT) {
            g = g * k.aAtt + gT * k.oneMinusAtt;
        } else {
            g = g * k.aRel + gT * k.oneMinusRel;
        }
        const float h = 1.0f - g;

        const float z1 = q1 * h + x1 * g;
        const float z2 = q2 * h + x2 * g;
        const float u1 = z1 + (wo2 - wo1) * k.kW;
        const float u2 = z2 + (wo1 - wo2) * k.kW;
        const float s1 = Shape(u1, k);
        const float s2 = Shape(u2, k);

        const float mid = (s1 + s2) * k.sM;
        const float side = (s1 - s2) * k.sS;
        float o1 = (mid + side) * 0.5f * k.gOut;
        float o2 = (mid - side) * 0.5f * k.gOut;

        if (*tap <= h) {  // a larger or NaN tap is left alone
            *tap = h;
        }
        if (k.bypass != 0) {  // after every state and meter update of this sample
            o1 = i1;
            o2 = i2;
        }
        out1[n] = o1;
        if (kStereo) {
            out2[n] = o2;
        }
    }

    // One NaN or infinity in the input would otherwise stay in the recursive state for ever;
    // start the next block from the reset state instead. Only the carried state counts: the
    // detector level d is written but never read, so an infinite d alone (two finite section
    // outputs whose sum overflows) resets nothing. Finite state is stored unchanged.
    if (!(IsFinite(w1) && IsFinite(w2) && IsFinite(a1) && IsFinite(a2) && std::isfinite(g))) {
        w1 = w2 = a1 = a2 = STandrel_SectionState{0.0f, 0.0f, 0.0f, 0.0f};
        d = 0.0f;
        g = 0.0f;
    }
    priv.mW1 = w1;
    priv.mW2 = w2;
    priv.mA1 = a1;
    priv.mA2 = a2;
    priv.mDetector = d;
    priv.mGain = g;
    priv.mGainCopy = g;
}

}  // namespace

template <int kNumInputs, int kNumOutputs>
void Tandrel_ReferenceProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd) {
    static_assert((kNumInputs == 1 && kNumOutputs == 1) || (kNumInputs == 2 && kNumOutputs == 2),
                  "only the mono and the stereo kernel exist");
    const auto end = static_cast<STandrel_Alg_Context* const*>(inInstancesEnd);
    for (STandrel_Alg_Context* const* it = inInstancesBegin; it < end; ++it) {
        ProcessContext<kNumInputs == 2>(**it);
    }
}

template void Tandrel_ReferenceProcessFunction<1, 1>(STandrel_Alg_Context* const[], const void*);
template void Tandrel_ReferenceProcessFunction<2, 2>(STandrel_Alg_Context* const[], const void*);
