// The tables picker: the default and full filters, the owner and the
// marked members, deleting a table only when no kind refers to it, and
// the picker's answers.

#include "calc/ui/TbSelect.h"
#include "calc/ui/AccrualEditors.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "db/Cursor.h"
#include "foundation/ui/base/Beep.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

class TbSelectTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AddKind({.DopNum = 250, .Naim = QStringLiteral("Надбавка")});
        AddKind({.DopNum = 251, .Naim = QStringLiteral("Доплата")});
        AddKind({.DopNum = 252, .Naim = QStringLiteral("Премия")});
        AddKind({.DopNum = 300, .Naim = QStringLiteral("Алименты"), .Uder = true});
        AddKind({.DopNum = 301, .Naim = QStringLiteral("Профсоюз"), .Uder = true});
        base = Table(252, 0, QStringLiteral("База премии"), {250, 251});
        LinkTable(252, QStringLiteral("TABL"), base);
        vlist = Table(301, 1, QStringLiteral("Вычеты профсоюза"), {300});
        LinkTable(301, QStringLiteral("VLIST"), vlist);
        unused = Table(250, 0, QStringLiteral("Старая база"), {251});
        orphan = Table(999, 0, QStringLiteral("Ничья"), {250});
        DNList()->Reload();
    }
    void TearDown() override
    {
        FreeFormTbSelect();
        CalcTest::TearDown();
    }
    static qint32 Table(qint32 owner, int tip, const QString& naim, const QList<qint32>& numbers)
    {
        T_DopTabl t;
        t.DopNum = owner;
        t.Tip = tip;
        t.Naim = naim;
        for (qint32 n : numbers)
            t.AddInteger(n);
        return t.Save();
    }
    static void LinkTable(qint32 dopNum, const QString& field, qint32 num)
    {
        SetRecordValuesByKey(DM()->DP, {Variant(dopNum)}, {field}, {Variant(num)});
        DNList()->SetLoaded(false);
    }
    static bool Stored(qint32 num)
    {
        Cursor dpt(QStringLiteral("DPT"));
        dpt.Open();
        return dpt.FindKey({Variant(num)});
    }
    // Number, mark of each listed kind.
    static QList<QPair<QString, bool>> Kinds(TFormTbSelect& f)
    {
        QList<QPair<QString, bool>> out;
        for (int r = 0; r < f.lvDop->rowCount(); ++r)
            out.append({f.lvDop->item(r, 1)->text(), f.lvDop->item(r, 0)->checkState() == Qt::Checked});
        return out;
    }
    int RowOf(TFormTbSelect& f, qint32 num) { return f.ShownTables().indexOf(num); }

    qint32 base = 0, vlist = 0, unused = 0, orphan = 0;
};

TEST_F(TbSelectTest, TheDefaultListsBaseTablesAndAllAddsDeductionLists)
{
    TFormTbSelect& f = FormTbSelect();
    f.SetFilter(0);
    EXPECT_EQ(f.ShownTables(), (QList<qint32>{base, unused, orphan}));
    EXPECT_EQ(f.lvTabl->currentRow(), 0) << "the first line when nothing was chosen";
    f.SetFilter(3);
    EXPECT_EQ(f.ShownTables(), (QList<qint32>{base, vlist, unused, orphan}));
    EXPECT_EQ(TFormTbSelect::TableImageIndex(DNList()->Tables().FindByNum(vlist)), 4);
    EXPECT_EQ(TFormTbSelect::TableImageIndex(DNList()->Tables().FindByNum(base)), 2);
}

TEST_F(TbSelectTest, MembersAreMarkedAndADeductionListShowsDeductions)
{
    TFormTbSelect& f = FormTbSelect();
    f.SetFilter(3);
    f.SelectRow(RowOf(f, base));
    EXPECT_EQ(f.lbOwner->text(), QStringLiteral("Владелец :  Премия"));
    EXPECT_EQ(Kinds(f), (QList<QPair<QString, bool>>{{"250", true}, {"251", true}, {"252", false}}));
    f.SelectRow(RowOf(f, vlist));
    EXPECT_EQ(f.lbOwner->text(), QStringLiteral("Владелец :  Профсоюз"));
    EXPECT_EQ(Kinds(f), (QList<QPair<QString, bool>>{{"300", true}, {"301", false}}));
    f.lvDop->setCurrentCell(1, 1);
    EXPECT_EQ(AppContext().LastDopNum, 301);

    int beeps = 0;
    const TBeepHook previous = SetBeepHook([&] { ++beeps; });
    f.SelectRow(RowOf(f, orphan));
    SetBeepHook(previous);
    EXPECT_EQ(f.lbOwner->text(), QStringLiteral("Владелец :  ??? Не определено ???"));
    EXPECT_EQ(beeps, 1);
    f.show();
    SaveScreenshot(&f, QStringLiteral("calc_ui_tb_select"));
    f.hide();
}

TEST_F(TbSelectTest, ATableAKindRefersToIsNotDeleted)
{
    TFormTbSelect& f = FormTbSelect();
    f.SetFilter(3);
    for (qint32 used : {base, vlist}) {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Таблица используется..."))
            .Details(QStringLiteral("Удаление невозможно"));
        f.SelectRow(RowOf(f, used));
        QTest::mouseClick(f.btDelete, Qt::LeftButton);
        EXPECT_TRUE(Stored(used));
    }
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::ConfirmDelete).No();
        f.SelectRow(RowOf(f, unused));
        QTest::mouseClick(f.btDelete, Qt::LeftButton);
        EXPECT_TRUE(Stored(unused));
    }
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    QTest::mouseClick(f.btDelete, Qt::LeftButton);
    EXPECT_FALSE(Stored(unused));
    EXPECT_EQ(DNList()->Tables().FindByNum(unused), nullptr);
    EXPECT_EQ(f.ShownTables(), (QList<qint32>{base, vlist, orphan}));
}

TEST_F(TbSelectTest, TheClerksChoiceOrNothing)
{
    ModalScript modal;
    modal.Next<TFormTbSelect>([&](TFormTbSelect& f) {
        f.SelectRow(1);
        QTest::mouseClick(f.btCancel, Qt::LeftButton);
    });
    modal.Next<TFormTbSelect>([&](TFormTbSelect& f) {
        EXPECT_EQ(f.btOk->text().remove(QLatin1Char('&')), QStringLiteral("  Ok     "));
        f.SelectRow(RowOf(f, unused));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    EXPECT_EQ(ShowTbSelect(), nullptr);
    T_DopTabl* chosen = ShowTbSelect();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->Num, unused);
}

} // namespace
