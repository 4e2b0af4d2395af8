#include "archive/ImportMappings.h"
#include "archive/ImportRun.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "foundation/DbfFile.h"
#include "foundation/TypeList.h"
#include "support/DataFolderFixture.h"
#include "support/OldFiles.h"
#include "support/ScriptedMessages.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Lines joined, readable in a failure.
std::string Lines(const QStringList& lines) { return lines.join(QLatin1Char('\n')).toStdString(); }

std::vector<int> Items(const QByteArray& blob)
{
    T_yqIntegerList list;
    ReadIntegerListBlob(blob, list);
    std::vector<int> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.GetInteger(i));
    return out;
}

} // namespace

TEST(ImportMappings, OldCodesGetTheirBuiltInTypes)
{
    const std::pair<int, int> cases[]
        = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {40, 5}, {41, 5}, {50, 6}, {60, 7}, {61, 7}, {69, 8}, {200, 9}, {201, 10},
            {202, 11}, {207, 12}, {208, 13}, {209, 14}, {230, 15}, {210, 0}, {224, 0}, {225, 0}, {4, 0}, {205, 0}};
    for (const auto& [code, tip] : cases)
        EXPECT_EQ(OldKindTip(code), tip) << code;
}

TEST(ImportMappings, FlagAndNumberTextsBecomeIntegerLists)
{
    EXPECT_EQ(Items(FlagsToInfo("0100x0")), (std::vector<int>{2, 5}));
    // Past the end of a short text nothing is set; position 200 is not a flag.
    QByteArray full(200, '0');
    full[198] = '1';
    full[199] = '3';
    EXPECT_EQ(Items(FlagsToInfo(full)), (std::vector<int>{199}));
    EXPECT_EQ(Items(NumbersToInfo("001 02abc12")), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(Items(NumbersToInfo("12")), std::vector<int>{});
}

TEST(ImportMappings, NumberGroupsAcceptLeadingBlanksOnly)
{
    // " 12", "12 ", " -1"
    EXPECT_EQ(Items(NumbersToInfo(" 1212  -1")), (std::vector<int>{12, 0, -1}));
}

namespace {

class ImportKindsTest : public AppContextTest {};

} // namespace

TEST_F(ImportKindsTest, AnUnknownUndeletableKindIsShownInDebugModeOnly)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("DOPLAT.DBF");
    WriteBytes(path,
        DbfBytes({{"KODD", 'N', 3}, {"NAZV", 'C', 10}, {"OTM", 'C', 1}, {"NLTNAL", 'C', 200}, {"FDELETED", 'L', 1},
                     {"DOPNOMER", 'C', 4}, {"FORMULA", 'C', 1}, {"STADIAF", 'C', 1}, {"STADIAD", 'C', 1},
                     {"PROZENT", 'N', 6, 2}, {"FTABL", 'L', 1}, {"FBALANS", 'L', 1}, {"FUDERNAL", 'L', 1},
                     {"FDAYCLOCK", 'L', 1}, {"FRAZOV", 'L', 1}},
            {{"205", "A", "2"}, {"206", "B", "1"}, {"207", "C", "2"}, {"210", "D", "2"}, {"208", "E", ""}}));
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        ScriptedMessages msgs;
        if (debug)
            msgs.Expect(MsgKind::Error).Details("Неопознанное неудаляемое\r\n205  A");
        TDbfFile source(path);
        Cursor dp("DP"), dpt("DPT");
        dp.Open();
        dpt.Open();
        dp.EmptyTable();
        TImportRun run;
        run.Errors().SetFolder(dir.path());
        TClipperMemVarList deductions, prof;
        ImportKinds(source, dp, dpt, deductions, prof, run, debug);
        EXPECT_EQ(dp.RecordCount(), 5);
        EXPECT_EQ(run.Errors().ErrorCount(), 0);
    }
}

TEST(ImportMappings, FlagsGiveTheIntegerListBytes)
{
    QByteArray flags(200, '0');
    flags[2] = '1';
    flags[198] = '1';
    EXPECT_EQ(FlagsToInfo(flags).toHex(),
        QByteArray("02000000"
                   "03000000"
                   "c7000000"));
    EXPECT_EQ(FlagsToInfo(QByteArray(200, '0')).toHex(), QByteArray("00000000"));
}

namespace {

// The DP and DPT rows of the kinds, with the run's errors and counters.
struct KindsRun {
    QStringList dp, dpt, prof;
    int dptFailed = 0;
    int errors = 0;
};

KindsRun RunKinds(const QString& folder, const std::vector<std::vector<QByteArray>>& rows,
    const TClipperMemVarList& deductions, int takenDpt = 0)
{
    const QString path = QDir(folder).filePath("DOPLAT.DBF");
    WriteBytes(path,
        DbfBytes({{"KODD", 'N', 3}, {"NAZV", 'C', 10}, {"NLTNAL", 'C', 200}, {"FTABL", 'L', 1}, {"FUDERNAL", 'L', 1},
                     {"FORMULA", 'C', 1}, {"STADIAF", 'C', 1}, {"STADIAD", 'C', 1}, {"OTM", 'C', 1},
                     {"FDELETED", 'L', 1}, {"DOPNOMER", 'C', 4}, {"PROZENT", 'N', 6, 2}, {"FBALANS", 'L', 1},
                     {"FDAYCLOCK", 'L', 1}, {"FRAZOV", 'L', 1}},
            rows));
    TDbfFile source(path);
    Cursor dp("DP"), dpt("DPT");
    dp.Open();
    dpt.Open();
    dp.EmptyTable();
    dpt.EmptyTable();
    if (takenDpt > 0)
        AppendRecordValues(dpt, 0, {"NUM", "TIP"}, {Variant(takenDpt), Variant(0)});
    TImportRun run;
    run.Errors().SetFolder(folder);
    run.OnIdle = [] {};
    TClipperMemVarList prof;
    ImportKinds(source, dp, dpt, deductions, prof, run, false);
    KindsRun out;
    for (dp.First(); !dp.Eof(); dp.Next())
        out.dp << QStringLiteral("%1 TIP=%2 FORMULA=%3 STADIAF=%4 STADIAD=%5 NAKOPL=%6 TABL=%7 VLIST=%8")
                      .arg(dp["DOPNUM"].AsInteger())
                      .arg(dp["TIP"].AsInteger())
                      .arg(dp["FORMULA"].AsInteger())
                      .arg(dp["STADIAF"].AsInteger())
                      .arg(dp["STADIAD"].AsInteger())
                      .arg(dp["NAKOPL"].AsBoolean())
                      .arg(dp["TABL"].AsInteger())
                      .arg(dp["VLIST"].AsInteger());
    for (dpt.First(); !dpt.Eof(); dpt.Next()) {
        QStringList items;
        if (!dpt["INFO"].IsNull())
            for (int i : Items(dpt["INFO"].AsBlob()))
                items << QString::number(i);
        out.dpt << QStringLiteral("%1 TIP=%2 DOPNUM=%3 [%4]")
                       .arg(dpt["NUM"].AsInteger())
                       .arg(dpt["TIP"].AsInteger())
                       .arg(dpt["DOPNUM"].IsNull() ? QStringLiteral("null") : dpt["DOPNUM"].AsString())
                       .arg(items.join(','));
    }
    for (int i = 0; i < prof.Count(); ++i)
        out.prof << prof.Items(i).Name + QLatin1Char('=') + prof.Items(i).Value.AsString();
    out.dptFailed = run.Counter("DPT");
    out.errors = run.Errors().ErrorCount();
    return out;
}

} // namespace

TEST_F(ImportKindsTest, KindsTakeRawBytesAndTheirDeductionLists)
{
    QTemporaryDir dir;
    TClipperMemVarList deductions;
    deductions.SetValue("UD_VYCH201", QStringLiteral("200201"));
    deductions.SetValue("UD_VYCH202", QStringLiteral("20"));
    deductions.SetValue("UD_VYCH207", 123); // not a text: listed, no list
    // KODD NAZV NLTNAL FTABL FUDERNAL FORMULA STADIAF STADIAD
    const KindsRun r = RunKinds(dir.path(),
        {{"1", "A", "001", "T", "F", "\xB0", "\"", ""}, {"200", "B", "", "F", "F", "x", "$", "!"},
            {"201", "C", "", "F", "F", "", " ", " "}, {"202", "D", "", "F", "F", "", "", ""},
            {"207", "E", "", "F", "T"}},
        deductions);
    EXPECT_EQ(Lines(r.dp),
        Lines(QStringList({"1 TIP=2 FORMULA=176 STADIAF=1 STADIAD=-1 NAKOPL=0 TABL=1 VLIST=0",
            "200 TIP=9 FORMULA=4097 STADIAF=203 STADIAD=0 NAKOPL=1 TABL=0 VLIST=0",
            "201 TIP=10 FORMULA=0 STADIAF=200 STADIAD=-1 NAKOPL=0 TABL=0 VLIST=2",
            "202 TIP=11 FORMULA=0 STADIAF=200 STADIAD=-1 NAKOPL=0 TABL=0 VLIST=0",
            "207 TIP=12 FORMULA=0 STADIAF=200 STADIAD=-1 NAKOPL=0 TABL=0 VLIST=0"})));
    // The list of 201 although FUDERNAL is false; DOPNUM stays empty there.
    EXPECT_EQ(Lines(r.dpt), Lines(QStringList({"1 TIP=0 DOPNUM=1 [3]", "2 TIP=1 DOPNUM=null [200,201]"})));
    EXPECT_EQ(r.errors, 1);
}

TEST_F(ImportKindsTest, AFailedTableRowIsNotReferenced)
{
    QTemporaryDir dir;
    // Table number 2 is taken, so the second kind's table cannot be written.
    const KindsRun r = RunKinds(
        dir.path(), {{"1", "A", "1", "T", "F"}, {"2", "B", "01", "T", "F"}, {"3", "C", "", "F", "F"}}, {}, 2);
    EXPECT_EQ(Lines(r.dp),
        Lines(QStringList({"1 TIP=2 FORMULA=0 STADIAF=0 STADIAD=-1 NAKOPL=0 TABL=1 VLIST=0",
            "2 TIP=3 FORMULA=0 STADIAF=0 STADIAD=-1 NAKOPL=0 TABL=0 VLIST=0",
            "3 TIP=4 FORMULA=0 STADIAF=0 STADIAD=-1 NAKOPL=0 TABL=0 VLIST=0"})));
    EXPECT_EQ(Lines(r.dpt), Lines(QStringList({"1 TIP=0 DOPNUM=1 [1]", "2 TIP=0 DOPNUM=null []"})));
    EXPECT_EQ(r.dptFailed, 1);
    EXPECT_EQ(r.errors, 1);
}

// A kind whose own row fails takes its tables and its PROF bit with it:
// no orphan DPT rows, no cards' entries of a kind that does not exist.
TEST_F(ImportKindsTest, AKindIsWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    QByteArray first(200, '0'), second(200, '0');
    first[0] = '1';
    first[199] = '5';
    second[1] = '1';
    second[199] = '3';
    // The second row repeats the code: its DP row violates the key.
    const KindsRun r = RunKinds(dir.path(), {{"205", "A", first, "T", "F"}, {"205", "B", second, "T", "F"}}, {});
    EXPECT_EQ(Lines(r.dp), Lines(QStringList({"205 TIP=0 FORMULA=0 STADIAF=200 STADIAD=-1 NAKOPL=0 TABL=1 VLIST=0"})));
    EXPECT_EQ(Lines(r.dpt), Lines(QStringList({"1 TIP=0 DOPNUM=205 [1]"})));
    EXPECT_EQ(r.prof, QStringList({"5=205"}));
    EXPECT_EQ(r.errors, 1);
}

namespace {

class ImportCardsTest : public AppContextTest {};

} // namespace

TEST_F(ImportCardsTest, CardsAndTheirPermanentAccruals)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("SR.DBF");
    // TABN COD FDELETED KSOP OKL MINZARP CALENDAR DOPL1 SUM1 .. DOPL6 SUM6 PROF
    WriteBytes(path,
        DbfBytes({{"TABN", 'N', 5}, {"COD", 'N', 3}, {"FDELETED", 'L', 1}, {"KSOP", 'N', 1}, {"OKL", 'N', 9, 2},
                     {"MINZARP", 'C', 1}, {"CALENDAR", 'N', 2}, {"DOPL1", 'C', 3}, {"SUM1", 'N', 7}, {"DOPL2", 'C', 3},
                     {"SUM2", 'N', 7}, {"DOPL3", 'C', 3}, {"SUM3", 'N', 7}, {"DOPL4", 'C', 3}, {"SUM4", 'N', 7},
                     {"DOPL5", 'C', 3}, {"SUM5", 'N', 7}, {"DOPL6", 'C', 3}, {"SUM6", 'N', 7}, {"PROF", 'C', 1},
                     {"FIO", 'C', 10}, {"TABNOMER", 'C', 5}, {"AVAN", 'N', 5}, {"VYCHET", 'N', 5}, {"LGOTAPN", 'N', 5},
                     {"SPNTABL", 'N', 1}},
            {{"1", "1", "F", "0", "0", "", "0", "-1", "5", "abc", "6", "", "1", "1.5", "2", "inf", "3", "12", "7",
                 "\x81"},
                // Fails: its department is no number.
                {"2", "x1", "F", "0", "10", "", "0", "40", "9"}, {"3", "2", "T", "1", "0.01", "A", "1"},
                {"4", "2", "F", "2", "-5", "", "9"}, {"5", "2", "F", "5", "100", "", "10"}}));
    TDbfFile source(path);
    Cursor sr("SR"), srd("SRD");
    sr.Open();
    srd.Open();
    sr.EmptyTable();
    srd.EmptyTable();
    TImportRun run;
    run.Errors().SetFolder(dir.path());
    run.OnIdle = [] {};
    TClipperMemVarList prof;
    prof.SetValue("1", 210);
    prof.SetValue("7", 213);
    ImportCards(source, sr, srd, prof, EncodeDate(1999, 5, 31), run);

    QStringList cards, accruals;
    for (sr.First(); !sr.Eof(); sr.Next())
        cards << QStringLiteral("%1 SNUM=%2 PODR=%3 OLDPODR=%4 KSOP=%5 MINZARP=%6 CALENDAR=%7 RELEASED=%8")
                     .arg(sr["TABNUM"].AsInteger())
                     .arg(sr["SNUM"].AsInteger())
                     .arg(sr["PODR"].AsInteger())
                     .arg(sr["OLDPODR"].AsInteger())
                     .arg(sr["KSOP"].AsInteger())
                     .arg(sr["MINZARP"].AsInteger())
                     .arg(sr["CALENDAR"].AsInteger())
                     .arg(sr["DATERELEASE"].IsNull() ? QStringLiteral("-")
                                                     : QString::number(sr["DATERELEASE"].AsDateTime()));
    for (srd.First(); !srd.Eof(); srd.Next())
        accruals << QStringLiteral("%1 %2 %3 %4")
                        .arg(srd["TABNUM"].AsInteger())
                        .arg(srd["DOPNUM"].AsInteger())
                        .arg(srd["SUM"].AsFloat())
                        .arg(srd["PROC"].AsFloat());
    const QString released = QString::number(EncodeDate(1999, 4, 30));
    EXPECT_EQ(Lines(cards),
        Lines(QStringList({"1 SNUM=1 PODR=1 OLDPODR=0 KSOP=2 MINZARP=0 CALENDAR=0 RELEASED=" + released,
            "2 SNUM=3 PODR=0 OLDPODR=2 KSOP=1 MINZARP=33 CALENDAR=0 RELEASED=-",
            "3 SNUM=4 PODR=2 OLDPODR=0 KSOP=0 MINZARP=0 CALENDAR=8 RELEASED=" + released,
            "4 SNUM=5 PODR=2 OLDPODR=0 KSOP=0 MINZARP=0 CALENDAR=0 RELEASED=-"})));
    // Only DOPL6 "12" and PROF bit 128; nothing of the failed card.
    EXPECT_EQ(Lines(accruals), Lines(QStringList({"1 12 7 7", "1 210 0 0"})));
    EXPECT_EQ(run.Counter("SR"), 1);
    EXPECT_EQ(run.Errors().ErrorCount(), 1);
}
