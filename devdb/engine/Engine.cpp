#include "Engine.h"

#include "Catalog.h"
#include "Charset.h"
#include "DateFormat.h"
#include "Dictionary.h"
#include "Errors.h"
#include "Evaluator.h"
#include "Storage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace devdb
{

const char *const defaultVersionText =
    "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production\nVersion 19.3.0.0.0";

namespace
{

constexpr int kDefaultLockTimeoutMs = 5000;

// Fault injection for tests: with ROWPOUR_DEVDB_FAIL_COMMIT set (to anything
// but empty), committing pending changes fails as when the connection to the
// server is lost, and the changes are rolled back.
bool commitFailureRequested()
{
    const char *value = std::getenv("ROWPOUR_DEVDB_FAIL_COMMIT");
    return value && *value;
}

// The release a server banner names: "... Release 12.2.0.1.0 ..." is 12.2.
struct Release {
    int major = 19;
    int minor = 0;
    // Names of up to 128 bytes came with 12.2; before, 30.
    int maxIdentifier() const { return major > 12 || (major == 12 && minor >= 2) ? 128 : 30; }
    // Passwords compare with their letter case from 11g.
    bool caseSensitivePasswords() const { return major >= 11; }
};

Release releaseOf(const std::string &text)
{
    auto at = text.find("Release ");
    std::size_t i = at == std::string::npos ? 0 : at + 8;
    while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    Release r;
    int major = 0, minor = 0;
    if (std::sscanf(text.c_str() + std::min(i, text.size()), "%d.%d", &major, &minor) >= 1 && major > 0) {
        r.major = major;
        r.minor = minor;
    }
    return r;
}

int majorVersionOf(const std::string &text)
{
    return releaseOf(text).major;
}

// A user name as a client hands it over: upper-cased unless in double quotes.
std::string accountName(const std::string &user)
{
    if (user.size() >= 2 && user.front() == '"' && user.back() == '"')
        return user.substr(1, user.size() - 2);
    return upperText(user);
}

// Passwords set before case-sensitive logons, and all passwords of servers
// before 11g, compare without regard to letter case.
bool passwordMatches(const Account &account, const std::string &given, const Release &release)
{
    if (account.caseSensitive && release.caseSensitivePasswords())
        return account.password == given;
    return upperText(account.password) == upperText(given);
}

// The text of a warning a logon reports.
std::string logonWarningText(int code, int graceDays)
{
    if (code == 28002)
        return errors::format(errors::kPasswordWillExpire, std::to_string(graceDays));
    if (code == 28011)
        return errors::kAccountWillExpire;
    return "Message " + std::to_string(code) + " not found;  product=RDBMS; facility=ORA";
}

bool isLocked(const Account &a)
{
    return a.status.find("LOCKED") != std::string::npos;
}

bool isExpired(const Account &a)
{
    return a.status.rfind("EXPIRED", 0) == 0 && a.status.find("GRACE") == std::string::npos;
}

bool inGrace(const Account &a)
{
    return a.status.find("GRACE") != std::string::npos;
}

void setStatus(Account &a, bool expired, bool grace, bool locked)
{
    std::string base = expired ? "EXPIRED" : grace ? "EXPIRED(GRACE)" : "";
    if (locked)
        a.status = base.empty() ? "LOCKED" : base + " & LOCKED";
    else
        a.status = base.empty() ? "OPEN" : base;
}

// The first release whose server knows a column type.
int introducedIn(const ColumnDef &def)
{
    const std::string &t = def.typeName;
    if (t == "BINARY_FLOAT" || t == "BINARY_DOUBLE")
        return 10;
    if (t.rfind("TIMESTAMP", 0) == 0 || t.rfind("INTERVAL", 0) == 0 || def.objectType == "XMLTYPE")
        return 9;
    if (t == "CLOB" || t == "NCLOB" || t == "BLOB" || t == "BFILE" || t == "UROWID" || t == "NCHAR" ||
        t == "NVARCHAR2" || !def.objectType.empty())
        return 8;
    return 0;
}

[[noreturn]] void translate(const SqliteFailure &f)
{
    if ((f.code & 0xFF) == SQLITE_BUSY || (f.code & 0xFF) == SQLITE_LOCKED)
        errors::raise(54, errors::kResourceBusy);
    errors::raise(600, "internal error code, arguments: [devdb], [" + f.message + "]");
}

Connection openConnection(const std::string &path, int lockTimeout)
{
    if (!std::filesystem::exists(path))
        errors::raise(1034, "ORACLE not available");
    Connection db;
    try {
        db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
        sqlite3_busy_timeout(db.get(), lockTimeout);
        db.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
        if (metaValue(db, "version").empty())
            errors::raise(1034, "ORACLE not available");
        upgradeSchema(db);
    } catch (const SqliteFailure &) {
        errors::raise(1034, "ORACLE not available");
    }
    return db;
}

const char *statementTypeWord(const std::string &sql, StatementType *type)
{
    std::size_t i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
        ++i;
    std::size_t s = i;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
        ++i;
    std::string w = upperText(sql.substr(s, i - s));
    static const std::pair<const char *, StatementType> words[] = {
        {"SELECT", StatementType::Select}, {"WITH", StatementType::Select},
        {"UPDATE", StatementType::Update}, {"DELETE", StatementType::Delete},
        {"INSERT", StatementType::Insert}, {"CREATE", StatementType::Create},
        {"DROP", StatementType::Drop},     {"ALTER", StatementType::Alter},
        {"BEGIN", StatementType::Begin},   {"DECLARE", StatementType::Declare},
    };
    for (const auto &[word, t] : words) {
        if (w == word) {
            *type = t;
            return word;
        }
    }
    *type = StatementType::Unknown;
    return "";
}

int functionCodeOf(const Statement &st)
{
    switch (st.kind) {
    case Statement::Kind::CreateTable:
        return 1;
    case Statement::Kind::Insert:
        return 3;
    case Statement::Kind::Select:
        return 4;
    case Statement::Kind::Update:
        return 5;
    case Statement::Kind::DropTable:
        return 8;
    case Statement::Kind::Delete:
        return 9;
    case Statement::Kind::DropUser:
        return 11;
    case Statement::Kind::CreateUser:
        return 19;
    case Statement::Kind::Grant:
        return 28;
    case Statement::Kind::Revoke:
        return 29;
    case Statement::Kind::AlterSession:
        return 52;
    case Statement::Kind::AlterUser:
        return 53;
    case Statement::Kind::Commit:
        return 54;
    case Statement::Kind::Rollback:
    case Statement::Kind::RollbackTo:
        return 55;
    case Statement::Kind::Savepoint:
        return 56;
    }
    return 0;
}

class SessionImpl;

// Anything but an OraError escaping the engine is a fault of the engine; the
// client still gets an Oracle error instead of an unknown exception.
template <typename F> void internalFailuresAsOraErrors(F &&f)
{
    try {
        f();
    } catch (const OraError &) {
        throw;
    } catch (const std::exception &e) {
        errors::raise(600, std::string("internal error code, arguments: [devdb], [") + e.what() + "]");
    }
}

class CursorImpl final : public Cursor
{
public:
    // alive turns false when the session object goes away; the cursor then
    // answers "not logged on" instead of touching it.
    CursorImpl(SessionImpl &session, std::shared_ptr<const bool> alive, std::string sql);
    StatementType statementType() const override { return type_; }
    int sqlFunctionCode() const override { return statement_ ? functionCodeOf(*statement_) : 0; }
    void parse() override;
    void execute() override;
    const std::vector<ColumnDesc> &columns() override
    {
        parse();
        return columns_;
    }
    bool fetch(std::vector<Value> &row) override;
    std::uint64_t rowCount() const override { return rowCount_; }
    void setBinds(std::vector<BindValue> values) override { binds_ = std::move(values); }

private:
    void parseStatementOnce();
    std::vector<OraType> bindTypes() const;
    // Types the placeholders by the bound values before the statement is resolved.
    void typeBinds();
    // Gives the placeholders their values for one execution (ORA-01008 for a missing one).
    void assignBinds();
    void executeOnce();
    void parseSelect();
    void parseInsert();
    void parseUpdate();
    void parseDelete();
    void executeSelect();
    void executeInsert();
    void executeUpdate();
    void executeDelete();
    std::vector<const Row *> matchingRows(const Relation &relation);
    // CHECK constraints on a new row: a condition that is false fails (unknown passes).
    void checkConstraints(const std::vector<Datum> &values) const;

    SessionImpl &session_;
    std::shared_ptr<const bool> alive_;
    std::string sql_;
    StatementType type_ = StatementType::Unknown;
    std::unique_ptr<Statement> statement_;
    std::shared_ptr<TableInfo> table_;
    Relation relation_; // columns for resolution; rows loaded at execution
    std::vector<ColumnDesc> columns_;
    std::vector<const Expr *> selectExprs_;
    std::vector<ExprPtr> expandedColumns_; // the columns "*" stands for
    std::vector<int> insertTargets_;       // table column per value
    std::vector<std::vector<Datum>> results_;
    std::vector<ColumnDesc> resultTypes_;
    std::size_t position_ = 0;
    std::uint64_t rowCount_ = 0;
    bool aggregated_ = false;
    std::vector<BindValue> binds_;
    std::vector<OraType> parsedBindTypes_; // the bound types the statement was resolved with
};

class SessionImpl final : public Session
{
public:
    SessionImpl(Connection db, Account account, std::string version, int databaseCharset)
        : db_(std::move(db)), account_(std::move(account)), version_(std::move(version))
    {
        settings_.databaseCharset = databaseCharset;
        settings_.user = account_.name;
        settings_.zoneMinutes = sessionZoneMinutes();
        settings_.majorVersion = majorVersionOf(version_);
        settings_.maxIdentifier = releaseOf(version_).maxIdentifier();
    }
    ~SessionImpl() override
    {
        *alive_ = false;
        if (!ended_ && inTransaction_) {
            try {
                db_.exec("ROLLBACK");
            } catch (const SqliteFailure &) {
            }
        }
    }

    std::string serverVersion() const override { return version_; }
    int databaseCharset() const override { return settings_.databaseCharset; }
    std::string userName() const override { return account_.name; }
    std::unique_ptr<Cursor> prepare(const std::string &sql) override
    {
        checkActive();
        ++prepares_;
        // The text reaches the server in the database character set.
        return std::make_unique<CursorImpl>(*this, alive_, restrictText(sql, settings_.databaseCharset));
    }
    void commit() override
    {
        checkActive();
        savepoints_.clear();
        if (!inTransaction_)
            return;
        if (commitFailureRequested()) {
            abandon();
            errors::raise(3113, "end-of-file on communication channel");
        }
        try {
            db_.exec("COMMIT");
        } catch (const SqliteFailure &f) {
            translate(f);
        }
        inTransaction_ = false;
    }
    void rollback() override
    {
        checkActive();
        savepoints_.clear();
        if (!inTransaction_)
            return;
        try {
            db_.exec("ROLLBACK");
        } catch (const SqliteFailure &f) {
            translate(f);
        }
        inTransaction_ = false;
    }
    void savepoint(const std::string &name);
    void rollbackTo(const Identifier &name);
    void changePassword(const std::string &user, const std::string &oldPassword,
                        const std::string &newPassword) override
    {
        checkActive();
        std::string name = accountName(user);
        auto account = guarded([&] { return loadAccount(db_, name); });
        if (!account || account->external || !passwordMatches(*account, oldPassword, releaseOf(version_)))
            errors::raise(1017, errors::kLogonDenied);
        ddl([&] {
            account->password = newPassword;
            account->caseSensitive = true;
            setStatus(*account, false, false, isLocked(*account));
            saveAccount(db_, *account, false);
        });
    }
    void end() override
    {
        if (ended_)
            return;
        commit();
        ended_ = true;
    }

    std::string toText(const Value &value, OraType type) const override
    {
        Datum d;
        d.kind = value.kind;
        d.text = value.text;
        d.date = value.date;
        if (value.kind == Value::Kind::Number) {
            auto n = Decimal::parse(value.text);
            d.number = n ? *n : Decimal();
        }
        // A DATE never has a fraction, so a value with one is a TIMESTAMP whatever the caller says.
        if (type == OraType::Date && value.kind == Value::Kind::Date && value.date.nanosecond)
            type = value.date.zoned ? OraType::TimestampTz : OraType::Timestamp;
        return devdb::toText(d, type, settings_);
    }
    Value textToNumber(const std::string &text) const override
    {
        Datum d;
        d.kind = Value::Kind::Text;
        d.text = text;
        if (text.empty())
            return Value();
        Datum n;
        n.kind = Value::Kind::Number;
        n.number = toNumber(d, settings_.decimal);
        return toValue(n);
    }
    Value textToDate(const std::string &text) const override
    {
        if (text.empty())
            return Value();
        Value v;
        v.kind = Value::Kind::Date;
        v.date = parseDate(text, settings_.dateFormat, *settings_.dateLanguage);
        return v;
    }
    std::uint64_t prepareCount() const override { return prepares_; }
    void setLockTimeout(int milliseconds) override { sqlite3_busy_timeout(db_.get(), milliseconds); }

    // ---- for cursors ----
    Connection &db() { return db_; }
    const SessionSettings &settings() const { return settings_; }
    SessionSettings &settings() { return settings_; }
    const Account &account() const { return account_; }
    Catalog &catalog()
    {
        guarded([&] {
            catalog_.refresh(db_);
            return 0;
        });
        return catalog_;
    }

    template <typename F> auto guarded(F &&f) -> decltype(f())
    {
        try {
            return f();
        } catch (const SqliteFailure &failure) {
            translate(failure);
        }
    }

    void beginWrite()
    {
        if (inTransaction_)
            return;
        try {
            db_.exec("BEGIN IMMEDIATE");
        } catch (const SqliteFailure &f) {
            translate(f);
        }
        inTransaction_ = true;
    }

    // DDL commits what is pending, then runs and commits on its own, as in Oracle.
    template <typename F> void ddl(F &&f)
    {
        commit();
        beginWrite();
        try {
            f();
            db_.exec("COMMIT");
            inTransaction_ = false;
        } catch (const SqliteFailure &failure) {
            abandon();
            translate(failure);
        } catch (...) {
            abandon();
            throw;
        }
    }

    bool isAdministrator() const { return account_.sysdba || account_.name == "SYSTEM"; }

    // The rows and columns behind a name in a FROM clause.
    Relation describeRelation(const TableRef &ref, std::shared_ptr<TableInfo> *table);
    // Reads the table's rows; equality conditions on columns are handed to SQLite
    // first so that only candidate rows are converted (the caller still applies
    // the whole condition).
    void loadRows(Relation &relation, const std::shared_ptr<TableInfo> &table, const Expr *where);

    void execute(Statement &st);
    // The client's NLS_LANG and NLS_* variables, checked as the server checks them.
    void applyClientNls(const ClientNls &nls);
    void checkActive() const
    {
        if (ended_)
            errors::raise(1012, "not logged on");
    }

private:
    void abandon()
    {
        try {
            db_.exec("ROLLBACK");
        } catch (const SqliteFailure &) {
        }
        inTransaction_ = false;
        savepoints_.clear();
    }
    // A savepoint set while no change was pending stands for the start of the
    // transaction (sqliteName empty); the others are SQLite savepoints.
    struct SavepointMark {
        std::string name;
        std::string sqliteName;
    };
    void createTable(Statement &st);
    void dropTable(Statement &st);
    void createUser(Statement &st);
    void alterUser(Statement &st);
    void dropUser(Statement &st);
    void grant(Statement &st);
    void alterSession(Statement &st);
    // One NLS parameter as ALTER SESSION sets it; false for a name that is none.
    bool setNlsParameter(const std::string &name, const std::string &value);
    void requireAdministrator() const
    {
        if (!isAdministrator())
            errors::raise(1031, errors::kInsufficientPrivileges);
    }
    Account existingAccount(const Identifier &user)
    {
        auto a = guarded([&] { return loadAccount(db_, user.name); });
        if (!a)
            errors::raise(1918, errors::format(errors::kUserDoesNotExist, user.name), user.offset);
        return *a;
    }

    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    Connection db_;
    Account account_;
    std::string version_;
    SessionSettings settings_;
    Catalog catalog_;
    bool inTransaction_ = false;
    bool ended_ = false;
    std::uint64_t prepares_ = 0;
    std::vector<SavepointMark> savepoints_;
    int savepointSerial_ = 0;
};

// Setting a savepoint again under the same name moves it, as in Oracle.
void SessionImpl::savepoint(const std::string &name)
{
    checkActive();
    std::erase_if(savepoints_, [&](const SavepointMark &m) { return m.name == name; });
    SavepointMark mark{name, {}};
    if (inTransaction_) {
        mark.sqliteName = "devdb_user_" + std::to_string(++savepointSerial_);
        guarded([&] {
            db_.exec("SAVEPOINT " + mark.sqliteName);
            return 0;
        });
    }
    savepoints_.push_back(std::move(mark));
}

// Undoes what came after the savepoint and forgets the later ones; the
// savepoint itself and the transaction stay.
void SessionImpl::rollbackTo(const Identifier &name)
{
    checkActive();
    auto it = std::find_if(savepoints_.rbegin(), savepoints_.rend(),
                           [&](const SavepointMark &m) { return m.name == name.name; });
    if (it == savepoints_.rend())
        errors::raise(1086, "savepoint '" + name.name + "' never established in this session or is invalid");
    savepoints_.erase(it.base(), savepoints_.end());
    if (!inTransaction_)
        return;
    const std::string sqliteName = savepoints_.back().sqliteName;
    guarded([&] {
        if (sqliteName.empty()) {
            db_.exec("ROLLBACK");
            inTransaction_ = false;
        } else {
            db_.exec("ROLLBACK TO " + sqliteName);
        }
        return 0;
    });
}

Relation SessionImpl::describeRelation(const TableRef &ref, std::shared_ptr<TableInfo> *table)
{
    std::string owner = ref.owner.empty() ? account_.name : ref.owner;
    Relation r;
    r.name = ref.name.name;
    r.alias = ref.alias;
    if (auto t = catalog().find(owner, ref.name.name)) {
        r.tableId = t->id;
        for (const auto &c : t->columns)
            r.columns.push_back(c.desc);
        *table = t;
        return r;
    }
    table->reset();
    bool publicName = ref.owner.empty() || ref.owner == "SYS" || ref.owner == "PUBLIC";
    if (publicName && !ref.name.quoted) {
        Relation v;
        if (ref.name.name == "DUAL")
            v = dualView();
        else if (ref.name.name == "USER_TABLES" || ref.name.name == "TABS")
            v = userTablesView(catalog().tablesOf(account_.name), settings_.maxIdentifier);
        else if (ref.name.name == "USER_TAB_COLUMNS" || ref.name.name == "COLS")
            v = userTabColumnsView(catalog().tablesOf(account_.name), settings_.maxIdentifier);
        else if (ref.name.name == "V$DEVDB_SESSION")
            v = sessionView(prepares_);
        else if (ref.name.name == "NLS_SESSION_PARAMETERS")
            v = nlsSessionParametersView(settings_);
        else if (ref.name.name == "NLS_DATABASE_PARAMETERS")
            v = nlsDatabaseParametersView(settings_.databaseCharset);
        else
            errors::raise(942, errors::kNoSuchTable, ref.name.offset);
        v.name = r.name;
        v.alias = r.alias;
        return v;
    }
    errors::raise(942, errors::kNoSuchTable, ref.name.offset);
}

// One "column = literal" conjunct that SQLite can test on the stored form.
struct StoredEquality {
    int column;
    Datum value;
};

void collectEqualities(const Expr &e, const TableInfo &table, const SessionSettings &settings,
                       std::vector<StoredEquality> &out)
{
    if (e.kind == Expr::Kind::And) {
        collectEqualities(*e.args[0], table, settings, out);
        collectEqualities(*e.args[1], table, settings, out);
        return;
    }
    if (e.kind != Expr::Kind::Compare || e.op != "=")
        return;
    const Expr *column = e.args[0].get(), *literal = e.args[1].get();
    if (column->kind != Expr::Kind::Column)
        std::swap(column, literal);
    bool constant = literal->kind == Expr::Kind::Literal || literal->kind == Expr::Kind::Bind;
    if (column->kind != Expr::Kind::Column || !constant || literal->literal.isNull())
        return;
    const ColumnInfo &c = table.columns[static_cast<std::size_t>(column->columnIndex)];
    Datum v;
    switch (c.desc.type) {
    case OraType::Varchar2: // non-padded comparison: equal texts only
        if (literal->literal.kind != Value::Kind::Text)
            return;
        v = literal->literal;
        break;
    case OraType::Number: // stored in canonical form
        v.kind = Value::Kind::Number;
        v.number = toNumber(literal->literal, settings.decimal);
        break;
    case OraType::Date:
        if (literal->literal.kind != Value::Kind::Text && literal->literal.kind != Value::Kind::Date)
            return;
        v.kind = Value::Kind::Date;
        v.date = toDate(literal->literal, settings, false);
        break;
    default:
        return;
    }
    out.push_back({column->columnIndex, std::move(v)});
}

void SessionImpl::loadRows(Relation &relation, const std::shared_ptr<TableInfo> &table, const Expr *where)
{
    if (!table)
        return; // views carry their rows already
    relation.rows.clear();
    std::vector<StoredEquality> equalities;
    if (where)
        collectEqualities(*where, *table, settings_, equalities);
    std::string sql = table->scanSql;
    for (std::size_t i = 0; i < equalities.size(); ++i)
        sql += (i ? " AND c" : " WHERE c") + std::to_string(equalities[i].column + 1) + " = ?";
    guarded([&] {
        StmtUse st(db_.cached(sql));
        for (std::size_t i = 0; i < equalities.size(); ++i) {
            const ColumnInfo &c = table->columns[static_cast<std::size_t>(equalities[i].column)];
            bindStored(st.get(), static_cast<int>(i + 1), equalities[i].value, c.desc.type);
        }
        while (db_.step(st.get())) {
            Row row;
            row.rowid = sqlite3_column_int64(st.get(), 0);
            row.values.reserve(table->columns.size());
            for (std::size_t i = 0; i < table->columns.size(); ++i)
                row.values.push_back(readStored(st.get(), static_cast<int>(i + 1), table->columns[i].desc));
            relation.rows.push_back(std::move(row));
        }
        return 0;
    });
}

// ---- DDL and account statements ----

void SessionImpl::createTable(Statement &st)
{
    std::string owner = st.table.owner.empty() ? account_.name : st.table.owner;
    if (owner != account_.name && !isAdministrator())
        errors::raise(1031, errors::kInsufficientPrivileges);
    std::vector<ColumnInfo> columns;
    std::set<std::string> names;
    const int release = settings_.majorVersion;
    for (const ColumnDef &def : st.columnDefs) {
        if (!names.insert(def.name.name).second)
            errors::raise(957, errors::kDuplicateColumn, def.name.offset);
        // Older releases: no LOBs, objects or national types before 8, no datetime, interval or
        // XML types before 9i, no BINARY_FLOAT/DOUBLE before 10g; Oracle7 kept VARCHAR2 to 2000
        // and CHAR to 255 bytes.
        if (release < introducedIn(def))
            errors::raise(902, errors::kInvalidDatatype, def.typeOffset);
        if (release < 8 && ((def.typeName == "VARCHAR2" && def.length > 2000) ||
                            (def.typeName == "CHAR" && def.length > 255)))
            errors::raise(910, "specified length too long for its datatype", def.typeOffset);
        columns.push_back(makeColumn(def, settings_));
    }
    struct Key {
        std::string name;
        bool primary;
        std::vector<int> columns;
    };
    std::vector<Key> keys;
    auto columnIndex = [&](const Identifier &id) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].desc.name == id.name)
                return static_cast<int>(i);
        }
        invalidIdentifier(id.name, id.offset, settings_);
    };
    for (std::size_t i = 0; i < st.columnDefs.size(); ++i) {
        const ColumnDef &def = st.columnDefs[i];
        if (def.primaryKey || def.unique)
            keys.push_back({def.constraintName, def.primaryKey, {static_cast<int>(i)}});
    }
    // CHECK conditions: names must exist; the text is kept as written.
    std::vector<const ConstraintDef *> checks;
    for (const ColumnDef &def : st.columnDefs) {
        for (const ConstraintDef &k : def.checks)
            checks.push_back(&k);
    }
    for (const ConstraintDef &k : st.constraints) {
        if (!k.checkText.empty())
            checks.push_back(&k);
    }
    {
        TableInfo draft;
        draft.name = st.table.name.name;
        draft.columns = columns;
        Relation relation = relationOf(draft);
        for (const ConstraintDef *k : checks) {
            try {
                resolve(*parseCondition(k->checkText), relation, settings_);
            } catch (const OraError &e) {
                errors::raise(e.code, e.text, e.parseOffset + k->checkOffset);
            }
        }
    }
    for (const ConstraintDef &k : st.constraints) {
        if (!k.checkText.empty())
            continue;
        Key key{k.name, k.primaryKey, {}};
        for (const Identifier &id : k.columns)
            key.columns.push_back(columnIndex(id));
        keys.push_back(std::move(key));
    }
    if (std::count_if(keys.begin(), keys.end(), [](const Key &k) { return k.primary; }) > 1)
        errors::raise(2260, errors::kMultiplePrimaryKeys);
    for (const Key &k : keys) {
        if (k.primary) {
            for (int c : k.columns)
                columns[static_cast<std::size_t>(c)].desc.nullable = false;
        }
    }
    if (catalog().find(owner, st.table.name.name))
        errors::raise(955, errors::kNameInUse, st.table.name.offset);
    ddl([&] {
        {
            StmtUse ins(db_.cached("INSERT INTO devdb_tables(owner, table_name) VALUES(?, ?)"));
            bindText(ins.get(), 1, owner);
            bindText(ins.get(), 2, st.table.name.name);
            db_.step(ins.get());
        }
        long long id = sqlite3_last_insert_rowid(db_.get());
        std::string sqliteName = "devdb_t" + std::to_string(id);
        std::string create = "CREATE TABLE " + sqliteName + "(";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const ColumnInfo &c = columns[i];
            create += (i ? ", c" : "c") + std::to_string(i + 1);
            StmtUse ins(db_.cached("INSERT INTO devdb_columns(table_id, column_id, column_name, data_type,"
                                   " data_length, data_precision, data_scale, nullable, data_default,"
                                   " char_length, char_used, data_type_owner, data_type_mod)"
                                   " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
            sqlite3_bind_int64(ins.get(), 1, id);
            sqlite3_bind_int(ins.get(), 2, static_cast<int>(i + 1));
            bindText(ins.get(), 3, c.desc.name);
            bindText(ins.get(), 4, c.dataType);
            sqlite3_bind_int(ins.get(), 5, c.desc.dataSize);
            if (c.hasPrecision)
                sqlite3_bind_int(ins.get(), 6, c.dictPrecision);
            if (c.hasScale)
                sqlite3_bind_int(ins.get(), 7, c.dictScale);
            bindText(ins.get(), 8, c.desc.nullable ? "Y" : "N");
            if (c.hasDefault)
                bindText(ins.get(), 9, c.defaultText);
            if (c.desc.charsetForm != 0 && c.desc.type != OraType::Clob) {
                sqlite3_bind_int(ins.get(), 10, c.desc.charLength);
                bindText(ins.get(), 11, c.desc.charUsed ? "C" : "B");
            }
            if (!c.dataTypeOwner.empty())
                bindText(ins.get(), 12, c.dataTypeOwner);
            if (!c.dataTypeMod.empty())
                bindText(ins.get(), 13, c.dataTypeMod);
            db_.step(ins.get());
        }
        db_.exec(create + ")");
        int seq = std::atoi(metaValue(db_, "constraint_seq").c_str());
        for (std::size_t k = 0; k < keys.size(); ++k) {
            std::string name = keys[k].name;
            if (name.empty()) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "SYS_C%07d", ++seq);
                name = buf;
            }
            std::string ids, cols;
            for (int c : keys[k].columns) {
                ids += (ids.empty() ? "" : ",") + std::to_string(c + 1);
                cols += (cols.empty() ? "c" : ", c") + std::to_string(c + 1);
            }
            StmtUse ins(
                db_.cached("INSERT INTO devdb_constraints(owner, constraint_name, table_id, constraint_type,"
                           " column_ids) VALUES(?, ?, ?, ?, ?)"));
            bindText(ins.get(), 1, owner);
            bindText(ins.get(), 2, name);
            sqlite3_bind_int64(ins.get(), 3, id);
            bindText(ins.get(), 4, keys[k].primary ? "P" : "U");
            bindText(ins.get(), 5, ids);
            try {
                db_.step(ins.get());
            } catch (const SqliteFailure &) {
                errors::raise(2264, "name already used by an existing constraint");
            }
            db_.exec("CREATE UNIQUE INDEX " + sqliteName + "_k" + std::to_string(k + 1) + " ON " +
                     sqliteName + "(" + cols + ")");
        }
        for (const ConstraintDef *k : checks) {
            std::string name = k->name;
            if (name.empty()) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "SYS_C%07d", ++seq);
                name = buf;
            }
            StmtUse ins(
                db_.cached("INSERT INTO devdb_constraints(owner, constraint_name, table_id, constraint_type,"
                           " column_ids) VALUES(?, ?, ?, 'C', ?)"));
            bindText(ins.get(), 1, owner);
            bindText(ins.get(), 2, name);
            sqlite3_bind_int64(ins.get(), 3, id);
            bindText(ins.get(), 4, k->checkText);
            try {
                db_.step(ins.get());
            } catch (const SqliteFailure &) {
                errors::raise(2264, "name already used by an existing constraint");
            }
        }
        setMetaValue(db_, "constraint_seq", std::to_string(seq));
    });
}

void SessionImpl::dropTable(Statement &st)
{
    std::string owner = st.table.owner.empty() ? account_.name : st.table.owner;
    auto table = catalog().find(owner, st.table.name.name);
    if (!table)
        errors::raise(942, errors::kNoSuchTable, st.table.name.offset);
    if (owner != account_.name && !isAdministrator())
        errors::raise(1031, errors::kInsufficientPrivileges);
    ddl([&] {
        std::string id = std::to_string(table->id);
        db_.exec("DELETE FROM devdb_tables WHERE table_id = " + id +
                 "; DELETE FROM devdb_columns WHERE table_id = " + id +
                 "; DELETE FROM devdb_constraints WHERE table_id = " + id + "; DROP TABLE " +
                 table->sqliteName);
    });
}

void SessionImpl::createUser(Statement &st)
{
    requireAdministrator();
    if (guarded([&] { return loadAccount(db_, st.user.name); }))
        errors::raise(1920, errors::format(errors::kUserExists, st.user.name), st.user.offset);
    Account a;
    a.name = st.user.name;
    a.external = st.identifiedExternally;
    a.password = st.password;
    setStatus(a, st.expire, false, st.lock);
    ddl([&] { saveAccount(db_, a, true); });
}

void SessionImpl::alterUser(Statement &st)
{
    bool self = st.user.name == account_.name;
    bool onlyPassword = st.identifiedBy && !st.identifiedExternally && !st.expire && !st.lock && !st.unlock &&
                        !st.grace && !st.logonWarning;
    if (!isAdministrator() && !(self && onlyPassword))
        errors::raise(1031, errors::kInsufficientPrivileges);
    Account a = existingAccount(st.user);
    bool expired = isExpired(a), grace = inGrace(a), locked = isLocked(a);
    if (st.identifiedBy) {
        a.password = st.password;
        a.caseSensitive = true;
        a.external = false;
        expired = grace = false;
    }
    if (st.logonWarning)
        a.logonWarning = st.logonWarningCode;
    if (st.identifiedExternally) {
        a.external = true;
        a.password.clear();
    }
    if (st.expire) {
        expired = true;
        grace = false;
    }
    if (st.grace) {
        grace = true;
        expired = false;
        a.graceDays = st.graceDays;
    }
    if (st.lock)
        locked = true;
    if (st.unlock)
        locked = false;
    setStatus(a, expired, grace, locked);
    ddl([&] { saveAccount(db_, a, false); });
}

void SessionImpl::dropUser(Statement &st)
{
    requireAdministrator();
    Account a = existingAccount(st.user);
    if (a.name == account_.name)
        errors::raise(1940, "cannot drop a user that is currently connected");
    auto tables = catalog().tablesOf(a.name);
    if (!tables.empty() && !st.cascade)
        errors::raise(1922, "CASCADE must be specified to drop '" + a.name + "'");
    ddl([&] {
        for (const auto &t : tables) {
            std::string id = std::to_string(t->id);
            db_.exec("DELETE FROM devdb_tables WHERE table_id = " + id +
                     "; DELETE FROM devdb_columns WHERE table_id = " + id +
                     "; DELETE FROM devdb_constraints WHERE table_id = " + id + "; DROP TABLE " +
                     t->sqliteName);
        }
        StmtUse del(db_.cached("DELETE FROM devdb_users WHERE user_name = ?"));
        bindText(del.get(), 1, a.name);
        db_.step(del.get());
    });
}

void SessionImpl::grant(Statement &st)
{
    requireAdministrator();
    auto found = guarded([&] { return loadAccount(db_, st.user.name); });
    if (!found && st.user.name != "PUBLIC")
        errors::raise(1917, "user or role '" + st.user.name + "' does not exist", st.user.offset);
    if (!found)
        return;
    Account a = *found;
    bool granting = st.kind == Statement::Kind::Grant;
    for (const std::string &p : st.privileges) {
        if (p == "SYSDBA")
            a.sysdba = granting;
        else if (p == "SYSOPER")
            a.sysoper = granting;
        // Other privileges and roles are accepted; every account may do everything else.
    }
    ddl([&] { saveAccount(db_, a, false); });
}

void SessionImpl::alterSession(Statement &st)
{
    static const std::set<std::string> accepted = {
        "NLS_SORT",        "NLS_COMP",     "SQL_TRACE",    "OPTIMIZER_GOAL",   "OPTIMIZER_MODE",
        "ISOLATION_LEVEL", "NLS_CALENDAR", "NLS_CURRENCY", "NLS_ISO_CURRENCY",
    };
    if (!setNlsParameter(st.parameter, st.parameterValue) && !accepted.count(st.parameter))
        errors::raise(2248, errors::kInvalidAlterSessionOption);
}

bool SessionImpl::setNlsParameter(const std::string &name, const std::string &value)
{
    auto invalid = [] { errors::raise(12705, errors::kInvalidNlsEnvironment); };
    if (name == "NLS_DATE_FORMAT") {
        checkDateFormat(value);
        settings_.dateFormat = value;
    } else if (name == "NLS_TIMESTAMP_FORMAT") {
        checkDateFormat(value);
        settings_.timestampFormat = value;
    } else if (name == "NLS_TIMESTAMP_TZ_FORMAT") {
        checkDateFormat(value);
        settings_.timestampTzFormat = value;
    } else if (name == "NLS_NUMERIC_CHARACTERS") {
        auto digitOrSign = [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '<' ||
                   c == '>';
        };
        if (value.size() != 2 || value[0] == value[1] || digitOrSign(value[0]) || digitOrSign(value[1]))
            invalid();
        settings_.decimal = value[0];
        settings_.group = value[1];
    } else if (name == "NLS_DATE_LANGUAGE" || name == "NLS_LANGUAGE") {
        const Language *language = findLanguage(value);
        if (!language)
            invalid();
        settings_.dateLanguage = language;
        if (name == "NLS_LANGUAGE")
            settings_.language = language;
    } else if (name == "NLS_TERRITORY") {
        const Territory *territory = findTerritory(value);
        if (!territory)
            invalid();
        settings_.applyTerritory(*territory);
    } else if (name == "TIME_ZONE") {
        // An offset ("+02:00") or LOCAL; regions are not known here.
        if (upperText(value) == "LOCAL") {
            settings_.zoneMinutes = sessionZoneMinutes();
        } else {
            DateTime zone = parseDate(value, "TZR");
            settings_.zoneMinutes = zone.zoneMinutes;
        }
    } else if (name == "NLS_LENGTH_SEMANTICS") {
        std::string v = upperText(value);
        if (v != "CHAR" && v != "BYTE")
            invalid();
        settings_.charSemantics = v == "CHAR";
    } else {
        return false;
    }
    return true;
}

void SessionImpl::applyClientNls(const ClientNls &nls)
{
    const Language *language = findLanguage(nls.language);
    const Territory *territory = findTerritory(nls.territory);
    if (!language || !territory)
        errors::raise(12705, errors::kInvalidNlsEnvironment);
    settings_.language = settings_.dateLanguage = language;
    settings_.applyTerritory(*territory);
    const std::pair<const char *, const std::optional<std::string> *> overrides[] = {
        {"NLS_DATE_FORMAT", &nls.dateFormat},
        {"NLS_DATE_LANGUAGE", &nls.dateLanguage},
        {"NLS_NUMERIC_CHARACTERS", &nls.numericCharacters},
        {"NLS_LENGTH_SEMANTICS", &nls.lengthSemantics},
        {"NLS_TIMESTAMP_FORMAT", &nls.timestampFormat},
        {"NLS_TIMESTAMP_TZ_FORMAT", &nls.timestampTzFormat},
    };
    for (const auto &[name, value] : overrides) {
        if (*value)
            setNlsParameter(name, **value);
    }
}

void SessionImpl::execute(Statement &st)
{
    // DDL commits the pending transaction even when it then fails for a name or privilege.
    if (st.kind != Statement::Kind::AlterSession && st.kind != Statement::Kind::Commit &&
        st.kind != Statement::Kind::Rollback && st.kind != Statement::Kind::Savepoint &&
        st.kind != Statement::Kind::RollbackTo)
        commit();
    switch (st.kind) {
    case Statement::Kind::CreateTable:
        return createTable(st);
    case Statement::Kind::DropTable:
        return dropTable(st);
    case Statement::Kind::CreateUser:
        return createUser(st);
    case Statement::Kind::AlterUser:
        return alterUser(st);
    case Statement::Kind::DropUser:
        return dropUser(st);
    case Statement::Kind::Grant:
    case Statement::Kind::Revoke:
        return grant(st);
    case Statement::Kind::AlterSession:
        return alterSession(st);
    case Statement::Kind::Commit:
        return commit();
    case Statement::Kind::Rollback:
        return rollback();
    case Statement::Kind::Savepoint:
        return savepoint(st.savepoint.name);
    case Statement::Kind::RollbackTo:
        return rollbackTo(st.savepoint);
    default:
        break;
    }
}

// ---- cursors ----

CursorImpl::CursorImpl(SessionImpl &session, std::shared_ptr<const bool> alive, std::string sql)
    : session_(session), alive_(std::move(alive)), sql_(std::move(sql))
{
    statementTypeWord(sql_, &type_);
}

void CursorImpl::parse()
{
    internalFailuresAsOraErrors([&] { parseStatementOnce(); });
}

void CursorImpl::parseStatementOnce()
{
    if (!*alive_)
        errors::raise(1012, "not logged on");
    if (statement_)
        return;
    session_.checkActive();
    if (type_ == StatementType::Begin || type_ == StatementType::Declare)
        errors::raise(3001, errors::kUnimplemented);
    bool dml = type_ == StatementType::Select || type_ == StatementType::Insert ||
               type_ == StatementType::Update || type_ == StatementType::Delete;
    if (!dml && !placeholderNames(sql_).empty())
        errors::raise(1027, "bind variables not allowed for data definition operations");
    auto st = parseStatement(sql_, session_.settings().maxIdentifier, session_.settings().databaseCharset);
    statement_ = std::move(st);
    typeBinds();
    try {
        switch (statement_->kind) {
        case Statement::Kind::Select:
            parseSelect();
            break;
        case Statement::Kind::Insert:
            parseInsert();
            break;
        case Statement::Kind::Update:
            parseUpdate();
            break;
        case Statement::Kind::Delete:
            parseDelete();
            break;
        default:
            break;
        }
    } catch (...) {
        statement_.reset();
        throw;
    }
}

void CursorImpl::parseSelect()
{
    Statement &st = *statement_;
    relation_ = session_.describeRelation(st.table, &table_);
    const SessionSettings &settings = session_.settings();
    columns_.clear();
    selectExprs_.clear();
    expandedColumns_.clear();
    bool anyAggregate = false, anyPlain = false;
    for (SelectItem &item : st.items) {
        if (!item.expr) {
            // A bare "*" stands alone; "T.*" may stand among other items.
            if (item.qualifier.empty() && st.items.size() > 1)
                errors::raise(923, errors::kFromNotFound, item.offset);
            if (!item.qualifier.empty() && item.qualifier != relation_.name &&
                item.qualifier != relation_.alias)
                invalidIdentifier(item.qualifier, item.offset, settings);
            for (std::size_t i = 0; i < relation_.columns.size(); ++i) {
                auto e = std::make_unique<Expr>();
                e->kind = Expr::Kind::Column;
                e->name.name = relation_.columns[i].name;
                e->name.quoted = true;
                resolve(*e, relation_, settings);
                columns_.push_back(e->type);
                selectExprs_.push_back(e.get());
                item.expr = nullptr;
                expandedColumns_.push_back(std::move(e));
            }
            anyPlain = true;
            continue;
        }
        resolve(*item.expr, relation_, settings);
        ColumnDesc d = item.expr->type;
        if (!item.alias.empty())
            d.name = item.alias;
        else if (item.expr->kind == Expr::Kind::Column)
            d.name = item.expr->name.name;
        columns_.push_back(d);
        selectExprs_.push_back(item.expr.get());
        if (containsAggregate(*item.expr))
            anyAggregate = true;
        if (referencesRow(*item.expr))
            anyPlain = true;
    }
    if (anyAggregate && anyPlain)
        errors::raise(937, errors::kNotGroupByExpression);
    aggregated_ = anyAggregate;
    if (st.where) {
        resolve(*st.where, relation_, settings);
        if (containsAggregate(*st.where))
            errors::raise(934, "group function is not allowed here", st.where->offset);
    }
    for (OrderItem &o : st.orderBy) {
        // ORDER BY n names the n-th select item.
        if (o.expr->kind == Expr::Kind::Literal && o.expr->literal.kind == Value::Kind::Number) {
            auto n = o.expr->literal.number.toLong();
            if (!n || *n < 1 || *n > static_cast<long long>(selectExprs_.size()))
                errors::raise(1785, "ORDER BY item must be the number of a SELECT-list expression",
                              o.expr->offset);
            continue;
        }
        if (o.expr->kind == Expr::Kind::Column && o.expr->qualifier.empty()) {
            bool alias = false;
            for (std::size_t i = 0; i < st.items.size() && i < columns_.size(); ++i) {
                if (!st.items[i].alias.empty() && st.items[i].alias == o.expr->name.name) {
                    o.expr->columnIndex = -2 - static_cast<int>(i);
                    alias = true;
                }
            }
            if (alias)
                continue;
        }
        resolve(*o.expr, relation_, settings);
        requireComparable(o.expr->type, o.expr->offset);
    }
}

void CursorImpl::parseInsert()
{
    Statement &st = *statement_;
    relation_ = session_.describeRelation(st.table, &table_);
    if (!table_)
        errors::raise(1733, "virtual column not allowed here", st.table.name.offset);
    insertTargets_.clear();
    if (st.hasColumnList) {
        std::set<int> seen;
        for (const Identifier &id : st.columns) {
            int index = table_->findColumn(id.name);
            if (index < 0) {
                invalidIdentifier(id.name, id.offset, session_.settings());
            }
            if (!seen.insert(index).second)
                errors::raise(957, errors::kDuplicateColumn, id.offset);
            insertTargets_.push_back(index);
        }
    } else {
        for (std::size_t i = 0; i < table_->columns.size(); ++i)
            insertTargets_.push_back(static_cast<int>(i));
    }
    if (st.values.size() > insertTargets_.size())
        errors::raise(913, errors::kTooManyValues, st.values[insertTargets_.size()]->offset);
    if (st.values.size() < insertTargets_.size())
        errors::raise(947, errors::kNotEnoughValues);
    Relation none;
    for (auto &v : st.values) {
        try {
            resolve(*v, none, session_.settings());
        } catch (const OraError &e) {
            if (e.code == 904 && v->kind == Expr::Kind::Column)
                errors::raise(984, "column not allowed here", e.parseOffset);
            throw;
        }
    }
}

void CursorImpl::parseUpdate()
{
    Statement &st = *statement_;
    relation_ = session_.describeRelation(st.table, &table_);
    if (!table_)
        errors::raise(1733, "virtual column not allowed here", st.table.name.offset);
    insertTargets_.clear();
    for (const Identifier &id : st.columns) {
        int index = table_->findColumn(id.name);
        if (index < 0)
            invalidIdentifier(id.name, id.offset, session_.settings());
        insertTargets_.push_back(index);
    }
    for (auto &v : st.values)
        resolve(*v, relation_, session_.settings());
    if (st.where)
        resolve(*st.where, relation_, session_.settings());
}

void CursorImpl::parseDelete()
{
    Statement &st = *statement_;
    relation_ = session_.describeRelation(st.table, &table_);
    if (!table_)
        errors::raise(1752, "cannot delete from view without exactly one key-preserved table",
                      st.table.name.offset);
    if (st.where)
        resolve(*st.where, relation_, session_.settings());
}

std::vector<OraType> CursorImpl::bindTypes() const
{
    std::vector<OraType> types;
    types.reserve(binds_.size());
    for (const BindValue &b : binds_)
        types.push_back(b.bound ? b.type : OraType::Varchar2);
    return types;
}

void CursorImpl::typeBinds()
{
    for (Expr *e : statement_->binds) {
        auto index = static_cast<std::size_t>(e->bindIndex);
        e->type =
            index < binds_.size() && binds_[index].bound ? bindType(binds_[index]) : bindType(BindValue());
    }
    parsedBindTypes_ = bindTypes();
}

void CursorImpl::assignBinds()
{
    for (Expr *e : statement_->binds) {
        auto index = static_cast<std::size_t>(e->bindIndex);
        if (index >= binds_.size() || !binds_[index].bound)
            errors::raise(1008, "not all variables bound");
        e->literal = bindDatum(binds_[index], session_.settings());
    }
}

std::vector<const Row *> CursorImpl::matchingRows(const Relation &relation)
{
    std::vector<const Row *> rows;
    EvalContext ctx{&session_.settings(), &relation, nullptr, nullptr};
    for (const Row &r : relation.rows) {
        ctx.row = &r;
        ctx.rownum = static_cast<long long>(rows.size()) + 1; // ROWNUM counts the rows accepted so far
        if (!statement_->where || truth(*statement_->where, ctx) == 1)
            rows.push_back(&r);
    }
    return rows;
}

void CursorImpl::execute()
{
    internalFailuresAsOraErrors([&] { executeOnce(); });
}

void CursorImpl::executeOnce()
{
    parse();
    session_.checkActive();
    if (table_ && session_.catalog().find(table_->owner, table_->name) != table_) {
        // The dictionary changed since the parse (a table was dropped or created): parse again.
        statement_.reset();
        table_.reset();
        parse();
    }
    if (statement_ && bindTypes() != parsedBindTypes_) {
        // Values of other types than at the parse: the statement is resolved for them anew.
        statement_.reset();
        table_.reset();
        parse();
    }
    if (statement_)
        assignBinds();
    rowCount_ = 0;
    position_ = 0;
    results_.clear();
    switch (statement_->kind) {
    case Statement::Kind::Select:
        return executeSelect();
    case Statement::Kind::Insert:
        return executeInsert();
    case Statement::Kind::Update:
        return executeUpdate();
    case Statement::Kind::Delete:
        return executeDelete();
    default:
        session_.execute(*statement_);
        // Account and table changes are seen by the next parse.
        statement_.reset();
        return;
    }
}

void CursorImpl::executeSelect()
{
    Statement &st = *statement_;
    if (table_)
        session_.loadRows(relation_, table_, statement_->where.get());
    else if (relation_.tableId == 0)
        relation_ = session_.describeRelation(st.table, &table_); // views: fresh rows
    const SessionSettings &settings = session_.settings();
    auto rows = matchingRows(relation_);
    EvalContext ctx{&settings, &relation_, nullptr, nullptr};
    if (aggregated_) {
        std::map<const Expr *, Datum> values;
        std::vector<const Expr *> aggregates;
        for (const Expr *e : selectExprs_)
            collectAggregates(*e, aggregates);
        for (const Expr *a : aggregates)
            values[a] = aggregate(*a, rows, ctx);
        ctx.aggregates = &values;
        std::vector<Datum> out;
        for (const Expr *e : selectExprs_)
            out.push_back(evaluate(*e, ctx));
        results_.push_back(std::move(out));
        return;
    }
    std::vector<std::pair<std::vector<Datum>, std::vector<Datum>>> sorted; // values, order keys
    for (const Row *r : rows) {
        ctx.row = r;
        ++ctx.rownum;
        std::vector<Datum> out;
        out.reserve(selectExprs_.size());
        for (const Expr *e : selectExprs_)
            out.push_back(evaluate(*e, ctx));
        std::vector<Datum> keys;
        for (const OrderItem &o : st.orderBy) {
            if (o.expr->kind == Expr::Kind::Literal)
                keys.push_back(out[static_cast<std::size_t>(*o.expr->literal.number.toLong() - 1)]);
            else if (o.expr->columnIndex <= -2)
                keys.push_back(out[static_cast<std::size_t>(-2 - o.expr->columnIndex)]);
            else
                keys.push_back(evaluate(*o.expr, ctx));
        }
        sorted.emplace_back(std::move(out), std::move(keys));
    }
    if (!st.orderBy.empty()) {
        auto keyType = [&](std::size_t k) -> const ColumnDesc & {
            const Expr &e = *st.orderBy[k].expr;
            if (e.kind == Expr::Kind::Literal)
                return columns_[static_cast<std::size_t>(*e.literal.number.toLong() - 1)];
            if (e.columnIndex <= -2)
                return columns_[static_cast<std::size_t>(-2 - e.columnIndex)];
            return e.type;
        };
        std::stable_sort(sorted.begin(), sorted.end(), [&](const auto &a, const auto &b) {
            for (std::size_t k = 0; k < st.orderBy.size(); ++k) {
                const Datum &x = a.second[k], &y = b.second[k];
                bool desc = st.orderBy[k].descending;
                if (x.isNull() || y.isNull()) {
                    if (x.isNull() == y.isNull())
                        continue;
                    return desc ? x.isNull() : y.isNull(); // NULLs sort high
                }
                int c = compareValues(x, keyType(k), y, keyType(k), settings);
                if (c != 0)
                    return desc ? c > 0 : c < 0;
            }
            return false;
        });
    }
    results_.reserve(sorted.size());
    for (auto &s : sorted)
        results_.push_back(std::move(s.first));
}

bool CursorImpl::fetch(std::vector<Value> &row)
{
    if (position_ >= results_.size())
        return false;
    const auto &r = results_[position_++];
    row.resize(r.size());
    for (std::size_t i = 0; i < r.size(); ++i)
        row[i] = toValue(r[i]);
    ++rowCount_;
    return true;
}

[[noreturn]] void uniqueViolated(const TableInfo &table, const SqliteFailure &f)
{
    // SQLite names the columns: "UNIQUE constraint failed: devdb_t5.c1, devdb_t5.c2".
    std::vector<int> cols;
    std::size_t at = 0;
    std::string marker = table.sqliteName + ".c";
    while ((at = f.message.find(marker, at)) != std::string::npos) {
        at += marker.size();
        cols.push_back(std::atoi(f.message.c_str() + at) - 1);
    }
    for (const ConstraintInfo &k : table.constraints) {
        if (k.columns == cols)
            errors::raise(1, errors::format(errors::kUniqueViolated, table.owner + "." + k.name));
    }
    errors::raise(1, errors::format(errors::kUniqueViolated, table.owner + ".SYS_C0000000"));
}

bool isUniqueFailure(const SqliteFailure &f)
{
    return f.code == SQLITE_CONSTRAINT_UNIQUE || f.code == SQLITE_CONSTRAINT_PRIMARYKEY;
}

void CursorImpl::checkConstraints(const std::vector<Datum> &values) const
{
    Row row;
    row.values = values;
    EvalContext ctx{&session_.settings(), &relation_, &row, nullptr};
    for (const ConstraintInfo &k : table_->constraints) {
        if (k.check && truth(*k.check, ctx) == 0)
            errors::raise(2290, "check constraint (" + table_->owner + "." + k.name + ") violated");
    }
}

void CursorImpl::executeInsert()
{
    Statement &st = *statement_;
    const TableInfo &table = *table_;
    const SessionSettings &settings = session_.settings();
    EvalContext ctx{&settings, &relation_, nullptr, nullptr};
    std::vector<Datum> row(table.columns.size());
    std::vector<bool> given(table.columns.size(), false);
    for (std::size_t i = 0; i < st.values.size(); ++i) {
        std::size_t target = static_cast<std::size_t>(insertTargets_[i]);
        row[target] = coerce(evaluate(*st.values[i], ctx), st.values[i]->type, table, table.columns[target],
                             settings, false);
        given[target] = true;
    }
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (given[c])
            continue;
        const ColumnInfo &col = table.columns[c];
        Datum d;
        ColumnDesc from;
        if (col.defaultExpr) {
            Relation none;
            resolve(*col.defaultExpr, none, settings);
            d = evaluate(*col.defaultExpr, ctx);
            from = col.defaultExpr->type;
        }
        row[c] = coerce(d, from, table, col, settings, false);
    }
    checkConstraints(row);
    session_.beginWrite();
    try {
        StmtUse ins(session_.db().cached(table.insertSql));
        for (std::size_t c = 0; c < row.size(); ++c)
            bindStored(ins.get(), static_cast<int>(c + 1), row[c], table.columns[c].desc.type);
        session_.db().step(ins.get());
    } catch (const SqliteFailure &f) {
        if (isUniqueFailure(f))
            uniqueViolated(table, f);
        translate(f);
    }
    rowCount_ = 1;
}

void CursorImpl::executeUpdate()
{
    Statement &st = *statement_;
    const TableInfo &table = *table_;
    const SessionSettings &settings = session_.settings();
    session_.beginWrite();
    session_.loadRows(relation_, table_, statement_->where.get());
    auto rows = matchingRows(relation_);
    // New values from the old rows, all checked before anything is written.
    std::vector<std::vector<Datum>> changes;
    changes.reserve(rows.size());
    EvalContext ctx{&settings, &relation_, nullptr, nullptr};
    for (const Row *r : rows) {
        ctx.row = r;
        std::vector<Datum> values;
        for (std::size_t i = 0; i < insertTargets_.size(); ++i) {
            const ColumnInfo &col = table.columns[static_cast<std::size_t>(insertTargets_[i])];
            values.push_back(
                coerce(evaluate(*st.values[i], ctx), st.values[i]->type, table, col, settings, true));
        }
        std::vector<Datum> full = r->values;
        for (std::size_t i = 0; i < insertTargets_.size(); ++i)
            full[static_cast<std::size_t>(insertTargets_[i])] = values[i];
        checkConstraints(full);
        changes.push_back(std::move(values));
    }
    Connection &db = session_.db();
    auto updateInPlace = [&] {
        std::string sql = "UPDATE " + table.sqliteName + " SET ";
        for (std::size_t i = 0; i < insertTargets_.size(); ++i)
            sql += (i ? ", c" : "c") + std::to_string(insertTargets_[i] + 1) + " = ?";
        StmtUse up(db.cached(sql + " WHERE rowid = ?"));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            for (std::size_t i = 0; i < insertTargets_.size(); ++i) {
                OraType type = table.columns[static_cast<std::size_t>(insertTargets_[i])].desc.type;
                bindStored(up.get(), static_cast<int>(i + 1), changes[k][i], type);
            }
            sqlite3_bind_int64(up.get(), static_cast<int>(insertTargets_.size() + 1), rows[k]->rowid);
            db.step(up.get());
            sqlite3_reset(up.get());
        }
    };
    // Oracle checks keys when the statement is done (update t set id = id + 1 works);
    // SQLite checks every row, so a clash along the way is retried by taking the
    // rows out and putting them back with their new values under the same rowids.
    auto replaceRows = [&] {
        StmtUse del(db.cached("DELETE FROM " + table.sqliteName + " WHERE rowid = ?"));
        for (const Row *r : rows) {
            sqlite3_bind_int64(del.get(), 1, r->rowid);
            db.step(del.get());
            sqlite3_reset(del.get());
        }
        std::string cols = "rowid", params = "?";
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            cols += ", c" + std::to_string(c + 1);
            params += ", ?";
        }
        StmtUse ins(db.cached("INSERT INTO " + table.sqliteName + "(" + cols + ") VALUES(" + params + ")"));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            std::vector<Datum> full = rows[k]->values;
            for (std::size_t i = 0; i < insertTargets_.size(); ++i)
                full[static_cast<std::size_t>(insertTargets_[i])] = changes[k][i];
            sqlite3_bind_int64(ins.get(), 1, rows[k]->rowid);
            for (std::size_t c = 0; c < full.size(); ++c)
                bindStored(ins.get(), static_cast<int>(c + 2), full[c], table.columns[c].desc.type);
            db.step(ins.get());
            sqlite3_reset(ins.get());
        }
    };
    session_.guarded([&] {
        db.exec("SAVEPOINT devdb_statement");
        return 0;
    });
    try {
        try {
            updateInPlace();
        } catch (const SqliteFailure &f) {
            if (!isUniqueFailure(f) || rows.size() < 2)
                throw;
            db.exec("ROLLBACK TO devdb_statement");
            replaceRows();
        }
        db.exec("RELEASE devdb_statement");
    } catch (const SqliteFailure &f) {
        db.exec("ROLLBACK TO devdb_statement; RELEASE devdb_statement");
        if (isUniqueFailure(f))
            uniqueViolated(table, f);
        translate(f);
    }
    rowCount_ = rows.size();
}

void CursorImpl::executeDelete()
{
    Statement &st = *statement_;
    const TableInfo &table = *table_;
    Connection &db = session_.db();
    session_.beginWrite();
    if (!st.where) {
        session_.guarded([&] {
            db.exec("DELETE FROM " + table.sqliteName);
            return 0;
        });
        rowCount_ = static_cast<std::uint64_t>(sqlite3_changes(db.get()));
        return;
    }
    session_.loadRows(relation_, table_, statement_->where.get());
    auto rows = matchingRows(relation_);
    session_.guarded([&] {
        StmtUse del(db.cached("DELETE FROM " + table.sqliteName + " WHERE rowid = ?"));
        for (const Row *r : rows) {
            sqlite3_bind_int64(del.get(), 1, r->rowid);
            db.step(del.get());
            sqlite3_reset(del.get());
            ++rowCount_;
        }
        return 0;
    });
}

} // namespace

void createDatabase(const std::string &path, const std::string &versionText, const std::string &characterSet)
{
    const Charset *databaseCharset = findCharset(characterSet.empty() ? "AL32UTF8" : characterSet);
    if (!databaseCharset || databaseCharset->id == charset::AL16UTF16)
        errors::raise(12701, "CREATE DATABASE character set is not known");
    if (std::filesystem::exists(path))
        errors::raise(1501, "CREATE DATABASE failed: file exists: " + path);
    try {
        Connection db;
        db.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec("PRAGMA journal_mode=WAL");
        createSchema(db, versionText.empty() ? defaultVersionText : versionText, databaseCharset->name);
    } catch (const SqliteFailure &f) {
        errors::raise(1501, "CREATE DATABASE failed: " + f.message);
    }
}

void changePassword(const std::string &path, const std::string &user, const std::string &oldPassword,
                    const std::string &newPassword)
{
    Connection db = openConnection(path, kDefaultLockTimeoutMs);
    try {
        auto account = loadAccount(db, accountName(user));
        if (!account || account->external ||
            !passwordMatches(*account, oldPassword, releaseOf(metaValue(db, "version"))))
            errors::raise(1017, errors::kLogonDenied);
        if (isLocked(*account))
            errors::raise(28000, errors::kAccountLocked);
        account->password = newPassword;
        account->caseSensitive = true;
        setStatus(*account, false, false, false);
        saveAccount(db, *account, false);
    } catch (const SqliteFailure &f) {
        translate(f);
    }
}

std::unique_ptr<Session> logon(const std::string &path, const std::string &user, const std::string &password,
                               Credentials credentials, Privilege privilege, std::optional<OraError> *warning,
                               const ClientNls &nls)
{
    Connection db = openConnection(path, kDefaultLockTimeoutMs);
    std::optional<Account> account;
    try {
        if (credentials == Credentials::External) {
            std::string wanted = accountName(user);
            for (const Account &a : loadAccounts(db)) {
                if (a.external && (wanted.empty() || a.name == wanted)) {
                    account = a;
                    break;
                }
            }
            if (!account)
                errors::raise(1017, errors::kLogonDenied);
        } else {
            if (user.empty() && password.empty())
                errors::raise(1017, errors::kLogonDenied);
            if (password.empty())
                errors::raise(1005, "null password given; logon denied");
            account = loadAccount(db, accountName(user));
            if (!account || account->external ||
                !passwordMatches(*account, password, releaseOf(metaValue(db, "version"))))
                errors::raise(1017, errors::kLogonDenied);
        }
    } catch (const SqliteFailure &f) {
        translate(f);
    }
    if (isLocked(*account))
        errors::raise(28000, errors::kAccountLocked);
    if (isExpired(*account))
        errors::raise(28001, errors::kPasswordExpired);
    if ((privilege == Privilege::SysDba && !account->sysdba) ||
        (privilege == Privilege::SysOper && !account->sysoper))
        errors::raise(1031, errors::kInsufficientPrivileges);
    // A password in its grace time warns first; else a warning set for the account.
    if (warning) {
        int code = inGrace(*account) ? 28002 : account->logonWarning;
        if (code != 0)
            *warning = OraError(code, logonWarningText(code, account->graceDays), 0, true);
    }
    std::string version = metaValue(db, "version");
    const Charset *databaseCharset = findCharset(metaValue(db, "charset"));
    auto session = std::make_unique<SessionImpl>(std::move(db), *account, version,
                                                 databaseCharset ? databaseCharset->id : charset::AL32UTF8);
    session->applyClientNls(nls);
    return session;
}

} // namespace devdb
