#include "archive/ImportMappings.h"
#include "data/CalcMethods.h"
#include "foundation/TypeList.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> Items(const QByteArray& blob)
{
    T_yqIntegerList list;
    ReadIntegerListBlob(blob, list);
    std::vector<int> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.GetInteger(i));
    return out;
}

} // namespace

TEST(ImportMappings, OldCodesGetTheirBuiltInTypes)
{
    const std::pair<int, int> cases[]
        = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {40, 5}, {41, 5}, {50, 6}, {60, 7}, {61, 7}, {69, 8}, {200, 9}, {201, 10},
            {202, 11}, {207, 12}, {208, 13}, {209, 14}, {230, 15}, {210, 0}, {224, 0}, {225, 0}, {4, 0}, {205, 0}};
    for (const auto& [code, tip] : cases)
        EXPECT_EQ(OldKindTip(code), tip) << code;
}

TEST(ImportMappings, FlagAndNumberTextsBecomeIntegerLists)
{
    EXPECT_EQ(Items(FlagsToInfo("0100x0")), (std::vector<int>{2, 5}));
    // Past the end of a short text nothing is set; position 200 is not a flag.
    QByteArray full(200, '0');
    full[198] = '1';
    full[199] = '3';
    EXPECT_EQ(Items(FlagsToInfo(full)), (std::vector<int>{199}));
    EXPECT_EQ(Items(NumbersToInfo("001 02abc12")), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(Items(NumbersToInfo("12")), std::vector<int>{});
}

TEST(ImportMappings, NumberGroupsAcceptLeadingBlanksOnly)
{
    // " 12", "12 ", " -1"
    EXPECT_EQ(Items(NumbersToInfo(" 1212  -1")), (std::vector<int>{12, 0, -1}));
}
