#include "data/DBSetup.h"

#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/TableCatalogue.h"
#include "db/Cursor.h"
#include "db/DataFolderLock.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "foundation/SysFuncs.h"
#include "platform/Clock.h"
#include "platform/Codec.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <optional>
#include <thread>

namespace {

const QString kConfiguration = QStringLiteral("Configuration");
const QString kVersionKey = QStringLiteral("Version");
const QString kDriverKey = QStringLiteral("DRIVER");
const QString kPathKey = QStringLiteral("PATH");

// Points the record (its INI and the table layer) at the folder.
void UseDataFolder(const QString& path)
{
    TAppContext& record = AppContext();
    if (record.DataFolder() != path || !record.DataIni)
        record.SetDataFolder(path);
}

bool AliasExists(TIniFile& ini)
{
    return !ini.ReadString(DataAliasName(), kDriverKey, QString()).trimmed().isEmpty()
        || !ini.ReadString(DataAliasName(), kPathKey, QString()).trimmed().isEmpty();
}

QString DefaultDataPath() { return ProgramFolder() + QStringLiteral("DB/"); }

[[noreturn]] void EndProgram() { throw ProgramExit(1); }

bool ContainsName(const QStringList& names, const QString& name) { return names.contains(name, Qt::CaseInsensitive); }

bool AnyCatalogueTableExists(const QString& folder)
{
    const QStringList files = Tables::List(folder);
    const TTableStructures& catalogue = TableStructures();
    for (int i = 0; i < catalogue.Count(); ++i) {
        if (ContainsName(files, catalogue[i].Name()))
            return true;
    }
    return false;
}

// The stop check of the upgrade: the clerk may change his mind.
bool GoOn(IProgress& bar)
{
    if (!bar.Stopped())
        return true;
    if (AskYesNo(QStringLiteral("Прерывание преобразования данных разрушит их структуру"),
            QStringLiteral("Продолжить преобразование"), true)) {
        bar.SetStopped(false);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- marker of a rebuild

QString MarkerPath(const QString& folder) { return AddBackslash(folder) + RebuildMarkerName(); }

void WriteMarker(const QString& folder, const QString& table) { WriteFileAtomic(MarkerPath(folder), table.toUtf8()); }

QString ReadMarker(const QString& folder)
{
    QFile f(MarkerPath(folder));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll()).trimmed();
}

void RemoveMarker(const QString& folder) { QFile::remove(MarkerPath(folder)); }

// ---------------------------------------------------------------- marker of a creation

// The tables being created are listed in this file until they have their
// default rows, so a creation cut short is finished at the next start.
QString CreationMarkerPath(const QString& folder) { return AddBackslash(folder) + CreationMarkerName(); }

QStringList ReadCreationMarker(const QString& folder)
{
    QFile f(CreationMarkerPath(folder));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QString& name : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // Only the catalogue's tables: a damaged list never costs another file.
        const int number = TableStructures().NumberOf(name.trimmed());
        if (number >= 0)
            names << TableStructures()[number].Name();
    }
    return names;
}

// A listed table whose file cannot be read was cut short while it was made
// (an empty file, or one rolled back to empty): it holds nothing and goes,
// to be made again.
void RemoveUnfinishedTables(const QString& folder, const QStringList& listed)
{
    for (const QString& name : listed) {
        if (!Tables::Exists(name, folder))
            continue;
        try {
            Tables::ReadDefinition(name, folder);
        } catch (const EDatabaseError&) {
            Tables::Delete(name, folder);
        }
    }
}

// A crash in the middle of a rebuild leaves the old rows in "TMP": they go
// back under their table's name before anything else happens.
bool RecoverInterruptedRebuild(const QString& folder)
{
    if (!Tables::Exists(RebuildTableName(), folder)) {
        RemoveMarker(folder);
        return true;
    }
    const QString marked = ReadMarker(folder);
    const int number = TableStructures().NumberOf(marked);
    if (number < 0) {
        ShowError(QStringLiteral("В папке данных осталась таблица TMP от прерванного преобразования|Неизвестно, "
                                 "какой таблице принадлежат ее данные. Переименуйте ее вручную или восстановите "
                                 "данные с копии.\r\n")
            + EscapeBars(Tables::FilePath(RebuildTableName(), folder)));
        return false;
    }
    const QString name = TableStructures()[number].Name();
    // What stands under the name now is the unfinished new table.
    if (Tables::Exists(name, folder))
        Tables::Delete(name, folder);
    Tables::Rename(RebuildTableName(), name, folder);
    RemoveMarker(folder);
    ShowWarning(QStringLiteral("Преобразование таблицы \"%1\" было прервано|Прежние данные таблицы восстановлены, "
                               "преобразование будет выполнено снова.")
                    .arg(name));
    return true;
}

// ---------------------------------------------------------------- value conversion

bool IsIntegerLike(FieldType t)
{
    return t == FieldType::Smallint || t == FieldType::Integer || t == FieldType::Boolean;
}

bool IsNumeric(FieldType t) { return IsIntegerLike(t) || t == FieldType::Float || t == FieldType::AutoInc; }

bool IsDateLike(FieldType t) { return t == FieldType::Date || t == FieldType::DateTime; }

// Copies a value from the old field into the new one by the conversion
// rules, tried in order. False when the pair of types cannot be converted;
// a value that does not fit raises.
bool CopyValue(const Field& from, const Field& to)
{
    if (from.IsNull())
        return true;
    const FieldType s = from.Type();
    const FieldType d = to.Type();
    if (s == d) {
        if (s == FieldType::Blob)
            to.SetBlob(from.AsBlob());
        else
            to.SetVariant(from.AsVariant());
        return true;
    }
    if (s == FieldType::Blob || d == FieldType::Blob) {
        const QString text = s == FieldType::Blob ? FromCp1251(from.AsBlob()) : from.AsString();
        if (d == FieldType::Blob)
            to.SetBlob(ToCp1251(text));
        else
            to.SetString(text);
        return true;
    }
    if (IsDateLike(s) || IsDateLike(d)) {
        if (s != FieldType::DateTime && s != FieldType::String && d != FieldType::DateTime && d != FieldType::String)
            return false;
        if (s == FieldType::String || d == FieldType::String)
            to.SetString(from.AsString());
        else if (IsDateLike(s) && IsDateLike(d))
            to.SetDateTime(from.AsDateTime());
        else
            to.SetFloat(from.AsFloat()); // a day number
        return true;
    }
    if (s == FieldType::String) {
        if (!IsNumeric(d))
            return false;
        to.SetString(from.AsString());
        return true;
    }
    if (d == FieldType::String) {
        if (!IsNumeric(s))
            return false;
        to.SetString(from.AsString());
        return true;
    }
    if (d == FieldType::Float) {
        if (!IsNumeric(s))
            return false;
        to.SetFloat(from.AsFloat());
        return true;
    }
    if (IsIntegerLike(d)) {
        // Rounded halves to even; a value outside the field's range raises.
        if (s == FieldType::Float)
            to.SetFloat(from.AsFloat());
        else if (IsIntegerLike(s) || s == FieldType::AutoInc)
            to.SetInteger(from.AsInt64());
        else
            return false;
        return true;
    }
    return false;
}

// Copies every row of "TMP" into the new table; false when broken off.
bool CopyRows(const TableDef& old, const TableDef& wanted, const QString& folder, IProgress& bar)
{
    const QString& name = wanted.name;
    QList<int> target;
    for (const FieldDef& f : old.fields)
        target << wanted.FieldIndex(f.name);

    Cursor src(RebuildTableName(), folder);
    src.Open(true);
    Cursor dst(name, folder);
    dst.Open(true);
    bar.InitBar1(0, src.RecordCount());
    // One transaction: a row at a time would wait for the disk every row.
    Transaction tx({&dst});

    int errors = 0;
    bool showErrors = true;
    // False when the clerk chose "Выйти".
    const auto fieldError = [&](const QString& title, const QString& details) {
        ++errors;
        if (!showErrors)
            return true;
        const int answer = ChooseErrorButton(title, details,
            {QStringLiteral("Продолжить"), QStringLiteral("Не показывать ошибки"), QStringLiteral("Выйти")});
        if (answer == 2)
            showErrors = false;
        return answer != 3;
    };

    uint32_t tick = GetTickCount();
    for (src.First(); !src.Eof(); src.Next()) {
        if (!GoOn(bar))
            return false;
        bar.IncPos1();
        dst.Append();
        for (int i = 0; i < target.size(); ++i) {
            if (target[i] < 0)
                continue;
            const Field from = src.FieldAt(i);
            const QString title = QStringLiteral("Необходима модификация поля %1 базы %2").arg(from.Name(), name);
            bool goOn = true;
            try {
                if (!CopyValue(from, dst.FieldAt(target[i])))
                    goOn = fieldError(title, QString());
            } catch (const Exception& e) {
                goOn = fieldError(title, e.Message());
            }
            if (!goOn) {
                dst.Cancel();
                return false;
            }
        }
        try {
            dst.Post();
        } catch (const Exception& e) {
            dst.Cancel();
            if (!fieldError(QStringLiteral("Запись не перенесена в таблицу %1").arg(name), e.Message()))
                return false;
        }
        ProcessMessagesEvery(tick, 100);
    }
    if (errors > 0) {
        // Esc keeps the old table: losing data needs a deliberate click.
        const int answer = ChooseErrorButton(
            QStringLiteral("Ошибка модификации таблицы %1\r\n\tколичество = %2").arg(name).arg(errors),
            QStringLiteral("Продолжение операции приведет к потере данных полей с ошибками\r\nВосстановление данных "
                           "возможно только с копии"),
            {2, QStringLiteral("Продолжить"), QStringLiteral("Прекратить")});
        if (answer != 1)
            return false;
    }
    tx.Commit();
    return true;
}

// Puts the old table back under its name after a broken-off rebuild.
void RestoreOldTable(const QString& name, const QString& folder)
{
    if (Tables::Exists(name, folder))
        Tables::Delete(name, folder);
    Tables::Rename(RebuildTableName(), name, folder);
    RemoveMarker(folder);
}

// ---------------------------------------------------------------- default rows

void AppendDefaultRows(const QString& table, const QString& folder, const QStringList& names, int firstNumber)
{
    Cursor c(table, folder);
    c.Open(true);
    Transaction tx({&c});
    int number = firstNumber >= 0 ? firstNumber : int(c.NextKeyNumber());
    const Field user = c.FindField(QStringLiteral("USER"));
    for (const QString& naim : names) {
        c.Append();
        c.FieldByName(QStringLiteral("NUM")).SetInteger(number++);
        c.FieldByName(QStringLiteral("NAIM")).SetString(naim);
        if (user.IsValid())
            user.SetInteger(CurrentUser);
        c.Post();
    }
    tx.Commit();
}

// A new data base starts with the usual posts, categories and pay systems:
// a table whose creation has not finished gets them while it is empty.
void FillDefaultData(const QString& folder, const QStringList& creating)
{
    const auto isNew = [&](const char* name) {
        const QString table = QString::fromLatin1(name);
        return ContainsName(creating, table) && Tables::RecordCount(table, folder) == 0;
    };
    if (isNew("POST"))
        AppendDefaultRows(QStringLiteral("POST"), folder,
            {QStringLiteral("Директор"), QStringLiteral("Заместитель директора"), QStringLiteral("Главный бухгалтер"),
                QStringLiteral("Бухгалтер"), QStringLiteral("Кассир"), QStringLiteral("Начальник отдела кадров")},
            -1);
    if (isNew("CTGR"))
        AppendDefaultRows(QStringLiteral("CTGR"), folder,
            {QStringLiteral("Служащие"), QStringLiteral("Рабочие"), QStringLiteral("Всп. рабочие")}, -1);
    if (isNew("KSOP")) {
        QStringList names;
        FillPaySystems(names);
        AppendDefaultRows(QStringLiteral("KSOP"), folder, names, 0);
    }
}

// The catalogue table a table's file holds when it is another one: the
// name the file was made under, or, in a file older than that name, the
// catalogue table whose layout it has. Empty when the file holds its own
// table, in whatever layout.
QString OtherTableHeld(const TTableStructure& table, const TableDef& actual, const QString& madeAs)
{
    const TTableStructures& catalogue = TableStructures();
    const int own = catalogue.NumberOf(table.Name());
    const int made = madeAs.isEmpty() ? -1 : catalogue.NumberOf(madeAs);
    if (made >= 0)
        return made == own ? QString() : catalogue[made].Name();
    if (TableMatchesCatalogue(actual, table.Definition()))
        return QString();
    for (int i = 0; i < catalogue.Count(); ++i) {
        if (i != own && TableMatchesCatalogue(actual, catalogue[i].Definition()))
            return catalogue[i].Name();
    }
    return QString();
}

// Its rows belong to another table: nothing may be rebuilt from them.
void ReportOtherTable(const QString& name, const QString& held, const QString& folder)
{
    ShowError(QStringLiteral("Файл таблицы %1 содержит другую таблицу|").arg(name)
        + QStringLiteral("Файл \"%1\" содержит таблицу %2, а не %3.\r\nВерните на место файл таблицы %3 или "
                         "восстановите данные с копии.\r\nПрекращение работы")
              .arg(EscapeBars(Tables::FilePath(name, folder)), held, name));
}

// Why a table's file cannot be read, in the clerk's words.
QString UnreadableReason(const QString& path)
{
    QFile f(path);
    if (f.size() == 0)
        return QStringLiteral("файл пуст (0 байт)");
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("нет доступа к файлу");
    if (f.read(16) != QByteArray("SQLite format 3\0", 16))
        return QStringLiteral("содержимое файла не является таблицей программы");
    return QStringLiteral("файл поврежден");
}

// One message per table: the start goes no further on a data base that
// cannot be read whole, or the clerk would work on (and save over) a part.
[[noreturn]] void StopOnUnreadableTables(const QString& folder, const QStringList& names)
{
    IniSavingEnabled = false;
    for (const QString& name : names) {
        const QString path = Tables::FilePath(name, folder);
        ShowError(QStringLiteral("Таблица базы данных повреждена|Файл \"%1\" (%2) не читается: %3.\r\n"
                                 "Работа с поврежденной базой данных невозможна. Восстановите данные из архива "
                                 "или из резервной копии: при следующем запуске программа предложит "
                                 "восстановление.\r\nПрекращение работы")
                      .arg(EscapeBars(path), TableCaption(name), UnreadableReason(path)));
    }
    EndProgram();
}

// The layouts the table files record, against the catalogue: true when a
// table needs the rebuild. A file holding another table stops the start
// with its message, and so do files that cannot be read, unless a
// creation or a rebuild cut short left them (the check mends them).
bool TablesDifferFromCatalogue(const QString& folder)
{
    const QStringList files = Tables::List(folder);
    QStringList creating = ReadCreationMarker(folder);
    if (Tables::Exists(RebuildTableName(), folder))
        creating << ReadMarker(folder); // its new table, half made; the old one is "TMP"
    const TTableStructures& catalogue = TableStructures();
    bool differ = false;
    QStringList unreadable;
    for (int i = 0; i < catalogue.Count(); ++i) {
        const QString name = catalogue[i].Name();
        if (!ContainsName(files, name))
            continue;
        TableDef actual;
        QString madeAs;
        try {
            actual = Tables::ReadDefinition(name, folder);
            madeAs = Tables::MadeAs(name, folder);
        } catch (const EDatabaseError&) {
            if (ContainsName(creating, name))
                differ = true;
            else
                unreadable << name;
            continue;
        }
        // Asked also of a file in the right layout: NCARC's file under NC's
        // name has the very same fields, only its recorded name tells.
        const QString held = OtherTableHeld(catalogue[i], actual, madeAs);
        if (!held.isEmpty()) {
            ReportOtherTable(name, held, folder);
            Abort();
        }
        if (!TableMatchesCatalogue(actual, catalogue[i].Definition()))
            differ = true;
    }
    if (!unreadable.isEmpty())
        StopOnUnreadableTables(folder, unreadable);
    return differ;
}

void StoreVersion()
{
    TIniFile& ini = DataIni();
    ini.WriteInteger(kConfiguration, kVersionKey, ProgramDataVersion);
    ini.UpdateFile();
}

} // namespace

// ---------------------------------------------------------------- the alias

QString DataAliasName() { return QStringLiteral("Qor"); }

QString DataAliasDriver() { return QStringLiteral("STANDARD"); }

void WriteDataAlias(const QString& path)
{
    TIniFile& ini = ProgramIni();
    ini.WriteString(DataAliasName(), kDriverKey, DataAliasDriver());
    ini.WriteString(DataAliasName(), kPathKey, path);
    ini.UpdateFile();
}

void DeleteDataAlias()
{
    TIniFile& ini = ProgramIni();
    ini.EraseSection(DataAliasName());
    ini.UpdateFile();
}

void ForgetDataPath()
{
    AppContext().SetDataFolder(QString());
    AppContext().DataFolderIsNetwork = false;
}

QString GetDataPath()
{
    TAppContext& record = AppContext();
    if (!record.DataFolder().isEmpty())
        return record.DataFolder();
    TIniFile& ini = ProgramIni();
    QString path;
    if (AliasExists(ini)) {
        const QString driver = ini.ReadString(DataAliasName(), kDriverKey, QString()).trimmed();
        if (driver.compare(DataAliasDriver(), Qt::CaseInsensitive) == 0) {
            path = ini.ReadString(DataAliasName(), kPathKey, QString()).trimmed();
        } else {
            const int answer = ChooseErrorButton(QString(),
                QStringLiteral("\tНе совпадают драйверы баз данных программы и существующего алиаса:\r\n[")
                    + EscapeBars(driver) + QStringLiteral("] <> [") + DataAliasDriver() + QStringLiteral("]"),
                {QStringLiteral("Отмена"), QStringLiteral("Удалить старый алиас и создать новый")});
            if (answer != 2)
                EndProgram();
            DeleteDataAlias();
        }
    }
    if (path.isEmpty()) {
        path = DefaultDataPath();
        if (ini.NotText()) {
            // The file may name another folder: the default one could be a
            // new empty data base in place of the clerk's.
            const QString bak = ini.KeepNotTextCopy();
            const int answer = ChooseButton(QStringLiteral("Файл настроек программы не читается"),
                EscapeBars(ini.FileName()) + QStringLiteral(" не является текстом (возможно, сохранен в UTF-16).\r\n")
                    + (bak.isEmpty() ? QString()
                                     : QStringLiteral("Его копия сохранена в файле ") + EscapeBars(bak)
                                + QStringLiteral(".\r\n"))
                    + QStringLiteral("Если в нем была указана папка данных, прекратите работу и исправьте файл.\r\n"
                                     "Работать с папкой данных ")
                    + EscapeBars(path) + QLatin1Char('?'),
                {2, QStringLiteral("Работать с этой папкой"), QStringLiteral("Прекратить работу")});
            if (answer != 1)
                EndProgram();
        } else {
            ShowWarning(QStringLiteral("Создаем алиас \"%1\"\r\n").arg(DataAliasName()) + EscapeBars(path));
        }
        WriteDataAlias(path);
    }
    path = AddBackslash(QDir::cleanPath(QDir(ProgramFolder()).absoluteFilePath(path)));
    // Another folder that is missing may be a disk not mounted or a typing
    // error: a new empty data base there would hide the real one.
    if (!QFileInfo::exists(path) && path != AddBackslash(QDir::cleanPath(DefaultDataPath()))) {
        const int answer = ChooseButton(QStringLiteral("Папка данных не найдена"),
            EscapeBars(path) + QStringLiteral("\r\nПапка указана в файле ") + EscapeBars(ini.FileName())
                + QStringLiteral("\r\nСоздать ее и новую пустую базу данных в ней?"),
            {2, QStringLiteral("Создать папку"), QStringLiteral("Прекратить работу")});
        if (answer != 1)
            EndProgram();
    }
    if (!EnsureDirectory(path)) {
        ShowError(QStringLiteral("Не могу создать папку данных|") + EscapeBars(path)
            + QStringLiteral("\r\nПрекращение работы"));
        EndProgram();
    }
    record.DataFolderIsNetwork = IsNetworkPath(path);
    UseDataFolder(path);
    return record.DataFolder();
}

bool DataPathIsNetwork()
{
    GetDataPath();
    return AppContext().DataFolderIsNetwork;
}

// ---------------------------------------------------------------- the lock

bool LockDataBase(bool exclusive)
{
    const QString folder = GetDataPath();
    try {
        std::unique_ptr<DataFolderLock>& lock = AppContext().Lock;
        if (!lock || lock->FilePath() != QDir(folder).filePath(DataFolderLock::FileName()))
            lock = std::make_unique<DataFolderLock>(folder);
        const bool ok = lock->Lock(exclusive);
        AppContext().LockError = ok ? QString() : lock->LastError();
        return ok;
    } catch (const Exception& e) {
        AppContext().LockError = e.Message();
        return false;
    }
}

bool LockDataBaseExclusive() { return LockDataBase(true); }

QString LockDataBaseError() { return AppContext().LockError; }

bool FirstConnection() { return AppContext().FirstConnection; }

bool LockDataBaseShared()
{
    if (!AppContext().FirstConnection) {
        if (LockDataBase(false))
            return true;
        IniSavingEnabled = false;
        ShowError(QStringLiteral("Ошибка открытия базы данных в режиме Shared|") + EscapeBars(AppContext().LockError)
            + QStringLiteral("\r\nПрекращение работы"));
        EndProgram();
    }
    // A folder nobody may write into is not busy: waiting would not help.
    const QString folder = GetDataPath();
    if (const QString why = DiskInfo().WhyNotWritable(folder); !why.isEmpty()) {
        IniSavingEnabled = false;
        ShowError(QStringLiteral("В папку данных нельзя записывать|") + EscapeBars(folder)
            + QStringLiteral("\r\nПричина: ") + why
            + QStringLiteral(".\r\nПрограмма записывает данные при любой работе и без этого работать не может. "
                             "Разрешите запись в папку или укажите другую папку данных.\r\nПрекращение работы"));
        EndProgram();
    }
    const uint32_t start = GetTickCount();
    std::optional<ProgressSession> window;
    bool locked = false;
    for (;;) {
        locked = LockDataBase(false);
        QCoreApplication::processEvents();
        if (locked)
            break;
        const uint32_t elapsed = GetTickCount() - start;
        if (elapsed > FirstLockWaitMs)
            break;
        if (!window && !Progress().Active()) {
            window.emplace(0, int(FirstLockWaitMs));
            window->Sink().Mess(0, QStringLiteral("Подключение к базе данных"));
            window->Sink().Mess(1, QStringLiteral("Ожидание подключения к базе данных"));
        }
        if (window) {
            window->Sink().PosBar(1, int(elapsed));
            // "Стоп" confirmed in the window: the clerk gave up waiting.
            if (window->Stopped()) {
                window.reset();
                Abort();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    window.reset();
    if (!locked) {
        ShowError(QStringLiteral("Невозможно подключение к базе данных\r\nБаза занята другим пользователем или "
                                 "возможна фатальная ошибка\r\n\r\nОшибка: ")
            + EscapeBars(AppContext().LockError) + QStringLiteral("\r\nПрекращение работы"));
        EndProgram();
    }
    AppContext().FirstConnection = false;
    return true;
}

// ---------------------------------------------------------------- opening

void SetReserveCopyHook(std::function<void()> hook) { DataHooks().ReserveCopy = std::move(hook); }

QString VersionText(qint32 version)
{
    const qint32 rest = version % 10000;
    const QString digits = QStringLiteral("%1").arg(rest < 0 ? -rest : rest, 4, 10, QLatin1Char('0'));
    QString text = QString::number(version / 10000) + QLatin1Char('.') + digits.left(2);
    if (DebugStopEnabled())
        text += QLatin1Char('.') + digits.right(2);
    return text;
}

QString FormatVersion(int programVersion)
{
    return VersionText(programVersion != 0 ? ProgramDataVersion : Cfg.Version);
}

void OpenDataBase()
{
    const QString folder = GetDataPath();
    UseDataFolder(folder);
    TIniFile& ini = DataIni();
    ini.Reread();
    const qint32 version = ini.ReadInteger(kConfiguration, kVersionKey, 0);
    if (version > ProgramDataVersion) {
        // Converting down would drop what the newer program added.
        IniSavingEnabled = false;
        ShowError(QStringLiteral("База данных создана более новой версией программы|Версия базы данных [%1], версия "
                                 "программы [%2]\r\nПрекращение работы")
                      .arg(VersionText(version), FormatVersion(1)));
        EndProgram();
    }
    // A rebuild broken off by a crash left a table as "TMP", a creation
    // broken off left tables unmade or empty: the check must mend them,
    // whatever the version says.
    const bool unfinished = QFileInfo::exists(MarkerPath(folder)) || QFileInfo::exists(CreationMarkerPath(folder));
    // Checked at every start: a file put back from elsewhere knows no version.
    const bool differ = TablesDifferFromCatalogue(folder);
    if (version != ProgramDataVersion || unfinished || differ) {
        Cfg.Version = version;
        if (AnyCatalogueTableExists(folder)) {
            if (!AskYesNo(QString(),
                    QStringLiteral("Выполнять преобразования баз данных\r\nверсии [%1] для версии [%2]")
                        .arg(FormatVersion(0), FormatVersion(1)),
                    false))
                EndProgram();
            if (DataHooks().ReserveCopy
                && AskYesNo(
                    QString(), QStringLiteral("Выполнить предварительное резервное копирование баз данных ?"), true))
                DataHooks().ReserveCopy();
        }
        if (!LockDataBaseExclusive())
            ErrorAbort(QStringLiteral(
                "Базы заняты другим пользователем\r\nПреобразование возможно только в режиме монопольного доступа"));
        if (!CheckDataBase())
            Abort();
        Cfg.Version = ProgramDataVersion;
        // At once: a start that fails later must not offer the upgrade again.
        StoreVersion();
        QCoreApplication::processEvents();
    }
    IniSavingEnabled = true;
    LockDataBaseShared();
    EnsurePropisTable(folder);
}

bool CheckDataBase()
{
    const QString folder = GetDataPath();
    try {
        if (!RecoverInterruptedRebuild(folder))
            return false;
        const TTableStructures& catalogue = TableStructures();
        const int count = catalogue.Count();
        IProgress& bar = Progress();
        std::optional<ProgressSession> session;
        if (!bar.Active())
            session.emplace(bar, 0, 100);
        bar.InitBar1(0, count);
        bar.Mess(0, QStringLiteral("Открывается база данных"));
        const QStringList unfinished = ReadCreationMarker(folder);
        RemoveUnfinishedTables(folder, unfinished);
        const QStringList existing = Tables::List(folder);
        QStringList creating = unfinished;
        for (int i = 0; i < count; ++i) {
            if (!ContainsName(existing, catalogue[i].Name()) && !ContainsName(creating, catalogue[i].Name()))
                creating << catalogue[i].Name();
        }
        if (!creating.isEmpty())
            WriteFileAtomic(CreationMarkerPath(folder), creating.join(QLatin1Char('\n')).toUtf8());

        bar.Mess(0, QStringLiteral("Создание недостающих таблиц"));
        QList<bool> created(count, false);
        for (int i = 0; i < count; ++i) {
            if (!GoOn(bar))
                return false;
            bar.Mess(1, catalogue[i].Name());
            bar.PosBar1(i + 1);
            if (!ContainsName(existing, catalogue[i].Name())) {
                catalogue[i].CreateTable(folder);
                created[i] = true;
            }
        }
        FillDefaultData(folder, creating);
        QFile::remove(CreationMarkerPath(folder));

        bar.Mess(0, QStringLiteral("Проверка существующих таблиц"));
        bar.PosBar1(0);
        for (int i = 0; i < count; ++i) {
            if (!GoOn(bar))
                return false;
            bar.Mess(1, catalogue[i].Name());
            bar.PosBar1(i + 1);
            if (created[i])
                continue;
            const TRebuildResult result = RestructureTable(catalogue[i], bar);
            if (result == TRebuildResult::BrokenOff)
                return false;
            if (result == TRebuildResult::Rebuilt)
                bar.InitBar1(0, count);
        }
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const Exception& e) {
        ShowError(QStringLiteral("Ошибка при проверке базы данных|") + EscapeBars(e.Message()));
        return false;
    }
}

// ---------------------------------------------------------------- the rebuild

QString RebuildMarkerName() { return QStringLiteral("~~Rebuild.tmp"); }

QString CreationMarkerName() { return QStringLiteral("~~Create.tmp"); }

QString RebuildTableName() { return QStringLiteral("TMP"); }

bool TableMatchesCatalogue(const TableDef& actual, const TableDef& wanted)
{
    if (actual.indexes.size() != wanted.indexes.size())
        return false;
    for (int i = 0; i < actual.indexes.size(); ++i) {
        if (!actual.indexes[i].SameAs(wanted.indexes[i]))
            return false;
    }
    if (actual.fields.size() != wanted.fields.size())
        return false;
    for (int i = 0; i < actual.fields.size(); ++i) {
        const FieldDef& a = actual.fields[i];
        const FieldDef& w = wanted.fields[i];
        if (a.name.compare(w.name, Qt::CaseInsensitive) != 0 || a.required != w.required)
            return false;
        if (a.type != FieldType::Blob && w.type != FieldType::Blob && a.size != w.size)
            return false;
        if (a.type != w.type && !(a.type == FieldType::DateTime && w.type == FieldType::Date))
            return false;
    }
    return true;
}

TRebuildResult RestructureTable(const TTableStructure& table, IProgress& bar)
{
    const QString folder = GetDataPath();
    const TableDef wanted = table.Definition();
    const TableDef old = Tables::ReadDefinition(wanted.name, folder);
    if (TableMatchesCatalogue(old, wanted))
        return TRebuildResult::Unchanged;
    const QString held = OtherTableHeld(table, old, Tables::MadeAs(wanted.name, folder));
    if (!held.isEmpty()) {
        ReportOtherTable(wanted.name, held, folder);
        return TRebuildResult::BrokenOff;
    }
    if (Tables::Exists(RebuildTableName(), folder))
        throw EDatabaseError(QStringLiteral("Таблица TMP уже есть в папке данных: \"%1\"")
                                 .arg(Tables::FilePath(RebuildTableName(), folder)));
    WriteMarker(folder, wanted.name);
    Tables::Rename(wanted.name, RebuildTableName(), folder);
    bool finished = false;
    try {
        Tables::Create(wanted, folder);
        finished = CopyRows(old, wanted, folder, bar);
    } catch (...) {
        try {
            RestoreOldTable(wanted.name, folder);
        } catch (...) {
            // The marker stays: the next start puts the table back.
        }
        throw;
    }
    if (!finished) {
        RestoreOldTable(wanted.name, folder);
        return TRebuildResult::BrokenOff;
    }
    Tables::Delete(RebuildTableName(), folder);
    RemoveMarker(folder);
    return TRebuildResult::Rebuilt;
}

// ---------------------------------------------------------------- catalogue tables

std::unique_ptr<Cursor> NewCatalogTable(int number)
{
    QString name;
    const tbField* fields = nullptr;
    const tbIndex* indexes = nullptr;
    int fieldCount = 0;
    int indexCount = 0;
    if (!GetTableDescription(number, name, fields, fieldCount, indexes, indexCount))
        return nullptr;
    auto table = std::make_unique<Cursor>(name);
    table->SetName(name);
    return table;
}

bool OpenTableByNumber(int number, std::unique_ptr<Cursor>& table, bool exclusive)
{
    table.reset();
    table = NewCatalogTable(number);
    if (!table)
        return false;
    table->Open(exclusive);
    return table->Active();
}

// ---------------------------------------------------------------- start-up

void InitDBSetup()
{
    ReadNetWorkCFG();
    GetDataPath();
    TableStructures();
    LockDataBaseShared();
    // Before anything reads the folder: a restore or a period close that a
    // killed process left half done is finished or undone here.
    RecoverDataFolder();
}

void DoneDBSetup()
{
    WriteNetWorkCFG();
    TAppContext& record = AppContext();
    record.Lock.reset();
    record.LockError.clear();
    record.FirstConnection = true;
    ForgetDataPath();
}
