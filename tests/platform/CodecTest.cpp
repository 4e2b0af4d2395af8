#include "platform/Codec.h"

#include <gtest/gtest.h>

TEST(Codec, Cp1251RoundTripsEveryByte)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = FromCp1251(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToCp1251(text), all);
}

TEST(Codec, Cp1251KnownLetters)
{
    EXPECT_EQ(ToCp1251(QStringLiteral("Ёё№")), QByteArray("\xA8\xB8\xB9"));
    EXPECT_EQ(ToCp1251(QStringLiteral("АЯая")), QByteArray("\xC0\xDF\xE0\xFF"));
    EXPECT_EQ(FromCp1251(QByteArray("\xC0\xE1\xE2")), QStringLiteral("Абв"));
}

TEST(Codec, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(ToCp1251(QStringLiteral("aĀ€b")),
        QByteArray("a?\x88"
                   "b"));
    EXPECT_FALSE(IsCp1251Text(QStringLiteral("Ā")));
    EXPECT_TRUE(IsCp1251Text(QStringLiteral("Привет, world №1")));
}

TEST(Codec, Cp866)
{
    EXPECT_EQ(FromCp866(QByteArray("\x80\xA0\xF0\xF1")), QStringLiteral("АаЁё"));
    EXPECT_EQ(ToCp866(QStringLiteral("Яя")), QByteArray("\x9F\xEF"));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(ToCp866(FromCp866(all)), all);
}
