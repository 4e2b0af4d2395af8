// The code-book lists read by name, looked up by number.

#include "data/PostList.h"
#include "data/DatModl.h"
#include "support/DataFolderFixture.h"

#include <gtest/gtest.h>

namespace {

class PostListTest : public AppContextTest {};

TEST_F(PostListTest, LoadsInNameOrderAndAnswersMinusOneForAMissingNumber)
{
    DM()->Post.EmptyTable();
    DM()->Ctgr.EmptyTable();
    AppendRecordValues(DM()->Post, 5, {"NAIM"}, {Variant(QString("Электрик"))});
    AppendRecordValues(DM()->Post, 2, {"NAIM"}, {Variant(QString("бухгалтер"))});
    AppendRecordValues(DM()->Post, 9, {"NAIM"}, {Variant(QString("Аптекарь"))});
    T_PostList posts;
    EXPECT_FALSE(posts.Loaded());
    posts.EnsureLoaded();
    ASSERT_EQ(posts.Count(), 3);
    EXPECT_EQ(posts[0]->Num, 9);
    EXPECT_EQ(posts[1]->Num, 2) << "the index ignores letter case";
    EXPECT_EQ(posts.IndexOfNum(5), 2);
    EXPECT_EQ(posts.IndexOfNum(7), -1);
    EXPECT_EQ(posts.NameOf(7), QString());

    T_CtgrList ctgrs;
    ctgrs.Load();
    EXPECT_EQ(ctgrs.Count(), 0);
    AppendRecordValues(DM()->Ctgr, 1, {"NAIM"}, {Variant(QString("Служащие"))});
    ctgrs.SetLoaded(false);
    ctgrs.EnsureLoaded();
    EXPECT_EQ(ctgrs.NameOf(1), QStringLiteral("Служащие"));
}

} // namespace
