// The service files of a save and of a restore on any bytes. The first
// byte chooses the file:
//   0 ARC~HIVE.INI: never raises; what is read is written and read again
//     the same;
//   1 ARC.INC: every name is a plain file name (no folder, not "." or "..");
//   2 the restore journal "~~Restore.tmp" at the next start: no file
//     outside the data folder is touched; the journal goes with the staging
//     folder, or stays when a name cannot be deleted or moved in;
//   3 an arj volume before the restore unpacks it: read within its bytes,
//     whole or damaged in a sentence; cut short by one byte it is never
//     whole.

#include "FuzzSupport.h"

#include "archive/SaveRest.h"
#include "data/FolderRecovery.h"
#include "platform/Exceptions.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString Show(const TArcHiveInfo& i)
{
    return QStringLiteral("%1 %2 %3 %4").arg(i.CurrentDate).arg(i.CurrentTime).arg(i.DataDate).arg(i.SuccsessOperation);
}

void HiveIni(const QString& folder, const QByteArray& bytes)
{
    FuzzWriteFile(folder + ArcHiveIniName(), bytes);
    const TArcHiveInfo first = ReadArcHiveIni(folder);
    WriteArcHiveIni(folder, first);
    const TArcHiveInfo again = ReadArcHiveIni(folder);
    FuzzCheck(Show(again) == Show(first), "ARC~HIVE.INI reads back what was read from it",
        Show(first) + QStringLiteral(" / ") + Show(again));
}

void ArcInc(const QString& folder, const QByteArray& bytes)
{
    FuzzWriteFile(folder + ArcIncName(), bytes);
    for (const QString& name : ReadArcInc(folder + ArcIncName())) {
        const bool plain = !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
            && name != QStringLiteral(".") && name != QStringLiteral("..");
        FuzzCheck(plain, "ARC.INC gives plain file names", name);
    }
}

void Journal(const QString& folder, const QByteArray& bytes)
{
    const QString data = folder + QStringLiteral("DB/");
    const QString outside = folder + QStringLiteral("KEEP.DB");
    FuzzWriteFile(outside, "outside");
    QDir().mkpath(RestoreStagingFolder(data));
    FuzzWriteFile(RestoreStagingFolder(data) + QStringLiteral("NEW.DB"), "new");
    FuzzWriteFile(data + RestoreJournalName(), bytes);
    bool finished = true;
    try {
        RecoverRestore(data);
    } catch (const Exception& e) {
        // A name it cannot delete or move in (a folder): the journal stays
        // for the next start, and the message says which.
        finished = false;
        FuzzCheck(e.Message().startsWith(QStringLiteral("Cannot ")), "a swap that cannot go on says why", e.Message());
        FuzzCheck(QFileInfo::exists(data + RestoreJournalName()), "an unfinished swap keeps its journal");
    }
    FuzzCheck(FuzzReadFile(outside, false) == "outside", "no file outside the data folder is touched");
    FuzzCheck(QFileInfo(data).isDir(), "the data folder stays");
    if (finished) {
        FuzzCheck(!QFileInfo::exists(data + RestoreJournalName()), "the journal goes");
        FuzzCheck(!QFileInfo::exists(RestoreStagingFolder(data)), "the staging folder goes");
    }
}

void ArjVolume(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QString damage = ArjVolumeDamage(buffer);
    FuzzCheck(damage.isEmpty() || damage.endsWith(QLatin1Char('.')), "a damaged volume is told in a sentence", damage);
    if (damage.isEmpty() && bytes.startsWith(QByteArray("\x60\xEA", 2))) {
        QBuffer cut;
        cut.setData(bytes.chopped(1));
        cut.open(QIODevice::ReadOnly);
        FuzzCheck(!ArjVolumeDamage(cut).isEmpty(), "a whole volume cut by a byte is damaged");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInitApp();
    FuzzQuietMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QString folder = FuzzScratchFolder() + QStringLiteral("arc/");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("DB"));
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    switch (data[0] % 4) {
    case 0: HiveIni(folder, bytes); break;
    case 1: ArcInc(folder, bytes); break;
    case 2: Journal(folder, bytes); break;
    default: ArjVolume(bytes); break;
    }
    return 0;
}
