// The import on a synthetic predecessor folder (tests/support/OldFolder.h)
// against the committed references in tests/fixtures/import: every table it
// fills, the object store's rows, the settings, the counters and
// ImportEr.000. After a change of the import that is meant, rewrite them
// with QOR_UPDATE_GOLDEN=1 and commit them on their own.

#include "archive/ImportData.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Rights.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "platform/Codec.h"
#include "reports/RasVedImport.h"
#include "support/DataFolderFixture.h"
#include "support/NetworkDisk.h"
#include "support/OldFolder.h"
#include "support/OtherCopy.h"
#include "support/ScriptedMessages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString DateText(TDateTime d)
{
    int y = 0, m = 0, day = 0;
    DecodeDate(d, y, m, day);
    return QStringLiteral("%1-%2-%3").arg(y).arg(m, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0'));
}

QString Show(const Field& f, const QString& table, int binClass)
{
    if (f.IsNull())
        return QStringLiteral("-");
    switch (f.Type()) {
    case FieldType::Date: return DateText(f.AsDateTime());
    case FieldType::Boolean: return f.AsBoolean() ? QStringLiteral("T") : QStringLiteral("F");
    case FieldType::Float: return QString::number(f.AsFloat(), 'g', 15);
    case FieldType::Blob: {
        if (table == QStringLiteral("Bin"))
            return binClass == binUserFormulas ? QLatin1Char('"') + ReadTextBlob(f.AsBlob()) + QLatin1Char('"')
                                               : QString::fromLatin1(f.AsBlob().toHex());
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

// Every field but the AutoInc numbers, row by row in the index's order.
QString DumpTable(const QString& table, const QString& index = QString())
{
    Cursor c(table);
    c.SetIndexName(index);
    c.Open();
    QString out = QLatin1Char('[') + table + QStringLiteral("]\n");
    for (c.First(); !c.Eof(); c.Next()) {
        const int binClass = c.FindField(QStringLiteral("CLASS")).IsValid() ? c.FieldByName("CLASS").AsInteger() : -1;
        QStringList row;
        for (int i = 0; i < c.FieldCount(); ++i) {
            const Field f = c.FieldAt(i);
            if (f.Type() != FieldType::AutoInc)
                row << f.Name() + QLatin1Char('=') + Show(f, table, binClass);
        }
        out += row.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return out;
}

QString DumpTables()
{
    QString out;
    for (const char* t : {"SP", "DP", "DPT", "SR", "SRD", "PNT", "PN", "PNL", "VVARC", "VVOD", "NC", "NCARC"})
        out += DumpTable(QLatin1String(t));
    return out + DumpTable(QStringLiteral("Bin"), BinIndexName());
}

QString DumpSettings(TImportData& import)
{
    const Tcfg& c = AppContext().Cfg;
    Tcfg defaults;
    SetCfgDefaults(defaults);
    const auto b = [](bool v) { return v ? QStringLiteral("T") : QStringLiteral("F"); };
    QString out = QStringLiteral("[Settings]\n");
    out += QStringLiteral("Workdate=%1 DecimalPos=%2 Rub=%3 Kop=%4 NaimGlBuh=%5 NaimDirector=%6\n")
               .arg(DateText(c.Workdate))
               .arg(c.DecimalPos)
               .arg(c.Rub, c.Kop, c.NaimGlBuh, c.NaimDirector);
    out += QStringLiteral("NumYears=%1 NumFullYears=%2 AutoCalc=%3 CalcCompare=%4 PNInt=%5\n")
               .arg(c.NumYears)
               .arg(c.NumFullYears)
               .arg(b(c.AutoCalc), b(c.CalcCompare), b(c.PNInt));
    out += QStringLiteral("Round=%1 RoundB=%2 RoundS=%3 PassCheck=%4 DefaultPassword=%5\n")
               .arg(b(c.Round), b(c.RoundB))
               .arg(c.RoundS)
               .arg(b(c.PassCheck), b(c.Password == defaults.Password));
    out += QStringLiteral("[Counters]\n");
    const TClipperMemVarList& counters = import.Run().Counters();
    for (int i = 0; i < counters.Count(); ++i)
        out += counters.Items(i).Name + QLatin1Char('=') + counters.Items(i).Value.AsString() + QLatin1Char('\n');
    return out;
}

class ImportDataTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        WriteOldFolder(source.path());
        SetPaySheetImporter(ImportOldPaySheet);
        import.PathFrom = source.path();
        import.PathTo = fx.DataPath();
        import.ErrorFolder = errors.path();
    }
    void TearDown() override
    {
        SetPaySheetImporter({});
        AppContextTest::TearDown();
    }
    QByteArray ErrorBytes(int n)
    {
        QFile f(import.Run().Errors().FileName(n));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The import to its end, with the messages it shows on the way.
    void ImportToTheEnd()
    {
        ScriptedMessages msgs;
        // Over employees of an earlier import it asks first.
        if (Tables::RecordCount("SR", fx.DataPath()) > 0)
            msgs.Expect(MsgKind::Question).Title("Заменить данные программы данными QO (DOS)?").Yes();
        for (const char* unknown : {"NC199913.DBF", "NC9905.DBF"})
            msgs.Expect(MsgKind::Error).Title("Неопознанный файл начислений:").Details(unknown);
        msgs.Expect(MsgKind::StandardBox).Containing("Импорт закончен");
        ASSERT_TRUE(import.Execute());
    }

    QTemporaryDir source, errors;
    TImportData import;
};

} // namespace

TEST_F(ImportDataTest, ImportsTheOldFolderAsTheReferencesSay)
{
    AppContext().Cfg.Password = QStringLiteral("Secret");
    AppContext().Cfg.PassCheck = true;
    AppContext().Cfg.CalcCompare = false;
    ImportToTheEnd();
    ExpectReference(QStringLiteral("import"), QStringLiteral("tables.txt"), DumpTables());
    ExpectReference(QStringLiteral("import"), QStringLiteral("settings.txt"), DumpSettings(import));
    // CP1251 with CRLF, as the program's other text files.
    const QByteArray bytes = ErrorBytes(0);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    ExpectReference(QStringLiteral("import"), QStringLiteral("ImportEr.000"),
        FromCp1251(bytes).replace(QStringLiteral("\r\n"), "\n"));
    EXPECT_FALSE(QFile::exists(import.Run().Errors().FileName(1)));
    EXPECT_EQ(import.ErrorListToShow(), import.Run().Errors().FileName(0));

    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), source.path());
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathTo", ""), fx.DataPath());
    // The settings the tax stage changed are written too, and the data
    // sets are open again.
    EXPECT_TRUE(DataIni().ReadBool("Configuration", "PNInt", false));
    EXPECT_TRUE(DM()->SP.Active());
    EXPECT_FALSE(import.Running());
}

TEST_F(ImportDataTest, ASecondImportGivesTheSameTables)
{
    ImportToTheEnd();
    const QString first = DumpTables();
    const QString counters = DumpSettings(import);
    ImportToTheEnd();
    EXPECT_EQ(DumpTables(), first);
    EXPECT_EQ(DumpSettings(import), counters);
}

TEST_F(ImportDataTest, AStopLeavesTheIniSectionAsItWas)
{
    ProgramIni().WriteString("Import", "PathFrom", "/old/from/");
    ProgramIni().WriteString("Import", "PathTo", "/old/to/");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Title("Остановить процесс импорта данных?").Yes();
    msgs.Expect(MsgKind::StandardBox).Containing("Импорт прерван !");
    QStringList stages;
    import.Run().OnStage = [&](const QString& s) { stages << s;
    if (s == QStringLiteral("Справочник работников"))
        import.AskStop();
};
EXPECT_FALSE(import.Execute());
EXPECT_FALSE(import.Completed());
EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", ""), "/old/from/");
EXPECT_EQ(ProgramIni().ReadString("Import", "PathTo", ""), "/old/to/");
EXPECT_FALSE(stages.contains("Входные данные: VVODP"));
EXPECT_EQ(stages.last(), "Обновление данных...");
EXPECT_TRUE(DM()->SP.Active());
}

TEST_F(ImportDataTest, AnOldVersionIsRefusedAndNothingChanges)
{
    WriteOldFolder(source.path(), 4.9);
    const QString before = DumpTables();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("Модификация данных версии ниже 5.0 невозможна");
    EXPECT_THROW(import.Execute(), EAbort);
    EXPECT_EQ(DumpTables(), before);
    EXPECT_TRUE(DM()->SP.Active());
    EXPECT_FALSE(import.Running());
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", "none"), "none");
}

TEST_F(ImportDataTest, AbsentValuesKeepTheirDefaults)
{
    // No version, no deduction list of the tax, no PX_END, PX_PNINT or PN_ARRP1.
    WriteBytes(QDir(source.path()).filePath("qo.cfg"),
        MemNumber("CFG_DATE", 5) + MemNumber("CFG_YEAR", 1999) + MemNumber("CFG_AMAXPN", 1)
            + MemNumber("CFG_MAXPN", 2));
    WriteBytes(QDir(source.path()).filePath("QO.PON"), MemNumber("PX_BEGIN", 3));
    WriteBytes(QDir(source.path()).filePath("QO.POD"),
        MemText("PN_ARR11", "0 999999") + MemText("PN_ARR12", "0 0") + MemText("PN_ARR13", "13 0"));
    AppContext().Cfg.PNInt = true;
    ImportToTheEnd();
    EXPECT_EQ(DumpTable("PN").section('\n', 1, 1).section(' ', 0, 6).toStdString(),
        "NUM=1 TIP=1 DATEBEG=1899-12-30 FYEAR=F YEARBEG=1999-03-01 YEAREND=1999-12-01 METOD=0");
    EXPECT_TRUE(AppContext().Cfg.PNInt);
    EXPECT_FALSE(FromCp1251(ErrorBytes(0)).contains("PN\r\n"));
    Cursor dp("DP");
    dp.Open();
    ASSERT_TRUE(dp.FindKey({200}));
    EXPECT_EQ(dp["VLIST"].AsInteger(), 0);
}

TEST_F(ImportDataTest, BothImportsNeedRightThree)
{
    QList<int> asked;
    SetRightsPolicy([&](quint8 op) {
        asked << op;
        return op != 3;
    });
    const QString before = DumpTables();
    for (const bool local : {false, true}) {
        SCOPED_TRACE(local);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details("Пункт не доступен для данного пользователя");
        EXPECT_THROW(local ? import.LocalImport() : import.Execute(), EAbort);
    }
    SetRightsPolicy({});
    EXPECT_EQ(asked, QList<int>({3, 3}));
    EXPECT_EQ(DumpTables(), before);
    EXPECT_EQ(ProgramIni().ReadString("Import", "PathFrom", "none"), "none");
}

TEST_F(ImportDataTest, TheLocalImportRefusesAQoRasWithoutColumns)
{
    WriteBytes(QDir(source.path()).filePath("QO.RAS"), MemText("GRAFX", "x") + MemText("OTHER", "y"));
    const QString before = DumpTable("Bin", BinIndexName());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title("Нет столбцов расчетной ведомости");
    EXPECT_FALSE(import.LocalImport());
    EXPECT_EQ(DumpTable("Bin", BinIndexName()), before);
}

// A folder without the predecessor's configuration and personnel table, or
// with an old table that does not open whole (a record count its size
// belies), is refused before anything is emptied or changed: the tables,
// the settings, the INI, the error list of the last import.
TEST_F(ImportDataTest, AFolderWithoutThePredecessorsDataIsRefusedAndNothingChanges)
{
    ImportToTheEnd();
    const QString tables = DumpTables();
    const QByteArray ini = ReadFileBytes(DataIni().FileName());
    const TDateTime workdate = AppContext().Cfg.Workdate;
    const QByteArray list = ErrorBytes(0);
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* said;
        const char* title = "В папке нет данных программы QO (DOS)";
    };
    const auto damage = [](const QString& file, qint64 cut) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.resize(f.size() - cut);
    };
    const Case cases[] = {
        {"empty folder", [](const QString&) {}, "нет файла настроек QO.CFG\r\nнет справочника работников SR.DBF"},
        {"unrelated files",
            [](const QString& d) {
                WriteBytes(QDir(d).filePath("notes.txt"), "hello");
                WriteBytes(QDir(d).filePath("photo.dbf"), "\x03 not a table");
            },
            "нет файла настроек QO.CFG"},
        {"damaged configuration",
            [](const QString& d) {
                WriteOldFolder(d);
                QByteArray bad = MemText("CFG_DATE", "x");
                bad[11] = 'Z'; // an unknown type letter
                WriteBytes(QDir(d).filePath("qo.cfg"), bad);
            },
            "Файл настроек qo.cfg поврежден и не читается", "Поврежден файл qo.cfg"},
        {"damaged personnel table",
            [&](const QString& d) {
                WriteOldFolder(d);
                damage(QDir(d).filePath("SR.DBF"), 40);
            },
            "Поврежден файл SR.DBF: файл короче, чем указано в заголовке: в заголовке 3 записей, а в файле 2",
            "Поврежден файл SR.DBF"},
        {"a kinds table cut short",
            [&](const QString& d) {
                WriteOldFolder(d);
                damage(QDir(d).filePath("doplat.dbf"), 40);
            },
            "Поврежден файл doplat.dbf: файл короче", "Поврежден файл doplat.dbf"},
        {"an input table whose header counts fewer records than it holds",
            [&](const QString& d) {
                WriteOldFolder(d);
                QByteArray bytes = ReadFileBytes(QDir(d).filePath("VVOD.DBF"));
                bytes[4] = 1;
                WriteBytes(QDir(d).filePath("VVOD.DBF"), bytes);
            },
            "Поврежден файл VVOD.DBF: в заголовке 1 записей, а в файле 2", "Поврежден файл VVOD.DBF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        c.make(folder.path());
        import.PathFrom = folder.path();
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error)
            .Title(QString::fromUtf8(c.title))
            .Containing(QDir::cleanPath(folder.path()))
            .Containing(QString::fromUtf8(c.said));
        EXPECT_FALSE(import.Execute());
        EXPECT_EQ(DumpTables(), tables);
        EXPECT_EQ(ReadFileBytes(DataIni().FileName()), ini);
        EXPECT_EQ(AppContext().Cfg.Workdate, workdate);
        EXPECT_EQ(ErrorBytes(0), list);
        EXPECT_TRUE(import.ErrorListToShow().isEmpty()) << "the old list is not shown again";
        EXPECT_TRUE(DM()->SP.Active());
    }
}

// The error list is shown before the word that the import ended, which
// says how many lines it holds; unreadable memory files are named in it.
TEST_F(ImportDataTest, TheErrorListComesBeforeTheEndAndNamesUnreadableFiles)
{
    QByteArray bad = MemText("PN_ARR11", "0 12");
    bad[11] = 'Z';
    WriteBytes(QDir(source.path()).filePath("QO.POD"), bad);
    QStringList order;
    // A line that begins with the lambda and "import" reads to clang-format as a module import.
    const auto showList = [&](const QString& file) {
        order << QStringLiteral("list");
        EXPECT_EQ(file, import.Run().Errors().FileName(0));
    };
    import.ShowErrorList = showList;
    ScriptedMessages msgs;
    for (const char* unknown : {"NC199913.DBF", "NC9905.DBF"})
        msgs.Expect(MsgKind::Error).Details(unknown);
    msgs.Expect(MsgKind::StandardBox).Containing("Импорт закончен").Containing("Ошибок: ");
    ASSERT_TRUE(import.Execute());
    order << QStringLiteral("end");
    EXPECT_EQ(order, QStringList({"list", "end"}));
    EXPECT_TRUE(msgs.Log().last().details.contains(import.Run().Errors().FileName(0)));
    const QString list = FromCp1251(ErrorBytes(0));
    EXPECT_TRUE(list.contains("Файл QO.POD поврежден и не читается")) << list.toStdString();
    EXPECT_TRUE(list.contains("Строки шкал подоходного налога\r\nшкала №1: в файлах QO.POD и QO.PON нет ее строк"))
        << list.toStdString();
    EXPECT_FALSE(list.contains("PN_ARR")) << "no internal names";
}

// "Локальный Импорт" without a folder reads nothing, not even a QO.RAS of
// the working directory.
TEST_F(ImportDataTest, TheLocalImportWithoutAFolderRefuses)
{
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(source.path()); // a QO.RAS with columns lies here
    const QString before = DumpTable("Bin", BinIndexName());
    import.PathFrom.clear();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details("Не определены пути");
    EXPECT_FALSE(import.LocalImport());
    QDir::setCurrent(cwd);
    EXPECT_EQ(DumpTable("Bin", BinIndexName()), before);
}

// Another copy works on the (network) data folder: the import is refused
// before anything is closed or changed.
TEST(ImportLock, AnotherCopyOnTheDataFolderRefusesTheImport)
{
    ScopedNetworkDisk network;
    DataFolderFixture fx;
    fx.OpenDataBase(true, true);
    QTemporaryDir source, errors;
    WriteOldFolder(source.path());
    OtherCopy other(fx.DataPath(), true);
    ASSERT_TRUE(other.Started());
    ASSERT_EQ(other.Ask("shared"), QStringLiteral("ok"));
    const QString before = DumpTables();
    TImportData import;
    import.PathFrom = source.path();
    import.PathTo = fx.DataPath();
    import.ErrorFolder = errors.path();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title("Импорт невозможен: с данными работают другие пользователи");
    EXPECT_FALSE(import.Execute());
    EXPECT_EQ(DumpTables(), before);
    EXPECT_TRUE(DM()->SP.Active());
    EXPECT_FALSE(import.Running());
    EXPECT_EQ(other.Ask("exclusive"), QStringLiteral("refused")) << "the shared lock is kept";
    fx.CloseDataBase();
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
    QFile last(list.FileName(1));
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_TRUE(FromCp1251(last.readAll()).contains("|                        Конец"));
}
