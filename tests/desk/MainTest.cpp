// The main window as the clerk uses it: the road of one request (pick,
// enter input, calculate, read the totals), a department with a formula
// error, the staff operations' messages, and the menu's enabled states.

#include "desk/Main.h"
#include "desk/MainOpeners.h"
#include "desk/NewEmploy.h"
#include "desk/PodrBook.h"
#include "desk/SprClndr.h"
#include "desk/SprPost.h"
#include "desk/SprStaff.h"
#include "desk/TabnEdit.h"

#include "calc/TabnCalc.h"
#include "calc/ui/CalcPrem.h"
#include "calc/ui/DoplEdit.h"
#include "calc/ui/EditFml.h"
#include "calc/ui/NewDopl.h"
#include "calc/ui/RTEdit.h"
#include "calc/ui/SprDop.h"
#include "calc/ui/SprPx.h"
#include "calc/ui/TbSelect.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Money.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/UserFormulas.h"
#include "data/ui/DpSelect.h"
#include "data/ui/InVvod.h"
#include "data/ui/Otl.h"
#include "data/ui/SrSelect.h"
#include "db/Cursor.h"
#include "foundation/Progress.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
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

int StoredInputRows(qint32 tabn)
{
    T_TabnDopList list(DNList(), tdkInput);
    list.Date = Cfg.Workdate;
    list.SetTabn(tabn);
    return list.Count();
}

// The page "Карточка" with the real employee card, as the program has it.
class ScopedRealCard {
public:
    ScopedRealCard()
    {
        SetCardPageFactory([](QWidget* parent) -> TCardPage* { return new Page(parent); });
    }
    ~ScopedRealCard() { SetCardPageFactory({}); }

private:
    class Page final : public TCardPage {
    public:
        explicit Page(QWidget* parent) : card_(new TFormTabnEdit(parent)) {}
        QWidget* Widget() override { return card_; }
        void ShowTabn(qint32 tabNum, bool staffMode) override { card_->ShowEmbedded(tabNum, staffMode); }
        bool LeaveEditMode() override { return card_->LeaveEditMode(); }

    private:
        TFormTabnEdit* card_;
    };
};

TEST_F(MainTest, TheRoadOfOneRequest)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    ScopedRealCard realCard;
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
    w.ShowPage(1);
    SaveScreenshot(&w, QStringLiteral("desk_main_card"));

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
    for (int r = 0; r < w.lvRasD->model()->rowCount(); ++r) {
        EXPECT_LT(w.ResultDops().GetTabnDop(r)->DopNum, dnBegin) << "totals are not listed";
        const QVariant image = w.lvRasD->model()->index(r, 0).data(Qt::DecorationRole);
        EXPECT_FALSE(image.value<QIcon>().isNull()) << "each kind shows its image, row " << r;
    }
    EXPECT_EQ(w.Action(QStringLiteral("acCalc"))->text(), QStringLiteral("Пересчитать"));
    SaveScreenshot(&w, QStringLiteral("desk_main_results"));
    ASSERT_TRUE(w.Trigger(QStringLiteral("mnCalcCompare")));
    EXPECT_TRUE(Cfg.CalcCompare);
    EXPECT_TRUE(w.Action(QStringLiteral("mnCalcCompare"))->isChecked());
    EXPECT_EQ(w.Action(QStringLiteral("acCalc"))->text(), QStringLiteral("Сравнить"));
    w.Trigger(QStringLiteral("mnCalcCompare"));
    EXPECT_FALSE(Cfg.CalcCompare);

    w.ShowPage(0);
    EXPECT_EQ(Panel(w, "sBarTabn", 1), QStringLiteral("Рассчитано ") + DateTimeToStr(Cfg.Workdate));
    EXPECT_EQ(Panel(w, "sBarTabn", 2), QStringLiteral("К выдаче: ") + FloatToStr(nc.GetSum(dnVsego).ToDouble()));
    // Another department: nobody is selected, and nobody's amount stays.
    w.tvp->setCurrentItem(PodrItem(w, podrB));
    EXPECT_EQ(Panel(w, "sBarTabn", 1), QStringLiteral("Неверно определен табельный номер"));
    EXPECT_EQ(Panel(w, "sBarTabn", 2), QString());
    Pick(w, podrA, 1);

    // Deleting the only entry leaves no input and the employee uncalculated.
    w.ShowPage(2);
    w.ShowVvodPage(0);
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    w.lvd->setFocus();
    w.lvd->setCurrentIndex(w.lvd->model()->index(0, 1));
    QTest::keyClick(w.lvd, Qt::Key_Delete);
    EXPECT_EQ(StoredInputRows(tabns[1]), 0);
    bool found = false;
    EXPECT_FALSE(T_Tabn::CreateByTabNum(tabns[1], found)->Calculated) << "DATERAS cleared";
    EXPECT_EQ(w.Action(QStringLiteral("acCalc"))->text(), QStringLiteral("Рассчитать"));
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
    EXPECT_EQ(w.CalcCount(), 2) << "the failing employee is not counted";
    EXPECT_EQ(
        w.findChild<QLabel*>(QStringLiteral("StatusBar1"))->text(), QStringLiteral("Рассчитано: 2   Не рассчитано: 1"));
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

    // The standalone card follows the list: a dismissed one leaves it empty.
    TFormTabnEdit* standalone = ShowTabnCard(tabns[0]);
    ASSERT_NE(standalone, nullptr);
    msgs.Expect(MsgKind::Question).Title(QStringLiteral("Уволить работника")).Yes();
    w.Trigger(QStringLiteral("btDismiss"));
    EXPECT_EQ(standalone->TabNum(), 0);
    EXPECT_EQ(standalone->edFio->text(), QString());
    standalone->close();
    EXPECT_EQ(w.Cards().Count(), 2);
    EXPECT_EQ(w.Cards().IndexOfTabNum(tabns[0]), -1);
    bool found = false;
    EXPECT_TRUE(T_Tabn::CreateByTabNum(tabns[0], found)->Dismissed);

    // Deleting the dismissed one takes his card and his input with it.
    SaveInput(tabns[0], {{kBonus, 0, 100, 0}});
    Pick(w, DismissedGroupNum, 0);
    ASSERT_EQ(w.CurTabn(), tabns[0]);
    msgs.Expect(MsgKind::ConfirmDelete).Containing(QStringLiteral("Петров Петр")).Yes();
    w.Trigger(QStringLiteral("btDelete"));
    T_Tabn::CreateByTabNum(tabns[0], found);
    EXPECT_FALSE(found);
    EXPECT_EQ(StoredInputRows(tabns[0]), 0);
    EXPECT_EQ(w.Cards().Count(), 0);

    // A transfer: the employee and the window go to the new department.
    Pick(w, podrA, 0);
    const qint32 moved = w.CurTabn();
    standalone = ShowTabnCard(moved);
    modal.Next<TFormSrSelect>([&](TFormSrSelect& f) {
        EXPECT_EQ(f.pnHelp->text(),
            QStringLiteral("Выберите новое подразделение для работника\r\n") + w.Cards().FindTabn(moved)->GetFio());
        for (QTreeWidgetItemIterator it(f.tvp); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == podrB)
                f.tvp->setCurrentItem(*it);
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    w.Trigger(QStringLiteral("btTransfer"));
    EXPECT_EQ(T_Tabn::CreateByTabNum(moved, found)->Podr, podrB);
    EXPECT_EQ(w.CurPodr(), podrB);
    EXPECT_EQ(w.CurTabn(), moved);
    EXPECT_EQ(standalone->TabNum(), 0) << "the list it showed him from has him no more";
    standalone->close();
}

// Leaving staff mode shows the calculation page of the employee the clerk
// had, or of the department's first when his one left the working.
TEST_F(MainTest, LeavingStaffModeShowsTheCalculationOfTheKeptEmployee)
{
    struct Case {
        const char* name;
        int row; // picked in the first department
        int page; // left from
        bool dismiss; // the picked one dismissed, then his group shown
        int kept; // of tabns
    };
    for (const Case& c : {Case{"from the list", 1, 0, false, 1}, Case{"from the card", 2, 1, false, 2},
             Case{"from the dismissed", 0, 0, true, 1}}) {
        SCOPED_TRACE(c.name);
        ScriptedMessages msgs;
        ScopedApplicationRunning running;
        TFormMain w;
        w.show();
        EXPECT_TRUE(w.Action(QStringLiteral("mnCalcMode"))->isChecked());
        Pick(w, podrA, c.row);
        w.Trigger(QStringLiteral("mnSR"));
        w.ShowPage(c.page);
        if (c.dismiss) {
            msgs.Expect(MsgKind::Question).Title(QStringLiteral("Уволить работника")).Yes();
            w.Trigger(QStringLiteral("btDismiss"));
            Pick(w, DismissedGroupNum, 0);
        }
        w.Trigger(QStringLiteral("mnCalcMode"));
        const qint32 kept = tabns[c.kept];
        EXPECT_EQ(w.pcMain->currentWidget(), w.tabVvod);
        EXPECT_EQ(w.CurTabn(), kept);
        EXPECT_EQ(w.InputDops().TabNum, kept);
        EXPECT_EQ(w.lbNum->text(), w.Cards().FindTabn(kept)->GetNumberText());
        for (QWidget* bar : {static_cast<QWidget*>(w.tbSrBase), static_cast<QWidget*>(w.tbSrDel),
                 static_cast<QWidget*>(w.CoolBarSrSpr)})
            EXPECT_FALSE(bar->isVisible()) << bar->objectName().toStdString();
        EXPECT_TRUE(w.Action(QStringLiteral("mnCalcMode"))->isChecked());
        EXPECT_FALSE(w.Action(QStringLiteral("mnSR"))->isChecked());
    }
}

// The period page's department list brings that department's first
// employee with his input; an empty department shows nobody's.
TEST_F(MainTest, ThePeriodPagesDepartmentListBringsItsFirstEmployee)
{
    const qint32 empty = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Гараж"))});
    PNList()->SetLoaded(false);
    SaveInput(tabns[1], {{kBonus, 0, 100, 0}});
    SaveInput(tabns[3], {{kBonus, 0, 300, 0}});
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    TFormMain w;
    w.show();
    Pick(w, podrA, 1);
    w.ShowPage(2);
    ASSERT_EQ(w.InputDops().Count(), 1);
    struct Case {
        qint32 podr;
        qint32 tabn;
        int listed;
        double input;
    };
    for (const Case& c : {Case{podrB, tabns[3], 2, 300}, Case{empty, 0, 0, 0}, Case{podrA, tabns[0], 3, 0}}) {
        SCOPED_TRACE(c.podr);
        if (c.tabn == 0)
            msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Не определен табельный номер"));
        const int i = w.cbVvPodr->findData(c.podr);
        ASSERT_GE(i, 0);
        w.cbVvPodr->setCurrentIndex(i);
        emit w.cbVvPodr->activated(i);
        EXPECT_EQ(w.CurPodr(), c.podr);
        EXPECT_EQ(w.CurTabn(), c.tabn);
        EXPECT_EQ(w.cbVvTabNum->count(), c.listed);
        EXPECT_EQ(w.cbVvTabNum->currentIndex(), c.listed > 0 ? 0 : -1);
        EXPECT_DOUBLE_EQ(w.InputDops().GetSum(kBonus).ToDouble(), c.input);
        EXPECT_EQ(w.lbNum->text(), c.tabn ? w.Cards().FindTabn(c.tabn)->GetNumberText() : QString());
    }
    // The entry goes to the employee shown.
    w.cbVvPodr->setCurrentIndex(w.cbVvPodr->findData(podrB));
    emit w.cbVvPodr->activated(w.cbVvPodr->currentIndex());
    modal.Next<TFormInVvod>(TypeSum(QStringLiteral("500")));
    w.EditInputRow(kBonus);
    EXPECT_DOUBLE_EQ(StoredInput(tabns[3], kBonus), 500);
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
}

TEST_F(MainTest, APastMonthNeverReplacesTheWorkingMonthsInput)
{
    ScriptedMessages msgs;
    ModalScript modal; // no step: any input window fails the test
    ScopedApplicationRunning running;
    SaveInput(tabns[0], {{kBonus, 0, 1500, 0}});
    TFormMain w;
    w.show();
    Pick(w, podrA, 0);
    w.ShowPage(2);
    w.SetViewDate(EncodeDate(2024, 1, 1));
    ASSERT_EQ(w.InputDops().Count(), 0) << "January's input";
    w.lvd->setFocus();
    QTest::keyClick(w.lvd, Qt::Key_5);
    QTest::keyClick(w.lvd, Qt::Key_Insert);
    w.EditInputRow(kBonus);
    // Were the save reached, the month's own list would be refused.
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Данные ввода можно сохранить только за рабочий месяц"));
    RunGuarded([&] { w.SaveInputRows(); });
    EXPECT_DOUBLE_EQ(StoredInput(tabns[0], kBonus), 1500);
    EXPECT_EQ(StoredInputRows(tabns[0]), 1);
}

TEST_F(MainTest, KeysWithAltPassThePeriodPage)
{
    ScriptedMessages msgs;
    ModalScript modal; // Alt+Enter and Alt+Insert open no input
    ScopedApplicationRunning running;
    TFormMain w;
    w.show();
    QApplication::setActiveWindow(&w);
    Pick(w, podrA, 0);
    w.ShowPage(2);
    w.lvd->setFocus();
    QTest::keyClick(w.lvd, Qt::Key_Return, Qt::AltModifier);
    QTest::keyClick(w.lvd, Qt::Key_Insert, Qt::AltModifier);
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(w.lvd, Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(w.isVisible()) << "Alt+X reached the window";
}

TEST_F(MainTest, InputIsNeverSavedOntoTheNextEmployee)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    const qint32 premia = KindOfTip(dtPremia);
    SaveInput(tabns[0], {{kBonus, 0, 1500, 0}, {premia, 0, 700, 0}});
    TFormMain w;
    w.show();
    Pick(w, podrA, 0);
    w.ShowPage(2);
    ASSERT_EQ(w.InputDops().Count(), 2);
    QTest::keyClick(w.lvd, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(w.pcVvod->currentWidget(), w.tabVvRas);
    QTest::keyClick(w.lvRasD, Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(w.CurTabn(), tabns[1]);
    modal.Next<TFormFindDNum>([](TFormFindDNum& f) {
        f.edNum->selectAll();
        QTest::keyClicks(f.edNum, QString::number(kBonus));
        QTest::keyClick(f.edNum, Qt::Key_Return);
    });
    modal.Next<TFormInVvod>(TypeSum(QStringLiteral("300")));
    QTest::keyClick(w.lvRasD, Qt::Key_Insert);
    EXPECT_EQ(StoredInputRows(tabns[1]), 1) << "only the new row";
    EXPECT_DOUBLE_EQ(StoredInput(tabns[1], kBonus), 300);
    EXPECT_EQ(StoredInputRows(tabns[0]), 2);
    EXPECT_DOUBLE_EQ(StoredInput(tabns[0], kBonus), 1500);
    EXPECT_DOUBLE_EQ(StoredInput(tabns[0], premia), 700);
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

TEST_F(MainTest, TotalsGoToTheirLabelsAndUnknownKindsSaySo)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    constexpr qint32 kGone = 999; // no such kind in the directory
    SaveInput(tabns[0], {{kGone, 0, 10, 0}});
    SaveMonthTotals(tabns[0], Cfg.Workdate, {{dnVsego, 0, 111}});
    T_TabnDopList nc(DNList(), tdkNewResults);
    nc.Date = Cfg.Workdate;
    nc.TabNum = tabns[0];
    const struct {
        qint32 dopNum;
        double time, sum;
    } rows[] = {{kBonus, 0, 1500}, {dnFirstReserved, 0, 7}, {dnPNSumOsv, 0, 1}, {dnPNDopOsv, 0, 2},
        {dnPNSumAll, 0, 3000}, {dnPNSumTo, 0, 2500}, {dnPNPay, 0, 325}, {dnNachis, 160.5, 18500}, {dnUder, 168, 2405},
        {dnVsego, 0, 16095}};
    for (const auto& r : rows)
        nc.SetValues(r.dopNum, r.time, Currency::FromDouble(r.sum), 0);
    nc.SaveNewResults();

    TFormMain w;
    w.show();
    Pick(w, podrA, 0);
    w.ShowPage(2);
    ASSERT_EQ(w.lvd->model()->rowCount(), 1);
    EXPECT_EQ(w.lvd->model()->index(0, 0).data().toString(), QStringLiteral("999"));
    EXPECT_EQ(w.lvd->model()->index(0, 1).data().toString(), QStringLiteral("(не найдено в справочнике)"));
    w.ShowVvodPage(1);
    const struct {
        const char* label;
        QString text;
    } labels[] = {{"lbDop_Begin", FormatMoney(111)}, {"lbDop_PNSumAll", FormatMoney(3000)},
        {"lbDop_PNSumTo", FormatMoney(2500)}, {"lbDop_PNPay", FormatMoney(325)}, {"lbDop_Nachis", FormatMoney(18500)},
        {"lbFactTime", FormatShortFloat(160.5)}, {"lbDop_Uder", FormatMoney(2405)}, {"lbBalans", FormatShortFloat(168)},
        {"lbDop_Vsego", FormatMoney(16095)}};
    for (const auto& l : labels)
        EXPECT_EQ(Total(w, l.label), l.text) << l.label;
    QStringList listed;
    for (int r = 0; r < w.lvRasD->model()->rowCount(); ++r)
        listed << w.lvRasD->model()->index(r, 0).data().toString();
    EXPECT_EQ(listed, (QStringList{QString::number(kBonus), QString::number(dnFirstReserved)}));
    for (QLabel* label : w.tabVvRas->findChildren<QLabel*>())
        EXPECT_FALSE(label->text() == FormatMoney(1) || label->text() == FormatMoney(2)) << "exempt sums are not shown";

    // The next employee has no results: the labels start empty.
    QTest::keyClick(w.lvRasD, Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_EQ(w.CurTabn(), tabns[1]);
    for (const auto& l : labels)
        EXPECT_EQ(Total(w, l.label), QString()) << l.label;
}

TEST_F(MainTest, CtrlPageKeysOnTheCardStepThroughTheList)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    const qint32 empty = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Пусто"))});
    PNList()->SetLoaded(false);
    TFormMain w;
    w.show();
    struct Case {
        const char* name;
        int from; // selected row, -1 none
        Qt::Key key;
        int to; // CurTabn's row afterwards
    };
    const Case cases[] = {{"no selection takes the first", -1, Qt::Key_PageDown, 0},
        {"on from the first", 0, Qt::Key_PageDown, 1}, {"not past the last", 2, Qt::Key_PageDown, 2},
        {"not before the first", 0, Qt::Key_PageUp, 0}, {"back from the last", 2, Qt::Key_PageUp, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.ShowPage(0);
        Pick(w, podrA, c.from < 0 ? 0 : c.from);
        w.ShowPage(1);
        ASSERT_EQ(w.pcMain->currentWidget(), w.tabSrCard);
        if (c.from < 0)
            w.lvt->selectionModel()->clear();
        QTest::keyClick(w.tabSrCard, c.key, Qt::ControlModifier);
        EXPECT_EQ(w.CurTabn(), tabns[c.to]);
        EXPECT_EQ(w.pcMain->currentWidget(), w.tabSrCard) << "the key is the list's, not the pages'";
    }
    // A department without employees: nothing to step to.
    w.SetCurrentPodr(empty);
    QTest::keyClick(w.tabSrCard, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(w.CurTabn(), 0);
}

// On the page "Карточка" the card takes its own keys as its window of its
// own does: Enter changes, Insert adds, Delete removes a permanent accrual;
// Esc never hides it, and its comment keeps the arrow keys.
TEST_F(MainTest, TheEmbeddedCardTakesItsKeysAndEscKeepsIt)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    ScopedRealCard realCard;
    TCardSpec spec;
    spec.Fio = QStringLiteral("Зайцев Илья");
    spec.Podr = podrB;
    spec.Permanent = {kBonus};
    const qint32 tabn = AddCard(spec);
    const auto picker = TFormTabnEdit::DopPicker();
    int picked = 0;
    TFormTabnEdit::DopPicker() = [&picked](int&, const QString&) {
        ++picked;
        return false;
    };
    TFormMain w;
    w.resize(900, 640);
    w.show();
    QApplication::setActiveWindow(&w);
    w.SetStaffMode(true);
    w.LocateTabn(tabn);
    w.ShowPage(1);
    auto* card = w.findChild<TFormTabnEdit*>();
    ASSERT_NE(card, nullptr);
    card->SetEditMode(true);
    card->pcSrCard->setCurrentWidget(card->tabTabnDop);
    card->lvd->setFocus();
    card->lvd->setCurrentItem(card->lvd->topLevelItem(0));
    modal.Next<TFormInSrDop>([](TFormInSrDop& f) {
        f.edSum->SetValue(700);
        f.Accept();
    });
    QTest::keyClick(card->lvd, Qt::Key_Return);
    EXPECT_EQ(card->DopCellText(0, 2), QStringLiteral("700")) << "Enter changes the entry";
    SaveScreenshot(&w, QStringLiteral("desk_main_card_keys"));
    QApplication::setActiveWindow(&w); // back from the entry's dialog
    QTest::keyClick(card->lvd, Qt::Key_Insert);
    EXPECT_EQ(picked, 1) << "Insert asks for the kind to add";
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    QTest::keyClick(card->lvd, Qt::Key_Delete);
    EXPECT_EQ(card->lvd->topLevelItemCount(), 0) << "Delete removes the entry";
    QTest::keyClick(card->lvd, Qt::Key_Escape);
    EXPECT_TRUE(card->isVisible()) << "Esc leaves the card on its page";
    EXPECT_TRUE(card->EditMode());

    card->pcSrCard->setCurrentWidget(card->tabDop);
    card->mmComment->setPlainText(QStringLiteral("первая\nвторая"));
    card->mmComment->setFocus();
    card->mmComment->moveCursor(QTextCursor::Start);
    QTest::keyClick(card->mmComment, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), card->mmComment) << "the comment keeps Down";
    EXPECT_EQ(card->mmComment->textCursor().blockNumber(), 1);
    msgs.Expect(MsgKind::SaveChanges).No();
    card->SetEditMode(false);
    TFormTabnEdit::DopPicker() = picker;
}

// Every menu and item can be reached from the keyboard: each has a
// mnemonic of its own within its menu, and F10 opens the first menu.
TEST_F(MainTest, EveryMenuItemHasItsOwnMnemonicAndF10OpensTheMenu)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    QStringList faults;
    std::function<void(const QString&, const QList<QAction*>&)> walk
        = [&](const QString& path, const QList<QAction*>& items) {
              QSet<QChar> seen;
              for (QAction* a : items) {
                  if (a->isSeparator())
                      continue;
                  const QChar m = MnemonicOf(a->text());
                  const QString name = path + QLatin1Char('/') + QString(a->text()).remove(QLatin1Char('&'));
                  if (m.isNull())
                      faults << name + QStringLiteral(" has none");
                  else if (seen.contains(m))
                      faults << name + QStringLiteral(" repeats ") + m;
                  seen.insert(m);
                  if (a->menu())
                      walk(name, a->menu()->actions());
              }
          };
    walk(QString(), w.menuBar()->actions());
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(w.Action(QStringLiteral("mnNewTabn"))->text().remove(QLatin1Char('&')),
        QStringLiteral("         Новый работник"))
        << "the caption stays as it was";

    w.show();
    QApplication::setActiveWindow(&w);
    QTest::keyClick(&w, Qt::Key_F10);
    auto* file = w.findChild<QMenu*>(QStringLiteral("mnFile"));
    EXPECT_EQ(w.menuBar()->activeAction(), file->menuAction());
    EXPECT_TRUE(file->isVisible());
    file->close();
    // Alt with the underlined letter opens its menu.
    auto* spr = w.findChild<QMenu*>(QStringLiteral("mnSpr"));
    const QChar letter = MnemonicOf(spr->title());
    QTest::sendKeyEvent(QTest::Click, &w, Qt::Key(letter.toUpper().unicode()), QString(letter), Qt::AltModifier);
    EXPECT_TRUE(spr->isVisible());
    spr->close();
}

// Every button and page tab of the books, the accrual windows and the
// hiring wizard has a letter of its own within its window, also after a
// book relabels its buttons.
TEST_F(MainTest, EveryButtonAndPageOfTheBooksHasItsOwnMnemonic)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    QStringList faults;
    const auto check = [&faults](TForm* w) {
        w->show();
        QStringList captions;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() != QLatin1String("..."))
                captions << b->text();
        for (QTabWidget* tabs : w->findChildren<QTabWidget*>())
            for (int i = 0; i < tabs->count(); ++i)
                captions << tabs->tabText(i);
        QSet<QChar> seen;
        for (const QString& c : captions)
            if (const QChar m = MnemonicOf(c); m.isNull() || seen.contains(m))
                faults << w->objectName() + QLatin1Char('/') + c;
            else
                seen.insert(m);
    };
    TFormSprDop book;
    check(&book);
    book.SelectSet(4);
    check(&book);
    const std::unique_ptr<TForm> windows[] = {std::make_unique<TFormDoplEdit>(), std::make_unique<TFormNewDopl>(),
        std::make_unique<TFormDpSelect>(), std::make_unique<TFormTbSelect>(), std::make_unique<TFormRTEdit>(kBonus),
        std::make_unique<TFormEditFml>(), std::make_unique<TFormCalcPrem>(), std::make_unique<TFormSprPx>(),
        std::make_unique<TFormSprClndr>(), std::make_unique<TFormSprPost>(), std::make_unique<TFormSprCtgr>(),
        std::make_unique<TFormSprStaff>(), std::make_unique<TFormPodr>(), std::make_unique<TFormNewEmploy>()};
    for (const std::unique_ptr<TForm>& w : windows)
        check(w.get());
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QStringLiteral("; ")).toStdString();
}

// Minimising the main window takes the other windows with it; they come
// back with it.
TEST_F(MainTest, MinimisingTheMainWindowHidesTheOthersUntilItComesBack)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    TForm book(nullptr, QStringLiteral("FormBook"));
    w.show();
    book.show();
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(book.isVisible());
    w.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(book.isVisible());
}

TEST_F(MainTest, TheCaptionKeepsAPercentInItsExtraText)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    w.SetMainTitle(QStringLiteral("100%d готово %s"));
    EXPECT_EQ(w.windowTitle(),
        QStringLiteral("Qor - зарплата и кадры  Версия ") + FormatVersion(0)
            + QStringLiteral("  [Март 2024] 100%d готово %s"));
}

TEST_F(MainTest, DismissRestoreAndDeleteSayWhatTheyRefuse)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    TFormMain w;
    w.resize(800, 560);
    w.show();
    w.SetStaffMode(true);
    Pick(w, podrA, 0);
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Не уволен"));
    w.Trigger(QStringLiteral("btRestore"));
    msgs.Expect(MsgKind::Question).Title(QStringLiteral("Уволить работника")).Yes();
    w.Trigger(QStringLiteral("btDismiss"));

    // The dismissed group: "-1", the department left, the other buttons.
    QTreeWidgetItem* group = PodrItem(w, DismissedGroupNum);
    ASSERT_NE(group, nullptr);
    w.tvp->setCurrentItem(group);
    ASSERT_TRUE(w.DismissedView());
    EXPECT_EQ(Panel(w, "sBarPodr", 0), QStringLiteral("-1"));
    EXPECT_EQ(Panel(w, "sBarPodr", 1), QStringLiteral("Работников  [1]"));
    ASSERT_EQ(w.lvt->model()->columnCount(), 4);
    EXPECT_EQ(w.lvt->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("№ Подр."));
    EXPECT_EQ(w.lvt->model()->index(0, 3).data().toString(), QString::number(podrA));
    EXPECT_TRUE(w.tbSrDel->isVisible());
    EXPECT_FALSE(w.tbSrBase->isVisible());
    SaveScreenshot(&w, QStringLiteral("desk_main_dismissed"));
    Pick(w, DismissedGroupNum, 0);
    ASSERT_EQ(w.CurTabn(), tabns[0]);
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Уже уволен"));
    w.Trigger(QStringLiteral("btDismiss"));

    // His department closed meanwhile: he goes where the clerk says.
    SetRecordValuesByKey(DM()->SP, {Variant(podrA)}, {QStringLiteral("DELETED")}, {Variant(true)});
    PNList()->SetLoaded(false);
    Pick(w, DismissedGroupNum, 0);
    modal.Next<TFormSrSelect>([&](TFormSrSelect& f) {
        EXPECT_TRUE(f.pnHelp->text().startsWith(QStringLiteral("Подразделения №%1 больше нет").arg(podrA)))
            << f.pnHelp->text().toStdString();
        for (QTreeWidgetItemIterator it(f.tvp); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == podrB)
                f.tvp->setCurrentItem(*it);
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    msgs.Expect(MsgKind::Question)
        .Title(QStringLiteral("Восстановить работника в подразделение №%1").arg(podrB))
        .Details(QString::number(tabns[0]) + QStringLiteral("  Петров Петр"))
        .Yes();
    w.Trigger(QStringLiteral("btRestore"));
    bool found = false;
    auto card = T_Tabn::CreateByTabNum(tabns[0], found);
    EXPECT_FALSE(card->Dismissed);
    EXPECT_EQ(card->Podr, podrB);
    EXPECT_EQ(w.Cards().Count(), 0) << "the group is empty again";

    // A card gone behind the window's back is named by its number.
    Pick(w, podrB, 0);
    const qint32 gone = w.CurTabn();
    ASSERT_GT(gone, 0);
    {
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        ASSERT_TRUE(sr.FindKey({Variant(gone)}));
        sr.Delete();
    }
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Табельный номер №%1 в справочнике не найден").arg(gone));
    w.Trigger(QStringLiteral("btDismiss"));
}

// A test progress sink that tries the clerk's keys and clicks between two
// employees of a run, as the events the run lets through would.
namespace {
class MeddlingProgress final : public IProgress {
public:
    explicit MeddlingProgress(std::function<void()> meddle) : meddle_(std::move(meddle)), install_(this) {}
    void Init(int, int, int, int, int) override { active_ = true; }
    void PosBar(int, int) override {}
    void IncPos(int) override
    {
        if (meddle_)
            meddle_();
    }
    void Mess(int, const QString&) override {}
    void FillBar(int) override {}
    void Wait(int) override {}
    bool Stopped() const override { return false; }
    void SetStopped(bool) override {}
    bool Active() const override { return active_; }
    void Close() override { active_ = false; }
    void BeginBusy() override {}
    void EndBusy() override {}

private:
    std::function<void()> meddle_;
    bool active_ = false;
    ScopedProgress install_;
};
} // namespace

TEST_F(MainTest, TheEnterpriseRunCalculatesTheWorkingAndWaitsForNobody)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    SaveInput(tabns[2], {{kBroken, 1, 0, 0}});
    const qint32 enterprise = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM"), QStringLiteral("NUMPDP")},
        {Variant(QStringLiteral("Предприятие")), Variant(-1)});
    TCardSpec boss;
    boss.Fio = QStringLiteral("Директоров Д");
    boss.Podr = enterprise;
    const qint32 atTop = AddCard(boss);
    PNList()->SetLoaded(false);
    TFormMain w;
    w.resize(800, 560);
    w.show();
    QApplication::setActiveWindow(&w);
    w.SetStaffMode(true);
    Pick(w, podrB, 1);
    msgs.Expect(MsgKind::Question).Yes();
    w.Trigger(QStringLiteral("btDismiss")); // Попова Вера
    w.SetCalcMode(true);
    Pick(w, podrB, 0);
    ASSERT_EQ(w.CurTabn(), tabns[3]);

    int meddled = 0;
    bool stayedPut = true;
    MeddlingProgress progress([&] {
        ++meddled;
        QTest::mouseClick(w.tvp->viewport(), Qt::LeftButton, {}, w.tvp->visualItemRect(PodrItem(w, podrA)).center());
        QTest::keyClick(&w, Qt::Key_X, Qt::AltModifier);
        QTest::keyClick(w.lvt, Qt::Key_PageUp, Qt::ControlModifier);
        QCoreApplication::processEvents();
        stayedPut = stayedPut && w.isVisible() && w.CurPodr() == podrB && w.CurTabn() == tabns[3];
    });
    ASSERT_TRUE(w.Trigger(QStringLiteral("mnCalcEnterprise")));
    EXPECT_EQ(meddled, 4);
    EXPECT_TRUE(stayedPut) << "no click or key acted during the run";
    EXPECT_EQ(w.CalcCount() + w.CalcFailedCount(), 4) << "neither the enterprise row nor the dismissed";
    EXPECT_EQ(w.CalcFailedCount(), 1);
    bool found = false;
    EXPECT_FALSE(T_Tabn::CreateByTabNum(atTop, found)->Calculated);
    EXPECT_FALSE(T_Tabn::CreateByTabNum(tabns[4], found)->Calculated);
    EXPECT_TRUE(T_Tabn::CreateByTabNum(tabns[3], found)->Calculated);
    EXPECT_EQ(w.CurTabn(), tabns[2]) << "the first failing employee";
    TFormView& view = FormView();
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Ошибки при расчете предприятия"));
    EXPECT_EQ(view.pnMsg->text(), QStringLiteral("Список ошибок"));
    EXPECT_EQ(view.Lines().value(0), QStringLiteral("***  Ошибки при расчете. Табельный номер [%1]").arg(tabns[2]));
    view.close();
    // Failures count though the last employee was fine.
    EXPECT_FALSE(w.CalcEnterprise());
    view.close();
    qint32 first = 0;
    EXPECT_FALSE(w.CalcPodr(podrA, false, first));
    EXPECT_EQ(first, tabns[2]);
}

// A run in which every employee fails counts none of them and lists them all.
TEST_F(MainTest, AnEnterpriseRunWhereEveryoneFailsCountsNobody)
{
    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    for (qint32 tabn : tabns)
        SetRecordValuesByKey(DM()->SR, {Variant(tabn)}, {QStringLiteral("SPNTABL")}, {Variant(99)});
    TFormMain w;
    w.show();
    ASSERT_TRUE(w.Trigger(QStringLiteral("mnCalcEnterprise")));
    EXPECT_EQ(
        w.findChild<QLabel*>(QStringLiteral("StatusBar1"))->text(), QStringLiteral("Рассчитано: 0   Не рассчитано: 5"));
    TFormView& view = FormView();
    EXPECT_TRUE(view.isVisible());
    QStringList listed = view.Lines().filter(QStringLiteral("***  Ошибки при расчете. Табельный номер"));
    EXPECT_EQ(listed.size(), 5);
    view.close();
}

TEST_F(MainTest, AFormulaErrorOpensItsEditorOnceAtThePlace)
{
    ScriptedMessages msgs;
    ModalScript modal;
    ScopedApplicationRunning running;
    SetFormulaEditorOpener(OpenFormulaAtError);
    SaveInput(tabns[2], {{kBroken, 1, 0, 0}});
    TFormMain w;
    w.show();
    Pick(w, podrA, 2);
    w.ShowPage(2);
    QStringList lines;
    const auto readViewer = [&](TFormView& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Ошибки при расчете"));
        EXPECT_EQ(f.pnMsg->text(), QStringLiteral("Табельный номер [%1]").arg(tabns[2]));
        lines = f.Lines();
        f.SetModalResult(mrCancel);
    };
    modal.Next<TFormView>(readViewer); // modal: the formula is to be mended
    QTest::keyClick(w.lvd, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_GE(w.Errors().size(), 3);
    EXPECT_EQ(lines, w.Errors().mid(0, w.Errors().size() - 1)) << "the viewer shows the lines";
    EXPECT_EQ(w.Errors().first(), QStringLiteral("***  Ошибки при расчете. Табельный номер [%1]").arg(tabns[2]));
    EXPECT_EQ(w.Errors().last(), QString());
    const TFormulaError error = AppContext().FormulaError;
    ASSERT_EQ(error.DopNum, kBroken);
    const auto editors = [] {
        QList<TFormEditFml*> found;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (auto* e = qobject_cast<TFormEditFml*>(t); e && e->isVisible())
                found << e;
        return found;
    };
    ASSERT_EQ(editors().size(), 1);
    TFormEditFml* editor = editors().first();
    EXPECT_EQ(editor->DopNum(), kBroken);
    EXPECT_EQ(editor->Line(), error.Line + 1);
    EXPECT_EQ(editor->Col(), error.Col);
    EXPECT_TRUE(editor->stMessage->text().endsWith(error.Message));

    // Again: the open editor is brought back, no second one is opened.
    editor->SetCaretPos(1, 1);
    modal.Next<TFormView>(readViewer);
    QTest::keyClick(w.pcMain->currentWidget(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(editors().size(), 1);
    EXPECT_EQ(editor->Line(), error.Line + 1);
    EXPECT_EQ(editor->Col(), error.Col);
    delete editor;

    // F5 on the input entry of a user formula opens its editor.
    w.ShowVvodPage(0);
    w.lvd->setFocus();
    w.lvd->setCurrentIndex(w.lvd->model()->index(0, 1));
    QTest::keyClick(w.lvd, Qt::Key_F5);
    ASSERT_EQ(editors().size(), 1);
    EXPECT_EQ(editors().first()->DopNum(), kBroken);
    delete editors().first();
    SetFormulaEditorOpener({});
}

// The main window's calculation on the dump's own enterprise gives the
// dump's references (tests/fixtures/calcdump): result rows and error lines.
namespace {
class MainDumpTest : public CalcTest {};
} // namespace

TEST_F(MainDumpTest, TheEnterpriseFromTheMenuGivesTheDumpsReferences)
{
    BuildDumpEnterprise();
    QFile file(QStringLiteral(QOR_SOURCE_DIR "/tests/fixtures/calcdump/all.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList expectedRows, expectedErrors;
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeFirst(); // the heading
    lines.removeLast(); // after the last line end
    static const QRegularExpression row(QStringLiteral("^\\d+;"));
    for (const QString& line : lines)
        (row.match(line).hasMatch() ? expectedRows : expectedErrors) << line;
    ASSERT_FALSE(expectedErrors.isEmpty());

    ScriptedMessages msgs;
    ScopedApplicationRunning running;
    TFormMain w;
    w.show();
    ASSERT_TRUE(w.Trigger(QStringLiteral("mnCalcEnterprise")));
    EXPECT_EQ(FormView().Memo->toPlainText().split(QLatin1Char('\n')), expectedErrors);
    FormView().close();

    QStringList rows;
    Cursor nc(QStringLiteral("NC"));
    nc.Open();
    for (nc.First(); !nc.Eof(); nc.Next())
        rows << Format(QStringLiteral("%d;%d;%.4f;%.2f"), nc.FieldByName(QStringLiteral("TABNUM")).AsInteger(),
            nc.FieldByName(QStringLiteral("DOPNUM")).AsInteger(), nc.FieldByName(QStringLiteral("DTIME")).AsFloat(),
            nc.FieldByName(QStringLiteral("SUM")).AsFloat());
    rows.sort();
    expectedRows.sort();
    EXPECT_EQ(rows, expectedRows);
}
