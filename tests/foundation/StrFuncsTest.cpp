#include "foundation/Funcs.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/Variant.h"

#include <gtest/gtest.h>

namespace {
QString S(const char* utf8) { return QString::fromUtf8(utf8); }
} // namespace

namespace {
struct WildCase {
    const char* name;
    const char* s;
    const char* mask;
    bool ignoreCase;
    bool match;
};

class MatchWildTest : public ::testing::TestWithParam<WildCase> {};
} // namespace

TEST_P(MatchWildTest, Matches)
{
    const WildCase& c = GetParam();
    EXPECT_EQ(MatchWild(S(c.s), S(c.mask), c.ignoreCase), c.match) << c.s << " vs " << c.mask;
}

INSTANTIATE_TEST_SUITE_P(Funcs, MatchWildTest,
    ::testing::Values(WildCase{"LowerNameUpperMaskIgnoringCase", "x.db", "*.DB", true, true},
        WildCase{"LowerNameUpperMaskCaseSensitive", "x.db", "*.DB", false, false},
        WildCase{"CyrillicIgnoringCase", "отчёт.txt", "ОТЧЁТ.*", true, true},
        WildCase{"DoubleStarIsOneStar", "abc.db", "a**.db", false, true},
        WildCase{"DoubleStarAloneMatchesEmpty", "", "**", false, true}, WildCase{"BothEmpty", "", "", false, true},
        WildCase{"StarMatchesEmpty", "", "*", false, true}, WildCase{"EmptyNameAgainstMask", "", "a*", false, false},
        WildCase{"EmptyMaskAgainstName", "abc", "", false, false},
        WildCase{"QuestionIsOneChar", "abc", "a?c", false, true},
        WildCase{"QuestionNeedsAChar", "ac", "a?c", false, false}, WildCase{"EndMustMatch", "abc", "a*b", false, false},
        WildCase{"StarInTheMiddle", "abXYZc", "ab*c", false, true},
        WildCase{"StarTakesEmptyRun", "abc", "ab*c", false, true},
        WildCase{"BacktrackingOverRepeats", "aXbXbc", "a*bc", false, true},
        WildCase{"SeveralStars", "SR.DB-journal", "S*.*-*", false, true},
        WildCase{"StarCrossesSlash", "dir/sub/x.db", "*.db", false, true},
        WildCase{"BracketsAreLiteral", "[a].txt", "[a].*", false, true},
        WildCase{"BracketsAreNoSet", "a.txt", "[a].*", false, false},
        WildCase{"EqualTextWithWildcardChars", "a*?", "a*?", false, true},
        WildCase{"DotStarDotNeedsADot", "README", "*.*", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FuncsStr, FindSubStrFrom)
{
    EXPECT_EQ(FindSubStrFrom(S("b"), S("abcabc"), 1), 2);
    EXPECT_EQ(FindSubStrFrom(S("b"), S("abcabc"), 3), 5);
    EXPECT_EQ(FindSubStrFrom(S("b"), S("abcabc"), -4), 2) << "a start below 1 counts as 1";
    EXPECT_EQ(FindSubStrFrom(S("bc"), S("abcabc"), 6), 0) << "too few characters remain";
    EXPECT_EQ(FindSubStrFrom(S("bc"), S("abcabc"), 5), 5);
    EXPECT_EQ(FindSubStrFrom(S("x"), S("abc"), 1), 0);
    EXPECT_EQ(FindSubStrFrom(S(""), S("abc"), 1), 0);
    EXPECT_EQ(FindSubStrFrom(S("a"), S(""), 1), 0);
    EXPECT_EQ(FindSubStrFrom(S("a"), S("abc"), 100), 0);
    EXPECT_EQ(FindSubStr(S("B"), S("abc")), 0) << "case counts";
    EXPECT_EQ(PosText(S("Б"), S("абв")), 2);
    EXPECT_EQ(PosText(S("ё"), S("ЕЁ")), 2);
    EXPECT_EQ(PosText(S("x"), S("абв")), 0);
    EXPECT_EQ(UpperStr(S("ёжик Ab")), S("ЁЖИК AB"));
}

TEST(FuncsStr, OemToAnsiDecodesDosText)
{
    // "Привет" in CP866.
    const QByteArray dos("\x8F\xE0\xA8\xA2\xA5\xE2", 6);
    EXPECT_EQ(OemToAnsiStr(dos), S("Привет"));
    EXPECT_EQ(OemToAnsiStr(FromCp1251(dos)), S("Привет"));
    EXPECT_EQ(OemToAnsiStr(QString()), QString());
}

TEST(FuncsStr, CharSetRoutines)
{
    QString s = S("a-b_c d");
    ReplaceCharsWithFirst(s, S(" -_"));
    EXPECT_EQ(s, S("a b c d"));
    QString unchanged = S("abc");
    ReplaceCharsWithFirst(unchanged, QString());
    EXPECT_EQ(unchanged, S("abc"));
    EXPECT_EQ(CountCharsOf(S("1.234,5"), S(".,")), 2);
    EXPECT_EQ(CountCharsOf(S("abc"), QString()), 0);

    const QString original = S("текст");
    const QString copy = MakeUniqueCopy(original);
    EXPECT_EQ(copy, original);
    EXPECT_NE(copy.constData(), original.constData());
}

TEST(FuncsStr, LeftRightAndPadding)
{
    EXPECT_EQ(LeftStr(S("abcdef"), 2), S("ab"));
    EXPECT_EQ(RightStr(S("abcdef"), 2), S("ef"));
    EXPECT_EQ(LeftStr(S("ab"), 5), S("ab"));
    EXPECT_EQ(LeftStr(S("ab"), -1), QString()) << "not the whole text, as Qt's left() would give";
    EXPECT_EQ(RightStr(S("ab"), 0), QString());

    EXPECT_EQ(PadString(S("12"), 5), S("   12"));
    EXPECT_EQ(PadString(S("12"), 5, QLatin1Char('*'), true), S("12***"));
    EXPECT_EQ(PadString(S("123456"), 3), S("123")) << "cut to the first characters";
    EXPECT_EQ(PadString(S("123456"), 3, QLatin1Char(' '), true), S("123"));
    EXPECT_EQ(PadString(S("abc"), 0), QString());

    EXPECT_EQ(Pad0(Variant(7), 3), S("007"));
    EXPECT_EQ(Pad0(Variant(static_cast<uint8_t>(42)), 4), S("0042"));
    EXPECT_EQ(Pad0(Variant(S("12345")), 3), S("123"));
    EXPECT_EQ(Pad0(Variant(-7), 3), S("0-7"));
    for (const Variant& bad : {Variant(1.5), Variant(true), Variant(), Variant::Null(), Variant::FromDate(45000)}) {
        try {
            Pad0(bad, 3);
            ADD_FAILURE() << "no error for " << Variant::TypeName(bad.Type()).toStdString();
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), S("Pad0: Неверный тип данных"));
        }
    }
}

TEST(FuncsStr, PercentAndHex)
{
    EXPECT_EQ(DoublePercentSigns(S("50% of %d")), S("50%% of %%d"));
    EXPECT_EQ(IntToHex8(255), S("000000FF"));
    EXPECT_EQ(IntToHex8(-1), S("FFFFFFFF"));
    EXPECT_EQ(IntToHex8(INT32_MIN), S("80000000"));
    EXPECT_EQ(IntToHex8(0x7ABCDEF0), S("7ABCDEF0"));
}
