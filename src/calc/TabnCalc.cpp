#include "calc/TabnCalc.h"

#include "calc/PN.h"
#include "calc/RTabl.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/Calendar.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Formula.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/FolderWrites.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"

#include <QStringList>

#include <climits>
#include <cmath>
#include <optional>

namespace {

QString S(const char* latin) { return QString::fromLatin1(latin); }

// Balance not set by a Tip-1 entry.
constexpr double kNoBalance = 2147483647;
// GetReleaseDate: no dismissal before 1 January 1990 counts.
constexpr TDateTime kFirstReleaseDay = 32874;
constexpr TDateTime kNoReleaseDate = 1000000;

// The calculation's accumulation of an entry's amount, bit for bit.
double AddMoney(double acc, Currency sum) { return (acc * 10000 + double(sum.Raw())) / 10000; }

bool IsTaxTip(qint32 tip) { return tip == dtPodoh || tip == dtPodohPrev || tip == dtPodohNext; }

} // namespace

TCalcSources CalcSources(TAppContext& context)
{
    TCalcSources s;
    s.Dops = context.Accruals.get();
    s.Calendars = context.Calendars.Get<T_CalendarList>();
    s.Taxes = context.IncomeTax.Get<T_PxList>();
    s.Formulas = &context;
    s.Podrs = context.Departments.get();
    s.Workdate = context.Cfg.Workdate;
    s.AutoCalc = context.Cfg.AutoCalc;
    s.PNReleased = context.Cfg.PNReleased;
    s.PNInt = context.Cfg.PNInt;
    s.CalcCompare = context.Cfg.CalcCompare;
    return s;
}

// ---------------------------------------------------------------- TRtTableCache

TRtTableCache::TRtTableCache() = default;

TRtTableCache::~TRtTableCache() = default;

T_RtList& TRtTableCache::Get(qint32 dopNum)
{
    std::unique_ptr<T_RtList>& list = lists_[dopNum];
    if (!list) {
        list = std::make_unique<T_RtList>();
        list->Vid = dopNum;
        list->Load();
    }
    return *list;
}

// ---------------------------------------------------------------- T_rTabn

T_rTabn::T_rTabn(const TCalcSources& sources)
    : sources_(sources),
      input_(std::make_unique<T_TabnDopList>(sources.Dops, tdkInput)),
      newResults_(std::make_unique<T_TabnDopList>(sources.Dops, tdkNewResults)),
      results_(std::make_unique<T_TabnDopList>(sources.Dops, tdkResults)),
      monthTotals_(std::make_unique<T_TabnDopList>(sources.Dops, tdkMonthTotals)),
      permanent_(std::make_unique<T_TabnDopList>(sources.Dops, tdkPermanent))
{
    for (T_TabnDopList* list : {input_.get(), monthTotals_.get(), newResults_.get(), results_.get(), permanent_.get()})
        list->Cursors = sources.Cursors;
    input_->SetSortMode(4);
    // Results keep the order they are made in.
    newResults_->SetSortMode(0);
    CompareMode = sources.CalcCompare;
    if (sources.Workdate > 0)
        SetDate(sources.Workdate);
}

T_rTabn::~T_rTabn() = default;

std::unique_ptr<T_rTabn> T_rTabn::CreateByTabNum(const TCalcSources& sources, qint32 tabNum, bool& found)
{
    auto calc = std::make_unique<T_rTabn>(sources);
    found = calc->LoadByTabNum(tabNum);
    return calc;
}

void T_rTabn::LoadFromTable(Cursor& table)
{
    T_TabnBase::LoadFromTable(table);
    const auto date = [&](const char* name) { return table.FieldByName(S(name)).AsDateTime(); };
    const auto integer = [&](const char* name) { return qint32(table.FieldByName(S(name)).AsInteger()); };
    const auto number = [&](const char* name) { return table.FieldByName(S(name)).AsFloat(); };
    DateRecept = date("DATERECEPT");
    DateRelease = date("DATERELEASE");
    DateRas = date("DATERAS");
    Sum = number("SUM");
    Ksop = integer("KSOP");
    Okl = number("OKL");
    Avan = number("AVAN");
    Fs = integer("FS");
    MinZarp = integer("MINZARP");
    Vychet = number("VYCHET");
    LgotaPN = number("LGOTAPN");
    Calendar = integer("CALENDAR");
    SpnTabl = integer("SPNTABL");
    for (T_TabnDopList* list :
        {input_.get(), monthTotals_.get(), newResults_.get(), results_.get(), permanent_.get()}) {
        list->Date = Date();
        list->SetTabn(TabNum());
    }
    Calculated = false;
}

qint32 T_rTabn::WriteToTable(Cursor& table)
{
    SetRecordValues(table, {S("SUM"), S("DATERAS")}, {Variant(Sum), Variant::FromDate(DateRas)});
    return TabNum();
}

TDateTime T_rTabn::GetReleaseDate() const { return DateRelease >= kFirstReleaseDay ? DateRelease : kNoReleaseDate; }

bool T_rTabn::Released() const { return GetReleaseDate() < GetMonthBeg(Date()); }

bool T_rTabn::ReportError(const QString& msg, bool fatal)
{
    bool raise = false;
    if (fatal)
        failed_ = true;
    if (OnError)
        OnError(this, msg, raise);
    else
        raise = true;
    if (fatal && raise)
        throw EAppException(msg);
    return false;
}

QString T_rTabn::GetRowCaption(T_TabnDop* entry) const
{
    if (IsReservedDopNum(entry->DopNum))
        return QString::number(1000 - (2147483647 - entry->DopNum));
    const T_Dop* kind = sources_.Dops != nullptr ? sources_.Dops->FindDop(entry->DopNum) : nullptr;
    if (kind == nullptr)
        return Format(QStringLiteral("Начисление №%s в справочнике не найдено"), QString::number(entry->DopNum));
    return kind->GetName();
}

// ---- the sums of step 17

double T_rTabn::TableBase(qint32 tabl) const
{
    const T_DopTabl* table = sources_.Dops->Tables().FindByNum(tabl);
    double base = 0;
    for (T_TabnDop* e : *newResults_) {
        const T_Dop* kind = e->GetDop();
        if (e->DopNum < dnFirstReserved && kind != nullptr && !kind->Uder && table->IndexOfInteger(e->DopNum) >= 0)
            base = AddMoney(base, e->Sum);
    }
    return base;
}

double T_rTabn::StageBase(const T_Dop& kind) const
{
    const qint32 limit = kind.Uder ? INT_MAX : (kind.StadiaD >= 0 ? kind.StadiaD : kind.StadiaF - 1);
    double base = 0;
    for (T_TabnDop* e : *newResults_) {
        const T_Dop* k = e->GetDop();
        if (e->DopNum < dnFirstReserved && k != nullptr && !k->Uder && k->StadiaF <= limit)
            base = AddMoney(base, e->Sum);
    }
    return base;
}

double T_rTabn::VListSum(qint32 vlist) const
{
    const T_DopTabl* table = sources_.Dops->Tables().FindByNum(vlist);
    double sum = 0;
    for (int i = 0; i < table->Count(); ++i) {
        if (const T_TabnDop* e = newResults_->FindTabnDop(table->GetInteger(i)))
            sum = AddMoney(sum, e->Sum);
    }
    return sum;
}

double T_rTabn::PrevSum(qint32 dopNum) const { return monthTotals_->GetSum(dopNum).ToDouble(); }

double T_rTabn::PrevTime(qint32 dopNum) const
{
    const T_TabnDop* e = monthTotals_->FindTabnDop(dopNum);
    return e != nullptr ? e->DTime : 0;
}

void T_rTabn::MergeDuplicates()
{
    for (int i = 0; i < input_->Count(); ++i) {
        T_TabnDop* first = input_->GetTabnDop(i);
        for (int j = input_->Count() - 1; j > i; --j) {
            T_TabnDop* other = input_->GetTabnDop(j);
            if (other->DopNum != first->DopNum)
                continue;
            first->DTime += other->DTime;
            first->Sum = first->Sum + other->Sum;
            Warning(QStringLiteral("Начисление №%d введено несколько раз: записи сложены"), first->DopNum);
            input_->FreeObject(other);
        }
    }
}

double T_rTabn::TableAmount(T_TabnDop& entry, double base)
{
    TRtTableCache* tables = sources_.RtTables;
    if (tables == nullptr) {
        if (!ownRtTables_)
            ownRtTables_ = std::make_unique<TRtTableCache>();
        tables = ownRtTables_.get();
    }
    T_Rt rt(&tables->Get(entry.DopNum));
    T_RtResult result;
    result.DopNum = entry.DopNum;
    if (!rt.Calc(Date(), base, result))
        Warning(QStringLiteral("Не определена таблица расчета начисления №%d на дату \"%s\""), entry.DopNum,
            DateToStr(Date()));
    return result.Amount;
}

// ---- the calculation

void T_rTabn::Calculate()
{
    if (sources_.Dops == nullptr || sources_.Calendars == nullptr || sources_.Formulas == nullptr)
        throw EAppException(QStringLiteral("Расчет невозможен: база данных не открыта"));
    T_DNList& dops = *sources_.Dops;
    dops.EnsureLoaded();
    const TDateTime date = Date();

    // 1. A second calculation starts from the stored input and empty results.
    if (Calculated) {
        input_->Load();
        monthTotals_->Load();
    }
    failed_ = false;
    newResults_->Clear();
    results_->ClearMarks();
    MergeDuplicates();

    // 2.
    const bool released = Released();
    Calculated = true;

    // 3. Select answers false for a repeated date: ask IsValid.
    T_Calendar& calendar = sources_.Calendars->Calendar();
    calendar.Select(Calendar, date);
    if (!calendar.IsValid())
        Error(QStringLiteral("Не определен календарь №%d на дату \"%s\""), Calendar, DateToStr(date));
    const double normHours = calendar.GetWorkHours();
    double dayLength = calendar.GetDayLength();

    // 4. Automatic entries; deleted kinds are kept for history only.
    for (int i = 0; i < dops.DopCount(); ++i) {
        const T_Dop* kind = dops.GetDop(i);
        if (kind->DopNum < 0 || kind->Deleted)
            continue;
        if (kind->Tip == dtPodoh) {
            if (input_->FindTabnDop(kind->DopNum) == nullptr)
                input_->SetValues(kind->DopNum, 1, Currency(), 0);
        } else if (kind->Tip == dtPodohPrev || kind->Tip == dtPodohNext || kind->Individ) {
            continue;
        } else if (kind->Formula == cmRtTable) {
            input_->SetValues(kind->DopNum, 1, Currency(), 0);
        } else if (kind->Sum >= 0.0001 && input_->FindTabnDop(kind->DopNum) == nullptr) {
            input_->SetValues(kind->DopNum, 0, Currency::FromDouble(kind->Sum), kind->Sum);
        }
    }

    // 5. Permanent accruals at the kind's default sum.
    for (T_TabnDop* p : *permanent_) {
        const T_Dop* kind = p->GetDop();
        if (kind != nullptr && kind->Individ && kind->Sum > kZeroThreshold)
            input_->SetValues(p->DopNum, 0, Currency::FromDouble(kind->Sum), kind->Sum);
    }

    // 6.
    for (int i = input_->Count() - 1; i >= 0; --i) {
        T_TabnDop* e = input_->GetTabnDop(i);
        const T_Dop* kind = e->DopNum >= 0 ? e->GetDop() : nullptr;
        if (kind == nullptr || kind->DopNum < 0) {
            const qint32 dopNum = e->DopNum;
            input_->FreeObject(e);
            Error(QStringLiteral("Неверный номер начисления %d"), dopNum);
        }
    }

    // 7. An entry's time counts once toward the time worked.
    double balance = kNoBalance;
    double timeWorked = 0;
    qint32 timeRow = -1;
    double timeRowTime = 0;
    for (T_TabnDop* e : *input_) {
        const T_Dop* kind = e->GetDop();
        if (e->DTime < 0)
            e->DTime = 0;
        switch (kind->Tip) {
        case dtBalans:
            balance = e->DTime;
            if (e->Sum.ToDouble() > kZeroThreshold)
                dayLength = e->Sum.ToDouble();
            break;
        case dtSdel:
        case dtPovrem:
            if (e->Sum.Raw() < 0)
                e->DTime = 0;
            timeWorked += e->DTime;
            if (kind->Tip == dtPovrem) {
                timeRow = e->DopNum;
                timeRowTime = e->DTime;
            }
            break;
        default:
            if (kind->FBalans)
                timeWorked += e->DTime;
        }
    }

    // 8, 9.
    if (balance == kNoBalance)
        balance = normHours;
    const T_Dop* timeKind = dops.FindDopByTip(dtPovrem);
    if (timeRow > 0) {
        input_->SetValues(timeRow, timeRowTime, Currency(), 0);
    } else if (sources_.AutoCalc && timeKind != nullptr) {
        timeWorked += balance;
        input_->SetValues(timeKind->DopNum, balance, Currency(), 0);
    }

    // 10.
    double rate = Ksop == 0 ? (balance > 0 ? Okl / balance : 0) : Okl / 100;

    // 11.
    input_->Sort();

    // 12.
    if (2 * normHours < timeWorked)
        Warning(QStringLiteral("Отработанного (%f) времени больше календарного !"), timeWorked);

    // 13.
    T_Formula formula(*sources_.Formulas);
    T_PN pn(sources_.Taxes, sources_.PNInt);
    T_PNResult in, out;

    // 14.
    pn.Select(SpnTabl, date);
    if (!pn.IsValid() || pn.Table->Count() < 2)
        throw EAppException(QStringLiteral("Не определена таблица подоходного налога"));
    const TDateTime yearBeg = pn.Table->YearBeg;

    // 15. Totals carried unless this is the tax year's first month.
    in.Clear();
    in.PrevVsego = PrevSum(dnVsego);
    if (!(GetMonthBeg(yearBeg) <= date && date <= GetMonthEnd(yearBeg))) {
        in.Pay = PrevSum(dnPNPay);
        in.SumTo = PrevSum(dnPNSumTo);
        in.SumAll = PrevSum(dnPNSumAll);
        in.Months = PrevTime(dnPNSumAll);
        in.DopOsv = PrevSum(dnPNDopOsv);
        in.DopOsvCount = PrevTime(dnPNDopOsv);
        in.SumOsv = PrevSum(dnPNSumOsv);
    }
    // The totals go on also when no tax is computed this month.
    out.Assign(in);

    // 16.
    if (released) {
        timeWorked = 0;
        rate = 0;
        if (timeKind != nullptr)
            input_->SetValues(timeKind->DopNum, 0, Currency(), 0);
        if (const T_Dop* pieceKind = dops.FindDopByTip(dtSdel))
            input_->SetValues(pieceKind->DopNum, 0, Currency(), 0);
    }

    // 17. The month's tax is computed once; other tax entries count as paid.
    const bool taxReleased = released && !sources_.PNReleased;
    double deducted = 0;
    double paid = 0; // entered tax amounts, added to Out.Pay at the end
    bool taxComputed = false;
    for (int i = 0; i < input_->Count(); ++i) {
        T_TabnDop* e = input_->GetTabnDop(i);
        const T_Dop& kind = *e->GetDop();
        const bool isTax = IsTaxTip(kind.Tip);
        if (!isTax) {
            if (kind.Tip == dtBalans)
                continue;
            formula.SetRow(e);
        }
        double base = 0;
        if (isTax || formula.FBase) {
            if (kind.Tabl > 0) {
                if (dops.Tables().FindByNum(kind.Tabl) != nullptr)
                    base = TableBase(kind.Tabl);
                else
                    Error(QStringLiteral("Не определена таблица начисления №%d"), kind.DopNum);
            } else {
                base = StageBase(kind);
            }
            if (kind.VList > 0) {
                if (dops.Tables().FindByNum(kind.VList) != nullptr)
                    base -= VListSum(kind.VList);
                else
                    Error(QStringLiteral("Неверно определен список вычетов начисления №%d"), kind.DopNum);
            }
        }
        if (isTax) {
            e->DTime = 0;
            if (taxReleased || kind.Tip != dtPodoh || taxComputed) {
                paid = AddMoney(paid, e->Sum);
            } else {
                in.Base = base;
                in.MinZarp = MinZarp;
                in.LgotaPN = LgotaPN;
                in.Vychet = Vychet;
                const T_C_Table& lines = *calendar.Table();
                const int start = std::max(0, lines.IndexOfLine(yearBeg));
                in.MonthNo = lines.IndexOfLine(date) + 1 - start;
                in.MonthsInYear = lines.Count() - start;
                if (pn.Table->FYear && pn.Table->Metod == 2 && (in.MonthNo < 1 || in.MonthNo > in.MonthsInYear))
                    throw EAppException(QStringLiteral("Неверный номер месяца налогового года"));
                pn.Calc(in, out);
                taxComputed = true;
                paid = AddMoney(paid, e->Sum);
                e->Sum = e->Sum + Currency::FromDouble(out.Tax);
                // Kept as it always was: In is not read again afterwards.
                if (released)
                    in.Months -= 1;
            }
        } else if (formula.Code == cmRtTable) {
            if (kind.Uder && taxReleased) {
                e->DTime = 0;
                e->Sum = Currency();
                e->Proc = 0;
            } else {
                e->Sum = Currency::FromDouble(TableAmount(*e, base));
            }
        } else {
            if (formula.IsUserFormula)
                formula.GetInfo()->TK = normHours;
            e->Sum = Currency::FromDouble(formula.Calculate(rate, base, deducted, timeWorked, balance, dayLength));
        }
        if (kind.Uder)
            deducted = AddMoney(deducted, e->Sum);
        newResults_->SetValues(e->DopNum, e->DTime, e->Sum, 0);
    }
    out.Pay = AddMoney(out.Pay, Currency::FromDouble(paid));

    // 18.
    double accrued = 0;
    deducted = 0;
    for (T_TabnDop* r : *newResults_) {
        const T_Dop* kind = r->GetDop();
        if (kind != nullptr && kind->Uder)
            deducted = AddMoney(deducted, r->Sum);
        else
            accrued = AddMoney(accrued, r->Sum);
    }
    out.SumAll += accrued;
    Sum = in.PrevVsego + accrued - deducted;

    // 19.
    const auto put = [&](qint32 dopNum, double time, double sum) {
        newResults_->SetValues(dopNum, time, Currency::FromDouble(sum), 0);
    };
    put(dnVsego, dayLength, Sum);
    put(dnUder, balance, deducted);
    put(dnNachis, timeWorked, accrued);
    put(dnPNPay, 0, out.Pay);
    put(dnPNSumTo, 0, out.SumTo);
    put(dnPNSumAll, out.Months, out.SumAll);
    put(dnPNDopOsv, out.DopOsvCount, out.DopOsv);
    put(dnPNSumOsv, 0, out.SumOsv);
}

void T_rTabn::MarkUncalculated()
{
    DateRas = 0;
    ResetCalcDate(TabNum());
}

void T_rTabn::CompareResults()
{
    if (!CompareMode) {
        // A failed employee keeps his stored results and counts as not calculated.
        if (failed_) {
            MarkUncalculated();
            return;
        }
        if (sources_.Cursors != nullptr) {
            // The run's cursors name the files already: nothing is looked up on the disk.
            Cursor& nc = sources_.Cursors->Get(TTabnCursors::Nc);
            Cursor& sr = sources_.Cursors->Get(TTabnCursors::Sr);
            Transaction tx({&nc, &sr});
            newResults_->SaveNewResults();
            DateRas = Date();
            if (!sr.FindKey({Variant(TabNum())}))
                RaiseTabnNotFound(TabNum());
            WriteToTable(sr);
            tx.Commit();
            return;
        }
        Transaction tx(QStringList{S("NC"), S("SR")});
        newResults_->SaveNewResults();
        DateRas = Date();
        T_TabnBase::Save();
        tx.Commit();
        return;
    }

    if (T_TabnDop* begin = results_->FindTabnDop(dnBegin))
        results_->FreeObject(begin);
    const int diff = results_->Count() - newResults_->Count();
    if (diff > 0)
        Error(QStringLiteral("Старых данных больше на %d"), diff);
    else if (diff < 0)
        Error(QStringLiteral("Новых данных больше на %d"), -diff);

    results_->ClearMarks();
    newResults_->ClearMarks();
    for (T_TabnDop* n : *newResults_) {
        if (n->DopNum == dnBegin)
            continue;
        T_TabnDop* o = results_->FindTabnDop(n->DopNum);
        if (o == nullptr)
            continue;
        n->Matched = o->Matched = true;
        const QString head = Format(QStringLiteral("\"%s\"\r\n"), GetRowCaption(n));
        QString text = head;
        if (n->DTime != o->DTime)
            text += Format(QStringLiteral("Время: (TNew = %.2f) <> (TOld = %.2f)"), n->DTime, o->DTime) + S("\r\n");
        if (std::abs(double(n->Sum.Raw() - o->Sum.Raw()) / 10000) > 0.01 + kZeroThreshold)
            text += Format(QStringLiteral("Сумма: (SNew = %f <> (SOld = %f)"), n->Sum.ToDouble(), o->Sum.ToDouble())
                + S("\r\n");
        if (text != head)
            ReportError(text, true);
    }
    QString header = QStringLiteral("\tЕсть в новом, нет в старом:\r\n");
    for (T_TabnDop* n : *newResults_) {
        if (n->Matched || n->DopNum == dnBegin)
            continue;
        ReportError(header
                + Format(QStringLiteral("\t[%d] \"%s\"\r\n%f -- %f"), n->DopNum, GetRowCaption(n), n->DTime,
                    n->Sum.ToDouble()),
            true);
        header.clear();
    }
    header = QStringLiteral("\tЕсть в старом, нет в новом:\r\n");
    for (T_TabnDop* o : *results_) {
        if (o->Matched)
            continue;
        ReportError(header
                + Format(QStringLiteral("\t[%d] \"%s\"\r\nSum = %f; Time = %f"), o->DopNum, GetRowCaption(o),
                    o->Sum.ToDouble(), o->DTime),
            true);
        header.clear();
    }
}

void T_rTabn::CalcAndCompare()
{
    try {
        Calculate();
        CompareResults();
    } catch (const EFolderNotWritable&) {
        // Nothing more can be stored: the run ends here, not employee by employee.
        throw;
    } catch (const Exception& e) {
        if (!CompareMode) {
            try {
                MarkUncalculated();
            } catch (const Exception&) {
                // The message below already says the employee was not calculated.
            }
        }
        ReportError(
            Format(QStringLiteral("Ошибка при выполнении расчета табельного номера [%d]\r\n"), TabNum()) + e.Message(),
            true);
    }
}

// ---------------------------------------------------------------- many employees

namespace {

// The handler's text appended as lines, as the error list takes it.
void AppendLines(QStringList& lines, const QString& msg)
{
    QStringList parts = QString(msg).replace(S("\r\n"), S("\n")).split(QLatin1Char('\n'));
    if (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast();
    lines << parts;
}

bool CalcOne(const TCalcSources& sources, qint32 tabNum, TDateTime date, QStringList& errors,
    const std::function<void(T_rTabn&, bool)>& onCalculated, bool* calculatedOut = nullptr)
{
    T_rTabn calc(sources);
    calc.SetTabNum(tabNum);
    if (const TDateTime period = date > 0 ? date : sources.Workdate; period > 0)
        calc.SetDate(period);
    QStringList lines;
    calc.OnError = [&lines](T_rTabn*, const QString& msg, bool&) { AppendLines(lines, msg); };
    if (sources.Formulas != nullptr)
        sources.Formulas->LastFormulaError().DopNum = -1;
    bool loaded = false;
    try {
        // The run's card cursor when it has one.
        if (sources.Cursors != nullptr) {
            Cursor& sr = sources.Cursors->Get(TTabnCursors::Sr);
            if (!sr.FindKey({Variant(tabNum)}))
                RaiseTabnNotFound(tabNum);
            calc.LoadFromTable(sr);
        } else {
            calc.Load();
        }
        loaded = true;
    } catch (const EFolderNotWritable&) {
        throw;
    } catch (const Exception& e) {
        AppendLines(lines, e.Message());
    }
    calc.CompareMode = sources.CalcCompare;
    if (loaded)
        calc.CalcAndCompare();
    const bool ok = lines.isEmpty();
    if (!ok) {
        errors << Format(QStringLiteral("***  Ошибки при расчете. Табельный номер [%s]"), calc.GetNumberText());
        errors << lines << QString();
    }
    const bool calculated = loaded && !calc.Failed();
    if (calculatedOut != nullptr)
        *calculatedOut = calculated;
    if (onCalculated)
        onCalculated(calc, calculated);
    return ok;
}

} // namespace

bool CalcOneTabn(const TCalcSources& sources, qint32 tabNum, TDateTime date, QStringList& errors)
{
    return CalcOne(sources, tabNum, date, errors, {});
}

namespace {

// The one message of a department that could not be stored.
QString NotSavedText(
    const QList<qint32>& podrs, const TCalcSources& sources, int failed, int groups, int saved, const QString& reason)
{
    const auto name = [&](int i) {
        const T_Podr* podr = sources.Podrs != nullptr && i < podrs.size() ? sources.Podrs->FindPodr(podrs[i]) : nullptr;
        return podr != nullptr ? QStringLiteral("\"%1\"").arg(podr->GetName()) : QStringLiteral("№%1").arg(i + 1);
    };
    QStringList rest;
    for (int i = failed + 1; i < groups; ++i)
        rest << name(i);
    QString text = QStringLiteral("Расчет прерван: подразделение %1 не сохранено|").arg(EscapeBars(name(failed)))
        + MessageDetails(reason) + QStringLiteral("\r\n");
    if (!rest.isEmpty())
        text += QStringLiteral("Не рассчитаны подразделения: ") + EscapeBars(rest.join(QStringLiteral(", ")))
            + QStringLiteral("\r\n");
    return text + QStringLiteral("Сохранены результаты работников: %1").arg(saved);
}

// The groups with the departments they are (podrs may be empty).
void CalcGroups(const TCalcSources& sources, const QList<QList<qint32>>& groups, const QList<qint32>& podrs,
    const TCalcBatchOptions& options, TCalcBatchResult& result)
{
    IProgress& sink = options.Progress != nullptr ? *options.Progress : Progress();
    // The run's cursors stay open and its tables are read once, across
    // every employee and department.
    TCalcSources run = sources;
    std::optional<TTabnCursors> cursors;
    std::optional<TRtTableCache> rtTables;
    if (run.Cursors == nullptr)
        run.Cursors = &cursors.emplace();
    if (run.RtTables == nullptr)
        run.RtTables = &rtTables.emplace();
    qsizetype total = 0;
    for (const QList<qint32>& group : groups)
        total += group.size();
    ProgressSession session(sink, 0, int(total));
    for (int g = 0; g < groups.size(); ++g) {
        const QList<qint32>& group = groups[g];
        if (group.isEmpty())
            continue;
        // Only a committed department counts: its employees are stored.
        int done = 0;
        QList<qint32> notCalculated;
        try {
            // One commit per department; each employee is a savepoint inside it.
            Transaction tx(QStringList{S("NC"), S("SR")});
            for (qint32 tabNum : group) {
                if (session.Stopped()) {
                    result.Stopped = true;
                    break;
                }
                bool calculated = false;
                const bool ok = CalcOne(run, tabNum, options.Date, result.Errors, options.OnCalculated, &calculated);
                ++done;
                if (!calculated)
                    notCalculated << tabNum;
                result.LastOk = ok;
                if (!ok && result.FirstErrTabn < 1)
                    result.FirstErrTabn = tabNum;
                sink.IncPos1();
                // SQLite ends a transaction itself after some failed writes.
                if (!tx.Alive())
                    throw EDatabaseError(QStringLiteral("Транзакция отменена из-за ошибки записи"));
            }
            tx.Commit();
        } catch (const EAbort&) {
            throw;
        } catch (const Exception& e) {
            result.SaveError = NotSavedText(podrs, sources, g, int(groups.size()), result.Calculated, e.Message());
            return;
        }
        result.Calculated += done;
        result.NotCalculated << notCalculated;
        if (result.Stopped)
            break;
    }
}

} // namespace

void CalcTabnGroups(const TCalcSources& sources, const QList<QList<qint32>>& groups, const TCalcBatchOptions& options,
    TCalcBatchResult& result)
{
    CalcGroups(sources, groups, {}, options, result);
}

namespace {

QList<qint32> WorkingEmployees(const TCalcSources& sources, qint32 podr)
{
    QList<qint32> numbers;
    if (sources.Podrs == nullptr)
        return numbers;
    T_TNList cards(sources.Podrs);
    cards.SetFilter(tfWorking);
    cards.SetPodr(podr);
    for (const T_Tabn* card : cards)
        numbers << card->TabNum();
    return numbers;
}

} // namespace

void CalcPodr(const TCalcSources& sources, qint32 podr, const TCalcBatchOptions& options, TCalcBatchResult& result)
{
    const T_Podr* shown = sources.Podrs != nullptr ? sources.Podrs->FindPodr(podr) : nullptr;
    const TRunOperation running(QStringLiteral("Расчет подразделения ")
            + (shown ? QStringLiteral("\"%1\"").arg(shown->GetName()) : QStringLiteral("№%1").arg(podr)),
        QStringLiteral("результаты подразделения остались прежними или сохранены целиком"));
    CalcGroups(sources, {WorkingEmployees(sources, podr)}, {podr}, options, result);
}

void CalcEnterprise(const TCalcSources& sources, const TCalcBatchOptions& options, TCalcBatchResult& result)
{
    QList<QList<qint32>> groups;
    QList<qint32> podrs;
    if (sources.Podrs != nullptr) {
        for (int i = 0; i < sources.Podrs->PodrCount(); ++i) {
            const T_Podr* podr = sources.Podrs->GetPodr(i);
            if (podr->NumPdp < 0 || podr->Num == DismissedGroupNum)
                continue;
            groups << WorkingEmployees(sources, podr->Num);
            podrs << podr->Num;
        }
    }
    const TRunOperation running(QStringLiteral("Расчет предприятия"),
        QStringLiteral("результаты каждого подразделения остались прежними или сохранены целиком"));
    CalcGroups(sources, groups, podrs, options, result);
}
