#include "platform/Disk.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(Disk, FloppyDrivesMapToMountPoints)
{
    EXPECT_EQ(MapDrivePath(QStringLiteral("A:")), QStringLiteral("/media/floppy0"));
    EXPECT_EQ(MapDrivePath(QStringLiteral("a:\\ARC")), QStringLiteral("/media/floppy0/ARC"));
    EXPECT_EQ(MapDrivePath(QStringLiteral("B:/x")), QStringLiteral("/media/floppy1/x"));
    EXPECT_EQ(MapDrivePath(QStringLiteral("/home/a")), QStringLiteral("/home/a"));
}

TEST(Disk, LocalFolderHasSpaceAndIsNotNetwork)
{
    QTemporaryDir dir;
    EXPECT_GT(DiskInfo().FreeSpace(dir.path()), 0);
    EXPECT_GT(DiskInfo().FreeSpace(dir.path() + QStringLiteral("/not/yet/made")), 0);
    EXPECT_FALSE(IsNetworkPath(dir.path()));
    EXPECT_TRUE(IsNetworkPath(QStringLiteral("//server/share")));
}

namespace {
class AllNetwork final : public IDiskInfo {
public:
    int64_t FreeSpace(const QString&) override { return 5; }
    int64_t TotalSpace(const QString&) override { return 10; }
    bool IsNetworkFileSystem(const QString&) override { return true; }
};
} // namespace

TEST(Disk, ProviderCanBeReplaced)
{
    AllNetwork fake;
    SetDiskInfo(&fake);
    EXPECT_TRUE(IsNetworkPath(QStringLiteral("/tmp")));
    EXPECT_EQ(DiskInfo().FreeSpace(QStringLiteral("/tmp")), 5);
    SetDiskInfo(nullptr);
    EXPECT_FALSE(IsNetworkPath(QStringLiteral("/tmp")));
}
