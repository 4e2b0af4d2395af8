#include "foundation/DataSetFuncs.h"
#include "db/Cursor.h"
#include "foundation/Messages.h"
#include "platform/Exceptions.h"

#include <QDir>

#include <algorithm>
#include <optional>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

std::optional<TDataSetList>& GlobalList()
{
    static std::optional<TDataSetList> list;
    return list;
}

bool Editing(const Cursor& c) { return c.State() == CursorState::Edit || c.State() == CursorState::Insert; }

QString CleanFolder(const QString& folder) { return QDir::cleanPath(QDir(folder).absolutePath()); }

bool InDataBase(const Cursor& c, const QString& dataBaseName)
{
    if (dataBaseName.isEmpty())
        return true;
    const bool ownFolder = c.Folder().isEmpty();
    if (dataBaseName.compare(QStringLiteral("Qor"), Qt::CaseInsensitive) == 0)
        return ownFolder || CleanFolder(c.Folder()) == CleanFolder(DbSession::DataFolder());
    const QString folder = ownFolder ? DbSession::DataFolder() : c.Folder();
    return !folder.isEmpty() && CleanFolder(folder) == CleanFolder(dataBaseName);
}

int MasterDepth(const Cursor* c)
{
    int depth = 0;
    for (const Cursor* m = c->MasterSource(); m && depth < 64; m = m->MasterSource())
        ++depth;
    return depth;
}

QString TableMessage(const char* routine, const QString& name, const QString& message)
{
    return QString::fromLatin1(routine) + kCrLf + QStringLiteral("Таблица [") + EscapeBars(name) + QLatin1Char(']')
        + kCrLf + EscapeBars(message);
}

} // namespace

void EditIfNeeded(Cursor& dataSet)
{
    if (!Editing(dataSet))
        dataSet.Edit();
}

void PostIfEditing(Cursor& dataSet)
{
    if (dataSet.Modified() || Editing(dataSet))
        dataSet.Post();
}

int GetFieldAsInteger(Cursor& dataSet, const QString& name) { return dataSet.FieldByName(name).AsInteger(); }

QString GetFieldAsString(Cursor& dataSet, const QString& name) { return dataSet.FieldByName(name).AsString(); }

TDateTime GetFieldAsDateTime(Cursor& dataSet, const QString& name) { return dataSet.FieldByName(name).AsDateTime(); }

double GetFieldAsFloat(Cursor& dataSet, const QString& name) { return dataSet.FieldByName(name).AsFloat(); }

Currency GetFieldAsCurrency(Cursor& dataSet, const QString& name)
{
    return Currency::FromDouble(dataSet.FieldByName(name).AsFloat());
}

bool GetFieldAsBoolean(Cursor& dataSet, const QString& name) { return dataSet.FieldByName(name).AsBoolean(); }

void DisableAllDataSetControls() { DbSession::DisableAllControls(); }

void EnableAllDataSetControls() { DbSession::EnableAllControls(); }

void RefreshOpenTables(Cursor* table) { DbSession::RefreshAll(table ? table->TableName() : QString()); }

void CloseDataBases(TDataSetList* list, const QString& dataBaseName, const QString& tableName)
{
    if (!list && GlobalList())
        RaiseError(QStringLiteral("CloseDataBases: Не освобожден список таблиц"));

    QList<Cursor*> chosen;
    for (Cursor* c : DbSession::OpenCursors())
        if (InDataBase(*c, dataBaseName)
            && (tableName.isEmpty() || c->TableName().compare(tableName, Qt::CaseInsensitive) == 0))
            chosen << c;

    // Closing would drop a pending edit: the clerk's half-typed card is
    // saved first, or nothing is closed at all.
    for (Cursor* c : chosen) {
        try {
            c->CheckBrowseMode();
        } catch (const Exception& e) {
            RaiseError(TableMessage("CloseDataBases:", c->Name(), e.Message()));
        }
    }

    // Everything is remembered before anything closes: closing a master
    // would move its details.
    TDataSetList closed;
    for (Cursor* c : chosen)
        closed << ClosedCursor{c->Id(), c->Name(), c->Exclusive(), c->Remember()};
    std::stable_sort(
        chosen.begin(), chosen.end(), [](const Cursor* a, const Cursor* b) { return MasterDepth(a) > MasterDepth(b); });
    for (Cursor* c : chosen)
        c->Close();

    if (list)
        *list << closed;
    else
        GlobalList() = closed;
}

void OpenDataBases(TDataSetList* list)
{
    if (!list && !GlobalList())
        RaiseError(QStringLiteral("OpenDataBases: Не создан список таблиц"));
    TDataSetList closed = list ? *list : *GlobalList();
    if (list)
        list->clear();
    else
        GlobalList().reset();

    const QList<ReopenFailure> failures = DbSession::ReopenAll(closed);
    for (const ReopenFailure& f : failures)
        ShowError(TableMessage("OpenDataBases:", f.name, f.message));
    if (!failures.isEmpty())
        RaiseError(QStringLiteral("OpenDataBases: Ошибка при открытии рабочих таблиц"));
}

bool DataBasesClosed() { return GlobalList().has_value(); }
