// The progress sink without windows: the session guard, the silent sink of
// headless runs, and the file copier reporting to a sink.
#include "foundation/Progress.h"
#include "foundation/FileFuncs.h"
#include "foundation/Messages.h"
#include "support/RecordingProgress.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(ProgressSessionTest, ClosesOnEveryWayOut)
{
    RecordingProgress progress;
    {
        ProgressSession session(0, 10, 0, 5);
        EXPECT_TRUE(progress.Active());
        session->PosBar1(3);
    }
    EXPECT_FALSE(progress.Active());
    EXPECT_THROW(
        {
            ProgressSession session(1, 3);
            RaiseError(QStringLiteral("сбой"));
        },
        EAppException);
    EXPECT_FALSE(progress.Active());
    EXPECT_EQ(progress.Sessions(), 2);
    EXPECT_EQ(progress.Log(), QStringList({"Init 0 0 10 0 5", "Pos 1 3", "Close", "Init 0 1 3 0 0", "Close"}));
}

TEST(ProgressSessionTest, StopAtAStepEndsTheOperationSilently)
{
    RecordingProgress progress;
    progress.StopAtStep(4);
    int done = 0;
    EXPECT_THROW(
        {
            ProgressSession session(1, 100);
            for (int i = 1; i <= 100; ++i) {
                session.CheckStopped();
                session->IncPos1();
                ++done;
            }
        },
        EAbort);
    EXPECT_EQ(done, 4);
    EXPECT_EQ(progress.Value(1), 4) << "IncPos starts at the minimum";
    EXPECT_FALSE(progress.Active());
}

TEST(ProgressSessionTest, SilentSinkKeepsTheRules)
{
    TSilentProgress silent;
    ScopedProgress install(&silent);
    ProgressSession session(0, 10);
    EXPECT_THROW(ProgressSession(0, 5), EAppException) << "one operation at a time";
    EXPECT_TRUE(silent.Active());
    silent.SetStopped(true);
    EXPECT_THROW(session.CheckStopped(), EAbort);
}

class CopyToSink : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        WriteFileBytes(Source(), QByteArray(200000, 'q'));
    }
    QString Source() const { return dir.filePath(QStringLiteral("SR.DB")); }
    QString Target() const { return dir.filePath(QStringLiteral("SR.COPY")); }
    QTemporaryDir dir;
    RecordingProgress progress;
};

TEST_F(CopyToSink, TheByteRangeIsScaledOntoTheBar)
{
    ProgressSession session(0, 3, 0, 1000);
    TProgressCopyBar bar(progress, 2);
    ASSERT_TRUE(CopyFileWithBar(Source(), Target(), &bar));
    EXPECT_TRUE(progress.Log().contains("Init 2 0 0 0 1000"));
    EXPECT_EQ(progress.Log().last(), "Pos 2 1000");
    EXPECT_EQ(QFile(Target()).size(), 200000);
}

TEST_F(CopyToSink, TheClerksStopEndsTheCopyWithoutATarget)
{
    ProgressSession session(0, 3, 0, 1000);
    progress.StopAtStep(3);
    TProgressCopyBar bar(progress, 2);
    EXPECT_FALSE(CopyFileWithBar(Source(), Target(), &bar));
    EXPECT_FALSE(QFile::exists(Target()));
}

} // namespace
