#include "devdb/oci/SqlText.h"

#include <array>
#include <cctype>
#include <string>

namespace devdb::oci
{
namespace
{

// Skips blanks, comments and opening parentheses before the first keyword.
std::size_t skipToKeyword(std::string_view sql, std::size_t i)
{
    while (i < sql.size()) {
        unsigned char c = sql[i];
        if (std::isspace(c) || c == '(') {
            ++i;
        } else if (sql.substr(i, 2) == "--") {
            auto end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "/*") {
            auto end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    return i;
}

std::array<std::string, 3> leadingWords(std::string_view sql)
{
    std::array<std::string, 3> words;
    std::size_t i = 0;
    for (auto &word : words) {
        i = skipToKeyword(sql, i);
        while (i < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_')) {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i])));
            ++i;
        }
        if (word.empty())
            break;
    }
    return words;
}

struct Entry {
    const char *first;
    const char *second; // nullptr: any
    ub2 functionCode;
};

// SQL command codes as OCI reports them for the statements the database knows.
constexpr Entry kFunctionCodes[] = {
    {"CREATE", "TABLE", 1},     {"INSERT", nullptr, 3},    {"SELECT", nullptr, 4},
    {"WITH", nullptr, 4},       {"UPDATE", nullptr, 5},    {"DROP", "ROLE", 6},
    {"DROP", "VIEW", 7},        {"DROP", "TABLE", 8},      {"DELETE", nullptr, 9},
    {"CREATE", "VIEW", 10},     {"DROP", "USER", 11},      {"CREATE", "ROLE", 12},
    {"CREATE", "SEQUENCE", 13}, {"ALTER", "SEQUENCE", 14}, {"DROP", "SEQUENCE", 16},
    {"CREATE", "USER", 19},     {"CREATE", "INDEX", 20},   {"DROP", "INDEX", 21},
    {"ALTER", "TABLE", 26},     {"EXPLAIN", nullptr, 27},  {"GRANT", nullptr, 28},
    {"REVOKE", nullptr, 29},    {"CREATE", "SYNONYM", 30}, {"DROP", "SYNONYM", 31},
    {"SET", "TRANSACTION", 33}, {"BEGIN", nullptr, 34},    {"DECLARE", nullptr, 34},
    {"LOCK", nullptr, 35},      {"RENAME", nullptr, 37},   {"COMMENT", nullptr, 38},
    {"ALTER", "INDEX", 41},     {"ALTER", "SESSION", 52},  {"ALTER", "USER", 53},
    {"COMMIT", nullptr, 54},    {"ROLLBACK", nullptr, 55}, {"SAVEPOINT", nullptr, 56},
    {"TRUNCATE", nullptr, 85},
};

struct TypeEntry {
    const char *first;
    ub2 statementType;
};

constexpr TypeEntry kStatementTypes[] = {
    {"SELECT", 1}, {"WITH", 1},  {"UPDATE", 2}, {"DELETE", 3},  {"INSERT", 4}, {"CREATE", 5},
    {"DROP", 6},   {"ALTER", 7}, {"BEGIN", 8},  {"DECLARE", 9}, {"CALL", 10},  {"MERGE", 16},
};

} // namespace

StatementKind classifyStatement(std::string_view sql)
{
    auto words = leadingWords(sql);
    StatementKind kind;
    for (const auto &t : kStatementTypes)
        if (words[0] == t.first)
            kind.statementType = t.statementType;
    // "create unique index", "create or replace view": look one word further.
    std::string second = words[1];
    if (words[0] == "CREATE" && (second == "UNIQUE" || second == "BITMAP"))
        second = words[2];
    for (const auto &e : kFunctionCodes)
        if (words[0] == e.first && (!e.second || second == e.second)) {
            kind.functionCode = e.functionCode;
            break;
        }
    return kind;
}

} // namespace devdb::oci
