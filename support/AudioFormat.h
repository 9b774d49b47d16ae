// Containers and sample formats of audio files: the container an output's extension or --format names,
// the output's sample format (--bits, else what the input holds), the default output's name, and what a
// libsndfile format code tells (integer bits, bytes per sample, float or not, its name for messages).
#pragma once

#include <cstdint>
#include <string>

namespace marovex::cli {

// The containers the program writes, chosen by the output's extension or --format.
enum class Container { Wav, Rf64, W64, Aiff, Caf, Flac, Ogg };

// The container an extension (".wav", any case) or a --format name ("wav") names.
bool ContainerOfExtension(const std::string& path, Container* container);
bool ContainerOfName(const std::string& name, Container* container);
// "wav, flac, ogg, aiff, caf, w64, rf64" and ".wav .flac .ogg .aiff .aif .caf .w64 .rf64".
std::string ContainerNames();
std::string ContainerExtensions();
const char* ContainerName(Container container);
// Whether the container can be written to a stream (a pipe): WAV, FLAC and OGG.
bool ContainerStreams(Container container);
// The extension ".wav" etc. of a container.
const char* ContainerExtension(Container container);

// Output sample formats selectable with --bits: 0 bits is the default.
struct OutputBits {
    int bits = 0;
    bool isFloat = false;
    bool operator==(const OutputBits& o) const { return bits == o.bits && isFloat == o.isFloat; }
};

// Parses the --bits value "8", "16", "24", "32", "32f" or "64f". Throws a usage CliError otherwise.
OutputBits ParseOutputBits(const std::string& text);

// The libsndfile format of the output. The sample format: `bits` when given; else integer input keeps
// its depth (FLAC holds at most 24 bits), float input keeps 32 or 64-bit float, and compressed input
// becomes 32-bit float (24 bits in FLAC). OGG is always Vorbis. Throws a usage CliError when `bits`
// does not apply to the container, and a CliError when libsndfile cannot write the combination.
int ChooseOutputFormat(Container container, int inputFormat, OutputBits bits, int channels, int sampleRate);

// Whether a format holds float samples (anything else clips at full scale).
bool IsFloatFormat(int format);

// The name of a format's container and sample format, for messages ("WAV, 32 bit float").
std::string DescribeFormat(int format);

// The default output for `inPath`: "<stem>-marovex.<ext>" in the input's folder, with the input's
// extension when it names a container the program writes, else the extension of the input's container
// (`inputFormat`), else ".wav".
std::string DefaultOutputPath(const std::string& inPath, int inputFormat);

// The data size above which WAV output is written as RF64: 4 GiB less room for the headers. The
// environment variable MAROVEX_RF64_THRESHOLD (bytes) lowers it, for tests.
uint64_t Rf64Threshold();

// Bits of an integer sample format (8, 16, 24, 32); 0 for anything else.
int IntegerBitsOf(int format);

// Bytes per sample of the uncompressed sample formats the writer produces.
int BytesPerSample(int format);

}  // namespace marovex::cli
