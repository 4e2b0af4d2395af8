#include "reports/RasVed.h"

#include "data/DatModl.h"
#include "data/Money.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "foundation/Stream.h"
#include "foundation/TaggedStream.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <memory>

namespace {

const QString kBin = QStringLiteral("Bin");

// The smallest column: version, position, an empty short name, its count.
constexpr int64_t kMinColumnBytes = 1 + 4 + 2 + 4;
constexpr int64_t kNumberBytes = 4;

void CheckVersion(TStream& stream)
{
    if (ReadByte(stream) != 1)
        throw EAppException(QStringLiteral("Неверная версия"));
}

// A count from the stream that its remaining bytes cannot hold is damage:
// refused before it sizes anything.
int32_t ReadCount(TStream& stream, int64_t itemBytes)
{
    const int32_t count = ReadInteger(stream);
    if (count < 0 || count > (stream.Size() - stream.Position()) / itemBytes)
        throw EAppException(QStringLiteral("Stream read error"));
    return count;
}

void OpenBin(Cursor& bin)
{
    bin.SetIndexName(BinIndexName());
    bin.Open();
}

// The cursor stands on index "INFO"; a leading-part key.
bool FindRasVed(Cursor& bin, qint32 number) { return bin.FindKey({Variant(int(binPaySheets)), Variant(number)}); }

void CancelEdit(Cursor& bin) noexcept
{
    try {
        if (bin.State() == CursorState::Edit || bin.State() == CursorState::Insert)
            bin.Cancel();
    } catch (...) {
    }
}

// The value and its sign part, magnitudes for the negative one.
void AddSigned(double value, double& plus, double& minus)
{
    if (value >= 0)
        plus += value;
    else
        minus -= value;
}

} // namespace

// ---------------------------------------------------------------- T_RasVedItem

void T_RasVedItem::LoadData(TStream& stream)
{
    CheckVersion(stream);
    Number = ReadInteger(stream);
    Name = ReadString(stream);
    const int32_t count = ReadCount(stream, kNumberBytes);
    Clear();
    SetCapacity(count);
    for (int32_t i = 0; i < count; ++i)
        AddInteger(ReadInteger(stream));
}

void T_RasVedItem::SaveData(TStream& stream) const
{
    WriteByte(stream, 1);
    WriteInteger(stream, Number);
    WriteStr(stream, Name);
    WriteInteger(stream, Count());
    for (int i = 0; i < Count(); ++i)
        WriteInteger(stream, GetInteger(i));
}

// ---------------------------------------------------------------- T_RasVedBase

T_RasVedBase::~T_RasVedBase() { T_RasVedBase::Clear(); }

void T_RasVedBase::LoadFromBytes(const QByteArray& info)
{
    TMemoryStream stream(info);
    CheckVersion(stream);
    const qint32 number = ReadInteger(stream);
    const QString name = ReadString(stream);
    const int32_t count = ReadCount(stream, kMinColumnBytes);
    T_yqOwnerListOf<T_RasVedItem> columns;
    for (int32_t i = 0; i < count; ++i) {
        auto column = std::make_unique<T_RasVedItem>();
        column->LoadData(stream);
        columns.AddObject(column.release());
    }
    Clear();
    Number = number;
    Name = name;
    while (columns.Count() > 0)
        AddObject(columns.ExtractItem(0));
}

QByteArray T_RasVedBase::SaveToBytes() const
{
    TMemoryStream stream;
    WriteByte(stream, 1);
    WriteInteger(stream, Number);
    WriteStr(stream, Name);
    WriteInteger(stream, Count());
    for (const T_RasVedItem* column : *this)
        column->SaveData(stream);
    return stream.Bytes();
}

void T_RasVedBase::LoadFromTable(Cursor& bin)
{
    const TBinObject row = BinCurrent(bin);
    LoadFromBytes(row.Info);
    Number = row.Key.Vid;
}

// ---------------------------------------------------------------- T_RasVed

T_RasVed::T_RasVed() = default;

T_RasVed::~T_RasVed() { T_RasVed::Clear(); }

void T_RasVed::LoadByNumber(qint32 number)
{
    if (number == -1)
        return;
    Cursor bin(kBin);
    OpenBin(bin);
    if (!FindRasVed(bin, number))
        throw EAppException(Format(QStringLiteral("Не найдена расчетная ведомость №%d"), number));
    LoadFromTable(bin);
}

bool T_RasVed::Exists(qint32 number)
{
    Cursor bin(kBin);
    OpenBin(bin);
    return FindRasVed(bin, number);
}

void T_RasVed::Save()
{
    {
        Cursor bin(kBin);
        OpenBin(bin);
        Transaction tx({&bin});
        if (Number == -1) {
            qint32 number = 1;
            while (FindRasVed(bin, number)) {
                if (++number > kMaxRasVedNumber)
                    throw EAppException(QStringLiteral("Превышен допустимый предел количества таблиц расчета"));
            }
            Number = number;
        }
        const bool found = FindRasVed(bin, Number);
        if (Count() == 0) {
            if (found)
                bin.Delete();
        } else {
            for (int i = 0; i < Count(); ++i)
                Column(i)->Number = i + 1;
            try {
                if (found) {
                    bin.Edit();
                } else {
                    bin.Append();
                    bin.FieldByName(QStringLiteral("CLASS")).SetInteger(binPaySheets);
                    bin.FieldByName(QStringLiteral("VID")).SetInteger(Number);
                    bin.FieldByName(QStringLiteral("TIP")).SetInteger(0);
                    bin.FieldByName(QStringLiteral("SUBTIP")).SetInteger(0);
                }
                bin.FieldByName(QStringLiteral("INFO")).SetBlob(SaveToBytes());
                StampUser(bin);
                bin.Post();
            } catch (...) {
                CancelEdit(bin);
                throw;
            }
        }
        tx.Commit();
    }
    DbSession::RefreshAll(kBin);
}

T_RasVedItem* T_RasVed::AddColumn()
{
    auto* column = new T_RasVedItem;
    AddObject(column);
    return column;
}

void T_RasVed::AssignColumns(const T_RasVedBase& source)
{
    Clear();
    for (const T_RasVedItem* from : source) {
        T_RasVedItem* column = AddColumn();
        for (int i = 0; i < from->Count(); ++i)
            column->AddInteger(from->GetInteger(i));
    }
}

void T_RasVed::SetPercent(double value)
{
    PercentOn = !IsZero(value) && !IsZero(value - 100);
    Rate = PercentOn ? value / 100 : 1.0;
}

double T_RasVed::Round(double x) const
{
    if (PercentOn)
        x *= Rate;
    return RoundByMoney && x >= 0 ? RoundMoney(x) : RoundToKop(x);
}

void T_RasVed::ClearEmployee()
{
    PD = PU = VSP = VNACH = VUDER = VSEGO = 0;
    for (T_RasVedItem* column : *this)
        column->V = 0;
}

void T_RasVed::ClearDepartment()
{
    SPD = SPU = SVSP = SVNACH = SVUDER = SVSEGO = 0;
    SVSPP = SVSPM = SVSEGOP = SVSEGOM = 0;
    for (T_RasVedItem* column : *this)
        column->S = 0;
}

void T_RasVed::ClearEnterprise()
{
    PSPD = PSPU = PSVSP = PSVNACH = PSVUDER = PSVSEGO = 0;
    PSVSPP = PSVSPM = PSVSEGOP = PSVSEGOM = 0;
    for (T_RasVedItem* column : *this)
        column->P = 0;
}

void T_RasVed::ClearTotals()
{
    ClearEmployee();
    ClearDepartment();
    ClearEnterprise();
}

void T_RasVed::Clear()
{
    T_RasVedBase::Clear();
    ClearTotals();
}

void T_RasVed::AddTabn(const T_TabnDopList& rows)
{
    ClearEmployee();
    if (rows.Count() == 0)
        return;
    // Classified by number, not by the rows' order: reserved rows sort last
    // only while the directory knows every ordinary kind.
    for (const T_TabnDop* row : rows) {
        const double sum = row->Sum.ToDouble();
        if (!IsReservedDopNum(row->DopNum)) {
            T_RasVedItem* target = Find([&](T_RasVedItem* c) { return c->IndexOfInteger(row->DopNum) >= 0; });
            if (target != nullptr)
                target->V += sum;
            else if (row->Uder)
                PU += sum;
            else
                PD += sum;
            continue;
        }
        switch (row->DopNum) {
        case dnBegin:
            VSP = sum;
            SVSP += sum;
            PSVSP += sum;
            AddSigned(sum, SVSPP, SVSPM);
            AddSigned(sum, PSVSPP, PSVSPM);
            break;
        case dnNachis:
            VNACH = sum;
            SVNACH += sum;
            PSVNACH += sum;
            break;
        case dnUder:
            VUDER = sum;
            SVUDER += sum;
            PSVUDER += sum;
            break;
        case dnVsego:
            VSEGO = Round(sum);
            SVSEGO += VSEGO;
            PSVSEGO += VSEGO;
            AddSigned(VSEGO, SVSEGOP, SVSEGOM);
            AddSigned(VSEGO, PSVSEGOP, PSVSEGOM);
            break;
        default: break;
        }
    }
    for (T_RasVedItem* column : *this) {
        column->V = Round(column->V);
        column->S += column->V;
        column->P += column->V;
    }
    SPD += PD;
    PSPD += PD;
    SPU += PU;
    PSPU += PU;
}

// ---------------------------------------------------------------- T_RasVedList

T_RasVedList::~T_RasVedList() { Clear(); }

void T_RasVedList::LoadAll()
{
    Clear();
    QStringList failed;
    {
        Cursor bin(kBin);
        OpenBin(bin);
        BinSetRange(bin, {Variant(int(binPaySheets))});
        for (bin.First(); !bin.Eof(); bin.Next()) {
            auto ved = std::make_unique<T_RasVed>();
            try {
                ved->LoadFromTable(bin);
                AddObject(ved.release());
            } catch (const Exception& e) {
                failed << QStringLiteral("Ошибка при загрузке настройки расчетной ведомости ")
                        + Format(QStringLiteral("№%d"), BinCurrent(bin).Key.Vid) + QStringLiteral("\r\n") + e.Message();
            }
        }
    }
    // Reported once the cursor is closed: a message must not hold the table.
    for (const QString& text : failed)
        ShowError(text);
}

T_RasVed* T_RasVedList::FindByNumber(qint32 number) const
{
    return Find([number](T_RasVed* ved) { return ved->Number == number; });
}
