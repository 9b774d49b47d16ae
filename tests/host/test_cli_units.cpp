// The marovex program's own formats and files, in-process: envelopes, the state-file reader, the
// output-format choice, integer quantization of written audio, and outputs that appear only on commit.
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

#include "AudioFiles.h"
#include "CliError.h"
#include "Envelope.h"
#include "StateFile.h"

using namespace marovex::cli;
namespace fs = std::filesystem;

namespace {

// Runs `f`, which must throw a CliError with the status; returns its message.
std::string ErrorOf(const std::function<void()>& f, int status) {
    try {
        f();
    } catch (const CliError& e) {
        EXPECT_EQ(e.ExitStatus(), status) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

class CliFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/marovex-cli-units-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override { fs::remove_all(mDir); }
    std::string PathOf(const std::string& name) const { return (mDir / name).string(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(mDir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path mDir;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Envelopes

TEST(CliEnvelope, HoldsOutsideThePointsAndMovesLinearlyBetween) {
    const Envelope e = Envelope::Parse("0.5:0.2,1.5:0.6,3:0");
    EXPECT_EQ(e.ValueAt(0.0), 0.2);
    EXPECT_EQ(e.ValueAt(0.5), 0.2);
    EXPECT_DOUBLE_EQ(e.ValueAt(1.0), 0.4);
    EXPECT_DOUBLE_EQ(e.ValueAt(1.25), 0.5);
    EXPECT_EQ(e.ValueAt(1.5), 0.6);
    EXPECT_DOUBLE_EQ(e.ValueAt(2.25), 0.3);
    EXPECT_EQ(e.ValueAt(3.0), 0.0);
    EXPECT_EQ(e.ValueAt(100.0), 0.0);
}

TEST(CliEnvelope, TwoPointsAtOneTimeMakeAStep) {
    const Envelope e = Envelope::Parse("0:0,1:0,1:1,+2:1e0");
    EXPECT_EQ(e.ValueAt(0.999), 0.0);
    EXPECT_EQ(e.ValueAt(1.0), 1.0);
    EXPECT_EQ(e.ValueAt(1.5), 1.0);
    EXPECT_EQ(Envelope::Parse("7:0.5").ValueAt(0.0), 0.5);
}

TEST(CliEnvelope, MalformedTextIsAUsageError) {
    EXPECT_NE(ErrorOf([] { Envelope::Parse(""); }, kExitUsage).find("is not TIME:VALUE"), std::string::npos);
    ErrorOf([] { Envelope::Parse("0:0.5,"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0;0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("x:0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("-1:0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("inf:0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0:1.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0:nan"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0:0.5x"); }, kExitUsage);
    EXPECT_NE(ErrorOf([] { Envelope::Parse("2:0,1:1"); }, kExitUsage).find("must not go backwards"),
              std::string::npos);
}

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
    EXPECT_NE(ErrorOf([&] { ReadWholeFile(mDir.string(), 99); }, kExitFailure).find("folder"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------------
// Output format

TEST(CliOutputFormat, KeepsTheContainerWavBecomesFloatUnlessBitsSaySo) {
    const int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const int flac24 = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    const int aiff16 = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    const int ogg = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    EXPECT_EQ(ChooseOutputFormat(wav16, "o.wav", OutputBits::Default, 2, 48000), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(ChooseOutputFormat(wav16, "o.WAV", OutputBits::Pcm24, 2, 48000), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(ChooseOutputFormat(SF_FORMAT_WAV | SF_FORMAT_FLOAT, "o", OutputBits::Pcm16, 1, 44100), wav16);
    EXPECT_EQ(ChooseOutputFormat(flac24, "o.flac", OutputBits::Default, 2, 48000), flac24);
    EXPECT_EQ(ChooseOutputFormat(flac24, "o.flac", OutputBits::Pcm16, 2, 48000), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(ChooseOutputFormat(aiff16, "o.aif", OutputBits::Default, 2, 48000), aiff16);
    EXPECT_EQ(ChooseOutputFormat(aiff16, "o.aiff", OutputBits::Float32, 2, 48000), SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    EXPECT_EQ(ChooseOutputFormat(ogg, "o.ogg", OutputBits::Default, 2, 48000), ogg);
    EXPECT_EQ(ChooseOutputFormat(SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, "o.wav", OutputBits::Default, 2, 48000),
              SF_FORMAT_WAVEX | SF_FORMAT_FLOAT);

    EXPECT_NE(ErrorOf([&] { ChooseOutputFormat(wav16, "o.flac", OutputBits::Default, 2, 48000); }, kExitUsage)
                  .find("keeps the input's format (WAV)"),
              std::string::npos);
    ErrorOf([&] { ChooseOutputFormat(flac24, "o.flac", OutputBits::Float32, 2, 48000); }, kExitUsage);
    ErrorOf([&] { ChooseOutputFormat(ogg, "o.ogg", OutputBits::Pcm16, 2, 48000); }, kExitUsage);
    ErrorOf([] { ParseOutputBits("32"); }, kExitUsage);
    EXPECT_EQ(ParseOutputBits("32f"), OutputBits::Float32);
}

TEST(CliOutputFormat, DefaultOutputSitsBesideTheInput) {
    EXPECT_EQ(DefaultOutputPath("/a/b/song.flac"), "/a/b/song-marovex.flac");
    EXPECT_EQ(DefaultOutputPath("take.2.wav"), "take.2-marovex.wav");
    EXPECT_EQ(DefaultOutputPath("raw"), "raw-marovex");
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
    EXPECT_EQ(ReadText(PathOf("b.txt")), "new");
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
    EXPECT_EQ(ReadText(PathOf("b.txt")), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"});
    {
        PendingFile replace(PathOf("b.txt"));
        replace.WriteAll({'2'});
        replace.Commit(true);
    }
    EXPECT_EQ(ReadText(PathOf("b.txt")), "2");
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
