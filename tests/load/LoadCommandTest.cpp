// rowpour-batch load: statements, counts, summary, error log and exit codes
// against a development database.

#include "DevDbHome.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using rowpour::testing::DevDbHome;
using rowpour::testing::ProcessResult;

namespace
{

class LoadCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        home_.createUser("demo", "demo");
        ASSERT_EQ(
            home_
                .sql("demo/demo", {"create table PEOPLE (NAME varchar2(10), BORN date, SALARY number(10,2))"})
                .exitCode,
            0);
        write("book.csv", "Name;Born;Salary\n"
                          "Ivanov Ivan;12.05.1985;100\n"
                          "Petrov Petr;1990;200\n"
                          "Petrov Petr;1990;200\n"
                          "Sidorov Aleksandrovich;1991;300\n");
        write(
            "map.ini",
            "[Rows]\r\nRow1=NAME,VARCHAR2,1,1,L2,\r\nRow2=BORN,DATE,1,2,D,\r\nRow3=SALARY,NUMBER,1,3,,\r\n");
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString file(const QString &name) const { return dir_.filePath(name); }

    ProcessResult load(QStringList extra)
    {
        QStringList args{"load",   "--userid",       "demo/demo@DEVDB", "--table",      "PEOPLE",
                         "--file", file("book.csv"), "--mapping",       file("map.ini")};
        return home_.batch(args + extra);
    }
    QByteArray rows()
    {
        return home_.batch({"sql", "--userid", "demo/demo@DEVDB", "select NAME, BORN, SALARY from PEOPLE"})
            .out;
    }

    DevDbHome home_;
    QTemporaryDir dir_;
};

TEST_F(LoadCommand, LoadsSkipsDuplicatesAndLogsTheFailingRow)
{
    const ProcessResult result = load({"--start", "2", "--end", "5", "--errors", file("err.log")});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_EQ(result.out, "Process finished with errors \ninserted 2 record from 4 selected\n");
    QFile log(file("err.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray entry = log.readAll();
    EXPECT_TRUE(entry.startsWith(
        "/5/insert into PEOPLE(NAME,BORN,SALARY) values ('Aleksandrovich','01.01.1991','300')\r\n"
        "ORA-12899: value too large for column"))
        << entry.toStdString();
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\nPetr\t01.01.1990\t200\n");
}

TEST_F(LoadCommand, ExitCodeZeroWhenEveryRowIsInsertedOrSkipped)
{
    EXPECT_EQ(load({"--start", "2", "--end", "3"}).exitCode, 0);
    const ProcessResult again = load({"--start", "2", "--end", "4"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, "Process finished\ninserted 0 record from 3 selected\n");
}

TEST_F(LoadCommand, WithoutSeekEqualRowsAreInsertedTwice)
{
    EXPECT_EQ(load({"--start", "3", "--end", "4", "--no-seek"}).exitCode, 0);
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nPetr\t01.01.1990\t200\nPetr\t01.01.1990\t200\n");
}

TEST_F(LoadCommand, RunEndingBeforeTheDeleteLeavesTheTableIntact)
{
    ASSERT_EQ(load({"--start", "2", "--end", "2"}).exitCode, 0);
    const ProcessResult emptyEnd = load({"--delete", "--end", ""});
    EXPECT_EQ(emptyEnd.exitCode, 2);
    EXPECT_TRUE(emptyEnd.err.contains("'' is not a valid integer value")) << emptyEnd.err.toStdString();
    const ProcessResult missingBook =
        home_.batch({"load", "--userid", "demo/demo@DEVDB", "--table", "PEOPLE", "--file", file("none.xlsx"),
                     "--mapping", file("map.ini"), "--delete", "--end", "3"});
    EXPECT_EQ(missingBook.exitCode, 2);
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\n");
}

TEST_F(LoadCommand, DeleteEmptiesTheTableBeforeLoading)
{
    ASSERT_EQ(load({"--start", "2", "--end", "3"}).exitCode, 0);
    EXPECT_EQ(load({"--start", "3", "--end", "3", "--delete"}).exitCode, 0);
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nPetr\t01.01.1990\t200\n");
}

TEST_F(LoadCommand, UnknownTableIsRefusedBeforeAnyChange)
{
    const ProcessResult result =
        home_.batch({"load", "--userid", "demo/demo@DEVDB", "--table", "NOPE", "--file", file("book.csv"),
                     "--mapping", file("map.ini"), "--delete", "--no-seek", "--start", "2", "--end", "3"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("Table NOPE is not one of the user's tables")) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
}

TEST_F(LoadCommand, InvalidMappingAndBadArgumentsEndWithExitCodeTwo)
{
    write("bad.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,,1,,\r\n");
    const ProcessResult invalid =
        home_.batch({"load", "--userid", "demo/demo@DEVDB", "--table", "PEOPLE", "--file", file("book.csv"),
                     "--mapping", file("bad.ini"), "--end", "2"});
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_TRUE(invalid.err.contains(QString("строка матрицы 1-незаполненна").toUtf8()));
    EXPECT_EQ(load({"--end", "2", "--bogus"}).exitCode, 2);
    EXPECT_EQ(home_
                  .batch({"load", "--userid", "demo/demo@DEVDB", "--table", "PEOPLE", "--file",
                          file("book.csv"), "--mapping", file("missing.ini"), "--end", "2"})
                  .exitCode,
              2);
    EXPECT_EQ(home_
                  .batch({"load", "--userid", "demo/wrong@DEVDB", "--table", "PEOPLE", "--file",
                          file("book.csv"), "--mapping", file("map.ini"), "--end", "2"})
                  .exitCode,
              2);
}

} // namespace
