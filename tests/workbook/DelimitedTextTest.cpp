// Delimited text: delimiter and encoding detection, quoting rules.

#include "WorkbookTestSupport.h"

#include "import/workbook/WorkbookErrors.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

struct TextCase {
    const char *name;
    QByteArray bytes;
    QStringList rows; // rows 1..n, columns 1..3
};

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

QByteArray utf16le(const QString &text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

const TextCase kTexts[] = {
    {"comma", "a,b,c\n1,2,3\n", {"a\tb\tc", "1\t2\t3"}},
    {"semicolon_with_decimal_commas",
     "name;price\nx;1,5\ny;2,25\n",
     {"name\tprice\t", "x\t1,5\t", "y\t2,25\t"}},
    {"tab", "a\tb,c\n1\t2;3\n", {"a\tb,c\t", "1\t2;3\t"}},
    {"quoted_delimiters_quotes_and_line_breaks",
     "\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\"\nx,,z\n",
     {"a,b\tsay \"hi\"\ttwo\r\nlines", "x\t\tz"}},
    {"crlf_and_cr_line_ends_without_final_break", "a;b\r\nc;d\re;f", {"a\tb\t", "c\td\t", "e\tf\t"}},
    {"utf8_with_byte_order_mark", "\xEF\xBB\xBFимя;город\nИван;Москва\n", {"имя\tгород\t", "Иван\tМосква\t"}},
    {"utf8_without_byte_order_mark", "имя;город\nИван;Москва\n", {"имя\tгород\t", "Иван\tМосква\t"}},
    {"windows_1251", cp1251(QStringLiteral("имя;город\nИван;Москва\n")), {"имя\tгород\t", "Иван\tМосква\t"}},
    {"utf16_with_byte_order_mark", utf16le(QStringLiteral("a\tб\n1\t2\n")), {"a\tб\t", "1\t2\t"}},
    {"single_column", "one\ntwo\n", {"one\t\t", "two\t\t"}},
    {"blank_lines_keep_their_rows", "a,b\n\nc,d\n", {"a\tb\t", "\t\t", "c\td\t"}},
    {"text_stays_text", "007,1e3,01.02.2024\n", {"007\t1e3\t01.02.2024"}},
};

class DelimitedText : public testing::TestWithParam<TextCase>
{
};

TEST_P(DelimitedText, FieldsAsWritten)
{
    QTemporaryDir dir;
    auto book = openWorkbook(writeFile(dir, QStringLiteral("data.csv"), GetParam().bytes), cLocale());
    EXPECT_EQ(book->format(), WorkbookFormat::DelimitedText);
    EXPECT_EQ(readRows(*book, 1, int(GetParam().rows.size()), 1, 3), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, DelimitedText, testing::ValuesIn(kTexts),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DelimitedTextFaults, UnterminatedQuoteIsNamedNotSwallowed)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("bad.csv"), "a,b\n\"open,c\nd,e\n");
    EXPECT_NE(errorOf([&] {
                  openWorkbook(path, cLocale());
              }).find("the quoted field starting on line 2 never ends"),
              std::string::npos);
}

} // namespace
