// The departments book: the drop rules, the sibling order, deleting and
// destroying, and the name dialog.

#include "desk/PodrBook.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Podr.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

class PodrBookTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        PNList()->EnsureLoaded();
        const qint32 pdp = PNList()->FirstEnterprise();
        const struct {
            int num, up, snum;
            const char* naim;
        } rows[] = {{7, 0, 1, "Цех"}, {8, 7, 1, "Участок"}, {9, 0, 2, "Склад"}, {10, 0, 3, "Гараж"}};
        for (const auto& r : rows)
            AppendRecordValues(DM()->SP, r.num, {"NUMPDP", "NUMUP", "SNUM", "NAIM"},
                {Variant(pdp), Variant(r.up), Variant(r.snum), Variant(QString::fromUtf8(r.naim))});
        AppendRecordValues(DM()->SR, 17, {"PODR", "FIO"}, {Variant(9), Variant(QString("Сидоров"))});
        PNList()->SetLoaded(false);
    }
    static int Value(int num, const char* field)
    {
        Cursor sp(QStringLiteral("SP"));
        sp.Open();
        return sp.FindKey({Variant(num)}) ? sp[QString::fromLatin1(field)].AsInteger() : -1;
    }
    static void SetSNums(int a, int b, int c)
    {
        SetRecordValuesByKey(DM()->SP, {Variant(7)}, {"SNUM"}, {Variant(a)});
        SetRecordValuesByKey(DM()->SP, {Variant(9)}, {"SNUM"}, {Variant(b)});
        SetRecordValuesByKey(DM()->SP, {Variant(10)}, {"SNUM"}, {Variant(c)});
        PNList()->SetLoaded(false);
    }
    static void Drop(TFormPodr& f, int dragged, int target)
    {
        f.SetCurrent(dragged);
        f.DropPodr(f.ItemOf(dragged), f.ItemOf(target));
    }
};

TEST_F(PodrBookTest, ADepartmentDroppedOnItsOwnChildStaysWhereItWas)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Невозможно включить подразделение в собственную структуру"));
    TFormPodr form;
    form.show();
    EXPECT_EQ(form.RootItem()->text(0), QStringLiteral("Основное подразделение предприятия"));
    Drop(form, 7, 8);
    EXPECT_EQ(Value(7, "NUMUP"), 0);
    EXPECT_EQ(Value(8, "NUMUP"), 7);
    SaveScreenshot(&form, QStringLiteral("desk_podr_book"));
}

TEST_F(PodrBookTest, RootDropsMoveOnlyDepartmentsThatAreNotOnTop)
{
    ScriptedMessages msgs;
    TFormPodr form;
    Drop(form, 9, 0); // already on top: no question
    EXPECT_EQ(msgs.Log().size(), 0);
    // Into another department after the question.
    msgs.Expect(MsgKind::Question)
        .Title(QStringLiteral("Назначить головное подразделение для\r\n\t\"Гараж\""))
        .Details(QStringLiteral("Выбрано:  \"Участок\""))
        .Yes();
    Drop(form, 10, 8);
    EXPECT_EQ(Value(10, "NUMUP"), 8);
    msgs.Expect(MsgKind::Question)
        .Title(QStringLiteral("Сделать основным подразделением предприятия\r\n\"Гараж\""))
        .Yes();
    Drop(form, 10, 0);
    EXPECT_EQ(Value(10, "NUMUP"), 0);
    EXPECT_EQ(form.CurrentPodr()->Num, 10) << "the moved department stays current";
}

TEST_F(PodrBookTest, PlacingAboveASiblingRenumbersTheSiblings)
{
    const struct {
        const char* name;
        int before[3]; // SNUM of 7, 9, 10
        const char* press;
        int after[3];
    } rows[] = {
        {"no gap", {1, 2, 3}, "Установить выше выбранного подразделения", {1, 3, 2}},
        {"gap", {1, 5, 9}, "Установить выше выбранного подразделения", {1, 6, 5}},
        {"cancel", {1, 2, 3}, "Отменить", {1, 2, 3}},
        {"esc", {1, 2, 3}, nullptr, {1, 2, 3}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SetSNums(r.before[0], r.before[1], r.before[2]);
        ScriptedMessages msgs;
        auto& e = msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Выбрано:  \"Склад\"\r\n"));
        if (r.press)
            e.Press(QString::fromUtf8(r.press));
        TFormPodr form;
        Drop(form, 10, 9);
        EXPECT_EQ(Value(7, "SNUM"), r.after[0]);
        EXPECT_EQ(Value(9, "SNUM"), r.after[1]);
        EXPECT_EQ(Value(10, "SNUM"), r.after[2]);
        EXPECT_EQ(Value(10, "NUMUP"), 0);
    }
}

TEST_F(PodrBookTest, DepartmentsInUseAreNeitherDeletedNorDestroyed)
{
    ScriptedMessages msgs;
    TFormPodr form;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Невозможно удаление непустого подразделения"));
    form.SetCurrent(9); // holds an employee
    EXPECT_FALSE(RunGuarded([&] { form.Delete(); }));
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Невозможно удаление непустого подразделения"));
    form.SetCurrent(7); // holds a department
    EXPECT_FALSE(RunGuarded([&] { form.Delete(); }));
    EXPECT_EQ(Value(9, "DELETED"), 0);
    form.SetCurrent(10);
    form.Delete();
    EXPECT_EQ(Value(10, "DELETED"), 1);

    SetRecordValuesByKey(DM()->SR, {Variant(17)}, {"OLDPODR"}, {Variant(10)});
    form.SetDeletedView(true);
    EXPECT_EQ(form.findChild<QPushButton*>("btDel")->text().remove(QLatin1Char('&')), QStringLiteral("Уничтожить"));
    form.SetCurrent(10);
    ASSERT_NE(form.CurrentPodr(), nullptr);
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Невозможно удаление подразделения, на которое имеются ссылки в справочнике"));
    EXPECT_FALSE(RunGuarded([&] { form.Delete(); }));
    EXPECT_EQ(Value(10, "NUM"), 10);
    SetRecordValuesByKey(DM()->SR, {Variant(17)}, {"OLDPODR"}, {Variant(0)});
    form.SetCurrent(10);
    form.Delete();
    EXPECT_EQ(Value(10, "NUM"), -1);
    form.SetCurrent(0);
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Не выбрано подразделение"));
    RunGuarded([&] { form.Delete(); });
}

TEST_F(PodrBookTest, ANameOfBlanksIsRefusedAndANewDepartmentGoesOnTop)
{
    ScriptedMessages msgs;
    ModalScript modal;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Повторите ввод наименования"));
    modal.Next<TFormNewPodr>([](TFormNewPodr& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Новое подразделение"));
        f.edName->setFocus();
        QTest::keyClicks(f.edName, QStringLiteral("   "));
        QTest::keyClick(f.edName, Qt::Key_Return);
        EXPECT_TRUE(f.isVisible());
        f.edName->setText(QStringLiteral("Бухгалтерия"));
        SaveScreenshot(&f, QStringLiteral("desk_new_podr"));
        QTest::keyClick(f.edName, Qt::Key_Return);
    });
    TFormPodr form;
    form.findChild<QPushButton*>("btAdd")->click();
    T_Podr* added = form.CurrentPodr();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Naim, QStringLiteral("Бухгалтерия"));
    EXPECT_EQ(Value(added->Num, "NUMUP"), 0);
    EXPECT_EQ(Value(added->Num, "SNUM"), 4);
}

// The book opens on a department, so "Изменить" changes what looks chosen;
// on the root it says why nothing is changed.
TEST_F(PodrBookTest, ChangeWorksOnWhatLooksChosenAndExplainsTheRoot)
{
    ScriptedMessages msgs;
    ModalScript modal;
    TFormPodr form;
    form.show();
    ASSERT_NE(form.findChild<QTreeWidget*>("tvp")->currentItem(), form.RootItem())
        << "the first department, not the root";
    ASSERT_NE(form.CurrentPodr(), nullptr);
    EXPECT_EQ(form.CurrentPodr()->Num, 7);
    modal.Next<TFormNewPodr>([](TFormNewPodr& f) {
        EXPECT_EQ(f.edName->text(), QStringLiteral("Цех"));
        f.edName->setText(QStringLiteral("Цех №1"));
        QTest::keyClick(f.edName, Qt::Key_Return);
    });
    form.findChild<QPushButton*>("btChange")->click();
    EXPECT_EQ(PNList()->FindPodr(7)->Naim, QStringLiteral("Цех №1"));

    form.findChild<QTreeWidget*>("tvp")->setCurrentItem(form.RootItem());
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Не выбрано подразделение"))
        .Details(QStringLiteral(
            "\"Основное подразделение предприятия\" - вершина структуры, ее нельзя изменить или удалить"));
    form.findChild<QPushButton*>("btChange")->click();
}

} // namespace
