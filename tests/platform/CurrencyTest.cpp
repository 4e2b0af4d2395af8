// The rules that round money: halves to even or away from zero, in whole
// ten-thousandths, and the settings' rounding to a step.

#include "platform/Currency.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace {

using Halves = Currency::Halves;
using StepMode = Currency::StepMode;

Currency Raw(int64_t raw) { return Currency::FromRaw(raw); }

} // namespace

TEST(CurrencyRounding, RulesByTable)
{
    struct Row {
        const char* name;
        std::function<Currency()> rounded;
        int64_t expected; // 1/10000
    };
    const Row rows[] = {
        {"a double's exact half of a ten-thousandth goes to even", [] { return Currency::FromDouble(-0.09375); }, -938},
        {"cents: half away", [] { return Raw(23450).Rounded(2, Halves::AwayFromZero); }, 23500},
        {"cents: half to even", [] { return Raw(23450).Rounded(2, Halves::ToEven); }, 23400},
        {"cents: odd half to even goes up", [] { return Raw(23550).Rounded(2, Halves::ToEven); }, 23600},
        {"cents: negative half away", [] { return Raw(-23450).Rounded(2, Halves::AwayFromZero); }, -23500},
        {"cents: negative half to even", [] { return Raw(-23450).Rounded(2, Halves::ToEven); }, -23400},
        {"cents: half a kopeck below zero", [] { return Raw(-50).Rounded(2, Halves::AwayFromZero); }, -100},
        {"cents: below a half", [] { return Raw(10049).Rounded(2, Halves::AwayFromZero); }, 10000},
        {"cents: above a half, negative", [] { return Raw(-10051).Rounded(2, Halves::ToEven); }, -10100},
        {"whole units: 2.5 away", [] { return Raw(25000).Rounded(0, Halves::AwayFromZero); }, 30000},
        {"whole units: 2.5 to even", [] { return Raw(25000).Rounded(0, Halves::ToEven); }, 20000},
        {"whole units: -2.5 to even", [] { return Raw(-25000).Rounded(0, Halves::ToEven); }, -20000},
        {"three decimals", [] { return Raw(12345).Rounded(3, Halves::ToEven); }, 12340},
        {"four decimals stay", [] { return Raw(-12345).Rounded(4, Halves::AwayFromZero); }, -12345},
        {"a double to cents: six decimals first", [] { return Currency::CentsFromDouble(2.3449999); }, 23500},
        {"a double to cents: negative below a half", [] { return Currency::CentsFromDouble(-2.34499); }, -23400},
        {"a double to cents: negative half", [] { return Currency::CentsFromDouble(-1234.565); }, -12345700},
        {"step 1 cuts", [] { return Currency::FromDoubleBySteps(1234.99, 1.0, StepMode::Down); }, 12340000},
        {"step 1 up", [] { return Currency::FromDoubleBySteps(1234.01, 1.0, StepMode::Up); }, 12350000},
        {"step 1 up on an exact multiple", [] { return Currency::FromDoubleBySteps(1234, 1.0, StepMode::Up); },
            12350000},
        {"step 1: quotient a millionth off a whole",
            [] { return Currency::FromDoubleBySteps(1234.9999996, 1.0, StepMode::Down); }, 12350000},
        {"step 0.01 keeps 1.15", [] { return Currency::FromDoubleBySteps(1.15, 0.01, StepMode::Down); }, 11500},
        {"step 0.3 keeps 0.9", [] { return Currency::FromDoubleBySteps(0.9, 0.3, StepMode::Down); }, 9000},
        {"step 0.5", [] { return Currency::FromDoubleBySteps(10.74, 0.5, StepMode::Down); }, 105000},
        {"step 10 up", [] { return Currency::FromDoubleBySteps(1234.56, 10.0, StepMode::Up); }, 12400000},
        {"step 3 of a whole amount", [] { return Currency::FromDoubleBySteps(10, 3.0, StepMode::Down); }, 90000},
        {"negative: whole steps toward zero", [] { return Currency::FromDoubleBySteps(-1.5, 1.0, StepMode::Down); },
            -10000},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.rounded().Raw(), r.expected) << r.name;

    EXPECT_THROW(Raw(INT64_MAX).Rounded(0, Halves::AwayFromZero), EOverflow);
    EXPECT_THROW(Currency::CentsFromDouble(-1e13), EConvertError);
    EXPECT_THROW(Currency::FromDoubleBySteps(1, 0.0, StepMode::Down), EOverflow);
}

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
