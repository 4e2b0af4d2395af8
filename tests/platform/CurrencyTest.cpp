#include "platform/Currency.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(CurrencyType, StoresTenThousandths)
{
    EXPECT_EQ(Currency::FromDouble(12.34).Raw(), 123400);
    // 1/32 and 3/32 are exact halves of a ten-thousandth: halves go to even
    EXPECT_EQ(Currency::FromDouble(0.03125).Raw(), 312);
    EXPECT_EQ(Currency::FromDouble(0.09375).Raw(), 938);
    EXPECT_EQ((Currency::FromDouble(1.1) + Currency::FromDouble(2.2)).Raw(), 33000);
    EXPECT_EQ((Currency::FromDouble(10) / 4).ToDouble(), 2.5);
    EXPECT_THROW(Currency::FromDouble(1e16), EOverflow);
    EXPECT_THROW(Currency::FromRaw(INT64_MAX) + Currency::FromRaw(1), EOverflow);
    EXPECT_THROW(Currency::FromDouble(1) / 0.0, EZeroDivide);
    EXPECT_LT(Currency::FromDouble(-1), Currency());
}
