#include "data/Tabn.h"

#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "db/Sqlite.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

QString S(const char* latin) { return QString::fromLatin1(latin); }

const QString kSR = QStringLiteral("SR");
const QString kSRT = QStringLiteral("SRT");
const QString kTabnum = QStringLiteral("TABNUM");

// The comment is the SRT object of TIP 0.
constexpr int kCommentTip = 0;

// SR on its primary index, on its own: the data module's cursors keep
// their place and range.
class SrCursor : public Cursor {
public:
    SrCursor() : Cursor(kSR) { Open(); }
};

// SRT on index TABNUM (TABNUM;TIP).
class SrtCursor : public Cursor {
public:
    SrtCursor() : Cursor(kSRT)
    {
        SetIndexName(kTabnum);
        Open();
    }
};

void DeleteRange(Cursor& table, qint32 tabNum)
{
    table.SetRange({Variant(tabNum)}, {Variant(tabNum)});
    for (table.First(); !table.IsEmpty();)
        table.Delete();
}

QString DateText(TDateTime date) { return date >= 1 ? DateToStr(date) : QString(); }

} // namespace

void RaiseTabnNotFound(qint32 tabNum)
{
    throw EAppException(QStringLiteral("Табельный номер №%1 в справочнике не найден").arg(tabNum));
}

qint32 NextFreeTabNum()
{
    SrCursor sr;
    return std::max<qint32>(GetNextNumber(sr), LastArchivedTabNum() + 1);
}

// ---------------------------------------------------------------- T_TabnBase

T_TabnBase::T_TabnBase() : date_(Cfg.Workdate) {}

T_TabnBase::~T_TabnBase() = default;

void T_TabnBase::SetTabNum(qint32 value) { tabNum_ = value; }

void T_TabnBase::SetDate(TDateTime value) { date_ = value; }

void T_TabnBase::LoadFromTable(Cursor& table)
{
    tabNum_ = table.FieldByName(kTabnum).AsInteger();
    SNum = table.FieldByName(S("SNUM")).AsInteger();
    if (SNum < 1)
        SNum = tabNum_;
    TabNomer = table.FieldByName(S("TABNOMER")).AsString();
    Fio = table.FieldByName(S("FIO")).AsString();
    OldPodr = table.FieldByName(S("OLDPODR")).AsInteger();
    Podr = table.FieldByName(S("PODR")).AsInteger();
    CUser = table.FieldByName(S("CUSER")).AsInteger();
    Dismissed = Podr == 0;
    if (Dismissed)
        Podr = OldPodr;
}

void T_TabnBase::AssignColumns(const T_TabnBase& card)
{
    tabNum_ = card.tabNum_;
    SNum = card.SNum;
    TabNomer = card.TabNomer;
    Fio = card.Fio;
    OldPodr = card.OldPodr;
    Podr = card.Podr;
    CUser = card.CUser;
    Dismissed = card.Dismissed;
}

bool T_TabnBase::ReadRow()
{
    SrCursor sr;
    if (!sr.FindKey({Variant(tabNum_)}))
        return false;
    LoadFromTable(sr);
    return true;
}

bool T_TabnBase::LoadByTabNum(qint32 tabNum)
{
    SetTabNum(tabNum);
    return TryLoad();
}

void T_TabnBase::Load()
{
    if (!ReadRow())
        RaiseTabnNotFound(tabNum_);
}

bool T_TabnBase::TryLoad() { return ReadRow(); }

void T_TabnBase::Save()
{
    SrCursor sr;
    if (!sr.FindKey({Variant(tabNum_)}))
        RaiseTabnNotFound(tabNum_);
    WriteToTable(sr);
}

QString T_TabnBase::GetNumberText() const { return Cfg.TabNomer ? TabNomer : QString::number(tabNum_); }

QString T_TabnBase::GetFio() const { return GetFioPart(Cfg.FioVid); }

QString T_TabnBase::GetFioPart(int part) const
{
    if (part <= 0)
        return Fio;
    const QStringList parts = Fio.split(QLatin1Char('|'));
    return part <= parts.size() ? parts[part - 1] : parts.first();
}

// ---------------------------------------------------------------- T_Tabn

std::unique_ptr<T_Tabn> T_Tabn::CreateByTabNum(qint32 tabNum, bool& found)
{
    auto card = std::make_unique<T_Tabn>();
    found = card->LoadByTabNum(tabNum);
    return card;
}

void T_Tabn::LoadFromTable(Cursor& table)
{
    T_TabnBase::LoadFromTable(table);
    DateRas = table.FieldByName(S("DATERAS")).AsDateTime();
    Sum = Currency::FromDouble(table.FieldByName(S("SUM")).AsFloat());
    Calculated = DateRas >= 1;
}

qint32 T_Tabn::WriteToTable(Cursor& table)
{
    if (SNum < 1)
        SNum = TabNum();
    SetRecordValues(table, {"SNUM", "PODR", "OLDPODR", "DATERAS", "CUSER"},
        {Variant(SNum), Variant(StoredPodr()), Variant(StoredOldPodr()), Variant::FromDate(Calculated ? DateRas : 0),
            Variant(CUser)});
    return TabNum();
}

// ---------------------------------------------------------------- T_xTabn

T_xTabn::T_xTabn(T_DNList* dops)
    : permanent_(std::make_unique<T_TabnDopList>(dops, tdkPermanent)),
      monthTotals_(std::make_unique<T_TabnDopList>(dops, tdkMonthTotals))
{
}

T_xTabn::~T_xTabn() = default;

std::unique_ptr<T_xTabn> T_xTabn::CreateByTabNum(T_DNList* dops, qint32 tabNum, bool& found)
{
    auto card = std::make_unique<T_xTabn>(dops);
    found = card->LoadByTabNum(tabNum);
    return card;
}

void T_xTabn::SetComment(const QString& text)
{
    if (text == comment_)
        return;
    comment_ = text;
    commentChanged_ = true;
    FComment = !text.isEmpty();
}

namespace {

// The pay columns of an SR row into any record with fields of their names.
template <class Columns> void ReadPayColumns(Cursor& table, Columns& c)
{
    const auto date = [&](const char* name) { return table.FieldByName(S(name)).AsDateTime(); };
    const auto integer = [&](const char* name) { return qint32(table.FieldByName(S(name)).AsInteger()); };
    const auto number = [&](const char* name) { return table.FieldByName(S(name)).AsFloat(); };
    c.DateBeg = date("DATEBEG");
    c.DateRecept = date("DATERECEPT");
    c.DateRelease = date("DATERELEASE");
    c.CheckChange = table.FieldByName(S("CHECKCHANGE")).AsBoolean();
    c.DateRas = date("DATERAS");
    c.Sum = number("SUM");
    c.Post = integer("POST");
    c.Ctgr = integer("CTGR");
    c.Ksop = integer("KSOP");
    c.Okl = number("OKL");
    c.Avan = number("AVAN");
    c.Fs = integer("FS");
    c.MinZarp = integer("MINZARP");
    c.Vychet = number("VYCHET");
    c.LgotaPN = number("LGOTAPN");
    c.Calendar = integer("CALENDAR");
    c.SpnTabl = integer("SPNTABL");
    c.Order = integer("ORDER");
    c.OrderRel = integer("ORDERREL");
}

} // namespace

void T_xTabn::LoadFromTable(Cursor& table)
{
    T_TabnBase::LoadFromTable(table);
    ReadPayColumns(table, *this);
    FComment = table.FieldByName(S("FCOMMENT")).AsBoolean();
    comment_.clear();
    commentChanged_ = false;
    if (FComment) {
        SrtCursor srt;
        if (srt.FindKey({Variant(TabNum()), Variant(kCommentTip)}))
            comment_ = ReadTextBlob(srt.FieldByName(S("INFO")).AsBlob());
    }
    for (T_TabnDopList* list : {permanent_.get(), monthTotals_.get()}) {
        list->Date = Date();
        list->SetTabn(TabNum());
    }
}

void T_xTabn::Columns(QStringList& names, QList<Variant>& values) const
{
    names = QStringList{"SNUM", "PODR", "OLDPODR", "CUSER", "FIO", "TABNOMER", "DATEBEG", "DATERECEPT", "DATERELEASE",
        "CHECKCHANGE", "DATERAS", "SUM", "POST", "CTGR", "KSOP", "OKL", "AVAN", "FS", "MINZARP", "VYCHET", "LGOTAPN",
        "CALENDAR", "SPNTABL", "ORDER", "ORDERREL", "FCOMMENT"};
    values = QList<Variant>{Variant(SNum), Variant(StoredPodr()), Variant(StoredOldPodr()), Variant(CUser),
        Variant(Fio), Variant(TabNomer), Variant::FromDate(DateBeg), Variant::FromDate(DateRecept),
        Variant::FromDate(DateRelease), Variant(CheckChange), Variant::FromDate(DateRas), Variant(Sum), Variant(Post),
        Variant(Ctgr), Variant(Ksop), Variant(Okl), Variant(Avan), Variant(Fs), Variant(MinZarp), Variant(Vychet),
        Variant(LgotaPN), Variant(Calendar), Variant(SpnTabl), Variant(Order), Variant(OrderRel), Variant(FComment)};
}

qint32 T_xTabn::WriteToTable(Cursor& table)
{
    if (SNum < 1)
        SNum = TabNum();
    QStringList names;
    QList<Variant> values;
    Columns(names, values);
    SetRecordValues(table, names, values);
    return TabNum();
}

void T_xTabn::SaveComment(qint32 tabNum)
{
    QByteArray info;
    WriteTextBlob(info, comment_);
    SrtCursor srt;
    // By the full key: the card's other SRT objects are not the comment.
    if (srt.FindKey({Variant(tabNum), Variant(kCommentTip)}))
        srt.Edit();
    else
        srt.Append();
    try {
        srt.FieldByName(kTabnum).SetInteger(tabNum);
        srt.FieldByName(S("TIP")).SetInteger(kCommentTip);
        srt.FieldByName(S("OWNNUM")).SetInteger(tabNum);
        srt.FieldByName(S("INFO")).SetBlob(info);
        StampUser(srt);
        srt.Post();
    } catch (...) {
        srt.Cancel();
        throw;
    }
}

void T_xTabn::Save()
{
    const qint32 oldSNum = SNum;
    const qint32 oldListNum = permanent_->TabNum, oldTotalsNum = monthTotals_->TabNum;
    const TDateTime oldListDate = permanent_->Date, oldTotalsDate = monthTotals_->Date;
    qint32 number = TabNum();
    try {
        // The lists' own transactions become savepoints of this one.
        Transaction tx(QStringList{kSR, kSRT, S("SRD"), S("NCARC"), S("VVARC")});
        SrCursor sr;
        if (!New) {
            if (!sr.FindKey({Variant(number)}))
                RaiseTabnNotFound(number);
        } else if (number == -1) {
            number = NextFreeTabNum();
        } else if (HasArchivedEntries(number)) {
            throw EKeyViolation(QStringLiteral("Табельный номер №%1 есть в архиве").arg(number));
        }
        if (SNum < 1)
            SNum = number;
        QStringList names;
        QList<Variant> values;
        Columns(names, values);
        if (New)
            AppendRecordValues(sr, number, names, values); // a taken number fails as a duplicate key
        else
            SetRecordValues(sr, names, values);
        if (commentChanged_)
            SaveComment(number);
        for (T_TabnDopList* list : {permanent_.get(), monthTotals_.get()}) {
            // Entries made before the card had its number carry the old one.
            list->TabNum = number;
            list->Date = Date();
            for (T_TabnDop* entry : *list)
                entry->TabNum = number;
            list->Save();
        }
        tx.Commit();
    } catch (...) {
        SNum = oldSNum;
        permanent_->TabNum = oldListNum;
        monthTotals_->TabNum = oldTotalsNum;
        permanent_->Date = oldListDate;
        monthTotals_->Date = oldTotalsDate;
        throw;
    }
    SetTabNum(number);
    New = false;
    commentChanged_ = false;
}

void T_xTabn::DeleteFromBase(bool /*flag*/)
{
    const qint32 tabNum = TabNum();
    Transaction tx(QStringList{kSR, kSRT, S("SRH"), S("SRD"), S("VVOD"), S("NC")});
    {
        SrtCursor srt;
        DeleteRange(srt, tabNum);
        Cursor srh(S("SRH"));
        srh.SetIndexName(kTabnum);
        srh.Open();
        DeleteRange(srh, tabNum);
    }
    DeleteTabnEntries(tabNum);
    SrCursor sr;
    if (sr.FindKey({Variant(tabNum)}))
        sr.Delete();
    tx.Commit();
}

// ---------------------------------------------------------------- T_dTabn

struct T_dTabn::PayColumns {
    TDateTime DateBeg = 0, DateRecept = 0, DateRelease = 0, DateRas = 0;
    bool CheckChange = false;
    double Sum = 0, Okl = 0, Avan = 0, Vychet = 0, LgotaPN = 0;
    qint32 Post = 0, Ctgr = 0, Ksop = 0, Fs = 0, MinZarp = 0, Calendar = 0, SpnTabl = 0, Order = 0, OrderRel = 0;

    explicit PayColumns(Cursor& table) { ReadPayColumns(table, *this); }
};

T_dTabn::T_dTabn(T_DNList* dops) : dops_(dops) {}

T_dTabn::~T_dTabn() = default;

std::unique_ptr<T_dTabn> T_dTabn::CreateByTabNum(T_DNList* dops, qint32 tabNum, bool& found)
{
    auto card = std::make_unique<T_dTabn>(dops);
    found = card->LoadByTabNum(tabNum);
    return card;
}

void T_dTabn::SetTabNum(qint32 value)
{
    T_TabnBase::SetTabNum(value);
    ClearCache();
}

void T_dTabn::SetDate(TDateTime value)
{
    T_TabnBase::SetDate(value);
    ClearCache();
}

void T_dTabn::ClearCache()
{
    pay_.reset();
    commentRead_ = false;
    comment_.clear();
    for (auto& list : lists_)
        list.reset();
}

void T_dTabn::LoadFromTable(Cursor& table)
{
    T_TabnBase::LoadFromTable(table);
    ClearCache();
    pay_ = std::make_unique<PayColumns>(table);
}

qint32 T_dTabn::WriteToTable(Cursor& /*table*/) { return 0; }

const T_dTabn::PayColumns& T_dTabn::Pay()
{
    // Only the pay columns: the base ones stay as the caller set them.
    if (!pay_) {
        std::optional<SrCursor> own;
        Cursor& sr = Cursors != nullptr ? Cursors->Get(TTabnCursors::Sr) : own.emplace();
        if (!sr.FindKey({Variant(TabNum())}))
            RaiseTabnNotFound(TabNum());
        pay_ = std::make_unique<PayColumns>(sr);
    }
    return *pay_;
}

TDateTime T_dTabn::DateBeg() { return Pay().DateBeg; }
TDateTime T_dTabn::DateRecept() { return Pay().DateRecept; }
TDateTime T_dTabn::DateRelease() { return Pay().DateRelease; }
bool T_dTabn::CheckChange() { return Pay().CheckChange; }
TDateTime T_dTabn::DateRas() { return Pay().DateRas; }
double T_dTabn::Sum() { return Pay().Sum; }
qint32 T_dTabn::Post() { return Pay().Post; }
qint32 T_dTabn::Ctgr() { return Pay().Ctgr; }
qint32 T_dTabn::Ksop() { return Pay().Ksop; }
double T_dTabn::Okl() { return Pay().Okl; }
double T_dTabn::Avan() { return Pay().Avan; }
qint32 T_dTabn::Fs() { return Pay().Fs; }
qint32 T_dTabn::MinZarp() { return Pay().MinZarp; }
double T_dTabn::Vychet() { return Pay().Vychet; }
double T_dTabn::LgotaPN() { return Pay().LgotaPN; }
qint32 T_dTabn::Calendar() { return Pay().Calendar; }
qint32 T_dTabn::SpnTabl() { return Pay().SpnTabl; }
qint32 T_dTabn::Order() { return Pay().Order; }
qint32 T_dTabn::OrderRel() { return Pay().OrderRel; }

QString T_dTabn::Comment()
{
    if (!commentRead_) {
        SrtCursor srt;
        comment_ = srt.FindKey({Variant(TabNum()), Variant(kCommentTip)})
            ? ReadTextBlob(srt.FieldByName(S("INFO")).AsBlob())
            : QString();
        commentRead_ = true;
    }
    return comment_;
}

T_TabnDopList& T_dTabn::GetList(quint8 kind)
{
    if (kind < tdkPermanent || kind > tdkMonthTotals)
        throw EAppException(QStringLiteral("T_TabnDopList: Неизвестный тип"));
    std::unique_ptr<T_TabnDopList>& list = lists_[kind - 1];
    if (!list) {
        auto made = std::make_unique<T_TabnDopList>(dops_, kind);
        made->Cursors = Cursors;
        made->Date = Date();
        made->SetTabn(TabNum());
        list = std::move(made);
    }
    return *list;
}

bool T_dTabn::GetFieldText(const QString& name, QString& text)
{
    const QString key = name.trimmed().toUpper();
    const auto number = [](double v) { return FloatToStr(v); };
    text.clear();
    if (key == QLatin1String("TABNUM"))
        text = QString::number(TabNum());
    else if (key == QLatin1String("TABN"))
        text = GetNumberText();
    else if (key == QLatin1String("FIO"))
        text = GetFio();
    else if (key.startsWith(QLatin1String("FIO."))) {
        bool ok = false;
        const int part = key.mid(4).toInt(&ok);
        text = GetFioPart(ok ? part : Cfg.FioVid);
    } else if (key == QLatin1String("PODR"))
        text = QString::number(Podr);
    else if (key == QLatin1String("DATEBEG"))
        text = DateText(DateBeg());
    else if (key == QLatin1String("DATERECEPT"))
        text = DateText(DateRecept());
    else if (key == QLatin1String("DATERELEASE"))
        text = DateText(DateRelease());
    else if (key == QLatin1String("DATERAS"))
        text = DateText(DateRas());
    else if (key == QLatin1String("COMMENT"))
        text = Comment();
    else if (key == QLatin1String("POST"))
        text = QString::number(Post());
    else if (key == QLatin1String("CTGR"))
        text = QString::number(Ctgr());
    else if (key == QLatin1String("KSOP"))
        text = QString::number(Ksop());
    else if (key == QLatin1String("OKL"))
        text = number(Okl());
    else if (key == QLatin1String("AVAN"))
        text = number(Avan());
    else if (key == QLatin1String("FS"))
        text = QString::number(Fs());
    else if (key == QLatin1String("MINZARP"))
        text = QString::number(MinZarp());
    else if (key == QLatin1String("VYCHET"))
        text = number(Vychet());
    else if (key == QLatin1String("LGOTAPN"))
        text = number(LgotaPN());
    else if (key == QLatin1String("CALENDAR"))
        text = QString::number(Calendar());
    else if (key == QLatin1String("SPNTABL"))
        text = QString::number(SpnTabl());
    else
        return false;
    return !text.isEmpty();
}

// ---------------------------------------------------------------- T_TNList

T_TNList::T_TNList(T_PNList* owner) : owner_(owner)
{
    if (owner_ != nullptr)
        owner_->RegisterCardList(this);
}

T_TNList::~T_TNList()
{
    if (owner_ != nullptr)
        owner_->UnregisterCardList(this);
}

void T_TNList::SetPodr(qint32 podr)
{
    if (podr == podr_)
        return EnsureLoaded();
    podr_ = podr;
    Reload();
}

void T_TNList::SetFilter(quint8 filter)
{
    if (filter == filter_)
        return EnsureLoaded();
    filter_ = filter;
    Reload();
}

void T_TNList::SetSortMode(int mode)
{
    if (mode == sortMode_)
        return;
    sortMode_ = mode;
    if (loaded_) {
        Sort();
        Changed();
    }
}

void T_TNList::EnsureLoaded()
{
    if (!loaded_)
        Reload();
}

void T_TNList::SetLoaded(bool loaded)
{
    if (!loaded)
        loaded_ = false;
}

void T_TNList::Reload()
{
    const BusyScope busy;
    // A pending reading of the departments happens now: it reloads the
    // registered lists, this one too, before this reading begins.
    if (owner_ != nullptr)
        owner_->EnsureLoaded();
    Clear();
    loaded_ = false;
    if (podr_ != -1 && owner_ != nullptr && owner_->FindPodr(podr_) == nullptr)
        ShowError(QStringLiteral("Не найдено подразделение №%1").arg(podr_));
    if (filter_ != 0 && podr_ != -1) {
        const bool withDismissed = (filter_ & tfDismissed) != 0;
        const qint32 key = withDismissed ? 0 : podr_;
        Cursor sr(kSR);
        sr.SetIndexName(S("PODR"));
        sr.Open();
        sr.SetRange({Variant(key)}, {Variant(key)});
        for (sr.First(); !sr.Eof(); sr.Next()) {
            auto card = std::make_unique<T_Tabn>();
            card->LoadFromTable(sr);
            const bool keep = card->Dismissed ? withDismissed : (filter_ & tfWorking) != 0;
            if (keep)
                AddObject(card.release());
        }
    }
    loaded_ = true;
    Sort();
    Changed();
}

void T_TNList::Sort()
{
    std::vector<T_Tabn*> items;
    items.reserve(size_t(Count()));
    while (Count() > 0)
        items.push_back(static_cast<T_Tabn*>(ExtractObject(0)));
    const int mode = sortMode_;
    std::stable_sort(items.begin(), items.end(), [mode](const T_Tabn* a, const T_Tabn* b) {
        return CompareTabn({a->TabNum(), a->GetFio(), a->SNum}, {b->TabNum(), b->GetFio(), b->SNum}, mode) < 0;
    });
    for (T_Tabn* card : items)
        AddObject(card);
}

void T_TNList::Changed()
{
    if (OnChange)
        OnChange(this);
    std::vector<TNotifyEvent> events;
    for (int i = 0; i < notify_.Count(); ++i)
        events.push_back(notify_.GetEvent(i));
    for (const TNotifyEvent& event : events) {
        if (notify_.IndexOf(event) >= 0)
            event(this);
    }
}

T_Tabn* T_TNList::FindTabn(qint32 tabNum) const
{
    return Find([tabNum](const T_Tabn* card) { return card->TabNum() == tabNum; });
}

int T_TNList::IndexOfTabNum(qint32 tabNum) const { return IndexOfObject(FindTabn(tabNum)); }

void T_TNList::CheckAll()
{
    for (T_Tabn* card : *this)
        card->Checked = true;
}

void T_TNList::UncheckAll()
{
    for (T_Tabn* card : *this)
        card->Checked = false;
}

void T_TNList::AddNotify(const TNotifyEvent& event)
{
    if (notify_.IndexOf(event) < 0)
        notify_.Add(event);
}

void T_TNList::RemoveNotify(const TNotifyEvent& event) { notify_.Remove(event); }

int T_TNList::FillStrings(TStringItems& strings, qint32 tabNum)
{
    EnsureLoaded();
    strings.clear();
    int index = -1;
    for (T_Tabn* card : *this) {
        if (index < 0 && card->TabNum() == tabNum)
            index = int(strings.size());
        strings << TStringItem{card->GetNumberText() + QLatin1Char(' ') + card->GetFio(), card->TabNum()};
    }
    return index;
}
