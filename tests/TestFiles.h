// File helpers the tests share: a fresh folder for one test, and a whole file read back.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace testfiles {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
