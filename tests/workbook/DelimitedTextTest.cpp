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

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << c.name;
}

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
    EXPECT_NE(readFailure(path).find("the quoted field starting on line 2 never ends"), std::string::npos);
}

// The file is read in pieces: what crosses a piece's border must read the
// same as what does not.
TEST(DelimitedTextPieces, FieldsLineEndsAndCharactersAcrossPieceBorders)
{
    QTemporaryDir dir;
    for (int shift = 0; shift < 8; ++shift) {
        // Row 1 ends near the end of the first 64 KB piece, so that its CR LF
        // and then each part of row 2's quoted field (its quote, the doubled
        // quote, the CR LF inside it) in turn cross the border.
        QByteArray text = "x;" + QByteArray(65533 - shift, 'a') + "\r\n";
        text += "\"q;\"\"\r\nЖ\";Жж\r\n";
        text += "last;row\n";
        const QString path = writeFile(dir, QStringLiteral("pieces%1.csv").arg(shift), text);
        auto book = openWorkbook(path, cLocale());
        const QStringList rows = readRows(*book, 2, 3, 1, 2);
        EXPECT_EQ(rows, (QStringList{"q;\"\r\nЖ\tЖж", "last\trow"})) << "shift " << shift;
        EXPECT_EQ(book->usedRange().lastRow, 3);
    }
}

TEST(DelimitedTextPieces, EncodingIsDecidedByTheWholeFile)
{
    QTemporaryDir dir;
    // UTF-8 for 100 KB, then one Windows-1251 byte: the file is Windows-1251.
    const QByteArray mixed = QByteArray("a;b\n") + QByteArray(100000, 'x') + "\n\xC6;1\n";
    auto book = openWorkbook(writeFile(dir, QStringLiteral("late.csv"), mixed), cLocale());
    EXPECT_EQ(book->cellText(3, 1), QStringLiteral("Ж"));
    // A UTF-8 letter split between two pieces keeps the file UTF-8.
    const QByteArray split = QByteArray(65535, 'y') + "Ж;1\n";
    book = openWorkbook(writeFile(dir, QStringLiteral("split.csv"), split), cLocale());
    EXPECT_EQ(book->cellText(1, 1), QString(65535, QLatin1Char('y')) + QStringLiteral("Ж"));
}

TEST(DelimitedTextPieces, AnOversizedFieldIsOneUnreadableCell)
{
    QTemporaryDir dir;
    QByteArray text = "before;\"";
    text += QByteArray(int(kMaxCellTextBytes) + 10, 'z');
    text += "\";after\nnext;row\n";
    const QString path = writeFile(dir, QStringLiteral("huge.csv"), text);
    auto book = openWorkbook(path, cLocale());
    EXPECT_EQ(book->cellText(1, 1), QStringLiteral("before"));
    EXPECT_EQ(book->cellText(1, 3), QStringLiteral("after"));
    EXPECT_EQ(book->cellText(2, 2), QStringLiteral("row"));
    EXPECT_EQ(errorOf([&] { book->cellText(1, 2); }),
              QString::fromUtf8(texts::kCannotReadCell)
                  .arg(1)
                  .arg(2)
                  .arg(path, QString::fromUtf8(texts::kCellTooLarge).arg(16))
                  .toStdString());
}

} // namespace
