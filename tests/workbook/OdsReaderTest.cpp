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

const std::string kNamespaces =
    R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
    R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
    R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
    R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
    R"(xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" )"
    R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0")";

// content.xml with the given automatic styles and tables.
std::string content(const std::string &tables, const std::string &automaticStyles = {})
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content )" + kNamespaces + ">" +
           "<office:automatic-styles>" + automaticStyles + "</office:automatic-styles>" +
           "<office:body><office:spreadsheet>" + tables +
           "</office:spreadsheet></office:body></office:document-content>";
}

QString writeOds(const QTemporaryDir &dir, const std::string &contentXml, const std::string &mime = kMime,
                 const std::string &stylesXml = {})
{
    Parts parts{{"mimetype", mime}, {"content.xml", contentXml}};
    if (!stylesXml.empty())
        parts.push_back({"styles.xml", stylesXml});
    return writeZip(dir, QStringLiteral("book.ods"), parts);
}

// Automatic styles as LibreOffice writes them: a boolean, a number and an
// elapsed-time data style, and cell styles using them.
const std::string kLibreOfficeStyles =
    R"(<number:boolean-style style:name="N99"><number:boolean/></number:boolean-style>)"
    R"(<number:number-style style:name="N2"><number:number number:decimal-places="2"/></number:number-style>)"
    R"(<number:time-style style:name="N46" number:truncate-on-overflow="false"><number:hours/><number:text>:</number:text>)"
    R"(<number:minutes number:style="long"/><number:text>:</number:text><number:seconds number:style="long"/></number:time-style>)"
    R"(<number:time-style style:name="N41"><number:hours/><number:text>:</number:text><number:minutes/></number:time-style>)"
    R"(<style:style style:name="ceBool" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N99"/>)"
    R"(<style:style style:name="ceNum" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N2"/>)"
    R"(<style:style style:name="ceElapsed" style:family="table-cell" style:data-style-name="N46"/>)"
    R"(<style:style style:name="ceClock" style:family="table-cell" style:data-style-name="N41"/>)"
    R"(<style:style style:name="ceNamed" style:family="table-cell" style:parent-style-name="Yes or no"/>)";

// styles.xml with a named cell style whose data style is boolean.
const std::string kNamedStyles =
    R"(<office:document-styles )" + kNamespaces +
    R"(><office:styles>)"
    R"(<number:boolean-style style:name="N100"><number:boolean/></number:boolean-style>)"
    R"(<style:style style:name="Yes or no" style:family="table-cell" style:data-style-name="N100"/>)"
    R"(</office:styles></office:document-styles>)";

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
    std::string automaticStyles = {};
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const OdsCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string cells(const std::string &row)
{
    return "<table:table-row>" + row + "</table:table-row>";
}

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
    {"booleans_as_libreoffice_converts_them",
     cells(
         R"~(<table:table-cell table:formula="of:=TRUE()" office:value-type="float" office:value="1" calcext:value-type="boolean"><text:p>TRUE</text:p></table:table-cell>)~"
         R"(<table:table-cell table:style-name="ceBool" office:value-type="float" office:value="0"><text:p>FALSE</text:p></table:table-cell>)"
         R"~(<table:table-cell table:formula="of:=FALSE()" office:value-type="float" office:value="0"/>)~") +
         cells(
             R"(<table:table-cell office:value-type="boolean" office:boolean-value="true" calcext:value-type="boolean"/>)"
             R"(<table:table-cell table:style-name="ceNamed" office:value-type="float" office:value="1"/>)"
             R"~(<table:table-cell table:style-name="ceNum" table:formula="of:=TRUE()" office:value-type="float" office:value="1"/>)~") +
         cells(R"~(<table:table-cell table:formula="of:=1+1" office:value-type="float" office:value="2"/>)~"
               R"(<table:table-cell office:value-type="float" office:value="1"/>)"),
     {"True\tFalse\tFalse", "True\tTrue\t1", "2\t1\t"},
     kLibreOfficeStyles},
    {"boolean_style_from_the_column_or_the_row",
     R"(<table:table-column table:number-columns-repeated="2"/><table:table-column table:default-cell-style-name="ceBool"/>)" +
         cells(
             R"(<table:table-cell office:value-type="float" office:value="1"/><table:table-cell office:value-type="float" office:value="1"/>)"
             R"(<table:table-cell office:value-type="float" office:value="1"/>)") +
         R"(<table:table-row table:default-cell-style-name="ceBool"><table:table-cell office:value-type="float" office:value="0"/></table:table-row>)",
     {"1\t1\tTrue", "False\t\t"},
     kLibreOfficeStyles},
    {"elapsed_times_and_times_of_day",
     cells(
         R"(<table:table-cell table:style-name="ceElapsed" office:value-type="time" office:time-value="PT36H00M00S"/>)"
         R"(<table:table-cell table:style-name="ceClock" office:value-type="time" office:time-value="PT10H11M12S"/>)"
         R"(<table:table-cell table:style-name="ceElapsed" office:value-type="time" office:time-value="-PT00H30M00S"/>)"),
     {"36:00:00\t10:11:12\t-00:30:00"},
     kLibreOfficeStyles},
    {"values_that_do_not_read_as_their_type_read_as_shown",
     cells(
         R"(<table:table-cell office:value-type="float" office:value="1,5"><text:p>1,5</text:p></table:table-cell>)"
         R"(<table:table-cell office:value-type="date" office:date-value="someday"/>)"
         R"(<table:table-cell office:value-type="boolean" office:boolean-value="yes"><text:p>JA</text:p></table:table-cell>)"),
     {"1,5\tsomeday\tJA"}},
};

class OdsContent : public testing::TestWithParam<OdsCase>
{
};

TEST_P(OdsContent, ReadAsWritten)
{
    QTemporaryDir dir;
    auto book = openWorkbook(
        writeOds(dir,
                 content(R"(<table:table table:name="One">)" + GetParam().table + "</table:table>",
                         GetParam().automaticStyles),
                 kMime, kNamedStyles),
        cLocale());
    EXPECT_EQ(readRows(*book, 1, int(GetParam().rows.size()), 1, 3), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, OdsContent, testing::ValuesIn(kOds),
                         [](const auto &info) { return std::string(info.param.name); });

std::string deepSpans(int depth)
{
    std::string open = "<text:p>", close;
    for (int i = 0; i < depth; ++i) {
        open += "<text:span>";
        close += "</text:span>";
    }
    return open + "deep" + close + "</text:p>";
}

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
        {content(R"(<table:table><table:table-row><table:table-cell office:value-type="string">)" +
                 deepSpans(100000) + "</table:table-cell></table:table-row></table:table>"),
         kMime, "part content.xml: the elements nest deeper than 256 levels"},
    };
    for (const auto &c : cases) {
        const QString path = writeOds(dir, c.contentXml, c.mime);
        const std::string message = readFailure(path);
        EXPECT_NE(message.find("the workbook \"" + path.toStdString() + "\": "), std::string::npos)
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

TEST(OdsSheets, ChosenByNumberOrNameAndListedWithTheirState)
{
    QTemporaryDir dir;
    const std::string tableStyle =
        R"(<style:style style:name="taHidden" style:family="table"><style:table-properties table:display="false"/></style:style>)";
    const QString path = writeOds(
        dir, content(R"(<table:table table:name="One">)" +
                         cells(R"(<table:table-cell office:value-type="float" office:value="1"/>)") +
                         R"(</table:table><table:table table:name="Zwei" table:style-name="taHidden">)" +
                         cells(R"(<table:table-cell office:value-type="float" office:value="2"/>)") +
                         "</table:table>",
                     tableStyle));
    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1), QStringLiteral("1"));
    EXPECT_EQ(openWorkbook(path, cLocale(), {2, {}})->cellText(1, 1), QStringLiteral("2"));
    EXPECT_EQ(openWorkbook(path, cLocale(), {1, QStringLiteral("Zwei")})->cellText(1, 1),
              QStringLiteral("2"));
    EXPECT_NE(errorOf([&] {
                  openWorkbook(path, cLocale(), {5, {}});
              }).find("it has no sheet 5 (it has 2)"),
              std::string::npos);
    const std::vector<SheetInfo> sheets = listSheets(path);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].name, QStringLiteral("One"));
    EXPECT_FALSE(sheets[0].hidden);
    EXPECT_EQ(sheets[1].name, QStringLiteral("Zwei"));
    EXPECT_TRUE(sheets[1].hidden);
}

} // namespace
