// rowpour-devdb: lays out Oracle homes of the development client library,
// creates databases in them and runs statements through the library.
//
//   rowpour-devdb home DIR
//   rowpour-devdb database DIR ALIAS [--version TEXT] [--charset NAME]
//   rowpour-devdb sql DIR ALIAS USER/PASS[ AS SYSDBA|SYSOPER]

#include "devdb/engine/Engine.h"
#include "devdb/tool/ClientSession.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const char *const kUsage =
    "usage:\n"
    "  rowpour-devdb home DIR\n"
    "  rowpour-devdb database DIR ALIAS [--version TEXT] [--charset NAME]\n"
    "  rowpour-devdb sql DIR ALIAS USER/PASS   (statements on standard input, one per line)\n";

const char *const kVariants[] = {"oci7", "no81", "incomplete"};

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The build's own home: the tool lives in <home>/bin.
fs::path ownHome()
{
    return fs::canonical("/proc/self/exe").parent_path().parent_path();
}

fs::path adminDirectory(const fs::path &home)
{
    return home / "network" / "admin";
}

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

void copyLibrary(const fs::path &from, const fs::path &to)
{
    if (!fs::exists(from))
        throw Failure("client library not found: " + from.string());
    fs::create_directories(to.parent_path());
    if (fs::exists(to) && fs::equivalent(from, to))
        return;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void layOutHome(const fs::path &home)
{
    fs::path source = ownHome();
    copyLibrary(source / "lib" / "libclntsh.so", home / "lib" / "libclntsh.so");
    for (const char *variant : kVariants)
        copyLibrary(source / "variants" / variant / "libclntsh.so",
                    home / "variants" / variant / "libclntsh.so");
    fs::create_directories(adminDirectory(home));
    fs::path tnsnames = adminDirectory(home) / "tnsnames.ora";
    if (!fs::exists(tnsnames))
        std::ofstream(tnsnames) << "# Databases of this development Oracle home (rowpour-devdb database).\n";
}

bool aliasListed(const fs::path &tnsnames, const std::string &alias)
{
    std::ifstream in(tnsnames);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || std::isspace(static_cast<unsigned char>(line[0])) ||
            eq == std::string::npos)
            continue;
        std::string name = line.substr(0, eq);
        name.erase(name.find_last_not_of(" \t") + 1);
        if (upper(name) == upper(alias))
            return true;
    }
    return false;
}

void createDatabase(const fs::path &home, const std::string &alias, const std::string &version,
                    const std::string &characterSet)
{
    if (alias.empty() || alias.find_first_of(" \t()=#") != std::string::npos)
        throw Failure("invalid alias: " + alias);
    fs::path tnsnames = adminDirectory(home) / "tnsnames.ora";
    if (!fs::exists(tnsnames))
        throw Failure("not an Oracle home (run rowpour-devdb home first): " + home.string());
    fs::path file = fs::absolute(home / "oradata" / (lower(alias) + ".db")).lexically_normal();
    if (fs::exists(file))
        throw Failure("database file exists already: " + file.string());
    fs::create_directories(file.parent_path());
    devdb::createDatabase(file.string(), version, characterSet);
    if (!aliasListed(tnsnames, alias))
        std::ofstream(tnsnames, std::ios::app)
            << "\n"
            << upper(alias) << " =\n"
            << "  (DESCRIPTION =\n"
            << "    (ADDRESS = (PROTOCOL = devdb)(FILE = " << file.string() << "))\n"
            << "  )\n";
}

// Trailing blanks and one statement terminator are not part of the statement.
std::string statementOf(std::string line)
{
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    if (!line.empty() && line.back() == ';')
        line.pop_back();
    auto first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

int runStatements(const fs::path &home, const std::string &alias, const std::string &account)
{
    // The library of this home resolves the alias through this home's tnsnames.ora.
    setenv("TNS_ADMIN", adminDirectory(home).c_str(), 1);
    setenv("ORACLE_HOME", home.c_str(), 1);
    rowpour_devdb::ClientSession session((home / "lib" / "libclntsh.so").string());
    if (auto warning = session.logOn(account, alias); !warning.empty())
        std::cerr << warning;
    int failures = 0;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::string sql = statementOf(line);
        if (sql.empty())
            continue;
        try {
            for (const auto &row : session.run(sql)) {
                for (std::size_t i = 0; i < row.size(); ++i)
                    std::cout << (i ? "\t" : "") << row[i];
                std::cout << "\n";
            }
        } catch (const std::exception &e) {
            std::cerr << e.what();
            ++failures;
        }
    }
    session.logOff();
    return failures ? 1 : 0;
}

int run(const std::vector<std::string> &args)
{
    if (args.size() == 2 && args[0] == "home") {
        layOutHome(args[1]);
        return 0;
    }
    if (args.size() >= 3 && args[0] == "database") {
        std::string version, characterSet;
        for (std::size_t i = 3; i < args.size(); i += 2) {
            if (i + 1 >= args.size() || (args[i] != "--version" && args[i] != "--charset")) {
                std::cerr << kUsage;
                return 2;
            }
            (args[i] == "--version" ? version : characterSet) = args[i + 1];
        }
        createDatabase(args[1], args[2], version, characterSet);
        return 0;
    }
    if (args.size() == 4 && args[0] == "sql")
        return runStatements(fs::absolute(args[1]), args[2], args[3]);
    std::cerr << kUsage;
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const devdb::OraError &e) {
        std::cerr << "rowpour-devdb: ORA-" << e.code << ": " << e.text << "\n";
    } catch (const std::exception &e) {
        std::cerr << "rowpour-devdb: " << e.what() << (std::string(e.what()).ends_with("\n") ? "" : "\n");
    }
    return 1;
}
