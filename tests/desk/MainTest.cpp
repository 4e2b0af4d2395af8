// The main window as the clerk uses it: the road of one request (pick,
// enter input, calculate, read the totals), a department with a formula
// error, the staff operations' messages, and the menu's enabled states.

#include "desk/Main.h"

#include "calc/TabnCalc.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "data/ui/InVvod.h"
#include "data/ui/Otl.h"
#include "data/ui/SrSelect.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

const TDateTime kJan2024 = EncodeDate(2024, 1, 1);
const TDateTime kMar2024 = EncodeDate(2024, 3, 1);
const TDateTime kDec2024 = EncodeDate(2024, 12, 31);
constexpr qint32 kBonus = 250; // a fixed sum
constexpr qint32 kBroken = 260; // a user formula that does not run

class MainTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        Cfg.Workdate = kMar2024;
        Cfg.BegDate = EncodeDate(2023, 1, 1);
        Cfg.AutoCalc = true;
        AddBuiltInKinds();
        const qint32 tax = KindOfTip(dtPodoh);
        SetRecordValuesByKey(DM()->DP, {Variant(tax)}, {QStringLiteral("TABL")}, {Variant(0)});
        AddKind({.DopNum = kBonus, .Naim = QStringLiteral("Премия разовая"), .Formula = 1, .Sum = 0});
        AddKind({.DopNum = kBroken, .Naim = QStringLiteral("Надбавка"), .Formula = cmUserFormula, .StadiaF = 100});
        UserFormulaList()->SetText(kBroken, QStringLiteral("RESULT := ST + NOSUCHNAME"));
        DNList()->SetLoaded(false);
        AddCalendar(0, kJan2024, kDec2024, {{3, 160}});
        AddTaxType(1, QStringLiteral("Основная"));
        TTaxTableSpec t;
        t.DateBeg = kJan2024;
        t.YearBeg = kJan2024;
        t.YearEnd = kDec2024;
        t.Lines = {{0, 0, 13}, {100000, 13000, 20}};
        AddTaxTable(1, t);
        podrA = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех"))});
        podrB = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Склад"))});
        PNList()->SetLoaded(false);
        const QStringList names{QStringLiteral("Петров Петр"), QStringLiteral("Сидоров Иван"),
            QStringLiteral("Орлова Анна"), QStringLiteral("Кузнецов Олег"), QStringLiteral("Попова Вера")};
        for (int i = 0; i < 5; ++i) {
            TCardSpec card;
            card.Fio = names[i];
            card.Podr = i < 3 ? podrA : podrB;
            card.Okl = 16000 + 1000 * i;
            tabns << AddCard(card);
        }
    }

    // The tree item of a department.
    QTreeWidgetItem* PodrItem(TFormMain& w, qint32 num)
    {
        for (QTreeWidgetItemIterator it(w.tvp); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == num)
                return *it;
        return nullptr;
    }
    void Pick(TFormMain& w, qint32 podr, int row)
    {
        QTreeWidgetItem* item = PodrItem(w, podr);
        ASSERT_NE(item, nullptr);
        w.tvp->setCurrentItem(item);
        QTest::mouseClick(
            w.lvt->viewport(), Qt::LeftButton, {}, w.lvt->visualRect(w.lvt->model()->index(row, 1)).center());
    }
    QString Panel(TFormMain& w, const char* bar, int i) { return w.StatusPanel(QLatin1String(bar), i)->text(); }
    QString Total(TFormMain& w, const char* name) { return w.TotalLabel(QLatin1String(name))->text(); }

    qint32 podrA = 0;
    qint32 podrB = 0;
    QList<qint32> tabns;
};

// Types a sum into the input dialog and confirms it.
auto TypeSum(const QString& sum)
{
    return [sum](TFormInVvod& f) {
        f.edSum->selectAll();
        QTest::keyClicks(f.edSum, sum);
        QTest::keyClick(f.edSum, Qt::Key_Return);
    };
}

double StoredInput(qint32 tabn, qint32 dopNum)
{
    T_TabnDopList list(DNList(), tdkInput);
    list.Date = Cfg.Workdate;
    list.SetTabn(tabn);
    return list.GetSum(dopNum).ToDouble();
}

TEST_F(MainTest, TheRoadOfOneRequest)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    TFormMain w;
    w.resize(800, 560);
    w.show();
    Pick(w, podrA, 1);
    EXPECT_EQ(w.CurPodr(), podrA);
    EXPECT_EQ(w.CurTabn(), tabns[1]);
    EXPECT_EQ(Panel(w, "sBarPodr", 0), QStringLiteral("%1").arg(podrA, 3, 10, QLatin1Char('0')));
    EXPECT_EQ(Panel(w, "sBarPodr", 1), QStringLiteral("Работников  [3]"));
    EXPECT_EQ(Panel(w, "sBarTabn", 1), QStringLiteral("Не рассчитано"));
    SaveScreenshot(&w, QStringLiteral("desk_main_list"));

    w.ShowPage(2);
    ASSERT_EQ(w.pcMain->currentWidget(), w.tabVvod);
    // A digit asks for the number, then for the value.
    modal.Next<TFormFindDNum>([](TFormFindDNum& f) {
        f.edNum->end(false);
        QTest::keyClicks(f.edNum, QStringLiteral("50"));
        QTest::keyClick(f.edNum, Qt::Key_Return);
    });
    modal.Next<TFormInVvod>(TypeSum(QStringLiteral("1500")));
    w.lvd->setFocus();
    QTest::keyClick(w.lvd, Qt::Key_2);
    EXPECT_DOUBLE_EQ(StoredInput(tabns[1], kBonus), 1500);
    ASSERT_EQ(w.InputDops().Count(), 1);
    EXPECT_EQ(w.lvd->model()->index(0, 1).data().toString(), QStringLiteral("Премия разовая"));

    // Enter changes the selected row, Delete removes it after the question.
    w.lvd->setCurrentIndex(w.lvd->model()->index(0, 1));
    modal.Next<TFormInVvod>(TypeSum(QStringLiteral("2000")));
    QTest::keyClick(w.lvd, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(StoredInput(tabns[1], kBonus), 2000);
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    w.lvd->setCurrentIndex(w.lvd->model()->index(0, 1));
    QTest::keyClick(w.lvd, Qt::Key_Delete);
    EXPECT_DOUBLE_EQ(StoredInput(tabns[1], kBonus), 0);
    EXPECT_EQ(w.InputDops().Count(), 0);
    modal.Next<TFormInVvod>(TypeSum(QStringLiteral("1500")));
    w.EditInputRow(kBonus);
    SaveScreenshot(&w, QStringLiteral("desk_main_input"));

    // Ctrl+Enter calculates and shows the results.
    QTest::keyClick(w.lvd, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(w.pcVvod->currentWidget(), w.tabVvRas);
    T_TabnDopList nc(DNList(), tdkResults);
    nc.Date = Cfg.Workdate;
    nc.SetTabn(tabns[1]);
    const double accrued = nc.GetSum(dnNachis).ToDouble();
    EXPECT_GT(accrued, 17000);
    EXPECT_EQ(Total(w, "lbDop_Nachis"), FormatMoney(accrued));
    EXPECT_EQ(Total(w, "lbDop_Vsego"), FormatMoney(nc.GetSum(dnVsego).ToDouble()));
    EXPECT_EQ(Total(w, "lbDop_PNPay"), FormatMoney(nc.GetSum(dnPNPay).ToDouble()));
    for (int r = 0; r < w.lvRasD->model()->rowCount(); ++r)
        EXPECT_LT(w.ResultDops().GetTabnDop(r)->DopNum, dnBegin) << "totals are not listed";
    EXPECT_EQ(w.Action(QStringLiteral("acCalc"))->text(), QStringLiteral("Пересчитать"));
    SaveScreenshot(&w, QStringLiteral("desk_main_results"));

    // The same employee calculated outside the window gives the same rows.
    const QList<qint32> windowRows = [&] {
        QList<qint32> r;
        for (const T_TabnDop* e : nc)
            r << qint32(e->Sum.ToDouble() * 100);
        return r;
    }();
    QStringList errors;
    ASSERT_TRUE(CalcOneTabn(CalcSources(AppContext()), tabns[1], 0, errors));
    nc.SetTabn(tabns[1]);
    QList<qint32> again;
    for (const T_TabnDop* e : nc)
        again << qint32(e->Sum.ToDouble() * 100);
    EXPECT_EQ(again, windowRows);

    w.ShowPage(0);
    EXPECT_EQ(Panel(w, "sBarTabn", 1), QStringLiteral("Расчитано ") + DateTimeToStr(Cfg.Workdate));
    EXPECT_EQ(Panel(w, "sBarTabn", 2), QStringLiteral("К выдаче: ") + FloatToStr(nc.GetSum(dnVsego).ToDouble()));
}

TEST_F(MainTest, ADepartmentWithAFormulaErrorShowsTheLinesAndSelectsTheEmployee)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    SaveInput(tabns[2], {{kBroken, 1, 0, 0}});
    TFormMain w;
    w.show();
    Pick(w, podrA, 0);
    ASSERT_EQ(w.CurTabn(), tabns[0]);
    ASSERT_TRUE(w.Trigger(QStringLiteral("mnCalcPodr")));
    TFormView& view = FormView();
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Ошибки при расчете подразделения"));
    EXPECT_EQ(view.pnMsg->text(), QStringLiteral("Номер подразделения [%1]").arg(podrA));
    const QStringList lines = view.Lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], QStringLiteral("***  Ошибки при расчете. Табельный номер [%1]").arg(tabns[2]));
    EXPECT_EQ(w.CurTabn(), tabns[2]) << "the failing employee becomes current";
    EXPECT_EQ(w.CalcCount(), 3);
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("StatusBar1"))->text(), QStringLiteral("Рассчитано: 3"));
    SaveScreenshot(&view, QStringLiteral("desk_main_errors"));
    view.close();
}

TEST_F(MainTest, StaffOperationsSayWhatTheyRefuse)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    TFormMain w;
    w.show();
    w.SetStaffMode(true);
    Pick(w, podrA, 0);
    ASSERT_EQ(w.CurTabn(), tabns[0]);

    msgs.Expect(MsgKind::Question).Title(QStringLiteral("Уволить работника")).No();
    w.Trigger(QStringLiteral("btDismiss"));
    EXPECT_EQ(w.Cards().Count(), 3) << "No keeps him";
    EXPECT_EQ(msgs.Log().last().details, QString::number(tabns[0]) + QStringLiteral("  Петров Петр"));
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Невозможно удаление неуволенного работника"));
    w.Trigger(QStringLiteral("btDelete"));

    // Re-ordering onto an employee of another department changes nothing.
    modal.Next<TFormSrSelect>([&](TFormSrSelect& f) {
        for (QTreeWidgetItemIterator it(f.tvp); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == podrB)
                f.tvp->setCurrentItem(*it);
        f.lvt->setCurrentIndex(f.lvt->model()->index(0, 1));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Нужен номер в том же подразделении"));
    w.Trigger(QStringLiteral("btReorder"));
    EXPECT_EQ(w.Cards().GetTabn(0)->TabNum(), tabns[0]);

    // Moving the first before the third.
    modal.Next<TFormSrSelect>([&](TFormSrSelect& f) {
        f.lvt->setCurrentIndex(f.lvt->model()->index(2, 1));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    w.Trigger(QStringLiteral("btReorder"));
    w.Cards().SetSortMode(3);
    ASSERT_EQ(w.Cards().Count(), 3);
    EXPECT_EQ(w.Cards().GetTabn(1)->TabNum(), tabns[0]);

    msgs.Expect(MsgKind::Question).Title(QStringLiteral("Уволить работника")).Yes();
    w.Trigger(QStringLiteral("btDismiss"));
    EXPECT_EQ(w.Cards().Count(), 2);
    EXPECT_EQ(w.Cards().IndexOfTabNum(tabns[0]), -1);
    bool found = false;
    EXPECT_TRUE(T_Tabn::CreateByTabNum(tabns[0], found)->Dismissed);
}

TEST_F(MainTest, ItemsWithoutAWindowAreDisabledAndParentsFollow)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    struct Case {
        const char* item;
        bool enabled;
    };
    const Case cases[] = {{"mnCalcZarp", false}, {"mnVedSprPer", false}, {"mnVedPost", false}, {"mnDocDesign", false},
        {"mnDocJournal", false}, {"mnVedRL", false}, {"mnImport", false}, {"mnPerehod", false}, {"mnCalcPodr", true},
        {"mnPost", true}, {"mnConfig", true}, {"mnRefresh", true}};
    for (const Case& c : cases) {
        QAction* a = w.Action(QLatin1String(c.item));
        ASSERT_NE(a, nullptr) << c.item;
        EXPECT_EQ(a->isEnabled(), c.enabled) << c.item;
    }
    // No item of "Выходные формы" has a window here, so the menu goes; the
    // font items are the window's own.
    EXPECT_TRUE(w.findChild<QMenu*>(QStringLiteral("mnFonts"))->menuAction()->isEnabled());
    EXPECT_FALSE(w.findChild<QMenu*>(QStringLiteral("mnVed"))->menuAction()->isEnabled());
    EXPECT_TRUE(w.findChild<QMenu*>(QStringLiteral("mnCalc"))->menuAction()->isEnabled());
    // A second walk enables nothing.
    w.Action(QStringLiteral("mnRefresh"))->setEnabled(false);
    w.UpdateMenuEnabled();
    EXPECT_FALSE(w.Action(QStringLiteral("mnRefresh"))->isEnabled());
}

TEST_F(MainTest, AViewDateOutsideTheDataIsClampedAndAPastMonthIsReadOnly)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    w.show();
    Pick(w, podrA, 0);
    w.ShowPage(2);
    w.SetViewDate(EncodeDate(2020, 5, 1));
    EXPECT_EQ(w.ViewDate(), Cfg.BegDate);
    EXPECT_FALSE(w.Action(QStringLiteral("acVvodAdd"))->isEnabled());
    EXPECT_FALSE(w.Action(QStringLiteral("acCalc"))->isEnabled());
    EXPECT_EQ(w.lvd->palette().color(QPalette::Base), QApplication::palette().color(QPalette::ToolTipBase));
    w.SetViewDate(EncodeDate(2030, 1, 1));
    EXPECT_EQ(w.ViewDate(), Cfg.Workdate);
    EXPECT_TRUE(w.Action(QStringLiteral("acVvodDel"))->isEnabled());
    // A digit in a past month never opens the input.
    w.SetViewDate(EncodeDate(2024, 1, 1));
    w.lvd->setFocus();
    QTest::keyClick(w.lvd, Qt::Key_5);
}

} // namespace

TEST_F(MainTest, UpAndDownKeepToTheListsUnlessCtrlMovesTheFocus)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    w.resize(800, 560);
    w.show();
    QApplication::setActiveWindow(&w);
    Pick(w, podrA, 0);
    w.lvt->setFocus();
    QTest::keyClick(w.lvt, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), w.lvt) << "the list keeps Down";
    EXPECT_EQ(w.CurTabn(), tabns[1]) << "and moves its selection";
    QTest::keyClick(w.lvt, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_NE(QApplication::focusWidget(), w.lvt) << "Ctrl+Down moves the focus on";
    EXPECT_EQ(w.CurTabn(), tabns[1]);
}

TEST_F(MainTest, TheDebugFlagShowsItsPanelAndItsButtonsOpenTheirWindows)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    w.resize(800, 560);
    w.show();
    auto* panel = w.findChild<QWidget*>(QStringLiteral("pnOtl"));
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible());
    w.Action(QStringLiteral("mnOtl"))->trigger();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(w.Action(QStringLiteral("mnMainOtl"))->isVisible());
    Pick(w, podrA, 0);
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("OtlForm")), Qt::LeftButton);
    auto* otl = w.findChild<TFormOtl*>();
    ASSERT_NE(otl, nullptr);
    EXPECT_TRUE(otl->isVisible());
    EXPECT_EQ(otl->Labels[0]->text(), QStringLiteral("Петров Петр"));
    // Accrual 250 is in the directory: its tables open.
    ModalScript modal;
    bool opened = false;
    modal.Next([&](QDialog& d) {
        opened = d.objectName() == QLatin1String("FormRTEdit");
        d.reject();
    });
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("Do1")), Qt::LeftButton);
    EXPECT_TRUE(opened);
    w.Action(QStringLiteral("mnOtl"))->trigger();
    EXPECT_FALSE(panel->isVisible());
}
