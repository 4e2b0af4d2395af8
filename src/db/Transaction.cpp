#include "db/Transaction.h"

#include "db/Cursor.h"
#include "db/Session.h"
#include "db/TableFile.h"
#include "db/Tables.h"

#include <QSet>

#include <vector>

namespace {

// SQLite attaches at most ten files to a connection.
constexpr int kMaxTables = 11;

} // namespace

struct Transaction::State {
    std::vector<std::shared_ptr<TableFile>> files; // files[0] is the host
    QStringList given; // the paths as given and as resolved (an outer transaction's)
    SqliteConnection* host = nullptr;
    QByteArray savepoint; // a nested transaction's savepoint
    bool active = false;
};

namespace {

std::vector<Transaction::State*>& Stack()
{
    static std::vector<Transaction::State*> stack;
    return stack;
}

void Detach(SqliteConnection& host, size_t number)
{
    const QByteArray alias = "t" + QByteArray::number(qulonglong(number));
    host.Forget('"' + alias + "\".");
    try {
        host.Exec("DETACH DATABASE " + alias);
    } catch (...) {
    }
}

void RefreshCursorsOf(const std::vector<std::shared_ptr<TableFile>>& files)
{
    QSet<QString> paths;
    for (const auto& f : files) {
        f->DataChanged();
        paths.insert(f->Path());
    }
    for (Cursor* c : DbSession::OpenCursors()) {
        if (c->State() == CursorState::Browse && paths.contains(c->OpenFilePath())) {
            try {
                c->Refresh();
            } catch (...) {
            }
        }
    }
}

} // namespace

Transaction::Transaction(const QList<Cursor*>& cursors) : state_(std::make_unique<State>())
{
    QStringList paths;
    for (const Cursor* c : cursors)
        paths << (c->Active() ? c->OpenFilePath() : c->FilePath());
    Begin(paths);
}

Transaction::Transaction(const QStringList& tableNames, const QString& folder) : state_(std::make_unique<State>())
{
    QStringList paths;
    for (const QString& name : tableNames)
        paths << Tables::FilePath(name, folder);
    Begin(paths);
}

Transaction::Transaction(const QList<TableRef>& tables) : state_(std::make_unique<State>())
{
    QStringList paths;
    for (const TableRef& t : tables)
        paths << Tables::FilePath(t.name, t.folder);
    Begin(paths);
}

Transaction::~Transaction()
{
    if (state_ && state_->active) {
        try {
            Rollback();
        } catch (...) {
        }
    }
}

int Transaction::Depth() { return int(Stack().size()); }

bool Transaction::Active() const { return state_->active; }

bool Transaction::Alive() const { return state_->active && state_->host->InTransaction(); }

void Transaction::Begin(const QStringList& rawPaths)
{
    if (rawPaths.isEmpty())
        throw EDatabaseError(QStringLiteral("Транзакция без таблиц"));
    State& st = *state_;
    auto& stack = Stack();
    if (!stack.empty()) {
        State& root = *stack.front();
        for (const QString& raw : rawPaths) {
            // A path the outer transaction was given needs no resolving again.
            if (root.given.contains(raw))
                continue;
            const QString p = TableFile::CanonicalPath(raw);
            bool inRoot = false;
            for (const auto& f : root.files)
                inRoot = inRoot || f->Path() == p;
            if (!inRoot)
                throw EDatabaseError(QStringLiteral(
                    "Вложенная транзакция обращается к таблице \"%1\", которой нет во внешней транзакции")
                                         .arg(p));
        }
        // SQLite may have rolled the outer transaction back after a failed
        // write: a savepoint now would begin a new one and keep its writes.
        if (!root.host->InTransaction())
            throw EDatabaseError(QStringLiteral("Транзакция отменена из-за ошибки записи"));
        st.host = root.host;
        st.files = root.files;
        st.savepoint = "qor_tx" + QByteArray::number(stack.size());
        st.host->ExecKept("SAVEPOINT " + st.savepoint);
        st.active = true;
        stack.push_back(&st);
        return;
    }
    QStringList paths;
    for (const QString& p : rawPaths) {
        const QString c = TableFile::CanonicalPath(p);
        if (!paths.contains(c))
            paths << c;
    }
    if (paths.size() > kMaxTables)
        throw EDatabaseError(QStringLiteral("В одной транзакции может быть не больше %1 таблиц").arg(kMaxTables));
    for (const QString& p : paths)
        st.files.push_back(TableFile::Acquire(p));
    st.host = &st.files[0]->Own();
    size_t attached = 1;
    try {
        for (; attached < st.files.size(); ++attached) {
            const QByteArray alias = "t" + QByteArray::number(qulonglong(attached));
            {
                StatementScope s(*st.host, st.host->Prepare("ATTACH DATABASE ? AS " + alias));
                s.BindText(1, st.files[attached]->Path().toUtf8());
                s.Run(u"Подключение таблицы \"%1\" к транзакции", st.files[attached]->Path());
            }
            st.host->Exec("PRAGMA " + alias + ".journal_mode=DELETE");
            st.files[attached]->RouteTo(st.host, alias);
        }
        st.host->Exec("BEGIN IMMEDIATE");
    } catch (...) {
        for (size_t i = 1; i < attached; ++i) {
            st.files[i]->RouteHome();
            Detach(*st.host, i);
        }
        st.files.clear();
        throw;
    }
    st.given = rawPaths + paths;
    st.active = true;
    stack.push_back(&st);
}

void Transaction::Commit()
{
    State& st = *state_;
    if (!st.active)
        throw EDatabaseError(QStringLiteral("Транзакция уже завершена"));
    auto& stack = Stack();
    if (stack.back() != &st)
        throw EDatabaseError(QStringLiteral("Вложенная транзакция не завершена"));
    if (!st.savepoint.isEmpty()) {
        if (!st.host->InTransaction()) {
            Rollback();
            throw EDatabaseError(QStringLiteral("Транзакция отменена из-за ошибки записи"));
        }
        st.host->ExecKept("RELEASE " + st.savepoint);
        st.active = false;
        stack.pop_back();
        return;
    }
    if (!st.host->InTransaction()) {
        // SQLite has rolled it back itself after a failed write.
        Rollback();
        throw EDatabaseError(QStringLiteral("Транзакция отменена из-за ошибки записи"));
    }
    try {
        st.host->Exec("COMMIT");
    } catch (...) {
        Rollback();
        throw;
    }
    st.active = false;
    stack.pop_back();
    for (size_t i = 1; i < st.files.size(); ++i) {
        st.files[i]->RouteHome();
        Detach(*st.host, i);
    }
    st.files.clear();
    st.given.clear();
}

void Transaction::Rollback()
{
    State& st = *state_;
    if (!st.active)
        return;
    auto& stack = Stack();
    // An inner transaction left open ends with this one.
    while (!stack.empty() && stack.back() != &st) {
        stack.back()->active = false;
        stack.pop_back();
    }
    if (!stack.empty())
        stack.pop_back();
    st.active = false;
    if (!st.savepoint.isEmpty()) {
        try {
            st.host->Exec("ROLLBACK TO " + st.savepoint + "; RELEASE " + st.savepoint);
        } catch (...) {
        }
        RefreshCursorsOf(st.files);
        return;
    }
    if (st.host->InTransaction()) {
        try {
            st.host->Exec("ROLLBACK");
        } catch (...) {
        }
    }
    for (size_t i = 1; i < st.files.size(); ++i) {
        st.files[i]->RouteHome();
        Detach(*st.host, i);
    }
    const std::vector<std::shared_ptr<TableFile>> files = std::move(st.files);
    st.files.clear();
    RefreshCursorsOf(files);
}
