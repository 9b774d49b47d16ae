// Composing and scanning the preset text (see MarovexPresetText.h).
#include "MarovexPresetText.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace {

// The classic "C" locale for every category, created once and kept for the life of the process.
locale_t ClassicLocale() {
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return classic;
}

// Makes the calling thread use the classic locale while it lives, so that snprintf and sscanf write
// and read numbers with '.' whatever locale the process has set. Only the calling thread is affected.
class ClassicLocaleScope {
public:
    ClassicLocaleScope() {
        const locale_t classic = ClassicLocale();
        if (classic != static_cast<locale_t>(nullptr)) {
            mPrevious = uselocale(classic);
        }
    }
    ~ClassicLocaleScope() {
        if (mPrevious != static_cast<locale_t>(nullptr)) {
            uselocale(mPrevious);
        }
    }
    ClassicLocaleScope(const ClassicLocaleScope&) = delete;
    ClassicLocaleScope& operator=(const ClassicLocaleScope&) = delete;

private:
    locale_t mPrevious = static_cast<locale_t>(nullptr);
};

// White space as the classic locale's scanf sees it.
bool IsClassicSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string MarovexComposePresetText(const std::array<double, kMarovexPresetValueCount>& values) {
    ClassicLocaleScope classic;
    std::string text = kMarovexPresetHeader;
    char line[kMarovexPresetMaxComposedLength];
    for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
        std::snprintf(line, sizeof line, "%s %.10f\n", kMarovexPresetIdentifiers[i], values[i]);
        text += line;
    }
    return text;
}

MarovexPresetScan MarovexScanPresetText(std::string_view text, MarovexPresetSource source) {
    MarovexPresetScan scan;
    if (text.size() > kMarovexPresetMaxInputLength) {
        scan.reason = "the text is " + std::to_string(text.size()) + " bytes long, more than the " +
                      std::to_string(kMarovexPresetMaxInputLength) + " a preset may hold";
        return scan;
    }
    // NUL-terminated copy: like the editor's input buffer, the scan ends at the first NUL.
    const std::string input(text);
    const char* s = input.c_str();

    if (source == MarovexPresetSource::Clipboard) {
        char window[kMarovexPresetProductWindow + 1] = {};
        std::strncpy(window, s, kMarovexPresetProductWindow);
        if (std::strstr(window, kMarovexPresetProductWord) == nullptr) {
            scan.reason = "the product word Marovex is not within the first 19 characters";
            return scan;
        }
    }

    ClassicLocaleScope classic;
    // The leading word: at most 42 characters are stored; the rest of an over-long word is passed
    // over so that the numbers are read from the same place as for a short word.
    int consumed = 0;
    if (std::sscanf(s, "%42s%n", scan.leadingWord, &consumed) == 1) {
        scan.itemsRead = 1;
        const char* rest = s + consumed;
        while (*rest != '\0' && !IsClassicSpace(*rest)) {
            ++rest;
        }
        float* v = scan.values.data();
        const int read = std::sscanf(rest, " %f%*s %f %*s %f %*s %f %*s %f %*s %f %*s %f %*s %f %*s %f",
                                     &scan.formatNumber, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                                     &v[7]);
        if (read > 0) {
            scan.itemsRead += read;
        }
    }

    if (scan.itemsRead < 10) {
        scan.reason = "fewer than ten items (read " + std::to_string(scan.itemsRead) +
                      " of: leading word, format number, eight values)";
        return scan;
    }
    if (!(scan.formatNumber >= kMarovexPresetMinFormatNumber)) {
        scan.reason = "format number " + Printf("%.10g", scan.formatNumber) + " below 10000";
        return scan;
    }
    scan.valid = true;
    return scan;
}
