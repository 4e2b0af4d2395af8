#include "foundation/ui/edits/FieldValues.h"
#include "UiTestHelpers.h"
#include "foundation/ui/edits/DateEdit.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>

namespace {

QString ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

TEST(FieldValues, TypedTextsConvertOrNameTheFieldInRussian)
{
    EXPECT_DOUBLE_EQ(FieldFloat(QStringLiteral(" 95 000,5 "), QStringLiteral("Оклад")), 95000.5);
    EXPECT_DOUBLE_EQ(FieldFloat(QStringLiteral("12.25"), QStringLiteral("Оклад")), 12.25);
    EXPECT_EQ(FieldInteger(QStringLiteral("-5"), QStringLiteral("X")), -5);
    EXPECT_EQ(FieldDate(QStringLiteral("09.12.2026"), QStringLiteral("Дата")), EncodeDate(2026, 12, 9));
    const struct {
        std::function<void()> read;
        const char* message;
    } refused[] = {
        {[] { FieldFloat(QStringLiteral("27O93"), FieldAt(QStringLiteral("Сумма"), 3)); },
            "Неверное значение|Поле \"Сумма, строка 3\": \"27O93\" не является числом"},
        {[] { FieldInteger(QStringLiteral("x-5"), QStringLiteral("X")); },
            "Неверное значение|Поле \"X\": \"x-5\" не является целым числом"},
        {[] { FieldDate(QStringLiteral("32"), QStringLiteral("Дата")); },
            "Неверное значение|Поле \"Дата\": \"32\" не является датой (ДД.ММ.ГГГГ)"},
        {[] { FieldFloat(QStringLiteral("a|b"), QString()); }, "Неверное значение|\"a||b\" не является числом"},
        {[] { RequireNotNegative(-95000, QStringLiteral("Оклад")); },
            "Неверное значение|Поле \"Оклад\": значение не может быть отрицательным"},
        {[] { RequirePeriod(EncodeDate(2026, 12, 31), EncodeDate(2026, 1, 1), QStringLiteral("Налоговый год")); },
            "Неверный период|Налоговый год: конец периода 01.01.2026 раньше его начала 31.12.2026"},
    };
    for (const auto& r : refused)
        EXPECT_EQ(ErrorOf(r.read), QString::fromUtf8(r.message));
    EXPECT_EQ(ErrorOf([] { RequireNotNegative(0, QStringLiteral("Оклад")); }), "(no error)");
    EXPECT_EQ(ErrorOf([] { RequirePeriod(EncodeDate(2026, 1, 1), 0, QStringLiteral("Год")); }), "(no error)")
        << "an open end is no error";
}

TEST(FieldValues, AFieldIsNamedByItsLabelAndRefusesLettersAsTheyAreTyped)
{
    QDialog dialog;
    auto* form = new QFormLayout(&dialog);
    auto* salary = new QLineEdit(&dialog);
    auto* inRow = new QLineEdit(&dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(inRow);
    form->addRow(QStringLiteral("Оклад:"), salary);
    form->addRow(QStringLiteral("&Ставка"), row);
    EXPECT_EQ(FieldCaption(salary), QStringLiteral("Оклад"));
    EXPECT_EQ(FieldCaption(inRow), QStringLiteral("Ставка")) << "a field inside a row of the form";

    const struct {
        TypedKind kind;
        const char* typed;
        const char* kept;
    } cases[] = {
        {TypedKind::Float, "27O93,5", "2793,5"},
        {TypedKind::Integer, "-1a2.5", "-125"},
        {TypedKind::Date, "09x.12/2026", "09.12/2026"},
        {TypedKind::Text, "27O", "27O"},
    };
    for (const auto& c : cases) {
        salary->clear();
        FilterTypedChars(salary, c.kind);
        BeepCounter beeps;
        for (QChar ch : QString::fromUtf8(c.typed))
            QTest::keyClick(salary, ch.toLatin1());
        EXPECT_EQ(salary->text(), QString::fromUtf8(c.kept)) << c.typed;
        EXPECT_EQ(beeps.count, QString::fromUtf8(c.typed).size() - QString::fromUtf8(c.kept).size()) << c.typed;
    }
}

// One table for every date field of the program: where the clerk clicks,
// what he types and how he leaves.
TEST(FieldValues, ADateFieldTakesTheWholeTypedDateFromAnyPlace)
{
    QDialog dialog;
    auto* form = new QFormLayout(&dialog);
    auto* before = new QLineEdit(&dialog);
    Tyq_DateEdit* date = MakeDateEdit(&dialog, "edDateOrder");
    auto* after = new QLineEdit(&dialog);
    form->addRow(QStringLiteral("Номер"), before);
    form->addRow(QStringLiteral("Дата приказа"), date);
    form->addRow(QStringLiteral("Сумма"), after);
    ASSERT_TRUE(ShowActive(&dialog));
    auto* line = date->findChild<QLineEdit*>();
    ASSERT_NE(line, nullptr);
    const auto x = [&](int chars) {
        return line->contentsRect().left() + 3 + line->fontMetrics().horizontalAdvance(line->text().left(chars)) + 1;
    };
    enum Way { ClickDay, ClickMonth, ClickYear, ClickPastEnd, TabIn };
    const char* const refused
        = "Неверное значение|Поле \"Дата приказа\": \"32.13.2026\" не является датой (ДД.ММ.ГГГГ)";
    const struct {
        Way in;
        const char* typed; // "\b" Backspace
        Qt::Key leave; // Qt::Key_unknown: stays
        Qt::KeyboardModifiers mods;
        const char* shown;
        QWidget* focus;
        const char* message;
    } cases[] = {
        {ClickDay, "16.11.2026", Qt::Key_Tab, {}, "16.11.2026", after, nullptr},
        {ClickMonth, "16.11.2026", Qt::Key_Tab, {}, "16.11.2026", after, nullptr},
        {ClickYear, "31.12.2027", Qt::Key_Tab, {}, "31.12.2027", after, nullptr},
        {ClickPastEnd, "16112026", Qt::Key_Backtab, Qt::ShiftModifier, "16.11.2026", before, nullptr},
        {TabIn, "1.5.26", Qt::Key_Tab, {}, "01.05.2026", after, nullptr},
        {TabIn, "", Qt::Key_Tab, {}, "09.12.2026", after, nullptr},
        {TabIn, "", Qt::Key_Backtab, Qt::ShiftModifier, "09.12.2026", before, nullptr},
        {ClickMonth, "16.1", Qt::Key_Escape, {}, "09.12.2026", date, nullptr},
        {ClickMonth, "31.12.2027", Qt::Key_Escape, {}, "09.12.2026", date, nullptr},
        {ClickDay, "\b", Qt::Key_Tab, {}, " ", after, nullptr},
        {ClickMonth, "32.13.2026", Qt::Key_Tab, {}, "32.13.2026", date, refused},
        {ClickYear, "32.13.2026", Qt::Key_Return, {}, "32.13.2026", date, refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("way %1, typed \"%2\"").arg(c.in).arg(QString::fromUtf8(c.typed)).toStdString());
        date->SetValue(EncodeDate(2026, 12, 9));
        before->setFocus(Qt::OtherFocusReason);
        ScriptedMessages msgs;
        if (c.message)
            msgs.Expect(MsgKind::Error).Details(QString::fromUtf8(c.message).section(QLatin1Char('|'), 1));
        if (c.in == TabIn) {
            QTest::keyClick(before, Qt::Key_Tab);
        } else {
            const int at[] = {1, 4, 8};
            const int px = c.in == ClickPastEnd ? line->width() - 8 : x(at[c.in]);
            QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(px, line->height() / 2));
        }
        ASSERT_TRUE(date->hasFocus());
        EXPECT_EQ(line->selectedText(), QStringLiteral("09.12.2026")) << "the focus selects the whole date";
        for (QChar ch : QString::fromUtf8(c.typed))
            if (ch == QLatin1Char('\b'))
                QTest::keyClick(date, Qt::Key_Backspace);
            else
                QTest::keyClick(date, ch.toLatin1());
        QTest::keyClick(QApplication::focusWidget(), c.leave, c.mods);
        EXPECT_EQ(line->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(QApplication::focusWidget(), c.focus);
        if (!c.message && c.focus != date)
            EXPECT_EQ(date->Value(),
                QString::fromUtf8(c.shown).trimmed().isEmpty() ? 0 : StrToDate(QString::fromUtf8(c.shown)));
        if (c.message) {
            EXPECT_EQ(date->Value(), EncodeDate(2026, 12, 9)) << "nothing taken";
            QTest::keyClick(date, Qt::Key_Escape);
            EXPECT_EQ(line->text(), QStringLiteral("09.12.2026"));
        }
    }
    date->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(date, Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(date->calendarWidget()->isVisible()) << "Alt+Down opens the calendar";
}

} // namespace
