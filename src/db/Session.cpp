#include "db/Session.h"

#include "db/Cursor.h"
#include "db/TableFile.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <vector>

namespace {

struct SessionData {
    QString dataFolder;
    std::vector<Cursor*> cursors;
    uint64_t nextId = 1;
    bool refreshing = false;
};

SessionData& Data()
{
    static SessionData data;
    return data;
}

Cursor* FindById(uint64_t id)
{
    for (Cursor* c : Data().cursors) {
        if (c->Id() == id)
            return c;
    }
    return nullptr;
}

int MasterDepth(const Cursor* c)
{
    int depth = 0;
    for (const Cursor* m = c->MasterSource(); m && depth < 64; m = m->MasterSource())
        ++depth;
    return depth;
}

} // namespace

namespace DbSession {

void SetDataFolder(const QString& folder) { Data().dataFolder = folder; }

QString DataFolder() { return Data().dataFolder; }

QList<Cursor*> Cursors() { return QList<Cursor*>(Data().cursors.begin(), Data().cursors.end()); }

QList<Cursor*> OpenCursors()
{
    QList<Cursor*> out;
    for (Cursor* c : Data().cursors) {
        if (c->Active())
            out << c;
    }
    return out;
}

int OpenFileCount() { return TableFile::OpenCount(); }

QList<ClosedCursor> CloseAll(const QString& tableName)
{
    QList<Cursor*> chosen;
    for (Cursor* c : OpenCursors()) {
        if (tableName.isEmpty() || c->TableName().compare(tableName, Qt::CaseInsensitive) == 0)
            chosen << c;
    }
    // Everything is remembered before anything closes: closing a master
    // would empty its details.
    QList<ClosedCursor> out;
    for (Cursor* c : chosen)
        out << ClosedCursor{c->Id(), c->Name(), c->Exclusive(), c->Remember()};
    QList<Cursor*> order = chosen;
    std::stable_sort(
        order.begin(), order.end(), [](const Cursor* a, const Cursor* b) { return MasterDepth(a) > MasterDepth(b); });
    for (Cursor* c : order)
        c->Close();
    return out;
}

QList<ReopenFailure> ReopenAll(const QList<ClosedCursor>& closed)
{
    QList<ReopenFailure> failures;
    QList<QPair<Cursor*, const ClosedCursor*>> opened;
    for (const ClosedCursor& entry : closed) {
        Cursor* c = FindById(entry.id);
        if (!c)
            continue;
        try {
            c->Open(entry.exclusive);
            opened << qMakePair(c, &entry);
        } catch (const Exception& e) {
            failures << ReopenFailure{entry.name, e.Message()};
        }
    }
    std::stable_sort(opened.begin(), opened.end(),
        [](const auto& a, const auto& b) { return MasterDepth(a.first) < MasterDepth(b.first); });
    for (const auto& [c, entry] : opened) {
        if (!entry->memo)
            continue;
        try {
            c->Restore(*entry->memo);
        } catch (const Exception& e) {
            failures << ReopenFailure{entry->name, e.Message()};
        }
    }
    return failures;
}

void RefreshAll(const QString& tableName)
{
    SessionData& d = Data();
    if (d.refreshing)
        return;
    d.refreshing = true;
    const QList<Cursor*> all = Cursors();
    for (Cursor* c : all)
        c->DisableControls();
    try {
        for (Cursor* c : OpenCursors()) {
            if (c->State() == CursorState::Browse
                && (tableName.isEmpty() || c->TableName().compare(tableName, Qt::CaseInsensitive) == 0))
                c->Refresh();
        }
    } catch (...) {
        for (Cursor* c : Cursors())
            c->EnableControls();
        d.refreshing = false;
        throw;
    }
    for (Cursor* c : Cursors())
        c->EnableControls();
    d.refreshing = false;
}

void DisableAllControls()
{
    for (Cursor* c : Data().cursors)
        c->DisableControls();
}

void EnableAllControls()
{
    for (Cursor* c : Cursors()) {
        while (c->ControlsDisabled())
            c->EnableControls();
    }
}

uint64_t RegisterCursor(Cursor* cursor)
{
    Data().cursors.push_back(cursor);
    return Data().nextId++;
}

void UnregisterCursor(Cursor* cursor)
{
    auto& v = Data().cursors;
    v.erase(std::remove(v.begin(), v.end(), cursor), v.end());
}

} // namespace DbSession
