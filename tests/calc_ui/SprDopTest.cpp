// The accrual book: stage placement, the sets and their buttons, moving
// kinds to the deleted ones and back, "Переставить", the page change.

#include "calc/ui/SprDop.h"
#include "AccrualFixture.h"
#include "calc/ui/DoplEdit.h"
#include "calc/ui/EditFml.h"
#include "calc/ui/NewDopl.h"
#include "data/CalcMethods.h"
#include "data/Globals.h"
#include "data/ui/InVvod.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class SprDopTest : public AccrualTest {
protected:
    void TearDown() override
    {
        FreeFormSprDop();
        AccrualTest::TearDown();
    }
};

struct PlaceCase {
    const char* what;
    QList<qint32> accruals; // stages of the accruals there are
    qint32 current; // the kind's STADIAF before
    qint32 stage;
    const char* choice; // the chooser's expected text, "" when none
    const char* press; // its answer, "" for Esc
    qint32 expected;
    bool changed;
};

TEST_F(SprDopTest, PlaceOnStageFindsAFreeStageBelowTheChosenOne)
{
    const PlaceCase cases[] = {
        {"no number between 150 and 151", {100, 150, 151}, 0, 151, "Установить на стадию №150", "Да", 150, true},
        {"Esc is Отменить", {100, 150, 151}, 0, 151, "Установить на стадию №150", "", 0, false},
        {"Раздвинуть changes nothing", {100, 150, 151}, 0, 151, "Установить на стадию №150", "Раздвинуть", 0, false},
        {"at most 5 below the upper stage", {100, 160}, 0, 160, "", "", 155, true},
        {"the middle when close", {100, 104}, 0, 104, "", "", 102, true},
        {"already on the lower stage", {100, 160}, 100, 160, "", "", 100, false},
        {"after the last kind", {100, 160}, 0, 200, "", "", 201, true},
        {"before the lowest kind lands below it", {40, 100}, 0, 40, "", "", 35, true},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        QList<qint32> old;
        for (int i = 0; i < DNList()->DopCount(); ++i)
            old << DNList()->GetDop(i)->DopNum;
        for (qint32 n : old)
            DeleteDopRecord(n);
        DNList()->SetLoaded(false);
        qint32 num = 500;
        for (qint32 stage : c.accruals)
            AddKind({.DopNum = num++, .Naim = U("Доплата"), .StadiaF = stage});
        AddKind({.DopNum = 900, .Naim = U("Удержание"), .Uder = true, .StadiaF = c.stage - 1});
        if (*c.choice) {
            auto& e = msgs.Expect(MsgKind::Choice).Title(U("Нет свободного номера для стадии")).Details(U(c.choice));
            if (*c.press)
                e.Press(U(c.press));
        }
        T_Dop dop;
        dop.StadiaF = c.current;
        EXPECT_EQ(PlaceOnStage(dop, c.stage), c.changed);
        EXPECT_EQ(dop.StadiaF, c.expected);
        msgs.VerifyAndClear();
    }
}

TEST_F(SprDopTest, DataStageBounds)
{
    struct {
        bool uder;
        qint32 d, f, max, expected;
    } const cases[] = {
        {false, 100, 100, 150, -1}, // equal to its own formula stage
        {false, 99, 100, 150, 99},
        {false, 32000, 40000, 50000, -1},
        {true, 150, 10, 150, -1}, // the directory's highest stage
        {true, 149, 10, 150, 149},
        {false, -40000, 100, 150, -32768},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BoundDataStage(c.uder, c.d, c.f, c.max), c.expected) << c.d;
    EXPECT_EQ(BoundFormulaStage(40000), 32000);
    EXPECT_EQ(BoundFormulaStage(-40000), -32768);
}

class SprDopBook : public SprDopTest {
protected:
    void SetUp() override
    {
        SprDopTest::SetUp();
        AddBuiltInKinds();
        AddKind({.DopNum = 150, .Naim = U("Доплата за вредность"), .Individ = true});
        SetKindTable(150, 0, {100});
        AddKind({.DopNum = 160, .Naim = U("Старая надбавка"), .Deleted = true});
        AddKind({.DopNum = 250, .Naim = U("Алименты"), .Uder = true});
        AddKind({.DopNum = 260, .Naim = U("Старый долг"), .Uder = true, .Deleted = true});
        book = std::make_unique<TFormSprDop>();
        book->show();
    }
    void TearDown() override
    {
        book.reset();
        SprDopTest::TearDown();
    }
    QList<qint32> UserKinds() const
    {
        QList<qint32> out;
        for (qint32 n : book->ShownDops())
            if (n == 150 || n == 160 || n == 250 || n == 260)
                out << n;
        return out;
    }
    std::unique_ptr<TFormSprDop> book;
};

TEST_F(SprDopBook, EachSetListsItsKindsAndTheDeletedSetsRelabelTheButtons)
{
    struct {
        int row;
        QList<qint32> kinds;
        const char* left;
        const char* right;
    } const cases[] = {
        {0, {150, 250}, "Новое", "Удалить"},
        {1, {150}, "Новое", "Удалить"},
        {2, {250}, "Новое", "Удалить"},
        {3, {150}, "Новое", "Удалить"},
        {4, {160, 260}, "Восстановить", "Уничтожить"},
        {5, {160}, "Восстановить", "Уничтожить"},
        {6, {260}, "Восстановить", "Уничтожить"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        book->SelectSet(c.row);
        EXPECT_EQ(UserKinds(), c.kinds);
        EXPECT_EQ(book->btNew->text().remove(QLatin1Char('&')), U(c.left));
        EXPECT_EQ(book->btDel->text().remove(QLatin1Char('&')), U(c.right));
    }
    book->SelectSet(0);
    const int row = book->ShownDops().indexOf(150);
    QStringList cells;
    for (int col = 1; col < 10; ++col)
        cells << book->CellText(row, col);
    EXPECT_EQ(cells.join(U("|")), U("150|150|Доплата за вредность|+| |+| | | "));
    EXPECT_EQ(book->CellText(book->ShownDops().size(), 3), U("???"));
    book->resize(800, 560);
    SaveScreenshot(book.get(), QStringLiteral("calc_ui_spr_dop"));
}

TEST_F(SprDopBook, BuiltInKindsStayAndUserKindsGoToTheDeletedAndBack)
{
    const qint32 tax = KindOfTip(dtPodoh);
    ASSERT_TRUE(book->SelectDopNum(tax));
    msgs.Expect(MsgKind::Error).Containing(U("Невозможно удаление встроенных в расчет начислений")).Times(2);
    EXPECT_FALSE(RunGuarded([&] { book->DopOperation(16); }));
    EXPECT_FALSE(RunGuarded([&] { book->DopOperation(18); }));
    EXPECT_FALSE(DpField(tax, "DELETED").AsBoolean());

    ASSERT_TRUE(book->SelectDopNum(250));
    msgs.Expect(MsgKind::Error).Containing(U("Не удалено"));
    book->DopOperation(17);
    msgs.Expect(MsgKind::Question)
        .Title(U("Убрать начисление из основного списка и перенести в список удаленных"))
        .Details(U("250  Алименты"))
        .Yes();
    book->DelOrRestore();
    EXPECT_TRUE(DpField(250, "DELETED").AsBoolean());
    EXPECT_FALSE(UserKinds().contains(250)) << "the directory was reloaded";

    book->SelectSet(4);
    ASSERT_TRUE(book->SelectDopNum(250));
    msgs.Expect(MsgKind::Error).Containing(U("Уже удалено"));
    book->DopOperation(16);
    msgs.Expect(MsgKind::Error).Containing(U("Невозможно удаление начислений из справочника"));
    EXPECT_FALSE(RunGuarded([&] { book->DelOrRestore(); }));
    EXPECT_TRUE(DpHas(250));
    msgs.Expect(MsgKind::Question).Title(U("Восстановить начисление в основной список")).Yes();
    QTest::mouseClick(book->btNew, Qt::LeftButton);
    EXPECT_FALSE(DpField(250, "DELETED").AsBoolean());
    EXPECT_EQ(UserKinds(), (QList<qint32>{160, 260}));
}

TEST_F(SprDopBook, TheChosenKindGoesToTheSettingsAtExit)
{
    ASSERT_TRUE(book->SelectDopNum(250));
    const bool saving = IniSavingEnabled;
    IniSavingEnabled = true;
    Cfg.DNPosition = 0;
    SaveUserSettings();
    EXPECT_EQ(Cfg.DNPosition, 250);
    ASSERT_TRUE(book->SelectDopNum(150));
    book.reset(); // freed before the settings are written: the kind is kept
    SaveUserSettings();
    IniSavingEnabled = saving;
    EXPECT_EQ(Cfg.DNPosition, 150);
}

TEST_F(SprDopBook, RearrangingNeedsTheDisplayOrderAndTheCurrentSet)
{
    ASSERT_TRUE(book->SelectDopNum(150));
    book->SetSortMode(2);
    msgs.Expect(MsgKind::Error).Containing(U("Не отсортировано по положению в справочнике"));
    EXPECT_FALSE(RunGuarded([&] { book->MoveDop(); }));

    book->SelectSet(4);
    book->SelectDopNum(160);
    msgs.Expect(MsgKind::Error).Containing(U("В удаленных не переставляется"));
    book->MoveDop();

    book->SelectSet(0);
    book->SetSortMode(3);
    ASSERT_TRUE(book->SelectDopNum(150));
    const qint32 premia = KindOfTip(dtPremia);
    Pick(premia, U("Выберите номер, перед которым будет стоять текущий"));
    QTest::mouseClick(book->btMove, Qt::LeftButton);
    const QList<qint32> order = book->ShownDops();
    EXPECT_EQ(order.indexOf(150) + 1, order.indexOf(premia));
    EXPECT_LT(DpField(150, "SNUM").AsInteger(), DpField(premia, "SNUM").AsInteger());
}

TEST_F(SprDopBook, NewOpensTheWizardAndListsTheNewKind)
{
    modal.Next<TFormNewDopl>([this](TFormNewDopl& w) {
        w.rbDopl->click();
        w.edNaim->setText(U("Надбавка за классность"));
        w.NextPage();
        w.NextPage();
        w.cbFormula->setCurrentIndex(1);
        while (w.PageIndex() < w.PageCount() - 1)
            w.NextPage();
        msgs.Expect(MsgKind::SaveChanges).Yes();
        w.SetModalResult(mrOk);
    });
    QTest::mouseClick(book->btNew, Qt::LeftButton);
    ASSERT_TRUE(DpHas(4));
    EXPECT_TRUE(book->ShownDops().contains(4));
}

TEST_F(SprDopBook, TheCardPageNeedsASelectedKind)
{
    book->SelectSet(6);
    book->lvt->setCurrentIndex({});
    ASSERT_EQ(book->CurDopNum(), -1);
    msgs.Expect(MsgKind::Error).Details(U("Не выбрано начисление"));
    book->pc->setCurrentIndex(1);
    EXPECT_EQ(book->pc->currentIndex(), 0);

    book->SelectSet(0);
    ASSERT_TRUE(book->SelectDopNum(250));
    book->pc->setCurrentIndex(1);
    EXPECT_EQ(book->pc->currentIndex(), 1);
    EXPECT_EQ(book->Card()->DopNum(), 250);
    EXPECT_EQ(book->Card()->Heading(), U("Карточка удержания  [250]  "));
    SaveScreenshot(book.get(), QStringLiteral("calc_ui_spr_dop_card"));
    // Back to the list, the card's edit mode ends with its question.
    book->Card()->EnterEditMode();
    book->Card()->edNaim->setText(U("Алименты по листу"));
    msgs.Expect(MsgKind::SaveChanges).Details(U("Начисление :\r\n\"Алименты по листу\"")).Yes();
    book->pc->setCurrentIndex(0);
    EXPECT_EQ(book->pc->currentIndex(), 0);
    EXPECT_FALSE(book->Card()->EditMode());
    EXPECT_EQ(DpField(250, "NAIM").AsString(), U("Алименты по листу"));
    book->close();
    EXPECT_EQ(book->Card()->DopNum(), -1);
}

// The card on the page "Карточка" takes its own keys (F5 opens the
// formula), Esc there hides neither the card nor the book; Esc on the list
// closes the book as its other ways of closing do.
TEST_F(SprDopBook, TheEmbeddedCardTakesItsKeysAndEscClosesOnlyTheBook)
{
    AddKind({.DopNum = 180, .Naim = U("По формуле"), .Formula = cmUserFormula});
    book->SelectSet(0);
    ASSERT_TRUE(book->SelectDopNum(180));
    book->pc->setCurrentIndex(1);
    ASSERT_EQ(book->Card()->DopNum(), 180);
    book->Card()->btEdit->setFocus();
    QTest::keyClick(book->Card()->btEdit, Qt::Key_F5);
    TFormEditFml* editor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TFormEditFml*>(w); f && f->isVisible())
            editor = f;
    ASSERT_NE(editor, nullptr) << "F5 opens the formula";
    EXPECT_EQ(editor->DopNum(), 180);
    delete editor;
    QTest::keyClick(book->Card()->btEdit, Qt::Key_Escape);
    EXPECT_TRUE(book->isVisible());
    EXPECT_TRUE(book->Card()->isVisible());
    EXPECT_EQ(book->pc->currentIndex(), 1);

    book->pc->setCurrentIndex(0);
    book->lvt->setFocus();
    QTest::keyClick(book->lvt, Qt::Key_Escape);
    EXPECT_FALSE(book->isVisible());
    EXPECT_EQ(book->Card()->DopNum(), -1) << "the book's closing ran";
}

// Keys alone reach a kind's card: Tab into the list shows its current row,
// Tab leaves the list, Enter opens the card, Alt and a page's letter goes back.
TEST_F(SprDopBook, KeysAloneReachAKindsCard)
{
    QApplication::setActiveWindow(book.get());
    const auto focus = [] { return QApplication::focusWidget(); };
    for (int i = 0; i < 8 && focus() != book->lvt; ++i)
        QTest::keyClick(focus(), Qt::Key_Tab);
    ASSERT_EQ(focus(), book->lvt);
    const int row = book->lvt->currentIndex().row();
    ASSERT_GE(row, 0);
    EXPECT_TRUE(book->lvt->selectionModel()->isRowSelected(row)) << "the current row shows";
    EXPECT_EQ(book->CurDopNum(), book->ShownDops().value(row));
    QTest::keyClick(book->lvt, Qt::Key_Tab);
    EXPECT_NE(focus(), book->lvt) << "Tab leaves the list";

    book->lvt->setFocus(Qt::BacktabFocusReason);
    QTest::keyClick(book->lvt, Qt::Key_Down);
    QTest::keyClick(book->lvt, Qt::Key_Return);
    ASSERT_EQ(book->pc->currentIndex(), 1) << "Enter opens the card";
    EXPECT_EQ(book->Card()->DopNum(), book->ShownDops().value(row + 1));
    const QChar list = MnemonicOf(book->pc->tabText(0));
    QTest::sendKeyEvent(QTest::Click, focus() ? focus() : book.get(), Qt::Key(list.toUpper().unicode()), QString(list),
        Qt::AltModifier);
    EXPECT_EQ(book->pc->currentIndex(), 0) << "Alt and the page's letter";
}

// A digit typed on the list asks for the number, starting from that digit.
TEST_F(SprDopBook, ADigitFindsTheKindByNumber)
{
    const auto type = [this](Qt::Key digit, qint32 num) {
        modal.Next<TFormFindDNum>([digit, num](TFormFindDNum& f) {
            EXPECT_EQ(f.lb->text(), U("Номер начисления"));
            EXPECT_EQ(f.edNum->Value(), digit - Qt::Key_0);
            f.edNum->SetValue(num);
            QTest::keyClick(f.edNum, Qt::Key_Return);
        });
        book->lvt->setFocus();
        QTest::keyClick(book->lvt, digit);
    };
    type(Qt::Key_2, 250);
    EXPECT_EQ(book->CurDopNum(), 250);
    msgs.Expect(MsgKind::Error).Containing(U("Не найден номер"));
    type(Qt::Key_9, 999);
    EXPECT_EQ(book->CurDopNum(), 250);

    // Coming back to the book makes its kind the one F4 opens.
    AppContext().LastDopNum = 7;
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::setActiveWindow(book.get());
    EXPECT_EQ(AppContext().LastDopNum, 250);
}

} // namespace
