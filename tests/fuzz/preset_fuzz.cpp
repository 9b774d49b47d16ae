// libFuzzer target: the bytes of one input are a preset text, as a file or the clipboard hands it
// to the editor (at most 10007 bytes are kept). Each input is scanned as both; anything that breaks
// what a scan promises stops the run: the leading word stays within its 42 characters, a valid scan
// read all ten items with a format number of at least 10000, the clipboard never accepts what a file
// would refuse, and a valid preset composed again scans back to the same values.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "MarovexPresetText.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool SameFloat(float a, float b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

void CheckScan(const MarovexPresetScan& scan) {
    Check(std::strlen(scan.leadingWord) <= kMarovexPresetMaxLeadingWord);
    Check(scan.itemsRead >= 0 && scan.itemsRead <= 10);
    if (scan.valid) {
        Check(scan.itemsRead == 10);
        Check(scan.formatNumber >= kMarovexPresetMinFormatNumber);
        Check(scan.reason.empty());
    } else {
        Check(!scan.reason.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // What the editor's read buffer keeps of a file or of the clipboard.
    const size_t kept = size < kMarovexPresetMaxInputLength ? size : kMarovexPresetMaxInputLength;
    const std::string_view text(reinterpret_cast<const char*>(data), kept);

    const MarovexPresetScan file = MarovexScanPresetText(text, MarovexPresetSource::File);
    const MarovexPresetScan clip = MarovexScanPresetText(text, MarovexPresetSource::Clipboard);
    CheckScan(file);
    CheckScan(clip);
    if (clip.valid) {
        Check(file.valid);
        for (size_t i = 0; i < kMarovexPresetValueCount; ++i) Check(SameFloat(clip.values[i], file.values[i]));
    }
    // An over-long input is refused whole, never read past its end.
    if (size > kMarovexPresetMaxInputLength) {
        Check(!MarovexScanPresetText(std::string_view(reinterpret_cast<const char*>(data), size),
                                     MarovexPresetSource::File)
                   .valid);
    }

    if (file.valid) {
        bool finite = true;
        std::array<double, kMarovexPresetValueCount> values{};
        for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
            finite = finite && std::isfinite(file.values[i]);
            values[i] = file.values[i];
        }
        if (finite) {
            const std::string composed = MarovexComposePresetText(values);
            Check(composed.size() <= kMarovexPresetMaxComposedLength);
            Check(composed.size() < kMarovexPresetComposeBufferSize);
            const MarovexPresetScan again = MarovexScanPresetText(composed, MarovexPresetSource::Clipboard);
            Check(again.valid);
            for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
                const float a = file.values[i], b = again.values[i];
                // Ten decimals keep every float from 0.01 up exactly; below, the written text is within 5e-11 of
                // the value and the nearest float to it no farther, so the two are within 1e-10.
                if (std::fabs(a) >= 0.01f) {
                    Check(a == b);
                } else {
                    Check(std::fabs(static_cast<double>(a) - static_cast<double>(b)) <= 1.0001e-10);
                }
            }
        }
    }
    return 0;
}
