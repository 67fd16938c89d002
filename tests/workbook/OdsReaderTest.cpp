// ods: a file written by LibreOffice, and hand-made content for repeats, text
// markup and faults.

#include "WorkbookTestSupport.h"

#include "import/workbook/WorkbookErrors.h"

#include <gtest/gtest.h>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

const std::string kMime = "application/vnd.oasis.opendocument.spreadsheet";

std::string content(const std::string &tables)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content )"
           R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
           R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
           R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
           R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0">)"
           "<office:body><office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document-content>";
}

QString writeOds(const QTemporaryDir &dir, const std::string &contentXml, const std::string &mime = kMime)
{
    return writeZip(dir, QStringLiteral("book.ods"), {{"mimetype", mime}, {"content.xml", contentXml}});
}

TEST(OdsFixture, FileWrittenByLibreOffice)
{
    auto book = openWorkbook(fixture(QStringLiteral("cells.ods")), cLocale());
    EXPECT_EQ(book->format(), WorkbookFormat::Ods);
    EXPECT_EQ(readRows(*book, 1, 7, 1, 5), (QStringList{
                                               "text\tПривет, мир\ttwo\nlines\ta  bc\\d\t",
                                               "42\t-3.5\t0.3\t1.23456789012346E+17\t1E-06",
                                               "01.03.2024\t01.03.2024 10:11:12\t10:11:12\t\t",
                                               "True\tFalse\tTrue\t\t",
                                               "#DIV/0!\t#N/A\tabcd\t\t",
                                               "\t\t\t\t",
                                               "after gap\t7\t7\t7\t",
                                           }));
    // The trailing empty rows repeated up to the last row do not count as used.
    const CellRange used = book->usedRange();
    EXPECT_EQ(std::tie(used.lastRow, used.lastColumn), std::tuple(7, 5));
    EXPECT_EQ(book->cellText(1048576, 16384), QString());
    EXPECT_EQ(openWorkbook(fixture(QStringLiteral("cells.ods")), ruLocale())->cellText(2, 3),
              QStringLiteral("0,3"));
}

struct OdsCase {
    const char *name;
    std::string table;
    QStringList rows; // rows 1..n, columns 1..3
};

const OdsCase kOds[] = {
    {"repeated_rows_and_cells_are_not_expanded",
     R"(<table:table-row table:number-rows-repeated="2"><table:table-cell office:value-type="float" office:value="5" table:number-columns-repeated="2"/><table:table-cell/></table:table-row>)"
     R"(<table:table-row table:number-rows-repeated="1048574"><table:table-cell table:number-columns-repeated="16384"/></table:table-row>)",
     {"5\t5\t", "5\t5\t", "\t\t"}},
    {"annotations_and_covered_cells",
     R"(<table:table-row><table:table-cell office:value-type="string"><office:annotation><text:p>note</text:p></office:annotation><text:p>value</text:p></table:table-cell>)"
     R"(<table:covered-table-cell/><table:table-cell office:value-type="string"><text:p>third</text:p></table:table-cell></table:table-row>)",
     {"value\t\tthird"}},
    {"text_markup",
     R"(<table:table-row><table:table-cell office:value-type="string"><text:p>a<text:span>b</text:span><text:a>c</text:a><text:s text:c="3"/>d<text:line-break/>e</text:p></table:table-cell>)"
     R"(<table:table-cell office:value-type="string"><text:p>  x   y </text:p></table:table-cell></table:table-row>)",
     {"abc   d\ne\tx y \t"}},
    {"numbers_dates_times_and_booleans",
     R"(<table:table-row><table:table-cell office:value-type="percentage" office:value="0.15"/><table:table-cell office:value-type="currency" office:value="-1234.5"/>)"
     R"(<table:table-cell office:value-type="boolean" office:boolean-value="false"/></table:table-row>)"
     R"(<table:table-row><table:table-cell office:value-type="date" office:date-value="1812-09-07"/><table:table-cell office:value-type="time" office:time-value="PT36H00M00S"/>)"
     R"(<table:table-cell office:value-type="time" office:time-value="PT00H00M30.5S"/></table:table-row>)",
     {"0.15\t-1234.5\tFalse", "07.09.1812\t31.12.1899 12:00:00\t00:00:30"}},
    {"only_the_first_table",
     R"(<table:table-row><table:table-cell office:value-type="string"><text:p>first</text:p></table:table-cell></table:table-row></table:table>)"
     R"(<table:table table:name="Two"><table:table-row><table:table-cell office:value-type="string"><text:p>second</text:p></table:table-cell></table:table-row>)",
     {"first\t\t"}},
    {"grouped_and_header_rows",
     R"(<table:table-header-rows><table:table-row><table:table-cell office:value-type="float" office:value="1"/></table:table-row></table:table-header-rows>)"
     R"(<table:table-row-group><table:table-row><table:table-cell office:value-type="float" office:value="2"/></table:table-row></table:table-row-group>)",
     {"1\t\t", "2\t\t"}},
};

class OdsContent : public testing::TestWithParam<OdsCase>
{
};

TEST_P(OdsContent, ReadAsWritten)
{
    QTemporaryDir dir;
    auto book = openWorkbook(
        writeOds(dir, content(R"(<table:table table:name="One">)" + GetParam().table + "</table:table>")),
        cLocale());
    EXPECT_EQ(readRows(*book, 1, int(GetParam().rows.size()), 1, 3), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, OdsContent, testing::ValuesIn(kOds),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OdsFaults, EndWithAMessageNamingTheFile)
{
    QTemporaryDir dir;
    const struct {
        std::string contentXml;
        std::string mime;
        std::string reason;
    } cases[] = {
        {R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY a "a">]><x>&a;</x>)", kMime,
         "document type declarations are not allowed"},
        {content(""), kMime, texts::kNoSheet},
        {content("<table:table>"), kMime, "part content.xml"},
        {content(""), "application/vnd.oasis.opendocument.text", texts::kNotASpreadsheet},
        {content(
             R"(<table:table><table:table-row><table:table-cell table:number-columns-repeated="16384"/><table:table-cell office:value-type="float" office:value="1"/></table:table-row></table:table>)"),
         kMime, "the sheet has at most 16384 columns"},
        {content(
             R"(<table:table><table:table-row><table:table-cell office:value-type="float" office:value="1,5"/></table:table-row></table:table>)"),
         kMime, "row 1, column 1: the number \"1,5\" is invalid"},
    };
    for (const auto &c : cases) {
        const QString path = writeOds(dir, c.contentXml, c.mime);
        const std::string message = errorOf([&] { openWorkbook(path, cLocale()); });
        EXPECT_NE(message.find("Cannot open the workbook \"" + path.toStdString() + "\": "),
                  std::string::npos)
            << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
}

TEST(OdsFaults, EncryptedDocumentsAreNamed)
{
    QTemporaryDir dir;
    const QString path =
        writeZip(dir, QStringLiteral("secret.ods"),
                 {{"mimetype", kMime},
                  {"META-INF/manifest.xml", "<manifest><manifest:encryption-data/></manifest>"},
                  {"content.xml", "\x01\x02garbage"}});
    EXPECT_EQ(
        errorOf([&] { openWorkbook(path, cLocale()); }),
        QString::fromUtf8(texts::kCannotOpen).arg(path, QString::fromUtf8(texts::kEncrypted)).toStdString());
}

} // namespace
