// The data folder lock between two processes: this test and a helper
// program that holds the lock file as it is told.

#include "db/DataFolderLock.h"
#include "platform/Disk.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

class NetworkDisk final : public IDiskInfo {
public:
    int64_t FreeSpace(const QString&) override { return 1 << 30; }
    int64_t TotalSpace(const QString&) override { return 1 << 30; }
    bool IsNetworkFileSystem(const QString&) override { return true; }
};

// The other copy of the program.
class OtherCopy {
public:
    OtherCopy(const QString& folder, bool network)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(
            QStringLiteral(QOR_LOCK_HELPER), {folder, network ? QStringLiteral("network") : QStringLiteral("local")});
        started_ = process_.waitForStarted(10000);
    }
    ~OtherCopy()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.write("quit\n");
            if (!process_.waitForFinished(10000))
                process_.kill();
        }
    }
    bool Started() const { return started_; }
    // Sends a command and answers the helper's reply ("ok" or "refused").
    QString Ask(const char* command)
    {
        process_.write(command);
        process_.write("\n");
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(10000))
                return QStringLiteral("no answer");
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }

private:
    QProcess process_;
    bool started_ = false;
};

} // namespace

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
    NetworkDisk network;
    SetDiskInfo(&network);
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
    SetDiskInfo(nullptr);
}
