// File helpers the tests share: a fresh folder for one test, a whole file read back, and the samples
// of an audio file.
#pragma once

#include <sndfile.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace testfiles {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An audio file's samples as float, interleaved; empty when it cannot be read. `channels`, when
// given, receives its channel count.
inline std::vector<float> ReadAudio(const std::filesystem::path& path, int* channels = nullptr) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return {};
    std::vector<float> samples(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    if (channels != nullptr) *channels = info.channels;
    return samples;
}

// A new, empty folder under the temporary directory, removed with its contents when the object goes.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "marovex-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) mDir = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!mDir.empty()) std::filesystem::remove_all(mDir, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Dir() const { return mDir; }
    std::string Path(const std::string& name) const { return (mDir / name).string(); }

private:
    std::filesystem::path mDir;
};

}  // namespace testfiles
