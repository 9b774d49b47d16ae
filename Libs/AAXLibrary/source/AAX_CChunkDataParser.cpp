#include "AAX_CChunkDataParser.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "AAX_CHostServices.h"

namespace {

constexpr int64_t RoundUp4(int64_t n) { return (n + 3) & ~int64_t(3); }

// Bytes the value of an entry takes in the data, padding included.
int64_t ValueSpace(const AAX_CChunkDataParser::DataValue& value) {
    switch (value.mDataType) {
        case AAX_CChunkDataParser::kDataType_Double:
            return 8;
        case AAX_CChunkDataParser::kDataType_Float:
        case AAX_CChunkDataParser::kDataType_Int32:
        case AAX_CChunkDataParser::kDataType_Int16:
            return 4;
        case AAX_CChunkDataParser::kDataType_String:
            return RoundUp4(int64_t(value.mStrValue.Length()) + 1);
        default:
            return 0;
    }
}

char TypeLetter(int32_t type) {
    switch (type) {
        case AAX_CChunkDataParser::kDataType_Float:
            return 'f';
        case AAX_CChunkDataParser::kDataType_Int32:
            return 'l';
        case AAX_CChunkDataParser::kDataType_Double:
            return 'd';
        case AAX_CChunkDataParser::kDataType_Int16:
            return 's';
        case AAX_CChunkDataParser::kDataType_String:
            return 'r';
        default:
            return '\0';
    }
}

void WriteBigEndian(unsigned char* out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
}

uint64_t ReadBigEndian(const unsigned char* in, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | in[i];
    }
    return value;
}

AAX_Result ChunkWriteFailed(const char* reason) {
    AAX_CHostServices::Trace(AAX_eTracePriorityHost_Critical, "AAX_CChunkDataParser::GetChunkData ERROR: %s", reason);
    return AAX_ERROR_CHUNK_WRITE_FAILED;
}

}  // namespace

AAX_CChunkDataParser::AAX_CChunkDataParser() : mLastFoundIndex(-1), mChunkVersion(-1) {}

AAX_CChunkDataParser::~AAX_CChunkDataParser() = default;

void AAX_CChunkDataParser::Clear() {
    mDataValues.clear();
    mLastFoundIndex = -1;
    mChunkVersion = -1;
}

void AAX_CChunkDataParser::AddDouble(const char* name, double value) {
    DataValue entry;
    entry.mDataType = kDataType_Double;
    entry.mDataName = AAX_CString(name);
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    entry.mIntValue = static_cast<int64_t>(bits);
    mDataValues.push_back(std::move(entry));
}

void AAX_CChunkDataParser::AddInt32(const char* name, int32_t value) {
    DataValue entry;
    entry.mDataType = kDataType_Int32;
    entry.mDataName = AAX_CString(name);
    entry.mIntValue = value;
    mDataValues.push_back(std::move(entry));
}

void AAX_CChunkDataParser::AddString(const char* name, AAX_CString value) {
    DataValue entry;
    entry.mDataType = kDataType_String;
    entry.mDataName = AAX_CString(name);
    entry.mStrValue = value;
    mDataValues.push_back(std::move(entry));
}

int32_t AAX_CChunkDataParser::FindName(const AAX_CString& name) {
    const int32_t count = static_cast<int32_t>(mDataValues.size());
    const bool wrap = mLastFoundIndex < count - 1;
    const int32_t start = wrap ? mLastFoundIndex + 1 : 0;
    for (int32_t i = start; i < count; ++i) {
        if (mDataValues[size_t(i)].mDataName == name) {
            mLastFoundIndex = i;
            return i;
        }
    }
    if (wrap) {
        for (int32_t i = 0; i <= mLastFoundIndex; ++i) {
            if (mDataValues[size_t(i)].mDataName == name) {
                mLastFoundIndex = i;
                return i;
            }
        }
    }
    return -1;
}

bool AAX_CChunkDataParser::FindDouble(const char* name, double* value) {
    const int32_t index = FindName(AAX_CString(name));
    if (index < 0 || mDataValues[size_t(index)].mDataType != kDataType_Double) {
        return false;
    }
    const uint64_t bits = static_cast<uint64_t>(mDataValues[size_t(index)].mIntValue);
    std::memcpy(value, &bits, sizeof bits);
    return true;
}

bool AAX_CChunkDataParser::FindInt32(const char* name, int32_t* value) {
    const int32_t index = FindName(AAX_CString(name));
    if (index < 0 || mDataValues[size_t(index)].mDataType != kDataType_Int32) {
        return false;
    }
    *value = static_cast<int32_t>(mDataValues[size_t(index)].mIntValue);
    return true;
}

bool AAX_CChunkDataParser::FindString(const char* name, AAX_CString* value) {
    const int32_t index = FindName(AAX_CString(name));
    if (index < 0 || mDataValues[size_t(index)].mDataType != kDataType_String) {
        return false;
    }
    *value = mDataValues[size_t(index)].mStrValue;
    return true;
}

int32_t AAX_CChunkDataParser::GetChunkDataSize() const {
    int64_t size = sizeof kMarker;
    for (const DataValue& value : mDataValues) {
        size += RoundUp4(2 + int64_t(value.mDataName.Length()) + 1) + ValueSpace(value);
        if (size > INT32_MAX) {
            return -1;
        }
    }
    return static_cast<int32_t>(size);
}

AAX_Result AAX_CChunkDataParser::GetChunkData(AAX_SPlugInChunk* chunk) const {
    if (chunk == nullptr) {
        return ChunkWriteFailed("no chunk to write into");
    }
    const int32_t dataSize = GetChunkDataSize();
    if (dataSize < int32_t(sizeof kMarker)) {
        return ChunkWriteFailed("invalid chunk data size");
    }
    auto* data = reinterpret_cast<unsigned char*>(chunk->mData);
    std::memset(data, 0, size_t(dataSize));
    std::memcpy(data, kMarker, sizeof kMarker);

    int64_t offset = sizeof kMarker;
    for (const DataValue& value : mDataValues) {
        const int64_t nameLength = value.mDataName.Length();
        const int64_t valueOffset = RoundUp4(offset + 2 + nameLength + 1);
        const int64_t valueSpace = ValueSpace(value);
        // The whole entry, padding included, must lie inside the computed size.
        if (valueOffset + valueSpace > dataSize) {
            return ChunkWriteFailed("aborting: chunk data will overflow buffer");
        }
        const char letter = TypeLetter(value.mDataType);
        if (letter != '\0') {
            data[offset] = static_cast<unsigned char>(letter);
            data[offset + 1] = '_';
        }
        std::memcpy(data + offset + 2, value.mDataName.Get(), size_t(nameLength));  // NUL already zero
        unsigned char* out = data + valueOffset;
        const uint64_t bits = static_cast<uint64_t>(value.mIntValue);
        switch (value.mDataType) {
            case kDataType_Double:
                WriteBigEndian(out, bits, 8);
                break;
            case kDataType_Float:
            case kDataType_Int32:
                WriteBigEndian(out, bits, 4);
                break;
            case kDataType_Int16:
                WriteBigEndian(out, bits, 2);
                break;
            case kDataType_String:
                std::memcpy(out, value.mStrValue.Get(), value.mStrValue.Length());
                break;
            default:
                break;
        }
        offset = valueOffset + valueSpace;
    }
    chunk->mSize = dataSize;
    return AAX_SUCCESS;
}

void AAX_CChunkDataParser::LoadChunk(const AAX_SPlugInChunk* chunk) {
    Clear();
    if (chunk == nullptr) {
        return;
    }
    mChunkVersion = chunk->mVersion;
    // Every bound below is checked against the size in the record and nothing else: the data comes
    // from saved projects, so no byte of it is trusted.
    const int32_t declaredSize = chunk->mSize;
    if (declaredSize < 5) {
        return;
    }
    const size_t size = static_cast<size_t>(declaredSize);
    const auto* data = reinterpret_cast<const unsigned char*>(chunk->mData);
    if (std::memcmp(data, kMarker, sizeof kMarker) != 0) {
        return;
    }

    size_t offset = sizeof kMarker;
    while (offset < size) {
        // The tagged identifier: a text of at most 255 bytes that stops at a NUL or the data end.
        const size_t limit = std::min(kMaxTaggedNameLength, size - offset);
        const auto* text = data + offset;
        const size_t length = size_t(std::find(text, text + limit, 0) - text);

        DataValue entry;
        if (length > 2) {
            entry.mDataName = AAX_CString(std::string(reinterpret_cast<const char*>(text) + 2, length - 2));
        }
        const unsigned char letter = length > 0 ? text[0] : 0;
        offset += size_t(RoundUp4(int64_t(length) + 1));

        // Bytes the value needs inside the data; a value that does not fit ends the load.
        auto fits = [&](size_t bytes) { return offset <= size && bytes <= size - offset; };
        switch (letter) {
            case 'd':
                if (!fits(8)) return;
                entry.mDataType = kDataType_Double;
                entry.mIntValue = static_cast<int64_t>(ReadBigEndian(data + offset, 8));
                offset += 8;
                break;
            case 'f':
                if (!fits(4)) return;
                entry.mDataType = kDataType_Float;
                entry.mIntValue = static_cast<int64_t>(ReadBigEndian(data + offset, 4));
                offset += 4;
                break;
            case 'l':
                if (!fits(4)) return;
                entry.mDataType = kDataType_Int32;
                entry.mIntValue = static_cast<int32_t>(static_cast<uint32_t>(ReadBigEndian(data + offset, 4)));
                offset += 4;
                break;
            case 's':
                if (!fits(2)) return;
                entry.mDataType = kDataType_Int16;
                entry.mIntValue = static_cast<int16_t>(static_cast<uint16_t>(ReadBigEndian(data + offset, 2)));
                offset += 4;
                break;
            case 'r': {
                if (!fits(1)) return;
                const auto* begin = data + offset;
                const auto* end = data + size;
                const auto* nul = std::find(begin, end, 0);
                if (nul == end) return;  // the text runs past the data end
                const size_t textLength = size_t(nul - begin);
                entry.mDataType = kDataType_String;
                entry.mStrValue = AAX_CString(std::string(reinterpret_cast<const char*>(begin), textLength));
                offset += size_t(RoundUp4(int64_t(textLength) + 1));
                break;
            }
            default:
                break;
        }
        mDataValues.push_back(std::move(entry));
    }
}
