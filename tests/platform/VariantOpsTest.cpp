#include "platform/VariantOps.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using BinaryOp = std::function<Variant(const Variant&, const Variant&)>;

struct BinaryRow {
    const char* name;
    BinaryOp op;
    Variant a, b;
    Variant expected; // its type is checked too
};

Variant Cur(double v) { return Variant(Currency::FromDouble(v)); }
Variant Str(const char* s) { return Variant(QString::fromUtf8(s)); }

void ExpectSame(const Variant& actual, const Variant& expected, const char* name)
{
    EXPECT_EQ(Variant::TypeName(actual.Type()), Variant::TypeName(expected.Type())) << name;
    if (expected.IsString())
        EXPECT_EQ(actual.AsString(), expected.AsString()) << name;
    else
        EXPECT_EQ(Variant::Compare(actual, expected), 0) << name << ": " << VarToStr(actual).toStdString();
}

TEST(VariantOps, ResultTypesAndValues)
{
    const BinaryRow rows[] = {
        {"real + real", VarAdd, 1.5, 2.25, 3.75},
        {"integer + integer", VarAdd, 2, 3, 5},
        {"32-bit overflow becomes real", VarAdd, 2000000000, 2000000000, 4e9},
        {"Boolean true is -1", VarAdd, true, true, -2},
        {"Boolean with a real", VarMul, true, 100.0, -100.0},
        {"currency + currency", VarAdd, Cur(1.25), Cur(2.5), Cur(3.75)},
        {"currency + integer stays currency", VarAdd, Cur(1.25), 2, Cur(3.25)},
        {"currency + real becomes real", VarAdd, Cur(1.25), 0.5, 1.75},
        {"currency * currency rounds to 1/10000", VarMul, Cur(0.3333), Cur(0.3333), Cur(0.1111)},
        {"strings concatenate", VarAdd, Str("ab"), Str("cd"), Str("abcd")},
        {"empty joins a string", VarAdd, Variant(), Str("x"), Str("x")},
        {"string and number add as numbers", VarAdd, Str("1,5"), 1, 2.5},
        {"string minus string is numeric", VarSub, Str("10"), Str("4"), 6.0},
        {"empty is zero", VarSub, Variant(), 3, -3},
        {"int64 products fall back to real", VarMul, int64_t(1) << 40, int64_t(1) << 40, 1208925819614629174706176.0},
        {"division is real", VarDiv, 7, 2, 3.5},
        {"division of currencies", VarDiv, Cur(1), Cur(4), 0.25},
        {"and of Booleans", VarAnd, true, false, false},
        {"or of Booleans", VarOr, true, false, true},
        {"and of integers", VarAnd, 6, 3, 2},
        {"or of Boolean and integer", VarOr, false, 4, 4},
        {"and rounds reals halves to even", VarAnd, 2.5, 3, 2},
        {"Boolean texts are Booleans", VarOr, Str("False"), Str("true"), true},
    };
    for (const BinaryRow& r : rows)
        ExpectSame(r.op(r.a, r.b), r.expected, r.name);
}

TEST(VariantOps, UnaryOperators)
{
    ExpectSame(VarNeg(2.5), -2.5, "real");
    ExpectSame(VarNeg(7), -7, "integer");
    ExpectSame(VarNeg(INT32_MIN), 2147483648.0, "lowest integer");
    ExpectSame(VarNeg(true), 1, "Boolean");
    ExpectSame(VarNeg(Cur(1.5)), Cur(-1.5), "currency");
    ExpectSame(VarNeg(Str("2")), -2.0, "string");
    ExpectSame(VarNeg(Variant()), 0, "empty");
    ExpectSame(VarNot(true), false, "not Boolean");
    ExpectSame(VarNot(0), -1, "not zero");
    ExpectSame(VarNot(1.5), -3, "not rounds 1.5 to 2");
    ExpectSame(VarNot(Str("True")), false, "not of a Boolean text");
    ExpectSame(VarNot(Variant()), -1, "not of empty");
}

TEST(VariantOps, FailuresRaiseTheProgramsExceptions)
{
    EXPECT_THROW(VarAdd(Variant::Null(), 1), EVariantError);
    EXPECT_THROW(VarNeg(Variant::Null()), EVariantError);
    EXPECT_THROW(VarCompare(Variant::Null(), Variant::Null()), EVariantError);
    EXPECT_THROW(VarAdd(Str("abc"), 1), EVariantError);
    EXPECT_THROW(VarAdd(1e308, 1e308), EOverflow);
    EXPECT_THROW(VarMul(-1e200, 1e200), EOverflow);
    EXPECT_THROW(VarAdd(Variant(Currency::FromRaw(INT64_MAX)), Cur(1)), EOverflow);
    EXPECT_THROW(VarDiv(1, 0), EZeroDivide);
    EXPECT_THROW(VarDiv(0.0, 0.0), EZeroDivide);
    EXPECT_THROW(VarDiv(1e308, 1e-10), EOverflow);
    EXPECT_THROW(VarAnd(3e9, 1), EVariantError);
    EXPECT_THROW(VarNot(Str("abc")), EVariantError);
    EXPECT_THROW(VarIsTrue(Str("abc")), EVariantError);
    EXPECT_THROW(VarIsTrue(Variant::Null()), EVariantError);
}

TEST(VariantOps, Comparison)
{
    EXPECT_EQ(VarCompare(1, 1.0), 0);
    EXPECT_EQ(VarCompare(2, 1.5), 1);
    EXPECT_EQ(VarCompare(Str("a"), Str("B")), 1); // case-sensitive
    EXPECT_EQ(VarCompare(Str("abc"), Str("abc")), 0);
    EXPECT_EQ(VarCompare(Str("10"), 9), 1); // as numbers, not as texts
    EXPECT_EQ(VarCompare(Variant(), 0), 0);
    EXPECT_EQ(VarCompare(Variant(), Str("")), 0);
    EXPECT_EQ(VarCompare(Str("a"), Variant()), 1);
    EXPECT_EQ(VarCompare(Variant(), Variant()), 0);
    EXPECT_EQ(VarCompare(true, -1), 0);
    EXPECT_EQ(VarCompare(Cur(0.5), 0.5), 0);
    EXPECT_FALSE(VarIsTrue(0.0));
    EXPECT_TRUE(VarIsTrue(-0.5));
    EXPECT_TRUE(VarIsTrue(Str("TRUE")));
    EXPECT_FALSE(VarIsTrue(Str("0")));
    EXPECT_FALSE(VarIsTrue(Variant()));
}

TEST(VariantOps, OperatorSpellings)
{
    const Variant a(6.0), b(4);
    EXPECT_EQ((a + b).AsDouble(), 10.0);
    EXPECT_EQ((a - b).AsDouble(), 2.0);
    EXPECT_EQ((a * b).AsDouble(), 24.0);
    EXPECT_EQ((a / b).AsDouble(), 1.5);
    EXPECT_EQ((-b).AsInteger(), -4);
}

} // namespace
