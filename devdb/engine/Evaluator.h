#pragma once
// Name resolution, typing and evaluation of expressions and conditions with
// Oracle's implicit conversions.

#include "Ast.h"
#include "Charset.h"
#include "Nls.h"

#include <map>
#include <string>
#include <vector>

namespace devdb
{

// A session's NLS parameters and the server facts statements depend on.
struct SessionSettings {
    std::string user;
    const Language *language = &defaultLanguage();
    const Territory *territory = &defaultTerritory();
    const Language *dateLanguage = &defaultLanguage(); // month and day names
    std::string dateFormat = defaultTerritory().dateFormat;
    std::string timestampFormat = defaultTerritory().timestampFormat;
    std::string timestampTzFormat = defaultTerritory().timestampTzFormat;
    char decimal = '.'; // NLS_NUMERIC_CHARACTERS: decimal character and group separator
    char group = ',';
    bool charSemantics = false; // NLS_LENGTH_SEMANTICS = CHAR
    int databaseCharset = charset::AL32UTF8;
    int maxIdentifier = 128; // bytes in the database character set
    int zoneMinutes = 0;     // the session time zone (TIME_ZONE), east of UTC
    int majorVersion = 19;

    // The territory's date and number conventions (NLS_TERRITORY).
    void applyTerritory(const Territory &t);
};

struct Row {
    long long rowid = 0;
    std::vector<Datum> values;
};

// Rows of a table, a dictionary view or DUAL, as one statement sees them.
struct Relation {
    std::string name;
    std::string alias;
    long long tableId = 0; // 0 for views
    std::vector<ColumnDesc> columns;
    std::vector<Row> rows;
};

struct EvalContext {
    const SessionSettings *settings = nullptr;
    const Relation *relation = nullptr;
    const Row *row = nullptr;
    const std::map<const Expr *, Datum> *aggregates = nullptr;
    long long rownum = 0; // ROWNUM of the row being tested or projected
};

// ORA-00904 as the server's release words it ("invalid column name" before 9i).
[[noreturn]] void invalidIdentifier(const std::string &shown, int offset, const SessionSettings &settings);

// Binds column names to the relation and works out each node's type.
// Throws ORA-00904 for unknown names and functions.
void resolve(Expr &expr, const Relation &relation, const SessionSettings &settings);
bool isAggregate(const Expr &expr);
bool containsAggregate(const Expr &expr);
// True when the value depends on the current row outside any aggregate.
bool referencesRow(const Expr &expr);
void collectAggregates(const Expr &expr, std::vector<const Expr *> &out);
Datum aggregate(const Expr &function, const std::vector<const Row *> &rows, const EvalContext &base);

Datum evaluate(const Expr &expr, const EvalContext &ctx);
// 1 true, 0 false, -1 unknown (NULL involved).
int truth(const Expr &expr, const EvalContext &ctx);

// Order of two values for ORDER BY, MIN and MAX (NULLs last).
int compareValues(const Datum &a, const ColumnDesc &aType, const Datum &b, const ColumnDesc &bType,
                  const SessionSettings &settings);

// The type's name as ORA-00932 words it: NUMBER, CHAR, CLOB, FILE, ADT, ...
const char *typeName(OraType type);
// ORA-00932 for a type that cannot be compared or sorted (LOBs, objects, REFs).
void requireComparable(const ColumnDesc &type, int offset);

// Conversions with Oracle's errors.
Decimal toNumber(const Datum &value, char decimal = '.');
DateTime toDate(const Datum &value, const SessionSettings &settings, bool timestamp);
std::string toText(const Datum &value, OraType staticType, const SessionSettings &settings);
// BINARY_FLOAT and BINARY_DOUBLE as Oracle writes them: "1.5E+000", "Inf", "Nan".
std::string binaryFloatText(long double value, bool single, char decimal);
std::string toRaw(const Datum &value);
std::string hexText(const std::string &bytes);

Value toValue(const Datum &value);

// A bound value as the server sees it: the SQL type of its external type, and
// the value in the database character set ('' and empty bytes are NULL).
ColumnDesc bindType(const BindValue &bind);
Datum bindDatum(const BindValue &bind, const SessionSettings &settings);

// Rowid text of a table row ("AAAAAEAAEAAAAABAAA" style, 18 characters).
std::string encodeRowid(long long tableId, long long rowid);
bool decodeRowid(const std::string &text, long long *tableId, long long *rowid);

} // namespace devdb
