// The array insert against the development database: every workbook is run
// through the statement-per-row path and through batches of a few rows, and
// the two must leave the same table, the same counts and the same error
// entries. In OCI7 mode the array insert is not available and the run sends a
// statement per row.

#include "DevdbFixture.h"

#include "import/ImportRun.h"
#include "import/OracleImportDatabase.h"
#include "oracle/BoundStatement.h"
#include "oracle/OracleData.h"
#include "oracle/OracleTypes.h"
#include "platform/Environment.h"

#include <QFile>
#include <QLocale>

#include <functional>

namespace rowpour::oracle::testing
{
namespace
{

namespace Environment = platform::Environment;

const platform::OperatorLocale kLocale{QLocale(QLocale::Russian, QLocale::Russia)};

// A sheet of texts, row 1 first; the cells of columns in `numbers` are number cells.
class TextSheet : public IImportSheet
{
public:
    TextSheet(QList<QStringList> rows, QList<int> numbers = {})
        : rows_(std::move(rows)), numbers_(std::move(numbers))
    {
    }
    QString cellText(int row, int column) override { return rows_.value(row - 1).value(column - 1); }
    bool isNumber(int, int column) override { return numbers_.contains(column); }
    int lastRow() const override { return int(rows_.size()); }
    int lastColumn() const override { return 256; }

private:
    QList<QStringList> rows_;
    QList<int> numbers_;
};

// A sheet of generated rows.
class GeneratedSheet : public IImportSheet
{
public:
    GeneratedSheet(int rows, std::function<QString(int, int)> cell) : rows_(rows), cell_(std::move(cell)) {}
    QString cellText(int row, int column) override { return cell_(row, column); }
    int lastRow() const override { return rows_; }
    int lastColumn() const override { return 256; }

private:
    int rows_;
    std::function<QString(int, int)> cell_;
};

struct Entry {
    QString entry;
    QString message;
    bool operator==(const Entry &) const = default;
};

void PrintTo(const Entry &e, std::ostream *os)
{
    *os << (e.entry + e.message).toStdString();
}

class Surroundings : public IImportSurroundings
{
public:
    Surroundings(MappingTable mapping, std::function<std::unique_ptr<IImportSheet>()> sheet)
        : mapping_(std::move(mapping)), sheet_(std::move(sheet))
    {
    }
    const IMappingCells &mapping() override { return mapping_; }
    QString tableName() override { return table; }
    bool seekOldRecords() override { return seek; }
    void showMessage(const QString &, const QString &text, MessageIcon) override { messages.append(text); }
    void showProgress(const QString &) override {}
    void hideProgress() override {}
    void setProgressRange(int, int) override {}
    void setProgressPosition(int position) override { positions.append(position); }
    void setProgressLabel(const QString &) override {}
    void processEvents() override {}
    bool stopRequested() override { return stopAtRow != 0 && positions.size() >= stopAtRow; }
    void appendErrorEntry(const QString &entry, const QString &message) override
    {
        entries.append({entry, message});
    }
    void showErrors() override {}
    std::unique_ptr<IImportSheet> openWorkbook(const QString &) override { return sheet_(); }

    QString table = QStringLiteral("PEOPLE");
    bool seek = true;
    int stopAtRow = 0;
    QStringList messages;
    QList<int> positions;
    QList<Entry> entries;

private:
    MappingTable mapping_;
    std::function<std::unique_ptr<IImportSheet>()> sheet_;
};

struct Outcome {
    ImportResult result;
    QList<Entry> entries;
    QStringList table;
    QList<int> positions;
    QString failure; // what an ended run threw
};

TColumnMapping column(const QString &name, const QString &xls, const QString &code = {},
                      const QString &defaultValue = {})
{
    return {name, QString(), QStringLiteral("1"), xls, code, defaultValue};
}

class ArrayImportTest : public DevdbStatementTest
{
protected:
    void SetUp() override
    {
        DevdbStatementTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        devdbSql(
            "create table PEOPLE (ID number(6) constraint PEOPLE_PK primary key, NAME varchar2(12) not null,"
            " CODE char(4), BORN date, SALARY number(8,2), NOTE varchar2(20))\n"
            "insert into PEOPLE (ID, NAME, CODE) values (1, 'Old', 'AB')\n");
        execute(QStringLiteral("alter session set NLS_DATE_FORMAT='DD.MM.YYYY'"));
    }

    void execute(const QString &statement)
    {
        TOracleQuery query;
        query.SetSession(&session_);
        query.SQL().append(statement);
        query.Execute();
    }

    QStringList tableRows()
    {
        TOracleQuery query;
        query.SetSession(&session_);
        query.SQL().append(
            QStringLiteral("select ID, NAME, '[' || CODE || ']', BORN, SALARY, NOTE from PEOPLE order by ID, "
                           "NAME, CODE, BORN, SALARY, NOTE"));
        query.Execute();
        QStringList rows;
        for (; !query.Eof(); query.Next()) {
            QStringList row;
            for (int c = 0; c < query.ColumnCount(); ++c)
                row.append(query.ColumnIsNull(c) ? QStringLiteral("NULL") : query.ColumnAsText(c));
            rows.append(row.join(QLatin1Char('|')));
        }
        return rows;
    }

    // One run; the table is rolled back to what it was before, and its rows after the run returned.
    Outcome run(int arrayRows, Surroundings &surroundings, int startRow, int endRow, bool deleteFirst = false)
    {
        surroundings.entries.clear();
        surroundings.positions.clear();
        TOracleDataSet seekSet;
        seekSet.SetSession(&session_);
        OracleImportDatabase database(session_, seekSet);
        ImportOptions options;
        options.fileName = QStringLiteral("book.xlsx");
        options.startRowText = QString::number(startRow);
        options.endRowText = QString::number(endRow);
        options.deleteFirst = deleteFirst;
        options.arrayRows = arrayRows;
        Outcome outcome;
        try {
            outcome.result = RunImport(options, surroundings, database, kLocale);
        } catch (const std::exception &e) {
            outcome.failure = QString::fromUtf8(e.what());
        }
        outcome.entries = surroundings.entries;
        outcome.positions = surroundings.positions;
        outcome.table = tableRows();
        session_.Rollback();
        return outcome;
    }

    // Runs the rows through both paths and expects the same outcome; returns it.
    Outcome expectSameOutcome(Surroundings &surroundings, int startRow, int endRow, int arrayRows = 3,
                              bool deleteFirst = false)
    {
        const QStringList before = tableRows();
        const Outcome rowByRow = run(0, surroundings, startRow, endRow, deleteFirst);
        const Outcome batched = run(arrayRows, surroundings, startRow, endRow, deleteFirst);
        EXPECT_EQ(tableRows(), before);
        EXPECT_EQ(batched.failure, rowByRow.failure);
        EXPECT_EQ(batched.table, rowByRow.table);
        EXPECT_EQ(batched.entries, rowByRow.entries);
        EXPECT_EQ(batched.positions, rowByRow.positions);
        EXPECT_EQ(batched.result.inserted, rowByRow.result.inserted);
        EXPECT_EQ(batched.result.failed, rowByRow.result.failed);
        EXPECT_EQ(batched.result.skipped, rowByRow.result.skipped);
        EXPECT_EQ(batched.result.errors, rowByRow.result.errors);
        EXPECT_EQ(batched.result.stopped, rowByRow.result.stopped);
        return rowByRow;
    }

    static MappingTable peopleMapping()
    {
        return MappingTable({column("ID", "1"), column("NAME", "2", "L2"), column("CODE", "3"),
                             column("BORN", "4", "D"), column("SALARY", "5"),
                             column("NOTE", "6", {}, "it's \"so\"")});
    }

    Surroundings people(const QList<QStringList> &rows, MappingTable mapping = peopleMapping())
    {
        return Surroundings(std::move(mapping),
                            [rows] { return std::make_unique<TextSheet>(rows, QList<int>{5}); });
    }
};

// Names are "first second"; code L2 keeps the second word.
const QList<QStringList> kMixedRows = {
    {"ID", "Name", "Code", "Born", "Salary"},
    {"2", "Ivanov Ivan", "AB", "12.05.1985", "100.5"},
    {"3", "Petrov O'Neil", "CD", "1990", "200"},
    {"2", "Dup Key", "EF", "1991", "300"},       // the primary key of row 2: fails
    {"4", "Sidorov", "GH", "1992", "400"},       // no second word: NULL name, fails
    {"5", "Kuz Kuz,min", "", "", ""},            // comma in a text, empty cells are NULL
    {"6", "Long Aleksandrovich", "IJ", "x", ""}, // too long a name, a year that is none
    {"7", "Ok Ok", "KL", "1.2.2001", "1e3"},
    {"8", "Big Number", "MN", "1993", "123456789"}, // too large for NUMBER(8,2): fails
    {"9", "Last Row", "OP", "1994", "9"},
};

TEST_P(ArrayImportTest, SameTableCountsAndEntriesWithFailuresAnywhereInABatch)
{
    for (const bool seek : {false, true}) {
        SCOPED_TRACE(seek ? "seek on" : "seek off");
        Surroundings surroundings = people(kMixedRows);
        surroundings.seek = seek;
        for (const int arrayRows : {1, 2, 3, 4, 1000}) {
            SCOPED_TRACE(arrayRows);
            const Outcome outcome = expectSameOutcome(surroundings, 2, 10, arrayRows);
            EXPECT_EQ(outcome.result.failed, 4);
        }
    }
    // The entries read as those of the statement-per-row path.
    Surroundings surroundings = people(kMixedRows);
    const Outcome batched = run(3, surroundings, 2, 10);
    ASSERT_EQ(batched.entries.size(), 4);
    EXPECT_EQ(batched.entries[0].entry, "/4/insert into PEOPLE(ID,NAME,CODE,BORN,SALARY,NOTE) values "
                                        "('2','Key','EF','01.01.1991','300','it`s `so`')\r\n");
    EXPECT_TRUE(batched.entries[0].message.startsWith("ORA-00001: unique constraint"))
        << batched.entries[0].message.toStdString();
    EXPECT_TRUE(batched.table.contains("3|O`Neil|[CD  ]|01.01.1990|200|it`s `so`"))
        << batched.table.join("\n").toStdString();
}

TEST_P(ArrayImportTest, SeekFindsRowsOfTheSameRunWhateverTheBatch)
{
    // Rows found by a later row's seek: an exact repeat, a CHAR value found
    // blank-padded, a number written otherwise, and a repeat of a failed row
    // (not in the table, so not found).
    const QList<QStringList> rows = {
        {"10", "A Anna", "AB", "1990", "1"},
        {"11", "B Boris", "CD", "1990", "2"},
        {"10", "A Anna", "AB", "1990", "1"},    // repeat of row 1: skipped
        {"11", "B Boris", "CD  ", "1990", "2"}, // CHAR padded: skipped
        {"12", "C Clara", "EF", "1990", "3"},
        {"12", "C clara", "EF", "1990", "3"},     // another name, fails on the key
        {"10.0", "A Anna", "AB", "1990", "1.00"}, // the same numbers: skipped
        {"1", "X Old", "AB", "", ""},             // the old row's key: fails
        {"1", "X Old", "AB", "", ""},             // not found (NULL compares never), fails again
        {"13", "D Dan", "GH", "1990", "4"},
        {"13", "D Dan", "GH", "1990", "4"},
        {"14", "E Eva", "IJ", "1990", "5"},
    };
    Surroundings surroundings = people(rows);
    for (const int arrayRows : {2, 5, 1000}) {
        SCOPED_TRACE(arrayRows);
        const Outcome outcome = expectSameOutcome(surroundings, 1, int(rows.size()), arrayRows);
        EXPECT_EQ(outcome.result.skipped, 4);
        EXPECT_EQ(outcome.result.failed, 3);
    }
}

TEST_P(ArrayImportTest, DefaultsAndTheDeleteBeforeTheRows)
{
    Surroundings surroundings = people(kMixedRows);
    surroundings.seek = false;
    const Outcome outcome = expectSameOutcome(surroundings, 2, 10, 4, true);
    EXPECT_FALSE(outcome.table.join("\n").contains("Old"));
}

TEST_P(ArrayImportTest, AValueTooLongForALiteralTakesTheStatementOfItsRow)
{
    const QList<QStringList> rows = {
        {"20", "A Anna", "AB", "1990", "1"},
        {"21", QStringLiteral("B ") + QString(4100, QLatin1Char('b')), "CD", "1990", "2"},
        {"22", "C Clara", "EF", "1990", "3"},
    };
    Surroundings surroundings = people(rows);
    for (const bool seek : {false, true}) {
        surroundings.seek = seek;
        expectSameOutcome(surroundings, 1, 3, 1000);
    }
}

TEST_P(ArrayImportTest, StoppedOrEndedRunsLeaveTheTableAsItWas)
{
    Surroundings surroundings = people(kMixedRows);
    surroundings.stopAtRow = 4; // the run ends after its fourth row, with rows waiting in the batch
    const Outcome stopped = expectSameOutcome(surroundings, 2, 10, 1000);
    EXPECT_EQ(stopped.failure, QString());
    EXPECT_TRUE(stopped.result.stopped);

    // A seek the server rejects ends the run after rows were sent.
    QList<QStringList> rows = kMixedRows;
    rows[7][0] = QStringLiteral("x7");
    Surroundings failing = people(rows);
    const Outcome ended = expectSameOutcome(failing, 2, 10, 2);
    EXPECT_TRUE(ended.failure.startsWith("ORA-01722")) << ended.failure.toStdString();
    EXPECT_TRUE(ended.failure.contains(import_texts::kNothingKept));
    EXPECT_EQ(ended.table, tableRows());
}

// The session's counters: one parse of the insert for the whole run, and
// round trips per row far below one.
TEST_P(ArrayImportTest, RoundTripsAndParsesOfALargeRun)
{
    if (GetParam() != CallMode::OCI8)
        GTEST_SKIP() << "array execution needs OCI8";
    const QString stats = path(QStringLiteral("stats.txt"));
    Environment::setVariable("DEVDB_STATS_FILE", stats);
    const int many = 10000;
    const auto statistics = [&](int rows, int arrayRows, bool seek) {
        QFile::remove(stats);
        TOracleSession session;
        logOn(session);
        {
            TOracleDataSet seekSet;
            seekSet.SetSession(&session);
            OracleImportDatabase database(session, seekSet);
            Surroundings surroundings(
                MappingTable({column("ID", "1"), column("NAME", "2"), column("NOTE", "3")}), [rows] {
                    return std::make_unique<GeneratedSheet>(rows, [](int row, int column) {
                        return column == 1 ? QString::number(row + 100) : QStringLiteral("n%1").arg(row);
                    });
                });
            surroundings.seek = seek;
            ImportOptions options;
            options.startRowText = QStringLiteral("1");
            options.endRowText = QString::number(rows);
            options.arrayRows = arrayRows;
            const ImportResult result = RunImport(options, surroundings, database, kLocale);
            EXPECT_EQ(result.inserted, rows);
        }
        session.Rollback();
        session.LogOff();
        QFile file(stats);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QHash<QString, double> counters;
        for (const QString &pair : QString::fromUtf8(file.readAll()).trimmed().split(QLatin1Char(' ')))
            counters.insert(pair.section(QLatin1Char('='), 0, 0),
                            pair.section(QLatin1Char('='), 1).toDouble());
        return counters;
    };
    // A run of one row pays the session's own round trips (logon, the
    // checks, the savepoint, ...); every further 1,000 rows pay one more.
    const QHash<QString, double> one = statistics(1, 1000, false);
    const QHash<QString, double> batched = statistics(many, 1000, false);
    EXPECT_EQ(batched.value("round_trips") - one.value("round_trips"), many / 1000 - 1);
    EXPECT_LE(batched.value("round_trips") / many, 0.003) << batched.value("round_trips");
    EXPECT_EQ(batched.value("hard_parses") + batched.value("soft_parses"),
              one.value("hard_parses") + one.value("soft_parses"));
    EXPECT_LE(batched.value("hard_parses"), 10);

    // With the seek: one round trip per row for the seek, the inserts still in batches.
    const QHash<QString, double> seekingOne = statistics(1, 1000, true);
    const QHash<QString, double> seeking = statistics(many, 1000, true);
    EXPECT_EQ(seeking.value("round_trips") - seekingOne.value("round_trips"), (many - 1) + (many / 1000 - 1));
    EXPECT_LE(seeking.value("hard_parses"), 10);
    Environment::unsetVariable("DEVDB_STATS_FILE");
}

// A statement the server refuses as a whole fails every row of the call with
// its message, as each row's own statement would.
TEST_P(ArrayImportTest, AStatementRefusedAsAWholeFailsEveryRow)
{
    if (GetParam() != CallMode::OCI8) {
        EXPECT_THROW(TBoundStatement(session_, QStringLiteral("insert into PEOPLE(ID) values (:1)"), 1,
                                     TBindTextKind::Varchar),
                     EQueryError);
        return;
    }
    TBoundStatement missing(session_, QStringLiteral("insert into NOSUCH(ID) values (:1)"), 1,
                            TBindTextKind::Varchar);
    const std::vector<TRowFailure> failures = missing.ExecuteRows({{"1"}, {"2"}, {"3"}});
    ASSERT_EQ(failures.size(), 3u);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(failures[std::size_t(r)].row, r);
        EXPECT_TRUE(failures[std::size_t(r)].message.startsWith("ORA-00942"))
            << failures[0].message.toStdString();
    }
    TBoundStatement insert(session_, QStringLiteral("insert into PEOPLE(ID, NAME) values (:1, :2)"), 2,
                           TBindTextKind::Varchar);
    EXPECT_THROW(insert.ExecuteRows({{"5", QString(TBoundStatement::MaxValueBytes + 1, QLatin1Char('x'))}}),
                 EQueryError);
    EXPECT_EQ(tableRows().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(CallModes, ArrayImportTest,
                         ::testing::Values(CallMode::OCI8, CallMode::OCI7Preference), callModeName);

} // namespace
} // namespace rowpour::oracle::testing
