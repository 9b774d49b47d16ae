// The built-in demo signal: reproducible, below full scale, and loud enough on its bursts that the
// kernel reduces gain with every parameter at its default value.
#include <gtest/gtest.h>

#include <algorithm>

#include "DemoSignal.h"
#include "kernel_rig.h"

namespace {

using namespace kernel_test;

TEST(DemoSignal, IsReproducibleBelowFullScaleAndEveryBurstReducesGainAtDefaults) {
    const MarovexDemoSignal demo = MakeMarovexDemoSignal(48000);
    EXPECT_EQ(demo.samples, MakeMarovexDemoSignal(48000).samples);
    ASSERT_EQ(demo.samples.size(), size_t(6 * 48000 * 2));
    float peak = 0.0f;
    for (float v : demo.samples) peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 1.0f);
    const int32_t frames = int32_t(demo.samples.size() / 2);
    Buffer l(frames), r(frames), out(frames), blockPeak;
    for (int32_t i = 0; i < frames; ++i) l[i] = demo.samples[2 * i], r[i] = demo.samples[2 * i + 1];
    Rig rig;  // every parameter at its default
    for (int32_t start = 0; start < frames; start += 512) {
        rig.meter = 0.0f;
        rig.RunRaw(2, &l[start], &r[start], &out[start], &out[start], std::min(512, frames - start));
        blockPeak.push_back(rig.meter);
    }
    for (double t : kMarovexDemoBurstStart) {
        const size_t first = size_t(t * 48000.0 / 512), last = size_t((t + kMarovexDemoBurstLength) * 48000.0 / 512);
        EXPECT_GT(*std::max_element(blockPeak.begin() + first, blockPeak.begin() + last), 0.05f) << t;
    }
}

}  // namespace
