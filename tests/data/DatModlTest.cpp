// The data module on a fresh data base: its cursors and links, the record
// routines, the re-ordering of cards and kinds, deletions, the list hooks
// and the object store.

#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "db/Session.h"
#include "db/Tables.h"
#include "support/DataFolderFixture.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QSet>

#include <map>

namespace {

const QStringList kAllLists{"Departments", "Accruals", "IncomeTax", "Calendars", "UserFormulas"};
constexpr TDomainList kLists[] = {TDomainList::Departments, TDomainList::Accruals, TDomainList::IncomeTax,
    TDomainList::Calendars, TDomainList::UserFormulas};

TDomainListHooks LoadHook(std::function<void()> load)
{
    TDomainListHooks hooks;
    hooks.Load = std::move(load);
    return hooks;
}

TDomainListHooks MarkHook(std::function<void()> mark)
{
    TDomainListHooks hooks;
    hooks.MarkForReload = std::move(mark);
    return hooks;
}

class DatModlTest : public ::testing::Test {
protected:
    void SetUp() override { fx.OpenDataBase(); }
    void TearDown() override
    {
        for (TDomainList l : kLists)
            SetDomainListHooks(l, {});
        SetSplashTextHook({});
        CurrentUser = 0;
    }

    static TDM& dm() { return *DM(); }

    int AddPodr(const QString& naim)
    {
        return AppendNumberedRecord(dm().SP, {QStringLiteral("NAIM")}, {Variant(naim)});
    }
    void AddEmployee(int tabn, int podr, int snum, const QString& fio, int post = 0)
    {
        AppendRecordValues(dm().SR, tabn,
            {QStringLiteral("PODR"), QStringLiteral("SNUM"), QStringLiteral("FIO"), QStringLiteral("POST")},
            {Variant(podr), Variant(snum), Variant(fio), Variant(post)});
    }
    void AddDop(int dopnum, bool uder, int snum)
    {
        AppendRecordValues(dm().DP, dopnum, {QStringLiteral("UDER"), QStringLiteral("SNUM"), QStringLiteral("NAIM")},
            {Variant(uder), Variant(snum), Variant(QStringLiteral("Вид %1").arg(dopnum))});
    }

    // Values of a field over the cursor's rows.
    static QStringList Column(Cursor& c, const char* field)
    {
        QStringList out;
        const Field f = c.FieldByName(QString::fromLatin1(field));
        for (c.First(); !c.Eof(); c.Next())
            out << f.AsString();
        return out;
    }
    // SNUM by key of a whole table, read from the disk.
    static std::map<int, int> Order(const char* table, const char* key)
    {
        Cursor c{QString::fromLatin1(table)};
        c.Open();
        std::map<int, int> out;
        for (c.First(); !c.Eof(); c.Next())
            out[c.FieldByName(QString::fromLatin1(key)).AsInteger()]
                = c.FieldByName(QStringLiteral("SNUM")).AsInteger();
        return out;
    }

    DataFolderFixture fx;
};

// ---------------------------------------------------------------- the module

TEST_F(DatModlTest, EveryCursorIsOpenOnAFreshDataBase)
{
    ASSERT_NE(DM(), nullptr);
    EXPECT_EQ(dm().Tables().size(), 45);
    QSet<QString> names;
    for (Cursor* c : dm().Tables()) {
        EXPECT_TRUE(c->Active()) << c->Name().toStdString();
        names.insert(c->Name());
    }
    EXPECT_EQ(names.size(), 45) << "every component has its own name";
    EXPECT_EQ(dm().FindTable(QStringLiteral("tbzsr")), &dm().tbzSR);
    EXPECT_EQ(dm().FindTable(QStringLiteral("nothing")), nullptr);
    EXPECT_EQ(dm().tbzSR.IndexName(), QStringLiteral("PODR"));
    EXPECT_EQ(dm().tbaCtgr.IndexName(), QStringLiteral("NAIM"));
    EXPECT_EQ(dm().tbaPN.IndexName(), QStringLiteral("TIP"));
    EXPECT_EQ(dm().USER.TableName(), QStringLiteral("User"));
    EXPECT_TRUE(dm().SrFIO.IsValid());
    EXPECT_EQ(dm().SrDATEBEG.Name(), QStringLiteral("DATEBEG"));
    EXPECT_EQ(TDM::DataBaseName(), QStringLiteral("QorDataBase"));
}

TEST_F(DatModlTest, DepartmentsShowTheirEmployeesInDisplayOrder)
{
    const int shop = AddPodr(QStringLiteral("Цех"));
    const int store = AddPodr(QStringLiteral("Склад"));
    AddEmployee(1, shop, 2, QStringLiteral("Борисов"));
    AddEmployee(2, shop, 1, QStringLiteral("Андреев"));
    AddEmployee(3, store, 1, QStringLiteral("Васильев"));
    AppendRecordValues(dm().SRH, 0, {QStringLiteral("TABNUM"), QStringLiteral("OKL")}, {Variant(2), Variant(100.0)});
    AppendRecordValues(dm().SRH, 0, {QStringLiteral("TABNUM"), QStringLiteral("OKL")}, {Variant(3), Variant(200.0)});

    dm().tbzSP.First();
    EXPECT_EQ(Column(dm().tbzSR, "FIO"), (QStringList{"Андреев", "Борисов"}));
    dm().tbzSR.First();
    EXPECT_EQ(Column(dm().tbzSRH, "OKL"), QStringList{"100"});
    dm().tbzSP.Next();
    EXPECT_EQ(Column(dm().tbzSR, "FIO"), QStringList{"Васильев"});
    EXPECT_EQ(Column(dm().tbzSRH, "OKL"), QStringList{"200"});
}

TEST_F(DatModlTest, EmployeeLeadsToHisStaffRowAndItsPost)
{
    AppendRecordValues(dm().Staff, 4, {QStringLiteral("POST")}, {Variant(3)});
    AddEmployee(1, 1, 1, QStringLiteral("Иванов"), 4);
    dm().tbsSr.First();
    ASSERT_EQ(dm().tbsStaff.RecordCount(), 1);
    EXPECT_EQ(dm().tbsStaff.FieldByName(QStringLiteral("NUM")).AsInteger(), 4);
    EXPECT_EQ(Column(dm().tbsPost, "NAIM"), QStringList{"Главный бухгалтер"});
}

TEST_F(DatModlTest, IncomeTaxKindsLeadToScalesAndTheirLines)
{
    AppendRecordValues(dm().PNT, 1, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Основная"))});
    AppendRecordValues(dm().PNT, 2, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Прочая"))});
    AppendRecordValues(dm().PN, 10, {QStringLiteral("TIP")}, {Variant(2)});
    AppendRecordValues(dm().PNL, 10, {QStringLiteral("SUM"), QStringLiteral("PROC")}, {Variant(0.0), Variant(13.0)});
    AppendRecordValues(dm().PNL, 11, {QStringLiteral("SUM"), QStringLiteral("PROC")}, {Variant(0.0), Variant(20.0)});
    dm().tbaPNT.First();
    EXPECT_TRUE(dm().tbaPN.IsEmpty());
    EXPECT_TRUE(dm().tbaPNL.IsEmpty()) << "no scale, no lines";
    dm().tbaPNT.Next();
    EXPECT_EQ(Column(dm().tbaPN, "NUM"), QStringList{"10"});
    EXPECT_EQ(Column(dm().tbaPNL, "PROC"), QStringList{"13"});
}

TEST_F(DatModlTest, CreationRunsTheListHooksInOrderAndDestructionFreesThem)
{
    QStringList calls;
    for (int i = 0; i < 5; ++i) {
        const QString n = kAllLists[i];
        SetDomainListHooks(kLists[i],
            {[&calls, n] { calls << "Create " + n; }, [&calls, n] { calls << "Load " + n; },
                [&calls, n] { calls << "Mark " + n; }, [&calls, n] { calls << "Destroy " + n; }});
    }
    QStringList splash;
    SetSplashTextHook([&](const QString& t) { splash << t; });
    DestroyDataModule();
    calls.clear();
    CreateDataModule();
    EXPECT_EQ(splash, (QStringList{"База данных", "Формы"}));
    EXPECT_EQ(calls,
        (QStringList{"Create Departments", "Create Accruals", "Create IncomeTax", "Create Calendars",
            "Create UserFormulas", "Load Accruals", "Load Departments", "Load UserFormulas"}));
    calls.clear();
    DestroyDataModule();
    EXPECT_EQ(DM(), nullptr);
    EXPECT_EQ(calls,
        (QStringList{"Destroy Departments", "Destroy Accruals", "Destroy IncomeTax", "Destroy Calendars",
            "Destroy UserFormulas"}));
    EXPECT_EQ(DbSession::OpenFileCount(), 0);
}

TEST_F(DatModlTest, ReloadAllListsRefreshesThenReloadsInOrderAndAlwaysEnablesTheViews)
{
    QStringList calls;
    for (int i = 0; i < 5; ++i) {
        const QString n = kAllLists[i];
        SetDomainListHooks(kLists[i], LoadHook([&calls, n] {
            EXPECT_TRUE(DM()->SR.ControlsDisabled());
            calls << n;
        }));
    }
    // A row written by another copy shows after the reload.
    {
        Cursor other(QStringLiteral("SP"));
        other.Open();
        AppendRecordValues(other, 5, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Гараж"))});
    }
    ReloadAllLists();
    EXPECT_EQ(calls, kAllLists);
    EXPECT_FALSE(dm().SR.ControlsDisabled());
    EXPECT_EQ(dm().SP.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Гараж"));

    SetDomainListHooks(TDomainList::Calendars, LoadHook([] { throw EAppException(QStringLiteral("broken")); }));
    EXPECT_THROW(ReloadAllLists(), EAppException);
    EXPECT_FALSE(dm().SR.ControlsDisabled()) << "restored on the way out";
}

using DatModlWithLists = AppContextTest;

TEST_F(DatModlWithLists, SpareAccrualKindIsOfTheDirectoryButNotInIt)
{
    const T_Dop* spare = DM()->Dop.get();
    ASSERT_NE(spare, nullptr);
    ASSERT_NE(DNList(), nullptr);
    EXPECT_EQ(spare->Naim, QStringLiteral("(Начисление №%s в справочнике не найдено)"));
    EXPECT_EQ(spare->Owner, DNList());
    for (int i = 0; i < DNList()->DopCount(); ++i)
        EXPECT_NE(DNList()->GetDop(i), spare);
    ReloadAllLists();
    EXPECT_EQ(DM()->Dop.get(), spare) << "lives as long as the module";
}

TEST_F(DatModlTest, ReloadAllListsIsBusyThroughTheProgressSinkOnEveryWayOut)
{
    RecordingProgress progress;
    int depthInside = -1;
    SetDomainListHooks(TDomainList::Calendars, LoadHook([&] { depthInside = progress.BusyDepth(); }));
    ReloadAllLists();
    EXPECT_EQ(depthInside, 1);
    SetDomainListHooks(TDomainList::Calendars, LoadHook([] { throw EAppException(QStringLiteral("broken")); }));
    EXPECT_THROW(ReloadAllLists(), EAppException);
    EXPECT_EQ(progress.BusyScopes(), 2);
    EXPECT_EQ(progress.BusyDepth(), 0);
    EXPECT_TRUE(progress.Log().isEmpty()) << "no progress session for it";
}

TEST_F(DatModlTest, ReloadAllListsWorksWithNoListRegistered) { EXPECT_NO_THROW(ReloadAllLists()); }

// ---------------------------------------------------------------- numbers

TEST_F(DatModlTest, NextNumberOnAnEmptyTableIsOne)
{
    EXPECT_EQ(GetNextNumber(dm().SP), 1);
    EXPECT_EQ(GetNextNumber(dm().Post), 7) << "after the six default posts";
}

TEST_F(DatModlTest, NextNumberMovesNothingAndFiresNoScroll)
{
    AddPodr(QStringLiteral("Цех"));
    AddPodr(QStringLiteral("Склад"));
    AddEmployee(5, 1, 1, QStringLiteral("А"));
    AddEmployee(9, 2, 1, QStringLiteral("Б"));
    AddEmployee(7, 1, 2, QStringLiteral("В"));
    Cursor& c = dm().tbzSR;
    dm().tbzSP.First();
    c.SetIndexName(QStringLiteral("PODR"));
    c.Last();
    const Bookmark at = c.GetBookmark();
    int scrolls = 0;
    c.OnBeforeScroll = [&](Cursor&) { ++scrolls; };
    c.OnAfterScroll = [&](Cursor&) { ++scrolls; };
    EXPECT_EQ(GetNextNumber(c), 10) << "the whole table counts, not the range";
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(c.GetBookmark(), at);
    EXPECT_EQ(c.IndexName(), QStringLiteral("PODR"));
    c.OnBeforeScroll = c.OnAfterScroll = nullptr;
}

TEST_F(DatModlTest, AppendNextNumberLeavesTheNewRowInInsertState)
{
    Cursor& c = dm().tbaCtgr;
    EXPECT_EQ(AppendNextNumber(c), 4);
    EXPECT_EQ(c.State(), CursorState::Insert);
    EXPECT_EQ(c.IndexName(), QString()) << "the primary index is selected";
    c.FieldByName(QStringLiteral("NAIM")).SetString(QStringLiteral("Ученики"));
    c.Post();
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("CTGR")), 4);
    Cursor& sp = dm().SP;
    EXPECT_EQ(AppendNextNumber(sp), 1);
    sp.Cancel();
}

// ---------------------------------------------------------------- writing rows

struct ArrayCase {
    const char* name;
    QStringList names;
    QList<Variant> values;
    const char* message;
};

class DatModlArrays : public DatModlTest, public ::testing::WithParamInterface<ArrayCase> {};

TEST_P(DatModlArrays, BadArraysAppendAndChangeNothing)
{
    const ArrayCase& a = GetParam();
    AddPodr(QStringLiteral("Цех"));
    Cursor& sp = dm().SP;
    sp.First();
    const int before = sp.RecordCount();
    for (const auto& call :
        std::initializer_list<std::function<void()>>{[&] { AppendNumberedRecord(sp, a.names, a.values); },
            [&] { AppendRecordValues(sp, 3, a.names, a.values); }, [&] { SetRecordValues(sp, a.names, a.values); },
            [&] { SetRecordValuesByKey(sp, {Variant(1)}, a.names, a.values); }}) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(a.message));
        }
        EXPECT_EQ(sp.State(), CursorState::Browse);
        EXPECT_EQ(sp.RecordCount(), before);
    }
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("SP")), before);
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Цех"));
}

INSTANTIATE_TEST_SUITE_P(Arrays, DatModlArrays,
    ::testing::Values(
        ArrayCase{"ThreeNamesTwoValues", {"NAIM", "SNUM", "NUMUP"}, {Variant("x"), Variant(1)}, "Не совпадают массивы"},
        ArrayCase{
            "TwoNamesThreeValues", {"NAIM", "SNUM"}, {Variant("x"), Variant(1), Variant(2)}, "Не совпадают массивы"},
        ArrayCase{"NoNames", {}, {}, "Массив не может быть пуст"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatModlTest, AppendNumberedRecordNumbersStampsAndPosts)
{
    CurrentUser = 7;
    EXPECT_EQ(AddPodr(QStringLiteral("Цех")), 1);
    EXPECT_EQ(AddPodr(QStringLiteral("Склад")), 2);
    Cursor& sp = dm().SP;
    ASSERT_TRUE(sp.FindKey({Variant(2)}));
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Склад"));
    EXPECT_EQ(sp.FieldByName(QStringLiteral("USER")).AsInteger(), 7);
    EXPECT_EQ(AppendNumberedRecord(sp, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Без"))}, false), 3);
    EXPECT_TRUE(sp.FieldByName(QStringLiteral("USER")).IsNull()) << "not stamped when not asked";
    // NC has no USER field: nothing to stamp, nothing fails.
    EXPECT_EQ(AppendNumberedRecord(dm().NC, {QStringLiteral("TABNUM")}, {Variant(1)}), 1);
}

TEST_F(DatModlTest, FailurePartWayCancelsTheRowInsteadOfPostingItLater)
{
    AddPodr(QStringLiteral("Цех"));
    Cursor& sp = dm().SP;
    sp.First();
    EXPECT_THROW(SetRecordValues(sp, {QStringLiteral("NAIM"), QStringLiteral("NOPE")},
                     {Variant(QStringLiteral("Изменено")), Variant(1)}),
        EDatabaseError);
    EXPECT_EQ(sp.State(), CursorState::Browse);
    sp.Next();
    sp.First();
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Цех"));
    Cursor other(QStringLiteral("SP"));
    other.Open();
    EXPECT_EQ(other.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Цех"));

    EXPECT_THROW(AppendRecordValues(sp, 9, {QStringLiteral("NAIM"), QStringLiteral("SNUM")},
                     {Variant(QStringLiteral("Новый")), Variant(QStringLiteral("не число"))}),
        Exception);
    EXPECT_EQ(sp.State(), CursorState::Browse);
    sp.First();
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("SP")), 1);
    EXPECT_THROW(AppendNumberedRecord(sp, {QStringLiteral("NOPE")}, {Variant(1)}), EDatabaseError);
    sp.Last();
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("SP")), 1);
}

TEST_F(DatModlTest, AppendRecordValuesKeepsTheCallersIndexAndRange)
{
    Cursor& c = dm().tb_SRH;
    c.SetRange({Variant(10)}, {Variant(10)});
    AppendRecordValues(c, 0, {QStringLiteral("TABNUM"), QStringLiteral("OKL")}, {Variant(10), Variant(50.0)});
    AppendRecordValues(c, 0, {QStringLiteral("TABNUM"), QStringLiteral("OKL")}, {Variant(11), Variant(60.0)});
    EXPECT_EQ(c.IndexName(), QStringLiteral("TABNUM"));
    EXPECT_TRUE(c.HasRange());
    EXPECT_EQ(Column(c, "OKL"), QStringList{"50"});
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("SRH")), 2);
}

TEST_F(DatModlTest, SetRecordValuesByKeyFindsTheRowOrRefuses)
{
    AddPodr(QStringLiteral("Цех"));
    AddPodr(QStringLiteral("Склад"));
    Cursor& c = dm().tbzSP;
    SetRecordValuesByKey(c, {Variant(2)}, {QStringLiteral("SNUM")}, {Variant(4)});
    EXPECT_EQ(c.FieldByName(QStringLiteral("NUM")).AsInteger(), 2);
    EXPECT_EQ(c.FieldByName(QStringLiteral("SNUM")).AsInteger(), 4);
    try {
        SetRecordValuesByKey(c, {Variant(3)}, {QStringLiteral("SNUM")}, {Variant(4)});
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Нет в справочнике"));
    }
}

// ---------------------------------------------------------------- the enterprise row

TEST_F(DatModlTest, EnterpriseRowIsNeverNumberedZero)
{
    AppendRecordValues(dm().SP, -1, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Уволенные"))});
    CurrentUser = 3;
    EXPECT_EQ(dm().AddEnterpriseRecord(), 1);
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    EXPECT_EQ(Column(sp, "NUM"), (QStringList{"-1", "1"}));
    ASSERT_TRUE(sp.FindKey({Variant(1)}));
    EXPECT_EQ(
        sp.FieldByName(QStringLiteral("NAIM")).AsString(), QStringLiteral("Зарегистрируйте наименование предприятия"));
    EXPECT_EQ(sp.FieldByName(QStringLiteral("SNUM")).AsInteger(), 0);
    EXPECT_FALSE(sp.FieldByName(QStringLiteral("SNUM")).IsNull());
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NUMPDP")).AsInteger(), -1);
    EXPECT_EQ(sp.FieldByName(QStringLiteral("NUMUP")).AsInteger(), 0);
    EXPECT_FALSE(sp.FieldByName(QStringLiteral("DELETED")).AsBoolean());
    EXPECT_EQ(sp.FieldByName(QStringLiteral("USER")).AsInteger(), 3);
}

TEST_F(DatModlTest, EnterpriseRowOnAnEmptyOrFilledTableTakesTheNextNumber)
{
    EXPECT_EQ(dm().AddEnterpriseRecord(), 1);
    AppendRecordValues(dm().SP, 8, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех"))});
    EXPECT_EQ(dm().AddEnterpriseRecord(), 9);
}

// ---------------------------------------------------------------- re-ordering

struct MoveCase {
    const char* name;
    QList<std::pair<int, int>> rows; // personnel number, SNUM (department 1)
    int a;
    int b;
    std::map<int, int> expected;
};

class DatModlMoveTabn : public DatModlTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(DatModlMoveTabn, PlacesTheEmployeeJustBeforeTheOther)
{
    const MoveCase& c = GetParam();
    for (const auto& [tabn, snum] : c.rows)
        AddEmployee(tabn, 1, snum, QStringLiteral("№%1").arg(tabn));
    AddEmployee(100, 2, 2, QStringLiteral("Другой отдел"));
    ASSERT_TRUE(MoveTabnBefore(c.a, c.b));
    std::map<int, int> expected = c.expected;
    expected[100] = 2;
    EXPECT_EQ(Order("SR", "TABNUM"), expected);
    dm().SR.First();
    ASSERT_TRUE(dm().SR.FindKey({Variant(c.a)}));
    EXPECT_EQ(dm().SR.FieldByName(QStringLiteral("SNUM")).AsInteger(), expected[c.a]) << "the module's cursor sees it";
}

INSTANTIATE_TEST_SUITE_P(Cases, DatModlMoveTabn,
    ::testing::Values(MoveCase{"FreeNumberBelow", {{1, 1}, {2, 3}, {3, 5}}, 3, 2, {{1, 1}, {2, 3}, {3, 2}}},
        MoveCase{"TakenNumberShiftsTheRest", {{1, 1}, {2, 2}, {3, 3}, {4, 4}}, 4, 2, {{1, 1}, {2, 3}, {3, 4}, {4, 2}}},
        MoveCase{"BeforeTheFirstNeverGivesZero", {{1, 1}, {2, 2}, {3, 3}}, 3, 1, {{1, 2}, {2, 3}, {3, 1}}},
        MoveCase{"BeforeAnUnnumberedRow", {{1, 0}, {2, 0}, {3, 5}}, 3, 1, {{1, 2}, {2, 2}, {3, 1}}},
        MoveCase{"DownwardsIntoAGap", {{1, 1}, {2, 2}, {3, 4}}, 1, 3, {{1, 3}, {2, 2}, {3, 4}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatModlTest, MoveTabnBeforeRefusesWhatItCannotDo)
{
    AddEmployee(1, 1, 1, QStringLiteral("А"));
    AddEmployee(2, 2, 1, QStringLiteral("Б"));
    const std::map<int, int> before = Order("SR", "TABNUM");
    EXPECT_FALSE(MoveTabnBefore(1, 1));
    const auto expectMessage = [](const std::function<void()>& call, const QString& text) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), text);
        }
    };
    expectMessage([] { MoveTabnBefore(1, 2); }, QStringLiteral("Нужен номер в том же подразделении"));
    expectMessage([] { MoveTabnBefore(1, 99); }, QStringLiteral("Табельный номер №99 в справочнике не найден"));
    expectMessage([] { MoveTabnBefore(98, 1); }, QStringLiteral("Табельный номер №98 в справочнике не найден"));
    EXPECT_EQ(Order("SR", "TABNUM"), before);
}

TEST_F(DatModlTest, MoveDopBeforeWorksAmongTheKindsOfOneGroup)
{
    AddDop(1, false, 1);
    AddDop(2, false, 2);
    AddDop(3, false, 3);
    AddDop(10, true, 1);
    AddDop(11, true, 2);
    ASSERT_TRUE(MoveDopBefore(3, 1));
    EXPECT_EQ(Order("DP", "DOPNUM"), (std::map<int, int>{{1, 2}, {2, 3}, {3, 1}, {10, 1}, {11, 2}}));
    EXPECT_FALSE(MoveDopBefore(2, 2));
    try {
        MoveDopBefore(1, 77);
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Начисление №77 в справочнике не найдено"));
    }
    EXPECT_THROW(MoveDopBefore(1, 10), EAppException);
}

// ---------------------------------------------------------------- lookups and deletions

TEST_F(DatModlTest, LookupsByPersonnelNumber)
{
    AddEmployee(12, 3, 1, QStringLiteral("Петров П.П."));
    int podr = 0;
    ASSERT_TRUE(GetTabnPodr(12, podr));
    EXPECT_EQ(podr, 3);
    EXPECT_FALSE(GetTabnPodr(13, podr));
    QString fio;
    EXPECT_TRUE(GetFioByTabn(12, fio));
    EXPECT_EQ(fio, QStringLiteral("Петров П.П."));
    EXPECT_FALSE(GetFioByTabn(13, fio));
    EXPECT_EQ(fio, QStringLiteral("Не найдено"));
    // The report variables use the module's lookup.
    Cfg.TabnDirector = 12;
    Variant v;
    ASSERT_TRUE(GetReportVariable(QStringLiteral("FIODIRECTOR"), v));
    EXPECT_EQ(v.AsString(), QStringLiteral("Петров П.П."));
    Cfg.TabnDirector = 0;

    FindTabnOrError(12);
    EXPECT_EQ(dm().SR.FieldByName(QStringLiteral("TABNUM")).AsInteger(), 12);
    try {
        FindTabnOrError(5);
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Табельный номер №5 в справочнике не найден"));
    }
    try {
        FindDopOrError(4);
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Начисление №4 в справочнике не найдено"));
    }
}

TEST_F(DatModlTest, DeleteDopRecordTakesTheKindWithItsHistoryOnly)
{
    int marked = 0;
    SetDomainListHooks(TDomainList::Accruals, MarkHook([&] { ++marked; }));
    AddDop(1, false, 1);
    AddDop(2, false, 2);
    for (int dop : {1, 1, 2})
        AppendRecordValues(dm().DPH, 0, {QStringLiteral("DOPNUM")}, {Variant(dop)});
    dm().DPH.First();
    ASSERT_EQ(dm().DPH.RecordCount(), 3);

    EXPECT_TRUE(DeleteDopRecord(1));
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(Column(dm().DPH, "DOPNUM"), QStringList{"2"});
    EXPECT_EQ(Column(dm().DP, "DOPNUM"), QStringList{"2"});
    EXPECT_FALSE(DeleteDopRecord(1));
}

TEST_F(DatModlTest, DeletePodrAndTablRecords)
{
    int marked = 0;
    SetDomainListHooks(TDomainList::Departments, MarkHook([&] { ++marked; }));
    AddPodr(QStringLiteral("Цех"));
    AddPodr(QStringLiteral("Склад"));
    EXPECT_TRUE(DeletePodrRecord(1));
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(Column(dm().tbzSP, "NAIM"), QStringList{"Склад"});
    EXPECT_FALSE(DeletePodrRecord(1));

    AppendRecordValues(dm().DPT, 6, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Таблица"))});
    EXPECT_TRUE(DeleteTablRecord(6));
    EXPECT_TRUE(dm().tb_DPT.IsEmpty());
    EXPECT_FALSE(DeleteTablRecord(6));
}

TEST_F(DatModlTest, LocateByScanFindsEqualOrDifferingRows)
{
    Cursor& post = dm().Post;
    EXPECT_TRUE(LocateByScan(post, QStringLiteral("NAIM"), Variant(QStringLiteral("Кассир"))));
    EXPECT_EQ(post.FieldByName(QStringLiteral("NUM")).AsInteger(), 5);
    EXPECT_FALSE(LocateByScan(post, QStringLiteral("NAIM"), Variant(QStringLiteral("кассир")))) << "letter case counts";
    EXPECT_TRUE(LocateByScan(post, QStringLiteral("NUM"), Variant(1), true));
    EXPECT_EQ(post.FieldByName(QStringLiteral("NUM")).AsInteger(), 2);
    EXPECT_TRUE(LocateByScan(post, QStringLiteral("USER"), Variant(0))) << "an empty field reads as 0";
    EXPECT_FALSE(LocateByScan(post, QStringLiteral("NUM"), Variant(QStringLiteral("abc"))));
    EXPECT_THROW(LocateByScan(post, QStringLiteral("NOPE"), Variant(1)), EDatabaseError);
}

TEST_F(DatModlTest, OpenOwnedTablesReportsEachFailureAndSkipsTemporaryOnes)
{
    Cursor broken(QStringLiteral("NOTABLE"));
    broken.SetName(QStringLiteral("tbNope"));
    Cursor temp(QStringLiteral("SP"));
    temp.SetName(QStringLiteral("TMPsp"));
    Cursor good(QStringLiteral("SP"));
    good.SetName(QStringLiteral("tbGood"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Ошибка при открытии таблицы \"NOTABLE\""));
    OpenOwnedTables({&broken, &temp, &good});
    EXPECT_FALSE(broken.Active());
    EXPECT_FALSE(temp.Active());
    EXPECT_TRUE(good.Active());
    EXPECT_FALSE(msgs.Log()[0].details.isEmpty());

    good.Close();
    SetApplicationTerminating(true);
    OpenOwnedTables({&good});
    SetApplicationTerminating(false);
    EXPECT_FALSE(good.Active());
}

TEST(DatModlDamagedTable, OneMessagePerTableWhateverTheNumberOfItsCursors)
{
    DataFolderFixture fx;
    fx.OpenDataBase(false);
    fx.CloseDataBase();
    const QString sr = fx.DataPath() + QStringLiteral("SR.DB");
    WriteFileBytes(sr, QByteArray(4096, '\x03'));

    // The start-up stops before the data module on such a file; opened anyway, it is one message.
    fx.StartUp();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Ошибка при открытии таблицы \"карточки работников\""))
        .Containing(sr);
    CreateDataModule();
    EXPECT_EQ(msgs.Log().size(), 1);
    for (const Cursor* c : DM()->Tables()) {
        if (c->TableName() == QStringLiteral("SR"))
            EXPECT_FALSE(c->Active()) << c->Name().toStdString();
        else
            EXPECT_TRUE(c->Active()) << c->Name().toStdString();
    }
}

// ---------------------------------------------------------------- the object store

TEST_F(DatModlTest, BinObjectsRoundTripByteExactAndAreFoundByKeyAndDate)
{
    CurrentUser = 7;
    Cursor& bin = dm().Bin;
    QByteArray first;
    for (int i = 0; i < 256; ++i)
        first.append(char(i));
    first.append(QByteArray(3, '\0'));
    const QByteArray second("\xFF\x00\x01 version 2", 13);
    const TBinKey k1{binCalendars, 5, 2, 0, 45292};
    const TBinKey k2{binCalendars, 5, 2, 0, 45366};
    BinWrite(bin, k2, 45400, second);
    BinWrite(bin, k1, 45365, first);
    BinWrite(bin, TBinKey{binUserFormulas, 5, 2, 0, 45000}, 0, "other class");

    ASSERT_TRUE(BinFindKey(bin, k1));
    const TBinObject o = BinCurrent(bin);
    EXPECT_EQ(o.Info, first);
    EXPECT_EQ(o.DateEnd, 45365.0);
    EXPECT_EQ(o.User, 7);
    EXPECT_FALSE(BinFindKey(bin, TBinKey{binCalendars, 5, 2, 0, 45300}));

    ASSERT_TRUE(BinFindValid(bin, binCalendars, 5, 2, 0, 45300));
    EXPECT_EQ(BinCurrent(bin).Key.DateBeg, 45292.0);
    ASSERT_TRUE(BinFindValid(bin, binCalendars, 5, 2, 0, 45366));
    EXPECT_EQ(BinCurrent(bin).Info, second);
    ASSERT_TRUE(BinFindValid(bin, binCalendars, 5, 2, 0, 50000));
    EXPECT_EQ(BinCurrent(bin).Key.DateBeg, 45366.0);
    EXPECT_FALSE(BinFindValid(bin, binCalendars, 5, 2, 0, 45000)) << "before the first version";
    EXPECT_FALSE(BinFindValid(bin, binCalendars, 6, 2, 0, 50000));
    EXPECT_FALSE(BinFindValid(bin, binCalcTables, 0, 0, 0, 50000));

    // Rewriting a key replaces its version.
    BinWrite(bin, k1, 45366, "new");
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("Bin")), 3);
    ASSERT_TRUE(BinFindKey(bin, k1));
    EXPECT_EQ(BinCurrent(bin).Info, QByteArray("new"));

    BinSetRange(bin, {Variant(binCalendars)});
    EXPECT_EQ(bin.RecordCount(), 2);
    bin.CancelRange();
}

TEST_F(DatModlTest, BinUserIsASmallintAndAFailedWriteAppendsNothing)
{
    CurrentUser = 40000;
    EXPECT_THROW(BinWrite(dm().Bin, TBinKey{binPaySheets, 1, 0, 0, 45366}, 0, "x"), EDatabaseError);
    EXPECT_EQ(dm().Bin.State(), CursorState::Browse);
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("Bin")), 0);
}

} // namespace
