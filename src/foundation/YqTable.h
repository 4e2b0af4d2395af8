#pragma once
// Tyq_Table: a cursor that tells its owner about every move and every change
// of its rows (OnScrollRecord), before its views hear of it.

#include "db/Cursor.h"

#include <functional>
#include <memory>

using TDataSetNotifyEvent = std::function<void(Cursor& DataSet)>;

class Tyq_Table : public Cursor {
public:
    Tyq_Table();
    explicit Tyq_Table(const QString& tableName, const QString& folder = QString());
    ~Tyq_Table();

    // Fires when another row becomes current and when rows come, go or move
    // (post, delete, refresh, range, filter, index, opening), ahead of the
    // views and links. While the controls are disabled it is quiet like the
    // views; enabling them fires it once.
    TDataSetNotifyEvent OnScrollRecord;

private:
    class Listener;
    std::unique_ptr<Listener> listener_;
};
