// Audio files for the marovex program: reading what libsndfile reads (also from standard input),
// choosing the output's container and sample format, and writing the output either through a
// temporary file beside it that is renamed into place only on success, or as a stream (standard
// output, a character device, a FIFO).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

struct sf_private_tag;

namespace marovex::cli {
struct InputStream;
struct OutputStream;
}  // namespace marovex::cli

namespace marovex::cli {

// Where an output goes. Regular files (new or existing, also through symbolic links) are written
// through a temporary file and renamed over the link's target; standard output ("-"), character
// devices and FIFOs are written as streams; anything else (a folder, a socket, a block device) is
// refused.
enum class OutputKind { File, Stream };

struct OutputPlace {
    OutputKind kind = OutputKind::File;
    std::string path;       // as given ("-" for standard output)
    std::string finalPath;  // files: the path renamed over, symbolic links resolved
    bool exists = false;    // files: something is there already
};

// Classifies `path` as an output. Throws a usage CliError for a folder and a CliError for other
// special files.
OutputPlace ClassifyOutput(const std::string& path);

// The rules for every file the program writes (audio, state, preset, pictures, editor snapshots),
// checked before any work is done:
// - no output is an input or another output, also through symbolic or hard links (same device and
//   inode), nor the input audio itself when it comes through standard input (`inputAudio`);
// - an existing file is replaced only when its target allows it (--overwrite), and only when the user
//   could write it in place (a read-only file stays);
// - streams are written into, never replaced.
// Throws a usage CliError for an output that is an input, a CliError for one that may not be replaced.
struct FileUse {
    const char* role;  // "input audio", "state loaded", ...
    std::string path;
};

struct OutputTarget {
    const char* role;  // "output", "state file", ...
    OutputPlace place;
    bool mayReplace;
};

class AudioReader;
void CheckOutputs(const std::vector<OutputTarget>& outputs, const std::vector<FileUse>& inputs,
                  const AudioReader* inputAudio);

// Whether two paths name the same existing file (following links); "-" is no file.
bool SameFile(const std::string& a, const std::string& b);

// A file that appears under its final name only when Commit succeeds (or a stream, written at once).
// File data goes to a temporary file in the same folder (created with the permissions a new file would
// get); if the object is destroyed before Commit, the temporary file is removed and the final path is
// left as it was.
class PendingFile {
public:
    // Creates the temporary file for `path` (a regular file's place). Throws a CliError when the
    // folder cannot take it.
    explicit PendingFile(std::string path);
    // Opens the place: a temporary file for OutputKind::File, the stream itself otherwise.
    explicit PendingFile(const OutputPlace& place);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& Path() const { return mPath; }
    const std::string& TemporaryPath() const { return mTemporaryPath; }
    bool IsStream() const { return mStream; }
    // The open descriptor of the temporary file or stream; it stays owned by this object.
    int Descriptor() const { return mDescriptor; }

    // Writes all of `bytes`. Throws a CliError on failure.
    void WriteAll(const std::vector<uint8_t>& bytes);
    // Files: flushes and closes the temporary file and moves it to the final path. Without
    // `overwrite`, an existing file at the final path is never replaced; with it, the new file takes
    // the replaced file's permission bits and, where the user may give them, its owner and group
    // (other hard links to the replaced file keep its old content), and a file the user could not
    // write is refused. Streams: closes them. Throws a CliError on failure (the temporary file is
    // then removed).
    void Commit(bool overwrite);

private:
    std::string mPath;       // for messages
    std::string mFinalPath;  // renamed over
    std::string mTemporaryPath;
    int mDescriptor = -1;
    bool mOwnsDescriptor = true;
    bool mStream = false;
    bool mCommitted = false;
};

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

// Text tags that pass from the input to the output where the container holds them.
struct AudioMetadata {
    std::vector<std::pair<int, std::string>> strings;  // libsndfile string type and text
    bool hasBroadcast = false;
    std::vector<uint8_t> broadcast;  // the broadcast (bext) record, when present
};

// An open input file, read as interleaved 32-bit float samples (integer formats scaled to -1 .. 1 by
// 2^(bits-1)).
class AudioReader {
public:
    // Opens `path` ("-": standard input). Throws a CliError naming the file and the reason when it is
    // missing or unreadable.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    const std::string& Path() const { return mPath; }
    int Channels() const { return mChannels; }
    int SampleRate() const { return mSampleRate; }
    // The frames the file holds, or -1 when the length is not known in advance (standard input).
    int64_t Frames() const { return mFrames; }
    // The frames the header promises when it promises more than the file holds, else Frames().
    int64_t PromisedFrames() const { return mPromisedFrames; }
    // Why the samples could not be decoded past the frames Read gave ("flac decoder lost sync"), or an
    // empty text: Read then ends there, as at the end of a file cut short.
    const std::string& DecodeFault() const { return mDecodeFault; }
    int Format() const { return mFormat; }  // libsndfile format code (major | subtype | endianness)
    // Bits of an integer sample format (8, 16, 24, 32); 0 for float and compressed formats.
    int IntegerBits() const { return mIntegerBits; }
    const AudioMetadata& Metadata() const { return mMetadata; }
    // Device and inode of the file (0, 0 for standard input).
    dev_t Device() const { return mDevice; }
    ino_t Inode() const { return mInode; }

    // Whether the samples are 64-bit floats, which a float holds only rounded.
    bool IsDouble() const;

    // Reads up to `frames` frames; returns the number read, 0 at the end. When `originals` is not
    // null and the input is integer, it receives the samples as read, left-justified in 32 bits; when
    // `doubles` is not null and the input holds 64-bit floats, it receives them as read.
    // Throws a CliError on a read error.
    int64_t Read(float* interleaved, int64_t frames, int32_t* originals = nullptr, double* doubles = nullptr);

private:
    std::string mPath;
    sf_private_tag* mFile = nullptr;
    int mChannels = 0;
    int mSampleRate = 0;
    int64_t mFrames = 0;
    int64_t mPromisedFrames = 0;
    std::string mDecodeFault;
    int mFormat = 0;
    int mIntegerBits = 0;
    AudioMetadata mMetadata;
    dev_t mDevice = 0;
    ino_t mInode = 0;
    std::vector<int32_t> mIntegers;
    std::vector<double> mDoubles;
    std::unique_ptr<InputStream> mInputStream;  // standard input
};

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

// How the writer handles samples.
struct WriterOptions {
    bool dither = false;           // TPDF dither when an integer output shortens the word length
    int inputIntegerBits = 0;      // the input's integer depth (0: float or compressed)
    int64_t expectedFrames = -1;   // frames to be written, -1 when unknown (decides WAV or RF64)
    const AudioMetadata* metadata = nullptr;
};

// An output file being written through a PendingFile. Float samples are written as they are to float
// formats; for 8, 16, 24 and 32-bit integer formats they are scaled by 2^(bits-1) (the inverse of the
// reader's scaling, so unprocessed integer samples come back bit for bit), rounded to nearest and
// clipped to the format's range. A sample the plug-in left unchanged is written as the input's own
// integer when the output is at least as deep as the input, which keeps bypassed 32-bit audio bit for
// bit (a float holds only 24 bits of it). WAV output becomes RF64 when it may exceed 4 GiB; on a
// stream, WAV is written with its sizes marked unknown.
class AudioWriter {
public:
    AudioWriter(PendingFile& file, int format, int channels, int sampleRate, const WriterOptions& options = {});
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // The format actually written (WAV may have become RF64).
    int Format() const { return mFormat; }

    // Writes `frames` interleaved frames of `out`. `in`, `originals` and `doubles` (any may be null)
    // are the input the frames came from: the float samples and the integers or 64-bit floats they
    // were read from. A 64-bit float output writes a sample the plug-in left unchanged (the same bits
    // as `in`) as the input's own 64-bit value, so bypassed 64-bit audio comes back bit for bit.
    void Write(const float* out, int64_t frames, const float* in = nullptr, const int32_t* originals = nullptr,
               const double* doubles = nullptr);
    // Finishes the file (headers, encoder flush). Throws a CliError on failure.
    void Close();

private:
    std::string mPath;
    sf_private_tag* mFile = nullptr;
    int mFormat = 0;
    int mChannels = 0;
    int mIntegerBits = 0;  // 0 when the samples are written as floats
    bool mDither = false;
    int mInputIntegerBits = 0;
    std::vector<int32_t> mIntegers;
    std::vector<double> mDoubles;
    std::minstd_rand mNoise{0x4d61726fu};
    int mDescriptor = -1;  // a regular file's descriptor (not a stream's)
    uint64_t mUnsyncedBytes = 0;  // written since the disk was last asked to take the pages
    int64_t mFramesWritten = 0;
    std::unique_ptr<OutputStream> mOutputStream;  // streams
};

}  // namespace marovex::cli
