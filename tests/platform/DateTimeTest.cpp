#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <gtest/gtest.h>

TEST(DateTime, EpochAndKnownDays)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
}

TEST(DateTime, DecodeRoundTripOverFourCenturies)
{
    for (double d = -20000; d < 130000; d += 1) {
        int y, m, day;
        DecodeDate(d, y, m, day);
        ASSERT_EQ(EncodeDate(y, m, day), d) << d;
    }
}

TEST(DateTime, ImpossibleDatesRaise)
{
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 13, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 4, 31), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
}

TEST(DateTime, TimeOfDayIsTheFraction)
{
    const TDateTime t = EncodeTime(18, 30, 15, 250);
    int h, n, s, ms;
    DecodeTime(EncodeDate(2024, 1, 1) + t, h, n, s, ms);
    EXPECT_EQ(h, 18);
    EXPECT_EQ(n, 30);
    EXPECT_EQ(s, 15);
    EXPECT_EQ(ms, 250);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
}

TEST(DateTime, DayOfWeekAndIncMonth)
{
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 5)), 3); // Tuesday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 31), 1), EncodeDate(2024, 2, 29));
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 15), -1), EncodeDate(2023, 12, 15));
    EXPECT_EQ(IncMonth(EncodeDate(2024, 1, 15), 24), EncodeDate(2026, 1, 15));
}

TEST(DateTime, QDateConversions)
{
    EXPECT_EQ(ToQDate(EncodeDate(2024, 3, 5)), QDate(2024, 3, 5));
    EXPECT_EQ(FromQDate(QDate(1999, 12, 31)), EncodeDate(1999, 12, 31));
    EXPECT_EQ(FromQDate(QDate()), NoDate);
}

TEST(DateText, DateAndTimeTexts)
{
    const TDateTime d = EncodeDate(2024, 3, 5);
    EXPECT_EQ(DateToStr(d), QStringLiteral("05.03.2024"));
    EXPECT_EQ(TimeToStr(EncodeTime(7, 5, 9, 0)), QStringLiteral("7:05:09"));
    EXPECT_EQ(DateTimeToStr(d), QStringLiteral("05.03.2024"));
    EXPECT_EQ(DateTimeToStr(d + EncodeTime(13, 4, 0, 0)), QStringLiteral("05.03.2024 13:04:00"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd mmmm yyyy"), d), QStringLiteral("05 Март 2024"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("hh:mm"), EncodeTime(9, 7, 0, 0)), QStringLiteral("09:07"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("d/m/yy"), d), QStringLiteral("5.3.24"));
}

TEST(DateText, NoDateIsNoText)
{
    const struct {
        TDateTime value;
        const char* date;
        const char* dateTime;
    } cases[] = {
        {0, "", ""},
        {EncodeTime(7, 5, 9, 0), "", "7:05:09"},
        {1, "31.12.1899", "31.12.1899"},
        {-1, "29.12.1899", "29.12.1899"},
        {EncodeDate(2026, 12, 9), "09.12.2026", "09.12.2026"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateToStr(c.value), QString::fromUtf8(c.date)) << c.value;
        EXPECT_EQ(DateTimeToStr(c.value), QString::fromUtf8(c.dateTime)) << c.value;
    }
}

TEST(DateText, StrToDateAcceptsTheUsualForms)
{
    EXPECT_EQ(StrToDate(QStringLiteral("05.03.2024")), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate(QStringLiteral(" 5.3.2024 ")), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate(QStringLiteral("05/03/2024")), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate(QStringLiteral("05.03.24")), EncodeDate(2024, 3, 5));
    EXPECT_THROW(StrToDate(QStringLiteral("31.02.2024")), EConvertError);
    EXPECT_THROW(StrToDate(QStringLiteral("abc")), EConvertError);
    EXPECT_THROW(StrToDate(QString()), EConvertError);
    try {
        StrToDate(QStringLiteral("1.2.3.4"));
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'1.2.3.4' is not a valid date"));
    }
}

TEST(DateText, StrToTime)
{
    EXPECT_DOUBLE_EQ(StrToTime(QStringLiteral("12:00")), 0.5);
    EXPECT_DOUBLE_EQ(StrToTime(QStringLiteral("6:00:00")), 0.25);
    EXPECT_THROW(StrToTime(QStringLiteral("25:00")), EConvertError);
    EXPECT_THROW(StrToTime(QStringLiteral("12")), EConvertError);
}
