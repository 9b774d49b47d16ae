// The marovex program's command line, run as a user runs it: every value it reads is its whole text or
// a usage error that writes nothing and says what was wrong; options may come before the files for
// every command; every message shows text from the user with its control characters escaped.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "tests/TestFiles.h"

namespace fs = std::filesystem;

namespace {

using runprogram::RunResult;

class CliArguments : public ::testing::Test {
protected:
    void SetUp() override {
        // A short stereo file with some level, so that settings change the output.
        SF_INFO info = {};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open(P("in.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        std::vector<float> samples(2 * 9600);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = float(0.7 * std::sin(0.013 * double(i) * (1 + i % 2)));
        sf_writef_float(f, samples.data(), sf_count_t(samples.size() / 2));
        sf_close(f);
    }

    std::string P(const std::string& name) const { return mFolder.Path(name); }

    // Runs the program in the work folder; standard output and error are kept outside it.
    RunResult Marovex(std::vector<std::string> args) {
        args.insert(args.begin(), MAROVEX_CLI_PROGRAM);
        const std::string outPath = mOutside.Path("stdout"), errPath = mOutside.Path("stderr");
        RunResult run;
        run.status = runprogram::SpawnAndWait(
            args, runprogram::EnvironmentWithLeakSuppressions(MAROVEX_GUI_LEAKS_SUPPRESSIONS), mFolder.Dir().string(),
            "/dev/null", outPath, errPath);
        if (run.status < 0) return run;
        run.out = testfiles::ReadAll(outPath);
        run.err = testfiles::ReadAll(errPath);
        return run;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(mFolder.Dir())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string Bytes(const std::string& name) const { return testfiles::ReadAll(P(name)); }

    testfiles::TempFolder mFolder, mOutside;
};

std::string Joined(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += (line.empty() ? "'" : " '") + a + "'";
    return line;
}

// The validator's runs read their arguments before any check; these keep one that got past them short.
std::vector<std::string> Validate(std::vector<std::string> args) {
    args.insert(args.begin(), {"validate", "--only", "load", "--strictness", "1"});
    return args;
}

}  // namespace

TEST_F(CliArguments, EveryValueThatIsNotItsWholeTextExitsTwoWritesNothingAndSaysWhy) {
    const std::vector<std::string> process = {"process", "in.wav", "out.wav", "--save-state", "s.state"};
    const auto Process = [&](std::vector<std::string> more) {
        std::vector<std::string> args = process;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::string setFreqA = "error: cannot set FreqA to ";
    const std::string comma = "; the decimal separator is a point: '0.5'";
    const std::vector<Case> cases = {
        // --set: a normalized number or the whole value text, nothing read by its first characters.
        {Process({"--set", "FreqA=0,5"}), setFreqA + "'0,5': give a normalized value from 0 to 1 or the whole value text "
                                               "of FreqA, such as '0.50'" + comma},
        {Process({"--set", "FreqA=1/2"}), setFreqA + "'1/2'"},
        {Process({"--set", "FreqA=0.5x"}), setFreqA + "'0.5x'"},
        {Process({"--set", "FreqA=5e-1garbage"}), setFreqA + "'5e-1garbage'"},
        {Process({"--set", "FreqA=0x1p-2"}), setFreqA + "'0x1p-2'"},
        {Process({"--set", "4=0x.8"}), setFreqA + "'0x.8'"},
        {Process({"--set", "FreqA= 0.5"}), setFreqA + "' 0.5'"},
        {Process({"--set", "FreqA=0.5 "}), setFreqA + "'0.5 '"},
        {Process({"--set", "FreqA=0.50 Hz"}), setFreqA + "'0.50 Hz'"},
        {Process({"--set", "MasterBypassID=onward"}), "such as 'bypass' or 'on'"},
        {Process({"--set", "FreqA="}), "error: --set expects ID=VALUE, not 'FreqA=' (the value is missing)"},
        // --automate: its times and values by the same rules.
        {Process({"--automate", "FreqA=0x1:0.5"}), "error: envelope time '0x1'"},
        {Process({"--automate", "FreqA=0:0.5x"}), "error: envelope value '0.5x'"},
        {Process({"--automate", "FreqA=0:0,5"}), "points are separated by commas, and the decimal separator is a point"},
        {Process({"--automate", "MasterBypassID=0:onx"}), "error: cannot set MasterBypassID to 'onx'"},
        // Whole numbers: decimal digits only.
        {Process({"--block", "0x200"}), "error: --block takes a whole number from 1 to 1048576, not '0x200'"},
        {Process({"--block", " 512"}), "error: --block takes a whole number"},
        {Process({"--block", "1e3"}), "error: --block takes a whole number"},
        {Process({"--block", "512.0"}), "error: --block takes a whole number"},
        {Process({"--bits", "16 "}), "error: --bits must be"},
        {Process({"--plot", "p.png", "--plot-size", "1.6e3x900"}), "error: a picture size is WIDTHxHEIGHT"},
        {Process({"--plot", "p.png", "--plot-size", "+1600x900"}), "error: a picture size is WIDTHxHEIGHT"},
        // An empty value is a mistake, not the default; a picture is PNG.
        {Process({"--format", ""}), "error: --format was given an empty value"},
        {Process({"--preset", ""}), "error: --preset was given an empty value"},
        {{"--plugin", "", "process", "in.wav", "out.wav"}, "error: --plugin was given an empty value"},
        {Process({"--plot", "p.jpg"}), "error: --plot writes a PNG picture, not a '.jpg' file"},
        // plot-response
        {{"plot-response", "r.png", "--rate", "0x1p13"}, "error: --rate takes a number from 8000 to 768000, not '0x1p13'"},
        {{"plot-response", "r.png", "--rate", "44100,5"}, "; the decimal separator is a point: '44100.5'"},
        {{"plot-response", "r.png", "--size", "800x450x"}, "error: a picture size is WIDTHxHEIGHT"},
        {{"plot-response", "r.png", "--set", "FreqW=0,2"}, "error: cannot set FreqW to '0,2'"},
        {{"plot-response", "r.jpg"}, "error: plot-response writes a PNG picture"},
        // editor
        {{"editor", "--snapshot", "e.png", "--set", "FreqA=0x.8"}, setFreqA + "'0x.8'"},
        {{"editor", "--snapshot", "e.png", "--meter", "-1"}, "error: --meter takes a number from 0 to 1, not '-1'"},
        {{"editor", "--snapshot", "e.png", "--meter", ""}, "error: --meter takes a number from 0 to 1, not an empty text"},
        {{"editor", "--snapshot", "e.png", "--meter", "0x.8"}, "error: --meter takes a number from 0 to 1"},
        {{"editor", "--snapshot", "e.png", "--meter", "0,5"}, comma},
        {{"editor", "--snapshot", "e.png", "--meter", "nan"}, "error: --meter takes a number from 0 to 1"},
        {{"editor", "--snapshot", "e.jpg"}, "error: --snapshot writes a PNG picture"},
        {{"editor", "", "--snapshot", "e.png"}, "error: an empty file name was given"},
        // validate
        {Validate({"--seed", "-1"}), "error: --seed takes a whole number from 0 to 18446744073709551615, not '-1'"},
        {Validate({"--seed", "18446744073709551616"}), "error: --seed takes a whole number"},
        {Validate({"--seed", "0x10"}), "error: --seed takes a whole number"},
        {Validate({"--repeat", "2.0"}), "error: --repeat takes a whole number from 1 to 1000"},
        {{"validate", "--only", "load", "--strictness", "0x5"}, "error: --strictness takes a whole number from 1 to 10"},
        {{"validate", "--strictness", "1", "--only", ""}, "error: --only was given an empty value"},
        {{"validate", "--strictness", "1", "--only", "load,"}, "error: --only: no check with an empty name in 'load,'"},
    };
    for (const Case& c : cases) {
        const RunResult r = Marovex(c.args);
        EXPECT_EQ(r.status, 2) << Joined(c.args) << "\n" << r.err;
        EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << Joined(c.args) << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << Joined(c.args) << "\n" << r.err;
        EXPECT_EQ(r.out, "") << Joined(c.args);
        EXPECT_EQ(Names(), std::vector<std::string>{"in.wav"}) << Joined(c.args);
    }
}

TEST_F(CliArguments, EveryWayOfWritingAValueGivesTheSameOutput) {
    const auto process = [&](const std::string& out, std::vector<std::string> settings) {
        std::vector<std::string> args = {"process", "in.wav", out, "-q"};
        args.insert(args.end(), settings.begin(), settings.end());
        const RunResult r = Marovex(args);
        EXPECT_EQ(r.status, 0) << Joined(args) << "\n" << r.err;
        return Bytes(out);
    };
    const std::string quarter = process("q.wav", {"--set", "FreqA=0.25"});
    ASSERT_FALSE(quarter.empty());
    EXPECT_NE(quarter, process("default.wav", {}));  // the setting matters
    int n = 0;
    for (const char* text : {".25", "2.5e-1", "+0.25", "0.250", "25E-2"}) {
        EXPECT_EQ(process("f" + std::to_string(n++) + ".wav", {"--set", std::string("FreqA=") + text}), quarter) << text;
    }
    // The whole value text, and an envelope that holds the value, are the same setting.
    EXPECT_EQ(process("t.wav", {"--automate", "4=0:.25,0.1:0.25"}), quarter);
    const std::string bypassed = process("b.wav", {"--bypass"});
    EXPECT_EQ(process("b1.wav", {"--set", "MasterBypassID=on"}), bypassed);
    EXPECT_EQ(process("b2.wav", {"--set", "0=1"}), bypassed);
    EXPECT_EQ(process("b3.wav", {"--automate", "MasterBypassID=0:on"}), bypassed);
    EXPECT_EQ(process("k.wav", {"--set", "MasterBypassID=bypass", "--block", "0512"}), process("d.wav", {}));

    // The other readers take their valid forms.
    EXPECT_EQ(Marovex({"editor", "--snapshot", "m.png", "--meter", ".25"}).status, 0);
    EXPECT_EQ(Bytes("m.png"), (Marovex({"editor", "--snapshot", "m2.png", "--meter", "2.5e-1"}), Bytes("m2.png")));
    EXPECT_EQ(Marovex({"plot-response", "r.png", "--rate", "44100.0", "--size", "0800x0450"}).status, 0);
    const RunResult seed = Marovex(Validate({"--seed", "18446744073709551615"}));
    EXPECT_EQ(seed.status, 0) << seed.out;
    EXPECT_NE(seed.out.find("seed 18446744073709551615,"), std::string::npos) << seed.out;
}

TEST_F(CliArguments, OptionsBeforeTheFilesWorkForEveryCommand) {
    // Each pair: options last, then the same options first. Both succeed and write the same bytes.
    const std::vector<std::string> settings = {"--set", "FreqA=0.3", "--set", "Width=0.2", "--automate",
                                               "OutGain=0:0.4,0.1:0.6", "--block", "256"};
    struct Pair {
        std::vector<std::string> last, first;
        std::string outLast, outFirst;
    };
    const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    ASSERT_EQ(Marovex({"process", "in.wav", "s0.wav", "-q", "--save-state", "s.state", "--set", "Dyn=0.3"}).status, 0);
    fs::create_directory(P("dir"));
    const std::vector<Pair> pairs = {
        {with({"process", "in.wav", "a.wav", "-q", "--overwrite"}, settings),
         with(with({"process", "-q", "--overwrite"}, settings), {"in.wav", "b.wav"}), "a.wav", "b.wav"},
        {with({"process", "in.wav", "-o", "dir", "-q", "--format", "flac"}, settings),
         with(with({"process", "-q", "--format", "flac", "-o", "dir"}, settings), {"in.wav"}), "dir/in.flac",
         "dir/in.flac"},
        {{"editor", "in.wav", "--snapshot", "a.png", "--set", "FreqA=0.3", "--set", "Adj=0.9", "--meter", "0.5"},
         {"editor", "--snapshot", "b.png", "--set", "FreqA=0.3", "--set", "Adj=0.9", "--meter", "0.5", "in.wav"},
         "a.png", "b.png"},
        {{"plot-response", "a-r.png", "--set", "FreqA=0.3", "--set", "FreqW=0.7", "--rate", "44100"},
         {"plot-response", "--set", "FreqA=0.3", "--set", "FreqW=0.7", "--rate", "44100", "b-r.png"}, "a-r.png",
         "b-r.png"},
        {{"state", "show", "s.state", "--json"}, {"state", "show", "--json", "s.state"}, "", ""},
    };
    for (const Pair& p : pairs) {
        const RunResult last = Marovex(p.last);
        const std::string lastBytes = p.outLast.empty() ? last.out : Bytes(p.outLast);
        if (p.outLast == p.outFirst && !p.outLast.empty()) fs::remove(P(p.outLast));
        const RunResult first = Marovex(p.first);
        EXPECT_EQ(last.status, 0) << Joined(p.last) << "\n" << last.err;
        EXPECT_EQ(first.status, 0) << Joined(p.first) << "\n" << first.err;
        EXPECT_FALSE(lastBytes.empty()) << Joined(p.last);
        EXPECT_EQ(p.outFirst.empty() ? first.out : Bytes(p.outFirst), lastBytes) << Joined(p.first);
    }
    // One value per use: a second value after --set is the next file, not a second setting.
    const RunResult two = Marovex({"process", "--set", "FreqA=0.3", "Width=0.2", "in.wav", "c.wav"});
    EXPECT_EQ(two.status, 2) << two.err;
    EXPECT_NE(two.err.find("process takes IN and OUT"), std::string::npos) << two.err;
    EXPECT_FALSE(fs::exists(P("c.wav")));
}

TEST_F(CliArguments, EveryMessageShowsControlCharactersEscaped) {
    // Text a terminal would act on (escape sequences, a bell, a C1 control, an invalid byte), given
    // where each command reads text from the user.
    const std::string csi = "\x1b[2J", title = "\x1b]0;owned\x07";
    const std::vector<std::vector<std::string>> cases = {
        {"editor", "--snapshot", "e.png", "--set", "\x1bX"},
        {"editor", "--snapshot", "e.png", "--set", "FreqA=" + csi},
        {"validate", "--only", "\x1bq"},
        {"process", "in.wav", "out.wav", "--set", "Fr" + csi + "eqA=0.5"},
        {"process", "in.wav", "out.wav", "--set", "FreqA=" + title},
        {"process", "in.wav", "out.wav", "--automate", "FreqA=0:" + csi},
        {"process", "in.wav", "out.wav", "--format", "w\xc2\x9b" "av"},
        {"process", "in.wav", "out.wav", "--bogus" + csi},   // the argument library's own message
        {"process", "in.wav", "out.wav", "--block", "\x9b" "1"},
        {"process", "no" + csi + ".wav", "out.wav"},
        {"plot-response", "r.png", "--set", "Dyn" + title + "=1"},
        {"help", title},
        {"mix" + csi},
        {"--plugin", "/no/such/" + title + ".so", "process", "in.wav", "out.wav"},
    };
    for (const auto& args : cases) {
        const RunResult r = Marovex(args);
        EXPECT_NE(r.status, 0) << Joined(args);
        EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
        // Nothing but printable ASCII and line ends: every control byte arrives as \xNN or \u{NNNN}.
        const auto raw = std::find_if(r.err.begin(), r.err.end(), [](char c) {
            const unsigned char u = static_cast<unsigned char>(c);
            return u != '\n' && (u < 0x20 || u >= 0x7F);
        });
        EXPECT_EQ(raw, r.err.end()) << Joined(args) << "\n" << r.err;
        EXPECT_TRUE(r.err.find("\\x1B") != std::string::npos || r.err.find("\\u{009B}") != std::string::npos ||
                    r.err.find("\\x9B") != std::string::npos)
            << Joined(args) << "\n" << r.err;
    }
}
