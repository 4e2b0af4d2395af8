#include "support/CalcBuilders.h"

#include "calc/CalcContext.h"
#include "calc/PN.h"
#include "calc/RTabl.h"
#include "data/AppContext.h"
#include "data/Calendar.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "foundation/IniPersist.h"
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

void AddCalendar(qint32 number, TDateTime dateBeg, TDateTime dateEnd, const QList<QPair<int, double>>& hours)
{
    T_CalendarList* list = CalendarList();
    T_CalendarTip* tip = list->AddTip(ckMonthly);
    tip->Number = number;
    T_C_Table* table = tip->AddTable(dateBeg, dateEnd, 0);
    for (const auto& [month, h] : hours) {
        for (int i = 0; i < table->Count(); ++i) {
            T_C_Line* line = table->GetLine(i);
            int y = 0, m = 0, d = 0;
            DecodeDate(line->DateBeg(), y, m, d);
            if (m == month)
                line->SetWorkHours(h);
        }
    }
    tip->Save();
    list->SetLoaded(false);
}

qint32 AddKind(const TKindSpec& k)
{
    T_Dop dop(DNList());
    dop.New = true;
    dop.DopNum = k.DopNum;
    dop.Naim = k.Naim;
    dop.Uder = k.Uder;
    dop.Formula = k.Formula;
    dop.Sum = k.Sum;
    dop.StadiaF = k.StadiaF;
    dop.StadiaD = k.StadiaD;
    dop.Individ = k.Individ;
    dop.Deleted = k.Deleted;
    dop.FBalans = k.FBalans;
    dop.Save();
    DNList()->SetLoaded(false);
    return dop.DopNum;
}

qint32 SetKindTable(qint32 dopNum, int tip, const QList<qint32>& numbers)
{
    T_DopTabl table;
    table.DopNum = dopNum;
    table.Tip = tip;
    for (qint32 n : numbers)
        table.AddInteger(n);
    const qint32 num = table.Save();
    SetRecordValuesByKey(
        DM()->DP, {Variant(dopNum)}, {tip == 0 ? QStringLiteral("TABL") : QStringLiteral("VLIST")}, {Variant(num)});
    DNList()->SetLoaded(false);
    return num;
}

qint32 KindOfTip(int tip)
{
    const T_Dop* dop = DNList()->FindDopByTip(tip);
    return dop != nullptr ? dop->DopNum : -1;
}

qint32 AddCard(const TCardSpec& c)
{
    T_xTabn card(DNList());
    card.SetTabNum(-1);
    card.New = true;
    card.Fio = c.Fio;
    card.Podr = c.Podr;
    card.Ksop = c.Ksop;
    card.Okl = c.Okl;
    card.Calendar = c.Calendar;
    card.SpnTabl = c.SpnTabl;
    card.LgotaPN = c.LgotaPN;
    card.Vychet = c.Vychet;
    card.MinZarp = c.MinZarp;
    card.DateRelease = c.DateRelease;
    for (qint32 dopNum : c.Permanent)
        card.Permanent().SetValues(dopNum, 0, Currency::FromInt(1), 0);
    card.Save();
    return card.TabNum();
}

qint32 AddWorkshopEmployee(const QString& fio)
{
    AppendRecordValues(DM()->SP, 2, {QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("NAIM")},
        {Variant(1), Variant(0), Variant(QStringLiteral("Цех"))});
    PNList()->Reload();
    TCardSpec card;
    card.Fio = fio;
    card.Podr = 2;
    return AddCard(card);
}

void SaveInput(qint32 tabNum, const QList<TInputSpec>& input)
{
    T_TabnDopList list(DNList(), tdkInput);
    list.Date = Cfg.Workdate;
    list.TabNum = tabNum;
    for (const TInputSpec& e : input)
        list.SetValues(e.DopNum, e.Time, Currency::FromDouble(e.Sum), e.Proc);
    list.SaveInput();
}

qint32 BuildDumpEnterprise()
{
    const TDateTime jan = EncodeDate(2024, 1, 1);
    const TDateTime mar = EncodeDate(2024, 3, 1);
    const TDateTime dec = EncodeDate(2024, 12, 31);
    constexpr qint32 kBonus = 250; // user formula with an IF block
    constexpr qint32 kUnion = 310; // 1% of the stage base, for everybody
    constexpr qint32 kScale = 400; // by table: 10% above 20000, for everybody
    AppContext().Cfg.Workdate = mar;
    AppContext().Cfg.AutoCalc = true;
    AddBuiltInKinds();
    const qint32 tax = KindOfTip(dtPodoh);
    SetRecordValuesByKey(DM()->DP, {Variant(tax)}, {QStringLiteral("TABL")}, {Variant(0)});
    DNList()->SetLoaded(false);
    AddCalendar(0, jan, dec, {{3, 160}});
    AddTaxType(1, QStringLiteral("Основная"));
    TTaxTableSpec t;
    t.DateBeg = jan;
    t.YearBeg = jan;
    t.YearEnd = dec;
    t.Lines = {{0, 0, 13}, {100000, 13000, 20}};
    AddTaxTable(1, t);
    AddKind({.DopNum = kBonus, .Naim = QStringLiteral("Надбавка"), .Formula = cmUserFormula, .StadiaF = 100});
    UserFormulaList()->SetText(
        kBonus, QStringLiteral("IF TF < TK\nRESULT := ST * 8\nELSE\nRESULT := ST * TK / 10\nENDIF"));
    AddKind({.DopNum = kUnion,
        .Naim = QStringLiteral("Профвзнос"),
        .Uder = true,
        .Formula = 129,
        .Sum = 1,
        .StadiaF = 150});
    AddKind({.DopNum = kScale, .Naim = QStringLiteral("По шкале"), .Uder = true, .Formula = cmRtTable, .StadiaF = 150});
    T_RtList list;
    list.Vid = kScale;
    list.Load();
    T_RtTip* tip = list.AddTip();
    T_RtTable* table = tip->AddTable();
    table->SetDate(jan);
    table->Sum = Currency::FromInt(20000);
    table->CursValut = 1;
    table->AddLine()->Proc = 10;
    tip->Save();

    const qint32 podrA = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех 1"))});
    const qint32 podrB = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех 2"))});
    PNList()->SetLoaded(false);
    TCardSpec card;
    card.Podr = podrA;
    card.Okl = 24000; // the full norm, and the scale: 10% of 4000
    AddCard(card);
    card.Okl = 16000; // half the norm entered, the formula's IF branch
    const qint32 partMonth = AddCard(card);
    SaveInput(partMonth, {{KindOfTip(dtPovrem), 80, 0, 0}, {kBonus, 1, 0, 0}});
    card.Podr = podrB;
    card.Ksop = 2; // piece-work
    card.Okl = 1000;
    const qint32 piece = AddCard(card);
    SaveInput(piece, {{KindOfTip(dtSdel), 100, 0, 0}});
    card.Ksop = 0;
    card.Okl = 16000;
    card.DateRelease = EncodeDate(2024, 2, 10); // dismissed: no time, no tax
    const qint32 dismissed = AddCard(card);
    SaveInput(dismissed, {{KindOfTip(dtPremia), 0, 3000, 0}});
    SaveMonthTotals(
        dismissed, mar, {{dnVsego, 8.2, 500}, {dnPNPay, 0, 1000}, {dnPNSumTo, 0, 8000}, {dnPNSumAll, 1, 8000}});
    card.DateRelease = 0;
    card.Calendar = 5; // no such calendar: error lines
    AddCard(card);

    // The dump tool reads the working date and the settings from the folder.
    IniSavingEnabled = true;
    SaveDataConfiguration();
    IniSavingEnabled = false;
    return partMonth;
}
