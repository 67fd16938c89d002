// rowpour-batch aliases: the database aliases of the client's tnsnames.ora.

#include "cli/CliTexts.h"
#include "cli/Command.h"
#include "oracle/OracleCI.h"

#include <QTextStream>

namespace rowpour::cli
{
namespace
{

int runAliases(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    for (const QString &a : args) {
        if (!a.startsWith(QStringLiteral("OCIDLL="), Qt::CaseInsensitive) &&
            !a.startsWith(QStringLiteral("ORACLEHOME="), Qt::CaseInsensitive)) {
            err << QString::fromUtf8(texts::AliasesUnexpectedArgument).arg(a) << "\n";
            return 2;
        }
    }
    // The list itself swallows failures; say why it would be empty.
    try {
        oracle::LoadClientLibrary();
    } catch (const std::exception &e) {
        err << QString::fromUtf8(e.what()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
        return 1;
    }
    for (const QString &alias : oracle::ClientLibrary::instance().DatabaseAliases())
        out << alias << "\n";
    return 0;
}

const CommandRegistration registration{{
    QStringLiteral("aliases"),
    QString::fromUtf8(texts::AliasesUsage),
    QString::fromUtf8(texts::AliasesSummary),
    runAliases,
}};

} // namespace
} // namespace rowpour::cli
