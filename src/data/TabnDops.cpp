#include "data/TabnDops.h"

#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Money.h"
#include "db/Cursor.h"
#include "db/FolderWrites.h"
#include "db/Transaction.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

QString S(const char* latin) { return QString::fromLatin1(latin); }

[[noreturn]] void RaiseUnknownEntryKind() { throw EAppException(QStringLiteral("T_TabnDop: Неизвестный тип")); }

[[noreturn]] void RaiseUnknownListKind() { throw EAppException(QStringLiteral("T_TabnDopList: Неизвестный тип")); }

int Sign(qint64 v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

bool IsBasicTip(qint32 tip) { return tip >= 1 && tip <= 3; }

// A cursor on the table's TABNUM index (TABNUM first, then the table's date).
class TabnCursor : public Cursor {
public:
    explicit TabnCursor(const char* table) : Cursor(S(table))
    {
        SetIndexName(S("TABNUM"));
        Open();
    }
};

const char* const kTabnTables[] = {"SRD", "VVOD", "VVARC", "NC", "NCARC", "SR"};

// The run's cursor when the list was given a set, else one of its own.
class ListCursor {
public:
    ListCursor(TTabnCursors* shared, TTabnCursors::TTable table)
    {
        if (shared != nullptr) {
            cursor_ = &shared->Get(table);
        } else {
            own_.emplace(kTabnTables[table]);
            cursor_ = &*own_;
        }
    }
    Cursor& operator*() const { return *cursor_; }
    Cursor* operator->() const { return cursor_; }
    Cursor* get() const { return cursor_; }

private:
    std::optional<TabnCursor> own_;
    Cursor* cursor_ = nullptr;
};

TDateTime PrevMonthEnd(TDateTime date) { return GetMonthBeg(date) - 1; }

// The columns an entry of a kind reads, looked up once per walk of a cursor.
struct EntryColumns {
    EntryColumns(Cursor& table, quint8 kind)
    {
        if (kind < tdkPermanent || kind > tdkNewResults)
            RaiseUnknownEntryKind();
        const auto field = [&table](const char* name) { return table.FieldByName(S(name)); };
        tabNum = field("TABNUM");
        dopNum = field("DOPNUM");
        dateBeg = field("DATEBEG");
        sum = field("SUM");
        switch (kind) {
        case tdkPermanent:
            dateEnd = field("DATEEND");
            proc = field("PROC");
            break;
        case tdkInput:
            proc = field("PROC");
            time = field("DTIME");
            dateOp = field("DATEVV");
            break;
        default:
            time = field("DTIME");
            dateOp = field("DATERAS");
            uder = field("UDER");
            break;
        }
    }
    Field tabNum, dopNum, dateBeg, sum, dateEnd, proc, time, dateOp, uder;
};

// The current row into the entry: "T_TabnDop: Не тот табельный номер" when
// a bound entry meets another employee's row. The kind is not looked up.
void ReadEntry(T_TabnDop& entry, const EntryColumns& c)
{
    const qint32 tabNum = c.tabNum.AsInteger();
    if (entry.Bound && tabNum != entry.TabNum)
        throw EAppException(QStringLiteral("T_TabnDop: Не тот табельный номер"));
    entry.TabNum = tabNum;
    entry.DopNum = c.dopNum.AsInteger();
    entry.DateBeg = c.dateBeg.AsDateTime();
    entry.Sum = Currency::FromDouble(c.sum.AsFloat());
    entry.DateEnd = c.dateEnd.IsValid() ? c.dateEnd.AsDateTime() : 0;
    entry.Proc = c.proc.IsValid() ? c.proc.AsFloat() : 0;
    entry.DTime = c.time.IsValid() ? c.time.AsFloat() : 0;
    entry.DateOp = c.dateOp.IsValid() ? c.dateOp.AsDateTime() : 0;
    if (c.uder.IsValid())
        entry.Uder = c.uder.AsBoolean();
}

} // namespace

// ---------------------------------------------------------------- TTabnCursors

TTabnCursors::TTabnCursors() = default;

TTabnCursors::~TTabnCursors() = default;

Cursor& TTabnCursors::Get(TTable table)
{
    std::unique_ptr<Cursor>& c = cursors_[table];
    if (!c && table == Sr) {
        c = std::make_unique<Cursor>(S(kTabnTables[table]));
        c->Open();
    } else if (!c) {
        c = std::make_unique<TabnCursor>(kTabnTables[table]);
    }
    if (c->State() != CursorState::Browse)
        c->Cancel();
    return *c;
}

// ---------------------------------------------------------------- T_TabnDop

T_TabnDop::T_TabnDop(qint32 tabNum, T_DNList* owner, quint8 kind) : Owner(owner), TabNum(tabNum), Kind(kind) {}

void T_TabnDop::LoadFromTable(Cursor& table)
{
    ReadEntry(*this, EntryColumns(table, Kind));
    // The number changed: the kind is looked up again, bound or not.
    dopLooked_ = false;
    Link();
}

void T_TabnDop::SaveToTable(Cursor& table)
{
    // The column lists are made once: a calculation writes many rows.
    static const QStringList permanent = {S("TABNUM"), S("DOPNUM"), S("DATEBEG"), S("DATEEND"), S("SUM"), S("PROC")};
    static const QStringList input
        = {S("TABNUM"), S("DOPNUM"), S("DATEBEG"), S("SUM"), S("PROC"), S("DTIME"), S("DATEVV")};
    static const QStringList totals = {S("DATEBEG"), S("SUM"), S("DTIME"), S("DATERAS")};
    static const QStringList results
        = {S("TABNUM"), S("DOPNUM"), S("DATEBEG"), S("SUM"), S("DTIME"), S("DATERAS"), S("UDER")};
    if (T_Dop* dop = GetDop())
        Uder = dop->Uder;
    const Variant tabNum(TabNum), dopNum(DopNum), dateBeg(Variant::FromDate(DateBeg)), sum(Sum.ToDouble());
    switch (Kind) {
    case tdkPermanent:
        AppendRecordValues(
            table, 0, permanent, {tabNum, dopNum, dateBeg, Variant::FromDate(DateEnd), sum, Variant(Proc)});
        return;
    case tdkInput:
        AppendRecordValues(
            table, 0, input, {tabNum, dopNum, dateBeg, sum, Variant(Proc), Variant(DTime), Variant::FromDate(DateOp)});
        return;
    case tdkMonthTotals:
        if (LocateByScan(table, S("DOPNUM"), dopNum)) {
            SetRecordValues(table, totals, {dateBeg, sum, Variant(DTime), Variant::FromDate(DateOp)});
            return;
        }
        [[fallthrough]];
    case tdkResults:
    case tdkNewResults:
        AppendRecordValues(table, 0, results,
            {tabNum, dopNum, dateBeg, sum, Variant(DTime), Variant::FromDate(DateOp), Variant(Uder)});
        return;
    default: RaiseUnknownEntryKind();
    }
}

T_Dop* T_TabnDop::GetDop()
{
    if (Owner == nullptr)
        return nullptr;
    // A kind pointer of an earlier reading of the directory, or of another
    // number, is never used.
    if (!dopLooked_ || dopGeneration_ != Owner->Generation() || (dop_ != nullptr && dop_->DopNum != DopNum)) {
        dop_ = nullptr;
        dop_ = Owner->FindDop(DopNum);
        dopGeneration_ = Owner->Generation();
        dopLooked_ = true;
    }
    return dop_;
}

void T_TabnDop::RelinkDop()
{
    if (!Bound)
        return;
    dopLooked_ = false;
    Link();
}

void T_TabnDop::Link()
{
    if (T_Dop* dop = GetDop())
        Uder = dop->Uder;
}

int CompareTabnDops(T_TabnDop* a, T_TabnDop* b, int mode)
{
    const T_Dop* da = a->GetDop();
    const T_Dop* db = b->GetDop();
    if ((da == nullptr) != (db == nullptr))
        return da == nullptr ? 1 : -1;
    int r = 0;
    if (da != nullptr && db != nullptr) {
        if (da->Uder != db->Uder)
            return da->Uder ? 1 : -1;
        switch (mode) {
        case 2: r = CompareTextIgnoreCase(da->GetName(), db->GetName()); break;
        case 3: r = Sign(qint64(da->SNum) - db->SNum); break;
        case 4:
            if (IsBasicTip(da->Tip) && IsBasicTip(db->Tip))
                r = Sign(qint64(da->Tip) - db->Tip);
            if (r == 0)
                r = Sign(qint64(da->StadiaF) - db->StadiaF);
            break;
        default: break;
        }
    }
    if (r == 0)
        r = Sign(qint64(a->DopNum) - b->DopNum);
    return r;
}

// ---------------------------------------------------------------- T_TabnDopList

T_TabnDopList::T_TabnDopList(T_DNList* owner, quint8 kind) : owner_(owner), kind_(kind)
{
    if (owner_ != nullptr)
        directoryLink_ = TNotifyLink(owner_->NotifyList(), TNotifyEvent(this, &T_TabnDopList::DirectoryChanged));
}

T_TabnDopList::~T_TabnDopList()
{
    directoryLink_.Reset();
    T_TabnDopList::Clear();
}

void T_TabnDopList::DisposeObject(TObject* obj)
{
    if (obj == nullptr || borrowed_.remove(obj))
        return;
    delete obj;
}

void T_TabnDopList::Clear()
{
    T_yqOwnerListOf<T_TabnDop>::Clear();
    borrowed_.clear();
}

void T_TabnDopList::SetTabn(qint32 tabNum)
{
    TabNum = tabNum;
    Load();
}

bool T_TabnDopList::DoFilter(T_TabnDop* entry)
{
    if (kind_ == tdkMonthTotals && !IsReservedDopNum(entry->DopNum))
        return false;
    bool accept = true;
    if (OnFilter)
        OnFilter(this, entry, accept);
    return accept;
}

void T_TabnDopList::DoChange() { OnChange(this); }

void T_TabnDopList::ReadRows(Cursor& table, qint32 fromDopNum, qint32 toDopNum, qint32 renumber)
{
    const EntryColumns columns(table, kind_);
    // The range was just set: the cursor stands on its first row.
    for (; !table.Eof(); table.Next()) {
        const qint32 n = columns.dopNum.AsInteger();
        if (n < fromDopNum || n > toDopNum)
            continue;
        auto entry = std::make_unique<T_TabnDop>(TabNum, owner_, kind_);
        ReadEntry(*entry, columns);
        if (renumber != 0)
            entry->DopNum = renumber;
        entry->RelinkDop();
        if (DoFilter(entry.get())) {
            borrowed_.remove(entry.get());
            AddObject(entry.release());
        }
    }
}

void T_TabnDopList::Load()
{
    // A pending reload of the directory happens now, not amid the rows.
    if (owner_ != nullptr)
        owner_->EnsureLoaded();
    Clear();
    if (TabNum < 1) {
        DoChange();
        return;
    }
    const Variant tabn(TabNum);
    const auto month = [&](TDateTime first, TDateTime last) {
        return std::pair{QList<Variant>{tabn, Variant::FromDate(first)}, QList<Variant>{tabn, Variant::FromDate(last)}};
    };
    const TDateTime monthBeg = GetMonthBeg(Date), monthEnd = GetMonthEnd(Date);
    const TDateTime prevEnd = PrevMonthEnd(Date), prevBeg = GetMonthBeg(prevEnd);
    const qint32 all0 = INT32_MIN, all1 = INT32_MAX;
    switch (kind_) {
    case tdkPermanent: {
        ListCursor srd(Cursors, TTabnCursors::Srd);
        srd->SetRange({tabn}, {tabn});
        ReadRows(*srd, all0, all1);
        break;
    }
    case tdkInput:
        if (IsInWorkMonth(Date)) {
            ListCursor vvod(Cursors, TTabnCursors::Vvod);
            vvod->SetRange({tabn}, {tabn});
            ReadRows(*vvod, all0, all1);
        } else {
            // Archived input of a month: by its input date (DATEVV).
            ListCursor vvarc(Cursors, TTabnCursors::Vvarc);
            const auto [from, to] = month(monthBeg, monthEnd);
            vvarc->SetRange(from, to);
            ReadRows(*vvarc, all0, all1);
        }
        break;
    case tdkResults: {
        if (IsInWorkMonth(Date)) {
            ListCursor nc(Cursors, TTabnCursors::Nc);
            nc->SetRange({tabn}, {tabn});
            ReadRows(*nc, all0, all1);
        } else {
            ListCursor ncarc(Cursors, TTabnCursors::Ncarc);
            const auto [from, to] = month(monthBeg, monthEnd);
            ncarc->SetRange(from, to);
            ReadRows(*ncarc, all0, all1);
        }
        ListCursor ncarc(Cursors, TTabnCursors::Ncarc);
        const auto [from, to] = month(prevBeg, prevEnd);
        ncarc->SetRange(from, to);
        ReadRows(*ncarc, dnVsego, dnVsego, dnBegin);
        break;
    }
    case tdkMonthTotals: {
        ListCursor ncarc(Cursors, TTabnCursors::Ncarc);
        const auto [from, to] = month(prevBeg, prevEnd);
        ncarc->SetRange(from, to);
        ReadRows(*ncarc, dnFirstReserved, dnVsego);
        break;
    }
    case tdkNewResults: DoChange(); return;
    default: RaiseUnknownListKind();
    }
    Sort();
}

void T_TabnDopList::Save()
{
    switch (kind_) {
    case tdkPermanent: SavePermanent(); break;
    case tdkInput: SaveInput(); break;
    case tdkResults: break;
    case tdkMonthTotals: SaveMonthTotals(); break;
    case tdkNewResults: SaveNewResults(); break;
    default: RaiseUnknownListKind();
    }
}

void T_TabnDopList::SaveEntries(const QList<Cursor*>& tables, Cursor& target, const QString& heading,
    const std::function<void()>& before, const std::function<bool(T_TabnDop*)>& prepare)
{
    // The kinds first: a reload of the directory during the loop would
    // re-sort the list under it.
    for (T_TabnDop* entry : *this)
        entry->GetDop();
    Transaction tx(tables);
    before();
    QStringList errors;
    for (T_TabnDop* entry : *this) {
        try {
            if (prepare(entry))
                entry->SaveToTable(target);
        } catch (const EFolderNotWritable&) {
            throw; // no entry after it can be stored either
        } catch (const Exception& e) {
            errors << e.Message();
        }
    }
    // One failing entry undoes the whole list: the employee keeps what he had.
    if (!errors.isEmpty())
        throw EAppException(heading + errors.join(QStringLiteral("\r\n")));
    tx.Commit();
}

void T_TabnDopList::SavePermanent()
{
    ListCursor srd(Cursors, TTabnCursors::Srd);
    srd->SetRange({Variant(TabNum)}, {Variant(TabNum)});
    SaveEntries(
        {srd.get()}, *srd, QStringLiteral("Ошибка сохранения списка постоянных доплат\r\n"),
        [&] { srd->DeleteRange(); }, [this](T_TabnDop*) { return TabNum > 0; });
}

void T_TabnDopList::SaveInput()
{
    // The list of a past month holds that month's archived input: writing
    // it would replace the employee's current input.
    if (!IsInWorkMonth(Date) || !IsInWorkMonth(GetDate()))
        throw EAppException(QStringLiteral("Данные ввода можно сохранить только за рабочий месяц"));
    ListCursor vvod(Cursors, TTabnCursors::Vvod);
    Cursor sr(S("SR"));
    sr.Open();
    vvod->SetRange({Variant(TabNum)}, {Variant(TabNum)});
    SaveEntries(
        {vvod.get(), &sr}, *vvod, QStringLiteral("Ошибка сохранения списка данных ввода\r\n"),
        [&] {
            ResetCalcDate(TabNum);
            vvod->DeleteRange();
        },
        [this](T_TabnDop*) { return TabNum > 0; });
}

void T_TabnDopList::SaveMonthTotals()
{
    const TDateTime last = PrevMonthEnd(Date);
    ListCursor ncarc(Cursors, TTabnCursors::Ncarc);
    ncarc->SetRange(
        {Variant(TabNum), Variant::FromDate(GetMonthBeg(last))}, {Variant(TabNum), Variant::FromDate(last)});
    SaveEntries(
        {ncarc.get()}, *ncarc, QStringLiteral("Ошибка сохранения данных за прошлый период\r\n"), [] {},
        [this, last](T_TabnDop* entry) {
            if (TabNum < 1 || !IsReservedDopNum(entry->DopNum))
                return false;
            entry->DateBeg = last;
            entry->DateOp = last;
            entry->TabNum = TabNum;
            return true;
        });
}

void T_TabnDopList::SaveNewResults()
{
    ListCursor nc(Cursors, TTabnCursors::Nc);
    nc->SetRange({Variant(TabNum)}, {Variant(TabNum)});
    SaveEntries(
        {nc.get()}, *nc, QString(), [&] { nc->DeleteRange(); }, [this](T_TabnDop*) { return TabNum > 0; });
}

T_TabnDop* T_TabnDopList::FindTabnDop(qint32 dopNum) const
{
    return Find([dopNum](const T_TabnDop* e) { return e->DopNum == dopNum; });
}

void T_TabnDopList::GetValues(qint32 dopNum, double& time, Currency& sum, double& proc) const
{
    time = 0;
    sum = Currency();
    proc = 0;
    if (const T_TabnDop* e = FindTabnDop(dopNum)) {
        time = e->DTime;
        sum = e->Sum;
        proc = e->Proc;
    }
}

Currency T_TabnDopList::GetSum(qint32 dopNum) const
{
    const T_TabnDop* e = FindTabnDop(dopNum);
    return e != nullptr ? e->Sum : Currency();
}

void T_TabnDopList::SetValues(qint32 dopNum, double time, Currency sum, double proc)
{
    T_TabnDop* entry = FindTabnDop(dopNum);
    const bool empty = std::abs(time) < kZeroThreshold && std::abs(sum.ToDouble()) < kZeroThreshold
        && std::abs(proc) < kZeroThreshold && !IsReservedDopNum(dopNum);
    if (entry == nullptr) {
        if (empty)
            return;
        auto made = std::make_unique<T_TabnDop>(TabNum, owner_, kind_);
        made->DopNum = dopNum;
        const TDateTime date = GetDate();
        made->DateBeg = GetMonthBeg(date);
        made->DateEnd = GetMonthEnd(date);
        made->DateOp = Date;
        made->RelinkDop();
        entry = made.get();
        borrowed_.remove(entry);
        AddObject(made.release());
    } else if (empty) {
        FreeObject(entry);
        return;
    }
    entry->DTime = time;
    entry->Sum = sum.Rounded(2, Currency::Halves::AwayFromZero);
    entry->Proc = proc;
}

void T_TabnDopList::SetSortMode(int mode)
{
    if (mode == sortMode_)
        return;
    sortMode_ = mode;
    Sort();
}

void T_TabnDopList::Sort()
{
    if (sortMode_ != 0) {
        // The kinds first: a directory reload during the sort would sort
        // this list again underneath it.
        for (T_TabnDop* e : *this)
            e->GetDop();
        const int mode = sortMode_;
        SortItems([mode](void* a, void* b) {
            return CompareTabnDops(static_cast<T_TabnDop*>(static_cast<TObject*>(a)),
                       static_cast<T_TabnDop*>(static_cast<TObject*>(b)), mode)
                < 0;
        });
    }
    DoChange();
}

void T_TabnDopList::GetDopNumbers(T_yqIntegerList& list) const
{
    list.Clear();
    for (const T_TabnDop* e : *this)
        list.AddInteger(e->DopNum);
}

void T_TabnDopList::AddFrom(const T_TabnDopList& other)
{
    for (T_TabnDop* e : other) {
        if (IndexOfObject(e) >= 0)
            continue;
        AddObject(e);
        borrowed_.insert(e);
    }
}

void T_TabnDopList::ClearRefs() { Clear(); }

void T_TabnDopList::ClearMarks()
{
    for (T_TabnDop* e : *this)
        e->Matched = false;
}

void T_TabnDopList::DirectoryChanged(TObject*)
{
    for (T_TabnDop* e : *this)
        e->RelinkDop();
    Sort();
}

// ---------------------------------------------------------------- an employee's rows as a whole

void DeleteTabnEntries(qint32 tabNum)
{
    TabnCursor srd("SRD"), vvod("VVOD"), nc("NC");
    Transaction tx({&srd, &vvod, &nc});
    for (Cursor* table : {&srd, &vvod, &nc}) {
        table->SetRange({Variant(tabNum)}, {Variant(tabNum)});
        table->DeleteRange();
    }
    tx.Commit();
}

bool HasArchivedEntries(qint32 tabNum)
{
    for (const char* name : {"VVARC", "NCARC"}) {
        TabnCursor table(name);
        if (table.FindKey({Variant(tabNum)}))
            return true;
    }
    return false;
}

qint32 LastArchivedTabNum()
{
    qint32 last = 0;
    for (const char* name : {"VVARC", "NCARC"}) {
        TabnCursor table(name);
        table.Last();
        if (!table.IsEmpty())
            last = std::max(last, qint32(table.FieldByName(S("TABNUM")).AsInteger()));
    }
    return last;
}

// ---------------------------------------------------------------- the close of a period

namespace {

int RowCount(const char* table)
{
    Cursor c(S(table));
    c.Open();
    return c.RecordCount();
}

void MoveRows(const char* from, const char* to, const std::function<void()>& step)
{
    Cursor src(S(from));
    Cursor dst(S(to));
    src.Open();
    dst.Open();
    Transaction tx({&src, &dst});
    const int n = std::min(src.FieldCount(), dst.FieldCount());
    for (src.First(); !src.Eof(); src.Next()) {
        if (step)
            step();
        dst.Append();
        // The first column is the row's own key: the archive numbers its own.
        for (int i = 1; i < n; ++i)
            dst.FieldAt(i).SetVariant(src.FieldAt(i).AsVariant());
        dst.Post();
    }
    src.EmptyTable();
    tx.Commit();
}

void TrimRows(const char* table, const char* dateField, TDateTime from, TDateTime to)
{
    Cursor c(S(table));
    c.Open();
    Transaction tx({&c});
    for (c.First(); !c.Eof();) {
        const TDateTime d = c.FieldByName(S(dateField)).AsDateTime();
        if (d < from || d > to)
            c.Delete();
        else
            c.Next();
    }
    tx.Commit();
}

} // namespace

int InputRowCount() { return RowCount("VVOD"); }

int ResultRowCount() { return RowCount("NC"); }

void ArchiveInput(const std::function<void()>& step) { MoveRows("VVOD", "VVARC", step); }

void ArchiveResults(const std::function<void()>& step) { MoveRows("NC", "NCARC", step); }

void TrimInputArchive(TDateTime from, TDateTime to) { TrimRows("VVARC", "DATEVV", from, to); }

void TrimResultArchive(TDateTime from, TDateTime to) { TrimRows("NCARC", "DATERAS", from, to); }

void PostNetPay(qint32 dopNum, TDateTime period, const std::function<void()>& step)
{
    Cursor nc(S("NC"));
    Cursor vvod(S("VVOD"));
    nc.Open();
    vvod.Open();
    Transaction tx({&nc, &vvod});
    const QStringList names = {S("TABNUM"), S("DOPNUM"), S("DATEBEG"), S("SUM"), S("PROC"), S("DTIME"), S("DATEVV")};
    for (nc.First(); !nc.Eof(); nc.Next()) {
        if (step)
            step();
        if (nc.FieldByName(S("DOPNUM")).AsInteger() != dnVsego)
            continue;
        const double amount = RoundMoney(nc.FieldByName(S("SUM")).AsFloat());
        if (amount <= 0)
            continue;
        AppendRecordValues(vvod, 0, names,
            {Variant(nc.FieldByName(S("TABNUM")).AsInteger()), Variant(dopNum), Variant::FromDate(period),
                Variant(amount), Variant(0.0), Variant(0.0), Variant::FromDate(period)});
    }
    tx.Commit();
}
