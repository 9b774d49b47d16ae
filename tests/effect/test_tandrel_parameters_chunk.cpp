// The state chunk of the effect: the default chunk byte for byte, the size handshake, save and
// restore, the bypass that is never stored, comparison, and hostile chunks of every length.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AAX_CChunkDataParser.h"
#include "AAX_SPlugInChunk.h"
#include "Tandrel_Coefs.h"
#include "effect/test_tandrel_parameters_fixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A chunk record of exactly 56 + dataSize bytes; the header is filled with 0xEE so untouched fields
// can be recognised.
class Record {
public:
    explicit Record(size_t dataSize) : mSize(dataSize), mStorage(new unsigned char[kAAX_ChunkHeaderSize + dataSize]) {
        std::memset(mStorage.get(), 0xEE, kAAX_ChunkHeaderSize + dataSize);
    }
    explicit Record(const Bytes& data, AAX_CTypeID type = cControlsChunkID) : Record(data.size()) {
        if (!data.empty()) std::memcpy(mStorage.get() + kAAX_ChunkHeaderSize, data.data(), data.size());
        chunk()->mSize = static_cast<int32_t>(data.size());
        chunk()->mChunkID = type;
    }
    AAX_SPlugInChunk* chunk() { return reinterpret_cast<AAX_SPlugInChunk*>(mStorage.get()); }
    Bytes Data() const { return Bytes(mStorage.get() + kAAX_ChunkHeaderSize, mStorage.get() + kAAX_ChunkHeaderSize + mSize); }
    Bytes All() const { return Bytes(mStorage.get(), mStorage.get() + kAAX_ChunkHeaderSize + mSize); }

private:
    size_t mSize;
    std::unique_ptr<unsigned char[]> mStorage;
};

// One 'd' entry, laid out by hand: tag, identifier, NUL, zero padding to 4, 8 value bytes.
Bytes DoubleEntry(const std::string& id, Bytes bigEndianValue) {
    Bytes entry;
    entry.push_back('d');
    entry.push_back('_');
    for (char ch : id) entry.push_back(static_cast<unsigned char>(ch));
    entry.push_back(0);
    while (entry.size() % 4 != 0) entry.push_back(0);
    for (unsigned char byte : bigEndianValue) entry.push_back(byte);
    return entry;
}

const Bytes kHalf = {0x3F, 0xE0, 0, 0, 0, 0, 0, 0};
const Bytes kOne = {0x3F, 0xF0, 0, 0, 0, 0, 0, 0};
const Bytes kQuarter = {0x3F, 0xD0, 0, 0, 0, 0, 0, 0};

Bytes Chunk(std::initializer_list<Bytes> entries) {
    Bytes data = {1, 1, 1, 1};
    for (const Bytes& e : entries) data.insert(data.end(), e.begin(), e.end());
    return data;
}

}  // namespace

class TandrelChunkTest : public TandrelModelTest {
protected:
    // Saves the current state the way a host does: size first, then the chunk.
    std::unique_ptr<Record> Save() {
        uint32_t size = 0;
        EXPECT_EQ(model->GetChunkSize(cControlsChunkID, &size), AAX_SUCCESS);
        auto record = std::make_unique<Record>(size);
        EXPECT_EQ(model->GetChunk(cControlsChunkID, record->chunk()), AAX_SUCCESS);
        record->chunk()->mChunkID = cControlsChunkID;  // the host stores the type code
        return record;
    }
    bool Equal(AAX_SPlugInChunk* chunk) {
        AAX_CBoolean equal = 7;
        EXPECT_EQ(model->CompareActiveChunk(chunk, &equal), AAX_SUCCESS);
        return equal == 1;
    }
};

TEST_F(TandrelChunkTest, DefaultChunkByteForByte) {
    int32_t chunks = 0;
    AAX_CTypeID id = 0;
    EXPECT_EQ(model->GetNumberOfChunks(&chunks), AAX_SUCCESS);
    EXPECT_EQ(chunks, 1);
    EXPECT_EQ(model->GetChunkIDFromIndex(0, &id), AAX_SUCCESS);
    EXPECT_EQ(id, 0x656C636Bu);

    uint32_t size = 0;
    ASSERT_EQ(model->GetChunkSize(cControlsChunkID, &size), AAX_SUCCESS);
    ASSERT_EQ(size, 144u);
    Record record(size);
    ASSERT_EQ(model->GetChunk(cControlsChunkID, record.chunk()), AAX_SUCCESS);

    const Bytes all = record.All();
    // Header: size 144 and version -1 in native order, three reserved fields and the type untouched,
    // then the NUL-padded name.
    EXPECT_EQ(record.chunk()->mSize, 144);
    EXPECT_EQ(record.chunk()->mVersion, -1);
    EXPECT_EQ(Bytes(all.begin() + 8, all.begin() + 24), Bytes(16, 0xEE));
    Bytes name(32, 0);
    std::memcpy(name.data(), "Complete Controls State", 23);
    EXPECT_EQ(Bytes(all.begin() + 24, all.begin() + 56), name);

    const Bytes data = record.Data();
    // The first entry, spelled out: 'd_', "InGain", NUL, three zero bytes, then 0.5 big-endian.
    const Bytes first = {1, 1, 1, 1, 'd', '_', 'I', 'n', 'G', 'a', 'i', 'n', 0, 0, 0, 0,
                         0x3F, 0xE0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 24), first);
    const Bytes expected = Chunk({DoubleEntry("InGain", kHalf), DoubleEntry("FreqW", kHalf), DoubleEntry("Width", kOne),
                                  DoubleEntry("FreqA", kHalf), DoubleEntry("Action", kOne), DoubleEntry("Dyn", kOne),
                                  DoubleEntry("Adj", kHalf), DoubleEntry("OutGain", kHalf)});
    EXPECT_EQ(data, expected);
}

TEST_F(TandrelChunkTest, ChunkSizeHandshakeAndIdentifiers) {
    Record record(144);
    const Bytes untouched = record.All();
    EXPECT_EQ(model->GetChunk(cControlsChunkID, record.chunk()), AAX_ERROR_INCORRECT_CHUNK_SIZE);
    EXPECT_EQ(record.All(), untouched);

    uint32_t size = 99;
    EXPECT_EQ(model->GetChunkSize(AAX_FourCC("xxxx"), &size), AAX_ERROR_INVALID_CHUNK_ID);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(model->GetChunk(AAX_FourCC("xxxx"), record.chunk()), AAX_ERROR_INVALID_CHUNK_ID);
    EXPECT_EQ(model->SetChunk(AAX_FourCC("xxxx"), record.chunk()), AAX_ERROR_INVALID_CHUNK_ID);
    AAX_CTypeID id = 5;
    EXPECT_EQ(model->GetChunkIDFromIndex(1, &id), AAX_ERROR_INVALID_CHUNK_INDEX);
    EXPECT_EQ(id, 0u);

    // The size must still be the one reported: leaving a parameter out in between changes it.
    ASSERT_EQ(model->GetChunkSize(cControlsChunkID, &size), AAX_SUCCESS);
    model->FilterParameterIDOnSave("Width");
    EXPECT_EQ(model->GetChunk(cControlsChunkID, record.chunk()), AAX_ERROR_INCORRECT_CHUNK_SIZE);
    EXPECT_EQ(record.All(), untouched);
    EXPECT_EQ(model->GetChunkSize(cControlsChunkID, &size), AAX_SUCCESS);
    EXPECT_EQ(size, 128u);
}

TEST_F(TandrelChunkTest, SaveChangeRestoreThroughTheNormalUpdatePath) {
    Edit("InGain", 0.25);
    Edit("FreqA", 0.75);
    const auto saved = Save();
    Edit("InGain", 0.9);
    Edit("FreqA", 0.1);
    Edit("Adj", 0.0);
    model->GenerateCoefficients();
    host.controller.posts.clear();
    int32_t before = 0, after = 0;
    model->GetNumberOfChanges(&before);

    EXPECT_EQ(model->SetChunk(cControlsChunkID, saved->chunk()), AAX_SUCCESS);
    EXPECT_EQ(Value("InGain"), 0.25);
    EXPECT_EQ(Value("FreqA"), 0.75);
    EXPECT_EQ(Value("Adj"), 0.5);
    model->GetNumberOfChanges(&after);
    EXPECT_EQ(after, before + 8);  // every stored parameter went through the host
    // Restored values reach the algorithm like any other change.
    model->GenerateCoefficients();
    EXPECT_EQ(host.controller.Latest(1), FloatPacket(0.25f));
    EXPECT_EQ(host.controller.Latest(4), FloatPacket(0.75f));
    EXPECT_EQ(host.controller.Latest(15).size(), 24u);
}

TEST_F(TandrelChunkTest, BypassIsNeverSavedNorRestored) {
    Edit("MasterBypassID", 1.0);
    const auto saved = Save();
    AAX_CChunkDataParser parser;
    parser.LoadChunk(saved->chunk());
    EXPECT_EQ(parser.Values().size(), 8u);
    EXPECT_EQ(parser.FindName(AAX_CString("MasterBypassID")), -1);

    Edit("MasterBypassID", 0.0);
    // A chunk that does carry the bypass (as an integer, the form a bool would take).
    Bytes bypassEntry = {'l', '_'};
    for (char ch : std::string("MasterBypassID")) bypassEntry.push_back(static_cast<unsigned char>(ch));
    for (unsigned char byte : {0, 0, 0, 0, 0, 0, 0, 1}) bypassEntry.push_back(byte);  // NUL, 3 pad, 1
    Record withBypass(Chunk({bypassEntry, DoubleEntry("Dyn", kQuarter)}));
    EXPECT_EQ(model->SetChunk(cControlsChunkID, withBypass.chunk()), AAX_SUCCESS);
    EXPECT_EQ(Value("MasterBypassID"), 0.0);
    EXPECT_EQ(Value("Dyn"), 0.25);
}

TEST_F(TandrelChunkTest, MissingOrMistypedEntriesLeaveTheirParametersAlone) {
    Edit("Width", 0.5);
    Edit("InGain", 0.75);
    Bytes wrongType = {'l', '_', 'I', 'n', 'G', 'a', 'i', 'n', 0, 0, 0, 0, 0, 0, 0, 0};
    Record record(Chunk({DoubleEntry("Dyn", kQuarter), wrongType, DoubleEntry("Unknown", kOne)}));
    EXPECT_EQ(model->SetChunk(cControlsChunkID, record.chunk()), AAX_SUCCESS);
    EXPECT_EQ(Value("Dyn"), 0.25);
    EXPECT_EQ(Value("Width"), 0.5);
    EXPECT_EQ(Value("InGain"), 0.75);
}

TEST_F(TandrelChunkTest, CompareReportsEqualThenUnequal) {
    const auto saved = Save();
    EXPECT_TRUE(Equal(saved->chunk()));
    Edit("OutGain", 0.3);
    EXPECT_FALSE(Equal(saved->chunk()));
    Edit("OutGain", 0.5);
    EXPECT_TRUE(Equal(saved->chunk()));
    // The bypass is not compared.
    Edit("MasterBypassID", 1.0);
    EXPECT_TRUE(Equal(saved->chunk()));

    // A stored double that differs only below single precision still matches.
    Bytes nearlyHalf = kHalf;
    nearlyHalf[7] = 1;
    Record close(Chunk({DoubleEntry("InGain", nearlyHalf), DoubleEntry("FreqW", kHalf), DoubleEntry("Width", kOne),
                        DoubleEntry("FreqA", kHalf), DoubleEntry("Action", kOne), DoubleEntry("Dyn", kOne),
                        DoubleEntry("Adj", kHalf), DoubleEntry("OutGain", kHalf)}));
    EXPECT_TRUE(Equal(close.chunk()));
    // A missing entry, or a chunk that is not ours, compares as described.
    Record missing(Chunk({DoubleEntry("InGain", kHalf)}));
    EXPECT_FALSE(Equal(missing.chunk()));
    Record otherType(Chunk({}), AAX_FourCC("abcd"));
    EXPECT_TRUE(Equal(otherType.chunk()));
    Record badMarker(Bytes{0, 1, 1, 1, 'd', '_', 'A', 0});
    EXPECT_FALSE(Equal(badMarker.chunk()));
    EXPECT_EQ(model->CompareActiveChunk(nullptr, nullptr), AAX_ERROR_NULL_OBJECT);
}

TEST_F(TandrelChunkTest, HostileChunksOfEveryLengthLoadSafely) {
    Edit("Action", 0.25);
    const Bytes saved = Save()->Data();
    Edit("Action", 0.75);
    for (size_t length = 0; length <= saved.size(); ++length) {
        Record truncated(Bytes(saved.begin(), saved.begin() + long(length)));
        EXPECT_EQ(model->SetChunk(cControlsChunkID, truncated.chunk()), AAX_SUCCESS);
        AAX_CBoolean equal = 0;
        EXPECT_EQ(model->CompareActiveChunk(truncated.chunk(), &equal), AAX_SUCCESS);
    }
    // The whole chunk was restored by the last pass.
    EXPECT_EQ(Value("Action"), 0.25);

    for (size_t position = 0; position < saved.size(); ++position) {
        for (unsigned char replacement : {0x00, 0x7F, 0xFF, 0x64 /* d */, 0x72 /* r */}) {
            Bytes corrupted = saved;
            corrupted[position] = replacement;
            Record record(corrupted);
            EXPECT_EQ(model->SetChunk(cControlsChunkID, record.chunk()), AAX_SUCCESS);
            AAX_CBoolean equal = 0;
            EXPECT_EQ(model->CompareActiveChunk(record.chunk(), &equal), AAX_SUCCESS);
        }
    }
    // Whatever was loaded, every value stayed inside its range.
    for (const STandrel_ParameterRow& row : kTandrel_FloatParameters) {
        const double value = Value(row.mID);
        EXPECT_TRUE(value >= 0.0 && value <= 1.0) << row.mID << " " << value;
    }
    // Negative sizes carry no data.
    Record negative(0);
    negative.chunk()->mSize = -100;
    negative.chunk()->mChunkID = cControlsChunkID;
    EXPECT_EQ(model->SetChunk(cControlsChunkID, negative.chunk()), AAX_SUCCESS);
    EXPECT_EQ(model->SetChunk(cControlsChunkID, nullptr), AAX_ERROR_NULL_OBJECT);
}
