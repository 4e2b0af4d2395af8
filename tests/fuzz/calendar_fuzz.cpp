// The work calendars' stored bytes. The first byte picks the reader:
//  - a table stream (T_C_Table::LoadFromBytes): what it accepts is written
//    back to the same bytes; what it refuses leaves the table as it was;
//  - a header stream (T_CalendarTip::LoadHeader): the name and kind read
//    back as written, and the kind is always a known one;
//  - Bin rows of CLASS 1 loaded by T_CalendarList: rows of a kind byte
//    (header or table), a calendar number, a start day, a 2-byte length and
//    the INFO bytes. Every calendar whose header and tables read loads with
//    every table as stored; the others are reported in one message.

#include "FuzzSupport.h"

#include "data/Calendar.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/Stream.h"
#include "platform/Exceptions.h"

#include <QtEndian>

#include <map>
#include <utility>

namespace {

const QString kDataError = QStringLiteral("Ошибка данных календаря");
const QString kVersionError = QStringLiteral("Неподдерживаемая версия календаря");

void TableStream(const QByteArray& bytes)
{
    T_C_Table table;
    table.AddObject(new T_C_Line);
    const QByteArray before = table.SaveToBytes();
    try {
        table.LoadFromBytes(bytes);
    } catch (const EAppException& e) {
        FuzzCheck(e.Message() == kDataError || e.Message() == kVersionError, "a damaged table is refused by name",
            e.Message());
        FuzzCheck(table.SaveToBytes() == before, "a refused table keeps its lines");
        return;
    }
    FuzzCheck(!table.IsModified(), "a table read is not modified");
    FuzzCheck(table.SaveToBytes() == bytes, "a table is written back to its bytes", QString::fromLatin1(bytes.toHex()));
}

void HeaderStream(const QByteArray& bytes)
{
    T_CalendarTip tip;
    try {
        tip.LoadHeader(bytes);
    } catch (const EReadError&) {
        return;
    }
    FuzzCheck(tip.Kind >= ckMonthly && tip.Kind <= ckDays, "a calendar has a known kind");
    T_CalendarTip again;
    again.LoadHeader(tip.HeaderBytes());
    FuzzCheck(again.Name == tip.Name && again.Kind == tip.Kind, "a header reads back as written",
        QString::fromLatin1(bytes.toHex()));
}

// What the rows hold, the last write of a key winning as in Bin.
struct Stored {
    std::map<int, QByteArray> headers; // by number
    std::map<std::pair<int, int>, QByteArray> tables; // by number, start day
};

Stored WriteRows(FuzzInput& in)
{
    Stored stored;
    FuzzClearBinClass(binCalendars);
    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    while (!in.Empty()) {
        const uint8_t kind = in.Byte();
        TBinKey key;
        key.Class = binCalendars;
        key.Tip = kind % 2; // 1 the header, 0 a table
        key.Vid = (kind >> 1) % 4;
        const QByteArray day = in.Bytes(2).leftJustified(2, '\0');
        const int dateBeg = key.Tip == 1 ? 0 : qFromLittleEndian<quint16>(day.constData());
        key.DateBeg = dateBeg;
        const QByteArray len = in.Bytes(2).leftJustified(2, '\0');
        const QByteArray info = in.Bytes(qFromLittleEndian<quint16>(len.constData()));
        BinWrite(bin, key, 0, info);
        if (key.Tip == 1)
            stored.headers[key.Vid] = info;
        else
            stored.tables[{key.Vid, dateBeg}] = info;
    }
    return stored;
}

bool Reads(const Stored& stored, int number, const QByteArray& header)
{
    try {
        T_CalendarTip tip;
        tip.LoadHeader(header);
        for (const auto& [key, info] : stored.tables)
            if (key.first == number) {
                T_C_Table table;
                table.LoadFromBytes(info);
            }
    } catch (const Exception&) {
        return false;
    }
    return true;
}

void Rows(FuzzInput& in)
{
    const Stored stored = WriteRows(in);
    int sound = 0;
    for (const auto& [number, header] : stored.headers)
        sound += Reads(stored, number, header) ? 1 : 0;

    const int before = FuzzMessageCount();
    T_CalendarList list;
    FuzzCheck(list.TipCount() == sound, "every sound calendar loads",
        QStringLiteral("%1 of %2").arg(list.TipCount()).arg(sound));
    const int damaged = int(stored.headers.size()) - sound;
    FuzzCheck(FuzzMessageCount() - before == (damaged > 0 ? 1 : 0), "damaged calendars are reported once");

    for (int i = 0; i < list.TipCount(); ++i) {
        const T_CalendarTip* tip = list.GetTip(i);
        T_CalendarTip header;
        header.LoadHeader(stored.headers.at(tip->Number));
        FuzzCheck(tip->Name == header.Name && tip->Kind == header.Kind, "a calendar has its stored header");
        int t = 0;
        for (const auto& [key, info] : stored.tables) {
            if (key.first != tip->Number)
                continue;
            FuzzCheck(t < tip->Count(), "a calendar has every stored table");
            const T_C_Table* table = tip->GetTable(t++);
            FuzzCheck(table->DateBeg == key.second && table->Vid == tip->Number, "a table has its row's key");
            FuzzCheck(table->SaveToBytes() == info, "a table loaded from its row is written back to its bytes");
        }
        FuzzCheck(t == tip->Count(), "a calendar has only its stored tables");
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
    case 1: HeaderStream(in.Rest()); break;
    default: Rows(in);
    }
    return 0;
}
