// The month picker, driven by keys and the mouse with a fixed "today".
#include "foundation/ui/dialogs/Clndr.h"
#include "support/ModalScript.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolButton>

namespace {

class MonthPicker : public ::testing::Test {
protected:
    void TearDown() override { RemoveMonthCalendarForm(); }
    ScopedFakeClock today{EncodeDate(2024, 5, 20) + 0.5};
    ModalScript modal;
};

QStringList Headings(TFormMonthCalendar& f)
{
    QStringList years;
    for (int c = 0; c < 6; ++c)
        years.append(f.hc->CellCaption(c, 0));
    return years;
}

// The picker has no focusable control: its keys reach the form itself.
void Key(TFormMonthCalendar& f, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(f.focusWidget() ? f.focusWidget() : &f, key, mods);
}

QPoint CellCentre(Tyq_Bevel* grid, int col, int row) { return grid->CellRect(col, row).center(); }

TEST_F(MonthPicker, OpensOnTheGivenMonthWithItsYearFirst)
{
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        EXPECT_EQ(f.windowTitle(), "Выбор месяца");
        EXPECT_EQ(Headings(f), QStringList({"2010", "2011", "2012", "2013", "2014", "2015"}));
        EXPECT_EQ(f.bv->Col(), 0);
        EXPECT_EQ(f.bv->Row(), 2);
        EXPECT_EQ(f.hc->Col(), 0);
        EXPECT_EQ(f.lbm->text(), "Март");
        EXPECT_EQ(f.lby->text(), "2010");
        EXPECT_EQ(f.lbm->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_EQ(f.lby->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_EQ(f.bv->CellCaption(3, 0), "Янв");
        EXPECT_EQ(f.bv->CellCaption(3, 11), "Дек");
        EXPECT_LE(f.bv->geometry().bottom(), f.height());
        SaveScreenshot(&f, QStringLiteral("month_picker"));
        Key(f, Qt::Key_Return);
    });
    EXPECT_EQ(SelectMonth(EncodeDate(2010, 3, 15)), EncodeDate(2010, 3, 1));
}

TEST_F(MonthPicker, ALaterDatePutsItsYearInTheLastColumn)
{
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        EXPECT_EQ(Headings(f), QStringList({"2026", "2027", "2028", "2029", "2030", "2031"}));
        EXPECT_EQ(f.bv->Col(), 5);
        EXPECT_EQ(f.bv->Row(), 5);
        Key(f, Qt::Key_Space);
    });
    EXPECT_EQ(SelectMonth(EncodeDate(2031, 6, 10)), EncodeDate(2031, 6, 1));
}

TEST_F(MonthPicker, WithoutADateTodayIsInTheFifthColumn)
{
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        EXPECT_EQ(Headings(f).first(), "2020");
        EXPECT_EQ(f.bv->Col(), 4);
        EXPECT_EQ(f.bv->Row(), 4);
        EXPECT_EQ(f.Chosen(), 0.0) << "nothing chosen until confirmed";
        Key(f, Qt::Key_Return);
    });
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) { Key(f, Qt::Key_Escape); });
    EXPECT_EQ(SelectMonth(0), EncodeDate(2024, 5, 1));
    EXPECT_EQ(SelectMonth(0), 0.0);
}

TEST_F(MonthPicker, TabInDecemberOfTheLastYearGoesToJanuaryOfANewYear)
{
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        ASSERT_EQ(f.bv->Col(), 5);
        ASSERT_EQ(f.bv->Row(), 11);
        Key(f, Qt::Key_Tab);
        EXPECT_EQ(Headings(f).last(), "2032");
        EXPECT_EQ(f.bv->Col(), 5);
        EXPECT_EQ(f.bv->Row(), 0);
        EXPECT_EQ(f.lby->text(), "2032");
        Key(f, Qt::Key_Backtab, Qt::ShiftModifier); // and back
        EXPECT_EQ(f.bv->Col(), 4);
        EXPECT_EQ(f.bv->Row(), 11);
        EXPECT_EQ(f.Chosen(), EncodeDate(2031, 12, 1));
        Key(f, Qt::Key_Tab);
        Key(f, Qt::Key_Return);
    });
    EXPECT_EQ(SelectMonth(EncodeDate(2031, 12, 10)), EncodeDate(2032, 1, 1));
}

TEST_F(MonthPicker, ArrowsShiftAtTheEdgesAndStopAtTopAndBottom)
{
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int col, row;
        const char* firstYear;
    };
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        // Starts at January 2010 in the first column.
        const Step steps[] = {
            {Qt::Key_Up, Qt::NoModifier, 0, 0, "2010"}, // nothing above January
            {Qt::Key_Left, Qt::NoModifier, 0, 0, "2009"}, // the range moves back a year
            {Qt::Key_Down, Qt::NoModifier, 0, 1, "2009"},
            {Qt::Key_Right, Qt::NoModifier, 1, 1, "2009"},
            {Qt::Key_Left, Qt::AltModifier, 1, 1, "2009"}, // keys with Alt are ignored
            {Qt::Key_Tab, Qt::NoModifier, 1, 2, "2009"},
        };
        for (const Step& s : steps) {
            Key(f, s.key, s.mods);
            EXPECT_EQ(f.bv->Col(), s.col);
            EXPECT_EQ(f.bv->Row(), s.row);
            EXPECT_EQ(Headings(f).first(), s.firstYear);
        }
        for (int i = 0; i < 15; ++i)
            Key(f, Qt::Key_Down);
        EXPECT_EQ(f.bv->Row(), 11) << "nothing below December";
        EXPECT_EQ(f.Chosen(), EncodeDate(2010, 12, 1));
        Key(f, Qt::Key_Escape);
    });
    EXPECT_EQ(SelectMonth(EncodeDate(2010, 1, 1)), EncodeDate(2010, 1, 1));
}

TEST_F(MonthPicker, MouseClicksOnMonthsHeadingsAndArrows)
{
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        QTest::mouseClick(f.bv, Qt::LeftButton, {}, CellCentre(f.bv, 2, 7));
        EXPECT_EQ(f.Chosen(), EncodeDate(2012, 8, 1));
        QTest::mouseClick(f.hc, Qt::LeftButton, {}, CellCentre(f.hc, 4, 0));
        EXPECT_EQ(f.Chosen(), EncodeDate(2014, 8, 1)) << "same month of the clicked year";
        EXPECT_EQ(f.bv->Col(), 4);
        QTest::mouseClick(f.sbRight, Qt::LeftButton);
        EXPECT_EQ(f.Chosen(), EncodeDate(2015, 8, 1));
        QTest::mouseClick(f.sbLeft, Qt::LeftButton);
        QTest::mouseClick(f.sbLeft, Qt::LeftButton);
        EXPECT_EQ(f.Chosen(), EncodeDate(2013, 8, 1));
        QTest::mouseClick(f.bvMonth, Qt::LeftButton); // the middle area confirms
    });
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        const QPoint p = CellCentre(f.bv, 1, 0);
        QTest::mousePress(f.bv, Qt::LeftButton, {}, p);
        QTest::mouseRelease(f.bv, Qt::LeftButton, {}, p);
        QTest::mouseDClick(f.bv, Qt::LeftButton, {}, p);
    });
    EXPECT_EQ(SelectMonth(EncodeDate(2010, 3, 15)), EncodeDate(2013, 8, 1));
    EXPECT_EQ(SelectMonth(EncodeDate(2010, 3, 15)), EncodeDate(2011, 1, 1));
}

TEST_F(MonthPicker, RightPressAndReleaseOnTheGridCancels)
{
    modal.Next<TFormMonthCalendar>([](TFormMonthCalendar& f) {
        Key(f, Qt::Key_Right);
        const QPoint p = CellCentre(f.bv, 3, 3);
        QTest::mousePress(f.bv, Qt::RightButton, {}, p);
        EXPECT_TRUE(f.isVisible());
        QTest::mouseRelease(f.bv, Qt::RightButton, {}, p);
        EXPECT_EQ(f.Chosen(), 0.0);
    });
    const TDateTime d = EncodeDate(2018, 9, 30);
    EXPECT_EQ(SelectMonth(d), d);
}

TEST_F(MonthPicker, RangeRules)
{
    TFormMonthCalendar f;
    f.ShowDate(EncodeDate(2024, 5, 20));
    EXPECT_EQ(f.FirstYear(), 2020);
    EXPECT_EQ(f.Base(), EncodeDate(2020, 5, 1));
    f.SetDate(EncodeDate(2022, 1, 10)); // inside: the range stays
    EXPECT_EQ(f.FirstYear(), 2020);
    EXPECT_EQ(f.bv->Col(), 2);
    f.SetDate(EncodeDate(2020, 4, 30)); // before the base: starts there
    EXPECT_EQ(f.FirstYear(), 2020);
    EXPECT_EQ(f.Base(), EncodeDate(2020, 4, 30));
    f.SetDate(EncodeDate(2025, 5, 1)); // the base's month five years on is still inside
    EXPECT_EQ(f.FirstYear(), 2020);
    EXPECT_EQ(f.bv->Col(), 5);
    f.SetDate(EncodeDate(2026, 7, 2));
    EXPECT_EQ(f.FirstYear(), 2021);
    EXPECT_EQ(f.Base(), EncodeDate(2021, 7, 1));
    EXPECT_EQ(f.Chosen(), EncodeDate(2026, 7, 1));
    f.SelectCell(9, 0); // outside the grid: nothing selected
    EXPECT_EQ(f.Chosen(), 0.0);
    EXPECT_EQ(f.lbm->text(), "");
}

} // namespace
