// The one-value input box, driven through the production message service.
#include "foundation/ui/dialogs/GetMean.h"
#include "UiTestHelpers.h"
#include "foundation/ui/dialogs/WMsgs.h"
#include "platform/SysUtils.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class InputBox : public ::testing::Test {
protected:
    ScopedMessageService windows{&MessageWindows()};
    ModalScript modal;
};

// QTest types only ASCII; other characters are sent as the key events a
// keyboard layout would give.
void Type(TFormGet& f, const QString& keys)
{
    for (const QChar c : keys) {
        if (c.unicode() < 128) {
            QTest::keyClick(f.ed, c.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(f.ed, &press);
            QApplication::sendEvent(f.ed, &release);
        }
    }
}
void Ok(TFormGet& f) { QTest::mouseClick(f.btOk, Qt::LeftButton); }

struct TypingCase {
    const char* name;
    int kind;
    const char* keys;
    const char* text; // what the edit holds afterwards
    int beeps; // every refused key beeps
};

class InputTyping : public InputBox, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(InputTyping, KeyFilterOfTheKind)
{
    const TypingCase& c = GetParam();
    BeepCounter beeps;
    modal.Next<TFormGet>([&](TFormGet& f) {
        Type(f, QString::fromUtf8(c.keys));
        EXPECT_EQ(f.ed->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(beeps.count, c.beeps);
        QTest::keyClick(f.ed, Qt::Key_Escape);
    });
    Variant v;
    EXPECT_FALSE(InputValue(QStringLiteral("Значение"), c.kind, v));
}

INSTANTIATE_TEST_SUITE_P(Kinds, InputTyping,
    ::testing::Values(TypingCase{"IntegerDropsLetters", ivInteger, "12a3", "123", 1},
        TypingCase{"IntegerKeepsNineDigits", ivInteger, "1234567890", "123456789", 1},
        TypingCase{"IntegerSigns", ivInteger, "-5+", "-5+", 0},
        TypingCase{"FloatCommaIsTheProgramsSeparator", ivFloat, "1,5", "1,5", 0},
        TypingCase{"FloatPointBecomesComma", ivFloat, "1.5", "1,5", 0},
        TypingCase{"FloatSecondSeparatorDropped", ivFloat, "1,5,2.7", "1,527", 2},
        TypingCase{"FloatDropsLetters", ivFloat, "-2x,e5", "-2,5", 2},
        TypingCase{"FloatKeeps14", ivFloat, "123456789012345", "12345678901234", 1},
        TypingCase{"DateDayAbove31NoPoint", ivDate, "32.", "32", 1},
        TypingCase{"DateMonthAbove12NoPoint", ivDate, "31.13.", "31.13", 1},
        TypingCase{"DateSeparatorsBecomePoints", ivDate, "31/12,2024", "31.12.2024", 0},
        TypingCase{"DateFullButImpossibleBeeps", ivDate, "31.02.2024", "31.02.2024", 1},
        TypingCase{"DateNoLeadingPoint", ivDate, ".5", "5", 1},
        TypingCase{"DateNoDoublePoint", ivDate, "5..6", "5.6", 1},
        TypingCase{"DateThreeDigitDay", ivDate, "123", "12", 1},
        TypingCase{"DateYearOfFourDigits", ivDate, "1.2.20245", "1.2.2024", 1},
        TypingCase{"DateNoThirdPoint", ivDate, "1.2.2024.", "1.2.2024", 1},
        TypingCase{"DateLetters", ivDate, "1a.b2", "1.2", 2},
        TypingCase{"TextTakesAnything", ivText, "Иванов И.И. 12/3", "Иванов И.И. 12/3", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputBox, IntegerConfirmedAsAnInteger)
{
    modal.Next<TFormGet>([](TFormGet& f) {
        Type(f, QStringLiteral("12a3"));
        Ok(f);
    });
    Variant v(7);
    ASSERT_TRUE(InputValue(QStringLiteral("Количество дней"), ivInteger, v));
    EXPECT_EQ(v.Type(), VarType::Integer);
    EXPECT_EQ(v.AsInteger(), 123);
}

TEST_F(InputBox, FloatWithEitherSeparatorIsAccepted)
{
    // The old box turned "," into "." and then refused "1.5" under the
    // Russian separator: no fraction could ever be entered.
    for (const char* keys : {"1,5", "1.5"}) {
        SCOPED_TRACE(keys);
        modal.Next<TFormGet>([&](TFormGet& f) {
            Type(f, QString::fromLatin1(keys));
            QTest::keyClick(f.ed, Qt::Key_Return);
        });
        Variant v;
        ASSERT_TRUE(InputValue(QStringLiteral("Коэффициент"), ivFloat, v));
        EXPECT_EQ(v.Type(), VarType::Double);
        EXPECT_DOUBLE_EQ(v.AsDouble(), 1.5);
    }
}

TEST_F(InputBox, PastedPointStillConverts)
{
    modal.Next<TFormGet>([](TFormGet& f) {
        f.ed->setText(QStringLiteral("2.25")); // as a paste leaves it
        Ok(f);
    });
    Variant v;
    ASSERT_TRUE(InputValue(QStringLiteral("Коэффициент"), ivFloat, v));
    EXPECT_DOUBLE_EQ(v.AsDouble(), 2.25);
}

TEST_F(InputBox, DateConfirmedAndEscLeavesTheValue)
{
    modal.Next<TFormGet>([](TFormGet& f) {
        Type(f, QStringLiteral("31.12.2024"));
        Ok(f);
    });
    modal.Next<TFormGet>([](TFormGet& f) {
        Type(f, QStringLiteral("01.01.2020"));
        QTest::keyClick(f.ed, Qt::Key_Escape);
    });
    TDateTime d = 0;
    ASSERT_TRUE(InputDate(QStringLiteral("Дата приказа"), d));
    EXPECT_EQ(d, EncodeDate(2024, 12, 31));
    EXPECT_FALSE(InputDate(QStringLiteral("Дата приказа"), d));
    EXPECT_EQ(d, EncodeDate(2024, 12, 31));
}

TEST_F(InputBox, TheCurrentValueIsShownSelected)
{
    modal.Next<TFormGet>([](TFormGet& f) {
        EXPECT_EQ(f.ed->text(), "15.03.2010");
        EXPECT_EQ(f.ed->selectedText(), "15.03.2010");
        EXPECT_EQ(QApplication::focusWidget(), f.ed);
        Type(f, QStringLiteral("1.4.2011")); // typing replaces it
        Ok(f);
    });
    modal.Next<TFormGet>([](TFormGet& f) {
        EXPECT_EQ(f.ed->text(), "") << "no date shows an empty edit";
        QTest::keyClick(f.ed, Qt::Key_Escape);
    });
    modal.Next<TFormGet>([](TFormGet& f) {
        EXPECT_EQ(f.ed->text(), "2,5");
        QTest::keyClick(f.ed, Qt::Key_Escape);
    });
    TDateTime d = EncodeDate(2010, 3, 15);
    ASSERT_TRUE(InputDate(QStringLiteral("Дата"), d));
    EXPECT_EQ(d, EncodeDate(2011, 4, 1));
    TDateTime none = 0;
    EXPECT_FALSE(InputDate(QStringLiteral("Дата"), none));
    Variant f(2.5);
    EXPECT_FALSE(InputValue(QStringLiteral("Ставка"), ivFloat, f));
}

TEST_F(InputBox, FailedConversionKeepsTheBoxOpenWithAMessage)
{
    // The box is the windows' own; its error box is answered by the script,
    // which is the current service while the box runs.
    ScriptedMessages msgs;
    // In the clerk's words, naming what was asked for.
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Неверное значение"))
        .Details(QStringLiteral("Поле \"Дата\": \"31.02.2024\" не является датой (ДД.ММ.ГГГГ)"));
    modal.Next<TFormGet>([](TFormGet& f) {
        Type(f, QStringLiteral("31.02.2024"));
        Ok(f);
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(QApplication::focusWidget(), f.ed);
        f.ed->clear();
        Type(f, QStringLiteral("28.02.2024"));
        Ok(f);
    });
    MessageRequest r;
    r.kind = MsgKind::Input;
    r.title = QStringLiteral("Дата");
    r.valueKind = ivDate;
    Variant v;
    ASSERT_TRUE(MessageWindows().Input(r, v));
    EXPECT_EQ(v.AsDate(), EncodeDate(2024, 2, 28));
}

TEST_F(InputBox, PasswordHidesTheTextAndShowsNoValue)
{
    modal.Next<TFormGet>([](TFormGet& f) {
        EXPECT_EQ(f.ed->echoMode(), QLineEdit::Password);
        EXPECT_EQ(f.ed->text(), "");
        Type(f, QStringLiteral("секрет1"));
        Ok(f);
    });
    Variant v(QStringLiteral("старый"));
    ASSERT_TRUE(RequestValue(QStringLiteral(" "), QStringLiteral("Пароль"), ivPassword, v));
    EXPECT_EQ(v.AsString(), "секрет1");
}

TEST_F(InputBox, ShortPromptIsTheHeaderLongOneGoesUnderIt)
{
    const QString longPrompt = QStringLiteral(
        "Введите количество календарных дней отпуска, предоставляемого сотруднику за работу в особых условиях");
    modal.Next<TFormGet>([](TFormGet& f) {
        EXPECT_EQ(f.lbHeader->text(), "Оклад");
        EXPECT_TRUE(f.lb->isHidden());
        EXPECT_EQ(f.windowTitle(), " ");
        SaveScreenshot(&f, QStringLiteral("input_short_prompt"));
        QTest::keyClick(f.ed, Qt::Key_Escape);
    });
    modal.Next<TFormGet>([&](TFormGet& f) {
        EXPECT_EQ(f.lbHeader->text(), "Введите значение");
        EXPECT_EQ(f.lb->text(), longPrompt);
        EXPECT_FALSE(f.lb->isHidden());
        EXPECT_GE(f.lb->height(), f.lb->heightForWidth(f.lb->width())) << "the prompt is not clipped";
        EXPECT_GT(f.ed->y(), f.lb->geometry().bottom());
        SaveScreenshot(&f, QStringLiteral("input_long_prompt"));
        QTest::keyClick(f.ed, Qt::Key_Escape);
    });
    Variant v;
    InputValue(QStringLiteral("Оклад"), ivFloat, v);
    InputValue(longPrompt, ivInteger, v);
}

TEST(InputFrontEnds, InputStringGoesThroughTheService)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Input).Title("Фамилия").Enter(Variant(QStringLiteral("Петров")));
    msgs.Expect(MsgKind::Input).PressEsc();
    QString s = QStringLiteral("Иванов");
    ASSERT_TRUE(InputString(QStringLiteral("Фамилия"), s));
    EXPECT_EQ(s, "Петров");
    EXPECT_FALSE(InputString(QStringLiteral("Фамилия"), s));
    EXPECT_EQ(s, "Петров");
    EXPECT_EQ(msgs.Log()[0].valueKind, ivText);
    EXPECT_EQ(msgs.Log()[0].caption, " ");
}

} // namespace
