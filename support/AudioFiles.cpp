#include "AudioFiles.h"

#include <fcntl.h>
#include <poll.h>
#include <sndfile.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <fmt/core.h>

#include "CliError.h"
#include "Interrupt.h"
#include "Messages.h"
#include "Text.h"

namespace marovex::cli {

namespace fs = std::filesystem;

// Waits until `fd` is ready for `events` (a pipe may stay silent for as long as its writer likes);
// false when a stop signal came first.
static bool WaitForDescriptor(int fd, short events) {
    for (;;) {
        if (StopSignal() != 0) return false;
        pollfd p = {fd, events, 0};
        const int ready = ::poll(&p, 1, 200);
        if (ready > 0 || (ready < 0 && errno != EINTR)) return StopSignal() == 0;
    }
}

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

// A stream output as libsndfile's virtual file: bytes go straight to the descriptor; only the current
// position can be "sought", so headers that would need rewriting keep what was written first.
struct OutputStream {
    int fd = -1;
    sf_count_t position = 0;  // bytes written to the descriptor
    bool failed = false;
    bool elsewhere = false;   // a seek away from the end was refused: drop writes until one comes back
};

namespace {

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

// Bits of an integer sample format; 0 for anything else.
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

// Bytes per sample of the uncompressed sample formats the writer produces.
int BytesPerSample(int format) {
    const int bits = IntegerBitsOf(format);
    if (bits > 0) return bits / 8;
    return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE ? 8 : 4;
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

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// The header of a WAV stream whose length is not known: RIFF and data sizes 0xFFFFFFFF, as readers of
// piped WAV expect.
std::vector<uint8_t> StreamWavHeader(int format, int channels, int sampleRate) {
    const bool isFloat = IntegerBitsOf(format) == 0;
    const uint32_t bytes = uint32_t(BytesPerSample(format));
    std::vector<uint8_t> h;
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
// Output places and pending files

OutputPlace ClassifyOutput(const std::string& path) {
    OutputPlace place;
    place.path = path;
    place.finalPath = path;
    if (path == "-") {
        place.kind = OutputKind::Stream;
        return place;
    }
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0) return place;  // a new file
    struct stat target;
    if (::stat(path.c_str(), &target) != 0) {
        throw Failure(Quote(path) + " is a link to nothing; give the path it should point to");
    }
    if (S_ISDIR(target.st_mode)) throw UsageError(Quote(path) + " is a folder");
    if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)) {
        place.kind = OutputKind::Stream;
        return place;
    }
    if (!S_ISREG(target.st_mode)) {
        throw Failure(Quote(path) + " is neither a regular file, a character device nor a FIFO");
    }
    place.exists = true;
    if (S_ISLNK(link.st_mode)) {
        // Write where the link points and keep the link.
        std::error_code ec;
        const fs::path resolved = fs::canonical(path, ec);
        if (!ec) place.finalPath = resolved.string();
    }
    return place;
}

// Whether the user could write the existing file `path` in place (a replaced file is never more
// writable than that).
static bool Writable(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ||
           (errno != EACCES && errno != EPERM && errno != EROFS);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (a == "-" || b == "-") return false;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// No output may be an input (also through links: same device and inode) or another output; an
// existing output is replaced only when allowed. Streams are written into, never replaced.
void CheckOutputs(const std::vector<OutputTarget>& outputs, const std::vector<FileUse>& inputs,
                  const AudioReader* reader) {
    std::error_code ec;
    struct stat standardOut;
    const bool stdoutIsFile = ::fstat(STDOUT_FILENO, &standardOut) == 0 && S_ISREG(standardOut.st_mode);
    for (size_t i = 0; i < outputs.size(); ++i) {
        const OutputTarget& out = outputs[i];
        const std::string& path = out.place.path;
        for (const FileUse& in : inputs) {
            if ((path == in.path && path != "-") || SameFile(path, in.path)) {
                throw UsageError("the " + std::string(out.role) + " " + Quote(path) + " is the " + in.role +
                                 "; nothing was written");
            }
        }
        if (reader != nullptr && reader->Inode() != 0) {
            struct stat st;
            const bool sameAsInput =
                (path == "-" && stdoutIsFile && standardOut.st_dev == reader->Device() &&
                 standardOut.st_ino == reader->Inode()) ||
                (path != "-" && ::stat(path.c_str(), &st) == 0 && st.st_dev == reader->Device() &&
                 st.st_ino == reader->Inode());
            if (sameAsInput) {
                throw UsageError("the " + std::string(out.role) + " " + Quote(path) +
                                 " is the input audio; nothing was written");
            }
        }
        for (size_t j = 0; j < i; ++j) {
            const std::string& other = outputs[j].place.path;
            const bool same = (path == "-" && other == "-") || SameFile(path, other) ||
                              (path != "-" && other != "-" &&
                               fs::weakly_canonical(path, ec) == fs::weakly_canonical(other, ec));
            if (same) {
                throw UsageError("the " + std::string(out.role) + " and the " + outputs[j].role +
                                 " are the same file " + Quote(path));
            }
        }
        if (out.place.kind == OutputKind::File && out.place.exists && !out.mayReplace) {
            throw Failure("the " + std::string(out.role) + " " + Quote(path) +
                          " already exists (use --overwrite to replace it)");
        }
        if (out.place.kind == OutputKind::File && out.place.exists && !Writable(out.place.finalPath)) {
            throw Failure("the " + std::string(out.role) + " " + Quote(path) +
                          " is read-only; nothing was written (make it writable to replace it)");
        }
    }
}

// A run killed while writing (SIGKILL, a power cut) leaves its temporary file behind. The next run
// that writes into the same folder removes those of our own pattern (".NAME.marovex-XXXXXX") that are
// the user's regular files, untouched for a minute and not locked by a run still writing them; once per
// folder and run.
static void RemoveStaleTemporaries(const std::string& folder) {
    static std::vector<std::string> cleaned;
    std::error_code ec;
    const std::string key = fs::absolute(folder, ec).lexically_normal().string();
    if (std::find(cleaned.begin(), cleaned.end(), key) != cleaned.end()) return;
    cleaned.push_back(key);
    constexpr char kMark[] = ".marovex-";
    constexpr size_t kMarkLength = sizeof kMark - 1, kRandomLength = 6;
    const time_t now = ::time(nullptr);
    fs::directory_iterator entries(folder, ec);
    for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
        const std::string name = entries->path().filename().string();
        if (name.size() < 2 + kMarkLength + kRandomLength || name[0] != '.') continue;
        const size_t mark = name.size() - kRandomLength - kMarkLength;
        if (name.compare(mark, kMarkLength, kMark) != 0) continue;
        if (!std::all_of(name.end() - kRandomLength, name.end(), [](char c) { return std::isalnum((unsigned char)c); })) {
            continue;
        }
        const std::string path = entries->path().string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) continue;
        struct stat st, named;
        const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                           st.st_nlink == 1 && now - st.st_mtime >= 60 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                           ::lstat(path.c_str(), &named) == 0 && named.st_dev == st.st_dev &&
                           named.st_ino == st.st_ino;
        if (stale && ::unlink(path.c_str()) == 0) {
            Message("marovex: removed {} ({:.1f} MB), left behind by an interrupted run\n", Quote(path),
                    double(st.st_size) / 1e6);
        }
        ::close(fd);
    }
}

PendingFile::PendingFile(std::string path) : PendingFile(OutputPlace{OutputKind::File, path, path, false}) {}

PendingFile::PendingFile(const OutputPlace& place) : mPath(place.path), mFinalPath(place.finalPath) {
    if (place.kind == OutputKind::Stream) {
        mStream = true;
        if (place.path == "-") {
            mDescriptor = STDOUT_FILENO;
            mOwnsDescriptor = false;
            return;
        }
        mDescriptor = ::open(place.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (mDescriptor < 0) throw Failure("cannot open " + Quote(mPath) + " for writing: " + SystemError());
        return;
    }
    const fs::path target(mFinalPath);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    const std::string pattern = (folder / ("." + target.filename().string() + ".marovex-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    mDescriptor = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (mDescriptor < 0) {
        throw Failure("cannot create a file in " + Quote(folder.string()) + " for " + Quote(mPath) + ": " +
                      SystemError());
    }
    mTemporaryPath = buffer.data();
    ::fchmod(mDescriptor, NewFileMode());
    // Held while the file is written: a run that finds it unlocked knows that its writer is gone.
    ::flock(mDescriptor, LOCK_EX | LOCK_NB);
    RemoveStaleTemporaries(folder.string());
}

PendingFile::~PendingFile() {
    if (mDescriptor >= 0 && mOwnsDescriptor) ::close(mDescriptor);
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
    if (mStream) {
        mCommitted = true;
        if (mOwnsDescriptor && ::close(descriptor) != 0) {
            throw Failure("cannot write " + Quote(mPath) + ": " + SystemError());
        }
        return;
    }
    struct stat replaced;
    if (overwrite && ::stat(mFinalPath.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
        if (!Writable(mFinalPath)) {
            ::close(descriptor);
            throw Failure(Quote(mPath) + " is read-only; nothing was written (make it writable to replace it)");
        }
        // The file keeps who owns it and who may read it: owner and group where the user may give them
        // (the group alone where only that), then the permission bits (without set-user or set-group
        // bits, which a change of owner clears and new content must not inherit).
        if (::fchown(descriptor, replaced.st_uid, replaced.st_gid) != 0) {
            (void)!::fchown(descriptor, uid_t(-1), replaced.st_gid);
        }
        ::fchmod(descriptor, replaced.st_mode & 0777);
    }
    if (::fsync(descriptor) != 0 && errno != EINVAL) {
        const std::string reason = SystemError();
        ::close(descriptor);
        throw Failure("cannot write " + Quote(mPath) + ": " + reason);
    }
    if (::close(descriptor) != 0) throw Failure("cannot write " + Quote(mPath) + ": " + SystemError());
    int result;
    if (overwrite) {
        result = ::rename(mTemporaryPath.c_str(), mFinalPath.c_str());
    } else {
        // Never replace a file that appeared since the checks; fall back to link + unlink where the
        // file system offers no atomic no-replace rename.
        result = ::renameat2(AT_FDCWD, mTemporaryPath.c_str(), AT_FDCWD, mFinalPath.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = ::link(mTemporaryPath.c_str(), mFinalPath.c_str());
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

AudioWriter::~AudioWriter() {
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
