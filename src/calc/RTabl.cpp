#include "calc/RTabl.h"

#include "data/DatModl.h"
#include "data/Money.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Transaction.h"
#include "foundation/Stream.h"
#include "foundation/TaggedStream.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace {

const QString kBin = QStringLiteral("Bin");

enum : int { kHeaderRow = 0, kTableRow = 1 };

// The smallest line in a stream: its version and the closing tag.
constexpr int64_t kMinLineBytes = 2;

QList<Variant> RtKey(qint32 vid) { return {Variant(int(binCalcTables)), Variant(vid)}; }
QList<Variant> RtKey(qint32 vid, qint32 tip) { return {Variant(int(binCalcTables)), Variant(vid), Variant(tip)}; }
QList<Variant> RtKey(qint32 vid, qint32 tip, int subTip)
{
    return {Variant(int(binCalcTables)), Variant(vid), Variant(tip), Variant(subTip)};
}

void OpenBin(Cursor& bin)
{
    bin.SetIndexName(BinIndexName());
    bin.Open();
}

// Money is kept to 4 decimals, as the old runtime's currency held it.
Currency ReadMoney(TStream& stream) { return Currency::FromDouble(ReadDouble(stream)); }

void CancelEdit(Cursor& bin) noexcept
{
    try {
        if (bin.State() == CursorState::Edit || bin.State() == CursorState::Insert)
            bin.Cancel();
    } catch (...) {
    }
}

} // namespace

// ---------------------------------------------------------------- T_RtLine

void T_RtLine::LoadData(TStream& stream)
{
    if (ReadByte(stream) != 0)
        throw EAppException(QStringLiteral("T_RtLine.LoadData: Ошибка версии"));
    for (;;) {
        switch (ReadByte(stream)) {
        case 0: return;
        case 1: Lower = ReadDouble(stream); break;
        case 2: Sum = ReadDouble(stream); break;
        case 3: Proc = ReadDouble(stream); break;
        default: throw EAppException(QStringLiteral("T_RtLine.LoadData: Неизвестный тип свойства"));
        }
    }
}

void T_RtLine::SaveData(TStream& stream) const
{
    WriteByte(stream, 0);
    WriteByte(stream, 1);
    WriteDouble(stream, Lower);
    WriteByte(stream, 2);
    WriteDouble(stream, Sum);
    WriteByte(stream, 3);
    WriteDouble(stream, Proc);
    WriteByte(stream, 0);
}

// ---------------------------------------------------------------- T_RtTable

T_RtLine* T_RtTable::AddLine()
{
    auto* line = new T_RtLine;
    AddObject(line);
    return line;
}

void T_RtTable::Reset()
{
    Clear();
    ByYear = false;
    Sum = Currency();
    SumMinZp = Currency();
    CursValut = 0;
    KMinZp = 0;
    Metod = 0;
    YearBeg = 0;
    YearEnd = 0;
    Unreadable = false;
}

void T_RtTable::LoadData(TStream& stream)
{
    Reset();
    if (ReadByte(stream) != 0) {
        Unreadable = true;
        return;
    }
    for (bool more = true; more;) {
        switch (ReadByte(stream)) {
        case 0: more = false; break;
        case 1: ByYear = ReadBoolean(stream); break;
        case 2: Sum = ReadMoney(stream); break;
        case 3: SumMinZp = ReadMoney(stream); break;
        case 4: CursValut = ReadDouble(stream); break;
        case 5: KMinZp = ReadInteger(stream); break;
        case 6: Metod = ReadInteger(stream); break;
        case 7: YearBeg = ReadDateTime(stream); break;
        case 8: YearEnd = ReadDateTime(stream); break;
        default: throw EAppException(QStringLiteral("T_RtTable.Load: Неизвестный тип свойства"));
        }
    }
    const int32_t count = ReadInteger(stream);
    // A damaged count must not make the list reserve gigabytes.
    if (count < 0 || count > (stream.Size() - stream.Position()) / kMinLineBytes)
        throw EReadError(QStringLiteral("Stream read error"));
    for (int32_t i = 0; i < count; ++i)
        AddLine()->LoadData(stream);
}

void T_RtTable::SaveData(TStream& stream) const
{
    WriteByte(stream, 0);
    WriteByte(stream, 1);
    WriteBoolean(stream, ByYear);
    WriteByte(stream, 2);
    WriteDouble(stream, Sum.ToDouble());
    WriteByte(stream, 3);
    WriteDouble(stream, SumMinZp.ToDouble());
    WriteByte(stream, 4);
    WriteDouble(stream, CursValut);
    WriteByte(stream, 5);
    WriteInteger(stream, KMinZp);
    WriteByte(stream, 6);
    WriteInteger(stream, Metod);
    WriteByte(stream, 7);
    WriteDateTime(stream, YearBeg);
    WriteByte(stream, 8);
    WriteDateTime(stream, YearEnd);
    WriteByte(stream, 0);
    WriteInteger(stream, Count());
    for (const T_RtLine* line : *this)
        line->SaveData(stream);
}

QByteArray T_RtTable::SaveToBytes() const
{
    TMemoryStream stream;
    SaveData(stream);
    return stream.Bytes();
}

void T_RtTable::LoadFromRow(Cursor& row)
{
    if (row.FieldByName(QStringLiteral("SUBTIP")).AsInteger() != kTableRow)
        throw EAppException(QStringLiteral("T_RtTable.LoadField 001"));
    Prim = row.FieldByName(QStringLiteral("PRIM")).AsInt64();
    Vid = row.FieldByName(QStringLiteral("VID")).AsInteger();
    Tip = row.FieldByName(QStringLiteral("TIP")).AsInteger();
    DateBeg = row.FieldByName(QStringLiteral("DATEBEG")).AsDateTime();
    DateEnd = row.FieldByName(QStringLiteral("DATEEND")).AsDateTime();
    TMemoryStream stream(row.FieldByName(QStringLiteral("INFO")).AsBlob());
    LoadData(stream);
}

void T_RtTable::WriteRow(Cursor& row) const
{
    row.FieldByName(QStringLiteral("DATEBEG")).SetDateTime(DateBeg);
    row.FieldByName(QStringLiteral("DATEEND")).SetDateTime(DateEnd);
    row.FieldByName(QStringLiteral("INFO")).SetBlob(SaveToBytes());
}

bool T_RtTable::LoadForDate()
{
    Cursor bin(kBin);
    OpenBin(bin);
    if (!BinFindValid(bin, binCalcTables, Vid, Tip, kTableRow, DateBeg)) {
        // Every table starts later: the earliest one.
        BinSetRange(bin, RtKey(Vid, Tip, kTableRow));
        if (bin.IsEmpty())
            return false;
        bin.First();
    }
    LoadFromRow(bin);
    return true;
}

// ---------------------------------------------------------------- T_RtTip

qint32 T_RtTip::Vid() const { return Owner != nullptr ? Owner->Vid : 0; }

void T_RtTip::LoadData(Cursor& row)
{
    if (row.FieldByName(QStringLiteral("SUBTIP")).AsInteger() != kHeaderRow)
        throw EAppException(QStringLiteral("T_RtTip.LoadData - 001"));
    Tip = row.FieldByName(QStringLiteral("TIP")).AsInteger();
    TMemoryStream stream(row.FieldByName(QStringLiteral("INFO")).AsBlob());
    LoadStream(stream);
}

void T_RtTip::LoadStream(TStream& stream)
{
    Naim.clear();
    Unreadable = false;
    if (ReadByte(stream) != 0) {
        Unreadable = true;
        return;
    }
    for (;;) {
        switch (ReadByte(stream)) {
        case 0: return;
        case 1: Naim = ReadString(stream); break;
        default: throw EAppException(QStringLiteral("T_RtTip.LoadData: Неизвестный тип свойства"));
        }
    }
}

void T_RtTip::SaveStream(TStream& stream) const
{
    WriteByte(stream, 0);
    WriteByte(stream, 1);
    WriteStr(stream, Naim);
    WriteByte(stream, 0);
}

void T_RtTip::Load()
{
    Clear();
    Unreadable = false;
    {
        Cursor bin(kBin);
        OpenBin(bin);
        if (bin.FindKey(RtKey(Vid(), Tip, kHeaderRow)))
            LoadData(bin);
    }
    LoadTables();
}

void T_RtTip::LoadTables()
{
    Clear();
    Cursor bin(kBin);
    OpenBin(bin);
    BinSetRange(bin, RtKey(Vid(), Tip, kTableRow));
    for (bin.First(); !bin.Eof(); bin.Next()) {
        auto* table = new T_RtTable;
        try {
            table->LoadFromRow(bin);
        } catch (...) {
            delete table;
            throw;
        }
        Unreadable = Unreadable || table->Unreadable;
        AddObject(table);
    }
    ChainDates();
}

void T_RtTip::ChainDates()
{
    std::vector<T_RtTable*> tables(begin(), end());
    std::stable_sort(tables.begin(), tables.end(), [](T_RtTable* a, T_RtTable* b) { return a->DateBeg < b->DateBeg; });
    for (size_t i = 0; i < tables.size(); ++i)
        tables[i]->DateEnd = i + 1 < tables.size() ? tables[i + 1]->DateBeg - 1 : kRtOpenDate;
}

T_RtTable* T_RtTip::AddTable()
{
    auto* table = new T_RtTable;
    table->Vid = Vid();
    table->Tip = Tip;
    AddObject(table);
    return table;
}

void T_RtTip::Save()
{
    bool unreadable = Unreadable;
    QSet<TDateTime> dates;
    for (const T_RtTable* table : *this) {
        unreadable = unreadable || table->Unreadable;
        if (dates.contains(table->DateBeg))
            throw EAppException(Format(
                QStringLiteral("Две таблицы типа \"%s\" начинаются с одной даты %s"), Naim, DateToStr(table->DateBeg)));
        dates.insert(table->DateBeg);
    }
    // What could not be read would be written back empty.
    if (unreadable)
        throw EAppException(Format(
            QStringLiteral("Тип таблиц расчета \"%s\" начисления №%d записан другой версией программы и не может быть "
                           "сохранен"),
            Naim, Vid()));
    ChainDates();

    const qint32 vid = Vid();
    QSet<qint64> kept;
    for (const T_RtTable* table : *this)
        if (table->Prim != 0)
            kept.insert(table->Prim);
    std::vector<qint64> prims;
    {
        Cursor bin(kBin);
        OpenBin(bin);
        Transaction tx({&bin});
        try {
            TMemoryStream header;
            SaveStream(header);
            if (bin.FindKey(RtKey(vid, Tip, kHeaderRow))) {
                bin.Edit();
            } else {
                bin.Append();
                bin.FieldByName(QStringLiteral("CLASS")).SetInteger(binCalcTables);
                bin.FieldByName(QStringLiteral("VID")).SetInteger(vid);
                bin.FieldByName(QStringLiteral("TIP")).SetInteger(Tip);
                bin.FieldByName(QStringLiteral("SUBTIP")).SetInteger(kHeaderRow);
                bin.FieldByName(QStringLiteral("DATEBEG")).SetDateTime(0);
            }
            bin.FieldByName(QStringLiteral("INFO")).SetBlob(header.Bytes());
            StampUser(bin);
            bin.Post();

            // The rows of tables no longer in the type go.
            QList<qint64> gone;
            BinSetRange(bin, RtKey(vid, Tip, kTableRow));
            const Field prim = bin.FieldByName(QStringLiteral("PRIM"));
            for (bin.First(); !bin.Eof(); bin.Next())
                if (!kept.contains(prim.AsInt64()))
                    gone << prim.AsInt64();
            bin.SetIndexName(QString());
            for (qint64 p : gone)
                if (bin.FindKey({Variant(p)}))
                    bin.Delete();

            // A kept table is written through its own row, whatever its date now.
            for (T_RtTable* table : *this) {
                bool own = table->Prim != 0 && bin.FindKey({Variant(table->Prim)});
                if (own) {
                    const TBinKey key = BinCurrent(bin).Key;
                    own = key.Class == binCalcTables && key.Vid == vid && key.Tip == Tip && key.SubTip == kTableRow;
                }
                if (own) {
                    bin.Edit();
                } else {
                    bin.Append();
                    bin.FieldByName(QStringLiteral("CLASS")).SetInteger(binCalcTables);
                    bin.FieldByName(QStringLiteral("VID")).SetInteger(vid);
                    bin.FieldByName(QStringLiteral("TIP")).SetInteger(Tip);
                    bin.FieldByName(QStringLiteral("SUBTIP")).SetInteger(kTableRow);
                }
                table->WriteRow(bin);
                StampUser(bin);
                bin.Post();
                prims.push_back(prim.AsInt64());
            }
        } catch (...) {
            CancelEdit(bin);
            throw;
        }
        tx.Commit();
    }
    for (int i = 0; i < Count(); ++i) {
        T_RtTable* table = Item(i);
        table->Prim = prims[size_t(i)];
        table->Vid = vid;
        table->Tip = Tip;
    }
    DbSession::RefreshAll(kBin);
}

void T_RtTip::DeleteFromBase()
{
    {
        Cursor bin(kBin);
        OpenBin(bin);
        Transaction tx({&bin});
        BinSetRange(bin, RtKey(Vid(), Tip));
        while (!bin.IsEmpty()) {
            bin.First();
            bin.Delete();
        }
        tx.Commit();
    }
    for (T_RtTable* table : *this)
        table->Prim = 0;
    DbSession::RefreshAll(kBin);
}

// ---------------------------------------------------------------- T_RtList

T_RtList::~T_RtList() { Clear(); }

void T_RtList::Load()
{
    Clear();
    Cursor bin(kBin);
    OpenBin(bin);
    BinSetRange(bin, RtKey(Vid));
    const Field subTip = bin.FieldByName(QStringLiteral("SUBTIP"));
    for (bin.First(); !bin.Eof(); bin.Next()) {
        if (subTip.AsInteger() != kHeaderRow)
            continue;
        auto* tip = new T_RtTip(this);
        try {
            tip->LoadData(bin);
            tip->LoadTables();
        } catch (...) {
            delete tip;
            throw;
        }
        AddObject(tip);
    }
}

void T_RtList::FillStrings(TStringItems& strings) const
{
    strings.clear();
    for (const T_RtTip* tip : *this)
        strings.append({tip->Naim, tip->Tip});
}

int T_RtList::IndexOfTip(qint32 tip) const
{
    for (int i = 0; i < Count(); ++i)
        if (Item(i)->Tip == tip)
            return i;
    return -1;
}

T_RtTip* T_RtList::FindTip(qint32 tip) const
{
    const int i = IndexOfTip(tip);
    return i >= 0 ? Item(i) : nullptr;
}

T_RtTip* T_RtList::AddTip()
{
    qint32 number = 1;
    while (FindTip(number) != nullptr)
        ++number;
    auto* tip = new T_RtTip(this);
    tip->Tip = number;
    AddObject(tip);
    return tip;
}

// ---------------------------------------------------------------- the calculation by table

double RtScaleAmount(const T_RtTable& table, double base, qint32 dopNum)
{
    const int count = table.Count();
    if (count < 1)
        return 0;
    if (IsZero(table.CursValut))
        throw EAppException(Format(QStringLiteral("Неверный курс валюты в таблице расчета начисления №%d"), dopNum));
    const double exempt = (table.KMinZp * table.SumMinZp.ToDouble() + table.Sum.ToDouble()) * table.CursValut;
    const double amount = RoundToKop((base - exempt) / table.CursValut);
    if (amount <= 0)
        return 0;
    double result = 0;
    for (int i = 0; i < count; ++i) {
        const T_RtLine& line = *table.Item(i);
        const double lower = i == 0 ? 0 : line.Lower;
        if (i == count - 1 || (amount >= lower && table.Item(i + 1)->Lower > amount)) {
            result = line.Sum + (amount - lower) * line.Proc / 100;
            break;
        }
    }
    return RoundToKop(result * table.CursValut);
}

const T_RtTable* T_Rt::FindTable(TDateTime date) const
{
    if (List == nullptr)
        return nullptr;
    const T_RtTip* first = nullptr;
    for (const T_RtTip* tip : *List) {
        if (first == nullptr || tip->Tip < first->Tip)
            first = tip;
    }
    if (first == nullptr)
        return nullptr;
    for (const T_RtTable* table : *first) {
        if (table->DateBeg <= date && date <= table->DateEnd)
            return table;
    }
    return nullptr;
}

bool T_Rt::Calc(TDateTime date, double base, T_RtResult& result) const
{
    result.Base = base;
    result.Amount = 0;
    result.Tip = 0;
    result.DateBeg = 0;
    const T_RtTable* table = FindTable(date);
    if (table == nullptr)
        return false;
    result.Tip = table->Tip;
    result.DateBeg = table->DateBeg;
    result.Amount = RtScaleAmount(*table, base, result.DopNum);
    return true;
}
