#include "Arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

#include <CLI/CLI.hpp>
#include <fmt/core.h>

#include "CliError.h"
#include "Text.h"

namespace marovex::cli {

bool ParseDecimal(const std::string& text, double* value) {
    std::string_view view(text);
    // from_chars takes a '-' but no '+'; in its general format it takes neither a "0x" prefix nor
    // leading blanks, but it does take "inf" and "nan", refused below.
    if (!view.empty() && view.front() == '+') {
        view.remove_prefix(1);
        const bool digitOrPoint =
            !view.empty() && (std::isdigit(static_cast<unsigned char>(view.front())) || view.front() == '.');
        if (!digitOrPoint) return false;
    }
    if (view.empty()) return false;
    const char* end = view.data() + view.size();
    double parsed = 0.0;
    const auto result = std::from_chars(view.data(), end, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

std::string DecimalCommaHint(const std::string& text) {
    if (text.find(',') == std::string::npos) return {};
    std::string pointed = text;
    std::replace(pointed.begin(), pointed.end(), ',', '.');
    double ignored = 0.0;
    if (std::count(pointed.begin(), pointed.end(), '.') != 1 || !ParseDecimal(pointed, &ignored)) return {};
    return "; the decimal separator is a point: " + Quote(pointed);
}

namespace {

std::string Given(const std::string& text) { return text.empty() ? std::string("an empty text") : Quote(text); }

}  // namespace

double ReadNumber(const std::string& option, const std::string& text, double low, double high) {
    double value = 0.0;
    if (!ParseDecimal(text, &value) || value < low || value > high) {
        throw UsageError(fmt::format("{} takes a number from {:g} to {:g}, not {}{}", option, low, high, Given(text),
                                     DecimalCommaHint(text)));
    }
    return value;
}

uint64_t ReadWholeNumber(const std::string& option, const std::string& text, uint64_t low, uint64_t high) {
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const bool digits =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    // from_chars answers result_out_of_range for a number beyond 64 bits rather than wrapping it.
    const bool read = digits && std::from_chars(text.data(), end, value).ec == std::errc();
    if (!read || value < low || value > high) {
        throw UsageError(fmt::format("{} takes a whole number from {} to {}, not {}", option, low, high, Given(text)));
    }
    return value;
}

Assignment ParseAssignment(const std::string& option, const std::string& text, const std::string& form) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
        const char* missing = equals == std::string::npos ? "" : equals == 0 ? " (the identifier is missing)"
                                                                             : " (the value is missing)";
        throw UsageError(option + " expects " + form + ", not " + Given(text) + missing);
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

void RefuseEmptyValues(const CLI::App& app) {
    for (const CLI::Option* option : app.get_options()) {
        // Positional arguments keep the messages of their commands; flags take no value.
        if (option->get_positional() || option->get_expected_max() == 0 || option->count() == 0) continue;
        for (const std::string& result : option->results()) {
            if (result.empty()) {
                throw UsageError(option->get_name() +
                                 " was given an empty value; leave the option out for its default");
            }
        }
    }
    for (const CLI::App* sub : app.get_subcommands()) RefuseEmptyValues(*sub);
}

void CheckPictureName(const std::string& option, const std::string& path) {
    if (path == "-") return;
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension.empty() || extension == ".png") return;
    throw UsageError(option + " writes a PNG picture, not a " + Quote(extension) + " file: give " + Quote(path) +
                     " the extension .png");
}

}  // namespace marovex::cli
