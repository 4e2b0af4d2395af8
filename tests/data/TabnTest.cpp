// Personnel cards over a fresh data base: round trips of every column, the
// display number, dismissal, the comment, saving all or nothing, deletion
// with the employee's rows, new numbers beside the archives, the read-only
// card, and the department's card list with its filters and sort orders.

#include "data/Tabn.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Sqlite.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"

#include <QLocale>

#include <functional>

#include <gtest/gtest.h>

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

int CountRows(const char* table, qint32 tabNum)
{
    Cursor c{QString::fromLatin1(table)};
    c.Open();
    int n = 0;
    for (c.First(); !c.Eof(); c.Next())
        n += c.FieldByName(QStringLiteral("TABNUM")).AsInteger() == tabNum ? 1 : 0;
    return n;
}

void AddRow(const char* table, const QStringList& names, const QList<Variant>& values)
{
    Cursor c{QString::fromLatin1(table)};
    c.Open();
    AppendRecordValues(c, 0, names, values);
}

// An SR row as the predecessor's data or another copy may have written it.
void AddEmployee(qint32 tabn, qint32 podr, const char* fio, qint32 snum = 0, qint32 oldPodr = 0, double dateRas = 0)
{
    AppendRecordValues(DM()->SR, tabn, {"PODR", "OLDPODR", "SNUM", "FIO", "DATERAS"},
        {Variant(podr), Variant(oldPodr), Variant(snum), Variant(U(fio)), Variant::FromDate(dateRas)});
}

Variant SrValue(qint32 tabn, const char* field)
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    EXPECT_TRUE(sr.FindKey({Variant(tabn)})) << tabn;
    return sr.FieldByName(QString::fromLatin1(field)).AsVariant();
}

QList<qint32> Numbers(const T_TNList& list)
{
    QList<qint32> out;
    for (T_Tabn* card : list)
        out << card->TabNum();
    return out;
}

class Tabn : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        for (int num : {2, 3})
            AppendRecordValues(DM()->SP, num, {"NUMPDP", "NUMUP", "SNUM", "NAIM"},
                {Variant(1), Variant(0), Variant(num), Variant(QStringLiteral("Цех %1").arg(num))});
        AppendRecordValues(DM()->DP, 0, {"DOPNUM", "NAIM"}, {Variant(1), Variant(U("Оклад"))});
        PNList()->Reload();
        DNList()->Reload();
    }
    void TearDown() override
    {
        AppContextTest::TearDown();
        Cfg.FioVid = 0;
        Cfg.TabNomer = false;
    }

    // A full card with every column set to a value of its own.
    static void Fill(T_xTabn& c)
    {
        c.Fio = U("Ёлкин Пётр|Ёлкин П.");
        c.SNum = 5;
        c.TabNomer = QStringLiteral("A-17");
        c.CUser = 4;
        c.Podr = 3;
        c.DateBeg = TDateTime(45000);
        c.DateRecept = TDateTime(44000);
        c.DateRelease = TDateTime(45100);
        c.CheckChange = true;
        c.DateRas = TDateTime(45010);
        c.Sum = 1234.56;
        c.Post = 6;
        c.Ctgr = 2;
        c.Ksop = 1;
        c.Okl = 25000.5;
        c.Avan = 10000;
        c.Fs = 3;
        c.MinZarp = 2;
        c.Vychet = 400;
        c.LgotaPN = 0.5;
        c.Calendar = 7;
        c.SpnTabl = 2;
        c.Order = 101;
        c.OrderRel = 202;
        c.SetComment(U("Переведён из цеха №2"));
    }
};

// Every column of a full card, one text each.
QStringList Columns(const T_xTabn& c)
{
    QStringList out{QString::number(c.TabNum()), c.Fio, QString::number(c.SNum), c.TabNomer, QString::number(c.CUser),
        QString::number(c.Podr), QString::number(c.OldPodr), QString::number(c.Dismissed)};
    for (double v : {c.DateBeg, c.DateRecept, c.DateRelease, c.DateRas, c.Sum, c.Okl, c.Avan, c.Vychet, c.LgotaPN})
        out << QString::number(v, 'g', 17);
    for (qint32 v : {qint32(c.CheckChange), c.Post, c.Ctgr, c.Ksop, c.Fs, c.MinZarp, c.Calendar, c.SpnTabl, c.Order,
             c.OrderRel, qint32(c.FComment)})
        out << QString::number(v);
    return out;
}

// ---------------------------------------------------------------- round trips

TEST_F(Tabn, FullCardRoundTripsEveryColumn)
{
    T_xTabn card(DNList());
    card.New = true;
    card.SetTabNum(17);
    Fill(card);
    card.Permanent().SetValues(1, 0, Currency::FromDouble(500), 0);
    card.Save();
    EXPECT_FALSE(card.New);
    EXPECT_FALSE(card.CommentChanged());

    bool found = false;
    auto back = T_xTabn::CreateByTabNum(DNList(), 17, found);
    ASSERT_TRUE(found);
    T_xTabn want(DNList());
    Fill(want);
    want.SetTabNum(17);
    EXPECT_EQ(Columns(*back), Columns(want));
    EXPECT_TRUE(back->FComment);
    EXPECT_EQ(back->Comment(), want.Comment());
    ASSERT_EQ(back->Permanent().Count(), 1);
    EXPECT_EQ(back->Permanent().GetSum(1), Currency::FromDouble(500));
}

TEST_F(Tabn, CommentIsStoredInCp1251UnderItsFullKey)
{
    // Another object of the card (TIP 1) stands first under its number.
    AddEmployee(17, 2, "Иванов", 1);
    AddRow("SRT", {"TABNUM", "TIP", "OWNNUM"}, {Variant(17), Variant(1), Variant(17)});
    bool found = false;
    auto card = T_xTabn::CreateByTabNum(DNList(), 17, found);
    ASSERT_TRUE(found);
    card->SetComment(U("Ёж"));
    card->Save();

    Cursor srt(QStringLiteral("SRT"));
    srt.SetIndexName(QStringLiteral("TABNUM"));
    srt.Open();
    ASSERT_TRUE(srt.FindKey({Variant(17), Variant(0)}));
    EXPECT_EQ(srt.FieldByName(QStringLiteral("OWNNUM")).AsInteger(), 17);
    EXPECT_EQ(srt.FieldByName(QStringLiteral("INFO")).AsBlob(), QByteArray("\x02\x00\x00\x00\xA8\xE6", 6));
    ASSERT_TRUE(srt.FindKey({Variant(17), Variant(1)}));
    EXPECT_TRUE(srt.FieldByName(QStringLiteral("INFO")).AsBlob().isEmpty()) << "the other object is untouched";

    card->SetComment(U("Ель"));
    card->Save();
    EXPECT_EQ(CountRows("SRT", 17), 2) << "the comment row is rewritten, not added";
    T_dTabn d(DNList());
    d.SetTabNum(17);
    EXPECT_EQ(d.Comment(), U("Ель"));
}

TEST_F(Tabn, CorruptCommentIsReportedWhenTheCardIsRead)
{
    AddEmployee(17, 2, "Иванов", 1);
    SetRecordValuesByKey(DM()->SR, {Variant(17)}, {"FCOMMENT"}, {Variant(true)});
    Cursor srt(QStringLiteral("SRT"));
    srt.Open();
    srt.Append();
    srt.FieldByName(QStringLiteral("TABNUM")).SetInteger(17);
    srt.FieldByName(QStringLiteral("TIP")).SetInteger(0);
    srt.FieldByName(QStringLiteral("INFO"))
        .SetBlob(QByteArray("\xFF\xFF\xFF\x7F"
                            "ab",
            6));
    srt.Post();
    T_xTabn card(DNList());
    card.SetTabNum(17);
    try {
        card.Load();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), U("Ошибка чтения текста из BLOB поля"));
    }
}

TEST_F(Tabn, DisplayNumberBelowOneBecomesThePersonnelNumber)
{
    AddEmployee(23, 2, "Петров", 0);
    bool found = false;
    auto card = T_Tabn::CreateByTabNum(23, found);
    ASSERT_TRUE(found);
    EXPECT_EQ(card->SNum, 23);
    card->Save();
    EXPECT_EQ(SrValue(23, "SNUM").AsInteger(), 23);
}

TEST_F(Tabn, ShortCardSavesOnlyItsColumnsAndDateOfCalculationWhenCalculated)
{
    struct Case {
        qint32 tabn;
        double dateRas;
        bool calculated;
        double stored;
    };
    for (const Case& c : {Case{30, 0.5, false, 0}, Case{31, 45000, true, 45000}}) {
        SCOPED_TRACE(c.tabn);
        AddEmployee(c.tabn, 2, "Сидоров", 4, 0, c.dateRas);
        SetRecordValuesByKey(DM()->SR, {Variant(c.tabn)}, {"OKL", "SUM"}, {Variant(900.0), Variant(77.5)});
        bool found = false;
        auto card = T_Tabn::CreateByTabNum(c.tabn, found);
        ASSERT_TRUE(found);
        EXPECT_EQ(card->Calculated, c.calculated);
        EXPECT_EQ(card->Sum, Currency::FromDouble(77.5));
        card->Fio = QStringLiteral("not written");
        card->CUser = 9;
        card->Save();
        EXPECT_DOUBLE_EQ(SrValue(c.tabn, "DATERAS").AsDouble(), c.stored);
        EXPECT_EQ(SrValue(c.tabn, "CUSER").AsInteger(), 9);
        EXPECT_EQ(SrValue(c.tabn, "FIO").AsString(), U("Сидоров"));
        EXPECT_DOUBLE_EQ(SrValue(c.tabn, "OKL").AsDouble(), 900.0);
    }
}

TEST_F(Tabn, DismissalKeepsTheOldDepartment)
{
    AddEmployee(40, 3, "Козлов", 1);
    AddEmployee(41, 3, "Лосев", 2);
    struct Case {
        qint32 tabn;
        bool full; // T_xTabn or T_Tabn
    };
    for (const Case& c : {Case{40, true}, Case{41, false}}) {
        SCOPED_TRACE(c.tabn);
        std::unique_ptr<T_TabnBase> card;
        bool found = false;
        if (c.full)
            card = T_xTabn::CreateByTabNum(DNList(), c.tabn, found);
        else
            card = T_Tabn::CreateByTabNum(c.tabn, found);
        ASSERT_TRUE(found);
        card->Dismissed = true;
        card->Save();
        EXPECT_EQ(SrValue(c.tabn, "PODR").AsInteger(), 0);
        EXPECT_EQ(SrValue(c.tabn, "OLDPODR").AsInteger(), 3);
        T_Tabn back;
        ASSERT_TRUE(back.LoadByTabNum(c.tabn));
        EXPECT_TRUE(back.Dismissed);
        EXPECT_EQ(back.Podr, 3);
        EXPECT_EQ(back.OldPodr, 3);
        // Taken back into another department: OLDPODR goes.
        back.Dismissed = false;
        back.Podr = 2;
        back.Save();
        EXPECT_EQ(SrValue(c.tabn, "PODR").AsInteger(), 2);
        EXPECT_EQ(SrValue(c.tabn, "OLDPODR").AsInteger(), 0);
    }
}

TEST_F(Tabn, MissingCardIsReportedByNumber)
{
    const QString text = U("Табельный номер №99 в справочнике не найден");
    T_Tabn card;
    card.SetTabNum(99);
    EXPECT_FALSE(card.TryLoad());
    T_xTabn full(DNList());
    full.SetTabNum(99);
    T_dTabn d(DNList());
    d.SetTabNum(99);
    const std::function<void()> actions[]
        = {[&] { card.Load(); }, [&] { card.Save(); }, [&] { full.Save(); }, [&] { (void)d.Okl(); }};
    for (const auto& action : actions) {
        try {
            action();
            ADD_FAILURE() << "no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), text);
        }
    }
    EXPECT_EQ(CountRows("SR", 99), 0);
}

TEST_F(Tabn, NameVariantsAndShownNumberFollowTheSettings)
{
    T_Tabn card;
    card.SetTabNum(12);
    card.TabNomer = QStringLiteral("T12");
    card.Fio = QStringLiteral("Full|Short|Init");
    const struct {
        int part;
        const char* want;
    } cases[] = {{0, "Full|Short|Init"}, {-1, "Full|Short|Init"}, {1, "Full"}, {3, "Init"}, {4, "Full"}};
    for (const auto& c : cases)
        EXPECT_EQ(card.GetFioPart(c.part), QString::fromLatin1(c.want)) << c.part;
    Cfg.FioVid = 2;
    EXPECT_EQ(card.GetFio(), QStringLiteral("Short"));
    EXPECT_EQ(card.GetNumberText(), QStringLiteral("12"));
    Cfg.TabNomer = true;
    EXPECT_EQ(card.GetNumberText(), QStringLiteral("T12"));
}

// ---------------------------------------------------------------- new numbers, failures, deletion

TEST_F(Tabn, NewNumbersPassOverArchivedEmployees)
{
    AddEmployee(3, 2, "Первый", 1);
    AddRow("VVARC", {"TABNUM", "DOPNUM"}, {Variant(7), Variant(1)});
    AddRow("NCARC", {"TABNUM", "DOPNUM"}, {Variant(9), Variant(1)});
    EXPECT_EQ(NextFreeTabNum(), 10);

    T_xTabn card(DNList());
    card.New = true;
    card.SetTabNum(-1);
    card.Fio = U("Новый");
    card.Podr = 2;
    card.Save();
    EXPECT_EQ(card.TabNum(), 10);
    EXPECT_EQ(card.SNum, 10);
    EXPECT_EQ(SrValue(10, "FIO").AsString(), U("Новый"));

    // A number chosen by hand: taken by a card or by an archive, refused.
    for (qint32 taken : {3, 7, 9}) {
        T_xTabn again(DNList());
        again.New = true;
        again.SetTabNum(taken);
        EXPECT_THROW(again.Save(), EKeyViolation) << taken;
        EXPECT_TRUE(again.New);
    }
    EXPECT_EQ(CountRows("SR", 7) + CountRows("SR", 9), 0);
    EXPECT_EQ(SrValue(3, "FIO").AsString(), U("Первый"));
}

TEST_F(Tabn, FailedSaveLeavesNoHalfWrittenCard)
{
    AddEmployee(5, 2, "Старый", 1);
    struct Case {
        bool isNew;
        qint32 tabn;
    };
    for (const Case& c : {Case{true, -1}, Case{true, 8}, Case{false, 5}}) {
        SCOPED_TRACE(c.tabn);
        T_xTabn card(DNList());
        card.New = c.isNew;
        card.SetTabNum(c.tabn);
        Fill(card);
        card.Permanent().SetValues(1, 0, Currency::FromDouble(10), 0);
        card.Permanent()[0]->Kind = 9; // the permanent accruals fail after SR and SRT were written
        EXPECT_THROW(card.Save(), EAppException);
        EXPECT_EQ(card.TabNum(), c.tabn);
        EXPECT_EQ(card.New, c.isNew);
        EXPECT_TRUE(card.CommentChanged());
    }
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    EXPECT_EQ(sr.RecordCount(), 1);
    EXPECT_EQ(SrValue(5, "FIO").AsString(), U("Старый"));
    EXPECT_EQ(SrValue(5, "PODR").AsInteger(), 2);
    Cursor srt(QStringLiteral("SRT"));
    srt.Open();
    EXPECT_EQ(srt.RecordCount(), 0);
}

TEST_F(Tabn, DeletionTakesTheEmployeesRowsAndKeepsTheArchives)
{
    for (qint32 tabn : {50, 51}) {
        AddEmployee(tabn, 2, "Работник", 1);
        AddRow("SRT", {"TABNUM", "TIP"}, {Variant(tabn), Variant(0)});
        AddRow("SRH", {"TABNUM", "PODR"}, {Variant(tabn), Variant(2)});
        for (const char* table : {"SRD", "VVOD", "NC", "VVARC", "NCARC"})
            AddRow(table, {"TABNUM", "DOPNUM"}, {Variant(tabn), Variant(1)});
    }
    bool found = false;
    T_xTabn::CreateByTabNum(DNList(), 50, found)->DeleteFromBase();
    ASSERT_TRUE(found);
    const struct {
        const char* table;
        int left50;
    } cases[] = {{"SR", 0}, {"SRT", 0}, {"SRH", 0}, {"SRD", 0}, {"VVOD", 0}, {"NC", 0}, {"VVARC", 1}, {"NCARC", 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(CountRows(c.table, 50), c.left50) << c.table;
        EXPECT_EQ(CountRows(c.table, 51), 1) << c.table;
    }
    EXPECT_EQ(NextFreeTabNum(), 52);
}

// ---------------------------------------------------------------- the read-only card

TEST_F(Tabn, ReadOnlyCardReadsOnFirstUseAndForgetsOnANewNumber)
{
    AddEmployee(60, 3, "Орлов Олег|Орлов О.", 2);
    SetRecordValuesByKey(DM()->SR, {Variant(60)},
        {"OKL", "CALENDAR", "DATEBEG", "POST", "LGOTAPN", "FCOMMENT", "TABNOMER"},
        {Variant(1500.25), Variant(4), Variant::FromDate(45000), Variant(6), Variant(0.5), Variant(true),
            Variant(QStringLiteral("K60"))});
    AddRow("SRD", {"TABNUM", "DOPNUM", "SUM"}, {Variant(60), Variant(1), Variant(300.0)});
    bool found = false;
    auto card = T_dTabn::CreateByTabNum(DNList(), 60, found);
    ASSERT_TRUE(found);
    const struct {
        const char* name;
        const char* text;
        bool answer;
    } cases[] = {
        {"TABNUM", "60", true},
        {"tabn", "60", true},
        {"FIO", "Орлов Олег|Орлов О.", true},
        {"FIO.2", "Орлов О.", true},
        {"PODR", "3", true},
        {"OKL", "1500.25", true},
        {"CALENDAR", "4", true},
        {"POST", "6", true},
        {"LGOTAPN", "0.5", true},
        {"DATEBEG", "", true},
        {"DATERELEASE", "", false},
        {"COMMENT", "", false},
        {"NOSUCH", "", false},
    };
    for (const auto& c : cases) {
        QString text;
        EXPECT_EQ(card->GetFieldText(QString::fromLatin1(c.name), text), c.answer) << c.name;
        if (QByteArray(c.name) == "DATEBEG")
            EXPECT_EQ(text, DateToStr(45000));
        else if (QByteArray(c.name) == "OKL" || QByteArray(c.name) == "LGOTAPN")
            EXPECT_EQ(text, FloatToStr(QString::fromLatin1(c.text).toDouble())) << c.name;
        else
            EXPECT_EQ(text, U(c.text)) << c.name;
    }
    EXPECT_EQ(card->GetSrdList().GetSum(1), Currency::FromDouble(300));

    // Cached until the number is set again.
    SetRecordValuesByKey(DM()->SR, {Variant(60)}, {"OKL"}, {Variant(99.0)});
    EXPECT_DOUBLE_EQ(card->Okl(), 1500.25);
    card->SetTabNum(60);
    EXPECT_DOUBLE_EQ(card->Okl(), 99.0);
    EXPECT_EQ(card->Fio, U("Орлов Олег|Орлов О.")) << "the base columns stay";
}

// ---------------------------------------------------------------- the card list

class TabnList : public Tabn {
protected:
    void SetUp() override
    {
        Tabn::SetUp();
        AddEmployee(1, 2, "Егоров", 3);
        AddEmployee(2, 2, "ёлкин", 1);
        AddEmployee(3, 2, "Ежов", 2);
        AddEmployee(4, 2, "абрамов", 5);
        AddEmployee(5, 3, "Яковлев", 1);
        AddEmployee(6, 0, "Уволенный из 2", 4, 2);
        AddEmployee(7, 0, "Уволенный из 3", 6, 3);
    }
};

TEST_F(TabnList, FiltersSelectWorkingOrDismissedEmployees)
{
    const struct {
        qint32 podr;
        quint8 filter;
        QList<qint32> want; // in mode 1
    } cases[] = {
        {2, tfWorking, {1, 2, 3, 4}},
        {3, tfWorking, {5}},
        {2, tfDismissed, {6, 7}}, // every department's dismissed
        {2, tfWorking | tfDismissed, {6, 7}}, // no working ones
        {2, 0, {}},
        {-1, tfWorking, {}},
    };
    for (const auto& c : cases) {
        T_TNList list(PNList());
        list.SetSortMode(1);
        list.SetFilter(c.filter);
        list.SetPodr(c.podr);
        EXPECT_TRUE(list.Loaded());
        EXPECT_EQ(Numbers(list), c.want) << c.podr << " " << int(c.filter);
    }
}

TEST_F(TabnList, NamesSortWithLetterCaseIgnoredAndYoBesideYe)
{
    const QByteArray oldLang = qgetenv("LANG");
    const QLocale oldLocale;
    qputenv("LANG", "en_US.UTF-8");
    QLocale::setDefault(QLocale(QLocale::English));
    T_TNList list(PNList());
    list.SetFilter(tfWorking);
    list.SetPodr(2);
    const struct {
        int mode;
        QList<qint32> want;
    } cases[] = {{2, {4, 1, 3, 2}}, {1, {1, 2, 3, 4}}, {3, {2, 3, 1, 4}}, {0, {2, 3, 1, 4}}};
    for (const auto& c : cases) {
        list.SetSortMode(c.mode);
        EXPECT_EQ(Numbers(list), c.want) << c.mode;
    }
    QLocale::setDefault(oldLocale);
    if (oldLang.isNull())
        qunsetenv("LANG");
    else
        qputenv("LANG", oldLang);

    TStringItems strings;
    list.SetSortMode(1);
    EXPECT_EQ(list.FillStrings(strings, 3), 2);
    ASSERT_EQ(strings.size(), 4);
    EXPECT_EQ(strings[2], (TStringItem{U("3 Ежов"), 3}));
    EXPECT_EQ(list.FillStrings(strings, 99), -1);
}

TEST_F(TabnList, UnknownDepartmentIsShown)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(U("Не найдено подразделение №77"));
    T_TNList list(PNList());
    list.SetFilter(tfWorking);
    list.SetPodr(77);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(TabnList, FollowsTheDepartmentList)
{
    ScopedApplicationRunning running;
    T_TNList list(PNList());
    int changes = 0;
    struct Counter : TObject {
        int* n;
        void Hit(TObject*) { ++*n; }
    } counter;
    counter.n = &changes;
    list.AddNotify(TNotifyEvent(&counter, &Counter::Hit));
    list.AddNotify(TNotifyEvent(&counter, &Counter::Hit));
    list.SetFilter(tfWorking);
    list.SetPodr(3);
    ASSERT_EQ(Numbers(list), QList<qint32>{5});
    changes = 0;

    AddEmployee(8, 3, "Новиков", 2);
    PNList()->SetLoaded(false);
    EXPECT_FALSE(list.Loaded());
    PNList()->EnsureLoaded(); // the departments read again: the card list too
    EXPECT_TRUE(list.Loaded());
    EXPECT_EQ(Numbers(list), (QList<qint32>{5, 8}));
    EXPECT_GE(changes, 1);

    list.CheckAll();
    EXPECT_TRUE(list.FindTabn(8)->Checked);
    list.UncheckAll();
    EXPECT_FALSE(list.GetTabn(list.IndexOfTabNum(8))->Checked);
    EXPECT_EQ(list.IndexOfTabNum(99), -1);
}

} // namespace
