#pragma once
// A small RAII wrapper over the SQLite C API: one connection with its cache
// of prepared statements, and a scope that resets a statement when it ends
// (so no statement keeps a read lock on a file longer than one call).

#include "platform/Exceptions.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// A write refused because a row with the same primary key exists.
QOR_DECLARE_EXCEPTION(EKeyViolation, EDatabaseError)

// The name of the Cyrillic-aware case-insensitive collation.
extern const char kCaseInsensitiveCollation[];

class SqliteConnection {
public:
    // Opens an existing file (create = false) or makes a new one; raises
    // EDatabaseError naming the file. Every connection gets the program's
    // settings: rollback journal, full synchronisation, a busy wait, and the
    // case-insensitive collation.
    static std::unique_ptr<SqliteConnection> Open(const QString& path, bool create);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* Handle() const { return db_; }
    const QString& Path() const { return path_; }

    // Runs statements without results; raises on failure.
    void Exec(const QByteArray& sql);
    // The same for one statement run again and again (a savepoint): it is
    // prepared once and kept.
    void ExecKept(const QByteArray& sql);
    // A prepared statement kept for the life of the connection, reset.
    sqlite3_stmt* Prepare(const QByteArray& sql);
    // Drops the kept statements whose text contains the needle.
    void Forget(const QByteArray& needle);
    // Raises EDatabaseError (EKeyViolation for a unique-key refusal) with
    // the connection's last error, naming the file and what was being done.
    [[noreturn]] void Raise(int rc, const QString& action) const;
    bool InTransaction() const;
    int64_t LastInsertRowid() const;
    int Changes() const;

private:
    SqliteConnection(sqlite3* db, const QString& path);
    // Exec without telling the call hook: the settings of every new connection.
    void Run(const QByteArray& sql);

    sqlite3* db_;
    QString path_;
    QHash<QByteArray, sqlite3_stmt*> statements_;
};

// Resets the statement when the scope ends; binding and reading helpers.
class StatementScope {
public:
    StatementScope(SqliteConnection& conn, sqlite3_stmt* stmt) : conn_(conn), stmt_(stmt) {}
    ~StatementScope();
    StatementScope(const StatementScope&) = delete;
    StatementScope& operator=(const StatementScope&) = delete;

    sqlite3_stmt* Get() const { return stmt_; }
    void BindNull(int i);
    void BindInt(int i, int64_t v);
    void BindDouble(int i, double v);
    void BindText(int i, const QByteArray& utf8);
    void BindBlob(int i, const QByteArray& bytes);
    // true: a row is ready; false: done. Raises on failure, naming the
    // action ("%1" in it replaced by name); the text is made only then.
    bool Step(QStringView action, const QString& name = QString());
    // Runs to the end; raises on failure.
    void Run(QStringView action, const QString& name = QString());

private:
    SqliteConnection& conn_;
    sqlite3_stmt* stmt_;
};

// A double-quoted identifier.
QByteArray QuoteName(const QString& name);

// The collation itself, on UTF-8 texts: case folded (Cyrillic and Latin),
// "ё" sorted between "е" and "ж" and equal to "Ё".
int CompareTextCaseInsensitive(const char* a, int na, const char* b, int nb);
