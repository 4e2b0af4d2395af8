// The new-accrual wizard: a kind made page by page and placed after the
// chosen one, the number reservation released on every way out but a
// save, the number checks and the number buttons.

#include "calc/ui/NewDopl.h"
#include "AccrualFixture.h"
#include "data/Globals.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class NewDoplTest : public AccrualTest {
protected:
    void SetUp() override
    {
        AccrualTest::SetUp();
        AddBuiltInKinds();
        AddKind({.DopNum = 150, .Naim = U("Доплата за вредность")});
        wizard = std::make_unique<TFormNewDopl>();
        wizard->show();
    }
    void TearDown() override
    {
        wizard.reset();
        AccrualTest::TearDown();
    }
    // Through the type page with that type.
    void ChooseType(bool uder, const QString& name)
    {
        (uder ? wizard->rbUder : wizard->rbDopl)->click();
        wizard->edNaim->setText(name);
        wizard->NextPage();
        ASSERT_EQ(wizard->pc->currentWidget(), wizard->tabCode);
    }
    // Next, answering an expected error; true when the page changed.
    bool NextWithError(const char* error)
    {
        const int page = wizard->PageIndex();
        msgs.Expect(MsgKind::Error).Containing(U(error));
        RunGuarded([this] { wizard->NextPage(); });
        return wizard->PageIndex() != page;
    }

    std::unique_ptr<TFormNewDopl> wizard;
};

TEST_F(NewDoplTest, AKindMadePageByPageIsSavedAfterTheChosenKind)
{
    // Re-ordered before: 150's place in the order no longer follows its number.
    ASSERT_TRUE(MoveDopBefore(150, 1));
    DNList()->Reload();
    EXPECT_FALSE(NextWithError("Не определен тип начисления"));
    wizard->rbDopl->click();
    wizard->edNaim->setText(U("  "));
    EXPECT_FALSE(NextWithError("Введите наименование начисления"));
    EXPECT_EQ(wizard->cbFormula->currentText(), U("???"));
    EXPECT_EQ(wizard->edStadiaF->value(), 150);
    ChooseType(false, U("Доплата за стаж"));
    const qint32 num = wizard->edDopNum->value();
    EXPECT_EQ(num, 4) << "the first free number";
    EXPECT_FALSE(DpHas(num));
    wizard->NextPage();
    EXPECT_EQ(wizard->Reserved(), num);
    EXPECT_TRUE(DpHas(num));

    EXPECT_FALSE(NextWithError("Не определена формула расчета"));
    wizard->cbFormula->setCurrentIndex(wizard->cbFormula->findData(2));
    SaveScreenshot(wizard.get(), QStringLiteral("calc_ui_new_dopl"));
    wizard->NextPage();
    wizard->cbTabl->setChecked(true);
    wizard->NextPage();
    ASSERT_EQ(wizard->pc->currentWidget(), wizard->tabInd);
    wizard->cbIndivid->setChecked(true);
    EXPECT_FALSE(NextWithError("Значение индивидуального начисления не может быть = 0.0"));
    wizard->edSum->selectAll();
    QTest::keyClicks(wizard->edSum, QStringLiteral("12x.5")); // the letter is refused
    EXPECT_EQ(wizard->edSum->text(), QStringLiteral("12,5"));
    wizard->NextPage();
    ASSERT_EQ(wizard->pc->currentWidget(), wizard->tabMisc);
    wizard->cbFBalans->setChecked(true);
    wizard->NextPage();
    wizard->NextPage();
    ASSERT_EQ(wizard->pc->currentWidget(), wizard->tabEnd);
    SaveScreenshot(wizard.get(), QStringLiteral("calc_ui_new_dopl_end"));
    Pick(150, U("Выберите начисление, ПОСЛЕ которого будет установлено текущее"));
    wizard->ChoosePlace();
    msgs.Expect(MsgKind::SaveChanges).Yes();
    wizard->SetModalResult(mrOk);
    EXPECT_EQ(wizard->result(), mrOk);

    EXPECT_EQ(DpField(num, "NAIM").AsString(), U("Доплата за стаж"));
    EXPECT_FALSE(DpField(num, "UDER").AsBoolean());
    EXPECT_EQ(DpField(num, "FORMULA").AsInteger(), 2);
    EXPECT_DOUBLE_EQ(DpField(num, "SUM").AsDouble(), 12.5);
    EXPECT_TRUE(DpField(num, "INDIVID").AsBoolean());
    EXPECT_TRUE(DpField(num, "FBALANS").AsBoolean());
    EXPECT_GT(DpField(num, "TABL").AsInteger(), 0) << "the table made on save";
    EXPECT_EQ(DpField(num, "VLIST").AsInteger(), 0);
    EXPECT_EQ(DpField(num, "STADIAF").AsInteger(), 150);
    EXPECT_EQ(DpField(num, "STADIAD").AsInteger(), -1);
    T_DNSubList order(DNList(), dfAccruals);
    order.SetSortMode(3);
    EXPECT_EQ(order.IndexOfDopNum(num), order.IndexOfDopNum(150) + 1);
}

TEST_F(NewDoplTest, EveryWayOutButASaveReleasesTheNumber)
{
    struct {
        int result;
        bool asked;
    } const cases[] = {{mrCancel, false}, {mrOk, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        wizard->hide();
        wizard->show();
        ChooseType(true, U("Удержание по листу"));
        const qint32 num = wizard->edDopNum->value();
        EXPECT_EQ(num, 203) << "deductions from MinUderNum on, past the taken ones";
        wizard->NextPage();
        ASSERT_TRUE(DpHas(num));
        if (c.asked)
            msgs.Expect(MsgKind::SaveChanges).No();
        wizard->SetModalResult(c.result);
        EXPECT_EQ(wizard->result(), mrCancel);
        EXPECT_FALSE(DpHas(num));
        EXPECT_EQ(wizard->Reserved(), 0);
    }
}

// A number typed over a reservation frees the first one: one placeholder.
TEST_F(NewDoplTest, AnotherNumberAfterAReservationLeavesOnePlaceholder)
{
    ChooseType(false, U("Доплата"));
    wizard->edDopNum->setValue(250);
    wizard->NextPage();
    ASSERT_EQ(wizard->Reserved(), 250);
    wizard->PrevPage();
    wizard->edDopNum->setValue(260);
    wizard->NextPage();
    EXPECT_EQ(wizard->Reserved(), 260);
    EXPECT_FALSE(DpHas(250));
    EXPECT_TRUE(DpHas(260));
    wizard->SetModalResult(mrCancel);
    EXPECT_FALSE(DpHas(260));
}

// -1 reserves nothing and takes a new number on save; both table
// boxes give the kind two tables of its own.
TEST_F(NewDoplTest, MinusOneTakesTheNextFreeNumberOnSaveWithBothTables)
{
    ChooseType(false, U("Доплата с таблицами"));
    wizard->edDopNum->setValue(-1);
    wizard->NextPage();
    ASSERT_EQ(wizard->pc->currentWidget(), wizard->tabFormula);
    EXPECT_EQ(wizard->Reserved(), 0);
    wizard->cbFormula->setCurrentIndex(1);
    wizard->NextPage();
    wizard->cbTabl->setChecked(true);
    wizard->cbVList->setChecked(true);
    while (wizard->PageIndex() < wizard->PageCount() - 1)
        wizard->NextPage();
    const qint32 num = GetNextNumber(DM()->DP);
    msgs.Expect(MsgKind::SaveChanges).Details(U("Начисление :\r\n\"Доплата с таблицами\"")).Yes();
    wizard->SetModalResult(mrOk);
    ASSERT_TRUE(DpHas(num));
    EXPECT_EQ(DpField(num, "NAIM").AsString(), U("Доплата с таблицами"));
    DNList()->Reload();
    const T_DopTabl* tabl = DNList()->Tables().FindByOwner(num, 0);
    const T_DopTabl* vlist = DNList()->Tables().FindByOwner(num, 1);
    ASSERT_NE(tabl, nullptr);
    ASSERT_NE(vlist, nullptr);
    EXPECT_EQ(DpField(num, "TABL").AsInteger(), tabl->Num);
    EXPECT_EQ(DpField(num, "VLIST").AsInteger(), vlist->Num);
}

TEST_F(NewDoplTest, TheNumberPageRefusesBadNumbers)
{
    struct {
        int typed;
        const char* error;
    } const cases[] = {
        {40000, "Номер не может быть более 32000"},
        {-5, "Номер не может быть отрицательным"},
        {150, "Код начисления 150 уже занят"},
        {0, "Код начисления не может быть равен 0"},
    };
    ChooseType(false, U("Доплата"));
    for (const auto& c : cases) {
        wizard->edDopNum->setValue(c.typed);
        EXPECT_FALSE(NextWithError(c.error)) << c.typed;
        EXPECT_EQ(wizard->Reserved(), 0);
    }
    EXPECT_EQ(DpField(150, "NAIM").AsString(), U("Доплата за вредность"));

    // A code the directory has already keeps the page, without a message.
    SetRecordValuesByKey(DM()->DP, {Variant(150)}, {QStringLiteral("DOPNOMER")}, {Variant(U("А1"))});
    DNList()->Reload();
    wizard->edDopNum->setValue(4);
    wizard->edDopNomer->setText(U(" А1 "));
    wizard->cbCheckCode->setChecked(true);
    wizard->NextPage();
    EXPECT_EQ(wizard->pc->currentWidget(), wizard->tabCode);
    wizard->edDopNomer->setText(U(" А2 "));
    wizard->NextPage();
    EXPECT_EQ(wizard->pc->currentWidget(), wizard->tabFormula);
    EXPECT_EQ(wizard->edDopNomer->text(), U("А2"));
}

TEST_F(NewDoplTest, TheNumberButtonsReleaseAndSkipTakenNumbers)
{
    ChooseType(false, U("Доплата"));
    wizard->NextPage();
    ASSERT_EQ(wizard->Reserved(), 4);
    wizard->PrevPage();
    wizard->NextNumber();
    EXPECT_FALSE(DpHas(4)) << "released";
    EXPECT_EQ(wizard->edDopNum->value(), 5);
    wizard->PrevNumber();
    EXPECT_EQ(wizard->edDopNum->value(), 4);
    msgs.Expect(MsgKind::Error).Details(U("Свободного кода меньше 4 нет"));
    wizard->PrevNumber();
    EXPECT_EQ(wizard->edDopNum->value(), 4) << "0..3 are taken: no taken code is proposed";
    wizard->edDopNum->setValue(0);
    msgs.Expect(MsgKind::Error).Containing(U("Не может быть меньше 0"));
    wizard->PrevNumber();

    wizard->PrevPage();
    ChooseType(true, U("Удержание"));
    wizard->edDopNum->setValue(204);
    wizard->PrevNumber();
    EXPECT_EQ(wizard->edDopNum->value(), 203);
    msgs.Expect(MsgKind::Error).Details(U("Свободного кода меньше 203 нет"));
    wizard->PrevNumber();
    EXPECT_EQ(wizard->edDopNum->value(), 203) << "nothing free above MinUderNum";
}

TEST_F(NewDoplTest, DeductionsPassOverTheAccrualsOnlyPage)
{
    ChooseType(true, U("Удержание"));
    wizard->NextPage();
    wizard->cbFormula->setCurrentIndex(1);
    wizard->NextPage();
    wizard->NextPage();
    ASSERT_EQ(wizard->pc->currentWidget(), wizard->tabInd);
    wizard->NextPage();
    EXPECT_EQ(wizard->pc->currentWidget(), wizard->tabValuta);
    wizard->PrevPage();
    EXPECT_EQ(wizard->pc->currentWidget(), wizard->tabInd);
    wizard->SetModalResult(mrCancel);
}

} // namespace
