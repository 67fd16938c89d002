#include "Catalog.h"

#include "Charset.h"
#include "Evaluator.h"

#include <algorithm>

namespace devdb
{

int TableInfo::findColumn(const std::string &name) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].desc.name == name)
            return static_cast<int>(i);
    }
    return -1;
}

namespace
{

bool hasColumn(Connection &db, const std::string &table, const std::string &column)
{
    StmtUse st(db.cached("SELECT 1 FROM pragma_table_info(?) WHERE name = ?"));
    bindText(st.get(), 1, table);
    bindText(st.get(), 2, column);
    return db.step(st.get());
}

} // namespace

void upgradeSchema(Connection &db)
{
    // Columns later releases of the development database added; files made
    // before them get them with values that keep their old meaning (passwords
    // made before case-sensitive logons stay case-insensitive, as on Oracle).
    static const std::pair<const char *, const char *> added[] = {
        {"devdb_columns", "char_length INTEGER"},
        {"devdb_columns", "char_used TEXT"},
        {"devdb_columns", "data_type_owner TEXT"},
        {"devdb_columns", "data_type_mod TEXT"},
        {"devdb_users", "case_sensitive INTEGER NOT NULL DEFAULT 0"},
        {"devdb_users", "logon_warning INTEGER NOT NULL DEFAULT 0"},
    };
    if (hasColumn(db, "devdb_users", "logon_warning"))
        return;
    db.exec("BEGIN IMMEDIATE");
    try {
        for (const auto &[table, column] : added) {
            std::string name = column;
            name.resize(name.find(' '));
            if (!hasColumn(db, table, name))
                db.exec(std::string("ALTER TABLE ") + table + " ADD COLUMN " + column);
        }
        db.exec("COMMIT");
    } catch (...) {
        db.exec("ROLLBACK");
        throw;
    }
    db.dropCached();
}

void createSchema(Connection &db, const std::string &versionText, const std::string &characterSet)
{
    db.exec(
        "BEGIN;"
        "CREATE TABLE devdb_meta(key TEXT PRIMARY KEY, value TEXT);"
        "CREATE TABLE devdb_users(user_name TEXT PRIMARY KEY, password TEXT, account_status TEXT NOT NULL,"
        " grace_days INTEGER NOT NULL DEFAULT 7, external INTEGER NOT NULL DEFAULT 0,"
        " sysdba INTEGER NOT NULL DEFAULT 0, sysoper INTEGER NOT NULL DEFAULT 0, created INTEGER,"
        " case_sensitive INTEGER NOT NULL DEFAULT 0, logon_warning INTEGER NOT NULL DEFAULT 0);"
        "CREATE TABLE devdb_tables(table_id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT NOT NULL,"
        " table_name TEXT NOT NULL, UNIQUE(owner, table_name));"
        "CREATE TABLE devdb_columns(table_id INTEGER NOT NULL, column_id INTEGER NOT NULL,"
        " column_name TEXT NOT NULL, data_type TEXT NOT NULL, data_length INTEGER NOT NULL,"
        " data_precision INTEGER, data_scale INTEGER, nullable TEXT NOT NULL, data_default TEXT,"
        " char_length INTEGER, char_used TEXT, data_type_owner TEXT, data_type_mod TEXT,"
        " PRIMARY KEY(table_id, column_id));"
        "CREATE TABLE devdb_constraints(owner TEXT NOT NULL, constraint_name TEXT NOT NULL,"
        " table_id INTEGER NOT NULL, constraint_type TEXT NOT NULL, column_ids TEXT NOT NULL,"
        " PRIMARY KEY(owner, constraint_name));");
    setMetaValue(db, "version", versionText);
    setMetaValue(db, "charset", characterSet);
    setMetaValue(db, "constraint_seq", "10000");
    Account system;
    system.name = "SYSTEM";
    system.password = "manager";
    system.status = "OPEN";
    system.sysdba = true;
    saveAccount(db, system, true);
    db.exec("COMMIT");
}

std::string metaValue(Connection &db, const std::string &key)
{
    StmtUse st(db.cached("SELECT value FROM devdb_meta WHERE key = ?"));
    bindText(st.get(), 1, key);
    return db.step(st.get()) ? columnText(st.get(), 0) : std::string();
}

void setMetaValue(Connection &db, const std::string &key, const std::string &value)
{
    StmtUse st(db.cached("INSERT OR REPLACE INTO devdb_meta(key, value) VALUES(?, ?)"));
    bindText(st.get(), 1, key);
    bindText(st.get(), 2, value);
    db.step(st.get());
}

static Account readAccount(sqlite3_stmt *st)
{
    Account a;
    a.name = columnText(st, 0);
    a.password = columnText(st, 1);
    a.status = columnText(st, 2);
    a.graceDays = sqlite3_column_int(st, 3);
    a.external = sqlite3_column_int(st, 4) != 0;
    a.sysdba = sqlite3_column_int(st, 5) != 0;
    a.sysoper = sqlite3_column_int(st, 6) != 0;
    a.caseSensitive = sqlite3_column_int(st, 7) != 0;
    a.logonWarning = sqlite3_column_int(st, 8);
    return a;
}

std::optional<Account> loadAccount(Connection &db, const std::string &name)
{
    StmtUse st(db.cached("SELECT user_name, password, account_status, grace_days, external, sysdba, sysoper,"
                         " case_sensitive, logon_warning FROM devdb_users WHERE user_name = ?"));
    bindText(st.get(), 1, name);
    if (!db.step(st.get()))
        return std::nullopt;
    return readAccount(st.get());
}

std::vector<Account> loadAccounts(Connection &db)
{
    StmtUse st(db.cached("SELECT user_name, password, account_status, grace_days, external, sysdba, sysoper,"
                         " case_sensitive, logon_warning FROM devdb_users ORDER BY created"));
    std::vector<Account> out;
    while (db.step(st.get()))
        out.push_back(readAccount(st.get()));
    return out;
}

void saveAccount(Connection &db, const Account &a, bool creating)
{
    const char *sql =
        creating
            ? "INSERT INTO devdb_users(user_name, password, account_status, grace_days, external,"
              " sysdba, sysoper, case_sensitive, logon_warning, created) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7,"
              " ?8, ?9, (SELECT COALESCE(MAX(created), 0) + 1 FROM devdb_users))"
            : "UPDATE devdb_users SET password = ?2, account_status = ?3, grace_days = ?4,"
              " external = ?5, sysdba = ?6, sysoper = ?7, case_sensitive = ?8, logon_warning = ?9"
              " WHERE user_name = ?1";
    StmtUse st(db.cached(sql));
    bindText(st.get(), 1, a.name);
    if (a.external)
        sqlite3_bind_null(st.get(), 2);
    else
        bindText(st.get(), 2, a.password);
    bindText(st.get(), 3, a.status);
    sqlite3_bind_int(st.get(), 4, a.graceDays);
    sqlite3_bind_int(st.get(), 5, a.external);
    sqlite3_bind_int(st.get(), 6, a.sysdba);
    sqlite3_bind_int(st.get(), 7, a.sysoper);
    sqlite3_bind_int(st.get(), 8, a.caseSensitive);
    sqlite3_bind_int(st.get(), 9, a.logonWarning);
    db.step(st.get());
}

namespace
{

OraType typeOf(const std::string &dataType, const std::string &typeMod = std::string())
{
    static const std::pair<const char *, OraType> plain[] = {
        {"CLOB", OraType::Clob},
        {"NCLOB", OraType::Clob},
        {"BLOB", OraType::Blob},
        {"BFILE", OraType::Bfile},
        {"BINARY_FLOAT", OraType::BinaryFloat},
        {"BINARY_DOUBLE", OraType::BinaryDouble},
        {"ROWID", OraType::Rowid},
        {"UROWID", OraType::Urowid},
        {"XMLTYPE", OraType::Object},
        {"SDO_GEOMETRY", OraType::Object},
    };
    if (typeMod == "REF")
        return OraType::Ref;
    for (const auto &[name, type] : plain) {
        if (dataType == name)
            return type;
    }
    if (dataType.rfind("INTERVAL YEAR", 0) == 0)
        return OraType::IntervalYm;
    if (dataType.rfind("INTERVAL DAY", 0) == 0)
        return OraType::IntervalDs;
    if (dataType.rfind("TIMESTAMP", 0) == 0)
        return dataType.find("LOCAL") != std::string::npos       ? OraType::TimestampLtz
               : dataType.find("TIME ZONE") != std::string::npos ? OraType::TimestampTz
                                                                 : OraType::Timestamp;
    if (dataType == "VARCHAR2" || dataType == "NVARCHAR2")
        return OraType::Varchar2;
    if (dataType == "CHAR" || dataType == "NCHAR")
        return OraType::Char;
    if (dataType == "NUMBER" || dataType == "FLOAT")
        return OraType::Number;
    if (dataType == "DATE")
        return OraType::Date;
    if (dataType == "RAW")
        return OraType::Raw;
    if (dataType == "LONG")
        return OraType::Long;
    if (dataType == "LONG RAW")
        return OraType::LongRaw;
    return OraType::Timestamp;
}

bool isNational(const std::string &dataType)
{
    return dataType == "NVARCHAR2" || dataType == "NCHAR" || dataType == "NCLOB";
}

// The length a character column may take in bytes: VARCHAR2 4000, CHAR 2000.
int byteLimit(OraType type)
{
    return type == OraType::Char ? 2000 : 4000;
}

} // namespace

// Describe values and dictionary values of one column. length is the
// dictionary's DATA_LENGTH (bytes); character columns also have their
// declared length and its semantics.
static void completeColumn(ColumnInfo &c, int length, std::optional<int> precision, std::optional<int> scale,
                           int charLength, bool charUsed)
{
    ColumnDesc &d = c.desc;
    d.type = typeOf(c.dataType, c.dataTypeMod);
    d.dataSize = length;
    c.hasPrecision = precision.has_value();
    c.hasScale = scale.has_value();
    c.dictPrecision = precision.value_or(0);
    c.dictScale = scale.value_or(0);
    switch (d.type) {
    case OraType::Number:
        if (c.dataType == "FLOAT") {
            d.precision = c.dictPrecision;
            d.scale = -127;
        } else if (!precision && scale) { // INTEGER, NUMBER(*,s)
            d.precision = 38;
            d.scale = *scale;
        } else {
            d.precision = c.dictPrecision;
            d.scale = precision ? c.dictScale : -127;
        }
        break;
    case OraType::Timestamp:
    case OraType::TimestampTz:
    case OraType::TimestampLtz:
        d.precision = 0;
        d.scale = c.dictScale;
        break;
    case OraType::IntervalYm:
    case OraType::IntervalDs:
        // The leading field's precision and the fraction digits.
        d.precision = c.dictPrecision;
        d.scale = c.dictScale;
        break;
    default:
        d.precision = 0;
        d.scale = 0;
    }
    if (d.type == OraType::Varchar2 || d.type == OraType::Char) {
        d.charsetForm = isNational(c.dataType) ? 2 : 1;
        d.charUsed = charUsed;
        d.charLength = charLength;
    }
    if (d.type == OraType::Clob)
        d.charsetForm = isNational(c.dataType) ? 2 : 1;
    if (d.type == OraType::Object || d.type == OraType::Ref) {
        d.typeName = c.dataType;
        d.typeOwner = c.dataTypeOwner;
    }
}

namespace
{

// DATA_LENGTH of the types whose length the declaration does not give.
const std::pair<const char *, int> kFixedLengths[] = {
    {"CLOB", 4000},       {"NCLOB", 4000}, {"BLOB", 4000},    {"BFILE", 530},      {"BINARY_FLOAT", 4},
    {"BINARY_DOUBLE", 8}, {"ROWID", 10},   {"XMLTYPE", 2000}, {"SDO_GEOMETRY", 1}, {"REF", 42},
};

} // namespace

ColumnInfo makeColumn(const ColumnDef &def, const SessionSettings &settings)
{
    ColumnInfo c;
    c.desc.name = def.name.name;
    c.desc.nullable = !(def.notNull || def.primaryKey);
    c.hasDefault = def.hasDefault;
    c.defaultText = def.defaultText;
    int length = def.length;
    int charLength = 0;
    bool charUsed = false;
    std::optional<int> precision, scale;
    c.dataType = def.typeName;
    if (def.typeName == "NUMBER") {
        length = 22;
        if (def.precision >= 0)
            precision = def.precision;
        if (def.scale != -1)
            scale = def.scale;
    } else if (def.typeName == "INTEGER") {
        c.dataType = "NUMBER";
        length = 22;
        scale = 0;
    } else if (def.typeName == "FLOAT") {
        length = 22;
        precision = def.precision;
    } else if (def.typeName == "DATE") {
        length = 7;
    } else if (def.typeName.rfind("TIMESTAMP", 0) == 0) {
        // TIMESTAMP(6), TIMESTAMP(6) WITH TIME ZONE, TIMESTAMP(6) WITH LOCAL TIME ZONE
        c.dataType = "TIMESTAMP(" + std::to_string(def.scale) + ")" + def.typeName.substr(9);
        length = def.typeName == "TIMESTAMP WITH TIME ZONE" ? 13 : 11;
        scale = def.scale;
    } else if (def.typeName == "INTERVAL YEAR TO MONTH") {
        c.dataType = "INTERVAL YEAR(" + std::to_string(def.precision) + ") TO MONTH";
        length = 5;
        precision = def.precision;
        scale = 0;
    } else if (def.typeName == "INTERVAL DAY TO SECOND") {
        c.dataType = "INTERVAL DAY(" + std::to_string(def.precision) + ") TO SECOND(" +
                     std::to_string(def.scale) + ")";
        length = 11;
        precision = def.precision;
        scale = def.scale;
    } else if (def.typeName == "UROWID") {
        length = def.length;
    } else if (def.typeName == "LONG" || def.typeName == "LONG RAW") {
        length = 0;
    } else if (isNational(def.typeName)) {
        // AL16UTF16: two bytes a character.
        charUsed = true;
        charLength = def.length;
        length = 2 * def.length;
    } else if (def.typeName == "VARCHAR2" || def.typeName == "CHAR") {
        charUsed = def.semantics == ColumnDef::Semantics::Char ||
                   (def.semantics == ColumnDef::Semantics::Default && settings.charSemantics);
        charLength = def.length;
        if (charUsed)
            length = std::min(def.length * findCharset(settings.databaseCharset)->maxBytesPerChar,
                              byteLimit(typeOf(def.typeName)));
    }
    for (const auto &[name, fixed] : kFixedLengths) {
        if (def.typeName == name)
            length = fixed;
    }
    if (!def.objectType.empty()) {
        // A REF names the type it points to, marked REF; an object column is of its type.
        c.dataType = def.objectType;
        c.dataTypeOwner = def.objectOwner;
        if (def.typeName == "REF")
            c.dataTypeMod = "REF";
    }
    completeColumn(c, length, precision, scale, charLength, charUsed);
    return c;
}

Relation relationOf(const TableInfo &table)
{
    Relation r;
    r.name = table.name;
    r.tableId = table.id;
    for (const auto &c : table.columns)
        r.columns.push_back(c.desc);
    return r;
}

void Catalog::refresh(Connection &db)
{
    StmtUse version(db.cached("PRAGMA schema_version"));
    db.step(version.get());
    int current = sqlite3_column_int(version.get(), 0);
    if (current == schemaVersion_)
        return;
    tables_.clear();
    ordered_.clear();
    std::map<long long, std::shared_ptr<TableInfo>> byId;
    {
        StmtUse st(db.cached("SELECT table_id, owner, table_name FROM devdb_tables ORDER BY table_id"));
        while (db.step(st.get())) {
            auto t = std::make_shared<TableInfo>();
            t->id = sqlite3_column_int64(st.get(), 0);
            t->owner = columnText(st.get(), 1);
            t->name = columnText(st.get(), 2);
            t->sqliteName = "devdb_t" + std::to_string(t->id);
            byId[t->id] = t;
            ordered_.push_back(t);
            tables_[{t->owner, t->name}] = t;
        }
    }
    {
        StmtUse st(
            db.cached("SELECT table_id, column_name, data_type, data_length, data_precision, data_scale,"
                      " nullable, data_default, char_length, char_used, data_type_owner, data_type_mod"
                      " FROM devdb_columns ORDER BY table_id, column_id"));
        while (db.step(st.get())) {
            auto it = byId.find(sqlite3_column_int64(st.get(), 0));
            if (it == byId.end())
                continue;
            ColumnInfo c;
            c.desc.name = columnText(st.get(), 1);
            c.dataType = columnText(st.get(), 2);
            std::optional<int> precision, scale;
            if (sqlite3_column_type(st.get(), 4) != SQLITE_NULL)
                precision = sqlite3_column_int(st.get(), 4);
            if (sqlite3_column_type(st.get(), 5) != SQLITE_NULL)
                scale = sqlite3_column_int(st.get(), 5);
            int length = sqlite3_column_int(st.get(), 3);
            c.dataTypeOwner = columnText(st.get(), 10);
            c.dataTypeMod = columnText(st.get(), 11);
            // Files made before length semantics hold bytes only.
            bool charLengthKnown = sqlite3_column_type(st.get(), 8) != SQLITE_NULL;
            int charLength = charLengthKnown ? sqlite3_column_int(st.get(), 8) : length;
            bool charUsed = columnText(st.get(), 9) == "C";
            completeColumn(c, length, precision, scale, charLength, charUsed);
            c.desc.nullable = columnText(st.get(), 6) == "Y";
            if (sqlite3_column_type(st.get(), 7) != SQLITE_NULL) {
                c.hasDefault = true;
                c.defaultText = columnText(st.get(), 7);
                c.defaultExpr = std::shared_ptr<Expr>(parseExpression(c.defaultText).release());
            }
            it->second->columns.push_back(std::move(c));
        }
    }
    {
        StmtUse st(db.cached(
            "SELECT table_id, constraint_name, constraint_type, column_ids FROM devdb_constraints"));
        while (db.step(st.get())) {
            auto it = byId.find(sqlite3_column_int64(st.get(), 0));
            if (it == byId.end())
                continue;
            ConstraintInfo k;
            k.name = columnText(st.get(), 1);
            std::string type = columnText(st.get(), 2);
            k.primaryKey = type == "P";
            std::string ids = columnText(st.get(), 3);
            if (type == "C") {
                k.check = std::shared_ptr<Expr>(parseCondition(ids).release());
                resolve(*k.check, relationOf(*it->second), SessionSettings());
                it->second->constraints.push_back(std::move(k));
                continue;
            }
            std::size_t start = 0;
            while (start < ids.size()) {
                std::size_t comma = ids.find(',', start);
                if (comma == std::string::npos)
                    comma = ids.size();
                k.columns.push_back(std::stoi(ids.substr(start, comma - start)) - 1);
                start = comma + 1;
            }
            it->second->constraints.push_back(std::move(k));
        }
    }
    for (auto &t : ordered_) {
        std::string cols, params, list;
        for (std::size_t i = 0; i < t->columns.size(); ++i) {
            std::string c = "c" + std::to_string(i + 1);
            cols += (i ? "," : "") + c;
            params += i ? ",?" : "?";
        }
        t->insertSql = "INSERT INTO " + t->sqliteName + "(" + cols + ") VALUES(" + params + ")";
        t->scanSql = "SELECT rowid" + std::string(cols.empty() ? "" : ",") + cols + " FROM " + t->sqliteName;
    }
    schemaVersion_ = current;
}

std::shared_ptr<TableInfo> Catalog::find(const std::string &owner, const std::string &name) const
{
    auto it = tables_.find({owner, name});
    return it == tables_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableInfo>> Catalog::tablesOf(const std::string &owner) const
{
    std::vector<std::shared_ptr<TableInfo>> out;
    for (const auto &t : ordered_) {
        if (t->owner == owner)
            out.push_back(t);
    }
    return out;
}

} // namespace devdb
