// The accrual card: opening by number, the stage bounds, the NAKOPL rule,
// No dropping the edits, Yes writing the kind, its tables and the other
// kinds' tables, and a directory reload in the middle of editing.

#include "calc/ui/DoplEdit.h"
#include "AccrualFixture.h"
#include "calc/ui/EditFml.h"
#include "calc/ui/RTEdit.h"
#include "calc/ui/TbSelect.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include <tuple>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

QList<TFormDoplEdit*> OpenCards()
{
    QList<TFormDoplEdit*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* card = qobject_cast<TFormDoplEdit*>(w); card && card->isVisible())
            out << card;
    return out;
}

// On the box itself: a check box answers clicks on its box and text only.
void Click(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

QListWidgetItem* ItemOf(QListWidget* list, qint32 num)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toInt() == num)
            return list->item(i);
    return nullptr;
}

class DoplEditTest : public AccrualTest {
protected:
    void SetUp() override
    {
        AccrualTest::SetUp();
        AddBuiltInKinds();
        AddKind({.DopNum = 150, .Naim = U("Доплата за вредность"), .StadiaF = 100});
        AddKind({.DopNum = 170, .Naim = U("Итоговая доплата"), .StadiaF = 160});
        table170 = SetKindTable(170, 0, {3});
        AddKind({.DopNum = 250, .Naim = U("Алименты"), .Uder = true, .StadiaF = 120});
        card = std::make_unique<TFormDoplEdit>();
        card->show();
    }
    void TearDown() override
    {
        card.reset();
        for (TFormDoplEdit* c : OpenCards())
            delete c;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TFormEditFml*>(w))
                delete w;
        FreeFormTbSelect();
        AccrualTest::TearDown();
    }
    void Edit(qint32 num)
    {
        card->SetDopNum(num);
        card->EnterEditMode();
        ASSERT_TRUE(card->EditMode());
    }
    void SaveYes()
    {
        msgs.Expect(MsgKind::SaveChanges).Yes();
        card->LeaveEditMode();
        EXPECT_FALSE(card->EditMode());
    }

    std::unique_ptr<TFormDoplEdit> card;
    qint32 table170 = 0;
};

TEST_F(DoplEditTest, ShowDoplEditOpensByNumberOrTheLastShown)
{
    AppContext().LastDopNum = 0;
    card.reset();
    ShowDoplEdit(0);
    EXPECT_TRUE(OpenCards().isEmpty()) << "nothing shown before";
    msgs.Expect(MsgKind::Error).Containing(U("Не найдено начисление №999"));
    EXPECT_FALSE(RunGuarded([] { ShowDoplEdit(999); }));
    EXPECT_TRUE(OpenCards().isEmpty());

    ShowDoplEdit(250);
    ASSERT_EQ(OpenCards().size(), 1);
    EXPECT_EQ(OpenCards()[0]->Heading(), U("Карточка удержания  [250]  "));
    ShowDoplEdit(0);
    ASSERT_EQ(OpenCards().size(), 2);
    EXPECT_EQ(OpenCards()[1]->DopNum(), 250);
    msgs.Expect(MsgKind::Error).Containing(U("Форма уже активна"));
    EXPECT_FALSE(RunGuarded([] { OpenCards()[0]->ShowFor(150); }));
}

TEST_F(DoplEditTest, StagesAreBoundWhenTheFieldIsLeft)
{
    struct {
        qint32 num, f, d, expectedF, expectedD;
    } const cases[] = {
        {150, 90, 90, 90, -1}, // the data stage at the formula stage
        {150, 40000, 50, 32000, 50}, {150, 100, -40000, 100, -32768},
        {250, 10, 160, 10, -1}, // a deduction at the directory's highest stage
        {250, 10, 149, 10, 149}, // above its own stage is fine for a deduction
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1/%2").arg(c.f).arg(c.d).toStdString());
        Edit(c.num);
        card->edStadiaF->setValue(c.f);
        emit card->edStadiaF->editingFinished();
        card->edStadiaD->setValue(c.d);
        emit card->edStadiaD->editingFinished();
        EXPECT_EQ(card->edStadiaF->value(), c.expectedF);
        EXPECT_EQ(card->edStadiaD->value(), c.expectedD);
        SaveYes();
        EXPECT_EQ(DpField(c.num, "STADIAF").AsInteger(), c.expectedF);
        EXPECT_EQ(DpField(c.num, "STADIAD").AsInteger(), c.expectedD);
    }
}

TEST_F(DoplEditTest, AccumulationOnlyWithTheTableMethod)
{
    Edit(150);
    msgs.Expect(MsgKind::Error)
        .Containing(U("Накопления возможны только для Формулы\r\n\r\n\"Расчет по таблице (ПН)\""));
    Click(card->cbNakopl);
    EXPECT_FALSE(card->cbNakopl->isChecked());
    EXPECT_FALSE(card->btEditor->isEnabled());

    card->cbFormula->setCurrentIndex(card->cbFormula->findData(int(cmRtTable)));
    EXPECT_TRUE(card->btEditor->isEnabled());
    Click(card->cbNakopl);
    EXPECT_TRUE(card->cbNakopl->isChecked());
    SaveYes();
    EXPECT_TRUE(DpField(150, "NAKOPL").AsBoolean());
    EXPECT_EQ(DpField(150, "FORMULA").AsInteger(), int(cmRtTable));
}

TEST_F(DoplEditTest, NoDropsEveryChange)
{
    Edit(150);
    card->edNaim->setText(U("  "));
    msgs.Expect(MsgKind::Error).Details(U("Введите наименование начисления"));
    EXPECT_FALSE(RunGuarded([this] { card->LeaveEditMode(); })) << "no kind without a name";
    EXPECT_TRUE(card->EditMode());
    card->edNaim->setText(U("Другое имя"));
    Click(card->cbTabl);
    ItemOf(card->lvIn, 170)->setCheckState(Qt::Checked);
    msgs.Expect(MsgKind::SaveChanges).Details(U("Начисление :\r\n\"Другое имя\"")).No();
    card->LeaveEditMode();
    EXPECT_EQ(DpField(150, "NAIM").AsString(), U("Доплата за вредность"));
    EXPECT_EQ(DpField(150, "TABL").AsInteger(), 0);
    EXPECT_EQ(TableNumbers(table170), (QList<qint32>{3}));
    EXPECT_EQ(card->edNaim->text(), U("Доплата за вредность"));
    EXPECT_FALSE(card->cbTabl->isChecked());
    EXPECT_EQ(ItemOf(card->lvIn, 170)->checkState(), Qt::Unchecked);
}

TEST_F(DoplEditTest, YesWritesTheKindItsTablesAndTheOtherKindsTables)
{
    card->SetDopNum(150);
    card->lvIn->setCurrentItem(ItemOf(card->lvIn, 170));
    QTest::keyClick(card->lvIn, Qt::Key_Space);
    EXPECT_EQ(ItemOf(card->lvIn, 170)->checkState(), Qt::Unchecked) << "marks change only in edit mode";
    card->EnterEditMode();
    // A kind without a base table offers no mark to set.
    EXPECT_FALSE(ItemOf(card->lvIn, 100)->data(Qt::CheckStateRole).isValid());
    ASSERT_TRUE(ItemOf(card->lvIn, 170)->data(Qt::CheckStateRole).isValid());
    Click(card->cbVList);
    Pick(250, U("Выберите начисление, сумма которого не учитывается при расчете текущего начисления"));
    card->AddVych();
    Pick(250);
    card->AddVych(); // listed once only
    Click(card->cbTabl);
    EXPECT_EQ(card->lbTabl->text(), U("Таблица выбора начисляемых доплат"));
    // The keyboard toggles the mark and moves on.
    card->lvTabl->setCurrentItem(ItemOf(card->lvTabl, 3));
    QTest::keyClick(card->lvTabl, Qt::Key_Space);
    EXPECT_EQ(ItemOf(card->lvTabl, 3)->checkState(), Qt::Checked);
    EXPECT_NE(card->lvTabl->currentItem(), ItemOf(card->lvTabl, 3));
    ItemOf(card->lvTabl, 40)->setCheckState(Qt::Checked);
    card->lvIn->setCurrentItem(ItemOf(card->lvIn, 170));
    QTest::keyClick(card->lvIn, Qt::Key_Space);
    // "Значение" takes a number only, and shows it with the decimal comma.
    card->edSum->selectAll();
    QTest::keyClicks(card->edSum, QStringLiteral("12x.5"));
    card->pc->setCurrentIndex(3);
    card->resize(760, 480);
    SaveScreenshot(card.get(), QStringLiteral("calc_ui_dopl_edit"));
    SaveYes();

    const qint32 vlist = DpField(150, "VLIST").AsInteger();
    const qint32 tabl = DpField(150, "TABL").AsInteger();
    ASSERT_GT(vlist, 0);
    ASSERT_GT(tabl, 0);
    EXPECT_EQ(TableNumbers(vlist), (QList<qint32>{250}));
    EXPECT_EQ(TableNumbers(tabl), (QList<qint32>{3, 40}));
    EXPECT_EQ(TableNumbers(table170), (QList<qint32>{3, 150}));
    EXPECT_DOUBLE_EQ(DpField(150, "SUM").AsDouble(), 12.5);
    card->edSum->clearFocus();
    EXPECT_EQ(card->edSum->DisplayText(), QStringLiteral("12,5"));
    EXPECT_EQ(ItemOf(card->lvIn, 170)->checkState(), Qt::Checked) << "filled again from the base";
}

// The card previews every key of the program, yet Space ticks only in its
// own lists: another card's and other windows' lists keep their own Space.
TEST_F(DoplEditTest, SpaceTicksOnlyInTheCardsOwnLists)
{
    Edit(150);
    TFormDoplEdit other;
    other.SetDopNum(150);
    other.show();
    QListWidget plain;
    auto* line = new QListWidgetItem(U("Строка"), &plain);
    line->setFlags(line->flags() | Qt::ItemIsUserCheckable);
    line->setCheckState(Qt::Unchecked);
    plain.show();
    // The editing card's list, another card's outside its edit mode, another window's.
    const std::tuple<QListWidget*, QListWidgetItem*, Qt::CheckState> cases[] = {
        {card->lvIn, ItemOf(card->lvIn, 170), Qt::Checked},
        {other.lvIn, ItemOf(other.lvIn, 170), Qt::Unchecked},
        {&plain, line, Qt::Checked},
    };
    for (const auto& [list, item, after] : cases) {
        list->setCurrentItem(item);
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_EQ(item->checkState(), after) << list->window()->objectName().toStdString();
    }
    msgs.Expect(MsgKind::SaveChanges).No();
    card->LeaveEditMode();
}

TEST_F(DoplEditTest, AReloadWhileEditingKeepsTheEdits)
{
    card->SetDopNum(150);
    SetRecordValuesByKey(DM()->DP, {Variant(150)}, {QStringLiteral("NAIM")}, {Variant(U("Из другого окна"))});
    DNList()->Reload();
    EXPECT_EQ(card->edNaim->text(), U("Из другого окна")) << "outside edit mode the card follows the directory";
    card->EnterEditMode();
    card->edNaim->setText(U("Новое имя"));
    ItemOf(card->lvIn, 170)->setCheckState(Qt::Checked);
    DNList()->Reload();
    EXPECT_EQ(card->edNaim->text(), U("Новое имя"));
    EXPECT_EQ(ItemOf(card->lvIn, 170)->checkState(), Qt::Checked);
    SaveYes();
    EXPECT_EQ(DpField(150, "NAIM").AsString(), U("Новое имя"));
    EXPECT_EQ(TableNumbers(table170), (QList<qint32>{3, 150}));
}

TEST_F(DoplEditTest, TheFormulaStageButtonPlacesTheKindBeforeTheChosenOne)
{
    Edit(150);
    // 170 computes at 160; the accrual below it computes at 150 (Премия, Отпуск...).
    Pick(170, U("Выберите начисление, ПЕРЕД которым будет рассчитано текущее"));
    QTest::mouseClick(card->btStadiaF, Qt::LeftButton);
    EXPECT_EQ(card->edStadiaF->value(), 155);
    Pick(-1, U("Выберите начисление, со стадии которого будут взяты данные для расчета"));
    QTest::mouseClick(card->btStadiaD, Qt::LeftButton);
    EXPECT_EQ(card->edStadiaD->value(), -1);
    SaveYes();
    EXPECT_EQ(DpField(150, "STADIAF").AsInteger(), 155);
}

TEST_F(DoplEditTest, DeductionsListNeedsItsTable)
{
    Edit(150);
    msgs.Expect(MsgKind::Error).Containing(U("Нет списка вычетов"));
    EXPECT_FALSE(RunGuarded([&] { card->AddVych(); }));
    Click(card->cbVList);
    msgs.Expect(MsgKind::Error).Details(U("Не выбрано начисление в списке вычетов"));
    card->DelVych();
    EXPECT_EQ(card->lbIn->text(), U("Входит в таблицы"));
    msgs.Expect(MsgKind::SaveChanges).No();
    card->SetDopNum(250);
    EXPECT_EQ(DpField(150, "VLIST").AsInteger(), 0);
    EXPECT_EQ(card->lbIn->text(), U("Для удержаний не определено"));
    EXPECT_FALSE(card->lvIn->isVisible());
}

// Only an accrual table can be a base: a deduction list picked is refused,
// an accrual table of another kind is shared.
TEST_F(DoplEditTest, AnExistingTableMustBeAnAccrualTable)
{
    const qint32 list250 = SetKindTable(250, 1, {3});
    const auto pick = [this](qint32 num) {
        modal.Next<TFormTbSelect>([num](TFormTbSelect& f) {
            f.SetFilter(3);
            f.SelectRow(f.ShownTables().indexOf(num));
            QTest::mouseClick(f.btOk, Qt::LeftButton);
        });
    };
    Edit(150);
    pick(list250);
    msgs.Expect(MsgKind::Error).Containing(U("Базовой может быть только таблица начислений"));
    QTest::mouseClick(card->btSelectTable, Qt::LeftButton);
    EXPECT_FALSE(card->cbTabl->isChecked());
    pick(table170);
    QTest::mouseClick(card->btSelectTable, Qt::LeftButton);
    EXPECT_TRUE(card->cbTabl->isChecked());
    EXPECT_FALSE(card->cbOwnTable->isChecked());
    EXPECT_EQ(card->lbOwner->text(), U("Владелец: Итоговая доплата"));
    EXPECT_EQ(ItemOf(card->lvTabl, 3)->checkState(), Qt::Checked);
    SaveYes();
    EXPECT_EQ(DpField(150, "TABL").AsInteger(), table170);
    EXPECT_EQ(TableNumbers(table170), (QList<qint32>{3}));
}

// "Редактор" and F5: the formula editor, read-only outside edit mode, or
// the table editor; other methods have none.
TEST_F(DoplEditTest, TheEditorButtonOpensTheMethodsEditor)
{
    AddKind({.DopNum = 180, .Naim = U("По формуле"), .Formula = cmUserFormula});
    AddKind({.DopNum = 190, .Naim = U("По таблице"), .Formula = cmRtTable});
    const auto editors = [] {
        QList<TFormEditFml*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TFormEditFml*>(w); f && f->isVisible())
                out << f;
        return out;
    };
    card->SetDopNum(150);
    EXPECT_FALSE(card->btEditor->isEnabled());
    card->SetDopNum(180);
    ASSERT_TRUE(card->btEditor->isEnabled());
    card->btEdit->setFocus();
    QTest::keyClick(card->btEdit, Qt::Key_F5);
    ASSERT_EQ(editors().size(), 1);
    EXPECT_EQ(editors()[0]->DopNum(), 180);
    EXPECT_TRUE(editors()[0]->ReadOnly());
    delete editors()[0];
    card->EnterEditMode();
    QTest::mouseClick(card->btEditor, Qt::LeftButton);
    ASSERT_EQ(editors().size(), 1);
    EXPECT_FALSE(editors()[0]->ReadOnly());
    card->LeaveEditMode();

    card->SetDopNum(190);
    modal.Next<TFormRTEdit>([](TFormRTEdit& f) {
        EXPECT_EQ(f.List().Vid, 190);
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("btClose")), Qt::LeftButton);
    });
    QTest::mouseClick(card->btEditor, Qt::LeftButton);
    EXPECT_EQ(modal.Seen(), QStringList{QStringLiteral("FormRTEdit")});
}

} // namespace
