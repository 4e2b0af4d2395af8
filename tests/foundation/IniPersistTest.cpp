#include "foundation/IniPersist.h"
#include "foundation/IniFiles.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Variables of one settings group, as a unit would declare them.
struct Settings {
    bool autoCalc = true;
    QString director = QStringLiteral("Иванов И.И.");
    QString bank = QStringLiteral("Сбербанк");
    TDateTime workDate = 0;
    qint32 round = 2;
    double rate = 1.5;
};

bool g_flag = false;
qint32 g_count = 0;
constexpr VarDesc kValidTable[] = {{"Flag", 'B', &g_flag}, {"Count", 'I', &g_count}};
static_assert(VarTableValid(kValidTable));
static_assert(!VarDescValid({"Flag", 'I', &g_flag})); // letter and type differ
static_assert(!VarDescValid({"Flag", 'b', &g_flag})); // lower case is no known letter
static_assert(!VarDescValid({"NameLongerThanTwentyX", 'B', &g_flag}));

class IniPersistTest : public ::testing::Test {
protected:
    IniPersistTest() { IniSavingEnabled = true; }
    ~IniPersistTest() override
    {
        CloseProgramIni();
        IniSavingEnabled = false;
    }
    QString Path() const { return folder_.File("vars.ini"); }
    QList<VarDesc> Table(Settings& s)
    {
        return {{"AutoCalc", 'B', &s.autoCalc}, {"Director", 'C', &s.director}, {"Bank", 'S', &s.bank},
            {"WorkDate", 'D', &s.workDate}, {"Round", 'I', &s.round}, {"Rate", 'N', &s.rate}};
    }

    ScopedProgramFolder folder_;
    ScriptedMessages msgs_;
};

TEST_F(IniPersistTest, RoundTripOfEveryLetter)
{
    Settings saved;
    saved.autoCalc = false;
    saved.director = QStringLiteral("Петров П.П.");
    saved.bank = QString();
    saved.workDate = EncodeDate(2024, 3, 5) + EncodeTime(14, 30, 0, 0);
    saved.round = -3;
    saved.rate = 1.5;
    {
        TIniFile ini(Path());
        ini.WriteString("Cfg", "Undescribed", "1"); // vanishes: the section is erased first
        SaveIniSection(ini, "Cfg", Table(saved));
    }
    EXPECT_EQ(ReadFileBytes(Path()),
        ToCp1251(QStringLiteral("[Cfg]\r\n"
                                "AutoCalc=0\r\n"
                                "Director=\"Петров П.П.\"\r\n"
                                "Bank=\"\"\r\n"
                                "WorkDate=20240305\r\n"
                                "Round=-3\r\n"
                                "Rate=\"1,5\"\r\n"
                                "\r\n")));

    Settings restored;
    TIniFile ini(Path());
    RestIniSection(ini, "Cfg", Table(restored));
    EXPECT_FALSE(restored.autoCalc);
    EXPECT_EQ(restored.director, QStringLiteral("Петров П.П."));
    // An empty stored text never replaces a non-empty value.
    EXPECT_EQ(restored.bank, QStringLiteral("Сбербанк"));
    EXPECT_EQ(restored.workDate, EncodeDate(2024, 3, 5)); // the time of day is lost
    EXPECT_EQ(restored.round, -3);
    EXPECT_EQ(restored.rate, 1.5);
}

TEST_F(IniPersistTest, SwitchOffLeavesTheFileAlone)
{
    const QByteArray bytes = "[Cfg]\r\nRound=7\r\nOther=1\r\n\r\n";
    WriteFileBytes(Path(), bytes);
    IniSavingEnabled = false;
    Settings s;
    {
        TIniFile ini(Path());
        SaveIniSection(ini, "Cfg", Table(s));
        WriteIniValue(ini, "Cfg", "Round", Variant(9));
        EXPECT_FALSE(ini.Modified());
        // Restoring works whatever the switch.
        RestIniSection(ini, "Cfg", Table(s));
        EXPECT_EQ(s.round, 7);
    }
    EXPECT_EQ(ReadFileBytes(Path()), bytes);

    // SaveIniStrings is not gated; its program INI form is.
    SaveProgramIniStrings("List", {"a"}, 0);
    EXPECT_FALSE(ProgramIni().Modified());
    {
        TIniFile ini(Path());
        SaveIniStrings(ini, "List", {"a"}, 0);
    }
    EXPECT_NE(ReadFileBytes(Path()), bytes);
}

TEST_F(IniPersistTest, MissingOrEmptyKeysKeepCurrentValues)
{
    WriteFileBytes(Path(), "[Cfg]\nDirector=\nBank=\"\"\nRate=\n");
    Settings s;
    const Settings before;
    TIniFile ini(Path());
    RestIniSection(ini, "Cfg", Table(s));
    EXPECT_EQ(s.director, before.director);
    EXPECT_EQ(s.bank, before.bank);
    EXPECT_EQ(s.rate, before.rate);
    EXPECT_EQ(s.round, before.round);
    EXPECT_EQ(s.autoCalc, before.autoCalc);
}

TEST_F(IniPersistTest, NumbersWithEitherSeparatorRestore)
{
    WriteFileBytes(Path(), "[Cfg]\nRate=\"2.75\"\n[Cfg2]\nRate=3,5\n");
    Settings s;
    TIniFile ini(Path());
    RestIniSection(ini, "Cfg", Table(s));
    EXPECT_EQ(s.rate, 2.75);
    RestIniSection(ini, "Cfg2", Table(s));
    EXPECT_EQ(s.rate, 3.5);
}

TEST_F(IniPersistTest, UnknownLetterIsReportedAndTheRestSaved)
{
    qint32 before = 1, after = 2;
    bool lower = true;
    const VarDesc table[]
        = {{"Before", 'I', &before}, {"Name", 'x', &before}, {"Lower", 'b', &lower}, {"After", 'I', &after}};
    msgs_.Expect(MsgKind::Error)
        .Title("SaveIniSection: ")
        .Details(QStringLiteral("Неизвестный тип [x]\r\n переменной \"Name\""));
    msgs_.Expect(MsgKind::Error).Details(QStringLiteral("Неизвестный тип [b]\r\n переменной \"Lower\""));
    {
        TIniFile ini(Path());
        SaveIniSection(ini, "S", table);
    }
    EXPECT_EQ(ReadFileBytes(Path()), QByteArray("[S]\r\nBefore=1\r\nAfter=2\r\n\r\n"));

    // Restoring reports the same letters as unknown, and goes on.
    WriteFileBytes(Path(), "[S]\nBefore=10\nName=5\nLower=0\nAfter=20\n");
    msgs_.Expect(MsgKind::Error)
        .Title("RestIniSection: Неизвестный тип переменной: Name")
        .Details(QStringLiteral("Ошибка при инициализации переменной\r\n[x] \"Name\""));
    msgs_.Expect(MsgKind::Error)
        .Title("RestIniSection: Неизвестный тип переменной: Lower")
        .Details(QStringLiteral("Ошибка при инициализации переменной\r\n[b] \"Lower\""));
    TIniFile ini(Path());
    RestIniSection(ini, "S", table);
    EXPECT_EQ(before, 10);
    EXPECT_TRUE(lower);
    EXPECT_EQ(after, 20);
}

TEST_F(IniPersistTest, BadNumberIsReportedAndTheVariableKept)
{
    // The stored text's bar stays inside the title.
    WriteFileBytes(Path(), "[Cfg]\nRate=abc|d\nRound=4\n");
    msgs_.Expect(MsgKind::Error)
        .Title("RestIniSection: 'abc|d' is not a valid floating point value")
        .Details(QStringLiteral("Ошибка при инициализации переменной\r\n[N] \"Rate\""));
    Settings s;
    TIniFile ini(Path());
    RestIniSection(ini, "Cfg", Table(s));
    EXPECT_EQ(s.rate, 1.5);
    EXPECT_EQ(s.round, 4);
}

TEST_F(IniPersistTest, MismatchedVariableIsReported)
{
    double wrong = 1;
    const VarDesc table[] = {{"Wrong", 'I', &wrong}};
    msgs_.Expect(MsgKind::Error).Details(QStringLiteral("Ошибка при сохранении переменной\r\n[I] \"Wrong\""));
    msgs_.Expect(MsgKind::Error).Title("RestIniSection: Неизвестный тип переменной: Wrong");
    TIniFile ini(Path());
    SaveIniSection(ini, "S", table);
    RestIniSection(ini, "S", table);
    EXPECT_EQ(wrong, 1);
}

TEST_F(IniPersistTest, StringLists)
{
    {
        TIniFile ini(Path());
        ini.WriteString("List", "S7", "stale");
        SaveIniStrings(ini, "List", {"один", "", "три"}, 2);
    }
    EXPECT_EQ(ReadFileBytes(Path()),
        ToCp1251(QStringLiteral("[List]\r\nCount=3\r\nIndex=2\r\nS0=\"один\"\r\nS1=\"\"\r\nS2=\"три\"\r\n\r\n")));
    TIniFile ini(Path());
    QStringList list{"old"};
    int index = -1;
    RestIniStrings(ini, "List", &list, index);
    EXPECT_EQ(list, (QStringList{"один", "", "три"}));
    EXPECT_EQ(index, 2);
    try {
        RestIniStrings(ini, "List", nullptr, index);
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("RestIniStrings"));
    }
    RestIniStrings(ini, "Missing", &list, index);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(index, 0);
}

TEST_F(IniPersistTest, DamagedCountCannotFloodTheList)
{
    WriteFileBytes(Path(), "[List]\nCount=2000000000\nIndex=1\nS0=\"a\"\n");
    TIniFile ini(Path());
    QStringList list;
    int index = 0;
    RestIniStrings(ini, "List", &list, index);
    EXPECT_LE(list.size(), 3);
    EXPECT_EQ(list.value(0), QStringLiteral("a"));
}

TEST_F(IniPersistTest, StringListHasCountLinesAndAnIndexOnIt)
{
    struct Case {
        const char* name;
        const char* section;
        QStringList lines;
        int index;
    };
    const Case cases[] = {
        {"missing lines are empty", "Count=5\nIndex=4\nS0=\"a\"\nS3=\"d\"\n", {"a", "", "", "d", ""}, 4},
        {"no line at all", "Count=3\nIndex=1\n", {"", "", ""}, 1},
        {"index past the end", "Count=2\nIndex=2\nS0=\"a\"\nS1=\"b\"\n", {"a", "b"}, 0},
        {"no index chosen", "Count=1\nIndex=-1\nS0=\"a\"\n", {"a"}, -1},
        {"index below -1", "Count=1\nIndex=-2\nS0=\"a\"\n", {"a"}, 0},
        {"negative count", "Count=-3\nIndex=0\nS0=\"a\"\n", {}, 0},
        {"damaged count", "Count=2000000000\nIndex=1\nS0=\"a\"\nS2=\"c\"\nS03=\"x\"\nS9\n", {"a", "", "c"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(Path(), QByteArray("[List]\n") + c.section);
        TIniFile ini(Path());
        QStringList list{"old"};
        int index = 7;
        RestIniStrings(ini, "List", &list, index);
        EXPECT_EQ(list, c.lines);
        EXPECT_EQ(index, c.index);
    }
}

TEST_F(IniPersistTest, WriteAndReadSingleValues)
{
    TIniFile ini(Path());
    WriteIniValue(ini, "V", "b", Variant(true));
    WriteIniValue(ini, "V", "i", Variant(int16_t(-5)));
    WriteIniValue(ini, "V", "byte", Variant(uint8_t(200)));
    WriteIniValue(ini, "V", "f", Variant(0.25));
    WriteIniValue(ini, "V", "c", Variant(Currency::FromDouble(12.34)));
    WriteIniValue(ini, "V", "d", Variant::FromDate(EncodeDate(2025, 1, 31) + 0.5));
    WriteIniValue(ini, "V", "s", Variant("текст"));
    QStringList lines;
    ini.ReadSectionValues("V", lines);
    EXPECT_EQ(
        lines, (QStringList{"b=1", "i=-5", "byte=200", "f=\"0,25\"", "c=\"12,34\"", "d=20250131", "s=\"текст\""}));
    for (const Variant& bad : {Variant(), Variant::Null()}) {
        try {
            WriteIniValue(ini, "V", "Key", bad);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Неизвестный тип переменной: Key"));
        }
    }

    Variant v;
    ReadIniValue(ini, "V", "i", v, Variant(0), 'i'); // the letter is upper-cased here
    EXPECT_EQ(v.AsInteger(), -5);
    ReadIniValue(ini, "V", "d", v, Variant(0), 'D');
    EXPECT_EQ(v.Type(), VarType::Date);
    EXPECT_EQ(v.AsDate(), EncodeDate(2025, 1, 31));
    ReadIniValue(ini, "V", "missing", v, Variant("def"), 'C');
    EXPECT_EQ(v.AsString(), QStringLiteral("def"));
    ReadIniValue(ini, "V", "c", v, Variant(0), 'N');
    EXPECT_EQ(v.AsDouble(), 12.34);
    EXPECT_THROW(ReadIniValue(ini, "V", "s", v, Variant(0), 'N'), EConvertError);
    try {
        ReadIniValue(ini, "V", "s", v, Variant(0), 'Q');
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Неизвестный тип переменной: s"));
    }
}

TEST_F(IniPersistTest, ProgramIniBesideTheProgram)
{
    EXPECT_EQ(GetExeDir(), folder_.Path());
    EXPECT_EQ(GetExeBaseName(), ProgramName());
    EXPECT_EQ(GetIniFileName(), folder_.Path() + ProgramName() + ".ini");
    EXPECT_EQ(&ProgramIni(), &ProgramIni());

    Settings s;
    s.round = 11;
    SaveConfigurationSection(Table(s));
    WriteProgramIniValue("Errors", "Error", Variant(100));
    ProgramIni().UpdateFileIfIdle();
    const QByteArray bytes = ReadFileBytes(GetIniFileName());
    EXPECT_TRUE(bytes.startsWith("[Configuration]\r\nAutoCalc=1\r\n"));
    EXPECT_TRUE(bytes.endsWith("[Errors]\r\nError=100\r\n\r\n"));

    CloseProgramIni();
    Settings r;
    r.round = 0;
    RestConfigurationSection(Table(r));
    EXPECT_EQ(r.round, 11);
    Variant v;
    ReadProgramIniValue("Errors", "Error", v, Variant(0), 'I');
    EXPECT_EQ(v.AsInteger(), 100);
    QStringList list;
    int index = 5;
    SaveProgramIniStrings("L", {"x", "y"}, 1);
    RestProgramIniStrings("L", &list, index);
    EXPECT_EQ(list, (QStringList{"x", "y"}));
    EXPECT_EQ(index, 1);
}

} // namespace
