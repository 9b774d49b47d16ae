#include "AudioWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "AudioFormat.h"
#include "AudioMetadata.h"
#include "CliError.h"
#include "Interrupt.h"
#include "PendingFile.h"
#include "Text.h"

namespace marovex::cli {

// A stream output as libsndfile's virtual file: bytes go straight to the descriptor; only the current
// position can be "sought", so headers that would need rewriting keep what was written first.
struct OutputStream {
    int fd = -1;
    sf_count_t position = 0;  // bytes written to the descriptor
    bool failed = false;
    bool elsewhere = false;   // a seek away from the end was refused: drop writes until one comes back
};

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// The header of a WAV stream whose length is not known: RIFF and data sizes 0xFFFFFFFF, as readers of
// piped WAV expect.
std::vector<uint8_t> StreamWavHeader(int format, int channels, int sampleRate) {
    const bool isFloat = IntegerBitsOf(format) == 0;
    const uint32_t bytes = uint32_t(BytesPerSample(format));
    std::vector<uint8_t> h;
    // Room for the whole header (46 bytes with a float format's fmt chunk) at once, which also keeps
    // g++ 12 at -O3 from taking the vector's growth for an overflow (-Wstringop-overflow).
    h.reserve(46);
    const auto tag = [&h](const char* t) { h.insert(h.end(), t, t + 4); };
    tag("RIFF");
    PutLe(h, 0xFFFFFFFFu, 4);
    tag("WAVE");
    tag("fmt ");
    PutLe(h, isFloat ? 18 : 16, 4);
    PutLe(h, isFloat ? 3 : 1, 2);
    PutLe(h, uint32_t(channels), 2);
    PutLe(h, uint32_t(sampleRate), 4);
    PutLe(h, uint32_t(sampleRate) * uint32_t(channels) * bytes, 4);
    PutLe(h, uint32_t(channels) * bytes, 2);
    PutLe(h, bytes * 8, 2);
    if (isFloat) PutLe(h, 0, 2);
    tag("data");
    PutLe(h, 0xFFFFFFFFu, 4);
    return h;
}

sf_count_t OutputLength(void* user) { return static_cast<OutputStream*>(user)->position; }

sf_count_t OutputSeek(sf_count_t offset, int whence, void* user) {
    OutputStream& s = *static_cast<OutputStream*>(user);
    const sf_count_t target = whence == SEEK_SET ? offset : s.position + offset;
    s.elsewhere = target != s.position;
    return s.elsewhere ? -1 : target;
}

sf_count_t OutputRead(void*, sf_count_t, void*) { return 0; }

sf_count_t OutputWrite(const void* ptr, sf_count_t count, void* user) {
    OutputStream& s = *static_cast<OutputStream*>(user);
    if (s.elsewhere) return count;  // a header rewrite the stream cannot take
    const uint8_t* bytes = static_cast<const uint8_t*>(ptr);
    sf_count_t done = 0;
    while (done < count) {
        if (!WaitForDescriptor(s.fd, POLLOUT)) {
            s.failed = true;
            break;
        }
        const ssize_t n = ::write(s.fd, bytes + done, size_t(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            s.failed = true;
            break;
        }
        done += n;
    }
    s.position += done;
    return done;
}

sf_count_t OutputTell(void* user) { return static_cast<OutputStream*>(user)->position; }

// The writer hands written pages to the disk in batches of this many bytes: fewer, larger requests.
constexpr uint64_t kWritebackBytes = uint64_t(2) << 20;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// AudioWriter

AudioWriter::AudioWriter(PendingFile& file, int format, int channels, int sampleRate, const WriterOptions& options)
    : mPath(file.Path()),
      mFormat(format),
      mChannels(channels),
      mIntegerBits(IntegerBitsOf(format)),
      mDither(options.dither),
      mInputIntegerBits(options.inputIntegerBits) {
    const int major = format & SF_FORMAT_TYPEMASK;
    bool autoDowngrade = false;
    SF_INFO info = {};
    info.channels = channels;
    info.samplerate = sampleRate;
    if (file.IsStream() && major == SF_FORMAT_WAV) {
        // libsndfile cannot write WAV to a pipe: the header goes first with its sizes unknown, then
        // the samples as raw little-endian data.
        file.WriteAll(StreamWavHeader(format, channels, sampleRate));
        info.format = SF_FORMAT_RAW | (format & SF_FORMAT_SUBMASK) | SF_ENDIAN_LITTLE;
    } else if (file.IsStream() && major != SF_FORMAT_FLAC && major != SF_FORMAT_OGG) {
        throw UsageError("cannot write " + DescribeFormat(format) + " to a stream; use WAV, FLAC or OGG there");
    } else {
        if (major == SF_FORMAT_WAV) {
            const uint64_t bytes = uint64_t(std::max<int64_t>(options.expectedFrames, 0)) * uint64_t(channels) *
                                   uint64_t(BytesPerSample(format));
            if (options.expectedFrames < 0 || bytes > Rf64Threshold()) {
                mFormat = SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK);
                autoDowngrade = options.expectedFrames < 0;
            }
        }
        info.format = mFormat;
    }
    if (file.IsStream()) {
        mOutputStream = std::make_unique<OutputStream>();
        mOutputStream->fd = file.Descriptor();
        static SF_VIRTUAL_IO io = {OutputLength, OutputSeek, OutputRead, OutputWrite, OutputTell};
        mFile = sf_open_virtual(&io, SFM_WRITE, &info, mOutputStream.get());
    } else {
        mFile = sf_open_fd(file.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    }
    if (mFile == nullptr) {
        throw Failure("cannot write " + Quote(mPath) + " as " + DescribeFormat(format) + ": " + sf_strerror(nullptr));
    }
    if (autoDowngrade) sf_command(mFile, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    // The same input and settings give the same bytes: libsndfile would add a PEAK chunk with the time
    // of writing to float WAV and AIFF.
    sf_command(mFile, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (!file.IsStream()) mDescriptor = file.Descriptor();
    // Anything libsndfile converts itself (compressed formats) is clipped rather than wrapped.
    sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (options.metadata != nullptr && (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_RAW) {
        // Tags the container cannot hold are dropped by libsndfile's refusal.
        for (const auto& [type, text] : options.metadata->strings) sf_set_string(mFile, type, text.c_str());
        if (options.metadata->hasBroadcast) {
            const int m = mFormat & SF_FORMAT_TYPEMASK;
            if (m == SF_FORMAT_WAV || m == SF_FORMAT_RF64 || m == SF_FORMAT_W64 || m == SF_FORMAT_WAVEX) {
                SF_BROADCAST_INFO bext = {};
                std::memcpy(&bext, options.metadata->broadcast.data(),
                            std::min(sizeof bext, options.metadata->broadcast.size()));
                sf_command(mFile, SFC_SET_BROADCAST_INFO, &bext, sizeof bext);
            }
        }
    }
}

AudioWriter::~AudioWriter() {
    if (mFile != nullptr) sf_close(mFile);
}

void AudioWriter::Write(const float* out, int64_t frames, const float* in, const int32_t* originals,
                        const double* doubles) {
    sf_count_t written;
    if (mIntegerBits == 0 && doubles != nullptr && in != nullptr && (mFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE) {
        // Every float is exact as a double; a sample the plug-in left unchanged is the input's own value.
        const size_t count = size_t(frames) * size_t(mChannels);
        mDoubles.resize(count);
        for (size_t i = 0; i < count; ++i) {
            mDoubles[i] = std::memcmp(&out[i], &in[i], sizeof(float)) == 0 ? doubles[i] : double(out[i]);
        }
        written = sf_writef_double(mFile, mDoubles.data(), frames);
    } else if (mIntegerBits == 0) {
        written = sf_writef_float(mFile, out, frames);
    } else {
        // Quantize to the format's own width here, then hand libsndfile the value in the top bits of a
        // 32-bit integer, which it narrows by shifting (exactly).
        const size_t count = size_t(frames) * size_t(mChannels);
        mIntegers.resize(count);
        const double scale = std::ldexp(1.0, mIntegerBits - 1);
        const double top = scale - 1.0;
        const int shift = 32 - mIntegerBits;
        const bool inputFits = mInputIntegerBits > 0 && mInputIntegerBits <= mIntegerBits;
        for (size_t i = 0; i < count; ++i) {
            const bool unchanged = in != nullptr && out[i] == in[i];
            if (unchanged && inputFits && originals != nullptr) {
                mIntegers[i] = originals[i];  // the input's own sample, every bit of it
                continue;
            }
            double q = double(out[i]) * scale;
            if (mDither && mIntegerBits < 32 && !(unchanged && inputFits)) {
                // Triangular noise of one step peak: the sum of two uniform values in (-1/2, 1/2).
                const double a = double(mNoise() - 1) / double(std::minstd_rand::max() - 1);
                const double b = double(mNoise() - 1) / double(std::minstd_rand::max() - 1);
                q += a - b;
            }
            q = std::nearbyint(q);
            if (std::isnan(q)) q = 0.0;
            if (q < -scale) q = -scale;
            if (q > top) q = top;
            mIntegers[i] = int32_t(uint32_t(int64_t(q)) << shift);
        }
        written = sf_writef_int(mFile, mIntegers.data(), frames);
    }
    if (StopSignal() != 0) throw Interrupted(!mOutputStream);
    mFramesWritten += written > 0 ? int64_t(written) : 0;
    if (written != frames || (mOutputStream && mOutputStream->failed)) {
        throw Failure("cannot write " + Quote(mPath) + ": " +
                      (mOutputStream && mOutputStream->failed ? SystemError() : sf_strerror(mFile)));
    }
    // Every few megabytes, start writing the new pages to the disk without waiting for them, so that the
    // sync before the file is moved into place has little left to do. (Advice only: a file system
    // without it is fine.)
    if (mDescriptor >= 0) {
        mUnsyncedBytes += uint64_t(frames) * uint64_t(mChannels) * uint64_t(BytesPerSample(mFormat));
        if (mUnsyncedBytes >= kWritebackBytes) {
            ::sync_file_range(mDescriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
            mUnsyncedBytes = 0;
        }
    }
}

void AudioWriter::Close() {
    SNDFILE* file = mFile;
    mFile = nullptr;
    // The FLAC encoder starts with the first samples: without any, the file would stay empty, which no
    // reader takes. Asking for the header now writes the stream's header for no samples.
    if ((mFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC && mFramesWritten == 0) {
        sf_command(file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    }
    // Closing writes the final header; a file is synced once, when it is moved into place.
    const int error = sf_close(file);
    if (mOutputStream && mOutputStream->failed) throw Failure("cannot write " + Quote(mPath) + ": " + SystemError());
    if (error != 0) throw Failure("cannot finish " + Quote(mPath) + ": " + sf_error_number(error));
}

}  // namespace marovex::cli
