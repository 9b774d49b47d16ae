// The fast evaluation against the reference evaluation: mono and stereo, three sample rates, every
// parameter at several values, bypass, NaN, infinities, subnormals, huge values and silence in the
// input, block lengths 1, 17, 333 and 4096 (and across the fast kernel's chunk boundaries), with
// and without flush-to-zero. Outputs, meter and the whole private block must agree bit for bit,
// for the registered process functions and for both ways of taking the sines.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "Tandrel_AlgKernel.h"
#include "kernel_rig.h"

namespace {

using namespace kernel_test;
using Process = std::function<void(int channels, STandrel_Alg_Context* const* begin, const void* end)>;

struct Evaluation {
    std::string name;
    Process run;
};

Process Reference() {
    return [](int channels, STandrel_Alg_Context* const* b, const void* e) {
        channels == 1 ? Tandrel_ReferenceProcessFunction<1, 1>(b, e) : Tandrel_ReferenceProcessFunction<2, 2>(b, e);
    };
}

std::vector<Evaluation> FastEvaluations() {
    std::vector<Evaluation> list;
    list.push_back({"registered", [](int channels, STandrel_Alg_Context* const* b, const void* e) {
                        channels == 1 ? Tandrel_AlgorithmProcessFunction<1, 1>(b, e)
                                      : Tandrel_AlgorithmProcessFunction<2, 2>(b, e);
                    }});
    std::vector<std::pair<std::string, Tandrel_SineForm>> forms = {{"library sine", Tandrel_SineForm::kLibrary}};
    if (Tandrel_CpuHasAvx2Fma()) forms.push_back({"vector sine", Tandrel_SineForm::kVectorAvx2});
    for (const auto& [name, form] : forms) {
        list.push_back({name, [form = form](int channels, STandrel_Alg_Context* const* b, const void* e) {
                            channels == 1 ? Tandrel_FastProcessFunction<1, 1>(b, e, form)
                                          : Tandrel_FastProcessFunction<2, 2>(b, e, form);
                        }});
    }
    return list;
}

// Noise with bursts (so the detector acts), a silent stretch, a stretch of subnormals, a loud
// stretch whose shaper arguments reach the library-only range, and single NaN and infinite samples
// at the given positions.
Buffer TestSignal(size_t n, uint32_t seed, std::vector<size_t> nonFinite) {
    Buffer b(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = float(seed >> 8) * 0x1p-23f - 1.0f;
        const size_t phase = i % 1500;
        b[i] = phase < 300 ? 1.4f * noise : phase < 600 ? 0.0f : phase < 700 ? noise * 1e-39f : phase < 720 ? 150.0f * noise : 0.3f * noise;
    }
    const float special[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), 3.0e38f};
    for (size_t k = 0; k < nonFinite.size(); ++k) {
        if (nonFinite[k] < n) b[nonFinite[k]] = special[k % 4];
    }
    return b;
}

struct Outcome {
    Buffer out1, out2, meters;  // the meter tap after every block
    STandrel_Alg_PrivateData priv;
};

// Runs the signal through `rig` in blocks of the given lengths (cycled), resetting the meter tap
// to `tap` before every block, as a host does when it reads and clears it.
Outcome RunBlocks(Rig& rig, const Process& process, int channels, const Buffer& in1, const Buffer& in2,
                  const std::vector<int32_t>& blocks, float tap) {
    Outcome o{Buffer(in1.size(), -7.0f), Buffer(in1.size(), -7.0f), {}, {}};
    size_t pos = 0;
    for (size_t b = 0; pos < in1.size(); ++b) {
        const int32_t n = int32_t(std::min<size_t>(size_t(blocks[b % blocks.size()]), in1.size() - pos));
        rig.Prepare(n);
        rig.meter = tap;
        rig.ins[0] = const_cast<float*>(in1.data() + pos), rig.ins[1] = const_cast<float*>(in2.data() + pos);
        rig.outs[0] = o.out1.data() + pos, rig.outs[1] = channels == 2 ? o.out2.data() + pos : nullptr;
        STandrel_Alg_Context* const list[1] = {&rig.ctx};
        process(channels, list, list + 1);
        o.meters.push_back(rig.meter);
        pos += size_t(n);
    }
    o.priv = rig.priv;
    return o;
}

// Same bits, or both NaN. Which NaN an operation with two NaN operands returns is left open by
// the floating-point standard, and the compiler orders the operands of commutative operations
// freely (the reference build even orders them differently from one shaper pass to the next), so
// NaN signs and payloads are not part of the written result; where NaN appears is.
bool Same(float a, float b) { return std::memcmp(&a, &b, 4) == 0 || (std::isnan(a) && std::isnan(b)); }

void ExpectSame(const Outcome& want, const Outcome& got, const std::string& what) {
    ASSERT_EQ(want.out1.size(), got.out1.size());
    ASSERT_EQ(want.out2.size(), got.out2.size());
    for (size_t i = 0; i < want.out1.size(); ++i) {
        ASSERT_TRUE(Same(want.out1[i], got.out1[i]))
            << what << ": output 1 at " << i << ": " << want.out1[i] << " vs " << got.out1[i];
    }
    for (size_t i = 0; i < want.out2.size(); ++i) {
        ASSERT_TRUE(Same(want.out2[i], got.out2[i])) << what << ": output 2 at " << i;
    }
    ASSERT_EQ(want.meters.size(), got.meters.size());
    ASSERT_EQ(0, std::memcmp(want.meters.data(), got.meters.data(), want.meters.size() * 4)) << what << ": meter";
    ASSERT_EQ(0, std::memcmp(&want.priv, &got.priv, sizeof want.priv)) << what << ": private block";
}

// Parameter sets: a base set, then each parameter alone at 0, 0.25, 0.7 and 1, then bypass.
std::vector<std::vector<float>> ParameterSets() {
    const std::vector<float> base = {0.55f, 0.4f, 0.6f, 0.3f, 0.35f, 0.45f, 0.3f, 0.5f};  // InGain..OutGain
    std::vector<std::vector<float>> sets = {base};
    for (size_t p = 0; p < base.size(); ++p) {
        for (float v : {0.0f, 0.25f, 0.7f, 1.0f}) {
            sets.push_back(base);
            sets.back()[p] = v;
        }
    }
    return sets;
}

void Apply(Rig& rig, const std::vector<float>& p, float rate, int32_t bypass) {
    rig.inGain = p[0], rig.freqW = p[1], rig.width = p[2], rig.freqA = p[3];
    rig.action = p[4], rig.dyn = p[5], rig.adj = p[6], rig.outGain = p[7];
    rig.rate = rate, rig.bypass = bypass;
}

TEST(FastKernel, BitIdenticalToTheReferenceEverywhere) {
    const std::vector<Evaluation> fast = FastEvaluations();
    const std::vector<std::vector<int32_t>> blockings = {{1, 17, 333, 4096}, {4096}, {333, 17}, {256, 257, 255, 1}};
    const std::vector<std::vector<float>> sets = ParameterSets();
    const unsigned csr = _mm_getcsr();
    int variant = 0;
    for (bool flush : {false, true}) {
        _mm_setcsr(flush ? (csr | 0x8040) : (csr & ~0x8040u));
        for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
            for (int channels : {1, 2}) {
                for (size_t set = 0; set <= sets.size(); ++set) {
                    ++variant;
                    const bool bypassed = set == sets.size();
                    const std::vector<int32_t>& blocks = blockings[size_t(variant) % blockings.size()];
                    // Long runs with the first blocking; shorter ones with the others, to stay fast.
                    const size_t length = blocks.size() == 4 && blocks[0] == 1 ? 4447 + 1500 : 2100;
                    const Buffer in1 = TestSignal(length, 11u * uint32_t(variant), {900, 2000, 3000, 4500});
                    const Buffer in2 = TestSignal(length, 13u * uint32_t(variant), {1200, 2050, 3500, 5000});
                    const float tap = variant % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : 0.0f;
                    auto prepare = [&](Rig& rig) {
                        Apply(rig, sets[bypassed ? 0 : set], rate, bypassed ? 3 : 0);  // any non-zero value bypasses
                        if (channels == 2) rig.b2 = 0.05f, rig.a2 = 0.02f;  // second-order terms in use
                        if (variant % 5 == 0) rig.priv.mW2.mY1 = 0.25f;  // mono channel states that differ
                    };
                    Rig refRig;
                    prepare(refRig);
                    const Outcome want = RunBlocks(refRig, Reference(), channels, in1, in2, blocks, tap);
                    for (const Evaluation& e : fast) {
                        Rig rig;
                        prepare(rig);
                        const Outcome got = RunBlocks(rig, e.run, channels, in1, in2, blocks, tap);
                        ExpectSame(want, got,
                                   e.name + (flush ? ", flush-to-zero" : "") + ", rate " + std::to_string(int(rate)) +
                                       ", channels " + std::to_string(channels) + ", set " + std::to_string(set));
                        if (HasFatalFailure()) {
                            _mm_setcsr(csr);
                            return;
                        }
                    }
                }
            }
        }
    }
    _mm_setcsr(csr);
}

TEST(FastKernel, ContextsOfOneCallMatchTheReferenceOnEachAlone) {
    // Three instances in one call, each with its own parameters and block length, against the
    // reference run on each instance in a call of its own: no state passes between instances.
    for (const Evaluation& e : FastEvaluations()) {
        Rig ref[3], fast[3];
        const int32_t lengths[3] = {5, 300, 0};
        Buffer in = TestSignal(300, 3u, {}), refOut[3], fastOut[3];
        STandrel_Alg_Context* refList[3];
        STandrel_Alg_Context* fastList[3];
        for (int i = 0; i < 3; ++i) {
            for (Rig* r : {&ref[i], &fast[i]}) {
                r->action = 0.2f * float(i), r->dyn = 0.3f * float(i);
                r->Prepare(lengths[i]);
                r->ins[0] = r->ins[1] = in.data();
            }
            refOut[i] = fastOut[i] = Buffer(300, 0.0f);
            ref[i].outs[0] = refOut[i].data(), fast[i].outs[0] = fastOut[i].data();
            refList[i] = &ref[i].ctx, fastList[i] = &fast[i].ctx;
        }
        for (int i = 0; i < 3; ++i) Reference()(1, refList + i, refList + i + 1);
        e.run(1, fastList, fastList + 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(0, std::memcmp(refOut[i].data(), fastOut[i].data(), 300 * sizeof(float))) << e.name << " " << i;
            EXPECT_EQ(0, std::memcmp(&ref[i].priv, &fast[i].priv, sizeof ref[i].priv)) << e.name << " " << i;
            EXPECT_EQ(0, std::memcmp(&ref[i].meter, &fast[i].meter, 4)) << e.name << " " << i;
        }
    }
}

}  // namespace
