// Work calendars: the stored bytes, the default lines, the lookup by
// number and date, the number limit, damaged rows, and the import of the
// predecessor's memory files.

#include "data/Calendar.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "foundation/TaggedStream.h"
#include "platform/Exceptions.h"
#include "support/Checks.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

struct BinRow {
    TBinKey key;
    TDateTime dateEnd;
    QByteArray info;
};

QList<BinRow> CalendarRows()
{
    QList<BinRow> rows;
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    BinSetRange(bin, {Variant(int(binCalendars))});
    for (bin.First(); !bin.Eof(); bin.Next()) {
        const TBinObject o = BinCurrent(bin);
        rows << BinRow{o.Key, o.DateEnd, o.Info};
    }
    return rows;
}

void WriteRow(int vid, int tip, TDateTime dateBeg, const QByteArray& info)
{
    TBinKey key;
    key.Class = binCalendars;
    key.Vid = vid;
    key.Tip = tip;
    key.DateBeg = dateBeg;
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    BinWrite(bin, key, 0, info);
}

class CalendarTest : public AppContextTest {
protected:
    static T_CalendarList& list() { return *CalendarList(); }

    // The main calendar, monthly, over 2024, saved.
    static T_CalendarTip* MainOf2024()
    {
        T_CalendarTip* tip = list().AddTip(ckMonthly);
        tip->Name = QStringLiteral("Основной календарь");
        tip->AddTable(D(2024, 1, 1), D(2024, 12, 31), 10);
        tip->Save();
        return tip;
    }
};

// ---------------------------------------------------------------- bytes

TEST_F(CalendarTest, TableAndHeaderStreamsHaveTheirBytes)
{
    T_CalendarTip* tip = list().AddTip(ckMonthly);
    tip->Name = QStringLiteral("Основной календарь");
    tip->AddTable(D(2024, 1, 1), D(2024, 1, 31), 0);
    tip->Save();

    const QByteArray table = QByteArray::fromHex("010100000001666666666686654000000000000035406666666666662040"
                                                 "00000000801de640000000004021e64001000000");
    const QByteArray header = QByteArray::fromHex("0612cef1edeee2edeee920eae0ebe5ede4e0f0fc01");
    const QList<BinRow> rows = CalendarRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].key.Vid, 0);
    EXPECT_EQ(rows[0].key.Tip, 0);
    EXPECT_EQ(rows[0].key.DateBeg, D(2024, 1, 1));
    EXPECT_EQ(rows[0].dateEnd, D(2024, 1, 31));
    EXPECT_EQ(rows[0].info.toHex(), table.toHex());
    EXPECT_EQ(rows[1].key.Tip, 1);
    EXPECT_EQ(rows[1].key.DateBeg, 0);
    EXPECT_EQ(rows[1].info.toHex(), header.toHex());
    EXPECT_FALSE(tip->GetTable(0)->IsModified()) << "saving clears the marks";

    T_CalendarList fresh;
    ASSERT_EQ(fresh.TipCount(), 1);
    EXPECT_EQ(fresh.GetTip(0)->Name, QStringLiteral("Основной календарь"));
    EXPECT_EQ(fresh.GetTip(0)->GetTable(0)->SaveToBytes().toHex(), table.toHex());

    // A kind outside 1..3 reads as monthly.
    T_CalendarTip odd;
    odd.LoadHeader(QByteArray::fromHex("0600") + QByteArray(1, 7));
    EXPECT_EQ(odd.Kind, ckMonthly);
}

TEST_F(CalendarTest, DamagedTableStreamsAreRefusedBeforeAllocating)
{
    const QByteArray good = QByteArray::fromHex("010100000001666666666686654000000000000035406666666666662040"
                                                "00000000801de640000000004021e64001000000");
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* message;
    };
    const char* version = "Неподдерживаемая версия календаря";
    const char* size = "Ошибка данных календаря";
    QByteArray lineVersion = good;
    lineVersion[5] = 2;
    const Row rows[] = {
        {"empty", QByteArray(), size},
        {"table version 2", QByteArray::fromHex("0200000000"), version},
        {"head cut", QByteArray::fromHex("010000"), size},
        {"negative count", QByteArray::fromHex("01ffffffff"), size},
        {"huge count", QByteArray::fromHex("01ffffff7f"), size},
        {"count beyond the lines", QByteArray::fromHex("0102000000") + good.mid(5), size},
        {"a byte too many", good + QByteArray(1, 0), size},
        {"line version 2", lineVersion, version},
    };
    for (const Row& r : rows) {
        T_C_Table table;
        EXPECT_EQ(MessageOf<EAppException>([&] { table.LoadFromBytes(r.bytes); }), QString::fromUtf8(r.message))
            << r.name;
        EXPECT_EQ(table.Count(), 0) << r.name;
    }
    T_C_Table table;
    table.Version = 2;
    EXPECT_EQ(MessageOf<EAppException>([&] { table.SaveToBytes(); }), QString::fromUtf8(version));
}

TEST_F(CalendarTest, SavedTablesReadBackAndOnlyModifiedOnesAreWritten)
{
    T_CalendarTip* tip = MainOf2024();
    T_C_Table* table = tip->GetTable(0);
    T_C_Line* march = table->GetLine(2);
    march->SetWorkDays(21);
    EXPECT_FALSE(table->IsModified()) << "an equal value marks nothing";
    march->SetWorkDays(20);
    march->SetWorkHours(164);
    EXPECT_TRUE(table->IsModified());
    tip->Save();

    T_CalendarList fresh;
    const T_C_Table* read = fresh.FindTable(0, D(2024, 3, 5));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Count(), 12);
    EXPECT_EQ(read->GetLine(2)->WorkDays(), 20);
    EXPECT_EQ(read->GetLine(2)->WorkHours(), 164);
    EXPECT_EQ(read->DateEnd, D(2024, 12, 31));

    // Reload gives back what is stored; a table whose row is gone says so.
    march->SetWorkDays(1);
    table->Reload();
    EXPECT_EQ(table->GetLine(2)->WorkDays(), 20);
    table->DeleteFromBase();
    EXPECT_EQ(MessageOf<EAppException>([&] { table->Reload(); }),
        QStringLiteral("Не найден календарь №0  от \"01.01.2024\""));
    EXPECT_EQ(MessageOf<EAppException>([&] { table->DeleteFromBase(); }),
        QStringLiteral("Не найден календарь №0  от \"01.01.2024\""));
    table->Save();
    EXPECT_EQ(CalendarRows().size(), 1) << "an unmodified table is not written";

    tip->DeleteFromBase();
    EXPECT_TRUE(CalendarRows().isEmpty());
}

// ---------------------------------------------------------------- default lines

TEST_F(CalendarTest, NewTablesGetTheDefaultLinesOfTheirKind)
{
    struct Row {
        const char* name;
        quint8 kind;
        int n;
        TDateTime beg, end;
        int lines;
        double days, hours;
        TDateTime firstBeg, firstEnd;
    };
    const Row rows[] = {
        {"monthly year", ckMonthly, 10, D(2024, 1, 1), D(2024, 12, 31), 12, 21, 172.2, D(2024, 1, 1), D(2024, 1, 31)},
        {"monthly from mid-month", ckMonthly, 0, D(2024, 2, 10), D(2024, 3, 5), 2, 21, 172.2, D(2024, 2, 1),
            D(2024, 2, 29)},
        {"weekly from a Monday", ckWeekly, 10, D(2024, 1, 1), D(2024, 1, 28), 4, 5, 41, D(2024, 1, 1), D(2024, 1, 7)},
        {"ten days", ckDays, 10, D(2024, 1, 1), D(2024, 1, 30), 3, 8, 65.6, D(2024, 1, 1), D(2024, 1, 10)},
        {"five days", ckDays, 5, D(2024, 1, 1), D(2024, 1, 5), 1, 4, 4 * 8.2, D(2024, 1, 1), D(2024, 1, 5)},
        {"no n is a week", ckDays, 0, D(2024, 1, 1), D(2024, 1, 14), 2, 5, 41, D(2024, 1, 1), D(2024, 1, 7)},
        {"one day", ckDays, 10, D(2024, 1, 9), D(2024, 1, 9), 1, 8, 65.6, D(2024, 1, 9), D(2024, 1, 18)},
        {"one monthly day", ckMonthly, 10, D(2024, 5, 31), D(2024, 5, 31), 1, 21, 172.2, D(2024, 5, 1), D(2024, 5, 31)},
    };
    for (const Row& r : rows) {
        T_CalendarTip tip(r.kind);
        const T_C_Table* table = tip.AddTable(r.beg, r.end, r.n);
        ASSERT_EQ(table->Count(), r.lines) << r.name;
        EXPECT_EQ(table->DateBeg, r.beg) << r.name;
        EXPECT_EQ(table->DateEnd, r.end) << r.name;
        EXPECT_EQ(table->GetLine(0)->DateBeg(), r.firstBeg) << r.name;
        EXPECT_EQ(table->GetLine(0)->DateEnd(), r.firstEnd) << r.name;
        for (int i = 0; i < table->Count(); ++i) {
            const T_C_Line* line = table->GetLine(i);
            EXPECT_EQ(line->Num(), i + 1) << r.name;
            EXPECT_DOUBLE_EQ(line->WorkDays(), r.days) << r.name;
            EXPECT_DOUBLE_EQ(line->WorkHours(), r.hours) << r.name;
            EXPECT_DOUBLE_EQ(line->DayLength(), 8.2) << r.name;
            EXPECT_TRUE(line->Modified) << r.name;
            if (i > 0) {
                EXPECT_EQ(line->DateBeg(), table->GetLine(i - 1)->DateEnd() + 1) << r.name;
            }
        }
    }
    // Each month of the year is its own line.
    T_CalendarTip year(ckMonthly);
    const T_C_Table* t = year.AddTable(D(2024, 1, 1), D(2024, 12, 31), 10);
    EXPECT_EQ(t->GetLine(1)->DateEnd(), D(2024, 2, 29));
    EXPECT_EQ(t->GetLine(11)->DateBeg(), D(2024, 12, 1));

    T_CalendarTip unknown(4);
    EXPECT_EQ(MessageOf<EAppException>([&] { unknown.AddTable(D(2024, 1, 1), D(2024, 1, 31), 10); }),
        QStringLiteral("Неизвестный тип календаря"));
}

TEST_F(CalendarTest, ASecondTableOnTheSameFirstDayIsRefused)
{
    T_CalendarTip* tip = MainOf2024();
    EXPECT_EQ(MessageOf<EAppException>([&] { tip->AddTable(D(2024, 1, 1), D(2024, 6, 30), 10); }),
        QStringLiteral("Календарь №0 уже имеет таблицу от \"01.01.2024\""));
    EXPECT_EQ(tip->Count(), 1);
    tip->AddTable(D(2025, 1, 1), D(2025, 12, 31), 10);
    tip->Save();
    T_CalendarList fresh;
    ASSERT_EQ(fresh.FindTip(0)->Count(), 2);
    EXPECT_EQ(fresh.FindTable(0, D(2025, 7, 1))->DateBeg, D(2025, 1, 1));
}

// ---------------------------------------------------------------- numbers

TEST_F(CalendarTest, AddTipTakesTheFirstFreeNumberAndStopsAt9999)
{
    struct Row {
        const char* name;
        QList<qint32> taken;
        qint32 expected;
    };
    const Row rows[] = {
        {"empty list: the main calendar", {}, 0},
        {"after the main one", {0}, 1},
        {"a gap", {0, 1, 3}, 2},
        {"no main one", {1, 2}, 3},
    };
    list().EnsureLoaded();
    for (const Row& r : rows) {
        list().Clear();
        for (qint32 n : r.taken)
            list().AddTip(ckMonthly)->Number = n;
        EXPECT_EQ(list().AddTip(ckWeekly)->Number, r.expected) << r.name;
        EXPECT_EQ(list().FindTip(r.expected)->Kind, ckWeekly) << r.name;
    }

    list().Clear();
    for (qint32 n = 0; n <= kMaxCalendarNumber; ++n) {
        auto* tip = new T_CalendarTip(ckMonthly, &list());
        tip->Number = n;
        list().AddObject(tip);
    }
    EXPECT_EQ(MessageOf<EAppException>([&] { list().AddTip(ckMonthly); }),
        QStringLiteral("Нарушено ограничение на максимальное число календарей"));
    EXPECT_EQ(list().TipCount(), kMaxCalendarNumber + 1) << "nothing added";
    list().FindTip(5000)->Number = 10001;
    EXPECT_EQ(list().AddTip(ckMonthly)->Number, 5000);
}

// ---------------------------------------------------------------- selection

TEST_F(CalendarTest, SelectionFollowsNumberAndDate)
{
    T_CalendarTip* tip = MainOf2024();
    tip->AddTable(D(2025, 1, 1), D(2025, 12, 31), 10);
    tip->GetTable(1)->GetLine(0)->SetWorkHours(136);
    T_CalendarTip* weekly = list().AddTip(ckWeekly);
    weekly->AddTable(D(2024, 1, 1), D(2024, 1, 28), 7);
    T_Calendar& c = *Calendar();

    EXPECT_TRUE(c.Select(0, D(2024, 1, 15)));
    EXPECT_EQ(c.Line(), tip->GetTable(0)->GetLine(0));
    EXPECT_DOUBLE_EQ(c.GetWorkHours(), 172.2);
    EXPECT_DOUBLE_EQ(c.GetDayLength(), 8.2);
    EXPECT_FALSE(c.Select(0, D(2024, 1, 15))) << "the same date answers false";
    EXPECT_TRUE(c.IsValid()) << "and keeps the line";

    EXPECT_TRUE(c.Select(0, D(2024, 2, 10)));
    EXPECT_EQ(c.Table(), tip->GetTable(0));
    EXPECT_EQ(c.Line(), tip->GetTable(0)->GetLine(1)) << "February's line";
    EXPECT_TRUE(c.Select(0, D(2025, 1, 20)));
    EXPECT_EQ(c.Table(), tip->GetTable(1)) << "the next year's table";
    EXPECT_DOUBLE_EQ(c.GetWorkHours(), 136);

    EXPECT_TRUE(c.Select(1, D(2025, 1, 20)) == false && c.Number() == 1) << "no table of the weekly one then";
    EXPECT_TRUE(c.Select(1, D(2024, 1, 9)));
    EXPECT_DOUBLE_EQ(c.GetWorkHours(), 41);

    EXPECT_FALSE(c.Select(7, D(2024, 1, 9)));
    EXPECT_EQ(c.Number(), -1) << "a missing calendar";
    EXPECT_FALSE(c.Select(-1, D(2024, 1, 10)));
    EXPECT_FALSE(c.Select(0, 0));
    EXPECT_FALSE(c.IsValid());
    EXPECT_EQ(MessageOf<EAppException>([&] { c.GetWorkHours(); }), QStringLiteral("Неверно определен календарь"));
    EXPECT_EQ(MessageOf<EAppException>([&] { c.GetDayLength(); }), QStringLiteral("Неверно определен календарь"));
}

TEST_F(CalendarTest, ChangeNoticeAndReloadForgetTheSelection)
{
    MainOf2024();
    T_Calendar& c = *Calendar();
    int notices = 0;
    struct Counter : TObject {
        int* count;
        void Changed(TObject*) { ++*count; }
    } counter;
    counter.count = &notices;
    const TNotifyEvent event(&counter, &Counter::Changed);
    list().AddNotify(event);

    {
        const ScopedApplicationRunning running;
        ASSERT_TRUE(c.Select(0, D(2024, 3, 1)));
        list().Changed();
        EXPECT_EQ(notices, 1);
        EXPECT_FALSE(c.IsValid());
        EXPECT_EQ(c.Number(), -1);
        EXPECT_TRUE(c.Select(0, D(2024, 3, 1))) << "looked up again";
    }

    // Outside the running application a reload calls nobody, and still the
    // lookup holds no pointer into the freed calendars.
    ASSERT_TRUE(c.IsValid());
    list().Reload();
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(c.IsValid());
    EXPECT_EQ(c.Line(), nullptr);
    EXPECT_TRUE(c.Select(0, D(2024, 3, 1)));
    EXPECT_EQ(c.Line(), list().FindTip(0)->GetTable(0)->GetLine(2));

    // Freeing one table, or a mark and the next access, forgets it too.
    list().FindTip(0)->DeleteObject(0);
    EXPECT_FALSE(c.IsValid());
    list().SetLoaded(false);
    EXPECT_TRUE(c.Select(0, D(2024, 3, 1))) << "read again from Bin";
    list().RemoveNotify(event);
}

TEST_F(CalendarTest, TheDataModuleReloadsTheList)
{
    T_CalendarList other;
    other.AddTip(ckMonthly)->AddTable(D(2024, 1, 1), D(2024, 1, 31), 0);
    other.SaveAll();
    EXPECT_EQ(list().TipCount(), 1) << "read at first use";
    other.FindTip(0)->AddTable(D(2024, 2, 1), D(2024, 2, 29), 0);
    other.SaveAll();
    EXPECT_EQ(list().FindTip(0)->Count(), 1);
    ReloadAllLists();
    EXPECT_EQ(list().FindTip(0)->Count(), 2);
}

// ---------------------------------------------------------------- damaged rows

TEST_F(CalendarTest, ADamagedRowIsReportedAndTheOthersLoad)
{
    MainOf2024();
    WriteRow(3, 1, 0, QByteArray::fromHex("0603") + QByteArray("abc") + QByteArray(1, 1));
    WriteRow(3, 0, D(2024, 1, 1), QByteArray::fromHex("01ffffff7f"));
    WriteRow(4, 1, 0, QByteArray::fromHex("06ff"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Ошибка при загрузке календаря №3\r\nОшибка данных календаря\r\n"
                                "Ошибка при загрузке календаря №4\r\nStream read error"));
    T_CalendarList fresh;
    ASSERT_EQ(fresh.TipCount(), 1);
    EXPECT_EQ(fresh.GetTip(0)->Number, 0);
}

// ---------------------------------------------------------------- import

QByteArray MemHeader(const QByteArray& name, uint8_t type, uint8_t byte16, uint8_t byte17)
{
    QByteArray h(32, '\0');
    std::memcpy(h.data(), name.constData(), size_t(qMin(name.size(), qsizetype(10))));
    h[11] = static_cast<char>(type);
    h[16] = static_cast<char>(byte16);
    h[17] = static_cast<char>(byte17);
    return h;
}

QByteArray MemNumber(const QByteArray& name, double value, uint8_t decimals)
{
    TMemoryStream s;
    WriteDouble(s, value);
    return MemHeader(name, 0xCE, 10, decimals) + s.Bytes();
}

// A calendar file of the predecessor: days, hours and day length per month.
QByteArray OldCalendar(double days, double hours, double dayLength)
{
    QByteArray file;
    for (int m = 1; m <= 12; ++m) {
        const QByteArray mm = QByteArray::number(m).rightJustified(2, '0');
        file += MemNumber("CALENDAY" + mm, days + m, 0);
        file += MemNumber("CALENDAC" + mm, hours + m, 1);
        file += MemNumber("CALENDAR" + mm, dayLength, 1);
    }
    return file + QByteArray(1, 0x1A);
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST_F(CalendarTest, OldCalendarsReplaceTheStoredOnes)
{
    T_CalendarTip* gone = list().AddTip(ckWeekly);
    gone->AddTable(D(2023, 1, 2), D(2023, 1, 29), 7);
    list().AddTip(ckWeekly)->AddTable(D(2023, 1, 2), D(2023, 1, 29), 7);
    list().SaveAll();

    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/");
    WriteFile(folder + QStringLiteral("QO.CAL"), OldCalendar(20, 160, 8));
    WriteFile(folder + QStringLiteral("qo.ca3"), OldCalendar(10, 80, 4));
    WriteFile(folder + QStringLiteral("QO.CA1"), OldCalendar(1, 1, 1)); // number 0: skipped
    WriteFile(folder + QStringLiteral("QO.CAX"), QByteArray("junk"));

    const ScopedApplicationRunning running;
    ASSERT_TRUE(list().ImportOldCalendars(folder, D(2024, 5, 15)));
    ASSERT_EQ(list().TipCount(), 2);
    const T_CalendarTip* main = list().FindTip(0);
    const T_CalendarTip* second = list().FindTip(2);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(main->Name, QStringLiteral("Основной календарь"));
    EXPECT_EQ(second->Name, QStringLiteral("Календарь № 2"));
    EXPECT_EQ(second->Kind, ckMonthly);

    // Bin holds the imported calendars and nothing of the former ones.
    T_CalendarList fresh;
    ASSERT_EQ(fresh.TipCount(), 2);
    EXPECT_EQ(fresh.FindTip(1), nullptr);
    ASSERT_EQ(fresh.FindTip(0)->Count(), 1);
    const T_C_Table* table = fresh.FindTable(2, D(2024, 1, 1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->DateBeg, D(2024, 1, 1));
    EXPECT_EQ(table->DateEnd, D(2024, 12, 31));
    ASSERT_EQ(table->Count(), 12);
    const T_C_Line* june = table->GetLine(5);
    EXPECT_EQ(june->Num(), 6);
    EXPECT_EQ(june->DateBeg(), D(2024, 6, 1));
    EXPECT_EQ(june->DateEnd(), D(2024, 6, 30));
    EXPECT_DOUBLE_EQ(june->WorkDays(), 16);
    EXPECT_DOUBLE_EQ(june->WorkHours(), 86);
    EXPECT_DOUBLE_EQ(june->DayLength(), 4);
    EXPECT_DOUBLE_EQ(fresh.FindTable(0, D(2024, 12, 1))->GetLine(11)->WorkHours(), 172);
    EXPECT_EQ(CalendarRows().size(), 4);

    Calendar()->Select(2, D(2024, 6, 3));
    EXPECT_DOUBLE_EQ(Calendar()->GetWorkHours(), 86);
}

TEST_F(CalendarTest, WithoutTheMainCalendarNothingIsImported)
{
    MainOf2024();
    const QList<BinRow> before = CalendarRows();
    QTemporaryDir dir;
    WriteFile(dir.path() + QStringLiteral("/QO.CA3"), OldCalendar(10, 80, 4));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Основной календарь не обнаружен"));
    EXPECT_FALSE(list().ImportOldCalendars(dir.path(), D(2024, 5, 15)));
    EXPECT_EQ(CalendarRows().size(), before.size());
    EXPECT_EQ(list().FindTip(0)->Name, QStringLiteral("Основной календарь"));

    // A file that lacks a month's variable stops the import before any write.
    WriteFile(dir.path() + QStringLiteral("/QO.CAL"), OldCalendar(20, 160, 8).left(3 * 40));
    EXPECT_EQ(MessageOf<EAppException>([&] { list().ImportOldCalendars(dir.path(), D(2024, 5, 15)); }),
        QStringLiteral("MemVar \"CALENDAY02\" not found"));
    EXPECT_EQ(CalendarRows().size(), before.size());
}

} // namespace
