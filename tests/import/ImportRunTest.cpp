// The import run against an in-memory table, workbook and window.

#include "import/ImportRun.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <functional>

#include <limits>
#include <map>
#include <stdexcept>

using namespace rowpour;

namespace
{

const platform::OperatorLocale kDotLocale{QLocale::c()};

// A sheet of texts; reading a cell outside 1.. fails like the real readers.
class FakeSheet : public ICellSource
{
public:
    std::map<std::pair<int, int>, QString> cells;
    int reads = 0;
    int lastRow = 1048576;
    int lastColumn = 16384;
    QString cellText(int row, int column) override
    {
        ++reads;
        if (row < 1 || column < 1)
            throw std::runtime_error("cell out of range");
        auto it = cells.find({row, column});
        return it == cells.end() ? QString() : it->second;
    }
};

// Extracts the literal values of a statement: a seek's conditions or an insert's value list.
QStringList literals(const QString &statement)
{
    QStringList values;
    const qsizetype from = statement.indexOf(QStringLiteral("values ("));
    const QString part = from >= 0 ? statement.mid(from) : statement;
    QRegularExpression literal(QStringLiteral("'([^']*)'"));
    for (auto it = literal.globalMatch(part); it.hasNext();)
        values << it.next().captured(1);
    return values;
}

// A table that remembers inserted value lists; a seek finds equal lists,
// and an empty value never compares equal, as NULL in the database.
class FakeDatabase : public IImportDatabase
{
public:
    QStringList executed;
    QList<QStringList> rows;
    QStringList failing; // statements (or substrings) the database rejects
    bool seekFails = false;
    int seeksBeforeFailing = 0; // with seekFails: this many seeks succeed first
    std::map<QString, QStringList> columns{{"EMP", {"ENAME", "HIRED", "DEPTNO", "JOB"}}};
    QList<QStringList> savepointRows; // the rows when the savepoint was set
    int savepoints = 0;
    int rollbacks = 0;
    bool rollbackFails = false;

    void execute(const QString &statement) override
    {
        executed << statement;
        for (const QString &f : failing)
            if (statement.contains(f))
                throw std::runtime_error("ORA-01722: invalid number");
        if (statement.startsWith(QStringLiteral("insert")))
            rows << literals(statement);
        if (statement.startsWith(QStringLiteral("delete")))
            rows.clear();
    }
    int countRecords(const QString &select) override
    {
        executed << select;
        if (seekFails && seeksBeforeFailing-- <= 0)
            throw std::runtime_error("ORA-00936: missing expression");
        const QStringList wanted = literals(select);
        if (wanted.contains(QString()))
            return 0;
        return static_cast<int>(std::count(rows.begin(), rows.end(), wanted));
    }
    QStringList tableColumns(const QString &table) override
    {
        auto it = columns.find(table);
        return it == columns.end() ? QStringList() : it->second;
    }
    void setSavepoint() override
    {
        ++savepoints;
        savepointRows = rows;
    }
    void rollbackToSavepoint() override
    {
        ++rollbacks;
        if (rollbackFails)
            throw std::runtime_error("ORA-03114: not connected to ORACLE\n");
        rows = savepointRows;
    }
    bool changed() const
    {
        return std::any_of(executed.begin(), executed.end(), [](const QString &statement) {
            return statement.startsWith(QStringLiteral("delete")) ||
                   statement.startsWith(QStringLiteral("insert"));
        });
    }
};

class FakeWindow : public IImportSurroundings
{
public:
    MappingTable grid = MappingTable::initialGrid();
    QString table = QStringLiteral("EMP");
    bool seek = true;
    FakeSheet sheet;
    bool workbookFails = false;
    int stopAtRow = 0;
    int currentRow = 0;

    QStringList log; // messages, popup, workbook, errors-window events in order
    QStringList labels;
    QStringList errorEntries;
    QStringList databaseMessages;
    QList<MessageKind> kinds; // of the messages shown, in order
    int progressMin = -1, progressMax = -1, progressPos = -1;

    const IMappingCells &mapping() override { return grid; }
    QString tableName() override { return table; }
    bool seekOldRecords() override { return seek; }
    void showMessage(MessageKind kind, const QString &caption, const QString &text, MessageIcon icon) override
    {
        kinds << kind;
        log << QStringLiteral("message[%1|%2|%3]")
                   .arg(caption, text,
                        icon == MessageIcon::Error ? QStringLiteral("error") : QStringLiteral("info"));
    }
    void showProgress(const QString &text) override { log << QStringLiteral("popup[%1]").arg(text); }
    void hideProgress() override { log << QStringLiteral("popup hidden"); }
    void setProgressRange(int minimum, int maximum) override
    {
        progressMin = minimum;
        progressMax = maximum;
    }
    void setProgressPosition(int position) override { progressPos = currentRow = position; }
    void setProgressLabel(const QString &text) override { labels << text; }
    void processEvents() override {}
    bool stopRequested() override { return stopAtRow != 0 && currentRow >= stopAtRow; }
    void appendErrorEntry(const QString &entry, const QString &message) override
    {
        errorEntries << entry;
        databaseMessages << message;
    }
    void showErrors() override { log << QStringLiteral("errors shown"); }
    std::unique_ptr<IImportSheet> openWorkbook(const QString &fileName) override
    {
        log << QStringLiteral("open[%1]").arg(fileName);
        if (workbookFails)
            throw std::runtime_error("cannot open the workbook");
        struct View : IImportSheet {
            FakeSheet &sheet;
            explicit View(FakeSheet &s) : sheet(s) {}
            QString cellText(int row, int column) override { return sheet.cellText(row, column); }
            int lastRow() const override { return sheet.lastRow; }
            int lastColumn() const override { return sheet.lastColumn; }
        };
        return std::make_unique<View>(sheet);
    }

    // ENAME from column 2, HIRED from column 5 with code D, DEPTNO default 10, JOB left out.
    void useEmpMapping()
    {
        grid = MappingTable({{"ENAME", "VARCHAR2", "1", "2", "", ""},
                             {"HIRED", "DATE", "1", "5", "D", ""},
                             {"DEPTNO", "NUMBER", "1", "", "", "10"},
                             {"JOB", "VARCHAR2", "0", "x", "", ""}});
    }
    void setRow(int row, const QString &name, const QString &date)
    {
        sheet.cells[{row, 2}] = name;
        sheet.cells[{row, 5}] = date;
    }
};

ImportOptions rows(const QString &start, const QString &end, bool deleteFirst = false)
{
    return {QStringLiteral("/data/book.xlsx"), start, end, deleteFirst};
}

QString summary(bool errors, int inserted, int selected, int skipped = 0)
{
    return QStringLiteral(
               "message[move data|%1\r\ninserted %2 record from %3 selected\r\nskipped %4 found in "
               "the table|%5]")
        .arg(errors ? QStringLiteral("Process finished with errors ") : QStringLiteral("Process finished"))
        .arg(inserted)
        .arg(selected)
        .arg(skipped)
        .arg(errors ? QStringLiteral("error") : QStringLiteral("info"));
}

TEST(ImportRun, InitialGridShowsTheValidationMessageAndDoesNothingElse)
{
    FakeWindow window;
    FakeDatabase db;
    const ImportResult result = RunImport(rows("1", ""), window, db, kDotLocale);
    EXPECT_FALSE(result.validated);
    ASSERT_EQ(window.log.size(), 1);
    EXPECT_EQ(window.log[0],
              QStringLiteral("message[Ошибка|Ошибки при заполненнии матрицы:\r\nстрока матрицы "
                             "1-незаполненна\r\nстрока матрицы 2-незаполненна\r\nстрока матрицы "
                             "3-незаполненна\r\nстрока матрицы 4-незаполненна|error]"));
    EXPECT_EQ(window.kinds, QList<MessageKind>{MessageKind::Validation});
    EXPECT_TRUE(db.executed.isEmpty());
}

TEST(ImportRun, TenRowsWithTwoFoundAndOneFailing)
{
    FakeWindow window;
    window.useEmpMapping();
    FakeDatabase db;
    for (int r = 1; r <= 10; ++r)
        window.setRow(r, QStringLiteral("Name%1").arg(r), QStringLiteral("12.05.1985"));
    db.rows << QStringList{"Name3", "12.05.1985", "10"} << QStringList{"Name7", "12.05.1985", "10"};
    db.failing << QStringLiteral("'Name9'");

    const ImportResult result = RunImport(rows("1", "10"), window, db, kDotLocale);

    EXPECT_EQ(result.inserted, 7);
    EXPECT_EQ(result.skipped, 2);
    EXPECT_EQ(result.failed, 1);
    ASSERT_EQ(window.errorEntries.size(), 1);
    EXPECT_EQ(
        window.errorEntries[0],
        QStringLiteral("/9/insert into EMP(ENAME,HIRED,DEPTNO) values ('Name9','12.05.1985','10')\r\n"));
    EXPECT_EQ(window.databaseMessages[0], QStringLiteral("ORA-01722: invalid number"));
    EXPECT_EQ(window.log.mid(1), (QStringList{"errors shown", summary(true, 7, 10, 2)}));
    // The label shows the counts as they stood before each row.
    EXPECT_EQ(window.labels.front(), QStringLiteral("1/10/0/0"));
    EXPECT_EQ(window.labels.back(), QStringLiteral("10/10/1/2"));
    EXPECT_EQ(db.executed[0],
              QStringLiteral("select * from EMP Where ENAME='Name1' and HIRED='12.05.1985' and DEPTNO='10'"));
}

TEST(ImportRun, RowRangeEdges)
{
    struct Case {
        const char *name;
        QString start, end;
        int selected;
        int statements; // the first row's seek is run once more before the rows
    } cases[] = {
        {"end before start", "5", "4", 0, 0},
        {"start equals end", "3", "3", 1, 3},
        {"leading blanks accepted", " 2", "3", 2, 5},
    };
    for (const Case &c : cases) {
        FakeWindow window;
        window.useEmpMapping();
        window.setRow(2, "A", "1985");
        window.setRow(3, "B", "1985");
        FakeDatabase db;
        const ImportResult result = RunImport(rows(c.start, c.end), window, db, kDotLocale);
        EXPECT_EQ(result.selected, c.selected) << c.name;
        EXPECT_EQ(db.executed.size(), c.statements) << c.name;
        EXPECT_EQ(window.log.back(), summary(false, c.selected, c.selected)) << c.name;
        EXPECT_EQ(window.progressMax, c.end.trimmed().toInt()) << c.name;
        EXPECT_EQ(window.progressMin, c.start.trimmed().toInt()) << c.name;
    }
}

TEST(ImportRun, SeekSkipsTheLaterOfTwoEqualRowsButNeverMatchesAnEmptyValue)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "Smith", "1985");
    window.setRow(2, "Smith", "1985");
    window.setRow(3, "", "1985");
    window.setRow(4, "", "1985");
    FakeDatabase db;
    const ImportResult result = RunImport(rows("1", "4"), window, db, kDotLocale);
    EXPECT_EQ(result.inserted, 3);
    EXPECT_EQ(result.skipped, 1);

    FakeWindow noSeek;
    noSeek.useEmpMapping();
    noSeek.seek = false;
    noSeek.setRow(1, "Smith", "1985");
    noSeek.setRow(2, "Smith", "1985");
    FakeDatabase db2;
    EXPECT_EQ(RunImport(rows("1", "2"), noSeek, db2, kDotLocale).inserted, 2);
    EXPECT_EQ(db2.executed.size(), 2);
}

// Every condition that would end the run is met before the delete, with a
// message naming the value at fault.
TEST(ImportRun, CheckBeforeAnyChangeRefusesWhatWouldEndTheRun)
{
    struct Case {
        const char *name;
        QString start, end;
        QList<TColumnMapping> grid;
        QString message;
        std::function<void(FakeWindow &, FakeDatabase &)> setUp = {};
    } cases[] = {
        {"end row empty", "1", "", {{"ENAME", "", "1", "2", "", ""}}, "'' is not a valid integer value"},
        {"start row 0",
         "0",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "Row 0 is outside the sheet's rows 1 to 1048576"},
        {"start row negative",
         "-3",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "Row -3 is outside the sheet's rows 1 to 1048576"},
        {"end row beyond an xls sheet",
         "1",
         "70000",
         {{"ENAME", "", "1", "2", "", ""}},
         "Row 70000 is outside the sheet's rows 1 to 65536",
         [](FakeWindow &w, FakeDatabase &) { w.sheet.lastRow = 65536; }},
        {"start after end",
         "9",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "Start row 9 is after end row 3: no row would be loaded, so the old data of table EMP was not "
         "deleted"},
        {"start just after end",
         "4",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "Start row 4 is after end row 3: no row would be loaded, so the old data of table EMP was not "
         "deleted"},
        {"xls field 0",
         "1",
         "3",
         {{"ENAME", "", "1", "0", "", ""}},
         "XLS field 0 of ORA field ENAME is outside the sheet's columns 1 to 16384"},
        {"xls field -1",
         "1",
         "3",
         {{"ENAME", "", "1", "-1", "", ""}},
         "XLS field -1 of ORA field ENAME is outside the sheet's columns 1 to 16384"},
        {"xls field beyond an xls sheet",
         "1",
         "3",
         {{"ENAME", "", "1", "257", "", ""}},
         "XLS field 257 of ORA field ENAME is outside the sheet's columns 1 to 256",
         [](FakeWindow &w, FakeDatabase &) { w.sheet.lastColumn = 256; }},
        {"xls field not a number",
         "1",
         "3",
         {{"ENAME", "", "1", "B", "", ""}},
         "'B' is not a valid integer value"},
        {"lexeme number missing",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "L", ""}},
         "'' is not a valid integer value"},
        {"lower-case lexeme code",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "lx", ""}},
         "'x' is not a valid integer value"},
        {"unknown code",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "X1", ""}},
         "Process data 'X1' of ORA field ENAME is not a known code (L<number>, D or empty)"},
        {"nothing takes part",
         "1",
         "3",
         {{"ENAME", "", "0", "2", "", ""}},
         "No mapping row takes part in the import (Proceed 1)"},
        {"field that is not an identifier",
         "1",
         "3",
         {{"JOB", "", "1", "", "", "x"}, {"LAST_NAME) values ('x') --", "", "1", "2", "", ""}},
         "ORA field 'LAST_NAME) values ('x') --' of mapping row 2 is not a valid identifier"},
        {"field not in the table",
         "1",
         "3",
         {{"SALARY", "", "1", "2", "", ""}},
         "ORA field SALARY of mapping row 1 is not a column of table EMP"},
        {"field mapped twice",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "", ""}, {"ename", "", "1", "3", "", ""}},
         "ORA field ename is mapped twice, in mapping rows 1 and 2"},
        {"no table chosen",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "No table is chosen",
         [](FakeWindow &w, FakeDatabase &) { w.table.clear(); }},
        {"table name with a condition",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "Table name 'EMP where 1=0' is not a valid identifier",
         [](FakeWindow &w, FakeDatabase &) { w.table = "EMP where 1=0"; }},
        {"table not the user's",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "Table DEPT is not one of the user's tables",
         [](FakeWindow &w, FakeDatabase &) { w.table = "DEPT"; }},
        {"workbook cannot be opened",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "cannot open the workbook",
         [](FakeWindow &w, FakeDatabase &) { w.workbookFails = true; }},
        {"first row's seek rejected",
         "1",
         "3",
         {{"ENAME", "", "1", "2", "", ""}},
         "ORA-00936: missing expression",
         [](FakeWindow &, FakeDatabase &db) { db.seekFails = true; }},
    };
    for (const Case &c : cases) {
        FakeWindow window;
        window.grid = MappingTable(c.grid);
        FakeDatabase db;
        db.rows << QStringList{"old"};
        if (c.setUp)
            c.setUp(window, db);
        try {
            RunImport(rows(c.start, c.end, true), window, db, kDotLocale);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const std::exception &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), c.message) << c.name;
        }
        EXPECT_FALSE(db.changed()) << c.name;
        EXPECT_EQ(db.savepoints, 0) << c.name;
        EXPECT_EQ(db.rows, QList<QStringList>{{"old"}}) << c.name;
    }
}

TEST(ImportRun, QuotedAndLowerCaseNamesAreLookedUpAsTheDictionaryKeepsThem)
{
    FakeWindow window;
    window.table = QStringLiteral("\"Staff list\"");
    window.grid = MappingTable({{"\"Name\"", "", "1", "1", "", ""}, {"grade", "", "1", "", "", "B"}});
    window.seek = false;
    window.sheet.cells[{1, 1}] = "Ann";
    FakeDatabase db;
    db.columns["Staff list"] = {"Name", "GRADE"};
    EXPECT_EQ(RunImport(rows("1", "1"), window, db, kDotLocale).inserted, 1);
    EXPECT_EQ(db.executed, QStringList{"insert into \"Staff list\"(\"Name\",grade) values ('Ann','B')"});
}

TEST(ImportRun, SeekAndInsertOfARowShareItsCellReads)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "Smith", "1985");
    window.setRow(2, "Jones", "1986");
    FakeDatabase db;
    RunImport(rows("1", "2"), window, db, kDotLocale);
    EXPECT_EQ(window.sheet.reads, 4); // two mapped columns, two rows
    EXPECT_EQ(db.executed[2],
              QStringLiteral("insert into EMP(ENAME,HIRED,DEPTNO) values ('Smith','01.01.1985','10')"));
    EXPECT_EQ(db.executed[4],
              QStringLiteral("insert into EMP(ENAME,HIRED,DEPTNO) values ('Jones','01.01.1986','10')"));
}

TEST(ImportRun, DefaultValueNeedsNoSpreadsheetColumn)
{
    FakeWindow window;
    window.grid = MappingTable({{"DEPTNO", "NUMBER", "1", "not a number", "L", "10"}});
    window.seek = false;
    FakeDatabase db;
    EXPECT_EQ(RunImport(rows("1", "2"), window, db, kDotLocale).inserted, 2);
    EXPECT_EQ(db.executed[0], QStringLiteral("insert into EMP(DEPTNO) values ('10')"));
}

TEST(ImportRun, FailingDeleteIsShownWithItsReasonAfterThePopupAndTheRowsAreProcessedAnyway)
{
    FakeWindow window;
    window.useEmpMapping();
    window.seek = false;
    window.setRow(1, "A", "1985");
    FakeDatabase db;
    db.failing << QStringLiteral("delete");
    const ImportResult result = RunImport(rows("1", "1", true), window, db, kDotLocale);
    EXPECT_EQ(db.executed.mid(0, 2), (QStringList{"delete from EMP", "delete from \"EMP\""}));
    EXPECT_EQ(window.log,
              (QStringList{"open[/data/book.xlsx]", "popup[delete old data from table EMP]", "popup hidden",
                           "message[error|not executed query: delete from \"EMP\"\r\n"
                           "ORA-01722: invalid number|error]",
                           summary(false, 1, 1)}));
    // The receiver tells the failed delete from the summary by the kind alone.
    EXPECT_EQ(window.kinds, (QList<MessageKind>{MessageKind::Error, MessageKind::Summary}));
    EXPECT_EQ(result.inserted, 1);
    EXPECT_TRUE(result.deleteFailed);
    EXPECT_EQ(result.deleteFailure, QStringLiteral("ORA-01722: invalid number"));
}

TEST(ImportRun, SuccessfulDeleteEmptiesTheTableFirst)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "A", "1985");
    FakeDatabase db;
    db.rows << QStringList{"A", "01.01.1985", "10"};
    const ImportResult result = RunImport(rows("1", "1", true), window, db, kDotLocale);
    EXPECT_EQ(db.executed[1], QStringLiteral("delete from EMP"));
    EXPECT_EQ(db.savepoints, 1);
    EXPECT_EQ(result.inserted, 1);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_FALSE(result.deleteFailed);
}

// An error after the first change goes back to the savepoint: the delete and
// the rows of this run are undone, earlier runs stay.
TEST(ImportRun, ErrorAfterAChangeLeavesTheTableAsBeforeTheRun)
{
    FakeWindow window;
    window.useEmpMapping();
    for (int r = 1; r <= 5; ++r)
        window.setRow(r, QStringLiteral("N%1").arg(r), "1985");
    FakeDatabase db;
    ASSERT_EQ(RunImport(rows("1", "1"), window, db, kDotLocale).inserted, 1);
    const QList<QStringList> afterFirstRun = db.rows;

    db.seekFails = true;
    db.seeksBeforeFailing = 3; // the check, rows 1 and 2; row 3's seek is rejected
    try {
        RunImport(rows("1", "5", true), window, db, kDotLocale);
        ADD_FAILURE() << "no error";
    } catch (const std::exception &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  "ORA-00936: missing expression\r\n"
                  "Nothing of this run was kept: the table is as it was before the run.");
    }
    EXPECT_TRUE(db.executed.contains("delete from EMP"));
    EXPECT_EQ(db.rollbacks, 1);
    EXPECT_EQ(db.rows, afterFirstRun);
    EXPECT_FALSE(window.log.contains("errors shown"));
}

TEST(ImportRun, FailureToRecordAFailedRowEndsTheRunAndUndoesIt)
{
    struct RefusingLog : FakeWindow {
        void appendErrorEntry(const QString &, const QString &) override
        {
            throw std::runtime_error("cannot write to err.log: No space left on device");
        }
    } window;
    window.useEmpMapping();
    window.seek = false;
    window.setRow(1, "A", "1985");
    window.setRow(2, "B", "1985");
    FakeDatabase db;
    db.failing << QStringLiteral("'B'");
    EXPECT_THROW(RunImport(rows("1", "2"), window, db, kDotLocale), std::runtime_error);
    EXPECT_TRUE(db.rows.isEmpty());
}

TEST(ImportRun, UndoThatFailsIsReported)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "A", "1985");
    FakeDatabase db;
    db.seekFails = true;
    db.seeksBeforeFailing = 2;
    db.rollbackFails = true;
    try {
        RunImport(rows("1", "3"), window, db, kDotLocale);
        ADD_FAILURE() << "no error";
    } catch (const std::exception &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  "ORA-00936: missing expression\r\n"
                  "The changes of this run could not be undone: ORA-03114: not connected to ORACLE");
    }
}

TEST(ImportRun, StopRequestEndsTheRunAfterTheCurrentRowAndUndoesIt)
{
    FakeWindow window;
    window.useEmpMapping();
    window.seek = false;
    for (int r = 1; r <= 5; ++r)
        window.setRow(r, QString::number(r), "1985");
    window.stopAtRow = 2;
    FakeDatabase db;
    db.rows << QStringList{"old"};
    const ImportResult result = RunImport(rows("1", "5", true), window, db, kDotLocale);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.inserted, 2);
    EXPECT_EQ(db.executed.size(), 3); // the delete, rows 1 and 2
    EXPECT_EQ(db.rows, QList<QStringList>{{"old"}});
    EXPECT_EQ(window.log.filter("message").size(), 0); // no summary
}

TEST(ImportRun, LargestRowNumberEndsTheLoop)
{
    FakeWindow window;
    window.grid = MappingTable({{"DEPTNO", "NUMBER", "1", "", "", "10"}});
    window.seek = false;
    window.sheet.lastRow = std::numeric_limits<int>::max();
    FakeDatabase db;
    const ImportResult result = RunImport(rows("2147483647", "2147483647"), window, db, kDotLocale);
    EXPECT_EQ(result.selected, 1);
    EXPECT_EQ(result.inserted, 1);

    // The widest range counts its rows without overflowing (stopped after its first).
    window.stopAtRow = 1;
    const ImportResult widest = RunImport(rows("1", "2147483647"), window, db, kDotLocale);
    EXPECT_EQ(widest.selected, 2147483647);
    EXPECT_EQ(widest.inserted, 1);
}

} // namespace
