// The call hook the crash harness counts: writes are calls, reads are not,
// and a table creation cut short at any call leaves no table behind, only
// nothing or an empty file.

#include "DbTestSupport.h"

#include "db/CallHook.h"
#include "db/Transaction.h"

#include <QFileInfo>

namespace {

QList<DbCall> g_calls;
int g_stopAt = 0;
struct Stopped {};

void Record(DbCall call)
{
    g_calls << call;
    if (int(g_calls.size()) == g_stopAt)
        throw Stopped{};
}

class CallHookTest : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        g_calls.clear();
        g_stopAt = 0;
        SetDbCallHook(Record);
    }
    void TearDown() override
    {
        SetDbCallHook(nullptr);
        DataFolderTest::TearDown();
    }
};

TEST_F(CallHookTest, WritesAreCountedReadsAreNot)
{
    SetDbCallHook(nullptr);
    Tables::Create(PostDef());
    Cursor post(QStringLiteral("POST"));
    post.Open();
    SetDbCallHook(Record);
    {
        Transaction tx({&post});
        post.Append();
        post.FieldByName(QStringLiteral("NUM")).SetInteger(1);
        post.Post();
        tx.Commit();
    }
    EXPECT_EQ(g_calls, (QList<DbCall>{DbCall::Exec, DbCall::Step, DbCall::Exec})) << "BEGIN, INSERT, COMMIT";
    g_calls.clear();
    for (post.First(); !post.Eof(); post.Next()) {}
    EXPECT_EQ(post.RecordCount(), 1);
    EXPECT_TRUE(g_calls.isEmpty()) << "reading is no call";
    post.Close();
    Tables::Rename(QStringLiteral("POST"), QStringLiteral("POST2"));
    Tables::Delete(QStringLiteral("POST2"));
    EXPECT_EQ(g_calls, (QList<DbCall>{DbCall::Rename, DbCall::Remove}));
}

TEST_F(CallHookTest, CreationCutShortAtAnyCallLeavesNothingOrAnEmptyFile)
{
    Tables::Create(VvodDef());
    const int calls = int(g_calls.size());
    ASSERT_GT(calls, 3);
    EXPECT_EQ(g_calls.first(), DbCall::CreateFile);
    Tables::Delete(QStringLiteral("VVOD"));
    for (int n = 1; n < calls; ++n) {
        SCOPED_TRACE(n);
        g_calls.clear();
        g_stopAt = n;
        EXPECT_THROW(Tables::Create(VvodDef()), Stopped);
        const QFileInfo file(Tables::FilePath(QStringLiteral("VVOD")));
        EXPECT_TRUE(file.exists());
        EXPECT_EQ(file.size(), 0) << "a header without its definition would stop every later start";
        QFile::remove(file.filePath());
        QFile::remove(file.filePath() + QStringLiteral("-journal"));
    }
}

} // namespace
