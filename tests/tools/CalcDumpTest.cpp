// The calculation dump of a small enterprise against the committed
// references (tests/fixtures/calcdump), through the tool itself on a data
// folder built by the calculation's builders. After a change of the
// calculation that is meant, rewrite the references with
// QOR_UPDATE_GOLDEN=1 and commit them on their own.

#include "calc/RTabl.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "db/Cursor.h"
#include "foundation/IniPersist.h"
#include "support/CalcBuilders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const TDateTime kJan2024 = EncodeDate(2024, 1, 1);
const TDateTime kMar2024 = EncodeDate(2024, 3, 1);
const TDateTime kDec2024 = EncodeDate(2024, 12, 31);

constexpr qint32 kBonus = 250; // user formula with an IF block
constexpr qint32 kUnion = 310; // 1% of the stage base, for everybody
constexpr qint32 kScale = 400; // by table: 10% above 20000, for everybody

const QString kReferences = QStringLiteral(QOR_SOURCE_DIR "/tests/fixtures/calcdump/");

struct TRun {
    int code = -1;
    QString out, err;
};

TRun Dump(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QOR_CALCDUMP), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
        QString::fromUtf8(p.readAllStandardError())};
}

// The reference, or written anew when asked.
void ExpectReference(const QString& name, const QString& actual)
{
    QFile file(kReferences + name);
    if (qEnvironmentVariableIsSet("QOR_UPDATE_GOLDEN")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(actual.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const QStringList expected = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QStringList lines = actual.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(expected.size(), lines.size()); ++i)
        EXPECT_EQ(lines.value(i).toStdString(), expected.value(i).toStdString()) << name.toStdString() << ":" << i + 1;
}

class CalcDumpTest : public CalcTest {
protected:
    // Two departments of five employees; March 2024, 160 hours, tax 13%.
    void BuildEnterprise()
    {
        AppContext().Cfg.Workdate = kMar2024;
        AppContext().Cfg.AutoCalc = true;
        AddBuiltInKinds();
        const qint32 tax = KindOfTip(dtPodoh);
        SetRecordValuesByKey(DM()->DP, {Variant(tax)}, {QStringLiteral("TABL")}, {Variant(0)});
        DNList()->SetLoaded(false);
        AddCalendar(0, kJan2024, kDec2024, {{3, 160}});
        AddTaxType(1, QStringLiteral("Основная"));
        TTaxTableSpec t;
        t.DateBeg = kJan2024;
        t.YearBeg = kJan2024;
        t.YearEnd = kDec2024;
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
        AddKind(
            {.DopNum = kScale, .Naim = QStringLiteral("По шкале"), .Uder = true, .Formula = cmRtTable, .StadiaF = 150});
        T_RtList list;
        list.Vid = kScale;
        list.Load();
        T_RtTip* tip = list.AddTip();
        T_RtTable* table = tip->AddTable();
        table->SetDate(kJan2024);
        table->Sum = Currency::FromInt(20000);
        table->CursValut = 1;
        table->AddLine()->Proc = 10;
        tip->Save();

        const qint32 podrA
            = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех 1"))});
        const qint32 podrB
            = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех 2"))});
        PNList()->SetLoaded(false);
        TCardSpec card;
        card.Podr = podrA;
        card.Okl = 24000; // the full norm, and the scale: 10% of 4000
        AddCard(card);
        card.Okl = 16000; // half the norm entered, the formula's IF branch
        partMonth = AddCard(card);
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
        SaveMonthTotals(dismissed, kMar2024,
            {{dnVsego, 8.2, 500}, {dnPNPay, 0, 1000}, {dnPNSumTo, 0, 8000}, {dnPNSumAll, 1, 8000}});
        card.DateRelease = 0;
        card.Calendar = 5; // no such calendar: error lines
        AddCard(card);

        // The tool reads the working date and the settings from the folder.
        IniSavingEnabled = true;
        SaveDataConfiguration();
        IniSavingEnabled = false;
    }

    static int StoredResults()
    {
        Cursor nc(QStringLiteral("NC"));
        nc.Open();
        return nc.RecordCount();
    }

    qint32 partMonth = 0;
};

TEST_F(CalcDumpTest, FiveEmployeesMatchTheReferences)
{
    BuildEnterprise();
    fx.CloseDataBase();

    const TRun all = Dump({fx.DataPath(), QStringLiteral("all")});
    EXPECT_EQ(all.code, 0) << all.err.toStdString();
    ExpectReference(QStringLiteral("all.txt"), all.out);
    const TRun one = Dump({fx.DataPath(), QString::number(partMonth)});
    EXPECT_EQ(one.code, 0) << one.err.toStdString();
    ExpectReference(QStringLiteral("one.txt"), one.out);
    EXPECT_EQ(Dump({fx.DataPath()}).out, all.out) << "all by default";

    fx.OpenDataBase(true, true);
    EXPECT_EQ(StoredResults(), 0) << "a dump saves nothing";
}

TEST_F(CalcDumpTest, WrongArgumentsAndFoldersAreRefused)
{
    BuildEnterprise();
    fx.CloseDataBase();
    QTemporaryDir empty;
    QTemporaryDir broken;
    for (const QString& f : QDir(fx.DataPath()).entryList(QDir::Files))
        QFile::copy(fx.DataPath() + f, broken.path() + QLatin1Char('/') + f);
    QFile::remove(broken.path() + QStringLiteral("/SR.DB"));
    QFile sr(broken.path() + QStringLiteral("/SR.DB"));
    ASSERT_TRUE(sr.open(QIODevice::WriteOnly));
    sr.write(QByteArray(4096, '\x5A'));
    sr.close();

    struct Case {
        const char* name;
        QStringList args;
        int code;
    } cases[] = {
        {"no arguments", {}, 2},
        {"not a number", {fx.DataPath(), QStringLiteral("17a")}, 2},
        {"number 0", {fx.DataPath(), QStringLiteral("0")}, 2},
        {"too many", {fx.DataPath(), QStringLiteral("1"), QStringLiteral("2")}, 2},
        {"no data base", {empty.path()}, 1},
        {"no folder", {empty.path() + QStringLiteral("/none")}, 1},
        {"garbage card table", {broken.path()}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun r = Dump(c.args);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_EQ(r.out.contains(QStringLiteral("TABNUM;")), false) << r.out.toStdString() << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(empty.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty()) << "nothing made";

    const TRun unknown = Dump({fx.DataPath(), QStringLiteral("999")});
    EXPECT_EQ(unknown.code, 0);
    EXPECT_TRUE(unknown.out.contains(QStringLiteral("Табельный номер [999]"))) << unknown.out.toStdString();
}

} // namespace
