#pragma once
// A disk seam that puts every folder on a network file system.

#include "platform/Disk.h"

class NetworkDisk final : public IDiskInfo {
public:
    int64_t FreeSpace(const QString&) override { return 1 << 30; }
    int64_t TotalSpace(const QString&) override { return 1 << 30; }
    bool IsNetworkFileSystem(const QString&) override { return true; }
};

// Installs a network disk for the life of the object.
class ScopedNetworkDisk {
public:
    ScopedNetworkDisk() { SetDiskInfo(&disk_); }
    ~ScopedNetworkDisk() { SetDiskInfo(nullptr); }
    ScopedNetworkDisk(const ScopedNetworkDisk&) = delete;
    ScopedNetworkDisk& operator=(const ScopedNetworkDisk&) = delete;

private:
    NetworkDisk disk_;
};
