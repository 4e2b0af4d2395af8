// Pay-sheet definitions: their stored bytes, numbers handed out, damaged
// rows, and what one employee's rows add to the columns and totals.

#include "reports/RasVed.h"

#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "platform/Exceptions.h"
#include "support/CalcBuilders.h"
#include "support/Checks.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QMap>

namespace {

using RasVedStore = CalcTest;

// VID -> INFO of every CLASS 3 row.
QMap<int, QByteArray> StoredRows()
{
    QMap<int, QByteArray> rows;
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    BinSetRange(bin, {Variant(int(binPaySheets))});
    for (bin.First(); !bin.Eof(); bin.Next()) {
        const TBinObject o = BinCurrent(bin);
        EXPECT_EQ(o.Key.Tip, 0);
        EXPECT_EQ(o.Key.SubTip, 0);
        rows.insert(o.Key.Vid, o.Info);
    }
    return rows;
}

void PutRow(int vid, const QByteArray& info)
{
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    TBinKey key;
    key.Class = binPaySheets;
    key.Vid = vid;
    BinWrite(bin, key, 0, info);
}

void SaveAs(int number, std::initializer_list<int> accruals = {1})
{
    T_RasVed ved;
    ved.Number = number;
    T_RasVedItem* column = ved.AddColumn();
    for (int a : accruals)
        column->AddInteger(a);
    ved.Save();
}

// Definition 7 "A" with one column "B" of accrual 3; the hex pieces below
// damage one part of it.
QByteArray Info(const char* version = "01", const char* columnCount = "01000000", const char* columnVersion = "01",
    const char* numberCount = "01000000")
{
    return QByteArray::fromHex(QByteArray(version) + "07000000060141" + columnCount + columnVersion + "010000000601"
        + "42" + numberCount + "03000000");
}

TEST_F(RasVedStore, TwoColumnsAreStoredByteExact)
{
    T_RasVed ved;
    ved.Number = 5;
    ved.Name = QString(300, QChar(0x042F)); // "Я", CP1251 DF
    T_RasVedItem* a = ved.AddColumn();
    a->Name = QStringLiteral("Оклад");
    a->Number = 7;
    a->AddInteger(1);
    a->AddInteger(-2);
    T_RasVedItem* b = ved.AddColumn();
    b->Number = 9;
    b->AddInteger(2147483646);
    ved.Save();

    const QByteArray expected = QByteArray::fromHex("01"
                                                    "05000000"
                                                    "0c2c010000")
        + QByteArray(300, '\xDF')
        + QByteArray::fromHex("02000000"
                              "01"
                              "01000000"
                              "0605ceeaebe0e4"
                              "02000000"
                              "01000000"
                              "feffffff"
                              "01"
                              "02000000"
                              "0600"
                              "01000000"
                              "feffff7f");
    const QMap<int, QByteArray> rows = StoredRows();
    ASSERT_EQ(rows.keys(), QList<int>({5}));
    EXPECT_EQ(rows[5].toHex().toStdString(), expected.toHex().toStdString())
        << "columns renumbered 1..n, long name under tag 0C";

    T_RasVed back;
    back.LoadByNumber(5);
    EXPECT_EQ(back.Name, ved.Name);
    ASSERT_EQ(back.ColumnCount(), 2);
    EXPECT_EQ(back.Column(0)->Name, QStringLiteral("Оклад"));
    EXPECT_EQ(back.Column(0)->GetInteger(1), -2);
    EXPECT_EQ(back.Column(1)->Number, 2);
    EXPECT_EQ(back.SaveToBytes().toHex().toStdString(), expected.toHex().toStdString());
}

TEST_F(RasVedStore, NewNumbersFillGapsAndLeaveZeroAlone)
{
    struct Case {
        const char* name;
        std::initializer_list<int> stored;
        int expected;
    };
    const Case cases[]
        = {{"after 1 2 3", {1, 2, 3}, 4}, {"gap 1 3", {1, 3}, 2}, {"zero only", {0}, 1}, {"empty", {}, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            Cursor bin(QStringLiteral("Bin"));
            bin.Open();
            BinSetRange(bin, {Variant(int(binPaySheets))});
            while (!bin.IsEmpty())
                bin.Delete();
        }
        for (int n : c.stored)
            SaveAs(n);
        T_RasVed ved;
        ved.Number = -1;
        ved.AddColumn()->AddInteger(1);
        ved.Save();
        EXPECT_EQ(ved.Number, c.expected);
        EXPECT_TRUE(StoredRows().contains(c.expected));
        EXPECT_EQ(StoredRows().size(), int(c.stored.size()) + 1);
    }
}

TEST_F(RasVedStore, WithoutColumnsTheRowGoes)
{
    SaveAs(0);
    SaveAs(2);
    T_RasVed ved;
    ved.LoadByNumber(2);
    ved.Clear();
    ved.Save();
    EXPECT_EQ(StoredRows().keys(), QList<int>({0}));
    EXPECT_EQ(
        MessageOf<EAppException>([&] { ved.LoadByNumber(2); }), QStringLiteral("Не найдена расчетная ведомость №2"));

    T_RasVed fresh;
    fresh.Number = -1;
    fresh.Save();
    EXPECT_EQ(fresh.Number, 1) << "a number is handed out";
    EXPECT_EQ(StoredRows().keys(), QList<int>({0})) << "but nothing stored";

    T_RasVed kept;
    kept.LoadByNumber(0);
    kept.Name = QStringLiteral("kept");
    kept.LoadByNumber(-1);
    EXPECT_EQ(kept.Name, QStringLiteral("kept"));
    EXPECT_EQ(kept.ColumnCount(), 1);
}

TEST_F(RasVedStore, DamagedStreamsAreRefusedByName)
{
    struct Case {
        const char* name;
        QByteArray info;
        QString message;
    };
    const QString version = QStringLiteral("Неверная версия");
    const QString read = QStringLiteral("Stream read error");
    const Case cases[] = {
        {"sound", Info(), QString()},
        {"definition version 2", Info("02"), version},
        {"column version 2", Info("01", "01000000", "02"), version},
        {"column count beyond the bytes", Info("01", "ffffff7f"), read},
        {"negative column count", Info("01", "ffffffff"), read},
        {"number count beyond the bytes", Info("01", "01000000", "01", "ffffff3f"), read},
        {"cut short", Info().left(20), read},
        {"empty", QByteArray(), read},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        T_RasVed ved;
        ved.Name = QStringLiteral("before");
        try {
            ved.LoadFromBytes(c.info);
            EXPECT_TRUE(c.message.isEmpty());
            EXPECT_EQ(ved.Column(0)->GetInteger(0), 3);
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(ved.Name, QStringLiteral("before")) << "a refused stream changes nothing";
        }
    }
}

TEST_F(RasVedStore, LoadAllReportsABadRowAndGoesOn)
{
    PutRow(1, Info());
    PutRow(2, Info("02"));
    PutRow(3, Info("01", "ffffff7f"));
    PutRow(4, Info());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Ошибка при загрузке настройки расчетной ведомости №2\r\nНеверная версия"));
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Ошибка при загрузке настройки расчетной ведомости №3\r\nStream read error"));
    T_RasVedList list;
    list.LoadAll();
    ASSERT_EQ(list.Count(), 2);
    // The stream says 7: the row's number wins, so Save writes back where it came from.
    EXPECT_EQ(list[0]->Number, 1);
    EXPECT_EQ(list[1]->Number, 4);
    EXPECT_EQ(list.FindByNumber(4), list[1]);
    list[1]->Name = QStringLiteral("changed");
    list[1]->Save();
    EXPECT_EQ(StoredRows().keys(), QList<int>({1, 2, 3, 4}));
}

// ---------------------------------------------------------------- one employee

struct Row {
    qint32 dopNum;
    double sum;
    bool uder = false;
};

class RasVedAdd : public CalcTest {
protected:
    T_TabnDopList rows{nullptr, tdkResults};

    void Set(std::initializer_list<Row> list)
    {
        rows.Clear();
        for (const Row& r : list) {
            auto* d = new T_TabnDop(1, nullptr, tdkResults);
            d->DopNum = r.dopNum;
            d->Sum = Currency::FromDouble(r.sum);
            d->Uder = r.uder;
            rows.AddObject(d);
        }
    }

    // Columns {1, 2} and {2, 3}.
    void Columns(T_RasVed& ved)
    {
        T_RasVedItem* a = ved.AddColumn();
        a->AddInteger(1);
        a->AddInteger(2);
        T_RasVedItem* b = ved.AddColumn();
        b->AddInteger(2);
        b->AddInteger(3);
    }
};

TEST_F(RasVedAdd, RowsGoToTheFirstColumnOrToPDAndPU)
{
    T_RasVed ved;
    Columns(ved);
    Set({{1, 100.111}, {2, 50}, {3, 7}, {4, 11}, {5, 13, true}, {dnBegin, -40}, {dnNachis, 168.11}, {dnUder, 13},
        {dnVsego, 115.116}, {dnPNPay, 999}});
    ved.AddTabn(rows);
    EXPECT_DOUBLE_EQ(ved.ColumnValue(0), 150.11) << "accrual 2 is in both columns: the first takes it";
    EXPECT_DOUBLE_EQ(ved.ColumnValue(1), 7);
    EXPECT_DOUBLE_EQ(ved.PD, 11);
    EXPECT_DOUBLE_EQ(ved.PU, 13);
    EXPECT_DOUBLE_EQ(ved.VSP, -40);
    EXPECT_DOUBLE_EQ(ved.SVSPP, 0);
    EXPECT_DOUBLE_EQ(ved.SVSPM, 40);
    EXPECT_DOUBLE_EQ(ved.PSVSPM, 40);
    EXPECT_DOUBLE_EQ(ved.VNACH, 168.11);
    EXPECT_DOUBLE_EQ(ved.VUDER, 13);
    EXPECT_DOUBLE_EQ(ved.VSEGO, 115.12);
    EXPECT_DOUBLE_EQ(ved.SVSEGOP, 115.12);

    // A second employee: his values replace, the totals grow.
    Set({{3, 10}, {dnBegin, 5}, {dnVsego, -3}});
    ved.AddTabn(rows);
    EXPECT_DOUBLE_EQ(ved.ColumnValue(0), 0);
    EXPECT_DOUBLE_EQ(ved.ColumnPodr(1), 17);
    EXPECT_DOUBLE_EQ(ved.ColumnTotal(0), 150.11);
    EXPECT_DOUBLE_EQ(ved.PD, 0);
    EXPECT_DOUBLE_EQ(ved.SPD, 11);
    EXPECT_DOUBLE_EQ(ved.SVSP, -35);
    EXPECT_DOUBLE_EQ(ved.SVSPP, 5);
    EXPECT_DOUBLE_EQ(ved.SVSEGO, 112.12);
    EXPECT_DOUBLE_EQ(ved.SVSEGOM, 3);
    EXPECT_DOUBLE_EQ(ved.VNACH, 0) << "no dnNachis row: nothing accrued";

    ved.ClearDepartment();
    EXPECT_DOUBLE_EQ(ved.ColumnPodr(1), 0);
    EXPECT_DOUBLE_EQ(ved.SVSEGOM, 0);
    EXPECT_DOUBLE_EQ(ved.ColumnTotal(1), 17);
    EXPECT_DOUBLE_EQ(ved.PSVSEGO, 112.12);
    ved.ClearTotals();
    EXPECT_DOUBLE_EQ(ved.PSVSEGO, 0);
    EXPECT_EQ(ved.ColumnCount(), 2);
    ved.Clear();
    EXPECT_EQ(ved.ColumnCount(), 0);
}

TEST_F(RasVedAdd, PercentScalesColumnsAndVsegoOnly)
{
    T_RasVed ved;
    Columns(ved);
    ved.SetPercent(50);
    EXPECT_TRUE(ved.PercentOn);
    Set({{1, 100.03}, {4, 20}, {dnNachis, 120.03}, {dnVsego, 80.05}});
    ved.AddTabn(rows);
    EXPECT_DOUBLE_EQ(ved.ColumnValue(0), 50.02);
    EXPECT_DOUBLE_EQ(ved.VSEGO, 40.03);
    EXPECT_DOUBLE_EQ(ved.VNACH, 120.03);
    EXPECT_DOUBLE_EQ(ved.PD, 20);
    for (double off : {0.0, 100.0, 1e-8, 100 - 1e-8}) {
        ved.SetPercent(off);
        EXPECT_FALSE(ved.PercentOn) << off;
        EXPECT_DOUBLE_EQ(ved.Rate, 1.0);
    }
}

TEST_F(RasVedAdd, MoneyRoundingKeepsADebtorsSign)
{
    Cfg.Round = true;
    Cfg.RoundS = 1;
    Cfg.RoundB = false;
    T_RasVed ved;
    Columns(ved);
    ved.RoundByMoney = true;
    Set({{1, 100.6}, {3, -10.4}, {dnVsego, -25.555}});
    ved.AddTabn(rows);
    EXPECT_DOUBLE_EQ(ved.ColumnValue(0), 100) << "whole steps down";
    EXPECT_DOUBLE_EQ(ved.ColumnValue(1), -10.4);
    EXPECT_DOUBLE_EQ(ved.VSEGO, -25.56);
    EXPECT_DOUBLE_EQ(ved.SVSEGOM, 25.56);
}

} // namespace
