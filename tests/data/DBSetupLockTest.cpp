// The data folder lock at start-up against another copy of the program (a
// second process): the first shared lock's wait, its message, and the
// exclusive work of the upgrade on a network folder.

#include "data/DBSetup.h"
#include "data/Globals.h"
#include "db/Tables.h"
#include "foundation/IniPersist.h"
#include "platform/Clock.h"
#include "support/DataFolderFixture.h"
#include "support/NetworkDisk.h"
#include "support/OtherCopy.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QDir>

#include <optional>

namespace {

// Every look at the tick count moves it on, so that waits end at once.
class HurryingClock final : public IClock {
public:
    explicit HurryingClock(uint32_t step) : step_(step) {}
    TDateTime Now() override { return 45366.5; }
    uint32_t TickCount() override { return tick_ += step_; }

private:
    uint32_t step_;
    uint32_t tick_ = 1000;
};

// A data folder made by the start-up code; HoldByOtherCopy has another copy
// of the program hold it first.
class DBSetupLock : public ::testing::Test {
protected:
    // The alias written, the folder made and its shared lock taken by the
    // other copy; on a network file system when asked.
    void HoldByOtherCopy(bool network)
    {
        if (network)
            networkDisk.emplace();
        WriteDataAlias(fx.DataPath());
        ASSERT_TRUE(QDir().mkpath(fx.DataPath()));
        other.emplace(fx.DataPath(), network);
        ASSERT_TRUE(other->Started());
        ASSERT_EQ(other->Ask("shared"), QStringLiteral("ok"));
    }

    std::optional<ScopedNetworkDisk> networkDisk; // outlives the data base's shutdown
    DataFolderFixture fx;
    std::optional<OtherCopy> other;
};

TEST_F(DBSetupLock, SecondCopyOnALocalFolderGivesUpAfterTheWaitWithTheMessage)
{
    ASSERT_NO_FATAL_FAILURE(HoldByOtherCopy(false));

    HurryingClock clock(3000);
    SetClock(&clock);
    RecordingProgress progress;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QString())
        .Details(QStringLiteral("Невозможно подключение к базе данных\r\nБаза занята другим пользователем или "
                                "возможна фатальная ошибка\r\n\r\nОшибка: файл блокировки занят другой копией "
                                "программы\r\nПрекращение работы"));
    EXPECT_THROW(fx.StartUp(), ProgramExit);
    SetClock(&fx.Clock());

    const QStringList& log = progress.Log();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log[0], QStringLiteral("Init 0 0 20000 0 0")) << "shown from the second try on";
    EXPECT_EQ(log[1], QStringLiteral("Mess 0 Подключение к базе данных")) << "the window's own caption";
    EXPECT_EQ(log[2], QStringLiteral("Mess 1 Ожидание подключения к базе данных"));
    EXPECT_EQ(log[3], QStringLiteral("Pos 1 3000"));
    EXPECT_EQ(log.last(), QStringLiteral("Close")) << "closed before the message";
    EXPECT_GE(progress.Steps(), 6);
    EXPECT_TRUE(FirstConnection());
}

TEST_F(DBSetupLock, StopDuringTheWaitEndsItAtOnceWithoutAnotherMessage)
{
    ASSERT_NO_FATAL_FAILURE(HoldByOtherCopy(false));

    // The clerk presses "Стоп" once the window shows and answers its question.
    class StoppingClock final : public IClock {
    public:
        TDateTime Now() override { return 45366.5; }
        uint32_t TickCount() override
        {
            if (!asked_ && Progress().Active()) {
                asked_ = true;
                if (AskAttention(QStringLiteral("Прервать операцию ?"), true))
                    Progress().SetStopped(true);
            }
            return tick_ += 1000;
        }

    private:
        bool asked_ = false;
        uint32_t tick_ = 0;
    } clock;
    SetClock(&clock);
    RecordingProgress progress;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Attention).Details(QStringLiteral("Прервать операцию ?")).Yes();
    EXPECT_THROW(fx.StartUp(), EAbort);
    SetClock(&fx.Clock());
    EXPECT_EQ(msgs.Log().size(), 1) << "no second message";
    EXPECT_LE(progress.Steps(), 2) << "no wait after the stop";
    EXPECT_FALSE(progress.Active());
    EXPECT_TRUE(FirstConnection());
    EXPECT_EQ(other->Ask("exclusive"), QStringLiteral("ok")) << "this copy holds nothing";
}

TEST_F(DBSetupLock, CopyThatLetsGoDuringTheWaitIsJoined)
{
    ASSERT_NO_FATAL_FAILURE(HoldByOtherCopy(false));

    // The other copy ends while this one waits.
    class ReleasingClock final : public IClock {
    public:
        explicit ReleasingClock(OtherCopy& other) : other_(other) {}
        TDateTime Now() override { return 45366.5; }
        uint32_t TickCount() override
        {
            tick_ += 1000;
            if (tick_ == 4000)
                other_.Ask("unlock");
            return tick_;
        }

    private:
        OtherCopy& other_;
        uint32_t tick_ = 0;
    } clock(*other);
    SetClock(&clock);
    RecordingProgress progress;
    ScriptedMessages msgs;
    fx.StartUp();
    SetClock(&fx.Clock());
    EXPECT_FALSE(FirstConnection());
    EXPECT_FALSE(progress.Active());
    EXPECT_EQ(other->Ask("shared"), QStringLiteral("refused")) << "this copy holds the folder now";
}

TEST_F(DBSetupLock, NetworkCopiesShareButTheUpgradeNeedsTheFolderAlone)
{
    ASSERT_NO_FATAL_FAILURE(HoldByOtherCopy(true));

    ScriptedMessages msgs;
    fx.StartUp();
    EXPECT_TRUE(DataPathIsNetwork());
    EXPECT_FALSE(FirstConnection()) << "two shared locks on a network folder";

    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral(
            "Базы заняты другим пользователем\r\nПреобразование возможно только в режиме монопольного доступа"));
    EXPECT_THROW(OpenDataBase(), EAbort);
    EXPECT_FALSE(LockDataBaseError().isEmpty());
    EXPECT_EQ(Tables::List(fx.DataPath()), QStringList()) << "nothing was created";
    // The refused upgrade kept the shared lock: the other copy cannot work alone.
    EXPECT_EQ(other->Ask("exclusive"), QStringLiteral("refused"));

    ASSERT_EQ(other->Ask("unlock"), QStringLiteral("ok"));
    EXPECT_TRUE(LockDataBaseExclusive());
    EXPECT_EQ(other->Ask("shared"), QStringLiteral("refused"));
    EXPECT_TRUE(LockDataBaseShared());
    EXPECT_EQ(other->Ask("shared"), QStringLiteral("ok"));
}

TEST_F(DBSetupLock, LockFollowsTheRulesOfTheModes)
{
    fx.OpenDataBase(false);
    EXPECT_TRUE(LockDataBase(false)) << "the mode held already";
    EXPECT_TRUE(LockDataBaseExclusive()) << "the only copy may work alone";
    EXPECT_TRUE(LockDataBaseShared());

    other.emplace(fx.DataPath(), false);
    ASSERT_TRUE(other->Started());
    EXPECT_EQ(other->Ask("shared"), QStringLiteral("refused")) << "a local folder is held for this copy alone";
}

} // namespace
