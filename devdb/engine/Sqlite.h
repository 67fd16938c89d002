#pragma once
// Thin owners of SQLite connections and prepared statements.

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace devdb
{

struct SqliteCloser {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
    void operator()(sqlite3_stmt *st) const { sqlite3_finalize(st); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStmt = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Raised for SQLite failures the engine does not translate; carries the
// SQLite result code so callers can map busy and constraint errors.
struct SqliteFailure {
    int code;
    std::string message;
};

// Resets a cached statement when it goes out of scope.
class StmtUse
{
public:
    explicit StmtUse(sqlite3_stmt *st) : st_(st) {}
    ~StmtUse()
    {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
    }
    StmtUse(const StmtUse &) = delete;
    StmtUse &operator=(const StmtUse &) = delete;
    sqlite3_stmt *get() const { return st_; }

private:
    sqlite3_stmt *st_;
};

class Connection
{
public:
    Connection() = default;
    void open(const std::string &path, int flags);
    sqlite3 *get() const { return db_.get(); }
    // Runs statements without results.
    void exec(const std::string &sql);
    // A prepared statement kept for the life of the connection.
    sqlite3_stmt *cached(const std::string &sql);
    // Steps once; throws SqliteFailure on errors. True when a row is available.
    bool step(sqlite3_stmt *st);
    void dropCached() { cache_.clear(); }

private:
    SqliteDb db_;
    std::unordered_map<std::string, SqliteStmt> cache_;
};

inline std::string columnText(sqlite3_stmt *st, int i)
{
    const unsigned char *p = sqlite3_column_text(st, i);
    return p ? std::string(reinterpret_cast<const char *>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(st, i)))
             : std::string();
}

inline void bindText(sqlite3_stmt *st, int i, std::string_view text)
{
    sqlite3_bind_text(st, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace devdb
