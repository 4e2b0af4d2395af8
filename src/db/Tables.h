#pragma once
// Operations on whole table files. A table is the file "<name>.DB" in a
// folder (an existing file is matched ignoring case); an empty folder means
// the session's data folder. Failures raise EDatabaseError naming the file.

#include "db/TableDef.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace Tables {

// ".DB"
QString Extension();
// The file of a table: an existing one whose name matches ignoring case,
// else "<folder>/<name>.DB".
QString FilePath(const QString& name, const QString& folder = QString());
bool Exists(const QString& name, const QString& folder = QString());

// Creates the table; the primary index is made with it, the secondary ones
// only when asked. Refuses to replace an existing file.
void Create(const TableDef& def, const QString& folder = QString(), bool withSecondaryIndexes = true);
// Refused while any cursor or transaction of this process has the file open.
void Delete(const QString& name, const QString& folder = QString());
void Rename(const QString& oldName, const QString& newName, const QString& folder = QString());
// Deletes every row; the AutoInc numbering starts again at 1.
void Empty(const QString& name, const QString& folder = QString());
// Adds an index; an index of the same name and definition is left as it is,
// one of the same name and another definition is replaced.
void AddIndex(const QString& name, const IndexDef& index, const QString& folder = QString());
// The definition the file records.
TableDef ReadDefinition(const QString& name, const QString& folder = QString());
// The name the file's table was made under, whatever the file is called
// now; empty for a file made before the name was kept.
QString MadeAs(const QString& name, const QString& folder = QString());
int64_t RecordCount(const QString& name, const QString& folder = QString());
// Names (without extension) of the table files of a folder, sorted.
QStringList List(const QString& folder = QString());

// Appends every row of the source to the target in one transaction, field
// by field in order of position; an AutoInc first field of the target
// numbers itself. Values go through the target's field rules (strings cut to
// size, Smallint checked). Answers the number of rows appended.
int64_t BatchAppend(
    const QString& sourceName, const QString& sourceFolder, const QString& targetName, const QString& targetFolder);

} // namespace Tables
