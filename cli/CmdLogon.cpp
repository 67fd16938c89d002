// rowpour-batch logon: logs on to a database, says how the connection talks
// to the server, and logs off again.

#include "cli/CliTexts.h"
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
        out << texts::ClientLibrary << library.LoadedFilePath() << "\n";
    out << texts::SearchLog << "\n";
    for (const QString &line : forTerminal(library.SearchLog()).split(QLatin1Char('\n')))
        out << "  " << line << "\n";
}

void printSetting(QTextStream &out, const char *name, const ClientSetting &setting)
{
    out << "  " << name << "=" << setting.value << (setting.setByProgram ? "" : texts::OperatorsOwnValue)
        << "\n";
}

void printClientEnvironment(const TOracleSession &session, QTextStream &out)
{
    const ClientNlsEnvironment nls = CurrentClientEnvironment();
    out << texts::ClientEnvironment << "\n";
    printSetting(out, "NLS_LANG", nls.nlsLang);
    printSetting(out, "NLS_DATE_FORMAT", nls.dateFormat);
    printSetting(out, "NLS_TIMESTAMP_FORMAT", nls.timestampFormat);
    printSetting(out, "NLS_TIMESTAMP_TZ_FORMAT", nls.timestampTzFormat);
    printSetting(out, "NLS_NUMERIC_CHARACTERS", nls.numericCharacters);
    if (session.ClientCharsetId() != 0)
        out << texts::ClientCharsetId << session.ClientCharsetId()
            << (session.ClientCharsetId() == oci::OCI_AL32UTF8_ID ? texts::Al32Utf8 : "") << "\n";
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
            err << QString::fromUtf8(texts::LogonUnexpectedArgument).arg(a) << "\n";
            return 2;
        }
    }
    if (userId.isEmpty())
        userId = platform::CommandLine::parameter(QStringLiteral("UserId"));
    if (userId.isEmpty()) {
        err << texts::LogonMissingUserId << "\n";
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
    out << texts::CallMode << (session.OCI8Mode() ? "OCI8" : "OCI7")
        << (session.LdaMode() ? texts::ConvertedLogon : "") << "\n";
    out << texts::ServerVersion
        << (session.ServerVersion().isEmpty() ? QString::fromUtf8(texts::NoServerVersion)
                                              : forTerminal(session.ServerVersion()))
        << "\n";
    if (!session.LogonWarning().isEmpty())
        out << texts::LogonWarning << forTerminal(session.LogonWarning()) << "\n";
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
    QString::fromUtf8(texts::LogonUsage),
    QString::fromUtf8(texts::LogonSummary),
    runLogon,
}};

} // namespace
} // namespace rowpour::cli
