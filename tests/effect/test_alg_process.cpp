// The process functions: bit-exact against a plain scalar evaluation of the written steps, and
// against values worked out by hand or in double precision.
#include <gtest/gtest.h>
#include <math.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kernel_rig.h"

namespace {

using namespace kernel_test;

float (*volatile gSinf)(float) = ::sinf;  // keeps the compiler from folding sines at build time

// The written steps, evaluated plainly and separately from the kernel's code.
struct Reference {
    float hist[4][4] = {};  // W1, W2, A1, A2: x[n-1], x[n-2], y[n-1], y[n-2]
    float d = 0.0f, g = 0.0f, meter = 0.0f;
    void Run(const Rig& p, int channels, const Buffer& in1, const Buffer& in2, Buffer& out1, Buffer& out2) {
        const double r = double(48000.0f / p.rate);
        const float aAtt = float(std::exp(-0.0026034001169039484 * r)), aRel = float(std::exp(-0.0005201261631846435 * r));
        const float L = float((std::pow(10.0, double(p.action)) - 1.0) / 9.0);
        const float gIn = p.inGain + p.inGain, sS = p.adj + p.adj, gOut = p.outGain + p.outGain;
        for (size_t n = 0; n < in1.size(); ++n) {
            const float x[2] = {in1[n] * gIn, (channels == 2 ? in2[n] : in1[n]) * gIn};
            float y[4];
            for (int k = 0; k < 4; ++k) {
                const STandrel_FilterCoefs& c = k < 2 ? p.cW : p.cA;
                float* h = hist[k];
                y[k] = c.scale * (((c.b0 * x[k % 2] + c.b1 * h[0]) + c.b2 * h[1]) - c.a1 * h[2] - c.a2 * h[3]);
                h[1] = h[0], h[0] = x[k % 2], h[3] = h[2], h[2] = y[k];
            }
            d = std::fabs(y[2] + y[3]);
            const float gT = (d <= L || std::isnan(d) || std::isnan(L)) ? 1.0f : L / d;
            g = g > gT ? g * aAtt + gT * (1.0f - aAtt) : g * aRel + gT * (1.0f - aRel);
            const float h = 1.0f - g;
            float s[2];
            for (int c = 0; c < 2; ++c) {
                float v = (y[2 + c] * h + x[c] * g) + (y[1 - c] - y[c]) * ((1.0f - p.width) * 0.5f);
                for (int pass = 0; pass < 4; ++pass) v = v * p.dyn + gSinf(v * 1.5707964f) * (1.0f - p.dyn);
                s[c] = v;
            }
            const float M = (s[0] + s[1]) * (2.0f - sS), S = (s[0] - s[1]) * sS;
            if (meter <= h) meter = h;
            out1[n] = p.bypass ? in1[n] : (M + S) * 0.5f * gOut;
            if (channels == 2) out2[n] = p.bypass ? in2[n] : (M - S) * 0.5f * gOut;
        }
    }
};

Buffer Noise(size_t n, uint32_t seed, float amp) {
    Buffer b(n);
    for (float& v : b) {
        seed = seed * 1664525u + 1013904223u;
        v = amp * (float(seed >> 8) * 0x1p-23f - 1.0f);
    }
    return b;
}

Buffer Sine(size_t n, double hz, double rate, double amp, double phase = 0.3) {
    Buffer b(n);
    for (size_t i = 0; i < n; ++i) b[i] = float(amp * std::sin(6.283185307179586 * hz * double(i) / rate + phase));
    return b;
}

void ExpectSameBits(const Buffer& a, const Buffer& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        uint32_t x, y;
        std::memcpy(&x, &a[i], 4), std::memcpy(&y, &b[i], 4);
        ASSERT_EQ(x, y) << "sample " << i << ": " << a[i] << " vs " << b[i];
    }
}

// Amplitude of the `hz` component of b[from..), over a whole number of periods.
double Amplitude(const Buffer& b, size_t from, double hz, double rate) {
    double cs = 0.0, sn = 0.0;
    for (size_t i = from; i < b.size(); ++i) {
        cs += b[i] * std::cos(6.283185307179586 * hz * double(i) / rate);
        sn += b[i] * std::sin(6.283185307179586 * hz * double(i) / rate);
    }
    return 2.0 * std::hypot(cs, sn) / double(b.size() - from);
}

TEST(KernelAgainstReference, BitExactOverParametersRatesBlocksAndChannelCounts) {
    const Buffer reset = [] { Rig r; return Buffer(reinterpret_cast<const float*>(&r.priv), reinterpret_cast<const float*>(&r.priv) + 210); }();
    int variant = 0;
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (int channels : {1, 2}) {
            Rig rig;
            Reference ref;
            const Buffer p = Noise(9, 77u + uint32_t(variant++), 0.5f);
            rig.inGain = 0.5f + p[0], rig.width = 0.5f + p[1], rig.freqW = 0.5f + p[2], rig.freqA = 0.5f + p[3];
            rig.action = 0.5f + p[4], rig.dyn = 0.5f + p[5], rig.adj = 0.5f + p[6], rig.outGain = 0.5f + p[7], rig.rate = rate;
            if (channels == 2) rig.b2 = 0.1f + 0.1f * p[8], rig.a2 = 0.03f;
            for (size_t n : {1u, 257u, 1000u}) {
                const Buffer in1 = Noise(n, uint32_t(n), 0.9f), in2 = Noise(n, uint32_t(n) + 1u, 0.6f);
                Buffer r1(n), r2(n);
                rig.Prepare(int32_t(n));
                ref.Run(rig, channels, in1, in2, r1, r2);
                const std::vector<Buffer> out = rig.Run(channels, in1, in2);
                ExpectSameBits(out[0], r1);
                if (channels == 2) ExpectSameBits(out[1], r2);
                EXPECT_EQ(rig.meter, ref.meter);
                EXPECT_EQ(rig.priv.mGain, ref.g);
                EXPECT_EQ(rig.priv.mGainCopy, ref.g);
                EXPECT_EQ(rig.priv.mDetector, ref.d);
                EXPECT_EQ(0, std::memcmp(&rig.priv.mW1, ref.hist, sizeof ref.hist));
            }
            // Nothing outside the kernel state (bytes 100-175) changes.
            const float* now = reinterpret_cast<const float*>(&rig.priv);
            EXPECT_EQ(0, std::memcmp(now, reset.data(), 100));
            EXPECT_EQ(0, std::memcmp(now + 44, reset.data() + 44, 840 - 176));
        }
    }
}

TEST(KernelByHand, NeutralParametersAtUnityGainPassTheInput) {
    Rig rig;
    rig.priv.mGain = 1.0f;
    const Buffer l = Noise(2000, 1u, 0.45f), r = Noise(2000, 2u, 0.45f);
    const std::vector<Buffer> out = rig.Run(2, l, r);
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_NEAR(out[0][i], l[i], 2e-7) << i;
        ASSERT_NEAR(out[1][i], r[i], 2e-7) << i;
    }
    EXPECT_EQ(rig.priv.mGain, 1.0f);
    EXPECT_EQ(rig.meter, 0.0f);
}

TEST(KernelByHand, GainMovesWithTheAttackAndReleaseFactors) {
    {  // Action 0: any section-A output gives a target of 0; g falls by the attack factor per sample.
        Rig rig;
        rig.priv.mGain = 1.0f, rig.action = 0.0f;
        rig.Run(2, Buffer(1, 0.3f));
        EXPECT_EQ(rig.priv.mGain, 0.9974f);
        rig.Run(2, Buffer(63, 0.3f));
        EXPECT_NEAR(rig.priv.mGain, std::pow(double(0.9974f), 64.0), 1e-5);
    }
    {  // Silence with Action 0 gives d = 0 <= L: target 1, no division by zero.
        Rig rig;
        rig.action = 0.0f;
        EXPECT_EQ(rig.Run(2, Buffer(8, 0.0f))[0], Buffer(8, 0.0f));
        EXPECT_NEAR(rig.priv.mGain, 1.0 - std::pow(double(0.99948f), 8.0), 1e-6);
    }
    {  // From the reset g = 0 rises with the release factor; the meter holds the first 1 - g.
        Rig rig;
        rig.Run(2, Noise(480, 3u, 0.2f));
        EXPECT_NEAR(rig.priv.mGain, 1.0 - std::pow(double(0.99948f), 480.0), 1e-5);
        EXPECT_EQ(rig.meter, 0.99948f);
    }
}

TEST(KernelByHand, SmoothingFactorsScaleWithTheSampleRate) {
    for (float rate : {96000.0f, 44100.0f}) {
        Rig release, attack;
        release.rate = attack.rate = rate;
        release.Run(1, Buffer(1, 0.0f));  // from g = 0 the first 1 - g is the release factor itself
        attack.priv.mGain = 1.0f, attack.action = 0.0f;
        attack.Run(1, Buffer(1, 0.5f));  // from g = 1 with a target of 0, g becomes the attack factor
        const double power = 48000.0 / double(rate);
        EXPECT_NEAR(release.meter, std::pow(double(0.99948f), power), 6e-8) << rate;
        EXPECT_NEAR(attack.priv.mGain, std::pow(double(0.9974f), power), 6e-8) << rate;
    }
}

TEST(KernelByHand, MonoAdjustSilencesAtOneAndDoublesAtZero) {
    Rig silent, doubled, plain;
    silent.adj = 1.0f, doubled.adj = 0.0f;
    for (Rig* r : {&silent, &doubled, &plain}) r->dyn = 0.3f, r->action = 0.2f;
    const Buffer in = Noise(500, 9u, 0.9f);
    const Buffer s = silent.Run(1, in)[0], d = doubled.Run(1, in)[0], p = plain.Run(1, in)[0];
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(s[i], 0.0f);
        ASSERT_EQ(d[i], 2.0f * p[i]);
    }
}

TEST(KernelByHand, WidthAndSectionCornersMatchTheFilterDesign) {
    {  // Width 0 removes a constant side signal; Width 0.5 halves it.
        Rig zero, half;
        zero.priv.mGain = half.priv.mGain = 1.0f, zero.width = 0.0f, half.width = 0.5f;
        EXPECT_NEAR(zero.Run(2, Buffer(4800, 0.25f), Buffer(4800, -0.25f))[0].back(), 0.0, 1e-6);
        EXPECT_NEAR(half.Run(2, Buffer(4800, 0.25f), Buffer(4800, -0.25f))[0].back(), 0.125, 1e-6);
    }
    {  // g held at 0 (Action 0): the output is section A, 3 dB down at its 6000 Hz corner.
        Rig rig;
        rig.action = 0.0f, rig.freqA = 1.0f;
        EXPECT_NEAR(Amplitude(rig.Run(2, Sine(4800, 6000.0, 48000.0, 0.5))[0], 2400, 6000.0, 48000.0), 0.5 / std::sqrt(2.0), 1e-4);
    }
    {  // Dyn 0 at unity gain: four passes of sin(v * pi / 2).
        Rig rig;
        rig.priv.mGain = 1.0f, rig.dyn = 0.0f;
        double v = 0.3;
        for (int pass = 0; pass < 4; ++pass) v = std::sin(v * 1.5707963267948966);
        EXPECT_NEAR(rig.Run(2, Buffer(64, 0.3f))[0].back(), v, 1e-6);
    }
}

TEST(KernelHostBehaviour, BypassCopiesTheInputWhileStateAndMeterRun) {
    Rig live, bypassed;
    bypassed.bypass = 7;  // any non-zero value bypasses
    const Buffer l = Noise(700, 4u, 0.9f), r = Noise(700, 5u, 0.9f);
    live.Run(2, l, r);
    const std::vector<Buffer> out = bypassed.Run(2, l, r);
    ExpectSameBits(out[0], l);
    ExpectSameBits(out[1], r);
    ExpectSameBits(bypassed.KernelState(), live.KernelState());
    EXPECT_EQ(bypassed.meter, live.meter);
    bypassed.bypass = 0;
    ExpectSameBits(bypassed.Run(2, r, l)[0], live.Run(2, r, l)[0]);  // no jump on release
}

TEST(KernelHostBehaviour, MeterTapAboveTheReductionOrNaNIsLeftAlone) {
    for (float tap : {1.5f, std::numeric_limits<float>::quiet_NaN()}) {
        Rig rig;
        rig.meter = tap;
        rig.Run(2, Noise(300, 6u, 1.0f));
        EXPECT_EQ(std::memcmp(&rig.meter, &tap, 4), 0);
    }
}

TEST(KernelHostBehaviour, EmptyOrNegativeBlockTouchesNothing) {
    for (int channels : {1, 2}) {
        for (int32_t n : {0, -3}) {
            Rig rig;
            rig.Run(channels, Noise(100, 7u, 0.8f));
            rig.priv.mGainCopy = 0.125f;  // differs from g, so a stray copy would show
            rig.meter = -2.0f;
            STandrel_Alg_PrivateData before = rig.priv;
            Buffer in(4, 0.5f), out1(4, 9.0f), out2(4, 9.0f);
            rig.RunRaw(channels, in.data(), in.data(), out1.data(), out2.data(), n);
            EXPECT_EQ(0, std::memcmp(&before, &rig.priv, sizeof before));
            EXPECT_EQ(out1, Buffer(4, 9.0f));
            EXPECT_EQ(out2, Buffer(4, 9.0f));
            EXPECT_EQ(rig.meter, -2.0f);
        }
    }
}

TEST(KernelHostBehaviour, InPlaceBuffersGiveTheOutOfPlaceResult) {
    for (int32_t bypass : {0, 1}) {
        for (int layout : {0, 1, 2}) {  // mono; stereo; stereo with output 1 in input 2's buffer and back
            Rig outOfPlace, inPlace;
            outOfPlace.bypass = inPlace.bypass = bypass, outOfPlace.action = inPlace.action = 0.3f;
            Buffer a = Noise(400, 8u, 0.9f), b = Noise(400, 9u, 0.7f);
            const std::vector<Buffer> want = outOfPlace.Run(layout == 0 ? 1 : 2, a, b);
            if (layout == 0) inPlace.RunRaw(1, a.data(), nullptr, a.data(), nullptr, 400);
            if (layout == 1) inPlace.RunRaw(2, a.data(), b.data(), a.data(), b.data(), 400);
            if (layout == 2) inPlace.RunRaw(2, a.data(), b.data(), b.data(), a.data(), 400);
            ExpectSameBits(layout == 2 ? b : a, want[0]);
            if (layout != 0) ExpectSameBits(layout == 2 ? a : b, want[1]);
        }
    }
}

TEST(KernelHostBehaviour, NonFiniteInputDoesNotPoisonLaterBlocks) {
    for (int channels : {1, 2}) {
        for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
            Rig hit, fresh;
            Buffer dirty = Noise(256, 10u, 0.8f);
            dirty[100] = bad;
            hit.Run(channels, dirty);
            EXPECT_EQ(hit.KernelState(), Buffer(19, 0.0f));
            const Buffer clean = Noise(256, 11u, 0.8f);
            const std::vector<Buffer> after = hit.Run(channels, clean), want = fresh.Run(channels, clean);
            for (float v : after[0]) ASSERT_TRUE(std::isfinite(v));
            ExpectSameBits(after[0], want[0]);
            if (channels == 2) ExpectSameBits(after[1], want[1]);
        }
    }
}

TEST(KernelHostBehaviour, InfiniteDetectorAloneKeepsTheCarriedState) {
    // Two finite section-A outputs near the float limit add up to an infinite detector level. The
    // detector value is not carried into the next block, so the finite filter and gain state stay.
    for (int channels : {1, 2}) {
        Rig big;
        Reference expect;
        const Buffer in(64, 2.5e38f);
        big.Prepare(64);
        Buffer r1(64), r2(64);
        expect.Run(big, channels, in, in, r1, r2);
        big.Run(channels, in);
        EXPECT_TRUE(std::isinf(expect.d)) << channels;
        EXPECT_TRUE(std::isinf(big.priv.mDetector)) << channels;
        EXPECT_EQ(big.priv.mGain, expect.g) << channels;
        EXPECT_NE(expect.g, 0.0f);
        EXPECT_EQ(0, std::memcmp(&big.priv.mW1, expect.hist, sizeof expect.hist)) << channels;
    }
}

}  // namespace
