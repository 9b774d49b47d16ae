// The preset text: the exact composed bytes, the positional scan and its limits, and independence from
// the process locale.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <unistd.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "MarovexPresetText.h"
#include "tests/CommaLocale.h"

namespace {

const std::array<double, 8> kDefaults = {0.5, 0.5, 1.0, 0.5, 1.0, 1.0, 0.5, 0.5};

const char kDefaultText[] =
    "Marovex 010000\n"
    "InGain 0.5000000000\n"
    "FreqW 0.5000000000\n"
    "Width 1.0000000000\n"
    "FreqA 0.5000000000\n"
    "Action 1.0000000000\n"
    "Dyn 1.0000000000\n"
    "Adj 0.5000000000\n"
    "OutGain 0.5000000000\n";

MarovexPresetScan ScanFile(const std::string& text) {
    return MarovexScanPresetText(text, MarovexPresetSource::File);
}
MarovexPresetScan ScanClipboard(const std::string& text) {
    return MarovexScanPresetText(text, MarovexPresetSource::Clipboard);
}

// A valid body with the values 0.1 .. 0.8 after whatever first line the test gives.
std::string Body() {
    return "InGain 0.1\nFreqW 0.2\nWidth 0.3\nFreqA 0.4\nAction 0.5\nDyn 0.6\nAdj 0.7\nOutGain 0.8\n";
}

void ExpectBodyValues(const MarovexPresetScan& scan) {
    const float expected[8] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(scan.values[i], expected[i]) << "value " << i;
    }
}

}  // namespace

TEST(PresetCompose, DefaultsGiveTheNineLinesExactly) {
    EXPECT_EQ(MarovexComposePresetText(kDefaults), kDefaultText);
}

TEST(PresetCompose, ValuesAreWrittenWithTenDecimalsOfTheDouble) {
    // A float parameter at 0.3 reports its single-precision value widened to double.
    std::array<double, 8> values = kDefaults;
    values[0] = static_cast<double>(0.3f);
    values[1] = 0.0;
    values[2] = 1.0 / 3.0;
    // Rounded from the exact binary value: both literals end in 5, but the first double lies just
    // below the halfway point and the second just above it.
    values[3] = 0.00000000015;
    values[4] = 0.12345678925;
    values[5] = 1.5;                // not range-checked
    values[6] = -0.25;
    values[7] = 1.0 / 130.0;
    EXPECT_EQ(MarovexComposePresetText(values),
              "Marovex 010000\n"
              "InGain 0.3000000119\n"
              "FreqW 0.0000000000\n"
              "Width 0.3333333333\n"
              "FreqA 0.0000000001\n"
              "Action 0.1234567893\n"
              "Dyn 1.5000000000\n"
              "Adj -0.2500000000\n"
              "OutGain 0.0076923077\n");
}

TEST(PresetCompose, EvenTheLargestDoublesFitTheEditorBuffer) {
    std::array<double, 8> values;
    values.fill(-DBL_MAX);
    const std::string text = MarovexComposePresetText(values);
    // Header 15, identifiers 40, and per line a space, 321 characters of number and a line feed.
    EXPECT_EQ(text.size(), 15u + 40u + 8u * (1u + 321u + 1u));
    EXPECT_LE(text.size(), kMarovexPresetMaxComposedLength);
    EXPECT_LT(text.size() + 1, kMarovexPresetComposeBufferSize);
    // And a full-length text still scans (the values come back as float infinities).
    const MarovexPresetScan scan = ScanFile(text);
    EXPECT_TRUE(scan.valid) << scan.reason;
    EXPECT_EQ(scan.values[0], -HUGE_VALF);
}

TEST(PresetScan, ComposedTextRoundTripsEveryFloatValue) {
    const float floats[8] = {0.3f, 0.0f, 1.0f, 1.0f / 130.0f, 65.0f / 130.0f, 0.999f, 0.125f, 0.7071068f};
    std::array<double, 8> values;
    for (int i = 0; i < 8; ++i) values[i] = floats[i];
    const MarovexPresetScan scan = ScanClipboard(MarovexComposePresetText(values));
    ASSERT_TRUE(scan.valid) << scan.reason;
    EXPECT_EQ(scan.itemsRead, 10);
    EXPECT_STREQ(scan.leadingWord, "Marovex");
    EXPECT_EQ(scan.formatNumber, 10000.0f);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(scan.values[i], floats[i]) << "value " << i;
}

TEST(PresetScan, ValuesAreTakenByPositionWhateverTheIdentifiers) {
    // Misspelt, reordered and missing-space identifiers do not matter; only the positions do.
    const MarovexPresetScan misspelt = ScanFile(
        "Marovex 010000\nIngain 0.1\nFrqW 0.2\nx 0.3\nOutGain 0.4\nAdj 0.5\nDyn 0.6\nAction 0.7\nFreqA 0.8\n");
    ASSERT_TRUE(misspelt.valid) << misspelt.reason;
    ExpectBodyValues(misspelt);
    // All on one line, tabs as separators, no final line feed, values out of range kept as they are.
    const MarovexPresetScan oneLine = ScanFile("Marovex\t10000 a 1.5 b -2 c 3e-1 d 0 e 1 f 0.25 g 1e0 h .5");
    ASSERT_TRUE(oneLine.valid) << oneLine.reason;
    const float expected[8] = {1.5f, -2.0f, 0.3f, 0.0f, 1.0f, 0.25f, 1.0f, 0.5f};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(oneLine.values[i], expected[i]) << "value " << i;
}

TEST(PresetScan, TooFewItemsFailAndKeepUnreadValuesAtZero) {
    // Seven value lines.
    const MarovexPresetScan seven = ScanFile(
        "Marovex 010000\nInGain 0.1\nFreqW 0.2\nWidth 0.3\nFreqA 0.4\nAction 0.5\nDyn 0.6\nAdj 0.7\n");
    EXPECT_FALSE(seven.valid);
    EXPECT_EQ(seven.itemsRead, 9);
    EXPECT_EQ(seven.reason, "fewer than ten items (read 9 of: leading word, format number, eight values)");
    EXPECT_EQ(seven.values[6], 0.7f);
    EXPECT_EQ(seven.values[7], 0.0f);

    // A word where a number belongs stops the scan there.
    const MarovexPresetScan word = ScanFile("Marovex 010000\nInGain 0.1\nFreqW high\n" + Body());
    EXPECT_FALSE(word.valid);
    EXPECT_EQ(word.itemsRead, 3);

    EXPECT_EQ(ScanFile("").itemsRead, 0);
    EXPECT_EQ(ScanFile(" \n\t ").itemsRead, 0);
    EXPECT_FALSE(ScanFile("").valid);
    EXPECT_EQ(ScanFile("Marovex").itemsRead, 1);
    EXPECT_EQ(ScanFile("Marovex 010000").itemsRead, 2);
}

TEST(PresetScan, FormatNumberMustBeAtLeastTenThousand) {
    const MarovexPresetScan low = ScanFile("Marovex 9000\n" + Body());
    EXPECT_FALSE(low.valid);
    EXPECT_EQ(low.itemsRead, 10);
    EXPECT_EQ(low.reason, "format number 9000 below 10000");
    EXPECT_FALSE(ScanFile("Marovex 9999.999\n" + Body()).valid);
    EXPECT_FALSE(ScanFile("Marovex nan\n" + Body()).valid);
    EXPECT_TRUE(ScanFile("Marovex 10000\n" + Body()).valid);
    EXPECT_TRUE(ScanFile("Marovex 020000\n" + Body()).valid);
    EXPECT_FALSE(ScanClipboard("Marovex 9000\n" + Body()).valid);
}

TEST(PresetScan, ClipboardNeedsTheProductWordWithinNineteenCharactersFilesDoNot) {
    // "Marovex" ending exactly at the nineteenth character is found; one later is not.
    const std::string twelve(12, ' ');
    const MarovexPresetScan atTwelve = ScanClipboard(twelve + "Marovex 010000\n" + Body());
    EXPECT_TRUE(atTwelve.valid) << atTwelve.reason;
    ExpectBodyValues(atTwelve);
    const MarovexPresetScan atThirteen = ScanClipboard(std::string(13, ' ') + "Marovex 010000\n" + Body());
    EXPECT_FALSE(atThirteen.valid);
    EXPECT_EQ(atThirteen.reason, "the product word Marovex is not within the first 19 characters");
    EXPECT_FALSE(ScanClipboard(std::string(25, '\n') + "Marovex 010000\n" + Body()).valid);
    // The product word may sit inside the leading word (it is not compared, only looked for).
    EXPECT_TRUE(ScanClipboard("MyMarovexPreset 010000\n" + Body()).valid);

    // A file whose first word is not the product word loads; the same text from the clipboard does not.
    const MarovexPresetScan other = ScanFile("Tandem 010000\n" + Body());
    EXPECT_TRUE(other.valid) << other.reason;
    EXPECT_STREQ(other.leadingWord, "Tandem");
    ExpectBodyValues(other);
    EXPECT_FALSE(ScanClipboard("Tandem 010000\n" + Body()).valid);
    EXPECT_TRUE(ScanFile(std::string(40, ' ') + "Marovex 010000\n" + Body()).valid);
}

TEST(PresetScan, OverLongLeadingWordIsCutWithoutOverflow) {
    const std::string longWord(300, 'W');
    const MarovexPresetScan scan = ScanFile(longWord + " 010000\n" + Body());
    ASSERT_TRUE(scan.valid) << scan.reason;
    EXPECT_EQ(std::string(scan.leadingWord), std::string(42, 'W'));
    EXPECT_EQ(scan.formatNumber, 10000.0f);
    ExpectBodyValues(scan);
    // 42 characters fit exactly; 43 are cut by one.
    EXPECT_EQ(std::string(ScanFile(std::string(42, 'a') + " 10000\n" + Body()).leadingWord), std::string(42, 'a'));
    EXPECT_EQ(std::string(ScanFile(std::string(43, 'a') + " 10000\n" + Body()).leadingWord), std::string(42, 'a'));
    // The clipboard reads an over-long word the same way once the product word is found.
    EXPECT_TRUE(ScanClipboard("Marovex" + longWord + " 10000\n" + Body()).valid);
}

TEST(PresetScan, InputIsLimitedToTheEditorBufferAndEndsAtANul) {
    std::string text = kDefaultText;
    text.resize(kMarovexPresetMaxInputLength, '\n');  // padded with line feeds: still a valid preset
    EXPECT_TRUE(ScanFile(text).valid);
    EXPECT_TRUE(ScanClipboard(text).valid);
    text.push_back('\n');
    const MarovexPresetScan tooLong = ScanFile(text);
    EXPECT_FALSE(tooLong.valid);
    EXPECT_EQ(tooLong.itemsRead, 0);
    EXPECT_EQ(tooLong.reason, "the text is 10008 bytes long, more than the 10007 a preset may hold");
    EXPECT_FALSE(ScanClipboard(text).valid);

    // Like the editor's NUL-terminated input buffer, the scan stops at an embedded NUL.
    std::string withNul = kDefaultText;
    withNul.insert(withNul.find("Dyn"), 1, '\0');
    const MarovexPresetScan cut = ScanFile(withNul);
    EXPECT_FALSE(cut.valid);
    EXPECT_EQ(cut.itemsRead, 7);
    // Before the product word, a NUL hides it from the clipboard check.
    EXPECT_FALSE(ScanClipboard(std::string(1, '\0') + kDefaultText).valid);
}

TEST(PresetLocale, ComposeAndScanIgnoreACommaDecimalPoint) {
    const CommaLocale comma;
    const std::string& name = comma.Name();
    ASSERT_FALSE(name.empty()) << "no locale with a comma decimal point could be found or built";
    ASSERT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5") << "the test locale must use a comma";
    float commaRead = 0.0f;
    ASSERT_EQ(std::sscanf("0.25", "%f", &commaRead), 1);
    ASSERT_EQ(commaRead, 0.0f) << "in the test locale the C library stops at the point";

    const std::string composed = MarovexComposePresetText(kDefaults);
    const MarovexPresetScan scan = ScanClipboard(std::string("Marovex 010000\n") + Body());

    // The caller's locale is untouched afterwards.
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    const std::string after = probe;
    EXPECT_EQ(composed, kDefaultText);
    ASSERT_TRUE(scan.valid) << scan.reason;
    ExpectBodyValues(scan);
    EXPECT_EQ(after, "0,5");
}

#include "MarovexReadout.h"

// The readouts the editor's label and the program show, at values whose single-precision products are
// exact and at one that is not.
TEST(Readout, ShowsRealUnitsAndRefusesOtherTags) {
    EXPECT_EQ(MarovexReadoutText("FreqA", 0.25), "Xover Frequency 2250.00 Hz");
    EXPECT_EQ(MarovexReadoutText("InGain", 0.5), "Input Gain 100.00 %");
    EXPECT_EQ(MarovexReadoutText("Adj", 0.125), "Overall Width 25.00 %");
    EXPECT_EQ(MarovexReadoutText("FreqW", 0.3), "Xover Frequency 370.00 Hz");
    EXPECT_EQ(MarovexReadoutText("MasterBypassID", 1.0), "");
    char text[8] = "keep";
    EXPECT_FALSE(MarovexFormatReadout(8, 0.5f, text, sizeof text));
    EXPECT_STREQ(text, "keep");
    EXPECT_TRUE(MarovexFormatReadout(7, 1.0f, text, sizeof text));  // cut to the buffer
    EXPECT_STREQ(text, "Output ");
}
