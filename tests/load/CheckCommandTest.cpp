// rowpour-batch check against the development database: on a workbook with
// one fault of each kind it names exactly those rows and columns, a real load
// of the same rows fails exactly those rows with the same Oracle errors, and
// the check itself leaves the table as it was.

#include "DevDbHome.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

using rowpour::testing::DevDbHome;
using rowpour::testing::ProcessResult;

namespace
{

// Row number -> "COLUMN ORA-nnnnn" of every fault the file's entries name.
using Faults = QMap<int, QStringList>;

// Entries start with "/row/"; the lines after one, up to the next, are the
// check's fault lines or the load's database message.
Faults checkFaults(const QByteArray &log)
{
    static const QRegularExpression entry(QStringLiteral("^/(\\d+)/"));
    static const QRegularExpression fault(QStringLiteral("^(\\w+): .*\\(ORA-(\\d{5})\\)$"));
    Faults faults;
    int row = 0;
    for (const QString &line : QString::fromUtf8(log).split(QRegularExpression(QStringLiteral("\r?\n")))) {
        if (const QRegularExpressionMatch m = entry.match(line); m.hasMatch()) {
            row = m.captured(1).toInt();
            faults[row];
        } else if (const QRegularExpressionMatch m = fault.match(line); m.hasMatch() && row != 0) {
            faults[row].append(m.captured(1) + QStringLiteral(" ORA-") + m.captured(2));
        }
    }
    return faults;
}

// Row number -> the Oracle error code of the load's message.
QMap<int, QString> loadFailures(const QByteArray &log)
{
    static const QRegularExpression entry(QStringLiteral("^/(\\d+)/"));
    static const QRegularExpression code(QStringLiteral("^(ORA-\\d{5}):"));
    QMap<int, QString> failures;
    int row = 0;
    for (const QString &line : QString::fromUtf8(log).split(QRegularExpression(QStringLiteral("\r?\n")))) {
        if (const QRegularExpressionMatch m = entry.match(line); m.hasMatch())
            row = m.captured(1).toInt();
        else if (const QRegularExpressionMatch m = code.match(line); m.hasMatch() && row != 0)
            failures[row] = m.captured(1), row = 0;
    }
    return failures;
}

class CheckCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home_.createUser("demo", "demo");
        ASSERT_EQ(home_
                      .sql("demo/demo", {"create table STAFF (ID number(5) not null, NAME varchar2(6), "
                                         "TITLE varchar2(3 char), AMOUNT number(5,2), BORN date)"})
                      .exitCode,
                  0);
        // One fault of each kind, a row at a time; rows 2, 7 and 11 are fine.
        write("book.csv", "Id;Name;Title;Amount;Born\n"
                          "1;Ivan;абв;123.45;12.05.1985\n"  // 2: three characters, six bytes: fits
                          "2;Иванов;abc;1;12.05.1985\n"     // 3: six characters, twelve bytes
                          "3;Ivan;абвг;1;12.05.1985\n"      // 4: four characters in a 3 CHAR column
                          "4;Ivan;abc;1234.5;12.05.1985\n"  // 5: four digits before the point of (5,2)
                          "5;Ivan;abc;12x;12.05.1985\n"     // 6: not a number
                          "6;Ivan;abc;1;31.02.2020\n"       // 7 is below
                          "7;Ivan;abc;123.456;12.05.1985\n" // 8: rounds to 123.46: fine
                          ";Ivan;abc;1;12.05.1985\n"        // 9: NULL in NOT NULL
                          "9;Ivan  ;abc;-999.99;12.05\n"    // 10: trailing blanks fit; a date cut short reads
                          "10;;;;\n"                        // 11: NULLs where allowed
        );
        write("map.ini", "[Rows]\r\nRow1=ID,NUMBER,1,1,,\r\nRow2=NAME,VARCHAR2,1,2,,\r\n"
                         "Row3=TITLE,VARCHAR2,1,3,,\r\nRow4=AMOUNT,NUMBER,1,4,,\r\nRow5=BORN,DATE,1,5,,\r\n");
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(dir_.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    ProcessResult batch(const QString &command, const QString &errors, const QString &end = "11")
    {
        return home_.batch(QStringList{command, "--userid", "demo/demo@DEVDB", "--table", "STAFF", "--file",
                                       dir_.filePath("book.csv"), "--mapping", dir_.filePath("map.ini"),
                                       "--start", "2", "--end", end, "--no-seek", "--errors",
                                       dir_.filePath(errors)});
    }
    QByteArray rows()
    {
        return home_.batch({"sql", "--userid", "demo/demo@DEVDB", "select ID from STAFF order by ID"}).out;
    }

    DevDbHome home_;
    QTemporaryDir dir_;
};

TEST_F(CheckCommand, FindsExactlyTheFaultsALoadMeetsAndChangesNothing)
{
    ASSERT_EQ(home_.sql("demo/demo", {"insert into STAFF (ID) values (99)"}).exitCode, 0);

    const ProcessResult check = batch("check", "check.log");
    EXPECT_EQ(check.exitCode, 1) << check.err.toStdString();
    EXPECT_EQ(check.out, "6 rows would fail\n");
    const QByteArray report = read("check.log");
    const Faults expected{{3, {"NAME ORA-12899"}},   {4, {"TITLE ORA-12899"}}, {5, {"AMOUNT ORA-01438"}},
                          {6, {"AMOUNT ORA-01722"}}, {7, {"BORN ORA-01839"}},  {9, {"ID ORA-01400"}}};
    EXPECT_EQ(checkFaults(report), expected) << report.toStdString();
    EXPECT_TRUE(report.startsWith("Check of table STAFF, rows 2 to 11:\n")) << report.toStdString();
    EXPECT_TRUE(report.endsWith("6 rows would fail\n")) << report.toStdString();
    EXPECT_EQ(rows(), "ID\n99\n");

    const ProcessResult load = batch("load", "load.log");
    EXPECT_EQ(load.exitCode, 1) << load.err.toStdString();
    const QMap<int, QString> failed = loadFailures(read("load.log"));
    ASSERT_EQ(failed.keys(), expected.keys()) << read("load.log").toStdString();
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_TRUE(it.value().front().endsWith(failed.value(it.key()))) << it.key();
    EXPECT_EQ(rows(), "ID\n1\n7\n9\n10\n99\n");
    EXPECT_EQ(
        home_.batch({"sql", "--userid", "demo/demo@DEVDB", "select AMOUNT from STAFF where ID = 7"}).out,
        "AMOUNT\n123.46\n");
}

TEST_F(CheckCommand, ExitCodesForCleanRowsAndForAnInvalidMapping)
{
    const ProcessResult clean = batch("check", "clean.log", "2");
    EXPECT_EQ(clean.exitCode, 0) << clean.err.toStdString();
    EXPECT_EQ(clean.out, "0 rows would fail\n");

    write("map.ini", "[Rows]\r\nRow1=ID,NUMBER,1,,,\r\n");
    const ProcessResult invalid = batch("check", "invalid.log");
    EXPECT_EQ(invalid.exitCode, 2) << invalid.err.toStdString();
    EXPECT_EQ(rows(), "ID\n");
}

} // namespace
