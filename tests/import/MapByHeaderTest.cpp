// Mapping by a header row, the sheet named by the operator, and the sheet a
// saved mapping carries.

#include "import/MapByHeader.h"
#include "app/MappingSettings.h"
#include "import/SheetOption.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace rowpour;

namespace
{

MappingTable mappingOf(const QList<std::pair<QString, QString>> &fieldsAndXls)
{
    QList<TColumnMapping> rows;
    for (const auto &[field, xls] : fieldsAndXls)
        rows.append({field, QStringLiteral("VARCHAR2"), QStringLiteral("1"), xls, {}, {}});
    return MappingTable(rows);
}

TEST(MapByHeader, NamesMatchWithoutCaseBlanksAndUnderscoresCyrillicKept)
{
    const struct Case {
        const char *field;
        const char *header;
        bool matches;
    } cases[] = {
        {"LAST_NAME", "Last name", true}, {"LAST_NAME", " last  NAME ", true},
        {"LASTNAME", "Last_Name", true},  {"\"Mixed\"", "MIXED", true},
        {"ФАМИЛИЯ", "Фамилия", true},     {"ДАТА_РОЖДЕНИЯ", "дата рождения", true},
        {"ФАМИЛИЯ", "FAMILIYA", false},   {"NAME", "Name2", false},
        {"E_MAIL", "e-mail", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HeaderKey(QString::fromUtf8(c.field)) == HeaderKey(QString::fromUtf8(c.header)), c.matches)
            << c.field << " / " << c.header;
    EXPECT_TRUE(HeaderKey(" _ ").isEmpty());
}

TEST(MapByHeader, EveryRowOrOnlyEmptyFieldsLeftmostCellWinsOthersUntouched)
{
    const MappingTable mapping =
        mappingOf({{"ID", "7"}, {"NAME", ""}, {"BORN", ""}, {"CITY", "4"}, {"", ""}});
    const QStringList header = {"Id", "", "Name", "born", "NAME"};

    const HeaderMapping every = MatchHeader(mapping, header, 1, HeaderTargets::EveryRow);
    EXPECT_EQ(every.consideredRows, 4) << "the row without an ORA field is no target";
    ASSERT_EQ(every.matched.size(), 3);
    EXPECT_EQ(every.matched[0].mappingRow, 1);
    EXPECT_EQ(every.matched[0].column, 1);
    EXPECT_EQ(every.matched[1].oraField, "NAME");
    EXPECT_EQ(every.matched[1].column, 3) << "the leftmost of two cells";
    EXPECT_EQ(every.matched[2].column, 4);
    EXPECT_EQ(every.unmatched, QStringList{"CITY"});

    const HeaderMapping empty = MatchHeader(mapping, header, 3, HeaderTargets::EmptyXlsFields);
    EXPECT_EQ(empty.consideredRows, 2);
    ASSERT_EQ(empty.matched.size(), 2);
    EXPECT_EQ(empty.matched[0].oraField, "NAME");
    EXPECT_TRUE(empty.unmatched.isEmpty());

    EXPECT_EQ(DescribeHeaderMapping(every), "Header row 1: 3 of 4 mapping rows matched.\n"
                                            "ID: column 1 (A) \"Id\"\n"
                                            "NAME: column 3 (C) \"Name\"\n"
                                            "BORN: column 4 (D) \"born\"\n"
                                            "No header cell names, left as they were: CITY");
}

TEST(SheetOption, NamesWinOverNumbersAndLettersAreCounted)
{
    const std::vector<workbook::SheetInfo> sheets = {{"Data", false}, {"2", false}, {"Secret", true}};
    const struct Case {
        const char *text;
        int number;
        const char *name;
    } cases[] = {
        {"", 1, ""},  {"Data", 1, "Data"}, {"2", 1, "2"},
        {"3", 3, ""}, {"0", 0, ""},        {"Missing", 1, "Missing"},
    };
    for (const Case &c : cases) {
        const workbook::SheetChoice choice = SheetChoiceFromText(c.text, sheets);
        EXPECT_EQ(choice.number, c.number) << c.text;
        EXPECT_EQ(choice.name, QString(c.name)) << c.text;
    }
    EXPECT_EQ(SheetLabel(sheets[2]), "Secret (hidden)");
    EXPECT_EQ(SheetLabel(sheets[0]), "Data");
    EXPECT_EQ(ColumnLetters(1), "A");
    EXPECT_EQ(ColumnLetters(26), "Z");
    EXPECT_EQ(ColumnLetters(27), "AA");
    EXPECT_EQ(ColumnLetters(16384), "XFD");
    EXPECT_EQ(ColumnLetters(0), "");
}

// The sheet goes into a section of its own: the rows read the same with or
// without it, and a file without it has no sheet.
TEST(MappingSheet, SavedBesideTheRowsWithoutChangingThem)
{
    QTemporaryDir dir;
    const QString withSheet = dir.filePath("with.ini");
    const QString without = dir.filePath("without.ini");
    const MappingTable mapping = mappingOf({{"ID", "1"}, {"NAME", "3"}});
    SaveMapping(withSheet, mapping, "Лист 2");
    SaveMapping(without, mapping);
    EXPECT_EQ(LoadMapping(withSheet), LoadMapping(without));
    EXPECT_EQ(ReadIniSection(withSheet, "Rows"), ReadIniSection(without, "Rows"));
    EXPECT_EQ(LoadMappingSheet(withSheet), "Лист 2");
    EXPECT_EQ(LoadMappingSheet(without), "");

    // A file of the old form, edited by hand with the section before the rows.
    QFile old(dir.filePath("old.ini"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[workbook]\r\nsheet=Data\r\n[Rows]\r\nRow1=ID,NUMBER,1,1,,\r\n");
    old.close();
    EXPECT_EQ(LoadMappingSheet(old.fileName()), "Data");
    ASSERT_EQ(LoadMapping(old.fileName()).size(), 1);

    // Saving nothing writes nothing, not even the sheet.
    SaveMapping(dir.filePath("none.ini"), MappingTable(), "Data");
    EXPECT_FALSE(QFile::exists(dir.filePath("none.ini")));
}

} // namespace
