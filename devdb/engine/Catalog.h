#pragma once
// The data dictionary of a development database: accounts, tables, columns and
// key constraints, kept in SQLite tables next to one SQLite table per Oracle table.
//
// File layout (all names start with devdb_):
//   devdb_meta(key, value)                      version text, character set, constraint counter
//   devdb_users(user_name, password, account_status, grace_days, external, sysdba, sysoper, created,
//               case_sensitive, logon_warning)
//   devdb_tables(table_id, owner, table_name)   one row per table, table_id in creation order
//   devdb_columns(table_id, column_id, column_name, data_type, data_length, data_precision,
//                 data_scale, nullable, data_default, char_length, char_used,
//                 data_type_owner, data_type_mod)
//   devdb_constraints(owner, constraint_name, table_id, constraint_type, column_ids)
//                                               type P/U: column ids "1,3"; type C: the condition text
//   devdb_t<table_id>(c1, c2, ...)              the rows; NUMBER as decimal text, DATE and
//                                               TIMESTAMP as "YYYY-MM-DD HH:MM:SS[.fffffffff]",
//                                               RAW and LONG RAW as blobs, text types as text

#include "Ast.h"
#include "Sqlite.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace devdb
{

struct ColumnInfo {
    ColumnDesc desc;
    std::string dataType;      // dictionary text: VARCHAR2, NUMBER, FLOAT, TIMESTAMP(6), LONG RAW, ...
    std::string dataTypeOwner; // object types: SYS, MDSYS
    std::string dataTypeMod;   // REF for REF columns
    bool hasPrecision = false;
    bool hasScale = false;
    int dictPrecision = 0;
    int dictScale = 0;
    bool hasDefault = false;
    std::string defaultText;
    std::shared_ptr<Expr> defaultExpr;
};

struct ConstraintInfo {
    std::string name;
    bool primaryKey = false;
    std::vector<int> columns;    // keys: indexes into TableInfo::columns
    std::shared_ptr<Expr> check; // CHECK constraints: the condition, resolved against the table
};

struct TableInfo {
    long long id = 0;
    std::string owner;
    std::string name;
    std::vector<ColumnInfo> columns;
    std::vector<ConstraintInfo> constraints;
    std::string sqliteName;
    std::string insertSql;
    std::string scanSql;
    int findColumn(const std::string &name) const;
};

struct Account {
    std::string name;
    std::string password;
    std::string status; // OPEN, LOCKED, EXPIRED, EXPIRED(GRACE)
    int graceDays = 7;
    bool caseSensitive = true; // passwords made before case-sensitive logons are not
    int logonWarning = 0;      // an ORA number a logon reports as a warning, 0 for none
    bool external = false;
    bool sysdba = false;
    bool sysoper = false;
};

class Catalog
{
public:
    // Reloads the tables when another connection changed the schema.
    void refresh(Connection &db);
    std::shared_ptr<TableInfo> find(const std::string &owner, const std::string &name) const;
    std::vector<std::shared_ptr<TableInfo>> tablesOf(const std::string &owner) const;

private:
    int schemaVersion_ = -1;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<TableInfo>> tables_;
    std::vector<std::shared_ptr<TableInfo>> ordered_;
};

void createSchema(Connection &db, const std::string &versionText, const std::string &characterSet);
// Adds what later releases keep in the file to a file made before them.
void upgradeSchema(Connection &db);
std::optional<Account> loadAccount(Connection &db, const std::string &name);
std::vector<Account> loadAccounts(Connection &db);
void saveAccount(Connection &db, const Account &account, bool creating);
std::string metaValue(Connection &db, const std::string &key);
void setMetaValue(Connection &db, const std::string &key, const std::string &value);

struct SessionSettings;
// A new column: character lengths follow the session's length semantics and database character set.
ColumnInfo makeColumn(const ColumnDef &def, const SessionSettings &settings);
// The table's columns as a relation without rows, for resolving names.
struct Relation;
Relation relationOf(const TableInfo &table);

} // namespace devdb
