// Reading audio files: anything libsndfile reads, also from standard input (a pipe included), as
// interleaved float samples, with the header's own checks (channels, sample rate, promised length) and
// the tags that pass to the output.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioMetadata.h"

struct sf_private_tag;

namespace marovex::cli {
struct InputStream;
}  // namespace marovex::cli

namespace marovex::cli {

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

}  // namespace marovex::cli
