// The staff schedule and the users book: names of missing posts, the
// picker, Change on an empty department, the administrator-only book.

#include "desk/SprStaff.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/Staff.h"
#include "desk/SprPost.h"
#include "foundation/ui/grids/DBGrid.h"
#include "foundation_ui/UiTestHelpers.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class SprStaffTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        const QStringList spFields{"NUMPDP", "NUMUP", "SNUM", "NAIM"};
        AppendRecordValues(DM()->SP, 7, spFields, {Variant(1), Variant(0), Variant(1), Variant(QString("Цех"))});
        AppendRecordValues(DM()->SP, 8, spFields, {Variant(1), Variant(0), Variant(2), Variant(QString("Склад"))});
        PNList()->SetLoaded(false);
        DM()->Post.EmptyTable();
        DM()->Ctgr.EmptyTable();
        AppendRecordValues(DM()->tbaPost, 1, {"NAIM"}, {Variant(QString("Токарь"))});
        AppendRecordValues(DM()->tbaPost, 2, {"NAIM"}, {Variant(QString("Кладовщик"))});
        AppendRecordValues(DM()->tbaCtgr, 1, {"NAIM"}, {Variant(QString("Рабочие"))});
        const QStringList stFields{"PODR", "POST", "CTGR", "RATEMAX", "VACANCY"};
        AppendRecordValues(DM()->Staff, 1, stFields, {Variant(7), Variant(1), Variant(1), Variant(5000.0), Variant(3)});
        AppendRecordValues(DM()->Staff, 2, stFields, {Variant(7), Variant(9), Variant(1), Variant(4000.0), Variant(1)});
        AppendRecordValues(DM()->Staff, 3, stFields, {Variant(8), Variant(2), Variant(4), Variant(3000.0), Variant(1)});
    }
};

TEST_F(SprStaffTest, ARowWhosePostIsMissingShowsNotInBook)
{
    ScriptedMessages msgs;
    TFormSprStaff form;
    form.SetMode(0, 7);
    form.show();
    ASSERT_EQ(form.SelectedPodr(), 7);
    EXPECT_EQ(DM()->Staff.RecordCount(), 2) << "only the department's rows";
    EXPECT_EQ(form.CurrentNum(), 1);
    EXPECT_EQ(form.PostNameShown(), QStringLiteral("Токарь"));
    QTest::keyClick(form.Grid(), Qt::Key_Down);
    EXPECT_EQ(form.CurrentNum(), 2);
    EXPECT_EQ(form.PostNameShown(), QStringLiteral("Нет в справочнике"));
    EXPECT_EQ(form.CtgrNameShown(), QStringLiteral("Рабочие"));
    SaveScreenshot(&form, QStringLiteral("desk_spr_staff"));
}

TEST_F(SprStaffTest, ThePickerAnswersTheNumberWithThePositionAndEscNothing)
{
    ScriptedMessages msgs;
    ModalScript modal;
    modal.Next<TFormSprStaff>([](TFormSprStaff& f) {
        EXPECT_EQ(f.SelectedPodr(), 8);
        f.Grid()->setFocus();
        QTest::keyClick(f.Grid(), Qt::Key_Return);
    });
    qint32 num = 0;
    T_Staff staff;
    ASSERT_TRUE(SelectStaff(8, num, &staff));
    EXPECT_EQ(num, 3);
    EXPECT_EQ(staff.Podr, 8);
    EXPECT_EQ(staff.PostName, QStringLiteral("Кладовщик"));
    EXPECT_EQ(staff.CtgrName, QStringLiteral("Нет в справочнике"));
    EXPECT_DOUBLE_EQ(staff.RateMax, 3000.0);

    modal.Next<TFormSprStaff>([](TFormSprStaff& f) {
        f.Grid()->setFocus();
        QTest::keyClick(f.Grid(), Qt::Key_Escape);
    });
    num = 0;
    EXPECT_FALSE(SelectStaff(7, num));
    EXPECT_EQ(num, 0);
}

TEST_F(SprStaffTest, ChangeOnAnEmptyDepartmentAddsARowThereAndThePostButtonPicks)
{
    DM()->Staff.CancelRange();
    DM()->Staff.SetIndexName(QString());
    while (!DM()->Staff.IsEmpty())
        DM()->Staff.Delete();
    ScriptedMessages msgs;
    ModalScript modal;
    modal.Next<TFormSprPost>([](TFormSprPost& f) {
        f.Grid()->setFocus();
        EXPECT_EQ(f.CurrentNum(), 1) << "a number the book lacks starts on the first row";
        QTest::keyClick(f.Grid(), Qt::Key_Return);
    });
    TFormSprStaff form;
    form.SetMode(0, 8);
    form.Change();
    ASSERT_TRUE(form.EditMode());
    EXPECT_EQ(form.CurrentNum(), 1);
    form.PickPost();
    form.LeaveEditMode();
    T_Staff staff;
    ASSERT_TRUE(staff.Load(1));
    EXPECT_EQ(staff.Podr, 8);
    EXPECT_EQ(staff.Post, 1);

    // A new row left as it came goes again.
    form.Add();
    EXPECT_EQ(form.CurrentNum(), 2);
    form.LeaveEditMode();
    EXPECT_FALSE(staff.Load(2));
}

TEST_F(SprStaffTest, ANegativeRateIsRefusedWithItsColumnName)
{
    ScriptedMessages msgs;
    TFormSprStaff form;
    form.SetMode(0, 7);
    form.show();
    form.Change();
    DM()->Staff.Edit();
    DM()->Staff[QStringLiteral("RATEMIN")].SetFloat(-100);
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Ставка мин.\": значение не может быть отрицательным"));
    EXPECT_FALSE(RunGuarded([&] { form.LeaveEditMode(); }));
    DM()->Staff.Cancel();
    T_Staff staff;
    ASSERT_TRUE(staff.Load(1));
    EXPECT_DOUBLE_EQ(staff.RateMin, 0) << "nothing stored";
}

// A row being typed when a book closes: "Сохранить изменения?" before any
// value is checked, whichever way the book is closed.
TEST_F(SprStaffTest, ClosingABookWithAnUnsavedRowAsksFirst)
{
    enum Book { Ctgr, Post, Staff };
    struct Case {
        Book book;
        bool byButton; // "Закрыть", else the window's close button
        const char* typed;
        bool yes;
        const char* stored; // the row's field afterwards; empty: no row
    };
    const Case cases[] = {
        {Ctgr, false, "Служащие", false, ""},
        {Ctgr, false, "Служащие", true, "Служащие"},
        {Post, true, "Слесарь", false, "Кладовщик"},
        {Post, true, "Слесарь", true, "Слесарь"},
        {Staff, false, "6000", true, "6000"},
        {Staff, true, "7000", false, "6000"},
    };
    const auto stored = [](const char* table, int num, const char* field) {
        Cursor c(QString::fromLatin1(table));
        c.Open();
        return c.FindKey({Variant(num)}) ? c[QString::fromLatin1(field)].AsString() : QString();
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.book << " " << k.byButton << " " << k.yes);
        std::unique_ptr<TFormGridBook> form;
        if (k.book == Staff) {
            auto* staff = new TFormSprStaff;
            staff->SetMode(0, 7);
            form.reset(staff);
        } else if (k.book == Post) {
            form.reset(new TFormSprPost);
        } else {
            form.reset(new TFormSprCtgr);
        }
        ASSERT_TRUE(ShowActive(form.get()));
        form->findChild<QToolButton*>(k.book == Ctgr ? "sbAdd" : "sbChange")->click();
        form->Grid()->SetSelectedIndex(k.book == Staff ? 3 : 1);
        form->Grid()->setFocus();
        Type(QString::fromUtf8(k.typed));
        ASSERT_TRUE(form->Grid()->EditorMode());
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::SaveChanges).Title(QStringLiteral("Сохранить изменения?")).Press(k.yes ? "Да" : "Нет");
            if (k.byButton)
                QTest::mouseClick(form->findChild<QPushButton*>("btClose"), Qt::LeftButton);
            else
                form->close();
        }
        EXPECT_FALSE(form->isVisible());
        const QString now = k.book == Staff ? stored("STAFF", 1, "RATEMAX")
            : k.book == Post                ? stored("POST", 2, "NAIM") // the first in name order
                                            : stored("CTGR", 2, "NAIM");
        EXPECT_EQ(now, QString::fromUtf8(k.stored));
    }

    // A value the book refuses keeps it open; closing again may drop the row.
    TFormSprStaff form;
    form.SetMode(0, 7);
    ASSERT_TRUE(ShowActive(&form));
    const QString rateMin = stored("STAFF", 1, "RATEMIN");
    form.Change();
    form.Grid()->SetSelectedIndex(4);
    Type(QStringLiteral("-5"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Ставка мин.\": значение не может быть отрицательным"));
    form.close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.EditMode());
    msgs.Expect(MsgKind::SaveChanges).No();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(stored("STAFF", 1, "RATEMIN"), rateMin);
}

TEST_F(SprStaffTest, DeleteNamesTheDepartment)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ConfirmDelete)
        .Title(QStringLiteral("Вы действительно хотите удалить указанную должность?\r\n[3]  \"Склад\""))
        .Yes();
    TFormSprStaff form;
    form.SetMode(0, 8);
    form.Delete();
    T_Staff staff;
    EXPECT_FALSE(staff.Load(3));
    EXPECT_TRUE(staff.Load(1));
}

TEST_F(SprStaffTest, OnlyTheAdministratorOpensTheUsersBook)
{
    ScriptedMessages msgs;
    ModalScript modal;
    CurrentUser = 3;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Права на изменение справочника пользователей имеет только администратор системы"));
    ShowSprUser();
    EXPECT_EQ(modal.Seen().size(), 0);

    CurrentUser = 0;
    modal.Next<TFormSprUser>([](TFormSprUser& f) {
        auto* table = f.findChild<QTableWidget*>("lvUser");
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("Любой расчетчик"));
        f.findChild<QToolButton*>("sbAdd")->click(); // no action behind it
        EXPECT_EQ(table->rowCount(), 1);
        SaveScreenshot(&f, QStringLiteral("desk_spr_user"));
        f.done(mrCancel);
    });
    ShowSprUser();
}

} // namespace
