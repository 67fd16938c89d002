#pragma once
// What the database commands of rowpour-batch share: the --userid option, a
// logged-on session that logs off on every path, and the escaping of field
// texts in tab-separated output.

#include "oracle/Oracle.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace rowpour::cli
{

// Removes "--userid TEXT", "--userid=TEXT" or "UserId=TEXT" from args and
// returns TEXT, completed by withPassword when it names no password; throws
// std::runtime_error when there is none or it has no
// value. Also removes the OCIDLL= and ORACLEHOME= parameters, which the
// access layer reads from the command line itself.
QString takeUserId(QStringList &args);
// Removes a flag ("--commit") from args; true when it was there.
bool takeFlag(QStringList &args, const QString &flag);

// A session logged on with a logon text "user/password@database"; logs off
// when it goes out of scope (errors at that point are swallowed).
class LoggedOnSession
{
public:
    explicit LoggedOnSession(const QString &userId);
    ~LoggedOnSession();
    LoggedOnSession(const LoggedOnSession &) = delete;
    LoggedOnSession &operator=(const LoggedOnSession &) = delete;
    oracle::TOracleSession &session() { return *session_; }

private:
    std::unique_ptr<oracle::TOracleSession> session_;
};

// A field text for one tab-separated column: tab, LF, CR and backslash
// written as \t, \n, \r and \\.
QString escapeField(const QString &text);

} // namespace rowpour::cli
