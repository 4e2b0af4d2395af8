#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {
QString g_override;

QString WithSlash(QString p)
{
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}
} // namespace

QString ProgramFilePath()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return QString();
    return QString::fromLocal8Bit(buf, static_cast<int>(n));
}

QString ProgramName() { return QStringLiteral("qor"); }

QString ProgramFolder()
{
    if (!g_override.isEmpty())
        return g_override;
    const QString exeDir = QFileInfo(ProgramFilePath()).absolutePath();
    if (!exeDir.isEmpty() && ::access(QFile::encodeName(exeDir).constData(), W_OK) == 0)
        return WithSlash(exeDir);
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = WithSlash(base) + QStringLiteral("qor/");
    QDir().mkpath(folder);
    return folder;
}

void SetProgramFolder(const QString& folder) { g_override = folder.isEmpty() ? QString() : WithSlash(folder); }
