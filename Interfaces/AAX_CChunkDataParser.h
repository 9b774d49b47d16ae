// Builds and reads the byte format of the state chunk: a 4-byte marker 01 01 01 01 followed by
// tagged, identifier-keyed values, every entry starting at a multiple of 4 and every multi-byte
// value big-endian.
//
// One entry: a type letter and '_', the identifier and its NUL, zero bytes up to the next multiple
// of 4, then the value: 'd' an 8-byte double, 'f' a 4-byte float, 'l' a signed 32-bit integer, 's'
// a 16-bit integer and two zero bytes, 'r' a text with its NUL padded to a multiple of 4.
//
// Threading: no lock; one parser must not be used from two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "AAX.h"
#include "AAX_CString.h"
#include "AAX_SPlugInChunk.h"

class AAX_CChunkDataParser {
public:
    enum EDataType : int32_t {
        kDataType_None = 0,
        kDataType_Float = 1,   // 'f'
        kDataType_Int32 = 2,   // 'l'
        kDataType_Double = 3,  // 'd'
        kDataType_Int16 = 4,   // 's'
        kDataType_String = 5,  // 'r'
    };

    struct DataValue {
        int32_t mDataType = kDataType_None;
        AAX_CString mDataName;   // the parameter identifier
        int64_t mIntValue = 0;   // the integer, or the bits of the double, float or 16-bit value
        AAX_CString mStrValue;   // the text of a string value
    };

    // The four bytes that open the data of every chunk.
    static constexpr unsigned char kMarker[4] = {1, 1, 1, 1};
    // The longest tagged identifier read from a chunk; longer ones are cut there.
    static constexpr size_t kMaxTaggedNameLength = 255;

    AAX_CChunkDataParser();
    virtual ~AAX_CChunkDataParser();

    // Empties the values; last found index and version back to -1.
    void Clear();
    // Append one value (no duplicate check).
    void AddDouble(const char* name, double value);
    void AddInt32(const char* name, int32_t value);
    void AddString(const char* name, AAX_CString value);

    // True, with the value written, only when the named entry exists and has that type.
    bool FindDouble(const char* name, double* value);
    bool FindInt32(const char* name, int32_t* value);
    bool FindString(const char* name, AAX_CString* value);
    // Circular search starting just after the last found entry, so names looked up in their stored
    // order are found at once. Returns the index, or -1.
    int32_t FindName(const AAX_CString& name);

    // The byte count of the data for the current values, or -1 when it would not fit an int32.
    int32_t GetChunkDataSize() const;
    // Writes the data for the current values into chunk->mData (which must hold GetChunkDataSize()
    // bytes) and the size into chunk->mSize. Returns 0, or -333 (with a host trace, size not
    // written) when the data cannot be written.
    AAX_Result GetChunkData(AAX_SPlugInChunk* chunk) const;
    // Replaces the values with those of a chunk, reading only chunk->mSize bytes of its data
    // whatever the bytes say. A bad marker, or fewer than 5 bytes, loads no values; an entry whose
    // value would run past the end ends the load, keeping the values read before it.
    void LoadChunk(const AAX_SPlugInChunk* chunk);

    int32_t GetChunkVersion() const { return mChunkVersion; }
    const std::vector<DataValue>& Values() const { return mDataValues; }

private:
    int32_t mLastFoundIndex;
    int32_t mChunkVersion;
    std::vector<DataValue> mDataValues;
};
