// A locale whose decimal point is a comma, for the tests that check that numbers ignore the process
// locale: one the system has, or else one compiled into a temporary folder with localedef from the
// locale sources of the "locales" package (scripts/deps.sh installs it). A test that cannot have one
// fails: a skipped locale test would only look like coverage.
#pragma once

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "it_IT.UTF-8", "de_DE", "fr_FR"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr) {
                std::setlocale(LC_NUMERIC, "C");
                mName = name;
                return;
            }
        }
        mFolder = std::filesystem::temp_directory_path() / ("marovex-locale-" + std::to_string(::getpid()));
        std::filesystem::create_directories(mFolder);
        {
            std::ofstream def(mFolder / "comma.def");
            def << "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
                   "LC_COLLATE\ncopy \"POSIX\"\nEND LC_COLLATE\n"
                   "LC_MONETARY\ncopy \"POSIX\"\nEND LC_MONETARY\n"
                   "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\ngrouping 3;3\nEND LC_NUMERIC\n"
                   "LC_TIME\ncopy \"POSIX\"\nEND LC_TIME\n"
                   "LC_MESSAGES\ncopy \"POSIX\"\nEND LC_MESSAGES\n";
        }
        const std::string command = "localedef -c -f ANSI_X3.4-1968 -i '" + (mFolder / "comma.def").string() +
                                    "' '" + (mFolder / "xx_COMMA").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1) return;
        ::setenv("LOCPATH", mFolder.c_str(), 1);
        if (std::setlocale(LC_NUMERIC, "xx_COMMA") == nullptr) return;
        std::setlocale(LC_NUMERIC, "C");
        mName = "xx_COMMA";
    }
    // Puts the C locale back and removes what was built.
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
        if (!mFolder.empty()) {
            ::unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(mFolder, ignored);
        }
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // The locale's name, empty when none could be had.
    const std::string& Name() const { return mName; }

private:
    std::string mName;
    std::filesystem::path mFolder;
};
