#pragma once
// Parsed form of the Oracle statements the development database understands.

#include "Decimal.h"
#include "Engine.h"

#include <memory>
#include <string>
#include <vector>

namespace devdb
{

struct Identifier {
    std::string name; // upper-cased unless it was quoted
    bool quoted = false;
    int offset = 0;
};

// A value while statements run: NUMBER as an exact decimal.
struct Datum {
    Value::Kind kind = Value::Kind::Null;
    std::string text; // Text, Binary
    Decimal number;
    DateTime date;
    bool isNull() const { return kind == Value::Kind::Null; }
};

struct Expr {
    enum class Kind {
        Literal, // string, number or NULL
        Column,  // name (qualifier optional)
        Rowid,
        Rownum,
        Sysdate,
        Systimestamp,
        User,
        Unary,    // op "-" or "+"
        Binary,   // + - * / ||
        Function, // name(args), count(*) has star
        Compare,  // = <> < > <= >=
        And,
        Or,
        Not,
        IsNull,  // negated for IS NOT NULL
        Like,    // negated for NOT LIKE
        In,      // args[0] IN (args[1..]); negated for NOT IN
        Between, // args[0] BETWEEN args[1] AND args[2]
        Bind,    // a placeholder: its value and type are set before each execution
    };
    Kind kind = Kind::Literal;
    int offset = 0;
    std::string source; // text as written (select-list column names)
    std::string op;
    Identifier name;
    std::string qualifier;
    bool star = false;
    bool negated = false;
    bool stringLiteral = false;
    Datum literal;      // Literal: its value; Bind: the bound value
    int bindIndex = -1; // Bind: the placeholder's occurrence in the statement, from 0
    std::vector<std::unique_ptr<Expr>> args;

    // Filled when names are resolved against the table.
    int columnIndex = -1;
    ColumnDesc type;
};
using ExprPtr = std::unique_ptr<Expr>;

struct TableRef {
    std::string owner; // empty: the session's user
    Identifier name;
    std::string alias;
};

struct SelectItem {
    ExprPtr expr;          // null for "*" and "T.*"
    std::string qualifier; // T of "T.*"
    int offset = 0;
    std::string alias;
    bool aliasQuoted = false;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct ConstraintDef {
    std::string name;
    bool primaryKey = false;
    std::vector<Identifier> columns;
    std::string checkText; // CHECK (condition): the condition as written
    int checkOffset = 0;
};

struct ColumnDef {
    Identifier name;
    // VARCHAR2, NVARCHAR2, CHAR, NCHAR, NUMBER, FLOAT, INTEGER, DATE, RAW, LONG, LONG RAW, TIMESTAMP,
    // TIMESTAMP WITH [LOCAL] TIME ZONE, INTERVAL YEAR TO MONTH, INTERVAL DAY TO SECOND, CLOB, NCLOB,
    // BLOB, BFILE, BINARY_FLOAT, BINARY_DOUBLE, ROWID, UROWID, REF, or an object type's name
    std::string typeName;
    std::string objectType, objectOwner; // object types and the type a REF points to
    enum class Semantics { Default, Byte, Char } semantics = Semantics::Default; // VARCHAR2(n BYTE|CHAR)
    int length = 0;
    int typeOffset = 0;
    int precision = -1; // -1: not given
    int scale = -1;
    bool notNull = false;
    bool hasDefault = false;
    std::string defaultText;
    std::string constraintName;
    bool primaryKey = false;
    bool unique = false;
    std::vector<ConstraintDef> checks;
};

struct Statement {
    enum class Kind {
        Select,
        Insert,
        Update,
        Delete,
        CreateTable,
        DropTable,
        CreateUser,
        AlterUser,
        DropUser,
        Grant,
        Revoke,
        AlterSession,
        Commit,
        Rollback,
        Savepoint,  // SAVEPOINT name
        RollbackTo, // ROLLBACK [WORK] TO [SAVEPOINT] name
    };
    Kind kind = Kind::Select;

    TableRef table;
    // select
    std::vector<SelectItem> items;
    ExprPtr where;
    std::vector<OrderItem> orderBy;
    // insert / update
    std::vector<Identifier> columns;
    std::vector<ExprPtr> values;
    bool hasColumnList = false;
    // create table
    std::vector<ColumnDef> columnDefs;
    std::vector<ConstraintDef> constraints;
    // users
    Identifier user;
    std::string password;
    bool identifiedBy = false;
    bool identifiedExternally = false;
    bool expire = false;
    bool lock = false;
    bool unlock = false;
    bool grace = false;
    bool cascade = false;
    int graceDays = 7;
    bool logonWarning = false; // alter user U logon warning NNNNN | NONE
    int logonWarningCode = 0;  // 0: none
    std::vector<std::string> privileges;
    // savepoint, rollback to savepoint
    Identifier savepoint;
    // alter session
    std::string parameter;
    std::string parameterValue;
    // The placeholders of the statement by occurrence (owned by the expressions above).
    std::vector<Expr *> binds;
};

// Parses one statement. Throws OraError with the parse offset.
// maxIdentifier is 30 for old servers, 128 for modern ones: bytes of the
// database character set, which also measures the 4,000 bytes of a literal.
std::unique_ptr<Statement> parseStatement(const std::string &sql, int maxIdentifier, int charsetId);
// Parses a column default or a check condition as stored in the dictionary.
ExprPtr parseExpression(const std::string &text);
ExprPtr parseCondition(const std::string &text);

} // namespace devdb
