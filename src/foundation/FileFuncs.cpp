#include "foundation/FileFuncs.h"

#include "foundation/StrFuncs.h"
#include "foundation/SysFuncs.h"
#include "platform/Clock.h"
#include "platform/Disk.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QByteArray Enc(const QString& path) { return QFile::encodeName(path); }

QString Reason(int code) { return GetLastErrorText(code); }

// A descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd)
    {
        Close();
        fd_ = fd;
    }
    bool IsOpen() const { return fd_ >= 0; }
    int Close()
    {
        int rc = 0;
        if (fd_ >= 0)
            rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

struct Entry {
    QString name;
    bool isDir = false; // a real folder, not a link to one
    bool isDirTarget = false; // a folder after following links
};

// The entries of a folder without "." and "..", sorted by name so that every
// walk is repeatable. False when the folder cannot be read.
bool ListDir(const QString& dir, std::vector<Entry>& out)
{
    out.clear();
    DIR* d = ::opendir(Enc(dir.isEmpty() ? QStringLiteral(".") : dir).constData());
    if (!d)
        return false;
    const QString prefix = dir.isEmpty() ? QString() : AddBackslash(dir);
    while (const dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        Entry entry;
        entry.name = QFile::decodeName(e->d_name);
        const QByteArray full = Enc(prefix + entry.name);
        struct stat st {};
        if (::lstat(full.constData(), &st) == 0) {
            entry.isDir = S_ISDIR(st.st_mode);
            entry.isDirTarget = entry.isDir;
            if (S_ISLNK(st.st_mode) && ::stat(full.constData(), &st) == 0)
                entry.isDirTarget = S_ISDIR(st.st_mode);
        }
        out.push_back(entry);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return true;
}

// Splits "dir/mask" into the folder ("" for the current one) and the name
// mask; the old "*.*" (every file, with or without a dot) becomes "*".
void SplitMask(const QString& mask, QString& dir, QString& name)
{
    const qsizetype slash = mask.lastIndexOf(QLatin1Char('/'));
    dir = slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : mask.left(slash));
    name = mask.mid(slash + 1);
    if (name == QLatin1String("*.*"))
        name = QStringLiteral("*");
}

QString Join(const QString& dir, const QString& name) { return dir.isEmpty() ? name : AddBackslash(dir) + name; }

QString FileExt(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

bool HasWildcards(const QString& s) { return s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')); }

bool IsFloppyPath(const QString& path)
{
    const QString p = path.trimmed();
    if (p.size() >= 2 && p[1] == QLatin1Char(':')) {
        const QChar d = p[0].toUpper();
        if (d == QLatin1Char('A') || d == QLatin1Char('B'))
            return true;
    }
    return p.startsWith(QLatin1String("/media/floppy0")) || p.startsWith(QLatin1String("/media/floppy1"));
}

QString Absolute(const QString& path) { return QFileInfo(MapDrivePath(path.trimmed())).absoluteFilePath(); }

// The file a copy or compare works on: an existing folder gets the source's
// file name.
QString ResolveTarget(const QString& source, const QString& target)
{
    QString t = RemoveBackslash(Absolute(target));
    if (QFileInfo(t).isDir())
        t = AddBackslash(t) + QFileInfo(MapDrivePath(source)).fileName();
    return t;
}

// Reads until the buffer is full or the file ends; -1 on an error.
ssize_t ReadFull(int fd, char* buf, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buf + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Writes all bytes; false (with errno, 0 for a short write) on failure.
bool WriteAll(int fd, const char* buf, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, buf + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = 0;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

[[noreturn]] void RaiseWriteFailure(const QString& target, int code)
{
    if (code == 0 || code == ENOSPC || code == EDQUOT || code == EFBIG)
        throw EDiskFull(QStringLiteral("Недостаточно места на диске, файл не записан:\r\n") + target);
    throw EDiskFull(QStringLiteral("Write File Error  %1. %2").arg(target, Reason(code)));
}

// A new file beside the final one. It is removed unless Commit renamed it
// over the final name.
class TempFile {
public:
    explicit TempFile(const QString& finalName) : final_(finalName)
    {
        const QFileInfo fi(finalName);
        QByteArray pattern
            = Enc(AddBackslash(fi.absolutePath()) + QStringLiteral(".~") + fi.fileName() + QStringLiteral(".XXXXXX"));
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            const int code = errno;
            throw EFOpenError(QStringLiteral("Cannot create file \"%1\". %2").arg(finalName, Reason(code)));
        }
        fd_.Reset(fd);
        name_ = pattern;
    }
    ~TempFile() { Discard(); }
    // Removes the file unless committed. Failure paths call it before the
    // exception leaves: one that nobody catches ends the program without
    // running the destructors.
    void Discard()
    {
        fd_.Close();
        if (!committed_ && !name_.isEmpty())
            ::unlink(name_.constData());
        name_.clear();
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int Get() const { return fd_.Get(); }

    // Flushes to the disk, closes and renames over the final name.
    void Commit()
    {
        if (::fsync(fd_.Get()) != 0)
            RaiseWriteFailure(final_, errno);
        if (fd_.Close() != 0)
            RaiseWriteFailure(final_, errno);
        if (::rename(name_.constData(), Enc(final_).constData()) != 0) {
            const int code = errno;
            throw EFOpenError(QStringLiteral("Cannot create file \"%1\". %2").arg(final_, Reason(code)));
        }
        committed_ = true;
    }

private:
    QString final_;
    QByteArray name_;
    Fd fd_;
    bool committed_ = false;
};

} // namespace

QString AddBackslash(const QString& Path)
{
    const QString p = Path.trimmed();
    if (p.isEmpty() || p.endsWith(QLatin1Char('/')))
        return p;
    return p + QLatin1Char('/');
}

QString RemoveBackslash(const QString& Path)
{
    QString p = Path.trimmed();
    if (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

QString ExtractFileBaseName(const QString& Path)
{
    QString name = Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool IsUncPath(const QString& Path) { return IsNetworkPath(MapDrivePath(Path)); }

bool EnsureDirectory(const QString& Dir)
{
    const QString p = Absolute(Dir);
    return QFileInfo(p).isDir() || QDir().mkpath(p);
}

bool DirHasNoFiles(const QString& Dir)
{
    std::vector<Entry> entries;
    if (!ListDir(MapDrivePath(Dir.trimmed()), entries))
        return true;
    return std::none_of(entries.begin(), entries.end(), [](const Entry& e) { return !e.isDirTarget; });
}

bool IsDirEmpty(const QString& Dir)
{
    std::vector<Entry> entries;
    if (!ListDir(MapDrivePath(Dir.trimmed()), entries))
        return true;
    return entries.empty();
}

bool ProgramFileExists(const QString& Name)
{
    QString p = MapDrivePath(Name);
    if (!p.startsWith(QLatin1Char('/')))
        p = ProgramFolder() + p;
    return QFileInfo(p).isFile();
}

int64_t GetFileSizeByName(const QString& Name)
{
    struct stat st {};
    if (::stat(Enc(MapDrivePath(Name)).constData(), &st) != 0)
        return -static_cast<int64_t>(errno);
    return S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
}

bool DeleteFilesByMask(const QString& Mask)
{
    QString dir, name;
    SplitMask(MapDrivePath(Mask.trimmed()), dir, name);
    if (name.isEmpty())
        return true;
    std::vector<Entry> entries;
    if (!ListDir(dir, entries))
        return true;
    bool ok = true;
    for (const Entry& e : entries) {
        if (e.isDir || !MatchWild(e.name, name, true))
            continue;
        if (::unlink(Enc(Join(dir, e.name)).constData()) != 0)
            ok = false;
    }
    return ok;
}

bool ClearDirectory(const QString& Dir)
{
    const QString dir = RemoveBackslash(MapDrivePath(Dir.trimmed()));
    if (dir.isEmpty() || QFileInfo(dir).absoluteFilePath() == QLatin1String("/"))
        return false;
    std::vector<Entry> entries;
    if (!ListDir(dir, entries))
        return !QFileInfo::exists(dir);
    bool ok = true;
    for (const Entry& e : entries) {
        const QString path = Join(dir, e.name);
        if (e.isDir) {
            if (!ClearDirectory(path) || ::rmdir(Enc(path).constData()) != 0)
                ok = false;
        } else if (::unlink(Enc(path).constData()) != 0) {
            ok = false;
        }
    }
    return ok;
}

int CopyFileGroup(const QString& SourceMask, const QString& Dest)
{
    QString dir, name;
    SplitMask(MapDrivePath(SourceMask.trimmed()), dir, name);
    const QString dest = MapDrivePath(Dest.trimmed());
    const qsizetype slash = dest.lastIndexOf(QLatin1Char('/'));
    const QString destDir = slash < 0 ? QString() : dest.left(slash + 1);
    const QString destBase = ExtractFileBaseName(dest);
    const QString maskBase = ExtractFileBaseName(name);

    std::vector<Entry> entries;
    if (name.isEmpty() || !ListDir(dir, entries))
        return 0;
    // The list is taken before copying, so that new copies that match the
    // mask are not copied again.
    int copied = 0;
    for (const Entry& e : entries) {
        if (e.isDirTarget || !MatchWild(e.name, name, true))
            continue;
        QString base = destBase;
        if (base.isEmpty())
            base = !maskBase.isEmpty() && !HasWildcards(maskBase) ? maskBase : ExtractFileBaseName(e.name);
        CopyOneFile(Join(dir, e.name), destDir + base + FileExt(e.name));
        ++copied;
    }
    return copied;
}

TCopyProgress BarProgress(ICopyProgressBar* Bar)
{
    if (!Bar)
        return nullptr;
    return [Bar](int64_t bytes, bool& flag) {
        if (flag) {
            Bar->SetRange(0, bytes);
            Bar->SetPosition(0);
            return;
        }
        Bar->SetPosition(bytes);
        uint32_t last = 0;
        ProcessMessagesEvery(last, 0);
        flag = Bar->Enabled();
    };
}

namespace {

bool CopyOrCompareInto(const QString& Source, const QString& Target, bool CopyMode, const TCopyProgress& Progress,
    TOldTarget Old, std::unique_ptr<TempFile>& temp)
{
    const QString source = Absolute(Source);
    const QString target = ResolveTarget(Source, Target);
    const bool floppy = IsFloppyPath(Target) || IsFloppyPath(target);

    Fd in(::open(Enc(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat src {};
    if (!in.IsOpen() || ::fstat(in.Get(), &src) != 0 || S_ISDIR(src.st_mode)) {
        const int code = in.IsOpen() ? EISDIR : errno;
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(source, Reason(code)));
    }
    const int64_t size = src.st_size;

    struct stat old {};
    const bool targetExists = ::stat(Enc(target).constData(), &old) == 0;
    const bool sameFile = targetExists && old.st_dev == src.st_dev && old.st_ino == src.st_ino;

    Fd out;
    if (CopyMode) {
        // A file copied onto itself already is its copy; going on would
        // destroy it when the old target is deleted to make room.
        if (sameFile)
            return true;
        const int64_t freeSpace = DiskInfo().FreeSpace(QFileInfo(target).absolutePath());
        if (freeSpace < 0)
            throw EDriveNotExist(target);
        const int64_t oldSize = targetExists && S_ISREG(old.st_mode) ? static_cast<int64_t>(old.st_size) : 0;
        if (freeSpace < size) {
            if (freeSpace + oldSize < size || Old == TOldTarget::Keep)
                throw EDiskFull(QStringLiteral("Free space low"));
            // Room for one copy only, and the caller gives the old one up.
            if (::unlink(Enc(target).constData()) != 0) {
                const int code = errno;
                throw EFOpenError(QStringLiteral("Cannot create file \"%1\". %2").arg(target, Reason(code)));
            }
        }
        temp = std::make_unique<TempFile>(target);
    } else {
        out.Reset(::open(Enc(target).constData(), O_RDONLY | O_CLOEXEC));
        if (!out.IsOpen()) {
            const int code = errno;
            throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(target, Reason(code)));
        }
        struct stat tst {};
        if (::fstat(out.Get(), &tst) != 0 || tst.st_size != src.st_size)
            return false;
    }

    int64_t block = 16384;
    if (Progress) {
        if (size < 65536)
            block = 2048;
        else if (size < 131072)
            block = 4096;
    }
    if (Progress) {
        bool start = true;
        Progress(size, start);
    }

    std::vector<char> buf(static_cast<size_t>(block));
    std::vector<char> other(CopyMode ? 0 : static_cast<size_t>(block));
    int64_t done = 0;
    uint32_t lastTick = GetTickCount();
    for (;;) {
        const ssize_t n = ReadFull(in.Get(), buf.data(), buf.size());
        if (n < 0)
            throw EFREadError(QStringLiteral("Read File Error  %1").arg(source));
        if (CopyMode) {
            if (!WriteAll(temp->Get(), buf.data(), static_cast<size_t>(n)))
                RaiseWriteFailure(target, errno);
            if (floppy && ::fdatasync(temp->Get()) != 0)
                RaiseWriteFailure(target, errno);
        } else {
            const ssize_t m = ReadFull(out.Get(), other.data(), static_cast<size_t>(n));
            if (m != n)
                throw EFREadError(QStringLiteral("Read File Error  %1 %2").arg(source, target));
            if (std::memcmp(buf.data(), other.data(), static_cast<size_t>(n)) != 0)
                return false;
        }
        done += n;
        if (Progress) {
            bool stop = false;
            Progress(done, stop);
            if (stop) {
                if (!CopyMode)
                    Abort();
                return false; // the temporary file goes with `temp`
            }
        }
        ProcessMessagesEvery(lastTick, 50);
        if (n < block)
            break;
    }

    if (CopyMode) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, src.st_mtim};
        ::futimens(temp->Get(), times);
        ::fchmod(temp->Get(), src.st_mode & 07777);
        temp->Commit();
    }
    return true;
}

} // namespace

bool CopyOrCompareFile(
    const QString& Source, const QString& Target, bool CopyMode, const TCopyProgress& Progress, TOldTarget Old)
{
    std::unique_ptr<TempFile> temp;
    try {
        return CopyOrCompareInto(Source, Target, CopyMode, Progress, Old, temp);
    } catch (...) {
        if (temp)
            temp->Discard();
        throw;
    }
}

bool CopyOneFile(const QString& Source, const QString& Target, TOldTarget Old)
{
    return CopyOrCompareFile(Source, Target, true, nullptr, Old);
}

bool CopyFileWithBar(const QString& Source, const QString& Target, ICopyProgressBar* Bar, TOldTarget Old)
{
    return CopyOrCompareFile(Source, Target, true, BarProgress(Bar), Old);
}

bool CompareFileWithBar(const QString& Source, const QString& Target, ICopyProgressBar* Bar)
{
    return CopyOrCompareFile(Source, Target, false, BarProgress(Bar));
}

bool CopyFileWithProgress(const QString& Source, const QString& Target, ICopyProgressBar* Bar, bool CopyMode)
{
    return CopyOrCompareFile(Source, Target, CopyMode, BarProgress(Bar));
}

bool MoveOneFile(const QString& Source, const QString& Target)
{
    const QString source = Absolute(Source);
    const QString target = Absolute(Target);
    if (::rename(Enc(source).constData(), Enc(target).constData()) == 0)
        return true;
    struct stat st {};
    if (::lstat(Enc(source).constData(), &st) != 0)
        throw EFCantMove(QStringLiteral("Cannot move file %1").arg(Source));
    CopyOneFile(source, target);
    if (!QFileInfo::exists(ResolveTarget(source, target)))
        return false;
    if (::unlink(Enc(source).constData()) != 0)
        throw EFCantMove(QStringLiteral("Cannot move file %1").arg(Source));
    return true;
}

int FileOpenUnbuffered(const QString& Name, int Mode)
{
    int flags = O_RDONLY;
    if ((Mode & 3) == 1)
        flags = O_WRONLY;
    else if ((Mode & 3) == 2)
        flags = O_RDWR;
    return ::open(Enc(MapDrivePath(Name)).constData(), flags | O_CLOEXEC);
}

int FileCreateUnbuffered(const QString& Name)
{
    return ::open(Enc(MapDrivePath(Name)).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

void WriteFileAtomic(const QString& Name, const QByteArray& Bytes)
{
    const QString name = Absolute(Name);
    struct stat old {};
    const bool existed = ::stat(Enc(name).constData(), &old) == 0;
    std::unique_ptr<TempFile> temp;
    try {
        temp = std::make_unique<TempFile>(name);
    } catch (const EFOpenError& e) {
        throw EFCreateError(e.Message());
    }
    try {
        if (!WriteAll(temp->Get(), Bytes.constData(), static_cast<size_t>(Bytes.size())))
            RaiseWriteFailure(name, errno);
        // A replaced file keeps its permissions; a new one gets the usual ones.
        if (existed) {
            ::fchmod(temp->Get(), old.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(temp->Get(), 0666 & ~mask);
        }
        temp->Commit();
    } catch (const EFOpenError& e) {
        temp->Discard();
        throw EFCreateError(e.Message());
    } catch (...) {
        temp->Discard();
        throw;
    }
}
