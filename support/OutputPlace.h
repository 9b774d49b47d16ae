// Where the program's outputs go (a regular file, written through a temporary file beside it, or a
// stream: standard output, a character device, a FIFO) and the rules every output is checked against
// before any work is done.
#pragma once

#include <string>
#include <vector>

namespace marovex::cli {

// Where an output goes. Regular files (new or existing, also through symbolic links) are written
// through a temporary file and renamed over the link's target; standard output ("-"), character
// devices and FIFOs are written as streams; anything else (a folder, a socket, a block device) is
// refused.
enum class OutputKind { File, Stream };

struct OutputPlace {
    OutputKind kind = OutputKind::File;
    std::string path;       // as given ("-" for standard output)
    std::string finalPath;  // files: the path renamed over, symbolic links resolved
    bool exists = false;    // files: something is there already
};

// Classifies `path` as an output. Throws a usage CliError for a folder and a CliError for other
// special files.
OutputPlace ClassifyOutput(const std::string& path);

// The rules for every file the program writes (audio, state, preset, pictures, editor snapshots),
// checked before any work is done:
// - no output is an input or another output, also through symbolic or hard links (same device and
//   inode), nor the input audio itself when it comes through standard input (`inputAudio`);
// - an existing file is replaced only when its target allows it (--overwrite), and only when the user
//   could write it in place (a read-only file stays);
// - streams are written into, never replaced.
// Throws a usage CliError for an output that is an input, a CliError for one that may not be replaced.
struct FileUse {
    const char* role;  // "input audio", "state loaded", ...
    std::string path;
};

struct OutputTarget {
    const char* role;  // "output", "state file", ...
    OutputPlace place;
    bool mayReplace;
};

class AudioReader;
void CheckOutputs(const std::vector<OutputTarget>& outputs, const std::vector<FileUse>& inputs,
                  const AudioReader* inputAudio);

// Whether two paths name the same existing file (following links); "-" is no file.
bool SameFile(const std::string& a, const std::string& b);

// Whether the user could write the existing file `path` in place (a replaced file is never more
// writable than that).
bool Writable(const std::string& path);

}  // namespace marovex::cli
