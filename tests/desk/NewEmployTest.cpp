// The new-employee wizard: the reservation of the number and its release,
// the number buttons, the page checks, the saved card with last month's
// totals, and the close question.

#include "desk/NewEmploy.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/CalcBuilders.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class NewEmployTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        Cfg.Workdate = EncodeDate(2024, 3, 15);
        AddTaxType(1, U("Основной"));
        AppendRecordValues(
            DM()->SP, 7, {"NUMPDP", "NUMUP", "SNUM", "NAIM"}, {Variant(1), Variant(0), Variant(1), Variant(U("Цех"))});
        PNList()->SetLoaded(false);
    }
    static void Put(qint32 tabNum, const QString& tabNomer = QString())
    {
        T_xTabn c(DNList());
        c.SetTabNum(tabNum);
        c.Fio = U("Старый %1").arg(tabNum);
        c.TabNomer = tabNomer;
        c.Podr = 7;
        c.New = true;
        c.Save();
    }
    static QList<qint32> Rows()
    {
        QList<qint32> rows;
        Cursor sr(QStringLiteral("SR"));
        sr.Open();
        for (sr.First(); !sr.Eof(); sr.Next())
            rows << sr.FieldByName(QStringLiteral("TABNUM")).AsInteger();
        return rows;
    }
    static void Shot(TFormNewEmploy& w)
    {
        QApplication::processEvents();
        SaveScreenshot(&w, QStringLiteral("desk_new_employ_%1").arg(w.PageIndex()));
    }
    // Name page passed, on the number page.
    static void ToNumberPage(TFormNewEmploy& w)
    {
        w.show();
        w.edFio->setText(U("  Новиков Николай  "));
        w.NextPage();
        ASSERT_EQ(w.PageIndex(), TFormNewEmploy::pgTN);
    }
};

TEST_F(NewEmployTest, TheNumberIsReservedOnceAndReleasedByTheButtonsAndByNo)
{
    ScriptedMessages msgs;
    TFormNewEmploy w;
    ToNumberPage(w);
    EXPECT_EQ(w.lbHeader->text(), U("Новиков Николай"));
    w.edTabNum->SetValue(10);
    w.NextPage();
    EXPECT_EQ(Rows(), QList<qint32>{10});
    w.PrevPage();
    w.NextPage();
    EXPECT_EQ(Rows(), QList<qint32>{10}) << "leaving twice reserves once";
    EXPECT_EQ(w.Reserved(), 10);
    w.PrevPage();
    w.sbNextNum->click();
    EXPECT_TRUE(Rows().isEmpty()) << "the button releases first";
    EXPECT_EQ(w.edTabNum->Value(), 11);
    w.NextPage();
    EXPECT_EQ(Rows(), QList<qint32>{11});
    msgs.Expect(MsgKind::Choice).Title(U("Сохранить изменения")).No();
    w.done(mrOk);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(NewEmployTest, ChangingTheNumberOnThePageLeavesNoOrphanRow)
{
    ScriptedMessages msgs;
    TFormNewEmploy w;
    ToNumberPage(w);
    w.edTabNum->SetValue(5);
    w.NextPage();
    w.PrevPage();
    w.edTabNum->SetValue(7);
    w.NextPage();
    EXPECT_EQ(Rows(), QList<qint32>{7});
    w.PrevPage();
    w.edTabNum->SetValue(0);
    w.NextPage();
    EXPECT_TRUE(Rows().isEmpty()) << "number 0 keeps nothing reserved";
    w.PrevPage();
    w.edTabNum->SetValue(7);
    w.NextPage();
    w.btCancel->click();
    EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(NewEmployTest, TheNumberButtonsSkipUsedNumbers)
{
    ScriptedMessages msgs;
    for (qint32 n : {1, 2, 3, 5})
        Put(n);
    TFormNewEmploy w;
    ToNumberPage(w);
    const struct {
        int from;
        bool next;
        int to;
    } cases[] = {{1, true, 4}, {6, false, 4}, {4, true, 6}, {3, false, 0}, {0, true, 4}};
    for (const auto& c : cases) {
        w.edTabNum->SetValue(c.from);
        (c.next ? w.sbNextNum : w.sbPrevNum)->click();
        EXPECT_EQ(w.edTabNum->Value(), c.to) << c.from << " " << c.next;
    }
    w.edTabNum->SetValue(0);
    msgs.Expect(MsgKind::Error).Details(U("Не может быть меньше 0"));
    w.sbPrevNum->click();
    EXPECT_EQ(w.edTabNum->Value(), 0);
    w.btCancel->click();
}

TEST_F(NewEmployTest, ATakenNumberOrEnterpriseNumberKeepsThePage)
{
    ScriptedMessages msgs;
    Put(2, U("E-1"));
    TFormNewEmploy w;
    ToNumberPage(w);
    w.edTabNum->SetValue(2);
    msgs.Expect(MsgKind::Error).Details(U("Номер уже захвачен"));
    w.NextPage();
    EXPECT_EQ(w.PageIndex(), TFormNewEmploy::pgTN);
    EXPECT_EQ(w.Reserved(), 0);
    bool found = false;
    auto old = T_xTabn::CreateByTabNum(DNList(), 2, found);
    ASSERT_TRUE(found);
    EXPECT_EQ(old->Fio, U("Старый 2"));
    EXPECT_EQ(old->Podr, 7) << "the existing row is unchanged";

    w.edTabNum->SetValue(3);
    w.edSTabNum->setText(U(" E-1 "));
    msgs.Expect(MsgKind::Error).Details(U("Табельный номер предприятия уже существует"));
    w.NextPage();
    EXPECT_EQ(w.PageIndex(), TFormNewEmploy::pgTN);
    EXPECT_EQ(w.edSTabNum->text(), U("E-1"));
    w.edSTabNum->setText(U("E-2"));
    w.NextPage();
    EXPECT_EQ(w.PageIndex(), TFormNewEmploy::pgPodr);
    msgs.Expect(MsgKind::Error).Details(U("Не определено подразделение"));
    w.NextPage();
    EXPECT_EQ(w.PageIndex(), TFormNewEmploy::pgPodr);
    w.btCancel->click();
    EXPECT_EQ(Rows(), QList<qint32>{2});
}

// A reservation that fails for another reason than a taken number says so;
// a window restored from the task bar keeps what the clerk typed.
TEST_F(NewEmployTest, AFailedReservationShowsItsOwnTextAndARestoredWindowKeepsItsState)
{
    ScriptedMessages msgs;
    TFormNewEmploy w;
    ToNumberPage(w);
    w.edTabNum->SetValue(4);
    msgs.Expect(MsgKind::Error).Containing(U("Добавление записи в таблицу SR"));
    {
        ScopedFullDisk full;
        w.NextPage();
    }
    EXPECT_EQ(w.PageIndex(), TFormNewEmploy::pgTN);
    EXPECT_EQ(w.Reserved(), 0);

    w.NextPage();
    ASSERT_EQ(w.Reserved(), 4);
    w.showMinimized();
    w.showNormal();
    EXPECT_EQ(w.PageIndex(), TFormNewEmploy::pgPodr);
    EXPECT_EQ(w.Reserved(), 4);
    EXPECT_EQ(w.Card()->Fio, U("Новиков Николай"));
    w.btCancel->click();
    EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(NewEmployTest, SavingWritesTheCardAndLastMonthsTotals)
{
    ScriptedMessages msgs;
    Put(1);
    TFormNewEmploy w;
    ToNumberPage(w);
    Shot(w);
    w.NextPage();
    Shot(w);
    w.Card()->Podr = 7;
    w.Card()->Ctgr = 0;
    msgs.Expect(MsgKind::Warning).Containing(U("Не определена должность\r\nНе определена категория"));
    w.NextPage();
    ASSERT_EQ(w.PageIndex(), TFormNewEmploy::pgKso);
    Shot(w);
    w.edOkl->SetValue(15000);
    w.NextPage();
    w.rbPNC->click();
    w.edPNLgota->SetValue(30);
    Shot(w);
    w.NextPage();
    ASSERT_EQ(w.PageIndex(), TFormNewEmploy::pgLastData);
    w.edVsego->SetValue(1234.565);
    w.edPNPay->SetValue(120);
    w.edPNSumTo->SetValue(900);
    w.edPNSumAll->SetValue(5000);
    w.edPNMesAll->SetValue(2);
    w.edPNDopOsv->SetValue(40);
    w.edPNKolMinZp->SetValue(3);
    w.edPNSumOsv->SetValue(11);
    Shot(w);
    w.NextPage();
    Shot(w);
    msgs.Expect(MsgKind::Choice).Yes();
    w.btSave->click();
    EXPECT_FALSE(w.isVisible());
    ASSERT_EQ(Rows(), (QList<qint32>{1, 2})) << "number 0 took the next free one";

    bool found = false;
    auto c = T_xTabn::CreateByTabNum(DNList(), 2, found);
    ASSERT_TRUE(found);
    EXPECT_EQ(c->Fio, U("Новиков Николай"));
    EXPECT_EQ(c->Podr, 7);
    EXPECT_DOUBLE_EQ(c->Okl, 15000);
    EXPECT_NEAR(c->LgotaPN, 0.7, 1e-9);
    EXPECT_DOUBLE_EQ(c->Sum, 1234.57) << "as the money edit holds it";
    EXPECT_EQ(c->DateRas, 0) << "not calculated";
    T_TabnDopList totals(DNList(), tdkMonthTotals);
    totals.Date = Cfg.Workdate;
    totals.SetTabn(2);
    const struct {
        qint32 dopNum;
        double time, sum;
    } rows[] = {{dnVsego, 8.2, 1234.57}, {dnNachis, 170.2, 1234.57}, {dnPNPay, 0, 120}, {dnPNSumTo, 0, 900},
        {dnPNSumAll, 2, 5000}, {dnPNDopOsv, 3, 40}, {dnPNSumOsv, 0, 11}};
    for (const auto& r : rows) {
        T_TabnDop* e = totals.FindTabnDop(r.dopNum);
        ASSERT_NE(e, nullptr) << r.dopNum;
        EXPECT_DOUBLE_EQ(e->DTime, r.time) << r.dopNum;
        EXPECT_DOUBLE_EQ(e->Sum.ToDouble(), r.sum) << r.dopNum;
    }
}

TEST_F(NewEmployTest, EscOrBackOnTheCloseQuestionKeepsTheWizardOpenUnsaved)
{
    ScriptedMessages msgs;
    TFormNewEmploy w;
    ToNumberPage(w);
    w.edTabNum->SetValue(4);
    w.NextPage();
    msgs.Expect(MsgKind::Choice).PressEsc();
    w.done(mrOk);
    EXPECT_TRUE(w.isVisible());
    msgs.Expect(MsgKind::Choice).Press(U("Вернуться"));
    w.done(mrOk);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Rows(), QList<qint32>{4}) << "still only the reservation";
    bool found = false;
    EXPECT_TRUE(T_xTabn::CreateByTabNum(DNList(), 4, found)->Dismissed) << "the reservation carries PODR 0";
    w.done(mrCancel);
    EXPECT_TRUE(Rows().isEmpty());
}

} // namespace
