// How the host library copes with a module whose process procedure misbehaves: it says so, repairs
// what it can and keeps running, and an exception ends processing without ending the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MarovexHost.h"

namespace {

// An instance of the misbehaving module, with one stereo block of 64 frames to process.
class HostMisbehaviour : public ::testing::Test {
protected:
    void SetUp() override {
        module = MarovexModule::Load(MAROVEX_BAD_MODULE_PATH, &error);
        ASSERT_NE(module, nullptr) << error;
        instance = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 64, &error);
        ASSERT_NE(instance, nullptr) << error;
    }
    bool Process() {
        const float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        return instance->Process(in, out, 64, &error);
    }

    std::shared_ptr<MarovexModule> module;
    std::unique_ptr<MarovexInstance> instance;
    std::vector<float> l = std::vector<float>(64, 0.5f), r = std::vector<float>(64, -0.5f);
    std::vector<float> ol = std::vector<float>(64), orr = std::vector<float>(64);
    std::string error;
};

}  // namespace

TEST_F(HostMisbehaviour, AWellBehavedBlockRaisesNothing) {
    ASSERT_TRUE(Process()) << error;
    EXPECT_EQ(ol, l);
    EXPECT_EQ(instance->ProblemCount(), 0);
}

TEST_F(HostMisbehaviour, WritesPastTheOutputAreReportedAndTheGuardIsRearmed) {
    ASSERT_TRUE(instance->SetParameter("InGain", 0.1, &error)) << error;
    ASSERT_TRUE(Process()) << error;
    EXPECT_EQ(instance->ProblemCount(), 2);  // one per output channel
    EXPECT_EQ(ol, l);                        // the block itself is delivered
    ASSERT_TRUE(instance->SetParameter("InGain", 0.5, &error)) << error;
    ASSERT_TRUE(Process()) << error;
    EXPECT_EQ(instance->ProblemCount(), 2);
}

TEST_F(HostMisbehaviour, AChangedBlockLengthIsReportedAndRestored) {
    ASSERT_TRUE(instance->SetParameter("InGain", 0.2, &error)) << error;
    ASSERT_TRUE(Process()) << error;
    EXPECT_EQ(instance->ProblemCount(), 1);
    ASSERT_TRUE(Process()) << error;
    EXPECT_EQ(instance->ProblemCount(), 2);  // every block is checked afresh
}

TEST_F(HostMisbehaviour, AnExceptionStopsProcessingButNotTheProgram) {
    ASSERT_TRUE(instance->SetParameter("InGain", 0.3, &error)) << error;
    EXPECT_FALSE(Process());
    EXPECT_NE(error.find("threw"), std::string::npos) << error;
    EXPECT_FALSE(Process());
    EXPECT_NE(error.find("not running"), std::string::npos) << error;
    instance.reset();
    EXPECT_EQ(module->LiveObjectCount(), 0);
}
