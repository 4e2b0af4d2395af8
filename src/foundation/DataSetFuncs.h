#pragma once
// Shortcuts for the table layer's cursors: edit and post, field getters,
// closing every table around work that copies or replaces table files and
// opening them again as they were, refreshing the open tables, and
// switching the data-aware views off during bulk work.

#include "db/Session.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

#include <QList>
#include <QString>

class Cursor;

// Edit unless the cursor is already editing or inserting.
void EditIfNeeded(Cursor& dataSet);
// Post when the cursor is modified or editing or inserting. Every post is
// on the disk when it returns: nothing is left to flush.
void PostIfEditing(Cursor& dataSet);

int GetFieldAsInteger(Cursor& dataSet, const QString& name);
QString GetFieldAsString(Cursor& dataSet, const QString& name);
TDateTime GetFieldAsDateTime(Cursor& dataSet, const QString& name);
double GetFieldAsFloat(Cursor& dataSet, const QString& name);
Currency GetFieldAsCurrency(Cursor& dataSet, const QString& name);
bool GetFieldAsBoolean(Cursor& dataSet, const QString& name);

// The views of every cursor off (once more) / on (until no longer disabled).
void DisableAllDataSetControls();
void EnableAllDataSetControls();

// Refreshes every open cursor that is not editing or inserting (only the
// cursors of Table's table when given); not re-entered.
void RefreshOpenTables(Cursor* table = nullptr);

// The cursors a CloseDataBases closed, with how they stood.
using TDataSetList = QList<ClosedCursor>;

// Closes every open cursor and adds it to List, or to the unit's own list
// when List is nullptr (raises "CloseDataBases: Не освобожден список таблиц"
// while that one still holds an earlier close). DataBaseName ("Qor" for the
// data folder, or a folder) and TableName limit it to those cursors.
// A pending edit is posted first (an untouched new row is cancelled); when
// a post fails nothing is closed and the failure is raised with the table's
// name. Afterwards the table files can be copied, renamed or replaced.
void CloseDataBases(
    TDataSetList* list = nullptr, const QString& dataBaseName = QString(), const QString& tableName = QString());
// Opens the cursors of List (the unit's own list when nullptr; raises
// "OpenDataBases: Не создан список таблиц" when there is none) as they
// were: index, range, filter and row. Each one that fails is shown and the
// others still open; the list is emptied; then, when any failed, raises
// "OpenDataBases: Ошибка при открытии рабочих таблиц".
void OpenDataBases(TDataSetList* list = nullptr);
// The unit's own list is held (a CloseDataBases without OpenDataBases).
bool DataBasesClosed();
