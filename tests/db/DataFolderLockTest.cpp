// The data folder lock between two processes: this test and a helper
// program that holds the lock file as it is told.

#include "db/DataFolderLock.h"
#include "support/NetworkDisk.h"
#include "support/OtherCopy.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

TEST(DataFolderLock, SecondHolderIsRefusedOnALocalFolder)
{
    QTemporaryDir dir;
    OtherCopy other(dir.path(), false);
    ASSERT_TRUE(other.Started());
    ASSERT_EQ(other.Ask("shared"), QStringLiteral("ok"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("~~Shared.tmp"))));

    DataFolderLock lock(dir.path());
    EXPECT_FALSE(lock.LockShared()) << "on a local folder a second copy cannot start";
    EXPECT_FALSE(lock.LastError().isEmpty());
    EXPECT_EQ(lock.CurrentMode(), DataFolderLock::Mode::None);
    EXPECT_FALSE(lock.LockExclusive());

    ASSERT_EQ(other.Ask("unlock"), QStringLiteral("ok"));
    EXPECT_TRUE(lock.LockShared());
    EXPECT_TRUE(lock.LockExclusive()) << "the only copy may always work alone";
    EXPECT_EQ(other.Ask("shared"), QStringLiteral("refused"));
    lock.Unlock();
    EXPECT_EQ(other.Ask("exclusive"), QStringLiteral("ok"));
}

TEST(DataFolderLock, CopiesShareANetworkFolderAndARefusedUpgradeKeepsTheSharedLock)
{
    QTemporaryDir dir;
    ScopedNetworkDisk network;
    OtherCopy other(dir.path(), true);
    ASSERT_TRUE(other.Started());
    ASSERT_EQ(other.Ask("shared"), QStringLiteral("ok"));

    DataFolderLock lock(dir.path());
    EXPECT_TRUE(lock.LockShared()) << "two copies share a network data folder";
    EXPECT_FALSE(lock.LockExclusive()) << "exclusive work waits for the other copy";
    EXPECT_EQ(lock.CurrentMode(), DataFolderLock::Mode::Shared);
    // The refused copy still holds its shared lock: the other cannot go exclusive either.
    EXPECT_EQ(other.Ask("exclusive"), QStringLiteral("refused"));

    ASSERT_EQ(other.Ask("unlock"), QStringLiteral("ok"));
    EXPECT_TRUE(lock.LockExclusive());
    EXPECT_EQ(other.Ask("shared"), QStringLiteral("refused")) << "no copy starts during exclusive work";
    EXPECT_TRUE(lock.LockShared()) << "back to shared in place";
    EXPECT_EQ(other.Ask("shared"), QStringLiteral("ok"));
}
