#include "foundation/IniFiles.h"
#include "foundation/FileFuncs.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QByteArray Cp(const QString& s) { return ToCp1251(s); }

// What Windows' Notepad saves as "Unicode".
QByteArray Utf16Le(const QString& s)
{
    QByteArray b("\xFF\xFE", 2);
    b.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    return b;
}

class IniFilesTest : public ::testing::Test {
protected:
    QString File(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    QTemporaryDir dir_;
    ScriptedMessages msgs_; // an INI file never shows a message unless a test expects one
};

TEST_F(IniFilesTest, GoldenFileBytes)
{
    const QString path = File("golden.ini");
    {
        TIniFile ini(path);
        ini.WriteString("Main", "Name", "Зарплата");
        ini.WriteQuoted("Main", "Title", " с пробелами ");
        ini.WriteInteger("Main", "Count", -12);
        ini.WriteBool("Main", "On", true);
        ini.WriteDate("Dates", "Start", EncodeDate(2024, 3, 5));
        ini.WriteDateTime("Dates", "Stamp", EncodeDate(2024, 3, 5) + EncodeTime(13, 5, 9, 0));
        ini.WriteFloat("Dates", "Rate", 1.5);
        ini.WriteFloat("Dates", "Big", 1e20);
        ini.WriteFloat("Dates", "Small", 1e-5);
        ini.WriteString("MAIN", "name", "Оклад"); // replaces the line, keeps its place and spelling of the name
        EXPECT_FALSE(QFile::exists(path)); // nothing reaches the disk before the flush
    }
    const QByteArray expected = Cp(QStringLiteral("[Main]\r\n"
                                                  "name=Оклад\r\n"
                                                  "Title=\" с пробелами \"\r\n"
                                                  "Count=-12\r\n"
                                                  "On=1\r\n"
                                                  "\r\n"
                                                  "[Dates]\r\n"
                                                  "Start=20240305\r\n"
                                                  "Stamp=20240305 13:05:09\r\n"
                                                  "Rate=1,5\r\n"
                                                  "Big=1E20\r\n"
                                                  "Small=1E-5\r\n"
                                                  "\r\n"));
    EXPECT_EQ(ReadFileBytes(path), expected);

    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("main", "NAME", ""), QStringLiteral("Оклад"));
    EXPECT_EQ(ini.ReadQuoted("Main", "Title", ""), QStringLiteral(" с пробелами "));
    EXPECT_EQ(ini.ReadInteger("Main", "Count", 0), -12);
    EXPECT_TRUE(ini.ReadBool("Main", "On", false));
    EXPECT_EQ(ini.ReadDate("Dates", "Start", 0), EncodeDate(2024, 3, 5));
    EXPECT_NEAR(ini.ReadDateTime("Dates", "Stamp", 0), EncodeDate(2024, 3, 5) + EncodeTime(13, 5, 9, 0), 1e-9);
    EXPECT_EQ(ini.ReadFloat("Dates", "Rate", 0), 1.5);
    EXPECT_EQ(ini.ReadFloat("Dates", "Big", 0), 1e20);
    EXPECT_EQ(ini.ReadFloat("Dates", "Small", 0), 1e-5);
}

TEST_F(IniFilesTest, ReadingRulesAndSaveBackWithoutComments)
{
    const QString path = File("old.ini");
    // LF and CRLF mixed, a preamble, comments, blank lines, a duplicate section.
    WriteFileBytes(path,
        Cp(QStringLiteral("preamble=1\n"
                          "; comment\r\n"
                          "[A]\n"
                          "\n"
                          "k = v \n"
                          "Key=Значение=с равенством\r\n"
                          "no equal sign\n"
                          "[ B ]\n"
                          "x=1\n"
                          "[a]\n"
                          "Key=second\n")));
    {
        TIniFile ini(path);
        QStringList sections;
        ini.ReadSections(sections);
        EXPECT_EQ(sections, (QStringList{"A", " B ", "a"}));
        EXPECT_EQ(ini.ReadString("a", "KEY", "-"), QStringLiteral("Значение=с равенством")); // the first "a"
        EXPECT_EQ(ini.ReadString("A", "k ", "-"), QStringLiteral(" v ")); // no trimming around "="
        EXPECT_EQ(ini.ReadString("A", "k", "-"), QStringLiteral("-"));
        EXPECT_EQ(ini.ReadString(" B ", "x", "-"), QStringLiteral("1"));
        EXPECT_EQ(ini.ReadString("B", "x", "-"), QStringLiteral("-"));
        EXPECT_EQ(ini.ReadString("", "preamble", "-"), QStringLiteral("-"));
        QStringList names, values;
        ini.ReadSection("A", names);
        EXPECT_EQ(names, (QStringList{"k ", "Key"}));
        ini.ReadSectionValues("A", values);
        EXPECT_EQ(values, (QStringList{"k = v ", "Key=Значение=с равенством", "no equal sign"}));
        ini.WriteString(" B ", "x", "2");
    }
    EXPECT_EQ(ReadFileBytes(path),
        Cp(QStringLiteral("[A]\r\nk = v \r\nKey=Значение=с равенством\r\nno equal sign\r\n\r\n"
                          "[ B ]\r\nx=2\r\n\r\n"
                          "[a]\r\nKey=second\r\n\r\n")));
}

TEST_F(IniFilesTest, ReaderNeverRewritesTheFile)
{
    const QString path = File("template.dcf");
    const QByteArray bytes = Cp(QStringLiteral("; шаблон\n[Doc]\nName=Справка\n"));
    WriteFileBytes(path, bytes);
    const QFileInfo before(path);
    {
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("Doc", "Name", ""), QStringLiteral("Справка"));
        ini.WriteString("Doc", "Name", "Справка"); // the same value is no change
        EXPECT_FALSE(ini.Modified());
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_EQ(QFileInfo(path).lastModified(), before.lastModified());
}

struct ValueCase {
    const char* name;
    const char* stored;
    int integer; // ReadInteger with default -99
    int boolean; // ReadBool: 0 false, 1 true, -1 the default
};

class IniIntegerTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(IniIntegerTest, ReadsIntegersAndBools)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/v.ini";
    WriteFileBytes(path, Cp(QStringLiteral("[S]\nv=") + QString::fromUtf8(GetParam().stored) + "\n"));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "v", -99), GetParam().integer);
    const int b = GetParam().boolean;
    EXPECT_EQ(ini.ReadBool("S", "v", false), b == -1 ? false : b == 1);
    EXPECT_EQ(ini.ReadBool("S", "v", true), b == -1 ? true : b == 1);
}

INSTANTIATE_TEST_SUITE_P(Values, IniIntegerTest,
    ::testing::Values(ValueCase{"Decimal", "42", 42, 1}, ValueCase{"Negative", "-7", -7, 1},
        ValueCase{"Zero", "0", 0, 0}, ValueCase{"HexLower", "0x1F", 31, 1}, ValueCase{"HexUpperX", "0X10", 16, 1},
        ValueCase{"HexPrefixOnly", "0x", -99, -1}, ValueCase{"HexBadDigit", "0x1G", -99, -1},
        ValueCase{"HexWrapsTo32Bits", "0xFFFFFFFF", -1, 1}, ValueCase{"HexTooLong", "0x100000000", -99, -1},
        ValueCase{"TrailingJunk", "12ab", -99, -1}, ValueCase{"Quoted", "\"7\"", 7, 1}, ValueCase{"Empty", "", -99, -1},
        ValueCase{"TrueText", "true", -99, -1}, ValueCase{"Overflow", "2147483648", -99, -1},
        ValueCase{"DollarIsNoHex", "$10", -99, -1}, ValueCase{"SignedHex", "-0x10", -99, -1},
        ValueCase{"SignedDollar", "-$1F", -99, -1}, ValueCase{"BlankBeforeHex", " 0x10", -99, -1},
        ValueCase{"PlusSign", "+5", 5, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFilesTest, DatesFloatsAndTimes)
{
    const QString path = File("d.ini");
    WriteFileBytes(path,
        Cp(QStringLiteral("[S]\n"
                          "d8=20240305\n"
                          "d7=2024030\n"
                          "dBad=20240230\n"
                          "dq=\"20240101\"\n"
                          "dt=20240305 08:30:00\n"
                          "dtDateOnly=20240305\n"
                          "dtBadTime=20240305 25:00:00\n"
                          "dtBlankOnly=20240305 \n"
                          "dtOtherSeparator=20240305T08:30:00\n"
                          "fComma=1,5\n"
                          "fPoint=-2.25\n"
                          "fExp=1E-5\n"
                          "fBad=abc\n"
                          "t=7:05:30\n"
                          "tBad=7-05\n")));
    TIniFile ini(path);
    const TDateTime def = 12345;
    EXPECT_EQ(ini.ReadDate("S", "d8", def), EncodeDate(2024, 3, 5));
    EXPECT_EQ(ini.ReadDate("S", "d7", def), def);
    EXPECT_EQ(ini.ReadDate("S", "dBad", def), def);
    EXPECT_EQ(ini.ReadDate("S", "dq", def), EncodeDate(2024, 1, 1));
    EXPECT_EQ(ini.ReadDate("S", "missing", def), def);
    EXPECT_NEAR(ini.ReadDateTime("S", "dt", def), EncodeDate(2024, 3, 5) + EncodeTime(8, 30, 0, 0), 1e-9);
    EXPECT_EQ(ini.ReadDateTime("S", "dtDateOnly", def), def);
    EXPECT_EQ(ini.ReadDateTime("S", "dtBadTime", def), def);
    EXPECT_EQ(ini.ReadDateTime("S", "dtBlankOnly", def), def);
    EXPECT_NEAR(ini.ReadDateTime("S", "dtOtherSeparator", def), EncodeDate(2024, 3, 5) + EncodeTime(8, 30, 0, 0), 1e-9)
        << "the 9th character is not looked at";
    EXPECT_EQ(ini.ReadFloat("S", "fComma", 0), 1.5);
    EXPECT_EQ(ini.ReadFloat("S", "fPoint", 0), -2.25);
    EXPECT_EQ(ini.ReadFloat("S", "fExp", 0), 1e-5);
    EXPECT_EQ(ini.ReadFloat("S", "fBad", 9.5), 9.5);
    EXPECT_NEAR(ini.ReadTime("S", "t", 0), EncodeTime(7, 5, 30, 0), 1e-9);
    EXPECT_EQ(ini.ReadTime("S", "tBad", 0.25), 0.25);
}

TEST_F(IniFilesTest, ReadQuotedRules)
{
    const QString path = File("q.ini");
    WriteFileBytes(path, "[S]\nabc=\"abc\"\none=\"\nsame=\"x\"\nopen=\"abc\nempty=\"\"\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadQuoted("S", "abc", ""), QStringLiteral("abc"));
    EXPECT_EQ(ini.ReadQuoted("S", "one", ""), QStringLiteral("\""));
    EXPECT_EQ(ini.ReadQuoted("S", "same", "\"x\""), QStringLiteral("\"x\"")); // equal to the default: unchanged
    EXPECT_EQ(ini.ReadQuoted("S", "open", ""), QStringLiteral("\"abc"));
    EXPECT_EQ(ini.ReadQuoted("S", "empty", "d"), QString());
    ini.QuoteBegin = QLatin1Char('<');
    ini.QuoteEnd = QLatin1Char('>');
    ini.WriteQuoted("S", "angle", "v");
    EXPECT_EQ(ini.ReadString("S", "angle", ""), QStringLiteral("<v>"));
    EXPECT_EQ(ini.ReadQuoted("S", "angle", ""), QStringLiteral("v"));
}

TEST_F(IniFilesTest, RelativeAndAbsoluteNamesShareOneImage)
{
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    {
        TIniFile rel("a.ini");
        TIniFile abs(File("a.ini"));
        TIniFile sub(dir_.path() + "/x/../a.ini");
        rel.WriteString("S", "k", "1");
        EXPECT_EQ(abs.ReadString("S", "k", ""), QStringLiteral("1"));
        EXPECT_EQ(sub.ReadString("S", "k", ""), QStringLiteral("1"));
        EXPECT_EQ(rel.FileName(), abs.FileName());
        // File names are case-sensitive here: a second file, a second image.
        TIniFile upper(File("A.INI"));
        EXPECT_EQ(upper.ReadString("S", "k", "-"), QStringLiteral("-"));
    }
    QDir::setCurrent(saved);
    EXPECT_EQ(ReadFileBytes(File("a.ini")), QByteArray("[S]\r\nk=1\r\n\r\n"));
    EXPECT_FALSE(QFile::exists(File("A.INI")));
}

TEST_F(IniFilesTest, ImageLivesWhileAnyUserLives)
{
    const QString path = File("life.ini");
    auto first = std::make_unique<TIniFile>(path);
    first->AutoUpdate = false;
    first->WriteString("S", "k", "1");
    auto second = std::make_unique<TIniFile>(path);
    first.reset(); // no flush: its auto-update is off
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(second->ReadString("S", "k", ""), QStringLiteral("1"));
    second.reset(); // the last user writes the shared image
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[S]\r\nk=1\r\n\r\n"));
    TIniFile third(path);
    EXPECT_EQ(third.ReadString("S", "k", ""), QStringLiteral("1"));
}

TEST_F(IniFilesTest, OutsideChangeSeenAtMostEvery100Ms)
{
    ScopedFakeClock clock;
    const QString path = File("shared.ini");
    WriteFileBytes(path, "[S]\nk=old\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("old"));
    clock.clock.Advance(100);
    EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("old")); // looks at the file, unchanged
    // Another copy of the program saves (a different size, so that a coarse
    // file time cannot hide the change).
    WriteFileBytes(path, "[S]\nk=newer\n");
    clock.clock.Advance(99);
    EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("old")); // within 100 ms of the last look
    clock.clock.Advance(50);
    // A write never looks at the file.
    ini.WriteString("S", "w", "1");
    QStringList lines;
    ini.ReadSectionValues("S", lines);
    EXPECT_EQ(lines, (QStringList{"k=old", "w=1"}));
    clock.clock.Advance(100);
    EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("newer"));
    // The unsaved write was put back over the other copy's save.
    EXPECT_EQ(ini.ReadString("S", "w", ""), QStringLiteral("1"));
}

TEST_F(IniFilesTest, FlushMergesAnotherCopysSave)
{
    ScopedFakeClock clock;
    const QString path = File("merge.ini");
    WriteFileBytes(path, "[S]\na=1\nb=1\n[Gone]\nx=1\n");
    {
        TIniFile ini(path);
        ini.WriteString("S", "a", "mine");
        ini.DeleteKey("S", "b");
        ini.EraseSection("Gone");
        // Another copy saves within the 100 ms window; the flush must not put
        // the stale image over it.
        WriteFileBytes(path, "[S]\na=1\nb=1\nc=theirs\n[Gone]\nx=1\n[Other]\ny=2\n");
        ini.UpdateFile();
        EXPECT_FALSE(ini.Modified());
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[S]\r\na=mine\r\nc=theirs\r\n\r\n[Other]\r\ny=2\r\n\r\n"));
}

TEST_F(IniFilesTest, CacheOfAnotherObjectNeverDangles)
{
    ScopedFakeClock clock;
    const QString path = File("cache.ini");
    WriteFileBytes(path, "[One]\nk=1\n[Two]\nk=2\n");
    TIniFile a(path);
    TIniFile b(path);
    EXPECT_EQ(a.ReadString("Two", "k", ""), QStringLiteral("2")); // a caches "Two"
    b.EraseSection("One"); // indexes move
    EXPECT_EQ(a.ReadString("Two", "k", ""), QStringLiteral("2"));
    b.EraseSection("Two");
    EXPECT_EQ(a.ReadString("Two", "k", "gone"), QStringLiteral("gone"));
    a.WriteString("Two", "k", "3"); // recreated at the end
    EXPECT_EQ(b.ReadString("Two", "k", ""), QStringLiteral("3"));
    // A reload by one user invalidates the other's cache too.
    EXPECT_EQ(a.ReadString("Two", "k", ""), QStringLiteral("3"));
    b.UpdateFile();
    WriteFileBytes(path, "[Zero]\nz=0\n[Two]\nk=44\n");
    clock.clock.Advance(1000);
    EXPECT_EQ(b.ReadString("Zero", "z", ""), QStringLiteral("0"));
    EXPECT_EQ(a.ReadString("Two", "k", ""), QStringLiteral("44"));
}

TEST_F(IniFilesTest, VanishedFileKeepsTheImage)
{
    ScopedFakeClock clock;
    const QString path = File("vanish.ini");
    WriteFileBytes(path, "[S]\nk=1\n");
    {
        TIniFile ini(path);
        ini.WriteString("S", "unsaved", "2");
        ASSERT_TRUE(QFile::remove(path));
        clock.clock.Advance(500);
        EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("1"));
        EXPECT_EQ(ini.ReadString("S", "unsaved", ""), QStringLiteral("2"));
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[S]\r\nk=1\r\nunsaved=2\r\n\r\n"));
}

TEST_F(IniFilesTest, FileThatAppearsLaterIsRead)
{
    ScopedFakeClock clock;
    const QString path = File("later.ini");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", "-"), QStringLiteral("-"));
    WriteFileBytes(path, "[S]\nk=1\n");
    clock.clock.Advance(100);
    EXPECT_EQ(ini.ReadString("S", "k", "-"), QStringLiteral("1"));
}

TEST_F(IniFilesTest, BeginEndUpdateWritesOnce)
{
    const QString path = File("upd.ini");
    TIniFile ini(path);
    ini.BeginUpdate();
    ini.BeginUpdate();
    ini.WriteInteger("S", "a", 1);
    ini.UpdateFileIfIdle(); // an update is open
    ini.EndUpdate();
    ini.WriteInteger("S", "b", 2);
    EXPECT_FALSE(QFile::exists(path));
    ini.EndUpdate();
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[S]\r\na=1\r\nb=2\r\n\r\n"));
    EXPECT_EQ(ini.UpdateCount(), 0);
    ini.WriteInteger("S", "c", 3);
    ini.EndUpdate(); // without BeginUpdate: writes and stays at 0
    EXPECT_EQ(ini.UpdateCount(), 0);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[S]\r\na=1\r\nb=2\r\nc=3\r\n\r\n"));
}

TEST_F(IniFilesTest, LineBreaksInValuesCannotSplitTheLine)
{
    const QString path = File("br.ini");
    {
        TIniFile ini(path);
        ini.WriteString("S", "k", "a\r\nb\nc");
        ini.WriteString("S", "x", "[Fake]");
    }
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("a b c"));
    QStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, QStringList{"S"});
}

TEST_F(IniFilesTest, EraseAndDeleteKey)
{
    const QString path = File("erase.ini");
    WriteFileBytes(path, "[A]\nx=1\ny=2\n[B]\nz=3\n");
    {
        TIniFile ini(path);
        ini.DeleteKey("a", "X");
        ini.DeleteKey("A", "missing");
        ini.EraseSection("b");
        ini.EraseSection("missing");
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[A]\r\ny=2\r\n\r\n"));
}

TEST_F(IniFilesTest, SaveFailures)
{
    const QString path = File("no/such/folder/x.ini");
    {
        TIniFile ini(path);
        ini.WriteString("S", "k", "v");
        EXPECT_THROW(ini.UpdateFile(), EFCreateError);
        // The destructor reports instead of throwing.
        msgs_.Expect(MsgKind::Error).Containing(path);
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(IniFilesTest, FullDiskNamesTheFileAndIsToldOnce)
{
    const QString path = File("data.ini");
    WriteFileBytes(path, "[S]\r\nk=old\r\n\r\n");
    {
        ScopedFullDisk full;
        TIniFile ini(path);
        ini.WriteString("S", "k", "new");
        try {
            ini.UpdateFile();
            ADD_FAILURE() << "no EDiskFull";
        } catch (const EDiskFull& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Недостаточно места на диске, файл не записан:\r\n") + path);
        }
        // The closing attempt fails the same way: the caller was told already.
    }
    EXPECT_EQ(msgs_.Log().size(), 0);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[S]\r\nk=old\r\n\r\n"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"data.ini"}));
    {
        // A full disk met first at closing is reported there.
        ScopedFullDisk full;
        TIniFile ini(path);
        ini.WriteString("S", "k", "new");
        msgs_.Expect(MsgKind::Error).Containing(path);
    }
}

struct IniTextCase {
    const char* name;
    QByteArray bytes;
    const char* value; // of [S] k, UTF-8
    QByteArray saved; // the file after k2=Ё was added
};

class IniTextTest : public IniFilesTest, public ::testing::WithParamInterface<IniTextCase> {};

TEST_P(IniTextTest, DecodedAsUtf8OnlyWhenItIsUtf8AndSavedBackTheSameWay)
{
    const IniTextCase& c = GetParam();
    const QString path = File("t.ini");
    WriteFileBytes(path, c.bytes);
    {
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("S", "k", "-"), QString::fromUtf8(c.value));
        ini.WriteString("S", "k2", QStringLiteral("Ё"));
    }
    EXPECT_EQ(ReadFileBytes(path), c.saved);
}

INSTANTIATE_TEST_SUITE_P(Encodings, IniTextTest,
    ::testing::Values(IniTextCase{"cp1251", Cp("[S]\r\nk=Папка\r\n"), "Папка", Cp("[S]\r\nk=Папка\r\nk2=Ё\r\n\r\n")},
        IniTextCase{"utf8", QStringLiteral("[S]\nk=/home/Данные\n").toUtf8(), "/home/Данные",
            QStringLiteral("[S]\r\nk=/home/Данные\r\nk2=Ё\r\n\r\n").toUtf8()},
        IniTextCase{"utf8bom", QByteArray("\xEF\xBB\xBF[S]\nk=a\n"), "a",
            QByteArray("\xEF\xBB\xBF[S]\r\nk=a\r\nk2=\xD0\x81\r\n\r\n")},
        // A UTF-8 mark before CP1251 text: the text is kept, the false mark goes.
        IniTextCase{
            "falsemark", "\xEF\xBB\xBF" + Cp("[S]\r\nk=Папка\r\n"), "Папка", Cp("[S]\r\nk=Папка\r\nk2=Ё\r\n\r\n")},
        // One stray byte makes it CP1251 again: "Р" then the invalid 0xFF.
        IniTextCase{"notutf8", QByteArray("[S]\nk=\xD0\xFF\n"), "Ря", Cp("[S]\r\nk=Ря\r\nk2=Ё\r\n\r\n")},
        IniTextCase{"ascii", QByteArray("[S]\nk=abc\n"), "abc", Cp("[S]\r\nk=abc\r\nk2=Ё\r\n\r\n")}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes that are no text cannot be read; their file is copied aside before
// the first save writes over it, and that is said once.
class IniNotTextTest : public IniFilesTest, public ::testing::WithParamInterface<QByteArray> {};

TEST_P(IniNotTextTest, CopiedToBakBeforeItIsRewritten)
{
    const QString path = File("qor.ini");
    const QByteArray bytes = GetParam();
    WriteFileBytes(path, bytes);
    {
        TIniFile ini(path);
        QStringList sections;
        ini.ReadSections(sections);
        EXPECT_TRUE(sections.isEmpty());
        ini.WriteString("Qor", "PATH", "/data");
        msgs_.Expect(MsgKind::Warning)
            .Title(QStringLiteral("Файл настроек не читается как текст"))
            .Details(path + QStringLiteral("\r\nЕго прежнее содержимое сохранено в файле ") + path
                + QStringLiteral(".bak, файл будет записан заново"));
        ini.UpdateFile();
        ini.WriteString("Qor", "DRIVER", "STANDARD");
        ini.UpdateFile(); // once: the file is text now
    }
    EXPECT_EQ(ReadFileBytes(path + QStringLiteral(".bak")), bytes);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("[Qor]\r\nPATH=/data\r\nDRIVER=STANDARD\r\n\r\n"));
    // A readable file is never copied.
    QFile::remove(path + QStringLiteral(".bak"));
    {
        TIniFile ini(path);
        ini.WriteString("Qor", "PATH", "/other");
    }
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bak")));
}

INSTANTIATE_TEST_SUITE_P(Corrupt, IniNotTextTest,
    ::testing::Values(Utf16Le(QStringLiteral("[Qor]\r\nPATH=/Данные\r\n")), QByteArray("[Qor]\r\nPATH=/x\0y\r\n", 18),
        QByteArray("\xFE\xFF\x00[\x00Q", 6), QByteArray("\0", 1),
        // A UTF-8 mark before a NUL: still no text (it would be saved as none).
        QByteArray("\xEF\xBB\xBF[Qor]\r\nPATH=/x\0y\r\n", 21)));

TEST_F(IniFilesTest, UnreadableFileRaisesAtOpen)
{
    // A folder in place of the file cannot be read, not even by root.
    const QString path = File("locked.ini");
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_THROW(TIniFile ini(path), EFOpenError);
    ASSERT_TRUE(QDir().rmdir(path));
    WriteFileBytes(path, "[S]\nk=1\n");
    TIniFile ini(path); // the failed open left no half-made image behind
    EXPECT_EQ(ini.ReadString("S", "k", ""), QStringLiteral("1"));
}

TEST_F(IniFilesTest, EmptyNameLivesInMemoryOnly)
{
    TMemIniFile a("");
    TMemIniFile b("");
    a.WriteString("S", "k", "1");
    EXPECT_EQ(a.ReadString("S", "k", ""), QStringLiteral("1"));
    EXPECT_EQ(b.ReadString("S", "k", "-"), QStringLiteral("-"));
    a.UpdateFile();
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());
}

} // namespace
