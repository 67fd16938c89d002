// Opening by path, recognising the format by content, and reading cells
// outside the sheet.

#include "WorkbookTestSupport.h"

#include "import/workbook/WorkbookErrors.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

std::string cannotOpen(const QString &path, const char *reason)
{
    return QString::fromUtf8(texts::kCannotOpen).arg(path, QString::fromUtf8(reason)).toStdString();
}

TEST(OpenWorkbook, PathInOnePairOfQuotes)
{
    EXPECT_EQ(unquotedPath(QStringLiteral("\"/a b/c.xlsx\"")), QStringLiteral("/a b/c.xlsx"));
    EXPECT_EQ(unquotedPath(QStringLiteral("/a b/c.xlsx")), QStringLiteral("/a b/c.xlsx"));
    EXPECT_EQ(unquotedPath(QStringLiteral("\"")), QStringLiteral("\""));
    EXPECT_EQ(unquotedPath(QStringLiteral("\"\"x\"\"")), QStringLiteral("\"x\""));

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("with blank")));
    const QString path = writeFile(dir, QStringLiteral("with blank/data.csv"), "x;y\n");
    EXPECT_EQ(openWorkbook(QLatin1Char('"') + path + QLatin1Char('"'), cLocale())->cellText(1, 2),
              QStringLiteral("y"));
}

TEST(OpenWorkbook, FormatIsRecognisedByContentNotByName)
{
    QTemporaryDir dir;
    const QString csvNamedXlsx = writeFile(dir, QStringLiteral("really-text.xlsx"), "a;b\n");
    EXPECT_EQ(openWorkbook(csvNamedXlsx, cLocale())->format(), WorkbookFormat::DelimitedText);
    const QString xlsxNamedCsv = writeZip(dir, QStringLiteral("really-xlsx.csv"),
                                          xlsxParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)"));
    EXPECT_EQ(openWorkbook(xlsxNamedCsv, cLocale())->format(), WorkbookFormat::Xlsx);
}

TEST(OpenWorkbook, FilesThatAreNoWorkbookAreNamed)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.xlsx"));
    const QString binary =
        writeFile(dir, QStringLiteral("image.xls"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 12));
    const QString html =
        writeFile(dir, QStringLiteral("export.xls"), "<html><body><table><tr><td>1</td></tr></table>");
    const QString otherZip = writeZip(dir, QStringLiteral("archive.xlsx"), {{"readme.txt", "hello"}});
    const QString truncatedZip =
        writeFile(dir, QStringLiteral("cut.xlsx"), QByteArray("PK\x03\x04\x14\0\0\0", 8));
    const QString oldExcel =
        writeFile(dir, QStringLiteral("old.xls"), QByteArray("\x09\x04\x06\x00\x00\x00\x10\x00", 8));
    const QString encryptedOoxml = [&] {
        // An encrypted xlsx is a compound file with these streams; the header
        // alone is enough to be told apart from a damaged one.
        return writeFile(dir, QStringLiteral("secret.xlsx"),
                         QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    }();

    EXPECT_EQ(errorOf([&] { openWorkbook(missing, cLocale()); }), cannotOpen(missing, texts::kFileMissing));
    EXPECT_EQ(errorOf([&] { openWorkbook(binary, cLocale()); }), cannotOpen(binary, texts::kNotAWorkbook));
    EXPECT_EQ(errorOf([&] { openWorkbook(html, cLocale()); }), cannotOpen(html, texts::kXmlOrHtml));
    EXPECT_EQ(errorOf([&] { openWorkbook(otherZip, cLocale()); }),
              cannotOpen(otherZip, texts::kNotAWorkbook));
    EXPECT_EQ(errorOf([&] { openWorkbook(oldExcel, cLocale()); }),
              cannotOpen(oldExcel, texts::kOldXlsUnsupported));
    EXPECT_NE(errorOf([&] { openWorkbook(truncatedZip, cLocale()); }).find("it is damaged (zip: "),
              std::string::npos);
    EXPECT_NE(
        errorOf([&] { openWorkbook(encryptedOoxml, cLocale()); }).find("it is damaged (compound file: "),
        std::string::npos);
    EXPECT_NE(errorOf([&] {
                  openWorkbook(dir.path(), cLocale());
              }).find("the file cannot be read (it is a folder)"),
              std::string::npos);
}

struct BoundsCase {
    const char *name;
    int row;
    int column;
    const char *reason;
    int limit;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const BoundsCase &c, std::ostream *os)
{
    *os << c.name;
}

const BoundsCase kBounds[] = {
    {"row_zero", 0, 1, texts::kRowBelowOne, 0},
    {"negative_row", -5, 1, texts::kRowBelowOne, 0},
    {"column_zero", 1, 0, texts::kColumnBelowOne, 0},
    {"row_beyond_the_last", 1048577, 1, texts::kRowBeyondLimit, 1048576},
    {"column_beyond_the_last", 1, 16385, texts::kColumnBeyondLimit, 16384},
};

class CellBounds : public testing::TestWithParam<BoundsCase>
{
};

TEST_P(CellBounds, OutsideTheSheetFailWithTheReason)
{
    QTemporaryDir dir;
    const QString path =
        writeZip(dir, QStringLiteral("b.xlsx"), xlsxParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)"));
    auto book = openWorkbook(path, cLocale());
    const BoundsCase &c = GetParam();
    QString reason = QString::fromUtf8(c.reason);
    if (c.limit != 0)
        reason = reason.arg(c.limit);
    EXPECT_EQ(
        errorOf([&] { book->cellText(c.row, c.column); }),
        QString::fromUtf8(texts::kCannotReadCell).arg(c.row).arg(c.column).arg(path, reason).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Cases, CellBounds, testing::ValuesIn(kBounds),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CellBounds, EachFormatHasItsOwnLimits)
{
    auto xls = openWorkbook(fixture(QStringLiteral("cells.xls")), cLocale());
    EXPECT_EQ(xls->cellText(65536, 256), QString());
    EXPECT_FALSE(errorOf([&] { xls->cellText(65537, 1); }).empty());
    EXPECT_FALSE(errorOf([&] { xls->cellText(1, 257); }).empty());
    QTemporaryDir dir;
    auto text = openWorkbook(writeFile(dir, QStringLiteral("t.csv"), "a\n"), cLocale());
    EXPECT_EQ(text->cellText(5000000, 16384), QString());
    EXPECT_FALSE(errorOf([&] { text->cellText(1, 16385); }).empty());
}

TEST(OpenWorkbook, EmptyFilesAndWhatIsNoRegularFileAreRefusedWithoutBlocking)
{
    QTemporaryDir dir;
    const QString empty = writeFile(dir, QStringLiteral("empty.xlsx"), QByteArray());
    EXPECT_EQ(errorOf([&] { openWorkbook(empty, cLocale()); }), cannotOpen(empty, texts::kFileEmpty));
    // A named pipe nobody writes to would block an open for reading.
    const QString fifo = dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::string notRegular = QString::fromUtf8(texts::kNotARegularFile)
                                       .arg(QStringLiteral("a named pipe, a device or a socket"))
                                       .toStdString();
    EXPECT_EQ(errorOf([&] { openWorkbook(fifo, cLocale()); }), cannotOpen(fifo, notRegular.c_str()));
    EXPECT_EQ(errorOf([&] { openWorkbook(QStringLiteral("/dev/null"), cLocale()); }),
              cannotOpen(QStringLiteral("/dev/null"), notRegular.c_str()));
    EXPECT_EQ(errorOf([&] { listSheets(fifo); }), cannotOpen(fifo, notRegular.c_str()));
}

// A sheet of `rows` rows: "r<row>" in column 1, the row number in column 2.
QString numberedRows(const QTemporaryDir &dir, int rows)
{
    std::string data;
    for (int r = 1; r <= rows; ++r)
        data += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
                "\" t=\"inlineStr\"><is><t>r" + std::to_string(r) + "</t></is></c><c r=\"B" +
                std::to_string(r) + "\"><v>" + std::to_string(r) + "</v></c></row>";
    return writeZip(dir, QStringLiteral("rows.xlsx"), xlsxParts(data));
}

TEST(ReadingForward, RowsInOrderReadTheFileOnceAndARowBehindTheWindowReadsItAgain)
{
    QTemporaryDir dir;
    auto book = openWorkbook(numberedRows(dir, 3000), cLocale());
    for (int r = 1; r <= 3000; r += 7)
        ASSERT_EQ(readRows(*book, r, r, 1, 2), QStringList{QStringLiteral("r%1\t%1").arg(r)});
    EXPECT_EQ(book->passes(), 1);
    // Rows just behind are still held; the start of the sheet is not.
    EXPECT_EQ(book->cellText(2990, 1), QStringLiteral("r2990"));
    EXPECT_EQ(book->passes(), 1);
    EXPECT_EQ(book->cellText(5, 2), QStringLiteral("5"));
    EXPECT_EQ(book->passes(), 2);
    EXPECT_EQ(book->cellText(6, 1), QStringLiteral("r6"));
    EXPECT_EQ(book->cellText(10000, 1), QString());
    // Read to its end, the sheet knows its used range without another pass.
    const CellRange used = book->usedRange();
    EXPECT_EQ(std::tie(used.firstRow, used.firstColumn, used.lastRow, used.lastColumn),
              std::tuple(1, 1, 3000, 2));
    EXPECT_EQ(book->passes(), 2);
}

TEST(ReadingForward, TheUsedRangeIsAPassOfItsOwnThatLeavesTheWindowWhereItIs)
{
    QTemporaryDir dir;
    auto book = openWorkbook(numberedRows(dir, 500), cLocale());
    EXPECT_EQ(book->cellText(100, 1), QStringLiteral("r100"));
    EXPECT_EQ(book->usedRange().lastRow, 500);
    EXPECT_EQ(book->passes(), 2);
    EXPECT_EQ(book->cellText(101, 1), QStringLiteral("r101"));
    EXPECT_EQ(book->passes(), 2);
}

TEST(ReadingForward, AFaultFurtherOnFailsTheReadNamingTheFileAndThePart)
{
    QTemporaryDir dir;
    std::string data;
    for (int r = 1; r <= 200; ++r)
        data += "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(r) + "</v></c></row>";
    data += R"(<row r="201"><c t="s"><v>4</v></c></row>)";
    const QString path = writeZip(dir, QStringLiteral("late.xlsx"), xlsxParts(data));
    auto book = openWorkbook(path, cLocale());
    EXPECT_EQ(book->cellText(200, 1), QStringLiteral("200"));
    const std::string expected =
        QString::fromUtf8(texts::kCannotRead)
            .arg(path, QStringLiteral("it is damaged (part xl/worksheets/sheet1.xml: cell A201: the shared "
                                      "string \"4\" does not exist)"))
            .toStdString();
    EXPECT_EQ(errorOf([&] { book->cellText(201, 1); }), expected);
    // Asked again, the file is read again and fails the same way.
    EXPECT_EQ(errorOf([&] { book->cellText(201, 1); }), expected);
    EXPECT_EQ(book->cellText(3, 1), QStringLiteral("3"));
}

} // namespace
