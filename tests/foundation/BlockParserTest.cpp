#include "foundation/BlockParser.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

#include <QHash>

namespace {

// The pay calculation's values as outer variables.
bool Outer(const QString& name, Variant& value)
{
    static const QHash<QString, double> vars{{"S", 30000.0}, {"T", 8.0}, {"TB", 168.0}, {"TF", 84.0}};
    const auto it = vars.constFind(name);
    if (it == vars.constEnd())
        return false;
    value = Variant(it.value());
    return true;
}

struct Outcome {
    Variant value;
    int error = 0;
    QString message;
    int line = -1;
    int col = -1;
    int pos = -1;
};

template <typename RunFn> Outcome RunWith(RunFn run)
{
    T_BlockParser r;
    r.OnVariable = Outer;
    Outcome o;
    try {
        run(r, o.value);
        return o;
    } catch (const EExpressionParserError& e) {
        o.error = e.Id();
        o.message = e.Message();
        o.pos = e.Pos();
    }
    r.GetPosition(o.col, o.line);
    return o;
}

Outcome Direct(const QString& program)
{
    return RunWith([&](T_BlockParser& r, Variant& v) { r.Run(program, v); });
}

Outcome Compiled(const QString& program)
{
    const T_ParserCompiledText compiled(program);
    return RunWith([&](T_BlockParser& r, Variant& v) { r.Run(compiled, v); });
}

QString Show(const Outcome& o)
{
    if (o.error)
        return QStringLiteral("error %1 \"%2\" at line %3 col %4").arg(o.error).arg(o.message).arg(o.line).arg(o.col);
    return QStringLiteral("%1 %2").arg(Variant::TypeName(o.value.Type()), VarToStr(o.value));
}

struct Row {
    const char* name;
    const char* program;
    Variant value;
    int error = 0;
    int line = 0; // 0-based
    int col = 0;
};

Row Val(const char* name, const char* program, Variant v) { return {name, program, std::move(v), 0, 0, 0}; }
Row Err(const char* name, const char* program, int error, int line, int col)
{
    return {name, program, Variant(), error, line, col};
}

std::vector<Row> Rows()
{
    return {
        Val("single assignment", "RESULT := 5", 5.0),
        Val("empty program is currency zero", "", Currency()),
        Val("blank lines only", "\n   \n\t\n", Currency()),
        Val("own variable, names ignore case", "x := 2\nRESULT := X * 3", 6.0),
        Val("outer variables", "RESULT := S * TF / TB", 15000.0),
        Val("own variable hides an outer one", "A := S\nS := 5\nRESULT := A + S", 30005.0),
        Val("result read before it is set", "RESULT := RESULT + 1", 1.0),
        Val("keywords ignore case", "if 1\nresult := 2\nendif", 2.0),
        Val("tabs are blanks", "\tRESULT\t:=\t3", 3.0),
        Val("all line ends", "x := 2\r\nRESULT := x\rRESULT := RESULT * 2\n", 4.0),
        Val("a word may start with a digit", "1X := 5", Currency()),
        Val("comparison as condition", "IF S > 100\nRESULT := 1\nENDIF", 1.0),
        // Blocks
        Val("IF false, ELSE runs", "IF 0\nx := 1\nELSE\nx := 2\nENDIF\nRESULT := X", 2.0),
        Val("IF true, ELSE skipped", "IF 1\nx := 1\nELSE\nx := 2\nENDIF\nRESULT := X", 1.0),
        Val("taken IF skips a true ELSEIF", "IF 1\nx := 1\nELSEIF 1\nx := 2\nELSE\nx := 3\nENDIF\nRESULT := X", 1.0),
        Val("taken IF skips ELSE after a false ELSEIF", "IF 1\nx := 1\nELSEIF 0\nELSE\nx := 3\nENDIF\nRESULT := X",
            1.0),
        Val("ELSEIF taken", "IF 0\nx := 1\nELSEIF 1\nx := 2\nELSE\nx := 3\nENDIF\nRESULT := X", 2.0),
        Val("taken ELSEIF skips a later true ELSEIF",
            "IF 0\nx := 1\nELSEIF 1\nx := 2\nELSEIF 1\nx := 3\nENDIF\nRESULT := X", 2.0),
        Val("nothing taken, ELSE runs", "IF 0\nx := 1\nELSEIF 0\nx := 2\nELSE\nx := 3\nENDIF\nRESULT := X", 3.0),
        Val("nested IF inside a skipped block",
            "x := 0\nIF 0\n IF 1\n  x := 1\n ELSE\n  x := 2\n ENDIF\nELSE\n x := x + 3\nENDIF\nRESULT := X", 3.0),
        Val("nested IF inside a taken block", "IF 1\n IF 0\n  x := 1\n ELSE\n  x := 2\n ENDIF\nENDIF\nRESULT := X",
            2.0),
        Val("ELSEIF of a skipped nested IF stays skipped",
            "RESULT := 0\nIF 0\n IF 0\n ELSEIF 1\n  RESULT := 1\n ELSE\n  RESULT := 2\n ENDIF\nENDIF", 0.0),
        Val("skipped assignment is not evaluated", "IF 0\nRESULT := 1/0\nENDIF", Currency()),
        Val("skipped condition is not evaluated", "IF 0\nIF 1/0\nENDIF\nENDIF", Currency()),
        Val("ELSEIF after a taken branch is not evaluated", "IF 1\nRESULT := 7\nELSEIF 1/0\nENDIF", 7.0),
        Val("statements after ENDIF run", "IF 0\nENDIF\nRESULT := 9", 9.0),
        // Comments
        Val("brace comment before an assignment", "{ first } RESULT := 7", 7.0),
        Val("line comment after an assignment", "RESULT := 7 // seven", 7.0),
        Val("brace comment across lines", "{ one\n two }\nRESULT := 8", 8.0),
        Val("nested braces", "{ a { b } still } RESULT := 9", 9.0),
        Val("slashes inside braces do not count", "{ // } RESULT := 4", 4.0),
        Val("comment only", "{ nothing }", Currency()),
        Val("open brace hides the rest", "RESULT := 1 {\nRESULT := 2", 1.0),
        Err("closing brace outside a comment is text", "RESULT := 1 }", peSyntaxError, 0, 13),
        Err("slashes inside a literal start a comment", "RESULT := 'a//b'", peUnclosedQuote, 0, 11),
        Err("brace inside a literal starts a comment", "RESULT := '{'", peUnclosedQuote, 0, 11),
        // Errors and their places
        Err("ENDIF without IF", "RESULT := 1\nENDIF", peEndIfWithoutIf, 1, 1),
        Err("ELSE without IF", "  ELSE", peElseWithoutIf, 0, 3),
        Err("ELSE after ELSE", "IF 1\nELSE\nELSE\nENDIF", peElseWithoutIf, 2, 1),
        Err("ELSEIF without IF", "ELSEIF 1", peElseIfWithoutIf, 0, 1),
        Err("ELSEIF after ELSE", "IF 1\nELSE\nELSEIF 1\nENDIF", peElseIfWithoutIf, 2, 1),
        Err("IF without ENDIF", "RESULT := 1\n  IF 1\nRESULT := 2", peIfWithoutEndIf, 1, 3),
        Err("innermost open IF is shown", "IF 1\nIF 1\nENDIF\n\tIF 0\nENDIF\nIF 1", peIfWithoutEndIf, 5, 1),
        Err("error at the end of an expression", "x := 1\nx := 1 + ", peSyntaxError, 1, 10),
        Err("error at the operator", "RESULT := 1/0", peDivisionByZero, 0, 12),
        Err("decimal comma", "RESULT := 1,5", peSyntaxError, 0, 12),
        Err("keyword glued to a bracket", "IF(S > 1)\nENDIF", peSyntaxError, 0, 3),
        Err("equals instead of assignment", "X = 5", peSyntaxError, 0, 3),
        Err("unknown statement word", "PRINT 5", peSyntaxError, 0, 7),
        Err("no word", "  := 5", peSyntaxError, 0, 3),
        Err("word glued to a dot", "X.Y := 5", peSyntaxError, 0, 2),
        Err("malformed line in a skipped block", "IF 0\nRESULT = 1\nENDIF", peSyntaxError, 1, 8),
        Err("text after ELSE", "IF 0\nELSE x := 1\nENDIF", peSyntaxError, 1, 6),
        Err("text after ENDIF", "IF 0\nENDIF x", peSyntaxError, 1, 7),
        Err("unknown variable", "RESULT := Q", peUnknownVariable, 0, 11),
        Err("condition that is no truth", "IF 'abc'\nENDIF", peFloatingPointError, 0, 4),
        Err("empty condition", "IF\nENDIF", peEmptyExpression, 0, 3),
        Err("empty assignment", "X :=", peEmptyExpression, 0, 5),
        Err("error inside a taken branch", "IF 1\n  Y := SQRT(-1)\nENDIF", peNegativeRoot, 1, 8),
        Err("error after a comment keeps its column", "{c} RESULT := 2 *", peSyntaxError, 0, 18),
    };
}

class RunnerEdge : public testing::TestWithParam<Row> {};

TEST_P(RunnerEdge, DirectAndCompiledAgree)
{
    const Row& row = GetParam();
    const QString program = QString::fromUtf8(row.program);
    const Outcome direct = Direct(program);
    const Outcome compiled = Compiled(program);
    if (row.error) {
        EXPECT_EQ(direct.error, row.error) << Show(direct).toStdString();
        EXPECT_EQ(direct.line, row.line) << Show(direct).toStdString();
        EXPECT_EQ(direct.col, row.col) << Show(direct).toStdString();
        EXPECT_EQ(direct.pos, direct.col) << "the error carries the column";
        if (row.error != peUnknownVariable) {
            EXPECT_EQ(direct.message, ParserErrorText(row.error)) << Show(direct).toStdString();
        }
    } else {
        EXPECT_EQ(direct.error, 0) << Show(direct).toStdString();
        EXPECT_TRUE(SameVariant(direct.value, row.value)) << Show(direct).toStdString();
    }
    EXPECT_EQ(compiled.error, direct.error) << Show(compiled).toStdString();
    EXPECT_EQ(compiled.message, direct.message);
    EXPECT_EQ(compiled.line, direct.line);
    EXPECT_EQ(compiled.col, direct.col);
    EXPECT_EQ(compiled.pos, direct.pos);
    EXPECT_TRUE(SameVariant(compiled.value, direct.value)) << Show(compiled).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, RunnerEdge, testing::ValuesIn(Rows()), RowName<Row>);

TEST(Runner, UnknownNameIsNamedInTheMessage)
{
    const Outcome o = Direct(QStringLiteral("RESULT := oklad * 2"));
    EXPECT_EQ(o.message, QStringLiteral("Не определена переменная \"OKLAD\""));
}

TEST(Runner, OwnVariablesAndResult)
{
    T_BlockParser r;
    Variant v;
    r.GetVar(QStringLiteral("result"), v);
    EXPECT_EQ(v.Type(), VarType::Currency);
    r.GetVar(QStringLiteral("X"), v);
    EXPECT_TRUE(v.IsEmpty());
    r.Run(QStringLiteral("x := 2\ny := 'Abc'\nRESULT := x + 1"), v);
    EXPECT_EQ(v.AsDouble(), 3.0);
    ASSERT_EQ(r.Variables().Count(), 2);
    EXPECT_EQ(r.Variables()[0]->Name, QStringLiteral("X"));
    EXPECT_EQ(r.Variables().FindVariable(QStringLiteral("Y"))->Value.AsString(), QStringLiteral("Abc"));
    EXPECT_EQ(r.Variables().FindVariable(QStringLiteral("y")), nullptr); // the list matches exactly
    r.SetVar(QStringLiteral("x"), Variant(10.0));
    r.GetVar(QStringLiteral("X"), v);
    EXPECT_EQ(v.AsDouble(), 10.0);
    EXPECT_EQ(r.Variables().Count(), 2);
    r.SetVar(QStringLiteral("Result"), Variant(1.5));
    r.GetVar(QStringLiteral("RESULT"), v);
    EXPECT_EQ(v.AsDouble(), 1.5);
}

TEST(Runner, OuterRequestsComeAfterOwnVariables)
{
    T_BlockParser r;
    QStringList asked;
    r.OnVariable = [&](const QString& name, Variant& v) {
        asked << name;
        v = Variant(100.0);
        return true;
    };
    Variant v;
    r.Run(QStringLiteral("A := S\nS := 1\nRESULT := S + A + RESULT"), v);
    EXPECT_EQ(v.AsDouble(), 101.0);
    EXPECT_EQ(asked, QStringList{"S"}); // RESULT and the own S never reach the handler
}

TEST(Runner, SplitKeepsColumnsAndTrimsCommentLines)
{
    const QStringList lines
        = T_BlockParser::SplitProgram(QStringLiteral("a := 1 { c }\n{ x\n y } b := 2 // z\nc := 3   \n\r\nd := '//'"));
    const QStringList expected{
        "a := 1",
        "",
        "     b := 2",
        "c := 3   ", // no comment here: left as it was
        "",
        "d := '",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(T_BlockParser::SplitProgram(QString()).isEmpty());
    EXPECT_EQ(T_BlockParser::SplitProgram(QStringLiteral("a\n")).size(), 1);
}

TEST(Runner, PositionOnAStatementErrorAndLineBase)
{
    T_BlockParser r;
    Variant v;
    try {
        r.Run(QStringLiteral("x := 1\n\n   x := (1 + 2"), v);
        FAIL();
    } catch (const EExpressionParserError& e) {
        EXPECT_EQ(e.Id(), peMissingBracket);
    }
    int col = 0, line = 0;
    r.GetPosition(col, line);
    EXPECT_EQ(line, 2); // 0-based: the third line
    EXPECT_EQ(col, 9); // the "(" left open
    r.SetPosition(4, 1);
    r.GetPosition(col, line);
    EXPECT_EQ(col, 4);
    EXPECT_EQ(line, 1);
}

// A source that binds the pay calculation's names by number.
class PaySource final : public T_ParserVariableSource {
public:
    double values[3] = {0, 0, 0};
    mutable int lookups = 0;
    int IndexOf(const QString& name) const override
    {
        ++lookups;
        static const QStringList names{"S", "TF", "TB"};
        return int(names.indexOf(name));
    }
    void GetValue(int index, Variant& value) const override { value = Variant(values[index]); }
    bool GetReal(int index, double& value) const override
    {
        value = values[index];
        return true;
    }
};

TEST(RunnerCompiled, ManyEmployeesOneProgram)
{
    const T_ParserCompiledText program(QStringLiteral("IF TB > 0\n"
                                                      "  RESULT := ROUND(S * TF / TB * 100) / 100\n"
                                                      "ENDIF\n"));
    PaySource source;
    T_BlockParser r;
    r.SetVariableSource(&source);
    const double rows[][3] = {{30000, 84, 168}, {12345.67, 100, 168}, {20000, 10, 0}};
    for (const auto& row : rows) {
        std::copy(std::begin(row), std::end(row), source.values);
        Variant compiled, direct;
        r.Run(program, compiled);
        T_BlockParser fresh;
        fresh.SetVariableSource(&source);
        fresh.Run(program.Program(), direct);
        EXPECT_TRUE(SameVariant(compiled, direct)) << row[0];
    }
    Variant v;
    source.values[0] = 30000;
    source.values[1] = 84;
    source.values[2] = 168;
    r.Run(program, v);
    EXPECT_EQ(v.AsDouble(), 15000.0);
    const int before = source.lookups;
    r.Run(program, v);
    EXPECT_EQ(source.lookups, before) << "names are bound once per program";
}

TEST(RunnerCompiled, EveryRunStartsFresh)
{
    // An own variable of one employee must not leak into the next one.
    const T_ParserCompiledText program(QStringLiteral("IF S > 100\nX := 1\nENDIF\nRESULT := X"));
    PaySource source;
    T_BlockParser r;
    r.SetVariableSource(&source);
    Variant v;
    source.values[0] = 200;
    r.Run(program, v);
    EXPECT_EQ(v.AsDouble(), 1.0);
    source.values[0] = 50;
    try {
        r.Run(program, v);
        FAIL() << "X from the previous run was used";
    } catch (const EExpressionParserError& e) {
        EXPECT_EQ(e.Id(), peUnknownVariable);
    }
    EXPECT_EQ(r.Variables().Count(), 0);
}

TEST(RunnerCompiled, SourceComesBeforeTheHandler)
{
    PaySource source;
    source.values[0] = 7;
    T_BlockParser r;
    r.SetVariableSource(&source);
    r.OnVariable = [](const QString& name, Variant& v) {
        if (name != QLatin1String("K"))
            return false;
        v = Variant(QStringLiteral("2"));
        return true;
    };
    const T_ParserCompiledText program(QStringLiteral("RESULT := S * K"));
    Variant compiled, direct;
    r.Run(program, compiled);
    r.Run(program.Program(), direct);
    EXPECT_EQ(compiled.AsDouble(), 14.0);
    EXPECT_TRUE(SameVariant(compiled, direct));
}

TEST(RunnerCompiled, FunctionHandlerIsUsed)
{
    T_BlockParser r;
    r.OnFunction = [](T_ExpressionParser& p, const QString& name, Variant& value) {
        if (name != QLatin1String("TWICE"))
            return false;
        p.ReadArgument(value);
        value = Variant(value.AsDouble() * 2);
        return true;
    };
    const T_ParserCompiledText program(QStringLiteral("x := 4\nRESULT := twice(x) + 1"));
    Variant v;
    r.Run(program, v);
    EXPECT_EQ(v.AsDouble(), 9.0);
    T_BlockParser none;
    EXPECT_THROW(none.Run(program, v), EExpressionParserError);
}

} // namespace
