#include "db/Cursor.h"

#include "db/FieldCodec.h"
#include "db/ReadPlan.h"
#include "db/Sqlite.h"
#include "db/TableDef.h"
#include "db/TableFile.h"

#include <sqlite3.h>

#include <algorithm>

// ---------------------------------------------------------------- editing

void Cursor::CheckEditing(int field) const
{
    CheckActive();
    if (inFilter_)
        CheckNotInFilter();
    if (state_ != CursorState::Edit && state_ != CursorState::Insert)
        throw EDatabaseError(QStringLiteral("Таблица %1 не в режиме редактирования").arg(Name()));
    if (state_ == CursorState::Edit && file_->Def().fields[field].type == FieldType::AutoInc)
        throw EDatabaseError(QStringLiteral("Поле '%1' нельзя изменить").arg(file_->Def().fields[field].name));
}

void Cursor::SetValue(int field, DbValue v)
{
    cur_.values[size_t(field)] = std::move(v);
    modified_[size_t(field)] = true;
    modifiedAny_ = true;
    if (!observers_.empty())
        Notify(CursorChange::RecordChanged);
}

void Cursor::CheckBrowseMode()
{
    if (state_ != CursorState::Edit && state_ != CursorState::Insert)
        return;
    if (modifiedAny_)
        Post();
    else
        Cancel();
}

void Cursor::Append() { BeginInsert(); }

void Cursor::Insert() { BeginInsert(); }

void Cursor::BeginInsert()
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    FireScroll(OnBeforeScroll);
    saved_ = std::move(cur_);
    savedHasRow_ = hasRow_;
    cur_ = Row();
    cur_.values.assign(size_t(file_->Def().fields.size()), DbValue());
    std::fill(modified_.begin(), modified_.end(), false);
    state_ = CursorState::Insert;
    try {
        if (master_ && !rangeEmpty_ && !linkValues_.empty()) {
            const IndexLayout& l = Layout();
            for (size_t i = 0; i < linkValues_.size(); ++i)
                cur_.values[size_t(l.columns[i].field)] = linkValues_[i];
        }
        if (OnNewRecord)
            OnNewRecord(*this);
    } catch (...) {
        Cancel();
        throw;
    }
    modifiedAny_ = false;
    Notify(CursorChange::StateChanged);
    FireScroll(OnAfterScroll);
}

void Cursor::Edit()
{
    CheckActive();
    CheckNotInFilter();
    if (state_ == CursorState::Edit || state_ == CursorState::Insert)
        return;
    if (!hasRow_) {
        BeginInsert();
        return;
    }
    Row fresh;
    if (!ReadRowById(cur_.rowid, fresh))
        throw EDatabaseError(QStringLiteral("Запись таблицы %1 удалена другим пользователем").arg(Name()));
    cur_ = std::move(fresh);
    saved_ = cur_;
    savedHasRow_ = true;
    std::fill(modified_.begin(), modified_.end(), false);
    modifiedAny_ = false;
    state_ = CursorState::Edit;
    Notify(CursorChange::StateChanged);
}

QString Cursor::KeyText() const
{
    const TableDef& def = file_->Def();
    const int p = def.PrimaryIndexNumber();
    if (p < 0)
        return QString();
    QStringList parts;
    for (const QString& name : def.indexes[p].FieldList()) {
        const int f = def.FieldIndex(name);
        parts << ReadString(def.fields[f], cur_.values[size_t(f)]);
    }
    return parts.join(QStringLiteral("; "));
}

void Cursor::PostInsert()
{
    const TableDef& def = file_->Def();
    const int fields = int(def.fields.size());
    const int autoInc = file_->AutoIncField();
    const int rowidField = file_->RowidField();
    // Values the table gives: the AutoInc number and the zero of a null key.
    DbValue number;
    const bool numbered = autoInc >= 0 && autoInc != rowidField && cur_.values[size_t(autoInc)].IsNull();
    if (numbered) {
        SqliteConnection& c = file_->Conn();
        StatementScope s(c,
            c.Prepare(
                "SELECT coalesce(max(" + QuoteName(def.fields[autoInc].name) + "),0)+1 FROM " + file_->TableRef()));
        if (s.Step(u"Нумерация записи таблицы %1", tableName_))
            number = DbValue::OfInt(sqlite3_column_int64(s.Get(), 0));
    }
    std::vector<std::pair<int, DbValue>> given;
    given.reserve(size_t(fields));
    std::vector<const DbValue*> bind(static_cast<size_t>(fields));
    for (int i = 0; i < fields; ++i) {
        bind[size_t(i)] = &cur_.values[size_t(i)];
        if (numbered && i == autoInc) {
            bind[size_t(i)] = &number;
        } else if (cur_.values[size_t(i)].IsNull()) {
            DbValue z = file_->ForStore(i, DbValue());
            if (!z.IsNull()) {
                given.emplace_back(i, std::move(z));
                bind[size_t(i)] = &given.back().second;
            }
        }
    }
    SqliteConnection& conn = file_->Conn();
    sqlite3_stmt* stmt = KeptStatement(kInsertShape, [&] {
        QByteArray sql = "INSERT INTO " + file_->TableRef() + " VALUES(";
        for (int i = 0; i < fields; ++i)
            sql += i ? ",?" : "?";
        return sql + ')';
    });
    {
        StatementScope s(conn, stmt);
        for (int i = 0; i < fields; ++i)
            BindDbValue(s, i + 1, *bind[size_t(i)]);
        try {
            s.Run(u"Добавление записи в таблицу %1", tableName_);
        } catch (const EKeyViolation&) {
            throw EKeyViolation(QStringLiteral("Нарушение уникальности ключа: в таблице %1 уже есть запись с ключом %2")
                                    .arg(tableName_, KeyText()));
        }
    }
    for (auto& [field, value] : given)
        cur_.values[size_t(field)] = std::move(value);
    if (numbered)
        cur_.values[size_t(autoInc)] = number;
    cur_.rowid = conn.LastInsertRowid();
    if (rowidField >= 0)
        cur_.values[size_t(rowidField)] = DbValue::OfInt(cur_.rowid);
}

void Cursor::PostEdit()
{
    const TableDef& def = file_->Def();
    QByteArray sql = "UPDATE " + file_->TableRef() + " SET ";
    std::vector<std::pair<int, DbValue>> changed;
    for (int i = 0; i < def.fields.size(); ++i) {
        if (!modified_[size_t(i)])
            continue;
        if (!changed.empty())
            sql += ',';
        sql += QuoteName(def.fields[i].name) + "=?";
        changed.emplace_back(i, file_->ForStore(i, cur_.values[size_t(i)]));
    }
    if (changed.empty())
        return;
    sql += " WHERE rowid=?";
    SqliteConnection& conn = file_->Conn();
    {
        StatementScope s(conn, conn.Prepare(sql));
        int n = 0;
        for (const auto& [field, value] : changed)
            BindDbValue(s, ++n, value);
        s.BindInt(++n, cur_.rowid);
        try {
            s.Run(u"Изменение записи таблицы %1", tableName_);
        } catch (const EKeyViolation&) {
            throw EKeyViolation(QStringLiteral("Нарушение уникальности ключа: в таблице %1 уже есть запись с ключом %2")
                                    .arg(tableName_, KeyText()));
        }
    }
    if (conn.Changes() == 0)
        throw EDatabaseError(QStringLiteral("Запись таблицы %1 удалена другим пользователем").arg(Name()));
    for (auto& [field, value] : changed)
        cur_.values[size_t(field)] = std::move(value);
    const int rowidField = file_->RowidField();
    if (rowidField >= 0 && modified_[size_t(rowidField)])
        cur_.rowid = cur_.values[size_t(rowidField)].i;
}

void Cursor::Post()
{
    CheckActive();
    CheckNotInFilter();
    if (state_ != CursorState::Edit && state_ != CursorState::Insert)
        return;
    if (OnBeforePost)
        OnBeforePost(*this);
    const TableDef& def = file_->Def();
    for (int i = 0; i < def.fields.size(); ++i) {
        if (def.fields[i].required && def.fields[i].type != FieldType::AutoInc && cur_.values[size_t(i)].IsNull())
            throw EDatabaseError(QStringLiteral("Поле '%1' должно иметь значение").arg(def.fields[i].name));
    }
    if (state_ == CursorState::Insert)
        PostInsert();
    else
        PostEdit();
    file_->DataChanged();
    state_ = CursorState::Browse;
    hasRow_ = true;
    bof_ = eof_ = false;
    modifiedAny_ = false;
    std::fill(modified_.begin(), modified_.end(), false);
    saved_ = Row();
    ResetAhead();
    Notify(CursorChange::StateChanged);
    Notify(CursorChange::DataSetChanged);
    if (OnAfterPost)
        OnAfterPost(*this);
    DataChangedNow();
}

void Cursor::Cancel()
{
    CheckActive();
    if (state_ != CursorState::Edit && state_ != CursorState::Insert)
        return;
    cur_ = std::move(saved_);
    saved_ = Row();
    hasRow_ = savedHasRow_;
    if (!hasRow_)
        cur_.values.assign(size_t(file_->Def().fields.size()), DbValue());
    state_ = CursorState::Browse;
    modifiedAny_ = false;
    std::fill(modified_.begin(), modified_.end(), false);
    Notify(CursorChange::StateChanged);
}

void Cursor::Delete()
{
    CheckActive();
    CheckNotInFilter();
    if (state_ == CursorState::Insert) {
        Cancel();
        return;
    }
    if (!hasRow_)
        throw EDatabaseError(QStringLiteral("Таблица %1 пуста: удалять нечего").arg(Name()));
    if (state_ == CursorState::Edit) {
        cur_ = std::move(saved_);
        saved_ = Row();
        state_ = CursorState::Browse;
        modifiedAny_ = false;
        std::fill(modified_.begin(), modified_.end(), false);
    }
    if (OnBeforeDelete)
        OnBeforeDelete(*this);
    FireScroll(OnBeforeScroll);
    // The rows read ahead follow the deleted one; while nothing else was
    // written since they were read, they are still as stored.
    const bool aheadCurrent = aheadValid_ && aheadForward_ && aheadMinLevel_ == 0
        && aheadGeneration_ == file_->DataGeneration() && aheadRoute_ == TableFile::RouteGeneration();
    {
        SqliteConnection& conn = file_->Conn();
        StatementScope s(
            conn, KeptStatement(kDeleteShape, [&] { return "DELETE FROM " + file_->TableRef() + " WHERE rowid=?"; }));
        s.BindInt(1, cur_.rowid);
        s.Run(u"Удаление записи таблицы %1", tableName_);
    }
    file_->DataChanged();
    const std::vector<DbValue> key = KeyOf(cur_);
    bool next = false;
    if (aheadCurrent) {
        aheadGeneration_ = file_->DataGeneration();
        next = TakeFromAhead(true, 0, key);
    } else {
        next = Scan(PlanFrom(key, key.size(), true, false, 0), true, 0);
    }
    if (next || Scan(PlanFrom(key, key.size(), false, false, 0), false, 0))
        bof_ = eof_ = false;
    else
        SetEmpty();
    Notify(CursorChange::DataSetChanged);
    if (OnAfterDelete)
        OnAfterDelete(*this);
    FireScroll(OnAfterScroll);
    DataChangedNow();
}

int Cursor::DeleteRange()
{
    CheckActive();
    CheckNotInFilter();
    CheckBrowseMode();
    int deleted = 0;
    if ((filtered_ && OnFilterRecord) || OnBeforeDelete || OnAfterDelete || OnBeforeScroll || OnAfterScroll) {
        for (First(); !IsEmpty(); ++deleted)
            Delete();
        return deleted;
    }
    if (!rangeEmpty_) {
        static const std::vector<DbValue> none;
        const std::vector<DbValue>& from = lowerSet_ ? lower_ : none;
        std::vector<const DbValue*> params;
        SqliteConnection& conn = file_->Conn();
        for (const Part& part : PlanFrom(from, from.size(), true, true, 0)) {
            StatementScope s(conn, Statement(part, ReadMode::Delete, params));
            int n = 0;
            for (const DbValue* p : params)
                BindDbValue(s, ++n, *p);
            s.Run(u"Удаление записей таблицы %1", tableName_);
            deleted += conn.Changes();
        }
    }
    file_->DataChanged();
    ResetAhead();
    SetEmpty();
    Notify(CursorChange::DataSetChanged);
    DataChangedNow();
    return deleted;
}

int64_t Cursor::NextKeyNumber()
{
    CheckActive();
    const TableDef& def = file_->Def();
    const int p = def.PrimaryIndexNumber();
    if (p < 0)
        throw EDatabaseError(QStringLiteral("У таблицы %1 нет первичного индекса").arg(tableName_));
    const QString first = def.indexes[p].FieldList().value(0);
    StatementScope s(
        file_->Conn(), file_->Conn().Prepare("SELECT max(" + QuoteName(first) + ") FROM " + file_->TableRef()));
    if (!s.Step(u"Чтение последнего номера таблицы %1", tableName_) || sqlite3_column_type(s.Get(), 0) == SQLITE_NULL)
        return 1;
    return sqlite3_column_int64(s.Get(), 0) + 1;
}
