// Writing audio files: float samples to the chosen container and sample format (integer formats
// rounded, clipped and, on request, dithered; samples the plug-in left unchanged written as the input's
// own), to a file through a PendingFile or to a stream.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

struct sf_private_tag;

namespace marovex::cli {
struct AudioMetadata;
class PendingFile;
struct OutputStream;
}  // namespace marovex::cli

namespace marovex::cli {

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
