// Audio files for the marovex program: reading what libsndfile reads, choosing the output format, and
// writing the output through a temporary file beside it that is renamed into place only on success.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

namespace marovex::cli {

// A file that appears under its final name only when Commit succeeds. The data goes to a temporary
// file in the same folder (created with the permissions a new file would get); if the object is
// destroyed before Commit, the temporary file is removed and the final path is left as it was.
class PendingFile {
public:
    // Creates the temporary file for `path`. Throws a CliError when the folder cannot take it.
    explicit PendingFile(std::string path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& Path() const { return mPath; }
    const std::string& TemporaryPath() const { return mTemporaryPath; }
    // The open descriptor of the temporary file; it stays owned (and is closed) by this object.
    int Descriptor() const { return mDescriptor; }

    // Writes all of `bytes` to the temporary file. Throws a CliError on failure.
    void WriteAll(const std::vector<uint8_t>& bytes);
    // Flushes and closes the temporary file and moves it to the final path. Without `overwrite`, an
    // existing file at the final path is never replaced. Throws a CliError on failure (the temporary
    // file is then removed).
    void Commit(bool overwrite);

private:
    std::string mPath;
    std::string mTemporaryPath;
    int mDescriptor = -1;
    bool mCommitted = false;
};

// An open input file, read as interleaved 32-bit float samples (integer formats scaled to -1 .. 1).
class AudioReader {
public:
    // Opens `path`. Throws a CliError naming the file and the reason when it is missing or unreadable.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int Channels() const { return mChannels; }
    int SampleRate() const { return mSampleRate; }
    int64_t Frames() const { return mFrames; }
    int Format() const { return mFormat; }  // libsndfile format code (major | subtype | endianness)

    // Reads up to `frames` frames; returns the number read, 0 at the end. Throws a CliError on a read
    // error.
    int64_t Read(float* interleaved, int64_t frames);

private:
    std::string mPath;
    sf_private_tag* mFile = nullptr;
    int mChannels = 0;
    int mSampleRate = 0;
    int64_t mFrames = 0;
    int mFormat = 0;
};

// Output sample formats selectable with --bits.
enum class OutputBits { Default, Pcm16, Pcm24, Float32 };

// Parses the --bits value "16", "24" or "32f". Throws a usage CliError otherwise.
OutputBits ParseOutputBits(const std::string& text);

// The libsndfile format of the output: the input's container (WAV, AIFF, FLAC, OGG, ...); WAV output is
// 32-bit float unless `bits` says otherwise, and other containers keep the input's sample format unless
// `bits` says otherwise. Throws a usage CliError when `outPath`'s extension names a different container
// than the input's, or when `bits` does not apply to the container, and a CliError when libsndfile
// cannot write the combination.
int ChooseOutputFormat(int inputFormat, const std::string& outPath, OutputBits bits, int channels,
                       int sampleRate);

// The name of a format's container and sample format, for messages ("WAV 32-bit float").
std::string DescribeFormat(int format);

// The default output for `inPath`: "<stem>-marovex.<ext>" in the input's folder.
std::string DefaultOutputPath(const std::string& inPath);

// An output file being written through a PendingFile. Float samples are written as they are to float
// formats; for 8, 16, 24 and 32-bit integer formats they are scaled by 2^(bits-1) (the inverse of the
// reader's scaling, so unprocessed integer samples come back bit for bit), rounded to nearest and
// clipped to the format's range.
class AudioWriter {
public:
    AudioWriter(PendingFile& file, int format, int channels, int sampleRate);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Writes `frames` interleaved frames. Throws a CliError on a write error.
    void Write(const float* interleaved, int64_t frames);
    // Finishes the file (headers, encoder flush). Throws a CliError on failure.
    void Close();

private:
    std::string mPath;
    sf_private_tag* mFile = nullptr;
    int mChannels = 0;
    int mIntegerBits = 0;  // 0 when the samples are written as floats
    std::vector<int32_t> mIntegers;
};

}  // namespace marovex::cli
