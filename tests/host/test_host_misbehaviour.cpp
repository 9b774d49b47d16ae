// How the host library copes with a module whose process procedure misbehaves: it says so, repairs
// what it can and keeps running, and an exception ends processing without ending the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MarovexHost.h"

namespace {

struct Bad {
    std::shared_ptr<MarovexModule> module;
    std::unique_ptr<MarovexInstance> instance;
    std::vector<float> l = std::vector<float>(64, 0.5f), r = std::vector<float>(64, -0.5f);
    std::vector<float> ol = std::vector<float>(64), orr = std::vector<float>(64);

    Bad() {
        std::string error;
        module = MarovexModule::Load(MAROVEX_BAD_MODULE_PATH, &error);
        EXPECT_NE(module, nullptr) << error;
        if (module) instance = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 64, &error);
        EXPECT_NE(instance, nullptr) << error;
    }
    bool Process(std::string* error) {
        const float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        return instance->Process(in, out, 64, error);
    }
};

}  // namespace

TEST(HostMisbehaviour, AWellBehavedBlockRaisesNothing) {
    Bad bad;
    ASSERT_TRUE(bad.instance);
    std::string error;
    ASSERT_TRUE(bad.Process(&error)) << error;
    EXPECT_EQ(bad.ol, bad.l);
    EXPECT_EQ(bad.instance->ProblemCount(), 0);
}

TEST(HostMisbehaviour, WritesPastTheOutputAreReportedAndTheGuardIsRearmed) {
    Bad bad;
    ASSERT_TRUE(bad.instance);
    std::string error;
    ASSERT_TRUE(bad.instance->SetParameter("InGain", 0.1, &error)) << error;
    ASSERT_TRUE(bad.Process(&error)) << error;
    EXPECT_EQ(bad.instance->ProblemCount(), 2);  // one per output channel
    EXPECT_EQ(bad.ol, bad.l);                    // the block itself is delivered
    ASSERT_TRUE(bad.instance->SetParameter("InGain", 0.5, &error)) << error;
    ASSERT_TRUE(bad.Process(&error)) << error;
    EXPECT_EQ(bad.instance->ProblemCount(), 2);
}

TEST(HostMisbehaviour, AChangedBlockLengthIsReportedAndRestored) {
    Bad bad;
    ASSERT_TRUE(bad.instance);
    std::string error;
    ASSERT_TRUE(bad.instance->SetParameter("InGain", 0.2, &error)) << error;
    ASSERT_TRUE(bad.Process(&error)) << error;
    EXPECT_EQ(bad.instance->ProblemCount(), 1);
    ASSERT_TRUE(bad.Process(&error)) << error;
    EXPECT_EQ(bad.instance->ProblemCount(), 2);  // every block is checked afresh
}

TEST(HostMisbehaviour, AnExceptionStopsProcessingButNotTheProgram) {
    Bad bad;
    ASSERT_TRUE(bad.instance);
    std::string error;
    ASSERT_TRUE(bad.instance->SetParameter("InGain", 0.3, &error)) << error;
    EXPECT_FALSE(bad.Process(&error));
    EXPECT_NE(error.find("threw"), std::string::npos) << error;
    EXPECT_FALSE(bad.Process(&error));
    EXPECT_NE(error.find("not running"), std::string::npos) << error;
    bad.instance.reset();
    EXPECT_EQ(bad.module->LiveObjectCount(), 0);
}
