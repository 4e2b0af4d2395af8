// The number edits: limits, edit and display texts, the typing filter, Esc,
// leaving with a bad text and pasting.

#include "foundation/ui/edits/NumEdit.h"
#include "UiTestHelpers.h"
#include "platform/Exceptions.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <climits>
#include <memory>

namespace {

TEST(NumEditLimits, MinAndMaxDecideWhichBoundsApply)
{
    struct Row {
        const char* name;
        double min, max, given, shown;
    } rows[] = {
        {"both bounds, above", 0, 100, 150, 100},
        {"both bounds, below", 10, 100, -3, 10},
        {"max 0: lower bound only, below", 5, 0, 1, 5},
        {"max 0: lower bound only, above", 5, 0, 1000, 1000},
        {"min 0: upper bound only, above", 0, -5, 3, -5},
        {"min 0: upper bound only, below", 0, -5, -10, -10},
        {"min above max otherwise: none", 7, 3, 100, 100},
        {"equal bounds: none", 10, 10, 3, 3},
        {"no bounds", 0, 0, -12345.5, -12345.5},
    };
    for (const Row& r : rows) {
        Tyq_FloatEdit e;
        e.SetMinValue(r.min);
        e.SetMaxValue(r.max);
        e.SetValue(r.given);
        EXPECT_DOUBLE_EQ(e.Value(), r.shown) << r.name;
    }
}

TEST(NumEditLimits, ANewBoundLimitsTheValueHeld)
{
    Tyq_FloatEdit e;
    e.SetValue(80);
    e.SetMaxValue(50);
    EXPECT_DOUBLE_EQ(e.Value(), 50);
    EXPECT_EQ(e.text(), QStringLiteral("50"));
    e.SetMinValue(60); // min above max, neither 0: no limits; the value stays
    EXPECT_DOUBLE_EQ(e.Value(), 50);
}

TEST(NumEditTexts, EditTextRoundsHalvesAwayFromZero)
{
    struct Row {
        double value;
        int places;
        const char* text;
    } rows[] = {
        {3.7, 0, "4"},
        {3.5, 2, "3,5"},
        {2.5, 0, "3"},
        {-2.5, 0, "-3"},
        {1.005, 2, "1"},
        {1.235, 2, "1,24"},
        {0.1 + 0.2, 2, "0,3"},
        {1234567.891, 3, "1234567,891"},
    };
    for (const Row& r : rows) {
        Tyq_FloatEdit e;
        e.SetDecimalPlaces(r.places);
        e.SetValue(r.value);
        EXPECT_EQ(e.text(), QString::fromUtf8(r.text)) << r.value << " " << r.places;
    }
}

TEST(NumEditTexts, DisplayTextFollowsTheFormatOfEachKind)
{
    Tyq_FloatEdit f;
    f.SetValue(1234.5);
    EXPECT_EQ(f.DisplayFormat(), QString());
    EXPECT_EQ(f.DisplayText(), QStringLiteral("1234,5"));
    f.SetDisplayFormat(QStringLiteral(",0.00"));
    EXPECT_EQ(f.DisplayText(), QStringLiteral("1\u00A0234,50"));

    Tyq_CurrencyEdit c;
    EXPECT_EQ(c.DisplayFormat(), Tyq_CurrencyEdit::CurrencyDisplayFormat());
    c.SetValue(1234567.5);
    EXPECT_EQ(c.DisplayText(), QStringLiteral("1\u00A0234\u00A0567,50 р."));
    c.SetValue(-0.5);
    EXPECT_EQ(c.DisplayText(), QStringLiteral("-0,50 р."));

    Tyq_IntegerEdit i;
    i.SetValue(-42);
    EXPECT_EQ(i.DisplayText(), QStringLiteral("-42"));
    EXPECT_EQ(i.text(), QStringLiteral("-42"));
}

TEST(NumEditTexts, TextSetterNormalisesAndRejectsNonNumbers)
{
    Tyq_FloatEdit e;
    e.SetText(QStringLiteral("1\u00A0234.5  "));
    EXPECT_DOUBLE_EQ(e.Value(), 1234.5);
    EXPECT_EQ(e.text(), QStringLiteral("1234,5"));
    e.SetText(QStringLiteral("-"));
    EXPECT_DOUBLE_EQ(e.Value(), 0);
    e.SetText(QString());
    EXPECT_DOUBLE_EQ(e.Value(), 0);
    EXPECT_THROW(e.SetText(QStringLiteral("12a")), EConvertError);
}

TEST(NumEditTexts, ValueOfAnUnreadableTextIsTheMinimumSilently)
{
    Tyq_FloatEdit e;
    e.SetMinValue(5);
    e.SetMaxValue(9);
    e.setText(QStringLiteral("x1"));
    EXPECT_DOUBLE_EQ(e.Value(), 5);
}

TEST(IntegerEdit, NeverWrapsPastTheIntegerRange)
{
    Tyq_IntegerEdit e;
    e.SetText(QStringLiteral("99999999999"));
    EXPECT_EQ(e.Value(), INT_MAX);
    e.SetText(QStringLiteral("-99999999999"));
    EXPECT_EQ(e.Value(), INT_MIN);
    e.SetValue(7);
    e.setText(QStringLiteral("1e30"));
    EXPECT_EQ(e.Value(), INT_MAX);
    e.SetMaxValue(3);
    e.SetMinValue(-3);
    EXPECT_EQ(e.MinValue(), -3);
    EXPECT_EQ(e.MaxValue(), 3);
    EXPECT_EQ(e.Value(), 3);
    e.SetText(QStringLiteral("2,4"));
    EXPECT_EQ(e.text(), QStringLiteral("2")); // the value read back is the one shown
    EXPECT_EQ(e.Value(), 2);
}

// A dialog with three edits on it, as a clerk sees them.
class NumEditWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<QDialog>();
        dialog->setObjectName(QStringLiteral("NumEditDialog"));
        auto* layout = new QVBoxLayout(dialog.get());
        fe = new Tyq_FloatEdit(dialog.get());
        fe->setObjectName(QStringLiteral("edSumma"));
        ce = new Tyq_CurrencyEdit(dialog.get());
        ce->setObjectName(QStringLiteral("edOklad"));
        ie = new Tyq_IntegerEdit(dialog.get());
        ie->setObjectName(QStringLiteral("edTabnum"));
        for (QWidget* w : {static_cast<QWidget*>(fe), static_cast<QWidget*>(ce), static_cast<QWidget*>(ie)}) {
            auto* label = new QLabel(w->objectName(), dialog.get());
            label->setBuddy(w); // the name the messages give the field
            layout->addWidget(label);
            layout->addWidget(w);
        }
        dialog->resize(260, 200);
        ASSERT_TRUE(ShowActive(dialog.get()));
    }

    static void Type(QWidget* w, const QString& text)
    {
        for (const QChar ch : text)
            QTest::sendKeyEvent(
                QTest::Click, w, ch.isDigit() ? Qt::Key(ch.unicode()) : Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    std::unique_ptr<QDialog> dialog;
    Tyq_FloatEdit* fe = nullptr;
    Tyq_CurrencyEdit* ce = nullptr;
    Tyq_IntegerEdit* ie = nullptr;
};

TEST_F(NumEditWindow, TypingAcceptsASignAndRefusesWhatIsNoNumber)
{
    BeepCounter beeps;
    fe->setFocus();
    fe->selectAll();
    Type(fe, QStringLiteral("-5"));
    EXPECT_EQ(fe->text(), QStringLiteral("-5"));
    Type(fe, QStringLiteral(".25")); // '.' becomes the decimal separator
    EXPECT_EQ(fe->text(), QStringLiteral("-5,25"));
    EXPECT_EQ(beeps.count, 0);
    Type(fe, QStringLiteral("7")); // a third decimal
    EXPECT_EQ(fe->text(), QStringLiteral("-5,25"));
    EXPECT_EQ(beeps.count, 1);
    fe->setCursorPosition(2);
    Type(fe, QStringLiteral(",")); // a second separator
    Type(fe, QStringLiteral("a-"));
    EXPECT_EQ(fe->text(), QStringLiteral("-5,25"));
    EXPECT_EQ(beeps.count, 4);
    fe->SetBeepOnError(false);
    Type(fe, QStringLiteral("z"));
    EXPECT_EQ(beeps.count, 4);
    EXPECT_DOUBLE_EQ(fe->Value(), -5.25);
}

TEST_F(NumEditWindow, IntegerEditRefusesTheKeyThatLeavesTheRange)
{
    BeepCounter beeps;
    ie->setFocus();
    ie->selectAll();
    Type(ie, QStringLiteral("2147483647"));
    EXPECT_EQ(ie->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(beeps.count, 0);
    Type(ie, QStringLiteral("0"));
    EXPECT_EQ(ie->text(), QStringLiteral("2147483647"));
    EXPECT_EQ(beeps.count, 1);
    ie->selectAll();
    Type(ie, QStringLiteral("-2147483649"));
    EXPECT_EQ(ie->text(), QStringLiteral("-214748364"));
    EXPECT_EQ(ie->Value(), -214748364);
}

TEST_F(NumEditWindow, FocusedShowsTheEditTextAndUnfocusedTheDisplayText)
{
    ce->SetValue(1234.5);
    fe->SetValue(2.5);
    fe->SetDecimalPlaces(0);
    ie->SetValue(100);
    ce->setFocus();
    EXPECT_EQ(ce->text(), QStringLiteral("1234,5"));
    EXPECT_EQ(ce->selectedText(), QStringLiteral("1234,5")); // entered from the keyboard side: all selected
    SaveScreenshot(dialog.get(), QStringLiteral("numedit_focused"));
    const QImage focused = ce->grab().toImage();
    fe->setFocus();
    EXPECT_EQ(ce->DisplayText(), QStringLiteral("1\u00A0234,50 р."));
    EXPECT_EQ(ce->cursorPosition(), 0);
    const QImage unfocused = ce->grab().toImage();
    EXPECT_NE(focused, unfocused); // the display text is painted in place of the edit text
    ie->setFocus();
    SaveScreenshot(dialog.get(), QStringLiteral("numedit_unfocused"));
    EXPECT_EQ(fe->text(), QStringLiteral("3"));
}

TEST_F(NumEditWindow, EscRestoresTheTextOfTheStoredValue)
{
    fe->SetValue(12.5);
    fe->setFocus();
    fe->end(false);
    Type(fe, QStringLiteral("9"));
    EXPECT_EQ(fe->text(), QStringLiteral("12,59"));
    QTest::keyClick(fe, Qt::Key_Escape);
    EXPECT_EQ(fe->text(), QStringLiteral("12,5"));
    EXPECT_EQ(fe->selectedText(), QStringLiteral("12,5"));
    EXPECT_TRUE(dialog->isVisible()); // swallowed: the dialog stays
}

TEST_F(NumEditWindow, LeavingWithABadTextShowsTheErrorAndKeepsTheFocus)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Неверное значение"))
        .Details(QStringLiteral("Поле \"edSumma\": \"12-3\" не является числом"));
    int exits = 0;
    fe->OnExit = [&](QObject*) { ++exits; };
    fe->SetValue(4);
    fe->setFocus();
    fe->setText(QStringLiteral("12-3")); // past the filter, as a program might
    ie->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), fe);
    EXPECT_EQ(fe->selectedText(), QStringLiteral("12-3"));
    EXPECT_EQ(exits, 0);
    EXPECT_DOUBLE_EQ(fe->Value(), 0); // unreadable: the minimum
    fe->setText(QStringLiteral("7,25"));
    ie->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), ie);
    EXPECT_EQ(exits, 1);
    EXPECT_DOUBLE_EQ(fe->Value(), 7.25);
}

TEST_F(NumEditWindow, ABadPasteIsUndone)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Поле \"edSumma\": \"4abc\" не является числом"));
    fe->SetValue(4);
    fe->setFocus();
    fe->end(false);
    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(fe, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(fe->text(), QStringLiteral("4"));
    EXPECT_EQ(QApplication::focusWidget(), fe);
    QGuiApplication::clipboard()->setText(QStringLiteral("1\u00A0000,5"));
    fe->selectAll();
    QTest::keyClick(fe, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(msgs.Log().size(), 1u);
    EXPECT_DOUBLE_EQ(fe->Value(), 1000.5);
}

} // namespace
