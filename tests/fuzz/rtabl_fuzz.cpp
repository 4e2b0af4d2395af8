// The calculation tables' stored bytes. The first byte picks the reader:
//  - a table stream (T_RtTable::LoadData): what it accepts, written and
//    read again, is written to the same bytes; a table of another version
//    is empty;
//  - a type stream (T_RtTip::LoadStream): the name reads back as written;
//  - Bin rows of CLASS 4 loaded by T_RtList: rows of a kind byte (header or
//    table, type, accrual), a start day, a 2-byte length and the INFO
//    bytes. The list loads when every header and table of its accrual
//    reads, else it ends in a reader's error; loaded, every type has its
//    name and tables in date order, chained, and the table in force on a
//    date is the last one begun by then, else the earliest.
// A reader's error is its own message, a stream cut short, or a money
// value beyond the currency's range (as the old runtime refused it).

#include "FuzzSupport.h"

#include "calc/RTabl.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/Stream.h"
#include "platform/Exceptions.h"

#include <QtEndian>

#include <map>
#include <tuple>

namespace {

constexpr qint32 kVid = 250;

bool OwnError(const Exception& e)
{
    if (dynamic_cast<const EReadError*>(&e) != nullptr || dynamic_cast<const EMathError*>(&e) != nullptr)
        return true;
    return dynamic_cast<const EAppException*>(&e) != nullptr
        && (e.Message() == QStringLiteral("T_RtLine.LoadData: Ошибка версии")
            || e.Message().endsWith(QStringLiteral(": Неизвестный тип свойства")));
}

// The table the bytes make, written again; empty when they are refused.
QByteArray TableBytes(const QByteArray& info, bool* unreadable = nullptr)
{
    T_RtTable table;
    TMemoryStream s(info);
    try {
        table.LoadData(s);
    } catch (const Exception& e) {
        FuzzCheck(OwnError(e), "a damaged table ends in the reader's error", e.Message());
        return QByteArray();
    }
    if (unreadable != nullptr)
        *unreadable = table.Unreadable;
    return table.SaveToBytes();
}

void TableStream(const QByteArray& bytes)
{
    T_RtTable table;
    TMemoryStream s(bytes);
    try {
        table.LoadData(s);
    } catch (const Exception& e) {
        FuzzCheck(OwnError(e), "a damaged table ends in the reader's error", e.Message());
        return;
    }
    FuzzCheck(s.Position() <= s.Size(), "a read never passes the end");
    if (table.Unreadable) {
        FuzzCheck(
            table.Count() == 0 && table.Sum == Currency() && table.Metod == 0, "a table of another version is empty");
        return;
    }
    const QByteArray once = table.SaveToBytes();
    T_RtTable again;
    TMemoryStream s2(once);
    again.LoadData(s2);
    FuzzCheck(s2.Position() == s2.Size(), "a written table is read to its end");
    FuzzCheck(again.SaveToBytes() == once, "a table read back is written to the same bytes",
        QString::fromLatin1(bytes.toHex()));
}

void TypeStream(const QByteArray& bytes)
{
    T_RtTip tip;
    TMemoryStream s(bytes);
    try {
        tip.LoadStream(s);
    } catch (const Exception& e) {
        FuzzCheck(OwnError(e), "a damaged type ends in the reader's error", e.Message());
        return;
    }
    if (tip.Unreadable) {
        FuzzCheck(tip.Naim.isEmpty(), "a type of another version is empty");
        return;
    }
    TMemoryStream out;
    tip.SaveStream(out);
    out.SetPosition(0);
    T_RtTip again;
    again.LoadStream(out);
    FuzzCheck(again.Naim == tip.Naim && !again.Unreadable, "a type reads back as written");
}

struct Stored {
    std::map<std::tuple<int, int>, QByteArray> headers; // by accrual, type
    std::map<std::tuple<int, int, int>, QByteArray> tables; // by accrual, type, start day
};

Stored WriteRows(FuzzInput& in)
{
    Stored stored;
    FuzzClearBinClass(binCalcTables);
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    while (!in.Empty()) {
        const uint8_t kind = in.Byte();
        TBinKey key;
        key.Class = binCalcTables;
        key.SubTip = kind % 2; // 0 the header, 1 a table
        key.Tip = (kind >> 1) % 3 + 1;
        key.Vid = (kind >> 3) % 2 == 0 ? kVid : kVid + 1;
        const QByteArray day = in.Bytes(2).leftJustified(2, '\0');
        const int dateBeg = key.SubTip == 0 ? 0 : qFromLittleEndian<quint16>(day.constData());
        key.DateBeg = dateBeg;
        const QByteArray len = in.Bytes(2).leftJustified(2, '\0');
        const QByteArray info = in.Bytes(qFromLittleEndian<quint16>(len.constData()));
        BinWrite(bin, key, 0, info);
        if (key.SubTip == 0)
            stored.headers[{key.Vid, key.Tip}] = info;
        else
            stored.tables[{key.Vid, key.Tip, dateBeg}] = info;
    }
    return stored;
}

// Every header of the accrual and every table of its types reads.
bool AllRead(const Stored& stored)
{
    for (const auto& [key, info] : stored.headers) {
        if (std::get<0>(key) != kVid)
            continue;
        T_RtTip tip;
        TMemoryStream s(info);
        try {
            tip.LoadStream(s);
        } catch (const Exception& e) {
            FuzzCheck(OwnError(e), "a damaged type ends in the reader's error", e.Message());
            return false;
        }
        for (const auto& [t, tinfo] : stored.tables)
            if (std::get<0>(t) == kVid && std::get<1>(t) == std::get<1>(key) && TableBytes(tinfo).isEmpty())
                return false;
    }
    return true;
}

void Rows(FuzzInput& in)
{
    const Stored stored = WriteRows(in);
    const bool sound = AllRead(stored);
    T_RtList list;
    list.Vid = kVid;
    try {
        list.Load();
    } catch (const Exception& e) {
        FuzzCheck(!sound, "sound tables load", e.Message());
        FuzzCheck(OwnError(e), "damaged tables end in the reader's error", e.Message());
        return;
    }
    FuzzCheck(sound, "damaged tables are not loaded");

    int types = 0;
    for (const auto& [key, info] : stored.headers)
        types += std::get<0>(key) == kVid ? 1 : 0;
    FuzzCheck(list.Count() == types, "every type of the accrual loads, and only those");
    for (const T_RtTip* tip : list) {
        T_RtTip header;
        TMemoryStream s(stored.headers.at({kVid, tip->Tip}));
        header.LoadStream(s);
        FuzzCheck(tip->Naim == header.Naim, "a type has its stored name");
        bool unreadable = header.Unreadable;
        int i = 0;
        for (const auto& [t, info] : stored.tables) {
            if (std::get<0>(t) != kVid || std::get<1>(t) != tip->Tip)
                continue;
            FuzzCheck(i < tip->Count(), "a type has every stored table");
            const T_RtTable* table = tip->GetTable(i++);
            bool tableUnreadable = false;
            FuzzCheck(table->DateBeg == std::get<2>(t) && table->SaveToBytes() == TableBytes(info, &tableUnreadable),
                "a table is loaded from its row, in date order");
            FuzzCheck(table->Unreadable == tableUnreadable, "a table of another version is marked");
            unreadable = unreadable || tableUnreadable;
            const TDateTime end = i < tip->Count() ? tip->GetTable(i)->DateBeg - 1 : kRtOpenDate;
            FuzzCheck(table->DateEnd == end, "a table ends the day before the next begins");
        }
        FuzzCheck(i == tip->Count(), "a type has only its stored tables");
        FuzzCheck(tip->Unreadable == unreadable, "a type with an unreadable part is marked");

        // The table in force on each first day and the day before it.
        for (int j = 0; j < tip->Count(); ++j)
            for (const TDateTime date : {tip->GetTable(j)->DateBeg, tip->GetTable(j)->DateBeg - 1}) {
                const T_RtTable* want = tip->GetTable(0);
                for (const T_RtTable* t : *tip)
                    if (t->DateBeg <= date)
                        want = t;
                T_RtTable found;
                found.Vid = kVid;
                found.Tip = tip->Tip;
                found.DateBeg = date;
                FuzzCheck(found.LoadForDate(), "a type with tables has one in force");
                FuzzCheck(found.DateBeg == want->DateBeg && found.SaveToBytes() == want->SaveToBytes(),
                    "the table in force is the last begun by the date, else the earliest");
            }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzOpenDataBase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (in.Byte() % 3) {
    case 0: TableStream(in.Rest()); break;
    case 1: TypeStream(in.Rest()); break;
    default: Rows(in);
    }
    return 0;
}
