#pragma once
// A statement with bind variables, prepared once on an OCI8 session and run
// many times with new values: a DML statement for a whole array of rows in
// one execution (every row tried, each failure reported with its row), or a
// select of one number (a count) for one row of values. Values are bound as
// text, so the server converts them as it converts character literals; an
// empty text is NULL, as '' is.

#include "oracle/Oracle.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace rowpour::oracle
{

// How the server reads the bound texts. Varchar values keep every blank and
// compare without blank padding; Char values compare blank-padded with CHAR
// columns, as a character literal does.
enum class TBindTextKind { Varchar, Char };

// One row of an array execution that the server refused.
struct TRowFailure {
    int row = 0; // index into the rows of the execution
    int errorNumber = 0;
    QString message; // the client's text, as EOracleError carries it
};

class TBoundStatement : private ISessionClient
{
public:
    // Prepares `text` (placeholders :1 .. :n in order) on the session, which
    // must be logged on in OCI8 mode; throws EQueryError otherwise.
    TBoundStatement(TOracleSession &session, const QString &text, int placeholders, TBindTextKind kind);
    ~TBoundStatement();
    TBoundStatement(const TBoundStatement &) = delete;
    TBoundStatement &operator=(const TBoundStatement &) = delete;

    // The most bytes one bound value may take in UTF-8 (the length field of a bind is 16 bits).
    static constexpr int MaxValueBytes = 65535;

    // Runs the DML statement once for each row in one round trip. Returns the
    // rows the server refused, in row order; the others are done in the open
    // transaction. Throws EOracleError when the execution as a whole failed
    // after changing rows, and EQueryError for a value over MaxValueBytes.
    std::vector<TRowFailure> ExecuteRows(const std::vector<QStringList> &rows);

    // Runs the select with one row of values and returns the first column of
    // its first row as a number (0 when it returns no row).
    long long SelectNumber(const QStringList &values);

    // Executions sent to the server so far.
    int ExecutionCount() const { return executions_; }

private:
    void SessionLoggingOff() override;
    void SessionDestroyed() override;

    struct ColumnBuffers;
    void CheckUsable() const;
    void BindColumns(std::vector<ColumnBuffers> &columns);
    std::vector<TRowFailure> RowFailures(int rows);
    std::vector<TRowFailure> EveryRowFailed(int rows);
    [[noreturn]] void RaiseFrom(oci::OCIError *error, oci::sword status);
    void FreeHandles();

    TOracleSession *session_;
    QByteArray text_;
    int placeholders_;
    TBindTextKind kind_;
    unsigned generation_ = 0;
    oci::OCIStmt *statement_ = nullptr;
    oci::OCIError *error_ = nullptr;
    oci::OCIError *rowError_ = nullptr;
    int executions_ = 0;
};

} // namespace rowpour::oracle
