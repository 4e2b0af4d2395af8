#include "foundation/Parsing.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

#include <QHash>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

// Every row is evaluated from its text and through the compiled form; both
// must give the expected outcome, to the bit.
struct Outcome {
    Variant value;
    int error = 0;
    int pos = 0;
    QString message;
};

QHash<QString, Variant> TestVariables()
{
    return {
        {QStringLiteral("A"), Variant(3.0)},
        {QStringLiteral("B"), Variant(4.0)},
        {QStringLiteral("S"), Variant(30000.0)},
        {QStringLiteral("TB"), Variant(168.0)},
        {QStringLiteral("I"), Variant(7)},
        {QStringLiteral("C"), Variant(Currency::FromDouble(1.5))},
        {QStringLiteral("U"), Variant()},
        {QStringLiteral("N"), Variant::Null()},
        {QStringLiteral("TXT"), Variant(QStringLiteral("Abc"))},
        {QStringLiteral("BAD"), Variant(std::nan(""))},
        {QStringLiteral("HUGE"), Variant(HUGE_VAL)},
    };
}

bool LookUp(const QString& name, Variant& value)
{
    static const QHash<QString, Variant> vars = TestVariables();
    const auto it = vars.constFind(name);
    if (it == vars.constEnd())
        return false;
    value = it.value();
    return true;
}

Outcome Direct(const QString& text)
{
    T_ExpressionParser p;
    p.OnVariable = LookUp;
    Outcome o;
    try {
        p.Evaluate(text, o.value);
    } catch (const EExpressionParserError& e) {
        o.error = e.Id();
        o.pos = e.Pos();
        o.message = e.Message();
        EXPECT_EQ(p.Pos(), e.Pos()) << "the parser's Pos stays at the error";
    }
    return o;
}

Outcome Compiled(const QString& text)
{
    const T_CompiledExpression c = T_ExpressionParser::Compile(text);
    T_ExpressionParser p;
    p.OnVariable = LookUp;
    Outcome o;
    try {
        p.Evaluate(c, o.value);
    } catch (const EExpressionParserError& e) {
        o.error = e.Id();
        o.pos = e.Pos();
        o.message = e.Message();
        EXPECT_EQ(p.Pos(), e.Pos());
    }
    return o;
}

QString Show(const Outcome& o)
{
    if (o.error)
        return QStringLiteral("error %1 at %2: %3").arg(o.error).arg(o.pos).arg(o.message);
    return QStringLiteral("%1 %2").arg(Variant::TypeName(o.value.Type()), VarToStr(o.value));
}

struct Row {
    const char* name;
    const char* text;
    Variant value; // expected value when error is 0
    int error = 0;
    int pos = 0;
};

Row Val(const char* name, const char* text, Variant v) { return {name, text, std::move(v), 0, 0}; }
Row Err(const char* name, const char* text, int error, int pos) { return {name, text, Variant(), error, pos}; }

const double kPi = std::numbers::pi;

std::vector<Row> EdgeRows()
{
    return {
        // Precedence and associativity
        Val("mul before add", "2 + 3 * 4", 14.0),
        Val("power before mul", "2 * 3 ^ 2", 18.0),
        Val("sign binds to the first factor", "-2 ^ 2", 4.0),
        Val("sign of a variable binds too", "-A^2", 9.0),
        Val("power is left to right", "2 ^ 3 ^ 2", 64.0),
        Val("power of a product needs a group", "(2 * 3) ^ 2", 36.0),
        Val("power on the right of a division", "18 / 3 ^ 2", 2.0),
        Val("minus is left to right", "2 - 3 - 4", -5.0),
        Val("division is left to right", "12 / 2 / 3", 2.0),
        Val("comparisons share the plus level", "1 < 2 = 1 < 2", true),
        Val("comparison then plus", "1 = 1 + 1", 0.0),
        Val("group", "(2 + 3) * 4", 20.0),
        Val("nested groups with blanks", " ( ( 1 + 2 ) ) * 2 ", 6.0),
        Val("sign after operator belongs to the number", "2*-3", -6.0),
        Val("negative exponent number", "2^-1", 0.5),
        Val("double minus", "1 - -3", 4.0),
        Val("plus sign of a number", "2*+3", 6.0),
        // Numbers
        Val("leading dot", ".5", 0.5),
        Val("minus and leading dot", "-.5", -0.5),
        Val("trailing dot", "5.", 5.0),
        Val("dot before exponent", "1.E2", 100.0),
        Val("lower-case exponent", "1e2", 100.0),
        Val("negative exponent", "25E-1", 2.5),
        Val("tiny number is zero", "1E-999", 0.0),
        Err("huge number", "1E999", peFloatingPointError, 1),
        Err("lone dot", ".", peSyntaxError, 1),
        Err("two dots", "1..2", peSyntaxError, 1),
        Err("number glued to a letter", "2A", peSyntaxError, 1),
        Err("number glued to a bracket", "2(1)", peSyntaxError, 1),
        Err("exponent without digits", "1E+", peSyntaxError, 1),
        // Delimiters
        Val("and with blanks", "3 & 6", 2),
        Err("and glued to a number", "1&2", peSyntaxError, 1),
        Err("and glued to a name", "A&B", peSyntaxError, 1),
        Val("and of names with blanks", "A & B", 0),
        Err("or glued to a name", "A|B", peSyntaxError, 1),
        Val("or with blanks", "A | B", 7),
        Err("not-equal glued to a name", "A!=B", peSyntaxError, 1),
        Val("not-equal with blanks", "A != B", true),
        Val("not-equal as angle brackets", "A <> B", true),
        Val("not-equal as reversed angle brackets", "A >< B", true),
        Val("less or equal", "A <= 3", true),
        Val("greater or equal", "A >= 4", false),
        Val("a lone ! is skipped", "1 ! + 2", 3.0),
        Val("leading ! is not", "!0", -1),
        Val("not of a comparison", "!(1 = 1)", false),
        Err("name glued to a dot", "A.B", peSyntaxError, 1),
        // Strings
        Val("embedded quote", "'it''s'", QStringLiteral("it's")),
        Val("literal keeps its case", "'Abc'", QStringLiteral("Abc")),
        Val("concatenation", "'a' + 'b'", QStringLiteral("ab")),
        Val("quotes across blanks continue the literal", "'a'  'b'", QStringLiteral("a'  'b")),
        Val("string compare is case-sensitive", "'abc' = 'ABC'", false),
        Val("number in a string", "'10' + 5", 15.0),
        Val("decimal comma in a string", "'1,5' * 2", 3.0),
        Err("unclosed quote", "1 + 'abc", peUnclosedQuote, 5),
        Err("literal glued to a name", "'a'b", peSyntaxError, 1),
        Err("text that is no number", "'abc' + 1", peFloatingPointError, 7),
        Val("string variable", "TXT + '!'", QStringLiteral("Abc!")),
        // Constants and names
        Val("E", "E", std::numbers::e),
        Val("PI lower case", "pi * 2", 2 * kPi),
        Val("E before an operator", "2*E", 2 * std::numbers::e),
        Err("E1 is a name", "E1", peUnknownVariable, 1),
        Err("E followed by a bracket is a function", "E(1)", peUnknownFunction, 1),
        Val("names are case-insensitive", "s*tb/168", 30000.0 * 168.0 / 168.0),
        Err("unknown variable", "A + X", peUnknownVariable, 5),
        Err("unknown function", "FOO(1)", peUnknownFunction, 1),
        Err("Cyrillic name", "Б + 1", peSyntaxError, 1),
        // Built-in functions
        Err("SIN with two arguments", "SIN(1, 2)", peMissingBracket, 6),
        Err("IF with two arguments", "IF(1, 2)", peNotEnoughArguments, 8),
        Err("IF evaluates both branches", "IF(0, 1/0, 5)", peDivisionByZero, 8),
        Val("IF true", "IF(1, 2, 3)", 2.0),
        Val("IF false", "IF(A > B, 'x', 'y')", QStringLiteral("y")),
        Val("function name with blanks", "SIN (0)", 0.0),
        Err("function without arguments", "SIN()", peSyntaxError, 5),
        Val("ROUND half to even down", "ROUND(2.5)", 2),
        Val("ROUND half to even up", "ROUND(3.5)", 4),
        Val("ROUND negative half", "ROUND(-2.5)", -2),
        Val("INT toward zero", "INT(-2.7)", -2),
        Val("TRUNC", "TRUNC(2.7)", 2),
        Val("FRAC", "FRAC(-2.75)", -0.75),
        Val("SIGN of zero is the real argument", "SIGN(0)", 0.0),
        Val("SIGN negative", "SIGN(-5)", -1),
        Val("SIGN positive", "SIGN(0.1)", 1),
        Val("ARCCOS(1) is integer 0", "ARCCOS(1)", 0),
        Val("ARCCOS(-1)", "ARCCOS(-1)", kPi),
        Val("ARCCOS(0)", "ARCCOS(0)", kPi / 2),
        Val("ARCSIN(1)", "ARCSIN(1)", kPi / 2),
        Val("ARCSIN(-1)", "ARCSIN(-1)", -kPi / 2),
        Val("ARCSIN(0.5)", "ARCSIN(0.5)", std::atan(0.5 / std::sqrt(0.75))),
        Err("ARCSIN outside -1..1", "ARCSIN(2)", peFloatingPointError, 1),
        Val("NOT(0)", "NOT(0)", -1),
        Val("NOT truncates", "NOT(5.9)", -6),
        Val("ABS", "ABS(-3)", 3.0),
        Val("SQR", "SQR(3)", 9.0),
        Val("SQRT", "SQRT(16)", 4.0),
        Err("SQRT of a negative", "1 + SQRT(-1)", peNegativeRoot, 5),
        Err("LN of zero", "LN(0)", peNegativeLogarithm, 1),
        Err("LOG of a negative", "LOG(-1)", peNegativeLogarithm, 1),
        Val("LOG is decimal", "LOG(1000)", 3.0),
        Val("LN(E)", "LN(E)", 1.0),
        Val("EXP(0)", "EXP(0)", 1.0),
        Val("TAN(0)", "TAN(0)", 0.0),
        Val("ARCTAN(1)", "ARCTAN(1)", kPi / 4),
        Val("COS(0)", "COS(0)", 1.0),
        Err("function of a text", "SIN('x')", peFloatingPointError, 1),
        // Faults mended
        Err("trailing comma at the top", "1,5", peSyntaxError, 2),
        Err("closing bracket at the top", "1)+(2", peSyntaxError, 2),
        Err("zero to a negative power", "0^-1", peDivisionByZero, 2),
        Err("negative base, fractional power", "(-8)^(1/3)", peFloatingPointError, 5),
        Err("power overflow", "10^400", peFloatingPointError, 3),
        Err("huge integral exponent", "2^1E9", peFloatingPointError, 2),
        Val("huge exponent of one", "1^1E9", 1.0),
        Val("integral power", "2^10", 1024.0),
        Val("negative base, odd power", "(-2)^3", -8.0),
        Val("negative base, even power above 64", "(-1)^100", 1.0),
        Val("square root by power", "4^0.5", 2.0),
        Val("zero power", "0^0", 1.0),
        Val("power of zero", "0^2", 0.0),
        Val("negative integral power", "2^-2", 0.25),
        Err("EXP overflow", "EXP(1000)", peFloatingPointError, 1),
        Err("INT beyond 32 bits", "INT(1E10)", peFloatingPointError, 1),
        Err("ROUND beyond 32 bits", "ROUND(3E9)", peFloatingPointError, 1),
        Err("TRUNC beyond 32 bits", "TRUNC(-3E9)", peFloatingPointError, 1),
        Err("NOT beyond 32 bits", "NOT(1E10)", peFloatingPointError, 1),
        Err("multiplication overflow", "1E308*10", peFloatingPointError, 6),
        Err("addition overflow", "1E308 + 1E308", peFloatingPointError, 7),
        Err("division by zero", "1/0", peDivisionByZero, 2),
        Err("zero by zero", "0 / 0", peDivisionByZero, 3),
        Err("division overflow", "1E308/1E-308", peDivisionByZero, 6),
        Err("infinite variable", "HUGE", peFloatingPointError, 1),
        Err("NaN variable", "1 + BAD", peFloatingPointError, 5),
        // Prepare
        Err("empty text", "", peEmptyExpression, 1),
        Err("blanks only", "   ", peEmptyExpression, 1),
        Err("unclosed bracket", "(1 + (2)", peMissingBracket, 1),
        Err("closing bracket too many", "1 + 2)", peMissingBracket, 6),
        Err("unclosed function bracket", "SIN(1", peMissingBracket, 4),
        Err("unclosed square bracket", "[1", peMissingBracket, 1),
        Err("square brackets are no group", "[1]", peSyntaxError, 1),
        Val("brackets inside a literal do not count", "'(('", QStringLiteral("((")),
        // Syntax
        Err("missing operand at the end", "1 +", peSyntaxError, 4),
        Err("operator first", "* 2", peSyntaxError, 1),
        Err("two numbers", "2 3", peSyntaxError, 3),
        Err("two numbers in a group", "(1 2)", peSyntaxError, 4),
        Err("empty group", "()", peSyntaxError, 2),
        Err("comma in a group", "(1, 2)", peMissingBracket, 3),
        Err("closing before opening", ")(", peSyntaxError, 1),
        // Variant rules
        Val("Boolean true is -1", "(B > A) * 100", -100.0),
        Val("Boolean false is 0", "(A > B) * 100", 0.0),
        Val("two Booleans add as integers", "(1 = 1) + (1 = 1)", -2),
        Val("integers stay integers", "I + INT(2)", 9),
        Val("division is real", "I / INT(2)", 3.5),
        Val("32-bit overflow becomes real", "INT(2E9) + INT(2E9)", 4e9),
        Val("currency and real give real", "C + 1", 2.5),
        Val("currency and currency stay currency", "C + C", Currency::FromInt(3)),
        Val("currency and integer stay currency", "C * INT(3)", Currency::FromDouble(4.5)),
        Val("empty adds as zero", "U + 1", 1.0),
        Val("empty equals zero", "U = 0", true),
        Err("null refuses", "1 + N", peFloatingPointError, 3),
        Err("null refuses comparison", "N = 1", peFloatingPointError, 3),
        Err("and of a huge real", "1E10 & 1", peFloatingPointError, 6),
        Val("and of Booleans", "(1 = 1) & (2 = 2)", true),
        Val("or of Boolean and integer", "(1 = 2) | 5", 5),
    };
}

class ParserEdge : public testing::TestWithParam<Row> {};

TEST_P(ParserEdge, DirectAndCompiledAgree)
{
    const Row& row = GetParam();
    const QString text = QString::fromUtf8(row.text);
    const Outcome direct = Direct(text);
    const Outcome compiled = Compiled(text);
    if (row.error) {
        EXPECT_EQ(direct.error, row.error) << Show(direct).toStdString();
        EXPECT_EQ(direct.pos, row.pos) << Show(direct).toStdString();
    } else {
        EXPECT_EQ(direct.error, 0) << Show(direct).toStdString();
        ASSERT_EQ(direct.value.Type(), row.value.Type()) << Show(direct).toStdString();
        if (row.value.Type() == VarType::Double)
            EXPECT_DOUBLE_EQ(direct.value.AsDouble(), row.value.AsDouble());
        else
            EXPECT_TRUE(SameVariant(direct.value, row.value)) << Show(direct).toStdString();
    }
    EXPECT_EQ(compiled.error, direct.error) << Show(compiled).toStdString();
    EXPECT_EQ(compiled.pos, direct.pos);
    EXPECT_EQ(compiled.message, direct.message);
    EXPECT_TRUE(SameVariant(compiled.value, direct.value)) << Show(compiled).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, ParserEdge, testing::ValuesIn(EdgeRows()), RowName<Row>);

TEST(ParserErrors, EveryNumberHasItsText)
{
    const struct {
        const char* text;
        int id;
        const char* message;
    } rows[] = {
        {"1 +", 65173, "Синтаксическая ошибка"},
        {"", 65174, "Пустое выражение"},
        {"(1", 65175, "Не хватает скобки"},
        {"1/0", 65176, "Деление на нуль"},
        {"SQRT(-4)", 65177, "Выражение под корнем меньше нуля"},
        {"LN(-4)", 65178, "Выражение под логарифмом меньше нуля"},
        {"EXP(1E5)", 65179, "Ошибка в операции с плавающей точкой"},
        {"IF(1)", 65180, "Недостаточное количество аргументов"},
        {"'a", 65181, "Имеются незакрытые кавычки"},
        {"Summa(1)", 65182, "Не определена функция \"SUMMA\""},
        {"Oklad * 2", 65183, "Не определена переменная \"OKLAD\""},
    };
    for (const auto& r : rows) {
        const Outcome o = Direct(QString::fromUtf8(r.text));
        EXPECT_EQ(o.error, r.id) << r.text;
        EXPECT_EQ(o.message, QString::fromUtf8(r.message)) << r.text;
    }
    EXPECT_EQ(ParserErrorText(peElseIfWithoutIf), QStringLiteral("ELSEIF без IF"));
    EXPECT_EQ(ParserErrorText(peElseWithoutIf), QStringLiteral("ELSE без IF"));
    EXPECT_EQ(ParserErrorText(peEndIfWithoutIf), QStringLiteral("ENDIF без IF"));
    EXPECT_EQ(ParserErrorText(peIfWithoutEndIf), QStringLiteral("IF без ENDIF"));
}

TEST(ParserEvaluate, HugeIntegralExponentReturnsQuickly)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Direct(QStringLiteral("1.0001^2000000000")).error, peFloatingPointError);
    EXPECT_EQ(Direct(QStringLiteral("0.5^2000000000")).value.AsDouble(), 0.0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(ParserEvaluate, IfAsksForBothBranches)
{
    T_ExpressionParser p;
    QStringList asked;
    p.OnVariable = [&](const QString& name, Variant& v) {
        asked << name;
        v = Variant(1.0);
        return true;
    };
    Variant v;
    p.Evaluate(QStringLiteral("IF(X, Y, Z)"), v);
    EXPECT_EQ(asked, (QStringList{"X", "Y", "Z"}));
}

TEST(ParserEvaluate, VariableStartsAsIntegerZero)
{
    T_ExpressionParser p;
    p.OnVariable = [](const QString&, Variant&) { return true; };
    Variant v;
    p.Evaluate(QStringLiteral("Q"), v);
    EXPECT_EQ(v.Type(), VarType::Integer);
    EXPECT_EQ(v.AsInteger(), 0);
}

TEST(ParserEvaluate, ParserIsReusableAfterAnError)
{
    T_ExpressionParser p;
    Variant v;
    EXPECT_THROW(p.Evaluate(QStringLiteral("1/0"), v), EExpressionParserError);
    EXPECT_EQ(p.Pos(), 2);
    p.Evaluate(QStringLiteral("2 * 21"), v);
    EXPECT_EQ(v.AsDouble(), 42.0);
}

TEST(ParserPrepare, UpperCaseOutsideLiteralsSameLength)
{
    T_ExpressionParser p;
    QString prepared;
    p.Prepare(QStringLiteral("sin(x) + 'Ab c' + y"), prepared);
    EXPECT_EQ(prepared, QStringLiteral("SIN(X) + 'Ab c' + Y"));
}

// A handler of user functions: MAX(a, b).
bool MaxFunction(T_ExpressionParser& p, const QString& name, Variant& value)
{
    if (name != QLatin1String("MAX"))
        return false;
    Variant a, b;
    p.ReadArgument(a);
    p.ReadArgument(b);
    value = Variant::Compare(a, b) >= 0 ? a : b;
    return true;
}

TEST(ParserFunctions, HandlerReadsItsArguments)
{
    T_ExpressionParser p;
    p.OnFunction = MaxFunction;
    Variant v;
    p.Evaluate(QStringLiteral("max(2, 3 * 2) + 1"), v);
    EXPECT_EQ(v.AsDouble(), 7.0);

    // The compiled form hands such a call back to the text.
    const T_CompiledExpression c = T_ExpressionParser::Compile(QStringLiteral("1 + MAX(SQRT(16), 3)"));
    EXPECT_TRUE(c.HasUserFunctions());
    p.Evaluate(c, v);
    EXPECT_EQ(v.AsDouble(), 5.0);

    try {
        p.Evaluate(QStringLiteral("MAX(1)"), v);
        FAIL();
    } catch (const EExpressionParserError& e) {
        EXPECT_EQ(e.Id(), peNotEnoughArguments);
        EXPECT_EQ(e.Pos(), 6);
    }
    try {
        p.Evaluate(QStringLiteral("MAX(1, 2, 3)"), v);
        FAIL();
    } catch (const EExpressionParserError& e) {
        EXPECT_EQ(e.Id(), peMissingBracket);
        EXPECT_EQ(e.Pos(), 9);
    }
    try {
        p.Evaluate(QStringLiteral("MIN(1, 2)"), v);
        FAIL();
    } catch (const EExpressionParserError& e) {
        EXPECT_EQ(e.Id(), peUnknownFunction);
    }
}

TEST(ParserCompiled, RunsAgainWithNewValues)
{
    // The same compiled formula for many employees, each with his own values.
    const T_CompiledExpression c = T_ExpressionParser::Compile(QStringLiteral("ROUND(S * TB / 168)"));
    ASSERT_EQ(c.Names(), (QStringList{"S", "TB"}));
    struct Scope : T_ParserScope {
        double values[2] = {0, 0};
        bool GetVariable(int symbol, const QString&, Variant& v) override
        {
            v = Variant(values[symbol]);
            return true;
        }
    } scope;
    Variant v;
    scope.values[0] = 10000;
    scope.values[1] = 84;
    c.Run(scope, v);
    EXPECT_EQ(v.AsInteger(), 5000);
    scope.values[0] = 20000;
    scope.values[1] = 168;
    c.Run(scope, v);
    EXPECT_EQ(v.AsInteger(), 20000);
}

TEST(ParserCompiled, SharedSymbolsNumberNamesOnce)
{
    T_ParserSymbols symbols;
    const T_CompiledExpression a = T_ExpressionParser::Compile(QStringLiteral("X + Y"), &symbols);
    const T_CompiledExpression b = T_ExpressionParser::Compile(QStringLiteral("Y * Z"), &symbols);
    EXPECT_EQ(symbols.Count(), 3);
    EXPECT_EQ(symbols.IndexOf(QStringLiteral("Z")), 2);
    EXPECT_EQ(b.Names(), (QStringList{"Y", "Z"}));
    struct Scope : T_ParserScope {
        QList<int> asked;
        bool GetVariable(int symbol, const QString&, Variant& v) override
        {
            asked << symbol;
            v = Variant(2.0);
            return true;
        }
    } scope;
    Variant v;
    b.Run(scope, v);
    EXPECT_EQ(scope.asked, (QList<int>{1, 2}));
    EXPECT_EQ(v.AsDouble(), 4.0);
}

TEST(ParserEvaluate, NestingTooDeepIsAnErrorNotACrash)
{
    const QString deep = QString(100000, u'(') + QStringLiteral("1") + QString(100000, u')');
    const Outcome d = Direct(deep), c = Compiled(deep);
    EXPECT_EQ(d.error, peSyntaxError);
    EXPECT_EQ(d.pos, 201);
    EXPECT_EQ(c.error, d.error);
    EXPECT_EQ(c.pos, d.pos);
    const QString ok = QString(150, u'(') + QStringLiteral("1") + QString(150, u')');
    EXPECT_EQ(Direct(ok).value.AsDouble(), 1.0);
}

TEST(ParserCompiled, DeepExpressionUsesAHeapStack)
{
    QString text = QStringLiteral("1");
    for (int i = 0; i < 20; ++i)
        text = QStringLiteral("(1 + %1)").arg(text);
    EXPECT_EQ(Direct(text).value.AsDouble(), 21.0);
    EXPECT_EQ(Compiled(text).value.AsDouble(), 21.0);
    text = QStringLiteral("1");
    for (int i = 0; i < 20; ++i)
        text = QStringLiteral("%1 + (1").arg(text);
    text += QString(20, u')');
    EXPECT_EQ(Compiled(text).value.AsDouble(), 21.0);
}

} // namespace
