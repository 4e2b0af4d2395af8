#include "platform/Disk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Magic numbers of the network file systems in statfs().f_type.
constexpr long kNfs = 0x6969;
constexpr long kSmb = 0x517B;
constexpr long kCifs = 0xFF534D42;
constexpr long kSmb2 = 0xFE534D42;
constexpr long kNcp = 0x564C;
constexpr long kAfs = 0x5346414F;
constexpr long kCoda = 0x73757245;
constexpr long kFuseSshfs = 0x65735546; // FUSE: sshfs and similar, treated as network

// The nearest existing folder of a path, so that a file not yet created
// still tells its file system.
QByteArray ExistingAncestor(const QString& path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    while (!p.isEmpty() && !QFileInfo::exists(p)) {
        const QString parent = QFileInfo(p).absolutePath();
        if (parent == p)
            break;
        p = parent;
    }
    return QFile::encodeName(p.isEmpty() ? QStringLiteral("/") : p);
}

class RealDiskInfo final : public IDiskInfo {
public:
    int64_t FreeSpace(const QString& path) override
    {
        struct statvfs st {};
        if (::statvfs(ExistingAncestor(path).constData(), &st) != 0)
            return -1;
        return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
    }
    int64_t TotalSpace(const QString& path) override
    {
        struct statvfs st {};
        if (::statvfs(ExistingAncestor(path).constData(), &st) != 0)
            return -1;
        return static_cast<int64_t>(st.f_blocks) * static_cast<int64_t>(st.f_frsize);
    }
    bool IsNetworkFileSystem(const QString& path) override
    {
        struct statfs st {};
        if (::statfs(ExistingAncestor(path).constData(), &st) != 0)
            return false;
        const long t = static_cast<long>(st.f_type);
        return t == kNfs || t == kSmb || t == kCifs || t == kSmb2 || t == kNcp || t == kAfs || t == kCoda
            || t == kFuseSshfs;
    }
};

IDiskInfo* g_provider = nullptr;

IDiskInfo& RealInstance()
{
    static RealDiskInfo info;
    return info;
}

} // namespace

QString IDiskInfo::WhyNotWritable(const QString& folder)
{
    struct statvfs st {};
    const QByteArray path = QFile::encodeName(folder);
    if (::statvfs(path.constData(), &st) == 0 && (st.f_flag & ST_RDONLY))
        return QStringLiteral("файловая система смонтирована только для чтения");
    if (::access(path.constData(), W_OK) != 0) {
        if (errno == EROFS)
            return QStringLiteral("файловая система смонтирована только для чтения");
        if (errno == EACCES || errno == EPERM)
            return QStringLiteral("нет прав на запись в папку");
    }
    return QString();
}

IDiskInfo& DiskInfo() { return g_provider ? *g_provider : RealInstance(); }

void SetDiskInfo(IDiskInfo* provider) { g_provider = provider; }

bool IsNetworkPath(const QString& path)
{
    if (path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\")))
        return true;
    return DiskInfo().IsNetworkFileSystem(path);
}

namespace {
QString g_floppyFolders[2] = {QStringLiteral("/media/floppy0"), QStringLiteral("/media/floppy1")};
} // namespace

void SetFloppyFolder(int drive, const QString& folder)
{
    if (drive == 0 || drive == 1)
        g_floppyFolders[drive] = folder.isEmpty() ? QStringLiteral("/media/floppy%1").arg(drive) : folder;
}

QString MapDrivePath(const QString& path)
{
    if (path.size() >= 2 && path[1] == QLatin1Char(':')) {
        const QChar d = path[0].toUpper();
        QString rest = path.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (d == QLatin1Char('A') || d == QLatin1Char('B'))
            return g_floppyFolders[d == QLatin1Char('B') ? 1 : 0]
                + (rest.startsWith(QLatin1Char('/')) || rest.isEmpty() ? rest : QLatin1Char('/') + rest);
    }
    return path;
}
