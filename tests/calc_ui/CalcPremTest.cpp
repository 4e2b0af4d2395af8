// The premium for past periods, against figures worked by hand: the months
// summed, the kinds counted, the rounding, the refusals that write
// nothing, summation and replacement, and the guards against a stray Esc
// and an unfit receiving kind.

#include "calc/ui/CalcPrem.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Podr.h"
#include "data/Tabn.h"
#include "data/TabnDops.h"
#include "db/Cursor.h"
#include "foundation/ui/edits/DateEdit.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

const qint32 kBonus = 250, kExtra = 251, kOther = 252, kBase = 260, kPrem = 270, kTable = 280, kPodr = 7;

class CalcPremTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AppContext().Cfg.Workdate = EncodeDate(2024, 4, 15);
        AddKind({.DopNum = kBonus, .Naim = QStringLiteral("Надбавка")});
        AddKind({.DopNum = kExtra, .Naim = QStringLiteral("Доплата")});
        AddKind({.DopNum = kOther, .Naim = QStringLiteral("Прочее")});
        AddKind({.DopNum = kBase, .Naim = QStringLiteral("База премии")});
        SetKindTable(kBase, 0, {kBonus, kExtra});
        AddKind({.DopNum = kPrem, .Naim = QStringLiteral("Премия за прошлые")});
        AddKind({.DopNum = kTable, .Naim = QStringLiteral("По таблице"), .Formula = 4097});
        AppendRecordValues(DM()->SP, kPodr, {"NUMPDP", "NUMUP", "SNUM", "NAIM"},
            {Variant(1), Variant(0), Variant(1), Variant(QStringLiteral("Цех"))});
        PNList()->SetLoaded(false);
        TCardSpec a;
        a.Podr = kPodr;
        a.Fio = QStringLiteral("Петров Петр Петрович");
        first = AddCard(a);
        TCardSpec b;
        b.Podr = kPodr;
        b.Fio = QStringLiteral("Сидоров Сидор Сидорович");
        second = AddCard(b);
        // January .. March archived; April is the working month.
        Result(first, 1, kBonus, 1000);
        Result(first, 2, kBonus, 2000);
        Result(first, 2, kExtra, 500);
        Result(first, 2, kOther, 999);
        Result(first, 3, kBonus, 4000);
        Result(second, 2, kBonus, 333.33);
        AppContext().Cfg.PremDopTabl = kBase;
        AppContext().Cfg.PremDop = kPrem;
    }
    static void Result(qint32 tabn, int month, qint32 dopNum, double sum)
    {
        Cursor ncarc(QStringLiteral("NCARC"));
        ncarc.Open();
        AppendRecordValues(ncarc, 0, {"TABNUM", "DOPNUM", "DATERAS", "SUM", "DTIME"},
            {Variant(tabn), Variant(dopNum), Variant::FromDate(EncodeDate(2024, month, 28)), Variant(sum),
                Variant(0.0)},
            false);
    }
    // The working month's input sum of the kind (-1: no entry).
    static double Input(qint32 tabn, qint32 dopNum)
    {
        T_dTabn card(DNList());
        card.SetTabNum(tabn);
        card.SetDate(AppContext().Cfg.Workdate);
        const T_TabnDop* e = card.GetVvodList().FindTabnDop(dopNum);
        return e != nullptr ? e->Sum.ToDouble() : -1;
    }
    std::unique_ptr<TFormCalcPrem> Open(const QString& proc, QDate from, QDate to, bool autoOn)
    {
        auto f = std::make_unique<TFormCalcPrem>();
        f->show();
        f->SetPodr(kPodr);
        f->edProc->setText(proc);
        f->deBeg->setDate(from);
        f->deEnd->setDate(to);
        f->cbAuto->setChecked(autoOn);
        return f;
    }
    static void CheckAll(TFormCalcPrem& f)
    {
        f.lvt->setFocus();
        QTest::keyClick(f.lvt, Qt::Key_Plus, Qt::KeypadModifier);
    }

    qint32 first = 0, second = 0;
};

TEST_F(CalcPremTest, PremiumsAreThePercentOfTheTableKindsInTheChosenMonths)
{
    struct Case {
        const char* name;
        const char* proc;
        QDate from, to;
        double first, second;
    } cases[] = {
        {"one month once", "10", QDate(2024, 2, 10), QDate(2024, 2, 1), 250.00, 33.33},
        {"three months", "10", QDate(2024, 1, 31), QDate(2024, 3, 5), 750.00, 33.33},
        {"kopecks rounded", "12,5", QDate(2024, 2, 1), QDate(2024, 2, 1), 312.50, 41.67},
        {"a month without pay", "10", QDate(2023, 12, 1), QDate(2023, 12, 1), 0, 0},
    };
    for (const Case& c : cases) {
        auto f = Open(QString::fromLatin1(c.proc), c.from, c.to, false);
        CheckAll(*f);
        QTest::mouseClick(f->btCalc, Qt::LeftButton);
        EXPECT_EQ(f->lbStatus->text(), QStringLiteral("Расчет  выполнен")) << c.name;
        EXPECT_TRUE(f->PremCalculated(first)) << c.name;
        EXPECT_DOUBLE_EQ(f->Premium(first).ToDouble(), c.first) << c.name;
        EXPECT_DOUBLE_EQ(f->Premium(second).ToDouble(), c.second) << c.name;
        EXPECT_EQ(Input(first, kPrem), -1) << c.name << ": nothing distributed without cbAuto";
        if (std::string(c.name) == "three months")
            SaveScreenshot(f.get(), QStringLiteral("calc_ui_calc_prem"));
    }
}

TEST_F(CalcPremTest, RefusalsComeBeforeAnyWrite)
{
    struct Case {
        const char* name;
        const char* proc;
        QDate from, to;
        qint32 tablDop;
        QString text;
    } cases[] = {
        {"zero percent", "0", QDate(2024, 2, 1), QDate(2024, 2, 1), kBase,
            QStringLiteral("Процент не может быть равен 0")},
        {"negative percent", "-5", QDate(2024, 2, 1), QDate(2024, 2, 1), kBase,
            QStringLiteral("Процент не может быть равен 0")},
        {"begin after end", "10", QDate(2024, 3, 1), QDate(2024, 2, 1), kBase,
            QStringLiteral("Начальная дата больше конечной")},
        {"end in the working month", "10", QDate(2024, 2, 1), QDate(2024, 4, 1), kBase,
            QStringLiteral("Конечная дата должна входить в прошлые периоды")},
        {"kind without a table", "10", QDate(2024, 2, 1), QDate(2024, 2, 1), kOther,
            QStringLiteral("Неверно определена таблица выборки начислений")},
    };
    for (const Case& c : cases) {
        auto f = Open(QString::fromLatin1(c.proc), c.from, c.to, true);
        f->SetTablDop(c.tablDop);
        CheckAll(*f);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Details(c.text);
        QTest::mouseClick(f->btCalc, Qt::LeftButton);
        EXPECT_FALSE(f->PremCalculated(first)) << c.name;
        EXPECT_EQ(Input(first, kPrem), -1) << c.name;
        EXPECT_EQ(Input(second, kPrem), -1) << c.name;
    }
}

TEST_F(CalcPremTest, SummationAddsOnceAndReplacementOverwrites)
{
    SaveInput(first, {{kPrem, 0, 100, 0}});
    SetRecordValuesByKey(DM()->SR, {Variant(first)}, {"DATERAS"}, {Variant::FromDate(EncodeDate(2024, 4, 10))});
    auto f = Open(QStringLiteral("10"), QDate(2024, 2, 1), QDate(2024, 2, 1), true);
    f->cbSumm->setChecked(true);
    CheckAll(*f);
    QTest::mouseClick(f->btCalc, Qt::LeftButton);
    EXPECT_EQ(f->lbStatus->text(), QStringLiteral("Расчет с СУММИРОВАНИЕМ выполнен"));
    EXPECT_DOUBLE_EQ(Input(first, kPrem), 350.00);
    EXPECT_DOUBLE_EQ(Input(second, kPrem), 33.33);
    bool found = false;
    EXPECT_EQ(T_Tabn::CreateByTabNum(first, found)->DateRas, 0) << "the input changed: to be calculated again";

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Уже разнесено"));
    f->SelectRow(0);
    QTest::mouseClick(f->btVvWrite, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Input(first, kPrem), 350.00);

    f->cbSumm->setChecked(false);
    CheckAll(*f);
    QTest::mouseClick(f->btCalc, Qt::LeftButton);
    EXPECT_EQ(f->lbStatus->text(), QStringLiteral("Расчет с ЗАМЕЩЕНИЕМ выполнен"));
    EXPECT_DOUBLE_EQ(Input(first, kPrem), 250.00);
}

// Esc on the question about unmarked cards must not calculate, let alone
// distribute.
// The box is the mark: unticked with the mouse, ticked again with Space,
// and "Разнести сразу" writes only the ticked employee's premium.
TEST_F(CalcPremTest, TheMarkFollowsTheBoxByMouseAndByKey)
{
    ScriptedMessages msgs;
    auto f = Open(QStringLiteral("10"), QDate(2024, 2, 1), QDate(2024, 2, 1), true);
    CheckAll(*f);
    const auto clickBox = [&f](int row) {
        const QRect cell = f->lvt->visualItemRect(f->lvt->item(row, 0));
        QTest::mouseClick(f->lvt->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 10, cell.center().y()));
    };
    clickBox(1);
    EXPECT_FALSE(f->Cards().GetTabn(1)->Checked) << "unticked with the mouse";
    EXPECT_EQ(f->lvt->item(1, 0)->checkState(), Qt::Unchecked);
    clickBox(1);
    EXPECT_TRUE(f->Cards().GetTabn(1)->Checked) << "ticked again";
    f->SelectRow(1);
    QApplication::setActiveWindow(f.get());
    f->lvt->setFocus();
    QTest::keyClick(f->lvt, Qt::Key_Space);
    EXPECT_FALSE(f->Cards().GetTabn(1)->Checked) << "Space unticks";
    EXPECT_EQ(f->lvt->item(1, 0)->checkState(), Qt::Unchecked);
    SaveScreenshot(f.get(), QStringLiteral("calc_ui_prem_unticked"));
    f->Calculate();
    EXPECT_DOUBLE_EQ(Input(first, kPrem), 250.00);
    EXPECT_DOUBLE_EQ(Input(second, kPrem), -1) << "no premium for the unticked";
}

TEST_F(CalcPremTest, EscOnTheNoCardChoiceDoesNothingAndOneCardGoesAlone)
{
    auto f = Open(QStringLiteral("10"), QDate(2024, 2, 1), QDate(2024, 2, 1), true);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Не выбран ни один табельный номер")).PressEsc();
    QTest::mouseClick(f->btCalc, Qt::LeftButton);
    EXPECT_EQ(msgs.Log()[0].ButtonCaptions(),
        (QStringList{
            QStringLiteral("Рассчитать выделенного"), QStringLiteral("Выбрать всех"), QStringLiteral("Отмена")}));
    EXPECT_FALSE(f->PremCalculated(first));
    EXPECT_EQ(Input(first, kPrem), -1);
    EXPECT_EQ(f->lbStatus->text(), QString());

    // One card: not computed yet, then computed and distributed alone.
    f->cbAuto->setChecked(false);
    f->SelectRow(1);
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Не рассчитано"));
    QTest::mouseClick(f->btVvWrite, Qt::LeftButton);
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Рассчитать выделенного"));
    QTest::mouseClick(f->btCalc, Qt::LeftButton);
    EXPECT_FALSE(f->PremCalculated(first));
    QTest::mouseClick(f->btVvWrite, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Input(second, kPrem), 33.33);
    EXPECT_EQ(Input(first, kPrem), -1);
}

// The receiving kind is checked before anything is written: none set and
// no built-in premium kind, or a kind that does not sum.
TEST_F(CalcPremTest, AnUnfitReceivingKindIsRefusedBeforeAnyWrite)
{
    AppContext().Cfg.PremDop = 0;
    auto f = Open(QStringLiteral("10"), QDate(2024, 2, 1), QDate(2024, 2, 1), true);
    EXPECT_EQ(f->Dop(), -1);
    f->SetTablDop(kBase);
    CheckAll(*f);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Начисление №-1 в справочнике не найдено"));
    QTest::mouseClick(f->btCalc, Qt::LeftButton);
    EXPECT_EQ(Input(first, kPrem), -1);

    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Формула расчета доплаты должна быть суммовой\r\n\"Сн=См\" или "
                                "\"Формулой пользователя\""));
    EXPECT_FALSE(RunGuarded([&] { f->SetDop(kTable); }));
    EXPECT_EQ(f->Dop(), -1);
    f->SetDop(kPrem);
    EXPECT_EQ(AppContext().Cfg.PremDop, kPrem);

    // Without a remembered kind both default to the built-in premium kind.
    AppContext().Cfg.PremDop = 0;
    AddBuiltInKinds();
    TFormCalcPrem fresh;
    EXPECT_EQ(fresh.TablDop(), KindOfTip(dtPremia));
    EXPECT_EQ(fresh.Dop(), KindOfTip(dtPremia));
}

// The menu opens the window modally on the first department's working
// employees; Esc closes it.
TEST_F(CalcPremTest, TheMenuOpensItModalOnTheDepartmentsCards)
{
    ModalScript modal;
    modal.Next<TFormCalcPrem>([&](TFormCalcPrem& f) {
        EXPECT_EQ(f.cbPodr->currentData().toInt(), kPodr);
        EXPECT_EQ(f.lvt->rowCount(), 2);
        EXPECT_EQ(f.lbCount->text(), QStringLiteral("  Табельных номеров 2"));
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    ShowCalcPrem();
    EXPECT_EQ(modal.Seen(), QStringList{QStringLiteral("FormCalcPrem")});
}

} // namespace
