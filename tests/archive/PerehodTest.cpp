// The close of the month on a small enterprise: two working employees and a
// dismissed one, March 2000, archives kept two years.

#include "archive/Perehod.h"
#include "archive/SaveRest.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/IniFiles.h"
#include "platform/Exceptions.h"
#include "support/CalcBuilders.h"
#include "support/NetworkDisk.h"
#include "support/OtherCopy.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include <ostream>

// Readable lists in failure messages.
void PrintTo(const QList<QString>& list, std::ostream* os) { *os << list.join(QStringLiteral(" | ")).toStdString(); }

namespace {

const TDateTime kMar2000 = EncodeDate(2000, 3, 31);
const TDateTime kApr2000 = EncodeDate(2000, 4, 30);
constexpr qint32 kPodr = 2;

// "TABNUM DOPNUM DATEBEG SUM date" per row, sorted.
QStringList Dump(const char* table, const char* dateField)
{
    Cursor c(QString::fromLatin1(table));
    c.Open();
    QStringList rows;
    for (c.First(); !c.Eof(); c.Next())
        rows << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(c.FieldByName(QStringLiteral("TABNUM")).AsInteger())
                    .arg(c.FieldByName(QStringLiteral("DOPNUM")).AsInteger())
                    .arg(c.FieldByName(QStringLiteral("DATEBEG")).AsDateTime())
                    .arg(c.FieldByName(QStringLiteral("SUM")).AsFloat(), 0, 'f', 2)
                    .arg(c.FieldByName(QString::fromLatin1(dateField)).AsDateTime());
    rows.sort();
    return rows;
}

QStringList DateRas()
{
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    QStringList rows;
    for (sr.First(); !sr.Eof(); sr.Next())
        rows << QStringLiteral("%1 %2")
                    .arg(sr.FieldByName(QStringLiteral("TABNUM")).AsInteger())
                    .arg(sr.FieldByName(QStringLiteral("DATERAS")).AsDateTime());
    return rows;
}

class PerehodTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        Cfg.Workdate = kMar2000;
        Cfg.NumYears = 2;
        Cfg.Round = true;
        Cfg.RoundS = 1;
        Cfg.RoundB = false;
        AddBuiltInKinds();
        pay = KindOfTip(12);
        bonus = AddKind({.DopNum = 250, .Naim = QStringLiteral("Доплата"), .Sum = 500});
        AppendRecordValues(DM()->SP, kPodr, {QStringLiteral("NUMPDP"), QStringLiteral("NUMUP"), QStringLiteral("NAIM")},
            {Variant(1), Variant(1), Variant(QStringLiteral("Цех"))});
        PNList()->Reload();
        TCardSpec card;
        card.Podr = kPodr;
        card.Permanent = {bonus};
        first = AddCard(card);
        second = AddCard(card);
        card.DateRelease = EncodeDate(2000, 2, 15);
        gone = AddCard(card);
        SetRecordValuesByKey(*Table("SR"), {Variant(gone)}, {QStringLiteral("PODR"), QStringLiteral("OLDPODR")},
            {Variant(0), Variant(kPodr)});
        SaveInput(first, {{bonus, 8, 100}});
        // The archives around the window [1 Feb 1998, 30 Apr 2000].
        for (const TDateTime d : {EncodeDate(1998, 1, 31), EncodeDate(1998, 2, 1), kApr2000}) {
            AppendRecordValues(*Table("VVARC"), 0,
                {QStringLiteral("TABNUM"), QStringLiteral("DOPNUM"), QStringLiteral("DATEBEG"), QStringLiteral("SUM"),
                    QStringLiteral("DATEVV")},
                {Variant(first), Variant(bonus), Variant::FromDate(d), Variant(1.0), Variant::FromDate(d)});
            AppendRecordValues(*Table("NCARC"), 0,
                {QStringLiteral("TABNUM"), QStringLiteral("DOPNUM"), QStringLiteral("DATEBEG"), QStringLiteral("SUM"),
                    QStringLiteral("DATERAS")},
                {Variant(first), Variant(bonus), Variant::FromDate(d), Variant(2.0), Variant::FromDate(d)});
        }
        Result(first, dnVsego, 1234.99);
        Result(first, bonus, 100);
        Result(second, dnVsego, -5);
        Result(gone, dnVsego, 10.4);
        for (qint32 t : {first, second, gone})
            SetRecordValuesByKey(
                *Table("SR"), {Variant(t)}, {QStringLiteral("DATERAS")}, {Variant::FromDate(kMar2000)});
    }

    std::unique_ptr<Cursor> Table(const char* name)
    {
        auto c = std::make_unique<Cursor>(QString::fromLatin1(name));
        c->Open();
        return c;
    }

    void Result(qint32 tabn, qint32 dopNum, double sum)
    {
        AppendRecordValues(*Table("NC"), 0,
            {QStringLiteral("TABNUM"), QStringLiteral("DOPNUM"), QStringLiteral("DATEBEG"), QStringLiteral("SUM"),
                QStringLiteral("DATERAS")},
            {Variant(tabn), Variant(dopNum), Variant::FromDate(kMar2000), Variant(sum), Variant::FromDate(kMar2000)});
    }

    // Every table the transition writes, and the working date.
    QStringList State()
    {
        return QStringList{QString::number(Cfg.Workdate)}
        << Dump("VVOD", "DATEVV") << QStringLiteral("-") << Dump("VVARC", "DATEVV") << QStringLiteral("-")
        << Dump("NC", "DATERAS") << QStringLiteral("-") << Dump("NCARC", "DATERAS") << QStringLiteral("-")
        << Dump("SRD", "DATEEND") << DateRas();
    }

    TDateTime StoredWorkdate()
    {
        const Tcfg mem = Cfg;
        LoadDataConfiguration();
        const TDateTime stored = Cfg.Workdate;
        Cfg = mem;
        return stored;
    }

    qint32 pay = 0, bonus = 0, first = 0, second = 0, gone = 0;
};

TEST_F(PerehodTest, DatesOfTheNewPeriodAndWindow)
{
    EXPECT_EQ(PerehodNewPeriod(kMar2000), kApr2000);
    EXPECT_EQ(PerehodNewPeriod(EncodeDate(2000, 12, 31)), EncodeDate(2001, 1, 31));
    EXPECT_EQ(PerehodWindowStart(kMar2000, 2), EncodeDate(1998, 2, 1));
    EXPECT_EQ(PerehodWindowStart(EncodeDate(2000, 1, 10), 0), EncodeDate(1999, 12, 1));
    EXPECT_EQ(PerehodHeader(EncodeDate(2001, 1, 31)), QStringLiteral("Переход на Январь  2001"));
}

TEST_F(PerehodTest, ClosesTheMonth)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Ok();
    msgs.Expect(MsgKind::Question).Title(QStringLiteral("Выполнить переход ?")).Yes();
    RecordingProgress progress;
    int saves = 0;
    TPerehodSteps steps;
    steps.OfferSave = [&] { ++saves; };
    bool done = false;
    RunPerehod(steps, done);
    EXPECT_TRUE(done);
    EXPECT_EQ(saves, 1);
    const auto r = [](qint32 tabn, qint32 dopNum, TDateTime beg, const char* sum, TDateTime date) {
        return QStringLiteral("%1 %2 %3 %4 %5").arg(tabn).arg(dopNum).arg(beg).arg(QLatin1String(sum)).arg(date);
    };
    const TDateTime feb98 = EncodeDate(1998, 2, 1);
    const QStringList expected = {QString::number(kApr2000),
        // VVOD: the net pay cut to whole units (the dismissed one's too; -5
        // posts nothing) and the working employees' permanent accruals, all
        // in the new period.
        r(first, pay, kApr2000, "1234.00", kApr2000), r(first, bonus, kApr2000, "1.00", kApr2000),
        r(second, bonus, kApr2000, "1.00", kApr2000), r(gone, pay, kApr2000, "10.00", kApr2000), "-",
        // VVARC: the window's bounds are kept, 31 Jan 1998 is gone; the old input added.
        r(first, bonus, feb98, "1.00", feb98), r(first, bonus, EncodeDate(2000, 3, 1), "100.00", kMar2000),
        r(first, bonus, kApr2000, "1.00", kApr2000), "-",
        // NC empty, NCARC trimmed the same way with the old results added.
        "-", r(first, dnVsego, kMar2000, "1234.99", kMar2000), r(first, bonus, feb98, "2.00", feb98),
        r(first, bonus, kMar2000, "100.00", kMar2000), r(first, bonus, kApr2000, "2.00", kApr2000),
        r(second, dnVsego, kMar2000, "-5.00", kMar2000), r(gone, dnVsego, kMar2000, "10.40", kMar2000), "-"};
    QStringList state = State();
    // SRD and the cards: permanent rows unchanged, marks cleared but the dismissed one's.
    const QStringList tail = state.mid(expected.size());
    state = state.mid(0, expected.size());
    EXPECT_EQ(state, expected);
    EXPECT_EQ(tail.mid(tail.size() - 3),
        QStringList({QStringLiteral("%1 0").arg(first), QStringLiteral("%1 0").arg(second),
            QStringLiteral("%1 %2").arg(gone).arg(kMar2000)}));
    EXPECT_EQ(StoredWorkdate(), kApr2000);
    EXPECT_FALSE(Tables::Exists(NewPeriodMarkName())) << "the date mark outlived the INI's update";
    EXPECT_FALSE(progress.Active());
    EXPECT_TRUE(progress.Log().contains(QStringLiteral("Mess 1 Разноска постоянных начислений из справочника")));
}

// Every permanent entry goes into the new month as it stands: a second
// entry of one kind is not merged into the first, and an entry whose
// time, sum and percent are all zero (an individual deduction the import
// made) is not dropped.
TEST_F(PerehodTest, EveryPermanentEntryIsPostedAsItStands)
{
    const qint32 deduction = AddKind({.DopNum = 260, .Naim = QStringLiteral("Удержание"), .Uder = true});
    for (const auto& [dopNum, sum] : {std::pair{bonus, 20.0}, std::pair{deduction, 0.0}})
        AppendRecordValues(*Table("SRD"), 0,
            {QStringLiteral("TABNUM"), QStringLiteral("DOPNUM"), QStringLiteral("SUM")},
            {Variant(second), Variant(dopNum), Variant(sum)});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Ok();
    msgs.Expect(MsgKind::Question).Yes();
    bool done = false;
    RunPerehod({}, done);
    QStringList posted;
    for (const QString& row : Dump("VVOD", "DATEVV"))
        if (row.startsWith(QString::number(second) + QLatin1Char(' ')))
            posted << row;
    const auto r = [&](qint32 dopNum, const char* sum) {
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(second)
            .arg(dopNum)
            .arg(kApr2000)
            .arg(QLatin1String(sum))
            .arg(kApr2000);
    };
    EXPECT_EQ(posted, QStringList({r(bonus, "1.00"), r(bonus, "20.00"), r(deduction, "0.00")}));
}

TEST_F(PerehodTest, RefusalsChangeNothing)
{
    const QStringList before = State();
    const TDateTime stored = StoredWorkdate();
    {
        SetRecordValuesByKey(*Table("SR"), {Variant(second)}, {QStringLiteral("DATERAS")}, {Variant::FromDate(0)});
        const QStringList uncalculated = State();
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Не выполнен полный расчет."))
            .Details(QStringLiteral("\r\nПодразделение:   \t%1\r\nТабельный номер: \t%2").arg(kPodr).arg(second));
        bool done = false;
        EXPECT_THROW(RunPerehod({}, done), EAbort);
        EXPECT_FALSE(done);
        EXPECT_EQ(State(), uncalculated);
        SetRecordValuesByKey(
            *Table("SR"), {Variant(second)}, {QStringLiteral("DATERAS")}, {Variant::FromDate(kMar2000)});
    }
    {
        SetRecordValuesByKey(*Table("DP"), {Variant(pay)}, {QStringLiteral("TIP")}, {Variant(0)});
        DNList()->SetLoaded(false);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(QStringLiteral("Не определено начисление \"Зарплата за прошлый месяц\""));
        bool done = false;
        EXPECT_THROW(RunPerehod({}, done), EAbort);
        EXPECT_FALSE(done);
        EXPECT_EQ(State(), before);
        SetRecordValuesByKey(*Table("DP"), {Variant(pay)}, {QStringLiteral("TIP")}, {Variant(12)});
        DNList()->SetLoaded(false);
    }
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Ok();
        msgs.Expect(MsgKind::Question).PressEsc();
        bool done = false;
        EXPECT_THROW(RunPerehod({}, done), EAbort);
        EXPECT_FALSE(done);
        EXPECT_EQ(State(), before);
    }
    EXPECT_EQ(StoredWorkdate(), stored);
}

TEST_F(PerehodTest, FailureInAnyStepLeavesTheMonthAsItWas)
{
    const QStringList before = State();
    const TDateTime stored = StoredWorkdate();
    for (int failing = 7; failing <= 13; ++failing) {
        SCOPED_TRACE(failing);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Ok();
        msgs.Expect(MsgKind::Question).Yes();
        RecordingProgress progress;
        TPerehodSteps steps;
        steps.AfterStep = [failing](int step) {
            if (step == failing)
                throw EAppException(QStringLiteral("injected"));
        };
        bool done = false;
        EXPECT_THROW(RunPerehod(steps, done), EAppException);
        EXPECT_TRUE(done);
        EXPECT_EQ(State(), before);
        EXPECT_EQ(StoredWorkdate(), stored);
        EXPECT_FALSE(Tables::Exists(NewPeriodMarkName()));
        EXPECT_FALSE(progress.Active());
    }
}

// Copies share a network folder; the save offered in the middle must not
// let another copy in before the transition has run.
TEST_F(PerehodTest, TheSaveDialogKeepsTheDataBaseForTheTransitionAlone)
{
    ScopedNetworkDisk network;
    ASSERT_TRUE(LockDataBaseExclusive());
    ASSERT_TRUE(LockDataBaseShared()); // now as a network copy holds it
    OtherCopy other(DataFolder(), true);
    ASSERT_TRUE(other.Started());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Ok();
    msgs.Expect(MsgKind::Question).Yes();
    QString whileOpen;
    TPerehodSteps steps;
    steps.OfferSave = [&] {
        TSaveRestObject& o = SaveRestObject();
        o.CopyPath.clear();
        ASSERT_TRUE(o.Save());
        whileOpen = other.Ask("shared");
    };
    bool done = false;
    RunPerehod(steps, done);
    EXPECT_EQ(whileOpen, QStringLiteral("refused"));
    EXPECT_TRUE(done);
    EXPECT_EQ(StoredWorkdate(), kApr2000);
    EXPECT_EQ(other.Ask("shared"), QStringLiteral("ok")) << "the shared lock was given back";
}

// A restore in the offered dialog brings other data: the checks are made
// again on them. Here the restored copy has an employee not calculated.
TEST_F(PerehodTest, DataRestoredInTheSaveDialogAreCheckedAgain)
{
    QTemporaryDir reserve;
    DataIni().WriteDate(QStringLiteral("Configuration"), QStringLiteral("Workdate"), kMar2000);
    DataIni().UpdateFile();
    TSaveRestObject& o = SaveRestObject();
    o.ReservPath = reserve.path();
    SetRecordValuesByKey(*Table("SR"), {Variant(second)}, {QStringLiteral("DATERAS")}, {Variant::FromDate(0)});
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(o.ReserveSave());
    }
    const QStringList reserved = State();
    SetRecordValuesByKey(*Table("SR"), {Variant(second)}, {QStringLiteral("DATERAS")}, {Variant::FromDate(kMar2000)});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Ok();
    msgs.Expect(MsgKind::Question).Details(QStringLiteral("Продолжить ?")).Yes();
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Не выполнен полный расчет."))
        .Details(QStringLiteral("\r\nПодразделение:   \t%1\r\nТабельный номер: \t%2").arg(kPodr).arg(second));
    TPerehodSteps steps;
    steps.OfferSave = [&] { ASSERT_TRUE(o.ReserveRestore()); };
    bool done = false;
    EXPECT_THROW(RunPerehod(steps, done), EAbort);
    EXPECT_FALSE(done);
    EXPECT_EQ(State(), reserved);
}

// A process killed between the commit and the INI's update: the next
// start takes the new date from the mark the transaction committed.
TEST_F(PerehodTest, TheNextStartBringsTheIniToTheCommittedDate)
{
    const QString section = QStringLiteral("Configuration"), key = QStringLiteral("Workdate");
    const TDateTime may1999 = EncodeDate(1999, 5, 31);
    struct Row {
        const char* name;
        bool committed;
        TDateTime ini, expected;
    };
    for (const Row& row : {Row{"committed, INI behind", true, kMar2000, kApr2000},
             Row{"committed, INI already moved", true, kApr2000, kApr2000},
             Row{"never committed", false, kMar2000, kMar2000},
             Row{"INI of another month since", true, may1999, may1999}}) {
        SCOPED_TRACE(row.name);
        DataIni().WriteDate(section, key, row.ini);
        DataIni().UpdateFile();
        CreateNewPeriodMark();
        {
            Transaction tx(QStringList{NewPeriodMarkName()});
            WriteNewPeriodMark(kMar2000, kApr2000);
            if (row.committed)
                tx.Commit();
        }
        EXPECT_EQ(RecoverNewPeriod(DataFolder(), DataIni()), row.ini != row.expected);
        DataIni().Reread();
        EXPECT_EQ(DataIni().ReadDate(section, key, 0), row.expected);
        EXPECT_FALSE(Tables::Exists(NewPeriodMarkName()));
    }
}

} // namespace
