// The calculation-table editor: a new type with its default table, edits
// kept or dropped on leaving edit mode, cell input, deleting a table, a
// repeated start date and a missing kind.

#include "calc/ui/RTEdit.h"
#include "calc/RTabl.h"
#include "calc/ui/AccrualEditors.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/Globals.h"
#include "db/Cursor.h"
#include "foundation/ui/edits/DateEdit.h"
#include "platform/SysUtils.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

const qint32 kKind = 260;
const TDateTime kJan = EncodeDate(2024, 1, 1);
const TDateTime kJul = EncodeDate(2024, 7, 1);

using Lines = QList<QList<double>>;

class RTEditTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AddKind({.DopNum = kKind, .Naim = QStringLiteral("Выслуга"), .Formula = cmRtTable});
    }
    // One type "Основной" with a table per date, each with the lines.
    static void AddTables(const QList<TDateTime>& dates, const Lines& lines)
    {
        T_RtList list;
        list.Vid = kKind;
        list.Load();
        T_RtTip* tip = list.AddTip();
        tip->Naim = QStringLiteral("Основной");
        for (TDateTime d : dates) {
            T_RtTable* t = tip->AddTable();
            t->SetDate(d);
            t->CursValut = 1;
            for (const QList<double>& l : lines) {
                T_RtLine* line = t->AddLine();
                line->Lower = l[0];
                line->Sum = l[1];
                line->Proc = l[2];
            }
        }
        tip->Save();
    }
    // Every CLASS 4 row of the kind: SUBTIP, DATEBEG, INFO.
    static QList<QByteArray> BinRows()
    {
        QList<QByteArray> out;
        Cursor bin(QStringLiteral("Bin"));
        bin.Open();
        for (bin.First(); !bin.Eof(); bin.Next())
            if (bin[QStringLiteral("CLASS")].AsInteger() == binCalcTables
                && bin[QStringLiteral("VID")].AsInteger() == kKind)
                out << bin[QStringLiteral("SUBTIP")].AsString().toLatin1() + ';'
                        + bin[QStringLiteral("DATEBEG")].AsString().toLatin1() + ';'
                        + bin[QStringLiteral("INFO")].AsBlob();
        return out;
    }
    static Lines StoredLines(int table)
    {
        T_RtList list;
        list.Vid = kKind;
        list.Load();
        Lines out;
        if (list.Count() == 0 || table >= list.Item(0)->Count())
            return out;
        for (const T_RtLine* l : *list.Item(0)->GetTable(table))
            out.append({l->Lower, l->Sum, l->Proc});
        return out;
    }
    static Lines Shown(TFormRTEdit& f)
    {
        Lines out;
        for (int r = 0; r < f.sgLines->rowCount(); ++r) {
            QList<double> line;
            for (int c = 0; c < 3; ++c)
                line << StrToFloat(f.sgLines->item(r, c)->text());
            out << line;
        }
        return out;
    }
    static void TypeInCell(TFormRTEdit& f, int row, int column, const QString& text)
    {
        f.sgLines->setCurrentCell(row, column);
        f.sgLines->editItem(f.sgLines->item(row, column));
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : f.sgLines->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                editor = e;
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the delegate commits queued
    }
};

TEST_F(RTEditTest, ANewTypeShowsAtOnceWithItsDefaultTableAndIsStoredOnConfirmation)
{
    StartDate = EncodeDate(2025, 3, 10);
    TFormRTEdit f(kKind);
    f.show();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Enter(Variant(QStringLiteral("Основной")));
    msgs.Expect(MsgKind::Input).Enter(Variant::FromDate(kJul));
    QTest::mouseClick(f.findChild<QPushButton*>("btTipNew"), Qt::LeftButton);
    EXPECT_EQ(f.cbTip->currentText(), QStringLiteral("Основной"));
    EXPECT_TRUE(f.EditMode());
    EXPECT_EQ(f.lvDate->rowCount(), 1);
    EXPECT_EQ(Shown(f), (Lines{{0, 0, 5}, {500, 100, 15}, {1000, 200, 25}}));
    EXPECT_EQ(f.deYearBeg->date(), QDate(2025, 1, 1)) << "the year of the program's start date";
    EXPECT_EQ(f.deYearEnd->date(), QDate(2025, 12, 31));
    EXPECT_EQ(f.cbMetod->currentIndex(), 1);
    SaveScreenshot(&f, QStringLiteral("calc_ui_rt_edit"));

    // A year that ends before it begins is refused; the clerk stays to mend it.
    f.deYearEnd->setDate(QDate(2024, 12, 31));
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Неверный период"))
        .Details(QStringLiteral("Годовое накопление: конец периода 31.12.2024 раньше его начала 01.01.2025"));
    QTest::mouseClick(f.btSave, Qt::LeftButton);
    EXPECT_TRUE(f.EditMode());
    f.deYearEnd->setDate(QDate(2025, 12, 31));
    msgs.Expect(MsgKind::SaveChanges).Yes();
    QTest::mouseClick(f.btSave, Qt::LeftButton);
    EXPECT_FALSE(f.EditMode());
    EXPECT_EQ(StoredLines(0), (Lines{{0, 0, 5}, {500, 100, 15}, {1000, 200, 25}}));
    T_RtList list;
    list.Vid = kKind;
    list.Load();
    ASSERT_EQ(list.Count(), 1);
    const T_RtTable* t = list.Item(0)->GetTable(0);
    EXPECT_EQ(t->DateBeg, kJul);
    EXPECT_TRUE(t->ByYear);
    EXPECT_EQ(t->YearBeg, EncodeDate(2025, 1, 1));
    EXPECT_EQ(t->Metod, 1);
}

// A cell that is no number is reported and keeps its value.
TEST_F(RTEditTest, DecliningTheSaveKeepsTheStoredBytesAndShowsThemAgain)
{
    AddTables({kJan}, {{0, 0, 10}, {1000, 100, 20}});
    const QList<QByteArray> before = BinRows();
    TFormRTEdit f(kKind);
    f.show();
    QTest::mouseClick(f.btEdit, Qt::LeftButton);
    TypeInCell(f, 1, 2, QStringLiteral("33"));
    f.edSum->setText(QStringLiteral("150"));
    {
        ScriptedMessages bad;
        bad.Expect(MsgKind::Error)
            .Title(QStringLiteral("Неверное значение"))
            .Details(QStringLiteral("Поле \"Процент с превышения, строка 1\": \"5-5\" не является числом"));
        TypeInCell(f, 0, 2, QStringLiteral("a5-5")); // the letter is refused as it is typed
    }
    QTest::mouseClick(f.findChild<QPushButton*>("btLineNew"), Qt::LeftButton);
    EXPECT_EQ(Shown(f), (Lines{{0, 0, 10}, {1000, 100, 33}, {0, 0, 0}}));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::SaveChanges).No();
    QTest::mouseClick(f.btSave, Qt::LeftButton);
    EXPECT_EQ(BinRows(), before);
    EXPECT_EQ(Shown(f), (Lines{{0, 0, 10}, {1000, 100, 20}}));

    // Saved, the change reaches the store; unchanged, nothing is asked.
    QTest::mouseClick(f.btEdit, Qt::LeftButton);
    TypeInCell(f, 1, 0, QStringLiteral("1200,5"));
    msgs.Expect(MsgKind::SaveChanges).Yes();
    QTest::mouseClick(f.btSave, Qt::LeftButton);
    EXPECT_EQ(StoredLines(0), (Lines{{0, 0, 10}, {1200.5, 100, 20}}));
    QTest::mouseClick(f.btEdit, Qt::LeftButton);
    QTest::mouseClick(f.btSave, Qt::LeftButton);
    EXPECT_FALSE(f.EditMode());
}

// "Закрыть" with a value the table refuses: the question comes first, Yes
// shows the refusal and keeps the window, No drops the change and closes.
// A new or deleted line keeps the typed parameters.
TEST_F(RTEditTest, ClosingWithARefusedValueOffersToDropIt)
{
    AddTables({kJan}, {{0, 0, 10}, {1000, 100, 20}});
    const QList<QByteArray> before = BinRows();
    TFormRTEdit f(kKind);
    f.show();
    QTest::mouseClick(f.btEdit, Qt::LeftButton);
    f.edSum->clear();
    QTest::keyClicks(f.edSum, QStringLiteral("5-5"));
    QTest::mouseClick(f.findChild<QPushButton*>("btLineNew"), Qt::LeftButton);
    f.sgLines->setCurrentCell(0, 0);
    QTest::mouseClick(f.findChild<QPushButton*>("btLineDel"), Qt::LeftButton);
    EXPECT_EQ(f.edSum->text(), QStringLiteral("5-5"));
    EXPECT_EQ(Shown(f), (Lines{{1000, 100, 20}, {0, 0, 0}}));
    ScriptedMessages msgs;
    QPushButton* close = f.findChild<QPushButton*>("btClose");
    for (int attempt = 0; attempt < 2; ++attempt) {
        msgs.Expect(MsgKind::SaveChanges).Yes();
        msgs.Expect(MsgKind::Error).Containing(QStringLiteral("\"5-5\" не является числом"));
        QTest::mouseClick(close, Qt::LeftButton);
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(f.EditMode());
    }
    msgs.Expect(MsgKind::SaveChanges).No();
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(BinRows(), before);
}

TEST_F(RTEditTest, ADeletedTableStaysGoneAfterReReading)
{
    AddTables({kJan, kJul}, {{0, 0, 10}});
    TFormRTEdit f(kKind);
    f.show();
    ASSERT_EQ(f.lvDate->rowCount(), 2);
    f.SelectTable(0);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    QTest::mouseClick(f.findChild<QPushButton*>("btTblDel"), Qt::LeftButton);
    ASSERT_EQ(f.lvDate->rowCount(), 1);
    EXPECT_EQ(f.lvDate->item(0, 0)->text(), QStringLiteral("01.07.2024"));
    TFormRTEdit again(kKind);
    EXPECT_EQ(again.lvDate->rowCount(), 1);
    EXPECT_EQ(BinRows().size(), 2) << "the header and one table";
}

TEST_F(RTEditTest, ARepeatedStartDateAndAMissingKindAreRefused)
{
    AddTables({kJan}, {{0, 0, 10}});
    const QList<QByteArray> before = BinRows();
    TFormRTEdit f(kKind);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Enter(Variant::FromDate(kJan));
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Две таблицы типа \"Основной\" начинаются с одной даты 01.01.2024"));
    QTest::mouseClick(f.findChild<QPushButton*>("btTblNew"), Qt::LeftButton);
    EXPECT_FALSE(f.EditMode());
    EXPECT_EQ(f.lvDate->rowCount(), 1);
    EXPECT_EQ(BinRows(), before);

    ModalScript modal; // any window would fail the test
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Начисление №777 в справочнике не найдено"));
    ShowRTEdit(777);
    EXPECT_TRUE(modal.Seen().isEmpty());
}

// Renaming keeps the tables; deleting a type asks, then takes its rows and
// no other type's.
TEST_F(RTEditTest, ATypeIsRenamedOrDeletedWithItsRows)
{
    AddTables({kJan}, {{0, 0, 10}});
    {
        T_RtList list;
        list.Vid = kKind;
        list.Load();
        T_RtTip* other = list.AddTip();
        other->Naim = QStringLiteral("Второй");
        other->AddTable()->SetDate(kJul);
        other->Save();
    }
    TFormRTEdit f(kKind);
    ASSERT_EQ(f.cbTip->count(), 2);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Enter(Variant(QStringLiteral("Главный")));
    QTest::mouseClick(f.findChild<QPushButton*>("btTipEdit"), Qt::LeftButton);
    EXPECT_EQ(f.cbTip->itemText(0), QStringLiteral("Главный"));
    EXPECT_EQ(BinRows().size(), 4);

    f.SelectTip(2);
    msgs.Expect(MsgKind::ConfirmDelete).No();
    QTest::mouseClick(f.findChild<QPushButton*>("btTipDel"), Qt::LeftButton);
    EXPECT_EQ(BinRows().size(), 4);
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    QTest::mouseClick(f.findChild<QPushButton*>("btTipDel"), Qt::LeftButton);
    ASSERT_EQ(f.cbTip->count(), 1);
    T_RtList list;
    list.Vid = kKind;
    list.Load();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Item(0)->Naim, QStringLiteral("Главный"));
    EXPECT_EQ(list.Item(0)->Count(), 1);
    EXPECT_EQ(BinRows().size(), 2);
}

} // namespace
