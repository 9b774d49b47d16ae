// The taper and display delegates: clamping, the NaN passage, rounding, character limits and exact
// text matching, and that clones are independent copies.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "AAX_CBinaryDisplayDelegate.h"
#include "AAX_CBinaryTaperDelegate.h"
#include "AAX_CLinearTaperDelegate.h"
#include "AAX_CNumberDisplayDelegate.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <typename Display, typename V>
std::string Show(const Display& display, V value, int32_t maxChars) {
    AAX_CString out("old");
    EXPECT_TRUE(display.ValueToString(value, maxChars, &out));
    return out.Get();
}

template <typename Display, typename V>
std::string Show(const Display& display, V value) {
    AAX_CString out("old");
    EXPECT_TRUE(display.ValueToString(value, &out));
    return out.Get();
}

}  // namespace

TEST(LinearTaper, ClampsAtBothEndsAndMapsLinearly) {
    const AAX_CLinearTaperDelegate<float, 0> unit(0.0f, 1.0f);
    EXPECT_EQ(unit.NormalizedToReal(1.5), 1.0f);
    EXPECT_EQ(unit.NormalizedToReal(-0.2), 0.0f);
    EXPECT_EQ(unit.NormalizedToReal(0.25), 0.25f);
    EXPECT_EQ(unit.RealToNormalized(2.0f), 1.0);
    EXPECT_EQ(unit.RealToNormalized(-3.0f), 0.0);
    EXPECT_EQ(unit.NormalizedToReal(kInf), 1.0f);
    EXPECT_EQ(unit.NormalizedToReal(-kInf), 0.0f);
    EXPECT_EQ(unit.RealToNormalized(std::numeric_limits<float>::infinity()), 1.0);
    EXPECT_EQ(unit.ConstrainRealValue(0.3f), 0.3f);  // no rounding inside the range

    // An offset range: real = min + (max - min) * n, evaluated in double.
    const AAX_CLinearTaperDelegate<float> gain(-24.0f, 12.0f);
    EXPECT_EQ(gain.NormalizedToReal(0.25), -15.0f);
    EXPECT_EQ(gain.NormalizedToReal(0.1), static_cast<float>(-24.0 + 36.0 * 0.1));
    EXPECT_DOUBLE_EQ(gain.RealToNormalized(-15.0f), 0.25);
    EXPECT_DOUBLE_EQ(gain.RealToNormalized(3.0f), 27.0 / 36.0);
    EXPECT_EQ(gain.ConstrainRealValue(20.0f), 12.0f);
    EXPECT_EQ(gain.ConstrainRealValue(-30.0f), -24.0f);

    // NaN is the one value the comparisons cannot clamp: it comes out as NaN for the caller to refuse.
    EXPECT_TRUE(std::isnan(unit.NormalizedToReal(kNaN)));
    EXPECT_TRUE(std::isnan(unit.RealToNormalized(std::numeric_limits<float>::quiet_NaN())));

    // A clone is a copy of its own: it keeps working after its original is gone.
    std::unique_ptr<AAX_ITaperDelegate<float>> clone;
    {
        const AAX_CLinearTaperDelegate<float> original(-24.0f, 12.0f);
        clone.reset(original.Clone());
    }
    EXPECT_EQ(clone->GetMinimumValue(), -24.0f);
    EXPECT_EQ(clone->GetMaximumValue(), 12.0f);
    EXPECT_EQ(clone->NormalizedToReal(0.25), -15.0f);

    // A positive precision rounds real values to multiples of its reciprocal.
    const AAX_CLinearTaperDelegate<float, 100> hundredths(0.0f, 1.0f);
    EXPECT_EQ(hundredths.ConstrainRealValue(0.123f), 0.12f);
    EXPECT_EQ(hundredths.NormalizedToReal(0.4567), 0.46f);
    EXPECT_EQ(hundredths.ConstrainRealValue(1.004f), 1.0f);
}

TEST(LinearTaper, RangeOfOneValueSitsAtZeroInsteadOfNaN) {
    const AAX_CLinearTaperDelegate<float, 0> point(0.5f, 0.5f);
    EXPECT_EQ(point.RealToNormalized(0.5f), 0.0);
    EXPECT_EQ(point.RealToNormalized(3.0f), 0.0);  // clamped to the one value first
    EXPECT_EQ(point.RealToNormalized(-std::numeric_limits<float>::infinity()), 0.0);
    EXPECT_EQ(point.NormalizedToReal(0.7), 0.5f);
    EXPECT_TRUE(std::isnan(point.RealToNormalized(std::numeric_limits<float>::quiet_NaN())));
}

TEST(BinaryTaper, AnyPositiveNormalizedValueIsTrue) {
    const AAX_CBinaryTaperDelegate<bool> taper;
    EXPECT_FALSE(taper.NormalizedToReal(0.0));
    EXPECT_TRUE(taper.NormalizedToReal(0.0001));
    EXPECT_TRUE(taper.NormalizedToReal(7.0));
    EXPECT_FALSE(taper.NormalizedToReal(-0.5));
    EXPECT_FALSE(taper.NormalizedToReal(kNaN));
    EXPECT_EQ(taper.RealToNormalized(true), 1.0);
    EXPECT_EQ(taper.RealToNormalized(false), 0.0);
    EXPECT_FALSE(taper.GetMinimumValue());
    EXPECT_TRUE(taper.GetMaximumValue());
    EXPECT_TRUE(taper.ConstrainRealValue(true));
    const std::unique_ptr<AAX_ITaperDelegate<bool>> clone(taper.Clone());
    EXPECT_TRUE(clone->NormalizedToReal(0.5));
}

TEST(NumberDisplay, TwoDecimalsAndCharacterLimits) {
    const AAX_CNumberDisplayDelegate<float, 2, 0> display;
    EXPECT_EQ(Show(display, 0.5f), "0.50");
    EXPECT_EQ(Show(display, 1.0f), "1.00");
    EXPECT_EQ(Show(display, 0.126f), "0.13");
    EXPECT_EQ(Show(display, -0.5f), "-0.50");

    EXPECT_EQ(Show(display, 0.5f, 2), "0");  // "0." loses its point
    EXPECT_EQ(Show(display, 0.5f, 3), "0.5");
    EXPECT_EQ(Show(display, 0.5f, 0), "");
    EXPECT_EQ(Show(display, 0.5f, -1), "");
    EXPECT_EQ(Show(display, 0.5f, 40), "0.50");
    EXPECT_EQ(Show(display, 123.45f, 4), "123");
    EXPECT_EQ(Show(display, 123.45f, 2), "12");

    // Other decimal counts and trailing spaces.
    EXPECT_EQ(Show(AAX_CNumberDisplayDelegate<float, 0>(), 2.7f), "3");
    EXPECT_EQ(Show(AAX_CNumberDisplayDelegate<float, 3, 1>(), 0.5f), "0.500 ");

    const std::unique_ptr<AAX_IDisplayDelegate<float>> clone(display.Clone());
    EXPECT_EQ(Show(*clone, 0.25f, 3), "0.2");
    EXPECT_FALSE(display.ValueToString(0.5f, nullptr));
}

TEST(NumberDisplay, ParsesTheLeadingNumber) {
    const AAX_CNumberDisplayDelegate<float, 2, 0> display;
    const auto parse = [&](const char* text) {
        float value = 42.0f;
        const bool ok = display.StringToValue(AAX_CString(text), &value);
        return std::make_pair(ok, value);
    };
    EXPECT_EQ(parse("0.7"), std::make_pair(true, 0.7f));
    EXPECT_EQ(parse(" 0.7"), std::make_pair(true, 0.7f));
    EXPECT_EQ(parse("0.7abc"), std::make_pair(true, 0.7f));
    EXPECT_EQ(parse("1.5"), std::make_pair(true, 1.5f));  // range is the parameter's matter
    EXPECT_EQ(parse("abc"), std::make_pair(false, 0.0f));
    EXPECT_EQ(parse(""), std::make_pair(false, 0.0f));
    EXPECT_EQ(parse("nan"), std::make_pair(false, 0.0f));
}

TEST(BinaryDisplay, TwoTextsAndExactParsing) {
    const AAX_CBinaryDisplayDelegate<bool> display("bypass", "on");
    EXPECT_EQ(Show(display, false), "bypass");
    EXPECT_EQ(Show(display, true), "on");
    EXPECT_EQ(Show(display, false, 2), "bypass");  // no shortened texts: always the full text
    EXPECT_EQ(Show(display, true, 0), "on");

    const auto parse = [&](const char* text, bool start) {
        bool value = start;
        const bool ok = display.StringToValue(AAX_CString(text), &value);
        return std::make_pair(ok, value);
    };
    EXPECT_EQ(parse("on", false), std::make_pair(true, true));
    EXPECT_EQ(parse("bypass", true), std::make_pair(true, false));
    EXPECT_EQ(parse("On", true), std::make_pair(false, false));
    EXPECT_EQ(parse("Bypass", true), std::make_pair(false, false));
    EXPECT_EQ(parse("", true), std::make_pair(false, false));
    EXPECT_EQ(parse("on ", true), std::make_pair(false, false));
    EXPECT_EQ(parse("1", true), std::make_pair(false, false));
}

TEST(BinaryDisplay, ShortenedTextsAreChosenFromTheLastThatFits) {
    AAX_CBinaryDisplayDelegate<bool> display("bypass", "on");
    display.AddShortenedStrings(1, "b", "1");
    display.AddShortenedStrings(4, "byp.", "on");
    EXPECT_EQ(Show(display, false, 6), "bypass");  // the full texts fit
    EXPECT_EQ(Show(display, false, 5), "byp.");
    EXPECT_EQ(Show(display, false, 4), "byp.");
    EXPECT_EQ(Show(display, true, 3), "1");
    EXPECT_EQ(Show(display, false, 0), "b");  // none fits: the first pair
    EXPECT_EQ(Show(display, false, -3), "b");
    EXPECT_EQ(Show(display, true), "on");

    // A clone carries the texts and the table, and outlives the original.
    std::unique_ptr<AAX_IDisplayDelegate<bool>> clone;
    {
        AAX_CBinaryDisplayDelegate<bool> temporary("off", "enabled");
        temporary.AddShortenedStrings(2, "of", "en");
        clone.reset(temporary.Clone());
    }
    EXPECT_EQ(Show(*clone, true), "enabled");
    EXPECT_EQ(Show(*clone, true, 3), "en");
    bool value = false;
    EXPECT_TRUE(clone->StringToValue(AAX_CString("enabled"), &value));
    EXPECT_TRUE(value);
}
