#pragma once
// A scope that makes writes to several tables all-or-nothing: the files are
// attached to one connection (at most 11 tables) and every cursor on them
// writes through it until the scope ends. Without Commit the writes are
// rolled back, also when an exception leaves the scope; cursors of the
// tables then read their rows again.
//
// A transaction begun while another is active must use only tables of the
// outer one; it becomes a savepoint inside it.

#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <memory>

class Cursor;

struct TableRef {
    QString name;
    QString folder; // empty: the data folder
};

class Transaction {
public:
    Transaction(std::initializer_list<Cursor*> cursors) : Transaction(QList<Cursor*>(cursors)) {}
    explicit Transaction(const QList<Cursor*>& cursors);
    explicit Transaction(const QStringList& tableNames, const QString& folder = QString());
    explicit Transaction(const QList<TableRef>& tables);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();
    void Rollback();
    bool Active() const;
    // Active and not rolled back by SQLite itself after a failed write.
    bool Alive() const;

    // The number of transactions open in this process (nested ones counted).
    static int Depth();

    struct State;

private:
    void Begin(const QStringList& paths);

    std::unique_ptr<State> state_;
};
