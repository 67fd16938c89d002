#pragma once
// A fresh development database in its own temporary directory per test.

#include "devdb/engine/Engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace devdb::test
{

class TempDatabase
{
public:
    explicit TempDatabase(const std::string &version = "")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "devdb-engine-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        path_ = dir_ + "/test.db";
        createDatabase(path_, version);
    }
    ~TempDatabase()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TempDatabase(const TempDatabase &) = delete;
    TempDatabase &operator=(const TempDatabase &) = delete;

    const std::string &path() const { return path_; }
    // The tests write dates day.month.year and numbers with a point, as a
    // client with NLS_DATE_FORMAT=DD.MM.RR and NLS_TIMESTAMP_FORMAT set does.
    std::unique_ptr<Session> logon(const std::string &user = "system",
                                   const std::string &password = "manager")
    {
        return devdb::logon(path_, user, password, Credentials::Rdbms, Privilege::Normal, nullptr,
                            dayMonthYear());
    }
    static ClientNls dayMonthYear()
    {
        ClientNls nls;
        nls.dateFormat = "DD.MM.RR";
        nls.timestampFormat = "DD.MM.RR HH24:MI:SSXFF";
        return nls;
    }

private:
    std::string dir_;
    std::string path_;
};

// Runs one statement; returns its rows as text the way the session shows them.
inline std::vector<std::vector<std::string>> run(Session &session, const std::string &sql)
{
    auto cursor = session.prepare(sql);
    cursor->execute();
    std::vector<std::vector<std::string>> rows;
    std::vector<Value> row;
    while (cursor->fetch(row)) {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const Value &v = row[i];
            texts.push_back(v.kind == Value::Kind::Null ? "<null>"
                                                        : session.toText(v, cursor->columns()[i].type));
        }
        rows.push_back(std::move(texts));
    }
    return rows;
}

// The error a statement raises, or code 0 when it succeeds.
inline OraError failure(Session &session, const std::string &sql)
{
    try {
        run(session, sql);
    } catch (const OraError &e) {
        return e;
    }
    return OraError();
}

inline std::string single(Session &session, const std::string &sql)
{
    auto rows = run(session, sql);
    if (rows.size() != 1 || rows[0].size() != 1)
        throw std::runtime_error("not a single value: " + sql);
    return rows[0][0];
}

} // namespace devdb::test
