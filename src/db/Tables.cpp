#include "db/Tables.h"

#include "db/CallHook.h"
#include "db/Cursor.h"
#include "db/FieldCodec.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/TableFile.h"
#include "db/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

QString FolderOf(const QString& folder)
{
    QString dir = folder.isEmpty() ? DbSession::DataFolder() : folder;
    if (dir.isEmpty())
        throw EDatabaseError(QStringLiteral("Не задан каталог данных"));
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return dir;
}

// The existing file of a table whose name matches ignoring case, or "".
QString ExistingFile(const QString& dir, const QString& name)
{
    const QString exact = dir + QLatin1Char('/') + name + Tables::Extension();
    if (QFileInfo(exact).isFile())
        return exact;
    const QString wanted = name + Tables::Extension();
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir + QLatin1Char('/') + entry;
    }
    return QString();
}

void CheckNotOpen(const QString& path, const QString& what)
{
    if (TableFile::Find(path))
        throw EDatabaseError(QStringLiteral("Таблица \"%1\" открыта: %2 невозможно").arg(path, what));
}

// Cursors of the file read their rows again after the file changed under them.
void RefreshCursorsOf(const QString& canonicalPath)
{
    for (Cursor* c : DbSession::OpenCursors()) {
        if (c->State() == CursorState::Browse && c->OpenFilePath() == canonicalPath)
            c->Refresh();
    }
}

} // namespace

namespace Tables {

QString Extension() { return QStringLiteral(".DB"); }

QString FilePath(const QString& name, const QString& folder)
{
    const QString dir = FolderOf(folder);
    const QString existing = ExistingFile(dir, name);
    return existing.isEmpty() ? dir + QLatin1Char('/') + name + Extension() : existing;
}

bool Exists(const QString& name, const QString& folder) { return !ExistingFile(FolderOf(folder), name).isEmpty(); }

void Create(const TableDef& def, const QString& folder, bool withSecondaryIndexes)
{
    TableFile::Create(FilePath(def.name, folder), withSecondaryIndexes ? def : def.WithoutSecondaryIndexes());
}

void Delete(const QString& name, const QString& folder)
{
    const QString path = FilePath(name, folder);
    if (!QFileInfo::exists(path))
        throw EDatabaseError(QStringLiteral("Таблица не найдена: \"%1\"").arg(path));
    CheckNotOpen(path, QStringLiteral("удаление"));
    if (!QFile::remove(path))
        throw EDatabaseError(QStringLiteral("Не удалось удалить таблицу \"%1\"").arg(path));
    QFile::remove(path + QStringLiteral("-journal"));
    NoteDbCall(DbCall::Remove);
}

void Rename(const QString& oldName, const QString& newName, const QString& folder)
{
    const QString dir = FolderOf(folder);
    const QString from = ExistingFile(dir, oldName);
    if (from.isEmpty())
        throw EDatabaseError(
            QStringLiteral("Таблица не найдена: \"%1\"").arg(dir + QLatin1Char('/') + oldName + Extension()));
    CheckNotOpen(from, QStringLiteral("переименование"));
    const QString existing = ExistingFile(dir, newName);
    if (!existing.isEmpty() && TableFile::CanonicalPath(existing) != TableFile::CanonicalPath(from))
        throw EDatabaseError(QStringLiteral("Таблица уже существует: \"%1\"").arg(existing));
    // An interrupted write is rolled back first, so its journal does not
    // stay behind under the old name.
    if (QFileInfo::exists(from + QStringLiteral("-journal")))
        TableFile::Acquire(from);
    const QString to = dir + QLatin1Char('/') + newName + Extension();
    if (!QFile::rename(from, to))
        throw EDatabaseError(QStringLiteral("Не удалось переименовать таблицу \"%1\" в \"%2\"").arg(from, to));
    NoteDbCall(DbCall::Rename);
}

void Empty(const QString& name, const QString& folder)
{
    const std::shared_ptr<TableFile> file = TableFile::Acquire(FilePath(name, folder));
    SqliteConnection& c = file->Conn();
    const QByteArray schema = file->TableRef().left(file->TableRef().indexOf('.'));
    c.Exec("SAVEPOINT empty_table");
    try {
        c.Exec("DELETE FROM " + file->TableRef());
        bool sequence = false;
        {
            StatementScope s(c, c.Prepare("SELECT 1 FROM " + schema + ".sqlite_master WHERE name='sqlite_sequence'"));
            sequence = s.Step(QString());
        }
        if (sequence)
            c.Exec("DELETE FROM " + schema + ".sqlite_sequence WHERE name='data'");
        c.Exec("RELEASE empty_table");
    } catch (...) {
        try {
            c.Exec("ROLLBACK TO empty_table; RELEASE empty_table");
        } catch (...) {
        }
        throw;
    }
    file->DataChanged();
    RefreshCursorsOf(file->Path());
}

void AddIndex(const QString& name, const IndexDef& index, const QString& folder)
{
    const std::shared_ptr<TableFile> file = TableFile::Acquire(FilePath(name, folder));
    file->AddIndex(index);
}

TableDef ReadDefinition(const QString& name, const QString& folder)
{
    return TableFile::Acquire(FilePath(name, folder))->Def();
}

QString MadeAs(const QString& name, const QString& folder)
{
    return TableFile::Acquire(FilePath(name, folder))->MadeAs();
}

int64_t RecordCount(const QString& name, const QString& folder)
{
    const std::shared_ptr<TableFile> file = TableFile::Acquire(FilePath(name, folder));
    StatementScope s(file->Conn(), file->Conn().Prepare("SELECT count(*) FROM " + file->TableRef()));
    return s.Step(QStringLiteral("Подсчет записей")) ? sqlite3_column_int64(s.Get(), 0) : 0;
}

QStringList List(const QString& folder)
{
    const QString dir = FolderOf(folder);
    QStringList out;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.size() > Extension().size() && entry.endsWith(Extension(), Qt::CaseInsensitive))
            out << entry.left(entry.size() - Extension().size());
    }
    std::sort(out.begin(), out.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return out;
}

int64_t BatchAppend(
    const QString& sourceName, const QString& sourceFolder, const QString& targetName, const QString& targetFolder)
{
    const QString sourcePath = FilePath(sourceName, sourceFolder);
    const QString targetPath = FilePath(targetName, targetFolder);
    if (TableFile::CanonicalPath(sourcePath) == TableFile::CanonicalPath(targetPath))
        throw EDatabaseError(QStringLiteral("Таблицу \"%1\" нельзя добавить в нее саму").arg(sourcePath));
    Transaction tx(QList<TableRef>{{targetName, targetFolder}, {sourceName, sourceFolder}});
    const std::shared_ptr<TableFile> target = TableFile::Acquire(targetPath);
    const std::shared_ptr<TableFile> source = TableFile::Acquire(sourcePath);
    const TableDef& t = target->Def();
    const TableDef& s = source->Def();
    const int n = int(std::min(t.fields.size(), s.fields.size()));
    const int first = t.fields[0].type == FieldType::AutoInc ? 1 : 0;
    bool direct = first < n;
    for (int i = first; i < n; ++i) {
        const FieldDef& a = s.fields[i];
        const FieldDef& b = t.fields[i];
        if (a.type != b.type || (b.type == FieldType::String && b.size < a.size))
            direct = false;
    }
    int64_t appended = 0;
    if (direct) {
        QByteArray into;
        QByteArray select;
        for (int i = first; i < n; ++i) {
            if (i > first) {
                into += ',';
                select += ',';
            }
            into += QuoteName(t.fields[i].name);
            const QByteArray col = QuoteName(s.fields[i].name);
            if (target->IsPrimaryKeyField(i)) {
                const DbValue zero = ZeroValue(t.fields[i]);
                select += "coalesce(" + col + ","
                    + QByteArray(zero.kind == DbValue::Text ? "''"
                            : zero.kind == DbValue::Real    ? "0.0"
                                                            : "0")
                    + ")";
            } else {
                select += col;
            }
        }
        SqliteConnection& c = target->Conn();
        StatementScope st(c,
            c.Prepare("INSERT INTO " + target->TableRef() + "(" + into + ") SELECT " + select + " FROM "
                + source->TableRef() + " ORDER BY " + source->Layout(-1).orderAsc));
        try {
            st.Run(u"Добавление записей в таблицу %1", targetName);
        } catch (const EKeyViolation&) {
            throw EKeyViolation(
                QStringLiteral("Нарушение уникальности ключа при добавлении записей таблицы %1 в таблицу %2")
                    .arg(sourceName, targetName));
        }
        appended = c.Changes();
    } else {
        Cursor from(sourceName, sourceFolder);
        Cursor to(targetName, targetFolder);
        from.SetIndexName(QString());
        from.Open();
        to.Open();
        for (from.First(); !from.Eof(); from.Next()) {
            to.Append();
            for (int i = first; i < n; ++i) {
                const Field src = from.FieldAt(i);
                const Field dst = to.FieldAt(i);
                if (src.Type() == FieldType::Blob || dst.Type() == FieldType::Blob)
                    dst.SetBlob(src.AsBlob());
                else
                    dst.SetVariant(src.AsVariant());
            }
            to.Post();
            ++appended;
        }
    }
    target->DataChanged();
    tx.Commit();
    RefreshCursorsOf(target->Path());
    return appended;
}

} // namespace Tables
