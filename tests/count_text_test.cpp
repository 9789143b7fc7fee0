#include "show/count_text.h"

#include <climits>

#include <gtest/gtest.h>

TEST(CountTextTest, ReadsTheLeadingIntegerAsAtoiDoes)
{
    EXPECT_EQ(ParseCountText("10"), 10);
    EXPECT_EQ(ParseCountText("  12abc"), 12);
    EXPECT_EQ(ParseCountText("\t\r\n\v\f 5"), 5);
    EXPECT_EQ(ParseCountText("-3"), -3);
    EXPECT_EQ(ParseCountText("+7"), 7);
    EXPECT_EQ(ParseCountText("0012"), 12);
    EXPECT_EQ(ParseCountText("12 34"), 12);
    EXPECT_EQ(ParseCountText("3.9"), 3);
}

TEST(CountTextTest, TextWithoutLeadingDigitsIsZero)
{
    EXPECT_EQ(ParseCountText(""), 0);
    EXPECT_EQ(ParseCountText("abc"), 0);
    EXPECT_EQ(ParseCountText("   "), 0);
    EXPECT_EQ(ParseCountText("-"), 0);
    EXPECT_EQ(ParseCountText("- 3"), 0);
    EXPECT_EQ(ParseCountText("+-3"), 0);
    EXPECT_EQ(ParseCountText("x12"), 0);
    // Full-width digits and an ideographic space are not what atoi reads.
    EXPECT_EQ(ParseCountText("１２"), 0);
    EXPECT_EQ(ParseCountText("\u3000" "12"), 0);
}

TEST(CountTextTest, NumbersBeyondThe32BitRangeAreClamped)
{
    EXPECT_EQ(ParseCountText("2147483647"), INT_MAX);
    EXPECT_EQ(ParseCountText("2147483648"), INT_MAX);
    EXPECT_EQ(ParseCountText("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseCountText("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseCountText("-2147483649"), INT_MIN);
    EXPECT_EQ(ParseCountText("-99999999999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseCountText("4294967306"), INT_MAX);
}
