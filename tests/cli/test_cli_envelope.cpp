// The program's automation envelopes (--automate), in-process.
#include <gtest/gtest.h>

#include <string>

#include "CliError.h"
#include "Envelope.h"
#include "tests/support/ErrorOf.h"

using namespace marovex::cli;
using testfiles::ErrorOf;

TEST(CliEnvelope, HoldsOutsideThePointsAndMovesLinearlyBetween) {
    const Envelope e = Envelope::Parse("0.5:0.2,1.5:0.6,3:0");
    EXPECT_EQ(e.ValueAt(0.0), 0.2);
    EXPECT_EQ(e.ValueAt(0.5), 0.2);
    EXPECT_DOUBLE_EQ(e.ValueAt(1.0), 0.4);
    EXPECT_DOUBLE_EQ(e.ValueAt(1.25), 0.5);
    EXPECT_EQ(e.ValueAt(1.5), 0.6);
    EXPECT_DOUBLE_EQ(e.ValueAt(2.25), 0.3);
    EXPECT_EQ(e.ValueAt(3.0), 0.0);
    EXPECT_EQ(e.ValueAt(100.0), 0.0);
}

TEST(CliEnvelope, TwoPointsAtOneTimeMakeAStep) {
    const Envelope e = Envelope::Parse("0:0,1:0,1:1,+2:1e0");
    EXPECT_EQ(e.ValueAt(0.999), 0.0);
    EXPECT_EQ(e.ValueAt(1.0), 1.0);
    EXPECT_EQ(e.ValueAt(1.5), 1.0);
    EXPECT_EQ(Envelope::Parse("7:0.5").ValueAt(0.0), 0.5);
}

TEST(CliEnvelope, MalformedTextIsAUsageError) {
    EXPECT_NE(ErrorOf([] { Envelope::Parse(""); }, kExitUsage).find("is not TIME:VALUE"), std::string::npos);
    ErrorOf([] { Envelope::Parse("0:0.5,"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0;0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("x:0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("-1:0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("inf:0.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0:1.5"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0:nan"); }, kExitUsage);
    ErrorOf([] { Envelope::Parse("0:0.5x"); }, kExitUsage);
    EXPECT_NE(ErrorOf([] { Envelope::Parse("2:0,1:1"); }, kExitUsage).find("must not go backwards"),
              std::string::npos);
    // A decimal comma in an envelope splits a point in two; the message says so.
    EXPECT_NE(ErrorOf([] { Envelope::Parse("0:0,5"); }, kExitUsage).find("the decimal separator is a point"),
              std::string::npos);
}

