#include "platform/Rounding.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Rounding, HalfEvenAndHalfAway)
{
    struct Row {
        double v, even, away;
    } rows[] = {{0.5, 0, 1}, {1.5, 2, 2}, {2.5, 2, 3}, {-0.5, -0.0, -1}, {-2.5, -2, -3}, {2.4999, 2, 2}, {7, 7, 7}};
    for (const Row& r : rows) {
        EXPECT_EQ(RoundHalfEven(r.v), r.even) << r.v;
        EXPECT_EQ(RoundHalfAway(r.v), r.away) << r.v;
    }
}

TEST(Rounding, IntegerConversionsAreRangeChecked)
{
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(TruncToInt(-2.9), -2);
    EXPECT_THROW(RoundToInt(3e9), EOverflow);
    EXPECT_THROW(TruncToInt64(1e19), EOverflow);
    EXPECT_THROW(RoundToInt64(std::nan("")), EInvalidOp);
    EXPECT_THROW(CheckFloat(std::numeric_limits<double>::infinity()), EOverflow);
    EXPECT_TRUE(IsZero(9e-8));
    EXPECT_FALSE(IsZero(1e-7));
}
