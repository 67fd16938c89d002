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

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const SheetCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::string kSst = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)";
const std::string kStyles =
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts count="2"><numFmt numFmtId="164" formatCode="dd/mm/yyyy\ hh:mm"/><numFmt numFmtId="165" formatCode="[h]:mm:ss"/></numFmts>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>)"
    R"(<cellXfs count="8"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="4"/>)"
    R"(<xf numFmtId="21"/><xf numFmtId="46"/><xf numFmtId="20"/><xf numFmtId="165"/></cellXfs>)"
    R"(<dxfs count="1"><dxf><numFmt numFmtId="4" formatCode="dd/mm/yyyy"/></dxf></dxfs>)"
    R"(<extLst><ext><x14:numFmts xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">)"
    R"(<x14:numFmt numFmtId="164" formatCode="0.00"/></x14:numFmts></ext></extLst></styleSheet>)";

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
    {"serial_zero_times_and_durations",
     R"(<row r="1"><c r="A1" s="1"><v>0</v></c><c r="B1" s="4"><v>0</v></c><c r="C1" s="5"><v>1.5</v></c></row>)"
     R"(<row r="2"><c r="A2" s="6"><v>0.4236111111111111</v></c><c r="B2" s="5"><v>-0.5</v></c><c r="C2" s="7"><v>1.5</v></c></row>)",
     {},
     kStyles,
     {"31.12.1899\t00:00:00\t36:00:00", "10:10:00\t-12:00:00\t36:00:00"}},
    {"a_time_alone_in_a_date_cell",
     R"(<row r="1"><c r="A1" t="d"><v>10:11:12</v></c><c r="B1" t="d"><v>2024-03-01</v></c><c r="C1" t="d"><v>2024-03-01T00:00:00Z</v></c></row>)",
     {},
     {},
     {"10:11:12\t01.03.2024\t01.03.2024"}},
    {"values_that_do_not_read_as_their_type_read_as_stored",
     R"(<row r="1"><c r="A1"><v>12abc</v></c><c r="B1" t="b"><v>yes</v></c><c r="C1" t="d"><v>2024-13-45</v></c></row>)"
     R"(<row r="2"><c r="A2" t="x"><v>odd</v></c><c r="B2" s="many"><v>7</v></c><c r="C2" s="99"><v>8</v></c></row>)",
     {},
     kStyles,
     {"12abc\tyes\t2024-13-45", "odd\t7\t8"}},
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

struct DateSystemCase {
    const char *name;
    std::string workbookPr;
    const char *text; // serial 43890 with a date format
};

void PrintTo(const DateSystemCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::string kX14 = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";

const DateSystemCase kDateSystems[] = {
    {"flag_1", R"(<workbookPr date1904="1"/>)", "01.03.2024"},
    {"flag_true", R"(<workbookPr date1904="true"/>)", "01.03.2024"},
    {"flag_with_blanks", R"(<workbookPr date1904=" true "/>)", "01.03.2024"},
    {"flag_0", R"(<workbookPr date1904="0"/>)", "29.02.2020"},
    {"flag_false", R"(<workbookPr date1904="false"/>)", "29.02.2020"},
    {"no_flag", R"(<workbookPr defaultThemeVersion="164011"/>)", "29.02.2020"},
    {"no_properties", "", "29.02.2020"},
    // Extensions of other namespaces have properties of the same name.
    {"extension_without_the_flag_keeps_1904",
     R"(<workbookPr date1904="1"/><extLst><ext><x14:workbookPr xmlns:x14=")" + kX14 +
         R"(" defaultImageDpi="220"/></ext></extLst>)",
     "01.03.2024"},
    {"extension_with_a_flag_is_not_the_workbook",
     R"(<workbookPr/><extLst><ext><x14:workbookPr xmlns:x14=")" + kX14 + R"(" date1904="1"/></ext></extLst>)",
     "29.02.2020"},
};

class XlsxDateSystem : public testing::TestWithParam<DateSystemCase>
{
};

TEST_P(XlsxDateSystem, ReadFromTheWorkbookPropertiesOnly)
{
    QTemporaryDir dir;
    const std::string styles =
        R"(<styleSheet><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>)";
    const QString path = writeZip(
        dir, QStringLiteral("1904.xlsx"),
        xlsxParts(R"(<row r="1"><c r="A1" s="1"><v>43890</v></c></row>)", {}, styles, GetParam().workbookPr));
    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, XlsxDateSystem, testing::ValuesIn(kDateSystems),
                         [](const auto &info) { return std::string(info.param.name); });

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

void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

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
    const std::string message = readFailure(path);
    EXPECT_NE(message.find("the workbook \"" + path.toStdString() + "\": it is damaged ("), std::string::npos)
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
    EXPECT_EQ(errorOf([&] { openWorkbook(chartPath, cLocale()); }),
              QString::fromUtf8(texts::kCannotOpen)
                  .arg(chartPath, QString::fromUtf8(texts::kSheetNotWorksheet).arg(QStringLiteral("Data")))
                  .toStdString());
}

TEST(XlsxSheets, ChosenByNumberOrNameAndListedWithTheirState)
{
    QTemporaryDir dir;
    Parts parts = xlsxParts(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>one</t></is></c></row>)");
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
    for (auto &[name, content] : parts) {
        if (name == "xl/workbook.xml")
            content =
                R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
                R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
                R"(<sheet name="Data" sheetId="1" r:id="rId1"/><sheet name="Секрет" sheetId="2" state="hidden" r:id="rId2"/>)"
                R"(</sheets></workbook>)";
        if (name == "xl/_rels/workbook.xml.rels")
            content = R"(<Relationships><Relationship Id="rId1" Type=")" + rel +
                      R"(" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type=")" + rel +
                      R"(" Target="worksheets/sheet2.xml"/></Relationships>)";
    }
    parts.push_back({"xl/worksheets/sheet2.xml",
                     worksheet(R"(<row r="2"><c r="B2" t="inlineStr"><is><t>two</t></is></c></row>)")});
    const QString path = writeZip(dir, QStringLiteral("sheets.xlsx"), parts);

    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1), QStringLiteral("one"));
    EXPECT_EQ(openWorkbook(path, cLocale(), {2, {}})->cellText(2, 2), QStringLiteral("two"));
    EXPECT_EQ(openWorkbook(path, cLocale(), {1, QStringLiteral("Секрет")})->cellText(2, 2),
              QStringLiteral("two"));
    EXPECT_NE(errorOf([&] {
                  openWorkbook(path, cLocale(), {3, {}});
              }).find("it has no sheet 3 (it has 2)"),
              std::string::npos);
    EXPECT_NE(errorOf([&] {
                  openWorkbook(path, cLocale(), {1, QStringLiteral("Other")});
              }).find("it has no sheet named \"Other\""),
              std::string::npos);
    const std::vector<SheetInfo> sheets = listSheets(path);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].name, QStringLiteral("Data"));
    EXPECT_FALSE(sheets[0].hidden);
    EXPECT_EQ(sheets[1].name, QStringLiteral("Секрет"));
    EXPECT_TRUE(sheets[1].hidden);
}

// Rows stored out of order are allowed by the format though no spreadsheet
// program writes them.
TEST(XlsxRowOrder, RowsOutOfOrderReadRightWhenSeenFirst)
{
    QTemporaryDir dir;
    const QString path = writeZip(
        dir, QStringLiteral("order.xlsx"),
        xlsxParts(
            R"(<row r="2"><c r="C2"><v>3</v></c><c r="A2"><v>1</v></c></row><row r="1"><c r="B1"><v>0</v></c></row>)"
            R"(<row r="2"><c r="B2"><v>2</v></c></row>)"));
    // Found by the pass over the used range: the sheet is then held whole.
    auto book = openWorkbook(path, cLocale());
    const CellRange used = book->usedRange();
    EXPECT_EQ(std::tie(used.firstRow, used.lastRow), std::tuple(1, 2));
    EXPECT_EQ(readRows(*book, 1, 2, 1, 3), (QStringList{"\t0\t", "1\t2\t3"}));

    // Read forward: row 1 read as empty before row 1 turns up fails the
    // file instead of giving that row two texts.
    book = openWorkbook(path, cLocale());
    EXPECT_EQ(book->cellText(1, 2), QString());
    EXPECT_NE(
        errorOf([&] { book->cellText(3, 1); }).find("its rows are stored out of order (row 1 after row 2)"),
        std::string::npos);
}

TEST(XlsxHostileParts, DeepNestingEndsWithAMessageNamingThePart)
{
    QTemporaryDir dir;
    const auto nested = [](int depth) {
        std::string open, close;
        for (int i = 0; i < depth; ++i) {
            open += "<x>";
            close += "</x>";
        }
        return open + close;
    };
    // The sheet part (read by the scanner) and the workbook part (read by expat).
    Parts deepSheet = xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + nested(2000000));
    const QString sheetPath = writeZip(dir, QStringLiteral("deep-sheet.xlsx"), deepSheet);
    EXPECT_NE(readFailure(sheetPath).find(
                  "part xl/worksheets/sheet1.xml: the elements nest deeper than 256 levels"),
              std::string::npos);

    Parts deepWorkbook = xlsxParts("");
    deepWorkbook[2].second =
        R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" + nested(2000000) +
        "</workbook>";
    const QString workbookPath = writeZip(dir, QStringLiteral("deep-workbook.xlsx"), deepWorkbook);
    EXPECT_EQ(errorOf([&] { openWorkbook(workbookPath, cLocale()); }),
              QString::fromUtf8(texts::kCannotOpen)
                  .arg(workbookPath,
                       QStringLiteral(
                           "it is damaged (part xl/workbook.xml: the elements nest deeper than 256 levels)"))
                  .toStdString());
}

TEST(XlsxLongTexts, ComeInPiecesAndAnOversizedOneIsOneUnreadableCell)
{
    QTemporaryDir dir;
    // A long text with references and line ends: whatever piece border falls
    // inside a reference or a CR LF, the text reads whole.
    std::string unit = "ab&amp;c\r\nd";
    for (int prefix = 0; prefix < 11; ++prefix) {
        std::string text(std::size_t(prefix), 'p');
        std::string expected(std::size_t(prefix), 'p');
        for (int i = 0; i < 40000; ++i) {
            text += unit;
            expected += "ab&c\nd";
        }
        const QString path = writeZip(
            dir, QStringLiteral("long%1.xlsx").arg(prefix),
            xlsxParts(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>)" + text + "</t></is></c></row>"));
        EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1).toStdString(), expected) << prefix;
    }

    const std::string huge(kMaxCellTextBytes + 1, 'h');
    const QString path =
        writeZip(dir, QStringLiteral("huge.xlsx"),
                 xlsxParts(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>)" + huge +
                               R"(</t></is></c><c r="B1" t="s"><v>0</v></c><c r="C1"><v>5</v></c></row>)",
                           kSst + "<si><t>" + huge + "</t></si></sst>"));
    auto book = openWorkbook(path, cLocale());
    EXPECT_EQ(book->cellText(1, 3), QStringLiteral("5"));
    for (int column : {1, 2})
        EXPECT_NE(errorOf([&] { book->cellText(1, column); }).find("its text is longer than 16 MB"),
                  std::string::npos);
}

} // namespace
