#include "db/TableFile.h"

#include "db/FieldCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

namespace {

// "Qor1": marks a file as a table of this program.
constexpr int kApplicationId = 0x516F7231;
constexpr int kFormatVersion = 1;

QHash<QString, std::weak_ptr<TableFile>>& Registry()
{
    static QHash<QString, std::weak_ptr<TableFile>> files;
    return files;
}

uint64_t g_routeGeneration = 1;

QByteArray ColumnType(const FieldDef& f)
{
    switch (f.type) {
    case FieldType::String: return "VARCHAR(" + QByteArray::number(f.size) + ")";
    default: return FieldTypeName(f.type).toLatin1();
    }
}

bool IsIntegerType(FieldType t)
{
    return t == FieldType::Integer || t == FieldType::Smallint || t == FieldType::AutoInc;
}

// The one-field numeric primary key that becomes the row id, or -1.
int RowidFieldOf(const TableDef& def)
{
    const int p = def.PrimaryIndexNumber();
    if (p < 0)
        return -1;
    const QStringList names = def.indexes[p].FieldList();
    if (names.size() != 1)
        return -1;
    const int f = def.FieldIndex(names[0]);
    return f >= 0 && IsIntegerType(def.fields[f].type) ? f : -1;
}

QByteArray CollatedColumn(const TableDef& def, const QString& fieldName, bool ci)
{
    const int f = def.FieldIndex(fieldName);
    QByteArray out = QuoteName(def.fields[f].name);
    if (ci && def.fields[f].type == FieldType::String)
        out += QByteArray(" COLLATE ") + kCaseInsensitiveCollation;
    return out;
}

QByteArray CreateIndexSql(const TableDef& def, const IndexDef& index)
{
    QByteArray cols;
    for (const QString& name : index.FieldList()) {
        if (!cols.isEmpty())
            cols += ',';
        cols += CollatedColumn(def, name, index.IsCaseInsensitive());
    }
    const bool unique = index.options.testFlag(IndexOption::Unique);
    // Ties are ordered by the primary key: a composite primary key is added
    // to the index; a row-id key is part of every index already.
    const int p = def.PrimaryIndexNumber();
    if (!unique && p >= 0 && RowidFieldOf(def) < 0) {
        for (const QString& name : def.indexes[p].FieldList())
            cols += ',' + CollatedColumn(def, name, def.indexes[p].IsCaseInsensitive());
    }
    return QByteArray("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + SqlIndexName(index.name) + " ON \"data\"("
        + cols + ")";
}

QByteArray CreateTableSql(const TableDef& def)
{
    const int rowidField = RowidFieldOf(def);
    const int p = def.PrimaryIndexNumber();
    QStringList pkNames = p >= 0 ? def.indexes[p].FieldList() : QStringList();
    QByteArray sql = "CREATE TABLE \"data\"(";
    for (int i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        if (i)
            sql += ',';
        sql += QuoteName(f.name) + ' ';
        if (i == rowidField) {
            sql += "INTEGER PRIMARY KEY";
            if (f.type == FieldType::AutoInc)
                sql += " AUTOINCREMENT";
            continue;
        }
        sql += ColumnType(f);
        if (pkNames.contains(f.name, Qt::CaseInsensitive))
            sql += " NOT NULL";
    }
    if (p >= 0 && rowidField < 0) {
        sql += ",PRIMARY KEY(";
        for (int i = 0; i < pkNames.size(); ++i) {
            if (i)
                sql += ',';
            sql += CollatedColumn(def, pkNames[i], def.indexes[p].IsCaseInsensitive());
        }
        sql += ')';
    }
    sql += ')';
    return sql;
}

void InsertIndexMeta(SqliteConnection& conn, int pos, const IndexDef& index)
{
    StatementScope s(conn,
        conn.Prepare("INSERT OR REPLACE INTO \"qor_indexes\"(pos,name,options,fields) "
                     "VALUES(?,?,?,?)"));
    s.BindInt(1, pos);
    s.BindText(2, index.name.toUtf8());
    s.BindText(3, IndexOptionsText(index.options).toUtf8());
    s.BindText(4, index.FieldList().join(QLatin1Char(';')).toUtf8());
    s.Run(QStringLiteral("Запись описания индекса"));
}

void RemoveFileAndJournal(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

} // namespace

QByteArray SqlIndexName(const QString& indexName) { return QuoteName(QStringLiteral("pdx_") + indexName); }

QString TableFile::CanonicalPath(const QString& path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(fi.absoluteFilePath()) : canonical;
}

std::shared_ptr<TableFile> TableFile::Find(const QString& path)
{
    const auto it = Registry().constFind(CanonicalPath(path));
    return it == Registry().constEnd() ? nullptr : it->lock();
}

int TableFile::OpenCount()
{
    int n = 0;
    for (const auto& weak : std::as_const(Registry())) {
        if (!weak.expired())
            ++n;
    }
    return n;
}

std::shared_ptr<TableFile> TableFile::Acquire(const QString& path)
{
    const QString key = CanonicalPath(path);
    if (auto existing = Find(key))
        return existing;
    std::shared_ptr<TableFile> file(new TableFile(key, SqliteConnection::Open(key, false)));
    file->ReadDefinition();
    Registry().insert(key, file);
    return file;
}

void TableFile::Create(const QString& path, const TableDef& def)
{
    CheckTableDef(def);
    if (QFileInfo::exists(path))
        throw EDatabaseError(QStringLiteral("Таблица уже существует: \"%1\"").arg(path));
    // A journal without its file belongs to nothing; it must not be rolled
    // into the new table.
    QFile::remove(path + QStringLiteral("-journal"));
    try {
        auto conn = SqliteConnection::Open(path, true);
        // One transaction from the first byte: a creation cut short leaves
        // an empty file, never a header without its definition.
        conn->Exec("BEGIN IMMEDIATE;PRAGMA application_id=" + QByteArray::number(kApplicationId)
            + ";PRAGMA user_version=" + QByteArray::number(kFormatVersion) + ";");
        conn->Exec("CREATE TABLE \"qor_fields\"(pos INTEGER PRIMARY KEY, name TEXT NOT NULL, type TEXT NOT NULL, "
                   "size INTEGER NOT NULL, required INTEGER NOT NULL);"
                   "CREATE TABLE \"qor_indexes\"(pos INTEGER PRIMARY KEY, name TEXT NOT NULL, options TEXT NOT NULL, "
                   "fields TEXT NOT NULL);"
                   "CREATE TABLE \"qor_table\"(name TEXT NOT NULL);");
        {
            StatementScope s(*conn, conn->Prepare("INSERT INTO \"qor_table\" VALUES(?)"));
            s.BindText(1, def.name.toUtf8());
            s.Run(QStringLiteral("Запись имени таблицы"));
        }
        conn->Exec(CreateTableSql(def));
        for (const IndexDef& index : def.indexes) {
            if (!index.IsPrimary())
                conn->Exec(CreateIndexSql(def, index));
        }
        for (int i = 0; i < def.fields.size(); ++i) {
            const FieldDef& f = def.fields[i];
            StatementScope s(*conn, conn->Prepare("INSERT INTO \"qor_fields\" VALUES(?,?,?,?,?)"));
            s.BindInt(1, i);
            s.BindText(2, f.name.toUtf8());
            s.BindText(3, FieldTypeName(f.type).toUtf8());
            s.BindInt(4, f.size);
            s.BindInt(5, f.required ? 1 : 0);
            s.Run(QStringLiteral("Запись описания поля"));
        }
        for (int i = 0; i < def.indexes.size(); ++i)
            InsertIndexMeta(*conn, i, def.indexes[i]);
        conn->Exec("COMMIT");
    } catch (const EDatabaseError& e) {
        RemoveFileAndJournal(path);
        throw EDatabaseError(QStringLiteral("Не удалось создать таблицу \"%1\": %2").arg(path, e.Message()));
    }
}

TableFile::TableFile(const QString& path, std::unique_ptr<SqliteConnection> conn) : path_(path), own_(std::move(conn))
{
    RouteHome();
}

TableFile::~TableFile()
{
    auto& reg = Registry();
    const auto it = reg.find(path_);
    if (it != reg.end() && it->expired())
        reg.erase(it);
}

QString TableFile::Name() const { return QFileInfo(path_).completeBaseName(); }

void TableFile::ReadDefinition()
{
    SqliteConnection& c = *own_;
    {
        StatementScope s(c, c.Prepare("PRAGMA application_id"));
        const bool ours
            = s.Step(QStringLiteral("Чтение заголовка таблицы")) && sqlite3_column_int(s.Get(), 0) == kApplicationId;
        if (!ours)
            throw EDatabaseError(
                QStringLiteral("Файл \"%1\" является базой данных SQLite, но не таблицей программы").arg(path_));
    }
    // Kept since the name lives in the file; older files say nothing.
    madeAs_.clear();
    {
        StatementScope s(c, c.Prepare("SELECT name FROM sqlite_master WHERE type='table' AND name='qor_table'"));
        if (s.Step(QStringLiteral("Чтение описания таблицы"))) {
            StatementScope n(c, c.Prepare("SELECT name FROM \"qor_table\""));
            if (n.Step(QStringLiteral("Чтение имени таблицы")))
                madeAs_ = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(n.Get(), 0)));
        }
    }
    TableDef def;
    def.name = Name();
    {
        StatementScope s(c, c.Prepare("SELECT name,type,size,required FROM \"qor_fields\" ORDER BY pos"));
        while (s.Step(QStringLiteral("Чтение описания полей"))) {
            FieldDef f;
            f.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.Get(), 0)));
            f.type
                = FieldTypeFromName(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.Get(), 1))));
            f.size = sqlite3_column_int(s.Get(), 2);
            f.required = sqlite3_column_int(s.Get(), 3) != 0;
            def.fields << f;
        }
    }
    {
        StatementScope s(c, c.Prepare("SELECT name,options,fields FROM \"qor_indexes\" ORDER BY pos"));
        while (s.Step(QStringLiteral("Чтение описания индексов"))) {
            IndexDef index;
            index.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.Get(), 0)));
            index.options = IndexOptionsFromText(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.Get(), 1))));
            index.fields = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.Get(), 2)));
            def.indexes << index;
        }
    }
    try {
        CheckTableDef(def);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(QStringLiteral("Описание таблицы в файле \"%1\" повреждено: %2").arg(path_, e.Message()));
    }
    def_ = def;
    BuildLayouts();
}

void TableFile::BuildLayouts()
{
    const TableDef& def = def_;
    rowidField_ = RowidFieldOf(def);
    pkField_.assign(size_t(def.fields.size()), false);
    autoIncField_ = -1;
    for (int i = 0; i < def.fields.size(); ++i) {
        if (def.fields[i].type == FieldType::AutoInc && autoIncField_ < 0)
            autoIncField_ = i;
    }
    const int p = def.PrimaryIndexNumber();
    std::vector<KeyColumn> tail;
    if (p >= 0) {
        for (const QString& name : def.indexes[p].FieldList()) {
            KeyColumn k;
            k.field = def.FieldIndex(name);
            k.caseInsensitive = def.indexes[p].IsCaseInsensitive() && def.fields[k.field].type == FieldType::String;
            k.expr = CollatedColumn(def, name, k.caseInsensitive);
            k.notNull = true;
            pkField_[size_t(k.field)] = true;
            tail.push_back(k);
        }
    } else {
        KeyColumn k;
        k.expr = "rowid";
        k.notNull = true;
        tail.push_back(k);
    }
    auto finish = [](IndexLayout& l) {
        for (size_t i = 0; i < l.columns.size(); ++i) {
            if (i) {
                l.orderAsc += ',';
                l.orderDesc += ',';
            }
            l.orderAsc += l.columns[i].expr;
            l.orderDesc += l.columns[i].expr + " DESC";
        }
    };
    layouts_.clear();
    for (int i = 0; i < def.indexes.size(); ++i) {
        const IndexDef& index = def.indexes[i];
        IndexLayout l;
        l.defNumber = i;
        for (const QString& name : index.FieldList()) {
            KeyColumn k;
            k.field = def.FieldIndex(name);
            k.caseInsensitive = index.IsCaseInsensitive() && def.fields[k.field].type == FieldType::String;
            k.expr = CollatedColumn(def, name, k.caseInsensitive);
            k.notNull = pkField_[size_t(k.field)];
            l.columns.push_back(k);
        }
        l.keyFieldCount = int(l.columns.size());
        if (!index.IsPrimary()) {
            if (index.options.testFlag(IndexOption::Unique)) {
                KeyColumn k;
                k.expr = "rowid";
                k.notNull = true;
                l.columns.push_back(k);
            } else {
                l.columns.insert(l.columns.end(), tail.begin(), tail.end());
            }
        }
        finish(l);
        layouts_.push_back(l);
    }
    natural_ = IndexLayout();
    natural_.columns = tail;
    finish(natural_);

    selectList_ = "rowid";
    for (const FieldDef& f : def.fields)
        selectList_ += ',' + QuoteName(f.name);
}

const IndexLayout& TableFile::Layout(int defNumber) const
{
    if (defNumber < 0 || defNumber >= int(layouts_.size()))
        return natural_;
    return layouts_[size_t(defNumber)];
}

void TableFile::RouteTo(SqliteConnection* host, const QByteArray& schema)
{
    route_ = host;
    tableRef_ = QuoteName(QString::fromUtf8(schema)) + ".\"data\"";
    ++g_routeGeneration;
}

void TableFile::RouteHome() { RouteTo(own_.get(), "main"); }

uint64_t TableFile::RouteGeneration() { return g_routeGeneration; }

DbValue TableFile::ForStore(int field, DbValue v) const
{
    if (v.IsNull() && pkField_[size_t(field)] && field != rowidField_)
        return ZeroValue(def_.fields[field]);
    if (v.IsNull() && field == rowidField_ && def_.fields[field].type != FieldType::AutoInc)
        return DbValue::OfInt(0);
    return v;
}

void TableFile::AddIndex(const IndexDef& index)
{
    if (Routed())
        throw EDatabaseError(QStringLiteral("Индекс таблицы \"%1\" нельзя менять внутри транзакции").arg(path_));
    int place = -1;
    for (int i = 0; i < def_.indexes.size(); ++i) {
        const IndexDef& old = def_.indexes[i];
        if (index.IsPrimary() ? old.IsPrimary()
                              : (!old.IsPrimary() && old.name.compare(index.name, Qt::CaseInsensitive) == 0))
            place = i;
    }
    if (place >= 0 && def_.indexes[place].SameAs(index))
        return;
    if (index.IsPrimary())
        throw EDatabaseError(
            QStringLiteral("Первичный индекс таблицы \"%1\" задается только при ее создании").arg(path_));
    TableDef changed = def_;
    if (place >= 0)
        changed.indexes[place] = index;
    else
        changed.indexes << index;
    CheckTableDef(changed);
    SqliteConnection& c = *own_;
    c.Exec("SAVEPOINT add_index");
    try {
        if (place >= 0)
            c.Exec("DROP INDEX " + SqlIndexName(def_.indexes[place].name));
        c.Exec(CreateIndexSql(changed, index));
        InsertIndexMeta(c, place >= 0 ? place : int(changed.indexes.size()) - 1, index);
        c.Exec("RELEASE add_index");
    } catch (...) {
        try {
            c.Exec("ROLLBACK TO add_index; RELEASE add_index");
        } catch (...) {
        }
        throw;
    }
    def_ = changed;
    BuildLayouts();
}
