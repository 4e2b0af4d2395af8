#include "data/Globals.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileFuncs.h"
#include "foundation/FileList.h"
#include "foundation/IniFiles.h"
#include "platform/Codec.h"
#include "platform/ProgramFolder.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const TDateTime kToday = EncodeDate(2024, 3, 15);

class GlobalsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        IniSavingEnabled = false;
        CloseProgramIni();
        InitGlobals();
        SetDataFolder(dataDir.path());
    }
    void TearDown() override
    {
        DoneGlobals();
        CloseProgramIni();
        IniSavingEnabled = false;
        CurrentUser = 0;
        SetTNPositionProvider({});
        SetDNPositionProvider({});
    }

    QString DataIniPath() const { return dataDir.path() + QLatin1Char('/') + ProgramName() + QStringLiteral(".ini"); }
    QString ProgramIniPath() const { return prog.Path() + ProgramName() + QStringLiteral(".ini"); }
    static QString FileText(const QString& path) { return FromCp1251(ReadFileBytes(path)); }
    void WriteDataIni(const QString& text) { WriteFileBytes(DataIniPath(), ToCp1251(text)); }

    // A later run: the program starts again and reads what the files hold.
    void Restart()
    {
        DoneGlobals();
        CloseProgramIni();
        InitGlobals();
        SetDataFolder(dataDir.path());
        ReadErrorsSection();
        LoadDataConfiguration();
        ReloadUserSettings();
    }

    ScopedFakeClock clock{kToday + 0.4};
    ScopedProgramFolder prog;
    QTemporaryDir dataDir;
};

TEST_F(GlobalsTest, WithoutIniFilesEverySettingKeepsItsDefault)
{
    ReadErrorsSection();
    LoadDataConfiguration();
    ReloadUserSettings();

    EXPECT_EQ(StartDate, kToday);
    EXPECT_EQ(Cfg.BegDate, EncodeDate(1995, 1, 1));
    EXPECT_EQ(Cfg.BegPeriod, EncodeDate(1995, 1, 1));
    EXPECT_EQ(Cfg.EndPeriod, kToday);
    EXPECT_EQ(Cfg.Workdate, kToday);
    EXPECT_EQ(Cfg.LastDate, 0.0);
    EXPECT_EQ(Cfg.NaimGlBuh, QStringLiteral("Гл. бухгалтер"));
    EXPECT_EQ(Cfg.NaimDirector, QStringLiteral("Директор"));
    EXPECT_EQ(Cfg.Rub, QStringLiteral("руб."));
    EXPECT_EQ(Cfg.Kop, QStringLiteral("коп."));
    EXPECT_EQ(Cfg.CurrencyDivider, QStringLiteral("-"));
    EXPECT_EQ(Cfg.Password, QStringLiteral("Marigold"));
    EXPECT_FALSE(Cfg.PassCheck);
    EXPECT_EQ(Cfg.RoundS, 1.0);
    EXPECT_TRUE(Cfg.Round);
    EXPECT_FALSE(Cfg.RoundB);
    EXPECT_TRUE(Cfg.AutoCalc);
    EXPECT_TRUE(Cfg.PNInt);
    EXPECT_EQ(Cfg.MinUderNum, 200);
    EXPECT_EQ(Cfg.NumYears, 2);
    EXPECT_EQ(Cfg.NumFullYears, 2);
    EXPECT_EQ(Cfg.DecimalPos, 2);
    EXPECT_EQ(Cfg.Version, 0);
    EXPECT_EQ(Cfg.Error, 0);
    // Reading writes nothing.
    EXPECT_FALSE(QFileInfo::exists(DataIniPath()));
    EXPECT_FALSE(QFileInfo::exists(ProgramIniPath()));
}

TEST_F(GlobalsTest, StartUpMakesTheWorkFoldersAndTheProcessObjects)
{
    EXPECT_EQ(TMP, prog.Path() + QStringLiteral("TMP/"));
    EXPECT_EQ(TxtDir, prog.Path() + QStringLiteral("TXT/"));
    EXPECT_EQ(TmpTableName, prog.Path() + QStringLiteral("TMP/TMP"));
    EXPECT_TRUE(QFileInfo(TMP).isDir());
    EXPECT_TRUE(QFileInfo(TxtDir).isDir());
    EXPECT_NE(GlobalOwner(), nullptr);
    GlobalFileList().append(QStringLiteral("x"));

    DoneGlobals();
    EXPECT_TRUE(TMP.isEmpty());
    EXPECT_TRUE(TxtDir.isEmpty());
    EXPECT_THROW(GlobalFileList(), EAppException);
    EXPECT_THROW(DataIni(), EAppException);
    InitGlobals();
    EXPECT_TRUE(GlobalFileList().isEmpty());
}

TEST_F(GlobalsTest, RunStateReachesTheDiskWhileSavingIsOff)
{
    ASSERT_FALSE(IniSavingEnabled);
    SetRunState(rsStarting);
    EXPECT_TRUE(FileText(ProgramIniPath()).contains(QStringLiteral("[Errors]\r\nError=1\r\n")));
    SetRunState(-1);
    SetRunState(-1);
    SetRunState(-1);
    EXPECT_EQ(Cfg.Error, 4);
    EXPECT_TRUE(FileText(ProgramIniPath()).contains(QStringLiteral("[Errors]\r\nError=4\r\n")));

    Restart();
    EXPECT_EQ(Cfg.Error, 4);
    SetRunState(rsClean);
    Restart();
    EXPECT_EQ(Cfg.Error, 0);
}

TEST_F(GlobalsTest, BegDateMovesBackToTheWorkingMonth)
{
    struct Row {
        const char* name;
        const char* workdate;
        const char* begDate;
        TDateTime expected;
    };
    const Row rows[] = {
        {"work month before", "19960315", "19960401", EncodeDate(1996, 3, 1)},
        {"same month", "19960415", "19960410", EncodeDate(1996, 4, 1)},
        {"work month after", "19960515", "19960401", EncodeDate(1996, 4, 1)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        WriteDataIni(QStringLiteral("[Configuration]\r\nBegDate=%1\r\nWorkdate=%2\r\n")
                         .arg(QLatin1String(r.begDate), QLatin1String(r.workdate)));
        SetDataFolder(dataDir.path());
        LoadDataConfiguration();
        EXPECT_EQ(Cfg.BegDate, r.expected);
        EXPECT_EQ(Cfg.Workdate, StoD(QLatin1String(r.workdate)));
    }
}

TEST_F(GlobalsTest, RoundingStepIsReadWithEitherSeparatorAndSurvivesARestart)
{
    struct Row {
        const char* name;
        const char* stored;
        double expected;
    };
    const Row rows[] = {
        {"legacy comma, quoted", "\"0,5\"", 0.5},
        {"point", "0.25", 0.25},
        {"comma unquoted", "0,1", 0.1},
        {"missing value keeps the default", "", 1.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        WriteDataIni(QStringLiteral("[Configuration]\r\nRoundS=%1\r\n").arg(QLatin1String(r.stored)));
        SetDataFolder(dataDir.path());
        SetCfgDefaults(Cfg);
        LoadDataConfiguration();
        EXPECT_DOUBLE_EQ(Cfg.RoundS, r.expected);
    }

    // Entered in the settings, saved at exit, read at the next start.
    IniSavingEnabled = true;
    Cfg.RoundS = 0.5;
    SaveSettings();
    EXPECT_TRUE(FileText(DataIniPath()).contains(QStringLiteral("RoundS=\"0,5\"")));
    Restart();
    EXPECT_DOUBLE_EQ(Cfg.RoundS, 0.5);
}

TEST_F(GlobalsTest, RoundingStepOfZeroOrLessBecomesOneAndIsReportedOnce)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Containing(QStringLiteral("шаг округления"));
    WriteDataIni(QStringLiteral("[Configuration]\r\nRoundS=\"0\"\r\n"));
    SetDataFolder(dataDir.path());
    LoadDataConfiguration();
    EXPECT_EQ(Cfg.RoundS, 1.0);

    WriteDataIni(QStringLiteral("[Configuration]\r\nRoundS=\"-2,5\"\r\n"));
    SetDataFolder(dataDir.path());
    LoadDataConfiguration();
    EXPECT_EQ(Cfg.RoundS, 1.0);
    EXPECT_EQ(msgs.Log().size(), 1);

    // The mended step is written back at the next save.
    IniSavingEnabled = true;
    SaveDataConfiguration();
    EXPECT_TRUE(FileText(DataIniPath()).contains(QStringLiteral("RoundS=\"1\"")));
}

TEST_F(GlobalsTest, FirstSaveWritesEveryEntryInItsOrder)
{
    SaveDataConfiguration();
    EXPECT_FALSE(QFileInfo::exists(DataIniPath())) << "written while saving was off";

    IniSavingEnabled = true;
    Cfg.Version = 10001;
    SaveDataConfiguration();
    TMemIniFile ini(DataIniPath());
    QStringList keys;
    ini.ReadSection(QStringLiteral("Configuration"), keys);
    QStringList expected;
    for (const CfgFieldDesc& d : CfgDataFields)
        expected.append(QString::fromLatin1(d.Name));
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(ini.ReadString(QStringLiteral("Configuration"), QStringLiteral("Version"), {}), QStringLiteral("10001"));
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("Configuration"), QStringLiteral("Workdate"), {}), QStringLiteral("20240315"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Configuration"), QStringLiteral("NaimGlBuh"), {}),
        QStringLiteral("\"Гл. бухгалтер\""));
}

TEST_F(GlobalsTest, FullDiskAtTheSaveNamesTheDataIniAndIsToldOnce)
{
    IniSavingEnabled = true;
    SaveDataConfiguration();
    const QByteArray before = ReadFileBytes(DataIniPath());
    Cfg.NaimDirector = QStringLiteral("Генеральный директор");
    {
        ScriptedMessages msgs;
        ScopedFullDisk full;
        try {
            SaveDataConfiguration();
            ADD_FAILURE() << "no EDiskFull";
        } catch (const EDiskFull& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Недостаточно места на диске, файл не записан:\r\n") + DataIniPath());
        }
        SetDataFolder(QString()); // the data INI is closed on the full disk: nothing more is said
        EXPECT_EQ(msgs.Log().size(), 0);
    }
    EXPECT_EQ(ReadFileBytes(DataIniPath()), before);
}

TEST_F(GlobalsTest, TwoCopiesOnOneDataFolderKeepEachOthersChanges)
{
    IniSavingEnabled = true;
    Cfg.Version = 10001;
    SaveDataConfiguration();

    TIniFile ini(DataIniPath());
    Tcfg a, aLoaded, b, bLoaded;
    SetCfgDefaults(a);
    SetCfgDefaults(b);
    LoadDataConfiguration(ini, a, aLoaded);
    LoadDataConfiguration(ini, b, bLoaded);

    a.Workdate = EncodeDate(2024, 4, 1);
    SaveDataConfiguration(ini, a, aLoaded);
    b.RoundS = 0.1;
    SaveDataConfiguration(ini, b, bLoaded); // b never touched the working date

    Tcfg c, cLoaded;
    SetCfgDefaults(c);
    TIniFile fresh(DataIniPath());
    LoadDataConfiguration(fresh, c, cLoaded);
    EXPECT_EQ(c.Workdate, EncodeDate(2024, 4, 1));
    EXPECT_DOUBLE_EQ(c.RoundS, 0.1);
    EXPECT_EQ(c.Version, 10001);
}

TEST_F(GlobalsTest, ChangeOfAnotherProgramSurvivesOurSave)
{
    IniSavingEnabled = true;
    Cfg.Version = 10001;
    SaveDataConfiguration();

    // Another workstation moves the period while this copy runs.
    QString text = FileText(DataIniPath());
    text.replace(QStringLiteral("Workdate=20240315"), QStringLiteral("Workdate=20240501"));
    ASSERT_TRUE(text.contains(QStringLiteral("Workdate=20240501")));
    text.append(QStringLiteral("[Other]\r\nKey=1\r\n"));
    WriteDataIni(text);

    Cfg.NaimDirector = QStringLiteral("Генеральный директор");
    SaveSettings();

    const QString after = FileText(DataIniPath());
    EXPECT_TRUE(after.contains(QStringLiteral("Workdate=20240501")));
    EXPECT_TRUE(after.contains(QStringLiteral("NaimDirector=\"Генеральный директор\"")));
    EXPECT_TRUE(after.contains(QStringLiteral("[Other]")));
    EXPECT_EQ(Cfg.Workdate, kToday) << "our own working date is not changed under us";
}

TEST_F(GlobalsTest, ClearedCurrencyWordComesBackAsTheDefault)
{
    // An empty stored text keeps the current value (the INI persistence's
    // rule), so a cleared word returns as its default after a restart.
    IniSavingEnabled = true;
    Cfg.Rub = QString();
    SaveSettings();
    EXPECT_TRUE(FileText(DataIniPath()).contains(QStringLiteral("Rub=\"\"")));
    Restart();
    EXPECT_EQ(Cfg.Rub, QStringLiteral("руб."));
}

TEST_F(GlobalsTest, UserSettingsGoToTheUsersSectionWithTheWindowsPositions)
{
    CurrentUser = 3;
    Cfg.FioVid = 2;
    Cfg.PassCheck = true;
    Cfg.ScaleBy = 120;
    Cfg.LastDate = kToday;
    SetTNPositionProvider([] { return 77; });
    SetDNPositionProvider([] { return 205; });

    SaveUserSettings();
    EXPECT_FALSE(QFileInfo::exists(ProgramIniPath())) << "written while saving was off";
    EXPECT_EQ(Cfg.TNPosition, 0);

    IniSavingEnabled = true;
    SaveUserSettings();
    EXPECT_EQ(Cfg.TNPosition, 77);
    EXPECT_EQ(Cfg.DNPosition, 205);
    const QString text = FileText(ProgramIniPath());
    EXPECT_TRUE(text.contains(QStringLiteral("[Configuration]\r\nLastDate=20240315\r\nScaleBy=120\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[User3]\r\nTNPosition=77\r\nDNPosition=205\r\n")));

    Restart();
    CurrentUser = 3;
    ReloadUserSettings();
    EXPECT_EQ(Cfg.TNPosition, 77);
    EXPECT_EQ(Cfg.DNPosition, 205);
    EXPECT_EQ(Cfg.FioVid, 2);
    EXPECT_TRUE(Cfg.PassCheck);
    EXPECT_EQ(Cfg.ScaleBy, 120);
    EXPECT_EQ(Cfg.LastDate, kToday);

    // Another user has a section of his own.
    CurrentUser = 0;
    SetCfgDefaults(Cfg);
    ReloadUserSettings();
    EXPECT_EQ(UserSectionName(), QStringLiteral("User0"));
    EXPECT_EQ(Cfg.TNPosition, 0);
    EXPECT_FALSE(Cfg.PassCheck);
}

TEST_F(GlobalsTest, ProgramIniChangedOutsideIsReadAgain)
{
    IniSavingEnabled = true;
    SaveUserSettings();
    ASSERT_EQ(Cfg.FioVid, 0);
    QString text = FileText(ProgramIniPath());
    text.replace(QStringLiteral("FioVid=0"), QStringLiteral("FioVid=3"));
    WriteFileBytes(ProgramIniPath(), ToCp1251(text));
    ReloadUserSettings();
    EXPECT_EQ(Cfg.FioVid, 3);
}

TEST_F(GlobalsTest, SettingsByName)
{
    Cfg.Version = 10001;
    Cfg.Error = 3;
    Cfg.LastDate = kToday;
    struct Row {
        const char* name;
        VarType type;
        Variant value;
    };
    const Row rows[] = {
        {"RoundS", VarType::Double, Variant(1.0)},
        {"rounds", VarType::Double, Variant(1.0)},
        {"PNInt", VarType::Boolean, Variant(true)},
        {"Version", VarType::Integer, Variant(10001)},
        {"Workdate", VarType::Date, Variant::FromDate(kToday)},
        {"Rub", VarType::String, Variant(QStringLiteral("руб."))},
        {"LastDate", VarType::Date, Variant::FromDate(kToday)},
        {"ScaleBy", VarType::Integer, Variant(0)},
        {"Error", VarType::Integer, Variant(3)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Variant v = GetCFGVarValue(QString::fromLatin1(r.name));
        EXPECT_EQ(v.Type(), r.type);
        EXPECT_TRUE(v == r.value);
    }
    // The user's section is not searched.
    EXPECT_TRUE(GetCFGVarValue(QStringLiteral("TNPosition")).IsEmpty());
    EXPECT_TRUE(GetCFGVarValue(QStringLiteral("Password")).IsEmpty());
    EXPECT_TRUE(GetCFGVarValue(QStringLiteral("Nothing")).IsEmpty());
}

TEST_F(GlobalsTest, DataIniOfAnotherLetterCaseIsUsed)
{
    QTemporaryDir other;
    const QString upper = other.path() + QLatin1Char('/') + ProgramName().toUpper() + QStringLiteral(".INI");
    WriteFileBytes(upper, ToCp1251(QStringLiteral("[Configuration]\r\nVersion=10001\r\nTabnDirector=12\r\n")));
    SetDataFolder(other.path());
    EXPECT_EQ(DataFolder(), other.path() + QLatin1Char('/'));
    EXPECT_EQ(DataIni().FileName(), upper);
    LoadDataConfiguration();
    EXPECT_EQ(Cfg.Version, 10001);
    EXPECT_EQ(Cfg.TabnDirector, 12);

    SetDataFolder(QString());
    EXPECT_THROW(LoadDataConfiguration(), EAppException);
}

TEST_F(GlobalsTest, NetworkSectionRoundTrip)
{
    IniSavingEnabled = true;
    LocalPath = QStringLiteral("/data/local");
    NetworkPath = QStringLiteral("//server/qor");
    DriverLocalPath = QStringLiteral("STANDARD");
    WriteNetWorkCFG();
    ProgramIni().UpdateFile();
    Restart();
    EXPECT_TRUE(LocalPath.isEmpty());
    ReadNetWorkCFG();
    EXPECT_EQ(LocalPath, QStringLiteral("/data/local"));
    EXPECT_EQ(NetworkPath, QStringLiteral("//server/qor"));
    EXPECT_EQ(DriverLocalPath, QStringLiteral("STANDARD"));
    EXPECT_TRUE(DriverNetworkPath.isEmpty());
}

TEST(GlobalsRunState, FailedWriteIsReportedAndTheWorkGoesOn)
{
    QTemporaryDir dir;
    // The program folder lies under a plain file: nothing can be written there.
    WriteFileBytes(dir.path() + QStringLiteral("/file"), "x");
    SetProgramFolder(dir.path() + QStringLiteral("/file/sub"));
    CloseProgramIni();
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Title(QStringLiteral("Не могу записать состояние программы"));
        SetRunState(rsStarting);
        EXPECT_EQ(Cfg.Error, rsStarting);
        // The INI's own last attempt when it is closed.
        msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Cannot create file"));
        CloseProgramIni();
    }
    SetProgramFolder(QString());
    Cfg.Error = 0;
}

// A program folder away from the program gets the shipped templates it
// lacks; a template the clerk changed, in whatever letter case, stays.
TEST(CopyShippedTextsTest, CopiesOnlyWhatTheTextFolderLacks)
{
    QTemporaryDir shipped, txt;
    WriteFileBytes(shipped.filePath(QStringLiteral("RV.dcf")), "shipped RV");
    WriteFileBytes(shipped.filePath(QStringLiteral("CatList.cfg")), "shipped list");
    WriteFileBytes(txt.filePath(QStringLiteral("rv.DCF")), "the clerk's RV");
    ScriptedMessages msgs;
    CopyShippedTexts(shipped.path(), txt.path());
    EXPECT_EQ(ReadFileBytes(txt.filePath(QStringLiteral("CatList.cfg"))), "shipped list");
    EXPECT_EQ(ReadFileBytes(txt.filePath(QStringLiteral("rv.DCF"))), "the clerk's RV");
    EXPECT_FALSE(QFileInfo::exists(txt.filePath(QStringLiteral("RV.dcf"))));
    CopyShippedTexts(txt.path(), txt.path()); // the program's own folder: nothing to do
    EXPECT_EQ(QDir(txt.path()).entryList(QDir::Files).size(), 2);
}

// Templates that cannot be copied (a full disk fails them all alike) are
// said once, with their number, not once each.
TEST(CopyShippedTextsTest, FailedCopiesAreOneMessage)
{
    QTemporaryDir shipped, txt;
    for (const char* name : {"A.dcf", "B.dcf", "C.dcf"}) {
        WriteFileBytes(shipped.filePath(QLatin1String(name)), "template");
        // A folder where the file would go: the copy fails.
        QDir(txt.path()).mkpath(QLatin1String(name) + QStringLiteral("/x"));
    }
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Не могу скопировать шаблоны в папку шаблонов"))
        .Containing(QStringLiteral("Не скопировано файлов: 3"));
    CopyShippedTexts(shipped.path(), txt.path());
}

} // namespace
