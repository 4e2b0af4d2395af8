// The accrual directory on a fresh data base: loading with its built-in
// slots, saving kinds with their tables, the built-in kinds, deleting.

#include "DopFixture.h"

#include "data/AppContext.h"
#include "data/Globals.h"
#include "db/Tables.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"

#include <QSet>

namespace {

using DopDirectory = DopFixture;

struct ConstKind {
    int dopNum;
    const char* naim;
    int tip;
    bool uder;
    int stadiaF;
    bool fbalans;
    bool tabl;
};

const ConstKind kExpected[] = {
    {0, "Баланс рабочего времени", 1, false, 1, false, false},
    {1, "Сдельно", 2, false, 1, true, false},
    {2, "Повременно", 3, false, 1, true, false},
    {3, "Премия", 4, false, 150, false, true},
    {40, "Отпуск", 5, false, 150, false, true},
    {60, "Больничный", 7, false, 150, false, true},
    {100, "Прочие доплаты", 8, false, 150, false, false},
    {200, "Подоходный налог", 9, true, 40, false, true},
    {201, "Подоходный налог прошлого", 10, true, 41, false, true},
    {202, "Подоходный налог будущего", 11, true, 42, false, true},
    {207, "Зарплата за прошлый месяц", 12, true, 150, false, false},
    {208, "Касса", 13, true, 150, false, false},
    {209, "Аванс", 14, true, 150, false, false},
    {300, "Прочие удержания", 15, true, 150, false, false},
};

TEST_F(DopDirectory, GenerateConstDopsMakesTheBuiltInKindsOnce)
{
    T_DNList dn;
    ASSERT_EQ(dn.DopCount(), 0);
    EXPECT_EQ(dn.GenerateConstDops(), 14);
    ASSERT_EQ(dn.DopCount(), 14);
    ASSERT_EQ(RowCount("DP"), 14);

    for (const ConstKind& k : kExpected) {
        SCOPED_TRACE(k.naim);
        T_Dop* d = dn.FindDop(k.dopNum);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Naim, QString::fromUtf8(k.naim));
        EXPECT_EQ(d->Tip, k.tip);
        EXPECT_EQ(d->Uder, k.uder);
        EXPECT_EQ(d->StadiaF, k.stadiaF);
        EXPECT_EQ(d->FBalans, k.fbalans);
        EXPECT_EQ(d->StadiaD, -1);
        EXPECT_EQ(d->Formula, 1);
        EXPECT_EQ(d->SNum, k.dopNum);
        EXPECT_EQ(d->DateBeg, Cfg.Workdate);
        EXPECT_FALSE(d->Deleted || d->New);
        EXPECT_EQ(dn.FindDopByTip(k.tip), d);
        if (k.tabl) {
            ASSERT_NE(d->TablTable, nullptr);
            EXPECT_GT(d->Tabl, 0);
            EXPECT_EQ(d->TablTable->Num, d->Tabl);
            EXPECT_EQ(d->TablTable->DopNum, k.dopNum);
            EXPECT_EQ(d->TablTable->Tip, 0);
            EXPECT_EQ(d->TablTable->Naim, d->Naim);
        } else {
            EXPECT_EQ(d->Tabl, 0);
            EXPECT_EQ(d->TablTable, nullptr);
        }
    }
    EXPECT_EQ(RowCount("DPT"), 6);
    EXPECT_EQ(dn.MaxStadiaF(), 150);

    // Types 5 and 7 have no slot: a second run must still find them.
    EXPECT_EQ(dn.GenerateConstDops(), 0);
    EXPECT_EQ(RowCount("DP"), 14);
    EXPECT_EQ(RowCount("DPT"), 6);

    T_DNList fresh;
    EXPECT_EQ(fresh.GenerateConstDops(), 0);
}

TEST_F(DopDirectory, GenerateConstDopsSearchesFreeNumbersUpwardFirst)
{
    AddKind(200, QStringLiteral("Занято 200"));
    for (int n : {40, 41})
        AddKind(n, QStringLiteral("Занято %1").arg(n));
    for (int n = 51; n <= 70; ++n)
        AddKind(n, QStringLiteral("Занято %1").arg(n));
    T_DNList dn;
    EXPECT_EQ(dn.GenerateConstDops(), 14);

    struct Row {
        int tip;
        int expected;
        const char* why;
    };
    const Row rows[] = {
        {9, 201, "200 taken: one up"},
        {10, 202, "201 taken by tax: one up"},
        {11, 203, "202 taken: one up"},
        {5, 39, "40 and 41 taken: one down before two up"},
        {7, 71, "60..70 and 51..59 taken: below 10 steps down only"},
        {1, 0, "0 free"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        T_Dop* d = dn.FindDopByTip(r.tip);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->DopNum, r.expected);
        EXPECT_EQ(d->SNum, r.expected);
    }
}

TEST_F(DopDirectory, SecondKindOfABuiltInTypeIsReportedAndTheFirstKeepsTheSlot)
{
    AddKind(KindRow{200, QStringLiteral("Налог"), true, 9});
    AddKind(KindRow{250, QStringLiteral("Ещё налог"), true, 9});
    AddKind(KindRow{40, QStringLiteral("Отпуск 1"), false, 5});
    AddKind(KindRow{41, QStringLiteral("Отпуск 2"), false, 5});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Дважды определено начисление, заложенное в расчет"))
        .Details(QStringLiteral("Номер начисления : 250\r\nТип начисления : 9"));
    T_DNList dn;
    EXPECT_EQ(dn.DopCount(), 4) << "loading goes on";
    ASSERT_NE(dn.FindDopByTip(9), nullptr);
    EXPECT_EQ(dn.FindDopByTip(9)->DopNum, 200);
    EXPECT_EQ(dn.FindDopByTip(5)->DopNum, 40) << "types without a slot: the first kind";
    EXPECT_EQ(dn.FindDopByTip(6), nullptr);
}

TEST_F(DopDirectory, LoadReadsEveryColumnAndLooksUpTheTables)
{
    AddTable(5, 3, 0, {1, 2});
    AddTable(6, 3, 1, {200});
    AppendRecordValues(DM()->DP, 0,
        {"DOPNUM", "DELETED", "UDER", "SNUM", "NAIM", "DOPNOMER", "DATEBEG", "BASENUM", "NABOR", "TIP", "FRAZOV",
            "NUMVALUTA", "INDIVID", "NAKOPL", "FDAYCLOCK", "FORMULA", "STADIAF", "STADIAD", "SUM", "TABL", "FBALANS",
            "VLIST"},
        {Variant(3), Variant(true), Variant(false), Variant(7), Variant(QStringLiteral("Премия|Прем.")),
            Variant(QStringLiteral("П-3")), Variant::FromDate(45000), Variant(4), Variant(9), Variant(4), Variant(true),
            Variant(2), Variant(true), Variant(true), Variant(true), Variant(129), Variant(150), Variant(-1),
            Variant(12.5), Variant(5), Variant(true), Variant(6)});
    T_DNList dn;
    T_Dop* d = dn.FindDop(3);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Owner, &dn);
    EXPECT_TRUE(d->Deleted && !d->Uder && d->FRazov && d->Individ && d->Nakopl && d->FDayClock && d->FBalans);
    EXPECT_EQ(d->SNum, 7);
    EXPECT_EQ(d->DopNomer, QStringLiteral("П-3"));
    EXPECT_EQ(d->DateBeg, 45000);
    EXPECT_EQ(d->BaseNum, 4);
    EXPECT_EQ(d->Nabor, 9);
    EXPECT_EQ(d->NumValuta, 2);
    EXPECT_EQ(d->Formula, 129);
    EXPECT_EQ(d->StadiaD, -1);
    EXPECT_DOUBLE_EQ(d->Sum, 12.5);
    ASSERT_NE(d->TablTable, nullptr);
    EXPECT_EQ(d->TablTable->GetInteger(1), 2);
    ASSERT_NE(d->VListTable, nullptr);
    EXPECT_EQ(d->VListTable->GetInteger(0), 200);
    EXPECT_FALSE(d->TablTable->Modified());
}

TEST_F(DopDirectory, ABadTableBlobStopsTheLoadingWithItsNumber)
{
    AddKind(1, QStringLiteral("Вид"));
    Cursor dpt(QStringLiteral("DPT"));
    dpt.Open();
    dpt.Append();
    dpt.FieldByName("NUM").SetInteger(8);
    dpt.FieldByName("INFO").SetBlob(QByteArray::fromHex("010000000500000006000000"));
    dpt.Post();
    T_DNList dn;
    try {
        dn.FindDop(1);
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Ошибка загрузки таблицы начисления №8"));
    }
    EXPECT_FALSE(dn.Loaded());
}

TEST_F(DopDirectory, SavingMakesMissingTablesUnderTheFinalNumber)
{
    AddKind(1, QStringLiteral("Первый"));
    T_DNList dn;
    T_Dop d(&dn);
    d.Naim = QStringLiteral("Новая премия");
    d.Tabl = -1;
    d.VList = -1;
    d.Save();
    EXPECT_EQ(d.DopNum, 2) << "numbered after the last kind";
    EXPECT_EQ(d.SNum, 2) << "a display number below 1 is the kind's number";
    ASSERT_NE(d.TablTable, nullptr);
    ASSERT_NE(d.VListTable, nullptr);
    EXPECT_EQ(d.Tabl, d.TablTable->Num);
    EXPECT_EQ(d.VList, d.VListTable->Num);
    EXPECT_NE(d.Tabl, d.VList);
    EXPECT_EQ(dn.Tables().FindByOwner(2, 0), d.TablTable) << "the directory holds the new tables";
    EXPECT_EQ(dn.Tables().FindByOwner(2, 1), d.VListTable);

    dn.Reload();
    T_Dop* read = dn.FindDop(2);
    ASSERT_NE(read, nullptr);
    ASSERT_NE(read->TablTable, nullptr);
    EXPECT_EQ(read->TablTable->DopNum, 2);
    EXPECT_EQ(read->TablTable->Tip, 0);
    EXPECT_EQ(read->TablTable->Naim, QStringLiteral("Новая премия"));
    EXPECT_EQ(read->VListTable->Tip, 1);
    EXPECT_EQ(read->SNum, 2);
    EXPECT_EQ(RowCount("DPT"), 2);

    // A changed table is written back with the kind; an unchanged one is not rewritten.
    read->TablTable->AddInteger(1);
    read->Naim = QStringLiteral("Премия");
    read->Save();
    EXPECT_EQ(RowCount("DPT"), 2);
    T_DNList again;
    EXPECT_EQ(again.FindDop(2)->TablTable->Count(), 1);
    EXPECT_EQ(again.FindDop(2)->Naim, QStringLiteral("Премия"));
}

TEST_F(DopDirectory, KindZeroIsWrittenUnderZero)
{
    T_Dop d;
    d.DopNum = 0;
    d.New = true;
    d.Naim = QStringLiteral("Баланс");
    d.Save();
    EXPECT_FALSE(d.New);
    T_Dop read;
    read.LoadByNum(0);
    EXPECT_EQ(read.Naim, QStringLiteral("Баланс"));
    EXPECT_EQ(read.SNum, 0) << "the kind's own number; 0 stays below 1";
}

TEST_F(DopDirectory, SaveOfAVanishedKindOrADuplicateNumberIsRefused)
{
    T_Dop gone;
    gone.DopNum = 77;
    gone.Naim = QStringLiteral("Удалённый");
    try {
        gone.Save();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Начисление №77 в справочнике не найдено"));
    }
    EXPECT_EQ(RowCount("DP"), 0);

    AddKind(5, QStringLiteral("Есть"));
    T_Dop dup;
    dup.DopNum = 5;
    dup.New = true;
    EXPECT_THROW(dup.Save(), Exception);
    EXPECT_TRUE(dup.New);
    EXPECT_EQ(RowCount("DP"), 1);
}

TEST_F(DopDirectory, AFailedSaveLeavesNoRowAndKeepsTheKind)
{
    T_DNList dn;
    T_Dop d(&dn);
    d.Naim = QStringLiteral("Сломанный");
    d.Tabl = -1;
    d.SNum = 40000; // beyond SNUM's range: refused at the last step
    EXPECT_THROW(d.Save(), Exception);
    EXPECT_EQ(d.DopNum, -1);
    EXPECT_EQ(d.Tabl, -1);
    EXPECT_EQ(d.TablTable, nullptr);
    EXPECT_EQ(RowCount("DP"), 0);
    EXPECT_EQ(RowCount("DPT"), 0) << "the table made on the way is rolled back";
    EXPECT_EQ(dn.Tables().Count(), 0);

    d.SNum = 4;
    d.Save();
    EXPECT_EQ(d.DopNum, 1);
    EXPECT_EQ(RowCount("DPT"), 1);
}

TEST_F(DopDirectory, RefreshAndLoadByNum)
{
    AddKind(4, QStringLiteral("Вид 4"));
    T_Dop d;
    d.DopNum = 4;
    EXPECT_TRUE(d.Refresh());
    EXPECT_EQ(d.Naim, QStringLiteral("Вид 4"));
    d.DopNum = 5;
    EXPECT_FALSE(d.Refresh());
    try {
        d.LoadByNum(6);
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Начисление №6 в справочнике не найдено"));
    }
}

TEST_F(DopDirectory, DeleteFromBaseTakesHistoryAndUserFormulaAndMarksTheDirectory)
{
    AddKind(7, QStringLiteral("Уходит"));
    AddKind(8, QStringLiteral("Остаётся"));
    for (int dop : {7, 7, 8})
        AppendRecordValues(DM()->DPH, 0, {"DOPNUM"}, {Variant(dop)});
    for (int dop : {7, 8})
        BinWrite(DM()->Bin, TBinKey{binUserFormulas, dop, 0, 0, 0}, 0, QByteArray("x"));
    T_DNList dn;
    T_Dop* d = dn.FindDop(7);
    ASSERT_NE(d, nullptr);
    d->DeleteFromBase();
    EXPECT_FALSE(dn.Loaded());
    EXPECT_EQ(dn.FindDop(7), nullptr);
    EXPECT_NE(dn.FindDop(8), nullptr);
    EXPECT_EQ(RowCount("DPH"), 1);
    EXPECT_FALSE(BinFindKey(DM()->Bin, TBinKey{binUserFormulas, 7, 0, 0, 0}))
        << "a later kind under 7 must not inherit the formula";
    EXPECT_TRUE(BinFindKey(DM()->Bin, TBinKey{binUserFormulas, 8, 0, 0, 0}));
}

TEST_F(DopDirectory, NamesAndNumbersFollowTheSettings)
{
    const Tcfg saved = Cfg;
    T_Dop d;
    d.DopNum = 12;
    d.DopNomer = QStringLiteral("A-12");
    d.Naim = QStringLiteral("Премия месячная|Премия|Прем.");
    struct Row {
        int vid;
        const char* expected;
    };
    const Row rows[] = {{0, "Премия месячная|Премия|Прем."}, {1, "Премия месячная"}, {2, "Премия"}, {3, "Прем."},
        {4, "Премия месячная"}};
    for (const Row& r : rows) {
        Cfg.NameDopVid = r.vid;
        EXPECT_EQ(d.GetName(), QString::fromUtf8(r.expected)) << r.vid;
    }
    EXPECT_EQ(d.GetNamePart(-1), d.Naim);
    Cfg.DopNomer = false;
    EXPECT_EQ(d.GetNumberText(), QStringLiteral("12"));
    Cfg.DopNomer = true;
    EXPECT_EQ(d.GetNumberText(), QStringLiteral("A-12"));
    Cfg = saved;
}

TEST_F(DopDirectory, VychetListHoldsTheKindsOfTheVListTable)
{
    AddTable(3, 1, 1, {200, 999, 201});
    AddKind(KindRow{1, QStringLiteral("Оклад"), false, 0, false, 0, 0, 0, 3});
    AddKind(200, QStringLiteral("Налог"), true);
    AddKind(201, QStringLiteral("Взнос"), true);
    T_DNList dn;
    T_yqOwnerListOf<T_MDop> list;
    list.AddObject(new T_MDop);
    dn.FindDop(1)->GetVychetList(list);
    ASSERT_EQ(list.Count(), 2) << "999 is no kind";
    EXPECT_EQ(list[0]->Dop->DopNum, 200);
    EXPECT_EQ(list[1]->Dop->DopNum, 201);
}

// ---------------------------------------------------------------- change handlers

class Receiver : public TObject {
public:
    explicit Receiver(T_DNList& dn) : dn_(dn) {}
    void Changed(TObject*)
    {
        ++calls;
        counted = dn_.DopCount();
        if (removeSelf)
            dn_.RemoveNotify(TNotifyEvent(this, &Receiver::Changed));
        if (removeOther != nullptr)
            dn_.RemoveNotify(TNotifyEvent(removeOther, &Receiver::Changed));
        if (!fail.isEmpty())
            throw EAppException(fail);
    }
    int calls = 0;
    int counted = -1;
    bool removeSelf = false;
    Receiver* removeOther = nullptr;
    QString fail;

private:
    T_DNList& dn_;
};

TEST_F(DopDirectory, ChangedCallsEveryHandlerOnceAndGathersTheirErrors)
{
    AddKind(1, QStringLiteral("Вид"));
    T_DNList dn;
    Receiver a(dn), b(dn), c(dn), d(dn);
    EXPECT_EQ(dn.AddNotify(TNotifyEvent(&a, &Receiver::Changed)), 0);
    EXPECT_EQ(dn.AddNotify(TNotifyEvent(&b, &Receiver::Changed)), 1);
    EXPECT_EQ(dn.AddNotify(TNotifyEvent(&a, &Receiver::Changed)), 0) << "no duplicates";
    dn.AddNotify(TNotifyEvent(&c, &Receiver::Changed));
    dn.AddNotify(TNotifyEvent(&d, &Receiver::Changed));
    a.removeSelf = true;
    b.removeOther = &c; // c is skipped in this walk
    b.fail = QStringLiteral("Первая|ошибка");
    d.fail = QStringLiteral("Вторая");

    const ScopedApplicationRunning running;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Обнаружены ошибки реинициализации списка начислений:"))
        .Details(QStringLiteral("Первая|ошибка\r\nВторая"));
    EXPECT_EQ(dn.DopCount(), 1);
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(a.counted, 1) << "handlers see the loaded directory";
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(c.calls, 0);
    EXPECT_EQ(d.calls, 1);
    msgs.VerifyAndClear();

    d.fail.clear();
    b.fail.clear();
    dn.Reload();
    EXPECT_EQ(a.calls, 1) << "removed itself";
    EXPECT_EQ(b.calls, 2);
    EXPECT_EQ(d.calls, 2);
}

TEST_F(DopDirectory, HandlersRunOnlyWhileTheApplicationRuns)
{
    AddKind(1, QStringLiteral("Вид"));
    T_DNList dn;
    Receiver a(dn);
    dn.AddNotify(TNotifyEvent(&a, &Receiver::Changed));
    T_DNSubList view(&dn, 3);
    ASSERT_EQ(view.DopCount(), 1);
    dn.Reload();
    EXPECT_EQ(a.calls, 0) << "start-up: not running yet";
    EXPECT_FALSE(view.Built());
    EXPECT_EQ(view.DopCount(), 1) << "rebuilt at its next use";

    const ScopedApplicationRunning running;
    SetApplicationTerminating(true);
    dn.Reload();
    SetApplicationTerminating(false);
    EXPECT_EQ(a.calls, 0);
    dn.Reload();
    EXPECT_EQ(a.calls, 1);
    EXPECT_TRUE(view.Built()) << "rebuilt by the reload";
}

// ---------------------------------------------------------------- the program's directory

TEST(DopProgramDirectory, TheDataModuleMakesLoadsReloadsAndFreesIt)
{
    struct Uninstall {
        ~Uninstall() { SetDomainListHooks(TDomainList::Accruals, {}); }
    } uninstall;
    DataFolderFixture fx;
    InstallDNListHooks();
    fx.OpenDataBase();
    ASSERT_NE(DNList(), nullptr);
    EXPECT_TRUE(DNList()->Loaded());
    EXPECT_EQ(DNList()->DopCount(), 0);

    AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM"}, {Variant(5), Variant(QStringLiteral("Вид"))});
    ReloadAllLists();
    EXPECT_TRUE(DNList()->Loaded());
    ASSERT_NE(DNList()->FindDop(5), nullptr);

    DeleteDopRecord(5);
    EXPECT_FALSE(DNList()->Loaded()) << "the data module's writers mark it";
    EXPECT_EQ(DNList()->FindDop(5), nullptr);

    fx.CloseDataBase();
    EXPECT_EQ(DNList(), nullptr);
}

} // namespace
