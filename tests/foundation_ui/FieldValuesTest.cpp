#include "foundation/ui/edits/FieldValues.h"
#include "UiTestHelpers.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

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

} // namespace
