#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace rowpour::platform;

TEST(CodePage, EveryByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = fromCp1251(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1251(text), all);
    EXPECT_EQ(text.mid(0xC0, 2), QStringLiteral("АБ"));
    EXPECT_EQ(text.mid(0xA8, 1) + text.mid(0xB8, 2) + text.mid(0x88, 1), QStringLiteral("Ёё№€"));
}

TEST(CodePage, CharactersOutsideBecomeQuestionMarks)
{
    const QString text = QStringLiteral("a表b😀c");
    EXPECT_FALSE(fitsCp1251(text));
    EXPECT_EQ(toCp1251(text), QByteArray("a?b?c"));
}

TEST(CodePage, FileText)
{
    const QString cyrillic = QStringLiteral("Строка, №1");
    EXPECT_EQ(encodeFileText(cyrillic), toCp1251(cyrillic));
    EXPECT_EQ(decodeFileText(encodeFileText(cyrillic)), cyrillic);

    const QString wide = QStringLiteral("Строка 表");
    EXPECT_EQ(encodeFileText(wide), QByteArray("\xEF\xBB\xBF") + wide.toUtf8());
    EXPECT_EQ(decodeFileText(encodeFileText(wide)), wide);
    // Without the byte order mark, UTF-8 bytes are read as Windows-1251.
    EXPECT_EQ(decodeFileText(QStringLiteral("Я").toUtf8()), QStringLiteral("РЇ"));
}
