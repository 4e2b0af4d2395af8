// The draw grid as a clerk uses it: moving, editing in place, cancelling,
// fixed cells as buttons, sizing and scrolling.

#include "foundation/ui/grids/YQRGrids.h"
#include "UiTestHelpers.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <map>
#include <memory>

namespace {

// A dialog with a grid over a small table of texts and an edit below it.
class GridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<QDialog>();
        dialog->setObjectName(QStringLiteral("GridDialog"));
        auto* layout = new QVBoxLayout(dialog.get());
        grid = new Tyq_DrawGrid(dialog.get());
        grid->setObjectName(QStringLiteral("dgTable"));
        other = new QLineEdit(dialog.get());
        other->setObjectName(QStringLiteral("edOther"));
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->SetColCount(4);
        grid->SetRowCount(6);
        grid->SetDefaultColWidth(84);
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 6; ++r)
                cells[{c, r}] = r == 0 ? QStringLiteral("Колонка %1").arg(c) : QStringLiteral("%1:%2").arg(c).arg(r);
        grid->OnGetEditText = [this](QObject*, int c, int r, QString& v) { v = cells[{c, r}]; };
        grid->OnSetEditText = [this](QObject*, int c, int r, const QString& v) {
            cells[{c, r}] = v;
            ++stored;
        };
        grid->OnDrawCell = [this](QObject*, int c, int r, const QRect& rect, TGridDrawState) {
            DrawCellText(grid->Canvas(), rect, cells[{c, r}], 2, false, 1, r == 0 ? 2 : 0);
        };
        dialog->resize(440, 200);
        ASSERT_TRUE(ShowActive(dialog.get()));
        grid->setFocus();
        QApplication::processEvents(); // the scroll bars settle
    }

    void EnableEditing(bool alwaysShow = false)
    {
        TGridOptions o = grid->Options().With(goEditing);
        if (alwaysShow)
            o.Include(goAlwaysShowEditor);
        grid->SetOptions(o);
    }

    QPoint CellCenter(int c, int r) const { return grid->CellRect(c, r).center(); }

    void Click(int c, int r) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(c, r)); }

    QString Cell(int c, int r) { return cells[{c, r}]; }

    bool EditorShown() const { return grid->InplaceEditor() && grid->InplaceEditor()->isVisible(); }

    std::unique_ptr<QDialog> dialog;
    Tyq_DrawGrid* grid = nullptr;
    QLineEdit* other = nullptr;
    std::map<std::pair<int, int>, QString> cells;
    int stored = 0;
};

TEST_F(GridTest, DefaultsKeepTheOldOptionValue)
{
    EXPECT_EQ(grid->Options().Bits(), 175u);
    for (TGridOption o : {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goDrawFocusSelected, goColSizing})
        EXPECT_TRUE(grid->Options().Contains(o)) << o;
    for (TGridOption o : {goRangeSelect, goRowSizing, goEditing, goTabs, goRowSelect, goAlwaysShowEditor})
        EXPECT_FALSE(grid->Options().Contains(o)) << o;
    EXPECT_EQ(grid->DefaultRowHeight(), 18);
    EXPECT_EQ(grid->Col(), 1);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(grid->PressedCell(), (TGridCoord{-1, -1}));
}

TEST_F(GridTest, TypingOpensTheEditorAndEnterStoresTheText)
{
    EnableEditing();
    Click(2, 2);
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 2);
    Type(QStringLiteral("Кот"));
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("Кот")); // the first key replaced the old text
    EXPECT_EQ(stored, 0);
    SaveScreenshot(dialog.get(), QStringLiteral("grid_plain_editor"));
    Press(Qt::Key_Return);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(Cell(2, 2), QStringLiteral("Кот"));
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(QApplication::focusWidget(), grid);
    // Enter again opens the editor on the stored text, all of it selected.
    Press(Qt::Key_Return);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->selectedText(), QStringLiteral("Кот"));
}

TEST_F(GridTest, LoadingACellFiresNoEditChangeButTypingDoes)
{
    int changes = 0;
    grid->OnEditChange = [&](QObject* sender) {
        EXPECT_EQ(sender, grid);
        ++changes;
    };
    EnableEditing();
    Press(Qt::Key_F2);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("1:1"));
    EXPECT_EQ(changes, 0);
    Type(QStringLiteral("x"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("1:1x")); // F2 leaves the caret at the end
    EXPECT_EQ(stored, 0); // stored only when the editor goes
}

TEST_F(GridTest, AlwaysShownEditorStoresWhenTheCellIsLeftWithoutEditChange)
{
    int changes = 0;
    grid->OnEditChange = [&](QObject*) { ++changes; };
    EnableEditing(true);
    other->setFocus();
    grid->setFocus();
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(QApplication::focusWidget(), grid->InplaceEditor());
    Type(QStringLiteral("ab"));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(stored, 0) << "a half-typed value is never stored";
    // Arrows at the edge of the text move the cell; the editor follows.
    Press(Qt::Key_Right);
    EXPECT_EQ(Cell(1, 1), QStringLiteral("ab"));
    EXPECT_EQ(grid->Col(), 2);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("2:1"));
    SaveScreenshot(dialog.get(), QStringLiteral("grid_always_show_editor"));
    // Leaving the grid stores what was typed; the editor stays on its cell.
    Type(QStringLiteral("c"));
    other->setFocus();
    EXPECT_EQ(Cell(2, 1), QStringLiteral("c"));
    EXPECT_TRUE(EditorShown());
}

TEST_F(GridTest, EscCancelsWithoutStoringAndASecondEscReachesTheDialog)
{
    int cancels = 0;
    grid->OnCancelEdit = [&](QObject*) { ++cancels; };
    EnableEditing();
    Click(3, 4);
    Type(QStringLiteral("zz"));
    ASSERT_TRUE(EditorShown());
    Press(Qt::Key_Escape);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(Cell(3, 4), QStringLiteral("3:4"));
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_TRUE(dialog->isVisible());
    Press(Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(GridTest, SwitchingBetweenBrowsingAndEditingAsTheCalendarBookDoes)
{
    const TGridOptions browse = grid->Options().With(goRowSelect);
    const TGridOptions edit = grid->Options().With(goEditing).With(goAlwaysShowEditor);
    grid->SetOptions(browse);
    Press(Qt::Key_Down);
    Type(QStringLiteral("x"));
    EXPECT_FALSE(EditorShown());
    grid->SetOptions(edit);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->geometry(), grid->CellRect(1, 2));
    EXPECT_EQ(QApplication::focusWidget(), grid->InplaceEditor());
    Type(QStringLiteral("8,5"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("1:2"));
    grid->SetOptions(browse);
    EXPECT_FALSE(EditorShown());
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(Cell(1, 2), QStringLiteral("8,5"));
}

TEST_F(GridTest, EscPutsATypedCellBackBeforeTheWindowSeesIt)
{
    // The grid in a window that takes Esc itself (leaving edit mode, closing).
    EscPreviewForm form(grid);
    ASSERT_TRUE(ShowActive(&form));
    for (const bool alwaysShown : {false, true}) {
        SCOPED_TRACE(alwaysShown ? "editor always shown" : "editor opened by typing");
        grid->SetOptions(grid->Options().Without(goEditing).Without(goAlwaysShowEditor));
        EnableEditing(alwaysShown);
        grid->setFocus();
        Click(2, 3);
        stored = 0;
        form.escapes = 0;
        if (alwaysShown)
            Press(Qt::Key_A, Qt::ControlModifier);
        Type(QStringLiteral("77"));
        ASSERT_TRUE(EditorShown());
        Press(Qt::Key_Escape);
        EXPECT_EQ(form.escapes, 0) << "the window never saw the Esc";
        EXPECT_EQ(stored, 0);
        EXPECT_EQ(Cell(2, 3), QStringLiteral("2:3"));
        EXPECT_EQ(EditorShown(), alwaysShown);
        if (alwaysShown) {
            EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("2:3"));
        }
        // Nothing typed: Esc is the window's again.
        Press(Qt::Key_Escape);
        EXPECT_EQ(form.escapes, 1);
        EXPECT_EQ(Cell(2, 3), QStringLiteral("2:3"));
    }
}

TEST_F(GridTest, KeysMoveTheCurrentCellAndStoreTheEditor)
{
    EnableEditing();
    Press(Qt::Key_F2);
    Type(QStringLiteral("7"));
    Press(Qt::Key_Down);
    EXPECT_EQ(grid->Row(), 2);
    EXPECT_EQ(Cell(1, 1), QStringLiteral("1:17"));
    EXPECT_FALSE(EditorShown());
    struct Step {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int col, row;
    } steps[] = {
        {"Right", Qt::Key_Right, Qt::NoModifier, 2, 2},
        {"End", Qt::Key_End, Qt::NoModifier, 3, 2},
        {"Home", Qt::Key_Home, Qt::NoModifier, 1, 2},
        {"Left at the fixed column", Qt::Key_Left, Qt::NoModifier, 1, 2},
        {"Up", Qt::Key_Up, Qt::NoModifier, 1, 1},
        {"Up at the fixed row", Qt::Key_Up, Qt::NoModifier, 1, 1},
        {"Ctrl+End", Qt::Key_End, Qt::ControlModifier, 3, 5},
        {"Down at the last row", Qt::Key_Down, Qt::NoModifier, 3, 5},
        {"Ctrl+Home", Qt::Key_Home, Qt::ControlModifier, 1, 1},
    };
    for (const Step& s : steps) {
        Press(s.key, s.mods);
        EXPECT_EQ(grid->Col(), s.col) << s.name;
        EXPECT_EQ(grid->Row(), s.row) << s.name;
    }
}

TEST_F(GridTest, SelectCellCanRefuseAMove)
{
    grid->OnSelectCell = [](QObject*, int c, int, bool& can) { can = c != 2; };
    int clicks = 0;
    grid->OnClick = [&](QObject*) { ++clicks; };
    Press(Qt::Key_Right);
    EXPECT_EQ(grid->Col(), 1);
    Click(3, 3);
    EXPECT_EQ(grid->Col(), 3);
    EXPECT_EQ(grid->Row(), 3);
    EXPECT_GE(clicks, 1);
}

TEST_F(GridTest, TabLeavesTheGridUnlessTabsAreOn)
{
    EnableEditing();
    Press(Qt::Key_F2);
    Type(QStringLiteral("!"));
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_EQ(Cell(1, 1), QStringLiteral("1:1!")); // kept when the focus left
    EXPECT_FALSE(EditorShown());

    grid->SetOptions(grid->Options().With(goTabs));
    grid->setFocus();
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->Col(), 2);
    Press(Qt::Key_Tab);
    Press(Qt::Key_Tab); // past the last column: the next row
    EXPECT_EQ(grid->Col(), 1);
    EXPECT_EQ(grid->Row(), 2);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->Col(), 3);
    EXPECT_EQ(grid->Row(), 1);
}

TEST_F(GridTest, FocusEventsCountTheGridWithItsEditorAsOne)
{
    int focusChanges = 0;
    grid->OnChangeFocus = [&](QObject*) { ++focusChanges; };
    EnableEditing();
    other->setFocus();
    EXPECT_EQ(focusChanges, 1);
    grid->setFocus();
    EXPECT_EQ(focusChanges, 2);
    Press(Qt::Key_F2); // the focus moves into the editor: no change of the grid's focus
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(QApplication::focusWidget(), grid->InplaceEditor());
    EXPECT_EQ(focusChanges, 2);
    Type(QStringLiteral("k"));
    other->setFocus();
    EXPECT_EQ(focusChanges, 3);
    EXPECT_EQ(Cell(1, 1), QStringLiteral("1:1k"));
}

TEST_F(GridTest, ShowEditorRefusalKeepsTheCellClosed)
{
    grid->OnShowEditor = [](QObject*, int c, int, bool& allow) { allow = c != 2; };
    EnableEditing();
    Click(2, 3);
    Type(QStringLiteral("a"));
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(Cell(2, 3), QStringLiteral("2:3"));
    Click(3, 3);
    Type(QStringLiteral("b"));
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("b"));
}

TEST_F(GridTest, RefusedKeysAreDroppedAndChangedKeysTaken)
{
    BeepCounter beeps;
    // The handler gets a copy of the key: only its answer counts.
    grid->OnAcceptEditKey = [](QObject*, QChar key) { return !key.isDigit(); };
    grid->OnKeyPress = [](QObject*, QChar& key) {
        if (key == QLatin1Char('.'))
            key = QLatin1Char(',');
    };
    EnableEditing();
    Press(Qt::Key_F2);
    grid->InplaceEditor()->clear();
    Type(QStringLiteral("a1.b"));
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("a,b"));
    EXPECT_EQ(beeps.count, 1);
    // Characters CP1251 cannot hold are refused as well.
    Type(QStringLiteral("Ωд"));
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("a,bд"));
    EXPECT_EQ(beeps.count, 2);
}

TEST_F(GridTest, EditLimitCutsTheTextAndANegativeLimitLocksTheCell)
{
    int limit = 3;
    grid->OnGetEditLimit = [&](QObject*, int& max) { max = limit; };
    EnableEditing();
    Click(2, 2);
    Type(QStringLiteral("abcdef"));
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("abc"));
    Press(Qt::Key_Return);
    EXPECT_EQ(Cell(2, 2), QStringLiteral("abc"));

    limit = 0; // no limit
    Click(3, 2);
    Press(Qt::Key_F2);
    EXPECT_EQ(grid->InplaceEditor()->maxLength(), 32767);

    limit = -1;
    Click(1, 3);
    Press(Qt::Key_F2);
    ASSERT_TRUE(EditorShown());
    EXPECT_TRUE(grid->InplaceEditor()->isReadOnly());
    Type(QStringLiteral("zz"));
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("1:3"));
}

TEST_F(GridTest, ARefusedTextIsShownAndKeepsTheClerkInTheCell)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Неверное значение: abc")).Times(2);
    grid->OnSetEditText = [this](QObject*, int c, int r, const QString& v) {
        if (v == QLatin1String("abc"))
            throw EConvertError(QStringLiteral("Неверное значение: ") + v);
        cells[{c, r}] = v;
    };
    EnableEditing();
    Press(Qt::Key_F2);
    grid->InplaceEditor()->selectAll();
    Type(QStringLiteral("abc"));
    Press(Qt::Key_Down);
    EXPECT_EQ(grid->Row(), 1);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("abc"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(3, 3));
    EXPECT_EQ(grid->Col(), 1);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(QApplication::focusWidget(), grid->InplaceEditor());
    EXPECT_EQ(grid->InplaceEditor()->selectedText(), QStringLiteral("abc"));
    Type(QStringLiteral("abd"));
    Press(Qt::Key_Down);
    EXPECT_EQ(grid->Row(), 2);
    EXPECT_EQ(Cell(1, 1), QStringLiteral("abd"));
}

TEST_F(GridTest, ClickOnTheCurrentCellOpensTheEditor)
{
    EnableEditing();
    Click(2, 4);
    EXPECT_FALSE(EditorShown());
    Click(2, 4);
    ASSERT_TRUE(EditorShown());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("2:4"));
    EXPECT_EQ(grid->InplaceEditor()->geometry(), grid->CellRect(2, 4));
    // A click elsewhere stores and closes it.
    grid->InplaceEditor()->setText(QStringLiteral("new"));
    Click(1, 1);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(Cell(2, 4), QStringLiteral("new"));
}

TEST_F(GridTest, DoubleClickOnACellFiresDblClick)
{
    int dbl = 0;
    grid->OnDblClick = [&](QObject*) { ++dbl; };
    DoubleClick(grid->viewport(), CellCenter(2, 3));
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 3);
}

class FixedButtonsTest : public GridTest {
protected:
    void SetUp() override
    {
        GridTest::SetUp();
        grid->SetFixedButtons(true);
        grid->OnFixedCellClick = [this](QObject*, int c, int r) { clicks.push_back({c, r}); };
    }
    std::vector<TGridCoord> clicks;
};

TEST_F(FixedButtonsTest, PressDragOffAndBackClicksOnce)
{
    const QPoint p = CellCenter(2, 0);
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(grid->PressedCell(), (TGridCoord{2, 0}));
    EXPECT_TRUE(grid->PressedDrawn());
    SaveScreenshot(dialog.get(), QStringLiteral("grid_fixed_button_pressed"));
    // The pressed cell is drawn sunken: its top edge in the dark colour.
    const QImage img = grid->viewport()->grab().toImage();
    const QRect r = grid->CellRect(2, 0);
    EXPECT_EQ(img.pixel(r.center().x(), r.top()), Rgb(grid->palette().color(QPalette::Dark)));
    QTest::mouseMove(grid->viewport(), CellCenter(2, 3));
    EXPECT_FALSE(grid->PressedDrawn());
    QTest::mouseMove(grid->viewport(), p + QPoint(3, 0));
    EXPECT_TRUE(grid->PressedDrawn());
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, p + QPoint(3, 0));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], (TGridCoord{2, 0}));
    EXPECT_FALSE(grid->PressedDrawn());
    const QImage after = grid->viewport()->grab().toImage();
    EXPECT_EQ(after.pixel(r.center().x(), r.top()), Rgb(grid->palette().color(QPalette::Light)));
}

TEST_F(FixedButtonsTest, ReleaseOnAnotherCellClicksNothing)
{
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, CellCenter(1, 0));
    QTest::mouseMove(grid->viewport(), CellCenter(2, 0));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, CellCenter(2, 0));
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(grid->PressedCell(), (TGridCoord{-1, -1}));
}

TEST_F(FixedButtonsTest, RefusedButtonBeepsAndOrdinaryCellsAreNoButtons)
{
    BeepCounter beeps;
    grid->OnCheckButton = [](QObject*, int c, int r, bool& enabled) {
        EXPECT_TRUE(enabled); // starts enabled
        EXPECT_TRUE(c < 1 || r < 1); // only fixed cells are asked about
        enabled = c != 3;
    };
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(3, 0));
    EXPECT_EQ(beeps.count, 1);
    EXPECT_TRUE(clicks.empty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(2, 2));
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(beeps.count, 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(0, 4)); // the row header
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], (TGridCoord{0, 4}));
}

TEST_F(FixedButtonsTest, TwoQuickClicksAreTwoClicks)
{
    int dbl = 0;
    grid->OnDblClick = [&](QObject*) { ++dbl; };
    DoubleClick(grid->viewport(), CellCenter(1, 0));
    EXPECT_EQ(clicks.size(), 2u);
    EXPECT_EQ(dbl, 0);
}

TEST_F(GridTest, DraggingAColumnBorderSizesTheColumn)
{
    int sized = 0;
    grid->OnColumnSized = [&](QObject*) { ++sized; };
    const QRect r = grid->CellRect(1, 0);
    const QPoint border(r.right() + 1, r.center().y());
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, border);
    QTest::mouseMove(grid->viewport(), border + QPoint(30, 0));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, border + QPoint(30, 0));
    EXPECT_EQ(sized, 1);
    EXPECT_EQ(grid->ColWidths(1), 84 + 30);
    // Code that sets a width is told as well; an unchanged width is no change.
    grid->SetColWidths(2, 80);
    grid->SetColWidths(2, 80);
    EXPECT_EQ(sized, 2);
}

TEST_F(GridTest, ScrollingKeepsTheCurrentCellInView)
{
    int topLeft = 0;
    grid->OnTopLeftChanged = [&](QObject*) { ++topLeft; };
    grid->SetRowCount(60);
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid->Row(), 59);
    EXPECT_GT(grid->TopRow(), 1);
    EXPECT_GE(topLeft, 1);
    const QRect r = grid->CellRect(grid->Col(), 59);
    ASSERT_FALSE(r.isEmpty());
    EXPECT_LE(r.bottom(), grid->viewport()->height());
    EXPECT_EQ(grid->verticalScrollBar()->value(), grid->TopRow() - 1);
    Press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid->TopRow(), 1);
}

TEST_F(GridTest, FewerRowsThanFixedRowsLowerTheFixedRows)
{
    grid->SetRowCount(1);
    EXPECT_EQ(grid->FixedRows(), 0);
    EXPECT_EQ(grid->Row(), 0);
    grid->SetRowCount(3);
    EXPECT_EQ(grid->FixedRows(), 0);
    grid->SetFixedRows(1);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_THROW(grid->SetFixedRows(3), EInvalidOperation);
    EXPECT_THROW(grid->SetRow(7), EInvalidOperation);
}

TEST_F(GridTest, EnterOnAGridThatCannotEditGoesToTheDefaultButton)
{
    auto* ok = new QPushButton(QStringLiteral("Ok"), dialog.get());
    ok->setObjectName(QStringLiteral("btOk"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
    dialog->layout()->addWidget(ok);
    ok->show();
    grid->SetOptions(grid->Options().With(goRowSelect));
    grid->setFocus();
    Press(Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(GridTest, RowSelectHighlightsTheWholeRowWithoutFocusFrame)
{
    grid->SetOptions(grid->Options().With(goRowSelect));
    Press(Qt::Key_Down);
    EXPECT_EQ(grid->Selection(), (TGridRect{1, 2, 3, 2}));
    const QImage img = grid->viewport()->grab().toImage();
    const QColor hl = grid->palette().color(QPalette::Highlight);
    for (int c = 1; c < 4; ++c) {
        const QRect r = grid->CellRect(c, 2);
        EXPECT_EQ(img.pixel(r.right() - 1, r.bottom() - 1), Rgb(hl)) << c;
    }
    SaveScreenshot(dialog.get(), QStringLiteral("grid_row_select"));
}

// ------------------------------------------------------------ drawing aids

struct TextBox {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
};

TextBox InkBox(const QImage& img)
{
    TextBox b;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (IsDark(img.pixel(x, y))) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

QImage Draw(const QString& text, int margin, bool wrap, int valign, int halign, QSize size = QSize(120, 40))
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::red); // DrawCellText must cover it with the brush
    QPainter p(&img);
    p.setBrush(Qt::white);
    p.setPen(Qt::black);
    DrawCellText(&p, img.rect(), text, margin, wrap, valign, halign);
    return img;
}

TEST(DrawCellText, FillsTheRectAndAlignsByTheOldNumbering)
{
    const QImage left = Draw(QStringLiteral("Итог"), 6, false, 0, 0);
    EXPECT_EQ(left.pixel(119, 39), Rgb(Qt::white));
    const TextBox l = InkBox(left);
    EXPECT_GE(l.left, 6);
    EXPECT_LE(l.left, 9);
    EXPECT_GE(l.top, 6);

    const TextBox r = InkBox(Draw(QStringLiteral("Итог"), 6, false, 0, 1)); // 1 = right
    EXPECT_LE(r.right, 119 - 6);
    EXPECT_GE(r.right, 119 - 6 - 3);

    const TextBox c = InkBox(Draw(QStringLiteral("Итог"), 6, false, 1, 2)); // centre, centre
    EXPECT_NEAR((c.left + c.right) / 2.0, 60, 3);
    EXPECT_NEAR((c.top + c.bottom) / 2.0, 20, 4);

    const TextBox b = InkBox(Draw(QStringLiteral("Итог"), 5, false, 2, 0)); // bottom
    EXPECT_LE(b.bottom, 39 - 5);
    EXPECT_GE(b.bottom, 39 - 5 - 6);
}

TEST(DrawCellText, WordWrapBreaksAtWords)
{
    const TextBox one = InkBox(Draw(QStringLiteral("Длительность раб. дня"), 2, false, 0, 0, QSize(70, 60)));
    const TextBox wrapped = InkBox(Draw(QStringLiteral("Длительность раб. дня"), 2, true, 0, 0, QSize(70, 60)));
    EXPECT_GT(wrapped.bottom - wrapped.top, (one.bottom - one.top) * 2);
}

TEST(RemovePendingMessage, DropsPendingEventsAndKeepsAQuitRequest)
{
    struct Counter : QObject {
        int custom = 0, quit = 0;
        bool event(QEvent* e) override
        {
            if (e->type() == QEvent::User)
                ++custom;
            if (e->type() == QEvent::Quit)
                ++quit;
            return true;
        }
    } receiver;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::Quit));
    RemovePendingMessage(&receiver, QEvent::User);
    RemovePendingMessage(&receiver, QEvent::Quit);
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.custom, 0);
    EXPECT_EQ(receiver.quit, 1);
}

} // namespace
