#include "AudioFormat.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "CliError.h"
#include "Text.h"

namespace marovex::cli {

namespace fs = std::filesystem;

namespace {

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

struct ContainerEntry {
    Container container;
    const char* name;
    const char* extensions[2];
    int major;
    bool streams;
};

constexpr ContainerEntry kContainers[] = {
    {Container::Wav, "wav", {".wav", nullptr}, SF_FORMAT_WAV, true},
    {Container::Flac, "flac", {".flac", nullptr}, SF_FORMAT_FLAC, true},
    {Container::Ogg, "ogg", {".ogg", nullptr}, SF_FORMAT_OGG, true},
    {Container::Aiff, "aiff", {".aiff", ".aif"}, SF_FORMAT_AIFF, false},
    {Container::Caf, "caf", {".caf", nullptr}, SF_FORMAT_CAF, false},
    {Container::W64, "w64", {".w64", nullptr}, SF_FORMAT_W64, false},
    {Container::Rf64, "rf64", {".rf64", nullptr}, SF_FORMAT_RF64, false},
};

const ContainerEntry& EntryOf(Container container) {
    for (const ContainerEntry& e : kContainers) {
        if (e.container == container) return e;
    }
    return kContainers[0];
}

std::string FormatInfoName(int format) {
    SF_FORMAT_INFO info = {};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) return info.name;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "format 0x%x", unsigned(format));
    return buffer;
}

// The integer sample format of `bits` in a container (8-bit WAV is unsigned, elsewhere signed).
int IntegerSubtype(Container container, int bits) {
    switch (bits) {
        case 8:
            return container == Container::Wav || container == Container::W64 || container == Container::Rf64
                       ? SF_FORMAT_PCM_U8
                       : SF_FORMAT_PCM_S8;
        case 16:
            return SF_FORMAT_PCM_16;
        case 24:
            return SF_FORMAT_PCM_24;
        default:
            return SF_FORMAT_PCM_32;
    }
}

}  // namespace

int IntegerBitsOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return 8;
        case SF_FORMAT_PCM_16:
            return 16;
        case SF_FORMAT_PCM_24:
            return 24;
        case SF_FORMAT_PCM_32:
            return 32;
        default:
            return 0;
    }
}

int BytesPerSample(int format) {
    const int bits = IntegerBitsOf(format);
    if (bits > 0) return bits / 8;
    return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE ? 8 : 4;
}

// ---------------------------------------------------------------------------------------------------
// Containers

bool ContainerOfExtension(const std::string& path, Container* container) {
    const std::string ext = Lowercase(fs::path(path).extension().string());
    for (const ContainerEntry& e : kContainers) {
        for (const char* x : e.extensions) {
            if (x != nullptr && ext == x) {
                *container = e.container;
                return true;
            }
        }
    }
    return false;
}

bool ContainerOfName(const std::string& name, Container* container) {
    const std::string lower = Lowercase(name);
    for (const ContainerEntry& e : kContainers) {
        if (lower == e.name || (lower == "aif" && e.container == Container::Aiff)) {
            *container = e.container;
            return true;
        }
    }
    return false;
}

std::string ContainerNames() {
    std::string text;
    for (const ContainerEntry& e : kContainers) text += (text.empty() ? "" : ", ") + std::string(e.name);
    return text;
}

std::string ContainerExtensions() {
    std::string text;
    for (const ContainerEntry& e : kContainers) {
        for (const char* x : e.extensions) {
            if (x != nullptr) text += (text.empty() ? "" : " ") + std::string(x);
        }
    }
    return text;
}

const char* ContainerName(Container container) { return EntryOf(container).name; }
bool ContainerStreams(Container container) { return EntryOf(container).streams; }
const char* ContainerExtension(Container container) { return EntryOf(container).extensions[0]; }

// ---------------------------------------------------------------------------------------------------
// Output format

OutputBits ParseOutputBits(const std::string& text) {
    if (text == "8") return {8, false};
    if (text == "16") return {16, false};
    if (text == "24") return {24, false};
    if (text == "32") return {32, false};
    if (text == "32f") return {32, true};
    if (text == "64f") return {64, true};
    throw UsageError("--bits must be 8, 16, 24, 32, 32f or 64f, not '" + EscapeText(text) + "'");
}

int ChooseOutputFormat(Container container, int inputFormat, OutputBits bits, int channels, int sampleRate) {
    const int major = EntryOf(container).major;
    int subtype;
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    if (container == Container::Ogg) {
        if (bits.bits != 0) throw UsageError("--bits does not apply to OGG output (Vorbis is compressed)");
        subtype = SF_FORMAT_VORBIS;
    } else if (bits.bits != 0) {
        if (container == Container::Flac && (bits.isFloat || bits.bits > 24)) {
            throw UsageError("FLAC holds 8, 16 or 24-bit integer samples: use --bits 8, 16 or 24");
        }
        subtype = bits.isFloat ? (bits.bits == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT)
                               : IntegerSubtype(container, bits.bits);
    } else if (IntegerBitsOf(inputFormat) > 0) {
        int depth = IntegerBitsOf(inputFormat);
        if (container == Container::Flac) depth = std::min(depth, 24);
        subtype = IntegerSubtype(container, depth);
    } else if (container == Container::Flac) {
        subtype = SF_FORMAT_PCM_24;
    } else {
        subtype = inputSubtype == SF_FORMAT_DOUBLE ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT;
    }
    // Keep the input's byte order when it is the same container and the container allows it.
    int format = major | subtype;
    if ((inputFormat & SF_FORMAT_TYPEMASK) == major) format |= inputFormat & SF_FORMAT_ENDMASK;
    SF_INFO check = {};
    check.format = format;
    check.channels = channels;
    check.samplerate = sampleRate;
    if (!sf_format_check(&check)) {
        format &= ~SF_FORMAT_ENDMASK;
        check.format = format;
        if (!sf_format_check(&check)) {
            throw Failure("libsndfile cannot write " + DescribeFormat(format) + " with " + std::to_string(channels) +
                          " channels at " + std::to_string(sampleRate) + " Hz");
        }
    }
    return format;
}

bool IsFloatFormat(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

std::string DescribeFormat(int format) {
    return FormatInfoName(format & SF_FORMAT_TYPEMASK) + ", " + FormatInfoName(format & SF_FORMAT_SUBMASK);
}

std::string DefaultOutputPath(const std::string& inPath, int inputFormat) {
    const fs::path in(inPath);
    Container container;
    std::string ext = in.extension().string();
    if (!ContainerOfExtension(inPath, &container)) {
        ext = ".wav";
        for (const ContainerEntry& e : kContainers) {
            if (e.major == (inputFormat & SF_FORMAT_TYPEMASK)) ext = e.extensions[0];
        }
    }
    return (in.parent_path() / (in.stem().string() + "-marovex" + ext)).string();
}

uint64_t Rf64Threshold() {
    uint64_t threshold = 0xFFFFFFFFull - (1u << 20);
    const char* text = std::getenv("MAROVEX_RF64_THRESHOLD");
    if (text != nullptr && *text != '\0') {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (end != text && *end == '\0' && value < threshold) threshold = value;
    }
    return threshold;
}

}  // namespace marovex::cli
