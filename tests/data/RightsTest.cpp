#include "data/Rights.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

namespace {

TEST(Rights, EveryOperationIsAllowedSilently)
{
    ScriptedMessages msgs; // fails the test on any message
    for (TOperation op : AllOperations) {
        SCOPED_TRACE(int(op));
        EXPECT_TRUE(IsOperationAllowed(op));
        EXPECT_TRUE(CheckOperationAllowed(op));
        EXPECT_NO_THROW(RequireOperation(op));
    }
    EXPECT_TRUE(msgs.Log().isEmpty());
    EXPECT_EQ(std::size(AllOperations), 26u);
}

class RefusingPolicy : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRightsPolicy([this](quint8 op) {
            asked.append(op);
            return op != opDeleteEmployee;
        });
    }
    void TearDown() override { SetRightsPolicy({}); }
    QList<int> asked;
};

TEST_F(RefusingPolicy, RequireOperationShowsOneMessageThenAbortsSilently)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Пункт не доступен для данного пользователя"));
    EXPECT_NO_THROW(RequireOperation(opNewEmployee));
    EXPECT_THROW(RequireOperation(opDeleteEmployee), EAbort);
    EXPECT_EQ(msgs.Log().size(), 1);
    EXPECT_EQ(asked, (QList<int>{opNewEmployee, opDeleteEmployee}));
}

TEST_F(RefusingPolicy, CheckShowsTheCallersTextAndAnswersFalse)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Удаление запрещено"))
        .Details(QStringLiteral("Спросите администратора"));
    EXPECT_FALSE(CheckOperationAllowed(opDeleteEmployee, QStringLiteral("Удаление запрещено|Спросите администратора")));
    EXPECT_FALSE(IsOperationAllowed(opDeleteEmployee));
    EXPECT_EQ(msgs.Log().size(), 1);
}

} // namespace
