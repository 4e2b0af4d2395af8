#include "foundation/TextMeasure.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace {
QFont DejaVu(int pointSize, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"), pointSize);
    f.setBold(bold);
    return f;
}
} // namespace

TEST(FuncsTextMeasure, UsesTheInstalledFont)
{
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")));
    EXPECT_EQ(QFontInfo(DejaVu(10)).family(), QStringLiteral("DejaVu Sans"));
}

TEST(FuncsTextMeasure, LinesAndWrapping)
{
    const QFont font = DejaVu(10);
    const QString word = QStringLiteral("Начисление");
    const int line = TextHeightInFont(word, font);
    const int width = TextWidthInFont(word, font);
    EXPECT_GT(line, 0);
    EXPECT_GT(width, 0);
    EXPECT_GT(TextWidthInFont(word + word, font), width);
    EXPECT_GT(TextWidthInFont(word, DejaVu(20)), width) << "a larger font is wider";
    EXPECT_GE(TextWidthInFont(word, DejaVu(10, true)), width);
    EXPECT_EQ(MeasureTextLine(word, font), QSize(width, line));

    // Line breaks in the text start new lines, CRLF as well as LF.
    EXPECT_GE(TextHeightInFont(QStringLiteral("a\r\nb\r\nc"), font), 3 * line - 2);
    EXPECT_EQ(TextHeightInFont(QStringLiteral("a\r\nb"), font), TextHeightInFont(QStringLiteral("a\nb"), font));

    // A tab is expanded to more than a blank.
    EXPECT_GT(TextWidthInFont(QStringLiteral("a\tb"), font), TextWidthInFont(QStringLiteral("a b"), font));

    // Wrapping a sentence to the width of one word makes several lines, each
    // no wider than the longest word.
    const QString sentence = QStringLiteral("Сумма начисления за месяц по основному месту работы");
    const QSize wrapped = MeasureWrappedText(sentence, font, width);
    EXPECT_GT(wrapped.height(), line);
    EXPECT_LE(wrapped.width(), TextWidthInFont(QStringLiteral("начисления"), font) + 1);
    EXPECT_EQ(WrappedTextHeight(sentence, font, width), wrapped.height());
    EXPECT_EQ(MeasureText(sentence, font, width, false).height(), line) << "no wrapping without the flag";
    EXPECT_EQ(WrappedTextHeight(sentence, font, 10000), line) << "fits on one line";

    // A date edit is wider than the date it shows.
    EXPECT_GT(DateMaskWidth(font), TextWidthInFont(QStringLiteral("99/99/9999"), font));
    EXPECT_GT(DateMaskWidth(DejaVu(14)), DateMaskWidth(font));
}
