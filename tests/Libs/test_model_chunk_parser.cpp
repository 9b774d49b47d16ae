// The state-chunk byte format: building it byte for byte, reading it back, the circular name search,
// and loading hostile data (truncated, corrupted, lying about its contents) without reading past
// the size in the record. Chunk records are allocated to their exact size, so a sanitizer build
// reports any read beyond it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AAX_CChunkDataParser.h"
#include "AAX_CHostServices.h"
#include "Libs/test_model_fake_host.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A record holding exactly 56 header bytes and data.size() data bytes.
class Record {
public:
    explicit Record(const Bytes& data, int32_t declaredSize, int32_t version = 3)
        : mStorage(new unsigned char[kAAX_ChunkHeaderSize + data.size()]) {
        std::memset(mStorage.get(), 0, kAAX_ChunkHeaderSize);
        if (!data.empty()) std::memcpy(mStorage.get() + kAAX_ChunkHeaderSize, data.data(), data.size());
        chunk()->mSize = declaredSize;
        chunk()->mVersion = version;
        chunk()->mChunkID = cControlsChunkID;
    }
    explicit Record(const Bytes& data) : Record(data, static_cast<int32_t>(data.size())) {}
    AAX_SPlugInChunk* chunk() { return reinterpret_cast<AAX_SPlugInChunk*>(mStorage.get()); }

private:
    std::unique_ptr<unsigned char[]> mStorage;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Bytes kMarker = {1, 1, 1, 1};

// Four entries covering the padding rules, written out by hand.
const Bytes kFourEntries = Concat({
    kMarker,
    Text("d_InGain"), {0, 0, 0, 0}, {0x3F, 0xE0, 0, 0, 0, 0, 0, 0},  // 4: 9 bytes + 3 pad, value at 16
    Text("l_Mode"), {0, 0}, {0xFF, 0xFF, 0xFF, 0xFE},                 // 24: 7 bytes + 1 pad, value at 32
    Text("r_Tag"), {0, 0, 0}, Text("ab"), {0, 0},                     // 36: 6 + 2 pad; "ab", NUL, 1 pad
    Text("d_Q"), {0}, {0xBF, 0xF0, 0, 0, 0, 0, 0, 0},                 // 48: 4 bytes, value at 52
});
// Where the value of each entry of kFourEntries ends (the text's NUL counts, its padding does not).
const size_t kEntryEnds[] = {24, 36, 47, 60};

void AddFourEntries(AAX_CChunkDataParser& parser) {
    parser.AddDouble("InGain", 0.5);
    parser.AddInt32("Mode", -2);
    parser.AddString("Tag", AAX_CString("ab"));
    parser.AddDouble("Q", -1.0);
}

}  // namespace

TEST(ChunkParserBuild, WritesMarkerTagsIdentifiersPaddingAndBigEndianValues) {
    AAX_CChunkDataParser parser;
    EXPECT_EQ(parser.GetChunkDataSize(), 4);  // the marker alone
    AddFourEntries(parser);
    ASSERT_EQ(parser.GetChunkDataSize(), 60);
    Record record(Bytes(60, 0xAA), -7);
    ASSERT_EQ(parser.GetChunkData(record.chunk()), AAX_SUCCESS);
    EXPECT_EQ(record.chunk()->mSize, 60);
    const auto* data = reinterpret_cast<const unsigned char*>(record.chunk()->mData);
    EXPECT_EQ(Bytes(data, data + 60), kFourEntries);
}

TEST(ChunkParserBuild, WriteFailureIsTracedAndReportedAsMinus333) {
    fakehost::Host host;
    AAX_CHostServices::Set(&host);
    AAX_CChunkDataParser parser;
    EXPECT_EQ(parser.GetChunkData(nullptr), AAX_ERROR_CHUNK_WRITE_FAILED);
    AAX_CHostServices::Set(nullptr);
    ASSERT_EQ(host.hostServices.traces.size(), 1u);
    EXPECT_EQ(host.hostServices.traces[0].priority, 0x08000000);
    EXPECT_EQ(host.hostServices.traces[0].text.rfind("AAX_CChunkDataParser::GetChunkData ERROR: ", 0), 0u);
    EXPECT_EQ(host.OutstandingReferences(), 0);
}

TEST(ChunkParserLoad, ReadsEveryTypeBackWithItsPadding) {
    Record record(kFourEntries, 60, 9);
    AAX_CChunkDataParser parser;
    parser.LoadChunk(record.chunk());
    EXPECT_EQ(parser.GetChunkVersion(), 9);
    ASSERT_EQ(parser.Values().size(), 4u);
    double d = 0.0;
    int32_t l = 0;
    AAX_CString r;
    EXPECT_TRUE(parser.FindDouble("InGain", &d));
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(parser.FindInt32("Mode", &l));
    EXPECT_EQ(l, -2);
    // "ab" takes one padding byte; the next entry is read from the following multiple of 4.
    EXPECT_TRUE(parser.FindString("Tag", &r));
    EXPECT_EQ(std::string(r.Get()), "ab");
    EXPECT_TRUE(parser.FindDouble("Q", &d));
    EXPECT_EQ(d, -1.0);
}

TEST(ChunkParserLoad, FloatShortAndUnknownEntriesKeepTheirTypes) {
    const Bytes data = Concat({
        kMarker,
        Text("f_A"), {0}, {0x3F, 0x80, 0, 0},  // 1.0f
        Text("s_B"), {0}, {0xFF, 0xFE, 0, 0},  // -2, two value bytes and two zero bytes
        Text("x_C"), {0},                      // unknown letter: no value
        Text("l_D"), {0}, {0, 0, 0, 5},
    });
    Record record(data);
    AAX_CChunkDataParser parser;
    parser.LoadChunk(record.chunk());
    ASSERT_EQ(parser.Values().size(), 4u);
    EXPECT_EQ(parser.Values()[0].mDataType, AAX_CChunkDataParser::kDataType_Float);
    EXPECT_EQ(parser.Values()[0].mIntValue, 0x3F800000);
    EXPECT_EQ(parser.Values()[1].mDataType, AAX_CChunkDataParser::kDataType_Int16);
    EXPECT_EQ(parser.Values()[1].mIntValue, -2);
    EXPECT_EQ(parser.Values()[2].mDataType, AAX_CChunkDataParser::kDataType_None);
    EXPECT_EQ(std::string(parser.Values()[2].mDataName.Get()), "C");
    int32_t value = 0;
    EXPECT_TRUE(parser.FindInt32("D", &value));
    EXPECT_EQ(value, 5);
    // Typed lookups need the matching type and leave the output alone otherwise.
    double d = 42.0;
    EXPECT_FALSE(parser.FindDouble("A", &d));
    EXPECT_FALSE(parser.FindDouble("D", &d));
    EXPECT_EQ(d, 42.0);
}

TEST(ChunkParserLoad, BadMarkerShortOrNegativeSizeLoadsNothing) {
    AAX_CChunkDataParser parser;
    AddFourEntries(parser);
    Bytes badMarker = kFourEntries;
    badMarker[2] = 0;
    Record bad(badMarker);
    parser.LoadChunk(bad.chunk());
    EXPECT_TRUE(parser.Values().empty());
    EXPECT_EQ(parser.GetChunkVersion(), 3);

    Record four(kMarker);  // the marker alone: fewer than 5 bytes
    parser.LoadChunk(four.chunk());
    EXPECT_TRUE(parser.Values().empty());

    // The record claims a negative size and holds no data at all.
    Record negative(Bytes{}, -1);
    parser.LoadChunk(negative.chunk());
    EXPECT_TRUE(parser.Values().empty());
    Record lowest(Bytes{}, INT32_MIN);
    parser.LoadChunk(lowest.chunk());
    EXPECT_TRUE(parser.Values().empty());
    parser.LoadChunk(nullptr);
    EXPECT_TRUE(parser.Values().empty());
    EXPECT_EQ(parser.GetChunkVersion(), -1);
}

TEST(ChunkParserLoad, TruncatedAtEveryLengthKeepsExactlyTheWholeEntries) {
    for (size_t length = 0; length <= kFourEntries.size(); ++length) {
        SCOPED_TRACE(length);
        Record record(Bytes(kFourEntries.begin(), kFourEntries.begin() + long(length)));
        AAX_CChunkDataParser parser;
        parser.LoadChunk(record.chunk());
        size_t whole = 0;
        for (size_t end : kEntryEnds) whole += end <= length ? 1 : 0;
        ASSERT_EQ(parser.Values().size(), whole);
        for (size_t i = 0; i < whole; ++i) {
            EXPECT_NE(parser.Values()[i].mDataType, AAX_CChunkDataParser::kDataType_None);
        }
    }
}

TEST(ChunkParserLoad, CorruptedBytesNeverReadPastTheData) {
    const unsigned char replacements[] = {0x00, 0xFF, 'd', 'r', 'l', 's', 'f', '_'};
    for (size_t position = 0; position < kFourEntries.size(); ++position) {
        for (unsigned char replacement : replacements) {
            Bytes data = kFourEntries;
            data[position] = replacement;
            Record record(data);
            AAX_CChunkDataParser parser;
            parser.LoadChunk(record.chunk());
            // Every entry takes at least 4 bytes after the marker.
            EXPECT_LE(parser.Values().size(), (data.size() - 4) / 4);
        }
    }
}

TEST(ChunkParserLoad, TextsWithoutTerminatorStopAtTheDataEnd) {
    AAX_CChunkDataParser parser;
    // An identifier running to the end: its 8-byte value cannot follow.
    Record identifier(Concat({kMarker, Text("d_abc")}));
    parser.LoadChunk(identifier.chunk());
    EXPECT_TRUE(parser.Values().empty());

    // A string value running to the end ends the load; the entry before it stays.
    Record text(Concat({kMarker, Text("l_A"), {0}, {0, 0, 0, 1}, Text("r_B"), {0}, Text("xyz")}));
    parser.LoadChunk(text.chunk());
    ASSERT_EQ(parser.Values().size(), 1u);
    EXPECT_EQ(std::string(parser.Values()[0].mDataName.Get()), "A");

    // A value cut short by one byte.
    Record cut(Concat({kMarker, Text("d_A"), {0}, {0x3F, 0xE0, 0, 0, 0, 0, 0}}));
    parser.LoadChunk(cut.chunk());
    EXPECT_TRUE(parser.Values().empty());

    // A tagged identifier longer than 255 bytes is cut at 255 (tag included).
    Bytes longName = Concat({kMarker, Text("l_" + std::string(300, 'n')), {0}});
    longName.resize(longName.size() + 3, 0);
    Record longRecord(longName);
    parser.LoadChunk(longRecord.chunk());
    ASSERT_FALSE(parser.Values().empty());
    EXPECT_EQ(parser.Values()[0].mDataName.Length(), 253u);
}

TEST(ChunkParserFind, SearchesCircularlyFromJustAfterTheLastMatch) {
    AAX_CChunkDataParser parser;
    for (const char* name : {"A", "B", "C", "B"}) parser.AddInt32(name, 0);
    EXPECT_EQ(parser.FindName(AAX_CString("B")), 1);
    EXPECT_EQ(parser.FindName(AAX_CString("B")), 3);  // the search starts after index 1
    EXPECT_EQ(parser.FindName(AAX_CString("B")), 1);  // from the last entry it starts again at 0
    EXPECT_EQ(parser.FindName(AAX_CString("A")), 0);  // wraps around past the end
    EXPECT_EQ(parser.FindName(AAX_CString("Z")), -1);
    EXPECT_EQ(parser.FindName(AAX_CString("C")), 2);
    parser.Clear();
    EXPECT_EQ(parser.FindName(AAX_CString("C")), -1);
    EXPECT_EQ(parser.GetChunkDataSize(), 4);
}
