// The clerks' list: the "any clerk" entry, names from the cards, new entries.

#include "data/UserList.h"
#include "data/DatModl.h"
#include "support/DataFolderFixture.h"

#include <gtest/gtest.h>

namespace {

class UserListTest : public AppContextTest {};

TEST_F(UserListTest, StartsWithAnyClerkAndNamesClerksByTheirCards)
{
    AppendRecordValues(DM()->SR, 17, {"FIO"}, {Variant(QString("Петров П.П."))});
    AppendRecordValues(DM()->USER, 4, {"FIO", "TABNUM"}, {Variant(QString("Иванова")), Variant(17)}, false);
    T_UserList users;
    users.Load();
    ASSERT_EQ(users.Count(), 2);
    EXPECT_EQ(users[0]->Name, QStringLiteral("Любой расчетчик"));
    EXPECT_EQ(users[0]->Num, 0);
    EXPECT_EQ(users.FindUser(4)->Name, QStringLiteral("Иванова"));

    T_CUser* fresh = users.NewUser();
    EXPECT_EQ(fresh->Num, 5);
    EXPECT_EQ(fresh->Name, QStringLiteral("Новый расчетчик"));
    fresh->SetTabNum(17);
    EXPECT_EQ(fresh->Name, QStringLiteral("Петров П.П."));
    fresh->SetTabNum(99);
    EXPECT_EQ(fresh->Name, QStringLiteral("Не определен номер \"99\" в справочнике"));
}

} // namespace
