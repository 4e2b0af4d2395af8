// Calculation tables of accruals: their stored bytes, damaged streams,
// the table in force on a date, type numbers, and saving a type's tables.

#include "calc/RTabl.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "foundation/Stream.h"
#include "platform/Exceptions.h"
#include "support/CalcBuilders.h"
#include "support/Checks.h"

#include <gtest/gtest.h>

namespace {

// ByYear, Sum 1234,5678, SumMinZp 100,25, rate 2,5, KMinZp 3, Metod 2, the
// year 2024; lines {0, 0, 10} and {1000, 100, 20}.
const char kTableHex[]
    = "0001ff02adfa5c6d454a934003000000000010594004000000000000044005030000000602000000070000000080"
      "1de6400800000000204be6400002000000000100000000000000000200000000000000000300000000000024400000"
      "010000000000408f4002000000000000594003000000000000344000";

void FillGolden(T_RtTable& t)
{
    t.ByYear = true;
    t.Sum = Currency::FromRaw(12345678);
    t.SumMinZp = Currency::FromDouble(100.25);
    t.CursValut = 2.5;
    t.KMinZp = 3;
    t.Metod = 2;
    t.YearBeg = EncodeDate(2024, 1, 1);
    t.YearEnd = EncodeDate(2024, 12, 31);
    T_RtLine* l = t.AddLine();
    l->Proc = 10;
    l = t.AddLine();
    l->Lower = 1000;
    l->Sum = 100;
    l->Proc = 20;
}

void ReadTable(T_RtTable& t, const QByteArray& hex)
{
    TMemoryStream s(QByteArray::fromHex(hex));
    t.LoadData(s);
}

void ExpectSame(const T_RtTable& a, const T_RtTable& b) { EXPECT_EQ(a.SaveToBytes().toHex(), b.SaveToBytes().toHex()); }

TEST(RtStream, TypeBytes)
{
    T_RtTip tip;
    tip.Naim = QStringLiteral("abc");
    TMemoryStream s;
    tip.SaveStream(s);
    EXPECT_EQ(s.Bytes().toHex(), "0001060361626300");

    T_RtTip back;
    TMemoryStream cyr(QByteArray::fromHex("000106024cff00"));
    back.LoadStream(cyr);
    EXPECT_EQ(back.Naim, QStringLiteral("Lя")) << "CP1251 inside the stream";
    EXPECT_FALSE(back.Unreadable);
}

TEST(RtStream, TableBytesAndBack)
{
    T_RtTable golden;
    FillGolden(golden);
    EXPECT_EQ(golden.SaveToBytes().toHex(), QByteArray(kTableHex));

    T_RtTable back;
    ReadTable(back, kTableHex);
    ExpectSame(back, golden);
    EXPECT_TRUE(back.ByYear);
    EXPECT_EQ(back.Sum, Currency::FromRaw(12345678));
    ASSERT_EQ(back.Count(), 2);
    EXPECT_DOUBLE_EQ(back[1]->Lower, 1000);
}

TEST(RtStream, TagsInAnyOrderMoneyToFourDecimals)
{
    // Tags 8..1 with Sum 1,23456; a line with its tags 3, 1, 2.
    T_RtTable t;
    ReadTable(t,
        "00"
        "0800000000204be640"
        "070000000080"
        "1de640"
        "0602000000"
        "0503000000"
        "040000000000000440"
        "030000000000105940"
        "02"
        "38328ffcc1c0f33f" // 1.23456
        "01ff"
        "00"
        "01000000"
        "00"
        "030000000000002440"
        "010000000000408f40"
        "020000000000005940"
        "00");
    EXPECT_EQ(t.Sum, Currency::FromRaw(12346));
    t.Sum = Currency::FromRaw(12345678);
    T_RtTable golden;
    FillGolden(golden);
    golden.DeleteObject(0);
    golden[0]->Proc = 10;
    ExpectSame(t, golden);

    // No properties: the defaults.
    T_RtTable empty;
    FillGolden(empty);
    ReadTable(empty, "000000000000");
    ExpectSame(empty, T_RtTable());
}

TEST(RtStream, OtherVersionReadsEmptyAndUnreadable)
{
    T_RtTable t;
    FillGolden(t);
    ReadTable(t, "01ffffff");
    EXPECT_TRUE(t.Unreadable);
    ExpectSame(t, T_RtTable());

    T_RtTip tip;
    tip.Naim = QStringLiteral("x");
    TMemoryStream s(QByteArray::fromHex("020106"));
    tip.LoadStream(s);
    EXPECT_TRUE(tip.Unreadable);
    EXPECT_EQ(tip.Naim, QString());
}

struct BadStream {
    const char* name;
    const char* hex;
    bool type; // a type stream, else a table stream
    const char* message;
};

TEST(RtStream, DamagedStreamsRaiseTheirTexts)
{
    const BadStream rows[] = {
        {"unknown table tag", "0009", false, "T_RtTable.Load: Неизвестный тип свойства"},
        {"line version",
            "000001000000"
            "0100",
            false, "T_RtLine.LoadData: Ошибка версии"},
        {"unknown line tag",
            "000001000000"
            "0004",
            false, "T_RtLine.LoadData: Неизвестный тип свойства"},
        {"unknown type tag", "0002", true, "T_RtTip.LoadData: Неизвестный тип свойства"},
        {"line count beyond the bytes",
            "00"
            "00"
            "ffffff7f"
            "0000",
            false, "Stream read error"},
        {"negative line count",
            "00"
            "00"
            "ffffffff",
            false, "Stream read error"},
        {"name longer than the stream",
            "0001"
            "06"
            "09"
            "6162",
            true, "Stream read error"},
        {"empty", "", false, "Stream read error"},
    };
    for (const BadStream& r : rows) {
        SCOPED_TRACE(r.name);
        const auto read = [&] {
            TMemoryStream s(QByteArray::fromHex(r.hex));
            if (r.type) {
                T_RtTip tip;
                tip.LoadStream(s);
            } else {
                T_RtTable t;
                t.LoadData(s);
            }
        };
        EXPECT_EQ(MessageOf<Exception>(read), QString::fromUtf8(r.message));
    }
}

TEST(RtStream, EveryTruncationIsAReadError)
{
    const QByteArray whole = QByteArray::fromHex(kTableHex);
    for (int n = 0; n < whole.size(); ++n) {
        TMemoryStream s(whole.left(n));
        T_RtTable t;
        EXPECT_EQ(MessageOf<EReadError>([&] { t.LoadData(s); }), QStringLiteral("Stream read error")) << n;
    }
}

// ---------------------------------------------------------------- stored

class RtStoreTest : public CalcTest {
protected:
    static constexpr qint32 kVid = 250;

    static QList<TBinObject> Rows(int subTip)
    {
        QList<TBinObject> rows;
        Cursor bin(QStringLiteral("Bin"));
        bin.SetIndexName(BinIndexName());
        bin.Open();
        for (bin.First(); !bin.Eof(); bin.Next()) {
            const TBinObject o = BinCurrent(bin);
            if (o.Key.Class == binCalcTables && o.Key.SubTip == subTip)
                rows << o;
        }
        return rows;
    }

    // Type 1 "Основная" with tables from 2023, 2024 and 2025, Metod = year.
    static void SaveThreeTables(T_RtList& list)
    {
        list.Vid = kVid;
        T_RtTip* tip = list.AddTip();
        tip->Naim = QStringLiteral("Основная");
        for (int year : {2024, 2023, 2025}) {
            T_RtTable* t = tip->AddTable();
            t->SetDate(EncodeDate(year, 1, 1));
            t->Metod = year;
        }
        tip->Save();
    }
};

TEST_F(RtStoreTest, SavedAsHeaderAndDatedRows)
{
    T_RtList list;
    SaveThreeTables(list);
    const QList<TBinObject> heads = Rows(0);
    ASSERT_EQ(heads.size(), 1);
    EXPECT_EQ(heads[0].Key.Vid, kVid);
    EXPECT_EQ(heads[0].Key.Tip, 1);
    EXPECT_EQ(heads[0].Info.toHex(), "00010608cef1edeee2ede0ff00");

    const QList<TBinObject> tables = Rows(1);
    ASSERT_EQ(tables.size(), 3);
    EXPECT_DOUBLE_EQ(tables[0].Key.DateBeg, EncodeDate(2023, 1, 1));
    EXPECT_DOUBLE_EQ(tables[0].DateEnd, EncodeDate(2023, 12, 31));
    EXPECT_DOUBLE_EQ(tables[1].DateEnd, EncodeDate(2024, 12, 31));
    EXPECT_DOUBLE_EQ(tables[2].DateEnd, kRtOpenDate);

    T_RtList back;
    back.Vid = kVid;
    back.Load();
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back[0]->Naim, QStringLiteral("Основная"));
    ASSERT_EQ(back[0]->Count(), 3);
    EXPECT_EQ(back[0]->GetTable(0)->Metod, 2023) << "in start-date order";
    TStringItems items;
    back.FillStrings(items);
    EXPECT_EQ(items, (TStringItems{{QStringLiteral("Основная"), 1}}));

    T_RtList other;
    other.Vid = kVid + 1;
    other.Load();
    EXPECT_EQ(other.Count(), 0);
}

TEST_F(RtStoreTest, LoadForDate)
{
    T_RtList list;
    SaveThreeTables(list);
    const struct {
        TDateTime date;
        int metod;
    } cases[] = {{EncodeDate(2024, 6, 1), 2024}, {EncodeDate(2025, 1, 1), 2025}, {EncodeDate(2024, 12, 31), 2024},
        {EncodeDate(2030, 1, 1), 2025}, {EncodeDate(2020, 1, 1), 2023}};
    for (const auto& c : cases) {
        T_RtTable t;
        t.Vid = kVid;
        t.Tip = 1;
        t.SetDate(c.date);
        ASSERT_TRUE(t.LoadForDate());
        EXPECT_EQ(t.Metod, c.metod) << c.metod;
        EXPECT_DOUBLE_EQ(t.GetDateBeg(), EncodeDate(c.metod, 1, 1));
    }
    T_RtTable none;
    none.Vid = kVid;
    none.Tip = 2;
    none.SetDate(EncodeDate(2024, 6, 1));
    none.Metod = 7;
    EXPECT_FALSE(none.LoadForDate());
    EXPECT_EQ(none.Metod, 7) << "untouched";
}

TEST_F(RtStoreTest, NewTypeTakesTheFirstFreeNumber)
{
    T_RtList list;
    list.Vid = kVid;
    list.AddTip()->Save();
    list.AddTip()->Save();
    list.AddTip()->Save();
    list[1]->DeleteFromBase();

    T_RtList back;
    back.Vid = kVid;
    back.Load();
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.IndexOfTip(3), 1);
    EXPECT_EQ(back.FindTip(2), nullptr);
    EXPECT_EQ(back.AddTip()->Tip, 2);
    EXPECT_EQ(back.AddTip()->Tip, 4);
}

TEST_F(RtStoreTest, SaveReplacesTheTypesTables)
{
    T_RtList list;
    SaveThreeTables(list);
    T_RtList other;
    other.Vid = kVid + 1;
    other.AddTip()->AddTable()->SetDate(EncodeDate(2024, 1, 1));
    other[0]->Save();

    T_RtList edit;
    edit.Vid = kVid;
    edit.Load();
    T_RtTip& tip = *edit[0];
    tip.FreeObject(tip.GetTable(1)); // 2024 goes
    tip.GetTable(1)->SetDate(EncodeDate(2025, 7, 1)); // 2025 moves
    tip.Save();
    tip.Save();

    const QList<TBinObject> rows = Rows(1);
    ASSERT_EQ(rows.size(), 3) << "two of the type, one of the other accrual";
    T_RtList back;
    back.Vid = kVid;
    back.Load();
    ASSERT_EQ(back[0]->Count(), 2);
    EXPECT_DOUBLE_EQ(back[0]->GetTable(0)->DateBeg, EncodeDate(2023, 1, 1));
    EXPECT_DOUBLE_EQ(back[0]->GetTable(0)->DateEnd, EncodeDate(2025, 6, 30));
    EXPECT_DOUBLE_EQ(back[0]->GetTable(1)->DateBeg, EncodeDate(2025, 7, 1));
    EXPECT_EQ(back[0]->GetTable(1)->Metod, 2025);
    EXPECT_DOUBLE_EQ(back[0]->GetTable(1)->DateEnd, kRtOpenDate);

    tip.AddTable()->SetDate(EncodeDate(2023, 1, 1));
    EXPECT_EQ(MessageOf<EAppException>([&] { tip.Save(); }),
        QStringLiteral("Две таблицы типа \"Основная\" начинаются с одной даты 01.01.2023"));
    EXPECT_EQ(Rows(1).size(), 3);
}

TEST_F(RtStoreTest, UnreadableTypeIsNeverSavedOver)
{
    T_RtList list;
    SaveThreeTables(list);
    TBinKey key;
    key.Class = binCalcTables;
    key.Vid = kVid;
    key.Tip = 1;
    key.SubTip = 1;
    key.DateBeg = EncodeDate(2024, 1, 1);
    const QByteArray future = QByteArray::fromHex("07aabbcc");
    BinWrite(DM()->Bin, key, 0, future);

    T_RtList back;
    back.Vid = kVid;
    back.Load();
    T_RtTip& tip = *back[0];
    EXPECT_TRUE(tip.Unreadable);
    tip.Naim = QStringLiteral("Другая");
    EXPECT_EQ(MessageOf<EAppException>([&] { tip.Save(); }),
        QStringLiteral(
            "Тип таблиц расчета \"Другая\" начисления №250 записан другой версией программы и не может быть сохранен"));
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    ASSERT_TRUE(BinFindKey(bin, key));
    EXPECT_EQ(BinCurrent(bin).Info, future);
    EXPECT_EQ(Rows(0)[0].Info.toHex(), "00010608cef1edeee2ede0ff00");
}

TEST_F(RtStoreTest, RowOfTheWrongKind)
{
    T_RtList list;
    SaveThreeTables(list);
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    BinSetRange(bin, {Variant(int(binCalcTables)), Variant(kVid), Variant(1), Variant(0)});
    ASSERT_FALSE(bin.IsEmpty());
    T_RtTable t;
    EXPECT_EQ(MessageOf<EAppException>([&] { t.LoadFromRow(bin); }), QStringLiteral("T_RtTable.LoadField 001"));
    BinSetRange(bin, {Variant(int(binCalcTables)), Variant(kVid), Variant(1), Variant(1)});
    T_RtTip tip;
    EXPECT_EQ(MessageOf<EAppException>([&] { tip.LoadData(bin); }), QStringLiteral("T_RtTip.LoadData - 001"));
}

} // namespace
