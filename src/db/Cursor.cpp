#include "db/Cursor.h"

#include "db/FieldCodec.h"
#include "db/ReadPlan.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/TableFile.h"
#include "db/Tables.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

constexpr int kFirstBlock = 8;
// A range with an end is usually walked whole: its first block is larger,
// so that an employee's rows come in one query.
constexpr int kFirstRangeBlock = 32;
constexpr int kMaxBlock = 256;

const DbValue& NullValue()
{
    static const DbValue v{};
    return v;
}

} // namespace

struct CursorMemo {
    QString indexName;
    bool rangeSet = false;
    bool lowerSet = false;
    bool upperSet = false;
    std::vector<DbValue> lower;
    std::vector<DbValue> upper;
    bool hasRow = false;
    int64_t rowid = 0;
    std::vector<DbValue> key;
};

// Makes a detail cursor follow its master.
class MasterLink final : public CursorObserver {
public:
    explicit MasterLink(Cursor& detail) : detail_(detail) {}
    void CursorChanged(Cursor&, CursorChange change) override
    {
        switch (change) {
        case CursorChange::Destroyed:
            detail_.master_ = nullptr;
            detail_.MasterChanged(true);
            break;
        case CursorChange::RecordChanged: break;
        default: detail_.MasterChanged(false); break;
        }
    }

private:
    Cursor& detail_;
};

// ---------------------------------------------------------------- Field

const FieldDef& Field::Def() const { return cursor_->Definition().fields[index_]; }

const DbValue& Field::Stored() const
{
    cursor_->CheckActive();
    if (!cursor_->hasRow_ && cursor_->state_ == CursorState::Browse)
        return NullValue();
    return cursor_->cur_.values[size_t(index_)];
}

bool Field::IsNull() const { return Stored().IsNull(); }

int Field::AsInteger() const
{
    const int64_t v = ReadInteger(Def(), Stored());
    if (v < INT32_MIN || v > INT32_MAX)
        throw EConvertError(QStringLiteral("Значение поля '%1' не помещается в целое число").arg(Name()));
    return int(v);
}

int64_t Field::AsInt64() const { return ReadInteger(Def(), Stored()); }
double Field::AsFloat() const { return ReadFloat(Def(), Stored()); }
QString Field::AsString() const { return ReadString(Def(), Stored()); }
bool Field::AsBoolean() const { return ReadBoolean(Def(), Stored()); }
TDateTime Field::AsDateTime() const { return ReadDateTime(Def(), Stored()); }
QByteArray Field::AsBlob() const { return ReadBlob(Def(), Stored()); }
Variant Field::AsVariant() const { return ReadVariant(Def(), Stored()); }

void Field::SetInteger(int64_t v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreInteger(Def(), v));
}

void Field::SetFloat(double v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreFloat(Def(), v));
}

void Field::SetString(const QString& v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreString(Def(), v));
}

void Field::SetBoolean(bool v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreBoolean(Def(), v));
}

void Field::SetDateTime(TDateTime v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreDateTime(Def(), v));
}

void Field::SetBlob(const QByteArray& v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreBlob(Def(), v));
}

void Field::SetVariant(const Variant& v) const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, StoreVariant(Def(), v));
}

void Field::Clear() const
{
    cursor_->CheckEditing(index_);
    cursor_->SetValue(index_, DbValue());
}

// ---------------------------------------------------------------- Cursor: set-up

Cursor::Cursor() { id_ = DbSession::RegisterCursor(this); }

Cursor::Cursor(const QString& tableName, const QString& folder) : tableName_(tableName), folder_(folder)
{
    id_ = DbSession::RegisterCursor(this);
}

Cursor::~Cursor()
{
    // No handler of the owner runs any more: the owner is going away.
    OnBeforeScroll = OnAfterScroll = OnNewRecord = OnBeforePost = OnAfterPost = OnBeforeDelete = OnAfterDelete
        = OnDataChanged = nullptr;
    OnFilterRecord = nullptr;
    if (master_ && link_)
        master_->RemoveObserver(link_.get());
    master_ = nullptr;
    try {
        Close();
    } catch (...) {
    }
    const auto observers = observers_;
    for (CursorObserver* o : observers) {
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end())
            o->CursorChanged(*this, CursorChange::Destroyed);
    }
    DbSession::UnregisterCursor(this);
}

void Cursor::SetTableName(const QString& name)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Нельзя сменить таблицу открытого курсора %1").arg(Name()));
    tableName_ = name;
}

void Cursor::SetFolder(const QString& folder)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Нельзя сменить каталог открытого курсора %1").arg(Name()));
    folder_ = folder;
}

QString Cursor::FilePath() const { return Tables::FilePath(tableName_, folder_); }

void Cursor::CheckActive() const
{
    if (state_ == CursorState::Inactive)
        throw EDatabaseError(QStringLiteral("Таблица %1 не открыта").arg(Name()));
}

void Cursor::CheckNotInFilter() const
{
    if (inFilter_)
        throw EDatabaseError(
            QStringLiteral("Таблица %1: во время отбора записей переходы и изменения запрещены").arg(Name()));
}

const TableDef& Cursor::Definition() const
{
    CheckActive();
    return file_->Def();
}

const IndexLayout& Cursor::Layout() const { return file_->Layout(indexDef_); }

void Cursor::Open(bool exclusive)
{
    if (Active())
        return;
    if (tableName_.isEmpty())
        throw EDatabaseError(QStringLiteral("Не задано имя таблицы"));
    std::shared_ptr<TableFile> file = TableFile::Acquire(FilePath());
    if (exclusive && file->cursorCount > 0)
        throw EDatabaseError(
            QStringLiteral("Таблица %1 уже открыта и не может быть открыта монопольно").arg(tableName_));
    if (file->exclusiveCursors > 0)
        throw EDatabaseError(QStringLiteral("Таблица %1 открыта монопольно").arg(tableName_));
    const int indexDef = file->Def().IndexNumber(indexName_);
    if (indexDef < 0 && !indexName_.isEmpty())
        throw EDatabaseError(QStringLiteral("Индекс '%1' не найден в таблице %2").arg(indexName_, tableName_));
    file_ = std::move(file);
    ++file_->cursorCount;
    if (exclusive)
        ++file_->exclusiveCursors;
    exclusive_ = exclusive;
    indexDef_ = indexDef;
    state_ = CursorState::Browse;
    modified_.assign(size_t(file_->Def().fields.size()), false);
    modifiedAny_ = false;
    rangeSet_ = rangeEmpty_ = lowerSet_ = upperSet_ = false;
    shapes_.clear();
    try {
        if (master_)
            MasterChanged(true);
        else
            MoveFirst();
    } catch (...) {
        Close();
        throw;
    }
    Notify(CursorChange::Opened);
}

void Cursor::Close()
{
    if (!Active())
        return;
    ResetAhead();
    shapes_.clear();
    --file_->cursorCount;
    if (exclusive_)
        --file_->exclusiveCursors;
    file_.reset();
    exclusive_ = false;
    state_ = CursorState::Inactive;
    cur_ = Row();
    saved_ = Row();
    hasRow_ = savedHasRow_ = false;
    bof_ = eof_ = true;
    modifiedAny_ = false;
    rangeSet_ = rangeEmpty_ = lowerSet_ = upperSet_ = false;
    lower_.clear();
    upper_.clear();
    linkValues_.clear();
    Notify(CursorChange::Closed);
}

// ---------------------------------------------------------------- fields

int Cursor::FieldCount() const { return int(Definition().fields.size()); }

Field Cursor::FieldAt(int index)
{
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(QStringLiteral("Нет поля с номером %1 в таблице %2").arg(index).arg(Name()));
    return Field(this, index);
}

Field Cursor::FieldByName(const QString& name)
{
    const int i = Definition().FieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Поле '%1' не найдено в таблице %2").arg(name, Name()));
    return Field(this, i);
}

Field Cursor::FindField(const QString& name)
{
    const int i = Definition().FieldIndex(name);
    return i < 0 ? Field() : Field(this, i);
}

// ---------------------------------------------------------------- index

void Cursor::SetIndexName(const QString& name)
{
    if (!Active()) {
        indexName_ = name;
        return;
    }
    CheckNotInFilter();
    const int n = file_->Def().IndexNumber(name);
    if (n < 0 && !name.isEmpty())
        throw EDatabaseError(QStringLiteral("Индекс '%1' не найден в таблице %2").arg(name, tableName_));
    CheckBrowseMode();
    indexName_ = name;
    SelectIndex(n);
}

void Cursor::SetIndexFieldNames(const QString& fields)
{
    IndexDef wanted;
    wanted.fields = fields;
    const QStringList names = wanted.FieldList();
    const TableDef& def = Definition();
    int best = -1;
    for (int exact = 1; exact >= 0 && best < 0; --exact) {
        for (int i = 0; i < def.indexes.size() && best < 0; ++i) {
            const QStringList have = def.indexes[i].FieldList();
            if (have.size() < names.size() || (exact && have.size() != names.size()))
                continue;
            bool same = true;
            for (int k = 0; k < names.size(); ++k)
                same = same && have[k].compare(names[k], Qt::CaseInsensitive) == 0;
            if (same)
                best = i;
        }
    }
    if (best < 0)
        throw EDatabaseError(QStringLiteral("Нет индекса по полям %1 в таблице %2").arg(fields, tableName_));
    SetIndexName(def.indexes[best].IsPrimary() ? QString() : def.indexes[best].name);
}

QStringList Cursor::IndexFields() const
{
    CheckActive();
    QStringList out;
    const IndexLayout& l = Layout();
    for (int i = 0; i < l.keyFieldCount; ++i)
        out << file_->Def().fields[l.columns[size_t(i)].field].name;
    if (l.defNumber < 0 && file_->Def().PrimaryIndexNumber() < 0)
        return QStringList();
    return out;
}

void Cursor::SelectIndex(int defNumber)
{
    indexDef_ = defNumber;
    rangeSet_ = rangeEmpty_ = lowerSet_ = upperSet_ = false;
    lower_.clear();
    upper_.clear();
    pendingLowerSet_ = pendingUpperSet_ = false;
    ResetAhead();
    shapes_.clear();
    if (master_) {
        MasterChanged(true);
        return;
    }
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
}

// ---------------------------------------------------------------- keys and plans

std::vector<DbValue> Cursor::KeyOf(const Row& row) const
{
    const IndexLayout& l = Layout();
    std::vector<DbValue> key;
    key.reserve(l.columns.size());
    for (const KeyColumn& c : l.columns)
        key.push_back(c.field >= 0 ? row.values[size_t(c.field)] : DbValue::OfInt(row.rowid));
    return key;
}

std::vector<DbValue> Cursor::ConvertKey(const QList<Variant>& key, const char* what) const
{
    const IndexLayout& l = Layout();
    if (key.size() > l.keyFieldCount || (l.defNumber < 0 && !key.isEmpty()))
        throw EDatabaseError(QStringLiteral("%1: значений больше, чем полей в индексе таблицы %2")
                                 .arg(QString::fromUtf8(what), tableName_));
    std::vector<DbValue> out;
    out.reserve(size_t(key.size()));
    for (int i = 0; i < key.size(); ++i) {
        const int f = l.columns[size_t(i)].field;
        out.push_back(file_->ForStore(f, StoreVariant(file_->Def().fields[f], key[i], true)));
    }
    return out;
}

int Cursor::CompareTuple(const std::vector<DbValue>& a, const std::vector<DbValue>& b, size_t n) const
{
    return CompareKeys(Layout(), a, b, n);
}

bool Cursor::InBounds(const Row& row) const
{
    if (rangeEmpty_)
        return false;
    if (!lowerSet_ && !upperSet_)
        return true;
    const std::vector<DbValue> key = KeyOf(row);
    if (lowerSet_ && CompareTuple(key, lower_, lower_.size()) < 0)
        return false;
    if (upperSet_ && CompareTuple(key, upper_, upper_.size()) > 0)
        return false;
    return true;
}

ReadPlanner Cursor::Planner() const
{
    return ReadPlanner(Layout(), rangeEmpty_, lowerSet_ ? &lower_ : nullptr, upperSet_ ? &upper_ : nullptr);
}

std::vector<Cursor::Part> Cursor::PlanFrom(
    const std::vector<DbValue>& key, size_t length, bool forward, bool includeEqual, size_t minLevel) const
{
    return Planner().From(key, length, forward, includeEqual, minLevel);
}

void Cursor::Refine(Part part, std::vector<Part>& out) const { Planner().Refine(std::move(part), out); }

sqlite3_stmt* Cursor::Statement(const Part& part, ReadMode mode, std::vector<const DbValue*>& params)
{
    part.Params(params);
    const bool plain = part.Plain();
    const uint32_t shape = part.Shape(mode);
    if (shapesRoute_ != TableFile::RouteGeneration()) {
        shapes_.clear();
        shapesRoute_ = TableFile::RouteGeneration();
    }
    if (plain) {
        const auto it = shapes_.find(shape);
        if (it != shapes_.end())
            return it->second;
    }
    const QByteArray sql = part.Sql(Layout(), mode, file_->SelectList(), file_->TableRef(), params);
    sqlite3_stmt* stmt = file_->Conn().Prepare(sql);
    if (plain)
        shapes_.emplace(shape, stmt);
    return stmt;
}

sqlite3_stmt* Cursor::KeptStatement(uint32_t shape, const std::function<QByteArray()>& sql)
{
    if (shapesRoute_ != TableFile::RouteGeneration()) {
        shapes_.clear();
        shapesRoute_ = TableFile::RouteGeneration();
    }
    const auto it = shapes_.find(shape);
    if (it != shapes_.end())
        return it->second;
    sqlite3_stmt* stmt = file_->Conn().Prepare(sql());
    shapes_.emplace(shape, stmt);
    return stmt;
}

int Cursor::Fetch(const std::vector<Part>& parts, int limit, std::deque<Row>& out, int64_t offset)
{
    int got = 0;
    std::vector<const DbValue*> params;
    const int fields = int(file_->Def().fields.size());
    for (const Part& part : parts) {
        if (got >= limit)
            break;
        sqlite3_stmt* stmt = Statement(part, offset > 0 ? ReadMode::SelectOffset : ReadMode::Select, params);
        StatementScope s(file_->Conn(), stmt);
        int n = 0;
        for (const DbValue* p : params)
            BindDbValue(s, ++n, *p);
        s.BindInt(++n, limit - got);
        if (offset > 0)
            s.BindInt(++n, offset);
        while (s.Step(u"Чтение таблицы %1", tableName_)) {
            Row row;
            row.rowid = sqlite3_column_int64(stmt, 0);
            row.values.resize(size_t(fields));
            for (int i = 0; i < fields; ++i)
                row.values[size_t(i)] = ReadDbValue(stmt, i + 1);
            out.push_back(std::move(row));
            ++got;
        }
    }
    return got;
}

int64_t Cursor::Count(const std::vector<Part>& parts)
{
    int64_t total = 0;
    std::vector<const DbValue*> params;
    for (const Part& part : parts) {
        sqlite3_stmt* stmt = Statement(part, ReadMode::Count, params);
        StatementScope s(file_->Conn(), stmt);
        int n = 0;
        for (const DbValue* p : params)
            BindDbValue(s, ++n, *p);
        if (s.Step(u"Подсчет записей таблицы %1", tableName_))
            total += sqlite3_column_int64(stmt, 0);
    }
    return total;
}

bool Cursor::ReadRowById(int64_t rowid, Row& out)
{
    sqlite3_stmt* stmt = KeptStatement(kRowByIdShape,
        [&] { return "SELECT " + file_->SelectList() + " FROM " + file_->TableRef() + " WHERE rowid=?"; });
    StatementScope s(file_->Conn(), stmt);
    s.BindInt(1, rowid);
    if (!s.Step(u"Чтение таблицы %1", tableName_))
        return false;
    const int fields = int(file_->Def().fields.size());
    out.rowid = sqlite3_column_int64(stmt, 0);
    out.values.resize(size_t(fields));
    for (int i = 0; i < fields; ++i)
        out.values[size_t(i)] = ReadDbValue(stmt, i + 1);
    return true;
}

// ---------------------------------------------------------------- moving

void Cursor::ResetAhead()
{
    ahead_.clear();
    aheadValid_ = false;
    aheadExhausted_ = false;
}

bool Cursor::Accept(Row& candidate)
{
    if (!filtered_ || !OnFilterRecord) {
        cur_ = std::move(candidate);
        hasRow_ = true;
        return true;
    }
    std::swap(cur_, candidate);
    const bool hadRow = hasRow_;
    hasRow_ = true;
    inFilter_ = true;
    bool ok = false;
    try {
        ok = OnFilterRecord(*this);
    } catch (...) {
        inFilter_ = false;
        std::swap(cur_, candidate);
        hasRow_ = hadRow;
        throw;
    }
    inFilter_ = false;
    if (!ok) {
        std::swap(cur_, candidate);
        hasRow_ = hadRow;
    }
    return ok;
}

bool Cursor::TakeFromAhead(bool forward, size_t minLevel, std::vector<DbValue> anchor)
{
    Row rejected;
    bool haveRejected = false;
    for (;;) {
        if (ahead_.empty()) {
            if (aheadExhausted_)
                return false;
            if (haveRejected)
                anchor = KeyOf(rejected);
            else if (anchor.empty())
                anchor = KeyOf(cur_);
            block_ = std::min(std::max(block_ * 2, kFirstBlock), kMaxBlock);
            const std::vector<Part> parts = PlanFrom(anchor, anchor.size(), forward, false, minLevel);
            aheadGeneration_ = file_->DataGeneration();
            aheadRoute_ = TableFile::RouteGeneration();
            const int got = Fetch(parts, block_, ahead_);
            aheadExhausted_ = got < block_;
            if (got == 0)
                return false;
        }
        Row candidate = std::move(ahead_.front());
        ahead_.pop_front();
        if (Accept(candidate))
            return true;
        rejected = std::move(candidate);
        haveRejected = true;
    }
}

bool Cursor::Scan(const std::vector<Part>& initial, bool forward, size_t minLevel, int firstBlock)
{
    ResetAhead();
    block_ = firstBlock > 0 ? firstBlock : (forward ? upperSet_ : lowerSet_) ? kFirstRangeBlock : kFirstBlock;
    aheadValid_ = true;
    aheadForward_ = forward;
    aheadMinLevel_ = minLevel;
    aheadGeneration_ = file_->DataGeneration();
    aheadRoute_ = TableFile::RouteGeneration();
    const int got = Fetch(initial, block_, ahead_);
    aheadExhausted_ = got < block_;
    Row rejected;
    bool haveRejected = false;
    while (!ahead_.empty()) {
        Row candidate = std::move(ahead_.front());
        ahead_.pop_front();
        if (Accept(candidate))
            return true;
        rejected = std::move(candidate);
        haveRejected = true;
    }
    if (!haveRejected || aheadExhausted_)
        return false;
    // Every row of the first block was filtered out: go on after the last.
    return TakeFromAhead(forward, minLevel, KeyOf(rejected));
}

bool Cursor::Step(bool forward)
{
    if (!aheadValid_ || aheadForward_ != forward || aheadMinLevel_ != 0 || aheadGeneration_ != file_->DataGeneration()
        || aheadRoute_ != TableFile::RouteGeneration()) {
        ResetAhead();
        aheadValid_ = true;
        aheadForward_ = forward;
        aheadMinLevel_ = 0;
        block_ = kFirstBlock / 2;
    }
    return TakeFromAhead(forward, 0, std::vector<DbValue>());
}

void Cursor::SetEmpty()
{
    hasRow_ = false;
    cur_.rowid = 0;
    cur_.values.assign(size_t(file_->Def().fields.size()), DbValue());
    bof_ = eof_ = true;
}

bool Cursor::MoveFirst()
{
    static const std::vector<DbValue> none;
    const std::vector<DbValue>& from = lowerSet_ ? lower_ : none;
    const bool ok = Scan(PlanFrom(from, from.size(), true, true, 0), true, 0);
    if (!ok)
        SetEmpty();
    bof_ = true;
    eof_ = !ok;
    return ok;
}

bool Cursor::MoveLast()
{
    static const std::vector<DbValue> none;
    const std::vector<DbValue>& from = upperSet_ ? upper_ : none;
    const bool ok = Scan(PlanFrom(from, from.size(), false, true, 0), false, 0);
    if (!ok)
        SetEmpty();
    eof_ = true;
    bof_ = !ok;
    return ok;
}

// Goes to the row at or after a full key, else the one before, else empty.
void Cursor::Reposition(const std::vector<DbValue>& key)
{
    if (Scan(PlanFrom(key, key.size(), true, true, 0), true, 0)) {
        bof_ = eof_ = false;
        return;
    }
    if (Scan(PlanFrom(key, key.size(), false, false, 0), false, 0)) {
        bof_ = eof_ = false;
        return;
    }
    SetEmpty();
}

void Cursor::FireScroll(const std::function<void(Cursor&)>& handler)
{
    if (handler)
        handler(*this);
}

void Cursor::First()
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    FireScroll(OnBeforeScroll);
    MoveFirst();
    Notify(CursorChange::Scrolled);
    FireScroll(OnAfterScroll);
}

void Cursor::Last()
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    FireScroll(OnBeforeScroll);
    MoveLast();
    Notify(CursorChange::Scrolled);
    FireScroll(OnAfterScroll);
}

void Cursor::Next() { MoveBy(1); }

void Cursor::Prior() { MoveBy(-1); }

int Cursor::MoveBy(int n)
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    FireScroll(OnBeforeScroll);
    int moved = 0;
    const bool forward = n > 0;
    if (hasRow_ && n != 0 && !(forward ? eof_ : bof_)) {
        bof_ = eof_ = false;
        while (moved < std::abs(n)) {
            if (!Step(forward)) {
                (forward ? eof_ : bof_) = true;
                break;
            }
            ++moved;
        }
        if (moved)
            Notify(CursorChange::Scrolled);
    }
    FireScroll(OnAfterScroll);
    return forward ? moved : -moved;
}

int Cursor::RecordCount()
{
    CheckActive();
    if (rangeEmpty_)
        return 0;
    static const std::vector<DbValue> none;
    const std::vector<DbValue>& from = lowerSet_ ? lower_ : none;
    const std::vector<Part> parts = PlanFrom(from, from.size(), true, true, 0);
    if (!filtered_ || !OnFilterRecord)
        return int(Count(parts));
    // Each row must pass the filter: walk them without moving the cursor.
    std::deque<Row> rows;
    Fetch(parts, INT32_MAX, rows);
    const Row keep = cur_;
    const bool keepHas = hasRow_;
    int n = 0;
    for (Row& r : rows) {
        if (Accept(r)) {
            ++n;
            cur_ = keep;
            hasRow_ = keepHas;
        }
    }
    return n;
}

int Cursor::RecNo()
{
    CheckActive();
    if (!hasRow_ || state_ == CursorState::Insert)
        return 0;
    const std::vector<DbValue> key = KeyOf(cur_);
    if (!filtered_ || !OnFilterRecord)
        return int(Count(PlanFrom(key, key.size(), false, false, 0))) + 1;
    std::deque<Row> rows;
    Fetch(PlanFrom(key, key.size(), false, false, 0), INT32_MAX, rows);
    const Row keep = cur_;
    int n = 1;
    for (Row& r : rows) {
        if (Accept(r)) {
            ++n;
            cur_ = keep;
        }
    }
    hasRow_ = true;
    return n;
}

void Cursor::SetRecNo(int recNo)
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    if (recNo < 1)
        recNo = 1;
    if (filtered_ && OnFilterRecord) {
        FireScroll(OnBeforeScroll);
        MoveFirst();
        for (int i = 1; i < recNo && Step(true); ++i) {}
        bof_ = recNo <= 1;
        eof_ = !hasRow_;
        Notify(CursorChange::Scrolled);
        FireScroll(OnAfterScroll);
        return;
    }
    FireScroll(OnBeforeScroll);
    static const std::vector<DbValue> none;
    const std::vector<DbValue>& from = lowerSet_ ? lower_ : none;
    const std::vector<Part> parts = PlanFrom(from, from.size(), true, true, 0);
    int64_t skip = recNo - 1;
    bool found = false;
    for (const Part& part : parts) {
        const int64_t c = Count({part});
        if (skip >= c) {
            skip -= c;
            continue;
        }
        std::deque<Row> rows;
        ResetAhead();
        if (Fetch({part}, 1, rows, skip) == 1) {
            cur_ = std::move(rows.front());
            hasRow_ = true;
            found = true;
        }
        break;
    }
    if (found) {
        bof_ = recNo == 1;
        eof_ = false;
    } else {
        MoveLast();
    }
    Notify(CursorChange::Scrolled);
    FireScroll(OnAfterScroll);
}

// ---------------------------------------------------------------- keys

bool Cursor::FindKey(const QList<Variant>& key)
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    const std::vector<DbValue> k = ConvertKey(key, "Поиск по ключу");
    FireScroll(OnBeforeScroll);
    Part p;
    p.fixed = k.size();
    p.prefix = k;
    std::vector<Part> parts;
    Refine(std::move(p), parts);
    // Only the first row of the key is wanted, unless the filter may refuse it.
    const bool found = Scan(parts, true, k.size(), filtered_ && OnFilterRecord ? kFirstBlock : 1);
    // What was read ahead belongs to the key's rows only.
    ResetAhead();
    if (!found)
        return false;
    bof_ = eof_ = false;
    Notify(CursorChange::Scrolled);
    FireScroll(OnAfterScroll);
    return true;
}

void Cursor::FindNearest(const QList<Variant>& key)
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    const std::vector<DbValue> k = ConvertKey(key, "Поиск ближайшего ключа");
    FireScroll(OnBeforeScroll);
    if (Scan(PlanFrom(k, k.size(), true, true, 0), true, 0))
        bof_ = eof_ = false;
    else if (MoveLast())
        bof_ = eof_ = false;
    Notify(CursorChange::Scrolled);
    FireScroll(OnAfterScroll);
}

void Cursor::SetRange(const QList<Variant>& start, const QList<Variant>& end)
{
    SetRangeStart(start);
    SetRangeEnd(end);
    ApplyRange();
}

void Cursor::SetRangeStart(const QList<Variant>& start)
{
    CheckActive();
    pendingLower_ = ConvertKey(start, "Начало диапазона");
    pendingLowerSet_ = true;
}

void Cursor::SetRangeEnd(const QList<Variant>& end)
{
    CheckActive();
    pendingUpper_ = ConvertKey(end, "Конец диапазона");
    pendingUpperSet_ = true;
}

void Cursor::ApplyRange()
{
    CheckActive();
    CheckNotInFilter();
    if (master_)
        throw EDatabaseError(QStringLiteral("Диапазон таблицы %1 задается главной таблицей").arg(Name()));
    CheckBrowseMode();
    lowerSet_ = pendingLowerSet_ && !pendingLower_.empty();
    upperSet_ = pendingUpperSet_ && !pendingUpper_.empty();
    lower_ = lowerSet_ ? pendingLower_ : std::vector<DbValue>();
    upper_ = upperSet_ ? pendingUpper_ : std::vector<DbValue>();
    rangeSet_ = true;
    rangeEmpty_ = false;
    pendingLowerSet_ = pendingUpperSet_ = false;
    First();
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
}

void Cursor::CancelRange()
{
    CheckActive();
    CheckNotInFilter();
    if (!rangeSet_ || master_)
        return;
    CheckBrowseMode();
    rangeSet_ = lowerSet_ = upperSet_ = false;
    lower_.clear();
    upper_.clear();
    ResetAhead();
    if (!hasRow_)
        MoveFirst();
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
}

// ---------------------------------------------------------------- bookmarks, refresh

Bookmark Cursor::GetBookmark() const
{
    if (!Active() || !hasRow_ || state_ == CursorState::Insert)
        return Bookmark();
    return Bookmark{cur_.rowid, true};
}

bool Cursor::BookmarkValid(const Bookmark& bookmark)
{
    if (!Active() || !bookmark.set)
        return false;
    Row row;
    if (!ReadRowById(bookmark.rowid, row) || !InBounds(row))
        return false;
    if (!filtered_ || !OnFilterRecord)
        return true;
    const Row keep = cur_;
    const bool keepHas = hasRow_;
    const bool ok = Accept(row);
    cur_ = keep;
    hasRow_ = keepHas;
    return ok;
}

void Cursor::GotoBookmark(const Bookmark& bookmark)
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    Row row;
    if (!bookmark.set || !ReadRowById(bookmark.rowid, row) || !InBounds(row))
        throw EDatabaseError(QStringLiteral("Запись таблицы %1 не найдена").arg(Name()));
    FireScroll(OnBeforeScroll);
    if (!Accept(row))
        throw EDatabaseError(QStringLiteral("Запись таблицы %1 не найдена").arg(Name()));
    ResetAhead();
    bof_ = eof_ = false;
    Notify(CursorChange::Scrolled);
    FireScroll(OnAfterScroll);
}

void Cursor::Refresh()
{
    CheckActive();
    CheckNotInFilter();
    if (state_ != CursorState::Browse)
        CheckBrowseMode();
    ResetAhead();
    if (hasRow_) {
        Row row;
        const std::vector<DbValue> key = KeyOf(cur_);
        if (ReadRowById(cur_.rowid, row) && InBounds(row) && Accept(row))
            bof_ = eof_ = false;
        else
            Reposition(key);
    } else {
        MoveFirst();
    }
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
}

// ---------------------------------------------------------------- filter, master-detail

void Cursor::SetFiltered(bool filtered)
{
    if (filtered_ == filtered)
        return;
    filtered_ = filtered;
    if (!Active())
        return;
    CheckNotInFilter();
    CheckBrowseMode();
    First();
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
}

void Cursor::SetMasterSource(Cursor* master, const QString& masterFields)
{
    if (master == this)
        throw EDatabaseError(QStringLiteral("Таблица %1 не может быть главной для самой себя").arg(Name()));
    for (Cursor* m = master; m; m = m->master_) {
        if (m == this)
            throw EDatabaseError(QStringLiteral("Связь таблиц %1 и %2 образует кольцо").arg(Name(), master->Name()));
    }
    ClearMasterSource();
    if (!master)
        return;
    IndexDef parse;
    parse.fields = masterFields;
    masterFields_ = parse.FieldList();
    master_ = master;
    link_ = std::make_unique<MasterLink>(*this);
    master_->AddObserver(link_.get());
    if (Active())
        MasterChanged(true);
}

void Cursor::ClearMasterSource()
{
    if (master_ && link_)
        master_->RemoveObserver(link_.get());
    const bool had = master_ != nullptr || link_ != nullptr;
    master_ = nullptr;
    link_.reset();
    masterFields_.clear();
    linkValues_.clear();
    if (had && Active()) {
        rangeSet_ = rangeEmpty_ = lowerSet_ = upperSet_ = false;
        lower_.clear();
        upper_.clear();
        ResetAhead();
        First();
        Notify(CursorChange::DataSetChanged);
    }
}

void Cursor::MasterChanged(bool force)
{
    if (!Active())
        return;
    std::vector<DbValue> values;
    bool empty = true;
    if (master_ && master_->Active() && master_->hasRow_ && master_->state_ != CursorState::Insert) {
        const IndexLayout& l = Layout();
        if (masterFields_.size() > l.keyFieldCount)
            throw EDatabaseError(
                QStringLiteral("Полей связи с главной таблицей больше, чем полей в индексе таблицы %1").arg(Name()));
        for (int i = 0; i < masterFields_.size(); ++i) {
            const Field mf = master_->FieldByName(masterFields_[i]);
            const int f = l.columns[size_t(i)].field;
            values.push_back(file_->ForStore(f, StoreVariant(file_->Def().fields[f], mf.AsVariant(), true)));
        }
        empty = false;
    } else if (!master_) {
        // The master is gone: show every row.
        rangeSet_ = rangeEmpty_ = lowerSet_ = upperSet_ = false;
        lower_.clear();
        upper_.clear();
        linkValues_.clear();
        ResetAhead();
        First();
        Notify(CursorChange::DataSetChanged);
        DataChangedNow();
        return;
    }
    if (!force && rangeSet_ && empty == rangeEmpty_ && values.size() == linkValues_.size()) {
        bool same = true;
        for (size_t i = 0; i < values.size() && same; ++i)
            same = CompareDbValues(values[i], linkValues_[i], Layout().columns[i].caseInsensitive) == 0
                && values[i].kind == linkValues_[i].kind;
        if (same)
            return;
    }
    CheckBrowseMode();
    linkValues_ = values;
    rangeSet_ = true;
    rangeEmpty_ = empty;
    lowerSet_ = upperSet_ = !empty && !values.empty();
    lower_ = upper_ = values;
    First();
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
}

// ---------------------------------------------------------------- notifications

void Cursor::DataChangedNow()
{
    if (OnDataChanged)
        OnDataChanged(*this);
}

void Cursor::AddObserver(CursorObserver* observer)
{
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Cursor::RemoveObserver(CursorObserver* observer)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void Cursor::Notify(CursorChange change)
{
    if (observers_.empty())
        return;
    if (disableCount_ > 0) {
        pendingChange_ = true;
        return;
    }
    const auto observers = observers_;
    for (CursorObserver* o : observers) {
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end())
            o->CursorChanged(*this, change);
    }
}

void Cursor::DisableControls() { ++disableCount_; }

void Cursor::EnableControls()
{
    if (disableCount_ == 0)
        return;
    if (--disableCount_ == 0) {
        pendingChange_ = false;
        Notify(CursorChange::DataSetChanged);
    }
}

// ---------------------------------------------------------------- table operations

QString Cursor::OpenFilePath() const { return file_ ? file_->Path() : QString(); }

void Cursor::AddIndex(const IndexDef& index)
{
    CheckActive();
    CheckBrowseMode();
    file_->AddIndex(index);
    ResetAhead();
    shapes_.clear();
}

void Cursor::EmptyTable()
{
    CheckActive();
    CheckNotInFilter();
    Cancel();
    Tables::Empty(tableName_, folder_);
}

// ---------------------------------------------------------------- memo

std::shared_ptr<CursorMemo> Cursor::Remember() const
{
    auto memo = std::make_shared<CursorMemo>();
    memo->indexName = indexName_;
    if (!Active())
        return memo;
    memo->rangeSet = rangeSet_ && !master_;
    memo->lowerSet = lowerSet_;
    memo->upperSet = upperSet_;
    memo->lower = lower_;
    memo->upper = upper_;
    memo->hasRow = hasRow_ && state_ == CursorState::Browse;
    if (memo->hasRow) {
        memo->rowid = cur_.rowid;
        memo->key = KeyOf(cur_);
    }
    return memo;
}

void Cursor::Restore(const CursorMemo& memo)
{
    CheckActive();
    if (indexName_.compare(memo.indexName, Qt::CaseInsensitive) != 0)
        SetIndexName(memo.indexName);
    const IndexLayout& l = Layout();
    if (memo.rangeSet && !master_ && memo.lower.size() <= size_t(l.keyFieldCount)
        && memo.upper.size() <= size_t(l.keyFieldCount)) {
        lowerSet_ = memo.lowerSet;
        upperSet_ = memo.upperSet;
        lower_ = memo.lower;
        upper_ = memo.upper;
        rangeSet_ = true;
        rangeEmpty_ = false;
        MoveFirst();
    }
    if (memo.hasRow) {
        Row row;
        if (ReadRowById(memo.rowid, row) && InBounds(row) && Accept(row)) {
            ResetAhead();
            bof_ = eof_ = false;
        } else if (memo.key.size() == l.columns.size()) {
            Reposition(memo.key);
        }
    }
    Notify(CursorChange::DataSetChanged);
}
