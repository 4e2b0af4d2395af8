// The amounts of accrual entries: every method code of accruals and
// deductions (alone and through the entries' kinds), the built-in types,
// the refusals of SetRow, a reused entry object, and user formulas.

#include "data/Formula.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Money.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "foundation/Parsing.h"
#include "platform/Exceptions.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct MethodCase {
    const char* name;
    int code;
    bool deduction;
    double S, T;
    TFormulaInputs in;
    double expected;
};

// {ST, VN, VU, TF, TB, TD}
const MethodCase kCases[] = {
    {"a1 the sum", 1, false, 1234.567, 0, {}, 1234.57},
    {"a1 half a kopeck away from zero", 1, false, 0.125, 0, {}, 0.13},
    {"a2 half the norm", 2, false, 30000, 0, {0, 0, 0, 84, 168, 0}, 15000.00},
    {"a2 no norm", 2, false, 30000, 0, {0, 0, 0, 84, 0, 0}, 0},
    {"a2 norm at the threshold", 2, false, 30000, 0, {0, 0, 0, 84, 1e-7, 0}, 0},
    {"a3 worked times the rate", 3, false, 150, 0, {0, 0, 0, 10, 0, 0}, 1500},
    {"a4 under the norm", 4, false, 30000, 0, {0, 0, 0, 100, 168, 0}, 17857.14},
    {"a4 over the norm is capped", 4, false, 30000, 0, {0, 0, 0, 200, 168, 0}, 30000},
    {"a4 no norm", 4, false, 30000, 0, {0, 0, 0, 200, 0, 0}, 0},
    {"a65 time times the rate", 65, false, 150, 8, {}, 1200},
    {"a66 share of the norm", 66, false, 30000, 84, {0, 0, 0, 0, 168, 0}, 15000},
    {"a66 no norm", 66, false, 30000, 84, {}, 0},
    {"a67 days of hours", 67, false, 1000, 3, {0, 0, 0, 0, 0, 8}, 375},
    {"a67 no day length", 67, false, 1000, 3, {}, 0},
    {"a129 percent of the base", 129, false, 10, 0, {0, 50000, 0, 0, 0, 0}, 5000},
    {"a130 overtime", 130, false, 50, 0, {100, 0, 0, 180, 168, 0}, 600},
    {"a130 worked exactly the norm", 130, false, 50, 0, {100, 0, 0, 168, 168, 0}, 0},
    {"a131 overtime at the actual rate", 131, false, 50, 0, {0, 36000, 0, 180, 168, 0}, 1200},
    {"a131 no norm", 131, false, 50, 0, {0, 36000, 0, 180, 0, 0}, 0},
    {"a131 under the norm", 131, false, 50, 0, {0, 36000, 0, 160, 168, 0}, 0},
    {"a132 percent of the salary", 132, false, 10, 0, {100, 0, 0, 0, 168, 0}, 1680},
    {"a133 percent of the worked salary", 133, false, 10, 0, {100, 0, 0, 84, 168, 0}, 840},
    {"a134 percent of the worked rate", 134, false, 10, 0, {100, 0, 0, 84, 0, 0}, 840},
    {"a193 percent of the rate for the time", 193, false, 50, 10, {100, 0, 0, 0, 0, 0}, 500},
    {"a193 no time gives the sum", 193, false, 50, 0, {100, 0, 0, 0, 0, 0}, 50},
    {"a193 negative time gives the sum", 193, false, 50, -1, {100, 0, 0, 0, 0, 0}, 50},
    {"a194 percent at the actual rate", 194, false, 50, 8, {0, 32000, 0, 160, 0, 0}, 800},
    {"a194 no time gives the sum", 194, false, 50, 0, {0, 32000, 0, 160, 0, 0}, 50},
    {"a194 nothing worked", 194, false, 50, 8, {0, 32000, 0, 0, 0, 0}, 0},
    {"a197 time at the actual rate", 197, false, 77, 8, {0, 32000, 0, 160, 0, 0}, 1600},
    {"a197 no time gives the sum", 197, false, 77, 0, {0, 32000, 0, 160, 0, 0}, 77},
    {"a197 nothing worked", 197, false, 77, 8, {0, 32000, 0, 0, 0, 0}, 0},
    {"a198 double time at the actual rate", 198, false, 77, 8, {0, 32000, 0, 160, 0, 0}, 3200},
    {"a198 no time gives nothing", 198, false, 77, 0, {0, 32000, 0, 160, 0, 0}, 0},
    {"a199 time at the rate", 199, false, 0, 8, {100, 0, 0, 0, 0, 0}, 800},
    {"a200 double time at the rate", 200, false, 0, 8, {100, 0, 0, 0, 0, 0}, 1600},
    {"a4097 calculation tables", 4097, false, 500, 8, {100, 1000, 0, 160, 168, 8}, 0},
    {"d1 the sum", 1, true, 500, 0, {}, 500},
    {"d129 percent of the base", 129, true, 13, 0, {0, 1000, 0, 0, 0, 0}, 130},
    {"d130 percent of the base, tax taken out before", 130, true, 13, 0, {0, 1000, 300, 0, 0, 0}, 130},
    {"d131 percent of the rest", 131, true, 20, 0, {0, 1000, 300, 0, 0, 0}, 140},
    {"d4097 calculation tables", 4097, true, 20, 0, {0, 1000, 300, 0, 0, 0}, 0},
};

TEST(FormulaMethods, EveryCodeGivesItsAmount)
{
    for (const MethodCase& c : kCases)
        EXPECT_DOUBLE_EQ(RoundToKop(CalcMethodAmount(c.code, c.deduction, c.S, c.T, c.in)), c.expected) << c.name;
}

// ---------------------------------------------------------------- through the entries

class FormulaTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        ASSERT_NE(DNList(), nullptr);
        ASSERT_NE(UserFormulaList(), nullptr);
    }

    // A kind of that method (and built-in type) written to DP.
    static void AddKind(int dopNum, int formula, bool uder, int tip = 0)
    {
        AppendRecordValues(DM()->DP, 0,
            {QStringLiteral("DOPNUM"), QStringLiteral("NAIM"), QStringLiteral("UDER"), QStringLiteral("TIP"),
                QStringLiteral("FORMULA")},
            {Variant(dopNum), Variant(QStringLiteral("Вид %1").arg(dopNum)), Variant(uder), Variant(tip),
                Variant(formula)});
    }
    static std::unique_ptr<T_TabnDop> Entry(int dopNum, double sum, double time)
    {
        auto entry = std::make_unique<T_TabnDop>(1, DNList(), tdkInput);
        entry->DopNum = dopNum;
        entry->Sum = Currency::FromDouble(sum);
        entry->DTime = time;
        return entry;
    }
    static QString SetRowError(T_Formula& f, T_TabnDop* row)
    {
        try {
            f.SetRow(row);
        } catch (const EAppException& e) {
            return e.Message();
        }
        return QStringLiteral("(no error)");
    }
};

TEST_F(FormulaTest, EveryCodeThroughTheKindOfAnEntry)
{
    for (const TCalcMethodInfo& m : AccrualCalcMethods) {
        if (FindCalcMethod(m.Code, true) == &m) // 197 stands twice
            AddKind(1000 + m.Code, m.Code, false);
    }
    for (const TCalcMethodInfo& m : DeductionCalcMethods)
        AddKind(5000 + m.Code, m.Code, true);
    DNList()->Reload();
    T_Formula f(AppContext());
    for (const MethodCase& c : kCases) {
        auto entry = Entry((c.deduction ? 5000 : 1000) + c.code, c.S, c.T);
        f.SetRow(entry.get());
        ASSERT_TRUE(f.Found) << c.name;
        EXPECT_EQ(f.Code, c.code) << c.name;
        EXPECT_EQ(f.Name, GetCalcMethodName(c.code, !c.deduction)) << c.name;
        EXPECT_DOUBLE_EQ(f.Calculate(c.in.ST, c.in.VN, c.in.VU, c.in.TF, c.in.TB, c.in.TD), c.expected) << c.name;
    }
}

TEST_F(FormulaTest, MethodFlagsAndBuiltInTypes)
{
    AddKind(10, 197, false);
    AddKind(11, 1, false, 1); // working-time balance
    AddKind(12, 1, false, 2);
    AddKind(13, 64, false, 3);
    AddKind(14, 64, false);
    AddKind(15, 64, true);
    DNList()->Reload();
    T_Formula f(AppContext());

    auto e = Entry(10, 0, 8);
    f.SetRow(e.get());
    EXPECT_EQ(f.Name, QStringLiteral("Сн=Т*Фс")) << "the first of the two rows of 197";
    EXPECT_TRUE(f.FTime);
    EXPECT_FALSE(f.FValue);
    EXPECT_TRUE(f.FBase);
    EXPECT_FALSE(f.IsUserFormula);

    auto balance = Entry(11, 999, 8);
    f.SetRow(balance.get());
    EXPECT_EQ(f.Code, 199);
    EXPECT_EQ(f.Name, QStringLiteral("Учет баланса рабочего времени"));
    EXPECT_TRUE(f.FTime);
    EXPECT_FALSE(f.FValue || f.FPercent || f.FBase);
    EXPECT_DOUBLE_EQ(f.Calculate(150, 0, 0, 0, 0, 0), 1200) << "T x ST";

    for (int dop : {12, 13}) {
        auto byBalance = Entry(dop, 999, 8);
        f.SetRow(byBalance.get());
        EXPECT_EQ(f.Code, 199) << dop;
        EXPECT_EQ(f.Name, QStringLiteral("Сн=Т*(100%)*Ос")) << dop;
        EXPECT_FALSE(f.IsUserFormula) << dop;
        EXPECT_DOUBLE_EQ(f.Calculate(150, 0, 0, 0, 0, 0), 1200) << dop;
    }

    auto accrual = Entry(14, 0, 0);
    f.SetRow(accrual.get());
    EXPECT_TRUE(f.IsUserFormula);
    auto deduction = Entry(15, 0, 0);
    f.SetRow(deduction.get());
    EXPECT_EQ(f.Code, cmUserFormula);
    EXPECT_FALSE(f.IsUserFormula) << "set only on the accrual path";
}

TEST_F(FormulaTest, NoMethodIsRefusedAndGivesNothing)
{
    AddKind(20, 5, false); // no such accrual method
    AddKind(21, 2, true); // no such deduction method
    AddKind(22, 1, false);
    DNList()->Reload();
    T_Formula f(AppContext());
    EXPECT_EQ(SetRowError(f, nullptr), QStringLiteral("Формула не определена для №???"));
    EXPECT_EQ(f.Name, QStringLiteral("Формула не определена для №???"));
    const struct {
        int dopNum;
        const char* expected;
    } cases[] = {
        {dnVsego, "Формула не определена для №2147483646"},
        {dnFirstReserved, "Формула не определена для №2147163546"},
        {-3, "Формула не определена для №-3"},
        {99, "Формула не определена для №99"},
        {20, "Формула не определена для №20"},
        {21, "Формула не определена для №21"},
    };
    for (const auto& c : cases) {
        auto e = Entry(c.dopNum, 100, 1);
        EXPECT_EQ(SetRowError(f, e.get()), QString::fromUtf8(c.expected)) << c.dopNum;
        EXPECT_FALSE(f.Found);
        EXPECT_EQ(f.Code, 0);
        EXPECT_DOUBLE_EQ(f.Calculate(1, 1, 1, 1, 1, 1), 0) << c.dopNum;
    }
}

TEST_F(FormulaTest, ReusedEntryObjectIsLookedUpAgain)
{
    AddKind(30, 1, false);
    AddKind(31, 65, false);
    DNList()->Reload();
    T_Formula f(AppContext());
    auto e = Entry(30, 100, 3);
    f.SetRow(e.get());
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 100);
    e->DopNum = 31; // the same object, another kind
    f.SetRow(e.get());
    EXPECT_EQ(f.Code, 65);
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 300);

    // A new entry at the address of a freed one.
    e.reset();
    auto again = Entry(30, 100, 3);
    f.SetRow(again.get());
    EXPECT_EQ(f.Code, 1);
}

// ---------------------------------------------------------------- user formulas

TEST_F(FormulaTest, UserFormulaReadsTheValuesByName)
{
    AddKind(40, 64, false);
    DNList()->Reload();
    UserFormulaList()->SetText(40, QStringLiteral("// hours at the actual rate\nRESULT := s*T/tb + NN/1000"));
    T_Formula f(AppContext());
    auto e = Entry(40, 30000, 84);
    f.SetRow(e.get());
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 168, 0), 15000.04);
    EXPECT_DOUBLE_EQ(f.GetInfo()->NN, 40);

    Variant v;
    EXPECT_TRUE(f.GetVariable(QStringLiteral("tb"), v));
    EXPECT_DOUBLE_EQ(v.AsDouble(), 168);
    EXPECT_FALSE(f.GetVariable(QStringLiteral("XYZ"), v));
    EXPECT_TRUE(v.IsEmpty());

    UserFormulaList()->SetText(40, QStringLiteral("IF T > 100\nRESULT := S\nELSE\nRESULT := S/2\nENDIF"));
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 168, 0), 15000) << "an edited text is used at once";
    e->DTime = 120;
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 168, 0), 30000);

    T_UserFormula editor; // an editor's own object
    editor.DopNum = 40;
    editor.Text = QStringLiteral("RESULT := VN - VU + ST + TF + TD");
    editor.Save();
    EXPECT_DOUBLE_EQ(f.Calculate(1, 1000, 300, 10, 168, 8), 719);
}

TEST_F(FormulaTest, TimeNormIsFreshForEveryEntry)
{
    AddKind(41, 64, false);
    AddKind(42, 64, true);
    DNList()->Reload();
    UserFormulaList()->SetText(41, QStringLiteral("RESULT := TK"));
    UserFormulaList()->SetText(42, QStringLiteral("RESULT := TK + 1"));
    T_Formula f(AppContext());
    auto accrual = Entry(41, 0, 0);
    f.SetRow(accrual.get());
    ASSERT_TRUE(f.IsUserFormula);
    f.GetInfo()->TK = 176;
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 176);
    auto deduction = Entry(42, 0, 0);
    f.SetRow(deduction.get());
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 1) << "no TK of the earlier accrual";
}

TEST_F(FormulaTest, MissingOrBlankFormulaIsRefused)
{
    AddKind(43, 64, false);
    DNList()->Reload();
    T_Formula f(AppContext());
    auto e = Entry(43, 100, 1);
    f.SetRow(e.get());
    for (const char* text : {"", "RESULT := 1", "   "}) {
        UserFormulaList()->SetText(43, QString::fromUtf8(text));
        if (QString::fromUtf8(text).trimmed().isEmpty()) {
            try {
                f.Calculate(0, 0, 0, 0, 0, 0);
                ADD_FAILURE() << "no exception for '" << text << "'";
            } catch (const EAppException& err) {
                EXPECT_EQ(err.Message(), QStringLiteral("Не определена формула пользователя начисления №43"));
            }
        } else {
            EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 1);
        }
    }
}

TEST_F(FormulaTest, FailingFormulaIsKeptAsTheLastFormulaError)
{
    AddKind(44, 64, false);
    AddKind(45, 64, false);
    DNList()->Reload();
    UserFormulaList()->SetText(44, QStringLiteral("x := 1\nRESULT := S / (T - T)"));
    UserFormulaList()->SetText(45, QStringLiteral("RESULT := 1E15"));
    T_Formula f(AppContext());
    auto e = Entry(44, 100, 2);
    f.SetRow(e.get());
    EXPECT_THROW(f.Calculate(0, 0, 0, 0, 0, 0), EExpressionParserError);
    const TFormulaError& err = AppContext().FormulaError;
    EXPECT_EQ(err.DopNum, 44);
    EXPECT_EQ(err.Line, 1);
    EXPECT_GT(err.Col, 1);
    EXPECT_FALSE(err.Message.isEmpty());

    auto big = Entry(45, 0, 0);
    f.SetRow(big.get());
    try {
        f.Calculate(0, 0, 0, 0, 0, 0);
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& x) {
        EXPECT_EQ(
            x.Message(), QStringLiteral("Результат формулы пользователя начисления №45 вне допустимого диапазона"));
    }
    EXPECT_EQ(AppContext().FormulaError.DopNum, 45);

    UserFormulaList()->SetText(45, QStringLiteral("RESULT := 2"));
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 2);
    EXPECT_EQ(AppContext().FormulaError.DopNum, -1) << "a calculation starts with no error";
}

// A context of its own: the formula reads nothing of the record.
class OwnContext final : public IFormulaContext {
public:
    T_DNList* Directory = nullptr;
    T_UserFormulaList* Formulas = nullptr;
    TFormulaError Error;
    T_DNList* FormulaDirectory() override { return Directory; }
    T_UserFormulaList* FormulaTexts() override { return Formulas; }
    TFormulaError& LastFormulaError() override { return Error; }
};

TEST_F(FormulaTest, ComputesWithTheContextItIsGivenAndNothingElse)
{
    AddKind(46, 64, false);
    DNList()->Reload();
    UserFormulaList()->SetText(46, QStringLiteral("RESULT := S * 2"));
    auto entry = Entry(46, 10, 0);
    entry->Owner = nullptr; // the kind comes from the context's directory

    OwnContext empty;
    T_Formula bare(empty);
    EXPECT_EQ(SetRowError(bare, entry.get()), QStringLiteral("Формула не определена для №46"))
        << "no directory in the context: the program's is not used";

    OwnContext own;
    own.Directory = DNList();
    T_Formula f(own);
    f.SetRow(entry.get());
    EXPECT_THROW(f.Calculate(0, 0, 0, 0, 0, 0), EAppException) << "no formulas in the context";
    T_UserFormulaList formulas;
    formulas.Reload();
    own.Formulas = &formulas;
    EXPECT_DOUBLE_EQ(f.Calculate(0, 0, 0, 0, 0, 0), 20);

    UserFormulaList()->SetText(46, QStringLiteral("RESULT := 1E15"));
    formulas.Reload();
    EXPECT_THROW(f.Calculate(0, 0, 0, 0, 0, 0), EAppException);
    EXPECT_EQ(own.Error.DopNum, 46) << "the error goes to the context";
    EXPECT_EQ(AppContext().FormulaError.DopNum, -1) << "not to the record";
}

} // namespace
