// rowpour-batch logon: logs on to a database, says how the connection talks
// to the server, and logs off again.

#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/OracleCommand.h"
#include "oracle/ClientEnvironment.h"
#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "platform/CommandLine.h"

#include <QTextStream>

namespace rowpour::cli
{
namespace
{

using namespace rowpour::oracle;

// Terminal lines: the layer's texts use CR LF.
QString forTerminal(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

void printSearch(QTextStream &out)
{
    const ClientLibrary &library = ClientLibrary::instance();
    if (library.Loaded())
        out << "Client library: " << library.LoadedFilePath() << "\n";
    out << "Search log:\n";
    for (const QString &line : forTerminal(library.SearchLog()).split(QLatin1Char('\n')))
        out << "  " << line << "\n";
}

void printSetting(QTextStream &out, const char *name, const ClientSetting &setting)
{
    out << "  " << name << "=" << setting.value << (setting.setByProgram ? "" : " (the operator's own value)")
        << "\n";
}

void printClientEnvironment(const TOracleSession &session, QTextStream &out)
{
    const ClientNlsEnvironment nls = CurrentClientEnvironment();
    out << "Client environment:\n";
    printSetting(out, "NLS_LANG", nls.nlsLang);
    printSetting(out, "NLS_DATE_FORMAT", nls.dateFormat);
    printSetting(out, "NLS_TIMESTAMP_FORMAT", nls.timestampFormat);
    printSetting(out, "NLS_TIMESTAMP_TZ_FORMAT", nls.timestampTzFormat);
    printSetting(out, "NLS_NUMERIC_CHARACTERS", nls.numericCharacters);
    if (session.ClientCharsetId() != 0)
        out << "  client character set id " << session.ClientCharsetId()
            << (session.ClientCharsetId() == oci::OCI_AL32UTF8_ID ? " (AL32UTF8)" : "") << "\n";
}

int runLogon(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList rest = args;
    QString userId = takeOption(rest, QStringLiteral("--userid")).value_or(QString());
    const bool verbose = takeFlag(rest, QStringLiteral("--verbose"));
    for (const QString &a : rest) {
        if (!a.startsWith(QStringLiteral("OCIDLL="), Qt::CaseInsensitive) &&
            !a.startsWith(QStringLiteral("ORACLEHOME="), Qt::CaseInsensitive) &&
            !a.startsWith(QStringLiteral("UserId="), Qt::CaseInsensitive)) {
            err << "rowpour-batch logon: unexpected argument '" << a << "'\n";
            return 2;
        }
    }
    if (userId.isEmpty())
        userId = platform::CommandLine::parameter(QStringLiteral("UserId"));
    if (userId.isEmpty()) {
        err << "rowpour-batch logon: give the logon as --userid USER/PASSWORD@DATABASE\n";
        return 2;
    }

    TOracleSession session;
    session.SetLogonUsername(withPassword(userId));
    try {
        session.LogOn();
    } catch (const std::exception &e) {
        err << forTerminal(QString::fromUtf8(e.what())) << "\n";
        if (verbose && !dynamic_cast<const EInitializationError *>(&e))
            printSearch(err);
        return 1;
    }
    out << "Call mode: " << (session.OCI8Mode() ? "OCI8" : "OCI7")
        << (session.LdaMode() ? " (an OCI8 logon converted for an older server)" : "") << "\n";
    out << "Server version: "
        << (session.ServerVersion().isEmpty() ? QStringLiteral("(not reported in OCI7 mode)")
                                              : forTerminal(session.ServerVersion()))
        << "\n";
    if (!session.LogonWarning().isEmpty())
        out << "Warning: " << forTerminal(session.LogonWarning()) << "\n";
    if (verbose) {
        printClientEnvironment(session, out);
        printSearch(out);
    }
    out.flush();
    try {
        session.LogOff();
    } catch (const std::exception &e) {
        err << forTerminal(QString::fromUtf8(e.what())) << "\n";
        return 1;
    }
    return 0;
}

const CommandRegistration registration{{
    QStringLiteral("logon"),
    QStringLiteral("--userid USER/PASSWORD@DATABASE [--verbose] [OCIDLL=FILE] [ORACLEHOME=NAME]"),
    QStringLiteral(
        "Logs on and off; prints the call mode, the server version, a warning the logon gave and, with "
        "--verbose, the client's national-language settings, the client library and its search."),
    runLogon,
}};

} // namespace
} // namespace rowpour::cli
