// End to end inside one process: a data model initialised against the fake host, parameters edited
// through the host's automation, GenerateCoefficients, the posted packets copied into an algorithm
// context the way a host delivers them, and the kernel processing a block with them. The result
// must equal, bit for bit, the kernel run on a context whose fields were filled by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Tandrel_Alg.h"
#include "Tandrel_Coefs.h"
#include "effect/test_tandrel_parameters_fixture.h"

namespace {

constexpr int kFrames = 512;
constexpr float kSampleRate = 48000.0f;

// Storage behind one algorithm context: every field the kernel reads, plus stereo buffers.
struct ContextStorage {
    int32_t bypass = 0;
    float values[8] = {};  // fields 1-8
    STandrel_FilterCoefs coefsW{}, coefsA{};
    STandrel_Alg_PrivateData privateData{};
    std::vector<float> in[2], out[2];
    float* inputs[2] = {};
    float* outputs[2] = {};
    int32_t frames = kFrames;
    float sampleRate = kSampleRate;
    float meter = 0.0f;
    float* meters[1] = {&meter};
    STandrel_Alg_Context context{};

    ContextStorage() {
        for (int ch = 0; ch < 2; ++ch) {
            in[ch].resize(kFrames);
            out[ch].assign(kFrames, 0.0f);
            // A deterministic test signal with energy on both sides of both corners.
            for (int n = 0; n < kFrames; ++n) {
                const double t = n / double(kSampleRate);
                in[ch][size_t(n)] = float(0.4 * std::sin(2.0 * M_PI * 220.0 * t + ch) +
                                          0.3 * std::sin(2.0 * M_PI * 2500.0 * t) +
                                          0.2 * std::sin(2.0 * M_PI * 9000.0 * t + 0.5 * ch));
            }
            inputs[ch] = in[ch].data();
            outputs[ch] = out[ch].data();
        }
        context.mBypassP = &bypass;
        float** valueFields[] = {&context.mInGainP, &context.mFreqWP, &context.mWidthP, &context.mFreqAP,
                                 &context.mActionP, &context.mDynP,   &context.mAdjP,   &context.mOutGainP};
        for (int i = 0; i < 8; ++i) *valueFields[i] = &values[i];
        context.mInputPP = inputs;
        context.mOutputPP = outputs;
        context.mBufferLengthP = &frames;
        context.mSampleRateP = &sampleRate;
        context.mMetersPP = meters;
        context.mCoefsWP = &coefsW;
        context.mCoefsAP = &coefsA;
        context.mPrivateDataP = &privateData;
    }

    // Delivers a posted packet to its field as a host does: the field's own size from the front.
    void Deliver(const fakehost::PostedPacket& packet) {
        const int field = packet.field;
        if (field == eTandrelField_Bypass) {
            std::memcpy(&bypass, packet.bytes.data(), 4);
        } else if (field >= eTandrelField_InGain && field <= eTandrelField_OutGain) {
            std::memcpy(&values[field - 1], packet.bytes.data(), 4);
        } else if (field == eTandrelField_CoefsW) {
            std::memcpy(&coefsW, packet.bytes.data(), sizeof coefsW);
        } else if (field == eTandrelField_CoefsA) {
            std::memcpy(&coefsA, packet.bytes.data(), sizeof coefsA);
        }
    }

    void Process() {
        STandrel_Alg_Context* const instances[] = {&context};
        Tandrel_AlgorithmProcessFunction<2, 2>(instances, instances + 1);
    }
};

}  // namespace

TEST_F(TandrelModelTest, EditedParametersReachTheKernelThroughPostedPackets) {
    host.controller.sampleRate = kSampleRate;
    Edit("FreqA", 0.2);
    Edit("FreqW", 0.9);
    Edit("InGain", 0.7);
    Edit("Width", 0.3);
    ASSERT_EQ(model->GenerateCoefficients(), AAX_SUCCESS);

    ContextStorage viaHost;
    ASSERT_EQ(model->ResetFieldData(eTandrelField_PrivateData, &viaHost.privateData, sizeof viaHost.privateData),
              AAX_RESULT_FIELD_DATA_RESET);
    for (const auto& packet : host.controller.posts) viaHost.Deliver(packet);
    viaHost.Process();

    ContextStorage byHand;
    Tandrel_ResetFieldData(eTandrelField_PrivateData, &byHand.privateData, sizeof byHand.privateData);
    const float values[8] = {0.7f, 0.9f, 0.3f, 0.2f, 1.0f, 1.0f, 0.5f, 0.5f};
    std::memcpy(byHand.values, values, sizeof values);
    byHand.coefsW = Tandrel_LowPassCoefs(0.9f, kTandrel_FreqW_K1, kTandrel_FreqW_K0, kSampleRate);
    byHand.coefsA = Tandrel_LowPassCoefs(0.2f, kTandrel_FreqA_K1, kTandrel_FreqA_K0, kSampleRate);
    byHand.Process();

    EXPECT_EQ(std::memcmp(&viaHost.coefsA, &byHand.coefsA, sizeof byHand.coefsA), 0);
    EXPECT_EQ(std::memcmp(&viaHost.coefsW, &byHand.coefsW, sizeof byHand.coefsW), 0);
    for (int ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch);
        EXPECT_EQ(std::memcmp(viaHost.out[ch].data(), byHand.out[ch].data(), kFrames * sizeof(float)), 0);
    }
    EXPECT_EQ(viaHost.meter, byHand.meter);

    // The edits matter: the same block with the default settings comes out differently.
    ContextStorage defaults;
    Tandrel_ResetFieldData(eTandrelField_PrivateData, &defaults.privateData, sizeof defaults.privateData);
    const float defaultValues[8] = {0.5f, 0.5f, 1.0f, 0.5f, 1.0f, 1.0f, 0.5f, 0.5f};
    std::memcpy(defaults.values, defaultValues, sizeof defaultValues);
    defaults.coefsW = Tandrel_LowPassCoefs(0.5f, kTandrel_FreqW_K1, kTandrel_FreqW_K0, kSampleRate);
    defaults.coefsA = Tandrel_LowPassCoefs(0.5f, kTandrel_FreqA_K1, kTandrel_FreqA_K0, kSampleRate);
    defaults.Process();
    EXPECT_NE(std::memcmp(viaHost.out[0].data(), defaults.out[0].data(), kFrames * sizeof(float)), 0);
}

TEST_F(TandrelModelTest, BypassPostedByTheModelPassesTheInputThrough) {
    Edit("MasterBypassID", 1.0);
    model->GenerateCoefficients();
    ContextStorage context;
    model->ResetFieldData(eTandrelField_PrivateData, &context.privateData, sizeof context.privateData);
    for (const auto& packet : host.controller.posts) context.Deliver(packet);
    EXPECT_EQ(context.bypass, 1);
    context.Process();
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(std::memcmp(context.out[ch].data(), context.in[ch].data(), kFrames * sizeof(float)), 0);
    }
}
