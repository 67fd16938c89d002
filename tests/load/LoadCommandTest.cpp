// rowpour-batch load: statements, counts, summary, error log and exit codes
// against a development database, and what the table holds on every way a
// load can end.

#include "DevDbHome.h"
#include "tests/import/XlsxBook.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using rowpour::testing::buildDir;
using rowpour::testing::DevDbHome;
using rowpour::testing::ProcessResult;

namespace
{

const QByteArray kOldRows = "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\n";

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

    QStringList loadArguments(const QStringList &extra) const
    {
        return QStringList{"load",   "--userid",       "demo/demo@DEVDB", "--table",      "PEOPLE",
                           "--file", file("book.csv"), "--mapping",       file("map.ini")} +
               extra;
    }
    ProcessResult load(const QStringList &extra) { return home_.batch(loadArguments(extra)); }

    // rowpour-batch with more environment, a set-up of the child process
    // (its standard streams) and a time limit.
    ProcessResult batch(const QStringList &args, const QStringList &environment = {},
                        const std::function<void()> &childSetUp = {}, int timeoutMs = 60000)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &entry : home_.environment() + environment)
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        process.setProcessEnvironment(env);
        if (childSetUp)
            process.setChildProcessModifier(childSetUp);
        process.start(buildDir() + "/cli/rowpour-batch", args);
        process.closeWriteChannel();
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return {-1, process.readAllStandardOutput(), process.readAllStandardError()};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QByteArray rows()
    {
        return home_.batch({"sql", "--userid", "demo/demo@DEVDB", "select NAME, BORN, SALARY from PEOPLE"})
            .out;
    }
    void loadOldRows() { ASSERT_EQ(load({"--start", "2", "--end", "2"}).exitCode, 0); }

    DevDbHome home_;
    QTemporaryDir dir_;
};

TEST_F(LoadCommand, LoadsSkipsDuplicatesAndLogsTheFailingRow)
{
    const ProcessResult result = load({"--start", "2", "--end", "5", "--errors", file("err.log")});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_EQ(
        result.out,
        "Process finished with errors \ninserted 2 record from 4 selected\nskipped 1 found in the table\n");
    QFile log(file("err.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray entry = log.readAll();
    EXPECT_TRUE(entry.startsWith(
        "/5/insert into PEOPLE(NAME,BORN,SALARY) values ('Aleksandrovich','01.01.1991','300')\r\n"
        "ORA-12899: value too large for column"))
        << entry.toStdString();
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\nPetr\t01.01.1990\t200\n");
}

// The same load with the array insert: summary, error log, exit code and table alike, seek on and off.
TEST_F(LoadCommand, ArrayInsertLoadsAsAStatementPerRowDoes)
{
    for (const QStringList &seek : {QStringList{}, QStringList{"--no-seek"}}) {
        QList<QByteArray> outcomes;
        for (const QStringList &array : {QStringList{}, QStringList{"--array", "2"}}) {
            ASSERT_EQ(home_.sql("demo/demo", {"delete from PEOPLE"}).exitCode, 0);
            QFile::remove(file("err.log"));
            const ProcessResult result =
                load(QStringList{"--start", "2", "--end", "5", "--errors", file("err.log")} + seek + array);
            QFile log(file("err.log"));
            EXPECT_TRUE(log.open(QIODevice::ReadOnly));
            outcomes.append(QByteArray::number(result.exitCode) + '\n' + result.out + log.readAll() + rows());
        }
        EXPECT_EQ(outcomes[1], outcomes[0]);
        EXPECT_TRUE(outcomes[0].contains("/5/insert into PEOPLE")) << outcomes[0].toStdString();
    }
    const ProcessResult refused = load({"--start", "2", "--end", "5", "--array", "-1"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains("--array -1 is not a number of rows")) << refused.err.toStdString();
}

TEST_F(LoadCommand, ExitCodeZeroWhenEveryRowIsInsertedOrSkipped)
{
    EXPECT_EQ(load({"--start", "2", "--end", "3"}).exitCode, 0);
    const ProcessResult again = load({"--start", "2", "--end", "4"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out,
              "Process finished\ninserted 0 record from 3 selected\nskipped 3 found in the table\n");
}

TEST_F(LoadCommand, WithoutSeekEqualRowsAreInsertedTwice)
{
    EXPECT_EQ(load({"--start", "3", "--end", "4", "--no-seek"}).exitCode, 0);
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nPetr\t01.01.1990\t200\nPetr\t01.01.1990\t200\n");
}

TEST_F(LoadCommand, DeleteEmptiesTheTableBeforeLoading)
{
    loadOldRows();
    EXPECT_EQ(load({"--start", "3", "--end", "3", "--delete"}).exitCode, 0);
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nPetr\t01.01.1990\t200\n");
}

// Every input that would end the run is refused before the delete: exit
// code 2, a message naming the cause, the table as it was.
TEST_F(LoadCommand, InputThatWouldEndTheRunLeavesTheTableAsItWas)
{
    loadOldRows();
    write("zero.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,1,0,,\r\n");
    write("wide.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,1,16385,,\r\n");
    write("none.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,0,1,,\r\n");
    write("code.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,1,1,X,\r\n");
    write("column.ini", "[Rows]\r\nRow1=SURNAME,VARCHAR2,1,1,,\r\n");
    write("inject.ini", "[Rows]\r\nRow1=NAME) values ('x') --,VARCHAR2,1,1,,\r\n");
    write("nosection.ini", "[Other]\r\nRow1=NAME,VARCHAR2,1,1,,\r\n");
    write("binary.ini", QByteArray("\x00\x01\x02PK\x03\x04\xff\xfe", 10));
    const struct Case {
        const char *name;
        QStringList args;
        QByteArray message;
    } cases[] = {
        {"end row empty", {"--end", ""}, "'' is not a valid integer value"},
        {"start row 0", {"--start", "0", "--end", "3"}, "Row 0 is outside the sheet's rows 1 to"},
        {"start row negative", {"--start", "-1", "--end", "3"}, "Row -1 is outside the sheet's rows 1 to"},
        {"start after end",
         {"--start", "9", "--end", "3"},
         "Start row 9 is after end row 3: no row would be loaded, so the old data of table PEOPLE was not "
         "deleted"},
        {"xls field 0",
         {"--mapping", file("zero.ini"), "--end", "3"},
         "XLS field 0 of ORA field NAME is outside the sheet's columns 1 to 16384"},
        {"xls field beyond the sheet",
         {"--mapping", file("wide.ini"), "--end", "3"},
         "XLS field 16385 of ORA field NAME is outside the sheet's columns 1 to 16384"},
        {"nothing takes part",
         {"--mapping", file("none.ini"), "--end", "3"},
         "No mapping row takes part in the import"},
        {"unknown code",
         {"--mapping", file("code.ini"), "--end", "3"},
         "Process data 'X' of ORA field NAME is not a known code"},
        {"field not a column",
         {"--mapping", file("column.ini"), "--end", "3"},
         "ORA field SURNAME of mapping row 1 is not a column of table PEOPLE"},
        {"field that is not an identifier",
         {"--mapping", file("inject.ini"), "--end", "3"},
         "ORA field 'NAME) values ('x') --' of mapping row 1 is not a valid identifier"},
        {"table with a condition",
         {"--table", "PEOPLE where NAME='Ivan'", "--end", "3"},
         "Table name 'PEOPLE where NAME='Ivan'' is not a valid identifier"},
        {"mapping without rows", {"--mapping", file("nosection.ini"), "--end", "3"}, "holds no mapping rows"},
        {"binary mapping", {"--mapping", file("binary.ini"), "--end", "3"}, "holds no mapping rows"},
        {"workbook and mapping swapped",
         {"--file", file("map.ini"), "--mapping", file("book.csv"), "--end", "3"},
         "holds no mapping rows"},
        {"workbook missing", {"--file", file("none.xlsx"), "--end", "3"}, "none.xlsx"},
    };
    for (const Case &c : cases) {
        // Later options of the same name are not read: the case's own come first.
        QStringList args =
            QStringList{"load", "--userid", "demo/demo@DEVDB"} + c.args + QStringList{"--delete"};
        for (const auto &[option, value] : {std::pair{"--table", "PEOPLE"}, std::pair{"--file", "book.csv"},
                                            std::pair{"--mapping", "map.ini"}}) {
            if (!c.args.contains(option))
                args << option << (QString(option) == "--table" ? QString(value) : file(value));
        }
        const ProcessResult result = home_.batch(args);
        EXPECT_EQ(result.exitCode, 2) << c.name;
        EXPECT_TRUE(result.err.contains(c.message)) << c.name << ": " << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << c.name;
        EXPECT_EQ(rows(), kOldRows) << c.name;
    }
}

TEST_F(LoadCommand, ErrorAfterTheDeleteUndoesTheWholeRun)
{
    loadOldRows();
    // A literal longer than 4,000 bytes is rejected by the seek of row 4.
    write("book.csv", "Name;Born;Salary\nA Bb;1990;1\nA Cc;1990;2\nA " + QByteArray(5000, 'x') + ";1990;3\n");
    const ProcessResult result = load({"--start", "2", "--end", "4", "--delete"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("ORA-01704")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Nothing of this run was kept: the table is as it was before the run."));
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(rows(), kOldRows);
}

TEST_F(LoadCommand, FailedCommitIsReportedAndNothingIsStored)
{
    loadOldRows();
    const ProcessResult result =
        batch(loadArguments({"--start", "3", "--end", "4", "--delete"}), {"ROWPOUR_DEVDB_FAIL_COMMIT=1"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.out.isEmpty()) << "no summary: " << result.out.toStdString();
    EXPECT_TRUE(
        result.err.contains("the rows could not be committed, nothing of this run was kept: ORA-03113"))
        << result.err.toStdString();
    EXPECT_EQ(rows(), kOldRows);
}

TEST_F(LoadCommand, FailingDeleteHasItsOwnExitCodeAndGivesTheReason)
{
    loadOldRows();
    // Another session holds uncommitted changes of the table: the delete and
    // the insert wait for it and give up with ORA-00054.
    QProcess holder;
    holder.start(buildDir() + "/devdb/home/bin/rowpour-devdb", {"sql", home_.path(), "DEVDB", "demo/demo"});
    ASSERT_TRUE(holder.waitForStarted());
    holder.write("insert into PEOPLE(NAME) values ('Holder')\n");
    ASSERT_TRUE(holder.waitForBytesWritten());
    QThread::msleep(1000);

    const ProcessResult result = load({"--start", "2", "--end", "2", "--delete", "--no-seek"});
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished());
    EXPECT_EQ(result.exitCode, 3) << result.err.toStdString();
    EXPECT_TRUE(
        result.err.contains("error: not executed query: delete from \"PEOPLE\"\nORA-00054: resource busy"))
        << result.err.toStdString();
    EXPECT_EQ(
        result.out,
        "Process finished with errors \ninserted 0 record from 1 selected\nskipped 0 found in the table\n");
    EXPECT_EQ(rows(), kOldRows + "Holder\t\t\n");
}

// The output's reader goes away: the process is not killed half-way. The
// summary is written after the commit, so a broken standard output has its
// own exit code; failed-row entries that cannot be written end the run.
TEST_F(LoadCommand, BrokenPipesAreReportedInsteadOfEndingTheProcess)
{
    const auto brokenPipeAs = [](int stream) {
        return [stream] {
            int ends[2];
            if (::pipe(ends) == 0) {
                ::close(ends[0]);
                ::dup2(ends[1], stream);
            }
        };
    };
    const ProcessResult summaryLost =
        batch(loadArguments({"--start", "2", "--end", "3"}), {}, brokenPipeAs(STDOUT_FILENO));
    EXPECT_EQ(summaryLost.exitCode, 4);
    EXPECT_TRUE(summaryLost.err.contains("the rows were committed, but the summary could not be written: "
                                         "standard output: Broken pipe"))
        << summaryLost.err.toStdString();
    const QByteArray loaded = rows();
    EXPECT_EQ(loaded, "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\nPetr\t01.01.1990\t200\n");

    const ProcessResult entryLost =
        batch(loadArguments({"--start", "4", "--end", "5", "--delete"}), {}, brokenPipeAs(STDERR_FILENO));
    EXPECT_EQ(entryLost.exitCode, 2);
    EXPECT_EQ(rows(), loaded);
}

TEST_F(LoadCommand, ErrorsFileOnAFullDiskEndsTheRunWithTheReason)
{
    loadOldRows();
    const ProcessResult result = load({"--start", "2", "--end", "5", "--delete", "--errors", "/dev/full"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("/dev/full: No space left on device")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("Nothing of this run was kept"));
    EXPECT_EQ(rows(), kOldRows);
}

// Killed at any moment, a load leaves the old table or its whole result.
TEST_F(LoadCommand, KillAtAnyMomentLeavesTheOldTableOrTheCommittedResult)
{
    QByteArray book = "Name;Born;Salary\n";
    const int count = 10000;
    for (int i = 0; i < count; ++i)
        book += "N N" + QByteArray::number(i) + ";1990;" + QByteArray::number(i) + "\n";
    write("big.csv", book);
    QStringList args =
        loadArguments({"--start", "2", "--end", QString::number(count + 1), "--delete", "--no-seek"});
    args[args.indexOf(file("book.csv"))] = file("big.csv");
    const QString countSql = "select count(*), min(SALARY), max(SALARY) from PEOPLE";
    const auto state = [&] { return home_.batch({"sql", "--userid", "demo/demo@DEVDB", countSql}).out; };
    const QByteArray oldState = "COUNT(*)\tMIN(SALARY)\tMAX(SALARY)\n1\t100\t100\n";
    const QByteArray newState = "COUNT(*)\tMIN(SALARY)\tMAX(SALARY)\n10000\t0\t9999\n";

    QElapsedTimer whole;
    loadOldRows();
    whole.start();
    ASSERT_EQ(batch(args).exitCode, 0);
    const qint64 duration = whole.elapsed();
    ASSERT_EQ(state(), newState);

    QSet<QByteArray> seen;
    for (const double share : {0.0, 0.1, 0.25, 0.4, 0.55, 0.7, 0.85, 0.95, 1.0}) {
        ASSERT_EQ(home_.sql("demo/demo", {"delete from PEOPLE"}).exitCode, 0);
        loadOldRows();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &entry : home_.environment())
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        process.setProcessEnvironment(env);
        process.start(buildDir() + "/cli/rowpour-batch", args);
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(duration * share));
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
        const QByteArray after = state();
        EXPECT_TRUE(after == oldState || after == newState) << share << ": " << after.toStdString();
        seen.insert(after);
    }
    EXPECT_TRUE(seen.contains(oldState));
}

TEST_F(LoadCommand, EveryCommandThatLogsOnTakesThePasswordFromTheEnvironment)
{
    const QList<QStringList> commands = {{"logon", "--userid", "demo@DEVDB"},
                                         {"tables", "--userid", "demo@DEVDB"},
                                         {"columns", "--userid", "demo@DEVDB", "PEOPLE"}};
    for (const QStringList &command : commands) {
        EXPECT_EQ(batch(command, {"ROWPOUR_PASSWORD=demo"}).exitCode, 0) << command.join(' ').toStdString();
        EXPECT_NE(batch(command, {"ROWPOUR_PASSWORD="}).exitCode, 0) << command.join(' ').toStdString();
    }
}

TEST_F(LoadCommand, PasswordFromTheEnvironmentOrAskedWithoutEcho)
{
    const QStringList withoutPassword = {"load",   "--userid",       "demo@DEVDB", "--table",       "PEOPLE",
                                         "--file", file("book.csv"), "--mapping",  file("map.ini"), "--end",
                                         "2",      "--start",        "2"};
    EXPECT_EQ(batch(withoutPassword, {"ROWPOUR_PASSWORD=demo"}).exitCode, 0);
    const ProcessResult noTerminal = batch(withoutPassword, {"ROWPOUR_PASSWORD="});
    EXPECT_EQ(noTerminal.exitCode, 2) << "no password and nobody to ask: the logon fails";

    // Standard input a terminal: the password is asked for and not echoed.
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ROWPOUR_PASSWORD");
    for (const QString &entry : home_.environment())
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([slave] {
        ::setsid();
        ::dup2(slave, STDIN_FILENO);
    });
    process.start(buildDir() + "/cli/rowpour-batch", withoutPassword);
    ASSERT_TRUE(process.waitForStarted());
    ::close(slave);
    QByteArray prompt;
    QElapsedTimer waiting;
    waiting.start();
    while (!prompt.contains("Password for demo: ") && waiting.elapsed() < 30000) {
        process.waitForReadyRead(100);
        prompt += process.readAllStandardError();
    }
    ASSERT_TRUE(prompt.contains("Password for demo: ")) << prompt.toStdString();
    ASSERT_EQ(::write(master, "demo\n", 5), 5);
    ASSERT_TRUE(process.waitForFinished(60000));
    QByteArray echoed;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[256];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        echoed.append(buffer, n);
    ::close(master);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_FALSE(echoed.contains("demo")) << "echoed: " << echoed.toStdString();
    EXPECT_EQ(rows(), kOldRows);
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

// Refused by the workbook readers, which open the file before any change: a
// file of no bytes and a named pipe (which must not hang the load).
TEST_F(LoadCommand, EmptyFileAndNamedPipeAreRefusedBeforeAnyChange)
{
    loadOldRows();
    write("empty.xlsx", "");
    QStringList emptyBook = loadArguments({"--end", "3", "--delete"});
    emptyBook[emptyBook.indexOf(file("book.csv"))] = file("empty.xlsx");
    const ProcessResult empty = home_.batch(emptyBook);
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_TRUE(empty.err.contains("empty.xlsx")) << empty.err.toStdString();
    EXPECT_EQ(rows(), kOldRows);

    const QString fifo = file("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const ProcessResult pipe =
        batch(QStringList{"load", "--userid", "demo/demo@DEVDB", "--table", "PEOPLE", "--file", fifo,
                          "--mapping", file("map.ini"), "--end", "3", "--delete"},
              {}, {}, 20000);
    EXPECT_EQ(pipe.exitCode, 2) << "a named pipe must not hang the load";
    EXPECT_TRUE(pipe.err.contains("pipe.csv")) << pipe.err.toStdString();
    EXPECT_EQ(rows(), kOldRows);
}

// The sheet: --sheet, else the one the mapping was saved with (when the
// workbook has it), else the first; --header-row fills the empty XLS fields.
TEST_F(LoadCommand, SheetByOptionOrMappingAndFieldsByHeader)
{
    rowpour::testing::WriteXlsx(file("book.xlsx"),
                                {{"Notes", {{"not", "this"}}},
                                 {"People", {{"Salary", "Born", "Name"}, {"100", "12.05.1985", "Ivan"}}}});
    write("header.ini",
          "[Rows]\r\nRow1=NAME,VARCHAR2,1,,,\r\nRow2=BORN,DATE,1,,,\r\nRow3=SALARY,NUMBER,1,1,,\r\n");
    const auto loadSheet = [&](const QString &mapping, const QStringList &extra, const QString &row = "2") {
        return home_.batch(QStringList{"load", "--userid", "demo/demo@DEVDB", "--table", "PEOPLE", "--file",
                                       file("book.xlsx"), "--mapping", file(mapping), "--start", row, "--end",
                                       row} +
                           extra);
    };

    ProcessResult r = loadSheet("header.ini", {"--sheet", "People", "--header-row", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Header row 1: 2 of 2 mapping rows matched.\nNAME: column 3 (C) \"Name\"\n"
                               "BORN: column 2 (B) \"Born\"\n"))
        << r.err.toStdString();
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\n");

    // The mapping's sheet; the fields it leaves empty stay empty without --header-row.
    write("sheet.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,1,3,,\r\nRow2=SALARY,NUMBER,1,1,,\r\n"
                       "[Workbook]\r\nSheet=People\r\n");
    r = loadSheet("sheet.ini", {"--no-seek"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(rows(), "NAME\tBORN\tSALARY\nIvan\t12.05.1985\t100\nIvan\t\t100\n");
    // --sheet wins over the mapping's: the first sheet has no number in column 1.
    r = loadSheet("sheet.ini", {"--sheet", "1", "--no-seek"}, "1");
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();

    write("gone.ini", "[Rows]\r\nRow1=NAME,VARCHAR2,1,1,,\r\n[Workbook]\r\nSheet=Archive\r\n");
    r = loadSheet("gone.ini", {}, "1");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(
        r.err.contains("sheet \"Archive\", which the workbook does not have; its first sheet is read"));
    EXPECT_TRUE(rows().endsWith("not\t\t\n"));

    r = loadSheet("sheet.ini", {"--sheet", "Missing"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("it has no sheet named \"Missing\"")) << r.err.toStdString();
}

} // namespace
