// The import run against an in-memory table, workbook and window.

#include "import/ImportRun.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

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
        if (seekFails)
            throw std::runtime_error("ORA-00936: missing expression");
        const QStringList wanted = literals(select);
        if (wanted.contains(QString()))
            return 0;
        return static_cast<int>(std::count(rows.begin(), rows.end(), wanted));
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
    int progressMin = -1, progressMax = -1, progressPos = -1;

    const IMappingCells &mapping() override { return grid; }
    QString tableName() override { return table; }
    bool seekOldRecords() override { return seek; }
    void showMessage(const QString &caption, const QString &text, MessageIcon icon) override
    {
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
    std::unique_ptr<ICellSource> openWorkbook(const QString &fileName) override
    {
        log << QStringLiteral("open[%1]").arg(fileName);
        if (workbookFails)
            throw std::runtime_error("cannot open the workbook");
        struct View : ICellSource {
            FakeSheet &sheet;
            explicit View(FakeSheet &s) : sheet(s) {}
            QString cellText(int row, int column) override { return sheet.cellText(row, column); }
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

QString summary(bool errors, int inserted, int selected)
{
    return QStringLiteral("message[move data|%1\r\ninserted %2 record from %3 selected|%4]")
        .arg(errors ? QStringLiteral("Process finished with errors ") : QStringLiteral("Process finished"))
        .arg(inserted)
        .arg(selected)
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
    EXPECT_EQ(window.log.mid(1), (QStringList{"errors shown", summary(true, 7, 10)}));
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
        int statements;
    } cases[] = {
        {"end before start", "5", "4", 0, 0},
        {"start equals end", "3", "3", 1, 2},
        {"leading blanks accepted", " 2", "3", 2, 4},
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

// A run that cannot finish must end before the table is emptied.
TEST(ImportRun, FailuresBeforeTheDeleteLeaveTheTableIntact)
{
    struct Case {
        const char *name;
        QString end;
        QString xlsField;
        QString code;
        bool workbookFails;
        QString message;
    } cases[] = {
        {"end row empty", "", "2", "", false, "'' is not a valid integer value"},
        {"xls field not a number", "3", "B", "", false, "'B' is not a valid integer value"},
        {"lexeme number missing", "3", "2", "L", false, "'' is not a valid integer value"},
        {"lower-case lexeme code", "3", "2", "lx", false, "'x' is not a valid integer value"},
        {"workbook cannot be opened", "3", "2", "", true, "cannot open the workbook"},
    };
    for (const Case &c : cases) {
        FakeWindow window;
        window.grid = MappingTable({{"ENAME", "VARCHAR2", "1", c.xlsField, c.code, ""}});
        window.workbookFails = c.workbookFails;
        FakeDatabase db;
        db.rows << QStringList{"old"};
        try {
            RunImport(rows("1", c.end, true), window, db, kDotLocale);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const std::exception &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), c.message) << c.name;
        }
        EXPECT_TRUE(db.executed.isEmpty()) << c.name;
        EXPECT_EQ(db.rows.size(), 1) << c.name;
    }
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
    EXPECT_EQ(db.executed[1],
              QStringLiteral("insert into EMP(ENAME,HIRED,DEPTNO) values ('Smith','01.01.1985','10')"));
    EXPECT_EQ(db.executed[3],
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

TEST(ImportRun, FailingDeleteIsShownOnceAndTheRowsAreProcessedAnyway)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "A", "1985");
    FakeDatabase db;
    db.failing << QStringLiteral("delete");
    const ImportResult result = RunImport(rows("1", "1", true), window, db, kDotLocale);
    EXPECT_EQ(db.executed.mid(0, 2), (QStringList{"delete from EMP", "delete from \"EMP\""}));
    EXPECT_EQ(window.log, (QStringList{"open[/data/book.xlsx]", "popup[delete old data from table EMP]",
                                       "message[error|not executed query: delete from \"EMP\"\r\n|error]",
                                       "popup hidden", summary(false, 1, 1)}));
    EXPECT_EQ(result.inserted, 1);
}

TEST(ImportRun, SuccessfulDeleteEmptiesTheTableFirst)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "A", "1985");
    FakeDatabase db;
    db.rows << QStringList{"A", "01.01.1985", "10"};
    const ImportResult result = RunImport(rows("1", "1", true), window, db, kDotLocale);
    EXPECT_EQ(db.executed[0], QStringLiteral("delete from EMP"));
    EXPECT_EQ(result.inserted, 1);
    EXPECT_EQ(result.skipped, 0);
}

TEST(ImportRun, ErrorsDuringRowsEndTheRunAndKeepWhatWasDone)
{
    FakeWindow window;
    window.useEmpMapping();
    window.setRow(1, "A", "1985");
    FakeDatabase db;
    db.seekFails = true;
    EXPECT_THROW(RunImport(rows("1", "3"), window, db, kDotLocale), std::runtime_error);
    EXPECT_EQ(window.log, QStringList{"open[/data/book.xlsx]"}); // no summary, no errors window

    // A row number below 1 fails at the first cell read.
    FakeWindow zero;
    zero.useEmpMapping();
    zero.seek = false;
    FakeDatabase db2;
    EXPECT_THROW(RunImport(rows("0", "1"), zero, db2, kDotLocale), std::runtime_error);
    EXPECT_TRUE(db2.executed.isEmpty());
}

TEST(ImportRun, StopRequestEndsTheRunAfterTheCurrentRowWithoutSummary)
{
    FakeWindow window;
    window.useEmpMapping();
    window.seek = false;
    for (int r = 1; r <= 5; ++r)
        window.setRow(r, QString::number(r), "1985");
    window.stopAtRow = 2;
    FakeDatabase db;
    const ImportResult result = RunImport(rows("1", "5"), window, db, kDotLocale);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.inserted, 2);
    EXPECT_EQ(window.log, QStringList{"open[/data/book.xlsx]"});
}

TEST(ImportRun, LargestRowNumberEndsTheLoop)
{
    FakeWindow window;
    window.grid = MappingTable({{"DEPTNO", "NUMBER", "1", "", "", "10"}});
    window.seek = false;
    FakeDatabase db;
    const ImportResult result = RunImport(rows("2147483647", "2147483647"), window, db, kDotLocale);
    EXPECT_EQ(result.selected, 1);
    EXPECT_EQ(result.inserted, 1);

    // The widest range counts 2^32 rows without overflowing (stopped after its first).
    FakeWindow wide;
    wide.grid = MappingTable({{"DEPTNO", "NUMBER", "1", "", "", "10"}});
    wide.seek = false;
    wide.stopAtRow = std::numeric_limits<int>::min();
    FakeDatabase db2;
    const ImportResult widest = RunImport(rows("-2147483648", "2147483647"), wide, db2, kDotLocale);
    EXPECT_EQ(widest.selected, qint64(1) << 32);
    EXPECT_EQ(widest.inserted, 1);
}

} // namespace
