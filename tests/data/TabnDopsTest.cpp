// An employee's accrual entries over a fresh data base: every list kind read
// and written, the running totals, the values set by number, sorting, and
// the all-or-nothing saves.

#include "DopFixture.h"

#include "data/AppContext.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/TabnDops.h"
#include "platform/Exceptions.h"
#include "support/ChangeCounter.h"
#include "support/ScriptedMessages.h"

#include <map>

namespace {

Currency Money(double v) { return Currency::FromDouble(v); }

// One stored row as the tests look at it.
struct Stored {
    int tabNum;
    int dopNum;
    double sum;
    TDateTime dateBeg;
    TDateTime dateOp; // DATEVV or DATERAS
    friend bool operator==(const Stored&, const Stored&) = default;
};

class TabnDopList : public DopFixture {
protected:
    void SetUp() override
    {
        DopFixture::SetUp();
        work = Cfg.Workdate;
        ASSERT_GT(work, 0);
        monthBeg = GetMonthBeg(work);
        monthEnd = GetMonthEnd(work);
        prevEnd = monthBeg - 1;
        prevBeg = GetMonthBeg(prevEnd);
        AddKind(KindRow{1, QStringLiteral("Оклад"), false, 0, false, 3, 10});
        AddKind(KindRow{3, QStringLiteral("Премия"), false, 4, false, 1, 150});
        AddKind(KindRow{5, QStringLiteral("Больничный"), false, 0, false, 2, 100});
        AddKind(KindRow{200, QStringLiteral("Налог"), true, 9, false, 1, 40});
        AddKind(KindRow{201, QStringLiteral("Алименты"), true, 0, false, 2, 30});
        for (int tabn : {17, 18})
            AppendRecordValues(DM()->SR, tabn, {"FIO", "DATERAS"},
                {Variant(QStringLiteral("Работник %1").arg(tabn)), Variant::FromDate(work)});
    }

    static void AddRow(const char* table, const QStringList& names, const QList<Variant>& values)
    {
        Cursor c{QString::fromLatin1(table)};
        c.Open();
        AppendRecordValues(c, 0, names, values);
    }
    static void AddResult(const char* table, int tabn, int dopNum, double sum, TDateTime date, double time = 0)
    {
        AddRow(table, {"TABNUM", "DOPNUM", "SUM", "DTIME", "DATEBEG", "DATERAS"},
            {Variant(tabn), Variant(dopNum), Variant(sum), Variant(time), Variant::FromDate(date),
                Variant::FromDate(date)});
    }
    static void AddInput(const char* table, int tabn, int dopNum, double sum, TDateTime date)
    {
        AddRow(table, {"TABNUM", "DOPNUM", "SUM", "DATEBEG", "DATEVV"},
            {Variant(tabn), Variant(dopNum), Variant(sum), Variant::FromDate(date), Variant::FromDate(date)});
    }
    // Every row of a table by primary key.
    static QList<Stored> Rows(const char* table)
    {
        Cursor c{QString::fromLatin1(table)};
        c.Open();
        const bool input = c.FindField("DATEVV").IsValid();
        const bool results = c.FindField("DATERAS").IsValid();
        QList<Stored> out;
        for (c.First(); !c.Eof(); c.Next()) {
            out << Stored{c["TABNUM"].AsInteger(), c["DOPNUM"].AsInteger(), c["SUM"].AsFloat(),
                c["DATEBEG"].AsDateTime(),
                input ? c["DATEVV"].AsDateTime() : (results ? c["DATERAS"].AsDateTime() : TDateTime(0))};
        }
        return out;
    }
    static QList<int> Numbers(const T_TabnDopList& list)
    {
        QList<int> out;
        for (const T_TabnDop* e : list)
            out << e->DopNum;
        return out;
    }

    T_DNList dn;
    TDateTime work = 0, monthBeg = 0, monthEnd = 0, prevBeg = 0, prevEnd = 0;
};

// ---------------------------------------------------------------- input

TEST_F(TabnDopList, InputEnteredSavedAndReadBackByAFreshList)
{
    AddInput("VVOD", 18, 1, 999, work);
    {
        T_TabnDopList input(&dn, tdkInput);
        input.Date = work;
        input.SetTabn(17);
        EXPECT_EQ(input.Count(), 0);
        input.SetValues(200, 0, Money(100), 13);
        input.SetValues(3, 8, Money(1234.5678), 0);
        input.Save();
    }
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    ASSERT_TRUE(sr.FindKey({Variant(17)}));
    EXPECT_EQ(sr["DATERAS"].AsDateTime(), 0) << "his results are out of date";
    ASSERT_TRUE(sr.FindKey({Variant(18)}));
    EXPECT_EQ(sr["DATERAS"].AsDateTime(), work);

    T_TabnDopList fresh(&dn, tdkInput);
    fresh.Date = work;
    fresh.SetTabn(17);
    ASSERT_EQ(Numbers(fresh), (QList<int>{3, 200})) << "accruals first";
    const T_TabnDop* prem = fresh[0];
    EXPECT_EQ(prem->Sum, Money(1234.57));
    EXPECT_DOUBLE_EQ(prem->DTime, 8);
    EXPECT_EQ(prem->DateBeg, monthBeg);
    EXPECT_EQ(prem->DateOp, work);
    EXPECT_EQ(prem->Kind, tdkInput);
    EXPECT_FALSE(prem->Uder);
    const T_TabnDop* tax = fresh[1];
    EXPECT_TRUE(tax->Uder) << "from the kind";
    EXPECT_DOUBLE_EQ(tax->Proc, 13);
    EXPECT_EQ(tax->Sum, Money(100));

    // Replacing: one entry removed, the other's value changed.
    fresh.SetValues(3, 0, Currency(), 0);
    fresh.SetValues(200, 0, Money(50), 13);
    fresh.Save();
    const QList<Stored> rows = Rows("VVOD");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], (Stored{18, 1, 999, work, work})) << "another employee's input stays";
    EXPECT_EQ(rows[1].tabNum, 17);
    EXPECT_EQ(rows[1].dopNum, 200);
    EXPECT_DOUBLE_EQ(rows[1].sum, 50);
}

TEST_F(TabnDopList, PastMonthInputComesFromTheArchiveAndIsNeverSaved)
{
    AddInput("VVOD", 17, 1, 500, work);
    AddInput("VVARC", 17, 1, 400, prevEnd);
    AddInput("VVARC", 17, 3, 40, prevBeg);
    AddInput("VVARC", 17, 1, 300, prevBeg - 1); // the month before
    AddInput("VVARC", 18, 1, 200, prevEnd);
    T_TabnDopList input(&dn, tdkInput);
    input.Date = prevBeg + 10;
    input.SetTabn(17);
    ASSERT_EQ(Numbers(input), (QList<int>{1, 3}));
    EXPECT_EQ(input[0]->Sum, Money(400));

    input.SetValues(1, 0, Money(1), 0);
    try {
        input.Save();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Данные ввода можно сохранить только за рабочий месяц"));
    }
    ASSERT_EQ(Rows("VVOD").size(), 1);
    EXPECT_DOUBLE_EQ(Rows("VVOD")[0].sum, 500) << "the current input is untouched";

    T_TabnDopList current(&dn, tdkInput);
    current.Date = work;
    current.OwnDate = prevEnd; // dating new entries in another month is refused too
    current.SetTabn(17);
    EXPECT_THROW(current.Save(), EAppException);
}

TEST_F(TabnDopList, InputOfAnEmployeeMissingFromTheCardsIsRefused)
{
    T_TabnDopList input(&dn, tdkInput);
    input.Date = work;
    input.SetTabn(99);
    input.SetValues(1, 0, Money(10), 0);
    try {
        input.Save();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Табельный номер №99 в справочнике не найден"));
    }
    EXPECT_TRUE(Rows("VVOD").isEmpty());
}

// ---------------------------------------------------------------- SetValues

TEST_F(TabnDopList, SetValuesCreatesChangesAndRemovesEntries)
{
    struct Row {
        const char* name;
        bool present; // an entry exists before
        int dopNum;
        double time;
        double sum;
        double proc;
        bool entryAfter;
        double sumAfter;
    };
    const Row rows[] = {
        {"zeros on an absent ordinary kind", false, 1, 0, 0, 0, false, 0},
        {"zeros on a present ordinary kind", true, 1, 0, 0, 0, false, 0},
        {"below the zero threshold", true, 1, 5e-8, 0.00000001, -5e-8, false, 0},
        {"time alone", false, 1, 2, 0, 0, true, 0},
        {"percent alone", false, 1, 0, 0, 0.5, true, 0},
        {"a negative sum", false, 1, 0, -10, 0, true, -10},
        {"rounded to kopecks", false, 1, 0, 1234.5678, 0, true, 1234.57},
        {"half a kopeck up", true, 1, 0, 0.005, 0, true, 0.01},
        {"zeros on the amount to pay: created", false, dnVsego, 0, 0, 0, true, 0},
        {"zeros on the amount to pay: kept", true, dnVsego, 0, 0, 0, true, 0},
        {"zeros on the first reserved number", false, dnFirstReserved, 0, 0, 0, true, 0},
        {"zeros just below it", false, dnFirstReserved - 1, 0, 0, 0, false, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        T_TabnDopList list(&dn, tdkPermanent);
        list.TabNum = 17;
        list.Date = work;
        if (r.present)
            list.SetValues(r.dopNum, 1, Money(77), 1);
        list.SetValues(r.dopNum, r.time, Money(r.sum), r.proc);
        const T_TabnDop* e = list.FindTabnDop(r.dopNum);
        ASSERT_EQ(e != nullptr, r.entryAfter);
        ASSERT_EQ(list.Count(), r.entryAfter ? 1 : 0);
        if (e == nullptr)
            continue;
        EXPECT_EQ(e->Sum, Money(r.sumAfter));
        EXPECT_DOUBLE_EQ(e->DTime, r.time);
        EXPECT_DOUBLE_EQ(e->Proc, r.proc);
        EXPECT_EQ(e->TabNum, 17);
        EXPECT_EQ(e->Kind, tdkPermanent);
    }
}

TEST_F(TabnDopList, AnEntrySumOfManyAmountsIsTheExactSum)
{
    // Large enough that a trip through doubles loses the half kopeck.
    Currency total;
    for (int i = 0; i < 999; ++i)
        total += Money(100000000);
    for (int i = 0; i < 1000; ++i)
        total += Money(0.1);
    for (int i = 0; i < 50; ++i)
        total += Money(0.0001);
    ASSERT_EQ(total.Raw(), 999000001000050);
    T_TabnDopList list(&dn, tdkNewResults);
    list.TabNum = 17;
    list.Date = work;
    list.SetValues(dnNachis, 0, total, 0);
    EXPECT_EQ(list.GetSum(dnNachis).Raw(), 999000001000100) << "99 900 000 100,005 to kopecks, half away";
}

TEST_F(TabnDopList, NewEntriesAreDatedByTheListsOwnDateWhenSet)
{
    T_TabnDopList list(&dn, tdkInput);
    list.TabNum = 17;
    list.Date = work;
    list.SetValues(1, 0, Money(5), 0);
    EXPECT_EQ(list[0]->DateBeg, monthBeg);
    EXPECT_EQ(list[0]->DateEnd, monthEnd);
    EXPECT_EQ(list[0]->DateOp, work);
    list.OwnDate = prevEnd;
    EXPECT_EQ(list.GetDate(), prevEnd);
    list.SetValues(3, 0, Money(5), 0);
    EXPECT_EQ(list.FindTabnDop(3)->DateBeg, prevBeg);
    EXPECT_EQ(list.FindTabnDop(3)->DateEnd, prevEnd);
    EXPECT_EQ(list.FindTabnDop(3)->DateOp, work) << "the date of input stays the list's Date";

    double time = -1, proc = -1;
    Currency sum = Money(-1);
    list.GetValues(3, time, sum, proc);
    EXPECT_EQ(sum, Money(5));
    list.GetValues(99, time, sum, proc);
    EXPECT_TRUE(time == 0 && sum == Currency() && proc == 0);
    EXPECT_EQ(list.GetSum(1), Money(5));
    EXPECT_EQ(list.GetSum(99), Currency());
}

// ---------------------------------------------------------------- permanent accruals

TEST_F(TabnDopList, PermanentAccrualsReplaceOnlyTheEmployeesRows)
{
    AddRow("SRD", {"TABNUM", "DOPNUM", "SUM"}, {Variant(18), Variant(1), Variant(700.0)});
    AddRow("SRD", {"TABNUM", "DOPNUM", "SUM", "PROC", "DATEBEG", "DATEEND"},
        {Variant(17), Variant(5), Variant(1.0), Variant(20.0), Variant::FromDate(prevBeg),
            Variant::FromDate(monthEnd)});
    T_TabnDopList perm(&dn, tdkPermanent);
    perm.Date = work;
    perm.SetTabn(17);
    ASSERT_EQ(perm.Count(), 1);
    EXPECT_DOUBLE_EQ(perm[0]->Proc, 20);
    EXPECT_EQ(perm[0]->DateBeg, prevBeg);
    EXPECT_EQ(perm[0]->DateEnd, monthEnd);
    EXPECT_EQ(perm[0]->DTime, 0) << "permanent rows have no time";

    perm.SetValues(1, 0, Money(30000), 0);
    perm.Save();
    T_TabnDopList again(&dn, tdkPermanent);
    again.Date = work;
    again.SetTabn(17);
    EXPECT_EQ(Numbers(again), (QList<int>{1, 5}));
    EXPECT_EQ(again.FindTabnDop(5)->DateEnd, monthEnd);

    // Number 0: its own rows (none) deleted, nothing appended, 17 and 18 untouched.
    T_TabnDopList none(&dn, tdkPermanent);
    none.Date = work;
    none.SetTabn(0);
    none.SetValues(1, 0, Money(5), 0);
    none.Save();
    EXPECT_EQ(Rows("SRD").size(), 3);
}

TEST_F(TabnDopList, AFailingEntryUndoesTheWholeSave)
{
    AddRow("SRD", {"TABNUM", "DOPNUM", "SUM"}, {Variant(17), Variant(1), Variant(100.0)});
    AddRow("SRD", {"TABNUM", "DOPNUM", "SUM"}, {Variant(17), Variant(3), Variant(200.0)});
    const QList<Stored> before = Rows("SRD");
    T_TabnDopList perm(&dn, tdkPermanent);
    perm.Date = work;
    perm.TabNum = 17;
    perm.SetValues(1, 0, Money(1), 0);
    perm.SetValues(3, 0, Money(2), 0);
    perm.SetValues(5, 0, Money(3), 0);
    perm[1]->Kind = 9; // the second of three appends fails
    try {
        perm.Save();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(
            e.Message(), QStringLiteral("Ошибка сохранения списка постоянных доплат\r\nT_TabnDop: Неизвестный тип"));
    }
    EXPECT_EQ(Rows("SRD"), before) << "nothing deleted, nothing appended";
}

// ---------------------------------------------------------------- results and totals

TEST_F(TabnDopList, ResultsCarryLastMonthsAmountToPayAsTheBalance)
{
    AddResult("NC", 17, 1, 30000, work, 168);
    AddResult("NC", 17, dnVsego, 26100, work);
    AddResult("NC", 18, 1, 1, work);
    AddResult("NCARC", 17, dnVsego, 555.55, prevEnd, 0);
    AddResult("NCARC", 17, dnNachis, 999, prevEnd);
    AddResult("NCARC", 17, 1, 28000, prevEnd - 3);
    AddResult("NCARC", 17, dnVsego, 111, prevBeg - 1); // two months back
    AddResult("NCARC", 18, dnVsego, 222, prevEnd);

    T_TabnDopList results(&dn, tdkResults);
    results.Date = work;
    results.SetTabn(17);
    EXPECT_EQ(Numbers(results), (QList<int>{1, dnBegin, dnVsego})) << "known kinds first, then by number";
    const T_TabnDop* begin = results.FindTabnDop(dnBegin);
    ASSERT_NE(begin, nullptr);
    EXPECT_EQ(begin->Sum, Money(555.55));
    EXPECT_EQ(begin->DateOp, prevEnd);
    EXPECT_DOUBLE_EQ(results.FindTabnDop(1)->DTime, 168);

    // A past month: its archived rows and the month before's balance.
    T_TabnDopList past(&dn, tdkResults);
    past.Date = prevBeg;
    past.SetTabn(17);
    EXPECT_EQ(Numbers(past), (QList<int>{1, dnBegin, dnNachis, dnVsego}));
    EXPECT_EQ(past.FindTabnDop(dnBegin)->Sum, Money(111));
    EXPECT_EQ(past.FindTabnDop(dnVsego)->Sum, Money(555.55));

    past.SetTabn(18);
    EXPECT_EQ(Numbers(past), (QList<int>{dnVsego})) << "no balance without a row of the month before";

    past.Save(); // results are never written
    EXPECT_EQ(Rows("NCARC").size(), 5);
}

TEST_F(TabnDopList, MonthTotalsSavedTwiceUpdateTheSameRows)
{
    AddResult("NCARC", 17, 1, 28000, prevEnd - 3); // an ordinary row of that month
    AddResult("NCARC", 17, dnPNPay, 10, prevBeg - 1); // another month
    const auto save = [&](double vsego, double pay) {
        T_TabnDopList totals(&dn, tdkMonthTotals);
        totals.Date = work;
        totals.SetTabn(17);
        totals.SetValues(dnVsego, 0, Money(vsego), 0);
        totals.SetValues(dnPNPay, 0, Money(pay), 0);
        totals.SetValues(dnFirstReserved, 3, Currency(), 0);
        totals.Save();
    };
    save(1000, 130);
    const int count = Rows("NCARC").size();
    EXPECT_EQ(count, 5);
    save(2000, 260);
    EXPECT_EQ(Rows("NCARC").size(), count) << "no duplicates";

    std::map<int, Stored> last;
    for (const Stored& s : Rows("NCARC")) {
        if (s.dopNum >= dnFirstReserved && s.dateOp >= prevBeg)
            last[s.dopNum] = s;
    }
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[dnVsego], (Stored{17, dnVsego, 2000, prevEnd, prevEnd}));
    EXPECT_EQ(last[dnPNPay], (Stored{17, dnPNPay, 260, prevEnd, prevEnd}));
    EXPECT_EQ(last[dnFirstReserved].dateBeg, prevEnd) << "the first reserved number is a total too";

    T_TabnDopList totals(&dn, tdkMonthTotals);
    totals.Date = work;
    totals.SetTabn(17);
    EXPECT_EQ(Numbers(totals), (QList<int>{dnFirstReserved, dnPNPay, dnVsego}))
        << "no row below the reserved numbers, none of another month";
    EXPECT_DOUBLE_EQ(totals.FindTabnDop(dnFirstReserved)->DTime, 3);
}

TEST_F(TabnDopList, NewResultsReplaceTheEmployeesRows)
{
    AddResult("NC", 17, 1, 1, work);
    AddResult("NC", 18, 1, 2, work);
    T_TabnDopList fresh(&dn, tdkNewResults);
    fresh.Date = work;
    fresh.SetTabn(17);
    EXPECT_EQ(fresh.Count(), 0) << "new results read nothing";
    fresh.SetValues(200, 0, Money(390), 0);
    fresh.SetValues(1, 168, Money(3000), 0);
    for (T_TabnDop* e : fresh)
        e->DateOp = work;
    EXPECT_EQ(Numbers(fresh), (QList<int>{200, 1})) << "never sorted";
    fresh.Save();
    T_TabnDopList results(&dn, tdkResults);
    results.Date = work;
    results.SetTabn(17);
    EXPECT_EQ(Numbers(results), (QList<int>{1, 200}));
    EXPECT_TRUE(results.FindTabnDop(200)->Uder);
    EXPECT_EQ(Rows("NC").size(), 3);

    T_TabnDopList orphan(&dn, tdkNewResults);
    orphan.SetValues(1, 0, Money(5), 0);
    orphan.Save();
    EXPECT_EQ(Rows("NC").size(), 3) << "number 0 writes no rows";

    fresh[0]->Kind = 0;
    try {
        fresh.Save();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("T_TabnDop: Неизвестный тип")) << "the texts alone";
    }
    EXPECT_EQ(Rows("NC").size(), 3);
}

// A run's shared cursors: every kind of list reads and writes through them
// for one employee after another, opening no cursor of its own, and a
// failed save leaves them usable.
TEST_F(TabnDopList, ListsOfARunShareItsCursors)
{
    AddInput("VVOD", 17, 1, 100, work);
    AddInput("VVOD", 18, 3, 200, work);
    AddResult("NC", 18, 1, 7, work);
    AddResult("NCARC", 18, dnVsego, 50, prevEnd);
    AddRow("SRD", {"TABNUM", "DOPNUM", "SUM"}, {Variant(18), Variant(5), Variant(10.0)});
    TTabnCursors cursors;
    const auto run = [&](int tabn) {
        QList<QList<int>> read;
        for (quint8 kind : {tdkPermanent, tdkInput, tdkResults, tdkMonthTotals}) {
            T_TabnDopList list(&dn, kind);
            list.Cursors = &cursors;
            list.Date = work;
            list.SetTabn(tabn);
            read << Numbers(list);
        }
        T_TabnDopList results(&dn, tdkNewResults);
        results.Cursors = &cursors;
        results.Date = work;
        results.SetTabn(tabn);
        results.SetValues(3, 0, Money(tabn), 0);
        results.SetValues(dnVsego, 0, Money(1), 0);
        results.Save();
        return read;
    };
    run(17); // every table opened once
    const uint64_t before = Cursor().Id();
    EXPECT_EQ(run(18), (QList<QList<int>>{{5}, {3}, {1, dnBegin}, {dnVsego}}));
    EXPECT_EQ(run(17), (QList<QList<int>>{{}, {1}, {3, dnVsego}, {}})) << "the rows the first run saved";
    EXPECT_EQ(Cursor().Id(), before + 1) << "no cursor made but the probes";

    T_TabnDopList failing(&dn, tdkNewResults);
    failing.Cursors = &cursors;
    failing.Date = work;
    failing.TabNum = 18;
    failing.SetValues(1, 0, Money(9), 0);
    failing.SetValues(3, 0, Money(9), 0);
    failing[1]->Kind = 9; // the second append fails
    EXPECT_THROW(failing.Save(), EAppException);
    T_TabnDopList results(&dn, tdkResults);
    results.Cursors = &cursors;
    results.Date = work;
    results.SetTabn(18);
    EXPECT_EQ(Numbers(results), (QList<int>{3, dnBegin, dnVsego})) << "the stored rows, unchanged";
    const QList<Stored> nc = Rows("NC");
    EXPECT_EQ(nc.size(), 4);
}

// ---------------------------------------------------------------- kinds, filters and checks

TEST_F(TabnDopList, UnknownKindsAndForeignRowsAreRefused)
{
    T_TabnDopList bad(&dn, 7);
    bad.TabNum = 17;
    for (const auto& call : {std::function<void()>([&] { bad.Load(); }), std::function<void()>([&] { bad.Save(); })}) {
        try {
            call();
            FAIL() << "no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("T_TabnDopList: Неизвестный тип"));
        }
    }

    AddResult("NC", 18, 1, 1, work);
    Cursor nc(QStringLiteral("NC"));
    nc.Open();
    T_TabnDop bound(17, &dn, tdkResults);
    try {
        bound.LoadFromTable(nc);
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("T_TabnDop: Не тот табельный номер"));
    }
    T_TabnDop loose(17, &dn, tdkResults);
    loose.Bound = false;
    loose.LoadFromTable(nc);
    EXPECT_EQ(loose.TabNum, 18);
    EXPECT_EQ(loose.GetDop(), dn.FindDop(1));

    T_TabnDop odd(18, &dn, 0);
    try {
        odd.LoadFromTable(nc);
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("T_TabnDop: Неизвестный тип"));
    }
}

TEST_F(TabnDopList, TheFilterEventMayRefuseEntries)
{
    AddInput("VVOD", 17, 1, 1, work);
    AddInput("VVOD", 17, 200, 2, work);
    T_TabnDopList input(&dn, tdkInput);
    input.Date = work;
    input.OnFilter = [](T_TabnDopList*, T_TabnDop* e, bool& accept) { accept = !e->Uder; };
    input.SetTabn(17);
    EXPECT_EQ(Numbers(input), (QList<int>{1}));
}

TEST_F(TabnDopList, SortModes)
{
    T_TabnDopList list(&dn, tdkResults);
    list.TabNum = 17;
    list.Date = work;
    for (int n : {dnVsego, 201, 77, 1, dnNachis, 3, 200, 5, 66})
        list.SetValues(n, 1, Money(1), 0);
    struct Row {
        int mode;
        QList<int> expected;
    };
    const Row rows[] = {
        // names: Больничный, Оклад, Премия | Алименты, Налог | unknown kinds and totals by number
        {2, {5, 1, 3, 201, 200, 66, 77, dnNachis, dnVsego}},
        {3, {3, 5, 1, 200, 201, 66, 77, dnNachis, dnVsego}}, // SNUM 1, 2, 3 | 1, 2
        {4, {1, 5, 3, 201, 200, 66, 77, dnNachis, dnVsego}}, // stages 10, 100, 150 | 30, 40
        {1, {1, 3, 5, 200, 201, 66, 77, dnNachis, dnVsego}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode);
        list.SetSortMode(r.mode);
        EXPECT_EQ(Numbers(list), r.expected);
    }
    list.SetSortMode(0);
    list.SetValues(2, 1, Money(1), 0);
    list.Sort();
    EXPECT_EQ(Numbers(list).last(), 2) << "mode 0 keeps the order";
}

TEST_F(TabnDopList, BasicTypesSortBeforeStagesInMode4)
{
    AddKind(KindRow{10, QStringLiteral("Сдельно"), false, 2, false, 5, 1});
    AddKind(KindRow{11, QStringLiteral("Повременно"), false, 3, false, 6, 1});
    AddKind(KindRow{12, QStringLiteral("Баланс"), false, 1, false, 7, 1});
    dn.Reload();
    T_TabnDopList list(&dn, tdkInput);
    list.TabNum = 17;
    list.Date = work;
    for (int n : {11, 1, 10, 12})
        list.SetValues(n, 1, Currency(), 0);
    list.SetSortMode(4);
    EXPECT_EQ(Numbers(list), (QList<int>{12, 10, 11, 1}));
}

// ---------------------------------------------------------------- the directory and shared entries

TEST_F(TabnDopList, EntriesFollowTheDirectoryWhenItIsReadAgain)
{
    AddInput("VVOD", 17, 1, 1, work);
    AddInput("VVOD", 17, 3, 2, work);
    T_TabnDopList input(&dn, tdkInput);
    input.Date = work;
    input.SetSortMode(2);
    input.SetTabn(17);
    EXPECT_EQ(Numbers(input), (QList<int>{1, 3})); // Оклад, Премия

    Cursor dp(QStringLiteral("DP"));
    dp.Open();
    ASSERT_TRUE(dp.FindKey({Variant(1)}));
    SetRecordValues(dp, {"NAIM", "UDER"}, {Variant(QStringLiteral("Штраф")), Variant(true)});
    ChangeCounter changes;
    input.OnChange = changes.Event();
    const ScopedApplicationRunning running;
    dn.Reload();
    EXPECT_GE(changes.calls, 1);
    EXPECT_EQ(Numbers(input), (QList<int>{3, 1})) << "now a deduction";
    ASSERT_NE(input.FindTabnDop(1)->GetDop(), nullptr);
    EXPECT_EQ(input.FindTabnDop(1)->GetDop()->Naim, QStringLiteral("Штраф"));
    EXPECT_TRUE(input.FindTabnDop(1)->Uder);

    // An entry outside every list does not keep a freed kind either.
    T_TabnDop loose(17, &dn, tdkInput);
    loose.DopNum = 3;
    ASSERT_NE(loose.GetDop(), nullptr);
    dn.Reload();
    EXPECT_EQ(loose.GetDop(), dn.FindDop(3));
    loose.DopNum = 200;
    EXPECT_EQ(loose.GetDop(), dn.FindDop(200)) << "a changed number is looked up again";
}

TEST_F(TabnDopList, SharedEntriesAreFreedOnlyByTheirOwner)
{
    T_TabnDopList a(&dn, tdkInput), b(&dn, tdkInput);
    for (T_TabnDopList* l : {&a, &b}) {
        l->TabNum = 17;
        l->Date = work;
    }
    a.SetValues(1, 0, Money(1), 0);
    a.SetValues(3, 0, Money(2), 0);
    b.SetValues(200, 0, Money(3), 0);
    {
        T_TabnDopList all(&dn, tdkInput);
        all.TabNum = 17;
        all.Date = work;
        all.AddFrom(a);
        all.AddFrom(b);
        all.AddFrom(a);
        EXPECT_EQ(Numbers(all), (QList<int>{1, 3, 200})) << "each entry once";
        all.SetValues(3, 0, Currency(), 0); // removed from this list only
        EXPECT_EQ(all.Count(), 2);
        all.Save();
    } // destroying it frees none of them
    EXPECT_EQ(a.Count(), 2);
    EXPECT_EQ(a.FindTabnDop(1)->Sum, Money(1));
    EXPECT_EQ(b[0]->Sum, Money(3));
    EXPECT_EQ(Rows("VVOD").size(), 2);

    T_yqIntegerList numbers;
    numbers.AddInteger(5);
    a.GetDopNumbers(numbers);
    ASSERT_EQ(numbers.Count(), 2);
    EXPECT_EQ(numbers.GetInteger(1), 3);

    a[0]->Matched = a[1]->Matched = true;
    a.ClearMarks();
    EXPECT_FALSE(a[0]->Matched || a[1]->Matched);

    T_TabnDopList refs(&dn, tdkInput);
    refs.AddFrom(a);
    refs.ClearRefs();
    EXPECT_EQ(refs.Count(), 0);
    EXPECT_EQ(a.Count(), 2);
}

TEST(TabnDopListOwner, AListOutlivesItsDirectory)
{
    DataFolderFixture fx;
    fx.OpenDataBase();
    auto dn = std::make_unique<T_DNList>();
    T_TabnDopList list(dn.get(), tdkInput);
    EXPECT_EQ(dn->NotifyList()->Count(), 1);
    {
        T_TabnDopList other(dn.get(), tdkPermanent);
        EXPECT_EQ(dn->NotifyList()->Count(), 2);
    }
    EXPECT_EQ(dn->NotifyList()->Count(), 1) << "a list leaves the directory's handlers when it goes";
    dn.reset(); // then the list goes: no handler left to remove
}

} // namespace
