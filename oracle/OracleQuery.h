#pragma once
// TOracleQuery runs one SQL statement at a time in the session's call mode
// (OCI8 handles or OCI7 cursor data area).

#include "oracle/FieldData.h"
#include "oracle/OciApi.h"
#include "oracle/Oracle.h"
#include "oracle/ValueConversion.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace rowpour::oracle
{

// A failure of a statement or of a value conversion that the server did not
// report (the server's own errors are EOracleError).
class EQueryError : public std::runtime_error
{
public:
    explicit EQueryError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

class TOracleQuery : private ISessionClient
{
public:
    using QueryEvent = std::function<void(TOracleQuery &)>;

    TOracleQuery();
    ~TOracleQuery();
    TOracleQuery(const TOracleQuery &) = delete;
    TOracleQuery &operator=(const TOracleQuery &) = delete;

    QString Name;

    TOracleSession *Session() const { return session_; }
    void SetSession(TOracleSession *session);

    // The statement text, one string per line; read only when executing.
    QStringList &SQL() { return sql_; }
    const QStringList &SQL() const { return sql_; }
    void SetSQL(const QStringList &lines) { sql_ = lines; }

    int ReadBuffer() const { return readBuffer_; }
    void SetReadBuffer(int rows) { readBuffer_ = rows < 1 ? 1 : rows; }
    bool Optimize = true;
    bool Debug = false; // show the statement text in a message box before each execution
    TCursor Cursor = crDefault;
    bool StringFieldsOnly = false;
    QueryEvent BeforeQuery;
    QueryEvent AfterQuery;

    void Execute();
    // Prepares and describes a select without running it.
    void Describe();
    void Next();
    bool Eof() const { return eof_; }

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    QString ColumnName(int index) const { return Column(index).Name; }
    // The index of a column by name (case-insensitive); -1 when absent.
    int ColumnIndex(const QString &name) const;
    // The index of a column by name; raises "Field <name> does not exist".
    int FieldIndex(const QString &name) const;
    int ColumnType(int index) const { return Column(index).ExternalType; }
    int ColumnInternalType(int index) const { return Column(index).InternalType; }
    int ColumnSize(int index) const;
    int ColumnPrecision(int index) const { return Column(index).Precision; }
    int ColumnScale(int index) const { return Column(index).Scale; }
    bool ColumnNullable(int index) const { return Column(index).Nullable; }
    bool ColumnIsNull(int index) const;
    QString ColumnAsText(int index) const;
    int ColumnAsInteger(int index) const;
    double ColumnAsFloat(int index) const;
    TDateTime ColumnAsDateTime(int index) const;
    QVariant ColumnAsVariant(int index) const;
    // LONG RAW, LOB and other byte values of the current row (CLOB text as UTF-8).
    QByteArray ColumnAsBytes(int index) const;
    const TFieldData &Column(int index) const;
    // Row of the current batch that the Column* readers use.
    int CurrentRow() const { return currentRow_; }

    // Rows fetched so far (select) or rows affected (insert, update, delete).
    int ProcessedRowCount();
    void ReleaseHandles();

    int StatementKind() const { return statementKind_; }
    int ParseErrorLine() const { return parseErrorLine_; }
    int ParseErrorColumn() const { return parseErrorColumn_; }
    int RowsPerFetch() const { return rowsPerFetch_; }
    // The text sent to the server by the last prepare (empty: nothing prepared).
    QByteArray PreparedText() const { return preparedText_; }
    // How many times a text was sent to the server for preparing.
    int PrepareCount() const { return prepareCount_; }
    // The text the next Execute sends: lines joined and ended with LF, CR removed.
    static QByteArray BuildStatementText(const QStringList &lines);

private:
    void SessionLoggingOff() override;
    void SessionDestroyed() override;

    void ExecuteCore(bool describeOnly);
    void CheckSession() const;
    void Prepare();
    void AllocateHandles();
    void PrepareOCI8(const QByteArray &text);
    void PrepareOCI7(const QByteArray &text);
    void SelectOCI8(bool describeOnly);
    void SelectOCI7(bool describeOnly);
    void NonSelect();
    TDescribeSettings DescribeSettings(bool oci8Mode) const;
    void ApplyDefineRule(TFieldData &column, const TDescribeSettings &settings);
    void DescribeOCI8();
    void DescribeOCI7();
    void ReparseOnFreshCursor();
    void DefineColumnsOCI8();
    void DefineColumnsOCI7();
    void StartBatch();
    void FetchNextBatch();
    void ResetRowState();
    void ReadOCI7Longs();
    bool OCI7FetchEnded() const;
    void CheckFetchedValues();
    [[noreturn]] void RaiseTruncation();
    QByteArray ReadLob(const TFieldData &column, int row) const;
    QString BfileName(const TFieldData &column, int row) const;
    [[noreturn]] void RaiseLobError() const;
    void ClearColumns();
    void FireAfterQuery();
    int ErrorCode();
    oci::sword Track(oci::sword status) { return lastStatus_ = status; }
    [[noreturn]] void RaiseError();
    void RaiseOnError(bool noDataIsError);
    void ComputeParseErrorPosition();
    void ForgetHandles();
    const TFieldData &CurrentColumn(int index) const;
    [[noreturn]] void RaiseConversion(const TFieldData &column, const char *ending) const;
    static oci::sb4 LongPieceCallback(void *context, oci::OCIDefine *define, oci::ub4 iteration,
                                      void **buffer, oci::ub4 **length, oci::ub1 *piece, void **indicator,
                                      oci::ub2 **returnCode);

    TOracleSession *session_ = nullptr;
    QStringList sql_;
    int readBuffer_ = 25;

    // OCI8 handles.
    oci::OCIStmt *statement_ = nullptr;
    oci::OCIError *error1_ = nullptr;
    oci::OCIError *error2_ = nullptr;
    void *rowId_ = nullptr;
    // OCI7 cursor data area.
    oci::Cda_Def cda_{};
    int definedColumns7_ = 0; // highest position the cursor has a define for
    oci::sword lastStatus_ = 0;
    bool handlesAllocated_ = false;
    bool handlesOCI8_ = true;
    unsigned handlesGeneration_ = 0;

    QByteArray preparedText_;
    int statementKind_ = 0;
    bool described_ = false;
    std::vector<std::unique_ptr<TFieldData>> columns_; // stable addresses: the client library keeps them
    int rowsPerFetch_ = 25;
    int currentRow_ = 0;
    int rowsInBatch_ = 0;
    bool eof_ = true;
    bool hasLong_ = false;
    int parseErrorLine_ = 0;
    int parseErrorColumn_ = 0;
    bool afterQueryPending_ = false;
    int busy_ = 0;
    int prepareCount_ = 0;
};

} // namespace rowpour::oracle
