// Outputs that appear under their final name only when they are complete: a temporary file beside the
// output, moved into place on Commit, or a stream written at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marovex::cli {

struct OutputPlace;

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

}  // namespace marovex::cli
