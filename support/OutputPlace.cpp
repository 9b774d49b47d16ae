#include "OutputPlace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "AudioReader.h"
#include "CliError.h"
#include "Text.h"

namespace marovex::cli {

namespace fs = std::filesystem;

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

bool Writable(const std::string& path) {
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

}  // namespace marovex::cli
