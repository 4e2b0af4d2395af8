// The employee and department picker in its three modes, driven as a clerk.
#include "data/ui/SrSelect.h"
#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/Podr.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class SrSelect : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        const struct {
            int num, up, snum;
            const char* naim;
        } deps[] = {{7, 0, 1, "Бухгалтерия"}, {8, 0, 2, "Механический цех"}};
        for (const auto& d : deps)
            AppendRecordValues(DM()->SP, d.num, {"NUMPDP", "NUMUP", "SNUM", "NAIM"},
                {Variant(1), Variant(d.up), Variant(d.snum), Variant(U(d.naim))});
        const struct {
            int tabn, podr, snum;
            const char* fio;
        } people[] = {{3, 7, 2, "Петрова Анна Ивановна"}, {4, 7, 1, "Сидоров Олег Петрович"},
            {5, 7, 3, "Абрамов Борис Ильич"}, {10, 8, 1, "Кузнецов Иван Сергеевич"}};
        for (const auto& p : people)
            AppendRecordValues(DM()->SR, p.tabn, {"PODR", "OLDPODR", "SNUM", "FIO"},
                {Variant(p.podr), Variant(0), Variant(p.snum), Variant(U(p.fio))});
        PNList()->Reload();
    }
    void TearDown() override
    {
        FreeFormSrSelect();
        AppContextTest::TearDown();
    }

    static void ClickTreeItem(TFormSrSelect& f, const QString& text)
    {
        const auto items = f.tvp->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1) << text.toStdString();
        f.tvp->setCurrentItem(items[0]);
    }
    static void ClickRow(TFormSrSelect& f, int row)
    {
        const QRect r = f.lvt->visualRect(f.lvt->model()->index(row, 2));
        QTest::mouseClick(f.lvt->viewport(), Qt::LeftButton, {}, r.center());
    }

    ModalScript modal;
    ScriptedMessages msgs;
};

TEST_F(SrSelect, PreselectedEmployeeIsShownAndChosenWithEnter)
{
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        EXPECT_EQ(f.windowTitle(), U("Выбор работника"));
        EXPECT_EQ(f.CurPodr(), 7);
        EXPECT_EQ(f.ShownTabns(), (QList<qint32>{4, 3, 5})); // display order
        EXPECT_EQ(f.lvt->currentIndex().row(), 1);
        EXPECT_TRUE(f.pnHelp->isVisible());
        EXPECT_FALSE(f.btAll->isVisible());
        SaveScreenshot(&f, QStringLiteral("SrSelect_tabn"));
        ClickRow(f, 2);
        QTest::keyClick(f.lvt, Qt::Key_Return);
    });
    EXPECT_EQ(SelectTabn(0, 3, U("Укажите работника, которому начисляется премия за квартал")), 5);
    EXPECT_EQ(AppContext().LastTabNum, 5);
}

TEST_F(SrSelect, UnknownNumberOpensOnNoDepartment)
{
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        EXPECT_EQ(f.CurPodr(), 0);
        EXPECT_EQ(f.CurTabn(), 0);
        EXPECT_TRUE(f.ShownTabns().isEmpty());
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    EXPECT_EQ(SelectTabn(7, 999, QString()), -1); // OK on an empty list chooses nobody
}

TEST_F(SrSelect, OkAfterMovingToAnotherDepartmentGivesNoForeignNumber)
{
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        ClickTreeItem(f, U("Механический цех"));
        EXPECT_EQ(f.ShownTabns(), (QList<qint32>{10}));
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    EXPECT_EQ(SelectTabn(7, 3, QString()), -1);
}

TEST_F(SrSelect, EscGivesMinusOne)
{
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) { QTest::keyClick(f.lvt, Qt::Key_Escape); });
    EXPECT_EQ(SelectTabn(7, 3, QString()), -1);
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) { QTest::keyClick(f.tvp, Qt::Key_Escape); });
    EXPECT_EQ(SelectPodr(7, QString()), -1);
}

TEST_F(SrSelect, DepartmentModeHidesTheListAndDoubleClickChooses)
{
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        EXPECT_EQ(f.windowTitle(), U("Выбор подразделения"));
        EXPECT_FALSE(f.lvt->isVisible());
        EXPECT_FALSE(f.pnHelp->isVisible());
        EXPECT_EQ(f.CurPodr(), 7); // no department given: the first node
        SaveScreenshot(&f, QStringLiteral("SrSelect_podr"));
        const auto items = f.tvp->findItems(U("Механический цех"), Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        const QRect r = f.tvp->visualItemRect(items[0]);
        QTest::mouseClick(f.tvp->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(f.tvp->viewport(), Qt::LeftButton, {}, r.center());
    });
    EXPECT_EQ(SelectPodr(0, QString()), 8);
    // The list comes back for the employee modes.
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        EXPECT_TRUE(f.lvt->isVisible());
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectTabn(7, 3, QString());
}

TEST_F(SrSelect, ListModeMarks)
{
    qint32 podr = 7;
    QList<qint32> list{3, 5, 10};
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        EXPECT_EQ(f.windowTitle(), U("Выбор списка работников"));
        EXPECT_EQ(f.MarkedTabns(), (QList<qint32>{3, 5}));
        EXPECT_TRUE(f.btAll->isVisible());
        SaveScreenshot(&f, QStringLiteral("SrSelect_list"));
        QTest::mouseClick(f.btAll, Qt::LeftButton); // some marked: all cleared
        EXPECT_TRUE(f.MarkedTabns().isEmpty());
        QTest::mouseClick(f.btAll, Qt::LeftButton); // none marked: all marked
        EXPECT_EQ(f.MarkedTabns(), (QList<qint32>{4, 3, 5}));
        QTest::keyClick(f.lvt, Qt::Key_Minus, Qt::KeypadModifier);
        EXPECT_TRUE(f.MarkedTabns().isEmpty());
        QTest::keyClick(f.lvt, Qt::Key_Minus); // not the keypad's: no effect
        QTest::keyClick(f.lvt, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_EQ(f.MarkedTabns().size(), 3);
        QTest::keyClick(f.lvt, Qt::Key_Minus, Qt::KeypadModifier);
        ClickRow(f, 0);
        QTest::keyClick(f.lvt, Qt::Key_Space); // marks 4, moves to 3
        QTest::keyClick(f.lvt, Qt::Key_Space); // marks 3, moves to 5
        QTest::keyClick(f.lvt, Qt::Key_Space); // marks 5, stays on the last
        QTest::keyClick(f.lvt, Qt::Key_Space); // unmarks 5
        EXPECT_EQ(f.MarkedTabns(), (QList<qint32>{4, 3}));
        QTest::keyClick(f.lvt, Qt::Key_Return);
    });
    ASSERT_TRUE(SelectTabnList(podr, list, U("Отметьте работников")));
    EXPECT_EQ(podr, 7);
    EXPECT_EQ(list, (QList<qint32>{4, 3}));

    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        QTest::mouseClick(f.btAll, Qt::LeftButton);
        QTest::mouseClick(f.btOk, Qt::LeftButton);
    });
    ASSERT_TRUE(SelectTabnList(podr, list, QString()));
    EXPECT_TRUE(list.isEmpty());

    list = {4};
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) { QTest::keyClick(f.lvt, Qt::Key_Escape); });
    EXPECT_FALSE(SelectTabnList(podr, list, QString()));
    EXPECT_EQ(list, (QList<qint32>{4}));
}

TEST_F(SrSelect, HeaderClicksSort)
{
    modal.Next<TFormSrSelect>([](TFormSrSelect& f) {
        const struct {
            int section;
            QList<qint32> order;
        } cases[] = {{1, {3, 4, 5}}, {2, {5, 3, 4}}, {0, {4, 3, 5}}};
        for (const auto& c : cases) {
            const int x = f.lvt->header()->sectionViewportPosition(c.section) + 5;
            QTest::mouseClick(f.lvt->header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
            EXPECT_EQ(f.ShownTabns(), c.order) << c.section;
        }
        EXPECT_EQ(f.lvt->currentIndex().row(), 1) << "the chosen employee stays chosen";
        QTest::keyClick(f.lvt, Qt::Key_Escape);
    });
    SelectTabn(7, 3, QString());
}

} // namespace
namespace {

// The prompt's band keeps its height however often the picker opens, so a
// click lands on the department under it.
TEST_F(SrSelect, TheHelpBandKeepsItsHeightAtEveryOpening)
{
    const QString prompt = U("Укажите подразделение, где будет работать\r\nНовиков Николай");
    int firstTop = -1;
    for (int i = 0; i < 3; ++i) {
        modal.Next<TFormSrSelect>([&firstTop](TFormSrSelect& f) {
            const int top = f.tvp->mapTo(&f, QPoint()).y();
            if (firstTop < 0)
                firstTop = top;
            EXPECT_EQ(top, firstTop) << "the band did not grow";
            const auto items = f.tvp->findItems(U("Механический цех"), Qt::MatchExactly | Qt::MatchRecursive);
            ASSERT_EQ(items.size(), 1);
            const QRect r = f.tvp->visualItemRect(items[0]);
            QTest::mouseClick(f.tvp->viewport(), Qt::LeftButton, {}, r.center());
            QTest::keyClick(f.tvp, Qt::Key_Return);
        });
        EXPECT_EQ(SelectPodr(7, prompt), 8) << "opening " << i + 1;
    }
}

} // namespace
