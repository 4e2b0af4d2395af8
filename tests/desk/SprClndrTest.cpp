// The work calendars book: editing a table's cells, the save/discard
// question, the refusals, new calendars and tables, and the empty book.

#include "desk/SprClndr.h"
#include "data/AppContext.h"
#include "data/Calendar.h"
#include "data/DatModl.h"
#include "data/FirstStart.h"
#include "data/Globals.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/grids/YQRGrids.h"
#include "foundation_ui/UiTestHelpers.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

const TDateTime kJan2024 = EncodeDate(2024, 1, 1);

class SprClndrTest : public AppContextTest {
protected:
    void SetUp() override
    {
        AppContextTest::SetUp();
        T_CalendarTip* tip = CalendarList()->AddTip(ckMonthly);
        tip->Name = QStringLiteral("Основной");
        tip->AddTable(kJan2024, EncodeDate(2024, 12, 31), 10);
        tip->Save();
    }
    // The stored line, read by a list of its own.
    static const T_C_Line* Stored(T_CalendarList& fresh, int line)
    {
        fresh.Load();
        return fresh.FindTable(0, kJan2024)->GetLine(line);
    }
    static void TypeInto(TFormSprClndr& f, int col, int row, const QString& text)
    {
        f.dgTable->setFocus();
        f.dgTable->FocusCell(col, row);
        Tyq_InplaceEdit* editor = f.dgTable->InplaceEditor();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->isVisible()) << "the editor is always there in edit mode";
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }
};

TEST_F(SprClndrTest, EditedCellsAreSavedOrDiscardedOnLeavingEditMode)
{
    ScriptedMessages msgs;
    TFormSprClndr form;
    ASSERT_TRUE(ShowActive(&form));
    ASSERT_NE(form.CurrentTable(), nullptr);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Справочник календарей"));
    EXPECT_EQ(form.TableCellText(0, 1), QStringLiteral("Январь"));
    EXPECT_EQ(form.TableCellText(2, 1), QStringLiteral("172,2"));
    EXPECT_EQ(form.DateCellText(0, 1), QStringLiteral("01.01.2024"));

    form.btTblChange->click();
    ASSERT_TRUE(form.EditMode());
    TypeInto(form, 3, 1, QStringLiteral("8.5")); // a typed point becomes the comma
    EXPECT_EQ(form.dgTable->InplaceEditor()->text(), QStringLiteral("8,5"));
    BeepCounter beeps;
    TypeInto(form, 2, 2, QStringLiteral("16o0,-4")); // a letter or a sign is refused as it is typed
    EXPECT_EQ(beeps.count, 2);
    EXPECT_EQ(form.dgTable->InplaceEditor()->text(), QStringLiteral("160,4"));
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Неверное значение"))
        .Details(QStringLiteral("Поле \"Рабочих дней, строка 3\": \"2-1\" не является числом"));
    form.dgTable->FocusCell(1, 3);
    form.dgTable->InplaceEditor()->setText(QStringLiteral("2-1"));
    form.dgTable->FocusCell(1, 4); // a cell is stored when it is left
    form.dgTable->FocusCell(1, 3);
    form.dgTable->InplaceEditor()->setText(QString()); // an emptied cell changes nothing
    form.dgTable->FocusCell(1, 4);
    EXPECT_EQ(form.TableCellText(1, 3), QStringLiteral("21"));
    EXPECT_EQ(form.TableCellText(3, 1), QStringLiteral("8,5"));
    SaveScreenshot(&form, QStringLiteral("desk_spr_clndr_edit"));

    msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Текущий календарь изменен")).Press(QStringLiteral("Сохранить"));
    form.btTblChange->click();
    EXPECT_FALSE(form.EditMode());
    T_CalendarList fresh;
    EXPECT_DOUBLE_EQ(Stored(fresh, 0)->DayLength(), 8.5);
    EXPECT_DOUBLE_EQ(Stored(fresh, 1)->WorkHours(), 160.4);
    EXPECT_DOUBLE_EQ(Stored(fresh, 2)->WorkDays(), 21);

    // Esc takes back a cell being typed and asks nothing; a second Esc
    // leaves edit mode, with nothing to ask either.
    form.btTblChange->click();
    const QString days = form.TableCellText(1, 1);
    TypeInto(form, 1, 1, QStringLiteral("2"));
    QTest::keyClick(form.dgTable->InplaceEditor(), Qt::Key_Escape);
    EXPECT_TRUE(form.EditMode());
    EXPECT_EQ(form.dgTable->InplaceEditor()->text(), days);
    QTest::keyClick(form.dgTable->InplaceEditor(), Qt::Key_Escape);
    EXPECT_FALSE(form.EditMode());
    EXPECT_EQ(form.TableCellText(1, 1), days);

    form.btTblChange->click();
    TypeInto(form, 3, 1, QStringLiteral("8,2"));
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Не сохранять"));
    form.btTblChange->click();
    EXPECT_EQ(form.TableCellText(3, 1), QStringLiteral("8,5")) << "the stored value shows again";
    EXPECT_DOUBLE_EQ(Stored(fresh, 0)->DayLength(), 8.5);
}

TEST_F(SprClndrTest, AUsedCalendarAndTheOnlyTableAreNotDeleted)
{
    AppendRecordValues(DM()->SR, 17, {"CALENDAR"}, {Variant(0)});
    ScriptedMessages msgs;
    TFormSprClndr form;
    form.show();
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Удаление невозможно !\r\n\r\nКалендарь используется работником №17"));
    form.btTipDel->click();
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Удаление невозможно !\r\n\r\nКалендарь не может иметь менее одной таблицы"));
    form.btTblDel->click();
    T_CalendarList fresh;
    fresh.Load();
    ASSERT_EQ(fresh.TipCount(), 1);
    EXPECT_EQ(fresh.GetTip(0)->Count(), 1);
}

TEST_F(SprClndrTest, NewCalendarsAndTablesAreCheckedAndStored)
{
    ScriptedMessages msgs;
    ModalScript modal;
    TFormSprClndr form;
    form.show();
    // The untouched prompt is no name; then a weekly calendar of one day.
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Введите правильное наименование календаря"));
    modal.Next<TFormNewCndrT>([](TFormNewCndrT& f) {
        f.edName->setFocus();
        QTest::keyClick(f.edName, Qt::Key_Return);
        EXPECT_TRUE(f.isVisible());
        f.edName->setText(QStringLiteral("Сменный"));
        f.rbKind[1]->setChecked(true);
        f.deBeg->setDate(QDate(2024, 3, 4));
        f.deEnd->setDate(QDate(2024, 3, 4));
        SaveScreenshot(&f, QStringLiteral("desk_new_cndr_t"));
        QTest::keyClick(f.edName, Qt::Key_Return);
    });
    form.btTipAdd->click();
    ASSERT_NE(form.CurrentTip(), nullptr);
    EXPECT_EQ(form.CurrentTip()->Name, QStringLiteral("Сменный"));
    EXPECT_EQ(form.cbTip->currentText(), QStringLiteral("Сменный"));
    EXPECT_EQ(form.CurrentTip()->Kind, ckWeekly);
    EXPECT_EQ(form.DateCellText(1, 1), QStringLiteral("04.03.2024"));
    EXPECT_EQ(form.TableCellText(1, 2), QStringLiteral("???")) << "one line only";

    // An end before the begin, then a begin already used.
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Определите правильные даты календаря"));
    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("уже имеет таблицу"));
    modal.Next<TFormNewCndrP>([](TFormNewCndrP& f) {
        f.deBeg->setFocus();
        f.deBeg->setDate(QDate(2024, 3, 4));
        f.deEnd->setDate(QDate(2024, 3, 1));
        QTest::keyClick(f.deBeg, Qt::Key_Return);
        EXPECT_TRUE(f.isVisible());
        f.deEnd->setDate(QDate(2024, 3, 10));
        QTest::keyClick(f.deBeg, Qt::Key_Return);
    });
    form.btTblAdd->click();
    EXPECT_EQ(form.CurrentTip()->Count(), 1);
    modal.Next<TFormNewCndrP>([](TFormNewCndrP& f) {
        EXPECT_EQ(f.lbName->text(), QStringLiteral("\"Сменный\""));
        f.deBeg->setFocus();
        f.deBeg->setDate(QDate(2024, 4, 1));
        f.deEnd->setDate(QDate(2024, 4, 30));
        QTest::keyClick(f.deBeg, Qt::Key_Return);
    });
    form.btTblAdd->click();
    T_CalendarList fresh;
    fresh.Load();
    ASSERT_EQ(fresh.TipCount(), 2);
    T_CalendarTip* stored = fresh.FindTip(form.CurrentTip()->Number);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->Count(), 2);
    EXPECT_EQ(form.dgDate->RowCount(), 3);
    SaveScreenshot(&form, QStringLiteral("desk_spr_clndr"));
}

TEST_F(SprClndrTest, WithoutCalendarsOneRowShowsUnknownAndActionsAreOff)
{
    CalendarList()->GetTip(0)->DeleteFromBase();
    CalendarList()->SetLoaded(false);
    ScriptedMessages msgs;
    TFormSprClndr form;
    form.show();
    EXPECT_EQ(form.cbTip->count(), 0);
    EXPECT_EQ(form.dgDate->RowCount(), 2);
    EXPECT_EQ(form.DateCellText(0, 1), QStringLiteral("???"));
    form.SelectTableRow(1);
    EXPECT_EQ(form.CurrentTable(), nullptr);
    EXPECT_EQ(form.TableCellText(1, 1), QStringLiteral("???"));
    EXPECT_FALSE(form.btTblAdd->isEnabled());
    EXPECT_FALSE(form.btTblDel->isEnabled());
    EXPECT_FALSE(form.btTipDel->isEnabled());
}

// The calendar of a first start in December covers that year, and a month's
// row is labelled by the month its line covers.
TEST_F(SprClndrTest, TheFirstStartCalendarCoversTheYearAndRowsAreLabelledByTheirMonths)
{
    CalendarList()->GetTip(0)->DeleteFromBase();
    CalendarList()->SetLoaded(false);
    Cfg.Workdate = EncodeDate(2024, 12, 16);
    ASSERT_TRUE(AddBasicCalendar());
    T_CalendarTip* tip = CalendarList()->FindTip(0);
    ASSERT_NE(tip, nullptr);
    tip->AddTable(EncodeDate(2025, 7, 1), EncodeDate(2026, 6, 30), 10);
    tip->Save();
    ScriptedMessages msgs;
    TFormSprClndr form;
    form.show();
    ASSERT_EQ(form.dgDate->RowCount(), 3);
    EXPECT_EQ(
        (form.DateCellText(0, 1) + QLatin1Char('-') + form.DateCellText(1, 1)).toStdString(), "01.01.2024-31.12.2024");
    struct Row {
        int table, row;
        const char* label;
    };
    for (const Row& r :
        {Row{1, 1, "Январь"}, Row{1, 12, "Декабрь"}, Row{2, 1, "Июль"}, Row{2, 6, "Декабрь"}, Row{2, 7, "Январь"}}) {
        form.SelectTableRow(r.table);
        EXPECT_EQ(form.TableCellText(0, r.row).toStdString(), r.label) << r.table << "/" << r.row;
    }
    EXPECT_EQ(form.TableCellText(2, 12), QStringLiteral("172,2")) << "December has its line";
}

} // namespace
