// The cell-grid bevel: its size rules, captions, selection and hot cell.

#include "foundation/ui/controls/Bevel.h"
#include "UiTestHelpers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <vector>

namespace {

const char* const kMonths[12] = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};

QStringList Months()
{
    QStringList list;
    for (const char* m : kMonths)
        list << QString::fromUtf8(m);
    return list;
}

TEST(Bevel, ColsAndRowsFitTheSizeAndShrinkIt)
{
    Tyq_Bevel b;
    EXPECT_EQ(b.size(), QSize(30, 20));
    b.SetRows(12); // a new bevel is too low for twelve rows
    EXPECT_EQ(b.Rows(), 1);
    b.resize(100, 50);
    b.SetCols(26);
    EXPECT_EQ(b.Cols(), 1);
    b.SetCols(25);
    EXPECT_EQ(b.Cols(), 25);
    EXPECT_EQ(b.width(), 100);
    b.SetCols(0);
    EXPECT_EQ(b.Cols(), 25);
    b.SetCols(6); // cells of 16: the control shrinks to 96
    EXPECT_EQ(b.Cols(), 6);
    EXPECT_EQ(b.width(), 96);
    b.resize(125, 245);
    b.SetRows(12);
    EXPECT_EQ(b.size(), QSize(120, 240));
    EXPECT_EQ(b.CellRect(2, 3), QRect(40, 60, 20, 20));
}

TEST(Bevel, CaptionsRunDownTheColumnsOrAcrossTheRows)
{
    Tyq_Bevel b;
    b.resize(120, 240);
    b.SetCols(6);
    b.SetRows(12);
    b.SetCaps(Months());
    EXPECT_EQ(b.Orientation(), boVertical);
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 6; ++c)
            ASSERT_EQ(b.CellCaption(c, r), QString::fromUtf8(kMonths[r])) << c << "," << r;
    b.SetOrientation(boHorizontal);
    EXPECT_EQ(b.CellCaption(0, 0), QStringLiteral("янв"));
    EXPECT_EQ(b.CellCaption(5, 0), QStringLiteral("июн"));
    EXPECT_EQ(b.CellCaption(0, 1), QStringLiteral("июл"));
    EXPECT_EQ(b.CellCaption(0, 2), QStringLiteral("янв")); // repeats
    b.SetCaps({});
    EXPECT_EQ(b.CellCaption(0, 0), QString());
}

class BevelWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("BevelWindow"));
        window->resize(236, 300);
        bv = new Tyq_Bevel(window.get());
        bv->setObjectName(QStringLiteral("bv"));
        bv->setGeometry(10, 30, 218, 266); // cells of 36 x 22
        bv->SetCols(6);
        bv->SetRows(12);
        bv->SetCaps(Months());
        bv->SetOptions({boSelShow});
        bv->OnChangeSel = [this](QObject*, int c, int r) { sels.push_back({c, r}); };
        bv->OnChange = [this](QObject*, int c, int r) { hots.push_back({c, r}); };
        bv->OnClick = [this](QObject*) { ++clicks; };
        ASSERT_TRUE(ShowActive(window.get()));
    }

    QPoint Center(int c, int r) const { return bv->CellRect(c, r).center(); }

    std::unique_ptr<QWidget> window;
    Tyq_Bevel* bv = nullptr;
    std::vector<std::pair<int, int>> sels, hots;
    int clicks = 0;
};

TEST_F(BevelWindow, AClickSelectsTheCellOnce)
{
    EXPECT_EQ(bv->size(), QSize(216, 264));
    QTest::mouseClick(bv, Qt::LeftButton, {}, Center(2, 3));
    EXPECT_EQ(bv->Col(), 2);
    EXPECT_EQ(bv->Row(), 3);
    ASSERT_EQ(sels.size(), 1u);
    EXPECT_EQ(sels[0], std::make_pair(2, 3));
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(bv, Qt::LeftButton, {}, Center(2, 3) + QPoint(3, 3));
    EXPECT_EQ(sels.size(), 1u); // the same rectangle: no new selection event
    EXPECT_EQ(clicks, 2);
    bv->SelectCell(-1, -1); // an empty selection draws nothing and reports nothing
    EXPECT_EQ(sels.size(), 1u);
    bv->SelectCell(4, 11);
    EXPECT_EQ(sels.size(), 2u);
}

TEST_F(BevelWindow, TheHotCellFollowsTheMouse)
{
    QTest::mouseMove(bv, Center(1, 1));
    // Without a button QTest moves the cursor; let the move arrive.
    QApplication::processEvents();
    QMouseEvent move(QEvent::MouseMove, QPointF(Center(1, 1)), bv->mapToGlobal(QPointF(Center(1, 1))), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bv, &move);
    ASSERT_FALSE(hots.empty());
    EXPECT_EQ(hots.back(), std::make_pair(1, 1));
    const size_t count = hots.size();
    QMouseEvent again(QEvent::MouseMove, QPointF(Center(1, 1) + QPoint(2, 2)),
        bv->mapToGlobal(QPointF(Center(1, 1) + QPoint(2, 2))), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bv, &again);
    EXPECT_EQ(hots.size(), count); // inside the same cell nothing happens
    EXPECT_TRUE(bv->HotVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bv, &leave);
    EXPECT_FALSE(bv->HotVisible());
}

TEST_F(BevelWindow, ANonFlatBevelTracksOnlyWithTheButtonHeld)
{
    bv->SetFlat(false);
    QMouseEvent move(QEvent::MouseMove, QPointF(Center(3, 3)), bv->mapToGlobal(QPointF(Center(3, 3))), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bv, &move);
    EXPECT_TRUE(hots.empty());
    QTest::mousePress(bv, Qt::LeftButton, {}, Center(3, 3));
    ASSERT_EQ(hots.size(), 1u);
    QTest::mouseMove(bv, Center(4, 3));
    EXPECT_EQ(hots.back(), std::make_pair(4, 3));
    QTest::mouseRelease(bv, Qt::LeftButton, {}, Center(4, 3));
    EXPECT_EQ(bv->Col(), 4);
}

TEST_F(BevelWindow, ASqueezedBevelNeverDividesByZero)
{
    bv->resize(3, 3);
    EXPECT_EQ(bv->CellWidth(), 0);
    QTest::mouseClick(bv, Qt::LeftButton, {}, QPoint(1, 1));
    QMouseEvent move(
        QEvent::MouseMove, QPointF(2, 2), bv->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bv, &move);
    EXPECT_TRUE(hots.empty());
    EXPECT_FALSE(bv->grab().isNull());
}

TEST_F(BevelWindow, MonthGridScreenshot)
{
    auto* hc = new Tyq_Bevel(window.get());
    hc->setObjectName(QStringLiteral("hc"));
    hc->setGeometry(10, 4, 216, 26);
    hc->SetCols(6);
    QStringList years;
    for (int y = 2020; y < 2026; ++y)
        years << QString::number(y);
    hc->SetCaps(years);
    QFont bold = hc->font();
    bold.setBold(true);
    hc->setFont(bold);
    hc->SetSelColor(Qt::blue);
    hc->SetOptions({boSelShow});
    hc->show();
    bv->SetSelColor(Qt::red);
    bv->SelectCell(4, 2);
    hc->SelectCell(4, 0);
    const QImage img = bv->grab().toImage();
    // The selected cell has its frame in the window-text colour.
    const QRect cell = bv->CellRect(4, 2);
    EXPECT_EQ(img.pixel(cell.left(), cell.center().y()), Rgb(bv->palette().color(QPalette::WindowText)));
    SaveScreenshot(window.get(), QStringLiteral("bevel_month_grid"));
}

} // namespace
