#include "Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace marovex::cli {

namespace {

std::string Hex(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", value & 0xFFu);
    return buffer;
}

// Length of the valid UTF-8 sequence at `s[i]` and its code point; 0 when it is not valid.
size_t Utf8Sequence(const std::string& s, size_t i, unsigned* codePoint) {
    const auto byte = [&s](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned c = byte(i);
    size_t length;
    unsigned value, minimum;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, value = c & 0x1F, minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, value = c & 0x0F, minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, value = c & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *codePoint = value;
    return length;
}

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

std::string EscapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\\') out += "\\\\";
            else if (c == '\n') out += "\\n";
            else if (c == '\t') out += "\\t";
            else if (c == '\r') out += "\\r";
            else if (c < 0x20 || c == 0x7F) out += Hex(c);
            else out += char(c);
            ++i;
            continue;
        }
        unsigned codePoint = 0;
        const size_t length = Utf8Sequence(text, i, &codePoint);
        if (length == 0) {
            out += Hex(c);
            ++i;
        } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x2028 || codePoint == 0x2029) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\u{%04X}", codePoint);
            out += buffer;
            i += length;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
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
