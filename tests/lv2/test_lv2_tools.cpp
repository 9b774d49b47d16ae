// The bundle as users' tools see it: lv2ls/lv2info list both plug-ins and their ports, lv2_validate
// finds no error, lv2apply (one frame per run, no features) and lv2file (at several block lengths)
// render bit for bit what `marovex process` renders with the same settings, lv2bench runs both
// plug-ins, and the library exports nothing but its entry point. A tool that is not installed skips
// its case.
#include <gtest/gtest.h>

#include "cli/RunProgram.h"
#include <sndfile.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lv2/Lv2Ports.h"
#include "tests/TestFiles.h"

namespace fs = std::filesystem;
using namespace marovex_lv2;

namespace {

// A folder holding only our bundle (a link to it): the LV2 path the tools search.
class Lv2Tools : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/marovex-lv2-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        sDir = made;
        fs::create_directory_symlink(MAROVEX_LV2_BUNDLE, sDir / "Marovex.lv2");
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(sDir, ec);
    }

    // Runs a shell command with the LV2 path set; its standard output (and error, when asked), and
    // the exit status.
    static std::string Run(const std::string& command, int* status = nullptr, bool withErrors = false) {
        std::string full = "LV2_PATH='" + sDir.string() + "' " + std::string(MAROVEX_TOOL_ENV) + " " + command +
                           (withErrors ? " 2>&1" : " 2>/dev/null");
        const runprogram::RunResult run = runprogram::RunShell(full);
        if (status != nullptr) *status = run.status;
        return run.out;
    }
    static bool Have(const char* tool) {
        int status = 0;
        Run(std::string("command -v ") + tool, &status);
        return status == 0;
    }

    static fs::path sDir;
};
fs::path Lv2Tools::sDir;

#define REQUIRE_TOOL(t) \
    if (!Have(t)) GTEST_SKIP() << t << " is not installed"

bool WriteWav(const fs::path& path, int channels, const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    const sf_count_t frames = sf_count_t(interleaved.size()) / channels;
    const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

std::vector<float> TestSignal(int channels, size_t frames) {
    std::vector<float> s(frames * size_t(channels));
    uint32_t seed = 99;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double t = double(i) / 48000.0;
            s[i * size_t(channels) + size_t(c)] =
                float(0.5 * std::sin(2 * M_PI * (150.0 + 90.0 * c) * t) + 0.25 * std::sin(2 * M_PI * 5200.0 * t) +
                      0.2 * (double(seed >> 8) / double(1u << 24) - 0.5));
        }
    }
    return s;
}

TEST_F(Lv2Tools, InfoListsBothPluginsWithTheirPorts) {
    REQUIRE_TOOL("lv2ls");
    REQUIRE_TOOL("lv2info");
    EXPECT_EQ(Run("lv2ls"), std::string(kMonoUri) + "\n" + kStereoUri + "\n");
    for (const char* uri : {kStereoUri, kMonoUri}) {
        SCOPED_TRACE(uri);
        const uint32_t channels = std::string(uri) == kStereoUri ? 2 : 1;
        const std::string info = Run(std::string("lv2info ") + uri);
        size_t ports = 0;
        for (size_t at = info.find("\tPort "); at != std::string::npos; at = info.find("\tPort ", at + 1)) ++ports;
        EXPECT_EQ(ports, PortCount(channels));
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            EXPECT_NE(info.find(std::string("Symbol:      ") + kParameterSymbols[i] + "\n"), std::string::npos) << i;
        }
        EXPECT_NE(info.find("Designation: http://lv2plug.in/ns/lv2core#enabled"), std::string::npos);
        EXPECT_NE(info.find(std::string("Symbol:      ") + kMeterSymbol), std::string::npos);
        EXPECT_EQ(info.find("Required Features"), std::string::npos);
    }
}

TEST_F(Lv2Tools, ValidateFindsNoErrors) {
    REQUIRE_TOOL("lv2_validate");
    REQUIRE_TOOL("sord_validate");
    // It exits 0 for parse and structure failures too: its count is the verdict.
    const std::string bundle = (sDir / "Marovex.lv2").string();
    const std::string out = Run("lv2_validate " + bundle + "/manifest.ttl " + bundle + "/Marovex.ttl", nullptr, true);
    EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
    EXPECT_EQ(out.find("error:"), std::string::npos) << out;
}

TEST_F(Lv2Tools, ApplyRendersWhatOurProgramRenders) {
    REQUIRE_TOOL("lv2apply");
    for (int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        const fs::path in = sDir / ("in" + std::to_string(channels) + ".wav");
        const std::vector<float> input = TestSignal(channels, 30000);
        ASSERT_TRUE(WriteWav(in, channels, input));
        const char* uri = channels == 2 ? kStereoUri : kMonoUri;

        const fs::path lv2Out = sDir / "lv2.wav", ourOut = sDir / "ours.wav";
        int status = -1;
        const std::string log =
            Run("lv2apply -i " + in.string() + " -o " + lv2Out.string() +
                    " -c InGain 0.7 -c FreqA 0.3 -c Adj 0.625 -c Dyn 0.4 -c Width 0.35 " + uri,
                &status, true);
        ASSERT_EQ(status, 0) << log;
        const std::string ours = Run(std::string(MAROVEX_CLI_PROGRAM) + " process " + in.string() + " " +
                                         ourOut.string() +
                                         " --quiet --overwrite --set InGain=0.7 --set FreqA=0.3 --set Adj=0.625"
                                         " --set Dyn=0.4 --set Width=0.35",
                                     &status, true);
        ASSERT_EQ(status, 0) << ours;
        int c1 = 0, c2 = 0;
        const std::vector<float> a = testfiles::ReadAudio(lv2Out, &c1), b = testfiles::ReadAudio(ourOut, &c2);
        ASSERT_EQ(c1, channels);
        ASSERT_EQ(c2, channels);
        ASSERT_EQ(a.size(), input.size());
        ASSERT_EQ(b.size(), input.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
        EXPECT_NE(std::memcmp(a.data(), input.data(), a.size() * sizeof(float)), 0);

        // The enabled port off: the input comes out unchanged.
        ASSERT_EQ((Run("lv2apply -i " + in.string() + " -o " + lv2Out.string() + " -c MasterBypassID 0 -c InGain 0.9 " +
                           uri,
                       &status),
                   status),
                  0);
        const std::vector<float> bypassed = testfiles::ReadAudio(lv2Out, &c1);
        ASSERT_EQ(bypassed.size(), input.size());
        EXPECT_EQ(std::memcmp(bypassed.data(), input.data(), input.size() * sizeof(float)), 0);
    }
}

// lv2file hands the plug-ins a feature entry it never filled in (see lv2/Lv2Features.h); at its
// default block and at blocks of 1, 333 and 4096 it renders bit for bit what `marovex process`
// renders with the same settings, in stereo and in mono.
TEST_F(Lv2Tools, LvFileRendersWhatOurProgramRendersAtEveryBlock) {
    REQUIRE_TOOL("lv2file");
    for (int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        const fs::path in = sDir / ("file-in" + std::to_string(channels) + ".wav");
        const std::vector<float> input = TestSignal(channels, 20000);
        ASSERT_TRUE(WriteWav(in, channels, input));
        const fs::path lv2Out = sDir / "lv2file.wav", ourOut = sDir / "ours.wav";
        int status = -1;
        const std::string ours =
            Run(std::string(MAROVEX_CLI_PROGRAM) + " process " + in.string() + " " + ourOut.string() +
                    " --quiet --overwrite --set FreqA=0.3 --set Dyn=0.8 --set Width=0.25",
                &status, true);
        ASSERT_EQ(status, 0) << ours;
        const std::vector<float> expected = testfiles::ReadAudio(ourOut);
        ASSERT_EQ(expected.size(), input.size());
        for (const char* block : {"", "-b 1 ", "-b 333 ", "-b 4096 "}) {
            if (channels == 1 && *block != '\0') continue;  // mono at the default block only
            SCOPED_TRACE(block);
            const std::string log = Run("lv2file " + std::string(block) + "-i " + in.string() + " -o " +
                                            lv2Out.string() + " -p FreqA:0.3 -p Dyn:0.8 -p Width:0.25 " +
                                            (channels == 2 ? kStereoUri : kMonoUri),
                                        &status, true);
            ASSERT_EQ(status, 0) << log;
            int c = 0;
            const std::vector<float> got = testfiles::ReadAudio(lv2Out, &c);
            EXPECT_EQ(c, channels);
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(float)), 0);
        }
    }
}

TEST_F(Lv2Tools, BenchRunsBothPlugins) {
    REQUIRE_TOOL("lv2bench");
    for (const char* uri : {kStereoUri, kMonoUri}) {
        SCOPED_TRACE(uri);
        const std::string out = Run(std::string("lv2bench -n 8192 -b 256 ") + uri, nullptr, true);
        // "<seconds> <URI>"; a skipped plug-in prints a "skipping" line instead.
        std::istringstream lines(out);
        std::string line;
        bool found = false;
        while (std::getline(lines, line)) {
            const size_t space = line.find(' ');
            if (space == std::string::npos || line.substr(space + 1) != uri) continue;
            found = true;
            EXPECT_GT(std::stod(line.substr(0, space)), 0.0) << line;
        }
        EXPECT_TRUE(found) << out;
        EXPECT_EQ(out.find("skipping"), std::string::npos) << out;
    }
}

// `cmake --install` puts the bundle under <prefix>/lib/lv2, where hosts find it and can run it.
TEST_F(Lv2Tools, InstallPutsTheBundleWhereHostsLook) {
    REQUIRE_TOOL("lv2ls");
    REQUIRE_TOOL("lv2apply");
    const fs::path prefix = sDir / "prefix";
    int status = -1;
    const std::string log = Run(std::string("'") + MAROVEX_CMAKE + "' --install '" + MAROVEX_BUILD_DIR +
                                    "' --prefix '" + prefix.string() + "'",
                                &status, true);
    ASSERT_EQ(status, 0) << log;
    const std::string path = "LV2_PATH='" + (prefix / "lib/lv2").string() + "' ";
    EXPECT_EQ(Run(path + "lv2ls"), std::string(kMonoUri) + "\n" + kStereoUri + "\n");
    const fs::path in = sDir / "install-in.wav", out = sDir / "install-out.wav";
    ASSERT_TRUE(WriteWav(in, 2, TestSignal(2, 4800)));
    const std::string applied =
        Run(path + "lv2apply -i " + in.string() + " -o " + out.string() + " " + kStereoUri, &status, true);
    EXPECT_EQ(status, 0) << applied;
    EXPECT_EQ(testfiles::ReadAudio(out).size(), 2u * 4800u);
}

TEST_F(Lv2Tools, LibraryExportsOnlyItsEntryPoint) {
    REQUIRE_TOOL("nm");
    const std::string out = Run(std::string("nm -D --defined-only ") + MAROVEX_LV2_BUNDLE + "/MarovexLv2.so");
    std::istringstream lines(out);
    std::string address, type, name;
    std::vector<std::string> names;
    while (lines >> address >> type >> name) names.push_back(name);
    EXPECT_EQ(names, std::vector<std::string>{"lv2_descriptor"});
}

}  // namespace
