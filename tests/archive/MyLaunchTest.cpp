#include "archive/MyLaunch.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Runs the event loop until the launcher reports the end (or 10 s pass).
int WaitForFinished(Tyq_Launcher& launcher)
{
    int calls = 0;
    QEventLoop loop;
    launcher.OnFinished = [&](Tyq_Launcher* sender) {
        EXPECT_EQ(sender, &launcher);
        ++calls;
        QTimer::singleShot(1100, &loop, &QEventLoop::quit); // a second tick must not report again
    };
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return calls;
}

} // namespace

TEST(MyLaunchTest, ReportsTheEndOnceWithTheExitCode)
{
    struct Row {
        const char* name;
        QString parameters;
        int exitCode;
    };
    for (const Row& row :
        {Row{"success", QStringLiteral("-c true"), 0}, Row{"exit 3", QStringLiteral("-c \"exit 3\""), 3},
            Row{"killed", QStringLiteral("-c \"kill -9 $$\""), 137}}) {
        SCOPED_TRACE(row.name);
        Tyq_Launcher launcher;
        launcher.ProgramName = QStringLiteral("/bin/sh");
        launcher.Parameters = row.parameters;
        launcher.Launch();
        EXPECT_EQ(WaitForFinished(launcher), 1);
        EXPECT_TRUE(launcher.HasExited());
        EXPECT_FALSE(launcher.Running());
        EXPECT_EQ(launcher.ExitCode(), row.exitCode);
    }
}

TEST(MyLaunchTest, AMissingProgramRaisesLaunchError2)
{
    Tyq_Launcher launcher;
    launcher.ProgramName = QStringLiteral("/nonexistent/archiver");
    try {
        launcher.Launch();
        FAIL() << "no exception";
    } catch (const ELaunchError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("LaunchError: 2"));
        EXPECT_EQ(e.ErrorCode(), 2);
    }
    EXPECT_TRUE(launcher.HasExited());
    bool fired = false;
    launcher.OnFinished = [&](Tyq_Launcher*) { fired = true; };
    QEventLoop loop;
    QTimer::singleShot(1300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(fired);
}

TEST(MyLaunchTest, SplitsQuotedParametersRunsInStartDirAndKeepsOutput)
{
    QTemporaryDir dir;
    Tyq_Launcher launcher;
    launcher.ProgramName = QStringLiteral("/bin/sh");
    launcher.Parameters = QStringLiteral("-c \"pwd > out.txt; echo $#:$1; echo err >&2\" \"zero arg\" \"one  arg\"");
    launcher.StartDir = dir.path();
    launcher.Launch();
    QDeadlineTimer deadline(10000);
    while (launcher.Running() && !deadline.hasExpired())
        QEventLoop().processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(launcher.ExitCode(), 0);
    QFile out(dir.filePath(QStringLiteral("out.txt")));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(out.readAll()).trimmed(), QDir(dir.path()).canonicalPath());
    EXPECT_EQ(launcher.Output(), QStringLiteral("1:one arg\nerr\n"));
}

TEST(MyLaunchTest, TerminateEndsARunningProgram)
{
    Tyq_Launcher launcher;
    launcher.ProgramName = QStringLiteral("/bin/sleep");
    launcher.Parameters = QStringLiteral("30");
    launcher.Launch();
    EXPECT_TRUE(launcher.Running());
    EXPECT_EQ(launcher.ExitCode(), -1);
    launcher.Terminate();
    EXPECT_TRUE(launcher.HasExited());
    EXPECT_NE(launcher.ExitCode(), 0);
    EXPECT_NE(launcher.ExitCode(), -1);
}

TEST(MyLaunchTest, ShowModesMapToTheShellCommands)
{
    EXPECT_EQ(Tyq_Launcher::ShowCommand(TShowMode::smNormal), 1);
    EXPECT_EQ(Tyq_Launcher::ShowCommand(TShowMode::smMaximized), 3);
    EXPECT_EQ(Tyq_Launcher::ShowCommand(TShowMode::smMinimized), 2);
}
