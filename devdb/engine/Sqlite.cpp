#include "Sqlite.h"

namespace devdb
{

void Connection::open(const std::string &path, int flags)
{
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK)
        throw SqliteFailure{rc, db ? sqlite3_errmsg(db) : "cannot open"};
    sqlite3_extended_result_codes(db, 1);
}

void Connection::exec(const std::string &sql)
{
    char *message = nullptr;
    int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw SqliteFailure{sqlite3_extended_errcode(db_.get()), text};
    }
}

sqlite3_stmt *Connection::cached(const std::string &sql)
{
    auto it = cache_.find(sql);
    if (it != cache_.end())
        return it->second.get();
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v3(db_.get(), sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK)
        throw SqliteFailure{rc, sqlite3_errmsg(db_.get())};
    cache_.emplace(sql, SqliteStmt(st));
    return st;
}

bool Connection::step(sqlite3_stmt *st)
{
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw SqliteFailure{sqlite3_extended_errcode(db_.get()), sqlite3_errmsg(db_.get())};
}

} // namespace devdb
