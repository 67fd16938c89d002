// xls: a file written by LibreOffice, and record streams made here for the
// records that matter (formula results, booleans, errors, continued strings)
// and for damaged files.

#include "WorkbookTestSupport.h"

#include "import/workbook/WorkbookErrors.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace rowpour::workbook;
using namespace rowpour::workbook::test;

namespace
{

void put16(std::string &s, std::uint16_t v)
{
    s += char(v & 0xFF);
    s += char(v >> 8);
}

void put32(std::string &s, std::uint32_t v)
{
    put16(s, std::uint16_t(v & 0xFFFF));
    put16(s, std::uint16_t(v >> 16));
}

std::string f64(double v)
{
    std::string s(8, '\0');
    std::memcpy(s.data(), &v, 8);
    return s;
}

std::string record(std::uint16_t type, const std::string &data)
{
    std::string r;
    put16(r, type);
    put16(r, std::uint16_t(data.size()));
    return r + data;
}

std::string cell(std::uint16_t row, std::uint16_t column, std::uint16_t xf)
{
    std::string s;
    put16(s, row);
    put16(s, column);
    put16(s, xf);
    return s;
}

// A BIFF8 string with 8-bit characters.
std::string latinString(const std::string &text)
{
    std::string s;
    put16(s, std::uint16_t(text.size()));
    return s + '\0' + text;
}

std::string bof()
{
    std::string d;
    put16(d, 0x0600);
    put16(d, 0x0005);
    return record(0x0809, d + std::string(12, '\0'));
}

std::string boundSheet(std::uint32_t offset, std::uint8_t type, const std::string &name,
                       std::uint8_t state = 0)
{
    std::string d;
    put32(d, offset);
    d += char(state);
    d += char(type);
    d += char(name.size());
    return record(0x0085, d + '\0' + name);
}

std::string xf(std::uint16_t format)
{
    std::string d;
    put16(d, 0);
    put16(d, format);
    return record(0x00E0, d + std::string(16, '\0'));
}

// A compound file holding one "Workbook" stream (padded past the small-stream
// limit so that it lives in regular sectors).
QByteArray compoundFile(std::string stream)
{
    stream.resize(std::max<std::size_t>(stream.size(), 4096), '\0');
    stream.resize((stream.size() + 511) / 512 * 512, '\0');
    const std::uint32_t streamSectors = std::uint32_t(stream.size() / 512);
    std::string header;
    header += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(16, '\0');
    put16(header, 0x3E);
    put16(header, 3);
    put16(header, 0xFFFE);
    put16(header, 9);
    put16(header, 6);
    header += std::string(6, '\0');
    put32(header, 0);
    put32(header, 1); // FAT sectors
    put32(header, 1); // first directory sector
    put32(header, 0);
    put32(header, 4096);       // small-stream limit
    put32(header, 0xFFFFFFFE); // no small-stream table
    put32(header, 0);
    put32(header, 0xFFFFFFFE);
    put32(header, 0);
    put32(header, 0); // the FAT is sector 0
    while (header.size() < 512)
        put32(header, 0xFFFFFFFF);
    std::string fat;
    put32(fat, 0xFFFFFFFD);
    put32(fat, 0xFFFFFFFE);
    for (std::uint32_t i = 0; i < streamSectors; ++i)
        put32(fat, i + 1 == streamSectors ? 0xFFFFFFFE : 3 + i);
    while (fat.size() < 512)
        put32(fat, 0xFFFFFFFF);
    const auto entry = [](const std::u16string &name, std::uint8_t type, std::uint32_t child,
                          std::uint32_t start, std::uint32_t size) {
        std::string e(128, '\0');
        std::memcpy(e.data(), name.data(), name.size() * 2);
        e[64] = char((name.size() + 1) * 2);
        e[66] = char(type);
        std::string ids;
        put32(ids, 0xFFFFFFFF);
        put32(ids, 0xFFFFFFFF);
        put32(ids, child);
        e.replace(68, 12, ids);
        std::string tail;
        put32(tail, start);
        put32(tail, size);
        e.replace(116, 8, tail);
        return e;
    };
    std::string directory = entry(u"Root Entry", 5, 1, 0xFFFFFFFE, 0) +
                            entry(u"Workbook", 2, 0xFFFFFFFF, 2, std::uint32_t(stream.size()));
    directory.resize(512, '\0');
    const std::string file = header + fat + directory + stream;
    return QByteArray(file.data(), qsizetype(file.size()));
}

// A workbook stream: globals with the given records, then the sheets.
std::string workbookStream(const std::string &globals, const std::vector<std::string> &sheets,
                           const std::vector<std::uint8_t> &types = {},
                           const std::vector<std::uint8_t> &states = {})
{
    std::size_t size = bof().size() + globals.size() + 4;
    for (std::size_t i = 0; i < sheets.size(); ++i)
        size += boundSheet(0, 0, "S" + std::to_string(i)).size();
    std::string head = bof() + globals;
    std::size_t offset = size;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        head += boundSheet(std::uint32_t(offset), types.empty() ? 0 : types[i], "S" + std::to_string(i),
                           states.empty() ? 0 : states[i]);
        offset += sheets[i].size();
    }
    head += record(0x000A, "");
    for (const std::string &s : sheets)
        head += s;
    return head;
}

std::string sheet(const std::string &cells)
{
    return bof() + cells + record(0x000A, "");
}

// Globals: 16 plain XFs, XF 16 with the date format 14, XF 17 with custom
// format 164 (a date), and a string table continued in the middle of a
// Cyrillic string that switches from 8-bit to 16-bit characters.
std::string globals(bool date1904 = false)
{
    std::string g;
    std::string mode;
    put16(mode, date1904 ? 1 : 0);
    g += record(0x0022, mode);
    std::string format;
    put16(format, 164);
    g += record(0x041E, format + latinString("dd/mm/yyyy hh:mm"));
    for (int i = 0; i < 16; ++i)
        g += xf(0);
    g += xf(14) + xf(164);
    std::string sst;
    put32(sst, 2);
    put32(sst, 2);
    sst += latinString("plain");
    put16(sst, 4); // "abЖЖ": "ab" here, "ЖЖ" in the continuation
    sst += '\0';
    sst += "ab";
    std::string more;
    more += '\x01';
    put16(more, 0x0416);
    put16(more, 0x0416);
    return g + record(0x00FC, sst) + record(0x003C, more);
}

std::string formula(std::uint16_t row, std::uint16_t col, std::uint16_t xfIndex, const std::string &result)
{
    return record(0x0006, cell(row, col, xfIndex) + result + std::string(6, '\0') + std::string(2, '\0'));
}

std::string specialResult(std::uint8_t kind, std::uint8_t value)
{
    std::string r(8, '\0');
    r[0] = char(kind);
    r[2] = char(value);
    r[6] = r[7] = '\xFF';
    return r;
}

std::string rk(std::uint32_t value)
{
    std::string s;
    put32(s, value);
    return s;
}

std::string kindsSheet()
{
    std::string c;
    std::string idx;
    put32(idx, 0);
    c += record(0x00FD, cell(0, 0, 15) + idx);
    idx.clear();
    put32(idx, 1);
    c += record(0x00FD, cell(0, 1, 15) + idx);
    c += record(0x0204, cell(0, 2, 15) + latinString("label"));
    c += record(0x0203, cell(1, 0, 15) + f64(-3.5));
    c += record(0x027E, cell(1, 1, 15) + rk((42u << 2) | 2));
    c += record(0x027E, cell(1, 2, 15) + rk((1234u << 2) | 3)); // 12.34
    std::string mulrk;
    put16(mulrk, 2);
    put16(mulrk, 0);
    put16(mulrk, 16);
    mulrk += rk((45352u << 2) | 2);
    put16(mulrk, 17);
    mulrk += rk(0x40E62500u); // 45352.0 as the high bits of a double
    put16(mulrk, 1);
    c += record(0x00BD, mulrk);
    c += record(0x0205, cell(3, 0, 15) + std::string("\x01\x00", 2));
    c += record(0x0205, cell(3, 1, 15) + std::string("\x00\x00", 2));
    c += record(0x0205, cell(3, 2, 15) + std::string("\x07\x01", 2));
    c += formula(4, 0, 15, f64(84));
    c += formula(4, 1, 15, specialResult(0, 0)) + record(0x0207, latinString("texts"));
    c += formula(4, 2, 15, specialResult(1, 1));
    c += formula(5, 0, 15, specialResult(2, 0x2A));
    c += formula(5, 1, 16, f64(45352.5));
    c += record(0x0201, cell(5, 2, 15));
    return sheet(c);
}

TEST(XlsRecords, EveryCellKindIncludingFormulaResultsAndBooleans)
{
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, QStringLiteral("kinds.xls"), compoundFile(workbookStream(globals(), {kindsSheet()})));
    auto book = openWorkbook(path, cLocale());
    EXPECT_EQ(book->format(), WorkbookFormat::Xls);
    EXPECT_EQ(readRows(*book, 1, 6, 1, 3), (QStringList{
                                               "plain\tabЖЖ\tlabel",
                                               "-3.5\t42\t12.34",
                                               "01.03.2024\t01.03.2024\t",
                                               "True\tFalse\t#DIV/0!",
                                               "84\ttexts\tTrue",
                                               "#N/A\t01.03.2024 12:00:00\t",
                                           }));
}

TEST(XlsRecords, TheFirstSheetIsTheFirstInTheSheetList)
{
    QTemporaryDir dir;
    std::string idx;
    put32(idx, 0);
    const std::string a = sheet(record(0x0204, cell(0, 0, 15) + latinString("listed first")));
    const std::string b = sheet(record(0x0204, cell(0, 0, 15) + latinString("stored first")));
    // The stream holds b before a; the sheet list names a first.
    std::string stream = workbookStream(globals(), {b, a});
    const std::size_t list = stream.find(std::string("\x85\x00", 2));
    std::uint32_t offB, offA;
    std::memcpy(&offB, stream.data() + list + 4, 4);
    std::memcpy(&offA, stream.data() + list + 4 + boundSheet(0, 0, "S0").size(), 4);
    std::memcpy(stream.data() + list + 4, &offA, 4);
    std::memcpy(stream.data() + list + 4 + boundSheet(0, 0, "S0").size(), &offB, 4);
    const QString path = writeFile(dir, QStringLiteral("order.xls"), compoundFile(stream));
    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1), QStringLiteral("listed first"));
}

TEST(XlsRecords, DateSystem1904)
{
    QTemporaryDir dir;
    const std::string s = sheet(record(0x0203, cell(0, 0, 16) + f64(43890)));
    const QString path =
        writeFile(dir, QStringLiteral("1904.xls"), compoundFile(workbookStream(globals(true), {s})));
    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1), QStringLiteral("01.03.2024"));
}

// An Excel 95 (BIFF5) workbook stream in code page 1251 with one sheet of
// these cell records.
std::string biff5Stream(const std::string &cells)
{
    std::string version;
    put16(version, 0x0500);
    put16(version, 0x0005);
    const std::string bof5 = record(0x0809, version + std::string(4, '\0'));
    std::string codePage;
    put16(codePage, 1251);
    std::string globals5 = record(0x0042, codePage);
    for (int i = 0; i < 16; ++i)
        globals5 += xf(0);
    const std::string sheet5 = bof5 + cells + record(0x000A, "");
    std::string head = bof5 + globals5;
    std::string list;
    put32(list, 0);
    list += std::string("\0\0\x05", 3) + "Sheet";
    const std::size_t sheetOffset = head.size() + 4 + list.size() + 4;
    std::string offset;
    put32(offset, std::uint32_t(sheetOffset));
    list.replace(0, 4, offset);
    return head + record(0x0085, list) + record(0x000A, "") + sheet5;
}

TEST(XlsRecords, Excel95WorkbooksWithTheirCodePage)
{
    // BIFF5: 8-bit strings in the workbook's code page, no string table.
    std::string label;
    put16(label, 4);
    label += "\xCF\xF0\xE8\xE2"; // "Прив" in Windows-1251
    const std::string stream =
        biff5Stream(record(0x0204, cell(0, 0, 15) + label) + record(0x0203, cell(0, 1, 15) + f64(2.5)));
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("95.xls"), compoundFile(stream));
    EXPECT_EQ(readRows(*openWorkbook(path, ruLocale()), 1, 1, 1, 2),
              QStringList{QStringLiteral("Прив\t2,5")});
}

TEST(XlsRecords, TextsContinuedOverFurtherRecords)
{
    QTemporaryDir dir;
    // Excel 95: a text of 32,767 characters, at most 2,080 bytes a record.
    std::string chars;
    QString expected;
    for (int i = 0; i < 32767; ++i) {
        chars += "\xC0\xE1\xE2"[i % 3]; // "Абв" in Windows-1251
        expected += QStringView(u"Абв")[i % 3];
    }
    std::string label = cell(0, 0, 15);
    put16(label, 32767);
    label += chars;
    std::string records = record(0x0204, label.substr(0, 2080));
    for (std::size_t at = 2080; at < label.size(); at += 2080)
        records += record(0x003C, label.substr(at, 2080));
    records += record(0x0203, cell(0, 1, 15) + f64(7));
    const QString path95 = writeFile(dir, QStringLiteral("long95.xls"), compoundFile(biff5Stream(records)));
    auto book = openWorkbook(path95, ruLocale());
    EXPECT_EQ(book->cellText(1, 1), expected);
    EXPECT_EQ(book->cellText(1, 2), QStringLiteral("7"));

    // Excel 97: the continuation starts with a flags byte of its own, here
    // switching from 8-bit to 16-bit characters.
    std::string label8 = cell(0, 0, 15);
    put16(label8, 4);
    label8 += std::string("\0ab", 3);
    std::string more("\x01", 1);
    put16(more, 0x0416);
    put16(more, 0x0416);
    const std::string sheet97 = sheet(record(0x0204, label8) + record(0x003C, more));
    const QString path97 =
        writeFile(dir, QStringLiteral("long97.xls"), compoundFile(workbookStream(globals(), {sheet97})));
    EXPECT_EQ(openWorkbook(path97, cLocale())->cellText(1, 1), QStringLiteral("abЖЖ"));
}

TEST(XlsRecords, SerialZeroTimesAndDurations)
{
    // XF 18: custom format 165 "[h]:mm:ss"; XF 19: built-in time format 21.
    std::string format;
    put16(format, 165);
    const std::string extra = record(0x041E, format + latinString("[h]:mm:ss")) + xf(165) + xf(21);
    const std::string s =
        sheet(record(0x0203, cell(0, 0, 18) + f64(1.5)) + record(0x0203, cell(0, 1, 16) + f64(0)) +
              record(0x0203, cell(0, 2, 19) + f64(0)));
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, QStringLiteral("times.xls"), compoundFile(workbookStream(globals() + extra, {s})));
    EXPECT_EQ(readRows(*openWorkbook(path, cLocale()), 1, 1, 1, 3),
              QStringList{QStringLiteral("36:00:00\t31.12.1899\t00:00:00")});
}

TEST(XlsRecords, SheetsChosenByNumberOrNameAndListedWithTheirState)
{
    QTemporaryDir dir;
    const std::string a = sheet(record(0x0204, cell(0, 0, 15) + latinString("first")));
    const std::string b = sheet(record(0x0204, cell(0, 0, 15) + latinString("second")));
    const QString path = writeFile(dir, QStringLiteral("two.xls"),
                                   compoundFile(workbookStream(globals(), {a, b}, {0, 0}, {0, 1})));
    EXPECT_EQ(openWorkbook(path, cLocale())->cellText(1, 1), QStringLiteral("first"));
    EXPECT_EQ(openWorkbook(path, cLocale(), {2, {}})->cellText(1, 1), QStringLiteral("second"));
    EXPECT_EQ(openWorkbook(path, cLocale(), {1, QStringLiteral("S1")})->cellText(1, 1),
              QStringLiteral("second"));
    const std::vector<SheetInfo> sheets = listSheets(path);
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[1].name, QStringLiteral("S1"));
    EXPECT_FALSE(sheets[0].hidden);
    EXPECT_TRUE(sheets[1].hidden);
}

struct XlsFault {
    const char *name;
    QByteArray file;
    std::string reason;
};

std::vector<XlsFault> xlsFaults()
{
    const std::string cutOff = workbookStream(globals(), {sheet(record(0x0203, cell(0, 0, 15) + f64(1)))});
    std::string truncated = cutOff;
    truncated.resize(truncated.size() - 10);
    std::string badIndex;
    put32(badIndex, 99);
    QByteArray brokenChain = compoundFile(cutOff);
    std::memset(brokenChain.data() + 512 + 8, 0x7F, 4); // the stream's first FAT entry points nowhere
    return {
        {"encrypted",
         compoundFile(workbookStream(globals() + record(0x002F, std::string(6, '\0')), {sheet("")})),
         texts::kEncrypted},
        {"chart_first", compoundFile(workbookStream(globals(), {sheet("")}, {2})),
         QString::fromUtf8(texts::kSheetNotWorksheet).arg(QStringLiteral("S0")).toStdString()},
        {"record_cut_off",
         compoundFile(cutOff.substr(0, cutOff.size() - 4) + std::string("\x03\x02\xFF\xFF", 4)),
         "is cut off"},
        {"sheet_without_end", compoundFile(truncated.substr(0, truncated.size() - 4)),
         "the sheet ends before its end record"},
        {"shared_string_out_of_range",
         compoundFile(workbookStream(globals(), {sheet(record(0x00FD, cell(0, 0, 15) + badIndex))})),
         "names a shared string that does not exist"},
        {"broken_sector_chain", brokenChain, "a sector chain is broken"},
        {"header_only", compoundFile("").left(300), "the header is cut off"},
    };
}

TEST(XlsRecords, DamagedOrProtectedFilesEndWithAMessage)
{
    QTemporaryDir dir;
    for (const XlsFault &f : xlsFaults()) {
        const QString path = writeFile(dir, QString::fromLatin1(f.name) + QStringLiteral(".xls"), f.file);
        const std::string message = readFailure(path);
        EXPECT_NE(message.find("the workbook \"" + path.toStdString() + "\": "), std::string::npos)
            << f.name << ": " << message;
        EXPECT_NE(message.find(f.reason), std::string::npos) << f.name << ": " << message;
    }
}

TEST(XlsFixture, FileWrittenByLibreOffice)
{
    auto book = openWorkbook(fixture(QStringLiteral("cells.xls")), cLocale());
    EXPECT_EQ(readRows(*book, 1, 7, 1, 5), (QStringList{
                                               "text\tПривет, мир\ttwo\nlines\ta  bc\\d\t",
                                               "42\t-3.5\t0.3\t1.23456789012346E+17\t1E-06",
                                               "01.03.2024\t01.03.2024 10:11:12\t10:11:12\t\t",
                                               "True\tFalse\t1\t\t",
                                               "#DIV/0!\t#N/A\t0\t\t",
                                               "\t\t\t\t",
                                               "after gap\t7\t7\t7\t",
                                           }));
    EXPECT_EQ(book->usedRange().lastRow, 7);
    EXPECT_EQ(openWorkbook(fixture(QStringLiteral("cells.xls")), ruLocale())->cellText(2, 2),
              QStringLiteral("-3,5"));
}

} // namespace
