#include "archive/SaveRest.h"

#include "archive/MyLaunch.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/Floppy.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/TableCatalogue.h"
#include "db/CallHook.h"
#include "db/Cursor.h"
#include "db/DataFolderLock.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/DataSetFuncs.h"
#include "foundation/DateFuncs.h"
#include "foundation/FileFuncs.h"
#include "foundation/FileList.h"
#include "foundation/IniFiles.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Clock.h"
#include "platform/Codec.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <optional>

namespace {

const QString kCommon = QStringLiteral("COMMON");
const QString kNoFilesToCopy = QStringLiteral("Не найдены файлы для копирования на устройство хранения !!!\r\n"
                                              "Проверьте правильность ввода маски файлов архивов");
const QString kNotFreed = QStringLiteral("Базы не освобождены другими пользователями !!!\r\n");
const QString kTryAgain
    = QStringLiteral("\r\nПредложите другим пользователям завершить работу и попытайтесь повторить сохранение.");
const QString kServiceFileMissing = QStringLiteral("Не найден служебный файл\r\n");

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

QString FileNameOf(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

QStringList FilesByMask(const QString& folder, const QString& mask)
{
    T_yqFileList list;
    list.ReadFilesSorted(folder, mask);
    return list;
}

// A table's files: its file and whatever journal a crash left beside it.
QStringList TableFiles(const QString& folder, const QString& name)
{
    return FilesByMask(folder, name + QStringLiteral(".*"));
}

// The path made absolute with every existing part resolved, so that links
// and "..", and the folders that do not exist yet, compare alike.
QString RealPath(const QString& path)
{
    QString existing = QDir::cleanPath(QDir(ProgramFolder()).absoluteFilePath(MapDrivePath(path.trimmed())));
    QString rest;
    while (!QFileInfo::exists(existing) && existing != QStringLiteral("/")) {
        rest = QLatin1Char('/') + QFileInfo(existing).fileName() + rest;
        existing = QFileInfo(existing).absolutePath();
    }
    return QDir::cleanPath(QFileInfo(existing).canonicalFilePath() + rest);
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The time of a save as the file keeps it: no control characters (a lone
// CR would end the line), no blanks at the ends, "hh:nn:ss" at most.
QString TimeText(const QString& text)
{
    QString out;
    for (const QChar c : text)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F && c.isPrint())
            out += c;
    return FromCp1251(ToCp1251(out.trimmed().left(8).trimmed())).trimmed();
}

void WriteArcInc(const QString& folder, const QStringList& files)
{
    WriteFileAtomic(folder + ArcIncName(), (files.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

QString CopyErrorText(const QString& source, const QString& target, const QString& reason)
{
    return QStringLiteral("Ошибка копирования файла\r\n") + EscapeBars(source) + QStringLiteral("  в\r\n")
        + EscapeBars(target) + (reason.isEmpty() ? QString() : QStringLiteral("\r\nПричина: ") + EscapeBars(reason));
}

// Why the copier failed, in the clerk's words where its text is not.
QString CopyReason(const Exception& e, const QString& target)
{
    if (dynamic_cast<const EDriveNotExist*>(&e))
        return QStringLiteral("папка не найдена или недоступна: ") + QFileInfo(target).absolutePath();
    if (dynamic_cast<const EDiskFull*>(&e))
        return QStringLiteral("недостаточно места на диске");
    return e.Message();
}

void ShowCopyError(const QString& source, const QString& target, const QString& reason = QString())
{
    ShowError(CopyErrorText(source, target, reason));
}

// A size as the clerk reads it: kilobytes, or megabytes from 1 MB up.
QString SizeText(int64_t bytes)
{
    constexpr int64_t kMb = 1024 * 1024;
    if (bytes < kMb)
        return QStringLiteral("%1 КБ").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 МБ").arg(
        QString::number(double(bytes) / kMb, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')));
}

bool FileReadable(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly);
}

bool HoldsExclusiveLock()
{
    const std::unique_ptr<DataFolderLock>& lock = AppContext().Lock;
    return lock && lock->CurrentMode() == DataFolderLock::Mode::Exclusive;
}

// The program ends with the restore half done: the settings in memory are
// the old data base's and must not go over the restored INI at shutdown.
void TerminateAfterRestore()
{
    IniSavingEnabled = false;
    TerminateApplication();
}

// A SQLite side file: its contents belong to the file beside it only.
bool IsSideFile(const QString& path)
{
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return true;
    return false;
}

// A file a reserve copy may bring back: a table's, or an extra file of the
// data folder. Anything else in its list was not written by us.
bool BelongsToDataBase(const QString& name, const QStringList& extraFiles)
{
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        return false;
    if (TableStructures().NumberOf(ExtractFileBaseName(name)) >= 0)
        return true;
    for (const QString& extra : extraFiles)
        if (SameName(FileNameOf(extra), name))
            return true;
    return QDir::match(QStringLiteral("*.ini"), name) || QDir::match(QStringLiteral("PROPIS.*"), name);
}

// A program's output as a clerk can read it: its progress counters,
// written over themselves with backspaces, end as they were shown, and no
// other control character stays.
QString PlainOutput(const QString& output)
{
    QString out;
    for (const QChar c : output) {
        if (c == QLatin1Char('\b')) {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n')))
                out.chop(1);
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\t')) {
            out += c == QLatin1Char('\t') ? QChar(QLatin1Char(' ')) : c;
        } else if (c.unicode() >= 0x20 && c.unicode() != 0x7F) {
            out += c;
        }
    }
    return out;
}

} // namespace

QString ArjVolumeDamage(QIODevice& file)
{
    const qint64 size = file.size();
    if (size == 0)
        return QStringLiteral("Файл пуст.");
    const auto read = [&](qint64 at, qint64 count) { return file.seek(at) ? file.read(count) : QByteArray(); };
    const auto word = [](const QByteArray& b, int at) { return int(uchar(b[at])) | int(uchar(b[at + 1])) << 8; };
    const QByteArray id("\x60\xEA", 2);
    if (read(0, 2) != id)
        return QString(); // not an arj archive: the archiver is left to judge it
    const QString cut = QStringLiteral("Файл обрезан: в нем %1 байт, а конца архива нет. Архив записан или "
                                       "скопирован не полностью.")
                            .arg(size);
    // The main header, then one header and its packed data per file, then
    // an empty header: each volume of a set ends with one.
    qint64 pos = 0;
    for (bool main = true;; main = false) {
        const QByteArray head = read(pos, 4);
        if (head.size() < 4)
            return cut;
        if (head.left(2) != id)
            return QStringLiteral("На %1 байте нет заголовка архива: файл поврежден.").arg(pos);
        const int length = word(head, 2);
        if (length == 0)
            return main ? QStringLiteral("В файле нет заголовка архива.") : QString();
        if (length > 2600 || (!main && length < 16))
            return QStringLiteral("Заголовок на %1 байте поврежден.").arg(pos);
        const QByteArray basic = read(pos + 4, length);
        if (basic.size() < length)
            return cut;
        qint64 next = pos + 4 + length + 4; // the header's checksum
        for (;;) {
            const QByteArray ext = read(next, 2);
            if (ext.size() < 2)
                return cut;
            next += 2;
            if (word(ext, 0) == 0)
                break;
            next += word(ext, 0) + 4;
        }
        if (!main)
            next += qint64(word(basic, 12)) | qint64(word(basic, 14)) << 16;
        if (next > size)
            return cut;
        pos = next;
    }
}

QString ArjVolumeDamage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Файл не читается.");
    return ArjVolumeDamage(file);
}

QStringList ReadArcInc(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QString name = FileNameOf(QString::fromUtf8(line).trimmed());
        if (!name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral(".."))
            names.append(name);
    }
    return names;
}

QString ArcIncName() { return QStringLiteral("ARC.INC"); }
QString ArcHiveIniName() { return QStringLiteral("ARC~HIVE.INI"); }

TArcHiveInfo ReadArcHiveIni(const QString& folder)
{
    TArcHiveInfo info;
    QFile file(AddBackslash(folder) + ArcHiveIniName());
    if (!file.open(QIODevice::ReadOnly) || file.size() > 65536)
        return info;
    bool inCommon = false;
    for (QString line : FromCp1251(file.readAll()).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inCommon = SameName(line, QLatin1Char('[') + kCommon + QLatin1Char(']'));
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inCommon || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        auto date = [&]() -> TDateTime {
            try {
                return StoD(value);
            } catch (const Exception&) {
                return 0;
            }
        };
        if (SameName(key, QStringLiteral("CurrentDate")))
            info.CurrentDate = date();
        else if (SameName(key, QStringLiteral("CurrentTime")))
            info.CurrentTime = TimeText(value);
        else if (SameName(key, QStringLiteral("DataDate")))
            info.DataDate = date();
        else if (SameName(key, QStringLiteral("SuccsessOperation"))) {
            bool ok = false;
            info.SuccsessOperation = value.toInt(&ok) != 0 && ok;
        }
    }
    return info;
}

void WriteArcHiveIni(const QString& folder, const TArcHiveInfo& info)
{
    const QString text = QLatin1Char('[') + kCommon + QStringLiteral("]\r\nCurrentDate=") + DtoS(info.CurrentDate)
        + QStringLiteral("\r\nCurrentTime=") + TimeText(info.CurrentTime) + QStringLiteral("\r\nDataDate=")
        + DtoS(info.DataDate) + QStringLiteral("\r\nSuccsessOperation=")
        + QString::number(info.SuccsessOperation ? 1 : 0) + QStringLiteral("\r\n");
    WriteFileAtomic(AddBackslash(folder) + ArcHiveIniName(), ToCp1251(text));
}

bool HasReserveCopy(const QString& folder) { return QFileInfo::exists(AddBackslash(folder) + ArcIncName()); }

bool IsFloppyPath(const QString& path)
{
    const QString p = AddBackslash(path.trimmed().toUpper());
    if (p.size() >= 2 && p[1] == QLatin1Char(':') && (p[0] == QLatin1Char('A') || p[0] == QLatin1Char('B')))
        return true;
    if (p.isEmpty())
        return false;
    const QString real = RealPath(path);
    return real == RealPath(MapDrivePath(QStringLiteral("A:"))) || real == RealPath(MapDrivePath(QStringLiteral("B:")));
}

bool PathInsideFolder(const QString& path, const QString& folder)
{
    const QString p = RealPath(path);
    const QString f = RealPath(folder);
    return p == f || p.startsWith(AddBackslash(f));
}

// ---------------------------------------------------------------- the object

TSaveRestObject::TSaveRestObject() : DataDate(Date()) {}
TSaveRestObject::~TSaveRestObject() = default;

TSaveRestObject& SaveRestObject()
{
    static TSaveRestObject object;
    return object;
}

void TSaveRestObject::SetArchiver(const QString& program)
{
    archiver_ = program.trimmed();
    if (archiver_.isEmpty())
        Archivate = false;
}

void TSaveRestObject::SetDeArchiver(const QString& program)
{
    deArchiver_ = program.trimmed();
    if (deArchiver_.isEmpty())
        Archivate = false;
}

QString TSaveRestObject::DataFolderPath() const { return AddBackslash(DataPath.isEmpty() ? DataFolder() : DataPath); }
QString TSaveRestObject::TmpFolderPath() const { return AddBackslash(TmpPath.isEmpty() ? TMP : TmpPath); }
QString TSaveRestObject::WorkFolderPath() const
{
    return AddBackslash(WorkPath.isEmpty() ? TmpFolderPath() + QStringLiteral("SAVE") : WorkPath);
}
QString TSaveRestObject::ReservFolderPath() const
{
    const QString path = MapDrivePath(ReservPath.trimmed());
    return AddBackslash(QDir::isAbsolutePath(path) ? path : AddBackslash(ProgramFolder()) + path);
}

bool TSaveRestObject::Stopped() const { return ShowBars && Progress().Active() && Progress().Stopped(); }

// Every operation: the data sets closed, the data base for itself alone,
// the progress window; afterwards the shared lock and the data sets back.
class TSaveRestObject::Operation {
public:
    template <typename Body>
    static bool Run(TSaveRestObject& self, const QString& lockText, const QString& caption, bool reload, Body body)
    {
        if (self.busy_)
            return false; // a second click while the first operation waits for the archiver
        self.busy_ = true;
        // A caller that works alone (the period close) gets its lock back as it was.
        const bool wasExclusive = HoldsExclusiveLock();
        bool ok = false;
        std::exception_ptr error;
        TDataSetList closed;
        try {
            CloseDataBases(&closed);
            BusyScope busy;
            if (!LockDataBaseExclusive()) {
                ShowError(kNotFreed + lockText + kTryAgain);
            } else {
                std::optional<ProgressSession> session;
                if (self.ShowBars) {
                    session.emplace(0, TableCount, 0, 100);
                    Progress().Mess(0, caption);
                }
                ok = body();
            }
        } catch (const EAbort&) {
            ok = false;
        } catch (...) {
            error = std::current_exception();
        }
        self.busy_ = false;
        if (!ApplicationTerminating()) {
            if (!wasExclusive)
                LockDataBaseShared();
            if (reload) {
                // The restored INI is read, never overwritten by the image of the old one.
                DataIni().Reread();
                LoadDataConfiguration();
                try {
                    OpenDataBase();
                } catch (const Exception&) {
                }
            }
            OpenDataBases(&closed);
            if (wasExclusive)
                LockDataBaseExclusive(); // the opening of a restored data base took the shared one
        }
        if (ok && reload)
            ++self.restores_;
        if (error)
            std::rethrow_exception(error);
        return ok;
    }
};

// ---------------------------------------------------------------- copying tables

void TSaveRestObject::CopyTableFields(Cursor& source, Cursor& target, bool showRecords)
{
    const int count = std::min(source.FieldCount(), target.FieldCount());
    const bool rows = ShowBars && showRecords && Progress().Active();
    if (rows)
        Progress().InitBar2(0, source.RecordCount());
    Transaction tx({&target});
    for (source.First(); !source.Eof(); source.Next()) {
        if (rows && Progress().Stopped())
            break;
        target.Append();
        // An AutoInc number is kept too: other tables may refer to it.
        for (int i = 0; i < count; ++i)
            target.FieldAt(i).SetVariant(source.FieldAt(i).AsVariant());
        target.Post();
        if (rows)
            Progress().IncPos2();
    }
    tx.Commit();
}

void TSaveRestObject::CopyTable(int number, const QString& folder, bool showRecords)
{
    const TTableStructure& table = TableStructures()[number];
    const QString name = table.Name();
    for (const QString& f : TableFiles(folder, name))
        QFile::remove(f);
    table.CreateTable(folder, false);
    Cursor live(name, DataFolderPath());
    live.Open();
    const bool autoInc = table.FieldCount() > 0 && table.Fields()[0].DataType == FieldType::AutoInc;
    if (Batch && !autoInc && live.FieldCount() == table.FieldCount()) {
        live.Close();
        Tables::BatchAppend(name, DataFolderPath(), name, folder);
        return;
    }
    Cursor copy(name, folder);
    copy.Open(true);
    CopyTableFields(live, copy, showRecords);
}

// ---------------------------------------------------------------- the archiver

bool TSaveRestObject::RunArchiver(const QString& program, const QString& params, const QString& startDir)
{
    std::unique_ptr<Tyq_Launcher> launcher = NewLauncher ? NewLauncher() : std::make_unique<Tyq_Launcher>();
    launcher->ProgramName = program;
    launcher->Parameters = params;
    launcher->ShowMode = TShowMode::smMaximized;
    launcher->StartDir = startDir;
    try {
        launcher->Launch();
    } catch (const ELaunchError& e) {
        ShowError(QStringLiteral("Не удалось запустить программу ") + Quoted(EscapeBars(program)) + QLatin1Char('|')
            + e.Message());
        return false;
    }
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(200);
    while (!launcher->HasExited()) {
        if (ApplicationTerminating() || Stopped()) {
            launcher->Terminate(); // no archiver left writing into the work folder
            Abort();
        }
        loop.exec();
    }
    if (launcher->ExitCode() != 0) {
        const QString output = PlainOutput(launcher->Output()).right(2000);
        ShowError(QStringLiteral("Программа ") + Quoted(EscapeBars(program))
            + QStringLiteral(" завершилась с ошибкой (код ") + QString::number(launcher->ExitCode())
            + QStringLiteral(")|") + EscapeBars(output));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- save

bool TSaveRestObject::Save()
{
    return Operation::Run(*this, QStringLiteral("Сохранение возможно только в режиме полного доступа."),
        QStringLiteral("Копирование баз данных"), false, [this] { return DoSave(); });
}

bool TSaveRestObject::DoSave()
{
    const QString data = DataFolderPath();
    const QString work = WorkFolderPath();
    const QString copyPath = CopyPath.trimmed();
    const bool floppy = IsFloppyPath(copyPath);
    const QString dest = copyPath.isEmpty() ? QString() : AddBackslash(MapDrivePath(copyPath));
    if (!dest.isEmpty() && !floppy) {
        // The copier would put index-less copies over the live tables.
        if (PathInsideFolder(dest, data) || PathInsideFolder(dest, work)) {
            ShowError(QStringLiteral("Путь копирования не может находиться в директории данных или рабочем директории|")
                + EscapeBars(dest));
            return false;
        }
        if (!QFileInfo(dest).isDir()) {
            const int answer = ChooseButton(QStringLiteral("Не найден директорий"), EscapeBars(dest),
                {2, QStringLiteral("Создать"), QStringLiteral("Прекратить")});
            if (answer != 1)
                return false;
            if (!EnsureDirectory(dest)) {
                ShowError(QStringLiteral("Не удалось создать директорий\"") + EscapeBars(dest) + QLatin1Char('"'));
                return false;
            }
        }
    }
    EnsureDirectory(work);
    DeleteFilesByMask(work + QStringLiteral("*.*"));
    SuccsessOperation = false;
    auto writeHive = [&] {
        CurrentDate = Date();
        CurrentTime = Time();
        WriteArcHiveIni(
            work, {CurrentDate, FormatDateTime(QStringLiteral("hh:nn:ss"), CurrentTime), DataDate, SuccsessOperation});
    };
    writeHive();
    QStringList files{work + ArcIncName(), work + ArcHiveIniName()};
    QStringList marked;
    for (int i = 0; i < TableCount; ++i) {
        if (Stopped())
            return false;
        const QString name = TableStructures()[i].Name();
        if (ShowBars) {
            Progress().Mess1(Quoted(name));
            Progress().IncPos1();
        }
        if (!CopyBase || name.contains(QLatin1Char('*'))) {
            files += TableFiles(data, name);
        } else {
            CopyTable(i, work, true);
            files += TableFiles(work, name);
        }
    }
    DataIni().UpdateFile(); // the saved INI holds every setting made so far
    for (const QString& extra : ExtraFiles) {
        const QString target = work + FileNameOf(extra);
        if (!CopyOneFile(extra, target)) {
            ShowCopyError(extra, target);
            return false;
        }
        files += target;
        if (DelTmp && !CopyBase)
            marked += target;
    }
    if (DelTmp && CopyBase)
        marked = files;
    WriteArcInc(work, files);
    SuccsessOperation = true;
    writeHive();

    QStringList volumes;
    if (Archivate) {
        DeleteFilesByMask(work + ArcMask);
        if (ShowBars) {
            Progress().Mess(0, QStringLiteral("Сжатие данных"));
            Progress().PosBar1(0);
        }
        if (!RunArchiver(archiver_, ArchiverParams, work))
            return false;
        volumes = FilesByMask(work, ArcMask);
        if (volumes.isEmpty()) {
            ShowError(kNoFilesToCopy);
            return false;
        }
        if (DelTmp && DelArc)
            marked += volumes;
    }
    if (Stopped())
        return false;
    if (!dest.isEmpty()) {
        if (!CopyToDestination(Archivate ? volumes : files, floppy))
            return false; // nothing is deleted: the work folder keeps the only copy
    } else if (Archivate) {
        // Without a copy path the volumes in the work folder are the archive.
        for (const QString& v : volumes)
            marked.removeAll(v);
    } else {
        marked.clear();
    }
    for (const QString& f : std::as_const(marked))
        if (DelTmp && !PathInsideFolder(f, data))
            QFile::remove(f);
    return true;
}

bool TSaveRestObject::CopyToDestination(const QStringList& files, bool floppy)
{
    if (files.isEmpty()) {
        ShowError(kNoFilesToCopy);
        return false;
    }
    // The service files go last: a copy broken off midway has no success mark.
    QStringList ordered;
    QStringList service;
    for (const QString& f : files)
        (SameName(FileNameOf(f), ArcIncName()) || SameName(FileNameOf(f), ArcHiveIniName()) ? service : ordered)
            .append(f);
    ordered += service;
    const QString dest = AddBackslash(MapDrivePath(CopyPath.trimmed()));
    if (floppy) {
        // A set from which the clerk skipped a volume cannot be restored:
        // the save succeeded only when one set is whole.
        int wholeSets = 0;
        do {
            // The floppy copy takes names relative to one folder.
            QStringList folders;
            for (const QString& f : ordered)
                if (!folders.contains(QFileInfo(f).absolutePath()))
                    folders.append(QFileInfo(f).absolutePath());
            QStringList missing;
            for (const QString& folder : folders) {
                QStringList names;
                for (const QString& f : ordered)
                    if (QFileInfo(f).absolutePath() == folder)
                        names.append(FileNameOf(f));
                QStringList skipped;
                if (!CopyFilesToFloppies(names, folder, CopyPath.trimmed().left(2), true, true, nullptr, &skipped))
                    return wholeSets > 0;
                missing += skipped;
            }
            if (missing.isEmpty())
                ++wholeSets;
            else
                ShowError(QStringLiteral("Комплект дискет неполон|Не записаны файлы: ")
                    + EscapeBars(missing.join(QStringLiteral(", ")))
                    + QStringLiteral("\r\nВосстановить данные с этого комплекта нельзя."));
        } while (AskYesNo(QString(), QStringLiteral("Провести копирование на СЛЕДУЮЩИЙ комплект дискет?"), false));
        if (wholeSets == 0)
            ShowError(QStringLiteral("Сохранение данных не завершено|Ни один комплект дискет не записан полностью."));
        return wholeSets > 0;
    }
    // The new copy is written whole beside the old one and swapped in under
    // a journal: a crash leaves the old archive or the new one, never none.
    if (!FinishArchiveSwap(dest))
        return false;
    int64_t needed = 0;
    for (const QString& f : ordered)
        needed += std::max<int64_t>(GetFileSizeByName(f), 0);
    const int64_t free = DiskInfo().FreeSpace(dest);
    if (free >= 0 && free < needed) {
        ShowError(QStringLiteral("Недостаточно места для архива|") + EscapeBars(dest) + QStringLiteral("\r\nНужно ")
            + SizeText(needed) + QStringLiteral(", свободно ") + SizeText(free) + QStringLiteral(". Освободите еще ")
            + SizeText(needed - free)
            + QStringLiteral(" или выберите другой путь копирования.\r\nПрежний архив сохранен."));
        return false;
    }
    const QString stage = RestoreStagingFolder(dest);
    if (!EnsureDirectory(stage)) {
        ShowError(QStringLiteral("Не удалось создать директорий\"") + EscapeBars(stage) + QLatin1Char('"'));
        return false;
    }
    // Each block written is a point where the crash harness may kill.
    const TCopyProgress progress = [this](int64_t, bool& flag) {
        if (flag)
            return;
        NoteDbCall(DbCall::Write);
        flag = Stopped();
    };
    for (const QString& f : ordered) {
        const QString target = stage + FileNameOf(f);
        if (ShowBars)
            Progress().Mess2(Quoted(f) + QStringLiteral(" -> ") + Quoted(dest + FileNameOf(f)));
        bool copied = false;
        QString reason;
        try {
            copied = CopyOrCompareFile(f, target, true, progress);
        } catch (const Exception& e) {
            reason = CopyReason(e, dest + FileNameOf(f));
        }
        if (!copied) {
            DiscardRestoreStaging(dest);
            if (Stopped())
                return false;
            ShowCopyError(f, dest + FileNameOf(f), reason);
            return false;
        }
    }
    try {
        SwapInRestoredFiles(dest, {});
    } catch (const Exception& e) {
        ShowError(QStringLiteral("Архив не заменен до конца|") + EscapeBars(e.Message())
            + QStringLiteral("\r\nЗамена будет закончена при следующем сохранении или восстановлении."));
        return false;
    }
    return true;
}

bool TSaveRestObject::FinishArchiveSwap(const QString& folder)
{
    // With no journal and no staging folder there the recovery does nothing.
    try {
        RecoverRestore(folder);
    } catch (const Exception& e) {
        ShowError(QStringLiteral("Не закончена замена архива|") + EscapeBars(folder) + QStringLiteral("\r\n")
            + EscapeBars(e.Message()));
        return false;
    }
    return true;
}

void TSaveRestObject::CopyArchiveToFloppies()
{
    const QStringList volumes = FilesByMask(WorkFolderPath(), ArcMask);
    if (volumes.isEmpty()) {
        ShowError(kNoFilesToCopy);
        return;
    }
    QStringList names;
    for (const QString& v : volumes)
        names.append(FileNameOf(v));
    CopyFilesToFloppies(names, WorkFolderPath(), QStringLiteral("A:"), true, true);
}

// ---------------------------------------------------------------- restore

bool TSaveRestObject::Restore()
{
    const TRunOperation running(QStringLiteral("Восстановление данных из архива"), DataUnchangedState());
    return Operation::Run(*this, QStringLiteral("Восстановление данных возможно только в режиме полного доступа."),
        QStringLiteral("Восстановление баз данных"), true, [this] { return DoRestore(); });
}

bool TSaveRestObject::GatherVolumes(const QString& work)
{
    const QString source = AddBackslash(MapDrivePath(CopyPath.trimmed()));
    const QStringList volumes = FilesByMask(source, ArcMask);
    if (volumes.isEmpty()) {
        ShowError(QStringLiteral("Не обнаружено ни одного файла на устройстве ") + EscapeBars(source)
            + QStringLiteral("\r\nудовлетворяющего маске архивных файлов [") + EscapeBars(ArcMask)
            + QStringLiteral("]\r\nПроверьте правильность ввода маски архивов"));
        return false;
    }
    for (const QString& v : volumes) {
        if (Stopped())
            return false;
        const QString target = work + FileNameOf(v);
        if (ShowBars) {
            Progress().Mess1(Quoted(FileNameOf(v)));
            Progress().Mess2(v + QStringLiteral(" -> ") + target);
        }
        if (!CopyOneFile(v, target)) {
            ShowCopyError(v, target);
            return false;
        }
    }
    return true;
}

bool TSaveRestObject::GatherFromFloppies(const QString& work)
{
    const QString drive = CopyPath.trimmed().left(2).toUpper();
    const QString mask = Archivate ? ArcMask : QStringLiteral("*.*");
    ShowWarning(QStringLiteral("Копирование архива с дискет\r\nДля успешного восстановления данных необходимо "
                               "скопировать ВСЕ данные, записанные на дискеты во время сохранения"));
    for (;;) {
        const int answer = ChooseButton(QStringLiteral("Вставьте дискету в дисковод ") + drive,
            QStringLiteral("Скопируйте архивные файлы со всех дискет, а затем нажмите \"Продолжить\""),
            {QStringLiteral("Копировать с дискет"), QStringLiteral("Продолжить"), QStringLiteral("Прекратить")});
        if (answer == 3)
            return false;
        if (answer == 2) {
            if (ChooseButton(QStringLiteral("Данные скопированы полностью ?"),
                    QStringLiteral("Если данные скопированы не полностью, то это приведет к потере имеющихся данных"),
                    {2, QStringLiteral("Да"), QStringLiteral("Нет")})
                == 1)
                return true;
            return false;
        }
        const QStringList found = FilesByMask(MapDrivePath(drive), mask);
        if (found.isEmpty()) {
            if (ChooseButton(QStringLiteral("Не обнаружено ни одного файла на устройстве ") + drive
                        + QStringLiteral("\r\nудовлетворяющего маске архивных файлов [") + EscapeBars(mask)
                        + QLatin1Char(']'),
                    QString(), {2, QStringLiteral("Продолжить"), QStringLiteral("Прекратить")})
                != 1)
                return false;
            continue;
        }
        for (const QString& f : found) {
            const QString target = work + FileNameOf(f);
            if (!CopyOneFile(f, target)) {
                ShowCopyError(f, target);
                return false;
            }
        }
    }
}

bool TSaveRestObject::DoRestore()
{
    const QString data = DataFolderPath();
    const QString work = WorkFolderPath();
    const bool floppy = IsFloppyPath(CopyPath);
    bool delTmp = DelTmp;
    QString from = work;
    QStringList marked;
    // A save cut short in its swap is finished before the archive is read.
    if (!floppy && !CopyPath.trimmed().isEmpty() && !FinishArchiveSwap(AddBackslash(MapDrivePath(CopyPath.trimmed()))))
        return false;
    if (!floppy && !Archivate) {
        // The files are read where they lie, and never deleted there.
        delTmp = false;
        from = AddBackslash(MapDrivePath(CopyPath.trimmed()));
    } else {
        // An earlier save's files must not stand in for the chosen archive.
        EnsureDirectory(work);
        DeleteFilesByMask(work + QStringLiteral("*.*"));
        if (!(floppy ? GatherFromFloppies(work) : GatherVolumes(work)))
            return false;
    }
    if (Archivate) {
        if (ShowBars) {
            Progress().Mess(0, QStringLiteral("Деархивация данных"));
            Progress().PosBar1(0);
        }
        const QStringList volumes = FilesByMask(work, ArcMask);
        // A volume cut short is named here: the archiver itself would only
        // print its progress and fail.
        for (const QString& v : volumes) {
            const QString damage = ArjVolumeDamage(v);
            if (damage.isEmpty())
                continue;
            const QString shown
                = floppy ? FileNameOf(v) : AddBackslash(MapDrivePath(CopyPath.trimmed())) + FileNameOf(v);
            ShowError(QStringLiteral("Файл архива поврежден|") + EscapeBars(shown) + QStringLiteral("\r\n")
                + EscapeBars(damage)
                + QStringLiteral("\r\nВосстановить данные из этого архива нельзя. Данные программы не изменены."));
            return false;
        }
        if (!RunArchiver(deArchiver_, DeArchiverParams, work))
            return false;
        if (delTmp && DelArc)
            marked += volumes;
    }
    if (!QFileInfo::exists(from + ArcIncName())) {
        ShowError(kServiceFileMissing + EscapeBars(from + ArcIncName()));
        return false;
    }
    const TArcHiveInfo info = ReadArcHiveIni(from);
    CurrentDate = info.CurrentDate;
    SuccsessOperation = info.SuccsessOperation;
    if (!info.SuccsessOperation) {
        ShowError(QStringLiteral("Операция по сохранению данных не была успешно завершена.\r\n"
                                 "Восстановление данных невозможно !!!"));
        return false;
    }
    if (!AskYesNo(QStringLiteral("Сохранение данных.\r\n\r\nВыполнено \t") + DateToStr(info.CurrentDate)
                + QStringLiteral("  ") + EscapeBars(info.CurrentTime) + QStringLiteral("\r\nДанные от \t")
                + DateToStr(info.DataDate),
            QStringLiteral("Продолжить ?"), true))
        return false;
    QStringList files;
    for (const QString& name : ReadArcInc(from + ArcIncName())) {
        if (delTmp)
            marked += from + name;
        if (!SameName(name, ArcIncName()) && !SameName(name, ArcHiveIniName()))
            files += from + name;
    }
    // Every file must be there and whole before an old one is touched.
    for (const QString& f : std::as_const(files)) {
        bool whole = FileReadable(f);
        const QString base = ExtractFileBaseName(f);
        if (whole && f.endsWith(Tables::Extension(), Qt::CaseInsensitive) && TableStructures().NumberOf(base) >= 0) {
            try {
                Tables::RecordCount(base, from);
            } catch (const Exception&) {
                whole = false;
            }
        }
        if (!whole) {
            ShowError(QStringLiteral("Файл архива отсутствует или поврежден|") + EscapeBars(f));
            return false;
        }
    }
    ReplaceTables(files, delTmp);
    for (const QString& f : std::as_const(marked))
        if (!PathInsideFolder(f, data))
            QFile::remove(f);
    return true;
}

void TSaveRestObject::ReplaceTables(const QStringList& files, bool move)
{
    const QString data = DataFolderPath();
    const QString stage = RestoreStagingFolder(data);
    DataIni().UpdateFile(); // pending settings go to the old INI, not over the restored one
    DiscardRestoreStaging(data);
    if (!EnsureDirectory(stage))
        throw EFCreateError(QStringLiteral("Cannot create folder ") + stage);
    // The new files and their indexes are made ready beside the data; the
    // data folder itself changes only in the swap, which a killed process
    // leaves to the next start to finish.
    QStringList oldNames;
    try {
        if (ShowBars)
            Progress().Mess(0, QStringLiteral("Перенос новых данных"));
        for (const QString& f : files) {
            const QString target = stage + FileNameOf(f);
            if (Stopped())
                Abort();
            if (ShowBars) {
                Progress().Mess1(Quoted(f));
                Progress().Mess2(Quoted(data + FileNameOf(f)));
            }
            if (!(move ? MoveOneFile(f, target) : CopyOneFile(f, target)))
                throw EFCantMove(QStringLiteral("Cannot move file ") + f);
        }
        // Every catalogue index, whatever the save copied: adding one that exists does nothing.
        if (ShowBars) {
            Progress().Mess(0, QStringLiteral("Индексация новых данных"));
            Progress().PosBar1(0);
        }
        for (int i = 0; i < TableCount; ++i) {
            if (Stopped())
                Abort();
            const TTableStructure& table = TableStructures()[i];
            const QString name = table.Name();
            if (ShowBars) {
                Progress().Mess1(Quoted(name));
                Progress().IncPos1();
            }
            for (const QString& f : TableFiles(data, name))
                oldNames.append(FileNameOf(f));
            if (name.contains(QLatin1Char('*')) || !Tables::Exists(name, stage))
                continue;
            for (const IndexDef& index : table.Definition().indexes) {
                if (ShowBars)
                    Progress().Mess2(QStringLiteral("Индекс: \"")
                        + (index.name.isEmpty() ? QStringLiteral("Primary index") : index.name) + QLatin1Char('"'));
                if (!index.name.isEmpty())
                    Tables::AddIndex(name, index, stage);
            }
        }
        if (Stopped())
            Abort();
    } catch (...) {
        DiscardRestoreStaging(data);
        throw;
    }
    if (ShowBars) {
        Progress().Mess(0, QStringLiteral("Удаление старых данных"));
        Progress().Mess1(QString());
        Progress().Mess2(QString());
    }
    try {
        SwapInRestoredFiles(data, oldNames);
    } catch (const Exception& e) {
        // Half swapped: nothing may work on the folder until the next
        // start has finished the swap from its journal.
        ShowError(QStringLiteral("Восстановление данных не завершено|") + EscapeBars(e.Message())
            + QStringLiteral("\r\nПерезапустите программу: восстановление будет завершено при запуске."));
        TerminateAfterRestore();
        Abort();
    }
}

// ---------------------------------------------------------------- reserve copy

namespace {
const QString kReservLock = QStringLiteral("Сжатие данных возможно только в режиме полного доступа.");
}

bool TSaveRestObject::ReserveSave()
{
    return Operation::Run(
        *this, kReservLock, QStringLiteral("Резервное копирование данных"), false, [this] { return DoReserveSave(); });
}

bool TSaveRestObject::DoReserveSave()
{
    const QString data = DataFolderPath();
    const QString reserv = ReservFolderPath();
    if (PathInsideFolder(reserv, data)) {
        ShowError(QStringLiteral("Путь копирования не может находиться в директории данных или рабочем директории|")
            + EscapeBars(reserv));
        return false;
    }
    if (!QFileInfo(reserv).isDir()) {
        const int answer = ChooseButton(QStringLiteral("Директорий отсутствует:"), EscapeBars(reserv),
            {2, QStringLiteral("Создать директорий"), QStringLiteral("Прекратить операцию")});
        if (answer != 1)
            return false;
        if (!EnsureDirectory(reserv)) {
            ShowError(QStringLiteral("Не удалось создать директорий\"") + EscapeBars(reserv) + QLatin1Char('"'));
            return false;
        }
    }
    if (QFileInfo::exists(reserv + ArcIncName()) && !QFile::remove(reserv + ArcIncName())) {
        ShowError(QStringLiteral("Не могу удалить файл \"") + EscapeBars(reserv + ArcIncName()) + QLatin1Char('"'));
        return false;
    }
    SuccsessOperation = false;
    auto writeHive = [&] {
        WriteArcHiveIni(
            reserv, {Date(), FormatDateTime(QStringLiteral("hh:nn:ss"), Time()), DataDate, SuccsessOperation});
    };
    writeHive();
    DataIni().UpdateFile();
    QStringList files = ExtraFiles;
    for (int i = 0; i < TableCount; ++i)
        for (const QString& f : TableFiles(data, TableStructures()[i].Name()))
            if (!f.endsWith(QStringLiteral("-shm"), Qt::CaseInsensitive)) // only an index into a live WAL
                files += f;
    if (ShowBars)
        Progress().InitBar1(0, static_cast<int>(files.size()));
    for (const QString& f : std::as_const(files)) {
        if (Stopped())
            return false;
        const QString target = reserv + FileNameOf(f);
        if (ShowBars) {
            Progress().Mess1(Quoted(FileNameOf(f)));
            Progress().Mess2(QStringLiteral("в  \"") + target + QLatin1Char('"'));
            Progress().IncPos1();
        }
        // The reserve copy gives its old files up by design: its list is gone already.
        if (!CopyOneFile(f, target, TOldTarget::GiveUp)) {
            ShowCopyError(f, target);
            return false;
        }
    }
    WriteArcInc(reserv, files);
    SuccsessOperation = true;
    writeHive();
    return true;
}

bool TSaveRestObject::ReserveRestore()
{
    const TRunOperation running(QStringLiteral("Восстановление резервной копии данных"), DataUnchangedState());
    return Operation::Run(*this, kReservLock, QStringLiteral("Восстановление резервной копии данных"), true,
        [this] { return DoReserveRestore(); });
}

bool TSaveRestObject::DoReserveRestore()
{
    const QString reserv = ReservFolderPath();
    if (!QFileInfo::exists(reserv + ArcIncName())) {
        ShowError(kServiceFileMissing + EscapeBars(reserv + ArcIncName()));
        return false;
    }
    const TArcHiveInfo info = ReadArcHiveIni(reserv);
    if (!info.SuccsessOperation) {
        ShowError(QStringLiteral("Операция по сохранению резервной копии не была успешно завершена.\r\n"
                                 "Восстановление резервной копии не возможно !!!"));
        return false;
    }
    if (!AskYesNo(QStringLiteral("Резервная копия.\r\n\r\nВыполнена \t") + DateToStr(info.CurrentDate)
                + QStringLiteral("  ") + EscapeBars(info.CurrentTime) + QStringLiteral("\r\nДанные от \t")
                + DateToStr(info.DataDate),
            QStringLiteral("Продолжить ?"), true))
        return false;
    // Back into the data folder as it is now, by file name: the list names
    // the folders of the day of the copy, which may have moved since.
    const QString data = DataFolderPath();
    QStringList names;
    for (const QString& line : ReadArcInc(reserv + ArcIncName())) {
        if (!BelongsToDataBase(line, ExtraFiles)) {
            ShowError(QStringLiteral("Список резервной копии называет чужой файл|") + EscapeBars(line));
            return false;
        }
        if (!FileReadable(reserv + line)) {
            ShowError(QStringLiteral("Файл архива отсутствует или поврежден|") + EscapeBars(reserv + line));
            return false;
        }
        if (!names.contains(line, Qt::CaseInsensitive))
            names.append(line);
    }
    DataIni().UpdateFile();
    // A journal left by a crash would be played back over the restored table.
    for (int i = 0; i < TableCount; ++i)
        for (const QString& f : TableFiles(data, TableStructures()[i].Name()))
            if (IsSideFile(f))
                QFile::remove(f);
    QStringList targets;
    for (const QString& name : std::as_const(names))
        targets.append(data + name);
    if (ShowBars)
        Progress().InitBar1(0, static_cast<int>(targets.size()));
    for (const QString& target : std::as_const(targets)) {
        if (Stopped()) {
            ShowError(QStringLiteral("Нельзя прерывать операцию"));
            Progress().SetStopped(false);
        }
        const QString source = reserv + FileNameOf(target);
        if (ShowBars) {
            Progress().Mess1(Quoted(FileNameOf(source)));
            Progress().Mess2(QStringLiteral("в  \"") + target + QLatin1Char('"'));
            Progress().IncPos1();
        }
        bool copied = false;
        QString reason;
        try {
            copied = CopyOneFile(source, target, TOldTarget::GiveUp);
        } catch (const Exception& e) {
            reason = CopyReason(e, target);
        }
        if (!copied) {
            const int answer = ChooseErrorButton(CopyErrorText(source, target, reason),
                QStringLiteral("Неполное копирование файлов приведет к неработоспособности программы.\r\n\r\n"
                               "Восстановите данные с устройства хранения."),
                {QStringLiteral("Продолжить"), QStringLiteral("Закрыть программу")});
            if (answer == 2) {
                TerminateAfterRestore();
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- compression

bool TSaveRestObject::Compress()
{
    return Operation::Run(
        *this, kReservLock, QStringLiteral("Копирование данных"), false, [this] { return DoCompress(); });
}

bool TSaveRestObject::DoCompress()
{
    const QString data = DataFolderPath();
    const QString work = WorkFolderPath();
    const QString old = TmpFolderPath();
    EnsureDirectory(work);
    DeleteFilesByMask(work + QStringLiteral("*.*"));
    for (int i = 0; i < TableCount; ++i) {
        if (Stopped())
            return false;
        const TTableStructure& table = TableStructures()[i];
        const QString name = table.Name();
        if (name.contains(QLatin1Char('*')))
            continue;
        auto step = [&](const QString& caption, int bar2) {
            if (ShowBars) {
                Progress().Mess(0, caption);
                Progress().PosBar2(bar2);
            }
        };
        if (ShowBars) {
            Progress().Mess(0, QStringLiteral("Копирование данных"));
            Progress().Mess1(Quoted(name));
            Progress().IncPos1();
        }
        CopyTable(i, work, false);
        // A short copy must never take the place of the table.
        const int64_t rows = Tables::RecordCount(name, data);
        if (Tables::RecordCount(name, work) != rows)
            throw EAppException(QStringLiteral("Копия таблицы ") + name + QStringLiteral(" неполна: в таблице ")
                + QString::number(rows) + QStringLiteral(" записей"));
        if (ShowBars)
            Progress().PosBar2(20);
        step(QStringLiteral("Резевное сохранение старых данных"), 40);
        QList<QPair<QString, QString>> setAside;
        QStringList placed;
        try {
            for (const QString& f : TableFiles(data, name)) {
                const QString target = old + FileNameOf(f);
                QFile::remove(target);
                if (!MoveOneFile(f, target))
                    throw EFCantMove(QStringLiteral("Cannot move file ") + f);
                setAside.append({f, target});
            }
            step(QStringLiteral("Перенос новых данных"), 60);
            for (const QString& f : TableFiles(work, name)) {
                const QString target = data + FileNameOf(f);
                if (!MoveOneFile(f, target))
                    throw EFCantMove(QStringLiteral("Cannot move file ") + f);
                placed.append(target);
            }
            step(QStringLiteral("Индексация новых данных"), 80);
            for (const IndexDef& index : table.Definition().indexes)
                if (!index.name.isEmpty())
                    Tables::AddIndex(name, index, data);
        } catch (...) {
            // The table goes back as it was.
            for (const QString& f : std::as_const(placed))
                QFile::remove(f);
            for (const auto& [original, moved] : std::as_const(setAside))
                MoveOneFile(moved, original);
            throw;
        }
        step(QStringLiteral("Удаление старых данных"), 90);
        for (const auto& entry : std::as_const(setAside))
            QFile::remove(entry.second);
        if (ShowBars)
            Progress().FillBar2();
    }
    return true;
}
