// The employee card: every field back from the data base, the tax relief,
// the permanent accruals and their posting, the switch of employee.

#include "desk/TabnEdit.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "data/ui/InVvod.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/edits/NumEdit.h"
#include "platform/Clock.h"
#include "platform/SysUtils.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class TabnEditTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        Cfg.Workdate = EncodeDate(2024, 3, 15);
        AddTaxType(1, U("Основной"));
        AddTaxType(2, U("Льготный"));
        DM()->Post.EmptyTable();
        DM()->Ctgr.EmptyTable();
        AppendRecordValues(DM()->tbaPost, 5, {"NAIM"}, {Variant(U("Токарь"))});
        AppendRecordValues(DM()->tbaCtgr, 3, {"NAIM"}, {Variant(U("Рабочие"))});
        AddKind({.DopNum = 250, .Naim = U("Доплата"), .Formula = 1, .Sum = 500});
    }
    void TearDown() override
    {
        TFormTabnEdit::DopPicker() = [](int& n, const QString& t) { return InputDopNum(t, n); };
        FreeInputDialogs();
        CalcTest::TearDown();
    }
    static std::unique_ptr<T_xTabn> Stored(qint32 tabNum)
    {
        auto c = std::make_unique<T_xTabn>(DNList());
        c->SetTabNum(tabNum);
        c->SetDate(Cfg.Workdate);
        c->Load();
        return c;
    }
    static void Choose(QComboBox* combo, qint32 object)
    {
        const int i = combo->findData(QVariant::fromValue(qint64(object)));
        ASSERT_GE(i, 0) << object;
        combo->setCurrentIndex(i);
        emit combo->activated(i);
    }
    // The permanent-entry dialog answered with these values.
    static void AnswerEntry(ModalScript& modal, double sum)
    {
        modal.Next<TFormInSrDop>([sum](TFormInSrDop& f) {
            f.edSum->SetValue(sum);
            f.Accept();
        });
    }
};

TEST_F(TabnEditTest, EveryFieldTheCommentAndTheTaxTotalsComeBackFromTheDataBase)
{
    ScriptedMessages msgs;
    const qint32 tabn = AddCard({});
    {
        auto c = Stored(tabn);
        c->OrderRel = 77;
        c->Post = 5;
        c->Save();
    }
    TFormTabnEdit form;
    form.SetTabn(tabn);
    form.show();
    EXPECT_EQ(form.windowTitle(), U("Карточка работника:  [%1]  Иванов Иван Иванович").arg(tabn));
    EXPECT_EQ(form.edPost->text(), U("Токарь"));
    EXPECT_EQ(form.edOrderRelease->text(), U("77"));

    form.SetEditMode(true);
    form.edFio->setText(U("Петров Петр Петрович|Петров П.П."));
    emit form.edFio->textEdited(form.edFio->text());
    EXPECT_EQ(form.windowTitle(), U("Карточка работника:  [%1]  Петров Петр Петрович|Петров П.П.").arg(tabn));
    form.edTabNomer->setText(U("A-17"));
    form.edDateBeg->SetValue(EncodeDate(2024, 2, 5));
    form.edDateRecept->SetValue(EncodeDate(2024, 2, 1));
    form.edDateRelease->SetValue(EncodeDate(2024, 12, 31));
    form.edOrderRecept->SetValue(12);
    form.edVychet->SetValue(150.55);
    form.edMinZarp->SetValue(2);
    form.edOkl->SetValue(12345.67);
    form.edAvan->SetValue(3000);
    Choose(form.cbCtgr, 3);
    Choose(form.cbTipPN, 2);
    EXPECT_TRUE(form.edOkl->DisplayText().endsWith(U(" р."))) << "a monthly salary in rubles";
    form.cbKSop->setCurrentIndex(1);
    emit form.cbKSop->activated(1);
    EXPECT_EQ(form.edOkl->DisplayText(), U("12\u00a0345,67")) << "an hourly rate in kopecks, no ruble sign";
    form.rbPNC->click();
    form.edPNLgota->SetValue(30);
    form.rgFS->button(2)->click();
    form.mmComment->setPlainText(U("ул. Ленина, 5\nтел. 22-33"));
    form.edPNPay->SetValue(100);
    form.edPNSumTo->SetValue(2000);
    form.edPNSumAll->SetValue(24000.5);
    form.edPNMesAll->SetValue(3);
    form.edPNDopOsv->SetValue(50);
    form.edPNKolMinZp->SetValue(2);
    form.edPNSumOsv->SetValue(10);
    msgs.Expect(MsgKind::SaveChanges)
        .Details(U("Табельный номер :%1\r\n\"Петров Петр Петрович|Петров П.П.\"").arg(tabn))
        .Yes();
    form.SetEditMode(false);
    EXPECT_FALSE(form.EditMode());

    auto c = Stored(tabn);
    EXPECT_EQ(c->Fio, U("Петров Петр Петрович|Петров П.П."));
    EXPECT_EQ(c->TabNomer, U("A-17"));
    EXPECT_EQ(c->DateBeg, EncodeDate(2024, 2, 5));
    EXPECT_EQ(c->DateRecept, EncodeDate(2024, 2, 1));
    EXPECT_EQ(c->DateRelease, EncodeDate(2024, 12, 31));
    EXPECT_EQ(c->Order, 12);
    EXPECT_EQ(c->OrderRel, 77) << "never shown, still kept";
    EXPECT_EQ(c->Post, 5);
    EXPECT_DOUBLE_EQ(c->Vychet, 150.55);
    EXPECT_EQ(c->MinZarp, 2);
    EXPECT_DOUBLE_EQ(c->Okl, 12345.67);
    EXPECT_DOUBLE_EQ(c->Avan, 3000);
    EXPECT_EQ(c->Ctgr, 3);
    EXPECT_EQ(c->SpnTabl, 2);
    EXPECT_EQ(c->Ksop, 1);
    EXPECT_NEAR(c->LgotaPN, 0.7, 1e-9);
    EXPECT_EQ(c->Fs, 2);
    EXPECT_TRUE(c->FComment);
    EXPECT_EQ(c->Comment(), U("ул. Ленина, 5\nтел. 22-33"));
    T_TabnDopList& t = c->MonthTotals();
    const struct {
        qint32 dopNum;
        double time, sum;
    } totals[]
        = {{dnPNPay, 0, 100}, {dnPNSumTo, 0, 2000}, {dnPNSumAll, 3, 24000.5}, {dnPNDopOsv, 2, 50}, {dnPNSumOsv, 0, 10}};
    for (const auto& e : totals) {
        double time = -1, proc = -1;
        Currency sum;
        t.GetValues(e.dopNum, time, sum, proc);
        EXPECT_DOUBLE_EQ(time, e.time) << e.dopNum;
        EXPECT_DOUBLE_EQ(sum.ToDouble(), e.sum) << e.dopNum;
    }
    // The form shows what was stored.
    EXPECT_EQ(form.edPNMesAll->Value(), 3);
    EXPECT_DOUBLE_EQ(form.edPNSumAll->Value(), 24000.5);
    for (int page = 0; page < form.pcSrCard->count(); ++page) {
        form.pcSrCard->setCurrentIndex(page);
        SaveScreenshot(&form, QStringLiteral("desk_tabn_edit_%1").arg(page));
    }
}

TEST_F(TabnEditTest, TheTaxReliefChoosesItsButtonAndRefusesPercentsOutside0To100)
{
    ScriptedMessages msgs;
    const struct {
        double lgota;
        const char* radio;
        double percent;
    } cases[] = {{0, "rbPNL", 100}, {0.5, "rbPNC", 50}, {0.999995, "rbPNF", 0}, {1, "rbPNF", 0}};
    for (const auto& k : cases) {
        TCardSpec spec;
        spec.LgotaPN = k.lgota;
        TFormTabnEdit form;
        form.SetTabn(AddCard(spec));
        EXPECT_TRUE(form.findChild<QRadioButton*>(QLatin1String(k.radio))->isChecked()) << k.lgota;
        EXPECT_NEAR(form.edPNLgota->Value(), k.percent, 0.001) << k.lgota;
        EXPECT_EQ(form.edPNLgota->isEnabledTo(form.sbBase), k.lgota == 0.5) << k.lgota;
    }

    TFormTabnEdit form;
    const qint32 tabn = AddCard({});
    form.SetTabn(tabn);
    form.SetEditMode(true);
    form.rbPNC->click();
    form.edPNLgota->SetValue(150);
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Error).Containing(U("от 0 до 100"));
    EXPECT_FALSE(form.LeaveEditMode()) << "a refused save vetoes the page change";
    EXPECT_TRUE(form.EditMode());
    EXPECT_DOUBLE_EQ(Stored(tabn)->LgotaPN, 1);

    form.rbPNL->click();
    form.edOkl->SetValue(-95000);
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Error).Details(U("Поле \"Оклад\": значение не может быть отрицательным"));
    EXPECT_FALSE(form.LeaveEditMode()) << "a negative salary is refused";
    form.edOkl->SetValue(95000);
    msgs.Expect(MsgKind::SaveChanges).Yes();
    EXPECT_TRUE(form.LeaveEditMode());
    EXPECT_DOUBLE_EQ(Stored(tabn)->LgotaPN, 0);
}

TEST_F(TabnEditTest, PermanentEntriesAskToPostOnlyAfterARealChange)
{
    ScriptedMessages msgs;
    ModalScript modal;
    TCardSpec spec;
    spec.Permanent = {250};
    const qint32 tabn = AddCard(spec);
    {
        // From the working month on, as the card makes them (no date before 1900 is a date).
        auto c = Stored(tabn);
        T_TabnDop* entry = c->Permanent().FindTabnDop(250);
        entry->DateBeg = Cfg.Workdate;
        entry->DateEnd = 0;
        c->Save();
    }
    const Currency stored = Stored(tabn)->Permanent().GetSum(250);

    TFormTabnEdit form;
    form.SetTabn(tabn);
    form.show();
    form.pcSrCard->setCurrentWidget(form.tabTabnDop);
    ASSERT_EQ(form.lvd->topLevelItemCount(), 1);
    EXPECT_EQ(form.DopCellText(0, 1), U("Доплата"));
    EXPECT_FALSE(form.lvd->topLevelItem(0)->icon(0).isNull()) << "the kind's image";
    EXPECT_EQ(form.DopCellText(5, 0), U("??? 5"));

    // The same values again: nothing changed, no question at all.
    form.SetEditMode(true);
    AnswerEntry(modal, stored.ToDouble());
    form.ChangeDop();
    EXPECT_FALSE(form.PermModified());
    form.SetEditMode(false);
    EXPECT_TRUE(msgs.Log().isEmpty()) << "no save question when nothing changed";

    // A real change: "Да" posts into the input of the working date.
    form.SetEditMode(true);
    AnswerEntry(modal, 700.5);
    form.ChangeDop();
    EXPECT_TRUE(form.PermModified());
    EXPECT_EQ(form.DopCellText(0, 2), U("700,5")) << "the decimal comma";
    SaveScreenshot(&form, QStringLiteral("desk_tabn_edit_dops"));
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Question).Title(U("Разнести измененные постоянные начисления во ввод ?")).Yes();
    form.SetEditMode(false);
    T_TabnDopList input(DNList(), tdkInput);
    input.Date = Cfg.Workdate;
    input.SetTabn(tabn);
    ASSERT_EQ(input.GetCount(), 1);
    EXPECT_EQ(input.GetTabnDop(0)->DopNum, 250);
    EXPECT_EQ(input.GetTabnDop(0)->Sum, Currency::FromDouble(700.5));
    EXPECT_EQ(input.GetTabnDop(0)->DateBeg, Cfg.Workdate);

    // Zeros remove the entry without a crash; a delete asks nothing to post.
    form.SetEditMode(true);
    AnswerEntry(modal, 0);
    form.ChangeDop();
    EXPECT_EQ(form.lvd->topLevelItemCount(), 0);
    EXPECT_FALSE(form.PermModified());
    msgs.Expect(MsgKind::Error).Details(U("Не выбрано постоянное начисление"));
    form.DeleteDop();
    msgs.Expect(MsgKind::SaveChanges).Yes();
    form.SetEditMode(false);
    EXPECT_EQ(Stored(tabn)->Permanent().GetCount(), 0);
}

TEST_F(TabnEditTest, AddingAKindWithNothingTypedAddsNothing)
{
    ScriptedMessages msgs;
    ModalScript modal;
    TFormTabnEdit form;
    form.SetTabn(AddCard({}));
    form.SetEditMode(true);
    QString title;
    TFormTabnEdit::DopPicker() = [&title](int& n, const QString& t) {
        title = t;
        n = 250;
        return true;
    };
    AnswerEntry(modal, 0);
    form.AddDop();
    EXPECT_EQ(title, U("Выберите начисление, которое нужно добавить к расчету"));
    EXPECT_EQ(form.Card().Permanent().GetCount(), 0);
    AnswerEntry(modal, 42);
    form.AddDop();
    ASSERT_EQ(form.Card().Permanent().GetCount(), 1);
    EXPECT_EQ(form.Card().Permanent().GetTabnDop(0)->DateBeg, Date()) << "today, not the working date";
    msgs.Expect(MsgKind::SaveChanges).No();
    form.SetEditMode(false);
    EXPECT_EQ(form.Card().Permanent().GetCount(), 0) << "No reloads the card";
}

TEST_F(TabnEditTest, SwitchingEmployeeSavesTheEditsOnTheOldOne)
{
    ScriptedMessages msgs;
    TCardSpec first, second;
    second.Fio = U("Сидоров Сидор");
    const qint32 a = AddCard(first), b = AddCard(second);
    TFormTabnEdit form;
    form.SetTabn(a);
    form.SetEditMode(true);
    form.edTabNomer->setText(U("X1"));
    msgs.Expect(MsgKind::SaveChanges).Containing(QString::number(a)).Yes();
    form.SetTabn(b);
    EXPECT_EQ(Stored(a)->TabNomer, U("X1"));
    EXPECT_TRUE(Stored(b)->TabNomer.isEmpty());
    EXPECT_EQ(form.TabNum(), b);
    EXPECT_EQ(form.edFio->text(), U("Сидоров Сидор"));
}

TEST_F(TabnEditTest, TheStandaloneCardNeedsANumber)
{
    ScriptedMessages msgs;
    AppContext().LastTabNum = 0;
    EXPECT_EQ(ShowTabnCard(0), nullptr);
    const qint32 tabn = AddCard({});
    QPointer<TFormTabnEdit> form = ShowTabnCard(tabn);
    ASSERT_TRUE(form);
    EXPECT_EQ(AppContext().LastTabNum, tabn);
    EXPECT_FALSE(form->pnChange->isVisible());
    EXPECT_EQ(form->DisplayMode(), tdmStandalone);
    // Esc is a way of closing like the others: the placement is saved.
    IniSavingEnabled = true;
    const int width = form->width();
    QTest::keyClick(form->edFio, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull()) << "freed on close";
    EXPECT_EQ(ProgramIni().ReadInteger(QStringLiteral("FormTabnEditPosition"), QStringLiteral("Width"), -1), width);
    IniSavingEnabled = false;
}

} // namespace
