#include "archive/ImportMappings.h"
#include "archive/ImportRun.h"
#include "data/CalcMethods.h"
#include "db/Cursor.h"
#include "foundation/DbfFile.h"
#include "foundation/TypeList.h"
#include "support/DataFolderFixture.h"
#include "support/OldFiles.h"
#include "support/ScriptedMessages.h"

#include <QDir>
#include <QTemporaryDir>

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

namespace {

class ImportKindsTest : public AppContextTest {};

} // namespace

TEST_F(ImportKindsTest, AnUnknownUndeletableKindIsShownInDebugModeOnly)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("DOPLAT.DBF");
    WriteBytes(path,
        DbfBytes({{"KODD", 'N', 3}, {"NAZV", 'C', 10}, {"OTM", 'C', 1}, {"NLTNAL", 'C', 200}, {"FDELETED", 'L', 1},
                     {"DOPNOMER", 'C', 4}, {"FORMULA", 'C', 1}, {"STADIAF", 'C', 1}, {"STADIAD", 'C', 1},
                     {"PROZENT", 'N', 6, 2}, {"FTABL", 'L', 1}, {"FBALANS", 'L', 1}, {"FUDERNAL", 'L', 1},
                     {"FDAYCLOCK", 'L', 1}, {"FRAZOV", 'L', 1}},
            {{"205", "A", "2"}, {"206", "B", "1"}, {"207", "C", "2"}, {"210", "D", "2"}, {"208", "E", ""}}));
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        ScriptedMessages msgs;
        if (debug)
            msgs.Expect(MsgKind::Error).Details("Неопознанное неудаляемое\r\n205  A");
        TDbfFile source(path);
        Cursor dp("DP"), dpt("DPT");
        dp.Open();
        dpt.Open();
        dp.EmptyTable();
        TImportRun run;
        run.Errors().SetFolder(dir.path());
        TClipperMemVarList deductions, prof;
        ImportKinds(source, dp, dpt, deductions, prof, run, debug);
        EXPECT_EQ(dp.RecordCount(), 5);
        EXPECT_EQ(run.Errors().ErrorCount(), 0);
    }
}
