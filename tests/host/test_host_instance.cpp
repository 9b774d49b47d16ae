// Running instances of the built module: audio with default parameters, edits reaching the audio,
// block splitting, meters, parameters, state records, and how the host treats a misbehaving plug-in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <cstring>
#include <fstream>
#include <string>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <xmmintrin.h>

#include "AAX_IACFEffectGUI.h"
#include "AAX_IController.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_SPlugInChunk.h"
#include "AAX_UIDs.h"
#include "MarovexHost.h"

// Allocations made by the current thread while it counts: the processing path must make none.
namespace {
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
}  // namespace

// The replacement pair allocates with malloc and frees with free; the compiler cannot see that the
// two belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (tCounting) ++tAllocations;
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (tCounting) ++tAllocations;
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

const char* const kModulePath = MAROVEX_MODULE_PATH;
constexpr float kRate = 48000.0f;

class HostInstance : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        sModule = MarovexModule::Load(kModulePath, &error);
        ASSERT_NE(sModule, nullptr) << error;
    }
    static void TearDownTestSuite() { sModule.reset(); }

    static std::unique_ptr<MarovexInstance> Make(int32_t stem, int32_t maxBlock = 512) {
        std::string error;
        auto i = MarovexInstance::Create(sModule, stem, kRate, maxBlock, &error);
        EXPECT_NE(i, nullptr) << error;
        return i;
    }

    static std::shared_ptr<MarovexModule> sModule;
};
std::shared_ptr<MarovexModule> HostInstance::sModule;

// Two channels of test signal: sines well below the detector threshold.
struct Signal {
    std::vector<float> left, right;
    explicit Signal(size_t frames, size_t start = 0) : left(frames), right(frames) {
        for (size_t i = 0; i < frames; ++i) {
            const double n = double(start + i);
            left[i] = float(0.25 * std::sin(2.0 * M_PI * 1000.0 * n / kRate));
            right[i] = float(0.2 * std::sin(2.0 * M_PI * 700.0 * n / kRate + 0.3));
        }
    }
};

struct Output {
    std::vector<float> left, right;
    explicit Output(size_t frames) : left(frames), right(frames) {}
};

// Processes `frames` of the signal from `start` on; returns the output.
Output RunBlock(MarovexInstance& inst, size_t frames, size_t start = 0) {
    Signal s(frames, start);
    Output o(frames);
    const float* in[2] = {s.left.data(), s.right.data()};
    float* out[2] = {o.left.data(), o.right.data()};
    std::string error;
    EXPECT_TRUE(inst.Process(in, out, int32_t(frames), &error)) << error;
    return o;
}

// The release factor the kernel uses at 48 kHz, evaluated independently: exp in double, rounded.
float ReleaseFactor48k() { return float(std::exp(-0.0005201261631846435)); }

}  // namespace

TEST_F(HostInstance, DefaultParametersSettleToTheInputAndTheMeterFollowsTheGain) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->InputChannels(), 2);
    EXPECT_EQ(inst->OutputChannels(), 2);
    EXPECT_EQ(inst->MeterCount(), 1);
    EXPECT_EQ(inst->MeterID(0), 0x6D475231u);

    // Right after the reset the smoothed gain is 0: the output is the low-passed signal.
    Output first = RunBlock(*inst, 512);
    Signal s(512);
    float largest = 0.0f;
    for (size_t i = 0; i < 512; ++i) largest = std::max(largest, std::fabs(first.left[i] - s.left[i]));
    EXPECT_GT(largest, 1e-3f);
    // The first sample's reduction is 1 - g with g = 1 - aRel after one release step.
    const float aRel = ReleaseFactor48k();
    const float h1 = 1.0f - (0.0f * aRel + 1.0f * (1.0f - aRel));
    EXPECT_FLOAT_EQ(inst->MeterValue(0), h1);
    EXPECT_FLOAT_EQ(inst->MeterPeak(0), h1);

    // After 1.5 s the smoothed gain has reached the fixed point of its single-precision recursion
    // (just below 1), and every neutral stage passes the input through: the output is the input up
    // to the remaining blend h * (low-passed - input), |h| < 6e-5.
    float g = 0.0f;
    for (int i = 0; i < 200000; ++i) g = g * aRel + 1.0f * (1.0f - aRel);
    const float hSettled = 1.0f - g;
    ASSERT_LT(hSettled, 6e-5f);
    size_t at = 512;
    for (; at < 72000; at += 4800) RunBlock(*inst, 4800, at);
    Output late = RunBlock(*inst, 4800, at);
    Signal expected(4800, at);
    for (size_t i = 0; i < 4800; ++i) {
        ASSERT_NEAR(late.left[i], expected.left[i], 3e-5) << i;
        ASSERT_NEAR(late.right[i], expected.right[i], 3e-5) << i;
    }
    EXPECT_FLOAT_EQ(inst->MeterValue(0), hSettled);
    EXPECT_FLOAT_EQ(inst->MeterPeak(0), h1);
    inst->ClearMeterPeaks();
    EXPECT_EQ(inst->MeterPeak(0), 0.0f);
    EXPECT_GT(inst->PacketsDelivered(), 0u);
    EXPECT_EQ(inst->ProblemCount(), 0);
    EXPECT_EQ(inst->OpenTouchCount(), 0);
}

TEST_F(HostInstance, ProcessingFlushesDenormalsToZeroAndGivesTheCallerItsOwnModeBack) {
    auto inst = Make(AAX_eStemFormat_Mono);
    ASSERT_NE(inst, nullptr);
    const unsigned before = _mm_getcsr();
    RunBlock(*inst, 16);
    EXPECT_EQ(inst->AudioThreadMxcsr() & 0x8040u, 0x8040u);
    EXPECT_EQ(_mm_getcsr(), before);
}

TEST_F(HostInstance, BypassHandsTheInputThroughExactly) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    std::string error;
    ASSERT_TRUE(inst->SetParameterFromText("MasterBypassID", "on", &error)) << error;
    Output o = RunBlock(*inst, 1000);
    Signal s(1000);
    EXPECT_EQ(o.left, s.left);
    EXPECT_EQ(o.right, s.right);
    // And back: processing resumes (the start of the run is the low-passed signal again).
    ASSERT_TRUE(inst->SetParameter("MasterBypassID", 0.0, &error)) << error;
    Output p = RunBlock(*inst, 1000, 1000);
    EXPECT_NE(p.left, Signal(1000, 1000).left);
}

TEST_F(HostInstance, AnEditReachesTheNextBlock) {
    auto a = Make(AAX_eStemFormat_Stereo);
    auto b = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    Output a1 = RunBlock(*a, 2000);
    Output b1 = RunBlock(*b, 2000);
    EXPECT_EQ(a1.left, b1.left);

    // "OutGain" 0.25 is an output gain of 0.5 instead of 1: exactly half from the next block on.
    std::string error;
    ASSERT_TRUE(b->SetParameterFromText("OutGain", "0.25", &error)) << error;
    double v = 0.0;
    ASSERT_TRUE(b->GetParameterValue("OutGain", &v, &error));
    EXPECT_DOUBLE_EQ(v, 0.25);
    Output a2 = RunBlock(*a, 2000, 2000);
    Output b2 = RunBlock(*b, 2000, 2000);
    for (size_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(b2.left[i], a2.left[i] * 0.5f) << i;
        ASSERT_EQ(b2.right[i], a2.right[i] * 0.5f) << i;
    }

    // "Action" 0 sets the threshold to 0: the gain reduction shows on the meter.
    ASSERT_TRUE(a->SetParameter("Action", 0.0, &error)) << error;
    RunBlock(*a, 4800, 4000);
    EXPECT_GT(a->MeterValue(0), 0.5f);
    EXPECT_EQ(a->ProblemCount(), 0);
    EXPECT_EQ(b->ProblemCount(), 0);
}

TEST_F(HostInstance, ParametersAreListedInTheirOrderWithTheirDefaults) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    ASSERT_EQ(inst->ParameterCount(), 9);
    const char* ids[9] = {"MasterBypassID", "InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain"};
    const double defaults[9] = {0.0, 0.5, 0.5, 1.0, 0.5, 1.0, 1.0, 0.5, 0.5};
    std::string error;
    for (int32_t i = 0; i < 9; ++i) {
        MarovexParameterInfo info;
        ASSERT_TRUE(inst->GetParameterInfo(i, &info, &error)) << error;
        EXPECT_EQ(info.id, ids[i]);
        EXPECT_DOUBLE_EQ(info.defaultNormalized, defaults[i]);
        EXPECT_DOUBLE_EQ(info.normalized, defaults[i]);
        EXPECT_TRUE(info.automatable);
        EXPECT_TRUE(inst->IsRegisteredParameter(ids[i]));
    }
    MarovexParameterInfo bypass;
    ASSERT_TRUE(inst->FindParameterInfo("MasterBypassID", &bypass, &error)) << error;
    EXPECT_EQ(bypass.name, "Master Bypass");
    EXPECT_EQ(bypass.type, AAX_eParameterType_Discrete);
    EXPECT_EQ(bypass.steps, 2);
    EXPECT_EQ(bypass.defaultText, "bypass");
    EXPECT_EQ(bypass.valueText, "bypass");
    MarovexParameterInfo adj;
    ASSERT_TRUE(inst->FindParameterInfo("Adj", &adj, &error)) << error;
    EXPECT_EQ(adj.name, "Adj");
    EXPECT_EQ(adj.type, AAX_eParameterType_Continuous);
    EXPECT_EQ(adj.steps, 9);
    EXPECT_EQ(adj.defaultText, "0.50");
    ASSERT_TRUE(inst->SetParameter("Adj", 0.375, &error)) << error;
    ASSERT_TRUE(inst->FindParameterInfo("Adj", &adj, &error)) << error;
    EXPECT_DOUBLE_EQ(adj.normalized, 0.375);
    EXPECT_EQ(adj.valueText, "0.38");
    EXPECT_EQ(adj.defaultText, "0.50");
    EXPECT_EQ(inst->OpenTouchCount(), 0);

    MarovexParameterInfo none;
    EXPECT_FALSE(inst->GetParameterInfo(9, &none, &error));
    EXPECT_FALSE(inst->FindParameterInfo("Nope", &none, &error));
}

TEST_F(HostInstance, BadParameterRequestsAreRefusedWithAReason) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    std::string error;
    EXPECT_FALSE(inst->SetParameter("Nope", 0.5, &error));
    EXPECT_NE(error.find("Nope"), std::string::npos);
    EXPECT_FALSE(inst->SetParameter("Width", 1.5, &error));
    EXPECT_FALSE(inst->SetParameter("Width", std::nan(""), &error));
    EXPECT_FALSE(inst->SetParameterFromText("Width", "abc", &error));
    EXPECT_NE(error.find("abc"), std::string::npos);
    EXPECT_FALSE(inst->SetParameterFromText("MasterBypassID", "On", &error));
    double v = 0.0;
    ASSERT_TRUE(inst->GetParameterValue("Width", &v, &error));
    EXPECT_DOUBLE_EQ(v, 1.0);
    EXPECT_EQ(inst->ProblemCount(), 0);
}

TEST_F(HostInstance, StateRecordHasTheHeaderAndTheStoredFormat) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    std::vector<uint8_t> record;
    std::string error;
    ASSERT_TRUE(inst->SaveState(&record, &error)) << error;
    ASSERT_EQ(record.size(), 56u + 144u);
    AAX_SPlugInChunkHeader h;
    std::memcpy(&h, record.data(), sizeof h);
    EXPECT_EQ(h.mSize, 144);
    EXPECT_EQ(h.mVersion, -1);
    EXPECT_EQ(h.mReserved[0], 0);
    EXPECT_EQ(h.mReserved[1], 0);
    EXPECT_EQ(h.mReserved[2], 0);
    EXPECT_EQ(h.mChunkID, 0x656C636Bu);  // 'elck'
    char name[33] = {};
    std::memcpy(name, h.mName, 32);
    EXPECT_STREQ(name, "Complete Controls State");
    const std::vector<uint8_t> start(record.begin() + 56, record.begin() + 56 + 24);
    const std::vector<uint8_t> expected = {1, 1, 1, 1, 'd', '_', 'I', 'n', 'G', 'a', 'i', 'n',
                                           0, 0, 0, 0, 0x3F, 0xE0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(start, expected);
}

TEST_F(HostInstance, StateRoundTripsComparesAndLeavesTheBypassAlone) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    std::string error;
    ASSERT_TRUE(inst->SetParameter("OutGain", 0.25, &error)) << error;
    ASSERT_TRUE(inst->SetParameter("MasterBypassID", 1.0, &error)) << error;
    std::vector<uint8_t> saved;
    ASSERT_TRUE(inst->SaveState(&saved, &error)) << error;
    bool equal = false;
    ASSERT_TRUE(inst->CompareState(saved, &equal, &error)) << error;
    EXPECT_TRUE(equal);

    ASSERT_TRUE(inst->SetParameter("OutGain", 0.75, &error)) << error;
    ASSERT_TRUE(inst->SetParameter("MasterBypassID", 0.0, &error)) << error;
    ASSERT_TRUE(inst->CompareState(saved, &equal, &error)) << error;
    EXPECT_FALSE(equal);

    ASSERT_TRUE(inst->LoadState(saved, &error)) << error;
    double v = -1.0;
    ASSERT_TRUE(inst->GetParameterValue("OutGain", &v, &error));
    EXPECT_DOUBLE_EQ(v, 0.25);
    ASSERT_TRUE(inst->GetParameterValue("MasterBypassID", &v, &error));
    EXPECT_DOUBLE_EQ(v, 0.0);
    ASSERT_TRUE(inst->CompareState(saved, &equal, &error)) << error;
    EXPECT_TRUE(equal);

    // Through a file, into another instance.
    const std::string path = ::testing::TempDir() + "/marovex_host_state.bin";
    ASSERT_TRUE(inst->SaveStateFile(path, &error)) << error;
    auto other = Make(AAX_eStemFormat_Mono);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(other->LoadStateFile(path, &error)) << error;
    ASSERT_TRUE(other->GetParameterValue("OutGain", &v, &error));
    EXPECT_DOUBLE_EQ(v, 0.25);
    std::remove(path.c_str());
    EXPECT_EQ(inst->OpenTouchCount(), 0);
}

TEST_F(HostInstance, CorruptStateRecordsAreRejectedBeforeThePluginSeesThem) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    std::string error;
    std::vector<uint8_t> good;
    ASSERT_TRUE(inst->SaveState(&good, &error)) << error;
    ASSERT_TRUE(inst->SetParameter("Width", 0.0, &error));

    std::vector<std::vector<uint8_t>> bad;
    bad.emplace_back(good.begin(), good.begin() + 55);       // shorter than the header
    bad.emplace_back(good.begin(), good.end() - 1);          // one byte missing
    bad.push_back(good);
    bad.back().push_back(0);                                 // one byte too many
    bad.push_back(good);
    const int32_t negative = -4;
    std::memcpy(bad.back().data(), &negative, 4);            // negative size
    bad.push_back(good);
    const int32_t larger = 1 << 30;
    std::memcpy(bad.back().data(), &larger, 4);              // size far past the record
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        error.clear();
        EXPECT_FALSE(inst->LoadState(bad[i], &error));
        EXPECT_NE(error.find("state record"), std::string::npos) << error;
        bool equal = true;
        EXPECT_FALSE(inst->CompareState(bad[i], &equal, &error));
        EXPECT_FALSE(MarovexInstance::CheckStateRecord(bad[i].data(), bad[i].size(), nullptr));
    }
    double v = -1.0;
    ASSERT_TRUE(inst->GetParameterValue("Width", &v, &error));
    EXPECT_DOUBLE_EQ(v, 0.0);
    EXPECT_FALSE(inst->LoadStateFile("/nonexistent/state.bin", &error));
}

TEST_F(HostInstance, CreationAndProcessRefuseUnusableArguments) {
    std::string error;
    EXPECT_EQ(MarovexInstance::Create(sModule, 2, kRate, 64, &error), nullptr);
    EXPECT_NE(error.find("stem format"), std::string::npos) << error;
    EXPECT_EQ(MarovexInstance::Create(sModule, 1, 0.0f, 64, &error), nullptr);
    EXPECT_EQ(MarovexInstance::Create(sModule, 1, kRate, 0, &error), nullptr);
    EXPECT_EQ(MarovexInstance::Create(nullptr, 1, kRate, 64, &error), nullptr);
    EXPECT_EQ(sModule->LiveObjectCount(), 0);

    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    float buffer[4] = {};
    const float* in[2] = {buffer, nullptr};
    float* out[2] = {buffer, buffer};
    EXPECT_FALSE(inst->Process(in, out, 4, &error));
    EXPECT_FALSE(inst->Process(nullptr, nullptr, 4, &error));
    EXPECT_FALSE(inst->Process(in, out, -1, &error));
    EXPECT_TRUE(inst->Process(nullptr, nullptr, 0, &error));
    EXPECT_EQ(inst->BlocksProcessed(), 0u);
}

// An instance made without a sample rate: the plug-in is told 0 Hz, so its data model posts the
// value packets but no coefficient block (one computed at 0 Hz would not be finite); parameters,
// state and the editor work; nothing processes, on either path; Create still refuses 0 Hz.
TEST_F(HostInstance, AnInstanceWithoutASampleRateWorksExceptForProcessing) {
    std::string error;
    EXPECT_EQ(MarovexInstance::Create(sModule, AAX_eStemFormat_Stereo, 0.0f, 64, &error), nullptr);
    auto inst = MarovexInstance::CreateWithoutSampleRate(sModule, AAX_eStemFormat_Stereo, 64, &error);
    ASSERT_NE(inst, nullptr) << error;
    EXPECT_EQ(inst->SampleRate(), 0.0f);
    AAX_IACFController* controller = nullptr;
    ASSERT_EQ(inst->HostObject()->QueryInterface(IID_IAAXControllerV1, reinterpret_cast<void**>(&controller)), 0);
    float rate = -1.0f;
    EXPECT_EQ(controller->GetSampleRate(&rate), 0);
    EXPECT_EQ(rate, 0.0f);
    controller->Release();

    constexpr AAX_CFieldIndex kFreqA = 4, kCoefsW = 14, kCoefsA = 15;
    ASSERT_TRUE(inst->SetParameter("FreqA", 0.75, &error)) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(inst->LatestPacket(kFreqA, &bytes));
    ASSERT_GE(bytes.size(), sizeof(float));
    float value = 0.0f;
    std::memcpy(&value, bytes.data(), sizeof value);
    EXPECT_EQ(value, 0.75f);
    EXPECT_FALSE(inst->LatestPacket(kCoefsW, &bytes));
    EXPECT_FALSE(inst->LatestPacket(kCoefsA, &bytes));

    std::vector<uint8_t> saved;
    ASSERT_TRUE(inst->SaveState(&saved, &error)) << error;
    auto rated = Make(AAX_eStemFormat_Stereo, 64);
    ASSERT_TRUE(rated && rated->LoadState(saved, &error)) << error;
    double v = 0.0;
    ASSERT_TRUE(rated->GetParameterValue("FreqA", &v, &error));
    EXPECT_EQ(float(v), 0.75f);
    auto gui = inst->CreateGui(&error);
    ASSERT_NE(gui, nullptr) << error;
    gui->Interface()->TimerWakeup();
    gui.reset();

    float buffer[64] = {};
    const float* in[2] = {buffer, buffer};
    float* out[2] = {buffer, buffer};
    EXPECT_EQ(inst->ProcessInCaller(in, out, 64), MarovexProcessStatus::NoSampleRate);
    EXPECT_FALSE(inst->Process(in, out, 64, &error));
    EXPECT_NE(error.find("without a sample rate"), std::string::npos) << error;
    EXPECT_FALSE(inst->StartAudioThread(std::make_shared<MarovexLoopingSource>(std::vector<std::vector<float>>{}), 64,
                                        &error));
    EXPECT_FALSE(inst->AudioThreadRunning());
    EXPECT_EQ(inst->BlocksProcessed(), 0u);
    EXPECT_EQ(inst->PacketsDelivered(), 0u);
    EXPECT_EQ(inst->ProblemCount(), 0);
    inst.reset();
    rated.reset();
    EXPECT_EQ(sModule->LiveObjectCount(), 0);
}

// The host's side of the plug-in's calls: packets are checked against the declared fields, queued
// without loss, and the controller answers the instance's settings.
TEST_F(HostInstance, HostChecksPacketsAgainstTheDeclaredFields) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    AAX_IACFController* controller = nullptr;
    ASSERT_EQ(inst->HostObject()->QueryInterface(IID_IAAXControllerV1, reinterpret_cast<void**>(&controller)), 0);
    float rate = 0.0f;
    EXPECT_EQ(controller->GetSampleRate(&rate), 0);
    EXPECT_EQ(rate, kRate);
    uint32_t meters = 0;
    EXPECT_EQ(controller->GetMeterCount(&meters), 0);
    EXPECT_EQ(meters, 1u);
    float meter = -1.0f;
    EXPECT_EQ(controller->GetCurrentMeterValue(0x6D475231u, &meter), 0);
    EXPECT_EQ(controller->GetCurrentMeterValue(0x12345678u, &meter), -20004);

    uint8_t bytes[32] = {};
    const int32_t before = inst->ProblemCount();
    EXPECT_EQ(controller->PostPacket(9, bytes, 4), ACF_E_FAIL);    // audio input, not a data port
    EXPECT_EQ(controller->PostPacket(99, bytes, 4), ACF_E_FAIL);   // not declared at all
    EXPECT_EQ(controller->PostPacket(1, bytes, 9), ACF_E_FAIL);    // 4-byte port: at most 8 bytes
    EXPECT_EQ(controller->PostPacket(1, nullptr, 4), -20004);
    EXPECT_EQ(inst->ProblemCount(), before + 4);
    EXPECT_EQ(controller->PostPacket(1, bytes, 8), 0);
    EXPECT_EQ(controller->PostPacket(15, bytes, 28), 0);            // 24-byte port: at most 28
    EXPECT_EQ(controller->PostPacket(15, bytes, 29), ACF_E_FAIL);
    EXPECT_EQ(inst->ProblemCount(), before + 5);
    controller->Release();
}

TEST_F(HostInstance, AFloodOfPacketsLosesNothingAndTheLatestOneWins) {
    auto a = Make(AAX_eStemFormat_Stereo);
    auto b = Make(AAX_eStemFormat_Stereo);
    ASSERT_TRUE(a && b);
    // The first block carries the data model's first dispatch of every parameter.
    RunBlock(*a, 256);
    RunBlock(*b, 256);

    // A flood of packets for the eight value ports, ending with each port's
    // default except "OutGain", which ends at 0.25 (an output gain of 0.5).
    AAX_IACFController* controller = nullptr;
    ASSERT_EQ(b->HostObject()->QueryInterface(IID_IAAXControllerV1, reinterpret_cast<void**>(&controller)), 0);
    auto post = [&](int32_t field, float value) {
        uint8_t packet[8] = {};
        std::memcpy(packet, &value, 4);
        ASSERT_EQ(controller->PostPacket(field, packet, 8), 0);
    };
    const uint32_t flood = 3000;
    for (uint32_t i = 0; i < flood; ++i) post(1 + int32_t(i % 8), float(i % 7) / 7.0f);
    const float finals[8] = {0.5f, 0.5f, 1.0f, 0.5f, 1.0f, 1.0f, 0.5f, 0.25f};
    for (int32_t field = 1; field <= 8; ++field) post(field, finals[field - 1]);
    controller->Release();
    const uint64_t before = b->PacketsDelivered();

    Output a2 = RunBlock(*a, 256, 256);
    Output b2 = RunBlock(*b, 256, 256);
    for (size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(b2.left[i], a2.left[i] * 0.5f) << i;
        ASSERT_EQ(b2.right[i], a2.right[i] * 0.5f) << i;
    }
    // Each port's latest packet went into the context once.
    EXPECT_EQ(b->PacketsDelivered() - before, 8u);
    EXPECT_EQ(b->ProblemCount(), 0);
}

TEST_F(HostInstance, HostReportsUnbalancedTouchesAndUnknownParameters) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    AAX_IACFAutomationDelegate* automation = nullptr;
    ASSERT_EQ(inst->HostObject()->QueryInterface(IID_IAAXAutomationDelegateV1,
                                                 reinterpret_cast<void**>(&automation)),
              0);
    const int32_t before = inst->ProblemCount();
    EXPECT_EQ(automation->PostReleaseRequest("Width"), 0);  // never touched
    EXPECT_EQ(inst->ProblemCount(), before + 1);
    EXPECT_EQ(automation->PostTouchRequest("Width"), 0);
    AAX_CBoolean touched = 0;
    EXPECT_EQ(automation->GetTouchState("Width", &touched), 0);
    EXPECT_EQ(touched, 1);
    EXPECT_EQ(inst->OpenTouchCount(), 1);
    EXPECT_EQ(automation->PostReleaseRequest("Width"), 0);
    EXPECT_EQ(inst->OpenTouchCount(), 0);
    EXPECT_EQ(automation->PostSetValueRequest("Unknown", 0.5), -20001);  // the data model's answer
    EXPECT_EQ(inst->ProblemCount(), before + 3);  // unregistered, then the refused update
    EXPECT_EQ(automation->PostSetValueRequest("Width", std::nan("")), -20002);
    EXPECT_EQ(automation->PostSetValueRequest("Width", 2.0), 0);  // clamped to 1
    double v = 0.0;
    std::string error;
    ASSERT_TRUE(inst->GetParameterValue("Width", &v, &error));
    EXPECT_DOUBLE_EQ(v, 1.0);
    automation->Release();
}

TEST_F(HostInstance, MisbehaviourGoesThroughTheOneReporterSayingWhereWhatAndWhatIsDone) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    AAX_IACFAutomationDelegate* automation = nullptr;
    ASSERT_EQ(inst->HostObject()->QueryInterface(IID_IAAXAutomationDelegateV1,
                                                 reinterpret_cast<void**>(&automation)),
              0);
    std::vector<MarovexReport> reports;
    const auto previous = MarovexSetReportSink([&](const MarovexReport& r) { reports.push_back(r); });
    const int32_t before = inst->ProblemCount();
    EXPECT_EQ(automation->PostSetValueRequest("Width", 2.0), 0);
    // An identifier that would move the cursor and clear the screen if printed as it is.
    EXPECT_EQ(automation->PostReleaseRequest("\x1b[2J\x1b[H"), 0);
    MarovexSetReportSink(previous);
    automation->Release();

    EXPECT_EQ(inst->ProblemCount(), before + 2);  // every report of an instance is also counted
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].where, "data model");
    EXPECT_EQ(reports[0].what, "asked to set \"Width\" to 2");
    EXPECT_EQ(reports[0].action, "clamped to 0 to 1");
    EXPECT_EQ(MarovexReportLine(reports[1]),
              "marovex: data model: released parameter \"\\x1B[2J\\x1B[H\" without touching it; ignored");
}

namespace {

// A looping source that keeps the first `frames` of the output it is handed.
class Recorder : public MarovexLoopingSource {
public:
    Recorder(std::vector<std::vector<float>> in, size_t frames)
        : MarovexLoopingSource(std::move(in)), left(frames), right(frames) {}
    void Consume(const float* const* out, int32_t channels, int32_t frames) noexcept override {
        for (int32_t i = 0; i < frames && kept < left.size(); ++i, ++kept) {
            left[kept] = out[0][i];
            right[kept] = out[channels - 1][i];
        }
        done.store(kept == left.size(), std::memory_order_release);
    }
    std::vector<float> left, right;
    size_t kept = 0;
    std::atomic<bool> done{false};
};

// Waits (without a time limit that could fail the test on a slow machine) for a condition.
template <class F>
void WaitFor(F&& condition) {
    while (!condition()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

// One render, six ways: in the caller's thread in blocks of 4096, 17 and 1 frames, in place in
// blocks of 256, and on the instance's own audio thread in blocks of 256, paced in real time and
// unpaced: the same output bits.
TEST_F(HostInstance, BothWaysOfProcessingAndEveryBlockLengthGiveTheSameBits) {
    constexpr size_t kFrames = 9000;
    std::string error;
    auto make = [&](int32_t maxBlock) {
        auto i = Make(AAX_eStemFormat_Stereo, maxBlock);
        EXPECT_TRUE(i && i->SetParameter("Action", 0.3, &error) && i->SetParameter("FreqA", 0.8, &error) &&
                    i->SetParameter("Width", 0.2, &error)) << error;
        return i;
    };
    auto whole = make(4096), seventeen = make(17), single = make(4096), inPlace = make(256), owned = make(256),
         unpaced = make(256);
    ASSERT_TRUE(whole && seventeen && single && inPlace && owned && unpaced);
    const Output w = RunBlock(*whole, kFrames);
    const Output split = RunBlock(*seventeen, kFrames);
    EXPECT_EQ(split.left, w.left);
    EXPECT_EQ(split.right, w.right);
    EXPECT_EQ(seventeen->BlocksProcessed(), (kFrames + 16) / 17);
    Signal io(kFrames);
    float* both[2] = {io.left.data(), io.right.data()};
    ASSERT_TRUE(inPlace->Process(both, both, int32_t(kFrames), &error)) << error;
    EXPECT_EQ(io.left, w.left);
    EXPECT_EQ(io.right, w.right);
    Signal s(kFrames);
    Output o(kFrames);
    for (size_t i = 0; i < kFrames; ++i) {
        const float* in[2] = {&s.left[i], &s.right[i]};
        float* out[2] = {&o.left[i], &o.right[i]};
        ASSERT_EQ(single->ProcessInCaller(in, out, 1), MarovexProcessStatus::Done) << i;
    }
    EXPECT_EQ(o.left, w.left);
    EXPECT_EQ(o.right, w.right);

    auto recorder = std::make_shared<Recorder>(std::vector<std::vector<float>>{s.left, s.right}, kFrames);
    ASSERT_TRUE(owned->StartAudioThread(recorder, 256, &error)) << error;
    EXPECT_TRUE(owned->AudioThreadRunning());
    // While the owned thread runs, nobody else processes the instance.
    EXPECT_EQ(owned->ProcessInCaller(nullptr, nullptr, 0), MarovexProcessStatus::Busy);
    EXPECT_FALSE(owned->StartAudioThread(recorder, 256, &error));
    WaitFor([&] { return recorder->done.load(std::memory_order_acquire); });
    owned->StopAudioThread();
    EXPECT_FALSE(owned->AudioThreadRunning());
    EXPECT_EQ(recorder->left, w.left);
    EXPECT_EQ(recorder->right, w.right);
    EXPECT_EQ(owned->ProcessInCaller(nullptr, nullptr, 0), MarovexProcessStatus::Done);

    // Unpaced, the thread races on past the recorded frames until it is stopped; what it recorded is
    // the same render. A pacing it does not know starts nothing.
    auto fast = std::make_shared<Recorder>(std::vector<std::vector<float>>{s.left, s.right}, kFrames);
    EXPECT_FALSE(unpaced->StartAudioThread(fast, 256, &error, static_cast<MarovexPacing>(2)));
    EXPECT_FALSE(unpaced->AudioThreadRunning());
    ASSERT_TRUE(unpaced->StartAudioThread(fast, 256, &error, MarovexPacing::Unpaced)) << error;
    EXPECT_EQ(unpaced->ProcessInCaller(nullptr, nullptr, 0), MarovexProcessStatus::Busy);
    WaitFor([&] { return unpaced->BlocksProcessed() > 4 * kFrames / 256; });
    unpaced->StopAudioThread();
    EXPECT_FALSE(unpaced->AudioThreadRunning());
    EXPECT_TRUE(fast->done.load(std::memory_order_acquire));
    EXPECT_EQ(fast->left, w.left);
    EXPECT_EQ(fast->right, w.right);
    EXPECT_EQ(unpaced->ProcessInCaller(nullptr, nullptr, 0), MarovexProcessStatus::Done);
}

// The threading contract, exercised: while the owned audio thread processes, other threads edit
// and read parameters, save, compare and load state, open and close editors and read the meter.
TEST_F(HostInstance, ControlThreadsOverlapProcessingAndEachOther) {
    auto inst = Make(AAX_eStemFormat_Stereo, 64);
    ASSERT_NE(inst, nullptr);
    Signal s(4800);
    ASSERT_TRUE(inst->StartAudioThread(
        std::make_shared<MarovexLoopingSource>(std::vector<std::vector<float>>{s.left, s.right}), 64, nullptr));
    std::atomic<bool> failed{false};
    auto run = [&](auto body) {
        return std::thread([&, body] {
            std::string error;
            for (int i = 0; i < 150; ++i) {
                if (!body(i, &error)) failed = true;
            }
        });
    };
    std::vector<std::thread> threads;
    threads.push_back(run([&](int i, std::string* e) { return inst->SetParameter("OutGain", (i % 10) / 10.0, e); }));
    threads.push_back(run([&](int, std::string* e) {
        double v = 0.0;
        MarovexParameterInfo info;
        return inst->GetParameterValue("OutGain", &v, e) && inst->FindParameterInfo("FreqA", &info, e) &&
               v >= 0.0 && v <= 1.0 && inst->MeterValue(0) >= 0.0f;
    }));
    threads.push_back(run([&](int, std::string* e) {
        std::vector<uint8_t> record;
        bool equal = false;
        return inst->SaveState(&record, e) && inst->CompareState(record, &equal, e) && inst->LoadState(record, e);
    }));
    threads.push_back(run([&](int, std::string* e) { return inst->CreateGui(e) != nullptr; }));
    for (auto& t : threads) t.join();
    inst->StopAudioThread();
    EXPECT_FALSE(failed);
    EXPECT_GT(inst->BlocksProcessed(), 0u);
    EXPECT_EQ(inst->ProblemCount(), 0);
    EXPECT_EQ(inst->OpenTouchCount(), 0);
}

// An editor closed after its instance: its host object refuses late calls instead of reaching the
// freed instance, and closing it touches nothing of the instance.
TEST_F(HostInstance, AnEditorOutlivingItsInstanceIsRefusedNotCrashed) {
    auto inst = Make(AAX_eStemFormat_Stereo);
    ASSERT_NE(inst, nullptr);
    std::string error;
    auto gui = inst->CreateGui(&error);
    ASSERT_NE(gui, nullptr) << error;
    inst.reset();
    AAX_IACFController* controller = nullptr;
    ASSERT_EQ(gui->HostObject()->QueryInterface(IID_IAAXControllerV1, reinterpret_cast<void**>(&controller)), 0);
    float rate = 0.0f;
    EXPECT_EQ(controller->GetSampleRate(&rate), -20004);
    EXPECT_EQ(controller->PostPacket(1, &rate, 4), -20004);
    controller->Release();
    AAX_IACFAutomationDelegate* automation = nullptr;
    ASSERT_EQ(gui->HostObject()->QueryInterface(IID_IAAXAutomationDelegateV1, reinterpret_cast<void**>(&automation)),
              0);
    EXPECT_EQ(automation->PostSetValueRequest("Width", 0.5), -20004);
    automation->Release();
    void* model = nullptr;
    EXPECT_NE(gui->HostObject()->QueryInterface(IID_IAAXEffectParametersV1, &model), 0);
    gui.reset();
    EXPECT_EQ(sModule->LiveObjectCount(), 0);
}

// Corners at or beyond the Nyquist frequency of a low rate stay stable: every render is finite.
TEST_F(HostInstance, LowSampleRateRendersAreFinite) {
    Signal s(2048);
    for (float rate : {8000.0f, 11025.0f}) {
        for (double freqA : {0.0, 0.5, 1.0}) {
            for (double freqW : {0.0, 0.5, 1.0}) {
                std::string error;
                auto inst = MarovexInstance::Create(sModule, AAX_eStemFormat_Stereo, rate, 512, &error);
                ASSERT_TRUE(inst && inst->SetParameter("FreqA", freqA, &error) &&
                            inst->SetParameter("FreqW", freqW, &error)) << error;
                Output o(2048);
                const float* in[2] = {s.left.data(), s.right.data()};
                float* out[2] = {o.left.data(), o.right.data()};
                ASSERT_TRUE(inst->Process(in, out, 2048, &error)) << error;
                for (size_t i = 0; i < 2048; ++i) {
                    ASSERT_TRUE(std::isfinite(o.left[i]) && std::isfinite(o.right[i]))
                        << rate << " Hz, FreqA " << freqA << ", FreqW " << freqW << ", frame " << i;
                }
            }
        }
    }
}

// Processing in the caller's thread allocates nothing, also for a block that delivers packets.
TEST_F(HostInstance, ProcessingInTheCallerAllocatesNothing) {
    auto inst = Make(AAX_eStemFormat_Stereo, 256);
    ASSERT_NE(inst, nullptr);
    Signal s(1024);
    Output o(1024);
    const float* in[2] = {s.left.data(), s.right.data()};
    float* out[2] = {o.left.data(), o.right.data()};
    ASSERT_TRUE(inst->SetParameter("FreqA", 0.7, nullptr) && inst->SetParameter("OutGain", 0.4, nullptr));
    const uint64_t before = inst->PacketsDelivered();
    tCounting = true;
    const MarovexProcessStatus status = inst->ProcessInCaller(in, out, 1024);
    tCounting = false;
    EXPECT_EQ(status, MarovexProcessStatus::Done);
    EXPECT_GT(inst->PacketsDelivered(), before);
    EXPECT_EQ(tAllocations, 0);
}
