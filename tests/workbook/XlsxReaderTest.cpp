// xlsx: workbooks written by libxlsxwriter, and hand-made parts for what
// other producers write and what hostile files try.

#include "WorkbookTestSupport.h"

#include "import/workbook/WorkbookErrors.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

class XlsxWriterWorkbook : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("kinds.xlsx"));
        lxw_workbook *book = workbook_new(path_.toUtf8().constData());
        lxw_worksheet *first = workbook_add_worksheet(book, "Первый");
        lxw_worksheet *second = workbook_add_worksheet(book, "Second");
        lxw_format *date = workbook_add_format(book);
        format_set_num_format(date, "dd/mm/yyyy");
        lxw_format *builtinDate = workbook_add_format(book);
        format_set_num_format_index(builtinDate, 14);
        lxw_format *time = workbook_add_format(book);
        format_set_num_format(time, "hh:mm:ss");
        lxw_format *dateTime = workbook_add_format(book);
        format_set_num_format(dateTime, "yyyy-mm-dd hh:mm");
        lxw_format *money = workbook_add_format(book);
        format_set_num_format(money, "#,##0.00\" руб.\"");
        worksheet_write_string(first, 0, 0, "text", nullptr);
        worksheet_write_string(first, 0, 1, "Привет, мир", nullptr);
        worksheet_write_string(first, 0, 2, "two\nlines", nullptr);
        worksheet_write_string(first, 0, 3, "text", nullptr);
        worksheet_write_number(first, 1, 0, 42, nullptr);
        worksheet_write_number(first, 1, 1, -3.5, nullptr);
        worksheet_write_number(first, 1, 2, 0.1 + 0.2, nullptr);
        worksheet_write_number(first, 1, 3, 1234.5, money);
        worksheet_write_number(first, 2, 0, 45352, date);
        worksheet_write_number(first, 2, 1, 45352, builtinDate);
        worksheet_write_number(first, 2, 2, 10.0 / 24 + 11.0 / 1440 + 12.0 / 86400, time);
        worksheet_write_number(first, 2, 3, 45352.5, dateTime);
        worksheet_write_boolean(first, 3, 0, 1, nullptr);
        worksheet_write_boolean(first, 3, 1, 0, nullptr);
        worksheet_write_formula_num(first, 4, 0, "=A2*2", nullptr, 84);
        worksheet_write_formula_str(first, 4, 1, "=A1&\"s\"", nullptr, "texts");
        worksheet_write_blank(first, 4, 2, money);
        worksheet_write_string(first, 6, 4, "far", nullptr);
        worksheet_write_string(second, 0, 0, "second sheet", nullptr);
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    }

    QTemporaryDir dir_;
    QString path_;
};

TEST_F(XlsxWriterWorkbook, ReadsEveryCellKindOfTheFirstSheet)
{
    auto book = openWorkbook(path_, cLocale());
    EXPECT_EQ(book->format(), WorkbookFormat::Xlsx);
    EXPECT_EQ(readRows(*book, 1, 7, 1, 5), (QStringList{
                                               "text\tПривет, мир\ttwo\nlines\ttext\t",
                                               "42\t-3.5\t0.3\t1234.5\t",
                                               "01.03.2024\t01.03.2024\t10:11:12\t01.03.2024 12:00:00\t",
                                               "True\tFalse\t\t\t",
                                               "84\ttexts\t\t\t",
                                               "\t\t\t\t",
                                               "\t\t\t\tfar",
                                           }));
    const CellRange used = book->usedRange();
    EXPECT_EQ(std::tie(used.firstRow, used.firstColumn, used.lastRow, used.lastColumn),
              std::tuple(1, 1, 7, 5));
}

TEST_F(XlsxWriterWorkbook, NumbersUseTheLocaleSeparator)
{
    auto book = openWorkbook(path_, ruLocale());
    EXPECT_EQ(readRows(*book, 2, 3, 2, 4),
              (QStringList{"-3,5\t0,3\t1234,5", "01.03.2024\t10:11:12\t01.03.2024 12:00:00"}));
}

TEST_F(XlsxWriterWorkbook, QuotedPathIsAccepted)
{
    auto book = openWorkbook(QLatin1Char('"') + path_ + QLatin1Char('"'), cLocale());
    EXPECT_EQ(book->cellText(1, 1), QStringLiteral("text"));
    EXPECT_EQ(book->path(), path_);
}

// One worksheet's <sheetData>, with optional shared strings and styles.
struct SheetCase {
    const char *name;
    std::string sheetData;
    std::string sharedStrings;
    std::string styles;
    QStringList rows; // rows 1..n, columns 1..3
};

const std::string kSst = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
const std::string kStyles =
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts count="1"><numFmt numFmtId="164" formatCode="dd/mm/yyyy\ hh:mm"/></numFmts>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>)"
    R"(<cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="4"/></cellXfs></styleSheet>)";

const SheetCase kSheets[] = {
    {"cells_and_rows_without_references",
     R"(<row><c><v>1</v></c><c><v>2</v></c></row><row><c t="inlineStr"><is><t>x</t></is></c></row>)",
     {},
     {},
     {"1\t2\t", "x\t\t"}},
    {"sparse_rows_and_cells",
     R"(<row r="3"><c r="C3"><v>5</v></c></row>)",
     {},
     {},
     {"\t\t", "\t\t", "\t\t5"}},
    {"cells_out_of_order",
     R"(<row r="2"><c r="C2"><v>3</v></c><c r="A2"><v>1</v></c></row><row r="1"><c r="B1"><v>0</v></c></row>)",
     {},
     {},
     {"\t0\t", "1\t\t3"}},
    {"rich_text_without_phonetic_runs",
     R"(<row r="1"><c r="A1" t="inlineStr"><is><r><t>ab</t></r><r><rPr><b/></rPr><t>c</t></r><rPh sb="0" eb="1"><t>ZZ</t></rPh></is></c>)"
     R"(<c r="B1" t="s"><v>0</v></c></row>)",
     kSst +
         R"(<si><r><t xml:space="preserve">Ка </t></r><r><t>ша</t></r><rPh sb="0" eb="1"><t>カ</t></rPh><phoneticPr fontId="1"/></si></sst>)",
     {},
     {"abc\tКа ша\t"}},
    {"entities_references_and_cdata",
     R"(<row r="1"><c r="A1" t="inlineStr"><is><t>&lt;a&gt; &amp; &#1046;&#x416; &quot;&apos;<![CDATA[<raw> & ]]>end</t></is></c></row>)",
     {},
     {},
     {"<a> & ЖЖ \"'<raw> & end\t\t"}},
    {"namespace_prefixes_attribute_order_comments_and_blanks",
     "<row  r = '1' >\r\n <!-- a comment --><?pi data?>\n <c s=\"0\" t=\"s\" r=\"B1\" >\n  <v> 0 </v>\n "
     "</c></row>"
     "<x:row xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" r=\"2\"><x:c "
     "r=\"C2\"><x:v>9</x:v></x:c></x:row>",
     kSst + R"(<si><t>shared</t></si></sst>)",
     {},
     {"\tshared\t", "\t\t9"}},
    {"line_ends_and_escapes",
     "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a\r\nb\rc</t></is></c><c r=\"B1\" "
     "t=\"inlineStr\"><is><t>x_x000D_y_x005F_x0041_</t></is></c></row>",
     {},
     {},
     {"a\nb\nc\tx\ry_x0041_\t"}},
    {"booleans_errors_formulas_and_iso_dates",
     R"(<row r="1"><c r="A1" t="b"><v>1</v></c><c r="B1" t="e"><v>#DIV/0!</v></c><c r="C1" t="str"><f>A1</f><v>cached</v></c></row>)"
     R"(<row r="2"><c r="A2"><f>1+1</f></c><c r="B2" t="d"><v>2024-03-01T10:11:12</v></c><c r="C2" t="e"><f>NA()</f><v>#N/A</v></c></row>)",
     {},
     {},
     {"True\t#DIV/0!\tcached", "\t01.03.2024 10:11:12\t#N/A"}},
    {"builtin_and_custom_date_styles",
     R"(<row r="1"><c r="A1" s="1"><v>45352</v></c><c r="B1" s="2"><v>45352.75</v></c><c r="C1" s="3"><v>45352.75</v></c></row>)",
     {},
     kStyles,
     {"01.03.2024\t01.03.2024 18:00:00\t45352.75"}},
};

class HandMadeSheets : public testing::TestWithParam<SheetCase>
{
};

TEST_P(HandMadeSheets, ReadAsWritten)
{
    const SheetCase &c = GetParam();
    QTemporaryDir dir;
    const QString path =
        writeZip(dir, QStringLiteral("case.xlsx"), xlsxParts(c.sheetData, c.sharedStrings, c.styles));
    auto book = openWorkbook(path, cLocale());
    EXPECT_EQ(readRows(*book, 1, int(c.rows.size()), 1, 3), c.rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, HandMadeSheets, testing::ValuesIn(kSheets),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(XlsxDateSystem, Serials1904)
{
    QTemporaryDir dir;
    const std::string styles =
        R"(<styleSheet><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>)";
    const QString path = writeZip(dir, QStringLiteral("1904.xlsx"),
                                  xlsxParts(R"(<row r="1"><c r="A1" s="1"><v>43890</v></c></row>)", {},
                                            styles, R"(<workbookPr date1904="1"/>)"));
    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1), QStringLiteral("01.03.2024"));
}

TEST(XlsxFirstSheet, IsTheFirstInWorkbookOrderNotTheFirstPart)
{
    QTemporaryDir dir;
    Parts parts = xlsxParts(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>sheet1.xml</t></is></c></row>)");
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
    for (auto &[name, content] : parts) {
        if (name == "xl/workbook.xml")
            content =
                R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
                R"(<sheet name="Front" sheetId="2" r:id="rId7"/><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>)";
        if (name == "xl/_rels/workbook.xml.rels")
            content = R"(<Relationships><Relationship Id="rId1" Type=")" + rel +
                      R"(" Target="worksheets/sheet1.xml"/>)" + R"(<Relationship Id="rId7" Type=")" + rel +
                      R"(" Target="/xl/worksheets/../worksheets/front.xml"/></Relationships>)";
    }
    parts.push_back({"xl/worksheets/front.xml",
                     worksheet(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>front</t></is></c></row>)")});
    auto book = openWorkbook(writeZip(dir, QStringLiteral("order.xlsx"), parts), cLocale());
    EXPECT_EQ(book->cellText(1, 1), QStringLiteral("front"));
}

// Faults in the file: each ends with a message naming the file and the fault.
struct FaultCase {
    const char *name;
    std::string sheetData;
    std::string sharedStrings;
    const char *reason; // part of the message
};

const FaultCase kFaults[] = {
    {"entity_declarations", "", "", "document type declarations are not allowed"},
    {"invalid_utf8", "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a\xC3\x28</t></is></c></row>", "",
     "cell A1: the text is not valid UTF-8"},
    {"shared_string_out_of_range", R"(<row r="1"><c r="B1" t="s"><v>5</v></c></row>)",
     kSst + "<si><t>only</t></si></sst>", "cell B1: the shared string \"5\" does not exist"},
    // One past the last string: the exact bound, not only an index far beyond it.
    {"shared_string_one_past_the_end",
     R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)",
     kSst + "<si><t>only</t></si></sst>", "cell B1: the shared string \"1\" does not exist"},
    {"bad_number", R"(<row r="1"><c r="A1"><v>12abc</v></c></row>)", "", "the number \"12abc\" is invalid"},
    {"bad_reference", R"(<row r="1"><c r="1A"><v>1</v></c></row>)", "",
     "the cell reference \"1A\" is invalid"},
    {"column_beyond_xfd", R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)", "",
     "the cell reference \"XFE1\" is invalid"},
    {"row_beyond_limit", R"(<row r="1048577"><c><v>1</v></c></row>)", "",
     "the row number \"1048577\" is invalid"},
    {"undefined_entity", R"(<row r="1"><c r="A1" t="inlineStr"><is><t>&nbsp;</t></is></c></row>)", "",
     "the undefined entity &nbsp;"},
    {"truncated", R"(<row r="1"><c r="A1"><v>1</v></c>)", "", "the part ends inside the sheet data"},
    {"cell_outside_a_row", R"(<c r="A1"><v>1</v></c>)", "", "a cell outside a row"},
};

class XlsxFaults : public testing::TestWithParam<FaultCase>
{
};

TEST_P(XlsxFaults, EndWithAMessageNamingTheFile)
{
    const FaultCase &c = GetParam();
    QTemporaryDir dir;
    Parts parts = xlsxParts(c.sheetData, c.sharedStrings);
    if (std::string(c.name) == "entity_declarations")
        parts[4].second =
            R"(<?xml version="1.0"?><!DOCTYPE w [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;">]>)"
            R"(<worksheet><sheetData><row><c t="inlineStr"><is><t>&b;</t></is></c></row></sheetData></worksheet>)";
    if (std::string(c.name) == "truncated")
        parts[4].second = parts[4].second.substr(0, parts[4].second.find("</sheetData>"));
    const QString path = writeZip(dir, QStringLiteral("bad.xlsx"), parts);
    const std::string message = errorOf([&] { openWorkbook(path, cLocale()); });
    EXPECT_NE(message.find("Cannot open the workbook \"" + path.toStdString() + "\": it is damaged ("),
              std::string::npos)
        << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Cases, XlsxFaults, testing::ValuesIn(kFaults),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(XlsxPackages, BinaryWorkbooksAndChartSheetsAreNamed)
{
    QTemporaryDir dir;
    Parts xlsb = xlsxParts("");
    xlsb[1].second =
        R"(<Relationships><Relationship Id="r" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.bin"/></Relationships>)";
    const QString xlsbPath = writeZip(dir, QStringLiteral("book.xlsb"), xlsb);
    EXPECT_EQ(errorOf([&] { openWorkbook(xlsbPath, cLocale()); }),
              QString::fromUtf8(texts::kCannotOpen)
                  .arg(xlsbPath, QString::fromUtf8(texts::kXlsbUnsupported))
                  .toStdString());

    Parts chart = xlsxParts("");
    chart[3].second =
        R"(<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet" Target="chartsheets/sheet1.xml"/></Relationships>)";
    const QString chartPath = writeZip(dir, QStringLiteral("chart.xlsx"), chart);
    EXPECT_EQ(
        errorOf([&] { openWorkbook(chartPath, cLocale()); }),
        QString::fromUtf8(texts::kCannotOpen)
            .arg(chartPath, QString::fromUtf8(texts::kFirstSheetNotWorksheet).arg(QStringLiteral("Data")))
            .toStdString());
}

} // namespace
