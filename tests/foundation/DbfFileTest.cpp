#include "foundation/DbfFile.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "support/OldFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const std::vector<DbfColumn> kColumns
    = {{"FIO", 'C', 12}, {"OKL", 'N', 8, 2}, {"FDELETED", 'L', 1}, {"DBEG", 'D', 8}, {"PROF", 'C', 1}};

class DbfFileTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(DbfFileTest, ReadsFieldsAndLiveRecords)
{
    const QString path = Write("SR.DBF",
        DbfBytes(kColumns,
            {{ToCp866("Иванов И.И."), "1234.50", "T", "19990531", "\xB0"}, {"gone", "1", "F", "", ""},
                {ToCp866("Петров"), "", "?", "", ""}},
            {1}));
    TDbfFile f(path);
    ASSERT_EQ(f.FieldCount(), 5);
    EXPECT_EQ(f.Field(1).Name, "OKL");
    EXPECT_EQ(f.Field(1).Type, 'N');
    EXPECT_EQ(f.Field(1).Length, 8);
    EXPECT_EQ(f.Field(1).Decimals, 2);
    EXPECT_EQ(f.RecordCount(), 3);
    EXPECT_EQ(f.FieldIndex("okl"), 1);
    EXPECT_EQ(f.FieldIndex("NOPE"), -1);

    ASSERT_TRUE(f.Next());
    EXPECT_EQ(f.Text("fio"), QStringLiteral("Иванов И.И."));
    EXPECT_DOUBLE_EQ(f.Number("OKL"), 1234.5);
    EXPECT_TRUE(f.Logical("FDELETED"));
    EXPECT_EQ(f.Date("DBEG"), EncodeDate(1999, 5, 31));
    // The raw byte, not the decoded character.
    EXPECT_EQ(f.FirstByte("PROF"), 0xB0);

    // The deleted second row is skipped.
    ASSERT_TRUE(f.Next());
    EXPECT_EQ(f.RecNo(), 2);
    EXPECT_EQ(f.Text("FIO"), QStringLiteral("Петров"));
    EXPECT_TRUE(f.IsNull("OKL"));
    EXPECT_EQ(f.Number("OKL"), 0);
    EXPECT_TRUE(f.IsNull("FDELETED"));
    EXPECT_FALSE(f.Logical("FDELETED"));
    EXPECT_EQ(f.Date("DBEG"), NoDate);
    EXPECT_EQ(f.FirstByte("PROF"), 0);
    EXPECT_FALSE(f.Next());
    EXPECT_THROW(f.Text("FIO"), EAppException);
}

TEST_F(DbfFileTest, ClipperLongTextField)
{
    // shapelib writes at most 255 characters a field, so two adjacent
    // fields are made one of 300, as Clipper keeps it: the high byte of
    // the length in the decimals byte.
    const QByteArray text = QByteArray(255, 'x') + QByteArray(45, 'y');
    QByteArray bytes
        = DbfBytes({{"NLTNAL", 'C', 255}, {"REST", 'C', 45}, {"KODD", 'N', 3}}, {{text.left(255), text.mid(255), "7"}});
    bytes[32 + 16] = char(300 & 0xFF);
    bytes[32 + 17] = char(300 >> 8);
    bytes.remove(64, 32);
    const int headerLength = (uchar(bytes[8]) | uchar(bytes[9]) << 8) - 32;
    bytes[8] = char(headerLength & 0xFF);
    bytes[9] = char(headerLength >> 8);
    const QString path = Write("LONG.DBF", bytes);
    TDbfFile f(path);
    ASSERT_TRUE(f.Next());
    EXPECT_EQ(f.Field(0).Length, 300);
    EXPECT_EQ(f.Raw("NLTNAL"), text);
    EXPECT_EQ(f.Integer("KODD"), 7);
}

TEST_F(DbfFileTest, DamagedFilesGiveAClearError)
{
    const QByteArray good = DbfBytes(kColumns, {{"a", "1", "T", "20000101", ""}, {"b", "2", "F", "", ""}});
    QByteArray manyRecords = good;
    manyRecords[4] = 50;
    QByteArray fewRecords = good;
    fewRecords[4] = 1;
    QByteArray longRecords = good;
    longRecords[10] = char(200);
    QByteArray shortRecords = good;
    shortRecords[10] = 5;
    QByteArray badNumber = good;
    badNumber.replace(QByteArray("    1.00"), QByteArray("   1x.00"));
    QByteArray infinite = good;
    infinite.replace(QByteArray("    1.00"), QByteArray("     inf"));
    QByteArray badDate = good;
    badDate.replace(QByteArray("20000101"), QByteArray("20001399"));
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* detail;
    };
    const Case cases[] = {
        {"truncated", good.left(good.size() - 30), "файл короче"},
        {"header only", good.left(20), "заголовок"},
        {"record count lies", manyRecords, "файл короче, чем указано в заголовке: в заголовке 50 записей, а в файле 2"},
        {"fewer records counted than held", fewRecords, ": в заголовке 1 записей, а в файле 2 (записи по 31 байт)"},
        {"record length lies", longRecords, "файл короче"},
        {"fields do not fit", shortRecords, "заголов"},
        {"bad number", badNumber, "не число"},
        {"no finite number", infinite, "не число"},
        {"bad date", badDate, "не дата"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Write("BAD.DBF", c.bytes);
        try {
            TDbfFile f(path);
            while (f.Next()) {
                f.Number("OKL");
                f.Date("DBEG");
            }
            ADD_FAILURE() << "no error";
        } catch (const EAppException& e) {
            EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Поврежден файл BAD.DBF: ")))
                << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.detail))) << e.Message().toStdString();
        }
    }
}

TEST_F(DbfFileTest, AMemoFieldIsReportedNotRead)
{
    TDbfFile f(Write("MEMO.DBF", DbfBytes({{"NAZV", 'M', 10}, {"KODD", 'N', 3}}, {{"0000000012", "7"}})));
    ASSERT_TRUE(f.Next());
    EXPECT_EQ(f.Integer("KODD"), 7);
    try {
        f.Text("NAZV");
        ADD_FAILURE() << "a memo read";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("В файле MEMO.DBF поле NAZV типа M не читается"));
    }
}

TEST_F(DbfFileTest, FilesAreFoundInAnyLetterCase)
{
    for (const char* n : {"nc202401.dbf", "NC202312.DBF", "Nc9905.Dbf", "sr.dbf", "other.txt"})
        Write(n, "");
    EXPECT_EQ(QFileInfo(FindFileNoCase(dir.path(), "SR.DBF")).fileName(), "sr.dbf");
    EXPECT_EQ(FindFileNoCase(dir.path(), "SPP.DBF"), QString());
    QStringList names;
    for (const QString& p : FindFilesNoCase(dir.path(), "NC*.DBF"))
        names << QFileInfo(p).fileName();
    EXPECT_EQ(names, QStringList({"NC202312.DBF", "nc202401.dbf", "Nc9905.Dbf"}));
}
