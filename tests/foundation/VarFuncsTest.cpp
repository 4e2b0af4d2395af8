#include "foundation/Funcs.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }
} // namespace

namespace {
struct CentsCase {
    const char* name;
    double x;
    int64_t raw; // 1/10000
};

class RoundToCentsTest : public ::testing::TestWithParam<CentsCase> {};
} // namespace

TEST_P(RoundToCentsTest, Rounds) { EXPECT_EQ(RoundToCents(GetParam().x).Raw(), GetParam().raw) << GetParam().x; }

INSTANTIATE_TEST_SUITE_P(Funcs, RoundToCentsTest,
    ::testing::Values(CentsCase{"SixDecimalsFirst", 2.3449999, 23500}, CentsCase{"BelowHalf", 2.34499, 23400},
        CentsCase{"HalfUp", 2.345, 23500}, CentsCase{"NegativeHalfAway", -2.345, -23500},
        CentsCase{"HalfCent", 0.005, 100}, CentsCase{"NegativeHalfCent", -0.005, -100},
        CentsCase{"JustBelowWholeNumber", 1.004999, 10000}, CentsCase{"Zero", 0.0, 0},
        CentsCase{"NegativeZero", -0.0, 0}, CentsCase{"SmallNegative", -0.004, 0},
        CentsCase{"Salary", 12345.675, 123456800}, CentsCase{"LargeNegative", -987654321.125, -9876543211300},
        CentsCase{"LargePositive", 9000000000.994, 90000000009900}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FuncsVar, RoundToCentsRefusesOverflow)
{
    EXPECT_EQ(MessageOf<EConvertError>([] { RoundToCents(1e13); }).left(13), S("RoundToCents:"));
    EXPECT_THROW(RoundToCents(-1e13), EConvertError);
    EXPECT_THROW(RoundToCents(std::numeric_limits<double>::quiet_NaN()), EConvertError);
    EXPECT_THROW(RoundToCents(std::numeric_limits<double>::infinity()), EConvertError);
}

TEST(FuncsVar, SubtractAsCurrency)
{
    EXPECT_EQ(SubtractAsCurrency(0.3, 0.1).Raw(), 2000) << "0.3 - 0.1 is not 0.19999... in money";
    EXPECT_TRUE(SubtractAsCurrency(100.00001, 100.0).IsZero());
    EXPECT_EQ(SubtractAsCurrency(1.0, 2.5).Raw(), -15000);
}

TEST(FuncsVar, MaxMinOfVariants)
{
    EXPECT_EQ(Max(Variant(3), Variant(7)).AsInteger(), 7);
    EXPECT_EQ(Min(Variant(3), Variant(7)).AsInteger(), 3);
    EXPECT_EQ(Max(Variant(2.5), Variant(-1.0)).AsDouble(), 2.5);
    EXPECT_EQ(Max(Variant(S("b")), Variant(S("a"))).AsString(), S("b"));
    EXPECT_EQ(Min(Variant::FromDate(45000), Variant::FromDate(44000)).AsDate(), 44000);
    EXPECT_EQ(MessageOf<EConvertError>([] { Max(Variant(1), Variant(1.0)); }), S("Max(): Разные типы переменных"));
    EXPECT_EQ(MessageOf<EConvertError>([] { Min(Variant(1), Variant(S("1"))); }), S("Min(): Разные типы переменных"));

    EXPECT_EQ(MaxOfArray({1.5, -3.0, 9.25, 9.0}), 9.25);
    EXPECT_EQ(MinOfArray({1.5, -3.0, 9.25, 9.0}), -3.0);
    EXPECT_EQ(MaxOfArray({-4.0}), -4.0);
    EXPECT_THROW(MaxOfArray({}), EConvertError);
    EXPECT_THROW(MinOfArray({}), EConvertError);
}

TEST(FuncsVar, EQComparesSameTypes)
{
    EXPECT_TRUE(EQ(Variant(S("abc")), Variant(S("ABC"))));
    EXPECT_TRUE(EQ(Variant(S("ёлка")), Variant(S("ЁЛКА"))));
    EXPECT_FALSE(EQ(Variant(S("abc")), Variant(S("abd"))));
    EXPECT_TRUE(EQ(Variant(5), Variant(5)));
    EXPECT_FALSE(EQ(Variant(5), Variant(6)));
    EXPECT_TRUE(EQ(Variant(true), Variant(true)));
    EXPECT_EQ(MessageOf<EConvertError>([] { EQ(Variant(1), Variant(S("1"))); }), S("EQ(): Разные типы переменных"));
    EXPECT_THROW(EQ(Variant(1), Variant(1.0)), EConvertError);
}

TEST(FuncsVar, xStrTexts)
{
    EXPECT_EQ(xStr(Variant(true)), S(".T."));
    EXPECT_EQ(xStr(Variant(false)), S(".F."));
    EXPECT_EQ(xStr(Variant(static_cast<int16_t>(-12))), S("-12"));
    EXPECT_EQ(xStr(Variant(static_cast<uint8_t>(200))), S("200"));
    EXPECT_EQ(xStr(Variant(2.5)), S("2,5"));
    EXPECT_EQ(xStr(Variant(Currency::FromRaw(12345))), S("1,2345"));
    EXPECT_EQ(xStr(Variant::FromDate(EncodeDate(2024, 3, 5) + 0.5)), S("05.03.2024"));
    EXPECT_EQ(xStr(Variant(S("text"))), S("text"));
    EXPECT_EQ(xStr(Variant::Null()), S("???"));
    EXPECT_EQ(MessageOf<EConvertError>([] { xStr(Variant()); }), S("xStr: Ошибка преобразования в строку"));
    EXPECT_EQ(CopyVariant(Variant(S("x"))).AsString(), S("x"));
}

TEST(FuncsVar, IndexOf)
{
    EXPECT_EQ(IndexOfInt({4, 5, 6, 5}, 5), 1);
    EXPECT_EQ(IndexOfInt({4, 5, 6}, 7), -1);
    EXPECT_EQ(IndexOfInt({}, 7), -1);
    EXPECT_EQ(IndexOfVariant({Variant(S("a")), Variant(3), Variant(3.0)}, Variant(3.0)), 1)
        << "numbers compare as numbers";
    EXPECT_EQ(IndexOfVariant({Variant(S("a")), Variant(S("b"))}, Variant(S("b"))), 1);
    EXPECT_EQ(IndexOfVariant({Variant(S("a"))}, Variant(S("A"))), -1) << "case counts here";
}
