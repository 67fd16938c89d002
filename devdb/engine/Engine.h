#pragma once
// The database behind the development client library: Oracle's SQL dialect and
// semantics over one SQLite file. The OCI entry points (devdb/oci) translate
// their C calls into these classes; nothing here knows the C ABI.
//
// Errors are thrown as OraError carrying Oracle's number and text, so the C
// layer only formats them ("ORA-nnnnn: text\n").
//
// Like a real client, prepare() never talks to the "server": it only records
// the text and classifies it by its first keyword. Syntax and name errors
// (with their parse offset) come from Cursor::parse(), which execute() and a
// describe (columns()) run first when it has not been run yet.

#include "devdb/engine/Nls.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace devdb
{

struct OraError : std::runtime_error {
    OraError() : std::runtime_error("") {}
    OraError(int code_, std::string text_, int parseOffset_ = 0, bool warning_ = false)
        : std::runtime_error(text_), code(code_), text(std::move(text_)), parseOffset(parseOffset_),
          warning(warning_)
    {
    }
    int code = 0;         // Oracle error number, e.g. 942
    std::string text;     // message without the "ORA-nnnnn: " prefix
    int parseOffset = 0;  // byte offset into the statement of a syntax error or unknown name, else 0
    bool warning = false; // true for conditions Oracle reports as success with info (28002)
};

// "ORA-00942: table or view does not exist" (no line feed).
std::string formatError(const OraError &error);

// Oracle's internal type codes (the SQLT_* values of the internal types; an
// OCI8 describe reports the datetime, interval and rowid kinds under their
// external codes).
enum class OraType : int {
    Varchar2 = 1, // VARCHAR2, NVARCHAR2 (the character set form tells them apart)
    Number = 2,   // NUMBER, NUMBER(p,s), FLOAT, INTEGER (precision/scale tell them apart)
    Long = 8,
    Rowid = 11, // ROWID columns and the ROWID pseudo column
    Date = 12,
    Raw = 23,
    LongRaw = 24,
    Char = 96, // CHAR, NCHAR
    BinaryFloat = 100,
    BinaryDouble = 101,
    Object = 108, // XMLTYPE, SDO_GEOMETRY: a named type (ColumnDesc::typeName)
    Ref = 110,
    Clob = 112, // CLOB, NCLOB
    Blob = 113,
    Bfile = 114,
    Timestamp = 180,
    TimestampTz = 181,
    IntervalYm = 182,
    IntervalDs = 183,
    Urowid = 208,
    TimestampLtz = 231,
};

struct ColumnDesc {
    std::string name; // as Oracle reports it: unquoted names upper-cased, expressions as written
    OraType type = OraType::Varchar2;
    int dataSize = 0;  // bytes in the database (national) character set: VARCHAR2/CHAR/RAW their
                       // length, NUMBER 22, DATE 7, TIMESTAMP 11, LONG 0
    int precision = 0; // NUMBER(p,s): p; NUMBER: 0; FLOAT: 126 (or its binary precision); INTEGER: 38
    int scale = 0;     // NUMBER(p,s): s; NUMBER and FLOAT: -127; INTEGER: 0; TIMESTAMP: fraction digits
    bool nullable = true;
    // Character types: the declared length (characters with CHAR semantics, else bytes),
    // whether it counts characters, and the character set form (1 database, 2 national).
    int charLength = 0;
    bool charUsed = false;
    int charsetForm = 0;
    // Object and REF columns: the type's name and owner (XMLTYPE of SYS, SDO_GEOMETRY of MDSYS).
    std::string typeName;
    std::string typeOwner;
};

struct DateTime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int nanosecond = 0;
    bool zoned = false;     // TIMESTAMP WITH TIME ZONE values carry their offset
    int zoneMinutes = 0;    // east of UTC
    int fractionDigits = 6; // of the value's type: what FF without digits writes
};

// One value of a result row.
struct Value {
    enum class Kind { Null, Text, Number, Date, Binary } kind = Kind::Null;
    // Text: UTF-8 (CLOB, intervals, rowids and objects too; a BFILE is "directory\0file name");
    // Binary: raw bytes; Number: canonical decimal text ("12.5", "-3", "0.5").
    // A LOB that is empty but not NULL is Text or Binary with no bytes.
    std::string text;
    DateTime date; // Date (DATE and TIMESTAMP)
};

// A bind variable's value as the client hands it to the server: its type is
// the external type's SQL kind (text binds are VARCHAR2, or CHAR for the
// blank-padded types), and the server converts it as it converts a literal
// of that kind.
struct BindValue {
    OraType type = OraType::Varchar2; // Varchar2, Char, Number, BinaryFloat, BinaryDouble, Date, Raw
    Value value;                      // Text in UTF-8, Number as canonical decimal text, Date, Binary
    bool bound = true;                // false: no value was bound for this placeholder
};

// The placeholders of a statement (":1", ":name") in order of appearance, one
// entry per occurrence, names upper-cased; placeholders inside literals,
// quoted names and comments do not count. A client knows them without the
// server, as an Oracle client does at prepare time.
std::vector<std::string> placeholderNames(const std::string &sql);

enum class Credentials { Rdbms, External };
enum class Privilege { Normal, SysDba, SysOper };

// Statement types as OCI_ATTR_STMT_TYPE gives them.
enum class StatementType : int {
    Unknown = 0,
    Select = 1,
    Update = 2,
    Delete = 3,
    Insert = 4,
    Create = 5,
    Drop = 6,
    Alter = 7,
    Begin = 8,
    Declare = 9,
};

// A cursor may outlive its session: it then answers ORA-01012 "not logged on".
class Cursor
{
public:
    virtual ~Cursor() = default;
    // Known right after prepare, from the statement's first keyword.
    virtual StatementType statementType() const = 0;
    // OCI's SQL function code (4 select, 3 insert, 5 update, 9 delete, 1 create table,
    // 8 drop table, 54 commit, 55 rollback, ...); 0 until the statement has been parsed.
    virtual int sqlFunctionCode() const = 0;
    // Checks syntax and names; throws OraError (with parseOffset for syntax errors).
    // Runs at most once; execute() and columns() call it when needed.
    virtual void parse() = 0;
    // Runs the statement. A select is then positioned before its first row.
    virtual void execute() = 0;
    // The select list (empty for other statements). Parses first, so it may throw.
    virtual const std::vector<ColumnDesc> &columns() = 0;
    // Next row of a select into row (one Value per column); false at the end.
    virtual bool fetch(std::vector<Value> &row) = 0;
    // Rows processed by a DML statement, or rows fetched so far by a select.
    virtual std::uint64_t rowCount() const = 0;
    // The values of the placeholders for the following executions, one per
    // occurrence in order of appearance. Execution fails with ORA-01008 while
    // a placeholder has no value. A change of a value's type makes the next
    // execution parse the statement again, as the types decide its plan.
    virtual void setBinds(std::vector<BindValue> values) = 0;
};

class Session
{
public:
    virtual ~Session() = default; // a session destroyed without end() rolls back
    virtual std::string serverVersion() const = 0;
    virtual int databaseCharset() const = 0; // the character set id of the database
    virtual std::string userName() const = 0;
    // Records the statement; never throws for its content (see the file comment).
    virtual std::unique_ptr<Cursor> prepare(const std::string &sql) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual void changePassword(const std::string &user, const std::string &oldPassword,
                                const std::string &newPassword) = 0;
    virtual void end() = 0; // ends the session, committing as Oracle does

    // Conversions as the server does them for this session (NLS_DATE_FORMAT etc.),
    // for clients that define a NUMBER or DATE column as a string or bind text.
    // type is the column's type: TIMESTAMP values use NLS_TIMESTAMP_FORMAT, DATE ones NLS_DATE_FORMAT
    // (without the type, a value with a fraction of a second counts as a TIMESTAMP).
    virtual std::string toText(const Value &value,
                               OraType type = OraType::Date) const = 0; // ".5", "-12.3", "12.05.85"
    virtual Value textToNumber(const std::string &text) const = 0;      // throws ORA-01722
    virtual Value textToDate(const std::string &text) const = 0;        // throws ORA-018xx
    // Statements prepared through this session so far; also readable as
    // "select prepares from v$devdb_session".
    virtual std::uint64_t prepareCount() const = 0;
    // How long a writer waits for another session's uncommitted writes before
    // failing with ORA-00054 (SQLite has one writer per database file).
    virtual void setLockTimeout(int milliseconds) = 0;
};

// The server banner of databases made without an explicit version text.
extern const char *const defaultVersionText;

// Creates a new database file with the SYSTEM/MANAGER account (granted SYSDBA).
// An empty versionText means defaultVersionText; characterSet is the database
// character set (AL32UTF8 when empty). Throws OraError if the file exists or
// the character set is unknown (ORA-12701).
void createDatabase(const std::string &path, const std::string &versionText,
                    const std::string &characterSet = std::string());

// Changes an account's password without a session, as a client does for an
// expired account (OCIPasswordChange before logon). Throws 1017, 28000.
void changePassword(const std::string &path, const std::string &user, const std::string &oldPassword,
                    const std::string &newPassword);

// Logs on. Throws OraError (1017, 28000, 28001, 1031, ...). For an account in
// its grace period the session is returned and *warning receives 28002.
// External credentials ignore user and password and log on the first
// externally identified account (user names one when it is not empty).
// The session starts with the client's NLS settings (invalid ones fail the
// logon as the server rejects them: 1821, 12705).
std::unique_ptr<Session> logon(const std::string &path, const std::string &user, const std::string &password,
                               Credentials credentials, Privilege privilege, std::optional<OraError> *warning,
                               const ClientNls &nls = ClientNls());

} // namespace devdb
