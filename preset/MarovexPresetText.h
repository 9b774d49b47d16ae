// The preset text: the plain-text form of a preset that the editor writes to ".mrv" files and to the
// clipboard, and that the marovex program reads and writes. Composing and scanning live here so that
// every reader of a preset accepts exactly the same texts.
//
// Format (line feeds only, no byte-order mark, no terminating NUL):
//   Marovex 010000
//   InGain 0.5000000000      one line per continuous parameter, in the order of
//   ...                      kMarovexPresetIdentifiers, each "<identifier> %.10f"
//   OutGain 0.5000000000
//
// Threading: every function here may be called from any thread except a real-time audio thread (they
// allocate). They never touch the process-wide locale: numbers are always written and read with the
// '.' decimal point, whatever locale the process or the calling thread has set.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The eight continuous parameters a preset holds, in line order. The master bypass is not part of a
// preset.
constexpr size_t kMarovexPresetValueCount = 8;
constexpr std::array<const char*, kMarovexPresetValueCount> kMarovexPresetIdentifiers = {
    "InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain"};

// First line of every composed preset: the product word, a space, the format number.
constexpr const char kMarovexPresetHeader[] = "Marovex 010000\n";
constexpr const char kMarovexPresetProductWord[] = "Marovex";

// Limits of the editor's buffers, which every reader keeps to.
constexpr size_t kMarovexPresetMaxInputLength = 10007;   // input text, without its NUL
constexpr size_t kMarovexPresetMaxLeadingWord = 42;      // leading word, without its NUL
constexpr size_t kMarovexPresetProductWindow = 19;       // clipboard: product word within these
constexpr size_t kMarovexPresetComposeBufferSize = 10000;  // editor's last-composed-text buffer
constexpr float kMarovexPresetMinFormatNumber = 10000.0f;

// Longest text MarovexComposePresetText can produce: the header, then per line the longest
// identifier, a space, the longest " %.10f" of any double (a sign, 309 integer digits, the point and
// ten decimals) and a line feed. It always fits the editor's buffer with its NUL.
constexpr size_t kMarovexPresetMaxComposedLength =
    (sizeof(kMarovexPresetHeader) - 1) + kMarovexPresetValueCount * (7 + 1 + (1 + 309 + 1 + 10) + 1);
static_assert(kMarovexPresetMaxComposedLength < kMarovexPresetComposeBufferSize,
              "a composed preset always fits the editor's buffer");

// Where a text comes from: a file is not checked for the product word, clipboard text is.
enum class MarovexPresetSource { File, Clipboard };

// Result of scanning a preset text.
struct MarovexPresetScan {
    bool valid = false;
    std::string reason;  // why the text is not a valid preset; empty when valid
    int itemsRead = 0;   // items the pattern read, 0 to 10 (leading word, format number, 8 values)
    char leadingWord[kMarovexPresetMaxLeadingWord + 1] = {};  // first word, cut to 42 characters
    float formatNumber = 0.0f;
    // Values in the order of kMarovexPresetIdentifiers, taken by position; zero where not read.
    // Not range-checked: the parameters clamp them when they are applied.
    std::array<float, kMarovexPresetValueCount> values{};
};

// Composes the preset text from the normalized values of the eight parameters, given in the order of
// kMarovexPresetIdentifiers.
std::string MarovexComposePresetText(const std::array<double, kMarovexPresetValueCount>& values);

// Scans a preset text. The whole text is read with the pattern
//   "%42s %f%*s %f %*s %f %*s %f %*s %f %*s %f %*s %f %*s %f %*s %f"
// (ten items: the leading word, the format number and eight values taken by position; the words
// between the numbers are skipped, not compared). A leading word longer than 42 characters is read to
// its end and kept cut to 42. The text is valid when all ten items are read and the format number is
// at least 10000. Text after an embedded NUL is ignored. A text longer than 10007 bytes is rejected
// without scanning. Clipboard text must in addition hold the product word "Marovex" within its first
// 19 characters.
MarovexPresetScan MarovexScanPresetText(std::string_view text, MarovexPresetSource source);
