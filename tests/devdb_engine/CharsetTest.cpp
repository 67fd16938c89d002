// Text conversions between the engine's UTF-8 and Oracle's character sets.

#include "devdb/engine/Charset.h"

#include <gtest/gtest.h>

namespace devdb
{
namespace
{

TEST(Charset, EncodeDecodeAndReplace)
{
    const std::string privet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"; // Привет
    struct Case {
        int charset;
        std::string encoded; // of "Привет ÿ€ \U0001F600"
    } cases[] = {
        {charset::CL8MSWIN1251, "\xCF\xF0\xE8\xE2\xE5\xF2 ?\x88 ?"},
        {charset::CL8KOI8R, "\xF0\xD2\xC9\xD7\xC5\xD4 ?? ?"},
        {charset::WE8MSWIN1252, "\xBF\xBF\xBF\xBF\xBF\xBF \xFF\x80 \xBF"},
        {charset::WE8ISO8859P1, "\xBF\xBF\xBF\xBF\xBF\xBF \xFF\xBF \xBF"},
        {charset::US7ASCII, "?????? ?? ?"},
        {charset::UTF8, privet + " \xC3\xBF\xE2\x82\xAC \xED\xA0\xBD\xED\xB8\x80"},
    };
    const std::string text = privet + " \xC3\xBF\xE2\x82\xAC \xF0\x9F\x98\x80";
    for (const auto &c : cases) {
        SCOPED_TRACE(findCharset(c.charset)->name);
        EXPECT_EQ(encodeText(text, c.charset), c.encoded);
        EXPECT_EQ(encodedLength(text, c.charset), c.encoded.size());
        // What the set holds comes back unchanged.
        EXPECT_EQ(encodeText(decodeText(c.encoded, c.charset), c.charset), c.encoded);
    }
    EXPECT_EQ(decodeText("\xED\xA0\xBD\xED\xB8\x80", charset::UTF8), "\xF0\x9F\x98\x80");
    // Bytes that are no character of the set, and broken UTF-8, read as U+FFFD.
    EXPECT_EQ(decodeText("a\x98", charset::CL8MSWIN1251), "a\xEF\xBF\xBD");
    EXPECT_EQ(decodeText("\xC3", charset::UTF8), "\xEF\xBF\xBD");
    // An overlong form is no character: "/" written in three or four bytes
    // must not slip through as "/".
    EXPECT_EQ(encodeText("\xE0\x80\xAF", charset::US7ASCII), "???");
    EXPECT_EQ(encodeText("\xF0\x80\x80\xAF", charset::US7ASCII), "????");
    EXPECT_EQ(restrictText(text, charset::CL8MSWIN1251), privet + " ?\xE2\x82\xAC ?");
    EXPECT_EQ(characterCount(text), 11u);
    EXPECT_EQ(utf16Length(text), 12u);
}

TEST(Charset, LetterCaseKeepsByteOffsets)
{
    const std::string mixed = "Grüße Ёлка ÿ";
    EXPECT_EQ(upperText(mixed), "GRÜßE ЁЛКА Ÿ");
    EXPECT_EQ(lowerText(upperText(mixed)), "grüße ёлка ÿ");
    EXPECT_EQ(upperText(mixed).size(), mixed.size());
    EXPECT_EQ(findCharset("al32utf8")->id, charset::AL32UTF8);
    EXPECT_EQ(findCharset("KLINGON8"), nullptr);
}

} // namespace
} // namespace devdb
