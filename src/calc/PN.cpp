#include "calc/PN.h"

#include "data/AppContext.h"
#include "data/Money.h"
#include "db/Cursor.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <cmath>

namespace {

// Money columns are kept to 4 decimals, as the old runtime's currency held them.
Currency MoneyField(Cursor& row, const QString& name) { return Currency::FromDouble(row.FieldByName(name).AsFloat()); }

} // namespace

// ---------------------------------------------------------------- T_PxTable

void T_PxTable::Load(Cursor& row)
{
    Clear();
    Num = row.FieldByName(QStringLiteral("NUM")).AsInteger();
    DateBeg = row.FieldByName(QStringLiteral("DATEBEG")).AsDateTime();
    DateEnd = kPxOpenDate;
    FYear = row.FieldByName(QStringLiteral("FYEAR")).AsBoolean();
    Sum = MoneyField(row, QStringLiteral("SUM"));
    SumMinZp = MoneyField(row, QStringLiteral("SUMMINZP"));
    CursValut = row.FieldByName(QStringLiteral("CURSVALUT")).AsFloat();
    KMinZp = row.FieldByName(QStringLiteral("KMINZP")).AsInteger();
    Metod = row.FieldByName(QStringLiteral("METOD")).AsInteger();
    YearBeg = row.FieldByName(QStringLiteral("YEARBEG")).AsDateTime();
    YearEnd = row.FieldByName(QStringLiteral("YEAREND")).AsDateTime();

    // Own cursor: the data module's PNL cursor keeps its place for the reference book.
    Cursor pnl(QStringLiteral("PNL"));
    pnl.Open();
    pnl.SetRange({Variant(Num)}, {Variant(Num)});
    const Field sum = pnl.FieldByName(QStringLiteral("SUM"));
    const Field sumNal = pnl.FieldByName(QStringLiteral("SUMNAL"));
    const Field proc = pnl.FieldByName(QStringLiteral("PROC"));
    for (pnl.First(); !pnl.Eof(); pnl.Next()) {
        auto* line = new T_PxLine;
        line->Sum = sum.AsFloat();
        line->SumNal = sumNal.AsFloat();
        line->Proc = proc.AsFloat();
        AddObject(line);
    }
}

QString T_PxTable::GetTipName() const { return Owner != nullptr ? Owner->Naim : QString(); }

// ---------------------------------------------------------------- T_PxTip

void T_PxTip::Load(Cursor& row)
{
    Clear();
    Naim = row.FieldByName(QStringLiteral("NAIM")).AsString();
    Tip = row.FieldByName(QStringLiteral("TIP")).AsInteger();

    Cursor pn(QStringLiteral("PN"));
    pn.SetIndexName(QStringLiteral("TIP"));
    pn.Open();
    pn.SetRange({Variant(Tip)}, {Variant(Tip)});
    for (pn.First(); !pn.Eof(); pn.Next()) {
        auto* table = new T_PxTable(this);
        try {
            table->Load(pn);
        } catch (...) {
            delete table;
            throw;
        }
        AddTable(table);
    }
}

void T_PxTip::AddTable(T_PxTable* table)
{
    table->Owner = this;
    if (T_PxTable* last = LastTable())
        last->DateEnd = table->DateBeg - 1;
    table->DateEnd = kPxOpenDate;
    AddObject(table);
}

T_PxTable* T_PxTip::FindTable(TDateTime date) const
{
    T_PxTable* candidate = nullptr;
    for (T_PxTable* table : *this) {
        if (table->DateBeg <= date && date <= table->DateEnd)
            return table;
        if (candidate == nullptr)
            candidate = table;
        else if ((candidate->DateBeg >= date && table->DateBeg <= date) || table->DateBeg > candidate->DateBeg)
            candidate = table;
    }
    return candidate;
}

// ---------------------------------------------------------------- T_PxList

T_PxList::~T_PxList() { Clear(); }

void T_PxList::Load()
{
    loaded_ = false;
    ++generation_;
    Clear();
    Cursor pnt(QStringLiteral("PNT"));
    pnt.Open();
    for (pnt.First(); !pnt.Eof(); pnt.Next()) {
        auto* tip = new T_PxTip;
        try {
            tip->Load(pnt);
        } catch (...) {
            delete tip;
            Clear();
            throw;
        }
        AddObject(tip);
    }
    loaded_ = true;
}

void T_PxList::EnsureLoaded()
{
    if (!loaded_)
        Load();
}

void T_PxList::SetLoaded(bool loaded)
{
    if (!loaded)
        loaded_ = false;
}

T_PxTip* T_PxList::GetTip(int index)
{
    EnsureLoaded();
    return Item(index);
}

int T_PxList::IndexOfTip(qint32 tip)
{
    EnsureLoaded();
    for (int i = 0; i < Count(); ++i)
        if (Item(i)->Tip == tip)
            return i;
    return -1;
}

T_PxTip* T_PxList::FindTip(qint32 tip)
{
    const int i = IndexOfTip(tip);
    return i >= 0 ? Item(i) : nullptr;
}

void T_PxList::FillStrings(TStringItems& strings)
{
    EnsureLoaded();
    strings.clear();
    for (const T_PxTip* tip : *this)
        strings.append({tip->Naim, tip->Tip});
}

T_PxList* PxList() { return AppContext().IncomeTax.Get<T_PxList>(); }

// ---------------------------------------------------------------- T_PN

void T_PN::Select(qint32 tip, TDateTime date)
{
    // A reload freed what TipObj and Table pointed to: select afresh.
    const bool stale = TipObj != nullptr && (List == nullptr || List->Generation() != generation_);
    if (tip != Tip || stale) {
        Date = 0;
        Table = nullptr;
        TipObj = nullptr;
        Tip = tip;
        if (tip >= 0 && List != nullptr) {
            TipObj = List->FindTip(tip);
            generation_ = List->Generation();
        }
        if (TipObj == nullptr) {
            Tip = -1;
            return;
        }
    }
    if (date == Date)
        return;
    Date = date;
    if (date <= 0)
        return;
    if (Table != nullptr && Table->DateBeg <= date && date <= Table->DateEnd)
        return;
    Table = TipObj != nullptr ? TipObj->FindTable(date) : nullptr;
    if (Table == nullptr)
        Date = 0;
}

bool T_PN::IsValid() const
{
    return Tip >= 0 && Date > 0 && TipObj != nullptr && Table != nullptr && List != nullptr
        && List->Generation() == generation_;
}

double T_PN::Calc(const T_PNResult& in, T_PNResult& out)
{
    if (!IsValid())
        throw EAppException(QStringLiteral("Не определен подоходный налог"));
    const T_PxTable& table = *Table;

    out.Assign(in);
    out.DopOsvCount = in.MinZarp + in.DopOsvCount;
    out.Months = in.Months + 1;
    out.DopOsv = in.DopOsv + in.Vychet;
    out.SumTo = in.SumTo + in.Base;

    const double exempt
        = ((table.KMinZp + in.MinZarp) * table.SumMinZp.ToDouble() + table.Sum.ToDouble()) * table.CursValut
        + in.Vychet;
    out.SumOsv = in.SumOsv + exempt;

    if (out.SumTo < 0 || in.LgotaPN < kZeroThreshold || in.LgotaPN > 1 || table.Metod == 0)
        return 0;

    // A rate of 0 is possible (edited or imported): say so instead of dividing by it.
    if (IsZero(table.CursValut))
        throw EAppException(QStringLiteral("Неверный курс валюты в таблице подоходного налога"));

    double ratio = 1;
    double amount = 0;
    if (table.FYear) {
        if (table.Metod == 2)
            ratio = double(in.MonthNo) / in.MonthsInYear;
        else if (table.Metod != 1)
            throw EAppException(Format(QStringLiteral("Не известен метод расчета №%d"), table.Metod));
        amount = RoundToKop((out.SumTo - out.SumOsv) / table.CursValut);
    } else {
        amount = RoundToKop((in.Base - exempt) / table.CursValut);
    }
    if (PNInt)
        amount = std::trunc(amount);

    const int count = table.Count();
    if (count < 2)
        throw EAppException(Format(
            QStringLiteral("Количество строк таблицы подоходного налога не может быть менее 2-х\r\nТаблица :\"%s\""),
            table.GetTipName()));

    double tax = 0;
    if (amount > 0) {
        for (int i = 0; i < count; ++i) {
            const T_PxLine& line = *table.GetLine(i);
            const double lower = i == 0 ? 0 : line.Sum * ratio;
            const bool last = i == count - 1;
            if (last || (amount >= lower && table.GetLine(i + 1)->Sum * ratio > amount)) {
                tax = line.SumNal * ratio + (amount - lower) * line.Proc / 100;
                break;
            }
        }
    }
    tax = RoundToKop(tax * table.CursValut);
    if (in.LgotaPN < 1)
        tax = tax * in.LgotaPN;
    if (table.FYear)
        tax = tax - in.Pay;

    const double result = RoundToKop(tax);
    out.Tax = result;
    out.Pay = in.Pay + result;
    return result;
}
