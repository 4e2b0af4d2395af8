#include "db/Sqlite.h"

#include "db/CallHook.h"
#include "db/FolderWrites.h"
#include "platform/Disk.h"

#include <QChar>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

const char kCaseInsensitiveCollation[] = "QOR_CI";

namespace {

constexpr int kBusyTimeoutMs = 10000;

// Decodes one UTF-8 character; a broken sequence yields its first byte.
inline char32_t NextChar(const unsigned char*& p, const unsigned char* end)
{
    const unsigned c = *p++;
    if (c < 0x80)
        return c;
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return c;
    }
    if (end - p < extra)
        return c;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return c;
    }
    for (int i = 0; i < extra; ++i)
        cp = (cp << 6) | (*p++ & 0x3F);
    return cp;
}

// The sort weight of a character: its lower case, doubled, with "ё" placed
// between "е" and "ж".
inline uint64_t Weight(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        c += 0x20;
    else if (c >= 0x410 && c <= 0x42F)
        c += 0x20;
    else if (c >= 0x400 && c <= 0x40F)
        c += 0x50;
    else if (c >= 0x80 && !(c >= 0x430 && c <= 0x45F))
        c = QChar::toLower(c);
    if (c == 0x451)
        return 0x435u * 2 + 1;
    return uint64_t(c) * 2;
}

int CollateCaseInsensitive(void*, int na, const void* a, int nb, const void* b)
{
    return CompareTextCaseInsensitive(static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}

void CheckHeader(const QString& path)
{
    QFile f(path);
    if (!f.exists())
        throw EDatabaseError(QStringLiteral("Таблица не найдена: \"%1\"").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Нет доступа к файлу таблицы \"%1\": %2").arg(path, f.errorString()));
    const QByteArray head = f.read(16);
    if (head.isEmpty())
        throw EDatabaseError(QStringLiteral("Файл таблицы \"%1\" пуст (0 байт)").arg(path));
    if (head != QByteArray("SQLite format 3\0", 16))
        throw EDatabaseError(QStringLiteral("Файл \"%1\" не является таблицей программы: это не база данных SQLite "
                                            "(возможно, таблица Paradox прежней версии программы)")
                                 .arg(path));
}

// The refusal seam: every connection opens through this copy of the default
// VFS, which differs from it only while a folder is refused.
QByteArray g_refusedFolder; // with a trailing slash
bool g_refusedFull = false;
sqlite3_vfs* g_realVfs = nullptr;
sqlite3_vfs g_seamVfs;

int SeamOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    if (!g_refusedFolder.isEmpty() && name != nullptr && (flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_CREATE))
        && QByteArray(name).startsWith(g_refusedFolder)) {
        file->pMethods = nullptr;
        return g_refusedFull ? SQLITE_FULL : SQLITE_CANTOPEN;
    }
    return g_realVfs->xOpen(g_realVfs, name, file, flags, outFlags);
}

const char* SeamVfs()
{
    static const bool registered = [] {
        g_realVfs = sqlite3_vfs_find(nullptr);
        if (g_realVfs == nullptr)
            return false;
        g_seamVfs = *g_realVfs;
        g_seamVfs.pNext = nullptr;
        g_seamVfs.zName = "qor";
        g_seamVfs.xOpen = SeamOpen;
        return sqlite3_vfs_register(&g_seamVfs, 0) == SQLITE_OK;
    }();
    return registered ? g_seamVfs.zName : nullptr;
}

// The clerk's words for each SQLite result code.
QString CodeText(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_ERROR: return QStringLiteral("ошибка запроса к таблице");
    case SQLITE_INTERNAL: return QStringLiteral("внутренняя ошибка SQLite");
    case SQLITE_PERM: return QStringLiteral("нет прав доступа к файлу");
    case SQLITE_ABORT:
    case SQLITE_INTERRUPT: return QStringLiteral("операция прервана");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("таблица занята другим пользователем");
    case SQLITE_NOMEM: return QStringLiteral("недостаточно памяти");
    case SQLITE_READONLY: return QStringLiteral("таблица доступна только для чтения");
    case SQLITE_IOERR: return QStringLiteral("ошибка чтения или записи на диске");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return QStringLiteral("файл таблицы поврежден или не является таблицей");
    case SQLITE_NOTFOUND: return QStringLiteral("операция с файлом не поддерживается");
    case SQLITE_FULL: return QStringLiteral("нет места на диске");
    case SQLITE_CANTOPEN: return QStringLiteral("не удается открыть или создать файл");
    case SQLITE_PROTOCOL: return QStringLiteral("ошибка блокировки файла");
    case SQLITE_SCHEMA: return QStringLiteral("описание таблицы изменилось во время работы");
    case SQLITE_TOOBIG: return QStringLiteral("слишком большое значение");
    case SQLITE_CONSTRAINT: return QStringLiteral("нарушено ограничение таблицы");
    case SQLITE_MISMATCH: return QStringLiteral("тип значения не соответствует полю");
    case SQLITE_MISUSE: return QStringLiteral("неверное обращение к таблице");
    case SQLITE_NOLFS: return QStringLiteral("файловая система не поддерживает большие файлы");
    case SQLITE_AUTH: return QStringLiteral("доступ запрещен");
    case SQLITE_RANGE: return QStringLiteral("номер параметра вне допустимого диапазона");
    default: return QStringLiteral("ошибка SQLite (код %1)").arg(rc);
    }
}

// When a failure of that code means that the folder of the file takes no
// writes: why, and what the clerk can do; empty otherwise.
bool FolderRefusal(int rc, const QString& file, QString& reason, QString& todo)
{
    const int primary = rc & 0xFF;
    if (primary != SQLITE_CANTOPEN && primary != SQLITE_READONLY && primary != SQLITE_FULL && primary != SQLITE_IOERR
        && primary != SQLITE_PERM)
        return false;
    const QString folder = QFileInfo(file).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        reason = WhyFolderRefusesWrites(folder);
        todo = QStringLiteral("Верните папку на место или подключите ее диск и запустите программу снова.");
        return true;
    }
    if (primary == SQLITE_FULL) {
        reason = QStringLiteral("на диске нет места");
        todo = QStringLiteral("Освободите место на диске и повторите операцию.");
        return true;
    }
    reason = DiskInfo().WhyNotWritable(folder);
    if (reason.isEmpty()) {
        // A read-only table file or a failing write in a writable folder is
        // the file's own trouble; a journal that cannot be made is the folder's.
        if (primary != SQLITE_CANTOPEN && primary != SQLITE_PERM)
            return false;
        reason = QStringLiteral("в папке не удается создать файл");
    }
    todo = QStringLiteral("Разрешите запись в папку (права доступа, диск не только для чтения) и запустите "
                          "программу снова.");
    return true;
}

} // namespace

QString FolderNotWritableText(const QString& folder, const QString& reason, const QString& whatToDo)
{
    return QStringLiteral("Папка не принимает запись|Папка \"%1\": %2.\r\n%3\r\nИзменения последней операции не "
                          "сохранены.")
        .arg(QString(folder).replace(QLatin1Char('|'), QStringLiteral("||")), reason, whatToDo);
}

QString WhyFolderRefusesWrites(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("папка удалена или ее диск отключен");
    return DiskInfo().WhyNotWritable(folder);
}

void RefuseWritesInFolder(const QString& folder, bool full)
{
    SeamVfs();
    if (folder.isEmpty()) {
        g_refusedFolder.clear();
        return;
    }
    const QFileInfo info(folder);
    const QString path = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    g_refusedFolder = QFile::encodeName(QDir::cleanPath(path)) + '/';
    g_refusedFull = full;
}

int CompareTextCaseInsensitive(const char* a, int na, const char* b, int nb)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a);
    const auto* pb = reinterpret_cast<const unsigned char*>(b);
    const unsigned char* ea = pa + na;
    const unsigned char* eb = pb + nb;
    while (pa < ea && pb < eb) {
        if (*pa < 0x80 && *pb < 0x80) {
            unsigned ca = *pa++;
            unsigned cb = *pb++;
            if (ca == cb)
                continue;
            if (ca >= 'A' && ca <= 'Z')
                ca += 0x20;
            if (cb >= 'A' && cb <= 'Z')
                cb += 0x20;
            if (ca != cb)
                return ca < cb ? -1 : 1;
            continue;
        }
        const uint64_t wa = Weight(NextChar(pa, ea));
        const uint64_t wb = Weight(NextChar(pb, eb));
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    if (pa < ea)
        return 1;
    if (pb < eb)
        return -1;
    return 0;
}

QByteArray QuoteName(const QString& name)
{
    QByteArray out = name.toUtf8();
    out.replace('"', "\"\"");
    return '"' + out + '"';
}

SqliteConnection::SqliteConnection(sqlite3* db, const QString& path) : db_(db), path_(path) {}

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const QString& path, bool create)
{
    if (!create)
        CheckHeader(path);
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, SeamVfs());
    if (rc != SQLITE_OK) {
        const int code = db ? sqlite3_extended_errcode(db) : rc;
        sqlite3_close(db);
        QString reason, todo;
        if (create && FolderRefusal(code, path, reason, todo))
            throw EFolderNotWritable(FolderNotWritableText(QFileInfo(path).absolutePath(), reason, todo));
        throw EDatabaseError(QStringLiteral("Не удалось открыть таблицу \"%1\": %2").arg(path, CodeText(code)));
    }
    std::unique_ptr<SqliteConnection> conn(new SqliteConnection(db, path));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_create_collation_v2(db, kCaseInsensitiveCollation, SQLITE_UTF8, nullptr, CollateCaseInsensitive, nullptr);
    conn->Run("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-8192;");
    if (create)
        NoteDbCall(DbCall::CreateFile);
    return conn;
}

SqliteConnection::~SqliteConnection()
{
    for (sqlite3_stmt* s : std::as_const(statements_))
        sqlite3_finalize(s);
    if (sqlite3_close(db_) != SQLITE_OK)
        sqlite3_close_v2(db_);
}

void SqliteConnection::Exec(const QByteArray& sql)
{
    Run(sql);
    NoteDbCall(DbCall::Exec);
}

void SqliteConnection::ExecKept(const QByteArray& sql)
{
    {
        StatementScope s(*this, Prepare(sql));
        const int rc = sqlite3_step(s.Get());
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            Raise(rc, QString());
    }
    NoteDbCall(DbCall::Exec);
}

void SqliteConnection::Run(const QByteArray& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(db_, sql.constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        Raise(rc, QString());
}

sqlite3_stmt* SqliteConnection::Prepare(const QByteArray& sql)
{
    const auto it = statements_.constFind(sql);
    if (it != statements_.constEnd())
        return it.value();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK)
        Raise(rc, QString());
    statements_.insert(sql, stmt);
    return stmt;
}

void SqliteConnection::Forget(const QByteArray& needle)
{
    for (auto it = statements_.begin(); it != statements_.end();) {
        if (it.key().contains(needle)) {
            sqlite3_finalize(it.value());
            it = statements_.erase(it);
        } else {
            ++it;
        }
    }
}

bool SqliteConnection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

int64_t SqliteConnection::LastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

int SqliteConnection::Changes() const { return sqlite3_changes(db_); }

void SqliteConnection::Raise(int rc, const QString& action) const
{
    const QString prefix = action.isEmpty() ? QString() : action + QStringLiteral(": ");
    const QString where = QStringLiteral(" (файл \"%1\")").arg(path_);
    switch (rc) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_ROWID:
        throw EKeyViolation(prefix + QStringLiteral("запись с таким ключом уже есть") + where);
    default: break;
    }
    QString reason, todo;
    if (FolderRefusal(rc, path_, reason, todo))
        throw EFolderNotWritable(FolderNotWritableText(QFileInfo(path_).absolutePath(), reason, todo));
    throw EDatabaseError(prefix + CodeText(rc) + where);
}

StatementScope::~StatementScope() { sqlite3_reset(stmt_); }

void StatementScope::BindNull(int i) { sqlite3_bind_null(stmt_, i); }

void StatementScope::BindInt(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }

void StatementScope::BindDouble(int i, double v) { sqlite3_bind_double(stmt_, i, v); }

void StatementScope::BindText(int i, const QByteArray& utf8)
{
    sqlite3_bind_text(stmt_, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void StatementScope::BindBlob(int i, const QByteArray& bytes)
{
    sqlite3_bind_blob(stmt_, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

bool StatementScope::Step(QStringView action, const QString& name)
{
    const int rc = sqlite3_step(stmt_);
    if (DbCallHookDetail::hook && !sqlite3_stmt_readonly(stmt_))
        NoteDbCall(DbCall::Step);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    conn_.Raise(rc, action.contains(u"%1") ? action.toString().arg(name) : action.toString());
}

void StatementScope::Run(QStringView action, const QString& name)
{
    while (Step(action, name)) {}
}
