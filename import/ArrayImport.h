#pragma once
// The import run's fast path: the rows go to one prepared insert with bind
// variables, many rows per execution, and the seek is one prepared count with
// bind variables per row. It stores the very values the statement-per-row path
// stores and gives the same counts and error entries:
// - every row's values are the value texts of that path, bound as text, so
//   the server converts them as it converts the literals ('' is NULL);
// - a batch's failed rows are reported in row order with the insert text that
//   path would have sent and the database's message; the other rows stay;
// - rows wait in the batch only while no later row's seek could find them:
//   before a seek that might find a waiting row the batch is sent, so every
//   seek sees exactly the rows that path would have inserted before it;
// - a row with a value too long for a literal, or without a value, goes
//   through that path's own statements, after the rows before it.

#include "import/ImportRun.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace rowpour
{

// One row of an array insert that the server refused.
struct ArrayRowFailure {
    int index = 0;   // into the rows of the call
    QString message; // the database's message, as a rejected statement carries it
};

// How the server compares the seek's values with the table's columns, as far
// as the fast path needs it to know which rows a seek could find.
struct SeekComparison {
    QStringList characterColumns; // dictionary names of CHAR, VARCHAR2, NCHAR and NVARCHAR2 columns
    bool binary = false;          // NLS_COMP compares text by its codes
    bool unicodeDatabase = false; // the database's character set holds every character
};

// The database side of the fast path.
class IArrayInsertDatabase
{
public:
    virtual ~IArrayInsertDatabase() = default;
    // Prepares the run's insert (placeholders :1 .. :columns).
    virtual void prepareInsert(const QString &statement, int columns) = 0;
    // Inserts the rows in one execution; the refused ones in row order.
    // Throws when the execution fails in a way that leaves unknown which rows stand.
    virtual std::vector<ArrayRowFailure> insertRows(const std::vector<QStringList> &rows) = 0;
    // Prepares the run's seek, a count of the rows with the bound values.
    virtual void prepareSeek(const QString &statement, int columns) = 0;
    virtual int countRecords(const QStringList &values) = 0;
    virtual SeekComparison seekComparison(const QString &dictionaryName) = 0;
};

// The most bytes a value text may have to be bound: longer ones could exceed
// what a literal holds, so their rows take the literal statements.
inline constexpr int kMaxBoundValueBytes = 4000;

// Whether a later row's seek could find rows that wait in the batch. The
// check may say yes when the server would not find the row (the batch is then
// sent early), never the other way round: a character column compared by
// codes finds only the same text (trailing blanks aside, which CHAR columns
// pad); any other column type, a comparison by a linguistic rule, or a text
// that the database's character set may change could find any value. An
// empty value never finds and is never found (it is NULL).
class WaitingRows
{
public:
    WaitingRows(const QStringList &columnNames, const SeekComparison &comparison);
    void add(const QStringList &values);
    bool mayBeFoundBy(const QStringList &values) const;
    void clear();
    bool empty() const { return all_.empty(); }

private:
    bool exactValue(int column, const QString &value) const;
    bool mayEqual(int column, const QString &a, const QString &b) const;
    bool mayMatch(const QStringList &waiting, const QStringList &values) const;
    // The key of a row whose compared character values are all exact; empty otherwise.
    QString keyOf(const QStringList &values) const;

    std::vector<bool> comparedByCodes_;
    bool unicodeDatabase_ = false;
    std::vector<QStringList> all_;
    std::vector<QStringList> loose_; // rows without a key: compared one by one
    QSet<QString> keys_;
};

// Loads rows startRow..endRow through the fast path; true when the operator stopped the run.
bool LoadRowsInBatches(int batchRows, int startRow, int endRow, const QString &endRowText,
                       IImportSurroundings &surroundings, IImportDatabase &database,
                       IArrayInsertDatabase &arrays, ICellSource &workbook,
                       const platform::OperatorLocale &locale, ImportResult &result);

} // namespace rowpour
