// Messages on standard error that never fail the run: a closed or full standard error loses the
// message, never the work, and never turns into an exception.
#pragma once

#include <string_view>
#include <utility>

#include <fmt/core.h>

namespace marovex::cli {

// Writes `text` to standard error as it is; errors of the write are ignored.
void WriteMessage(std::string_view text) noexcept;

// Formats and writes a message (the caller ends it with a newline). Never throws.
template <typename... Args>
void Message(fmt::format_string<Args...> format, Args&&... args) noexcept {
    try {
        WriteMessage(fmt::format(format, std::forward<Args>(args)...));
    } catch (...) {
        // No room to format it: the message is lost, the run goes on.
    }
}

// Opens /dev/null on standard input, output or error where the program was started with it closed, so
// that no file the program opens later takes its number (and receives its messages).
void KeepStandardDescriptorsOpen() noexcept;

}  // namespace marovex::cli
