#include "support/CalcBuilders.h"

#include "calc/CalcContext.h"
#include "calc/PN.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/TabnDops.h"
#include "platform/Currency.h"

void CalcTest::SetUp()
{
    InitCalc();
    AppContextTest::SetUp();
}

void CalcTest::TearDown()
{
    AppContextTest::TearDown();
    DoneCalc();
}

int AddBuiltInKinds() { return DNList()->GenerateConstDops(); }

void AddTaxType(int tip, const QString& naim)
{
    AppendRecordValues(DM()->PNT, tip, {QStringLiteral("NAIM")}, {Variant(naim)});
    if (T_PxList* list = PxList())
        list->SetLoaded(false);
}

int AddTaxTable(int tip, const TTaxTableSpec& t)
{
    const int num = AppendNumberedRecord(DM()->PN,
        {QStringLiteral("TIP"), QStringLiteral("DATEBEG"), QStringLiteral("FYEAR"), QStringLiteral("SUM"),
            QStringLiteral("SUMMINZP"), QStringLiteral("KMINZP"), QStringLiteral("CURSVALUT"), QStringLiteral("METOD"),
            QStringLiteral("YEARBEG"), QStringLiteral("YEAREND")},
        {Variant(tip), Variant::FromDate(t.DateBeg), Variant(t.FYear), Variant(t.Sum), Variant(t.SumMinZp),
            Variant(t.KMinZp), Variant(t.CursValut), Variant(t.Metod), Variant::FromDate(t.YearBeg),
            Variant::FromDate(t.YearEnd)});
    for (const TTaxLineSpec& line : t.Lines)
        AppendRecordValues(DM()->PNL, num, {QStringLiteral("SUM"), QStringLiteral("SUMNAL"), QStringLiteral("PROC")},
            {Variant(line.Sum), Variant(line.SumNal), Variant(line.Proc)});
    if (T_PxList* list = PxList())
        list->SetLoaded(false);
    return num;
}

void SaveMonthTotals(qint32 tabNum, TDateTime date, const QList<TMonthTotal>& totals)
{
    T_TabnDopList list(DNList(), tdkMonthTotals);
    list.Date = date;
    list.TabNum = tabNum;
    for (const TMonthTotal& t : totals)
        list.SetValues(t.DopNum, t.Time, Currency::FromDouble(t.Sum), 0);
    list.SaveMonthTotals();
}
