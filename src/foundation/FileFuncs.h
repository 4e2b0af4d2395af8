#pragma once
// Paths, folders, deleting, copying and moving files.
//
// Paths use "/". The old floppy drives "A:" and "B:" may still appear in
// settings; every routine here maps them to their mount points first.

#include "platform/Exceptions.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

// Not enough free space for a copy, or a write that fell short.
QOR_DECLARE_EXCEPTION(EDiskFull, Exception)
// The target's file system cannot be reached.
QOR_DECLARE_EXCEPTION(EDriveNotExist, Exception)
// A read failed: "Read File Error  " + the names.
QOR_DECLARE_EXCEPTION(EFREadError, Exception)
// "Cannot move file %s".
QOR_DECLARE_EXCEPTION(EFCantMove, Exception)

// The trimmed path with "/" appended, unless empty or already ending in "/".
QString AddBackslash(const QString& Path);
// The trimmed path without a final "/" (the root "/" stays as it is).
QString RemoveBackslash(const QString& Path);
// The file name without its folder and without everything from its first ".".
QString ExtractFileBaseName(const QString& Path);
// True for a path on another machine: it begins with "//" or lies on a
// network file system.
bool IsUncPath(const QString& Path);

// Creates the folder with all missing parents; true when it exists afterwards.
bool EnsureDirectory(const QString& Dir);
// True when the folder does not exist or holds no file (hidden files count,
// subfolders do not).
bool DirHasNoFiles(const QString& Dir);
// True when the folder does not exist or holds no entry at all.
bool IsDirEmpty(const QString& Dir);
// Whether the file exists; a relative name is looked up in the program folder.
bool ProgramFileExists(const QString& Name);
// The file's size in bytes, or the negated system error code (-2: not found).
int64_t GetFileSizeByName(const QString& Name);
// Deletes every file (hidden ones too) whose name matches the mask's name
// part, letter case ignored; "*.*" means every file. True when every
// deletion succeeded, also when nothing matched.
bool DeleteFilesByMask(const QString& Mask);
// Deletes everything inside the folder, hidden entries included, and keeps
// the folder. Symbolic links are deleted, never followed. True when all went.
// An empty path or the root is refused (false).
bool ClearDirectory(const QString& Dir);
// Copies each file matching SourceMask into Dest's folder, named Dest's base
// name (or the mask's, or the file's own when the mask's has wildcards) plus
// the found file's extension: a table with its companion files under a new
// name. Answers the number of files copied.
int CopyFileGroup(const QString& SourceMask, const QString& Dest);

// Progress of a copy or compare: called once with the size and Flag true
// before the first block, then with the bytes done and Flag false after each
// block; setting Flag to true there stops the operation.
using TCopyProgress = std::function<void(int64_t Bytes, bool& Flag)>;

// What the copier needs of a progress bar. A progress window disables its
// bars while it runs and enables them when the clerk asks to stop.
class ICopyProgressBar {
public:
    virtual ~ICopyProgressBar() = default;
    virtual void SetRange(int64_t Min, int64_t Max) = 0;
    virtual void SetPosition(int64_t Position) = 0;
    virtual bool Enabled() const = 0;
};
// The progress callback that drives a bar and stops when the bar is enabled.
TCopyProgress BarProgress(ICopyProgressBar* Bar);

// What a copy does with an old target when the disk has room for the new
// file only without it. Keep refuses the copy (the old file may be the only
// one of its kind, as an archive is); GiveUp deletes the old target first,
// for the copies that replace their old files by design (a floppy's volume
// written again, the reserve copy).
enum class TOldTarget { Keep, GiveUp };

// Copies Source to Target, or compares them (CopyMode false). A Target that
// is an existing folder gets the source's file name.
//
// The copy checks free space first (EDiskFull "Free space low", before
// anything is written; EDriveNotExist when the space cannot be told), writes
// a temporary file beside the target and renames it over the target only
// when complete, with the source's modification time and permissions; on a
// stop or any failure the temporary file goes and an old target stays. On a
// floppy target every block is flushed to the disk at once.
//
// Answers true when the copy finished or the files are equal, false when the
// copy was stopped or the files differ. A compare stopped by the callback
// raises EAbort, so that it is never taken for "the files differ".
bool CopyOrCompareFile(const QString& Source, const QString& Target, bool CopyMode, const TCopyProgress& Progress,
    TOldTarget Old = TOldTarget::Keep);
bool CopyOneFile(const QString& Source, const QString& Target, TOldTarget Old = TOldTarget::Keep);
bool CopyFileWithBar(
    const QString& Source, const QString& Target, ICopyProgressBar* Bar, TOldTarget Old = TOldTarget::Keep);
bool CompareFileWithBar(const QString& Source, const QString& Target, ICopyProgressBar* Bar);
bool CopyFileWithProgress(const QString& Source, const QString& Target, ICopyProgressBar* Bar, bool CopyMode);

// Renames Source to Target; across file systems copies and deletes the
// source. A missing source or a source that cannot be deleted after the copy
// raises EFCantMove "Cannot move file <Source>". Answers false when the copy
// left no target (the source is then kept).
bool MoveOneFile(const QString& Source, const QString& Target);

// Open an existing file (Mode & 3: 0 read, 1 write, 2 read and write) or
// create / truncate one for reading and writing. Answer a descriptor for
// ::read/::write/::close, or -1. The old "unbuffered" access is ordinary
// access here: writers that must see a full disk at once call fdatasync.
int FileOpenUnbuffered(const QString& Name, int Mode);
int FileCreateUnbuffered(const QString& Name);

// Writes the whole file under a temporary name and renames it over Name, so
// that a crash leaves either the old or the new file. Raises EFCreateError
// when the file cannot be written, EDiskFull when the disk is full.
void WriteFileAtomic(const QString& Name, const QByteArray& Bytes);
