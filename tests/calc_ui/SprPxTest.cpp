// The income-tax book: the first table's defaults, a second table copying
// the first, a type in use, a failed copy, the short-table warning and the
// calculation after the book closed.

#include "calc/ui/SprPx.h"
#include "calc/PN.h"
#include "data/DatModl.h"
#include "data/Rights.h"
#include "foundation/ui/edits/DateEdit.h"
#include "foundation/ui/grids/DBGrid.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const TDateTime kJan2024 = EncodeDate(2024, 1, 1);
const TDateTime kJul2024 = EncodeDate(2024, 7, 1);

struct TableRow {
    int num = 0;
    QList<Variant> params; // FYEAR .. CURSVALUT
    QList<QList<double>> lines;
};

class SprPxTest : public CalcTest {
protected:
    static QList<TableRow> Tables(int tip)
    {
        QList<TableRow> out;
        Cursor pn(QStringLiteral("PN"));
        pn.Open();
        pn.SetIndexName(QStringLiteral("TIP"));
        pn.SetRange({Variant(tip)}, {Variant(tip)});
        for (pn.First(); !pn.Eof(); pn.Next()) {
            TableRow row;
            row.num = pn[QStringLiteral("NUM")].AsInteger();
            for (const char* f : {"FYEAR", "YEARBEG", "YEAREND", "METOD", "KMINZP", "SUMMINZP", "SUM", "CURSVALUT"})
                row.params << pn[QString::fromLatin1(f)].AsVariant();
            Cursor pnl(QStringLiteral("PNL"));
            pnl.Open();
            pnl.SetRange({Variant(row.num)}, {Variant(row.num)});
            for (pnl.First(); !pnl.Eof(); pnl.Next())
                row.lines.append({pnl[QStringLiteral("SUM")].AsFloat(), pnl[QStringLiteral("SUMNAL")].AsFloat(),
                    pnl[QStringLiteral("PROC")].AsFloat()});
            out << row;
        }
        return out;
    }
    static QString Texts(const QList<Variant>& values)
    {
        QStringList out;
        for (const Variant& v : values)
            out << v.AsString();
        return out.join(QLatin1Char(';'));
    }
    static int Rows(const char* table)
    {
        Cursor c{QString::fromLatin1(table)};
        c.Open();
        return c.RecordCount();
    }
    // Type 1 "Основной" with a table from January 2024: 10 %, 20 % above 1000.
    static void AddBasicScale()
    {
        AddTaxType(1, QStringLiteral("Основной"));
        TTaxTableSpec spec;
        spec.DateBeg = kJan2024;
        spec.Lines = {{0, 0, 10}, {1000, 100, 20}};
        AddTaxTable(1, spec);
    }
    static double Tax(double base, TDateTime on = EncodeDate(2024, 3, 1))
    {
        T_PN pn(PxList(), false);
        pn.Select(1, on);
        T_PNResult in, out;
        in.Base = base;
        in.LgotaPN = 1;
        in.MonthNo = 3;
        in.MonthsInYear = 12;
        return pn.Calc(in, out);
    }
};

TEST_F(SprPxTest, TheFirstTableGetsTheDefaultsAndTheSecondCopiesTheFirst)
{
    AddTaxType(1, QStringLiteral("Основной"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Enter(Variant::FromDate(EncodeDate(2024, 3, 15)));
    msgs.Expect(MsgKind::Input).Enter(Variant::FromDate(kJul2024));
    TFormSprPx form;
    form.show();
    ASSERT_EQ(form.CurrentTip(), 1);
    form.AddTable();
    QList<TableRow> tables = Tables(1);
    ASSERT_EQ(tables.size(), 1);
    EXPECT_EQ(Texts(tables[0].params),
        Texts({Variant(true), Variant::FromDate(kJan2024), Variant::FromDate(EncodeDate(2024, 12, 31)), Variant(2),
            Variant(4), Variant(100.0), Variant(0.0), Variant(1.0)}));
    EXPECT_EQ(tables[0].lines, (QList<QList<double>>{{0, 0, 10}, {1000000, 100000, 10}}));
    ReloadAllLists();
    // (12345 - 4 minimal wages of 100) * 10 %
    EXPECT_DOUBLE_EQ(Tax(12345, EncodeDate(2024, 3, 20)), 1194.5) << "a new type's first table can be calculated";

    AppendRecordValues(
        DM()->PNL, tables[0].num, {"SUM", "SUMNAL", "PROC"}, {Variant(1000.0), Variant(100.0), Variant(20.0)});
    form.AddTable();
    tables = Tables(1);
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(Texts(tables[1].params), Texts(tables[0].params));
    EXPECT_EQ(tables[1].lines, (QList<QList<double>>{{0, 0, 10}, {1000, 100, 20}, {1000000, 100000, 10}}));
    EXPECT_EQ(DM()->tbaPN[QStringLiteral("NUM")].AsInteger(), tables[1].num) << "the new table is current";
    EXPECT_EQ(form.LineGrid()->Model()->rowCount(), 3);
    SaveScreenshot(&form, QStringLiteral("calc_ui_spr_px"));
}

TEST_F(SprPxTest, ATypeUsedByACardCannotBeDeleted)
{
    AddBasicScale();
    AppendRecordValues(DM()->SR, 17, {"SPNTABL"}, {Variant(1)});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Удаление невозможно !\r\n\r\nТаблица используется работником №17"));
    TFormSprPx form;
    form.show();
    EXPECT_FALSE(RunGuarded([&] { form.DeleteTip(); }));
    EXPECT_EQ(Rows("PNT"), 1);
    EXPECT_EQ(Rows("PNL"), 2);

    SetRecordValuesByKey(DM()->SR, {Variant(17)}, {"SPNTABL"}, {Variant(2)});
    msgs.Expect(MsgKind::ConfirmDelete).Yes();
    form.DeleteTip();
    EXPECT_EQ(Rows("PNT"), 0);
    EXPECT_EQ(Rows("PN"), 0);
    EXPECT_EQ(Rows("PNL"), 0);
}

TEST_F(SprPxTest, AFailureWhileCopyingLinesWritesNothing)
{
    AddBasicScale();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Enter(Variant::FromDate(kJul2024));
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Ошибка записи данных"));
    TFormSprPx form;
    form.show();
    int posts = 0;
    const auto saved = DM()->PNL.OnBeforePost;
    DM()->PNL.OnBeforePost = [&posts](Cursor&) {
        if (++posts == 2)
            throw EDatabaseError(QStringLiteral("disk full"));
    };
    RunGuarded([&] { form.AddTable(); });
    DM()->PNL.OnBeforePost = saved;
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(Rows("PN"), 1);
    EXPECT_EQ(Rows("PNL"), 2);
}

TEST_F(SprPxTest, LeavingWithAOneLineTableWarnsAndMayGoBack)
{
    AddBasicScale();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Question)
        .Title(QStringLiteral("Количество строк таблицы подоходного налога не может быть менее 2-х\r\nТаблица "
                              ":\"Основной\""))
        .Yes();
    msgs.Expect(MsgKind::Question).No();
    ModalScript modal;
    modal.Next<TFormSprPx>([](TFormSprPx& f) {
        f.ChangeTable();
        DM()->tbaPNL.Last();
        f.DeleteLine();
        auto* close = f.findChild<QPushButton*>("btClose");
        close->click();
        EXPECT_TRUE(f.isVisible()) << "back to the book";
        close->click();
    });
    ShowSprPx();
    EXPECT_EQ(Rows("PNL"), 1);
}

TEST_F(SprPxTest, TheCalculationAfterTheBookSeesTheNewScale)
{
    AddBasicScale();
    EXPECT_DOUBLE_EQ(Tax(500), 50);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::SaveChanges).Yes();
    ModalScript modal;
    modal.Next<TFormSprPx>([](TFormSprPx& f) {
        f.ChangeTable();
        ASSERT_TRUE(f.EditMode());
        Cursor& pnl = DM()->tbaPNL;
        pnl.First();
        pnl.Edit();
        pnl[QStringLiteral("PROC")].SetFloat(13);
        f.findChild<QPushButton*>("btClose")->click();
    });
    ShowSprPx();
    EXPECT_DOUBLE_EQ(Tax(500), 65);
}

// Every way of closing the book while a table is being changed asks the same
// question; No puts the lines and the parameters back.
TEST_F(SprPxTest, EveryWayOfClosingWhileEditingAsksAndNoDropsTheChanges)
{
    AddBasicScale();
    const struct {
        const char* way;
        std::function<void(TFormSprPx&)> close;
    } ways[] = {
        {"Esc, Esc",
            [](TFormSprPx& f) {
                QTest::keyClick(&f, Qt::Key_Escape);
                EXPECT_FALSE(f.EditMode());
                QTest::keyClick(&f, Qt::Key_Escape);
            }},
        {"Закрыть", [](TFormSprPx& f) { f.findChild<QPushButton*>("btClose")->click(); }},
        {"the title bar", [](TFormSprPx& f) { CloseLikeWindowManager(&f); }},
    };
    for (const auto& w : ways) {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::SaveChanges)
            .Details(QStringLiteral("Таблица подоходного налога :\r\n\"Основной\" от 01.01.2024"))
            .No();
        ModalScript modal;
        modal.Next<TFormSprPx>([&w](TFormSprPx& f) {
            f.ChangeTable();
            f.findChild<QLineEdit*>("edSum")->setText(QStringLiteral("55"));
            Cursor& pnl = DM()->tbaPNL;
            pnl.First();
            pnl.Edit();
            pnl[QStringLiteral("PROC")].SetFloat(13);
            pnl.Post();
            w.close(f);
            EXPECT_FALSE(f.isVisible()) << w.way;
        });
        ShowSprPx();
        const QList<TableRow> tables = Tables(1);
        ASSERT_EQ(tables.size(), 1);
        EXPECT_EQ(tables[0].lines, (QList<QList<double>>{{0, 0, 10}, {1000, 100, 20}})) << w.way;
        EXPECT_EQ(tables[0].params[6].AsDouble(), 0) << w.way;
    }
}

// Typed values are checked where they are typed and named when stored; a
// line is deleted only with the right, while the table is being changed.
TEST_F(SprPxTest, TypedValuesAndLineDeletionAreChecked)
{
    AddBasicScale();
    TFormSprPx form;
    form.show();
    auto* sum = form.findChild<QLineEdit*>("edSum");
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral("Строки удаляются в режиме изменения таблицы (кнопка \"Изменить\")"));
    EXPECT_FALSE(RunGuarded([&] { form.DeleteLine(); }));
    form.ChangeTable();
    sum->selectAll();
    QTest::keyClicks(sum, QStringLiteral("27O93"));
    EXPECT_EQ(sum->text(), QStringLiteral("2793")) << "the letter is refused as it is typed";
    sum->setText(QStringLiteral("27-93")); // past the typing, as a paste would
    // The question comes before any value is checked.
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"Необлагаемая сумма\": \"27-93\" не является числом"));
    EXPECT_FALSE(RunGuarded([&] { form.LeaveEditMode(); }));
    EXPECT_TRUE(form.EditMode()) << "the clerk stays to mend it";
    sum->setText(QStringLiteral("0"));
    form.findChild<QCheckBox*>("cbFYear")->setChecked(true);
    form.findChild<QDateEdit*>("deYearBeg")->setDate(QDate(2024, 1, 1));
    form.findChild<QDateEdit*>("deYearEnd")->setDate(QDate(2023, 12, 31));
    msgs.Expect(MsgKind::SaveChanges).Yes();
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Неверный период"))
        .Details(QStringLiteral("Параметры налогового года: конец периода 31.12.2023 раньше его начала 01.01.2024"));
    EXPECT_FALSE(RunGuarded([&] { form.LeaveEditMode(); }));
    form.findChild<QDateEdit*>("deYearEnd")->setDate(QDate(2024, 12, 31));

    SetRightsPolicy([](quint8 op) { return op != opEditIncomeTax; });
    msgs.Expect(MsgKind::Error);
    EXPECT_FALSE(RunGuarded([&] { form.DeleteLine(); }));
    SetRightsPolicy({});
    EXPECT_EQ(Rows("PNL"), 2);
    msgs.Expect(MsgKind::Question).Title(QStringLiteral("Удалить текущую строку?")).Yes();
    form.DeleteLine();
    EXPECT_EQ(Rows("PNL"), 1);
    msgs.Expect(MsgKind::SaveChanges).No();
    form.LeaveEditMode();
    EXPECT_EQ(Rows("PNL"), 2) << "No puts the deleted line back";
}

} // namespace
