// What the program and the battery share, in-process: the state-file reader, the output-format
// choice, the command line's value readers, message escaping, integer quantization of written audio,
// and outputs that appear only on commit.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Arguments.h"
#include "AudioFormat.h"
#include "AudioReader.h"
#include "AudioWriter.h"
#include "CliError.h"
#include "MarovexReport.h"
#include "PendingFile.h"
#include "StateFile.h"
#include "Text.h"
#include "tests/TestFiles.h"
#include "tests/support/ErrorOf.h"

using namespace marovex::cli;
using testfiles::ErrorOf;
using testfiles::ReadAll;
namespace fs = std::filesystem;

namespace {

class CliFiles : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return mFolder.Path(name); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(mFolder.Dir())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    testfiles::TempFolder mFolder;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------
// State files

namespace {

// Builds a state record by hand: header (host byte order), marker, entries.
class RecordBuilder {
public:
    RecordBuilder() { mData = {1, 1, 1, 1}; }
    RecordBuilder& Entry(char type, const std::string& id, const std::vector<uint8_t>& value) {
        mData.push_back(uint8_t(type));
        mData.push_back('_');
        mData.insert(mData.end(), id.begin(), id.end());
        mData.push_back(0);
        while (mData.size() % 4 != 0) mData.push_back(0);
        mData.insert(mData.end(), value.begin(), value.end());
        return *this;
    }
    std::vector<uint8_t> Build(uint32_t chunkID = 0x656C636B, int32_t sizeDelta = 0) const {
        std::vector<uint8_t> record(56 + mData.size(), 0);
        const int32_t size = int32_t(mData.size()) + sizeDelta;
        const int32_t version = -1;
        std::memcpy(&record[0], &size, 4);
        std::memcpy(&record[4], &version, 4);
        std::memcpy(&record[20], &chunkID, 4);
        std::memcpy(&record[24], "Complete Controls State", 23);
        std::copy(mData.begin(), mData.end(), record.begin() + 56);
        return record;
    }
    std::vector<uint8_t>& Data() { return mData; }

private:
    std::vector<uint8_t> mData;
};

}  // namespace

TEST(CliStateFile, ReadsEveryEntryTypeWithItsPadding) {
    // 0.5 as a big-endian double; -1.5f; -2; -3 as int16; a two-character text followed by one pad byte
    // and an entry read from the next multiple of 4.
    const std::vector<uint8_t> record = RecordBuilder()
                                            .Entry('d', "InGain", {0x3F, 0xE0, 0, 0, 0, 0, 0, 0})
                                            .Entry('f', "Fl", {0xBF, 0xC0, 0, 0})
                                            .Entry('l', "Long", {0xFF, 0xFF, 0xFF, 0xFE})
                                            .Entry('s', "S", {0xFF, 0xFD, 0, 0})
                                            .Entry('r', "T", {'h', 'i', 0, 0})
                                            .Entry('d', "Adj", {0x3F, 0xD0, 0, 0, 0, 0, 0, 0})
                                            .Build();
    const StateRecord r = ParseStateRecord(record);
    EXPECT_EQ(r.version, -1);
    EXPECT_EQ(r.chunkType, 0x656C636Bu);
    EXPECT_EQ(r.name, "Complete Controls State");
    ASSERT_EQ(r.entries.size(), 6u);
    EXPECT_EQ(r.entries[0].identifier, "InGain");
    EXPECT_EQ(r.entries[0].offset, 4u);
    EXPECT_EQ(r.entries[0].number, 0.5);
    EXPECT_EQ(r.entries[1].type, 'f');
    EXPECT_EQ(r.entries[1].number, -1.5);
    EXPECT_EQ(r.entries[2].number, -2.0);
    EXPECT_EQ(r.entries[3].number, -3.0);
    EXPECT_EQ(r.entries[4].type, 'r');
    EXPECT_EQ(r.entries[4].text, "hi");
    EXPECT_EQ(r.entries[5].identifier, "Adj");
    EXPECT_EQ(r.entries[5].offset, r.entries[4].offset + 8) << "'r_T' + NUL, then 'hi' + NUL + one pad byte";
    EXPECT_EQ(r.entries[5].number, 0.25);
    EXPECT_STREQ(StateTypeName('s'), "int16");
    EXPECT_EQ(FourCharText(0x656C636Bu), "elck");
    EXPECT_EQ(FourCharText(0x41000142u), "A??B");

    // The marker alone is a state with no entries.
    EXPECT_TRUE(ParseStateRecord(RecordBuilder().Build()).entries.empty());
}

TEST(CliStateFile, CorruptRecordsAreReportedWithoutReadingPastTheData) {
    const auto message = [](const std::vector<uint8_t>& record) {
        return ErrorOf([&] { ParseStateRecord(record); }, kExitFailure);
    };
    const std::vector<uint8_t> good = RecordBuilder().Entry('d', "InGain", {0x3F, 0xE0, 0, 0, 0, 0, 0, 0}).Build();
    EXPECT_EQ(message(std::vector<uint8_t>(good.begin(), good.begin() + 55)),
              "corrupt state file: the file holds 55 bytes, fewer than the 56-byte header");
    // Cut anywhere inside the data: the size in the header disagrees.
    for (size_t cut = 56; cut < good.size(); ++cut) {
        std::vector<uint8_t> shorter(good.begin(), good.begin() + cut);
        EXPECT_NE(message(shorter).find("the header gives 24 data bytes"), std::string::npos) << cut;
    }
    EXPECT_NE(message(RecordBuilder().Build(0x656C636B, -1)).find("data bytes"), std::string::npos);
    EXPECT_NE(message(RecordBuilder().Build(0x58585858)).find("chunk type 'XXXX'"), std::string::npos);

    // Header and sizes right, contents wrong.
    RecordBuilder badMarker;
    badMarker.Data()[3] = 2;
    EXPECT_NE(message(badMarker.Build()).find("marker"), std::string::npos);
    RecordBuilder empty;
    empty.Data().clear();
    EXPECT_NE(message(empty.Build()).find("marker"), std::string::npos);
    EXPECT_NE(message(RecordBuilder().Entry('x', "Id", {0, 0, 0, 0}).Build()).find("unknown type tag at data offset 4"),
              std::string::npos);
    EXPECT_NE(message(RecordBuilder().Entry('d', "Id", {0, 0, 0, 0}).Build()).find("runs past the end"),
              std::string::npos);
    RecordBuilder noNul;
    noNul.Data().insert(noNul.Data().end(), {'d', '_', 'I', 'n'});
    EXPECT_NE(message(noNul.Build()).find("identifier at data offset 6 runs past the end"), std::string::npos);
    RecordBuilder textNoNul;
    textNoNul.Entry('r', "T", {'a', 'b', 'c', 'd'});
    EXPECT_NE(message(textNoNul.Build()).find("text value at data offset 8"), std::string::npos);
    RecordBuilder lone;
    lone.Data().push_back('d');
    EXPECT_NE(message(lone.Build()).find("cut short"), std::string::npos);
}

TEST_F(CliFiles, StateFilesAreReadWholeWithinALimit) {
    std::ofstream(PathOf("s.bin"), std::ios::binary) << std::string(100, 'x');
    EXPECT_EQ(ReadWholeFile(PathOf("s.bin"), 100).size(), 100u);
    EXPECT_NE(ErrorOf([&] { ReadWholeFile(PathOf("s.bin"), 99); }, kExitFailure).find("larger than 99 bytes"),
              std::string::npos);
    EXPECT_EQ(ReadFilePrefix(PathOf("s.bin"), 10).size(), 10u);
    EXPECT_NE(ErrorOf([&] { ReadWholeFile(PathOf("none"), 99); }, kExitFailure).find("no such file"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { ReadWholeFile(mFolder.Dir().string(), 99); }, kExitFailure).find("folder"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------------
// Output format

TEST(CliOutputFormat, TheContainerIsChosenIntegerDepthIsKeptFloatStaysFloat) {
    const int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const int flac24 = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    const int aiff16 = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    const int ogg = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    const int wav32 = SF_FORMAT_WAV | SF_FORMAT_PCM_32;
    const int wavDouble = SF_FORMAT_WAV | SF_FORMAT_DOUBLE;
    const OutputBits keep{};
    struct Case {
        Container container;
        int input;
        OutputBits bits;
        int expected;
    };
    for (const Case& c : {
             Case{Container::Wav, wav16, keep, wav16},  // integer input keeps its depth
             Case{Container::Wav, wav16, {24, false}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
             Case{Container::Wav, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {16, false}, wav16},
             Case{Container::Wav, wavDouble, keep, wavDouble},
             Case{Container::Wav, ogg, keep, SF_FORMAT_WAV | SF_FORMAT_FLOAT},  // compressed input: float
             Case{Container::Wav, wav16, {8, false}, SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
             Case{Container::Aiff, wav16, {8, false}, SF_FORMAT_AIFF | SF_FORMAT_PCM_S8},
             Case{Container::Flac, wav16, keep, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},  // converted
             Case{Container::Flac, wav32, keep, flac24},  // FLAC holds at most 24 bits
             Case{Container::Flac, SF_FORMAT_WAV | SF_FORMAT_FLOAT, keep, flac24},
             Case{Container::Flac, flac24, {16, false}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
             Case{Container::Aiff, aiff16, keep, aiff16},
             Case{Container::Aiff, aiff16, {32, true}, SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
             Case{Container::Ogg, wav16, keep, ogg},
             Case{Container::Caf, wav32, {64, true}, SF_FORMAT_CAF | SF_FORMAT_DOUBLE},
             Case{Container::W64, wav32, keep, SF_FORMAT_W64 | SF_FORMAT_PCM_32},
             Case{Container::Rf64, wav16, keep, SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
         }) {
        EXPECT_EQ(ChooseOutputFormat(c.container, c.input, c.bits, 2, 48000), c.expected)
            << ContainerName(c.container) << " from " << std::hex << c.input;
    }
    ErrorOf([&] { ChooseOutputFormat(Container::Flac, flac24, {32, true}, 2, 48000); }, kExitUsage);
    ErrorOf([&] { ChooseOutputFormat(Container::Flac, flac24, {32, false}, 2, 48000); }, kExitUsage);
    ErrorOf([&] { ChooseOutputFormat(Container::Ogg, ogg, {16, false}, 2, 48000); }, kExitUsage);
    ErrorOf([] { ParseOutputBits("12"); }, kExitUsage);
    ErrorOf([] { ParseOutputBits("16f"); }, kExitUsage);
    EXPECT_EQ(ParseOutputBits("32"), (OutputBits{32, false}));
    EXPECT_EQ(ParseOutputBits("64f"), (OutputBits{64, true}));

    Container c = Container::Ogg;
    EXPECT_TRUE(ContainerOfExtension("a/B.AIF", &c));
    EXPECT_EQ(c, Container::Aiff);
    EXPECT_FALSE(ContainerOfExtension("song.mp3", &c));
    EXPECT_FALSE(ContainerOfExtension("song", &c));
    EXPECT_TRUE(ContainerOfName("RF64", &c));
    EXPECT_EQ(c, Container::Rf64);
}

TEST(CliOutputFormat, DefaultOutputSitsBesideTheInput) {
    EXPECT_EQ(DefaultOutputPath("/a/b/song.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16), "/a/b/song-marovex.flac");
    EXPECT_EQ(DefaultOutputPath("take.2.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16), "take.2-marovex.wav");
    // A FLAC file named .wav keeps its name's extension (and becomes WAV); unknown extensions follow
    // the container.
    EXPECT_EQ(DefaultOutputPath("x.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_16), "x-marovex.wav");
    EXPECT_EQ(DefaultOutputPath("raw", SF_FORMAT_FLAC | SF_FORMAT_PCM_16), "raw-marovex.flac");
    EXPECT_EQ(DefaultOutputPath("old.au", SF_FORMAT_AU | SF_FORMAT_PCM_16), "old-marovex.wav");
}

TEST(CliText, UntrustedTextIsMadeVisible) {
    EXPECT_EQ(EscapeText("plain Grüße 123"), "plain Grüße 123");
    EXPECT_EQ(EscapeText("a\x1b[31mred\x07\n\t\\"), "a\\x1B[31mred\\x07\\n\\t\\\\");
    // A lone CSI byte, an invalid sequence, the C1 control U+009B and a line separator.
    EXPECT_EQ(EscapeText("\x9b" "2J|\xc3|\xc2\x9b|\xe2\x80\xa8"), "\\x9B2J|\\xC3|\\u{009B}|\\u{2028}");
    EXPECT_EQ(ClosestMatch("proces", {"info", "process", "state"}), "process");
    EXPECT_EQ(ClosestMatch("freqa", {"FreqA", "FreqW"}), "FreqA");
    EXPECT_EQ(ClosestMatch("mix", {"info", "process", "state"}), "");
}

TEST(CliText, AWholeMessageIsMadeSafeWithoutEscapingItsQuotesTwice) {
    // What Quote made visible passes unchanged; raw control bytes do not.
    const std::string quoted = "cannot open " + Quote("a\\b\x1b[2J") + ": gone";
    EXPECT_EQ(quoted, "cannot open 'a\\\\b\\x1B[2J': gone");
    EXPECT_EQ(MarovexVisibleText(quoted, false), quoted);
    EXPECT_EQ(MarovexVisibleText("raw \x1b]0;title\x07 \\ end\n", false), "raw \\x1B]0;title\\x07 \\ end\\n");
    const MarovexReport report{"data model", "registered parameter \"\x1b[31m\" twice", "it stays registered once"};
    EXPECT_EQ(MarovexReportLine(report),
              "marovex: data model: registered parameter \"\\x1B[31m\" twice; it stays registered once");
    EXPECT_EQ(MarovexReportLine({"module", "gone", ""}), "marovex: module: gone");
}

// ---------------------------------------------------------------------------------------------------
// The command line's values

TEST(CliArguments, EveryValueIsItsWholeTextOrAUsageError) {
    struct Number {
        const char* text;
        double value;
    };
    for (const Number n : {Number{"0.5", 0.5}, {".5", 0.5}, {"5e-1", 0.5}, {"+0.25", 0.25}, {"5.", 5.0},
                           {"1E+0", 1.0}, {"-0.125", -0.125}, {"0", 0.0}}) {
        double value = -7.0;
        EXPECT_TRUE(ParseDecimal(n.text, &value)) << n.text;
        EXPECT_EQ(value, n.value) << n.text;
    }
    // Read by their first characters before: each of these was taken as some number.
    for (const char* text : {"", "0,5", "1/2", "0.5x", "5e-1garbage", "0x1p-2", "0x.8", " 0.5", "0.5 ", "0.5\n",
                             "+", "+-1", "++1", "inf", "-inf", "nan", "1e400", "\xd9\xa0.5"}) {
        double value = -7.0;
        EXPECT_FALSE(ParseDecimal(text, &value)) << text;
        EXPECT_EQ(value, -7.0) << text;
    }
    EXPECT_EQ(ReadWholeNumber("--seed", "18446744073709551615", 0, UINT64_MAX), UINT64_MAX);
    EXPECT_EQ(ReadWholeNumber("--block", "0512", 1, 1u << 20), 512u);
    for (const char* text : {"18446744073709551616", "99999999999999999999999", "-1", "+1", "0x10", "1e3", "1.0",
                             " 1", "1 ", ""}) {
        EXPECT_NE(ErrorOf([&] { ReadWholeNumber("--seed", text, 0, UINT64_MAX); }, kExitUsage)
                      .rfind("--seed takes a whole number from 0 to 18446744073709551615, not ", 0),
                  std::string::npos)
            << text;
    }
    EXPECT_EQ(ErrorOf([] { ReadWholeNumber("--repeat", "0", 1, 1000); }, kExitUsage),
              "--repeat takes a whole number from 1 to 1000, not '0'");
    EXPECT_EQ(ReadNumber("--meter", ".25", 0, 1), 0.25);
    EXPECT_EQ(ErrorOf([] { ReadNumber("--meter", "0,5", 0, 1); }, kExitUsage),
              "--meter takes a number from 0 to 1, not '0,5'; the decimal separator is a point: '0.5'");
    EXPECT_EQ(ErrorOf([] { ReadNumber("--meter", "-1", 0, 1); }, kExitUsage), "--meter takes a number from 0 to 1, not '-1'");
    EXPECT_EQ(ErrorOf([] { ReadNumber("--rate", "", 8000, 768000); }, kExitUsage),
              "--rate takes a number from 8000 to 768000, not an empty text");
    EXPECT_EQ(DecimalCommaHint("1,5,0"), "");
    EXPECT_EQ(DecimalCommaHint("44100,0"), "; the decimal separator is a point: '44100.0'");

    const Assignment a = ParseAssignment("--set", "Adj==0.5");
    EXPECT_EQ(a.key, "Adj");
    EXPECT_EQ(a.value, "=0.5");
    EXPECT_EQ(ErrorOf([] { ParseAssignment("--set", "in.wav"); }, kExitUsage), "--set expects ID=VALUE, not 'in.wav'");
    EXPECT_EQ(ErrorOf([] { ParseAssignment("--set", "=0.5"); }, kExitUsage),
              "--set expects ID=VALUE, not '=0.5' (the identifier is missing)");
    EXPECT_EQ(ErrorOf([] { ParseAssignment("--automate", "FreqA=", "ID=T:V"); }, kExitUsage),
              "--automate expects ID=T:V, not 'FreqA=' (the value is missing)");
    EXPECT_EQ(ErrorOf([] { ParseAssignment("--set", "\x1b]0;x\x07"); }, kExitUsage),
              "--set expects ID=VALUE, not '\\x1B]0;x\\x07'");

    for (const char* path : {"a.png", "levels.PNG", "-", "/dev/stdout", "v1.2/levels"}) {
        EXPECT_NO_THROW(CheckPictureName("--plot", path)) << path;
    }
    for (const char* path : {"p.jpg", "p.png.gz", "p.svg"}) ErrorOf([&] { CheckPictureName("--plot", path); }, kExitUsage);
}

// ---------------------------------------------------------------------------------------------------
// Writing audio and committing outputs

TEST_F(CliFiles, IntegerOutputIsRoundedAndClippedAtTheFormatsOwnWidth) {
    const std::string path = PathOf("q.wav");
    // Full scale is 2^15 for 16 bits, as when libsndfile reads 16-bit samples into floats.
    const float s = 1.0f / 32768.0f;
    const std::vector<float> in = {1.0f,     -1.0f,     0.5f,     1.5f,     -1.5f, 0.4f * s, 0.6f * s,
                                   -0.6f * s, 2.5f * s, std::nanf(""), -32767.0f * s, 32767.0f * s};
    const std::vector<short> expected = {32767, -32768, 16384, 32767, -32768, 0, 1, -1, 2, 0, -32767, 32767};
    {
        PendingFile file(path);
        AudioWriter writer(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000);
        writer.Write(in.data(), int64_t(in.size()));
        writer.Close();
        file.Commit(false);
    }
    SF_INFO info = {};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<short> got(in.size());
    EXPECT_EQ(sf_readf_short(f, got.data(), sf_count_t(got.size())), sf_count_t(got.size()));
    sf_close(f);
    EXPECT_EQ(got, expected);
}

TEST_F(CliFiles, IntegerSamplesReadAndWrittenComeBackBitForBit) {
    // Every 24-bit FLAC and 16-bit AIFF sample pattern at the extremes and around zero.
    struct Case { int format; int bits; const char* name; };
    for (const Case c : {Case{SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 24, "in.flac"},
                         Case{SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16, "in.aiff"},
                         Case{SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8, "in8.wav"}}) {
        const int32_t top = (1 << (c.bits - 1)) - 1;
        std::vector<int32_t> samples;
        for (int32_t v : {-top - 1, -top, -2, -1, 0, 1, 2, top - 1, top, 12345 % top, -(6789 % top)}) {
            samples.push_back(int32_t(uint32_t(v) << (32 - c.bits)));
        }
        SF_INFO info = {};
        info.format = c.format;
        info.channels = 1;
        info.samplerate = 44100;
        SNDFILE* f = sf_open(PathOf(c.name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << c.name;
        sf_writef_int(f, samples.data(), sf_count_t(samples.size()));
        sf_close(f);

        AudioReader reader(PathOf(c.name));
        EXPECT_EQ(reader.IntegerBits(), c.bits);
        std::vector<float> floats(samples.size());
        ASSERT_EQ(reader.Read(floats.data(), int64_t(floats.size())), int64_t(floats.size()));
        const std::string outName = std::string("out-") + c.name;
        {
            PendingFile file(PathOf(outName));
            AudioWriter writer(file, c.format, 1, 44100);
            writer.Write(floats.data(), int64_t(floats.size()));
            writer.Close();
            file.Commit(false);
        }
        SF_INFO outInfo = {};
        SNDFILE* g = sf_open(PathOf(outName).c_str(), SFM_READ, &outInfo);
        ASSERT_NE(g, nullptr);
        std::vector<int32_t> back(samples.size());
        sf_readf_int(g, back.data(), sf_count_t(back.size()));
        sf_close(g);
        EXPECT_EQ(back, samples) << c.name;
    }
}

TEST_F(CliFiles, OutputsAppearOnlyOnCommitAndNeverReplaceUnasked) {
    {
        PendingFile abandoned(PathOf("a.txt"));
        abandoned.WriteAll({'x'});
    }
    EXPECT_TRUE(Names().empty()) << "an output not committed leaves nothing behind";

    {
        PendingFile file(PathOf("b.txt"));
        file.WriteAll({'n', 'e', 'w'});
        EXPECT_FALSE(fs::exists(PathOf("b.txt")));
        file.Commit(false);
    }
    EXPECT_EQ(ReadAll(PathOf("b.txt")), "new");
    struct stat st;
    ASSERT_EQ(::stat(PathOf("b.txt").c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "permissions of an ordinary new file";

    {
        PendingFile again(PathOf("b.txt"));
        again.WriteAll({'2'});
        EXPECT_NE(ErrorOf([&] { again.Commit(false); }, kExitFailure).find("already exists"), std::string::npos);
    }
    EXPECT_EQ(ReadAll(PathOf("b.txt")), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});
    {
        PendingFile replace(PathOf("b.txt"));
        replace.WriteAll({'2'});
        replace.Commit(true);
    }
    EXPECT_EQ(ReadAll(PathOf("b.txt")), "2");
    EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});

    EXPECT_NE(ErrorOf([&] { PendingFile(PathOf("no/such/folder/c.txt")); }, kExitFailure).find("cannot create a file"),
              std::string::npos);
}

TEST_F(CliFiles, InputsOtherThanMonoOrStereoAreRefused) {
    SF_INFO info = {};
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    info.channels = 3;
    info.samplerate = 48000;
    SNDFILE* f = sf_open(PathOf("three.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    const float frame[3] = {0, 0, 0};
    sf_writef_float(f, frame, 1);
    sf_close(f);
    EXPECT_NE(ErrorOf([&] { AudioReader r(PathOf("three.wav")); }, kExitFailure).find("has 3 channels"),
              std::string::npos);
    std::ofstream(PathOf("text.wav")) << "not audio";
    EXPECT_NE(ErrorOf([&] { AudioReader r(PathOf("text.wav")); }, kExitFailure).find("cannot read"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { AudioReader r(PathOf("none.wav")); }, kExitFailure).find("no such file"),
              std::string::npos);
}
