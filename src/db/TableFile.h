#pragma once
// One open table file: its connection (one per file per process, shared by
// every cursor on it), its definition and the physical layout of its
// indexes. While a transaction has the file attached to another connection,
// the file's statements are routed there. Internal to the table layer.

#include "db/DbValue.h"
#include "db/Sqlite.h"
#include "db/TableDef.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// One column of an index's full sort key: a field, or the row id (-1).
struct KeyColumn {
    int field = -1;
    bool caseInsensitive = false;
    bool notNull = false; // a primary key field or the row id
    QByteArray expr; // as written in SQL, with its collation
};

// The full sort order of an index: its fields, then the primary key fields
// (or the row id) so that equal keys are ordered deterministically.
struct IndexLayout {
    int defNumber = -1; // position in TableDef::indexes; -1: the natural order
    int keyFieldCount = 0;
    std::vector<KeyColumn> columns;
    QByteArray orderAsc;
    QByteArray orderDesc;
};

class TableFile {
public:
    // The file of that path, open already or opened now; raises
    // EDatabaseError naming the file when it is missing or not a table.
    static std::shared_ptr<TableFile> Acquire(const QString& path);
    // Makes a new table file from a definition; raises when it exists.
    static void Create(const QString& path, const TableDef& def);
    // The open file of a path, or nullptr.
    static std::shared_ptr<TableFile> Find(const QString& path);
    // The number of open table files of this process.
    static int OpenCount();
    // The key under which files are registered (absolute, symlinks resolved).
    static QString CanonicalPath(const QString& path);

    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const QString& Path() const { return path_; }
    QString Name() const;
    const TableDef& Def() const { return def_; }
    // The name the table was made under (a file copied or renamed keeps
    // it); empty in a file made before the name was kept.
    const QString& MadeAs() const { return madeAs_; }
    // Layout of TableDef index i, or the natural order for -1.
    const IndexLayout& Layout(int defNumber) const;
    // The field that is the row id (a one-field numeric primary key), or -1.
    int RowidField() const { return rowidField_; }
    bool IsPrimaryKeyField(int field) const { return pkField_[size_t(field)]; }
    int AutoIncField() const { return autoIncField_; }

    // Where statements go now.
    SqliteConnection& Conn() const { return *route_; }
    const QByteArray& TableRef() const { return tableRef_; }
    const QByteArray& SelectList() const { return selectList_; }
    SqliteConnection& Own() const { return *own_; }
    bool Routed() const { return route_ != own_.get(); }
    void RouteTo(SqliteConnection* host, const QByteArray& schema);
    void RouteHome();
    static uint64_t RouteGeneration();

    // Bumped on every write through this process, so read-ahead rows can
    // tell they are stale.
    uint64_t DataGeneration() const { return dataGeneration_; }
    void DataChanged() { ++dataGeneration_; }

    // Cursors of this process that have the file open.
    int cursorCount = 0;
    int exclusiveCursors = 0;

    // After the indexes changed.
    void AddIndex(const IndexDef& index);

    // The stored form of a value given for a field: a null key field of the
    // primary index becomes the type's zero.
    DbValue ForStore(int field, DbValue v) const;

private:
    TableFile(const QString& path, std::unique_ptr<SqliteConnection> conn);
    void ReadDefinition();
    void BuildLayouts();

    QString path_;
    std::unique_ptr<SqliteConnection> own_;
    SqliteConnection* route_ = nullptr;
    QByteArray tableRef_;
    QByteArray selectList_;
    TableDef def_;
    QString madeAs_;
    std::vector<IndexLayout> layouts_; // per TableDef index
    IndexLayout natural_;
    std::vector<bool> pkField_;
    int rowidField_ = -1;
    int autoIncField_ = -1;
    uint64_t dataGeneration_ = 1;
};

// The SQL name of a secondary index inside a table file.
QByteArray SqlIndexName(const QString& indexName);
