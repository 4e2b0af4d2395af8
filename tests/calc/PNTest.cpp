// Income tax: the scale lines chosen, the year method, the employee's
// share, whole units, the table chosen for a date, and the errors, with
// amounts computed by hand.

#include "calc/PN.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/TabnDops.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "support/CalcBuilders.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

namespace {

const TDateTime kJan2023 = EncodeDate(2023, 1, 1);
const TDateTime kJan2024 = EncodeDate(2024, 1, 1);
const TDateTime kMar2024 = EncodeDate(2024, 3, 15);

// Line 1's own limit (500) must not count: its lower limit is 0. Line 2
// starts below what line 1 would give at 1000 (90, not 100), so the line
// chosen at a limit shows in the tax.
const QList<TTaxLineSpec> kScale = {{500, 0, 10}, {1000, 90, 20}, {3000, 500, 30}};

enum TaxType { tPlain = 1, tRate2, tYearly2, tYearly1, tYearly3, tNoTax, tExempt, tOneLine, tZeroRate, tEmpty };

class PNTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        const auto add = [](int tip, const char* naim, double sum, double rate, int metod, bool fYear) {
            AddTaxType(tip, QString::fromUtf8(naim));
            TTaxTableSpec spec;
            spec.DateBeg = kJan2024;
            spec.Sum = sum;
            spec.CursValut = rate;
            spec.Metod = metod;
            spec.FYear = fYear;
            spec.Lines = kScale;
            if (tip == tExempt) {
                spec.SumMinZp = 200;
                spec.KMinZp = 1;
            }
            if (tip == tOneLine)
                spec.Lines = {{0, 0, 10}};
            AddTaxTable(tip, spec);
        };
        add(tPlain, "Обычная", 100, 1, 1, false);
        add(tRate2, "Курс 2", 100, 2, 1, false);
        add(tYearly2, "Годовая 2", 100, 1, 2, true);
        add(tYearly1, "Годовая 1", 100, 1, 1, true);
        add(tYearly3, "Годовая 3", 100, 1, 3, true);
        add(tNoTax, "Без налога", 100, 1, 0, false);
        add(tExempt, "Льготы", 100, 1, 1, false);
        add(tOneLine, "Одна строка", 0, 1, 1, false);
        add(tZeroRate, "Нулевой курс", 0, 0, 1, false);
        AddTaxType(tEmpty, QStringLiteral("Пустой"));
    }

    static T_PNResult Input(double base, double lgota = 1)
    {
        T_PNResult in;
        in.Base = base;
        in.LgotaPN = lgota;
        in.MonthNo = 3;
        in.MonthsInYear = 12;
        return in;
    }
};

struct TaxRow {
    const char* name;
    int tip;
    bool pnInt;
    double base, lgota, sumTo, sumOsv, pay, vychet;
    int minZarp;
    double tax;
};

TEST_F(PNTest, TaxByTheScale)
{
    const TaxRow rows[] = {
        // 400 - 100 = 300 on line 1 from 0: 300 * 10%
        {"below the second limit", tPlain, true, 400, 1, 0, 0, 0, 0, 0, 30},
        // 1000 is line 2's limit: 90, not line 1's 100
        {"exactly at a limit", tPlain, true, 1100, 1, 0, 0, 0, 0, 0, 90},
        {"just below a limit", tPlain, true, 1099, 1, 0, 0, 0, 0, 0, 99.9},
        // 5000: 500 + 2000 * 30%
        {"above every limit", tPlain, true, 5100, 1, 0, 0, 0, 0, 0, 1100},
        {"nothing to tax", tPlain, true, 50, 1, 0, 0, 0, 0, 0, 0},
        // 300,75 in whole units is 300; else 30,075 rounds half up to 30,08
        {"whole units", tPlain, true, 400.75, 1, 0, 0, 0, 0, 0, 30},
        {"kopecks kept, half rounded up", tPlain, false, 400.75, 1, 0, 0, 0, 0, 0, 30.08},
        {"share 0", tPlain, true, 5100, 0, 0, 0, 0, 0, 0, 0},
        {"share 0,5", tPlain, true, 5100, 0.5, 0, 0, 0, 0, 0, 550},
        {"share above 1", tPlain, true, 5100, 1.5, 0, 0, 0, 0, 0, 0},
        // (2200 - 100 * 2) / 2 = 1000 on line 2: 90 * 2
        {"currency rate", tRate2, true, 2200, 1, 0, 0, 0, 0, 0, 180},
        // exempt: (1 + 1) * 200 + 100 + vychet 50 = 550; 1550 - 550 = 1000
        {"minimal wages and vychet exempt", tExempt, true, 1550, 1, 0, 0, 0, 50, 1, 90},
        {"method 0", tNoTax, true, 5100, 1, 0, 0, 0, 0, 0, 0},
        {"negative year income", tPlain, true, 1000, 1, -5000, 0, 0, 0, 0, 0},
        // Year: SumTo 2000 + 1000, SumOsv 200 + 100: 2700. Limits times 3/12:
        // 125, 250, 750; 500 * 0,25 + (2700 - 750) * 30% = 710; less 80 paid.
        {"year method 2, month 3 of 12", tYearly2, true, 1000, 1, 2000, 200, 80, 0, 0, 630},
        {"year method 2, refund", tYearly2, true, 1000, 1, 2000, 200, 800, 0, 0, -90},
        // half of 710 before the payment is subtracted
        {"year method 2, share 0,5", tYearly2, true, 1000, 0.5, 2000, 200, 80, 0, 0, 275},
        // 2700 on line 2, unscaled: 90 + 1700 * 20% = 430; less 80
        {"year method 1", tYearly1, true, 1000, 1, 2000, 200, 80, 0, 0, 350},
    };
    for (const TaxRow& r : rows) {
        SCOPED_TRACE(r.name);
        T_PN pn(PxList(), r.pnInt);
        pn.Select(r.tip, kMar2024);
        ASSERT_TRUE(pn.IsValid());
        T_PNResult in = Input(r.base, r.lgota), out;
        in.SumTo = r.sumTo;
        in.SumOsv = r.sumOsv;
        in.Pay = r.pay;
        in.Vychet = r.vychet;
        in.MinZarp = r.minZarp;
        in.Tax = 7; // what a no-tax case leaves as it came
        const double tax = pn.Calc(in, out);
        const bool taxed = r.lgota >= 1e-7 && r.lgota <= 1 && r.tip != tNoTax && r.sumTo + r.base >= 0;
        EXPECT_DOUBLE_EQ(tax, r.tax);
        EXPECT_DOUBLE_EQ(out.Tax, taxed ? r.tax : 7);
        EXPECT_DOUBLE_EQ(out.Pay, r.pay + r.tax);
    }
}

TEST_F(PNTest, TotalsAdvanceByTheMonth)
{
    T_PN pn(PxList(), true);
    pn.Select(tExempt, kMar2024);
    T_PNResult in = Input(1550), out;
    in.SumAll = 9;
    in.Months = 2;
    in.DopOsvCount = 4;
    in.DopOsv = 30;
    in.SumOsv = 1000;
    in.SumTo = 3000;
    in.Pay = 180;
    in.MinZarp = 1;
    in.Vychet = 50;
    pn.Calc(in, out);
    EXPECT_DOUBLE_EQ(out.SumAll, 9);
    EXPECT_DOUBLE_EQ(out.Months, 3);
    EXPECT_DOUBLE_EQ(out.DopOsvCount, 5);
    EXPECT_DOUBLE_EQ(out.DopOsv, 80);
    EXPECT_DOUBLE_EQ(out.SumOsv, 1550);
    EXPECT_DOUBLE_EQ(out.SumTo, 4550);
    EXPECT_DOUBLE_EQ(out.Pay, 270);
    EXPECT_EQ(out.MonthNo, 3);
    EXPECT_DOUBLE_EQ(out.Base, 1550);
}

TEST_F(PNTest, ErrorsAreTheProgramsOwn)
{
    const auto calc = [](int tip, double base) {
        T_PN pn(PxList(), true);
        pn.Select(tip, kMar2024);
        T_PNResult in, out;
        in.Base = base;
        in.LgotaPN = 1;
        pn.Calc(in, out);
    };
    EXPECT_EQ(MessageOf<EAppException>([&] { calc(tYearly3, 5000); }), QStringLiteral("Не известен метод расчета №3"));
    EXPECT_EQ(MessageOf<EAppException>([&] { calc(tOneLine, 0); }),
        QStringLiteral("Количество строк таблицы подоходного налога не может быть менее 2-х\r\nТаблица "
                       ":\"Одна строка\""))
        << "raised also when there is nothing to tax";
    EXPECT_EQ(MessageOf<EAppException>([&] { calc(tZeroRate, 5000); }),
        QStringLiteral("Неверный курс валюты в таблице подоходного налога"));
    EXPECT_EQ(MessageOf<EAppException>([&] { calc(tEmpty, 5000); }), QStringLiteral("Не определен подоходный налог"));
}

TEST_F(PNTest, TableForADate)
{
    AddTaxType(20, QStringLiteral("Две таблицы"));
    TTaxTableSpec spec;
    spec.Lines = kScale;
    spec.DateBeg = kJan2023;
    const int older = AddTaxTable(20, spec);
    spec.DateBeg = kJan2024;
    const int newer = AddTaxTable(20, spec);
    const T_PxTip* tip = PxList()->FindTip(20);
    ASSERT_NE(tip, nullptr);
    ASSERT_EQ(tip->Count(), 2);
    EXPECT_DOUBLE_EQ(tip->GetTable(0)->DateEnd, kJan2024 - 1);
    EXPECT_DOUBLE_EQ(tip->GetTable(1)->DateEnd, kPxOpenDate);
    EXPECT_EQ(tip->GetTable(0)->GetTipName(), QStringLiteral("Две таблицы"));
    EXPECT_DOUBLE_EQ(tip->GetTable(1)->GetLine(1)->SumNal, 90);

    T_PN pn(PxList(), true);
    const struct {
        TDateTime date;
        int num;
    } cases[] = {{kJan2024 - 1, older}, {kJan2024, newer}, {kMar2024, newer}, {EncodeDate(2022, 6, 1), newer}};
    for (const auto& c : cases) {
        pn.Select(20, c.date);
        ASSERT_TRUE(pn.IsValid());
        EXPECT_EQ(pn.Table->Num, c.num) << DateToStr(c.date).toStdString();
    }
}

TEST_F(PNTest, NothingSelectedLeavesTheCalculatorInvalid)
{
    T_PN fresh(PxList(), true);
    fresh.Select(-1, kMar2024);
    EXPECT_FALSE(fresh.IsValid());

    T_PN pn(PxList(), true);
    pn.Select(tEmpty, kMar2024);
    EXPECT_FALSE(pn.IsValid()) << "a type without tables";
    pn.Select(99, kMar2024);
    EXPECT_FALSE(pn.IsValid()) << "a type not in the list";
    EXPECT_EQ(pn.Tip, -1);
    pn.Select(tPlain, 0);
    EXPECT_FALSE(pn.IsValid()) << "no date";
    pn.Select(tPlain, kMar2024);
    EXPECT_TRUE(pn.IsValid());

    // A reload frees the tables the calculator pointed to.
    PxList()->Reload();
    EXPECT_FALSE(pn.IsValid());
    pn.Select(tPlain, kMar2024);
    EXPECT_TRUE(pn.IsValid());
}

TEST_F(PNTest, ListFollowsTheTables)
{
    TStringItems items;
    PxList()->FillStrings(items);
    ASSERT_EQ(items.size(), 10);
    EXPECT_EQ(items[0], (TStringItem{QStringLiteral("Обычная"), tPlain}));
    EXPECT_EQ(PxList()->IndexOfTip(tEmpty), 9);

    AddTaxType(30, QStringLiteral("Новый"));
    EXPECT_EQ(PxList()->IndexOfTip(30), 10) << "read again after being marked";

    AppendRecordValues(DM()->PNT, 31, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Мимо списка"))});
    ReloadAllLists();
    EXPECT_TRUE(PxList()->Loaded());
    EXPECT_EQ(PxList()->Count(), 12) << "the data module reloads the list";
}

TEST_F(PNTest, LastMonthsTotalsReadBack)
{
    AddBuiltInKinds();
    SaveMonthTotals(17, kMar2024, {{dnPNPay, 0, 240}, {dnPNSumAll, 2, 8000.5}});
    T_TabnDopList totals(DNList(), tdkMonthTotals);
    totals.Date = kMar2024;
    totals.SetTabn(17);
    double time = 0, proc = 0;
    Currency sum;
    totals.GetValues(dnPNSumAll, time, sum, proc);
    EXPECT_DOUBLE_EQ(time, 2);
    EXPECT_EQ(sum, Currency::FromDouble(8000.5));
    EXPECT_EQ(totals.GetSum(dnPNPay), Currency::FromInt(240));
}

} // namespace
