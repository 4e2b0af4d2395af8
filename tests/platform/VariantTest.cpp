#include "platform/Variant.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

TEST(VariantType, KindsAreKept)
{
    EXPECT_EQ(Variant().Type(), VarType::Empty);
    EXPECT_EQ(Variant::Null().Type(), VarType::Null);
    EXPECT_EQ(Variant(int16_t(3)).Type(), VarType::Smallint);
    EXPECT_EQ(Variant(3).Type(), VarType::Integer);
    EXPECT_EQ(Variant(uint8_t(3)).Type(), VarType::Byte);
    EXPECT_EQ(Variant(3.0f).Type(), VarType::Single);
    EXPECT_EQ(Variant(3.0).Type(), VarType::Double);
    EXPECT_EQ(Variant(Currency::FromInt(3)).Type(), VarType::Currency);
    EXPECT_EQ(Variant::FromDate(3).Type(), VarType::Date);
    EXPECT_EQ(Variant(true).Type(), VarType::Boolean);
    EXPECT_EQ(Variant("x").Type(), VarType::String);
}

TEST(VariantConversion, RuntimeRules)
{
    EXPECT_EQ(Variant(true).AsInteger(), -1);
    EXPECT_EQ(Variant(false).AsInteger(), 0);
    EXPECT_EQ(Variant().AsInteger(), 0);
    EXPECT_EQ(Variant().AsString(), QString());
    EXPECT_EQ(Variant(2.5).AsInteger(), 2); // halves to even
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    EXPECT_EQ(Variant("12").AsInteger(), 12);
    EXPECT_EQ(Variant("1,5").AsDouble(), 1.5);
    EXPECT_EQ(Variant(1.5).AsString(), QStringLiteral("1,5"));
    EXPECT_EQ(Variant(true).AsString(), QStringLiteral("True"));
    EXPECT_TRUE(Variant("true").AsBoolean());
    EXPECT_TRUE(Variant(5).AsBoolean());
    EXPECT_EQ(Variant(Currency::FromDouble(1.25)).AsDouble(), 1.25);
    EXPECT_EQ(Variant::FromDate(45356).AsString(), QStringLiteral("05.03.2024"));
    EXPECT_EQ(Variant("05.03.2024").AsDate(), 45356.0);
}

TEST(VariantConversion, FailuresRaise)
{
    EXPECT_THROW(Variant::Null().AsInteger(), EVariantError);
    EXPECT_THROW(Variant::Null().AsString(), EVariantError);
    EXPECT_THROW(Variant("abc").AsDouble(), EVariantError);
    EXPECT_THROW(Variant(3e10).AsInteger(), EVariantError);
    try {
        Variant("abc").AsInteger();
        FAIL();
    } catch (const EVariantError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Could not convert variant of type (String) into type (Integer)"));
    }
    EXPECT_EQ(VarToStr(Variant::Null()), QString());
}

TEST(VariantCompare, OrderRules)
{
    EXPECT_EQ(Variant::Compare(Variant(1), Variant(2)), -1);
    EXPECT_EQ(Variant::Compare(Variant(2.5), Variant(2)), 1);
    EXPECT_EQ(Variant::Compare(Variant("b"), Variant("a")), 1);
    EXPECT_EQ(Variant::Compare(Variant("A"), Variant("a")), -1); // case-sensitive
    EXPECT_TRUE(Variant(2) == Variant(2.0));
    EXPECT_TRUE(Variant::Null() == Variant::Null());
    EXPECT_FALSE(Variant::Null() == Variant());
    EXPECT_EQ(Variant::Compare(Variant(), Variant(0)), -1);
}
