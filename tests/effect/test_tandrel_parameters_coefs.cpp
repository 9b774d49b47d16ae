// Packets and coefficient blocks: what the first GenerateCoefficients posts and in which order, what
// an edit posts, and the low-pass sections the blocks describe, checked against an independent
// double-precision evaluation of their frequency response.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "Tandrel_Alg.h"
#include "Tandrel_Coefs.h"
#include "effect/test_tandrel_parameters_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

STandrel_FilterCoefs Coefs(const std::vector<unsigned char>& bytes) {
    STandrel_FilterCoefs coefs{};
    EXPECT_EQ(bytes.size(), sizeof coefs);
    if (bytes.size() == sizeof coefs) std::memcpy(&coefs, bytes.data(), sizeof coefs);
    return coefs;
}

// |H(e^jw)| of y = scale * (b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]), in double.
double Magnitude(const STandrel_FilterCoefs& c, double frequency, double sampleRate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequency / sampleRate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> numerator = double(c.scale) * (double(c.b0) + double(c.b1) * z1 + double(c.b2) * z2);
    const std::complex<double> denominator = 1.0 + double(c.scale) * (double(c.a1) * z1 + double(c.a2) * z2);
    return std::abs(numerator / denominator);
}

// The section that a corner frequency should give, in double precision.
void ExpectLowPassWithCorner(const STandrel_FilterCoefs& c, double corner, double sampleRate) {
    const double h = kPi * corner / sampleRate;
    EXPECT_NEAR(c.b0, std::sin(h), 1e-6);
    EXPECT_EQ(c.b1, c.b0);
    EXPECT_EQ(c.b2, 0.0f);
    EXPECT_NEAR(c.a1, std::sin(h) - std::cos(h), 1e-6);
    EXPECT_EQ(c.a2, 0.0f);
    EXPECT_NEAR(c.scale, 1.0 / (std::sin(h) + std::cos(h)), 1e-6);
    // Single-precision coefficients move a low corner's pole slightly: allow 0.0002 dB.
    EXPECT_NEAR(Magnitude(c, 0.0, sampleRate), 1.0, 2e-5);                  // unity at 0 Hz
    EXPECT_NEAR(Magnitude(c, corner, sampleRate), std::sqrt(0.5), 2e-5);    // -3 dB at the corner
    EXPECT_NEAR(Magnitude(c, sampleRate / 2.0, sampleRate), 0.0, 1e-9);     // zero at Nyquist
    EXPECT_LT(Magnitude(c, corner * 1.5, sampleRate), std::sqrt(0.5));
}

}  // namespace

TEST_F(TandrelModelTest, FirstDispatchPostsEveryPacketWithCoefficientsBeforeTheirValues) {
    EXPECT_EQ(model->GenerateCoefficients(), AAX_SUCCESS);
    // Identifier order: Action, Adj, Dyn, FreqA (block 15 first), FreqW (block 14 first), InGain,
    // MasterBypassID, OutGain, Width.
    EXPECT_EQ(PostedFields(), (std::vector<AAX_CFieldIndex>{5, 7, 6, 15, 4, 14, 2, 1, 0, 8, 3}));
    const auto& posts = host.controller.posts;
    EXPECT_EQ(posts[0].bytes, FloatPacket(1.0f));   // Action
    EXPECT_EQ(posts[1].bytes, FloatPacket(0.5f));   // Adj
    EXPECT_EQ(posts[2].bytes, FloatPacket(1.0f));   // Dyn
    EXPECT_EQ(posts[3].bytes.size(), 24u);
    EXPECT_EQ(posts[4].bytes, FloatPacket(0.5f));   // FreqA: the raw value, not Hz
    EXPECT_EQ(posts[5].bytes.size(), 24u);
    EXPECT_EQ(posts[6].bytes, FloatPacket(0.5f));   // FreqW
    EXPECT_EQ(posts[7].bytes, FloatPacket(0.5f));   // InGain
    EXPECT_EQ(posts[8].bytes, IntPacket(0));        // bypass off
    EXPECT_EQ(posts[9].bytes, FloatPacket(0.5f));   // OutGain
    EXPECT_EQ(posts[10].bytes, FloatPacket(1.0f));  // Width
    // Defaults at 48 kHz: FreqA 0.5 is 3500 Hz, FreqW 0.5 is 550 Hz.
    ExpectLowPassWithCorner(Coefs(posts[3].bytes), 3500.0, 48000.0);
    ExpectLowPassWithCorner(Coefs(posts[5].bytes), 550.0, 48000.0);
    EXPECT_EQ(host.controller.sampleRateQueries, 2);

    host.controller.posts.clear();
    EXPECT_EQ(model->GenerateCoefficients(), AAX_SUCCESS);
    EXPECT_TRUE(host.controller.posts.empty());
}

TEST_F(TandrelModelTest, FrequencyRangesEndAt100And1000And6000Hz) {
    model->GenerateCoefficients();
    struct Case {
        const char* id;
        double value;
        AAX_CFieldIndex coefsField;
        double corner;
    };
    for (const Case& c : {Case{"FreqW", 0.0, 14, 100.0}, Case{"FreqW", 1.0, 14, 1000.0},
                          Case{"FreqA", 0.0, 15, 1000.0}, Case{"FreqA", 1.0, 15, 6000.0}}) {
        SCOPED_TRACE(c.corner);
        host.controller.posts.clear();
        Edit(c.id, c.value);
        model->GenerateCoefficients();
        // Only the edited parameter: its block, then its value.
        ASSERT_EQ(PostedFields(), (std::vector<AAX_CFieldIndex>{c.coefsField, c.coefsField == 14 ? 2 : 4}));
        EXPECT_EQ(host.controller.posts[1].bytes, FloatPacket(float(c.value)));
        ExpectLowPassWithCorner(Coefs(host.controller.posts[0].bytes), c.corner, 48000.0);
    }
}

TEST_F(TandrelModelTest, AtAQuarterOfTheSampleRateA1IsZero) {
    // FreqA 0.5 is 3500 Hz: a quarter of 14 kHz.
    host.controller.sampleRate = 14000.0f;
    model->GenerateCoefficients();
    const STandrel_FilterCoefs a = Coefs(host.controller.Latest(15));
    EXPECT_EQ(a.a1, 0.0f);
    EXPECT_EQ(a.scale, 1.0f / (2.0f * a.b0));
    EXPECT_NEAR(a.b0, std::sqrt(0.5), 1e-7);
    // FreqW 1.0 is 1000 Hz: a quarter of 4 kHz.
    host.controller.sampleRate = 4000.0f;
    Edit("FreqW", 1.0);
    model->GenerateCoefficients();
    EXPECT_EQ(Coefs(host.controller.Latest(14)).a1, 0.0f);
}

TEST_F(TandrelModelTest, BlockFollowsTheSampleRateOnlyWhenRebuilt) {
    model->GenerateCoefficients();
    host.controller.sampleRate = 96000.0f;
    host.controller.posts.clear();
    model->GenerateCoefficients();  // a sample-rate change alone rebuilds nothing
    EXPECT_TRUE(host.controller.posts.empty());
    Edit("FreqA", 0.5);  // same value, still an update: the packet is dirty again
    model->GenerateCoefficients();
    ExpectLowPassWithCorner(Coefs(host.controller.Latest(15)), 3500.0, 96000.0);
}

TEST_F(TandrelModelTest, BypassOnIsPostedAsTheInteger1) {
    model->GenerateCoefficients();
    host.controller.posts.clear();
    Edit("MasterBypassID", 1.0);
    model->GenerateCoefficients();
    ASSERT_EQ(PostedFields(), (std::vector<AAX_CFieldIndex>{0}));
    EXPECT_EQ(host.controller.posts[0].bytes, IntPacket(1));
}

TEST_F(TandrelModelTest, UnusableSampleRatePostsTheValueButNoCoefficientBlock) {
    host.controller.sampleRate = 0.0f;
    EXPECT_EQ(model->GenerateCoefficients(), AAX_SUCCESS);
    EXPECT_EQ(PostedFields(), (std::vector<AAX_CFieldIndex>{5, 7, 6, 4, 2, 1, 0, 8, 3}));
    host.controller.sampleRate = 48000.0f;
    Edit("FreqW", 0.0);
    model->GenerateCoefficients();
    ExpectLowPassWithCorner(Coefs(host.controller.Latest(14)), 100.0, 48000.0);
}

TEST_F(TandrelModelTest, HandlersCalledDirectlyFillTheValuePacket) {
    AAX_CPacket packet(eTandrelField_FreqA);
    Edit("FreqA", 0.25);
    EXPECT_EQ(model->UpdatePacket_Par3(packet), AAX_SUCCESS);
    EXPECT_EQ(packet.GetSize(), 4u);
    float value = 0.0f;
    std::memcpy(&value, packet.GetData(), 4);
    EXPECT_EQ(value, 0.25f);
    ExpectLowPassWithCorner(Coefs(host.controller.Latest(15)), 2250.0, 48000.0);
    EXPECT_EQ(model->UpdatePacket_Par1(packet), AAX_SUCCESS);
    std::memcpy(&value, packet.GetData(), 4);
    EXPECT_EQ(value, 0.5f);
}

// A corner at or beyond the Nyquist frequency would make the section unstable (FreqA 1 at 8 kHz is
// 6000 Hz): it is moved to 0.45 times the rate. Every corner below Nyquist keeps the bits of the
// formula written out here, so renders at the usual rates do not change.
TEST_F(TandrelModelTest, CornersStayBelowNyquistAndStableCornersKeepTheirBits) {
    host.controller.sampleRate = 8000.0f;
    Edit("FreqA", 1.0);
    model->GenerateCoefficients();
    const STandrel_FilterCoefs moved = Coefs(host.controller.Latest(15));
    EXPECT_NEAR(moved.b0, std::sin(kPi * 0.45), 1e-6);
    EXPECT_NEAR(moved.a1, std::sin(kPi * 0.45) - std::cos(kPi * 0.45), 1e-6);
    EXPECT_NEAR(Magnitude(moved, 3600.0, 8000.0), std::sqrt(0.5), 2e-5);

    for (float rate : {8000.0f, 11025.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f}) {
        for (int step = 0; step <= 130; ++step) {
            const float v = float(step) / 130.0f;
            for (const float* k : {&kTandrel_FreqW_K1, &kTandrel_FreqA_K1}) {
                const float k1 = *k, k0 = k1 == kTandrel_FreqW_K1 ? kTandrel_FreqW_K0 : kTandrel_FreqA_K0;
                const STandrel_FilterCoefs got = Tandrel_LowPassCoefs(v, k1, k0, rate);
                const float pole = -got.a1 * got.scale;
                ASSERT_LT(std::fabs(pole), 1.0f) << rate << " Hz, value " << v;
                if (double(v * k1 + k0) >= rate / 2.0) continue;
                const float h = ((v * k1 + k0) * 6.2831855f / rate) * 0.5f;
                const float s = float(std::sin(double(h))), c = float(std::cos(double(h)));
                const STandrel_FilterCoefs expected{s, s, 0.0f, 1.0f / (s + c), s - c, 0.0f};
                ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << rate << " Hz, value " << v;
            }
        }
    }
}
