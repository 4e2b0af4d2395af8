#include "platform/SysUtils.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

TEST(NumberText, IntegersParseStrictly)
{
    EXPECT_EQ(StrToInt(QStringLiteral(" 42 ")), 42);
    EXPECT_EQ(StrToInt(QStringLiteral("-7")), -7);
    EXPECT_EQ(StrToInt(QStringLiteral("$1F")), 31);
    EXPECT_EQ(StrToInt(QStringLiteral("0x10")), 16);
    EXPECT_EQ(StrToIntDef(QStringLiteral("12a"), -1), -1);
    EXPECT_EQ(StrToIntDef(QStringLiteral("2147483648"), -1), -1);
    EXPECT_EQ(StrToIntDef(QString(), 5), 5);
    try {
        StrToInt(QStringLiteral("x1"));
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'x1' is not a valid integer value"));
    }
}

TEST(NumberText, FloatsAcceptBothSeparators)
{
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("1,5")), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("1.5")), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral("-2E3")), -2000);
    EXPECT_DOUBLE_EQ(StrToFloat(QStringLiteral(" ,5")), 0.5);
    EXPECT_THROW(StrToFloat(QStringLiteral("1,5,")), EConvertError);
    EXPECT_THROW(StrToFloat(QStringLiteral("1 000")), EConvertError);
    EXPECT_THROW(StrToFloat(QStringLiteral("E5")), EConvertError);
    EXPECT_EQ(StrToFloatDef(QStringLiteral("?"), 3.0), 3.0);
}

TEST(NumberText, FloatToStrGeneralForm)
{
    struct Row {
        double v;
        const char* text;
    } rows[] = {
        {0, "0"},
        {1, "1"},
        {-1.5, "-1,5"},
        {0.1 + 0.2, "0,3"},
        {1e20, "1E20"},
        {1e-5, "1E-5"},
        {0.0001, "0,0001"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {2.0 / 3.0, "0,666666666666667"},
        {1.5e-7, "1,5E-7"},
        {100, "100"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FloatToStr(r.v), QString::fromUtf8(r.text)) << r.v;
}

TEST(NumberText, FormatFloatPatterns)
{
    struct Row {
        const char* fmt;
        double v;
        const char* text;
    } rows[] = {
        {"0.00", 2.345, "2,35"},
        {"0.00", 1.005, "1,00"},
        {"0.00", -2.345, "-2,35"},
        {"0.00", 0, "0,00"},
        {"#,##0.00", 1234567.891, "1\u00A0234\u00A0567,89"},
        {"#,##0.00", 12.5, "12,50"},
        {"0.###", 1.5, "1,5"},
        {"0.###", 2, "2"},
        {"#.##", 0.5, ",5"},
        {"000", 7, "007"},
        {"0", 2.5, "3"},
        {"0.00;(0.00);'ноль'", -1, "(1,00)"},
        {"0.00;(0.00);'ноль'", 0, "ноль"},
        {"0.00 'р.'", 3, "3,00 р."},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FormatFloat(QString::fromUtf8(r.fmt), r.v), QString::fromUtf8(r.text)) << r.fmt << " " << r.v;
}

TEST(NumberText, FloatToStrFKinds)
{
    EXPECT_EQ(FloatToStrF(1234.5, TFloatFormat::ffFixed, 15, 2), QStringLiteral("1234,50"));
    EXPECT_EQ(FloatToStrF(1234.5, TFloatFormat::ffNumber, 15, 2), QStringLiteral("1\u00A0234,50"));
    EXPECT_EQ(FloatToStrF(-1234.5, TFloatFormat::ffCurrency, 15, 2), QStringLiteral("-1\u00A0234,50 р."));
    EXPECT_EQ(FloatToStrF(0.125, TFloatFormat::ffFixed, 15, 2), QStringLiteral("0,13"));
    EXPECT_EQ(FloatToStrF(-0.001, TFloatFormat::ffFixed, 15, 2), QStringLiteral("0,00"));
    EXPECT_EQ(FloatToStrF(999.999, TFloatFormat::ffFixed, 15, 2), QStringLiteral("1000,00"));
}

TEST(FormatRoutine, DelphiSpecifiers)
{
    EXPECT_EQ(Format(QStringLiteral("%d-%s"), 5, QStringLiteral("x")), QStringLiteral("5-x"));
    EXPECT_EQ(Format(QStringLiteral("%f"), 2.345), QStringLiteral("2,35"));
    EXPECT_EQ(Format(QStringLiteral("%.3f"), 1.0), QStringLiteral("1,000"));
    EXPECT_EQ(Format(QStringLiteral("%5d|%-5d|"), 42, 42), QStringLiteral("   42|42   |"));
    EXPECT_EQ(Format(QStringLiteral("%.4d"), 42), QStringLiteral("0042"));
    EXPECT_EQ(Format(QStringLiteral("%x"), 255), QStringLiteral("FF"));
    EXPECT_EQ(Format(QStringLiteral("100%%")), QStringLiteral("100%"));
    EXPECT_EQ(Format(QStringLiteral("%1:s %0:s"), QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("b a"));
    EXPECT_EQ(Format(QStringLiteral("%.2s"), QStringLiteral("abcdef")), QStringLiteral("ab"));
    EXPECT_EQ(Format(QStringLiteral("%n"), 1234.5), QStringLiteral("1\u00A0234,50"));
    EXPECT_EQ(Format(QStringLiteral("%m"), 5.0), QStringLiteral("5,00 р."));
}

TEST(FormatRoutine, NeverThrowsOnMismatch)
{
    EXPECT_EQ(Format(QStringLiteral("%s"), 12), QStringLiteral("12"));
    EXPECT_EQ(Format(QStringLiteral("%d"), QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(Format(QStringLiteral("%d"), 2.0), QStringLiteral("2"));
    EXPECT_EQ(Format(QStringLiteral("%f"), QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(Format(QStringLiteral("%f"), 3), QStringLiteral("3,00"));
    EXPECT_EQ(Format(QStringLiteral("a%sb%dc")), QStringLiteral("abc"));
    EXPECT_EQ(Format(QStringLiteral("%s"), Variant::Null()), QString());
    EXPECT_EQ(Format(QStringLiteral("end %")), QStringLiteral("end %"));
    EXPECT_EQ(Format(QStringLiteral("%q"), 1), QStringLiteral("%q"));
}
