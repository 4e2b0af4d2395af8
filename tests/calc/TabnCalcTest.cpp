// The pay calculation of one employee and of a department: every scenario
// on a small data base with the amounts computed by hand in the comments.
// March 2024, the main calendar with 160 hours and 8.2-hour days in March,
// income tax 13% (20% above 100000) on everything accrued.

#include "calc/TabnCalc.h"
#include "calc/RTabl.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "db/CallHook.h"
#include "db/Cursor.h"
#include "db/FolderWrites.h"
#include "db/Session.h"
#include "platform/Exceptions.h"
#include "support/CalcBuilders.h"
#include "support/Checks.h"
#include "support/RecordingProgress.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>

// Readable lists in failure messages.
void PrintTo(const QList<QString>& list, std::ostream* os) { *os << list.join(QStringLiteral(" | ")).toStdString(); }

namespace {

const TDateTime kJan2024 = EncodeDate(2024, 1, 1);
const TDateTime kMar2024 = EncodeDate(2024, 3, 1);
const TDateTime kDec2024 = EncodeDate(2024, 12, 31);

// Kinds of the clerk.
constexpr qint32 kBonus = 250; // user formula RESULT := ST * TK / 10
constexpr qint32 kUnion = 310; // deduction, 1% of the stage base
constexpr qint32 kScale = 400; // deduction by table

// "DopNum time sum" per row.
QString RowText(const T_TabnDop& e)
{
    return QStringLiteral("%1 %2 %3").arg(e.DopNum).arg(e.DTime, 0, 'f', 2).arg(e.Sum.ToDouble(), 0, 'f', 2);
}
QString Row(qint32 dopNum, double time, double sum)
{
    return QStringLiteral("%1 %2 %3").arg(dopNum).arg(time, 0, 'f', 2).arg(sum, 0, 'f', 2);
}
QStringList Rows(const T_TabnDopList& list)
{
    QStringList rows;
    for (const T_TabnDop* e : list)
        rows << RowText(*e);
    return rows;
}

// The eight total rows after the entries' own rows, in number order as
// they are read back.
QStringList Totals(double dayLength, double toPay, double balance, double deducted, double worked, double accrued,
    double pay, double sumTo, double months, double sumAll)
{
    return {Row(dnPNSumOsv, 0, 0), Row(dnPNDopOsv, 0, 0), Row(dnPNSumAll, months, sumAll), Row(dnPNSumTo, 0, sumTo),
        Row(dnPNPay, 0, pay), Row(dnNachis, worked, accrued), Row(dnUder, balance, deducted),
        Row(dnVsego, dayLength, toPay)};
}

class TabnCalcTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AppContext().Cfg.Workdate = kMar2024;
        AddBuiltInKinds();
        povrem = KindOfTip(dtPovrem);
        sdel = KindOfTip(dtSdel);
        tax = KindOfTip(dtPodoh);
        premia = KindOfTip(dtPremia);
        // Tax on everything accrued before it (its stage base).
        SetRecordValuesByKey(DM()->DP, {Variant(tax)}, {QStringLiteral("TABL")}, {Variant(0)});
        DNList()->SetLoaded(false);
        AddCalendar(0, kJan2024, kDec2024, {{3, 160}});
        AddTaxType(1, QStringLiteral("Основная"));
        TaxTable(kJan2024);
        sources = CalcSources(AppContext());
        sources.AutoCalc = true;
    }

    void TaxTable(TDateTime yearBeg, int tip = 1)
    {
        TTaxTableSpec t;
        t.DateBeg = kJan2024;
        t.YearBeg = yearBeg;
        t.YearEnd = kDec2024;
        t.Lines = {{0, 0, 13}, {100000, 13000, 20}};
        AddTaxTable(tip, t);
    }

    // CalcAndCompare under a handler that collects the messages.
    std::unique_ptr<T_rTabn> Run(qint32 tabn, bool compare = false)
    {
        errors.clear();
        auto calc = std::make_unique<T_rTabn>(sources);
        calc->SetTabNum(tabn);
        calc->Load();
        calc->CompareMode = compare;
        calc->OnError = [this](T_rTabn*, const QString& msg, bool&) { errors << msg; };
        calc->CalcAndCompare();
        return calc;
    }

    QStringList StoredRows(qint32 tabn)
    {
        T_TabnDopList nc(DNList(), tdkResults);
        nc.Date = kMar2024;
        nc.SetTabn(tabn);
        nc.SetSortMode(0);
        QStringList rows;
        for (const T_TabnDop* e : nc) {
            if (e->DopNum != dnBegin)
                rows << RowText(*e);
        }
        return rows;
    }

    std::pair<double, TDateTime> StoredSum(qint32 tabn)
    {
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        EXPECT_TRUE(sr.FindKey({Variant(tabn)}));
        return {
            sr.FieldByName(QStringLiteral("SUM")).AsFloat(), sr.FieldByName(QStringLiteral("DATERAS")).AsDateTime()};
    }

    TCalcSources sources;
    QStringList errors;
    qint32 povrem = 0, sdel = 0, tax = 0, premia = 0;
};

// ---------------------------------------------------------------- one employee, saved

struct TScenario {
    const char* name;
    TCardSpec card;
    QList<TInputSpec> input; // povrem/sdel/premia given as -1/-2/-3
    QStringList rows; // without the totals
    QStringList totals;
    QStringList messages;
};

TEST_F(TabnCalcTest, ScenariosSaveResultsAndAmount)
{
    TCardSpec salaried;
    salaried.Okl = 16000;
    TCardSpec piece;
    piece.Ksop = 2;
    piece.Okl = 1000;
    TCardSpec dismissed = salaried;
    dismissed.DateRelease = EncodeDate(2024, 2, 10);
    TCardSpec leavingInMonth = salaried;
    leavingInMonth.DateRelease = EncodeDate(2024, 3, 10);

    const QList<TScenario> scenarios = {
        // Rate 16000 / 160 = 100; AutoCalc: 160 h x 100 = 16000; tax 13% = 2080;
        // to pay 16000 - 2080 = 13920.
        {"salaried full norm", salaried, {}, {Row(povrem, 160, 16000), Row(tax, 0, 2080)},
            Totals(8.2, 13920, 160, 2080, 160, 16000, 2080, 16000, 1, 16000), {}},
        // 80 h entered (sum cleared): 80 x 100 = 8000, counted once: TF 80;
        // tax 1040; to pay 6960.
        {"part month", salaried, {{-1, 80, 5, 5}}, {Row(povrem, 80, 8000), Row(tax, 0, 1040)},
            Totals(8.2, 6960, 160, 1040, 80, 8000, 1040, 8000, 1, 8000), {}},
        // Piece-work, rate 1000 / 100 = 10: 100 x 10 = 1000; tax 130; no
        // full norm added since AutoCalc is off for it (see below).
        {"piece work", piece, {{-2, 100, 0, 0}}, {Row(sdel, 100, 1000), Row(tax, 0, 130)},
            Totals(8.2, 870, 160, 130, 100, 1000, 130, 1000, 1, 1000), {}},
        // Dismissed in February: time entries removed, premium 3000 kept,
        // no tax (the tax entry leaves no row); to pay 3000.
        {"dismissed", dismissed, {{-1, 80, 0, 0}, {-3, 0, 3000, 0}}, {Row(premia, 0, 3000)},
            Totals(8.2, 3000, 160, 0, 0, 3000, 0, 0, 0, 3000), {}},
        // Leaving on 10 March is not dismissed for March: 16000 + 3000,
        // tax 13% of 19000 = 2470; to pay 16530.
        {"dismissed within the month", leavingInMonth, {{-3, 0, 3000, 0}},
            {Row(povrem, 160, 16000), Row(premia, 0, 3000), Row(tax, 0, 2470)},
            Totals(8.2, 16530, 160, 2470, 160, 19000, 2470, 19000, 1, 19000), {}},
        // 400 h entered against 160: worked time above twice the norm warns.
        {"overtime warning", salaried, {{-1, 400, 0, 0}}, {Row(povrem, 400, 40000), Row(tax, 0, 5200)},
            Totals(8.2, 34800, 160, 5200, 400, 40000, 5200, 40000, 1, 40000),
            {QStringLiteral("Отработанного (400,00) времени больше календарного !")}},
    };
    for (const TScenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        sources.AutoCalc = QLatin1String(s.name) != QLatin1String("piece work");
        const qint32 tabn = AddCard(s.card);
        QList<TInputSpec> input = s.input;
        for (TInputSpec& e : input)
            e.DopNum = e.DopNum == -1 ? povrem : e.DopNum == -2 ? sdel : premia;
        SaveInput(tabn, input);
        const auto calc = Run(tabn);
        EXPECT_EQ(errors, s.messages);
        EXPECT_EQ(StoredRows(tabn), s.rows + s.totals);
        const auto [sum, dateRas] = StoredSum(tabn);
        EXPECT_DOUBLE_EQ(sum, s.totals.last().section(QLatin1Char(' '), 2).toDouble());
        EXPECT_DOUBLE_EQ(calc->Sum, sum);
        EXPECT_EQ(dateRas, kMar2024);
    }
}

TEST_F(TabnCalcTest, DismissedWithPNReleasedPaysTax)
{
    TCardSpec card;
    card.Okl = 16000;
    card.DateRelease = EncodeDate(2024, 2, 10);
    const qint32 tabn = AddCard(card);
    SaveInput(tabn, {{premia, 0, 3000, 0}});
    sources.PNReleased = true;
    Run(tabn);
    // Tax on the premium: 13% of 3000 = 390.
    EXPECT_EQ(StoredRows(tabn).mid(0, 2), QStringList({Row(premia, 0, 3000), Row(tax, 0, 390)}));
}

// A user formula reads TK (the calendar's hours); the deduction takes 1% of
// every accrual before it.
TEST_F(TabnCalcTest, UserFormulaAndDeductionFromStageBase)
{
    AddKind({.DopNum = kBonus, .Naim = QStringLiteral("Надбавка"), .Formula = cmUserFormula, .StadiaF = 100});
    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := ST * TK / 10"));
    AddKind({.DopNum = kUnion,
        .Naim = QStringLiteral("Профвзнос"),
        .Uder = true,
        .Formula = 129,
        .Sum = 1,
        .StadiaF = 150});
    TCardSpec card;
    card.Okl = 16000;
    const qint32 tabn = AddCard(card);
    SaveInput(tabn, {{kBonus, 1, 0, 0}});
    Run(tabn);
    EXPECT_EQ(errors, QStringList());
    // Bonus 100 x 160 / 10 = 1600; accrued 17600; tax 13% = 2288; union
    // dues 1% of 17600 = 176 (entered with sum 1 and percent 1 by default);
    // deducted 2464; to pay 15136.
    EXPECT_EQ(StoredRows(tabn),
        QStringList({Row(povrem, 160, 16000), Row(kBonus, 1, 1600), Row(tax, 0, 2288), Row(kUnion, 0, 176)})
            + Totals(8.2, 15136, 160, 2464, 160, 17600, 2288, 17600, 1, 17600));
}

// The tax year's first month starts the totals at 0; a later month carries
// them. Last month: paid 1000, taxable 8000, income 8000 in 1 month, to pay 500.
TEST_F(TabnCalcTest, TaxTotalsStartInTheFirstMonthAndCarryLater)
{
    AddTaxType(2, QStringLiteral("Год с марта"));
    TaxTable(kMar2024, 2);
    struct Case {
        const char* name;
        int taxType;
        QStringList totals;
    } cases[] = {
        // 500 + 16000 - 2080 = 14420 either way.
        {"first month", 2, Totals(8.2, 14420, 160, 2080, 160, 16000, 2080, 16000, 1, 16000)},
        {"later month", 1, Totals(8.2, 14420, 160, 2080, 160, 16000, 3080, 24000, 2, 24000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCardSpec card;
        card.Okl = 16000;
        card.SpnTabl = c.taxType;
        const qint32 tabn = AddCard(card);
        SaveMonthTotals(
            tabn, kMar2024, {{dnVsego, 8.2, 500}, {dnPNPay, 0, 1000}, {dnPNSumTo, 0, 8000}, {dnPNSumAll, 1, 8000}});
        Run(tabn);
        EXPECT_EQ(errors, QStringList());
        EXPECT_EQ(StoredRows(tabn).mid(2), c.totals);
    }
}

// ---------------------------------------------------------------- by table

TEST(RtScaleAmountTest, ScaleLikeTheMonthlyIncomeTax)
{
    T_RtTable t;
    t.Sum = Currency::FromInt(1000); // exempt
    t.CursValut = 1;
    for (auto [lower, sum, proc] : {std::tuple{500.0, 0.0, 10.0}, {10000.0, 1000.0, 20.0}}) {
        T_RtLine* line = t.AddLine();
        line->Lower = lower;
        line->Sum = sum;
        line->Proc = proc;
    }
    struct Case {
        double base, amount;
    } cases[] = {
        {900, 0}, // below the exempt sum
        {1000, 0}, {1500.5, 50.05}, // 500.5 x 10% from 0, not from the first line's own 500
        {11000, 1000}, // exactly at the second limit: 1000 + 0
        {16000, 2000}, // 1000 + 5000 x 20%
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(RtScaleAmount(t, c.base, kScale), c.amount) << c.base;
    t.CursValut = 2; // the exempt sum is 2000 and the amount in the other currency
    // (16000 - 2000) / 2 = 7000 -> 700 -> x2 = 1400
    EXPECT_DOUBLE_EQ(RtScaleAmount(t, 16000, kScale), 1400);
    t.CursValut = 0;
    EXPECT_THROW(RtScaleAmount(t, 16000, kScale), EAppException);
}

TEST_F(TabnCalcTest, KindByTableIsAddedAndComputedFromItsBase)
{
    AddKind({.DopNum = kScale, .Naim = QStringLiteral("По шкале"), .Uder = true, .Formula = cmRtTable, .StadiaF = 150});
    T_RtList list;
    list.Vid = kScale;
    list.Load();
    for (int tipNo : {1, 2}) {
        T_RtTip* tip = list.AddTip();
        T_RtTable* t = tip->AddTable();
        t->SetDate(kJan2024);
        t->Sum = Currency::FromInt(tipNo == 1 ? 1000 : 0);
        t->CursValut = 1;
        T_RtLine* l1 = t->AddLine();
        l1->Proc = tipNo == 1 ? 10 : 50;
        T_RtLine* l2 = t->AddLine();
        l2->Lower = 10000;
        l2->Sum = 1000;
        l2->Proc = 20;
        tip->Save();
    }
    TCardSpec card;
    card.Okl = 16000;
    const qint32 tabn = AddCard(card);
    // Entered values are replaced by (1, 0, 0).
    SaveInput(tabn, {{kScale, 7, 99, 3}});
    Run(tabn);
    EXPECT_EQ(errors, QStringList());
    // Base 16000 (the accruals), type 1 only: 16000 - 1000 = 15000 -> 1000
    // + 5000 x 20% = 2000; tax 2080; to pay 16000 - 4080 = 11920.
    EXPECT_EQ(StoredRows(tabn),
        QStringList({Row(povrem, 160, 16000), Row(tax, 0, 2080), Row(kScale, 1, 2000)})
            + Totals(8.2, 11920, 160, 4080, 160, 16000, 2080, 16000, 1, 16000));
}

// ---------------------------------------------------------------- comparison

TEST_F(TabnCalcTest, ComparisonReportsEveryDifferenceAndSavesNothing)
{
    TCardSpec card;
    card.Okl = 16000;
    const qint32 tabn = AddCard(card);
    SaveMonthTotals(tabn, kMar2024, {{dnVsego, 8.2, 500}}); // read back as dnBegin, ignored
    Run(tabn);
    ASSERT_EQ(errors, QStringList());

    // The stored results edited: time-based pay 150 h / 15000, tax gone, the
    // total accrued off by 2 kopecks, the deducted by 1 (equal), two old rows.
    T_TabnDopList stored(DNList(), tdkNewResults);
    stored.Date = kMar2024;
    stored.TabNum = tabn;
    T_TabnDopList nc(DNList(), tdkResults);
    nc.Date = kMar2024;
    nc.SetTabn(tabn);
    for (const T_TabnDop* e : nc) {
        if (e->DopNum != dnBegin && e->DopNum != tax)
            stored.SetValues(e->DopNum, e->DTime, e->Sum, e->Proc);
    }
    stored.SetValues(povrem, 150, Currency::FromInt(15000), 0);
    stored.SetValues(dnNachis, 160, Currency::FromDouble(16000.02), 0);
    stored.SetValues(dnUder, 160, Currency::FromDouble(2080.01), 0);
    stored.SetValues(premia, 2, Currency::FromInt(100), 0);
    stored.SetValues(KindOfTip(dtProchDopl), 0, Currency::FromInt(50), 0);
    stored.SaveNewResults();
    const QStringList before = StoredRows(tabn);
    const auto sumBefore = StoredSum(tabn);

    Run(tabn, true);
    EXPECT_EQ(errors,
        QStringList({QStringLiteral("Старых данных больше на 1"),
            QStringLiteral("\"Повременно\"\r\nВремя: (TNew = 160,00) <> (TOld = 150,00)\r\n"
                           "Сумма: (SNew = 16000,00 <> (SOld = 15000,00)\r\n"),
            QStringLiteral("\"997\"\r\nСумма: (SNew = 16000,00 <> (SOld = 16000,02)\r\n"),
            QStringLiteral("\tЕсть в новом, нет в старом:\r\n\t[%1] \"Подоходный налог\"\r\n0,00 -- 2080,00").arg(tax),
            QStringLiteral("\tЕсть в старом, нет в новом:\r\n\t[%1] \"Премия\"\r\nSum = 100,00; Time = 2,00")
                .arg(premia),
            QStringLiteral("\t[%1] \"Прочие доплаты\"\r\nSum = 50,00; Time = 0,00").arg(KindOfTip(dtProchDopl))}));
    EXPECT_EQ(StoredRows(tabn), before);
    EXPECT_EQ(StoredSum(tabn), sumBefore);
}

// ---------------------------------------------------------------- failures

TEST_F(TabnCalcTest, FormulaErrorIsWrappedAndNothingIsSaved)
{
    AddKind({.DopNum = kBonus, .Naim = QStringLiteral("Надбавка"), .Formula = cmUserFormula, .StadiaF = 100});
    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := ST + NOSUCHNAME"));
    TCardSpec card;
    card.Okl = 16000;
    const qint32 tabn = AddCard(card);
    SaveInput(tabn, {{kBonus, 1, 0, 0}});
    Run(tabn);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(AppContext().FormulaError.DopNum, kBonus);
    EXPECT_EQ(errors[0],
        QStringLiteral("Ошибка при выполнении расчета табельного номера [%1]\r\n").arg(tabn)
            + AppContext().FormulaError.Message);
    EXPECT_EQ(StoredRows(tabn), QStringList());
    EXPECT_EQ(StoredSum(tabn), std::make_pair(0.0, TDateTime(0)));

    // Without a handler the wrapped text is raised.
    T_rTabn calc(sources);
    calc.SetTabNum(tabn);
    calc.Load();
    try {
        calc.CalcAndCompare();
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), errors[0]);
    }
}

// Fatal messages do not stop the calculation, but the employee stays
// uncalculated: a bad entry, an unknown calendar, a missing tax table.
TEST_F(TabnCalcTest, FatalMessagesLeaveTheEmployeeUncalculated)
{
    struct Case {
        const char* name;
        qint32 calendar, spnTabl;
        QList<TInputSpec> input;
        QStringList messages;
    } cases[] = {
        {"unknown kind", 0, 1, {{777, 1, 10, 0}}, {QStringLiteral("Неверный номер начисления 777")}},
        {"no calendar", -1, 1, {},
            {QStringLiteral("Не определен календарь №-1 на дату \"01.03.2024\""),
                QStringLiteral("Ошибка при выполнении расчета табельного номера [%1]\r\nНеверно определен календарь")}},
        {"no tax table", 0, 9, {},
            {QStringLiteral("Ошибка при выполнении расчета табельного номера [%1]\r\n"
                            "Не определена таблица подоходного налога")}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCardSpec card;
        card.Okl = 16000;
        card.Calendar = c.calendar;
        card.SpnTabl = c.spnTabl;
        const qint32 tabn = AddCard(card);
        // A former calculation's date must go: the stored rows are stale now.
        SetRecordValuesByKey(DM()->SR, {Variant(tabn)}, {QStringLiteral("DATERAS")}, {Variant::FromDate(kMar2024)});
        // The unknown kind goes straight into VVOD: the input list refuses it.
        Cursor vvod(QStringLiteral("VVOD"));
        vvod.Open();
        for (const TInputSpec& e : c.input)
            AppendRecordValues(vvod, 0,
                {QStringLiteral("TABNUM"), QStringLiteral("DOPNUM"), QStringLiteral("DTIME"), QStringLiteral("SUM")},
                {Variant(tabn), Variant(e.DopNum), Variant(e.Time), Variant(e.Sum)});
        Run(tabn);
        for (QString& m : c.messages)
            m.replace(QStringLiteral("%1"), QString::number(tabn));
        EXPECT_EQ(errors, c.messages);
        EXPECT_EQ(StoredRows(tabn), QStringList());
        EXPECT_EQ(StoredSum(tabn).second, 0);
    }
}

TEST_F(TabnCalcTest, SecondCalculationStartsFromEmptyResults)
{
    TCardSpec card;
    card.Okl = 16000;
    const qint32 tabn = AddCard(card);
    T_rTabn calc(sources);
    calc.SetTabNum(tabn);
    calc.Load();
    calc.OnError = [this](T_rTabn*, const QString& msg, bool&) { errors << msg; };
    calc.Calculate();
    const QStringList first = Rows(calc.NewResults());
    calc.Calculate();
    EXPECT_EQ(Rows(calc.NewResults()), first);
    EXPECT_EQ(calc.Sum, 13920);
    EXPECT_EQ(errors, QStringList());
}

TEST_F(TabnCalcTest, RowCaptions)
{
    T_rTabn calc(sources);
    T_TabnDop e(0, DNList(), tdkNewResults);
    struct Case {
        qint32 dopNum;
        QString caption;
    } cases[] = {
        {dnVsego, "999"},
        {dnUder, "998"},
        {dnBegin, "990"},
        {777, "Начисление №777 в справочнике не найдено"},
        {premia, "Премия"},
    };
    for (const Case& c : cases) {
        e.DopNum = c.dopNum;
        EXPECT_EQ(calc.GetRowCaption(&e), c.caption);
    }
}

// ---------------------------------------------------------------- many employees

TEST_F(TabnCalcTest, BatchKeepsGoingAndRollsBackOnlyTheFailedEmployee)
{
    const int podr = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех"))});
    PNList()->SetLoaded(false);
    TCardSpec card;
    card.Podr = podr;
    card.Okl = 16000;
    const qint32 first = AddCard(card);
    card.SpnTabl = 9; // no such tax type
    const qint32 failing = AddCard(card);
    card.SpnTabl = 1;
    const qint32 last = AddCard(card);
    // The failing employee was calculated once: his old rows must stay.
    TCalcSources good = sources;
    {
        QStringList ignored;
        SetRecordValuesByKey(DM()->SR, {Variant(failing)}, {QStringLiteral("SPNTABL")}, {Variant(1)});
        ASSERT_TRUE(CalcOneTabn(good, failing, kMar2024, ignored));
        SetRecordValuesByKey(DM()->SR, {Variant(failing)}, {QStringLiteral("SPNTABL")}, {Variant(9)});
    }
    const QStringList oldRows = StoredRows(failing);
    ASSERT_EQ(oldRows.size(), 10);

    RecordingProgress progress;
    TCalcBatchResult result;
    QList<qint32> seen;
    TCalcBatchOptions options;
    QList<bool> calculated;
    options.OnCalculated = [&](T_rTabn& calc, bool done) {
        seen << calc.TabNum();
        calculated << done;
    };
    CalcPodr(sources, podr, options, result);

    EXPECT_EQ(seen, QList<qint32>({first, failing, last}));
    EXPECT_EQ(calculated, QList<bool>({true, false, true}));
    EXPECT_EQ(result.Calculated, 3);
    EXPECT_EQ(result.NotCalculated, QList<qint32>{failing});
    EXPECT_EQ(result.FirstErrTabn, failing);
    EXPECT_TRUE(result.LastOk);
    EXPECT_FALSE(result.Stopped);
    EXPECT_EQ(result.Errors,
        QStringList({QStringLiteral("***  Ошибки при расчете. Табельный номер [%1]").arg(failing),
            QStringLiteral("Ошибка при выполнении расчета табельного номера [%1]").arg(failing),
            QStringLiteral("Не определена таблица подоходного налога"), QString()}));
    for (qint32 tabn : {first, last}) {
        EXPECT_EQ(StoredRows(tabn).size(), 10) << tabn;
        EXPECT_EQ(StoredSum(tabn), std::make_pair(13920.0, kMar2024)) << tabn;
    }
    EXPECT_EQ(StoredRows(failing), oldRows);
    EXPECT_EQ(StoredSum(failing).second, 0);
    EXPECT_FALSE(progress.Active());

    // Stopped after the first employee: the rest are left alone.
    RecordingProgress stopping;
    stopping.StopAtStep(1);
    TCalcBatchResult stopped;
    CalcEnterprise(sources, options, stopped);
    EXPECT_TRUE(stopped.Stopped);
    EXPECT_EQ(stopped.Calculated, 1);
}

// The folder stops taking writes once the first department is committed:
// the second cannot be stored, the run ends there with one message, and
// only the stored employees count.
bool g_refuseAtNextExec = false;

TEST_F(TabnCalcTest, ADepartmentThatCannotBeStoredEndsTheRunAndOnlyStoredEmployeesCount)
{
    QList<qint32> tabns;
    for (const char* name : {"Цех", "Склад", "Гараж"}) {
        TCardSpec card;
        card.Podr = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QString::fromUtf8(name))});
        card.Okl = 16000;
        tabns << AddCard(card) << AddCard(card);
    }
    PNList()->SetLoaded(false);
    TCalcBatchOptions options;
    options.OnCalculated = [&](T_rTabn& calc, bool) {
        g_refuseAtNextExec = calc.TabNum() == tabns[1]; // the next call commits the first department
    };
    SetDbCallHook([](DbCall call) {
        if (g_refuseAtNextExec && call == DbCall::Exec) {
            g_refuseAtNextExec = false;
            RefuseWritesInFolder(DbSession::DataFolder(), true);
        }
    });
    TCalcBatchResult result;
    try {
        CalcEnterprise(sources, options, result);
    } catch (const Exception& e) {
        ADD_FAILURE() << e.Message().toStdString();
    }
    SetDbCallHook(nullptr);
    RefuseWritesInFolder(QString());

    EXPECT_EQ(result.Calculated, 2);
    EXPECT_TRUE(result.Errors.isEmpty()) << result.Errors.join(QLatin1Char('\n')).toStdString();
    const QString text = result.SaveError;
    EXPECT_TRUE(text.startsWith(QStringLiteral("Расчет прерван: подразделение \"Склад\" не сохранено|")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("на диске нет места"))) << text.toStdString();
    EXPECT_TRUE(
        text.endsWith(QStringLiteral("Не рассчитаны подразделения: \"Гараж\"\r\nСохранены результаты работников: 2")))
        << text.toStdString();
    for (int i = 0; i < tabns.size(); ++i)
        EXPECT_EQ(StoredSum(tabns[i]).second, i < 2 ? kMar2024 : 0) << tabns[i];
}

} // namespace
