#include "StateFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "AAX.h"
#include "AAX_SPlugInChunk.h"
#include "CliError.h"
#include "Text.h"

namespace marovex::cli {

namespace {

uint64_t BigEndian(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

size_t RoundUp4(size_t n) { return (n + 3) & ~size_t(3); }

CliError Corrupt(const std::string& what) { return Failure("corrupt state file: " + what); }

// Length of the NUL-terminated text at data[at]; throws when no NUL comes before the end.
size_t TerminatedLength(const uint8_t* data, size_t size, size_t at, const char* what) {
    const void* nul = std::memchr(data + at, 0, size - at);
    if (nul == nullptr) {
        throw Corrupt(std::string(what) + " at data offset " + std::to_string(at) + " runs past the end of the data");
    }
    return size_t(static_cast<const uint8_t*>(nul) - (data + at));
}

}  // namespace

const char* StateTypeName(char type) {
    switch (type) {
        case 'd': return "double";
        case 'f': return "float";
        case 'l': return "int32";
        case 's': return "int16";
        case 'r': return "string";
        default: return "unknown";
    }
}

std::string FourCharText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

std::vector<uint8_t> ReadFilePrefix(const std::string& path, size_t maxBytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw Failure("cannot read '" + EscapeText(path) + "': it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const bool missing = !std::filesystem::exists(path, ec);
        throw Failure("cannot open '" + EscapeText(path) + "': " + (missing ? "no such file" : std::strerror(errno)));
    }
    std::vector<uint8_t> bytes;
    char buffer[65536];
    while (in && bytes.size() < maxBytes) {
        in.read(buffer, std::streamsize(std::min(sizeof buffer, maxBytes - bytes.size())));
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    }
    if (in.bad()) throw Failure("cannot read '" + EscapeText(path) + "'");
    return bytes;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path, size_t limit) {
    std::vector<uint8_t> bytes = ReadFilePrefix(path, limit + 1);
    if (bytes.size() > limit) throw Failure("'" + EscapeText(path) + "' is larger than " + std::to_string(limit) + " bytes");
    return bytes;
}

StateRecord ParseStateRecord(const std::vector<uint8_t>& bytes) {
    StateRecord record;
    if (bytes.size() < kAAX_ChunkHeaderSize) {
        throw Corrupt("the file holds " + std::to_string(bytes.size()) + " bytes, fewer than the " +
                      std::to_string(kAAX_ChunkHeaderSize) + "-byte header");
    }
    AAX_SPlugInChunkHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    record.dataSize = header.mSize;
    record.version = header.mVersion;
    record.chunkType = header.mChunkID;
    const size_t available = bytes.size() - kAAX_ChunkHeaderSize;
    if (header.mSize < 0 || size_t(header.mSize) != available) {
        throw Corrupt("the header gives " + std::to_string(header.mSize) + " data bytes, the file holds " +
                      std::to_string(available));
    }
    if (header.mChunkID != cControlsChunkID) {
        throw Corrupt("chunk type '" + FourCharText(header.mChunkID) + "' is not the controls state 'elck'");
    }
    const size_t nameLength = strnlen(reinterpret_cast<const char*>(header.mName), sizeof header.mName);
    record.name.assign(reinterpret_cast<const char*>(header.mName), nameLength);

    const uint8_t* data = bytes.data() + kAAX_ChunkHeaderSize;
    const size_t size = available;
    static const uint8_t kMarker[4] = {1, 1, 1, 1};
    if (size < 4 || std::memcmp(data, kMarker, 4) != 0) {
        throw Corrupt("the data does not start with the marker 01 01 01 01");
    }
    size_t at = 4;
    while (at < size) {
        StateEntry entry;
        entry.offset = at;
        if (size - at < 2) throw Corrupt("entry at data offset " + std::to_string(at) + " is cut short");
        entry.type = char(data[at]);
        if (data[at + 1] != '_' || std::strchr("dflsr", entry.type) == nullptr || entry.type == 0) {
            throw Corrupt("unknown type tag at data offset " + std::to_string(at));
        }
        const size_t idLength = TerminatedLength(data, size, at + 2, "identifier");
        entry.identifier.assign(reinterpret_cast<const char*>(data + at + 2), idLength);
        at = RoundUp4(at + 2 + idLength + 1);
        const size_t valueSize = entry.type == 'd' ? 8 : 4;
        if (at > size || (entry.type != 'r' && size - at < valueSize)) {
            throw Corrupt("value of '" + EscapeText(entry.identifier) + "' at data offset " + std::to_string(at) +
                          " runs past the end of the data");
        }
        const uint8_t* p = data + at;
        switch (entry.type) {
            case 'd': {
                const uint64_t bits = BigEndian(p, 8);
                std::memcpy(&entry.number, &bits, 8);
                at += 8;
                break;
            }
            case 'f': {
                const uint32_t bits = uint32_t(BigEndian(p, 4));
                float f;
                std::memcpy(&f, &bits, 4);
                entry.number = f;
                at += 4;
                break;
            }
            case 'l':
                entry.number = double(int32_t(uint32_t(BigEndian(p, 4))));
                at += 4;
                break;
            case 's':
                entry.number = double(int16_t(uint16_t(BigEndian(p, 2))));
                at += 4;
                break;
            case 'r': {
                const size_t textLength = TerminatedLength(data, size, at, "text value");
                entry.text.assign(reinterpret_cast<const char*>(p), textLength);
                at = RoundUp4(at + textLength + 1);
                break;
            }
        }
        record.entries.push_back(std::move(entry));
    }
    return record;
}

}  // namespace marovex::cli
