// Opening by path, recognising the format by content, and reading cells
// outside the sheet.

#include "WorkbookTestSupport.h"

#include "import/workbook/WorkbookErrors.h"

#include <QDir>

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

} // namespace
