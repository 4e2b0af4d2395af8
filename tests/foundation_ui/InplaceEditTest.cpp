// The editor styles of the draw grid: the drop-down pick list and the
// ellipsis button.

#include "UiTestHelpers.h"
#include "foundation/ui/grids/YQRGrids.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <map>
#include <memory>

namespace {

const char* const kNames[] = {"ALPHA", "BETA", "GAMMA", "DELTA", "EPSILON", "ZETA", "ETA", "THETA", "IOTA", "KAPPA",
    "LAMBDA", "MU", "NU", "XI", "OMICRON", "PI", "RHO", "SIGMA", "TAU", "Упсилон"};

// Column 1 is plain, column 2 has the ellipsis, column 3 the pick list.
class EditStylesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<QDialog>();
        dialog->setObjectName(QStringLiteral("StylesDialog"));
        auto* layout = new QVBoxLayout(dialog.get());
        grid = new Tyq_DrawGrid(dialog.get());
        grid->setObjectName(QStringLiteral("dgStyles"));
        layout->addWidget(grid);
        grid->SetColCount(4);
        grid->SetRowCount(5);
        grid->SetDefaultColWidth(96);
        for (const char* n : kNames)
            pickList << QString::fromUtf8(n);
        grid->OnGetEditText = [this](QObject*, int c, int r, QString& v) { v = cells[{c, r}]; };
        grid->OnSetEditText = [this](QObject*, int c, int r, const QString& v) { cells[{c, r}] = v; };
        grid->OnDrawCell = [this](QObject*, int c, int r, const QRect& rect, TGridDrawState) {
            static const char* const heads[] = {"", "Простое", "Кнопка", "Список"};
            const QString text = r == 0 ? QString::fromUtf8(heads[c]) : cells[{c, r}];
            DrawCellText(grid->Canvas(), rect, text, 2, false, 1, r == 0 ? 2 : 0);
        };
        grid->OnGetEditStyle = [](QObject*, int c, int, TInplaceEditStyle& s) {
            s = c == 2 ? esEllipsis : c == 3 ? esPickList : esSimple;
        };
        grid->OnGetPicklist = [this](QObject*, int, int, QStringList& list) { list = pickList; };
        grid->OnEditButtonClick = [this](QObject*) { ++buttonClicks; };
        grid->SetOptions(grid->Options().With(goEditing));
        cells[{3, 1}] = QStringLiteral("GAMMA");
        cells[{2, 1}] = QStringLiteral("Файл");
        dialog->resize(440, 160);
        ASSERT_TRUE(ShowActive(dialog.get()));
        grid->setFocus();
        QApplication::processEvents();
    }

    // Opens the editor of a cell with F2.
    Tyq_InplaceEdit* Open(int c, int r)
    {
        grid->FocusCell(c, r);
        QTest::keyClick(grid, Qt::Key_F2);
        Tyq_InplaceEdit* ed = grid->InplaceEditor();
        EXPECT_TRUE(ed && ed->isVisible());
        return ed;
    }

    static void Type(QWidget* w, const QString& text)
    {
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, w,
                ch.unicode() < 128 && ch.isLetter() ? Qt::Key(ch.toUpper().unicode()) : Qt::Key_unknown, QString(ch),
                Qt::NoModifier);
    }

    // The dialog with the pick list drawn where it lies on the screen.
    void SaveWithList(const QString& name)
    {
        QPixmap shot = dialog->grab();
        TPopupListbox* list = grid->InplaceEditor()->PickList();
        if (list && list->isVisible()) {
            const QPoint at = list->mapToGlobal(QPoint(0, 0)) - dialog->mapToGlobal(QPoint(0, 0));
            const QRect all = QRect(QPoint(0, 0), shot.size()).united(QRect(at, list->size()));
            QPixmap both(all.size());
            both.fill(Qt::darkGray);
            QPainter p(&both);
            p.drawPixmap(-all.topLeft(), shot);
            p.drawPixmap(at - all.topLeft(), list->grab());
            p.end();
            shot = both;
        }
        EXPECT_TRUE(shot.save(TestArtifactsDir() + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

    std::unique_ptr<QDialog> dialog;
    Tyq_DrawGrid* grid = nullptr;
    std::map<std::pair<int, int>, QString> cells;
    QStringList pickList;
    int buttonClicks = 0;
};

TEST_F(EditStylesTest, EachCellGetsItsStyle)
{
    EXPECT_EQ(Open(1, 1)->EditStyle(), esSimple);
    EXPECT_TRUE(grid->InplaceEditor()->ButtonRect().isNull());
    EXPECT_EQ(Open(2, 1)->EditStyle(), esEllipsis);
    EXPECT_FALSE(grid->InplaceEditor()->ButtonRect().isNull());
    EXPECT_EQ(grid->InplaceEditor()->ButtonRect().right(), grid->InplaceEditor()->width() - 1);
    EXPECT_EQ(Open(3, 1)->EditStyle(), esPickList);
    ASSERT_NE(grid->InplaceEditor()->PickList(), nullptr);
}

TEST_F(EditStylesTest, AltDownOpensTwentyItemsEightRowsHighBelowTheEditor)
{
    Tyq_InplaceEdit* ed = Open(3, 1);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    TPopupListbox* list = ed->PickList();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->count(), 20);
    EXPECT_EQ(list->height(), list->ItemHeight() * 8 + 4);
    EXPECT_GE(list->ItemHeight(), list->fontMetrics().height()); // no clipped rows
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_GE(list->width(), ed->width());
    EXPECT_EQ(list->geometry().top(), ed->mapToGlobal(QPoint(0, ed->height())).y());
    EXPECT_EQ(list->geometry().left(), ed->mapToGlobal(QPoint(0, 0)).x());
    ASSERT_NE(list->currentItem(), nullptr);
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("GAMMA")); // the editor's text is preselected
    EXPECT_EQ(QApplication::focusWidget(), ed); // the focus stays in the editor
    SaveWithList(QStringLiteral("grid_picklist_open"));
}

TEST_F(EditStylesTest, TypingSearchesAndEnterTakesTheItem)
{
    ScopedFakeClock clock;
    Tyq_InplaceEdit* ed = Open(3, 2);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    Type(ed, QStringLiteral("BE"));
    TPopupListbox* list = ed->PickList();
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("BETA"));
    EXPECT_EQ(ed->text(), QString()); // typing went to the list, not the edit
    // A pause of more than four seconds starts a new search.
    clock.clock.Advance(4500);
    Type(ed, QStringLiteral("t"));
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("THETA"));
    QTest::keyClick(ed, Qt::Key_Down);
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("IOTA"));
    QTest::keyClick(ed, Qt::Key_Return);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("IOTA"));
    EXPECT_TRUE(ed->isVisible()); // Enter only closed the list
    QTest::keyClick(ed, Qt::Key_Return);
    EXPECT_EQ(cells[std::make_pair(3, 2)], QStringLiteral("IOTA"));
}

TEST_F(EditStylesTest, SearchFindsCyrillicWhateverTheCase)
{
    Tyq_InplaceEdit* ed = Open(3, 2);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    Type(ed, QStringLiteral("уп"));
    EXPECT_EQ(ed->PickList()->currentItem()->text(), QStringLiteral("Упсилон"));
    QTest::keyClick(ed, Qt::Key_Backspace); // clears the search
    EXPECT_TRUE(ed->PickList()->SearchText().isEmpty());
}

TEST_F(EditStylesTest, EscClosesWithoutTakingAndAltUpTakes)
{
    Tyq_InplaceEdit* ed = Open(3, 1);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(ed, Qt::Key_Down);
    QTest::keyClick(ed, Qt::Key_Escape);
    EXPECT_FALSE(ed->PickList()->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("GAMMA"));
    EXPECT_TRUE(ed->isVisible()); // the first Esc belongs to the list, not to the edit
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(ed, Qt::Key_Down);
    QTest::keyClick(ed, Qt::Key_Up, Qt::AltModifier);
    EXPECT_FALSE(ed->PickList()->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("DELTA"));
}

TEST_F(EditStylesTest, ListOpensAboveTheEditorNearTheScreenBottom)
{
    const QRect avail = dialog->screen()->availableGeometry();
    dialog->move(dialog->x(), avail.bottom() - dialog->frameGeometry().height() + 1);
    QApplication::processEvents();
    Tyq_InplaceEdit* ed = Open(3, 3);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    TPopupListbox* list = ed->PickList();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->geometry().bottom() + 1, ed->mapToGlobal(QPoint(0, 0)).y());
}

TEST_F(EditStylesTest, ShortListHasNoScrollBarAndAnEmptyOneIsFourPixels)
{
    pickList = {QStringLiteral("Да"), QStringLiteral("Нет")};
    Tyq_InplaceEdit* ed = Open(3, 1);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(ed->PickList()->height(), ed->PickList()->ItemHeight() * 2 + 4);
    EXPECT_FALSE(ed->PickList()->verticalScrollBar()->isVisible());
    QTest::keyClick(ed, Qt::Key_Escape);
    pickList.clear();
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(ed->PickList()->height(), 4);
    QTest::keyClick(ed, Qt::Key_Return); // no item: the text stays
    EXPECT_EQ(ed->text(), QStringLiteral("GAMMA"));
}

TEST_F(EditStylesTest, ButtonPressOpensTheListAndAClickOnAnItemTakesIt)
{
    Tyq_InplaceEdit* ed = Open(3, 1);
    const QPoint button = ed->ButtonRect().center();
    QTest::mousePress(ed, Qt::LeftButton, {}, button);
    EXPECT_TRUE(ed->ButtonPressed());
    QTest::mouseRelease(ed, Qt::LeftButton, {}, button);
    EXPECT_FALSE(ed->ButtonPressed());
    TPopupListbox* list = ed->PickList();
    ASSERT_TRUE(list->isVisible());
    const QRect item = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("BETA"));
    // A press on the button of an open list closes it without taking an item.
    QTest::mouseClick(ed, Qt::LeftButton, {}, button);
    ASSERT_TRUE(list->isVisible());
    QTest::keyClick(ed, Qt::Key_Down);
    QTest::mousePress(ed, Qt::LeftButton, {}, button);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("BETA"));
}

TEST_F(EditStylesTest, DragFromTheButtonIntoTheListPicksAnItem)
{
    Tyq_InplaceEdit* ed = Open(3, 1);
    const QPoint button = ed->ButtonRect().center();
    QTest::mousePress(ed, Qt::LeftButton, {}, button);
    TPopupListbox* list = ed->PickList();
    ASSERT_TRUE(list->isVisible());
    const QRect item = list->visualItemRect(list->item(4));
    const QPoint inList = list->viewport()->mapToGlobal(item.center());
    QTest::mouseMove(ed, ed->mapFromGlobal(inList));
    EXPECT_FALSE(ed->ButtonPressed());
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("EPSILON"));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, list->viewport()->mapFromGlobal(inList));
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("EPSILON"));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(EditStylesTest, APressElsewhereClosesTheList)
{
    Tyq_InplaceEdit* ed = Open(3, 1);
    QTest::keyClick(ed, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(ed, Qt::Key_Down);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 3).center());
    EXPECT_FALSE(ed->PickList()->isVisible());
    EXPECT_EQ(cells[std::make_pair(3, 1)], QStringLiteral("GAMMA"));
}

TEST_F(EditStylesTest, CtrlEnterFiresTheEllipsisOnce)
{
    Tyq_InplaceEdit* ed = Open(2, 1);
    QTest::keyClick(ed, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(buttonClicks, 1);
    EXPECT_TRUE(ed->isVisible());
    EXPECT_EQ(ed->text(), QStringLiteral("Файл"));
    QTest::keyClick(ed, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(buttonClicks, 1);
    SaveScreenshot(dialog.get(), QStringLiteral("grid_ellipsis_editor"));
}

TEST_F(EditStylesTest, EllipsisButtonFiresOnlyWhenReleasedOnIt)
{
    Tyq_InplaceEdit* ed = Open(2, 1);
    const QPoint button = ed->ButtonRect().center();
    QTest::mousePress(ed, Qt::LeftButton, {}, button);
    EXPECT_TRUE(ed->ButtonPressed());
    QTest::mouseMove(ed, QPoint(5, button.y()));
    EXPECT_FALSE(ed->ButtonPressed());
    QTest::mouseRelease(ed, Qt::LeftButton, {}, QPoint(5, button.y()));
    EXPECT_EQ(buttonClicks, 0);
    QTest::mousePress(ed, Qt::LeftButton, {}, button);
    QTest::mouseMove(ed, QPoint(5, button.y()));
    QTest::mouseMove(ed, button);
    QTest::mouseRelease(ed, Qt::LeftButton, {}, button);
    EXPECT_EQ(buttonClicks, 1);
    // A double click on the button is one click, not two.
    DoubleClick(ed, button);
    EXPECT_EQ(buttonClicks, 2);
}

TEST_F(EditStylesTest, EllipsisDotsFollowTheButtonWidth)
{
    Tyq_InplaceEdit* ed = Open(2, 1);
    const QImage img = ed->grab().toImage();
    const QRect b = ed->ButtonRect();
    const int w = b.width();
    const int gap = std::clamp((w - 12) / 2, 1, 3);
    const int y = (ed->height() - 2) / 2;
    int x = b.left() + (w - 6 - 2 * gap) / 2;
    for (int i = 0; i < 3; ++i, x += 2 + gap) {
        EXPECT_EQ(img.pixel(x, y), qRgb(0, 0, 0)) << i;
        EXPECT_EQ(img.pixel(x + 1, y + 1), qRgb(0, 0, 0)) << i;
    }
    EXPECT_NE(img.pixel(x - gap, y), qRgb(0, 0, 0)); // nothing after the third dot
}

} // namespace
