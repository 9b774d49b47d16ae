// The one reporter for misbehaviour, and the escaping that keeps foreign text off the terminal's
// controls.
#include "MarovexReport.h"

#include <cstdio>
#include <mutex>

#include "HostInternal.h"

namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const MarovexReport&)>& Sink() {
    static std::function<void(const MarovexReport&)> sink;
    return sink;
}

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

}  // namespace

std::string MarovexVisibleText(const std::string& text, bool doubleBackslashes) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\\') out += doubleBackslashes ? "\\\\" : "\\";
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

std::string MarovexReportLine(const MarovexReport& report) {
    std::string line = "marovex: " + report.where + ": " + report.what;
    if (!report.action.empty()) line += "; " + report.action;
    return MarovexVisibleText(line, false);
}

void MarovexReportProblem(const std::string& where, const std::string& what, const std::string& action) {
    const MarovexReport report{where, what, action};
    const std::lock_guard<std::mutex> lock(SinkMutex());
    if (Sink()) {
        Sink()(report);
        return;
    }
    const std::string line = MarovexReportLine(report) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::function<void(const MarovexReport&)> MarovexSetReportSink(std::function<void(const MarovexReport&)> sink) {
    const std::lock_guard<std::mutex> lock(SinkMutex());
    std::function<void(const MarovexReport&)> previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

namespace marovex_host {

void ReportV(const char* where, const char* action, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    MarovexReportProblem(where, text, action);
}

void Report(const char* where, const char* action, const char* format, ...) {
    va_list args;
    va_start(args, format);
    ReportV(where, action, format, args);
    va_end(args);
}

}  // namespace marovex_host
