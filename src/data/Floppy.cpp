#include "data/Floppy.h"

#include "data/Globals.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {

QString WithSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString Canonical(const QString& folder)
{
    const QString path = QFileInfo(folder).canonicalFilePath();
    return path.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : path;
}

bool FolderHasData(const QString& folder)
{
    return !QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty();
}

enum class TDiskAnswer { Copy, Skip, Stop };

TDiskAnswer AskForDisk(const QString& file, const QString& destination)
{
    const int answer = ChooseButton(QStringLiteral("Копирование файлов"),
        QStringLiteral("Вставьте дискету в дисковод\r\nФайл: ") + EscapeBars(file),
        {Variant(3), Variant(QStringLiteral("Копировать")), Variant(QStringLiteral("Следующий файл")),
            Variant(QStringLiteral("Прекратить"))});
    if (answer == 2)
        return TDiskAnswer::Skip;
    if (answer != 1)
        return TDiskAnswer::Stop;
    if (!FolderHasData(destination))
        return TDiskAnswer::Copy;
    for (;;) {
        // Esc stops: clearing a disk is never the default.
        const int data = ChooseButton(QStringLiteral("На дискете имеются данные"), EscapeBars(destination),
            {Variant(3), Variant(QStringLiteral("Очистить дискету")), Variant(QStringLiteral("Продолжить копирование")),
                Variant(QStringLiteral("Прекратить"))});
        if (data == 2)
            return TDiskAnswer::Copy;
        if (data != 1)
            return TDiskAnswer::Stop;
        if (!MayClearFolder(destination)) {
            ShowError(QStringLiteral("Очистка невозможна|") + EscapeBars(destination));
            continue;
        }
        if (!ClearDirectory(destination))
            ShowError(QStringLiteral("Не удалось очистить|") + EscapeBars(destination));
        return TDiskAnswer::Copy;
    }
}

// Why a copy onto the disk failed, in the clerk's words.
QString CopyFailure(const QString& source, const QString& target, const QString& error, bool readError, bool full)
{
    QFile file(source);
    if (readError || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("копируемый файл не читается");
    if (!DiskInfo().WhyNotWritable(target).isEmpty())
        return QStringLiteral("дискета защищена от записи");
    if (full)
        return QStringLiteral("на дискете нет места");
    return error.isEmpty() ? QStringLiteral("файл не записан") : error;
}

} // namespace

bool MayClearFolder(const QString& folder)
{
    if (folder.trimmed().isEmpty())
        return false;
    const QString path = Canonical(folder);
    if (path == QLatin1String("/"))
        return false;
    for (const QString& kept : {DataFolder(), GetExeDir(), QDir::homePath()})
        if (!kept.isEmpty() && Canonical(kept) == path)
            return false;
    return true;
}

bool CopyFilesToFloppies(const QStringList& files, const QString& source, const QString& destination, bool askForDisk,
    bool compare, IProgress* progress, QStringList* skipped)
{
    if (skipped)
        skipped->clear();
    std::optional<ProgressSession> own;
    if (!progress) {
        own.emplace(0, 100, 0, 1000);
        progress = &own->Sink();
    }
    IProgress& sink = *progress;
    if (sink.Stopped() || destination.trimmed().isEmpty())
        return false;
    const QString target = WithSlash(MapDrivePath(destination));
    const QString from = WithSlash(source);
    TProgressCopyBar bar(sink, 2);

    sink.InitBar1(0, int(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        if (sink.Stopped())
            return false;
        const QString& file = files[i];
        sink.Mess(0, QStringLiteral("Копирование файлов"));
        sink.Mess1(QStringLiteral("%1 (%2 из %3)").arg(file).arg(i + 1).arg(files.size()));
        sink.PosBar1(i);
        const int64_t size = GetFileSizeByName(from + file);
        bool askNow = askForDisk;
        int failures = 0;
        bool skip = false;
        for (bool done = false; !done;) {
            if (askNow) {
                const TDiskAnswer answer = AskForDisk(file, target);
                if (answer == TDiskAnswer::Stop)
                    return false;
                if (answer == TDiskAnswer::Skip) {
                    skip = true;
                    if (skipped)
                        skipped->append(file);
                    break;
                }
                // A disk that cannot take the file: the next one.
                const int64_t free = DiskInfo().FreeSpace(target);
                if (free >= 0 && size > free)
                    continue;
            }
            QCoreApplication::processEvents();
            bool copied = false;
            QString error;
            bool readError = false;
            bool full = false;
            try {
                sink.Mess(0, QStringLiteral("Копирование файлов"));
                // A volume written again onto its own disk takes the old one's place.
                copied = CopyFileWithBar(from + file, target + file, &bar, TOldTarget::GiveUp);
            } catch (const EFREadError& e) {
                error = e.Message();
                readError = true;
            } catch (const EDiskFull& e) {
                error = e.Message();
                full = true;
            } catch (const Exception& e) {
                error = e.Message();
            }
            if (sink.Stopped())
                return false;
            if (!copied) {
                if (askForDisk) {
                    // The clerk is told why before the next disk is asked for.
                    ShowError(QStringLiteral("Ошибка копирования файла|") + EscapeBars(file)
                        + QStringLiteral("\r\nПричина: ")
                        + EscapeBars(CopyFailure(from + file, target, error, readError, full)));
                    askNow = true;
                    continue;
                }
                // Without a disk to change the same failure would come again.
                if (++failures >= 2) {
                    ShowError(QStringLiteral("Ошибка копирования файла|") + EscapeBars(file)
                        + (error.isEmpty() ? QString() : QStringLiteral("\r\n") + EscapeBars(error)));
                    return false;
                }
                continue;
            }
            done = true;
            while (compare) {
                sink.Mess(0, QStringLiteral("Сравнение файлов"));
                bool same = false;
                try {
                    same = CompareFileWithBar(from + file, target + file, &bar);
                } catch (const EAbort&) {
                    return false;
                }
                if (sink.Stopped())
                    return false;
                if (same)
                    break;
                const int again = ChooseErrorButton(
                    QStringLiteral("Данные на дискете не соответствуют сохраняемым данным"), EscapeBars(target + file),
                    {Variant(2), Variant(QStringLiteral("Повторить сравнение")),
                        Variant(QStringLiteral("Повторить копирование"))});
                if (again != 1) {
                    done = false; // copy this file again
                    askNow = false;
                    break;
                }
            }
        }
        if (!skip)
            sink.PosBar1(i + 1);
    }
    return !sink.Stopped();
}
