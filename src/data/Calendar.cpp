#include "data/Calendar.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "db/Cursor.h"
#include "db/Session.h"
#include "db/Transaction.h"
#include "foundation/ClMem.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileList.h"
#include "foundation/Messages.h"
#include "foundation/TaggedStream.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QFileInfo>
#include <QSet>

#include <vector>

namespace {

const QString kBin = QStringLiteral("Bin");
const QString kUnsupportedVersion = QStringLiteral("Неподдерживаемая версия календаря");

constexpr int kTableHead = 5; // version byte, int32 count
constexpr int kLineSize = 45; // version byte, five doubles, int32

enum : int { tipTable = 0, tipHeader = 1 };

TBinKey HeaderKey(qint32 number)
{
    TBinKey key;
    key.Class = binCalendars;
    key.Vid = number;
    key.Tip = tipHeader;
    return key;
}

TBinKey TableKey(qint32 number, TDateTime dateBeg)
{
    TBinKey key;
    key.Class = binCalendars;
    key.Vid = number;
    key.Tip = tipTable;
    key.DateBeg = dateBeg;
    return key;
}

void OpenBin(Cursor& bin)
{
    bin.SetIndexName(BinIndexName());
    bin.Open();
}

void SetIfChanged(double& field, double value, bool& modified)
{
    if (field != value) {
        field = value;
        modified = true;
    }
}

} // namespace

// ---------------------------------------------------------------- T_C_Line

void T_C_Line::SetWorkHours(double value) { SetIfChanged(workHours_, value, Modified); }
void T_C_Line::SetWorkDays(double value) { SetIfChanged(workDays_, value, Modified); }
void T_C_Line::SetDayLength(double value) { SetIfChanged(dayLength_, value, Modified); }
void T_C_Line::SetDateBeg(TDateTime value) { SetIfChanged(dateBeg_, value, Modified); }
void T_C_Line::SetDateEnd(TDateTime value) { SetIfChanged(dateEnd_, value, Modified); }

void T_C_Line::SetNum(qint32 value)
{
    if (num_ != value) {
        num_ = value;
        Modified = true;
    }
}

// ---------------------------------------------------------------- T_C_Table

T_C_Table::T_C_Table(T_CalendarTip* owner) : owner_(owner)
{
    if (owner != nullptr)
        Vid = owner->Number;
}

T_C_Table::~T_C_Table() { T_yqOwnerListOf<T_C_Line>::Clear(); }

void T_C_Table::DisposeObject(TObject* obj)
{
    T_yqOwnerListOf<T_C_Line>::DisposeObject(obj);
    if (owner_ != nullptr && owner_->owner_ != nullptr)
        owner_->owner_->Touch();
}

T_C_Line* T_C_Table::FindLine(TDateTime date) const
{
    const int i = IndexOfLine(date);
    return i >= 0 ? Item(i) : nullptr;
}

int T_C_Table::IndexOfLine(TDateTime date) const
{
    for (int i = 0; i < Count(); ++i)
        if (Item(i)->Holds(date))
            return i;
    return -1;
}

bool T_C_Table::IsModified() const
{
    if (modified_)
        return true;
    for (const T_C_Line* line : *this)
        if (line->Modified)
            return true;
    return false;
}

void T_C_Table::SetModified(bool modified)
{
    modified_ = modified;
    if (!modified)
        for (T_C_Line* line : *this)
            line->Modified = false;
}

QByteArray T_C_Table::SaveToBytes() const
{
    if (Version != 1)
        throw EAppException(kUnsupportedVersion);
    TMemoryStream s;
    WriteByte(s, Version);
    WriteInteger(s, Count());
    for (const T_C_Line* line : *this) {
        WriteByte(s, 1);
        WriteDouble(s, line->workHours_);
        WriteDouble(s, line->workDays_);
        WriteDouble(s, line->dayLength_);
        WriteDateTime(s, line->dateBeg_);
        WriteDateTime(s, line->dateEnd_);
        WriteInteger(s, line->num_);
    }
    return s.Bytes();
}

void T_C_Table::LoadFromBytes(const QByteArray& bytes)
{
    TMemoryStream s(bytes);
    if (bytes.size() >= 1 && static_cast<quint8>(bytes[0]) != 1)
        throw EAppException(kUnsupportedVersion);
    if (bytes.size() < kTableHead)
        throw EAppException(QStringLiteral("Ошибка данных календаря"));
    ReadByte(s);
    const qint32 count = ReadInteger(s);
    // The size is checked first: a damaged count must not allocate.
    if (count < 0 || bytes.size() - kTableHead != qint64(count) * kLineSize)
        throw EAppException(QStringLiteral("Ошибка данных календаря"));
    std::vector<std::unique_ptr<T_C_Line>> lines;
    lines.reserve(size_t(count));
    for (qint32 i = 0; i < count; ++i) {
        if (ReadByte(s) != 1)
            throw EAppException(kUnsupportedVersion);
        auto line = std::make_unique<T_C_Line>();
        line->workHours_ = ReadDouble(s);
        line->workDays_ = ReadDouble(s);
        line->dayLength_ = ReadDouble(s);
        line->dateBeg_ = ReadDateTime(s);
        line->dateEnd_ = ReadDateTime(s);
        line->num_ = ReadInteger(s);
        lines.push_back(std::move(line));
    }
    Clear();
    Version = 1;
    for (auto& line : lines)
        AddObject(line.release());
    SetModified(false);
}

void T_C_Table::LoadFromRow(Cursor& bin)
{
    const TBinObject o = BinCurrent(bin);
    LoadFromBytes(o.Info);
    Vid = o.Key.Vid;
    DateBeg = o.Key.DateBeg;
    DateEnd = o.DateEnd;
}

void T_C_Table::RaiseNotFound() const
{
    throw EAppException(Format(QStringLiteral("Не найден календарь №%d  от \"%s\""), Vid, DateToStr(DateBeg)));
}

void T_C_Table::Reload()
{
    Cursor bin(kBin);
    OpenBin(bin);
    if (!BinFindKey(bin, TableKey(Vid, DateBeg)))
        RaiseNotFound();
    LoadFromRow(bin);
}

void T_C_Table::Save()
{
    if (!IsModified())
        return;
    const QByteArray info = SaveToBytes();
    Cursor bin(kBin);
    OpenBin(bin);
    BinWrite(bin, TableKey(Vid, DateBeg), DateEnd, info);
    SetModified(false);
}

void T_C_Table::DeleteFromBase()
{
    Cursor bin(kBin);
    OpenBin(bin);
    if (!BinFindKey(bin, TableKey(Vid, DateBeg)))
        RaiseNotFound();
    bin.Delete();
}

// ---------------------------------------------------------------- T_CalendarTip

T_CalendarTip::T_CalendarTip(quint8 kind, T_CalendarList* owner) : Kind(kind), owner_(owner) {}

T_CalendarTip::~T_CalendarTip() { T_yqOwnerListOf<T_C_Table>::Clear(); }

void T_CalendarTip::DisposeObject(TObject* obj)
{
    T_yqOwnerListOf<T_C_Table>::DisposeObject(obj);
    if (owner_ != nullptr)
        owner_->Touch();
}

QByteArray T_CalendarTip::HeaderBytes() const
{
    TMemoryStream s;
    WriteStr(s, Name);
    WriteByte(s, Kind);
    return s.Bytes();
}

void T_CalendarTip::LoadHeader(const QByteArray& bytes)
{
    TMemoryStream s(bytes);
    const QString name = ReadString(s);
    const quint8 kind = ReadByte(s);
    Name = name;
    Kind = kind >= ckMonthly && kind <= ckDays ? kind : quint8(ckMonthly);
}

void T_CalendarTip::Load()
{
    Clear();
    Cursor bin(kBin);
    OpenBin(bin);
    BinSetRange(bin, {Variant(int(binCalendars)), Variant(Number), Variant(int(tipTable))});
    for (bin.First(); !bin.Eof(); bin.Next()) {
        auto table = std::make_unique<T_C_Table>(this);
        table->LoadFromRow(bin);
        AddObject(table.release());
    }
}

void T_CalendarTip::Save()
{
    Cursor bin(kBin);
    OpenBin(bin);
    Transaction tx({&bin});
    BinWrite(bin, HeaderKey(Number), 0, HeaderBytes());
    for (T_C_Table* table : *this) {
        table->Vid = Number;
        table->Save();
    }
    tx.Commit();
}

void T_CalendarTip::DeleteFromBase()
{
    Cursor bin(kBin);
    OpenBin(bin);
    Transaction tx({&bin});
    BinSetRange(bin, {Variant(int(binCalendars)), Variant(Number)});
    while (!bin.IsEmpty())
        bin.Delete();
    tx.Commit();
}

T_C_Table* T_CalendarTip::FindTable(TDateTime date) const
{
    return Find([date](T_C_Table* t) { return t->Holds(date); });
}

T_C_Table* T_CalendarTip::AddTable(TDateTime dateBeg, TDateTime dateEnd, int n)
{
    if (Kind < ckMonthly || Kind > ckDays)
        throw EAppException(QStringLiteral("Неизвестный тип календаря"));
    // Both would be stored under one key: the second would overwrite the first.
    if (Find([dateBeg](T_C_Table* t) { return t->DateBeg == dateBeg; }) != nullptr)
        throw EAppException(
            Format(QStringLiteral("Календарь №%d уже имеет таблицу от \"%s\""), Number, DateToStr(dateBeg)));
    if (Kind == ckWeekly || n <= 0)
        n = 7;
    const double days = Kind == ckMonthly ? kMonthlyWorkDays : (n >= 7 ? n - 2 : n - 1);
    const double hours = Kind == ckMonthly ? kMonthlyWorkHours : days * kDefaultDayLength;
    auto table = std::make_unique<T_C_Table>(this);
    table->DateBeg = dateBeg;
    table->DateEnd = dateEnd;
    // Up to the last day included: a one-day table has its line.
    int num = 1;
    for (TDateTime d = dateBeg; d <= dateEnd; ++num) {
        auto line = std::make_unique<T_C_Line>();
        if (Kind == ckMonthly) {
            line->SetDateBeg(FirstDayOfMonth(d));
            line->SetDateEnd(LastDayOfMonth(d));
        } else {
            line->SetDateBeg(d);
            line->SetDateEnd(d + n - 1);
        }
        line->SetWorkDays(days);
        line->SetWorkHours(hours);
        line->SetDayLength(kDefaultDayLength);
        line->SetNum(num);
        line->Modified = true;
        d = line->DateEnd() + 1;
        table->AddObject(line.release());
    }
    table->SetModified(true);
    T_C_Table* made = table.get();
    AddObject(table.release());
    return made;
}

// ---------------------------------------------------------------- T_CalendarList

T_CalendarList::T_CalendarList() : calendar_(std::make_unique<T_Calendar>(this)) {}

T_CalendarList::~T_CalendarList() { FreeItems(); }

void T_CalendarList::FreeItems()
{
    Touch();
    T_yqOwnerListOf<T_CalendarTip>::Clear();
}

void T_CalendarList::Clear()
{
    FreeItems();
    Changed();
}

void T_CalendarList::Load()
{
    loaded_ = false;
    FreeItems();
    QStringList errors;
    {
        Cursor bin(kBin);
        OpenBin(bin);
        BinSetRange(bin, {Variant(int(binCalendars))});
        for (bin.First(); !bin.Eof(); bin.Next()) {
            const TBinObject o = BinCurrent(bin);
            if (o.Key.Tip != tipHeader || o.Key.SubTip != 0)
                continue;
            auto tip = std::make_unique<T_CalendarTip>(ckMonthly, this);
            tip->Number = o.Key.Vid;
            try {
                tip->LoadHeader(o.Info);
                tip->Load();
                AddObject(tip.release());
            } catch (const Exception& e) {
                errors << QStringLiteral("Ошибка при загрузке календаря №%1\r\n").arg(o.Key.Vid) + e.Message();
            }
        }
    }
    loaded_ = true;
    Touch();
    if (!errors.isEmpty())
        ShowError(errors.join(QStringLiteral("\r\n")));
    Changed();
}

void T_CalendarList::EnsureLoaded()
{
    if (!loaded_)
        Load();
}

void T_CalendarList::SetLoaded(bool loaded)
{
    if (!loaded)
        loaded_ = false;
}

void T_CalendarList::SaveAll()
{
    EnsureLoaded();
    Cursor bin(kBin);
    OpenBin(bin);
    Transaction tx({&bin});
    for (T_CalendarTip* tip : *this)
        tip->Save();
    tx.Commit();
}

T_CalendarTip* T_CalendarList::FindTip(qint32 number)
{
    const int i = IndexOfTip(number);
    return i >= 0 ? Item(i) : nullptr;
}

int T_CalendarList::IndexOfTip(qint32 number)
{
    EnsureLoaded();
    for (int i = 0; i < Count(); ++i)
        if (Item(i)->Number == number)
            return i;
    return -1;
}

T_CalendarTip* T_CalendarList::GetTip(int index)
{
    EnsureLoaded();
    return Item(index);
}

int T_CalendarList::TipCount()
{
    EnsureLoaded();
    return Count();
}

void T_CalendarList::FillStrings(TStringItems& strings)
{
    EnsureLoaded();
    strings.clear();
    for (const T_CalendarTip* tip : *this)
        strings << TStringItem{tip->Name, tip->Number};
}

T_C_Table* T_CalendarList::FindTable(qint32 number, TDateTime date)
{
    const T_CalendarTip* tip = FindTip(number);
    return tip != nullptr ? tip->FindTable(date) : nullptr;
}

T_CalendarTip* T_CalendarList::AddTip(quint8 kind)
{
    EnsureLoaded();
    // The first calendar of all is the main one.
    qint32 number = 0;
    if (Count() > 0) {
        QSet<qint32> used;
        for (const T_CalendarTip* tip : *this)
            used.insert(tip->Number);
        number = 1;
        while (used.contains(number))
            ++number;
    }
    if (number > kMaxCalendarNumber)
        throw EAppException(QStringLiteral("Нарушено ограничение на максимальное число календарей"));
    auto tip = std::make_unique<T_CalendarTip>(kind, this);
    tip->Number = number;
    T_CalendarTip* made = tip.get();
    AddObject(tip.release());
    return made;
}

void T_CalendarList::AddNotify(const TNotifyEvent& event) { notify_.Add(event); }

void T_CalendarList::RemoveNotify(const TNotifyEvent& event) { notify_.Remove(event); }

void T_CalendarList::Changed()
{
    Touch();
    if (!ApplicationRunning() || ApplicationTerminating())
        return;
    QStringList errors;
    // Handlers may remove themselves or others: each is looked up again.
    std::vector<TNotifyEvent> events;
    for (int i = 0; i < notify_.Count(); ++i)
        events.push_back(notify_.GetEvent(i));
    for (const TNotifyEvent& event : events) {
        if (notify_.IndexOf(event) < 0)
            continue;
        try {
            event(this);
        } catch (const EAbort&) {
        } catch (const Exception& e) {
            errors << e.Message();
        }
    }
    if (!errors.isEmpty())
        ShowError(errors.join(QStringLiteral("\r\n")));
}

bool T_CalendarList::ImportOldCalendars(const QString& folder, TDateTime date)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(date, year, month, day);
    const TDateTime yearBeg = EncodeDate(year, 1, 1);
    const TDateTime yearEnd = EncodeDate(year, 12, 31);

    // Everything is read before anything is written.
    std::vector<std::unique_ptr<T_CalendarTip>> imported;
    QSet<qint32> numbers;
    T_yqFileList files;
    files.ReadFilesSorted(folder, QStringLiteral("qo.ca*"));
    for (const QString& file : files) {
        const QString ext = QFileInfo(file).suffix().toUpper();
        qint32 number = -1;
        if (ext == QLatin1String("CAL")) {
            number = 0;
        } else if (ext.startsWith(QLatin1String("CA"))) {
            bool ok = false;
            const int read = ext.mid(2).toInt(&ok);
            if (!ok || read - 1 < 1 || read - 1 > kMaxCalendarNumber)
                continue;
            number = read - 1;
        } else {
            continue;
        }
        if (numbers.contains(number))
            continue;
        numbers.insert(number);

        TClipperMemVarList vars;
        LoadClipperMemFile(file, vars);
        auto tip = std::make_unique<T_CalendarTip>(ckMonthly, this);
        tip->Number = number;
        tip->Name = number == 0 ? QStringLiteral("Основной календарь")
                                : QStringLiteral("Календарь № ") + QString::number(number);
        auto table = std::make_unique<T_C_Table>(tip.get());
        table->DateBeg = yearBeg;
        table->DateEnd = yearEnd;
        for (int m = 1; m <= 12; ++m) {
            const QString mm = QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0'));
            auto line = std::make_unique<T_C_Line>();
            line->SetDateBeg(EncodeDate(year, m, 1));
            line->SetDateEnd(EncodeDate(year, m, DaysInAMonth(year, m)));
            line->SetWorkDays(vars.GetValue(QStringLiteral("CALENDAY") + mm).AsDouble());
            line->SetWorkHours(vars.GetValue(QStringLiteral("CALENDAC") + mm).AsDouble());
            line->SetDayLength(vars.GetValue(QStringLiteral("CALENDAR") + mm).AsDouble());
            line->SetNum(m);
            line->Modified = true;
            table->AddObject(line.release());
        }
        table->SetModified(true);
        tip->AddObject(table.release());
        imported.push_back(std::move(tip));
    }
    if (!numbers.contains(0)) {
        ShowError(QStringLiteral("Основной календарь не обнаружен"));
        return false;
    }

    {
        Cursor bin(kBin);
        OpenBin(bin);
        Transaction tx({&bin});
        BinSetRange(bin, {Variant(int(binCalendars))});
        while (!bin.IsEmpty())
            bin.Delete();
        for (auto& tip : imported)
            tip->Save();
        tx.Commit();
    }
    // What Bin now holds, and nothing else.
    FreeItems();
    for (auto& tip : imported)
        AddObject(tip.release());
    loaded_ = true;
    DbSession::RefreshAll(kBin);
    Changed();
    return true;
}

// ---------------------------------------------------------------- T_Calendar

T_Calendar::T_Calendar(T_CalendarList* list) : list_(list)
{
    if (list_ != nullptr)
        generation_ = list_->Generation();
}

void T_Calendar::Forget()
{
    number_ = -1;
    date_ = 0;
    tip_ = nullptr;
    table_ = nullptr;
    line_ = nullptr;
}

bool T_Calendar::Select(qint32 number, TDateTime date)
{
    if (list_ == nullptr)
        return false;
    list_->EnsureLoaded();
    if (!Current()) {
        Forget();
        generation_ = list_->Generation();
    }
    if (number != number_) {
        Forget();
        number_ = number;
        if (number < 0)
            return false;
        tip_ = list_->FindTip(number);
        if (tip_ == nullptr) {
            number_ = -1;
            return false;
        }
    }
    if (date == date_)
        return false;
    date_ = date;
    if (date <= 0 || tip_ == nullptr)
        return false;
    if (table_ != nullptr && table_->Holds(date)) {
        line_ = table_->FindLine(date);
    } else {
        table_ = tip_->FindTable(date);
        if (table_ != nullptr) {
            line_ = table_->FindLine(date);
        } else {
            date_ = 0;
            line_ = nullptr;
        }
    }
    return IsValid();
}

bool T_Calendar::IsValid() const
{
    return Current() && number_ >= 0 && date_ > 0 && tip_ != nullptr && table_ != nullptr && line_ != nullptr;
}

void T_Calendar::CheckValid() const
{
    if (!IsValid())
        throw EAppException(QStringLiteral("Неверно определен календарь"));
}

double T_Calendar::GetWorkHours() const
{
    CheckValid();
    return line_->WorkHours();
}

double T_Calendar::GetDayLength() const
{
    CheckValid();
    return line_->DayLength();
}

qint32 T_Calendar::Number() const { return Current() ? number_ : -1; }
TDateTime T_Calendar::Date() const { return Current() ? date_ : 0; }
T_CalendarTip* T_Calendar::Tip() const { return Current() ? tip_ : nullptr; }
T_C_Table* T_Calendar::Table() const { return Current() ? table_ : nullptr; }
T_C_Line* T_Calendar::Line() const { return Current() ? line_ : nullptr; }
