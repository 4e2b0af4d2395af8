#pragma once
// The session of the table layer: the data folder, and the registry of every
// cursor of the process, for close-all / reopen-all around operations that
// copy or replace table files, refresh-all, and switching the data-aware
// views off during bulk work.

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class Cursor;
struct CursorMemo;

// A cursor closed by CloseAll and how it stood.
struct ClosedCursor {
    uint64_t id = 0;
    QString name; // the cursor's name for messages
    bool exclusive = false;
    std::shared_ptr<CursorMemo> memo;
};

struct ReopenFailure {
    QString name;
    QString message;
};

namespace DbSession {

// The folder of the catalogue tables; cursors and table operations without a
// folder of their own use it.
void SetDataFolder(const QString& folder);
QString DataFolder();

// Every cursor of the process, and the open ones.
QList<Cursor*> Cursors();
QList<Cursor*> OpenCursors();
// Table files with a live connection; 0 means every file can be copied,
// moved or deleted.
int OpenFileCount();

// Closes every open cursor (only those of that table when a name is given),
// remembering index, range, filter and row.
QList<ClosedCursor> CloseAll(const QString& tableName = QString());
// Reopens them as they were, masters before their details; a cursor that
// cannot be reopened is reported and the others are still opened. Cursors
// destroyed meanwhile are skipped.
QList<ReopenFailure> ReopenAll(const QList<ClosedCursor>& closed);
// Refreshes every open cursor in browse state (of that table when a name is
// given), with the views disabled meanwhile; not re-entered.
void RefreshAll(const QString& tableName = QString());
void DisableAllControls();
// Enables each cursor's views until they are no longer disabled.
void EnableAllControls();

// Used by Cursor.
uint64_t RegisterCursor(Cursor* cursor);
void UnregisterCursor(Cursor* cursor);

} // namespace DbSession
