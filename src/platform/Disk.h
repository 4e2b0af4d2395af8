#pragma once
// The disk seam: free space and whether a folder lies on a network file
// system. Tests install their own provider.

#include <QString>
#include <cstdint>

class IDiskInfo {
public:
    virtual ~IDiskInfo() = default;
    // Free bytes available to the program on the file system of the path;
    // -1 when it cannot be told.
    virtual int64_t FreeSpace(const QString& path) = 0;
    // Total size of that file system; -1 when it cannot be told.
    virtual int64_t TotalSpace(const QString& path) = 0;
    // True when the path lies on NFS, CIFS/SMB or another network file system.
    virtual bool IsNetworkFileSystem(const QString& path) = 0;
    // Why nothing can be written into the folder (a read-only file system,
    // no permission), in Russian; empty when it can be written.
    virtual QString WhyNotWritable(const QString& folder);
};

IDiskInfo& DiskInfo();
// Installs a provider (not owned); nullptr restores the real one.
void SetDiskInfo(IDiskInfo* provider);

// A network path begins with "//" or lies on a network file system.
bool IsNetworkPath(const QString& path);

// The old floppy drives: "A:" and "B:" (with or without a path after them)
// stand for /media/floppy0 and /media/floppy1; other paths are unchanged.
QString MapDrivePath(const QString& path);
// Where drive 0 ("A:") or 1 ("B:") is mounted; empty gives the default back.
void SetFloppyFolder(int drive, const QString& folder);
