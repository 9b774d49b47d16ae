// The chunk record the host hands over to save, restore and compare an instance's state.
// Header fields are in the host's native byte order; the data that follows is the stored format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "AAX.h"

struct AAX_SPlugInChunkHeader {
    int32_t mSize;          // bytes of data from offset 56 on
    int32_t mVersion;       // written as -1
    int32_t mReserved[3];   // neither read nor written by the plug-in
    uint32_t mChunkID;      // four-character chunk type code
    unsigned char mName[32];  // NUL-padded description, at most 31 characters
};

struct AAX_SPlugInChunk {
    int32_t mSize;
    int32_t mVersion;
    int32_t mReserved[3];
    uint32_t mChunkID;
    unsigned char mName[32];
    char mData[1];  // mSize bytes in a real record
};

constexpr size_t kAAX_ChunkHeaderSize = 56;
static_assert(offsetof(AAX_SPlugInChunk, mSize) == 0, "chunk layout");
static_assert(offsetof(AAX_SPlugInChunk, mVersion) == 4, "chunk layout");
static_assert(offsetof(AAX_SPlugInChunk, mReserved) == 8, "chunk layout");
static_assert(offsetof(AAX_SPlugInChunk, mChunkID) == 20, "chunk layout");
static_assert(offsetof(AAX_SPlugInChunk, mName) == 24, "chunk layout");
static_assert(offsetof(AAX_SPlugInChunk, mData) == kAAX_ChunkHeaderSize, "chunk layout");
static_assert(sizeof(AAX_SPlugInChunkHeader) == kAAX_ChunkHeaderSize, "chunk header is 56 bytes");

constexpr AAX_CTypeID cControlsChunkID = AAX_FourCC("elck");
#define CONTROLS_CHUNK_DESCRIPTION "Complete Controls State"
