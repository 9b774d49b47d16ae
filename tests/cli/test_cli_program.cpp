// The marovex program run as a user runs it: spawned from here on files made here, its output compared
// bit for bit with the kernel run in-process, its saved files read back, and its failures checked for
// exit status, message and the files they leave.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "MarovexPresetText.h"
#include "RunProgram.h"
#include "Tandrel_Alg.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------------------------------
// Audio files

struct Audio {
    int channels = 0;
    int sampleRate = 0;
    int format = 0;
    std::vector<float> samples;  // interleaved
    int64_t Frames() const { return channels ? int64_t(samples.size()) / channels : 0; }
};

void WriteAudio(const std::string& path, const Audio& a) {
    SF_INFO info = {};
    info.format = a.format;
    info.channels = a.channels;
    info.samplerate = a.sampleRate;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_float(f, a.samples.data(), a.Frames()), a.Frames());
    sf_close(f);
}

Audio ReadAudio(const std::string& path) {
    Audio a;
    SF_INFO info = {};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) {
        ADD_FAILURE() << "cannot read " << path;
        return a;
    }
    a.channels = info.channels;
    a.sampleRate = info.samplerate;
    a.format = info.format;
    a.samples.resize(size_t(info.frames) * size_t(info.channels));
    EXPECT_EQ(sf_readf_float(f, a.samples.data(), info.frames), info.frames);
    sf_close(f);
    return a;
}

// Bit-for-bit equality, reporting the first difference.
::testing::AssertionResult SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) {
            return ::testing::AssertionFailure() << "sample " << i << ": " << a[i] << " vs " << b[i];
        }
    }
    return ::testing::AssertionSuccess();
}

// A test signal with a quiet part, a loud part that drives the detector, and a silent tail in which the
// filters decay into the denormal range (where flush-to-zero decides the result).
Audio TestSignal(int channels, int sampleRate, int frames, uint32_t seed) {
    Audio a;
    a.channels = channels;
    a.sampleRate = sampleRate;
    a.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    a.samples.resize(size_t(frames) * channels);
    uint32_t state = seed;
    const auto noise = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return float(int32_t(state)) * (1.0f / 2147483648.0f);
    };
    for (int n = 0; n < frames; ++n) {
        const double t = double(n) / sampleRate;
        const bool loud = n >= frames * 4 / 10 && n < frames * 7 / 10;
        const bool silent = n >= frames - 2000;
        for (int c = 0; c < channels; ++c) {
            float x = float(0.4 * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * t)) + 0.15f * noise();
            if (loud) x = float(0.6 * std::sin(2.0 * M_PI * 90.0 * t + c)) + 0.35f * noise();
            a.samples[size_t(n) * channels + c] = silent ? 0.0f : x;
        }
    }
    return a;
}

// ---------------------------------------------------------------------------------------------------
// The kernel in-process, fed by hand as the host feeds it

struct Settings {
    int32_t bypass = 0;
    float inGain = 0.5f, freqW = 0.5f, width = 1.0f, freqA = 0.5f, action = 1.0f, dyn = 1.0f, adj = 0.5f,
          outGain = 0.5f;
};

// The first-order low-pass block of a frequency parameter: corner v * k1 + k0 Hz.
STandrel_FilterCoefs Coefs(float v, float k1, float k0, float sampleRate) {
    const float h = ((v * k1 + k0) * 6.2831855f / sampleRate) * 0.5f;
    const float s = float(std::sin(double(h)));
    const float c = float(std::cos(double(h)));
    return {s, s, 0.0f, 1.0f / (s + c), s - c, 0.0f};
}

// Runs the kernel over `in` in segments starting at `starts` (ascending, from 0) with the settings in
// force at each segment's first frame, on this thread with flush-to-zero and denormals-are-zero set,
// as the host's audio thread runs.
std::vector<float> ReferenceSegments(const Audio& in, const std::vector<int64_t>& starts,
                                     const std::function<Settings(int64_t)>& settingsAt) {
    const unsigned savedCsr = _mm_getcsr();
    _mm_setcsr(savedCsr | 0x8040u);
    const int ch = in.channels;
    const float sr = float(in.sampleRate);
    STandrel_Alg_PrivateData priv;
    std::memset(&priv, 0xA5, sizeof priv);
    EXPECT_EQ(Tandrel_ResetFieldData(eTandrelField_PrivateData, &priv, sizeof priv), -20025);
    std::vector<std::vector<float>> inBuf(ch), outBuf(ch);
    std::vector<float> out(in.samples.size());
    for (size_t k = 0; k < starts.size() && starts[k] < in.Frames(); ++k) {
        const int64_t start = starts[k];
        const int64_t end = k + 1 < starts.size() ? std::min(starts[k + 1], in.Frames()) : in.Frames();
        int32_t n = int32_t(end - start);
        Settings s = settingsAt(start);
        STandrel_FilterCoefs w = Coefs(s.freqW, 900.0f, 100.0f, sr);
        STandrel_FilterCoefs a = Coefs(s.freqA, 5000.0f, 1000.0f, sr);
        float* ins[2];
        float* outs[2];
        for (int c = 0; c < ch; ++c) {
            inBuf[c].resize(size_t(n));
            outBuf[c].resize(size_t(n));
            for (int32_t i = 0; i < n; ++i) inBuf[c][i] = in.samples[size_t(start + i) * ch + c];
            ins[c] = inBuf[c].data();
            outs[c] = outBuf[c].data();
        }
        float meter = 0.0f;
        float* meters[1] = {&meter};
        float rate = sr;
        STandrel_Alg_Context ctx{&s.bypass, &s.inGain, &s.freqW, &s.width, &s.freqA, &s.action, &s.dyn, &s.adj,
                                 &s.outGain, ins, outs, &n, &rate, meters, &w, &a, &priv};
        STandrel_Alg_Context* contexts[1] = {&ctx};
        if (ch == 1) Tandrel_AlgorithmProcessFunction<1, 1>(contexts, contexts + 1);
        else Tandrel_AlgorithmProcessFunction<2, 2>(contexts, contexts + 1);
        for (int c = 0; c < ch; ++c) {
            for (int32_t i = 0; i < n; ++i) out[size_t(start + i) * ch + c] = outBuf[c][i];
        }
    }
    _mm_setcsr(savedCsr);
    return out;
}

std::vector<float> Reference(const Audio& in, int block, const Settings& settings) {
    std::vector<int64_t> starts;
    for (int64_t f = 0; f < in.Frames(); f += block) starts.push_back(f);
    return ReferenceSegments(in, starts, [&](int64_t) { return settings; });
}

// ---------------------------------------------------------------------------------------------------
// Running the program

using runprogram::RunResult;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/marovex-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        mRoot = pattern;
        mDir = mRoot / "work";
        fs::create_directory(mDir);
    }
    void TearDown() override { fs::remove_all(mRoot); }

    std::string P(const std::string& name) const { return (mDir / name).string(); }

    // Runs marovex with `args` in the work folder; standard output and error are captured in files
    // outside it.
    // `environment` adds NAME=VALUE entries; `input` (a path in the work folder) becomes standard
    // input; `output` (likewise) receives standard output instead of RunResult::out.
    RunResult Marovex(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
                      const std::string& input = "", const std::string& output = "") {
        std::vector<std::string> all = {MAROVEX_CLI_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        const std::string outPath = output.empty() ? (mRoot / "stdout").string() : P(output);
        const std::string errPath = (mRoot / "stderr").string();
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
        env.insert(env.end(), environment.begin(), environment.end());
        const std::string inPath = input.empty() ? std::string("/dev/null") : P(input);
        RunResult run;
        run.status = runprogram::SpawnAndWait(all, env, mDir.string(), inPath, outPath, errPath);
        if (run.status < 0) return run;
        run.out = output.empty() ? ReadText(outPath) : std::string();
        run.err = ReadText(errPath);
        return run;
    }

    // Every name in the work folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(mDir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path mRoot;
    fs::path mDir;
};

#define EXPECT_RUN(run, expected) EXPECT_EQ((run).status, expected) << "stderr: " << (run).err

const std::vector<std::string> kStereoSets = {"--set", "1=0.7",       "--set", "FreqW=0.2",  "--set", "Width=0.35",
                                              "--set", "FreqA=0.8",   "--set", "Action=0.3", "--set", "Dyn=0.6",
                                              "--set", "Adj=0.375",   "--set", "OutGain=0.45"};
Settings StereoSettings() {
    Settings s;
    s.inGain = 0.7f;
    s.freqW = 0.2f;
    s.width = 0.35f;
    s.freqA = 0.8f;
    s.action = 0.3f;
    s.dyn = 0.6f;
    s.adj = 0.375f;
    s.outGain = 0.45f;
    return s;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Processing

TEST_F(CliProgram, StereoAndMonoFilesMatchTheKernelBitForBit) {
    const Audio stereo = TestSignal(2, 48000, 9000, 1u);
    WriteAudio(P("stereo.wav"), stereo);
    const RunResult s = Marovex(Concat({"process", "stereo.wav", "stereo-out.wav", "--block", "300", "--quiet"}, kStereoSets));
    EXPECT_RUN(s, 0);
    const Audio sOut = ReadAudio(P("stereo-out.wav"));
    EXPECT_EQ(sOut.channels, 2);
    EXPECT_EQ(sOut.sampleRate, 48000);
    EXPECT_EQ(sOut.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const std::vector<float> expected = Reference(stereo, 300, StereoSettings());
    EXPECT_TRUE(SameBits(sOut.samples, expected));
    // These settings drive the output past full scale: --quiet drops the summary, not the warning.
    const auto beyond = std::count_if(expected.begin(), expected.end(), [](float x) { return std::fabs(x) > 1.0f; });
    ASSERT_GT(beyond, 0);
    EXPECT_EQ(s.err.rfind("warning: the output clips: " + std::to_string(beyond) + " samples beyond full scale", 0), 0u)
        << s.err;
    EXPECT_EQ(s.err.find("marovex:"), std::string::npos) << s.err;

    const Audio mono = TestSignal(1, 44100, 7000, 2u);
    WriteAudio(P("mono.wav"), mono);
    const RunResult m = Marovex({"process", "mono.wav", "mono-out.wav", "--set", "InGain=0.6", "--set", "FreqA=0.1",
                           "--set", "Action=0.2", "--set", "Dyn=0.3", "--set", "7=0.25", "--set", "OutGain=0.55",
                           "--set", "FreqW=1"});
    EXPECT_RUN(m, 0);
    EXPECT_NE(m.err.find("marovex: 7000 frames at 44100 Hz"), std::string::npos) << m.err;
    EXPECT_NE(m.err.find("mono"), std::string::npos);
    Settings ms;
    ms.inGain = 0.6f;
    ms.freqA = 0.1f;
    ms.action = 0.2f;
    ms.dyn = 0.3f;
    ms.adj = 0.25f;
    ms.outGain = 0.55f;
    ms.freqW = 1.0f;
    const Audio mOut = ReadAudio(P("mono-out.wav"));
    EXPECT_EQ(mOut.channels, 1);
    EXPECT_EQ(mOut.sampleRate, 44100);
    EXPECT_TRUE(SameBits(mOut.samples, Reference(mono, 512, ms)));
}

TEST_F(CliProgram, AutomationTakesEffectAtItsExactFramesAndRampsEvery64Frames) {
    const Audio in = TestSignal(2, 48000, 6000, 3u);
    WriteAudio(P("in.wav"), in);
    // A ramp over the first 480 frames, a bypass step at 0.0123 s (frame 590.4, so from frame 591)
    // given as value texts, and one block of 4096 frames that the envelopes must split.
    const RunResult r = Marovex({"process", "in.wav", "out.wav", "--block", "4096", "--set", "Action=0.4", "--automate",
                                 "OutGain=0:0.5,0.01:0.25", "--automate", "MasterBypassID=0:bypass,0.0123:bypass,0.0123:on",
                                 "--automate", "Width=0:1,9:1", "--automate", "Width=0:1"});
    EXPECT_RUN(r, 0);
    std::vector<int64_t> starts = {0, 64, 128, 192, 256, 320, 384, 448, 480, 591, 4096};
    const auto at = [](int64_t frame) {
        Settings s;
        s.action = 0.4f;
        s.outGain = float(frame >= 480 ? 0.25 : 0.5 + (0.25 - 0.5) * (double(frame) / 480.0));
        s.bypass = frame >= 591 ? 1 : 0;
        return s;
    };
    EXPECT_TRUE(SameBits(ReadAudio(P("out.wav")).samples, ReferenceSegments(in, starts, at)));
    EXPECT_NE(r.err.find("warning: the --automate Width points from 9.000 s on lie at or after the end of the audio"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("warning: Width is automated twice"), std::string::npos) << r.err;
}

TEST_F(CliProgram, LongFilesComeOutTheSameAtEveryBlockLength) {
    // The file is read and written in chunks of about 16k frames while it is processed: 40000 frames
    // span three of them, and the steps at 0.341 s, 0.342 s and 0.683 s (frames 16368, 16416, 32784)
    // lie on either side of chunk boundaries, whatever the block length.
    const Audio in = TestSignal(2, 48000, 40000, 7u);
    WriteAudio(P("in.wav"), in);
    const std::vector<std::string> automation = {"--automate", "OutGain=0:0.5,0.341:0.5,0.341:0.3,0.342:0.3,0.342:0.6",
                                                 "--automate", "MasterBypassID=0:0,0.683:0,0.683:1", "-q"};
    std::vector<int64_t> starts = {16368, 16416, 32784};
    for (int64_t f = 0; f < in.Frames(); f += 4096) starts.push_back(f);
    std::sort(starts.begin(), starts.end());
    const std::vector<float> expected = ReferenceSegments(in, starts, [](int64_t frame) {
        Settings s;
        s.outGain = frame < 16368 ? 0.5f : frame < 16416 ? 0.3f : 0.6f;
        s.bypass = frame >= 32784 ? 1 : 0;
        return s;
    });
    for (const char* block : {"1", "17", "4096"}) {
        const std::string out = std::string("out-") + block + ".wav";
        EXPECT_RUN(Marovex(Concat({"process", "in.wav", out, "--block", block}, automation)), 0);
        EXPECT_TRUE(SameBits(ReadAudio(P(out)).samples, expected)) << "--block " << block;
    }

    // 32-bit integers are more than a float holds: where the bypass passes them through, every bit of
    // each must come from its own frame.
    std::vector<int32_t> ints(size_t(in.Frames()) * 2);
    uint32_t state = 11u;
    for (int32_t& v : ints) {
        state = state * 1664525u + 1013904223u;
        v = int32_t(state) / 4;
    }
    SF_INFO info = {};
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_32;
    info.channels = 2;
    info.samplerate = 48000;
    SNDFILE* f = sf_open(P("in32.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(sf_writef_int(f, ints.data(), in.Frames()), in.Frames());
    sf_close(f);
    std::vector<int32_t> first;
    for (const char* block : {"17", "4096"}) {
        const std::string out = std::string("out32-") + block + ".wav";
        EXPECT_RUN(Marovex(Concat({"process", "in32.wav", out, "--block", block}, automation)), 0);
        SF_INFO outInfo = {};
        SNDFILE* g = sf_open(P(out).c_str(), SFM_READ, &outInfo);
        ASSERT_NE(g, nullptr) << out;
        EXPECT_EQ(outInfo.format, SF_FORMAT_WAV | SF_FORMAT_PCM_32);
        std::vector<int32_t> got(ints.size());
        EXPECT_EQ(sf_readf_int(g, got.data(), in.Frames()), in.Frames());
        sf_close(g);
        EXPECT_TRUE(std::equal(got.begin() + 2 * 32784, got.end(), ints.begin() + 2 * 32784)) << "--block " << block;
        if (first.empty()) first = got;
        else EXPECT_EQ(got, first) << "--block " << block;
    }
}

TEST_F(CliProgram, BypassGivesTheInputBackUnchanged) {
    const Audio in = TestSignal(2, 48000, 3000, 4u);
    WriteAudio(P("in.wav"), in);
    EXPECT_RUN(Marovex({"process", "in.wav", "out.wav", "--set", "MasterBypassID=on", "--set", "InGain=1"}), 0);
    EXPECT_TRUE(SameBits(ReadAudio(P("out.wav")).samples, in.samples));

    // 16-bit samples survive reading as floats and writing back as 16 bits.
    Audio pcm = TestSignal(1, 22050, 3000, 5u);
    pcm.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    WriteAudio(P("in16.wav"), pcm);
    EXPECT_RUN(Marovex({"process", "in16.wav", "out16.wav", "--bits", "16", "--set", "0=1"}), 0);
    const Audio a = ReadAudio(P("in16.wav"));
    const Audio b = ReadAudio(P("out16.wav"));
    EXPECT_EQ(b.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_TRUE(SameBits(a.samples, b.samples));
}

TEST_F(CliProgram, OutputKeepsLengthChannelsRateAndTheInputsFormat) {
    Audio flac = TestSignal(2, 32000, 2500, 6u);
    flac.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    WriteAudio(P("take.flac"), flac);
    EXPECT_RUN(Marovex({"process", "take.flac", "-q"}), 0);
    const Audio out = ReadAudio(P("take-marovex.flac"));
    EXPECT_EQ(out.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.sampleRate, 32000);
    EXPECT_EQ(out.Frames(), 2500);

    Audio wav = TestSignal(1, 48000, 1000, 7u);
    wav.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    WriteAudio(P("v.wav"), wav);
    EXPECT_RUN(Marovex({"process", "v.wav", "-q"}), 0);
    EXPECT_EQ(ReadAudio(P("v-marovex.wav")).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);  // integer depth kept
    EXPECT_RUN(Marovex({"process", "v.wav", "v24.wav", "--bits", "24", "-q"}), 0);
    const Audio v24 = ReadAudio(P("v24.wav"));
    EXPECT_EQ(v24.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(v24.Frames(), 1000);
    EXPECT_EQ(Names(), (std::vector<std::string>{"take-marovex.flac", "take.flac", "v-marovex.wav", "v.wav", "v24.wav"}));
}

TEST_F(CliProgram, TheSameInputAndSettingsGiveTheSameBytes) {
    // Float WAV and AIFF are where a writer may stamp the time of writing into the file: the second
    // round of runs starts in a later second than the first.
    const Audio in = TestSignal(2, 44100, 5000, 12u);
    WriteAudio(P("in.wav"), in);
    const std::vector<std::string> outputs = {"out.wav", "out.aiff", "out.flac"};
    const auto runAll = [&](const std::string& round) {
        for (const std::string& out : outputs) {
            EXPECT_RUN(Marovex(Concat({"process", "in.wav", round + out, "-q"}, kStereoSets)), 0);
        }
    };
    runAll("a-");
    const std::time_t first = std::time(nullptr);
    while (std::time(nullptr) == first) ::usleep(20000);
    runAll("b-");
    for (const std::string& out : outputs) {
        const std::string a = ReadText(mDir / ("a-" + out)), b = ReadText(mDir / ("b-" + out));
        EXPECT_GT(a.size(), size_t(in.Frames()) * 2) << out;
        EXPECT_TRUE(a == b) << out << " differs between two runs";
    }
}

TEST_F(CliProgram, TheDemoIsProcessedWithoutAnInputAndItsOutputRemade) {
    const RunResult first = Marovex({"process", "--quiet"});
    EXPECT_RUN(first, 0);
    const RunResult second = Marovex({"process"});
    EXPECT_RUN(second, 0);
    EXPECT_NE(second.err.find("-> marovex-demo.wav"), std::string::npos) << second.err;
    const Audio demo = ReadAudio(P("marovex-demo.wav"));
    EXPECT_EQ(demo.channels, 2);
    EXPECT_EQ(demo.sampleRate, 48000);
    EXPECT_EQ(demo.Frames(), 288000);
    EXPECT_EQ(Names(), std::vector<std::string>{"marovex-demo.wav"});
}

// ---------------------------------------------------------------------------------------------------
// State and presets

TEST_F(CliProgram, SavedStateAndPresetReproduceTheOutput) {
    const Audio in = TestSignal(2, 48000, 6000, 8u);
    WriteAudio(P("in.wav"), in);
    EXPECT_RUN(Marovex(Concat({"process", "in.wav", "a.wav", "--save-state", "s.state", "--save-preset", "p.mrv"},
                              kStereoSets)),
               0);
    EXPECT_EQ(ReadText(mDir / "p.mrv"),
              "Marovex 010000\nInGain 0.6999999881\nFreqW 0.2000000030\nWidth 0.3499999940\nFreqA 0.8000000119\n"
              "Action 0.3000000119\nDyn 0.6000000238\nAdj 0.3750000000\nOutGain 0.4499999881\n");
    EXPECT_RUN(Marovex({"process", "in.wav", "b.wav", "--load-state", "s.state"}), 0);
    EXPECT_RUN(Marovex({"process", "in.wav", "c.wav", "--preset", "p.mrv"}), 0);
    const Audio a = ReadAudio(P("a.wav"));
    EXPECT_TRUE(SameBits(a.samples, Reference(in, 512, StereoSettings())));
    EXPECT_TRUE(SameBits(ReadAudio(P("b.wav")).samples, a.samples));
    EXPECT_TRUE(SameBits(ReadAudio(P("c.wav")).samples, a.samples));

    // --set comes after --load-state and --preset.
    EXPECT_RUN(Marovex({"process", "in.wav", "d.wav", "--load-state", "s.state", "--preset", "p.mrv", "--set",
                        "OutGain=0.5"}),
               0);
    Settings louder = StereoSettings();
    louder.outGain = 0.5f;
    EXPECT_TRUE(SameBits(ReadAudio(P("d.wav")).samples, Reference(in, 512, louder)));

    // The state file holds the eight continuous parameters, never the bypass.
    const RunResult show = Marovex({"state", "show", "s.state", "--json"});
    EXPECT_RUN(show, 0);
    const nlohmann::json json = nlohmann::json::parse(show.out);
    EXPECT_EQ(json["chunkType"], "elck");
    EXPECT_EQ(json["name"], "Complete Controls State");
    EXPECT_EQ(json["dataSize"], 144);
    ASSERT_EQ(json["entries"].size(), 8u);
    EXPECT_EQ(json["entries"][0]["id"], "InGain");
    EXPECT_EQ(json["entries"][0]["type"], "double");
    EXPECT_EQ(json["entries"][0]["value"].get<double>(), double(0.7f));
    EXPECT_EQ(json["entries"][6]["id"], "Adj");
    EXPECT_EQ(json["entries"][6]["value"].get<double>(), 0.375);
    EXPECT_EQ(show.out.find("MasterBypassID"), std::string::npos);
    const RunResult table = Marovex({"state", "show", "s.state"});
    EXPECT_RUN(table, 0);
    EXPECT_NE(table.out.find("OutGain     double  0.44999998807907104"), std::string::npos) << table.out;
}

TEST_F(CliProgram, PresetsLoadLikeTheEditorsLoad) {
    const Audio in = TestSignal(1, 48000, 2000, 9u);
    WriteAudio(P("in.wav"), in);
    // Another first word, misspelt identifiers and a value above 1 (clamped by the parameter).
    std::ofstream(P("odd.mrv")) << "Other 010000\nIngain 0.25\nx 0.5\ny 1\nz 0.5\nq 1.5\nr 1\ns 0.5\nt 0.5\n";
    EXPECT_RUN(Marovex({"process", "in.wav", "out.wav", "--preset", "odd.mrv", "--save-preset", "back.mrv"}), 0);
    Settings s;
    s.inGain = 0.25f;
    EXPECT_TRUE(SameBits(ReadAudio(P("out.wav")).samples, Reference(in, 512, s)));
    EXPECT_EQ(ReadText(mDir / "back.mrv"),
              "Marovex 010000\nInGain 0.2500000000\nFreqW 0.5000000000\nWidth 1.0000000000\nFreqA 0.5000000000\n"
              "Action 1.0000000000\nDyn 1.0000000000\nAdj 0.5000000000\nOutGain 0.5000000000\n");
}

// ---------------------------------------------------------------------------------------------------
// Failures

TEST_F(CliProgram, FailuresExitOneAndLeaveNoOutputBehind) {
    WriteAudio(P("in.wav"), TestSignal(2, 48000, 1000, 10u));
    Audio three = TestSignal(1, 48000, 300, 11u);
    three.channels = 3;
    three.samples.resize(900);
    WriteAudio(P("three.wav"), three);
    std::ofstream(P("garbage.state")) << "this is not a state";
    std::ofstream(P("seven.mrv")) << "Marovex 010000\nInGain 0.1\nFreqW 0.2\nWidth 0.3\nFreqA 0.4\nAction 0.5\n"
                                     "Dyn 0.6\nAdj 0.7\n";
    std::ofstream(P("old.mrv")) << "Marovex 9000\nInGain 0.1\nFreqW 0.2\nWidth 0.3\nFreqA 0.4\nAction 0.5\n"
                                   "Dyn 0.6\nAdj 0.7\nOutGain 0.8\n";
    std::ofstream(P("long.mrv")) << "Marovex 010000\nInGain 0.1\nFreqW 0.2\nWidth 0.3\nFreqA 0.4\nAction 0.5\n"
                                    "Dyn 0.6\nAdj 0.7\nOutGain 0.8\n"
                                 << std::string(20000, '\n');
    // A real state file cut by one byte.
    EXPECT_RUN(Marovex({"process", "in.wav", "tmp.wav", "--save-state", "full.state", "-q"}), 0);
    std::string full = ReadText(mDir / "full.state");
    std::ofstream(P("cut.state"), std::ios::binary) << full.substr(0, full.size() - 1);
    fs::remove(P("tmp.wav"));
    fs::remove(P("full.state"));
    const std::vector<std::string> before = Names();

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"process", "missing.wav", "out.wav"}, "error: cannot open 'missing.wav': no such file"},
        {{"process", "three.wav", "out.wav"}, "error: 'three.wav' has 3 channels"},
        {{"process", "in.wav", "out.wav", "--load-state", "garbage.state"}, "error: 'garbage.state': corrupt state file"},
        {{"process", "in.wav", "out.wav", "--load-state", "cut.state"}, "error: 'cut.state': corrupt state file"},
        {{"process", "in.wav", "out.wav", "--load-state", "none.state"}, "error: cannot open 'none.state'"},
        {{"process", "in.wav", "out.wav", "--preset", "seven.mrv"},
         "error: 'seven.mrv' is not a valid preset: fewer than ten items"},
        {{"process", "in.wav", "out.wav", "--preset", "old.mrv"},
         "error: 'old.mrv' is not a valid preset: format number 9000 below 10000"},
        {{"process", "in.wav", "out.wav", "--preset", "long.mrv"},
         "error: 'long.mrv' is not a valid preset: it is longer than the 10007 bytes a preset may hold"},
        {{"process", "in.wav", "out.wav", "--save-state", "no/such/dir/s.state"}, "error: cannot create a file"},
        {{"process", "in.wav", "out.wav", "--plugin", "/no/such/Marovex.so"}, "error: cannot load the plug-in module"},
        {{"state", "show", "garbage.state"}, "error: 'garbage.state': corrupt state file"},
        {{"state", "show", "cut.state"}, "error: 'cut.state': corrupt state file: the header gives"},
    };
    for (const Case& c : cases) {
        // Each failing run would also have saved a state and a preset.
        std::vector<std::string> args = c.args;
        if (args[0] == "process") {
            if (std::find(args.begin(), args.end(), "--save-state") == args.end()) {
                args = Concat(args, {"--save-state", "saved.state"});
            }
            args = Concat(args, {"--save-preset", "saved.mrv"});
        }
        const RunResult r = Marovex(args);
        EXPECT_EQ(r.status, 1) << c.args[2] << "\n" << r.err;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        EXPECT_EQ(Names(), before) << c.message;
    }
    // The identifiers are listed for an unknown one, and the closest one is offered.
    const RunResult unknown = Marovex({"process", "in.wav", "out.wav", "--set", "Freqa=0.5"});
    EXPECT_RUN(unknown, 2);
    EXPECT_EQ(unknown.err.rfind("error: unknown parameter 'Freqa' (did you mean 'FreqA'?); the parameters are: ", 0), 0u)
        << unknown.err;
    EXPECT_NE(unknown.err.find("0 MasterBypassID, 1 InGain, 2 FreqW, 3 Width, 4 FreqA, 5 Action, 6 Dyn, 7 Adj, "
                               "8 OutGain"),
              std::string::npos)
        << unknown.err;
}

TEST_F(CliProgram, UsageErrorsExitTwo) {
    WriteAudio(P("in.wav"), TestSignal(1, 48000, 100, 12u));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"mix"},
        {"process", "in.wav", "out.wav", "--loud"},
        {"process", "in.wav", "out.wav", "extra.wav"},
        {"process", "in.wav", "out.wav", "--block", "0"},
        {"process", "in.wav", "out.wav", "--block", "many"},
        {"process", "in.wav", "out.wav", "--bits", "12"},
        {"process", "in.wav", "out.wav", "--set", "InGain"},
        {"process", "in.wav", "out.wav", "--set", "=0.5"},
        {"process", "in.wav", "out.wav", "--automate", "OutGain=0:0.5,1"},
        {"process", "in.wav", "out.wav", "--automate", "OutGain=1:0.5,0:0.2"},
        // Every bad argument is a usage error, also those only the plug-in can judge.
        {"process", "in.wav", "out.wav", "--set", "Loudness=0.5"},
        {"process", "in.wav", "out.wav", "--set", "9=0.5"},
        {"process", "in.wav", "out.wav", "--set", "InGain=loud"},
        {"process", "in.wav", "out.wav", "--set", "FreqA=1.5"},
        {"process", "in.wav", "out.wav", "--set", "MasterBypassID=On"},
        {"process", "in.wav", "out.wav", "--automate", "Gain=0:1"},
        {"process", "in.wav", "out.wav", "--automate", "FreqA=0:1.5"},
        {"process", "in.wav", "out.wav", "--automate", "MasterBypassID=0:maybe"},
        {"process", "in.wav", "out.mp3"},
        {"process", "in.wav", "noextension"},
        {"process", "in.wav", "out.ogg", "--bits", "16"},
        {"process", "in.wav", "out.wav", "--format", "mp3"},
        {"process", "in.wav", "-", "--json"},
        {"process", "a.wav", "b.wav", "c.wav"},
        {"process", "in.wav", "-o", "no-such-folder"},
        {"process", ""},
        {"process", "", "mine.wav"},
        {"proces", "in.wav"},
        {"help", "mix"},
        {"process", "in.wav", "out.wav", "--save-state", "x", "--save-preset", "x"},
        {"state", "show"},
        {"state"},
    };
    for (const auto& args : cases) {
        const RunResult r = Marovex(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back()) << "\n" << r.err;
        EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
        EXPECT_EQ(Names(), std::vector<std::string>{"in.wav"});
    }
    const RunResult help = Marovex({"process", "--help"});
    EXPECT_RUN(help, 0);
    EXPECT_NE(help.out.find("--automate"), std::string::npos);
    const RunResult mistyped = Marovex({"proces", "in.wav"});
    EXPECT_EQ(mistyped.err.rfind("error: unknown command 'proces'; did you mean 'process'?", 0), 0u) << mistyped.err;
    const RunResult mp3 = Marovex({"process", "in.wav", "out.mp3"});
    EXPECT_NE(mp3.err.find(".wav .flac .ogg .aiff .aif .caf .w64 .rf64"), std::string::npos) << mp3.err;
    const RunResult helpCommand = Marovex({"help", "process"});
    EXPECT_RUN(helpCommand, 0);
    EXPECT_NE(helpCommand.out.find("--automate"), std::string::npos);
    // Without a topic: the program's own help, listing every command (not the help of "help").
    const RunResult programHelp = Marovex({"help"});
    EXPECT_RUN(programHelp, 0);
    for (const char* command : {"info", "process", "state", "editor", "plot-response", "validate"})
        EXPECT_NE(programHelp.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
    const RunResult version = Marovex({"--version"});
    EXPECT_RUN(version, 0);
    EXPECT_EQ(version.out.rfind("marovex 1.1.0\nplug-in: Marovex Plug-In, package version 1, ", 0), 0u) << version.out;
}

TEST_F(CliProgram, AnExistingOutputIsReplacedOnlyWithOverwrite) {
    WriteAudio(P("in.wav"), TestSignal(1, 48000, 500, 13u));
    std::ofstream(P("out.wav")) << "keep";
    std::ofstream(P("p.mrv")) << "keep too";
    const RunResult refused = Marovex({"process", "in.wav", "out.wav"});
    EXPECT_RUN(refused, 1);
    EXPECT_EQ(refused.err, "error: the output 'out.wav' already exists (use --overwrite to replace it)\n");
    EXPECT_EQ(ReadText(mDir / "out.wav"), "keep");
    const RunResult presetRefused = Marovex({"process", "in.wav", "new.wav", "--save-preset", "p.mrv"});
    EXPECT_RUN(presetRefused, 1);
    EXPECT_EQ(ReadText(mDir / "p.mrv"), "keep too");
    EXPECT_FALSE(fs::exists(P("new.wav")));
    // The default output is an output like any other.
    std::ofstream(P("in-marovex.wav")) << "keep";
    EXPECT_RUN(Marovex({"process", "in.wav"}), 1);
    EXPECT_EQ(ReadText(mDir / "in-marovex.wav"), "keep");

    EXPECT_RUN(Marovex({"process", "in.wav", "out.wav", "--save-preset", "p.mrv", "--overwrite", "-q"}), 0);
    EXPECT_EQ(ReadAudio(P("out.wav")).Frames(), 500);
    EXPECT_EQ(ReadText(mDir / "p.mrv").rfind("Marovex 010000\n", 0), 0u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"in-marovex.wav", "in.wav", "out.wav", "p.mrv"}));
}

// ---------------------------------------------------------------------------------------------------
// Information

TEST_F(CliProgram, InfoShowsTheDescriptionAndTheParameterTable) {
    const RunResult r = Marovex({"info", "--json"});
    EXPECT_RUN(r, 0);
    const nlohmann::json json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["manufacturer"], "Halvik");
    EXPECT_EQ(json["packageNames"], (std::vector<std::string>{"Marovex Plug-In", "Mrv", "Mrv"}));
    const nlohmann::json& effect = json["effects"][0];
    EXPECT_EQ(effect["id"], "Mrv");
    EXPECT_EQ(effect["names"], (std::vector<std::string>{"Marovex", "Mrv", "Mrv", "Mv"}));
    ASSERT_EQ(effect["components"].size(), 2u);
    EXPECT_EQ(effect["components"][0]["stemFormat"], 0x10002);
    EXPECT_EQ(effect["components"][1]["stemFormat"], 1);
    EXPECT_EQ(effect["components"][0]["fields"].size(), 17u);
    EXPECT_EQ(effect["components"][1]["dspProcesses"][0]["file"], "Marovex_MM_TI.dll");
    EXPECT_EQ(effect["meters"][0]["id"], "mGR1");
    EXPECT_EQ(effect["meters"][0]["name"], "GR1");

    const nlohmann::json& params = json["parameters"];
    ASSERT_EQ(params.size(), 9u);
    const char* ids[9] = {"MasterBypassID", "InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain"};
    const double defaults[9] = {0.0, 0.5, 0.5, 1.0, 0.5, 1.0, 1.0, 0.5, 0.5};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(params[i]["index"], i);
        EXPECT_EQ(params[i]["id"], ids[i]);
        EXPECT_EQ(params[i]["default"].get<double>(), defaults[i]) << ids[i];
        EXPECT_EQ(params[i]["steps"], i == 0 ? 2 : i == 7 ? 9 : 131) << ids[i];
        EXPECT_EQ(params[i]["type"], i == 0 ? "discrete" : "continuous");
        EXPECT_EQ(params[i]["defaultText"], i == 0 ? "bypass" : defaults[i] == 1.0 ? "1.00" : "0.50");
    }
    EXPECT_EQ(params[0]["name"], "Master Bypass");

    // Parameters in words first; the description's internals only with --details.
    const RunResult plain = Marovex({"info"});
    EXPECT_RUN(plain, 0);
    EXPECT_NE(plain.out.find("\n    4  FreqA           FreqA          0.50 = Xover Frequency 3500.00 Hz    "
                             "Xover Frequency, 1000.00 Hz at 0 to 6000.00 Hz at 1\n"),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("0.50 = Output Volume 100.00 %"), std::string::npos);
    EXPECT_EQ(plain.out.find("field"), std::string::npos);
    EXPECT_EQ(params[4]["defaultReadout"], "0.50 = Xover Frequency 3500.00 Hz");
    const RunResult text = Marovex({"info", "--details"});
    EXPECT_RUN(text, 0);
    // The text shows the whole description too: every declared field, the property maps of both
    // procedures of each component, and the meter's properties.
    for (const char* line : {"\n  field  13   meters 'mGR1'\n",
                             "\n  field  15   data-in port, 24-byte packets, port type 1\n",
                             "\n  field  16   private data, 840 bytes, options 0\n",
                             " 15='MvTm' 63=7177 62=587 54=2]\n",
                             "\nmeter         'mGR1' GR1 [200=2 201=1 202=1]\n"}) {
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    }
    size_t fieldLines = 0;
    for (size_t at = text.out.find("\n  field "); at != std::string::npos; at = text.out.find("\n  field ", at + 1)) {
        ++fieldLines;
    }
    EXPECT_EQ(fieldLines, 34u);  // seventeen per component
    EXPECT_NE(text.out.find("    7  Adj              Adj              continuous  0.5000     9  0.50"),
              std::string::npos)
        << text.out;
}

// ---------------------------------------------------------------------------------------------------
// Users' files are safe

TEST_F(CliProgram, NoOutputIsEverAnInputAlsoThroughLinks) {
    WriteAudio(P("song.wav"), TestSignal(2, 48000, 800, 20u));
    EXPECT_RUN(Marovex({"process", "song.wav", "tmp.wav", "--save-state", "s.state", "--save-preset", "p.mrv", "-q"}),
               0);
    fs::remove(P("tmp.wav"));
    fs::create_symlink("song.wav", P("link.wav"));
    fs::create_hard_link(P("song.wav"), P("hard.wav"));
    const std::string song = ReadText(mDir / "song.wav");
    const std::string state = ReadText(mDir / "s.state");
    const std::string preset = ReadText(mDir / "p.mrv");
    const std::vector<std::string> before = Names();
    const std::vector<std::vector<std::string>> cases = {
        {"process", "song.wav", "out.wav", "--save-state", "song.wav"},
        {"process", "song.wav", "out.wav", "--save-preset", "song.wav"},
        {"process", "song.wav", "out.wav", "--save-preset", "link.wav"},
        {"process", "song.wav", "song.wav"},
        {"process", "song.wav", "link.wav"},
        {"process", "song.wav", "hard.wav"},
        {"process", "link.wav", "./song.wav"},
        {"process", "song.wav", "out.wav", "--load-state", "s.state", "--save-state", "s.state"},
        {"process", "song.wav", "out.wav", "--preset", "p.mrv", "--save-preset", "p.mrv"},
        {"process", "song.wav", "out.wav", "--preset", "p.mrv", "--save-state", "p.mrv"},
        {"process", "song.wav", "-o", "."},
    };
    for (std::vector<std::string> args : cases) {
        args.push_back("--overwrite");
        const RunResult r = Marovex(args);
        EXPECT_EQ(r.status, 2) << args[args.size() - 2] << "\n" << r.err;
        EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
        EXPECT_EQ(Names(), before);
        EXPECT_EQ(ReadText(mDir / "song.wav"), song);
        EXPECT_EQ(ReadText(mDir / "s.state"), state);
        EXPECT_EQ(ReadText(mDir / "p.mrv"), preset);
        EXPECT_TRUE(fs::is_symlink(P("link.wav")));
    }
    // Standard input that is the output file.
    const RunResult piped = Marovex({"process", "-", "song.wav", "--overwrite"}, {}, "song.wav");
    EXPECT_RUN(piped, 2);
    EXPECT_EQ(ReadText(mDir / "song.wav"), song);
}

TEST_F(CliProgram, FifosDevicesAndLinksAreWrittenInPlace) {
    const Audio in = TestSignal(2, 48000, 3000, 21u);
    WriteAudio(P("in.wav"), in);
    const std::vector<float> expected = Reference(in, 512, Settings{});
    // A FIFO: its reader gets a WAV stream, and the FIFO stays a FIFO. The read end is opened first
    // (without blocking); the whole stream fits in the pipe's buffer and is read after the run.
    ASSERT_EQ(::mkfifo(P("pipe.wav").c_str(), 0600), 0);
    const int readEnd = ::open(P("pipe.wav").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    const RunResult r = Marovex({"process", "in.wav", "pipe.wav", "--overwrite", "-q"});
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(readEnd, buffer, sizeof buffer)) > 0;) received.append(buffer, size_t(n));
    ::close(readEnd);
    EXPECT_RUN(r, 0);
    struct stat st;
    ASSERT_EQ(::lstat(P("pipe.wav").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    std::ofstream(P("received.wav"), std::ios::binary) << received;
    const Audio got = ReadAudio(P("received.wav"));
    EXPECT_EQ(got.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_TRUE(SameBits(got.samples, expected));

    // A link to a character device is written into, never replaced.
    fs::create_symlink("/dev/null", P("null.wav"));
    EXPECT_RUN(Marovex({"process", "in.wav", "null.wav", "--overwrite", "-q"}), 0);
    EXPECT_TRUE(fs::is_symlink(P("null.wav")));
    // A link to a regular file: the file gets the output, the link stays.
    WriteAudio(P("real.wav"), TestSignal(1, 8000, 10, 22u));
    fs::create_symlink("real.wav", P("link.wav"));
    EXPECT_RUN(Marovex({"process", "in.wav", "link.wav", "-q"}), 1);  // exists: needs --overwrite
    EXPECT_RUN(Marovex({"process", "in.wav", "link.wav", "--overwrite", "-q"}), 0);
    EXPECT_TRUE(fs::is_symlink(P("link.wav")));
    EXPECT_TRUE(SameBits(ReadAudio(P("real.wav")).samples, expected));
    // Folders and sockets are refused.
    fs::create_directory(P("dir.wav"));
    EXPECT_RUN(Marovex({"process", "in.wav", "dir.wav", "--overwrite"}), 2);
}

TEST_F(CliProgram, LongWavOutputBecomesRf64AndRf64AndW64AreRead) {
    const Audio in = TestSignal(2, 48000, 2000, 23u);
    WriteAudio(P("in.wav"), in);
    const std::vector<float> expected = Reference(in, 512, Settings{});
    // 2000 stereo float frames are 16000 data bytes: over a threshold of 15000, under one of 16000.
    EXPECT_RUN(Marovex({"process", "in.wav", "big.wav", "-q"}, {"MAROVEX_RF64_THRESHOLD=15999"}), 0);
    EXPECT_RUN(Marovex({"process", "in.wav", "small.wav", "-q"}, {"MAROVEX_RF64_THRESHOLD=16000"}), 0);
    EXPECT_EQ(ReadText(mDir / "big.wav").substr(0, 4), "RF64");
    EXPECT_EQ(ReadText(mDir / "small.wav").substr(0, 4), "RIFF");
    const Audio big = ReadAudio(P("big.wav"));
    EXPECT_EQ(big.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    EXPECT_TRUE(SameBits(big.samples, expected));
    EXPECT_TRUE(SameBits(ReadAudio(P("small.wav")).samples, expected));
    // RF64 and W64 in, bypassed, come back unchanged.
    Audio w64 = in;
    w64.format = SF_FORMAT_W64 | SF_FORMAT_FLOAT;
    WriteAudio(P("in.w64"), w64);
    EXPECT_RUN(Marovex({"process", "big.wav", "back.w64", "--bypass", "-q"}), 0);
    EXPECT_RUN(Marovex({"process", "in.w64", "back.rf64", "--bypass", "-q"}), 0);
    EXPECT_TRUE(SameBits(ReadAudio(P("back.w64")).samples, expected));
    EXPECT_EQ(ReadAudio(P("back.rf64")).format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
    EXPECT_TRUE(SameBits(ReadAudio(P("back.rf64")).samples, in.samples));
}

TEST_F(CliProgram, AnEmptyInputIsAUsageErrorNotTheDemo) {
    fs::create_directory(P("out"));
    const RunResult r = Marovex({"process", "", "out/mine.wav"});
    EXPECT_RUN(r, 2);
    EXPECT_EQ(r.err.rfind("error: an empty file name was given", 0), 0u) << r.err;
    EXPECT_EQ(Names(), std::vector<std::string>{"out"});
    EXPECT_TRUE(fs::is_empty(P("out")));
}

TEST_F(CliProgram, TruncatedAndNonFiniteInputIsReported) {
    // A 16-bit WAV whose header promises 24000 frames, cut to 5000.
    Audio full = TestSignal(1, 8000, 24000, 24u);
    full.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    WriteAudio(P("full.wav"), full);
    const std::string bytes = ReadText(mDir / "full.wav");
    const size_t header = bytes.size() - 24000 * 2;
    std::ofstream(P("cut.wav"), std::ios::binary) << bytes.substr(0, header + 5000 * 2);
    const RunResult cut = Marovex({"process", "cut.wav", "cut-out.wav", "-q"});
    EXPECT_RUN(cut, 0);
    EXPECT_NE(cut.err.find("warning: 'cut.wav' is cut short: its header promises 24000 frames (3.000 s) but only 5000 "
                           "frames (0.625 s) could be read"),
              std::string::npos)
        << cut.err;
    EXPECT_EQ(ReadAudio(P("cut-out.wav")).Frames(), 5000);
    EXPECT_RUN(Marovex({"process", "full.wav", "full-out.wav", "-q"}), 0);
    EXPECT_EQ(Marovex({"process", "full.wav", "full-out2.wav", "-q"}).err, "");

    // NaN and infinity in float input: counted, warned about, in the summary, and --strict fails.
    Audio odd = TestSignal(2, 48000, 1000, 25u);
    odd.samples[100] = std::nanf("");
    odd.samples[501] = INFINITY;
    odd.samples[502] = -INFINITY;
    WriteAudio(P("odd.wav"), odd);
    const RunResult r = Marovex({"process", "odd.wav", "odd-out.wav", "--json"});
    EXPECT_RUN(r, 0);
    EXPECT_NE(r.err.find("warning: the input holds 3 non-finite samples (NaN or infinity)"), std::string::npos) << r.err;
    const nlohmann::json json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["nonFiniteIn"], 3);
    EXPECT_GT(json["nonFiniteOut"].get<int>(), 0);
    EXPECT_EQ(json["frames"], 1000);
    const RunResult strict = Marovex({"process", "odd.wav", "odd-strict.wav", "--strict", "-q"});
    EXPECT_RUN(strict, 3);
    EXPECT_TRUE(fs::exists(P("odd-strict.wav")));
}

TEST_F(CliProgram, TheSummaryCountsEverySampleOfEveryChunk) {
    // The samples are counted while the file is read and written in chunks of about 16k frames: 40000
    // frames span three, and the odd samples sit at both sides of the chunk boundaries and in the last.
    Audio in = TestSignal(2, 48000, 40000, 31u);
    in.samples[2 * 16383] = std::nanf("");
    in.samples[2 * 16384 + 1] = INFINITY;
    in.samples[2 * 16384] = -2.5f;
    in.samples[2 * 32767 + 1] = 3.25f;
    in.samples[2 * 32768] = -INFINITY;
    in.samples[2 * 39999 + 1] = std::nanf("");
    WriteAudio(P("in.wav"), in);
    const RunResult r = Marovex(Concat({"process", "in.wav", "out.wav", "--block", "17", "--json"}, kStereoSets));
    EXPECT_RUN(r, 0);
    const nlohmann::json json = nlohmann::json::parse(r.out);
    struct Counts {
        double peak = 0.0;
        int64_t nonFinite = 0, beyond = 0;
    };
    const auto count = [](const std::vector<float>& samples) {
        Counts c;
        for (const float x : samples) {
            if (!std::isfinite(x)) ++c.nonFinite;
            else c.peak = std::max(c.peak, double(std::fabs(x))), c.beyond += std::fabs(x) > 1.0f ? 1 : 0;
        }
        return c;
    };
    const Counts i = count(in.samples), o = count(ReadAudio(P("out.wav")).samples);
    EXPECT_EQ(json["peakIn"].get<double>(), 3.25);
    EXPECT_EQ(json["nonFiniteIn"].get<int64_t>(), 4);
    EXPECT_EQ(i.nonFinite, 4);
    EXPECT_EQ(json["peakOut"].get<double>(), o.peak);
    EXPECT_EQ(json["nonFiniteOut"].get<int64_t>(), o.nonFinite);
    EXPECT_EQ(json["clippedSamples"].get<int64_t>(), o.beyond);
    EXPECT_GT(o.beyond, 0);
}

TEST_F(CliProgram, WholeChunksReportWhatBlockByBlockReports) {
    // Without envelopes the program hands whole chunks to the instance; with one (even a constant one)
    // it goes block by block. Output and reduction must not tell them apart, also where the 0.2 s
    // start-up (frame 9600) ends inside a block while the meter falls back from a loud part just before
    // it (the block across the end of the start-up reads more than any block after it).
    const Audio in = TestSignal(2, 48000, 12000, 41u);  // loud from frame 4800 to 8400
    WriteAudio(P("in.wav"), in);
    for (const char* block : {"1000", "300", "17"}) {  // 300: the start-up ends on a block boundary
        const std::vector<std::string> common = {"--block", block, "--json", "--overwrite", "--set", "Action=0.8"};
        const RunResult whole = Marovex(Concat({"process", "in.wav", "whole.wav"}, common));
        const RunResult stepped =
            Marovex(Concat({"process", "in.wav", "stepped.wav", "--automate", "OutGain=0:0.5"}, common));
        EXPECT_RUN(whole, 0);
        EXPECT_RUN(stepped, 0);
        const nlohmann::json a = nlohmann::json::parse(whole.out), b = nlohmann::json::parse(stepped.out);
        EXPECT_GT(a["peakGainReduction"].get<double>(), 0.05) << block;
        EXPECT_EQ(a["peakGainReduction"], b["peakGainReduction"]) << block;
        EXPECT_EQ(a["peakOut"], b["peakOut"]) << block;
        EXPECT_TRUE(SameBits(ReadAudio(P("whole.wav")).samples, ReadAudio(P("stepped.wav")).samples)) << block;
    }
}

TEST_F(CliProgram, OutputContainerFollowsTheExtensionAndEveryDepthRoundTrips) {
    // Bypassed audio through every container and sample format comes back bit for bit (integers as
    // integers, also 32-bit ones that a float cannot hold).
    struct Case {
        int format;
        const char* in;
        const char* out;
        const char* bits;
        int expected;
    };
    const std::vector<Case> cases = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, "i32.wav", "o32.wav", "32", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, "j32.wav", "j32.caf", nullptr, SF_FORMAT_CAF | SF_FORMAT_PCM_32},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, "i8.wav", "o8.aiff", nullptr, SF_FORMAT_AIFF | SF_FORMAT_PCM_S8},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, "i16.wav", "o16.flac", nullptr, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "i24.flac", "o24.w64", nullptr, SF_FORMAT_W64 | SF_FORMAT_PCM_24},
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "a16.aif", "a24.wav", "24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {SF_FORMAT_CAF | SF_FORMAT_DOUBLE, "d.caf", "d.rf64", nullptr, SF_FORMAT_RF64 | SF_FORMAT_DOUBLE},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "f.wav", "f64.aiff", "64f", SF_FORMAT_AIFF | SF_FORMAT_DOUBLE},
    };
    uint32_t seed = 30;
    for (const Case& c : cases) {
        std::vector<int32_t> ints(2 * 700);
        uint32_t state = seed++;
        for (int32_t& v : ints) {
            state = state * 1664525u + 1013904223u;
            v = int32_t(state);
        }
        const int bits = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8   ? 8
                         : (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 16
                         : (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24 ? 24
                                                                               : 32;
        for (int32_t& v : ints) v = int32_t(uint32_t(v) >> (32 - bits) << (32 - bits));
        ints[0] = INT32_MIN;
        ints[1] = int32_t(0x7FFFFFFFu >> (32 - bits) << (32 - bits));  // the extremes
        SF_INFO info = {};
        info.format = c.format;
        info.channels = 2;
        info.samplerate = 44100;
        SNDFILE* f = sf_open(P(c.in).c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << c.in;
        sf_writef_int(f, ints.data(), 700);
        sf_close(f);
        std::vector<std::string> args = {"process", c.in, c.out, "--bypass", "-q"};
        if (c.bits != nullptr) args = Concat(args, {"--bits", c.bits});
        EXPECT_RUN(Marovex(args), 0);
        SF_INFO a = {}, b = {};
        SNDFILE* fin = sf_open(P(c.in).c_str(), SFM_READ, &a);
        SNDFILE* fout = sf_open(P(c.out).c_str(), SFM_READ, &b);
        ASSERT_NE(fout, nullptr) << c.out;
        EXPECT_EQ(b.format, c.expected) << c.out;
        std::vector<int32_t> x(ints.size()), y(ints.size());
        std::vector<double> dx(ints.size()), dy(ints.size());
        if ((c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE || (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
            // Float data: bypassed 64-bit samples into 64-bit output come back as they were; anything
            // else as the program reads it (single precision).
            sf_readf_double(fin, dx.data(), 700);
            sf_readf_double(fout, dy.data(), 700);
            const bool exact = (c.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE &&
                               (b.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE;
            for (size_t i = 0; i < dx.size() && !exact; ++i) dx[i] = double(float(dx[i]));
            EXPECT_EQ(dx, dy) << c.out;
        } else {
            sf_readf_int(fin, x.data(), 700);
            sf_readf_int(fout, y.data(), 700);
            EXPECT_EQ(x, y) << c.out;
        }
        sf_close(fin);
        sf_close(fout);
    }

    // A FLAC file named .wav makes a WAV output of its own depth under the default name.
    Audio flac = TestSignal(1, 22050, 500, 40u);
    flac.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    WriteAudio(P("x.wav"), flac);
    EXPECT_RUN(Marovex({"process", "x.wav", "-q"}), 0);
    EXPECT_EQ(ReadAudio(P("x-marovex.wav")).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // --format overrides the extension; Ogg Vorbis is written.
    EXPECT_RUN(Marovex({"process", "x.wav", "named.wav", "--format", "flac", "-q"}), 0);
    EXPECT_EQ(ReadAudio(P("named.wav")).format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_RUN(Marovex({"process", "x.wav", "v.ogg", "-q"}), 0);
    EXPECT_EQ(ReadAudio(P("v.ogg")).format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
}

TEST_F(CliProgram, DitherShapesOnlyShortenedSamples) {
    Audio in = TestSignal(1, 48000, 4000, 41u);
    WriteAudio(P("in.wav"), in);
    EXPECT_RUN(Marovex({"process", "in.wav", "plain.wav", "--bits", "16", "-q"}), 0);
    EXPECT_RUN(Marovex({"process", "in.wav", "dither.wav", "--bits", "16", "--dither", "-q"}), 0);
    const Audio plain = ReadAudio(P("plain.wav"));
    const Audio dithered = ReadAudio(P("dither.wav"));
    ASSERT_EQ(plain.samples.size(), dithered.samples.size());
    // Triangular dither moves a sample by at most one step either way, and moves many.
    size_t moved = 0;
    for (size_t i = 0; i < plain.samples.size(); ++i) {
        const float step = std::fabs(plain.samples[i] - dithered.samples[i]) * 32768.0f;
        EXPECT_LE(step, 1.0f) << i;
        moved += step > 0.0f;
    }
    EXPECT_GT(moved, plain.samples.size() / 4);
    // Bypassed 16-bit audio is not shortened: it stays bit for bit.
    Audio pcm = in;
    pcm.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    WriteAudio(P("in16.wav"), pcm);
    EXPECT_RUN(Marovex({"process", "in16.wav", "out16.wav", "--dither", "--bypass", "-q"}), 0);
    EXPECT_TRUE(SameBits(ReadAudio(P("out16.wav")).samples, ReadAudio(P("in16.wav")).samples));
}

TEST_F(CliProgram, StateShowEscapesControlCharacters) {
    // A hand-made state whose texts carry a terminal escape, a bell, a C1 CSI and an 8-bit CSI.
    std::vector<uint8_t> data = {1, 1, 1, 1};
    const auto entry = [&data](char type, const std::string& id, const std::string& value) {
        data.push_back(uint8_t(type));
        data.push_back('_');
        data.insert(data.end(), id.begin(), id.end());
        data.push_back(0);
        while (data.size() % 4 != 0) data.push_back(0);
        data.insert(data.end(), value.begin(), value.end());
        data.push_back(0);
        while (data.size() % 4 != 0) data.push_back(0);
    };
    entry('r', "Name\x1b]0;owned\x07", "text \xc2\x9b" "31m \x9b" "2J end");
    std::vector<uint8_t> record(56, 0);
    const int32_t size = int32_t(data.size());
    const int32_t version = 1;
    const uint32_t type = 0x656C636B;
    std::memcpy(&record[0], &size, 4);
    std::memcpy(&record[4], &version, 4);
    std::memcpy(&record[20], &type, 4);
    std::memcpy(&record[24], "Complete\x1b[2J", 12);
    record.insert(record.end(), data.begin(), data.end());
    std::ofstream(P("odd.state"), std::ios::binary).write(reinterpret_cast<const char*>(record.data()),
                                                          std::streamsize(record.size()));
    const RunResult r = Marovex({"state", "show", "odd.state"});
    EXPECT_RUN(r, 0);
    for (size_t i = 0; i < r.out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(r.out[i]);
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F && c != 0x9B)) << "byte " << i << " " << int(c) << "\n" << r.out;
        EXPECT_FALSE(c == 0xC2 && i + 1 < r.out.size() && static_cast<unsigned char>(r.out[i + 1]) == 0x9B) << r.out;
    }
    EXPECT_NE(r.out.find("Name\\x1B]0;owned\\x07"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("text \\u{009B}31m \\x9B2J end"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------------------------------------------
// What users expect

TEST_F(CliProgram, PipesCarryWavFlacAndOgg) {
    Audio in = TestSignal(2, 44100, 5000, 50u);
    in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    WriteAudio(P("in.wav"), in);
    EXPECT_RUN(Marovex({"process", "in.wav", "file.wav", "-q"}), 0);
    const Audio viaFile = ReadAudio(P("file.wav"));
    // `- -`: standard input to standard output.
    EXPECT_RUN(Marovex({"process", "-", "-", "-q"}, {}, "in.wav", "stream.wav"), 0);
    const Audio viaPipe = ReadAudio(P("stream.wav"));
    EXPECT_EQ(viaPipe.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_TRUE(SameBits(viaPipe.samples, viaFile.samples));
    // FLAC out on standard output and back in from standard input (a plain file descriptor
    // here; the reader does not seek it).
    EXPECT_RUN(Marovex({"process", "in.wav", "-", "--format", "flac", "--bypass", "-q"}, {}, "", "stream.flac"), 0);
    EXPECT_RUN(Marovex({"process", "-", "back.wav", "--bypass", "-q"}, {}, "stream.flac"), 0);
    EXPECT_TRUE(SameBits(ReadAudio(P("back.wav")).samples, ReadAudio(P("in.wav")).samples));
    EXPECT_RUN(Marovex({"process", "in.wav", "-", "--format", "ogg", "-q"}, {}, "", "stream.ogg"), 0);
    EXPECT_EQ(ReadAudio(P("stream.ogg")).Frames(), 5000);
    // Containers that cannot stream are refused on a stream, which the message names rightly.
    const RunResult aiff = Marovex({"process", "in.wav", "-", "--format", "aiff"});
    EXPECT_RUN(aiff, 2);
    EXPECT_NE(aiff.err.find("to a stream (standard output)"), std::string::npos) << aiff.err;
}

TEST_F(CliProgram, BatchGoesOnPastABadInputAndSaysSo) {
    WriteAudio(P("a.wav"), TestSignal(1, 48000, 600, 51u));
    WriteAudio(P("c.wav"), TestSignal(2, 44100, 700, 52u));
    std::ofstream(P("b.wav")) << "not audio";
    Audio au = TestSignal(1, 8000, 300, 56u);
    au.format = SF_FORMAT_AU | SF_FORMAT_PCM_16;
    WriteAudio(P("d.au"), au);
    fs::create_directory(P("out"));
    const RunResult r =
        Marovex({"process", "a.wav", "b.wav", "c.wav", "d.au", "-o", "out", "--set", "OutGain=0.4", "--json"});
    EXPECT_RUN(r, 1);
    EXPECT_NE(r.err.find("error: 'b.wav': cannot read 'b.wav' as audio"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("error: 1 of 4 inputs failed: 'b.wav'"), std::string::npos) << r.err;
    // A container not written here becomes WAV of the same depth.
    EXPECT_EQ(ReadAudio(P("out/d.wav")).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_TRUE(fs::exists(P("out/a.wav")));
    EXPECT_FALSE(fs::exists(P("out/b.wav")));
    EXPECT_EQ(ReadAudio(P("out/c.wav")).Frames(), 700);
    const nlohmann::json json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json.size(), 4u);
    EXPECT_EQ(json[0]["frames"], 600);
    EXPECT_TRUE(json[1].contains("error"));
    EXPECT_EQ(json[2]["settings"][0]["readout"], "OutGain 0.40 = Output Volume 80.00 %");
    Settings s;
    s.outGain = 0.4f;
    EXPECT_TRUE(SameBits(ReadAudio(P("out/a.wav")).samples, Reference(ReadAudio(P("a.wav")), 512, s)));
}

TEST_F(CliProgram, SummaryTellsTheSettingsInWordsAndBypassIsEasy) {
    WriteAudio(P("in.wav"), TestSignal(2, 48000, 12000, 53u));
    const RunResult r = Marovex({"process", "in.wav", "out.wav", "--set", "FreqA=0.25", "--set", "OutGain=0.5"});
    EXPECT_RUN(r, 0);
    EXPECT_NE(r.err.find("marovex: FreqA 0.25 = Xover Frequency 2250.00 Hz\nmarovex: OutGain 0.50 = Output Volume 100.00 %\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("peak gain reduction"), std::string::npos);
    const RunResult bypassed = Marovex({"process", "in.wav", "dry.wav", "--bypass", "--json"});
    EXPECT_RUN(bypassed, 0);
    const nlohmann::json json = nlohmann::json::parse(bypassed.out);
    EXPECT_TRUE(json["bypassed"].get<bool>());
    EXPECT_TRUE(json["peakGainReduction"].is_null());
    EXPECT_EQ(json["peakIn"], json["peakOut"]);
    EXPECT_TRUE(SameBits(ReadAudio(P("dry.wav")).samples, ReadAudio(P("in.wav")).samples));
    const RunResult words = Marovex({"process", "in.wav", "dry2.wav", "--bypass"});
    EXPECT_NE(words.err.find("bypassed, no gain reduction"), std::string::npos) << words.err;
}

TEST_F(CliProgram, TextTagsPassThrough) {
    Audio in = TestSignal(2, 48000, 500, 54u);
    in.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SF_INFO info = {};
    info.format = in.format;
    info.channels = 2;
    info.samplerate = 48000;
    SNDFILE* f = sf_open(P("tagged.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_set_string(f, SF_STR_TITLE, "Night Take");
    sf_set_string(f, SF_STR_ARTIST, "The Band");
    SF_BROADCAST_INFO bext = {};
    std::strcpy(bext.description, "Room B");
    std::strcpy(bext.originator, "Desk 4");
    sf_command(f, SFC_SET_BROADCAST_INFO, &bext, sizeof bext);
    sf_writef_float(f, in.samples.data(), 500);
    sf_close(f);
    EXPECT_RUN(Marovex({"process", "tagged.wav", "out.wav", "-q"}), 0);
    EXPECT_RUN(Marovex({"process", "tagged.wav", "out.flac", "-q"}), 0);
    for (const char* name : {"out.wav", "out.flac"}) {
        SF_INFO o = {};
        SNDFILE* g = sf_open(P(name).c_str(), SFM_READ, &o);
        ASSERT_NE(g, nullptr);
        EXPECT_STREQ(sf_get_string(g, SF_STR_TITLE), "Night Take") << name;
        EXPECT_STREQ(sf_get_string(g, SF_STR_ARTIST), "The Band") << name;
        SF_BROADCAST_INFO back = {};
        const bool hasBext = sf_command(g, SFC_GET_BROADCAST_INFO, &back, sizeof back) == SF_TRUE;
        EXPECT_EQ(hasBext, std::string(name) == "out.wav");
        if (hasBext) {
            EXPECT_STREQ(back.originator, "Desk 4");
        }
        sf_close(g);
    }
}

TEST_F(CliProgram, ThePluginIsFoundThroughTheEnvironmentOrTheOption) {
    WriteAudio(P("in.wav"), TestSignal(1, 48000, 100, 55u));
    const RunResult missing = Marovex({"info"}, {"MAROVEX_PLUGIN=/no/such/Marovex.so"});
    EXPECT_RUN(missing, 1);
    EXPECT_NE(missing.err.find("/no/such/Marovex.so"), std::string::npos) << missing.err;
    // --plugin wins over the environment.
    const std::string module = fs::path(MAROVEX_CLI_PROGRAM).parent_path().parent_path() /
                               "Marovex.aaxplugin/Contents/x86_64-linux/Marovex.so";
    EXPECT_RUN(Marovex({"--plugin", module, "info"}, {"MAROVEX_PLUGIN=/no/such/Marovex.so"}), 0);
}

TEST_F(CliProgram, AnInstalledProgramFindsItsModuleWhereverThePrefixMoves) {
    const std::string prefix = (mRoot / "prefix").string();
    const std::string command = std::string("'") + MAROVEX_CMAKE_COMMAND + "' --install '" + MAROVEX_BUILD_DIR +
                                "' --prefix '" + prefix + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    fs::rename(prefix, mRoot / "moved");
    const std::string program = (mRoot / "moved" / "bin" / "marovex").string();
    ASSERT_TRUE(fs::exists(program));
    const std::string out = (mRoot / "info.txt").string();
    ASSERT_EQ(std::system(("cd / && '" + program + "' info > '" + out + "' 2>&1").c_str()), 0) << ReadText(out);
    EXPECT_NE(ReadText(out).find((mRoot / "moved" / "lib" / "marovex").string()), std::string::npos) << ReadText(out);
}

TEST_F(CliProgram, ProgressShowsOnATerminalOnly) {
    WriteAudio(P("in.wav"), TestSignal(2, 48000, 3 * 48000, 57u));
    const RunResult plain = Marovex({"process", "in.wav", "a.wav"});
    EXPECT_RUN(plain, 0);
    EXPECT_EQ(plain.err.find('\r'), std::string::npos) << plain.err;
    // `script` gives the program a terminal and copies what it shows.
    const std::string shown = (mRoot / "terminal.txt").string();
    const std::string command = "cd '" + mDir.string() + "' && script -qec \"'" + MAROVEX_CLI_PROGRAM +
                                "' process in.wav b.wav\" /dev/null > '" + shown + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(shown);
    const std::string text = ReadText(shown);
    EXPECT_NE(text.find("\r["), std::string::npos) << text;
    EXPECT_NE(text.find(" elapsed, "), std::string::npos) << text;
    EXPECT_NE(text.find(" left"), std::string::npos) << text;
}
