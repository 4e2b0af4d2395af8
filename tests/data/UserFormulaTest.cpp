// User formulas in the object store: the stored bytes, one row per accrual,
// blank texts removing the row, damaged rows, and the program's list
// following edits.

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/UserFormulas.h"
#include "db/Cursor.h"
#include "platform/Exceptions.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

namespace {

struct BinRow {
    int cls, vid, tip, subTip, user;
    QByteArray info;
};

class UserFormulaTest : public AppContextTest {
protected:
    void TearDown() override
    {
        AppContextTest::TearDown();
        CurrentUser = 0;
    }

    static T_UserFormulaList& list() { return *UserFormulaList(); }

    static QList<BinRow> Rows()
    {
        QList<BinRow> rows;
        Cursor bin(QStringLiteral("Bin"));
        bin.Open();
        for (bin.First(); !bin.Eof(); bin.Next()) {
            const TBinObject o = BinCurrent(bin);
            rows << BinRow{o.Key.Class, o.Key.Vid, o.Key.Tip, o.Key.SubTip, o.User, o.Info};
        }
        return rows;
    }
    static void WriteRaw(int cls, int vid, const QByteArray& info)
    {
        TBinKey key;
        key.Class = cls;
        key.Vid = vid;
        BinWrite(DM()->Bin, key, 0, info);
    }
};

TEST_F(UserFormulaTest, StoredAsOneObjectWithTheTextBytes)
{
    CurrentUser = 3;
    list().SetText(250, QStringLiteral("S*2"));
    const QList<BinRow> rows = Rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].cls, 2);
    EXPECT_EQ(rows[0].vid, 250);
    EXPECT_EQ(rows[0].tip, 0);
    EXPECT_EQ(rows[0].subTip, 0);
    EXPECT_EQ(rows[0].user, 3);
    EXPECT_EQ(rows[0].info, QByteArray::fromHex("03000000532a32"));

    list().SetText(250, QStringLiteral("  RESULT := Т  "));
    ASSERT_EQ(Rows().size(), 1) << "saving twice keeps one row";
    EXPECT_EQ(Rows()[0].info, QByteArray::fromHex("0f0000002020524553554c54203a3d20d22020"));

    T_UserFormulaList fresh;
    EXPECT_EQ(fresh.GetText(250), QStringLiteral("  RESULT := Т  ")) << "written untrimmed";
    EXPECT_EQ(fresh.GetText(251), QString());
}

TEST_F(UserFormulaTest, BlankTextRemovesTheRow)
{
    list().SetText(250, QStringLiteral("S*2"));
    list().SetText(251, QStringLiteral("S*3"));
    list().SetText(250, QStringLiteral(" \t "));
    const QList<BinRow> rows = Rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].vid, 251);
    EXPECT_EQ(list().GetText(250).trimmed(), QString());
    list().Reload();
    EXPECT_EQ(list().FindFormula(250), nullptr);
    EXPECT_EQ(list().GetText(251), QStringLiteral("S*3"));

    list().SetText(300, QStringLiteral("   "));
    EXPECT_EQ(Rows().size(), 1) << "a blank text of an accrual without a formula stores nothing";
    EXPECT_EQ(list().FindFormula(300), nullptr);
}

TEST_F(UserFormulaTest, BlankTextLeavesNoBlanksInMemory)
{
    list().SetText(250, QStringLiteral("S*2"));
    list().SetText(250, QStringLiteral(" \t "));
    EXPECT_EQ(list().GetText(250), QString()) << "the list's own object, without reloading";

    T_UserFormula edited; // an editor's own object
    edited.DopNum = 251;
    edited.Text = QStringLiteral("T");
    edited.Save();
    edited.Text = QStringLiteral("   ");
    edited.Save();
    EXPECT_EQ(edited.Text, QString());
    EXPECT_EQ(list().GetText(251), QString());
    EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(UserFormulaTest, DamagedRowIsReportedAndTheOthersLoad)
{
    list().SetText(5, QStringLiteral("S"));
    QByteArray bad = QByteArray::fromHex("0a000000") + QByteArray("abcdef");
    WriteRaw(2, 7, bad);
    list().SetText(9, QStringLiteral("T"));
    WriteRaw(1, 7, QByteArray("not a formula")); // a calendar: not read
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Ошибка при загрузке формулы пользователя №7\r\nОшибка чтения текста из BLOB поля"));
    list().Reload();
    EXPECT_EQ(list().Count(), 2);
    EXPECT_EQ(list().GetText(5), QStringLiteral("S"));
    EXPECT_EQ(list().GetText(9), QStringLiteral("T"));
    EXPECT_EQ(list().GetText(7), QString());
}

TEST_F(UserFormulaTest, ReloadOfOneFormula)
{
    list().SetText(5, QStringLiteral("S"));
    T_UserFormula f;
    f.DopNum = 5;
    f.Reload();
    EXPECT_EQ(f.Text, QStringLiteral("S"));
    f.DopNum = 6;
    try {
        f.Reload();
        FAIL() << "no exception";
    } catch (const EAppException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Не найдена формула пользователя начисления №6"));
    }
}

TEST_F(UserFormulaTest, TheProgramsListFollowsEveryEdit)
{
    EXPECT_EQ(list().GetText(5), QString());
    ASSERT_TRUE(list().Loaded());

    T_UserFormula edited; // as an editor holding its own object
    edited.DopNum = 5;
    edited.Text = QStringLiteral("S*T");
    edited.Save();
    EXPECT_FALSE(list().Loaded());
    EXPECT_EQ(list().GetText(5), QStringLiteral("S*T"));

    // Another copy of the program writes; ReloadAllLists brings it in.
    T_UserFormulaList other;
    T_UserFormula outside(&other);
    outside.DopNum = 6;
    outside.Text = QStringLiteral("1");
    outside.Save();
    list().SetLoaded(true);
    ReloadAllLists();
    EXPECT_EQ(list().GetText(6), QStringLiteral("1"));
}

} // namespace
