// The posts and categories books: numbering of a new row, the dropped empty
// row, the delete question, the picker, and the list seen after closing.

#include "desk/SprPost.h"
#include "data/DatModl.h"
#include "data/PostList.h"
#include "data/Rights.h"
#include "foundation/ui/grids/DBGrid.h"
#include "foundation_ui/UiTestHelpers.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

class SprPostTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        DM()->tbaPost.EmptyTable();
        DM()->tbaCtgr.EmptyTable();
        DM()->tbaPost.Refresh();
        DM()->tbaCtgr.Refresh();
    }
    void AddPost(int num, const QString& naim)
    {
        AppendRecordValues(DM()->tbaPost, num, {QStringLiteral("NAIM")}, {Variant(naim)});
    }
    static int Rows(Cursor& c) { return c.RecordCount(); }
    static void Click(TFormSprCode& f, const char* name) { f.findChild<QToolButton*>(name)->click(); }
};

TEST_F(SprPostTest, APostAddedToAnEmptyTableGetsNumberOneAndAnUntouchedNewRowIsDropped)
{
    ScriptedMessages msgs;
    TFormSprPost form;
    ASSERT_TRUE(ShowActive(&form));
    Click(form, "sbAdd");
    ASSERT_TRUE(form.EditMode());
    EXPECT_EQ(DM()->tbaPost.State(), CursorState::Insert);
    EXPECT_EQ(form.CurrentNum(), 1);
    // Nothing typed: leaving edit mode drops the row.
    QTest::keyClick(form.Grid(), Qt::Key_Escape);
    EXPECT_FALSE(form.EditMode());
    EXPECT_TRUE(form.isVisible()) << "Esc leaves edit mode before it closes the book";
    EXPECT_EQ(Rows(DM()->tbaPost), 0);

    Click(form, "sbAdd");
    Type(QStringLiteral("Инженер"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    Click(form, "sbChange"); // another action leaves edit mode first
    Click(form, "sbAdd");
    EXPECT_EQ(form.CurrentNum(), 2);
    Type(QStringLiteral("Бухгалтер"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    SaveScreenshot(&form, QStringLiteral("desk_spr_post"));
    form.LeaveEditMode();
    form.hide();
    T_PostList posts;
    posts.Load();
    ASSERT_EQ(posts.Count(), 2);
    EXPECT_EQ(posts[0]->Naim, QStringLiteral("Бухгалтер")) << "name order";
    EXPECT_EQ(posts.NameOf(1), QStringLiteral("Инженер"));
    EXPECT_EQ(posts.IndexOfNum(3), -1);
}

TEST_F(SprPostTest, DeleteAsksTheExactQuestionAndNoKeepsTheRow)
{
    AddPost(4, QStringLiteral("Слесарь"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ConfirmDelete)
        .Title(QStringLiteral("Вы действительно хотите удалить указанную должность?\r\n[4]  \"Слесарь\"\r\n"))
        .No();
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    TFormSprPost form;
    Click(form, "sbDel");
    EXPECT_EQ(Rows(DM()->tbaPost), 1);
    Click(form, "sbDel");
    EXPECT_EQ(Rows(DM()->tbaPost), 0);
}

TEST_F(SprPostTest, ADuplicateNumberIsRefusedAndOverwritesNothing)
{
    AddPost(1, QStringLiteral("Токарь"));
    AddPost(2, QStringLiteral("Слесарь"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("1"));
    TFormSprPost form;
    DM()->tbaPost.Last();
    form.Change();
    DM()->tbaPost.FieldByName(QStringLiteral("NUM")).SetInteger(1);
    // The refused post shows the error and keeps the row in edit state.
    EXPECT_FALSE(RunGuarded([&] { form.LeaveEditMode(); }));
    EXPECT_TRUE(form.EditMode());
    DM()->tbaPost.Cancel();
    T_PostList posts;
    posts.Load();
    EXPECT_EQ(posts.NameOf(1), QStringLiteral("Токарь"));
    EXPECT_EQ(posts.NameOf(2), QStringLiteral("Слесарь"));
}

TEST_F(SprPostTest, ThePickerAnswersTheChosenNumberOnEnterAndNothingOnEsc)
{
    AddPost(3, QStringLiteral("Водитель"));
    AddPost(5, QStringLiteral("Агроном"));
    ScriptedMessages msgs;
    ModalScript modal;
    modal.Next<TFormSprPost>([](TFormSprPost& f) {
        f.Grid()->setFocus();
        EXPECT_EQ(f.CurrentNum(), 3) << "starts on the given number";
        QTest::keyClick(f.Grid(), Qt::Key_Down);
        QTest::keyClick(f.Grid(), Qt::Key_Return);
    });
    qint32 num = 3;
    EXPECT_TRUE(SelectPost(num));
    EXPECT_EQ(num, 5);

    modal.Next<TFormSprPost>([](TFormSprPost& f) {
        f.Grid()->setFocus();
        QTest::keyClick(f.Grid(), Qt::Key_Down);
        QTest::keyClick(f.Grid(), Qt::Key_Escape);
    });
    EXPECT_FALSE(SelectPost(num));
    EXPECT_EQ(num, 5);
}

TEST_F(SprPostTest, TheCategoriesBookNeedsItsRightAndReloadsTheListOnClose)
{
    ScriptedMessages msgs;
    SetRightsPolicy([](quint8 op) { return op != opCategoriesBook; });
    msgs.Expect(MsgKind::Error);
    T_CtgrList ctgrs;
    EXPECT_FALSE(RunGuarded([&] { ShowSprCtgr(&ctgrs); }));
    SetRightsPolicy({});

    ModalScript modal;
    modal.Next<TFormSprCtgr>([](TFormSprCtgr& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Справочник категорий"));
        f.Add();
        f.Grid()->setFocus();
        f.Grid()->SetSelectedIndex(1);
        f.Grid()->Model()->SetCellText(1, QStringLiteral("Высшая"));
        SaveScreenshot(&f, QStringLiteral("desk_spr_ctgr"));
        ScriptedMessages save;
        save.Expect(MsgKind::SaveChanges).Details(QStringLiteral("Справочник категорий :\r\nзапись №1")).Yes();
        f.findChild<QPushButton*>("btClose")->click();
    });
    ShowSprCtgr(&ctgrs);
    ASSERT_EQ(ctgrs.Count(), 1);
    EXPECT_EQ(ctgrs.NameOf(1), QStringLiteral("Высшая"));
}

} // namespace
