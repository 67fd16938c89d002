#pragma once
// Statements on a session: the describe and define rules of select-list
// columns, the conversion of fetched values (TFieldData and the free
// functions below), and TOracleQuery, which runs one SQL statement at a time
// in the session's call mode (OCI8 handles or OCI7 cursor data area).

#include "oracle/OciApi.h"
#include "oracle/Oracle.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace rowpour::oracle
{

namespace texts
{
inline constexpr char SessionUndefined[] = "Session undefined";
inline constexpr char FieldDoesNotExistPrefix[] = "Field "; // + index or name
inline constexpr char FieldDoesNotExistSuffix[] = " does not exist";
inline constexpr char BeyondEof[] = "You cannot access field data beyond Eof";
inline constexpr char CannotConvertPrefix[] = "Cannot convert field "; // + name + one of the endings
inline constexpr char ToString[] = " to a String";
inline constexpr char ToInteger[] = " to an Integer";
inline constexpr char ToFloat[] = " to a Float";
inline constexpr char ToDate[] = " to a Date";
// Column kinds that need the handle-based call set (each followed by one suffix).
inline constexpr char QueryWithObjects[] = "A query with objects";
inline constexpr char QueryWithReferences[] = "A query with references";
inline constexpr char QueryWithLobs[] = "A query with LOB's";
inline constexpr char QueryWithSubQueries[] = "A query with sub-queries";
inline constexpr char RequiresOCI8[] = " requires OCI8 mode, but OCI7 mode is used.";
inline constexpr char RequiresNet8[] = " requires Net8, which is not detected on this PC";
inline constexpr char RequiresSession[] = " requires a session";
inline constexpr char RequiresConnectedSession[] = " requires a connected session";
// Messages shown (through the column message hook) for columns a result set cannot hold.
inline constexpr char ObjectsNotSupported[] = ": Objects will be supported in version 3.5";
inline constexpr char ReferencesNotSupported[] = ": References will be supported in version 3.5";
inline constexpr char SubQueriesNotSupported[] =
    ": Sub-queries not supported in dataset, use TOracleQuery instead";
// A LOB value too large to hold in memory (%1: column name, %2: its length).
inline constexpr char LobTooLarge[] = "Column %1: the value of length %2 is too large to read";
// The client's text of a fetched value cut to its buffer, when the client left no error record.
inline constexpr char FetchedValueTruncated[] = "ORA-01406: fetched column value was truncated";
// A call failed without the client library leaving an error record (%1: status).
inline constexpr char CallFailedWithoutRecord[] = "The Oracle client library call failed with status %1";
} // namespace texts

// A failure of a statement or of a value conversion that the server did not
// report (the server's own errors are EOracleError).
class EQueryError : public std::runtime_error
{
public:
    explicit EQueryError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// ---------------------------------------------------------------------------
// Value conversion

// Days since 30 December 1899, the time of day as the fraction.
using TDateTime = double;

// The substitute date of a stored date that is no valid calendar date (year 0 or below).
constexpr TDateTime InvalidOracleDate = -693594.0;

TDateTime OracleDateToDateTime(const unsigned char bytes[7]);
void DateTimeToOracleDate(TDateTime value, unsigned char bytes[7]);

// The line-break rule of text read from the server: LF and CR become CR LF,
// an existing CR LF stays as it is.
QString ConvertCRLF(const QString &text);
// The rule for text sent to the server: every CR removed.
QString RemoveCR(const QString &text);

// Text forms of the operator's locale: integers as digits, floats in the
// shortest general form with 15 significant digits and the locale's decimal
// separator, date-times as short date plus, when the time of day is not 0,
// a blank and the long time.
QString FloatToText(double value);
QString DateTimeToText(TDateTime value);
QDateTime DateTimeToQDateTime(TDateTime value);
TDateTime QDateTimeToDateTime(const QDateTime &value);

// External types of the define (SQLT codes).
enum TExternalType : int {
    extInteger = 3,
    extFloat = 4,
    extString = 5,
    extLong = 8,
    extDate = 12,
    extLongRaw = 24,
    extObject = 108,
    extRef = 110,
    extClob = 112,
    extBlob = 113,
    extBfile = 114,
    extCursor = 116,
};

// Inputs of the describe rule for one column.
struct TColumnDescription {
    int internalType = 1;
    int dataSize = 0;  // bytes in the database's character set
    int precision = 0; // 0..255
    int scale = 0;     // -128..127
    int charSize = 0;  // characters of a character column; 0 when the client does not say
};

struct TDefineRule {
    int externalType = extString;
    int bufferSize = 0;         // bytes per row; 0 for values fetched in pieces
    int defineType = extString; // the type code passed to the define call
};

// The settings the describe rule depends on.
struct TDescribeSettings {
    int integerPrecision = 0;
    int floatPrecision = 0;
    bool bridgeMode = false;
    bool stringFieldsOnly = false;
    bool oci8Mode = true;
    int bytesPerCharacter = 1;
    // Most bytes one character takes in the client's character set (AL32UTF8).
    int clientBytesPerCharacter = 4;
    int dateTextLength = 10;
};

// Bytes a define buffer may hold per value: the client's length field is 16 bits.
constexpr int MaxDefineBufferSize = 65535;
// Bytes of a LOB value that the OCI7 call set fetches in the row itself.
constexpr int InlineLobBufferSize = 32768;

TDefineRule DefineRuleFor(const TColumnDescription &column, const TDescribeSettings &settings);

// Whether an internal type code is one of the timestamp kinds (fetched as text).
bool IsTimestampType(int internalType);
// Types fetched in their text form that are not character columns:
// timestamps, intervals, binary floats and doubles.
bool IsTextFormType(int internalType);
// ROWID and UROWID under the codes clients describe them with.
bool IsRowIdType(int internalType);
// Bytes the text of a character column can take in the client's character set.
int ClientTextBytes(int dataSize, int charSize, int clientBytesPerCharacter);

// Message boxes of the statement layer: the columns a result set skips
// (object, REF, cursor) and the statement text of a query with Debug on. The
// widgets install a message box; without a hook the message is dropped.
using MessageBoxHook = std::function<void(const QString &message)>;
void InstallMessageBoxHook(MessageBoxHook hook);
void ShowMessageBox(const QString &message);

// ---------------------------------------------------------------------------
// Column data

// One piece of a LONG or LONG RAW value fetched piecewise.
struct TLongPiece {
    explicit TLongPiece(oci::ub4 size) : data(new char[size]), size(size) {}
    std::unique_ptr<char[]> data;
    oci::ub4 size;
    oci::ub4 length = 0; // filled by the client library
};

// One select-list column: what the server describes, how it is defined, and
// the buffers of one batch of rows.
class TFieldData
{
public:
    TFieldData() = default;
    ~TFieldData();
    TFieldData(const TFieldData &) = delete;
    TFieldData &operator=(const TFieldData &) = delete;

    int DataSize = 0;
    int InternalType = 0;
    QString Name;
    int CharSize = 0;
    int CharsetForm = oci::SQLCS_IMPLICIT;
    int Precision = 0;
    int Scale = 0;
    bool Nullable = true;
    int ExternalType = extString;
    int DefineType = extString; // the type code the define call gets
    int BufferSize = 0;
    int Rows = 0;

    // Allocates the value, indicator, length and return-code arrays for `rows` rows.
    void AllocateBuffers(int rows);
    // One LOB or BFILE locator per row, made under `env` (handle-based call set).
    void AllocateLocators(oci::OCIEnv *env);
    // Forgets the locators without freeing them: their environment is gone.
    void AbandonLocators();
    bool IsLob() const
    {
        return ExternalType == extClob || ExternalType == extBlob || ExternalType == extBfile;
    }
    // A LOB fetched in the row itself (OCI7) rather than through a locator.
    bool LobInline() const { return IsLob() && DefineType != ExternalType; }
    oci::OCILobLocator *Locator(int row) const { return locators_[static_cast<std::size_t>(row)]; }
    oci::ub2 ReturnCode(int row) const { return returnCodes_[static_cast<std::size_t>(row)]; }
    bool IsNull(int row) const { return indicators_[row] == -1; }
    const char *Value(int row) const { return buffer_.get() + static_cast<std::size_t>(row) * BufferSize; }
    oci::ub2 Length(int row) const { return lengths_[row]; }

    // LONG and LONG RAW: the whole value of the current row.
    bool IsLong() const { return ExternalType == extLong || ExternalType == extLongRaw; }
    QByteArray LongValue() const;
    void ResetLong();
    const std::deque<TLongPiece> &LongPieces() const { return pieces_; }

private:
    friend class TOracleQuery;
    TLongPiece &AddPiece();

    void FreeLocators();

    std::unique_ptr<char[]> buffer_;
    std::vector<oci::sb2> indicators_;
    std::vector<oci::ub2> lengths_;
    std::vector<oci::ub2> returnCodes_;
    std::vector<oci::OCILobLocator *> locators_;
    unsigned locatorGeneration_ = 0;
    std::deque<TLongPiece> pieces_; // OCI8: pieces of the current row
    QByteArray oci7Long_;           // OCI7: the value read with oflng
    oci::OCIDefine *define_ = nullptr;
    oci::ub2 returnCode_ = 0;
};

// ---------------------------------------------------------------------------
// Statement

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
