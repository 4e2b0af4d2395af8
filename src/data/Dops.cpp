#include "data/Dops.h"

#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "db/Cursor.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <vector>

namespace {

QString S(const char* latin) { return QString::fromLatin1(latin); }

[[noreturn]] void RaiseDopNotFound(int dopNum)
{
    throw EAppException(QStringLiteral("Начисление №%1 в справочнике не найдено").arg(dopNum));
}

// The built-in types that have a slot in the directory (5 and 7 have none).
bool HasSlot(int tip) { return (tip >= 1 && tip <= 4) || (tip >= 8 && tip <= 15); }
constexpr int kSlotCount = 16;

struct TConstDop {
    qint32 Tip;
    const char* Naim; // UTF-8
    qint32 Number; // wanted
    bool Uder;
    qint32 StadiaF;
    bool FBalans;
    bool NewTabl;
};

constexpr TConstDop kConstDops[] = {
    {dtBalans, "Баланс рабочего времени", 0, false, 1, false, false},
    {dtSdel, "Сдельно", 1, false, 1, true, false},
    {dtPovrem, "Повременно", 2, false, 1, true, false},
    {dtPremia, "Премия", 3, false, 150, false, true},
    {dtOtpusk, "Отпуск", 40, false, 150, false, true},
    {dtBolnich, "Больничный", 60, false, 150, false, true},
    {dtProchDopl, "Прочие доплаты", 100, false, 150, false, false},
    {dtPodoh, "Подоходный налог", 200, true, 40, false, true},
    {dtPodohPrev, "Подоходный налог прошлого", 201, true, 41, false, true},
    {dtPodohNext, "Подоходный налог будущего", 202, true, 42, false, true},
    {dtZarpPrev, "Зарплата за прошлый месяц", 207, true, 150, false, false},
    {dtKassa, "Касса", 208, true, 150, false, false},
    {dtAvans, "Аванс", 209, true, 150, false, false},
    {dtProchUder, "Прочие удержания", 300, true, 150, false, false},
};

// From the wanted number: N + i, and while i < 10 also N - i (at least 1),
// upward first; the first number DP does not hold.
int FreeDopNumber(Cursor& dp, int wanted, const QString& naim)
{
    const auto free = [&](int n) { return !dp.FindKey({Variant(n)}); };
    for (int i = 0; i <= 9999; ++i) {
        if (free(wanted + i))
            return wanted + i;
        if (i < 10 && wanted - i >= 1 && free(wanted - i))
            return wanted - i;
    }
    throw EAppException(QStringLiteral("Нет свободного номера для начисления \"%1\"").arg(naim));
}

} // namespace

// ---------------------------------------------------------------- T_DopTabl

T_DopTabl::~T_DopTabl() { T_DopTabl::Clear(); }

void T_DopTabl::LoadFromTable(Cursor& dpt)
{
    Naim = dpt.FieldByName(S("NAIM")).AsString();
    Num = dpt.FieldByName(S("NUM")).AsInteger();
    DopNum = dpt.FieldByName(S("DOPNUM")).AsInteger();
    Tip = dpt.FieldByName(S("TIP")).AsInteger();
    try {
        ReadIntegerListBlob(dpt.FieldByName(S("INFO")).AsBlob(), *this);
    } catch (const Exception&) {
        throw EAppException(QStringLiteral("Ошибка загрузки таблицы начисления №%1").arg(Num));
    }
    modified_ = false;
}

int T_DopTabl::Save(Cursor& dpt)
{
    dpt.CheckBrowseMode();
    const PrimaryIndexScope primary(dpt);
    int num = Num;
    if (num == -1) {
        num = AppendNextNumber(dpt);
    } else {
        if (!dpt.FindKey({Variant(num)}))
            throw EAppException(QStringLiteral("Таблица начисления №%1 в справочнике не найдена").arg(num));
        dpt.Edit();
    }
    try {
        QByteArray info;
        WriteIntegerListBlob(info, *this);
        dpt.FieldByName(S("NAIM")).SetString(Naim);
        dpt.FieldByName(S("DOPNUM")).SetInteger(DopNum);
        dpt.FieldByName(S("TIP")).SetInteger(Tip);
        dpt.FieldByName(S("INFO")).SetBlob(info);
        StampUser(dpt);
        dpt.Post();
    } catch (...) {
        dpt.Cancel();
        throw;
    }
    Num = num;
    modified_ = false;
    return Num;
}

int T_DopTabl::Save()
{
    Cursor dpt(S("DPT"));
    dpt.Open();
    Transaction tx({&dpt});
    const qint32 oldNum = Num;
    const bool oldModified = modified_;
    try {
        Save(dpt);
        tx.Commit();
    } catch (...) {
        Num = oldNum;
        modified_ = oldModified;
        throw;
    }
    return Num;
}

void T_DopTabl::Put(int index, void* item)
{
    T_yqIntegerList::Put(index, item);
    modified_ = true;
}

void T_DopTabl::SetCount(int newCount)
{
    T_yqIntegerList::SetCount(newCount);
    modified_ = true;
}

int T_DopTabl::Add(void* item)
{
    const int index = T_yqIntegerList::Add(item);
    modified_ = true;
    return index;
}

void T_DopTabl::Clear()
{
    T_yqIntegerList::Clear();
    modified_ = true;
}

void* T_DopTabl::Delete(int index)
{
    void* item = T_yqIntegerList::Delete(index);
    modified_ = true;
    return item;
}

void T_DopTabl::Exchange(int index1, int index2)
{
    T_yqIntegerList::Exchange(index1, index2);
    modified_ = true;
}

void T_DopTabl::Insert(int index, void* item)
{
    T_yqIntegerList::Insert(index, item);
    modified_ = true;
}

void T_DopTabl::Move(int curIndex, int newIndex)
{
    T_yqIntegerList::Move(curIndex, newIndex);
    modified_ = true;
}

void T_DopTabl::Pack()
{
    T_yqIntegerList::Pack();
    modified_ = true;
}

// ---------------------------------------------------------------- T_TablList

T_TablList::~T_TablList() = default;

void T_TablList::Load()
{
    Clear();
    Cursor dpt(S("DPT"));
    dpt.Open();
    for (dpt.First(); !dpt.Eof(); dpt.Next()) {
        auto table = std::make_unique<T_DopTabl>();
        table->LoadFromTable(dpt);
        AddObject(table.release());
    }
}

T_DopTabl* T_TablList::FindByNum(int num) const
{
    return Find([num](const T_DopTabl* t) { return t->Num == num; });
}

T_DopTabl* T_TablList::FindByOwner(int dopNum, int tip) const
{
    return Find([dopNum, tip](const T_DopTabl* t) { return t->DopNum == dopNum && t->Tip == tip; });
}

void T_TablSubList::Fill(const T_TablList& tables, int tip)
{
    Clear();
    for (T_DopTabl* t : tables) {
        if (tip == 3 || t->Tip == tip)
            AddObject(t);
    }
}

// ---------------------------------------------------------------- T_Dop

T_Dop::T_Dop(T_DNList* owner) : Owner(owner) {}

T_Dop::~T_Dop() = default;

void T_Dop::LoadFromTable(Cursor& dp)
{
    const auto i = [&](const char* name) { return dp.FieldByName(S(name)).AsInteger(); };
    const auto b = [&](const char* name) { return dp.FieldByName(S(name)).AsBoolean(); };
    DopNum = i("DOPNUM");
    Deleted = b("DELETED");
    Uder = b("UDER");
    SNum = i("SNUM");
    Naim = dp.FieldByName(S("NAIM")).AsString();
    DopNomer = dp.FieldByName(S("DOPNOMER")).AsString();
    DateBeg = dp.FieldByName(S("DATEBEG")).AsDateTime();
    BaseNum = i("BASENUM");
    Nabor = i("NABOR");
    Tip = i("TIP");
    FRazov = b("FRAZOV");
    NumValuta = i("NUMVALUTA");
    Individ = b("INDIVID");
    Nakopl = b("NAKOPL");
    FDayClock = b("FDAYCLOCK");
    Formula = i("FORMULA");
    StadiaF = i("STADIAF");
    StadiaD = i("STADIAD");
    Sum = dp.FieldByName(S("SUM")).AsFloat();
    Tabl = i("TABL");
    FBalans = b("FBALANS");
    VList = i("VLIST");

    TablTable = nullptr;
    VListTable = nullptr;
    if (Owner == nullptr)
        return;
    const auto lookUp = [&](qint32 num, const char* what) -> T_DopTabl* {
        if (num <= 0)
            return nullptr;
        T_DopTabl* table = Owner->Tables().FindByNum(num);
        if (table == nullptr && DebugStopEnabled())
            DebugStop(QStringLiteral("Нет %1 №%2 для №%3 \"%4\"").arg(S(what)).arg(num).arg(DopNum).arg(Naim));
        return table;
    };
    TablTable = lookUp(Tabl, "TABL");
    VListTable = lookUp(VList, "VYCHET");
}

bool T_Dop::Refresh()
{
    if (DopNum < 0)
        return false;
    Cursor dp(S("DP"));
    dp.Open();
    if (!dp.FindKey({Variant(DopNum)}))
        return false;
    LoadFromTable(dp);
    New = false;
    return true;
}

void T_Dop::RefreshOrFail()
{
    if (!Refresh())
        RaiseDopNotFound(DopNum);
}

void T_Dop::LoadByNum(int dopNum)
{
    DopNum = dopNum;
    RefreshOrFail();
}

T_DopTabl* T_Dop::ExistingTable(qint32 num, T_DopTabl* table) const
{
    if (table != nullptr && table->Num == num)
        return table; // a table already saved, or a new one (-1) handed in
    if (num <= 0 || Owner == nullptr)
        return nullptr;
    return Owner->Tables().FindByNum(num);
}

void T_Dop::Save()
{
    Cursor dp(S("DP"));
    Cursor dpt(S("DPT"));
    dp.Open();
    dpt.Open();
    Transaction tx({&dp, &dpt});
    if (!New && DopNum >= 0 && !dp.FindKey({Variant(DopNum)}))
        RaiseDopNotFound(DopNum);

    // What the write changes in memory, put back when it fails.
    struct TableState {
        T_DopTabl* table;
        qint32 num;
        bool modified;
    };
    const qint32 oldDopNum = DopNum, oldSNum = SNum, oldTabl = Tabl, oldVList = VList;
    T_DopTabl* const oldTablTable = TablTable;
    T_DopTabl* const oldVListTable = VListTable;
    std::vector<TableState> tables;
    for (T_DopTabl* t : {ExistingTable(Tabl, TablTable), ExistingTable(VList, VListTable)}) {
        if (t != nullptr)
            tables.push_back({t, t->Num, t->Modified()});
    }
    try {
        WriteToTable(dp, dpt);
        tx.Commit();
    } catch (...) {
        DopNum = oldDopNum;
        SNum = oldSNum;
        Tabl = oldTabl;
        VList = oldVList;
        for (const TableState& s : tables) {
            s.table->Num = s.num;
            s.table->SetModified(s.modified);
        }
        const auto forget = [](T_DopTabl* old, T_DopTabl*& current, std::unique_ptr<T_DopTabl>& own) {
            if (current != old && own.get() == current)
                own.reset();
            current = old;
        };
        forget(oldTablTable, TablTable, ownTabl_);
        forget(oldVListTable, VListTable, ownVList_);
        throw;
    }
    New = false;
    // The tables made here go to the directory's table list.
    if (Owner != nullptr) {
        for (std::unique_ptr<T_DopTabl>* own : {&ownTabl_, &ownVList_}) {
            if (*own)
                Owner->Tables().AddObject(own->release());
        }
    }
}

void T_Dop::WriteToTable(Cursor& dp, Cursor& dpt)
{
    if (DopNum == -1)
        DopNum = AppendNumberedRecord(dp, {S("NAIM")}, {Variant(Naim)});
    else if (New)
        // The number is written as a field: 0 is a valid number here.
        AppendRecordValues(dp, 0, {S("DOPNUM")}, {Variant(DopNum)});
    if (SNum < 1)
        SNum = DopNum;

    const auto place = [&](qint32& ref, T_DopTabl*& table, std::unique_ptr<T_DopTabl>& own, qint32 tip) {
        if (ref == 0) {
            table = nullptr;
            return;
        }
        T_DopTabl* t = ExistingTable(ref, table);
        if (t == nullptr) {
            own = std::make_unique<T_DopTabl>();
            own->Num = -1;
            own->Naim = Naim;
            own->DopNum = DopNum;
            own->Tip = tip;
            t = own.get();
        }
        if (t->Num == -1 || t->Modified())
            t->Save(dpt);
        ref = t->Num;
        table = t;
    };
    place(Tabl, TablTable, ownTabl_, 0);
    place(VList, VListTable, ownVList_, 1);

    if (!dp.FindKey({Variant(DopNum)}))
        RaiseDopNotFound(DopNum);
    SetRecordValues(dp,
        {S("DELETED"), S("UDER"), S("SNUM"), S("NAIM"), S("BASENUM"), S("DOPNOMER"), S("DATEBEG"), S("NABOR"), S("TIP"),
            S("FRAZOV"), S("NUMVALUTA"), S("INDIVID"), S("NAKOPL"), S("FDAYCLOCK"), S("FBALANS"), S("FORMULA"),
            S("STADIAF"), S("STADIAD"), S("SUM"), S("TABL"), S("VLIST")},
        {Variant(Deleted), Variant(Uder), Variant(SNum), Variant(Naim), Variant(BaseNum), Variant(DopNomer),
            Variant::FromDate(DateBeg), Variant(Nabor), Variant(Tip), Variant(FRazov), Variant(NumValuta),
            Variant(Individ), Variant(Nakopl), Variant(FDayClock), Variant(FBalans), Variant(Formula), Variant(StadiaF),
            Variant(StadiaD), Variant(Sum), Variant(Tabl), Variant(VList)});
}

void T_Dop::DeleteFromBase()
{
    if (DopNum < 0)
        return;
    DeleteDopRecord(DopNum);
    if (Owner != nullptr)
        Owner->SetLoaded(false);
}

QString T_Dop::GetNumberText() const { return Cfg.DopNomer ? DopNomer : QString::number(DopNum); }

QString T_Dop::GetName() const { return GetNamePart(Cfg.NameDopVid); }

QString T_Dop::GetNamePart(int part) const
{
    QString text;
    GetPipePart(Naim, text, part);
    return text;
}

void T_Dop::GetVychetList(T_yqOwnerListOf<T_MDop>& list) const
{
    list.Clear();
    const T_DopTabl* table = ExistingTable(VList, VListTable);
    if (table == nullptr || Owner == nullptr)
        return;
    for (int i = 0; i < table->Count(); ++i) {
        if (T_Dop* dop = Owner->FindDop(table->GetInteger(i)))
            list.AddObject(new T_MDop(dop));
    }
}

// ---------------------------------------------------------------- T_DNList

T_DNList::T_DNList() : slots_(kSlotCount, nullptr) {}

T_DNList::~T_DNList()
{
    for (T_DNSubList* view : views_) {
        view->Invalidate();
        view->owner_ = nullptr;
    }
    views_.clear();
    FreeDops();
}

void T_DNList::FreeDops()
{
    ++generation_;
    std::fill(slots_.begin(), slots_.end(), nullptr);
    maxStadiaF_ = 0;
    T_yqCustOwnerList::Clear();
}

void T_DNList::InvalidateViews()
{
    for (T_DNSubList* view : views_)
        view->Invalidate();
}

void T_DNList::Clear()
{
    InvalidateViews();
    FreeDops();
    Changed();
}

void T_DNList::EnsureLoaded()
{
    if (loaded_ || loading_)
        return;
    Load();
    Changed();
}

void T_DNList::Reload()
{
    SetLoaded(false);
    EnsureLoaded();
}

void T_DNList::SetLoaded(bool loaded)
{
    if (!loaded)
        loaded_ = false;
}

void T_DNList::Load()
{
    const BusyScope busy;
    struct Loading {
        bool& flag;
        explicit Loading(bool& f) : flag(f) { flag = true; }
        ~Loading() { flag = false; }
    } loading(loading_);

    InvalidateViews();
    FreeDops();
    tables_.Load();
    Cursor dp(S("DP"));
    dp.Open();
    for (dp.First(); !dp.Eof(); dp.Next()) {
        auto owned = std::make_unique<T_Dop>(this);
        owned->LoadFromTable(dp);
        T_Dop* dop = owned.get();
        AddObject(owned.release());
        maxStadiaF_ = std::max(maxStadiaF_, dop->StadiaF);
        if (!HasSlot(dop->Tip))
            continue;
        if (slots_[dop->Tip] == nullptr) {
            slots_[dop->Tip] = dop;
        } else {
            ShowError(QStringLiteral("Дважды определено начисление, заложенное в расчет|Номер начисления : %1\r\n"
                                     "Тип начисления : %2")
                          .arg(dop->DopNum)
                          .arg(dop->Tip));
        }
    }
    loaded_ = true;
}

T_Dop* T_DNList::FindDop(int dopNum)
{
    EnsureLoaded();
    return Find([dopNum](const T_Dop* d) { return d->DopNum == dopNum; });
}

T_Dop* T_DNList::GetDop(int index)
{
    EnsureLoaded();
    return Item(index);
}

int T_DNList::DopCount()
{
    EnsureLoaded();
    return Count();
}

T_Dop* T_DNList::FindDopByTip(int tip)
{
    EnsureLoaded();
    if (HasSlot(tip))
        return slots_[tip];
    if (tip <= 0)
        return nullptr;
    return Find([tip](const T_Dop* d) { return d->Tip == tip; });
}

int T_DNList::MaxStadiaF()
{
    EnsureLoaded();
    return maxStadiaF_;
}

int T_DNList::AddNotify(const TNotifyEvent& handler)
{
    const int index = notify_.IndexOf(handler);
    if (index >= 0)
        return index;
    notify_.Add(handler);
    return notify_.Count() - 1;
}

void T_DNList::RemoveNotify(const TNotifyEvent& handler) { notify_.Remove(handler); }

void T_DNList::Changed()
{
    if (!ApplicationRunning() || ApplicationTerminating())
        return;
    QStringList errors;
    const auto guardedRun = [&errors](const auto& call) {
        try {
            call();
        } catch (const EAbort&) {
        } catch (const Exception& e) {
            errors << e.Message();
        }
    };
    // The views first, so that handlers see them current. A view or a
    // handler removed by an earlier one is skipped.
    const QList<T_DNSubList*> views = views_;
    for (T_DNSubList* view : views) {
        if (views_.contains(view))
            guardedRun([view] { view->Rebuild(); });
    }
    QList<TNotifyEvent> handlers;
    for (int i = 0; i < notify_.Count(); ++i)
        handlers << notify_.GetEvent(i);
    for (const TNotifyEvent& handler : handlers) {
        if (notify_.IndexOf(handler) >= 0)
            guardedRun([&] { handler(this); });
    }
    if (!errors.isEmpty())
        ShowError(QStringLiteral("Обнаружены ошибки реинициализации списка начислений:|")
            + EscapeBars(errors.join(QStringLiteral("\r\n"))));
}

int T_DNList::GenerateConstDops()
{
    EnsureLoaded();
    Cursor dp(S("DP"));
    dp.Open();
    int made = 0;
    for (const TConstDop& c : kConstDops) {
        if (Find([&c](const T_Dop* d) { return d->Tip == c.Tip; }) != nullptr)
            continue;
        auto dop = std::make_unique<T_Dop>(this);
        dop->Naim = QString::fromUtf8(c.Naim);
        dop->Tip = c.Tip;
        dop->Uder = c.Uder;
        dop->Deleted = false;
        dop->Formula = 1;
        dop->BaseNum = 0;
        dop->DateBeg = Cfg.Workdate;
        dop->FBalans = c.FBalans;
        dop->Individ = false;
        dop->Nakopl = false;
        dop->FDayClock = false;
        dop->NumValuta = 0;
        dop->StadiaF = c.StadiaF;
        dop->StadiaD = -1;
        dop->Sum = 0;
        dop->Tabl = c.NewTabl ? -1 : 0;
        dop->New = true;
        dop->DopNum = FreeDopNumber(dp, c.Number, dop->Naim);
        dop->SNum = dop->DopNum;
        if (DebugStopEnabled())
            DebugStop(QStringLiteral("Генерация: ") + dop->Naim);
        dop->Save();
        AddObject(dop.release());
        ++made;
    }
    if (made > 0)
        Reload();
    return made;
}

void T_DNList::RegisterView(T_DNSubList* view)
{
    if (!views_.contains(view))
        views_ << view;
}

void T_DNList::UnregisterView(T_DNSubList* view) { views_.removeAll(view); }

// ---------------------------------------------------------------- T_DNSubList

T_DNSubList::T_DNSubList(T_DNList* owner, quint8 filter, const T_yqIntegerList* nabor) : owner_(owner), filter_(filter)
{
    if (nabor != nullptr) {
        hasNabor_ = true;
        for (int i = 0; i < nabor->Count(); ++i)
            nabor_.insert(nabor->GetInteger(i));
    }
    if (owner_ != nullptr)
        owner_->RegisterView(this);
}

T_DNSubList::~T_DNSubList()
{
    if (owner_ != nullptr)
        owner_->UnregisterView(this);
}

void T_DNSubList::SetFilter(quint8 filter)
{
    if (hasNabor_)
        throw EAppException(QStringLiteral("На T_DNSubList назначен набор"));
    filter_ = filter;
    if (built_)
        Rebuild();
}

void T_DNSubList::SetNabor(const T_yqIntegerList* nabor)
{
    hasNabor_ = nabor != nullptr;
    nabor_.clear();
    if (nabor != nullptr) {
        for (int i = 0; i < nabor->Count(); ++i)
            nabor_.insert(nabor->GetInteger(i));
    }
    if (built_)
        Rebuild();
}

void T_DNSubList::SetSortMode(int mode)
{
    if (mode == sortMode_)
        return;
    sortMode_ = mode;
    if (built_) {
        Sort();
        OnChange(this);
    }
}

int T_DNSubList::DopCount()
{
    EnsureBuilt();
    return Count();
}

T_Dop* T_DNSubList::GetDop(int index) { return GetMDop(index)->Dop; }

T_MDop* T_DNSubList::GetMDop(int index)
{
    EnsureBuilt();
    return Item(index);
}

T_MDop* T_DNSubList::FindMDop(int dopNum)
{
    EnsureBuilt();
    return Find([dopNum](const T_MDop* m) { return m->Dop->DopNum == dopNum; });
}

int T_DNSubList::IndexOfDopNum(int dopNum)
{
    if (dopNum < 0)
        return -1;
    EnsureBuilt();
    for (int i = 0; i < Count(); ++i) {
        if (Item(i)->Dop->DopNum == dopNum)
            return i;
    }
    return -1;
}

void T_DNSubList::SetAllChecked(bool checked)
{
    EnsureBuilt();
    for (T_MDop* m : *this)
        m->Checked = checked;
}

void T_DNSubList::Rebuild() { Build(); }

void T_DNSubList::EnsureBuilt()
{
    if (owner_ != nullptr)
        owner_->EnsureLoaded(); // a reload rebuilds the views
    if (!built_)
        Build();
}

void T_DNSubList::Invalidate()
{
    if (built_) {
        checked_.clear();
        for (const T_MDop* m : *this) {
            if (m->Checked)
                checked_.insert(m->Dop->DopNum);
        }
    }
    T_yqCustOwnerList::Clear();
    built_ = false;
}

bool T_DNSubList::Passes(const T_Dop& dop) const
{
    const int kinds = filter_ & (dfAccruals | dfDeductions);
    if (kinds == dfAccruals && dop.Uder)
        return false;
    if (kinds == dfDeductions && !dop.Uder)
        return false;
    if (filter_ & dfDeleted) {
        if (!(filter_ & dfAlsoCurrent) && !dop.Deleted)
            return false;
    } else if (dop.Deleted) {
        return false;
    }
    if ((filter_ & dfWithTabl) && dop.Tabl == 0)
        return false;
    if ((filter_ & dfWithVList) && dop.VList == 0)
        return false;
    if ((filter_ & dfNoBalans) && dop.Tip == dtBalans)
        return false;
    return true;
}

void T_DNSubList::Build()
{
    // Loading first: a reload rebuilds this view itself.
    if (owner_ != nullptr)
        owner_->EnsureLoaded();
    const BusyScope busy;
    Invalidate();
    if (owner_ != nullptr && (hasNabor_ || filter_ != 0)) {
        for (T_Dop* dop : *owner_) {
            if (hasNabor_ ? nabor_.contains(dop->DopNum) : Passes(*dop))
                AddObject(new T_MDop(dop, checked_.contains(dop->DopNum)));
        }
    }
    checked_.clear();
    Sort();
    built_ = true;
    OnChange(this);
}

void T_DNSubList::Sort()
{
    std::vector<std::pair<TDopSortKey, T_MDop*>> rows;
    rows.reserve(size_t(Count()));
    for (T_MDop* m : *this) {
        const T_Dop& d = *m->Dop;
        rows.push_back({TDopSortKey{d.Uder, d.DopNum, d.GetName(), d.SNum, d.Tip, d.StadiaF}, m});
    }
    // Mode 4 is no strict weak order when stages interleave: stable_sort
    // stays within the range where std::sort may not.
    std::stable_sort(rows.begin(), rows.end(),
        [mode = sortMode_](const auto& a, const auto& b) { return CompareDops(a.first, b.first, mode) < 0; });
    for (int i = 0; i < int(rows.size()); ++i)
        Put(i, rows[size_t(i)].second);
}

// ---------------------------------------------------------------- the program's directory

T_DNList* DNList() { return AppContext().Accruals.get(); }

void InstallDNListHooks() { SetDomainListHooks(TDomainList::Accruals, OwnedListHooks(AppContext().Accruals)); }
