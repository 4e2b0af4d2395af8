#include "foundation/Funcs.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }
} // namespace

TEST(FuncsDate, StoDAndDtoS)
{
    EXPECT_EQ(StoD(S("20240229")), EncodeDate(2024, 2, 29));
    EXPECT_EQ(StoD(S("19991231")), EncodeDate(1999, 12, 31));
    EXPECT_EQ(DtoS(EncodeDate(2024, 3, 5)), S("20240305"));
    EXPECT_EQ(DtoS(EncodeDate(2024, 3, 5) + 0.75), S("20240305")) << "the time is dropped";
    EXPECT_EQ(DtoS(EncodeDate(987, 1, 2)), S("09870102"));
    EXPECT_EQ(StoD(DtoS(EncodeDate(2001, 10, 9))), EncodeDate(2001, 10, 9));
}

TEST(FuncsDate, StoDRefusesBadTexts)
{
    for (const char* wrongLength : {"2024022", "202402290", ""})
        EXPECT_EQ(MessageOf<EConvertError>([&] { StoD(S(wrongLength)); }), S("S to D: Conversion Error"))
            << wrongLength;
    EXPECT_EQ(MessageOf<EConvertError>([] { StoD(S("20240230")); }), S("Invalid argument to date encode"));
    EXPECT_EQ(MessageOf<EConvertError>([] { StoD(S("20231301")); }), S("Invalid argument to date encode"));
    EXPECT_EQ(MessageOf<EConvertError>([] { StoD(S("2024AB01")); }), S("'AB' is not a valid integer value"));
    EXPECT_EQ(MessageOf<EConvertError>([] { StoD(S("2024 101")); }), S("' 1' is not a valid integer value"));
    EXPECT_EQ(MessageOf<EConvertError>([] { StoD(S("2024-101")); }), S("'-1' is not a valid integer value"));
}

TEST(FuncsDate, MonthAndYearBounds)
{
    const TDateTime d = EncodeDate(2024, 2, 17) + 0.5;
    EXPECT_EQ(MonthOfDate(d), 2);
    EXPECT_EQ(YearOfDate(d), 2024);
    EXPECT_EQ(FirstDayOfMonth(d), EncodeDate(2024, 2, 1));
    EXPECT_EQ(LastDayOfMonth(d), EncodeDate(2024, 2, 29));
    EXPECT_EQ(LastDayOfMonth(EncodeDate(2023, 2, 1)), EncodeDate(2023, 2, 28));
    EXPECT_EQ(LastDayOfMonth(EncodeDate(2023, 12, 31)), EncodeDate(2023, 12, 31));
    EXPECT_EQ(FirstDayOfYear(d), EncodeDate(2024, 1, 1));
    EXPECT_EQ(LastDayOfYear(d), EncodeDate(2024, 12, 31));
    EXPECT_EQ(IncYearMonthStart(d, 1), EncodeDate(2025, 2, 1));
    EXPECT_EQ(IncYearMonthStart(d, -3), EncodeDate(2021, 2, 1));
}

namespace {
struct MonthShift {
    const char* name;
    int y, m, d, n;
    bool increment;
    int ey, em;
};

class MonthStartTest : public ::testing::TestWithParam<MonthShift> {};
} // namespace

TEST_P(MonthStartTest, LandsOnFirstDay)
{
    const MonthShift& c = GetParam();
    TDateTime d = EncodeDate(c.y, c.m, c.d);
    if (c.increment)
        IncMonthStart(d, c.n);
    else
        DecMonthStart(d, c.n);
    EXPECT_EQ(DtoS(d), DtoS(EncodeDate(c.ey, c.em, 1)));
}

INSTANTIATE_TEST_SUITE_P(Funcs, MonthStartTest,
    ::testing::Values(MonthShift{"EndOfJanuaryPlusOne", 2024, 1, 31, 1, true, 2024, 2},
        MonthShift{"PlusTwelveCarriesYear", 2024, 1, 31, 12, true, 2025, 1},
        MonthShift{"DecemberPlusOne", 2023, 12, 15, 1, true, 2024, 1},
        MonthShift{"PlusZeroIsMonthStart", 2024, 5, 20, 0, true, 2024, 5},
        MonthShift{"PlusTwentyFive", 2024, 11, 3, 25, true, 2026, 12},
        MonthShift{"MinusOneCrossesYear", 2024, 1, 15, 1, false, 2023, 12},
        MonthShift{"MinusThirteen", 2024, 1, 15, 13, false, 2022, 12},
        MonthShift{"NegativeIncrementGoesBack", 2024, 3, 31, -2, true, 2024, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FuncsDate, MonthNamesInBothCases)
{
    const char* nominative[] = {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь",
        "Октябрь", "Ноябрь", "Декабрь"};
    const char* genitive[] = {"Января", "Февраля", "Марта", "Апреля", "Мая", "Июня", "Июля", "Августа", "Сентября",
        "Октября", "Ноября", "Декабря"};
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(MonthNameByNum(n), S(nominative[n - 1])) << n;
        EXPECT_EQ(MonthNameByNum(n, true), S(genitive[n - 1])) << n;
    }
    EXPECT_EQ(MessageOf<EConvertError>([] { MonthNameByNum(13); }), S("MonthNameByNum: Неверный номер месяца [13]"));
    EXPECT_EQ(
        MessageOf<EConvertError>([] { MonthNameByNum(0, true); }), S("MonthNameByNum: Неверный номер месяца [0]"));
}

TEST(FuncsDate, MonthNameOfVariants)
{
    EXPECT_EQ(MonthName(Variant(5), true), S("Мая"));
    EXPECT_EQ(MonthName(Variant(static_cast<uint8_t>(3))), S("Март"));
    EXPECT_EQ(MonthName(Variant(8.9), true), S("Августа")) << "a float is truncated";
    EXPECT_EQ(MonthName(Variant::FromDate(EncodeDate(2024, 12, 31))), S("Декабрь"));
    EXPECT_EQ(
        MessageOf<EConvertError>([] { MonthName(Variant(14)); }), S("MonthNameByNum: Неверный номер месяца [14]"));
    for (const Variant& bad : {Variant(S("5")), Variant(true), Variant(), Variant::Null()})
        EXPECT_EQ(MessageOf<EConvertError>([&] { MonthName(bad); }), S("MonthName: Неверный тип данных"));
}

TEST(FuncsDate, VariantToDate)
{
    EXPECT_EQ(VariantToDate(Variant::FromDate(45000.25)), 45000.25);
    EXPECT_EQ(VariantToDate(Variant(S("05.03.2024"))), EncodeDate(2024, 3, 5));
    EXPECT_THROW(VariantToDate(Variant::Null()), EVariantError);
}
