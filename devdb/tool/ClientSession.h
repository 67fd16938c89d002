#pragma once
// One session through a client library loaded at run time, as any OCI
// program holds it: used by rowpour-devdb to run statements as an account.

#include <memory>
#include <string>
#include <vector>

namespace rowpour_devdb
{

class ClientSession
{
public:
    explicit ClientSession(const std::string &libraryPath);
    ~ClientSession();
    ClientSession(const ClientSession &) = delete;
    ClientSession &operator=(const ClientSession &) = delete;

    // account: "USER/PASSWORD", optionally followed by " AS SYSDBA" or " AS SYSOPER";
    // "/" logs on with external credentials. Returns the text of a logon warning, if any.
    std::string logOn(const std::string &account, const std::string &database);
    // Runs one statement; a select's rows come back as texts (NULL as empty text).
    std::vector<std::vector<std::string>> run(const std::string &sql);
    // Ends the session (committing) and detaches.
    void logOff();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace rowpour_devdb
