#include "data/FolderRecovery.h"

#include "data/DBSetup.h"
#include "data/Globals.h"
#include "db/CallHook.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString kDelete = QStringLiteral("D ");
const QString kPlace = QStringLiteral("P ");

QString JournalPath(const QString& data) { return AddBackslash(data) + RestoreJournalName(); }

// Rename over an existing file: atomic on one file system.
void MoveIn(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw EFCantMove(QStringLiteral("Cannot move file ") + from);
    NoteDbCall(DbCall::Rename);
}

void RemoveFile(const QString& path)
{
    if (QFileInfo::exists(path) && !QFile::remove(path))
        throw EFCantMove(QStringLiteral("Cannot delete file ") + path);
    NoteDbCall(DbCall::Remove);
}

// Idempotent: a file already moved in is no longer staged, an old file
// already deleted is gone, so a second run after a kill does the rest.
void FinishSwap(const QString& data)
{
    QFile journal(JournalPath(data));
    if (!journal.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Cannot open file ") + journal.fileName());
    const QStringList lines = QString::fromUtf8(journal.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    journal.close();
    const QString dir = AddBackslash(data);
    const QString stage = RestoreStagingFolder(data);
    // Only plain names of the data folder: a damaged line never reaches elsewhere.
    const auto named = [](const QString& line, const QString& kind) {
        const QString name = line.mid(2);
        const bool plain = line.startsWith(kind) && !name.isEmpty() && !name.contains(QLatin1Char('/'))
            && name != QStringLiteral(".") && name != QStringLiteral("..");
        return plain ? name : QString();
    };
    for (const QString& line : lines)
        if (const QString name = named(line, kDelete); !name.isEmpty())
            RemoveFile(dir + name);
    for (const QString& line : lines)
        if (const QString name = named(line, kPlace); !name.isEmpty() && QFileInfo::exists(stage + name))
            MoveIn(stage + name, dir + name);
    // The journal goes last: while it exists the swap reads as begun, and a
    // staging folder without it would read as a swap never begun.
    QDir(stage).removeRecursively();
    RemoveFile(JournalPath(data));
}

TableDef MarkDefinition()
{
    return TableDef{NewPeriodMarkName(),
        {FieldDef{QStringLiteral("OLDDATE"), FieldType::Date, 0, true},
            FieldDef{QStringLiteral("NEWDATE"), FieldType::Date, 0, true}},
        {IndexDef{QString(), IndexOption::Primary, QStringLiteral("OLDDATE")}}};
}

bool g_swapFinishedAtStart = false;

} // namespace

// ---------------------------------------------------------------- restore

QString DataUnchangedState() { return QStringLiteral("данные остались прежними"); }

QString DataReplacedState() { return QStringLiteral("данные заменены новыми целиком"); }

QString RestoreStagingFolder(const QString& dataFolder)
{
    return AddBackslash(dataFolder) + QStringLiteral("~~Restore/");
}

QString RestoreJournalName() { return QStringLiteral("~~Restore.tmp"); }

void DiscardRestoreStaging(const QString& dataFolder) { QDir(RestoreStagingFolder(dataFolder)).removeRecursively(); }

void SwapInRestoredFiles(const QString& dataFolder, const QStringList& oldNames)
{
    const QStringList staged = QDir(RestoreStagingFolder(dataFolder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QStringList lines;
    for (const QString& name : oldNames)
        if (!staged.contains(name))
            lines << kDelete + name;
    for (const QString& name : staged)
        lines << kPlace + name;
    WriteFileAtomic(JournalPath(dataFolder), (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    // From the journal on the swap is only ever finished.
    SetRunOperationState(DataReplacedState());
    NoteDbCall(DbCall::CreateFile);
    FinishSwap(dataFolder);
}

bool RecoverRestore(const QString& dataFolder)
{
    if (QFileInfo::exists(JournalPath(dataFolder))) {
        FinishSwap(dataFolder);
        return true;
    }
    DiscardRestoreStaging(dataFolder);
    return false;
}

// ---------------------------------------------------------------- period close

QString NewPeriodMarkName() { return QStringLiteral("NEWPERIOD"); }

void CreateNewPeriodMark()
{
    DropNewPeriodMark();
    Tables::Create(MarkDefinition());
}

void WriteNewPeriodMark(TDateTime oldDate, TDateTime newDate)
{
    Cursor mark(NewPeriodMarkName());
    mark.Open();
    mark.Append();
    mark.FieldByName(QStringLiteral("OLDDATE")).SetDateTime(oldDate);
    mark.FieldByName(QStringLiteral("NEWDATE")).SetDateTime(newDate);
    mark.Post();
}

void DropNewPeriodMark()
{
    if (Tables::Exists(NewPeriodMarkName()))
        Tables::Delete(NewPeriodMarkName());
}

bool RecoverNewPeriod(const QString& dataFolder, TCustomIniFile& dataIni)
{
    if (!Tables::Exists(NewPeriodMarkName(), dataFolder))
        return false;
    bool moved = false;
    try {
        Cursor mark(NewPeriodMarkName(), dataFolder);
        mark.Open();
        mark.First();
        // No row: the close never committed and its tables are as they were.
        if (!mark.Eof()) {
            const TDateTime oldDate = mark.FieldByName(QStringLiteral("OLDDATE")).AsDateTime();
            const TDateTime newDate = mark.FieldByName(QStringLiteral("NEWDATE")).AsDateTime();
            const QString section = QStringLiteral("Configuration");
            const QString key = QStringLiteral("Workdate");
            if (dataIni.ReadDate(section, key, oldDate) == oldDate) {
                dataIni.WriteDate(section, key, newDate);
                dataIni.UpdateFile();
                moved = true;
            }
        }
    } catch (const Exception&) {
        // Not a table of ours: no commit can be read from it.
    }
    try {
        Tables::Delete(NewPeriodMarkName(), dataFolder);
    } catch (const Exception&) {
        QFile::remove(Tables::FilePath(NewPeriodMarkName(), dataFolder));
    }
    return moved;
}

void RecoverDataFolder()
{
    g_swapFinishedAtStart = false;
    const QString data = DataFolder();
    const bool restore = QFileInfo::exists(JournalPath(data)) || QFileInfo(RestoreStagingFolder(data)).isDir();
    const bool period = Tables::Exists(NewPeriodMarkName(), data);
    if ((!restore && !period) || !LockDataBaseExclusive())
        return;
    if (restore && RecoverRestore(data)) {
        g_swapFinishedAtStart = true;
        DataIni().Reread();
    }
    if (period)
        RecoverNewPeriod(data, DataIni());
    LockDataBaseShared();
}

QString InterruptedOperationReport()
{
    const TInterruptedOperation op = ReadRunOperation();
    if (op.Operation.isEmpty())
        return QString();
    // A swap finished by this start says more than the state written before it.
    const QString state = g_swapFinishedAtStart
        ? DataReplacedState() + QStringLiteral(" (замена завершена при этом запуске)")
        : op.State;
    return QStringLiteral("Прервана операция: ") + op.Operation + QStringLiteral("\r\nСостояние данных: ") + state;
}
