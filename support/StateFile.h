// Saved instance state as the marovex program stores it in a file: the 56-byte chunk record header (host
// byte order) followed by the chunk data, read here independently of the plug-in for `marovex state
// show`.
//
// Chunk data (big-endian values): the marker 01 01 01 01, then entries, each starting at a multiple of
// 4 from the start of the data: a type letter and '_', the identifier and a NUL, zero bytes up to the
// next multiple of 4, then the value: 'd' an 8-byte double, 'f' a 4-byte float, 'l' a 32-bit integer,
// 's' a 16-bit integer and 2 zero bytes, 'r' a text and a NUL, padded to a multiple of 4.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marovex::cli {

struct StateEntry {
    char type = 0;           // 'd', 'f', 'l', 's' or 'r'
    std::string identifier;
    double number = 0.0;     // value of 'd', 'f', 'l' and 's' entries
    std::string text;        // value of 'r' entries
    size_t offset = 0;       // data offset of the entry's tag
};

struct StateRecord {
    int32_t dataSize = 0;
    int32_t version = 0;
    uint32_t chunkType = 0;
    std::string name;
    std::vector<StateEntry> entries;
};

// Parses a state record. Never reads past the bytes given; throws a CliError (status 1) that names the
// first fault and its offset when the record is not well formed.
StateRecord ParseStateRecord(const std::vector<uint8_t>& bytes);

// Reads at most `maxBytes` bytes from the start of a file. Throws a CliError when it cannot be read.
std::vector<uint8_t> ReadFilePrefix(const std::string& path, size_t maxBytes);
// Reads a whole file. Throws a CliError when it cannot be read or is larger than `limit` bytes.
std::vector<uint8_t> ReadWholeFile(const std::string& path, size_t limit);

// "double", "float", "int32", "int16" or "string".
const char* StateTypeName(char type);

// A four-character code as text, non-printable bytes as '?'.
std::string FourCharText(uint32_t code);

}  // namespace marovex::cli
