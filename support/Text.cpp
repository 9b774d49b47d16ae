#include "Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include <fmt/core.h>

#include "MarovexReport.h"
#include "Messages.h"

namespace marovex::cli {

namespace {

size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string EscapeText(const std::string& text) { return MarovexVisibleText(text, true); }

std::string Quote(const std::string& text) { return "'" + MarovexVisibleText(text, true) + "'"; }

void Say(Voice voice, const std::string& message, const std::string& hint) noexcept {
    try {
        std::fflush(stdout);
        WriteMessage(fmt::format("{}: {}\n{}", voice == Voice::Error ? "error" : "warning",
                                 MarovexVisibleText(message, false), hint.empty() ? std::string() : hint + "\n"));
    } catch (...) {
        // No room to compose it: the message is lost, the run goes on.
    }
}

std::string ClosestMatch(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    size_t bestDistance = std::string::npos;
    for (const std::string& c : candidates) {
        const size_t d = Distance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    // Close enough: at most a third of the candidate changed, and at least one letter kept.
    if (best.empty() || best == word || bestDistance * 3 > std::max(best.size(), size_t(3))) return {};
    return best;
}

}  // namespace marovex::cli
