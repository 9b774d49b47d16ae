#include "AudioFiles.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "CliError.h"

namespace marovex::cli {

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string SystemError() { return std::strerror(errno); }

// The permission bits a newly created file gets under the process's umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

enum class Family { Wav, Aiff, Flac, Ogg, Other };

Family FamilyOfFormat(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
        case SF_FORMAT_RF64:
            return Family::Wav;
        case SF_FORMAT_AIFF:
            return Family::Aiff;
        case SF_FORMAT_FLAC:
            return Family::Flac;
        case SF_FORMAT_OGG:
            return Family::Ogg;
        default:
            return Family::Other;
    }
}

// The container an output extension names, when it is one of the four families.
bool FamilyOfExtension(const std::string& path, Family* family) {
    const std::string ext = Lowercase(fs::path(path).extension().string());
    if (ext == ".wav") *family = Family::Wav;
    else if (ext == ".aif" || ext == ".aiff" || ext == ".aifc") *family = Family::Aiff;
    else if (ext == ".flac") *family = Family::Flac;
    else if (ext == ".ogg" || ext == ".oga") *family = Family::Ogg;
    else return false;
    return true;
}

const char* FamilyName(Family family) {
    switch (family) {
        case Family::Wav: return "WAV";
        case Family::Aiff: return "AIFF";
        case Family::Flac: return "FLAC";
        case Family::Ogg: return "OGG";
        case Family::Other: break;
    }
    return "other";
}

std::string FormatInfoName(int format) {
    SF_FORMAT_INFO info = {};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) return info.name;
    return "format 0x" + [&] { char b[16]; std::snprintf(b, sizeof b, "%x", format); return std::string(b); }();
}

// Bits of an integer sample format that the writer quantizes itself; 0 for anything else.
int IntegerBits(int format) {
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

}  // namespace

// ---------------------------------------------------------------------------------------------------
// PendingFile

PendingFile::PendingFile(std::string path) : mPath(std::move(path)) {
    const fs::path target(mPath);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".marovex-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    mDescriptor = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (mDescriptor < 0) {
        throw Failure("cannot create a file in " + Quote(folder.string()) + " for " + Quote(mPath) + ": " +
                      SystemError());
    }
    mTemporaryPath = buffer.data();
    ::fchmod(mDescriptor, NewFileMode());
}

PendingFile::~PendingFile() {
    if (mDescriptor >= 0) ::close(mDescriptor);
    if (!mCommitted && !mTemporaryPath.empty()) ::unlink(mTemporaryPath.c_str());
}

void PendingFile::WriteAll(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(mDescriptor, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Failure("cannot write " + Quote(mPath) + ": " + SystemError());
        done += size_t(n);
    }
}

void PendingFile::Commit(bool overwrite) {
    const int descriptor = mDescriptor;
    mDescriptor = -1;
    if (::fsync(descriptor) != 0 && errno != EINVAL) {
        const std::string reason = SystemError();
        ::close(descriptor);
        throw Failure("cannot write " + Quote(mPath) + ": " + reason);
    }
    if (::close(descriptor) != 0) throw Failure("cannot write " + Quote(mPath) + ": " + SystemError());
    int result;
    if (overwrite) {
        result = ::rename(mTemporaryPath.c_str(), mPath.c_str());
    } else {
        // Never replace a file that appeared since the checks; fall back to link + unlink where the
        // file system offers no atomic no-replace rename.
        result = ::renameat2(AT_FDCWD, mTemporaryPath.c_str(), AT_FDCWD, mPath.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = ::link(mTemporaryPath.c_str(), mPath.c_str());
            if (result == 0) ::unlink(mTemporaryPath.c_str());
        }
    }
    if (result != 0) {
        if (errno == EEXIST) throw Failure(Quote(mPath) + " already exists (use --overwrite to replace it)");
        throw Failure("cannot write " + Quote(mPath) + ": " + SystemError());
    }
    mCommitted = true;
}

// ---------------------------------------------------------------------------------------------------
// AudioReader

AudioReader::AudioReader(const std::string& path) : mPath(path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) throw Failure("cannot open " + Quote(path) + ": no such file");
    if (fs::is_directory(path, ec)) throw Failure("cannot open " + Quote(path) + ": it is a folder");
    SF_INFO info = {};
    mFile = sf_open(path.c_str(), SFM_READ, &info);
    if (mFile == nullptr) {
        throw Failure("cannot read " + Quote(path) + " as audio: " + sf_strerror(nullptr));
    }
    mChannels = info.channels;
    mSampleRate = info.samplerate;
    mFrames = info.frames;
    mFormat = info.format;
    if (mChannels != 1 && mChannels != 2) {
        sf_close(mFile);
        mFile = nullptr;
        throw Failure(Quote(path) + " has " + std::to_string(mChannels) +
                      " channels; marovex processes mono (1 channel) or stereo (2 channels) audio");
    }
    if (mSampleRate <= 0) {
        sf_close(mFile);
        mFile = nullptr;
        throw Failure(Quote(path) + " has no valid sample rate");
    }
}

AudioReader::~AudioReader() {
    if (mFile != nullptr) sf_close(mFile);
}

int64_t AudioReader::Read(float* interleaved, int64_t frames) {
    const sf_count_t n = sf_readf_float(mFile, interleaved, frames);
    if (n < frames && sf_error(mFile) != SF_ERR_NO_ERROR) {
        throw Failure("cannot read " + Quote(mPath) + ": " + sf_strerror(mFile));
    }
    return n;
}

// ---------------------------------------------------------------------------------------------------
// Output format

OutputBits ParseOutputBits(const std::string& text) {
    if (text == "16") return OutputBits::Pcm16;
    if (text == "24") return OutputBits::Pcm24;
    if (text == "32f") return OutputBits::Float32;
    throw UsageError("--bits must be 16, 24 or 32f, not '" + text + "'");
}

int ChooseOutputFormat(int inputFormat, const std::string& outPath, OutputBits bits, int channels,
                       int sampleRate) {
    const Family family = FamilyOfFormat(inputFormat);
    Family named;
    if (FamilyOfExtension(outPath, &named) && named != family) {
        throw UsageError("the output keeps the input's format (" + std::string(FamilyName(family)) +
                         "), but " + Quote(outPath) + " names " + FamilyName(named));
    }
    int subtype = inputFormat & SF_FORMAT_SUBMASK;
    if (bits != OutputBits::Default) {
        if (family == Family::Ogg) throw UsageError("--bits does not apply to OGG output");
        if (family == Family::Flac && bits == OutputBits::Float32) {
            throw UsageError("FLAC holds no float samples: use --bits 16 or 24");
        }
        subtype = bits == OutputBits::Pcm16 ? SF_FORMAT_PCM_16
                  : bits == OutputBits::Pcm24 ? SF_FORMAT_PCM_24
                                             : SF_FORMAT_FLOAT;
    } else if (family == Family::Wav) {
        subtype = SF_FORMAT_FLOAT;
    }
    int format = (inputFormat & (SF_FORMAT_TYPEMASK | SF_FORMAT_ENDMASK)) | subtype;
    SF_INFO check = {};
    check.format = format;
    check.channels = channels;
    check.samplerate = sampleRate;
    if (!sf_format_check(&check)) {
        // An endianness the container does not take for this sample format: let libsndfile choose.
        format &= ~SF_FORMAT_ENDMASK;
        check.format = format;
        if (!sf_format_check(&check)) {
            throw Failure("libsndfile cannot write " + DescribeFormat(format) + " with " +
                          std::to_string(channels) + " channels at " + std::to_string(sampleRate) + " Hz");
        }
    }
    return format;
}

std::string DescribeFormat(int format) {
    return FormatInfoName(format & SF_FORMAT_TYPEMASK) + ", " + FormatInfoName(format & SF_FORMAT_SUBMASK);
}

std::string DefaultOutputPath(const std::string& inPath) {
    const fs::path in(inPath);
    fs::path out = in.parent_path() / (in.stem().string() + "-marovex" + in.extension().string());
    return out.string();
}

// ---------------------------------------------------------------------------------------------------
// AudioWriter

AudioWriter::AudioWriter(PendingFile& file, int format, int channels, int sampleRate)
    : mPath(file.Path()), mChannels(channels), mIntegerBits(IntegerBits(format)) {
    SF_INFO info = {};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    mFile = sf_open_fd(file.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (mFile == nullptr) {
        throw Failure("cannot write " + Quote(mPath) + " as " + DescribeFormat(format) + ": " +
                      sf_strerror(nullptr));
    }
    // Anything libsndfile converts itself (compressed formats) is clipped rather than wrapped.
    sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (mFile != nullptr) sf_close(mFile);
}

void AudioWriter::Write(const float* interleaved, int64_t frames) {
    sf_count_t written;
    if (mIntegerBits == 0) {
        written = sf_writef_float(mFile, interleaved, frames);
    } else {
        // Quantize to the format's own width here, then hand libsndfile the value in the top bits of a
        // 32-bit integer, which it narrows by shifting (exactly).
        const size_t count = size_t(frames) * size_t(mChannels);
        mIntegers.resize(count);
        const double scale = std::ldexp(1.0, mIntegerBits - 1);
        const double top = scale - 1.0;
        const int shift = 32 - mIntegerBits;
        for (size_t i = 0; i < count; ++i) {
            double q = std::nearbyint(double(interleaved[i]) * scale);
            if (std::isnan(q)) q = 0.0;
            if (q < -scale) q = -scale;
            if (q > top) q = top;
            mIntegers[i] = int32_t(uint32_t(int64_t(q)) << shift);
        }
        written = sf_writef_int(mFile, mIntegers.data(), frames);
    }
    if (written != frames) throw Failure("cannot write " + Quote(mPath) + ": " + sf_strerror(mFile));
}

void AudioWriter::Close() {
    SNDFILE* file = mFile;
    mFile = nullptr;
    sf_write_sync(file);
    const int error = sf_close(file);
    if (error != 0) throw Failure("cannot finish " + Quote(mPath) + ": " + sf_error_number(error));
}

}  // namespace marovex::cli
