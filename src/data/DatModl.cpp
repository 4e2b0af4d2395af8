#include "data/DatModl.h"

#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/TableCatalogue.h"
#include "db/Session.h"
#include "db/Transaction.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Exceptions.h"
#include "platform/VariantOps.h"

#include <algorithm>
#include <memory>

namespace {

const QString kUser = QStringLiteral("USER");

struct Component {
    Cursor TDM::*cursor;
    const char* name;
    const char* table;
    const char* index;
};

// In opening order: every master before its details.
constexpr Component kComponents[] = {
    {&TDM::tb_DP, "tb_DP", "DP", ""},
    {&TDM::tbzDP, "tbzDP", "DP", ""},
    {&TDM::tbdDP, "tbdDP", "DP", ""},
    {&TDM::DP, "DP", "DP", ""},
    {&TDM::tb_SR, "tb_SR", "SR", ""},
    {&TDM::tbzSP, "tbzSP", "SP", ""},
    {&TDM::tb_SP, "tb_SP", "SP", ""},
    {&TDM::SP, "SP", "SP", ""},
    {&TDM::tbzSR, "tbzSR", "SR", "PODR"},
    {&TDM::SR, "SR", "SR", ""},
    {&TDM::tb_SRH, "tb_SRH", "SRH", "TABNUM"},
    {&TDM::tb_SRD, "tb_SRD", "SRD", "TABNUM"},
    {&TDM::tbaPost, "tbaPost", "POST", ""},
    {&TDM::Post, "Post", "POST", ""},
    {&TDM::tbaCtgr, "tbaCtgr", "CTGR", "NAIM"},
    {&TDM::Ctgr, "Ctgr", "CTGR", ""},
    {&TDM::Staff, "Staff", "STAFF", ""},
    {&TDM::tbsSr, "tbsSr", "SR", ""},
    {&TDM::tbsStaff, "tbsStaff", "STAFF", ""},
    {&TDM::tbsPost, "tbsPost", "POST", ""},
    {&TDM::tbsSRH, "tbsSRH", "SRH", "TABNUM"},
    {&TDM::tbsSRD, "tbsSRD", "SRD", "TABNUM"},
    {&TDM::tbzSRH, "tbzSRH", "SRH", "TABNUM"},
    {&TDM::tbzSRD, "tbzSRD", "SRD", "TABNUM"},
    {&TDM::tbaKsop, "tbaKsop", "KSOP", ""},
    {&TDM::tbaPNT, "tbaPNT", "PNT", ""},
    {&TDM::tbaPN, "tbaPN", "PN", "TIP"},
    {&TDM::tbaPNL, "tbaPNL", "PNL", ""},
    {&TDM::PNT, "PNT", "PNT", ""},
    {&TDM::PN, "PN", "PN", ""},
    {&TDM::PNL, "PNL", "PNL", ""},
    {&TDM::tbsPNT, "tbsPNT", "PNT", ""},
    {&TDM::USER, "USER", "User", ""},
    {&TDM::tbuUser, "tbuUser", "User", ""},
    {&TDM::tb_DPT, "tb_DPT", "DPT", ""},
    {&TDM::DPT, "DPT", "DPT", ""},
    {&TDM::DPH, "DPH", "DPH", ""},
    {&TDM::SRH, "SRH", "SRH", ""},
    {&TDM::SRT, "SRT", "SRT", ""},
    {&TDM::SRD, "SRD", "SRD", ""},
    {&TDM::NC, "NC", "NC", ""},
    {&TDM::VVOD, "VVOD", "VVOD", ""},
    {&TDM::NCARC, "NCARC", "NCARC", ""},
    {&TDM::VVARC, "VVARC", "VVARC", ""},
    {&TDM::Bin, "Bin", "Bin", ""},
};
static_assert(std::size(kComponents) == 45);

struct Link {
    Cursor TDM::*detail;
    Cursor TDM::*master;
    const char* fields; // of the master, matched to the detail index's leading fields
};

// STAFF has no index on POST: the link meets its primary key, so an
// employee's POST is the number of his staff schedule row.
constexpr Link kLinks[] = {
    {&TDM::tbzSR, &TDM::tbzSP, "NUM"},
    {&TDM::tbzSRH, &TDM::tbzSR, "TABNUM"},
    {&TDM::tbzSRD, &TDM::tbzSR, "TABNUM"},
    {&TDM::tbsSRH, &TDM::tbsSr, "TABNUM"},
    {&TDM::tbsSRD, &TDM::tbsSr, "TABNUM"},
    {&TDM::tbsStaff, &TDM::tbsSr, "POST"},
    {&TDM::tbsPost, &TDM::tbsStaff, "POST"},
    {&TDM::tbaPN, &TDM::tbaPNT, "TIP"},
    {&TDM::tbaPNL, &TDM::tbaPN, "NUM"},
};

// The cursors with the filter handler that lets every row through.
constexpr Cursor TDM::*kFiltered[] = {
    &TDM::tb_SR, &TDM::tb_SRH, &TDM::tb_SRD, &TDM::tbsSr, &TDM::tbsSRH, &TDM::tbsSRD, &TDM::SRH, &TDM::SRT, &TDM::SRD};

TDomainListHooks& HooksOf(TDomainList list) { return DataHooks().Lists[size_t(list)]; }

void RunHook(TDomainList list, std::function<void()> TDomainListHooks::*what)
{
    const std::function<void()>& hook = HooksOf(list).*what;
    if (hook)
        hook();
}

TDM& Module()
{
    TDM* dm = DM();
    if (!dm)
        throw EAppException(QStringLiteral("Модуль данных не создан"));
    return *dm;
}

void CheckArrays(const QStringList& names, const QList<Variant>& values)
{
    if (names.isEmpty())
        throw EAppException(QStringLiteral("Массив не может быть пуст"));
    if (names.size() != values.size())
        throw EAppException(QStringLiteral("Не совпадают массивы"));
}

void SetFields(Cursor& table, const QStringList& names, const QList<Variant>& values)
{
    for (int i = 0; i < names.size(); ++i)
        table.FieldByName(names[i]).SetVariant(values[i]);
}

// The named fields set, the user stamped when asked, the row posted.
void SetFieldsAndPost(Cursor& table, const QStringList& names, const QList<Variant>& values, bool stamp)
{
    SetFields(table, names, values);
    if (stamp)
        StampUser(table);
    table.Post();
}

void CancelQuietly(Cursor& table) noexcept
{
    try {
        if (table.Active())
            table.Cancel();
    } catch (...) {
    }
}

void SelectIndex(Cursor& table, const QString& name)
{
    if (table.IndexName().compare(name, Qt::CaseInsensitive) != 0)
        table.SetIndexName(name);
}

[[noreturn]] void RaiseDopNotFound(int dopnum)
{
    throw EAppException(QStringLiteral("Начисление №%1 в справочнике не найдено").arg(dopnum));
}

[[noreturn]] void RaiseTabnNotFound(int tabn)
{
    throw EAppException(QStringLiteral("Табельный номер №%1 в справочнике не найден").arg(tabn));
}

// One row's key and display number, for the renumbering.
struct OrderRow {
    int key = 0;
    int snum = 0;
};

// Gives row `a` the display number just before row `b` among `rows` (the
// group without `a`) and answers the rows to change, `a` last. A number
// below 1 counts as taken: a free one there would be replaced on save.
QList<OrderRow> PlaceBefore(const QList<OrderRow>& rows, int a, int snumB)
{
    QList<OrderRow> changes;
    const bool free = snumB - 1 >= 1
        && std::none_of(rows.begin(), rows.end(), [&](const OrderRow& r) { return r.snum == snumB - 1; });
    if (free) {
        changes << OrderRow{a, snumB - 1};
        return changes;
    }
    const int shift = snumB >= 1 ? 1 : 2 - snumB;
    for (const OrderRow& r : rows) {
        if (r.snum >= snumB)
            changes << OrderRow{r.key, r.snum + shift};
    }
    changes << OrderRow{a, snumB + shift - 1};
    return changes;
}

void WriteOrder(Cursor& table, const QList<OrderRow>& changes)
{
    const Field snum = table.FieldByName(QStringLiteral("SNUM"));
    for (const OrderRow& r : changes) {
        if (!table.FindKey({Variant(r.key)}))
            throw EDatabaseError(QStringLiteral("Запись %1 таблицы %2 исчезла").arg(r.key).arg(table.TableName()));
        table.Edit();
        try {
            snum.SetInteger(r.snum);
            table.Post();
        } catch (...) {
            CancelQuietly(table);
            throw;
        }
    }
}

Variant BlankOf(FieldType type)
{
    switch (type) {
    case FieldType::String: return Variant(QString());
    case FieldType::Boolean: return Variant(false);
    case FieldType::Date:
    case FieldType::DateTime: return Variant::FromDate(0);
    default: return Variant(0);
    }
}

bool FieldEquals(const Field& field, const Variant& value)
{
    const Variant v = field.IsNull() ? BlankOf(field.Type()) : field.AsVariant();
    try {
        return VarCompare(v, value) == 0;
    } catch (const Exception&) {
        return false; // a text against a number that is none
    }
}

} // namespace

// ---------------------------------------------------------------- TDM

TDM::TDM()
{
    for (const Component& c : kComponents) {
        Cursor& cursor = this->*c.cursor;
        cursor.SetName(QString::fromLatin1(c.name));
        cursor.SetTableName(QString::fromLatin1(c.table));
        cursor.SetIndexName(QString::fromLatin1(c.index));
        tables_ << &cursor;
    }
    for (const Link& l : kLinks)
        (this->*l.detail).SetMasterSource(&(this->*l.master), QString::fromLatin1(l.fields));
    for (Cursor TDM::*c : kFiltered)
        (this->*c).OnFilterRecord = [](Cursor&) { return true; };
}

TDM::~TDM()
{
    SetFioLookup({});
    Dop.reset(); // before the directory it points at
    if (created_) {
        for (TDomainList list : {TDomainList::Departments, TDomainList::Accruals, TDomainList::IncomeTax,
                 TDomainList::Calendars, TDomainList::UserFormulas}) {
            try {
                RunHook(list, &TDomainListHooks::Destroy);
            } catch (...) {
            }
        }
    }
    for (const Link& l : kLinks)
        (this->*l.detail).ClearMasterSource();
    for (auto it = tables_.rbegin(); it != tables_.rend(); ++it) {
        try {
            (*it)->Close();
        } catch (...) {
        }
    }
}

Cursor* TDM::FindTable(const QString& name) const
{
    for (Cursor* c : tables_) {
        if (c->Name().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

void TDM::MainDataModuleCreate()
{
    SetSplashText(QStringLiteral("База данных"));
    created_ = true;
    for (TDomainList list : {TDomainList::Departments, TDomainList::Accruals, TDomainList::IncomeTax,
             TDomainList::Calendars, TDomainList::UserFormulas})
        RunHook(list, &TDomainListHooks::Create);
    Dop = std::make_unique<T_Dop>(DNList());
    Dop->Naim = QStringLiteral("(Начисление №%s в справочнике не найдено)");
    OpenOwnedTables(tables_);
    for (TDomainList list : {TDomainList::Accruals, TDomainList::Departments, TDomainList::UserFormulas})
        RunHook(list, &TDomainListHooks::Load);
    if (SR.Active()) {
        SrTABNUM = SR.FieldByName(QStringLiteral("TABNUM"));
        SrFIO = SR.FieldByName(QStringLiteral("FIO"));
        SrPODR = SR.FieldByName(QStringLiteral("PODR"));
        SrDATEBEG = SR.FieldByName(QStringLiteral("DATEBEG"));
    }
    SetFioLookup([](qint32 tabn) {
        QString fio;
        GetFioByTabn(tabn, fio);
        return fio;
    });
    SetSplashText(QStringLiteral("Формы"));
}

int TDM::AddEnterpriseRecord() { return ::AddEnterpriseRecord(SP); }

int AddEnterpriseRecord(Cursor& SP)
{
    const QStringList names{QStringLiteral("NAIM"), QStringLiteral("SNUM"), QStringLiteral("NUMPDP"),
        QStringLiteral("NUMUP"), QStringLiteral("DELETED")};
    const QList<Variant> values{Variant(QStringLiteral("Зарегистрируйте наименование предприятия")), Variant(0),
        Variant(-1), Variant(0), Variant(false)};
    SP.CheckBrowseMode();
    Transaction tx({&SP});
    int number = AppendNumberedRecord(SP, names, values, true);
    if (number == 0) {
        // Number 0 means "no department" elsewhere: the row takes the next one.
        const int second = AppendNumberedRecord(SP, names, values, true);
        PrimaryIndexScope index(SP);
        if (SP.FindKey({Variant(0)}))
            SP.Delete();
        number = second;
    }
    tx.Commit();
    return number;
}

TDM* DM() { return AppContext().DM.get(); }

void CreateDataModule()
{
    DestroyDataModule();
    std::unique_ptr<TDM>& dm = AppContext().DM;
    dm = std::make_unique<TDM>();
    try {
        dm->MainDataModuleCreate();
    } catch (...) {
        dm.reset();
        throw;
    }
}

void DestroyDataModule() { AppContext().DM.reset(); }

// ---------------------------------------------------------------- domain lists

void ReloadAllLists()
{
    const BusyScope busy;
    struct Restore {
        ~Restore() { DbSession::EnableAllControls(); }
    };
    DbSession::DisableAllControls();
    const Restore restore;
    DbSession::RefreshAll();
    for (TDomainList list : {TDomainList::Departments, TDomainList::Accruals, TDomainList::IncomeTax,
             TDomainList::Calendars, TDomainList::UserFormulas})
        RunHook(list, &TDomainListHooks::Load);
}

void SetSplashTextHook(std::function<void(const QString&)> hook) { DataHooks().SplashText = std::move(hook); }

void SetSplashText(const QString& text)
{
    if (DataHooks().SplashText)
        DataHooks().SplashText(text);
}

void SetDataReplacedHook(std::function<void()> hook) { DataHooks().DataReplaced = std::move(hook); }

void AnnounceDataReplaced()
{
    if (DataHooks().DataReplaced)
        DataHooks().DataReplaced();
}

// ---------------------------------------------------------------- record routines

void OpenOwnedTables(const QList<Cursor*>& tables)
{
    // A damaged table fails for every cursor on it: the clerk hears of it once.
    QStringList reported;
    for (Cursor* table : tables) {
        if (ApplicationTerminating())
            return;
        if (table->Name().startsWith(QStringLiteral("TMP"), Qt::CaseInsensitive))
            continue;
        try {
            table->Open();
        } catch (const Exception& e) {
            const QString key = table->Folder() + QLatin1Char('\n') + table->TableName();
            if (reported.contains(key, Qt::CaseInsensitive))
                continue;
            reported << key;
            ShowError(QStringLiteral("Ошибка при открытии таблицы \"%1\"|").arg(TableCaption(table->TableName()))
                + EscapeBars(e.Message()));
        }
    }
}

void SelectPrimaryIndex(Cursor& table, QString& oldIndexName)
{
    oldIndexName = table.IndexName();
    SelectIndex(table, QString());
}

PrimaryIndexScope::PrimaryIndexScope(Cursor& table) : table_(table) { SelectPrimaryIndex(table_, old_); }

PrimaryIndexScope::~PrimaryIndexScope()
{
    try {
        if (table_.Active() && table_.IndexName() != old_)
            table_.SetIndexName(old_);
    } catch (...) {
    }
}

int GetNextNumber(Cursor& table)
{
    const int64_t number = table.NextKeyNumber();
    if (number < 0 && DebugStopEnabled())
        throw EAppException(QStringLiteral("Отрицательное значение автоинкрементного поля"));
    return int(number);
}

int AppendNextNumber(Cursor& table)
{
    QString old;
    SelectPrimaryIndex(table, old);
    table.CheckBrowseMode();
    const int number = GetNextNumber(table);
    table.Append();
    try {
        table.FieldAt(0).SetInteger(number);
    } catch (...) {
        CancelQuietly(table);
        throw;
    }
    return number;
}

void StampUser(Cursor& table)
{
    const Field user = table.FindField(kUser);
    if (user.IsValid())
        user.SetInteger(CurrentUser);
}

int AppendNumberedRecord(Cursor& table, const QStringList& names, const QList<Variant>& values, bool stamp)
{
    CheckArrays(names, values);
    table.CheckBrowseMode();
    // The number is read under the write lock, so no other copy takes it first.
    Transaction tx({&table});
    int number = 0;
    try {
        number = GetNextNumber(table);
        table.Append();
        table.FieldAt(0).SetInteger(number);
        SetFieldsAndPost(table, names, values, stamp);
    } catch (...) {
        CancelQuietly(table);
        throw;
    }
    tx.Commit();
    return number;
}

void AppendRecordValues(Cursor& table, int number, const QStringList& names, const QList<Variant>& values, bool stamp)
{
    CheckArrays(names, values);
    table.Append();
    try {
        if (number != 0)
            table.FieldAt(0).SetInteger(number);
        SetFieldsAndPost(table, names, values, stamp);
    } catch (...) {
        CancelQuietly(table);
        throw;
    }
}

void SetRecordValues(Cursor& table, const QStringList& names, const QList<Variant>& values, bool stamp)
{
    CheckArrays(names, values);
    table.Edit();
    try {
        SetFieldsAndPost(table, names, values, stamp);
    } catch (...) {
        CancelQuietly(table);
        throw;
    }
}

void SetRecordValuesByKey(
    Cursor& table, const QList<Variant>& key, const QStringList& names, const QList<Variant>& values, bool stamp)
{
    CheckArrays(names, values);
    table.CheckBrowseMode();
    PrimaryIndexScope index(table);
    if (!table.FindKey(key))
        throw EAppException(QStringLiteral("Нет в справочнике"));
    SetRecordValues(table, names, values, stamp);
}

bool GetTabnPodr(int tabn, int& podr)
{
    Cursor& sr = Module().SR;
    if (!sr.FindKey({Variant(tabn)}))
        return false;
    podr = sr.FieldByName(QStringLiteral("PODR")).AsInteger();
    return true;
}

bool GetFioByTabn(int tabn, QString& fio)
{
    fio = QStringLiteral("Не найдено");
    TDM* dm = DM();
    if (!dm || !dm->SR.Active() || !dm->SR.FindKey({Variant(tabn)}))
        return false;
    fio = dm->SR.FieldByName(QStringLiteral("FIO")).AsString();
    return true;
}

void FindDopOrError(int dopnum)
{
    if (!Module().DP.FindKey({Variant(dopnum)}))
        RaiseDopNotFound(dopnum);
}

void FindTabnOrError(int tabn)
{
    if (!Module().SR.FindKey({Variant(tabn)}))
        RaiseTabnNotFound(tabn);
}

bool MoveTabnBefore(int tabnA, int tabnB)
{
    if (tabnA == tabnB)
        return false;
    Cursor sr(QStringLiteral("SR"));
    sr.Open();
    Transaction tx({&sr});
    const Field podr = sr.FieldByName(QStringLiteral("PODR"));
    const Field snum = sr.FieldByName(QStringLiteral("SNUM"));
    if (!sr.FindKey({Variant(tabnB)}))
        RaiseTabnNotFound(tabnB);
    const int group = podr.AsInteger();
    const int snumB = snum.AsInteger();
    if (!sr.FindKey({Variant(tabnA)}))
        RaiseTabnNotFound(tabnA);
    if (podr.AsInteger() != group)
        throw EAppException(QStringLiteral("Нужен номер в том же подразделении"));
    // The rows are read first: changing SNUM while walking PODR;SNUM would
    // move the rows under the walk.
    QList<OrderRow> rows;
    sr.SetIndexName(QStringLiteral("PODR"));
    sr.SetRange({Variant(group)}, {Variant(group)});
    const Field tabnum = sr.FieldByName(QStringLiteral("TABNUM"));
    for (sr.First(); !sr.Eof(); sr.Next()) {
        if (tabnum.AsInteger() != tabnA)
            rows << OrderRow{tabnum.AsInteger(), snum.AsInteger()};
    }
    sr.SetIndexName(QString());
    WriteOrder(sr, PlaceBefore(rows, tabnA, snumB));
    tx.Commit();
    DbSession::RefreshAll(QStringLiteral("SR"));
    return true;
}

bool MoveDopBefore(int dopnumA, int dopnumB)
{
    if (dopnumA == dopnumB)
        return false;
    Cursor dp(QStringLiteral("DP"));
    dp.Open();
    Transaction tx({&dp});
    const Field uder = dp.FieldByName(QStringLiteral("UDER"));
    const Field snum = dp.FieldByName(QStringLiteral("SNUM"));
    const Field dopnum = dp.FieldByName(QStringLiteral("DOPNUM"));
    if (!dp.FindKey({Variant(dopnumB)}))
        RaiseDopNotFound(dopnumB);
    const bool group = uder.AsBoolean();
    const int snumB = snum.AsInteger();
    if (!dp.FindKey({Variant(dopnumA)}))
        RaiseDopNotFound(dopnumA);
    if (uder.AsBoolean() != group)
        throw EAppException(QStringLiteral("Начисление и удержание не переставляются одно перед другим"));
    // DP has no index on SNUM: the group is gathered in memory.
    QList<OrderRow> rows;
    for (dp.First(); !dp.Eof(); dp.Next()) {
        if (uder.AsBoolean() == group && dopnum.AsInteger() != dopnumA)
            rows << OrderRow{dopnum.AsInteger(), snum.AsInteger()};
    }
    WriteOrder(dp, PlaceBefore(rows, dopnumA, snumB));
    tx.Commit();
    DbSession::RefreshAll(QStringLiteral("DP"));
    return true;
}

bool DeletePodrRecord(int num)
{
    Cursor sp(QStringLiteral("SP"));
    sp.Open();
    if (!sp.FindKey({Variant(num)}))
        return false;
    sp.Delete();
    sp.Close();
    RunHook(TDomainList::Departments, &TDomainListHooks::MarkForReload);
    DbSession::RefreshAll(QStringLiteral("SP"));
    return true;
}

bool DeleteDopRecord(int dopnum)
{
    {
        Cursor dph(QStringLiteral("DPH"));
        dph.SetIndexName(QStringLiteral("DOPNUM"));
        dph.Open();
        Cursor dp(QStringLiteral("DP"));
        dp.Open();
        Cursor bin(QStringLiteral("Bin"));
        bin.Open();
        Transaction tx({&dph, &dp, &bin});
        dph.SetRange({Variant(dopnum)}, {Variant(dopnum)});
        while (!dph.IsEmpty())
            dph.Delete();
        const bool found = dp.FindKey({Variant(dopnum)});
        if (found) {
            dp.Delete();
            // A later kind under the same number must not inherit the formula.
            BinSetRange(bin, {Variant(int(binUserFormulas)), Variant(dopnum)});
            while (!bin.IsEmpty())
                bin.Delete();
        }
        tx.Commit();
        if (!found)
            return false;
    }
    RunHook(TDomainList::Accruals, &TDomainListHooks::MarkForReload);
    RunHook(TDomainList::UserFormulas, &TDomainListHooks::MarkForReload);
    DbSession::RefreshAll(QStringLiteral("DPH"));
    DbSession::RefreshAll(QStringLiteral("DP"));
    DbSession::RefreshAll(QStringLiteral("Bin"));
    return true;
}

bool DeleteTablRecord(int num)
{
    {
        Cursor dpt(QStringLiteral("DPT"));
        dpt.Open();
        if (!dpt.FindKey({Variant(num)}))
            return false;
        dpt.Delete();
    }
    DbSession::RefreshAll(QStringLiteral("DPT"));
    return true;
}

bool LocateByScan(Cursor& dataSet, const QString& fieldName, const Variant& value, bool differ)
{
    const Field field = dataSet.FieldByName(fieldName);
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        if (FieldEquals(field, value) != differ)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- the object store

QList<Variant> TBinKey::Values() const
{
    return {Variant(Class), Variant(Vid), Variant(Tip), Variant(SubTip), Variant::FromDate(DateBeg)};
}

QString BinIndexName() { return QStringLiteral("INFO"); }

bool BinFindKey(Cursor& bin, const TBinKey& key)
{
    SelectIndex(bin, BinIndexName());
    return bin.FindKey(key.Values());
}

bool BinFindValid(Cursor& bin, int cls, int vid, int tip, int subTip, TDateTime date)
{
    SelectIndex(bin, BinIndexName());
    bin.FindNearest({Variant(cls), Variant(vid), Variant(tip), Variant(subTip), Variant::FromDate(date)});
    const auto valid = [&] {
        if (bin.IsEmpty())
            return false;
        const TBinObject o = BinCurrent(bin);
        return o.Key.Class == cls && o.Key.Vid == vid && o.Key.Tip == tip && o.Key.SubTip == subTip
            && o.Key.DateBeg <= date;
    };
    if (valid())
        return true;
    // FindNearest stands on the first version after the date (or the last
    // row): the one before it is the candidate.
    bin.Prior();
    return valid();
}

void BinSetRange(Cursor& bin, const QList<Variant>& leadingKey)
{
    SelectIndex(bin, BinIndexName());
    bin.SetRange(leadingKey, leadingKey);
}

TBinObject BinCurrent(Cursor& bin)
{
    TBinObject o;
    o.Key.Class = bin.FieldByName(QStringLiteral("CLASS")).AsInteger();
    o.Key.Vid = bin.FieldByName(QStringLiteral("VID")).AsInteger();
    o.Key.Tip = bin.FieldByName(QStringLiteral("TIP")).AsInteger();
    o.Key.SubTip = bin.FieldByName(QStringLiteral("SUBTIP")).AsInteger();
    o.Key.DateBeg = bin.FieldByName(QStringLiteral("DATEBEG")).AsDateTime();
    o.DateEnd = bin.FieldByName(QStringLiteral("DATEEND")).AsDateTime();
    o.Info = bin.FieldByName(QStringLiteral("INFO")).AsBlob();
    o.User = bin.FieldByName(kUser).AsInteger();
    return o;
}

void BinWrite(Cursor& bin, const TBinKey& key, TDateTime dateEnd, const QByteArray& info)
{
    bin.CheckBrowseMode();
    Transaction tx({&bin});
    try {
        if (BinFindKey(bin, key)) {
            bin.Edit();
        } else {
            bin.Append();
            const QList<Variant> values = key.Values();
            SetFields(bin,
                {QStringLiteral("CLASS"), QStringLiteral("VID"), QStringLiteral("TIP"), QStringLiteral("SUBTIP"),
                    QStringLiteral("DATEBEG")},
                values);
        }
        bin.FieldByName(QStringLiteral("DATEEND")).SetDateTime(dateEnd);
        bin.FieldByName(QStringLiteral("INFO")).SetBlob(info);
        StampUser(bin);
        bin.Post();
    } catch (...) {
        CancelQuietly(bin);
        throw;
    }
    tx.Commit();
}
