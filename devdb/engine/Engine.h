#pragma once
// The database behind the development client library: Oracle's SQL dialect and
// semantics over one SQLite file. The OCI entry points (devdb/oci) translate
// their C calls into these classes; nothing here knows the C ABI.
//
// Errors are thrown as OraError carrying Oracle's number and text, so the C
// layer only formats them ("ORA-nnnnn: text\n").

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace devdb {

struct OraError {
    int code = 0;             // Oracle error number, e.g. 942
    std::string text;         // message without the "ORA-nnnnn: " prefix
    int parseOffset = 0;      // byte offset into the statement text for syntax errors, else 0
    bool warning = false;     // true for conditions Oracle reports as success with info (28002)
};

// Oracle's internal type codes as a describe reports them (SQLT_* values).
enum class OraType : int {
    Varchar2 = 1,
    Number = 2,   // NUMBER, NUMBER(p,s), FLOAT, INTEGER (precision/scale tell them apart)
    Long = 8,
    Rowid = 11,
    Date = 12,
    Raw = 23,
    LongRaw = 24,
    Char = 96,
    Timestamp = 180,
};

struct ColumnDesc {
    std::string name;        // as Oracle reports it: unquoted names upper-cased, expressions as written
    OraType type = OraType::Varchar2;
    int dataSize = 0;        // bytes: VARCHAR2/CHAR/RAW their length, NUMBER 22, DATE 7, LONG 0
    int precision = 0;       // NUMBER(p,s): p; NUMBER: 0; FLOAT: 126; INTEGER: 38
    int scale = 0;           // NUMBER(p,s): s; NUMBER and FLOAT: -127; INTEGER: 0
    bool nullable = true;
};

struct DateTime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int nanosecond = 0;
};

// One value of a result row.
struct Value {
    enum class Kind { Null, Text, Number, Date, Binary } kind = Kind::Null;
    std::string text;        // Text: UTF-8; Binary: raw bytes; Number: canonical decimal text ("12.5", "-3")
    DateTime date;           // Date
};

enum class Credentials { Rdbms, External };
enum class Privilege { Normal, SysDba, SysOper };

// Statement types as OCI_ATTR_STMT_TYPE gives them.
enum class StatementType : int {
    Unknown = 0, Select = 1, Update = 2, Delete = 3, Insert = 4, Create = 5, Drop = 6, Alter = 7,
};

class Cursor {
public:
    virtual ~Cursor() = default;
    virtual StatementType statementType() const = 0;
    virtual int sqlFunctionCode() const = 0;          // Oracle's SQL function code (3 select, 2 insert, ...)
    // Runs the statement. A select is then positioned before its first row.
    virtual void execute() = 0;
    // The select list; valid after execute() (and for a select also before).
    virtual const std::vector<ColumnDesc> &columns() const = 0;
    // Next row of a select into row (one Value per column); false at the end.
    virtual bool fetch(std::vector<Value> &row) = 0;
    // Rows processed by a DML statement, or rows fetched so far by a select.
    virtual std::uint64_t rowCount() const = 0;
};

class Session {
public:
    virtual ~Session() = default;    // a session destroyed without end() rolls back
    virtual std::string serverVersion() const = 0;
    virtual std::string userName() const = 0;
    // Parses the statement; syntax errors throw OraError with parseOffset set.
    virtual std::unique_ptr<Cursor> prepare(const std::string &sql) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual void changePassword(const std::string &user, const std::string &oldPassword,
                                const std::string &newPassword) = 0;
    virtual void end() = 0;          // ends the session, committing as Oracle does
};

// Creates a new database file with the SYSTEM/MANAGER account (granted SYSDBA).
void createDatabase(const std::string &path, const std::string &versionText);

// Logs on. Throws OraError (1017, 28000, 28001, 1031, ...). For an account in
// its grace period the session is returned and *warning receives 28002.
std::unique_ptr<Session> logon(const std::string &path, const std::string &user,
                               const std::string &password, Credentials credentials,
                               Privilege privilege, std::optional<OraError> *warning);

}  // namespace devdb
