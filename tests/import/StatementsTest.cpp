#include "import/Statements.h"
#include "import/IntegerText.h"

#include <QMap>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace rowpour;

namespace
{

// A sheet of fixed cells that counts its reads and refuses columns below 1.
class FixedSheet : public ICellSource
{
public:
    void set(int row, int column, const QString &text) { cells_[{row, column}] = text; }
    void setNumber(int row, int column, const QString &text)
    {
        set(row, column, text);
        numbers_.insert({row, column}, true);
    }
    bool isNumber(int row, int column) override { return numbers_.value({row, column}); }
    QString cellText(int row, int column) override
    {
        ++reads;
        if (row < 1 || column < 1)
            throw std::runtime_error("bad cell");
        return cells_.value({row, column});
    }
    int reads = 0;

private:
    QMap<std::pair<int, int>, QString> cells_;
    QMap<std::pair<int, int>, bool> numbers_;
};

TColumnMapping column(const char *name, const char *proceed, const char *xls, const char *code = "",
                      const char *defaultValue = "")
{
    return {QString::fromUtf8(name),    QString(),
            QString::fromUtf8(proceed), QString::fromUtf8(xls),
            QString::fromUtf8(code),    QString::fromUtf8(defaultValue)};
}

const QString T = QStringLiteral("T");
const platform::OperatorLocale kDayMonthYear{QLocale::c()}; // dd.MM.yyyy

class Statements : public ::testing::Test
{
protected:
    FixedSheet sheet;

    // The value text of one cell read through a mapping with `code`.
    QString valueOf(const QString &cellText, const char *code = "")
    {
        sheet.set(1, 1, cellText);
        return *ValueText(column("C", "1", "1", code), sheet, 1, kDayMonthYear);
    }
};

} // namespace

TEST_F(Statements, ExampleTable)
{
    // ENAME from column 2, JOB left out, HIRED from column 5 as a date, DEPTNO defaulting to 10.
    const MappingTable emp({column("ENAME", "1", "2"), column("JOB", "0", "x"),
                            column("HIRED", "1", "5", "D"), column("DEPTNO", "1", "", "", "10")});
    sheet.set(7, 2, QStringLiteral("Smith"));
    sheet.set(7, 5, QStringLiteral("12.05.1985"));
    const QString table = QStringLiteral("EMP");
    EXPECT_EQ(SeekStatement(table, emp, sheet, 7, kDayMonthYear),
              QStringLiteral("select * from EMP Where ENAME='Smith' and HIRED='12.05.1985' and DEPTNO='10'"));
    EXPECT_EQ(sheet.reads, 2);
    EXPECT_EQ(InsertStatement(table, emp, sheet, 7, kDayMonthYear),
              QStringLiteral("insert into EMP(ENAME,HIRED,DEPTNO) values ('Smith','12.05.1985','10')"));
    EXPECT_EQ(sheet.reads, 4); // each statement reads its cells anew
    EXPECT_EQ(DeleteStatement(table), QStringLiteral("delete from EMP"));
    EXPECT_EQ(RetryDeleteStatement(table), QStringLiteral("delete from \"EMP\""));
}

TEST_F(Statements, CellTextRules)
{
    EXPECT_EQ(valueOf(QStringLiteral("O'Neil")), QStringLiteral("O`Neil"));
    EXPECT_EQ(valueOf(QStringLiteral("\"word\"")), QStringLiteral("`word`"));
    EXPECT_EQ(valueOf(QStringLiteral("Ivanov, Ivan")), QStringLiteral("Ivanov  Ivan"));
    EXPECT_EQ(valueOf(QStringLiteral("Ivanov, Ivan"), "L1"), QStringLiteral("Ivanov"));
    EXPECT_EQ(valueOf(QStringLiteral("Ivanov, Ivan"), "L2"), QString());
    EXPECT_EQ(valueOf(QStringLiteral("Ivanov, Ivan"), "l3"), QStringLiteral("Ivan"));
    EXPECT_EQ(valueOf(QStringLiteral("1,5")), QStringLiteral("1 5"));
    // The date code sees the cell after its commas became blanks.
    EXPECT_EQ(valueOf(QStringLiteral("12,05,1985"), "D"), QStringLiteral("01.01.1900"));
    EXPECT_EQ(valueOf(QStringLiteral("1985"), "d5"), QStringLiteral("01.01.1985"));
}

// A number cell's comma is the locale's decimal separator and stays; the same
// text in a text cell loses it, and so does every other text of the row.
TEST_F(Statements, NumberCellsKeepTheirDecimalComma)
{
    sheet.setNumber(1, 1, QStringLiteral("1,5"));
    sheet.set(1, 2, QStringLiteral("1,5"));
    EXPECT_EQ(*ValueText(column("A", "1", "1"), sheet, 1), QStringLiteral("1,5"));
    EXPECT_EQ(*ValueText(column("B", "1", "2"), sheet, 1), QStringLiteral("1 5"));
    EXPECT_EQ(*ValueText(column("A", "1", "1", "L2"), sheet, 1), QString());
    EXPECT_EQ(InsertStatement(T, MappingTable({column("A", "1", "1"), column("B", "1", "2")}), sheet, 1,
                              kDayMonthYear),
              QStringLiteral("insert into T(A,B) values ('1,5','1 5')"));
}

TEST_F(Statements, DefaultValueRules)
{
    // Commas survive in defaults, quotes do not, and the sheet is not read.
    EXPECT_EQ(*ValueText(column("C", "1", "not a number", "L9", "1,5"), sheet, 1), QStringLiteral("1,5"));
    EXPECT_EQ(*ValueText(column("C", "1", "", "", "it's \"x\""), sheet, 1), QStringLiteral("it`s `x`"));
    EXPECT_EQ(sheet.reads, 0);
}

TEST_F(Statements, EmptyShapes)
{
    const MappingTable noneTakesPart({column("A", "0", ""), column("B", " 1", "bad")});
    EXPECT_EQ(SeekStatement(T, noneTakesPart, sheet, 1), QStringLiteral("select * from T Where "));
    EXPECT_EQ(InsertStatement(T, noneTakesPart, sheet, 1), QStringLiteral("insert into T() values ()"));
    EXPECT_EQ(sheet.reads, 0);
    EXPECT_EQ(InsertStatement(T, MappingTable({column("A", "1", "9")}), sheet, 1),
              QStringLiteral("insert into T(A) values ('')"));
}

TEST_F(Statements, UnknownCodeLeavesTheValueOut)
{
    sheet.set(1, 1, QStringLiteral("a"));
    sheet.set(1, 2, QStringLiteral("b"));
    sheet.set(1, 3, QStringLiteral("c"));
    const MappingTable middle({column("A", "1", "1"), column("B", "1", "2", "X"), column("C", "1", "3")});
    EXPECT_EQ(SeekStatement(T, middle, sheet, 1),
              QStringLiteral("select * from T Where A='a' and B= and C='c'"));
    EXPECT_EQ(InsertStatement(T, middle, sheet, 1), QStringLiteral("insert into T(A,B,C) values ('a','c')"));
    const MappingTable first({column("A", "1", "1", "?"), column("B", "1", "2")});
    EXPECT_EQ(InsertStatement(T, first, sheet, 1), QStringLiteral("insert into T(A,B) values (,'b')"));
}

TEST_F(Statements, IntegerAndCellFailuresEndTheStatement)
{
    try {
        InsertStatement(T, MappingTable({column("A", "1", "B")}), sheet, 1);
        FAIL() << "no exception";
    } catch (const EInvalidInteger &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), invalidIntegerMessage(QStringLiteral("B")));
    }
    EXPECT_THROW(SeekStatement(T, MappingTable({column("A", "1", "1", "Lx")}), sheet, 1), EInvalidInteger);
    EXPECT_THROW(SeekStatement(T, MappingTable({column("A", "1", "")}), sheet, 1), EInvalidInteger);
    EXPECT_THROW(SeekStatement(T, MappingTable({column("A", "1", "0")}), sheet, 1), std::runtime_error);
}

TEST(Identifiers, OnlyPlainOrOneQuotedIdentifierMayGoIntoAStatement)
{
    const std::pair<QString, bool> cases[] = {
        {"EMP", true},
        {"last_name", true},
        {"A$B#C_1", true},
        {QStringLiteral("Фамилия"), true},
        {QString(128, QLatin1Char('A')), true},
        {"\"Staff list\"", true},
        {"\"it's\"", true},
        {"", false},
        {"1ST", false},
        {"_X", false},
        {"LAST NAME", false},
        {" NAME", false},
        {"NAME,AGE", false},
        {"LAST_NAME) values ('x') --", false},
        {"STAFF where 1=1", false},
        {"SCOTT.EMP", false},
        {QString(129, QLatin1Char('A')), false},
        {QString(65, QChar(0x0424)), false}, // 130 bytes in UTF-8
        {"\"\"", false},
        {"\"a\"\"b\"", false},
        {"\"a\" or \"b\"", false},
        {"\"unclosed", false},
    };
    for (const auto &[name, valid] : cases)
        EXPECT_EQ(IsIdentifier(name), valid) << name.toStdString();
}

TEST(Identifiers, DictionaryNameUpperCasesPlainNamesAndUnquotesQuotedOnes)
{
    EXPECT_EQ(DictionaryName("last_Name"), "LAST_NAME");
    EXPECT_EQ(DictionaryName("\"last Name\""), "last Name");
}
