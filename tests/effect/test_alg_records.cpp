// The private-block reset, byte for byte. Record sizes and offsets are asserted at compile time in
// the header; here the bytes the reset writes are compared with their little-endian encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Tandrel_Alg.h"

namespace {

constexpr unsigned char kFill = 0xA5;  // stands for "untouched"

// The reset image of one block: -1 for bytes the reset must leave alone, else the byte's value.
std::vector<int> ExpectedBlock() {
    std::vector<int> e(840, -1);
    auto hex = [&](size_t at, const std::string& digits) {
        for (size_t i = 0; i < digits.size(); i += 2) {
            e[at + i / 2] = std::stoi(digits.substr(i, 2), nullptr, 16);
        }
    };
    auto zero = [&](size_t from, size_t to) { std::fill(e.begin() + from, e.begin() + to, 0); };
    zero(40, 48);                    // 0.0
    hex(48, "ca819b57da76da3e");     // 10^-5.2 as a double
    zero(56, 64);                    // all bits clear
    hex(64, "0000000000000080");     // -0.0 as a double
    zero(100, 176);                  // kernel state
    hex(176, "000080bf2c03b540190171c10ec1c241acafcfc1b71f954122950cc1680f1f40399aa5be");
    hex(336, "cbc7733a31561cba32490d3b7713aab9bb05113b7713aab932490d3b31561cbacbc7733a");
    e[496] = 1;
    zero(500, 820);
    return e;
}

void ExpectResetBlock(const unsigned char* block) {
    const std::vector<int> expected = ExpectedBlock();
    for (size_t i = 0; i < expected.size(); ++i) {
        const int want = expected[i] < 0 ? kFill : expected[i];
        ASSERT_EQ(block[i], want) << "byte " << i;
    }
}

bool AllFill(const std::vector<unsigned char>& bytes, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != kFill) return false;
    }
    return true;
}

TEST(PrivateBlockReset, FillsEveryWholeBlockWithTheExactBytes) {
    std::vector<unsigned char> data(1680, kFill);
    EXPECT_EQ(Tandrel_ResetFieldData(eTandrelField_PrivateData, data.data(), 1680), -20025);
    ExpectResetBlock(data.data());
    ExpectResetBlock(data.data() + 840);
}

TEST(PrivateBlockReset, LeavesATrailingPartialBlockAsItWas) {
    std::vector<unsigned char> data(1000, kFill);
    EXPECT_EQ(Tandrel_ResetFieldData(eTandrelField_PrivateData, data.data(), 1000), -20025);
    ExpectResetBlock(data.data());
    EXPECT_TRUE(AllFill(data, 840, 1000));
}

TEST(PrivateBlockReset, WritesNothingForOtherFieldsShortSizesOrNoData) {
    std::vector<unsigned char> data(840, kFill);
    for (AAX_CFieldIndex field : {0, 13, 14, 15, 17, -1}) {
        EXPECT_EQ(Tandrel_ResetFieldData(field, data.data(), 840), -20025) << field;
    }
    EXPECT_EQ(Tandrel_ResetFieldData(eTandrelField_PrivateData, data.data(), 839), -20025);
    EXPECT_EQ(Tandrel_ResetFieldData(eTandrelField_PrivateData, data.data(), 0), -20025);
    EXPECT_TRUE(AllFill(data, 0, 840));
    EXPECT_EQ(Tandrel_ResetFieldData(eTandrelField_PrivateData, nullptr, 840), -20025);
}

}  // namespace
