#include "AudioReader.h"

#include <fcntl.h>
#include <poll.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fmt/core.h>

#include "AudioFormat.h"
#include "CliError.h"
#include "Interrupt.h"
#include "Text.h"

namespace marovex::cli {

// Standard input as libsndfile's virtual file: the first kHeadBytes stay in memory so that the format
// detection and the decoders can go back to the start (libsndfile cannot read FLAC from a plain pipe);
// beyond them the stream is read forward only.
struct InputStream {
    static constexpr size_t kHeadBytes = 1u << 20;
    int fd = STDIN_FILENO;
    std::vector<uint8_t> head;
    sf_count_t consumed = 0;  // bytes taken from the descriptor
    sf_count_t position = 0;

    sf_count_t Pull(void* into, sf_count_t count) {
        uint8_t* bytes = static_cast<uint8_t*>(into);
        sf_count_t done = 0;
        while (done < count) {
            if (!WaitForDescriptor(fd, POLLIN)) break;
            const ssize_t n = ::read(fd, bytes + done, size_t(count - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (head.size() < kHeadBytes) {
                const size_t keep = std::min(size_t(n), kHeadBytes - head.size());
                head.insert(head.end(), bytes + done, bytes + done + keep);
            }
            done += n;
        }
        consumed += done;
        return done;
    }
};

namespace {

// The sample rate a WAV (RIFF, RIFX, RF64) or AIFF header gives, read from its first bytes as they
// are, since libsndfile refuses a WAV rate of 0 without saying why and reads an AIFF rate below 1 as
// 1; NaN when the bytes hold neither header.
double HeaderSampleRate(const std::vector<uint8_t>& b) {
    const auto le = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + size_t(i)];
        return v;
    };
    const auto be = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v = (v << 8) | b[at + size_t(i)];
        return v;
    };
    const auto is = [&](size_t at, const char* tag) { return at + 4 <= b.size() && std::memcmp(&b[at], tag, 4) == 0; };
    const bool riff = (is(0, "RIFF") || is(0, "RIFX") || is(0, "RF64")) && is(8, "WAVE");
    const bool aiff = is(0, "FORM") && (is(8, "AIFF") || is(8, "AIFC"));
    if (!riff && !aiff) return std::nan("");
    const bool bigEndian = aiff || is(0, "RIFX");
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = bigEndian ? be(at + 4, 4) : le(at + 4, 4);
        if (riff && is(at, "fmt ") && at + 16 <= b.size()) return bigEndian ? be(at + 12, 4) : le(at + 12, 4);
        if (aiff && is(at, "COMM") && at + 26 <= b.size()) {
            // An 80-bit extended float: sign and 15-bit exponent, then a 64-bit mantissa with its leading 1.
            const int exponent = int(be(at + 16, 2) & 0x7FFF);
            const uint64_t mantissa = (uint64_t(be(at + 18, 4)) << 32) | be(at + 22, 4);
            if (mantissa == 0 || exponent == 0) return 0.0;
            const double value = std::ldexp(double(mantissa), exponent - 16383 - 63);
            return (b[at + 8 + 8] & 0x80) ? -value : value;
        }
        if (size > b.size()) break;
        at += 8 + size + (size & 1);
    }
    return std::nan("");
}

// The first bytes of a file, for HeaderSampleRate.
std::vector<uint8_t> FileHead(const std::string& path) {
    std::vector<uint8_t> head(1 << 16);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    ssize_t n = fd >= 0 ? ::pread(fd, head.data(), head.size(), 0) : -1;
    if (fd >= 0) ::close(fd);
    head.resize(n > 0 ? size_t(n) : 0);
    return head;
}

// "'x.wav' gives a sample rate of 0 Hz; audio needs a rate of at least 1 Hz", when the header's own
// rate is below 1 Hz; else an empty text.
std::string ImpossibleRate(const std::string& name, double headerRate) {
    if (!(headerRate < 1.0)) return {};
    return fmt::format("{} gives a sample rate of {} Hz, which no audio has: the rate must be at least 1 Hz", name,
                       headerRate);
}

// What the reader's log says a header promised and the file did not hold: "data : 48000 (should be
// 9956)" (WAV family) or "SSND : 48008 (should be 9920)" (AIFF). The promised sample bytes, or -1.
// With `stream` (a pipe, whose length is not known) the size the header gives is the promise, unless
// it is the 0 or 0xFFFFFFFF that marks a length not known when the header was written.
int64_t PromisedDataBytes(SNDFILE* file, bool stream = false) {
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* tag : {"\ndata : ", "\n SSND : "}) {
        const char* at = std::strstr(log, tag);
        if (at == nullptr) continue;
        at += std::strlen(tag);
        char* end = nullptr;
        const long long declared = std::strtoll(at, &end, 10);
        if (end == at) continue;
        if (stream && (declared == 0 || declared >= 0xFFFFFFFFll)) return -1;
        if (!stream && std::strncmp(end, " (should be", 11) != 0) continue;
        return tag[1] == ' ' ? declared - 8 : declared;  // SSND counts its offset and block size
    }
    return -1;
}

sf_count_t InputLength(void*) { return SF_COUNT_MAX; }

sf_count_t InputSeek(sf_count_t offset, int whence, void* user) {
    InputStream& s = *static_cast<InputStream*>(user);
    sf_count_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? s.position + offset : -1;
    if (target < 0) return -1;
    const sf_count_t kept = sf_count_t(s.head.size());
    if (target < s.consumed && target >= kept && target != s.position) return -1;  // no longer held
    if (target - s.consumed > sf_count_t(InputStream::kHeadBytes)) {
        // Further ahead than the head could hold: a reader looking past the audio for chunks after it
        // (a WAV header does). Skipping there would consume the audio for good, so the position moves
        // only in name: reads there find nothing, and a seek back to the held head works.
        s.position = target;
        return target;
    }
    if (target > s.consumed) {
        std::vector<uint8_t> skip(size_t(std::min<sf_count_t>(target - s.consumed, 1 << 16)));
        while (s.consumed < target) {
            const sf_count_t want = std::min<sf_count_t>(target - s.consumed, sf_count_t(skip.size()));
            if (s.Pull(skip.data(), want) < want) break;
        }
        if (s.consumed < target) return -1;
    }
    s.position = target;
    return target;
}

sf_count_t InputRead(void* ptr, sf_count_t count, void* user) {
    InputStream& s = *static_cast<InputStream*>(user);
    uint8_t* out = static_cast<uint8_t*>(ptr);
    sf_count_t done = 0;
    const sf_count_t kept = sf_count_t(s.head.size());
    if (s.position < s.consumed) {
        if (s.position >= kept) return 0;
        const sf_count_t n = std::min(count, kept - s.position);
        std::memcpy(out, s.head.data() + s.position, size_t(n));
        done = n;
        s.position += n;
    }
    if (done < count && s.position == s.consumed) {
        const sf_count_t n = s.Pull(out + done, count - done);
        done += n;
        s.position += n;
    }
    return done;
}

sf_count_t InputWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t InputTell(void* user) { return static_cast<InputStream*>(user)->position; }

}  // namespace

// ---------------------------------------------------------------------------------------------------
// AudioReader

AudioReader::AudioReader(const std::string& path) : mPath(path) {
    SF_INFO info = {};
    const bool standardInput = path == "-";
    struct stat st;
    if (standardInput) {
        const bool regular = ::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
        if (regular) {
            // A file given as standard input is read as a file: its length is known.
            mDevice = st.st_dev;
            mInode = st.st_ino;
            mFile = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
        } else {
            mInputStream = std::make_unique<InputStream>();
            static SF_VIRTUAL_IO io = {InputLength, InputSeek, InputRead, InputWrite, InputTell};
            mFile = sf_open_virtual(&io, SFM_READ, &info, mInputStream.get());
        }
        if (mFile == nullptr) {
            const std::string reason = sf_strerror(nullptr);
            const std::string rate = ImpossibleRate(
                "standard input", HeaderSampleRate(mInputStream ? mInputStream->head : FileHead("/dev/stdin")));
            throw Failure(rate.empty() ? "cannot read standard input as audio: " + reason : rate);
        }
    } else {
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) throw Failure("cannot open " + Quote(path) + ": no such file");
            throw Failure("cannot open " + Quote(path) + ": " + SystemError());
        }
        if (S_ISDIR(st.st_mode)) throw Failure("cannot open " + Quote(path) + ": it is a folder");
        mDevice = st.st_dev;
        mInode = st.st_ino;
        mFile = sf_open(path.c_str(), SFM_READ, &info);
        if (mFile == nullptr) {
            const std::string reason = sf_strerror(nullptr);
            const std::string rate = ImpossibleRate(Quote(path), HeaderSampleRate(FileHead(path)));
            throw Failure(rate.empty() ? "cannot read " + Quote(path) + " as audio: " + reason : rate);
        }
    }
    mChannels = info.channels;
    mSampleRate = info.samplerate;
    mFormat = info.format;
    mIntegerBits = IntegerBitsOf(info.format);
    const bool seekable = info.seekable != 0 && !mInputStream;
    // (A FLAC header may leave its length unknown, which libsndfile gives as the largest count.)
    mFrames = seekable && info.frames != SF_COUNT_MAX ? int64_t(info.frames) : -1;
    mPromisedFrames = mFrames;
    const std::string name = standardInput ? "standard input" : Quote(path);
    if (mChannels != 1 && mChannels != 2) {
        sf_close(mFile);
        mFile = nullptr;
        throw Failure(name + " has " + std::to_string(mChannels) +
                      " channels; marovex processes mono (1 channel) or stereo (2 channels) audio");
    }
    const int major = mFormat & SF_FORMAT_TYPEMASK;
    if (mSampleRate <= 1 && (mSampleRate <= 0 || major == SF_FORMAT_AIFF)) {
        // An AIFF rate below 1 Hz reads as 1: the header itself tells.
        double headerRate = mSampleRate;
        if (major == SF_FORMAT_AIFF) {
            headerRate = HeaderSampleRate(mInputStream ? mInputStream->head
                                                       : FileHead(standardInput ? "/dev/stdin" : path));
        }
        const std::string rate = ImpossibleRate(name, std::isnan(headerRate) ? double(mSampleRate) : headerRate);
        if (!rate.empty()) {
            sf_close(mFile);
            mFile = nullptr;
            throw Failure(rate);
        }
    }
    if (mInputStream && major == SF_FORMAT_FLAC && info.frames > 0 && info.frames != SF_COUNT_MAX) {
        mPromisedFrames = int64_t(info.frames);  // the stream header's count
    }
    if (seekable || mInputStream) {
        const int64_t promisedBytes = PromisedDataBytes(mFile, mInputStream != nullptr);
        const int64_t frameBytes = int64_t(mChannels) * BytesPerSample(mFormat);
        if (promisedBytes > 0 && (IntegerBitsOf(mFormat) > 0 || (mFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ||
                                  (mFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE)) {
            mPromisedFrames = std::max(mFrames, promisedBytes / frameBytes);
        }
    }
    for (int type = SF_STR_FIRST; type <= SF_STR_LAST; ++type) {
        const char* text = sf_get_string(mFile, type);
        if (text != nullptr && text[0] != '\0') mMetadata.strings.emplace_back(type, text);
    }
    SF_BROADCAST_INFO bext = {};
    if (sf_command(mFile, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE) {
        mMetadata.hasBroadcast = true;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&bext);
        mMetadata.broadcast.assign(bytes, bytes + sizeof bext);
    }
}

AudioReader::~AudioReader() {
    if (mFile != nullptr) sf_close(mFile);
}

bool AudioReader::IsDouble() const { return (mFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE; }

int64_t AudioReader::Read(float* interleaved, int64_t frames, int32_t* originals, double* doubles) {
    if (!mDecodeFault.empty()) return 0;
    sf_count_t n;
    if (doubles != nullptr && IsDouble()) {
        // Read the 64-bit values and round them to float here, as libsndfile would, keeping them for
        // the writer.
        n = sf_readf_double(mFile, doubles, frames);
        const size_t count = n > 0 ? size_t(n) * size_t(mChannels) : 0;
        for (size_t i = 0; i < count; ++i) interleaved[i] = float(doubles[i]);
    } else if (mIntegerBits > 0) {
        // Read the integers and scale them here, as libsndfile would, keeping them for the writer.
        int32_t* integers = originals;
        if (integers == nullptr) {
            mIntegers.resize(size_t(frames) * size_t(mChannels));
            integers = mIntegers.data();
        }
        n = sf_readf_int(mFile, integers, frames);
        const size_t count = n > 0 ? size_t(n) * size_t(mChannels) : 0;
        for (size_t i = 0; i < count; ++i) interleaved[i] = float(integers[i]) * (1.0f / 2147483648.0f);
    } else {
        n = sf_readf_float(mFile, interleaved, frames);
    }
    if (StopSignal() != 0) throw Interrupted();
    const int error = n < frames ? sf_error(mFile) : SF_ERR_NO_ERROR;
    if (error != SF_ERR_NO_ERROR && error != SF_ERR_SYSTEM) {
        // The data cannot be decoded from here on (a compressed file cut in its frames, say): what came
        // before is kept, as for a file cut short, and the fault is told with it.
        mDecodeFault = sf_strerror(mFile);  // "Error : flac decoder lost sync."
        if (mDecodeFault.rfind("Error : ", 0) == 0) mDecodeFault.erase(0, 8);
        while (!mDecodeFault.empty() && (mDecodeFault.back() == '.' || mDecodeFault.back() == '\n')) mDecodeFault.pop_back();
        if (mDecodeFault.empty()) mDecodeFault = "the data cannot be decoded";
        return n > 0 ? int64_t(n) : 0;
    }
    if (error != SF_ERR_NO_ERROR) {
        throw Failure("cannot read " + (mPath == "-" ? std::string("standard input") : Quote(mPath)) + ": " +
                      sf_strerror(mFile));
    }
    return n;
}

}  // namespace marovex::cli
