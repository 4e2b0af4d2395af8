#include "foundation/FileList.h"

#include "foundation/FileFuncs.h"
#include "foundation/StrFuncs.h"
#include "platform/Disk.h"

#include <QDir>

#include <algorithm>

namespace {

QString NamePart(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

bool LessIgnoringCase(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

void SortList(QStringList& list) { std::stable_sort(list.begin(), list.end(), LessIgnoringCase); }

QString WindowsMask(const QString& mask)
{
    const qsizetype slash = mask.lastIndexOf(QLatin1Char('/'));
    if (mask.mid(slash + 1) == QLatin1String("*.*"))
        return mask.left(slash + 1) + QLatin1Char('*');
    return mask;
}

// The entries of a folder in a repeatable order.
QFileInfoList Entries(const QString& dir)
{
    QFileInfoList l
        = QDir(dir.isEmpty() ? QStringLiteral(".") : dir)
              .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(l.begin(), l.end(), [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    return l;
}

} // namespace

void T_yqFileList::SortNames() { SortList(*this); }

int T_yqFileList::ReadDir(const QString& Path, const QString& Mask, bool Sorted, bool WithDirs, bool WithFiles)
{
    const QString dir = AddBackslash(MapDrivePath(Path.trimmed()));
    const QFileInfoList entries = Entries(dir);
    auto nameOf = [&](const QFileInfo& e) { return dir + (UpperCase ? e.fileName().toUpper() : e.fileName()); };
    auto accepted = [&](const QFileInfo& e) {
        bool accept = true;
        if (OnAccept)
            OnAccept(dir, e, accept);
        return accept;
    };

    int added = 0;
    QStringList found;
    if (WithDirs) {
        clear();
        for (const QFileInfo& e : entries)
            if (e.isDir() && accepted(e))
                found.append(nameOf(e) + QLatin1Char('/'));
        if (Sorted)
            SortList(found);
        QStringList::operator=(found);
        added = static_cast<int>(found.size());
    }
    if (WithFiles) {
        found.clear();
        const QString mask = WindowsMask(Mask);
        for (const QFileInfo& e : entries)
            if (!e.isDir() && MatchWild(e.fileName(), mask, true) && accepted(e))
                found.append(nameOf(e));
        if (WithDirs && Sorted)
            SortList(found);
        append(found);
        added += static_cast<int>(found.size());
        if (Sorted && !WithDirs)
            SortNames();
    }
    return added;
}

int T_yqFileList::ReadFiles(const QString& Path, const QString& Mask)
{
    return ReadDir(Path, Mask, false, false, true);
}

int T_yqFileList::ReadFilesSorted(const QString& Path, const QString& Mask)
{
    return ReadDir(Path, Mask, true, false, true);
}

bool T_yqFileList::DeleteFiles(const QString& Mask)
{
    const QString mask = WindowsMask(Mask);
    const bool byName = !mask.contains(QLatin1Char('/'));
    bool ok = true;
    for (qsizetype i = size() - 1; i >= 0; --i) {
        const QString entry = at(i);
        if (!mask.isEmpty() && !MatchWild(byName ? NamePart(entry) : entry, mask, true))
            continue;
        if (DeleteFilesByMask(entry))
            removeAt(i);
        else
            ok = false;
    }
    return ok;
}

bool T_yqFileList::DeleteAllFiles() { return DeleteFiles(QString()); }

int T_yqFileList::IndexOfFile(const QString& Name) const
{
    if (Name.contains(QLatin1Char('/')))
        return static_cast<int>(indexOf(Name));
    for (qsizetype i = 0; i < size(); ++i)
        if (NamePart(at(i)).compare(Name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}
