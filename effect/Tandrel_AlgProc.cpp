// The real-time kernel: input gain, two first-order low-pass sections per channel, a level
// detector with a smoothed gain that blends each channel between its section-A output and the dry
// signal, a low-band width stage, a four-pass sine waveshaper, and a sum/difference output stage.
//
// Each block is split into chunks of up to 256 frames, and each chunk into two stages:
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
//
// Two block runners share the stages: a portable one that takes each sine from the library's sinf,
// and one for CPUs with AVX2 and FMA (Tandrel_AlgAvx2.cpp) that computes eight sines at a time.
// Which one runs is decided once, when the module loads.
#include <cmath>
#include <cstring>

#include "Tandrel_AlgBlock.h"
#include "Tandrel_AlgKernel.h"

namespace {

constexpr double kAttackLog = 0.0026034001169039484;
constexpr double kReleaseLog = 0.0005201261631846435;

// Fills the block constants with the reference evaluation's expressions.
void ReadBlockConstants(const STandrel_Alg_Context& ctx, Tandrel_BlockJob& k) {
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
}

// Four passes of v <- v*m + sin(v*pi/2)*(1 - m) with the library's sinf, one value at a time.
void ShapeWithLibrary(float* v, int32_t count, float m, float oneMinusM) {
    for (int32_t i = 0; i < count; ++i) {
        float x = v[i];
        for (int pass = 0; pass < 4; ++pass) {
            x = x * m + std::sin(x * kTandrel_HalfPi) * oneMinusM;
        }
        v[i] = x;
    }
}

inline bool AllFinite(Tandrel_V4 v) {
    // A float is finite when its exponent bits are not all ones.
    const Tandrel_V4i e = reinterpret_cast<Tandrel_V4i>(v) & 0x7f800000;
    return e[0] != 0x7f800000 && e[1] != 0x7f800000 && e[2] != 0x7f800000 && e[3] != 0x7f800000;
}

template <bool kStereo>
void ProcessContext(const STandrel_Alg_Context& ctx, Tandrel_SineForm form) {
    Tandrel_BlockJob job;
    job.frames = *ctx.mBufferLengthP;
    ReadBlockConstants(ctx, job);  // computed even for an empty block
    STandrel_Alg_PrivateData& p = *ctx.mPrivateDataP;
    if (job.frames <= 0) {
        return;  // the state stays as it is; no audio and no meter is touched
    }
    job.x1 = Tandrel_V4{p.mW1.mX1, p.mW2.mX1, p.mA1.mX1, p.mA2.mX1};
    job.x2 = Tandrel_V4{p.mW1.mX2, p.mW2.mX2, p.mA1.mX2, p.mA2.mX2};
    job.y1 = Tandrel_V4{p.mW1.mY1, p.mW2.mY1, p.mA1.mY1, p.mA2.mY1};
    job.y2 = Tandrel_V4{p.mW1.mY2, p.mW2.mY2, p.mA1.mY2, p.mA2.mY2};
    job.g = SplatV4(p.mGain);
    const STandrel_FilterCoefs w = *ctx.mCoefsWP, a = *ctx.mCoefsAP;
    job.b0 = Tandrel_V4{w.b0, w.b0, a.b0, a.b0};
    job.b1 = Tandrel_V4{w.b1, w.b1, a.b1, a.b1};
    job.b2 = Tandrel_V4{w.b2, w.b2, a.b2, a.b2};
    job.scale = Tandrel_V4{w.scale, w.scale, a.scale, a.scale};
    job.a1 = Tandrel_V4{w.a1, w.a1, a.a1, a.a1};
    job.a2 = Tandrel_V4{w.a2, w.a2, a.a2, a.a2};
    float* tap = ctx.mMetersPP[0];
    job.meter = SplatV4(*tap);
    job.in1 = ctx.mInputPP[0];
    job.in2 = kStereo ? ctx.mInputPP[1] : job.in1;
    job.out1 = ctx.mOutputPP[0];
    job.out2 = kStereo ? ctx.mOutputPP[1] : nullptr;
    // The mono kernel feeds both channels the same input; when their states are also the same, the
    // two channels stay identical bit for bit all block long, and one shaped channel serves both.
    job.oneChannel = !kStereo && std::memcmp(&p.mW1, &p.mW2, sizeof p.mW1) == 0 &&
                     std::memcmp(&p.mA1, &p.mA2, sizeof p.mA1) == 0;

    if (form == Tandrel_SineForm::kVectorAvx2) {
        Tandrel_RunBlockAvx2(job, kStereo);
    } else {
        RunChunks<kStereo>(job, [&job](float* v, int32_t count) { ShapeWithLibrary(v, count, job.m, job.oneMinusM); });
    }

    const float meter = job.meter[0];
    if (std::memcmp(&meter, tap, sizeof meter) != 0) {
        *tap = meter;
    }
    // The detector level d of the last frame: written, never read.
    float d = std::fabs(job.y1[2] + job.y1[3]);
    float g = job.g[0];
    // One NaN or infinity in the input would otherwise stay in the recursive state for ever;
    // start the next block from the reset state instead. Only the carried state counts (the
    // sections and g; d is not carried). Finite state is stored unchanged.
    if (!(AllFinite(job.x1) && AllFinite(job.x2) && AllFinite(job.y1) && AllFinite(job.y2) && std::isfinite(g))) {
        job.x1 = job.x2 = job.y1 = job.y2 = SplatV4(0.0f);
        d = 0.0f;
        g = 0.0f;
    }
    STandrel_SectionState* const sections[4] = {&p.mW1, &p.mW2, &p.mA1, &p.mA2};
    for (int i = 0; i < 4; ++i) {
        *sections[i] = STandrel_SectionState{job.x1[i], job.x2[i], job.y1[i], job.y2[i]};
    }
    p.mDetector = d;
    p.mGain = g;
    p.mGainCopy = g;
}

// The library's sinf, through a pointer the compiler cannot see through: a sine of a constant
// must come from the library at run time, never from the compiler's own evaluation.
float (*volatile gLibrarySinf)(float) = ::sinf;

// The twelve float inputs (about 53.4 to 116.2 in magnitude) on which the library's two variants,
// with and without FMA, give different results; found by running both over every float. The
// vector form is used only when the library agrees with it on every one of them, so a library that
// picked its other variant (for example by a tuning switch) keeps its own results.
Tandrel_SineForm ChooseSineForm() {
    if (!Tandrel_CpuHasAvx2Fma()) {
        return Tandrel_SineForm::kLibrary;
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
            return Tandrel_SineForm::kLibrary;
        }
    }
    return Tandrel_SineForm::kVectorAvx2;
}

// Chosen once, while the module loads, before any process call.
const Tandrel_SineForm gSineForm = ChooseSineForm();

}  // namespace

bool Tandrel_CpuHasAvx2Fma() {
    __builtin_cpu_init();  // may run from a static initialiser, before the runtime's own
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

Tandrel_SineForm Tandrel_ChosenSineForm() { return gSineForm; }

template <int kNumInputs, int kNumOutputs>
void Tandrel_FastProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd,
                                 Tandrel_SineForm form) {
    static_assert((kNumInputs == 1 && kNumOutputs == 1) || (kNumInputs == 2 && kNumOutputs == 2),
                  "only the mono and the stereo kernel exist");
    const auto end = static_cast<STandrel_Alg_Context* const*>(inInstancesEnd);
    for (STandrel_Alg_Context* const* it = inInstancesBegin; it < end; ++it) {
        ProcessContext<kNumInputs == 2>(**it, form);
    }
}

template <int kNumInputs, int kNumOutputs>
void Tandrel_AlgorithmProcessFunction(STandrel_Alg_Context* const inInstancesBegin[], const void* inInstancesEnd) {
    Tandrel_FastProcessFunction<kNumInputs, kNumOutputs>(inInstancesBegin, inInstancesEnd, gSineForm);
}

template void Tandrel_FastProcessFunction<1, 1>(STandrel_Alg_Context* const[], const void*, Tandrel_SineForm);
template void Tandrel_FastProcessFunction<2, 2>(STandrel_Alg_Context* const[], const void*, Tandrel_SineForm);
template void Tandrel_AlgorithmProcessFunction<1, 1>(STandrel_Alg_Context* const[], const void*);
template void Tandrel_AlgorithmProcessFunction<2, 2>(STandrel_Alg_Context* const[], const void*);
