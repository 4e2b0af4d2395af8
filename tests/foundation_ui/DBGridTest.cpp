// The data-aware grid as a clerk uses it on the program's own tables: new
// rows typed in and posted by leaving them, Esc, the Boolean "Да"/"Нет"
// column, a refused key, the grid following its cursor and a master.

#include "foundation/ui/grids/DBGrid.h"
#include "UiTestHelpers.h"
#include "data/TableCatalogue.h"
#include "db/DbTestSupport.h"
#include "db/Session.h"
#include "db/Sqlite.h"
#include "db/Transaction.h"
#include "foundation/ui/base/FormFuncs.h"
#include "platform/SysUtils.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <map>
#include <memory>

namespace {

void CreateCatalogueTable(const char* name)
{
    const int number = TableStructures().NumberOf(QString::fromLatin1(name));
    ASSERT_GE(number, 0) << name;
    TableStructures()[number].CreateTable();
}

// NUM -> NAIM of a table, read through a cursor of its own.
std::map<int, QString> ReadNames(const char* table)
{
    std::map<int, QString> out;
    Cursor c(QString::fromLatin1(table));
    c.Open();
    for (c.First(); !c.Eof(); c.Next())
        out[c[QStringLiteral("NUM")].AsInteger()] = c[QStringLiteral("NAIM")].AsString();
    return out;
}

// grab() takes one window: the drop-down list is painted over the dialog.
void SaveWithPopup(QWidget* window, QWidget* popup, const QString& name)
{
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    painter.drawPixmap(popup->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0)), popup->grab());
    painter.end();
    EXPECT_TRUE(shot.save(TestArtifactsDir() + QStringLiteral("/") + name + QStringLiteral(".png")));
}

// A window with a data grid (and an edit to move the focus to) over a table
// of a temporary data folder.
class DBGridTest : public DataFolderTest {
protected:
    void TearDown() override
    {
        dialog.reset();
        cursors.clear();
        DataFolderTest::TearDown();
    }

    void FillPosts(int count)
    {
        CreateCatalogueTable("POST");
        Cursor c(QStringLiteral("POST"));
        c.Open();
        for (int num = 1; num <= count; ++num) {
            c.Append();
            c[QStringLiteral("NUM")].SetInteger(num);
            c[QStringLiteral("NAIM")].SetString(QStringLiteral("Должность %1").arg(num, 2, 10, QLatin1Char('0')));
            c.Post();
        }
    }

    Cursor* OpenCursor(const char* table, const char* index = "")
    {
        cursors.push_back(std::make_unique<Cursor>(QString::fromLatin1(table)));
        Cursor* c = cursors.back().get();
        c->SetIndexName(QString::fromLatin1(index));
        c->Open();
        return c;
    }

    // The dialog with one grid over the cursor; columns are set by the caller.
    TDBGrid* MakeGrid(Cursor* cursor, const char* name = "dgPost")
    {
        if (!dialog) {
            dialog = std::make_unique<QDialog>();
            dialog->setObjectName(QStringLiteral("GridDialog"));
            layout = new QVBoxLayout(dialog.get());
            other = new QLineEdit(dialog.get());
            other->setObjectName(QStringLiteral("edOther"));
            layout->addWidget(other);
        }
        auto* g = new TDBGrid(dialog.get(), QString::fromLatin1(name));
        layout->insertWidget(layout->count() - 1, g);
        g->SetDataSet(cursor);
        return g;
    }

    void Show(int width = 420, int height = 220)
    {
        dialog->resize(width, height);
        ASSERT_TRUE(ShowActive(dialog.get()));
        QApplication::processEvents();
    }

    TDBGrid* PostGrid(int rows = 3)
    {
        FillPosts(rows);
        post = OpenCursor("POST");
        grid = MakeGrid(post);
        grid->Columns().Add(QStringLiteral("NUM"), QStringLiteral("Номер"), 60);
        grid->Columns().Add(QStringLiteral("NAIM"), QStringLiteral("Наименование"), 220);
        Show();
        grid->setFocus();
        return grid;
    }

    QString Cell(int row, int column) const { return grid->Model()->CellText(row, column); }
    QString Indicator(int row) const
    {
        return grid->Model()->headerData(row, Qt::Vertical, Qt::DisplayRole).toString();
    }
    QPoint CellCenter(int row, int column) const
    {
        return grid->visualRect(grid->Model()->index(row, column)).center();
    }
    void ClickCell(int row, int column)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCenter(row, column));
    }

    std::unique_ptr<QDialog> dialog;
    QVBoxLayout* layout = nullptr;
    QLineEdit* other = nullptr;
    std::vector<std::unique_ptr<Cursor>> cursors;
    Cursor* post = nullptr;
    TDBGrid* grid = nullptr;
};

} // namespace

TEST_F(DBGridTest, ShowsTheRowsAndTheViewAndTheCursorFollowEachOther)
{
    ScriptedMessages msgs;
    PostGrid(3);
    EXPECT_EQ(grid->objectName(), QStringLiteral("dgPost"));
    ASSERT_EQ(grid->Model()->rowCount(), 3);
    ASSERT_EQ(grid->Model()->columnCount(), 2);
    EXPECT_EQ(grid->Model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Наименование"));
    EXPECT_EQ(Cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("Должность 03"));
    EXPECT_EQ(grid->Model()->data(grid->Model()->index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
        int(Qt::AlignRight))
        << "numbers are right-aligned";
    EXPECT_EQ(Indicator(0), QStringLiteral("►"));
    EXPECT_EQ(grid->currentIndex().row(), 0);
    SaveScreenshot(dialog.get(), QStringLiteral("dbgrid_posts"));

    post->Last();
    EXPECT_EQ(grid->currentIndex().row(), 2) << "the view follows the cursor";
    EXPECT_EQ(Indicator(2), QStringLiteral("►"));
    EXPECT_EQ(Indicator(0), QString());

    ClickCell(1, 1);
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 2) << "the cursor follows the view";
    Press(Qt::Key_Up);
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 1);
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 3);
    EXPECT_EQ(grid->currentIndex().row(), 2);
}

TEST_F(DBGridTest, ANameTypedInANewRowIsPostedWhenTheClerkLeavesTheRow)
{
    ScriptedMessages msgs;
    PostGrid(3);
    post->Last();
    Press(Qt::Key_Down); // below the last row: a new row
    ASSERT_EQ(post->State(), CursorState::Insert);
    ASSERT_EQ(grid->Model()->rowCount(), 4);
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(Indicator(3), QStringLiteral("*"));

    Type(QStringLiteral("7"));
    ASSERT_TRUE(grid->EditorMode()) << "a typed character opens the editor";
    Press(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), 1);
    Type(QStringLiteral("Экономист"));
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("Экономист"));
    SaveScreenshot(dialog.get(), QStringLiteral("dbgrid_new_row"));
    EXPECT_TRUE(ReadNames("POST").count(7) == 0) << "nothing is written before the row is left";

    Press(Qt::Key_Up);
    EXPECT_EQ(post->State(), CursorState::Browse);
    const auto names = ReadNames("POST");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names.at(7), QStringLiteral("Экономист"));
    EXPECT_EQ(grid->Model()->rowCount(), 4);
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 3) << "the clerk went up to the row above";
    EXPECT_EQ(Cell(3, 1), QStringLiteral("Экономист"));
    EXPECT_EQ(grid->horizontalHeader()->sectionSize(1), 220) << "the rows read again keep the column widths";
    EXPECT_EQ(grid->currentIndex().column(), 1) << "and the column";
    EXPECT_EQ(msgs.Log().size(), 0);
}

TEST_F(DBGridTest, InsertPutsTheNewRowBeforeTheCurrentOneAndItSortsIntoPlaceWhenPosted)
{
    ScriptedMessages msgs;
    PostGrid(3);
    ClickCell(1, 0);
    Press(Qt::Key_Insert);
    ASSERT_EQ(post->State(), CursorState::Insert);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("2")) << "the current row moved down";
    Type(QStringLiteral("10"));
    Press(Qt::Key_Tab);
    Type(QStringLiteral("Кассир"));
    Press(Qt::Key_Down); // leaves the row: posted, then the row below
    EXPECT_EQ(ReadNames("POST").at(10), QStringLiteral("Кассир"));
    EXPECT_EQ(Cell(3, 0), QStringLiteral("10")) << "the new row takes its place in the index order";
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 2) << "the row that was below the new one";
    EXPECT_EQ(grid->currentIndex().row(), 1);
}

TEST_F(DBGridTest, EscFirstDiscardsTheTypedTextThenTheNewRow)
{
    ScriptedMessages msgs;
    PostGrid(3);
    Press(Qt::Key_Insert);
    Type(QStringLiteral("9"));
    Press(Qt::Key_Escape);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(post->State(), CursorState::Insert) << "the first Esc takes back the typing only";
    EXPECT_EQ(Cell(0, 0), QString());
    Press(Qt::Key_Escape);
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(grid->Model()->rowCount(), 3);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("1"));

    // Text stored with Enter is discarded with the row by one Esc.
    ClickCell(2, 1);
    Type(QStringLiteral("Директор"));
    Press(Qt::Key_Return);
    EXPECT_EQ(post->State(), CursorState::Edit);
    EXPECT_EQ(Indicator(2), QStringLiteral("I"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("Директор"));
    Press(Qt::Key_Escape);
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(Cell(2, 1), QStringLiteral("Должность 03"));
    EXPECT_EQ(ReadNames("POST").at(3), QStringLiteral("Должность 03"));

    // With no row in edit state Esc goes on to the window.
    ClickCell(0, 0);
    Press(Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(DBGridTest, TypedTextTakesEscBeforeTheWindow)
{
    ScriptedMessages msgs;
    PostGrid(3);
    // The grid in a window that takes Esc itself (leaving edit mode, closing).
    EscPreviewForm form(grid);
    ASSERT_TRUE(ShowActive(&form));
    grid->setFocus();
    ClickCell(1, 1);
    Type(QStringLiteral("Дир"));
    ASSERT_TRUE(grid->EditorMode());
    Press(Qt::Key_Escape);
    EXPECT_EQ(form.escapes, 0) << "the window never saw the Esc";
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(Cell(1, 1), QStringLiteral("Должность 02"));
    // Nothing typed: Esc is the window's again.
    Press(Qt::Key_F2);
    ASSERT_TRUE(grid->EditorMode());
    Press(Qt::Key_Escape);
    EXPECT_EQ(form.escapes, 1);
    EXPECT_EQ(ReadNames("POST").at(2), QStringLiteral("Должность 02"));
}

TEST_F(DBGridTest, AnUntouchedNewRowIsDroppedAndNeverFollowedByAnother)
{
    ScriptedMessages msgs;
    PostGrid(2);
    post->Last();
    Press(Qt::Key_Down);
    ASSERT_EQ(post->State(), CursorState::Insert);
    Press(Qt::Key_Down);
    EXPECT_EQ(grid->Model()->rowCount(), 3) << "Down on an untouched new row adds no second one";
    Press(Qt::Key_Up);
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(grid->Model()->rowCount(), 2);
    EXPECT_EQ(ReadNames("POST").size(), 2u);

    // Leaving the grid drops it too.
    Press(Qt::Key_Insert);
    ASSERT_EQ(post->State(), CursorState::Insert);
    other->setFocus();
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(grid->Model()->rowCount(), 2);
}

TEST_F(DBGridTest, AKeyViolationIsShownAndTheRowStaysInEditUntilMended)
{
    ScriptedMessages msgs;
    PostGrid(3);
    Press(Qt::Key_Insert);
    Type(QStringLiteral("2"));
    Press(Qt::Key_Tab);
    Type(QStringLiteral("Дубль"));
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Нарушение уникальности ключа: в таблице POST уже есть запись с ключом 2"));
    Press(Qt::Key_Down);
    msgs.VerifyAndClear();
    EXPECT_EQ(post->State(), CursorState::Insert) << "the row is kept";
    EXPECT_EQ(grid->currentIndex().row(), 0) << "the clerk stays on it";
    EXPECT_EQ(Indicator(0), QStringLiteral("*"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("Дубль"));
    EXPECT_EQ(ReadNames("POST").at(2), QStringLiteral("Должность 02")) << "nothing overwritten";

    Press(Qt::Key_Left);
    Type(QStringLiteral("8"));
    ClickCell(3, 1); // another row: posted now
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(ReadNames("POST").at(8), QStringLiteral("Дубль"));
    EXPECT_EQ(msgs.Log().size(), 0);
}

TEST_F(DBGridTest, ATextTheFieldRefusesKeepsTheClerkInTheCell)
{
    ScriptedMessages msgs;
    BeepCounter beeps;
    PostGrid(3);
    ClickCell(1, 0);
    Type(QStringLiteral("1x-"));
    EXPECT_EQ(beeps.count, 1) << "a letter in a number column is refused as it is typed";
    const QString refused = QStringLiteral("Поле \"Номер, строка 2\": \"1-\" не является целым числом");
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Неверное значение")).Details(refused);
    Press(Qt::Key_Return);
    msgs.VerifyAndClear();
    ASSERT_TRUE(grid->EditorMode()) << "Enter with a refused text keeps the editor";
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("1-"));

    msgs.Expect(MsgKind::Error).Details(refused);
    Press(Qt::Key_Down);
    msgs.VerifyAndClear();
    EXPECT_EQ(grid->currentIndex().row(), 1) << "no move with a refused text";
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("1-"));
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 2);

    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(ReadNames("POST").size(), 3u);
}

TEST_F(DBGridTest, LeavingTheGridStoresTheTypedTextAndARefusedTextCallsTheClerkBack)
{
    ScriptedMessages msgs;
    PostGrid(3);
    ClickCell(1, 1);
    Type(QStringLiteral("Кладовщик"));
    other->setFocus();
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(post->State(), CursorState::Edit) << "stored in the field; the window posts when it is done";
    EXPECT_EQ((*post)[QStringLiteral("NAIM")].AsString(), QStringLiteral("Кладовщик"));

    grid->setFocus();
    Press(Qt::Key_Left);
    Type(QStringLiteral("-"));
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Номер, строка 2\": \"-\" не является целым числом"));
    other->setFocus();
    msgs.VerifyAndClear();
    QApplication::processEvents();
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(QApplication::focusWidget(), grid->InplaceEditor()) << "back in the cell";
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("-"));

    // The click on another row that takes the focus says it once.
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Номер, строка 2\": \"-\" не является целым числом"));
    ClickCell(2, 0);
    msgs.VerifyAndClear();
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 2);
    EXPECT_EQ(grid->currentIndex().row(), 1);
}

TEST_F(DBGridTest, ABooleanColumnShowsAndTogglesDaAndNet)
{
    ScriptedMessages msgs;
    CreateCatalogueTable("SP");
    {
        Cursor c(QStringLiteral("SP"));
        c.Open();
        const QStringList names{QStringLiteral("Бухгалтерия"), QStringLiteral("Цех №1"), QStringLiteral("Склад")};
        for (int i = 0; i < names.size(); ++i) {
            c.Append();
            c[QStringLiteral("NUM")].SetInteger(i + 1);
            c[QStringLiteral("NAIM")].SetString(names[i]);
            c[QStringLiteral("DELETED")].SetBoolean(i == 2);
            c.Post();
        }
    }
    Cursor* sp = OpenCursor("SP");
    grid = MakeGrid(sp, "dgPodr");
    grid->Columns().Add(QStringLiteral("NUM"), QStringLiteral("Номер"), 50);
    grid->Columns().Add(QStringLiteral("NAIM"), QStringLiteral("Подразделение"), 160);
    grid->Columns().Add(QStringLiteral("DELETED"), QStringLiteral("Удалено"), 80);
    Show(360, 200);
    grid->setFocus();
    EXPECT_EQ(grid->Columns()[2].PickList(), (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
    EXPECT_EQ(Cell(0, 2), QStringLiteral("Нет"));
    EXPECT_EQ(Cell(2, 2), QStringLiteral("Да"));

    // A double click takes the next value of the list.
    DoubleClick(grid->viewport(), CellCenter(0, 2));
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->InplaceEditor()->EditStyle(), esPickList);
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("Да"));
    EXPECT_EQ(sp->State(), CursorState::Edit);
    Press(Qt::Key_Down); // leaves the row
    Cursor check(QStringLiteral("SP"));
    check.Open();
    ASSERT_TRUE(check.FindKey({Variant(1)}));
    EXPECT_TRUE(check[QStringLiteral("DELETED")].AsBoolean());
    EXPECT_EQ(Cell(0, 2), QStringLiteral("Да"));

    // Alt+Down opens the list under the editor; Down and Enter pick "Нет".
    ClickCell(2, 2);
    grid->SetEditorMode(true);
    ASSERT_TRUE(grid->EditorMode());
    Press(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(grid->InplaceEditor()->ListVisible());
    QListWidget* list = grid->InplaceEditor()->PickList();
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("Да")) << "the value shown is preselected";
    EXPECT_GE(list->mapToGlobal(QPoint(0, 0)).y(),
        grid->InplaceEditor()->mapToGlobal(QPoint(0, grid->InplaceEditor()->height())).y() - 1);
    Press(Qt::Key_Down);
    SaveWithPopup(dialog.get(), list, QStringLiteral("dbgrid_boolean_picklist"));
    Press(Qt::Key_Return);
    EXPECT_FALSE(grid->InplaceEditor()->ListVisible());
    EXPECT_EQ(grid->InplaceEditor()->text(), QStringLiteral("Нет"));
    // The offscreen platform activates every window it shows, the list too.
    ASSERT_TRUE(ShowActive(dialog.get()));
    ASSERT_EQ(QApplication::focusWidget(), grid->InplaceEditor());
    Press(Qt::Key_Return);
    EXPECT_EQ(Cell(2, 2), QStringLiteral("Нет"));
    EXPECT_EQ(sp->State(), CursorState::Edit);

    // Typed texts are taken by their beginning, in either case.
    ClickCell(1, 2);
    check.Refresh();
    ASSERT_TRUE(check.FindKey({Variant(3)}));
    EXPECT_FALSE(check[QStringLiteral("DELETED")].AsBoolean()) << "posted when the clerk went to row 2";
    Type(QStringLiteral("д"));
    Press(Qt::Key_Return);
    EXPECT_EQ(Cell(1, 2), QStringLiteral("Да"));
    Type(QStringLiteral("q"));
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Поле \"Удалено, строка 2\": \"q\" - ожидается \"Да\" или \"Нет\""));
    Press(Qt::Key_Return);
    msgs.VerifyAndClear();
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    EXPECT_EQ(Cell(1, 2), QStringLiteral("Нет"));
}

TEST_F(DBGridTest, TheDetailGridFollowsItsMaster)
{
    ScriptedMessages msgs;
    CreateCatalogueTable("PNT");
    CreateCatalogueTable("PN");
    {
        Cursor pnt(QStringLiteral("PNT"));
        pnt.Open();
        Cursor pn(QStringLiteral("PN"));
        pn.Open();
        int num = 0;
        for (int tip = 1; tip <= 3; ++tip) {
            pnt.Append();
            pnt[QStringLiteral("TIP")].SetInteger(tip);
            pnt[QStringLiteral("NAIM")].SetString(QStringLiteral("Тип %1").arg(tip));
            pnt.Post();
            for (int k = 0; k < tip; ++k) {
                pn.Append();
                pn[QStringLiteral("NUM")].SetInteger(++num);
                pn[QStringLiteral("TIP")].SetInteger(tip);
                pn[QStringLiteral("DATEBEG")].SetDateTime(StrToDate(QStringLiteral("01.01.%1").arg(2020 + k)));
                pn[QStringLiteral("FYEAR")].SetBoolean(k % 2 == 0);
                pn.Post();
            }
        }
    }
    Cursor* types = OpenCursor("PNT");
    Cursor* tables = OpenCursor("PN", "TIP");
    tables->SetMasterSource(types, QStringLiteral("TIP"));
    TDBGrid* master = MakeGrid(types, "dgType");
    master->Columns().Add(QStringLiteral("NAIM"), QStringLiteral("Тип ПН"), 150);
    grid = MakeGrid(tables, "dgDate");
    grid->Columns().Add(QStringLiteral("DATEBEG"), QStringLiteral("Дата"), 90);
    grid->Columns().Add(QStringLiteral("FYEAR"), QStringLiteral("Годовое"), 70);
    Show(300, 360);
    ASSERT_EQ(grid->Model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("01.01.2020"));

    QTest::mouseClick(
        master->viewport(), Qt::LeftButton, {}, master->visualRect(master->Model()->index(2, 0)).center());
    EXPECT_EQ((*types)[QStringLiteral("TIP")].AsInteger(), 3);
    ASSERT_EQ(grid->Model()->rowCount(), 3) << "a click on the master shows its rows";
    EXPECT_EQ(Cell(2, 0), QStringLiteral("01.01.2022"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("Нет"));
    EXPECT_EQ(grid->currentIndex().row(), 0);
    SaveScreenshot(dialog.get(), QStringLiteral("dbgrid_master_detail"));

    types->Prior(); // the master moved by code
    EXPECT_EQ(master->currentIndex().row(), 1);
    ASSERT_EQ(grid->Model()->rowCount(), 2);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("01.01.2021"));

    // A row typed into the detail takes the master's key.
    grid->setFocus();
    post = tables;
    Press(Qt::Key_Insert);
    Type(QStringLiteral("01.07.2024"));
    Press(Qt::Key_Up);
    EXPECT_EQ(grid->Model()->rowCount(), 3);
    Cursor check(QStringLiteral("PN"));
    check.Open();
    int ofType2 = 0;
    for (check.First(); !check.Eof(); check.Next())
        ofType2 += check[QStringLiteral("TIP")].AsInteger() == 2 ? 1 : 0;
    EXPECT_EQ(ofType2, 3);
    EXPECT_EQ(msgs.Log().size(), 0);

    // A detail row the master's move cannot post: the error is shown and
    // each view stands where its cursor stands.
    Press(Qt::Key_Insert);
    grid->Columns().Add(QStringLiteral("NUM"), QStringLiteral("Номер"), 50);
    Press(Qt::Key_End); // the NUM column
    Type(QStringLiteral("1"));
    Press(Qt::Key_Return);
    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Нарушение уникальности ключа"));
    QTest::mouseClick(
        master->viewport(), Qt::LeftButton, {}, master->visualRect(master->Model()->index(0, 0)).center());
    msgs.VerifyAndClear();
    EXPECT_EQ(master->currentIndex().row(), types->RecNo() - 1);
    EXPECT_EQ(tables->State(), CursorState::Insert) << "the detail row is kept";
    EXPECT_EQ(grid->currentIndex().row(), grid->Model()->CursorRow());
    tables->Cancel();
}

TEST_F(DBGridTest, RangesRefreshTheViewAndDisabledControlsKeepItQuiet)
{
    ScriptedMessages msgs;
    PostGrid(10);
    post->SetRange({Variant(3)}, {Variant(5)});
    ASSERT_EQ(grid->Model()->rowCount(), 3);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("3"));
    post->CancelRange();
    EXPECT_EQ(grid->Model()->rowCount(), 10);

    ClickCell(4, 1);
    TDBGridModel* model = grid->Model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserts(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy moves(model, &TDBGridModel::CursorRowChanged);
    post->DisableControls();
    for (int num = 11; num <= 40; ++num) {
        post->Append();
        (*post)[QStringLiteral("NUM")].SetInteger(num);
        post->Post();
    }
    post->First();
    grid->viewport()->repaint(); // painting meanwhile reads nothing new
    EXPECT_EQ(resets.count() + changes.count() + inserts.count() + moves.count(), 0);
    EXPECT_EQ(grid->currentIndex().row(), 4);
    post->EnableControls();
    EXPECT_EQ(resets.count(), 1) << "one refresh at the end of the bulk work";
    EXPECT_EQ(model->rowCount(), 40);
    EXPECT_EQ(grid->currentIndex().row(), 0) << "where the cursor was left";
}

TEST_F(DBGridTest, CtrlDeleteAsksFirst)
{
    ScriptedMessages msgs;
    PostGrid(3);
    ClickCell(1, 1);
    msgs.Expect(MsgKind::ConfirmDelete).Title(QStringLiteral("Удалить запись?")).No();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ReadNames("POST").size(), 3u);
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    Press(Qt::Key_Delete, Qt::ControlModifier);
    const auto names = ReadNames("POST");
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(names.count(2), 0u);
    EXPECT_EQ(grid->Model()->rowCount(), 2);
    EXPECT_EQ(grid->currentIndex().row(), 1) << "the next row";
    EXPECT_EQ((*post)[QStringLiteral("NUM")].AsInteger(), 3);
}

TEST_F(DBGridTest, AReadOnlyGridTakesNoChanges)
{
    ScriptedMessages msgs;
    PostGrid(3);
    grid->SetReadOnly(true);
    Type(QStringLiteral("5"));
    EXPECT_FALSE(grid->EditorMode());
    Press(Qt::Key_Insert);
    Press(Qt::Key_Delete, Qt::ControlModifier);
    post->Last();
    Press(Qt::Key_Down);
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(grid->Model()->rowCount(), 3);
    EXPECT_EQ(grid->currentIndex().row(), 2) << "typing never jumps to a row";

    // Row selection (the browsing state of the income-tax book) takes none either.
    grid->SetReadOnly(false);
    grid->SetOptions(grid->Options().Include(TDBGrid::dgRowSelect));
    ClickCell(1, 1);
    Type(QStringLiteral("5"));
    Press(Qt::Key_Insert);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(post->State(), CursorState::Browse);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 2) << "the whole row";
    grid->SetOptions(TDBGrid::kDefaultOptions);

    // A read-only column in an editable grid.
    grid->Columns()[0].SetReadOnly(true);
    ClickCell(0, 0);
    Type(QStringLiteral("5"));
    EXPECT_FALSE(grid->EditorMode());
    Press(Qt::Key_Right);
    Type(QStringLiteral("5"));
    EXPECT_TRUE(grid->EditorMode());
}

TEST_F(DBGridTest, EnterGoesToTheDefaultButtonOrOpensTheEditor)
{
    ScriptedMessages msgs;
    PostGrid(3);
    int keys = 0;
    grid->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        ++keys;
        if (key == Qt::Key_F5)
            key = 0;
    };
    Press(Qt::Key_Return);
    EXPECT_TRUE(grid->EditorMode()) << "no default button: Enter edits";
    Press(Qt::Key_Escape);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_GE(keys, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), dialog.get());
    ok->setDefault(true);
    layout->addWidget(ok);
    ok->show();
    grid->setFocus();
    QObject::connect(ok, &QPushButton::clicked, dialog.get(), &QDialog::accept);
    Press(Qt::Key_Return);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(dialog->result(), QDialog::Accepted) << "the picker's Enter";
}

TEST_F(DBGridTest, TitlesAndColumnHelpersWorkOnTheGrid)
{
    ScriptedMessages msgs;
    PostGrid(3);
    QHeaderView* titles = grid->horizontalHeader();
    const int titleY = titles->geometry().center().y();
    const int x1 = titles->geometry().x() + titles->sectionViewportPosition(1) + 5;
    EXPECT_EQ(TitleColumnAt(grid, x1, titleY), 1);
    EXPECT_EQ(TitleColumnAt(grid, x1, titles->geometry().bottom() + 10), -1);

    int clicked = -2;
    grid->OnDblClick
        = [&](QObject*) { clicked = TitleColumnAt(grid, grid->LastMousePos().x(), grid->LastMousePos().y()); };
    DoubleClick(titles->viewport(), QPoint(titles->sectionViewportPosition(1) + 5, titles->height() / 2));
    EXPECT_EQ(clicked, 1) << "a double click on a title names its column";

    dgColumnResize(grid, QStringLiteral("naim"));
    EXPECT_EQ(titles->sectionSize(0) + titles->sectionSize(1), grid->viewport()->width());
    EXPECT_EQ(grid->Columns()[1].Width(), titles->sectionSize(1)) << "the column keeps the width";
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("dgColumnResize: Неверное имя столбца"));
    dgColumnResize(grid, QStringLiteral("USER"));
}

TEST_F(DBGridTest, DefaultColumnsAndTheBooleanTextsOfEveryGrid)
{
    ScriptedMessages msgs;
    CreateCatalogueTable("SP");
    Cursor* sp = OpenCursor("SP");
    grid = MakeGrid(sp, "dgSp");
    ASSERT_TRUE(grid->Columns().IsDefault());
    ASSERT_EQ(grid->Model()->columnCount(), 8) << "one column per field";
    const int deleted = grid->Columns().IndexOfField(QStringLiteral("deleted"));
    ASSERT_EQ(deleted, 6);
    EXPECT_EQ(grid->Columns()[deleted].DisplayValues(), QStringLiteral("Да;Нет"));

    grid->Columns()[deleted].SetPickList({}).SetDisplayValues(QString());
    EXPECT_TRUE(grid->Columns()[deleted].PickList().isEmpty()) << "a form may take them away";
    SetBooleanPickListsInAllGrids();
    EXPECT_EQ(grid->Columns()[deleted].PickList(), (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
    EXPECT_EQ(grid->Columns()[deleted].DisplayValues(), QStringLiteral("Да;Нет"));

    grid->Columns()[deleted].SetDisplayValues(QStringLiteral("+;-"));
    sp->Append();
    (*sp)[QStringLiteral("DELETED")].SetBoolean(true);
    EXPECT_EQ(grid->Model()->CellText(0, deleted), QStringLiteral("+")) << "the row being typed shows at once";
    sp->Cancel();
    EXPECT_THROW(grid->Columns()[8], EListError);
}

TEST_F(DBGridTest, AnEmptyTableShowsOneBlankRowThatTypingFills)
{
    ScriptedMessages msgs;
    PostGrid(0);
    ASSERT_EQ(grid->Model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), QString());
    Type(QStringLiteral("1"));
    EXPECT_EQ(post->State(), CursorState::Insert);
    EXPECT_EQ(grid->Model()->rowCount(), 1);
    Press(Qt::Key_Tab);
    Type(QStringLiteral("Начальник"));
    Press(Qt::Key_Return);
    post->Post();
    EXPECT_EQ(ReadNames("POST").at(1), QStringLiteral("Начальник"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("Начальник"));
}

TEST_F(DBGridTest, TenThousandRowsAreReadOnlyWhereTheViewLooks)
{
    ScriptedMessages msgs;
    CreateCatalogueTable("POST");
    {
        Cursor c(QStringLiteral("POST"));
        c.Open();
        Transaction tx({&c});
        for (int num = 1; num <= 10000; ++num) {
            c.Append();
            c[QStringLiteral("NUM")].SetInteger(num);
            c[QStringLiteral("NAIM")].SetString(QStringLiteral("Должность %1").arg(num));
            c.Post();
        }
        tx.Commit();
    }
    post = OpenCursor("POST", "NAIM");
    grid = MakeGrid(post);
    grid->Columns().Add(QStringLiteral("NAIM"), QStringLiteral("Наименование"), 200);
    grid->Columns().Add(QStringLiteral("NUM"), QStringLiteral("Номер"), 60);
    Show();
    grid->setFocus();
    ASSERT_EQ(grid->Model()->rowCount(), 10000);
    const int startBlocks = grid->Model()->BlocksRead();
    EXPECT_LE(startBlocks, 1);

    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ((*post)[QStringLiteral("NAIM")].AsString(), QStringLiteral("Должность 9999"));
    EXPECT_EQ(grid->currentIndex().row(), 9999);
    EXPECT_EQ(grid->currentIndex().column(), 0) << "Ctrl+End keeps the column";
    Press(Qt::Key_PageUp);
    const int row = grid->currentIndex().row();
    EXPECT_LT(row, 9999);
    EXPECT_EQ(post->RecNo(), row + 1);
    EXPECT_EQ((*post)[QStringLiteral("NAIM")].AsString(), Cell(row, 0));
    post->FindKey({Variant(QStringLiteral("Должность 5000"))});
    EXPECT_EQ(grid->currentIndex().row(), post->RecNo() - 1);
    QApplication::processEvents();
    EXPECT_LE(grid->Model()->BlocksRead() - startBlocks, 8) << "only the blocks around the rows shown";
    SaveScreenshot(dialog.get(), QStringLiteral("dbgrid_10000_rows"));
}
