// The data base set-up: the alias, the first opening of an empty folder,
// the version check, the rebuild of tables with another layout (values,
// messages, breaking off, crash recovery) and the catalogue helpers.

#include "data/DBSetup.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/TableCatalogue.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/Tables.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "platform/Codec.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/DataFolderFixture.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <functional>
#include <utility>

namespace {

using Row = QList<std::pair<QString, Variant>>;

TableDef CatalogueDef(const char* name)
{
    const int n = TableStructures().NumberOf(QString::fromLatin1(name));
    return TableStructures()[n].Definition();
}

FieldDef& FieldOf(TableDef& def, const char* name) { return def.fields[def.FieldIndex(QString::fromLatin1(name))]; }

void AppendRows(Cursor& c, const QList<Row>& rows)
{
    for (const Row& row : rows) {
        c.Append();
        for (const auto& [name, value] : row) {
            const Field f = c.FieldByName(name);
            if (f.Type() == FieldType::Blob)
                f.SetBlob(ToCp1251(value.AsString()));
            else
                f.SetVariant(value);
        }
        c.Post();
    }
}

// Puts a table of another layout with these rows in place of a catalogue table.
void ReplaceTable(const TableDef& def, const QList<Row>& rows)
{
    if (Tables::Exists(def.name))
        Tables::Delete(def.name);
    Tables::Create(def);
    Cursor c(def.name);
    c.Open();
    AppendRows(c, rows);
}

QStringList DataFolderTables() { return Tables::List(GetDataPath()); }

QString ReadDataIni(const QString& section, const QString& key)
{
    DataIni().Reread();
    return DataIni().ReadString(section, key, QStringLiteral("<none>"));
}

QList<QString> Column(const QString& table, const char* field)
{
    Cursor c(table);
    c.Open();
    QList<QString> out;
    const Field f = c.FieldByName(QString::fromLatin1(field));
    for (c.First(); !c.Eof(); c.Next())
        out << f.AsString();
    return out;
}

// The catalogue SR with an extra field, so that it always needs a rebuild.
TableDef SrWithExtraField()
{
    TableDef def = CatalogueDef("SR");
    def.fields << FieldDef{QStringLiteral("EXTRA"), FieldType::Integer, 0, false};
    return def;
}

QString FieldErrorTitle(const char* field, const char* table)
{
    return QStringLiteral("Необходима модификация поля %1 базы %2").arg(QLatin1String(field), QLatin1String(table));
}

QString EndOfCopyTitle(const char* table, int errors)
{
    return QStringLiteral("Ошибка модификации таблицы %1\r\n\tколичество = %2").arg(QLatin1String(table)).arg(errors);
}

// ---------------------------------------------------------------- first start

TEST(DBSetupFirstStart, EmptyProgramFolderGetsAliasTablesAndVersionWithoutQuestions)
{
    DataFolderFixture fx;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Details(QStringLiteral("Создаем алиас \"Qor\"\r\n") + fx.DataPath());
    fx.StartUp();
    OpenDataBase();

    EXPECT_EQ(msgs.Log().size(), 1) << "no conversion question on a folder without tables";
    EXPECT_EQ(GetDataPath(), fx.DataPath());
    EXPECT_EQ(ProgramIni().ReadString(QStringLiteral("Qor"), QStringLiteral("DRIVER"), QString()),
        QStringLiteral("STANDARD"));
    EXPECT_EQ(ProgramIni().ReadString(QStringLiteral("Qor"), QStringLiteral("PATH"), QString()), fx.DataPath());
    const QStringList files = DataFolderTables();
    EXPECT_EQ(files.size(), TableCount);
    for (int i = 0; i < TableCount; ++i) {
        const QString name = TableStructures()[i].Name();
        EXPECT_TRUE(files.contains(name)) << name.toStdString();
        EXPECT_EQ(Tables::ReadDefinition(name), TableStructures()[i].Definition()) << name.toStdString();
    }
    EXPECT_EQ(ReadDataIni(QStringLiteral("Configuration"), QStringLiteral("Version")), QStringLiteral("10001"));
    EXPECT_EQ(Cfg.Version, ProgramDataVersion);
    EXPECT_TRUE(IniSavingEnabled);
    EXPECT_TRUE(QFileInfo::exists(fx.DataPath() + QStringLiteral("~~Shared.tmp")));
    EXPECT_FALSE(FirstConnection());
}

TEST(DBSetupFirstStart, NewDataBaseHoldsTheDefaultPostsCategoriesAndPaySystems)
{
    DataFolderFixture fx;
    fx.OpenDataBase(false);

    EXPECT_EQ(Column(QStringLiteral("POST"), "NUM"), (QList<QString>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Column(QStringLiteral("POST"), "NAIM"),
        (QList<QString>{"Директор", "Заместитель директора", "Главный бухгалтер", "Бухгалтер", "Кассир",
            "Начальник отдела кадров"}));
    EXPECT_EQ(Column(QStringLiteral("CTGR"), "NAIM"), (QList<QString>{"Служащие", "Рабочие", "Всп. рабочие"}));
    EXPECT_EQ(Column(QStringLiteral("KSOP"), "NUM"), (QList<QString>{"0", "1", "2"}));
    QStringList paySystems;
    FillPaySystems(paySystems);
    EXPECT_EQ(Column(QStringLiteral("KSOP"), "NAIM"), QList<QString>(paySystems.begin(), paySystems.end()));
}

TEST(DBSetupFirstStart, SecondStartAsksNothingAndTouchesNoTable)
{
    DataFolderFixture fx;
    fx.OpenDataBase(false);
    fx.CloseDataBase();
    const QByteArray sp = ReadFileBytes(fx.DataPath() + QStringLiteral("SP.DB"));

    ScriptedMessages msgs;
    RecordingProgress progress;
    fx.OpenDataBase(false);
    EXPECT_TRUE(msgs.Log().isEmpty());
    EXPECT_EQ(progress.Sessions(), 0) << "no check window";
    EXPECT_EQ(ReadFileBytes(fx.DataPath() + QStringLiteral("SP.DB")), sp);
    EXPECT_TRUE(IniSavingEnabled);
}

// A table file put in place of another at the current version: every start
// compares the layouts the files record with the catalogue.
struct SwappedFileCase {
    const char* name;
    const char* source; // the table whose file becomes SR.DB; SR: SR with an extra field
    bool older; // the file made before the table's name was kept in it
    const char* held; // the table the message names; nullptr: rebuilt
};

class DBSetupSwappedFile : public ::testing::TestWithParam<SwappedFileCase> {};

TEST_P(DBSetupSwappedFile, AnotherTablesFileStopsTheStartAndAnOlderLayoutIsRebuilt)
{
    const SwappedFileCase& c = GetParam();
    DataFolderFixture fx;
    fx.OpenDataBase(false);
    const QString sr = fx.DataPath() + QStringLiteral("SR.DB");
    if (QByteArray(c.source) == "SR") {
        ReplaceTable(SrWithExtraField(), {{{"TABNUM", 7}, {"FIO", QStringLiteral("Иванов")}, {"EXTRA", 1}}});
    } else {
        Tables::Delete(QStringLiteral("SR"));
        ASSERT_TRUE(QFile::copy(fx.DataPath() + QString::fromLatin1(c.source) + QStringLiteral(".DB"), sr));
    }
    fx.CloseDataBase();
    if (c.older)
        SqliteConnection::Open(sr, false)->Exec("DROP TABLE \"qor_table\"");
    const QByteArray before = ReadFileBytes(sr);

    ScriptedMessages msgs;
    if (c.held) {
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Файл таблицы SR содержит другую таблицу"))
            .Details(QStringLiteral("Файл \"%1\" содержит таблицу %2, а не SR.\r\nВерните на место файл таблицы SR "
                                    "или восстановите данные с копии.\r\nПрекращение работы")
                         .arg(sr, QLatin1String(c.held)));
        EXPECT_THROW(fx.OpenDataBase(), EAbort);
        EXPECT_EQ(ReadFileBytes(sr), before) << "the file is left as it is";
    } else {
        msgs.Expect(MsgKind::Question)
            .Details(QStringLiteral("Выполнять преобразования баз данных\r\nверсии [1.00] для версии [1.00]"))
            .Yes();
        fx.OpenDataBase();
        EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SR")), CatalogueDef("SR"));
        EXPECT_EQ(Column(QStringLiteral("SR"), "FIO"), QList<QString>{QStringLiteral("Иванов")});
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DBSetupSwappedFile,
    ::testing::Values(SwappedFileCase{"MadeAsPost", "POST", false, "POST"},
        SwappedFileCase{"OlderFileWithThePostLayout", "POST", true, "POST"},
        SwappedFileCase{"MadeAsSrInAnOlderLayout", "SR", false, nullptr},
        SwappedFileCase{"OlderFileInAnOlderLayout", "SR", true, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DBSetupSwappedFile, CheckRefusesToRebuildFromAnotherTablesFile)
{
    DataFolderFixture fx;
    fx.OpenDataBase(false);
    Tables::Delete(QStringLiteral("STAFF"));
    ASSERT_TRUE(QFile::copy(Tables::FilePath(QStringLiteral("KSOP")), fx.DataPath() + QStringLiteral("STAFF.DB")));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Файл таблицы STAFF содержит другую таблицу"));
    EXPECT_FALSE(CheckDataBase());
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("STAFF")), 3) << "the pay systems stay where they are";
    EXPECT_FALSE(Tables::Exists(RebuildTableName()));
}

// An archive table's file put in place of the current one has the very
// same layout: only the name it records tells, and it stops the start.
TEST(DBSetupSwappedFile, AnArchiveTableInPlaceOfTheCurrentOneStopsTheStart)
{
    const std::pair<const char*, const char*> swaps[] = {{"NC", "NCARC"}, {"VVOD", "VVARC"}, {"NCARC", "NC"}};
    for (const auto& [table, held] : swaps) {
        SCOPED_TRACE(table);
        DataFolderFixture fx;
        fx.OpenDataBase(false);
        const QString file = fx.DataPath() + QLatin1String(table) + QStringLiteral(".DB");
        Tables::Delete(QLatin1String(table));
        ASSERT_TRUE(QFile::copy(fx.DataPath() + QLatin1String(held) + QStringLiteral(".DB"), file));
        fx.CloseDataBase();
        const QByteArray before = ReadFileBytes(file);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Файл таблицы %1 содержит другую таблицу").arg(QLatin1String(table)))
            .Containing(QStringLiteral("содержит таблицу %1, а не %2").arg(QLatin1String(held), QLatin1String(table)));
        EXPECT_THROW(fx.OpenDataBase(), EAbort);
        EXPECT_EQ(ReadFileBytes(file), before);
    }
}

// A table file that cannot be read stops the start before any window:
// one message per table, in the clerk's words, naming the file and the
// way back (the archive); the file is left as it is.
TEST(DBSetupDamagedTable, AnUnreadableTableStopsTheStartWithOneMessageEach)
{
    QByteArray random(1 << 20, '\0');
    QRandomGenerator generator(37);
    for (char& c : random)
        c = char(generator.bounded(256));
    struct Case {
        const char* name;
        QByteArray sr, sp;
        const char* srReason;
    };
    const Case cases[] = {
        {"garbage text", "garbage\n", {}, "содержимое файла не является таблицей программы"},
        {"random megabyte", random, {}, "содержимое файла не является таблицей программы"},
        {"empty files", QByteArray(), QByteArray(), "файл пуст (0 байт)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataFolderFixture fx;
        fx.OpenDataBase(false);
        fx.CloseDataBase();
        WriteFileBytes(fx.DataPath() + QStringLiteral("SR.DB"), c.sr);
        if (!c.sp.isNull())
            WriteFileBytes(fx.DataPath() + QStringLiteral("SP.DB"), c.sp);
        ScriptedMessages msgs;
        const auto expect = [&](const char* file, const char* caption, const char* reason) {
            msgs.Expect(MsgKind::Error)
                .Title(QStringLiteral("Таблица базы данных повреждена"))
                .Details(QStringLiteral("Файл \"%1%2.DB\" (%3) не читается: %4.\r\nРабота с поврежденной базой "
                                        "данных невозможна. Восстановите данные из архива или из резервной копии: при "
                                        "следующем запуске программа предложит восстановление.\r\nПрекращение работы")
                             .arg(fx.DataPath(), QLatin1String(file), QString::fromUtf8(caption),
                                 QString::fromUtf8(reason)));
        };
        if (!c.sp.isNull())
            expect("SP", "подразделения", "файл пуст (0 байт)");
        expect("SR", "карточки работников", c.srReason);
        EXPECT_THROW(fx.OpenDataBase(), ProgramExit);
        EXPECT_EQ(DM(), nullptr) << "no data module, no window on such a data base";
        EXPECT_EQ(ReadFileBytes(fx.DataPath() + QStringLiteral("SR.DB")), c.sr);
    }
}

// A first creation cut short (the program killed, the disk full) is
// finished at the next start: what it listed is made again when unreadable
// and gets its default rows while empty.
class DBSetupInterruptedCreation : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.OpenDataBase(false);
        for (const char* name : {"POST", "CTGR", "KSOP"})
            Tables::Empty(QString::fromLatin1(name));
        Tables::Delete(QStringLiteral("SP"));
        WriteFileBytes(fx.DataPath() + QStringLiteral("SP.DB"), QByteArray());
        fx.CloseDataBase();
    }
    void Restart()
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Yes();
        fx.OpenDataBase(false);
    }
    QString Marker() const { return fx.DataPath() + CreationMarkerName(); }

    DataFolderFixture fx;
};

TEST_F(DBSetupInterruptedCreation, ListedTablesGetTheirRowsAndAnEmptyFileIsMadeAgain)
{
    WriteFileBytes(Marker(), "SP\nPOST\nCTGR\nKSOP");
    Restart();
    EXPECT_EQ(Column(QStringLiteral("POST"), "NUM"), (QList<QString>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Column(QStringLiteral("CTGR"), "NUM"), (QList<QString>{"1", "2", "3"}));
    EXPECT_EQ(Column(QStringLiteral("KSOP"), "NUM"), (QList<QString>{"0", "1", "2"}));
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP")), CatalogueDef("SP"));
    EXPECT_FALSE(QFileInfo::exists(Marker()));
}

TEST_F(DBSetupInterruptedCreation, WithoutTheListAnEmptyFileIsDamageAndNothingIsFilled)
{
    fx.StartUp();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Ошибка при проверке базы данных")).Containing("SP.DB");
    EXPECT_FALSE(CheckDataBase());
    EXPECT_EQ(QFileInfo(fx.DataPath() + QStringLiteral("SP.DB")).size(), 0) << "never deleted unasked";
    EXPECT_TRUE(Column(QStringLiteral("POST"), "NUM").isEmpty()) << "a clerk's empty table stays empty";
}

TEST(DBSetupFirstStart, CheckShowsItsPhasesInItsOwnProgressWindow)
{
    DataFolderFixture fx;
    WriteDataAlias(fx.DataPath());
    fx.StartUp();
    RecordingProgress progress;
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(progress.Sessions(), 1);
    EXPECT_FALSE(progress.Active());
    const QStringList& log = progress.Log();
    const qsizetype opening = log.indexOf(QStringLiteral("Mess 0 Открывается база данных"));
    const qsizetype creating = log.indexOf(QStringLiteral("Mess 0 Создание недостающих таблиц"));
    const qsizetype checking = log.indexOf(QStringLiteral("Mess 0 Проверка существующих таблиц"));
    EXPECT_TRUE(opening >= 0 && opening < creating && creating < checking) << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Init 1 0 29 0 0")));
    EXPECT_TRUE(log.contains(QStringLiteral("Mess 1 Bin")));
    EXPECT_EQ(log.last(), QStringLiteral("Close"));
}

// ---------------------------------------------------------------- the alias

TEST(DBSetupAlias, AnotherDriverIsReplacedOnRequestWithTheDefaultFolder)
{
    DataFolderFixture fx;
    ProgramIni().WriteString(QStringLiteral("Qor"), QStringLiteral("DRIVER"), QStringLiteral("INTRBASE"));
    ProgramIni().WriteString(QStringLiteral("Qor"), QStringLiteral("PATH"), QStringLiteral("server:/db"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice)
        .Details(QStringLiteral(
            "\tНе совпадают драйверы баз данных программы и существующего алиаса:\r\n[INTRBASE] <> [STANDARD]"))
        .Press(QStringLiteral("Удалить старый алиас и создать новый"));
    msgs.Expect(MsgKind::Warning).Details(QStringLiteral("Создаем алиас \"Qor\"\r\n") + fx.DataPath());
    EXPECT_EQ(GetDataPath(), fx.DataPath());
    EXPECT_TRUE(QFileInfo(fx.DataPath()).isDir());
    EXPECT_EQ(ProgramIni().ReadString(QStringLiteral("Qor"), QStringLiteral("DRIVER"), QString()),
        QStringLiteral("STANDARD"));
    ForgetDataPath();
    DbSession::SetDataFolder(QString());
    SetDataFolder(QString());
}

TEST(DBSetupAlias, AnotherDriverEndsTheProgramUnlessReplaced)
{
    DataFolderFixture fx;
    ProgramIni().WriteString(QStringLiteral("Qor"), QStringLiteral("DRIVER"), QStringLiteral("INTRBASE"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice).Press(QStringLiteral("Отмена"));
    EXPECT_THROW(GetDataPath(), ProgramExit);
    EXPECT_EQ(ProgramIni().ReadString(QStringLiteral("Qor"), QStringLiteral("DRIVER"), QString()),
        QStringLiteral("INTRBASE"));
}

TEST(DBSetupAlias, ARelativePathLiesUnderTheProgramFolder)
{
    DataFolderFixture fx;
    WriteDataAlias(QStringLiteral("Data/Firm1"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Создать папку"));
    EXPECT_EQ(GetDataPath(), fx.ProgramPath() + QStringLiteral("Data/Firm1/"));
    EXPECT_TRUE(QFileInfo(fx.ProgramPath() + QStringLiteral("Data/Firm1")).isDir());
    EXPECT_EQ(DbSession::DataFolder(), GetDataPath());
    EXPECT_EQ(DataFolder(), GetDataPath());
    ForgetDataPath();
    DbSession::SetDataFolder(QString());
    SetDataFolder(QString());
}

QString MissingFolderDetails(const QString& path)
{
    return path + QStringLiteral("\r\nПапка указана в файле ") + ProgramIni().FileName()
        + QStringLiteral("\r\nСоздать ее и новую пустую базу данных в ней?");
}

TEST(DBSetupAlias, MissingFolderOtherThanTheDefaultIsMadeOnlyWhenTheClerkSaysSo)
{
    DataFolderFixture fx;
    const QString other = fx.ProgramPath() + QStringLiteral("Firm2/");
    WriteDataAlias(other);
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Папка данных не найдена"))
            .Details(MissingFolderDetails(other))
            .PressEsc();
        EXPECT_THROW(GetDataPath(), ProgramExit);
        EXPECT_FALSE(QFileInfo::exists(other));
        EXPECT_EQ(DataFolder(), QString());
    }
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Создать папку"));
    EXPECT_EQ(GetDataPath(), other);
    EXPECT_TRUE(QFileInfo(other).isDir());
    ForgetDataPath();
    DbSession::SetDataFolder(QString());
    SetDataFolder(QString());
}

TEST(DBSetupAlias, Utf8ProgramIniWithACyrillicPathLeadsToThatFolder)
{
    DataFolderFixture fx;
    const QString folder = fx.ProgramPath() + QStringLiteral("Данные/");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString ini = ProgramIni().FileName();
    CloseProgramIni();
    WriteFileBytes(ini, (QStringLiteral("[Qor]\nDRIVER=STANDARD\nPATH=") + folder + QStringLiteral("\n")).toUtf8());
    ScriptedMessages msgs; // no question: the folder is there
    EXPECT_EQ(GetDataPath(), folder);
    EXPECT_EQ(
        QDir(fx.ProgramPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"TMP", "TXT", "Данные"}))
        << "no folder of a garbled name";
    ForgetDataPath();
    DbSession::SetDataFolder(QString());
    SetDataFolder(QString());
}

// A program INI that cannot be read (UTF-16, binary) may name another data
// folder: it is kept as ".bak" and the clerk decides whether to work on
// the default folder; nothing else is made unasked.
TEST(DBSetupAlias, ProgramIniThatIsNoTextIsKeptAndTheDefaultFolderOnlyTakenWhenAsked)
{
    const QString text = QStringLiteral("[Qor]\r\nPATH=/elsewhere\r\n");
    const QByteArray utf16
        = QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    for (const bool agree : {false, true}) {
        SCOPED_TRACE(agree);
        DataFolderFixture fx;
        const QString ini = ProgramIni().FileName();
        CloseProgramIni();
        WriteFileBytes(ini, utf16);
        ScriptedMessages msgs;
        auto& question = msgs.Expect(MsgKind::Choice)
                             .Title(QStringLiteral("Файл настроек программы не читается"))
                             .Containing(QStringLiteral("Его копия сохранена в файле ") + ini + QStringLiteral(".bak"))
                             .Containing(fx.DataPath());
        if (agree) {
            question.Press(QStringLiteral("Работать с этой папкой"));
            EXPECT_EQ(GetDataPath(), fx.DataPath());
            EXPECT_EQ(ProgramIni().ReadString(QStringLiteral("Qor"), QStringLiteral("PATH"), QString()), fx.DataPath());
        } else {
            question.PressEsc();
            EXPECT_THROW(GetDataPath(), ProgramExit);
            EXPECT_EQ(ReadFileBytes(ini), utf16) << "the file is left as it was";
            EXPECT_FALSE(QFileInfo::exists(fx.DataPath())) << "no new empty data base";
        }
        EXPECT_EQ(ReadFileBytes(ini + QStringLiteral(".bak")), utf16);
        ForgetDataPath();
        DbSession::SetDataFolder(QString());
        SetDataFolder(QString());
    }
}

// A data folder nobody may write into is said at once, in Russian, with
// its path: no wait for the lock, no "busy".
TEST(DBSetupAlias, AReadOnlyDataFolderIsSaidAtOnce)
{
    class ReadOnlyDisk final : public IDiskInfo {
    public:
        int64_t FreeSpace(const QString&) override { return 1 << 30; }
        int64_t TotalSpace(const QString&) override { return 1 << 30; }
        bool IsNetworkFileSystem(const QString&) override { return false; }
        QString WhyNotWritable(const QString&) override
        {
            return QStringLiteral("файловая система смонтирована только для чтения");
        }
    } disk;
    DataFolderFixture fx;
    WriteDataAlias(fx.DataPath());
    ASSERT_TRUE(QDir().mkpath(fx.DataPath()));
    SetDiskInfo(&disk);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("В папку данных нельзя записывать"))
        .Containing(fx.DataPath() + QStringLiteral("\r\nПричина: файловая система смонтирована только для чтения."));
    EXPECT_THROW(InitDBSetup(), ProgramExit);
    SetDiskInfo(nullptr);
    EXPECT_FALSE(QFileInfo::exists(fx.DataPath() + QStringLiteral("~~Shared.tmp")));
    DoneDBSetup();
}

// ---------------------------------------------------------------- versions

struct VersionCase {
    const char* name;
    qint32 version;
    bool debug;
    const char* text;
};

class DBSetupVersionText : public ::testing::TestWithParam<VersionCase> {};

TEST_P(DBSetupVersionText, FormatsVersionAndRemainder)
{
    const VersionCase& c = GetParam();
    ScopedProgramFolder prog;
    if (c.debug)
        WriteFileBytes(prog.File(ProgramName() + QStringLiteral(".111")), QByteArray());
    CheckDebugStopMarker();
    EXPECT_EQ(VersionText(c.version), QString::fromUtf8(c.text));
    QFile::remove(prog.File(ProgramName() + QStringLiteral(".111")));
    CheckDebugStopMarker();
}

INSTANTIATE_TEST_SUITE_P(Versions, DBSetupVersionText,
    ::testing::Values(VersionCase{"Program", 10001, false, "1.00"}, VersionCase{"Zero", 0, false, "0.00"},
        VersionCase{"TwoDigitsOfFour", 12345, false, "1.23"}, VersionCase{"Release2", 20100, false, "2.01"},
        VersionCase{"DebugAddsTheRest", 10001, true, "1.00.01"}, VersionCase{"DebugOfAnother", 12345, true, "1.23.45"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DBSetupVersion, FormatVersionTellsProgramFromDataBase)
{
    const qint32 saved = Cfg.Version;
    Cfg.Version = 10000;
    EXPECT_EQ(FormatVersion(1), QStringLiteral("1.00"));
    Cfg.Version = 20000;
    EXPECT_EQ(FormatVersion(0), QStringLiteral("2.00"));
    Cfg.Version = saved;
}

// An existing data base of an older version: questions, rebuild, version.
class DBSetupUpgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.OpenDataBase(false);
        TableDef sp = CatalogueDef("SP");
        sp.fields.insert(2, FieldDef{QStringLiteral("OLDFIELD"), FieldType::String, 10, false});
        ReplaceTable(sp, {{{"NUM", 1}, {"NAIM", QStringLiteral("Цех")}, {"OLDFIELD", QStringLiteral("x")}}});
        oldSp = sp;
        DataIni().WriteInteger(QStringLiteral("Configuration"), QStringLiteral("Version"), 10000);
        DataIni().UpdateFile();
        fx.CloseDataBase();
    }
    void TearDown() override { SetReserveCopyHook({}); }

    DataFolderFixture fx;
    TableDef oldSp;
};

TEST_F(DBSetupUpgrade, AskedAndConfirmedRebuildsAndStoresTheVersionAtOnce)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question)
        .Details(QStringLiteral("Выполнять преобразования баз данных\r\nверсии [1.00] для версии [1.00]"))
        .Yes();
    fx.OpenDataBase(false);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP")), CatalogueDef("SP"));
    EXPECT_EQ(Column(QStringLiteral("SP"), "NAIM"), QList<QString>{QStringLiteral("Цех")});
    // On the disk before any later save.
    EXPECT_EQ(FromCp1251(ReadFileBytes(fx.DataPath() + ProgramName() + QStringLiteral(".ini")))
                  .contains(QStringLiteral("Version=10001")),
        true);
    EXPECT_EQ(Cfg.Version, ProgramDataVersion);
}

TEST_F(DBSetupUpgrade, QuestionIsAskedWithNoAsTheSafeAnswerAndNoEndsTheProgram)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).PressEsc();
    EXPECT_THROW(fx.OpenDataBase(false), ProgramExit);
    EXPECT_EQ(msgs.Log()[0].escAnswer, msgNo);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP"), fx.DataPath()), oldSp);
    EXPECT_EQ(
        FromCp1251(ReadFileBytes(fx.DataPath() + ProgramName() + QStringLiteral(".ini"))).contains("Version=10000"),
        true);
}

TEST_F(DBSetupUpgrade, ReserveCopyIsOfferedWhenItExistsAndMadeBeforeTheRebuild)
{
    bool copied = false;
    SetReserveCopyHook([&] {
        copied = true;
        EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP")), oldSp) << "the copy is made before any change";
    });
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    msgs.Expect(MsgKind::Question)
        .Details(QStringLiteral("Выполнить предварительное резервное копирование баз данных ?"))
        .PressEsc();
    fx.OpenDataBase(false);
    EXPECT_TRUE(copied) << "Esc means yes: the copy is the safe answer";
    EXPECT_EQ(msgs.Log()[1].escAnswer, msgYes);
}

TEST_F(DBSetupUpgrade, NewerDataBaseIsRefusedAndNeverConvertedDown)
{
    DbSession::SetDataFolder(fx.DataPath());
    SetDataFolder(fx.DataPath());
    DataIni().WriteInteger(QStringLiteral("Configuration"), QStringLiteral("Version"), 10002);
    DataIni().UpdateFile();
    SetDataFolder(QString());
    DbSession::SetDataFolder(QString());

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("База данных создана более новой версией программы"))
        .Details(QStringLiteral("Версия базы данных [1.00], версия программы [1.00]\r\nПрекращение работы"));
    EXPECT_THROW(fx.OpenDataBase(false), ProgramExit);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP"), fx.DataPath()), oldSp);
    EXPECT_FALSE(IniSavingEnabled);
}

TEST_F(DBSetupUpgrade, BrokenOffRebuildEndsTheStartSilentlyWithTheOldTableAndVersion)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    RecordingProgress progress;
    progress.StopAtStep(1);
    msgs.Expect(MsgKind::Question)
        .Title(QStringLiteral("Прерывание преобразования данных разрушит их структуру"))
        .Details(QStringLiteral("Продолжить преобразование"))
        .No();
    EXPECT_THROW(fx.OpenDataBase(false), EAbort);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP"), fx.DataPath()), oldSp);
    EXPECT_TRUE(FromCp1251(ReadFileBytes(fx.DataPath() + ProgramName() + QStringLiteral(".ini")))
                    .contains(QStringLiteral("Version=10000")));
}

// ---------------------------------------------------------------- the rebuild

class DBSetupRebuild : public ::testing::Test {
protected:
    void SetUp() override { fx.OpenDataBase(false); }
    QString FileOf(const char* table) const { return Tables::FilePath(QString::fromLatin1(table)); }
    // SP as an older program kept it: SNUM a String(10), so a copy into the
    // catalogue's Integer can fail.
    static TableDef SpWithTextSnum()
    {
        TableDef sp = CatalogueDef("SP");
        FieldOf(sp, "SNUM").type = FieldType::String;
        FieldOf(sp, "SNUM").size = 10;
        return sp;
    }
    void ExpectNoLeftovers()
    {
        EXPECT_FALSE(Tables::Exists(RebuildTableName()));
        EXPECT_FALSE(QFileInfo::exists(fx.DataPath() + RebuildMarkerName()));
        EXPECT_EQ(DbSession::OpenFileCount(), 0);
    }

    DataFolderFixture fx;
};

TEST_F(DBSetupRebuild, ExtraFieldIsDroppedAndTheOtherValuesAndNumbersKept)
{
    TableDef srh = CatalogueDef("SRH");
    srh.fields.insert(3, FieldDef{QStringLiteral("Obsolete"), FieldType::String, 20, false});
    ReplaceTable(srh,
        {{{"PRIM", 5}, {"TABNUM", 10}, {"DATEBEG", Variant::FromDate(45000)}, {"Obsolete", "a"}, {"OKL", 1234.56}},
            {{"PRIM", 9}, {"TABNUM", 11}, {"Obsolete", "b"}, {"USER", 3}}});
    ScriptedMessages msgs;
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SRH")), CatalogueDef("SRH"));
    EXPECT_EQ(Column(QStringLiteral("SRH"), "PRIM"), (QList<QString>{"5", "9"})) << "row numbers stay";
    EXPECT_EQ(Column(QStringLiteral("SRH"), "TABNUM"), (QList<QString>{"10", "11"}));
    EXPECT_EQ(Column(QStringLiteral("SRH"), "DATEBEG"), (QList<QString>{"15.03.2023", ""}));
    EXPECT_EQ(Column(QStringLiteral("SRH"), "OKL"), (QList<QString>{"1234,56", ""}));
    EXPECT_EQ(Column(QStringLiteral("SRH"), "USER"), (QList<QString>{"", "3"}));
    ExpectNoLeftovers();
    // New rows go on after the highest number.
    Cursor c(QStringLiteral("SRH"));
    c.Open();
    c.Append();
    c.FieldByName(QStringLiteral("TABNUM")).SetInteger(12);
    c.Post();
    EXPECT_EQ(c.FieldByName(QStringLiteral("PRIM")).AsInteger(), 10);
}

TEST_F(DBSetupRebuild, ChangedIndexAloneRebuildsTheTable)
{
    TableDef sr = CatalogueDef("SR");
    sr.indexes[1].fields = QStringLiteral("PODR");
    ReplaceTable(sr, {{{"TABNUM", 1}, {"PODR", 2}, {"FIO", QStringLiteral("Петров")}}});
    ScriptedMessages msgs;
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SR")), CatalogueDef("SR"));
    EXPECT_EQ(Column(QStringLiteral("SR"), "FIO"), QList<QString>{QStringLiteral("Петров")});
}

TEST_F(DBSetupRebuild, MatchingTablesAreNotRebuilt)
{
    const QByteArray before = ReadFileBytes(FileOf("SR"));
    RecordingProgress progress;
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(ReadFileBytes(FileOf("SR")), before);
    EXPECT_FALSE(progress.Log().contains(QStringLiteral("Init 1 0 0 0 0"))) << "no copy was started";
}

TEST_F(DBSetupRebuild, MissingTableIsCreatedEmptyAndNotCheckedAgain)
{
    Tables::Delete(QStringLiteral("POST"));
    ScriptedMessages msgs;
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("POST")), CatalogueDef("POST"));
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("POST")), 6) << "a new table gets the default posts";
}

TEST_F(DBSetupRebuild, TableOfAnotherLetterCaseIsTheSameTable)
{
    Tables::Rename(QStringLiteral("User"), QStringLiteral("USER"));
    ASSERT_TRUE(CheckDataBase());
    QStringList users;
    for (const QString& name : DataFolderTables()) {
        if (name.compare(QStringLiteral("User"), Qt::CaseInsensitive) == 0)
            users << name;
    }
    EXPECT_EQ(users, QStringList{QStringLiteral("USER")}) << "no second, empty User table";
}

TEST_F(DBSetupRebuild, PrekratitKeepsTheOldTableByteForByte)
{
    const TableDef sp = SpWithTextSnum();
    ReplaceTable(sp,
        {{{"NUM", 1}, {"SNUM", "abc"}, {"NAIM", QStringLiteral("Цех")}},
            {{"NUM", 2}, {"SNUM", "7"}, {"NAIM", QStringLiteral("Склад")}}});
    const QByteArray before = ReadFileBytes(FileOf("SP"));

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice).Title(FieldErrorTitle("SNUM", "SP")).PressEsc();
    msgs.Expect(MsgKind::ErrorChoice)
        .Title(EndOfCopyTitle("SP", 1))
        .Details(QStringLiteral("Продолжение операции приведет к потере данных полей с ошибками\r\nВосстановление "
                                "данных возможно только с копии"))
        .Press(QStringLiteral("Прекратить"));
    EXPECT_FALSE(CheckDataBase());
    ASSERT_EQ(msgs.Log().size(), 2);
    EXPECT_FALSE(msgs.Log()[0].details.isEmpty()) << "the conversion's own reason";
    EXPECT_EQ(msgs.Log()[0].ButtonCaptions(),
        (QStringList{QStringLiteral("Продолжить"), QStringLiteral("Не показывать ошибки"), QStringLiteral("Выйти")}));
    EXPECT_EQ(ReadFileBytes(FileOf("SP")), before);
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, EscAtTheEndOfTheCopyKeepsTheOldTable)
{
    const TableDef sp = SpWithTextSnum();
    ReplaceTable(sp, {{{"NUM", 1}, {"SNUM", "abc"}}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice).Title(FieldErrorTitle("SNUM", "SP")).PressEsc();
    msgs.Expect(MsgKind::ErrorChoice).Title(EndOfCopyTitle("SP", 1)).PressEsc();
    EXPECT_FALSE(CheckDataBase());
    EXPECT_EQ(msgs.Log()[1].escAnswer, 2);
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP")), sp);
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, ContinuingLosesOnlyTheFailedFields)
{
    const TableDef sp = SpWithTextSnum();
    ReplaceTable(sp,
        {{{"NUM", 1}, {"SNUM", "abc"}, {"NAIM", QStringLiteral("Цех")}},
            {{"NUM", 2}, {"SNUM", "x"}, {"NAIM", QStringLiteral("Склад")}},
            {{"NUM", 3}, {"SNUM", "7"}, {"NAIM", QStringLiteral("Гараж")}}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice).Press(QStringLiteral("Не показывать ошибки"));
    msgs.Expect(MsgKind::ErrorChoice).Title(EndOfCopyTitle("SP", 2)).Press(QStringLiteral("Продолжить"));
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Column(QStringLiteral("SP"), "SNUM"), (QList<QString>{"", "", "7"}));
    EXPECT_EQ(Column(QStringLiteral("SP"), "NAIM"), (QList<QString>{"Цех", "Склад", "Гараж"}));
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, VyitiBreaksOffAtOnce)
{
    const TableDef sp = SpWithTextSnum();
    ReplaceTable(sp, {{{"NUM", 1}, {"SNUM", "abc"}}, {{"NUM", 2}, {"SNUM", "def"}}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice).Press(QStringLiteral("Выйти"));
    EXPECT_FALSE(CheckDataBase());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP")), sp);
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("SP")), 2);
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, RowsThatCollideOnTheNewKeyAreCountedNotSilentlyLost)
{
    TableDef post = CatalogueDef("POST");
    FieldOf(post, "NUM").type = FieldType::Float;
    ReplaceTable(post, {{{"NUM", 2.4}, {"NAIM", "a"}}, {{"NUM", 2.5}, {"NAIM", "b"}}, {{"NUM", 3.0}, {"NAIM", "c"}}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ErrorChoice)
        .Title(QStringLiteral("Запись не перенесена в таблицу POST"))
        .Press(QStringLiteral("Продолжить"));
    msgs.Expect(MsgKind::ErrorChoice).Title(EndOfCopyTitle("POST", 1)).Press(QStringLiteral("Продолжить"));
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Column(QStringLiteral("POST"), "NAIM"), (QList<QString>{"a", "c"}));
}

TEST_F(DBSetupRebuild, StopDuringTheCopyPutsTheOldTableBack)
{
    TableDef sp = CatalogueDef("SP");
    sp.fields << FieldDef{QStringLiteral("EXTRA"), FieldType::Integer, 0, false};
    QList<Row> rows;
    for (int i = 1; i <= 5; ++i)
        rows << Row{{"NUM", i}, {"EXTRA", i * 10}};
    ReplaceTable(sp, rows);
    const QByteArray before = ReadFileBytes(FileOf("SP"));

    RecordingProgress progress;
    // 29 steps creating, the check's start and SP, then the first row copied.
    progress.StopAtStep(TableCount + 3);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Details(QStringLiteral("Продолжить преобразование")).No();
    EXPECT_FALSE(CheckDataBase());
    EXPECT_EQ(ReadFileBytes(FileOf("SP")), before);
    EXPECT_FALSE(progress.Active());
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, StopAnsweredYesGoesOn)
{
    TableDef sp = CatalogueDef("SP");
    sp.fields << FieldDef{QStringLiteral("EXTRA"), FieldType::Integer, 0, false};
    ReplaceTable(sp, {{{"NUM", 1}}, {{"NUM", 2}}});
    RecordingProgress progress;
    progress.StopAtStep(TableCount + 3);
    ScriptedMessages msgs;
    // The recorder stops again at every later step: each one asks.
    msgs.Expect(MsgKind::Question).Yes().Times(28 + 1);
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SP")), CatalogueDef("SP"));
    EXPECT_EQ(Tables::RecordCount(QStringLiteral("SP")), 2);
}

// ---------------------------------------------------------------- value conversions

struct ConversionCase {
    const char* name;
    const char* field; // of SR
    FieldType oldType;
    int oldSize;
    Variant value; // a Blob takes the text's CP1251 bytes
    const char* expected; // AsString of the new field; nullptr: a field error
    bool pairRefused; // the error names no reason: the types cannot be converted at all
};

class DBSetupConversion : public ::testing::TestWithParam<ConversionCase> {
protected:
    void SetUp() override { fx.OpenDataBase(false); }
    DataFolderFixture fx;
};

TEST_P(DBSetupConversion, OldValueBecomesTheNewFieldsValueOrAFieldError)
{
    const ConversionCase& c = GetParam();
    TableDef sr = SrWithExtraField();
    FieldOf(sr, c.field).type = c.oldType;
    FieldOf(sr, c.field).size = c.oldSize;
    ReplaceTable(sr, {{{"TABNUM", 1}, {c.field, c.value}}});

    ScriptedMessages msgs;
    if (!c.expected) {
        msgs.Expect(MsgKind::ErrorChoice).Title(FieldErrorTitle(c.field, "SR")).PressEsc();
        msgs.Expect(MsgKind::ErrorChoice).Title(EndOfCopyTitle("SR", 1)).Press(QStringLiteral("Продолжить"));
    }
    ASSERT_TRUE(CheckDataBase());
    Cursor cur(QStringLiteral("SR"));
    cur.Open();
    ASSERT_EQ(cur.RecordCount(), 1);
    const Field f = cur.FieldByName(QString::fromLatin1(c.field));
    if (c.expected) {
        EXPECT_EQ(f.AsString(), QString::fromUtf8(c.expected));
    } else {
        EXPECT_TRUE(f.IsNull());
        ASSERT_FALSE(msgs.Log().isEmpty());
        EXPECT_EQ(msgs.Log()[0].details.isEmpty(), c.pairRefused) << msgs.Log()[0].Describe().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, DBSetupConversion,
    ::testing::Values(
        // A float into an integer field: halves to even, out of range an error.
        ConversionCase{"FloatHalfDown", "SNUM", FieldType::Float, 0, Variant(2.5), "2", false},
        ConversionCase{"FloatHalfUp", "SNUM", FieldType::Float, 0, Variant(3.5), "4", false},
        ConversionCase{"FloatNegativeHalf", "SNUM", FieldType::Float, 0, Variant(-2.5), "-2", false},
        ConversionCase{"FloatNearest", "SNUM", FieldType::Float, 0, Variant(7.51), "8", false},
        ConversionCase{"FloatTooBigForInteger", "SNUM", FieldType::Float, 0, Variant(1e12), nullptr, false},
        ConversionCase{"IntegerIntoSmallint", "CUSER", FieldType::Integer, 0, Variant(12), "12", false},
        ConversionCase{"IntegerTooBigForSmallint", "CUSER", FieldType::Integer, 0, Variant(40000), nullptr, false},
        ConversionCase{"BooleanIntoInteger", "SNUM", FieldType::Boolean, 0, Variant(true), "1", false},
        ConversionCase{"IntegerIntoBoolean", "CHECKCHANGE", FieldType::Integer, 0, Variant(5), "True", false},
        // Texts.
        ConversionCase{"IntegerIntoString", "FIO", FieldType::Integer, 0, Variant(123), "123", false},
        ConversionCase{"FloatIntoString", "FIO", FieldType::Float, 0, Variant(2.5), "2,5", false},
        ConversionCase{
            "LongerStringIsCut", "TABNOMER", FieldType::String, 20, Variant("1234567890ABC"), "1234567890", false},
        ConversionCase{"StringIntoFloatComma", "SUM", FieldType::String, 10, Variant("2,75"), "2,75", false},
        ConversionCase{"StringIntoFloatDot", "SUM", FieldType::String, 10, Variant("2.75"), "2,75", false},
        ConversionCase{"StringIntoInteger", "SNUM", FieldType::String, 10, Variant(" 42"), "42", false},
        ConversionCase{"StringNotANumber", "SNUM", FieldType::String, 10, Variant("abc"), nullptr, false},
        ConversionCase{"StringIntoBoolean", "CHECKCHANGE", FieldType::String, 10, Variant("true"), "True", false},
        ConversionCase{"BlobIntoString", "FIO", FieldType::Blob, 0, Variant("Иванов И.И."), "Иванов И.И.", false},
        ConversionCase{"StringNotABoolean", "CHECKCHANGE", FieldType::String, 10, Variant("x"), nullptr, false},
        // Dates.
        ConversionCase{
            "DateTimeIntoDate", "DATEBEG", FieldType::DateTime, 0, Variant::FromDate(45366.75), "15.03.2024", false},
        ConversionCase{"StringIntoDate", "DATEBEG", FieldType::String, 10, Variant("15.03.2024"), "15.03.2024", false},
        ConversionCase{"DateIntoString", "FIO", FieldType::Date, 0, Variant::FromDate(45366), "15.03.2024", false},
        ConversionCase{
            "DateTimeIntoFloat", "SUM", FieldType::DateTime, 0, Variant::FromDate(45366.5), "45366,5", false},
        ConversionCase{"IntegerIntoDateRefused", "DATEBEG", FieldType::Integer, 0, Variant(45366), nullptr, true},
        ConversionCase{"DateIntoFloatRefused", "OKL", FieldType::Date, 0, Variant::FromDate(45366), nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- layout comparison

struct MatchCase {
    const char* name;
    std::function<void(TableDef&)> change;
    bool matches;
};

class DBSetupMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(DBSetupMatch, ComparesIndexesThenFields)
{
    TableDef actual = CatalogueDef("SR");
    GetParam().change(actual);
    EXPECT_EQ(TableMatchesCatalogue(actual, CatalogueDef("SR")), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Rules, DBSetupMatch,
    ::testing::Values(MatchCase{"Same", [](TableDef&) {}, true},
        MatchCase{"FieldNameCase", [](TableDef& d) { d.fields[4].name = QStringLiteral("fio"); }, true},
        MatchCase{"DateTimeForDate", [](TableDef& d) { FieldOf(d, "DATEBEG").type = FieldType::DateTime; }, true},
        MatchCase{"DateForDateTimeIsNot", [](TableDef& d) { FieldOf(d, "SUM").type = FieldType::Date; }, false},
        MatchCase{"OtherType", [](TableDef& d) { FieldOf(d, "SNUM").type = FieldType::Float; }, false},
        MatchCase{"OtherSize", [](TableDef& d) { FieldOf(d, "FIO").size = 40; }, false},
        MatchCase{"Required", [](TableDef& d) { FieldOf(d, "FIO").required = true; }, false},
        MatchCase{"ExtraField",
            [](TableDef& d) {
                d.fields << FieldDef{QStringLiteral("X"), FieldType::Integer};
            },
            false},
        MatchCase{"FieldOrder", [](TableDef& d) { d.fields.swapItemsAt(1, 2); }, false},
        MatchCase{"IndexMissing", [](TableDef& d) { d.indexes.removeLast(); }, false},
        MatchCase{"IndexFields", [](TableDef& d) { d.indexes[1].fields = QStringLiteral("PODR"); }, false},
        MatchCase{"IndexOptions", [](TableDef& d) { d.indexes[1].options = IndexOption::CaseInsensitive; }, false},
        MatchCase{"IndexNameCase", [](TableDef& d) { d.indexes[1].name = QStringLiteral("podr"); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DBSetupMatchBlob, BlobSizesAreNotCompared)
{
    TableDef actual = CatalogueDef("Bin");
    FieldOf(actual, "INFO").size = 240;
    EXPECT_TRUE(TableMatchesCatalogue(actual, CatalogueDef("Bin")));
}

// ---------------------------------------------------------------- crash recovery

TEST_F(DBSetupRebuild, TableLeftAsTmpByACrashIsPutBackNotDeleted)
{
    TableDef sr = SrWithExtraField();
    ReplaceTable(sr, {{{"TABNUM", 7}, {"FIO", QStringLiteral("Сидоров")}}});
    // The crash: SR renamed to TMP, the new SR half made.
    WriteFileBytes(fx.DataPath() + RebuildMarkerName(), "SR");
    Tables::Rename(QStringLiteral("SR"), RebuildTableName());
    TableStructures()[1].CreateTable();

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Title(QStringLiteral("Преобразование таблицы \"SR\" было прервано"));
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Tables::ReadDefinition(QStringLiteral("SR")), CatalogueDef("SR")) << "and rebuilt again";
    EXPECT_EQ(Column(QStringLiteral("SR"), "FIO"), QList<QString>{QStringLiteral("Сидоров")});
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, CrashLeftoverIsMendedAtTheNextStartWhateverTheVersion)
{
    ReplaceTable(CatalogueDef("PN"), {{{"NUM", 4}, {"TIP", 1}}});
    WriteFileBytes(fx.DataPath() + RebuildMarkerName(), "PN");
    Tables::Rename(QStringLiteral("PN"), RebuildTableName());
    fx.CloseDataBase();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Containing(QStringLiteral("Выполнять преобразования")).Yes();
    msgs.Expect(MsgKind::Warning).Title(QStringLiteral("Преобразование таблицы \"PN\" было прервано"));
    fx.OpenDataBase(false);
    EXPECT_EQ(Column(QStringLiteral("PN"), "NUM"), QList<QString>{QStringLiteral("4")});
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, TableLeftAsTmpWithTheNewOneMissingIsPutBack)
{
    ReplaceTable(CatalogueDef("DP"), {{{"DOPNUM", 3}, {"NAIM", QStringLiteral("Оклад")}}});
    WriteFileBytes(fx.DataPath() + RebuildMarkerName(), "DP");
    Tables::Rename(QStringLiteral("DP"), RebuildTableName());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning);
    ASSERT_TRUE(CheckDataBase());
    EXPECT_EQ(Column(QStringLiteral("DP"), "NAIM"), QList<QString>{QStringLiteral("Оклад")});
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, UnknownTmpTableStopsTheCheckAndStays)
{
    Tables::Create(TableDef{RebuildTableName(), {FieldDef{QStringLiteral("A"), FieldType::Integer}},
        {IndexDef{QString(), IndexOption::Primary | IndexOption::Unique, QStringLiteral("A")}}});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("В папке данных осталась таблица TMP от прерванного преобразования"));
    EXPECT_FALSE(CheckDataBase());
    EXPECT_TRUE(Tables::Exists(RebuildTableName()));
}

TEST_F(DBSetupRebuild, StaleMarkerWithoutTmpIsForgotten)
{
    WriteFileBytes(fx.DataPath() + RebuildMarkerName(), "SR");
    ASSERT_TRUE(CheckDataBase());
    ExpectNoLeftovers();
}

TEST_F(DBSetupRebuild, ForeignFileUnderATableNameIsReportedAndStopsTheCheck)
{
    Tables::Delete(QStringLiteral("STAFF"));
    WriteFileBytes(fx.DataPath() + QStringLiteral("STAFF.DB"), QByteArray("old engine table", 16));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Ошибка при проверке базы данных")).Containing("STAFF");
    EXPECT_FALSE(CheckDataBase());
    EXPECT_EQ(ReadFileBytes(fx.DataPath() + QStringLiteral("STAFF.DB")), QByteArray("old engine table", 16));
}

// ---------------------------------------------------------------- catalogue tables

TEST(DBSetupCatalogue, OpenTableByNumberOpensTheCatalogueTable)
{
    DataFolderFixture fx;
    fx.OpenDataBase(false);
    std::unique_ptr<Cursor> table;
    ASSERT_TRUE(OpenTableByNumber(5, table, true));
    EXPECT_EQ(table->TableName(), QStringLiteral("KSOP"));
    EXPECT_TRUE(table->Exclusive());
    EXPECT_EQ(table->RecordCount(), 3);

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Нет описания структуры: 29"));
    EXPECT_FALSE(OpenTableByNumber(29, table));
    EXPECT_EQ(table, nullptr) << "the old table was freed";

    const std::unique_ptr<Cursor> fresh = NewCatalogTable(23);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->TableName(), QStringLiteral("Bin"));
    EXPECT_FALSE(fresh->Active());
}

} // namespace
