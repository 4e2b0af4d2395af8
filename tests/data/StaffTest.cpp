// A staff position with the names of its post and category.

#include "data/Staff.h"
#include "data/DatModl.h"
#include "support/DataFolderFixture.h"

#include <gtest/gtest.h>

namespace {

class StaffTest : public AppContextTest {};

TEST_F(StaffTest, NamesComeFromTheBooksOrSayTheyAreMissing)
{
    DM()->Post.EmptyTable();
    DM()->Ctgr.EmptyTable();
    AppendRecordValues(DM()->Post, 3, {"NAIM"}, {Variant(QString("Механик"))});
    AppendRecordValues(DM()->Staff, 12, {"PODR", "POST", "CTGR", "RATEMIN", "VACBUSY", "KSOP"},
        {Variant(5), Variant(3), Variant(8), Variant(1200.5), Variant(2), Variant(1)});
    T_Staff s;
    ASSERT_TRUE(s.Load(12));
    EXPECT_EQ(s.Podr, 5);
    EXPECT_EQ(s.PostName, QStringLiteral("Механик"));
    EXPECT_EQ(s.CtgrName, QStringLiteral("Нет в справочнике"));
    EXPECT_DOUBLE_EQ(s.RateMin, 1200.5);
    EXPECT_EQ(s.VacBusy, 2);
    EXPECT_EQ(s.Ksop, 1);
    EXPECT_FALSE(s.Load(13));
    EXPECT_EQ(s.Num, 0);
    EXPECT_EQ(s.PostName, QString());
}

} // namespace
