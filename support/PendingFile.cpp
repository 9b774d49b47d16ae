#include "PendingFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "CliError.h"
#include "Messages.h"
#include "OutputPlace.h"
#include "Text.h"

namespace marovex::cli {

namespace fs = std::filesystem;

namespace {

// The permission bits a newly created file gets under the process's umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

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

}  // namespace marovex::cli
