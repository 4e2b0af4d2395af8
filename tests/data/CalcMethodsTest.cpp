#include "data/CalcMethods.h"
#include "data/TableCatalogue.h"
#include "db/Cursor.h"
#include "db/DbTestSupport.h"
#include "db/Session.h"
#include "foundation/TypeList.h"
#include "platform/Codec.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// The numbers of the keys in the order the comparison gives them (stable).
template <class Key>
QList<qint32> SortedNumbers(QList<Key> keys, int (*compare)(const Key&, const Key&, int), int mode, qint32 Key::*number)
{
    std::stable_sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) { return compare(a, b, mode) < 0; });
    QList<qint32> out;
    for (const Key& k : keys)
        out.append(k.*number);
    return out;
}

TEST(CalcMethods, NamesByCodeTakeTheFirstRowOfTheirTable)
{
    struct Row {
        const char* name;
        int code;
        bool accrual;
        const char* expected;
    };
    const Row rows[] = {
        {"197 twice: the first row", 197, true, "Сн=Т*Фс"},
        {"accrual 130", 130, true, "Сн=(Тф-Тб)*(%)*Ос"},
        {"deduction 130", 130, false, "Су=(%)*(ВН-Нл)"},
        {"user formula", cmUserFormula, true, "Формула пользователя"},
        {"table", cmRtTable, false, "Расчет по таблице (ПН)"},
        {"unknown accrual", 5, true, "Формула не найдена"},
        {"accrual-only code as deduction", 197, false, "Формула не найдена"},
        {"zero", 0, true, "Формула не найдена"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(GetCalcMethodName(r.code, r.accrual), QString::fromUtf8(r.expected));
    }
    const TCalcMethodInfo* m = FindCalcMethod(197, true);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->FTime && m->FBase && !m->FValue && !m->FPercent);
    m = FindCalcMethod(193, true);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->FTime && m->FValue && m->FPercent && !m->FBase);
}

TEST(CalcMethods, FillListsLeadWithQuestionMarksInTableOrder)
{
    TStringItems items{{QStringLiteral("old"), 9}};
    FillCalcMethods(items, false);
    ASSERT_EQ(items.size(), 7);
    EXPECT_EQ(items[0], (TStringItem{QStringLiteral("???"), 0}));
    QList<qint64> codes;
    for (const TStringItem& i : items)
        codes.append(i.Object);
    EXPECT_EQ(codes, (QList<qint64>{0, 1, 129, 130, 131, 64, 4097}));

    FillCalcMethods(items, true);
    ASSERT_EQ(items.size(), 23);
    EXPECT_EQ(items[10], (TStringItem{QStringLiteral("Сн=Т*Фс"), 197}));
    EXPECT_EQ(items[19], (TStringItem{QStringLiteral("Сн=Т*(100%)*Фс"), 197}));
    EXPECT_EQ(items[22], (TStringItem{QStringLiteral("Сн=Т*(200%)*Ос"), 200}));

    QStringList systems{QStringLiteral("x")};
    FillPaySystems(systems);
    EXPECT_EQ(systems,
        (QStringList{QStringLiteral("По окладам"), QStringLiteral("Повременная"), QStringLiteral("Сдельная")}));
}

TEST(CalcMethods, IntegerListBlobHasItsGoldenBytesAndReadsBack)
{
    T_yqIntegerList list;
    list.AddInteger(5);
    list.AddInteger(-1);
    QByteArray blob;
    WriteIntegerListBlob(blob, list);
    EXPECT_EQ(blob, Hex("0200000005000000ffffffff"));

    T_yqIntegerList back;
    back.AddInteger(42); // cleared by the reader
    ReadIntegerListBlob(blob, back);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.GetInteger(0), 5);
    EXPECT_EQ(back.GetInteger(1), -1);

    T_yqIntegerList empty;
    WriteIntegerListBlob(blob, empty);
    EXPECT_EQ(blob, Hex("00000000"));
}

TEST(CalcMethods, DamagedIntegerListBlobsAreRefusedBeforeReading)
{
    struct Row {
        const char* name;
        const char* hex;
        int expectedCount; // -1: raises
    };
    const Row rows[] = {
        {"empty", "", 0},
        {"4 bytes", "05000000", 0},
        {"7 bytes", "01000000aabbcc", 0},
        {"count 0 with an item", "0000000007000000", -1},
        {"12 bytes, count 1", "010000000700000008000000", -1},
        {"huge count", "ffffff7f07000000", -1},
        {"negative count", "ffffffff07000000", -1},
        {"count 1, 8 bytes", "0100000007000000", 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        T_yqIntegerList list;
        list.AddInteger(99);
        if (r.expectedCount < 0) {
            try {
                ReadIntegerListBlob(Hex(r.hex), list);
                ADD_FAILURE() << "no exception";
            } catch (const EAppException& e) {
                EXPECT_EQ(e.Message(), QStringLiteral("Ошибка данных таблицы"));
            }
        } else {
            ReadIntegerListBlob(Hex(r.hex), list);
            EXPECT_EQ(list.Count(), r.expectedCount);
        }
    }
}

TEST(CalcMethods, TextBlobIsCp1251WithItsLength)
{
    QByteArray blob;
    WriteTextBlob(blob, QStringLiteral("Тест"));
    EXPECT_EQ(blob, Hex("04000000d2e5f1f2"));
    EXPECT_EQ(ReadTextBlob(blob), QStringLiteral("Тест"));

    WriteTextBlob(blob, QStringLiteral("S*2\r\nЁ"));
    EXPECT_EQ(ReadTextBlob(blob), QStringLiteral("S*2\r\nЁ"));
    WriteTextBlob(blob, QString());
    EXPECT_EQ(blob, Hex("00000000"));
    EXPECT_EQ(ReadTextBlob(blob), QString());
    EXPECT_EQ(ReadTextBlob(QByteArray()), QString());

    const char* damaged[] = {
        "0a000000414243444546", // length 10, 6 bytes
        "02000000414243", // length 2, 3 bytes
        "ffffffff41", // negative length
        "ffffff7f41", // huge length
        "0100", // shorter than its length field
    };
    for (const char* hex : damaged) {
        SCOPED_TRACE(hex);
        try {
            ReadTextBlob(Hex(hex));
            ADD_FAILURE() << "no exception";
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Ошибка чтения текста из BLOB поля"));
        }
    }
}

TEST(CalcMethods, PersonnelCardsSortByModeThenDisplayOrderThenName)
{
    const TTabnSortKey ivanov{30, QStringLiteral("иванов"), 2};
    const TTabnSortKey petrov{10, QStringLiteral("Петров"), 1};
    const TTabnSortKey yolkin{20, QStringLiteral("Ёлкин"), 3};
    const TTabnSortKey zhukov{40, QStringLiteral("Жуков"), 3};
    const TTabnSortKey egorov{50, QStringLiteral("Егоров"), 3};

    auto order = [](const QList<TTabnSortKey>& keys, int mode) {
        return SortedNumbers(keys, CompareTabn, mode, &TTabnSortKey::TabNum);
    };
    const QList<TTabnSortKey> all{ivanov, petrov, yolkin, zhukov, egorov};
    EXPECT_EQ(order(all, 1), (QList<qint32>{10, 20, 30, 40, 50}));
    // Letter case ignored; Ё after Е and before Ж.
    EXPECT_EQ(order(all, 2), (QList<qint32>{50, 20, 40, 30, 10}));
    // Equal display order: by name.
    EXPECT_EQ(order(all, 3), (QList<qint32>{10, 30, 50, 20, 40}));
    EXPECT_EQ(CompareTabn(ivanov, ivanov, 2), 0);
}

TEST(CalcMethods, DeductionsSortAfterAccrualsInEveryMode)
{
    const TDopSortKey salary{.DopNum = 1, .Name = QStringLiteral("Оклад"), .SNum = 5, .Tip = 2, .StadiaF = 100};
    const TDopSortKey hourly{.DopNum = 3, .Name = QStringLiteral("Почасовая"), .SNum = 9, .Tip = 1, .StadiaF = 100};
    const TDopSortKey bonus{.DopNum = 40, .Name = QStringLiteral("премия"), .SNum = 1, .Tip = 0, .StadiaF = 120};
    const TDopSortKey tax{
        .Uder = true, .DopNum = 200, .Name = QStringLiteral("Налог"), .SNum = 2, .Tip = 9, .StadiaF = 10};
    const TDopSortKey alimony{
        .Uder = true, .DopNum = 201, .Name = QStringLiteral("Алименты"), .SNum = 0, .Tip = 0, .StadiaF = 5};

    auto order = [](const QList<TDopSortKey>& keys, int mode) {
        return SortedNumbers(keys, CompareDops, mode, &TDopSortKey::DopNum);
    };
    const QList<TDopSortKey> all{tax, salary, alimony, bonus, hourly};
    EXPECT_EQ(order(all, 1), (QList<qint32>{1, 3, 40, 200, 201}));
    EXPECT_EQ(order(all, 2), (QList<qint32>{1, 3, 40, 201, 200}));
    EXPECT_EQ(order(all, 3), (QList<qint32>{40, 1, 3, 201, 200}));
    // The basic kinds (TIP 1..3) by TIP, the others by calculation stage.
    EXPECT_EQ(order(all, 4), (QList<qint32>{3, 1, 40, 201, 200}));

    // Equal keys: display order, then name.
    TDopSortKey a = bonus, b = bonus;
    b.DopNum = 41;
    b.SNum = 0;
    EXPECT_GT(CompareDops(a, b, 4), 0);
    b.SNum = a.SNum;
    b.Name = QStringLiteral("Аванс");
    EXPECT_GT(CompareDops(a, b, 4), 0);
    EXPECT_GT(CompareDops(a, b, 0), 0) << "an unknown mode still orders by the tie keys";
}

} // namespace

namespace {

class ResetCalcDateTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        const TTableStructures& catalogue = TableStructures();
        catalogue[catalogue.NumberOf(QStringLiteral("SR"))].CreateTable();
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        for (qint32 tabn : {5, 7}) {
            sr.Append();
            sr[QStringLiteral("TABNUM")].SetInteger(tabn);
            sr[QStringLiteral("FIO")].SetString(QStringLiteral("Работник %1").arg(tabn));
            sr[QStringLiteral("DATERAS")].SetDateTime(EncodeDate(2024, 3, 31));
            sr.Post();
        }
    }

    TDateTime CalcDate(qint32 tabn)
    {
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        EXPECT_TRUE(sr.FindKey({Variant(tabn)}));
        return sr[QStringLiteral("DATERAS")].AsDateTime();
    }
};

TEST_F(ResetCalcDateTest, ClearsTheCalculationDateOfThatEmployeeOnly)
{
    ResetCalcDate(7);
    EXPECT_EQ(CalcDate(7), 0.0);
    EXPECT_EQ(CalcDate(5), EncodeDate(2024, 3, 31));
    EXPECT_EQ(DbSession::OpenFileCount(), 0);
}

TEST_F(ResetCalcDateTest, UnknownEmployeeIsAnError)
{
    try {
        ResetCalcDate(6);
        ADD_FAILURE() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Табельный номер №6 в справочнике не найден"));
    }
    EXPECT_EQ(CalcDate(5), EncodeDate(2024, 3, 31));
    EXPECT_EQ(CalcDate(7), EncodeDate(2024, 3, 31));
}

} // namespace
