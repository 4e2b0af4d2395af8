// The accrual picker driven as a clerk: cancel, choice, typed numbers, the
// sort orders of the header, the set chooser, marks of several kinds.
#include "data/ui/DpSelect.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/ui/InVvod.h"
#include "foundation/ui/edits/NumEdit.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class DpSelect : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        AddBuiltInKinds();
        AddKind({.DopNum = 150, .Naim = U("Доплата за вредность"), .StadiaF = 120});
        AddKind({.DopNum = 151, .Naim = U("Надбавка за стаж"), .StadiaF = 110});
        AddKind({.DopNum = 160, .Naim = U("Старая надбавка"), .Deleted = true});
        AddKind({.DopNum = 250, .Naim = U("Алименты"), .Uder = true});
        // 151 stands early in the directory's own order.
        SetRecordValuesByKey(DM()->DP, {Variant(151)}, {QStringLiteral("SNUM")}, {Variant(5)});
        DNList()->SetLoaded(false);
        balans = KindOfTip(dtBalans);
    }
    void TearDown() override
    {
        FreeFormDpSelect();
        AppContextTest::TearDown();
    }

    static qint32 CurrentNum(TFormDpSelect& f)
    {
        const int row = f.lvt->currentIndex().row();
        return row >= 0 ? f.ShownDops().value(row, -1) : -1;
    }
    static void ClickHeader(TFormDpSelect& f, int section)
    {
        QHeaderView* h = f.lvt->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(section) + 5, 5));
    }
    static QRect RowRect(TFormDpSelect& f, qint32 num)
    {
        return f.lvt->visualRect(f.lvt->model()->index(f.ShownDops().indexOf(num), 2));
    }
    static void DoubleClickRow(TFormDpSelect& f, qint32 num)
    {
        const QPoint at = RowRect(f, num).center();
        QTest::mouseClick(f.lvt->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(f.lvt->viewport(), Qt::LeftButton, {}, at);
    }

    qint32 balans = -1;
    ModalScript modal;
    ScriptedMessages msgs;
};

TEST_F(DpSelect, CancelGivesMinusOneYetMovingTheLineMovesTheCurrentNumber)
{
    AppContext().LastDopNum = 0;
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_EQ(f.windowTitle(), U("Список начислений"));
        EXPECT_FALSE(f.cbNabor->isVisible()) << "the caller's own set";
        EXPECT_TRUE(f.lbHint->isVisible());
        EXPECT_EQ(f.lbSort->text(), U("по номеру программы"));
        EXPECT_FALSE(f.ShownDops().contains(160)) << "deleted kind";
        EXPECT_FALSE(f.ShownDops().contains(250)) << "deduction";
        EXPECT_EQ(CurrentNum(f), 40);
        SaveScreenshot(&f, QStringLiteral("DpSelect"));
        QTest::keyClick(f.lvt, Qt::Key_Down);
        EXPECT_EQ(CurrentNum(f), 60);
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    EXPECT_EQ(SelectDop(dfAccruals, U("Выберите начисление, которое нужно добавить к расчету"), 40, 1), -1);
    EXPECT_EQ(AppContext().LastDopNum, 60);
}

TEST_F(DpSelect, EnterDoubleClickAndThePreselection)
{
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) { QTest::keyClick(f.lvt, Qt::Key_Return); });
    EXPECT_EQ(SelectDop(dfAccruals, QString(), 151, 1), 151);
    // An unknown preselection takes the line chosen last time; sort 0 keeps the order.
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_EQ(f.SortMode(), 1);
        EXPECT_FALSE(f.lbHint->isVisible());
        EXPECT_EQ(CurrentNum(f), 151);
        DoubleClickRow(f, 100);
    });
    EXPECT_EQ(SelectDop(dfAccruals, QString(), 999, 0), 100);
    // Neither in the list: the first line.
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_EQ(CurrentNum(f), 200);
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    EXPECT_EQ(SelectDop(dfDeductions, QString(), 999, 0), 200);
}

TEST_F(DpSelect, TypedNumber)
{
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        QTest::keyClicks(f.lvt, QStringLiteral("1"));
        EXPECT_EQ(CurrentNum(f), 151);
        EXPECT_EQ(f.focusWidget(), f.lvt);
        QTest::keyClicks(f.lvt, QStringLiteral("2"));
        EXPECT_EQ(CurrentNum(f), 151) << "not found: the line stays";
        QTest::keyClicks(f.lvt, QStringLiteral("3"));
        EXPECT_EQ(CurrentNum(f), 151) << "the number box cancelled";
        QTest::keyClick(f.lvt, Qt::Key_Return);
    });
    modal.Next<TFormFindDNum>([](TFormFindDNum& n) {
        EXPECT_EQ(n.lb->text(), U("Номер начисления"));
        EXPECT_EQ(n.edNum->text(), QStringLiteral("1")) << "the typed digit starts the number";
        QTest::keyClicks(n.edNum, QStringLiteral("51"));
        QTest::keyClick(n.edNum, Qt::Key_Return);
    });
    // The directory holds 250, but not among the accruals.
    modal.Next<TFormFindDNum>([](TFormFindDNum& n) {
        QTest::keyClicks(n.edNum, QStringLiteral("50"));
        QTest::keyClick(n.edNum, Qt::Key_Return);
    });
    modal.Next<TFormFindDNum>([](TFormFindDNum& n) { QTest::keyClick(n.edNum, Qt::Key_Escape); });
    msgs.Expect(MsgKind::Error).Details(U("Не найден номер"));
    EXPECT_EQ(SelectDop(dfAccruals, QString(), 3, 1), 151);
    EXPECT_EQ(AppContext().LastDopNum, 151);
}

TEST_F(DpSelect, HeaderClicksSort)
{
    modal.Next<TFormDpSelect>([this](TFormDpSelect& f) {
        EXPECT_FALSE(f.lvt->horizontalHeader()->isSectionHidden(3)) << "stage column in stage order";
        EXPECT_EQ(f.ShownDops(), (QList<qint32>{balans, 1, 2, 151, 150, 3, 40, 60, 100}));
        EXPECT_EQ(f.lbSort->text(), U("по стадии расчета"));
        const struct {
            int section;
            int mode;
            QList<qint32> order;
            const char* caption;
        } cases[] = {
            {1, 1, {balans, 1, 2, 3, 40, 60, 100, 150, 151}, "по номеру программы"},
            {2, 2, {balans, 60, 150, 151, 40, 2, 3, 100, 1}, "по наименованию"},
            {0, 3, {balans, 1, 2, 3, 151, 40, 60, 100, 150}, "по порядковому номеру"},
        };
        for (const auto& c : cases) {
            ClickHeader(f, c.section);
            EXPECT_EQ(f.SortMode(), c.mode) << c.section;
            EXPECT_EQ(f.ShownDops(), c.order) << c.section;
            EXPECT_EQ(f.lbSort->text(), U(c.caption)) << c.section;
            EXPECT_TRUE(f.lvt->horizontalHeader()->isSectionHidden(3)) << c.section;
            EXPECT_EQ(CurrentNum(f), 40) << "the chosen line stays chosen";
        }
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectDop(dfAccruals, QString(), 40, 4);
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_EQ(f.SortMode(), 3) << "the clerk's order is kept";
        f.lvt->horizontalHeader()->resizeSection(3, 90);
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectDop(dfAccruals, QString(), 40, 0);
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_EQ(f.lvt->horizontalHeader()->sectionSize(3), 90) << "width kept while hidden";
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectDop(dfAccruals, QString(), 40, 4);
}

TEST_F(DpSelect, SetChooserForKindsOfNoSet)
{
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        ASSERT_TRUE(f.cbNabor->isVisible());
        EXPECT_EQ(f.cbNabor->currentText(), U("Все начисления"));
        SaveScreenshot(&f, QStringLiteral("DpSelect_sets"));
        EXPECT_TRUE(f.ShownDops().contains(250));
        EXPECT_TRUE(f.ShownDops().contains(150));
        f.cbNabor->setFocus();
        QTest::keyClick(f.cbNabor, Qt::Key_Down);
        QTest::keyClick(f.cbNabor, Qt::Key_Down);
        EXPECT_EQ(f.cbNabor->currentText(), U("Удержания"));
        EXPECT_EQ(f.Filter(), dfDeductions);
        EXPECT_EQ(f.ShownDops().first(), 200);
        EXPECT_FALSE(f.ShownDops().contains(150));
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectDop(0, QString(), 250, 1);
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_TRUE(f.cbNabor->isVisible());
        EXPECT_EQ(f.focusWidget(), f.lvt) << "the list has the focus though the chooser had it last time";
        EXPECT_EQ(f.Filter(), dfDeductions) << "the previous choice";
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectDop(dfDeleted, QString(), 0, 0);
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_FALSE(f.cbNabor->isVisible());
        EXPECT_EQ(f.Filter(), dfAccruals | dfDeductions);
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectDop(dfAccruals | dfDeductions, QString(), 0, 0);
}

TEST_F(DpSelect, MarksOfSeveralKinds)
{
    QList<qint32> list{3, 40, 250};
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_TRUE(f.MultiSelect());
        EXPECT_EQ(f.MarkedDops(), (QList<qint32>{3, 40})) << "250 is no accrual";
        const QModelIndex first = f.lvt->model()->index(0, 0);
        EXPECT_EQ(f.lvt->model()->data(first, Qt::DecorationRole).value<QIcon>().cacheKey(), DopImage(2).cacheKey());
        QTest::keyClick(f.lvt, Qt::Key_Space); // marks the first line
        EXPECT_EQ(f.lvt->model()->data(first, Qt::DecorationRole).value<QIcon>().cacheKey(), DopImage(3).cacheKey());
        QTest::keyClick(f.lvt, Qt::Key_Plus);
        EXPECT_EQ(f.MarkedDops(), f.ShownDops());
        QTest::keyClick(f.lvt, Qt::Key_Minus);
        EXPECT_TRUE(f.MarkedDops().isEmpty());
        DoubleClickRow(f, 150);
        DoubleClickRow(f, 2);
        QTest::keyClick(f.lvt, Qt::Key_Space); // 2 unmarked again
        DoubleClickRow(f, 60);
        SaveScreenshot(&f, QStringLiteral("DpSelect_marks"));
        QTest::keyClick(f.lvt, Qt::Key_Return);
    });
    ASSERT_TRUE(SelectDopList(dfAccruals, U("Отметьте начисления"), list, 1));
    EXPECT_EQ(list, (QList<qint32>{60, 150}));

    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        QTest::keyClick(f.lvt, Qt::Key_Plus);
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    EXPECT_FALSE(SelectDopList(dfAccruals, QString(), list, 0));
    EXPECT_EQ(list, (QList<qint32>{60, 150}));
    // One kind after marking several: no marks shown.
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_FALSE(f.MultiSelect());
        EXPECT_TRUE(f.MarkedDops().isEmpty());
        QTest::keyClick(f.lvt, Qt::Key_Space);
        EXPECT_TRUE(f.MarkedDops().isEmpty());
        QTest::keyClick(f.lvt, Qt::Key_Return);
    });
    EXPECT_EQ(SelectDop(dfAccruals, QString(), 60, 0), 60);
}

TEST_F(DpSelect, ImageIndexByKindAndMark)
{
    T_Dop accrual, deduction;
    deduction.Uder = true;
    const struct {
        const T_Dop* dop;
        bool mark;
        int index;
    } cases[] = {
        {nullptr, true, -1}, {&deduction, false, 0}, {&deduction, true, 1}, {&accrual, false, 2}, {&accrual, true, 3}};
    for (const auto& c : cases)
        EXPECT_EQ(GetDopImageIndex(c.dop, c.mark), c.index) << c.index;
    T_MDop marked(&accrual, true);
    EXPECT_EQ(GetMDopImageIndex(&marked), 3);
    EXPECT_EQ(GetMDopImageIndex(nullptr), -1);
    EXPECT_TRUE(DopImage(-1).isNull());
    EXPECT_FALSE(DopImage(3).isNull());
}

class DpSelectEmpty : public AppContextTest {
protected:
    void TearDown() override
    {
        FreeFormDpSelect();
        AppContextTest::TearDown();
    }
    ModalScript modal;
};

TEST_F(DpSelectEmpty, EnterWithNoLineIsCancel)
{
    AppContext().LastDopNum = 7;
    modal.Next<TFormDpSelect>([](TFormDpSelect& f) {
        EXPECT_TRUE(f.ShownDops().isEmpty());
        QTest::keyClick(f.lvt, Qt::Key_Return);
    });
    EXPECT_EQ(SelectDop(dfAccruals, QString(), 7, 1), -1);
    EXPECT_EQ(AppContext().LastDopNum, 7);
}

} // namespace
