#pragma once
// A disk seam whose free space under one folder follows a rule of the test
// (elsewhere there is plenty), installed for the life of the object.

#include "platform/Disk.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <utility>

class FolderDisk final : public IDiskInfo {
public:
    FolderDisk(const QString& folder, std::function<int64_t()> free)
        : folder_(QDir::cleanPath(folder)), free_(std::move(free))
    {
        SetDiskInfo(this);
    }
    ~FolderDisk() override { SetDiskInfo(nullptr); }
    FolderDisk(const FolderDisk&) = delete;
    FolderDisk& operator=(const FolderDisk&) = delete;

    int64_t FreeSpace(const QString& path) override
    {
        return QDir::cleanPath(path).startsWith(folder_) ? free_() : int64_t(1) << 40;
    }
    int64_t TotalSpace(const QString& path) override { return FreeSpace(path); }
    bool IsNetworkFileSystem(const QString&) override { return false; }

    // The bytes of the files in a folder, its subfolders not counted.
    static int64_t Bytes(const QString& folder)
    {
        int64_t bytes = 0;
        for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
            bytes += f.size();
        return bytes;
    }

private:
    QString folder_;
    std::function<int64_t()> free_;
};
