#include "archive/ImportData.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "platform/Codec.h"
#include "support/DataFolderFixture.h"
#include "support/OldFolder.h"
#include "support/ScriptedMessages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Show(Field f)
{
    if (f.IsNull())
        return QStringLiteral("-");
    switch (f.Type()) {
    case FieldType::Date: {
        int y = 0, m = 0, d = 0;
        DecodeDate(f.AsDateTime(), y, m, d);
        return QStringLiteral("%1-%2-%3").arg(y).arg(m).arg(d);
    }
    case FieldType::Boolean: return f.AsBoolean() ? QStringLiteral("T") : QStringLiteral("F");
    case FieldType::Float: return QString::number(f.AsFloat());
    case FieldType::Blob: {
        T_yqIntegerList list;
        ReadIntegerListBlob(f.AsBlob(), list);
        QStringList items;
        for (int i = 0; i < list.Count(); ++i)
            items << QString::number(list.GetInteger(i));
        return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    default: return f.AsString();
    }
}

// The table's rows in its primary order, the fields blank-separated.
QStringList Dump(const QString& table, const QStringList& fields, int binClass = -1)
{
    Cursor c(table);
    c.Open();
    QStringList rows;
    for (c.First(); !c.Eof(); c.Next()) {
        if (binClass >= 0 && c.FieldByName("CLASS").AsInteger() != binClass)
            continue;
        QStringList row;
        for (const QString& f : fields)
            row << Show(c.FieldByName(f));
        rows << row.join(QLatin1Char(' '));
    }
    return rows;
}

QStringList DumpAll()
{
    return Dump("SP", {"NUM", "SNUM", "NUMPDP", "NAIM"})
        + Dump("DP",
            {"DOPNUM", "UDER", "TIP", "FORMULA", "STADIAF", "STADIAD", "INDIVID", "NAKOPL", "TABL", "VLIST", "NAIM"})
        + Dump("DPT", {"NUM", "DOPNUM", "TIP", "INFO"})
        + Dump("SR", {"TABNUM", "PODR", "OLDPODR", "SNUM", "FIO", "KSOP", "OKL", "DATERELEASE", "MINZARP", "CALENDAR"})
        + Dump("SRD", {"TABNUM", "DOPNUM", "SUM", "PROC"}) + Dump("PNT", {"TIP", "NAIM"})
        + Dump("PN", {"NUM", "TIP", "YEARBEG", "YEAREND", "METOD"}) + Dump("PNL", {"NUM", "SUM", "SUMNAL", "PROC"})
        + Dump("VVOD", {"TABNUM", "DOPNUM", "DTIME", "DATEVV"}) + Dump("VVARC", {"TABNUM", "DOPNUM", "DTIME", "DATEVV"})
        + Dump("NC", {"TABNUM", "DOPNUM", "UDER", "SUM", "DATERAS"})
        + Dump("NCARC", {"TABNUM", "DOPNUM", "UDER", "SUM", "DATERAS"}) + Dump("Bin", {"CLASS", "VID"}, 2);
}

class ImportDataTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        WriteOldFolder(source.path());
        import.PathFrom = source.path();
        import.PathTo = fx.DataPath();
        import.ErrorFolder = errors.path();
    }
    QString ErrorText(int n)
    {
        QFile f(import.Run().Errors().FileName(n));
        return f.open(QIODevice::ReadOnly) ? FromCp1251(f.readAll()) : QString();
    }
    void ExpectUnknownNcFile(ScriptedMessages& msgs)
    {
        msgs.Expect(MsgKind::Error).Title("Неопознанный файл начислений:").Details("NC9905.DBF");
    }

    QTemporaryDir source, errors;
    TImportData import;
};

const QStringList kGolden = {
    // SP: the departments under the enterprise row 3
    "1 1 3 Цех №1|Цех", "2 2 3 Склад", "3 0 -1 Зарегистрируйте наименование предприятия",
    // DP: FORMULA from the raw byte 0xB0, stages, PROF bit 3 of kind 201, VLIST of 201 only
    "1 F 2 176 1 -1 F F 1 0 Оклад", "200 T 9 4097 203 0 F T 0 2 Подоходный", "201 T 10 0 200 -1 T F 0 3 Профсоюз",
    "205 T 0 0 200 -1 F F 0 0 Прочее",
    // DPT: the flags of kind 1, PX_PNSTR as the list of 200, QO.VCH's list of 201
    "1 1 0 [1,3]", "2 - 1 [202]", "3 - 1 [1,2]",
    // SR: the deleted row skipped; the dismissed card released in April
    "1 1 0 10 Иванов И.И. 2 1000 - 33 8", "2 0 2 11 Петров П.П. 0 0 1999-4-30 0 0",
    // SRD: DOPL1, PROF bit 3 (32) -> kind 201, SRDP of the working employee only
    "1 1 500 500", "1 201 0 0", "1 40 77 77",
    // income tax
    "1 Таблица №1", "1 1 1999-1-1 1999-12-1 2", "1 100 0 12", "1 1000 12 20",
    // VVOD, VVARC
    "1 1 20 1999-5-31", "1 1 21 1999-4-30",
    // NC: 995 -> 2147483642; 950 kept; 250 a deduction; the dismissed found by OLDPODR
    "1 1 F 1000 1999-5-1", "1 2147483642 F 880 1999-5-1", "1 950 F 5 1999-5-1", "1 250 T 3 1999-5-1",
    "2 1 F 7 1999-5-1",
    // NCARC from nc199904.dbf only
    "1 1 F 900 1999-4-1",
    // Bin: the user formula
    "2 250"};

} // namespace

TEST_F(ImportDataTest, ImportsTheOldFolderRowByRow)
{
    ScriptedMessages msgs;
    ExpectUnknownNcFile(msgs);
    msgs.Expect(MsgKind::StandardBox).Details("Импорт закончен");
    ASSERT_TRUE(import.Execute());
    EXPECT_EQ(DumpAll(), kGolden);

    EXPECT_EQ(import.Run().Counter("VV_NotFound"), 1);
    EXPECT_EQ(import.Run().Counter("VVArc_NotFound"), 0);
    EXPECT_EQ(import.Run().Counters().IndexOf("VVArc_NotFound"), -1);
    EXPECT_EQ(import.Run().Counter("NACH"), 1);
    EXPECT_EQ(import.Run().Counter("NACH_NotFound"), 1);
    EXPECT_EQ(AppContext().Cfg.NaimGlBuh, QStringLiteral("Сидорова"));
    EXPECT_EQ(AppContext().Cfg.NumYears, 20);
    EXPECT_TRUE(AppContext().Cfg.CalcCompare);
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), source.path());
    // The data sets are open again.
    EXPECT_TRUE(DM()->SP.Active());

    const QString dashes(57, QLatin1Char('-'));
    const QString expected = QStringList{dashes, "|       Файл ошибок импорта данных №0", dashes,
        "Ошибка в значении формулы пользователя формулы №3", dashes, "|                        Конец", dashes, ""}
                                 .join("\r\n");
    EXPECT_EQ(ErrorText(0), expected);
    EXPECT_EQ(import.ErrorListToShow(), import.Run().Errors().FileName(0));
}

TEST_F(ImportDataTest, ASecondImportGivesTheSameTables)
{
    ScriptedMessages msgs;
    for (int i = 0; i < 2; ++i) {
        ExpectUnknownNcFile(msgs);
        msgs.Expect(MsgKind::StandardBox).Details("Импорт закончен");
        ASSERT_TRUE(import.Execute());
        EXPECT_EQ(DumpAll(), kGolden) << "run " << i + 1;
    }
}

TEST_F(ImportDataTest, AStopLeavesThePathsUnsaved)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Title("Остановить процесс импорта данных?").Yes();
    msgs.Expect(MsgKind::StandardBox).Details("Импорт прерван !");
    QStringList stages;
    import.Run().OnStage = [&](const QString& s) { stages << s;
    if (s == QStringLiteral("Справочник работников"))
        import.AskStop();
};
EXPECT_FALSE(import.Execute());
EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", "none"), "none");
EXPECT_FALSE(stages.contains("Входные данные: VVODP"));
EXPECT_EQ(stages.last(), "Обновление данных...");
EXPECT_TRUE(DM()->SP.Active());
}

TEST_F(ImportDataTest, AnOldVersionIsRefusedAndNothingChanges)
{
    WriteOldFolder(source.path(), 4.9);
    const QStringList before = DumpAll();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("Модификация данных версии ниже 5.0 невозможна");
    EXPECT_THROW(import.Execute(), EAbort);
    EXPECT_EQ(DumpAll(), before);
    EXPECT_TRUE(DM()->SP.Active());
    EXPECT_FALSE(import.Running());
}

TEST_F(ImportDataTest, ADamagedTableIsListedAndLeavesItsTableAsItWas)
{
    {
        ScriptedMessages first;
        ExpectUnknownNcFile(first);
        first.Expect(MsgKind::StandardBox).Details("Импорт закончен");
        ASSERT_TRUE(import.Execute());
    }
    const QStringList cards = Dump("SR", {"TABNUM", "FIO"});
    ASSERT_EQ(cards.size(), 2);
    QFile sr(QDir(source.path()).filePath("SR.DBF"));
    ASSERT_TRUE(sr.open(QIODevice::ReadWrite));
    sr.resize(sr.size() - 40);
    sr.close();
    ScriptedMessages msgs;
    ExpectUnknownNcFile(msgs);
    msgs.Expect(MsgKind::StandardBox).Details("Импорт закончен");
    import.Execute();
    EXPECT_EQ(Dump("SR", {"TABNUM", "FIO"}), cards);
    EXPECT_TRUE(ErrorText(0).contains("SR\r\nПоврежден файл SR.DBF: файл короче")) << ErrorText(0).toStdString();
}

TEST(ImportErrorList, LongListsContinueInTheNextFile)
{
    QTemporaryDir dir;
    WriteBytes(QDir(dir.path()).filePath("ImportEr.007"), "old");
    TImportErrorList list;
    list.SetFolder(dir.path());
    list.Add(TImportErrorList::NewCommand());
    for (int i = 0; i < 10003; ++i)
        list.Add(QStringLiteral("line %1").arg(i));
    list.Add(TImportErrorList::FreeCommand());
    EXPECT_EQ(QDir(dir.path()).entryList({"ImportEr.*"}), QStringList({"ImportEr.000", "ImportEr.001"}));
    const auto lines = [&](int n) {
        QFile f(list.FileName(n));
        f.open(QIODevice::ReadOnly);
        return FromCp1251(f.readAll()).split("\r\n");
    };
    const QStringList first = lines(0), second = lines(1);
    EXPECT_EQ(first.size(), 10001 + 3 + 1);
    EXPECT_EQ(first[1], "|       Файл ошибок импорта данных №0");
    EXPECT_EQ(first[first.size() - 3], "|       Список продолжается в следующем файле...");
    EXPECT_EQ(second[1], "|       Файл ошибок импорта данных №1");
    EXPECT_EQ(second[3], "line 9998");
    EXPECT_EQ(second.size(), 3 + 5 + 3 + 1);
    EXPECT_EQ(second[second.size() - 3], "|                        Конец");
}

TEST(ImportErrorList, AListEndingOnAFileBoundaryStillEnds)
{
    QTemporaryDir dir;
    TImportErrorList list;
    list.SetFolder(dir.path());
    for (int i = 0; i < TImportErrorList::kMaxLines - 3; ++i)
        list.Add("x");
    list.Free();
    EXPECT_TRUE(QFile::exists(list.FileName(1)));
}
