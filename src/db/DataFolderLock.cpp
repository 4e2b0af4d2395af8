#include "db/DataFolderLock.h"

#include "platform/Disk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString SystemText(int err)
{
    if (err == EAGAIN || err == EACCES || err == EWOULDBLOCK)
        return QStringLiteral("файл блокировки занят другой копией программы");
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

DataFolderLock::DataFolderLock(const QString& folder) : folder_(folder) {}

DataFolderLock::~DataFolderLock() { Unlock(); }

QString DataFolderLock::FilePath() const { return QDir(folder_).filePath(FileName()); }

bool DataFolderLock::Lock(bool exclusive)
{
    const Mode wanted = exclusive ? Mode::Exclusive : Mode::Shared;
    if (fd_ >= 0 && mode_ == wanted)
        return true;
    // Copies share the file only on a network folder.
    const bool writeLock = exclusive || !IsNetworkPath(folder_);
    const QByteArray path = QFile::encodeName(FilePath());
    if (fd_ < 0) {
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0 && !writeLock && (errno == EACCES || errno == EROFS))
            fd_ = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            lastError_ = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    }
    struct flock fl {};
    fl.l_type = writeLock ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    fl.l_pid = 0;
    if (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
        lastError_ = SystemText(errno);
        // A failed change leaves the lock held before as it was.
        if (mode_ == Mode::None) {
            ::close(fd_);
            fd_ = -1;
        }
        return false;
    }
    mode_ = wanted;
    lastError_.clear();
    return true;
}

void DataFolderLock::Unlock()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    mode_ = Mode::None;
}
