// AAX_CString: construction, editing, comparison, and number formatting and parsing that ignore the
// process locale.
#include <gtest/gtest.h>

#include <cstdio>
#include <locale>
#include <sstream>
#include <string>

#include "AAX_CString.h"
#include "tests/CommaLocale.h"

namespace {

// Another implementation of the abstract string, to prove copies go through Get().
class ForeignString : public AAX_IString {
public:
    explicit ForeignString(const char* text) : mText(text) {}
    uint32_t Length() const override { return static_cast<uint32_t>(mText.size()); }
    uint32_t MaxLength() const override { return 100; }
    const char* Get() const override { return mText.c_str(); }
    void Set(const char* text) override { mText = text; ++sets; }
    AAX_IString& operator=(const AAX_IString& other) override { mText = other.Get(); return *this; }
    AAX_IString& operator=(const char* text) override { mText = text; return *this; }
    std::string mText;
    int sets = 0;
};

std::string Number(double value, int precision) {
    AAX_CString s;
    s.AppendNumber(value, precision);
    return s.Get();
}

// Parses and reports (ok, value); the output starts at a sentinel to prove it is always written.
std::pair<bool, double> Parse(const char* text) {
    double value = 99.0;
    const bool ok = AAX_CString(text).ToDouble(&value);
    return {ok, value};
}

// Installs a global locale for the test's lifetime and restores the previous one.
class GlobalLocale {
public:
    explicit GlobalLocale(const std::locale& locale) : mPrevious(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(mPrevious); }

private:
    std::locale mPrevious;
};

void ExpectClassicNotation() {
    EXPECT_EQ(Number(0.5, 2), "0.50");
    EXPECT_EQ(Number(1234567.5, 1), "1234567.5");
    EXPECT_EQ(Parse("0.7"), std::make_pair(true, 0.7));
    EXPECT_EQ(Parse("1,5"), std::make_pair(true, 1.0));
    EXPECT_EQ(Parse("1.234,5"), std::make_pair(true, 1.234));
}

}  // namespace

TEST(String, ConstructionAndAssignmentCopyTheText) {
    EXPECT_STREQ(AAX_CString().Get(), "");
    EXPECT_STREQ(AAX_CString(static_cast<const char*>(nullptr)).Get(), "");
    EXPECT_EQ(AAX_CString(static_cast<const char*>(nullptr)).Length(), 0u);

    const ForeignString foreign("from elsewhere");
    const AAX_CString fromInterface(static_cast<const AAX_IString&>(foreign));
    EXPECT_STREQ(fromInterface.Get(), "from elsewhere");

    AAX_CString a("first");
    const AAX_CString copy(a);
    a.Set("changed");
    EXPECT_STREQ(copy.Get(), "first");  // a deep copy

    AAX_CString b;
    AAX_IString& asInterface = b;
    asInterface = foreign;
    EXPECT_STREQ(b.Get(), "from elsewhere");
    asInterface = "plain";
    EXPECT_STREQ(b.CString(), "plain");
    b = b;  // self-assignment keeps the text
    EXPECT_STREQ(b.Get(), "plain");
    b = copy;
    EXPECT_STREQ(b.Get(), "first");
    EXPECT_EQ(b.Length(), 5u);
    EXPECT_EQ(b.MaxLength(), 0xFFFFFFFEu);
    b.Clear();
    EXPECT_STREQ(b.Get(), "");
}

TEST(String, EditingAndComparison) {
    AAX_CString s("Master Bypass");
    s.Erase(6, 7);
    EXPECT_STREQ(s.Get(), "Master");
    s.Erase(0, 1);
    EXPECT_STREQ(s.Get(), "aster");
    s[0] = 'A';
    EXPECT_STREQ(s.Get(), "Aster");

    ForeignString out("untouched");
    const AAX_CString source("InGain");
    source.SubString(2, 4, &out);
    EXPECT_EQ(out.mText, "Gain");
    source.SubString(4, 100, &out);  // fewer bytes at the end
    EXPECT_EQ(out.mText, "in");
    source.SubString(6, 3, &out);  // at the end: empty
    EXPECT_EQ(out.mText, "");
    EXPECT_EQ(out.sets, 3);  // each call goes through the output's Set

    EXPECT_TRUE(AAX_CString("on") == AAX_CString("on"));
    EXPECT_FALSE(AAX_CString("on") != AAX_CString("on"));
    EXPECT_TRUE(AAX_CString("on") != AAX_CString("On"));
    EXPECT_TRUE(AAX_CString("on") != AAX_CString("on "));
    EXPECT_TRUE(AAX_CString("") == AAX_CString(static_cast<const char*>(nullptr)));
}

TEST(String, AppendNumberWritesFixedDecimals) {
    EXPECT_EQ(Number(0.5, 2), "0.50");
    EXPECT_EQ(Number(-1.0, 0), "-1");
    EXPECT_EQ(Number(0.126, 2), "0.13");
    EXPECT_EQ(Number(1.0, 2), "1.00");
    EXPECT_EQ(Number(1234567.891, 2), "1234567.89");  // no digit grouping
    EXPECT_EQ(Number(-0.25, 3), "-0.250");
    AAX_CString s("x=");
    s.AppendNumber(0.5, 2);
    s.AppendNumber(-1.0, 0);
    EXPECT_STREQ(s.Get(), "x=0.50-1");  // appending concatenates
}

TEST(String, ToDoubleReadsTheLeadingNumber) {
    EXPECT_EQ(Parse("12abc"), std::make_pair(true, 12.0));
    EXPECT_EQ(Parse("  0.7"), std::make_pair(true, 0.7));
    EXPECT_EQ(Parse("0.7 dB"), std::make_pair(true, 0.7));
    EXPECT_EQ(Parse("-3.25e2x"), std::make_pair(true, -325.0));
    // Failures store 0.0.
    EXPECT_EQ(Parse(""), std::make_pair(false, 0.0));
    EXPECT_EQ(Parse("abc"), std::make_pair(false, 0.0));
    EXPECT_EQ(Parse("-"), std::make_pair(false, 0.0));
    // Texts that would otherwise become NaN or infinity are not numbers here.
    EXPECT_EQ(Parse("nan"), std::make_pair(false, 0.0));
    EXPECT_EQ(Parse("inf"), std::make_pair(false, 0.0));
    EXPECT_EQ(Parse("1e400"), std::make_pair(false, 0.0));
}

// A named global locale is in force for both the C++ streams and the C library: the string's numbers
// must ignore either.
TEST(String, NumbersIgnoreACommaDecimalLocale) {
    const CommaLocale comma;
    ASSERT_FALSE(comma.Name().empty()) << "no locale with a comma decimal point could be found or built";
    const GlobalLocale guard(std::locale(comma.Name().c_str()));
    std::ostringstream plain;
    plain.setf(std::ios::fixed, std::ios::floatfield);
    plain.precision(2);
    plain << 1234.5;
    ASSERT_EQ(plain.str(), "1.234,50") << "the locale must be in force for ordinary streams";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5") << "the locale must be in force for the C library";
    ExpectClassicNotation();
}
