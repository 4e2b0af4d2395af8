// The user-formula editor: caret and status rules, saving only what the
// clerk changed, blank text, headings, a formula error of a calculation,
// and texts the store cannot hold or read.

#include "calc/ui/EditFml.h"
#include "calc/TabnCalc.h"
#include "calc/ui/AccrualEditors.h"
#include "data/AppContext.h"
#include "data/CalcMethods.h"
#include "data/DatModl.h"
#include "data/UserFormulas.h"
#include "db/Cursor.h"
#include "support/CalcBuilders.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

namespace {

const qint32 kBonus = 250;

struct StoredRow {
    QByteArray info;
    qint32 user = 0;
    int rows = 0;
    bool operator==(const StoredRow&) const = default;
};

class EditFmlTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        AddKind({.DopNum = kBonus, .Naim = QStringLiteral("Надбавка"), .Formula = cmUserFormula});
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TFormEditFml*>(w))
                delete w;
        CalcTest::TearDown();
    }
    static StoredRow Stored(qint32 dopNum)
    {
        StoredRow out;
        Cursor bin(QStringLiteral("Bin"));
        bin.Open();
        for (bin.First(); !bin.Eof(); bin.Next())
            if (bin[QStringLiteral("CLASS")].AsInteger() == binUserFormulas
                && bin[QStringLiteral("VID")].AsInteger() == dopNum) {
                ++out.rows;
                out.info = bin[QStringLiteral("INFO")].AsBlob();
                out.user = bin[QStringLiteral("USER")].AsInteger();
            }
        return out;
    }
    static TFormEditFml* Open(qint32 dopNum, int col, int line, bool readOnly)
    {
        const QList<TFormEditFml*> before = Editors();
        ShowFormulaEditor(nullptr, dopNum, col, line, QStringLiteral("msg"), readOnly);
        return NewEditor(before);
    }
    static QList<TFormEditFml*> Editors()
    {
        QList<TFormEditFml*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TFormEditFml*>(w); f && f->isVisible())
                out << f;
        return out;
    }
    // The one window opened since.
    static TFormEditFml* NewEditor(const QList<TFormEditFml*>& before)
    {
        for (TFormEditFml* f : Editors())
            if (!before.contains(f))
                return f;
        return nullptr;
    }
    static std::pair<int, int> Caret(TFormEditFml* f)
    {
        const QTextCursor c = f->reText->textCursor();
        return {c.blockNumber(), c.positionInBlock()};
    }
};

TEST_F(EditFmlTest, CaretAndHeadingFollowTheRules)
{
    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := 1;\nX := 2\n\nY := ST + TK"));
    struct Case {
        int col, line;
        std::pair<int, int> caret; // block, column, from 0
        const char* panel1;
        const char* panel2;
    } cases[] = {
        {0, 0, {0, 0}, "1:1", "[L:1 C:1]  msg"},
        {-5, 2, {1, 0}, "1:2", "[L:2 C:1]  msg"},
        {200, 1, {0, 12}, "13:1", "[L:1 C:200]  msg"},
        {4, 2, {1, 3}, "4:2", "[L:2 C:4]  msg"},
        {7, 3, {2, 0}, "1:3", "[L:3 C:7]  msg"},
        {1, 99, {3, 12}, "13:4", "[L:99 C:1]  msg"},
    };
    for (const Case& c : cases) {
        TFormEditFml* f = Open(kBonus, c.col, c.line, false);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(Caret(f), c.caret) << c.col << "," << c.line;
        EXPECT_EQ(f->stCaret->text(), QString::fromLatin1(c.panel1)) << c.col << "," << c.line;
        EXPECT_EQ(f->stMessage->text(), QString::fromLatin1(c.panel2)) << c.col << "," << c.line;
        if (c.line == 3)
            SaveScreenshot(f, QStringLiteral("calc_ui_edit_fml"));
        delete f;
    }
    TFormEditFml* f = Open(kBonus, 1, 1, false);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("№250 Надбавка"));
    f = Open(77, 1, 1, false);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("№77 (В справочнике не найдено)"));
    EXPECT_EQ(f->reText->toPlainText(), QString());
}

// A window saves on close only what its clerk changed: an untouched or
// read-only window leaves a newer text, saved meanwhile, as it is.
TEST_F(EditFmlTest, ClosingSavesOnlyAChangedWritableText)
{
    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := 1"));
    QPointer<TFormEditFml> readOnly = Open(kBonus, 1, 1, true);
    QTest::keyClicks(readOnly->reText, "junk");
    EXPECT_FALSE(readOnly->btSave->isEnabled());
    EXPECT_EQ(readOnly->reText->toPlainText(), QStringLiteral("RESULT := 1"));
    QPointer<TFormEditFml> untouched = Open(kBonus, 1, 1, false);
    EXPECT_FALSE(untouched->btSave->isEnabled());
    QPointer<TFormEditFml> edited = Open(kBonus, 1, 1, false);

    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := 2"));
    const StoredRow newer = Stored(kBonus);
    readOnly->close();
    untouched->close();
    QApplication::processEvents();
    EXPECT_TRUE(readOnly.isNull()) << "freed on close";
    EXPECT_EQ(Stored(kBonus), newer);

    edited->reText->moveCursor(QTextCursor::End);
    QTest::keyClicks(edited->reText, " + 3");
    EXPECT_TRUE(edited->btSave->isEnabled());
    EXPECT_TRUE(edited->btReply->isEnabled());
    edited->close();
    EXPECT_EQ(UserFormulaList()->GetText(kBonus), QStringLiteral("RESULT := 1 + 3"));
}

TEST_F(EditFmlTest, BlankTextDeletesTheFormulaAndReloadReadsTheStore)
{
    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := 1"));
    TFormEditFml* f = Open(kBonus, 1, 1, false);
    f->reText->selectAll();
    f->reText->insertPlainText(QStringLiteral("  \n "));
    QTest::mouseClick(f->btReply, Qt::LeftButton);
    EXPECT_EQ(f->reText->toPlainText(), QStringLiteral("RESULT := 1"));
    EXPECT_FALSE(f->Modified());
    f->reText->selectAll();
    f->reText->insertPlainText(QStringLiteral("  \n "));
    QTest::mouseClick(f->btSave, Qt::LeftButton);
    EXPECT_EQ(Stored(kBonus).rows, 0);
    EXPECT_EQ(UserFormulaList()->GetText(kBonus), QString());
    EXPECT_FALSE(f->btSave->isEnabled());
}

// Text is outside input both ways: what CP1251 cannot hold is refused, a
// stored text that cannot be read is reported and the editor opens empty.
TEST_F(EditFmlTest, BadTextIsRefusedOrReportedNeverWritten)
{
    UserFormulaList()->SetText(kBonus, QStringLiteral("RESULT := 1"));
    const StoredRow before = Stored(kBonus);
    TFormEditFml* f = Open(kBonus, 1, 1, false);
    f->reText->insertPlainText(QStringLiteral("\u2713"));
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("Формула не записана"));
    QTest::mouseClick(f->btSave, Qt::LeftButton);
    EXPECT_EQ(Stored(kBonus), before);
    EXPECT_TRUE(f->Modified());
    delete f;

    Cursor bin(QStringLiteral("Bin"));
    bin.Open();
    for (bin.First(); !bin.Eof(); bin.Next())
        if (bin[QStringLiteral("VID")].AsInteger() == kBonus) {
            bin.Edit();
            bin.FieldByName(QStringLiteral("INFO")).SetBlob(QByteArray("\xff\xff\xff\x7f garbage", 12));
            bin.Post();
        }
    UserFormulaList()->SetLoaded(false);
    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Ошибка при загрузке формулы пользователя №250"));
    f = Open(kBonus, 3, 1, false);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->reText->toPlainText(), QString());
}

// The clerk writes a formula in the editor, the calculation stops on it,
// and the error lands in that same window on the failing line (the parser
// counts lines from 0) with the message in the status.
TEST_F(EditFmlTest, AFormulaErrorOfACalculationLandsOnTheFailingLine)
{
    AppContext().Cfg.Workdate = EncodeDate(2024, 3, 1);
    AddCalendar(0, EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31));
    AddTaxType(1, QStringLiteral("Основная"));
    TTaxTableSpec tax;
    tax.DateBeg = EncodeDate(2024, 1, 1);
    tax.Lines = {{0, 0, 13}, {100000, 13000, 20}};
    AddTaxTable(1, tax);
    TCardSpec card;
    card.Okl = 16000;
    const qint32 tabn = AddCard(card);
    SaveInput(tabn, {{kBonus, 1, 0, 0}});
    // Garbage is a formula error like any other: a message, never a crash.
    const struct {
        const char* text;
        int line; // 1-based; 0: wherever the parser stopped
        const char* word; // in the message
    } cases[] = {
        {"X := ST\nRESULT := X + NOSUCHNAME", 2, "NOSUCHNAME"},
        {"RESULT := (1 +\n\n", 0, ""},
        {"\x01\x7f ### ;;; ((( \"", 0, ""},
    };
    TFormEditFml* f = Open(kBonus, 1, 1, false);
    ASSERT_NE(f, nullptr);
    for (const auto& c : cases) {
        f->reText->selectAll();
        f->reText->insertPlainText(QString::fromUtf8(c.text));
        QTest::mouseClick(f->btSave, Qt::LeftButton);
        ASSERT_EQ(UserFormulaList()->GetText(kBonus), QString::fromUtf8(c.text));
        QStringList errors;
        EXPECT_FALSE(CalcOneTabn(CalcSources(AppContext()), tabn, 0, errors));
        const TFormulaError e = AppContext().FormulaError;
        ASSERT_EQ(e.DopNum, kBonus) << c.text << ": " << errors.join("\n").toStdString();
        OpenFormulaAtError(e.DopNum, e.Line, e.Col, e.Message);
        ASSERT_EQ(Editors(), QList<TFormEditFml*>{f}) << "the open window takes the error";
        EXPECT_EQ(f->Line(), e.Line + 1);
        EXPECT_EQ(Caret(f).first, std::min(e.Line, f->reText->blockCount() - 1)) << c.text;
        EXPECT_EQ(f->stMessage->text(), QStringLiteral("[L:%1 C:%2]  ").arg(e.Line + 1).arg(e.Col) + e.Message);
        EXPECT_FALSE(e.Message.isEmpty()) << c.text;
        if (c.line > 0) {
            EXPECT_EQ(f->Line(), c.line);
            EXPECT_TRUE(e.Message.contains(QString::fromLatin1(c.word), Qt::CaseInsensitive));
            SaveScreenshot(f, QStringLiteral("calc_ui_edit_fml_error"));
        }
    }
    // Without a window on the kind a new one opens there.
    delete f;
    const TFormulaError e = AppContext().FormulaError;
    OpenFormulaAtError(e.DopNum, 1, 4, e.Message);
    ASSERT_EQ(Editors().size(), 1);
    EXPECT_EQ(Editors()[0]->Line(), 2);
    EXPECT_EQ(Editors()[0]->Col(), 4);
}

} // namespace
