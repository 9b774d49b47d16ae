// End to end inside one process: a data model initialised against the fake host, parameters edited
// through the host's automation, GenerateCoefficients, the posted packets copied into an algorithm
// context the way a host delivers them, and the kernel processing a block with them. The result
// must equal, bit for bit, the kernel run on a context whose fields were filled by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "effect/kernel_rig.h"
#include "effect/test_tandrel_parameters_fixture.h"

namespace {

using kernel_test::Buffer;
using kernel_test::Rig;

constexpr int32_t kFrames = 512;
constexpr float kSampleRate = 48000.0f;

// A deterministic test signal with energy on both sides of both corners.
Buffer Signal(int channel) {
    Buffer b(kFrames);
    for (int32_t n = 0; n < kFrames; ++n) {
        const double t = n / double(kSampleRate);
        b[size_t(n)] = float(0.4 * std::sin(2.0 * M_PI * 220.0 * t + channel) +
                             0.3 * std::sin(2.0 * M_PI * 2500.0 * t) +
                             0.2 * std::sin(2.0 * M_PI * 9000.0 * t + 0.5 * channel));
    }
    return b;
}

// Delivers a posted packet to its field as a host does: the field's own size from the front.
void Deliver(Rig& rig, const fakehost::PostedPacket& packet) {
    float* const values[8] = {&rig.inGain, &rig.freqW, &rig.width, &rig.freqA,
                              &rig.action, &rig.dyn,   &rig.adj,   &rig.outGain};
    const int field = packet.field;
    if (field == eTandrelField_Bypass) std::memcpy(&rig.bypass, packet.bytes.data(), 4);
    if (field >= eTandrelField_InGain && field <= eTandrelField_OutGain) {
        std::memcpy(values[field - 1], packet.bytes.data(), 4);
    }
    if (field == eTandrelField_CoefsW) std::memcpy(&rig.cW, packet.bytes.data(), sizeof rig.cW);
    if (field == eTandrelField_CoefsA) std::memcpy(&rig.cA, packet.bytes.data(), sizeof rig.cA);
}

}  // namespace

TEST_F(TandrelModelTest, EditedParametersReachTheKernelThroughPostedPackets) {
    host.controller.sampleRate = kSampleRate;
    Edit("FreqA", 0.2);
    Edit("FreqW", 0.9);
    Edit("InGain", 0.7);
    Edit("Width", 0.3);
    ASSERT_EQ(model->GenerateCoefficients(), AAX_SUCCESS);

    // Every field starts at a value no packet carries, so a packet that never arrives shows.
    Rig viaHost;
    viaHost.bypass = 5, viaHost.inGain = viaHost.freqW = viaHost.width = viaHost.freqA = viaHost.action =
        viaHost.dyn = viaHost.adj = viaHost.outGain = -1.0f;
    ASSERT_EQ(model->ResetFieldData(eTandrelField_PrivateData, &viaHost.priv, sizeof viaHost.priv),
              AAX_RESULT_FIELD_DATA_RESET);
    for (const auto& packet : host.controller.posts) Deliver(viaHost, packet);
    Buffer in[2] = {Signal(0), Signal(1)}, out[2] = {Buffer(kFrames), Buffer(kFrames)};
    viaHost.ins[0] = in[0].data(), viaHost.ins[1] = in[1].data();
    viaHost.outs[0] = out[0].data(), viaHost.outs[1] = out[1].data();
    viaHost.length = kFrames;
    viaHost.Call(2);

    // By hand: the edited values, the others at their defaults, blocks from the exported formula.
    Rig byHand;
    byHand.inGain = 0.7f, byHand.freqW = 0.9f, byHand.width = 0.3f, byHand.freqA = 0.2f;
    const std::vector<Buffer> want = byHand.Run(2, in[0], in[1]);
    EXPECT_EQ(std::memcmp(&viaHost.cA, &byHand.cA, sizeof byHand.cA), 0);
    EXPECT_EQ(std::memcmp(&viaHost.cW, &byHand.cW, sizeof byHand.cW), 0);
    for (int ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch);
        EXPECT_EQ(std::memcmp(out[ch].data(), want[size_t(ch)].data(), kFrames * sizeof(float)), 0);
    }
    EXPECT_EQ(viaHost.meter, byHand.meter);

    // The edits matter: the same block with the default settings comes out differently.
    Rig defaults;
    EXPECT_NE(defaults.Run(2, in[0], in[1])[0], out[0]);
}
